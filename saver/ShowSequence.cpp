#include "saver/ShowSequence.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "frames/FrameList.h"
#include "frames/ShowOptions.h"

namespace velmora {
namespace {

constexpr std::size_t kNoCap = std::numeric_limits<std::size_t>::max();

}  // namespace

bool ShowSequence::Needed(const FrameList& list, std::int32_t frameCount) {
  if (list.Count() == 0) return false;
  if (ReadShowOptions(list[0]).Shuffle) return true;
  for (std::int32_t i = 1; i <= frameCount && std::size_t(i) < list.Count(); ++i)
    if (IsFolderFrame(list[std::size_t(i)])) return true;
  return false;
}

ShowSequence::ShowSequence(std::vector<FrameRecord> frames, bool shuffle, FolderListing::Lister lister)
    : frames_(std::move(frames)), lister_(std::move(lister)), order_(*this, shuffle) {
  listings_.resize(frames_.size());
  cap_.assign(frames_.size(), kNoCap);
  BeginRound(0.0);
}

ShowSequence::~ShowSequence() = default;

void ShowSequence::BeginRound(TDateTime now) {
  for (std::size_t f = 0; f < frames_.size(); ++f) {
    if (!IsFolderFrame(frames_[f])) continue;
    std::unique_ptr<FolderListing>& listing = listings_[f];
    cap_[f] = kNoCap;
    // A listing still running (a slow share) goes on rather than another
    // thread being stuck beside it.
    if (listing && !listing->Finished()) continue;
    const std::size_t last = listing ? listing->Found() : 0;
    listing.reset();  // last round's paths go before this round's come
    listing = std::make_unique<FolderListing>(frames_[f].Path(), FolderIncludesSubfolders(frames_[f]), lister_, last);
  }
  order_.BeginRound();
  ++round_;
  itemsThisRound_ = 0;
  roundStart_ = now;
  waitingSince_.reset();
}

std::size_t ShowSequence::Found(std::size_t frame) const {
  return std::min(listings_[frame]->Found(), cap_[frame]);
}

bool ShowSequence::Finished(std::size_t frame) const {
  return cap_[frame] != kNoCap || listings_[frame]->Finished();
}

std::string ShowSequence::KeyOf(const ShowItem& item) const {
  if (IsFolder(item.frame)) return listings_[item.frame]->PathAt(item.picture);
  const FrameRecord& frame = frames_[item.frame];
  if (frame.Kind() == FrameKind::Picture) return frame.Path();
  return "#" + std::to_string(item.frame);  // a colour: the frame itself
}

ShowEntry ShowSequence::EntryOf(const ShowItem& item) const {
  ShowEntry entry;
  entry.frame = frames_[item.frame];
  if (IsFolder(item.frame)) {
    entry.path = listings_[item.frame]->PathAt(item.picture);
    entry.inFolder = true;
  } else if (entry.frame.Kind() == FrameKind::Picture) {
    entry.path = entry.frame.Path();
  }
  return entry;
}

std::optional<ShowEntry> ShowSequence::Next(TDateTime now) {
  for (int pass = 0; pass < 3; ++pass) {
    ShowItem item;
    switch (order_.Next(item)) {
      case ShowOrder::Result::Item:
        ++itemsThisRound_;
        waitingSince_.reset();
        return EntryOf(item);
      case ShowOrder::Result::Wait:
        if (!waitingSince_) waitingSince_ = now;
        if (now - *waitingSince_ < SecondsToDays(kSlowListingSeconds)) return std::nullopt;
        // Too slow: the folders still being listed play what they found.
        for (std::size_t f = 0; f < frames_.size(); ++f)
          if (IsFolder(f) && !Finished(f)) cap_[f] = listings_[f]->Found();
        waitingSince_.reset();
        break;
      case ShowOrder::Result::RoundOver:
        if (itemsThisRound_ == 0 && now - roundStart_ < SecondsToDays(kEmptyRoundSeconds)) return std::nullopt;
        BeginRound(now);
        break;
    }
  }
  return std::nullopt;
}

std::size_t ShowSequence::AllocatedBytes() const {
  std::size_t bytes = order_.AllocatedBytes();
  for (const auto& listing : listings_)
    if (listing) bytes += listing->AllocatedBytes();
  return bytes;
}

}  // namespace velmora
