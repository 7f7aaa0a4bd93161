// One folder frame's pictures, listed on a thread of the listing's own and
// handed over as they are found: the show plays the first picture while the
// rest of the folder is still being read.
//
// The window thread only reads what has been found so far and never waits
// for the listing. Destroying a listing cancels it and lets its thread go:
// a folder on a share that does not answer keeps that thread, not the show,
// until the system call returns (the thread then ends by itself).
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "saver/FolderPictures.h"

namespace velmora {

class FolderListing {
 public:
  // What lists a folder: ForEachFolderPicture unless a test replaces it.
  using Lister = std::function<bool(const std::string& folder, bool includeSubfolders,
                                    const FolderPictureVisitor& visit, const std::atomic<bool>* cancel)>;

  enum class State { Listing, Done, Failed };

  // Starts listing folder. expected: how many pictures it had last time
  // (room is made for them at once; 0 when unknown).
  FolderListing(std::string folder, bool includeSubfolders, Lister lister = &ForEachFolderPicture,
                std::size_t expected = 0);
  ~FolderListing();
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;

  // How many pictures have been found so far; never decreases.
  std::size_t Found() const;
  // The path of picture index (< Found()).
  std::string PathAt(std::size_t index) const;
  // Listing while the thread runs; Done when it has ended, Failed when the
  // folder could not be listed (missing, a file, unreadable) or no thread
  // could be started.
  State CurrentState() const;
  bool Finished() const { return CurrentState() != State::Listing; }
  // The bytes the found paths take, index included.
  std::size_t AllocatedBytes() const;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};

}  // namespace velmora
