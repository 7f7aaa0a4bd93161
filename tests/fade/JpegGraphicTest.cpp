#include "fade/JpegGraphic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <jpeglib.h>

#include "fade/PictureLoader.h"
#include "fade/Resample.h"

namespace velmora {
namespace {

// A photo-like test picture: smooth gradients with some texture.
MemoryImage24 Photo(int width, int height) {
  MemoryImage24 image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = image.Row(y) + x * 3;
      p[0] = std::uint8_t(x * 255 / std::max(1, width - 1));
      p[1] = std::uint8_t(y * 255 / std::max(1, height - 1));
      p[2] = std::uint8_t(128 + 100 * std::sin((x + 2 * y) * 0.2));
    }
  return image;
}

struct TestErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

void TestErrorExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<TestErrorManager*>(cinfo->err)->jump, 1); }

// The library's own plain decode at natural size, as RGB rows.
bool PlainDecodeRows(const std::vector<std::uint8_t>& bytes, jpeg_decompress_struct* cinfo,
                     TestErrorManager* err, std::vector<std::uint8_t>* rgb, int* width, int* height) {
  if (setjmp(err->jump)) return false;
  jpeg_mem_src(cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(cinfo, TRUE);
  cinfo->out_color_space = JCS_RGB;
  jpeg_start_decompress(cinfo);
  *width = int(cinfo->output_width);
  *height = int(cinfo->output_height);
  rgb->resize(std::size_t(*width) * std::size_t(*height) * 3);
  while (cinfo->output_scanline < cinfo->output_height) {
    JSAMPROW row = rgb->data() + std::size_t(cinfo->output_scanline) * std::size_t(*width) * 3;
    jpeg_read_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_decompress(cinfo);
  return true;
}

MemoryImage24 PlainDecode(const std::vector<std::uint8_t>& bytes) {
  jpeg_decompress_struct cinfo;
  TestErrorManager err;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = &TestErrorExit;
  jpeg_create_decompress(&cinfo);
  std::vector<std::uint8_t> rgb;
  int width = 0, height = 0;
  const bool ok = PlainDecodeRows(bytes, &cinfo, &err, &rgb, &width, &height);
  jpeg_destroy_decompress(&cinfo);
  if (!ok) throw std::runtime_error("plain decode failed");
  MemoryImage24 image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) image.Row(y)[x * 3 + c] = rgb[(std::size_t(y) * width + x) * 3 + 2 - c];
  return image;
}

// Encodes raw samples of any colour space (grey, CMYK) with the library.
bool EncodeRawRows(const std::vector<std::uint8_t>& samples, int width, int height, int components,
                   J_COLOR_SPACE space, jpeg_compress_struct* cinfo, TestErrorManager* err,
                   unsigned char** buffer, unsigned long* size) {
  if (setjmp(err->jump)) return false;
  jpeg_mem_dest(cinfo, buffer, size);
  cinfo->image_width = JDIMENSION(width);
  cinfo->image_height = JDIMENSION(height);
  cinfo->input_components = components;
  cinfo->in_color_space = space;
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, 95, TRUE);
  jpeg_start_compress(cinfo, TRUE);
  for (int y = 0; y < height; ++y) {
    JSAMPROW row = const_cast<JSAMPROW>(&samples[std::size_t(y) * width * components]);
    jpeg_write_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_compress(cinfo);
  return true;
}

std::vector<std::uint8_t> EncodeRaw(const std::vector<std::uint8_t>& samples, int width, int height,
                                    int components, J_COLOR_SPACE space) {
  jpeg_compress_struct cinfo;
  TestErrorManager err;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = &TestErrorExit;
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  const bool ok = EncodeRawRows(samples, width, height, components, space, &cinfo, &err, &buffer, &size);
  jpeg_destroy_compress(&cinfo);
  std::vector<std::uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  if (!ok) throw std::runtime_error("raw encode failed");
  return out;
}

std::vector<std::uint8_t> ReadData(const char* name) {
  return ReadPictureFile(std::string(VELMORA_TEST_DATA_DIR) + "/pictures/" + name);
}

void ExpectColourNear(TColor actual, TColor expected, int tolerance) {
  for (int shift = 0; shift < 24; shift += 8)
    EXPECT_NEAR(int((actual >> shift) & 0xFF), int((expected >> shift) & 0xFF), tolerance)
        << std::hex << actual << " vs " << expected;
}

TEST(ChooseJpegScaleTest, PicksTheLargestReductionThatStillCovers) {
  // Any N/8.
  EXPECT_EQ(ChooseJpegScale(6000, 4000, 1620, 1080, false), 3);  // 2250 x 1500
  EXPECT_EQ(ChooseJpegScale(6000, 4000, 3240, 2160, false), 5);  // 3750 x 2500
  EXPECT_EQ(ChooseJpegScale(800, 600, 100, 75, false), 1);
  EXPECT_EQ(ChooseJpegScale(800, 600, 101, 75, false), 2);       // 1/8 gives 100 wide
  EXPECT_EQ(ChooseJpegScale(800, 600, 100, 76, false), 2);
  EXPECT_EQ(ChooseJpegScale(801, 600, 101, 75, false), 1);       // ceil(801/8) = 101
  EXPECT_EQ(ChooseJpegScale(800, 600, 799, 10, false), 8);
  EXPECT_EQ(ChooseJpegScale(100, 100, 400, 400, false), 8);      // enlargement decodes whole
  EXPECT_EQ(ChooseJpegScale(8, 8, 1, 1, false), 1);
  // Powers of two only, as drawing chooses.
  EXPECT_EQ(ChooseJpegScale(6000, 4000, 1620, 1080), 4);
  EXPECT_EQ(ChooseJpegScale(6000, 4000, 1500, 1000), 2);
  EXPECT_EQ(ChooseJpegScale(6000, 4000, 3240, 2160), 8);
  EXPECT_EQ(ChooseJpegScale(800, 600, 100, 75), 1);
  EXPECT_EQ(ChooseJpegScale(800, 600, 101, 75), 2);
  EXPECT_EQ(ChooseJpegScale(800, 600, 201, 10), 4);
  EXPECT_EQ(ChooseJpegScale(100, 100, 400, 400), 8);
}

TEST(JpegGraphicTest, ReadsTheHeaderOnLoad) {
  const auto graphic = JpegGraphic::FromBytes(EncodeJpeg(Photo(37, 21), 90));
  EXPECT_EQ(graphic->Width(), 37);
  EXPECT_EQ(graphic->Height(), 21);
  EXPECT_EQ(graphic->Kind(), GraphicKind::Raster);
  EXPECT_EQ(graphic->Components(), 3);
}

TEST(JpegGraphicTest, NaturalSizeDrawEqualsThePlainDecode) {
  for (bool progressive : {false, true}) {
    const std::vector<std::uint8_t> bytes = EncodeJpeg(Photo(61, 45), 85, progressive);
    const MemoryImage24 plain = PlainDecode(bytes);
    const auto graphic = JpegGraphic::FromBytes(bytes);
    MemoryImage24 target(61, 45);
    graphic->Draw(target, 0, 0);
    for (int y = 0; y < 45; ++y)
      ASSERT_EQ(std::memcmp(target.Row(y), plain.Row(y), 61 * 3), 0) << "row " << y;
    EXPECT_EQ(graphic->LastDecodeWarnings(), 0);

    // Placed partly outside the target, the visible part is the same pixels.
    MemoryImage24 small(30, 30);
    small.Fill(0xABCDEF);
    graphic->Draw(small, -40, 10);
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 30; ++x) {
        const TColor expected = (x < 21 && y >= 10) ? plain.PixelAt(x + 40, y - 10) : 0xABCDEFu;
        ASSERT_EQ(small.PixelAt(x, y), expected) << x << "," << y;
      }
  }
}

