#include "platform/IconGraphicWin32.h"

#include "fade/PictureLoader.h"
#include "platform/DibImageWin32.h"

namespace velmora {
namespace {

std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint16_t(b[at] | b[at + 1] << 8);
}
std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint32_t(U16(b, at)) | std::uint32_t(U16(b, at + 2)) << 16;
}

}  // namespace

std::shared_ptr<const IconGraphic> IconGraphic::FromBytes(const std::vector<std::uint8_t>& bytes,
                                                          const std::string& name) {
  auto fail = [&](const char* what) { return EPictureError(name + ": not a readable icon (" + what + ")"); };
  // ICONDIR: reserved 0, type 1, count; then 16-byte entries.
  if (bytes.size() < 6 || U16(bytes, 0) != 0 || U16(bytes, 2) != 1) throw fail("unknown format");
  const std::size_t count = U16(bytes, 4);
  if (count == 0) throw fail("no images");
  if (bytes.size() < 6 + count * 16) throw fail("cut short");

  std::size_t best = count;
  long long bestArea = -1;
  int bestBits = -1;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = 6 + i * 16;
    const int w = bytes[at] ? bytes[at] : 256;
    const int h = bytes[at + 1] ? bytes[at + 1] : 256;
    const int bits = U16(bytes, at + 6);
    const std::uint32_t size = U32(bytes, at + 8);
    const std::uint32_t offset = U32(bytes, at + 12);
    if (size == 0 || offset > bytes.size() || size > bytes.size() - offset) continue;
    const long long area = static_cast<long long>(w) * h;
    if (area > bestArea || (area == bestArea && bits > bestBits)) {
      best = i;
      bestArea = area;
      bestBits = bits;
    }
  }
  if (best == count) throw fail("every image lies past the end of the file");
  const std::size_t at = 6 + best * 16;
  const int width = bytes[at] ? bytes[at] : 256;
  const int height = bytes[at + 1] ? bytes[at + 1] : 256;
  const std::uint32_t size = U32(bytes, at + 8);
  const std::uint32_t offset = U32(bytes, at + 12);
  // CreateIconFromResourceEx reads the image data (a DIB or a PNG); it wants
  // writable memory, so it gets a copy.
  std::vector<std::uint8_t> image(bytes.begin() + std::ptrdiff_t(offset),
                                  bytes.begin() + std::ptrdiff_t(offset + size));
  UniqueIcon icon(::CreateIconFromResourceEx(image.data(), DWORD(image.size()), TRUE, 0x00030000, width,
                                             height, LR_DEFAULTCOLOR));
  if (!icon) throw fail("damaged image data");
  return std::make_shared<const IconGraphic>(std::move(icon), width, height);
}

std::shared_ptr<const IconGraphic> IconGraphic::FromFile(const std::string& path) {
  return FromBytes(ReadPictureFile(path), path);
}

IconGraphic::IconGraphic(UniqueIcon icon, int width, int height)
    : icon_(std::move(icon)), width_(width), height_(height) {}

void IconGraphic::Draw(Image24& target, int x, int y) const {
  StretchDraw(target, Rect{x, y, x + width_, y + height_});
}

void IconGraphic::StretchDraw(Image24& target, const Rect& rect) const {
  if (rect.Width() <= 0 || rect.Height() <= 0) return;
  DrawWithGdi(target, [&](HDC dc) {
    ::DrawIconEx(dc, rect.left, rect.top, icon_.get(), rect.Width(), rect.Height(), 0, nullptr, DI_NORMAL);
  });
}

}  // namespace velmora
