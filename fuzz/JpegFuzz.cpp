// Fuzzes the JPEG picture: header checks on load, then a natural-size draw,
// a reduced draw (through the decoder's scaling and the resampler) and an
// enlarged, clipped one. Every input must either load and draw or be refused
// with EPictureError. The Exif reader sees the same bytes first: whatever it
// gives must lie inside them, and a date it reads must be a date.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fade/Exif.h"
#include "fade/JpegGraphic.h"
#include "fade/PictureLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velmora;
  const ExifInfo exif = ReadExif(data, size);
  if (exif.orientation < 1 || exif.orientation > 8) std::abort();
  if (exif.dateTaken && (exif.dateTaken->month < 1 || exif.dateTaken->month > 12 || exif.dateTaken->day < 1 ||
                         exif.dateTaken->day > 31))
    std::abort();
  if (exif.HasThumbnail()) {
    if (exif.thumbnailOffset > size || exif.thumbnailLength > size - exif.thumbnailOffset) std::abort();
    ReadJpegFrameSize(data + exif.thumbnailOffset, exif.thumbnailLength);
  }
  std::shared_ptr<const JpegGraphic> graphic;
  try {
    graphic = JpegGraphic::FromBytes(std::vector<std::uint8_t>(data, data + size), "fuzz.jpg");
  } catch (const EPictureError&) {
    return 0;
  }
  // Large pictures are valid but slow to fuzz; their header checks ran.
  if (std::int64_t(graphic->Width()) * graphic->Height() > 4'000'000) return 0;
  MemoryImage24 natural(graphic->Width(), graphic->Height());
  graphic->Draw(natural, 0, 0);
  MemoryImage24 small(37, 23);
  graphic->StretchDraw(small, Rect{0, 0, 37, 23});
  MemoryImage24 clipped(64, 48);
  graphic->StretchDraw(clipped, Rect{-10, -20, 90, 60});
  MemoryImage24 upright;
  OrientImage(small, exif.orientation, upright);
  return 0;
}
