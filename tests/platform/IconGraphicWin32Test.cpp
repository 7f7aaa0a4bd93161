#include "platform/IconGraphicWin32.h"

#include <gtest/gtest.h>

#include "fade/PictureLoader.h"
#include "platform/DibImageWin32.h"

namespace velmora {
namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(std::uint8_t(v));
  out.push_back(std::uint8_t(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v);
  Put16(out, v >> 16);
}

// The image data of one 32-bit icon entry: a DIB of twice the height (colour
// rows, then the 1-bit AND mask), bottom-up. Pixels in the top-left
// `clear` x `clear` square are transparent.
std::vector<std::uint8_t> IconImage(int size, std::uint32_t bgr, int clear) {
  std::vector<std::uint8_t> out;
  Put32(out, 40);
  Put32(out, std::uint32_t(size));
  Put32(out, std::uint32_t(size * 2));
  Put16(out, 1);
  Put16(out, 32);
  for (int i = 0; i < 6; ++i) Put32(out, 0);
  for (int row = size - 1; row >= 0; --row)
    for (int x = 0; x < size; ++x) {
      const bool transparent = row < clear && x < clear;
      Put32(out, transparent ? 0 : (bgr | 0xFF000000u));
    }
  const int maskStride = (size + 31) / 32 * 4;
  for (int row = size - 1; row >= 0; --row) {
    std::vector<std::uint8_t> mask(std::size_t(maskStride), 0);
    for (int x = 0; x < size; ++x)
      if (row < clear && x < clear) mask[std::size_t(x / 8)] |= std::uint8_t(0x80 >> (x % 8));
    out.insert(out.end(), mask.begin(), mask.end());
  }
  return out;
}

// An .ico file with a 16 x 16 green and a 32 x 32 red image.
std::vector<std::uint8_t> IconFile() {
  const std::vector<std::uint8_t> small = IconImage(16, 0x00FF00, 0);
  const std::vector<std::uint8_t> large = IconImage(32, 0xFF0000, 8);  // stored as a little-endian word: bytes 00 00 FF
  std::vector<std::uint8_t> out;
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, 2);
  std::uint32_t offset = 6 + 2 * 16;
  for (const auto* image : {&small, &large}) {
    const int size = image == &small ? 16 : 32;
    out.push_back(std::uint8_t(size));
    out.push_back(std::uint8_t(size));
    out.push_back(0);
    out.push_back(0);
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, std::uint32_t(image->size()));
    Put32(out, offset);
    offset += std::uint32_t(image->size());
  }
  out.insert(out.end(), small.begin(), small.end());
  out.insert(out.end(), large.begin(), large.end());
  return out;
}

TEST(IconGraphicWin32Test, TakesTheLargestImageAndKeepsWhatIsBeneathItsMask) {
  const auto icon = IconGraphic::FromBytes(IconFile(), "test.ico");
  EXPECT_EQ(icon->Kind(), GraphicKind::Icon);
  EXPECT_EQ(icon->Width(), 32);
  EXPECT_EQ(icon->Height(), 32);

  DibImage target(40, 40);
  target.Fill(kWhite);
  icon->Draw(target, 4, 4);
  // The large image is 0xFF0000 as blue-green-red bytes 00 00 FF: red.
  EXPECT_EQ(target.PixelAt(4 + 20, 4 + 20), 0x0000FFu);
  EXPECT_EQ(target.PixelAt(4 + 2, 4 + 2), kWhite);  // transparent corner
  EXPECT_EQ(target.PixelAt(1, 1), kWhite);          // outside

  MemoryImage24 memory(64, 64);
  memory.Fill(kBlack);
  icon->StretchDraw(memory, Rect{0, 0, 64, 64});
  EXPECT_EQ(memory.PixelAt(50, 50), 0x0000FFu);
  EXPECT_EQ(memory.PixelAt(5, 5), kBlack);
}

TEST(IconGraphicWin32Test, DamagedIconsAreRefused) {
  std::vector<std::uint8_t> bytes = IconFile();
  EXPECT_THROW(IconGraphic::FromBytes({}, "x.ico"), EPictureError);
  EXPECT_THROW(IconGraphic::FromBytes({0, 0, 1, 0, 0, 0}, "x.ico"), EPictureError);
  std::vector<std::uint8_t> directoryOnly(bytes.begin(), bytes.begin() + 38);
  EXPECT_THROW(IconGraphic::FromBytes(directoryOnly, "x.ico"), EPictureError);
  std::vector<std::uint8_t> wrongType = bytes;
  wrongType[2] = 2;  // a cursor file
  EXPECT_THROW(IconGraphic::FromBytes(wrongType, "x.ico"), EPictureError);
}

}  // namespace
}  // namespace velmora
