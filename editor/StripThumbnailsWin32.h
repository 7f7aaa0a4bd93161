// The main window's thumbnails: made in the background on all processors
// (the slots in view first), posted back to the main window one by one as
// ThumbnailMadeMessage, read back for the strip's slots, deleted when the
// window closes.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "editor/FolderFrames.h"
#include "editor/FrameStrip.h"
#include "editor/ThumbnailQueue.h"
#include "editor/Thumbnails.h"
#include "editor/ThumbnailsWin32.h"
#include "fade/Graphics.h"

namespace velmora {

class StripThumbnails : public ThumbnailMaker {
 public:
  StripThumbnails();
  ~StripThumbnails() override;
  StripThumbnails(const StripThumbnails&) = delete;
  StripThumbnails& operator=(const StripThumbnails&) = delete;

  // The window the results are posted to (not owned).
  void SetOwner(HWND owner) { owner_ = owner; }

  void QueueThumbnails(const std::vector<std::string>& paths, std::int32_t firstNumber) override;
  void PrioritizeThumbnails(const std::vector<std::int32_t>& numbers) override;
  void CancelThumbnail(std::int32_t number) override;
  // The first picture is looked for on a worker, never on this thread.
  void QueueFolderThumbnail(const std::string& folder, bool includeSubfolders, std::int32_t number) override;
  // Counted on a thread of its own; the main window gets
  // FolderCountedMessage and takes the counts with TakeCounts.
  void CountFolder(const std::string& folder, bool includeSubfolders) override;
  struct FolderCount {
    std::string folder;
    bool includeSubfolders = true;
    std::optional<std::int64_t> count;
  };
  std::vector<FolderCount> TakeCounts();
  // One thumbnail, made at once on this thread.
  bool MakeOne(const std::string& path, std::int32_t number);
  // A result posted by a worker has arrived: a copy read back before is
  // stale.
  void Arrived(std::int32_t number) { loaded_.erase(number); }
  // The side of the strip's square picture in pixels (kThumbnailSide at
  // 96 DPI, scaled with the window): thumbnails made from now on have it as
  // their long side. A change drops the copies read back and makes every
  // thumbnail made so far again in the background, at the new side (until
  // then the old one is stretched to it).
  void SetSide(int side);
  // True (once) when the result of `number` that arrived is a thumbnail
  // made again at a new side.
  bool TakeRemade(std::int32_t number) { return remaking_.erase(number) != 0; }
  int Side() const noexcept { return side_; }
  // Thumbnail n stretched to the strip's square picture (Side() x Side()),
  // or nullptr when there is none.
  std::shared_ptr<const MemoryImage24> Load(std::int32_t number);
  // Stops the workers (a thumbnail being made is finished and thrown away)
  // and waits for them, then deletes thumbnails 1 .. below-1 and this run's
  // folder. Later calls do nothing.
  void DeleteAll(std::int32_t below);
  // The run's folder (empty when thumbnails are kept in memory).
  const std::filesystem::path& Folder() const { return files_.Folder(); }

 private:
  std::atomic<HWND> owner_{nullptr};
  EditorThumbnails files_;  // the store in a folder of this run
  // Thumbnails read back already, so that scrolling reads each file once.
  std::map<std::int32_t, std::shared_ptr<const MemoryImage24>> loaded_;
  int side_ = kThumbnailSide;
  // The job of every thumbnail number queued or made, to make them again
  // at a new side; the numbers being made again.
  std::map<std::int32_t, ThumbnailJob> jobs_;
  // Set when the workers are to stop: a folder being listed for its first
  // picture stops listing.
  std::atomic<bool> stopping_{false};
  std::set<std::int32_t> remaking_;
  std::mutex countsMutex_;
  std::vector<FolderCount> counts_;  // counted, not taken yet
  // One job made on a worker: a folder's first picture found first.
  bool MakeJob(const ThumbnailJob& job);
  // Last: its workers end before the store goes.
  ThumbnailQueue queue_;
  // After the queue: its thread ends first.
  FolderCounter counter_;
};

}  // namespace velmora
