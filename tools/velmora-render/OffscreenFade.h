// The off-screen platform for the transition component: a surface that
// keeps in memory what the component's place on screen would show, and a
// host that never waits and reports the end of every step.
#pragma once

#include <cstdint>
#include <functional>

#include "fade/FadeHost.h"
#include "fade/Graphics.h"

namespace velmora::render {

// The component's place on screen as a 24-bit image of the component's
// size. PaintImage copies the image at (0, 0); Copy copies a block,
// clipped to the source and to the screen; StretchCopy scales the whole
// source into the destination rectangle by nearest-neighbour sampling at
// pixel centres (see StretchCopy below).
class OffscreenSurface final : public FadeSurface {
 public:
  void BoundsChanged(const Rect& bounds) override;
  void Invalidate() override { invalid_ = true; }
  void PaintImage(const Image24& image) override;
  // For every screen pixel (x, y) inside dst, with dw = dst.right - dst.left
  // and dh = dst.bottom - dst.top (nothing is drawn when either is 0 or
  // less, or the source is empty):
  //   source x = floor((x - dst.left + 1/2) * src.Width() / dw)
  //   source y = floor((y - dst.top + 1/2) * src.Height() / dh)
  // computed exactly in integers as ((2 * (x - left) + 1) * srcW) div (2 * dw).
  void StretchCopy(const Image24& src, const Rect& dst) override;
  void Copy(const Image24& src, int srcX, int srcY, int width, int height, int dstX,
            int dstY) override;

  const MemoryImage24& Screen() const { return screen_; }
  // True while a repaint has been asked for and not yet done.
  bool Invalid() const { return invalid_; }

 private:
  MemoryImage24 screen_;
  bool invalid_ = false;
};

// A host for unpaced runs: Sleep returns at once, the clock is the system's
// steady clock, and ProcessMessages (called once after every step of a run
// with ProcessMsgs set) calls onMessages, where the tool does the pending
// repaint and captures the screen.
class RenderHost final : public FadeHost {
 public:
  void ProcessMessages() override {
    if (onMessages) onMessages();
  }
  void Sleep(int /*ms*/) override {}
  std::int64_t NowMicros() override;

  std::function<void()> onMessages;
};

}  // namespace velmora::render
