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
// The rules and the show's state are the session's (saver/SaverSession.h):
// the window turns its messages into the session's calls and does what the
// session asks of it (SaverPort).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/WindowWin32.h"
#include "saver/SaverSession.h"

namespace velmora {

class TScrn : public Window, private SaverPort {
 public:
  // Posted to the window: run one player step / end the show.
  static constexpr UINT TickMessage = WM_USER + 1;
  static constexpr UINT ExitMessage = WM_USER + 2;

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

  // ---- SaverPort ----
  void ShowApplicationWindow(bool show) override;
  void RemovePendingTick() override;
  bool PostExitMessage() override;
  std::unique_ptr<FadeSlot> CreateFadeSlot() override;
  void ProcessMessages() override;
  void LogError(const std::string& message) override;
  std::vector<Rect> CoverScreen() override;
  void MakeTopMost() override;
  void ShowSaverWindow() override;
  void CloseSaverWindow() override;
  void InstallIdleHandler() override;
  void RemoveIdleHandler() override;
  void StartTimer1() override;
  void StopTimer1() override;
  void SetScreenSaverRunning(bool running) override;
  void ShowPointer(bool shown) override;
  void CaptureMouse(bool capture) override;
  void AskPassword() override;
  void ShowErrorInFront(const std::string& message) override;

  bool pointerHidden_ = false;
  bool captured_ = false;
  bool saverRunningSet_ = false;
  bool idleInstalled_ = false;
  RECT showRect_{};
  std::vector<RECT> monitors_;
  SaverSession session_;  // last: its components live on this window
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
