// The effect catalogue: the vocabulary of transitions that the editor, the
// previews and the player share. Effect codes and direction codes as a
// FrameRecord stores them, the table of offered directions and slider
// ranges, the names the user sees, and the mapping of a frame's stored
// settings onto the transition component.
//
// All texts are UTF-8 in plain `const char*` strings (the source files are
// UTF-8); the user interface converts them for the Unicode API.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace velmora {

class TMorfFade;
struct FrameRecord;

// Effect codes, the FrameRecord's 32-bit effect field. For 1 to 6 the
// component's TAction value is the code minus 1.
inline constexpr std::int32_t EffectNone = 0;
inline constexpr std::int32_t EffectStretch = 1;
inline constexpr std::int32_t EffectPush = 2;
inline constexpr std::int32_t EffectSlide = 3;
inline constexpr std::int32_t EffectDissolve = 4;
inline constexpr std::int32_t EffectBlend = 5;
inline constexpr std::int32_t EffectDiscover = 6;
inline constexpr std::int32_t EffectAny = 7;
inline constexpr int EffectCodeCount = 8;

// Direction codes, the FrameRecord's direction byte: the component's
// TDirection values.
inline constexpr std::uint8_t DirectionFromLeft = 0;
inline constexpr std::uint8_t DirectionFromRight = 1;
inline constexpr std::uint8_t DirectionFromTop = 2;
inline constexpr std::uint8_t DirectionFromBottom = 3;
inline constexpr std::uint8_t DirectionFromTopLeft = 4;
inline constexpr std::uint8_t DirectionFromBottomRight = 5;
inline constexpr std::uint8_t DirectionFromTopRight = 6;
inline constexpr std::uint8_t DirectionFromBottomLeft = 7;
inline constexpr std::uint8_t DirectionXcenterOut = 8;
inline constexpr std::uint8_t DirectionXcenterIn = 9;
inline constexpr std::uint8_t DirectionYcenterOut = 10;
inline constexpr std::uint8_t DirectionYcenterIn = 11;
inline constexpr std::uint8_t DirectionVertical = 12;
inline constexpr std::uint8_t DirectionHorizontal = 13;
inline constexpr std::uint8_t DirectionZoomIn = 14;
inline constexpr std::uint8_t DirectionZoomOut = 15;
inline constexpr std::uint8_t DirectionNone = 16;
inline constexpr int DirectionCodeCount = 17;

// Action rows of the table (TAction values); row 6 is "Any".
inline constexpr int ActionStretch = 0;
inline constexpr int ActionPush = 1;
inline constexpr int ActionSlide = 2;
inline constexpr int ActionDissolve = 3;
inline constexpr int ActionBlend = 4;
inline constexpr int ActionDiscover = 5;
inline constexpr int ActionAny = 6;
inline constexpr int ActionRowCount = 7;

// Which directions an effect offers, which sliders apply and the component
// values at slider positions 0 (Min) and 10 (Max).
struct EffectTableEntry {
  bool Allowed = false;
  bool DotSizeApplies = false;
  bool SpeedApplies = false;
  std::int32_t DotMin = 0;
  std::int32_t DotMax = 0;
  std::int32_t RateMin = 0;
  std::int32_t RateMax = 0;

  constexpr EffectTableEntry() = default;
  constexpr EffectTableEntry(bool allowed, bool dotSizeApplies, bool speedApplies,
                             std::int32_t dotMin, std::int32_t dotMax, std::int32_t rateMin,
                             std::int32_t rateMax)
      : Allowed(allowed), DotSizeApplies(dotSizeApplies), SpeedApplies(speedApplies),
        DotMin(dotMin), DotMax(dotMax), RateMin(rateMin), RateMax(rateMax) {}

  // The lookup: a copy of the entry of row (effectCode - 1) and the given
  // direction, whatever its Allowed flag (the edit window's slider test
  // reads the stored direction's entry). An effect code outside 1 to 7 or a
  // direction outside 0 to 16 has no entry and gives the all-zero entry:
  // nothing offered, no slider.
  constexpr EffectTableEntry(std::int32_t effectCode, int direction);

  friend constexpr bool operator==(const EffectTableEntry&, const EffectTableEntry&) = default;
};

