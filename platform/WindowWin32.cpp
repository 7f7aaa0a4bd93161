#include "platform/WindowWin32.h"

#include <commctrl.h>
#include <windowsx.h>

#include <exception>
#include <mutex>
#include <unordered_map>

#include "platform/ApplicationWin32.h"

namespace velmora {

namespace {

// The bound object of each window. Kept in the process rather than as a
// window property: every message to our own classes and every reflected
// notification looks it up, and a property read is a round trip to the
// window manager under Wine.
class BoundWindows {
 public:
  static BoundWindows& Instance() {
    static BoundWindows instance;
    return instance;
  }
  void Bind(HWND window, Window* object) {
    const std::lock_guard<std::mutex> lock(mutex_);
    objects_[window] = object;
  }
  void Unbind(HWND window) {
    const std::lock_guard<std::mutex> lock(mutex_);
    objects_.erase(window);
  }
  Window* Find(HWND window) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = objects_.find(window);
    return found != objects_.end() ? found->second : nullptr;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<HWND, Window*> objects_;
};
constexpr UINT_PTR kSubclassId = 0x56454C4D;  // "VELM"

MouseButton ButtonOf(UINT message) {
  switch (message) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
      return MouseButton::Right;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
      return MouseButton::Middle;
    default:
      return MouseButton::Left;
  }
}

}  // namespace

// The table of bound windows is made before any window object, so that it
// outlives windows kept in static storage.
Window::Window() { BoundWindows::Instance(); }

Window::~Window() {
  if (hwnd_ == nullptr) return;
  HWND window = hwnd_;
  const bool attached = attached_;
  Application& application = Application::Instance();
  if (application.MainForm() == this) {
    application.SetMainForm(nullptr);
    application.Terminate();
  }
  Unbind();
  if (!attached) ::DestroyWindow(window);
}

HWND Window::Create(const WindowClass& windowClass, const WindowCreateParams& params) {
  if (hwnd_ != nullptr || windowClass.name == nullptr) return nullptr;
  HINSTANCE instance = Application::Instance().InstanceHandle();
  if (instance == nullptr) instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (!::GetClassInfoExW(instance, windowClass.name, &existing)) {
    WNDCLASSEXW definition{};
    definition.cbSize = sizeof(definition);
    definition.style = windowClass.style;
    definition.lpfnWndProc = StaticWindowProc;
    definition.hInstance = instance;
    definition.hIcon = windowClass.icon;
    if (definition.hIcon == nullptr) definition.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
    if (definition.hIcon == nullptr) definition.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
    definition.hCursor = windowClass.cursor != nullptr ? windowClass.cursor : ::LoadCursorW(nullptr, IDC_ARROW);
    definition.hbrBackground = windowClass.background;
    definition.lpszClassName = windowClass.name;
    if (::RegisterClassExW(&definition) == 0) return nullptr;
  }
  HWND created = ::CreateWindowExW(params.exStyle, windowClass.name, params.title.c_str(), params.style, params.x,
                                   params.y, params.width, params.height, params.parent, params.menuOrId, instance,
                                   this);
  // hwnd_ was set at WM_NCCREATE; a failed WM_CREATE has already cleared it.
  return created != nullptr ? hwnd_ : nullptr;
}

