// The window base class of the toolkit: one C++ object per window. The
// static window procedure binds the object at WM_NCCREATE (or at Attach, for
// an existing window such as a standard control, which is subclassed), and
// HandleMessage turns messages into calls of virtual OnX handlers. Command,
// notification, scroll and colour messages from child controls are reflected
// to the control's own object first (OnReflected), so a control can raise its
// own events; unclaimed ones reach the parent's handlers.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace velmora {

// A window class, registered on first use by name.
struct WindowClass {
  const wchar_t* name = nullptr;
  UINT style = CS_DBLCLKS;
  HBRUSH background = nullptr;  // nullptr: the window paints its whole background itself
  HCURSOR cursor = nullptr;     // nullptr: the arrow
  HICON icon = nullptr;         // nullptr: the executable's main icon, else the system's
};

struct WindowCreateParams {
  std::wstring title;
  DWORD style = WS_OVERLAPPEDWINDOW;
  DWORD exStyle = 0;
  int x = CW_USEDEFAULT;
  int y = CW_USEDEFAULT;
  int width = CW_USEDEFAULT;
  int height = CW_USEDEFAULT;
  HWND parent = nullptr;  // the parent of a WS_CHILD window, else the owner; not owned
  HMENU menuOrId = nullptr;
};

enum class MouseButton { Left, Right, Middle };

// What WM_CLOSE does after OnCloseQuery allowed it.
enum class CloseAction { None, Hide, Destroy };

class Window {
 public:
  Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  // Destroys the window if it still exists (an attached window is only
  // detached). Handlers are not called from here: the derived part is gone.
  virtual ~Window();

  // Registers `windowClass` when needed and creates the window; nullptr on
  // failure (GetLastError tells why). The window is not shown unless
  // params.style has WS_VISIBLE.
  HWND Create(const WindowClass& windowClass, const WindowCreateParams& params);
  // Binds this object to an existing window by subclassing it (for standard
  // controls); false when the window is already bound or the handle is bad.
  bool Attach(HWND window);
  // Unbinds an attached window without destroying it.
  void Detach();

  HWND Handle() const noexcept { return hwnd_; }
  // The object bound to `window`, or nullptr.
  static Window* FromHandle(HWND window) noexcept;

  void Show(int command = SW_SHOW);
  void Hide();
  bool IsVisible() const;
  bool IsEnabled() const;
  void SetEnabled(bool enabled);
  // Asks the window to close, as the user would (WM_CLOSE, synchronous).
  void Close();
  // Destroys the window at once, without asking.
  void Destroy();
  void SetBounds(int x, int y, int width, int height);
  RECT Bounds() const;  // in the parent's client coordinates (screen for top-level windows)
  RECT ClientRect() const;
  void Invalidate(bool erase = false);
  void Update();
  void SetText(std::wstring_view text);
  std::wstring Text() const;
  HWND Parent() const;

  bool StartTimer(UINT_PTR id, UINT intervalMs);
  void StopTimer(UINT_PTR id);
  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  bool Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

  // Shows the window and runs a message loop until a modal result is set,
  // the window is destroyed or the application terminates. The owner is
  // disabled meanwhile. Closing the window sets IDCANCEL. The window is
  // hidden (not destroyed) afterwards. Returns the modal result.
  int ShowModal();
  void SetModalResult(int result);
  int ModalResult() const noexcept { return modalResult_; }
  bool IsModal() const noexcept { return modal_; }

  // Called by the message loop for messages to this window or its
  // descendants, innermost window first; true means handled (not
  // translated, not dispatched). Used for dialog keys and accelerators.
  virtual bool PreTranslateMessage(MSG& message);

 protected:
  // The message switch. A derived window overrides it for messages of its
  // own (WM_USER + n) and calls Window::HandleMessage for the rest.
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // The default processing of a message (DefWindowProc, or the subclassed
  // control's own procedure).
  LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);

  // Handlers. A bool handler returns true when it handled the message; false
  // lets the default processing run.

  // Called once the window exists (WM_CREATE); false destroys it again.
  virtual bool OnCreate(const CREATESTRUCTW& create);
  // Called when the window is being destroyed (WM_DESTROY).
  virtual void OnDestroy();
  // Called when the window is asked to close; false refuses.
  virtual bool OnCloseQuery();
  // Called when closing has been allowed; says what happens to the window.
  virtual CloseAction OnClose();
  // Called when the window becomes active or inactive.
  virtual void OnActivate(bool active);
  // Called for WM_PAINT with the painting DC; false lets DefWindowProc paint.
  virtual bool OnPaint(HDC dc, const RECT& area);
  virtual bool OnEraseBackground(HDC dc);
  virtual void OnSize(int width, int height);
  virtual bool OnKeyDown(UINT virtualKey, LPARAM flags);
  virtual bool OnKeyUp(UINT virtualKey, LPARAM flags);
  virtual bool OnChar(wchar_t character, LPARAM flags);
  virtual bool OnMouseDown(MouseButton button, int x, int y, WPARAM keys);
  virtual bool OnMouseUp(MouseButton button, int x, int y, WPARAM keys);
  virtual bool OnDoubleClick(MouseButton button, int x, int y, WPARAM keys);
  virtual bool OnMouseMove(int x, int y, WPARAM keys);
  virtual bool OnMouseWheel(int delta, int screenX, int screenY, WPARAM keys);
  virtual bool OnTimer(UINT_PTR id);
  // Menu items, accelerators and control notifications no control claimed.
  virtual bool OnCommand(int id, int code, HWND control);
  // A WM_NOTIFY no control claimed.
  virtual bool OnNotify(const NMHDR& header, LRESULT& result);
  // A WM_HSCROLL / WM_VSCROLL of the window's own scroll bars (control == nullptr)
  // or of a control that did not claim it.
  virtual bool OnScroll(bool vertical, int code, int position, HWND control);
  // Called on a control's object for WM_COMMAND, WM_NOTIFY, WM_HSCROLL,
  // WM_VSCROLL, WM_CTLCOLOR* and WM_DRAWITEM that its parent received about
  // it; true (with `result`) when the control handled it.
  virtual bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

 private:
  static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR data);
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  bool Reflect(UINT message, WPARAM wParam, LPARAM lParam, HWND control, LRESULT& result);
  LRESULT HandleClose();
  void Unbind();

  HWND hwnd_ = nullptr;
  bool attached_ = false;
  bool modal_ = false;
  int modalResult_ = 0;
};

}  // namespace velmora
