// The editor at a display scale above 100 %: run by the `wine_scaled`
// fixture in a prefix whose LogPixels is VELMORA_SCALED_DPI (120, 144, 192). The
// windows are made in this process, per-monitor DPI aware as VELMORA.EXE is,
// and read from inside it (another process of other awareness would see
// rectangles rescaled by the system).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "editor/EditWindowWin32.h"
#include "editor/PMainWin32.h"
#include "editor/StripThumbnailsWin32.h"
#include "frames/FrameList.h"
#include "platform/ApplicationWin32.h"
#include "platform/DpiScale.h"
#include "platform/DpiWin32.h"
#include "platform/PictureLoaderWin32.h"
#include "saver/DpiAwarenessWin32.h"
#include "support/ProcessLauncherWin32.h"

namespace velmora {
namespace {

constexpr DWORD kStartMs = 15000;

int ScaledDpi() {
  const char* value = std::getenv("VELMORA_SCALED_DPI");
  return value != nullptr ? std::atoi(value) : 0;
}

bool Near(int actual, int expected) { return std::abs(actual - expected) <= 1; }

std::string Describe(const DpiRect& r) {
  std::ostringstream text;
  text << r.x << "," << r.y << " " << r.width << "x" << r.height;
  return text.str();
}

// Every control of the form sits at its table place scaled to `dpi`, within
// a pixel; what the toolkit sizes itself is held to its own rule: a label
// that fits its text keeps its designed corner, a label whose font's line is
// taller than its designed height grows downwards to that line, a docked
// control spans its parent, an up-down control clings to its edit.
// `widths` gives the 96-DPI width of controls the program sizes at run time.
void ExpectLaidOut(const Form& form, int dpi, const std::map<std::string, int>& widths = {}) {
  for (Control* control : form.Controls()) {
    const ControlSpec& spec = *form.SpecOf(*control);
    SCOPED_TRACE(form.Name() + "." + control->Name());
    const auto width = widths.find(control->Name());
    const DpiRect designed{spec.x, spec.y, width != widths.end() ? width->second : spec.width, spec.height};
    const DpiRect want = ScaleToDpi(designed, dpi);
    const DpiRect have{control->Left(), control->Top(), control->Width(), control->Height()};
    const std::string both = "want " + Describe(want) + ", have " + Describe(have);
    if (spec.kind == ControlKind::UpDown && spec.associate != nullptr) continue;
    if (spec.dock != Dock::None) {
      EXPECT_TRUE(Near(have.height, want.height) || spec.dock == Dock::Fill) << both;
      continue;
    }
    EXPECT_TRUE(Near(have.y, want.y)) << both;
    auto* label = dynamic_cast<Label*>(control);
    if (label != nullptr && label->AutoSize()) {
      if (spec.alignment == TextAlign::Right) {
        EXPECT_TRUE(Near(have.x + have.width, want.x + want.width)) << both;
      } else {
        EXPECT_TRUE(Near(have.x, want.x)) << both;
      }
      continue;
    }
    EXPECT_TRUE(Near(have.x, want.x)) << both;
    EXPECT_TRUE(Near(have.width, want.width)) << both;
    if (label != nullptr) {
      EXPECT_GE(have.height, want.height - 1) << both;
    } else {
      EXPECT_TRUE(Near(have.height, want.height)) << both;
    }
  }
}

// Each label's text, in its font, fits inside the label.
void ExpectLabelsFit(const Form& form) {
  for (Control* control : form.Controls()) {
    auto* label = dynamic_cast<Label*>(control);
    if (label == nullptr) continue;
    SCOPED_TRACE(form.Name() + "." + control->Name());
    const std::wstring text = label->Text();
    HDC dc = ::GetDC(label->Handle());
    HGDIOBJ old = ::SelectObject(dc, label->Font());
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    SIZE extent{0, metrics.tmHeight};
    if (!text.empty()) ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    ::SelectObject(dc, old);
    ::ReleaseDC(label->Handle(), dc);
    RECT client{};
    ::GetClientRect(label->Handle(), &client);
    EXPECT_LE(extent.cx, client.right) << NarrowToUtf8(text);
    EXPECT_LE(std::max<int>(extent.cy, metrics.tmHeight), client.bottom) << NarrowToUtf8(text);
  }
}

// The long side of a BMP file's picture; 0 when it cannot be read.
int BmpLongSide(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  char header[26] = {};
  if (!in.read(header, sizeof header)) return 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::memcpy(&width, header + 18, 4);
  std::memcpy(&height, header + 22, 4);
  return std::max(std::abs(width), std::abs(height));
}

// The screen as a 24-bit bottom-up BMP file (a look at the scaled windows).
void SaveScreen(const std::string& path) {
  const int width = ::GetSystemMetrics(SM_CXSCREEN);
  const int height = ::GetSystemMetrics(SM_CYSCREEN);
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  ::GdiFlush();
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  const DWORD size = stride * static_cast<DWORD>(height);
  BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + size), 0, 0,
                        static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER))};
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
  out.write(static_cast<const char*>(bits), size);
  ::SelectObject(memory, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
}

