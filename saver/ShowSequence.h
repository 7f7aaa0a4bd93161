// What the player plays next when a show has folder frames or is shuffled:
// the show's frames with each folder frame standing for its pictures, read
// anew every round on worker threads (saver/FolderListing.h), in the order
// of saver/ShowOrder.h.
//
// Never waits for a folder: Next gives nothing while the listing it needs
// has found nothing yet, and after kSlowListingSeconds of that the folders
// still being listed are left out of the round with what they found (a
// share that answers slowly or not at all; the next round tries them
// again, unless the listing is still running then too, in which case it
// goes on). A folder that is empty, missing or a file gives nothing and
// costs no still time.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/DateTime.h"
#include "frames/FrameRecord.h"
#include "saver/FolderListing.h"
#include "saver/ShowOrder.h"

namespace velmora {

class FrameList;

// One picture (or colour) to bring on screen.
struct ShowEntry {
  FrameRecord frame{};  // the show's frame: its effect, still time, colour
  std::string path;     // the picture's file ("" for a colour frame)
  bool inFolder = false;  // a folder's picture: skipped, not shown black, when it does not load
};

class ShowSequence final : private ShowContents {
 public:
  static constexpr double kSlowListingSeconds = 2.0;
  // An empty round (every folder empty or missing, nothing else) is read
  // again at most this often.
  static constexpr double kEmptyRoundSeconds = 1.0;

  // Whether a show needs a sequence: a folder frame, or shuffle on. Without
  // either, the player steps through the frames as they are.
  static bool Needed(const FrameList& list, std::int32_t frameCount);

  // frames: the show's frames in order (the header and the end record
  // excluded). Starts listing the folders.
  ShowSequence(std::vector<FrameRecord> frames, bool shuffle,
               FolderListing::Lister lister = &ForEachFolderPicture);
  ~ShowSequence() override;

  // The next entry, or nullopt when nothing can come yet. now: Now().
  std::optional<ShowEntry> Next(TDateTime now);

  // How many rounds have begun (1 after construction).
  std::size_t Round() const { return round_; }
  // The bytes the listings and the order hold.
  std::size_t AllocatedBytes() const;

 private:
  std::size_t Frames() const override { return frames_.size(); }
  bool IsFolder(std::size_t frame) const override { return listings_[frame] != nullptr; }
  std::size_t Found(std::size_t frame) const override;
  bool Finished(std::size_t frame) const override;
  std::string KeyOf(const ShowItem& item) const override;

  void BeginRound(TDateTime now);
  ShowEntry EntryOf(const ShowItem& item) const;

  std::vector<FrameRecord> frames_;
  const FolderListing::Lister lister_;
  std::vector<std::unique_ptr<FolderListing>> listings_;  // a folder frame's; null for the others
  std::vector<std::size_t> cap_;  // a folder left out with what it found: that count; else none
  ShowOrder order_;
  std::size_t round_ = 0;
  std::size_t itemsThisRound_ = 0;
  TDateTime roundStart_ = 0.0;
  std::optional<TDateTime> waitingSince_;
};

}  // namespace velmora
