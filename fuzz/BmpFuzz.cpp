// Fuzzes the bitmap reader: every input must decode or be refused with
// EPictureError; a decoded picture is then drawn reduced and enlarged.
#include <cstdint>

#include "fade/BmpGraphic.h"
#include "fade/PictureLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velmora;
  std::shared_ptr<const BmpGraphic> graphic;
  try {
    graphic = BmpGraphic::FromBytes(data, size, "fuzz.bmp");
  } catch (const EPictureError&) {
    return 0;
  }
  MemoryImage24 small(17, 13);
  graphic->StretchDraw(small, Rect{0, 0, 17, 13});
  MemoryImage24 large(40, 30);
  graphic->StretchDraw(large, Rect{-5, -5, 60, 45});
  return 0;
}
