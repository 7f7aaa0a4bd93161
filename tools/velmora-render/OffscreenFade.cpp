#include "OffscreenFade.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace velmora::render {

void OffscreenSurface::BoundsChanged(const Rect& bounds) {
  if (bounds.Width() == screen_.Width() && bounds.Height() == screen_.Height()) return;
  // A new place shows nothing until it is painted: black.
  screen_.SetSize(std::max(bounds.Width(), 0), std::max(bounds.Height(), 0));
  invalid_ = true;
}

void OffscreenSurface::PaintImage(const Image24& image) {
  screen_.Draw(image, 0, 0);
  invalid_ = false;
}

void OffscreenSurface::StretchCopy(const Image24& src, const Rect& dst) {
  const std::int64_t dw = std::int64_t(dst.right) - dst.left;
  const std::int64_t dh = std::int64_t(dst.bottom) - dst.top;
  const std::int64_t sw = src.Width(), sh = src.Height();
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  const int x0 = std::max(dst.left, 0), x1 = std::min(dst.right, screen_.Width());
  const int y0 = std::max(dst.top, 0), y1 = std::min(dst.bottom, screen_.Height());
  if (x0 >= x1 || y0 >= y1) return;
  std::vector<int> columns(std::size_t(x1 - x0));
  for (int x = x0; x < x1; ++x)
    columns[std::size_t(x - x0)] = int((2 * (std::int64_t(x) - dst.left) + 1) * sw / (2 * dw));
  for (int y = y0; y < y1; ++y) {
    const int sy = int((2 * (std::int64_t(y) - dst.top) + 1) * sh / (2 * dh));
    const std::uint8_t* from = src.Row(sy);
    std::uint8_t* to = screen_.Row(y) + std::size_t(x0) * 3;
    for (int sx : columns) {
      const std::uint8_t* p = from + std::size_t(sx) * 3;
      to[0] = p[0];
      to[1] = p[1];
      to[2] = p[2];
      to += 3;
    }
  }
}

void OffscreenSurface::Copy(const Image24& src, int srcX, int srcY, int width, int height,
                            int dstX, int dstY) {
  // Clip the block to the source, then to the screen, keeping the two
  // origins in step.
  std::int64_t sx = srcX, sy = srcY, dx = dstX, dy = dstY, w = width, h = height;
  auto clip = [&](std::int64_t& a, std::int64_t& b, std::int64_t& len, std::int64_t limitA,
                  std::int64_t limitB) {
    if (a < 0) { b -= a; len += a; a = 0; }
    if (b < 0) { a -= b; len += b; b = 0; }
    len = std::min({len, limitA - a, limitB - b});
  };
  clip(sx, dx, w, src.Width(), screen_.Width());
  clip(sy, dy, h, src.Height(), screen_.Height());
  if (w <= 0 || h <= 0) return;
  for (std::int64_t row = 0; row < h; ++row)
    std::memmove(screen_.Row(int(dy + row)) + dx * 3, src.Row(int(sy + row)) + sx * 3,
                 std::size_t(w) * 3);
}

std::int64_t RenderHost::NowMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace velmora::render
