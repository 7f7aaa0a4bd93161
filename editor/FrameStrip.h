// The editor's frame strip without its window: eight slots in two rows of
// four over the show's FrameList, the current slot, the two scroll bars,
// the menu states, reordering by drag and drop and the frame commands.
// TPMain turns its controls' events into calls here and shows what this
// asks of its StripView; tests drive it against a fake view.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "frames/FrameList.h"

namespace velmora {

inline constexpr int SlotCount = 8;
inline constexpr int SlotsPerRow = 4;

// Where a slot's picture comes from.
enum class SlotPictureSource : std::uint8_t {
  None,       // blank: an empty frame, the trailing entry, or no entry
  Colour,     // filled with a colour
  Thumbnail,  // the thumbnail bitmap of a number
  File,       // the picture file itself (no thumbnail could be made)
  Pending,    // blank with the file name: the thumbnail of a number is being made
  Folder,     // a folder frame without a thumbnail (no picture found): blank with the mark
};

// What a slot's picture control and file-name label show.
struct SlotPicture {
  SlotPictureSource source = SlotPictureSource::None;
  std::uint32_t colour = 0;           // Colour: Windows colour form
  std::int32_t thumbnailNumber = 0;   // Thumbnail and Pending
  std::string path;                   // Thumbnail, File, Pending: the picture's path (8-bit)
  std::string fileName;               // the path's file-name part split as bytes; "" when none
                                      // (the window splits the path as characters)
  // A folder frame: the picture is its first picture's thumbnail with the
  // folder mark, the label the folder's name and its picture count
  // (nothing while it is being counted or when the folder cannot be read).
  bool folder = false;
  std::optional<std::int64_t> folderCount;
  bool operator==(const SlotPicture&) const = default;
};

// The effect and speed labels of a slot (UTF-8, as the labels show them).
struct SlotLabels {
  std::string effect;
  std::string speed;
  bool operator==(const SlotLabels&) const = default;
};

// The picture and file name of FrameList entry `index` in a slot. Only frames
// (1 to count-2) show anything; the kind is decided by the pure-colour flag
// first.
SlotPicture SlotPictureOf(const FrameList& list, std::int32_t index);
// The labels of entry `index`: the effect line ("" for effect 0 and codes
// outside 0 to 7), "速度 n" and " & 顆粒 m" when speed and dot size are used.
SlotLabels SlotLabelsOf(const FrameList& list, std::int32_t index);
// The file-name part of a path: after the last "\" or ":". Splits bytes:
// right for UTF-8 and single-byte code pages, not for double-byte ones.
std::string FileNamePart(const std::string& path);

// "p ~ p+7" (all eight slots) or "p ~ p+3" (one row): the range indicator.
std::string ScrollIndicatorText(std::int32_t position, bool bothRows);

// The enabled menu items the strip decides.
enum class StripMenuItem : std::uint8_t {
  NewPicture1,
  RemoveCurrentFrame1,
  EmptyFrame1,
  ALL1,
  Single1,
  Save1,
};
inline constexpr int StripMenuItemCount = 6;

// A scroll bar as the strip wants it.
struct ScrollBarState {
  std::int32_t min = 1;
  std::int32_t max = 4;
  std::int32_t page = 4;
  std::int32_t position = 1;
  std::int32_t width = 245;
  bool visible = true;
  bool operator==(const ScrollBarState&) const = default;
};

// What the strip asks of its window. Slots are 1 to 8, bars 1 and 2.
class StripView {
 public:
  virtual ~StripView() = default;
  // Clears the slot's picture and file-name label and has the cleared
  // picture painted at once (without handling other messages), then shows
  // `picture`.
  virtual void ShowSlotPicture(int slot, const SlotPicture& picture) = 0;
  // The number label; "" clears it.
  virtual void ShowSlotNumber(int slot, const std::string& text) = 0;
  virtual void ShowSlotLabels(int slot, const SlotLabels& labels) = 0;
  // Paints the slot's outer panel as the current one (button shadow) or
  // not (button face).
  virtual void MarkSlot(int slot, bool current) = 0;
  virtual void SetScrollBar(int bar, const ScrollBarState& state) = 0;
  // The range indicator of a scroll bar: text, shown or hidden.
  virtual void SetScrollIndicator(int bar, const std::string& text, bool visible) = 0;
  virtual void SetMenuEnabled(StripMenuItem item, bool enabled) = 0;
  // Reached when the current frame may have changed: the window tells a
  // visible edit window to reload it.
  virtual void CurrentFrameMayHaveChanged() = 0;
  // Reached once the thumbnails of the pictures added (or of a loaded show)
  // are all made, with the paths of those that could not be read (added all
  // the same; they show black): the window names them in one message.
  virtual void PicturesNotRead(const std::vector<std::string>& paths) { (void)paths; }
};

// Makes the thumbnail bitmaps of pictures in the background. Numbers are
// given by the strip; each result comes back through
// FrameStrip::ThumbnailMade, later, on the strip's thread.
class ThumbnailMaker {
 public:
  virtual ~ThumbnailMaker() = default;
  // Queues the thumbnails of the pictures at `paths` (8-bit) under the
  // numbers firstNumber, firstNumber + 1, ... in order.
  virtual void QueueThumbnails(const std::vector<std::string>& paths, std::int32_t firstNumber) = 0;
  // The thumbnails of these numbers (the slots in view, in slot order) are
  // made before the others still waiting.
  virtual void PrioritizeThumbnails(const std::vector<std::int32_t>& numbers) = 0;
  // The thumbnail of this number is no longer wanted (its frame is gone).
  virtual void CancelThumbnail(std::int32_t number) = 0;
  // Queues the thumbnail of a folder frame's first picture under `number`.
  virtual void QueueFolderThumbnail(const std::string& folder, bool includeSubfolders, std::int32_t number) {
    (void)folder, (void)includeSubfolders, (void)number;
  }
  // Counts a folder's pictures in the background; the count comes back
  // through FrameStrip::FolderCounted, later, on the strip's thread.
  virtual void CountFolder(const std::string& folder, bool includeSubfolders) {
    (void)folder, (void)includeSubfolders;
  }
};

// Scroll codes the range indicators care about.
enum class ScrollCode : std::uint8_t { Track, EndScroll, Other };

class FrameStrip {
 public:
  FrameStrip(StripView& view, ThumbnailMaker& thumbnails);

