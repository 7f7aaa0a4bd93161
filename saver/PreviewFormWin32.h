// The editor's 'Current Effect' preview window, class TForm2 (form name
// Form2): a borderless window over the whole screen that plays one frame's
// transition into the next, then shows the hint "Press any key to escape..."
// every few seconds until a key pressed while it is open is released. The
// sequence itself is PreviewSequence (saver/Preview.h); this window gives it
// the two transition components, the clock, the screen and the keys.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "fade/MorfFadeWin32.h"
#include "platform/WindowWin32.h"
#include "saver/Preview.h"

namespace velmora {

class TForm2 : public Window, private PreviewHost {
 public:
  static constexpr const wchar_t* kClassName = L"VelmoraForm2";

  // currentIndex: the FrameList index of the frame whose effect is shown;
  // nextIndex: the frame the transition leads to.
  TForm2(int currentIndex, int nextIndex);
  ~TForm2() override;

  // Creates the window (hidden) and its components over TheFrameList, which
  // must exist and outlive the window (FormCreate). owner: not owned.
  HWND CreateForm(HWND owner);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  // Called when the window becomes active (FormActivate).
  void OnActivate(bool active) override;
  // Called every 100 ms (Timer1Timer).
  bool OnTimer(UINT_PTR id) override;
  bool OnKeyDown(UINT virtualKey, LPARAM flags) override;
  // Called for any key release (FormKeyUp).
  bool OnKeyUp(UINT virtualKey, LPARAM flags) override;
  bool OnCloseQuery() override;
  // Called when the window closes (FormClose).
  CloseAction OnClose() override;
  bool OnEraseBackground(HDC dc) override;
  bool OnPaint(HDC dc, const RECT& area) override;

 private:
  static constexpr UINT_PTR kTimer1 = 1;
  static constexpr UINT kTimer1IntervalMs = 100;

  // ---- PreviewHost ----
  std::int64_t NowMillis() override;
  void PrepareHint(TMorfFade& hint) override;
  void LogError(const std::string& message) override;

  // Closes once no step runs.
  void CloseWhenIdle();

  int currentIndex_;
  int nextIndex_;
  bool firstActivation_ = true;
  bool pointerHidden_ = false;
  bool closePending_ = false;
  std::unique_ptr<MorfFadeControl> morfFade1_;
  std::unique_ptr<MorfFadeControl> morfFade2_;
  std::unique_ptr<PreviewSequence> sequence_;  // last: it uses the components
};

// The 'Current Effect' command's preview: seeds the random generator, then
// (when TheFrameList holds at least two frames and currentIndex is one of
// them) shows TForm2 for currentIndex and nextIndex modally, and frees it.
// owner (the editor's main window, not owned; nullptr: the application
// window) takes no input while the preview is up and is active again after.
// Returns when the user has closed it.
void ShowCurrentEffectPreview(int currentIndex, int nextIndex, HWND owner = nullptr);

}  // namespace velmora
