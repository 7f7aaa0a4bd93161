// The program's start-up as another process sees it: modes, the single
// instance, the name and place checks, the saver window in the run and
// preview modes and the configure mode's main window.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "support/ProcessLauncherWin32.h"

namespace velmora {
namespace {

using test::ClassNameOf;
using test::LaunchedProcess;
using test::ProgramCopy;
using test::PumpFor;
using test::PumpUntil;
using test::ScreenPixel;
using test::TempDirectory;
using test::TextOf;

constexpr DWORD kStartMs = 15000;  // a fresh process under Wine takes a second or two
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test::ProgramUnderTest().empty()) GTEST_SKIP() << "VELMORA_EXE not set";
    ASSERT_FALSE(directory_.Path().empty());
  }

  // A copy of the program in the test's temporary directory.
  std::wstring Copy(const std::wstring& name) {
    copies_.push_back(std::make_unique<ProgramCopy>(directory_.Path(), name));
    EXPECT_TRUE(copies_.back()->ok()) << "cannot copy the program as " << std::string(name.begin(), name.end());
    return copies_.back()->Path();
  }

  static bool CoversScreen(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return ::IsWindowVisible(window) && rect.left == 0 && rect.top == 0 &&
           rect.right == ::GetSystemMetrics(SM_CXSCREEN) && rect.bottom == ::GetSystemMetrics(SM_CYSCREEN);
  }

  // Starts the saver in the run mode and waits for its full-screen window.
  HWND StartSaver(LaunchedProcess& process, const std::wstring& path) {
    if (!process.Start(path, L"/S")) return nullptr;
    return process.WaitForWindow(CoversScreen, kStartMs);
  }

  // Starts the program with the arguments and expects it to end normally
  // without ever showing a window.
  static void ExpectEndsWithoutWindow(const std::wstring& path, const wchar_t* arguments) {
    LaunchedProcess process;
    ASSERT_TRUE(process.Start(path, arguments));
    bool sawWindow = false;
    DWORD exitCode = 1;
    ASSERT_TRUE(process.WaitForExitWatchingWindows(kStartMs, sawWindow, &exitCode)) << arguments;
    EXPECT_EQ(exitCode, 0u) << arguments;
    EXPECT_FALSE(sawWindow) << arguments;
  }

  TempDirectory directory_;
  std::vector<std::unique_ptr<ProgramCopy>> copies_;
};

// A white window of the test's own over the whole screen, so that what the
// saver draws can be told from an empty (black) screen.
class WhiteCover {
 public:
  WhiteCover() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = L"VelmoraTestWhiteCover";
    ::RegisterClassW(&windowClass);
    window_ = ::CreateWindowExW(0, windowClass.lpszClassName, L"cover", WS_POPUP | WS_VISIBLE, 0, 0,
                                ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                windowClass.hInstance, nullptr);
    ::UpdateWindow(window_);
  }
  WhiteCover(const WhiteCover&) = delete;
  WhiteCover& operator=(const WhiteCover&) = delete;
  ~WhiteCover() { ::DestroyWindow(window_); }

 private:
  HWND window_ = nullptr;
};

// A visible top-level window of the test standing in for the preview area of
// the display settings.
class PreviewHost {
 public:
  explicit PreviewHost(bool visible) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
    windowClass.lpszClassName = L"VelmoraTestPreviewHost";
    ::RegisterClassW(&windowClass);
    window_ = ::CreateWindowExW(0, windowClass.lpszClassName, L"host", WS_POPUP | (visible ? WS_VISIBLE : 0), 100,
                                120, 152, 112, nullptr, nullptr, windowClass.hInstance, nullptr);
  }
  PreviewHost(const PreviewHost&) = delete;
  PreviewHost& operator=(const PreviewHost&) = delete;
  ~PreviewHost() {
    if (::IsWindow(window_)) ::DestroyWindow(window_);
  }
  HWND get() const { return window_; }
  std::wstring Argument() const { return std::to_wstring(reinterpret_cast<UINT_PTR>(window_)); }
  // The child window another process placed in the host, if any.
  HWND ChildOf(DWORD processId) const {
    for (HWND child = ::GetWindow(window_, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
      DWORD owner = 0;
      ::GetWindowThreadProcessId(child, &owner);
      if (owner == processId) return child;
    }
    return nullptr;
  }

 private:
  HWND window_ = nullptr;
};

