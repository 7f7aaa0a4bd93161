#include "editor/EditFrame.h"

#include <algorithm>

#include "frames/EffectCatalogue.h"
#include "frames/ShowOptions.h"

namespace velmora {

int DirectionLayout::PositionOf(int direction) const {
  for (int i = 0; i < count; ++i)
    if (codes[static_cast<std::size_t>(i)] == direction) return i;
  return -1;
}

DirectionLayout LayoutDirections(std::int32_t effect) {
  DirectionLayout layout;
  if (effect < EffectStretch || effect > EffectAny) return layout;
  for (int d = 0; d < DirectionCodeCount && layout.count < DirectionButtonCount; ++d) {
    if (EffectTableEntry(effect, d).Allowed)
      layout.codes[static_cast<std::size_t>(layout.count++)] = static_cast<std::uint8_t>(d);
  }
  return layout;
}

SliderVisibility ShowSliders(std::int32_t effect, int direction) {
  const EffectTableEntry entry(effect, direction);  // all zero outside 1 to 7
  return {entry.SpeedApplies, entry.DotSizeApplies};
}

std::int32_t ClampStillTime(std::int32_t seconds) {
  return std::clamp(seconds, MinStillTime, MaxStillTime);
}

namespace {

std::int32_t SliderPosition(std::int32_t stored) { return std::clamp(stored, 0, SliderMax); }

}  // namespace

FrameView ViewOfFrame(const FrameRecord& frame) {
  FrameView view;
  view.colourShown = frame.PureColour != 0;
  view.colour = frame.Colour;
  view.pathShown = frame.HasPath();
  view.path = frame.Path();
  view.folderShown = view.pathShown && !view.colourShown && IsFolderFrame(frame);
  view.includeSubfolders = FolderIncludesSubfolders(frame);
  view.stillShown = view.colourShown || view.pathShown;
  view.stillTime = ClampStillTime(frame.StillTime);
  view.effectButton = frame.Effect >= 0 && frame.Effect < EffectButtonCount ? frame.Effect : -1;
  if (frame.Effect != EffectNone) {
    view.directions = LayoutDirections(frame.Effect);
    view.directionButton = view.directions.PositionOf(frame.Direction);
  }
  view.sliders = ShowSliders(frame.Effect, frame.Direction);
  view.speed = SliderPosition(frame.Speed);
  view.dotSize = SliderPosition(frame.DotSize);
  return view;
}

SliderVisibility StoreDirectionChoice(FrameRecord& frame, std::int32_t effect, int clickedDirection,
                                      std::int32_t speedPosition, std::int32_t dotSizePosition) {
  std::uint8_t direction = static_cast<std::uint8_t>(clickedDirection & 0xFF);
  const DirectionLayout offered = LayoutDirections(effect);
  if (offered.count > 0 && offered.PositionOf(direction) < 0) direction = offered.codes[0];
  const SliderVisibility sliders = ShowSliders(effect, direction);
  frame.Effect = effect;
  frame.Direction = direction;
  frame.Speed = sliders.speed ? speedPosition : -1;
  frame.DotSize = sliders.dotSize ? dotSizePosition : -1;
  return sliders;
}

namespace {

std::optional<std::string> MoveSlider(std::int32_t& stored, const FrameRecord& frame,
                                      std::int32_t position, bool speed) {
  if (frame.Effect < EffectStretch || frame.Effect > EffectAny) return std::nullopt;
  if (position == stored) return std::nullopt;
  stored = position;
  const EffectTableEntry entry(frame.Effect, frame.Direction);
  const std::int32_t value = speed ? ScaleSetting(position, entry.RateMin, entry.RateMax)
                                   : ScaleSetting(position, entry.DotMin, entry.DotMax);
  return (speed ? std::string("Speed = ") : std::string("DotSize = ")) + std::to_string(value);
}

}  // namespace

std::optional<std::string> MoveSpeedSlider(FrameRecord& frame, std::int32_t position) {
  return MoveSlider(frame.Speed, frame, position, true);
}

std::optional<std::string> MoveDotSizeSlider(FrameRecord& frame, std::int32_t position) {
  return MoveSlider(frame.DotSize, frame, position, false);
}

std::int32_t StillTimeFromText(std::wstring_view text, std::int32_t lastValid) {
  if (text.empty() || text.size() > 9) {
    // Nine digits fit a 32-bit value; longer digit runs are above 120 anyway.
    if (!text.empty() && std::all_of(text.begin(), text.end(),
                                     [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
      return MaxStillTime;
    return ClampStillTime(lastValid);
  }
  std::int32_t value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return ClampStillTime(lastValid);
    value = value * 10 + (c - L'0');
  }
  return ClampStillTime(value);
}

std::string RefusedPicturePathMessage(std::string_view path) {
  std::string text =
      "這個圖片的路徑太長, 或含有系統字碼頁沒有的字元, 無法存入圖框:\r\n"
      "This picture's path is too long for a frame, or holds characters the system's code page "
      "lacks:\r\n\r\n";
  text += path;
  return text;
}

ApplyResult ApplyFrameChoice(FrameList& list, std::size_t current, const ApplyChoice& choice,
                             const ThumbnailMaker& makeThumbnail) {
  ApplyResult result;
  if (current == 0 || current >= list.Count()) return result;
  const bool hasContent = (choice.pathShown && !choice.path.empty()) || choice.colourShown;
  if (hasContent && current == list.Count() - 1) {
    FrameRecord& trailing = list[current];
    auto record = NewFrameRecord();
    record->Effect = trailing.Effect;
    record->Direction = trailing.Direction;
    record->Speed = trailing.Speed;
    record->DotSize = trailing.DotSize;
    trailing.Effect = EffectNone;
    trailing.Speed = -1;
    trailing.DotSize = -1;
    list.Insert(current, std::move(record));
    result.inserted = true;
  }
  FrameRecord& frame = list[current];
  if (choice.pathShown) {
    frame.PureColour = 0;
    if (!choice.path.empty()) {
      frame.StillTime = ClampStillTime(choice.stillTime);
      if (choice.folder) {
        const bool same = IsFolderFrame(frame) && frame.Path() == choice.path &&
                          FolderIncludesSubfolders(frame) == choice.includeSubfolders;
        frame.SetPath(choice.path);
        SetFolderFrame(frame, true, choice.includeSubfolders);
        if (!same) frame.HasThumbnail = 0;
      } else {
        SetFolderFrame(frame, false);
        frame.SetPath(choice.path);
        const auto [made, number] = makeThumbnail(frame.Path());
        frame.HasThumbnail = made ? 1 : 0;
        frame.ThumbnailNumber = number;
      }
    } else {
      SetFolderFrame(frame, false);
      frame.SetPath("");
      frame.Effect = EffectNone;
      frame.StillTime = DefaultStillTime;
      frame.Speed = -1;
      frame.DotSize = -1;
      frame.HasThumbnail = 0;
      result.reloadSelf = true;
    }
    result.changed = true;
  } else if (choice.colourShown) {
    SetFolderFrame(frame, false);
    frame.SetPath("");
    frame.PureColour = 1;
    frame.Colour = choice.colour;
    frame.StillTime = ClampStillTime(choice.stillTime);
    result.changed = true;
  }
  return result;
}

}  // namespace velmora
