// The individual implementations behind BlendBytes, for the tests and the
// benchmarks that compare them with the reference. Not for other callers:
// each may need a processor feature that only the dispatcher checks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velmora {

// True when the build and the processor offer the implementation.
bool BlendSse2Available();
bool BlendAvx2Available();

// 16 bytes a step on 16-bit lanes; the tail goes through the reference.
// Only valid where BlendSse2Available() is true.
void BlendBytesSse2(const std::uint8_t* work, const std::uint8_t* to, std::uint8_t* dst,
                    std::size_t count, int weight);
// 32 bytes a step with a multiply-add of interleaved bytes; the tail goes
// through the reference. Only valid where BlendAvx2Available() is true.
void BlendBytesAvx2(const std::uint8_t* work, const std::uint8_t* to, std::uint8_t* dst,
                    std::size_t count, int weight);

enum class BlendImplementation { Scalar, Sse2, Avx2 };

// The implementation BlendBytes uses in this process (chosen on first use).
BlendImplementation ActiveBlendImplementation();
const char* BlendImplementationName(BlendImplementation implementation);

}  // namespace velmora
