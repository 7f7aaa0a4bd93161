#include "app/Startup.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "editor/ElevatedStep.h"

namespace velmora {
namespace {

SaverMode ModeOf(const std::string& first, const std::string& second = "") {
  return ParseCommandLine(first, second).Mode;
}

TEST(StartupTest, FirstArgumentChoosesTheMode) {
  EXPECT_EQ(ModeOf(""), SaverMode::Configure);
  for (const char* arg : {"/c", "/C", "-c", "-C", "c", "C", "CONFIG", "/c:1234", "config"}) {
    EXPECT_EQ(ModeOf(arg), SaverMode::Configure) << arg;
  }
  for (const char* arg : {"/p", "/P", "-p", "P", "p", "PLAY", "/P:1234"}) {
    EXPECT_EQ(ModeOf(arg, "1234"), SaverMode::Preview) << arg;
  }
  for (const char* arg : {"/a", "/A", "-A", "a", "APPLE", "apple"}) {
    EXPECT_EQ(ModeOf(arg, "99"), SaverMode::ChangePassword) << arg;
  }
  for (const char* arg : {"/s", "/S", "S", "/X", "-", "/", "X", " /C", "//C", "-/P", "1"}) {
    EXPECT_EQ(ModeOf(arg), SaverMode::Run) << arg;
  }
}

// The program's own elevated arguments are looked at before the screen-saver
// modes; Windows' arguments are none of them and choose their modes as before.
TEST(StartupTest, WindowsArgumentsAreNeverTakenForTheElevatedMode) {
  const struct {
    const char* first;
    const wchar_t* wide;
    SaverMode mode;
  } cases[] = {
      {"/s", L"/s", SaverMode::Run},          {"/S", L"/S", SaverMode::Run},
      {"/c", L"/c", SaverMode::Configure},    {"/c:1234", L"/c:1234", SaverMode::Configure},
      {"/p", L"/p", SaverMode::Preview},      {"/a", L"/a", SaverMode::ChangePassword},
      {"", L"", SaverMode::Configure},        {"-c", L"-c", SaverMode::Configure},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ElevatedStepOf(c.wide), ElevatedStep::None) << c.first;
    EXPECT_EQ(ModeOf(c.first, "1234"), c.mode) << c.first;
  }
  EXPECT_EQ(ElevatedStepOf(L"--velmora-elevated-clear"), ElevatedStep::Clear);
  EXPECT_EQ(ElevatedStepOf(L"/velmora-elevated-clear"), ElevatedStep::None);
}

TEST(StartupTest, ArgumentsAreKeptUpperCasedAsciiOnly) {
  const CommandLine line = ParseCommandLine("/p", "abc\xe4z");
  EXPECT_EQ(line.FirstArg, "/P");
  EXPECT_EQ(line.SecondArg, "ABC\xe4Z");
  EXPECT_EQ(UpperAscii("a-z{`}\xe9"), "A-Z{`}\xe9");
}

TEST(StartupTest, HandleGluedToTheSwitchLeavesTheSecondArgumentEmpty) {
  const CommandLine line = ParseCommandLine("/P:1234", "");
  EXPECT_EQ(line.Mode, SaverMode::Preview);
  EXPECT_EQ(line.FirstArg, "/P:1234");
  EXPECT_EQ(line.SecondArg, "");
  std::intptr_t handle = 5;
  EXPECT_FALSE(ParseWindowHandle(line.SecondArg, handle));
  EXPECT_EQ(handle, 5);  // untouched on failure
}

TEST(StartupTest, WindowHandleIsAWholeDecimalNumber) {
  std::intptr_t handle = 0;
  EXPECT_TRUE(ParseWindowHandle("1234", handle));
  EXPECT_EQ(handle, 1234);
  EXPECT_TRUE(ParseWindowHandle("0", handle));
  EXPECT_EQ(handle, 0);
  EXPECT_TRUE(ParseWindowHandle("-5", handle));
  EXPECT_EQ(handle, -5);
  // An unsigned 32-bit value printed by a host keeps its bits.
  EXPECT_TRUE(ParseWindowHandle("4294967295", handle));
  EXPECT_EQ(static_cast<std::uintptr_t>(handle), std::uintptr_t{4294967295u});

  const std::string maxUnsigned = std::to_string(std::numeric_limits<std::uintptr_t>::max());
  EXPECT_TRUE(ParseWindowHandle(maxUnsigned, handle));
  EXPECT_EQ(static_cast<std::uintptr_t>(handle), std::numeric_limits<std::uintptr_t>::max());
  const std::string minSigned = std::to_string(std::numeric_limits<std::intptr_t>::min());
  EXPECT_TRUE(ParseWindowHandle(minSigned, handle));
  EXPECT_EQ(handle, std::numeric_limits<std::intptr_t>::min());

  for (const std::string& bad :
       {std::string(""), std::string("-"), std::string("+5"), std::string(" 5"),
        std::string("5 "), std::string("12a"), std::string("0x10"), std::string("1.0"),
        std::string("--5"), maxUnsigned + "0", "1" + maxUnsigned,
        "-" + std::to_string(static_cast<std::uintmax_t>(std::numeric_limits<std::intptr_t>::max()) + 2)}) {
    EXPECT_FALSE(ParseWindowHandle(bad, handle)) << bad;
  }
}

TEST(StartupTest, SaverBaseNameIsThePartBeforeTheFirstDot) {
  EXPECT_EQ(SaverBaseNameOf("Ocean.scr"), "Ocean");
  EXPECT_EQ(SaverBaseNameOf("my.show.scr"), "my");
  EXPECT_EQ(SaverBaseNameOf("VELMORA.EXE"), "VELMORA");
  EXPECT_EQ(SaverBaseNameOf("noDot"), "");
  EXPECT_EQ(SaverBaseNameOf(".scr"), "");
  EXPECT_EQ(SaverBaseNameOf("MixedCase.Scr"), "MixedCase");
}

TEST(StartupTest, EditorNameIsComparedUpperCased) {
  EXPECT_TRUE(IsEditorExeName("VELMORA.EXE"));
  EXPECT_TRUE(IsEditorExeName("velmora.exe"));
  EXPECT_TRUE(IsEditorExeName("Velmora.Exe"));
  EXPECT_FALSE(IsEditorExeName("VELMORA.SCR"));
  EXPECT_FALSE(IsEditorExeName("Ocean.scr"));
  EXPECT_FALSE(IsEditorExeName("VELMORA.EXE "));
  EXPECT_FALSE(IsEditorExeName("C:\\VELMORA.EXE"));
}

TEST(StartupTest, SystemDirectoryComparisonIgnoresCaseAndOneTrailingBackslash) {
  EXPECT_TRUE(IsSystemDirectory("C:\\WINDOWS\\system32\\", "C:\\windows\\system32"));
  EXPECT_TRUE(IsSystemDirectory("c:\\windows\\SYSTEM32\\", "C:\\WINDOWS\\SYSTEM32\\"));
  EXPECT_TRUE(IsSystemDirectory("C:\\windows\\system32", "C:\\windows\\system32"));
  EXPECT_FALSE(IsSystemDirectory("C:\\windows\\system32\\sub\\", "C:\\windows\\system32"));
  EXPECT_FALSE(IsSystemDirectory("C:\\windows\\", "C:\\windows\\system32"));
  EXPECT_FALSE(IsSystemDirectory("D:\\tools\\", "C:\\windows\\system32"));
  EXPECT_FALSE(IsSystemDirectory("C:\\windows\\system3\\", "C:\\windows\\system32"));
}

}  // namespace
}  // namespace velmora
