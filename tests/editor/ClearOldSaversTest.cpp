#include "editor/ClearOldSavers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "editor/ElevatedStep.h"
#include "support/FakeSaverFiles.h"

namespace velmora {
namespace {

using test::FakeFiles;
using test::kAccessDenied;
using test::kDir;
using test::kDirWide;
using test::kSharingViolation;
#define SEP VELMORA_TEST_SEP

std::string InDir(const std::string& file) { return std::string(kDir) + SEP + file; }

struct FakeClearUi : ClearUserInterface {
  std::vector<std::string> said;
  std::wstring notDeleted;
  void Deleted(int index) override { said.push_back("deleted " + std::to_string(index)); }
  void ShowElevationFailure(const std::string& message) override {
    said.push_back(message == ElevationMessage(ElevationOutcome::Declined, 0, false) ? "declined"
                                                                                     : "failed");
  }
  void Refill() override { said.push_back("refill"); }
  void ShowNotDeleted(const std::wstring& message) override {
    said.push_back("not deleted");
    notDeleted = message;
  }
};

// The elevated clearing, run on the same fake files when it goes ahead.
struct FakeClearElevation : SaveElevation {
  FakeFiles& files;
  ElevationOutcome outcome = ElevationOutcome::Done;
  std::vector<std::string> names;
  explicit FakeClearElevation(FakeFiles& f) : files(f) {}
  std::string MakeStagingFolder() override { return {}; }
  void RemoveStagingFolder(const std::string&) override {}
  ElevationOutcome Place(const std::string&, const std::string&, bool, int&) override {
    return ElevationOutcome::CouldNotStart;
  }
  ElevationOutcome Clear(const std::vector<std::string>& given, int& exitCode) override {
    names = given;
    exitCode = 0;
    if (outcome == ElevationOutcome::Done) ClearSavers(kDir, given, files);
    return outcome;
  }
};

// Names the code page holds, but "Sea" (taken as one it cannot).
std::optional<std::string> AnsiButSea(const std::wstring& name) {
  if (name == L"Sea") return std::nullopt;
  return std::string(name.begin(), name.end());
}

// Ocean, Lake and Sea listed and all chosen; which files resist, and
// whether the elevated step is offered and how it ends.
TEST(ClearOldSaversTest, ChosenSaversGoWholeOrStayListedAndRefusedOnesAreElevatedOnce) {
  struct Case {
    const char* what;
    std::map<std::string, int> undeletable;
    bool offered;
    ElevationOutcome outcome;
    std::vector<std::string> said;
    std::vector<std::string> elevated;  // names given to the elevated step
    std::vector<std::string> left;      // files still there
    std::wstring notDeleted;            // the names in the message
  };
  const Case cases[] = {
      {"all deleted, last first", {}, true, ElevationOutcome::Done,
       {"deleted 2", "deleted 1", "deleted 0"}, {}, {}, L""},
      {"a running saver stays whole and is named", {{InDir("Lake.scr"), kSharingViolation}}, true,
       ElevationOutcome::Done, {"deleted 2", "deleted 0", "not deleted"}, {}, {"Lake.fms", "Lake.scr"},
       L"Lake"},
      {"no right: one elevated step for all so refused, in list order",
       {{InDir("Ocean.scr"), kAccessDenied}, {InDir("Lake.fms"), kAccessDenied}}, true,
       ElevationOutcome::Done, {"deleted 2", "refill"}, {"Ocean", "Lake"}, {}, L""},
      {"elevation declined: told, list read again",
       {{InDir("Ocean.scr"), kAccessDenied}}, true, ElevationOutcome::Declined,
       {"deleted 2", "deleted 1", "declined", "refill"}, {"Ocean"}, {"Ocean.fms", "Ocean.scr"}, L""},
      {"elevation not offered: named like any other",
       {{InDir("Ocean.scr"), kAccessDenied}}, false, ElevationOutcome::Done,
       {"deleted 2", "deleted 1", "not deleted"}, {}, {"Ocean.fms", "Ocean.scr"}, L"Ocean"},
      {"a name the code page cannot hold is not elevated",
       {{InDir("Sea.scr"), kAccessDenied}, {InDir("Lake.scr"), kAccessDenied}}, true,
       ElevationOutcome::Failed, {"deleted 0", "failed", "refill", "not deleted"}, {"Lake"},
       {"Lake.fms", "Lake.scr", "Sea.fms", "Sea.scr"}, L"Sea"},
  };
  for (const Case& c : cases) {
    FakeFiles files;
    for (const char* name : {"Ocean", "Lake", "Sea"})
      for (const char* ext : {".fms", ".scr"}) files.files[InDir(std::string(name) + ext)] = "x";
    files.undeletable = c.undeletable;
    FakeClearElevation elevation(files);
    elevation.outcome = c.outcome;
    FakeClearUi ui;
    ClearOldSavers({{0, L"Ocean"}, {1, L"Lake"}, {2, L"Sea"}}, kDirWide, ui, files,
                   c.offered ? &elevation : nullptr, AnsiButSea);
    EXPECT_EQ(ui.said, c.said) << c.what;
    EXPECT_EQ(elevation.names, c.elevated) << c.what;
    std::vector<std::string> left;
    for (const auto& [path, content] : files.files) left.push_back(path.substr(std::string(kDir).size() + 1));
    std::vector<std::string> expected = c.left;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected) << c.what;
    if (!c.notDeleted.empty()) {
      EXPECT_EQ(ui.notDeleted, NotDeletedMessage({c.notDeleted})) << c.what;
    }
  }
}

// The frame-set file goes only with its saver: .scr first, and nothing more
// once it resists.
TEST(ClearOldSaversTest, TheFrameSetFileIsNotTouchedWhenTheSaverResists) {
  FakeFiles files;
  files.files = {{InDir("Ocean.fms"), "x"}, {InDir("Ocean.scr"), "x"}};
  files.undeletable = {{InDir("Ocean.scr"), kSharingViolation}};
  FakeClearUi ui;
  ClearOldSavers({{4, L"Ocean"}}, kDirWide, ui, files, nullptr, AnsiButSea);
  EXPECT_EQ(files.log, std::vector<std::string>{"delete " + InDir("Ocean.scr")});
}

TEST(ClearOldSaversTest, TheMessageNamesTheSaversLeftOneALine) {
  EXPECT_EQ(NotDeletedMessage({L"Ocean", L"海"}),
            L"下列螢幕保護的檔案無法刪除 (可能正在使用中，或沒有權限)：\r\n"
            L"The files of these savers could not be deleted (in use, or no right to):\r\n"
            L"\r\nOcean\r\n海");
}

TEST(ClearOldSaversTest, TheClearListHoldsOnlyFrameSetFilesByTheirLongName) {
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
