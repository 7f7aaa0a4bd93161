#include "saver/Player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/DateTime.h"
#include "app/Random.h"
#include "app/Startup.h"
#include "fade/JpegGraphic.h"
#include "fade/MorfFade.h"
#include "frames/EffectCatalogue.h"
#include "frames/FrameList.h"
#include "frames/FrameSet.h"
#include "frames/ShowOptions.h"
#include "support/FakeFade.h"
#include "support/FakeSlot.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

constexpr TColor kRed = 0x0000FF;
constexpr TColor kGreen = 0x00FF00;
constexpr TColor kBlue = 0xFF0000;
constexpr int kSize = 16;  // the saver window's component, in pixels

// Components draw nowhere in these tests; the working images are what counts.
class NullSurface final : public FadeSurface {
 public:
  void BoundsChanged(const Rect&) override {}
  void Invalidate() override {}
  void PaintImage(const Image24&) override {}
  void StretchCopy(const Image24&, const Rect&) override {}
  void Copy(const Image24&, int, int, int, int, int, int) override {}
};

// The message pump of the transitions; `pump` stands for what the window's
// handlers would do with pending input.
class TestFadeHost final : public FadeHost {
 public:
  void ProcessMessages() override {
    ++pumps;
    if (pump) pump();
  }
  void Sleep(int) override {}
  std::int64_t NowMicros() override { return micros += 1000; }

  std::function<void()> pump;
  int pumps = 0;
  std::int64_t micros = 0;
};

// What one transition run started from and went to.
struct RunRecord {
  TAction action;
  TDirection direction;
  TColor from;
  TColor to;
};

class TestSlot final : public FadeSlot {
 public:
  TestSlot(ImageFactory& images, FadeSurface& surface, FadeHost& host,
           std::vector<RunRecord>& runs)
      : fade_(images, surface, host) {
    fade_.OnBegin = [&runs](TMorfFade& f) {
      runs.push_back({f.Action(), f.Direction(), f.FromImage().PixelAt(0, 0),
                      f.ToImage().PixelAt(0, 0)});
    };
  }
  TMorfFade& Fade() override { return fade_; }
  void SendToBack() override { sentToBack = true; }
  void Hide() override { fade_.SetVisible(false); }

  bool sentToBack = false;

 private:
  TMorfFade fade_;
};

// A slot of one component per monitor, of the given sizes side by side.
class MonitorsSlot final : public testing::ComponentsSlot {
 public:
  MonitorsSlot(ImageFactory& images, FadeSurface& surface, FadeHost& host, std::vector<RunRecord>& runs,
               std::size_t count, const std::function<void(TMorfFade&)>& onFirstReset)
      : ComponentsSlot(count, images, surface, host) {
    for (std::size_t i = 0; i < count; ++i) {
      FadeAt(i).OnBegin = [&runs](TMorfFade& f) {
        runs.push_back({f.Action(), f.Direction(), f.FromImage().PixelAt(0, 0), f.ToImage().PixelAt(0, 0)});
      };
    }
    // Before the component itself prepares its images.
    Fade().OnReset = [&onFirstReset](TMorfFade& f) {
      if (onFirstReset) onFirstReset(f);
    };
  }
};

class TestPlayerHost final : public PlayerHost {
 public:
  void ShowApplicationWindow(bool show) override { appWindowShown = show; }
  void RemovePendingTick() override { ++ticksRemoved; }
  void PostExitMessage() override { ++exitsPosted; }
  std::unique_ptr<FadeSlot> CreateFadeSlot() override {
    ++slotsCreated;
    if (monitors > 1) return std::make_unique<MonitorsSlot>(images, surface, fadeHost, runs, monitors, onFirstReset);
    return std::make_unique<TestSlot>(images, surface, fadeHost, runs);
  }
  void ProcessMessages() override {
    ++swapPumps;
    if (swapPump) swapPump();
  }
  void LogError(const std::string& message) override { logged.push_back(message); }
  void ShowStartError(const std::string& message) override {
    startErrors.push_back(message);
    startErrorWhileBusy = player->StepBusy;
  }

  const SlideshowPlayer* player = nullptr;  // the player this host serves
  std::size_t monitors = 1;  // components per slot
  std::function<void(TMorfFade&)> onFirstReset;  // the first monitor's component's OnReset
  MemoryImageFactory images;
  NullSurface surface;
  TestFadeHost fadeHost;
  std::vector<RunRecord> runs;
  bool appWindowShown = false;
  int ticksRemoved = 0;
  int exitsPosted = 0;
  int slotsCreated = 0;
  int swapPumps = 0;
  std::function<void()> swapPump;  // what the window's handlers do meanwhile
  std::vector<std::string> logged;
  std::vector<std::string> startErrors;
  bool startErrorWhileBusy = false;
};

