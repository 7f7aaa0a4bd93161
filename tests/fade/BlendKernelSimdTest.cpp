#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fade/BlendKernel.h"
#include "fade/BlendKernelInternal.h"

namespace velmora {
namespace {

using BlendFunction = void (*)(const std::uint8_t*, const std::uint8_t*, std::uint8_t*,
                               std::size_t, int);

struct Variant {
  const char* name;
  BlendFunction function;
  bool available;
};

std::vector<Variant> SimdVariants() {
  return {{"sse2", &BlendBytesSse2, BlendSse2Available()},
          {"avx2", &BlendBytesAvx2, BlendAvx2Available()},
          {"dispatch", &BlendBytes, true}};
}

// Compares each implementation with the reference for every weight, every
// length up to 100 and every misalignment of the three pointers (each of
// work, to and dst offset by 0 to 3 bytes, and a few wider offsets), with
// guard bytes around the destination that must stay untouched.
TEST(BlendKernelSimdTest, EveryImplementationEqualsTheReferenceBitForBit) {
  constexpr std::size_t kMax = 100, kSlack = 48;
  std::vector<std::uint8_t> work(kMax + kSlack), to(kMax + kSlack);
  std::uint32_t state = 12345;
  auto next = [&] {
    state = state * 1664525u + 1013904223u;
    return std::uint8_t(state >> 24);
  };
  for (auto& b : work) b = next();
  for (auto& b : to) b = next();
  // Extremes where a carry between lanes would show.
  work[5] = 255; to[5] = 0; work[6] = 0; to[6] = 255; work[7] = 255; to[7] = 255;

  const std::size_t offsets[][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {3, 2, 1},
                                    {1, 3, 2}, {2, 2, 2}, {7, 13, 31}, {31, 1, 17}};
  for (const Variant& v : SimdVariants()) {
    if (!v.available) continue;
    for (const auto& off : offsets) {
      for (std::size_t n = 0; n <= kMax; ++n) {
        for (int w = 1; w <= 32; ++w) {
          std::vector<std::uint8_t> expect(kMax + kSlack + 2, 0x5A), got(kMax + kSlack + 2, 0x5A);
          BlendBytesScalar(work.data() + off[0], to.data() + off[1], expect.data() + 1 + off[2], n, w);
          v.function(work.data() + off[0], to.data() + off[1], got.data() + 1 + off[2], n, w);
          ASSERT_EQ(got, expect) << v.name << " n=" << n << " w=" << w << " offsets " << off[0]
                                 << "," << off[1] << "," << off[2];
        }
      }
    }
  }
}

TEST(BlendKernelSimdTest, EveryByteValuePairAtEveryWeight) {
  // All 65536 (work, to) pairs in one long run, so the SIMD bodies see them.
  std::vector<std::uint8_t> work(65536), to(65536);
  for (std::size_t i = 0; i < 65536; ++i) {
    work[i] = std::uint8_t(i >> 8);
    to[i] = std::uint8_t(i);
  }
  for (const Variant& v : SimdVariants()) {
    if (!v.available) continue;
    for (int w = 1; w <= 32; ++w) {
      std::vector<std::uint8_t> got(65536);
      v.function(work.data(), to.data(), got.data(), got.size(), w);
      for (std::size_t i = 0; i < 65536; ++i)
        ASSERT_EQ(got[i], std::uint8_t((work[i] * (32 - w) + to[i] * w) / 32))
            << v.name << " w=" << w << " a=" << int(work[i]) << " t=" << int(to[i]);
    }
  }
}

TEST(BlendKernelSimdTest, WeightsOutsideTheRangeWriteNothingOrCopyTo) {
  std::vector<std::uint8_t> work(70, 200), to(70, 100);
  for (const Variant& v : SimdVariants()) {
    if (!v.available) continue;
    std::vector<std::uint8_t> out(70, 7);
    v.function(work.data(), to.data(), out.data(), out.size(), 0);
    v.function(work.data(), to.data(), out.data(), out.size(), -5);
    EXPECT_EQ(out, std::vector<std::uint8_t>(70, 7)) << v.name;
    v.function(work.data(), to.data(), out.data(), out.size(), 33);
    EXPECT_EQ(out, to) << v.name;
  }
}

TEST(BlendKernelSimdTest, DispatcherHonoursTheScalarSwitch) {
  // The choice is made once per process, so this checks the process as it
  // was started: ctest runs the suite once more with VELMORA_FORCE_SCALAR=1.
  const char* force = std::getenv("VELMORA_FORCE_SCALAR");
  const BlendImplementation active = ActiveBlendImplementation();
  if (force != nullptr && std::strcmp(force, "1") == 0) {
    EXPECT_EQ(active, BlendImplementation::Scalar);
  } else if (BlendAvx2Available()) {
    EXPECT_EQ(active, BlendImplementation::Avx2);
  } else if (BlendSse2Available()) {
    EXPECT_EQ(active, BlendImplementation::Sse2);
  }
  EXPECT_STRNE(BlendImplementationName(active), "");
}

}  // namespace
}  // namespace velmora
