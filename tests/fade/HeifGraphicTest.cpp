#include "fade/HeifGraphic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

#include "fade/BmpGraphic.h"
#include "fade/Exif.h"
#include "fade/HevcDecoder.h"
#include "fade/PictureLoader.h"
#include "fade/Resample.h"
#include "support/HeifSupport.h"

namespace velmora {
namespace {

std::string DataPath(const char* name) { return std::string(VELMORA_TEST_DATA_DIR) + "/pictures/" + name; }

// Mean difference of the colour channels of two same-sized images, and the
// share of channels more than 32 apart.
struct Difference {
  double mean = 0;
  double far = 0;
};
Difference Compare(const Image24& a, const Image24& b) {
  Difference d;
  if (a.Width() != b.Width() || a.Height() != b.Height()) return Difference{255, 1};
  long long sum = 0, far = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int i = 0; i < a.Width() * 3; ++i) {
      const int diff = std::abs(int(a.Row(y)[i]) - int(b.Row(y)[i]));
      sum += diff;
      far += diff > 32;
    }
  d.mean = double(sum) / (double(a.Width()) * a.Height() * 3);
  d.far = double(far) / (double(a.Width()) * a.Height() * 3);
  return d;
}

MemoryImage24 Drawn(const Graphic& graphic, int width, int height) {
  MemoryImage24 image(width, height);
  image.Fill(0x808080);
  graphic.StretchDraw(image, Rect{0, 0, width, height});
  return image;
}

// 48 x 32, a different colour in each quarter, so that each of the eight
// turns and mirrors looks different.
MemoryImage24 Quarters() {
  MemoryImage24 image(48, 32);
  image.FillRect(Rect{0, 0, 24, 16}, 0x0000FF);
  image.FillRect(Rect{24, 0, 48, 16}, 0x00C000);
  image.FillRect(Rect{0, 16, 24, 32}, 0xFF0000);
  image.FillRect(Rect{24, 16, 48, 32}, 0xFFFFFF);
  return image;
}

MemoryImage24 Scaled(const Image24& source, int width, int height) {
  MemoryImage24 image(width, height);
  RowResampler resampler(source.Width(), source.Height(), image, Rect{0, 0, width, height});
  for (int y = 0; y < source.Height() && resampler.NeedsRows(); ++y) resampler.PushRow(source.Row(y));
  return image;
}

MemoryImage24 Upright(const Image24& stored, int orientation) {
  MemoryImage24 upright;
  OrientImage(stored, orientation, upright);
  return upright;
}

TEST(HeifGraphicTest, DecodesLikeTheSamePictureStoredLosslessly) {
  const auto heif = HeifGraphic::FromFile(DataPath("heic-quadrants.heic"));
  const auto reference = BmpGraphic::FromFile(DataPath("heic-quadrants.bmp"));
  ASSERT_EQ(heif->Width(), 97);
  ASSERT_EQ(heif->Height(), 61);
  struct Case {
    int width, height;
  };
  // The natural size (odd, so the 4:2:0 planes are cropped), reduced and
  // enlarged: the same resampling of both must agree within the encoder's
  // loss (and its halved colour resolution at the coloured blocks' edges).
  for (const Case c : {Case{97, 61}, Case{40, 25}, Case{200, 126}}) {
    const Difference d = Compare(Drawn(*heif, c.width, c.height), Drawn(*reference, c.width, c.height));
    EXPECT_LT(d.mean, 3.0) << c.width << " x " << c.height;
    EXPECT_LT(d.far, 0.02) << c.width << " x " << c.height;
  }
}

TEST(HeifGraphicTest, RotationMirrorAndExifOrientationAreHonouredOnce) {
  const MemoryImage24 stored = Quarters();
  struct Case {
    int transform;        // the image's rotation and mirror properties
    int exifOrientation;  // 0: no Exif
    int shown;            // the orientation the picture must come out in
  };
  const Case cases[] = {
      {1, 0, 1}, {2, 0, 2}, {3, 0, 3}, {4, 0, 4}, {5, 0, 5}, {6, 0, 6}, {7, 0, 7}, {8, 0, 8},
      // Phones write the turn twice: as properties and in Exif.
      {6, 6, 6}, {8, 8, 8}, {3, 3, 3}, {2, 2, 2},
      // Properties and Exif disagreeing: the properties win.
      {6, 8, 6},
      // Only Exif says how the picture stands.
      {1, 6, 6}, {1, 3, 3}, {1, 5, 5},
      // Exif saying "as stored" over turned properties.
      {8, 1, 8},
  };
  for (const Case& c : cases) {
    const auto bytes = testing::EncodeHeif({{&stored, c.transform, c.exifOrientation}});
    if (!bytes) GTEST_SKIP() << "no HEVC encoder here";
    const auto heif = HeifGraphic::FromBytes(*bytes);
    const MemoryImage24 expected = Upright(stored, c.shown);
    ASSERT_EQ(heif->Width(), expected.Width()) << c.transform << "/" << c.exifOrientation;
    ASSERT_EQ(heif->Height(), expected.Height()) << c.transform << "/" << c.exifOrientation;
    // Natural size and scaled (a scaled draw turns at the drawn size).
    EXPECT_LT(Compare(Drawn(*heif, expected.Width(), expected.Height()), expected).mean, 6.0)
        << c.transform << "/" << c.exifOrientation;
    const MemoryImage24 half = Upright(Scaled(stored, stored.Width() / 2, stored.Height() / 2), c.shown);
    EXPECT_LT(Compare(Drawn(*heif, half.Width(), half.Height()), half).mean, 8.0)
        << c.transform << "/" << c.exifOrientation << " scaled";
  }
}

TEST(HeifGraphicTest, ShowsThePrimaryImageOfSeveral) {
  const MemoryImage24 first = Quarters();
  MemoryImage24 second(32, 16);
  second.Fill(0x00C000);
  const auto bytes = testing::EncodeHeif({{&first}, {&second}}, 1);
  if (!bytes) GTEST_SKIP() << "no HEVC encoder here";
  const auto heif = HeifGraphic::FromBytes(*bytes);
  ASSERT_EQ(heif->Width(), 32);
  ASSERT_EQ(heif->Height(), 16);
  EXPECT_LT(Compare(Drawn(*heif, 32, 16), second).mean, 4.0);
}

// The committed picture (one tile in a grid) with the size property ("ispe")
// of its grid changed.
std::vector<std::uint8_t> WithClaimedSize(std::uint32_t width, std::uint32_t height) {
  std::vector<std::uint8_t> bytes = ReadPictureFile(DataPath("heic-quadrants.heic"));
  const std::string text(bytes.begin(), bytes.end());
  const std::size_t at = text.rfind("ispe");  // the primary image's, after its tile's
  if (at == std::string::npos || at + 16 > bytes.size()) return {};
  for (int i = 0; i < 4; ++i) {
    bytes[at + 8 + std::size_t(i)] = std::uint8_t(width >> (24 - 8 * i));
    bytes[at + 12 + std::size_t(i)] = std::uint8_t(height >> (24 - 8 * i));
  }
  return bytes;
}

TEST(HeifGraphicTest, ThePixelLimitIsCheckedBeforeAnythingIsDecoded) {
  struct Case {
    std::uint32_t width, height;
    std::uint64_t maxPixels;
    bool loads;
  };
  const Case cases[] = {
      {20000, 20000, kMaxPicturePixels, false},  // 400 million pixels
      {14000, 14000, kMaxPicturePixels, true},   // 196 million: loads without decoding
      {97, 61, 97 * 61, true},
      {97, 61, 97 * 61 - 1, false},
  };
  for (const Case& c : cases) {
    const std::vector<std::uint8_t> bytes = WithClaimedSize(c.width, c.height);
    ASSERT_FALSE(bytes.empty());
    if (c.loads) {
      const auto heif = HeifGraphic::FromBytes(bytes, "claimed", c.maxPixels);
      EXPECT_EQ(heif->Width(), int(c.width));
    } else {
      EXPECT_THROW(HeifGraphic::FromBytes(bytes, "claimed", c.maxPixels), EPictureError) << c.width;
    }
  }
}

// libheif sizes a grid's canvas from the grid's own data, not from the size
// property checked above: the committed picture with that data changed.
TEST(HeifGraphicTest, AGridsOwnCanvasIsCheckedToo) {
  const std::vector<std::uint8_t> good = ReadPictureFile(DataPath("heic-quadrants.heic"));
  const std::size_t grid = std::string(good.begin(), good.end()).find("idat") + 4;
  auto patched = [&](std::size_t at, std::vector<std::uint8_t> values) {
    std::vector<std::uint8_t> bytes = good;
    std::copy(values.begin(), values.end(), bytes.begin() + std::ptrdiff_t(grid + at));
    return bytes;
  };
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::uint64_t maxPixels;
    bool loads;
  };
  const std::vector<Case> cases = {
      {"as made", good, 97 * 61, true},
      {"one row more than the limit", patched(6, {0, 62}), 97 * 61, false},
      {"388 million pixels", patched(4, {0x61, 0x03, 0x3D, 0x00}), kMaxPicturePixels, false},
      {"found by fuzzing", ReadPictureFile(DataPath("heic-grid-canvas-too-large.heic")), kMaxPicturePixels, false},
      {"32-bit fields past the grid's data", patched(1, {1}), kMaxPicturePixels, false},
  };
  for (const Case& c : cases) {
    if (c.loads) {
      EXPECT_NO_THROW(HeifGraphic::FromBytes(c.bytes, c.what, c.maxPixels)) << c.what;
    } else {
      EXPECT_THROW(HeifGraphic::FromBytes(c.bytes, c.what, c.maxPixels), EPictureError) << c.what;
    }
  }
  EXPECT_EQ(LargestHeifCanvas(good.data(), good.size()), 97u * 61u);
  EXPECT_EQ(LargestHeifCanvas(good.data(), grid), std::nullopt);  // cut inside the meta box
}

