#include "editor/ElevatedStep.h"

#include <gtest/gtest.h>

#include <cstdint>
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

// The frame-set file is refused when the show reader would refuse it, or
// when it lacks even the header record.
TEST(ElevatedStepTest, AFrameSetFileIsCheckedAsTheReaderChecksIt) {
  const struct {
    std::uint64_t length;
    FrameSetProblem problem;
  } cases[] = {
      {0, FrameSetProblem::NoHeader},
      {11, FrameSetProblem::NoHeader},
      {243, FrameSetProblem::NoHeader},
      {244, FrameSetProblem::Good},  // header only: read as a show without frames
      {245, FrameSetProblem::PartialRecord},
      {244 * 3, FrameSetProblem::Good},
      {244 * 3 - 1, FrameSetProblem::PartialRecord},
      {244 * 3 + 100, FrameSetProblem::PartialRecord},
      {MaxFrameSetFileSize / 244 * 244, FrameSetProblem::Good},
      {(MaxFrameSetFileSize / 244 + 1) * 244, FrameSetProblem::TooLarge},
  };
  for (const auto& c : cases) EXPECT_EQ(CheckFrameSetLength(c.length), c.problem) << c.length;
}

// What the elevated process read and checked is written beside the targets,
// read back and compared, then put in place; any failure leaves the old
// files and nothing beside them.
TEST(ElevatedStepTest, TheElevatedModePlacesWhatItCheckedAndClears) {
  const std::string image = "own image";
  struct Case {
    const char* what;
    bool withExe;
    int failAt;
    bool garbled;  // the frame-set file reads back otherwise
    ElevatedExit exit;
    const char* fms;
    const char* scr;
  };
  // Operations: 1 write fms beside, 2 write scr beside, 3 fms to backup, 4 fms
  // in place, 5 scr to backup, 6 scr in place.
  const Case cases[] = {
      {"both", true, 0, false, ElevatedExit::Done, "new fms", "own image"},
      {"frame-set file only", false, 0, false, ElevatedExit::Done, "new fms", "old scr"},
      {"write fails", true, 2, false, ElevatedExit::PlacingFailed, "old fms", "old scr"},
      {"read back differs", true, 0, true, ElevatedExit::PlacingFailed, "old fms", "old scr"},
      {"last rename fails", true, 6, false, ElevatedExit::PlacingFailed, "old fms", "old scr"},
  };
  for (const Case& c : cases) {
    FakeFiles files;
    files.files = {{kFms, "old fms"}, {kScr, "old scr"}};
    files.failAt = c.failAt;
    if (c.garbled) files.garbledPath = kFms + ".new";
    EXPECT_EQ(PlaceChecked(kDir, "Ocean", "new fms", c.withExe ? &image : nullptr, files), c.exit)
        << c.what;
    EXPECT_EQ(files.files[kFms], c.fms) << c.what;
    EXPECT_EQ(files.files[kScr], c.scr) << c.what;
    EXPECT_EQ(files.files.size(), 2u) << c.what << ": nothing left beside";
  }

  FakeFiles files;
  files.files = {{kFms, "fms"}, {kScr, "scr"}, {std::string(kDir) + SEP "Lake.fms", "fms"}};
  EXPECT_EQ(ClearSavers(kDir, {"Ocean", "Lake"}, files), ElevatedExit::Done);
  EXPECT_TRUE(files.files.empty());
}

}  // namespace
}  // namespace velmora
