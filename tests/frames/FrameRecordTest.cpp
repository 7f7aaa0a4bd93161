#include "frames/FrameRecord.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "frames/FrameList.h"

namespace velmora {
namespace {

using Bytes = std::array<unsigned char, FrameRecordSize>;

Bytes BytesOf(const FrameRecord& record) {
  Bytes bytes{};
  std::memcpy(bytes.data(), &record, FrameRecordSize);
  return bytes;
}

void PutInt32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<unsigned char>(value >> (8 * i));
}

TEST(FrameRecordTest, NewRecordHasTheDefaultBytesAtTheirOffsets) {
  // Built byte by byte from the file layout: everything zero except dot
  // size (212) and speed (216) -1, colour (220) 0x8000000F, still (232) 3.
  Bytes expected{};
  PutInt32(expected, 212, 0xFFFFFFFFu);
  PutInt32(expected, 216, 0xFFFFFFFFu);
  PutInt32(expected, 220, 0x8000000Fu);
  PutInt32(expected, 232, 3);
  EXPECT_EQ(BytesOf(*NewFrameRecord()), expected);
}

TEST(FrameRecordTest, FieldsLandAtTheirFileOffsets) {
  auto record = NewFrameRecord();
  record->SetPath("ab");
  record->Effect = 0x01020304;
  record->Direction = 16;
  record->DotSize = 10;
  record->Speed = 7;
  record->Colour = 0x00563412;
  record->PureColour = 1;
  record->HasThumbnail = 1;
  record->ThumbnailNumber = 0x0A0B0C0D;
  record->StillTime = 120;
  const Bytes bytes = BytesOf(*record);
  EXPECT_EQ(bytes[0], 2);
  EXPECT_EQ(bytes[1], 'a');
  EXPECT_EQ(bytes[2], 'b');
  EXPECT_EQ(bytes[3], 0);
  EXPECT_EQ(bytes[204], 0x04);
  EXPECT_EQ(bytes[207], 0x01);
  EXPECT_EQ(bytes[208], 16);
  EXPECT_EQ(bytes[212], 10);
  EXPECT_EQ(bytes[216], 7);
  EXPECT_EQ(bytes[220], 0x12);
  EXPECT_EQ(bytes[222], 0x56);
  EXPECT_EQ(bytes[223], 0x00);
  EXPECT_EQ(bytes[224], 1);
  EXPECT_EQ(bytes[225], 1);
  EXPECT_EQ(bytes[228], 0x0D);
  EXPECT_EQ(bytes[231], 0x0A);
  EXPECT_EQ(bytes[232], 120);
}

TEST(FrameRecordTest, SetPathCutsToTwoHundredAndClearsTheRest) {
  auto record = NewFrameRecord();
  record->SetPath(std::string(250, 'x'));
  EXPECT_EQ(record->PathLength, 200);
  EXPECT_EQ(record->Path(), std::string(200, 'x'));

  record->SetPath("C:\\a.jpg");
  EXPECT_EQ(record->Path(), "C:\\a.jpg");
  EXPECT_EQ(record->PathChars[8], '\0');
  EXPECT_EQ(record->PathChars[199], '\0');  // no trace of the longer path

  record->SetPath("");
  EXPECT_FALSE(record->HasPath());
  EXPECT_EQ(record->Path(), "");
}

TEST(FrameRecordTest, DamagedLengthByteReadsAtMostTheField) {
  auto record = NewFrameRecord();
  std::memset(record->PathChars, 'q', sizeof record->PathChars);
  record->Gap201[0] = 'Z';  // would be the 201st character
  for (const int length : {201, 255}) {
    record->PathLength = static_cast<std::uint8_t>(length);
    EXPECT_EQ(record->Path(), std::string(200, 'q')) << length;
  }
}

TEST(FrameRecordTest, KindFollowsTheColourFlagThenThePath) {
  auto record = NewFrameRecord();
  EXPECT_EQ(record->Kind(), FrameKind::Empty);
  EXPECT_TRUE(record->IsEmptyFrame());
  record->SetPath("p.jpg");
  EXPECT_EQ(record->Kind(), FrameKind::Picture);
  record->PureColour = 1;
  EXPECT_EQ(record->Kind(), FrameKind::Colour);  // path ignored
  record->SetPath("");
  EXPECT_EQ(record->Kind(), FrameKind::Colour);
  record->PureColour = 2;  // not the value 1: not a colour frame
  EXPECT_EQ(record->Kind(), FrameKind::Empty);

  EXPECT_EQ(FrameKindAt(*record, 0), FrameKind::Header);
  EXPECT_STREQ(FrameKindName(FrameKindAt(*record, 0)), "header");
  EXPECT_STREQ(FrameKindName(FrameKind::Colour), "colour");
}

TEST(FrameListTest, InsertTakeRemoveKeepOwnershipAndOrder) {
  FrameList list;
  EXPECT_EQ(list.FrameCount(), 0);
  AppendFrameRecord(list).SetPath("header");
  AppendFrameRecord(list);  // trailing entry
  EXPECT_EQ(list.FrameCount(), 0);

  for (const char* name : {"a", "b", "c"}) {
    auto record = NewFrameRecord();
    record->SetPath(name);
    list.Insert(list.Count() - 1, std::move(record));
  }
  ASSERT_EQ(list.Count(), 5u);
  EXPECT_EQ(list.FrameCount(), 3);
  EXPECT_EQ(list[1].Path(), "a");
  EXPECT_EQ(list[3].Path(), "c");
  EXPECT_FALSE(list[4].HasPath());

  // Moving a frame: take it out, put it back elsewhere; the record itself moves.
  const FrameRecord* moved = &list[1];
  auto taken = list.Take(1);
  EXPECT_EQ(taken.get(), moved);
  list.Insert(3, std::move(taken));
  EXPECT_EQ(list[1].Path(), "b");
  EXPECT_EQ(list[2].Path(), "c");
  EXPECT_EQ(&list[3], moved);

  list.Remove(2);
  EXPECT_EQ(list.Count(), 4u);
  EXPECT_EQ(list[2].Path(), "a");

  EXPECT_THROW(list.Remove(4), std::out_of_range);
  EXPECT_THROW(list.Insert(5, nullptr), std::out_of_range);
  EXPECT_THROW(list.At(4), std::out_of_range);
  list.Insert(4, nullptr);  // a null record becomes a default one
  EXPECT_EQ(list[4].StillTime, 3);
}

TEST(FrameListTest, ProcessWideAppendCreatesTheList) {
  TheFrameList.reset();
  AppendFrameRecord();
  AppendFrameRecord();
  ASSERT_TRUE(TheFrameList);
  EXPECT_EQ(TheFrameList->Count(), 2u);
  TheFrameList.reset();
}

}  // namespace
}  // namespace velmora