TEST(HeifGraphicTest, DamagedFilesAreRefusedOrDrawnBlackNeverCrash) {
  const std::vector<std::uint8_t> good = ReadPictureFile(DataPath("heic-quadrants.heic"));
  const std::string text(good.begin(), good.end());
  const std::size_t mdat = text.find("mdat");
  ASSERT_NE(mdat, std::string::npos);
  auto cut = [&](std::size_t size) { return std::vector<std::uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(size)); };
  auto scrambled = [&](std::size_t from, std::size_t to) {
    std::vector<std::uint8_t> bytes = good;
    for (std::size_t i = from; i < std::min(to, bytes.size()); ++i) bytes[i] = std::uint8_t(bytes[i] * 37 + i);
    return bytes;
  };
  // The grid that holds the one tile: two rows of tiles asked for.
  std::vector<std::uint8_t> twoRows = good;
  const std::size_t idat = text.find("idat");
  ASSERT_NE(idat, std::string::npos);
  twoRows[idat + 4 + 2] = 1;
  enum Outcome { Refused, Black, Decoded };
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    Outcome outcome;
  };
  const std::vector<Case> cases = {
      {"empty", {}, Refused},
      {"not HEIF", std::vector<std::uint8_t>(500, 0x41), Refused},
      {"cut in the file type box", cut(12), Refused},
      {"cut before the image data", cut(mdat - 4), Refused},
      {"image data cut short", cut(mdat + 40), Refused},
      {"decoder set-up scrambled", scrambled(text.find("hvcC") + 8, text.find("hvcC") + 60), Refused},
      {"grid without its second row of tiles", twoRows, Black},
      {"image data scrambled", scrambled(mdat + 40, good.size()), Decoded},
  };
  for (const Case& c : cases) {
    std::shared_ptr<const HeifGraphic> heif;
    try {
      heif = HeifGraphic::FromBytes(c.bytes, c.what);
    } catch (const EPictureError&) {
    }
    EXPECT_EQ(heif == nullptr, c.outcome == Refused) << c.what;
    if (!heif) continue;
    const MemoryImage24 image = Drawn(*heif, heif->Width(), heif->Height());
    if (c.outcome == Black) {
      EXPECT_EQ(image.PixelAt(heif->Width() / 2, heif->Height() / 2), kBlack) << c.what;
    }
  }
}

