// Display scale: the forms' places, sizes, font heights and metrics are
// written for 96 DPI (100 %) and turned into a window's pixels by one rule,
// so that a window at 150 % is its 96-DPI self scaled by 1.5 within a pixel.
#pragma once

namespace velmora {

// The DPI the forms' tables are written for.
inline constexpr int kDesignDpi = 96;

// A 96-DPI length (place, size, metric; negative ones too) in pixels at
// `dpi`: value * dpi / 96 rounded to the nearest integer, halves away from
// zero (as MulDiv rounds). A dpi of 0 or below counts as 96.
int ScaleToDpi(int value, int dpi);

// The inverse, for lengths measured at `dpi` and wanted at 96 DPI (same
// rounding); UnscaleFromDpi(ScaleToDpi(v, dpi), dpi) == v whenever dpi >= 96.
int UnscaleFromDpi(int value, int dpi);

// A length measured at `fromDpi` carried over to `toDpi` (a window moved to
// a monitor of another scale), rounded as ScaleToDpi.
int RescaleDpi(int value, int fromDpi, int toDpi);

// The character height in pixels of a font of `points` points at `dpi`
// (points * dpi / 72, rounded as ScaleToDpi); 8 points at 96 DPI is 11.
int PointsToPixelsAtDpi(int points, int dpi);

// A rectangle given by place and size.
struct DpiRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const DpiRect&, const DpiRect&) = default;
};

// A 96-DPI rectangle at `dpi`: its edges are scaled (not its size), so that
// controls that touch at 96 DPI still touch, and the size follows from them.
DpiRect ScaleToDpi(const DpiRect& rect, int dpi);

}  // namespace velmora