bool Window::Attach(HWND window) {
  if (hwnd_ != nullptr || window == nullptr || !::IsWindow(window) || FromHandle(window) != nullptr) return false;
  if (!::SetWindowSubclass(window, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) return false;
  hwnd_ = window;
  attached_ = true;
  BoundWindows::Instance().Bind(window, this);
  return true;
}

void Window::Detach() {
  if (attached_) Unbind();
}

void Window::Unbind() {
  if (hwnd_ == nullptr) return;
  BoundWindows::Instance().Unbind(hwnd_);
  if (attached_) ::RemoveWindowSubclass(hwnd_, SubclassProc, kSubclassId);
  hwnd_ = nullptr;
  attached_ = false;
}

Window* Window::FromHandle(HWND window) noexcept {
  if (window == nullptr) return nullptr;
  return BoundWindows::Instance().Find(window);
}

void Window::Show(int command) {
  if (hwnd_ != nullptr) ::ShowWindow(hwnd_, command);
}
void Window::Hide() { Show(SW_HIDE); }
bool Window::IsVisible() const { return hwnd_ != nullptr && ::IsWindowVisible(hwnd_); }
bool Window::IsEnabled() const { return hwnd_ != nullptr && ::IsWindowEnabled(hwnd_); }
void Window::SetEnabled(bool enabled) {
  if (hwnd_ != nullptr) ::EnableWindow(hwnd_, enabled ? TRUE : FALSE);
}
void Window::Close() {
  if (hwnd_ != nullptr) ::SendMessageW(hwnd_, WM_CLOSE, 0, 0);
}
void Window::Destroy() {
  if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
}
void Window::SetBounds(int x, int y, int width, int height) {
  if (hwnd_ != nullptr) ::SetWindowPos(hwnd_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}
RECT Window::Bounds() const {
  RECT bounds{};
  if (hwnd_ == nullptr) return bounds;
  ::GetWindowRect(hwnd_, &bounds);
  if (HWND parent = ::GetParent(hwnd_); parent != nullptr && (::GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_CHILD)) {
    ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&bounds), 2);
  }
  return bounds;
}
RECT Window::ClientRect() const {
  RECT client{};
  if (hwnd_ != nullptr) ::GetClientRect(hwnd_, &client);
  return client;
}
void Window::Invalidate(bool erase) {
  if (hwnd_ != nullptr) ::InvalidateRect(hwnd_, nullptr, erase ? TRUE : FALSE);
}
void Window::Update() {
  if (hwnd_ != nullptr) ::UpdateWindow(hwnd_);
}
void Window::SetText(std::wstring_view text) {
  if (hwnd_ == nullptr) return;
  const std::wstring copy(text);
  ::SetWindowTextW(hwnd_, copy.c_str());
}
std::wstring Window::Text() const {
  if (hwnd_ == nullptr) return {};
  const int length = ::GetWindowTextLengthW(hwnd_);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = ::GetWindowTextW(hwnd_, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}
HWND Window::Parent() const { return hwnd_ != nullptr ? ::GetParent(hwnd_) : nullptr; }

bool Window::StartTimer(UINT_PTR id, UINT intervalMs) {
  return hwnd_ != nullptr && ::SetTimer(hwnd_, id, intervalMs, nullptr) != 0;
}
void Window::StopTimer(UINT_PTR id) {
  if (hwnd_ != nullptr) ::KillTimer(hwnd_, id);
}
LRESULT Window::Send(UINT message, WPARAM wParam, LPARAM lParam) {
  return hwnd_ != nullptr ? ::SendMessageW(hwnd_, message, wParam, lParam) : 0;
}
bool Window::Post(UINT message, WPARAM wParam, LPARAM lParam) {
  return hwnd_ != nullptr && ::PostMessageW(hwnd_, message, wParam, lParam);
}

int Window::ShowModal() {
  if (hwnd_ == nullptr || modal_) return 0;
  HWND owner = ::GetWindow(hwnd_, GW_OWNER);
  const bool disableOwner = owner != nullptr && ::IsWindowEnabled(owner);
  if (disableOwner) ::EnableWindow(owner, FALSE);
  modal_ = true;
  modalResult_ = 0;
  Show(SW_SHOW);
  ::SetForegroundWindow(hwnd_);
  Application::Instance().RunWhile([this] { return hwnd_ != nullptr && modalResult_ == 0; });
  // Re-enable the owner before hiding, so that activation returns to it.
  if (disableOwner) ::EnableWindow(owner, TRUE);
  if (hwnd_ != nullptr) Hide();
  modal_ = false;
  if (modalResult_ == 0) modalResult_ = IDCANCEL;
  return modalResult_;
}

void Window::SetModalResult(int result) { modalResult_ = result; }

bool Window::PreTranslateMessage(MSG&) { return false; }

LRESULT CALLBACK Window::StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* self = nullptr;
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    self = static_cast<Window*>(create->lpCreateParams);
    if (self != nullptr) {
      self->hwnd_ = window;
      BoundWindows::Instance().Bind(window, self);
    }
  } else {
    self = FromHandle(window);
  }
  // Messages before WM_NCCREATE (WM_GETMINMAXINFO) and after the object let
  // go of the window get the default processing.
  if (self == nullptr || self->attached_) return ::DefWindowProcW(window, message, wParam, lParam);
  return self->Dispatch(message, wParam, lParam);
}

LRESULT CALLBACK Window::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                      DWORD_PTR data) {
  auto* self = reinterpret_cast<Window*>(data);
  if (self == nullptr || self->hwnd_ != window) return ::DefSubclassProc(window, message, wParam, lParam);
  return self->Dispatch(message, wParam, lParam);
}

LRESULT Window::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND window = hwnd_;
  LRESULT result = 0;
  try {
    result = HandleMessage(message, wParam, lParam);
  } catch (const std::exception& error) {
    Application::Instance().ShowException(error);
    result = message == WM_CREATE ? -1 : 0;
  } catch (...) {
    Application::Instance().ShowException("Unknown error");
    result = message == WM_CREATE ? -1 : 0;
  }
  if (message == WM_NCDESTROY && hwnd_ == window) {
    // The window is gone: the object no longer refers to it.
    Unbind();
  }
  return result;
}

LRESULT Window::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (hwnd_ == nullptr) return 0;
  if (attached_) return ::DefSubclassProc(hwnd_, message, wParam, lParam);
  return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

bool Window::Reflect(UINT message, WPARAM wParam, LPARAM lParam, HWND control, LRESULT& result) {
  if (control == nullptr || control == hwnd_) return false;
  Window* target = FromHandle(control);
  return target != nullptr && target->OnReflected(message, wParam, lParam, result);
}

