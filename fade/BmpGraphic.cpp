#include "fade/BmpGraphic.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "fade/PictureLoader.h"
#include "fade/Resample.h"

namespace velmora {
namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kBiAlphaBitfields = 6;
constexpr std::uint32_t kBiJpeg = 4;
constexpr std::uint32_t kBiPng = 5;
constexpr int kMaxSide = 65535;

// Bounds-checked little-endian reads over the file's bytes.
class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size, const std::string& name)
      : data_(data), size_(size), name_(name) {}

  std::size_t Size() const { return size_; }
  const std::uint8_t* At(std::size_t offset) const { return data_ + offset; }
  bool Has(std::size_t offset, std::size_t count) const {
    return offset <= size_ && count <= size_ - offset;
  }
  std::uint16_t U16(std::size_t offset) const {
    Need(offset, 2, "the header is cut short");
    return std::uint16_t(data_[offset] | data_[offset + 1] << 8);
  }
  std::uint32_t U32(std::size_t offset) const {
    Need(offset, 4, "the header is cut short");
    return std::uint32_t(data_[offset]) | std::uint32_t(data_[offset + 1]) << 8 |
           std::uint32_t(data_[offset + 2]) << 16 | std::uint32_t(data_[offset + 3]) << 24;
  }
  std::int32_t I32(std::size_t offset) const { return std::int32_t(U32(offset)); }
  void Need(std::size_t offset, std::size_t count, const char* what) const {
    if (!Has(offset, count)) Fail(what);
  }
  [[noreturn]] void Fail(const std::string& what) const {
    throw EPictureError(name_ + ": not a readable bitmap (" + what + ")");
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  const std::string& name_;
};

// One channel of a bit-field pixel: mask, shift to its lowest bit, and the
// largest value it holds, scaled to 0..255.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint32_t max = 0;

  explicit Channel(std::uint32_t m = 0) : mask(m) {
    if (!mask) return;
    while (!((mask >> shift) & 1u)) ++shift;
    max = mask >> shift;
  }
  std::uint8_t Of(std::uint32_t pixel) const {
    if (!max) return 0;
    const std::uint64_t v = (pixel & mask) >> shift;
    return std::uint8_t((v * 255 + max / 2) / max);
  }
};

struct Header {
  std::size_t headerSize = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;  // negative: top-down
  int bitCount = 0;
  std::uint32_t compression = kBiRgb;
  std::uint32_t colorsUsed = 0;
  bool core = false;  // OS/2 core header: 3-byte colour table entries
  std::array<std::uint32_t, 3> masks{};  // red, green, blue
  bool hasMasks = false;
};

using Palette = std::array<std::array<std::uint8_t, 3>, 256>;  // blue, green, red

void PutPixel(MemoryImage24& image, int x, int y, const std::array<std::uint8_t, 3>& bgr) {
  std::uint8_t* p = image.Row(y) + std::size_t(x) * 3;
  p[0] = bgr[0];
  p[1] = bgr[1];
  p[2] = bgr[2];
}

// RLE8 and RLE4 data, always bottom-up. Pixels the data skips (end of line,
// delta, early end of bitmap) keep colour table entry 0.
void DecodeRle(const Bytes& bytes, std::size_t offset, std::size_t limit, const Header& h,
               const Palette& palette, MemoryImage24& image) {
  const int width = image.Width();
  const int height = image.Height();
  const bool four = h.compression == kBiRle4;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) PutPixel(image, x, y, palette[0]);

  int x = 0;
  int row = 0;  // counted from the bottom
  auto put = [&](int index) {
    if (x < width && row < height) PutPixel(image, x, height - 1 - row, palette[std::size_t(index)]);
    ++x;
  };
  std::size_t p = offset;
  while (row < height) {
    if (p + 2 > limit) bytes.Fail("the compressed data is cut short");
    const int count = bytes.At(p)[0];
    const int value = bytes.At(p)[1];
    p += 2;
    if (count > 0) {
      for (int i = 0; i < count && x < width; ++i)
        put(four ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
      continue;
    }
    switch (value) {
      case 0:  // end of line
        x = 0;
        ++row;
        break;
      case 1:  // end of bitmap
        return;
      case 2: {  // delta
        if (p + 2 > limit) bytes.Fail("the compressed data is cut short");
        x += bytes.At(p)[0];
        row += bytes.At(p)[1];
        p += 2;
        break;
      }
      default: {  // a run of literal pixels, padded to a 16-bit boundary
        const std::size_t dataBytes = four ? std::size_t(value + 1) / 2 : std::size_t(value);
        const std::size_t padded = (dataBytes + 1) & ~std::size_t(1);
        if (p + padded > limit) bytes.Fail("the compressed data is cut short");
        for (int i = 0; i < value; ++i) {
          const std::uint8_t byte = bytes.At(p)[four ? i / 2 : i];
          put(four ? ((i & 1) ? (byte & 0x0F) : (byte >> 4)) : byte);
        }
        p += padded;
        break;
      }
    }
  }
}

}  // namespace

