// Thumbnails of camera photos: a 24-megapixel JPEG (6000 x 4000, about 2.5
// bits a pixel) made into its 111 x 74 strip thumbnail, with and without the
// 160 x 120 small picture a camera embeds (letterboxed, as a 3:2 camera
// writes it), against one whole decode of the same file. Each thumbnail
// reports that ratio (processor time) as "of_whole_decode". Targets: at most
// 0.05 with the embedded picture, at most 0.7 without.
//
// BM_ThumbnailBatch adds 100 such photos (without embedded pictures) as the
// editor does, with one thread and with one per processor: "seconds" in all
// (wall time), "cpu_seconds" of all threads, and for the second "speedup"
// over the first.
//
// BM_UsableStrip adds N photos to the background queue (N = 8 and 400) and
// moves the eight in view to the front (the last eight, as after a scroll to
// the end: with N = 8 they are all of them); "seconds" until those eight are
// made, best of the iterations, and for N = 400 "of_8", its ratio to N = 8.
// Target: at most 1.5. BM_QueueBatch makes 100 photos through the queue on
// every processor: "per_photo_of_one" is the wall time per photo over the
// wall time of one thumbnail made alone (a 1/8 decode and a resample).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "editor/ThumbnailQueue.h"
#include "editor/Thumbnails.h"
#include "fade/JpegGraphic.h"
#include "fade/PictureLoader.h"
#include "fade/Resample.h"
#include "support/ExifJpeg.h"

namespace velmora::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int kBatch = 100;

double CpuSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

// A photo-like picture: smooth light, soft shapes, texture and grain.
// Separable tables keep the making of 24 megapixels quick.
MemoryImage24 MakePhoto() {
  MemoryImage24 image(kWidth, kHeight);
  std::vector<double> across(kWidth), texture(kWidth), down(kHeight), waves(kHeight);
  for (int x = 0; x < kWidth; ++x) {
    across[std::size_t(x)] = 0.25 * std::sin(x * 0.0011 + 0.7);
    texture[std::size_t(x)] = 0.07 * std::sin(x * 0.09);
  }
  for (int y = 0; y < kHeight; ++y) {
    down[std::size_t(y)] = std::cos(y * 0.0017);
    waves[std::size_t(y)] = std::cos(y * 0.07);
  }
  std::uint32_t seed = 2024;
  for (int y = 0; y < kHeight; ++y) {
    std::uint8_t* row = image.Row(y);
    const double dy = y - 1700.0;
    for (int x = 0; x < kWidth; ++x) {
      const double dx = x - 3900.0;
      const double blob = dx * dx + dy * dy < 900.0 * 900.0 ? 0.15 : 0.0;
      const double base = 0.5 + across[std::size_t(x)] * down[std::size_t(y)] +
                          texture[std::size_t(x)] * waves[std::size_t(y)];
      seed = seed * 1664525u + 1013904223u;
      const double grain = (double(seed >> 24) / 255.0 - 0.5) * 20.0 / 255.0;
      for (int c = 0; c < 3; ++c) {
        const double v = (base + blob * (c == 2 ? 1 : -0.5)) * (0.8 + 0.15 * c) + grain +
                         (double((seed >> (c * 5)) & 31) / 31.0 - 0.5) * 8.0 / 255.0;
        row[x * 3 + c] = std::uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255));
      }
    }
  }
  return image;
}

struct Photos {
  fs::path folder;
  std::string plain;     // without an embedded picture
  std::string embedded;  // with a 160 x 120 embedded picture
  double bitsPerPixel = 0;
  double wholeDecode = 0;  // processor seconds of one whole decode of `plain`, best of three
  double oneThumbnail = 0;  // wall seconds of one thumbnail of `plain` made alone, best of three
};

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              std::streamsize(bytes.size()));
}

