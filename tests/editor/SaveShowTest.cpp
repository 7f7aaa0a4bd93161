#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "editor/ElevatedStep.h"
#include "editor/SaveShow.h"
#include "frames/FrameSet.h"
#include "support/FakeSaverFiles.h"

namespace velmora {
namespace {

using test::FakeFiles;
using test::kAccessDenied;
using test::kDir;
#define SEP VELMORA_TEST_SEP

struct FakeUi : SaveUserInterface {
  std::optional<std::string> name;
  bool replace = true;
  bool clearEmpty = true;
  std::vector<std::string> said;
  std::string asked;
  std::string lastMessage;
  FrameList* list = nullptr;

  std::optional<std::string> AskName(const std::string& current) override {
    asked = current;
    said.push_back("name?");
    return name;
  }
  bool ConfirmReplace(const std::string& n) override {
    said.push_back("replace " + n + "?");
    return replace;
  }
  bool AskClearEmptyFrames() override {
    said.push_back("clear?");
    return clearEmpty;
  }
  void ClearEmptyFrames() override {
    for (std::size_t i = list->Count() - 2; i >= 1; --i)
      if (list->At(i).IsEmptyFrame()) list->Remove(i);
  }
  void SetCaption(const std::string& n) override { said.push_back("caption " + n); }
  void ShowCancelled() override { said.push_back("Cancelled"); }
  void ShowError(const std::string& message, const std::string&) override {
    lastMessage = message;
    said.push_back(message.find("權限") != std::string::npos ? "no right" : "error");
  }
  void ShowDone(const std::string& n) override { said.push_back("done " + n); }
};

FrameList Show(int frames, int emptyAt = 0) {
  FrameList list;
  AppendFrameRecord(list);
  for (int i = 1; i <= frames; ++i) {
    FrameRecord& f = AppendFrameRecord(list);
    if (i != emptyAt) f.SetPath("C:\\p" + std::to_string(i) + ".jpg");
  }
  AppendFrameRecord(list);
  return list;
}

const std::string kFms = std::string(kDir) + SEP "Ocean.fms";
const std::string kScr = std::string(kDir) + SEP "Ocean.scr";
const std::string kExe = "C:\\tools\\VELMORA.EXE";

SaveSetting Editor() { return {true, kDir, "", kExe}; }

TEST(SaveShowTest, TheCompletionMessageEndsWithTheName) {
  EXPECT_EQ(SaveDoneMessage(L"Ocean"),
            L"存檔完成。\n\r請開啟\"控制台\"內的\"顯示器\"，設定新設的螢幕保護裝置 - Ocean");
}

// The steps of one save, in order, for the usual cases.
TEST(SaveShowTest, SavingAsksFirstThenStagesAndPlacesBothFiles) {
  struct Case {
    const char* what;
    SaveSetting setting;
    std::optional<std::string> name;
    const char* headerName;
    bool existing;        // Ocean's files are there before
    bool replace;
    int emptyAt;          // an empty frame at this position (0: none)
    bool clear;
    SaveResult result;
    std::vector<std::string> said;
  };
  const Case cases[] = {
      {"new show", Editor(), "Ocean", "", false, true, 0, true, SaveResult::Saved,
       {"name?", "caption Ocean", "done Ocean"}},
      {"saving again offers the name and asks nothing", Editor(), "Ocean", "OCEAN", true, true, 0,
       true, SaveResult::Saved, {"name?", "caption Ocean", "done Ocean"}},
      {"another saver's name asks", Editor(), "Ocean", "Lake", true, true, 0, true,
       SaveResult::Saved, {"name?", "replace Ocean?", "caption Ocean", "done Ocean"}},
      {"replacing refused", Editor(), "Ocean", "", true, false, 0, true, SaveResult::Declined,
       {"name?", "replace Ocean?"}},
      {"naming left", Editor(), std::nullopt, "", false, true, 0, true, SaveResult::NoName,
       {"name?"}},
      {"empty name", Editor(), "", "", false, true, 0, true, SaveResult::NoName, {"name?"}},
      {"empty frame cleared", Editor(), "Ocean", "", false, true, 2, true, SaveResult::Saved,
       {"name?", "clear?", "caption Ocean", "done Ocean"}},
      {"empty frame kept", Editor(), "Ocean", "", false, true, 2, false, SaveResult::Saved,
       {"name?", "clear?", "caption Ocean", "done Ocean"}},
      {"settings dialog: own name, no copy", {false, kDir, "Ocean", kExe}, std::nullopt, "Other",
       true, true, 0, true, SaveResult::Saved, {"caption Ocean", "done Ocean"}},
      {"settings dialog: empty header name", {false, kDir, "Ocean", kExe}, std::nullopt, "", true,
       true, 0, true, SaveResult::Saved, {"caption Ocean", "done Ocean"}},
  };
  for (const Case& c : cases) {
    FrameList list = Show(3, c.emptyAt);
    list[0].SetPath(c.headerName);
    FakeFiles files;
    files.files[kExe] = "exe";
    if (c.existing) {
      files.files[kFms] = "old fms";
      files.files[kScr] = "old scr";
    }
    FakeUi ui;
    ui.name = c.name;
    ui.replace = c.replace;
    ui.clearEmpty = c.clear;
    ui.list = &list;
    EXPECT_EQ(SaveShow(list, c.setting, ui, files), c.result) << c.what;
    EXPECT_EQ(ui.said, c.said) << c.what;
    if (c.setting.isEditorExe) {
      EXPECT_EQ(ui.asked, c.headerName) << c.what;
    }
    if (c.result != SaveResult::Saved) {
      EXPECT_EQ(files.log, std::vector<std::string>{}) << c.what << ": nothing written";
      continue;
    }
    const std::string name = c.setting.isEditorExe ? *c.name : c.setting.saverBaseName;
    const std::string fms = std::string(kDir) + SEP + name + ".fms";
    const std::string scr = std::string(kDir) + SEP + name + ".scr";
    const std::size_t frames = c.emptyAt != 0 && c.clear ? 2 : 3;
    EXPECT_EQ(files.files[fms], "fms:" + std::to_string(frames + 1) + ":" + name) << c.what;
    EXPECT_EQ(files.files[scr], c.setting.isEditorExe ? "exe" : "old scr") << c.what;
    EXPECT_EQ(list[0].Path(), name) << c.what;
    // Nothing else is left behind: the executable and the two saver files.
    EXPECT_EQ(files.files.size(), c.setting.isEditorExe || c.existing ? 3u : 2u) << c.what;
  }
}

TEST(SaveShowTest, ClearingBlankFramesThatLeavesFewerThanTwoWritesNothing) {
  FrameList list = Show(2, 1);
  FakeFiles files;
  FakeUi ui;
  ui.name = "Ocean";
  ui.list = &list;
  EXPECT_EQ(SaveShow(list, Editor(), ui, files), SaveResult::TooFewFrames);
  EXPECT_EQ(ui.said, (std::vector<std::string>{"name?", "clear?", "error"}));
  EXPECT_TRUE(files.log.empty());
  EXPECT_EQ(list.Count(), 4u);
}

// Every operation of a save made to fail in turn: the old files stay as
// they were, nothing staged is left, and the user is told.
TEST(SaveShowTest, AFailureAtAnyStepLeavesThePreviousFiles) {
  struct Case {
    const char* what;
    int failAt;
    int code;
    CopyOutcome copy;
    SaveResult result;
    const char* said;
  };
  // Operations of a save over existing files: 1 write staged fms, 2 copy
  // staged scr, 3 fms to backup, 4 staged fms in place, 5 scr to backup,
  // 6 staged scr in place.
  const Case cases[] = {
      {"write refused", 1, kAccessDenied, CopyOutcome::Failed, SaveResult::Failed, "no right"},
      {"write fails", 1, 28, CopyOutcome::Failed, SaveResult::Failed, "error"},
      {"copy refused", 2, kAccessDenied, CopyOutcome::Failed, SaveResult::Failed, "no right"},
      {"copy fails", 2, 1223, CopyOutcome::Failed, SaveResult::CopyCancelled, "Cancelled"},
      {"copy stopped", 2, 0, CopyOutcome::Cancelled, SaveResult::CopyCancelled, "Cancelled"},
      {"backup of fms", 3, kAccessDenied, CopyOutcome::Failed, SaveResult::Failed, "no right"},
      {"placing fms", 4, 32, CopyOutcome::Failed, SaveResult::Failed, "error"},
      {"backup of scr", 5, 32, CopyOutcome::Failed, SaveResult::Failed, "error"},
      {"placing scr", 6, 32, CopyOutcome::Failed, SaveResult::Failed, "error"},
  };
  for (const Case& c : cases) {
    FrameList list = Show(2);
    FakeFiles files;
    files.files[kExe] = "exe";
    files.files[kFms] = "old fms";
    files.files[kScr] = "old scr";
    files.failAt = c.failAt;
    files.failCode = c.code;
    files.copyFailure = c.copy;
    FakeUi ui;
    ui.name = "Ocean";
    ui.list = &list;
    EXPECT_EQ(SaveShow(list, Editor(), ui, files), c.result) << c.what;
    EXPECT_EQ(ui.said.back(), c.said) << c.what;
    const std::map<std::string, std::string> before = {
        {kExe, "exe"}, {kFms, "old fms"}, {kScr, "old scr"}};
    EXPECT_EQ(files.files, before) << c.what;
  }
  // Without a failure the same save runs exactly those six operations.
  FrameList list = Show(2);
  FakeFiles files;
  files.files = {{kExe, "exe"}, {kFms, "old fms"}, {kScr, "old scr"}};
  FakeUi ui;
  ui.name = "Ocean";
  ui.list = &list;
  EXPECT_EQ(SaveShow(list, Editor(), ui, files), SaveResult::Saved);
  EXPECT_EQ(files.log.size(), 6u);
}

// The elevated step as the editor sees it: on Done it has run the elevated
// mode's own placing on the same files.
struct FakeElevation : SaveElevation {
  FakeFiles& files;
  ElevationOutcome outcome = ElevationOutcome::Done;
  int exitCode = 0;
  bool canStage = true;
  std::vector<std::string> calls;
  std::vector<std::string> staged;  // the staging folder's files when placing was asked
  explicit FakeElevation(FakeFiles& f) : files(f) {}

