#include "fade/PictureProbe.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Of(std::initializer_list<int> values) {
  Bytes b;
  for (int v : values) b.push_back(std::uint8_t(v));
  return b;
}
Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Zeros(std::size_t n) { return Bytes(n, 0); }

const Bytes kPngSignature = Of({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
Bytes Png(int w3, int w2, int w1, int w0, int h3, int h2, int h1, int h0) {
  return kPngSignature + Of({0, 0, 0, 13}) + Text("IHDR") + Of({w3, w2, w1, w0, h3, h2, h1, h0, 8, 6, 0, 0, 0}) +
         Zeros(4);
}

// A GIF logical screen of 16 x 8 with a 2-colour global table, then blocks.
Bytes GifHead() { return Text("GIF89a") + Of({16, 0, 8, 0, 0x80, 0, 0}) + Zeros(6); }
// An image descriptor of w x h (little-endian 16-bit) with one data sub-block.
Bytes GifFrame(int w, int h, int flags = 0) {
  Bytes table = (flags & 0x80) ? Zeros(3u << ((flags & 7) + 1)) : Bytes{};
  return Of({0x2C, 0, 0, 0, 0, w & 0xFF, w >> 8, h & 0xFF, h >> 8, flags}) + table + Of({2, 1, 0x44, 0});
}

TEST(PictureProbeTest, PeeksTheSizeEachHeaderClaims) {
  struct Case {
    const char* name;
    Bytes bytes;
    bool found;
    std::uint32_t width = 0, height = 0;
    std::uint64_t largest = 0;
    int orientation = 0;
  };
  const Bytes tiffLe = Text("II") + Of({42, 0, 8, 0, 0, 0}) + Of({3, 0}) +
                       Of({0x00, 0x01, 3, 0, 1, 0, 0, 0, 0x10, 0x27, 0, 0}) +  // width 10000, SHORT
                       Of({0x01, 0x01, 4, 0, 1, 0, 0, 0, 0x20, 0x4E, 0, 0}) +  // height 20000, LONG
                       Of({0x12, 0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0});         // orientation 6
  const Bytes tiffBe = Text("MM") + Of({0, 42, 0, 0, 0, 8}) + Of({0, 3}) +
                       Of({0x01, 0x00, 0, 4, 0, 0, 0, 1, 0, 1, 0x86, 0xA0}) +  // width 100000, LONG
                       Of({0x01, 0x01, 0, 3, 0, 0, 0, 1, 0x00, 0x05, 0, 0}) +  // height 5, SHORT
                       Of({0x01, 0x12, 0, 3, 0x7F, 0xFF, 0, 1, 0, 6, 0, 0});   // orientation, damaged count
  const std::vector<Case> cases = {
      {"png", Png(0, 0, 0x27, 0x10, 0, 0, 0x27, 0x10), true, 10000, 10000, 100'000'000},
      {"png cut before the height", Bytes(kPngSignature) + Of({0, 0, 0, 13}) + Text("IHDR") + Zeros(3), false},
      {"png whose first chunk is not IHDR", kPngSignature + Of({0, 0, 0, 13}) + Text("IDAT") + Zeros(17), false},
      {"gif screen, small frame", GifHead() + GifFrame(4, 4) + Of({0x3B}), true, 16, 8, 128},
      {"gif frame larger than its screen, after an extension and a local table",
       GifHead() + Of({0x21, 0xF9, 4, 0, 0, 0, 0, 0}) + GifFrame(2, 2) + GifFrame(0x4000, 0x4000, 0x81), true, 16, 8,
       0x4000ull * 0x4000},
      {"gif frame descriptor cut short", GifHead() + Of({0x2C, 0, 0, 0, 0, 0xFF, 0xFF}), true, 16, 8, 128},
      {"tiff little-endian", tiffLe, true, 10000, 20000, 200'000'000, 6},
      {"tiff big-endian, its orientation damaged", tiffBe, true, 100000, 5, 500'000, 0},
      {"tiff whose directory lies past the end", Text("II") + Of({42, 0, 0xFF, 0, 0, 0}) + Zeros(4), false},
      {"tiff without a height", Bytes(tiffLe.begin(), tiffLe.end() - 24), false},
      {"webp extended", Text("RIFF") + Zeros(4) + Text("WEBPVP8X") + Zeros(8) + Of({0xFF, 0x0F, 0, 0x01, 0, 0}),
       true, 4096, 2, 8192},
      {"webp lossless", Text("RIFF") + Zeros(4) + Text("WEBPVP8L") + Zeros(4) + Of({0x2F, 0x63, 0xC0, 0x18, 0}) +
       Zeros(6), true, 100, 100, 10000},
      {"webp lossy", Text("RIFF") + Zeros(4) + Text("WEBPVP8 ") + Zeros(7) + Of({0x9D, 1, 0x2A, 0x40, 1, 0xF0, 0}) +
       Zeros(2), true, 320, 240, 76800},
      {"jpeg is not for this prober", Of({0xFF, 0xD8, 0xFF, 0xE0}) + Zeros(40), false},
      {"empty", {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto size = PeekPictureSize(c.bytes.data(), c.bytes.size());
    ASSERT_EQ(size.has_value(), c.found);
    if (!size) continue;
    EXPECT_EQ(size->width, c.width);
    EXPECT_EQ(size->height, c.height);
    EXPECT_EQ(size->largestPixels, c.largest);
    EXPECT_EQ(size->orientation, c.orientation);
  }
}

TEST(PictureProbeTest, NamesTheKindFromTheFirstBytes) {
  const std::vector<std::pair<Bytes, std::string>> cases = {
      {Png(0, 0, 0, 1, 0, 0, 0, 1), "PNG"},
      {GifHead(), "GIF"},
      {Text("II") + Of({42, 0}) + Zeros(8), "TIFF"},
      {Text("MM") + Of({0, 42}) + Zeros(8), "TIFF"},
      {Text("II") + Of({0xBC, 1}) + Zeros(8), "JPEG XR"},
      {Text("RIFF") + Zeros(4) + Text("WEBPVP8 "), "WebP"},
      {Zeros(4) + Text("ftypheic") + Zeros(4), "HEIF"},
      {Zeros(4) + Text("ftypmif1") + Zeros(4), "HEIF"},
      {Zeros(4) + Text("ftypisom") + Zeros(4), ""},  // a video
      {Text("RIFF") + Zeros(4) + Text("WAVEfmt "), ""},
      {Text("GIF8"), ""},  // too short to say
  };
  for (const auto& [bytes, kind] : cases) EXPECT_EQ(PictureKindName(bytes.data(), bytes.size()), kind) << kind;
}

TEST(PictureProbeTest, PictureDialogFiltersOfferTheSystemDecodedKinds) {
  const std::string added = ";*.png;*.gif;*.tif;*.tiff;*.heic;*.heif";
  const std::string pairs = "|PNG (*.png)|*.png|GIF (*.gif)|*.gif|TIFF (*.tif;*.tiff)|*.tif;*.tiff"
                            "|HEIC (*.heic;*.heif)|*.heic;*.heif";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"All (*.jpg;*.jpeg;*.bmp;*.emf;*.wmf)|*.jpg;*.jpeg;*.bmp;*.emf;*.wmf|JPEG Image File (*.jpg)|*.jpg|"
       "Metafiles (*.wmf)|*.wmf",
       "All (*.jpg;*.jpeg;*.bmp;*.emf;*.wmf" + added + ")|*.jpg;*.jpeg;*.bmp;*.emf;*.wmf" + added +
           "|JPEG Image File (*.jpg)|*.jpg|Metafiles (*.wmf)|*.wmf" + pairs},
      {"All (*.jpg;*.jpeg;*.bmp)|*.jpg;*.jpeg;*.bmp",
       "All (*.jpg;*.jpeg;*.bmp" + added + ")|*.jpg;*.jpeg;*.bmp" + added + pairs},
      // Without an "All" pair first, the pairs are only appended.
      {"Bitmaps (*.bmp)|*.bmp", "Bitmaps (*.bmp)|*.bmp" + pairs},
      {"", pairs.substr(1)},
  };
  for (const auto& [filter, expected] : cases) EXPECT_EQ(WithSystemDecodedKinds(filter), expected) << filter;
}

TEST(PictureProbeTest, ComposesTransparencyOverBlack) {
  struct Case {
    std::uint8_t bgra[4];
    std::uint8_t bgr[3];
  };
  const std::vector<Case> cases = {
      {{10, 20, 30, 255}, {10, 20, 30}},     // opaque: unchanged
      {{200, 100, 50, 0}, {0, 0, 0}},        // transparent: black
      {{255, 254, 1, 128}, {128, 127, 1}},   // half: rounded to nearest
      {{255, 255, 255, 1}, {1, 1, 1}},
  };
  for (const Case& c : cases) {
    std::uint8_t out[3] = {9, 9, 9};
    ComposeRowOverBlack(c.bgra, 1, out);
    EXPECT_EQ(std::vector<int>(out, out + 3), std::vector<int>(c.bgr, c.bgr + 3)) << int(c.bgra[3]);
  }
}

}  // namespace
}  // namespace velmora
