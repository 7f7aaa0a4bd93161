#include "saver/SaverSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/DateTime.h"
#include "app/Startup.h"
#include "fade/MorfFade.h"
#include "frames/EffectCatalogue.h"
#include "frames/FrameList.h"
#include "frames/FrameSet.h"
#include "support/FakeFade.h"
#include "support/FakeSlot.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using Calls = std::vector<std::string>;

constexpr TColor kRed = 0x0000FF;
constexpr TColor kBlue = 0xFF0000;

using FakeSlot = testing::ComponentsSlot;

// The saver window as the session sees it: every call, by name, in order.
class FakePort final : public SaverPort {
 public:
  void ShowApplicationWindow(bool show) override { Log(show ? "ShowApp" : "HideApp"); }
  void RemovePendingTick() override {}
  bool PostExitMessage() override {
    Log("PostExit");
    return true;
  }
  std::unique_ptr<FadeSlot> CreateFadeSlot() override {
    Log("CreateSlot");
    if (failSlots) throw std::runtime_error("out of windows");
    return std::make_unique<FakeSlot>(monitors.size(), images, surface, fadeHost);
  }
  void ProcessMessages() override {}
  void LogError(const std::string& message) override { Log("Log:" + message); }
  std::vector<Rect> CoverScreen() override {
    Log("CoverScreen");
    return monitors;
  }
  void MakeTopMost() override { Log("TopMost"); }
  void ShowSaverWindow() override { Log("Show"); }
  void CloseSaverWindow() override { Log("Close"); }
  void InstallIdleHandler() override { Log("Idle+"); }
  void RemoveIdleHandler() override { Log("Idle-"); }
  void StartTimer1() override { Log("Timer+"); }
  void StopTimer1() override { Log("Timer-"); }
  void SetScreenSaverRunning(bool running) override { Log(running ? "Running+" : "Running-"); }
  void ShowPointer(bool shown) override { Log(shown ? "Pointer+" : "Pointer-"); }
  void CaptureMouse(bool capture) override { Log(capture ? "Capture+" : "Capture-"); }
  void AskPassword() override {
    Log("AskPassword");
    // The window answers at once (its dialog is modal); unset: the answer
    // is still to come.
    if (answer) session->PasswordAnswered(*answer);
  }
  void ShowErrorInFront(const std::string& message) override { Log("Error:" + message); }

  int Count(const std::string& call) const { return int(std::count(calls.begin(), calls.end(), call)); }

  SaverSession* session = nullptr;
  std::optional<bool> answer = true;
  bool failSlots = false;
  std::vector<Rect> monitors{{0, 0, 32, 24}};
  Calls calls;
  MemoryImageFactory images;
  testing::FakeSurface surface;
  testing::FakeHost fadeHost;  // onProcessMessages: input during a run

 private:
  void Log(std::string call) { calls.push_back(std::move(call)); }
};

class SaverSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    dir_ = fs::temp_directory_path() / ("velmora-session-" + std::to_string(counter++) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    savedMode_ = Mode;
    savedSystemDir_ = SystemDir;
    savedBaseName_ = SaverBaseName;
    SystemDir = dir_.string();
    SaverBaseName = "Show";
    EditorPreviewActive = false;
    TheFrameList.reset();
    FrameCount = 0;
    SetNowClock([this] { return now_; });
  }

  void TearDown() override {
    session_.reset();
    TheFrameList.reset();
    EditorPreviewActive = false;
    SetNowClock({});
    Mode = savedMode_;
    SystemDir = savedSystemDir_;
    SaverBaseName = savedBaseName_;
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // Red, then blue, each for one second, each leaving with a stretch.
  void WriteShow(int frames = 2) {
    FrameList list;
    AppendFrameRecord(list).SetPath("Show");
    for (int i = 0; i < frames; ++i) {
      FrameRecord& r = AppendFrameRecord(list);
      r.PureColour = 1;
      r.Colour = i % 2 == 0 ? kRed : kBlue;
      r.Effect = EffectStretch;
      r.Direction = DirectionFromLeft;
      r.StillTime = 1;
    }
    AppendFrameRecord(list);
    WriteFrameSetFile(FrameSetPath("Show"), list);
    // The editor's preview plays the list in memory.
    TheFrameList = std::make_unique<FrameList>(std::move(list));
    FrameCount = frames;
  }

  // The window made (FormCreate); the calls so far forgotten.
  SaverSession& Open(SaverMode mode, bool isEditorExe = false) {
    session_ = std::make_unique<SaverSession>(port_, mode, isEditorExe);
    port_.session = session_.get();
    session_->FormCreate();
    port_.calls.clear();
    return *session_;
  }

  // The window made and the show started as the mode starts it.
  SaverSession& Play(SaverMode mode, bool isEditorExe = false) {
    SaverSession& session = Open(mode, isEditorExe);
    if (mode == SaverMode::Preview)
      session.StartPreview(32, 24);
    else
      session.FormActivate();
    port_.calls.clear();
    return session;
  }

  // Runs the step that is due, with `duringRun` done inside the
  // transition's first message pump.
  void StepWith(std::function<void()> duringRun) {
    port_.fadeHost.onProcessMessages = [&, once = true]() mutable {
      if (once && duringRun) duringRun();
      once = false;
    };
    now_ += SecondsToDays(1);
    session_->TickMessage();
    port_.fadeHost.onProcessMessages = nullptr;
  }

  FakePort port_;
  std::unique_ptr<SaverSession> session_;
  TDateTime now_ = 45000.5;
  fs::path dir_;
  SaverMode savedMode_{};
  std::string savedSystemDir_;
  std::string savedBaseName_;
};

// ------------------------------------------------------------ mouse movement

struct MoveCase {
  const char* name;
  std::int32_t grace;
  std::vector<std::pair<int, int>> moves;
  bool leaves;
};

// A movement counts only at 3 pixels or more on both axes at once from the
// reference point, which the first movement sets and ignored ones keep.
TEST_F(SaverSessionTest, MouseMovementEndsTheSaverOnlyWhenItIsThreePixelsOnBothAxes) {
  const MoveCase cases[] = {
      {"first movement sets the reference only", 0, {{100, 100}}, false},
      {"jitter of one or two pixels", 0, {{100, 100}, {101, 101}, {102, 102}, {100, 100}, {101, 102}, {98, 98}}, false},
      {"long horizontal movement", 0, {{100, 100}, {400, 101}, {130, 102}, {0, 100}}, false},
      {"long vertical movement", 0, {{100, 100}, {101, 600}, {98, 0}}, false},
      {"three and two", 0, {{100, 100}, {103, 102}, {98, 103}}, false},
      {"diagonal of exactly three", 0, {{100, 100}, {103, 103}}, true},
      {"diagonal up and left", 0, {{100, 100}, {97, 97}}, true},
      {"ignored moves keep the reference", 0, {{100, 100}, {102, 102}, {103, 103}}, true},
      {"far on both axes", 0, {{0, 0}, {900, 700}}, true},
      {"grace: five moves ignored, the sixth is the reference", 5,
       {{0, 0}, {50, 50}, {100, 100}, {150, 150}, {200, 200}, {10, 10}}, false},
      {"grace, then a real movement", 5, {{0, 0}, {50, 50}, {100, 100}, {150, 150}, {200, 200}, {10, 10}, {13, 13}}, true},
  };
  for (const MoveCase& c : cases) {
    SCOPED_TRACE(c.name);
    SaverSession& session = Open(SaverMode::Run);
    session.MouseMoveGrace = c.grace;
    for (auto [x, y] : c.moves) session.FormMouseMove(x, y);
    EXPECT_EQ(session.ExitRequested, c.leaves);
    EXPECT_EQ(port_.Count("PostExit"), c.leaves ? 1 : 0);
    EXPECT_EQ(session.CurrentFade()->StopRequested, c.leaves);
    EXPECT_EQ(session.MouseMoveGrace, std::max(0, c.grace - int(c.moves.size())));
  }
}

