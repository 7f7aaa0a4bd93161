#include "saver/Player.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <optional>
#include <string>
#include <thread>

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

// A show with folder frames: how long a step that found nothing to show
// waits before it asks again, how many pictures one step passes over when
// they do not load (then it asks again), and how long the start waits for
// the first picture found before it starts black.
constexpr double kEntryPollSeconds = 0.05;
constexpr int kSkipsPerStep = 4;
constexpr auto kFirstPictureWait = std::chrono::milliseconds(250);

// Puts what the incoming frame shows on the "to" side of each component (the
// "from" side at the start): its colour, its picture, or black when the
// picture did not load.
void PutIncoming(const std::vector<TMorfFade*>& fades, const FrameRecord& frame,
                 const std::shared_ptr<const Graphic>& picture, bool fromSide) {
  for (TMorfFade* fade : fades) {
    TColor colour = kBlack;
    if (frame.Kind() == FrameKind::Picture && picture) {
      if (fromSide) fade->SetPicFrom(picture);
      else fade->SetPicTo(picture);
      continue;
    }
    if (frame.Kind() == FrameKind::Colour) colour = frame.Colour;
    if (fromSide) {
      fade->PicFrom().Clear();
      fade->SetColorFrom(colour);
    } else {
      fade->PicTo().Clear();
    }
    fade->SetColorTo(colour);
  }
}

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
  return LoadPicturePath(frame.Path());
}

