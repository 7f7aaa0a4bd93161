#include "saver/FolderPictures.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <system_error>
#include <vector>

#include "fade/PictureLoader.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

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
  for (const std::string& name : pictures) {
    if (Cancelled(cancel) || !visit((folder / name).string())) return false;
  }
  for (const std::string& name : folders) {
    bool ignored = false;
    if (Cancelled(cancel) || !VisitFolder(folder / name, true, visit, cancel, seen, ignored)) return false;
  }
  return true;
}

}  // namespace

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

bool ForEachFolderPicture(const std::string& folder, bool includeSubfolders, const FolderPictureVisitor& visit,
                          const std::atomic<bool>* cancel) {
  std::set<fs::path> seen;
  bool listed = false;
  VisitFolder(fs::path(folder), includeSubfolders, visit, cancel, seen, listed);
  return listed;
}

}  // namespace velmora
