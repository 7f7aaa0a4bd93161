#include "platform/SystemPathsWin32.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <vector>

namespace velmora {

std::string ReadSystemDirectory() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const UINT length = ::GetSystemDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(length + 1);
  }
}

std::string ReadExecutablePath() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring ReadExecutablePathWide() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

std::string DirectoryOfPath(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::wstring ReadTempFolder() {
  std::vector<wchar_t> temp(MAX_PATH + 1);
  const DWORD length = ::GetTempPathW(static_cast<DWORD>(temp.size()), temp.data());
  if (length == 0 || length >= temp.size()) return {};
  std::vector<wchar_t> full(MAX_PATH + 1);
  const DWORD fullLength = ::GetLongPathNameW(temp.data(), full.data(), static_cast<DWORD>(full.size()));
  std::wstring base = fullLength != 0 && fullLength < full.size() ? std::wstring(full.data(), fullLength)
                                                                  : std::wstring(temp.data(), length);
  if (!base.empty() && base.back() != L'\\') base += L'\\';
  return base;
}

namespace {
std::wstring KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::wstring folder;
  if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &path)) && path) folder = path;
  ::CoTaskMemFree(path);
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  return folder;
}
}  // namespace

std::wstring ReadDesktopFolder() { return KnownFolder(FOLDERID_Desktop); }
std::wstring ReadLocalAppDataFolder() { return KnownFolder(FOLDERID_LocalAppData); }

}  // namespace velmora
