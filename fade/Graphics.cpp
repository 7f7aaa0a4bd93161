#include "fade/Graphics.h"

#include <algorithm>
#include <cstring>

namespace velmora {
namespace {

// The classic Windows system palette, for builds without GetSysColor.
TColor DefaultSystemColor(int index) {
  static constexpr TColor kClassic[] = {
      0xC8D0D4, 0xA56E3A, 0x6A240A, 0x808080, 0xC8D0D4, 0xFFFFFF, 0x000000, 0x000000,
      0x000000, 0x000000, 0xC8D0D4, 0xC8D0D4, 0x808080, 0x6A240A, 0xFFFFFF, 0xC8D0D4,
      0x808080, 0x808080, 0x000000, 0xC8D0D4, 0xFFFFFF, 0x404040, 0xC8D0D4, 0x000000,
      0xE1FFFF, 0xB5B5B5, 0x800000, 0xF0CAA6, 0xC0C0C0, 0xD77800, 0xC8D0D4};
  if (index < 0 || index >= int(std::size(kClassic))) return kBlack;
  return kClassic[index];
}

SystemColorResolver g_resolver = &DefaultSystemColor;

}  // namespace

void SetSystemColorResolver(SystemColorResolver resolver) {
  g_resolver = resolver ? resolver : &DefaultSystemColor;
}

TColor ColorToRGB(TColor color) {
  if ((color & 0xFF000000u) == 0x80000000u) return g_resolver(int(color & 0xFF)) & 0xFFFFFF;
  return color & 0xFFFFFF;
}

void Image24::Fill(TColor color) { FillRect(Rect{0, 0, Width(), Height()}, color); }

void Image24::FillRect(const Rect& rect, TColor color) {
  const int left = std::max(rect.left, 0);
  const int top = std::max(rect.top, 0);
  const int right = std::min(rect.right, Width());
  const int bottom = std::min(rect.bottom, Height());
  if (left >= right || top >= bottom) return;
  const TColor rgb = ColorToRGB(color);
  const std::uint8_t b = std::uint8_t(rgb >> 16), g = std::uint8_t(rgb >> 8), r = std::uint8_t(rgb);
  // Build one row's worth of pixels, then copy it down.
  std::uint8_t* first = Row(top) + left * 3;
  for (int x = 0; x < right - left; ++x) {
    first[x * 3] = b;
    first[x * 3 + 1] = g;
    first[x * 3 + 2] = r;
  }
  const std::size_t bytes = std::size_t(right - left) * 3;
  for (int y = top + 1; y < bottom; ++y) std::memcpy(Row(y) + left * 3, first, bytes);
}

void Image24::Draw(const Image24& src, int x, int y) {
  const int left = std::max(x, 0);
  const int top = std::max(y, 0);
  const int right = std::min(x + src.Width(), Width());
  const int bottom = std::min(y + src.Height(), Height());
  if (left >= right || top >= bottom) return;
  const std::size_t bytes = std::size_t(right - left) * 3;
  for (int row = top; row < bottom; ++row)
    std::memmove(Row(row) + left * 3, src.Row(row - y) + (left - x) * 3, bytes);
}

TColor Image24::PixelAt(int x, int y) const {
  const std::uint8_t* p = Row(y) + x * 3;
  return TColor(p[2]) | TColor(p[1]) << 8 | TColor(p[0]) << 16;
}

void MemoryImage24::SetSize(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  pixels_.assign(std::size_t(StrideFor(width_)) * std::size_t(height_), 0);
}

}  // namespace velmora
