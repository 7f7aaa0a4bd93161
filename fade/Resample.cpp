#include "fade/Resample.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

RowResampler::RowResampler(int srcWidth, int srcHeight, Image24& target, const Rect& rect,
                           int srcPixelBytes)
    : srcHeight_(srcHeight),
      pixelBytes_(srcPixelBytes == 4 ? 4 : 3),
      target_(target),
      horizontal_(HorizontalAxis(srcWidth, target, rect)),
      vertical_(VerticalAxis(srcHeight, target, rect)) {
  if (horizontal_.Size() == 0 || vertical_.Size() == 0) {
    nextOut_ = vertical_.Size();  // nothing visible: no row is wanted
    return;
  }
  outLeft_ = std::max(rect.left, 0);
  outTop_ = std::max(rect.top, 0);

  // Across: pad every pixel's taps to an even count, moving the window left
  // where it would pass the last column. A source narrower than that keeps
  // the odd count (plain code only).
  const int n = horizontal_.Size();
  taps_ = horizontal_.Taps() + (horizontal_.Taps() & 1);
  if (taps_ > srcWidth) taps_ = horizontal_.Taps();
  first_.resize(std::size_t(n));
  weights_.assign(std::size_t(n) * std::size_t(taps_), 0);
  for (int i = 0; i < n; ++i) {
    int first = horizontal_.First(i);
    int shift = 0;
    if (first + taps_ > srcWidth) {
      shift = first + taps_ - srcWidth;
      first -= shift;
    }
    first_[std::size_t(i)] = first;
    for (int k = 0; k < horizontal_.Count(i); ++k)
      weights_[std::size_t(i) * std::size_t(taps_) + std::size_t(k + shift)] =
          std::int16_t(horizontal_.Weight(i, k));
  }
  columnBegin_ = *std::min_element(first_.begin(), first_.end());
  columnEnd_ = *std::max_element(first_.begin(), first_.end()) + taps_;

  ringRows_ = vertical_.Taps();
  const std::size_t columns = std::size_t(columnEnd_ - columnBegin_);
  ring_.assign(columns * std::size_t(pixelBytes_) * std::size_t(ringRows_), 0);
  sums_.assign(columns * std::size_t(pixelBytes_), 0);
  column_.assign(columns * 4, 0);
#if defined(__SSE2__)
  simd_ = (taps_ & 1) == 0;
#endif
}

void RowResampler::PushRow(const std::uint8_t* row) {
  const int j = rowsIn_++;
  if (!NeedsRows() || j >= srcHeight_ || j < vertical_.First(nextOut_)) return;
  const std::size_t bytes = sums_.size();
  std::memcpy(&ring_[std::size_t(j % ringRows_) * bytes], row + std::size_t(columnBegin_) * std::size_t(pixelBytes_),
              bytes);
  EmitReadyRows();
}

// Rows are combined down first: that pass runs over contiguous bytes and
// vectorises, and leaves the pass across only the target's rows to do, not
// all the source's.
void RowResampler::EmitReadyRows() {
  const int lastIn = rowsIn_ - 1;
  const std::size_t bytes = sums_.size();
  while (nextOut_ < vertical_.Size() &&
         vertical_.First(nextOut_) + vertical_.Count(nextOut_) - 1 <= lastIn) {
    const int first = vertical_.First(nextOut_);
    const int count = vertical_.Count(nextOut_);
    const std::int32_t* w = vertical_.Weights(nextOut_);
    std::uint16_t* column = column_.data();
    std::size_t done = 0;
#if defined(__SSE2__)
    const int weighted = int(count - std::count(w, w + count, 0));
    if (simd_ && pixelBytes_ == 4 && weighted <= 62) {
      // Two rows at a time: their bytes interleaved, one multiply-add gives
      // both rows' share of four values.
      const std::uint8_t* rows[64];
      std::int32_t pairs[32] = {};
      int used = 0;
      for (int k = 0; k < count; ++k) {
        if (w[k] == 0) continue;
        rows[used] = &ring_[std::size_t((first + k) % ringRows_) * bytes];
        pairs[used / 2] = (used & 1) ? (pairs[used / 2] | std::int32_t(w[k] << 16)) : std::int32_t(w[k]);
        ++used;
      }
      if (used & 1) rows[used++] = rows[0];  // its partner weighs 0
      {
        const __m128i zero = _mm_setzero_si128();
        const __m128i round = _mm_set1_epi32(64);
        for (; done + 16 <= bytes; done += 16) {
          __m128i a0 = round, a1 = round, a2 = round, a3 = round;
          for (int k = 0; k < used; k += 2) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + done));
            const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k + 1] + done));
            const __m128i wv = _mm_set1_epi32(pairs[k / 2]);
            const __m128i lo = _mm_unpacklo_epi8(x, y);
            const __m128i hi = _mm_unpackhi_epi8(x, y);
            a0 = _mm_add_epi32(a0, _mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), wv));
            a1 = _mm_add_epi32(a1, _mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), wv));
            a2 = _mm_add_epi32(a2, _mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), wv));
            a3 = _mm_add_epi32(a3, _mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), wv));
          }
          // At most 255 * 16384 + 64 before the shift: fits the signed packs.
          const __m128i v0 = _mm_packs_epi32(_mm_srli_epi32(a0, 7), _mm_srli_epi32(a1, 7));
          const __m128i v1 = _mm_packs_epi32(_mm_srli_epi32(a2, 7), _mm_srli_epi32(a3, 7));
          _mm_storeu_si128(reinterpret_cast<__m128i*>(column + done), v0);
          _mm_storeu_si128(reinterpret_cast<__m128i*>(column + done + 8), v1);
        }
      }
    }
