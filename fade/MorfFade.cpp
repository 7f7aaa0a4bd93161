#include "fade/MorfFade.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>
#include <utility>

#include "fade/BlendKernel.h"
#include "fade/Resample.h"

namespace velmora {
namespace {

std::int64_t g_defaultStepInterval = 0;

// Truncation toward zero of a floating-point pixel position.
inline int Trunc(double value) { return static_cast<int>(std::trunc(value)); }

// Gives the image a new size only when it differs (SetSize reallocates).
void Resize(Image24& image, int width, int height) {
  if (image.Width() != width || image.Height() != height) image.SetSize(width, height);
}

bool DrawsOverBackground(GraphicKind kind) {
  return kind == GraphicKind::Metafile || kind == GraphicKind::Icon;
}

// Releases the dot order however the run leaves.
class DotOrderRelease {
 public:
  explicit DotOrderRelease(DotOrder& order) : order_(order) {}
  ~DotOrderRelease() { order_.Release(); }
  DotOrderRelease(const DotOrderRelease&) = delete;
  DotOrderRelease& operator=(const DotOrderRelease&) = delete;

 private:
  DotOrder& order_;
};

// Clears a flag however the scope is left.
class FlagGuard {
 public:
  explicit FlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagGuard() { flag_ = false; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;

 private:
  bool& flag_;
};

}  // namespace

void TMorfFade::SetDefaultStepInterval(std::int64_t micros) {
  g_defaultStepInterval = micros < 0 ? 0 : micros;
}

std::int64_t TMorfFade::DefaultStepInterval() { return g_defaultStepInterval; }

TMorfFade::TMorfFade(ImageFactory& images, FadeSurface& surface, FadeHost& host)
    : images_(images),
      surface_(surface),
      host_(host),
      stepInterval_(g_defaultStepInterval),
      fromImage_(images.CreateImage()),
      toImage_(images.CreateImage()),
      workImage_(images.CreateImage()) {
  picFrom_.OnChange = [this] { PictureChanged(); };
  picTo_.OnChange = [this] { PictureChanged(); };
  fromFill_ = kBlack;
  // The size change prepares the working images at 75 x 75.
  SetBounds(0, 0, 75, 75);
  preparing_ = false;
}

TMorfFade::~TMorfFade() {
  picFrom_.OnChange = nullptr;
  picTo_.OnChange = nullptr;
}

void TMorfFade::FireEvent(const TNotifyEvent& event) {
  if (!event) return;
  // A handler may replace the event it runs from; call a copy.
  const TNotifyEvent handler = event;
  handler(*this);
}

// ---------------------------------------------------------------- setters

void TMorfFade::SetColorFrom(TColor color) {
  if (color == colorFrom_) return;
  colorFrom_ = color;
  fromFill_ = color;
  Reset();
  Invalidate();
}

void TMorfFade::SetColorTo(TColor color) {
  if (color == colorTo_) return;
  colorTo_ = color;
  toFill_ = color;
  Reset();
  Invalidate();
}

void TMorfFade::SetDisolvRate(int rate) {
  disolvRate_ = rate;
  if (disolvRate_ < 1) disolvRate_ = 1;
  const std::int64_t pixels = std::int64_t(Width()) * Height();
  if (disolvRate_ > pixels) disolvRate_ = int(pixels);
}

void TMorfFade::SetBlendRate(int rate) {
  blendRate_ = std::clamp(rate, 1, 255);
}

void TMorfFade::SetStretchToFit(bool fit) {
  if (fit == stretchToFit_) return;
  stretchToFit_ = fit;
  Reset();
  Invalidate();
}

void TMorfFade::SetBounds(int left, int top, int width, int height) {
  const Rect bounds{left, top, left + std::max(width, 0), top + std::max(height, 0)};
  if (bounds == bounds_) return;
  bounds_ = bounds;
  surface_.BoundsChanged(bounds_);
  Reset();
  Invalidate();
}

void TMorfFade::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  surface_.VisibilityChanged(visible);
}

void TMorfFade::PictureChanged() {
  if (preparing_ || swapPending_) return;
  Reset();
  Invalidate();
}

// ---------------------------------------------------------------- drawing

void TMorfFade::Paint() { surface_.PaintImage(*fromImage_); }

void TMorfFade::Invalidate() { surface_.Invalidate(); }

void TMorfFade::MouseEnter() { FireEvent(OnMouseEnter); }
void TMorfFade::MouseLeave() { FireEvent(OnMouseLeave); }
void TMorfFade::Click() { FireEvent(OnClick); }

Rect FitRect(int pictureWidth, int pictureHeight, int w, int h) {
  const double r = double(pictureHeight) / double(pictureWidth);
  int tw, th;
  if (double(h) / double(w) > r) {
    tw = w;
    th = Trunc(double(w) * r);
  } else {
    th = h;
    tw = Trunc(double(h) / r);
  }
  const int left = Trunc(double(w - tw) / 2.0);
  const int top = Trunc(double(h - th) / 2.0);
  return Rect{left, top, left + tw, top + th};
}

// ---------------------------------------------------------------- Reset

void TMorfFade::Reset() {
  // A nested Reset (from the size change of a natural-size Reset) clears
  // the flag when it ends, as the outer one does.
  FlagGuard preparing(preparing_);

  if (swapPending_) {
    std::swap(colorFrom_, colorTo_);
    const TPicture temp(picFrom_);
    picFrom_.Assign(picTo_);
    picTo_.Assign(temp);
    swapPending_ = false;
    stretchToFit_ = savedStretchToFit_;
  }
  fromFill_ = colorFrom_;
  toFill_ = colorTo_;

  if (stretchToFit_) {
    PrepareFit(*fromImage_, picFrom_, fromFill_);
    PrepareFit(*toImage_, picTo_, toFill_);
  } else {
    ResetNaturalSize();
  }

  const int fw = fromImage_->Width(), fh = fromImage_->Height();
  if (action_ == TAction::Push) {
    if (direction_ == TDirection::FromLeft || direction_ == TDirection::FromRight)
      Resize(*workImage_, fw * 2, fh);
    else
      Resize(*workImage_, fw, fh * 2);
  } else {
    Resize(*workImage_, fw, fh);
  }

  Invalidate();
  FireEvent(OnReset);
}

void TMorfFade::DrawIconScaled(Image24& image, const Graphic& icon, TColor fill, const Rect& dst) {
  // The icon at natural size over the fill colour, then that picture scaled
  // onto dst; the icon's proportions are not kept.
  if (dst.Width() <= 0 || dst.Height() <= 0) return;
  std::unique_ptr<Image24> temp = images_.CreateImage();
  temp->SetSize(icon.Width(), icon.Height());
  temp->Fill(fill);
  icon.Draw(*temp, 0, 0);
  Resample(*temp, image, dst);
}

void TMorfFade::PrepareFit(Image24& image, const TPicture& picture, TColor fill) {
  const int w = Width(), h = Height();
  Resize(image, w, h);
  const std::shared_ptr<const Graphic>& graphic = picture.GetGraphic();
  // A picture without pixels counts as empty: it has no proportions to keep.
  if (!graphic || graphic->Width() <= 0 || graphic->Height() <= 0) {
    image.Fill(fill);
    return;
  }
  if (w <= 0 || h <= 0) return;
  if (graphic->Kind() == GraphicKind::Icon) {
    DrawIconScaled(image, *graphic, fill, Rect{0, 0, w, h});
    return;
  }
  image.Fill(kBlack);
  const Rect fit = FitRect(graphic->Width(), graphic->Height(), w, h);
  if (fit.Width() > 0 && fit.Height() > 0) graphic->StretchDraw(image, fit);
}

void TMorfFade::ResetNaturalSize() {
  const std::shared_ptr<const Graphic> from = picFrom_.GetGraphic();
  const std::shared_ptr<const Graphic> to = picTo_.GetGraphic();

  // One side's picture at natural size over its colour where the picture
  // draws only its own marks.
  auto holdNatural = [](Image24& image, const Graphic& graphic, TColor fill, int w, int h) {
    Resize(image, w, h);
    if (DrawsOverBackground(graphic.Kind())) image.Fill(fill);
    graphic.Draw(image, 0, 0);
  };
  auto fillOnly = [](Image24& image, TColor fill, int w, int h) {
    Resize(image, w, h);
    image.Fill(fill);
  };

  if (to && !from) {
    SetBounds(Left(), Top(), to->Width(), to->Height());
    holdNatural(*toImage_, *to, toFill_, Width(), Height());
    fillOnly(*fromImage_, fromFill_, Width(), Height());
  } else if (from && !to) {
    SetBounds(Left(), Top(), from->Width(), from->Height());
    holdNatural(*fromImage_, *from, fromFill_, Width(), Height());
    fillOnly(*toImage_, toFill_, Width(), Height());
  } else if (!from && !to) {
    fillOnly(*fromImage_, fromFill_, Width(), Height());
    fillOnly(*toImage_, toFill_, Width(), Height());
  } else {
    SetBounds(Left(), Top(), from->Width(), from->Height());
    const int w = Width(), h = Height();
    holdNatural(*fromImage_, *from, fromFill_, w, h);
    Resize(*toImage_, w, h);
    const Rect whole{0, 0, w, h};
    switch (to->Kind()) {
      case GraphicKind::Icon:
        toImage_->Fill(toFill_);
        DrawIconScaled(*toImage_, *to, toFill_, whole);
        break;
      case GraphicKind::Metafile:
        toImage_->Fill(toFill_);
        if (w > 0 && h > 0) to->StretchDraw(*toImage_, whole);
        break;
      case GraphicKind::Raster:
        if (w > 0 && h > 0) to->StretchDraw(*toImage_, whole);
        break;
    }
  }
}

// ---------------------------------------------------------------- steps

void TMorfFade::Pace(std::int64_t stepStart, bool handleMessages) {
  PaceUntil(stepStart, handleMessages, [this] { return StopRequested; });
}

void TMorfFade::PaceUntil(std::int64_t stepStart, bool handleMessages,
                          const std::function<bool()>& stopped) {
  if (stepInterval_ <= 0) return;
  const std::int64_t deadline = stepStart + stepInterval_;
  if (host_.NowMicros() >= deadline) return;  // a slow step: the next follows at once
  if (host_.WaitForVerticalBlank()) return;
  for (;;) {
    if (handleMessages) {
      host_.ProcessMessages();
      if (stopped()) return;
    }
    const std::int64_t left = deadline - host_.NowMicros();
    if (left <= 0) return;
    // Small slices while messages are handled; otherwise the whole rest at
    // once (at least one millisecond).
    const std::int64_t ms = handleMessages ? 1 : std::max<std::int64_t>(1, left / 1000);
    host_.Sleep(int(ms));
  }
}

bool TMorfFade::FinishStep(std::int64_t stepStart) {
  Pace(stepStart, processMsgs_);
  if (processMsgs_) host_.ProcessMessages();
  if (StopRequested) {
    EndStopped();
    return true;
  }
  return false;
}

void TMorfFade::EndStopped() {
  surface_.Copy(*toImage_, 0, 0, toImage_->Width(), toImage_->Height(), 0, 0);
  FireEvent(OnEnd);
  StopRequested = false;
}

// ---------------------------------------------------------------- runs in steps

void TMorfFade::BeginRun(RunKind kind) {
  runKind_ = kind;
  runNext_ = 0;
  runSteps_ = 0;
  runRestPending_ = false;
  switch (kind) {
    case RunKind::Sweep: {
      Reset();
      FireEvent(OnBegin);
      if (steps_ == 0) throw EZeroDivide();
      runW_ = Width();
      runH_ = Height();
      runSteps_ = steps_;
      runNext_ = 1;
      runAction_ = action_;
      runDirection_ = direction_;
      const int w = runW_, h = runH_;
      dx_ = float(w) / float(steps_);
      dy_ = float(h) / float(steps_);
      if (runAction_ == TAction::Push) {
        switch (runDirection_) {
          case TDirection::FromLeft:
            workImage_->Draw(*toImage_, 0, 0);
            workImage_->Draw(*fromImage_, w, 0);
            break;
          case TDirection::FromRight:
            workImage_->Draw(*fromImage_, 0, 0);
            workImage_->Draw(*toImage_, w, 0);
            break;
          case TDirection::FromTop:
            workImage_->Draw(*toImage_, 0, 0);
            workImage_->Draw(*fromImage_, 0, h);
            break;
          case TDirection::FromBottom:
            workImage_->Draw(*fromImage_, 0, 0);
            workImage_->Draw(*toImage_, 0, h);
            break;
          default:
            break;
        }
      }
      break;
    }
    case RunKind::Dissolve: {
      Reset();
      dots_.Build(Width(), Height(), dotSize_, direction_, action_, generalRate_);
      const std::int64_t count = dots_.Count();
      runPerStep_ = disolvRate_ >= 1 ? count / disolvRate_ : 0;
      if (runPerStep_ < 1) throw EMorfFade("DisolvRate cannot be > Width * Height!");
      FireEvent(OnBegin);
      dots_.Rewind(dots_.Reversed());
      runSteps_ = count / runPerStep_;
      runRestPending_ = true;
      break;
    }
    case RunKind::Blend:
      Reset();
      if (blendRate_ < 1) throw EMorfFade("BlendRate must be between 0 and 256");
      FireEvent(OnBegin);
      // The work image is the fixed first operand; with Action Push it was
      // sized for the composite, so it takes the from-image's size here.
      Resize(*workImage_, fromImage_->Width(), fromImage_->Height());
      std::memcpy(workImage_->Bits(), fromImage_->Bits(), fromImage_->ByteSize());
      runRate_ = blendRate_;
      runSteps_ = std::int64_t(runRate_) + 1;
      break;
  }
}

bool TMorfFade::RunHasStep() const {
  switch (runKind_) {
    case RunKind::Sweep: return runNext_ <= runSteps_;
    case RunKind::Dissolve: return runNext_ < runSteps_ || runRestPending_;
    case RunKind::Blend: return runNext_ < runSteps_;
  }
  return false;
}

TMorfFade::StepEnd TMorfFade::DrawRunStep() {
  switch (runKind_) {
    case RunKind::Sweep:
      DrawSweepStep(int(runNext_++));
      return StepEnd::Checked;
    case RunKind::Dissolve: {
      if (runNext_ < runSteps_) {
        ++runNext_;
        CopyDots(runPerStep_);
        Paint();
        return StepEnd::Checked;
      }
      // The remainder, and a last repaint in any case; no messages, no stop.
      runRestPending_ = false;
      const std::int64_t rest = dots_.Count() - runSteps_ * runPerStep_;
      CopyDots(rest);
      Paint();
      return rest > 0 ? StepEnd::PacedOnly : StepEnd::Unpaced;
    }
    case RunKind::Blend:
      DrawBlendStep(int(runNext_++), runRate_);
      return StepEnd::Checked;
  }
  return StepEnd::Unpaced;
}

void TMorfFade::EndRun() {
  switch (runKind_) {
    case RunKind::Sweep:
      fromImage_->Draw(*toImage_, 0, 0);
      break;
    case RunKind::Dissolve:
      dots_.Release();
      if (autoReverse_) AutoReverseCycle(true);
      break;
    case RunKind::Blend:
      if (autoReverse_) AutoReverseCycle(false);
      break;
  }
  FireEvent(OnEnd);
}

void TMorfFade::RunAlone(RunKind kind) {
  std::optional<DotOrderRelease> release;
  if (kind == RunKind::Dissolve) release.emplace(dots_);
  BeginRun(kind);
  while (RunHasStep()) {
    const std::int64_t start = stepInterval_ > 0 ? host_.NowMicros() : 0;
    switch (DrawRunStep()) {
      case StepEnd::Checked:
        if (FinishStep(start)) return;
        break;
      case StepEnd::PacedOnly:
        Pace(start, false);
        break;
      case StepEnd::Unpaced:
        break;
    }
  }
  EndRun();
}

// ---------------------------------------------------------------- Sweep

void TMorfFade::Sweep() { RunAlone(RunKind::Sweep); }

void TMorfFade::DrawSweepStep(int i) {
  const int w = runW_, h = runH_;
  const double dx = dx_, dy = dy_;
  const int x = Trunc(double(i) * dx);
  const int y = Trunc(double(i) * dy);
  switch (runAction_) {
    case TAction::Stretch: {
      Rect r{0, 0, w, h};
      switch (runDirection_) {
        case TDirection::FromLeft:
        case TDirection::FromTopLeft:
        case TDirection::FromBottomLeft:
          r.right = x;
          break;
        case TDirection::FromRight:
        case TDirection::FromBottomRight:
        case TDirection::FromTopRight:
          r.left = Trunc(double(w) - double(i) * dx);
          break;
        case TDirection::XcenterOut:
        case TDirection::ZoomOut:
          r.left = Trunc((double(w) - double(i) * dx) / 2.0);
          r.right = x + r.left;
          break;
        default:
          break;
      }
      switch (runDirection_) {
        case TDirection::FromTop:
        case TDirection::FromTopLeft:
        case TDirection::FromTopRight:
          r.bottom = y;
          break;
        case TDirection::FromBottom:
        case TDirection::FromBottomRight:
        case TDirection::FromBottomLeft:
          r.top = Trunc(double(h) - double(i) * dy);
          break;
        case TDirection::YcenterOut:
        case TDirection::ZoomOut:
          r.top = Trunc((double(h) - double(i) * dy) / 2.0);
          r.bottom = y + r.top;
          break;
        default:
          break;
      }
      surface_.StretchCopy(*toImage_, r);
      break;
    }
    case TAction::Push: {
      int sx = 0, sy = 0;
      bool draw = true;
      switch (runDirection_) {
        case TDirection::FromLeft: sx = w - x; break;
        case TDirection::FromRight: sx = x; break;
        case TDirection::FromTop: sy = h - y; break;
        case TDirection::FromBottom: sy = y; break;
        default: draw = false; break;
      }
      if (draw) surface_.Copy(*workImage_, sx, sy, w, h, 0, 0);
      break;
    }
    case TAction::Slide: {
      int dstX = 0, srcX = 0, width = w;
      int dstY = 0, srcY = 0, height = h;
      switch (runDirection_) {
        case TDirection::FromLeft:
        case TDirection::FromTopLeft:
        case TDirection::FromBottomLeft:
          srcX = w - x;
          width = x;
          break;
        case TDirection::FromRight:
        case TDirection::FromBottomRight:
        case TDirection::FromTopRight:
          dstX = w - x;
          width = x;
          break;
        default:
          break;
      }
      switch (runDirection_) {
        case TDirection::FromTop:
        case TDirection::FromTopLeft:
        case TDirection::FromTopRight:
          srcY = h - y;
          height = y;
          break;
        case TDirection::FromBottom:
        case TDirection::FromBottomRight:
        case TDirection::FromBottomLeft:
          dstY = h - y;
          height = y;
          break;
        default:
          break;
      }
      surface_.Copy(*toImage_, srcX, srcY, width, height, dstX, dstY);
      break;
    }
    default:  // not a geometric action: the steps run without drawing
      break;
  }
}

// ---------------------------------------------------------------- Dissolve

void TMorfFade::CopyDots(std::int64_t pixels) {
  // A message handled between steps may have resized the pictures (which
  // the owners must not do); the order no longer fits them, so nothing more
  // is copied and the run goes on to its end.
  if (fromImage_->Width() != dots_.Width() || fromImage_->Height() != dots_.Height() ||
      toImage_->Width() != dots_.Width() || toImage_->Height() != dots_.Height())
    return;
  std::uint8_t* const dst = fromImage_->Bits();
  const std::uint8_t* const src = toImage_->Bits();
  const std::size_t stride = std::size_t(fromImage_->Stride());
  dots_.Take(pixels, [dst, src, stride](std::int32_t row, std::int32_t col, std::int32_t len) {
    const std::size_t offset = std::size_t(row) * stride + std::size_t(col) * 3;
    std::uint8_t* d = dst + offset;
    const std::uint8_t* s = src + offset;
    if (len == 1) {
      d[0] = s[0];
      d[1] = s[1];
      d[2] = s[2];
    } else {
      std::memcpy(d, s, std::size_t(len) * 3);
    }
  });
}

bool TMorfFade::DissolveSteps(std::int64_t perStep) {
  const std::int64_t count = dots_.Count();
  const std::int64_t steps = count / perStep;
  for (std::int64_t s = 0; s < steps; ++s) {
    const std::int64_t start = stepInterval_ > 0 ? host_.NowMicros() : 0;
    CopyDots(perStep);
    Paint();
    if (FinishStep(start)) return false;
  }
  // The remainder, and a last repaint in any case; no messages, no stop.
  const std::int64_t start = stepInterval_ > 0 ? host_.NowMicros() : 0;
  const std::int64_t rest = count - steps * perStep;
  CopyDots(rest);
  Paint();
  if (rest > 0) Pace(start, false);
  return true;
}

void TMorfFade::Dissolve() { RunAlone(RunKind::Dissolve); }

// ---------------------------------------------------------------- Blend

void TMorfFade::DrawBlendStep(int i, int rate) {
  const int weight = int(std::int64_t(i) * 32 / rate);
  // All three images have one size; should a message handled between
  // steps have resized one, only the common memory is blended.
  const std::size_t bytes =
      std::min({fromImage_->ByteSize(), toImage_->ByteSize(), workImage_->ByteSize()});
  if (weight > 0) BlendBytes(workImage_->Bits(), toImage_->Bits(), fromImage_->Bits(), bytes, weight);
  Paint();
}

bool TMorfFade::BlendSteps(int rate) {
  for (int i = 0; i <= rate; ++i) {
    const std::int64_t start = stepInterval_ > 0 ? host_.NowMicros() : 0;
    DrawBlendStep(i, rate);
    if (FinishStep(start)) return false;
  }
  return true;
}

void TMorfFade::Blend() { RunAlone(RunKind::Blend); }

// ---------------------------------------------------------------- a group in lockstep

bool TMorfFadeGroup::Stopped() const {
  if (StopRequested) return true;
  for (const TMorfFade* fade : fades_)
    if (fade->StopRequested) return true;
  return false;
}

void TMorfFadeGroup::Run(TMorfFade::RunKind kind) {
  if (fades_.empty()) return;
  TMorfFade& lead = *fades_.front();
  // Every dot order is released however the run leaves.
  std::vector<std::optional<DotOrderRelease>> releases(fades_.size());
  std::vector<bool> running(fades_.size(), false);
  std::size_t left = 0;
  for (std::size_t i = 0; i < fades_.size(); ++i) {
    if (kind == TMorfFade::RunKind::Dissolve) releases[i].emplace(fades_[i]->dots_);
    fades_[i]->BeginRun(kind);
    running[i] = true;
    ++left;
  }
  const auto stopped = [this] { return Stopped(); };
  for (;;) {
    for (std::size_t i = 0; i < fades_.size(); ++i) {
      if (!running[i] || fades_[i]->RunHasStep()) continue;
      running[i] = false;
      --left;
      fades_[i]->EndRun();
    }
    if (left == 0) return;

    const std::int64_t start = lead.stepInterval_ > 0 ? lead.host_.NowMicros() : 0;
    bool checked = false;
    bool paced = false;
    for (std::size_t i = 0; i < fades_.size(); ++i) {
      if (!running[i]) continue;
      const TMorfFade::StepEnd end = fades_[i]->DrawRunStep();
      checked = checked || end == TMorfFade::StepEnd::Checked;
      paced = paced || end != TMorfFade::StepEnd::Unpaced;
    }
    if (checked) {
      lead.PaceUntil(start, lead.processMsgs_, stopped);
      if (lead.processMsgs_) lead.host_.ProcessMessages();
      if (Stopped()) {
        for (std::size_t i = 0; i < fades_.size(); ++i)
          if (running[i]) fades_[i]->EndStopped();
        for (TMorfFade* fade : fades_) fade->StopRequested = false;
        StopRequested = false;
        return;
      }
    } else if (paced) {
      lead.PaceUntil(start, false, stopped);
    }
  }
}

// ---------------------------------------------------------------- the way back

void TMorfFade::AutoReverseCycle(bool afterDissolve) {
  // A blocking wait: no messages, no stop check. A negative delay waits not.
  const std::int64_t ms = std::int64_t(swapDelay_) * 1000;
  if (ms > 0) host_.Sleep(int(std::min<std::int64_t>(ms, INT_MAX)));
  if (afterDissolve == swapOnReverse_)
    BlendBack();
  else
    DissolveBack();
}

void TMorfFade::ExchangeSides() {
  std::swap(colorFrom_, colorTo_);
  fromFill_ = colorFrom_;
  toFill_ = colorTo_;
  // Through a temporary picture; each assignment is a change of content.
  const TPicture temp(picFrom_);
  picFrom_.Assign(picTo_);
  picTo_.Assign(temp);
}

void TMorfFade::DissolveBack() {
  savedStretchToFit_ = stretchToFit_;
  stretchToFit_ = true;
  ExchangeSides();
  Reset();
  swapPending_ = true;

  DotOrderRelease release(dots_);
  dots_.Build(Width(), Height(), dotSize_, direction_, action_, generalRate_);
  const std::int64_t count = dots_.Count();
  // A component made smaller than DisolvRate: the rate counts as at most
  // one step per pixel (and at least one step).
  const std::int64_t rate = std::clamp<std::int64_t>(disolvRate_, 1, std::max<std::int64_t>(count, 1));
  const std::int64_t perStep = std::max<std::int64_t>(count / rate, 1);
  dots_.Rewind(false);  // always from the start, whatever the direction
  if (!DissolveSteps(perStep)) return;
  dots_.Release();
  Reset();
}

void TMorfFade::BlendBack() {
  savedStretchToFit_ = stretchToFit_;
  ExchangeSides();
  Reset();
  swapPending_ = true;

  Resize(*workImage_, fromImage_->Width(), fromImage_->Height());
  std::memcpy(workImage_->Bits(), fromImage_->Bits(), fromImage_->ByteSize());
  if (!BlendSteps(std::max(blendRate_, 1))) return;
  Reset();
}

}  // namespace velmora
