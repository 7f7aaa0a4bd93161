#include "saver/Preview.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "fade/BmpGraphic.h"
#include "fade/MorfFade.h"
#include "frames/EffectCatalogue.h"
#include "frames/FrameList.h"
#include "frames/ShowOptions.h"
#include "support/FakeFade.h"

namespace velmora {
namespace {

using testing::FadeRig;

constexpr TColor kRed = 0x0000FF;
constexpr TColor kBlue = 0xFF0000;

class FakePreviewHost final : public PreviewHost {
 public:
  std::int64_t NowMillis() override { return now; }
  void PrepareHint(TMorfFade& hint) override {
    ++hintsPrepared;
    hintPlace = Rect{hint.Left(), hint.Top(), hint.Left() + hint.Width(), hint.Top() + hint.Height()};
    if (failHint) throw std::runtime_error("no screen");
  }
  void LogError(const std::string& message) override { logged.push_back(message); }

  std::int64_t now = 1'000'000;
  int hintsPrepared = 0;
  Rect hintPlace;
  bool failHint = false;
  std::vector<std::string> logged;
};

// A show of two frames (entries 1 and 2) around the header and trailing entries.
struct Rig {
  Rig() {
    for (int i = 0; i < 4; ++i) AppendFrameRecord(list);
    First().Effect = EffectNone;
    First().StillTime = 0;
    Second().PureColour = 1;
    Second().Colour = kBlue;
  }
  FrameRecord& First() { return list[1]; }
  FrameRecord& Second() { return list[2]; }
  PreviewSequence& Sequence(int current = 1, int next = 2) {
    sequence = std::make_unique<PreviewSequence>(list, current, next, frames.fade, hint.fade, host);
    sequence->Start(800, 600);
    return *sequence;
  }

