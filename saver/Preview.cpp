#include "saver/Preview.h"

#include <exception>
#include <optional>
#include <string>

#include "fade/MorfFade.h"
#include "fade/PictureLoader.h"
#include "frames/EffectCatalogue.h"
#include "frames/FrameList.h"
#include "frames/ShowOptions.h"
#include "saver/FolderPictures.h"

namespace velmora {
namespace {

// Clears the busy flag however a step ends.
class BusyGuard {
 public:
  explicit BusyGuard(bool& busy) : busy_(busy) { busy_ = true; }
  ~BusyGuard() { busy_ = false; }
  BusyGuard(const BusyGuard&) = delete;
  BusyGuard& operator=(const BusyGuard&) = delete;

 private:
  bool& busy_;
};

std::shared_ptr<const Graphic> LoadOrNull(const FrameRecord& frame) {
  try {
    // A folder frame previews as its first picture (black when it has none).
    if (IsFolderFrame(frame)) {
      std::optional<std::string> first;
      ForEachFolderPicture(frame.Path(), FolderIncludesSubfolders(frame), [&](const std::string& path) {
        first = path;
        return false;
      });
      return first ? LoadGraphic(*first) : nullptr;
    }
    return LoadGraphic(frame.Path());
  } catch (const std::exception&) {
    return nullptr;  // shown black
  }
}

// Puts frame (nullptr: none) on one side: its colour, its picture, or black.
template <typename SetPicture, typename SetColor>
void ShowSide(const FrameRecord* frame, TPicture& picture, SetPicture setPicture, SetColor setColor) {
  if (frame != nullptr && frame->Kind() == FrameKind::Colour) {
    picture.Clear();
    setColor(frame->Colour);
    return;
  }
  if (frame != nullptr && frame->Kind() == FrameKind::Picture) {
    if (auto graphic = LoadOrNull(*frame)) {
      setPicture(std::move(graphic));
      return;
    }
  }
  picture.Clear();
  setColor(kBlack);
}

}  // namespace

PreviewSequence::PreviewSequence(const FrameList& list, int currentIndex, int nextIndex, TMorfFade& frames,
                                 TMorfFade& hint, PreviewHost& host)
    : list_(list), currentIndex_(currentIndex), nextIndex_(nextIndex), frames_(frames), hint_(hint), host_(host) {
  frames_.SetGeneralRate(5);
  frames_.SetProcessMsgs(true);
  frames_.SetAction(TAction::Stretch);
  frames_.SetDirection(TDirection::FromLeft);
  frames_.SetSteps(30);
  frames_.SetDotSize(40);

  hint_.SetBounds(hint_.Left(), hint_.Top(), kHintWidth, kHintHeight);
  hint_.SetVisible(false);
  hint_.SetGeneralRate(5);
  hint_.SetStretchToFit(false);
  hint_.SetProcessMsgs(true);
  hint_.SetAutoReverse(true);
  hint_.SetSwapOnReverse(false);
  hint_.SetSwapDelay(2);
  hint_.SetSteps(30);
  hint_.SetDotSize(40);
  hint_.OnEnd = [](TMorfFade& sender) { sender.SetVisible(false); };  // MorfFade2End
}

const FrameRecord* PreviewSequence::Frame(int index) const {
  if (index < 1 || std::size_t(index) >= list_.Count()) return nullptr;
  return &list_[std::size_t(index)];
}

void PreviewSequence::Start(int width, int height) {
  if (started_) return;
  started_ = true;
  frames_.SetBounds(0, 0, width, height);
  step_ = 1;
  nextTime_ = host_.NowMillis();
  busy_ = false;
}

void PreviewSequence::Tick() {
  if (!started_ || busy_ || closing_ || host_.NowMillis() < nextTime_) return;
  BusyGuard guard(busy_);
  if (step_ == 1)
    ShowCurrentFrame();
  else if (step_ == 2)
    PlayTransition();
  else
    ShowHint();
}

void PreviewSequence::ShowCurrentFrame() {
  const FrameRecord* frame = Frame(currentIndex_);
  ShowSide(
      frame, frames_.PicFrom(), [this](auto g) { frames_.SetPicFrom(std::move(g)); },
      [this](TColor c) { frames_.SetColorFrom(c); });
  const std::int64_t still = frame != nullptr && frame->StillTime > 0 ? std::int64_t(frame->StillTime) * 1000 : 0;
  nextTime_ = host_.NowMillis() + still;
  step_ = 2;
}

void PreviewSequence::PlayTransition() {
  ShowSide(
      Frame(nextIndex_), frames_.PicTo(), [this](auto g) { frames_.SetPicTo(std::move(g)); },
      [this](TColor c) { frames_.SetColorTo(c); });
  bool ran = false;
  if (const FrameRecord* frame = Frame(currentIndex_)) {
    try {
      ran = ApplyFrameEffect(*frame, frames_);
    } catch (const std::exception& error) {
      LogOnce(error.what());
    }
  }
  // No run (effect none, or a run that failed): the next frame at once.
  if (!ran && !closing_) {
    if (frames_.PicTo().HasGraphic()) {
      frames_.SetPicFrom(frames_.PicTo());
    } else {
      frames_.PicFrom().Clear();
      frames_.SetColorFrom(frames_.ColorTo());
    }
  }
  nextTime_ = host_.NowMillis() + kHintPauseMs;
  step_ = 3;
}

void PreviewSequence::ShowHint() {
  hint_.SetBounds(frames_.Width() - hint_.Width() - kHintMargin, frames_.Height() - hint_.Height() - kHintMargin,
                  hint_.Width(), hint_.Height());
  try {
    host_.PrepareHint(hint_);
    hint_.SetVisible(true);
    hint_.Blend();
  } catch (const std::exception& error) {
    hint_.SetVisible(false);
    LogOnce(error.what());
  }
  ++step_;
  nextTime_ = host_.NowMillis() + kHintPauseMs;
}

void PreviewSequence::KeyDown(unsigned key, bool repeat) {
  if (!repeat && key < pressed_.size()) pressed_.set(key);
}

bool PreviewSequence::KeyUp(unsigned key) {
  if (key >= pressed_.size() || !pressed_.test(key)) return false;
  closing_ = true;
  frames_.StopRequested = true;
  hint_.StopRequested = true;
  return true;
}

void PreviewSequence::LogOnce(const std::string& message) {
  if (errorsLogged_++ == 0) host_.LogError(message.empty() ? std::string("Unknown error") : message);
}

}  // namespace velmora