MemoryImage24 DecodeBmp(const std::uint8_t* data, std::size_t size, const std::string& name) {
  const Bytes bytes(data, size, name);
  if (size < 2) bytes.Fail("the file is too short");

  // A .bmp file starts with "BM" and a 14-byte file header; a packed DIB
  // starts with its info header.
  std::size_t info = 0;
  std::uint32_t pixelOffset = 0;
  if (data[0] == 'B' && data[1] == 'M') {
    pixelOffset = bytes.U32(10);
    info = 14;
  }

  Header h;
  h.headerSize = bytes.U32(info);
  switch (h.headerSize) {
    case 12:
      h.core = true;
      h.width = bytes.U16(info + 4);
      h.height = bytes.U16(info + 6);
      h.bitCount = bytes.U16(info + 10);
      break;
    case 16:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124:
      h.width = bytes.I32(info + 4);
      h.height = bytes.I32(info + 8);
      h.bitCount = bytes.U16(info + 14);
      if (h.headerSize >= 20) h.compression = bytes.U32(info + 16);
      if (h.headerSize >= 36) h.colorsUsed = bytes.U32(info + 32);
      break;
    default:
      bytes.Fail("unknown header size " + std::to_string(h.headerSize));
  }
  bytes.Need(info, h.headerSize, "the header is cut short");

  // The 64-byte OS/2 header numbers its compressions differently; only its
  // plain and RLE data are read.
  if (h.headerSize == 16 || h.headerSize == 64) {
    if (h.compression > kBiRle4) bytes.Fail("unsupported OS/2 compression");
  }
  if (h.compression == kBiJpeg || h.compression == kBiPng)
    bytes.Fail("embedded JPEG or PNG data is not supported");
  if (h.compression != kBiRgb && h.compression != kBiRle8 && h.compression != kBiRle4 &&
      h.compression != kBiBitfields && h.compression != kBiAlphaBitfields)
    bytes.Fail("unknown compression " + std::to_string(h.compression));
  switch (h.bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      bytes.Fail("unsupported " + std::to_string(h.bitCount) + " bits a pixel");
  }
  if ((h.compression == kBiRle8 && h.bitCount != 8) || (h.compression == kBiRle4 && h.bitCount != 4))
    bytes.Fail("compression does not match the bits a pixel");
  const bool fields = h.compression == kBiBitfields || h.compression == kBiAlphaBitfields;
  if (fields && h.bitCount != 16 && h.bitCount != 32) bytes.Fail("bit fields need 16 or 32 bits a pixel");
  const bool rle = h.compression == kBiRle8 || h.compression == kBiRle4;

  if (h.width <= 0) bytes.Fail("the width is not positive");
  if (h.height == 0) bytes.Fail("the height is zero");
  const bool topDown = h.height < 0;
  if (topDown && rle) bytes.Fail("compressed data cannot be top-down");
  const std::int64_t height = topDown ? -h.height : h.height;
  if (h.width > kMaxSide || height > kMaxSide ||
      std::uint64_t(h.width) * std::uint64_t(height) > kMaxPicturePixels)
    bytes.Fail("the picture is too large (" + std::to_string(h.width) + " x " + std::to_string(height) +
               " pixels)");

  // Bit-field masks: in the header from 52 bytes on, else right after it.
  std::size_t tableOffset = info + h.headerSize;
  if (fields) {
    if (h.headerSize >= 52) {
      for (int i = 0; i < 3; ++i) h.masks[std::size_t(i)] = bytes.U32(info + 40 + std::size_t(i) * 4);
    } else {
      for (int i = 0; i < 3; ++i) h.masks[std::size_t(i)] = bytes.U32(tableOffset + std::size_t(i) * 4);
      tableOffset += h.compression == kBiAlphaBitfields ? 16 : 12;
    }
    h.hasMasks = true;
  }

  // Colour table. Entries past the end of the data or past the count stay
  // black, so every index is safe to look up.
  Palette palette{};
  if (h.bitCount <= 8) {
    const std::size_t entry = h.core ? 3 : 4;
    std::size_t count = h.colorsUsed ? h.colorsUsed : (std::size_t(1) << h.bitCount);
    count = std::min<std::size_t>(count, 256);
    const std::size_t tableEnd = pixelOffset ? pixelOffset : size;
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t at = tableOffset + i * entry;
      if (!bytes.Has(at, entry) || at + entry > tableEnd) break;
      palette[i] = {bytes.At(at)[0], bytes.At(at)[1], bytes.At(at)[2]};
    }
    if (!pixelOffset) pixelOffset = std::uint32_t(tableOffset + count * entry);
  } else if (!pixelOffset) {
    // A packed DIB may carry an optional colour table before its pixels.
    pixelOffset = std::uint32_t(tableOffset + std::min<std::size_t>(h.colorsUsed, 256) * (h.core ? 3 : 4));
  }
  if (pixelOffset >= size) bytes.Fail("the pixel data lies past the end of the file");

  MemoryImage24 image(int(h.width), int(height));
  const int width = image.Width();
  const int rows = image.Height();

  if (rle) {
    DecodeRle(bytes, pixelOffset, size, h, palette, image);
    return image;
  }

  const std::uint64_t stride = ((std::uint64_t(h.width) * std::uint64_t(h.bitCount) + 31) / 32) * 4;
  if (stride * std::uint64_t(height) > size - pixelOffset) bytes.Fail("the pixel data is cut short");

  Channel red, green, blue;
  if (h.bitCount == 16 || h.bitCount == 32) {
    if (h.hasMasks) {
      red = Channel(h.masks[0]);
      green = Channel(h.masks[1]);
      blue = Channel(h.masks[2]);
    } else if (h.bitCount == 16) {
      red = Channel(0x7C00);
      green = Channel(0x03E0);
      blue = Channel(0x001F);
    } else {
      red = Channel(0xFF0000);
      green = Channel(0x00FF00);
      blue = Channel(0x0000FF);
    }
  }

  for (int r = 0; r < rows; ++r) {
    const std::uint8_t* src = data + pixelOffset + std::size_t(stride) * std::size_t(r);
    std::uint8_t* dst = image.Row(topDown ? r : rows - 1 - r);
    switch (h.bitCount) {
      case 1:
      case 4:
      case 8: {
        const int bits = h.bitCount;
        const int perByte = 8 / bits;
        const unsigned mask = (1u << bits) - 1;
        for (int x = 0; x < width; ++x) {
          const int shift = 8 - bits * (x % perByte + 1);
          const unsigned index = (src[x / perByte] >> shift) & mask;
          std::memcpy(dst + std::size_t(x) * 3, palette[index].data(), 3);
        }
        break;
      }
      case 16:
        for (int x = 0; x < width; ++x) {
          const std::uint32_t v = std::uint32_t(src[x * 2] | src[x * 2 + 1] << 8);
          dst[x * 3] = blue.Of(v);
          dst[x * 3 + 1] = green.Of(v);
          dst[x * 3 + 2] = red.Of(v);
        }
        break;
      case 24:
        std::memcpy(dst, src, std::size_t(width) * 3);
        break;
      case 32:
        if (!h.hasMasks) {
          for (int x = 0; x < width; ++x) std::memcpy(dst + std::size_t(x) * 3, src + std::size_t(x) * 4, 3);
          break;
        }
        for (int x = 0; x < width; ++x) {
          const std::uint8_t* p = src + std::size_t(x) * 4;
          const std::uint32_t v = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                                  std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
          dst[x * 3] = blue.Of(v);
          dst[x * 3 + 1] = green.Of(v);
          dst[x * 3 + 2] = red.Of(v);
        }
        break;
    }
  }
  return image;
}

