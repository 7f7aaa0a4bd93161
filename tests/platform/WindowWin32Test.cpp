// The window base class: binding, the message column, closing, reflection
// of control notifications, modal showing; and the handle wrappers.
#include "platform/WindowWin32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/ApplicationWin32.h"
#include "platform/HandlesWin32.h"
#include "support/ProcessLauncherWin32.h"

namespace velmora {
namespace {

constexpr int kButtonId = 101;

class RecordingWindow : public Window {
 public:
  HWND CreateForm(HWND owner = nullptr, DWORD style = WS_POPUP) {
    WindowClass windowClass;
    windowClass.name = L"VelmoraTestRecordingWindow";
    WindowCreateParams params;
    params.title = L"recording";
    params.style = style;
    params.width = 120;
    params.height = 90;
    params.parent = owner;
    return Create(windowClass, params);
  }

  bool failCreate = false;
  bool allowClose = true;
  CloseAction closeAction = CloseAction::Destroy;
  HWND handleInCreate = nullptr;
  std::vector<std::string> events;

 protected:
  bool OnCreate(const CREATESTRUCTW&) override {
    handleInCreate = Handle();
    events.push_back("create");
    return !failCreate;
  }
  void OnDestroy() override { events.push_back("destroy"); }
  bool OnCloseQuery() override {
    events.push_back("closequery");
    return allowClose;
  }
  CloseAction OnClose() override {
    events.push_back("close");
    return closeAction;
  }
  bool OnKeyDown(UINT key, LPARAM) override {
    events.push_back("key " + std::to_string(key));
    return true;
  }
  bool OnMouseDown(MouseButton button, int x, int y, WPARAM) override {
    events.push_back(std::string(button == MouseButton::Left ? "left " : button == MouseButton::Right ? "right " : "middle ") +
                     std::to_string(x) + "," + std::to_string(y));
    return true;
  }
  bool OnTimer(UINT_PTR id) override {
    events.push_back("timer " + std::to_string(id));
    StopTimer(id);
    return true;
  }
  bool OnCommand(int id, int code, HWND) override {
    events.push_back("command " + std::to_string(id) + " " + std::to_string(code));
    return true;
  }
};

// A standard button taken over by an object that claims its clicks.
class ClaimingButton : public Window {
 public:
  int clicks = 0;
  int keys = 0;

 protected:
  bool OnReflected(UINT message, WPARAM wParam, LPARAM, LRESULT& result) override {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
      ++clicks;
      result = 0;
      return true;
    }
    return false;
  }
  bool OnKeyDown(UINT, LPARAM) override {
    ++keys;
    return true;
  }
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Application::Instance().Initialize(::GetModuleHandleW(nullptr), L"Velmora test"));
    Application::Instance().Reset();
  }
  void TearDown() override { Application::Instance().Reset(); }
};

TEST_F(WindowTest, BindsTheObjectBeforeCreateAndLetsGoAfterDestroy) {
  RecordingWindow window;
  HWND handle = window.CreateForm();
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(window.handleInCreate, handle);
  EXPECT_EQ(Window::FromHandle(handle), &window);
  window.Destroy();
  EXPECT_EQ(window.Handle(), nullptr);
  EXPECT_FALSE(::IsWindow(handle));
  EXPECT_EQ(Window::FromHandle(handle), nullptr) << "a handle used again later must not find the old object";
  EXPECT_EQ(window.events, (std::vector<std::string>{"create", "destroy"}));
}

TEST_F(WindowTest, FailedCreateLeavesNoWindow) {
  RecordingWindow window;
  window.failCreate = true;
  EXPECT_EQ(window.CreateForm(), nullptr);
  EXPECT_EQ(window.Handle(), nullptr);
}

TEST_F(WindowTest, DestructorDestroysTheWindow) {
  HWND handle = nullptr;
  {
    RecordingWindow window;
    handle = window.CreateForm();
    ASSERT_NE(handle, nullptr);
  }
  EXPECT_FALSE(::IsWindow(handle));
  EXPECT_EQ(Window::FromHandle(handle), nullptr);
}