struct Frame {
  std::string picture;  // file name in the test directory, "" for none
  bool pureColour = false;
  TColor colour = 0;
  std::int32_t effect = 0;
  std::uint8_t direction = 0;
  std::int32_t speed = 0;
  std::int32_t dotSize = 0;
  std::int32_t still = 0;
};

Frame ColourFrame(TColor colour, std::int32_t effect, std::uint8_t direction, std::int32_t still) {
  return {"", true, colour, effect, direction, 0, 0, still};
}
Frame PictureFrame(std::string file, std::int32_t effect, std::uint8_t direction,
                   std::int32_t still) {
  return {std::move(file), false, 0, effect, direction, 0, 0, still};
}

void PutLe(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(char(value >> (8 * i)));
}

// An 8 x 8 bottom-up 24-bit bitmap of one colour.
std::string SolidBmp(TColor colour) {
  const int side = 8, stride = 24;
  std::string bmp = "BM";
  PutLe(bmp, 54 + stride * side, 4);
  PutLe(bmp, 0, 4);
  PutLe(bmp, 54, 4);
  PutLe(bmp, 40, 4);
  PutLe(bmp, side, 4);
  PutLe(bmp, side, 4);
  PutLe(bmp, 1, 2);
  PutLe(bmp, 24, 2);
  PutLe(bmp, 0, 4);
  PutLe(bmp, stride * side, 4);
  PutLe(bmp, 2835, 4);
  PutLe(bmp, 2835, 4);
  PutLe(bmp, 0, 4);
  PutLe(bmp, 0, 4);
  for (int i = 0; i < side * side; ++i) {
    bmp.push_back(char(colour >> 16));
    bmp.push_back(char(colour >> 8));
    bmp.push_back(char(colour));
  }
  return bmp;
}

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    dir_ = fs::temp_directory_path() /
           ("velmora-player-" +
            std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            std::to_string(counter++) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    savedMode_ = Mode;
    savedSystemDir_ = SystemDir;
    savedBaseName_ = SaverBaseName;
    Mode = SaverMode::Run;
    SystemDir = dir_.string();
    SaverBaseName = "Show";
    FrameCount = 0;
    TheFrameList.reset();
    SetNowClock([this] { return now_; });
    NewPlayer();
  }

  // A fresh player in the current Mode, with the saver window's slot 0 as
  // its creation makes it.
  void NewPlayer() {
    player_.reset();
    player_ = std::make_unique<SlideshowPlayer>(host_, Mode);
    host_.player = player_.get();
    P().FadeSlots[0] = host_.CreateFadeSlot();
    Fade().SetColorTo(kBlack);
    Fade().SetProcessMsgs(true);
    Fade().SetBounds(0, 0, kSize, kSize);
    host_.slotsCreated = 0;
  }

  void TearDown() override {
    if (player_) player_->StopSlideshow();
    player_.reset();
    TheFrameList.reset();
    SetNowClock({});
    Mode = savedMode_;
    SystemDir = savedSystemDir_;
    SaverBaseName = savedBaseName_;
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  std::string PicturePath(const std::string& name) const { return (dir_ / name).string(); }

  void WritePicture(const std::string& name, TColor colour) {
    std::ofstream(PicturePath(name), std::ios::binary) << SolidBmp(colour);
  }

  void WriteShow(const std::vector<Frame>& frames) {
    FrameList list;
    AppendFrameRecord(list).SetPath("Show");
    for (const Frame& f : frames) {
      FrameRecord& r = AppendFrameRecord(list);
      if (!f.picture.empty()) r.SetPath(PicturePath(f.picture));
      r.PureColour = f.pureColour ? 1 : 0;
      r.Colour = f.colour;
      r.Effect = f.effect;
      r.Direction = f.direction;
      r.Speed = f.speed;
      r.DotSize = f.dotSize;
      r.StillTime = f.still;
    }
    AppendFrameRecord(list);
    WriteFrameSetFile(FrameSetPath("Show"), list);
  }

  SlideshowPlayer& P() { return *player_; }
  TMorfFade& Fade() { return *P().CurrentFade(); }
  TColor Shown() { return Fade().FromImage().PixelAt(kSize / 2, kSize / 2); }
  void Advance(double seconds) { now_ += SecondsToDays(seconds); }

  TestPlayerHost host_;
  std::unique_ptr<SlideshowPlayer> player_;  // after host_: it keeps it
  TDateTime now_ = 45000.5;
  fs::path dir_;
  SaverMode savedMode_{};
  std::string savedSystemDir_;
  std::string savedBaseName_;
};

