// The player over shows with folder frames: a folder plays as the run of
// its pictures with the frame's effect and still time, is read again every
// round, passes over what is gone or does not decode, and never holds up
// the show while a folder is slow; shuffled shows play each picture once a
// round.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/DateTime.h"
#include "app/Random.h"
#include "app/Startup.h"
#include "fade/MorfFade.h"
#include "frames/EffectCatalogue.h"
#include "frames/FrameList.h"
#include "frames/FrameSet.h"
#include "frames/ShowOptions.h"
#include "saver/Caption.h"
#include "saver/Player.h"
#include "support/FakeFade.h"
#include "support/FakeSlot.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr TColor kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF, kYellow = 0x00FFFF;
constexpr int kSize = 16;

class Host final : public PlayerHost {
 public:
  void ShowApplicationWindow(bool) override {}
  void RemovePendingTick() override {}
  void PostExitMessage() override { ++exitsPosted; }
  std::unique_ptr<FadeSlot> CreateFadeSlot() override {
    auto slot = std::make_unique<testing::ComponentsSlot>(1, images, surface, fadeHost);
    slot->Fade().OnBegin = [this](TMorfFade& f) { runs.push_back(f.Action()); };
    return slot;
  }
  void ProcessMessages() override {}
  void LogError(const std::string&) override {}
  void ShowStartError(const std::string&) override {}

  MemoryImageFactory images;
  testing::FakeSurface surface;
  testing::FakeHost fadeHost;
  std::vector<TAction> runs;
  int exitsPosted = 0;
};

// An 8 x 8 bottom-up 24-bit bitmap of one colour.
std::string SolidBmp(TColor colour) {
  std::string bmp = "BM";
  auto put = [&bmp](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) bmp.push_back(char(value >> (8 * i)));
  };
  put(54 + 24 * 8, 4), put(0, 4), put(54, 4), put(40, 4), put(8, 4), put(8, 4), put(1, 2), put(24, 2);
  put(0, 4), put(24 * 8, 4), put(2835, 4), put(2835, 4), put(0, 4), put(0, 4);
  for (int i = 0; i < 64; ++i) bmp += {char(colour >> 16), char(colour >> 8), char(colour)};
  return bmp;
}

struct Frame {
  std::string path;  // a picture or folder under the test directory; "" for a colour
  TColor colour = 0;
  std::int32_t effect = EffectNone;
  std::int32_t still = 1;
  bool folder = false;
};
Frame Colour(TColor colour, std::int32_t still = 1) { return {"", colour, EffectNone, still, false}; }
Frame Folder(std::string path, std::int32_t effect = EffectNone, std::int32_t still = 1) {
  return {std::move(path), 0, effect, still, true};
}

class FolderShowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("velmora-folder-show-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    savedMode_ = Mode;
    savedSystemDir_ = SystemDir;
    savedBaseName_ = SaverBaseName;
    Mode = SaverMode::Run;
    SystemDir = dir_.string();
    SaverBaseName = "Show";
    TheFrameList.reset();
    SetNowClock([this] { return now_; });
    player_ = std::make_unique<SlideshowPlayer>(host_, Mode);
    player_->FadeSlots[0] = host_.CreateFadeSlot();
    Fade().SetColorTo(kBlack);
    Fade().SetBounds(0, 0, kSize, kSize);
  }
  void TearDown() override {
    player_->StopSlideshow();
    player_.reset();
    TheFrameList.reset();
    SetNowClock({});
    Mode = savedMode_;
    SystemDir = savedSystemDir_;
    SaverBaseName = savedBaseName_;
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
  void WritePicture(const std::string& name, TColor colour) {
    fs::create_directories(fs::path(PathOf(name)).parent_path());
    std::ofstream(PathOf(name), std::ios::binary) << SolidBmp(colour);
  }
  void WriteShow(const std::vector<Frame>& frames, bool shuffle = false, CaptionMode caption = CaptionMode::None) {
    FrameList list;
    WriteShowOptions(AppendFrameRecord(list), ShowOptions{shuffle, caption});
    list[0].SetPath("Show");
    for (const Frame& f : frames) {
      FrameRecord& r = AppendFrameRecord(list);
      if (!f.path.empty()) r.SetPath(PathOf(f.path));
      r.PureColour = f.path.empty() ? 1 : 0;
      r.Colour = f.colour;
      r.Effect = f.effect;
      r.StillTime = f.still;
      if (f.folder) SetFolderFrame(r, true);
    }
    AppendFrameRecord(list);
    WriteFrameSetFile(FrameSetPath("Show"), list);
  }

  SlideshowPlayer& P() { return *player_; }
  TMorfFade& Fade() { return *P().CurrentFade(); }
  TColor Shown() { return Fade().FromImage().PixelAt(kSize / 2, kSize / 2); }

  // Steps at the deadline until the next entry has come (the folders are
  // read on threads: the clock goes on with real time meanwhile). Returns
  // what is then shown, or kBlack + 1 when nothing came within 5 s.
  TColor Next() {
    const std::int32_t before = P().PlayCounter;
    now_ = std::max(now_, P().NextStepTime);
    for (const auto until = Clock::now() + std::chrono::seconds(5); Clock::now() < until;) {
      P().SlideshowStep();
      if (P().PlayCounter != before) return Shown();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      now_ += SecondsToDays(0.002);
    }
    return kBlack + 1;
  }
  std::vector<TColor> Play(int steps) {
    std::vector<TColor> shown;
    for (int i = 0; i < steps; ++i) shown.push_back(Next());
    return shown;
  }

  Host host_;
  std::unique_ptr<SlideshowPlayer> player_;
  TDateTime now_ = 45000.5;
  fs::path dir_;
  SaverMode savedMode_{};
  std::string savedSystemDir_;
  std::string savedBaseName_;
};