// An ISO media box: size, type, body.
std::vector<std::uint8_t> Box(const char* type, const std::vector<std::uint8_t>& body) {
  const std::size_t size = body.size() + 8;
  std::vector<std::uint8_t> out(size);
  for (int i = 0; i < 4; ++i) {
    out[std::size_t(i)] = std::uint8_t(size >> (24 - 8 * i));
    out[std::size_t(4 + i)] = std::uint8_t(type[i]);
  }
  std::copy(body.begin(), body.end(), out.begin() + 8);
  return out;
}
std::vector<std::uint8_t> operator+(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  std::vector<std::uint8_t> out(a.size() + b.size());
  std::copy(b.begin(), b.end(), std::copy(a.begin(), a.end(), out.begin()));
  return out;
}
// A meta box (version and flags first) around its children.
std::vector<std::uint8_t> Meta(const std::vector<std::uint8_t>& children) {
  return Box("meta", std::vector<std::uint8_t>(4, 0) + children);
}

TEST(HeifGraphicTest, FindsTransformPropertiesInTheMetaBox) {
  const auto ftyp = Box("ftyp", {'h', 'e', 'i', 'c', 0, 0, 0, 0});
  const auto ispe = Box("ispe", std::vector<std::uint8_t>(12, 1));
  const auto irot = Box("irot", {1});
  const auto imir = Box("imir", {0});
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    bool found;
  };
  const std::vector<Case> cases = {
      {"rotation", ftyp + Meta(Box("iprp", Box("ipco", ispe + irot))), true},
      {"mirror", ftyp + Meta(Box("pitm", {0, 0, 0, 0, 0, 1}) + Box("iprp", Box("ipco", imir))), true},
      {"size only", ftyp + Meta(Box("iprp", Box("ipco", ispe))), false},
      {"rotation outside the properties", ftyp + Meta(irot) + irot, false},
      {"meta box cut short", [&] {
         auto bytes = ftyp + Meta(Box("iprp", Box("ipco", ispe + irot)));
         bytes.resize(bytes.size() - 3);
         return bytes;
       }(), false},
      {"box longer than its parent", ftyp + Meta(Box("iprp", {0, 0, 0, 99, 'i', 'p', 'c', 'o'})), false},
      {"64-bit box size", ftyp + std::vector<std::uint8_t>{0, 0, 0, 1, 'f', 'r', 'e', 'e', 0, 0, 0, 0, 0, 0, 0, 16} +
                              Meta(Box("iprp", Box("ipco", irot))), true},
      {"empty", {}, false},
  };
  for (const Case& c : cases) EXPECT_EQ(HasHeifTransformProperty(c.bytes.data(), c.bytes.size()), c.found) << c.what;
}

