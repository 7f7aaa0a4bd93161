// The editor's main window driven as a user drives it, in another process:
// its menus by their Chinese captions, the picture dialog, the mouse on the
// strip, the previews and the close question.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "editor/PMainWin32.h"
#include "fade/JpegGraphic.h"
#include "frames/FrameList.h"
#include "frames/FrameSet.h"
#include "platform/ApplicationWin32.h"
#include "platform/PictureLoaderWin32.h"
#include "support/ProcessLauncherWin32.h"
#include "support/WicPicturesWin32.h"

namespace velmora {
namespace {

using test::ClassNameOf;
using test::LaunchedProcess;
using test::ProgramCopy;
using test::PumpUntil;
using test::TempDirectory;
using test::TextOf;

constexpr DWORD kStartMs = 15000;
constexpr DWORD kWaitMs = 10000;
constexpr int kSlotColumns[4] = {8, 132, 256, 380};
constexpr int kSlotRows[2] = {8, 204};

std::wstring DataPicture(const char* name) {
  std::wstring path = WidenAnsi(std::string(VELMORA_TEST_DATA_DIR) + "/pictures/" + name);
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}

// The menu item with this caption anywhere in the window's menu bar.
struct MenuItem {
  HMENU menu = nullptr;
  UINT id = 0;
  UINT position = 0;
};

std::optional<MenuItem> FindMenuItem(HMENU menu, const std::wstring& caption) {
  const int count = ::GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    wchar_t text[128] = {};
    ::GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
    if (caption == text) return MenuItem{menu, ::GetMenuItemID(menu, i), static_cast<UINT>(i)};
    if (HMENU sub = ::GetSubMenu(menu, i)) {
      if (auto found = FindMenuItem(sub, caption)) return found;
    }
  }
  return std::nullopt;
}

// A static text of the window (or its dialogs) that contains `part`.
HWND FindChildText(HWND window, const std::wstring& part) {
  struct Search {
    const std::wstring* part;
    HWND found;
  } search{&part, nullptr};
  ::EnumChildWindows(
      window,
      [](HWND child, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (TextOf(child).find(*s->part) != std::wstring::npos) {
          s->found = child;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// What a slot's two upper labels show.
struct SlotTexts {
  std::wstring number, fileName;
};

// The number and file-name labels of slot 1 to 8 of the main window `main`
// (of this process or another).
SlotTexts SlotOf(HWND main, int slot) {
  const int left = kSlotColumns[(slot - 1) % 4];
  const int top = kSlotRows[(slot - 1) / 4];
  SlotTexts texts;
  for (HWND child = ::GetWindow(main, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    RECT rect{};
    ::GetWindowRect(child, &rect);
    POINT origin{rect.left, rect.top};
    ::ScreenToClient(main, &origin);
    if (origin.x != left || origin.y != top || ClassNameOf(child) != L"VelmoraPanel") continue;
    for (HWND label = ::GetWindow(child, GW_CHILD); label != nullptr; label = ::GetWindow(label, GW_HWNDNEXT)) {
      if (ClassNameOf(label) != L"Static") continue;
      RECT labelRect{};
      ::GetWindowRect(label, &labelRect);
      if (labelRect.top - rect.top > 10) continue;
      (labelRect.left - rect.left < 20 ? texts.number : texts.fileName) = TextOf(label);
    }
  }
  return texts;
}

std::vector<std::wstring> FileNamesOf(HWND main, int slots) {
  std::vector<std::wstring> names;
  for (int s = 1; s <= slots; ++s) names.push_back(SlotOf(main, s).fileName);
  return names;
}


// Runs the steps of a script one after the other on a thread of its own,
// every 50 ms, while the test's thread is inside the modal loops the editor
// enters (dialogs, message boxes, the preview). A step returns true when it
// is done. After kWaitMs the script gives up and cancels the dialogs of the
// test's thread, so that a test fails instead of hanging.
class Script {
 public:
  explicit Script(std::vector<std::function<bool()>> steps)
      : steps_(std::move(steps)), uiThread_(::GetCurrentThreadId()), thread_([this] { Run(); }) {}
  ~Script() {
    stop_ = true;
    thread_.join();
  }
  Script(const Script&) = delete;
  Script& operator=(const Script&) = delete;
  bool Done() const { return done_; }

 private:
  void Run();
  std::vector<std::function<bool()>> steps_;
  DWORD uiThread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> done_{false};
  std::thread thread_;
};

// A visible dialog of this thread (a message box or the file dialog) that
// shows `part` somewhere ("" for any).
HWND FindDialog(const std::wstring& part, DWORD thread) {
  struct Search {
    const std::wstring* part;
    HWND found;
  } search{&part, nullptr};
  ::EnumThreadWindows(
      thread,
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (!::IsWindowVisible(window) || ClassNameOf(window) != L"#32770") return TRUE;
        if (!s->part->empty() && FindChildText(window, *s->part) == nullptr) return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void Script::Run() {
  const ULONGLONG start = ::GetTickCount64();
  std::size_t next = 0;
  while (!stop_ && next < steps_.size()) {
    if (steps_[next]()) {
      ++next;
      continue;
    }
    if (::GetTickCount64() - start > kWaitMs) {
      if (HWND dialog = FindDialog(L"", uiThread_)) ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
      return;
    }
    ::Sleep(50);
  }
  done_ = next == steps_.size();
}

// The edit field of a file dialog's file-name box (id 1148, inside a
// combo box; 1152 in older dialogs).
HWND FileNameField(HWND dialog) {
  struct Search {
    HWND found;
  } search{nullptr};
  ::EnumChildWindows(
      dialog,
      [](HWND child, LPARAM data) -> BOOL {
        const int id = ::GetDlgCtrlID(child);
        if (ClassNameOf(child) != L"Edit" || (id != 0x47c && id != 0x480)) return TRUE;
        reinterpret_cast<Search*>(data)->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The editor's main window in this process, on a new show.
class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application& application = Application::Instance();
    application.Initialize(::GetModuleHandleW(nullptr), L"Velmora 99");
    application.Reset();
    InstallWin32Graphics();
    Mode = SaverMode::Configure;
    IsEditorExe = true;
    editor_ = std::make_unique<TPMain>();
    main_ = editor_->CreateForm();
    ASSERT_NE(main_, nullptr);
    application.SetMainForm(editor_.get());
    editor_->Show();
    ::SetForegroundWindow(main_);
    ASSERT_TRUE(PumpUntil([&] { return editor_->Strip().Loaded(); }, kStartMs)) << "the show was not loaded";
  }
  void TearDown() override {
    editor_.reset();
    TheFrameList.reset();
    IsEditorExe = false;
    Application::Instance().Reset();
  }

  std::optional<MenuItem> Item(const wchar_t* caption) const { return FindMenuItem(::GetMenu(main_), caption); }
  bool MenuEnabled(const wchar_t* caption) const {
    auto item = Item(caption);
    return item && (::GetMenuState(item->menu, item->position, MF_BYPOSITION) & (MF_DISABLED | MF_GRAYED)) == 0;
  }
  bool MenuChecked(const wchar_t* caption) const {
    auto item = Item(caption);
    return item && (::GetMenuState(item->menu, item->position, MF_BYPOSITION) & MF_CHECKED) != 0;
  }
  // Chooses the menu item with this caption, as a click on it does; returns
  // when the command has run.
  void Choose(const wchar_t* caption) {
    auto item = Item(caption);
    ASSERT_TRUE(item) << "no menu item " << NarrowToUtf8(caption);
    ::SendMessageW(main_, WM_COMMAND, item->id, 0);
  }

  SlotTexts Slot(int slot) const { return SlotOf(main_, slot); }
  std::vector<std::wstring> FileNames(int slots) const { return FileNamesOf(main_, slots); }

  // The screen point at the middle of slot s's picture.
  POINT PictureCentre(int slot) const {
    POINT point{kSlotColumns[(slot - 1) % 4] + 60, kSlotRows[(slot - 1) / 4] + 76};
    ::ClientToScreen(main_, &point);
    return point;
  }

  // Presses the left button on slot `from`'s picture, moves in small steps
  // to slot `to`'s picture and lets go there.
  void Drag(int from, int to) {
    const POINT a = PictureCentre(from);
    const POINT b = PictureCentre(to);
    auto send = [](DWORD flags) {
      INPUT input{};
      input.type = INPUT_MOUSE;
      input.mi.dwFlags = flags;
      ::SendInput(1, &input, sizeof input);
    };
    ::SetCursorPos(a.x, a.y);
    test::PumpFor(100);
    send(MOUSEEVENTF_LEFTDOWN);
    constexpr int kSteps = 12;
    for (int i = 1; i <= kSteps; ++i) {
      test::PumpFor(30);
      ::SetCursorPos(a.x + (b.x - a.x) * i / kSteps, a.y + (b.y - a.y) * i / kSteps);
      send(MOUSEEVENTF_MOVE);
    }
    test::PumpFor(100);
    send(MOUSEEVENTF_LEFTUP);
  }

  // Adds the pictures in `folder` named `names` through the picture dialog:
  // into the folder first, then the names in the dialog's quoted form; then
  // the steps `after` (for the boxes the add shows).
  void AddPictures(const std::wstring& folder, const std::vector<std::wstring>& names,
                   const std::vector<std::function<bool()>>& after = {}) {
    std::wstring list;
    for (const std::wstring& name : names) list += L"\"" + name + L"\" ";
    HWND dialog = nullptr;
    HWND nameField = nullptr;
    const DWORD ui = ::GetCurrentThreadId();
    std::vector<std::function<bool()>> steps = {
        [&] {
          dialog = FindDialog(L"", ui);
          nameField = FileNameField(dialog);
          if (nameField == nullptr) return false;
          ::SendMessageW(nameField, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
          ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
          return true;
        },
        [&] {
          if (!TextOf(nameField).empty()) return false;
          ::SendMessageW(nameField, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(list.c_str()));
          ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
          return true;
        },
    };
    steps.insert(steps.end(), after.begin(), after.end());
    Script script(std::move(steps));
    Choose(L"加入新圖片");
    EXPECT_TRUE(script.Done()) << "the picture dialog was not driven to its end";
  }

  // Closes the window, answering the close question (when it comes) with
  // `answer`; returns whether the question came. With `message`
  // WM_QUERYENDSESSION, Windows asks whether the session may end; its
  // result goes to `result`.
  bool CloseAnswering(int answer, UINT message = WM_CLOSE, LRESULT* result = nullptr) {
    bool asked = false;
    const DWORD ui = ::GetCurrentThreadId();
    Script script({[&] {
      HWND box = FindDialog(L"確定不先存檔就要離開嗎?", ui);
      if (box == nullptr) return false;
      asked = true;
      ::PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(answer), 0);
      return true;
    }});
    const LRESULT answered = ::SendMessageW(main_, message, 0, 0);
    if (result != nullptr) *result = answered;
    return asked;
  }

  std::unique_ptr<TPMain> editor_;
  HWND main_ = nullptr;
};

TEST_F(EditorTest, NewShowHasTheChineseMenusAndOnlyTheTrailingEntry) {
  RECT client{};
  ::GetClientRect(main_, &client);
  EXPECT_EQ(client.right, 508);
  EXPECT_EQ(client.bottom, 379);
  EXPECT_EQ(TextOf(main_), L"Velmora 99");
  struct Case {
    const wchar_t* caption;
    bool enabled;
  };
  const Case items[] = {
      {L"編輯", true},           {L"加入新圖片", true},     {L"刪去目前圖框", false},  {L"加入空白圖框", true},
      {L"清除空白圖框", true},   {L"使用隨機特效", true},   {L"預覽", true},           {L"全部", false},
      {L"單一特效", false},      {L"螢幕保護", true},       {L"存檔", false},          {L"清除舊的螢幕保護", true},
      {L"檢視", true},           {L"顯示次編輯畫面", true}, {L"同步捲動", true},       {L"關於", true},
      {L"離開", true},
  };
  for (const Case& item : items) {
    ASSERT_TRUE(Item(item.caption)) << NarrowToUtf8(item.caption);
    EXPECT_EQ(MenuEnabled(item.caption), item.enabled) << NarrowToUtf8(item.caption);
  }
  EXPECT_TRUE(MenuChecked(L"同步捲動"));
  EXPECT_FALSE(MenuChecked(L"使用隨機特效"));
  EXPECT_FALSE(MenuChecked(L"顯示次編輯畫面"));
  EXPECT_EQ(Slot(1).number, L"1");
  EXPECT_EQ(Slot(1).fileName, L"");
  EXPECT_EQ(Slot(2).number, L"");
  // Nothing to lose: closing asks nothing.
  EXPECT_FALSE(CloseAnswering(IDNO));
  EXPECT_FALSE(::IsWindow(main_));
}

TEST_F(EditorTest, PicturesAreAddedReorderedRemovedAndEmptyFramesCleared) {
  TempDirectory pictures;
  ASSERT_TRUE(::CopyFileW(DataPicture("cmyk-blue.jpg").c_str(), (pictures.Path() + L"\\a.jpg").c_str(), FALSE));
  ASSERT_TRUE(::CopyFileW(DataPicture("im-rgb24.bmp").c_str(), (pictures.Path() + L"\\b.bmp").c_str(), FALSE));
  ASSERT_TRUE(::CopyFileW(DataPicture("cmyk-red.jpg").c_str(), (pictures.Path() + L"\\c.jpg").c_str(), FALSE));

  AddPictures(pictures.Path(), {L"a.jpg", L"b.bmp", L"c.jpg"});
  EXPECT_EQ(FileNames(4), (std::vector<std::wstring>{L"a.jpg", L"b.bmp", L"c.jpg", L""}));
  EXPECT_EQ(Slot(4).number, L"4");
  EXPECT_TRUE(MenuEnabled(L"存檔"));
  EXPECT_TRUE(MenuEnabled(L"全部"));

  // a onto c: a lands in front of c, an empty frame marks its old place,
  // the slot that took the drop is current.
  Drag(1, 3);
  ASSERT_TRUE(PumpUntil([&] { return FileNames(4) == std::vector<std::wstring>{L"", L"b.bmp", L"a.jpg", L"c.jpg"}; },
                        kWaitMs))
      << "the drop did not reorder the strip";
  EXPECT_EQ(Slot(5).number, L"5");
  EXPECT_EQ(editor_->CurrentFrameIndex(), 3);

  Choose(L"刪去目前圖框");
  EXPECT_EQ(FileNames(4), (std::vector<std::wstring>{L"", L"b.bmp", L"c.jpg", L""}));
  Choose(L"清除空白圖框");
  EXPECT_EQ(FileNames(3), (std::vector<std::wstring>{L"b.bmp", L"c.jpg", L""}));
  EXPECT_EQ(Slot(3).number, L"3");
  EXPECT_EQ(Slot(4).number, L"");

  // Unsaved frames: closing asks; No keeps the editor, Yes leaves.
  EXPECT_TRUE(CloseAnswering(IDNO));
  ASSERT_TRUE(::IsWindow(main_));
  EXPECT_TRUE(CloseAnswering(IDYES));
  EXPECT_FALSE(::IsWindow(main_));
  EXPECT_EQ(TheFrameList, nullptr);
}

// Pictures that cannot be read (a kind without a decoder here, damaged data)
// are added all the same and show black; the add names them in one message.
TEST_F(EditorTest, AddNamesThePicturesItCouldNotReadInOneMessage) {
  TempDirectory pictures;
  const std::vector<std::pair<const wchar_t*, std::vector<std::uint8_t>>> files = {
      {L"a.png", testing::EncodePng({2, 1, {0, 0, 255, 255, 0, 255, 0, 255}})},
      // Lossless WebP: Wine's imaging component has no decoder for it.
      {L"b.webp", {'R', 'I', 'F', 'F', 26, 0, 0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', 'L', 14, 0, 0, 0, 0x2F,
                   0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {L"c.png", {'n', 'o', 't', ' ', 'a', ' ', 'P', 'N', 'G'}},
  };
  for (const auto& [name, bytes] : files) {
    std::ofstream(std::filesystem::path(pictures.Path()) / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  std::wstring message;
  const DWORD ui = ::GetCurrentThreadId();
  AddPictures(pictures.Path(), {L"a.png", L"b.webp", L"c.png"});
  // The frames are there at once; the message comes when the thumbnails
  // have been tried.
  EXPECT_EQ(FileNames(4), (std::vector<std::wstring>{L"a.png", L"b.webp", L"c.png", L""}));
  {
    Script answer({[&] {
      HWND box = FindDialog(L"下列圖片無法讀取", ui);
      if (box == nullptr) return false;
      message = TextOf(FindChildText(box, L"下列圖片無法讀取"));
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
      return true;
    }});
    EXPECT_TRUE(PumpUntil([&] { return answer.Done(); }, kWaitMs)) << "no message named the pictures";
  }
  EXPECT_EQ(FileNames(4), (std::vector<std::wstring>{L"a.png", L"b.webp", L"c.png", L""}));
  EXPECT_NE(message.find(L"b.webp"), std::wstring::npos) << NarrowToUtf8(message);
  EXPECT_NE(message.find(L"c.png"), std::wstring::npos) << NarrowToUtf8(message);
  EXPECT_EQ(message.find(L"a.png"), std::wstring::npos) << NarrowToUtf8(message);
  EXPECT_TRUE(CloseAnswering(IDYES));
}

// A large add: the strip shows the new frames' numbers and names as the
// dialog closes, the thumbnails in view are made first in the background,
// the strip scrolls meanwhile, and closing mid-batch leaves no thumbnail
// and no folder behind.
TEST_F(EditorTest, AddThenScrollThenCloseMidBatchLeavesNoThumbnail) {
  TempDirectory pictures;
  // Photos without embedded thumbnails, each decoded for its own.
  MemoryImage24 photo(4000, 3000);
  for (int y = 0; y < photo.Height(); ++y)
    for (int x = 0; x < photo.Width(); ++x) {
      std::uint8_t* p = photo.Row(y) + std::size_t(x) * 3;
      p[0] = std::uint8_t(x * 7 + y);
      p[1] = std::uint8_t(x ^ y);
      p[2] = std::uint8_t(y * 3);
    }
  const std::vector<std::uint8_t> bytes = EncodeJpeg(photo, 92);
  constexpr int kPictures = 150;
  std::vector<std::wstring> names;
  for (int i = 1; i <= kPictures; ++i) {
    names.push_back(L"p" + std::to_wstring(100 + i) + L".jpg");
    std::ofstream(std::filesystem::path(pictures.Path()) / names.back(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  const std::filesystem::path thumbs = editor_->ThumbnailFolder();
  ASSERT_FALSE(thumbs.empty());
  ASSERT_TRUE(std::filesystem::is_directory(thumbs));

  AddPictures(pictures.Path(), names);
  // As the command returns, before any thumbnail need be made.
  ASSERT_EQ(editor_->Strip().List()->Count(), std::size_t(kPictures + 2));
  for (int slot = 1; slot <= 8; ++slot) {
    EXPECT_EQ(Slot(slot).number, std::to_wstring(slot));
    EXPECT_EQ(Slot(slot).fileName, names[slot - 1]);
  }
  // The slots in view come first: the first slot's thumbnail arrives while
  // others still wait (or all are done on a fast machine).
  ASSERT_TRUE(PumpUntil([&] { return !editor_->Strip().ThumbnailPending(1); }, kWaitMs));
  EXPECT_TRUE(std::filesystem::exists(thumbs / "Velm$1.bmp"));
  EXPECT_EQ(editor_->Strip().List()->operator[](1).HasThumbnail, 1);

  HWND bar = nullptr;
  for (HWND child = ::GetWindow(main_, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT))
    if (ClassNameOf(child) == L"ScrollBar" && ::IsWindowVisible(child)) bar = child;
  ASSERT_NE(bar, nullptr);
  for (int i = 0; i < 60; ++i)
    ::SendMessageW(main_, WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0), reinterpret_cast<LPARAM>(bar));
  EXPECT_EQ(Slot(1).number, L"61");
  EXPECT_EQ(Slot(1).fileName, names[60]);
  EXPECT_TRUE(PumpUntil([&] { return !editor_->Strip().ThumbnailPending(61); }, kWaitMs));

  std::printf("thumbnails still to make at close: %zu of %d\n", editor_->Strip().PendingThumbnails(), kPictures);
  // Unsaved frames: the question comes; the window goes with every
  // thumbnail and the run's folder, whatever was still being made.
  EXPECT_TRUE(CloseAnswering(IDYES));
  EXPECT_FALSE(::IsWindow(main_));
  EXPECT_EQ(TheFrameList, nullptr);
  EXPECT_FALSE(std::filesystem::exists(thumbs));
}

TEST_F(EditorTest, ClosingOrLoggingOffAsksWhenAnUnnamedShowHasUnsavedFrames) {
  struct Case {
    const char* name;
    std::vector<const wchar_t*> commands;
    bool asks;
  };
  const Case cases[] = {
      {"an empty frame added", {L"加入空白圖框"}, true},
      {"random effect on a frame", {L"加入空白圖框", L"使用隨機特效"}, true},
      {"nothing left to lose", {L"加入空白圖框", L"刪去目前圖框"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.name != cases[0].name) {
      TearDown();
      SetUp();
    }
    for (const wchar_t* command : c.commands) Choose(command);
    // Logging off asks the same; No keeps the session and the editor.
    LRESULT mayEnd = FALSE;
    EXPECT_EQ(CloseAnswering(IDNO, WM_QUERYENDSESSION, &mayEnd), c.asks);
    EXPECT_EQ(mayEnd != FALSE, !c.asks);
    ASSERT_TRUE(::IsWindow(main_));
    EXPECT_EQ(CloseAnswering(IDYES), c.asks);
    EXPECT_FALSE(::IsWindow(main_));
  }
}

TEST_F(EditorTest, BothPreviewsCoverTheScreenAndEndOnAKey) {
  Choose(L"加入空白圖框");
  Choose(L"加入空白圖框");
  ASSERT_TRUE(MenuEnabled(L"全部"));
  ASSERT_TRUE(MenuEnabled(L"單一特效"));
  struct Case {
    const wchar_t* command;
    const wchar_t* windowClass;
  };
  for (const Case& c : {Case{L"全部", L"VelmoraScrn"}, Case{L"單一特效", L"VelmoraForm2"}}) {
    SCOPED_TRACE(NarrowToUtf8(c.command));
    bool shown = false;
    bool mainTookInput = true;
    Script script({[&] {
      HWND show = ::FindWindowW(c.windowClass, nullptr);
      if (show == nullptr || !::IsWindowVisible(show)) return false;
      RECT rect{};
      ::GetWindowRect(show, &rect);
      shown = rect.right - rect.left == ::GetSystemMetrics(SM_CXSCREEN);
      // Modal: the menus and the strip take no input while it is up.
      mainTookInput = ::IsWindowEnabled(main_) != FALSE;
      ::PostMessageW(show, WM_KEYDOWN, VK_SPACE, 0);
      ::PostMessageW(show, WM_KEYUP, VK_SPACE, 0);
      return true;
    }});
    Choose(c.command);
    EXPECT_TRUE(script.Done());
    EXPECT_TRUE(shown);
    EXPECT_FALSE(mainTookInput);
    EXPECT_EQ(::FindWindowW(c.windowClass, nullptr), nullptr);
    EXPECT_TRUE(::IsWindowVisible(main_));
    EXPECT_TRUE(::IsWindowEnabled(main_));
    ASSERT_NE(TheFrameList, nullptr);
    EXPECT_EQ(TheFrameList->Count(), 4u);
  }
}

// A scroll step refills the eight slots from thumbnails; the time it takes
// (with the painting) is reported, not checked.
TEST_F(EditorTest, ScrollStepRefillsTheStrip) {
  std::vector<std::string> paths;
  for (int i = 0; i < 24; ++i)
    paths.push_back(NarrowToAnsi(DataPicture(i % 2 == 0 ? "cmyk-blue.jpg" : "im-rgb24.bmp")));
  editor_->Strip().AddPictureFrames(paths);
  HWND bar = nullptr;
  for (HWND child = ::GetWindow(main_, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT))
    if (ClassNameOf(child) == L"ScrollBar" && ::IsWindowVisible(child)) bar = child;
  ASSERT_NE(bar, nullptr);
  constexpr int kSteps = 40;
  LARGE_INTEGER frequency{};
  ::QueryPerformanceFrequency(&frequency);
  // Each step as the user sees it: the strip refilled, then painted.
  LONGLONG refill = 0;
  LONGLONG paint = 0;
  for (int i = 0; i < kSteps; ++i) {
    LARGE_INTEGER t0{}, t1{}, t2{};
    ::QueryPerformanceCounter(&t0);
    ::SendMessageW(main_, WM_HSCROLL, MAKEWPARAM(i < kSteps / 2 ? SB_LINERIGHT : SB_LINELEFT, 0),
                   reinterpret_cast<LPARAM>(bar));
    ::QueryPerformanceCounter(&t1);
    ::RedrawWindow(main_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    ::QueryPerformanceCounter(&t2);
    refill += t1.QuadPart - t0.QuadPart;
    paint += t2.QuadPart - t1.QuadPart;
  }
  const auto ms = [&](LONGLONG ticks) {
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart) / kSteps;
  };
  std::printf("scroll step: %.2f ms (refill %.2f ms, paint %.2f ms)\n", ms(refill + paint), ms(refill), ms(paint));
  RecordProperty("scroll_step_us", static_cast<int>(ms(refill + paint) * 1000));
  EXPECT_EQ(Slot(1).number, L"1");
  ::SendMessageW(main_, WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0), reinterpret_cast<LPARAM>(bar));
  EXPECT_EQ(Slot(1).number, L"2");
  EXPECT_EQ(Slot(8).number, L"9");
}

// Saved savers opened for configuration, in processes of their own.
class ConfigureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (test::ProgramUnderTest().empty()) GTEST_SKIP() << "VELMORA_EXE not set";
    ASSERT_FALSE(directory_.Path().empty());
  }

  std::wstring Copy(const std::wstring& name) {
    copies_.push_back(std::make_unique<ProgramCopy>(directory_.Path(), name));
    EXPECT_TRUE(copies_.back()->ok());
    return copies_.back()->Path();
  }

  static bool IsMainWindow(HWND window) {
    return ::IsWindowVisible(window) && ClassNameOf(window) == L"VelmoraForm" && ::GetMenu(window) != nullptr;
  }

  HWND WaitForBox(LaunchedProcess& process, const std::wstring& part) {
    return process.WaitForWindow(
        [&](HWND window) {
          return ::IsWindowVisible(window) && ClassNameOf(window) == L"#32770" &&
                 FindChildText(window, part) != nullptr;
        },
        kWaitMs);
  }

  TempDirectory directory_;
  std::vector<std::unique_ptr<ProgramCopy>> copies_;
};

// A saved saver opened for configuration: its show with the file names
// (black slots for pictures moved away), or a message for a file it cannot
// use; the file stays as it was.
TEST_F(ConfigureTest, SaverLoadsItsShowOrSaysWhyNot) {
  const std::wstring systemDir = test::SystemDirectory();
  struct Case {
    const char* name;
    int frames;         // -1: no file
    bool damaged;       // a partial record at the end
    const wchar_t* box; // part of the message, nullptr: the show loads
  };
  const Case cases[] = {
      {"two frames", 2, false, nullptr},
      {"missing file", -1, false, L"找不到"},
      {"no frames", 0, false, L"沒有任何圖框"},
      {"damaged", 2, true, L"損壞"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring base = L"EditorConfigure";
    const std::wstring fms = systemDir + L"\\" + base + L".fms";
    ::DeleteFileW(fms.c_str());
    std::string bytes;
    if (c.frames >= 0) {
      FrameList list;
      AppendFrameRecord(list).SetPath("Configured");
      for (int i = 1; i <= c.frames; ++i)
        AppendFrameRecord(list).SetPath("C:\\moved away\\p" + std::to_string(i) + ".jpg");
      AppendFrameRecord(list);
      WriteFrameSetFile(NarrowToAnsi(fms), list);
      if (c.damaged) {
        std::ofstream out(std::filesystem::path(fms), std::ios::binary | std::ios::app);
        out << "partial record";
      }
      std::ifstream in(std::filesystem::path(fms), std::ios::binary);
      bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    LaunchedProcess process;
    ASSERT_TRUE(process.Start(Copy(base + L".scr"), L"/c"));
    if (c.box == nullptr) {
      HWND main = process.WaitForWindow(IsMainWindow, kStartMs);
      ASSERT_NE(main, nullptr);
      ASSERT_TRUE(PumpUntil(
          [&] {
            return FileNamesOf(main, 3) == std::vector<std::wstring>{L"p1.jpg", L"p2.jpg", L""} &&
                   TextOf(main) == L"Configured";
          },
          kStartMs));
      ::PostMessageW(main, WM_CLOSE, 0, 0);
      DWORD exitCode = 1;
      ASSERT_TRUE(process.WaitForExit(kWaitMs, &exitCode)) << "the window asked or stayed";
      EXPECT_EQ(exitCode, 0u);
    } else {
      HWND box = WaitForBox(process, c.box);
      ASSERT_NE(box, nullptr);
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
      DWORD exitCode = 1;
      ASSERT_TRUE(process.WaitForExit(kWaitMs, &exitCode));
      EXPECT_EQ(exitCode, 0u);
    }
    std::ifstream in(std::filesystem::path(fms), std::ios::binary);
    const std::string after(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(after, bytes) << "the frame-set file changed";
    in.close();
    ::DeleteFileW(fms.c_str());
    copies_.clear();
  }
}

}  // namespace
}  // namespace velmora
