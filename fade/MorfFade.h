// TMorfFade: shows one picture or colour and replaces it by a second one with
// an animated transition (stretch, push, slide, dissolve, discover, blend).
//
// The component is portable: it draws into three 24-bit working images and
// reaches the screen only through the FadeSurface it is given, the message
// loop and the clock through the FadeHost. The Win32 layer implements both
// with a windowless control on its parent window; tests use fakes.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>

#include "fade/DotOrder.h"
#include "fade/FadeHost.h"
#include "fade/FadeTypes.h"
#include "fade/Graphics.h"
#include "fade/Picture.h"
#include "fade/Sweep.h"

namespace velmora {

// Raised by the runs when their settings cannot be drawn; carries only its
// message ("DisolvRate cannot be > Width * Height!", "BlendRate must be
// between 0 and 256").
class EMorfFade : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Raised by Sweep when Steps is 0 (the step size would be a division by
// zero), after OnBegin and before anything is drawn. Message "Division by zero".
class EZeroDivide : public std::runtime_error {
 public:
  EZeroDivide() : std::runtime_error("Division by zero") {}
};

// Where fit mode draws a raster picture or metafile of pictureWidth x
// pictureHeight (both above 0) in a w x h image (both above 0): proportions
// kept, centred between black bars. A side may come out 0 (nothing drawn).
Rect FitRect(int pictureWidth, int pictureHeight, int w, int h);

class TMorfFade;
class TMorfFadeGroup;
using TNotifyEvent = std::function<void(TMorfFade& sender)>;

class TMorfFade {
 public:
  // One step of a paced run lasts this long (1/60 s, rounded).
  static constexpr std::int64_t kPacedStepMicros = 16667;

  // images, surface and host are not owned; they must outlive the component.
  // Construction sets the values below, sizes the component 75 x 75 and
  // prepares the working images (from-image black, to-image white).
  TMorfFade(ImageFactory& images, FadeSurface& surface, FadeHost& host);
  ~TMorfFade();
  TMorfFade(const TMorfFade&) = delete;
  TMorfFade& operator=(const TMorfFade&) = delete;

  // ---- Events (sender = this component) ----
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TNotifyEvent OnBegin;
  TNotifyEvent OnEnd;
  TNotifyEvent OnReset;
  TNotifyEvent OnClick;

  // Set by the owner to stop the current run at its next step; cleared only
  // when a run stops on it (a request made while idle stops the next run
  // right after its first step).
  bool StopRequested = false;

  // ---- Pictures and colours ----
  // The component's own holders. Changing their content (outside Reset and
  // while no swap is pending) runs Reset and invalidates.
  TPicture& PicFrom() { return picFrom_; }
  const TPicture& PicFrom() const { return picFrom_; }
  TPicture& PicTo() { return picTo_; }
  const TPicture& PicTo() const { return picTo_; }
  // Copies the given picture's graphic (or the graphic itself); nullptr empties.
  void SetPicFrom(const TPicture& picture) { picFrom_.Assign(picture); }
  void SetPicFrom(std::shared_ptr<const Graphic> graphic) { picFrom_.SetGraphic(std::move(graphic)); }
  void SetPicTo(const TPicture& picture) { picTo_.Assign(picture); }
  void SetPicTo(std::shared_ptr<const Graphic> graphic) { picTo_.SetGraphic(std::move(graphic)); }

  TColor ColorFrom() const { return colorFrom_; }
  void SetColorFrom(TColor color);  // if different: store, Reset, invalidate
  TColor ColorTo() const { return colorTo_; }
  void SetColorTo(TColor color);  // if different: store, Reset, invalidate

  // ---- Settings ----
  int DisolvRate() const { return disolvRate_; }
  void SetDisolvRate(int rate);  // kept within 1 .. Width * Height (0 without pixels)
  int BlendRate() const { return blendRate_; }
  void SetBlendRate(int rate);  // kept within 1 .. 255
  // Stores without the range check, as a stored form description would.
  void SetBlendRateUnchecked(int rate) { blendRate_ = rate; }
  void SetDisolvRateUnchecked(int rate) { disolvRate_ = rate; }
  int GeneralRate() const { return generalRate_; }
  void SetGeneralRate(int rate) { generalRate_ = rate; }
  bool StretchToFit() const { return stretchToFit_; }
  void SetStretchToFit(bool fit);  // if different: store, Reset, invalidate
  bool ProcessMsgs() const { return processMsgs_; }
  void SetProcessMsgs(bool process) { processMsgs_ = process; }
  bool AutoReverse() const { return autoReverse_; }
  void SetAutoReverse(bool reverse) { autoReverse_ = reverse; }
  bool SwapOnReverse() const { return swapOnReverse_; }
  void SetSwapOnReverse(bool swap) { swapOnReverse_ = swap; }
  int SwapDelay() const { return swapDelay_; }  // whole seconds
  void SetSwapDelay(int seconds) { swapDelay_ = seconds; }
  TTETransition Transition() const { return transition_; }
  void SetTransition(TTETransition transition) { transition_ = transition; }
  TDirection Direction() const { return direction_; }
  void SetDirection(TDirection direction) { direction_ = direction; }
  TAction Action() const { return action_; }
  void SetAction(TAction action) { action_ = action; }
  int Steps() const { return steps_; }
  void SetSteps(int steps) { steps_ = steps; }
  int DotSize() const { return dotSize_; }
  void SetDotSize(int size) { dotSize_ = size; }

  // The framework control's own properties, kept for the platform layer.
  const std::string& Hint() const { return hint_; }
  void SetHint(std::string hint) { hint_ = std::move(hint); }
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool show) { showHint_ = show; }
  bool ParentShowHint() const { return parentShowHint_; }
  void SetParentShowHint(bool parent) { parentShowHint_ = parent; }

  // ---- Pacing ----
  // Microseconds each step of a run lasts at least (0 = unpaced: the pace
  // is the drawing speed). A new component takes the process-wide default,
  // which is 0; the Windows program sets it to kPacedStepMicros at start-up,
  // the off-screen tools and the unit tests leave it at 0.
  static void SetDefaultStepInterval(std::int64_t micros);
  static std::int64_t DefaultStepInterval();
  std::int64_t StepInterval() const { return stepInterval_; }
  void SetStepInterval(std::int64_t micros) { stepInterval_ = micros < 0 ? 0 : micros; }
  void SetPacing(bool paced) { stepInterval_ = paced ? kPacedStepMicros : 0; }

  // ---- Bounds and visibility (relative to the parent window) ----
  int Left() const { return bounds_.left; }
  int Top() const { return bounds_.top; }
  int Width() const { return bounds_.Width(); }
  int Height() const { return bounds_.Height(); }
  Rect BoundsRect() const { return bounds_; }
  // A change of position or size tells the surface, runs Reset and
  // invalidates; setting the current bounds does nothing.
  void SetBounds(int left, int top, int width, int height);
  void SetLeft(int left) { SetBounds(left, Top(), Width(), Height()); }
  void SetTop(int top) { SetBounds(Left(), top, Width(), Height()); }
  void SetWidth(int width) { SetBounds(Left(), Top(), width, Height()); }
  void SetHeight(int height) { SetBounds(Left(), Top(), Width(), height); }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);

