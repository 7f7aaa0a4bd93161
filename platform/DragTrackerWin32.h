// Drag and drop between the controls of a form. A drag starts when the
// form's code calls Control::BeginDrag (it decides when a press becomes a
// drag): the source takes the mouse capture and the keyboard, the control
// under the pointer is asked onDragOver at every move (the pointer shows
// whether it accepts), and releasing the left button over a control that
// accepted calls its onDragDrop. Escape, the right button or losing the
// capture cancels. Returns at once; the drag runs in the message loop.
//
// Each form owns one tracker (Form::Drags); one drag at a time, on the UI
// thread.
#pragma once

#include <windows.h>

namespace velmora {

class Control;

class DragTracker {
 public:
  DragTracker() = default;
  DragTracker(const DragTracker&) = delete;
  DragTracker& operator=(const DragTracker&) = delete;

  // Starts dragging `source` (nothing when a drag runs already or the
  // source has no window).
  void Begin(Control& source);
  // A message to a control of the form: true when it belonged to the drag
  // (the source passes its mouse, key, capture and cursor messages here).
  bool Route(Control& control, UINT message, WPARAM wParam, LPARAM lParam);
  // Ends the drag without a drop, giving the focus back.
  void Cancel() { End(true); }
  // A control going away: ends the drag it is the source of, or stops
  // treating it as the target.
  void Forget(Control& control);

  bool Active() const noexcept { return source_ != nullptr; }
  bool IsSource(const Control& control) const noexcept { return source_ == &control; }

 private:
  void End(bool releaseCapture);
  void Track(POINT screen);
  void Drop(POINT screen);

  Control* source_ = nullptr;  // not owned
  Control* target_ = nullptr;  // the control that accepted at the last move; not owned
  bool accepted_ = false;
  HWND previousFocus_ = nullptr;  // given back when the drag ends; not owned
};

}  // namespace velmora
