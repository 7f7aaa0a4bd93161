#include "saver/FolderListing.h"

#include <exception>
#include <mutex>
#include <thread>
#include <utility>

namespace velmora {

// What the thread and the owner share; the last of the two to let go frees it.
struct FolderListing::Shared {
  mutable std::mutex mutex;
  PathStore paths;              // guarded by mutex
  State state = State::Listing;  // guarded by mutex
  std::atomic<bool> cancel{false};
};

FolderListing::FolderListing(std::string folder, bool includeSubfolders, Lister lister, std::size_t expected)
    : shared_(std::make_shared<Shared>()) {
  // A little room beyond last time's count for what has been added since.
  if (expected > 0) shared_->paths.Reserve(expected + expected / 16 + 16);
  try {
    std::thread([shared = shared_, folder = std::move(folder), includeSubfolders, lister = std::move(lister)] {
      bool listed = false;
      try {
        listed = lister(
            folder, includeSubfolders,
            [&shared](const std::string& path) {
              std::lock_guard lock(shared->mutex);
              shared->paths.Add(path);
              return true;
            },
            &shared->cancel);
      } catch (const std::exception&) {
        listed = false;  // out of memory: what was found stays
      }
      std::lock_guard lock(shared->mutex);
      shared->state = listed ? State::Done : State::Failed;
    }).detach();
  } catch (const std::exception&) {
    std::lock_guard lock(shared_->mutex);
    shared_->state = State::Failed;
  }
}

FolderListing::~FolderListing() { shared_->cancel.store(true, std::memory_order_relaxed); }

std::size_t FolderListing::Found() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->paths.Count();
}

std::string FolderListing::PathAt(std::size_t index) const {
  std::lock_guard lock(shared_->mutex);
  return std::string(shared_->paths.At(index));
}

FolderListing::State FolderListing::CurrentState() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->state;
}

std::size_t FolderListing::AllocatedBytes() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->paths.AllocatedBytes();
}

}  // namespace velmora
