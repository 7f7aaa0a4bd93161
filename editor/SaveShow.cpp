#include "editor/SaveShow.h"

#include <algorithm>
#include <cerrno>
#include <cwctype>
#include <exception>
#include <utility>

#include "frames/FrameSet.h"

namespace velmora {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// The staged copies and the backups of a save, beside their targets.
constexpr const char* kStagedSuffix = ".new";
constexpr const char* kBackupSuffix = ".old";

wchar_t UpperAscii(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; }

bool IsReservedDeviceName(std::wstring_view name) {
  std::wstring upper;
  for (wchar_t c : name) upper += UpperAscii(c);
  for (const wchar_t* reserved : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
    if (upper == reserved) return true;
  // COM and LPT with a digit, superscripts one to three included.
  return upper.size() == 4 && (upper.starts_with(L"COM") || upper.starts_with(L"LPT")) &&
         ((upper[3] >= L'0' && upper[3] <= L'9') ||
          std::wstring_view(L"\u00B9\u00B2\u00B3").find(upper[3]) != std::wstring_view::npos);
}

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

// Puts staged files in place of their targets, keeping each previous target
// as a backup until all are in place; on a failure puts every backup back.
// Returns the error of the failure, or nothing.
struct Placement {
  std::string staged;
  std::string target;
  bool backedUp = false;
  bool placed = false;
};

std::optional<EInOutError> PlaceAll(std::vector<Placement>& placements, SaveFileSystem& files) {
  for (Placement& p : placements) {
    try {
      if (files.Exists(p.target)) {
        files.Rename(p.target, p.target + kBackupSuffix);
        p.backedUp = true;
      }
      files.Rename(p.staged, p.target);
      p.placed = true;
    } catch (const EInOutError& error) {
      // Back out, latest first: the new file goes, the backup returns.
      for (auto it = placements.rbegin(); it != placements.rend(); ++it) {
        if (it->placed) files.Remove(it->target);
        if (it->backedUp) {
          try {
            files.Rename(it->target + kBackupSuffix, it->target);
          } catch (const EInOutError&) {
            // The previous file stays beside the target under the backup name.
          }
        }
        files.Remove(it->staged);
      }
      return error;
    }
  }
  for (const Placement& p : placements)
    if (p.backedUp) files.Remove(p.target + kBackupSuffix);
  return std::nullopt;
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

// The save after a refusal for lack of rights: both files staged in a
// folder of the program's own, then placed by one elevated step.
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
  if (setting.isEditorExe) {
    int code = 0;
    const CopyOutcome copied =
        files.CopyFile(setting.executablePath, SaverFilePath(staging.Path(), name, ".scr"), code);
    if (copied == CopyOutcome::Cancelled) {
      ui.ShowCancelled();
      return SaveResult::CopyCancelled;
    }
    if (copied == CopyOutcome::Failed) {
      ui.ShowError(SaveErrorMessage(code, true, true), {});
      return SaveResult::Failed;
    }
  }
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

bool IsNoWriteRight(int code) {
#ifdef _WIN32
  return code == 5 /* ERROR_ACCESS_DENIED */ || code == 19 /* ERROR_WRITE_PROTECT */;
#else
  return code == EACCES || code == EPERM || code == EROFS;
#endif
}

SaverNameProblem CheckSaverName(std::wstring_view name) {
  if (name.empty()) return SaverNameProblem::Empty;
  if (name.size() > MaxFramePathLength) return SaverNameProblem::TooLong;
  for (wchar_t c : name) {
    if (c < 32 || c == 127 || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos)
      return SaverNameProblem::BadCharacter;
  }
  if (name.find(L'.') != std::wstring_view::npos) return SaverNameProblem::Dot;
  if (name.back() == L' ') return SaverNameProblem::TrailingSpace;
  if (IsReservedDeviceName(name)) return SaverNameProblem::ReservedDeviceName;
  return SaverNameProblem::Valid;
}

SaverNameProblem CheckSaverName(std::wstring_view name, std::string_view ansi) {
  const SaverNameProblem problem = CheckSaverName(name);
  if (problem == SaverNameProblem::Valid && ansi.size() > MaxFramePathLength)
    return SaverNameProblem::TooLong;
  return problem;
}

std::string SaverNameMessage(SaverNameProblem problem) {
  switch (problem) {
    case SaverNameProblem::Valid:
    case SaverNameProblem::Empty:
      return {};
    case SaverNameProblem::TooLong:
      return "名稱太長：最多 200 個位元組 (一個中文字佔兩個)。\r\n"
             "The name is too long: at most 200 bytes (a Chinese character takes two).";
    case SaverNameProblem::BadCharacter:
      return "名稱不可包含 \\ / : * ? \" < > | 或控制字元。\r\n"
             "A name cannot hold \\ / : * ? \" < > | or control characters.";
    case SaverNameProblem::Dot:
      return "名稱不可包含句點 (.)，否則螢幕保護會找不到它的畫面。\r\n"
             "A name cannot hold a full stop (.): the saver would not find its show.";
    case SaverNameProblem::TrailingSpace:
      return "名稱不可以空格結尾。\r\nA name cannot end with a space.";
    case SaverNameProblem::ReservedDeviceName:
      return "這是 Windows 保留的裝置名稱 (例如 CON、PRN、AUX、NUL、COM1、LPT1)，不能當作檔名。\r\n"
             "This is a device name reserved by Windows (such as CON, PRN, AUX, NUL, COM1, LPT1); "
             "it cannot name a file.";
  }
  return {};
}

bool SameFileName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if (x >= 0x80 || y >= 0x80) {
      // A possible double-byte character: both bytes exactly.
      if (x != y) return false;
      if (i + 1 < a.size()) {
        ++i;
        if (a[i] != b[i]) return false;
      }
      continue;
    }
    if (UpperAscii(static_cast<wchar_t>(x)) != UpperAscii(static_cast<wchar_t>(y))) return false;
  }
  return true;
}

std::string SaverFilePath(const std::string& systemDir, const std::string& name,
                          const char* extension) {
  std::string path = systemDir;
  if (path.empty() || (path.back() != '\\' && path.back() != '/')) path += kSeparator;
  return path + name + extension;
}

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

std::string ElevationMessage(ElevationOutcome outcome, int exitCode, bool saving) {
  const std::string nothing =
      saving ? "這次沒有存檔，系統目錄中原有的檔案都沒有變更。\r\n"
               "Nothing was saved; the files already in the system directory are unchanged."
             : "留在清單中的螢幕保護沒有刪除。\r\n"
               "The savers left in the list were not deleted.";
  const std::string again = saving ? "可以再按一次存檔。\r\nYou can save again."
                                   : "可以再按一次清除。\r\nYou can clear them again.";
  switch (outcome) {
    case ElevationOutcome::Done:
      return {};
    case ElevationOutcome::Declined:
      return "寫入系統目錄需要系統管理員權限，但沒有取得允許。\r\n"
             "Writing to the system directory needs administrator rights, which were not "
             "granted.\r\n\r\n" +
             nothing + "\r\n\r\n" + again;
    case ElevationOutcome::CouldNotStart:
      return "無法以系統管理員權限執行這個步驟。\r\n"
             "The step could not be run with administrator rights.\r\n\r\n" +
             nothing + "\r\n\r\n" + again;
    case ElevationOutcome::Failed:
      return "以系統管理員權限執行的步驟失敗 (代碼 " + std::to_string(exitCode) +
             ")。\r\nThe step run with administrator rights failed (code " +
             std::to_string(exitCode) + ").\r\n\r\n" + nothing + "\r\n\r\n" + again;
  }
  return {};
}

ElevatedStep ElevatedStepOf(std::wstring_view firstArgument) {
  if (firstArgument == kPlaceArgument) return ElevatedStep::Place;
  if (firstArgument == kPlaceFrameSetArgument) return ElevatedStep::PlaceFrameSet;
  if (firstArgument == kClearArgument) return ElevatedStep::Clear;
  return ElevatedStep::None;
}

bool IsStagingFolderPath(std::wstring_view path) {
  // "X:\" and at least one part.
  if (path.size() < 4 || path[1] != L':' || path[2] != L'\\') return false;
  const wchar_t drive = UpperAscii(path[0]);
  if (drive < L'A' || drive > L'Z') return false;
  if (path.find(L'/') != std::wstring_view::npos) return false;
  std::wstring_view rest = path.substr(3);
  std::wstring_view last;
  for (;;) {
    const std::size_t slash = rest.find(L'\\');
    const std::wstring_view part = rest.substr(0, slash);
    if (part.empty() || part == L"." || part == L"..") return false;
    // A part Windows would read otherwise (trailing dot or space, a stream).
    if (part.back() == L'.' || part.back() == L' ' || part.find(L':') != std::wstring_view::npos)
      return false;
    for (wchar_t c : part)
      if (c < 32 || std::wstring_view(L"*?\"<>|").find(c) != std::wstring_view::npos) return false;
    last = part;
    if (slash == std::wstring_view::npos) break;
    rest = rest.substr(slash + 1);
  }
  const std::wstring_view prefix = kStagingPrefix;
  return last.size() > prefix.size() && last.starts_with(prefix);
}

bool IsElevatedName(std::wstring_view name, std::string_view ansi, bool roundTrips) {
  return roundTrips && CheckSaverName(name, ansi) == SaverNameProblem::Valid;
}

ElevatedExit PlaceFromStaging(const std::string& systemDir, const std::string& staging,
                              const std::string& name, bool withExecutable, SaveFileSystem& files) {
  std::vector<const char*> extensions = {".fms"};
  if (withExecutable) extensions.push_back(".scr");
  for (const char* extension : extensions)
    if (!files.Exists(SaverFilePath(staging, name, extension))) return ElevatedExit::BadSource;
  std::vector<Placement> placements;
  for (const char* extension : extensions) {
    const std::string target = SaverFilePath(systemDir, name, extension);
    placements.push_back({target + kStagedSuffix, target});
    int code = 0;
    if (files.CopyFile(SaverFilePath(staging, name, extension), placements.back().staged, code) !=
        CopyOutcome::Copied) {
      for (const Placement& p : placements) files.Remove(p.staged);
      return ElevatedExit::PlacingFailed;
    }
  }
  return PlaceAll(placements, files) ? ElevatedExit::PlacingFailed : ElevatedExit::Done;
}

ElevatedExit ClearSavers(const std::string& systemDir, const std::vector<std::string>& names,
                         SaveFileSystem& files) {
  bool all = true;
  for (const std::string& name : names) {
    // The frame-set file goes only with its saver, as in the clear dialog.
    if (!files.Remove(SaverFilePath(systemDir, name, ".scr")) ||
        !files.Remove(SaverFilePath(systemDir, name, ".fms")))
      all = false;
  }
  return all ? ElevatedExit::Done : ElevatedExit::ClearingFailed;
}

std::vector<std::wstring> SaverNamesIn(const std::vector<DirectoryEntry>& entries) {
  constexpr std::wstring_view kEnding = L".fms";
  std::vector<std::wstring> names;
  for (const DirectoryEntry& entry : entries) {
    if (entry.directory || entry.name.size() <= kEnding.size()) continue;
    const std::wstring_view tail = std::wstring_view(entry.name).substr(entry.name.size() - kEnding.size());
    bool matches = true;
    for (std::size_t i = 0; i < kEnding.size(); ++i)
      if (static_cast<wchar_t>(std::towlower(static_cast<wint_t>(tail[i]))) != kEnding[i]) matches = false;
    if (matches) names.push_back(entry.name.substr(0, entry.name.size() - kEnding.size()));
  }
  return names;
}

}  // namespace velmora
