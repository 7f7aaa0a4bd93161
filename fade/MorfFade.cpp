#include "fade/MorfFade.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <utility>

#include "fade/BlendKernel.h"
#include "fade/Resample.h"
#include "fade/Sweep.h"

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

// ---------------------------------------------------------------- pacing and stopping

bool TMorfFade::Stopped(Fades fades, bool groupStop) {
  if (groupStop) return true;
  for (const TMorfFade* fade : fades)
    if (fade->StopRequested) return true;
  return false;
}

void TMorfFade::Pace(std::int64_t stepStart, bool handleMessages, Fades fades, const bool& groupStop) {
  if (stepInterval_ <= 0) return;
  const std::int64_t deadline = stepStart + stepInterval_;
  if (host_.NowMicros() >= deadline) return;  // a slow step: the next follows at once
  if (host_.WaitForVerticalBlank()) return;
  for (;;) {
    if (handleMessages) {
      host_.ProcessMessages();
      if (Stopped(fades, groupStop)) return;
    }
    const std::int64_t left = deadline - host_.NowMicros();
    if (left <= 0) return;
    // Small slices while messages are handled; otherwise the whole rest at
    // once (at least one millisecond).
    const std::int64_t ms = handleMessages ? 1 : std::max<std::int64_t>(1, left / 1000);
    host_.Sleep(int(ms));
  }
}

void TMorfFade::EndStopped() {
  runOpen_ = false;
  surface_.Copy(*toImage_, 0, 0, toImage_->Width(), toImage_->Height(), 0, 0);
  FireEvent(OnEnd);
  StopRequested = false;
}

// ---------------------------------------------------------------- the step loop

bool TMorfFade::PlaySteps(Fades fades, bool& groupStop) {
  if (fades.empty()) return true;
  // The first component paces the steps and handles the messages for all.
  TMorfFade& lead = *fades.front();
  for (;;) {
    bool open = false;
    for (TMorfFade* fade : fades) {
      if (!fade->runOpen_) continue;
      if (fade->RunHasStep())
        open = true;
      else
        fade->EndRun();
    }
    if (!open) return true;

    const std::int64_t start = lead.stepInterval_ > 0 ? lead.host_.NowMicros() : 0;
    bool checked = false;
    bool paced = false;
    for (TMorfFade* fade : fades) {
      if (!fade->runOpen_) continue;
      const StepEnd end = fade->DrawRunStep();
      checked = checked || end == StepEnd::Checked;
      paced = paced || end != StepEnd::Unpaced;
    }
    if (checked) {
      lead.Pace(start, lead.processMsgs_, fades, groupStop);
      if (lead.processMsgs_) lead.host_.ProcessMessages();
      if (Stopped(fades, groupStop)) {
        for (TMorfFade* fade : fades)
          if (fade->runOpen_) fade->EndStopped();
        for (TMorfFade* fade : fades) fade->StopRequested = false;
        groupStop = false;
        return false;
      }
    } else if (paced) {
      lead.Pace(start, false, fades, groupStop);
    }
  }
}

void TMorfFade::PlayForward(Fades fades, RunKind kind, bool& groupStop) {
  // Every dot order is released however the run leaves.
  struct Release {
    Fades list;
    bool active;
    ~Release() {
      if (active)
        for (TMorfFade* fade : list) fade->dots_.Release();
    }
  } release{fades, kind == RunKind::Dissolve};
  for (TMorfFade* fade : fades) fade->BeginRun(kind);
  PlaySteps(fades, groupStop);
}

void TMorfFade::RunAlone(RunKind kind) {
  TMorfFade* const self[] = {this};
  bool noGroup = false;
  PlayForward(self, kind, noGroup);
}

// ---------------------------------------------------------------- runs in steps

void TMorfFade::OpenRun(RunKind kind, bool back) {
  runKind_ = kind;
  runBack_ = back;
  runOpen_ = true;
  runNext_ = 0;
  runSteps_ = 0;
  runRestPending_ = false;
}

void TMorfFade::SetDissolveSteps(std::int64_t perStep, bool fromEnd) {
  dots_.Rewind(fromEnd);
  runPerStep_ = perStep;
  runSteps_ = dots_.Count() / perStep;
  runRestPending_ = true;
}

void TMorfFade::SetBlendSteps(int rate) {
  // The work image is the fixed first operand; with Action Push it was
  // sized for the composite, so it takes the from-image's size here.
  Resize(*workImage_, fromImage_->Width(), fromImage_->Height());
  std::memcpy(workImage_->Bits(), fromImage_->Bits(), fromImage_->ByteSize());
  runRate_ = rate;
  runSteps_ = std::int64_t(rate) + 1;
}