TEST_F(SaverSessionTest, AfterAMovementAskedToLeaveMovementIsNotLookedAtAgain) {
  SaverSession& session = Open(SaverMode::Run);
  session.FormMouseMove(10, 10);
  session.FormMouseMove(20, 20);
  ASSERT_EQ(session.LastMouseX, 20);
  port_.answer = false;
  session.ExitMessage();  // the password is refused, the show stays
  ASSERT_EQ(session.MouseMoveGrace, 5);
  // More than the grace: watched, the last two would end the saver.
  for (int i = 1; i <= 7; ++i) session.FormMouseMove(40 * i, 40 * i);
  EXPECT_EQ(session.LastMouseX, 20);
  EXPECT_EQ(session.MouseMoveGrace, 5);
  EXPECT_EQ(port_.Count("PostExit"), 1);
}

// ------------------------------------------------------------ input by mode

struct InputCase {
  SaverMode mode;
  const char* input;  // "key", "button", "move"
  bool leaves;
};

TEST_F(SaverSessionTest, KeysButtonsAndMovementEndTheShowExceptInThePreview) {
  const InputCase cases[] = {
      {SaverMode::Run, "key", true},        {SaverMode::Run, "button", true},
      {SaverMode::Run, "move", true},       {SaverMode::Configure, "key", true},
      {SaverMode::Configure, "button", true}, {SaverMode::Configure, "move", true},
      {SaverMode::Preview, "key", false},   {SaverMode::Preview, "button", false},
      {SaverMode::Preview, "move", false},
  };
  for (const InputCase& c : cases) {
    SCOPED_TRACE(std::string(c.input) + " in mode " + std::to_string(int(c.mode)));
    WriteShow();
    SaverSession& session = Play(c.mode);
    const std::string input = c.input;
    if (input == "key") session.FormKeyDown();
    if (input == "button") session.FormMouseDown();
    if (input == "move") {
      session.FormMouseMove(5, 5);
      session.FormMouseMove(50, 50);
    }
    EXPECT_EQ(session.ExitRequested, c.leaves);
    EXPECT_EQ(port_.calls, c.leaves ? Calls{"PostExit"} : Calls{});
  }
}

// A held key repeats: one ExitMessage waits in the queue at a time.
TEST_F(SaverSessionTest, RepeatedInputPostsOneExitMessageUntilItArrives) {
  WriteShow();
  SaverSession& session = Play(SaverMode::Configure);
  for (int i = 0; i < 4; ++i) session.FormKeyDown();
  EXPECT_EQ(port_.Count("PostExit"), 1);
  session.ExitMessage();
  EXPECT_EQ(port_.Count("Close"), 1);
}

// ------------------------------------------------------------ during a step

// Input during a transition stops it at its next drawing step; the step
// completes and then posts the exit request, never in its middle.
TEST_F(SaverSessionTest, LeaveRequestDuringAStepIsPostedWhenTheStepEnds) {
  WriteShow();
  SaverSession& session = Play(SaverMode::Run);
  TMorfFade* running = session.CurrentFade();
  Calls duringRun;
  StepWith([&] {
    session.FormKeyDown();
    session.TickMessage();  // a nested tick does nothing
    session.ExitMessage();  // nor would an exit message
    duringRun = port_.calls;
    EXPECT_TRUE(running->StopRequested);
  });
  EXPECT_EQ(std::count(duringRun.begin(), duringRun.end(), "PostExit"), 0);
  EXPECT_EQ(port_.Count("PostExit"), 1);
  EXPECT_FALSE(session.StepBusy);
  EXPECT_EQ(session.PlayCounter, 2);
  EXPECT_EQ(session.CurrentSlot, 1);
  EXPECT_EQ(port_.Count("Close"), 0);
  session.ExitMessage();
  EXPECT_EQ(port_.Count("AskPassword"), 1);
  EXPECT_EQ(port_.Count("Close"), 1);
}

