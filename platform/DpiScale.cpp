#include "platform/DpiScale.h"

#include <cstdint>

namespace velmora {

namespace {

int EffectiveDpi(int dpi) { return dpi > 0 ? dpi : kDesignDpi; }

// value * numerator / denominator, rounded to nearest, halves away from zero.
int MulDivRound(int value, int numerator, int denominator) {
  const std::int64_t product = static_cast<std::int64_t>(value) * numerator;
  const std::int64_t half = denominator / 2;
  const std::int64_t result = product >= 0 ? (product + half) / denominator : -((-product + half) / denominator);
  return static_cast<int>(result);
}

}  // namespace

int ScaleToDpi(int value, int dpi) { return MulDivRound(value, EffectiveDpi(dpi), kDesignDpi); }

int UnscaleFromDpi(int value, int dpi) { return MulDivRound(value, kDesignDpi, EffectiveDpi(dpi)); }

int RescaleDpi(int value, int fromDpi, int toDpi) {
  return MulDivRound(value, EffectiveDpi(toDpi), EffectiveDpi(fromDpi));
}

int PointsToPixelsAtDpi(int points, int dpi) { return MulDivRound(points, EffectiveDpi(dpi), 72); }

DpiRect ScaleToDpi(const DpiRect& rect, int dpi) {
  const int left = ScaleToDpi(rect.x, dpi);
  const int top = ScaleToDpi(rect.y, dpi);
  const int right = ScaleToDpi(rect.x + rect.width, dpi);
  const int bottom = ScaleToDpi(rect.y + rect.height, dpi);
  return {left, top, right - left, bottom - top};
}

}  // namespace velmora
