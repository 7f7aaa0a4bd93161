#include <gtest/gtest.h>

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
