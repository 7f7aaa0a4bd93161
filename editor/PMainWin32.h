// The editor's main window, class TPMain (form name PMain): the strip of
// eight frame slots over the show's FrameList, the scroll bars, the main
// menu with the frame commands and the previews. The rules live in
// FrameStrip; this window turns control events into calls on it and shows
// what it asks for.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/EditorLinksWin32.h"
#include "editor/FrameStrip.h"
#include "editor/StripThumbnailsWin32.h"
#include "frames/ShowOptions.h"
#include "platform/FormWin32.h"

namespace velmora {

class TPMain : public Form, public MainWindowLink, private StripView {
 public:
  TPMain();
  ~TPMain() override;

  // Creates the window from its description, hidden (FormCreate runs).
  HWND CreateForm();
  // The edit window and saving (not owned); nullptr: nothing stands behind
  // "Edit Window", "Save" and "Clear Old Savers".
  void SetCompanions(EditorCompanions* companions);

  FrameStrip& Strip() noexcept { return strip_; }
  // The folder of this run's thumbnails (empty when they are kept in memory).
  const std::filesystem::path& ThumbnailFolder() const { return thumbnails_.Folder(); }
  // The side of the slots' thumbnails in pixels (the picture controls' side).
  int ThumbnailSide() const noexcept { return thumbnails_.Side(); }

  // ---- MainWindowLink ----
  HWND MainHandle() const override { return Handle(); }
  int CurrentFrameIndex() const override { return strip_.CurrentFrameIndex(); }
  void RefreshRow(int row) override { strip_.RefreshRow(row); }
  // Called by the edit window after it changed the list.
  void UpdateMenus() override {
    strip_.ListSizeChanged();
    strip_.UpdateMenus();
  }
  void CurrentFrameChanged() override { strip_.CurrentFrameChanged(); }
  bool MakeThumbnail(const std::string& path, std::int32_t number) override;
  std::int32_t TakeThumbNumber() override { return strip_.TakeThumbNumber(); }
  void SetEditWindowTick(bool ticked) override;
  bool ShowModified() const override { return strip_.ShowModified(); }
  void SetShowModified(bool modified) override { strip_.SetShowModified(modified); }
  void ClearEmptyFrames() override { ClearEmptyFrame1Click(); }
  using Form::SetCaption;
  void SetCaption(std::wstring_view caption) override;

 protected:
  void FormCreate() override;
  // Called when the window becomes active (FormActivate).
  void OnActivate(bool active) override;
  // Called when the window is asked to close (FormCloseQuery).
  bool OnCloseQuery() override;
  // Called when the window closes (FormClose).
  CloseAction OnClose() override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  struct SlotControls {
    Panel* panel = nullptr;
    Label* number = nullptr;
    Label* fileName = nullptr;
    Label* effect = nullptr;
    Label* speed = nullptr;
    Panel* inner = nullptr;
    PictureBox* picture = nullptr;
    // What the controls show now.
    std::optional<SlotPicture> shown;
    std::string numberText, fileNameText, effectText, speedText;
  };

  // ---- StripView ----
  void ShowSlotPicture(int slot, const SlotPicture& picture) override;
  void ShowSlotNumber(int slot, const std::string& text) override;
  void ShowSlotLabels(int slot, const SlotLabels& labels) override;
  void MarkSlot(int slot, bool current) override;
  void SetScrollBar(int bar, const ScrollBarState& state) override;
  void SetScrollIndicator(int bar, const std::string& text, bool visible) override;
  void SetMenuEnabled(StripMenuItem item, bool enabled) override;
  void CurrentFrameMayHaveChanged() override;
  // Named in one message (ShowNotRead).
  void PicturesNotRead(const std::vector<std::string>& paths) override;
  // A thumbnail made in the background (ThumbnailMadeMessage).
  void ThumbnailArrived(std::int32_t number, bool made);
  // Names the pictures the last batch could not read, unless a command
  // that lets messages through is running (a preview, a message, a save
  // waiting for the thumbnails: named when it ends).
  void ShowNotRead();
  // Before a save: waits until every thumbnail still being made is done,
  // so that the frame-set file has every thumbnail flag as after the
  // batch. False when the user stopped the wait.
  bool FinishThumbnails();

  // A folder frame's slot: its name and count, its first picture's
  // thumbnail (or a blank) with the folder mark.
  void ShowFolderSlot(SlotControls& controls, const SlotPicture& picture);
  // Sets a label's text unless it shows it already (`shown` keeps it).
  static void SetLabel(Label& label, std::string& shown, const std::string& text);
  void BindHandlers();
  // After a change of DPI: thumbnails at the new size, slots shown again.
  void DpiRelayout();
  // The slot (1 to 8) a control of the strip belongs to; 0 for none.
  int SlotOf(const Control& control) const;
  // Called on LoadShowMessage: loads or creates the show.
  void LoadShow();
  // Asks the close question when the show has unsaved frames; true when
  // the window may close.
  bool MayClose();
  // The clean-up of closing: thumbnails deleted, the show freed.
  void ReleaseShow();

  // Menu commands.
  void NewPicture1Click();
  void NewFolder1Click();
  void Shuffle1Click();
  void RemoveCurrentFrame1Click();
  void EmptyFrame1Click();
  void ClearEmptyFrame1Click();
  void RandomEffect1Click();
  void ALL1Click();
  void Single1Click();
  void Save1Click();
  void Export1Click();
  void Clear1Click();
  void HideEditWindow1Click();
  void Both1Click();
  void About1Click();
  void Quit2Click();
  void CaptionItemClick(CaptionMode mode);
  void ShowCaptionTicks();

  // Control events.
  void Panel5Click(Control& sender);
  void ScrollBarChange(int bar, ScrollBar& sender);
  void ScrollBarScroll(int bar, int code, int position);
  void Image1MouseDown(Control& sender, MouseButton button, int x, int y);
  void Image1MouseMove(Control& sender, int x, int y);
  void Image1MouseUp(Control& sender, MouseButton button);
  bool Image1DragOver(Control& target, Control& source);
  void Image1DragDrop(Control& target, Control& source);

  StripThumbnails thumbnails_;
  FrameStrip strip_;
  std::unique_ptr<EditorCompanions> nullCompanions_;
  EditorCompanions* companions_ = nullptr;  // not owned
  std::array<SlotControls, SlotCount> slots_{};
  ScrollBar* scrollBars_[2] = {nullptr, nullptr};
  Label* indicators_[2] = {nullptr, nullptr};
  bool firstActivation_ = true;
  // A command is running that lets messages through (a preview, a
  // message, a save waiting for thumbnails): closing waits for it.
  bool busy_ = false;
  // Pictures are being read: the wait cursor shows over the window.
  bool waiting_ = false;
  // The pictures the last batch could not read (8-bit paths).
  std::vector<std::string> notRead_;
  // The not-read message is up.
  bool showingNotRead_ = false;
};

}  // namespace velmora