// A phone's photo is a grid of tiles: libheif puts it together, decoding
// each tile with the program's decoder.
TEST(HeifGraphicTest, AGridOfTilesShowsThePictureItWasCutFrom) {
  MemoryImage24 picture(200, 130);
  for (int y = 0; y < 130; ++y)
    for (int x = 0; x < 200; ++x) picture.FillRect(Rect{x, y, x + 1, y + 1}, TColor((x * 255 / 199) << 16 | (y * 255 / 129) << 8 | 0x40));
  const auto bytes = testing::EncodeHeifGrid(picture, 64);
  if (!bytes) GTEST_SKIP() << "no HEVC encoder here";
  ASSERT_FALSE(FindHeifCodedPrimary(bytes->data(), bytes->size()));  // not one coded picture
  EXPECT_EQ(LargestHeifCanvas(bytes->data(), bytes->size()), 200u * 130u);
  const auto heif = HeifGraphic::FromBytes(*bytes);
  ASSERT_EQ(heif->Width(), 200);
  ASSERT_EQ(heif->Height(), 130);
  const Difference d = Compare(Drawn(*heif, 200, 130), picture);
  EXPECT_LT(d.mean, 3.0);
  EXPECT_LT(d.far, 0.01);
}

// The committed photo that is one coded picture, changed where `find`
// first occurs (from `skip` bytes after it) to `values`.
std::vector<std::uint8_t> RedOverBlue(const char* find = nullptr, std::size_t skip = 0, std::vector<std::uint8_t> values = {}) {
  std::vector<std::uint8_t> bytes = ReadPictureFile(DataPath("heic-red-over-blue.heic"));
  if (!find) return bytes;
  const std::size_t at = std::string(bytes.begin(), bytes.end()).find(find);
  if (at == std::string::npos) return {};
  std::copy(values.begin(), values.end(), bytes.begin() + std::ptrdiff_t(at + skip));
  return bytes;
}

