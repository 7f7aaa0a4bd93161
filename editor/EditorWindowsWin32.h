// The editor's companions of the main window: the edit window, saving as a
// saver and the clear dialog, reached by the main window through
// EditorCompanions.
#pragma once

#include <memory>

#include "editor/EditWindowWin32.h"
#include "editor/EditorLinksWin32.h"
#include "editor/SaveShow.h"
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

// The file operations of a save on Windows: the frame-set writer, the
// shell's copy (SHFileOperationW), MoveFileExA and DeleteFileA. `owner` owns
// the copy's progress window.
class ShellSaveFileSystem : public SaveFileSystem {
 public:
  explicit ShellSaveFileSystem(HWND owner) : owner_(owner) {}
  bool Exists(const std::string& path) override;
  void WriteFrameSet(const std::string& path, const FrameList& list) override;
  CopyOutcome CopyFile(const std::string& from, const std::string& to, int& errorCode) override;
  void Rename(const std::string& from, const std::string& to) override;
  bool Remove(const std::string& path) override;

 private:
  HWND owner_;  // not owned
};

// Copies one file with the shell's file operation: FO_COPY with
// FOF_MULTIDESTFILES | FOF_NOCONFIRMATION | FOF_SIMPLEPROGRESS.
CopyOutcome CopySaverExecutable(HWND owner, const std::wstring& source, const std::wstring& target,
                                int& errorCode);

}  // namespace velmora
