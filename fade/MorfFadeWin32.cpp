#include "fade/MorfFadeWin32.h"

#include <dwmapi.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/ApplicationWin32.h"
#include "platform/DibImageWin32.h"

namespace velmora {

// ---------------------------------------------------------------- host

Win32FadeHost& Win32FadeHost::Instance() {
  static Win32FadeHost host;
  return host;
}

Win32FadeHost::Win32FadeHost() {
  ::QueryPerformanceFrequency(&frequency_);
  // Sleep(1) lasts a whole scheduler tick (about 15.6 ms) otherwise, which
  // would halve the pace of the timer-paced steps.
  timerPeriodSet_ = ::timeBeginPeriod(1) == TIMERR_NOERROR;
  // On screen every run is paced to the display (one step per refresh);
  // components made from now on take this as their step interval.
  TMorfFade::SetDefaultStepInterval(TMorfFade::kPacedStepMicros);
}

Win32FadeHost::~Win32FadeHost() {
  if (timerPeriodSet_) ::timeEndPeriod(1);
}

void Win32FadeHost::ProcessMessages() { Application::Instance().ProcessMessages(); }

void Win32FadeHost::Sleep(int ms) { ::Sleep(static_cast<DWORD>(std::max(ms, 0))); }

std::int64_t Win32FadeHost::NowMicros() {
  LARGE_INTEGER now{};
  ::QueryPerformanceCounter(&now);
  const std::int64_t ticks = now.QuadPart;
  const std::int64_t frequency = frequency_.QuadPart > 0 ? frequency_.QuadPart : 1;
  return ticks / frequency * 1'000'000 + ticks % frequency * 1'000'000 / frequency;
}

bool Win32FadeHost::WaitForVerticalBlank() {
  BOOL composition = FALSE;
  if (FAILED(::DwmIsCompositionEnabled(&composition)) || !composition) return false;
  const std::int64_t before = NowMicros();
  if (FAILED(::DwmFlush())) return false;
  // A flush that returns at once (nothing to compose, a locked desktop)
  // has not waited for anything: let the caller wait by the clock.
  return NowMicros() - before >= 1000;
}

// ---------------------------------------------------------------- images

namespace {

// A DC to copy `image` from: the image's own when it is a DIB section, else
// a temporary DIB section holding a copy of its pixels.
class SourceDC {
 public:
  explicit SourceDC(const Image24& image) {
    if (auto* dib = dynamic_cast<const DibImage*>(&image)) {
      dc_ = dib->Dc();
      return;
    }
    copy_ = std::make_unique<DibImage>(image.Width(), image.Height());
    if (image.ByteSize() > 0) std::memcpy(copy_->Bits(), image.Bits(), image.ByteSize());
    dc_ = copy_->Dc();
  }
  HDC Get() const { return dc_; }

 private:
  std::unique_ptr<DibImage> copy_;
  HDC dc_ = nullptr;
};

// Every control in z-order: later entries are in front.
std::vector<MorfFadeControl*>& Controls() {
  static std::vector<MorfFadeControl*> controls;
  return controls;
}

RECT ToRECT(const Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

// False once a handler has freed the control.
bool StillThere(const MorfFadeControl* control) {
  const auto& list = Controls();
  return std::find(list.begin(), list.end(), control) != list.end();
}

}  // namespace

ImageFactory& Win32FadeImages() {
  static DibImageFactory factory;
  return factory;
}

// ---------------------------------------------------------------- control

// The DC to draw on: the parent's WM_PAINT DC while PaintAll runs, else the
// parent's window DC. Clipped to the control's bounds either way.
class MorfFadeControl::TargetDC {
 public:
  explicit TargetDC(const MorfFadeControl& control)
      : control_(control), owned_(control.paintDC_ == nullptr) {
    dc_ = owned_ ? ::GetDC(control.parent_) : control.paintDC_;
    if (!dc_) return;
    saved_ = ::SaveDC(dc_);
    const Rect& b = control.bounds_;
    ::IntersectClipRect(dc_, b.left, b.top, b.right, b.bottom);
  }
  ~TargetDC() {
    if (!dc_) return;
    ::RestoreDC(dc_, saved_);
    if (owned_) ::ReleaseDC(control_.parent_, dc_);
  }
  TargetDC(const TargetDC&) = delete;
  TargetDC& operator=(const TargetDC&) = delete;
  HDC Get() const { return dc_; }