TEST(HeifGraphicTest, FindsTheCodedPictureOfASimplePrimaryImageOnly) {
  const std::vector<std::uint8_t> quadrants = ReadPictureFile(DataPath("heic-quadrants.heic"));
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    bool found;
  };
  const std::vector<Case> cases = {
      {"one coded picture", RedOverBlue(), true},
      {"a grid of tiles", quadrants, false},
      {"with a crop", RedOverBlue("pixi", 0, {'c', 'l', 'a', 'p'}), false},
      {"with a property of its own kind", RedOverBlue("pixi", 0, {'x', 'y', 'z', 'w'}), false},
      {"associated with a property not there", RedOverBlue("ipma", 17, {0x89}), false},
      {"its data outside the file", RedOverBlue("iloc", 24, {0x7F}), false},
      {"the primary is another item", RedOverBlue("pitm", 8, {0, 2}), false},
  };
  for (const Case& c : cases) {
    ASSERT_FALSE(c.bytes.empty()) << c.what;
    const auto coded = FindHeifCodedPrimary(c.bytes.data(), c.bytes.size());
    ASSERT_EQ(coded.has_value(), c.found) << c.what;
    if (!coded) continue;
    EXPECT_EQ(coded->width, 160);
    EXPECT_EQ(coded->height, 120);
    EXPECT_EQ(coded->setupNals.size(), 3u);  // the video, sequence and picture parameter sets
    EXPECT_EQ(coded->orientation, 1);
  }
  const std::vector<std::uint8_t> good = RedOverBlue();
  for (std::size_t cut = 0; cut < good.size(); cut += 7) FindHeifCodedPrimary(good.data(), cut);  // never reads past
}

// The committed photo decoded straight from the file: its colours, and its
// rotation and mirror properties applied as libheif applies them (the
// pixel depth property's type changed to one of them; its first byte, the
// version, becomes the turn or the axis).
TEST(HeifGraphicTest, ACodedPictureKeepsItsColoursAndTurnsAsItsPropertiesSay) {
  constexpr TColor red = 0x0000FF, blue = 0xFF0000;
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    int width, height;
    TColor corners[4];  // top left, top right, bottom left, bottom right
  };
  const std::vector<Case> cases = {
      {"as stored", RedOverBlue(), 160, 120, {red, red, blue, blue}},
      {"a quarter turn left", RedOverBlue("pixi", 0, {'i', 'r', 'o', 't', 1}), 120, 160, {red, blue, red, blue}},
      {"a half turn", RedOverBlue("pixi", 0, {'i', 'r', 'o', 't', 2}), 160, 120, {blue, blue, red, red}},
      {"a quarter turn right", RedOverBlue("pixi", 0, {'i', 'r', 'o', 't', 3}), 120, 160, {blue, red, blue, red}},
      {"mirrored top to bottom", RedOverBlue("pixi", 0, {'i', 'm', 'i', 'r', 0}), 160, 120, {blue, blue, red, red}},
      {"mirrored left to right", RedOverBlue("pixi", 0, {'i', 'm', 'i', 'r', 1}), 160, 120, {red, red, blue, blue}},
  };
  auto near = [](TColor a, TColor b) {
    for (int shift = 0; shift < 24; shift += 8)
      if (std::abs(int(a >> shift & 0xFF) - int(b >> shift & 0xFF)) > 16) return false;
    return true;
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(FindHeifCodedPrimary(c.bytes.data(), c.bytes.size())) << c.what;
    const auto heif = HeifGraphic::FromBytes(c.bytes, c.what);
    ASSERT_EQ(heif->Width(), c.width) << c.what;
    ASSERT_EQ(heif->Height(), c.height) << c.what;
    const MemoryImage24 image = Drawn(*heif, c.width, c.height);
    for (int i = 0; i < 4; ++i) {
      const int x = i % 2 ? c.width - 10 : 10, y = i / 2 ? c.height - 10 : 10;
      EXPECT_TRUE(near(image.PixelAt(x, y), c.corners[i])) << c.what << ", corner " << i << ": " << std::hex
                                                            << image.PixelAt(x, y);
    }
  }
}

