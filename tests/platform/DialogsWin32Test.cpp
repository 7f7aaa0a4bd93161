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

// The visible dialog (class #32770) of this process.
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

TEST_F(OpenDialogTest, ALongTypedSelectionComesBackCompleteAndInOrder) {
  // 120 files of 150-character names: a list of some 18 600 characters.
  const int kFiles = 120;
  std::vector<std::wstring> names;
  std::wstring typed;
  for (int i = 0; i < kFiles; ++i) {
    std::wstring name = std::wstring(140, L'p') + std::to_wstring(1000 + i) + L".bmp";
    const std::wstring path = directory.Path() + L"\\" + name;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ::CloseHandle(file);
    typed += L"\"" + name + L"\" ";
    names.push_back(name);
  }
  ASSERT_GT(typed.size(), 16384u);
  std::atomic<int> runs{0};
  std::atomic<bool> finished{false};
  const HWND kFinished = reinterpret_cast<HWND>(1);
  std::thread user([&] {
    HWND previous = nullptr;
    // Each run of the dialog gets the same list typed into it.
    for (int run = 0; run < 3; ++run) {
      HWND dialog = PollFor([&] {
        if (finished) return kFinished;
        HWND found = FileDialog();
        return found != previous ? found : nullptr;
      });
      if (dialog == nullptr || dialog == kFinished) return;
      HWND field = PollFor([&] { return FileNameField(dialog); });
      if (field == nullptr) return;
      ::SendMessageW(field, EM_LIMITTEXT, 0, 0);
      ::SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
      ++runs;
      ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
      previous = dialog;
      if (!PollFor([&] { return ::IsWindow(dialog) ? nullptr : dialog; })) return;
    }
  });
  OpenDialogOptions options;
  options.filter = kPictureFilter;
  options.initialDir = directory.Path();
  options.picturePreview = false;
  const OpenDialogResult result = RunOpenDialog(nullptr, options);
  // No further dialog comes: the user thread stops looking.
  finished = true;
  user.join();
  EXPECT_EQ(result.status, OpenDialogStatus::Ok) << result.error;
  EXPECT_EQ(runs, 1) << "the first buffer holds it";
  std::vector<std::wstring> expected;
  for (const std::wstring& name : names) expected.push_back(directory.Path() + L"\\" + name);
  EXPECT_EQ(result.paths, expected);
}

}  // namespace
}  // namespace velmora

namespace velmora {
namespace {

// The text of a message box: its static control that is not the icon.
std::wstring MessageText(HWND box) {
  HWND text = Descendant(box, [](HWND window) {
    return test::ClassNameOf(window) == L"Static" && !test::TextOf(window).empty();
  });
  return text != nullptr ? test::TextOf(text) : std::wstring();
}

TEST(MessageBoxTest, ShowsItsTextAndReturnsTheButtonPressed) {
  ASSERT_TRUE(Application::Instance().Initialize(::GetModuleHandleW(nullptr), L"Velmora test"));
  struct Case {
    MessageKind kind;
    int press;  // the button the user presses
    int expected;
  };
  const Case cases[] = {
      {MessageKind::Confirmation, IDYES, IDYES},
      {MessageKind::Confirmation, IDNO, IDNO},
      {MessageKind::Information, IDOK, IDOK},
      {MessageKind::Warning, IDOK, IDOK},
  };
  for (const Case& c : cases) {
    std::wstring shown;
    std::wstring title;
    std::thread user([&] {
      HWND box = PollFor(FileDialog);
      if (box == nullptr) return;
      HWND button = PollFor([&] { return ::GetDlgItem(box, c.press); });
      // The text may be set after the box appears: wait for it.
      PollFor([&] { return MessageText(box).empty() ? nullptr : box; });
      shown = MessageText(box);
      title = test::TextOf(box);
      if (button != nullptr) ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(c.press, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    });
    const int result = ShowMessage(nullptr, "確定不先存檔就要離開嗎?", c.kind, "Warning");
    user.join();
    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(shown, L"確定不先存檔就要離開嗎?");
    EXPECT_EQ(title, L"Warning");
  }
}

TEST(ColourDialogTest, ConfirmingReturnsTheColourAndCancellingNothing) {
  ASSERT_TRUE(Application::Instance().Initialize(::GetModuleHandleW(nullptr), L"Velmora test"));
  for (int press : {IDOK, IDCANCEL}) {
    std::thread user([&] {
      HWND dialog = PollFor(FileDialog);
      if (dialog == nullptr) return;
      HWND button = PollFor([&] { return ::GetDlgItem(dialog, press); });
      if (button != nullptr) ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(press, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    });
    const std::optional<COLORREF> chosen = ChooseColour(nullptr, RGB(0x12, 0x34, 0x56));
    user.join();
    if (press == IDOK) {
      ASSERT_TRUE(chosen.has_value());
      EXPECT_EQ(*chosen, RGB(0x12, 0x34, 0x56));
    } else {
      EXPECT_FALSE(chosen.has_value());
    }
  }
}

}  // namespace
}  // namespace velmora
