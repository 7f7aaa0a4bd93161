// The enumerations of the transition component, one byte each, numbered
// from 0 in this order (the effect catalogue and the frame-set file rely on
// the numbers).
#pragma once

#include <cstdint>

namespace velmora {

enum class TDirection : std::uint8_t {
  FromLeft,
  FromRight,
  FromTop,
  FromBottom,
  FromTopLeft,
  FromBottomRight,
  FromTopRight,
  FromBottomLeft,
  XcenterOut,
  XcenterIn,
  YcenterOut,
  YcenterIn,
  Vertical,
  Horizontal,
  ZoomIn,
  ZoomOut,
  None,
};

enum class TAction : std::uint8_t { Stretch, Push, Slide, xDissolve, xBlend, Discover, Any };

// Stored with the other settings; no run reads it (Action and Direction
// choose what is drawn).
enum class TTETransition : std::uint8_t {
  StretchFromLeft,
  StretchFromRight,
  StretchFromTop,
  StretchFromBottom,
  StretchFromTopLeft,
  StretchFromBottomRight,
  StretchFromXcenter,
  StretchFromYcenter,
  PushFromBottom,
  PushFromLeft,
  PushFromRight,
  PushFromTop,
  SlideFromLeft,
  SlideFromRight,
  SlideFromTop,
  SlideFromBottom,
  SlideFromTopLeft,
  SlideFromBottomRight,
  Zoom,
};

}  // namespace velmora
