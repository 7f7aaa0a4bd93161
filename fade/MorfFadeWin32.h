// The transition component on a Win32 window: a windowless control that
// draws TMorfFade's images on its parent's surface with GDI, and the
// user-interface services a run leans on (message pumping, waiting, clock,
// vertical blank).
//
// A windowless control has no HWND. Its parent window cooperates: its
// WM_PAINT calls PaintFadeControls, its WM_MOUSEMOVE / WM_MOUSELEAVE call
// FadeControlsMouseMove / FadeControlsMouseLeave, and it answers
// WM_ERASEBKGND as done (PaintFadeControls paints what no control covers).
#pragma once

#include <windows.h>

#include <cstdint>

#include "fade/FadeHost.h"
#include "fade/Graphics.h"
#include "fade/MorfFade.h"

namespace velmora {

// The services of the user-interface thread: pending messages through the
// application object, Sleep at one-millisecond resolution, the performance
// counter, and DwmFlush as the vertical blank while composition is on. Its
// creation (on first use) switches pacing on for every component made
// afterwards (TMorfFade::SetDefaultStepInterval).
class Win32FadeHost final : public FadeHost {
 public:
  static Win32FadeHost& Instance();

  Win32FadeHost(const Win32FadeHost&) = delete;
  Win32FadeHost& operator=(const Win32FadeHost&) = delete;

  void ProcessMessages() override;
  void Sleep(int ms) override;
  std::int64_t NowMicros() override;
  bool WaitForVerticalBlank() override;

 private:
  Win32FadeHost();
  ~Win32FadeHost() override;

  LARGE_INTEGER frequency_{};
  bool timerPeriodSet_ = false;
};

// The images of the component as DIB sections (DibImage), so that they can
// be copied to the screen with BitBlt and GDI can draw pictures into them.
ImageFactory& Win32FadeImages();

// A TMorfFade placed on a parent window. The control keeps its own bounds
// (relative to the parent's client area) and visibility in step with the
// component's and draws only inside its bounds.
class MorfFadeControl final : public FadeSurface {
 public:
  // parent: not owned; the control must go before the parent's HWND does.
  explicit MorfFadeControl(HWND parent, ImageFactory& images = Win32FadeImages(),
                           FadeHost& host = Win32FadeHost::Instance());
  ~MorfFadeControl() override;
  MorfFadeControl(const MorfFadeControl&) = delete;
  MorfFadeControl& operator=(const MorfFadeControl&) = delete;

  TMorfFade& Fade() { return fade_; }
  const TMorfFade& Fade() const { return fade_; }

  HWND Parent() const { return parent_; }
  // Moves the control to another parent window (in front of its controls).
  void SetParent(HWND parent);
  // Z-order among the controls of the same parent.
  void SendToBack();
  void BringToFront();

  // Stretch steps: HALFTONE gives smoother squeezed pictures at a price;
  // COLORONCOLOR (the default) drops pixels and keeps steps fast.
  void SetStretchMode(int mode) { stretchMode_ = mode; }

  // ---- FadeSurface ----
  void BoundsChanged(const Rect& bounds) override;
  void VisibilityChanged(bool visible) override;
  void Invalidate() override;
  void PaintImage(const Image24& image) override;
  void StretchCopy(const Image24& src, const Rect& dst) override;
  void Copy(const Image24& src, int srcX, int srcY, int width, int height, int dstX,
            int dstY) override;

  // For the parent window. Paints every visible control of `parent` from
  // back to front into dc (its WM_PAINT DC) and fills the rest of `area`
  // with `background` (a TColor; system colours resolved).
  static void PaintAll(HWND parent, HDC dc, const RECT& area, TColor background);
  // Fires mouse-enter / mouse-leave on the controls the pointer entered or
  // left. (x, y) in the parent's client coordinates.
  static void MouseMove(HWND parent, int x, int y);
  static void MouseLeave(HWND parent);
  // The front-most visible control of `parent` at (x, y), or nullptr.
  static MorfFadeControl* ControlAt(HWND parent, int x, int y);

 private:
  class TargetDC;

  void Register();
  void Unregister();
  RECT ParentRect() const;

  HWND parent_;          // not owned
  Rect bounds_{};        // as the component last reported them
  bool visible_ = true;
  bool pointerInside_ = false;
  int stretchMode_ = COLORONCOLOR;
  HDC paintDC_ = nullptr;  // the parent's WM_PAINT DC while PaintAll runs
  TMorfFade fade_;         // last: its construction calls the surface above
};

// The parent window's handlers in one place.
inline void PaintFadeControls(HWND parent, HDC dc, const RECT& area, TColor background) {
  MorfFadeControl::PaintAll(parent, dc, area, background);
}
inline void FadeControlsMouseMove(HWND parent, int x, int y) {
  MorfFadeControl::MouseMove(parent, x, y);
}
inline void FadeControlsMouseLeave(HWND parent) { MorfFadeControl::MouseLeave(parent); }

}  // namespace velmora
