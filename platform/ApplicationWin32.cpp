#include "platform/ApplicationWin32.h"

#include <commctrl.h>

#include "platform/WindowWin32.h"

namespace velmora {

namespace {

constexpr wchar_t kAppWindowClass[] = L"VelmoraApplication";

// The application window's procedure: closing it (for example from the
// task list) ends the program like closing the main form.
LRESULT CALLBACK AppWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      if (Window* form = Application::Instance().MainForm(); form != nullptr && form->Handle() != nullptr) {
        form->Close();
      } else {
        Application::Instance().Terminate();
      }
      return 0;
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

std::wstring Widen(UINT codePage, DWORD flags, std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(codePage, flags, text.data(), size, nullptr, 0);
  if (length <= 0) return {};
  std::wstring result(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(codePage, flags, text.data(), size, result.data(), length);
  return result;
}

}  // namespace

std::wstring WidenUtf8(std::string_view text) {
  std::wstring result = Widen(CP_UTF8, MB_ERR_INVALID_CHARS, text);
  if (result.empty() && !text.empty()) return WidenAnsi(text);
  return result;
}

std::wstring WidenAnsi(std::string_view text) { return Widen(CP_ACP, 0, text); }

std::string NarrowToAnsi(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = ::WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string result(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text.data(), size, result.data(), length, nullptr, nullptr);
  return result;
}

std::string NarrowToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string result(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, result.data(), length, nullptr, nullptr);
  return result;
}

Application& Application::Instance() {
  static Application application;
  return application;
}

bool Application::Initialize(HINSTANCE instance, std::wstring_view title) {
  if (appWindow_ != nullptr) return true;
  instance_ = instance != nullptr ? instance : ::GetModuleHandleW(nullptr);
  title_.assign(title);

  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS;
  ::InitCommonControlsEx(&controls);

  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = AppWindowProc;
  windowClass.hInstance = instance_;
  windowClass.hIcon = ::LoadIconW(instance_, MAKEINTRESOURCEW(1));
  if (windowClass.hIcon == nullptr) windowClass.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kAppWindowClass;
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (!::GetClassInfoExW(instance_, kAppWindowClass, &existing) && ::RegisterClassExW(&windowClass) == 0) {
    return false;
  }
  // Zero-sized and never shown unless asked: it stands for the program.
  appWindow_ = ::CreateWindowExW(0, kAppWindowClass, title_.c_str(),
                                 WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPSIBLINGS,
                                 0, 0, 0, 0, nullptr, nullptr, instance_, nullptr);
  return appWindow_ != nullptr;
}

void Application::SetTitle(std::wstring_view title) {
  title_.assign(title);
  if (appWindow_ != nullptr) ::SetWindowTextW(appWindow_, title_.c_str());
}

void Application::ShowAppWindow(int command) {
  if (appWindow_ != nullptr) ::ShowWindow(appWindow_, command);
}

int Application::Run() {
  if (!terminated_ && showMainForm_ && mainForm_ != nullptr && mainForm_->Handle() != nullptr &&
      !mainForm_->IsVisible()) {
    mainForm_->Show();
  }
  RunWhile([] { return true; });
  return exitCode_;
}

bool Application::CallIdle() {
  if (!onIdle_) return false;
  // A copy: the handler may replace or remove itself while it runs.
  IdleHandler handler = onIdle_;
  try {
    return handler();
  } catch (const std::exception& error) {
    ShowException(error);
  } catch (...) {
    ShowException("Unknown error");
  }
  return false;
}

bool Application::HandleOne(MSG& message) {
  if (message.message == WM_QUIT) {
    terminated_ = true;
    exitCode_ = static_cast<int>(message.wParam);
    return false;
  }
  // Offer the message to the window it is for and then to its ancestors.
  for (HWND target = message.hwnd; target != nullptr; target = ::GetAncestor(target, GA_PARENT)) {
    if (Window* window = Window::FromHandle(target); window != nullptr && window->PreTranslateMessage(message)) {
      return true;
    }
    if ((::GetWindowLongPtrW(target, GWL_STYLE) & WS_CHILD) == 0) break;
  }
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
  return true;
}

void Application::RunWhile(const std::function<bool()>& keepRunning) {
  MSG message{};
  while (!terminated_ && keepRunning()) {
    // Idle: while the queue is empty, call the handler as long as it asks.
    while (!::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
      if (terminated_ || !CallIdle()) break;
    }
    if (terminated_ || !keepRunning()) break;
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == -1) {
      terminated_ = true;
      break;
    }
    if (got == 0) {
      terminated_ = true;
      exitCode_ = static_cast<int>(message.wParam);
      break;
    }
    HandleOne(message);
  }
}

void Application::ProcessMessages() {
  MSG message{};
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (!HandleOne(message)) break;
  }
}

bool Application::WaitUntil(const std::function<bool()>& done, DWORD timeoutMs, DWORD pollMs) {
  const ULONGLONG start = ::GetTickCount64();
  for (;;) {
    ProcessMessages();
    if (done()) return true;
    if (terminated_) return false;
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    if (elapsed >= timeoutMs) return done();
    const DWORD left = static_cast<DWORD>(timeoutMs - elapsed);
    // Sleeps until a message arrives or the poll interval passes.
    ::MsgWaitForMultipleObjectsEx(0, nullptr, left < pollMs ? left : pollMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

void Application::Terminate(int exitCode) {
  if (terminated_) return;
  terminated_ = true;
  exitCode_ = exitCode;
  // Wakes a loop blocked in GetMessage; the loop then sees the flag.
  ::PostQuitMessage(exitCode);
}

void Application::Reset() {
  MSG message{};
  while (::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  terminated_ = false;
  exitCode_ = 0;
  mainForm_ = nullptr;
  showMainForm_ = true;
  onIdle_ = nullptr;
}

void Application::ShowException(const std::exception& error) { ShowException(error.what()); }

void Application::ShowException(std::string_view message) {
  const std::wstring text = WidenUtf8(message);
  HWND owner = ::GetActiveWindow();
  ::MessageBoxW(owner, text.empty() ? L"Unknown error" : text.c_str(), title_.c_str(),
                MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

}  // namespace velmora
