// The program's elevated mode, as the elevated process sees it: the
// arguments that ask for it, the checks on what it is given and the steps it
// takes in the system directory (the file system behind SaveFileSystem).
// It places only what it can vouch for: the frame-set file it has read and
// checked, and its own executable, never a staged one.
// The editor's side, which asks Windows to run it, is editor/Elevation.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "editor/SaverFiles.h"

namespace velmora {

// The exit codes of the elevated mode. The mode changes nothing unless the
// arguments, the name and the staging folder all pass.
enum class ElevatedExit : int {
  Done = 0,
  BadArguments = 2,   // missing, extra or unknown arguments
  BadName = 3,        // a name the save would refuse
  BadStaging = 4,     // not a staging folder of the program's own
  BadSource = 5,      // the frame-set file missing, not a regular file, reached through a
                      // link, or anything else staged beside it
  PlacingFailed = 6,  // the files could not be put in place (rolled back)
  ClearingFailed = 7, // a saver's files could not all be deleted
  NoSystemDir = 8,
  BadFrameSet = 9,    // the frame-set file is one the show reader would refuse
  BadImage = 10,      // the program's own file could not be read as the running program
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

// Why a frame-set file of `length` bytes is refused, or Good: what the show
// reader refuses (a partial last record, more than MaxFrameSetFileSize), and
// a file without even the header record.
enum class FrameSetProblem { Good, NoHeader, PartialRecord, TooLarge };
FrameSetProblem CheckFrameSetLength(std::uint64_t length);

// The elevated placing, from what the elevated process has read and checked
// itself: the frame-set file's bytes and, for a save from the editor, its
// own executable's (`image`, placed as NAME.scr; null to place the
// frame-set file alone). Each is written beside its target, read back and
// compared, then both are put in place as a save does (backup, rename,
// roll-back). Arguments already checked.
ElevatedExit PlaceChecked(const std::string& systemDir, const std::string& name,
                          const std::string& frameSet, const std::string* image,
                          SaveFileSystem& files);
// The elevated clearing: deletes <name>.scr, then <name>.fms, for each name.
ElevatedExit ClearSavers(const std::string& systemDir, const std::vector<std::string>& names,
                         SaveFileSystem& files);

}  // namespace velmora
