// A portrait photo stored as landscape pixels with Exif orientation 6 (turn
// a quarter clockwise), played by the real saver: it stands upright, fitted
// between black bars.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "fade/JpegGraphic.h"
#include "frames/FrameList.h"
#include "frames/FrameSet.h"
#include "support/ExifSupport.h"
#include "support/ProcessLauncherWin32.h"

namespace velmora {
namespace {

constexpr DWORD kStartMs = 20000;
constexpr wchar_t kSaverName[] = L"VelmTurnTest";

std::string SystemDirA() {
  char buffer[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryA(buffer, MAX_PATH);
  return std::string(buffer, length);
}

std::string ShowFile() { return SystemDirA() + "\\VelmTurnTest.fms"; }

// Within a JPEG's rounding of a solid colour.
bool Near(COLORREF a, COLORREF b) {
  return std::abs(int(GetRValue(a)) - int(GetRValue(b))) <= 24 && std::abs(int(GetGValue(a)) - int(GetGValue(b))) <= 24 &&
         std::abs(int(GetBValue(a)) - int(GetBValue(b))) <= 24;
}

// Deletes the show's files however the test ends.
struct RemoveFiles {
  std::vector<std::string> paths;
  ~RemoveFiles() {
    for (const std::string& path : paths) ::DeleteFileA(path.c_str());
  }
};

TEST(ScrnOrientation, PortraitPhotoTaggedSixShowsUprightInTheSaver) {
  if (test::ProgramUnderTest().empty()) GTEST_SKIP() << "VELMORA_EXE not set";
  // Stored 160 x 120: left half red, right half blue. Upright (turned a
  // quarter clockwise) it is 120 x 160 with red on top and blue below.
  MemoryImage24 stored(160, 120);
  stored.FillRect(Rect{0, 0, 80, 120}, 0x0000FF);
  stored.FillRect(Rect{80, 0, 160, 120}, 0xFF0000);
  const std::vector<std::uint8_t> jpeg = testing::WithOrientation(EncodeJpeg(stored, 95), 6, false);
  const std::string picture = SystemDirA() + "\\VelmTurnTest.jpg";
  const RemoveFiles cleanup{{picture, ShowFile()}};
  std::ofstream(picture, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));

  FrameList list;
  AppendFrameRecord(list).SetPath("VelmTurnTest");
  FrameRecord& photo = AppendFrameRecord(list);
  photo.SetPath(picture);
  photo.StillTime = 60;
  FrameRecord& colour = AppendFrameRecord(list);
  colour.PureColour = 1;
  colour.Colour = 0x00FF00;
  colour.StillTime = 60;
  AppendFrameRecord(list);
  WriteFrameSetFile(ShowFile(), list);

  const test::ProgramCopy saver(test::SystemDirectory(), std::wstring(kSaverName) + L".scr");
  ASSERT_TRUE(saver.ok());
  const int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
  ::SetCursorPos(w / 2, h / 2);
  test::LaunchedProcess process;
  ASSERT_TRUE(process.Start(saver.Path(), L"/s"));
  // A screen wider than 3:4 shows the upright picture with bars left and right.
  const bool upright = test::PumpUntil(
      [&] {
        return Near(test::ScreenPixel(w / 2, h / 4), RGB(255, 0, 0)) &&
               Near(test::ScreenPixel(w / 2, h * 3 / 4), RGB(0, 0, 255)) &&
               test::ScreenPixel(w / 20, h / 2) == RGB(0, 0, 0) &&
               test::ScreenPixel(w - 1 - w / 20, h / 2) == RGB(0, 0, 0);
      },
      kStartMs);
  EXPECT_TRUE(upright) << "top " << std::hex << test::ScreenPixel(w / 2, h / 4) << ", bottom "
                       << test::ScreenPixel(w / 2, h * 3 / 4) << ", left " << test::ScreenPixel(w / 20, h / 2);
  test::PressKey(VK_ESCAPE);
  EXPECT_TRUE(process.WaitForExit(5000));
}

}  // namespace
}  // namespace velmora
