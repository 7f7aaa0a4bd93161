// The progress window: it counts "n / total", its Cancel button is pressed
// while the work goes on, and the owner is disabled meanwhile.
#include "platform/ProgressWindowWin32.h"

#include <gtest/gtest.h>

#include "platform/ApplicationWin32.h"
#include "support/ProcessLauncherWin32.h"

namespace velmora {
namespace {

TEST(ProgressWindowTest, CountsStepsAndStopsAfterTheItemDuringWhichCancelWasPressed) {
  ASSERT_TRUE(Application::Instance().Initialize(::GetModuleHandleW(nullptr), L"Velmora test"));
  Application::Instance().Reset();
  Form owner;
  ASSERT_TRUE(owner.CreateForm(FormSpec{.name = "Owner", .clientWidth = 300, .clientHeight = 200,
                                        .position = FormPosition::ScreenCenter},
                               {}));
  owner.Show();
  ProgressWindow progress;
  ASSERT_TRUE(progress.Start(owner.Handle(), "加入圖片", 5));
  EXPECT_FALSE(owner.IsEnabled());
  Label& count = progress.Get<Label>("CountLabel");
  Button& cancel = progress.Get<Button>("CancelButton");
  EXPECT_EQ(test::TextOf(count.Handle()), L"加入圖片 0 / 5");
  EXPECT_EQ(test::TextOf(cancel.Handle()), L"取消");

  int done = 0;
  for (int item = 1; item <= 5 && !progress.Cancelled(); ++item) {
    if (item == 3) {
      // The user presses Cancel while the third item is being added: a real
      // click, handled by the pump inside Step.
      RECT button{};
      ::GetWindowRect(cancel.Handle(), &button);
      test::ClickAt((button.left + button.right) / 2, (button.top + button.bottom) / 2);
    }
    done = item;
    progress.Step(item);
    EXPECT_EQ(test::TextOf(count.Handle()), L"加入圖片 " + std::to_wstring(item) + L" / 5");
    if (item == 3) {
      ASSERT_TRUE(Application::Instance().WaitUntil([&] { return progress.Cancelled(); }, 10000));
    }
  }
  EXPECT_EQ(done, 3);
  progress.Finish();
  EXPECT_TRUE(owner.IsEnabled());
  EXPECT_FALSE(progress.IsVisible());
}

}  // namespace
}  // namespace velmora
