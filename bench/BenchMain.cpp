// Runs the benchmarks and then prints, for every benchmark measured at a
// frame size, its time per iteration divided by the time of BM_Memcpy (one
// memcpy of a frame) at the same size in the same run. With
// --benchmark_repetitions=N the best (smallest) repetition of each is used,
// which keeps the ratios steady on a busy machine. Benchmarks of whole runs
// carry a "steps" counter and get a per-step ratio as well.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      const std::string name = run.benchmark_name();
      const auto slash = name.find('/');
      if (slash == std::string::npos) continue;
      const double seconds = run.real_accumulated_time / double(run.iterations);
      const auto steps = run.counters.find("steps");
      if (steps != run.counters.end() && double(steps->second) > 0) steps_[name] = double(steps->second);
      auto [it, added] = best_.emplace(name, seconds);
      if (added) order_.push_back(name);
      else if (seconds < it->second) it->second = seconds;
      if (name.compare(0, slash, "BM_TwoMonitorsMemcpy") == 0) {
        auto [m, fresh] = twoFrames_.emplace(name.substr(slash), seconds);
        if (!fresh && seconds < m->second) m->second = seconds;
      }
      if (name.compare(0, slash, "BM_Memcpy") == 0) {
        auto [m, fresh] = memcpy_.emplace(name.substr(slash), seconds);
        if (!fresh && seconds < m->second) m->second = seconds;
      }
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    if (memcpy_.empty()) return;
    std::printf("\nRatio to one memcpy of a frame of the same size (same run):\n");
    for (const std::string& name : order_) {
      const double seconds = best_[name];
      const auto slash = name.find('/');
      // The size is the first two arguments; a benchmark may add more after them.
      std::string size = name.substr(slash);
      const auto third = size.find('/', size.find('/', 1) + 1);
      if (third != std::string::npos) size.resize(third);
      const auto base = memcpy_.find(size);
      if (base == memcpy_.end() || base->second <= 0) continue;
      const auto steps = steps_.find(name);
      if (steps == steps_.end()) {
        std::printf("  %-44s %9.3f x memcpy\n", name.c_str(), seconds / base->second);
      } else {
        std::printf("  %-44s %9.3f x memcpy per run, %.3f x per step (%.0f steps)\n", name.c_str(),
                    seconds / base->second, seconds / steps->second / base->second, steps->second);
      }
    }
    if (twoFrames_.empty()) return;
    std::printf("\nTwo monitors, per step, ratio to a memcpy of the two frames (same run):\n");
    for (const std::string& name : order_) {
      if (name.rfind("BM_TwoMonitors", 0) != 0) continue;
      const auto steps = steps_.find(name);
      const auto base = twoFrames_.find(name.substr(name.find('/')));
      if (steps == steps_.end() || base == twoFrames_.end() || base->second <= 0) continue;
      std::printf("  %-44s %9.3f x two memcpys per step (%.0f steps)\n", name.c_str(),
                  best_[name] / steps->second / base->second, steps->second);
    }
  }

 private:
  std::map<std::string, double> twoFrames_;  // BM_TwoMonitorsMemcpy by size
  std::vector<std::string> order_;
  std::map<std::string, double> best_;
  std::map<std::string, double> steps_;  // the "steps" counter of whole-run benchmarks
  std::map<std::string, double> memcpy_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
