// Listing folder frames over a generated tree of 50,000 pictures (empty
// files) in 500 folders of 100, made under the temporary folder by the first
// run and kept. One benchmark gives the three figures as counters, each from
// the best of five measurements in the same run:
//   first_over_one_folder  time from the start of a folder frame's listing
//                          (its thread included) to its first picture path,
//                          divided by the listing of one folder of 100
//                          pictures. Target: at most 10. On a machine whose
//                          cores are busy the thread's first turn can take
//                          a time slice (milliseconds): the figure without
//                          the thread, first_listed_over_one_folder, is the
//                          listing's own.
//   round_over_stats       a whole round's listing of the tree (every path
//                          packed, as the show keeps them), divided by
//                          50,000 file-status reads of its pictures. Target:
//                          at most 3.
//   bytes_a_picture        what a shuffled show holds for each picture
//                          beyond the characters of its path (packed paths,
//                          their index, the round's draw pool). Target: at
//                          most 16.
//   build/bench/bench/velmora_bench --benchmark_filter=BM_FolderListing
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "frames/FrameRecord.h"
#include "frames/ShowOptions.h"
#include "saver/FolderListing.h"
#include "saver/FolderPictures.h"
#include "saver/ShowSequence.h"

namespace velmora::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kFolders = 500;
constexpr int kPerFolder = 100;
constexpr int kPictures = kFolders * kPerFolder;

std::string FolderName(int i) {
  char name[32];
  std::snprintf(name, sizeof name, "day%03d", i);
  return name;
}

// The tree, made once (a marker file says it is complete).
const fs::path& Tree() {
  static const fs::path root = fs::temp_directory_path() / "velmora-folder-bench";
  if (!fs::exists(root / "complete")) {
    fs::remove_all(root);
    for (int f = 0; f < kFolders; ++f) {
      const fs::path folder = root / FolderName(f);
      fs::create_directories(folder);
      for (int p = 0; p < kPerFolder; ++p) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%05d.jpg", f * kPerFolder + p);
        std::ofstream(folder / name).put('x');
      }
    }
    std::ofstream(root / "complete").put('x');
  }
  return root;
}

// The best of `runs` runs of what, in seconds.
double Best(const std::function<void()>& what, int runs = 5) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    what();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

void BM_FolderListing(benchmark::State& state) {
  const fs::path& root = Tree();
  std::size_t pathCharacters = 0;
  ForEachFolderPicture(root.string(), true, [&](const std::string& path) {
    pathCharacters += path.size();
    return true;
  });
  double oneFolder = 0, first = 0, firstListed = 0, round = 0, stats = 0, bytes = 0;
  for (auto _ : state) {
    oneFolder = Best([&] {
      int count = 0;
      ForEachFolderPicture((root / FolderName(0)).string(), false, [&](const std::string&) { return ++count > 0; });
      benchmark::DoNotOptimize(count);
    });
    first = Best(
        [&] {
          FolderListing listing(root.string(), true);
          while (listing.Found() == 0 && !listing.Finished()) std::this_thread::yield();
        },
        15);
    firstListed = Best([&] {
      ForEachFolderPicture(root.string(), true, [](const std::string&) { return false; });
    });
    // Listings cancelled above may still be winding down: let them go first.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    round = Best([&] {
      FolderListing listing(root.string(), true);
      while (!listing.Finished()) std::this_thread::sleep_for(std::chrono::microseconds(200));
      benchmark::DoNotOptimize(listing.Found());
    });
    stats = Best([&] {
      std::error_code error;
      char name[64];
      for (int i = 0; i < kPictures; ++i) {
        std::snprintf(name, sizeof name, "/IMG_%05d.jpg", i);
        benchmark::DoNotOptimize(fs::status(root.string() + "/" + FolderName(i / kPerFolder) + name, error));
      }
    });
    // A shuffled show of the tree's folder, its round's pool filled.
    FrameRecord frame{};
    frame.SetPath(root.string());
    frame.StillTime = 1;
    SetFolderFrame(frame, true);
    ShowSequence sequence({frame}, true);
    while (!sequence.Next(0.0)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // Once the listing has ended, the next draw puts everything in the pool.
    std::this_thread::sleep_for(std::chrono::duration<double>(round * 4 + 0.2));
    sequence.Next(0.0);
    bytes = (double(sequence.AllocatedBytes()) - double(pathCharacters)) / kPictures;
  }
  state.counters["one_folder_ms"] = oneFolder * 1e3;
  state.counters["first_picture_ms"] = first * 1e3;
  state.counters["round_ms"] = round * 1e3;
  state.counters["stats_ms"] = stats * 1e3;
  state.counters["first_over_one_folder"] = first / oneFolder;
  state.counters["first_listed_over_one_folder"] = firstListed / oneFolder;
  state.counters["round_over_stats"] = round / stats;
  state.counters["bytes_a_picture"] = bytes;
}
BENCHMARK(BM_FolderListing)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace velmora::bench