TEST_F(PlayerTest, TwoFramesCycleWithTheLeavingFramesEffectAndTheIncomingStillTime) {
  WritePicture("a.bmp", kRed);
  WritePicture("b.bmp", kBlue);
  WriteShow({PictureFrame("a.bmp", EffectStretch, DirectionFromTop, 5),
             PictureFrame("b.bmp", EffectBlend, DirectionNone, 2)});

  P().StartSlideshow();
  ASSERT_TRUE(P().Playing);
  EXPECT_TRUE(host_.appWindowShown);
  EXPECT_EQ(FrameCount, 2);
  EXPECT_EQ(P().PlayCounter, 1);
  EXPECT_TRUE(P().LoadedPictureHeld);
  EXPECT_EQ(Shown(), kRed);
  EXPECT_DOUBLE_EQ(P().NextStepTime, now_ + SecondsToDays(5));

  // Frame A stays for its still time.
  Advance(4.9);
  P().SlideshowStep();
  EXPECT_TRUE(host_.runs.empty());
  EXPECT_EQ(host_.ticksRemoved, 0);

  // A's effect takes it off and brings B.
  Advance(0.1);
  P().SlideshowStep();
  ASSERT_EQ(host_.runs.size(), 1u);
  EXPECT_EQ(host_.runs[0].action, TAction::Stretch);
  EXPECT_EQ(host_.runs[0].direction, TDirection::FromTop);
  EXPECT_EQ(host_.runs[0].from, kRed);
  EXPECT_EQ(host_.runs[0].to, kBlue);
  EXPECT_FALSE(host_.appWindowShown);
  EXPECT_EQ(host_.ticksRemoved, 1);
  EXPECT_EQ(P().PlayCounter, 2);
  EXPECT_FALSE(P().StepBusy);
  // The finished component was replaced by a fresh one on the same image.
  EXPECT_EQ(P().CurrentSlot, 1);
  EXPECT_EQ(P().FadeSlots[0], nullptr);
  EXPECT_EQ(host_.slotsCreated, 1);
  EXPECT_EQ(Fade().BoundsRect(), (Rect{0, 0, kSize, kSize}));
  EXPECT_TRUE(Fade().ProcessMsgs());
  EXPECT_EQ(Fade().ColorTo(), kBlack);
  EXPECT_EQ(Shown(), kBlue);
  EXPECT_TRUE(static_cast<TestSlot&>(*P().FadeSlots[1]).sentToBack);
  EXPECT_EQ(host_.swapPumps, 2);
  // B's still time counts from the end of the transition.
  EXPECT_DOUBLE_EQ(P().NextStepTime, now_ + SecondsToDays(2));

  Advance(1.9);
  P().SlideshowStep();
  EXPECT_EQ(host_.runs.size(), 1u);

  // B's effect leads back to A.
  Advance(0.1);
  P().SlideshowStep();
  ASSERT_EQ(host_.runs.size(), 2u);
  EXPECT_EQ(host_.runs[1].action, TAction::xBlend);
  EXPECT_EQ(host_.runs[1].from, kBlue);
  EXPECT_EQ(host_.runs[1].to, kRed);
  EXPECT_EQ(Shown(), kRed);
  EXPECT_EQ(P().CurrentSlot, 0);
  EXPECT_DOUBLE_EQ(P().NextStepTime, now_ + SecondsToDays(5));

  Advance(5);
  P().SlideshowStep();
  ASSERT_EQ(host_.runs.size(), 3u);
  EXPECT_EQ(host_.runs[2].action, TAction::Stretch);
  EXPECT_EQ(host_.runs[2].to, kBlue);
  EXPECT_EQ(host_.exitsPosted, 0);
}

TEST_F(PlayerTest, StillTimeZeroStartsTheNextTransitionAtOnce) {
  WriteShow({ColourFrame(kRed, EffectStretch, DirectionFromLeft, 0),
             ColourFrame(kGreen, EffectSlide, DirectionFromRight, 0),
             ColourFrame(kBlue, EffectPush, DirectionFromBottom, 4)});
  P().StartSlideshow();
  EXPECT_DOUBLE_EQ(P().NextStepTime, now_);
  P().SlideshowStep();
  P().SlideshowStep();  // same clock reading: green has no still time
  ASSERT_EQ(host_.runs.size(), 2u);
  EXPECT_EQ(host_.runs[1].action, TAction::Slide);
  EXPECT_EQ(host_.runs[1].from, kGreen);
  EXPECT_EQ(host_.runs[1].to, kBlue);
  P().SlideshowStep();  // blue stays 4 seconds
  EXPECT_EQ(host_.runs.size(), 2u);
  EXPECT_EQ(Shown(), kBlue);
}

TEST_F(PlayerTest, EffectNoneShowsTheNextFrameAtOnceAndStartsItsStillTime) {
  WritePicture("b.bmp", kBlue);
  WriteShow({ColourFrame(kRed, EffectNone, 0, 1), PictureFrame("b.bmp", EffectNone, 0, 3)});
  P().StartSlideshow();
  Advance(1);
  P().SlideshowStep();
  EXPECT_TRUE(host_.runs.empty());
  EXPECT_EQ(Shown(), kBlue);
  EXPECT_TRUE(Fade().PicFrom().HasGraphic());
  EXPECT_DOUBLE_EQ(P().NextStepTime, now_ + SecondsToDays(3));
  Advance(3);
  P().SlideshowStep();
  EXPECT_EQ(Shown(), kRed);
  EXPECT_FALSE(Fade().PicFrom().HasGraphic());
  EXPECT_EQ(Fade().ColorFrom(), kRed);
}

