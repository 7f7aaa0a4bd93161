// The saver window as Windows uses it: the real program copied into the
// system directory as a saver beside its frame-set file, run full screen, in
// a preview host, with the password library, and twice at once. One test a
// flow; the rules behind them (which input ends the show, the mouse
// threshold, the host watch) are tested natively in SaverSessionTest.cpp.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "frames/FrameList.h"
#include "frames/FrameSet.h"
#include "platform/ApplicationWin32.h"
#include "support/ProcessLauncherWin32.h"

namespace velmora {
namespace {

using test::LaunchedProcess;
using test::ProgramCopy;
using test::PumpFor;
using test::PumpUntil;
using test::ScreenPixel;
using test::TempDirectory;

constexpr DWORD kStartMs = 20000;  // a fresh process under Wine takes a second or two
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr wchar_t kSaverName[] = L"VelmSaverTest";

struct ShowFrame {
  std::uint32_t colour;
  std::int32_t effect;
  std::uint8_t direction;
  std::int32_t speed;
  std::int32_t still;
};

std::string SystemDirA() {
  char buffer[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryA(buffer, MAX_PATH);
  return std::string(buffer, length);
}

std::wstring SystemDirW() { return test::SystemDirectory(); }

// The build tree's test PASSWORD.CPL: beside the program's folder.
std::wstring TestPasswordLibrary() {
  std::wstring exe = test::ProgramUnderTest();
  for (int i = 0; i < 2; ++i) exe = exe.substr(0, exe.find_last_of(L"\\/"));
  return exe + L"\\tools\\test-password-cpl\\PASSWORD.CPL";
}

bool CoversScreen(HWND window) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  return ::IsWindowVisible(window) && rect.left <= 0 && rect.top <= 0 &&
         rect.right >= ::GetSystemMetrics(SM_CXSCREEN) &&
         rect.bottom >= ::GetSystemMetrics(SM_CYSCREEN);
}

class ScrnTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test::ProgramUnderTest().empty()) GTEST_SKIP() << "VELMORA_EXE not set";
    centreX_ = ::GetSystemMetrics(SM_CXSCREEN) / 2;
    centreY_ = ::GetSystemMetrics(SM_CYSCREEN) / 2;
    ::SetCursorPos(centreX_, centreY_);
    saver_ = std::make_unique<ProgramCopy>(SystemDirW(), std::wstring(kSaverName) + L".scr");
    ASSERT_TRUE(saver_->ok());
  }

  void TearDown() override {
    saver_.reset();
    ::DeleteFileA(ShowFile().c_str());
  }

  static std::string ShowFile() {
    return SystemDirA() + "\\" + std::string(kSaverName, kSaverName + wcslen(kSaverName)) + ".fms";
  }

  static void WriteShow(const std::vector<ShowFrame>& frames) {
    FrameList list;
    AppendFrameRecord(list).SetPath("VelmSaverTest");
    for (const ShowFrame& f : frames) {
      FrameRecord& r = AppendFrameRecord(list);
      r.PureColour = 1;
      r.Colour = f.colour;
      r.Effect = f.effect;
      r.Direction = f.direction;
      r.Speed = f.speed;
      r.StillTime = f.still;
    }
    AppendFrameRecord(list);
    WriteFrameSetFile(ShowFile(), list);
  }

  // Red for 2 seconds, then a quick blend to blue, which stays.
  static void WriteRedThenBlue() {
    WriteShow({{0x0000FF, 5, 16, 0, 2}, {0xFF0000, 5, 16, 0, 60}});
  }

  bool StartRun(LaunchedProcess& process) {
    if (!process.Start(saver_->Path(), L"/s")) return false;
    return process.WaitForWindow(CoversScreen, kStartMs) != nullptr;
  }

  bool ScreenShows(COLORREF colour, DWORD timeoutMs) {
    return PumpUntil([&] { return ScreenPixel(centreX_, centreY_) == colour; }, timeoutMs);
  }

  // True when the process is still running after `ms` of waiting.
  static bool StaysFor(LaunchedProcess& process, DWORD ms) {
    PumpFor(ms);
    return process.IsRunning();
  }

  std::unique_ptr<ProgramCopy> saver_;
  int centreX_ = 0;
  int centreY_ = 0;
};