// Made once per process: the 24 megapixels take seconds to make and encode.
const Photos& TestPhotos() {
  static const Photos photos = [] {
    Photos p;
    p.folder = fs::temp_directory_path() / ("velmora-thumbnail-bench-" + std::to_string(::getpid()));
    fs::create_directories(p.folder);
    const MemoryImage24 photo = MakePhoto();
    const std::vector<std::uint8_t> jpeg = EncodeJpeg(photo, 92);
    p.bitsPerPixel = double(jpeg.size()) * 8 / (double(kWidth) * kHeight);
    // The camera's small picture: the photo letterboxed into 160 x 120.
    MemoryImage24 small(160, 120);
    small.Fill(kBlack);
    Resample(photo, small, Rect{0, 7, 160, 113});
    p.plain = (p.folder / "photo.jpg").string();
    p.embedded = (p.folder / "camera.jpg").string();
    WriteFile(p.plain, jpeg);
    WriteFile(p.embedded, testing::WithExifThumbnail(jpeg, EncodeJpeg(small, 90)));
    p.wholeDecode = 1e9;
    for (int i = 0; i < 3; ++i) {
      const double start = CpuSeconds();
      const auto graphic = JpegGraphic::FromFile(p.plain);
      MemoryImage24 target(graphic->Width(), graphic->Height());
      graphic->Draw(target, 0, 0);
      benchmark::DoNotOptimize(target.Bits());
      p.wholeDecode = std::min(p.wholeDecode, CpuSeconds() - start);
    }
    p.oneThumbnail = 1e9;
    for (int i = 0; i < 3; ++i) {
      const auto start = std::chrono::steady_clock::now();
      const MemoryImage24 thumbnail = RenderThumbnail(p.plain);
      benchmark::DoNotOptimize(thumbnail.Bits());
      p.oneThumbnail =
          std::min(p.oneThumbnail, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return p;
  }();
  return photos;
}

std::string Label(const char* what) {
  char text[96];
  std::snprintf(text, sizeof text, "%s, %.1f bits/px", what, TestPhotos().bitsPerPixel);
  return text;
}

// The reference: the file read and decoded whole.
void BM_PhotoWholeDecode(benchmark::State& state) {
  const Photos& photos = TestPhotos();
  for (auto _ : state) {
    const auto graphic = JpegGraphic::FromFile(photos.plain);
    MemoryImage24 target(graphic->Width(), graphic->Height());
    graphic->Draw(target, 0, 0);
    benchmark::DoNotOptimize(target.Bits());
  }
  state.SetLabel(Label("6000 x 4000"));
}

// The thumbnail of the file, as MakeThumbnail makes it (without the BMP file).
void BM_PhotoThumbnail(benchmark::State& state) {
  const Photos& photos = TestPhotos();
  const bool embedded = state.range(0) != 0;
  ThumbnailRoute route{};
  double total = 0;
  for (auto _ : state) {
    const double start = CpuSeconds();
    const MemoryImage24 thumbnail = RenderThumbnail(embedded ? photos.embedded : photos.plain, &route);
    benchmark::DoNotOptimize(thumbnail.Bits());
    total += CpuSeconds() - start;
  }
  state.SetLabel(Label(route == ThumbnailRoute::EmbeddedPicture ? "from the embedded picture"
                                                                 : "decoded at 1/8, resampled"));
  state.counters["of_whole_decode"] = total / double(state.iterations()) / photos.wholeDecode;
}

// 100 photos added at once, as "Add New Pictures" makes their thumbnails.
void BM_ThumbnailBatch(benchmark::State& state) {
  static double oneThread = 0;
  const Photos& photos = TestPhotos();
  const unsigned threads = unsigned(state.range(0));
  std::vector<ThumbnailJob> jobs;
  for (int i = 0; i < kBatch; ++i) jobs.push_back({photos.plain, i + 1});
  double seconds = 0;
  double processor = 0;
  for (auto _ : state) {
    ThumbnailStore store(photos.folder);
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    const std::vector<bool> made = store.MakeMany(jobs, {}, nullptr, threads);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    processor = CpuSeconds() - cpuStart;
    if (made.size() != jobs.size()) state.SkipWithError("not every thumbnail was made");
    store.DeleteAll(kBatch + 1);
  }
  if (threads == 1) oneThread = seconds;
  state.counters["seconds"] = seconds;
  // Processor seconds of all threads: near `seconds` times the threads when
  // the machine has processors to spare; far below it on a busy machine,
  // where the speed-up says little.
  state.counters["cpu_seconds"] = processor;
  if (threads != 1 && oneThread > 0) state.counters["speedup"] = oneThread / seconds;
  state.SetLabel(std::to_string(kBatch) + " photos, " +
                 (threads == 0 ? std::to_string(std::thread::hardware_concurrency()) : std::to_string(threads)) +
                 " thread(s)");
}

// Results of a queue as the window receives them.
struct Arrivals {
  std::mutex mutex;
  std::condition_variable changed;
  std::set<std::int32_t> made;
  void Add(std::int32_t n) {
    std::lock_guard lock(mutex);
    made.insert(n);
    changed.notify_all();
  }
  // Waits until every number of `wanted` has arrived.
  void WaitFor(const std::vector<std::int32_t>& wanted) {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] {
      return std::all_of(wanted.begin(), wanted.end(), [&](std::int32_t n) { return made.count(n) != 0; });
    });
  }
};

