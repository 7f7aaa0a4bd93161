// Test doubles for the transition component: a surface that records every
// call and keeps what the user would see, a host with a manual clock, and
// graphics that record how they were drawn.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fade/FadeHost.h"
#include "fade/Graphics.h"
#include "fade/MorfFade.h"

namespace velmora::testing {

// One call made on the surface.
struct SurfaceCall {
  enum Kind { Bounds, Invalidate, Paint, Stretch, Copy, Visibility } kind;
  Rect rect;        // Bounds: the bounds; Stretch: the destination; Copy: destination block
  int srcX = 0;     // Copy only
  int srcY = 0;     // Copy only
  const Image24* source = nullptr;  // Paint, Stretch, Copy
  bool visible = false;             // Visibility
};

class FakeSurface final : public FadeSurface {
 public:
  void BoundsChanged(const Rect& bounds) override;
  void Invalidate() override;
  void PaintImage(const Image24& image) override;
  void StretchCopy(const Image24& src, const Rect& dst) override;
  void Copy(const Image24& src, int srcX, int srcY, int width, int height, int dstX, int dstY) override;
  void VisibilityChanged(bool visible) override;

  // Every call, in order.
  std::vector<SurfaceCall> calls;
  // What the component's place on the parent shows (sized by BoundsChanged).
  MemoryImage24 screen;
  // Called after every drawing call (Paint, Stretch, Copy), with the call.
  std::function<void(const SurfaceCall&)> onDraw;

  std::vector<SurfaceCall> CallsOf(SurfaceCall::Kind kind) const;
  int Count(SurfaceCall::Kind kind) const;
  // Drawing calls only (Paint, Stretch, Copy).
  std::vector<SurfaceCall> Draws() const;
  void Clear() { calls.clear(); }

 private:
  void Record(const SurfaceCall& call);
};

class FakeHost final : public FadeHost {
 public:
  void ProcessMessages() override;
  void Sleep(int ms) override;
  std::int64_t NowMicros() override;
  bool WaitForVerticalBlank() override;

  std::int64_t now = 0;              // microseconds
  std::int64_t advancePerRead = 0;   // added to the clock after every NowMicros
  std::vector<int> sleeps;           // every Sleep, in milliseconds
  int processCalls = 0;
  int vblankCalls = 0;
  bool hasVerticalBlank = false;
  std::function<void()> onProcessMessages;
};

// A graphic that paints a pattern and records its draws. Raster graphics
// cover their whole rectangle; metafiles and icons mark only their
// top-left pixel (they draw over what the target holds).
class FakeGraphic final : public Graphic {
 public:
  FakeGraphic(GraphicKind kind, int width, int height, TColor color)
      : kind_(kind), width_(width), height_(height), color_(color) {}

  GraphicKind Kind() const override { return kind_; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void Draw(Image24& target, int x, int y) const override;
  void StretchDraw(Image24& target, const Rect& rect) const override;

  // Pixel (x, y) of the picture at natural size: color, or PatternAt.
  bool patterned = false;
  static TColor PatternAt(int x, int y) { return TColor((x & 0xFF) | (y & 0xFF) << 8 | 0x40 << 16); }

  mutable std::vector<Rect> stretchRects;
  mutable std::vector<Rect> drawRects;  // natural-size draws, as rectangles

 private:
  TColor ColorAt(int x, int y) const { return patterned ? PatternAt(x, y) : color_; }
  GraphicKind kind_;
  int width_;
  int height_;
  TColor color_;
};

std::shared_ptr<FakeGraphic> MakeGraphic(GraphicKind kind, int width, int height, TColor color);

// True when every pixel of the image has the colour.
bool AllPixels(const Image24& image, TColor color);
// Number of pixels with the colour.
long CountPixels(const Image24& image, TColor color);
// Byte-for-byte equality of two images of equal size (padding excluded).
bool SamePixels(const Image24& a, const Image24& b);

// A component on fakes, placed at (0, 0) with the given size, that logs its
// events by name ("Reset", "Begin", "End") and starts with an empty call log.
struct FadeRig {
  explicit FadeRig(int width = 75, int height = 75);

  MemoryImageFactory images;
  FakeSurface surface;
  FakeHost host;
  TMorfFade fade{images, surface, host};
  std::vector<std::string> events;

  int CountEvents(const std::string& name) const;
};

}  // namespace velmora::testing
