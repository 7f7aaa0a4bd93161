// The order of a round: frames in order with each folder as the run of its
// pictures, or every picture of the show shuffled fairly, made from what
// the folders' listings have found so far.
#include "saver/ShowOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/Random.h"

namespace velmora {
namespace {

// A show whose folders' listings the test drives: a frame is a folder when
// it has a picture count (found so far), and has ended when `finished`.
class FakeContents final : public ShowContents {
 public:
  struct Frame {
    bool folder = false;
    std::size_t found = 0;
    bool finished = true;
  };
  std::vector<Frame> frames;

  std::size_t Frames() const override { return frames.size(); }
  bool IsFolder(std::size_t f) const override { return frames[f].folder; }
  std::size_t Found(std::size_t f) const override { return frames[f].found; }
  bool Finished(std::size_t f) const override { return frames[f].finished; }
  std::string KeyOf(const ShowItem& item) const override {
    return std::to_string(item.frame) + "/" + std::to_string(item.picture);
  }
};

FakeContents::Frame Single() { return {}; }
FakeContents::Frame Folder(std::size_t count, bool finished = true) { return {true, count, finished}; }

// Items as "frame/picture" until the round is over (or the order waits: "wait").
std::vector<std::string> Round(ShowOrder& order, const FakeContents& contents) {
  std::vector<std::string> items;
  ShowItem item;
  for (;;) {
    const ShowOrder::Result result = order.Next(item);
    if (result == ShowOrder::Result::RoundOver) return items;
    if (result == ShowOrder::Result::Wait) {
      items.push_back("wait");
      return items;
    }
    items.push_back(contents.KeyOf(item));
  }
}

TEST(ShowOrderTest, InOrderEachFolderIsTheRunOfItsPictures) {
  struct Case {
    const char* name;
    std::vector<FakeContents::Frame> frames;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"frames and folders", {Single(), Folder(3), Single()}, {"0/0", "1/0", "1/1", "1/2", "2/0"}},
      {"empty or missing folders give nothing", {Folder(0), Single(), Folder(0), Folder(0), Single()}, {"1/0", "4/0"}},
      {"one folder", {Folder(2)}, {"0/0", "0/1"}},
      {"a folder still listing: its pictures so far, then wait", {Single(), Folder(2, false), Single()},
       {"0/0", "1/0", "1/1", "wait"}},
      {"nothing found yet", {Folder(0, false), Single()}, {"wait"}},
  };
  for (const Case& c : cases) {
    FakeContents contents;
    contents.frames = c.frames;
    ShowOrder order(contents, false);
    order.BeginRound();
    EXPECT_EQ(Round(order, contents), c.expected) << c.name;
  }
}

TEST(ShowOrderTest, InOrderPicturesFoundWhileWaitingComeNextInTheSameRound) {
  FakeContents contents;
  contents.frames = {Folder(1, false), Single()};
  ShowOrder order(contents, false);
  order.BeginRound();
  EXPECT_EQ(Round(order, contents), (std::vector<std::string>{"0/0", "wait"}));
  contents.frames[0] = Folder(3, true);
  EXPECT_EQ(Round(order, contents), (std::vector<std::string>{"0/1", "0/2", "1/0"}));
  order.BeginRound();  // the next round starts from the first frame again
  EXPECT_EQ(Round(order, contents), (std::vector<std::string>{"0/0", "0/1", "0/2", "1/0"}));
}

// Shuffled rounds over many seeds: every item once a round, none twice
// across a round boundary (the last of one round and the first of the
// next, up to the window), folders interleaved.
TEST(ShowOrderTest, ShuffleIsFairOverSeeds) {
  struct Case {
    const char* name;
    std::vector<FakeContents::Frame> frames;
    std::size_t window;  // items each side of a boundary that never repeat
  };
  const Case cases[] = {
      {"five folders of forty", {Folder(40), Folder(40), Folder(40), Folder(40), Folder(40)}, 8},
      {"folders and single frames", {Single(), Folder(7), Single(), Folder(12), Single()}, 8},
      {"two pictures", {Folder(2)}, 1},
      {"three single frames", {Single(), Single(), Single()}, 1},
      {"one picture", {Folder(1)}, 0},
  };
  for (const Case& c : cases) {
    FakeContents contents;
    contents.frames = c.frames;
    std::size_t total = 0;
    for (const auto& f : c.frames) total += f.folder ? f.found : 1;
    std::size_t sameFolderPairs = 0, pairs = 0;
    std::map<std::string, int> firstPlaces;
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
      SetRandSeed(seed * 2654435761u);
      ShowOrder order(contents, true);
      std::vector<std::string> previous;
      for (int round = 0; round < 4; ++round) {
        order.BeginRound();
        const std::vector<std::string> items = Round(order, contents);
        ASSERT_EQ(items.size(), total) << c.name << " seed " << seed;
        EXPECT_EQ(std::set<std::string>(items.begin(), items.end()).size(), total) << c.name << " seed " << seed;
        if (!previous.empty()) {
          std::set<std::string> across(previous.end() - std::ptrdiff_t(c.window), previous.end());
          across.insert(items.begin(), items.begin() + std::ptrdiff_t(c.window));
          EXPECT_EQ(across.size(), 2 * c.window) << c.name << " seed " << seed << " round " << round;
        }
        ++firstPlaces[items.front()];
        for (std::size_t i = 1; i < items.size(); ++i, ++pairs)
          sameFolderPairs += items[i].substr(0, items[i].find('/')) == items[i - 1].substr(0, items[i - 1].find('/'));
        previous = items;
      }
    }
    if (std::string(c.name) == "five folders of forty") {
      // Folder after folder would make nearly every pair one folder's; a fair
      // shuffle makes about one in five.
      EXPECT_LT(double(sameFolderPairs) / double(pairs), 0.3) << c.name;
      // Rounds start with pictures from all over the show.
      EXPECT_GT(firstPlaces.size(), 80u) << c.name;
    }
  }
}

// While the folders are being listed, the first picture comes from what
// has been found; the rest of the round takes in what is found later.
TEST(ShowOrderTest, ShuffleDrawsFromWhatHasBeenFoundAndCompletesTheRoundAsListingGoesOn) {
  SetRandSeed(7);
  FakeContents contents;
  contents.frames = {Folder(0, false), Folder(0, false)};
  ShowOrder order(contents, true);
  order.BeginRound();
  EXPECT_EQ(Round(order, contents), (std::vector<std::string>{"wait"}));
  contents.frames[1].found = 1;
  EXPECT_EQ(Round(order, contents), (std::vector<std::string>{"1/0", "wait"}));
  contents.frames = {Folder(30), Folder(30)};
  std::vector<std::string> rest = Round(order, contents);
  EXPECT_EQ(rest.size(), 59u);
  EXPECT_EQ(std::count(rest.begin(), rest.end(), "1/0"), 0);
  EXPECT_EQ(std::set<std::string>(rest.begin(), rest.end()).size(), 59u);
}

}  // namespace
}  // namespace velmora
