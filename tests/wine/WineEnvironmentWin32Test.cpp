// What every Win32 test relies on from the runner: a display, the CJK font
// replacements and the path of the program under test.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace velmora {
namespace {

TEST(WineEnvironment, ScreenIsAvailable) {
  EXPECT_GT(GetSystemMetrics(SM_CXSCREEN), 0);
  EXPECT_GT(GetSystemMetrics(SM_CYSCREEN), 0);
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  EXPECT_GE(GetDeviceCaps(screen, BITSPIXEL), 24);
  ReleaseDC(nullptr, screen);
}

// Reports whether a font of this face name renders Traditional Chinese:
// the ideograph for "picture" must map to a glyph.
bool FaceHasChineseGlyph(const wchar_t* face) {
  LOGFONTW lf{};
  lf.lfHeight = -16;
  lf.lfCharSet = DEFAULT_CHARSET;
  wcsncpy_s(lf.lfFaceName, face, _TRUNCATE);
  HFONT font = CreateFontIndirectW(&lf);
  if (font == nullptr) return false;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  WORD glyph = 0xFFFF;
  const wchar_t picture = L'\u5716';
  const DWORD got = GetGlyphIndicesW(dc, &picture, 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(font);
  return got == 1 && glyph != 0xFFFF;
}

TEST(WineEnvironment, ChineseUiFontsAreReplaced) {
  EXPECT_TRUE(FaceHasChineseGlyph(L"PMingLiU"));
  EXPECT_TRUE(FaceHasChineseGlyph(L"MingLiU"));
  EXPECT_TRUE(FaceHasChineseGlyph(L"\u7d30\u660e\u9ad4"));  // the face's Chinese name
}

TEST(WineEnvironment, ProgramUnderTestIsNamed) {
  const char* exe = std::getenv("VELMORA_EXE");
  if (exe == nullptr) GTEST_SKIP() << "VELMORA_EXE not set (program not built yet)";
  const DWORD attributes = GetFileAttributesA(exe);
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << exe;
  EXPECT_EQ(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

}  // namespace
}  // namespace velmora
