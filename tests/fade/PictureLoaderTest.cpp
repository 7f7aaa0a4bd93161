#include "fade/PictureLoader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fade/BmpGraphic.h"
#include "fade/JpegGraphic.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

class PictureLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("velmora-pictures-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 std::streamsize(bytes.size()));
    return path.string();
  }

  static MemoryImage24 Picture(int width, int height) {
    MemoryImage24 image(width, height);
    image.Fill(0x2060A0);
    return image;
  }

  std::string ErrorOf(const std::string& path) {
    try {
      LoadGraphic(path);
    } catch (const EPictureError& e) {
      return e.what();
    }
    return "(loaded)";
  }

  fs::path dir_;
};

TEST_F(PictureLoaderTest, ExtensionsAreFoundInAnyLetterCase) {
  EXPECT_EQ(PictureExtension("C:\\Photos\\Trip.JPG"), ".jpg");
  EXPECT_EQ(PictureExtension("a.b.Jpeg"), ".jpeg");
  EXPECT_EQ(PictureExtension("C:\\dir.d\\noext"), "");
  EXPECT_EQ(PictureExtension("dir.d/noext"), "");
  EXPECT_EQ(PictureExtension("plain"), "");
  for (const char* name : {"x.jpg", "x.JPEG", "x.jpe", "x.jfif", "x.bmp", "x.DIB"})
    EXPECT_TRUE(IsPictureFileName(name)) << name;
  EXPECT_FALSE(IsPictureFileName("x.gif"));
  EXPECT_FALSE(IsPictureFileName("x"));
}

TEST_F(PictureLoaderTest, LoadsByExtension) {
  const auto jpeg = LoadGraphic(Write("Photo.JPG", EncodeJpeg(Picture(33, 17), 90)));
  EXPECT_EQ(jpeg->Width(), 33);
  EXPECT_EQ(jpeg->Height(), 17);
  EXPECT_NE(dynamic_cast<const JpegGraphic*>(jpeg.get()), nullptr);

  const auto bmp = LoadGraphic(Write("scan.Dib", EncodeBmp(Picture(5, 4))));
  EXPECT_EQ(bmp->Width(), 5);
  EXPECT_NE(dynamic_cast<const BmpGraphic*>(bmp.get()), nullptr);
  MemoryImage24 target(5, 4);
  bmp->Draw(target, 0, 0);
  EXPECT_EQ(target.PixelAt(4, 3), 0x2060A0u);
}

TEST_F(PictureLoaderTest, FailuresNameTheFile) {
  const std::string gif = Write("anim.gif", {'G', 'I', 'F', '8', '9', 'a'});
  EXPECT_NE(ErrorOf(gif).find("anim.gif"), std::string::npos);
  EXPECT_NE(ErrorOf(gif).find(".gif"), std::string::npos);
  EXPECT_NE(ErrorOf((dir_ / "README").string()).find("no extension"), std::string::npos);

  const std::string missing = (dir_ / "gone.jpg").string();
  EXPECT_NE(ErrorOf(missing).find("gone.jpg"), std::string::npos);
  EXPECT_NE(ErrorOf(missing).find("cannot open"), std::string::npos);

  // The content decides nothing: a bitmap named .jpg is a damaged JPEG.
  const std::string wrong = Write("wrong.jpg", EncodeBmp(Picture(3, 3)));
  EXPECT_NE(ErrorOf(wrong).find("not a readable JPEG"), std::string::npos);
  EXPECT_NE(ErrorOf(Write("empty.bmp", {})).find("empty.bmp"), std::string::npos);
}

std::shared_ptr<const Graphic> OpenAsTinyBitmap(const std::string&) {
  return std::make_shared<const BmpGraphic>(MemoryImage24(2, 3));
}

TEST_F(PictureLoaderTest, FurtherKindsCanBeRegistered) {
  const std::string path = Write("drawing.XYZ", {1, 2, 3});
  EXPECT_FALSE(IsPictureFileName(path));
  RegisterGraphicOpener(".xyz", &OpenAsTinyBitmap);
  EXPECT_TRUE(IsPictureFileName(path));
  EXPECT_EQ(LoadGraphic(path)->Height(), 3);
  RegisterGraphicOpener("XYZ", nullptr);
  EXPECT_FALSE(IsPictureFileName(path));
  EXPECT_THROW(LoadGraphic(path), EPictureError);
}

}  // namespace
}  // namespace velmora
