// How the editor's windows reach each other. The main window (TPMain) owns
// the strip and the frame commands; the edit window (TPMain1), the naming
// and clear dialogs and saving reach it through MainWindowLink, and it
// reaches them through EditorCompanions. Both are plain interfaces so that
// either side can be built and tested without the other.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// Window messages private to the editor (posted, both parameters 0).
inline constexpr UINT LoadShowMessage = WM_USER + 3;       // main window to itself
inline constexpr UINT CurrentFrameMessage = WM_USER + 5;   // main window to the edit window
inline constexpr UINT FramePictureMessage = WM_USER + 6;   // edit window to main window
inline constexpr UINT FrameSettingsMessage = WM_USER + 7;  // edit window to main window
// The editor's own, not one of the numbers above: a thumbnail made in the
// background, posted by a worker thread to the main window with wParam the
// thumbnail number and lParam 1 when it was made, 0 when the picture could
// not be read.
inline constexpr UINT ThumbnailMadeMessage = WM_USER + 16;
// Folders counted in the background: posted by the counting thread to the
// main window, both parameters 0; the counts wait in StripThumbnails.
inline constexpr UINT FolderCountedMessage = WM_USER + 17;

// What the edit window, saving and the clear dialog use of the main window.
class MainWindowLink {
 public:
  virtual ~MainWindowLink() = default;
  // The main window (owner of the dialogs, target of 1030 and 1031).
  virtual HWND MainHandle() const = 0;
  // FrameList index of the current frame (the shown index of the current
  // slot); never below 1 once the show is loaded.
  virtual int CurrentFrameIndex() const = 0;
  virtual void RefreshRow(int row) = 0;
  virtual void UpdateMenus() = 0;
  virtual void CurrentFrameChanged() = 0;
  // Makes the thumbnail of the picture at path (8-bit, system code page)
  // under number n; false when the picture cannot be read.
  virtual bool MakeThumbnail(const std::string& path, std::int32_t number) = 0;
  // NextThumbNumber, then adds one to it.
  virtual std::int32_t TakeThumbNumber() = 0;
  // The View menu's "Edit Window" tick, kept in step by the edit window.
  virtual void SetEditWindowTick(bool ticked) = 0;
  virtual bool ShowModified() const = 0;
  virtual void SetShowModified(bool modified) = 0;
  // The "Clear Empty Frames" command, as the menu runs it.
  virtual void ClearEmptyFrames() = 0;
  // Sets the window caption (the show name after a save).
  virtual void SetCaption(std::wstring_view caption) = 0;
};

// What the main window uses of the edit window and the saving commands.
// Until they exist a null implementation stands in.
class EditorCompanions {
 public:
  virtual ~EditorCompanions() = default;
  // Shows or hides the edit window (View, "Edit Window").
  virtual void ShowEditWindow(bool show) = 0;
  virtual bool EditWindowVisible() const = 0;
  // Posts CurrentFrameMessage to the edit window.
  virtual void PostCurrentFrameMessage() = 0;
  // Saver, "Save" (Save1Click).
  virtual void Save() = 0;
  // Saver, "Clear Old Savers" (Clear1Click).
  virtual void ClearOldSavers() = 0;
};

}  // namespace velmora
