// The folder frame's slot rules, its first picture and the background count.
#include "editor/FolderFrames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace velmora {
namespace {

namespace fs = std::filesystem;

TEST(FolderFramesTest, TheNameIsTheFolderPathsLastPart) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Photos\\Trip", "Trip"},
      {"C:\\Photos\\Trip\\", "Trip"},
      {"C:\\Photos\\Trip\\\\", "Trip"},
      {"\\\\server\\share", "share"},
      {"/home/me/Pictures/", "Pictures"},
      {"C:\\", "C:\\"},
      {"D:", "D:"},
      {"Trip", "Trip"},
      {"C:\\相片\\旅行", "旅行"},
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(FolderNamePart(path), name) << path;
}

TEST(FolderFramesTest, TheLabelCarriesTheCountOrAPlaceholder) {
  const std::tuple<std::optional<std::int64_t>, const char*> cases[] = {
      {std::nullopt, "Trip (...)"},
      {0, "Trip (0)"},
      {1, "Trip (1)"},
      {50000, "Trip (50000)"},
  };
  for (const auto& [count, label] : cases) EXPECT_EQ(FolderSlotLabel("Trip", count), label);
}

TEST(FolderFramesTest, TheMarkStaysInTheTopLeftCornerOfAnyPicture) {
  struct Case {
    int width, height;
    bool drawn;
  };
  const Case cases[] = {{111, 111, true}, {166, 166, true}, {111, 60, true},
                        {40, 111, true},  {7, 7, false},    {1, 1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    MemoryImage24 image;
    image.SetSize(c.width, c.height);
    image.Fill(kWhite);
    DrawFolderMark(image);
    int changed = 0;
    int lastX = -1, lastY = -1;
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x)
        if (image.PixelAt(x, y) != kWhite) {
          ++changed;
          lastX = std::max(lastX, x);
          lastY = std::max(lastY, y);
        }
    EXPECT_EQ(changed > 0, c.drawn);
    if (c.drawn) {
      // In the upper-left third, away from the middle of the picture.
      const int side = std::min(c.width, c.height);
      EXPECT_LT(lastX, side / 2);
      EXPECT_LT(lastY, side / 2);
      EXPECT_EQ(image.PixelAt(c.width / 2, c.height / 2), kWhite);
    }
  }
}

// A tree of empty files under the system's temporary folder, removed at the end.
class Tree {
 public:
  Tree()
      : root_(fs::temp_directory_path() /
              ("velmora-folders-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
               std::to_string(counter_++))) {
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  ~Tree() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  void Add(const std::string& relative) {
    const fs::path path = root_ / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "x";
  }
  std::string Path(const std::string& relative = {}) const {
    return (relative.empty() ? root_ : root_ / relative).string();
  }

 private:
  static inline int counter_ = 0;
  fs::path root_;
};

TEST(FolderFramesTest, TheFirstPictureIsTheFirstTheShowPlays) {
  struct Case {
    const char* name;
    std::vector<std::string> files;
    bool subfolders;
    std::optional<std::string> first;  // relative
  };
  const Case cases[] = {
      {"natural order", {"10.jpg", "2.jpg", "b.bmp"}, true, "2.jpg"},
      {"not pictures are passed over", {"notes.txt", "z.jpg"}, true, "z.jpg"},
      {"the top folder before its subfolders", {"a/1.jpg", "9.jpg"}, true, "9.jpg"},
      {"only a subfolder has pictures", {"a/1.jpg"}, true, "a/1.jpg"},
      {"only a subfolder has pictures, subfolders left out", {"a/1.jpg"}, false, std::nullopt},
      {"no pictures", {"readme.txt"}, true, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Tree tree;
    for (const std::string& file : c.files) tree.Add(file);
    const std::optional<std::string> first = FirstFolderPicture(tree.Path(), c.subfolders);
    ASSERT_EQ(first.has_value(), c.first.has_value());
    if (first) {
      EXPECT_EQ(fs::path(*first), fs::path(tree.Path(*c.first)));
    }
  }
  EXPECT_EQ(FirstFolderPicture(Tree().Path("gone"), true), std::nullopt);
}

// Collects the counter's results.
struct Counts {
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<std::tuple<std::string, bool, std::optional<std::int64_t>>> results;
  FolderCounter::Result Sink() {
    return [this](const std::string& folder, bool subfolders, std::optional<std::int64_t> count) {
      std::lock_guard lock(mutex);
      results.emplace_back(folder, subfolders, count);
      arrived.notify_all();
    };
  }
  bool WaitFor(std::size_t n) {
    std::unique_lock lock(mutex);
    return arrived.wait_for(lock, std::chrono::seconds(10), [&] { return results.size() >= n; });
  }
};

TEST(FolderFramesTest, TheCounterCountsEachFolderAsAsked) {
  Tree tree;
  for (const char* file : {"1.jpg", "2.jpg", "x.txt", "a/3.jpg", "a/b/4.bmp"}) tree.Add(file);
  Counts counts;
  FolderCounter counter(counts.Sink());
  counter.Count(tree.Path(), true);
  counter.Count(tree.Path(), false);
  counter.Count(tree.Path("a"), true);
  counter.Count(tree.Path("missing"), true);
  ASSERT_TRUE(counts.WaitFor(4));
  using R = std::tuple<std::string, bool, std::optional<std::int64_t>>;
  EXPECT_EQ(counts.results, (std::vector<R>{R{tree.Path(), true, 4}, R{tree.Path(), false, 2},
                                            R{tree.Path("a"), true, 2}, R{tree.Path("missing"), true, std::nullopt}}));
}

TEST(FolderFramesTest, AFolderThatDoesNotAnswerHoldsUpNothingAndStopsOnStop) {
  // The first folder blocks until the counter is told to stop; the one
  // asked twice behind it is counted once.
  std::atomic<bool> blocked{false};
  std::atomic<int> listed{0};
  Counts counts;
  auto counter = std::make_unique<FolderCounter>(
      counts.Sink(), [&](const std::string& folder, bool, const FolderPictureVisitor& visit,
                         const std::atomic<bool>* cancel) {
        ++listed;
        if (folder == "slow") {
          blocked = true;
          while (!cancel->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
          return false;
        }
        visit(folder + "\\1.jpg");
        return true;
      });
  counter->Count("slow", true);
  counter->Count("fast", true);
  counter->Count("fast", true);
  while (!blocked) std::this_thread::yield();
  EXPECT_EQ(counter->Outstanding(), 2u);
  const auto start = std::chrono::steady_clock::now();
  counter.reset();  // stops the slow count and drops the waiting one
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(listed.load(), 1);
  EXPECT_TRUE(counts.results.empty()) << "nothing is reported after Stop";
}

}  // namespace
}  // namespace velmora
