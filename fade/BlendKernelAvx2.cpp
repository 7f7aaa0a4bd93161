// The AVX2 blend step. Only this function is compiled for AVX2 (a
// function-level target), so the rest of the program runs on any x86-64
// processor; the dispatcher calls it only where the processor has AVX2.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "fade/BlendKernel.h"
#include "fade/BlendKernelInternal.h"

#if defined(__x86_64__) || defined(__i386__)
#define VELMORA_BLEND_AVX2 1
#include <immintrin.h>
#else
#define VELMORA_BLEND_AVX2 0
#endif

namespace velmora {

#if VELMORA_BLEND_AVX2

bool BlendAvx2Available() {
  static const bool available = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return available;
}

// The two operands are interleaved byte by byte (work, to) and multiplied
// with the byte pairs (32 - w, w): each 16-bit lane gets a * (32 - w) + t * w,
// at most 255 * 32 = 8160, so the saturating multiply-add is exact. The
// unpacks and the pack work within 128-bit halves alike, so the bytes come
// back in their order. dst must be 32-byte aligned; 64 bytes a pass.
__attribute__((target("avx2"))) static void BlendAvx2Body(const std::uint8_t* work,
                                                          const std::uint8_t* to,
                                                          std::uint8_t* dst, std::size_t blocks,
                                                          int weight) {
  const __m256i weights = _mm256_set1_epi16(short((weight << 8) | (32 - weight)));
  std::size_t b = 0;
  for (; b + 2 <= blocks; b += 2) {
    const std::size_t i = b * 32;
    const __m256i a0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(work + i));
    const __m256i t0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(to + i));
    const __m256i a1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(work + i + 32));
    const __m256i t1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(to + i + 32));
    const __m256i lo0 = _mm256_srli_epi16(_mm256_maddubs_epi16(_mm256_unpacklo_epi8(a0, t0), weights), 5);
    const __m256i hi0 = _mm256_srli_epi16(_mm256_maddubs_epi16(_mm256_unpackhi_epi8(a0, t0), weights), 5);
    const __m256i lo1 = _mm256_srli_epi16(_mm256_maddubs_epi16(_mm256_unpacklo_epi8(a1, t1), weights), 5);
    const __m256i hi1 = _mm256_srli_epi16(_mm256_maddubs_epi16(_mm256_unpackhi_epi8(a1, t1), weights), 5);
    _mm256_store_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_packus_epi16(lo0, hi0));
    _mm256_store_si256(reinterpret_cast<__m256i*>(dst + i + 32), _mm256_packus_epi16(lo1, hi1));
  }
  if (b < blocks) {
    const std::size_t i = b * 32;
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(work + i));
    const __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(to + i));
    const __m256i lo = _mm256_srli_epi16(_mm256_maddubs_epi16(_mm256_unpacklo_epi8(a, t), weights), 5);
    const __m256i hi = _mm256_srli_epi16(_mm256_maddubs_epi16(_mm256_unpackhi_epi8(a, t), weights), 5);
    _mm256_store_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_packus_epi16(lo, hi));
  }
}

void BlendBytesAvx2(const std::uint8_t* work, const std::uint8_t* to, std::uint8_t* dst,
                    std::size_t count, int weight) {
  if (weight <= 0) return;
  if (weight > 32) weight = 32;
  // The bytes before dst's first 32-byte boundary go through the reference,
  // so that every vector store is aligned and within one cache line.
  const std::size_t offset = std::size_t(reinterpret_cast<std::uintptr_t>(dst) & 31u);
  const std::size_t head = std::min(count, offset == 0 ? std::size_t(0) : 32 - offset);
  BlendBytesScalar(work, to, dst, head, weight);
  const std::size_t blocks = (count - head) / 32;
  BlendAvx2Body(work + head, to + head, dst + head, blocks, weight);
  const std::size_t done = head + blocks * 32;
  BlendBytesScalar(work + done, to + done, dst + done, count - done, weight);
}

#else

bool BlendAvx2Available() { return false; }
void BlendBytesAvx2(const std::uint8_t* work, const std::uint8_t* to, std::uint8_t* dst,
                    std::size_t count, int weight) {
  BlendBytesScalar(work, to, dst, count, weight);
}

#endif

}  // namespace velmora
