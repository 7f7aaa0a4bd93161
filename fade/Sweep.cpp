#include "fade/Sweep.h"

#include <cmath>

namespace velmora {
namespace {

// Truncation toward zero of a floating-point pixel position.
inline int Trunc(double value) { return static_cast<int>(std::trunc(value)); }

// Which edge a direction moves along, one axis at a time.
enum class Edge { Near, Far, Centre, Whole };

Edge Horizontal(TDirection d) {
  switch (d) {
    case TDirection::FromLeft:
    case TDirection::FromTopLeft:
    case TDirection::FromBottomLeft:
      return Edge::Near;
    case TDirection::FromRight:
    case TDirection::FromBottomRight:
    case TDirection::FromTopRight:
      return Edge::Far;
    case TDirection::XcenterOut:
    case TDirection::ZoomOut:
      return Edge::Centre;
    default:
      return Edge::Whole;
  }
}

Edge Vertical(TDirection d) {
  switch (d) {
    case TDirection::FromTop:
    case TDirection::FromTopLeft:
    case TDirection::FromTopRight:
      return Edge::Near;
    case TDirection::FromBottom:
    case TDirection::FromBottomRight:
    case TDirection::FromBottomLeft:
      return Edge::Far;
    case TDirection::YcenterOut:
    case TDirection::ZoomOut:
      return Edge::Centre;
    default:
      return Edge::Whole;
  }
}

// One axis of a step: `size` is the component's extent, `step` the step
// size (single precision, widened without rounding), `i` the step.
struct Span {
  int start;  // Stretch: first pixel of the destination; Slide: destination
  int end;    // Stretch: one past the last pixel
  int src;    // Slide: source offset
  int length;  // Slide: copied extent
};

Span StretchAxis(Edge edge, int size, double step, int i) {
  const int offset = Trunc(double(i) * step);
  switch (edge) {
    case Edge::Near: return {0, offset, 0, 0};
    case Edge::Far: return {Trunc(double(size) - double(i) * step), size, 0, 0};
    case Edge::Centre: {
      const int start = Trunc((double(size) - double(i) * step) / 2.0);
      return {start, offset + start, 0, 0};
    }
    case Edge::Whole: break;
  }
  return {0, size, 0, 0};
}

Span SlideAxis(Edge edge, int size, double step, int i) {
  const int offset = Trunc(double(i) * step);
  switch (edge) {
    case Edge::Near: return {0, 0, size - offset, offset};
    case Edge::Far: return {size - offset, 0, 0, offset};
    default: break;  // the centre directions slide nothing in: the whole picture
  }
  return {0, 0, 0, size};
}

}  // namespace

SweepGeometry MakeSweepGeometry(int w, int h, int steps) {
  return SweepGeometry{w, h, float(w) / float(steps), float(h) / float(steps)};
}

SweepCopy SweepStepCopy(TAction action, TDirection direction, const SweepGeometry& g, int i) {
  const double dx = g.dx, dy = g.dy;
  SweepCopy copy;
  switch (action) {
    case TAction::Stretch: {
      const Span across = StretchAxis(Horizontal(direction), g.w, dx, i);
      const Span down = StretchAxis(Vertical(direction), g.h, dy, i);
      copy.source = SweepSource::ToImageScaled;
      copy.dst = Rect{across.start, down.start, across.end, down.end};
      break;
    }
    case TAction::Push: {
      const int x = Trunc(double(i) * dx);
      const int y = Trunc(double(i) * dy);
      switch (direction) {
        case TDirection::FromLeft: copy.srcX = g.w - x; break;
        case TDirection::FromRight: copy.srcX = x; break;
        case TDirection::FromTop: copy.srcY = g.h - y; break;
        case TDirection::FromBottom: copy.srcY = y; break;
        default: return copy;
      }
      copy.source = SweepSource::WorkImage;
      copy.dst = Rect{0, 0, g.w, g.h};
      break;
    }
    case TAction::Slide: {
      const Span across = SlideAxis(Horizontal(direction), g.w, dx, i);
      const Span down = SlideAxis(Vertical(direction), g.h, dy, i);
      copy.source = SweepSource::ToImage;
      copy.dst = Rect{across.start, down.start, across.start + across.length, down.start + down.length};
      copy.srcX = across.src;
      copy.srcY = down.src;
      break;
    }
    default:  // not a geometric action: the steps run without drawing
      break;
  }
  return copy;
}

PushComposite PushCompositeFor(TDirection direction, int w, int h) {
  switch (direction) {
    case TDirection::FromLeft: return {true, 0, 0, w, 0};
    case TDirection::FromRight: return {true, w, 0, 0, 0};
    case TDirection::FromTop: return {true, 0, 0, 0, h};
    case TDirection::FromBottom: return {true, 0, h, 0, 0};
    default: return {};
  }
}

}  // namespace velmora