std::vector<std::uint8_t> EncodeBmp(const Image24& image) {
  const std::uint32_t stride = std::uint32_t(image.Stride());
  const std::uint32_t pixels = stride * std::uint32_t(image.Height());
  std::vector<std::uint8_t> out(54 + std::size_t(pixels), 0);
  auto put16 = [&](std::size_t at, std::uint32_t v) {
    out[at] = std::uint8_t(v);
    out[at + 1] = std::uint8_t(v >> 8);
  };
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    put16(at, v);
    put16(at + 2, v >> 16);
  };
  out[0] = 'B';
  out[1] = 'M';
  put32(2, std::uint32_t(out.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, std::uint32_t(image.Width()));
  put32(22, std::uint32_t(image.Height()));
  put16(26, 1);
  put16(28, 24);
  put32(34, pixels);
  put32(38, 2835);  // 72 dots an inch
  put32(42, 2835);
  for (int y = 0; y < image.Height(); ++y)
    std::memcpy(&out[54 + std::size_t(image.Height() - 1 - y) * stride], image.Row(y), stride);
  return out;
}

std::shared_ptr<const BmpGraphic> BmpGraphic::FromBytes(const std::uint8_t* data, std::size_t size,
                                                        const std::string& name) {
  return std::make_shared<const BmpGraphic>(DecodeBmp(data, size, name));
}

std::shared_ptr<const BmpGraphic> BmpGraphic::FromFile(const std::string& path) {
  const std::vector<std::uint8_t> bytes = ReadPictureFile(path);
  return FromBytes(bytes.data(), bytes.size(), path);
}

std::shared_ptr<MemoryImage24> BmpGraphic::Render(int width, int height, const std::atomic<bool>* cancel) const {
  if (cancel && cancel->load(std::memory_order_relaxed)) return nullptr;
  auto image = std::make_shared<MemoryImage24>(width, height);
  Resample(image_, *image, Rect{0, 0, width, height});
  return image;
}

void BmpGraphic::RenderInto(Image24& target, const Rect& rect) const {
  if (rect.Width() == image_.Width() && rect.Height() == image_.Height())
    target.Draw(image_, rect.left, rect.top);
  else
    Resample(image_, target, rect);  // only the visible part, straight into the target
}

}  // namespace velmora