TEST(JpegGraphicTest, ScaledDrawFillsExactlyTheRectangle) {
  MemoryImage24 white(200, 120);
  white.Fill(kWhite);
  const auto graphic = JpegGraphic::FromBytes(EncodeJpeg(white, 95));
  for (const Rect& rect : {Rect{10, 7, 60, 40}, Rect{5, 5, 395, 235}, Rect{3, 2, 203, 122}}) {
    MemoryImage24 target(80, 60);
    target.Fill(0x0000FF);
    graphic->StretchDraw(target, rect);
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 80; ++x) {
        const bool inside = x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
        if (inside) {
          ExpectColourNear(target.PixelAt(x, y), kWhite, 2);
        } else {
          ASSERT_EQ(target.PixelAt(x, y), 0x0000FFu);
        }
      }
  }
}

TEST(JpegGraphicTest, ScaledDrawMatchesAReductionOfTheWholePicture) {
  const std::vector<std::uint8_t> bytes = EncodeJpeg(Photo(320, 240), 92);
  const auto graphic = JpegGraphic::FromBytes(bytes);
  MemoryImage24 scaled(100, 75);
  graphic->StretchDraw(scaled, Rect{0, 0, 100, 75});
  // Against the plain decode averaged down whole: the reduction in the DCT
  // domain differs from that only a little.
  MemoryImage24 reference(100, 75);
  Resample(PlainDecode(bytes), reference, Rect{0, 0, 100, 75});
  int worst = 0;
  for (int y = 0; y < 75; ++y)
    for (int x = 0; x < 300; ++x) worst = std::max(worst, std::abs(scaled.Row(y)[x] - reference.Row(y)[x]));
  EXPECT_LE(worst, 10);
  // Drawn again, from the kept result, into a clipped place: the same pixels.
  MemoryImage24 again(50, 50);
  graphic->StretchDraw(again, Rect{-50, -25, 50, 50});
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 50; ++x) ASSERT_EQ(again.PixelAt(x, y), scaled.PixelAt(x + 50, y + 25));
  graphic->DropCache();
  MemoryImage24 fresh(50, 50);
  graphic->StretchDraw(fresh, Rect{-50, -25, 50, 50});
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 50; ++x) ASSERT_EQ(fresh.PixelAt(x, y), again.PixelAt(x, y));
}

