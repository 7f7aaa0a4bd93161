#include "editor/RecordPathWin32.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace velmora {
namespace {

// A picture path converts to a code page only when it comes back exactly:
// no best-fit look-alike, no lone surrogate, and UTF-8 (which Windows can
// use as its ANSI code page) works as well as the double-byte pages.
TEST(RecordPathWin32Test, ExactInCodePage) {
  struct Case {
    const char* name;
    const wchar_t* path;
    UINT codePage;
    std::optional<std::string> stored;
  };
  const Case cases[] = {
      {"plain path, western page", L"C:\\pics\\a.jpg", 1252, "C:\\pics\\a.jpg"},
      {"Chinese path, Big5", L"C:\\圖片\\a.jpg", 950, "C:\\\xb9\xcf\xa4\xf9\\a.jpg"},
      {"Chinese path, UTF-8", L"C:\\圖片\\a.jpg", CP_UTF8, "C:\\\xe5\x9c\x96\xe7\x89\x87\\a.jpg"},
      {"Chinese path, western page", L"C:\\圖片\\a.jpg", 1252, std::nullopt},
      {"best fit would change a letter", L"C:\\\x0101.jpg", 1252, std::nullopt},
      {"lone surrogate, UTF-8", L"C:\\\xd800.jpg", CP_UTF8, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ExactInCodePage(c.path, c.codePage), c.stored);
  }
}

// A slot's file-name label: the characters after the last "\" or ":", found
// as characters, so a Big5 character whose second byte is a backslash stays
// whole.
TEST(RecordPathWin32Test, RecordFileNameSplitsCharacters) {
  struct Case {
    const char* path;
    UINT codePage;
    const wchar_t* fileName;
  };
  const Case cases[] = {
      {"C:\\pics\\a.jpg", 1252, L"a.jpg"},
      {"D:b.bmp", 1252, L"b.bmp"},
      {"c.emf", 1252, L"c.emf"},
      {"", 950, L""},
      {"C:\\pics\\\xa5\x5c\xbd\xd2.jpg", 950, L"功課.jpg"},
      {"C:\\\xb3\x5c\\\xb3\x5c.jpg", 950, L"許.jpg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(RecordFileName(c.path, c.codePage), c.fileName);
  }
}

}  // namespace
}  // namespace velmora
