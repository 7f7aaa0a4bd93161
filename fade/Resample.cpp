#include "fade/Resample.h"

#include <algorithm>
#include <cstring>

namespace velmora {
namespace {

struct Clip {
  int begin = 0;  // first visible pixel, counted from the rectangle's edge
  int end = 0;    // one past the last
};

// The part of [start, start + size) that lies within [0, limit).
Clip ClipSpan(int start, int size, int limit) {
  if (size <= 0) return {};
  const long long lo = std::max<long long>(start, 0);
  const long long hi = std::min<long long>(static_cast<long long>(start) + size, limit);
  if (lo >= hi) return {};
  return {int(lo - start), int(hi - start)};
}

}  // namespace

ResampleAxis::ResampleAxis(int srcSize, int dstSize, int clipBegin, int clipEnd) {
  if (srcSize <= 0 || dstSize <= 0 || clipBegin >= clipEnd) {
    taps_ = 1;
    return;
  }
  const int n = clipEnd - clipBegin;
  if (srcSize > dstSize)
    taps_ = (srcSize + dstSize - 1) / dstSize + 1;
  else if (srcSize < dstSize)
    taps_ = 2;
  else
    taps_ = 1;
  taps_ = std::min(taps_, srcSize);
  first_.resize(std::size_t(n));
  count_.resize(std::size_t(n));
  weights_.assign(std::size_t(n) * std::size_t(taps_), 0);

  const long long src = srcSize;
  const long long dst = dstSize;
  for (int i = 0; i < n; ++i) {
    const long long d = clipBegin + i;
    std::int32_t* w = &weights_[std::size_t(i) * std::size_t(taps_)];
    if (srcSize == dstSize) {
      first_[std::size_t(i)] = int(d);
      count_[std::size_t(i)] = 1;
      w[0] = kOne;
    } else if (srcSize > dstSize) {
      // Target pixel d covers source span [d*src, (d+1)*src) in units of
      // 1/dst of a source pixel; source pixel j covers [j*dst, (j+1)*dst).
      const long long lo = d * src;
      const long long hi = lo + src;
      const long long j0 = lo / dst;
      const long long j1 = (hi - 1) / dst;
      first_[std::size_t(i)] = int(j0);
      count_[std::size_t(i)] = int(j1 - j0 + 1);
      // Rounding the running total keeps every weight non-negative and makes
      // them sum to exactly kOne, so brightness never shifts.
      long long covered = 0;
      int given = 0;
      for (long long j = j0; j <= j1; ++j) {
        covered += std::min(hi, (j + 1) * dst) - std::max(lo, j * dst);
        const int upTo = int((covered * kOne + src / 2) / src);
        w[j - j0] = upTo - given;
        given = upTo;
      }
    } else {
      // Bilinear between the centres: the centre of target pixel d lies at
      // ((2d+1)*src - dst) / (2*dst) in source pixel coordinates.
      const long long num = (2 * d + 1) * src - dst;
      const long long den = 2 * dst;
      long long j = 0;
      long long frac = 0;
      if (num > 0) {
        j = num / den;
        frac = ((num % den) * kOne) / den;
      }
      if (j >= src - 1) {
        j = src - 1;
        frac = 0;
      }
      first_[std::size_t(i)] = int(j);
      if (frac == 0) {
        count_[std::size_t(i)] = 1;
        w[0] = kOne;
      } else {
        count_[std::size_t(i)] = 2;
        w[0] = kOne - int(frac);
        w[1] = int(frac);
      }
    }
    // Every entry gets exactly Taps() weights (the extra ones zero), moved
    // left where it would reach past the last source pixel, so the filter
    // loops run a fixed count.
    const int count = count_[std::size_t(i)];
    if (count < taps_) {
      int first = first_[std::size_t(i)];
      const int shift = std::max(0, first + taps_ - srcSize);
      if (shift > 0) {
        for (int k = count - 1; k >= 0; --k) w[k + shift] = w[k];
        for (int k = 0; k < shift; ++k) w[k] = 0;
        first -= shift;
      }
      first_[std::size_t(i)] = first;
      count_[std::size_t(i)] = taps_;
    }
  }
}

namespace {

ResampleAxis HorizontalAxis(int srcWidth, const Image24& target, const Rect& rect) {
  const Clip c = ClipSpan(rect.left, rect.Width(), target.Width());
  return ResampleAxis(srcWidth, rect.Width(), c.begin, c.end);
}

ResampleAxis VerticalAxis(int srcHeight, const Image24& target, const Rect& rect) {
  const Clip c = ClipSpan(rect.top, rect.Height(), target.Height());
  return ResampleAxis(srcHeight, rect.Height(), c.begin, c.end);
}

}  // namespace

RowResampler::RowResampler(int srcWidth, int srcHeight, Image24& target, const Rect& rect)
    : srcHeight_(srcHeight),
      target_(target),
      horizontal_(HorizontalAxis(srcWidth, target, rect)),
      vertical_(VerticalAxis(srcHeight, target, rect)) {
  if (horizontal_.Size() == 0 || vertical_.Size() == 0) {
    nextOut_ = vertical_.Size();  // nothing visible: no row is wanted
    return;
  }
  outLeft_ = std::max(rect.left, 0);
  outTop_ = std::max(rect.top, 0);
  ringRows_ = vertical_.Taps();
  const std::size_t rowValues = std::size_t(horizontal_.Size()) * 3;
  ring_.assign(rowValues * std::size_t(ringRows_), 0);
  sums_.assign(rowValues, 0);
}

void RowResampler::PushRow(const std::uint8_t* bgr) {
  const int j = rowsIn_++;
  if (!NeedsRows() || j >= srcHeight_ || j < vertical_.First(nextOut_)) return;

  // Filter across into the ring slot of row j.
  std::uint16_t* out = &ring_[std::size_t(j % ringRows_) * std::size_t(horizontal_.Size()) * 3];
  switch (horizontal_.Taps()) {
    case 1: FilterRow<1>(bgr, out); break;
    case 2: FilterRow<2>(bgr, out); break;
    case 3: FilterRow<3>(bgr, out); break;
    case 4: FilterRow<4>(bgr, out); break;
    default: FilterRow<0>(bgr, out); break;
  }
  EmitReadyRows();
}

template <int kTaps>
void RowResampler::FilterRow(const std::uint8_t* bgr, std::uint16_t* out) const {
  const int n = horizontal_.Size();
  const int taps = kTaps ? kTaps : horizontal_.Taps();
  for (int i = 0; i < n; ++i) {
    const std::uint8_t* p = bgr + std::size_t(horizontal_.First(i)) * 3;
    const std::int32_t* w = horizontal_.Weights(i);
    std::uint32_t b = 32, g = 32, r = 32;  // rounding of the shift below
    for (int k = 0; k < taps; ++k, p += 3) {
      const std::uint32_t wk = std::uint32_t(w[k]);
      b += wk * p[0];
      g += wk * p[1];
      r += wk * p[2];
    }
    out[0] = std::uint16_t(b >> 6);
    out[1] = std::uint16_t(g >> 6);
    out[2] = std::uint16_t(r >> 6);
    out += 3;
  }
}

void RowResampler::EmitReadyRows() {
  const int lastIn = rowsIn_ - 1;
  const std::size_t values = std::size_t(horizontal_.Size()) * 3;
  while (nextOut_ < vertical_.Size() &&
         vertical_.First(nextOut_) + vertical_.Count(nextOut_) - 1 <= lastIn) {
    const int first = vertical_.First(nextOut_);
    const int count = vertical_.Count(nextOut_);
    const std::int32_t* w = vertical_.Weights(nextOut_);
    std::uint8_t* dst = target_.Row(outTop_ + nextOut_) + std::size_t(outLeft_) * 3;
    if (count == 1) {
      const std::uint16_t* row = &ring_[std::size_t(first % ringRows_) * values];
      for (std::size_t x = 0; x < values; ++x) dst[x] = std::uint8_t((row[x] + 128u) >> 8);
    } else {
      std::uint32_t* sums = sums_.data();
      std::fill(sums_.begin(), sums_.end(), (1u << 21));  // rounding of the final shift
      for (int k = 0; k < count; ++k) {
        const std::uint16_t* row = &ring_[std::size_t((first + k) % ringRows_) * values];
        const std::uint32_t wk = std::uint32_t(w[k]);
        if (wk == 0) continue;
        for (std::size_t x = 0; x < values; ++x) sums[x] += wk * row[x];
      }
      for (std::size_t x = 0; x < values; ++x) dst[x] = std::uint8_t(sums[x] >> 22);
    }
    ++nextOut_;
  }
}

void ResampleBgr(const std::uint8_t* bits, int width, int height, std::size_t stride, Image24& target,
                 const Rect& rect) {
  if (width <= 0 || height <= 0) return;
  if (rect.Width() == width && rect.Height() == height) {
    // Same size: a clipped copy.
    const Clip cx = ClipSpan(rect.left, width, target.Width());
    const Clip cy = ClipSpan(rect.top, height, target.Height());
    if (cx.begin >= cx.end || cy.begin >= cy.end) return;
    const std::size_t bytes = std::size_t(cx.end - cx.begin) * 3;
    for (int y = cy.begin; y < cy.end; ++y)
      std::memmove(target.Row(rect.top + y) + std::size_t(rect.left + cx.begin) * 3,
                   bits + std::size_t(y) * stride + std::size_t(cx.begin) * 3, bytes);
    return;
  }
  RowResampler resampler(width, height, target, rect);
  for (int y = 0; y < height && resampler.NeedsRows(); ++y) resampler.PushRow(bits + std::size_t(y) * stride);
}

void Resample(const Image24& src, Image24& target, const Rect& rect) {
  ResampleBgr(src.Bits(), src.Width(), src.Height(), std::size_t(src.Stride()), target, rect);
}

}  // namespace velmora
