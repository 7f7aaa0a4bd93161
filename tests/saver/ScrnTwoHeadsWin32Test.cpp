// The saver on two monitors side by side (a 1024 x 768 head and an 800 x 600
// head to its right): both play the show and change frames together. Runs
// only in its own session on a two-head X display (VELMORA_TWO_HEADS set by
// the ctest fixture wine_two_heads); elsewhere it skips.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "frames/FrameList.h"
#include "frames/FrameSet.h"
#include "support/ProcessLauncherWin32.h"

namespace velmora {
namespace {

using test::LaunchedProcess;
using test::ProgramCopy;
using test::PumpUntil;
using test::ScreenPixel;

constexpr DWORD kStartMs = 30000;
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr wchar_t kSaverName[] = L"VelmTwoHeads";

BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT rect, LPARAM data) {
  reinterpret_cast<std::vector<RECT>*>(data)->push_back(*rect);
  return TRUE;
}

std::vector<RECT> Monitors() {
  std::vector<RECT> monitors;
  ::EnumDisplayMonitors(nullptr, nullptr, &AddMonitor, reinterpret_cast<LPARAM>(&monitors));
  return monitors;
}

std::string ShowFile() {
  char buffer[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryA(buffer, MAX_PATH);
  return std::string(buffer, length) + "\\VelmTwoHeads.fms";
}

// Removes the show's file however the test ends.
struct ShowFileRemoval {
  ~ShowFileRemoval() { ::DeleteFileA(ShowFile().c_str()); }
};

TEST(ScrnTwoHeadsTest, BothMonitorsPlayTheShowAndChangeFramesTogether) {
  if (std::getenv("VELMORA_TWO_HEADS") == nullptr) GTEST_SKIP() << "not on the two-head display";
  if (test::ProgramUnderTest().empty()) GTEST_SKIP() << "VELMORA_EXE not set";
  const std::vector<RECT> monitors = Monitors();
  ASSERT_EQ(monitors.size(), 2u) << "Wine reports " << monitors.size() << " monitor(s) on this display";

  // Red for three seconds, then a quick blend to blue, which stays.
  FrameList list;
  AppendFrameRecord(list).SetPath("VelmTwoHeads");
  for (const auto& [colour, still] : {std::pair<std::uint32_t, int>{0x0000FF, 3}, {0xFF0000, 60}}) {
    FrameRecord& r = AppendFrameRecord(list);
    r.PureColour = 1;
    r.Colour = colour;
    r.Effect = 5;
    r.Direction = 16;
    r.Speed = 0;
    r.StillTime = still;
  }
  AppendFrameRecord(list);
  const ShowFileRemoval removal;
  WriteFrameSetFile(ShowFile(), list);
  ProgramCopy saver(test::SystemDirectory(), std::wstring(kSaverName) + L".scr");
  ASSERT_TRUE(saver.ok());

  // A point well inside each head, and where the pointer rests meanwhile.
  std::vector<POINT> points;
  for (const RECT& m : monitors) points.push_back(POINT{(m.left + m.right) / 2, (m.top + m.bottom) / 2});
  ::SetCursorPos(points[0].x, points[0].y);
  auto allShow = [&](COLORREF colour) {
    for (const POINT& p : points)
      if (ScreenPixel(p.x, p.y) != colour) return false;
    return true;
  };

  LaunchedProcess process;
  ASSERT_TRUE(process.Start(saver.Path(), L"/s"));
  EXPECT_TRUE(PumpUntil([&] { return allShow(kRed); }, kStartMs))
      << "head 0 " << std::hex << ScreenPixel(points[0].x, points[0].y) << ", head 1 "
      << ScreenPixel(points[1].x, points[1].y);
  EXPECT_TRUE(PumpUntil([&] { return allShow(kBlue); }, 15000))
      << "head 0 " << std::hex << ScreenPixel(points[0].x, points[0].y) << ", head 1 "
      << ScreenPixel(points[1].x, points[1].y);
  // Each head's corners are the show's too.
  for (const RECT& m : monitors) {
    EXPECT_EQ(ScreenPixel(m.left + 1, m.top + 1), kBlue);
    EXPECT_EQ(ScreenPixel(m.right - 2, m.bottom - 2), kBlue);
  }
  test::PressKey(VK_SPACE);
  DWORD exitCode = 1;
  EXPECT_TRUE(process.WaitForExit(10000, &exitCode));
  EXPECT_EQ(exitCode, 0u);
}

}  // namespace
}  // namespace velmora
