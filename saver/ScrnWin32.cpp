#include "saver/ScrnWin32.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <utility>
#include <exception>
#include <string>
#include <vector>

#include "app/Random.h"
#include "app/Startup.h"
#include "fade/MorfFade.h"
#include "fade/MorfFadeWin32.h"
#include "frames/FrameList.h"
#include "platform/ApplicationWin32.h"

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
  std::vector<char> buffer(MAX_PATH);
  UINT length = ::GetSystemDirectoryA(buffer.data(), UINT(buffer.size()));
  if (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = ::GetSystemDirectoryA(buffer.data(), UINT(buffer.size()));
  }
  std::string dir(buffer.data(), length < buffer.size() ? length : 0);
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
  // The primary monitor first; the others from left to right, top to bottom.
  std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first;
    if (a.second.left != b.second.left) return a.second.left < b.second.left;
    return a.second.top < b.second.top;
  });
  std::vector<RECT> rects;
  for (const auto& [primary, r] : found) {
    static_cast<void>(primary);
    const RECT client{r.left - screen.left, r.top - screen.top, r.right - screen.left, r.bottom - screen.top};
    if (client.right > client.left && client.bottom > client.top) rects.push_back(client);
  }
  if (rects.empty()) {
    // No monitor reported: the primary screen, as the system metrics give it.
    rects.push_back(RECT{-screen.left, -screen.top, -screen.left + ::GetSystemMetrics(SM_CXSCREEN),
                         -screen.top + ::GetSystemMetrics(SM_CYSCREEN)});
  }
  return rects;
}

TScrn::TScrn() = default;

TScrn::~TScrn() {
  RemoveIdleHandler();
  FadeSlots[0].reset();
  FadeSlots[1].reset();
  if (GetPlayerHost() == this) SetPlayerHost(nullptr);
  Uncapture();
  ShowPointer();
  if (saverRunningSet_) {
    ::SystemParametersInfoA(SPI_SCREENSAVERRUNNING, 0, nullptr, 0);
    saverRunningSet_ = false;
  }
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
  firstActivation_ = true;
  lastMouseX_ = lastMouseY_ = -1;
  CurrentSlot = 0;
  // The preview plays on one component in its host; the others play on
  // every monitor.
  monitors_ = Mode == SaverMode::Preview ? std::vector<RECT>{RECT{}} : MonitorRects(screen);
  SetPlayerHost(this);
  HWND window = Create(windowClass, params);
  if (window && Mode != SaverMode::Configure) CreateFirstComponent();
  return window;
}

void TScrn::CreateFirstComponent() {
  FadeSlots[0].reset();
  FadeSlots[1].reset();
  FadeSlots[0] = CreateFadeSlot();
  CurrentSlot = 0;
  for (TMorfFade* fade : CurrentFades()) {
    fade->SetColorTo(kBlack);
    fade->SetProcessMsgs(true);
  }
}

void TScrn::StartPreview(int width, int height) {
  showRect_ = RECT{0, 0, width, height};
  monitors_ = {showRect_};
  if (TMorfFade* fade = CurrentFade()) fade->SetBounds(0, 0, width, height);
  StartSlideshow();
  // Also without a show to play: the timer is what notices that the host
  // has been hidden or destroyed.
  StartTimer(kTimer1, kTimer1IntervalMs);
}

