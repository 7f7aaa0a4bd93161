// The geometry of a Sweep (Stretch, Push, Slide): for each step, which
// image is copied onto the component's surface, from where and to where.
// Pure functions of the action, the direction, the step and the sizes; the
// component (MorfFade) only carries the copies out.
#pragma once

#include <cstdint>

#include "fade/FadeTypes.h"
#include "fade/Graphics.h"

namespace velmora {

// The sizes a Sweep runs over and its step sizes: dx = w / steps and
// dy = h / steps, each rounded to single precision once, at the start.
struct SweepGeometry {
  int w = 0;
  int h = 0;
  float dx = 0.0f;
  float dy = 0.0f;
};

// steps must not be 0 (the caller raises first).
SweepGeometry MakeSweepGeometry(int w, int h, int steps);

// What a step copies onto the surface.
enum class SweepSource : std::uint8_t {
  Nothing,        // the step draws nothing
  ToImageScaled,  // the whole to-image scaled into dst (Stretch)
  ToImage,        // a block of the to-image at (srcX, srcY), unscaled (Slide)
  WorkImage,      // a block of the Push composite at (srcX, srcY), unscaled (Push)
};

struct SweepCopy {
  SweepSource source = SweepSource::Nothing;
  Rect dst{};    // on the surface; an unscaled copy is dst's size
  int srcX = 0;  // unscaled copies: the block's top-left corner in the source
  int srcY = 0;
  friend bool operator==(const SweepCopy&, const SweepCopy&) = default;
};

// Step i (1 .. steps) of a Sweep with the given action and direction. An
// action other than Stretch, Push or Slide, or Push with a direction other
// than FromLeft .. FromBottom, draws nothing.
SweepCopy SweepStepCopy(TAction action, TDirection direction, const SweepGeometry& geometry, int i);

// Where a Push places the to-image and the from-image (each w x h) in its
// composite work image before the first step; `composed` is false for the
// directions that compose nothing.
struct PushComposite {
  bool composed = false;
  int toX = 0, toY = 0;
  int fromX = 0, fromY = 0;
  friend bool operator==(const PushComposite&, const PushComposite&) = default;
};

PushComposite PushCompositeFor(TDirection direction, int w, int h);

}  // namespace velmora