#endif
    if (done < bytes) {
      std::uint32_t* sums = sums_.data();
      std::fill(sums_.begin() + std::ptrdiff_t(done), sums_.end(), 64u);  // rounding of the shift by 7
      for (int k = 0; k < count; ++k) {
        if (w[k] == 0) continue;
        const std::uint32_t wk = std::uint32_t(w[k]);
        const std::uint8_t* row = &ring_[std::size_t((first + k) % ringRows_) * bytes];
        for (std::size_t x = done; x < bytes; ++x) sums[x] += wk * row[x];
      }
      if (pixelBytes_ == 4) {
        for (std::size_t x = done; x < bytes; ++x) column[x] = std::uint16_t(sums[x] >> 7);
      } else {
        for (std::size_t p = 0; p < bytes / 3; ++p) {
          column[p * 4] = std::uint16_t(sums[p * 3] >> 7);
          column[p * 4 + 1] = std::uint16_t(sums[p * 3 + 1] >> 7);
          column[p * 4 + 2] = std::uint16_t(sums[p * 3 + 2] >> 7);
          column[p * 4 + 3] = 0;
        }
      }
    }
    FilterAcross(target_.Row(outTop_ + nextOut_) + std::size_t(outLeft_) * 3);
    ++nextOut_;
  }
}

// Combines the row made by EmitReadyRows across into the target's pixels:
// each channel is sum(weight * value) over the taps, with 14 + 7 fractional
// bits, rounded.
void RowResampler::FilterAcross(std::uint8_t* dst) const {
  const int n = horizontal_.Size();
  const std::uint16_t* column = column_.data() - std::size_t(columnBegin_) * 4;
  const std::int16_t* w = weights_.data();
  int i = 0;
#if defined(__SSE2__)
  if (simd_) {
    const __m128i round = _mm_set1_epi32(1 << 20);
    for (; i < n; ++i, w += taps_, dst += 3) {
      const std::uint16_t* p = column + std::size_t(first_[std::size_t(i)]) * 4;
      __m128i acc = round;
      for (int k = 0; k < taps_; k += 2, p += 8) {
        // Two pixels b0 g0 r0 x0 b1 g1 r1 x1 become b0 b1 g0 g1 r0 r1 x0 x1,
        // so one multiply-add takes both taps of all channels.
        const __m128i two = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i paired = _mm_unpacklo_epi16(two, _mm_srli_si128(two, 8));
        std::int32_t pair;
        std::memcpy(&pair, w + k, sizeof pair);
        acc = _mm_add_epi32(acc, _mm_madd_epi16(paired, _mm_set1_epi32(pair)));
      }
      acc = _mm_srai_epi32(acc, 21);
      const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(acc, acc), acc);
      const std::uint32_t bgrx = std::uint32_t(_mm_cvtsi128_si32(bytes));
      dst[0] = std::uint8_t(bgrx);
      dst[1] = std::uint8_t(bgrx >> 8);
      dst[2] = std::uint8_t(bgrx >> 16);
    }
    return;
  }
#endif
  for (; i < n; ++i, w += taps_, dst += 3) {
    const std::uint16_t* p = column + std::size_t(first_[std::size_t(i)]) * 4;
    std::int32_t b = 1 << 20, g = 1 << 20, r = 1 << 20;
    for (int k = 0; k < taps_; ++k, p += 4) {
      b += std::int32_t(w[k]) * p[0];
      g += std::int32_t(w[k]) * p[1];
      r += std::int32_t(w[k]) * p[2];
    }
    dst[0] = std::uint8_t(b >> 21);
    dst[1] = std::uint8_t(g >> 21);
    dst[2] = std::uint8_t(r >> 21);
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