LRESULT TScrn::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case TickMessage:
      OnTick();
      return 0;
    case ExitMessage:
      OnExitMessage();
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
  if (!active || !firstActivation_ || Mode == SaverMode::Preview) return;
  Randomize();
  firstActivation_ = false;

  // The window covers every monitor and each one plays the show on a
  // component of its own size and place; the primary one's comes first.
  const RECT screen = VirtualScreen();
  ::SetWindowPos(Handle(), nullptr, screen.left, screen.top, screen.right - screen.left,
                 screen.bottom - screen.top, SWP_NOZORDER | SWP_NOACTIVATE);
  monitors_ = MonitorRects(screen);
  showRect_ = monitors_.front();
  FadeSlot* slot = FadeSlots[std::size_t(CurrentSlot)].get();
  if (Mode == SaverMode::Configure || slot == nullptr || slot->FadeCount() != monitors_.size())
    CreateFirstComponent();
  const std::vector<TMorfFade*> fades = CurrentFades();
  for (std::size_t i = 0; i < fades.size() && i < monitors_.size(); ++i) {
    const RECT& r = monitors_[i];
    fades[i]->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
  }

  startError_.clear();
  StartSlideshow();
  if (!startError_.empty()) {
    FailVisibly(startError_);
    return;
  }
  lastMouseX_ = lastMouseY_ = -1;
  if (Playing) InstallIdleHandler();
  if (Mode != SaverMode::Configure)
    ::SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  if (!IsEditorExe) {
    ::SystemParametersInfoA(SPI_SCREENSAVERRUNNING, 1, nullptr, 0);
    saverRunningSet_ = true;
  }
  HidePointer();
  Show(SW_SHOW);
  Capture();
}

bool TScrn::OnKeyDown(UINT, LPARAM) {
  if (Mode != SaverMode::Preview) LeaveRequest();
  return true;
}

bool TScrn::OnMouseDown(MouseButton, int, int, WPARAM) {
  if (Mode != SaverMode::Preview) LeaveRequest();
  return true;
}

bool TScrn::OnMouseMove(int x, int y, WPARAM) {
  FadeControlsMouseMove(Handle(), x, y);
  if (Mode == SaverMode::Preview || !watchMouseMoves_) return true;
  if (MouseMoveGrace > 0) {
    --MouseMoveGrace;
    return true;
  }
  if (lastMouseX_ == -1 && lastMouseY_ == -1) {
    lastMouseX_ = x;
    lastMouseY_ = y;
    return true;
  }
  // Only a movement on both axes at once counts: jitter and a purely
  // horizontal or vertical slide of the desk do not end the saver.
  if (std::abs(x - lastMouseX_) < kMouseMoveThreshold ||
      std::abs(y - lastMouseY_) < kMouseMoveThreshold)
    return true;
  lastMouseX_ = x;
  lastMouseY_ = y;
  watchMouseMoves_ = false;
  LeaveRequest();
  return true;
}

bool TScrn::OnTimer(UINT_PTR id) {
  if (id != kTimer1) return false;
  if (::IsWindowVisible(reinterpret_cast<HWND>(PreviewParent))) {
    OnTick();
    return true;
  }
  StopTimer(kTimer1);
  if (TMorfFade* fade = CurrentFade()) fade->StopRequested = true;
  ExitRequested = true;
  if (!StepBusy) PostExitMessage();
  return true;
}

void TScrn::OnTick() {
  if (failing_) return;
  try {
    SlideshowStep();
  } catch (const std::exception& error) {
    FailVisibly(error.what());
  }
}

void TScrn::OnExitMessage() {
  exitPosted_ = false;
  // A step that is still running posts ExitMessage again when it ends.
  if (StepBusy || askingPassword_) return;
  if (Mode == SaverMode::Preview) {
    Close();
    return;
  }
  if (Mode != SaverMode::Configure) Application::Instance().HideAppWindow();
  RemoveIdleHandler();
  StopSlideshow();
  CheckPasswordAndClose();
}

void TScrn::LeaveRequest() {
  if (askingPassword_) return;  // input meant for the password dialog
  ExitRequested = true;
  if (TMorfFade* fade = CurrentFade()) fade->StopRequested = true;
  if (!StepBusy) PostExitMessage();
}