// The preview host hidden: the timer stops and the show ends, at once when
// no step runs, else when the step ends.
TEST_F(SaverSessionTest, HiddenHostEndsThePreviewAfterTheRunningStep) {
  WriteShow();
  SaverSession& session = Play(SaverMode::Preview);
  StepWith([&] {
    session.Timer1Timer(false);
    EXPECT_EQ(port_.Count("PostExit"), 0);
  });
  EXPECT_EQ(port_.calls, (Calls{"HideApp", "Timer-", "CreateSlot", "PostExit"}));
  EXPECT_TRUE(session.ExitRequested);
  session.ExitMessage();
  EXPECT_EQ(port_.calls.back(), "Close");
  EXPECT_TRUE(session.FormCloseQuery());
  EXPECT_FALSE(session.Playing);
}

// Fewer than two frames: the preview stays black, but its timer runs and
// still notices the host going.
TEST_F(SaverSessionTest, PreviewWithoutAShowStillEndsWhenTheHostHides) {
  WriteShow(1);
  SaverSession& session = Open(SaverMode::Preview);
  session.StartPreview(32, 24);
  EXPECT_FALSE(session.Playing);
  EXPECT_EQ(port_.calls, (Calls{"ShowApp", "Timer+"}));
  EXPECT_EQ(session.CurrentFade()->BoundsRect(), (Rect{0, 0, 32, 24}));
  port_.calls.clear();
  session.Timer1Timer(true);
  session.Timer1Timer(false);
  session.ExitMessage();
  EXPECT_EQ(port_.calls, (Calls{"Timer-", "PostExit", "Close"}));
}

// ------------------------------------------------------------ the show ends

struct ExitCase {
  const char* name;
  SaverMode mode;
  bool editorPreview;
  std::optional<bool> answer;
  Calls calls;
  std::int32_t grace;
};

TEST_F(SaverSessionTest, ExitMessageStopsTheShowAndAsksForThePasswordOnlyInTheRunMode) {
  const ExitCase cases[] = {
      {"run, password accepted", SaverMode::Run, false, true,
       {"HideApp", "Idle-", "Pointer+", "Capture-", "AskPassword", "Close"}, 5},
      {"run, password refused", SaverMode::Run, false, false,
       {"HideApp", "Idle-", "Pointer+", "Capture-", "AskPassword", "Pointer-", "Capture+"}, 5},
      {"run, answer still to come", SaverMode::Run, false, std::nullopt,
       {"HideApp", "Idle-", "Pointer+", "Capture-", "AskPassword"}, 5},
      {"run under the editor's preview flag", SaverMode::Run, true, true, {"HideApp", "Idle-", "Close"}, 0},
      {"editor's whole-show preview", SaverMode::Configure, true, true, {"Idle-", "Close"}, 0},
      {"preview", SaverMode::Preview, false, true, {"Close"}, 0},
  };
  for (const ExitCase& c : cases) {
    SCOPED_TRACE(c.name);
    WriteShow();
    EditorPreviewActive = c.editorPreview;
    port_.answer = c.answer;
    SaverSession& session = Play(c.mode);
    session.FormKeyDown();
    port_.calls.clear();
    session.ExitMessage();
    EXPECT_EQ(port_.calls, c.calls);
    EXPECT_EQ(session.MouseMoveGrace, c.grace);
    EXPECT_EQ(session.AskingPassword(), !c.answer.has_value());
    // The run mode's show stopped; the editor's list stays, and the
    // preview's show stops when its window closes.
    EXPECT_EQ(session.Playing, c.mode != SaverMode::Run);
  }
}

