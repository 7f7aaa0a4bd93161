// The order of one round of a show whose frames include folders: each frame
// once, a folder frame as the run of its pictures, or, shuffled, every
// picture of the show (single frames and folders' pictures alike) once in a
// fair random order. The folders are read while the round plays, so the
// order is made one item at a time from what has been found so far.
//
// Fairness with shuffle: each item is drawn uniformly (the process's random
// generator) from every item found and not yet shown this round, so once
// the listings have ended every order of the round's items is equally
// likely and the folders interleave. Only while a listing still runs are
// the draws limited to what it has found; a round's first picture is
// therefore drawn from what was found before it was needed (on a local disk
// a listing of 50,000 pictures ends well within the first picture's still
// time). Across the boundary of two rounds, the first draws of a round
// avoid the pictures the last round ended with, so no picture comes twice
// in a row of up to 2 x kBoundaryWindow around the boundary (fewer for a
// small show: half its size on each side).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace velmora {

// One item of a round: a frame of the show (0-based) and, for a folder
// frame, the index of the picture in that round's listing (0 otherwise).
struct ShowItem {
  std::uint32_t frame = 0;
  std::uint32_t picture = 0;
  bool operator==(const ShowItem&) const = default;
};

// What the order reads of the show and of its folders' listings.
class ShowContents {
 public:
  virtual ~ShowContents() = default;
  virtual std::size_t Frames() const = 0;
  virtual bool IsFolder(std::size_t frame) const = 0;
  // A folder frame's pictures found so far this round; never decreases
  // within a round.
  virtual std::size_t Found(std::size_t frame) const = 0;
  // Whether a folder frame's listing has ended for this round.
  virtual bool Finished(std::size_t frame) const = 0;
  // What makes two items the same picture across rounds (their path).
  virtual std::string KeyOf(const ShowItem& item) const = 0;
};

class ShowOrder {
 public:
  enum class Result {
    Item,       // the next item
    Wait,       // nothing to show yet: a listing runs that may find more
    RoundOver,  // every item of the round has been given
  };

  static constexpr std::size_t kBoundaryWindow = 8;

  // contents: not owned, outlives the order.
  ShowOrder(const ShowContents& contents, bool shuffle);

  // Starts a round over the contents as they are now (their listings made
  // anew).
  void BeginRound();
  Result Next(ShowItem& item);

  // The bytes the shuffle holds a picture: the items not yet drawn (4 each)
  // and their runs.
  std::size_t AllocatedBytes() const;

 private:
  Result NextInOrder(ShowItem& item);
  Result NextShuffled(ShowItem& item);
  // Puts what the listings found since into the pool; true when every
  // listing had ended before it looked.
  bool Refill();
  ShowItem ItemOf(std::uint32_t id) const;
  bool Avoided(std::uint32_t id) const;
  void Drawn(const ShowItem& item);

  const ShowContents& contents_;  // not owned
  const bool shuffle_;
  // In order: the frame and picture next.
  std::size_t frame_ = 0;
  std::size_t picture_ = 0;
  // Shuffled: the ids (order of finding) not yet drawn, and the runs that
  // map an id to its item.
  struct Run {
    std::uint32_t firstId;
    std::uint32_t frame;
    std::uint32_t firstPicture;
  };
  std::vector<std::uint32_t> pool_;
  std::vector<Run> runs_;
  std::vector<std::size_t> taken_;  // a frame: how many of its items are in the pool
  std::uint32_t nextId_ = 0;
  std::size_t drawn_ = 0;  // this round
  std::size_t window_ = 0;  // how many first draws avoid `avoid_`
  std::vector<std::string> avoid_;  // the last round's last keys
  std::deque<std::string> lastKeys_;  // this round's last keys
};

}  // namespace velmora