TEST(JpegGraphicTest, ReducedCheckerboardIsMidGrey) {
  MemoryImage24 checker(256, 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      std::uint8_t* p = checker.Row(y) + x * 3;
      p[0] = p[1] = p[2] = ((x + y) & 1) ? 255 : 0;
    }
  const auto graphic = JpegGraphic::FromBytes(EncodeJpeg(checker, 100));
  for (int size : {64, 50, 37}) {
    MemoryImage24 target(size, size);
    graphic->StretchDraw(target, Rect{0, 0, size, size});
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) ASSERT_NEAR(target.Row(y)[x * 3 + 1], 128, 20) << size << " at " << x << "," << y;
  }
}

TEST(JpegGraphicTest, EnlargesSmoothly) {
  MemoryImage24 two(16, 16);
  two.Fill(kBlack);
  two.FillRect(Rect{8, 0, 16, 16}, kWhite);
  const auto graphic = JpegGraphic::FromBytes(EncodeJpeg(two, 100));
  MemoryImage24 target(64, 8);
  graphic->StretchDraw(target, Rect{0, 0, 64, 8});
  EXPECT_LT(target.Row(4)[0], 10);
  EXPECT_GT(target.Row(4)[63 * 3], 245);
  for (int x = 1; x < 64; ++x) ASSERT_GE(target.Row(4)[x * 3] + 8, target.Row(4)[(x - 1) * 3]);
}

TEST(JpegGraphicTest, GreyPicturesDrawAsGrey) {
  std::vector<std::uint8_t> grey(40 * 24);
  for (std::size_t i = 0; i < grey.size(); ++i) grey[i] = std::uint8_t(i % 40 * 6);
  const auto graphic = JpegGraphic::FromBytes(EncodeRaw(grey, 40, 24, 1, JCS_GRAYSCALE));
  EXPECT_EQ(graphic->Components(), 1);
  MemoryImage24 target(40, 24);
  graphic->Draw(target, 0, 0);
  for (int x = 0; x < 40; ++x) {
    const std::uint8_t* p = target.Row(12) + x * 3;
    ASSERT_EQ(p[0], p[1]);
    ASSERT_EQ(p[1], p[2]);
    ASSERT_NEAR(p[0], x * 6, 6);
  }
  MemoryImage24 scaled(10, 6);
  graphic->StretchDraw(scaled, Rect{0, 0, 10, 6});
  EXPECT_EQ(scaled.Row(3)[0], scaled.Row(3)[2]);
}

