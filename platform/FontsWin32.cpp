#include "platform/FontsWin32.h"

#include "platform/ApplicationWin32.h"
#include "platform/DpiScale.h"

namespace velmora {

FontCache& FontCache::Instance() {
  static FontCache cache;
  return cache;
}

int FontCache::ScreenDpi() {
  WindowDc screen(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : kDesignDpi;
  return dpi > 0 ? dpi : kDesignDpi;
}

int FontCache::PointsToPixels(int points, int dpi) {
  return PointsToPixelsAtDpi(points, dpi > 0 ? dpi : ScreenDpi());
}

HFONT FontCache::Get(std::string_view face, int points, bool bold, int dpi) {
  return Make(face, -PointsToPixels(points > 0 ? points : 8, dpi), bold);
}

HFONT FontCache::GetPixels(std::string_view face, int pixels, bool bold, int dpi) {
  const int designed = pixels > 0 ? pixels : 13;
  return Make(face, -(dpi > 0 ? ScaleToDpi(designed, dpi) : designed), bold);
}

HFONT FontCache::Get(const FontSpec& spec, const FontSpec& base, int dpi) {
  const char* face = spec.face != nullptr ? spec.face : (base.face != nullptr ? base.face : "MS Sans Serif");
  const bool bold = spec.bold || (spec.face == nullptr && spec.points == 0 && spec.pixels == 0 && base.bold);
  if (spec.pixels > 0) return GetPixels(face, spec.pixels, bold, dpi);
  if (spec.points > 0) return Get(face, spec.points, bold, dpi);
  if (base.pixels > 0) return GetPixels(face, base.pixels, bold, dpi);
  return Get(face, base.points, bold, dpi);
}

HFONT FontCache::Make(std::string_view face, int height, bool bold) {
  auto key = std::make_tuple(std::string(face), height, bold);
  if (auto found = fonts_.find(key); found != fonts_.end()) return found->second.get();
  LOGFONTW font{};
  font.lfHeight = height;
  font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  const std::wstring wide = WidenUtf8(face);
  wcsncpy_s(font.lfFaceName, wide.c_str(), _TRUNCATE);
  UniqueFont made(::CreateFontIndirectW(&font));
  if (!made) return static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  HFONT result = made.get();
  fonts_.emplace(std::move(key), std::move(made));
  return result;
}

void FontCache::Clear() { fonts_.clear(); }

}  // namespace velmora
