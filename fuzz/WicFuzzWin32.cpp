// Fuzz driver for the pictures decoded through the Windows imaging component,
// for a bounded number of inputs (libFuzzer does not run there).
//
//   fuzz_wic_win [INPUTS [SEED]]      default 2000 inputs, seed 1
//
// Seeds are made in the process (PNG with alpha, a two-frame GIF, a GIF whose
// first frame lies inside its screen with a transparent colour, TIFF with an
// orientation tag); each input is a seed with
// a few mutations: bytes flipped or set to edge values, 16/32-bit fields set
// to large values, the data cut short, a stretch repeated. Every input must
// load or be refused with EPictureError; a loaded picture is drawn at natural
// size, reduced and enlarged. Any other exception, or a crash, fails the run;
// the input is left as fuzz-wic-failure.bin in the working folder.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "fade/PictureLoader.h"
#include "platform/WicGraphicWin32.h"
#include "support/WicPicturesWin32.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// xorshift64*: the same inputs for the same seed on every run.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed ? seed : 1) {}
  std::uint64_t Next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1Dull;
  }
  std::size_t Below(std::size_t n) { return n ? std::size_t(Next() % n) : 0; }

 private:
  std::uint64_t state_;
};

velmora::testing::BgraFrame Pattern(int width, int height, int salt) {
  velmora::testing::BgraFrame f{width, height, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      f.pixels.insert(f.pixels.end(), {std::uint8_t(x * 16 + salt), std::uint8_t(y * 16), std::uint8_t((x ^ y) * 8),
                                       std::uint8_t(x == 0 ? 0 : 255)});
  return f;
}

std::vector<Bytes> Seeds() {
  using namespace velmora::testing;
  static constexpr std::uint32_t kPalette[4] = {0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF};
  const Bytes animated = MakeGif(4, 3, kPalette, {{0, 0, 4, 3, {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 2, 2}, -1},
                                                  {0, 0, 4, 3, std::vector<std::uint8_t>(12, 3), -1}});
  const Bytes placed = MakeGif(6, 5, kPalette, {{2, 1, 3, 2, {1, 2, 3, 0, 1, 2}, 0}, {0, 0, 2, 2, {3, 3, 3, 3}, -1}});
  return {EncodePng(Pattern(9, 7, 0)), animated, placed, MakeTiff(Pattern(5, 4, 3), 6)};
}

void Mutate(Bytes& data, Random& random) {
  const int count = 1 + int(random.Below(4));
  for (int i = 0; i < count && !data.empty(); ++i) {
    const std::size_t at = random.Below(data.size());
    switch (random.Below(6)) {
      case 0: data[at] ^= std::uint8_t(1u << random.Below(8)); break;
      case 1: {
        static constexpr std::uint8_t kEdges[] = {0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF};
        data[at] = kEdges[random.Below(sizeof kEdges)];
        break;
      }
      case 2:  // a size or offset field made large
        for (std::size_t k = 0; k < 4 && at + k < data.size(); ++k) data[at + k] = 0xFF >> random.Below(2);
        break;
      case 3: data.resize(at); break;
      case 4: {  // a stretch repeated
        const std::size_t length = 1 + random.Below(std::min<std::size_t>(16, data.size() - at));
        data.insert(data.begin() + std::ptrdiff_t(at), data.begin() + std::ptrdiff_t(at),
                    data.begin() + std::ptrdiff_t(at + length));
        break;
      }
      default: data[at] = std::uint8_t(random.Next()); break;
    }
  }
}

// True when the input behaves: loads and draws, or is refused with EPictureError.
bool TryInput(const Bytes& data, std::string& problem, bool& loaded) {
  using namespace velmora;
  try {
    std::shared_ptr<const WicGraphic> graphic;
    try {
      graphic = WicGraphic::FromBytes(data, "fuzz");
    } catch (const EPictureError&) {
      return true;
    }
    loaded = true;
    if (graphic->Width() <= 0 || graphic->Height() <= 0) {
      problem = "a loaded picture without pixels";
      return false;
    }
    MemoryImage24 natural(std::min(graphic->Width(), 300), std::min(graphic->Height(), 300));
    graphic->Draw(natural, 0, 0);
    MemoryImage24 small(7, 5);
    graphic->StretchDraw(small, Rect{0, 0, 7, 5});
    MemoryImage24 large(40, 30);
    graphic->StretchDraw(large, Rect{-5, -5, 60, 45});
    return true;
  } catch (const std::exception& e) {
    problem = e.what();
  } catch (...) {
    problem = "an unknown exception";
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const long inputs = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 2000;
  Random random(argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1);
  std::vector<Bytes> seeds;
  try {
    seeds = Seeds();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "fuzz_wic_win: cannot make the seed pictures: %s\n", e.what());
    return 2;
  }
  long loaded = 0;
  for (long i = 0; i < inputs; ++i) {
    Bytes data = seeds[std::size_t(i) % seeds.size()];
    if (i >= long(seeds.size())) Mutate(data, random);
    std::FILE* last = std::fopen("fuzz-wic-failure.bin", "wb");  // left behind by a crash
    if (last) {
      std::fwrite(data.data(), 1, data.size(), last);
      std::fclose(last);
    }
    std::string problem;
    bool wasLoaded = false;
    if (!TryInput(data, problem, wasLoaded)) {
      std::fprintf(stderr, "fuzz_wic_win: input %ld: %s (kept in fuzz-wic-failure.bin)\n", i, problem.c_str());
      return 1;
    }
    loaded += wasLoaded ? 1 : 0;
  }
  std::remove("fuzz-wic-failure.bin");
  std::printf("fuzz_wic_win: %ld inputs, %ld loaded, none failed\n", inputs, loaded);
  return 0;
}
