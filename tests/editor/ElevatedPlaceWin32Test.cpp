// The program's elevated mode run directly (under Wine the process already
// may write to the system directory, so no prompt is involved): it places a
// staged frame-set file it has checked and its own executable in the system
// directory and deletes savers, and refuses every argument and every staged
// content it should not trust, touching nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/StartupWin32.h"
#include "editor/ElevatedStep.h"
#include "editor/ElevationWin32.h"
#include "platform/ApplicationWin32.h"
#include "platform/HandlesWin32.h"
#include "support/ProcessLauncherWin32.h"

namespace velmora {
namespace {

using test::LaunchedProcess;

constexpr DWORD kWaitMs = 20000;

// A whole file, or "<missing>".
std::string Read(const std::wstring& path) {
  UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return "<missing>";
  LARGE_INTEGER size{};
  ::GetFileSizeEx(file.get(), &size);
  std::string content(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  ::ReadFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &read, nullptr);
  content.resize(read);
  return content;
}

// A frame-set file of `records` 244-byte records, `mark` in every one.
std::string Show(int records, char mark) {
  std::string bytes(244 * static_cast<std::size_t>(records), '\0');
  for (std::size_t i = 0; i < bytes.size(); i += 244) bytes[i + 1] = mark;
  return bytes;
}

void Write(const std::wstring& path, const std::string& content) {
  UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file) << "cannot write";
  DWORD written = 0;
  ::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
}

// Runs VELMORA.EXE with `arguments`; its exit code, or -1 when it did not
// end in time (then it is ended).
int RunProgram(const std::wstring& arguments) {
  LaunchedProcess process;
  if (!process.Start(test::ProgramUnderTest(), arguments)) return -1;
  DWORD code = 0;
  bool sawWindow = false;
  if (!process.WaitForExitWatchingWindows(kWaitMs, sawWindow, &code)) return -1;
  EXPECT_FALSE(sawWindow) << "the elevated mode shows no window";
  return static_cast<int>(code);
}

// A staging folder as the editor makes it, and the saver files the test
// puts in the system directory; all removed afterwards.
class ElevatedPlaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test::ProgramUnderTest().empty()) GTEST_SKIP() << "VELMORA_EXE not set";
    ShellElevation elevation(nullptr);
    staging_ = elevation.MakeStagingFolder();
    ASSERT_FALSE(staging_.empty());
    stagingWide_ = WidenAnsi(staging_);
    ClearSystem();
  }
  void TearDown() override {
    ClearSystem();
    if (!staging_.empty()) {
      ::RemoveDirectoryW((stagingWide_ + L"\\ElevDir.fms").c_str());
      ShellElevation(nullptr).RemoveStagingFolder(staging_);
      EXPECT_EQ(::GetFileAttributesW(stagingWide_.c_str()), INVALID_FILE_ATTRIBUTES);
    }
  }
  std::wstring System(const std::wstring& file) const { return test::SystemDirectory() + L"\\" + file; }
  std::wstring Staged(const std::wstring& file) const { return stagingWide_ + L"\\" + file; }
  void ClearSystem() {
    for (const wchar_t* name : {L"ElevOcean", L"ElevLake", L"ElevDir", L"ElevNone"})
      for (const wchar_t* ext : {L".fms", L".scr", L".fms.new", L".scr.new", L".fms.old", L".scr.old"})
        ::DeleteFileW(System(std::wstring(name) + ext).c_str());
  }
  std::wstring Place(const std::wstring& name, const wchar_t* step = kPlaceArgument) const {
    return std::wstring(step) + L" " + QuoteArgument(stagingWide_) + L" " + QuoteArgument(name);
  }

  std::string staging_;
  std::wstring stagingWide_;
};

TEST_F(ElevatedPlaceTest, AGoodShowIsPlacedWithTheProgramsOwnBytesReplacedAndCleared) {
  const std::string program = Read(test::ProgramUnderTest());
  ASSERT_GT(program.size(), 4096u);
  Write(Staged(L"ElevOcean.fms"), Show(3, 'a'));
  EXPECT_EQ(RunProgram(Place(L"ElevOcean")), 0);
  EXPECT_EQ(Read(System(L"ElevOcean.fms")), Show(3, 'a'));
  EXPECT_TRUE(Read(System(L"ElevOcean.scr")) == program) << "NAME.scr is the program itself";

  // Saved again: replaced, nothing left beside; the frame-set file alone
  // (a saver's settings dialog) leaves the saver as it was.
  Write(Staged(L"ElevOcean.fms"), Show(4, 'b'));
  EXPECT_EQ(RunProgram(Place(L"ElevOcean")), 0);
  Write(Staged(L"ElevOcean.fms"), Show(1, 'c'));  // the header alone reads as a show
  EXPECT_EQ(RunProgram(Place(L"ElevOcean", kPlaceFrameSetArgument)), 0);
  EXPECT_EQ(Read(System(L"ElevOcean.fms")), Show(1, 'c'));
  EXPECT_TRUE(Read(System(L"ElevOcean.scr")) == program);
  for (const wchar_t* left : {L"ElevOcean.fms.new", L"ElevOcean.scr.new", L"ElevOcean.fms.old", L"ElevOcean.scr.old"})
    EXPECT_EQ(Read(System(left)), "<missing>") << left;
  // The staged file is the editor's to remove.
  EXPECT_EQ(Read(Staged(L"ElevOcean.fms")), Show(1, 'c'));

  // Clearing: a bad name among them stops the whole run; then both go.
  Write(System(L"ElevLake.fms"), "lake");
  EXPECT_EQ(RunProgram(std::wstring(kClearArgument) + L" ElevLake \"..\\ElevOcean\""), 3);
  EXPECT_EQ(Read(System(L"ElevLake.fms")), "lake");
  EXPECT_EQ(RunProgram(std::wstring(kClearArgument) + L" ElevOcean ElevLake"), 0);
  for (const wchar_t* gone : {L"ElevOcean.fms", L"ElevOcean.scr", L"ElevLake.fms"})
    EXPECT_EQ(Read(System(gone)), "<missing>") << gone;
}

