#include "saver/FolderPicturesWin32.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <set>
#include <tuple>
#include <vector>

#include "fade/PictureLoader.h"

namespace velmora {
namespace {

struct FindCloser {
  void operator()(HANDLE handle) const { ::FindClose(handle); }
};
using FindHandle = std::unique_ptr<void, FindCloser>;

struct HandleCloser {
  void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using FileHandle = std::unique_ptr<void, HandleCloser>;

// Where a folder is on disk, whatever path reached it.
using FolderId = std::tuple<DWORD, DWORD, DWORD>;  // volume, index high, index low

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring wide(std::size_t(std::max(length, 0)), L'\0');
  if (length > 0) ::MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), wide.data(), length);
  return wide;
}

// False when the name has a character the code page cannot hold.
bool Narrow(const wchar_t* name, std::string& out) {
  BOOL lossy = FALSE;
  const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, nullptr, 0, nullptr, &lossy);
  if (length <= 1 || lossy) return false;
  out.resize(std::size_t(length));
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, out.data(), length, nullptr, &lossy);
  out.resize(std::size_t(length - 1));
  return !lossy;
}

bool IdOf(const std::wstring& folder, FolderId& id) {
  const FileHandle handle(::CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (handle.get() == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle.get(), &info)) return false;
  id = FolderId{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  return true;
}

bool Cancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(std::memory_order_relaxed); }

FindHandle FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW& data) {
  HANDLE handle = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
  // Systems before Windows 7 know neither the basic information nor the
  // large fetch.
  if (handle == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_INVALID_PARAMETER)
    handle = ::FindFirstFileW(pattern.c_str(), &data);
  return FindHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

// Lists one folder (8-bit and wide path, without a trailing separator),
// then its subfolders. Returns false when stopped.
bool VisitFolder(const std::string& folder, const std::wstring& wideFolder, bool includeSubfolders,
                 const FolderPictureVisitor& visit, const std::atomic<bool>* cancel, std::set<FolderId>& seen,
                 bool& listed) {
  FolderId id;
  const bool driveRoot = wideFolder.size() == 2 && wideFolder[1] == L':';
  if (IdOf(driveRoot ? wideFolder + L"\\" : wideFolder, id) && !seen.insert(id).second) return true;
  WIN32_FIND_DATAW data{};
  const FindHandle find = FindFirst(wideFolder + L"\\*", data);
  if (!find) return true;
  listed = true;
  std::vector<std::string> pictures;
  std::vector<std::string> folders;
  std::string name;
  do {
    if (Cancelled(cancel)) return false;
    const wchar_t* wide = data.cFileName;
    if (wide[0] == L'.' && (wide[1] == 0 || (wide[1] == L'.' && wide[2] == 0))) continue;
    if (!Narrow(wide, name)) continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (includeSubfolders) folders.push_back(name);
    } else if (IsPictureFileName(name)) {
      pictures.push_back(name);
    }
  } while (::FindNextFileW(find.get(), &data));
  const auto natural = [](const std::string& a, const std::string& b) { return NaturalLess(a, b); };
  std::sort(pictures.begin(), pictures.end(), natural);
  std::sort(folders.begin(), folders.end(), natural);
  std::string path = folder + "\\";
  const std::size_t base = path.size();
  for (const std::string& picture : pictures) {
    path.resize(base);
    path += picture;
    if (Cancelled(cancel) || !visit(path)) return false;
  }
  for (const std::string& sub : folders) {
    bool ignored = false;
    if (Cancelled(cancel) ||
        !VisitFolder(folder + "\\" + sub, wideFolder + L"\\" + Wide(sub), true, visit, cancel, seen, ignored))
      return false;
  }
  return true;
}

}  // namespace

bool ForEachFolderPictureWin32(const std::string& folder, bool includeSubfolders, const FolderPictureVisitor& visit,
                               const std::atomic<bool>* cancel) {
  std::string top = folder;
  while (top.size() > 1 && (top.back() == '\\' || top.back() == '/')) top.pop_back();
  // "C:" alone is the current folder of drive C: the root is meant.
  if (top.size() == 2 && top[1] == ':') top += '\\';
  const DWORD attributes = ::GetFileAttributesW(Wide(top).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  if (!top.empty() && top.back() == '\\') top.pop_back();  // "C:": paths below it are "C:\name"
  std::set<FolderId> seen;
  bool listed = false;
  VisitFolder(top, Wide(top), includeSubfolders, visit, cancel, seen, listed);
  return listed;
}

void InstallWin32FolderListing() { SetFolderPictureLister(&ForEachFolderPictureWin32); }

}  // namespace velmora
