// Saving a show as a saver: the order of the steps and what
// a failure at each step leaves, with the file system and the user's
// answers behind interfaces. A save stages both files beside their targets
// and only then puts them in place, so a failure at any point leaves the
// previous frame-set file and saver executable as they were. The name rules
// and the file operations are editor/SaverFiles.h, the elevated step
// editor/Elevation.h.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "editor/Elevation.h"
#include "editor/SaverFiles.h"
#include "frames/FrameList.h"

namespace velmora {

// The user's side of a save: dialogs and message boxes.
class SaveUserInterface {
 public:
  virtual ~SaveUserInterface() = default;
  // The naming dialog, opened with the show's current name. Nothing when
  // the user left it or confirmed an empty name. The dialog itself refuses
  // names CheckSaverName refuses.
  virtual std::optional<std::string> AskName(const std::string& current) = 0;
  // Another saver of this name exists: replace it?
  virtual bool ConfirmReplace(const std::string& name) = 0;
  // "Clear the blank frames before saving?"
  virtual bool AskClearEmptyFrames() = 0;
  // Runs "Clear Empty Frames" as the menu does.
  virtual void ClearEmptyFrames() = 0;
  virtual void SetCaption(const std::string& name) = 0;
  // Message boxes. `message` is UTF-8; `detail` (the failed operation, with
  // its 8-bit path) may be empty.
  virtual void ShowCancelled() = 0;
  virtual void ShowError(const std::string& message, const std::string& detail) = 0;
  // The completion message (SaveDoneMessage) for the show name.
  virtual void ShowDone(const std::string& name) = 0;
};

// Where the save runs.
struct SaveSetting {
  bool isEditorExe = true;     // the editor's own executable: ask for a name, copy it
  std::string systemDir;       // where the saver files go
  std::string saverBaseName;   // a saver's configuration dialog saves under this
  std::string executablePath;  // the copy's source
};

enum class SaveResult {
  NoName,           // naming left, nothing written
  Declined,         // replacing another saver refused
  TooFewFrames,     // clearing blank frames would leave fewer than two
  Failed,           // an error message was shown; the old files are unchanged
  CopyCancelled,    // "Cancelled" shown; the old files are unchanged
  Saved,
};

// The completion message, the show name appended.
std::wstring SaveDoneMessage(std::wstring_view name);
// The message for a failed save (UTF-8): says when the reason is a missing
// right to write to the system directory, and what to do then (nothing more
// when the program offers elevation itself).
std::string SaveErrorMessage(int errorCode, bool isEditorExe, bool elevationOffered = false);

// Save1Click. On Saved the caller marks the show unchanged; on every other
// result the show's changed mark is left as it was. When a step is refused
// for lack of rights and `elevation` is given, the frame-set file is staged
// in a folder of the program's own and placed by one elevated step (with
// the saver executable, from the editor).
SaveResult SaveShow(FrameList& list, const SaveSetting& setting, SaveUserInterface& ui,
                    SaveFileSystem& files, SaveElevation* elevation = nullptr);

}  // namespace velmora
