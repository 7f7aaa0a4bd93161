// What the transition component needs from the platform it runs on: the
// surface it paints on (its place on the parent window), message pumping,
// a blocking wait and a clock for pacing the steps of a run.
#pragma once

#include <cstdint>

#include "fade/Graphics.h"

namespace velmora {

// The component's place on its parent window. Coordinates are relative to
// the component's top-left corner; everything is clipped to its bounds.
class FadeSurface {
 public:
  virtual ~FadeSurface() = default;

  // Called when the component's position or size changed (a natural-size
  // Reset resizes it); the platform moves its drawing area along.
  virtual void BoundsChanged(const Rect& bounds) = 0;
  // Asks for a repaint later (the platform then calls TMorfFade::Paint).
  virtual void Invalidate() = 0;
  // Draws the whole image at (0, 0) now: Paint and the immediate repaints of
  // the pixel runs.
  virtual void PaintImage(const Image24& image) = 0;
  // Copies the whole of src scaled into dst, plain source copy (Stretch steps).
  virtual void StretchCopy(const Image24& src, const Rect& dst) = 0;
  // Copies a width x height block of src at (srcX, srcY) unscaled to
  // (dstX, dstY), plain source copy (Push and Slide steps, EndStopped).
  virtual void Copy(const Image24& src, int srcX, int srcY, int width, int height, int dstX,
                    int dstY) = 0;
  // Called when the component is shown or hidden (TMorfFade::SetVisible).
  virtual void VisibilityChanged(bool /*visible*/) {}
};

// Services of the user-interface thread that a run leans on.
class FadeHost {
 public:
  virtual ~FadeHost() = default;

  // Handles every pending window message, then returns.
  virtual void ProcessMessages() = 0;
  // Blocks for ms milliseconds; handles no messages.
  virtual void Sleep(int ms) = 0;
  // A monotonic clock in microseconds, for pacing.
  virtual std::int64_t NowMicros() = 0;
  // Waits for the next vertical blank where the display offers one; returns
  // false where it does not (the caller then waits by the clock).
  virtual bool WaitForVerticalBlank() { return false; }
};

}  // namespace velmora