void TScrn::CheckPasswordAndClose() {
  if (Mode != SaverMode::Run || EditorPreviewActive) {
    Close();
    return;
  }
  MouseMoveGrace = kMouseMoveGraceAfterPassword;
  // The pointer is shown and free while the password dialog is up.
  ShowPointer();
  Uncapture();
  askingPassword_ = true;
  bool accepted = true;
  try {
    accepted = PasswordAccepted(Handle());
  } catch (...) {
    accepted = true;
  }
  askingPassword_ = false;
  if (accepted) {
    Close();
    return;
  }
  // Refused: the last image stays; the next key, click or movement asks again.
  HidePointer();
  Capture();
}

void TScrn::FailVisibly(const std::string& message) {
  if (failing_) return;
  failing_ = true;
  RemoveIdleHandler();
  ExitRequested = true;
  StopTimer(kTimer1);
  Uncapture();
  ShowPointer();
  if (Mode == SaverMode::Preview) {
    LogError(message);
  } else {
    ::SetWindowPos(Handle(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Hide();
    Application::Instance().ShowException(message);
  }
  if (!StepBusy) StopSlideshow();
  Close();
}

bool TScrn::OnCloseQuery() {
  if (Mode == SaverMode::Preview) StopTimer(kTimer1);
  if (Mode == SaverMode::Preview || StepBusy) {
    ExitRequested = true;
    if (TMorfFade* fade = CurrentFade()) fade->StopRequested = true;
  }
  // Never in the middle of a step: the step posts ExitMessage when it ends,
  // which closes again.
  if (StepBusy) return false;
  if (Mode == SaverMode::Preview) {
    Application::Instance().HideAppWindow();
    RemoveIdleHandler();
    StopSlideshow();
  }
  return true;
}

CloseAction TScrn::OnClose() {
  if (saverRunningSet_) {
    ::SystemParametersInfoA(SPI_SCREENSAVERRUNNING, 0, nullptr, 0);
    saverRunningSet_ = false;
  }
  RemoveIdleHandler();
  StopTimer(kTimer1);
  FadeSlots[std::size_t(CurrentSlot)].reset();
  Uncapture();
  ShowPointer();
  return Mode == SaverMode::Configure ? CloseAction::Hide : CloseAction::Destroy;
}

// ---------------------------------------------------------------- PlayerHost

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

void TScrn::PostExitMessage() {
  // One at a time: a held key must not queue one password question per repeat.
  if (exitPosted_) return;
  exitPosted_ = Post(ExitMessage);
}

std::unique_ptr<FadeSlot> TScrn::CreateFadeSlot() {
  return std::make_unique<ScrnFadeSlot>(Handle(), monitors_.size());
}

void TScrn::ProcessMessages() { Application::Instance().ProcessMessages(); }

void TScrn::LogError(const std::string& message) {
  ::OutputDebugStringW((L"Velmora: " + WidenUtf8(message) + L"\n").c_str());
}

void TScrn::ShowStartError(const std::string& message) {
  if (Mode == SaverMode::Preview) {
    LogError(message);  // the preview stays black; its timer still ends it
    return;
  }
  startError_ = message.empty() ? std::string("Unknown error") : message;
}

// ---------------------------------------------------------------- helpers

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

void TScrn::HidePointer() {
  if (pointerHidden_) return;
  ::ShowCursor(FALSE);
  pointerHidden_ = true;
}

void TScrn::ShowPointer() {
  if (!pointerHidden_) return;
  ::ShowCursor(TRUE);
  pointerHidden_ = false;
}

void TScrn::Capture() {
  if (!Handle()) return;
  ::SetCapture(Handle());
  captured_ = true;
}

void TScrn::Uncapture() {
  if (!captured_) return;
  if (::GetCapture() == Handle()) ::ReleaseCapture();
  captured_ = false;
}

// ---------------------------------------------------------------- editor

void ShowWholeShowPreview(HWND focusAfter) {
  Randomize();
  EditorPreviewActive = true;
  {
    TScrn scrn;
    ExitRequested = false;
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