  FrameList list;
  FadeRig frames{800, 600};
  FadeRig hint;
  FakePreviewHost host;
  std::unique_ptr<PreviewSequence> sequence;
};

TEST(PreviewTest, StepsWaitForTheirDeadlines) {
  struct Case {
    std::int32_t still;
    std::int64_t wait;  // before the transition
  } cases[] = {{0, 0}, {5, 5000}, {-3, 0}};
  for (const Case& c : cases) {
    Rig rig;
    rig.First().StillTime = c.still;
    PreviewSequence& preview = rig.Sequence();
    preview.Tick();
    ASSERT_EQ(preview.Step(), 2) << c.still;
    EXPECT_EQ(preview.NextTime(), rig.host.now + c.wait) << c.still;
    rig.host.now += c.wait - 1;
    if (c.wait > 0) {
      preview.Tick();
      EXPECT_EQ(preview.Step(), 2) << "early " << c.still;
    }
    rig.host.now += 1;
    preview.Tick();
    ASSERT_EQ(preview.Step(), 3) << c.still;
    EXPECT_EQ(preview.NextTime(), rig.host.now + PreviewSequence::kHintPauseMs);
    preview.Tick();
    EXPECT_EQ(rig.host.hintsPrepared, 0);
    rig.host.now += PreviewSequence::kHintPauseMs;
    preview.Tick();
    EXPECT_EQ(preview.Step(), 4);
    EXPECT_EQ(rig.host.hintsPrepared, 1);
    // 50 pixels in from the bottom-right corner; hidden again when it ends.
    EXPECT_EQ(rig.host.hintPlace, (Rect{800 - 441 - 50, 600 - 75 - 50, 800 - 50, 600 - 50}));
    EXPECT_FALSE(rig.hint.fade.Visible());
    EXPECT_FALSE(preview.Busy());
  }
}

TEST(PreviewTest, WhatTheCurrentFrameShows) {
  const auto folder = std::filesystem::temp_directory_path();
  const std::string bmp = (folder / "velmora-preview-test.bmp").string();
  {
    MemoryImage24 image(4, 4);
    image.Fill(kRed);
    const std::vector<std::uint8_t> bytes = EncodeBmp(image);
    std::ofstream(bmp, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  struct Case {
    const char* what;
    std::string path;
    std::uint8_t pureColour;
    int index;
    bool picture;
    TColor colour;  // when no picture
  } cases[] = {
      {"picture", bmp, 0, 1, true, 0},
      {"colour flag before the path", bmp, 1, 1, false, 0x123456},
      {"missing picture", (folder / "velmora-none.bmp").string(), 0, 1, false, kBlack},
      {"empty frame", "", 0, 1, false, kBlack},
      {"index past the list", bmp, 0, 9, false, kBlack},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.First().SetPath(c.path);
    rig.First().PureColour = c.pureColour;
    rig.First().Colour = 0x123456;
    rig.frames.fade.SetColorFrom(kBlue);
    rig.Sequence(c.index, 2).Tick();
    EXPECT_EQ(rig.frames.fade.PicFrom().HasGraphic(), c.picture) << c.what;
    if (!c.picture) {
      EXPECT_EQ(rig.frames.fade.ColorFrom(), c.colour) << c.what;
    }
  }
  std::filesystem::remove(bmp);
}

TEST(PreviewTest, AFolderFrameShowsItsFirstPicture) {
  const auto root = std::filesystem::temp_directory_path() / "velmora-preview-folder";
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root / "sub");
  std::filesystem::create_directories(root / "empty");
  {
    MemoryImage24 image(4, 4);
    image.Fill(kRed);
    const std::vector<std::uint8_t> bytes = EncodeBmp(image);
    std::ofstream((root / "sub" / "a.bmp").string(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    std::ofstream((root / "notes.txt").string()) << "not a picture";
  }
  struct Case {
    const char* what;
    std::string path;
    bool includeSubfolders;
    std::uint8_t pureColour;
    bool picture;
    TColor colour;  // when no picture
  } cases[] = {
      {"its first picture, in a subfolder", root.string(), true, 0, true, 0},
      {"subfolders left out: none", root.string(), false, 0, false, kBlack},
      {"a folder without pictures", (root / "empty").string(), true, 0, false, kBlack},
      {"a folder that is gone", (root / "gone").string(), true, 0, false, kBlack},
      {"the mark on a colour frame is ignored", root.string(), true, 1, false, 0x123456},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.First().SetPath(c.path);
    SetFolderFrame(rig.First(), true, c.includeSubfolders);
    rig.First().PureColour = c.pureColour;
    rig.First().Colour = 0x123456;
    rig.frames.fade.SetColorFrom(kBlue);
    rig.Sequence(1, 2).Tick();
    EXPECT_EQ(rig.frames.fade.PicFrom().HasGraphic(), c.picture) << c.what;
    if (!c.picture) {
      EXPECT_EQ(rig.frames.fade.ColorFrom(), c.colour) << c.what;
    }
  }
  std::filesystem::remove_all(root);
}

TEST(PreviewTest, TransitionOutcomes) {
  struct Case {
    const char* what;
    std::int32_t effect;
    bool drawFails;
    bool hintFails;
    int runs;     // Begin events of the frames component
    int logged;
    bool nextShownAtOnce;
  } cases[] = {
      {"stretch plays", EffectStretch, false, false, 1, 0, false},
      {"none shows the next frame", EffectNone, false, false, 0, 0, true},
      {"a code out of range plays as none", 99, false, false, 0, 0, true},
      {"a failing run is logged, the hint follows", EffectStretch, true, false, 1, 1, true},
      {"run and hint fail: logged once", EffectStretch, true, true, 1, 1, true},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.First().Effect = c.effect;
    rig.First().Direction = DirectionFromLeft;
    rig.First().Speed = 0;
    rig.First().PureColour = 1;
    rig.First().Colour = kRed;
    rig.host.failHint = c.hintFails;
    if (c.drawFails)
      rig.frames.surface.onDraw = [](const testing::SurfaceCall&) { throw std::runtime_error("draw failed"); };
    PreviewSequence& preview = rig.Sequence();
    preview.Tick();
    rig.frames.events.clear();
    preview.Tick();
    EXPECT_EQ(rig.frames.CountEvents("Begin"), c.runs) << c.what;
    EXPECT_FALSE(preview.Busy()) << c.what;
    EXPECT_EQ(preview.Step(), 3) << c.what;
    if (c.nextShownAtOnce) {
      EXPECT_FALSE(rig.frames.fade.PicFrom().HasGraphic()) << c.what;
      EXPECT_EQ(rig.frames.fade.ColorFrom(), kBlue) << c.what;
    }
    rig.frames.surface.onDraw = nullptr;
    for (int i = 0; i < 3; ++i) {
      rig.host.now += PreviewSequence::kHintPauseMs;
      preview.Tick();
    }
    EXPECT_EQ(preview.Step(), 6) << c.what;
    EXPECT_EQ(int(rig.host.logged.size()), c.logged) << c.what;
  }
}

TEST(PreviewTest, ClosesOnlyOnAKeyPressedWhileOpen) {
  enum Event { Down, Repeat, Up };
  struct Key {
    Event event;
    unsigned key;
  };
  constexpr unsigned kEnter = 0x0D, kA = 0x41, kShift = 0x10;
  struct Case {
    const char* what;
    std::vector<Key> keys;
    int closesAt;  // index of the key-up that closes; -1 none
  } cases[] = {
      {"the Enter that chose the command", {{Up, kEnter}}, -1},
      {"a key pressed and released", {{Down, kA}, {Up, kA}}, 1},
      {"a key held from before, then another", {{Up, kShift}, {Down, kA}, {Up, kA}}, 2},
      {"the release of another key than the one pressed", {{Down, kA}, {Up, kEnter}}, -1},
      {"Enter again after its first release", {{Up, kEnter}, {Down, kEnter}, {Up, kEnter}}, 2},
      {"Enter held from the command repeats, then is released", {{Repeat, kEnter}, {Up, kEnter}}, -1},
      {"a key pressed while open and held", {{Down, kA}, {Repeat, kA}, {Up, kA}}, 2},
  };
  for (const Case& c : cases) {
    Rig rig;
    PreviewSequence& preview = rig.Sequence();
    int closedAt = -1;
    for (std::size_t i = 0; i < c.keys.size(); ++i) {
      if (c.keys[i].event != Up) {
        preview.KeyDown(c.keys[i].key, c.keys[i].event == Repeat);
      } else if (preview.KeyUp(c.keys[i].key) && closedAt < 0) {
        closedAt = int(i);
      }
    }
    EXPECT_EQ(closedAt, c.closesAt) << c.what;
    EXPECT_EQ(preview.Closing(), c.closesAt >= 0) << c.what;
  }
}

TEST(PreviewTest, AKeyDuringTheTransitionStopsItAndNothingFollows) {
  Rig rig;
  rig.First().Effect = EffectStretch;
  rig.First().Speed = 10;  // 200 steps
  PreviewSequence& preview = rig.Sequence();
  preview.Tick();
  int pumps = 0;
  rig.frames.host.onProcessMessages = [&] {
    if (++pumps == 3) {
      preview.Tick();  // the timer returns at once while a step runs
      preview.KeyDown(0x20);
      EXPECT_TRUE(preview.KeyUp(0x20));
    }
  };
  preview.Tick();
  EXPECT_LT(pumps, 10);  // stopped at its next step, not run to its end
  EXPECT_EQ(rig.frames.CountEvents("End"), 1);
  rig.host.now += PreviewSequence::kHintPauseMs;
  preview.Tick();
  EXPECT_EQ(rig.host.hintsPrepared, 0);
}

}  // namespace
}  // namespace velmora
