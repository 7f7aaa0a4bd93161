// The editor's side of folder frames: what a slot shows for one (its first
// picture's thumbnail with a folder mark, the folder's name and picture
// count), the first picture itself, and the picture count made in the
// background so that a slow or missing folder never holds up the window.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "fade/Graphics.h"
#include "saver/FolderPictures.h"

namespace velmora {

// The last part of a folder path (a trailing "\" or "/" left out); a
// drive's root ("C:\") is named whole. Splits bytes, as FileNamePart does.
std::string FolderNamePart(const std::string& path);

// The slot label of a folder frame (UTF-8): its name and picture count,
// "Trips (12)", or "Trips (...)" while the count is not known.
std::string FolderSlotLabel(const std::string& nameUtf8, std::optional<std::int64_t> count);

// Marks a slot's picture as a folder's: a small folder drawn in its
// top-left corner, sized to the picture (never outside it).
void DrawFolderMark(Image24& image);

// The lister folder frames are read with; ForEachFolderPicture unless a
// test gives another.
using FolderLister = std::function<bool(const std::string& folder, bool includeSubfolders,
                                        const FolderPictureVisitor& visit, const std::atomic<bool>* cancel)>;

// The first picture a folder frame plays (natural order, the top folder
// first); nothing when there is none or the folder cannot be read.
std::optional<std::string> FirstFolderPicture(const std::string& folder, bool includeSubfolders,
                                              const std::atomic<bool>* cancel = nullptr,
                                              const FolderLister& lister = {});

// Counts the pictures of folders on a thread of its own, one folder at a
// time, in the order asked. A folder that is slow to answer holds up only
// the counts behind it. Stop cancels the count running and drops those
// waiting; nothing is reported once Stop has returned.
class FolderCounter {
 public:
  // A finished count (on the counter's thread): the folder, whether its
  // subfolders were counted, and the count (nothing when the folder cannot
  // be listed).
  using Result = std::function<void(const std::string& folder, bool includeSubfolders,
                                    std::optional<std::int64_t> count)>;

  explicit FolderCounter(Result result, FolderLister lister = {});
  // Stop, then waits for the thread.
  ~FolderCounter();
  FolderCounter(const FolderCounter&) = delete;
  FolderCounter& operator=(const FolderCounter&) = delete;

  // Queues a count behind those waiting; one already waiting for the same
  // folder and choice is not queued twice.
  void Count(const std::string& folder, bool includeSubfolders);
  void Stop();
  // Counts waiting or running.
  std::size_t Outstanding() const;

 private:
  void Work();

  Result result_;
  FolderLister lister_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::pair<std::string, bool>> waiting_;
  bool running_ = false;
  bool stopping_ = false;
  std::atomic<bool> cancel_{false};
  std::thread worker_;
};

}  // namespace velmora
