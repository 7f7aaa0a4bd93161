#include "fade/Exif.h"

#include <gtest/gtest.h>

#include <string>

#include "fade/JpegGraphic.h"
#include "support/ExifSupport.h"

namespace velmora {
namespace {

using testing::ExifPayload;
using testing::TiffBytes;
using testing::WithApp1;

std::vector<std::uint8_t> SmallJpeg(int width, int height) {
  MemoryImage24 image(width, height);
  image.Fill(0x3366CC);
  return EncodeJpeg(image, 80);
}

enum class Thumb { None, Good, PastEnd, OffsetWraps, NotJpeg, LoopsBack };

TEST(Exif, ReadsOrientationAndThumbnailAndRefusesDamage) {
  struct Case {
    const char* name;
    bool le;
    unsigned type;  // of the orientation entry; 0: no entry
    std::uint32_t count, value;
    Thumb thumb;
    int orientation;
    bool hasThumb;
    int ifd0Count = -1;        // the entry count written, -1: the real one
    std::uint32_t ifd0At = 8;  // the first IFD's offset written
  };
  const Case cases[] = {
      {"little-endian 6", true, 3, 1, 6, Thumb::None, 6, false},
      {"big-endian 8", false, 3, 1, 8, Thumb::None, 8, false},
      {"LONG 5", false, 4, 1, 5, Thumb::None, 5, false},
      {"value 0", true, 3, 1, 0, Thumb::None, 1, false},
      {"value 9", false, 3, 1, 9, Thumb::None, 1, false},
      {"ASCII type", true, 2, 1, 6, Thumb::None, 1, false},
      {"two values", true, 3, 2, 6, Thumb::None, 1, false},
      {"thumbnail little-endian", true, 3, 1, 7, Thumb::Good, 7, true},
      {"thumbnail big-endian", false, 0, 0, 0, Thumb::Good, 1, true},
      {"thumbnail one byte past the segment", true, 3, 1, 6, Thumb::PastEnd, 6, false},
      {"thumbnail offset + length wraps", false, 3, 1, 6, Thumb::OffsetWraps, 6, false},
      {"thumbnail not a JPEG", true, 0, 0, 0, Thumb::NotJpeg, 1, false},
      {"IFD1 links back to IFD0", true, 3, 1, 2, Thumb::LoopsBack, 2, true},
      {"IFD0 entry count past the segment", true, 3, 1, 6, Thumb::None, 1, false, 0xFFFF},
      {"IFD0 offset past the segment", false, 3, 1, 6, Thumb::None, 1, false, -1, 0xFFFFFFF0u},
      {"IFD0 offset inside the header", true, 3, 1, 6, Thumb::None, 1, false, -1, 4},
  };
  const std::vector<std::uint8_t> base = SmallJpeg(16, 8);
  const std::vector<std::uint8_t> thumb = SmallJpeg(10, 6);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TiffBytes t(c.le);
    t.bytes.resize(4);
    t.U32(c.ifd0At);
    const std::uint32_t entries = c.type ? 1 : 0;
    t.U16(c.ifd0Count >= 0 ? unsigned(c.ifd0Count) : entries);
    if (c.type) t.Entry(0x0112, c.type, c.count, c.value);
    const std::uint32_t ifd1At = c.thumb == Thumb::None ? 0 : 8 + 2 + 12 * entries + 4;
    t.U32(ifd1At);
    if (c.thumb != Thumb::None) {
      const bool wraps = c.thumb == Thumb::OffsetWraps;
      t.U16(2);
      t.Entry(0x0201, 4, 1, wraps ? 0xFFFFFFF0u : ifd1At + 2 + 24 + 4);
      t.Entry(0x0202, 4, 1, wraps ? 0x20 : std::uint32_t(thumb.size() + (c.thumb == Thumb::PastEnd)));
      t.U32(c.thumb == Thumb::LoopsBack ? 8 : 0);
      t.bytes.insert(t.bytes.end(), thumb.begin(), thumb.end());
      if (c.thumb == Thumb::NotJpeg) t.bytes[t.bytes.size() - thumb.size()] = 0;
    }
    const auto file = WithApp1(base, ExifPayload(t));
    const ExifInfo info = ReadExif(file);
    EXPECT_EQ(info.orientation, c.orientation);
    ASSERT_EQ(info.HasThumbnail(), c.hasThumb);
    if (!c.hasThumb) continue;
    ASSERT_EQ(info.thumbnailLength, thumb.size());
    ASSERT_LE(info.thumbnailOffset + info.thumbnailLength, file.size());
    EXPECT_TRUE(std::equal(thumb.begin(), thumb.end(), file.begin() + std::ptrdiff_t(info.thumbnailOffset)));
    EXPECT_EQ(ReadJpegFrameSize(file.data() + info.thumbnailOffset, info.thumbnailLength), (PictureSize{10, 6}));
  }
}

TEST(Exif, FindsTheSegmentAmongTheMarkersOrGivesDefaults) {
  const std::vector<std::uint8_t> base = SmallJpeg(16, 8);
  const std::vector<std::uint8_t> tagged = testing::WithOrientation(base, 6);
  const std::string xmp = "http://ns.adobe.com/xap/1.0/";
  auto edited = [&](auto edit) {
    std::vector<std::uint8_t> bytes = tagged;
    edit(bytes);
    return bytes;
  };
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    int orientation;
  };
  const std::vector<Case> cases = {
      {"after an XMP segment", WithApp1(tagged, std::vector<std::uint8_t>(xmp.begin(), xmp.end())), 6},
      {"after fill bytes", edited([](auto& b) { b.insert(b.begin() + 2, {0xFF, 0xFF}); }), 6},
      {"segment shorter than its IFD", edited([](auto& b) { b[5] = 6 + 2 + 8 + 2; }), 1},
      {"file ends inside the segment", edited([](auto& b) { b.resize(20); }), 1},
      {"bad TIFF magic", edited([](auto& b) { b[14] = 43; }), 1},
      {"not a JPEG", std::vector<std::uint8_t>(tagged.begin() + 2, tagged.end()), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReadExif(c.bytes).orientation, c.orientation);
  }
  EXPECT_EQ(ReadExif(nullptr, 10).orientation, 1);
}

