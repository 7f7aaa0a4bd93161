// The show on two monitors: one drawing step of two 1920 x 1080 components
// played in lockstep (TMorfFadeGroup), against a memcpy of the two frames.
// BenchMain prints every BM_TwoMonitors benchmark per step as a ratio to
// BM_TwoMonitorsMemcpy of the same size as well.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "BenchSizes.h"
#include "OffscreenFade.h"
#include "app/Random.h"
#include "fade/MorfFade.h"

namespace velmora::bench {
namespace {

template <class Surface>
struct Monitor {
  Monitor(int width, int height, FadeHost& host) : fade(images, surface, host) {
    fade.SetStepInterval(0);
    fade.SetBounds(0, 0, width, height);
    fade.SetColorFrom(0x204060);
    fade.SetColorTo(0xC0A080);
    fade.SetProcessMsgs(true);
  }
  MemoryImageFactory images;
  Surface surface;
  TMorfFade fade;
};

void BM_TwoMonitorsMemcpy(benchmark::State& state) {
  const std::size_t bytes = FrameBytes(int(state.range(0)), int(state.range(1)));
  std::vector<std::uint8_t> a(bytes, 1), b(bytes, 2), c(bytes), d(bytes);
  for (auto _ : state) {
    std::memcpy(c.data(), a.data(), bytes);
    std::memcpy(d.data(), b.data(), bytes);
    benchmark::DoNotOptimize(c.data());
    benchmark::DoNotOptimize(d.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_TwoMonitorsMemcpy)->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

template <class Surface, class Setup, class Play>
void GroupRun(benchmark::State& state, Setup setup, Play play) {
  CountingHost host;
  Monitor<Surface> first(int(state.range(0)), int(state.range(1)), host);
  Monitor<Surface> second(int(state.range(0)), int(state.range(1)), host);
  setup(first.fade);
  setup(second.fade);
  TMorfFadeGroup group({&first.fade, &second.fade});
  std::int64_t steps = 0;
  for (auto _ : state) {
    host.steps = 0;
    play(group);
    steps = host.steps;
  }
  state.counters["steps"] = double(steps);
  state.SetItemsProcessed(std::int64_t(state.iterations()) * steps);
}

// A blend at BlendRate 32 (33 steps) on both monitors.
void BM_TwoMonitorsBlendRun(benchmark::State& state) {
  GroupRun<NullSurface>(
      state,
      [](TMorfFade& fade) {
        fade.SetAction(TAction::xBlend);
        fade.SetDirection(TDirection::None);
        fade.SetBlendRate(32);
      },
      [](TMorfFadeGroup& group) { group.Blend(); });
}
BENCHMARK(BM_TwoMonitorsBlendRun)->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

// A push of 30 steps drawn into off-screen memory surfaces.
void BM_TwoMonitorsSweepPushFromLeft(benchmark::State& state) {
  GroupRun<render::OffscreenSurface>(
      state,
      [](TMorfFade& fade) {
        fade.SetAction(TAction::Push);
        fade.SetDirection(TDirection::FromLeft);
        fade.SetSteps(30);
      },
      [](TMorfFadeGroup& group) { group.Sweep(); });
}
BENCHMARK(BM_TwoMonitorsSweepPushFromLeft)->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

// xDissolve at the middle slider positions (rate 72, dot size 21).
void BM_TwoMonitorsDissolveRun(benchmark::State& state) {
  SetFixedRandomizeSeed(1);
  GroupRun<NullSurface>(
      state,
      [](TMorfFade& fade) {
        fade.SetAction(TAction::xDissolve);
        fade.SetDirection(TDirection::FromLeft);
        fade.SetDisolvRate(72);
        fade.SetDotSize(21);
        fade.SetGeneralRate(30 / 21 + 4);
      },
      [](TMorfFadeGroup& group) { group.Dissolve(); });
  SetFixedRandomizeSeed(std::nullopt);
}
BENCHMARK(BM_TwoMonitorsDissolveRun)->Args({1920, 1080})->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velmora::bench
