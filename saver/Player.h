// The slideshow player: plays the process-wide FrameList as an endless show
// on the transition components of the saver window, one step at a time.
//
// The saver window calls StartSlideshow once and SlideshowStep again and
// again (from the idle loop, or from its timer in the preview mode); a step
// does nothing until the current frame's still time has passed. All state is
// process-wide: one show per process. The player reaches the window system
// only through PlayerHost, so it runs natively under test with fakes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/DateTime.h"
#include "fade/Graphics.h"
#include "saver/PictureWorker.h"

namespace velmora {

class TMorfFade;

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

// The host the player talks to; not owned. The saver window installs itself
// before StartSlideshow and removes itself (nullptr) when it is freed.
void SetPlayerHost(PlayerHost* host);
PlayerHost* GetPlayerHost();

// Process-wide player state. FrameCount and the FrameList live with the
// frame data (frames/FrameList.h).
extern std::int32_t PlayCounter;
extern TDateTime NextStepTime;
extern bool StepBusy;
extern bool Playing;
// The picture of the frame most recently brought on screen from a file,
// released at the start of the next step.
extern std::shared_ptr<const Graphic> LoadedPicture;
extern bool LoadedPictureHeld;
// The saver window's components; the one at CurrentSlot is on screen. The
// saver window creates slot 0 and frees the current one when it closes;
// SwapTransition replaces them after every transition.
extern std::array<std::unique_ptr<FadeSlot>, 2> FadeSlots;
extern int CurrentSlot;
// Whether the picture of the frame that comes next is loaded and decoded on
// a worker thread while the current frame stands still (PictureWorker); on
// by default. Off, every picture is loaded when its step starts.
extern bool PictureWorkerEnabled;
// What the worker runs for each picture; PictureWorker::LoadAndPrepare
// unless a test replaces it (before StartSlideshow).
extern PictureWorker::Loader PictureAheadLoader;
// Set by the editor while its whole-show preview shows the saver window.
extern bool EditorPreviewActive;
// Number of coming mouse-move events the saver window ignores.
extern std::int32_t MouseMoveGrace;

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

// Returns the player's state to its start values (tests; the saver window
// does not need it since one show runs per process).
void ResetPlayerState();

}  // namespace velmora
