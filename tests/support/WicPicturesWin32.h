// Small pictures made in the test process, for the tests and the fuzz driver
// of the pictures the system's imaging component decodes: PNG with its own
// encoder, GIF and TIFF by hand (its encoders there place every GIF frame at
// the top-left corner, write no transparency and no TIFF orientation tag).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::testing {

// One frame: width x height pixels, 4 bytes each (blue, green, red, alpha),
// top row first.
struct BgraFrame {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;
};

// A PNG of frame (with its alpha channel); throws std::runtime_error.
std::vector<std::uint8_t> EncodePng(const BgraFrame& frame);

// A GIF frame by hand: its place on the logical screen, its size, its pixels
// as indices into the global palette, and the index shown transparent (-1:
// none).
struct GifFrame {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> indices;
  int transparent = -1;
};

// A GIF89a written by hand (the system's encoder places every frame at the
// top-left corner and writes no transparency): a screenWidth x screenHeight
// logical screen, a global palette of 4 colours (0xRRGGBB each), the frames.
std::vector<std::uint8_t> MakeGif(int screenWidth, int screenHeight, const std::uint32_t (&palette)[4],
                                  const std::vector<GifFrame>& frames);

// An uncompressed little-endian RGB TIFF of frame (alpha ignored) with the
// given EXIF orientation tag (none when 0).
std::vector<std::uint8_t> MakeTiff(const BgraFrame& frame, int orientation);

// png with the size in its header replaced (and the header's CRC made right
// again), the body left as it was.
std::vector<std::uint8_t> WithPngSize(std::vector<std::uint8_t> png, std::uint32_t width, std::uint32_t height);

// Writes bytes to a new file in the temporary folder; returns its path.
std::string WriteTempFile(const std::string& name, const std::vector<std::uint8_t>& bytes);

}  // namespace velmora::testing
