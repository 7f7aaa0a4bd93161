// The editor's thumbnails on Windows: a folder of the run under the user's
// temporary folder, bitmaps a picture control can stretch, the folder gone
// at close.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "editor/ThumbnailsWin32.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
  return std::wstring(buffer, length);
}

TEST(ThumbnailsWin32Test, RunFolderUnderTempBitmapsAndCleanUp) {
  const std::string picture = std::string(VELMORA_TEST_DATA_DIR) + "/pictures/im-rgb24.bmp";
  fs::path folder;
  {
    EditorThumbnails thumbnails;
    EditorThumbnails other;
    folder = thumbnails.Folder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(folder.parent_path(), fs::path(TempFolder()).parent_path()) << folder.string();
    EXPECT_NE(folder, other.Folder()) << "two editors share a folder";

    ASSERT_TRUE(thumbnails.Make(picture, 3));
    EXPECT_TRUE(fs::exists(folder / "Velm$3.bmp"));
    EXPECT_FALSE(thumbnails.Make(picture + ".missing.bmp", 4));

    struct Case {
      std::int32_t number;
      bool exists;
    } cases[] = {{3, true}, {4, false}, {99, false}};
    for (const Case& c : cases) {
      const UniqueBitmap bitmap = thumbnails.LoadBitmap(c.number);
      EXPECT_EQ(static_cast<bool>(bitmap), c.exists) << c.number;
      if (!bitmap) continue;
      DIBSECTION dib{};
      ASSERT_EQ(::GetObjectW(bitmap.get(), sizeof dib, &dib), int(sizeof dib));
      EXPECT_EQ(dib.dsBm.bmBitsPixel, 24);
      EXPECT_EQ(std::max(dib.dsBm.bmWidth, dib.dsBm.bmHeight), 111);
      // A picture control stretches it: StretchBlt from it works.
      HDC screen = ::GetDC(nullptr);
      HDC memory = ::CreateCompatibleDC(screen);
      HGDIOBJ old = ::SelectObject(memory, bitmap.get());
      EXPECT_NE(::GetPixel(memory, 0, 0), CLR_INVALID);
      ::SelectObject(memory, old);
      ::DeleteDC(memory);
      ::ReleaseDC(nullptr, screen);
    }
    thumbnails.NoteMade(5);
    thumbnails.Close(4);
    EXPECT_FALSE(fs::exists(folder)) << "the run's folder stays after close";
    EXPECT_FALSE(thumbnails.LoadBitmap(3));
  }
  EXPECT_FALSE(fs::exists(folder));
}

}  // namespace
}  // namespace velmora
