#include "fade/BmpGraphic.h"

#include <gtest/gtest.h>

#include <climits>

#include "fade/PictureLoader.h"
#include "fade/Resample.h"

namespace velmora {
namespace {

// Writes a bitmap file byte by byte, as an application would.
struct BmpFile {
  int headerSize = 40;
  std::int32_t width = 0;
  std::int32_t height = 0;  // negative: top-down
  int bitCount = 24;
  std::uint32_t compression = 0;
  std::uint32_t colorsUsed = 0;
  std::vector<std::uint32_t> masks = {};   // in the header from 52 bytes on, else after it
  std::vector<std::uint32_t> palette = {};  // 0xRRGGBB
  std::vector<std::uint8_t> pixels = {};    // stored pixel data
  bool fileHeader = true;
  std::int64_t pixelOffset = -1;       // -1: right after the colour table

  std::vector<std::uint8_t> Bytes() const {
    std::vector<std::uint8_t> out;
    auto put = [&](std::uint64_t v, int bytes) {
      for (int i = 0; i < bytes; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
    };
    if (fileHeader) {
      out = {'B', 'M'};
      put(0, 4);  // size, patched below
      put(0, 4);
      put(0, 4);  // pixel offset, patched below
    }
    const std::size_t info = out.size();
    put(std::uint32_t(headerSize), 4);
    if (headerSize == 12) {
      put(std::uint16_t(width), 2);
      put(std::uint16_t(height), 2);
      put(1, 2);
      put(std::uint32_t(bitCount), 2);
    } else {
      put(std::uint32_t(width), 4);
      put(std::uint32_t(height), 4);
      put(1, 2);
      put(std::uint32_t(bitCount), 2);
      put(compression, 4);
      put(pixels.size(), 4);
      put(2835, 4);
      put(2835, 4);
      put(colorsUsed, 4);
      put(0, 4);
      while (out.size() < info + std::size_t(headerSize)) out.push_back(0);
      for (std::size_t i = 0; i < masks.size(); ++i) {
        if (headerSize >= 52)
          for (int b = 0; b < 4; ++b) out[info + 40 + i * 4 + std::size_t(b)] = std::uint8_t(masks[i] >> (8 * b));
        else
          put(masks[i], 4);
      }
    }
    for (std::uint32_t c : palette) {
      put(c & 0xFF, 1);
      put((c >> 8) & 0xFF, 1);
      put((c >> 16) & 0xFF, 1);
      if (headerSize != 12) put(0, 1);
    }
    const std::size_t offset = out.size();
    out.insert(out.end(), pixels.begin(), pixels.end());
    if (fileHeader) {
      const std::uint64_t size = out.size();
      const std::uint64_t at = pixelOffset >= 0 ? std::uint64_t(pixelOffset) : offset;
      for (int b = 0; b < 4; ++b) {
        out[2 + std::size_t(b)] = std::uint8_t(size >> (8 * b));
        out[10 + std::size_t(b)] = std::uint8_t(at >> (8 * b));
      }
    }
    return out;
  }
};

// Packs pixel values (colour indices, 16- or 32-bit words, or 0xRRGGBB for
// 24 bits), rows as given, each padded to 4 bytes.
std::vector<std::uint8_t> Pack(int bits, const std::vector<std::vector<std::uint32_t>>& rows) {
  std::vector<std::uint8_t> out;
  for (const auto& row : rows) {
    std::vector<std::uint8_t> bytes((row.size() * std::size_t(bits) + 31) / 32 * 4, 0);
    for (std::size_t x = 0; x < row.size(); ++x) {
      const std::uint32_t v = row[x];
      if (bits < 8) {
        const std::size_t bit = x * std::size_t(bits);
        bytes[bit / 8] |= std::uint8_t(v << (8 - bits - bit % 8));
      } else {
        for (int b = 0; b < bits / 8; ++b) bytes[x * std::size_t(bits / 8) + std::size_t(b)] = std::uint8_t(v >> (8 * b));
      }
    }
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return out;
}

MemoryImage24 Decode(const BmpFile& file) {
  const std::vector<std::uint8_t> bytes = file.Bytes();
  return DecodeBmp(bytes.data(), bytes.size(), "test.bmp");
}

// Reads the decoded image back as rows of 0xRRGGBB.
std::vector<std::vector<std::uint32_t>> Pixels(const MemoryImage24& image) {
  std::vector<std::vector<std::uint32_t>> rows(std::size_t(image.Height()));
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x) {
      const std::uint8_t* p = image.Row(y) + x * 3;
      rows[std::size_t(y)].push_back(std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0]);
    }
  return rows;
}

using Rows = std::vector<std::vector<std::uint32_t>>;

TEST(BmpGraphicTest, PaletteDepths) {
  BmpFile one{.width = 10, .height = 2, .bitCount = 1, .palette = {0x000000, 0xFFFFFF}};
  one.pixels = Pack(1, {{0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, {1, 0, 1, 1, 0, 0, 0, 0, 0, 1}});  // bottom row first
  EXPECT_EQ(Pixels(Decode(one)), (Rows{{0xFFFFFF, 0, 0xFFFFFF, 0xFFFFFF, 0, 0, 0, 0, 0, 0xFFFFFF},
                                       {0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFFFFFF}}));

  BmpFile four{.width = 3, .height = 2, .bitCount = 4, .colorsUsed = 3, .palette = {0x112233, 0x445566, 0x778899}};
  four.pixels = Pack(4, {{2, 1, 0}, {0, 1, 2}});
  EXPECT_EQ(Pixels(Decode(four)), (Rows{{0x112233, 0x445566, 0x778899}, {0x778899, 0x445566, 0x112233}}));

  // Top-down 8 bits; index 200 lies beyond the 2-entry table and reads black.
  BmpFile eight{.width = 3, .height = -2, .bitCount = 8, .colorsUsed = 2, .palette = {0xFF0000, 0x00FF00}};
  eight.pixels = Pack(8, {{0, 1, 200}, {1, 1, 0}});
  EXPECT_EQ(Pixels(Decode(eight)), (Rows{{0xFF0000, 0x00FF00, 0}, {0x00FF00, 0x00FF00, 0xFF0000}}));
}

TEST(BmpGraphicTest, TrueColourDepths) {
  BmpFile rgb24{.width = 5, .height = 2, .bitCount = 24};
  rgb24.pixels = Pack(24, {{1, 2, 3, 4, 5}, {0xABCDEF, 0x123456, 0xFF0000, 0x00FF00, 0x0000FF}});
  EXPECT_EQ(Pixels(Decode(rgb24)), (Rows{{0xABCDEF, 0x123456, 0xFF0000, 0x00FF00, 0x0000FF}, {1, 2, 3, 4, 5}}));

  BmpFile rgb32{.width = 2, .height = -1, .bitCount = 32};
  rgb32.pixels = Pack(32, {{0xFF123456, 0x00ABCDEF}});
  EXPECT_EQ(Pixels(Decode(rgb32)), (Rows{{0x123456, 0xABCDEF}}));

  // 16 bits without fields: 5-5-5.
  BmpFile rgb555{.width = 4, .height = 1, .bitCount = 16};
  rgb555.pixels = Pack(16, {{0x7C00, 0x03E0, 0x001F, 0x4210}});
  EXPECT_EQ(Pixels(Decode(rgb555)), (Rows{{0xFF0000, 0x00FF00, 0x0000FF, 0x848484}}));

  // 16 bits with 5-6-5 fields after a 40-byte header.
  BmpFile rgb565{.width = 3, .height = 1, .bitCount = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F}};
  rgb565.pixels = Pack(16, {{0xF800, 0x07E0, 0x8410}});
  EXPECT_EQ(Pixels(Decode(rgb565)), (Rows{{0xFF0000, 0x00FF00, 0x848284}}));

  // 32 bits with unusual fields inside a version 5 header.
  BmpFile v5{.headerSize = 124, .width = 1, .height = 1, .bitCount = 32, .compression = 3,
             .masks = {0x0000FF00, 0x00FF0000, 0xFF000000}};
  v5.pixels = Pack(32, {{0x33221100}});  // blue 0x33, green 0x22, red 0x11
  EXPECT_EQ(Pixels(Decode(v5)), (Rows{{0x112233}}));
}

TEST(BmpGraphicTest, OtherHeadersAndPackedDibs) {
  BmpFile core{.headerSize = 12, .width = 2, .height = 1, .bitCount = 8, .palette = {0x010203, 0x0A0B0C}};
  core.pixels = Pack(8, {{1, 0}});
  core.palette.resize(256, 0);
  EXPECT_EQ(Pixels(Decode(core)), (Rows{{0x0A0B0C, 0x010203}}));

  BmpFile packed{.width = 2, .height = 1, .bitCount = 24, .fileHeader = false};
  packed.pixels = Pack(24, {{0x010203, 0x040506}});
  EXPECT_EQ(Pixels(Decode(packed)), (Rows{{0x010203, 0x040506}}));

  BmpFile v4{.headerSize = 108, .width = 1, .height = 1, .bitCount = 8, .colorsUsed = 1, .palette = {0x556677}};
  v4.pixels = Pack(8, {{0}});
  EXPECT_EQ(Pixels(Decode(v4)), (Rows{{0x556677}}));
}

TEST(BmpGraphicTest, RunLengthCompression) {
  BmpFile rle8{.width = 4, .height = 3, .bitCount = 8, .compression = 1, .colorsUsed = 4,
               .palette = {0x000000, 0x111111, 0x222222, 0x333333}};
  rle8.pixels = {
      0x04, 0x02,                          // bottom row: four of colour 2
      0x00, 0x00,                          // end of line
      0x00, 0x03, 0x01, 0x02, 0x03, 0x00,  // three literal pixels, padded
      0x00, 0x00,                          // end of line
      0x01, 0x03, 0x00, 0x02, 0x02, 0x00,  // one pixel, then move right by 2
      0x01, 0x01,                          // one pixel
      0x00, 0x01,                          // end of bitmap
  };
  EXPECT_EQ(Pixels(Decode(rle8)), (Rows{{0x333333, 0, 0, 0x111111},
                                        {0x111111, 0x222222, 0x333333, 0},
                                        {0x222222, 0x222222, 0x222222, 0x222222}}));

  BmpFile rle4{.width = 5, .height = 1, .bitCount = 4, .compression = 2, .colorsUsed = 3,
               .palette = {0x000000, 0xAAAAAA, 0xBBBBBB}};
  rle4.pixels = {0x03, 0x12, 0x00, 0x03, 0x21, 0x20, 0x00, 0x01};  // 1,2,1 then literal 2,1,(2 clipped)
  EXPECT_EQ(Pixels(Decode(rle4)), (Rows{{0xAAAAAA, 0xBBBBBB, 0xAAAAAA, 0xBBBBBB, 0xAAAAAA}}));

  // Runs past the right edge and deltas past the top are clipped, not written.
  BmpFile wild{.width = 2, .height = 2, .bitCount = 8, .compression = 1, .colorsUsed = 2,
               .palette = {0, 0xFFFFFF}};
  wild.pixels = {0xFF, 0x01, 0x00, 0x02, 0xFF, 0xFF, 0x05, 0x01, 0x00, 0x01};
  EXPECT_EQ(Pixels(Decode(wild)), (Rows{{0, 0}, {0xFFFFFF, 0xFFFFFF}}));
}

TEST(BmpGraphicTest, EncodedBitmapsReadBack) {
  MemoryImage24 image(7, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 21; ++x) image.Row(y)[x] = std::uint8_t(x * 11 + y * 70);
  const std::vector<std::uint8_t> bytes = EncodeBmp(image);
  const auto graphic = BmpGraphic::FromBytes(bytes.data(), bytes.size());
  ASSERT_EQ(graphic->Width(), 7);
  ASSERT_EQ(graphic->Height(), 3);
  EXPECT_EQ(Pixels(graphic->Image()), Pixels(image));

  MemoryImage24 target(10, 10);
  graphic->Draw(target, 2, 3);
  EXPECT_EQ(target.PixelAt(2, 3), image.PixelAt(0, 0));
  graphic->StretchDraw(target, Rect{0, 0, 14, 6});
  EXPECT_EQ(graphic->Kind(), GraphicKind::Raster);
}

// Scaled draws are what the resampler makes straight into the target,
// whether drawn afresh, from a kept result (a clipped place of the same
// size), or prepared ahead; the natural size is the decoded pixels.
TEST(BmpGraphicTest, ScaledDrawsAreTheResamplersPixelsFreshKeptOrPrepared) {
  MemoryImage24 image(23, 17);
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 69; ++x) image.Row(y)[x] = std::uint8_t(x * 37 + y * 91 + (x * y) % 13);
  const std::vector<std::uint8_t> bytes = EncodeBmp(image);
  const auto drawn = BmpGraphic::FromBytes(bytes.data(), bytes.size());
  const auto prepared = BmpGraphic::FromBytes(bytes.data(), bytes.size());
  for (const Rect& rect : {Rect{0, 0, 10, 7}, Rect{3, 2, 49, 36}, Rect{-7, -4, 31, 24}, Rect{-30, 5, 35, 100},
                           Rect{1, 1, 24, 18}}) {
    SCOPED_TRACE(std::to_string(rect.Width()) + "x" + std::to_string(rect.Height()));
    MemoryImage24 expected(30, 20);
    expected.Fill(0x808080);
    Resample(image, expected, rect);
    EXPECT_TRUE(prepared->Prepare(rect.Width(), rect.Height()));
    for (const auto& graphic : {drawn, drawn, prepared}) {
      MemoryImage24 target(30, 20);
      target.Fill(0x808080);
      graphic->StretchDraw(target, rect);
      EXPECT_EQ(Pixels(target), Pixels(expected));
    }
  }
  // The four scaled sizes are kept, each rendered once; the natural size is
  // drawn from the decoded picture itself at each draw, never kept.
  EXPECT_EQ(drawn->Renders(), 4 + 2);
  EXPECT_EQ(prepared->Renders(), 4 + 1);
  EXPECT_FALSE(drawn->Keeps(23, 17));
  EXPECT_TRUE(drawn->Keeps(10, 7) && drawn->Keeps(65, 95));
}

void ExpectRefused(const std::vector<std::uint8_t>& bytes, const char* fragment) {
  try {
    DecodeBmp(bytes.data(), bytes.size(), "broken.bmp");
    ADD_FAILURE() << "accepted; expected " << fragment;
  } catch (const EPictureError& e) {
    EXPECT_NE(std::string(e.what()).find("broken.bmp"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
  }
}

TEST(BmpGraphicTest, DamagedFilesAreRefusedClearly) {
  BmpFile good{.width = 5, .height = 3, .bitCount = 24};
  good.pixels = Pack(24, {{1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}});
  const std::vector<std::uint8_t> bytes = good.Bytes();
  for (std::size_t n = 0; n < bytes.size(); ++n)
    EXPECT_THROW(DecodeBmp(bytes.data(), n, "cut.bmp"), EPictureError) << "cut at " << n;

  auto with = [&](auto change) {
    BmpFile f = good;
    change(f);
    return f.Bytes();
  };
  ExpectRefused(with([](BmpFile& f) { f.width = INT_MAX; }), "too large");
  ExpectRefused(with([](BmpFile& f) { f.width = 20000, f.height = 20000; }), "too large");
  ExpectRefused(with([](BmpFile& f) { f.width = -5; }), "width");
  ExpectRefused(with([](BmpFile& f) { f.width = 0; }), "width");
  ExpectRefused(with([](BmpFile& f) { f.height = 0; }), "height");
  ExpectRefused(with([](BmpFile& f) { f.height = INT_MIN; }), "too large");
  ExpectRefused(with([](BmpFile& f) { f.bitCount = 7; }), "bits a pixel");
  ExpectRefused(with([](BmpFile& f) { f.headerSize = 99; }), "header size");
  ExpectRefused(with([](BmpFile& f) { f.pixelOffset = 100000; }), "past the end");
  ExpectRefused(with([](BmpFile& f) { f.pixelOffset = 0xFFFFFFFF; }), "past the end");
  ExpectRefused(with([](BmpFile& f) { f.compression = 4; }), "JPEG or PNG");
  ExpectRefused(with([](BmpFile& f) { f.compression = 77; }), "compression");
  ExpectRefused(with([](BmpFile& f) { f.compression = 1; }), "compression");
  ExpectRefused(with([](BmpFile& f) { f.bitCount = 8, f.compression = 1, f.height = -3; }), "top-down");
  ExpectRefused(with([](BmpFile& f) { f.pixels.pop_back(); }), "cut short");
  ExpectRefused({'B', 'M', 1}, "cut short");
  ExpectRefused({}, "too short");

  // Compressed data that ends without its end-of-bitmap mark.
  BmpFile rle{.width = 4, .height = 2, .bitCount = 8, .compression = 1, .colorsUsed = 1, .palette = {0}};
  rle.pixels = {0x04, 0x00, 0x00, 0x00, 0x02};
  ExpectRefused(rle.Bytes(), "cut short");

  // A colour count far beyond the data: the table is read as far as it goes.
  BmpFile many{.width = 1, .height = 1, .bitCount = 8, .colorsUsed = 0xFFFFFFFF, .palette = {0x123456}};
  many.pixels = Pack(8, {{0}});
  EXPECT_EQ(Pixels(Decode(many)), (Rows{{0x123456}}));
}

// Bitmaps written by an image editor, beside the pixels it reads back from
// them (raw red, green, blue): 1 bit, RLE8, the OS/2 core header, 24 bits and
// 32 bits with bit fields in a version 5 header.
TEST(BmpGraphicTest, ReadsWhatAnImageEditorWrites) {
  for (const char* name : {"im-mono", "im-rle8", "im-os2", "im-rgb24", "im-v5-32"}) {
    const std::string base = std::string(VELMORA_TEST_DATA_DIR) + "/pictures/" + name;
    const auto graphic = BmpGraphic::FromFile(base + ".bmp");
    const std::vector<std::uint8_t> expected = ReadPictureFile(base + ".rgb");
    const MemoryImage24& image = graphic->Image();
    ASSERT_EQ(std::size_t(image.Width() * image.Height() * 3), expected.size()) << name;
    for (int y = 0; y < image.Height(); ++y)
      for (int x = 0; x < image.Width(); ++x) {
        const std::uint8_t* p = image.Row(y) + x * 3;
        const std::uint8_t* e = &expected[std::size_t(y * image.Width() + x) * 3];
        ASSERT_EQ(p[2], e[0]) << name << " at " << x << "," << y;
        ASSERT_EQ(p[1], e[1]) << name << " at " << x << "," << y;
        ASSERT_EQ(p[0], e[2]) << name << " at " << x << "," << y;
      }
  }
}

TEST(BmpGraphicTest, RandomDamageNeverCrashes) {
  BmpFile rle{.width = 9, .height = 7, .bitCount = 8, .compression = 1, .colorsUsed = 4,
              .palette = {1, 2, 3, 4}};
  rle.pixels = {0x05, 0x01, 0x00, 0x00, 0x00, 0x03, 1, 2, 3, 0, 0x00, 0x02, 0x03, 0x02, 0x09, 0x03, 0x00, 0x01};
  BmpFile fields{.headerSize = 56, .width = 6, .height = -3, .bitCount = 16, .compression = 3,
                 .masks = {0xF800, 0x07E0, 0x001F}};
  fields.pixels.assign(36, 0x5A);
  BmpFile four{.width = 7, .height = 3, .bitCount = 4, .palette = {1, 2, 3}};
  four.pixels.assign(12, 0x37);
  unsigned seed = 12345;
  for (const BmpFile& f : {rle, fields, four}) {
    const std::vector<std::uint8_t> original = f.Bytes();
    for (int round = 0; round < 1000; ++round) {
      std::vector<std::uint8_t> bytes = original;
      for (int k = 0; k < 3; ++k) {
        seed = seed * 1103515245u + 12345u;
        bytes[(seed >> 8) % bytes.size()] = std::uint8_t(seed >> 20);
      }
      try {
        const MemoryImage24 image = DecodeBmp(bytes.data(), bytes.size(), "fuzz.bmp");
        EXPECT_GT(image.Width(), 0);
      } catch (const EPictureError&) {
      }
    }
  }
}

}  // namespace
}  // namespace velmora
