// The rules of the edit window (TPMain1) that need no window: which
// direction buttons and sliders an effect offers, what the controls show
// for a frame, what a direction click and a slider movement store, and
// what apply writes into the FrameList.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "frames/FrameList.h"

namespace velmora {

inline constexpr int DirectionButtonCount = 12;
inline constexpr int EffectButtonCount = 8;
inline constexpr std::int32_t MinStillTime = 0;
inline constexpr std::int32_t MaxStillTime = 120;
inline constexpr std::int32_t SliderMax = 10;

// The direction codes an effect offers, in table order: what the direction
// buttons show, first button first. Empty for "None", "Any" and any code
// outside 1 to 6.
struct DirectionLayout {
  std::array<std::uint8_t, DirectionButtonCount> codes{};
  int count = 0;
  // The button position showing `direction`, or -1.
  int PositionOf(int direction) const;
};
DirectionLayout LayoutDirections(std::int32_t effect);

// Which sliders are shown for an effect and direction: none for an effect
// outside 1 to 7.
struct SliderVisibility {
  bool speed = false;
  bool dotSize = false;
};
SliderVisibility ShowSliders(std::int32_t effect, int direction);

// What the edit window shows for a frame (LoadCurrentFrame).
struct FrameView {
  bool colourShown = false;
  std::uint32_t colour = 0;
  bool pathShown = false;
  std::string path;
  // A folder frame: the path is its folder's, and the "include
  // subfolders" box shows, ticked as the frame says.
  bool folderShown = false;
  bool includeSubfolders = true;
  // The still-time group and the effect buttons are shown together; the
  // still time and the effect button are set even while they are hidden.
  bool stillShown = false;
  std::int32_t stillTime = 3;
  // Position of the effect button to select (the effect code), or -1 for a
  // code outside 0 to 7.
  int effectButton = -1;
  DirectionLayout directions;
  // Position of the direction button to select, or -1 (selection kept).
  int directionButton = -1;
  SliderVisibility sliders;
  std::int32_t speed = 0;    // slider positions, 0 to 10, for shown sliders
  std::int32_t dotSize = 0;
};
FrameView ViewOfFrame(const FrameRecord& frame);

// A direction button was clicked while the effect button `effect` is
// selected: writes effect, direction and the positions of the shown
// sliders (-1 for a hidden one) into the frame and says which sliders are
// shown. A direction the effect does not offer is replaced by the first one
// it offers (Push from the centre cannot be played).
SliderVisibility StoreDirectionChoice(FrameRecord& frame, std::int32_t effect, int clickedDirection,
                                      std::int32_t speedPosition, std::int32_t dotSizePosition);

// A slider moved to `position`. Returns the new hint ("Speed = 81",
// "DotSize = 21") when the frame changed; nothing when the frame already
// holds that position or its effect is outside 1 to 7 (then nothing is
// stored and nothing is posted).
std::optional<std::string> MoveSpeedSlider(FrameRecord& frame, std::int32_t position);
std::optional<std::string> MoveDotSizeSlider(FrameRecord& frame, std::int32_t position);

// The still time typed in the field: the number when the text is digits
// only, at most 120; otherwise (empty, other characters) `lastValid`.
std::int32_t StillTimeFromText(std::wstring_view text, std::int32_t lastValid);
// A stored still time as the up-down control shows it: within 0 to 120.
std::int32_t ClampStillTime(std::int32_t seconds);

// The message for a picture path that a frame record cannot hold exactly
// (too long, or characters the system code page lacks), naming the path
// (UTF-8).
std::string RefusedPicturePathMessage(std::string_view path);

// The pending choice of the edit window when apply is pressed.
struct ApplyChoice {
  bool pathShown = false;
  // The path as the record takes it: made absolute and fitted by the
  // caller. Empty: the frame becomes an empty frame.
  std::string path;
  bool colourShown = false;
  std::uint32_t colour = 0;
  std::int32_t stillTime = 3;
  // The path is a folder's (the frame shown is a folder frame and no
  // picture was chosen since): the frame stays a folder frame with this
  // subfolder choice, and its thumbnail is made by the strip in the
  // background. Otherwise a folder mark is cleared.
  bool folder = false;
  bool includeSubfolders = true;
};

// What apply did, for the window to post and refresh.
struct ApplyResult {
  bool inserted = false;      // the trailing entry became a new frame: refresh rows, menus
  bool changed = false;       // post FramePictureMessage and FrameSettingsMessage
  bool reloadSelf = false;    // the frame was emptied: reload the edit window
};

// Makes the thumbnail of a path and returns {thumbnail flag, number}.
using ThumbnailMaker = std::function<std::pair<bool, std::int32_t>(const std::string& path)>;

// Apply at FrameList index `current`. Content on the trailing entry inserts a
// new frame before it carrying the trailing entry's effect settings (the
// trailing entry goes back to effect 0, speed and dot size -1). A path
// stores the still time, the path and a thumbnail (a folder: the folder
// mark, and the thumbnail kept when the folder and choice are the same,
// else left to the strip); an empty path empties
// the frame; a colour stores the colour and the still time. Nothing chosen:
// nothing changes.
ApplyResult ApplyFrameChoice(FrameList& list, std::size_t current, const ApplyChoice& choice,
                             const ThumbnailMaker& makeThumbnail);

}  // namespace velmora
