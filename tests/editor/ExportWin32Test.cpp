// An exported saver as a user makes and uses it: "匯出..." in a saver's
// editor writes the file; the file, run from another folder after the
// pictures are gone, plays them; /c on it opens the editor on its frames with
// the pictures taken out; a damaged one says so and plays nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/Startup.h"
#include "app/StartupPackageWin32.h"
#include "editor/EditorWindowsWin32.h"
#include "editor/Export.h"
#include "editor/PMainWin32.h"
#include "fade/JpegGraphic.h"
#include "frames/FrameSet.h"
#include "frames/ShowPackage.h"
#include "platform/ApplicationWin32.h"
#include "platform/PictureLoaderWin32.h"
#include "platform/SystemPathsWin32.h"
#include "support/ProcessLauncherWin32.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::ClassNameOf;
using test::LaunchedProcess;
using test::ProgramCopy;
using test::PumpUntil;
using test::ScreenPixel;
using test::TempDirectory;
using test::TextOf;

constexpr DWORD kStartMs = 20000;
constexpr DWORD kWaitMs = 15000;
constexpr char kShowName[] = "VelmExportTest";
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGreen = RGB(0, 255, 0);

bool Near(COLORREF a, COLORREF b) {
  return std::abs(int(GetRValue(a)) - int(GetRValue(b))) <= 24 && std::abs(int(GetGValue(a)) - int(GetGValue(b))) <= 24 &&
         std::abs(int(GetBValue(a)) - int(GetBValue(b))) <= 24;
}

void WriteBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(fs::path(path), std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<std::uint8_t> ReadBytes(const std::wstring& path) {
  std::ifstream in(fs::path(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// A show of a red picture, a blue colour and a green picture, two seconds
// each, the pictures in `folder`.
FrameList PicturesAndAColour(const std::wstring& folder) {
  MemoryImage24 red(320, 240), green(320, 240);
  red.Fill(0x0000FF);
  green.Fill(0x00FF00);
  WriteBytes(folder + L"\\red.jpg", EncodeJpeg(red, 95));
  WriteBytes(folder + L"\\green.jpg", EncodeJpeg(green, 95));
  FrameList list;
  AppendFrameRecord(list).SetPath(kShowName);
  FrameRecord& first = AppendFrameRecord(list);
  first.SetPath(NarrowToAnsi(folder + L"\\red.jpg"));
  first.StillTime = 2;
  FrameRecord& colour = AppendFrameRecord(list);
  colour.PureColour = 1;
  colour.Colour = 0xFF0000;
  colour.StillTime = 2;
  FrameRecord& last = AppendFrameRecord(list);
  last.SetPath(NarrowToAnsi(folder + L"\\green.jpg"));
  last.StillTime = 60;
  AppendFrameRecord(list);
  return list;
}

// Exports `list` as the program under test would, to `target`.
bool ExportWithTheProgram(const FrameList& list, const std::wstring& target) {
  const ExportResult result = ExportSaverFile(fs::path(test::ProgramUnderTest()), fs::path(target), list, nullptr);
  return result.outcome == ExportResult::Outcome::Done;
}

bool CoversScreen(HWND window) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  return ::IsWindowVisible(window) && rect.left <= 0 && rect.top <= 0 &&
         rect.right >= ::GetSystemMetrics(SM_CXSCREEN) && rect.bottom >= ::GetSystemMetrics(SM_CYSCREEN);
}

// A visible child of window whose text contains part.
HWND ChildContaining(HWND window, const std::wstring& part) {
  struct Search {
    const std::wstring* part;
    HWND found;
  } search{&part, nullptr};
  ::EnumChildWindows(
      window,
      [](HWND child, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (!::IsWindowVisible(child) || TextOf(child).find(*s->part) == std::wstring::npos) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A visible dialog (file dialog, message box) of the thread.
HWND ThreadDialog(DWORD thread) {
  HWND found = nullptr;
  ::EnumThreadWindows(
      thread,
      [](HWND window, LPARAM data) -> BOOL {
        if (!::IsWindowVisible(window) || ClassNameOf(window) != L"#32770") return TRUE;
        *reinterpret_cast<HWND*>(data) = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// The file dialog's file-name field (1148 in a combo box; 1152 in older dialogs).
HWND FileNameField(HWND dialog) {
  HWND found = nullptr;
  ::EnumChildWindows(
      dialog,
      [](HWND child, LPARAM data) -> BOOL {
        const int id = ::GetDlgCtrlID(child);
        if (ClassNameOf(child) != L"Edit" || (id != 0x47c && id != 0x480)) return TRUE;
        *reinterpret_cast<HWND*>(data) = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// Steps run one after the other on a thread of their own while the test's
// thread is inside the editor's modal loops; after kWaitMs the dialogs of
// the test's thread are cancelled so that the test fails instead of hanging.
class Script {
 public:
  explicit Script(std::vector<std::function<bool()>> steps)
      : steps_(std::move(steps)), ui_(::GetCurrentThreadId()), thread_([this] { Run(); }) {}
  ~Script() {
    stop_ = true;
    thread_.join();
  }
  bool Done() const { return done_; }
  DWORD Ui() const { return ui_; }

 private:
  void Run() {
    const ULONGLONG start = ::GetTickCount64();
    std::size_t next = 0;
    while (!stop_ && next < steps_.size()) {
      if (steps_[next]()) {
        ++next;
        continue;
      }
      if (::GetTickCount64() - start > kWaitMs) {
        if (HWND dialog = ThreadDialog(ui_)) ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
      }
      ::Sleep(50);
    }
    done_ = next == steps_.size();
  }
  std::vector<std::function<bool()>> steps_;
  DWORD ui_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> done_{false};
  std::thread thread_;
};

std::optional<UINT> MenuId(HMENU menu, const std::wstring& caption) {
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
    wchar_t text[128] = {};
    ::GetMenuStringW(menu, UINT(i), text, 128, MF_BYPOSITION);
    if (caption == text) return ::GetMenuItemID(menu, i);
    if (HMENU sub = ::GetSubMenu(menu, i))
      if (auto id = MenuId(sub, caption)) return id;
  }
  return std::nullopt;
}

// The flow: a saver's editor exports its show through the menu and the save
// dialog; the file then plays on its own.
TEST(ExportFlow, ExportedFilePlaysItsPicturesFromAnotherFolderWithTheOriginalsGone) {
  if (test::ProgramUnderTest().empty()) GTEST_SKIP() << "VELMORA_EXE not set";
  auto pictures = std::make_unique<TempDirectory>();
  const TempDirectory elsewhere;
  const FrameList show = PicturesAndAColour(pictures->Path());

  // 1. The editor of a saver of this PC, in this process, on that show.
  SystemDir = ReadSystemDirectory();
  const std::string fms = SystemDir + "\\" + kShowName + ".fms";
  WriteFrameSetFile(fms, show);
  const std::wstring target = elsewhere.Path() + L"\\" + WidenAnsi(kShowName) + L".scr";
  {
    Application& application = Application::Instance();
    application.Initialize(::GetModuleHandleW(nullptr), L"Velmora 99");
    application.Reset();
    InstallWin32Graphics();
    Mode = SaverMode::Configure;
    IsEditorExe = false;
    SaverBaseName = kShowName;
    auto editor = std::make_unique<TPMain>();
    HWND main = editor->CreateForm();
    ASSERT_NE(main, nullptr);
    EditorWindows companions(*editor);
    editor->SetCompanions(&companions);
    application.SetMainForm(editor.get());
    editor->Show();
    ASSERT_TRUE(PumpUntil([&] { return editor->Strip().Loaded(); }, kStartMs));
    const std::optional<UINT> exportItem = MenuId(::GetMenu(main), L"匯出...");
    ASSERT_TRUE(exportItem) << "no 匯出... in the menu";

    std::wstring said;
    std::wstring offered;
    HWND dialog = nullptr;
    HWND field = nullptr;
    Script script({
        [&] {
          dialog = ThreadDialog(::GetWindowThreadProcessId(main, nullptr));
          field = dialog ? FileNameField(dialog) : nullptr;
          if (!field || TextOf(field).empty()) return false;
          offered = TextOf(field);
          ::SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(target.c_str()));
          ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
          return true;
        },
        [&] {
          HWND box = ThreadDialog(::GetWindowThreadProcessId(main, nullptr));
          if (!box || box == dialog) return false;
          said = test::WaitForChildText(box, 0xFFFF, 1000);
          if (said.empty()) return false;
          ::PostMessageW(box, WM_COMMAND, IDOK, 0);
          return true;
        },
    });
    ::SendMessageW(main, WM_COMMAND, *exportItem, 0);
    EXPECT_TRUE(script.Done()) << "the save dialog and the message were not driven to their end";
    EXPECT_EQ(offered, WidenAnsi(kShowName) + L".scr");
    EXPECT_NE(said.find(L"已匯出"), std::wstring::npos) << NarrowToUtf8(said);
    EXPECT_NE(said.find(target), std::wstring::npos) << NarrowToUtf8(said);
    EXPECT_NE(said.find(L"MB"), std::wstring::npos) << NarrowToUtf8(said);

    // What the menu wrote carries the pictures (its program part is this test program).
    PackageProblem problem = PackageProblem::None;
    auto written = ShowPackage::Open(DiskPackageFile::Open(fs::path(target)), problem);
    ASSERT_NE(written, nullptr) << PackageProblemText(problem);
    EXPECT_EQ(written->Entries().size(), 3u);
    EXPECT_EQ(FrameListFromRecords(written->RecordBytes()).Count(), show.Count());
    editor->SetCompanions(nullptr);
  }
  Application::Instance().Reset();
  TheFrameList.reset();
  ::DeleteFileA(fms.c_str());

  // 2. The same file as the program under test writes it; the pictures go.
  ASSERT_TRUE(ExportWithTheProgram(show, target));
  pictures.reset();

  // 3. Started from its folder with /s, with no frame-set file anywhere.
  const int x = ::GetSystemMetrics(SM_CXSCREEN) / 2, y = ::GetSystemMetrics(SM_CYSCREEN) / 2;
  ::SetCursorPos(x, y);
  LaunchedProcess saver;
  ASSERT_TRUE(saver.Start(target, L"/s"));
  ASSERT_NE(saver.WaitForWindow(CoversScreen, kStartMs), nullptr);
  EXPECT_TRUE(PumpUntil([&] { return Near(ScreenPixel(x, y), kRed); }, kWaitMs)) << "the first picture";
  EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(x, y) == kBlue; }, kWaitMs)) << "the colour";
  EXPECT_TRUE(PumpUntil([&] { return Near(ScreenPixel(x, y), kGreen); }, kWaitMs)) << "the second picture";
  test::PressKey(VK_SPACE);
  EXPECT_TRUE(saver.WaitForExit(10000));
}

TEST(ExportFlow, ConfigureOnAnExportedFileOpensTheEditorOnItsFramesWithThePicturesTakenOut) {
  if (test::ProgramUnderTest().empty()) GTEST_SKIP() << "VELMORA_EXE not set";
  const TempDirectory elsewhere;
  std::wstring leaf;
  const std::wstring target = elsewhere.Path() + L"\\" + WidenAnsi(kShowName) + L".scr";
  {
    const TempDirectory pictures;
    leaf = pictures.Path().substr(pictures.Path().find_last_of(L'\\') + 1);
    ASSERT_TRUE(ExportWithTheProgram(PicturesAndAColour(pictures.Path()), target));
  }
  const std::wstring takenOut = ReadLocalAppDataFolder() + L"\\" + kTakeOutBase + L"\\" + WidenAnsi(kShowName);
  std::error_code ignored;
  fs::remove_all(fs::path(takenOut), ignored);

  LaunchedProcess editor;
  ASSERT_TRUE(editor.Start(target, L"/c"));
  HWND main = editor.WaitForWindow(
      [](HWND w) { return ::IsWindowVisible(w) && TextOf(w) == WidenAnsi(kShowName); }, kStartMs);
  ASSERT_NE(main, nullptr) << "no editor on the show";
  EXPECT_TRUE(PumpUntil([&] { return ChildContaining(main, L"red.jpg") && ChildContaining(main, L"green.jpg"); },
                        kWaitMs))
      << "the strip does not show the show's pictures";
  EXPECT_EQ(ReadBytes(takenOut + L"\\" + leaf + L"\\red.jpg").size() > 0, true) << NarrowToUtf8(takenOut);
  EXPECT_TRUE(fs::exists(fs::path(takenOut + L"\\" + leaf + L"\\green.jpg")));
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_TRUE(editor.WaitForExit(10000));
  fs::remove_all(fs::path(takenOut), ignored);
}

TEST(ExportFlow, ADamagedExportedFileSaysSoInConfigureAndPlaysNothing) {
  if (test::ProgramUnderTest().empty()) GTEST_SKIP() << "VELMORA_EXE not set";
  const TempDirectory elsewhere;
  const std::wstring target = elsewhere.Path() + L"\\" + WidenAnsi(kShowName) + L".scr";
  {
    const TempDirectory pictures;
    ASSERT_TRUE(ExportWithTheProgram(PicturesAndAColour(pictures.Path()), target));
  }
  // A byte of the table changed: the table's checksum no longer matches.
  std::vector<std::uint8_t> bytes = ReadBytes(target);
  bytes[bytes.size() - kPackageTrailerSize - 5] ^= 0x55;
  WriteBytes(target, bytes);

  LaunchedProcess editor;
  ASSERT_TRUE(editor.Start(target, L"/c"));
  HWND box = editor.WaitForWindow([](HWND w) { return ::IsWindowVisible(w) && ClassNameOf(w) == L"#32770"; },
                                  kStartMs);
  ASSERT_NE(box, nullptr);
  const std::wstring said = test::WaitForChildText(box, 0xFFFF, kWaitMs);
  EXPECT_NE(said.find(L"已損壞"), std::wstring::npos) << NarrowToUtf8(said);
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  DWORD code = 1;
  EXPECT_TRUE(editor.WaitForExit(10000, &code));

  const int x = ::GetSystemMetrics(SM_CXSCREEN) / 2, y = ::GetSystemMetrics(SM_CYSCREEN) / 2;
  ::SetCursorPos(x, y);
  LaunchedProcess saver;
  ASSERT_TRUE(saver.Start(target, L"/s"));
  const HWND window = saver.WaitForWindow(CoversScreen, kStartMs);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(Near(ScreenPixel(x, y), kRed));
  // The key must reach the saver: it is pressed once the window is in front.
  ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == window; }, kWaitMs)) << "saver is not in front";
  test::PressKey(VK_SPACE);
  EXPECT_TRUE(saver.WaitForExit(10000));
}

}  // namespace
}  // namespace velmora
