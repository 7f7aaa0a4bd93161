#include "saver/ScrnWin32.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <string>
#include <vector>

#include "app/Random.h"
#include "app/Startup.h"
#include "fade/MorfFade.h"
#include "fade/MorfFadeWin32.h"
#include "frames/FrameList.h"
#include "platform/ApplicationWin32.h"
#include "platform/SystemPathsWin32.h"
#include "saver/CaptionWin32.h"

namespace velmora {

namespace {

// The transition components placed on the saver window, one per monitor.
class ScrnFadeSlot final : public FadeSlot {
 public:
  ScrnFadeSlot(HWND parent, std::size_t count) {
    for (std::size_t i = 0; i < std::max<std::size_t>(count, 1); ++i)
      controls_.push_back(std::make_unique<MorfFadeControl>(parent));
  }
  TMorfFade& Fade() override { return controls_.front()->Fade(); }
  std::size_t FadeCount() const override { return controls_.size(); }
  TMorfFade& FadeAt(std::size_t index) override { return controls_.at(index)->Fade(); }
  void SendToBack() override {
    for (const std::unique_ptr<MorfFadeControl>& control : controls_) control->SendToBack();
  }
  void Hide() override {
    for (const std::unique_ptr<MorfFadeControl>& control : controls_) control->Fade().SetVisible(false);
  }

