// Exporting a show and starting an exported saver.
//
// BM_ExportPhotos: a show of kPhotos camera photos (6000 x 4000 JPEG, each a
// file of its own) written as a package, every photo fitted down to
// 3840 x 2160 and encoded again; "of_decode" is its processor time over that
// of decoding the same photos once at full size (measured in the same run).
// Target: at most 1.5. (The 100 photos scale linearly; kPhotos keeps
// the run short.)
//
// BM_FirstFrame: what an exported saver does before its first frame and a
// saver of this PC does not (the package found and checked in a file the size
// of the program, the picture read from it by offset and checked), against
// the same show saved normally: the frame-set file read, the first picture
// (3000 x 2000, stored byte for byte) loaded from its file and drawn at
// 1920 x 1080. Both run in one process; BM_FirstFrame/1 reports
// "extra_ms_over_saved", its wall time per start minus that of
// BM_FirstFrame/0. Target: at most 50 ms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/Startup.h"
#include "editor/Export.h"
#include "fade/JpegGraphic.h"
#include "fade/PictureLoader.h"
#include "frames/FrameSet.h"
#include "frames/ShowPackage.h"

namespace velmora::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kPhotos = 6;

double CpuSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

// A photo-like picture: smooth light, texture and grain.
MemoryImage24 MakePhoto(int width, int height) {
  MemoryImage24 image(width, height);
  std::uint32_t seed = 7;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = image.Row(y);
    const double down = std::cos(y * 0.0017);
    const double waves = std::cos(y * 0.07);
    for (int x = 0; x < width; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const double base = 0.5 + 0.25 * std::sin(x * 0.0011 + 0.7) * down + 0.07 * std::sin(x * 0.09) * waves;
      for (int c = 0; c < 3; ++c) {
        const double v = base * (0.8 + 0.15 * c) + (double((seed >> (c * 7)) & 63) / 63.0 - 0.5) * 0.08;
        row[x * 3 + c] = std::uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255));
      }
    }
  }
  return image;
}

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

struct Fixture {
  fs::path folder;
  FrameList photos;       // kPhotos 24 MP photos
  double decodeOnce = 0;  // processor seconds to decode them all once, best of two
  FrameList smallShow;    // the first-frame show: a 3000 x 2000 photo
  std::string savedShow;  // its frame-set file
  std::vector<std::uint8_t> exported;  // a program-sized image and the show's package
};

const Fixture& TheFixture() {
  static const Fixture fixture = [] {
    Fixture f;
    f.folder = fs::temp_directory_path() / ("velmora-export-bench-" + std::to_string(::getpid()));
    fs::create_directories(f.folder);
    const std::vector<std::uint8_t> jpeg = EncodeJpeg(MakePhoto(6000, 4000), 92);
    AppendFrameRecord(f.photos).SetPath("Bench");
    for (int i = 0; i < kPhotos; ++i) {
      const fs::path path = f.folder / ("photo" + std::to_string(i) + ".jpg");
      WriteFile(path, jpeg);
      AppendFrameRecord(f.photos).SetPath(path.string());
    }
    AppendFrameRecord(f.photos);
    f.decodeOnce = 1e9;
    for (int round = 0; round < 2; ++round) {
      const double start = CpuSeconds();
      for (int i = 1; i <= kPhotos; ++i) {
        const auto graphic = JpegGraphic::FromFile(f.photos[std::size_t(i)].Path());
        MemoryImage24 target(graphic->Width(), graphic->Height());
        graphic->Draw(target, 0, 0);
        benchmark::DoNotOptimize(target.Bits());
      }
      f.decodeOnce = std::min(f.decodeOnce, CpuSeconds() - start);
    }

    const fs::path small = f.folder / "small.jpg";
    WriteFile(small, EncodeJpeg(MakePhoto(3000, 2000), 92));
    AppendFrameRecord(f.smallShow).SetPath("Bench");
    AppendFrameRecord(f.smallShow).SetPath(small.string());
    AppendFrameRecord(f.smallShow).SetPath(small.string());
    AppendFrameRecord(f.smallShow);
    f.savedShow = (f.folder / "Bench.fms").string();
    WriteFrameSetFile(f.savedShow, f.smallShow);
    MemoryPackageSink sink;
    const std::vector<std::uint8_t> program(3u << 20, 0x90);  // about the program's size
    sink.Write(program.data(), program.size());
    ExportResult result;
    WriteShowPackage(f.smallShow, sink, program.size(), nullptr, result);
    f.exported = std::move(sink.bytes);
    WriteFile(f.folder / "Bench.scr", f.exported);
    return f;
  }();
  return fixture;
}

struct CountingSink : PackageSink {
  std::uint64_t bytes = 0;
  bool Write(const void*, std::size_t size) override {
    bytes += size;
    return true;
  }
};

void BM_ExportPhotos(benchmark::State& state) {
  const Fixture& f = TheFixture();
  double cpu = 0;
  for (auto _ : state) {
    CountingSink sink;
    ExportResult result;
    const double start = CpuSeconds();
    if (!WriteShowPackage(f.photos, sink, 0, nullptr, result) || result.fitted != kPhotos)
      state.SkipWithError("the export failed");
    cpu += CpuSeconds() - start;
    benchmark::DoNotOptimize(sink.bytes);
  }
  state.counters["of_decode"] = cpu / double(state.iterations()) / f.decodeOnce;
  state.SetLabel(std::to_string(kPhotos) + " photos of 24 MP");
}
BENCHMARK(BM_ExportPhotos)->Unit(benchmark::kMillisecond)->Iterations(2);

// From the show's file to the first picture drawn at 1920 x 1080.
double FirstFrameSeconds(bool exported) {
  const Fixture& f = TheFixture();
  const auto start = std::chrono::steady_clock::now();
  if (exported) {
    PackageProblem problem = PackageProblem::None;
    std::shared_ptr<const ShowPackage> package =
        ShowPackage::Open(DiskPackageFile::Open(f.folder / "Bench.scr"), problem);
    if (!package) return -1;
    SetPictureSource(std::make_shared<PackagePictures>(package));
    SetCarriedFrameSet(package->RecordBytes());
  } else {
    SystemDir = f.folder.string();
    SaverBaseName = "Bench";
  }
  LoadFrameSet();
  const auto graphic = LoadGraphic((*TheFrameList)[1].Path());
  MemoryImage24 screen(1920, 1080);
  graphic->StretchDraw(screen, Rect{0, 0, 1920, 1080});
  benchmark::DoNotOptimize(screen.Bits());
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  SetPictureSource(nullptr);
  SetCarriedFrameSet(std::nullopt);
  TheFrameList.reset();
  return seconds;
}

void BM_FirstFrame(benchmark::State& state) {
  static double saved = 0;
  const bool exported = state.range(0) == 1;
  double best = 1e9;
  for (auto _ : state) {
    const double seconds = FirstFrameSeconds(exported);
    if (seconds < 0) state.SkipWithError("the package did not open");
    best = std::min(best, seconds);
  }
  state.counters["ms"] = best * 1000;
  if (!exported)
    saved = best;
  else if (saved > 0)
    state.counters["extra_ms_over_saved"] = (best - saved) * 1000;
  state.SetLabel(exported ? "exported saver" : "saved normally");
}
BENCHMARK(BM_FirstFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace velmora::bench