TEST_F(ScrnTest, RunShowsFrameOneThenFrameTwoAfterItsStillTimeAndEndsOnAKey) {
  WriteRedThenBlue();
  LaunchedProcess saver;
  const DWORD start = ::GetTickCount();
  ASSERT_TRUE(saver.Start(saver_->Path(), L"/s"));
  ASSERT_TRUE(ScreenShows(kRed, kStartMs));
  const DWORD red = ::GetTickCount();
  std::printf("frame 1 on screen %lu ms after the start\n", red - start);
  ASSERT_TRUE(ScreenShows(kBlue, 10000));
  const DWORD blue = ::GetTickCount();
  // Two seconds of still time, then the transition (how much later it ends
  // depends on the machine's load; the wait above bounds it).
  EXPECT_GE(blue - red, 1800u);
  // The whole screen is the saver's, corners included.
  EXPECT_EQ(ScreenPixel(0, 0), kBlue);
  EXPECT_EQ(ScreenPixel(::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN) - 1),
            kBlue);
  test::PressKey(VK_SPACE);
  DWORD exitCode = 1;
  EXPECT_TRUE(saver.WaitForExit(10000, &exitCode));
  EXPECT_EQ(exitCode, 0u);
}

TEST_F(ScrnTest, SecondSaverInstanceEndsAtOnce) {
  WriteRedThenBlue();
  LaunchedProcess first;
  ASSERT_TRUE(StartRun(first));
  LaunchedProcess second;
  ASSERT_TRUE(second.Start(saver_->Path(), L"/s"));
  DWORD exitCode = 1;
  EXPECT_TRUE(second.WaitForExit(10000, &exitCode));
  EXPECT_EQ(exitCode, 0u);
  EXPECT_TRUE(first.IsRunning());
  test::PressKey(VK_ESCAPE);
  EXPECT_TRUE(first.WaitForExit(10000));
}

// A host window of the test's own, standing for the preview of Display
// Properties.
class PreviewHost {
 public:
  PreviewHost() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = L"VelmoraTestPreviewHost";
    ::RegisterClassW(&windowClass);
    window_ = ::CreateWindowExW(0, windowClass.lpszClassName, L"host", WS_POPUP | WS_VISIBLE, 40,
                                40, 152, 112, nullptr, nullptr, windowClass.hInstance, nullptr);
  }
  ~PreviewHost() {
    if (::IsWindow(window_)) ::DestroyWindow(window_);
  }
  PreviewHost(const PreviewHost&) = delete;
  PreviewHost& operator=(const PreviewHost&) = delete;
  HWND Handle() const { return window_; }

 private:
  HWND window_ = nullptr;
};

HWND WaitForPreviewChild(HWND host, DWORD timeoutMs) {
  HWND child = nullptr;
  PumpUntil(
      [&] {
        child = ::FindWindowExW(host, nullptr, L"VelmoraScrn", nullptr);
        return child != nullptr && ::IsWindowVisible(child);
      },
      timeoutMs);
  return child;
}

bool StaysForPreview(LaunchedProcess& saver) {
  PumpFor(400);
  return saver.IsRunning();
}

void CheckPreviewEndsWhenHostHides(LaunchedProcess& saver, const std::wstring& path) {
  PreviewHost host;
  ASSERT_NE(host.Handle(), nullptr);
  const std::wstring handle = std::to_wstring(reinterpret_cast<std::uintptr_t>(host.Handle()));
  ASSERT_TRUE(saver.Start(path, L"/p " + handle));
  HWND child = WaitForPreviewChild(host.Handle(), kStartMs);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(::GetParent(child), host.Handle());
  EXPECT_FALSE(::IsWindowEnabled(child));
  RECT hostRect{}, childRect{};
  ::GetWindowRect(host.Handle(), &hostRect);
  ::GetWindowRect(child, &childRect);
  EXPECT_EQ(childRect.left, hostRect.left);
  EXPECT_EQ(childRect.top, hostRect.top);
  EXPECT_GE(childRect.right - childRect.left, hostRect.right - hostRect.left);
  EXPECT_GE(childRect.bottom - childRect.top, hostRect.bottom - hostRect.top);
  // Keys and clicks over the preview change nothing.
  test::PressKey(VK_SPACE);
  EXPECT_TRUE(StaysForPreview(saver));
  ::ShowWindow(host.Handle(), SW_HIDE);
  const DWORD hidden = ::GetTickCount();
  ASSERT_TRUE(saver.WaitForExit(10000));
  std::printf("preview ended %lu ms after the host was hidden\n", ::GetTickCount() - hidden);
}

TEST_F(ScrnTest, PreviewFillsTheHostAndEndsSoonAfterTheHostHides) {
  WriteRedThenBlue();
  LaunchedProcess saver;
  CheckPreviewEndsWhenHostHides(saver, saver_->Path());
}