// A 3 x 2 picture of six different pixels A..F (stored rows "ABC", "DEF"),
// and how each orientation shows it.
TEST(Exif, OrientImageTurnsEveryOrientation) {
  const TColor px[6] = {0x010203, 0x111213, 0x212223, 0x313233, 0x414243, 0x515253};
  MemoryImage24 stored(3, 2);
  for (int i = 0; i < 6; ++i) stored.FillRect(Rect{i % 3, i / 3, i % 3 + 1, i / 3 + 1}, px[i]);
  struct Case {
    int orientation, width;
    const char* rows;  // upright pixels, row by row
  };
  const Case cases[] = {{1, 3, "ABCDEF"}, {2, 3, "CBAFED"}, {3, 3, "FEDCBA"}, {4, 3, "DEFABC"}, {5, 2, "ADBECF"},
                        {6, 2, "DAEBFC"}, {7, 2, "FCEBDA"}, {8, 2, "CFBEAD"}, {0, 3, "ABCDEF"}, {9, 3, "ABCDEF"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.orientation);
    MemoryImage24 upright;
    OrientImage(stored, c.orientation, upright);
    ASSERT_EQ(upright.Width(), c.width);
    ASSERT_EQ(upright.Height(), 6 / c.width);
    EXPECT_EQ(OrientedSize(c.orientation, 3, 2), (PictureSize{c.width, 6 / c.width}));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(upright.PixelAt(i % c.width, i / c.width), px[c.rows[i] - 'A']) << i;
  }
}

}  // namespace
}  // namespace velmora
