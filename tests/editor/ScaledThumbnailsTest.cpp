// Thumbnails at a display scale above 100 %: the strip's picture side scaled
// with the window is the thumbnails' long side, so they are drawn 1:1.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "editor/ThumbnailRules.h"
#include "editor/Thumbnails.h"
#include "fade/BmpGraphic.h"
#include "platform/DpiScale.h"

namespace velmora {
namespace {

TEST(ScaledThumbnailsTest, TheLongSideIsTheScaledPictureSide) {
  struct Case {
    int width, height, side;
    ThumbnailSize expected;
  };
  const Case cases[] = {
      {400, 300, 111, {111, 83}},  // 100 %: as always
      {400, 300, 139, {139, 104}},  // 125 %: 104.25
      {400, 300, 167, {167, 125}},  // 150 %: 125.25
      {300, 400, 222, {166, 222}},  // 200 %, upright: 166.5, halves to the even neighbour
      {1000, 1, 222, {222, 1}},
      {222, 222, 222, {222, 222}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FitThumbnail(c.width, c.height, c.side), c.expected) << c.width << " x " << c.height << " to " << c.side;
  }
  // The default is the 100 % side.
  EXPECT_EQ(FitThumbnail(400, 300), FitThumbnail(400, 300, kThumbnailSide));
}

TEST(ScaledThumbnailsTest, TheDecoderScaleKeepsTheScaledThumbnailCovered) {
  struct Case {
    int width, height, side, scale;
  };
  const Case cases[] = {
      {800, 600, 111, 2}, {800, 600, 222, 4}, {1600, 1200, 222, 2}, {400, 300, 167, 4}, {6000, 4000, 222, 1},
  };
  for (const Case& c : cases) {
    const int scale = ThumbnailDecodeScale(c.width, c.height, c.side);
    EXPECT_EQ(scale, c.scale) << c.width << " x " << c.height << " to " << c.side;
    EXPECT_GE((std::max(c.width, c.height) * scale + 7) / 8, c.side);
  }
}

TEST(ScaledThumbnailsTest, TheStoreMakesThumbnailsAtItsSide) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() /
                          ("velmora-scaled-thumbs-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  MemoryImage24 picture(400, 300);
  picture.Fill(0x336699);
  const std::vector<std::uint8_t> bmp = EncodeBmp(picture);
  const fs::path file = folder / "picture.bmp";
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bmp.data()), std::streamsize(bmp.size()));
  {
    ThumbnailStore store(folder);
    EXPECT_EQ(store.Side(), kThumbnailSide);
    for (int dpi : {96, 120, 144, 192}) {
      SCOPED_TRACE(dpi);
      store.SetSide(ScaleToDpi(kThumbnailSide, dpi));
      ASSERT_TRUE(store.Make(file.string(), dpi));
      const auto thumbnail = store.Load(dpi);
      ASSERT_NE(thumbnail, nullptr);
      EXPECT_EQ(thumbnail->Width(), ScaleToDpi(kThumbnailSide, dpi));
      const ThumbnailSize made{thumbnail->Width(), thumbnail->Height()};
      EXPECT_EQ(made, FitThumbnail(400, 300, store.Side()));
    }
    store.SetSide(0);
    EXPECT_EQ(store.Side(), kThumbnailSide) << "no side: the 100 % one";
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
}

}  // namespace
}  // namespace velmora
