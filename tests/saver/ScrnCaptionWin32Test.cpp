// A show with captions, played by the real saver: the picture's file name
// sits in a corner of the picture, white over a dark halo where the picture
// is plain grey, and the next picture carries it in another corner.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "frames/FrameList.h"
#include "frames/FrameSet.h"
#include "frames/ShowOptions.h"
#include "platform/HandlesWin32.h"
#include "support/ProcessLauncherWin32.h"

namespace velmora {
namespace {

// Deletes the show's files however the test ends.
struct RemoveFiles {
  std::vector<std::string> paths;
  ~RemoveFiles() {
    for (const std::string& path : paths) ::DeleteFileA(path.c_str());
  }
};

// A 160 x 120 bitmap of one grey: on a 4:3 screen it fills the screen.
void WriteGreyBitmap(const std::string& path) {
  const int width = 160, height = 120, stride = width * 3;
  std::string bmp = "BM";
  auto put = [&bmp](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) bmp.push_back(char(value >> (8 * i)));
  };
  put(54 + stride * height, 4), put(0, 4), put(54, 4), put(40, 4), put(width, 4), put(height, 4), put(1, 2);
  put(24, 2), put(0, 4), put(stride * height, 4), put(2835, 4), put(2835, 4), put(0, 4), put(0, 4);
  bmp.append(std::size_t(stride) * height, char(0x80));
  std::ofstream(path, std::ios::binary) << bmp;
}

// The screen's pixels, read at once.
class ScreenShot {
 public:
  ScreenShot() : width_(::GetSystemMetrics(SM_CXSCREEN)), height_(::GetSystemMetrics(SM_CYSCREEN)) {
    HDC screen = ::GetDC(nullptr);
    const UniqueMemoryDc dc(::CreateCompatibleDC(screen));
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width_, -height_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const UniqueBitmap bitmap(::CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bitmap && bits) {
      const SelectGuard select(dc.get(), bitmap.get());
      ::BitBlt(dc.get(), 0, 0, width_, height_, screen, 0, 0, SRCCOPY);
      ::GdiFlush();
      const auto* p = static_cast<const std::uint32_t*>(bits);
      pixels_.assign(p, p + std::size_t(width_) * std::size_t(height_));
    }
    ::ReleaseDC(nullptr, screen);
  }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // 0x00RRGGBB.
  std::uint32_t At(int x, int y) const {
    return pixels_.empty() ? 0 : pixels_[std::size_t(y) * std::size_t(width_) + std::size_t(x)] & 0xFFFFFF;
  }

 private:
  int width_, height_;
  std::vector<std::uint32_t> pixels_;
};

bool IsGrey(std::uint32_t c) {
  for (int shift : {0, 8, 16})
    if (int(c >> shift & 0xFF) < 0x70 || int(c >> shift & 0xFF) > 0x90) return false;
  return true;
}

// What the four corners of the screen (a box of 40 % x 15 % each, in the
// order top-left, top-right, bottom-left, bottom-right) show: text is there
// when white pixels and dark halo pixels both are.
struct Corners {
  std::array<bool, 4> caption{};
  bool centreGrey = false;
  int Count() const { return int(caption[0]) + caption[1] + caption[2] + caption[3]; }
  int Which() const {
    for (int i = 0; i < 4; ++i)
      if (caption[i]) return i;
    return -1;
  }
};

Corners ReadCorners() {
  const ScreenShot shot;
  const int w = shot.Width(), h = shot.Height(), bw = w * 2 / 5, bh = h * 15 / 100;
  Corners corners;
  corners.centreGrey = IsGrey(shot.At(w / 2, h / 2)) && IsGrey(shot.At(w / 3, h / 2));
  for (int i = 0; i < 4; ++i) {
    const int x0 = i % 2 == 0 ? 0 : w - bw, y0 = i / 2 == 0 ? 0 : h - bh;
    int white = 0, dark = 0;
    for (int y = y0; y < y0 + bh; ++y)
      for (int x = x0; x < x0 + bw; ++x) {
        const std::uint32_t c = shot.At(x, y);
        const int least = std::min({int(c & 0xFF), int(c >> 8 & 0xFF), int(c >> 16 & 0xFF)});
        const int most = std::max({int(c & 0xFF), int(c >> 8 & 0xFF), int(c >> 16 & 0xFF)});
        white += least >= 0xE0;
        dark += most <= 0x40;
      }
    corners.caption[std::size_t(i)] = white >= 20 && dark >= 20;
  }
  return corners;
}

TEST(ScrnCaption, FileNameCaptionSitsInACornerAndMovesOnTheNextPicture) {
  if (test::ProgramUnderTest().empty()) GTEST_SKIP() << "VELMORA_EXE not set";
  char dir[MAX_PATH] = {};
  const std::string system(dir, ::GetSystemDirectoryA(dir, MAX_PATH));
  const std::string picture = system + "\\VelmCapTest.bmp", show = system + "\\VelmCapTest.fms";
  const RemoveFiles cleanup{{picture, show}};
  WriteGreyBitmap(picture);
  FrameList list;
  FrameRecord& header = AppendFrameRecord(list);
  header.SetPath("VelmCapTest");
  WriteShowOptions(header, ShowOptions{false, CaptionMode::FileName});
  // The same picture twice: the first for 3 s, then the second comes at once.
  for (const std::int32_t still : {3, 600}) {
    FrameRecord& frame = AppendFrameRecord(list);
    frame.SetPath(picture);
    frame.StillTime = still;
  }
  AppendFrameRecord(list);
  WriteFrameSetFile(show, list);

  const test::ProgramCopy saver(test::SystemDirectory(), L"VelmCapTest.scr");
  ASSERT_TRUE(saver.ok());
  ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2);
  test::LaunchedProcess process;
  ASSERT_TRUE(process.Start(saver.Path(), L"/s"));
  Corners first;
  EXPECT_TRUE(test::PumpUntil(
      [&] {
        first = ReadCorners();
        return first.centreGrey && first.Count() == 1;
      },
      20000))
      << "centre grey " << first.centreGrey << ", corners with text " << first.Count();
  Corners second;
  EXPECT_TRUE(test::PumpUntil(
      [&] {
        second = ReadCorners();
        return second.centreGrey && second.Count() == 1 && second.Which() != first.Which();
      },
      20000))
      << "first in corner " << first.Which() << ", then " << second.Which() << " of " << second.Count();
  test::PressKey(VK_ESCAPE);
  EXPECT_TRUE(process.WaitForExit(5000));
}

}  // namespace
}  // namespace velmora
