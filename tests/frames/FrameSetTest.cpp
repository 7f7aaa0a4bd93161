#include "frames/FrameSet.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/Startup.h"

#if defined(__linux__)
#include <csignal>
#include <sys/resource.h>
#endif

namespace velmora {
namespace {

namespace fs = std::filesystem;

// A fresh directory per test, removed with everything in it afterwards.
class TempDir {
 public:
  TempDir() {
    static std::atomic<int> counter{0};
    path_ = fs::temp_directory_path() /
            ("velmora-frames-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + std::to_string(counter++) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  std::string Dir() const { return path_.string(); }
  std::size_t EntryCount() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(path_), {}));
  }

 private:
  fs::path path_;
};

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void PutInt32(std::string& bytes, std::size_t offset, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>(bits >> (8 * i));
}

// One record built byte by byte from the file layout, independently of the
// FrameRecord struct. Gaps, thumbnail and reserved fields hold `filler`.
std::string HandRecord(const std::string& path, std::int32_t effect, std::int32_t still,
                       char filler = '\0') {
  std::string bytes(FrameRecordSize, filler);
  bytes[0] = static_cast<char>(path.size());
  std::memcpy(&bytes[1], path.data(), path.size());
  PutInt32(bytes, 204, effect);
  bytes[208] = 5;  // direction
  PutInt32(bytes, 212, 4);
  PutInt32(bytes, 216, 6);
  PutInt32(bytes, 220, 0x00112233);
  bytes[224] = 0;
  PutInt32(bytes, 232, still);
  return bytes;
}

std::string HandFile(int frames, char filler = '\0') {
  std::string bytes = HandRecord("Ocean", 0, 3, filler);
  for (int i = 1; i <= frames; ++i) {
    bytes += HandRecord("C:\\Pics\\" + std::to_string(i) + ".jpg", i % 8, i, filler);
  }
  return bytes;
}

void ExpectDefaultTrailing(const FrameRecord& record) {
  auto fresh = NewFrameRecord();
  EXPECT_EQ(std::memcmp(&record, fresh.get(), FrameRecordSize), 0);
}

TEST(FrameSetTest, ReadsHeaderOnlyHeaderPlusOneAndFortyFrames) {
  TempDir dir;
  for (const int frames : {0, 1, 40}) {
    const std::string path = dir.File("show" + std::to_string(frames) + ".fms");
    WriteBytes(path, HandFile(frames));
    FrameList list;
    ASSERT_TRUE(ReadFrameSetFile(path, list));
    ASSERT_EQ(list.Count(), static_cast<std::size_t>(frames + 2));
    EXPECT_EQ(list.FrameCount(), frames);
    EXPECT_EQ(list[0].Path(), "Ocean");
    for (int i = 1; i <= frames; ++i) {
      EXPECT_EQ(list[i].Path(), "C:\\Pics\\" + std::to_string(i) + ".jpg");
      EXPECT_EQ(list[i].Effect, i % 8);
      EXPECT_EQ(list[i].Direction, 5);
      EXPECT_EQ(list[i].DotSize, 4);
      EXPECT_EQ(list[i].Speed, 6);
      EXPECT_EQ(list[i].Colour, 0x00112233u);
      EXPECT_EQ(list[i].StillTime, i);
    }
    ExpectDefaultTrailing(list[list.Count() - 1]);
  }
}

TEST(FrameSetTest, MissingFileGivesAnEmptyList) {
  TempDir dir;
  FrameList list;
  AppendFrameRecord(list);
  EXPECT_FALSE(ReadFrameSetFile(dir.File("none.fms"), list));
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_FALSE(ReadFrameSetFile(dir.File("no-dir/none.fms"), list));
}

TEST(FrameSetTest, EmptyFileGivesOnlyTheTrailingEntry) {
  TempDir dir;
  WriteBytes(dir.File("empty.fms"), "");
  FrameList list;
  ASSERT_TRUE(ReadFrameSetFile(dir.File("empty.fms"), list));
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_EQ(list.FrameCount(), 0);
}

TEST(FrameSetTest, PartialRecordIsAReadPastEndErrorNamingItsOffset) {
  TempDir dir;
  const std::string path = dir.File("partial.fms");
  WriteBytes(path, HandFile(2) + std::string(100, 'x'));
  FrameList list;
  AppendFrameRecord(list);
  try {
    ReadFrameSetFile(path, list);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.Code(), ErrorReadPastEnd);
    EXPECT_EQ(error.Offset(), 3 * 244);
    EXPECT_NE(std::string(error.what()).find("byte offset 732"), std::string::npos) << error.what();
  }
  EXPECT_EQ(list.Count(), 0u);

