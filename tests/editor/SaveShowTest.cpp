#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "editor/SaveShow.h"
#include "frames/FrameSet.h"

namespace velmora {
namespace {

#ifdef _WIN32
constexpr int kAccessDenied = 5;
constexpr const char* kDir = "C:\\sys";
#define SEP "\\"
#else
constexpr int kAccessDenied = 13;  // EACCES
constexpr const char* kDir = "/sys";
#define SEP "/"
#endif

// Files as names and contents; every changing operation is logged, and the
// n-th one (counting from 1) can be made to fail.
struct FakeFiles : SaveFileSystem {
  std::map<std::string, std::string> files;
  std::vector<std::string> log;
  int failAt = 0;
  int failCode = kAccessDenied;
  CopyOutcome copyFailure = CopyOutcome::Failed;
  int operations = 0;

  bool Failing(const std::string& what) {
    log.push_back(what);
    return ++operations == failAt;
  }
  bool Exists(const std::string& path) override { return files.count(path) != 0; }
  void WriteFrameSet(const std::string& path, const FrameList& list) override {
    if (Failing("write " + path)) throw EInOutError(failCode, "write failed");
    files[path] = "fms:" + std::to_string(list.Count() - 1) + ":" + list[0].Path();
  }
  CopyOutcome CopyFile(const std::string& from, const std::string& to, int& code) override {
    if (Failing("copy " + to)) {
      files[to] = "partial";
      code = failCode;
      return copyFailure;
    }
    files[to] = files.count(from) ? files[from] : "exe";
    return CopyOutcome::Copied;
  }
  void Rename(const std::string& from, const std::string& to) override {
    if (Failing("rename " + from + " > " + to) || !files.count(from))
      throw EInOutError(failCode, "rename failed");
    files[to] = files[from];
    files.erase(from);
  }
  bool Remove(const std::string& path) override {
    files.erase(path);
    return true;
  }
};

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

TEST(SaveShowTest, NamesThatCannotBeASaversFileNameAreRefused) {
  struct Case {
    const wchar_t* name;
    SaverNameProblem problem;
  };
  const Case cases[] = {
      {L"Ocean", SaverNameProblem::Valid},
      {L"海洋 2", SaverNameProblem::Valid},
      {L"許", SaverNameProblem::Valid},  // second Big5 byte is a backslash
      {L"COM10", SaverNameProblem::Valid},
      {L"CONSOLE", SaverNameProblem::Valid},
      {L"", SaverNameProblem::Empty},
      {L"my.show", SaverNameProblem::Dot},
      {L"Ocean.", SaverNameProblem::Dot},
      {L"..", SaverNameProblem::Dot},
      {L"Ocean ", SaverNameProblem::TrailingSpace},
      {L"a\\b", SaverNameProblem::BadCharacter},
      {L"..\\x", SaverNameProblem::BadCharacter},
      {L"C:x", SaverNameProblem::BadCharacter},
      {L"a/b", SaverNameProblem::BadCharacter},
      {L"a*", SaverNameProblem::BadCharacter},
      {L"a?", SaverNameProblem::BadCharacter},
      {L"\"a\"", SaverNameProblem::BadCharacter},
      {L"<a>", SaverNameProblem::BadCharacter},
      {L"a|b", SaverNameProblem::BadCharacter},
      {L"a\tb", SaverNameProblem::BadCharacter},
      {L"CON", SaverNameProblem::ReservedDeviceName},
      {L"nul", SaverNameProblem::ReservedDeviceName},
      {L"Com1", SaverNameProblem::ReservedDeviceName},
      {L"LPT9", SaverNameProblem::ReservedDeviceName},
      {L"aux", SaverNameProblem::ReservedDeviceName},
      {L"com\u00B9", SaverNameProblem::ReservedDeviceName},
      {L"LPT\u00B3", SaverNameProblem::ReservedDeviceName},
      {L"COM0", SaverNameProblem::ReservedDeviceName},
      {L"conin$", SaverNameProblem::ReservedDeviceName},
      {L"CONOUT$", SaverNameProblem::ReservedDeviceName},
      {L"LPT\u00B4", SaverNameProblem::Valid},
  };
  for (const Case& c : cases) {
    const SaverNameProblem got = CheckSaverName(c.name);
    EXPECT_EQ(got, c.problem) << static_cast<int>(got);
    EXPECT_EQ(SaverNameMessage(got).empty(),
              c.problem == SaverNameProblem::Valid || c.problem == SaverNameProblem::Empty);
  }
  EXPECT_EQ(CheckSaverName(std::wstring(200, L'a')), SaverNameProblem::Valid);
  EXPECT_EQ(CheckSaverName(std::wstring(201, L'a')), SaverNameProblem::TooLong);
  // As the header stores it: 200 bytes in the system code page at most.
  const struct {
    std::wstring name;
    std::string ansi;
    SaverNameProblem problem;
  } stored[] = {
      {std::wstring(100, L'海'), std::string(200, '\xAE'), SaverNameProblem::Valid},
      {std::wstring(101, L'海'), std::string(202, '\xAE'), SaverNameProblem::TooLong},
      {L"海.", "\xAE\xFC.", SaverNameProblem::Dot},
      {L"", "", SaverNameProblem::Empty},
  };
  for (const auto& c : stored) EXPECT_EQ(CheckSaverName(c.name, c.ansi), c.problem) << c.ansi.size();
}

TEST(SaveShowTest, NamesCompareIgnoringCaseButDoubleByteCharactersExactly) {
  EXPECT_TRUE(SameFileName("Ocean", "OCEAN"));
  EXPECT_FALSE(SameFileName("Ocean", "Oceans"));
  EXPECT_FALSE(SameFileName("\xA4" "A", "\xA4" "a"));  // two different Big5 characters
  EXPECT_TRUE(SameFileName("\xA4" "Ax", "\xA4" "AX"));
}

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
    if (outcome == ElevationOutcome::Done &&
        PlaceFromStaging(kDir, staging, name, withExe, files) != ElevatedExit::Done)
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
    if (c.calls.size() > 1) {
      const std::vector<std::string> staged =
          c.editor ? std::vector<std::string>{"Ocean.fms", "Ocean.scr"}
                   : std::vector<std::string>{"Ocean.fms"};
      EXPECT_EQ(elevation.staged, staged) << c.what;
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

TEST(SaveShowTest, TheElevatedModeTakesOnlyItsOwnArgumentsNamesAndFolders) {
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

TEST(SaveShowTest, TheElevatedModePlacesFromStagingAndClears) {
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

TEST(SaveShowTest, TheClearListHoldsOnlyFrameSetFilesByTheirLongName) {
  const std::vector<DirectoryEntry> entries = {
      {L"Ocean.fms", false}, {L"Lake.FMS", false},   {L"Folder.fms", true},
      {L"notes.fmsx", false}, {L".fms", false},
      {L"a.fms.fms", false},  {L"Sea.scr", false},
  };
  // notes.fmsx is what a search for *.fms finds by its short name NOTES~1.FMS.
  EXPECT_EQ(SaverNamesIn(entries), (std::vector<std::wstring>{L"Ocean", L"Lake", L"a.fms"}));
}

}  // namespace
}  // namespace velmora