TEST_F(FolderShowTest, AFolderPlaysItsPicturesInNaturalOrderWithItsEffectAndStillTimeThenTheShowGoesOn) {
  WritePicture("f/10.bmp", kBlue);
  WritePicture("f/2.bmp", kGreen);
  WritePicture("f/1.bmp", kRed);
  std::ofstream(PathOf("f/notes.txt")) << "not a picture";
  WriteShow({Colour(kWhite), Folder("f", EffectStretch, 2)});
  P().StartSlideshow();
  ASSERT_TRUE(P().Playing);
  EXPECT_EQ(Shown(), kWhite);
  EXPECT_EQ(Next(), kRed);
  EXPECT_TRUE(host_.runs.empty());  // the white frame leaves without an effect
  EXPECT_DOUBLE_EQ(P().NextStepTime, now_ + SecondsToDays(2));
  EXPECT_EQ(Play(3), (std::vector<TColor>{kGreen, kBlue, kWhite}));
  EXPECT_EQ(host_.runs, std::vector<TAction>(3, TAction::Stretch));
  EXPECT_EQ(Play(2), (std::vector<TColor>{kRed, kGreen}));  // the next round
}

// Every round reads the folder again: what was added comes; what was
// deleted, or does not decode, is passed over without a black frame, with
// the worker loading ahead and without.
TEST_F(FolderShowTest, EachRoundReadsTheFolderAgainAndPassesOverWhatDoesNotLoad) {
  for (const bool worker : {false, true}) {
    WritePicture("f/1.bmp", kRed);
    WritePicture("f/2.bmp", kGreen);
    std::ofstream(PathOf("f/3.bmp"), std::ios::binary) << "BM no bitmap";
    WritePicture("f/4.bmp", kBlue);
    fs::remove(PathOf("f/5.bmp"));
    WriteShow({Colour(kWhite), Folder("f")});
    P().PictureWorkerEnabled = worker;
    P().StartSlideshow();
    EXPECT_EQ(Next(), kRed);
    if (!worker) fs::remove(PathOf("f/2.bmp"));  // (the worker has it loaded by now)
    WritePicture("f/5.bmp", kYellow);
    const std::vector<TColor> expected = worker ? std::vector<TColor>{kGreen, kBlue, kWhite, kRed, kGreen, kBlue, kYellow}
                                                : std::vector<TColor>{kBlue, kWhite, kRed, kBlue, kYellow, kWhite, kRed};
    EXPECT_EQ(Play(7), expected) << "worker " << worker;
    P().StopSlideshow();
  }
}

// Folders without pictures, missing, or naming a file, play nothing and
// cost no still time: the next frame comes at the deadline of the last.
TEST_F(FolderShowTest, EmptyMissingOrFileFoldersCostNoStillTime) {
  fs::create_directories(dir_ / "empty");
  WritePicture("file.bmp", kGreen);
  WriteShow({Colour(kRed, 3), Folder("empty", EffectNone, 5), Folder("missing", EffectNone, 5),
             Folder("file.bmp", EffectNone, 5), Colour(kBlue, 3)});
  P().StartSlideshow();
  const TDateTime redEnds = P().NextStepTime;
  EXPECT_EQ(Next(), kBlue);
  EXPECT_LT(now_ - redEnds, SecondsToDays(0.5));
  EXPECT_EQ(Next(), kRed);
}

