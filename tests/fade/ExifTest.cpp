#include "fade/Exif.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "fade/JpegGraphic.h"

namespace velmora {
namespace {

// Builds the TIFF part of an Exif segment in either byte order.
class TiffWriter {
 public:
  explicit TiffWriter(bool littleEndian) : le_(littleEndian) {
    bytes_ = le_ ? std::vector<std::uint8_t>{'I', 'I'} : std::vector<std::uint8_t>{'M', 'M'};
    U16(42);
    U32(8);
  }
  void U16(unsigned v) {
    if (le_) bytes_.insert(bytes_.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
    else bytes_.insert(bytes_.end(), {std::uint8_t(v >> 8), std::uint8_t(v)});
  }
  void U32(std::uint32_t v) {
    if (le_) bytes_.insert(bytes_.end(), {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)});
    else bytes_.insert(bytes_.end(), {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)});
  }
  struct Entry {
    unsigned tag, type;
    std::uint32_t count, value;
  };
  // An IFD at the end; its value of a SHORT sits in the first two bytes.
  void Ifd(const std::vector<Entry>& entries, std::uint32_t next, int countOverride = -1) {
    U16(countOverride >= 0 ? unsigned(countOverride) : unsigned(entries.size()));
    for (const Entry& e : entries) {
      U16(e.tag);
      U16(e.type);
      U32(e.count);
      if (e.type == 3) {
        U16(e.value);
        U16(0);
      } else {
        U32(e.value);
      }
    }
    U32(next);
  }
  std::size_t Size() const { return bytes_.size(); }
  void Append(const std::vector<std::uint8_t>& more) { bytes_.insert(bytes_.end(), more.begin(), more.end()); }
  std::vector<std::uint8_t>& Bytes() { return bytes_; }

