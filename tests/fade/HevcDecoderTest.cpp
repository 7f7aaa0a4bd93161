#include "fade/HevcDecoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fade/HeifBoxes.h"
#include "fade/PictureLoader.h"

namespace velmora {
namespace {

// The committed photo's coded picture (160 x 120, red above blue) and the
// boxes' account of it.
struct Coded {
  std::vector<std::uint8_t> file = ReadPictureFile(std::string(VELMORA_TEST_DATA_DIR) + "/pictures/heic-red-over-blue.heic");
  HeifCodedPrimary primary = FindHeifCodedPrimary(file.data(), file.size()).value();

  void PushSetup(HevcDecoder& decoder) const {
    for (const auto& [offset, length] : primary.setupNals) decoder.PushNal(file.data() + offset, length);
  }
  // The picture's data, or its first `keep` bytes.
  bool PushPicture(HevcDecoder& decoder, std::size_t keep = SIZE_MAX) const {
    const auto& [offset, length] = primary.extents.front();
    return decoder.PushSizedNals(file.data() + offset, std::min(length, keep), primary.nalLengthSize);
  }
};

TEST(HevcDecoderTest, APictureIsDecodedWithinTheLimitAndRefusedBeforeItsPlanesAbove) {
  const Coded coded;
  ASSERT_EQ(coded.primary.extents.size(), 1u);
  struct Case {
    std::uint64_t limit;
    bool decodes;
  };
  for (const Case c : {Case{kMaxPicturePixels, true}, Case{160 * 120, true}, Case{160 * 120 - 1, false}, Case{0, false}}) {
    HevcDecoder decoder(c.limit);
    ASSERT_TRUE(decoder.Ready());
    coded.PushSetup(decoder);
    ASSERT_TRUE(coded.PushPicture(decoder));
    const std::optional<HevcPlanes> planes = decoder.Decode();
    EXPECT_EQ(planes.has_value(), c.decodes) << c.limit;
    EXPECT_EQ(decoder.RefusedForSize(), !c.decodes) << c.limit;
    if (!planes) continue;
    EXPECT_EQ(planes->width, 160);
    EXPECT_EQ(planes->height, 120);
    EXPECT_EQ(planes->chroma, HevcPlanes::Chroma::Yuv420);
    EXPECT_EQ(planes->planeWidth[1], 80);
    // Red has more luma than blue: the top row against the bottom one.
    EXPECT_GT(planes->data[0][0], planes->data[0][std::size_t(planes->stride[0]) * 119] + 20);
    // Decoding again gives the same picture.
    EXPECT_EQ(decoder.Decode()->data[0], planes->data[0]);
  }
}

TEST(HevcDecoderTest, DamagedStreamsGiveNoPictureNeverACrash) {
  const Coded coded;
  const std::uint8_t cutShort[] = {0, 0, 0, 9, 0x40, 0x01};
  const std::uint8_t noise[] = {0, 0, 0, 4, 0x26, 0x01, 0xFF, 0xFF};
  struct Case {
    const char* what;
    bool setup;
    std::size_t pictureBytes;  // 0: none
    const std::uint8_t* extra;
    std::size_t extraSize;
    int lengthSize;
    bool pushed;  // what pushing the extra data answers
  };
  const Case cases[] = {
      {"nothing", false, 0, nullptr, 0, 4, true},
      {"set-up only", true, 0, nullptr, 0, 4, true},
      {"picture without set-up", false, SIZE_MAX, nullptr, 0, 4, true},
      {"a unit longer than the data", true, 0, cutShort, sizeof cutShort, 4, false},
      {"lengths of 5 bytes", true, 0, noise, sizeof noise, 5, false},
      {"lengths of no bytes", true, 0, noise, sizeof noise, 0, false},
      {"a slice of noise", true, 0, noise, sizeof noise, 4, true},
      {"picture cut in half", true, 200, nullptr, 0, 4, true},
  };
  for (const Case& c : cases) {
    HevcDecoder decoder(kMaxPicturePixels);
    if (c.setup) coded.PushSetup(decoder);
    if (c.pictureBytes) coded.PushPicture(decoder, c.pictureBytes);
    if (c.extra) {
      EXPECT_EQ(decoder.PushSizedNals(c.extra, c.extraSize, c.lengthSize), c.pushed) << c.what;
    }
    const std::optional<HevcPlanes> planes = decoder.Decode();
    if (c.pictureBytes == 0 || !c.setup) {
      EXPECT_FALSE(planes) << c.what;
    }
    EXPECT_FALSE(decoder.RefusedForSize()) << c.what;
  }
}

}  // namespace
}  // namespace velmora
