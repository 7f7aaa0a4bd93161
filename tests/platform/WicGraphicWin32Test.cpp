#include "platform/WicGraphicWin32.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "editor/Thumbnails.h"
#include "fade/PictureLoader.h"
#include "fade/Resample.h"
#include "platform/PictureLoaderWin32.h"
#include "support/WicPicturesWin32.h"

namespace velmora {
namespace {

using testing::BgraFrame;

constexpr TColor kRed = 0x0000FF;
constexpr TColor kGreen = 0x00FF00;
constexpr TColor kBlue = 0xFF0000;

// A width x height frame whose pixel (x, y) is colours[y * width + x] with the
// given alphas (255 when none are given).
BgraFrame Frame(int width, int height, const std::vector<TColor>& colours, const std::vector<int>& alphas = {}) {
  BgraFrame f{width, height, {}};
  for (std::size_t i = 0; i < colours.size(); ++i) {
    const TColor c = colours[i];
    f.pixels.insert(f.pixels.end(), {std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c),
                                     std::uint8_t(alphas.empty() ? 255 : alphas[i])});
  }
  return f;
}

// The picture drawn at natural size, row by row.
std::vector<std::vector<TColor>> Pixels(const Graphic& graphic) {
  MemoryImage24 image(graphic.Width(), graphic.Height());
  image.Fill(0x808080);
  graphic.Draw(image, 0, 0);
  std::vector<std::vector<TColor>> rows(std::size_t(image.Height()));
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x) rows[std::size_t(y)].push_back(image.PixelAt(x, y));
  return rows;
}

// Six distinct colours, stored as the rows A B C / D E F.
constexpr TColor kA = 0x0000FF, kB = 0x00FF00, kC = 0xFF0000, kD = 0x00FFFF, kE = 0xFF00FF, kF = 0xFFFF00;
const BgraFrame kSix = Frame(3, 2, {kA, kB, kC, kD, kE, kF});

// A GIF palette, 0xRRGGBB: white, red, green, blue.
constexpr std::uint32_t kGifPalette[4] = {0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF};
constexpr TColor kGifRed = 0x0000FF;

TEST(WicGraphicWin32Test, DecodesEachKindToItsUprightPixels) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::vector<std::vector<TColor>> expected;
  };
  const std::vector<Case> cases = {
      // Opaque, half and fully transparent pixels, over black.
      {"png with alpha", testing::EncodePng(Frame(3, 1, {kRed, kGreen, kBlue}, {255, 128, 0})),
       {{kRed, 0x008000, 0x000000}}},
      // An animated GIF shows its first frame (not the second, which covers
      // the screen), at its place on the logical screen, with its
      // transparent pixel and the rest of the screen black.
      {"gif frame placed on its screen",
       testing::MakeGif(4, 3, kGifPalette,
                        {{1, 1, 2, 1, {1, 3}, 3}, {0, 0, 4, 3, std::vector<std::uint8_t>(12, 2), -1}}),
       {{0, 0, 0, 0}, {0, kGifRed, 0, 0}, {0, 0, 0, 0}}},
      {"tiff without orientation", testing::MakeTiff(kSix, 0), {{kA, kB, kC}, {kD, kE, kF}}},
      {"tiff turned half round", testing::MakeTiff(kSix, 3), {{kF, kE, kD}, {kC, kB, kA}}},
      {"tiff turned a quarter clockwise", testing::MakeTiff(kSix, 6), {{kD, kA}, {kE, kB}, {kF, kC}}},
      {"tiff turned a quarter anticlockwise", testing::MakeTiff(kSix, 8), {{kC, kF}, {kB, kE}, {kA, kD}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto graphic = WicGraphic::FromBytes(c.bytes, c.name);
    EXPECT_EQ(graphic->Kind(), GraphicKind::Raster);
    EXPECT_EQ(Pixels(*graphic), c.expected);
    EXPECT_EQ(graphic->LastRoute(), WicGraphic::Route::Whole);
  }
}

TEST(WicGraphicWin32Test, RefusesWhatItCannotShowWithAMessageNamingTheFile) {
  const std::vector<std::uint8_t> png = testing::EncodePng(kSix);
  // A lossless WebP header of 1 x 1; Wine's imaging component has no WebP decoder.
  const std::vector<std::uint8_t> webp = {'R', 'I', 'F', 'F', 26, 0, 0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', 'L',
                                          14, 0, 0, 0, 0x2F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  struct Case {
    const char* file;
    std::vector<std::uint8_t> bytes;
    const char* says;
  };
  const std::vector<Case> cases = {
      // 10000 x 10000 in the header, a body of a few bytes: refused from the
      // header, not found damaged by a decoder that began to allocate.
      {"velmora-wic-huge.png", testing::WithPngSize(png, 10000, 10000), "too large (10000 x 10000 pixels"},
      {"velmora-wic-tall.png", testing::WithPngSize(png, 1, 64'000'001), "too large"},
      {"velmora-wic-cut.png", std::vector<std::uint8_t>(png.begin(), png.begin() + 40), "not a readable picture"},
      {"velmora-wic-text.gif", {'h', 'e', 'l', 'l', 'o'}, "not a picture this system can decode"},
      {"velmora-wic-empty.tif", {}, "the file is empty"},
      {"velmora-wic-unsupported.webp", webp, "WebP pictures cannot be decoded on this system"},
  };
  InstallWin32Graphics();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = testing::WriteTempFile(c.file, c.bytes);
    try {
      LoadGraphic(path);
      ADD_FAILURE() << "loaded";
    } catch (const EPictureError& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find(c.file), std::string::npos) << message;
      EXPECT_NE(message.find(c.says), std::string::npos) << message;
    }
    ::DeleteFileA(path.c_str());
  }
}