  // ---- Drawing and runs ----
  // Draws the from-image at the top-left corner, natural size.
  void Paint();
  void Invalidate();
  // Rebuilds the working images from the pictures, colours and settings.
  void Reset();
  void Sweep();     // Stretch, Push, Slide
  void Dissolve();  // xDissolve, Discover
  void Blend();     // xBlend

  // ---- Entry points for the platform ----
  void MouseEnter();  // fires OnMouseEnter
  void MouseLeave();  // fires OnMouseLeave
  void Click();       // fires OnClick

  // ---- Working images, for tests and tools ----
  const Image24& FromImage() const { return *fromImage_; }
  const Image24& ToImage() const { return *toImage_; }
  const Image24& WorkImage() const { return *workImage_; }
  bool SwapPending() const { return swapPending_; }

 private:
  friend class TMorfFadeGroup;

  // Every run, forward or back, alone or in a group, is played by one step
  // loop (PlaySteps) over the components taking part; a single run is a
  // group of one. BeginRun sets a forward run up (Reset, the checks that
  // raise, OnBegin), DissolveBack and BlendBack a way back; DrawRunStep
  // draws a component's next step and EndRun does what follows its last.
  enum class RunKind { Sweep, Dissolve, Blend };
  // What follows a step: pacing, messages and the stop check (Checked);
  // pacing only (PacedOnly, a dissolve's last part); nothing (Unpaced).
  enum class StepEnd { Checked, PacedOnly, Unpaced };
  using Fades = std::span<TMorfFade* const>;
  // Begins a forward run of every component and plays it to its end or a
  // stop. groupStop (the group's StopRequested; false for a single run)
  // stops it as any component's own request does.
  static void PlayForward(Fades fades, RunKind kind, bool& groupStop);
  // The step loop: every component still running draws its next step, then
  // the first component paces, handles messages and checks for a stop once.
  // A component without steps left ends (EndRun). On a stop every one still
  // running ends stopped and every request is cleared; returns false then.
  static bool PlaySteps(Fades fades, bool& groupStop);
  static bool Stopped(Fades fades, bool groupStop);
  void RunAlone(RunKind kind);
  void BeginRun(RunKind kind);
  void OpenRun(RunKind kind, bool back);
  // The steps of a dissolve over the current dot order, read from its end
  // when fromEnd is set; of a blend from the from-image towards the to-image.
  void SetDissolveSteps(std::int64_t perStep, bool fromEnd);
  void SetBlendSteps(int rate);
  bool RunHasStep() const;
  StepEnd DrawRunStep();
  void EndRun();
  void DrawSweepStep(int i);
  void DrawBlendStep(int i, int rate);

