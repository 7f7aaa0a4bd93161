#include "frames/EffectCatalogue.h"

#include <algorithm>

#include "app/Random.h"
#include "fade/FadeTypes.h"
#include "fade/MorfFade.h"
#include "frames/FrameRecord.h"

namespace velmora {

static_assert(int(TAction::Any) == ActionAny && int(TAction::Discover) == ActionDiscover);
static_assert(int(TDirection::None) == DirectionNone && int(TDirection::ZoomOut) == DirectionZoomOut);

const char* const EffectNames[EffectCodeCount] = {
    "無", "展開", "推移", "平移", "溶解", "融入", "剝現", "任意",
};

const char* const DirectionNames[DirectionCodeCount] = {
    "由左而右",     "由右而左",     "由上而下",     "由下而上",     "由左上而右下", "由右下而左上",
    "由右上而左下", "由左下而右上", "由中央而左右", "由左右而中央", "由中央而上下", "由上下而中央",
    "縱向",         "橫向",         "由四周而中央", "由中央而四周", "無",
};

const char* const EffectCaptions[EffectCodeCount] = {
    "None", "Stretch", "Push", "Slide", "Dissolve", "Blend", "Discover", "Any",
};

const char* const ActionValueNames[ActionRowCount] = {
    "Stretch", "Push", "Slide", "xDissolve", "xBlend", "Discover", "Any",
};

const char* const DirectionValueNames[DirectionCodeCount] = {
    "FromLeft",   "FromRight",  "FromTop",       "FromBottom", "FromTopLeft", "FromBottomRight",
    "FromTopRight", "FromBottomLeft", "XcenterOut", "XcenterIn", "YcenterOut", "YcenterIn",
    "Vertical",   "Horizontal", "ZoomIn",        "ZoomOut",    "None",
};

int OfferedDirectionCount(int action) {
  if (action < 0 || action >= ActionRowCount) return 0;
  int count = 0;
  for (const EffectTableEntry& entry : EffectTable[action])
    if (entry.Allowed) ++count;
  return count;
}

std::uint8_t FirstOfferedDirection(int action) {
  if (action >= 0 && action < ActionRowCount)
    for (int d = 0; d < DirectionCodeCount; ++d)
      if (EffectTable[action][d].Allowed) return std::uint8_t(d);
  return DirectionNone;
}

std::uint8_t PlayedDirection(std::int32_t effectCode, int direction) {
  if (EffectTableEntry(effectCode, direction).Allowed) return std::uint8_t(direction);
  return FirstOfferedDirection(effectCode - 1);
}

std::int32_t ScaleSetting(std::int32_t position, std::int32_t min, std::int32_t max) {
  // The product and the difference wrap as 32-bit integers do; forming them
  // in 64 bits first keeps the wrap defined.
  const std::int32_t product = std::int32_t(
      std::uint32_t(std::int64_t(position) * (std::int64_t(max) - std::int64_t(min))));
  // product / 10 rounded to nearest, ties to even. In integers this is
  // exact; it equals the floating-point quotient rounded under the default
  // rounding mode, since a 32-bit product divided by 10 is either a tie
  // (exactly representable) or at least 0.1 away from one.
  std::int64_t quotient = product / 10;
  std::int64_t remainder = product % 10;
  if (remainder < 0) {  // floor division
    quotient -= 1;
    remainder += 10;
  }
  if (remainder > 5 || (remainder == 5 && (quotient & 1) != 0)) quotient += 1;
  return std::int32_t(std::uint32_t(std::int64_t(min) + quotient));
}

std::int32_t PlayedPosition(std::int32_t position) { return std::clamp(position, 0, 10); }

std::uint8_t RandomDirection(int action) {
  const int count = OfferedDirectionCount(action);
  if (count == 0) return DirectionNone;
  int r = Random(count);
  for (int d = 0; d < DirectionCodeCount; ++d) {
    if (!EffectTable[action][d].Allowed) continue;
    if (r == 0) return std::uint8_t(d);
    --r;
  }
  return DirectionNone;  // not reached: r < count
}

namespace {

// The values a transition plays with, drawn once per transition.
struct PlayedEffect {
  int action = 0;
  int direction = 0;
  std::int32_t speed = 0;
  std::int32_t dotSize = 0;
};

// False for effect 0 and any code outside 0 to 7.
bool DrawPlayedEffect(const FrameRecord& frame, PlayedEffect& played) {
  const std::int32_t effect = frame.Effect;
  // A code outside 0 to 7 comes only from a file the editor did not write;
  // it plays as "None": the next frame is shown at once.
  if (effect <= EffectNone || effect > EffectAny) return false;
  if (effect == EffectAny) {
    played.action = Random(6);
    played.direction = RandomDirection(played.action);
    played.speed = Random(10);
    played.dotSize = Random(10);
  } else {
    played.action = effect - 1;
    // A direction the effect does not offer (one above 16 included) plays
    // as the effect's first offered direction: its table entry may have no
    // range (Push with XcenterOut would give 0 steps) and some runs define
    // no order for it.
    played.direction = PlayedDirection(effect, frame.Direction);
    // -1 (slider not used) or a damaged value becomes the nearest of 0 and
    // 10, so the scaled value stays within the entry's range.
    played.speed = PlayedPosition(frame.Speed);
    played.dotSize = PlayedPosition(frame.DotSize);
  }
  return true;
}

// Gives the component the played values; false for an action no run plays.
bool SetUpComponent(const PlayedEffect& played, TMorfFade& component) {
  const int action = played.action;
  const std::int32_t speed = played.speed;
  component.SetAction(TAction(action));
  component.SetDirection(TDirection(played.direction));
  const EffectTableEntry& entry = EffectTable[action][played.direction];
  switch (action) {
    case ActionStretch:
    case ActionPush:
    case ActionSlide:
      component.SetSteps(ScaleSetting(speed, entry.RateMin, entry.RateMax));
      return true;
    case ActionDissolve: {
      component.SetDisolvRate(ScaleSetting(speed, entry.RateMin, entry.RateMax));
      // The range 1 to 40 never gives less than 1; the guard keeps the
      // division below safe whatever the table says.
      const std::int32_t size = std::max(1, ScaleSetting(played.dotSize, entry.DotMin, entry.DotMax));
      component.SetDotSize(size);
      component.SetGeneralRate(30 / size + 4);
      return true;
    }
    case ActionBlend:
      component.SetBlendRate(ScaleSetting(speed, entry.RateMin, entry.RateMax));
      return true;
    case ActionDiscover:
      component.SetDisolvRate(ScaleSetting(speed, entry.RateMin, entry.RateMax));
      component.SetDotSize(1);
      return true;
    default:
      return false;  // not reached: Random(6) and codes 1 to 6 give 0 to 5
  }
}

// Runs the played action on a single component or a group.
template <typename Runner>
void RunAction(int action, Runner& runner) {
  switch (action) {
    case ActionStretch:
    case ActionPush:
    case ActionSlide:
      runner.Sweep();
      break;
    case ActionDissolve:
    case ActionDiscover:
      runner.Dissolve();
      break;
    case ActionBlend:
      runner.Blend();
      break;
    default:
      break;
  }
}

}  // namespace

bool ApplyFrameEffect(const FrameRecord& frame, TMorfFade& component) {
  PlayedEffect played;
  if (!DrawPlayedEffect(frame, played)) return false;
  if (!SetUpComponent(played, component)) return false;
  RunAction(played.action, component);
  return true;
}

bool ApplyFrameEffect(const FrameRecord& frame, const std::vector<TMorfFade*>& components) {
  if (components.empty()) return false;
  if (components.size() == 1) return ApplyFrameEffect(frame, *components.front());
  PlayedEffect played;
  if (!DrawPlayedEffect(frame, played)) return false;
  for (TMorfFade* component : components)
    if (!SetUpComponent(played, *component)) return false;
  TMorfFadeGroup group(components);
  RunAction(played.action, group);
  return true;
}

std::string FrameDescription(const FrameRecord& frame) {
  const std::int32_t effect = frame.Effect;
  if (effect <= EffectNone || effect > EffectAny) return {};
  if (effect == EffectAny) return EffectNames[EffectAny];
  std::string text = EffectNames[effect];
  text += " - ";
  text += DirectionNames[PlayedDirection(effect, frame.Direction)];
  return text;
}

}  // namespace velmora
