// Scaling of 24-bit BGR pictures into a rectangle of a target image.
//
// Separable: the source rows a target row needs are first combined down,
// then that row is filtered across. Reduction uses area averaging (every source pixel counts
// in proportion to how much of it a target pixel covers), enlargement
// bilinear interpolation between pixel centres. Weights are precomputed
// 14-bit fixed-point integers; equal sizes reproduce the source exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fade/Graphics.h"

namespace velmora {

// The weights one target axis takes from one source axis: target pixel i
// (counted from the clipped start) reads source pixels First(i) ..
// First(i) + Count(i) - 1 with Weight(i, k), the weights summing to kOne.
class ResampleAxis {
 public:
  static constexpr int kShift = 14;
  static constexpr int kOne = 1 << kShift;

  // srcSize source pixels onto dstSize target pixels, of which only
  // [clipBegin, clipEnd) are wanted.
  ResampleAxis(int srcSize, int dstSize, int clipBegin, int clipEnd);

  int Size() const { return int(first_.size()); }
  int First(int i) const { return first_[std::size_t(i)]; }
  int Count(int i) const { return count_[std::size_t(i)]; }
  int Weight(int i, int k) const { return weights_[std::size_t(i) * std::size_t(taps_) + std::size_t(k)]; }
  const std::int32_t* Weights(int i) const { return &weights_[std::size_t(i) * std::size_t(taps_)]; }
  // The number of weights every target pixel has (some may be zero).
  int Taps() const { return taps_; }

 private:
  std::vector<int> first_;
  std::vector<int> count_;
  std::vector<std::int32_t> weights_;
  int taps_ = 1;
};

// Scales a srcWidth x srcHeight picture, fed one row at a time from the top,
// into rect of target (rect may reach outside target; only the visible part
// is computed and written). Rows the visible part does not need are skipped,
// so a producer can stop once NeedsRows() turns false. Source pixels are 3
// bytes (blue, green, red) or 4 (blue, green, red, unused).
//
// The source rows a target row needs are first combined down (contiguous
// bytes, which the compiler vectorises), giving one row of 16-bit values with
// 7 fractional bits, four a pixel; that row is then filtered across, two taps
// a step with SSE2 where the processor has it, else by the same arithmetic
// in plain code (both give the same bytes).
class RowResampler {
 public:
  RowResampler(int srcWidth, int srcHeight, Image24& target, const Rect& rect, int srcPixelBytes = 3);

  // True while a row still to come can change the target.
  bool NeedsRows() const { return nextOut_ < vertical_.Size(); }
  // The next source row: srcWidth pixels of srcPixelBytes bytes.
  void PushRow(const std::uint8_t* row);
  int RowsPushed() const { return rowsIn_; }

  // Forces the plain code path even where SSE2 is there (tests compare both).
  void UsePlainCode() { simd_ = false; }

 private:
  void EmitReadyRows();
  void FilterAcross(std::uint8_t* dst) const;

  int srcHeight_;
  int pixelBytes_;
  Image24& target_;
  int outLeft_ = 0;  // target column of the first visible pixel
  int outTop_ = 0;   // target row of the first visible pixel
  ResampleAxis horizontal_;
  ResampleAxis vertical_;
  int rowsIn_ = 0;
  int nextOut_ = 0;
  // Across: an even number of taps a pixel (zero weights fill up), as
  // 16-bit weights, and the first source column of each.
  int taps_ = 2;
  std::vector<int> first_;
  std::vector<std::int16_t> weights_;
  int columnBegin_ = 0;  // the source columns read: [columnBegin_, columnEnd_)
  int columnEnd_ = 0;
  int ringRows_ = 1;
  std::vector<std::uint8_t> ring_;     // the last source rows, those columns only
  std::vector<std::uint32_t> sums_;
  std::vector<std::uint16_t> column_;  // one row combined down: 4 values a pixel
  bool simd_ = false;
};

// Scales src (rows of the given stride) into rect of target.
void ResampleBgr(const std::uint8_t* bits, int width, int height, std::size_t stride, Image24& target,
                 const Rect& rect);
// Scales the whole of src into rect of target.
void Resample(const Image24& src, Image24& target, const Rect& rect);

}  // namespace velmora
