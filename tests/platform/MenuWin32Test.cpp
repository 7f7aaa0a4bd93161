// Menus declared as tables: a real menu bar with popups and a command on
// the bar, run-time captions, ticks and enabled states by name, and
// WM_COMMAND reaching the item's handler.
#include "platform/MenuWin32.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ApplicationWin32.h"
#include "platform/FormWin32.h"

namespace velmora {
namespace {

constexpr MenuItemSpec kMenu[] = {
    {.name = "Addnew1", .caption = "Edit"},
    {.name = "NewPicture1", .caption = "Add New Pictures", .level = 1},
    {.name = "RemoveCurrentFrame1", .caption = "Remove Current Frame", .level = 1, .enabled = false},
    {.name = "N1", .caption = "-", .level = 1},
    {.name = "RandomEffect1", .caption = "Use Random Effect", .level = 1},
    {.name = "EditWindow1", .caption = "View"},
    {.name = "Both1", .caption = "Scroll Simultaneously", .level = 1, .checked = true},
    {.name = "Quit2", .caption = "Quit"},
};

class MenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Application::Instance().Initialize(::GetModuleHandleW(nullptr), L"Velmora test"));
    Application::Instance().Reset();
    const FormSpec spec{.name = "MenuForm", .caption = "Velmora 99", .clientWidth = 300, .clientHeight = 100,
                        .border = FormBorder::Single, .menu = kMenu};
    ASSERT_TRUE(form.CreateForm(spec, {}));
  }
  void TearDown() override { Application::Instance().Reset(); }
  Form form;
};

