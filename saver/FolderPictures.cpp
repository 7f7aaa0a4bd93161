#include "saver/FolderPictures.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <system_error>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <dirent.h>
#include <sys/stat.h>
#endif

#include "fade/PictureLoader.h"

namespace velmora {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
// As tolower in the "C" locale, without the call: ASCII letters only.
int AsciiLower(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u;
}

}  // namespace

bool PathStore::Add(std::string_view path) {
  const std::size_t bytes = path.size() + 1;
  if (bytes > kBlockBytes) return false;
  if (used_ + bytes > kBlockBytes) {
    if (blocks_.size() >= 0x10000) return false;  // the index holds 16 bits of block
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(kBlockBytes));
    used_ = 0;
  }
  char* at = blocks_.back().get() + used_;
  std::memcpy(at, path.data(), path.size());
  at[path.size()] = '\0';
  starts_.push_back(std::uint32_t(((blocks_.size() - 1) << 16) | used_));
  used_ += bytes;
  return true;
}

std::string_view PathStore::At(std::size_t index) const {
  const std::uint32_t start = starts_[index];
  return std::string_view(blocks_[start >> 16].get() + (start & 0xFFFF));
}

std::size_t PathStore::AllocatedBytes() const {
  return blocks_.size() * kBlockBytes + blocks_.capacity() * sizeof(blocks_[0]) +
         starts_.capacity() * sizeof(std::uint32_t);
}

namespace {

namespace fs = std::filesystem;

std::atomic<FolderPictureLister> installedLister{nullptr};

bool Cancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(std::memory_order_relaxed); }

#ifdef _WIN32
// (The program itself reads folders through FolderPicturesWin32.cpp; this is
// the portable listing as the Windows compiler builds it.)
// Where a folder is: its real path.
using FolderId = fs::path;
bool IdOf(const std::string& folder, FolderId& id) {
  std::error_code error;
  id = fs::canonical(fs::path(folder), error);
  return !error;
}

// The names in folder: pictures, and subfolders when wanted. False when it
// cannot be read.
bool ReadFolder(const std::string& folder, bool wantFolders, std::vector<std::string>& pictures,
                std::vector<std::string>& folders, const std::atomic<bool>* cancel) {
  std::error_code error;
  fs::directory_iterator it(fs::path(folder), fs::directory_options::skip_permission_denied, error);
  if (error) return false;
  for (const fs::directory_iterator end; it != end; it.increment(error)) {
    if (error || Cancelled(cancel)) break;
    const std::string name = it->path().filename().string();
    std::error_code kind;
    if (it->is_directory(kind)) {
      if (wantFolders) folders.push_back(name);
    } else if (IsPictureFileName(name)) {
      pictures.push_back(name);
    }
  }
  return true;
}
#else
// Where a folder is: its device and inode (one call, where the real path
// would take one a path component).
using FolderId = std::pair<dev_t, ino_t>;
bool IdOf(const std::string& folder, FolderId& id) {
  struct stat status {};
  if (::stat(folder.c_str(), &status) != 0) return false;
  id = {status.st_dev, status.st_ino};
  return true;
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

bool ReadFolder(const std::string& folder, bool wantFolders, std::vector<std::string>& pictures,
                std::vector<std::string>& folders, const std::atomic<bool>* cancel) {
  const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
  if (!dir) return false;
  std::string path = folder + "/";
  const std::size_t base = path.size();
  while (const dirent* entry = ::readdir(dir.get())) {
    if (Cancelled(cancel)) break;
    const char* name = entry->d_name;
    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
    bool isFolder = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      // A link (or a file system that does not say): what it leads to.
      path.resize(base);
      path += name;
      struct stat status {};
      isFolder = ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
    }
    if (isFolder) {
      if (wantFolders) folders.emplace_back(name);
    } else if (std::string file(name); IsPictureFileName(file)) {
      pictures.push_back(std::move(file));
    }
  }
  return true;
}
#endif

// Gives names in natural order, smallest first; the names stay in the
// caller's vector, which the heap reorders.
class NaturalHeap {
 public:
  explicit NaturalHeap(std::vector<std::string>& names) : names_(names), end_(names.size()) {
    std::make_heap(names_.begin(), names_.end(), Later);
  }
  // The next name, or nullptr after the last.
  const std::string* Next() {
    if (end_ == 0) return nullptr;
    std::pop_heap(names_.begin(), names_.begin() + std::ptrdiff_t(end_), Later);
    return &names_[--end_];
  }

 private:
  static bool Later(const std::string& a, const std::string& b) { return NaturalLess(b, a); }
  std::vector<std::string>& names_;
  std::size_t end_;
};

// Lists one folder, then its subfolders. Returns false when stopped.
bool VisitFolder(const std::string& folder, bool includeSubfolders, const FolderPictureVisitor& visit,
                 const std::atomic<bool>* cancel, std::set<FolderId>& seen, bool& listed) {
  FolderId id;
  if (!IdOf(folder, id) || !seen.insert(id).second) return true;
  std::vector<std::string> pictures;
  std::vector<std::string> folders;
  if (!ReadFolder(folder, includeSubfolders, pictures, folders, cancel)) return true;
  listed = true;
  // Heaps rather than sorted lists: the first name in natural order comes
  // after one pass over the folder, the rest one by one as they are given.
  NaturalHeap pictureOrder(pictures);
  NaturalHeap folderOrder(folders);
  // One buffer for every path of the folder: no allocation a picture.
  std::string path = folder;
#ifdef _WIN32
  if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '\\';
#else
  if (!path.empty() && path.back() != '/') path += '/';
#endif
  const std::size_t base = path.size();
  while (const std::string* name = pictureOrder.Next()) {
    path.resize(base);
    path += *name;
    if (Cancelled(cancel) || !visit(path)) return false;
  }
  while (const std::string* name = folderOrder.Next()) {
    path.resize(base);
    path += *name;
    bool ignored = false;
    if (Cancelled(cancel) || !VisitFolder(path, true, visit, cancel, seen, ignored)) return false;
  }
  return true;
}

}  // namespace

void SetFolderPictureLister(FolderPictureLister lister) { installedLister.store(lister); }

bool ForEachFolderPicture(const std::string& folder, bool includeSubfolders, const FolderPictureVisitor& visit,
                          const std::atomic<bool>* cancel) {
  if (const FolderPictureLister lister = installedLister.load()) return lister(folder, includeSubfolders, visit, cancel);
  std::set<FolderId> seen;
  bool listed = false;
  VisitFolder(folder, includeSubfolders, visit, cancel, seen, listed);
  return listed;
}

bool NaturalLess(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      std::size_t ei = i, ej = j;
      while (ei < a.size() && IsDigit(a[ei])) ++ei;
      while (ej < b.size() && IsDigit(b[ej])) ++ej;
      std::size_t si = i, sj = j;  // leading zeros do not count towards the value
      while (si + 1 < ei && a[si] == '0') ++si;
      while (sj + 1 < ej && b[sj] == '0') ++sj;
      if (ei - si != ej - sj) return ei - si < ej - sj;
      const int order = a.substr(si, ei - si).compare(b.substr(sj, ej - sj));
      if (order != 0) return order < 0;
      i = ei;
      j = ej;
      continue;
    }
    const int ca = AsciiLower(a[i]);
    const int cb = AsciiLower(b[j]);
    if (ca != cb) return ca < cb;
    ++i;
    ++j;
  }
  if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
  return a < b;  // equal to the eye: a fixed order all the same
}

}  // namespace velmora