// A refused password keeps the last image; input while the question is up
// is the dialog's; the next key afterwards asks again.
TEST_F(SaverSessionTest, RefusedPasswordAsksAgainOnTheNextKey) {
  WriteShow();
  port_.answer = std::nullopt;
  SaverSession& session = Play(SaverMode::Run);
  session.FormKeyDown();
  session.ExitMessage();
  ASSERT_TRUE(session.AskingPassword());
  port_.calls.clear();
  session.FormKeyDown();
  session.FormMouseDown();
  session.ExitMessage();
  EXPECT_EQ(port_.calls, Calls{});
  session.PasswordAnswered(false);
  EXPECT_EQ(port_.calls, (Calls{"Pointer-", "Capture+"}));
  port_.calls.clear();
  port_.answer = true;
  session.FormKeyDown();
  session.ExitMessage();
  EXPECT_EQ(port_.calls, (Calls{"PostExit", "HideApp", "Idle-", "Pointer+", "Capture-", "AskPassword", "Close"}));
}

// ------------------------------------------------------------ activation

struct ActivateCase {
  const char* name;
  SaverMode mode;
  bool isEditorExe;
  int frames;
  Calls calls;
};

TEST_F(SaverSessionTest, FirstActivationCoversTheScreenAndStartsTheShowAsTheModeWants) {
  const ActivateCase cases[] = {
      {"saved saver", SaverMode::Run, false, 2,
       {"CoverScreen", "ShowApp", "Idle+", "TopMost", "Running+", "Pointer-", "Show", "Capture+"}},
      {"editor's executable with /S", SaverMode::Run, true, 2,
       {"CoverScreen", "ShowApp", "Idle+", "TopMost", "Pointer-", "Show", "Capture+"}},
      {"nothing to play: no idle handler", SaverMode::Run, false, 1,
       {"CoverScreen", "ShowApp", "TopMost", "Running+", "Pointer-", "Show", "Capture+"}},
      {"editor's whole-show preview", SaverMode::Configure, true, 2,
       {"CoverScreen", "CreateSlot", "ShowApp", "Idle+", "Pointer-", "Show", "Capture+"}},
      {"preview: start-up does it", SaverMode::Preview, false, 2, {}},
  };
  for (const ActivateCase& c : cases) {
    SCOPED_TRACE(c.name);
    WriteShow(c.frames);
    SaverSession& session = Open(c.mode, c.isEditorExe);
    session.FormActivate();
    EXPECT_EQ(port_.calls, c.calls);
    port_.calls.clear();
    session.FormActivate();  // only the first activation counts
    EXPECT_EQ(port_.calls, Calls{});
    session_.reset();
  }
}

