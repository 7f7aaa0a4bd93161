// A bitmap picture (.bmp, .dib), decoded once when it is loaded.
//
// Reads the file header (or a packed DIB without one), the OS/2 core header
// and the Windows info headers (40, 52, 56, 108 and 124 bytes; the 64-byte
// OS/2 header for uncompressed and RLE data), 1, 4 and 8 bits a pixel with a
// colour table, 16 and 32 bits with or without bit fields, 24 bits, rows
// bottom-up or top-down, and RLE4/RLE8 compression. Every size and offset is
// checked against the data; a damaged or unsupported file raises
// EPictureError naming it and saying what is wrong.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fade/Graphics.h"
#include "fade/ScaledRaster.h"

namespace velmora {

// Decodes BMP data into a top-down 24-bit image; throws EPictureError.
MemoryImage24 DecodeBmp(const std::uint8_t* data, std::size_t size, const std::string& name);

// A 24-bit bottom-up BMP file of image (file header + 40-byte info header).
std::vector<std::uint8_t> EncodeBmp(const Image24& image);

// Drawn at natural size straight from the decoded pixels; the results of the
// last few scaled sizes drawn or prepared are kept (see ScaledRaster).
class BmpGraphic final : public ScaledRaster {
 public:
  static std::shared_ptr<const BmpGraphic> FromBytes(const std::uint8_t* data, std::size_t size,
                                                     const std::string& name = "bitmap data");
  static std::shared_ptr<const BmpGraphic> FromFile(const std::string& path);

  explicit BmpGraphic(MemoryImage24 image)
      : ScaledRaster(NaturalSize::DrawDirect, image.Width(), image.Height()), image_(std::move(image)) {}

  const MemoryImage24& Image() const { return image_; }

 private:
  std::shared_ptr<MemoryImage24> Render(int width, int height, const std::atomic<bool>* cancel) const override;
  void RenderInto(Image24& target, const Rect& rect) const override;

  MemoryImage24 image_;
};

}  // namespace velmora