TEST_F(PlayerTest, CounterWrapsAtHundredTimesTheFrameCountWithoutAJump) {
  WriteShow({ColourFrame(kRed, EffectNone, 0, 0), ColourFrame(kGreen, EffectNone, 0, 0),
             ColourFrame(kBlue, EffectNone, 0, 0)});
  P().StartSlideshow();
  const TColor order[3] = {kRed, kGreen, kBlue};
  std::int32_t highest = 0;
  for (int step = 1; step <= 320; ++step) {
    P().SlideshowStep();
    highest = std::max(highest, P().PlayCounter);
    ASSERT_EQ(Shown(), order[step % 3]) << "after step " << step;
    if (step == 299) {
      EXPECT_EQ(P().PlayCounter, 30);
    }
  }
  EXPECT_EQ(highest, 299);
  EXPECT_EQ(P().PlayCounter, 30 + 21);
}

TEST_F(PlayerTest, MissingOrUndecodablePictureShowsBlackAndTheShowGoesOn) {
  WritePicture("a.bmp", kRed);
  std::ofstream(PicturePath("broken.bmp"), std::ios::binary) << "BM this is no bitmap";
  WriteShow({PictureFrame("a.bmp", EffectStretch, DirectionFromLeft, 1),
             PictureFrame("gone.bmp", EffectSlide, DirectionFromLeft, 1),
             PictureFrame("broken.bmp", EffectPush, DirectionFromLeft, 1)});
  P().StartSlideshow();
  Advance(1);
  P().SlideshowStep();
  ASSERT_EQ(host_.runs.size(), 1u);
  EXPECT_EQ(host_.runs[0].to, kBlack);
  EXPECT_EQ(Shown(), kBlack);
  EXPECT_FALSE(P().LoadedPictureHeld);
  Advance(1);
  P().SlideshowStep();
  EXPECT_EQ(Shown(), kBlack);
  Advance(1);
  P().SlideshowStep();
  EXPECT_EQ(Shown(), kRed);
  EXPECT_TRUE(P().LoadedPictureHeld);
  EXPECT_TRUE(host_.logged.empty());
}

TEST_F(PlayerTest, MissingFirstPictureStartsOnBlack) {
  WritePicture("b.bmp", kBlue);
  WriteShow({PictureFrame("gone.jpg", EffectStretch, DirectionFromLeft, 1),
             PictureFrame("b.bmp", EffectStretch, DirectionFromLeft, 1)});
  P().StartSlideshow();
  ASSERT_TRUE(P().Playing);
  EXPECT_EQ(Shown(), kBlack);
  EXPECT_EQ(Fade().ColorTo(), kBlack);
  EXPECT_FALSE(P().LoadedPictureHeld);
}

TEST_F(PlayerTest, ExitRequestDuringATransitionIsPostedOnlyWhenTheStepHasEnded) {
  WriteShow({ColourFrame(kRed, EffectStretch, DirectionFromLeft, 1),
             ColourFrame(kBlue, EffectStretch, DirectionFromLeft, 7)});
  P().StartSlideshow();
  int nestedSteps = 0;
  int postedDuringRun = 0;
  host_.fadeHost.pump = [&] {
    // What the saver window's key handler does inside the run's pump.
    P().ExitRequested = true;
    P().CurrentFade()->StopRequested = true;
    if (!P().StepBusy) host_.PostExitMessage();
    // A tick handled meanwhile must not start a second step.
    ++nestedSteps;
    P().SlideshowStep();
    postedDuringRun += host_.exitsPosted;
  };
  Advance(1);
  P().SlideshowStep();
  EXPECT_EQ(nestedSteps, 1);  // the run stopped at its first drawing step
  EXPECT_EQ(host_.runs.size(), 1u);
  EXPECT_EQ(host_.exitsPosted, 1);
  EXPECT_EQ(postedDuringRun, 0);
  EXPECT_FALSE(P().StepBusy);
  // The step completed: counter, swap and deadline.
  EXPECT_EQ(P().PlayCounter, 2);
  EXPECT_EQ(P().CurrentSlot, 1);
  EXPECT_EQ(Shown(), kBlue);
  EXPECT_DOUBLE_EQ(P().NextStepTime, now_ + SecondsToDays(7));
}