TEST_F(WindowTest, CloseAsksFirstAndThenDoesWhatOnCloseSays) {
  RecordingWindow window;
  HWND handle = window.CreateForm();
  window.Show();
  window.allowClose = false;
  window.Close();
  EXPECT_TRUE(::IsWindow(handle));
  EXPECT_EQ(window.events.back(), "closequery");

  window.allowClose = true;
  window.closeAction = CloseAction::Hide;
  window.Close();
  EXPECT_TRUE(::IsWindow(handle));
  EXPECT_FALSE(window.IsVisible());

  window.closeAction = CloseAction::Destroy;
  window.Close();
  EXPECT_FALSE(::IsWindow(handle));
  EXPECT_EQ(window.events.back(), "destroy");
}

TEST_F(WindowTest, InputAndTimerMessagesReachTheirHandlers) {
  RecordingWindow window;
  ASSERT_NE(window.CreateForm(), nullptr);
  window.Send(WM_KEYDOWN, VK_F5, 0);
  window.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(7, 9));
  window.Send(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(-3, -4));  // left of and above the window
  window.Send(WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(1, 2));
  ASSERT_TRUE(window.StartTimer(7, 10));
  Application::Instance().WaitUntil([&] { return window.events.back() == "timer 7"; }, 3000);
  EXPECT_EQ(window.events, (std::vector<std::string>{"create", "key 116", "left 7,9", "right -3,-4", "middle 1,2",
                                                     "timer 7"}));
}

TEST_F(WindowTest, ControlNotificationsGoToTheControlThatClaimsThem) {
  RecordingWindow parent;
  ASSERT_NE(parent.CreateForm(), nullptr);
  HWND claimed = ::CreateWindowExW(0, L"BUTTON", L"claimed", WS_CHILD | BS_PUSHBUTTON, 0, 0, 40, 20, parent.Handle(),
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonId)), nullptr, nullptr);
  HWND plain = ::CreateWindowExW(0, L"BUTTON", L"plain", WS_CHILD | BS_PUSHBUTTON, 0, 30, 40, 20, parent.Handle(),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kButtonId + 1)), nullptr, nullptr);
  ClaimingButton button;
  ASSERT_TRUE(button.Attach(claimed));
  EXPECT_FALSE(button.Attach(plain)) << "one object, one window";
  EXPECT_EQ(Window::FromHandle(claimed), &button);

  parent.Send(WM_COMMAND, MAKEWPARAM(kButtonId, BN_CLICKED), reinterpret_cast<LPARAM>(claimed));
  parent.Send(WM_COMMAND, MAKEWPARAM(kButtonId + 1, BN_CLICKED), reinterpret_cast<LPARAM>(plain));
  EXPECT_EQ(button.clicks, 1);
  EXPECT_EQ(parent.events.back(), "command " + std::to_string(kButtonId + 1) + " 0");

  // The attached control still gets its own messages, and what the object
  // does not handle keeps the control's behaviour.
  ::SendMessageW(claimed, WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_EQ(button.keys, 1);
  ::SetWindowTextW(claimed, L"renamed");
  EXPECT_EQ(button.Text(), L"renamed");

  button.Detach();
  EXPECT_EQ(Window::FromHandle(claimed), nullptr);
  EXPECT_TRUE(::IsWindow(claimed)) << "detaching leaves the control alone";
  parent.Send(WM_COMMAND, MAKEWPARAM(kButtonId, BN_CLICKED), reinterpret_cast<LPARAM>(claimed));
  EXPECT_EQ(button.clicks, 1);
  EXPECT_EQ(parent.events.back(), "command " + std::to_string(kButtonId) + " 0");

  // A control destroyed while attached lets go of its object.
  ASSERT_TRUE(button.Attach(claimed));
  ::DestroyWindow(claimed);
  EXPECT_EQ(button.Handle(), nullptr);
  EXPECT_EQ(Window::FromHandle(claimed), nullptr);
}

TEST_F(WindowTest, ShowModalDisablesTheOwnerUntilAResultIsSet) {
  RecordingWindow owner;
  ASSERT_NE(owner.CreateForm(), nullptr);
  owner.Show();
  RecordingWindow dialog;
  ASSERT_NE(dialog.CreateForm(owner.Handle()), nullptr);
  bool ownerEnabledDuring = true;
  bool dialogVisibleDuring = false;
  Application::Instance().SetOnIdle([&] {
    ownerEnabledDuring = owner.IsEnabled();
    dialogVisibleDuring = dialog.IsVisible();
    dialog.SetModalResult(IDOK);
    return false;
  });
  EXPECT_EQ(dialog.ShowModal(), IDOK);
  EXPECT_FALSE(ownerEnabledDuring);
  EXPECT_TRUE(dialogVisibleDuring);
  EXPECT_TRUE(owner.IsEnabled());
  EXPECT_FALSE(dialog.IsVisible());
  EXPECT_NE(dialog.Handle(), nullptr) << "a modal window is hidden, not destroyed";

  // Closing the window ends the modal loop with IDCANCEL.
  Application::Instance().SetOnIdle([&] {
    dialog.Post(WM_CLOSE);
    Application::Instance().ClearOnIdle();
    return false;
  });
  EXPECT_EQ(dialog.ShowModal(), IDCANCEL);
  EXPECT_FALSE(Application::Instance().Terminated());
}

