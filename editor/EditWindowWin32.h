// TPMain1, the edit window: a small tool window beside the main window that
// shows and changes the current frame's content, still time, effect,
// direction, speed and dot size.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "editor/EditorLinksWin32.h"
#include "platform/FormWin32.h"

namespace velmora {

struct FrameRecord;
class TRFilterEdit;

class TPMain1 : public Form {
 public:
  explicit TPMain1(MainWindowLink& main);

  // Creates the window hidden, owned by `owner` (the main window).
  bool Create(HWND owner);

  // CurrentFrameMessage: reloads the controls from the current frame.
  void LoadCurrentFrame();

 protected:
  void FormCreate() override;
  void FormShow() override;
  void FormHide() override;

 private:
  // The record at the main window's current index, or nullptr when there is
  // no show yet or the index is outside the list.
  FrameRecord* CurrentFrame() const;
  void LayoutDirections(std::int32_t effect);
  void ShowSliders(std::int32_t effect, int direction);
  void ShowStillGroup(bool visible);
  void ShowEffectButtons(bool visible);
  void SetStillTime(std::int32_t seconds);
  std::int32_t StillTime();
  void PostToMain(UINT message);
  // The "include subfolders" box of a folder frame, shown or hidden (the
  // path field narrower beside it).
  void ShowFolderBox(bool shown, bool includeSubfolders);

  void SpeedButton2Click();
  void SpeedButton3Click();
  void SpeedButton6Click();
  void SpeedButton7Click();
  void RadioButton1Click(Control& sender);
  void RadioButton8Click(Control& sender);
  void CheckBox1Click();
  void TrackBar1Change();
  void TrackBar2Change();
  void RFilterEdit1Enter();
  void RFilterEdit1Exit();

  MainWindowLink& main_;
  // The last still time read from a valid field text.
  std::int32_t lastStillTime_ = 3;
  bool slidersAttached_ = true;
  // The path field shows a folder frame's folder (no picture chosen since).
  bool folderShown_ = false;
};

// A path as typed or chosen, made ready for a frame record: absolute (the
// saver runs with another current directory), then PathForRecord. Nothing
// when the record cannot hold it.
std::optional<std::string> PrepareRecordPath(const std::wstring& typed);

}  // namespace velmora
