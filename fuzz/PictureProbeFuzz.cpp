// Fuzzes the header probe of the kinds the system's imaging component
// decodes: every input gives a size or nothing, never a read outside it, and
// a size never claims fewer pixels for the largest part than for the picture.
#include <cstdint>
#include <cstdlib>

#include "fade/PictureProbe.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velmora;
  (void)PictureKindName(data, size);
  if (const auto peeked = PeekPictureSize(data, size)) {
    if (peeked->largestPixels < std::uint64_t(peeked->width) * peeked->height) std::abort();
  }
  return 0;
}