TEST_F(MenuTest, TheBarIsARealMenuWithPopupsAndACommandOnTheBar) {
  Menu& menu = form.MainMenu();
  HMENU bar = ::GetMenu(form.Handle());
  ASSERT_EQ(bar, menu.Handle());
  ASSERT_EQ(::GetMenuItemCount(bar), 3);
  EXPECT_NE(::GetSubMenu(bar, 0), nullptr);
  EXPECT_EQ(::GetMenuItemCount(::GetSubMenu(bar, 0)), 4);
  EXPECT_EQ(::GetMenuItemCount(::GetSubMenu(bar, 1)), 1);
  EXPECT_EQ(::GetSubMenu(bar, 2), nullptr) << "Quit is a command on the bar";
  EXPECT_EQ(::GetMenuItemID(bar, 2), static_cast<UINT>(menu.IdOf("Quit2")));
  EXPECT_EQ(::GetMenuState(::GetSubMenu(bar, 0), 2, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
  // The client area is the designed one, menu bar or not.
  EXPECT_EQ(form.ClientWidth(), 300);
  EXPECT_EQ(form.ClientHeight(), 100);
}

TEST_F(MenuTest, RunTimeCaptionsTicksAndEnabledStatesByName) {
  Menu& menu = form.MainMenu();
  struct Case {
    const char* name;
    const char* runTimeCaption;
    bool designTick;
    bool designEnabled;
  };
  const Case cases[] = {
      {"Addnew1", "編輯", false, true},
      {"NewPicture1", "加入新圖片", false, true},
      {"RemoveCurrentFrame1", "刪去目前圖框", false, false},
      {"RandomEffect1", "使用隨機特效", false, true},
      {"Both1", "同步捲動", true, true},
      {"Quit2", "離開", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(menu.Checked(c.name), c.designTick);
    EXPECT_EQ(menu.Enabled(c.name), c.designEnabled);
    ASSERT_TRUE(menu.SetCaption(c.name, c.runTimeCaption));
    EXPECT_EQ(menu.Caption(c.name), c.runTimeCaption);
    menu.SetChecked(c.name, !c.designTick);
    EXPECT_EQ(menu.Checked(c.name), !c.designTick);
    menu.SetEnabled(c.name, !c.designEnabled);
    EXPECT_EQ(menu.Enabled(c.name), !c.designEnabled);
  }
  // The real menu shows the run-time caption.
  wchar_t text[64] = {};
  ::GetMenuStringW(::GetMenu(form.Handle()), 0, text, 64, MF_BYPOSITION);
  EXPECT_STREQ(text, L"編輯");
  EXPECT_FALSE(menu.SetCaption("NoSuchItem", "x"));
  EXPECT_FALSE(menu.SetChecked("NoSuchItem", true));
}

TEST_F(MenuTest, CommandsRunTheHandlerOfTheirItemWhenEnabled) {
  Menu& menu = form.MainMenu();
  std::vector<std::string> ran;
  for (const char* name : {"NewPicture1", "RemoveCurrentFrame1", "Both1", "Quit2"}) {
    menu.Bind(name, [&ran, name] { ran.push_back(name); });
  }
  struct Case {
    const char* name;
    bool runs;
  };
  const Case cases[] = {{"NewPicture1", true}, {"RemoveCurrentFrame1", false}, {"Both1", true}, {"Quit2", true},
                        {"RandomEffect1", false}};  // no handler bound
  for (const Case& c : cases) {
    ran.clear();
    form.Send(WM_COMMAND, MAKEWPARAM(menu.IdOf(c.name), 0), 0);
    EXPECT_EQ(ran, c.runs ? std::vector<std::string>{c.name} : std::vector<std::string>{}) << c.name;
  }
  menu.SetEnabled("RemoveCurrentFrame1", true);
  ran.clear();
  form.Send(WM_COMMAND, MAKEWPARAM(menu.IdOf("RemoveCurrentFrame1"), 0), 0);
  EXPECT_EQ(ran, std::vector<std::string>{"RemoveCurrentFrame1"});
}

TEST_F(MenuTest, BindingAnItemThatIsNotThereIsAnErrorNamingIt) {
  Menu& menu = form.MainMenu();
  for (const char* name : {"Quit", "NewPicture", ""}) {
    try {
      menu.Bind(name, [] {});
      ADD_FAILURE() << "no error for " << name;
    } catch (const std::logic_error& error) {
      EXPECT_NE(std::string(error.what()).find("no item " + std::string(name) + " "), std::string::npos)
          << error.what();
    }
  }
}

TEST(MenuTableTest, HandlersBindByTheirNameInTheTable) {
  const MenuItemSpec table[] = {
      {.name = "Preview2", .caption = "Preview"},
      {.name = "ALL1", .caption = "All", .level = 1, .onClick = "ALL1Click"},
      {.name = "Single1", .caption = "Current Effect", .level = 1, .onClick = "Single1Click"},
      {.name = "Quit2", .caption = "Quit", .onClick = "ALL1Click"},  // two items, one handler
  };
  Menu menu;
  ASSERT_TRUE(menu.Build(table));
  EXPECT_EQ(menu.UnboundHandlers(),
            (std::vector<std::string>{"ALL1Click (menu item ALL1)", "Single1Click (menu item Single1)",
                                      "ALL1Click (menu item Quit2)"}));
  std::vector<std::string> ran;
  EXPECT_EQ(menu.BindHandler("ALL1Click", [&ran] { ran.push_back("ALL1Click"); }), 2);
  EXPECT_EQ(menu.BindHandler("Single1", [] {}), 0) << "an item name is no handler name";
  EXPECT_EQ(menu.UnboundHandlers(), (std::vector<std::string>{"Single1Click (menu item Single1)"}));
  menu.Bind("Single1", [&ran] { ran.push_back("Single1"); });
  EXPECT_TRUE(menu.UnboundHandlers().empty()) << "bound by item name counts";
  for (const char* item : {"ALL1", "Single1", "Quit2"}) EXPECT_TRUE(menu.Dispatch(menu.IdOf(item))) << item;
  EXPECT_EQ(ran, (std::vector<std::string>{"ALL1Click", "Single1", "ALL1Click"}));
}

TEST(MenuTableTest, InconsistentTablesBuildNothing) {
  const MenuItemSpec popupFirst[] = {{.name = "A", .caption = "a", .level = 1}};
  const MenuItemSpec duplicate[] = {{.name = "A", .caption = "a"}, {.name = "A", .caption = "b"}};
  const MenuItemSpec tooDeep[] = {{.name = "A", .caption = "a"}, {.name = "B", .caption = "b", .level = 2}};
  const MenuItemSpec threeDeep[] = {{.name = "A", .caption = "a"},
                                    {.name = "B", .caption = "b", .level = 1},
                                    {.name = "C", .caption = "c", .level = 2},
                                    {.name = "D", .caption = "d", .level = 3}};
  const std::span<const MenuItemSpec> tables[] = {popupFirst, duplicate, tooDeep, threeDeep};
  for (std::span<const MenuItemSpec> table : tables) {
    Menu menu;
    EXPECT_FALSE(menu.Build(table));
    EXPECT_EQ(menu.Handle(), nullptr);
  }
}

// A submenu inside a popup, with choices ticked by a bullet: its items are
// found, ticked and dispatched by name like any other, and the items after
// the submenu keep their own places.
TEST(MenuTableTest, SubmenuOfChoicesInsideAPopup) {
  const MenuItemSpec table[] = {
      {.name = "Saver1", .caption = "Saver"},
      {.name = "Save1", .caption = "Save", .level = 1},
      {.name = "Caption1", .caption = "Captions", .level = 1},
      {.name = "None1", .caption = "None", .level = 2, .checked = true, .radio = true},
      {.name = "Date1", .caption = "Date", .level = 2, .radio = true},
      {.name = "Clear1", .caption = "Clear", .level = 1},
      {.name = "Quit2", .caption = "Quit"},
  };
  Menu menu;
  ASSERT_TRUE(menu.Build(table));
  HMENU saver = ::GetSubMenu(menu.Handle(), 0);
  ASSERT_NE(saver, nullptr);
  EXPECT_EQ(::GetMenuItemCount(saver), 3);
  HMENU captions = ::GetSubMenu(saver, 1);
  ASSERT_NE(captions, nullptr);
  EXPECT_EQ(::GetMenuItemCount(captions), 2);
  EXPECT_EQ(menu.Caption("Clear1"), "Clear");
  EXPECT_EQ(menu.Caption("Date1"), "Date");
  EXPECT_TRUE(menu.Checked("None1"));
  EXPECT_TRUE(menu.SetChecked("Date1", true));
  EXPECT_TRUE(menu.SetChecked("None1", false));
  EXPECT_TRUE(menu.Checked("Date1"));
  EXPECT_FALSE(menu.Checked("None1"));
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_FTYPE;
  ASSERT_TRUE(::GetMenuItemInfoW(captions, 1, TRUE, &info));
  EXPECT_NE(info.fType & MFT_RADIOCHECK, 0u);
  ASSERT_TRUE(::GetMenuItemInfoW(saver, 2, TRUE, &info));
  EXPECT_EQ(info.fType & MFT_RADIOCHECK, 0u);
  int clicked = 0;
  menu.Bind("Date1", [&clicked] { ++clicked; });
  EXPECT_TRUE(menu.Dispatch(menu.IdOf("Date1")));
  EXPECT_EQ(clicked, 1);
  EXPECT_EQ(menu.IdOf("Caption1"), 0) << "a submenu is no command";
}

}  // namespace
}  // namespace velmora