// The password path: the registry value asks for it, the test library
// answers from a file.
class PasswordSetUp {
 public:
  explicit PasswordSetUp(const std::wstring& answerFile) : answerFile_(answerFile) {
    installed_ = ::CopyFileW(TestPasswordLibrary().c_str(), LibraryPath().c_str(), FALSE) != FALSE;
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                          KEY_READ | KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
      DWORD size = 0;
      hadValue_ = ::RegQueryValueExW(key, L"ScreenSaveUsePassword", nullptr, nullptr, nullptr,
                                     &size) == ERROR_SUCCESS;
      const DWORD one = 1;
      ::RegSetValueExW(key, L"ScreenSaveUsePassword", 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&one), sizeof(one));
      ::RegCloseKey(key);
    }
    ::SetEnvironmentVariableW(L"VELMORA_TEST_PASSWORD_FILE", answerFile.c_str());
  }
  ~PasswordSetUp() {
    ::SetEnvironmentVariableW(L"VELMORA_TEST_PASSWORD_FILE", nullptr);
    HKEY key = nullptr;
    if (!hadValue_ && ::RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_WRITE,
                                      &key) == ERROR_SUCCESS) {
      ::RegDeleteValueW(key, L"ScreenSaveUsePassword");
      ::RegCloseKey(key);
    }
    for (int i = 0; i < 50 && !::DeleteFileW(LibraryPath().c_str()); ++i) ::Sleep(100);
    ::DeleteFileW(answerFile_.c_str());
    ::DeleteFileW((answerFile_ + L".log").c_str());
  }
  PasswordSetUp(const PasswordSetUp&) = delete;
  PasswordSetUp& operator=(const PasswordSetUp&) = delete;
  bool Installed() const { return installed_; }
  void Answer(bool accept) const {
    std::ofstream(answerFile_.c_str(), std::ios::trunc) << (accept ? "1" : "0");
  }
  // The questions asked so far, one line each.
  std::vector<std::string> Questions() const {
    std::vector<std::string> lines;
    std::ifstream log((answerFile_ + L".log").c_str());
    for (std::string line; std::getline(log, line);) lines.push_back(line);
    return lines;
  }
  static std::wstring LibraryPath() { return SystemDirW() + L"\\PASSWORD.CPL"; }

 private:
  std::wstring answerFile_;
  bool installed_ = false;
  bool hadValue_ = false;
};

TEST_F(ScrnTest, RefusedPasswordKeepsTheSaverAndTheNextKeyAsksAgain) {
  TempDirectory directory;
  PasswordSetUp password(directory.Path() + L"\\answer.txt");
  ASSERT_TRUE(password.Installed()) << "no test PASSWORD.CPL";
  password.Answer(false);
  WriteRedThenBlue();
  LaunchedProcess saver;
  ASSERT_TRUE(StartRun(saver));
  ASSERT_TRUE(ScreenShows(kRed, kStartMs));
  test::PressKey(VK_SPACE);
  ASSERT_TRUE(PumpUntil([&] { return password.Questions().size() == 1; }, 10000));
  EXPECT_TRUE(StaysFor(saver, 800));
  EXPECT_EQ(password.Questions().size(), 1u) << "one key press, one question";
  // The show does not resume: the screen keeps the last image.
  EXPECT_EQ(ScreenPixel(centreX_, centreY_), kRed);

  password.Answer(true);
  test::PressKey(VK_SPACE);
  EXPECT_TRUE(saver.WaitForExit(10000));
  EXPECT_EQ(password.Questions(), (std::vector<std::string>{"refused", "accepted"}));
}

// A damaged frame-set file: the error is shown where the user can see it
// (the saver window hidden, not top-most, the pointer free), and the saver
// ends once it is dismissed.
TEST_F(ScrnTest, UnreadableShowFileShowsItsErrorInFrontAndEnds) {
  WriteRedThenBlue();
  {
    std::ofstream torn(ShowFile(), std::ios::binary | std::ios::app);
    torn << "torn";
  }
  LaunchedProcess saver;
  ASSERT_TRUE(saver.Start(saver_->Path(), L"/s"));
  HWND box = saver.WaitForWindow(
      [](HWND window) { return test::ClassNameOf(window) == L"#32770" && ::IsWindowVisible(window); },
      kStartMs);
  ASSERT_NE(box, nullptr);
  for (HWND window : saver.TopLevelWindows(true))
    EXPECT_FALSE(CoversScreen(window)) << "a full-screen window is still up behind the box";
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(saver.WaitForExit(10000));
}

}  // namespace
}  // namespace velmora
