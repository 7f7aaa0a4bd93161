#include "editor/ShellFileSystemWin32.h"

#include <shellapi.h>

#include <vector>

#include "frames/FrameSet.h"
#include "platform/ApplicationWin32.h"

namespace velmora {

namespace {

// A path as the shell's file operation takes it: a list of names ending
// with two zero characters.
std::vector<wchar_t> ShellList(const std::wstring& path) {
  std::vector<wchar_t> list(path.begin(), path.end());
  list.push_back(L'\0');
  list.push_back(L'\0');
  return list;
}

}  // namespace

CopyOutcome CopySaverExecutable(HWND owner, const std::wstring& source, const std::wstring& target,
                                int& errorCode) {
  std::vector<wchar_t> from = ShellList(source);
  std::vector<wchar_t> to = ShellList(target);
  SHFILEOPSTRUCTW operation{};
  operation.hwnd = owner;
  operation.wFunc = FO_COPY;
  operation.pFrom = from.data();
  operation.pTo = to.data();
  operation.fFlags = FOF_MULTIDESTFILES | FOF_NOCONFIRMATION | FOF_SIMPLEPROGRESS;
  const int result = ::SHFileOperationW(&operation);
  errorCode = result;
  if (operation.fAnyOperationsAborted) return CopyOutcome::Cancelled;
  return result == 0 ? CopyOutcome::Copied : CopyOutcome::Failed;
}

bool ShellSaveFileSystem::Exists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void ShellSaveFileSystem::WriteFrameSet(const std::string& path, const FrameList& list) {
  WriteFrameSetFile(path, list);
}

CopyOutcome ShellSaveFileSystem::CopyFile(const std::string& from, const std::string& to, int& errorCode) {
  return CopySaverExecutable(owner_, WidenAnsi(from), WidenAnsi(to), errorCode);
}

void ShellSaveFileSystem::Rename(const std::string& from, const std::string& to) {
  if (!::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const int code = static_cast<int>(::GetLastError());
    throw EInOutError(code, "Renaming \"" + from + "\" to \"" + to + "\" failed: I/O error " +
                                std::to_string(code));
  }
}

bool ShellSaveFileSystem::Remove(const std::string& path) {
  if (::DeleteFileA(path.c_str())) return true;
  const DWORD error = ::GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool ShellSaveFileSystem::RemoveFile(const std::wstring& path, int& errorCode) {
  if (::DeleteFileW(path.c_str())) return true;
  const DWORD error = ::GetLastError();
  errorCode = static_cast<int>(error);
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace velmora
