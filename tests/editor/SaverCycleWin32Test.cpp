// The whole cycle in the real program: a show made in the editor is saved
// as a saver in the system directory, the saver plays it, and its settings
// dialog opens the show and saves it again under its own name.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/DialogFinderWin32.h"
#include "support/ProcessLauncherWin32.h"

namespace velmora {
namespace {

using test::LaunchedProcess;
using test::TextOf;

constexpr DWORD kWaitMs = 20000;

HWND Titled(LaunchedProcess& process, const std::wstring& title) {
  return test::FindTitled(process.TopLevelWindows(true), title);
}

// Waits for a box of `process`, returns its text and presses `button`.
std::wstring AnswerBox(LaunchedProcess& process, int button) {
  std::wstring text;
  HWND box = nullptr;
  test::PumpUntil([&] { return (box = test::FindMessageBox(process.TopLevelWindows(true), &text)) != nullptr; }, kWaitMs);
  if (box == nullptr) return {};
  ::PostMessageW(box, WM_COMMAND, button, 0);
  test::PumpUntil([&] { return !::IsWindow(box); }, kWaitMs);
  return text;
}

// Command ids of the main window's menu items: assigned from 40001 on in the
// order of its menu table (menus are not shared between processes under
// Wine, so another process cannot look them up by caption).
constexpr int kEmptyFrame1 = 40006;
constexpr int kSave1 = 40014;

std::string Utf8(const std::wstring& text) {
  std::string out(text.size() * 3 + 1, '\0');
  out.resize(static_cast<std::size_t>(::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                                            out.data(), static_cast<int>(out.size()), nullptr, nullptr)));
  return out;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

FILETIME WriteTime(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

// Deletes the saver files the test makes in the system directory.
struct SaverFiles {
  std::wstring fms = test::SystemDirectory() + L"\\Ocean.fms";
  std::wstring scr = test::SystemDirectory() + L"\\Ocean.scr";
  SaverFiles() { Remove(); }
  ~SaverFiles() { Remove(); }
  void Remove() {
    ::SetFileAttributesW(fms.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(fms.c_str());
    ::DeleteFileW(scr.c_str());
  }
};

TEST(SaverCycleTest, AShowMadeInTheEditorIsSavedPlayedAndReopenedFromItsSettings) {
  if (test::ProgramUnderTest().empty()) GTEST_SKIP() << "VELMORA_EXE not set";
  SaverFiles files;

  // The editor: two empty frames, then Save as Ocean.
  {
    LaunchedProcess editor;
    ASSERT_TRUE(editor.Start(test::ProgramUnderTest(), L""));
    HWND main = editor.WaitForWindow([](HWND w) { return ::IsWindowVisible(w) && TextOf(w) == L"Velmora 99"; }, kWaitMs);
    ASSERT_NE(main, nullptr);
    // The show loads after the first activation; empty frames are added
    // until the strip shows entry 3 (two frames and the trailing entry).
    ASSERT_TRUE(test::PumpUntil(
        [&] {
          if (test::ChildWithText(main, L"3") != nullptr) return true;
          ::PostMessageW(main, WM_COMMAND, kEmptyFrame1, 0);
          test::PumpFor(300);
          return false;
        },
        kWaitMs));
    ::PostMessageW(main, WM_COMMAND, kSave1, 0);
    HWND naming = nullptr;
    ASSERT_TRUE(test::PumpUntil([&] {
      naming = Titled(editor, L"命名");
      return naming != nullptr && ::FindWindowExW(naming, nullptr, L"Edit", nullptr) != nullptr;
    }, kWaitMs));
    ::SetWindowTextW(::FindWindowExW(naming, nullptr, L"Edit", nullptr), L"Ocean");
    HWND ok = test::ChildWithText(naming, L"確定");
    ASSERT_NE(ok, nullptr);
    ::PostMessageW(ok, BM_CLICK, 0, 0);
    EXPECT_EQ(AnswerBox(editor, IDNO), L"存檔前是否要先清空白圖框?");
    const std::wstring done = AnswerBox(editor, IDOK);
    EXPECT_TRUE(done.starts_with(L"存檔完成。")) << Utf8(done);
    EXPECT_TRUE(done.ends_with(L" - Ocean"));
    EXPECT_TRUE(test::PumpUntil([&] { return TextOf(main) == L"Ocean"; }, kWaitMs));
    EXPECT_TRUE(Exists(files.fms) && Exists(files.scr));
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(editor.WaitForExit(kWaitMs));
  }
  ASSERT_TRUE(Exists(files.scr));

  // The saver plays the show full-screen and ends on a key.
  {
    LaunchedProcess saver;
    ASSERT_TRUE(saver.Start(files.scr, L"/S"));
    HWND screen = saver.WaitForWindow([](HWND w) {
      RECT r{};
      ::GetWindowRect(w, &r);
      return ::IsWindowVisible(w) && r.right - r.left == ::GetSystemMetrics(SM_CXSCREEN);
    }, kWaitMs);
    ASSERT_NE(screen, nullptr);
    ::PostMessageW(screen, WM_KEYDOWN, VK_SPACE, 1);
    EXPECT_TRUE(saver.WaitForExit(kWaitMs));
  }

  // Its settings: the show opens under the saver's name and saves without
  // the naming dialog and without copying the executable.
  {
    const FILETIME scrTime = WriteTime(files.scr);
    LaunchedProcess settings;
    ASSERT_TRUE(settings.Start(files.scr, L"/c"));
    HWND main = settings.WaitForWindow([](HWND w) { return ::IsWindowVisible(w) && TextOf(w) == L"Ocean"; }, kWaitMs);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(test::PumpUntil([&] { return test::ChildWithText(main, L"3") != nullptr; }, kWaitMs));
    ::PostMessageW(main, WM_COMMAND, kSave1, 0);
    EXPECT_EQ(AnswerBox(settings, IDNO), L"存檔前是否要先清空白圖框?");
    EXPECT_TRUE(AnswerBox(settings, IDOK).ends_with(L" - Ocean"));
    EXPECT_EQ(Titled(settings, L"命名"), nullptr);
    const FILETIME scrTimeAfter = WriteTime(files.scr);
    EXPECT_EQ(::CompareFileTime(&scrTime, &scrTimeAfter), 0) << "the saver was copied again";
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(settings.WaitForExit(kWaitMs));
  }
}

}  // namespace
}  // namespace velmora
