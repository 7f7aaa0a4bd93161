// The filtered field, the edit window, saving and the clear dialog, each
// made in the test process and driven as a user would: a thread timer runs
// the user's steps while the windows' modal loops run.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "controls/RFilterEditWin32.h"
#include "editor/EditWindowWin32.h"
#include "editor/EditorWindowsWin32.h"
#include "frames/EffectCatalogue.h"
#include "frames/FrameSet.h"
#include "platform/ApplicationWin32.h"
#include "platform/FormWin32.h"
#include "support/DialogFinderWin32.h"
#include "support/ProcessLauncherWin32.h"

namespace velmora {
namespace {

constexpr DWORD kStepMs = 15000;

// The user's side: steps run one after another from a thread timer, each
// until it says it is done; a step that is not done in time fails the
// script, which then closes whatever box or dialog is open so the code
// under test returns.
class Script {
 public:
  explicit Script(std::vector<std::function<bool()>> steps) : steps_(std::move(steps)) {
    current_ = this;
    deadline_ = ::GetTickCount() + kStepMs;
    timer_ = ::SetTimer(nullptr, 0, 30, &Script::Tick);
  }
  ~Script() {
    ::KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  bool Finished() const { return next_ == steps_.size(); }
  // The step that timed out (1-based), or 0.
  std::size_t FailedStep() const { return failedStep_; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (current_ != nullptr) current_->Run();
  }
  void Run() {
    if (running_ || next_ >= steps_.size()) return;
    running_ = true;
    if (steps_[next_]()) {
      ++next_;
      deadline_ = ::GetTickCount() + kStepMs;
    } else if (static_cast<LONG>(::GetTickCount() - deadline_) > 0) {
      failedStep_ = next_ + 1;
      next_ = steps_.size();
      CloseEverything();
    }
    running_ = false;
  }
  static void CloseEverything();

  std::vector<std::function<bool()>> steps_;
  std::size_t next_ = 0;
  std::size_t failedStep_ = 0;
  DWORD deadline_ = 0;
  UINT_PTR timer_ = 0;
  bool running_ = false;
  static inline Script* current_ = nullptr;
};

using test::ChildWithText;
using test::ThreadWindows;

HWND VisibleWindowTitled(const std::wstring& title) { return test::FindTitled(ThreadWindows(), title); }
HWND MessageBoxOpen(std::wstring* text = nullptr) { return test::FindMessageBox(ThreadWindows(), text); }
HWND ChildOfClass(HWND parent, const wchar_t* className) { return ::FindWindowExW(parent, nullptr, className, nullptr); }

void Script::CloseEverything() {
  for (HWND window : ThreadWindows()) ::PostMessageW(window, WM_CLOSE, 0, 0);
}

// Steps: answer the next message box with `button` once it shows, keeping
// its text.
std::function<bool()> AnswerBox(int button, std::wstring* text) {
  return [=] {
    HWND box = MessageBoxOpen(text);
    if (box == nullptr) return false;
    ::PostMessageW(box, WM_COMMAND, button, 0);
    return true;
  };
}

std::function<bool()> NameDialog(const std::wstring& name, std::wstring* offered = nullptr) {
  return [=] {
    HWND dialog = VisibleWindowTitled(L"命名");
    if (dialog == nullptr) return false;
    HWND field = ChildOfClass(dialog, L"Edit");
    if (field == nullptr || ChildWithText(dialog, L"確定") == nullptr) return false;
    if (offered != nullptr) *offered = test::TextOf(field);
    ::SetWindowTextW(field, name.c_str());
    ::SetFocus(field);
    // Enter in the name confirms it.
    ::PostMessageW(field, WM_KEYDOWN, VK_RETURN, 1);
    ::PostMessageW(field, WM_KEYUP, VK_RETURN, 0xC0000001);
    return true;
  };
}

std::function<bool()> PressIn(const std::wstring& windowTitle, const std::wstring& buttonText) {
  return [=] {
    HWND window = VisibleWindowTitled(windowTitle);
    HWND button = window != nullptr ? ChildWithText(window, buttonText) : nullptr;
    if (button == nullptr || MessageBoxOpen() != nullptr) return false;
    ::PostMessageW(button, BM_CLICK, 0, 0);
    return true;
  };
}

// What the edit window and saving use of the main window.
struct FakeMain : MainWindowLink {
  int current = 1;
  bool tick = false;
  bool modified = true;
  std::wstring caption;
  std::vector<std::string> thumbnails;
  int refreshes = 0;
  std::int32_t nextThumb = 1;