LRESULT Window::HandleClose() {
  if (!OnCloseQuery()) return 0;
  const CloseAction action = OnClose();
  if (modal_) {
    // A modal window is hidden by ShowModal when its loop ends.
    if (action != CloseAction::None && modalResult_ == 0) modalResult_ = IDCANCEL;
    return 0;
  }
  switch (action) {
    case CloseAction::None:
      break;
    case CloseAction::Hide:
      Hide();
      break;
    case CloseAction::Destroy:
      ::DestroyWindow(hwnd_);
      break;
  }
  return 0;
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  switch (message) {
    case WM_CREATE:
      return OnCreate(*reinterpret_cast<const CREATESTRUCTW*>(lParam)) ? 0 : -1;
    case WM_DESTROY:
      OnDestroy();
      if (Application::Instance().MainForm() == this) Application::Instance().Terminate();
      return 0;
    case WM_CLOSE:
      return HandleClose();
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam) != WA_INACTIVE);
      break;
    case WM_PAINT: {
      if (attached_) break;
      PAINTSTRUCT paint{};
      HDC dc = ::BeginPaint(hwnd_, &paint);
      // BeginPaint has erased the background with the class brush (unless
      // OnEraseBackground drew it); what OnPaint leaves undrawn stays so.
      OnPaint(dc, paint.rcPaint);
      ::EndPaint(hwnd_, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      if (OnEraseBackground(reinterpret_cast<HDC>(wParam))) return 1;
      break;
    case WM_SIZE:
      OnSize(LOWORD(lParam), HIWORD(lParam));
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (OnKeyDown(static_cast<UINT>(wParam), lParam)) return 0;
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (OnKeyUp(static_cast<UINT>(wParam), lParam)) return 0;
      break;
    case WM_CHAR:
      if (OnChar(static_cast<wchar_t>(wParam), lParam)) return 0;
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (OnMouseDown(ButtonOf(message), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), wParam)) return 0;
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      if (OnMouseUp(ButtonOf(message), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), wParam)) return 0;
      break;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      if (OnDoubleClick(ButtonOf(message), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), wParam)) return 0;
      break;
    case WM_MOUSEMOVE:
      if (OnMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), wParam)) return 0;
      break;
    case WM_MOUSEWHEEL:
      if (OnMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam),
                       GET_KEYSTATE_WPARAM(wParam))) {
        return 0;
      }
      break;
    case WM_TIMER:
      if (OnTimer(wParam)) return 0;
      break;
    case WM_COMMAND: {
      HWND control = reinterpret_cast<HWND>(lParam);
      if (Reflect(message, wParam, lParam, control, result)) return result;
      if (OnCommand(LOWORD(wParam), HIWORD(wParam), control)) return 0;
      break;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header == nullptr) break;
      if (Reflect(message, wParam, lParam, header->hwndFrom, result)) return result;
      if (OnNotify(*header, result)) return result;
      break;
    }
    case WM_HSCROLL:
    case WM_VSCROLL: {
      HWND control = reinterpret_cast<HWND>(lParam);
      if (Reflect(message, wParam, lParam, control, result)) return result;
      if (OnScroll(message == WM_VSCROLL, LOWORD(wParam), static_cast<short>(HIWORD(wParam)), control)) return 0;
      break;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR:
      if (Reflect(message, wParam, lParam, reinterpret_cast<HWND>(lParam), result)) return result;
      break;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item != nullptr && item->CtlType != ODT_MENU && Reflect(message, wParam, lParam, item->hwndItem, result)) {
        return result;
      }
      break;
    }
    default:
      break;
  }
  return DefaultProc(message, wParam, lParam);
}

bool Window::OnCreate(const CREATESTRUCTW&) { return true; }
void Window::OnDestroy() {}
bool Window::OnCloseQuery() { return true; }
CloseAction Window::OnClose() { return CloseAction::Destroy; }
void Window::OnActivate(bool) {}
bool Window::OnPaint(HDC, const RECT&) { return false; }
bool Window::OnEraseBackground(HDC) { return false; }
void Window::OnSize(int, int) {}
bool Window::OnKeyDown(UINT, LPARAM) { return false; }
bool Window::OnKeyUp(UINT, LPARAM) { return false; }
bool Window::OnChar(wchar_t, LPARAM) { return false; }
bool Window::OnMouseDown(MouseButton, int, int, WPARAM) { return false; }
bool Window::OnMouseUp(MouseButton, int, int, WPARAM) { return false; }
bool Window::OnDoubleClick(MouseButton, int, int, WPARAM) { return false; }
bool Window::OnMouseMove(int, int, WPARAM) { return false; }
bool Window::OnMouseWheel(int, int, int, WPARAM) { return false; }
bool Window::OnTimer(UINT_PTR) { return false; }
bool Window::OnCommand(int, int, HWND) { return false; }
bool Window::OnNotify(const NMHDR&, LRESULT&) { return false; }
bool Window::OnScroll(bool, int, int, HWND) { return false; }
bool Window::OnReflected(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

}  // namespace velmora