  // The lower-level reader keeps the whole records read before the error.
  EXPECT_THROW(ReadFrameSetRecords(path, list), EInOutError);
  EXPECT_EQ(list.Count(), 3u);

  WriteBytes(path, std::string(243, 'x'));
  try {
    ReadFrameSetFile(path, list);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.Code(), ErrorReadPastEnd);
    EXPECT_EQ(error.Offset(), 0);
  }
}

TEST(FrameSetTest, DirectoryInsteadOfAFileIsAnErrorWithTheOsCode) {
  TempDir dir;
  fs::create_directory(dir.File("folder.fms"));
  FrameList list;
  try {
    ReadFrameSetFile(dir.File("folder.fms"), list);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_NE(error.Code(), 0);
    EXPECT_NE(error.Code(), ErrorReadPastEnd);
  }
}

TEST(FrameSetTest, OversizedFileIsRefused) {
  TempDir dir;
  const std::string path = dir.File("huge.fms");
  {
    std::ofstream out(path, std::ios::binary);
  }
  // Sparse where the file system allows it: one record more than the limit.
  fs::resize_file(path, (MaxFrameSetFileSize / FrameRecordSize + 1) * FrameRecordSize);
  FrameList list;
  try {
    ReadFrameSetFile(path, list);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.Code(), ErrorFileTooLarge);
  }
  EXPECT_EQ(list.Count(), 0u);
}

TEST(FrameSetTest, RewriteIsByteIdenticalGapsAndReservedIncluded) {
  TempDir dir;
  const std::string original = HandFile(3, '\xA5');
  WriteBytes(dir.File("in.fms"), original);
  FrameList list;
  ASSERT_TRUE(ReadFrameSetFile(dir.File("in.fms"), list));
  // A damaged length byte is kept as it lies, too.
  list[2].PathLength = 230;
  std::string expected = original;
  expected[2 * 244] = static_cast<char>(230);

  WriteFrameSetFile(dir.File("out.fms"), list);
  EXPECT_EQ(ReadBytes(dir.File("out.fms")), expected);
}

TEST(FrameSetTest, WriteLeavesOutTheTrailingEntryAndReadsBack) {
  TempDir dir;
  FrameList list;
  AppendFrameRecord(list).SetPath("Show");
  for (int i = 0; i < 4; ++i) AppendFrameRecord(list).StillTime = 10 + i;
  AppendFrameRecord(list).Effect = 6;  // trailing entry with chosen settings: not written
  ASSERT_EQ(list.Count(), 6u);

  const std::string path = dir.File("Show.fms");
  WriteFrameSetFile(path, list);
  EXPECT_EQ(fs::file_size(path), 244u * 5);

  FrameList back;
  ASSERT_TRUE(ReadFrameSetFile(path, back));
  ASSERT_EQ(back.Count(), 6u);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(std::memcmp(&back[i], &list[i], FrameRecordSize), 0) << i;
  }
  ExpectDefaultTrailing(back[5]);
  EXPECT_EQ(dir.EntryCount(), 1u);  // no temporary file left behind
}

