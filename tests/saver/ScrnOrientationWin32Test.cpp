// A portrait photo stored as landscape pixels with Exif orientation 6 (turn
// a quarter clockwise), played by the real saver: it stands upright, fitted
// between black bars.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "fade/JpegGraphic.h"
#include "frames/FrameList.h"
#include "frames/FrameSet.h"
#include "support/ExifSupport.h"
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

// Within a JPEG's rounding of a solid colour.
bool Near(COLORREF a, COLORREF b) {
  return std::abs(int(GetRValue(a)) - int(GetRValue(b))) <= 24 && std::abs(int(GetGValue(a)) - int(GetGValue(b))) <= 24 &&
         std::abs(int(GetBValue(a)) - int(GetBValue(b))) <= 24;
}

TEST(ScrnOrientation, PortraitPhotoTaggedSixShowsUprightInTheSaver) {
  if (test::ProgramUnderTest().empty()) GTEST_SKIP() << "VELMORA_EXE not set";
  char dir[MAX_PATH] = {};
  const std::string system(dir, ::GetSystemDirectoryA(dir, MAX_PATH));
  const std::string picture = system + "\\VelmTurnTest.jpg", show = system + "\\VelmTurnTest.fms";
  const RemoveFiles cleanup{{picture, show}};
  // Stored 160 x 120: left half red, right half blue. Upright it is 120 x 160,
  // red on top and blue below.
  MemoryImage24 stored(160, 120);
  stored.FillRect(Rect{0, 0, 80, 120}, 0x0000FF);
  stored.FillRect(Rect{80, 0, 160, 120}, 0xFF0000);
  const std::vector<std::uint8_t> jpeg = testing::WithOrientation(EncodeJpeg(stored, 95), 6, false);
  std::ofstream(picture, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));
  FrameList list;
  AppendFrameRecord(list).SetPath("VelmTurnTest");
  for (int i = 0; i < 2; ++i) {
    FrameRecord& frame = AppendFrameRecord(list);
    frame.SetPath(picture);
    frame.StillTime = 60;
  }
  AppendFrameRecord(list);
  WriteFrameSetFile(show, list);

  const test::ProgramCopy saver(test::SystemDirectory(), L"VelmTurnTest.scr");
  ASSERT_TRUE(saver.ok());
  const int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
  ::SetCursorPos(w / 2, h / 2);
  test::LaunchedProcess process;
  ASSERT_TRUE(process.Start(saver.Path(), L"/s"));
  // On a screen wider than 3:4 the upright picture has bars left and right.
  const auto at = [](int x, int y) { return test::ScreenPixel(x, y); };
  EXPECT_TRUE(test::PumpUntil(
      [&] {
        return Near(at(w / 2, h / 4), RGB(255, 0, 0)) && Near(at(w / 2, h * 3 / 4), RGB(0, 0, 255)) &&
               at(w / 20, h / 2) == RGB(0, 0, 0) && at(w - 1 - w / 20, h / 2) == RGB(0, 0, 0);
      },
      20000))
      << std::hex << "top " << at(w / 2, h / 4) << ", bottom " << at(w / 2, h * 3 / 4) << ", left " << at(w / 20, h / 2);
  test::PressKey(VK_ESCAPE);
  EXPECT_TRUE(process.WaitForExit(5000));
}

}  // namespace
}  // namespace velmora
