#include "support/FakeFade.h"

#include <algorithm>
#include <cstring>

namespace velmora::testing {

void FakeSurface::Record(const SurfaceCall& call) {
  calls.push_back(call);
  if (onDraw && (call.kind == SurfaceCall::Paint || call.kind == SurfaceCall::Stretch ||
                 call.kind == SurfaceCall::Copy))
    onDraw(call);
}

void FakeSurface::BoundsChanged(const Rect& bounds) {
  screen.SetSize(bounds.Width(), bounds.Height());
  Record({SurfaceCall::Bounds, bounds});
}

void FakeSurface::Invalidate() { Record({SurfaceCall::Invalidate, {}}); }

void FakeSurface::PaintImage(const Image24& image) {
  screen.Draw(image, 0, 0);
  Record({SurfaceCall::Paint, Rect{0, 0, image.Width(), image.Height()}, 0, 0, &image});
}

void FakeSurface::StretchCopy(const Image24& src, const Rect& dst) {
  // Nearest neighbour, clipped to the screen.
  if (dst.Width() > 0 && dst.Height() > 0 && src.Width() > 0 && src.Height() > 0) {
    for (int y = std::max(dst.top, 0); y < std::min(dst.bottom, screen.Height()); ++y) {
      const int sy = int((long long)(y - dst.top) * src.Height() / dst.Height());
      for (int x = std::max(dst.left, 0); x < std::min(dst.right, screen.Width()); ++x) {
        const int sx = int((long long)(x - dst.left) * src.Width() / dst.Width());
        std::memcpy(screen.Row(y) + x * 3, src.Row(sy) + sx * 3, 3);
      }
    }
  }
  Record({SurfaceCall::Stretch, dst, 0, 0, &src});
}

void FakeSurface::Copy(const Image24& src, int srcX, int srcY, int width, int height, int dstX,
                       int dstY) {
  for (int y = 0; y < height; ++y) {
    const int sy = srcY + y, ty = dstY + y;
    if (sy < 0 || sy >= src.Height() || ty < 0 || ty >= screen.Height()) continue;
    for (int x = 0; x < width; ++x) {
      const int sx = srcX + x, tx = dstX + x;
      if (sx < 0 || sx >= src.Width() || tx < 0 || tx >= screen.Width()) continue;
      std::memcpy(screen.Row(ty) + tx * 3, src.Row(sy) + sx * 3, 3);
    }
  }
  Record({SurfaceCall::Copy, Rect{dstX, dstY, dstX + width, dstY + height}, srcX, srcY, &src});
}

void FakeSurface::VisibilityChanged(bool visible) {
  SurfaceCall call{SurfaceCall::Visibility, {}};
  call.visible = visible;
  Record(call);
}

std::vector<SurfaceCall> FakeSurface::CallsOf(SurfaceCall::Kind kind) const {
  std::vector<SurfaceCall> out;
  for (const SurfaceCall& c : calls)
    if (c.kind == kind) out.push_back(c);
  return out;
}

int FakeSurface::Count(SurfaceCall::Kind kind) const { return int(CallsOf(kind).size()); }

std::vector<SurfaceCall> FakeSurface::Draws() const {
  std::vector<SurfaceCall> out;
  for (const SurfaceCall& c : calls)
    if (c.kind == SurfaceCall::Paint || c.kind == SurfaceCall::Stretch || c.kind == SurfaceCall::Copy)
      out.push_back(c);
  return out;
}

void FakeHost::ProcessMessages() {
  ++processCalls;
  if (onProcessMessages) onProcessMessages();
}

void FakeHost::Sleep(int ms) {
  sleeps.push_back(ms);
  if (ms > 0) now += std::int64_t(ms) * 1000;
}

std::int64_t FakeHost::NowMicros() {
  const std::int64_t t = now;
  now += advancePerRead;
  return t;
}

bool FakeHost::WaitForVerticalBlank() {
  ++vblankCalls;
  return hasVerticalBlank;
}

namespace {
void Put(Image24& target, int x, int y, TColor color) {
  if (x < 0 || y < 0 || x >= target.Width() || y >= target.Height()) return;
  std::uint8_t* p = target.Row(y) + x * 3;
  p[0] = std::uint8_t(color >> 16);
  p[1] = std::uint8_t(color >> 8);
  p[2] = std::uint8_t(color);
}
}  // namespace

void FakeGraphic::Draw(Image24& target, int x, int y) const {
  drawRects.push_back(Rect{x, y, x + width_, y + height_});
  if (kind_ != GraphicKind::Raster) {
    Put(target, x, y, ColorAt(0, 0));
    return;
  }
  for (int row = 0; row < height_; ++row)
    for (int col = 0; col < width_; ++col) Put(target, x + col, y + row, ColorAt(col, row));
}

void FakeGraphic::StretchDraw(Image24& target, const Rect& rect) const {
  stretchRects.push_back(rect);
  if (rect.Width() <= 0 || rect.Height() <= 0) return;
  if (kind_ != GraphicKind::Raster) {
    Put(target, rect.left, rect.top, ColorAt(0, 0));
    return;
  }
  for (int y = rect.top; y < rect.bottom; ++y)
    for (int x = rect.left; x < rect.right; ++x)
      Put(target, x, y,
          ColorAt(int((long long)(x - rect.left) * width_ / rect.Width()),
                  int((long long)(y - rect.top) * height_ / rect.Height())));
}

std::shared_ptr<FakeGraphic> MakeGraphic(GraphicKind kind, int width, int height, TColor color) {
  return std::make_shared<FakeGraphic>(kind, width, height, color);
}

bool AllPixels(const Image24& image, TColor color) {
  return CountPixels(image, color) == long(image.Width()) * image.Height();
}

long CountPixels(const Image24& image, TColor color) {
  long n = 0;
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x)
      if (image.PixelAt(x, y) == color) ++n;
  return n;
}

bool SamePixels(const Image24& a, const Image24& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    if (std::memcmp(a.Row(y), b.Row(y), std::size_t(a.Width()) * 3) != 0) return false;
  return true;
}

FadeRig::FadeRig(int width, int height) {
  fade.SetBounds(0, 0, width, height);
  fade.OnReset = [this](TMorfFade&) { events.push_back("Reset"); };
  fade.OnBegin = [this](TMorfFade&) { events.push_back("Begin"); };
  fade.OnEnd = [this](TMorfFade&) { events.push_back("End"); };
  surface.Clear();
}

int FadeRig::CountEvents(const std::string& name) const {
  return int(std::count(events.begin(), events.end(), name));
}

}  // namespace velmora::testing
