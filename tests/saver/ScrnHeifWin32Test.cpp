// A HEIC photo played by the real saver: the program decodes it itself, so
// it shows whether or not the system can read HEIC.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "frames/FrameList.h"
#include "frames/FrameSet.h"
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

// Within the encoder's rounding of a solid colour.
bool Near(COLORREF a, COLORREF b) {
  return std::abs(int(GetRValue(a)) - int(GetRValue(b))) <= 24 && std::abs(int(GetGValue(a)) - int(GetGValue(b))) <= 24 &&
         std::abs(int(GetBValue(a)) - int(GetBValue(b))) <= 24;
}

TEST(ScrnHeif, SaverWithAHeicFrameShowsIt) {
  if (test::ProgramUnderTest().empty()) GTEST_SKIP() << "VELMORA_EXE not set";
  char dir[MAX_PATH] = {};
  const std::string system(dir, ::GetSystemDirectoryA(dir, MAX_PATH));
  const std::string picture = system + "\\VelmHeifTest.heic", show = system + "\\VelmHeifTest.fms";
  const RemoveFiles cleanup{{picture, show}};
  // 160 x 120, red above blue.
  ASSERT_TRUE(::CopyFileA(VELMORA_TEST_DATA_DIR "/pictures/heic-red-over-blue.heic", picture.c_str(), FALSE));
  FrameList list;
  AppendFrameRecord(list).SetPath("VelmHeifTest");
  for (int i = 0; i < 2; ++i) {
    FrameRecord& frame = AppendFrameRecord(list);
    frame.SetPath(picture);
    frame.StillTime = 60;
  }
  AppendFrameRecord(list);
  WriteFrameSetFile(show, list);

  const test::ProgramCopy saver(test::SystemDirectory(), L"VelmHeifTest.scr");
  ASSERT_TRUE(saver.ok());
  const int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
  ::SetCursorPos(w / 2, h / 2);
  test::LaunchedProcess process;
  ASSERT_TRUE(process.Start(saver.Path(), L"/s"));
  const auto at = [](int x, int y) { return test::ScreenPixel(x, y); };
  EXPECT_TRUE(test::PumpUntil(
      [&] { return Near(at(w / 2, h / 4), RGB(255, 0, 0)) && Near(at(w / 2, h * 3 / 4), RGB(0, 0, 255)); }, 20000))
      << std::hex << "top " << at(w / 2, h / 4) << ", bottom " << at(w / 2, h * 3 / 4);
  test::PressKey(VK_ESCAPE);
  EXPECT_TRUE(process.WaitForExit(5000));
}

}  // namespace
}  // namespace velmora
