// The player in real time over a show of six 24-megapixel photos (camera-like,
// about 2.6 bits a pixel), still time 1 s, on a 1920 x 1080 component off
// screen: for every transition, how late its first step comes after the
// frame's still time ended. First argument 1 loads and decodes the next
// picture on the worker during the still time; 0 loads it when the step
// starts; 2 does as 1 with captions on (date and folder, drawn on the worker
// with the picture; the text's shaping stood in for as in BM_DrawCaption).
// Second argument 0: the JPEG photos; 1: six 12-megapixel HEIC photos
// (4032 x 3024, a phone's), the same pictures made smaller, each one coded
// picture; 2: the same HEIC photos in tiles of 512 x 512, as a phone writes
// them.
// Target: the 95th percentile at most one step of 1/60 s.
//
// Counters: late_p50_ms, late_p95_ms, late_max_ms, late_p95_steps (in 1/60 s)
// and peak_rss_mb, the process's peak resident memory during the run (Linux:
// the peak is reset before each run), with base_rss_mb before it.
//   build/bench/bench/velmora_bench --benchmark_filter=BM_PlayerLateness
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "OffscreenFade.h"
#include "SyntheticCaption.h"
#include "app/DateTime.h"
#include "app/Startup.h"
#include "fade/HeifGraphic.h"
#include "fade/JpegGraphic.h"
#include "support/HeifSupport.h"
#include "fade/MorfFade.h"
#include "frames/EffectCatalogue.h"
#include "frames/FrameList.h"
#include "frames/ShowOptions.h"
#include "saver/Caption.h"
#include "saver/Player.h"

namespace velmora::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kPhotos = 6;
constexpr int kPhotoWidth = 6000;
constexpr int kPhotoHeight = 4000;
constexpr int kJpeg = 0, kHeif = 1, kHeifGrid = 2;  // the kinds of photo
constexpr int kHeifWidth = 4032;
constexpr int kHeifHeight = 3024;
constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
constexpr int kTransitions = 12;  // twice round the show
constexpr double kStepMs = 1000.0 / 60.0;

// A camera-like photo: shading, soft shapes, texture and sensor noise, each
// photo of the show a little different; as a JPEG of quality 90, or a HEIC.
std::vector<std::uint8_t> MakePhoto(int index, int kind) {
  const bool heif = kind != kJpeg;
  const int width = heif ? kHeifWidth : kPhotoWidth;
  const int height = heif ? kHeifHeight : kPhotoHeight;
  MemoryImage24 image(width, height);
  std::uint32_t seed = 77u + std::uint32_t(index) * 7919u;
  auto noise = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return double((seed >> 8) & 0xFFFF) / 65535.0 - 0.5;
  };
  const double phase = index * 0.9;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = image.Row(y);
    const double cy = std::cos(y * 0.0017 + phase);
    for (int x = 0; x < width; ++x) {
      const double shade = 0.5 + 0.25 * std::sin(x * 0.0011 + 0.7 + phase) * cy;
      const double texture = 0.08 * std::sin(x * 0.09 + y * 0.05 * (1 + index % 3));
      const double blob = (std::hypot(x - 1000.0 - 700 * index, y - 1700.0) < 900) ? 0.15 : 0.0;
      const double grain = noise() * 24 / 255.0;
      for (int c = 0; c < 3; ++c) {
        const double v = (shade + texture + blob * (c == 2 ? 1 : -0.5)) * (0.8 + 0.15 * c) + grain + noise() * 6 / 255.0;
        row[x * 3 + c] = std::uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255));
      }
    }
  }
  if (!heif) return EncodeJpeg(image, 90);
  auto bytes = kind == kHeifGrid ? testing::EncodeHeifGrid(image, 512, 60, true) : testing::EncodeHeif({{&image}}, 0, 60, true);
  if (!bytes) throw std::runtime_error("no HEVC encoder here");
  return *bytes;
}

