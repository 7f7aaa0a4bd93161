#include "platform/DragTrackerWin32.h"

#include <windowsx.h>

#include "platform/ControlBaseWin32.h"

namespace velmora {

namespace {

POINT ScreenPoint(const Control& source, LPARAM lParam) {
  POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ::ClientToScreen(source.Handle(), &point);
  return point;
}

// The control under a screen point: the window there, as a control of ours.
Control* ControlAt(POINT screen, POINT& client) {
  HWND window = ::WindowFromPoint(screen);
  auto* control = dynamic_cast<Control*>(Window::FromHandle(window));
  if (control == nullptr) return nullptr;
  client = screen;
  ::ScreenToClient(window, &client);
  return control;
}

void ShowCursorFor(bool accepted) { ::SetCursor(::LoadCursorW(nullptr, accepted ? IDC_ARROW : IDC_NO)); }

}  // namespace

void DragTracker::Begin(Control& source) {
  if (source_ != nullptr || source.Handle() == nullptr) return;
  source_ = &source;
  target_ = nullptr;
  accepted_ = false;
  previousFocus_ = ::GetFocus();
  // The source takes the keyboard so that Escape reaches it.
  ::SetFocus(source.Handle());
  ::SetCapture(source.Handle());
  ShowCursorFor(false);
}

bool DragTracker::Route(Control& control, UINT message, WPARAM wParam, LPARAM lParam) {
  if (source_ != &control) return false;
  switch (message) {
    case WM_MOUSEMOVE:
      Track(ScreenPoint(control, lParam));
      return true;
    case WM_LBUTTONUP:
      Drop(ScreenPoint(control, lParam));
      return true;
    case WM_RBUTTONDOWN:
    case WM_CANCELMODE:
      End(true);
      return true;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) End(true);
      return true;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != control.Handle()) End(false);
      return true;
    case WM_SETCURSOR:
      ShowCursorFor(accepted_);
      return true;
    default:
      return false;
  }
}

void DragTracker::Forget(Control& control) {
  if (source_ == &control) {
    End(false);
  } else if (target_ == &control) {
    target_ = nullptr;
    accepted_ = false;
  }
}

void DragTracker::End(bool releaseCapture) {
  if (source_ == nullptr) return;
  HWND source = source_->Handle();
  HWND focus = previousFocus_;
  source_ = nullptr;
  target_ = nullptr;
  accepted_ = false;
  previousFocus_ = nullptr;
  if (releaseCapture && ::GetCapture() == source) ::ReleaseCapture();
  if (focus != nullptr && ::IsWindow(focus)) ::SetFocus(focus);
}

void DragTracker::Track(POINT screen) {
  POINT client{};
  Control* target = ControlAt(screen, client);
  Control* source = source_;
  bool accepted = false;
  if (target != nullptr && target->onDragOver) {
    DragOverHandler handler = target->onDragOver;
    accepted = handler(*target, *source, client.x, client.y);
  }
  if (source_ != source) return;  // the handler ended the drag
  target_ = accepted ? target : nullptr;
  accepted_ = accepted;
  ShowCursorFor(accepted);
}

void DragTracker::Drop(POINT screen) {
  Track(screen);
  Control* source = source_;
  Control* target = target_;
  const bool accepted = accepted_;
  End(true);
  if (source == nullptr || target == nullptr || !accepted || !target->onDragDrop) return;
  POINT client = screen;
  ::ScreenToClient(target->Handle(), &client);
  DragDropHandler handler = target->onDragDrop;
  handler(*target, *source, client.x, client.y);
}

}  // namespace velmora