TEST(ScaledEditorTest, EveryControlSitsAtItsPlaceScaledAndEveryLabelFits) {
  const int dpi = ScaledDpi();
  if (dpi == 0) GTEST_SKIP() << "runs under the wine_scaled fixture only";
  ASSERT_TRUE(DeclarePerMonitorDpiAwareness());
  ASSERT_EQ(SystemDpi(), dpi) << "the prefix's LogPixels did not take";

  Application& application = Application::Instance();
  application.Initialize(::GetModuleHandleW(nullptr), L"Velmora 99");
  application.Reset();
  InstallWin32Graphics();
  Mode = SaverMode::Configure;
  IsEditorExe = true;
  {
    TPMain editor;
    HWND main = editor.CreateForm();
    ASSERT_NE(main, nullptr);
    application.SetMainForm(&editor);
    editor.Show();
    ASSERT_TRUE(test::PumpUntil([&] { return editor.Strip().Loaded(); }, kStartMs)) << "the show was not loaded";
    EXPECT_EQ(editor.Dpi(), dpi);
    EXPECT_TRUE(Near(editor.ClientWidth(), ScaleToDpi(508, dpi))) << editor.ClientWidth();
    EXPECT_TRUE(Near(editor.ClientHeight(), ScaleToDpi(379, dpi))) << editor.ClientHeight();
    // The strip sizes its scroll bars (one bar across both rows when they
    // scroll together), in 96-DPI pixels.
    ExpectLaidOut(editor, dpi,
                  {{"ScrollBar1", editor.Strip().ScrollBar(1).width}, {"ScrollBar2", editor.Strip().ScrollBar(2).width}});
    ExpectLabelsFit(editor);
    LOGFONTW slotFont{};
    ::GetObjectW(editor.Get<Label>("Label9").Font(), sizeof slotFont, &slotFont);
    EXPECT_EQ(slotFont.lfHeight, -PointsToPixelsAtDpi(9, dpi));

    // The slots' thumbnails are made at the picture controls' size.
    const int side = editor.Get<PictureBox>("Image1").Width();
    EXPECT_TRUE(Near(side, ScaleToDpi(kThumbnailSide, dpi)));
    EXPECT_EQ(editor.ThumbnailSide(), side);
    {
      StripThumbnails thumbnails;
      thumbnails.SetSide(editor.ThumbnailSide());
      ASSERT_TRUE(thumbnails.MakeOne(std::string(VELMORA_TEST_DATA_DIR) + "/pictures/cmyk-red.jpg", 1));
      std::shared_ptr<const MemoryImage24> image = thumbnails.Load(1);
      ASSERT_NE(image, nullptr);
      EXPECT_EQ(image->Width(), side);
      EXPECT_EQ(image->Height(), side);
      thumbnails.DeleteAll(2);
    }
    // The editor's own: made at its side, made again at the new side after
    // a move to another DPI (below).
    const std::int32_t number = editor.TakeThumbNumber();
    ASSERT_TRUE(editor.MakeThumbnail(std::string(VELMORA_TEST_DATA_DIR) + "/pictures/cmyk-red.jpg", number));
    const std::filesystem::path made = editor.ThumbnailFolder() / ("Velm$" + std::to_string(number) + ".bmp");
    EXPECT_EQ(BmpLongSide(made), side);

    TPMain1 edit(editor);
    ASSERT_TRUE(edit.Create(main));
    edit.SetBounds(editor.Bounds().right + 8, 0, edit.Width(), edit.Height());
    edit.Show();
    EXPECT_EQ(edit.Dpi(), dpi);
    ExpectLaidOut(edit, dpi);
    ExpectLabelsFit(edit);

    // Moved to a monitor of another scale (125 % to 150 %, 150 % to 200 %,
    // 200 % to 125 %): both windows are laid out again at the suggested
    // rectangle, fonts and thumbnails included.
    const int next = dpi == 120 ? 144 : dpi == 144 ? 192 : 120;
    for (Form* form : std::initializer_list<Form*>{&editor, &edit}) {
      const RECT now = form->Bounds();
      RECT suggested{now.left, now.top, now.left + RescaleDpi(now.right - now.left, dpi, next),
                     now.top + RescaleDpi(now.bottom - now.top, dpi, next)};
      form->Send(0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(next, next), reinterpret_cast<LPARAM>(&suggested));
      EXPECT_EQ(form->Dpi(), next);
      const RECT after = form->Bounds();
      EXPECT_EQ(after.right - after.left, suggested.right - suggested.left);
      EXPECT_EQ(after.bottom - after.top, suggested.bottom - suggested.top);
    }
    {
      SCOPED_TRACE("after the move to " + std::to_string(next) + " DPI");
      ExpectLaidOut(editor, next,
                    {{"ScrollBar1", editor.Strip().ScrollBar(1).width},
                     {"ScrollBar2", editor.Strip().ScrollBar(2).width}});
      ExpectLabelsFit(editor);
      ExpectLaidOut(edit, next);
      ExpectLabelsFit(edit);
      LOGFONTW font{};
      ::GetObjectW(editor.Get<Label>("Label9").Font(), sizeof font, &font);
      EXPECT_EQ(font.lfHeight, -PointsToPixelsAtDpi(9, next)) << "the slot labels' font is made for the new DPI";
      EXPECT_EQ(editor.ThumbnailSide(), editor.Get<PictureBox>("Image1").Width());
      EXPECT_TRUE(Near(editor.ThumbnailSide(), ScaleToDpi(kThumbnailSide, next)));
      EXPECT_TRUE(test::PumpUntil([&] { return BmpLongSide(made) == editor.ThumbnailSide(); }, kStartMs))
          << "the thumbnail was not made again at the new side: " << BmpLongSide(made);
    }

    if (const char* shot = std::getenv("VELMORA_SCALED_SHOT")) {
      for (HWND window : {main, edit.Handle()})
        ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      SaveScreen(shot);
    }
    edit.Hide();
  }
  TheFrameList.reset();
  IsEditorExe = false;
  application.Reset();
}

}  // namespace
}  // namespace velmora
