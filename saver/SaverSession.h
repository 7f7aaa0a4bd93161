// The saver's session: one show played on the saver window (TScrn,
// saver/ScrnWin32.h) with the window's rules, apart from the window. The
// window turns its messages into the calls below (handlers named as the
// window's are) and carries out what the session asks of it through
// SaverPort: the player's state (StepBusy, Playing, CurrentSlot, ...) and the
// rules on input, ticks, leaving and the password live here.
//
//  - run mode: a key, a button or a movement of 3 pixels on both axes asks
//    to leave; the running step ends first, then the show stops and the
//    password is asked when Windows wants one; a refused password keeps the
//    last image and the next input asks again.
//  - preview mode: input changes nothing; the 100 ms timer steps the show and
//    ends it when the host is hidden.
//  - the editor's whole-show preview (Configure): as the run mode, without
//    the password and not top-most.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "fade/Graphics.h"
#include "saver/Player.h"

namespace velmora {

// What the session needs of the saver window and of the window system.
class SaverPort {
 public:
  virtual ~SaverPort() = default;

  // ---- for the player (see PlayerHost) ----
  virtual void ShowApplicationWindow(bool show) = 0;
  virtual void RemovePendingTick() = 0;
  // Posts ExitMessage to the saver window; false when it could not.
  virtual bool PostExitMessage() = 0;
  virtual std::unique_ptr<FadeSlot> CreateFadeSlot() = 0;
  virtual void ProcessMessages() = 0;
  // A failure the show went on after: logged, never shown over the show.
  virtual void LogError(const std::string& message) = 0;

  // ---- the window ----
  // Places the window over every monitor; returns where the show plays, one
  // rectangle a monitor in the window's client coordinates, the primary
  // monitor's first.
  virtual std::vector<Rect> CoverScreen() = 0;
  virtual void MakeTopMost() = 0;
  virtual void ShowSaverWindow() = 0;
  // Closes the window (FormCloseQuery and FormClose follow).
  virtual void CloseSaverWindow() = 0;
  // The idle handler posts one TickMessage each time the loop falls idle.
  virtual void InstallIdleHandler() = 0;
  virtual void RemoveIdleHandler() = 0;
  // Timer1, every 100 ms.
  virtual void StartTimer1() = 0;
  virtual void StopTimer1() = 0;
  // Tells Windows whether a screen saver runs.
  virtual void SetScreenSaverRunning(bool running) = 0;
  virtual void ShowPointer(bool shown) = 0;
  virtual void CaptureMouse(bool capture) = 0;
  // Asks the user for the screen-saver password; the answer comes back
  // through SaverSession::PasswordAnswered (at once or later). No password
  // wanted, or no way to ask, is an accepted answer.
  virtual void AskPassword() = 0;
  // An error that ends the show, shown where the user sees it: the window
  // out of the way first.
  virtual void ShowErrorInFront(const std::string& message) = 0;
};

class SaverSession : private PlayerHost, public SlideshowPlayer {
 public:
  // How many mouse-move events are ignored after the password was asked.
  static constexpr std::int32_t kMouseMoveGraceAfterPassword = 5;
  // A movement counts when it reaches this far on both axes.
  static constexpr int kMouseMoveThreshold = 3;

  // port: not owned, outlives the session. mode, isEditorExe: the process's
  // Mode and IsEditorExe.
  SaverSession(SaverPort& port, SaverMode mode, bool isEditorExe);

  // Called when the window has been made (FormCreate): the first component,
  // outside the configure mode.
  void FormCreate();
  // Called when the window becomes active: the first time (not in the preview
  // mode) the show covers the screen and starts (FormActivate).
  void FormActivate();
  // The preview mode's set-up once the window is the host's child of the
  // given size: the component, the show and the timer.
  void StartPreview(int width, int height);
  // Called for any key (FormKeyDown) and any mouse button (FormMouseDown).
  void FormKeyDown();
  void FormMouseDown();
  // Called for every mouse movement over the window (FormMouseMove).
  void FormMouseMove(int x, int y);
  // Called every 100 ms in the preview mode (Timer1Timer); hostVisible: the
  // preview host is still visible.
  void Timer1Timer(bool hostVisible);
  // Called on TickMessage: one player step.
  void TickMessage();
  // Called on ExitMessage: the show ends.
  void ExitMessage();
  // Called with the user's answer to AskPassword.
  void PasswordAnswered(bool accepted);
  // Called when the window is asked to close; false refuses (FormCloseQuery).
  bool FormCloseQuery();
  // Called when the window closes (FormClose).
  void FormClose();

  // The leave request of the input handlers.
  void LeaveRequest();
  // Asks for the password when the mode wants one; closes when it may.
  void CheckPasswordAndClose();
  // Ends the show over an error the user must see.
  void FailVisibly(const std::string& message);
  // Creates the slot-0 component(s) with ProcessMsgs on and ColorTo black.
  void CreateFirstComponent();

  // ---- state (besides the player's) ----
  // The reference point of the mouse; -1 until the first movement.
  std::int32_t LastMouseX = -1;
  std::int32_t LastMouseY = -1;
  bool FirstActivation = true;
  // Number of coming mouse-move events to ignore.
  std::int32_t MouseMoveGrace = 0;

  bool AskingPassword() const { return askingPassword_; }
  bool Failing() const { return failing_; }

 private:
  // ---- PlayerHost ----
  void ShowApplicationWindow(bool show) override;
  void RemovePendingTick() override;
  void PostExitMessage() override;
  std::unique_ptr<FadeSlot> CreateFadeSlot() override;
  void ProcessMessages() override;
  void LogError(const std::string& message) override;
  void ShowStartError(const std::string& message) override;

  // Sets StopRequested on the component on screen.
  void StopCurrentRun();

  SaverPort& port_;  // not owned
  const bool isEditorExe_;
  bool watchMouseMoves_ = true;  // cleared once a movement asked to leave
  bool exitPosted_ = false;      // an ExitMessage waits in the queue
  bool askingPassword_ = false;  // the password question is up
  bool failing_ = false;
  std::string startError_;
};

// One monitor as the system reports it, in screen coordinates.
struct MonitorArea {
  Rect area;
  bool primary = false;
};

// Where the show plays: each monitor's rectangle relative to the top-left
// corner of screen (the virtual screen the saver window covers), the primary
// monitor first, then the others from left to right, top to bottom; empty
// ones left out. With none left, the primary screen of the given size at the
// screen's origin.
std::vector<Rect> ShowRectsOf(std::vector<MonitorArea> monitors, const Rect& screen, int primaryWidth,
                              int primaryHeight);

}  // namespace velmora
