// JPEG loading and fitting: a 24-megapixel photo decoded whole, and fitted
// (proportions kept, centred, as the transition component's fit mode draws
// it) to 1920 x 1080 and 3840 x 2160 screens. The target: a fit to 1920 x
// 1080 takes at most half the time of the whole decode; each fit reports
// that ratio (processor time) as the counter "of_whole_decode". BenchMain adds the ratio to a
// memcpy of one frame of the same size (6000 x 4000 for the whole decode).
#include <benchmark/benchmark.h>

#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BenchSizes.h"
#include "fade/JpegGraphic.h"

namespace velmora::bench {
namespace {

constexpr int kPhotoWidth = 6000;
constexpr int kPhotoHeight = 4000;

// Synthetic photos: smooth shading, soft shapes, fine texture and sensor
// noise, compressed at quality 90. Kind 0 has the grain of a camera photo at
// low sensitivity (about 2 bits a pixel); kind 1 much more (about 2.6 bits a
// pixel), which makes the entropy decoding, which no reduction avoids, a
// larger share of the work.
constexpr int kKinds = 2;

std::vector<std::uint8_t> MakePhotoJpeg(int kind) {
  const double luma = kind == 0 ? 16 : 24;
  const double chroma = kind == 0 ? 4 : 6;
  MemoryImage24 image(kPhotoWidth, kPhotoHeight);
  std::uint32_t seed = 2024;
  auto noise = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return double((seed >> 8) & 0xFFFF) / 65535.0 - 0.5;
  };
  for (int y = 0; y < kPhotoHeight; ++y) {
    std::uint8_t* row = image.Row(y);
    for (int x = 0; x < kPhotoWidth; ++x) {
      const double shade = 0.5 + 0.25 * std::sin(x * 0.0011 + 0.7) * std::cos(y * 0.0017);
      const double texture = 0.08 * std::sin(x * 0.09 + std::sin(y * 0.05) * 3) * std::cos(y * 0.07);
      const double blob = (std::hypot(x - 3900.0, y - 1700.0) < 900) ? 0.15 : 0.0;
      const double grain = noise() * luma / 255.0;
      for (int c = 0; c < 3; ++c) {
        const double v = (shade + texture + blob * (c == 2 ? 1 : -0.5)) * (0.8 + 0.15 * c) + grain +
                         noise() * chroma / 255.0;
        row[x * 3 + c] = std::uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255));
      }
    }
  }
  return EncodeJpeg(image, 90);
}

const std::vector<std::uint8_t>& PhotoJpeg(int kind) {
  static std::vector<std::uint8_t> bytes[kKinds];
  if (bytes[kind].empty()) bytes[kind] = MakePhotoJpeg(kind);
  return bytes[kind];
}

std::shared_ptr<const JpegGraphic> Photo(int kind) {
  static std::shared_ptr<const JpegGraphic> graphics[kKinds];
  if (!graphics[kind]) graphics[kind] = JpegGraphic::FromBytes(PhotoJpeg(kind), "photo");
  return graphics[kind];
}

std::string Describe(int kind) {
  const double bits = PhotoJpeg(kind).size() * 8.0 / (double(kPhotoWidth) * kPhotoHeight);
  char text[64];
  std::snprintf(text, sizeof text, "%zu kB, %.1f bits/px", PhotoJpeg(kind).size() / 1000, bits);
  return text;
}

// Processor seconds of this process: the ratios below use them, not wall
// time, so that other work on a busy machine does not move them.
double CpuSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

// Processor seconds of one whole decode, the best of a few, for the fit ratios.
double WholeDecodeSeconds(int kind) {
  static double seconds[kKinds] = {};
  if (seconds[kind] == 0) {
    MemoryImage24 target(kPhotoWidth, kPhotoHeight);
    double best = 1e9;
    for (int i = 0; i < 5; ++i) {
      const double start = CpuSeconds();
      Photo(kind)->Draw(target, 0, 0);
      best = std::min(best, CpuSeconds() - start);
    }
    seconds[kind] = best;
  }
  return seconds[kind];
}


void BM_JpegDecodeWhole(benchmark::State& state) {
  const int kind = int(state.range(2));
  const auto photo = Photo(kind);
  MemoryImage24 target(photo->Width(), photo->Height());
  for (auto _ : state) {
    photo->Draw(target, 0, 0);
    benchmark::DoNotOptimize(target.Bits());
  }
  state.SetLabel(Describe(kind));
  state.counters["megapixels_per_s"] = benchmark::Counter(
      double(state.iterations()) * photo->Width() * photo->Height() / 1e6, benchmark::Counter::kIsRate);
}

// Fit mode, as the transition component draws a picture: proportions kept,
// centred between black bars, into a screen-sized image.
void BM_JpegFit(benchmark::State& state) {
  const int kind = int(state.range(2));
  const auto photo = Photo(kind);
  const int w = int(state.range(0));
  const int h = int(state.range(1));
  const double r = double(photo->Height()) / photo->Width();
  int tw = w, th = h;
  if (double(h) / w > r)
    th = int(w * r);
  else
    tw = int(h / r);
  const Rect rect{(w - tw) / 2, (h - th) / 2, (w - tw) / 2 + tw, (h - th) / 2 + th};
  const double whole = WholeDecodeSeconds(kind);
  MemoryImage24 screen(w, h);
  double total = 0;
  for (auto _ : state) {
    const double start = CpuSeconds();
    photo->DropCache();  // every iteration decodes afresh
    screen.Fill(kBlack);
    photo->StretchDraw(screen, rect);
    benchmark::DoNotOptimize(screen.Bits());
    total += CpuSeconds() - start;
  }
  state.SetLabel(Describe(kind) + ", decoded at " +
                 std::to_string(ChooseJpegScale(photo->Width(), photo->Height(), tw, th)) + "/8");
  state.counters["of_whole_decode"] = total / double(state.iterations()) / whole;
}

// Registered under the memcpy benchmark's name so that BenchMain finds the
// 6000 x 4000 and 750 x 500 frames for the ratios.
const auto* const kMemcpyPhoto = benchmark::RegisterBenchmark("BM_Memcpy", &BM_Memcpy)
                                     ->Args({kPhotoWidth, kPhotoHeight})
                                     ->Args({kPhotoWidth / 8, kPhotoHeight / 8})
                                     ->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_JpegDecodeWhole)
    ->Args({kPhotoWidth, kPhotoHeight, 0})
    ->Args({kPhotoWidth, kPhotoHeight, 1})
    ->Unit(benchmark::kMillisecond);
// 1920 x 1080 and 3840 x 2160 screens; 750 x 500 is the 1/8 decode with
// nothing to resample, the floor set by entropy decoding.
BENCHMARK(BM_JpegFit)
    ->ArgsProduct({{1920}, {1080}, {0, 1}})
    ->ArgsProduct({{3840}, {2160}, {0, 1}})
    ->ArgsProduct({{kPhotoWidth / 8}, {kPhotoHeight / 8}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora::bench