TEST_F(PlayerTest, FewerThanTwoFramesPlaysNothing) {
  for (int frames = 0; frames < 2; ++frames) {
    std::vector<Frame> show;
    for (int i = 0; i < frames; ++i) show.push_back(ColourFrame(kRed, EffectStretch, 0, 0));
    WriteShow(show);
    P().StartSlideshow();
    EXPECT_FALSE(P().Playing) << frames << " frames";
    P().SlideshowStep();
    EXPECT_TRUE(host_.runs.empty());
    EXPECT_EQ(Shown(), kBlack);
    P().StopSlideshow();
  }
  // No frame-set file at all: an empty show, no error.
  fs::remove(FrameSetPath("Show"));
  P().StartSlideshow();
  EXPECT_FALSE(P().Playing);
  EXPECT_TRUE(host_.startErrors.empty());
}

TEST_F(PlayerTest, ColourFrameBeforeAPictureKeepsItsColourAcrossSwaps) {
  WritePicture("a.bmp", kRed);
  WriteShow({ColourFrame(kGreen, EffectDissolve, DirectionFromLeft, 0),
             PictureFrame("a.bmp", EffectBlend, DirectionNone, 0)});
  P().StartSlideshow();
  for (int i = 0; i < 4; ++i) P().SlideshowStep();
  ASSERT_EQ(host_.runs.size(), 4u);
  EXPECT_EQ(host_.runs[0].from, kGreen);
  EXPECT_EQ(host_.runs[1].to, kGreen);
  EXPECT_EQ(host_.runs[2].action, TAction::xDissolve);
  EXPECT_EQ(host_.runs[2].from, kGreen);  // after two swaps
  EXPECT_EQ(host_.runs[2].to, kRed);
}

TEST_F(PlayerTest, StopSlideshowFreesTheListInRunModeOnly) {
  WriteShow({ColourFrame(kRed, EffectNone, 0, 0), ColourFrame(kBlue, EffectNone, 0, 0)});
  P().StartSlideshow();
  P().SlideshowStep();
  P().StopSlideshow();
  EXPECT_FALSE(P().Playing);
  EXPECT_EQ(TheFrameList, nullptr);
  P().SlideshowStep();  // after the stop a late tick does nothing
  EXPECT_EQ(P().PlayCounter, 2);

  // The editor's whole-show preview plays the editor's list and leaves it.
  Mode = SaverMode::Configure;
  NewPlayer();
  TheFrameList = std::make_unique<FrameList>();
  AppendFrameRecord(*TheFrameList);
  for (TColor c : {kRed, kGreen}) {
    FrameRecord& r = AppendFrameRecord(*TheFrameList);
    r.PureColour = 1;
    r.Colour = c;
    r.StillTime = 0;
  }
  AppendFrameRecord(*TheFrameList);
  FrameCount = 2;
  P().StartSlideshow();
  ASSERT_TRUE(P().Playing);
  P().SlideshowStep();
  EXPECT_EQ(Shown(), kGreen);
  EXPECT_EQ(host_.ticksRemoved, 2);
  EXPECT_TRUE(host_.appWindowShown);  // the editor's application window stays
  P().StopSlideshow();
  EXPECT_NE(TheFrameList, nullptr);
  EXPECT_EQ(TheFrameList->Count(), 4u);
}

// A damaged frame-set file must not leave an exception (and the error box it
// brings) behind the full-screen window: the host is told with the player's
// state consistent.
TEST_F(PlayerTest, UnreadableFrameSetIsReportedToTheHostWithNothingPlaying) {
  WriteShow({ColourFrame(kRed, EffectNone, 0, 0), ColourFrame(kBlue, EffectNone, 0, 0)});
  std::ofstream(FrameSetPath("Show"), std::ios::binary | std::ios::app) << "torn";
  EXPECT_NO_THROW(P().StartSlideshow());
  EXPECT_FALSE(P().Playing);
  EXPECT_FALSE(P().StepBusy);
  ASSERT_EQ(host_.startErrors.size(), 1u);
  EXPECT_FALSE(host_.startErrorWhileBusy);
  P().SlideshowStep();
  EXPECT_TRUE(host_.runs.empty());
  EXPECT_EQ(Shown(), kBlack);
}

// A transition that raises an error is logged, the next frame comes on
// screen at once, and the step ends cleanly so that input can end the show.
TEST_F(PlayerTest, FailingTransitionIsLoggedAndTheShowGoesOn) {
  WriteShow({ColourFrame(kRed, EffectDissolve, DirectionFromLeft, 0),
             ColourFrame(kBlue, EffectDissolve, DirectionFromLeft, 0)});
  P().StartSlideshow();
  host_.fadeHost.pump = [] { throw std::runtime_error("drawing failed"); };
  P().ExitRequested = true;
  P().SlideshowStep();
  ASSERT_EQ(host_.logged.size(), 1u);
  EXPECT_EQ(host_.logged[0], "drawing failed");
  EXPECT_FALSE(P().StepBusy);
  EXPECT_EQ(P().PlayCounter, 2);
  EXPECT_EQ(P().CurrentSlot, 1);
  EXPECT_EQ(Shown(), kBlue);
  EXPECT_EQ(host_.exitsPosted, 1);

  // The component's own error: a dissolve on a component without pixels.
  host_.fadeHost.pump = nullptr;
  P().ExitRequested = false;
  Fade().SetBounds(0, 0, 0, 0);
  P().SlideshowStep();
  EXPECT_EQ(host_.logged.size(), 2u);
  EXPECT_FALSE(P().StepBusy);
  EXPECT_EQ(P().PlayCounter, 3);
  EXPECT_EQ(Fade().ColorFrom(), kRed);
}