// What a program of the user's could plant in a staging folder: an
// executable of its own beside a good show, a damaged show. Refused, and
// nothing placed or changed.
TEST_F(ElevatedPlaceTest, APlantedExecutableOrADamagedShowIsRefusedAndNothingIsPlaced) {
  Write(System(L"ElevOcean.fms"), "old fms");
  const struct {
    const char* what;
    std::vector<std::pair<const wchar_t*, std::string>> staged;
    const wchar_t* step;
    int exit;
  } cases[] = {
      {"an executable beside the show", {{L"ElevOcean.fms", Show(3, 'a')}, {L"ElevOcean.scr", std::string(25, 'M')}},
       kPlaceArgument, 5},
      {"same, frame-set step", {{L"ElevOcean.fms", Show(3, 'a')}, {L"ElevOcean.scr", "MZ"}}, kPlaceFrameSetArgument, 5},
      {"any other file beside the show", {{L"ElevOcean.fms", Show(3, 'a')}, {L"notes.txt", "x"}}, kPlaceArgument, 5},
      {"a partial record", {{L"ElevOcean.fms", std::string(11, 'x')}}, kPlaceArgument, 9},
      {"a record and a bit", {{L"ElevOcean.fms", Show(2, 'a') + "x"}}, kPlaceFrameSetArgument, 9},
      {"an empty file", {{L"ElevOcean.fms", ""}}, kPlaceArgument, 9},
  };
  for (const auto& c : cases) {
    for (const auto& [file, content] : c.staged) Write(Staged(file), content);
    EXPECT_EQ(RunProgram(Place(L"ElevOcean", c.step)), c.exit) << c.what;
    EXPECT_EQ(Read(System(L"ElevOcean.fms")), "old fms") << c.what;
    for (const wchar_t* none : {L"ElevOcean.scr", L"ElevOcean.fms.new", L"ElevOcean.scr.new"})
      EXPECT_EQ(Read(System(none)), "<missing>") << c.what;
    for (const auto& [file, content] : c.staged) ::DeleteFileW(Staged(file).c_str());
  }
}

TEST_F(ElevatedPlaceTest, UntrustedArgumentsAreRefusedAndNothingIsTouched) {
  Write(System(L"ElevOcean.fms"), "old fms");
  Write(Staged(L"ElevOcean.fms"), Show(3, 'a'));
  ASSERT_TRUE(::CreateDirectoryW(Staged(L"ElevDir.fms").c_str(), nullptr));
  const std::wstring parent = stagingWide_.substr(0, stagingWide_.rfind(L'\\'));
  const std::wstring quoted = QuoteArgument(stagingWide_);
  const struct {
    std::wstring arguments;
    int exit;
  } cases[] = {
      {Place(L"..\\ElevOcean"), 3},
      {Place(L"ElevOcean.x"), 3},
      {Place(L"CON"), 3},
      {Place(L"C:\\Windows\\ElevOcean"), 3},
      {Place(L"ElevOcean "), 3},
      {std::wstring(kPlaceArgument) + L" " + QuoteArgument(parent) + L" ElevOcean", 4},
      {std::wstring(kPlaceArgument) + L" " + QuoteArgument(stagingWide_ + L"\\..\\" +
                                                           stagingWide_.substr(parent.size() + 1)) + L" ElevOcean", 4},
      {std::wstring(kPlaceArgument) + L" " + QuoteArgument(stagingWide_ + L"x") + L" ElevOcean", 4},
      {std::wstring(kPlaceArgument) + L" " + QuoteArgument(test::SystemDirectory()) + L" ElevOcean", 4},
      {std::wstring(kPlaceArgument) + L" Velmora-stage-1 ElevOcean", 4},
      {Place(L"ElevNone"), 5},
      {Place(L"ElevDir"), 5},
      {std::wstring(kPlaceArgument) + L" " + quoted, 2},
      {Place(L"ElevOcean") + L" extra", 2},
      {std::wstring(kClearArgument), 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RunProgram(c.arguments), c.exit) << std::string(c.arguments.begin(), c.arguments.end());
    EXPECT_EQ(Read(System(L"ElevOcean.fms")), "old fms");
    EXPECT_EQ(Read(System(L"ElevOcean.scr")), "<missing>");
    EXPECT_EQ(Read(System(L"ElevNone.fms")), "<missing>");
    EXPECT_EQ(Read(System(L"ElevOcean.fms.new")), "<missing>");
  }
}

TEST_F(ElevatedPlaceTest, RunsWhileAnotherInstanceHoldsTheSemaphore) {
  UniqueKernelHandle held(::CreateSemaphoreA(nullptr, 0, 1, kInstanceSemaphoreName));
  ASSERT_TRUE(held);
  Write(Staged(L"ElevOcean.fms"), Show(2, 'a'));
  EXPECT_EQ(RunProgram(Place(L"ElevOcean", kPlaceFrameSetArgument)), 0);
  EXPECT_EQ(Read(System(L"ElevOcean.fms")), Show(2, 'a'));
}

}  // namespace
}  // namespace velmora
