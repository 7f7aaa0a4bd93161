// The saver window, class TScrn (form name Scrn): the borderless black window
// the slideshow plays on. Three roles:
//  - run mode: covers every monitor, stays on top, hides the pointer,
//    captures the mouse, steps the show from the idle loop and ends on a
//    key, a click or a real mouse movement, asking for the screen-saver
//    password when the registry says so;
//  - preview mode: a disabled child of the preview host that steps the show
//    from its 100 ms timer and ends when the host is hidden or destroyed;
//  - the editor's whole-show preview (mode Configure): as the run mode, but
//    modal over the editor, not top-most and never asking for a password.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/WindowWin32.h"
#include "saver/Player.h"

namespace velmora {

class TScrn : public Window, private PlayerHost {
 public:
  // Posted to the window: run one player step / end the show.
  static constexpr UINT TickMessage = WM_USER + 1;
  static constexpr UINT ExitMessage = WM_USER + 2;
  // How many mouse-move events are ignored after the password was asked.
  static constexpr int kMouseMoveGraceAfterPassword = 5;
  // A movement counts when it reaches this far on both axes.
  static constexpr int kMouseMoveThreshold = 3;

  TScrn();
  ~TScrn() override;

  // Creates the window, not shown, and (outside the configure mode) its
  // first transition component (FormCreate). owner: the owner window of the
  // editor's preview, else nullptr.
  HWND CreateForm(HWND owner = nullptr);
  // The preview set-up that start-up does once it has made the window a
  // child of the host with the given size: places the component, starts the
  // show and the 100 ms timer that watches the host.
  void StartPreview(int width, int height);

  // The rectangle the show plays on, in the window's client coordinates:
  // the primary monitor's in the run mode (the window covers them all).
  RECT ShowRect() const { return showRect_; }
  // Every monitor's rectangle the show plays on, in the window's client
  // coordinates, the primary monitor's (ShowRect) first; the host's area in
  // the preview mode.
  const std::vector<RECT>& ShowRects() const { return monitors_; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  // Called when the window becomes active (FormActivate).
  void OnActivate(bool active) override;
  // Called for any key (FormKeyDown).
  bool OnKeyDown(UINT virtualKey, LPARAM flags) override;
  // Called for any mouse button (FormMouseDown).
  bool OnMouseDown(MouseButton button, int x, int y, WPARAM keys) override;
  // Called for every mouse movement over the window (FormMouseMove).
  bool OnMouseMove(int x, int y, WPARAM keys) override;
  // Called every 100 ms in the preview mode (Timer1Timer).
  bool OnTimer(UINT_PTR id) override;
  // Called when the window is asked to close (FormCloseQuery).
  bool OnCloseQuery() override;
  // Called when the window closes (FormClose).
  CloseAction OnClose() override;
  bool OnEraseBackground(HDC dc) override;
  bool OnPaint(HDC dc, const RECT& area) override;

 private:
  static constexpr UINT_PTR kTimer1 = 1;
  static constexpr UINT kTimer1IntervalMs = 100;

  // ---- PlayerHost ----
  void ShowApplicationWindow(bool show) override;
  void RemovePendingTick() override;
  void PostExitMessage() override;
  std::unique_ptr<FadeSlot> CreateFadeSlot() override;
  void ProcessMessages() override;
  void LogError(const std::string& message) override;
  void ShowStartError(const std::string& message) override;

  // Creates the slot-0 component with ProcessMsgs on and ColorTo black.
  void CreateFirstComponent();
  // Called on TickMessage: one player step.
  void OnTick();
  // Called on ExitMessage: the show ends.
  void OnExitMessage();
  // The leave request of the input handlers and the timer.
  void LeaveRequest();
  // Asks for the password when Windows wants one; closes when it may.
  void CheckPasswordAndClose();
  // Ends the show over an error the user must see: the window is hidden,
  // the pointer shown and freed first, then the error box, then the close.
  void FailVisibly(const std::string& message);
  void InstallIdleHandler();
  void RemoveIdleHandler();
  void HidePointer();
  void ShowPointer();
  void Capture();
  void Uncapture();

  int lastMouseX_ = -1;
  int lastMouseY_ = -1;
  bool firstActivation_ = true;
  bool watchMouseMoves_ = true;  // cleared once a movement asked to leave
  bool pointerHidden_ = false;
  bool captured_ = false;
  bool saverRunningSet_ = false;
  bool failing_ = false;
  bool exitPosted_ = false;      // an ExitMessage waits in the queue
  bool askingPassword_ = false;  // the password dialog is up
  bool idleInstalled_ = false;
  std::string startError_;
  RECT showRect_{};
  std::vector<RECT> monitors_;
};

// The monitors' rectangles relative to the top-left corner of screen (the
// virtual screen the saver window covers): the primary monitor first, then
// the others from left to right. Never empty.
std::vector<RECT> MonitorRects(const RECT& screen);

// The editor's 'All' command: plays the editor's FrameList on a saver window
// shown modally (EditorPreviewActive set meanwhile). Returns when the user
// has ended it; the window is freed by then. `focusAfter` (the editor's main
// window, not owned) owns the saver window while it plays, so that it takes
// no input meanwhile, and gets the focus back.
void ShowWholeShowPreview(HWND focusAfter);

}  // namespace velmora
