#include "saver/Player.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <string>

#include "app/Startup.h"
#include "fade/MorfFade.h"
#include "fade/PictureLoader.h"
#include "frames/EffectCatalogue.h"
#include "frames/FrameList.h"
#include "frames/FrameSet.h"
#include "frames/ShowOptions.h"
#include "saver/PictureWorker.h"

namespace velmora {

bool EditorPreviewActive = false;

namespace {

// Clears StepBusy however the step ends, so that input can still end the
// show after an unexpected failure.
class StepBusyGuard {
 public:
  explicit StepBusyGuard(bool& busy) : busy_(busy) { busy_ = true; }
  ~StepBusyGuard() { busy_ = false; }
  StepBusyGuard(const StepBusyGuard&) = delete;
  StepBusyGuard& operator=(const StepBusyGuard&) = delete;

 private:
  bool& busy_;
};

// The deadline for a frame that has just come on screen.
TDateTime DeadlineAfterStill(const FrameRecord& frame) {
  const TDateTime now = Now();
  return frame.StillTime == 0 ? now : now + SecondsToDays(frame.StillTime);
}

// The frame n (1-based) of the show.
const FrameRecord& ShowFrame(std::int32_t n) { return (*TheFrameList)[std::size_t(n)]; }

// Makes the "to" side the "from" side at once (no transition ran).
void ShowToSideNow(TMorfFade& fade) {
  if (fade.PicTo().HasGraphic()) {
    fade.SetPicFrom(fade.PicTo());
  } else {
    fade.PicFrom().Clear();
    fade.SetColorFrom(fade.ColorTo());
  }
}

// The caption number of the picture after the one numbered sequence; it
// wraps long before an int would, and the corner still changes there.
int FollowingSequence(int sequence) { return (sequence + 1) & 0x3FFFFFFF; }

}  // namespace

SlideshowPlayer::SlideshowPlayer(PlayerHost& host, SaverMode mode) : host_(host), mode_(mode) {}

// The worker goes first (declared last): it may still be making a picture.
SlideshowPlayer::~SlideshowPlayer() = default;

void SlideshowPlayer::ReleaseLoadedPicture() {
  LoadedPicture.reset();
  LoadedPictureHeld = false;
}

// Loads the frame's picture into LoadedPicture: what the worker made of it
// when it was loaded ahead, else from the file now. A missing, unreadable or
// undecodable file gives nullptr (the frame is then shown black).
std::shared_ptr<const Graphic> SlideshowPlayer::LoadFramePicture(const FrameRecord& frame) {
  std::optional<std::shared_ptr<const Graphic>> ready;
  if (pictureWorker_) ready = pictureWorker_->Take(frame.Path());
  if (ready) {
    LoadedPicture = std::move(*ready);
  } else {
    try {
      LoadedPicture = LoadGraphic(frame.Path());
    } catch (const std::exception&) {
      LoadedPicture.reset();
    }
    // Drawn here only when the worker had no part in it.
    if (LoadedPicture && captionMode_ != CaptionMode::None) {
      const std::atomic<bool> keep{false};
      try {
        auto captioned = Captioner(LoadedPicture, frame.Path(), captionMode_, captionSequence_, DrawnSizes(), keep);
        if (captioned) LoadedPicture = std::move(captioned);
      } catch (const std::exception&) {
        // Shown without its caption.
      }
    }
  }
  LoadedPictureHeld = LoadedPicture != nullptr;
  return LoadedPicture;
}

// Starts loading the picture of the frame the next step brings, at the size
// the current component draws it. Only where and when its pixels are made
// changes: the step still takes it (or, without a worker, loads it) in its
// place, and a picture that fails there fails here alike.
void SlideshowPlayer::LoadNextPictureAhead() {
  if (!PictureWorkerEnabled || !Playing || ExitRequested) return;
  const FrameRecord& next = ShowFrame((PlayCounter % FrameCount) + 1);
  const TMorfFade* fade = CurrentFade();
  if (next.Kind() != FrameKind::Picture || fade == nullptr) {
    if (pictureWorker_) pictureWorker_->Cancel();
    return;
  }
  if (!pictureWorker_) pictureWorker_ = std::make_unique<PictureWorker>(PictureAheadLoader);
  // One load, prepared at the size of every monitor's component.
  // Its caption is drawn there too, with the number it will have on screen.
  PictureWorker::Finisher caption;
  if (captionMode_ != CaptionMode::None) {
    caption = [captioner = Captioner, path = next.Path(), mode = captionMode_,
               sequence = FollowingSequence(captionSequence_)](
                  const std::shared_ptr<const Graphic>& picture, const std::vector<PictureWorker::DrawnSize>& sizes,
                  const std::atomic<bool>& cancel) { return captioner(picture, path, mode, sequence, sizes, cancel); };
  }
  pictureWorker_->Start(next.Path(), DrawnSizes(), std::move(caption));
}

// The size each monitor's component draws a picture fitted at; 0 x 0 for one
// that draws at natural size.
std::vector<PictureWorker::DrawnSize> SlideshowPlayer::DrawnSizes() {
  std::vector<PictureWorker::DrawnSize> sizes;
  for (const TMorfFade* each : CurrentFades()) {
    const bool fit = each->StretchToFit();
    sizes.push_back(PictureWorker::DrawnSize{fit ? each->Width() : 0, fit ? each->Height() : 0});
  }
  return sizes;
}

TMorfFade* SlideshowPlayer::CurrentFade() {
  FadeSlot* slot = FadeSlots[std::size_t(CurrentSlot)].get();
  return slot ? &slot->Fade() : nullptr;
}

std::vector<TMorfFade*> SlideshowPlayer::CurrentFades() {
  std::vector<TMorfFade*> fades;
  FadeSlot* slot = FadeSlots[std::size_t(CurrentSlot)].get();
  if (!slot) return fades;
  for (std::size_t i = 0; i < slot->FadeCount(); ++i) fades.push_back(&slot->FadeAt(i));
  return fades;
}

void SlideshowPlayer::StartSlideshow() {
  host_.ShowApplicationWindow(true);
  LoadedPictureHeld = false;
  Playing = false;
  StepBusy = false;
  if (mode_ != SaverMode::Configure) {
    try {
      LoadFrameSet();
    } catch (const std::exception& error) {
      // A damaged frame-set file: nothing plays. The host decides where the
      // user sees the message (never behind the full-screen window).
      TheFrameList.reset();
      host_.ShowStartError(error.what());
      return;
    }
  }
  if (!TheFrameList || TheFrameList->Count() < 4 || FrameCount < 2) return;
  Playing = true;
  captionMode_ = Captioner ? ReadShowOptions((*TheFrameList)[0]).Caption : CaptionMode::None;
  captionSequence_ = 0;

  // The picture is loaded once; each monitor's component fits it to its size.
  const FrameRecord& first = ShowFrame(1);
  std::shared_ptr<const Graphic> firstPicture;
  if (first.Kind() == FrameKind::Picture) firstPicture = LoadFramePicture(first);
  for (TMorfFade* each : CurrentFades()) {
    TMorfFade& fade = *each;
    switch (first.Kind()) {
      case FrameKind::Colour:
        fade.PicFrom().Clear();
        fade.SetColorFrom(first.Colour);
        fade.SetColorTo(first.Colour);
        break;
      case FrameKind::Picture:
        if (firstPicture) {
          fade.SetPicFrom(firstPicture);
          break;
        }
        [[fallthrough]];
      default:
        fade.PicFrom().Clear();
        fade.SetColorFrom(kBlack);
        fade.SetColorTo(kBlack);
        break;
    }
  }
  NextStepTime = DeadlineAfterStill(first);
  StepBusy = false;
  PlayCounter = 1;
  LoadNextPictureAhead();
}

void SlideshowPlayer::SlideshowStep() {
  if (Now() < NextStepTime || StepBusy) return;
  if (!Playing || !CurrentFade()) return;
  StepBusyGuard busy(StepBusy);
  if (mode_ != SaverMode::Configure) host_.ShowApplicationWindow(false);
  if (mode_ != SaverMode::Preview) host_.RemovePendingTick();

  const std::int32_t incoming = (PlayCounter % FrameCount) + 1;
  const std::int32_t leaving = ((PlayCounter - 1) % FrameCount) + 1;
  if (LoadedPictureHeld) ReleaseLoadedPicture();

  // Copies: the records must not be reached through the list while the
  // transition handles messages.
  const FrameRecord next = ShowFrame(incoming);
  const FrameRecord leavingFrame = ShowFrame(leaving);
  const std::vector<TMorfFade*> fades = CurrentFades();
  std::shared_ptr<const Graphic> nextPicture;
  if (next.Kind() == FrameKind::Picture) {
    captionSequence_ = FollowingSequence(captionSequence_);
    nextPicture = LoadFramePicture(next);
  }
  for (TMorfFade* each : fades) {
    TMorfFade& fade = *each;
    switch (next.Kind()) {
      case FrameKind::Colour:
        fade.SetColorTo(next.Colour);
        fade.PicTo().Clear();
        break;
      case FrameKind::Picture:
        if (nextPicture) {
          fade.SetPicTo(nextPicture);
          break;
        }
        [[fallthrough]];
      default:
        fade.SetColorTo(kBlack);
        fade.PicTo().Clear();
        break;
    }
  }
  nextPicture.reset();

  bool ran = false;
  try {
    ran = ApplyFrameEffect(leavingFrame, fades);
  } catch (const std::exception& error) {
    // A transition that cannot be drawn: the show goes on and the next
    // frame comes on screen at once. A box here would sit behind the
    // top-most window with the pointer hidden and captured.
    host_.LogError(error.what());
    ran = false;
  }
  if (!ran)
    for (TMorfFade* each : fades) ShowToSideNow(*each);

  ++PlayCounter;
  if (PlayCounter == FrameCount * 100) PlayCounter = FrameCount * 10;

  if (Playing) {
    SwapTransition();
    NextStepTime = DeadlineAfterStill(next);
    LoadNextPictureAhead();
  }
  if (ExitRequested) host_.PostExitMessage();
}

void SlideshowPlayer::SwapTransition() {
  const int newSlot = (CurrentSlot + 1) % 2;
  FadeSlot& current = *FadeSlots[std::size_t(CurrentSlot)];

  FadeSlots[std::size_t(newSlot)] = host_.CreateFadeSlot();
  FadeSlot& fresh = *FadeSlots[std::size_t(newSlot)];
  // Monitor by monitor: each fresh component takes its predecessor's place
  // and image.
  const std::size_t count = std::min(current.FadeCount(), fresh.FadeCount());
  for (std::size_t i = 0; i < count; ++i) {
    TMorfFade& old = current.FadeAt(i);
    TMorfFade& fade = fresh.FadeAt(i);
    fade.SetProcessMsgs(true);
    fade.SetColorTo(kBlack);
    fade.SetBounds(old.Left(), old.Top(), old.Width(), old.Height());
    if (old.PicTo().HasGraphic())
      fade.SetPicFrom(old.PicTo());
    else
      fade.SetColorFrom(old.ColorTo());
  }
  fresh.SendToBack();

  host_.ProcessMessages();
  current.Hide();
  host_.ProcessMessages();
  FadeSlots[std::size_t(CurrentSlot)].reset();
  CurrentSlot = newSlot;
}

void SlideshowPlayer::StopSlideshow() {
  // Gives up a decode in progress (within a row) rather than finishing it.
  pictureWorker_.reset();
  if (mode_ != SaverMode::Configure && Playing) {
    TheFrameList.reset();
    Playing = false;
  }
  if (LoadedPictureHeld) ReleaseLoadedPicture();
}

}  // namespace velmora
