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

// Asking Windows to run one system-directory step of the program elevated:
// the program's own executable in its elevated mode, waited for.
enum class ElevationOutcome {
  Done,           // the elevated step ran and succeeded
  Declined,       // the user refused the prompt
  CouldNotStart,  // the elevated process could not be started
  Failed,         // it ran and ended with a failure (its exit code is given)
};

class SaveElevation {
 public:
  virtual ~SaveElevation() = default;
  // A fresh, empty staging folder of the program's own (8-bit path); empty
  // when none could be made.
  virtual std::string MakeStagingFolder() = 0;
  // Removes the staging folder and whatever is in it.
  virtual void RemoveStagingFolder(const std::string& folder) = 0;
  // Places <staging>\<name>.fms (and .scr with `withExecutable`) in the
  // system directory; `exitCode` gets the elevated process's exit code.
  virtual ElevationOutcome Place(const std::string& staging, const std::string& name,
                                 bool withExecutable, int& exitCode) = 0;
  // Deletes the savers of these names from the system directory.
  virtual ElevationOutcome Clear(const std::vector<std::string>& names, int& exitCode) = 0;
};

// The exit codes of the elevated mode. The mode changes nothing unless the
// arguments, the name and the staging folder all pass.
enum class ElevatedExit : int {
  Done = 0,
  BadArguments = 2,   // missing, extra or unknown arguments
  BadName = 3,        // a name the save would refuse
  BadStaging = 4,     // not a staging folder of the program's own
  BadSource = 5,      // a staged file missing, not a regular file, or a link
  PlacingFailed = 6,  // the files could not be put in place (rolled back)
  ClearingFailed = 7, // a saver's files could not all be deleted
  NoSystemDir = 8,
};

// The step a process's first argument asks for; None for every other first
// argument, Windows' own screen-saver arguments among them. Matched exactly.
enum class ElevatedStep { None, Place, PlaceFrameSet, Clear };
inline constexpr wchar_t kPlaceArgument[] = L"--velmora-elevated-place";
inline constexpr wchar_t kPlaceFrameSetArgument[] = L"--velmora-elevated-place-fms";
inline constexpr wchar_t kClearArgument[] = L"--velmora-elevated-clear";
ElevatedStep ElevatedStepOf(std::wstring_view firstArgument);

// The first part of a staging folder's own name.
inline constexpr wchar_t kStagingPrefix[] = L"Velmora-stage-";
// True when `path` reads as a staging folder: a full path on a drive
// ("X:\..."), no empty, "." or ".." parts, no "/", no trailing backslash, no
// "\\?\" or network form, and its last part starting with kStagingPrefix
// followed by something.
bool IsStagingFolderPath(std::wstring_view path);

// Checks a name given to the elevated mode: `ansi` is its form in the system
// code page, which must convert back to `name` exactly (`roundTrips`).
bool IsElevatedName(std::wstring_view name, std::string_view ansi, bool roundTrips);

// The elevated placing: copies <staging>\<name>.fms (and .scr) beside their
// targets in `systemDir` under the staged name, then puts them in place as a
// save does (backup, rename, roll-back). Arguments already checked.
ElevatedExit PlaceFromStaging(const std::string& systemDir, const std::string& staging,
                              const std::string& name, bool withExecutable, SaveFileSystem& files);
// The elevated clearing: deletes <name>.scr, then <name>.fms, for each name.
ElevatedExit ClearSavers(const std::string& systemDir, const std::vector<std::string>& names,
                         SaveFileSystem& files);

// The message for an elevated step that did not succeed (UTF-8); `saving`
// tells a save from a clearing.
std::string ElevationMessage(ElevationOutcome outcome, int exitCode, bool saving);

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

// Whether an error code says the process may not write there (access
// denied, write protected).
bool IsNoWriteRight(int code);

// The completion message, the show name appended.
std::wstring SaveDoneMessage(std::wstring_view name);
// The message for a failed save (UTF-8): says when the reason is a missing
// right to write to the system directory, and what to do then (nothing more
// when the program offers elevation itself).
std::string SaveErrorMessage(int errorCode, bool isEditorExe, bool elevationOffered = false);

// Save1Click. On Saved the caller marks the show unchanged; on every other
// result the show's changed mark is left as it was. When a step is refused
// for lack of rights and `elevation` is given, the files are staged in a
// folder of the program's own and placed by one elevated step.
SaveResult SaveShow(FrameList& list, const SaveSetting& setting, SaveUserInterface& ui,
                    SaveFileSystem& files, SaveElevation* elevation = nullptr);

// The clear dialog: the saver names among the entries of the system
// directory (long names ending in ".fms", any letter case, no directories),
// with that ending removed, in the order given.
struct DirectoryEntry {
  std::wstring name;
  bool directory = false;
};
std::vector<std::wstring> SaverNamesIn(const std::vector<DirectoryEntry>& entries);

}  // namespace velmora