 private:
  const MorfFadeControl& control_;
  bool owned_;
  HDC dc_ = nullptr;
  int saved_ = 0;
};

MorfFadeControl::MorfFadeControl(HWND parent, ImageFactory& images, FadeHost& host)
    : parent_(parent), fade_(images, *this, host) {
  Register();
  bounds_ = fade_.BoundsRect();
  visible_ = fade_.Visible();
  Invalidate();
}

MorfFadeControl::~MorfFadeControl() {
  Invalidate();
  Unregister();
}

void MorfFadeControl::Register() { Controls().push_back(this); }

void MorfFadeControl::Unregister() {
  auto& list = Controls();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void MorfFadeControl::SetParent(HWND parent) {
  if (parent == parent_) return;
  Invalidate();
  parent_ = parent;
  Unregister();
  Register();
  Invalidate();
}

void MorfFadeControl::SendToBack() {
  Unregister();
  auto& list = Controls();
  list.insert(list.begin(), this);
  Invalidate();
}

void MorfFadeControl::BringToFront() {
  Unregister();
  Register();
  Invalidate();
}

RECT MorfFadeControl::ParentRect() const { return ToRECT(bounds_); }

void MorfFadeControl::BoundsChanged(const Rect& bounds) {
  Invalidate();
  bounds_ = bounds;
  Invalidate();
}

void MorfFadeControl::VisibilityChanged(bool visible) {
  // Invalidate while visible, so the area is repainted with what lies
  // beneath once hidden, or with the control once shown.
  visible_ = true;
  Invalidate();
  visible_ = visible;
}

void MorfFadeControl::Invalidate() {
  if (!parent_ || !visible_ || bounds_.Width() <= 0 || bounds_.Height() <= 0) return;
  const RECT rect = ParentRect();
  ::InvalidateRect(parent_, &rect, FALSE);
}

void MorfFadeControl::PaintImage(const Image24& image) {
  Copy(image, 0, 0, image.Width(), image.Height(), 0, 0);
}

void MorfFadeControl::Copy(const Image24& src, int srcX, int srcY, int width, int height,
                           int dstX, int dstY) {
  if (!parent_ || !visible_ || width <= 0 || height <= 0) return;
  TargetDC target(*this);
  const SourceDC source(src);
  if (!target.Get() || !source.Get()) return;
  ::BitBlt(target.Get(), bounds_.left + dstX, bounds_.top + dstY, width, height, source.Get(),
           srcX, srcY, SRCCOPY);
}

void MorfFadeControl::StretchCopy(const Image24& src, const Rect& dst) {
  if (!parent_ || !visible_ || dst.Width() == 0 || dst.Height() == 0) return;
  if (src.Width() <= 0 || src.Height() <= 0) return;
  TargetDC target(*this);
  const SourceDC source(src);
  if (!target.Get() || !source.Get()) return;
  const int previous = ::SetStretchBltMode(target.Get(), stretchMode_);
  if (stretchMode_ == HALFTONE) ::SetBrushOrgEx(target.Get(), 0, 0, nullptr);
  ::StretchBlt(target.Get(), bounds_.left + dst.left, bounds_.top + dst.top, dst.Width(),
               dst.Height(), source.Get(), 0, 0, src.Width(), src.Height(), SRCCOPY);
  ::SetStretchBltMode(target.Get(), previous);
}

void MorfFadeControl::PaintAll(HWND parent, HDC dc, const RECT& area, TColor background) {
  std::vector<MorfFadeControl*> mine;
  for (MorfFadeControl* control : Controls())
    if (control->parent_ == parent && control->visible_) mine.push_back(control);

  // What no control covers gets the background colour.
  const int saved = ::SaveDC(dc);
  for (const MorfFadeControl* control : mine) {
    const Rect& b = control->bounds_;
    ::ExcludeClipRect(dc, b.left, b.top, b.right, b.bottom);
  }
  const TColor rgb = ColorToRGB(background);
  HBRUSH brush = ::CreateSolidBrush(RGB(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF));
  ::FillRect(dc, &area, brush);
  ::DeleteObject(brush);
  ::RestoreDC(dc, saved);

  for (MorfFadeControl* control : mine) {
    RECT overlap{};
    const RECT rect = control->ParentRect();
    if (!::IntersectRect(&overlap, &rect, &area)) continue;
    control->paintDC_ = dc;
    control->fade_.Paint();
    control->paintDC_ = nullptr;
  }
}

MorfFadeControl* MorfFadeControl::ControlAt(HWND parent, int x, int y) {
  const auto& list = Controls();
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    MorfFadeControl* control = *it;
    const Rect& b = control->bounds_;
    if (control->parent_ == parent && control->visible_ && x >= b.left && x < b.right &&
        y >= b.top && y < b.bottom)
      return control;
  }
  return nullptr;
}

void MorfFadeControl::MouseMove(HWND parent, int x, int y) {
  MorfFadeControl* under = ControlAt(parent, x, y);
  // A copy: the handlers may create or free controls.
  const std::vector<MorfFadeControl*> list = Controls();
  for (MorfFadeControl* control : list) {
    if (!StillThere(control) || control->parent_ != parent) continue;
    const bool inside = control == under;
    if (inside == control->pointerInside_) continue;
    control->pointerInside_ = inside;
    if (inside)
      control->fade_.MouseEnter();
    else
      control->fade_.MouseLeave();
  }
}

void MorfFadeControl::MouseLeave(HWND parent) {
  const std::vector<MorfFadeControl*> list = Controls();
  for (MorfFadeControl* control : list) {
    if (!StillThere(control) || control->parent_ != parent || !control->pointerInside_) continue;
    control->pointerInside_ = false;
    control->fade_.MouseLeave();
  }
}

}  // namespace velmora