// Each monitor's component takes its monitor's place; a slot made for
// another number of monitors is made again.
TEST_F(SaverSessionTest, ActivationPlacesOneComponentOnEachMonitor) {
  WriteShow();
  SaverSession& session = Open(SaverMode::Run);
  port_.monitors = {{0, 0, 40, 30}, {40, 0, 60, 20}, {-30, 5, 0, 25}};
  session.FormActivate();
  EXPECT_EQ(port_.Count("CreateSlot"), 1);
  const std::vector<TMorfFade*> fades = session.CurrentFades();
  ASSERT_EQ(fades.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(fades[i]->BoundsRect(), port_.monitors[i]);
  for (TMorfFade* fade : fades) EXPECT_TRUE(fade->ProcessMsgs());
  EXPECT_EQ(fades[2]->ColorFrom(), kRed);
  EXPECT_TRUE(session.Playing);
  EXPECT_EQ(session.LastMouseX, -1);
}

// A damaged frame-set file: nothing plays, the error is shown in front of
// everything and the window closes.
TEST_F(SaverSessionTest, UnreadableShowFailsVisiblyAndCloses) {
  WriteShow();
  fs::resize_file(FrameSetPath("Show"), fs::file_size(FrameSetPath("Show")) + 3);
  SaverSession& session = Open(SaverMode::Run);
  session.FormActivate();
  ASSERT_GE(port_.calls.size(), 8u);
  EXPECT_TRUE(port_.calls[port_.calls.size() - 2].rfind("Error:", 0) == 0) << port_.calls[port_.calls.size() - 2];
  EXPECT_EQ(Calls(port_.calls.begin() + 2, port_.calls.end() - 2),
            (Calls{"Idle-", "Timer-", "Capture-", "Pointer+"}));
  EXPECT_EQ(port_.calls.back(), "Close");
  EXPECT_EQ(port_.Count("TopMost"), 0);
  EXPECT_TRUE(session.Failing());
  EXPECT_FALSE(session.Playing);
}

// A step that fails outside the transition ends the show: shown in front in
// the run mode, logged in the preview (nothing may cover the host's dialog);
// later ticks do nothing.
TEST_F(SaverSessionTest, FailingStepEndsTheShowVisiblyOrInTheLogInThePreview) {
  for (SaverMode mode : {SaverMode::Run, SaverMode::Preview}) {
    SCOPED_TRACE(int(mode));
    WriteShow();
    SaverSession& session = Play(mode);
    port_.failSlots = true;  // the swap after the transition fails
    now_ += SecondsToDays(1);
    session.TickMessage();
    port_.failSlots = false;
    EXPECT_EQ(port_.Count(mode == SaverMode::Run ? "Error:out of windows" : "Log:out of windows"), 1);
    EXPECT_EQ(port_.calls.back(), "Close");
    EXPECT_FALSE(session.StepBusy);
    port_.calls.clear();
    now_ += SecondsToDays(1);
    session.TickMessage();
    session.Timer1Timer(true);
    EXPECT_EQ(port_.calls, Calls{});
  }
}

// ------------------------------------------------------------ closing

TEST_F(SaverSessionTest, CloseIsRefusedDuringAStepAndThePreviewStopsItsShowWhenItCloses) {
  WriteShow();
  SaverSession& session = Play(SaverMode::Run);
  StepWith([&] {
    EXPECT_FALSE(session.FormCloseQuery());
    EXPECT_TRUE(session.ExitRequested);
  });
  EXPECT_EQ(port_.Count("PostExit"), 1);
  port_.calls.clear();
  EXPECT_TRUE(session.FormCloseQuery());
  EXPECT_EQ(port_.calls, Calls{});

  SaverSession& preview = Play(SaverMode::Preview);
  EXPECT_TRUE(preview.FormCloseQuery());
  EXPECT_EQ(port_.calls, (Calls{"Timer-", "HideApp", "Idle-"}));
  EXPECT_TRUE(preview.ExitRequested);
  EXPECT_FALSE(preview.Playing);
}

// ------------------------------------------------------------ monitors

struct MonitorsCase {
  const char* name;
  std::vector<MonitorArea> monitors;
  Rect screen;
  std::vector<Rect> expected;
};

TEST(ShowRectsOf, PrimaryFirstThenLeftToRightInTheScreensCoordinates) {
  const MonitorsCase cases[] = {
      {"one monitor", {{{0, 0, 1024, 768}, true}}, {0, 0, 1024, 768}, {{0, 0, 1024, 768}}},
      {"primary on the right",
       {{{1024, 0, 1824, 600}, false}, {{0, 0, 1024, 768}, true}},
       {0, 0, 1824, 768},
       {{0, 0, 1024, 768}, {1024, 0, 1824, 600}}},
      {"a head left of the primary (negative coordinates)",
       {{{0, 0, 1024, 768}, true}, {{-800, 100, 0, 700}, false}},
       {-800, 0, 1024, 768},
       {{800, 0, 1824, 768}, {0, 100, 800, 700}}},
      {"three heads, two stacked",
       {{{1024, 384, 2048, 768}, false}, {{0, 0, 1024, 768}, true}, {{1024, 0, 2048, 384}, false}},
       {0, 0, 2048, 768},
       {{0, 0, 1024, 768}, {1024, 0, 2048, 384}, {1024, 384, 2048, 768}}},
      {"an empty monitor is left out",
       {{{0, 0, 1024, 768}, true}, {{1024, 0, 1024, 768}, false}},
       {0, 0, 1024, 768},
       {{0, 0, 1024, 768}}},
      {"none reported: the primary screen", {}, {-100, -50, 1024, 768}, {{100, 50, 740, 530}}},
  };
  for (const MonitorsCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ShowRectsOf(c.monitors, c.screen, 640, 480), c.expected);
  }
}

}  // namespace
}  // namespace velmora