// A damaged file's effect code above 7 runs nothing: the next frame still
// comes on screen and keeps its own still time.
TEST_F(PlayerTest, EffectCodeAboveSevenRunsNoTransitionButTheNextFrameComes) {
  WriteShow({ColourFrame(kRed, 9, 0, 1), ColourFrame(kBlue, EffectStretch, DirectionFromLeft, 4)});
  P().StartSlideshow();
  Advance(1);
  P().SlideshowStep();
  EXPECT_TRUE(host_.runs.empty());
  EXPECT_EQ(Shown(), kBlue);
  EXPECT_EQ(P().PlayCounter, 2);
  EXPECT_DOUBLE_EQ(P().NextStepTime, now_ + SecondsToDays(4));
}

// The picture of the previous frame goes at the start of the next step, also
// when that step brings a colour; the shown image no longer needs it.
TEST_F(PlayerTest, LoadedPictureIsReleasedByTheNextStep) {
  WritePicture("a.bmp", kRed);
  WriteShow({PictureFrame("a.bmp", EffectNone, 0, 0), ColourFrame(kBlue, EffectNone, 0, 0)});
  P().StartSlideshow();
  ASSERT_TRUE(P().LoadedPictureHeld);
  const std::weak_ptr<const Graphic> first = P().LoadedPicture;
  P().SlideshowStep();
  EXPECT_FALSE(P().LoadedPictureHeld);
  EXPECT_EQ(P().LoadedPicture, nullptr);
  EXPECT_EQ(Shown(), kBlue);
  P().SlideshowStep();
  EXPECT_TRUE(P().LoadedPictureHeld);
  EXPECT_EQ(Shown(), kRed);
  P().StopSlideshow();
  EXPECT_FALSE(P().LoadedPictureHeld);
  EXPECT_EQ(P().LoadedPicture, nullptr);
  EXPECT_TRUE(first.expired());
}

// Input and ticks handled while the components are swapped: the finished
// component stays the current one (it gets the stop request) until it has
// been hidden and freed, a nested step does nothing, and the exit request is
// posted once, when the step has ended.
TEST_F(PlayerTest, InputAndTicksDuringTheSwapWaitForTheStepToEnd) {
  WriteShow({ColourFrame(kRed, EffectNone, 0, 1), ColourFrame(kBlue, EffectNone, 0, 3)});
  P().StartSlideshow();
  TMorfFade* finished = P().CurrentFade();
  int nested = 0;
  host_.swapPump = [&] {
    ++nested;
    EXPECT_TRUE(P().StepBusy);
    EXPECT_EQ(P().CurrentFade(), finished);
    P().ExitRequested = true;
    P().CurrentFade()->StopRequested = true;
    if (!P().StepBusy) host_.PostExitMessage();
    P().SlideshowStep();
    EXPECT_EQ(host_.exitsPosted, 0);
  };
  Advance(1);
  P().SlideshowStep();
  EXPECT_EQ(nested, 2);
  EXPECT_EQ(P().PlayCounter, 2);
  EXPECT_EQ(P().CurrentSlot, 1);
  EXPECT_EQ(P().FadeSlots[0], nullptr);
  EXPECT_FALSE(Fade().StopRequested);  // the fresh component has not run yet
  EXPECT_EQ(Shown(), kBlue);
  EXPECT_EQ(host_.exitsPosted, 1);
  EXPECT_FALSE(P().StepBusy);
}