TEST_F(StartupTest, ChangePasswordModeEndsWithoutWindows) {
  const std::wstring saver = Copy(L"StartupPassword.scr");
  for (const wchar_t* arguments : {L"/a", L"/A 0", L"-a", L"APPLE"}) {
    ASSERT_NO_FATAL_FAILURE(ExpectEndsWithoutWindow(saver, arguments));
  }
}

TEST_F(StartupTest, RunModeCoversTheScreenInBlackAndEndsOnAKey) {
  const std::wstring saver = Copy(L"StartupOcean.scr");
  WhiteCover cover;
  const int width = ::GetSystemMetrics(SM_CXSCREEN);
  const int height = ::GetSystemMetrics(SM_CYSCREEN);
  ASSERT_TRUE(PumpUntil([&] { return ScreenPixel(width / 2, height / 2) == kWhite; }, 5000))
      << "the test's own cover did not show";

  LaunchedProcess process;
  HWND window = StartSaver(process, saver);
  ASSERT_NE(window, nullptr) << "no full-screen window";
  EXPECT_EQ(::GetWindowLongPtrW(window, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME), 0);
  const POINT probes[] = {{width / 2, height / 2}, {0, 0}, {width - 1, height - 1}, {width - 1, 0}, {0, height - 1}};
  EXPECT_TRUE(PumpUntil(
      [&] {
        for (const POINT& p : probes) {
          if (ScreenPixel(p.x, p.y) != kBlack) return false;
        }
        return true;
      },
      5000))
      << "the screen did not turn black";
  EXPECT_TRUE(process.IsRunning());

  ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == window; }, 5000)) << "saver is not in front";
  // Once active it stays on top of everything.
  EXPECT_TRUE(PumpUntil([&] { return (::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }, 10000));
  test::PressKey(VK_SPACE);
  DWORD exitCode = 1;
  ASSERT_TRUE(process.WaitForExit(10000, &exitCode)) << "a key did not end the saver";
  EXPECT_EQ(exitCode, 0u);
}

TEST_F(StartupTest, RunModeEndsOnAClick) {
  const std::wstring saver = Copy(L"StartupClick.scr");
  LaunchedProcess process;
  HWND window = StartSaver(process, saver);
  ASSERT_NE(window, nullptr);
  // The click must come once the saver has taken the mouse, the last thing
  // its first activation does.
  ASSERT_TRUE(PumpUntil([&] { return test::HoldsMouseCapture(window); }, 5000)) << "the saver never took the mouse";
  test::ClickAt(::GetSystemMetrics(SM_CXSCREEN) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2);
  DWORD exitCode = 1;
  ASSERT_TRUE(process.WaitForExit(10000, &exitCode)) << "a click did not end the saver";
  EXPECT_EQ(exitCode, 0u);
}

TEST_F(StartupTest, SecondInstanceEndsSilentlyWhileTheFirstRuns) {
  const std::wstring first = Copy(L"StartupFirst.scr");
  const std::wstring second = Copy(L"StartupSecond.scr");
  LaunchedProcess running;
  ASSERT_NE(StartSaver(running, first), nullptr);

  // Whichever mode the newcomer asks for, it gives way.
  for (const wchar_t* arguments : {L"/S", L"/c", L""}) {
    ASSERT_NO_FATAL_FAILURE(ExpectEndsWithoutWindow(second, arguments));
    EXPECT_TRUE(running.IsRunning());
  }
}

