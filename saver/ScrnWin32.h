// The saver window, class TScrn (form name Scrn): a borderless black window.
// In the run mode it covers the screen, stays on top and ends on a key or a
// mouse button; in the preview mode it is a disabled child of the preview
// host and ends when the host is hidden or destroyed.
#pragma once

#include "platform/WindowWin32.h"

namespace velmora {

class TScrn : public Window {
 public:
  // Posted to the window: run one player step / end the show.
  static constexpr UINT TickMessage = WM_USER + 1;
  static constexpr UINT ExitMessage = WM_USER + 2;

  TScrn() = default;
  ~TScrn() override;

  // Creates the window, not shown (FormCreate).
  HWND CreateForm();
  // The preview set-up that start-up does once it has made the window a
  // child of the host with the given size: starts the show and the 100 ms
  // timer that watches the host.
  void StartPreview(int width, int height);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  // Called when the window becomes active (FormActivate).
  void OnActivate(bool active) override;
  // Called for any key (FormKeyDown).
  bool OnKeyDown(UINT virtualKey, LPARAM flags) override;
  // Called for any mouse button (FormMouseDown).
  bool OnMouseDown(MouseButton button, int x, int y, WPARAM keys) override;
  // Called every 100 ms in the preview mode (Timer1Timer).
  bool OnTimer(UINT_PTR id) override;
  // Called when the window closes (FormClose).
  CloseAction OnClose() override;

 private:
  static constexpr UINT_PTR kTimer1 = 1;
  static constexpr UINT kTimer1IntervalMs = 100;

  // Ends the show: a key, a click or the host going away.
  void LeaveRequest();

  bool firstActivation_ = true;
  bool captured_ = false;
};

}  // namespace velmora
