// JPEG pictures drawn upright by their Exif orientation, and decoded ahead
// of a draw (Prepare), with and without cancelling.
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
using testing::WithApp1;
using testing::WithOrientation;

// 48 x 32, six 16 x 16 blocks of different colours: no turn or mirror of it
// looks like another. Quality 100 keeps the blocks apart.
std::vector<std::uint8_t> Asymmetric(bool progressive = false) {
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

TEST(JpegOrientation, EveryOrientationDrawsUprightAndDamagedSegmentsChangeNothing) {
  const std::vector<std::uint8_t> plainBytes = Asymmetric();
  const auto plain = JpegGraphic::FromBytes(plainBytes);
  std::vector<std::uint8_t> truncatedTiff{'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1};
  std::vector<std::uint8_t> countOverflow = WithOrientation(plainBytes, 6);
  countOverflow[2 + 4 + 6 + 8] = 0xFF;  // IFD0's entry count, low byte
  countOverflow[2 + 4 + 6 + 9] = 0xFF;

  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    int orientation;
  };
  std::vector<Case> cases;
  for (int o = 1; o <= 8; ++o)
    cases.push_back({"tagged", WithOrientation(plainBytes, o, o % 2 == 1), o});
  cases.push_back({"value 0", WithOrientation(plainBytes, 0), 1});
  cases.push_back({"TIFF cut short", WithApp1(plainBytes, truncatedTiff), 1});
  cases.push_back({"IFD entry count past the segment", countOverflow, 1});

  // The untagged picture decoded as stored, natural size and halved.
  MemoryImage24 storedNatural(48, 32), storedHalf(24, 16);
  plain->Draw(storedNatural, 0, 0);
  plain->StretchDraw(storedHalf, Rect{0, 0, 24, 16});

  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.orientation));
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
    clipped.Fill(kWhite);
    expectClipped.Fill(kWhite);
    graphic->Draw(clipped, -3, 4);
    expectClipped.Draw(expectNatural, -3, 4);
    EXPECT_TRUE(SamePixels(clipped, expectClipped));

    MemoryImage24 half(size.width / 2, size.height / 2);
    graphic->StretchDraw(half, Rect{0, 0, size.width / 2, size.height / 2});
    EXPECT_TRUE(SamePixels(half, Upright(storedHalf, c.orientation)));
  }
}

TEST(JpegOrientation, PrepareKeepsWhatTheDrawWouldMakeAndCancelledKeepsNothing) {
  const std::vector<std::uint8_t> baseline = Asymmetric();
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    int width, height;  // the drawn size, upright
  };
  const std::vector<Case> cases = {
      {"reduced", baseline, 20, 13},
      {"enlarged", baseline, 70, 50},
      {"natural size", baseline, 48, 32},
      {"progressive", Asymmetric(true), 30, 20},
      {"turned", WithOrientation(baseline, 6), 16, 24},
      {"turned, natural size", WithOrientation(baseline, 8), 32, 48},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Rect rect{0, 0, c.width, c.height};
    MemoryImage24 onTheSpot(c.width, c.height);
    JpegGraphic::FromBytes(c.bytes)->StretchDraw(onTheSpot, rect);

    const auto prepared = JpegGraphic::FromBytes(c.bytes);
    std::atomic<bool> cancel{false};
    EXPECT_TRUE(prepared->Prepare(c.width, c.height, &cancel));
    EXPECT_TRUE(prepared->Keeps(c.width, c.height));
    MemoryImage24 drawn(c.width, c.height);
    prepared->StretchDraw(drawn, rect);
    EXPECT_TRUE(SamePixels(drawn, onTheSpot));

    const auto cancelled = JpegGraphic::FromBytes(c.bytes);
    cancel = true;
    EXPECT_FALSE(cancelled->Prepare(c.width, c.height, &cancel));
    EXPECT_FALSE(cancelled->Keeps(c.width, c.height));
    MemoryImage24 afterCancel(c.width, c.height);
    cancelled->StretchDraw(afterCancel, rect);
    EXPECT_TRUE(SamePixels(afterCancel, onTheSpot));
  }
}

}  // namespace
}  // namespace velmora