// The six photos of a kind as files, made once per process.
const std::vector<std::string>& PhotoFiles(int kind, double* bitsPerPixel) {
  static std::vector<std::string> kinds[3];
  static double kindBits[3] = {};
  std::vector<std::string>& paths = kinds[kind];
  double& bits = kindBits[kind];
  const bool heif = kind != kJpeg;
  const int width = heif ? kHeifWidth : kPhotoWidth;
  const int height = heif ? kHeifHeight : kPhotoHeight;
  if (paths.empty()) {
    const fs::path dir = fs::temp_directory_path() / "velmora-player-bench";
    fs::create_directories(dir);
    std::size_t total = 0;
    for (int i = 0; i < kPhotos; ++i) {
      const std::vector<std::uint8_t> bytes = MakePhoto(i, kind);
      total += bytes.size();
      const std::string path =
          (dir / ((kind == kHeifGrid ? "tiled" : "photo") + std::to_string(i) + (heif ? ".heic" : ".jpg"))).string();
      std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
      paths.push_back(path);
    }
    bits = double(total) * 8 / (double(kPhotos) * width * height);
  }
  *bitsPerPixel = bits;
  return paths;
}

// Resident memory figures of this process in MB (Linux), 0 elsewhere.
double StatusMb(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.compare(0, key.size(), key) == 0) return std::stod(line.substr(key.size() + 1)) / 1024.0;
  return 0;
}
void ResetPeakRss() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Runs of the transitions: after each drawn step of a run with ProcessMsgs
// set the component handles messages; the first of them after a still time
// marks when the transition's first step was on screen.
class LatenessHost final : public FadeHost {
 public:
  void ProcessMessages() override {
    if (!armed) return;
    armed = false;
    lateMs.push_back((Now() - deadline) * SecondsPerDay * 1000.0);
  }
  void Sleep(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  std::int64_t NowMicros() override { return clock_.NowMicros(); }

  bool armed = false;
  TDateTime deadline = 0;
  std::vector<double> lateMs;

 private:
  render::RenderHost clock_;
};

class BenchSlot final : public FadeSlot {
 public:
  BenchSlot(ImageFactory& images, FadeHost& host) : fade_(images, surface_, host) {}
  TMorfFade& Fade() override { return fade_; }
  void SendToBack() override {}
  void Hide() override { fade_.SetVisible(false); }

 private:
  render::OffscreenSurface surface_;
  TMorfFade fade_;
};

class BenchPlayerHost final : public PlayerHost {
 public:
  void ShowApplicationWindow(bool) override {}
  void RemovePendingTick() override {}
  void PostExitMessage() override {}
  std::unique_ptr<FadeSlot> CreateFadeSlot() override { return std::make_unique<BenchSlot>(images, fadeHost); }
  void ProcessMessages() override {}
  void LogError(const std::string&) override {}
  void ShowStartError(const std::string&) override {}

  MemoryImageFactory images;
  LatenessHost fadeHost;
};

double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  const std::size_t i = std::min(values.size() - 1, std::size_t(std::ceil(p * double(values.size()))) - 1);
  return values[i];
}

