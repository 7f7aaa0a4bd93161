// The system's file-open dialog as the picture dialog runs it: a watcher
// thread finds the dialog, selects a picture (the preview shows its size),
// types file names and confirms or cancels; the result holds full paths in
// the typed order.
#include "platform/DialogsWin32.h"

#include <commctrl.h>
#include <dlgs.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/ApplicationWin32.h"
#include "support/ProcessLauncherWin32.h"

namespace velmora {
namespace {

constexpr ULONGLONG kWaitMs = 20000;
constexpr int kPreviewSizeTextId = 1102;

// Polls `found` every 20 ms until it gives a window or the deadline passes.
HWND PollFor(const std::function<HWND()>& found) {
  const ULONGLONG deadline = ::GetTickCount64() + kWaitMs;
  for (;;) {
    if (HWND window = found()) return window;
    if (::GetTickCount64() > deadline) return nullptr;
    ::Sleep(20);
  }
}

// The visible file dialog of this process.
HWND FileDialog() {
  struct Search {
    HWND found = nullptr;
  } search;
  ::EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        DWORD process = 0;
        ::GetWindowThreadProcessId(window, &process);
        if (process == ::GetCurrentProcessId() && ::IsWindowVisible(window) &&
            test::ClassNameOf(window) == L"#32770") {
          reinterpret_cast<Search*>(data)->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The first descendant of `parent` that `match` accepts.
HWND Descendant(HWND parent, const std::function<bool(HWND)>& match) {
  struct Search {
    const std::function<bool(HWND)>* match;
    HWND found = nullptr;
  } search{&match};
  ::EnumChildWindows(
      parent,
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if ((*s->match)(window)) {
          s->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The file-name field: an edit, or the edit inside the file-name combo box.
HWND FileNameField(HWND dialog) {
  if (HWND edit = ::GetDlgItem(dialog, edt1); edit != nullptr && ::IsWindowVisible(edit)) return edit;
  if (HWND combo = ::GetDlgItem(dialog, cmb13)) {
    return Descendant(combo, [](HWND window) { return test::ClassNameOf(window) == L"Edit"; });
  }
  return nullptr;
}

class OpenDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Application::Instance().Initialize(::GetModuleHandleW(nullptr), L"Velmora test"));
    ASSERT_FALSE(directory.Path().empty());
    const std::wstring source = WidenUtf8(VELMORA_TEST_DATA_DIR "/pictures/im-rgb24.bmp");
    for (const wchar_t* name : {L"a.bmp", L"b.bmp", L"c d.bmp"}) {
      ASSERT_TRUE(::CopyFileW(source.c_str(), (directory.Path() + L"\\" + name).c_str(), FALSE));
    }
  }

  test::TempDirectory directory;
};

TEST_F(OpenDialogTest, TypedNamesComeBackAsFullPathsInOrderAndCancelIsNoError) {
  struct Case {
    const wchar_t* typed;  // nullptr: Cancel
    std::vector<std::wstring> names;
    OpenDialogStatus status;
  };
  const Case cases[] = {
      {L"\"c d.bmp\" \"a.bmp\"", {L"c d.bmp", L"a.bmp"}, OpenDialogStatus::Ok},
      {L"b.bmp", {L"b.bmp"}, OpenDialogStatus::Ok},
      {nullptr, {}, OpenDialogStatus::Cancelled},
  };
  for (const Case& c : cases) {
    std::atomic<bool> typed{false};
    std::wstring previewText;
    std::thread user([&] {
      HWND dialog = PollFor(FileDialog);
      if (dialog == nullptr) return;
      HWND field = PollFor([&] { return FileNameField(dialog); });
      if (field == nullptr) return;
      // Selecting a picture in the list shows its size beside it.
      HWND list = PollFor([&] {
        return Descendant(dialog, [](HWND window) {
          return test::ClassNameOf(window) == L"SysListView32" && ::SendMessageW(window, LVM_GETITEMCOUNT, 0, 0) >= 3;
        });
      });
      HWND sizeText = Descendant(dialog, [](HWND window) { return ::GetDlgCtrlID(window) == kPreviewSizeTextId; });
      if (list != nullptr && sizeText != nullptr) {
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
        PollFor([&] { return test::TextOf(sizeText).empty() ? nullptr : sizeText; });
        previewText = test::TextOf(sizeText);
      }
      if (c.typed == nullptr) {
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      } else {
        ::SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(c.typed));
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
      }
      typed = true;
    });
    OpenDialogOptions options;
    options.filter = kPictureFilter;
    options.initialDir = directory.Path();
    const OpenDialogResult result = RunOpenDialog(nullptr, options);
    user.join();
    ASSERT_TRUE(typed) << "the dialog or its file-name field never appeared";
    EXPECT_EQ(previewText, L"11 x 6");
    EXPECT_EQ(result.status, c.status);
    std::vector<std::wstring> expected;
    for (const std::wstring& name : c.names) expected.push_back(directory.Path() + L"\\" + name);
    EXPECT_EQ(result.paths, expected);
  }
}

}  // namespace
}  // namespace velmora
