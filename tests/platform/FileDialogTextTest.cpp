// The file-open dialog's filter, result buffer and buffer growth.
#include "platform/FileDialogText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

using namespace std::string_literals;

TEST(FileDialogTextTest, FilterBarsBecomeNulsWithADoubleNulAtTheEnd) {
  struct Case {
    std::wstring bars;
    std::wstring expected;
  };
  const Case cases[] = {
      {L"Bitmaps (*.bmp)|*.bmp", L"Bitmaps (*.bmp)\0*.bmp\0\0"s},
      {L"All|*.jpg;*.bmp|JPEG|*.jpg", L"All\0*.jpg;*.bmp\0JPEG\0*.jpg\0\0"s},
      {L"", L"\0\0"s},
  };
  for (const Case& c : cases) EXPECT_EQ(DialogFilter(c.bars), c.expected) << std::string(c.bars.begin(), c.bars.end());
}

TEST(FileDialogTextTest, ResultIsOnePathOrADirectoryWithNamesInOrder) {
  struct Case {
    const char* what;
    std::wstring buffer;
    std::vector<std::wstring> expected;
  };
  const Case cases[] = {
      {"one file", L"C:\\pics\\a.jpg\0\0junk"s, {L"C:\\pics\\a.jpg"}},
      {"several files keep the dialog's order", L"C:\\pics\0b.jpg\0a.bmp\0\0"s,
       {L"C:\\pics\\b.jpg", L"C:\\pics\\a.bmp"}},
      {"a root directory already ends with a backslash", L"C:\\\0a.jpg\0b.jpg\0\0"s, {L"C:\\a.jpg", L"C:\\b.jpg"}},
      {"a name that is a full path is kept", L"C:\\pics\0D:\\x.jpg\0\\\\host\\s\\y.bmp\0\0"s,
       {L"D:\\x.jpg", L"\\\\host\\s\\y.bmp"}},
      {"names with blanks", L"C:\\my pics\0a b.jpg\0c.jpg\0\0"s, {L"C:\\my pics\\a b.jpg", L"C:\\my pics\\c.jpg"}},
      {"empty buffer", L"\0\0"s, {}},
      {"buffer without its final NULs ends at its capacity", L"C:\\pics\0a.jpg"s, {L"C:\\pics\\a.jpg"}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseDialogResult(c.buffer), c.expected) << c.what;
}

TEST(FileDialogTextTest, BufferGrowsPastWhatTheDialogAsksAndStopsAtTheLimit) {
  struct Case {
    size_t current;
    size_t requested;
    size_t expected;
  };
  const Case cases[] = {
      {16384, 50000, 50002},               // the dialog's figure plus its two NULs
      {16384, 0, 32768},                   // no figure: doubled
      {16384, 100, 32768},                 // a figure below the current size (16-bit wrap): doubled
      {kMaxDialogBuffer / 2 + 1, 0, kMaxDialogBuffer},
      {kMaxDialogBuffer, 70000, 0},        // cannot grow: an error, not another run
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GrownDialogBuffer(c.current, c.requested), c.expected) << c.current << " asked " << c.requested;
  }
  // Growing from the start always ends: every step is larger, the limit is reached.
  size_t size = 16384;
  int runs = 0;
  while (size != 0 && runs < 100) {
    size = GrownDialogBuffer(size, 0);
    ++runs;
  }
  EXPECT_EQ(size, 0u);
  EXPECT_LT(runs, 20);
}

}  // namespace
}  // namespace velmora
