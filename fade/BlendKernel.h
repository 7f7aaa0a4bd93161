// The blend step: dst[b] = (work[b] * (32 - w) + to[b] * w) div 32 for every
// byte b of an image's memory (padding bytes too), w from 1 to 32.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velmora {

// Picks the widest implementation the processor offers (once), unless the
// environment variable VELMORA_FORCE_SCALAR is set to 1.
void BlendBytes(const std::uint8_t* work, const std::uint8_t* to, std::uint8_t* dst,
                std::size_t count, int weight);

// The reference implementation, 32-bit words two lanes at a time; every
// other implementation must equal it bit for bit.
void BlendBytesScalar(const std::uint8_t* work, const std::uint8_t* to, std::uint8_t* dst,
                      std::size_t count, int weight);

}  // namespace velmora