void TMorfFade::BeginRun(RunKind kind) {
  runOpen_ = false;
  Reset();
  switch (kind) {
    case RunKind::Sweep: {
      FireEvent(OnBegin);
      if (steps_ == 0) throw EZeroDivide();
      OpenRun(kind, false);
      sweep_ = MakeSweepGeometry(Width(), Height(), steps_);
      runSteps_ = steps_;
      runNext_ = 1;
      runAction_ = action_;
      runDirection_ = direction_;
      if (runAction_ == TAction::Push) {
        const PushComposite composite = PushCompositeFor(runDirection_, sweep_.w, sweep_.h);
        if (composite.composed) {
          workImage_->Draw(*toImage_, composite.toX, composite.toY);
          workImage_->Draw(*fromImage_, composite.fromX, composite.fromY);
        }
      }
      break;
    }
    case RunKind::Dissolve: {
      dots_.Build(Width(), Height(), dotSize_, direction_, action_, generalRate_);
      const std::int64_t perStep = disolvRate_ >= 1 ? dots_.Count() / disolvRate_ : 0;
      if (perStep < 1) throw EMorfFade("DisolvRate cannot be > Width * Height!");
      FireEvent(OnBegin);
      OpenRun(kind, false);
      SetDissolveSteps(perStep, dots_.Reversed());
      break;
    }
    case RunKind::Blend:
      if (blendRate_ < 1) throw EMorfFade("BlendRate must be between 0 and 256");
      FireEvent(OnBegin);
      OpenRun(kind, false);
      SetBlendSteps(blendRate_);
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
  runOpen_ = false;
  if (runBack_) {
    // The way back ends with the Reset that undoes the exchange.
    if (runKind_ == RunKind::Dissolve) dots_.Release();
    Reset();
    return;
  }
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

// ---------------------------------------------------------------- the three steps

void TMorfFade::Sweep() { RunAlone(RunKind::Sweep); }
void TMorfFade::Dissolve() { RunAlone(RunKind::Dissolve); }
void TMorfFade::Blend() { RunAlone(RunKind::Blend); }

void TMorfFade::DrawSweepStep(int i) {
  const SweepCopy copy = SweepStepCopy(runAction_, runDirection_, sweep_, i);
  const Rect& dst = copy.dst;
  switch (copy.source) {
    case SweepSource::Nothing:
      break;
    case SweepSource::ToImageScaled:
      surface_.StretchCopy(*toImage_, dst);
      break;
    case SweepSource::ToImage:
      surface_.Copy(*toImage_, copy.srcX, copy.srcY, dst.Width(), dst.Height(), dst.left, dst.top);
      break;
    case SweepSource::WorkImage:
      surface_.Copy(*workImage_, copy.srcX, copy.srcY, dst.Width(), dst.Height(), dst.left, dst.top);
      break;
  }
}

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

void TMorfFade::DrawBlendStep(int i, int rate) {
  const int weight = int(std::int64_t(i) * 32 / rate);
  // All three images have one size; should a message handled between
  // steps have resized one, only the common memory is blended.
  const std::size_t bytes =
      std::min({fromImage_->ByteSize(), toImage_->ByteSize(), workImage_->ByteSize()});
  if (weight > 0) BlendBytes(workImage_->Bits(), toImage_->Bits(), fromImage_->Bits(), bytes, weight);
  Paint();
}

// ---------------------------------------------------------------- a group in lockstep

void TMorfFadeGroup::Run(TMorfFade::RunKind kind) { TMorfFade::PlayForward(fades_, kind, StopRequested); }

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

void TMorfFade::PlayBack() {
  // Alone, stopped by this component's own request only; a stop leaves the
  // swap pending for the next Reset.
  TMorfFade* const self[] = {this};
  bool noGroup = false;
  PlaySteps(self, noGroup);
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
  OpenRun(RunKind::Dissolve, true);
  SetDissolveSteps(std::max<std::int64_t>(count / rate, 1), false);  // always from the start
  PlayBack();
}

void TMorfFade::BlendBack() {
  savedStretchToFit_ = stretchToFit_;
  ExchangeSides();
  Reset();
  swapPending_ = true;

  OpenRun(RunKind::Blend, true);
  SetBlendSteps(std::max(blendRate_, 1));
  PlayBack();
}

}  // namespace velmora
