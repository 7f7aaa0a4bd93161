#include "editor/ThumbnailQueue.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fade/JpegGraphic.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// A queue whose maker waits at a gate per job, so that each test decides
// what is running when. "bad" pictures cannot be read; a made thumbnail is
// a file (a number in `files`) until it is discarded. Waiting is on
// condition variables, never on time.
class Gated {
 public:
  explicit Gated(unsigned threads, std::function<bool(const ThumbnailJob&)> inner = {})
      : inner_(std::move(inner)),
        queue_([this](const ThumbnailJob& job) { return Make(job); },
               [this](std::int32_t n) {
                 std::lock_guard lock(mutex_);
                 files.erase(n);
                 discarded.insert(n);
                 if (discard) discard(n);
                 changed_.notify_all();
               },
               [this](std::int32_t n, bool made) {
                 std::lock_guard lock(mutex_);
                 results.emplace_back(n, made);
                 changed_.notify_all();
               },
               threads) {}

  ThumbnailQueue& Queue() { return queue_; }
  void Add(std::int32_t first, int count, const std::set<std::int32_t>& bad = {}) {
    std::vector<ThumbnailJob> jobs;
    for (std::int32_t n = first; n < first + count; ++n) jobs.push_back({bad.count(n) ? "bad" : "ok", n});
    queue_.Add(jobs);
  }
  void Release(std::int32_t n) {
    std::lock_guard lock(mutex_);
    released_.insert(n);
    changed_.notify_all();
  }
  void ReleaseAll() {
    std::lock_guard lock(mutex_);
    all_ = true;
    changed_.notify_all();
  }
  void WaitStarted(std::size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return started.size() >= count; });
  }
  void WaitResults(std::size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return results.size() >= count; });
  }
  // Waits until the result of job n was discarded.
  void WaitDiscarded(std::int32_t n) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return discarded.count(n) != 0; });
  }

  std::vector<std::int32_t> started;
  std::set<std::int32_t> discarded;
  std::vector<std::pair<std::int32_t, bool>> results;
  std::set<std::int32_t> files;
  std::function<void(std::int32_t)> discard;

 private:
  bool Make(const ThumbnailJob& job) {
    std::unique_lock lock(mutex_);
    started.push_back(job.number);
    changed_.notify_all();
    changed_.wait(lock, [&] { return all_ || released_.count(job.number) != 0; });
    bool made = job.path != "bad";
    if (inner_) {
      lock.unlock();
      made = inner_(job);
      lock.lock();
    }
    if (made) files.insert(job.number);
    return made;
  }

  std::function<bool(const ThumbnailJob&)> inner_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::set<std::int32_t> released_;
  bool all_ = false;
  ThumbnailQueue queue_;  // last: its workers end before the rest goes
};

using Numbers = std::vector<std::int32_t>;

