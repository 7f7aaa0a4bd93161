#include "editor/FrameStrip.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/Random.h"

namespace velmora {
namespace {

// What the window would show, as the strip left it.
class FakeView : public StripView {
 public:
  void ShowSlotPicture(int slot, const SlotPicture& picture) override { pictures[slot] = picture; }
  void ShowSlotNumber(int slot, const std::string& text) override { numbers[slot] = text; }
  void ShowSlotLabels(int slot, const SlotLabels& labels) override { labels_[slot] = labels; }
  void MarkSlot(int slot, bool current) override { marked[slot] = current; }
  void SetScrollBar(int bar, const ScrollBarState& state) override { bars[bar] = state; }
  void SetScrollIndicator(int bar, const std::string& text, bool visible) override {
    indicators[bar] = {text, visible};
  }
  void SetMenuEnabled(StripMenuItem item, bool enabled) override { menus[item] = enabled; }
  void CurrentFrameMayHaveChanged() override { ++frameNotices; }
  void PicturesNotRead(const std::vector<std::string>& paths) override { notRead.push_back(paths); }

  std::map<int, SlotPicture> pictures;
  std::map<int, std::string> numbers;
  std::map<int, SlotLabels> labels_;
  std::map<int, bool> marked;
  std::map<int, ScrollBarState> bars;
  std::map<int, std::pair<std::string, bool>> indicators;
  std::map<StripMenuItem, bool> menus;
  int frameNotices = 0;
  std::vector<std::vector<std::string>> notRead;  // one entry a call
};

// Pictures whose path holds "bad" cannot be read. Jobs wait until Finish
// (or Deliver) hands their results to the strip, as the window's messages do.
class FakeThumbnails : public ThumbnailMaker {
 public:
  void QueueThumbnails(const std::vector<std::string>& paths, std::int32_t firstNumber) override {
    for (const std::string& path : paths) {
      made.emplace_back(path, firstNumber);
      waiting.push_back(firstNumber++);
    }
  }
  void PrioritizeThumbnails(const std::vector<std::int32_t>& numbers) override { prioritized.push_back(numbers); }
  void CancelThumbnail(std::int32_t number) override {
    cancelled.push_back(number);
    std::erase(waiting, number);
  }
  // The result of job `number` reaches the strip.
  void Deliver(FrameStrip& strip, std::int32_t number) {
    std::erase(waiting, number);
    for (const auto& [path, n] : made)
      if (n == number) strip.ThumbnailMade(number, path.find("bad") == std::string::npos);
  }
  // Every waiting job's result, in queue order; `during` runs first.
  void Finish(FrameStrip& strip) {
    if (during) std::exchange(during, nullptr)();
    while (!waiting.empty()) Deliver(strip, waiting.front());
  }
  std::vector<std::pair<std::string, std::int32_t>> made;  // every job queued
  std::vector<std::int32_t> waiting;
  std::vector<std::vector<std::int32_t>> prioritized;
  std::vector<std::int32_t> cancelled;
  // Run once while the pictures are made (messages handled meanwhile).
  std::function<void()> during;
};

// A show of `frames` picture frames named "1" ... "n" (header and trailing
// entry around them).
FrameList Show(int frames) {
  FrameList list;
  AppendFrameRecord(list);
  for (int i = 1; i <= frames; ++i) AppendFrameRecord(list).SetPath(std::to_string(i));
  AppendFrameRecord(list);
  return list;
}

// The frames of a show by their paths, "E" for an empty frame.
std::string Order(const FrameList& list) {
  std::string order;
  for (std::size_t i = 1; i + 1 < list.Count(); ++i) {
    if (!order.empty()) order += ",";
    order += list[i].Kind() == FrameKind::Empty ? "E" : list[i].Path();
  }
  return order;
}

struct Editor {
  explicit Editor(int frames) : list(Show(frames)), strip(view, thumbs) { strip.Load(list, false); }
  FakeView view;
  FakeThumbnails thumbs;
  FrameList list;
  FrameStrip strip;
};

TEST(FrameStripTest, DropMovesTheRecordAndLeavesAnEmptyMark) {
  struct Case {
    const char* name;
    int frames;
    int position;  // ScrollBar1
    int target;    // slots
    int source;
    const char* order;
  };
  const Case cases[] = {
      {"2 on 5", 6, 1, 5, 2, "1,E,3,4,2,5,6"},
      {"5 on 2", 6, 1, 2, 5, "1,5,2,3,4,E,6"},
      {"scrolled: slot 4 on slot 1", 7, 3, 1, 4, "1,2,6,3,4,5,E,7"},
      {"onto the trailing entry", 3, 1, 4, 1, "E,2,3,1"},
      {"trailing entry onto frame 2", 3, 1, 2, 4, "1,E,2,3"},
      {"same slot", 3, 1, 2, 2, "1,2,3"},
      {"from a slot showing nothing", 3, 1, 2, 6, "1,2,3"},
      {"onto a slot showing nothing", 3, 1, 7, 2, "1,2,3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Editor e(c.frames);
    e.strip.ScrollBarChange(1, c.position);
    const std::string movedPath = e.strip.ShownIndex(c.source) > 0 ? e.list[e.strip.ShownIndex(c.source)].Path() : "";
    const bool moves = e.strip.ImageDragOver(c.target, c.source) &&
                       e.strip.ShownIndex(c.target) != e.strip.ShownIndex(c.source);
    e.strip.ImageDragDrop(c.target, c.source);
    EXPECT_EQ(Order(e.list), c.order);
    EXPECT_EQ(e.strip.ShowModified(), moves);
    if (moves) {
      EXPECT_EQ(e.strip.SelectedSlot(), c.target);
      EXPECT_TRUE(e.view.marked[c.target]);
      EXPECT_EQ(e.list[e.strip.CurrentFrameIndex()].Path(), movedPath);
      // The range grew with the list: the strip still reaches the trailing entry.
      EXPECT_EQ(e.view.bars[1].max, static_cast<int>(e.list.Count()) + 6);
    }
  }
}

TEST(FrameStripTest, SlotsShowTheirEntry) {
  using S = SlotPictureSource;
  struct Case {
    const char* name;
    void (*setUp)(FrameRecord&);
    S source;
    const char* fileName;
    const char* effect;
    const char* speed;
  };
  const Case cases[] = {
      {"picture with thumbnail",
       [](FrameRecord& r) {
         r.SetPath("C:\\pics\\a.jpg");
         r.HasThumbnail = 1;
         r.ThumbnailNumber = 9;
       },
       S::Thumbnail, "a.jpg", "", ""},
      {"picture without thumbnail", [](FrameRecord& r) { r.SetPath("D:b.bmp"); }, S::File, "b.bmp", "", ""},
      {"colour flag wins over a path",
       [](FrameRecord& r) {
         r.SetPath("C:\\a.jpg");
         r.PureColour = 1;
         r.Colour = 0x0000FF;
       },
       S::Colour, "", "", ""},
      {"empty frame", [](FrameRecord&) {}, S::None, "", "", ""},
      {"any effect, speed and dots",
       [](FrameRecord& r) {
         r.Effect = 7;
         r.Speed = 5;
         r.DotSize = 3;
       },
       S::None, "", "任意", "速度 5 & 顆粒 3"},
      {"effect with direction, speed only",
       [](FrameRecord& r) {
         r.Effect = 1;
         r.Direction = 0;
         r.Speed = 0;
       },
       S::None, "", "展開 - 由左而右", "速度 0"},
      {"dots without speed show nothing", [](FrameRecord& r) { r.DotSize = 4; }, S::None, "", "", ""},
      {"effect code out of range plays as none", [](FrameRecord& r) { r.Effect = 9; }, S::None, "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FrameList list = Show(1);
    list[1].SetPath("");
    c.setUp(list[1]);
    const FrameRecord before = list[1];
    const SlotPicture picture = SlotPictureOf(list, 1);
    const SlotLabels labels = SlotLabelsOf(list, 1);
    EXPECT_EQ(picture.source, c.source);
    EXPECT_EQ(picture.fileName, c.fileName);
    EXPECT_EQ(labels.effect, c.effect);
    EXPECT_EQ(labels.speed, c.speed);
    if (c.source == S::Thumbnail) {
      EXPECT_EQ(picture.thumbnailNumber, 9);
    }
    if (c.source == S::Colour) {
      EXPECT_EQ(picture.colour, 0x0000FFu);
    }
    EXPECT_EQ(std::memcmp(&before, &list[1], sizeof before), 0) << "showing changed the record";
  }
}

TEST(FrameStripTest, TrailingEntryShowsOnlyItsNumberAndSlotsPastTheEndNothing) {
  Editor e(1);  // count 3: slot 1 frame 1, slot 2 trailing entry
  e.list[2].Effect = 7;  // the trailing entry's settings are not shown
  e.strip.RefreshRow(1);
  EXPECT_EQ(e.view.numbers[1], "1");
  EXPECT_EQ(e.view.numbers[2], "2");
  EXPECT_EQ(e.view.pictures[2].source, SlotPictureSource::None);
  EXPECT_EQ(e.view.labels_[2].effect, "");
  EXPECT_EQ(e.view.numbers[3], "");
  EXPECT_EQ(e.strip.ShownIndex(2), 2);
  EXPECT_EQ(e.strip.ShownIndex(3), 0);
  EXPECT_EQ(e.view.numbers[5], "");
}

TEST(FrameStripTest, ScrollIndicators) {
  struct Case {
    bool both;
    int bar;
    ScrollCode code;
    int position;
    const char* text;
    bool visible;
  };
  const Case cases[] = {
      {true, 1, ScrollCode::Track, 3, "3 ~ 10", true},
      {false, 1, ScrollCode::Track, 3, "3 ~ 6", true},
      {false, 2, ScrollCode::Track, 7, "7 ~ 10", true},
      {true, 1, ScrollCode::EndScroll, 3, "3 ~ 10", false},
  };
  for (const Case& c : cases) {
    Editor e(10);
    if (!c.both) e.strip.Both1Click();
    e.strip.ScrollBarScroll(c.bar, c.code, c.position);
    EXPECT_EQ(e.view.indicators[c.bar].first, c.text);
    EXPECT_EQ(e.view.indicators[c.bar].second, c.visible);
  }
  Editor e(10);
  e.strip.ScrollBarScroll(1, ScrollCode::Track, 3);
  e.strip.ScrollBarScroll(1, ScrollCode::Other, 4);
  EXPECT_TRUE(e.view.indicators[1].second) << "other codes keep the indicator shown";
}

TEST(FrameStripTest, ScrollBarLayout) {
  struct Case {
    const char* name;
    int frames;
    bool both;
    int p1;
    ScrollBarState bar1;
    ScrollBarState bar2;  // only max, page, position, visible checked
  };
  const Case cases[] = {
      {"together", 10, true, 3, {1, 18, 8, 3, 493, true}, {1, 14, 4, 1, 245, false}},
      {"apart, lower row four on", 4, false, 1, {1, 8, 4, 1, 245, true}, {1, 8, 4, 5, 245, true}},
      {"apart, too short for four on", 3, false, 1, {1, 7, 4, 1, 245, true}, {1, 7, 4, 1, 245, true}},
      {"new show", 0, true, 1, {1, 8, 8, 1, 493, true}, {1, 4, 4, 1, 245, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Editor e(c.frames);
    e.strip.ScrollBarChange(1, c.p1);
    if (!c.both) e.strip.Both1Click();
    EXPECT_EQ(e.strip.ScrollBar(1), c.bar1);
    EXPECT_EQ(e.strip.ScrollBar(2).max, c.bar2.max);
    EXPECT_EQ(e.strip.ScrollBar(2).position, c.bar2.position);
    EXPECT_EQ(e.view.bars[2].visible, c.bar2.visible);
    // Apart, the lower row shows the entries after the upper row's.
    if (!c.both && c.bar2.position == 5) {
      EXPECT_EQ(e.strip.ShownIndex(5), 5);
    }
  }
}

TEST(FrameStripTest, MenuStates) {
  using M = StripMenuItem;
  struct Case {
    const char* name;
    int frames;
    int slot;  // selected before the check
    bool remove, all, single, save;
  };
  const Case cases[] = {
      {"new show", 0, 1, false, false, false, false},
      {"one frame, current", 1, 1, true, false, false, false},
      {"two frames, trailing current", 2, 3, false, true, false, true},
      {"two frames, frame current", 2, 2, true, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Editor e(c.frames);
    e.strip.SlotClicked(e.strip.SelectedSlot() == 1 ? 2 : 1);
    e.strip.SlotClicked(c.slot);
    // A click alone leaves the two items that follow the current frame as
    // UpdateMenus sets them.
    EXPECT_EQ(e.view.menus[M::RemoveCurrentFrame1], c.remove);
    EXPECT_EQ(e.view.menus[M::Single1], c.single);
    e.strip.UpdateMenus();
    EXPECT_EQ(e.view.menus[M::RemoveCurrentFrame1], c.remove);
    EXPECT_EQ(e.view.menus[M::ALL1], c.all);
    EXPECT_EQ(e.view.menus[M::Single1], c.single);
    EXPECT_EQ(e.view.menus[M::Save1], c.save);
    EXPECT_TRUE(e.view.menus[M::NewPicture1]);
    EXPECT_TRUE(e.view.menus[M::EmptyFrame1]);
  }
}

TEST(FrameStripTest, FrameCommands) {
  struct Case {
    const char* name;
    int frames;
    int slot;
    void (*command)(FrameStrip&);
    const char* order;
    bool modified;
    const char* current;  // path of the current frame afterwards ("T": trailing entry)
  };
  const Case cases[] = {
      {"add a and b with frame 3 current", 4, 3,
       [](FrameStrip& s) { s.AddPictureFrames({"a", "b"}); }, "1,2,a,b,3,4", true, "a"},
      {"add with the trailing entry current", 2, 3, [](FrameStrip& s) { s.AddPictureFrames({"a"}); },
       "1,2,a", true, "a"},
      {"every picture at once, whatever its thumbnail", 2, 1,
       [](FrameStrip& s) { s.AddPictureFrames({"a", "bad", "b"}); },
       "a,bad,b,1,2", true, "a"},
      {"add empty", 2, 2, [](FrameStrip& s) { s.AddEmptyFrame(); }, "1,E,2", true, "E"},
      {"remove current", 3, 2, [](FrameStrip& s) { s.RemoveCurrentFrame(); }, "1,3", true, "3"},
      {"remove on the trailing entry", 2, 3, [](FrameStrip& s) { s.RemoveCurrentFrame(); }, "1,2", false, "T"},
      {"remove the last frame", 1, 1, [](FrameStrip& s) { s.RemoveCurrentFrame(); }, "", true, "T"},
      {"clear without empty frames", 2, 1, [](FrameStrip& s) { s.ClearEmptyFrames(); }, "1,2", false, "1"},
      {"clear empty frames",
       2, 2,
       [](FrameStrip& s) {
         s.AddEmptyFrame();
         s.SetShowModified(false);
         s.ClearEmptyFrames();
       },
       "1,2", true, "2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Editor e(c.frames);
    e.strip.SlotClicked(c.slot);
    c.command(e.strip);
    EXPECT_EQ(Order(e.list), c.order);
    EXPECT_EQ(e.strip.ShowModified(), c.modified);
    const std::int32_t current = e.strip.CurrentFrameIndex();
    ASSERT_GE(current, 1);
    const bool trailing = current == static_cast<std::int32_t>(e.list.Count()) - 1;
    EXPECT_EQ(trailing ? std::string("T") : e.list[current].Kind() == FrameKind::Empty ? "E" : e.list[current].Path(),
              c.current);
  }
}

TEST(FrameStripTest, AddedPicturesAreNumberedInOrderAndKeepFailedThumbnails) {
  Editor e(0);
  e.strip.TakeThumbNumber();  // the next number is 2
  e.strip.AddPictureFrames({"a", "bad", "c"});
  e.thumbs.Finish(e.strip);
  ASSERT_EQ(e.thumbs.made.size(), 3u);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(e.list[i].ThumbnailNumber, i + 1);
    EXPECT_EQ(e.thumbs.made[i - 1].second, i + 1);
  }
  EXPECT_EQ(e.list[2].HasThumbnail, 0);
  EXPECT_EQ(e.view.pictures[2].source, SlotPictureSource::File);
  EXPECT_EQ(e.view.pictures[3].source, SlotPictureSource::Thumbnail);
  EXPECT_EQ(e.strip.NextThumbNumber(), 5);
  // The pictures that could not be read are named together, once.
  EXPECT_EQ(e.view.notRead, (std::vector<std::vector<std::string>>{{"bad"}}));
  e.strip.AddPictureFrames({"d", "bad2", "x", "bad3"});
  e.thumbs.Finish(e.strip);
  EXPECT_EQ(e.view.notRead.back(), (std::vector<std::string>{"bad2", "bad3"}));
  e.strip.AddPictureFrames({"e"});
  e.thumbs.Finish(e.strip);
  EXPECT_EQ(e.view.notRead.size(), 2u);
}

// A large add: the strip shows every slot's number, name and labels at
// once, blank pictures until the thumbnails come; the slots in view go to
// the front of the queue, and again after a scroll.
TEST(FrameStripTest, AddShowsTheStripAtOnceAndTheSlotsInViewFirst) {
  Editor e(0);
  std::vector<std::string> paths;
  for (int i = 1; i <= 40; ++i) paths.push_back("p" + std::to_string(i) + (i == 3 ? "bad" : ""));
  e.strip.AddPictureFrames(paths);
  ASSERT_EQ(e.thumbs.waiting.size(), 40u);
  for (int slot = 1; slot <= 8; ++slot) {
    SCOPED_TRACE(slot);
    EXPECT_EQ(e.view.numbers[slot], std::to_string(slot));
    EXPECT_EQ(e.view.pictures[slot].fileName, paths[slot - 1]);
    EXPECT_EQ(e.view.pictures[slot].source, SlotPictureSource::Pending);
    EXPECT_EQ(e.view.pictures[slot].thumbnailNumber, slot);
  }
  ASSERT_FALSE(e.thumbs.prioritized.empty());
  EXPECT_EQ(e.thumbs.prioritized.back(), (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(e.strip.PendingThumbnails(), 40u);

  // Results as they come: the slot showing the number is refilled.
  e.thumbs.Deliver(e.strip, 2);
  e.thumbs.Deliver(e.strip, 3);
  EXPECT_EQ(e.view.pictures[2].source, SlotPictureSource::Thumbnail);
  EXPECT_EQ(e.view.pictures[3].source, SlotPictureSource::File);
  EXPECT_EQ(e.view.pictures[1].source, SlotPictureSource::Pending);
  EXPECT_TRUE(e.view.notRead.empty()) << "named once the batch is done";

  e.strip.ScrollBarChange(1, 21);
  EXPECT_EQ(e.view.numbers[1], "21");
  EXPECT_EQ(e.thumbs.prioritized.back(), (std::vector<std::int32_t>{21, 22, 23, 24, 25, 26, 27, 28}));
  e.strip.ScrollBarChange(1, 1);  // made ones are not asked for again
  EXPECT_EQ(e.thumbs.prioritized.back(), (std::vector<std::int32_t>{1, 4, 5, 6, 7, 8}));

  e.thumbs.Finish(e.strip);
  EXPECT_EQ(e.strip.PendingThumbnails(), 0u);
  EXPECT_EQ(e.view.notRead, (std::vector<std::vector<std::string>>{{"p3bad"}}));
  for (int i = 1; i <= 40; ++i) EXPECT_EQ(e.list[i].HasThumbnail, i == 3 ? 0 : 1) << i;
}

// The thumbnail flag the frame-set file keeps, whatever happened to the
// frame while its thumbnail was being made.
TEST(FrameStripTest, ThumbnailFlagEndsAsMadeOrNotRead) {
  struct Case {
    const char* name;
    const char* path;
    void (*meanwhile)(Editor&);  // with the new frame current, before the results
    std::int8_t flag;            // of the frame afterwards
    SlotPictureSource shown;     // slot 1
    bool named;                  // in the not-read message
  };
  const Case cases[] = {
      {"made", "a", [](Editor&) {}, 1, SlotPictureSource::Thumbnail, false},
      {"cannot be read", "bad", [](Editor&) {}, 0, SlotPictureSource::File, true},
      {"dragged elsewhere first", "a", [](Editor& e) { e.strip.ImageDragDrop(3, 1); }, 1,
       SlotPictureSource::None, false},
      {"result for an unknown number", "a", [](Editor& e) { e.strip.ThumbnailMade(99, false); }, 1,
       SlotPictureSource::Thumbnail, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Editor e(2);
    e.strip.AddPictureFrames({c.path});
    c.meanwhile(e);
    e.thumbs.Finish(e.strip);
    std::int32_t index = 0;
    for (std::int32_t i = 1; i + 1 < static_cast<std::int32_t>(e.list.Count()); ++i)
      if (e.list[i].Path() == c.path) index = i;
    ASSERT_NE(index, 0);
    EXPECT_EQ(e.list[index].HasThumbnail, c.flag);
    EXPECT_EQ(e.view.pictures[1].source, c.shown);
    EXPECT_EQ(e.view.notRead.size(), c.named ? 1u : 0u);
    EXPECT_FALSE(e.strip.ThumbnailPending(e.list[index].ThumbnailNumber));
  }
}

// Removing a frame mid-batch drops its job; a picture not read that is gone
// is not named, and the message waits for the rest of the batch.
TEST(FrameStripTest, RemovingAFrameMidBatchCancelsItsThumbnail) {
  Editor e(0);
  e.strip.AddPictureFrames({"bad1", "a", "bad2"});
  e.thumbs.Deliver(e.strip, 3);  // bad2 not read
  e.strip.RemoveCurrentFrame();  // bad1, still waiting
  EXPECT_EQ(e.thumbs.cancelled, (std::vector<std::int32_t>{1}));
  EXPECT_EQ(Order(e.list), "a,bad2");
  EXPECT_TRUE(e.view.notRead.empty());
  e.thumbs.Finish(e.strip);
  EXPECT_EQ(e.view.notRead, (std::vector<std::vector<std::string>>{{"bad2"}}));
  // The last one pending removed: the message comes then.
  e.strip.AddPictureFrames({"bad3", "b"});
  e.thumbs.Deliver(e.strip, 4);
  e.strip.SlotClicked(2);
  e.strip.RemoveCurrentFrame();
  EXPECT_EQ(e.thumbs.cancelled.back(), 5);
  EXPECT_EQ(e.view.notRead.back(), std::vector<std::string>{"bad3"});
  // Closing: results still in the window's queue are ignored.
  e.strip.AddPictureFrames({"c"});
  e.strip.Detach();
  e.thumbs.Finish(e.strip);
  EXPECT_EQ(e.view.notRead.size(), 2u);
}

TEST(FrameStripTest, LoadNumbersThumbnailsOfPictureFramesOnly) {
  FrameList list = Show(3);
  list[2].PureColour = 1;  // a colour frame keeps its stale path
  FakeView view;
  FakeThumbnails thumbs;
  FrameStrip strip(view, thumbs);
  list[3].SetPath("bad");
  strip.Load(list, true);
  EXPECT_EQ(view.pictures[1].source, SlotPictureSource::Pending);
  thumbs.Finish(strip);
  EXPECT_TRUE(view.notRead.empty()) << "a loaded show's pictures are not named";
  EXPECT_EQ(list[1].HasThumbnail, 1);
  EXPECT_EQ(list[3].HasThumbnail, 0);
  ASSERT_EQ(thumbs.made.size(), 2u);
  EXPECT_EQ(list[1].ThumbnailNumber, 1);
  EXPECT_EQ(list[3].ThumbnailNumber, 2);
  EXPECT_EQ(list[2].HasThumbnail, 0);
  EXPECT_FALSE(strip.ShowModified());
}

// The edit window can take a thumbnail number while the progress window of
// a long add lets messages through: every picture keeps the number its
// thumbnail was made under, and no number names two pictures.
TEST(FrameStripTest, ThumbnailNumbersTakenWhilePicturesAreMadeStayApart) {
  for (const bool loading : {false, true}) {
    SCOPED_TRACE(loading ? "loading a show" : "adding pictures");
    FakeView view;
    FakeThumbnails thumbs;
    FrameList list = Show(loading ? 3 : 0);
    FrameStrip strip(view, thumbs);
    std::int32_t taken = 0;
    thumbs.during = [&] { taken = strip.TakeThumbNumber(); };
    if (loading) {
      strip.Load(list, true);
    } else {
      strip.Load(list, false);
      strip.AddPictureFrames({"a", "b", "c"});
    }
    thumbs.Finish(strip);
    ASSERT_EQ(thumbs.made.size(), 3u);
    ASSERT_NE(taken, 0);
    for (std::size_t k = 0; k < 3; ++k) {
      EXPECT_EQ(list[k + 1].Path(), thumbs.made[k].first);
      EXPECT_EQ(list[k + 1].ThumbnailNumber, thumbs.made[k].second) << k;
      EXPECT_NE(list[k + 1].ThumbnailNumber, taken) << k;
      EXPECT_LT(list[k + 1].ThumbnailNumber, strip.NextThumbNumber()) << k;
    }
    EXPECT_LT(taken, strip.NextThumbNumber());
  }
}

TEST(FrameStripTest, RandomEffectTurnsNoneIntoAnyAndBack) {
  Editor e(3);
  e.list[2].Effect = 4;
  e.strip.RandomEffect1Click();
  EXPECT_EQ(e.list[1].Effect, 7);
  EXPECT_EQ(e.list[2].Effect, 4);
  EXPECT_EQ(e.view.labels_[1].effect, "任意");
  EXPECT_TRUE(e.strip.ShowModified());
  e.strip.AddEmptyFrame();
  EXPECT_EQ(e.list[1].Effect, 7) << "frames added while ticked get the any effect";
  e.strip.RandomEffect1Click();
  for (int i : {1, 2, 4}) EXPECT_EQ(e.list[i].Effect, 0) << i;
  EXPECT_EQ(e.list[3].Effect, 4);
}

TEST(FrameStripTest, SelectionFollowsScrollingDownToAShownEntry) {
  Editor e(5);                     // count 7: entries 1..6
  e.strip.SlotClicked(8);          // entry 0: nothing there
  EXPECT_EQ(e.strip.SelectedSlot(), 1);
  e.strip.SlotClicked(6);          // trailing entry
  e.strip.ScrollBarChange(1, 3);   // slots show 3..6, slot 6 nothing
  EXPECT_EQ(e.strip.SelectedSlot(), 4);
  EXPECT_EQ(e.strip.CurrentFrameIndex(), 6);
  e.strip.ScrollBarChange(1, 99);  // clamped to the trailing entry first
  EXPECT_EQ(e.view.numbers[1], "6");
}

TEST(FrameStripTest, PressBecomesADragOnlyBeyondFivePixels) {
  Editor e(3);
  e.strip.ImageMouseDown(10, 10);
  EXPECT_FALSE(e.strip.ImageMouseMove(12, 13));
  EXPECT_TRUE(e.strip.ImageMouseMove(13, 13));
  e.strip.ImageMouseUp(2);
  EXPECT_EQ(e.strip.SelectedSlot(), 1) << "a drag is no click";
  e.strip.ImageMouseDown(10, 10);
  e.strip.ImageMouseUp(2);
  EXPECT_EQ(e.strip.SelectedSlot(), 2);
}

TEST(FrameStripTest, CloseAsksOnlyForUnsavedFrames) {
  struct Case {
    int frames;
    bool modified;
    bool named;
    bool asks;
  };
  const Case cases[] = {
      {0, true, true, false}, {1, true, false, true}, {1, false, true, false}, {3, true, true, true},
  };
  for (const Case& c : cases) {
    Editor e(c.frames);
    if (c.named) e.list[0].SetPath("Show");
    e.strip.SetShowModified(c.modified);
    EXPECT_EQ(e.strip.CloseNeedsQuestion(), c.asks) << c.frames << c.modified << c.named;
  }
}

TEST(FrameStripTest, SinglePreviewFrames) {
  Editor e(3);
  EXPECT_EQ(e.strip.SinglePreviewFrames(), std::make_pair(1, 2));
  e.strip.SlotClicked(3);
  EXPECT_EQ(e.strip.SinglePreviewFrames(), std::make_pair(3, 1)) << "the last frame leads to frame 1";
  e.strip.SlotClicked(4);
  EXPECT_FALSE(e.strip.SinglePreviewFrames());
  Editor one(1);
  EXPECT_FALSE(one.strip.SinglePreviewFrames());
}

// Whatever the user does, the current frame is an entry from 1 to the
// trailing one and the scroll bars reach the trailing entry.
TEST(FrameStripTest, EveryCommandKeepsTheCurrentFrameAndTheStripReachable) {
  SetRandSeed(12345);
  Editor e(6);
  for (int step = 0; step < 3000; ++step) {
    switch (Random(10)) {
      case 0: e.strip.AddPictureFrames({"p", "q"}); break;
      case 1: e.strip.AddEmptyFrame(); break;
      case 2: e.strip.RemoveCurrentFrame(); break;
      case 3: e.strip.ClearEmptyFrames(); break;
      case 4: e.strip.ScrollBarChange(1 + Random(2), 1 + Random(20)); break;
      case 5: e.strip.Both1Click(); break;
      case 6: e.strip.SlotClicked(1 + Random(8)); break;
      case 7: e.strip.ImageDragDrop(1 + Random(8), 1 + Random(8)); break;
      case 8:  // the edit window turns the trailing entry into a frame
        e.list.Append(NewFrameRecord());
        e.strip.RefreshRow(1);
        e.strip.RefreshRow(2);
        e.strip.ListSizeChanged();
        break;
      default: e.strip.RandomEffect1Click(); break;
    }
    const std::int32_t count = static_cast<std::int32_t>(e.list.Count());
    ASSERT_GE(e.strip.CurrentFrameIndex(), 1) << "step " << step;
    ASSERT_LE(e.strip.CurrentFrameIndex(), count - 1) << "step " << step;
    for (int bar = 1; bar <= 2; ++bar) {
      const ScrollBarState& s = e.view.bars[bar];
      ASSERT_EQ(s.max - s.page + 1, count - 1) << "bar " << bar << " step " << step;
      ASSERT_LE(s.position, count - 1) << "bar " << bar << " step " << step;
    }
  }
}

}  // namespace
}  // namespace velmora
