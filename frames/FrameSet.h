// The frame-set file (.fms): the records of a FrameList, header first,
// written back to back as they lie in memory, without the trailing entry.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "frames/FrameList.h"

namespace velmora {

// Error code carried for a read that ends inside a record (reading past
// the end of the file): the value of Windows' ERROR_HANDLE_EOF.
inline constexpr int ErrorReadPastEnd = 38;
// Error code carried when a file is refused for being larger than
// MaxFrameSetFileSize (the value of Windows' ERROR_FILE_TOO_LARGE).
inline constexpr int ErrorFileTooLarge = 223;
// Largest frame-set file read: 64 MiB, about 275,000 frames.
inline constexpr std::uint64_t MaxFrameSetFileSize = 64ull * 1024 * 1024;

// An input/output error. Code is the operating system's error code (the
// Win32 code on Windows, errno elsewhere) or one of the constants above;
// Offset is the byte offset in the file where the failure happened, or -1.
class EInOutError : public std::runtime_error {
 public:
  EInOutError(int code, const std::string& message, std::int64_t offset = -1);
  int Code() const noexcept { return code_; }
  std::int64_t Offset() const noexcept { return offset_; }

 private:
  int code_;
  std::int64_t offset_;
};

// SystemDir + "\" + name + ".fms" (the separator is "/" on non-Windows hosts;
// no separator is doubled when SystemDir already ends with one).
std::string FrameSetPath(const std::string& name);

// Reads every record of the file at path into a new list (header first) and
// appends a fresh default trailing entry. Returns false and leaves list
// empty when no file exists there. Throws EInOutError on any other failure,
// including a partial last record; list is left empty then.
bool ReadFrameSetFile(const std::string& path, FrameList& list);

// Reads the whole records of the file at path into list, as they are, with
// no trailing entry added (for tools that show a file's content). Returns
// false when no file exists there. On a failure it throws EInOutError and
// list keeps the whole records read before the failure.
bool ReadFrameSetRecords(const std::string& path, FrameList& list);

// Writes entries 0 to count-2 of list to path, byte for byte. The records go
// to a temporary file in the same directory, which then replaces path in one
// step, so a failure leaves any previous file whole; the temporary file is
// removed on failure. Throws EInOutError.
void WriteFrameSetFile(const std::string& path, const FrameList& list);

// Replaces TheFrameList by a list read from FrameSetPath(SaverBaseName) and
// sets FrameCount := count - 2. A missing file gives an empty list (count 0)
// and leaves FrameCount unchanged. On an error the list is left empty,
// FrameCount unchanged, and EInOutError propagates.
void LoadFrameSet();

// A show the program's own file carries: while set, LoadFrameSet takes these
// records (whole records, header first) instead of reading
// FrameSetPath(SaverBaseName); no records give an empty show, as a missing
// file does. nullopt goes back to the file.
void SetCarriedFrameSet(std::optional<std::vector<std::uint8_t>> records);

// Writes TheFrameList to FrameSetPath(name). Throws EInOutError.
void WriteFrameSet(const std::string& name);

}  // namespace velmora
