// The slideshow player: plays the process-wide FrameList as an endless show
// on the transition components of the saver window, one step at a time.
//
// The saver window calls StartSlideshow once and SlideshowStep again and
// again (from the idle loop, or from its timer in the preview mode); a step
// does nothing until the current frame's still time has passed. One player
// plays one show (the saver session's, saver/SaverSession.h). It reaches the
// window system only through PlayerHost, so it runs natively under test
// with fakes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/DateTime.h"
#include "app/Startup.h"
#include "fade/Graphics.h"
#include "saver/Caption.h"
#include "saver/FolderListing.h"
#include "saver/PictureWorker.h"
#include "saver/ShowSequence.h"

namespace velmora {

class TMorfFade;
struct FrameRecord;

// The transition components placed on the saver window, one per monitor the
// show plays on (one in the preview mode). Destroying the slot frees them and
// takes them off the window.
class FadeSlot {
 public:
  virtual ~FadeSlot() = default;
  // The first component: the primary monitor's, or the only one.
  virtual TMorfFade& Fade() = 0;
  // How many components the slot holds (at least one), and each of them;
  // FadeAt(0) is Fade().
  virtual std::size_t FadeCount() const { return 1; }
  virtual TMorfFade& FadeAt(std::size_t index) {
    static_cast<void>(index);
    return Fade();
  }
  // Puts the components behind every other component of the saver window.
  virtual void SendToBack() = 0;
  // Takes the components off the screen (they stay alive until freed).
  virtual void Hide() = 0;
};

// What the player needs of the window system and of the saver window.
class PlayerHost {
 public:
  virtual ~PlayerHost() = default;

  // Shows or hides the application window (the hidden top-level window
  // that carries the task-bar button).
  virtual void ShowApplicationWindow(bool show) = 0;
  // Removes one pending TickMessage addressed to the saver window, if any.
  virtual void RemovePendingTick() = 0;
  // Posts ExitMessage to the saver window.
  virtual void PostExitMessage() = 0;
  // Creates a component owned by the saver window, with the saver window as
  // its parent and every setting at its construction value.
  virtual std::unique_ptr<FadeSlot> CreateFadeSlot() = 0;
  // Handles every pending window message, then returns.
  virtual void ProcessMessages() = 0;
  // A failure the show went on after (a transition that raised an error):
  // logged, never shown in a box over the running show.
  virtual void LogError(const std::string& message) = 0;
  // A failure that keeps the show from playing (the frame-set file cannot
  // be read). Called from StartSlideshow after the player's state is
  // consistent (nothing playing, StepBusy clear); the host shows it where
  // the user can see it, or ends the saver.
  virtual void ShowStartError(const std::string& message) = 0;
};

// The player of one show: its state and its routines. The saver session
// (saver/SaverSession.h) is one, with the saver window's rules added; the
// fields keep the names the player's description gives them.
class SlideshowPlayer {
 public:
  // host: not owned, outlives the player. mode: the process's mode (Mode);
  // in Configure the list is the editor's and the player never frees it.
  SlideshowPlayer(PlayerHost& host, SaverMode mode);
  virtual ~SlideshowPlayer();
  SlideshowPlayer(const SlideshowPlayer&) = delete;
  SlideshowPlayer& operator=(const SlideshowPlayer&) = delete;

  // Puts frame 1 on the component in slot 0 and sets the first deadline.
  // Loads the frame-set file first unless the mode is Configure.
  void StartSlideshow();
  // One step: the next frame comes on screen with the leaving frame's
  // transition. Returns at once before the deadline or while a step runs.
  void SlideshowStep();
  // Replaces the finished component by a fresh one showing the same image.
  void SwapTransition();
  // Releases what the show holds; a picture being loaded ahead is given up.
  void StopSlideshow();

  // The current component (the primary monitor's), or nullptr when the slot
  // is empty.
  TMorfFade* CurrentFade();
  // Every component of the current slot, one per monitor; empty when the slot is.
  std::vector<TMorfFade*> CurrentFades();

  SaverMode PlayMode() const { return mode_; }

  // ---- state ----
  std::int32_t PlayCounter = 0;
  TDateTime NextStepTime = 0.0;
  bool StepBusy = false;
  bool Playing = false;
  // The picture of the frame most recently brought on screen from a file,
  // released at the start of the next step.
  std::shared_ptr<const Graphic> LoadedPicture;
  bool LoadedPictureHeld = false;
  // The saver window's components; the one at CurrentSlot is on screen. The
  // saver window creates slot 0 and frees the current one when it closes;
  // SwapTransition replaces them after every transition.
  std::array<std::unique_ptr<FadeSlot>, 2> FadeSlots;
  int CurrentSlot = 0;
  // Set by the saver window's input handlers, read at the end of each step:
  // the step then posts ExitMessage.
  bool ExitRequested = false;
  // Whether the picture of the frame that comes next is loaded and decoded on
  // a worker thread while the current frame stands still (PictureWorker); on
  // by default. Off, every picture is loaded when its step starts.
  bool PictureWorkerEnabled = true;
  // What the worker runs for each picture; PictureWorker::LoadAndPrepare
  // unless a test replaces it (before StartSlideshow).
  PictureWorker::Loader PictureAheadLoader = &PictureWorker::LoadAndPrepare;
  // What lists a folder frame's pictures (on a worker thread);
  // ForEachFolderPicture unless a test replaces it (before StartSlideshow).
  FolderListing::Lister FolderLister = &ForEachFolderPicture;
  // Draws a picture's caption, as the show's header record asks, onto the
  // picture the worker prepares (or, when a picture is loaded on the spot,
  // there). Unset, the show plays without captions; the saver window gives
  // the platform's.
  PictureCaptioner Captioner;

 private:
  void ReleaseLoadedPicture();
  std::shared_ptr<const Graphic> LoadFramePicture(const FrameRecord& frame);
  std::shared_ptr<const Graphic> LoadPicturePath(const std::string& path);
  void LoadNextPictureAhead();
  std::vector<PictureWorker::DrawnSize> DrawnSizes();
  // A show with folder frames or shuffled plays the entries of a
  // ShowSequence instead of stepping through its frames.
  void StartSequence();
  void SequenceStep();
  std::optional<ShowEntry> TakeEntry();

  PlayerHost& host_;  // not owned
  const SaverMode mode_;
  // The entries of a show with folder frames or shuffled; null otherwise.
  // coming_: the entry the next step brings, once chosen (its picture may be
  // loading ahead); leaving_: the frame of the entry on screen, whose effect
  // the next step runs (none while the screen is black at the start).
  std::unique_ptr<ShowSequence> sequence_;
  std::optional<ShowEntry> coming_;
  std::optional<FrameRecord> leaving_;
  // The show's caption option, read when the show starts, and the number of
  // the picture on screen (0 for the first) that places its caption.
  CaptionMode captionMode_ = CaptionMode::None;
  int captionSequence_ = 0;
  // Loads the next frame's picture during the still time. Made at the first
  // job; StopSlideshow ends it.
  std::unique_ptr<PictureWorker> pictureWorker_;
};

// Set by the editor while its whole-show preview shows the saver window.
extern bool EditorPreviewActive;

}  // namespace velmora