  // ---- the show ----
  // Shows `list` (not owned; it must outlive the strip's use of it or be
  // let go by Detach). Numbers the thumbnails of the pictures of a loaded
  // show and queues them when `makeThumbnails`, selects slot 1, lays out
  // the scroll bars, fills both rows and sets the menus.
  void Load(FrameList& list, bool makeThumbnails);
  // Lets go of the list (the window is closing); results still to come
  // are ignored.
  void Detach() {
    list_ = nullptr;
    pending_.clear();
    folderThumbs_.clear();
    notRead_.clear();
  }
  bool Loaded() const { return list_ != nullptr; }
  const FrameList* List() const { return list_; }

  // ---- state ----
  int SelectedSlot() const { return selectedSlot_; }
  // The shown index of a slot (1 to 8); 0 when it shows nothing.
  std::int32_t ShownIndex(int slot) const { return shown_[slot - 1]; }
  // The FrameList index of the current frame: the current slot's shown
  // index (never below 1 once a show is loaded).
  std::int32_t CurrentFrameIndex() const;
  std::int32_t NextThumbNumber() const { return nextThumbNumber_; }
  // NextThumbNumber, then adds one to it.
  std::int32_t TakeThumbNumber() { return nextThumbNumber_++; }
  bool ShowModified() const { return showModified_; }
  void SetShowModified(bool modified) { showModified_ = modified; }
  bool ScrollBoth() const { return both_; }
  bool RandomEffectTicked() const { return randomEffect_; }
  const ScrollBarState& ScrollBar(int bar) const { return bar == 1 ? bar1_ : bar2_; }
  bool MenuEnabled(StripMenuItem item) const { return menus_[static_cast<int>(item)]; }

  // ---- strip routines ----
  void FillSlot(std::int32_t index, int slot);
  void RefreshRow(int row);
  void SelectSlot(int slot);
  void ReselectSlot();
  void CurrentFrameChanged();
  void UpdateMenus();
  // Lays the scroll bars out for the current mode: ranges and pages from the
  // list's count, positions kept inside them; when scrolling separately the
  // lower bar starts four entries after the upper one (or at 1).
  void LayoutScrollBars();
  // The list changed size elsewhere (the edit window made the trailing
  // entry a frame): the scroll ranges follow it, positions kept inside.
  void ListSizeChanged();
  // The current slot's picture / labels again (the edit window changed the
  // current frame's content / settings); marks the show modified.
  void FramePictureChanged();
  void FrameSettingsChanged();

  // ---- thumbnails made in the background ----
  // The thumbnail of `number` is made (or the picture cannot be read): the
  // frames of that number get their thumbnail flag and the slots showing
  // them are refilled. Once none is pending the pictures that could not be
  // read are named (PicturesNotRead). Unknown numbers are ignored.
  void ThumbnailMade(std::int32_t number, bool made);
  bool ThumbnailPending(std::int32_t number) const { return pending_.count(number) != 0; }
  std::size_t PendingThumbnails() const { return pending_.size(); }
  // The pending thumbnails of pictures, a folder's first picture not
  // counted: a save waits for these only (a folder on a share that does not
  // answer would hold it up).
  std::size_t PendingPictureThumbnails() const;

