#include "editor/ElevatedStep.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/FakeSaverFiles.h"

namespace velmora {
namespace {

using test::FakeFiles;
using test::kDir;
#define SEP VELMORA_TEST_SEP

const std::string kFms = std::string(kDir) + SEP "Ocean.fms";
const std::string kScr = std::string(kDir) + SEP "Ocean.scr";

TEST(ElevatedStepTest, TheElevatedModeTakesOnlyItsOwnArgumentsNamesAndFolders) {
  struct StepCase {
    const wchar_t* arg;
    ElevatedStep step;
  };
  const StepCase steps[] = {
      {L"--velmora-elevated-place", ElevatedStep::Place},
      {L"--velmora-elevated-place-fms", ElevatedStep::PlaceFrameSet},
      {L"--velmora-elevated-clear", ElevatedStep::Clear},
      {L"--VELMORA-ELEVATED-PLACE", ElevatedStep::None},
      {L"--velmora-elevated-place ", ElevatedStep::None},
      {L"--velmora-elevated", ElevatedStep::None},
      {L"/s", ElevatedStep::None},
      {L"/c", ElevatedStep::None},
      {L"/c:1234", ElevatedStep::None},
      {L"/p", ElevatedStep::None},
      {L"/a", ElevatedStep::None},
      {L"", ElevatedStep::None},
  };
  for (const StepCase& c : steps) EXPECT_EQ(ElevatedStepOf(c.arg), c.step) << c.arg;

  struct FolderCase {
    const wchar_t* path;
    bool ok;
  };
  const FolderCase folders[] = {
      {L"C:\\Users\\amy\\AppData\\Local\\Temp\\Velmora-stage-12-34", true},
      {L"c:\\Velmora-stage-1", true},
      {L"C:\\Temp\\Velmora-stage-", false},  // the prefix alone
      {L"C:\\Temp\\Other-1", false},
      {L"C:\\Temp\\Velmora-stage-1\\", false},
      {L"C:\\Temp\\..\\Velmora-stage-1", false},
      {L"C:\\Temp\\.\\Velmora-stage-1", false},
      {L"C:\\Temp\\\\Velmora-stage-1", false},
      {L"C:/Temp/Velmora-stage-1", false},
      {L"Temp\\Velmora-stage-1", false},
      {L"C:Velmora-stage-1", false},
      {L"\\\\server\\share\\Velmora-stage-1", false},
      {L"\\\\?\\C:\\Velmora-stage-1", false},
      {L"C:\\Temp\\Velmora-stage-1.", false},
      {L"C:\\Temp\\Velmora-stage-1:s", false},
      {L"C:\\Te*p\\Velmora-stage-1", false},
      {L"", false},
  };
  for (const FolderCase& c : folders) EXPECT_EQ(IsStagingFolderPath(c.path), c.ok) << c.path;

  EXPECT_TRUE(IsElevatedName(L"Ocean", "Ocean", true));
  EXPECT_FALSE(IsElevatedName(L"Ocean", "Ocean", false));  // not in the code page
  for (const wchar_t* bad : {L"", L"..\\x", L"a.b", L"CON", L"C:x", L"x "})
    EXPECT_FALSE(IsElevatedName(bad, "x", true)) << bad;
  EXPECT_FALSE(IsElevatedName(std::wstring(101, L'海'), std::string(202, '\xAE'), true));
}

TEST(ElevatedStepTest, TheElevatedModePlacesFromStagingAndClears) {
  const std::string staging = "C:\\tmp\\Velmora-stage-1";
  const std::string stagedFms = SaverFilePath(staging, "Ocean", ".fms");
  const std::string stagedScr = SaverFilePath(staging, "Ocean", ".scr");
  const std::string nearFms = std::string(kDir) + SEP "Ocean.fms.new";
  struct Case {
    const char* what;
    bool withExe;
    bool scrStaged;
    int failAt;
    ElevatedExit exit;
    const char* fms;
    const char* scr;
  };
  // Operations: 1 copy fms beside, 2 copy scr beside, 3 fms to backup, 4 fms
  // in place, 5 scr to backup, 6 scr in place.
  const Case cases[] = {
      {"both", true, true, 0, ElevatedExit::Done, "new fms", "new scr"},
      {"frame-set file only", false, false, 0, ElevatedExit::Done, "new fms", "old scr"},
      {"executable missing", true, false, 0, ElevatedExit::BadSource, "old fms", "old scr"},
      {"copy fails", true, true, 2, ElevatedExit::PlacingFailed, "old fms", "old scr"},
      {"last rename fails", true, true, 6, ElevatedExit::PlacingFailed, "old fms", "old scr"},
  };
  for (const Case& c : cases) {
    FakeFiles files;
    files.files = {{kFms, "old fms"}, {kScr, "old scr"}, {stagedFms, "new fms"}};
    if (c.scrStaged) files.files[stagedScr] = "new scr";
    files.failAt = c.failAt;
    EXPECT_EQ(PlaceFromStaging(kDir, staging, "Ocean", c.withExe, files), c.exit) << c.what;
    EXPECT_EQ(files.files[kFms], c.fms) << c.what;
    EXPECT_EQ(files.files[kScr], c.scr) << c.what;
    EXPECT_EQ(files.files.count(nearFms), 0u) << c.what;
    EXPECT_EQ(files.files.size(), c.scrStaged ? 4u : 3u) << c.what << ": staged files kept";
  }

  FakeFiles files;
  files.files = {{kFms, "fms"}, {kScr, "scr"}, {std::string(kDir) + SEP "Lake.fms", "fms"}};
  EXPECT_EQ(ClearSavers(kDir, {"Ocean", "Lake"}, files), ElevatedExit::Done);
  EXPECT_TRUE(files.files.empty());
}

}  // namespace
}  // namespace velmora