  void PictureChanged();
  void PrepareFit(Image24& image, const TPicture& picture, TColor fill);
  void DrawIconScaled(Image24& image, const Graphic& icon, TColor fill, const Rect& dst);
  void ResetNaturalSize();
  void ExchangeSides();
  void FireEvent(const TNotifyEvent& event);

  // Waits out the rest of a step begun at stepStart, handling messages
  // while it waits when handleMessages is set; returns early on a stop.
  void Pace(std::int64_t stepStart, bool handleMessages, Fades fades, const bool& groupStop);
  // Shows the to-image, fires OnEnd and clears StopRequested.
  void EndStopped();

  // Copies the next `pixels` pixels of the dot order from the to-image into
  // the from-image.
  void CopyDots(std::int64_t pixels);
  void AutoReverseCycle(bool afterDissolve);
  // The ways back: the exchange, then the steps alone (PlayBack).
  void DissolveBack();
  void BlendBack();
  void PlayBack();

  ImageFactory& images_;   // not owned
  FadeSurface& surface_;   // not owned
  FadeHost& host_;         // not owned

  TPicture picFrom_;
  TPicture picTo_;
  TColor colorFrom_ = kBlack;
  TColor colorTo_ = kWhite;
  TColor fromFill_ = kBlack;
  TColor toFill_ = kWhite;
  int disolvRate_ = 125;
  int blendRate_ = 32;
  int generalRate_ = 5;
  bool stretchToFit_ = true;
  bool processMsgs_ = false;
  bool autoReverse_ = false;
  bool swapOnReverse_ = true;
  int swapDelay_ = 1;
  TTETransition transition_ = TTETransition::StretchFromLeft;
  TDirection direction_ = TDirection::FromLeft;
  TAction action_ = TAction::Stretch;
  int steps_ = 30;
  int dotSize_ = 40;
  std::string hint_;
  bool showHint_ = false;
  bool parentShowHint_ = true;
  bool visible_ = true;
  Rect bounds_{};
  std::int64_t stepInterval_ = 0;

  bool preparing_ = false;
  bool swapPending_ = false;
  bool savedStretchToFit_ = true;

  std::unique_ptr<Image24> fromImage_;
  std::unique_ptr<Image24> toImage_;
  std::unique_ptr<Image24> workImage_;

  DotOrder dots_;
  // The current Sweep's sizes and step sizes (single precision).
  SweepGeometry sweep_;

  // The current run, forward or back, fixed at its start whatever a message
  // handled between steps changes.
  RunKind runKind_ = RunKind::Sweep;
  bool runBack_ = false;         // a way back: ends with Reset, no OnEnd
  bool runOpen_ = false;         // begun and not yet ended
  std::int64_t runNext_ = 0;     // the next step
  std::int64_t runSteps_ = 0;    // the steps followed by the stop check
  std::int64_t runPerStep_ = 0;  // dissolve: pixels per step
  bool runRestPending_ = false;  // dissolve: the last part is still to draw
  int runRate_ = 0;  // blend
  TAction runAction_ = TAction::Stretch;
  TDirection runDirection_ = TDirection::FromLeft;
};

// Several components playing one transition in lockstep, one per monitor:
// every component draws its next step, then the group paces, handles
// messages and checks for a stop once, by the first component's host, step
// interval and ProcessMsgs. Each component runs with its own size and
// settings and fires its own events once; one that has no steps left ends
// (OnEnd) and waits for the others. A stop request on the group or on any
// component stops every one still running, as a stop ends a single run.
// Forward runs only: AutoReverse plays on as for a single component.
class TMorfFadeGroup {
 public:
  // The components are not owned; they must outlive the group's runs.
  explicit TMorfFadeGroup(std::vector<TMorfFade*> fades) : fades_(std::move(fades)) {}

  bool StopRequested = false;

  void Sweep() { Run(TMorfFade::RunKind::Sweep); }
  void Dissolve() { Run(TMorfFade::RunKind::Dissolve); }
  void Blend() { Run(TMorfFade::RunKind::Blend); }

 private:
  void Run(TMorfFade::RunKind kind);

  std::vector<TMorfFade*> fades_;
};

}  // namespace velmora