  // ---- clicks, scrolling, dragging ----
  // A click on a slot's panel or labels, or a press released on its picture.
  void SlotClicked(int slot);
  void ScrollBarChange(int bar, std::int32_t position);
  void ScrollBarScroll(int bar, ScrollCode code, std::int32_t position);
  // "Scroll Simultaneously": flips the tick and lays the strip out again.
  void Both1Click();
  void ImageMouseDown(int x, int y);
  // True when the press has become a drag (the window starts it at once).
  bool ImageMouseMove(int x, int y);
  void ImageMouseUp(int slot);
  bool ImageDragOver(int targetSlot, int sourceSlot) const;
  void ImageDragDrop(int targetSlot, int sourceSlot);

  // ---- frame commands ----
  // Adds one folder frame (an 8-bit path that fits a record) where
  // AddPictureFrames adds a picture: in front of the current frame, which
  // it then is. Its subfolders are included; its first picture's thumbnail
  // is queued and its pictures counted in the background.
  void AddFolderFrame(const std::string& folder);
  // A folder's count is known (nothing: it cannot be read): the slots
  // showing folder frames of it show the count.
  void FolderCounted(const std::string& folder, bool includeSubfolders, std::optional<std::int64_t> count);
  // The count known for a folder, if any.
  std::optional<std::int64_t> FolderCount(const std::string& folder, bool includeSubfolders) const;
  // "Shuffle": the show option in the header record; flipping it marks the
  // show modified.
  bool ShuffleTicked() const;
  void Shuffle1Click();

  // Adds the pictures (8-bit paths that fit a record) in their order in
  // front of the current frame, at once: their thumbnails are queued (the
  // slots in view first) and shown as they come. Returns how many were
  // added.
  int AddPictureFrames(const std::vector<std::string>& paths);
  void AddEmptyFrame();
  void ClearEmptyFrames();
  void RemoveCurrentFrame();
  // Flips "Use Random Effect": frames without an effect get the any effect
  // (ticked) or lose it again (unticked).
  void RandomEffect1Click();
  // The "Current Effect" preview's source and target frames, or nothing when
  // there is no transition to show.
  std::optional<std::pair<std::int32_t, std::int32_t>> SinglePreviewFrames() const;
  // Closing (or ending the session) asks first: unsaved changes and at least
  // one frame.
  bool CloseNeedsQuestion() const;

 private:
  std::int32_t Count() const { return list_ ? static_cast<std::int32_t>(list_->Count()) : 0; }
  // After every change of the list: ranges recomputed and positions kept
  // inside them, both rows refilled, a slot that shows an entry current,
  // the menus and the edit window brought up to date.
  void FinishChange();
  // Ranges and pages from the count; positions clamped into them.
  void UpdateScrollRanges();
  void PublishScrollBars();
  void SetMenu(StripMenuItem item, bool enabled);
  // SlotPictureOf, blank with the name while the thumbnail is being made.
  SlotPicture PictureOf(std::int32_t index) const;
  // Moves the pending thumbnails of the slots in view to the front.
  void PrioritizeShown();
  // Names the pictures not read once nothing is pending.
  void ReportNotRead();
  // Gives a folder frame a new thumbnail number, queues its first
  // picture's thumbnail and asks for its count (once per folder and choice).
  void QueueFolder(FrameRecord& frame);
  // The folder frames' thumbnails for the folder and subfolder choice they
  // were queued with (by number), so that a changed choice makes them again.
  std::map<std::int32_t, std::pair<std::string, bool>> folderThumbs_;

  StripView& view_;
  ThumbnailMaker& thumbnails_;
  FrameList* list_ = nullptr;  // not owned
  std::array<std::int32_t, SlotCount> shown_{};
  int selectedSlot_ = 1;
  std::int32_t nextThumbNumber_ = 1;
  bool showModified_ = false;
  bool both_ = true;
  bool randomEffect_ = false;
  bool mousePressed_ = false;
  int pressX_ = 0;
  int pressY_ = 0;
  ScrollBarState bar1_;
  ScrollBarState bar2_;
  std::array<bool, StripMenuItemCount> menus_{true, true, true, true, true, true};
  // Thumbnail numbers queued and not made yet; true for pictures added,
  // which are named when they cannot be read (those of a loaded show are not).
  std::map<std::int32_t, bool> pending_;
  std::vector<std::string> notRead_;    // pictures found unreadable since the last report
  // Picture counts by folder and subfolder choice; nothing for a folder
  // that cannot be read. A key asked for and not in counts_ is being counted.
  std::map<std::pair<std::string, bool>, std::optional<std::int64_t>> counts_;
  std::set<std::pair<std::string, bool>> countsAsked_;
};

}  // namespace velmora