  HWND MainHandle() const override { return nullptr; }
  int CurrentFrameIndex() const override { return current; }
  void RefreshRow(int) override { ++refreshes; }
  void UpdateMenus() override {}
  void CurrentFrameChanged() override {}
  bool MakeThumbnail(const std::string& path, std::int32_t) override {
    thumbnails.push_back(path);
    return false;
  }
  std::int32_t TakeThumbNumber() override { return nextThumb++; }
  void SetEditWindowTick(bool ticked) override { tick = ticked; }
  bool ShowModified() const override { return modified; }
  void SetShowModified(bool m) override { modified = m; }
  void ClearEmptyFrames() override {
    for (std::size_t i = TheFrameList->Count() - 2; i >= 1; --i)
      if (TheFrameList->At(i).IsEmptyFrame()) TheFrameList->Remove(i);
  }
  void SetCaption(std::wstring_view text) override { caption = text; }
};

class EditorWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Application::Instance().Initialize(::GetModuleHandleW(nullptr), L"Velmora test"));
    Application::Instance().Reset();
    savedSystemDir_ = SystemDir;
    SystemDir = NarrowToAnsi(directory_.Path());
    TheFrameList = std::make_unique<FrameList>();
    AppendFrameRecord(*TheFrameList).SetPath("Show");
    FrameRecord& picture = AppendFrameRecord(*TheFrameList);
    picture.SetPath("C:\\x.jpg");
    picture.Effect = EffectDissolve;
    picture.Direction = DirectionXcenterIn;
    picture.Speed = 4;
    picture.DotSize = 6;
    FrameRecord& colour = AppendFrameRecord(*TheFrameList);
    colour.PureColour = 1;
    colour.Colour = 0x00FF00;
    colour.Effect = EffectPush;
    colour.Direction = DirectionFromTop;
    colour.Speed = 2;
    colour.StillTime = 9;
    AppendFrameRecord(*TheFrameList);
  }
  void TearDown() override {
    TheFrameList.reset();
    SystemDir = savedSystemDir_;
    IsEditorExe = true;
    Application::Instance().Reset();
  }
  std::wstring InDir(const std::wstring& name) const { return directory_.Path() + L"\\" + name; }
  bool Exists(const std::wstring& name) const {
    return ::GetFileAttributesW(InDir(name).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  std::string Read(const std::wstring& name) const {
    std::ifstream in(std::filesystem::path(InDir(name)), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void Write(const std::wstring& name, const std::string& content) const {
    std::ofstream(std::filesystem::path(InDir(name)), std::ios::binary) << content;
  }
  std::string SavedShowName(const std::wstring& name) const {
    FrameList list;
    if (!ReadFrameSetFile(NarrowToAnsi(InDir(name)), list) || list.Count() == 0) return "?";
    return list[0].Path();
  }

  test::TempDirectory directory_;
  std::string savedSystemDir_;
  FakeMain main_;
};

TEST_F(EditorWindowsTest, TheFilteredFieldFiltersAndMovesTheFocus) {
  const ControlSpec controls[] = {
      {.name = "Digits", .kind = ControlKind::Edit, .x = 8, .y = 8, .width = 80, .height = 22,
       .create = &TRFilterEdit::Make},
      {.name = "Name", .kind = ControlKind::Edit, .x = 8, .y = 40, .width = 80, .height = 22,
       .create = &TRFilterEdit::Make},
  };
  const FormSpec spec{.name = "Fields", .caption = "Fields", .clientWidth = 120, .clientHeight = 80,
                      .x = 100, .y = 100};
  Form form;
  ASSERT_TRUE(form.CreateForm(spec, controls));
  auto& digits = form.Get<TRFilterEdit>("Digits");
  auto& name = form.Get<TRFilterEdit>("Name");
  digits.SetValidChars(L"[0..9]");
  name.SetRequiredField(true);
  form.Show();
  ::SetForegroundWindow(form.Handle());
  digits.SetFocus();
  ASSERT_TRUE(test::PumpUntil([&] { return digits.Focused(); }, kStepMs));

  for (wchar_t c : std::wstring(L"1a -2\x16\x4e2d" L"3")) digits.Send(WM_CHAR, c, 1);
  EXPECT_EQ(digits.Text(), L"123");
  digits.Send(WM_CHAR, 8, 1);
  EXPECT_EQ(digits.Text(), L"12");
  name.Send(WM_CHAR, L'\x4e2d', 1);
  EXPECT_EQ(name.Text(), L"\x4e2d");
  name.SetText(L"");

  // Enter goes on to the next field without inserting anything.
  digits.Send(WM_CHAR, 13, 1);
  EXPECT_EQ(digits.Text(), L"12");
  EXPECT_TRUE(test::PumpUntil([&] { return name.Focused(); }, kStepMs));
  // Leaving the empty required field: the warning, then the focus returns.
  std::wstring warning;
  Script script({AnswerBox(IDOK, &warning)});
  name.Send(WM_KEYDOWN, VK_UP, 1);
  EXPECT_TRUE(test::PumpUntil([&] { return script.Finished(); }, kStepMs * 2));
  EXPECT_EQ(script.FailedStep(), 0u);
  EXPECT_EQ(warning, L" Field is required! ");
  EXPECT_TRUE(test::PumpUntil([&] { return name.Focused(); }, kStepMs));
}

TEST_F(EditorWindowsTest, TheEditWindowShowsAndWritesTheCurrentFrame) {
  TPMain1 window(main_);
  ASSERT_TRUE(window.Create(nullptr));
  EXPECT_EQ(window.Text(), L"Velmora 99 - 次編輯畫面");
  EXPECT_EQ(window.Get<Control>("GroupBox1").Text(), L"特效");
  EXPECT_EQ(window.Get<Control>("RadioButton20").Text(), L"任意");
  EXPECT_EQ(window.Get<Control>("SpeedButton7").Text(), L"套用");

  auto& path = window.Get<TRFilterEdit>("RFilterEdit1");
  auto& shape = window.Get<Shape>("Shape1");
  auto& still = window.Get<TRFilterEdit>("RFilterEdit3");
  auto& dots = window.Get<TrackBar>("TrackBar2");
  auto visibleDirections = [&] {
    std::vector<std::wstring> shown;
    for (const char* name : {"RadioButton8", "RadioButton9", "RadioButton10", "RadioButton11",
                             "RadioButton13", "RadioButton12", "RadioButton14", "RadioButton15",
                             "RadioButton16", "RadioButton17", "RadioButton18", "RadioButton19"})
      if (window.Get<Control>(name).Visible()) shown.push_back(window.Get<Control>(name).Text());
    return shown;
  };

  // Shown: the tick follows, and the picture frame is loaded.
  window.Show();
  EXPECT_TRUE(main_.tick);
  ASSERT_TRUE(test::PumpUntil([&] { return path.Visible(); }, kStepMs));
  EXPECT_EQ(path.Text(), L"C:\\x.jpg");
  EXPECT_FALSE(shape.Visible());
  EXPECT_TRUE(window.Get<RadioButton>("RadioButton5").Checked());
  EXPECT_EQ(visibleDirections().size(), 11u);
  EXPECT_TRUE(window.Get<RadioButton>("RadioButton12").Checked());  // XcenterIn: the sixth offered
  EXPECT_TRUE(dots.Visible());
  EXPECT_EQ(dots.Position(), 6);

  // Push: four directions, the first stored, no dot size.
  window.Get<RadioButton>("RadioButton3").Send(BM_CLICK);
  test::PumpFor(50);
  FrameRecord& frame = TheFrameList->At(1);
  EXPECT_EQ(frame.Effect, EffectPush);
  EXPECT_EQ(frame.Direction, DirectionFromLeft);
  EXPECT_EQ(frame.DotSize, -1);
  EXPECT_EQ(visibleDirections(), (std::vector<std::wstring>{L"由左而右", L"由右而左", L"由上而下", L"由下而上"}));
  EXPECT_FALSE(dots.Visible());
  // The speed slider writes at once and hints the component value.
  window.Get<TrackBar>("TrackBar1").SetPosition(7);
  EXPECT_EQ(frame.Speed, 7);
  EXPECT_EQ(window.Get<TrackBar>("TrackBar1").Hint(), "Speed = 240");

  // A path typed by hand is made absolute on apply.
  ::SetCurrentDirectoryW(directory_.Path().c_str());
  path.SetText(L"pic.jpg");
  still.SetText(L"12");
  window.Get<Control>("SpeedButton7").Send(BM_CLICK);
  test::PumpFor(50);
  EXPECT_EQ(frame.Path(), NarrowToAnsi(InDir(L"pic.jpg")));
  EXPECT_EQ(frame.StillTime, 12);
  EXPECT_EQ(main_.thumbnails, std::vector<std::string>{frame.Path()});
  // A path no record can hold exactly is refused with a message naming it;
  // the frame keeps its path.
  const std::wstring tooLong = L"C:\\" + std::wstring(240, L'p') + L".jpg";
  path.SetText(tooLong);
  std::wstring refusal;
  {
    Script script({AnswerBox(IDOK, &refusal)});
    window.Get<Control>("SpeedButton7").Send(BM_CLICK);
    EXPECT_TRUE(test::PumpUntil([&] { return script.Finished(); }, kStepMs * 2));
    EXPECT_EQ(script.FailedStep(), 0u);
  }
  EXPECT_NE(refusal.find(tooLong), std::wstring::npos) << refusal;
  EXPECT_EQ(frame.Path(), NarrowToAnsi(InDir(L"pic.jpg")));
  EXPECT_EQ(main_.thumbnails.size(), 1u);

  // The colour frame, changed while shown.
  main_.current = 2;
  window.Post(CurrentFrameMessage);
  ASSERT_TRUE(test::PumpUntil([&] { return shape.Visible() && !path.Visible(); }, kStepMs));
  EXPECT_EQ(still.Text(), L"9");
  EXPECT_TRUE(window.Get<RadioButton>("RadioButton10").Checked());  // FromTop, third button
  // An effect code no button stands for: no effect button stays selected,
  // so clicking the one the previous view had selected stores its effect.
  TheFrameList->At(2).Effect = 12;
  window.Post(CurrentFrameMessage);
  ASSERT_TRUE(test::PumpUntil([&] { return !window.Get<RadioButton>("RadioButton3").Checked(); }, kStepMs));
  window.Get<RadioButton>("RadioButton3").Send(BM_CLICK);
  test::PumpFor(50);
  EXPECT_EQ(TheFrameList->At(2).Effect, EffectPush);

  // The trailing entry: nothing below the tool bar; the still field still
  // holds the frame's value.
  main_.current = 3;
  window.Post(CurrentFrameMessage);
  ASSERT_TRUE(test::PumpUntil([&] { return !shape.Visible(); }, kStepMs));
  EXPECT_FALSE(still.Visible());
  EXPECT_EQ(still.Text(), L"3");
  EXPECT_TRUE(visibleDirections().empty());
  window.Get<Control>("SpeedButton7").Send(BM_CLICK);  // nothing chosen: nothing happens
  EXPECT_EQ(TheFrameList->Count(), 4u);

  window.Hide();
  EXPECT_FALSE(main_.tick);
}

TEST_F(EditorWindowsTest, SavingNamesTheShowWritesBothFilesAndRefusesBadNames) {
  EditorWindows windows(main_);
  IsEditorExe = true;

  // A new name: the dialog, then the completion message.
  std::wstring done;
  {
    Script script({NameDialog(L"Ocean"), AnswerBox(IDOK, &done)});
    windows.Save();
    EXPECT_EQ(script.FailedStep(), 0u);
  }
  EXPECT_TRUE(Exists(L"Ocean.fms") && Exists(L"Ocean.scr"));
  EXPECT_EQ(SavedShowName(L"Ocean.fms"), "Ocean");
  EXPECT_TRUE(done.starts_with(L"存檔完成。\n\r請開啟\"控制台\"內的\"顯示器\""));
  EXPECT_TRUE(done.ends_with(L" - Ocean"));
  EXPECT_EQ(main_.caption, L"Ocean");
  EXPECT_FALSE(main_.modified);

  // Again: Ocean is offered; Lake is written beside it.
  main_.modified = true;
  std::wstring offered;
  {
    Script script({NameDialog(L"Lake", &offered), AnswerBox(IDOK, nullptr)});
    windows.Save();
    EXPECT_EQ(script.FailedStep(), 0u);
  }
  EXPECT_EQ(offered, L"Ocean");
  EXPECT_TRUE(Exists(L"Lake.fms") && Exists(L"Lake.scr"));
  EXPECT_EQ(SavedShowName(L"Ocean.fms"), "Ocean");

  // A name with a dot: refused in the dialog, which stays open; nothing written.
  main_.modified = true;
  std::wstring refusal;
  {
    Script script({NameDialog(L"my.show"), AnswerBox(IDOK, &refusal), PressIn(L"命名", L"離開")});
    windows.Save();
    EXPECT_EQ(script.FailedStep(), 0u);
  }
  EXPECT_NE(refusal.find(L"句點"), std::wstring::npos);
  EXPECT_FALSE(Exists(L"my.show.fms") || Exists(L"my.fms") || Exists(L"my.show.scr"));
  EXPECT_TRUE(main_.modified);

  // Another saver's name asks before replacing; No writes nothing.
  std::wstring question;
  Write(L"Ocean.scr", "old");
  {
    Script script({NameDialog(L"OCEAN"), AnswerBox(IDNO, &question)});
    windows.Save();
    EXPECT_EQ(script.FailedStep(), 0u);
  }
  EXPECT_NE(question.find(L"OCEAN"), std::wstring::npos);
  EXPECT_EQ(Read(L"Ocean.scr"), "old");

  // A file that cannot be put in place (a folder holds the staged name):
  // the error, the old files unchanged, the show still marked as changed.
  ASSERT_TRUE(::CreateDirectoryW(InDir(L"Lake.fms.new").c_str(), nullptr));
  const std::string before = Read(L"Lake.fms");
  Write(L"Lake.scr", "lake");
  std::wstring failure;
  {
    Script script({NameDialog(L"Lake"), AnswerBox(IDOK, &failure)});
    windows.Save();
    EXPECT_EQ(script.FailedStep(), 0u);
  }
  ::RemoveDirectoryW(InDir(L"Lake.fms.new").c_str());
  EXPECT_TRUE(failure.find(L"權限") != std::wstring::npos || failure.find(L"存檔失敗") != std::wstring::npos);
  EXPECT_EQ(Read(L"Lake.fms"), before);
  EXPECT_EQ(Read(L"Lake.scr"), "lake");
  EXPECT_TRUE(main_.modified);

  // A saver's settings dialog: its own name, no dialog, no copy; the blank
  // frame question comes first.
  IsEditorExe = false;
  SaverBaseName = "Ocean";
  Write(L"Ocean.scr", "saver");
  AppendFrameRecord(*TheFrameList);  // the old trailing entry is now a blank frame
  std::wstring blank;
  {
    Script script({AnswerBox(IDNO, &blank), AnswerBox(IDOK, &done)});
    windows.Save();
    EXPECT_EQ(script.FailedStep(), 0u);
  }
  EXPECT_EQ(blank, L"存檔前是否要先清空白圖框?");
  EXPECT_TRUE(done.ends_with(L" - Ocean"));
  EXPECT_EQ(Read(L"Ocean.scr"), "saver");
  EXPECT_EQ(SavedShowName(L"Ocean.fms"), "Ocean");
  FrameList saved;
  ASSERT_TRUE(ReadFrameSetFile(NarrowToAnsi(InDir(L"Ocean.fms")), saved));
  EXPECT_EQ(saved.Count(), 5u);  // header, three frames, trailing entry
  // No staged or backup file is left.
  EXPECT_FALSE(Exists(L"Ocean.fms.new") || Exists(L"Ocean.fms.old") || Exists(L"Ocean.scr.new"));
}

TEST_F(EditorWindowsTest, TheClearDialogListsSaversAndDeletesTheChosenOnes) {
  for (const wchar_t* name : {L"Ocean.fms", L"Ocean.scr", L"Lake.fms", L"Lake.scr", L"Sea.fms", L"Sea.scr",
                              L"notes.fmsx", L"Lake.txt"})
    Write(name, "x");
  ASSERT_TRUE(::CreateDirectoryW(InDir(L"folder.fms").c_str(), nullptr));
  // A running saver: its file cannot be deleted.
  HANDLE running = ::CreateFileW(InDir(L"Sea.scr").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(running, INVALID_HANDLE_VALUE);
  std::wstring kept;
  EditorWindows windows(main_);
  std::set<std::wstring> listed;
  int left = -1;
  Script script({
      [&] {
        HWND dialog = VisibleWindowTitled(L"清除舊的螢幕保護");
        HWND list = dialog != nullptr ? ChildOfClass(dialog, L"ListBox") : nullptr;
        if (list == nullptr || ChildWithText(dialog, L"清除") == nullptr) return false;
        const int count = static_cast<int>(::SendMessageW(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
          wchar_t item[256] = {};
          ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item));
          listed.insert(item);
          if (std::wstring(item) != L"Lake") ::SendMessageW(list, LB_SETSEL, TRUE, i);
        }
        return true;
      },
      PressIn(L"清除舊的螢幕保護", L"清除"),
      AnswerBox(IDOK, &kept),
      [&] {
        if (Exists(L"Ocean.fms") || Exists(L"Ocean.scr")) return false;
        HWND dialog = VisibleWindowTitled(L"清除舊的螢幕保護");
        left = static_cast<int>(::SendMessageW(ChildOfClass(dialog, L"ListBox"), LB_GETCOUNT, 0, 0));
        return true;
      },
      PressIn(L"清除舊的螢幕保護", L"離開"),
  });
  windows.ClearOldSavers();
  ::CloseHandle(running);
  EXPECT_EQ(script.FailedStep(), 0u);
  EXPECT_EQ(listed, (std::set<std::wstring>{L"Ocean", L"Lake", L"Sea"}));
  EXPECT_EQ(left, 2);  // Lake, not chosen, and Sea, which could not be deleted
  EXPECT_TRUE(kept.ends_with(L"\r\n\r\nSea"));
  EXPECT_TRUE(Exists(L"Sea.fms"));
  EXPECT_TRUE(Exists(L"Lake.fms") && Exists(L"Lake.scr") && Exists(L"notes.fmsx") && Exists(L"Lake.txt"));
  ::RemoveDirectoryW(InDir(L"folder.fms").c_str());
}

}  // namespace
}  // namespace velmora
