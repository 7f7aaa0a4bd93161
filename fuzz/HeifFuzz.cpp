// Fuzzes the HEIC/HEIF picture: parsing and the size checks on load (a
// quarter of a megapixel at most, so that every input decodes quickly), then
// one draw, enlarged and clipped (every draw decodes the whole image, either
// straight from the file or put together by libheif, and
// the decode is what most of the time goes to; the resampler has fuzz and
// tests of its own). Every input must either load and draw or be refused
// with EPictureError. The transform property scan sees the same bytes first.
// Run with ASAN_OPTIONS=quarantine_size_mb=0 for twice the speed: libde265
// allocates large buffers for every decode.
#include <cstdint>
#include <vector>

#include "fade/HeifGraphic.h"
#include "fade/HevcDecoder.h"
#include "fade/PictureLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velmora;
  // The grids libheif puts together are held to the same quarter megapixel.
  static const bool limited = (SetLibheifPictureLimit(262'144), true);
  (void)limited;
  HasHeifTransformProperty(data, size);
  std::shared_ptr<const HeifGraphic> graphic;
  try {
    graphic = HeifGraphic::FromBytes(std::vector<std::uint8_t>(data, data + size), "fuzz.heic", 262'144);
  } catch (const EPictureError&) {
    return 0;
  }
  MemoryImage24 clipped(64, 48);
  graphic->StretchDraw(clipped, Rect{-10, -20, 90, 60});
  return 0;
}
