#include "fade/Resample.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace velmora {
namespace {

MemoryImage24 Checkerboard(int width, int height) {
  MemoryImage24 image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = image.Row(y) + x * 3;
      p[0] = p[1] = p[2] = ((x + y) & 1) ? 255 : 0;
    }
  return image;
}

MemoryImage24 Noise(int width, int height, unsigned seed) {
  MemoryImage24 image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width * 3; ++x) {
      seed = seed * 1103515245u + 12345u;
      image.Row(y)[x] = std::uint8_t(seed >> 16);
    }
  return image;
}

int Channel(const Image24& image, int x, int y, int c) { return image.Row(y)[x * 3 + c]; }

TEST(ResampleAxisTest, WeightsCoverTheSourceAndSumToOne) {
  const int sizes[] = {1, 2, 3, 7, 13, 64, 97, 100, 641};
  for (int src : sizes)
    for (int dst : sizes) {
      ResampleAxis axis(src, dst, 0, dst);
      ASSERT_EQ(axis.Size(), dst);
      for (int i = 0; i < dst; ++i) {
        int sum = 0;
        ASSERT_GE(axis.First(i), 0);
        ASSERT_LE(axis.First(i) + axis.Count(i), src) << src << " -> " << dst << " at " << i;
        ASSERT_LE(axis.Count(i), axis.Taps());
        for (int k = 0; k < axis.Count(i); ++k) {
          ASSERT_GE(axis.Weight(i, k), 0);
          sum += axis.Weight(i, k);
        }
        ASSERT_EQ(sum, ResampleAxis::kOne) << src << " -> " << dst << " at " << i;
        if (i > 0) {
          ASSERT_GE(axis.First(i), axis.First(i - 1));
        }
      }
    }
}

TEST(ResampleTest, EqualSizeIsAnExactClippedCopy) {
  const MemoryImage24 src = Noise(9, 7, 1);
  MemoryImage24 target(12, 10);
  target.Fill(0x123456);
  Resample(src, target, Rect{-2, 5, 7, 12});
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x) {
      const TColor expected = (x < 7 && y >= 5) ? src.PixelAt(x + 2, y - 5) : 0x123456u;
      ASSERT_EQ(target.PixelAt(x, y), expected);
    }
  // The resampler itself also reproduces the source when the sizes match.
  MemoryImage24 direct(9, 7);
  RowResampler resampler(9, 7, direct, Rect{0, 0, 9, 7});
  for (int y = 0; y < 7; ++y) resampler.PushRow(src.Row(y));
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x) ASSERT_EQ(direct.PixelAt(x, y), src.PixelAt(x, y));
}

TEST(ResampleTest, FillsExactlyTheRectangleWhenReducingAndEnlarging) {
  for (const auto& [w, h] : {std::pair{40, 30}, std::pair{3, 2}}) {
    MemoryImage24 src(w, h);
    src.Fill(kWhite);
    MemoryImage24 target(20, 16);
    target.Fill(0x0000FF);
    const Rect rect{3, 5, 13, 12};
    Resample(src, target, rect);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 20; ++x) {
        const bool inside = x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom;
        ASSERT_EQ(target.PixelAt(x, y), inside ? kWhite : 0x0000FFu) << w << "x" << h << " at " << x << "," << y;
      }
  }
}

TEST(ResampleTest, RectangleReachingOutsideIsClipped) {
  const MemoryImage24 src = Noise(31, 17, 7);
  // The visible part of a clipped draw equals the same part of an unclipped one.
  MemoryImage24 whole(50, 40);
  Resample(src, whole, Rect{0, 0, 50, 40});
  MemoryImage24 clipped(20, 20);
  clipped.Fill(kBlack);
  Resample(src, clipped, Rect{-15, -12, 35, 28});
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(clipped.PixelAt(x, y), whole.PixelAt(x + 15, y + 12));
  // Rectangles wholly outside, empty or inverted draw nothing.
  MemoryImage24 target(8, 8);
  target.Fill(0x445566);
  Resample(src, target, Rect{8, 0, 20, 8});
  Resample(src, target, Rect{-30, -30, 0, 0});
  Resample(src, target, Rect{5, 5, 2, 2});
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(target.PixelAt(x, y), 0x445566u);
}

TEST(ResampleTest, ReducedCheckerboardIsMidGreyNotAliased) {
  const MemoryImage24 src = Checkerboard(64, 64);
  for (const auto& [w, h] : {std::pair{16, 16}, std::pair{20, 20}, std::pair{23, 11}}) {
    MemoryImage24 target(w, h);
    Resample(src, target, Rect{0, 0, w, h});
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) ASSERT_NEAR(Channel(target, x, y, 1), 128, 12) << w << "x" << h;
  }
}

TEST(ResampleTest, UniformColourSurvivesAnyScale) {
  MemoryImage24 src(97, 61);
  src.Fill(0x3080C0);
  for (const auto& [w, h] : {std::pair{13, 7}, std::pair{96, 60}, std::pair{200, 130}, std::pair{1, 1}}) {
    MemoryImage24 target(w, h);
    Resample(src, target, Rect{0, 0, w, h});
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) ASSERT_EQ(target.PixelAt(x, y), 0x3080C0u);
  }
}