TEST(WicGraphicWin32Test, ScaledDrawingResamplesTheWholePictureAndKeepsTheResult) {
  BgraFrame gradient{64, 48, {}};
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x)
      gradient.pixels.insert(gradient.pixels.end(), {std::uint8_t(x * 4), std::uint8_t(y * 5), 200, 255});
  const auto graphic = WicGraphic::FromBytes(testing::EncodePng(gradient), "gradient");
  MemoryImage24 whole(64, 48);
  graphic->Draw(whole, 0, 0);

  for (const Rect rect : {Rect{3, 2, 19, 14}, Rect{-10, -5, 150, 110}}) {
    MemoryImage24 expected(40, 40), drawn(40, 40), again(40, 40);
    Resample(whole, expected, rect);
    graphic->StretchDraw(drawn, rect);
    EXPECT_EQ(std::vector<std::uint8_t>(drawn.Bits(), drawn.Bits() + drawn.ByteSize()),
              std::vector<std::uint8_t>(expected.Bits(), expected.Bits() + expected.ByteSize()));
    // The same size again comes from the kept result, unchanged.
    graphic->StretchDraw(again, rect);
    EXPECT_EQ(std::vector<std::uint8_t>(again.Bits(), again.Bits() + again.ByteSize()),
              std::vector<std::uint8_t>(drawn.Bits(), drawn.Bits() + drawn.ByteSize()));
  }
  // Both sizes and the natural size stay kept side by side.
  EXPECT_TRUE(graphic->Keeps(16, 12) && graphic->Keeps(160, 115) && graphic->Keeps(64, 48));
  EXPECT_EQ(graphic->Renders(), 3);
}

// The strip's thumbnails of these kinds: upright, of the thumbnail size; a
// kind the system cannot decode is a picture that cannot be read.
TEST(WicGraphicWin32Test, ThumbnailsAreUprightAndAnUndecodableKindIsNotRead) {
  InstallWin32Graphics();
  BgraFrame wide{300, 200, {}};
  for (int i = 0; i < 300 * 200; ++i) wide.pixels.insert(wide.pixels.end(), {0, 0, 255, 255});
  const std::string png = testing::WriteTempFile("velmora-wic-thumb.png", testing::EncodePng(wide));
  const std::string tif = testing::WriteTempFile("velmora-wic-thumb.tif", testing::MakeTiff(kSix, 6));
  const std::string webp = testing::WriteTempFile(
      "velmora-wic-thumb.webp", {'R', 'I', 'F', 'F', 26, 0, 0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', 'L', 14, 0, 0, 0,
                                 0x2F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  const MemoryImage24 pngThumb = RenderThumbnail(png);
  EXPECT_EQ(pngThumb.Width(), 111);
  EXPECT_EQ(pngThumb.Height(), 74);
  EXPECT_EQ(pngThumb.PixelAt(55, 37), kRed);
  const MemoryImage24 tifThumb = RenderThumbnail(tif);
  EXPECT_EQ(tifThumb.Width(), 74);  // stored 3 x 2, shown 2 x 3
  EXPECT_EQ(tifThumb.Height(), 111);
  EXPECT_EQ(tifThumb.PixelAt(0, 0), kD);
  EXPECT_THROW(RenderThumbnail(webp), EPictureError);
  for (const std::string& path : {png, tif, webp}) ::DeleteFileA(path.c_str());
}

// Pictures are loaded and drawn on worker threads too (prefetching,
// thumbnails), where nothing else has initialised COM.
TEST(WicGraphicWin32Test, LoadsAndDrawsOnAThreadOfItsOwn) {
  const std::vector<std::uint8_t> bytes = testing::MakeTiff(kSix, 6);
  std::string failure;
  TColor topLeft = 0;
  std::thread worker([&] {
    try {
      const auto graphic = WicGraphic::FromBytes(bytes, "worker");
      MemoryImage24 image(2, 3);
      graphic->Draw(image, 0, 0);
      topLeft = image.PixelAt(0, 0);
    } catch (const std::exception& e) {
      failure = e.what();
    }
  });
  worker.join();
  EXPECT_EQ(failure, "");
  EXPECT_EQ(topLeft, kD);
}

}  // namespace
}  // namespace velmora