TEST(JpegGraphicTest, CmykPicturesAreConvertedToRgb) {
  // Made by an image editor as Adobe YCCK.
  for (const auto& [file, colour] : {std::pair{"cmyk-red.jpg", TColor(0x0000FF)},
                                     std::pair{"cmyk-blue.jpg", TColor(0xFF0000)}}) {
    const auto graphic = JpegGraphic::FromBytes(ReadData(file), file);
    EXPECT_EQ(graphic->Components(), 4);
    MemoryImage24 target(16, 16);
    graphic->Draw(target, 0, 0);
    ExpectColourNear(target.PixelAt(8, 8), colour, 12);
    MemoryImage24 scaled(4, 4);
    graphic->StretchDraw(scaled, Rect{0, 0, 4, 4});
    ExpectColourNear(scaled.PixelAt(2, 2), colour, 12);
  }
  // Written by the library with an Adobe marker: inverted CMYK, "green" is
  // cyan plus yellow, stored as 255 - ink.
  std::vector<std::uint8_t> cmyk(16 * 16 * 4);
  for (std::size_t i = 0; i < cmyk.size(); i += 4) {
    cmyk[i] = 0;        // full cyan
    cmyk[i + 1] = 255;  // no magenta
    cmyk[i + 2] = 0;    // full yellow
    cmyk[i + 3] = 255;  // no black
  }
  const auto graphic = JpegGraphic::FromBytes(EncodeRaw(cmyk, 16, 16, 4, JCS_CMYK));
  MemoryImage24 target(16, 16);
  graphic->Draw(target, 0, 0);
  ExpectColourNear(target.PixelAt(5, 5), 0x00FF00, 8);
}

TEST(JpegGraphicTest, DamagedDataStillDrawsWhatDecodes) {
  const std::vector<std::uint8_t> bytes = EncodeJpeg(Photo(128, 128), 90);
  const MemoryImage24 plain = PlainDecode(bytes);
  std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + std::ptrdiff_t(bytes.size() / 2));
  const auto graphic = JpegGraphic::FromBytes(cut);
  MemoryImage24 target(128, 128);
  graphic->Draw(target, 0, 0);
  EXPECT_GT(graphic->LastDecodeWarnings(), 0);
  EXPECT_EQ(std::memcmp(target.Row(0), plain.Row(0), 128 * 3), 0);
  MemoryImage24 scaled(32, 32);
  graphic->StretchDraw(scaled, Rect{0, 0, 32, 32});

  // Garbage in the entropy-coded data: warnings, no crash, every pixel written.
  std::vector<std::uint8_t> noisy = bytes;
  for (std::size_t i = bytes.size() / 3; i < bytes.size() - 2; i += 97) noisy[i] ^= 0x5A;
  const auto damaged = JpegGraphic::FromBytes(noisy);
  MemoryImage24 t2(128, 128);
  damaged->Draw(t2, 0, 0);
  damaged->StretchDraw(scaled, Rect{0, 0, 32, 32});
}

TEST(JpegGraphicTest, RefusesWhatIsNotAReadableJpeg) {
  const std::vector<std::uint8_t> good = EncodeJpeg(Photo(16, 16), 90);
  auto expectRefused = [](std::vector<std::uint8_t> bytes, const char* fragment) {
    try {
      JpegGraphic::FromBytes(std::move(bytes), "holiday.jpg");
      ADD_FAILURE() << "accepted; expected " << fragment;
    } catch (const EPictureError& e) {
      EXPECT_NE(std::string(e.what()).find("holiday.jpg"), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
    }
  };
  expectRefused({}, "not a readable JPEG");
  expectRefused({'B', 'M', 0, 0, 0, 0}, "not a readable JPEG");
  expectRefused(std::vector<std::uint8_t>(good.begin(), good.begin() + 30), "not a readable JPEG");

  // The header claims 60000 x 60000 pixels: refused before anything is allocated.
  std::vector<std::uint8_t> huge = good;
  for (std::size_t i = 0; i + 8 < huge.size(); ++i)
    if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {  // start of frame: length, precision, height, width
      huge[i + 5] = 0xEA;
      huge[i + 6] = 0x60;
      huge[i + 7] = 0xEA;
      huge[i + 8] = 0x60;
      break;
    }
  expectRefused(huge, "too large");
}

}  // namespace
}  // namespace velmora
