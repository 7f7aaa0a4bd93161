// The command line of velmora-render.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "fade/Graphics.h"

namespace velmora::render {

// A bad command line; main prints the message and the usage, exit status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One side of the transition: a colour (#RRGGBB) or a picture file.
struct Source {
  bool isColor = false;
  TColor color = 0;  // Windows colour form, red in the low byte
  std::string path;
};

struct Options {
  bool help = false;
  int width = 0;
  int height = 0;

  // Explicit transition (--from/--to/--action/--direction ...).
  Source from;
  Source to;
  int action = -1;     // TAction value 0 to 5
  int direction = -1;  // TDirection value 0 to 16
  std::optional<int> steps;
  std::optional<int> disolvRate;
  std::optional<int> blendRate;
  std::optional<int> dotSize;
  std::optional<int> generalRate;
  std::optional<bool> stretchToFit;

  // Frame-set mode (--frame/--index).
  std::string framePath;
  int frameIndex = 0;

  std::optional<std::uint32_t> seed;
  std::vector<int> at;  // 1-based step numbers, ascending, without repeats
  std::string outDir;   // empty: no files are written

  bool FrameMode() const { return !framePath.empty(); }
};

// Parses argv[1..]; throws UsageError.
Options ParseOptions(const std::vector<std::string>& args);

extern const char* const kUsage;

}  // namespace velmora::render
