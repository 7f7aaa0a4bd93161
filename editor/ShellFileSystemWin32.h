// The file operations of saving and clearing on Windows: the frame-set
// writer, the shell's copy (SHFileOperationW, with its progress window),
// plain writes and reads, MoveFileExA and DeleteFileA / DeleteFileW.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "editor/SaverFiles.h"

namespace velmora {

// `owner` owns the copy's progress window.
class ShellSaveFileSystem : public SaveFileSystem {
 public:
  explicit ShellSaveFileSystem(HWND owner) : owner_(owner) {}
  bool Exists(const std::string& path) override;
  void WriteFrameSet(const std::string& path, const FrameList& list) override;
  CopyOutcome CopyFile(const std::string& from, const std::string& to, int& errorCode) override;
  bool WriteBytes(const std::string& path, std::string_view bytes, int& errorCode) override;
  std::optional<std::string> ReadBytes(const std::string& path) override;
  void Rename(const std::string& from, const std::string& to) override;
  bool Remove(const std::string& path) override;
  bool RemoveFile(const std::wstring& path, int& errorCode) override;

 private:
  HWND owner_;  // not owned
};

// Copies one file with the shell's file operation: FO_COPY with
// FOF_MULTIDESTFILES | FOF_NOCONFIRMATION | FOF_SIMPLEPROGRESS.
CopyOutcome CopySaverExecutable(HWND owner, const std::wstring& source, const std::wstring& target,
                                int& errorCode);

// The whole content of an open file, read from where it stands (its start
// when just opened): nothing when it cannot be read, is larger than
// `limit`, or grows while it is read.
std::optional<std::string> ReadWhole(HANDLE file, std::uint64_t limit = UINT64_MAX);

}  // namespace velmora