 private:
  std::vector<std::unique_ptr<MorfFadeControl>> controls_;
};

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (!::GetMonitorInfoW(monitor, &info)) return TRUE;
  auto& found = *reinterpret_cast<std::vector<std::pair<bool, RECT>>*>(data);
  found.emplace_back((info.dwFlags & MONITORINFOF_PRIMARY) != 0, info.rcMonitor);
  return TRUE;
}

Rect RectOf(const RECT& r) { return Rect{r.left, r.top, r.right, r.bottom}; }

// The whole virtual screen (every monitor), in screen coordinates; the
// primary screen where the system reports no virtual screen.
RECT VirtualScreen() {
  RECT r{::GetSystemMetrics(SM_XVIRTUALSCREEN), ::GetSystemMetrics(SM_YVIRTUALSCREEN), 0, 0};
  const int width = ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const int height = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (width <= 0 || height <= 0) {
    r = RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    return r;
  }
  r.right = r.left + width;
  r.bottom = r.top + height;
  return r;
}

std::string SystemDirectoryWithSlash() {
  std::string dir = ReadSystemDirectory();
  if (dir.empty() || dir.back() != '\\') dir += '\\';
  return dir;
}

// The registry key, released on every path.
class RegistryKey {
 public:
  RegistryKey(HKEY root, const char* path) {
    if (::RegOpenKeyExA(root, path, 0, KEY_READ, &key_) != ERROR_SUCCESS) key_ = nullptr;
  }
  ~RegistryKey() {
    if (key_) ::RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  explicit operator bool() const { return key_ != nullptr; }
  // The value as a 32-bit integer; false when missing or not an integer.
  bool ReadInteger(const char* name, DWORD& value) const {
    DWORD type = 0;
    DWORD size = sizeof(value);
    return ::RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
               ERROR_SUCCESS &&
           type == REG_DWORD && size == sizeof(value);
  }

 private:
  HKEY key_ = nullptr;
};

// True when the user gave the right password, or when no password is
// asked for (key or value missing, value 0, library or entry missing).
bool PasswordAccepted(HWND window) {
  RegistryKey desktop(HKEY_CURRENT_USER, "Control Panel\\Desktop");
  if (!desktop) return true;
  DWORD usePassword = 0;
  if (!desktop.ReadInteger("ScreenSaveUsePassword", usePassword) || usePassword == 0) return true;
  HMODULE library = ::LoadLibraryA((SystemDirectoryWithSlash() + "PASSWORD.CPL").c_str());
  if (!library) return true;
  using Verify = BOOL(WINAPI*)(HWND);
  auto verify = reinterpret_cast<Verify>(
      reinterpret_cast<void*>(::GetProcAddress(library, "VerifyScreenSavePwd")));
  const bool accepted = verify == nullptr || verify(window) != FALSE;
  ::FreeLibrary(library);
  return accepted;
}

}  // namespace

std::vector<RECT> MonitorRects(const RECT& screen) {
  std::vector<std::pair<bool, RECT>> found;
  ::EnumDisplayMonitors(nullptr, nullptr, &AddMonitor, reinterpret_cast<LPARAM>(&found));
  std::vector<MonitorArea> monitors;
  for (const auto& [primary, r] : found) monitors.push_back(MonitorArea{RectOf(r), primary});
  std::vector<RECT> rects;
  for (const Rect& r : ShowRectsOf(std::move(monitors), RectOf(screen), ::GetSystemMetrics(SM_CXSCREEN),
                                   ::GetSystemMetrics(SM_CYSCREEN)))
    rects.push_back(RECT{r.left, r.top, r.right, r.bottom});
  return rects;
}

TScrn::TScrn() : session_(static_cast<SaverPort&>(*this), Mode, IsEditorExe) {
  session_.Captioner = &CaptionPictureWin32;  // the show's captions, drawn with the system's fonts
}

TScrn::~TScrn() {
  RemoveIdleHandler();
  session_.FadeSlots[0].reset();
  session_.FadeSlots[1].reset();
  CaptureMouse(false);
  ShowPointer(true);
  SetScreenSaverRunning(false);
}

HWND TScrn::CreateForm(HWND owner) {
  WindowClass windowClass;
  windowClass.name = L"VelmoraScrn";
  windowClass.background = nullptr;  // OnPaint paints everything
  const RECT screen = VirtualScreen();
  WindowCreateParams params;
  params.title = L"Scrn";
  params.style = WS_POPUP;
  params.x = screen.left;
  params.y = screen.top;
  params.width = screen.right - screen.left;
  params.height = screen.bottom - screen.top;
  params.parent = owner;
  // The preview plays on one component in its host; the others play on
  // every monitor.
  monitors_ = Mode == SaverMode::Preview ? std::vector<RECT>{RECT{}} : MonitorRects(screen);
  HWND window = Create(windowClass, params);
  if (window) session_.FormCreate();
  return window;
}

void TScrn::StartPreview(int width, int height) {
  showRect_ = RECT{0, 0, width, height};
  monitors_ = {showRect_};
  session_.StartPreview(width, height);
}

LRESULT TScrn::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case TickMessage:
      session_.TickMessage();
      return 0;
    case ExitMessage:
      session_.ExitMessage();
      return 0;
    case WM_SYSKEYDOWN:  // Alt and F10 are keys too
      OnKeyDown(UINT(wParam), lParam);
      return 0;
    case WM_SYSCOMMAND:
      // A running saver does not start another one.
      if (Mode != SaverMode::Preview && (wParam & 0xFFF0) == SC_SCREENSAVE) return 0;
      break;
    case WM_MOUSELEAVE:
      FadeControlsMouseLeave(Handle());
      return 0;
    default:
      break;
  }
  return Window::HandleMessage(message, wParam, lParam);
}

bool TScrn::OnEraseBackground(HDC) { return true; }

bool TScrn::OnPaint(HDC dc, const RECT& area) {
  PaintFadeControls(Handle(), dc, area, kBlack);
  return true;
}

void TScrn::OnActivate(bool active) {
  if (active) session_.FormActivate();
}

bool TScrn::OnKeyDown(UINT, LPARAM) {
  session_.FormKeyDown();
  return true;
}

bool TScrn::OnMouseDown(MouseButton, int, int, WPARAM) {
  session_.FormMouseDown();
  return true;
}

bool TScrn::OnMouseMove(int x, int y, WPARAM) {
  FadeControlsMouseMove(Handle(), x, y);
  session_.FormMouseMove(x, y);
  return true;
}

bool TScrn::OnTimer(UINT_PTR id) {
  if (id != kTimer1) return false;
  session_.Timer1Timer(::IsWindowVisible(reinterpret_cast<HWND>(PreviewParent)) != FALSE);
  return true;
}

bool TScrn::OnCloseQuery() { return session_.FormCloseQuery(); }

CloseAction TScrn::OnClose() {
  session_.FormClose();
  return Mode == SaverMode::Configure ? CloseAction::Hide : CloseAction::Destroy;
}

