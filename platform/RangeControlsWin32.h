// Range controls: scroll bar, track bar (slider) and up-down control, each
// a position within a range, moved by the user through the reflected
// WM_HSCROLL / WM_VSCROLL.
#pragma once

#include <windows.h>

#include "platform/ControlBaseWin32.h"

namespace velmora {

// A horizontal (or vertical) SCROLLBAR child. Never a tab stop. Every
// WM_HSCROLL code raises onScroll(code, position) with the position the
// scroll box gets for that code (line and page steps and thumb moves are
// applied by the control itself; SB_ENDSCROLL keeps the position), then
// onChange when the position changed.
class ScrollBar : public Control {
 public:
  // min..max with a page: the scroll box reaches min .. max - page + 1.
  void SetRange(int min, int max);
  void SetPageSize(int page);
  // Clamped into the reachable range; raises onChange when it moved and
  // `notify` is set.
  void SetPosition(int position, bool notify = true);
  // Range, page and position at once (position clamped), onChange as above.
  void SetParams(int position, int min, int max, int page, bool notify = true);
  int Min() const noexcept { return min_; }
  int Max() const noexcept { return max_; }
  int PageSize() const noexcept { return page_; }
  int Position() const noexcept { return position_; }
  // The position a scroll code moves the box to from `current`.
  int PositionForCode(int code, int current, int trackPosition) const;

  ScrollHandler onScroll;

 protected:
  const wchar_t* StandardClass() const override;
  DWORD StyleFor(const ControlSpec& spec) const override;
  void Setup(const ControlSpec& spec) override;
  bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void Apply(bool notify, int oldPosition);
  int min_ = 0;
  int max_ = 100;
  int page_ = 0;
  int position_ = 0;
  bool vertical_ = false;
};

// A horizontal track bar (slider). Range, page, tick frequency, position.
// onChange runs whenever the position changes, by the user or by
// SetPosition (as a change handler expects); detach onChange for silent
// changes, or pass notify = false.
class TrackBar : public Control {
 public:
  void SetRange(int min, int max);
  void SetPageSize(int page);
  void SetTickFrequency(int frequency);
  void SetPosition(int position, bool notify = true);
  int Position() const noexcept { return position_; }
  int Min() const noexcept { return min_; }
  int Max() const noexcept { return max_; }

 protected:
  const wchar_t* StandardClass() const override;
  DWORD StyleFor(const ControlSpec& spec) const override;
  void Setup(const ControlSpec& spec) override;
  bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void Sync(bool notify);
  int min_ = 0;
  int max_ = 10;
  int position_ = 0;
};

// An up-down control bound to an edit (its buddy, named in the table's
// `associate`): the arrows step the number in the edit between min and
// max, without wrapping. Position reads the edit's number (clamped into
// min..max; the last valid position when the text is no number).
class UpDown : public Control {
 public:
  void SetRange(int min, int max);
  void SetPosition(int position);
  int Position() const;
  int Min() const noexcept { return min_; }
  int Max() const noexcept { return max_; }
  void SetBuddy(Control* buddy);

 protected:
  const wchar_t* StandardClass() const override;
  DWORD StyleFor(const ControlSpec& spec) const override;
  void Setup(const ControlSpec& spec) override;
  bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  int min_ = 0;
  int max_ = 100;
  mutable int last_ = 0;
};

}  // namespace velmora