// Loading pictures ahead changes only when their pixels are made: the same
// frames, effects (random ones included), black failed pictures and still
// times come, in the same order, with the worker and without. With it, every
// picture a step brings is the one the worker loaded for the component's size.
TEST_F(PlayerTest, PicturesLoadedAheadPlayTheSameShowAsPicturesLoadedOnTheSpot) {
  MemoryImage24 green(40, 30);
  green.Fill(kGreen);
  const std::vector<std::uint8_t> jpeg = EncodeJpeg(green, 95);
  std::ofstream(PicturePath("g.jpg"), std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));
  std::ofstream(PicturePath("cut.jpg"), std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()), 20);
  WritePicture("r.bmp", kRed);
  WriteShow({PictureFrame("g.jpg", EffectAny, 0, 1), PictureFrame("gone.jpg", EffectAny, 0, 2),
             PictureFrame("r.bmp", EffectBlend, DirectionNone, 0), PictureFrame("cut.jpg", EffectAny, 0, 1),
             ColourFrame(kBlue, EffectAny, 0, 3), PictureFrame("g.jpg", EffectDissolve, DirectionFromLeft, 1)});
  std::mutex mutex;
  std::vector<std::shared_ptr<const Graphic>> loadedAhead;
  const PictureWorker::Loader loader = [&](const std::string& path, int width, int height, const std::atomic<bool>& cancel) {
    EXPECT_EQ(width * 100 + height, kSize * 100 + kSize);
    auto graphic = PictureWorker::LoadAndPrepare(path, width, height, cancel);
    std::lock_guard lock(mutex);
    loadedAhead.push_back(graphic);
    return graphic;
  };
  int takenFromTheWorker = 0;
  // Per step: action, direction, from and to of the run, what is shown, and the still time after.
  auto play = [&](bool worker) {
    P().PictureWorkerEnabled = worker;
    P().PictureAheadLoader = loader;
    SetRandSeed(20241208);
    SetFixedRandomizeSeed(1208);  // the dissolves reseed
    P().StartSlideshow();
    std::vector<std::vector<double>> steps;
    for (int step = 0; step < 14; ++step) {
      now_ = P().NextStepTime;
      P().SlideshowStep();
      const RunRecord& run = host_.runs.back();
      steps.push_back({double(run.action), double(run.direction), double(run.from), double(run.to), double(Shown()),
                       double(P().LoadedPictureHeld), P().NextStepTime - now_});
      std::lock_guard lock(mutex);
      takenFromTheWorker += P().LoadedPicture && std::count(loadedAhead.begin(), loadedAhead.end(), P().LoadedPicture);
    }
    P().StopSlideshow();
    NewPlayer();
    return steps;
  };
  const auto onTheSpot = play(false);
  const auto ahead = play(true);
  SetFixedRandomizeSeed(std::nullopt);
  EXPECT_EQ(ahead, onTheSpot);
  EXPECT_EQ(takenFromTheWorker, 7);  // the steps that brought g.jpg and r.bmp
  // The failed pictures came on black.
  const std::vector<TColor> shown = {TColor(onTheSpot[0][4]), TColor(onTheSpot[1][4]), TColor(onTheSpot[2][4])};
  EXPECT_EQ(shown, (std::vector<TColor>{kBlack, kRed, kBlack}));
}

// Two monitors of different proportions: one show, each frame fitted to each
// monitor's component, every transition run on both with the same drawn
// effect, and the swap keeping each monitor's place. The picture coming next
// is loaded once and prepared at both sizes.
TEST_F(PlayerTest, EveryMonitorPlaysTheShowFittedToItsOwnSize) {
  MemoryImage24 green(40, 30);
  green.Fill(kGreen);
  const std::vector<std::uint8_t> jpeg = EncodeJpeg(green, 95);
  std::ofstream(PicturePath("g.jpg"), std::ios::binary)
      .write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));
  WritePicture("r.bmp", kRed);
  WriteShow({PictureFrame("r.bmp", EffectAny, 0, 1), PictureFrame("g.jpg", EffectAny, 0, 1),
             ColourFrame(kBlue, EffectAny, 0, 1)});
  const Rect places[] = {{0, 0, kSize, kSize}, {kSize, 0, kSize + 30, 10}};
  host_.monitors = 2;
  std::vector<bool> preparedAtBothSizes;
  host_.onFirstReset = [&](TMorfFade& first) {
    const auto* picture = dynamic_cast<const JpegGraphic*>(first.PicTo().GetGraphic().get());
    if (!picture || first.PicFrom().GetGraphic().get() == picture) return;
    bool both = true;
    for (const Rect& place : places) {
      const Rect fit = FitRect(40, 30, place.Width(), place.Height());
      both = both && picture->Keeps(fit.Width(), fit.Height());
    }
    preparedAtBothSizes.push_back(both);
  };
  player_ = std::make_unique<SlideshowPlayer>(host_, Mode);
  host_.player = player_.get();
  P().FadeSlots[0] = host_.CreateFadeSlot();
  for (std::size_t i = 0; i < 2; ++i) {
    TMorfFade& fade = P().FadeSlots[0]->FadeAt(i);
    fade.SetColorTo(kBlack);
    fade.SetProcessMsgs(true);
    fade.SetBounds(places[i].left, places[i].top, places[i].Width(), places[i].Height());
  }
  SetRandSeed(151);
  P().StartSlideshow();
  ASSERT_TRUE(P().Playing);
  const TColor expected[] = {kGreen, kBlue, kRed, kGreen, kBlue, kRed};
  for (int step = 0; step < 6; ++step) {
    SCOPED_TRACE(step);
    const std::size_t before = host_.runs.size();
    now_ = P().NextStepTime;
    P().SlideshowStep();
    ASSERT_EQ(host_.runs.size(), before + 2);
    const RunRecord& a = host_.runs[before];
    const RunRecord& b = host_.runs[before + 1];
    EXPECT_EQ(a.action, b.action);
    EXPECT_EQ(a.direction, b.direction);
    const std::vector<TMorfFade*> fades = P().CurrentFades();
    ASSERT_EQ(fades.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(fades[i]->BoundsRect(), places[i]);
      EXPECT_EQ(fades[i]->FromImage().Width(), places[i].Width());
      const TMorfFade& f = *fades[i];
      const TColor shown = f.FromImage().PixelAt(f.Width() / 2, f.Height() / 2);
      for (int shift : {0, 8, 16})  // the JPEG's green within its rounding
        EXPECT_NEAR(int(shown >> shift & 0xFF), int(expected[step] >> shift & 0xFF), 3) << shown;
    }
    // The wide monitor shows the 4:3 picture between black bars.
    if (expected[step] == kGreen) {
      EXPECT_EQ(fades[1]->FromImage().PixelAt(0, 5), kBlack);
    }
  }
  // Both times the JPEG came, it was ready at both sizes before either
  // component drew it.
  EXPECT_GE(preparedAtBothSizes.size(), 2u);
  EXPECT_EQ(std::count(preparedAtBothSizes.begin(), preparedAtBothSizes.end(), false), 0);
}