// One worker, jobs 1 to 8 (3 cannot be read) with job 1 held running while
// the queue is rearranged: the order the rest are begun in.
TEST(ThumbnailQueueTest, JobsAreTakenInOrderWithTheSlotsInViewFirst) {
  struct Case {
    const char* name;
    std::vector<Numbers> prioritize;  // calls in turn (scrolling)
    Numbers cancel;
    Numbers waiting;  // before job 1 is released
  };
  const Case cases[] = {
      {"as added", {}, {}, {2, 3, 4, 5, 6, 7, 8}},
      {"the slots in view first, in slot order", {{6, 4}}, {}, {6, 4, 2, 3, 5, 7, 8}},
      {"a scroll moves the new view in front of the old", {{3, 4}, {7, 8}}, {}, {7, 8, 3, 4, 2, 5, 6}},
      {"numbers running, made or unknown are passed over", {{1, 99, 5}}, {}, {5, 2, 3, 4, 6, 7, 8}},
      {"a cancelled job is dropped", {{5}}, {5, 2}, {3, 4, 6, 7, 8}},
      {"the front job prioritized stays", {{2}}, {}, {2, 3, 4, 5, 6, 7, 8}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Gated gated(1);
    gated.Add(1, 8, {3});
    gated.WaitStarted(1);
    for (const Numbers& view : c.prioritize) gated.Queue().Prioritize(view);
    for (const std::int32_t n : c.cancel) gated.Queue().Cancel(n);
    EXPECT_EQ(gated.Queue().Waiting(), c.waiting);
    EXPECT_EQ(gated.Queue().Outstanding(), c.waiting.size() + 1);
    gated.ReleaseAll();
    gated.WaitResults(c.waiting.size() + 1);
    gated.Queue().Join();
    Numbers begun = c.waiting;
    begun.insert(begun.begin(), 1);
    EXPECT_EQ(gated.started, begun);
    for (const auto& [n, made] : gated.results) EXPECT_EQ(made, n != 3) << n;
    EXPECT_EQ(gated.files.count(3), 0u);
    EXPECT_EQ(gated.results.size(), begun.size());
    EXPECT_EQ(gated.Queue().Outstanding(), 0u);
  }
}

// A job cancelled while it is being made: its thumbnail is deleted and
// never reported; the others are not touched.
TEST(ThumbnailQueueTest, CancellingARunningJobDiscardsItsThumbnail) {
  struct Case {
    const char* name;
    bool bad;  // the cancelled picture cannot be read: nothing to delete
  };
  for (const Case& c : {Case{"made", false}, Case{"unreadable", true}}) {
    SCOPED_TRACE(c.name);
    Gated gated(1);
    std::vector<std::int32_t> discarded;
    gated.discard = [&](std::int32_t n) { discarded.push_back(n); };
    gated.Add(1, 3, c.bad ? std::set<std::int32_t>{1} : std::set<std::int32_t>{});
    gated.WaitStarted(1);
    gated.Queue().Cancel(1);
    gated.Queue().Cancel(1);  // twice: still one job
    EXPECT_EQ(gated.Queue().Outstanding(), 2u);
    gated.ReleaseAll();
    gated.WaitResults(2);
    gated.Queue().Join();
    EXPECT_EQ(gated.results, (std::vector<std::pair<std::int32_t, bool>>{{2, true}, {3, true}}));
    EXPECT_EQ(gated.files, (std::set<std::int32_t>{2, 3}));
    EXPECT_EQ(discarded, c.bad ? Numbers{} : Numbers{1});
  }
}

// Closing mid-batch: the waiting jobs are dropped, the running ones finish
// and are thrown away, nothing is reported after Stop, and once Join has
// returned nothing is written any more.
TEST(ThumbnailQueueTest, StopWithJobsInFlightLeavesNoThumbnail) {
  Gated gated(2);
  gated.Add(1, 6);
  gated.WaitStarted(2);
  gated.Queue().Stop();
  EXPECT_EQ(gated.Queue().Waiting(), Numbers{});
  gated.Add(7, 2);  // ignored once stopped
  gated.ReleaseAll();
  gated.Queue().Join();
  EXPECT_EQ(gated.started.size(), 2u);
  EXPECT_TRUE(gated.results.empty());
  EXPECT_TRUE(gated.files.empty());
  gated.Queue().Join();  // a second time does nothing
}

// The same with a real store in a folder, in the order the window closes:
// stop, let the decode end, join, delete every thumbnail: the folder is
// empty, and stays so.
TEST(ThumbnailQueueTest, ClosingOrderLeavesTheFolderEmpty) {
  const fs::path folder = fs::temp_directory_path() /
                          ("velmora-queue-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string picture = (folder / "photo.jpg").string();
  {
    MemoryImage24 image(320, 240);
    image.Fill(TColor(0x3060C0));
    const std::vector<std::uint8_t> bytes = EncodeJpeg(image, 90);
    std::ofstream(picture, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                   std::streamsize(bytes.size()));
  }
  ThumbnailStore store(folder / "thumbs");
  fs::create_directories(store.Folder());
  {
    Gated gated(2, [&](const ThumbnailJob& job) { return store.Make(picture, job.number); });
    gated.discard = [&](std::int32_t n) { store.Delete(n); };
    gated.Add(1, 5);
    gated.Release(1);
    gated.WaitResults(1);  // one made and kept
    gated.WaitStarted(3);  // two in the maker
    ASSERT_TRUE(fs::exists(store.FileName(1)));
    gated.Queue().Stop();
    gated.Release(2);
    gated.WaitDiscarded(2);  // written, then deleted
    EXPECT_FALSE(fs::exists(store.FileName(2)));
    gated.ReleaseAll();
    gated.Queue().Join();
    store.DeleteAll(6);
    EXPECT_TRUE(fs::is_empty(store.Folder()));
    EXPECT_EQ(gated.results, (std::vector<std::pair<std::int32_t, bool>>{{1, true}}));
  }
  EXPECT_TRUE(fs::is_empty(store.Folder()));
  fs::remove_all(folder);
}

}  // namespace
}  // namespace velmora