// A coded picture far larger than its size property says is refused before
// its planes are allocated, whichever way it is decoded; the picture is
// drawn black.
TEST(HeifGraphicTest, APictureCodedLargerThanItSaysIsDrawnBlack) {
  const auto claimsLess = HeifGraphic::FromBytes(RedOverBlue("ispe", 8, {0, 0, 0, 16, 0, 0, 0, 12}), "claims 16 x 12");
  ASSERT_EQ(claimsLess->Width(), 16);
  EXPECT_EQ(Drawn(*claimsLess, 16, 12).PixelAt(8, 2), kBlack);
  EXPECT_NE(Drawn(*HeifGraphic::FromBytes(RedOverBlue()), 16, 12).PixelAt(8, 2), kBlack);

  // A grid's tiles go through libheif to the same decoder, with its limit.
  const auto grid = HeifGraphic::FromFile(DataPath("heic-quadrants.heic"));
  SetLibheifPictureLimit(104 * 64 - 1);  // the tile as coded, less one
  const MemoryImage24 refused = Drawn(*grid, 97, 61);
  SetLibheifPictureLimit(kMaxPicturePixels);
  EXPECT_EQ(refused.PixelAt(48, 30), kBlack);
  EXPECT_NE(Drawn(*grid, 97, 61).PixelAt(48, 30), kBlack);
}

TEST(HeifGraphicTest, ACancelledPrepareKeepsNothing) {
  const auto heif = HeifGraphic::FromFile(DataPath("heic-quadrants.heic"));
  const std::atomic<bool> cancel{true};
  EXPECT_FALSE(heif->Prepare(50, 31, &cancel));
  EXPECT_FALSE(heif->Keeps(50, 31));
  EXPECT_TRUE(heif->Prepare(50, 31));
  EXPECT_TRUE(heif->Keeps(50, 31));
}

TEST(HeifGraphicTest, LoadsByExtensionAnyCase) {
  for (const char* name : {"heic-quadrants.heic", "HEIC-QUADRANTS.HEIC"}) {
    const std::string path = DataPath("heic-quadrants.heic");
    const std::string asNamed = path.substr(0, path.size() - 19) + name;
    EXPECT_TRUE(IsPictureFileName(asNamed)) << name;
  }
  EXPECT_TRUE(IsPictureFileName("photo.heif"));
  EXPECT_NE(dynamic_cast<const HeifGraphic*>(LoadGraphic(DataPath("heic-quadrants.heic")).get()), nullptr);
}

// The date taken comes from the primary image's Exif block, as a JPEG's
// does; without one, or with a damaged one, there is none.
TEST(HeifGraphicTest, DateTakenComesFromThePrimaryImagesExif) {
  MemoryImage24 stored(16, 16);
  struct Case {
    const char* dateTime;
    int exifOrientation;
    std::optional<ExifDate> expected;
  };
  const Case cases[] = {{"2024:05:03 10:11:12", 6, ExifDate{2024, 5, 3, 10, 11, 12}},
                        {"0000:00:00 00:00:00", 1, std::nullopt},
                        {nullptr, 1, std::nullopt},
                        {nullptr, 0, std::nullopt}};
  for (const Case& c : cases) {
    const auto bytes = testing::EncodeHeif({{&stored, 1, c.exifOrientation, c.dateTime}});
    if (!bytes) GTEST_SKIP() << "no HEVC encoder here";
    EXPECT_EQ(HeifDateTaken(*bytes), c.expected) << (c.dateTime ? c.dateTime : "no date");
  }
  EXPECT_EQ(HeifDateTaken({}), std::nullopt);
  EXPECT_EQ(HeifDateTaken(std::vector<std::uint8_t>(64, 0xFF)), std::nullopt);
}

}  // namespace
}  // namespace velmora
