// Whole runs of the transition component, unpaced: a dissolve (order
// building and pixel copying, with a surface that draws nothing), a blend
// (a surface that draws nothing) and the three sweeps (with the off-screen
// memory surface of velmora-render, since a sweep step is the copy to the
// surface). Each reports a "steps" counter; BenchMain prints the ratio per
// step to a memcpy of one frame.
#include <benchmark/benchmark.h>

#include "BenchSizes.h"
#include "OffscreenFade.h"
#include "app/Random.h"
#include "fade/DotOrder.h"
#include "fade/MorfFade.h"

namespace velmora::bench {
namespace {

// A component of the frame size going from one colour to another.
template <class Surface>
struct Rig {
  Rig(int width, int height) {
    fade.SetStepInterval(0);
    fade.SetBounds(0, 0, width, height);
    fade.SetColorFrom(0x204060);
    fade.SetColorTo(0xC0A080);
    fade.SetProcessMsgs(true);
  }
  MemoryImageFactory images;
  Surface surface;
  CountingHost host;
  TMorfFade fade{images, surface, host};
};

void Report(benchmark::State& state, std::int64_t stepsPerRun) {
  state.counters["steps"] = double(stepsPerRun);
  state.SetItemsProcessed(std::int64_t(state.iterations()) * stepsPerRun);
}

// xDissolve FromLeft at the middle slider positions (rate 72, dot size 21,
// GeneralRate 5), and Discover (dot size 1: the per-pixel order) at rate 72.
void DissolveRun(benchmark::State& state, TAction action, int dotSize) {
  SetFixedRandomizeSeed(1);
  Rig<NullSurface> rig(int(state.range(0)), int(state.range(1)));
  rig.fade.SetAction(action);
  rig.fade.SetDirection(TDirection::FromLeft);
  rig.fade.SetDisolvRate(72);
  rig.fade.SetDotSize(dotSize);
  rig.fade.SetGeneralRate(30 / dotSize + 4);
  std::int64_t steps = 0;
  for (auto _ : state) {
    rig.host.steps = 0;
    rig.fade.Dissolve();
    steps = rig.host.steps + 1;  // and the last repaint
  }
  Report(state, steps);
  SetFixedRandomizeSeed(std::nullopt);
}

void BM_DissolveRun(benchmark::State& state) { DissolveRun(state, TAction::xDissolve, 21); }
BENCHMARK(BM_DissolveRun)->Apply(FrameSizes);

void BM_DiscoverRun(benchmark::State& state) { DissolveRun(state, TAction::Discover, 1); }
BENCHMARK(BM_DiscoverRun)->Apply(FrameSizes);

// The order alone: a shuffled block order (dot size 21) and a dot-size-1
// shuffled order, built and released.
void BM_DissolveOrderBuild(benchmark::State& state) {
  SetFixedRandomizeSeed(1);
  const int dot = int(state.range(2));
  DotOrder order;
  for (auto _ : state) {
    order.Build(int(state.range(0)), int(state.range(1)), dot, TDirection::FromLeft,
                TAction::xDissolve, 30 / dot + 4);
    benchmark::DoNotOptimize(order.UnitCount());
    order.Release();
  }
  SetFixedRandomizeSeed(std::nullopt);
}
BENCHMARK(BM_DissolveOrderBuild)
    ->Args({1920, 1080, 21})->Args({3840, 2160, 21})->Args({1920, 1080, 1})->Args({3840, 2160, 1})
    ->Unit(benchmark::kMicrosecond);

// A whole blend at BlendRate 32 (33 steps, the first without blending).
void BM_BlendRun(benchmark::State& state) {
  Rig<NullSurface> rig(int(state.range(0)), int(state.range(1)));
  rig.fade.SetAction(TAction::xBlend);
  rig.fade.SetDirection(TDirection::None);
  rig.fade.SetBlendRate(32);
  for (auto _ : state) {
    rig.host.steps = 0;
    rig.fade.Blend();
  }
  Report(state, rig.host.steps);
}
BENCHMARK(BM_BlendRun)->Apply(FrameSizes);

// Sweeps of 30 steps drawn into the off-screen memory surface.
void SweepRun(benchmark::State& state, TAction action, TDirection direction) {
  Rig<render::OffscreenSurface> rig(int(state.range(0)), int(state.range(1)));
  rig.fade.SetAction(action);
  rig.fade.SetDirection(direction);
  rig.fade.SetSteps(30);
  for (auto _ : state) {
    rig.host.steps = 0;
    rig.fade.Sweep();
    benchmark::DoNotOptimize(rig.surface.Screen().Bits());
  }
  Report(state, rig.host.steps);
}

void BM_SweepStretchZoomOut(benchmark::State& state) { SweepRun(state, TAction::Stretch, TDirection::ZoomOut); }
BENCHMARK(BM_SweepStretchZoomOut)->Apply(FrameSizes);
void BM_SweepPushFromLeft(benchmark::State& state) { SweepRun(state, TAction::Push, TDirection::FromLeft); }
BENCHMARK(BM_SweepPushFromLeft)->Apply(FrameSizes);
void BM_SweepSlideFromTopLeft(benchmark::State& state) { SweepRun(state, TAction::Slide, TDirection::FromTopLeft); }
BENCHMARK(BM_SweepSlideFromTopLeft)->Apply(FrameSizes);

}  // namespace
}  // namespace velmora::bench