// A folder that does not answer: no step waits for it (so input, handled
// between steps, still ends the show at once), and after a while the frame
// is passed over this round.
TEST_F(FolderShowTest, ASlowFolderNeverHoldsUpTheShow) {
  std::atomic<bool> release{false};
  P().FolderLister = [&release](const std::string&, bool, const FolderPictureVisitor&, const std::atomic<bool>*) {
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return false;
  };
  WriteShow({Colour(kRed), Folder("share"), Colour(kBlue)});
  const auto start = Clock::now();
  P().StartSlideshow();
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_EQ(Shown(), kRed);
  Clock::duration longest{};
  const TDateTime redEnds = P().NextStepTime;
  for (now_ = redEnds; P().PlayCounter == 1 && now_ < redEnds + SecondsToDays(10); now_ += SecondsToDays(0.1)) {
    const auto before = Clock::now();
    P().SlideshowStep();
    longest = std::max(longest, Clock::now() - before);
    EXPECT_FALSE(P().StepBusy);
    if (now_ < redEnds + SecondsToDays(0.9)) {
      EXPECT_EQ(Shown(), kRed);
    }
  }
  EXPECT_LT(longest, std::chrono::milliseconds(100));
  EXPECT_EQ(Shown(), kBlue);
  EXPECT_LT(now_ - redEnds, SecondsToDays(ShowSequence::kSlowListingSeconds + 0.5));
  release = true;
}

// Shuffled, the folders' pictures and the single frames come each once a
// round, in an order that changes from round to round.
TEST_F(FolderShowTest, ShuffledShowPlaysEveryPictureOnceARound) {
  WritePicture("a/1.bmp", kRed);
  WritePicture("a/2.bmp", kGreen);
  WritePicture("b/1.bmp", kBlue);
  WritePicture("single.bmp", kYellow);
  WriteShow({Folder("a"), Frame{"single.bmp", 0, EffectNone, 1, false}, Colour(kWhite), Folder("b")}, true);
  // Each new component reseeds the generator from the clock: a clock that
  // moves on at every reading (a coarse system clock may not).
  SetRandomizeClock([ms = 424242u]() mutable { return ms += 7919; });
  P().StartSlideshow();
  std::vector<TColor> shown{Shown()};
  const std::vector<TColor> rest = Play(14);
  shown.insert(shown.end(), rest.begin(), rest.end());
  std::set<std::vector<TColor>> orders;
  for (std::size_t round = 0; round < 3; ++round) {
    const std::vector<TColor> one(shown.begin() + std::ptrdiff_t(round * 5), shown.begin() + std::ptrdiff_t(round * 5 + 5));
    EXPECT_EQ(std::set<TColor>(one.begin(), one.end()), (std::set<TColor>{kRed, kGreen, kBlue, kYellow, kWhite}))
        << "round " << round;
    orders.insert(one);
    if (round > 0) {
      EXPECT_NE(shown[round * 5], shown[round * 5 - 1]) << "round " << round;
    }
  }
  EXPECT_GT(orders.size(), 1u);
  SetRandomizeClock({});
}

// Captions in a show with folders: each picture of a folder gets its own
// caption, named after its own file, numbered in the order shown; one passed
// over leaves its number to the next; colour frames get none.
TEST_F(FolderShowTest, EachPictureOfAFolderGetsItsOwnCaptionInTheOrderShown) {
  WritePicture("f/1.bmp", kRed);
  std::ofstream(PathOf("f/2.bmp"), std::ios::binary) << "BM no bitmap";
  WritePicture("f/3.bmp", kGreen);
  WriteShow({Colour(kWhite), Folder("f")}, false, CaptionMode::FileName);
  std::mutex mutex;
  std::vector<std::pair<std::string, int>> drawn;  // file and number, in the order drawn
  P().Captioner = [&](const std::shared_ptr<const Graphic>& picture, const std::string& path, CaptionMode,
                      int sequence, const std::vector<PictureWorker::DrawnSize>&, const std::atomic<bool>&) {
    std::lock_guard lock(mutex);
    drawn.emplace_back(fs::path(path).filename().string(), sequence);
    return std::make_shared<CaptionedGraphic>(picture, std::vector<std::shared_ptr<const MemoryImage24>>{});
  };
  P().StartSlideshow();
  std::vector<bool> captioned;
  for (int step = 0; step < 5; ++step) {
    Next();
    captioned.push_back(dynamic_cast<const CaptionedGraphic*>(Fade().PicFrom().GetGraphic().get()) != nullptr);
  }
  P().StopSlideshow();
  // 1, 3, white, 1, 3
  EXPECT_EQ(captioned, (std::vector<bool>{true, true, false, true, true}));
  std::lock_guard lock(mutex);
  ASSERT_GE(drawn.size(), 4u);
  const std::vector<std::pair<std::string, int>> first(drawn.begin(), drawn.begin() + 4);
  EXPECT_EQ(first, (std::vector<std::pair<std::string, int>>{{"1.bmp", 1}, {"3.bmp", 2}, {"1.bmp", 3}, {"3.bmp", 4}}));
}

}  // namespace
}  // namespace velmora
