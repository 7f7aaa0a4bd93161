#include "editor/ShellFileSystemWin32.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "frames/FrameSet.h"
#include "platform/ApplicationWin32.h"
#include "platform/HandlesWin32.h"

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

std::optional<std::string> ReadWhole(HANDLE file, std::uint64_t limit) {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file, &size) || size.QuadPart < 0 ||
      static_cast<std::uint64_t>(size.QuadPart) > limit)
    return std::nullopt;
  std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
    DWORD read = 0;
    if (!::ReadFile(file, bytes.data() + done, chunk, &read, nullptr) || read == 0) return std::nullopt;
    done += read;
  }
  // Nothing beyond the size read first.
  char more = 0;
  DWORD extra = 0;
  if (!::ReadFile(file, &more, 1, &extra, nullptr) || extra != 0) return std::nullopt;
  return bytes;
}

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

bool ShellSaveFileSystem::WriteBytes(const std::string& path, std::string_view bytes, int& errorCode) {
  UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  bool written = static_cast<bool>(file);
  for (std::size_t done = 0; written && done < bytes.size();) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
    DWORD wrote = 0;
    written = ::WriteFile(file.get(), bytes.data() + done, chunk, &wrote, nullptr) && wrote == chunk;
    done += chunk;
  }
  if (written && ::FlushFileBuffers(file.get())) {
    errorCode = 0;
    return true;
  }
  errorCode = static_cast<int>(::GetLastError());
  return false;
}

std::optional<std::string> ShellSaveFileSystem::ReadBytes(const std::string& path) {
  UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  return ReadWhole(file.get());
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
