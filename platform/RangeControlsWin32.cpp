#include "platform/RangeControlsWin32.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>

#include "platform/FormWin32.h"

namespace velmora {

// ---- ScrollBar -------------------------------------------------------------

const wchar_t* ScrollBar::StandardClass() const { return L"SCROLLBAR"; }
DWORD ScrollBar::StyleFor(const ControlSpec& spec) const { return spec.vertical ? SBS_VERT : SBS_HORZ; }

void ScrollBar::Setup(const ControlSpec& spec) {
  vertical_ = spec.vertical;
  if (spec.max > spec.min) {
    min_ = spec.min;
    max_ = spec.max;
  }
  page_ = std::max(0, spec.page);
  position_ = spec.position;
  Apply(false, position_);
}

int ScrollBar::PositionForCode(int code, int current, int trackPosition) const {
  const int step = std::max(1, page_);
  int position = current;
  switch (code) {
    case SB_LINELEFT:
      position = current - 1;
      break;
    case SB_LINERIGHT:
      position = current + 1;
      break;
    case SB_PAGELEFT:
      position = current - step;
      break;
    case SB_PAGERIGHT:
      position = current + step;
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
      position = trackPosition;
      break;
    case SB_LEFT:
      position = min_;
      break;
    case SB_RIGHT:
      position = max_;
      break;
    default:  // SB_ENDSCROLL
      break;
  }
  const int highest = std::max(min_, max_ - std::max(page_ - 1, 0));
  return std::clamp(position, min_, highest);
}

void ScrollBar::Apply(bool notify, int oldPosition) {
  const int highest = std::max(min_, max_ - std::max(page_ - 1, 0));
  position_ = std::clamp(position_, min_, highest);
  if (Handle() != nullptr) {
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = min_;
    info.nMax = max_;
    info.nPage = static_cast<UINT>(page_);
    info.nPos = position_;
    ::SetScrollInfo(Handle(), SB_CTL, &info, TRUE);
  }
  if (notify && position_ != oldPosition) DoChange();
}

void ScrollBar::SetRange(int min, int max) {
  const int old = position_;
  min_ = min;
  max_ = std::max(min, max);
  Apply(true, old);
}

void ScrollBar::SetPageSize(int page) {
  const int old = position_;
  page_ = std::max(0, page);
  Apply(true, old);
}

void ScrollBar::SetPosition(int position, bool notify) {
  const int old = position_;
  position_ = position;
  Apply(notify, old);
}

void ScrollBar::SetParams(int position, int min, int max, int page, bool notify) {
  const int old = position_;
  min_ = min;
  max_ = std::max(min, max);
  page_ = std::max(0, page);
  position_ = position;
  Apply(notify, old);
}

bool ScrollBar::OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message != WM_HSCROLL && message != WM_VSCROLL) return Control::OnReflected(message, wParam, lParam, result);
  const int code = LOWORD(wParam);
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_TRACKPOS;
  int track = static_cast<short>(HIWORD(wParam));
  if ((code == SB_THUMBTRACK || code == SB_THUMBPOSITION) && max_ > 32767 &&
      ::GetScrollInfo(Handle(), SB_CTL, &info)) {
    // The message carries only 16 bits; larger ranges read the 32-bit
    // track position (valid only while the box is dragged).
    track = info.nTrackPos;
  }
  const int position = PositionForCode(code, position_, track);
  if (onScroll) {
    ScrollHandler handler = onScroll;
    handler(*this, code, position);
  }
  if (position != position_) SetPosition(position);
  result = 0;
  return true;
}

// ---- TrackBar --------------------------------------------------------------

const wchar_t* TrackBar::StandardClass() const { return TRACKBAR_CLASSW; }
DWORD TrackBar::StyleFor(const ControlSpec&) const { return TBS_HORZ | TBS_AUTOTICKS | TBS_BOTTOM | WS_TABSTOP; }

void TrackBar::Setup(const ControlSpec& spec) {
  if (spec.max > spec.min) {
    min_ = spec.min;
    max_ = spec.max;
  }
  Send(TBM_SETRANGEMIN, FALSE, min_);
  Send(TBM_SETRANGEMAX, FALSE, max_);
  if (spec.page > 0) SetPageSize(spec.page);
  if (spec.tickFrequency > 0) SetTickFrequency(spec.tickFrequency);
  position_ = std::clamp(spec.position, min_, max_);
  Send(TBM_SETPOS, TRUE, position_);
}

void TrackBar::SetRange(int min, int max) {
  min_ = min;
  max_ = std::max(min, max);
  Send(TBM_SETRANGEMIN, FALSE, min_);
  Send(TBM_SETRANGEMAX, TRUE, max_);
  Sync(true);
}

void TrackBar::SetPageSize(int page) { Send(TBM_SETPAGESIZE, 0, page); }
void TrackBar::SetTickFrequency(int frequency) { Send(TBM_SETTICFREQ, static_cast<WPARAM>(frequency), 0); }

void TrackBar::SetPosition(int position, bool notify) {
  Send(TBM_SETPOS, TRUE, std::clamp(position, min_, max_));
  Sync(notify);
}

void TrackBar::Sync(bool notify) {
  const int position = static_cast<int>(Send(TBM_GETPOS));
  if (position == position_) return;
  position_ = position;
  if (notify) DoChange();
}

bool TrackBar::OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_HSCROLL || message == WM_VSCROLL) {
    Sync(true);
    result = 0;
    return true;
  }
  return Control::OnReflected(message, wParam, lParam, result);
}

// ---- UpDown ----------------------------------------------------------------

const wchar_t* UpDown::StandardClass() const { return UPDOWN_CLASSW; }
DWORD UpDown::StyleFor(const ControlSpec&) const { return UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS; }

void UpDown::Setup(const ControlSpec& spec) {
  if (spec.max > spec.min) {
    min_ = spec.min;
    max_ = spec.max;
  }
  Send(UDM_SETRANGE32, static_cast<WPARAM>(min_), max_);
  SetPosition(spec.position);
}

void UpDown::SetRange(int min, int max) {
  min_ = min;
  max_ = std::max(min, max);
  Send(UDM_SETRANGE32, static_cast<WPARAM>(min_), max_);
  SetPosition(last_);
}

void UpDown::SetPosition(int position) {
  last_ = std::clamp(position, min_, max_);
  Send(UDM_SETPOS32, 0, last_);
}

int UpDown::Position() const {
  HWND buddy = reinterpret_cast<HWND>(::SendMessageW(Handle(), UDM_GETBUDDY, 0, 0));
  if (buddy == nullptr) return last_;
  wchar_t text[32] = {};
  ::GetWindowTextW(buddy, text, 32);
  wchar_t* end = nullptr;
  const long value = std::wcstol(text, &end, 10);
  if (end == text || *end != L'\0') return last_;
  last_ = static_cast<int>(std::clamp<long>(value, min_, max_));
  return last_;
}

void UpDown::SetBuddy(Control* buddy) {
  Send(UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy != nullptr ? buddy->Handle() : nullptr));
  SetPosition(last_);
}

bool UpDown::OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_VSCROLL || message == WM_HSCROLL) {
    if (LOWORD(wParam) == SB_THUMBPOSITION) {
      last_ = std::clamp(static_cast<int>(static_cast<short>(HIWORD(wParam))), min_, max_);
      DoChange();
    }
    result = 0;
    return true;
  }
  return Control::OnReflected(message, wParam, lParam, result);
}

}  // namespace velmora
