// The blend step against a memcpy of one frame: the step reads two frames
// and writes one, the memcpy reads one and writes one.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "BenchSizes.h"
#include "fade/BlendKernel.h"
#include "fade/BlendKernelInternal.h"

namespace velmora::bench {
namespace {

BENCHMARK(BM_Memcpy)->Apply(FrameSizes);

template <void (*Blend)(const std::uint8_t*, const std::uint8_t*, std::uint8_t*, std::size_t, int)>
void BlendStep(benchmark::State& state) {
  const std::size_t bytes = FrameBytes(int(state.range(0)), int(state.range(1)));
  std::vector<std::uint8_t> work(bytes), to(bytes), dst(bytes, 0);
  for (std::size_t i = 0; i < bytes; ++i) {
    work[i] = std::uint8_t(i * 7);
    to[i] = std::uint8_t(255 - i * 3);
  }
  int w = 1;
  for (auto _ : state) {
    Blend(work.data(), to.data(), dst.data(), bytes, w);
    w = w % 32 + 1;
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes));
}

// What the engine calls: the implementation picked for this processor.
void BM_BlendStep(benchmark::State& state) {
  state.SetLabel(BlendImplementationName(ActiveBlendImplementation()));
  BlendStep<&BlendBytes>(state);
}
BENCHMARK(BM_BlendStep)->Apply(FrameSizes);

void BM_BlendStepScalar(benchmark::State& state) { BlendStep<&BlendBytesScalar>(state); }
BENCHMARK(BM_BlendStepScalar)->Apply(FrameSizes);

void BM_BlendStepSse2(benchmark::State& state) {
  if (!BlendSse2Available()) return state.SkipWithError("no SSE2");
  BlendStep<&BlendBytesSse2>(state);
}
BENCHMARK(BM_BlendStepSse2)->Apply(FrameSizes);

void BM_BlendStepAvx2(benchmark::State& state) {
  if (!BlendAvx2Available()) return state.SkipWithError("no AVX2");
  BlendStep<&BlendBytesAvx2>(state);
}
BENCHMARK(BM_BlendStepAvx2)->Apply(FrameSizes);

}  // namespace
}  // namespace velmora::bench
