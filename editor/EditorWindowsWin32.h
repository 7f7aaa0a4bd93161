// The editor's companions of the main window: the edit window, saving as a
// saver and the clear dialog, reached by the main window through
// EditorCompanions.
#pragma once

#include <memory>

#include "editor/EditWindowWin32.h"
#include "editor/EditorLinksWin32.h"
#include "editor/SaverDialogsWin32.h"

namespace velmora {

class EditorWindows : public EditorCompanions {
 public:
  // `main` (not owned) outlives this object. The windows are made when the
  // main window's handle first exists.
  explicit EditorWindows(MainWindowLink& main);
  ~EditorWindows() override;

  void ShowEditWindow(bool show) override;
  bool EditWindowVisible() const override;
  void PostCurrentFrameMessage() override;
  void Save() override;
  void ClearOldSavers() override;

  // The edit window, made when needed; nullptr when it cannot be made.
  TPMain1* EditWindow();

 private:
  MainWindowLink& main_;
  std::unique_ptr<TPMain1> edit_;
  std::unique_ptr<TFormClear> clear_;
};

}  // namespace velmora
