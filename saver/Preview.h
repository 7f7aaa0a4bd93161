// The editor's 'Current Effect' preview as a sequence, apart from its window
// (TForm2 in saver/PreviewFormWin32.h): show the current frame for its still
// time, play its transition into the next frame once, then every few seconds
// blend the hint "Press any key to escape..." in and out near the
// bottom-right corner, until a key pressed while the preview is open is
// released.
//
// Deadlines are kept on a monotonic clock, so a change of the wall clock
// neither freezes nor skips the preview.
#pragma once

#include <bitset>
#include <cstdint>
#include <memory>
#include <string>

#include "fade/Graphics.h"

namespace velmora {

class FrameList;
struct FrameRecord;
class TMorfFade;

// The hint text (kept in English).
inline constexpr const char* kPreviewHint = "Press any key to escape...";

// What the preview needs of its window.
class PreviewHost {
 public:
  virtual ~PreviewHost() = default;
  // A monotonic clock in milliseconds.
  virtual std::int64_t NowMillis() = 0;
  // Gives the hint component its two pictures: the screen under its place
  // ("from"), and the same with the hint text drawn on it ("to").
  virtual void PrepareHint(TMorfFade& hint) = 0;
  // A failure the preview goes on after.
  virtual void LogError(const std::string& message) = 0;
};

class PreviewSequence {
 public:
  static constexpr std::int64_t kHintPauseMs = 3000;
  static constexpr int kHintWidth = 441;
  static constexpr int kHintHeight = 75;
  static constexpr int kHintMargin = 50;

  // list, frames (MorfFade1), hint (MorfFade2) and host are not owned.
  // Gives both components their design values. Indices outside the list
  // show black.
  PreviewSequence(const FrameList& list, int currentIndex, int nextIndex, TMorfFade& frames,
                  TMorfFade& hint, PreviewHost& host);

  // FormActivate: the frames component covers width x height; step 1 is due now.
  void Start(int width, int height);
  // Timer1Timer: the step that is due, if any. Returns at once while a step
  // runs (re-entered from the messages a run pumps) or after Close.
  void Tick();
  // A key went down while the preview is open. repeat: it was down already
  // (the keyboard repeats a held key); a key held since before the preview
  // opened is not one pressed while it is open.
  void KeyDown(unsigned key, bool repeat = false);
  // FormKeyUp: true when the key was pressed while the preview was open
  // (the key-up of the Enter that chose the menu item does not count);
  // then both runs are asked to stop and the window is to close.
  bool KeyUp(unsigned key);

  int Step() const { return step_; }
  bool Busy() const { return busy_; }
  bool Closing() const { return closing_; }
  std::int64_t NextTime() const { return nextTime_; }
  int ErrorsLogged() const { return errorsLogged_; }

 private:
  const FrameRecord* Frame(int index) const;
  void ShowCurrentFrame();
  void PlayTransition();
  void ShowHint();
  void LogOnce(const std::string& message);

  const FrameList& list_;
  int currentIndex_;
  int nextIndex_;
  TMorfFade& frames_;
  TMorfFade& hint_;
  PreviewHost& host_;
  int step_ = 1;                // PreviewStep
  bool busy_ = false;           // PreviewBusy
  bool started_ = false;
  bool closing_ = false;
  std::int64_t nextTime_ = 0;   // NextPreviewTime, on the host's monotonic clock
  int errorsLogged_ = 0;
  std::bitset<256> pressed_;    // keys that went down while open
};

}  // namespace velmora