TEST(FrameSetTest, WriteReplacesALongerExistingFile) {
  TempDir dir;
  const std::string path = dir.File("Show.fms");
  WriteBytes(path, HandFile(40));
  FrameList list;
  AppendFrameRecord(list).SetPath("Show");
  AppendFrameRecord(list);
  WriteFrameSetFile(path, list);
  EXPECT_EQ(fs::file_size(path), 244u);
  EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST(FrameSetTest, FailedReplaceKeepsTheTargetAndRemovesTheTemporaryFile) {
  TempDir dir;
  // The target is a directory: the records are written, the replacement fails.
  const std::string target = dir.File("Busy.fms");
  fs::create_directory(target);
  WriteBytes(dir.File("Busy.fms/keep.txt"), "keep");
  FrameList list;
  AppendFrameRecord(list).SetPath("Busy");
  AppendFrameRecord(list);
  AppendFrameRecord(list);
  EXPECT_THROW(WriteFrameSetFile(target, list), EInOutError);
  EXPECT_TRUE(fs::is_directory(target));
  EXPECT_EQ(ReadBytes(dir.File("Busy.fms/keep.txt")), "keep");
  EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST(FrameSetTest, FailedCreateKeepsTheOldFile) {
  TempDir dir;
  const std::string target = dir.File("Old.fms");
  const std::string old = HandFile(2);
  WriteBytes(target, old);
  fs::create_directory(target + ".tmp");  // the temporary file cannot be made
  FrameList list;
  AppendFrameRecord(list);
  AppendFrameRecord(list);
  EXPECT_THROW(WriteFrameSetFile(target, list), EInOutError);
  EXPECT_EQ(ReadBytes(target), old);
  EXPECT_TRUE(fs::is_directory(target + ".tmp"));  // not ours: left alone
}

#if defined(__linux__)
TEST(FrameSetTest, WriteErrorPartWayKeepsTheOldFile) {
  TempDir dir;
  const std::string target = dir.File("Old.fms");
  const std::string old = HandFile(2);
  WriteBytes(target, old);

  FrameList list;
  AppendFrameRecord(list).SetPath("Old");
  for (int i = 0; i < 40; ++i) AppendFrameRecord(list).SetPath("frame");
  AppendFrameRecord(list);

  // Limit the size of files this process may write so that the write fails
  // with EFBIG after about four records.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool threw = false;
  int code = 0;
  try {
    WriteFrameSetFile(target, list);
  } catch (const EInOutError& error) {
    threw = true;
    code = error.Code();
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_TRUE(threw);
  EXPECT_EQ(code, EFBIG);
  EXPECT_EQ(ReadBytes(target), old);
  EXPECT_EQ(dir.EntryCount(), 1u);
}
#endif

// The process-wide list, FrameCount and the file named after the saver.
class LoadFrameSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedDir_ = SystemDir;
    savedName_ = SaverBaseName;
    SystemDir = dir_.Dir();
    SaverBaseName = "Ocean";
  }
  void TearDown() override {
    SystemDir = savedDir_;
    SaverBaseName = savedName_;
    TheFrameList.reset();
    FrameCount = 0;
  }
  TempDir dir_;
  std::string savedDir_;
  std::string savedName_;
};

TEST_F(LoadFrameSetTest, WriteThenLoadUnderTheSaverName) {
  TheFrameList = std::make_unique<FrameList>();
  AppendFrameRecord().SetPath("Ocean");
  AppendFrameRecord().SetPath("a.jpg");
  AppendFrameRecord().PureColour = 1;
  AppendFrameRecord();
  WriteFrameSet("Ocean");
  EXPECT_EQ(FrameSetPath("Ocean"), (fs::path(dir_.Dir()) / "Ocean.fms").string());
  EXPECT_EQ(fs::file_size(FrameSetPath("Ocean")), 244u * 3);

  TheFrameList.reset();
  FrameCount = 99;
  LoadFrameSet();
  ASSERT_TRUE(TheFrameList);
  EXPECT_EQ(TheFrameList->Count(), 4u);
  EXPECT_EQ(FrameCount, 2);
  EXPECT_EQ((*TheFrameList)[1].Path(), "a.jpg");
}

TEST_F(LoadFrameSetTest, MissingFileEmptiesTheListAndKeepsFrameCount) {
  TheFrameList = std::make_unique<FrameList>();
  AppendFrameRecord();
  FrameCount = 7;
  LoadFrameSet();
  ASSERT_TRUE(TheFrameList);
  EXPECT_EQ(TheFrameList->Count(), 0u);
  EXPECT_EQ(FrameCount, 7);
}

TEST_F(LoadFrameSetTest, DamagedFileThrowsAndLeavesAnEmptyList) {
  WriteBytes(FrameSetPath("Ocean"), HandFile(3) + "abc");
  FrameCount = 7;
  EXPECT_THROW(LoadFrameSet(), EInOutError);
  ASSERT_TRUE(TheFrameList);
  EXPECT_EQ(TheFrameList->Count(), 0u);
  EXPECT_EQ(FrameCount, 7);
}

TEST_F(LoadFrameSetTest, SystemDirWithTrailingSeparatorIsNotDoubled) {
  SystemDir = dir_.Dir() + (fs::path::preferred_separator == '\\' ? "\\" : "/");
  EXPECT_EQ(FrameSetPath("X"), SystemDir + "X.fms");
}

}  // namespace
}  // namespace velmora
