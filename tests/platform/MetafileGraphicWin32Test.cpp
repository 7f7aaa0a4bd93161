#include "platform/MetafileGraphicWin32.h"

#include <gtest/gtest.h>

#include "fade/PictureLoader.h"
#include "platform/DibImageWin32.h"
#include "platform/HandlesWin32.h"

namespace velmora {
namespace {

int ScreenDpi() {
  WindowDc screen(nullptr);
  return ::GetDeviceCaps(screen.get(), LOGPIXELSX);
}

// An EMF recorded on the screen: a red rectangle over the middle half of a
// frame of 100 x 50 pixels at the screen's resolution.
std::vector<std::uint8_t> RecordEmf() {
  WindowDc screen(nullptr);
  const int dpi = ::GetDeviceCaps(screen.get(), LOGPIXELSX);
  const RECT frame{0, 0, ::MulDiv(100, 2540, dpi), ::MulDiv(50, 2540, dpi)};  // hundredths of a mm
  HDC dc = ::CreateEnhMetaFileW(screen.get(), nullptr, &frame, nullptr);
  UniqueBrush brush(::CreateSolidBrush(RGB(255, 0, 0)));
  const RECT r{25, 12, 75, 37};
  ::FillRect(dc, &r, brush.get());
  HENHMETAFILE emf = ::CloseEnhMetaFile(dc);
  std::vector<std::uint8_t> bytes(::GetEnhMetaFileBits(emf, 0, nullptr));
  ::GetEnhMetaFileBits(emf, UINT(bytes.size()), bytes.data());
  ::DeleteEnhMetaFile(emf);
  return bytes;
}

// An old-style metafile: window 0..200 x 0..100, a blue rectangle on its right half.
std::vector<std::uint8_t> RecordWmf() {
  HDC dc = ::CreateMetaFileW(nullptr);
  ::SetMapMode(dc, MM_ANISOTROPIC);
  ::SetWindowOrgEx(dc, 0, 0, nullptr);
  ::SetWindowExtEx(dc, 200, 100, nullptr);
  UniqueBrush brush(::CreateSolidBrush(RGB(0, 0, 255)));
  HGDIOBJ old = ::SelectObject(dc, brush.get());
  ::SelectObject(dc, ::GetStockObject(NULL_PEN));
  ::Rectangle(dc, 100, 0, 201, 101);
  ::SelectObject(dc, old);
  HMETAFILE wmf = ::CloseMetaFile(dc);
  std::vector<std::uint8_t> bytes(::GetMetaFileBitsEx(wmf, 0, nullptr));
  ::GetMetaFileBitsEx(wmf, UINT(bytes.size()), bytes.data());
  ::DeleteMetaFile(wmf);
  return bytes;
}

std::vector<std::uint8_t> Placeable(const std::vector<std::uint8_t>& wmf, int right, int bottom, int inch) {
  std::vector<std::uint8_t> out(22 + wmf.size(), 0);
  std::copy(wmf.begin(), wmf.end(), out.begin() + 22);
  auto put16 = [&](std::size_t at, int v) {
    out[at] = std::uint8_t(v);
    out[at + 1] = std::uint8_t(v >> 8);
  };
  put16(0, 0xCDD7);
  put16(2, 0x9AC6);
  put16(10, right);
  put16(12, bottom);
  put16(14, inch);
  std::uint16_t sum = 0;
  for (std::size_t i = 0; i < 20; i += 2) sum ^= std::uint16_t(out[i] | out[i + 1] << 8);
  put16(20, sum);
  return out;
}

TEST(MetafileGraphicWin32Test, EmfDrawsItsMarksAtNaturalSizeAndScaled) {
  const auto emf = MetafileGraphic::FromBytes(RecordEmf(), "test.emf");
  EXPECT_EQ(emf->Kind(), GraphicKind::Metafile);
  EXPECT_NEAR(emf->Width(), 100, 2);
  EXPECT_NEAR(emf->Height(), 50, 2);

  DibImage target(120, 70);
  target.Fill(0xFF0000);  // blue
  emf->Draw(target, 10, 10);
  EXPECT_EQ(target.PixelAt(10 + 50, 10 + 25), 0x0000FFu);  // red in the middle
  EXPECT_EQ(target.PixelAt(10 + 5, 10 + 5), 0xFF0000u);    // only marks are drawn
  EXPECT_EQ(target.PixelAt(115, 65), 0xFF0000u);

  // Scaled twice as large into a plain memory image, reaching outside it.
  MemoryImage24 memory(150, 80);
  memory.Fill(kWhite);
  emf->StretchDraw(memory, Rect{-20, -10, 180, 90});
  EXPECT_EQ(memory.PixelAt(80, 40), 0x0000FFu);  // middle of the picture
  EXPECT_EQ(memory.PixelAt(20, 5), kWhite);       // outside the red part
  EXPECT_EQ(memory.PixelAt(125, 60), 0x0000FFu);  // near the red part's corner (130, 64)
}

TEST(MetafileGraphicWin32Test, PlaceableWmfTakesItsSizeFromTheHeader) {
  const std::vector<std::uint8_t> bytes = Placeable(RecordWmf(), 2880, 1440, 1440);  // 2 x 1 inches
  int w = 0, h = 0;
  ASSERT_TRUE(PlaceableWmfSize(bytes, 96, w, h));
  EXPECT_EQ(w, 192);
  EXPECT_EQ(h, 96);

  const auto wmf = MetafileGraphic::FromBytes(bytes, "test.wmf");
  const int dpi = ScreenDpi();
  EXPECT_EQ(wmf->Width(), 2 * dpi);
  EXPECT_EQ(wmf->Height(), dpi);
  DibImage target(wmf->Width(), wmf->Height());
  target.Fill(kWhite);
  wmf->Draw(target, 0, 0);
  EXPECT_EQ(target.PixelAt(wmf->Width() * 3 / 4, wmf->Height() / 2), 0xFF0000u);  // blue right half
  EXPECT_EQ(target.PixelAt(wmf->Width() / 4, wmf->Height() / 2), kWhite);
}

TEST(MetafileGraphicWin32Test, PlainWmfGetsItsExtentsProportions) {
  const auto wmf = MetafileGraphic::FromBytes(RecordWmf(), "plain.wmf");
  EXPECT_EQ(wmf->Width(), 512);
  EXPECT_EQ(wmf->Height(), 256);
  DibImage target(64, 32);
  target.Fill(kWhite);
  wmf->StretchDraw(target, Rect{0, 0, 64, 32});
  EXPECT_EQ(target.PixelAt(48, 16), 0xFF0000u);
  EXPECT_EQ(target.PixelAt(16, 16), kWhite);
}

TEST(MetafileGraphicWin32Test, DamagedMetafilesAreRefused) {
  std::vector<std::uint8_t> emf = RecordEmf();
  EXPECT_THROW(MetafileGraphic::FromBytes({}, "x.emf"), EPictureError);
  EXPECT_THROW(MetafileGraphic::FromBytes({'B', 'M', 0, 0}, "x.emf"), EPictureError);
  emf.resize(60);
  EXPECT_THROW(MetafileGraphic::FromBytes(emf, "x.emf"), EPictureError);
  std::vector<std::uint8_t> wmf = Placeable(RecordWmf(), 100, 100, 0);
  wmf.resize(30);
  EXPECT_THROW(MetafileGraphic::FromBytes(wmf, "x.wmf"), EPictureError);
}

}  // namespace
}  // namespace velmora