std::shared_ptr<const Graphic> SlideshowPlayer::LoadPicturePath(const std::string& path) {
  std::optional<std::shared_ptr<const Graphic>> ready;
  if (pictureWorker_) ready = pictureWorker_->Take(path);
  if (ready) {
    LoadedPicture = std::move(*ready);
  } else {
    try {
      LoadedPicture = LoadGraphic(path);
    } catch (const std::exception&) {
      LoadedPicture.reset();
    }
    // Drawn here only when the worker had no part in it.
    if (LoadedPicture && captionMode_ != CaptionMode::None) {
      const std::atomic<bool> keep{false};
      try {
        auto captioned = Captioner(LoadedPicture, path, captionMode_, captionSequence_, DrawnSizes(), keep);
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
  std::string path;
  bool picture = false;
  if (sequence_) {
    // The entry is chosen now, so that the step brings the picture loaded.
    if (!coming_) coming_ = sequence_->Next(Now());
    picture = coming_ && coming_->frame.Kind() == FrameKind::Picture;
    if (picture) path = coming_->path;
  } else {
    const FrameRecord& next = ShowFrame((PlayCounter % FrameCount) + 1);
    picture = next.Kind() == FrameKind::Picture;
    if (picture) path = next.Path();
  }
  const TMorfFade* fade = CurrentFade();
  if (!picture || fade == nullptr) {
    if (pictureWorker_) pictureWorker_->Cancel();
    return;
  }
  if (!pictureWorker_) pictureWorker_ = std::make_unique<PictureWorker>(PictureAheadLoader);
  // One load, prepared at the size of every monitor's component.
  // Its caption is drawn there too, with the number it will have on screen.
  PictureWorker::Finisher caption;
  if (captionMode_ != CaptionMode::None) {
    caption = [captioner = Captioner, path, mode = captionMode_, sequence = FollowingSequence(captionSequence_)](
                  const std::shared_ptr<const Graphic>& prepared, const std::vector<PictureWorker::DrawnSize>& sizes,
                  const std::atomic<bool>& cancel) { return captioner(prepared, path, mode, sequence, sizes, cancel); };
  }
  pictureWorker_->Start(path, DrawnSizes(), std::move(caption));
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
  sequence_.reset();
  coming_.reset();
  leaving_.reset();
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
  if (ShowSequence::Needed(*TheFrameList, FrameCount)) {
    StartSequence();
    return;
  }

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

void SlideshowPlayer::StartSequence() {
  std::vector<FrameRecord> frames;
  for (std::int32_t n = 1; n <= FrameCount && std::size_t(n) < TheFrameList->Count(); ++n)
    frames.push_back(ShowFrame(n));
  sequence_ = std::make_unique<ShowSequence>(std::move(frames), ReadShowOptions((*TheFrameList)[0]).Shuffle,
                                             FolderLister);
  coming_.reset();
  leaving_.reset();
  // The first picture found, as soon as it is found; a folder that has
  // found none within a moment starts the show black, and the steps bring
  // its first picture when it comes.
  std::optional<ShowEntry> first;
  std::shared_ptr<const Graphic> picture;
  const auto until = std::chrono::steady_clock::now() + kFirstPictureWait;
  for (;;) {
    first = sequence_->Next(Now());
    if (first && first->frame.Kind() == FrameKind::Picture) {
      picture = LoadPicturePath(first->path);
      if (!picture && first->inFolder) first.reset();  // passed over, not shown black
    }
    if (first || std::chrono::steady_clock::now() >= until) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (first) {
    PutIncoming(CurrentFades(), first->frame, picture, true);
    NextStepTime = DeadlineAfterStill(first->frame);
    leaving_ = first->frame;
  } else {
    PutIncoming(CurrentFades(), FrameRecord{}, nullptr, true);
    NextStepTime = Now();
  }
  StepBusy = false;
  PlayCounter = 1;
  LoadNextPictureAhead();
}

std::optional<ShowEntry> SlideshowPlayer::TakeEntry() {
  if (coming_) {
    std::optional<ShowEntry> entry = std::move(coming_);
    coming_.reset();
    return entry;
  }
  return sequence_->Next(Now());
}

void SlideshowPlayer::SequenceStep() {
  StepBusyGuard busy(StepBusy);
  if (mode_ != SaverMode::Configure) host_.ShowApplicationWindow(false);
  if (mode_ != SaverMode::Preview) host_.RemovePendingTick();
  if (LoadedPictureHeld) ReleaseLoadedPicture();

  // A folder's picture that is gone or does not decode is passed over: the
  // next one comes instead, never a black frame.
  // A picture passed over leaves its caption number to the one that comes.
  std::optional<ShowEntry> next;
  std::shared_ptr<const Graphic> picture;
  const int shownSequence = captionSequence_;
  for (int tries = 0; tries < kSkipsPerStep && !next; ++tries) {
    next = TakeEntry();
    if (!next) break;
    if (next->frame.Kind() == FrameKind::Picture) {
      captionSequence_ = FollowingSequence(shownSequence);
      picture = LoadPicturePath(next->path);
      if (!picture && next->inFolder) next.reset();
    }
  }
  if (!next || next->frame.Kind() != FrameKind::Picture) captionSequence_ = shownSequence;
  if (!next) {
    // Nothing to show yet (a folder being listed): what is on screen stays.
    NextStepTime = Now() + SecondsToDays(kEntryPollSeconds);
    if (ExitRequested) host_.PostExitMessage();
    return;
  }

  const std::vector<TMorfFade*> fades = CurrentFades();
  PutIncoming(fades, next->frame, picture, false);
  picture.reset();
  bool ran = false;
  if (leaving_) {
    try {
      ran = ApplyFrameEffect(*leaving_, fades);
    } catch (const std::exception& error) {
      host_.LogError(error.what());
      ran = false;
    }
  }
  if (!ran)
    for (TMorfFade* each : fades) ShowToSideNow(*each);

  if (++PlayCounter == 1000000000) PlayCounter = 1;
  if (Playing) {
    SwapTransition();
    NextStepTime = DeadlineAfterStill(next->frame);
    leaving_ = next->frame;
    LoadNextPictureAhead();
  }
  if (ExitRequested) host_.PostExitMessage();
}

void SlideshowPlayer::SlideshowStep() {
  // A show with folders whose next entry was not found yet when the last
  // step ended (a round's listing just started): looked for again while the
  // current one stands, so that the worker still loads it ahead.
  if (sequence_ && !coming_ && Playing && !StepBusy && Now() < NextStepTime) LoadNextPictureAhead();
  if (Now() < NextStepTime || StepBusy) return;
  if (!Playing || !CurrentFade()) return;
  if (sequence_) {
    SequenceStep();
    return;
  }
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
  sequence_.reset();
  coming_.reset();
  leaving_.reset();
  if (mode_ != SaverMode::Configure && Playing) {
    TheFrameList.reset();
    Playing = false;
  }
  if (LoadedPictureHeld) ReleaseLoadedPicture();
}

}  // namespace velmora