TEST(ResampleTest, EnlargementInterpolatesBetweenPixelCentres) {
  MemoryImage24 src(2, 1);
  src.Fill(kBlack);
  src.Row(0)[3] = src.Row(0)[4] = src.Row(0)[5] = 255;
  MemoryImage24 target(4, 1);
  Resample(src, target, Rect{0, 0, 4, 1});
  EXPECT_EQ(Channel(target, 0, 0, 0), 0);
  EXPECT_NEAR(Channel(target, 1, 0, 0), 64, 1);
  EXPECT_NEAR(Channel(target, 2, 0, 0), 191, 1);
  EXPECT_EQ(Channel(target, 3, 0, 0), 255);
}

TEST(ResampleTest, AveragesTheCoveredArea) {
  // 4 source pixels onto 1: their mean, per channel.
  MemoryImage24 src(2, 2);
  const std::uint8_t values[2][6] = {{0, 10, 20, 100, 110, 120}, {200, 210, 220, 40, 50, 60}};
  for (int y = 0; y < 2; ++y) std::copy(values[y], values[y] + 6, src.Row(y));
  MemoryImage24 target(1, 1);
  Resample(src, target, Rect{0, 0, 1, 1});
  EXPECT_EQ(Channel(target, 0, 0, 0), 85);
  EXPECT_EQ(Channel(target, 0, 0, 1), 95);
  EXPECT_EQ(Channel(target, 0, 0, 2), 105);
}

TEST(ResampleTest, StopsWantingRowsBelowTheVisiblePart) {
  MemoryImage24 target(10, 10);
  // 100 source rows onto 40 target rows of which 10 are visible: about a
  // quarter of the source is needed.
  RowResampler resampler(10, 100, target, Rect{0, 0, 10, 40});
  const std::vector<std::uint8_t> row(30, 200);
  int pushed = 0;
  while (resampler.NeedsRows()) {
    resampler.PushRow(row.data());
    ++pushed;
  }
  EXPECT_GE(pushed, 25);
  EXPECT_LE(pushed, 27);
  EXPECT_EQ(target.PixelAt(9, 9), 0xC8C8C8u);
}

TEST(ResampleTest, VectorAndPlainCodeGiveTheSameBytes) {
  const Rect rects[] = {{0, 0, 37, 23}, {-7, 3, 90, 41}, {2, -5, 31, 200}, {0, 0, 300, 2}, {1, 1, 4, 4}};
  for (int pixelBytes : {3, 4})
    for (const auto& [w, h] : {std::pair{97, 61}, std::pair{5, 300}, std::pair{1, 1}, std::pair{640, 3}})
      for (const Rect& rect : rects) {
        const MemoryImage24 noise = Noise(w * pixelBytes, h, unsigned(w * 7 + h));
        MemoryImage24 fast(80, 60), plain(80, 60);
        RowResampler a(w, h, fast, rect, pixelBytes);
        RowResampler b(w, h, plain, rect, pixelBytes);
        b.UsePlainCode();
        for (int y = 0; y < h; ++y) {
          a.PushRow(noise.Row(y));
          b.PushRow(noise.Row(y));
        }
        for (int y = 0; y < 60; ++y)
          ASSERT_EQ(std::memcmp(fast.Row(y), plain.Row(y), std::size_t(fast.Stride())), 0)
              << pixelBytes << " bytes, " << w << "x" << h << " into " << rect.left << "," << rect.top << " "
              << rect.Width() << "x" << rect.Height() << " row " << y;
      }
}

TEST(ResampleTest, FourBytePixelsIgnoreTheirFourthByte) {
  MemoryImage24 three(8, 4), four(8, 4);
  std::vector<std::uint8_t> row3(30 * 3), row4(30 * 4);
  for (int x = 0; x < 30; ++x)
    for (int c = 0; c < 3; ++c) row3[std::size_t(x * 3 + c)] = row4[std::size_t(x * 4 + c)] = std::uint8_t(x * 8 + c * 50);
  for (int x = 0; x < 30; ++x) row4[std::size_t(x * 4 + 3)] = 0xFF;
  RowResampler a(30, 9, three, Rect{0, 0, 8, 4}, 3);
  RowResampler b(30, 9, four, Rect{0, 0, 8, 4}, 4);
  for (int y = 0; y < 9; ++y) {
    a.PushRow(row3.data());
    b.PushRow(row4.data());
  }
  for (int y = 0; y < 4; ++y) ASSERT_EQ(std::memcmp(three.Row(y), four.Row(y), 24), 0);
}

TEST(ResampleTest, LargeReductionsAverageEveryRow) {
  // 200 rows onto 2: 100 taps a target row, more than the vector code pairs.
  MemoryImage24 src(4, 200);
  for (int y = 0; y < 200; ++y) std::fill(src.Row(y), src.Row(y) + 12, std::uint8_t(y < 100 ? 0 : 200));
  MemoryImage24 target(4, 2);
  Resample(src, target, Rect{0, 0, 4, 2});
  EXPECT_EQ(target.PixelAt(0, 0), 0u);
  EXPECT_EQ(target.PixelAt(3, 1), 0xC8C8C8u);
}

}  // namespace
}  // namespace velmora
