#include "editor/Thumbnails.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>

#include "editor/ThumbnailRules.h"
#include "fade/BmpGraphic.h"
#include "fade/JpegGraphic.h"
#include "fade/PictureLoader.h"
#include "support/ExifJpeg.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

MemoryImage24 Solid(int width, int height, TColor color) {
  MemoryImage24 image(width, height);
  image.Fill(color);
  return image;
}

// A folder of its own for one test, removed afterwards.
class Folder {
 public:
  Folder() {
    static int count = 0;
    path_ = fs::temp_directory_path() /
            ("velmora-thumbs-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" + std::to_string(++count));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~Folder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& Path() const { return path_; }
  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    std::ofstream(path_ / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                        std::streamsize(bytes.size()));
    return (path_ / name).string();
  }

 private:
  fs::path path_;
};

std::vector<std::uint8_t> FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ThumbnailsTest, SizeRule) {
  struct Case {
    int width, height;
    std::optional<ThumbnailSize> expected;
  } cases[] = {
      {400, 300, ThumbnailSize{111, 83}},
      {300, 400, ThumbnailSize{83, 111}},
      {500, 500, ThumbnailSize{111, 111}},
      {1, 1, ThumbnailSize{111, 111}},
      {222, 111, ThumbnailSize{111, 56}},  // 55.5: the even neighbour above
      {222, 109, ThumbnailSize{111, 54}},  // 54.5: the even neighbour below
      {109, 222, ThumbnailSize{54, 111}},
      {10000, 1, ThumbnailSize{111, 1}},  // never a side of 0
      {1, 10000, ThumbnailSize{1, 111}},
      {2000000000, 1999999999, ThumbnailSize{111, 111}},  // no overflow
      {0, 300, std::nullopt},
      {300, 0, std::nullopt},
      {-4, 3, std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FitThumbnail(c.width, c.height), c.expected) << c.width << " x " << c.height;
}

TEST(ThumbnailsTest, DecoderScaleKeepsTheThumbnailCovered) {
  struct Case {
    int width, height, scale;
  } cases[] = {
      {6000, 4000, 1}, {4000, 6000, 1}, {1600, 1200, 1}, {800, 600, 2},
      {400, 300, 4},   {300, 400, 4},   {200, 100, 8},   {111, 111, 8},
      {60, 40, 8},
  };
  for (const Case& c : cases) {
    const int scale = ThumbnailDecodeScale(c.width, c.height);
    EXPECT_EQ(scale, c.scale) << c.width << " x " << c.height;
    EXPECT_GE((std::max(c.width, c.height) * scale + 7) / 8, c.scale < 8 ? kThumbnailSide : 0);
  }
}

// An embedded picture of w x h: grey, with bars of `bar` rows (top and
// bottom) or columns (left and right, negative) of the given colour.
MemoryImage24 Embedded(int w, int h, int bar, TColor barColor) {
  MemoryImage24 image = Solid(w, h, 0x808080);
  if (bar > 0) {
    image.FillRect(Rect{0, 0, w, bar}, barColor);
    image.FillRect(Rect{0, h - bar, w, h}, barColor);
  } else if (bar < 0) {
    image.FillRect(Rect{0, 0, -bar, h}, barColor);
    image.FillRect(Rect{w + bar, 0, w, h}, barColor);
  }
  return image;
}

TEST(ThumbnailsTest, EmbeddedPictureChosenOrRefused) {
  struct Case {
    const char* what;
    int w, h, bar;
    TColor barColor;
    int photoW, photoH;
    std::optional<Rect> area;
  } cases[] = {
      {"same proportions", 160, 120, 0, 0, 4000, 3000, Rect{0, 0, 160, 120}},
      {"within a pixel", 160, 107, 0, 0, 6000, 4000, Rect{0, 0, 160, 107}},
      {"letterboxed 3:2 in 4:3", 160, 120, 7, kBlack, 6000, 4000, Rect{0, 8, 160, 112}},
      {"pillarboxed square in 4:3", 160, 120, -20, 0x101010, 3000, 3000, Rect{21, 0, 139, 120}},
      {"portrait", 120, 160, 0, 0, 3000, 4000, Rect{0, 0, 120, 160}},
      {"stretched: other proportions", 160, 120, 0, 0, 6000, 4000, std::nullopt},
      {"bars that are not dark", 160, 120, 7, 0x606060, 6000, 4000, std::nullopt},
      {"too small", 100, 75, 0, 0, 4000, 3000, std::nullopt},
      {"too small once the bars are cut", 111, 111, 19, kBlack, 6000, 4000, std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(EmbeddedPictureArea(Embedded(c.w, c.h, c.bar, c.barColor), c.photoW, c.photoH), c.area) << c.what;
}

TEST(ThumbnailsTest, PicturesOfEachKind) {
  constexpr TColor kPhoto = 0x3060C0, kSmall = 0x20A040;
  Folder folder;
  const std::vector<std::uint8_t> photo = EncodeJpeg(Solid(800, 600, kPhoto), 90);
  const std::vector<std::uint8_t> small = EncodeJpeg(Solid(160, 120, kSmall), 90);
  MemoryImage24 letterboxed = Solid(160, 120, kBlack);
  letterboxed.FillRect(Rect{0, 7, 160, 113}, kSmall);
  using testing::WithExifThumbnail;
  struct Case {
    const char* what;
    std::string path;
    std::optional<ThumbnailSize> size;  // nullopt: refused
    ThumbnailRoute route;
    TColor colour;
  } cases[] = {
      {"photo", folder.Write("photo.jpg", photo), ThumbnailSize{111, 83}, ThumbnailRoute::ReducedDecode, kPhoto},
      {"photo with a small picture", folder.Write("exif.jpg", WithExifThumbnail(photo, small)),
       ThumbnailSize{111, 83}, ThumbnailRoute::EmbeddedPicture, kSmall},
      {"3:2 photo with a letterboxed small picture",
       folder.Write("exif32.jpg", WithExifThumbnail(EncodeJpeg(Solid(900, 600, kPhoto), 90), EncodeJpeg(letterboxed, 95))),
       ThumbnailSize{111, 74}, ThumbnailRoute::EmbeddedPicture, kSmall},
      {"small picture too small",
       folder.Write("exif-tiny.jpg", WithExifThumbnail(photo, EncodeJpeg(Solid(100, 75, kSmall), 90))),
       ThumbnailSize{111, 83}, ThumbnailRoute::ReducedDecode, kPhoto},
      {"photo turned a quarter", folder.Write("exif-turned.jpg", WithExifThumbnail(photo, small, 6)),
       ThumbnailSize{83, 111}, ThumbnailRoute::EmbeddedPicture, kSmall},
      {"photo turned a quarter, small picture refused",
       folder.Write("exif-turned-tiny.jpg", WithExifThumbnail(photo, EncodeJpeg(Solid(100, 75, kSmall), 90), 8)),
       ThumbnailSize{83, 111}, ThumbnailRoute::ReducedDecode, kPhoto},
      {"damaged small picture", folder.Write("exif-bad.jpg", WithExifThumbnail(photo, {0xFF, 0xD8, 0xFF})),
       ThumbnailSize{111, 83}, ThumbnailRoute::ReducedDecode, kPhoto},
      {"small JPEG", folder.Write("small.jpeg", EncodeJpeg(Solid(90, 120, kPhoto), 90)), ThumbnailSize{83, 111},
       ThumbnailRoute::WholePicture, kPhoto},
      {"bitmap", folder.Write("pic.bmp", EncodeBmp(Solid(300, 400, kPhoto))), ThumbnailSize{83, 111},
       ThumbnailRoute::WholePicture, kPhoto},
      {"damaged JPEG", folder.Write("bad.jpg", {0xFF, 0xD8, 0xFF, 0xE0, 0, 2}), std::nullopt, {}, 0},
      {"missing file", (folder.Path() / "missing.bmp").string(), std::nullopt, {}, 0},
      {"not a picture", folder.Write("notes.txt", {'h', 'i'}), std::nullopt, {}, 0},
  };
  for (const Case& c : cases) {
    if (!c.size) {
      EXPECT_THROW(RenderThumbnail(c.path), EPictureError) << c.what;
      continue;
    }
    ThumbnailRoute route{};
    const MemoryImage24 image = RenderThumbnail(c.path, &route);
    EXPECT_EQ((ThumbnailSize{image.Width(), image.Height()}), *c.size) << c.what;
    EXPECT_EQ(route, c.route) << c.what;
    for (const auto& [x, y] : {std::pair{image.Width() / 2, 0}, std::pair{image.Width() / 2, image.Height() - 1}}) {
      const TColor p = image.PixelAt(x, y);
      for (int shift : {0, 8, 16}) EXPECT_NEAR(int(p >> shift & 0xFF), int(c.colour >> shift & 0xFF), 12) << c.what;
    }
  }
}

TEST(ThumbnailsTest, StoreFilesAndFallback) {
  Folder folder;
  const std::string good = folder.Write("a.bmp", EncodeBmp(Solid(400, 300, 0x00FF00)));
  const std::string bad = folder.Write("b.jpg", {1, 2, 3});
  ThumbnailStore store(folder.Path());
  EXPECT_EQ(store.FileName(12), folder.Path() / "Velm$12.bmp");

  // A stale file under the number is replaced; a failed picture leaves none.
  folder.Write("Velm$1.bmp", {'o', 'l', 'd'});
  folder.Write("Velm$2.bmp", {'o', 'l', 'd'});
  ASSERT_TRUE(store.Make(good, 1));
  EXPECT_FALSE(store.Make(bad, 2));
  EXPECT_FALSE(fs::exists(store.FileName(2)));
  EXPECT_EQ(store.Load(2), nullptr);

  // The file is a 24-bit bottom-up BMP of the thumbnail size.
  const std::vector<std::uint8_t> bytes = FileBytes(store.FileName(1));
  ASSERT_EQ(bytes.size(), 54u + 112u * 3 * 83);  // rows of 333 bytes padded to 336
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[22] | bytes[23] << 8, 83);  // positive height: bottom-up
  EXPECT_EQ(bytes[28], 24);
  const auto loaded = store.Load(1);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Width(), 111);
  EXPECT_EQ(loaded->PixelAt(5, 80), TColor(0x00FF00));
  EXPECT_FALSE(store.InMemory(1));

  store.Make(good, 3);
  store.Make(good, 4);
  store.DeleteAll(4);
  for (int n : {1, 3}) EXPECT_FALSE(fs::exists(store.FileName(n))) << n;
  EXPECT_TRUE(fs::exists(store.FileName(4)));

  // A folder that cannot be written: the small bitmap stays in memory.
  ThumbnailStore lost(folder.Path() / "no such folder");
  ASSERT_TRUE(lost.Make(good, 5));
  EXPECT_TRUE(lost.InMemory(5));
  const auto kept = lost.Load(5);
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ((ThumbnailSize{kept->Width(), kept->Height()}), (ThumbnailSize{111, 83}));
  EXPECT_FALSE(lost.Make(bad, 5));  // a new, failed picture drops the old thumbnail
  EXPECT_EQ(lost.Load(5), nullptr);
  lost.Make(good, 6);
  lost.DeleteAll(7);
  EXPECT_EQ(lost.Load(6), nullptr);

  // No folder at all: memory only, nothing written anywhere.
  ThumbnailStore memoryOnly{fs::path()};
  ASSERT_TRUE(memoryOnly.Make(good, 8));
  EXPECT_TRUE(memoryOnly.InMemory(8));
  EXPECT_FALSE(fs::exists(memoryOnly.FileName(8)));
  EXPECT_NE(memoryOnly.Load(8), nullptr);
}

// A picture kind whose loading sets the batch's cancel flag, so a test
// knows exactly which picture the user cancelled during.
std::atomic<bool> gCancel{false};
std::shared_ptr<const Graphic> OpenAndCancel(const std::string& path) {
  gCancel = true;
  return LoadGraphic(path.substr(0, path.size() - 5));  // "x.bmp.stop" -> "x.bmp"
}

TEST(ThumbnailsTest, BatchKeepsOrderAndStopsOnCancel) {
  Folder folder;
  const std::string good = folder.Write("a.bmp", EncodeBmp(Solid(64, 48, 0x123456)));
  const std::string bad = folder.Write("b.bmp", {'B', 'M'});
  RegisterGraphicOpener(".stop", &OpenAndCancel);
  struct Case {
    const char* what;
    unsigned threads;
    int cancelAt;  // the job during which the user cancels; -1 never
  } cases[] = {
      {"one thread", 1, -1},
      {"three threads", 3, -1},
      {"one thread, cancelled during the first", 1, 0},
      {"one thread, cancelled during the sixth", 1, 5},
      {"two threads, cancelled during the sixth", 2, 5},
  };
  for (const Case& c : cases) {
    std::vector<ThumbnailJob> jobs;
    std::vector<bool> expected;
    for (int i = 0; i < 24; ++i) {
      const bool ok = i % 5 != 2;
      jobs.push_back({i == c.cancelAt ? good + ".stop" : ok ? good : bad, 100 + i});
      expected.push_back(ok || i == c.cancelAt);
    }
    gCancel = false;
    ThumbnailStore store(folder.Path());
    std::size_t lastDone = 0;
    bool backwards = false;
    const std::vector<bool> made = store.MakeMany(
        jobs,
        [&](std::size_t done, std::size_t total) {
          EXPECT_EQ(total, jobs.size());
          backwards = backwards || done < lastDone;
          lastDone = done;
        },
        &gCancel, c.threads);
    EXPECT_FALSE(backwards) << c.what;
    EXPECT_EQ(lastDone, made.size()) << c.what;
    if (c.cancelAt < 0) {
      EXPECT_EQ(made.size(), jobs.size()) << c.what;
    } else {
      // The picture being made finishes. With one thread nothing more
      // begins; other threads may have begun later pictures before the flag
      // was set, and those finish too.
      EXPECT_GE(made.size(), std::size_t(c.cancelAt + 1)) << c.what;
      if (c.threads == 1) {
        EXPECT_EQ(made.size(), std::size_t(c.cancelAt + 1)) << c.what;
      }
    }
    for (std::size_t i = 0; i < jobs.size(); ++i) {
      const bool tried = i < made.size();
      if (tried) {
        EXPECT_EQ(made[i], expected[i]) << c.what << " job " << i;
      }
      EXPECT_EQ(fs::exists(store.FileName(jobs[i].number)), tried && expected[i]) << c.what << " job " << i;
    }
    store.DeleteAll(200);
  }
  RegisterGraphicOpener(".stop", nullptr);
}

}  // namespace
}  // namespace velmora
