// Frame sizes and helpers shared by the benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fade/FadeHost.h"
#include "fade/Graphics.h"

namespace velmora::bench {

// Bytes of one 24-bit frame with rows padded to 4 bytes.
inline std::size_t FrameBytes(int width, int height) {
  return std::size_t(Image24::StrideFor(width)) * std::size_t(height);
}

// Registers the two screen sizes every benchmark runs at; the arguments are
// width and height, so a benchmark's name ends in "/1920/1080" or
// "/3840/2160", which BenchMain matches against the memcpy benchmark.
inline void FrameSizes(benchmark::internal::Benchmark* b) {
  b->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMicrosecond);
}

// The reference every ratio is taken against: one memcpy of a frame of the
// given width and height.
inline void BM_Memcpy(benchmark::State& state) {
  const std::size_t bytes = FrameBytes(int(state.range(0)), int(state.range(1)));
  std::vector<std::uint8_t> src(bytes, 0x40), dst(bytes, 0);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), bytes);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes));
}

// A surface that draws nothing (it only keeps the painted image alive for
// the optimiser), for runs whose cost is the component's own work.
class NullSurface final : public FadeSurface {
 public:
  void BoundsChanged(const Rect&) override {}
  void Invalidate() override {}
  void PaintImage(const Image24& image) override { benchmark::DoNotOptimize(image.Bits()); }
  void StretchCopy(const Image24&, const Rect&) override {}
  void Copy(const Image24&, int, int, int, int, int, int) override {}
};

// A host that counts the steps (one message pump per step) and never waits.
class CountingHost final : public FadeHost {
 public:
  void ProcessMessages() override { ++steps; }
  void Sleep(int) override {}
  std::int64_t NowMicros() override { return 0; }
  std::int64_t steps = 0;
};

}  // namespace velmora::bench
