// JPEG pictures drawn upright by their Exif orientation, and decoded ahead
// of a draw (Prepare), also cancelled.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "fade/Exif.h"
#include "fade/JpegGraphic.h"
#include "support/ExifSupport.h"
#include "support/FakeFade.h"

namespace velmora {
namespace {

using testing::SamePixels;

// 48 x 32, six 16 x 16 blocks of different colours: no turn or mirror of it
// looks like another.
std::vector<std::uint8_t> Asymmetric(bool progressive) {
  const TColor colours[6] = {0x2040E0, 0x20C020, 0xE02020, 0xE0E020, 0x20E0E0, 0x808080};
  MemoryImage24 image(48, 32);
  for (int i = 0; i < 6; ++i) image.FillRect(Rect{i % 3 * 16, i / 3 * 16, i % 3 * 16 + 16, i / 3 * 16 + 16}, colours[i]);
  return EncodeJpeg(image, 100, progressive);
}

MemoryImage24 Upright(const MemoryImage24& stored, int orientation) {
  MemoryImage24 upright;
  OrientImage(stored, orientation, upright);
  return upright;
}

TEST(JpegOrientation, DrawsUprightAtEverySizeAndDamagedSegmentsChangeNothing) {
  const std::vector<std::uint8_t> plain = Asymmetric(false), progressive = Asymmetric(true);
  std::vector<std::uint8_t> countPastEnd = testing::WithOrientation(plain, 6);
  countPastEnd[20] = countPastEnd[21] = 0xFF;  // IFD0's entry count
  struct Case {
    std::string name;
    std::vector<std::uint8_t> bytes, untagged;
    int orientation;
  };
  std::vector<Case> cases;
  for (int o = 1; o <= 8; ++o) cases.push_back({"tag " + std::to_string(o), testing::WithOrientation(plain, o, o % 2), plain, o});
  cases.push_back({"progressive, tag 6", testing::WithOrientation(progressive, 6), progressive, 6});
  cases.push_back({"entry count past the segment", countPastEnd, plain, 1});
  cases.push_back({"TIFF cut short", testing::WithApp1(plain, {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8}), plain, 1});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto stored = JpegGraphic::FromBytes(c.untagged);
    MemoryImage24 storedNatural(48, 32), storedHalf(24, 16);
    stored->Draw(storedNatural, 0, 0);
    stored->StretchDraw(storedHalf, Rect{0, 0, 24, 16});

    const auto graphic = JpegGraphic::FromBytes(c.bytes);
    EXPECT_EQ(graphic->Orientation(), c.orientation);
    const PictureSize size = OrientedSize(c.orientation, 48, 32);
    ASSERT_EQ(graphic->Width(), size.width);
    ASSERT_EQ(graphic->Height(), size.height);
    const MemoryImage24 expectNatural = Upright(storedNatural, c.orientation);
    MemoryImage24 natural(size.width, size.height);
    graphic->Draw(natural, 0, 0);
    EXPECT_TRUE(SamePixels(natural, expectNatural));
    // Clipped on two sides.
    MemoryImage24 clipped(size.width - 5, size.height - 2), expectClipped(size.width - 5, size.height - 2);
    graphic->Draw(clipped, -3, 4);
    expectClipped.Draw(expectNatural, -3, 4);
    EXPECT_TRUE(SamePixels(clipped, expectClipped));

    // Halved: drawn at once, decoded ahead, and decoded ahead but cancelled.
    const MemoryImage24 expectHalf = Upright(storedHalf, c.orientation);
    const Rect half{0, 0, size.width / 2, size.height / 2};
    const auto ahead = JpegGraphic::FromBytes(c.bytes), cancelled = JpegGraphic::FromBytes(c.bytes);
    std::atomic<bool> cancel{false};
    EXPECT_TRUE(ahead->Prepare(half.right, half.bottom, &cancel));
    EXPECT_TRUE(ahead->Keeps(half.right, half.bottom));
    cancel = true;
    EXPECT_FALSE(cancelled->Prepare(half.right, half.bottom, &cancel));
    EXPECT_FALSE(cancelled->Keeps(half.right, half.bottom));
    for (const auto& g : {graphic, ahead, cancelled}) {
      MemoryImage24 drawn(half.right, half.bottom);
      g->StretchDraw(drawn, half);
      EXPECT_TRUE(SamePixels(drawn, expectHalf));
    }
  }
}

}  // namespace
}  // namespace velmora
