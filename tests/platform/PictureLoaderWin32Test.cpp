#include "platform/PictureLoaderWin32.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <vector>

#include "fade/PictureLoader.h"
#include "platform/HandlesWin32.h"

namespace velmora {
namespace {

std::string TempPath(const char* name) {
  char dir[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, dir);
  return std::string(dir) + name;
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

TEST(PictureLoaderWin32Test, InstallsSystemColoursAndTheWin32Kinds) {
  InstallWin32Graphics();
  EXPECT_EQ(ColorToRGB(kButtonFace), TColor(::GetSysColor(COLOR_BTNFACE)));
  EXPECT_EQ(ColorToRGB(kButtonShadow), TColor(::GetSysColor(COLOR_BTNSHADOW)));
  for (const char* name : {"a.EMF", "b.wmf", "c.Ico", "d.jpg", "e.bmp", "f.png", "g.GIF", "h.tif", "i.Tiff", "j.heic",
                           "k.heif", "l.webp", "m.jxr"})
    EXPECT_TRUE(IsPictureFileName(name)) << name;

  // An EMF written to disk loads through LoadGraphic as a metafile.
  WindowDc screen(nullptr);
  HDC dc = ::CreateEnhMetaFileW(screen.get(), nullptr, nullptr, nullptr);
  ::Rectangle(dc, 0, 0, 40, 30);
  HENHMETAFILE emf = ::CloseEnhMetaFile(dc);
  std::vector<std::uint8_t> bytes(::GetEnhMetaFileBits(emf, 0, nullptr));
  ::GetEnhMetaFileBits(emf, UINT(bytes.size()), bytes.data());
  ::DeleteEnhMetaFile(emf);
  const std::string path = TempPath("velmora-pictures-test.Emf");
  WriteFile(path, bytes);
  const auto graphic = LoadGraphic(path);
  EXPECT_EQ(graphic->Kind(), GraphicKind::Metafile);
  EXPECT_GT(graphic->Width(), 0);
  ::DeleteFileA(path.c_str());

  // A damaged icon names its file.
  const std::string ico = TempPath("velmora-pictures-test.ico");
  WriteFile(ico, {0, 0, 1, 0});
  try {
    LoadGraphic(ico);
    ADD_FAILURE() << "accepted";
  } catch (const EPictureError& e) {
    EXPECT_NE(std::string(e.what()).find("velmora-pictures-test.ico"), std::string::npos) << e.what();
  }
  ::DeleteFileA(ico.c_str());
}

}  // namespace
}  // namespace velmora