void BM_PlayerLateness(benchmark::State& state) {
  const bool worker = state.range(0) != 0;
  const bool captions = state.range(0) == 2;
  const int kind = int(state.range(1));
  double bits = 0;
  const std::vector<std::string>& photos = PhotoFiles(kind, &bits);
  for (auto _ : state) {
    BenchPlayerHost host;
    TheFrameList = std::make_unique<FrameList>();
    AppendFrameRecord(*TheFrameList).SetPath("Bench");
    if (captions) WriteShowOptions((*TheFrameList)[0], ShowOptions{false, CaptionMode::DateAndFolder});
    for (const std::string& path : photos) {
      FrameRecord& r = AppendFrameRecord(*TheFrameList);
      r.SetPath(path);
      r.Effect = EffectBlend;
      r.Direction = 0;
      r.Speed = 0;
      r.StillTime = 1;
    }
    AppendFrameRecord(*TheFrameList);
    FrameCount = kPhotos;
    // Plays the list given here, as the editor's preview does.
    SlideshowPlayer player(host, SaverMode::Configure);
    player.PictureWorkerEnabled = worker;
    player.Captioner = [](const std::shared_ptr<const Graphic>& picture, const std::string& path, CaptionMode mode,
                          int sequence, const std::vector<PictureWorker::DrawnSize>& sizes,
                          const std::atomic<bool>& cancel) {
      const std::wstring text = CaptionText(mode, std::wstring(path.begin(), path.end()), L"2024年5月3日");
      return CaptionPicture(picture, text, sequence, sizes, &SyntheticCaption, &cancel);
    };
    const double baseMb = StatusMb("VmRSS:");
    ResetPeakRss();

    player.FadeSlots[0] = host.CreateFadeSlot();
    player.CurrentFade()->SetColorTo(kBlack);
    player.CurrentFade()->SetProcessMsgs(true);
    player.CurrentFade()->SetBounds(0, 0, kScreenWidth, kScreenHeight);
    player.StartSlideshow();
    // The saver's idle loop: a step whenever the loop falls idle.
    while (int(host.fadeHost.lateMs.size()) < kTransitions) {
      host.fadeHost.deadline = player.NextStepTime;
      host.fadeHost.armed = true;
      player.SlideshowStep();
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    player.StopSlideshow();
    const double peakMb = StatusMb("VmHWM:");
    TheFrameList.reset();

    const std::vector<double>& late = host.fadeHost.lateMs;
    state.counters["late_p50_ms"] = Percentile(late, 0.50);
    state.counters["late_p95_ms"] = Percentile(late, 0.95);
    state.counters["late_max_ms"] = Percentile(late, 1.0);
    state.counters["late_p95_steps"] = Percentile(late, 0.95) / kStepMs;
    state.counters["peak_rss_mb"] = peakMb;
    state.counters["base_rss_mb"] = baseMb;
  }
  char label[64];
  std::snprintf(label, sizeof label, "%s, %s, %.1f bits/px", kind == kHeifGrid ? "HEIC grid" : kind ? "HEIC" : "JPEG",
                captions ? "worker, captions" : worker ? "worker" : "on the spot",
                bits);
  state.SetLabel(label);
}

// One 12-megapixel HEIC photo of the show (argument 1: one coded picture;
// 2: tiles of 512 x 512 in a grid, as a phone writes it) fitted to a 1080p
// screen (1440 x 1080), as the worker prepares it: the time, and the process's peak memory
// above what it held before, against the decoded picture (4 bytes a pixel)
// plus the fitted one. Target: "of_decoded_plus_fitted" at most 1. Large
// blocks are mapped and unmapped whole, so the resident peak is what the
// decode held at once.
void BM_HeifFit(benchmark::State& state) {
#if defined(__GLIBC__)
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
  double bits = 0;
  const std::string path = PhotoFiles(int(state.range(0)), &bits).front();
  const int fitWidth = kScreenHeight * kHeifWidth / kHeifHeight;
  double peakOverBase = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const auto picture = HeifGraphic::FromFile(path);
    MemoryImage24 fitted(fitWidth, kScreenHeight);
    const double baseMb = StatusMb("VmRSS:");
    ResetPeakRss();
    state.ResumeTiming();
    picture->StretchDraw(fitted, Rect{0, 0, fitWidth, kScreenHeight});
    state.PauseTiming();
    peakOverBase = std::max(peakOverBase, StatusMb("VmHWM:") - baseMb);
    state.ResumeTiming();
  }
  const double decodedMb = double(kHeifWidth) * kHeifHeight * 4 / (1024.0 * 1024.0);
  const double fittedMb = double(fitWidth) * kScreenHeight * 4 / (1024.0 * 1024.0);
  state.counters["peak_over_base_mb"] = peakOverBase;
  state.counters["of_decoded_plus_fitted"] = peakOverBase / (decodedMb + fittedMb);
}

BENCHMARK(BM_HeifFit)->Arg(kHeif)->Arg(kHeifGrid)->Iterations(3)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_PlayerLateness)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({1, 2})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace velmora::bench
