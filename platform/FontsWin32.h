// Control fonts by face name and size, created once for a DPI and kept until
// the program ends (or Clear): every control that names the same font at the
// same DPI shares one HFONT.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <string_view>
#include <tuple>

#include "platform/HandlesWin32.h"

namespace velmora {

// A font as a form description gives it. Either points (8 for "MS Sans
// Serif" 8 point) or pixels (13 for "13 px", the character height) is set;
// with both 0 the size is the form's. A null face means the form's face.
struct FontSpec {
  const char* face = nullptr;  // UTF-8 ("MS Sans Serif", "細明體", "Arial")
  int points = 0;
  int pixels = 0;
  bool bold = false;
};

class FontCache {
 public:
  static FontCache& Instance();

  FontCache(const FontCache&) = delete;
  FontCache& operator=(const FontCache&) = delete;

  // The font of that face (UTF-8), height and weight for `dpi` (0: the
  // screen's); created on first use. A point size is turned into pixels at
  // that DPI (points * dpi / 72); a pixel size is the character height at
  // 96 DPI, scaled to `dpi` (DpiScale.h). Never nullptr: a face the system
  // lacks gets its substitute, and when creation fails the default GUI font
  // stands in. Not owned by the caller.
  HFONT Get(std::string_view face, int points, bool bold = false, int dpi = 0);
  HFONT GetPixels(std::string_view face, int pixels, bool bold = false, int dpi = 0);
  // The font of a description whose empty parts are taken from `base`.
  HFONT Get(const FontSpec& spec, const FontSpec& base, int dpi = 0);

  // The character height in pixels of a point size at `dpi` (0: the screen's).
  static int PointsToPixels(int points, int dpi = 0);
  // The screen's DPI (LOGPIXELSY of the screen; 96 when it cannot be read).
  static int ScreenDpi();

  // Deletes every font. Only when no window uses them any more.
  void Clear();

 private:
  FontCache() = default;
  HFONT Make(std::string_view face, int height, bool bold);

  // Key: face, height (negative: character height in pixels), bold.
  std::map<std::tuple<std::string, int, bool>, UniqueFont> fonts_;
};

}  // namespace velmora
