#include "frames/ShowOptions.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(ShowOptionsTest, HeaderBitsReadAsOptions) {
  struct Case {
    std::int32_t bits;
    ShowOptions expected;
  };
  const Case cases[] = {
      {0, {false, CaptionMode::None}},
      {0x01, {true, CaptionMode::None}},
      {0x10, {false, CaptionMode::DateTaken}},
      {0x41, {true, CaptionMode::DateAndFolder}},
      {0x50, {false, CaptionMode::None}},              // caption 5: unknown, none
      {0xF1, {true, CaptionMode::None}},               // caption 15: unknown, none
      {0x7FFFFF02, {false, CaptionMode::None}},        // unknown bits only
      {static_cast<std::int32_t>(0xFFFFFF31u), {true, CaptionMode::FolderName}},
  };
  for (const Case& c : cases) {
    auto header = NewFrameRecord();
    header->Reserved236 = c.bits;
    EXPECT_EQ(ReadShowOptions(*header), c.expected) << std::hex << c.bits;
  }
}

TEST(ShowOptionsTest, WritingKeepsUnknownBitsAndRoundTrips) {
  auto header = NewFrameRecord();
  header->Reserved236 = static_cast<std::int32_t>(0x80000F0Cu);  // unknown bits, no options
  WriteShowOptions(*header, {true, CaptionMode::FileName});
  EXPECT_EQ(static_cast<std::uint32_t>(header->Reserved236), 0x80000F2Du);
  EXPECT_EQ(ReadShowOptions(*header), (ShowOptions{true, CaptionMode::FileName}));
  WriteShowOptions(*header, {});
  EXPECT_EQ(static_cast<std::uint32_t>(header->Reserved236), 0x80000F0Cu);
  EXPECT_EQ(header->Reserved240, 0);
}

TEST(ShowOptionsTest, FolderMarkOnlyCountsOnPictureFrames) {
  auto frame = NewFrameRecord();
  frame->SetPath("C:\\Photos");
  EXPECT_FALSE(IsFolderFrame(*frame));
  SetFolderFrame(*frame, true);
  EXPECT_TRUE(IsFolderFrame(*frame));
  EXPECT_TRUE(FolderIncludesSubfolders(*frame));
  SetFolderFrame(*frame, true, false);
  EXPECT_FALSE(FolderIncludesSubfolders(*frame));
  EXPECT_EQ(frame->Reserved236, kFolderFrameBit | kTopFolderOnlyBit);

  frame->PureColour = 1;  // a colour frame keeps showing its colour
  EXPECT_FALSE(IsFolderFrame(*frame));
  frame->PureColour = 0;
  frame->SetPath("");  // an empty frame is no folder either
  EXPECT_FALSE(IsFolderFrame(*frame));

  auto other = NewFrameRecord();
  other->SetPath("C:\\Photos");
  other->Reserved236 = 0x100;  // an unknown bit survives marking and unmarking
  SetFolderFrame(*other, true);
  SetFolderFrame(*other, false);
  EXPECT_EQ(other->Reserved236, 0x100);
  EXPECT_FALSE(IsFolderFrame(*other));
}

}  // namespace
}  // namespace velmora
