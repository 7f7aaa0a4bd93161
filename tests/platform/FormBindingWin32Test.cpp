// Handler names of a form's tables: every one must be bound by the end of
// FormCreate, or making the form fails loudly, naming it; bound ones run.
#include <gtest/gtest.h>

#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ApplicationWin32.h"
#include "platform/FormWin32.h"

namespace velmora {
namespace {

const ControlSpec kControls[] = {
    {.name = "Panel5", .kind = ControlKind::Panel, .x = 8, .y = 8, .width = 121, .height = 169,
     .onClick = "Panel5Click"},
    {.name = "Label8", .kind = ControlKind::Label, .parent = "Panel5", .x = 8, .y = 4, .width = 10, .height = 13,
     .caption = "1", .onClick = "Panel5Click"},
    {.name = "TrackBar1", .kind = ControlKind::TrackBar, .x = 8, .y = 180, .width = 89, .height = 21,
     .onChange = "TrackBar1Change"},
};
// The same with a mistyped handler name.
const ControlSpec kMistypedControls[] = {
    kControls[0],
    {.name = "Label8", .kind = ControlKind::Label, .parent = "Panel5", .x = 8, .y = 4, .width = 10, .height = 13,
     .caption = "1", .onClick = "Panel5Clik"},
    kControls[2],
};

constexpr MenuItemSpec kMenu[] = {
    {.name = "Saver1", .caption = "Saver"},
    {.name = "Save1", .caption = "Save", .level = 1, .onClick = "Save1Click"},
    {.name = "N3", .caption = "-", .level = 1},
    {.name = "Quit2", .caption = "Quit", .onClick = "Quit2Click"},
};
constexpr MenuItemSpec kMistypedMenu[] = {
    kMenu[0],
    {.name = "Save1", .caption = "Save", .level = 1, .onClick = "Sav1Click"},
    kMenu[2],
    kMenu[3],
};

// A form that binds some of its handlers before it is made and the rest in
// FormCreate, as the program's windows do.
class BindingForm : public Form {
 public:
  std::function<void(BindingForm&)> bindInFormCreate;

 protected:
  void FormCreate() override {
    if (bindInFormCreate) bindInFormCreate(*this);
  }
};

class FormBindingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Application::Instance().Initialize(::GetModuleHandleW(nullptr), L"Velmora test"));
    Application::Instance().Reset();
  }
  void TearDown() override { Application::Instance().Reset(); }
};

// Binds every handler the tables above name (the click handlers before the
// form is made, the rest in FormCreate), recording what runs.
void BindAll(BindingForm& form, std::vector<std::string>& ran) {
  form.HandleClick("Panel5Click", [&ran](Control& sender) { ran.push_back("Panel5Click " + sender.Name()); });
  form.HandleMenuClick("Save1Click", [&ran] { ran.push_back("Save1Click"); });
  form.bindInFormCreate = [&ran](BindingForm& self) {
    self.HandleChange("TrackBar1Change", [&ran](Control&) { ran.push_back("TrackBar1Change"); });
    self.HandleMenuClick("Quit2Click", [&ran] { ran.push_back("Quit2Click"); });
  };
}

TEST_F(FormBindingTest, AHandlerNameLeftUnboundIsAnErrorNamingIt) {
  struct Case {
    const char* what;
    std::span<const ControlSpec> controls;
    std::span<const MenuItemSpec> menu;
    std::function<void(BindingForm&)> unbind;  // undoes part of BindAll
    std::vector<std::string> named;            // empty: the form is made
  };
  std::vector<std::string> ran;
  const Case cases[] = {
      {"everything bound, before the form or in FormCreate", kControls, kMenu, nullptr, {}},
      {"a mistyped name in the control table", kMistypedControls, kMenu, nullptr,
       {"Panel5Clik (onClick of Label8)"}},
      {"a mistyped name in the menu table", kControls, kMistypedMenu, nullptr, {"Sav1Click (menu item Save1)"}},
      {"a name bound for another event", kControls, kMenu,
       [&ran](BindingForm& form) {
         form.bindInFormCreate = [&ran](BindingForm& self) {
           self.HandleClick("TrackBar1Change", [&ran](Control&) { ran.push_back("wrong"); });
           self.HandleMenuClick("Quit2Click", [] {});
         };
       },
       {"TrackBar1Change (onChange of TrackBar1)"}},
      {"nothing bound in FormCreate: every name left is named", kControls, kMenu,
       [](BindingForm& form) { form.bindInFormCreate = nullptr; },
       {"TrackBar1Change (onChange of TrackBar1)", "Quit2Click (menu item Quit2)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BindingForm form;
    BindAll(form, ran);
    if (c.unbind) c.unbind(form);
    const FormSpec spec{.name = "Bindings", .clientWidth = 200, .clientHeight = 220, .menu = c.menu};
    if (c.named.empty()) {
      EXPECT_TRUE(form.CreateForm(spec, c.controls));
      continue;
    }
    try {
      form.CreateForm(spec, c.controls);
      ADD_FAILURE() << "no error";
    } catch (const std::logic_error& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find("form Bindings"), std::string::npos) << message;
      for (const std::string& name : c.named) EXPECT_NE(message.find(name), std::string::npos) << message;
    }
  }
}

TEST_F(FormBindingTest, BoundHandlersRunForTheirControlsAndMenuItems) {
  std::vector<std::string> ran;
  BindingForm form;
  BindAll(form, ran);
  ASSERT_TRUE(form.CreateForm(FormSpec{.name = "Bindings", .clientWidth = 200, .clientHeight = 220, .menu = kMenu},
                              kControls));
  form.Send(WM_COMMAND, MAKEWPARAM(0, STN_CLICKED), reinterpret_cast<LPARAM>(form.Get<Label>("Label8").Handle()));
  form.Get<TrackBar>("TrackBar1").SetPosition(3);
  for (const char* item : {"Save1", "Quit2"}) form.Send(WM_COMMAND, MAKEWPARAM(form.MainMenu().IdOf(item), 0), 0);
  // Bound again once the menu exists: the new handler replaces the old.
  form.HandleMenuClick("Save1Click", [&ran] { ran.push_back("Save1Click again"); });
  form.Send(WM_COMMAND, MAKEWPARAM(form.MainMenu().IdOf("Save1"), 0), 0);
  EXPECT_EQ(ran, (std::vector<std::string>{"Panel5Click Label8", "TrackBar1Change", "Save1Click", "Quit2Click",
                                           "Save1Click again"}));
}

}  // namespace
}  // namespace velmora
