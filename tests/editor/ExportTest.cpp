#include "editor/Export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fade/BmpGraphic.h"
#include "fade/JpegGraphic.h"
#include "fade/PictureLoader.h"
#include "frames/ShowOptions.h"
#include "support/ExifSupport.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    path_ = fs::temp_directory_path() / ("velmora-export-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}
std::vector<std::uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The editor's 8-bit paths use "\\"; here they name files of this host.
fs::path HostPath(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  return fs::path(path);
}

MemoryImage24 Solid(int width, int height, TColor colour) {
  MemoryImage24 image(width, height);
  image.Fill(colour);
  return image;
}

// ---- the fitting rule -----------------------------------------------------

TEST(ExportTest, PicturesLargerThan3840By2160AreFittedKeepingTheirProportions) {
  const struct {
    int width, height;
    PictureSize stored;
  } cases[] = {
      {3840, 2160, {3840, 2160}},  // exactly the limit: kept
      {1000, 800, {1000, 800}},
      {2160, 3840, {1215, 2160}},  // portrait: the height limits
      {3841, 2160, {3840, 2159}},  // 2159.44
      {3840, 2161, {3838, 2160}},  // 3838.22
      {6000, 4000, {3240, 2160}},  // a 24 MP photo
      {4000, 6000, {1440, 2160}},
      {8000, 100, {3840, 48}},
      {100000, 1, {3840, 1}},     // never below one pixel
      {1, 100000, {1, 2160}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ExportedSize(c.width, c.height), c.stored) << c.width << " x " << c.height;
}

TEST(ExportTest, SmallPicturesAreStoredByteForByteLargeOnesFittedAsUprightJpeg) {
  TempDir dir;
  const std::vector<std::uint8_t> smallJpeg = EncodeJpeg(Solid(640, 480, 0x0000FF), 80);
  // Turned a quarter: stored 2200 x 4000, shown 4000 x 2200, fitted 3840 x 2112.
  const std::vector<std::uint8_t> turned = testing::WithOrientation(EncodeJpeg(Solid(2200, 4000, 0x00FF00), 70), 6);
  const std::vector<std::uint8_t> smallBmp = EncodeBmp(Solid(50, 40, 0xFF0000));
  const std::vector<std::uint8_t> largeBmp = EncodeBmp(Solid(4000, 100, 0xFF0000));
  const struct {
    const char* name;
    std::vector<std::uint8_t> bytes;
    bool fitted;
    PictureSize stored;
  } cases[] = {
      {"small.jpg", smallJpeg, false, {640, 480}},
      {"turned.jpeg", turned, true, {3840, 2112}},
      {"small.bmp", smallBmp, false, {50, 40}},
      {"wide.bmp", largeBmp, true, {3840, 96}},
  };
  for (const auto& c : cases) {
    const std::string path = dir / c.name;
    WriteFile(path, c.bytes);
    bool fitted = true;
    const std::vector<std::uint8_t> stored = ExportedPicture(path, fitted);
    EXPECT_EQ(fitted, c.fitted) << c.name;
    if (!c.fitted) {
      EXPECT_EQ(stored, c.bytes) << c.name;
      continue;
    }
    const auto jpeg = JpegGraphic::FromBytes(stored, c.name);
    EXPECT_EQ(jpeg->Orientation(), 1) << c.name;
    EXPECT_EQ((PictureSize{jpeg->Width(), jpeg->Height()}), c.stored) << c.name;
  }
  EXPECT_THROW(
      {
        bool fitted = false;
        ExportedPicture(dir / "missing.jpg", fitted);
      },
      EPictureError);
}

TEST(ExportTest, CarriedNamesKeepFolderAndFileAndAreUnique) {
  std::set<std::string> used;
  const struct {
    std::string source;
    bool fitted;
    std::string name;
  } cases[] = {
      {"C:\\Photos\\a.jpg", false, "<package>\\Photos\\a.jpg"},
      {"D:\\Other\\Photos\\A.JPG", false, "<package>\\Photos\\A (2).JPG"},  // the same name in another case
      {"C:\\Photos\\scan.png", true, "<package>\\Photos\\scan.jpg"},       // fitted from PNG
      {"C:\\Photos\\scan.jpg", false, "<package>\\Photos\\scan (2).jpg"},
      {"a.bmp", false, "<package>\\pictures\\a.bmp"},
      {"C:\\.jpg", false, "<package>\\pictures\\picture.jpg"},
  };
  for (const auto& c : cases) EXPECT_EQ(CarriedName(c.source, c.fitted, used), c.name) << c.source;

  const std::string longName = "C:\\" + std::string(120, 'f') + "\\" + std::string(190, 's') + ".jpg";
  const std::string name = CarriedName(longName, false, used);
  EXPECT_LE(name.size(), MaxFramePathLength);
  EXPECT_TRUE(name.ends_with(".jpg")) << name;
  EXPECT_LE(CarriedName(longName, false, used).size(), MaxFramePathLength);
}

// ---- what an export stores and what the editor takes out -------------------

struct Show {
  TempDir dir;
  FrameList list;
  std::vector<std::uint8_t> red = EncodeJpeg(Solid(64, 48, 0x0000FF), 90);
  std::vector<std::uint8_t> blue = EncodeBmp(Solid(8, 8, 0xFF0000));

  Show() {
    WriteFile(dir / "pics/red.jpg", red);
    WriteFile(dir / "album/2.bmp", blue);
    WriteFile(dir / "album/10.bmp", blue);
    WriteFile(dir / "album/sub/1.jpg", red);
    FrameRecord& header = AppendFrameRecord(list);
    header.SetPath("Family");
    WriteShowOptions(header, {.Shuffle = true, .Caption = CaptionMode::FileName});
    AppendFrameRecord(list).SetPath(dir / "pics/red.jpg");
    FrameRecord& colour = AppendFrameRecord(list);
    colour.PureColour = 1;
    colour.Colour = 0x00FF00;
    FrameRecord& folder = AppendFrameRecord(list);
    folder.SetPath(dir / "album");
    folder.StillTime = 7;
    SetFolderFrame(folder, true, false);  // top folder only
    AppendFrameRecord(list).SetPath(dir / "pics/red.jpg");  // again: stored once
    AppendFrameRecord(list).SetPath(dir / "pics/gone.jpg");
    AppendFrameRecord(list);
  }
};

TEST(ExportTest, AnExportCarriesEveryPictureOnceWithFolderFramesExpanded) {
  Show show;
  MemoryPackageSink sink;
  ExportResult result;
  std::vector<std::pair<int, int>> steps;
  ASSERT_TRUE(WriteShowPackage(show.list, sink, 0,
                               [&](int done, int total) {
                                 steps.emplace_back(done, total);
                                 return true;
                               },
                               result));
  EXPECT_EQ(result.pictures, 3);
  EXPECT_EQ(result.fitted, 0);
  ASSERT_EQ(result.missing.size(), 1u);
  EXPECT_TRUE(result.missing[0].ends_with("gone.jpg"));
  EXPECT_EQ(steps.front(), std::make_pair(0, 4));
  EXPECT_EQ(steps.back(), std::make_pair(4, 4));

  PackageProblem problem = PackageProblem::None;
  auto package = ShowPackage::Open(std::make_shared<MemoryPackageFile>(sink.bytes), problem);
  ASSERT_NE(package, nullptr) << PackageProblemText(problem);
  EXPECT_EQ(package->Entries().size(), 4u);  // records, red.jpg, 2.bmp, 10.bmp
  const FrameList carried = FrameListFromRecords(package->RecordBytes());
  ASSERT_EQ(carried.Count(), 8u);  // header, 6 frames, trailing entry
  EXPECT_EQ(carried[0].Path(), "Family");
  EXPECT_EQ(ReadShowOptions(carried[0]), (ShowOptions{.Shuffle = true, .Caption = CaptionMode::FileName}));
  const std::string expected[] = {"<package>\\pics\\red.jpg", "", "<package>\\album\\2.bmp",
                                  "<package>\\album\\10.bmp", "<package>\\pics\\red.jpg"};
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    if (expected[i].empty()) continue;
    EXPECT_EQ(carried[i + 1].Path(), expected[i]) << "frame " << i + 1;
    EXPECT_FALSE(IsFolderFrame(carried[i + 1])) << "frame " << i + 1;
  }
  EXPECT_EQ(carried[2].PureColour, 1);
  EXPECT_EQ(carried[2].Colour, 0x00FF00u);
  EXPECT_EQ(carried[3].StillTime, 7);  // the folder frame's settings on each of its pictures
  EXPECT_EQ(carried[4].StillTime, 7);
  EXPECT_TRUE(carried[6].Path().ends_with("gone.jpg"));  // not readable: left as it was

  // The editor's copy: the pictures in a folder of the user's, the frames naming them.
  TempDir out;
  std::vector<std::uint8_t> records;
  const std::string folder = TakeOutFolder(out / "", "Family: 2026?");
  EXPECT_TRUE(folder.ends_with("Family_ 2026_"));
  ASSERT_TRUE(TakeOutShow(*package, folder, HostPath, records));
  const FrameList taken = FrameListFromRecords(records);
  ASSERT_EQ(taken.Count(), carried.Count());
  EXPECT_EQ(taken[1].Path(), folder + "\\pics\\red.jpg");
  EXPECT_EQ(taken[1].Path(), taken[5].Path());
  EXPECT_EQ(taken[2].Colour, 0x00FF00u);
  for (std::size_t i : {1u, 3u, 4u}) {
    EXPECT_EQ(ReadFile(HostPath(taken[i].Path())), i == 1 ? show.red : show.blue) << taken[i].Path();
  }
}

