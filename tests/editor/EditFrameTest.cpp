#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/EditFrame.h"
#include "frames/EffectCatalogue.h"
#include "frames/ShowOptions.h"

namespace velmora {
namespace {

std::vector<int> Codes(const DirectionLayout& layout) {
  return std::vector<int>(layout.codes.begin(), layout.codes.begin() + layout.count);
}

TEST(EditFrameTest, EachEffectOffersItsDirectionsAndSliders) {
  struct Case {
    std::int32_t effect;
    std::vector<int> directions;
    int sliderDirection;
    SliderVisibility sliders;
  };
  const Case cases[] = {
      {EffectNone, {}, 0, {false, false}},
      {EffectStretch, {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 15}, 8, {true, false}},
      {EffectPush, {0, 1, 2, 3}, 3, {true, false}},
      {EffectSlide, {0, 1, 2, 3, 4, 5, 6, 7}, 7, {true, false}},
      {EffectDissolve, {0, 1, 2, 3, 8, 9, 10, 11, 14, 15, 16}, 16, {true, true}},
      {EffectDissolve, {0, 1, 2, 3, 8, 9, 10, 11, 14, 15, 16}, 12, {false, false}},
      {EffectBlend, {16}, 16, {true, false}},
      {EffectDiscover, {0, 1, 2, 3, 8, 9, 10, 11, 14, 15}, 0, {true, false}},
      {EffectAny, {}, 0, {false, false}},
      {8, {}, 0, {false, false}},
      {-1, {}, 0, {false, false}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Codes(LayoutDirections(c.effect)), c.directions) << c.effect;
    const SliderVisibility shown = ShowSliders(c.effect, c.sliderDirection);
    EXPECT_EQ(shown.speed, c.sliders.speed) << c.effect << "/" << c.sliderDirection;
    EXPECT_EQ(shown.dotSize, c.sliders.dotSize) << c.effect << "/" << c.sliderDirection;
  }
}

FrameRecord Frame(std::int32_t effect, int direction, std::int32_t speed, std::int32_t dot) {
  FrameRecord frame = *NewFrameRecord();
  frame.Effect = effect;
  frame.Direction = static_cast<std::uint8_t>(direction);
  frame.Speed = speed;
  frame.DotSize = dot;
  return frame;
}

// The window's own test shows picture, colour and empty frames; here the
// cases it cannot reach.
TEST(EditFrameTest, TheViewSelectsTheFramesOwnButtonsAndKeepsValuesInRange) {
  // The trailing entry with settings chosen: the effect is selected while
  // hidden, its direction and slider shown.
  const FrameView trailing = ViewOfFrame(Frame(EffectBlend, 16, 5, -1));
  EXPECT_FALSE(trailing.stillShown);
  EXPECT_EQ(trailing.effectButton, EffectBlend);
  EXPECT_EQ(trailing.directionButton, 0);
  EXPECT_TRUE(trailing.sliders.speed);
  // From a file the editor did not write: a direction offered nowhere keeps
  // the selection; the still time and positions are brought into range.
  FrameRecord foreign = Frame(EffectStretch, 12, 14, -1);
  foreign.SetPath("a.jpg");
  foreign.StillTime = 200;
  const FrameView f = ViewOfFrame(foreign);
  EXPECT_EQ(f.directionButton, -1);
  EXPECT_EQ(f.stillTime, 120);
  EXPECT_EQ(f.speed, 10);
  const FrameView damaged = ViewOfFrame(Frame(9, 0, 4, 4));
  EXPECT_EQ(damaged.effectButton, -1);
  EXPECT_FALSE(damaged.sliders.speed || damaged.sliders.dotSize);
}

TEST(EditFrameTest, ADirectionClickStoresOnlyWhatTheEffectOffers) {
  struct Case {
    std::int32_t effect;
    int clicked;
    std::uint8_t direction;
    std::int32_t speed;
    std::int32_t dot;
  };
  const Case cases[] = {
      {EffectStretch, 8, 8, 3, -1},
      {EffectPush, 8, 0, 3, -1},          // centre is not offered: the first edge instead
      {EffectPush, 3, 3, 3, -1},
      {EffectDissolve, 4, 0, 3, 6},       // a corner is not offered
      {EffectDissolve, 14, 14, 3, 6},
      {EffectBlend, 0, 16, 3, -1},
      {EffectNone, 5, 5, -1, -1},         // nothing offered, nothing played
      {EffectAny, 2, 2, -1, -1},
      {EffectDiscover, 0x10B, 11, 3, -1}, // the tag's low byte
  };
  for (const Case& c : cases) {
    FrameRecord frame = Frame(EffectNone, 0, 9, 9);
    StoreDirectionChoice(frame, c.effect, c.clicked, 3, 6);
    EXPECT_EQ(frame.Effect, c.effect);
    EXPECT_EQ(frame.Direction, c.direction) << c.effect << "/" << c.clicked;
    EXPECT_EQ(frame.Speed, c.speed) << c.effect;
    EXPECT_EQ(frame.DotSize, c.dot) << c.effect;
  }
}

TEST(EditFrameTest, SlidersStoreTheirPositionAndHintTheComponentValue) {
  struct Case {
    std::int32_t effect;
    int direction;
    bool speed;
    std::int32_t position;
    const char* hint;  // nullptr: nothing stored, nothing posted
  };
  const Case cases[] = {
      {EffectStretch, 0, true, 3, "Speed = 81"},
      {EffectPush, 1, true, 3, "Speed = 160"},
      {EffectDissolve, 0, true, 3, "Speed = 50"},
      {EffectBlend, 16, true, 3, "Speed = 30"},
      {EffectDissolve, 0, false, 5, "DotSize = 21"},
      {EffectStretch, 0, true, 9, nullptr},  // the frame holds 9 already
      {EffectNone, 0, true, 4, nullptr},
      {9, 0, true, 4, nullptr},
      {-3, 0, false, 4, nullptr},
  };
  for (const Case& c : cases) {
    FrameRecord frame = Frame(c.effect, c.direction, 9, 9);
    const auto hint = c.speed ? MoveSpeedSlider(frame, c.position) : MoveDotSizeSlider(frame, c.position);
    if (c.hint == nullptr) {
      EXPECT_FALSE(hint.has_value()) << c.effect;
      EXPECT_EQ(frame.Speed, 9);
      EXPECT_EQ(frame.DotSize, 9);
    } else {
      ASSERT_TRUE(hint.has_value()) << c.effect;
      EXPECT_EQ(*hint, c.hint);
      EXPECT_EQ(c.speed ? frame.Speed : frame.DotSize, c.position);
    }
  }
}

TEST(EditFrameTest, StillTimeStaysWithinItsRange) {
  struct Case {
    const wchar_t* text;
    std::int32_t last;
    std::int32_t expect;
  };
  const Case cases[] = {
      {L"5", 3, 5},   {L"0", 3, 0},        {L"120", 3, 120},   {L"121", 3, 120},
      {L"999999", 3, 120}, {L"99999999999999", 3, 120},         {L"", 7, 7},
      {L"1a", 7, 7},  {L"-5", 7, 7},       {L" 5", 7, 7},      {L"007", 3, 7},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StillTimeFromText(c.text, c.last), c.expect);
  }
}

struct ThumbnailLog {
  std::vector<std::string> paths;
  std::int32_t next = 10;
  ThumbnailMaker Maker() {
    return [this](const std::string& path) {
      paths.push_back(path);
      return std::pair<bool, std::int32_t>{path.ends_with(".jpg"), next++};
    };
  }
};

FrameList ListOf(int frames) {
  FrameList list;
  for (int i = 0; i < frames + 2; ++i) AppendFrameRecord(list);
  return list;
}

TEST(EditFrameTest, ApplyWritesTheChoiceAndTurnsTheTrailingEntryIntoAFrame) {
  // On the trailing entry with effect settings already chosen.
  {
    FrameList list = ListOf(0);
    list[1].Effect = EffectDissolve;
    list[1].Direction = 8;
    list[1].Speed = 2;
    list[1].DotSize = 5;
    ThumbnailLog log;
    const ApplyResult r = ApplyFrameChoice(list, 1, {true, "D:\\p.jpg", false, 0, 8}, log.Maker());
    EXPECT_TRUE(r.inserted && r.changed && !r.reloadSelf);
    ASSERT_EQ(list.Count(), 3u);
    EXPECT_EQ(list[1].Path(), "D:\\p.jpg");
    EXPECT_EQ(list[1].Effect, EffectDissolve);
    EXPECT_EQ(list[1].Direction, 8);
    EXPECT_EQ(list[1].Speed, 2);
    EXPECT_EQ(list[1].DotSize, 5);
    EXPECT_EQ(list[1].StillTime, 8);
    EXPECT_EQ(list[1].HasThumbnail, 1);
    EXPECT_EQ(list[1].ThumbnailNumber, 10);
    EXPECT_EQ(list[2].Effect, EffectNone);
    EXPECT_EQ(list[2].Speed, -1);
    EXPECT_EQ(list[2].DotSize, -1);
    EXPECT_EQ(log.paths, std::vector<std::string>{"D:\\p.jpg"});
  }
  struct Case {
    const char* what;
    ApplyChoice choice;
    ApplyResult expect;
    FrameKind kind;
    std::int32_t still;
    std::int32_t effect;
  };
  const Case cases[] = {
      {"colour", {false, "", true, 0x123456, 4}, {false, true, false}, FrameKind::Colour, 4, EffectSlide},
      {"picture", {true, "E:\\q.bmp", false, 0, 6}, {false, true, false}, FrameKind::Picture, 6, EffectSlide},
      {"cleared path", {true, "", false, 0, 6}, {false, true, true}, FrameKind::Empty, 3, EffectNone},
      {"nothing chosen", {false, "", false, 0, 6}, {false, false, false}, FrameKind::Picture, 5, EffectSlide},
      {"still time clamped", {false, "", true, 1, 500}, {false, true, false}, FrameKind::Colour, 120, EffectSlide},
  };
  for (const Case& c : cases) {
    FrameList list = ListOf(1);
    list[1].SetPath("C:\\old.jpg");
    list[1].Effect = EffectSlide;
    list[1].StillTime = 5;
    ThumbnailLog log;
    const ApplyResult r = ApplyFrameChoice(list, 1, c.choice, log.Maker());
    EXPECT_EQ(r.inserted, c.expect.inserted) << c.what;
    EXPECT_EQ(r.changed, c.expect.changed) << c.what;
    EXPECT_EQ(r.reloadSelf, c.expect.reloadSelf) << c.what;
    EXPECT_EQ(list.Count(), 3u) << c.what;
    EXPECT_EQ(list[1].Kind(), c.kind) << c.what;
    EXPECT_EQ(list[1].StillTime, c.still) << c.what;
    EXPECT_EQ(list[1].Effect, c.effect) << c.what;
  }
}

TEST(EditFrameTest, AFolderFrameShowsItsBoxAndApplyKeepsOrClearsTheMark) {
  // The view: the box shows for a folder frame only, ticked as it says.
  {
    FrameRecord frame{};
    frame.SetPath("D:\\Trip");
    EXPECT_FALSE(ViewOfFrame(frame).folderShown);
    SetFolderFrame(frame, true, false);
    EXPECT_TRUE(ViewOfFrame(frame).folderShown);
    EXPECT_FALSE(ViewOfFrame(frame).includeSubfolders);
    frame.PureColour = 1;  // a mark on a colour frame is ignored
    EXPECT_FALSE(ViewOfFrame(frame).folderShown);
  }
  struct Case {
    const char* what;
    ApplyChoice choice;
    bool folder;                 // afterwards
    bool subfolders;
    std::int32_t hasThumbnail;   // 7: kept as it was
    bool thumbnailMade;          // the picture's thumbnail made at once
  };
  auto folder = [](const char* path, bool subfolders) {
    ApplyChoice choice;
    choice.pathShown = true;
    choice.path = path;
    choice.stillTime = 9;
    choice.folder = true;
    choice.includeSubfolders = subfolders;
    return choice;
  };
  ApplyChoice picture;
  picture.pathShown = true;
  picture.path = "D:\\p.jpg";
  picture.stillTime = 9;
  ApplyChoice colour;
  colour.colourShown = true;
  colour.colour = 0xFF;
  colour.stillTime = 9;
  const Case cases[] = {
      {"the same folder and choice: the thumbnail stays", folder("D:\\Trip", true), true, true, 7, false},
      {"subfolders left out: made again by the strip", folder("D:\\Trip", false), true, false, 0, false},
      {"another folder", folder("E:\\Other", true), true, true, 0, false},
      {"a picture chosen instead", picture, false, true, 1, true},
      {"a colour chosen instead", colour, false, true, 7, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FrameList list = ListOf(1);
    list[1].SetPath("D:\\Trip");
    SetFolderFrame(list[1], true, true);
    list[1].Reserved236 |= 0x40;  // a bit this program does not know
    list[1].HasThumbnail = 7;
    ThumbnailLog log;
    const ApplyResult r = ApplyFrameChoice(list, 1, c.choice, log.Maker());
    EXPECT_TRUE(r.changed);
    EXPECT_EQ(IsFolderFrame(list[1]), c.folder);
    if (c.folder) {
      EXPECT_EQ(FolderIncludesSubfolders(list[1]), c.subfolders);
    }
    EXPECT_EQ(list[1].Reserved236 & 0x40, 0x40);
    EXPECT_EQ(list[1].StillTime, 9);
    EXPECT_EQ(list[1].HasThumbnail, c.hasThumbnail);
    EXPECT_EQ(!log.paths.empty(), c.thumbnailMade) << "a folder is never read as a picture";
  }
}

}  // namespace
}  // namespace velmora
