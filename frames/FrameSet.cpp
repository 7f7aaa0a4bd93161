#include "frames/FrameSet.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/Startup.h"
#include "frames/ShowPackage.h"

#ifdef _WIN32
// The one kernel call this file needs, declared here so that the portable
// core does not pull in <windows.h>. The C runtime's rename() refuses to
// replace an existing file on Windows; MoveFileExA does it in one step and
// takes the path in the ANSI code page like fopen does.
extern "C" __declspec(dllimport) int __stdcall MoveFileExA(const char* existingName,
                                                          const char* newName,
                                                          unsigned long flags);
extern "C" __declspec(dllimport) unsigned long __stdcall GetLastError();
#endif

namespace velmora {

EInOutError::EInOutError(int code, const std::string& message, std::int64_t offset)
    : std::runtime_error(message), code_(code), offset_(offset) {}

namespace {

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

void ClearOsError() {
  errno = 0;
#ifdef _WIN32
  _doserrno = 0;
#endif
}

// The operating system's code for the failure of the last C runtime call:
// on Windows the runtime keeps the Win32 code in _doserrno beside errno.
int LastOsError() {
#ifdef _WIN32
  const unsigned long code = _doserrno;
  if (code != 0) return static_cast<int>(code);
#endif
  return errno != 0 ? errno : EIO;
}

[[noreturn]] void ThrowOsError(const std::string& what, const std::string& path, int code,
                               std::int64_t offset = -1) {
  std::string message = what + " \"" + path + "\" failed: I/O error " + std::to_string(code);
#ifndef _WIN32
  message += " (" + std::string(std::strerror(code)) + ")";
#endif
  if (offset >= 0) message += " at byte offset " + std::to_string(offset);
  throw EInOutError(code, message, offset);
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool ReplaceFile(const std::string& from, const std::string& to, int& code) {
#ifdef _WIN32
  constexpr unsigned long kReplaceExisting = 0x1;  // MOVEFILE_REPLACE_EXISTING
  constexpr unsigned long kWriteThrough = 0x8;     // MOVEFILE_WRITE_THROUGH
  if (MoveFileExA(from.c_str(), to.c_str(), kReplaceExisting | kWriteThrough) != 0) return true;
  code = static_cast<int>(GetLastError());
  return false;
#else
  ClearOsError();
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  code = LastOsError();
  return false;
#endif
}

}  // namespace

std::string FrameSetPath(const std::string& name) {
  std::string path = SystemDir;
  if (path.empty() || (path.back() != '\\' && path.back() != '/')) path += kPathSeparator;
  return path + name + ".fms";
}

bool ReadFrameSetRecords(const std::string& path, FrameList& read) {
  read.Clear();
  ClearOsError();
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    if (errno == ENOENT) return false;
    ThrowOsError("Opening", path, LastOsError());
  }

  std::uint64_t offset = 0;
  FrameRecord buffer;
  for (;;) {
    ClearOsError();
    const std::size_t got = std::fread(&buffer, 1, FrameRecordSize, file.get());
    if (got == FrameRecordSize) {
      if (offset + FrameRecordSize > MaxFrameSetFileSize) {
        throw EInOutError(ErrorFileTooLarge,
                          "Reading \"" + path + "\" failed: the file is larger than " +
                              std::to_string(MaxFrameSetFileSize) + " bytes",
                          static_cast<std::int64_t>(offset));
      }
      read.Append(std::make_unique<FrameRecord>(buffer));
      offset += FrameRecordSize;
      continue;
    }
    if (std::ferror(file.get())) {
      ThrowOsError("Reading", path, LastOsError(), static_cast<std::int64_t>(offset));
    }
    if (got == 0) break;
    throw EInOutError(ErrorReadPastEnd,
                      "Reading \"" + path + "\" failed: read beyond end of file (I/O error " +
                          std::to_string(ErrorReadPastEnd) + "); the record at byte offset " +
                          std::to_string(offset) + " is partial (" + std::to_string(got) +
                          " of " + std::to_string(FrameRecordSize) + " bytes)",
                      static_cast<std::int64_t>(offset));
  }
  ClearOsError();
  if (std::fclose(file.release()) != 0) ThrowOsError("Closing", path, LastOsError());
  return true;
}

bool ReadFrameSetFile(const std::string& path, FrameList& list) {
  list.Clear();
  FrameList read;
  if (!ReadFrameSetRecords(path, read)) return false;
  AppendFrameRecord(read);
  list = std::move(read);
  return true;
}

void WriteFrameSetFile(const std::string& path, const FrameList& list) {
  const std::string temp = path + ".tmp";
  ClearOsError();
  FilePtr file(std::fopen(temp.c_str(), "wb"));
  if (!file) ThrowOsError("Creating", temp, LastOsError());

  // From here the temporary file is ours: remove it on any failure.
  auto fail = [&](const std::string& what, const std::string& name, int code,
                  std::int64_t offset) {
    file.reset();
    std::remove(temp.c_str());
    ThrowOsError(what, name, code, offset);
  };

  const std::size_t written = list.Count() < 2 ? 0 : list.Count() - 1;
  for (std::size_t i = 0; i < written; ++i) {
    ClearOsError();
    if (std::fwrite(&list[i], 1, FrameRecordSize, file.get()) != FrameRecordSize) {
      fail("Writing", temp, LastOsError(), static_cast<std::int64_t>(i * FrameRecordSize));
    }
  }
  ClearOsError();
  if (std::fflush(file.get()) != 0) fail("Writing", temp, LastOsError(), -1);
  ClearOsError();
  const int closed = std::fclose(file.release());
  if (closed != 0) fail("Closing", temp, LastOsError(), -1);

  int code = 0;
  if (!ReplaceFile(temp, path, code)) fail("Replacing", path, code, -1);
}

namespace {
std::optional<std::vector<std::uint8_t>> carriedFrameSet;
}  // namespace

void SetCarriedFrameSet(std::optional<std::vector<std::uint8_t>> records) { carriedFrameSet = std::move(records); }

void LoadFrameSet() {
  TheFrameList = std::make_unique<FrameList>();
  if (carriedFrameSet) {
    if (carriedFrameSet->size() < FrameRecordSize) return;
    *TheFrameList = FrameListFromRecords(*carriedFrameSet);
    FrameCount = TheFrameList->FrameCount();
    return;
  }
  if (ReadFrameSetFile(FrameSetPath(SaverBaseName), *TheFrameList)) {
    FrameCount = TheFrameList->FrameCount();
  }
}

void WriteFrameSet(const std::string& name) {
  static const FrameList kNoList;
  WriteFrameSetFile(FrameSetPath(name), TheFrameList ? *TheFrameList : kNoList);
}

}  // namespace velmora
