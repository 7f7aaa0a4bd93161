// The file operations of saving and clearing on Windows: the frame-set
// writer, the shell's copy (SHFileOperationW, with its progress window),
// MoveFileExA and DeleteFileA / DeleteFileW.
#pragma once

#include <windows.h>

#include <string>

#include "editor/SaverFiles.h"

namespace velmora {

// `owner` owns the copy's progress window.
class ShellSaveFileSystem : public SaveFileSystem {
 public:
  explicit ShellSaveFileSystem(HWND owner) : owner_(owner) {}
  bool Exists(const std::string& path) override;
  void WriteFrameSet(const std::string& path, const FrameList& list) override;
  CopyOutcome CopyFile(const std::string& from, const std::string& to, int& errorCode) override;
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

}  // namespace velmora
