#include "editor/SaveShow.h"

#include <utility>
#include <vector>

#include "frames/FrameSet.h"

namespace velmora {

namespace {

// The first frame (1 to count-2) that is empty: no path, no colour.
bool HasEmptyFrame(const FrameList& list) {
  for (std::size_t i = 1; i + 1 < list.Count(); ++i)
    if (list[i].IsEmptyFrame()) return true;
  return false;
}

int NonEmptyFrameCount(const FrameList& list) {
  int count = 0;
  for (std::size_t i = 1; i + 1 < list.Count(); ++i)
    if (!list[i].IsEmptyFrame()) ++count;
  return count;
}

// Why steps 5 to 7 of a save did not end with both files in place.
struct StepFailure {
  int code = 0;
  std::string detail;
  bool cancelled = false;  // the user stopped the shell's copy
};

// Steps 5-7 of a save: stage the frame-set file (and the executable) beside
// the targets, then put them in place. Nothing when all went well.
std::optional<StepFailure> StageAndPlace(const FrameList& list, const SaveSetting& setting,
                                         const std::string& name, SaveFileSystem& files) {
  const std::string fmsPath = SaverFilePath(setting.systemDir, name, ".fms");
  const std::string scrPath = SaverFilePath(setting.systemDir, name, ".scr");
  std::vector<Placement> placements;
  placements.push_back({fmsPath + kStagedSuffix, fmsPath});

  // 5. The frame-set file, staged whole.
  try {
    files.WriteFrameSet(placements[0].staged, list);
  } catch (const EInOutError& error) {
    files.Remove(placements[0].staged);
    return StepFailure{error.Code(), error.what()};
  }

  // 6. The executable, staged by the shell's copy (the editor only: a
  // saver's settings dialog already is its .scr file).
  if (setting.isEditorExe) {
    placements.push_back({scrPath + kStagedSuffix, scrPath});
    int code = 0;
    const CopyOutcome copied = files.CopyFile(setting.executablePath, placements[1].staged, code);
    if (copied != CopyOutcome::Copied) {
      for (const Placement& p : placements) files.Remove(p.staged);
      if (copied == CopyOutcome::Failed && IsNoWriteRight(code)) return StepFailure{code, {}};
      return StepFailure{code, {}, true};
    }
  }

  // 7. Both in place, or neither.
  if (std::optional<EInOutError> failure = PlaceAll(placements, files))
    return StepFailure{failure->Code(), failure->what()};
  return std::nullopt;
}

// Removes the staging folder however the elevated save ends.
class StagingFolder {
 public:
  StagingFolder(SaveElevation& elevation, std::string path)
      : elevation_(elevation), path_(std::move(path)) {}
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;
  ~StagingFolder() {
    if (!path_.empty()) elevation_.RemoveStagingFolder(path_);
  }
  const std::string& Path() const { return path_; }