TEST(ExportTest, TakingOutNeverWritesOutsideItsFolder) {
  MemoryPackageSink sink;
  PackageWriter writer(sink, 0);
  const std::string names[] = {"<package>\\..\\..\\evil.jpg", "<package>\\a\\b\\c.jpg", "C:\\Windows\\x.bmp",
                               "<package>\\ok\\good.jpg"};
  FrameList list;
  AppendFrameRecord(list).SetPath("Show");
  for (const std::string& name : names) {
    writer.AddPicture(name, {1, 2, 3});
    AppendFrameRecord(list).SetPath(name);
  }
  AppendFrameRecord(list);
  writer.AddRecords(RecordsOfFrameList(list));
  ASSERT_TRUE(writer.Finish());
  PackageProblem problem = PackageProblem::None;
  auto package = ShowPackage::Open(std::make_shared<MemoryPackageFile>(sink.bytes), problem);
  ASSERT_NE(package, nullptr);

  TempDir out;
  const std::string folder = out / "inner";
  std::vector<std::uint8_t> records;
  ASSERT_TRUE(TakeOutShow(*package, folder, HostPath, records));
  const FrameList taken = FrameListFromRecords(records);
  const std::string expected[] = {folder + "\\1.jpg", folder + "\\2.jpg", folder + "\\3.bmp",
                                  folder + "\\ok\\good.jpg"};
  for (std::size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(taken[i + 1].Path(), expected[i]);
  std::size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(out.Path()))
    if (entry.is_regular_file()) {
      ++files;
      EXPECT_TRUE(entry.path().string().starts_with(folder)) << entry.path();
    }
  EXPECT_EQ(files, 4u);
}

