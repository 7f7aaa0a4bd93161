// Saving a show as a saver: the name rules, the order of the steps and what
// a failure at each step leaves, with the file system and the user's
// answers behind interfaces. A save stages both files beside their targets
// and only then puts them in place, so a failure at any point leaves the
// previous frame-set file and saver executable as they were.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frames/FrameList.h"

namespace velmora {

// Why a show name is refused, or Valid.
enum class SaverNameProblem {
  Valid,
  Empty,
  TooLong,             // more than 200 characters (the header's path field)
  BadCharacter,        // \ / : * ? " < > | or a control character
  Dot,                 // the saver would look for the wrong frame-set file
  TrailingSpace,       // Windows drops it: the files would get another name
  ReservedDeviceName,  // CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-9, LPT0-9, COM¹-³, LPT¹-³
};

// Checks a show name as the base name of the two saver files in the system
// directory. Checked as characters, not as 8-bit bytes: a Big5 character's
// second byte can be a backslash.
SaverNameProblem CheckSaverName(std::wstring_view name);
// The same, with `ansi` the name in the system code page as the header
// stores it: a name over 200 bytes there (a Big5 character takes two) is
// too long, since the header would hold only a cut name.
SaverNameProblem CheckSaverName(std::wstring_view name, std::string_view ansi);
// The message for a refused name (UTF-8), or empty for Valid and Empty.
std::string SaverNameMessage(SaverNameProblem problem);

// True when two 8-bit file names are the same ignoring the case of A to Z.
// The byte after one above 127 (the second byte of a double-byte character)
// is compared exactly, so two names that might differ are never taken as
// the same.
bool SameFileName(std::string_view a, std::string_view b);

// The outcome of the shell's copy of the executable.
enum class CopyOutcome { Copied, Cancelled, Failed };

// The file operations a save needs. Paths are 8-bit, system code page.
class SaveFileSystem {
 public:
  virtual ~SaveFileSystem() = default;
  virtual bool Exists(const std::string& path) = 0;
  // Writes the frame-set file whole (entries 0 to count-2); throws
  // EInOutError.
  virtual void WriteFrameSet(const std::string& path, const FrameList& list) = 0;
  // Copies one file, overwriting; `errorCode` gets the reason of a failure.
  virtual CopyOutcome CopyFile(const std::string& from, const std::string& to, int& errorCode) = 0;
  // Renames, replacing an existing target; throws EInOutError.
  virtual void Rename(const std::string& from, const std::string& to) = 0;
  // Deletes a file; false when it could not be deleted (a missing file counts
  // as deleted).
  virtual bool Remove(const std::string& path) = 0;
};

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

// "<dir>\<name><extension>" (the separator is "/" on non-Windows hosts; no
// separator is doubled).
std::string SaverFilePath(const std::string& systemDir, const std::string& name,
                          const char* extension);

// The completion message, the show name appended.
std::wstring SaveDoneMessage(std::wstring_view name);
// The message for a failed save (UTF-8): says when the reason is a missing
// right to write to the system directory, and what to do then.
std::string SaveErrorMessage(int errorCode, bool isEditorExe);

// Save1Click. On Saved the caller marks the show unchanged; on every other
// result the show's changed mark is left as it was.
SaveResult SaveShow(FrameList& list, const SaveSetting& setting, SaveUserInterface& ui,
                    SaveFileSystem& files);

// The clear dialog: the saver names among the entries of the system
// directory (long names ending in ".fms", any letter case, no directories),
// with that ending removed, in the order given.
struct DirectoryEntry {
  std::wstring name;
  bool directory = false;
};
std::vector<std::wstring> SaverNamesIn(const std::vector<DirectoryEntry>& entries);

}  // namespace velmora
