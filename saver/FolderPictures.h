// The pictures of a folder frame, listed as they are found.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Names compared as people read them: runs of digits by their value ("2"
// before "10"), everything else without regard to letter case.
bool NaturalLess(std::string_view a, std::string_view b);

// Called for each picture found (its full path, 8-bit, system code page);
// returning false stops the listing.
using FolderPictureVisitor = std::function<bool(const std::string& path)>;

// Visits the pictures (files LoadGraphic has an opener for) of folder in
// natural name order, then, when includeSubfolders, each subfolder's in
// natural order, depth first. A folder reached a second time (through a
// link) is not listed again. Stops early when visit returns false or cancel
// is set. Returns false when folder itself cannot be listed (missing, not a
// folder, unreadable); unreadable subfolders are passed over.
bool ForEachFolderPicture(const std::string& folder, bool includeSubfolders, const FolderPictureVisitor& visit,
                          const std::atomic<bool>* cancel = nullptr);

// How ForEachFolderPicture reads folders: the portable listing
// (std::filesystem) unless the system layer installs its own at start-up
// (saver/FolderPicturesWin32.h); nullptr goes back to the portable one.
using FolderPictureLister = bool (*)(const std::string& folder, bool includeSubfolders,
                                     const FolderPictureVisitor& visit, const std::atomic<bool>* cancel);
void SetFolderPictureLister(FolderPictureLister lister);

// The paths of one listing, packed: each path with its terminating zero in
// 64 KiB blocks, plus 4 bytes of index a path. Nothing moves once added, so
// the views stay valid for the store's life.
class PathStore {
 public:
  // Makes room in the index for count paths in all (no effect when smaller
  // than what it holds).
  void Reserve(std::size_t count) { starts_.reserve(count); }
  // False (nothing added) for a path longer than a block or a store full at
  // 4 GiB of paths.
  bool Add(std::string_view path);
  std::size_t Count() const { return starts_.size(); }
  // The path added index-th (0-based); index < Count().
  std::string_view At(std::size_t index) const;
  // The bytes the store has allocated: its blocks and its index.
  std::size_t AllocatedBytes() const;

  static constexpr std::size_t kBlockBytes = std::size_t(1) << 16;

 private:
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t used_ = kBlockBytes;  // bytes used in the last block
  std::vector<std::uint32_t> starts_;  // block << 16 | offset
};

}  // namespace velmora