namespace catalogue_detail {

constexpr EffectTableEntry Entry(bool allowed, bool dot, bool speed, std::int32_t dotMin,
                                 std::int32_t dotMax, std::int32_t rateMin, std::int32_t rateMax) {
  return EffectTableEntry(allowed, dot, speed, dotMin, dotMax, rateMin, rateMax);
}

using Row = EffectTableEntry[DirectionCodeCount];
using Table = EffectTableEntry[ActionRowCount][DirectionCodeCount];

constexpr bool In(int direction, std::initializer_list<int> set) {
  for (int d : set)
    if (d == direction) return true;
  return false;
}

struct TableHolder {
  Table rows{};
};

constexpr TableHolder BuildTable() {
  TableHolder t{};
  for (int d = 0; d < DirectionCodeCount; ++d) {
    // Stretch: every entry has the speed slider (30 to 200 steps); offered
    // from the edges and corners, XcenterOut, YcenterOut and ZoomOut.
    t.rows[ActionStretch][d] =
        Entry(d <= 8 || d == 10 || d == 15, false, true, 0, 0, 30, 200);
    // Push: the four edges, 100 to 300 steps.
    if (d <= 3) t.rows[ActionPush][d] = Entry(true, false, true, 0, 0, 100, 300);
    // Slide: the edges and the corners, 100 to 300 steps.
    if (d <= 7) t.rows[ActionSlide][d] = Entry(true, false, true, 0, 0, 100, 300);
    // Dissolve: rate 16 to 128, dot size 1 to 40 in every entry; the
    // corners keep both sliders without being offered, Vertical and
    // Horizontal have neither.
    {
      const bool offered = In(d, {0, 1, 2, 3, 8, 9, 10, 11, 14, 15, 16});
      const bool corner = d >= 4 && d <= 7;
      t.rows[ActionDissolve][d] = Entry(offered, offered || corner, offered || corner, 1, 40, 16, 128);
    }
    // Blend: only None, rate 16 to 64.
    if (d == DirectionNone) t.rows[ActionBlend][d] = Entry(true, false, true, 0, 0, 16, 64);
    // Discover: speed slider (16 to 128) on entries 0 to 15, entry 16 empty.
    if (d <= 15)
      t.rows[ActionDiscover][d] =
          Entry(In(d, {0, 1, 2, 3, 8, 9, 10, 11, 14, 15}), false, true, 0, 0, 16, 128);
    // Any: nothing.
  }
  return t;
}

inline constexpr TableHolder kTable = BuildTable();

}  // namespace catalogue_detail

// The table, 7 rows (TAction values 0 to 6) by 17 directions.
inline constexpr const catalogue_detail::Table& EffectTable = catalogue_detail::kTable.rows;

constexpr EffectTableEntry::EffectTableEntry(std::int32_t effectCode, int direction) {
  if (effectCode < 1 || effectCode > ActionRowCount || direction < 0 ||
      direction >= DirectionCodeCount)
    return;
  *this = catalogue_detail::kTable.rows[effectCode - 1][direction];
}

// Shown names (UTF-8), by effect code (8) and by direction code (17).
extern const char* const EffectNames[EffectCodeCount];
extern const char* const DirectionNames[DirectionCodeCount];
// The English design captions of the edit window's effect buttons.
extern const char* const EffectCaptions[EffectCodeCount];
// The component's enumeration value names, as spelled in code: TAction
// (Stretch, Push, Slide, xDissolve, xBlend, Discover, Any) and TDirection
// (FromLeft ... ZoomOut, None). Tools parse and print these.
extern const char* const ActionValueNames[ActionRowCount];
extern const char* const DirectionValueNames[DirectionCodeCount];

// Number of directions row `action` offers (0 for a row outside 0 to 6).
int OfferedDirectionCount(int action);
// The first direction row `action` offers, or DirectionNone when it offers
// none (row 6, or a row outside the table).
std::uint8_t FirstOfferedDirection(int action);

// The direction a frame of `effectCode` with the stored direction plays:
// the stored one when the effect offers it, otherwise the effect's first
// offered direction. Frames from files the editor did not write can hold a
// direction above 16, or one whose table entry has no range (Push with
// XcenterOut has 0 steps), which no run can draw.
std::uint8_t PlayedDirection(std::int32_t effectCode, int direction);

// The component value for a slider position: position * (max - min) as a
// 32-bit integer, divided by 10 and rounded to the nearest integer with
// ties to the even one, plus min. Exact for every 32-bit input (the
// division and rounding are done in integers; 32-bit arithmetic wraps as
// it does in the stored format's original arithmetic).
std::int32_t ScaleSetting(std::int32_t position, std::int32_t min, std::int32_t max);

// A slider position as played: -1 (slider not used) and any other value
// outside 0 to 10 become the nearest of 0 and 10.
std::int32_t PlayedPosition(std::int32_t position);

// A uniformly chosen offered direction of row `action` (0 to 5), one draw
// of the process generator: r = Random(count), then the r-th offered
// direction from 0 upwards. A row that offers none (6, or a value outside
// the table) draws nothing and gives DirectionNone.
std::uint8_t RandomDirection(int action);

// Sets the component up for the change that starts at `frame` and runs it
// (Sweep, Dissolve or Blend); returns whether a transition ran. The caller
// has loaded both frames' pictures or colours and set ProcessMsgs.
// Effect 0, and any code outside 0 to 7, runs nothing and returns false.
// Effect 7 draws, in this order: the action (Random(6)), the direction
// (RandomDirection), the speed position (Random(10)), the dot-size position
// (Random(10)).
bool ApplyFrameEffect(const FrameRecord& frame, TMorfFade& component);
// The same for one component per monitor, run in lockstep (TMorfFadeGroup):
// effect 7 draws its values once, and every component gets the same action,
// direction, speed and dot size. One component plays exactly as above.
bool ApplyFrameEffect(const FrameRecord& frame, const std::vector<TMorfFade*>& components);

// The effect line of the main window (UTF-8): empty for effect 0 (and for a
// code outside 0 to 7, which plays as none), "任意" for 7, otherwise the
// effect's name, " - " and the name of the direction the frame plays.
std::string FrameDescription(const FrameRecord& frame);

}  // namespace velmora
