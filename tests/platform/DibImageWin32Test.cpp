#include "platform/DibImageWin32.h"

#include <gtest/gtest.h>

#include <cstring>

namespace velmora {
namespace {

TEST(DibImageWin32Test, RowsAreTopDownBlueGreenRedWithFourBytePadding) {
  DibImage image(5, 3);
  ASSERT_NE(image.Dc(), nullptr);
  EXPECT_EQ(image.Stride(), 16);
  image.Fill(kBlack);
  // Row 0 in memory is the top row GDI sees.
  std::uint8_t* p = image.Row(0) + 4 * 3;
  p[0] = 0x30;  // blue
  p[1] = 0x20;  // green
  p[2] = 0x10;  // red
  EXPECT_EQ(::GetPixel(image.Dc(), 4, 0), RGB(0x10, 0x20, 0x30));
  EXPECT_EQ(::GetPixel(image.Dc(), 4, 2), RGB(0, 0, 0));

  // GDI drawing reaches the rows once flushed.
  UniqueBrush brush(::CreateSolidBrush(RGB(0xFF, 0x80, 0x00)));
  const RECT r{1, 2, 3, 3};
  ::FillRect(image.Dc(), &r, brush.get());
  ::GdiFlush();
  EXPECT_EQ(image.PixelAt(1, 2), 0x0080FFu);
  EXPECT_EQ(image.PixelAt(2, 2), 0x0080FFu);
  EXPECT_EQ(image.PixelAt(0, 2), 0u);
  EXPECT_EQ(image.PixelAt(1, 1), 0u);
}

TEST(DibImageWin32Test, ResizingMakesANewSectionAndEmptyHasNoDc) {
  DibImage image;
  EXPECT_EQ(image.Dc(), nullptr);
  EXPECT_EQ(image.Bits(), nullptr);
  image.SetSize(64, 32);
  EXPECT_EQ(image.Width(), 64);
  ASSERT_NE(image.Bits(), nullptr);
  image.Fill(kWhite);
  image.SetSize(7, 9);
  EXPECT_EQ(image.Height(), 9);
  EXPECT_EQ(image.Stride(), 24);
  image.SetSize(0, 9);
  EXPECT_EQ(image.Dc(), nullptr);

  DibImageFactory factory;
  auto made = factory.CreateImage();
  made->SetSize(3, 3);
  EXPECT_NE(dynamic_cast<DibImage*>(made.get()), nullptr);
}

TEST(DibImageWin32Test, GdiDrawsOnPlainMemoryImagesToo) {
  MemoryImage24 memory(6, 4);
  memory.Fill(0x0000FF);
  DrawWithGdi(memory, [](HDC dc) {
    UniqueBrush brush(::CreateSolidBrush(RGB(0, 0xFF, 0)));
    const RECT r{2, 1, 4, 3};
    ::FillRect(dc, &r, brush.get());
  });
  EXPECT_EQ(memory.PixelAt(2, 1), 0x00FF00u);
  EXPECT_EQ(memory.PixelAt(3, 2), 0x00FF00u);
  EXPECT_EQ(memory.PixelAt(0, 0), 0x0000FFu);  // the rest is kept
  EXPECT_EQ(memory.PixelAt(5, 3), 0x0000FFu);
}

}  // namespace
}  // namespace velmora
