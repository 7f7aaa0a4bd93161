// A JPEG picture, decoded on demand.
//
// Loading reads and checks only the header and keeps the file's bytes.
// Drawing at natural size decodes the whole picture straight into the target's
// rows; drawing scaled lets the decoder reduce the picture by the largest N/8
// factor whose result still covers the rectangle, then resamples that into
// the rectangle (area averaging down, bilinear up). The results of the last
// few scaled sizes drawn or prepared are kept (see ScaledRaster); the
// natural size is kept only when prepared. A cancelled prepare gives up
// between scanlines.
//
// Damaged data: a picture whose header reads is always drawn; what the decoder
// could not recover (after a corrupt-data warning or a fatal error in the
// middle) stays grey or black as the decoder leaves it. Grayscale pictures
// come out grey; CMYK and YCCK pictures are converted to RGB (Adobe's
// inverted CMYK included).
//
// Orientation: the picture is what its Exif orientation tag says it shows,
// turned upright. Width and Height are the upright size, and every draw,
// natural size or scaled, comes out upright.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fade/Graphics.h"
#include "fade/ScaledRaster.h"

namespace velmora {

// The numerator N of the N/8 decoder scale for drawing a width x height
// picture into a dstWidth x dstHeight rectangle: the smallest N whose output,
// ceil(width * N / 8) by ceil(height * N / 8), still covers the rectangle in
// both directions; 8 when no reduction does (enlargement). With
// powersOfTwo, N is taken from 1, 2, 4 and 8 only: libjpeg-turbo has SIMD
// code for those reductions and none for the others, which measure slower
// than the next larger power of two (3/8 slower than 4/8, 5/8 to 7/8 slower
// than a whole decode), so that is what drawing uses.
int ChooseJpegScale(int width, int height, int dstWidth, int dstHeight, bool powersOfTwo = true);

// Encodes image as a baseline (or progressive) JPEG of the given quality
// (1..100); for tools, tests and benchmarks.
std::vector<std::uint8_t> EncodeJpeg(const Image24& image, int quality, bool progressive = false);

class JpegGraphic final : public ScaledRaster {
 public:
  // Checks the header of the JPEG data; throws EPictureError naming `name`
  // when it is not a JPEG, is damaged before the image data, or is larger
  // than kMaxPicturePixels.
  static std::shared_ptr<const JpegGraphic> FromBytes(std::vector<std::uint8_t> bytes,
                                                      const std::string& name = "JPEG data");
  static std::shared_ptr<const JpegGraphic> FromFile(const std::string& path);

  explicit JpegGraphic(std::vector<std::uint8_t> bytes, const std::string& name);

  // Number of components in the file (1 gray, 3 colour, 4 CMYK/YCCK).
  int Components() const { return components_; }
  // The Exif orientation (1..8) the pixels are turned by; 1 without a tag.
  int Orientation() const { return orientation_; }

  // Warnings (corrupt data) reported by the last decode; for tests.
  int LastDecodeWarnings() const;

 private:
  std::shared_ptr<MemoryImage24> Render(int width, int height, const std::atomic<bool>* cancel) const override;
  void RenderInto(Image24& target, const Rect& rect) const override;

  // Decodes at natural size, upright, with the top-left corner at (x, y)
  // of target; false when cancelled.
  bool DecodeNatural(Image24& target, int x, int y, const std::atomic<bool>* cancel) const;
  // The picture scaled to width x height (not the natural size), upright;
  // nullptr when cancelled.
  std::shared_ptr<MemoryImage24> RenderScaled(int width, int height, const std::atomic<bool>* cancel) const;

  std::vector<std::uint8_t> bytes_;
  std::string name_;
  int storedWidth_ = 0;
  int storedHeight_ = 0;
  int components_ = 0;
  int orientation_ = 1;
  mutable int lastWarnings_ = 0;  // guarded by Guard()
};

}  // namespace velmora
