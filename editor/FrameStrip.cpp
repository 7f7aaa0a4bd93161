#include "editor/FrameStrip.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "app/Random.h"
#include "editor/FolderFrames.h"
#include "frames/EffectCatalogue.h"
#include "frames/ShowOptions.h"

namespace velmora {

namespace {

constexpr std::int32_t kEffectAny = 7;
constexpr std::int32_t kEffectNone = 0;
// A press that moves further than this (horizontal plus vertical distance)
// becomes a drag.
constexpr int kDragDistance = 5;

bool IsFrameIndex(const FrameList& list, std::int32_t index) {
  return index >= 1 && index < static_cast<std::int32_t>(list.Count()) - 1;
}

}  // namespace

std::string FileNamePart(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

SlotPicture SlotPictureOf(const FrameList& list, std::int32_t index) {
  SlotPicture picture;
  if (!IsFrameIndex(list, index)) return picture;
  const FrameRecord& frame = list[static_cast<std::size_t>(index)];
  switch (frame.Kind()) {
    case FrameKind::Colour:
      picture.source = SlotPictureSource::Colour;
      picture.colour = frame.Colour;
      break;
    case FrameKind::Picture:
      picture.path = frame.Path();
      if (IsFolderFrame(frame)) {
        // Never the folder itself as a picture: reading it would only fail,
        // and a folder on a share may keep the window waiting.
        picture.folder = true;
        picture.fileName = FolderNamePart(picture.path);
        picture.source = frame.HasThumbnail == 1 ? SlotPictureSource::Thumbnail : SlotPictureSource::Folder;
        if (frame.HasThumbnail == 1) picture.thumbnailNumber = frame.ThumbnailNumber;
        break;
      }
      picture.fileName = FileNamePart(picture.path);
      if (frame.HasThumbnail == 1) {
        picture.source = SlotPictureSource::Thumbnail;
        picture.thumbnailNumber = frame.ThumbnailNumber;
      } else {
        picture.source = SlotPictureSource::File;
      }
      break;
    case FrameKind::Empty:
    case FrameKind::Header:
      break;
  }
  return picture;
}

SlotLabels SlotLabelsOf(const FrameList& list, std::int32_t index) {
  SlotLabels labels;
  if (!IsFrameIndex(list, index)) return labels;
  const FrameRecord& frame = list[static_cast<std::size_t>(index)];
  labels.effect = FrameDescription(frame);
  if (frame.Speed >= 0) {
    labels.speed = "速度 " + std::to_string(frame.Speed);
    if (frame.DotSize >= 0) labels.speed += " & 顆粒 " + std::to_string(frame.DotSize);
  }
  return labels;
}

std::string ScrollIndicatorText(std::int32_t position, bool bothRows) {
  const std::int32_t last = position + (bothRows ? SlotCount : SlotsPerRow) - 1;
  return std::to_string(position) + " ~ " + std::to_string(last);
}

FrameStrip::FrameStrip(StripView& view, ThumbnailMaker& thumbnails) : view_(view), thumbnails_(thumbnails) {}

void FrameStrip::Load(FrameList& list, bool makeThumbnails) {
  list_ = &list;
  if (makeThumbnails) {
    std::vector<std::string> paths;
    for (std::int32_t i = 1; i < Count() - 1; ++i)
      if (list[i].Kind() == FrameKind::Picture && !IsFolderFrame(list[i])) paths.push_back(list[i].Path());
    // The numbers are taken before anything is made: the edit window may
    // take numbers while the thumbnails are being made.
    const std::int32_t first = nextThumbNumber_;
    nextThumbNumber_ += static_cast<std::int32_t>(paths.size());
    std::int32_t number = first;
    for (std::int32_t i = 1; i < Count() - 1; ++i) {
      FrameRecord& frame = list[i];
      if (frame.Kind() != FrameKind::Picture || IsFolderFrame(frame)) continue;
      // Set when the thumbnail is made (ThumbnailMade).
      frame.HasThumbnail = 0;
      frame.ThumbnailNumber = number;
      pending_.emplace(number++, false);
    }
    if (!paths.empty()) thumbnails_.QueueThumbnails(paths, first);
    // The folders behind the pictures: each lists its folder first.
    for (std::int32_t i = 1; i < Count() - 1; ++i)
      if (list[i].Kind() == FrameKind::Picture && IsFolderFrame(list[i])) QueueFolder(list[i]);
  }
  shown_.fill(0);
  for (int slot = 1; slot <= SlotCount; ++slot) view_.MarkSlot(slot, slot == 1);
  selectedSlot_ = 1;
  LayoutScrollBars();
  RefreshRow(1);
  RefreshRow(2);
  mousePressed_ = false;
  UpdateMenus();
}

std::int32_t FrameStrip::CurrentFrameIndex() const {
  return shown_[selectedSlot_ - 1];
}

SlotPicture FrameStrip::PictureOf(std::int32_t index) const {
  SlotPicture picture = SlotPictureOf(*list_, index);
  if (picture.folder) picture.folderCount = FolderCount(picture.path, FolderIncludesSubfolders((*list_)[index]));
  if (picture.source == SlotPictureSource::Thumbnail || picture.source == SlotPictureSource::File ||
      picture.source == SlotPictureSource::Folder) {
    const std::int32_t number = (*list_)[static_cast<std::size_t>(index)].ThumbnailNumber;
    if (pending_.count(number) != 0) {
      // Never the picture itself: reading it here would hold up the strip.
      picture.source = SlotPictureSource::Pending;
      picture.thumbnailNumber = number;
    }
  }
  return picture;
}

void FrameStrip::FillSlot(std::int32_t index, int slot) {
  if (list_ == nullptr) return;
  view_.ShowSlotPicture(slot, PictureOf(index));
  if (index >= 1 && index < Count()) {
    shown_[slot - 1] = index;
    view_.ShowSlotNumber(slot, std::to_string(index));
  } else {
    shown_[slot - 1] = 0;
    view_.ShowSlotNumber(slot, std::string());
  }
  view_.ShowSlotLabels(slot, SlotLabelsOf(*list_, index));
}

void FrameStrip::RefreshRow(int row) {
  if (list_ == nullptr) return;
  const std::int32_t p1 = bar1_.position;
  const std::int32_t p2 = bar2_.position;
  for (int i = 1; i <= SlotsPerRow; ++i) {
    if (row == 1)
      FillSlot(p1 + i - 1, i);
    else if (both_)
      FillSlot(p1 + i + 3, i + SlotsPerRow);
    else
      FillSlot(p2 + i - 1, i + SlotsPerRow);
  }
  PrioritizeShown();
}

void FrameStrip::PrioritizeShown() {
  if (pending_.empty()) return;
  std::vector<std::int32_t> numbers;
  for (const std::int32_t index : shown_) {
    if (!IsFrameIndex(*list_, index)) continue;
    const FrameRecord& frame = (*list_)[static_cast<std::size_t>(index)];
    if (frame.Kind() == FrameKind::Picture && pending_.count(frame.ThumbnailNumber) != 0)
      numbers.push_back(frame.ThumbnailNumber);
  }
  if (!numbers.empty()) thumbnails_.PrioritizeThumbnails(numbers);
}

void FrameStrip::ThumbnailMade(std::int32_t number, bool made) {
  if (list_ == nullptr) return;
  const auto found = pending_.find(number);
  if (found == pending_.end()) return;
  const bool named = found->second;
  pending_.erase(found);
  for (std::int32_t i = 1; i < Count() - 1; ++i) {
    FrameRecord& frame = (*list_)[i];
    if (frame.Kind() != FrameKind::Picture || frame.ThumbnailNumber != number) continue;
    frame.HasThumbnail = made ? 1 : 0;
    if (!made && named) notRead_.push_back(frame.Path());
  }
  for (int slot = 1; slot <= SlotCount; ++slot) {
    const std::int32_t index = shown_[slot - 1];
    if (IsFrameIndex(*list_, index) && (*list_)[static_cast<std::size_t>(index)].ThumbnailNumber == number)
      view_.ShowSlotPicture(slot, PictureOf(index));
  }
  ReportNotRead();
}

std::size_t FrameStrip::PendingPictureThumbnails() const {
  std::size_t count = 0;
  for (const auto& [number, named] : pending_)
    if (folderThumbs_.count(number) == 0) ++count;
  return count;
}

void FrameStrip::ReportNotRead() {
  if (pending_.empty() && !notRead_.empty()) view_.PicturesNotRead(std::exchange(notRead_, {}));
}

void FrameStrip::SelectSlot(int slot) {
  view_.MarkSlot(selectedSlot_, false);
  view_.MarkSlot(slot, true);
  selectedSlot_ = slot;
}

void FrameStrip::ReselectSlot() {
  for (int slot = selectedSlot_; slot >= 1; --slot) {
    if (shown_[slot - 1] > 0) {
      if (slot != selectedSlot_) SelectSlot(slot);
      return;
    }
  }
}

void FrameStrip::CurrentFrameChanged() {
  if (list_ == nullptr) return;
  const bool trailing = CurrentFrameIndex() == Count() - 1;
  // A show of one frame has no transition to preview.
  SetMenu(StripMenuItem::Single1, !trailing && Count() >= 4);
  SetMenu(StripMenuItem::RemoveCurrentFrame1, !trailing);
  view_.CurrentFrameMayHaveChanged();
}

void FrameStrip::UpdateMenus() {
  if (list_ == nullptr) return;
  const std::int32_t count = Count();
  const std::int32_t i = CurrentFrameIndex();
  SetMenu(StripMenuItem::RemoveCurrentFrame1, count > 2 && i < count - 1);
  SetMenu(StripMenuItem::ALL1, count >= 4);
  SetMenu(StripMenuItem::Single1, count >= 4 && i < count - 1);
  SetMenu(StripMenuItem::Save1, count >= 4);
  SetMenu(StripMenuItem::NewPicture1, true);
  SetMenu(StripMenuItem::EmptyFrame1, true);
}

void FrameStrip::SetMenu(StripMenuItem item, bool enabled) {
  menus_[static_cast<int>(item)] = enabled;
  view_.SetMenuEnabled(item, enabled);
}

void FrameStrip::UpdateScrollRanges() {
  const std::int32_t count = std::max<std::int32_t>(Count(), 2);
  bar2_.visible = !both_;
  if (both_) {
    bar1_.width = 493;
    bar1_.max = count + 6;
    bar1_.page = 8;
  } else {
    bar1_.width = 245;
    bar1_.max = count + 2;
    bar1_.page = 4;
  }
  bar2_.max = count + 2;
  bar2_.page = 4;
  // The last position the scroll box reaches shows the trailing entry first.
  bar1_.position = std::clamp(bar1_.position, 1, count - 1);
  bar2_.position = std::clamp(bar2_.position, 1, count - 1);
}

void FrameStrip::PublishScrollBars() {
  view_.SetScrollBar(1, bar1_);
  view_.SetScrollBar(2, bar2_);
}

void FrameStrip::LayoutScrollBars() {
  if (list_ == nullptr) return;
  UpdateScrollRanges();
  if (!both_) bar2_.position = bar1_.position + 4 <= Count() - 1 ? bar1_.position + 4 : 1;
  PublishScrollBars();
}

void FrameStrip::ListSizeChanged() {
  if (list_ == nullptr) return;
  UpdateScrollRanges();
  PublishScrollBars();
}

void FrameStrip::FinishChange() {
  UpdateScrollRanges();
  PublishScrollBars();
  RefreshRow(1);
  RefreshRow(2);
  ReselectSlot();
  CurrentFrameChanged();
  UpdateMenus();
}

void FrameStrip::FramePictureChanged() {
  if (list_ == nullptr) return;
  const std::int32_t index = CurrentFrameIndex();
  if (IsFrameIndex(*list_, index)) {
    FrameRecord& frame = (*list_)[static_cast<std::size_t>(index)];
    if (frame.Kind() == FrameKind::Picture && IsFolderFrame(frame)) {
      // A new folder, or its subfolders included or left out: the first
      // picture and the count may be others.
      const auto made = folderThumbs_.find(frame.ThumbnailNumber);
      const std::pair<std::string, bool> key{frame.Path(), FolderIncludesSubfolders(frame)};
      if (made == folderThumbs_.end() || made->second != key) QueueFolder(frame);
    }
  }
  view_.ShowSlotPicture(selectedSlot_, PictureOf(index));
  showModified_ = true;
}

void FrameStrip::FrameSettingsChanged() {
  if (list_ == nullptr) return;
  view_.ShowSlotLabels(selectedSlot_, SlotLabelsOf(*list_, CurrentFrameIndex()));
  showModified_ = true;
}

void FrameStrip::SlotClicked(int slot) {
  if (list_ == nullptr || slot < 1 || slot > SlotCount) return;
  if (shown_[slot - 1] >= 1 && slot != selectedSlot_) {
    SelectSlot(slot);
    CurrentFrameChanged();
  }
}

void FrameStrip::ScrollBarChange(int bar, std::int32_t position) {
  if (list_ == nullptr) return;
  ScrollBarState& state = bar == 1 ? bar1_ : bar2_;
  state.position = std::clamp(position, state.min, std::max(state.min, state.max - state.page + 1));
  if (state.position != position) view_.SetScrollBar(bar, state);
  if (bar == 1) {
    RefreshRow(1);
    if (both_) RefreshRow(2);
  } else {
    RefreshRow(2);
  }
  ReselectSlot();
  CurrentFrameChanged();
}

void FrameStrip::ScrollBarScroll(int bar, ScrollCode code, std::int32_t position) {
  const bool visible = code == ScrollCode::Track;
  const std::string text = ScrollIndicatorText(position, bar == 1 && both_);
  if (code == ScrollCode::Other) return;
  view_.SetScrollIndicator(bar, text, visible);
}

void FrameStrip::Both1Click() {
  both_ = !both_;
  if (list_ == nullptr) return;
  LayoutScrollBars();
  RefreshRow(2);
  const int before = selectedSlot_;
  ReselectSlot();
  if (selectedSlot_ != before) CurrentFrameChanged();
}

void FrameStrip::ImageMouseDown(int x, int y) {
  mousePressed_ = true;
  pressX_ = x;
  pressY_ = y;
}

bool FrameStrip::ImageMouseMove(int x, int y) {
  if (!mousePressed_ || std::abs(x - pressX_) + std::abs(y - pressY_) <= kDragDistance) return false;
  mousePressed_ = false;
  return true;
}

void FrameStrip::ImageMouseUp(int slot) {
  if (!mousePressed_) return;
  mousePressed_ = false;
  SlotClicked(slot);
}

bool FrameStrip::ImageDragOver(int targetSlot, int sourceSlot) const {
  if (list_ == nullptr || targetSlot < 1 || targetSlot > SlotCount || sourceSlot < 1 || sourceSlot > SlotCount)
    return false;
  return shown_[targetSlot - 1] > 0 && shown_[sourceSlot - 1] > 0;
}

void FrameStrip::ImageDragDrop(int targetSlot, int sourceSlot) {
  if (!ImageDragOver(targetSlot, sourceSlot)) return;
  const std::int32_t target = shown_[targetSlot - 1];
  const std::int32_t source = shown_[sourceSlot - 1];
  if (target == source) return;
  // The record itself moves; an empty frame marks the place it left.
  std::unique_ptr<FrameRecord> moved = list_->Take(static_cast<std::size_t>(source));
  list_->Insert(static_cast<std::size_t>(source), NewFrameRecord());
  list_->Insert(static_cast<std::size_t>(target), std::move(moved));
  showModified_ = true;
  UpdateScrollRanges();
  PublishScrollBars();
  RefreshRow(1);
  RefreshRow(2);
  SelectSlot(targetSlot);
  CurrentFrameChanged();
  UpdateMenus();
}

int FrameStrip::AddPictureFrames(const std::vector<std::string>& paths) {
  if (list_ == nullptr || paths.empty()) return 0;
  std::int32_t at = CurrentFrameIndex();
  // The numbers are taken before anything is made: the edit window may
  // take one while the thumbnails are being made.
  const std::int32_t first = nextThumbNumber_;
  nextThumbNumber_ += static_cast<std::int32_t>(paths.size());
  at = std::min(at, Count() - 1);
  for (std::size_t k = 0; k < paths.size(); ++k) {
    std::unique_ptr<FrameRecord> record = NewFrameRecord();
    if (randomEffect_) record->Effect = kEffectAny;
    record->SetPath(paths[k]);
    // Set when the thumbnail is made (ThumbnailMade).
    record->HasThumbnail = 0;
    record->ThumbnailNumber = first + static_cast<std::int32_t>(k);
    pending_.emplace(record->ThumbnailNumber, true);
    list_->Insert(static_cast<std::size_t>(at) + k, std::move(record));
    showModified_ = true;
  }
  // Queued before the strip is refilled, which moves the slots in view to
  // the front.
  thumbnails_.QueueThumbnails(paths, first);
  FinishChange();
  return static_cast<int>(paths.size());
}

void FrameStrip::QueueFolder(FrameRecord& frame) {
  const std::pair<std::string, bool> key{frame.Path(), FolderIncludesSubfolders(frame)};
  const std::int32_t number = nextThumbNumber_++;
  // Set when the thumbnail is made (ThumbnailMade); a folder without a
  // picture is not named as unreadable.
  frame.HasThumbnail = 0;
  frame.ThumbnailNumber = number;
  pending_.emplace(number, false);
  folderThumbs_[number] = key;
  thumbnails_.QueueFolderThumbnail(key.first, key.second, number);
  if (countsAsked_.insert(key).second) thumbnails_.CountFolder(key.first, key.second);
}

void FrameStrip::AddFolderFrame(const std::string& folder) {
  if (list_ == nullptr || folder.empty()) return;
  const std::int32_t at = std::min(CurrentFrameIndex(), Count() - 1);
  std::unique_ptr<FrameRecord> record = NewFrameRecord();
  if (randomEffect_) record->Effect = kEffectAny;
  record->SetPath(folder);
  SetFolderFrame(*record, true, true);
  QueueFolder(*record);
  list_->Insert(static_cast<std::size_t>(at), std::move(record));
  showModified_ = true;
  FinishChange();
}

void FrameStrip::FolderCounted(const std::string& folder, bool includeSubfolders,
                               std::optional<std::int64_t> count) {
  counts_[{folder, includeSubfolders}] = count;
  if (list_ == nullptr) return;
  for (int slot = 1; slot <= SlotCount; ++slot) {
    const std::int32_t index = shown_[slot - 1];
    if (!IsFrameIndex(*list_, index)) continue;
    const FrameRecord& frame = (*list_)[static_cast<std::size_t>(index)];
    if (frame.Kind() == FrameKind::Picture && IsFolderFrame(frame) && frame.Path() == folder &&
        FolderIncludesSubfolders(frame) == includeSubfolders)
      view_.ShowSlotPicture(slot, PictureOf(index));
  }
}

std::optional<std::int64_t> FrameStrip::FolderCount(const std::string& folder, bool includeSubfolders) const {
  const auto found = counts_.find({folder, includeSubfolders});
  return found == counts_.end() ? std::nullopt : found->second;
}

bool FrameStrip::ShuffleTicked() const {
  return list_ != nullptr && list_->Count() > 0 && ReadShowOptions((*list_)[0]).Shuffle;
}

void FrameStrip::Shuffle1Click() {
  if (list_ == nullptr || list_->Count() == 0) return;
  FrameRecord& header = (*list_)[0];
  ShowOptions options = ReadShowOptions(header);
  options.Shuffle = !options.Shuffle;
  WriteShowOptions(header, options);
  showModified_ = true;
}

void FrameStrip::AddEmptyFrame() {
  if (list_ == nullptr) return;
  std::unique_ptr<FrameRecord> record = NewFrameRecord();
  if (randomEffect_) record->Effect = kEffectAny;
  list_->Insert(static_cast<std::size_t>(CurrentFrameIndex()), std::move(record));
  showModified_ = true;
  FinishChange();
}

void FrameStrip::ClearEmptyFrames() {
  if (list_ == nullptr) return;
  for (std::int32_t i = Count() - 2; i >= 1; --i) {
    if ((*list_)[i].Kind() == FrameKind::Empty) {
      list_->Remove(static_cast<std::size_t>(i));
      showModified_ = true;
    }
  }
  FinishChange();
}

void FrameStrip::RemoveCurrentFrame() {
  if (list_ == nullptr) return;
  const std::int32_t i = CurrentFrameIndex();
  if (i < 1 || i >= Count() - 1) return;
  const FrameRecord& frame = (*list_)[static_cast<std::size_t>(i)];
  // A thumbnail still waiting is not made any more.
  if (frame.Kind() == FrameKind::Picture && pending_.erase(frame.ThumbnailNumber) != 0)
    thumbnails_.CancelThumbnail(frame.ThumbnailNumber);
  list_->Remove(static_cast<std::size_t>(i));
  showModified_ = true;
  FinishChange();
  ReportNotRead();
}

void FrameStrip::RandomEffect1Click() {
  Randomize();
  randomEffect_ = !randomEffect_;
  if (list_ == nullptr) return;
  for (std::int32_t i = 1; i < Count() - 1; ++i) {
    FrameRecord& frame = (*list_)[i];
    if (randomEffect_ && frame.Effect == kEffectNone) {
      frame.Effect = kEffectAny;
      showModified_ = true;
    } else if (!randomEffect_ && frame.Effect == kEffectAny) {
      frame.Effect = kEffectNone;
      showModified_ = true;
    }
  }
  RefreshRow(1);
  RefreshRow(2);
}

std::optional<std::pair<std::int32_t, std::int32_t>> FrameStrip::SinglePreviewFrames() const {
  const std::int32_t count = Count();
  if (count < 4) return std::nullopt;
  const std::int32_t i = CurrentFrameIndex();
  if (i < 1 || i >= count - 1) return std::nullopt;
  return std::make_pair(i, i == count - 2 ? 1 : i + 1);
}

bool FrameStrip::CloseNeedsQuestion() const {
  return showModified_ && Count() > 2;
}

}  // namespace velmora
