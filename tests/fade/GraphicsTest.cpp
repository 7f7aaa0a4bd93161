#include <gtest/gtest.h>

#include <vector>

#include "fade/BlendKernel.h"
#include "fade/Graphics.h"

namespace velmora {
namespace {

TEST(Image24Test, RowsArePaddedToFourBytesAndStoredBlueGreenRed) {
  MemoryImage24 image(5, 2);
  EXPECT_EQ(image.Stride(), 16);  // 15 bytes of pixels, 1 of padding
  image.Fill(0x0000FF);           // red
  EXPECT_EQ(image.Row(1)[0], 0x00);
  EXPECT_EQ(image.Row(1)[2], 0xFF);
  EXPECT_EQ(image.PixelAt(4, 1), 0x0000FFu);
}

TEST(Image24Test, SystemColoursResolveThroughTheResolver) {
  SetSystemColorResolver([](int index) -> TColor { return index == 15 ? 0x123456 : 0; });
  EXPECT_EQ(ColorToRGB(kButtonFace), 0x123456u);
  EXPECT_EQ(ColorToRGB(0x00ABCDEF), 0xABCDEFu);
  SetSystemColorResolver(nullptr);
}

TEST(Image24Test, DrawClipsAtEveryEdge) {
  MemoryImage24 target(4, 4), src(3, 3);
  target.Fill(kBlack);
  src.Fill(kWhite);
  target.Draw(src, -1, 2);
  EXPECT_EQ(target.PixelAt(0, 2), kWhite);
  EXPECT_EQ(target.PixelAt(1, 3), kWhite);
  EXPECT_EQ(target.PixelAt(2, 2), kBlack);
  EXPECT_EQ(target.PixelAt(0, 1), kBlack);
}

// The per-byte definition the word-wise kernels must match exactly.
std::uint8_t BlendByte(int a, int t, int w) { return std::uint8_t((a * (32 - w) + t * w) / 32); }

TEST(BlendKernelTest, MatchesTheByteFormulaForEveryWeightAndOddLengths) {
  std::vector<std::uint8_t> work(67), to(67), out(67), ref(67);
  for (std::size_t i = 0; i < work.size(); ++i) {
    work[i] = std::uint8_t(i * 37 + 11);
    to[i] = std::uint8_t(255 - i * 53);
  }
  for (int w = 1; w <= 32; ++w) {
    for (std::size_t n : {std::size_t(0), std::size_t(1), std::size_t(3), std::size_t(64), std::size_t(67)}) {
      std::fill(out.begin(), out.end(), 0xAA);
      BlendBytes(work.data(), to.data(), out.data(), n, w);
      for (std::size_t i = 0; i < 67; ++i)
        ASSERT_EQ(out[i], i < n ? BlendByte(work[i], to[i], w) : 0xAA) << "w=" << w << " n=" << n << " i=" << i;
    }
  }
}

TEST(BlendKernelTest, WorkedExampleAndWeightZeroWritesNothing) {
  std::uint8_t work[4] = {200, 200, 200, 200}, to[4] = {100, 100, 100, 100}, out[4] = {1, 2, 3, 4};
  BlendBytes(work, to, out, 4, 0);
  EXPECT_EQ(out[0], 1);
  BlendBytes(work, to, out, 4, 8);
  EXPECT_EQ(out[0], 175);
  BlendBytes(work, to, out, 4, 31);
  EXPECT_EQ(out[3], 103);
  BlendBytes(work, to, out, 4, 32);
  EXPECT_EQ(out[2], 100);
}

}  // namespace
}  // namespace velmora
