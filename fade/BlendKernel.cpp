#include "fade/BlendKernel.h"

#include <cstring>

namespace velmora {

void BlendBytesScalar(const std::uint8_t* work, const std::uint8_t* to, std::uint8_t* dst,
                      std::size_t count, int weight) {
  if (weight <= 0) return;
  const std::uint32_t w = std::uint32_t(weight);
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

void BlendBytes(const std::uint8_t* work, const std::uint8_t* to, std::uint8_t* dst,
                std::size_t count, int weight) {
  BlendBytesScalar(work, to, dst, count, weight);
}

}  // namespace velmora
