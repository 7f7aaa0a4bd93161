// The application object's message loop: the idle event, termination, the
// main form and message pumping, run in the test process itself.
#include "platform/ApplicationWin32.h"

#include <gtest/gtest.h>

#include "platform/WindowWin32.h"

namespace velmora {
namespace {

constexpr UINT kTick = WM_USER + 1;

class CountingForm : public Window {
 public:
  HWND CreateForm() {
    WindowClass windowClass;
    windowClass.name = L"VelmoraTestCountingForm";
    WindowCreateParams params;
    params.title = L"counting";
    params.style = WS_POPUP;
    params.width = 50;
    params.height = 40;
    return Create(windowClass, params);
  }
  int ticks = 0;
  int stopAfter = -1;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == kTick) {
      ++ticks;
      if (ticks == stopAfter) Application::Instance().Terminate();
      return 0;
    }
    return Window::HandleMessage(message, wParam, lParam);
  }
};

class ApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app.Initialize(::GetModuleHandleW(nullptr), L"Velmora test"));
    app.Reset();
  }
  void TearDown() override { app.Reset(); }

  // Ends the loop after `ms` milliseconds through a thread timer.
  static void TerminateAfter(UINT ms) {
    ::SetTimer(nullptr, 0, ms, [](HWND, UINT, UINT_PTR id, DWORD) {
      ::KillTimer(nullptr, id);
      Application::Instance().Terminate();
    });
  }

  Application& app = Application::Instance();
};

TEST_F(ApplicationTest, HasAHiddenApplicationWindow) {
  ASSERT_NE(app.Handle(), nullptr);
  EXPECT_FALSE(::IsWindowVisible(app.Handle()));
  EXPECT_EQ(::GetParent(app.Handle()), nullptr);
  app.HideAppWindow();
  EXPECT_FALSE(::IsWindowVisible(app.Handle()));
}

TEST_F(ApplicationTest, IdleHandlerRunsWhileItAsksThenTheLoopWaits) {
  int calls = 0;
  app.SetOnIdle([&] { return ++calls < 5; });
  TerminateAfter(200);
  const ULONGLONG start = ::GetTickCount64();
  EXPECT_EQ(app.Run(), 0);
  // Five calls in a row, then the loop slept in GetMessage until the timer:
  // no idle call while nothing arrived.
  EXPECT_EQ(calls, 5);
  EXPECT_GE(::GetTickCount64() - start, 150u);
}

TEST_F(ApplicationTest, IdleHandlerPostingAMessageTurnsTheLoopOncePerMessage) {
  CountingForm form;
  ASSERT_NE(form.CreateForm(), nullptr);
  form.stopAfter = 50;
  int idleCalls = 0;
  app.SetOnIdle([&] {
    ++idleCalls;
    form.Post(kTick);
    return false;
  });
  app.Run();
  EXPECT_EQ(form.ticks, 50);
  EXPECT_EQ(idleCalls, 50);
}

TEST_F(ApplicationTest, IdleHandlerMayRemoveItself) {
  int calls = 0;
  app.SetOnIdle([&] {
    ++calls;
    app.ClearOnIdle();
    return true;
  });
  TerminateAfter(100);
  app.Run();
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(app.HasIdleHandler());
}

TEST_F(ApplicationTest, TerminateBeforeRunEndsTheLoopAtOnce) {
  int calls = 0;
  app.SetOnIdle([&] { return ++calls < 3; });
  app.Terminate(0);
  EXPECT_TRUE(app.Terminated());
  app.Run();
  EXPECT_EQ(calls, 0);
}

TEST_F(ApplicationTest, RunShowsTheMainFormAndEndsWhenItCloses) {
  CountingForm form;
  ASSERT_NE(form.CreateForm(), nullptr);
  app.SetMainForm(&form);
  bool visibleInLoop = false;
  app.SetOnIdle([&] {
    visibleInLoop = form.IsVisible();
    form.Post(WM_CLOSE);
    app.ClearOnIdle();
    return false;
  });
  app.Run();
  EXPECT_TRUE(visibleInLoop);
  EXPECT_TRUE(app.Terminated());
  EXPECT_EQ(form.Handle(), nullptr);
}

TEST_F(ApplicationTest, MainFormIsNotShownWhenShowingIsOff) {
  CountingForm form;
  ASSERT_NE(form.CreateForm(), nullptr);
  app.SetMainForm(&form);
  app.SetShowMainForm(false);
  bool visibleInLoop = true;
  app.SetOnIdle([&] {
    visibleInLoop = form.IsVisible();
    form.Destroy();
    return false;
  });
  app.Run();
  EXPECT_FALSE(visibleInLoop);
  EXPECT_TRUE(app.Terminated());
}

TEST_F(ApplicationTest, ProcessMessagesHandlesWhatIsWaitingWithoutIdle) {
  CountingForm form;
  ASSERT_NE(form.CreateForm(), nullptr);
  int idleCalls = 0;
  app.SetOnIdle([&] {
    ++idleCalls;
    return false;
  });
  for (int i = 0; i < 3; ++i) form.Post(kTick);
  app.ProcessMessages();
  EXPECT_EQ(form.ticks, 3);
  EXPECT_EQ(idleCalls, 0);
  EXPECT_FALSE(app.Terminated());
}

TEST_F(ApplicationTest, ProcessMessagesNoticesAQuitMessage) {
  ::PostQuitMessage(3);
  app.ProcessMessages();
  EXPECT_TRUE(app.Terminated());
  EXPECT_EQ(app.Run(), 3);
}

TEST_F(ApplicationTest, WaitUntilEndsOnTheConditionOrTheTimeout) {
  CountingForm form;
  ASSERT_NE(form.CreateForm(), nullptr);
  form.Post(kTick);
  EXPECT_TRUE(app.WaitUntil([&] { return form.ticks == 1; }, 5000));

  const ULONGLONG start = ::GetTickCount64();
  EXPECT_FALSE(app.WaitUntil([] { return false; }, 120));
  const ULONGLONG took = ::GetTickCount64() - start;
  EXPECT_GE(took, 110u);
  EXPECT_LT(took, 10000u);  // ends near its timeout, whatever the load
}

TEST_F(ApplicationTest, TextConversionsRoundTrip) {
  EXPECT_EQ(WidenUtf8("Velmora 99"), L"Velmora 99");
  EXPECT_EQ(WidenUtf8("\xE5\x9C\x96"), L"\u5716");  // UTF-8 of an ideograph
  EXPECT_EQ(NarrowToAnsi(L"C:\\WINDOWS\\Ocean.scr"), "C:\\WINDOWS\\Ocean.scr");
  EXPECT_EQ(WidenAnsi("abc"), L"abc");
  EXPECT_EQ(WidenUtf8(""), L"");
}

}  // namespace
}  // namespace velmora