// From the add (jobs queued, the view moved to the front) to the eight
// thumbnails in view made.
void BM_UsableStrip(benchmark::State& state) {
  static double eight = 0;
  const Photos& photos = TestPhotos();
  const auto count = std::int32_t(state.range(0));
  std::vector<ThumbnailJob> jobs;
  for (std::int32_t n = 1; n <= count; ++n) jobs.push_back({photos.plain, n});
  std::vector<std::int32_t> view;
  for (std::int32_t n = count - 7; n <= count; ++n) view.push_back(n);
  double best = 1e9;
  for (auto _ : state) {
    ThumbnailStore store(photos.folder);
    Arrivals arrivals;
    {
      ThumbnailQueue queue([&](const ThumbnailJob& job) { return store.Make(job.path, job.number); },
                           [&](std::int32_t n) { store.Delete(n); },
                           [&](std::int32_t n, bool) { arrivals.Add(n); });
      const auto start = std::chrono::steady_clock::now();
      queue.Add(jobs);
      queue.Prioritize(view);
      arrivals.WaitFor(view);
      best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
      state.PauseTiming();
      queue.Join();  // closing: the decodes under way finish, the rest are dropped
    }
    store.DeleteAll(count + 1);
    state.ResumeTiming();
  }
  if (count == 8) eight = best;
  state.counters["seconds"] = best;
  if (count != 8 && eight > 0) state.counters["of_8"] = best / eight;
  state.SetLabel(std::to_string(count) + " photos queued, 8 in view");
}

// A whole batch through the queue on every processor.
void BM_QueueBatch(benchmark::State& state) {
  const Photos& photos = TestPhotos();
  std::vector<ThumbnailJob> jobs;
  for (std::int32_t n = 1; n <= kBatch; ++n) jobs.push_back({photos.plain, n});
  std::vector<std::int32_t> all;
  for (const ThumbnailJob& job : jobs) all.push_back(job.number);
  double seconds = 0;
  for (auto _ : state) {
    ThumbnailStore store(photos.folder);
    Arrivals arrivals;
    const auto start = std::chrono::steady_clock::now();
    {
      ThumbnailQueue queue([&](const ThumbnailJob& job) { return store.Make(job.path, job.number); },
                           [&](std::int32_t n) { store.Delete(n); },
                           [&](std::int32_t n, bool) { arrivals.Add(n); });
      queue.Add(jobs);
      arrivals.WaitFor(all);
    }
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    store.DeleteAll(kBatch + 1);
  }
  state.counters["seconds"] = seconds;
  state.counters["per_photo_of_one"] = seconds / kBatch / photos.oneThumbnail;
  state.SetLabel(std::to_string(kBatch) + " photos, " + std::to_string(std::thread::hardware_concurrency()) +
                 " thread(s)");
}

BENCHMARK(BM_PhotoWholeDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PhotoThumbnail)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThumbnailBatch)->Arg(1)->Arg(0)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UsableStrip)->Arg(8)->Arg(400)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QueueBatch)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// Removes the photos when the process ends.
struct Cleanup {
  ~Cleanup() {
    std::error_code ignored;
    fs::remove_all(fs::temp_directory_path() / ("velmora-thumbnail-bench-" + std::to_string(::getpid())), ignored);
  }
} cleanup;

}  // namespace
}  // namespace velmora::bench