TEST_F(StartupTest, EditorRefusesToRunFromTheSystemDirectory) {
  ProgramCopy editor(test::SystemDirectory(), L"VELMORA.EXE");
  ASSERT_TRUE(editor.ok());
  for (const wchar_t* arguments : {L"/S", L"/c"}) {
    LaunchedProcess process;
    ASSERT_TRUE(process.Start(editor.Path(), arguments));
    HWND box = process.WaitForWindow(
        [](HWND window) { return ::IsWindowVisible(window) && ClassNameOf(window) == L"#32770"; }, kStartMs);
    ASSERT_NE(box, nullptr) << "no message box for " << arguments;
    EXPECT_EQ(test::WaitForChildText(box, 0xFFFF, kStartMs), L"Can not run under system directory !");
    // A single OK button, and no window of the mode behind it.
    EXPECT_NE(::GetDlgItem(box, IDOK), nullptr);
    EXPECT_EQ(::GetDlgItem(box, IDCANCEL), nullptr);
    for (HWND window : process.TopLevelWindows(true)) {
      EXPECT_EQ(ClassNameOf(window), L"#32770") << "a window of the mode was created";
    }

    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    DWORD exitCode = 1;
    ASSERT_TRUE(process.WaitForExit(10000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
  }
}

TEST_F(StartupTest, SaverInTheSystemDirectoryStarts) {
  ProgramCopy saver(test::SystemDirectory(), L"StartupSystemOcean.scr");
  ASSERT_TRUE(saver.ok());
  LaunchedProcess process;
  HWND window = StartSaver(process, saver.Path());
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(process.IsRunning());
}

TEST_F(StartupTest, NameWithoutDotEndsAtOnce) {
  const std::wstring saver = Copy(L"NODOT");
  for (const wchar_t* arguments : {L"/S", L"/c"}) {
    LaunchedProcess process;
    ASSERT_TRUE(process.Start(saver, arguments)) << "error " << ::GetLastError();
    DWORD exitCode = 1;
    ASSERT_TRUE(process.WaitForExit(kStartMs, &exitCode)) << arguments;
    EXPECT_EQ(exitCode, 0u);
  }
}

// A saver asked to configure opens the editor on its show; this one has no
// show file, so the main window says why and then closes, ending the program.
TEST_F(StartupTest, ConfigureModeShowsTheMainWindowUntilItCloses) {
  const std::wstring saver = Copy(L"StartupConfigure.scr");
  for (const wchar_t* arguments : {L"", L"/c:1234", L"config"}) {
    LaunchedProcess process;
    ASSERT_TRUE(process.Start(saver, arguments));
    HWND main = process.WaitForWindow(
        [](HWND window) {
          return ::IsWindowVisible(window) && TextOf(window) == L"Velmora 99" && ClassNameOf(window) != L"#32770";
        },
        kStartMs);
    ASSERT_NE(main, nullptr) << arguments;
    EXPECT_FALSE(CoversScreen(main));
    HWND box = process.WaitForWindow(
        [](HWND window) { return ::IsWindowVisible(window) && ClassNameOf(window) == L"#32770"; }, kStartMs);
    ASSERT_NE(box, nullptr) << arguments;
    EXPECT_NE(test::WaitForChildText(box, 0xFFFF, kStartMs), L"") << arguments;
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    DWORD exitCode = 1;
    ASSERT_TRUE(process.WaitForExit(10000, &exitCode)) << arguments;
    EXPECT_EQ(exitCode, 0u);
  }
}

TEST_F(StartupTest, PreviewRunsInsideTheHostUntilItHides) {
  const std::wstring saver = Copy(L"StartupPreview.scr");
  PreviewHost host(true);
  ASSERT_NE(host.get(), nullptr);
  LaunchedProcess process;
  ASSERT_TRUE(process.Start(saver, L"/p " + host.Argument()));
  // Start-up gives the window the host's styles (visible among them) before
  // it parents and sizes it: wait for the whole embedding.
  RECT hostRect{};
  ::GetWindowRect(host.get(), &hostRect);
  const auto embedded = [&](HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return ::IsWindowVisible(window) && rect.right - rect.left == hostRect.right - hostRect.left + 1 &&
           rect.bottom - rect.top == hostRect.bottom - hostRect.top + 1;
  };
  HWND child = nullptr;
  PumpUntil(
      [&] {
        child = host.ChildOf(process.Id());
        return (child != nullptr && embedded(child)) || !process.IsRunning();
      },
      kStartMs);
  ASSERT_NE(child, nullptr) << "no window inside the host";
  EXPECT_EQ(::GetAncestor(child, GA_PARENT), host.get());
  EXPECT_FALSE(::IsWindowEnabled(child));
  EXPECT_TRUE(::IsWindowVisible(child));
  RECT childRect{};
  ::GetWindowRect(child, &childRect);
  EXPECT_EQ(childRect.left, hostRect.left);
  EXPECT_EQ(childRect.top, hostRect.top);
  EXPECT_EQ(childRect.right - childRect.left, hostRect.right - hostRect.left + 1);
  EXPECT_EQ(childRect.bottom - childRect.top, hostRect.bottom - hostRect.top + 1);
  EXPECT_TRUE(process.TopLevelWindows(true).empty()) << "the preview showed a window of its own";

  // Input aimed at the preview changes nothing.
  ::PostMessageW(child, WM_KEYDOWN, VK_SPACE, 0);
  ::PostMessageW(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PumpFor(400);
  EXPECT_TRUE(process.IsRunning());

  ::ShowWindow(host.get(), SW_HIDE);
  const ULONGLONG hidden = ::GetTickCount64();
  DWORD exitCode = 1;
  ASSERT_TRUE(process.WaitForExit(10000, &exitCode)) << "the preview did not end";
  const ULONGLONG took = ::GetTickCount64() - hidden;
  EXPECT_EQ(exitCode, 0u);
  RecordProperty("preview_end_ms", std::to_string(took));
  std::printf("preview ended %llu ms after the host was hidden\n", took);
}

TEST_F(StartupTest, PreviewEndsWhenTheHostIsDestroyed) {
  const std::wstring saver = Copy(L"StartupPreviewGone.scr");
  auto host = std::make_unique<PreviewHost>(true);
  LaunchedProcess process;
  ASSERT_TRUE(process.Start(saver, L"/p " + host->Argument()));
  ASSERT_TRUE(PumpUntil([&] { return host->ChildOf(process.Id()) != nullptr || !process.IsRunning(); }, kStartMs));
  host.reset();
  DWORD exitCode = 1;
  ASSERT_TRUE(process.WaitForExit(10000, &exitCode));
  EXPECT_EQ(exitCode, 0u);
}

TEST_F(StartupTest, PreviewWithoutAUsableHandleEndsWithoutWindows) {
  const std::wstring saver = Copy(L"StartupBadHandle.scr");
  // Not a number, a number glued to the switch (the handle is read from the
  // second argument only), no handle, and a number that names no window.
  for (const wchar_t* arguments : {L"/p abc", L"/p:1234", L"/p", L"/p 12x", L"/p 4294967295"}) {
    ASSERT_NO_FATAL_FAILURE(ExpectEndsWithoutWindow(saver, arguments));
  }
}

TEST_F(StartupTest, PreviewGivesUpOnAHostThatNeverShows) {
  const std::wstring saver = Copy(L"StartupHiddenHost.scr");
  PreviewHost host(false);
  ASSERT_NE(host.get(), nullptr);
  LaunchedProcess process;
  ASSERT_TRUE(process.Start(saver, L"/p " + host.Argument()));
  // The wait for the host lasts 10 s; allow for a slow start.
  bool sawWindow = false;
  DWORD exitCode = 1;
  ASSERT_TRUE(process.WaitForExitWatchingWindows(30000, sawWindow, &exitCode));
  EXPECT_EQ(exitCode, 0u);
  EXPECT_FALSE(sawWindow);
  EXPECT_EQ(host.ChildOf(process.Id()), nullptr);
}

}  // namespace
}  // namespace velmora
