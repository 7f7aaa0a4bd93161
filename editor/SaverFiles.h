// A saver's two files in the system directory, NAME.scr beside NAME.fms: the
// name rules, their paths, the file operations that write or delete them
// (behind an interface) and how staged files are put in place of the old
// ones. Shared by saving, clearing and the elevated step.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frames/FrameList.h"
#include "frames/FrameSet.h"

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

// "<dir>\<name><extension>" (the separator is "/" on non-Windows hosts; no
// separator is doubled).
std::string SaverFilePath(const std::string& systemDir, const std::string& name,
                          const char* extension);
// The same for a path held as UTF-16.
std::wstring SaverFilePath(const std::wstring& systemDir, const std::wstring& name,
                           const wchar_t* extension);

// Whether an error code says the process may not write there (access
// denied, write protected).
bool IsNoWriteRight(int code);

// The outcome of the shell's copy of the executable.
enum class CopyOutcome { Copied, Cancelled, Failed };

// The file operations a save, a clearing and the elevated step need. Paths
// are 8-bit, system code page, but for RemoveFile.
class SaveFileSystem {
 public:
  virtual ~SaveFileSystem() = default;
  virtual bool Exists(const std::string& path) = 0;
  // Writes the frame-set file whole (entries 0 to count-2); throws
  // EInOutError.
  virtual void WriteFrameSet(const std::string& path, const FrameList& list) = 0;
  // Copies one file, overwriting; `errorCode` gets the reason of a failure.
  virtual CopyOutcome CopyFile(const std::string& from, const std::string& to, int& errorCode) = 0;
  // Writes `bytes` as a new file, replacing one there, and flushes it;
  // `errorCode` gets the reason of a failure.
  virtual bool WriteBytes(const std::string& path, std::string_view bytes, int& errorCode) = 0;
  // A whole file's bytes; nothing when it cannot be read.
  virtual std::optional<std::string> ReadBytes(const std::string& path) = 0;
  // Renames, replacing an existing target; throws EInOutError.
  virtual void Rename(const std::string& from, const std::string& to) = 0;
  // Deletes a file; false when it could not be deleted (a missing file counts
  // as deleted).
  virtual bool Remove(const std::string& path) = 0;
  // The same for a path held as UTF-16 (the clear dialog lists the system
  // directory as it is, names the code page cannot hold included);
  // `errorCode` gets the reason of a failure.
  virtual bool RemoveFile(const std::wstring& path, int& errorCode) = 0;
};

// A staged file and the target it replaces.
struct Placement {
  std::string staged;
  std::string target;
  bool backedUp = false;
  bool placed = false;
};

// The staged copies of a save sit beside their targets under this ending.
inline constexpr const char* kStagedSuffix = ".new";

// Puts staged files in place of their targets, keeping each previous target
// as a backup until all are in place; on a failure puts every backup back
// and removes what was staged. Returns the error of the failure, or nothing.
std::optional<EInOutError> PlaceAll(std::vector<Placement>& placements, SaveFileSystem& files);

}  // namespace velmora
