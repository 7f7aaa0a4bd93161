// Folder frames in the strip and the shuffle option, against a fake window
// and a fake thumbnail maker that records what it is asked for.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "editor/FrameStrip.h"
#include "frames/ShowOptions.h"

namespace velmora {
namespace {

class View : public StripView {
 public:
  void ShowSlotPicture(int slot, const SlotPicture& picture) override { pictures[slot] = picture; }
  void ShowSlotNumber(int, const std::string&) override {}
  void ShowSlotLabels(int, const SlotLabels&) override {}
  void MarkSlot(int, bool) override {}
  void SetScrollBar(int, const ScrollBarState&) override {}
  void SetScrollIndicator(int, const std::string&, bool) override {}
  void SetMenuEnabled(StripMenuItem, bool) override {}
  void CurrentFrameMayHaveChanged() override {}
  void PicturesNotRead(const std::vector<std::string>& paths) override { notRead.push_back(paths); }
  std::map<int, SlotPicture> pictures;
  std::vector<std::vector<std::string>> notRead;
};

struct FolderJob {
  std::string folder;
  bool includeSubfolders;
  std::int32_t number;
  bool operator==(const FolderJob&) const = default;
};

class Thumbs : public ThumbnailMaker {
 public:
  void QueueThumbnails(const std::vector<std::string>& paths, std::int32_t first) override {
    for (const std::string& path : paths) pictures.emplace_back(path, first++);
  }
  void PrioritizeThumbnails(const std::vector<std::int32_t>&) override {}
  void CancelThumbnail(std::int32_t number) override { cancelled.push_back(number); }
  void QueueFolderThumbnail(const std::string& folder, bool subfolders, std::int32_t number) override {
    folders.push_back({folder, subfolders, number});
  }
  void CountFolder(const std::string& folder, bool subfolders) override { counts.emplace_back(folder, subfolders); }
  std::vector<std::pair<std::string, std::int32_t>> pictures;
  std::vector<FolderJob> folders;
  std::vector<std::pair<std::string, bool>> counts;
  std::vector<std::int32_t> cancelled;
};

FrameList Show(int frames) {
  FrameList list;
  AppendFrameRecord(list).SetPath("Show");
  for (int i = 1; i <= frames; ++i) AppendFrameRecord(list).SetPath("C:\\p\\" + std::to_string(i) + ".jpg");
  AppendFrameRecord(list);
  return list;
}

struct Editor {
  explicit Editor(int frames, bool loaded = false) : list(Show(frames)), strip(view, thumbs) {
    strip.Load(list, loaded);
  }
  View view;
  Thumbs thumbs;
  FrameList list;
  FrameStrip strip;
};

TEST(FolderStripTest, AFolderIsAddedWhereAPictureWouldBeAndBecomesTheCurrentFrame) {
  struct Case {
    const char* name;
    int frames;
    int slot;        // current slot before the add
    int expectedAt;  // the folder frame's index
  };
  const Case cases[] = {
      {"new show: in front of the trailing entry", 0, 1, 1},
      {"frame 2 current", 3, 2, 2},
      {"first frame current", 3, 1, 1},
      {"trailing entry current: appended", 3, 4, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Editor e(c.frames);
    e.strip.SlotClicked(c.slot);
    e.strip.SetShowModified(false);
    e.strip.AddFolderFrame("D:\\Photos\\Trip");
    ASSERT_EQ(e.list.Count(), static_cast<std::size_t>(c.frames + 3));
    const FrameRecord& frame = e.list[static_cast<std::size_t>(c.expectedAt)];
    EXPECT_EQ(frame.Path(), "D:\\Photos\\Trip");
    EXPECT_TRUE(IsFolderFrame(frame));
    EXPECT_TRUE(FolderIncludesSubfolders(frame));
    EXPECT_EQ(e.strip.CurrentFrameIndex(), c.expectedAt);
    EXPECT_TRUE(e.strip.ShowModified());
    ASSERT_EQ(e.thumbs.folders.size(), 1u);
    EXPECT_EQ(e.thumbs.folders[0], (FolderJob{"D:\\Photos\\Trip", true, frame.ThumbnailNumber}));
    EXPECT_TRUE(e.thumbs.pictures.empty()) << "a folder is never read as a picture";
    EXPECT_EQ(e.thumbs.counts, (std::vector<std::pair<std::string, bool>>{{"D:\\Photos\\Trip", true}}));
  }
}

TEST(FolderStripTest, TheSlotShowsThePlaceholderThenTheCountAndThumbnail) {
  Editor e(1);
  e.strip.AddFolderFrame("D:\\Photos\\Trip\\");
  const std::int32_t number = e.list[1].ThumbnailNumber;
  struct Step {
    const char* name;
    std::function<void()> act;
    SlotPictureSource source;
    std::optional<std::int64_t> count;
  };
  const Step steps[] = {
      {"just added", [] {}, SlotPictureSource::Pending, std::nullopt},
      {"counted", [&] { e.strip.FolderCounted("D:\\Photos\\Trip\\", true, 12); }, SlotPictureSource::Pending, 12},
      {"another folder counted: no change", [&] { e.strip.FolderCounted("D:\\Other", true, 3); },
       SlotPictureSource::Pending, 12},
      {"the same folder without subfolders: no change", [&] { e.strip.FolderCounted("D:\\Photos\\Trip\\", false, 2); },
       SlotPictureSource::Pending, 12},
      {"first picture's thumbnail made", [&] { e.strip.ThumbnailMade(number, true); }, SlotPictureSource::Thumbnail,
       12},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    step.act();
    const SlotPicture& shown = e.view.pictures.at(1);
    EXPECT_TRUE(shown.folder);
    EXPECT_EQ(shown.fileName, "Trip");
    EXPECT_EQ(shown.source, step.source);
    EXPECT_EQ(shown.folderCount, step.count);
  }
  // The frame after it is the picture it was in front of.
  EXPECT_FALSE(e.view.pictures.at(2).folder);
}

TEST(FolderStripTest, AFolderWithoutPicturesShowsItsMarkAndIsNotNamedUnreadable) {
  struct Case {
    const char* name;
    bool made;
    SlotPictureSource source;
  };
  const Case cases[] = {
      {"no picture found", false, SlotPictureSource::Folder},
      {"first picture made", true, SlotPictureSource::Thumbnail},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Editor e(0);
    e.strip.AddFolderFrame("E:\\Empty");
    e.strip.ThumbnailMade(e.list[1].ThumbnailNumber, c.made);
    EXPECT_EQ(e.list[1].HasThumbnail, c.made ? 1 : 0);
    EXPECT_EQ(e.view.pictures.at(1).source, c.source);
    EXPECT_TRUE(e.view.notRead.empty());
  }
}

TEST(FolderStripTest, ChangingTheSubfolderChoiceMakesTheThumbnailAndCountAgainOnlyWhenItChanged) {
  Editor e(0);
  e.strip.AddFolderFrame("D:\\A");
  e.strip.AddFolderFrame("D:\\A");  // the same folder twice: counted once
  EXPECT_EQ(e.thumbs.counts.size(), 1u);
  EXPECT_EQ(e.thumbs.folders.size(), 2u);
  const std::int32_t first = e.list[1].ThumbnailNumber;
  e.strip.ThumbnailMade(first, true);

  // The edit window told of a change that left the folder as it was.
  e.strip.FramePictureChanged();
  EXPECT_EQ(e.thumbs.folders.size(), 2u);
  EXPECT_EQ(e.list[1].HasThumbnail, 1);

  SetFolderFrame(e.list[1], true, false);
  e.strip.FramePictureChanged();
  ASSERT_EQ(e.thumbs.folders.size(), 3u);
  EXPECT_EQ(e.thumbs.folders.back(), (FolderJob{"D:\\A", false, e.list[1].ThumbnailNumber}));
  EXPECT_NE(e.list[1].ThumbnailNumber, first);
  EXPECT_EQ(e.view.pictures.at(1).source, SlotPictureSource::Pending);
  EXPECT_EQ(e.thumbs.counts.back(), (std::pair<std::string, bool>{"D:\\A", false}));

  // A save waits for pictures' thumbnails only, never for a folder's.
  const std::int32_t pending = e.list[1].ThumbnailNumber;
  e.strip.AddPictureFrames({"C:\\p\\a.jpg", "C:\\p\\b.jpg"});
  EXPECT_EQ(e.strip.PendingThumbnails(), 4u);  // both folders, both pictures
  EXPECT_EQ(e.strip.PendingPictureThumbnails(), 2u);

  // Removing it while its thumbnail is made cancels that job.
  e.strip.SlotClicked(3);  // back to the folder frame
  e.strip.RemoveCurrentFrame();
  EXPECT_EQ(e.thumbs.cancelled, (std::vector<std::int32_t>{pending}));
}

TEST(FolderStripTest, ALoadedShowQueuesItsPicturesAndItsFoldersApart) {
  FrameList list = Show(3);
  list[2].SetPath("\\\\server\\share\\camera");
  SetFolderFrame(list[2], true, false);
  View view;
  Thumbs thumbs;
  FrameStrip strip(view, thumbs);
  strip.Load(list, true);
  ASSERT_EQ(thumbs.pictures.size(), 2u);
  EXPECT_EQ(thumbs.pictures[0].first, "C:\\p\\1.jpg");
  EXPECT_EQ(thumbs.pictures[1].first, "C:\\p\\3.jpg");
  ASSERT_EQ(thumbs.folders.size(), 1u);
  EXPECT_EQ(thumbs.folders[0], (FolderJob{"\\\\server\\share\\camera", false, list[2].ThumbnailNumber}));
  // Every number is different.
  EXPECT_NE(list[2].ThumbnailNumber, list[1].ThumbnailNumber);
  EXPECT_NE(list[2].ThumbnailNumber, list[3].ThumbnailNumber);
  EXPECT_EQ(view.pictures.at(2).fileName, "camera");
  EXPECT_EQ(view.pictures.at(2).folderCount, std::nullopt);
}

TEST(FolderStripTest, ShuffleFlipsOnlyItsBitInTheHeader) {
  struct Case {
    const char* name;
    std::int32_t before;
    int clicks;
    std::int32_t after;
    bool ticked;
  };
  const Case cases[] = {
      {"off to on", 0, 1, kShuffleBit, true},
      {"on to off", kShuffleBit, 1, 0, false},
      {"twice: as before", 0, 2, 0, false},
      {"the caption and unknown bits are kept", 0x300 | (2 << kCaptionShift), 1,
       0x300 | (2 << kCaptionShift) | kShuffleBit, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FrameList list = Show(2);
    list[0].Reserved236 = c.before;
    View view;
    Thumbs thumbs;
    FrameStrip strip(view, thumbs);
    strip.Load(list, false);
    EXPECT_EQ(strip.ShuffleTicked(), (c.before & kShuffleBit) != 0);
    for (int i = 0; i < c.clicks; ++i) strip.Shuffle1Click();
    EXPECT_EQ(list[0].Reserved236, c.after);
    EXPECT_EQ(strip.ShuffleTicked(), c.ticked);
    EXPECT_TRUE(strip.ShowModified());
    EXPECT_EQ(list[0].Path(), "Show");
    EXPECT_EQ(list[1].Reserved236, 0) << "a frame's bits are not the show's";
  }
}

}  // namespace
}  // namespace velmora