 private:
  bool le_;
  std::vector<std::uint8_t> bytes_;
};

std::vector<std::uint8_t> SmallJpeg(int width, int height) {
  MemoryImage24 image(width, height);
  image.Fill(0x3366CC);
  return EncodeJpeg(image, 80);
}

// A JPEG with the given segments (marker, payload) right after its SOI.
std::vector<std::uint8_t> WithSegments(const std::vector<std::uint8_t>& jpeg,
                                       const std::vector<std::pair<int, std::vector<std::uint8_t>>>& segments) {
  std::vector<std::uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
  for (const auto& [marker, payload] : segments) {
    const std::size_t length = payload.size() + 2;
    out.insert(out.end(), {0xFF, std::uint8_t(marker), std::uint8_t(length >> 8), std::uint8_t(length)});
    out.insert(out.end(), payload.begin(), payload.end());
  }
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

std::vector<std::uint8_t> ExifPayload(const std::vector<std::uint8_t>& tiff) {
  // Sized once: GCC 12 at -O3 warns falsely about growing a vector made
  // from a braced list.
  static constexpr std::uint8_t kExifId[] = {'E', 'x', 'i', 'f', 0, 0};
  std::vector<std::uint8_t> payload(sizeof kExifId + tiff.size());
  std::copy(std::begin(kExifId), std::end(kExifId), payload.begin());
  std::copy(tiff.begin(), tiff.end(), payload.begin() + sizeof kExifId);
  return payload;
}

enum class Thumb { None, Good, PastEnd, OffsetWraps, NotJpeg, LoopBack };

struct ExifCase {
  const char* name;
  bool littleEndian;
  std::vector<TiffWriter::Entry> ifd0;
  Thumb thumb;
  int expectOrientation;
  bool expectThumb;
  int ifd0CountOverride = -1;
  std::uint32_t firstIfdOverride = 0;
};

// Writes: header, IFD0 at 8, then IFD1 (if any), then the thumbnail bytes.
std::vector<std::uint8_t> BuildTiff(const ExifCase& c, const std::vector<std::uint8_t>& thumb) {
  TiffWriter w(c.littleEndian);
  const std::uint32_t ifd0Size = 2 + std::uint32_t(c.ifd0.size()) * 12 + 4;
  const std::uint32_t ifd1At = c.thumb == Thumb::None ? 0 : 8 + ifd0Size;
  w.Ifd(c.ifd0, ifd1At, c.ifd0CountOverride);
  if (c.thumb != Thumb::None) {
    const std::uint32_t thumbAt = ifd1At + 2 + 2 * 12 + 4;
    std::uint32_t offset = thumbAt, length = std::uint32_t(thumb.size()), next = 0;
    if (c.thumb == Thumb::PastEnd) length += 1;
    if (c.thumb == Thumb::OffsetWraps) offset = 0xFFFFFFF0u, length = 0x20;
    if (c.thumb == Thumb::LoopBack) next = 8;
    w.Ifd({{0x0201, 4, 1, offset}, {0x0202, 4, 1, length}}, next);
    std::vector<std::uint8_t> body = thumb;
    if (c.thumb == Thumb::NotJpeg) body[0] = 0;
    w.Append(body);
  }
  if (c.firstIfdOverride != 0) {
    auto& b = w.Bytes();
    const std::uint32_t v = c.firstIfdOverride;
    if (c.littleEndian) b[4] = std::uint8_t(v), b[5] = std::uint8_t(v >> 8), b[6] = std::uint8_t(v >> 16), b[7] = std::uint8_t(v >> 24);
    else b[4] = std::uint8_t(v >> 24), b[5] = std::uint8_t(v >> 16), b[6] = std::uint8_t(v >> 8), b[7] = std::uint8_t(v);
  }
  return w.Bytes();
}

TEST(Exif, ReadsOrientationAndThumbnailAndRefusesDamage) {
  const TiffWriter::Entry other{0x010F, 2, 4, 0x41424300};  // Make, ASCII
  const std::vector<ExifCase> cases = {
      {"little-endian 6", true, {other, {0x0112, 3, 1, 6}}, Thumb::None, 6, false},
      {"big-endian 8", false, {{0x0112, 3, 1, 8}, other}, Thumb::None, 8, false},
      {"big-endian 3", false, {{0x0112, 3, 1, 3}}, Thumb::None, 3, false},
      {"LONG value", true, {{0x0112, 4, 1, 5}}, Thumb::None, 5, false},
      {"value 0", true, {{0x0112, 3, 1, 0}}, Thumb::None, 1, false},
      {"value 9", false, {{0x0112, 3, 1, 9}}, Thumb::None, 1, false},
      {"wrong type", true, {{0x0112, 2, 1, 6}}, Thumb::None, 1, false},
      {"two values", true, {{0x0112, 3, 2, 6}}, Thumb::None, 1, false},
      {"thumbnail little-endian", true, {{0x0112, 3, 1, 7}}, Thumb::Good, 7, true},
      {"thumbnail big-endian", false, {}, Thumb::Good, 1, true},
      {"thumbnail past the segment", true, {{0x0112, 3, 1, 6}}, Thumb::PastEnd, 6, false},
      {"thumbnail offset wraps", false, {{0x0112, 3, 1, 6}}, Thumb::OffsetWraps, 6, false},
      {"thumbnail not a JPEG", true, {}, Thumb::NotJpeg, 1, false},
      {"IFD1 links back to IFD0", true, {{0x0112, 3, 1, 2}}, Thumb::LoopBack, 2, true},
      {"IFD0 count overflows", true, {{0x0112, 3, 1, 6}}, Thumb::None, 1, false, 0xFFFF},
      {"IFD0 offset out of range", false, {{0x0112, 3, 1, 6}}, Thumb::None, 1, false, -1, 0xFFFFFFF0u},
      {"IFD0 offset inside header", true, {{0x0112, 3, 1, 6}}, Thumb::None, 1, false, -1, 4},
  };
  const std::vector<std::uint8_t> base = SmallJpeg(16, 8);
  const std::vector<std::uint8_t> thumb = SmallJpeg(10, 6);
  for (const ExifCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto file = WithSegments(base, {{0xE1, ExifPayload(BuildTiff(c, thumb))}});
    const ExifInfo info = ReadExif(file);
    EXPECT_EQ(info.orientation, c.expectOrientation);
    ASSERT_EQ(info.HasThumbnail(), c.expectThumb);
    if (!c.expectThumb) continue;
    ASSERT_EQ(info.thumbnailLength, thumb.size());
    ASSERT_LE(info.thumbnailOffset + info.thumbnailLength, file.size());
    EXPECT_TRUE(std::equal(thumb.begin(), thumb.end(), file.begin() + std::ptrdiff_t(info.thumbnailOffset)));
    EXPECT_EQ(ReadJpegFrameSize(file.data() + info.thumbnailOffset, info.thumbnailLength), (PictureSize{10, 6}));
  }
}

TEST(Exif, FindsTheSegmentOrGivesDefaults) {
  const std::vector<std::uint8_t> base = SmallJpeg(16, 8);
  TiffWriter w(true);
  w.Ifd({{0x0112, 3, 1, 6}}, 0);
  const std::vector<std::uint8_t> exif = ExifPayload(w.Bytes());
  const std::string xmpName = "http://ns.adobe.com/xap/1.0/";
  const std::vector<std::uint8_t> xmp(xmpName.begin(), xmpName.end());
  const std::vector<std::uint8_t> jfif{'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};

  std::vector<std::uint8_t> withFill = WithSegments(base, {{0xE1, exif}});
  withFill.insert(withFill.begin() + 2, {0xFF, 0xFF});  // fill bytes before the marker
  std::vector<std::uint8_t> lengthTooShort = WithSegments(base, {{0xE1, exif}});
  lengthTooShort[5] = 6 + 2 + 8;  // the segment ends inside the IFD
  std::vector<std::uint8_t> lengthPastEnd = WithSegments(base, {{0xE1, exif}});
  lengthPastEnd.resize(2 + 4 + exif.size() - 3);  // truncated inside the segment
  std::vector<std::uint8_t> badMagic = WithSegments(base, {{0xE1, exif}});
  badMagic[4 + 6 + 2] = 43;  // "II" + 43
  std::vector<std::uint8_t> afterScan = base;  // Exif after the image data is not looked at
  afterScan.insert(afterScan.end() - 2, {0xFF, 0xE1, 0, std::uint8_t(exif.size() + 2)});
  afterScan.insert(afterScan.end() - 2, exif.begin(), exif.end());

  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    int orientation;
  };
  const std::vector<Case> cases = {
      {"after JFIF and XMP", WithSegments(base, {{0xE0, jfif}, {0xE1, xmp}, {0xE1, exif}}), 6},
      {"fill bytes", withFill, 6},
      {"no Exif", WithSegments(base, {{0xE0, jfif}}), 1},
      {"segment shorter than its IFD", lengthTooShort, 1},
      {"file ends inside the segment", lengthPastEnd, 1},
      {"bad TIFF magic", badMagic, 1},
      {"after the scan", afterScan, 1},
      {"not a JPEG", std::vector<std::uint8_t>(exif.begin(), exif.end()), 1},
      {"empty", {}, 1},
      {"SOI only", {0xFF, 0xD8}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ExifInfo info = ReadExif(c.bytes);
    EXPECT_EQ(info.orientation, c.orientation);
    EXPECT_FALSE(info.HasThumbnail());
  }
  EXPECT_EQ(ReadExif(nullptr, 10).orientation, 1);
}

TEST(Exif, FrameSizeFromTheHeader) {
  const std::vector<std::uint8_t> wide = SmallJpeg(33, 7);
  const auto progressive = EncodeJpeg(MemoryImage24(5, 40), 70, true);
  std::vector<std::uint8_t> zeroHeight = wide;
  for (std::size_t i = 2; i + 8 < zeroHeight.size(); ++i)
    if (zeroHeight[i] == 0xFF && zeroHeight[i + 1] == 0xC0) {
      zeroHeight[i + 5] = zeroHeight[i + 6] = 0;
      break;
    }
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::optional<PictureSize> size;
  };
  const std::vector<Case> cases = {
      {"baseline", wide, PictureSize{33, 7}},
      {"progressive", progressive, PictureSize{5, 40}},
      {"zero height", zeroHeight, std::nullopt},
      {"cut before the frame header", std::vector<std::uint8_t>(wide.begin(), wide.begin() + 22), std::nullopt},
      {"not a JPEG", {0x89, 'P', 'N', 'G'}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ReadJpegFrameSize(c.bytes.data(), c.bytes.size()), c.size);
  }
}

// A 3 x 2 picture of six different pixels A..F (stored rows "ABC", "DEF"),
// and how each orientation shows it.
TEST(Exif, OrientImageTurnsEveryOrientation) {
  const TColor px[6] = {0x010203, 0x111213, 0x212223, 0x313233, 0x414243, 0x515253};
  MemoryImage24 stored(3, 2);
  for (int i = 0; i < 6; ++i) stored.FillRect(Rect{i % 3, i / 3, i % 3 + 1, i / 3 + 1}, px[i]);
  struct Case {
    int orientation;
    int width, height;
    const char* rows;  // upright pixels, row by row
  };
  const Case cases[] = {
      {1, 3, 2, "ABCDEF"}, {2, 3, 2, "CBAFED"}, {3, 3, 2, "FEDCBA"}, {4, 3, 2, "DEFABC"},
      {5, 2, 3, "ADBECF"}, {6, 2, 3, "DAEBFC"}, {7, 2, 3, "FCEBDA"}, {8, 2, 3, "CFBEAD"},
      {0, 3, 2, "ABCDEF"}, {9, 3, 2, "ABCDEF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.orientation);
    MemoryImage24 upright;
    OrientImage(stored, c.orientation, upright);
    ASSERT_EQ(upright.Width(), c.width);
    ASSERT_EQ(upright.Height(), c.height);
    EXPECT_EQ(OrientedSize(c.orientation, 3, 2), (PictureSize{c.width, c.height}));
    for (int i = 0; i < 6; ++i)
      EXPECT_EQ(upright.PixelAt(i % c.width, i / c.width), px[c.rows[i] - 'A']) << "pixel " << i;
    MemoryImage24 inPlace = stored;
    MakeUpright(inPlace, c.orientation);
    EXPECT_EQ(inPlace.Width(), c.width);
    EXPECT_TRUE(std::equal(inPlace.Bits(), inPlace.Bits() + inPlace.ByteSize(), upright.Bits()));
  }
}

}  // namespace
}  // namespace velmora
