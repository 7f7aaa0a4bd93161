// Control fonts: created for the screen from points or pixels, shared by
// every control that names the same font, the rest taken from the form's.
#include "platform/FontsWin32.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora {
namespace {

LOGFONTW Describe(HFONT font) {
  LOGFONTW description{};
  ::GetObjectW(font, sizeof(description), &description);
  return description;
}

TEST(FontCacheTest, ControlFontsTakeWhatTheyLackFromTheFormsFont) {
  FontCache& cache = FontCache::Instance();
  const FontSpec form{.face = "MS Sans Serif", .points = 8};
  struct Case {
    const char* what;
    FontSpec spec;
    const wchar_t* face;
    int height;  // lfHeight
    bool bold;
  };
  const Case cases[] = {
      {"the form's font", {}, L"MS Sans Serif", -FontCache::PointsToPixels(8), false},
      {"a face and point size", {.face = "細明體", .points = 9}, L"細明體", -FontCache::PointsToPixels(9), false},
      {"a pixel size on the form's face", {.pixels = 13}, L"MS Sans Serif", -13, false},
      {"bold alone", {.bold = true}, L"MS Sans Serif", -FontCache::PointsToPixels(8), true},
      {"Arial 13 px", {.face = "Arial", .pixels = 13}, L"Arial", -13, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HFONT font = cache.Get(c.spec, form);
    ASSERT_NE(font, nullptr);
    const LOGFONTW description = Describe(font);
    EXPECT_STREQ(description.lfFaceName, c.face);
    EXPECT_EQ(description.lfHeight, c.height);
    EXPECT_EQ(description.lfWeight >= FW_BOLD, c.bold);
    EXPECT_EQ(cache.Get(c.spec, form), font) << "made once, shared";
  }
  EXPECT_NE(cache.Get("Arial", 9, true), cache.Get("Arial", 9, false));
}

}  // namespace
}  // namespace velmora
