// A JPEG picture, decoded on demand.
//
// Loading reads and checks only the header and keeps the file's bytes.
// Drawing at natural size decodes the whole picture straight into the target's
// rows; drawing scaled lets the decoder reduce the picture by the largest N/8
// factor whose result still covers the rectangle, then resamples that into
// the rectangle (area averaging down, bilinear up). The results of the last
// few sizes drawn are kept (one per monitor the show plays on), so drawing
// one of those sizes again costs a copy.
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
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fade/Graphics.h"

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

class JpegGraphic final : public Graphic {
 public:
  // Checks the header of the JPEG data; throws EPictureError naming `name`
  // when it is not a JPEG, is damaged before the image data, or is larger
  // than kMaxPicturePixels.
  static std::shared_ptr<const JpegGraphic> FromBytes(std::vector<std::uint8_t> bytes,
                                                      const std::string& name = "JPEG data");
  static std::shared_ptr<const JpegGraphic> FromFile(const std::string& path);

  explicit JpegGraphic(std::vector<std::uint8_t> bytes, const std::string& name);

  GraphicKind Kind() const override { return GraphicKind::Raster; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void Draw(Image24& target, int x, int y) const override;
  void StretchDraw(Image24& target, const Rect& rect) const override;

  // Number of components in the file (1 gray, 3 colour, 4 CMYK/YCCK).
  int Components() const { return components_; }
  // The Exif orientation (1..8) the pixels are turned by; 1 without a tag.
  int Orientation() const { return orientation_; }

  // Decodes the picture at width x height (upright) into the kept result
  // that the next StretchDraw to that size copies, as a draw would, without
  // drawing. May run on another thread than the draws. Gives up between
  // scanlines once *cancel is set and returns false, keeping nothing.
  bool Prepare(int width, int height, const std::atomic<bool>* cancel = nullptr) const;
  // Warnings (corrupt data) reported by the last decode; for tests.
  int LastDecodeWarnings() const;
  // Frees the kept results of the last scaled draws.
  void DropCache() const;
  // Whether a kept result is the picture drawn at width x height; for tests.
  bool Keeps(int width, int height) const;

  // How many drawn sizes are kept at most; the oldest goes first.
  static constexpr std::size_t kKeptSizes = 4;

 private:
  std::vector<std::uint8_t> bytes_;
  std::string name_;
  int width_ = 0;   // upright
  int height_ = 0;  // upright
  int storedWidth_ = 0;
  int storedHeight_ = 0;
  int components_ = 0;
  int orientation_ = 1;

  // Decodes at natural size, upright, with the top-left corner at (x, y)
  // of target; false when cancelled. Called with cacheMutex_ held.
  bool DecodeNatural(Image24& target, int x, int y, const std::atomic<bool>* cancel) const;
  // The picture scaled to width x height, upright; nullptr when cancelled.
  // Called with cacheMutex_ held.
  std::shared_ptr<MemoryImage24> Render(int width, int height, const std::atomic<bool>* cancel) const;

  // The kept result of that size, or nullptr. Called with cacheMutex_ held.
  const MemoryImage24* FindKeptLocked(int width, int height) const;
  // Keeps a result as the newest. Called with cacheMutex_ held.
  void KeepLocked(std::shared_ptr<const MemoryImage24> image) const;

  // The last scaled draws, newest first, for drawing those sizes again.
  // Pictures are shared between holders, so the cache is guarded.
  mutable std::mutex cacheMutex_;
  mutable std::vector<std::shared_ptr<const MemoryImage24>> cached_;
  mutable int lastWarnings_ = 0;
};

}  // namespace velmora
