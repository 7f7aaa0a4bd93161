#include "frames/ShowPackage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "fade/PictureLoader.h"
#include "frames/FrameSet.h"

namespace velmora {
namespace {

constexpr std::size_t kProgramBytes = 1000;

std::vector<std::uint8_t> Bytes(std::size_t n, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = std::uint8_t(seed + i * 7);
  return bytes;
}

std::vector<std::uint8_t> TwoRecords() {
  FrameList list;
  AppendFrameRecord(list).SetPath("Holiday");
  AppendFrameRecord(list).SetPath("<package>\\Photos\\a.jpg");
  AppendFrameRecord(list);
  return RecordsOfFrameList(list);
}

// A program image followed by a package of the records and three pictures
// (one of them empty); the records written last, as an export does.
std::vector<std::uint8_t> SamplePackage() {
  MemoryPackageSink sink;
  sink.Write(Bytes(kProgramBytes, 1).data(), kProgramBytes);
  PackageWriter writer(sink, kProgramBytes);
  EXPECT_TRUE(writer.AddPicture("<package>\\Photos\\a.jpg", Bytes(300, 2)));
  EXPECT_TRUE(writer.AddPicture("<package>\\Photos\\b.bmp", Bytes(5000, 3)));
  EXPECT_TRUE(writer.AddPicture("<package>\\x\\empty.jpg", {}));
  EXPECT_TRUE(writer.AddRecords(TwoRecords()));
  EXPECT_TRUE(writer.Finish());
  EXPECT_EQ(kProgramBytes + writer.Written(), sink.bytes.size());
  return sink.bytes;
}

std::unique_ptr<ShowPackage> OpenBytes(std::vector<std::uint8_t> bytes, PackageProblem& problem) {
  return ShowPackage::Open(std::make_shared<MemoryPackageFile>(std::move(bytes)), problem);
}

PackageProblem ProblemOf(std::vector<std::uint8_t> bytes) {
  PackageProblem problem = PackageProblem::None;
  auto package = OpenBytes(std::move(bytes), problem);
  EXPECT_EQ(package != nullptr, problem == PackageProblem::None);
  return problem;
}

// Field access in the file, as the format lays it out.
std::uint64_t Get(const std::vector<std::uint8_t>& b, std::size_t at, int width) {
  std::uint64_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = v << 8 | b[at + std::size_t(i)];
  return v;
}
void Set(std::vector<std::uint8_t>& b, std::size_t at, int width, std::uint64_t v) {
  for (int i = 0; i < width; ++i) b[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}
std::size_t TrailerAt(const std::vector<std::uint8_t>& b) { return b.size() - kPackageTrailerSize; }
std::size_t TableAt(const std::vector<std::uint8_t>& b) { return std::size_t(Get(b, TrailerAt(b) + 24, 8)); }
// The fixed fields of the n-th table entry (each name is read past).
std::size_t EntryAt(const std::vector<std::uint8_t>& b, int n) {
  std::size_t at = TableAt(b);
  for (int i = 0; i < n; ++i) at += kPackageEntrySize + std::size_t(Get(b, at + 4, 4));
  return at;
}
// Makes the table's and the trailer's checksums right again after a change,
// so that the check under test is the one that fails.
void Reseal(std::vector<std::uint8_t>& b) {
  const std::size_t t = TrailerAt(b);
  const std::size_t table = TableAt(b);
  if (table <= t) Set(b, t + 32, 4, Crc32(b.data() + table, t - table));
  Set(b, t + 36, 4, Crc32(b.data() + t, 36));
}

TEST(ShowPackageTest, RoundTripKeepsRecordsPicturesAndTheProgramsSize) {
  PackageProblem problem = PackageProblem::None;
  auto package = OpenBytes(SamplePackage(), problem);
  ASSERT_NE(package, nullptr) << PackageProblemText(problem);
  EXPECT_EQ(package->Start(), kProgramBytes);
  EXPECT_EQ(package->RecordBytes(), TwoRecords());
  ASSERT_EQ(package->Entries().size(), 4u);
  EXPECT_EQ(package->Entries()[0].kind, PackageEntryKind::Records);

  const struct {
    const char* name;
    std::vector<std::uint8_t> data;
  } pictures[] = {{"<package>\\Photos\\a.jpg", Bytes(300, 2)},
                  {"<package>\\Photos\\b.bmp", Bytes(5000, 3)},
                  {"<package>\\x\\empty.jpg", {}}};
  for (const auto& picture : pictures) {
    const PackageEntry* entry = package->FindPicture(picture.name);
    ASSERT_NE(entry, nullptr) << picture.name;
    std::vector<std::uint8_t> data;
    EXPECT_TRUE(package->Read(*entry, data)) << picture.name;
    EXPECT_EQ(data, picture.data) << picture.name;
  }
  EXPECT_EQ(package->FindPicture("<package>\\Photos\\A.JPG"), nullptr);
  EXPECT_EQ(package->FindPicture(""), nullptr);  // the records are not a picture
}

TEST(ShowPackageTest, ThePictureLoaderReadsCarriedPicturesAndFilesAlike) {
  PackageProblem problem = PackageProblem::None;
  std::shared_ptr<const ShowPackage> package = OpenBytes(SamplePackage(), problem);
  ASSERT_NE(package, nullptr);
  SetPictureSource(std::make_shared<PackagePictures>(package));
  EXPECT_EQ(ReadPictureFile("<package>\\Photos\\b.bmp"), Bytes(5000, 3));
  EXPECT_THROW(ReadPictureFile("<package>\\Photos\\missing.bmp"), EPictureError);  // not carried: no such file
  SetPictureSource(nullptr);
  EXPECT_THROW(ReadPictureFile("<package>\\Photos\\b.bmp"), EPictureError);
}

TEST(ShowPackageTest, ADamagedPictureIsAPictureErrorNotOtherBytes) {
  std::vector<std::uint8_t> bytes = SamplePackage();
  bytes[kProgramBytes + kPackageHeadSize + 10] ^= 0xFF;  // inside a.jpg's data
  PackageProblem problem = PackageProblem::None;
  std::shared_ptr<const ShowPackage> package = OpenBytes(bytes, problem);
  ASSERT_NE(package, nullptr);
  PackagePictures pictures(package);
  EXPECT_THROW(pictures.Read("<package>\\Photos\\a.jpg"), EPictureError);
  EXPECT_EQ(pictures.Read("<package>\\Photos\\b.bmp"), Bytes(5000, 3));
}

TEST(ShowPackageTest, FilesWithoutAPackageSayNoPackage) {
  EXPECT_EQ(ProblemOf({}), PackageProblem::NoPackage);
  EXPECT_EQ(ProblemOf(Bytes(kPackageTrailerSize - 1, 9)), PackageProblem::NoPackage);
  EXPECT_EQ(ProblemOf(Bytes(100000, 9)), PackageProblem::NoPackage);
}

// Each field the reader checks, changed alone (checksums made right again
// unless the checksum is the field): the problem it reports.
TEST(ShowPackageTest, EveryCheckedFieldOfADamagedPackageIsRefused) {
  using Change = std::function<void(std::vector<std::uint8_t>&)>;
  const auto trailer = [](std::size_t field, int width, std::uint64_t value) -> Change {
    return [=](std::vector<std::uint8_t>& b) {
      Set(b, TrailerAt(b) + field, width, value);
      Reseal(b);
    };
  };
  const auto entry = [](int n, std::size_t field, int width, std::uint64_t value) -> Change {
    return [=](std::vector<std::uint8_t>& b) {
      Set(b, EntryAt(b, n) + field, width, value);
      Reseal(b);
    };
  };
  const struct {
    const char* what;
    Change change;
    PackageProblem expected;
  } cases[] = {
      {"trailer magic", [](auto& b) { b[TrailerAt(b)] ^= 1; }, PackageProblem::NoPackage},
      {"trailer version", trailer(8, 4, 2), PackageProblem::Version},
      {"trailer checksum", [](auto& b) { b[TrailerAt(b) + 36] ^= 1; }, PackageProblem::Trailer},
      {"trailer count 0", trailer(12, 4, 0), PackageProblem::Trailer},
      {"trailer count too large", trailer(12, 4, kMaxPackageEntries + 1), PackageProblem::Trailer},
      {"trailer count beyond the table", trailer(12, 4, 40), PackageProblem::Table},
      {"trailer count one short", trailer(12, 4, 3), PackageProblem::Table},
      {"start beyond the file", trailer(16, 8, ~0ull), PackageProblem::Trailer},
      {"start after the table", [](auto& b) { Set(b, TrailerAt(b) + 16, 8, TableAt(b) - 8); Reseal(b); },
       PackageProblem::Trailer},
      {"start one byte off", trailer(16, 8, kProgramBytes - 1), PackageProblem::Head},
      {"table offset beyond the file", trailer(24, 8, ~0ull - 100), PackageProblem::Trailer},
      {"table offset inside the head", trailer(24, 8, kProgramBytes + 4), PackageProblem::Trailer},
      {"table checksum",
       [](auto& b) {
         b[TrailerAt(b) + 32] ^= 1;
         Set(b, TrailerAt(b) + 36, 4, Crc32(b.data() + TrailerAt(b), 36));
       },
       PackageProblem::Table},
      {"head magic", [](auto& b) { b[kProgramBytes] ^= 1; }, PackageProblem::Head},
      {"head version", [](auto& b) { Set(b, kProgramBytes + 8, 4, 9); }, PackageProblem::Head},
      {"table byte", [](auto& b) { b[TableAt(b) + 9] ^= 1; }, PackageProblem::Table},
      {"entry kind unknown", entry(1, 0, 4, 7), PackageProblem::Table},
      {"entry name too long", entry(1, 4, 4, kMaxPackageNameLength + 1), PackageProblem::Table},
      {"entry name past the table", entry(3, 4, 4, 200), PackageProblem::Table},
      {"entry reserved field", entry(2, 28, 4, 1), PackageProblem::Table},
      {"entry offset before the data", entry(1, 8, 8, kProgramBytes), PackageProblem::Entry},
      {"entry offset past the table", [](auto& b) { Set(b, EntryAt(b, 1) + 8, 8, TableAt(b) + 1); Reseal(b); },
       PackageProblem::Entry},
      {"entry length past the table", entry(2, 16, 8, 1u << 20), PackageProblem::Entry},
      {"entry offset plus length wraps", entry(2, 16, 8, ~0ull - 10), PackageProblem::Entry},
      {"records not first", entry(0, 0, 4, 2), PackageProblem::Records},
      {"a second records entry", entry(1, 0, 4, 1), PackageProblem::Records},
      {"records not whole", entry(0, 16, 8, 2 * FrameRecordSize - 1), PackageProblem::Records},
      {"records empty", entry(0, 16, 8, 0), PackageProblem::Records},
      {"records checksum", entry(0, 24, 4, 12345), PackageProblem::Checksum},
      {"two pictures of one name", [](auto& b) {
         // b.bmp's name becomes a.jpg's (same length)
         const std::size_t first = EntryAt(b, 1) + kPackageEntrySize;
         const std::size_t second = EntryAt(b, 2) + kPackageEntrySize;
         std::memcpy(&b[second], &b[first], std::size_t(Get(b, EntryAt(b, 1) + 4, 4)));
         Reseal(b);
       }, PackageProblem::Table},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> bytes = SamplePackage();
    c.change(bytes);
    EXPECT_EQ(ProblemOf(bytes), c.expected) << c.what;
  }
}

TEST(ShowPackageTest, EveryTruncationAndEveryPrefixedGarbageIsRefused) {
  const std::vector<std::uint8_t> whole = SamplePackage();
  for (std::size_t size = 0; size < whole.size(); ++size) {
    std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + std::ptrdiff_t(size));
    ASSERT_NE(ProblemOf(cut), PackageProblem::None) << "cut at " << size;
  }
  // Bytes added after the trailer hide it: no package.
  std::vector<std::uint8_t> longer = whole;
  longer.push_back(0);
  EXPECT_EQ(ProblemOf(longer), PackageProblem::NoPackage);
}

TEST(ShowPackageTest, TheWriterRefusesAnIncompletePackageAndAFailedWrite) {
  {
    MemoryPackageSink sink;
    PackageWriter writer(sink, 0);
    EXPECT_TRUE(writer.AddPicture("<package>\\a\\b.jpg", Bytes(10, 1)));
    EXPECT_FALSE(writer.Finish()) << "no records";
  }
  {
    MemoryPackageSink sink;
    PackageWriter writer(sink, 0);
    EXPECT_TRUE(writer.AddRecords(TwoRecords()));
    EXPECT_FALSE(writer.AddRecords(TwoRecords())) << "records twice";
    EXPECT_FALSE(writer.Finish());
  }
  {
    MemoryPackageSink sink;
    PackageWriter writer(sink, 0);
    EXPECT_FALSE(writer.AddPicture(std::string(kMaxPackageNameLength + 1, 'n'), {}));
  }
  struct FailingSink : PackageSink {
    int left = 2;
    bool Write(const void*, std::size_t) override { return left-- > 0; }
  } failing;
  PackageWriter writer(failing, 0);
  EXPECT_TRUE(writer.AddRecords(TwoRecords()));
  EXPECT_FALSE(writer.AddPicture("<package>\\a\\b.jpg", Bytes(10, 1)));
  EXPECT_FALSE(writer.Finish());
}

TEST(ShowPackageTest, LoadFrameSetTakesCarriedRecordsInsteadOfTheFile) {
  SetCarriedFrameSet(TwoRecords());
  LoadFrameSet();
  ASSERT_TRUE(TheFrameList);
  EXPECT_EQ(TheFrameList->Count(), 3u);  // header, frame, trailing entry
  EXPECT_EQ((*TheFrameList)[1].Path(), "<package>\\Photos\\a.jpg");
  EXPECT_EQ(FrameCount, 1);

  SetCarriedFrameSet(std::vector<std::uint8_t>{});  // a damaged show: nothing plays
  LoadFrameSet();
  EXPECT_EQ(TheFrameList->Count(), 0u);
  SetCarriedFrameSet(std::nullopt);
  TheFrameList.reset();
}

TEST(ShowPackageTest, Crc32IsTheCommonOne) {
  EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(Crc32("", 0), 0u);
  EXPECT_EQ(Crc32("56789", 5, Crc32("1234", 4)), 0xCBF43926u);  // continued
}

}  // namespace
}  // namespace velmora