  std::string MakeStagingFolder() override {
    calls.push_back("stage");
    return canStage ? std::string("C:\\tmp\\Velmora-stage-1") : std::string();
  }
  void RemoveStagingFolder(const std::string& folder) override {
    calls.push_back("unstage");
    for (auto it = files.files.begin(); it != files.files.end();)
      it = it->first.starts_with(folder) ? files.files.erase(it) : std::next(it);
  }
  ElevationOutcome Place(const std::string& staging, const std::string& name, bool withExe,
                         int& code) override {
    calls.push_back(withExe ? "place " + name : "place fms " + name);
    for (const auto& [path, content] : files.files)
      if (path.starts_with(staging)) staged.push_back(path.substr(staging.size() + 1));
    code = exitCode;
    // The elevated step places the staged frame-set file and its own image.
    const std::string image = "exe";
    if (outcome == ElevationOutcome::Done &&
        PlaceChecked(kDir, name, files.files[SaverFilePath(staging, name, ".fms")],
                     withExe ? &image : nullptr, files) != ElevatedExit::Done)
      return ElevationOutcome::Failed;
    return outcome;
  }
  ElevationOutcome Clear(const std::vector<std::string>&, int&) override { return outcome; }
};

// A step refused for lack of rights goes to one elevated step; whatever its
// outcome the staging folder goes, and on any failure the old files stay.
TEST(SaveShowTest, ARefusedStepIsPlacedByOneElevatedStep) {
  struct Case {
    const char* what;
    bool editor;
    int failAt;  // the operation refused (see the next test's numbering)
    int code;
    ElevationOutcome outcome;
    int exitCode;
    bool canStage;
    SaveResult result;
    std::vector<std::string> calls;
  };
  const std::vector<std::string> placed = {"stage", "place Ocean", "unstage"};
  const Case cases[] = {
      {"write refused, elevated", true, 1, kAccessDenied, ElevationOutcome::Done, 0, true,
       SaveResult::Saved, placed},
      {"copy refused, elevated", true, 2, kAccessDenied, ElevationOutcome::Done, 0, true,
       SaveResult::Saved, placed},
      {"backup refused, elevated", true, 3, kAccessDenied, ElevationOutcome::Done, 0, true,
       SaveResult::Saved, placed},
      {"prompt declined", true, 1, kAccessDenied, ElevationOutcome::Declined, 0, true,
       SaveResult::Failed, placed},
      {"could not start", true, 1, kAccessDenied, ElevationOutcome::CouldNotStart, 0, true,
       SaveResult::Failed, placed},
      {"elevated step fails", true, 2, kAccessDenied, ElevationOutcome::Failed, 6, true,
       SaveResult::Failed, placed},
      {"no staging folder", true, 1, kAccessDenied, ElevationOutcome::Done, 0, false,
       SaveResult::Failed, {"stage"}},
      {"other failure: not elevated", true, 1, 28, ElevationOutcome::Done, 0, true,
       SaveResult::Failed, {}},
      {"settings dialog: only the frame-set file", false, 1, kAccessDenied,
       ElevationOutcome::Done, 0, true, SaveResult::Saved, {"stage", "place fms Ocean", "unstage"}},
      {"settings dialog declined", false, 1, kAccessDenied, ElevationOutcome::Declined, 0, true,
       SaveResult::Failed, {"stage", "place fms Ocean", "unstage"}},
  };
  for (const Case& c : cases) {
    FrameList list = Show(2);
    FakeFiles files;
    files.files = {{kExe, "exe"}, {kFms, "old fms"}, {kScr, "old scr"}};
    files.failAt = c.failAt;
    files.failCode = c.code;
    FakeElevation elevation(files);
    elevation.outcome = c.outcome;
    elevation.exitCode = c.exitCode;
    elevation.canStage = c.canStage;
    FakeUi ui;
    ui.name = "Ocean";
    ui.list = &list;
    const SaveSetting setting = c.editor ? Editor() : SaveSetting{false, kDir, "Ocean", kExe};
    EXPECT_EQ(SaveShow(list, setting, ui, files, &elevation), c.result) << c.what;
    EXPECT_EQ(elevation.calls, c.calls) << c.what;
    // Only the frame-set file is staged: the executable is the elevated
    // step's own.
    if (c.calls.size() > 1) {
      EXPECT_EQ(elevation.staged, std::vector<std::string>{"Ocean.fms"}) << c.what;
    }
    if (c.result == SaveResult::Saved) {
      EXPECT_EQ(ui.said.back(), "done Ocean") << c.what;
      EXPECT_EQ(files.files[kFms], "fms:3:Ocean") << c.what;
      EXPECT_EQ(files.files[kScr], c.editor ? "exe" : "old scr") << c.what;
      EXPECT_EQ(files.files.size(), 3u) << c.what << ": nothing staged left";
      continue;
    }
    const std::map<std::string, std::string> before = {
        {kExe, "exe"}, {kFms, "old fms"}, {kScr, "old scr"}};
    EXPECT_EQ(files.files, before) << c.what;
    if (c.calls.size() > 1) {
      EXPECT_EQ(ui.lastMessage, ElevationMessage(c.outcome, c.exitCode, true)) << c.what;
    }
    // Offered elevation, the message no longer sends the user to run the
    // editor as administrator.
    EXPECT_EQ(ui.lastMessage.find("as administrator"), std::string::npos) << c.what;
  }
}

}  // namespace
}  // namespace velmora