class ThrowingWindow : public RecordingWindow {
 public:
  static constexpr UINT kThrow = WM_USER + 9;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == kThrow) throw std::runtime_error("picture could not be read");
    return RecordingWindow::HandleMessage(message, wParam, lParam);
  }
};

TEST_F(WindowTest, AnExceptionInAHandlerIsReportedInTheErrorBox) {
  ThrowingWindow window;
  ASSERT_NE(window.CreateForm(), nullptr);
  // Another thread answers the error box the handler's exception brings up,
  // once the box shows its text.
  std::wstring reported;
  std::atomic<bool> stop{false};
  std::thread answer([&] {
    const DWORD process = ::GetCurrentProcessId();
    while (!stop) {
      HWND box = nullptr;
      while ((box = ::FindWindowExW(nullptr, box, L"#32770", nullptr)) != nullptr) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(box, &owner);
        if (owner != process) continue;
        reported = test::WaitForChildText(box, 0xFFFF, 10000);
        ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return;
      }
      test::PumpFor(20);
    }
  });
  const LRESULT result = window.Send(ThrowingWindow::kThrow);
  stop = true;
  answer.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(reported, L"picture could not be read");
  EXPECT_NE(window.Handle(), nullptr) << "the window lives on";
}

TEST_F(WindowTest, DestroyingTheMainFormObjectTerminates) {
  auto form = std::make_unique<RecordingWindow>();
  ASSERT_NE(form->CreateForm(), nullptr);
  Application::Instance().SetMainForm(form.get());
  form.reset();
  EXPECT_EQ(Application::Instance().MainForm(), nullptr);
  EXPECT_TRUE(Application::Instance().Terminated());
}

struct CountingDeleter {
  static inline int released = 0;
  static int Invalid() { return -1; }
  void operator()(int) const { ++released; }
};

TEST(HandlesTest, UniqueHandleReleasesOnceAndMoves) {
  CountingDeleter::released = 0;
  {
    UniqueHandle<int, CountingDeleter> empty;
    EXPECT_FALSE(empty);
    EXPECT_EQ(empty.get(), -1);
    UniqueHandle<int, CountingDeleter> first(0);  // 0 is a valid value for this deleter
    EXPECT_TRUE(first);
    UniqueHandle<int, CountingDeleter> second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(second.get(), 0);
    second.reset(5);
    EXPECT_EQ(CountingDeleter::released, 1);
    EXPECT_EQ(second.release(), 5);
    EXPECT_EQ(CountingDeleter::released, 1);
  }
  EXPECT_EQ(CountingDeleter::released, 1);
  static_assert(!std::is_copy_constructible_v<UniqueKernelHandle>);
  static_assert(!std::is_copy_assignable_v<UniqueKernelHandle>);
}

TEST(HandlesTest, KernelHandleIsClosed) {
  HANDLE raw = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(raw, nullptr);
  {
    UniqueKernelHandle event(raw);
    DWORD flags = 0;
    EXPECT_TRUE(::GetHandleInformation(raw, &flags));
  }
  DWORD flags = 0;
  EXPECT_FALSE(::GetHandleInformation(raw, &flags));
  UniqueFileHandle file;
  EXPECT_EQ(file.get(), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(file);
}

TEST(HandlesTest, SelectGuardPutsBackThePreviousObject) {
  UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
  ASSERT_TRUE(dc);
  HGDIOBJ original = ::GetCurrentObject(dc.get(), OBJ_BITMAP);
  UniqueBitmap bitmap(::CreateCompatibleBitmap(dc.get(), 4, 4));
  ASSERT_TRUE(bitmap);
  {
    SelectGuard guard(dc.get(), bitmap.get());
    EXPECT_TRUE(guard.ok());
    EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_BITMAP), bitmap.get());
  }
  EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_BITMAP), original);
}

}  // namespace
}  // namespace velmora
