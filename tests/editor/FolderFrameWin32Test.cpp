// Adding a folder in the editor as a user does: "加入資料夾..." and the
// folder chooser, the folder frame in the strip with its name and count,
// "包含子資料夾" in the edit window, "隨機順序", then saving; the saved
// frame-set file carries the folder frame's and the show's bits, and the
// saved saver plays the folder's pictures.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/Startup.h"
#include "editor/EditorWindowsWin32.h"
#include "editor/PMainWin32.h"
#include "frames/FrameList.h"
#include "frames/FrameSet.h"
#include "frames/ShowOptions.h"
#include "platform/ApplicationWin32.h"
#include "platform/PictureLoaderWin32.h"
#include "support/DialogFinderWin32.h"
#include "support/ProcessLauncherWin32.h"

namespace velmora {
namespace {

using test::ClassNameOf;
using test::TextOf;

constexpr DWORD kStartMs = 15000;
constexpr DWORD kWaitMs = 20000;

std::wstring DataPicture(const char* name) {
  std::wstring path = WidenAnsi(std::string(VELMORA_TEST_DATA_DIR) + "/pictures/" + name);
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

// The command id of the menu item with this caption.
std::optional<UINT> MenuCommand(HMENU menu, const std::wstring& caption) {
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
    wchar_t text[128] = {};
    ::GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
    if (caption == text && ::GetSubMenu(menu, i) == nullptr) return ::GetMenuItemID(menu, i);
    if (HMENU sub = ::GetSubMenu(menu, i))
      if (auto found = MenuCommand(sub, caption)) return found;
  }
  return std::nullopt;
}

bool MenuChecked(HWND main, const std::wstring& caption) {
  const auto id = MenuCommand(::GetMenu(main), caption);
  return id && (::GetMenuState(::GetMenu(main), *id, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

// The first visible edit field of a dialog.
HWND EditOf(HWND dialog) {
  HWND found = nullptr;
  ::EnumChildWindows(
      dialog,
      [](HWND child, LPARAM data) -> BOOL {
        if (ClassNameOf(child) != L"Edit" || !::IsWindowVisible(child)) return TRUE;
        *reinterpret_cast<HWND*>(data) = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// The visible top-level windows of thread `ui`.
std::vector<HWND> UiWindows(DWORD ui) {
  std::vector<HWND> windows;
  ::EnumThreadWindows(
      ui,
      [](HWND window, LPARAM data) -> BOOL {
        if (::IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

// A visible window of thread `ui` with an edit field, of class `className`
// (the system's dialogs) or titled `title` (the program's own).
HWND DialogWithEdit(DWORD ui, const std::wstring& className, const std::wstring& title = {}) {
  for (HWND window : UiWindows(ui))
    if ((title.empty() ? ClassNameOf(window) == className : TextOf(window) == title) && EditOf(window) != nullptr)
      return window;
  return nullptr;
}

// The user's side while the editor's thread is inside a dialog: steps run
// one after the other on a thread of their own until each says it is done;
// past the deadline the editor's dialogs are cancelled, so that the test
// fails instead of hanging.
class Script {
 public:
  explicit Script(std::vector<std::function<bool()>> steps)
      : steps_(std::move(steps)), ui_(::GetCurrentThreadId()), thread_([this] { Run(); }) {}
  ~Script() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  // Waits for the steps to end (each within its deadline): whether all ran.
  bool Done() {
    if (thread_.joinable()) thread_.join();
    return done_;
  }

 private:
  void Run() {
    std::size_t next = 0;
    ULONGLONG start = ::GetTickCount64();
    while (!stop_ && next < steps_.size()) {
      if (steps_[next]()) {
        ++next;
        start = ::GetTickCount64();
        continue;
      }
      if (::GetTickCount64() - start > kWaitMs) {
        for (HWND window : UiWindows(ui_))
          if (ClassNameOf(window) == L"#32770" || EditOf(window) != nullptr)
            ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
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

TEST(FolderFrameTest, AFolderAddedInTheEditorIsSavedWithItsBitsAndTheShuffleOption) {
  // The folder: two pictures on top ("2" before "10"), one in a subfolder,
  // and a file that is not a picture.
  test::TempDirectory place;
  const std::wstring trip = place.Path() + L"\\Trip";
  ASSERT_TRUE(::CreateDirectoryW(trip.c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryW((trip + L"\\more").c_str(), nullptr));
  ASSERT_TRUE(::CopyFileW(DataPicture("cmyk-blue.jpg").c_str(), (trip + L"\\2.jpg").c_str(), FALSE));
  ASSERT_TRUE(::CopyFileW(DataPicture("im-rgb24.bmp").c_str(), (trip + L"\\10.bmp").c_str(), FALSE));
  ASSERT_TRUE(::CopyFileW(DataPicture("cmyk-red.jpg").c_str(), (trip + L"\\more\\1.jpg").c_str(), FALSE));
  std::ofstream(std::filesystem::path(trip + L"\\notes.txt")) << "not a picture";

  // The editor in this process, saving into a system directory of its own.
  test::TempDirectory system;
  const std::string savedSystemDir = SystemDir;
  SystemDir = NarrowToAnsi(system.Path());
  Application& application = Application::Instance();
  application.Initialize(::GetModuleHandleW(nullptr), L"Velmora 99");
  application.Reset();
  InstallWin32Graphics();
  Mode = SaverMode::Configure;
  IsEditorExe = true;
  {
    auto editor = std::make_unique<TPMain>();
    EditorWindows windows(*editor);
    editor->SetCompanions(&windows);
    HWND main = editor->CreateForm();
    ASSERT_NE(main, nullptr);
    application.SetMainForm(editor.get());
    editor->Show();
    ::SetForegroundWindow(main);
    ASSERT_TRUE(test::PumpUntil([&] { return editor->Strip().Loaded(); }, kStartMs));
    auto choose = [&](const wchar_t* caption) {
      const auto id = MenuCommand(::GetMenu(main), caption);
      ASSERT_TRUE(id) << "no menu item " << NarrowToUtf8(caption);
      ::SendMessageW(main, WM_COMMAND, *id, 0);
    };

    // The folder chooser: the folder typed into its name field, then its
    // button; a chooser that opened the folder instead is pressed again.
    const DWORD ui = ::GetCurrentThreadId();
    // The folder's path typed into the chooser's name field, then its button.
    auto addFolder = [&] {
      HWND dialog = nullptr;
      Script script({[&] {
                       dialog = DialogWithEdit(ui, L"#32770");
                       HWND field = dialog != nullptr ? EditOf(dialog) : nullptr;
                       if (field == nullptr) return false;
                       ::SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(trip.c_str()));
                       ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
                       return true;
                     },
                     [&] { return !::IsWindow(dialog); }});
      choose(L"加入資料夾...");
      EXPECT_TRUE(script.Done()) << "the folder chooser was not driven to its end";
    };
    // Twice: the second lands in front of the first, as pictures do, and is
    // the current frame.
    addFolder();
    addFolder();
    ASSERT_EQ(TheFrameList->Count(), 4u) << "the folder frames were not added";
    for (std::size_t i : {1u, 2u}) {
      const FrameRecord& frame = (*TheFrameList)[i];
      EXPECT_TRUE(IsFolderFrame(frame));
      EXPECT_TRUE(FolderIncludesSubfolders(frame));
      EXPECT_EQ(std::filesystem::path(WidenAnsi(frame.Path())), std::filesystem::path(trip));
    }
    EXPECT_EQ(editor->CurrentFrameIndex(), 1);

    // The strip: the folder's name with its count once counted, and its
    // first picture's thumbnail.
    auto labels = [&] {
      std::vector<std::wstring> texts;
      for (const char* name : {"Label11", "Label13"}) texts.push_back(WidenUtf8(editor->Get<Label>(name).Caption()));
      return texts;
    };
    EXPECT_TRUE(test::PumpUntil([&] { return labels() == std::vector<std::wstring>{L"Trip (3)", L"Trip (3)"}; }, kWaitMs))
        << "the slots never showed the folder's name and count";
    EXPECT_TRUE(test::PumpUntil(
        [&] { return (*TheFrameList)[1].HasThumbnail == 1 && (*TheFrameList)[2].HasThumbnail == 1; }, kWaitMs))
        << "the first picture's thumbnails were not made";

    // The edit window: the folder's path and the box, ticked; clearing it
    // leaves the subfolder out of the count.
    choose(L"顯示次編輯畫面");
    HWND edit = windows.EditWindow() != nullptr ? windows.EditWindow()->Handle() : nullptr;
    ASSERT_NE(edit, nullptr);
    HWND box = nullptr;
    ASSERT_TRUE(test::PumpUntil([&] { return (box = test::ChildWithText(edit, L"包含子資料夾")) != nullptr; }, kWaitMs));
    EXPECT_EQ(::SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(test::ChildWithText(edit, trip) != nullptr) << "the path field does not show the folder";
    ::SendMessageW(box, BM_CLICK, 0, 0);
    EXPECT_TRUE(test::PumpUntil([&] { return labels() == std::vector<std::wstring>{L"Trip (2)", L"Trip (3)"}; }, kWaitMs))
        << "the count did not follow the box";
    EXPECT_FALSE(FolderIncludesSubfolders((*TheFrameList)[1]));
    EXPECT_TRUE(FolderIncludesSubfolders((*TheFrameList)[2]));

    // Shuffle, a check item of the saver menu.
    EXPECT_FALSE(MenuChecked(main, L"隨機順序"));
    choose(L"隨機順序");
    EXPECT_TRUE(MenuChecked(main, L"隨機順序"));
    ASSERT_TRUE(test::PumpUntil([&] { return editor->Strip().PendingThumbnails() == 0; }, kWaitMs));

    // Save as "Trip show": the name, then the completion message.
    {
      std::wstring done;
      Script script({[&] {
                       HWND naming = DialogWithEdit(ui, {}, L"命名");
                       HWND field = naming != nullptr ? ::FindWindowExW(naming, nullptr, L"Edit", nullptr) : nullptr;
                       HWND ok = naming != nullptr ? test::ChildWithText(naming, L"確定") : nullptr;
                       if (field == nullptr || ok == nullptr) return false;
                       ::SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Trips"));
                       ::PostMessageW(ok, BM_CLICK, 0, 0);
                       return true;
                     },
                     [&] {
                       HWND message = test::FindMessageBox(UiWindows(ui), &done);
                       if (message == nullptr) return false;
                       ::PostMessageW(message, WM_COMMAND, IDOK, 0);
                       return true;
                     }});
      choose(L"存檔");
      EXPECT_TRUE(script.Done()) << "saving was not driven to its end";
      EXPECT_TRUE(done.starts_with(L"存檔完成。")) << NarrowToUtf8(done);
    }
    // Closing asks nothing once saved (nor after a failure above).
    editor->SetShowModified(false);
    ::SendMessageW(main, WM_CLOSE, 0, 0);
  }
  FrameList saved;
  ASSERT_TRUE(ReadFrameSetFile(NarrowToAnsi(system.Path() + L"\\Trips.fms"), saved));
  ASSERT_EQ(saved.Count(), 4u);
  EXPECT_EQ(saved[0].Path(), "Trips");
  EXPECT_EQ(saved[0].Reserved236, kShuffleBit) << "the header's shuffle bit";
  EXPECT_EQ(saved[1].Reserved236, kFolderFrameBit | kTopFolderOnlyBit) << "the folder frame without its subfolders";
  EXPECT_EQ(saved[2].Reserved236, kFolderFrameBit) << "the folder frame with its subfolders";
  for (std::size_t i : {1u, 2u}) EXPECT_EQ(std::filesystem::path(WidenAnsi(saved[i].Path())), std::filesystem::path(trip));
  EXPECT_EQ(saved[3].Reserved236, 0);

  TheFrameList.reset();
  SystemDir = savedSystemDir;
  Application::Instance().Reset();

  // The saved show played as Windows runs a saver (/s): the folder's
  // pictures, the blue and the red one among them, come on screen.
  if (!test::ProgramUnderTest().empty()) {
    const std::wstring played = test::SystemDirectory() + L"\\VelmTrips.fms";
    ASSERT_TRUE(::CopyFileW((system.Path() + L"\\Trips.fms").c_str(), played.c_str(), FALSE));
    test::ProgramCopy saver(test::SystemDirectory(), L"VelmTrips.scr");
    ASSERT_TRUE(saver.ok());
    const int x = ::GetSystemMetrics(SM_CXSCREEN) / 2, y = ::GetSystemMetrics(SM_CYSCREEN) / 2;
    ::SetCursorPos(x, y);
    test::LaunchedProcess process;
    ASSERT_TRUE(process.Start(saver.Path(), L"/s"));
    bool blue = false, red = false;
    EXPECT_TRUE(test::PumpUntil(
        [&] {
          const COLORREF pixel = test::ScreenPixel(x, y);
          const int r = GetRValue(pixel), g = GetGValue(pixel), b = GetBValue(pixel);
          blue = blue || (b > 150 && r < 100 && g < 100);
          red = red || (r > 150 && g < 100 && b < 100);
          return blue && red;
        },
        kStartMs + kWaitMs))
        << "blue seen " << blue << ", red seen " << red;
    test::PressKey(VK_SPACE);
    DWORD exitCode = 1;
    EXPECT_TRUE(process.WaitForExit(10000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    ::DeleteFileW(played.c_str());
  }
  ::DeleteFileW((system.Path() + L"\\Trips.fms").c_str());
  ::DeleteFileW((system.Path() + L"\\Trips.scr").c_str());
}

}  // namespace
}  // namespace velmora