TEST(ExportTest, TheSaverFileIsTheProgramThenThePackageAndACancelLeavesNothing) {
  Show show;
  const std::vector<std::uint8_t> program(5000, 0x4D);
  WriteFile(show.dir / "VELMORA.EXE", program);
  const fs::path target = show.dir.Path() / "Family.scr";

  ExportResult result = ExportSaverFile(show.dir.Path() / "VELMORA.EXE", target, show.list, nullptr);
  ASSERT_EQ(result.outcome, ExportResult::Outcome::Done) << result.error;
  const std::vector<std::uint8_t> saver = ReadFile(target);
  EXPECT_EQ(result.fileSize, saver.size());
  EXPECT_TRUE(std::equal(program.begin(), program.end(), saver.begin()));

  // Exported again from the exported file itself: its package is not passed on.
  const fs::path again = show.dir.Path() / "Again.scr";
  result = ExportSaverFile(target, again, show.list, nullptr);
  ASSERT_EQ(result.outcome, ExportResult::Outcome::Done) << result.error;
  EXPECT_EQ(ReadFile(again), saver);

  // Cancelled at the second picture: no file, no temporary file; an old file stays.
  WriteFile(show.dir / "Old.scr", {1, 2, 3});
  result = ExportSaverFile(target, show.dir.Path() / "Old.scr", show.list, [](int done, int) { return done < 1; });
  EXPECT_EQ(result.outcome, ExportResult::Outcome::Cancelled);
  EXPECT_EQ(ReadFile(show.dir.Path() / "Old.scr"), (std::vector<std::uint8_t>{1, 2, 3}));
  result = ExportSaverFile(target, show.dir.Path() / "New.scr", show.list, [](int done, int) { return done < 1; });
  EXPECT_FALSE(fs::exists(show.dir.Path() / "New.scr"));
  for (const auto& entry : fs::directory_iterator(show.dir.Path()))
    EXPECT_FALSE(entry.path().string().ends_with("tmp")) << entry.path();

  // A program whose own package is damaged is not copied.
  std::vector<std::uint8_t> damaged = saver;
  damaged[damaged.size() - 1] ^= 1;
  WriteFile(show.dir / "Damaged.scr", damaged);
  result = ExportSaverFile(show.dir.Path() / "Damaged.scr", show.dir.Path() / "Out.scr", show.list, nullptr);
  EXPECT_EQ(result.outcome, ExportResult::Outcome::Failed);
  EXPECT_FALSE(fs::exists(show.dir.Path() / "Out.scr"));
}

}  // namespace
}  // namespace velmora
