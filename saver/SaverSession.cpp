#include "saver/SaverSession.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <utility>

#include "app/Random.h"
#include "fade/MorfFade.h"

namespace velmora {

// PlayerHost is the first base: it is whole before the player keeps it.
SaverSession::SaverSession(SaverPort& port, SaverMode mode, bool isEditorExe)
    : PlayerHost(), SlideshowPlayer(static_cast<PlayerHost&>(*this), mode),
      port_(port), isEditorExe_(isEditorExe) {}

void SaverSession::FormCreate() {
  FirstActivation = true;
  CurrentSlot = 0;
  // In the configure mode the first activation makes it.
  if (PlayMode() != SaverMode::Configure) CreateFirstComponent();
}

void SaverSession::CreateFirstComponent() {
  FadeSlots[0].reset();
  FadeSlots[1].reset();
  FadeSlots[0] = port_.CreateFadeSlot();
  CurrentSlot = 0;
  for (TMorfFade* fade : CurrentFades()) {
    fade->SetColorTo(kBlack);
    fade->SetProcessMsgs(true);
  }
}

void SaverSession::FormActivate() {
  if (!FirstActivation || PlayMode() == SaverMode::Preview) return;
  Randomize();
  FirstActivation = false;

  // The window covers every monitor and each one plays the show on a
  // component of its own size and place; the primary one's comes first.
  const std::vector<Rect> monitors = port_.CoverScreen();
  const FadeSlot* slot = FadeSlots[std::size_t(CurrentSlot)].get();
  if (PlayMode() == SaverMode::Configure || slot == nullptr || slot->FadeCount() != monitors.size())
    CreateFirstComponent();
  const std::vector<TMorfFade*> fades = CurrentFades();
  for (std::size_t i = 0; i < fades.size() && i < monitors.size(); ++i) {
    const Rect& r = monitors[i];
    fades[i]->SetBounds(r.left, r.top, r.Width(), r.Height());
  }

  startError_.clear();
  StartSlideshow();
  if (!startError_.empty()) {
    FailVisibly(startError_);
    return;
  }
  LastMouseX = LastMouseY = -1;
  if (Playing) port_.InstallIdleHandler();
  if (PlayMode() != SaverMode::Configure) port_.MakeTopMost();
  if (!isEditorExe_) port_.SetScreenSaverRunning(true);
  port_.ShowPointer(false);
  port_.ShowSaverWindow();
  port_.CaptureMouse(true);
}

void SaverSession::StartPreview(int width, int height) {
  if (TMorfFade* fade = CurrentFade()) fade->SetBounds(0, 0, width, height);
  StartSlideshow();
  // Also without a show to play: the timer is what notices that the host
  // has been hidden or destroyed.
  port_.StartTimer1();
}

void SaverSession::FormKeyDown() {
  if (PlayMode() != SaverMode::Preview) LeaveRequest();
}

void SaverSession::FormMouseDown() {
  if (PlayMode() != SaverMode::Preview) LeaveRequest();
}

void SaverSession::FormMouseMove(int x, int y) {
  if (PlayMode() == SaverMode::Preview || !watchMouseMoves_) return;
  if (MouseMoveGrace > 0) {
    --MouseMoveGrace;
    return;
  }
  if (LastMouseX == -1 && LastMouseY == -1) {
    LastMouseX = x;
    LastMouseY = y;
    return;
  }
  // Only a movement on both axes at once counts: jitter and a purely
  // horizontal or vertical slide of the desk do not end the saver.
  if (std::abs(x - LastMouseX) < kMouseMoveThreshold || std::abs(y - LastMouseY) < kMouseMoveThreshold) return;
  LastMouseX = x;
  LastMouseY = y;
  watchMouseMoves_ = false;
  LeaveRequest();
}

void SaverSession::Timer1Timer(bool hostVisible) {
  if (hostVisible) {
    TickMessage();
    return;
  }
  port_.StopTimer1();
  StopCurrentRun();
  ExitRequested = true;
  if (!StepBusy) PostExitMessage();
}

void SaverSession::TickMessage() {
  if (failing_) return;
  try {
    SlideshowStep();
  } catch (const std::exception& error) {
    FailVisibly(error.what());
  }
}

void SaverSession::ExitMessage() {
  exitPosted_ = false;
  // A step that is still running posts ExitMessage again when it ends.
  if (StepBusy || askingPassword_) return;
  if (PlayMode() == SaverMode::Preview) {
    port_.CloseSaverWindow();
    return;
  }
  if (PlayMode() != SaverMode::Configure) port_.ShowApplicationWindow(false);
  port_.RemoveIdleHandler();
  StopSlideshow();
  CheckPasswordAndClose();
}

void SaverSession::LeaveRequest() {
  if (askingPassword_) return;  // input meant for the password dialog
  ExitRequested = true;
  StopCurrentRun();
  if (!StepBusy) PostExitMessage();
}

void SaverSession::CheckPasswordAndClose() {
  if (PlayMode() != SaverMode::Run || EditorPreviewActive) {
    port_.CloseSaverWindow();
    return;
  }
  MouseMoveGrace = kMouseMoveGraceAfterPassword;
  // The pointer is shown and free while the password question is up.
  port_.ShowPointer(true);
  port_.CaptureMouse(false);
  askingPassword_ = true;
  port_.AskPassword();
}

void SaverSession::PasswordAnswered(bool accepted) {
  if (!askingPassword_) return;
  askingPassword_ = false;
  if (accepted) {
    port_.CloseSaverWindow();
    return;
  }
  // Refused: the last image stays; the next key, click or movement asks again.
  port_.ShowPointer(false);
  port_.CaptureMouse(true);
}

void SaverSession::FailVisibly(const std::string& message) {
  if (failing_) return;
  failing_ = true;
  port_.RemoveIdleHandler();
  ExitRequested = true;
  port_.StopTimer1();
  port_.CaptureMouse(false);
  port_.ShowPointer(true);
  if (PlayMode() == SaverMode::Preview)
    port_.LogError(message);
  else
    port_.ShowErrorInFront(message);
  if (!StepBusy) StopSlideshow();
  port_.CloseSaverWindow();
}

bool SaverSession::FormCloseQuery() {
  if (PlayMode() == SaverMode::Preview) port_.StopTimer1();
  if (PlayMode() == SaverMode::Preview || StepBusy) {
    ExitRequested = true;
    StopCurrentRun();
  }
  // Never in the middle of a step: the step posts ExitMessage when it ends,
  // which closes again.
  if (StepBusy) return false;
  if (PlayMode() == SaverMode::Preview) {
    port_.ShowApplicationWindow(false);
    port_.RemoveIdleHandler();
    StopSlideshow();
  }
  return true;
}

void SaverSession::FormClose() {
  port_.SetScreenSaverRunning(false);
  port_.RemoveIdleHandler();
  port_.StopTimer1();
  FadeSlots[std::size_t(CurrentSlot)].reset();
  port_.CaptureMouse(false);
  port_.ShowPointer(true);
}

void SaverSession::StopCurrentRun() {
  if (TMorfFade* fade = CurrentFade()) fade->StopRequested = true;
}

// ---------------------------------------------------------------- PlayerHost

void SaverSession::ShowApplicationWindow(bool show) { port_.ShowApplicationWindow(show); }

void SaverSession::RemovePendingTick() { port_.RemovePendingTick(); }

void SaverSession::PostExitMessage() {
  // One at a time: a held key must not queue one password question per repeat.
  if (exitPosted_) return;
  exitPosted_ = port_.PostExitMessage();
}

std::unique_ptr<FadeSlot> SaverSession::CreateFadeSlot() { return port_.CreateFadeSlot(); }

void SaverSession::ProcessMessages() { port_.ProcessMessages(); }

void SaverSession::LogError(const std::string& message) { port_.LogError(message); }

void SaverSession::ShowStartError(const std::string& message) {
  if (PlayMode() == SaverMode::Preview) {
    port_.LogError(message);  // the preview stays black; its timer still ends it
    return;
  }
  startError_ = message.empty() ? std::string("Unknown error") : message;
}

// ---------------------------------------------------------------- monitors

std::vector<Rect> ShowRectsOf(std::vector<MonitorArea> monitors, const Rect& screen, int primaryWidth,
                              int primaryHeight) {
  std::stable_sort(monitors.begin(), monitors.end(), [](const MonitorArea& a, const MonitorArea& b) {
    if (a.primary != b.primary) return a.primary;
    if (a.area.left != b.area.left) return a.area.left < b.area.left;
    return a.area.top < b.area.top;
  });
  std::vector<Rect> rects;
  for (const MonitorArea& monitor : monitors) {
    const Rect& r = monitor.area;
    const Rect client{r.left - screen.left, r.top - screen.top, r.right - screen.left, r.bottom - screen.top};
    if (client.right > client.left && client.bottom > client.top) rects.push_back(client);
  }
  if (rects.empty())
    rects.push_back(Rect{-screen.left, -screen.top, -screen.left + primaryWidth, -screen.top + primaryHeight});
  return rects;
}

}  // namespace velmora
