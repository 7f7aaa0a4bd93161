#include "saver/ShowOrder.h"

#include <algorithm>

#include "app/Random.h"

namespace velmora {

ShowOrder::ShowOrder(const ShowContents& contents, bool shuffle) : contents_(contents), shuffle_(shuffle) {}

void ShowOrder::BeginRound() {
  frame_ = 0;
  picture_ = 0;
  // The next round's first draws avoid this round's last pictures: half
  // the round at most, so that the rest always holds one to draw.
  window_ = std::min(kBoundaryWindow, drawn_ / 2);
  avoid_.assign(lastKeys_.end() - std::ptrdiff_t(std::min(window_, lastKeys_.size())), lastKeys_.end());
  lastKeys_.clear();
  drawn_ = 0;
  pool_.clear();
  runs_.clear();
  taken_.assign(contents_.Frames(), 0);
  nextId_ = 0;
}

ShowOrder::Result ShowOrder::Next(ShowItem& item) {
  if (taken_.size() != contents_.Frames()) taken_.assign(contents_.Frames(), 0);
  const Result result = shuffle_ ? NextShuffled(item) : NextInOrder(item);
  if (result == Result::Item) Drawn(item);
  return result;
}

void ShowOrder::Drawn(const ShowItem& item) {
  ++drawn_;
  if (!shuffle_) return;
  lastKeys_.push_back(contents_.KeyOf(item));
  if (lastKeys_.size() > kBoundaryWindow) lastKeys_.pop_front();
}

ShowOrder::Result ShowOrder::NextInOrder(ShowItem& item) {
  while (frame_ < contents_.Frames()) {
    if (!contents_.IsFolder(frame_)) {
      item = ShowItem{std::uint32_t(frame_), 0};
      ++frame_;
      picture_ = 0;
      return Result::Item;
    }
    // Ended first, then counted: a picture found in between is not lost.
    const bool finished = contents_.Finished(frame_);
    if (picture_ < contents_.Found(frame_)) {
      item = ShowItem{std::uint32_t(frame_), std::uint32_t(picture_++)};
      return Result::Item;
    }
    if (!finished) return Result::Wait;
    ++frame_;
    picture_ = 0;
  }
  return Result::RoundOver;
}

bool ShowOrder::Refill() {
  bool allFinished = true;
  for (std::size_t f = 0; f < contents_.Frames(); ++f) {
    std::size_t found = 1;
    if (contents_.IsFolder(f)) {
      if (!contents_.Finished(f)) allFinished = false;
      found = contents_.Found(f);
    }
    if (found <= taken_[f]) continue;
    runs_.push_back(Run{nextId_, std::uint32_t(f), std::uint32_t(taken_[f])});
    for (std::size_t k = taken_[f]; k < found; ++k) pool_.push_back(nextId_++);
    taken_[f] = found;
  }
  return allFinished;
}

ShowItem ShowOrder::ItemOf(std::uint32_t id) const {
  // The last run that starts at or before id.
  const auto run = std::upper_bound(runs_.begin(), runs_.end(), id,
                                    [](std::uint32_t value, const Run& r) { return value < r.firstId; }) -
                   1;
  return ShowItem{run->frame, run->firstPicture + (id - run->firstId)};
}

bool ShowOrder::Avoided(std::uint32_t id) const {
  if (drawn_ >= window_ || avoid_.empty()) return false;
  return std::find(avoid_.begin(), avoid_.end(), contents_.KeyOf(ItemOf(id))) != avoid_.end();
}

ShowOrder::Result ShowOrder::NextShuffled(ShowItem& item) {
  const bool allFinished = Refill();
  if (pool_.empty()) return allFinished ? Result::RoundOver : Result::Wait;
  std::size_t chosen = pool_.size();
  // Uniform over the items not avoided: draw again while the draw is one
  // to avoid (each try succeeds with a chance of one half at least), then
  // look for any.
  for (int tries = 0; tries < 64 && chosen == pool_.size(); ++tries) {
    const std::size_t r = std::size_t(Random(std::int32_t(pool_.size())));
    if (!Avoided(pool_[r])) chosen = r;
  }
  for (std::size_t r = 0; r < pool_.size() && chosen == pool_.size(); ++r)
    if (!Avoided(pool_[r])) chosen = r;
  if (chosen == pool_.size()) {
    // Only pictures the last round ended with so far: a listing still
    // running may find others.
    if (!allFinished) return Result::Wait;
    chosen = std::size_t(Random(std::int32_t(pool_.size())));
  }
  const std::uint32_t id = pool_[chosen];
  pool_[chosen] = pool_.back();
  pool_.pop_back();
  item = ItemOf(id);
  return Result::Item;
}

std::size_t ShowOrder::AllocatedBytes() const {
  return pool_.capacity() * sizeof(std::uint32_t) + runs_.capacity() * sizeof(Run) +
         taken_.capacity() * sizeof(std::size_t);
}

}  // namespace velmora