// ---------------------------------------------------------------- SaverPort

void TScrn::ShowApplicationWindow(bool show) {
  // Only ever hidden. Showing it, even without activation, takes the
  // keyboard and the mouse away from the captured full-screen window until
  // the first step hides it again: input during frame 1's still time would
  // not end the saver.
  if (!show) Application::Instance().ShowAppWindow(SW_HIDE);
}

void TScrn::RemovePendingTick() {
  MSG message;
  ::PeekMessageW(&message, Handle(), TickMessage, TickMessage, PM_REMOVE);
}

bool TScrn::PostExitMessage() { return Post(ExitMessage); }

std::unique_ptr<FadeSlot> TScrn::CreateFadeSlot() {
  return std::make_unique<ScrnFadeSlot>(Handle(), monitors_.size());
}

void TScrn::ProcessMessages() { Application::Instance().ProcessMessages(); }

void TScrn::LogError(const std::string& message) {
  ::OutputDebugStringW((L"Velmora: " + WidenUtf8(message) + L"\n").c_str());
}

std::vector<Rect> TScrn::CoverScreen() {
  const RECT screen = VirtualScreen();
  ::SetWindowPos(Handle(), nullptr, screen.left, screen.top, screen.right - screen.left,
                 screen.bottom - screen.top, SWP_NOZORDER | SWP_NOACTIVATE);
  monitors_ = MonitorRects(screen);
  showRect_ = monitors_.front();
  std::vector<Rect> rects;
  for (const RECT& r : monitors_) rects.push_back(RectOf(r));
  return rects;
}

void TScrn::MakeTopMost() { ::SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE); }

void TScrn::ShowSaverWindow() { Show(SW_SHOW); }

void TScrn::CloseSaverWindow() { Close(); }

void TScrn::InstallIdleHandler() {
  Application::Instance().SetOnIdle([this] {
    Post(TickMessage);
    return false;
  });
  idleInstalled_ = true;
}

void TScrn::RemoveIdleHandler() {
  if (!idleInstalled_) return;
  Application::Instance().ClearOnIdle();
  idleInstalled_ = false;
}

void TScrn::StartTimer1() { StartTimer(kTimer1, kTimer1IntervalMs); }

void TScrn::StopTimer1() { StopTimer(kTimer1); }

void TScrn::SetScreenSaverRunning(bool running) {
  if (running == saverRunningSet_) return;
  ::SystemParametersInfoA(SPI_SCREENSAVERRUNNING, running ? 1 : 0, nullptr, 0);
  saverRunningSet_ = running;
}

void TScrn::ShowPointer(bool shown) {
  if (shown != pointerHidden_) return;
  ::ShowCursor(shown ? TRUE : FALSE);
  pointerHidden_ = !shown;
}

void TScrn::CaptureMouse(bool capture) {
  if (capture) {
    if (!Handle()) return;
    ::SetCapture(Handle());
    captured_ = true;
    return;
  }
  if (!captured_) return;
  if (::GetCapture() == Handle()) ::ReleaseCapture();
  captured_ = false;
}

void TScrn::AskPassword() {
  bool accepted = true;
  try {
    accepted = PasswordAccepted(Handle());
  } catch (...) {
    accepted = true;
  }
  session_.PasswordAnswered(accepted);
}

void TScrn::ShowErrorInFront(const std::string& message) {
  ::SetWindowPos(Handle(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Hide();
  Application::Instance().ShowException(message);
}

// ---------------------------------------------------------------- editor

void ShowWholeShowPreview(HWND focusAfter) {
  Randomize();
  EditorPreviewActive = true;
  {
    TScrn scrn;
    FrameCount = TheFrameList && TheFrameList->Count() >= 2
                     ? static_cast<std::int32_t>(TheFrameList->Count()) - 2
                     : 0;
    // Modal over the editor: its main window is disabled while the show plays.
    const HWND owner = focusAfter != nullptr ? focusAfter : Application::Instance().Handle();
    if (scrn.CreateForm(owner) != nullptr) scrn.ShowModal();
  }
  if (focusAfter != nullptr && ::IsWindow(focusAfter)) ::SetFocus(focusAfter);
  EditorPreviewActive = false;
}

}  // namespace velmora
