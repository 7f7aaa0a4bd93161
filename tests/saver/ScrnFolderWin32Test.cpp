// A saved show whose frame is a folder, played as Windows runs a saver:
// NAME.fms (shuffle on, a folder frame of a few pictures and a colour frame)
// beside NAME.scr in the system directory, run with /s; every picture of the
// folder comes on screen, and a key ends the show.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include "frames/FrameList.h"
#include "frames/FrameSet.h"
#include "frames/ShowOptions.h"
#include "support/ProcessLauncherWin32.h"

namespace velmora {
namespace {

using test::LaunchedProcess;
using test::ProgramCopy;
using test::PumpUntil;
using test::ScreenPixel;
using test::TempDirectory;

constexpr DWORD kStartMs = 20000;
constexpr wchar_t kSaverName[] = L"VelmFolderTest";

std::string Narrow(const std::wstring& wide) { return std::string(wide.begin(), wide.end()); }  // ASCII paths

// A 16 x 16 bottom-up 24-bit bitmap of one colour.
void WriteBmp(const std::string& path, COLORREF colour) {
  std::string bmp = "BM";
  auto put = [&bmp](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) bmp.push_back(char(value >> (8 * i)));
  };
  put(54 + 48 * 16, 4), put(0, 4), put(54, 4), put(40, 4), put(16, 4), put(16, 4), put(1, 2), put(24, 2);
  put(0, 4), put(48 * 16, 4), put(2835, 4), put(2835, 4), put(0, 4), put(0, 4);
  for (int i = 0; i < 256; ++i) bmp += {char(GetBValue(colour)), char(GetGValue(colour)), char(GetRValue(colour))};
  std::ofstream(path, std::ios::binary) << bmp;
}

TEST(ScrnFolderTest, ShuffledShowWithAFolderFramePlaysTheFoldersPicturesOnScreen) {
  if (test::ProgramUnderTest().empty()) GTEST_SKIP() << "VELMORA_EXE not set";
  const int x = ::GetSystemMetrics(SM_CXSCREEN) / 2, y = ::GetSystemMetrics(SM_CYSCREEN) / 2;
  ::SetCursorPos(x, y);
  ProgramCopy saver(test::SystemDirectory(), std::wstring(kSaverName) + L".scr");
  ASSERT_TRUE(saver.ok());

  TempDirectory pictures;
  const std::string folder = Narrow(pictures.Path());
  const COLORREF colours[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
  WriteBmp(folder + "\\1.bmp", colours[0]);
  WriteBmp(folder + "\\2.bmp", colours[1]);
  WriteBmp(folder + "\\10.bmp", colours[2]);
  std::ofstream(folder + "\\notes.txt") << "not a picture";

  FrameList list;
  FrameRecord& header = AppendFrameRecord(list);
  header.SetPath(Narrow(kSaverName));
  WriteShowOptions(header, ShowOptions{true, CaptionMode::None});
  FrameRecord& folderFrame = AppendFrameRecord(list);
  folderFrame.SetPath(folder);
  folderFrame.StillTime = 1;
  SetFolderFrame(folderFrame, true);
  FrameRecord& white = AppendFrameRecord(list);
  white.PureColour = 1;
  white.Colour = 0xFFFFFF;
  white.StillTime = 1;
  AppendFrameRecord(list);
  const std::string showFile = Narrow(test::SystemDirectory()) + "\\" + Narrow(kSaverName) + ".fms";
  WriteFrameSetFile(showFile, list);

  LaunchedProcess process;
  ASSERT_TRUE(process.Start(saver.Path(), L"/s"));
  std::set<COLORREF> seen;
  const bool all = PumpUntil(
      [&] {
        const COLORREF pixel = ScreenPixel(x, y);
        for (const COLORREF c : colours)
          if (pixel == c) seen.insert(c);
        return seen.size() == 3;
      },
      kStartMs + 15000);
  std::printf("pictures of the folder seen: %zu of 3\n", seen.size());
  EXPECT_TRUE(all);
  test::PressKey(VK_SPACE);
  DWORD exitCode = 1;
  EXPECT_TRUE(process.WaitForExit(10000, &exitCode));
  EXPECT_EQ(exitCode, 0u);
  ::DeleteFileA(showFile.c_str());
}

}  // namespace
}  // namespace velmora
