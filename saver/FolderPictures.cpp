#include "saver/FolderPictures.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>
#include <vector>

#include "fade/PictureLoader.h"

namespace velmora {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

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

// Lists one folder, then its subfolders. Returns false when stopped.
bool VisitFolder(const fs::path& folder, bool includeSubfolders, const FolderPictureVisitor& visit,
                 const std::atomic<bool>* cancel, std::set<fs::path>& seen, bool& listed) {
  std::error_code error;
  const fs::path real = fs::canonical(folder, error);
  if (error || !seen.insert(real).second) return true;
  std::vector<std::string> pictures;
  std::vector<std::string> folders;
  fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
  if (error) return true;
  listed = true;
  for (const fs::directory_iterator end; it != end; it.increment(error)) {
    if (error || Cancelled(cancel)) break;
    const std::string name = it->path().filename().string();
    std::error_code kind;
    if (it->is_directory(kind)) {
      if (includeSubfolders) folders.push_back(name);
    } else if (IsPictureFileName(name)) {
      pictures.push_back(name);
    }
  }
  const auto natural = [](const std::string& a, const std::string& b) { return NaturalLess(a, b); };
  std::sort(pictures.begin(), pictures.end(), natural);
  std::sort(folders.begin(), folders.end(), natural);
  // One buffer for every path of the folder: no allocation a picture.
  std::string path = folder.string();
  if (!path.empty() && path.back() != '/') path += '/';
  const std::size_t base = path.size();
  for (const std::string& name : pictures) {
    path.resize(base);
    path += name;
    if (Cancelled(cancel) || !visit(path)) return false;
  }
  for (const std::string& name : folders) {
    bool ignored = false;
    if (Cancelled(cancel) || !VisitFolder(folder / name, true, visit, cancel, seen, ignored)) return false;
  }
  return true;
}

}  // namespace

void SetFolderPictureLister(FolderPictureLister lister) { installedLister.store(lister); }

bool ForEachFolderPicture(const std::string& folder, bool includeSubfolders, const FolderPictureVisitor& visit,
                          const std::atomic<bool>* cancel) {
  if (const FolderPictureLister lister = installedLister.load()) return lister(folder, includeSubfolders, visit, cancel);
  std::set<fs::path> seen;
  bool listed = false;
  VisitFolder(fs::path(folder), includeSubfolders, visit, cancel, seen, listed);
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
    const int ca = std::tolower(static_cast<unsigned char>(a[i]));
    const int cb = std::tolower(static_cast<unsigned char>(b[j]));
    if (ca != cb) return ca < cb;
    ++i;
    ++j;
  }
  if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
  return a < b;  // equal to the eye: a fixed order all the same
}

}  // namespace velmora