// Captions: the option comes from the show's header record; each picture
// brought on screen gets its caption with its own number, the first one at
// the start and every later one on the worker during the still time (never
// in the step); colour frames get none; the caption's picture is the one
// shown. Without the option, or with the worker off, see the table.
TEST_F(PlayerTest, CaptionsAreDrawnAheadWithEachPicturesNumberAndNeverOnColourFrames) {
  struct Case {
    CaptionMode mode;
    bool worker;
    std::vector<int> sequences;  // of the captions drawn, in order
    int drawnInSteps;            // how many of them on the step's thread
  };
  const Case cases[] = {{CaptionMode::FileName, true, {0, 1, 2, 3, 4}, 0},
                        {CaptionMode::DateAndFolder, false, {0, 1, 2, 3, 4}, 4},
                        {CaptionMode::None, true, {}, 0}};
  WritePicture("r.bmp", kRed);
  WritePicture("g.bmp", kGreen);
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.mode));
    WriteShow({PictureFrame("r.bmp", EffectNone, 0, 1), ColourFrame(kBlue, EffectNone, 0, 1),
               PictureFrame("g.bmp", EffectNone, 0, 1)});
    {
      std::fstream file(FrameSetPath("Show"), std::ios::in | std::ios::out | std::ios::binary);
      FrameRecord header{};
      WriteShowOptions(header, ShowOptions{false, c.mode});
      file.seekp(236);
      file.write(reinterpret_cast<const char*>(&header.Reserved236), 4);
    }
    std::mutex mutex;
    std::vector<int> sequences;
    std::vector<std::string> files;
    int onStepThread = 0;
    bool started = false;
    const std::thread::id ui = std::this_thread::get_id();
    P().PictureWorkerEnabled = c.worker;
    P().Captioner = [&](const std::shared_ptr<const Graphic>& picture, const std::string& path, CaptionMode mode,
                        int sequence, const std::vector<PictureWorker::DrawnSize>& sizes, const std::atomic<bool>&) {
      std::lock_guard lock(mutex);
      EXPECT_EQ(mode, c.mode);
      EXPECT_EQ(sizes.size(), 1u);
      EXPECT_EQ(sizes[0].width * 100 + sizes[0].height, kSize * 100 + kSize);
      sequences.push_back(sequence);
      files.push_back(fs::path(path).filename().string());
      if (started && std::this_thread::get_id() == ui) ++onStepThread;
      return std::make_shared<CaptionedGraphic>(picture, std::vector<std::shared_ptr<const MemoryImage24>>{});
    };
    P().StartSlideshow();
    started = true;
    std::vector<TColor> shown{Shown()};
    for (int step = 0; step < 6; ++step) {
      now_ = P().NextStepTime;
      P().SlideshowStep();
      shown.push_back(Shown());
      const bool picture = shown.back() != kBlue;
      EXPECT_EQ(dynamic_cast<const CaptionedGraphic*>(Fade().PicFrom().GetGraphic().get()) != nullptr,
                picture && c.mode != CaptionMode::None)
          << step;
    }
    EXPECT_EQ(shown, (std::vector<TColor>{kRed, kBlue, kGreen, kRed, kBlue, kGreen, kRed}));
    P().StopSlideshow();
    std::lock_guard lock(mutex);
    EXPECT_EQ(sequences, c.sequences);
    if (!c.sequences.empty()) {
      EXPECT_EQ(files, (std::vector<std::string>{"r.bmp", "g.bmp", "r.bmp", "g.bmp", "r.bmp"}));
    }
    EXPECT_EQ(onStepThread, c.drawnInSteps);
    NewPlayer();
  }
}

}  // namespace
}  // namespace velmora
