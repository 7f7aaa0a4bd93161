#include "saver/Caption.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <string>
#include <utility>

#include "fade/MorfFade.h"

namespace velmora {
namespace {

TEST(CaptionText, TakesTheNamesFromThePicturesOwnPath) {
  struct Case {
    CaptionMode mode;
    const wchar_t* path;
    const wchar_t* expected;
  };
  const wchar_t* date = L"2024年5月3日";
  const Case cases[] = {
      {CaptionMode::None, L"C:\\Trips\\Kyoto 01.jpg", L""},
      {CaptionMode::DateTaken, L"C:\\Trips\\Kyoto 01.jpg", L"2024年5月3日"},
      {CaptionMode::FileName, L"C:\\Trips\\Kyoto 01.jpg", L"Kyoto 01"},
      {CaptionMode::FileName, L"D:/相片/2019.07 海邊.tar.jpeg", L"2019.07 海邊.tar"},
      {CaptionMode::FileName, L"\\\\nas\\photos\\.hidden", L".hidden"},
      {CaptionMode::FileName, L"noext", L"noext"},
      {CaptionMode::FolderName, L"C:\\Trips\\京都.2019\\Kyoto 01.jpg", L"京都.2019"},
      {CaptionMode::FolderName, L"C:\\Trips\\\\a.jpg", L"Trips"},
      {CaptionMode::FolderName, L"C:\\a.jpg", L""},
      {CaptionMode::FolderName, L"a.jpg", L""},
      {CaptionMode::DateAndFolder, L"C:\\Trips\\Kyoto\\a.jpg", L"2024年5月3日 \u00B7 Kyoto"},
      {CaptionMode::DateAndFolder, L"C:\\a.jpg", L"2024年5月3日"},
  };
  for (const Case& c : cases) EXPECT_EQ(CaptionText(c.mode, c.path, date), c.expected) << int(c.mode);
  EXPECT_EQ(CaptionText(CaptionMode::DateAndFolder, L"C:\\Trips\\a.jpg", L""), L"Trips");
  EXPECT_TRUE(CaptionNeedsDate(CaptionMode::DateAndFolder));
  EXPECT_FALSE(CaptionNeedsDate(CaptionMode::FolderName));
}

// Over many pictures on monitors of several heights: the corner changes from
// each picture to the next and all four take turns; the box stays wholly on
// the picture, within margin .. margin + drift of its corner's two edges; the
// drift changes.
TEST(CaptionPlace, CornerChangesEveryPictureAndTheTextDriftsAFewPixels) {
  struct Case {
    int monitorHeight, pictureWidth, pictureHeight, textWidth, textHeight;
  };
  const Case cases[] = {{480, 640, 480, 200, 14}, {1080, 1920, 1080, 400, 32}, {1080, 810, 1080, 300, 32},
                        {2160, 3840, 2160, 700, 65}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.monitorHeight);
    const int margin = CaptionMargin(c.monitorHeight), drift = CaptionDrift(c.monitorHeight);
    EXPECT_GE(drift, 2);
    EXPECT_LE(drift, c.monitorHeight / 100) << "a few pixels";
    EXPECT_NEAR(CaptionTextHeight(c.monitorHeight), c.monitorHeight * 0.03, 1.0);
    std::set<std::pair<int, int>> offsets;
    for (int n = 0; n < 400; ++n) {
      const CaptionPlace place = PlaceCaption(n, c.pictureWidth, c.pictureHeight, c.textWidth, c.textHeight,
                                              c.monitorHeight);
      const CaptionPlace before = PlaceCaption(n == 0 ? 3 : n - 1, c.pictureWidth, c.pictureHeight, c.textWidth,
                                               c.textHeight, c.monitorHeight);
      ASSERT_NE(place.corner, before.corner) << n;
      std::set<CaptionCorner> four;
      for (int k = n; k < n + 4; ++k) four.insert(CaptionCornerFor(k));
      ASSERT_EQ(four.size(), 4u) << n;
      ASSERT_EQ(PlaceCaption(n, c.pictureWidth, c.pictureHeight, c.textWidth, c.textHeight, c.monitorHeight), place);
      const bool left = place.corner == CaptionCorner::TopLeft || place.corner == CaptionCorner::BottomLeft;
      const bool top = place.corner == CaptionCorner::TopLeft || place.corner == CaptionCorner::TopRight;
      const int fromSide = left ? place.x : c.pictureWidth - place.x - c.textWidth;
      const int fromEnd = top ? place.y : c.pictureHeight - place.y - c.textHeight;
      ASSERT_GE(fromSide, margin);
      ASSERT_LE(fromSide, margin + drift);
      ASSERT_GE(fromEnd, margin);
      ASSERT_LE(fromEnd, margin + drift);
      offsets.insert({fromSide, fromEnd});
    }
    EXPECT_GE(offsets.size(), std::size_t(std::min(8, (drift + 1) * (drift + 1) / 2)));
  }
  // Wider and higher than the picture: from its top-left corner, clipped when drawn.
  for (int n = 0; n < 4; ++n) EXPECT_EQ(PlaceCaption(n, 100, 20, 150, 30, 1080), (CaptionPlace{CaptionCornerFor(n), 0, 0}));
  // A wrapped sequence still changes corner.
  EXPECT_NE(CaptionCornerFor(0x3FFFFFFF), CaptionCornerFor(0));
}

CaptionMask Block(int width, int height) {
  CaptionMask mask{width, height, std::vector<std::uint8_t>(std::size_t(width) * std::size_t(height), 255)};
  return mask;
}

int Brightness(TColor c) { return int(c & 0xFF) + int(c >> 8 & 0xFF) + int(c >> 16 & 0xFF); }

// White text over a dark halo, read on white and on black: the glyphs are
// white, the halo around them dark, the rest untouched; edges clip.
TEST(CaptionStamp, WhiteTextOverADarkHaloReadsOnWhiteAndOnBlack) {
  for (const TColor ground : {kWhite, kBlack, TColor(0x808080)}) {
    SCOPED_TRACE(ground);
    MemoryImage24 image(60, 30);
    image.Fill(ground);
    StampCaption(image, Block(20, 10), 20, 10, 3);
    EXPECT_EQ(image.PixelAt(25, 15), kWhite);
    EXPECT_LE(Brightness(image.PixelAt(18, 15)), Brightness(ground) / 3) << "the halo, left";
    EXPECT_LE(Brightness(image.PixelAt(25, 8)), Brightness(ground) / 3) << "the halo, above";
    EXPECT_EQ(image.PixelAt(16, 15), ground) << "past the halo";
    EXPECT_EQ(image.PixelAt(25, 24), ground);
    // At every edge and past it: clipped, nothing outside the image touched.
    for (const auto& [x, y] : {std::pair{-15, -5}, std::pair{50, 25}, std::pair{-100, 0}, std::pair{0, 100}})
      StampCaption(image, Block(20, 10), x, y, 3);
    EXPECT_EQ(image.PixelAt(0, 0), kWhite);
    EXPECT_EQ(image.PixelAt(59, 29), kWhite);
  }
  MemoryImage24 image(8, 8);
  image.Fill(kWhite);
  StampCaption(image, CaptionMask{4, 4, {1, 2, 3}}, 0, 0, 1);  // coverage shorter than its size
  EXPECT_EQ(image.PixelAt(0, 0), kWhite);
}

// A plain picture of one colour at any size.
class SolidGraphic final : public Graphic {
 public:
  SolidGraphic(int width, int height, TColor colour, GraphicKind kind = GraphicKind::Raster)
      : width_(width), height_(height), colour_(colour), kind_(kind) {}
  GraphicKind Kind() const override { return kind_; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void Draw(Image24& target, int x, int y) const override { target.FillRect(Rect{x, y, x + width_, y + height_}, colour_); }
  void StretchDraw(Image24& target, const Rect& rect) const override { target.FillRect(rect, colour_); }

 private:
  int width_, height_;
  TColor colour_;
  GraphicKind kind_;
};

// The caption is drawn into the picture as each monitor's component fits it
// (the halo and text at the rule's place) and at no other size; nothing to
// draw gives the picture itself.
TEST(CaptionPicture, DrawsOncePerFittedSizeAndLeavesOtherDrawsPlain) {
  const TColor grey = 0x808080;
  const auto picture = std::make_shared<SolidGraphic>(400, 300, grey);
  std::vector<int> heights;
  const CaptionRasterizer block = [&heights](const std::wstring&, int height) {
    heights.push_back(height);
    return Block(height * 3, height);
  };
  const std::vector<PictureWorker::DrawnSize> sizes = {{800, 600}, {0, 0}, {1600, 600}, {800, 600}};
  const auto captioned = CaptionPicture(picture, L"text", 1, sizes, block);
  ASSERT_NE(captioned, picture);
  EXPECT_EQ(heights, (std::vector<int>{18})) << "one mask for the monitors of one height";
  EXPECT_EQ(captioned->Width(), 400);
  for (const PictureWorker::DrawnSize& size : {sizes[0], sizes[2]}) {
    SCOPED_TRACE(size.width);
    MemoryImage24 screen(size.width, size.height);
    screen.Fill(kBlack);
    const Rect fit = FitRect(400, 300, size.width, size.height);
    captioned->StretchDraw(screen, fit);
    const CaptionPlace place = PlaceCaption(1, fit.Width(), fit.Height(), 54, 18, size.height);
    EXPECT_EQ(place.corner, CaptionCornerFor(1));
    EXPECT_EQ(screen.PixelAt(fit.left + place.x + 27, fit.top + place.y + 9), kWhite);
    EXPECT_LE(Brightness(screen.PixelAt(fit.left + place.x - 1, fit.top + place.y + 9)), Brightness(grey) / 3)
        << "the halo";
    EXPECT_EQ(screen.PixelAt(fit.left + fit.Width() / 2, fit.top + fit.Height() / 2), grey);
    EXPECT_EQ(screen.PixelAt(fit.left - 1, fit.top + 1), fit.left > 0 ? kBlack : grey);
  }
  MemoryImage24 other(100, 75);
  captioned->StretchDraw(other, Rect{0, 0, 100, 75});
  for (int y = 0; y < 75; y += 5)
    for (int x = 0; x < 100; x += 5) ASSERT_EQ(other.PixelAt(x, y), grey) << "no caption at another size";

  std::atomic<bool> cancelled{true};
  EXPECT_EQ(CaptionPicture(picture, L"text", 1, sizes, block, &cancelled), picture);
  EXPECT_EQ(CaptionPicture(picture, L"", 1, sizes, block), picture);
  EXPECT_EQ(CaptionPicture(picture, L"text", 1, {{0, 0}}, block), picture);
  const auto icon = std::make_shared<SolidGraphic>(32, 32, grey, GraphicKind::Icon);
  EXPECT_EQ(CaptionPicture(icon, L"text", 1, sizes, block), icon);
}

}  // namespace
}  // namespace velmora
