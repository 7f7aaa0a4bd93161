#include "fade/BlendKernel.h"

#include <cstdlib>
#include <cstring>

#include "fade/BlendKernelInternal.h"

#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64)
#define VELMORA_BLEND_X86 1
#include <emmintrin.h>
#else
#define VELMORA_BLEND_X86 0
#endif

namespace velmora {

// Every implementation takes the weight the same way: nothing is written
// for a weight of 0 or below, and a weight above 32 counts as 32 (a copy of
// `to`), so that no lane can overflow whatever a caller passes.
static inline int ClampWeight(int weight) { return weight > 32 ? 32 : weight; }

void BlendBytesScalar(const std::uint8_t* work, const std::uint8_t* to, std::uint8_t* dst,
                      std::size_t count, int weight) {
  if (weight <= 0) return;
  const std::uint32_t w = std::uint32_t(ClampWeight(weight));
  const std::uint32_t rest = 32 - w;
  std::size_t i = 0;
  // Four bytes at a time: bytes 0 and 2 in one lane pair, 1 and 3 in the
  // other; 255 * 32 stays below 2^13, so no lane spills into its neighbour.
  for (; i + 4 <= count; i += 4) {
    std::uint32_t a, t;
    std::memcpy(&a, work + i, 4);
    std::memcpy(&t, to + i, 4);
    const std::uint32_t lo = (((a & 0x00FF00FFu) * rest + (t & 0x00FF00FFu) * w) >> 5) & 0x00FF00FFu;
    const std::uint32_t hi = (((a & 0xFF00FF00u) >> 5) * rest + ((t & 0xFF00FF00u) >> 5) * w) & 0xFF00FF00u;
    const std::uint32_t r = lo | hi;
    std::memcpy(dst + i, &r, 4);
  }
  for (; i < count; ++i) dst[i] = std::uint8_t((work[i] * rest + to[i] * w) >> 5);
}

#if VELMORA_BLEND_X86

bool BlendSse2Available() { return true; }  // part of every x86-64 processor

// a * (32 - w) + t * w is computed as a * 32 + (t - a) * w on 16-bit lanes:
// (t - a) * w lies in -8160 .. 8160 and the sum in 0 .. 8160, so the low 16
// bits of the signed product are exact and the sum never goes negative;
// shifting right by 5 is then the division by 32 of the byte formula.
void BlendBytesSse2(const std::uint8_t* work, const std::uint8_t* to, std::uint8_t* dst,
                    std::size_t count, int weight) {
  if (weight <= 0) return;
  weight = ClampWeight(weight);
  const __m128i zero = _mm_setzero_si128();
  const __m128i w = _mm_set1_epi16(short(weight));
  std::size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(work + i));
    const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(to + i));
    const __m128i aLo = _mm_unpacklo_epi8(a, zero);
    const __m128i aHi = _mm_unpackhi_epi8(a, zero);
    const __m128i tLo = _mm_unpacklo_epi8(t, zero);
    const __m128i tHi = _mm_unpackhi_epi8(t, zero);
    const __m128i lo = _mm_srli_epi16(
        _mm_add_epi16(_mm_slli_epi16(aLo, 5), _mm_mullo_epi16(_mm_sub_epi16(tLo, aLo), w)), 5);
    const __m128i hi = _mm_srli_epi16(
        _mm_add_epi16(_mm_slli_epi16(aHi, 5), _mm_mullo_epi16(_mm_sub_epi16(tHi, aHi), w)), 5);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(lo, hi));
  }
  BlendBytesScalar(work + i, to + i, dst + i, count - i, weight);
}

#else

bool BlendSse2Available() { return false; }
void BlendBytesSse2(const std::uint8_t* work, const std::uint8_t* to, std::uint8_t* dst,
                    std::size_t count, int weight) {
  BlendBytesScalar(work, to, dst, count, weight);
}

#endif

namespace {

using BlendFunction = void (*)(const std::uint8_t*, const std::uint8_t*, std::uint8_t*,
                               std::size_t, int);

BlendImplementation ChooseImplementation() {
  const char* force = std::getenv("VELMORA_FORCE_SCALAR");
  if (force != nullptr && std::strcmp(force, "1") == 0) return BlendImplementation::Scalar;
  if (BlendAvx2Available()) return BlendImplementation::Avx2;
  if (BlendSse2Available()) return BlendImplementation::Sse2;
  return BlendImplementation::Scalar;
}

BlendFunction FunctionFor(BlendImplementation implementation) {
  switch (implementation) {
    case BlendImplementation::Avx2: return &BlendBytesAvx2;
    case BlendImplementation::Sse2: return &BlendBytesSse2;
    case BlendImplementation::Scalar: break;
  }
  return &BlendBytesScalar;
}

// Decided once per process: the environment and the processor do not change.
BlendImplementation Active() {
  static const BlendImplementation chosen = ChooseImplementation();
  return chosen;
}

}  // namespace

BlendImplementation ActiveBlendImplementation() { return Active(); }

const char* BlendImplementationName(BlendImplementation implementation) {
  switch (implementation) {
    case BlendImplementation::Avx2: return "avx2";
    case BlendImplementation::Sse2: return "sse2";
    case BlendImplementation::Scalar: break;
  }
  return "scalar";
}

void BlendBytes(const std::uint8_t* work, const std::uint8_t* to, std::uint8_t* dst,
                std::size_t count, int weight) {
  static const BlendFunction function = FunctionFor(Active());
  function(work, to, dst, count, weight);
}

}  // namespace velmora
