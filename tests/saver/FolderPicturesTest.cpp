// Listing a folder frame's pictures over a tree made on disk: order,
// subfolders, links that loop, folders that cannot be read, the packed
// paths, and the listing on its thread.
#include "saver/FolderPictures.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "saver/FolderListing.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

TEST(NaturalLessTest, DigitsByValueLettersWithoutCase) {
  struct Case {
    const char* a;
    const char* b;
    bool less;
  };
  const Case cases[] = {
      {"2.jpg", "10.jpg", true},     {"10.jpg", "2.jpg", false},   {"img2", "IMG10", true},
      {"a", "B", true},              {"B", "a", false},            {"7.jpg", "007.jpg", false},
      {"x1y2", "x1y10", true},       {"photo", "photo1", true},    {"same", "same", false},
      {"99999999999999999999", "100000000000000000000", true},
  };
  for (const Case& c : cases) EXPECT_EQ(NaturalLess(c.a, c.b), c.less) << c.a << " < " << c.b;
}

class FolderTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("velmora-folders-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(root_ / "locked", fs::perms::owner_all, ignored);
    fs::remove_all(root_, ignored);
  }
  void Touch(const std::string& relative) {
    fs::create_directories((root_ / relative).parent_path());
    std::ofstream(root_ / relative) << "x";
  }
  // The pictures listed, relative to the root, '/' between names.
  std::vector<std::string> List(bool subfolders, bool* listed = nullptr, const std::string& top = "") {
    std::vector<std::string> names;
    const std::string base = root_.string() + "/";
    const bool ok = ForEachFolderPicture((root_ / top).string(), subfolders, [&](const std::string& path) {
      std::string name = path.substr(base.size());
      std::replace(name.begin(), name.end(), '\\', '/');
      names.push_back(name);
      return true;
    });
    if (listed) *listed = ok;
    return names;
  }
  fs::path root_;
};

TEST_F(FolderTreeTest, PicturesInNaturalOrderThenSubfoldersDepthFirst) {
  for (const char* name : {"b10.jpg", "b2.JPG", "A1.bmp", "notes.txt", "sub10/y.jpg", "Sub1/z.bmp", "Sub1/deep/w.jpe",
                           "sub2/x.jpeg", "sub2/readme"})
    Touch(name);
  fs::create_directories(root_ / "empty");
  struct Case {
    bool subfolders;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {false, {"A1.bmp", "b2.JPG", "b10.jpg"}},
      {true, {"A1.bmp", "b2.JPG", "b10.jpg", "Sub1/z.bmp", "Sub1/deep/w.jpe", "sub2/x.jpeg", "sub10/y.jpg"}},
  };
  for (const Case& c : cases) EXPECT_EQ(List(c.subfolders), c.expected) << "subfolders " << c.subfolders;
}

TEST_F(FolderTreeTest, WhatCannotBeListed) {
  Touch("file.jpg");
  Touch("open/seen.jpg");
#ifdef _WIN32
  const bool lockedReadable = false;  // no folder without rights to make here
#else
  Touch("locked/hidden.jpg");
  fs::permissions(root_ / "locked", fs::perms::none);
  const bool lockedReadable = ::access((root_ / "locked").c_str(), R_OK) == 0;  // as root it is
#endif
  struct Case {
    std::string top;
    bool listed;
    std::vector<std::string> expected;
  };
  std::vector<Case> cases = {
      {"missing", false, {}},
      {"file.jpg", false, {}},  // a path that is a file
      {"", true, {"file.jpg", "open/seen.jpg"}},
  };
  if (lockedReadable) cases.back().expected = {"file.jpg", "locked/hidden.jpg", "open/seen.jpg"};
#ifndef _WIN32
  if (!lockedReadable) cases.push_back({"locked", false, {}});
#endif
  for (const Case& c : cases) {
    bool listed = true;
    EXPECT_EQ(List(true, &listed, c.top), c.expected) << c.top;
    EXPECT_EQ(listed, c.listed) << c.top;
  }
}

#ifndef _WIN32  // links need rights a test under Windows may not have
TEST_F(FolderTreeTest, LinksThatLoopAreFollowedOnce) {
  Touch("a/1.jpg");
  Touch("a/b/2.jpg");
  fs::create_directory_symlink(root_, root_ / "a" / "b" / "up");      // back to the top
  fs::create_directory_symlink(root_ / "a", root_ / "a" / "b" / "c");  // back to a
  fs::create_directory_symlink(root_ / "a" / "b" / "self", root_ / "a" / "b" / "self");  // to itself
  EXPECT_EQ(List(true), (std::vector<std::string>{"a/1.jpg", "a/b/2.jpg"}));
}
#endif

// The packed paths hold each path as given, for at most 16 bytes a path
// beyond its characters (here: no room made ahead, the index doubling).
TEST(PathStoreTest, KeepsEveryPathWithinSixteenBytesAPathBeyondItsCharacters) {
  PathStore store;
  std::size_t characters = 0;
  const std::size_t count = 50000;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string path = "/photos/folder" + std::to_string(i / 100) + "/IMG_" + std::to_string(i) + ".jpg";
    ASSERT_TRUE(store.Add(path));
    characters += path.size();
  }
  EXPECT_TRUE(store.Add(""));
  EXPECT_FALSE(store.Add(std::string(PathStore::kBlockBytes, 'x')));  // longer than a block
  ASSERT_EQ(store.Count(), count + 1);
  EXPECT_EQ(store.At(0), "/photos/folder0/IMG_0.jpg");
  EXPECT_EQ(store.At(count - 1), "/photos/folder499/IMG_49999.jpg");
  EXPECT_EQ(store.At(count), "");
  EXPECT_LE(store.AllocatedBytes(), characters + 16 * count);
}

// A lister that finds its pictures one at a time when the test lets it.
class GatedLister {
 public:
  FolderListing::Lister Lister() {
    return [this](const std::string& folder, bool, const FolderPictureVisitor& visit, const std::atomic<bool>* cancel) {
      for (int i = 0;; ++i) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return allowed_ > i || cancel->load(); });
        if (cancel->load() || i >= total_) return !failing_;
        lock.unlock();
        visit(folder + "/" + std::to_string(i) + ".jpg");
      }
    };
  }
  void Allow(int count) {
    std::lock_guard lock(mutex_);
    allowed_ = count;
    changed_.notify_all();
  }
  int total_ = 3;
  bool failing_ = false;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int allowed_ = 0;
};

bool WaitFor(const std::function<bool()>& done) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

TEST(FolderListingTest, HandsOverEachPictureAsItIsFoundAndEndsDoneOrFailed) {
  for (const bool failing : {false, true}) {
    GatedLister gate;
    gate.failing_ = failing;
    FolderListing listing("F", true, gate.Lister());
    EXPECT_EQ(listing.Found(), 0u);
    EXPECT_EQ(listing.CurrentState(), FolderListing::State::Listing);
    gate.Allow(1);
    ASSERT_TRUE(WaitFor([&] { return listing.Found() == 1; }));
    EXPECT_EQ(listing.PathAt(0), "F/0.jpg");
    EXPECT_FALSE(listing.Finished());
    gate.Allow(4);
    ASSERT_TRUE(WaitFor([&] { return listing.Finished(); }));
    EXPECT_EQ(listing.Found(), 3u);
    EXPECT_EQ(listing.PathAt(2), "F/2.jpg");
    EXPECT_EQ(listing.CurrentState(), failing ? FolderListing::State::Failed : FolderListing::State::Done);
  }
}

}  // namespace
}  // namespace velmora