 private:
  SaveElevation& elevation_;
  std::string path_;
};

// The save after a refusal for lack of rights: the frame-set file staged in
// a folder of the program's own, then placed by one elevated step, which
// writes the saver executable (from the editor) from its own file.
SaveResult SaveElevated(const FrameList& list, const SaveSetting& setting, const std::string& name,
                        int refusedCode, SaveUserInterface& ui, SaveFileSystem& files,
                        SaveElevation& elevation) {
  const StagingFolder staging(elevation, elevation.MakeStagingFolder());
  if (staging.Path().empty()) {
    ui.ShowError(SaveErrorMessage(refusedCode, setting.isEditorExe, true),
                 "The staging folder could not be made.");
    return SaveResult::Failed;
  }
  try {
    files.WriteFrameSet(SaverFilePath(staging.Path(), name, ".fms"), list);
  } catch (const EInOutError& error) {
    ui.ShowError(SaveErrorMessage(error.Code(), setting.isEditorExe, true), error.what());
    return SaveResult::Failed;
  }
  // The executable is not staged: the elevated step places its own.
  int exitCode = 0;
  const ElevationOutcome outcome =
      elevation.Place(staging.Path(), name, setting.isEditorExe, exitCode);
  if (outcome != ElevationOutcome::Done) {
    ui.ShowError(ElevationMessage(outcome, exitCode, true), {});
    return SaveResult::Failed;
  }
  ui.ShowDone(name);
  return SaveResult::Saved;
}

}  // namespace

std::wstring SaveDoneMessage(std::wstring_view name) {
  std::wstring text = L"存檔完成。\n\r請開啟\"控制台\"內的\"顯示器\"，設定新設的螢幕保護裝置 - ";
  text += name;
  return text;
}

std::string SaveErrorMessage(int errorCode, bool isEditorExe, bool elevationOffered) {
  if (IsNoWriteRight(errorCode)) {
    std::string text =
        "沒有寫入系統目錄的權限，這次沒有存檔，原有的檔案都沒有變更。\r\n"
        "No right to write to the system directory: nothing was saved and the files already "
        "there are unchanged.";
    if (elevationOffered) return text;
    text += "\r\n\r\n";
    if (isEditorExe) {
      text +=
          "請以系統管理員身分執行編輯器後再存檔。\r\n"
          "Run the editor as administrator and save again.";
    } else {
      text +=
          "Windows 開啟螢幕保護的設定時不具系統管理員權限。請在以系統管理員身分開啟的命令提示字元中，"
          "以 /c 參數執行這個螢幕保護 (.scr) 後再存檔。\r\n"
          "Windows opens a saver's settings without administrator rights. In a command prompt "
          "run as administrator, run this saver (.scr) with /c and save again.";
    }
    return text;
  }
  return "存檔失敗，原有的檔案都沒有變更。\r\nSaving failed; the files already saved are "
         "unchanged.";
}

SaveResult SaveShow(FrameList& list, const SaveSetting& setting, SaveUserInterface& ui,
                    SaveFileSystem& files, SaveElevation* elevation) {
  // Save is offered for two frames or more; a command that arrives anyway
  // (a posted one) does nothing.
  if (list.FrameCount() < 2) return SaveResult::NoName;
  FrameRecord& header = list[0];

  // 1-2. The name: asked in the editor, the saver's own in its settings.
  std::string name;
  if (setting.isEditorExe) {
    const std::optional<std::string> asked = ui.AskName(header.Path());
    if (!asked || asked->empty()) return SaveResult::NoName;
    name = *asked;
    const bool sameShow = SameFileName(name, header.Path());
    if (!sameShow && (files.Exists(SaverFilePath(setting.systemDir, name, ".fms")) ||
                      files.Exists(SaverFilePath(setting.systemDir, name, ".scr")))) {
      if (!ui.ConfirmReplace(name)) return SaveResult::Declined;
    }
  } else {
    name = setting.saverBaseName;
    if (name.empty()) {
      ui.ShowError(SaveErrorMessage(0, false), "The saver's own file name is unknown.");
      return SaveResult::Failed;
    }
  }

  // 3. Blank frames, before anything is written.
  if (HasEmptyFrame(list) && ui.AskClearEmptyFrames()) {
    if (NonEmptyFrameCount(list) < 2) {
      ui.ShowError(
          "清除空白圖框後將少於兩個圖框，這次沒有存檔。\r\n"
          "Clearing the blank frames would leave fewer than two frames; nothing was saved.",
          {});
      return SaveResult::TooFewFrames;
    }
    ui.ClearEmptyFrames();
  }

  // 4. The show name goes into the header and the caption.
  header.SetPath(name);
  ui.SetCaption(name);

  // 5-7. Staged beside the targets, then put in place.
  if (const std::optional<StepFailure> failure = StageAndPlace(list, setting, name, files)) {
    if (failure->cancelled) {
      ui.ShowCancelled();
      return SaveResult::CopyCancelled;
    }
    // Refused for lack of rights: one elevated step places what the editor
    // stages in a folder of its own.
    if (elevation != nullptr && IsNoWriteRight(failure->code))
      return SaveElevated(list, setting, name, failure->code, ui, files, *elevation);
    ui.ShowError(SaveErrorMessage(failure->code, setting.isEditorExe), failure->detail);
    return SaveResult::Failed;
  }

  // 8. Done.
  ui.ShowDone(name);
  return SaveResult::Saved;
}

}  // namespace velmora
