// Forms built from control tables: every control a real child window at its
// place with its text readable; clicks, scroll codes, radio groups, sliders
// and up-down controls raising their events; dialog keys; drag and drop
// between picture controls with real and synthetic mouse input.
#include "platform/FormWin32.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/ApplicationWin32.h"
#include "platform/HandlesWin32.h"
#include "support/ProcessLauncherWin32.h"

namespace velmora {
namespace {

using test::PumpUntil;

constexpr DWORD kWaitMs = 10000;

const ControlSpec kControls[] = {
    {.name = "Bevel1", .kind = ControlKind::Bevel, .x = 0, .y = 0, .width = 500, .height = 2},
    {.name = "Panel5", .kind = ControlKind::Panel, .x = 8, .y = 8, .width = 121, .height = 169,
     .onClick = "Panel5Click"},
    {.name = "Label8", .kind = ControlKind::Label, .parent = "Panel5", .x = 8, .y = 4, .width = 10, .height = 13,
     .caption = "12", .fontColour = kMaroon, .autoSize = true, .onClick = "Panel5Click"},
    {.name = "Label11", .kind = ControlKind::Label, .parent = "Panel5", .x = 24, .y = 4, .width = 93, .height = 13,
     .caption = "a rather long picture name.jpg", .onClick = "Panel5Click"},
    {.name = "Label10", .kind = ControlKind::Label, .parent = "Panel5", .x = 4, .y = 152, .width = 110, .height = 13,
     .caption = "速度 5 && 顆粒 3", .font = {.face = "細明體", .points = 9}, .onClick = "Panel5Click"},
    {.name = "Panel13", .kind = ControlKind::Panel, .parent = "Panel5", .x = 4, .y = 20, .width = 113, .height = 113,
     .bevel = BevelStyle::Lowered},
    {.name = "Image1", .kind = ControlKind::Picture, .parent = "Panel13", .x = 1, .y = 1, .width = 111,
     .height = 111},
    {.name = "Image2", .kind = ControlKind::Picture, .x = 140, .y = 29, .width = 111, .height = 111},
    {.name = "Image3", .kind = ControlKind::Picture, .x = 260, .y = 29, .width = 111, .height = 111},
    {.name = "ScrollBar1", .kind = ControlKind::ScrollBar, .x = 8, .y = 180, .width = 245, .height = 18, .min = 1,
     .max = 4, .position = 1, .page = 4, .onChange = "ScrollBar1Change", .onScroll = "ScrollBar1Scroll"},
    {.name = "StaticText1", .kind = ControlKind::StaticText, .x = 8, .y = 202, .width = 60, .height = 17,
     .caption = "1 ~ 8", .fontColour = kBlue, .border = true, .visible = false},
    {.name = "GroupBox1", .kind = ControlKind::GroupBox, .x = 0, .y = 230, .width = 472, .height = 38,
     .caption = "特效", .font = {.face = "細明體", .points = 9, .bold = true}},
    {.name = "RadioButton1", .kind = ControlKind::RadioButton, .parent = "GroupBox1", .x = 60, .y = 17,
     .width = 50, .height = 17, .caption = "None", .fontColour = kMaroon, .tag = 0, .down = true,
     .onClick = "RadioButton1Click"},
    {.name = "RadioButton2", .kind = ControlKind::RadioButton, .parent = "GroupBox1", .x = 112, .y = 17,
     .width = 55, .height = 17, .caption = "Stretch", .tag = 1, .onClick = "RadioButton1Click"},
    {.name = "RadioButton20", .kind = ControlKind::RadioButton, .parent = "GroupBox1", .x = 8, .y = 17,
     .width = 50, .height = 17, .caption = "Any", .fontColour = kRed, .tag = 7, .onClick = "RadioButton1Click"},
    {.name = "GroupBox3", .kind = ControlKind::GroupBox, .x = 0, .y = 270, .width = 472, .height = 38,
     .caption = "方向"},
    {.name = "RadioButton8", .kind = ControlKind::RadioButton, .parent = "GroupBox3", .x = 12, .y = 16,
     .width = 80, .height = 17, .caption = "From left", .tag = 3, .down = true},
    {.name = "TrackBar1", .kind = ControlKind::TrackBar, .x = 116, .y = 312, .width = 89, .height = 21,
     .hint = "Speed = 81", .min = 0, .max = 10, .position = 3, .page = 1, .tickFrequency = 1,
     .onChange = "TrackBar1Change"},
    {.name = "RFilterEdit3", .kind = ControlKind::Edit, .x = 404, .y = 6, .width = 29, .height = 22,
     .caption = "3", .font = {.face = "Arial", .pixels = 13}, .fontColour = kNavy, .tabStop = true},
    {.name = "Label4", .kind = ControlKind::Label, .x = 375, .y = 12, .width = 26, .height = 13, .caption = "靜滯",
     .alignment = TextAlign::Right, .autoSize = true},
    {.name = "UpDown2", .kind = ControlKind::UpDown, .x = 433, .y = 6, .width = 16, .height = 22, .min = 0,
     .max = 120, .position = 3, .associate = "RFilterEdit3"},
    {.name = "Shape1", .kind = ControlKind::Shape, .x = 300, .y = 180, .width = 60, .height = 21,
     .colour = 0x00FF00},
    {.name = "SpeedButton6", .kind = ControlKind::SpeedButton, .x = 186, .y = 340, .width = 104, .height = 22,
     .caption = "保持在最上面", .groupIndex = 1, .allowAllUp = true},
    {.name = "ListBox1", .kind = ControlKind::ListBox, .x = 380, .y = 180, .width = 100, .height = 40,
     .multiSelect = true, .itemHeight = 13},
    {.name = "ToolBar2", .kind = ControlKind::ToolBar, .y = 366, .height = 12, .dock = Dock::Top},
    {.name = "BitBtn1", .kind = ControlKind::Button, .x = 300, .y = 340, .width = 75, .height = 25, .caption = "確定",
     .modalResult = IDOK, .isDefault = true},
    {.name = "BitBtn2", .kind = ControlKind::Button, .x = 380, .y = 340, .width = 75, .height = 25, .caption = "離開",
     .modalResult = IDCANCEL, .isCancel = true},
};

const FormSpec kFormSpec{
    .name = "TestForm",
    .caption = "Velmora 99",
    .clientWidth = 508,
    .clientHeight = 379,
    .x = 0,
    .y = 0,
    .border = FormBorder::None,
    .keepOnTop = true,
};

class FormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Application::Instance().Initialize(::GetModuleHandleW(nullptr), L"Velmora test"));
    Application::Instance().Reset();
    form.HandleClick("Panel5Click", [this](Control& sender) { clicks.push_back(sender.Name()); });
    form.HandleClick("RadioButton1Click", [this](Control& sender) { clicks.push_back(sender.Name()); });
    form.HandleScroll("ScrollBar1Scroll", [this](ScrollBar&, int code, int position) {
      scrolls.push_back({code, position});
    });
    form.HandleChange("ScrollBar1Change", [this](Control&) { ++scrollChanges; });
    form.HandleChange("TrackBar1Change", [this](Control&) { ++trackChanges; });
    ASSERT_TRUE(form.CreateForm(kFormSpec, kControls));
    form.Show();
    form.Update();
  }
  void TearDown() override {
    form.Drags().Cancel();
    Application::Instance().Reset();
  }

  // The screen point of a control's client point.
  POINT ScreenOf(const Control& control, int x, int y) {
    POINT point{x, y};
    ::ClientToScreen(control.Handle(), &point);
    return point;
  }

  struct Scroll {
    int code;
    int position;
    friend bool operator==(const Scroll&, const Scroll&) = default;
  };

  Form form;
  std::vector<std::string> clicks;
  std::vector<Scroll> scrolls;
  int scrollChanges = 0;
  int trackChanges = 0;
};

// Where a window lies in its parent window's client area.
RECT PlaceInParent(HWND window) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

TEST_F(FormTest, EveryControlIsAChildWindowAtItsPlaceWithItsTextReadable) {
  struct Case {
    const char* name;
    const wchar_t* windowClass;
    const char* parentWindow;  // nullptr: the form
    RECT place;                // in the parent window's client area
    const wchar_t* text;
  };
  const Case cases[] = {
      {"Bevel1", L"Static", nullptr, {0, 0, 500, 2}, L""},
      {"Panel5", L"VelmoraPanel", nullptr, {8, 8, 129, 177}, L""},
      {"Label11", L"Static", "Panel5", {24, 4, 117, 17}, L"a rather long picture name.jpg"},
      // 13 px high in the table, grown to its font's 14-px line so the text is not clipped.
      {"Label10", L"Static", "Panel5", {4, 152, 114, 166}, L"速度 5 && 顆粒 3"},
      {"Panel13", L"VelmoraPanel", "Panel5", {4, 20, 117, 133}, L""},
      {"Image1", L"VelmoraPicture", "Panel13", {1, 1, 112, 112}, L""},
      {"ScrollBar1", L"ScrollBar", nullptr, {8, 180, 253, 198}, L""},
      {"StaticText1", L"Static", nullptr, {8, 202, 68, 219}, L"1 ~ 8"},
      {"GroupBox1", L"Button", nullptr, {0, 230, 472, 268}, L"特效"},
      // Inside a group box: windows of the form, placed relative to the box.
      {"RadioButton1", L"Button", nullptr, {60, 247, 110, 264}, L"None"},
      {"RadioButton20", L"Button", nullptr, {8, 247, 58, 264}, L"Any"},
      {"RadioButton8", L"Button", nullptr, {12, 286, 92, 303}, L"From left"},
      {"TrackBar1", L"msctls_trackbar32", nullptr, {116, 312, 205, 333}, L""},
      {"RFilterEdit3", L"Edit", nullptr, {404, 6, 433, 28}, L"3"},
      {"UpDown2", L"msctls_updown32", nullptr, {433, 6, 449, 28}, L""},
      {"Shape1", L"VelmoraShape", nullptr, {300, 180, 360, 201}, L""},
      {"SpeedButton6", L"Button", nullptr, {186, 340, 290, 362}, L"保持在最上面"},
      {"ListBox1", L"ListBox", nullptr, {380, 180, 480, 220}, L""},
      {"BitBtn1", L"Button", nullptr, {300, 340, 375, 365}, L"確定"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Control* control = form.FindControl(c.name);
    ASSERT_NE(control, nullptr);
    HWND window = control->Handle();
    ASSERT_TRUE(::IsWindow(window));
    EXPECT_EQ(::GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD, WS_CHILD);
    EXPECT_EQ(_wcsicmp(test::ClassNameOf(window).c_str(), c.windowClass), 0) << test::ClassNameOf(window).c_str();
    HWND parent = c.parentWindow != nullptr ? form.FindControl(c.parentWindow)->Handle() : form.Handle();
    EXPECT_EQ(::GetParent(window), parent);
    const RECT place = PlaceInParent(window);
    EXPECT_EQ(place.left, c.place.left);
    EXPECT_EQ(place.top, c.place.top);
    EXPECT_EQ(place.right, c.place.right);
    EXPECT_EQ(place.bottom, c.place.bottom);
    EXPECT_EQ(test::TextOf(window), c.text);
  }
  // The group box frame lies below the controls inside it, so it does not
  // paint over them.
  HWND box = form.Get<GroupBox>("GroupBox1").Handle();
  for (const char* name : {"RadioButton1", "RadioButton2", "RadioButton20"}) {
    bool above = false;
    for (HWND next = ::GetWindow(form.Get<Control>(name).Handle(), GW_HWNDNEXT); next != nullptr;
         next = ::GetWindow(next, GW_HWNDNEXT)) {
      above = above || next == box;
    }
    EXPECT_TRUE(above) << name;
  }
  // Controls inside a group box report their place relative to the box.
  EXPECT_EQ(form.Get<RadioButton>("RadioButton1").Left(), 60);
  EXPECT_EQ(form.Get<RadioButton>("RadioButton1").Top(), 17);
  // An auto-sized label fits its text and keeps its left edge.
  Label& number = form.Get<Label>("Label8");
  EXPECT_EQ(number.Left(), 8);
  const int twoDigits = number.Width();
  EXPECT_GT(twoDigits, 0);
  number.SetCaption("1");
  EXPECT_LT(number.Width(), twoDigits);
  EXPECT_EQ(test::TextOf(number.Handle()), L"1");
  // A right-aligned one keeps its right edge.
  Label& still = form.Get<Label>("Label4");
  EXPECT_EQ(still.Left() + still.Width(), 401);
  const int shortWidth = still.Width();
  still.SetCaption("靜滯時間");
  EXPECT_GT(still.Width(), shortWidth);
  EXPECT_EQ(still.Left() + still.Width(), 401);
  // The form's children and a group's children in table order.
  std::vector<std::string> slot;
  for (Control* child : form.ChildrenOf(form.FindControl("Panel5"))) slot.push_back(child->Name());
  EXPECT_EQ(slot, (std::vector<std::string>{"Label8", "Label11", "Label10", "Panel13"}));
  std::vector<int> tags;
  for (RadioButton* radio : form.Get<RadioButton>("RadioButton2").Group()) tags.push_back(radio->Tag());
  EXPECT_EQ(tags, (std::vector<int>{0, 1, 7}));
  // The hidden range indicator exists and is hidden; a wrong type is not found.
  EXPECT_FALSE(form.Get<StaticText>("StaticText1").Visible());
  EXPECT_EQ(form.Find<Panel>("Label8"), nullptr);
  EXPECT_THROW(form.Get<Panel>("NoSuchControl"), std::logic_error);
}

TEST_F(FormTest, BadTablesMakeNoForm) {
  const ControlSpec duplicate[] = {{.name = "A", .kind = ControlKind::Label}, {.name = "A", .kind = ControlKind::Label}};
  const ControlSpec parentLater[] = {{.name = "B", .kind = ControlKind::Label, .parent = "P"},
                                     {.name = "P", .kind = ControlKind::Panel}};
  const ControlSpec parentNotContainer[] = {{.name = "L", .kind = ControlKind::Label},
                                            {.name = "B", .kind = ControlKind::Label, .parent = "L"}};
  const std::span<const ControlSpec> tables[] = {duplicate, parentLater, parentNotContainer};
  for (std::span<const ControlSpec> table : tables) {
    Form bad;
    EXPECT_FALSE(bad.CreateForm(kFormSpec, table));
  }
}

TEST_F(FormTest, ClicksOnAPanelAndOnItsLabelsReachTheFormWithTheirSender) {
  struct Case {
    const char* control;
    int x;
    int y;
  };
  const Case cases[] = {{"Panel5", 60, 140}, {"Label11", 10, 5}, {"Label10", 5, 5}};
  for (const Case& c : cases) {
    clicks.clear();
    const POINT point = ScreenOf(form.Get<Control>(c.control), c.x, c.y);
    test::ClickAt(point.x, point.y);
    EXPECT_TRUE(PumpUntil([&] { return !clicks.empty(); }, kWaitMs)) << c.control;
    EXPECT_EQ(clicks, (std::vector<std::string>{c.control}));
  }
}

TEST_F(FormTest, ScrollCodesMoveTheBoxWithinTheRangeAndReportTheNewPosition) {
  ScrollBar& bar = form.Get<ScrollBar>("ScrollBar1");
  // Ten frames scrolled together: range 1 to count + 6 = 18, page 8.
  bar.SetParams(1, 1, 18, 8);
  ASSERT_EQ(scrollChanges, 0) << "a position that did not move is no change";
  struct Case {
    int code;
    int thumb;  // the thumb position the message carries
    int expected;
    bool changed;
  };
  const Case cases[] = {
      {SB_LINERIGHT, 0, 2, true},  {SB_PAGERIGHT, 0, 10, true},  {SB_PAGERIGHT, 0, 11, true},  // at most 18 - 8 + 1
      {SB_LINERIGHT, 0, 11, false}, {SB_THUMBTRACK, 3, 3, true}, {SB_ENDSCROLL, 0, 3, false},
      {SB_THUMBPOSITION, 7, 7, true}, {SB_LINELEFT, 0, 6, true}, {SB_PAGELEFT, 0, 1, true},
      {SB_LEFT, 0, 1, false},       {SB_RIGHT, 0, 11, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    scrolls.clear();
    const int changesBefore = scrollChanges;
    form.Send(WM_HSCROLL, MAKEWPARAM(c.code, c.thumb), reinterpret_cast<LPARAM>(bar.Handle()));
    EXPECT_EQ(scrolls, (std::vector<Scroll>{{c.code, c.expected}}));
    EXPECT_EQ(bar.Position(), c.expected);
    EXPECT_EQ(::GetScrollPos(bar.Handle(), SB_CTL), c.expected);
    EXPECT_EQ(scrollChanges - changesBefore, c.changed ? 1 : 0);
  }
  // A narrower range keeps the position inside what the box can reach.
  bar.SetParams(bar.Position(), 1, 6, 4);
  EXPECT_EQ(bar.Position(), 3);
  EXPECT_EQ(::GetScrollPos(bar.Handle(), SB_CTL), 3);
  EXPECT_EQ(::GetWindowLongPtrW(bar.Handle(), GWL_STYLE) & WS_TABSTOP, 0) << "not reachable by Tab";
}

TEST_F(FormTest, RadioButtonsSelectOnePerGroupAndSilentSelectionRunsNoHandler) {
  RadioButton& none = form.Get<RadioButton>("RadioButton1");
  RadioButton& stretch = form.Get<RadioButton>("RadioButton2");
  RadioButton& any = form.Get<RadioButton>("RadioButton20");
  RadioButton& fromLeft = form.Get<RadioButton>("RadioButton8");
  struct Case {
    const char* what;
    std::function<void()> act;
    std::vector<std::string> clicked;
    RadioButton* selected;
  };
  const Case cases[] = {
      {"selected at creation, silently", [] {}, {}, &none},
      {"select silently", [&] { stretch.SelectSilently(); }, {}, &stretch},
      {"select runs the click handler", [&] { any.Select(); }, {"RadioButton20"}, &any},
      {"selecting the selected one again runs nothing", [&] { any.Select(); }, {}, &any},
      {"a click on the control", [&] {
         form.Send(WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), reinterpret_cast<LPARAM>(none.Handle()));
       }, {"RadioButton1"}, &none},
      {"the down arrow selects the next button of the group", [&] {
         none.SetFocus();
         MSG key{none.Handle(), WM_KEYDOWN, VK_DOWN, 0, 0, {}};
         EXPECT_TRUE(form.PreTranslateMessage(key));
       }, {"RadioButton2"}, &stretch},
      {"the up arrow goes round to the last one", [&] {
         none.SelectSilently();
         none.SetFocus();
         MSG key{none.Handle(), WM_KEYDOWN, VK_UP, 0, 0, {}};
         EXPECT_TRUE(form.PreTranslateMessage(key));
       }, {"RadioButton20"}, &any},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    clicks.clear();
    c.act();
    EXPECT_EQ(clicks, c.clicked);
    for (RadioButton* radio : {&none, &stretch, &any}) EXPECT_EQ(radio->Checked(), radio == c.selected) << radio->Name();
    EXPECT_TRUE(fromLeft.Checked()) << "another group keeps its selection";
  }
}

TEST_F(FormTest, SlidersAndUpDownReportPositionsAndChanges) {
  TrackBar& speed = form.Get<TrackBar>("TrackBar1");
  EXPECT_EQ(speed.Position(), 3);
  EXPECT_EQ(speed.Hint(), "Speed = 81");
  EXPECT_EQ(::SendMessageW(form.ToolTips(), TTM_GETTOOLCOUNT, 0, 0), 1);
  speed.SetHint("Speed = 63");
  EXPECT_EQ(::SendMessageW(form.ToolTips(), TTM_GETTOOLCOUNT, 0, 0), 1) << "the tip is updated, not added again";
  speed.SetPosition(3);
  EXPECT_EQ(trackChanges, 0);
  speed.SetPosition(7);
  EXPECT_EQ(trackChanges, 1);
  speed.SetPosition(20);
  EXPECT_EQ(speed.Position(), 10) << "clamped into the range";
  EXPECT_EQ(trackChanges, 2);
  // The user moves it: the control's own position is read on WM_HSCROLL.
  ::SendMessageW(speed.Handle(), TBM_SETPOS, TRUE, 4);
  form.Send(WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 4), reinterpret_cast<LPARAM>(speed.Handle()));
  EXPECT_EQ(speed.Position(), 4);
  EXPECT_EQ(trackChanges, 3);

  UpDown& still = form.Get<UpDown>("UpDown2");
  Edit& field = form.Get<Edit>("RFilterEdit3");
  struct Case {
    const wchar_t* typed;
    int expected;
  };
  const Case cases[] = {{L"45", 45}, {L"999", 120}, {L"", 120}, {L"x", 120}, {L"0", 0}};
  for (const Case& c : cases) {
    field.SetText(c.typed);
    EXPECT_EQ(still.Position(), c.expected) << std::wstring(c.typed).size();
  }
  still.SetPosition(3);
  EXPECT_EQ(field.Text(), L"3") << "the position shows in the bound edit";
}

TEST_F(FormTest, EnterPressesTheDefaultButtonAndEscapeTheCancelButtonOfAModalForm) {
  struct Case {
    WORD key;
    int result;
  };
  const Case cases[] = {{VK_RETURN, IDOK}, {VK_ESCAPE, IDCANCEL}};
  for (const Case& c : cases) {
    // Pressed once the modal loop runs: posted, so it is read inside it.
    form.HandleMessageNumber(WM_USER + 50, [&] {
      form.Get<Edit>("RFilterEdit3").SetFocus();
      test::PressKey(c.key);
    });
    form.Post(WM_USER + 50);
    EXPECT_EQ(form.ShowModal(), c.result);
    form.Show();
  }
}

TEST_F(FormTest, ToggleButtonStaysDownUntilClickedAgain) {
  SpeedButton& onTop = form.Get<SpeedButton>("SpeedButton6");
  int toggles = 0;
  onTop.onClick = [&](Control&) { ++toggles; };
  const bool expected[] = {true, false, true};
  for (bool down : expected) {
    form.Send(WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), reinterpret_cast<LPARAM>(onTop.Handle()));
    EXPECT_EQ(onTop.IsDown(), down);
    EXPECT_EQ(::SendMessageW(onTop.Handle(), BM_GETCHECK, 0, 0), down ? BST_CHECKED : BST_UNCHECKED);
  }
  EXPECT_EQ(toggles, 3);
  onTop.SetDown(false);
  EXPECT_EQ(toggles, 3) << "setting the state runs no handler";
  form.SetKeepOnTop(true);
  EXPECT_TRUE(form.KeepOnTop());
  form.SetKeepOnTop(false);
  EXPECT_FALSE(form.KeepOnTop());
}

TEST_F(FormTest, PicturesShowColoursAndStretchedPicturesAndClearToTheirParentsColour) {
  PictureBox& picture = form.Get<PictureBox>("Image1");
  Panel& inner = form.Get<Panel>("Panel13");
  inner.SetColour(0x404040);
  DibImage checker(20, 20);  // left half red, right half blue
  checker.Fill(0x0000FF);
  checker.FillRect(Rect{10, 0, 20, 20}, 0xFF0000);
  DibImage mirrored(20, 20);  // the other way round
  mirrored.Fill(0xFF0000);
  mirrored.FillRect(Rect{10, 0, 20, 20}, 0x0000FF);
  struct Case {
    const char* what;
    std::function<void()> show;
    COLORREF left;   // at (10, 55)
    COLORREF right;  // at (100, 55)
  };
  const Case cases[] = {
      {"a colour", [&] { picture.FillColour(0x00FF00); }, RGB(0, 255, 0), RGB(0, 255, 0)},
      {"a picture stretched over the whole control", [&] { picture.SetImage(checker); }, RGB(255, 0, 0),
       RGB(0, 0, 255)},
      {"the next picture of the same size", [&] { picture.SetImage(mirrored); }, RGB(0, 0, 255), RGB(255, 0, 0)},
      {"cleared: the parent's colour", [&] { picture.Clear(); }, RGB(0x40, 0x40, 0x40), RGB(0x40, 0x40, 0x40)},
      {"a system colour", [&] { picture.FillColour(kButtonShadow); }, ::GetSysColor(COLOR_BTNSHADOW),
       ::GetSysColor(COLOR_BTNSHADOW)},
      {"cleared inside a panel of no colour of its own: button face, not the outer panel's colour", [&] {
         form.Get<Panel>("Panel5").SetColour(kButtonShadow);
         inner.SetColour(kDefaultColour);
         picture.Clear();
       }, ::GetSysColor(COLOR_BTNFACE), ::GetSysColor(COLOR_BTNFACE)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.show();
    // Painted at once, without the message loop (the screen may show it a
    // little later: read until it does).
    picture.Refresh();
    const POINT left = ScreenOf(picture, 10, 55);
    const POINT right = ScreenOf(picture, 100, 55);
    PumpUntil([&] {
      return test::ScreenPixel(left.x, left.y) == c.left && test::ScreenPixel(right.x, right.y) == c.right;
    }, kWaitMs);
    EXPECT_EQ(test::ScreenPixel(left.x, left.y), c.left);
    EXPECT_EQ(test::ScreenPixel(right.x, right.y), c.right);
  }
  picture.FillColour(kBlack);
  EXPECT_FALSE(picture.Empty());
  picture.Clear();
  EXPECT_TRUE(picture.Empty());
  EXPECT_EQ(picture.Picture(), nullptr);
}

// A label's new text is painted at once by the message loop, and what its
// old text covered goes back to the panel's colour, whether the label sizes
// itself to its text or not.
TEST_F(FormTest, LabelsRepaintTheirNewTextOverTheirParentsColour) {
  Panel& panel = form.Get<Panel>("Panel5");
  panel.SetColour(kWhite);
  // Pixels not white inside a rectangle of the panel, as the screen shows it.
  const auto inkIn = [&](const RECT& area) {
    POINT origin{area.left, area.top};
    ::ClientToScreen(panel.Handle(), &origin);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    WindowDc screen(nullptr);
    UniqueMemoryDc memory(::CreateCompatibleDC(screen.get()));
    UniqueBitmap bitmap(::CreateCompatibleBitmap(screen.get(), width, height));
    SelectGuard select(memory.get(), bitmap.get());
    ::BitBlt(memory.get(), 0, 0, width, height, screen.get(), origin.x, origin.y, SRCCOPY);
    int ink = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) ink += ::GetPixel(memory.get(), x, y) != RGB(255, 255, 255) ? 1 : 0;
    return ink;
  };
  struct Case {
    const char* label;
    const char* caption;
    bool ink;  // the label's place, old and new, shows text
  };
  const Case cases[] = {
      {"Label11", "WWWWWWWWWWWW", true},
      {"Label11", "", false},
      {"Label8", "88888888", true},
      {"Label8", "", false},
      {"Label8", "7", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.label) + " \"" + c.caption + "\"");
    Label& label = form.Get<Label>(c.label);
    RECT area = label.Bounds();
    label.SetCaption(c.caption);
    const RECT now = label.Bounds();
    ::UnionRect(&area, &area, &now);
    EXPECT_EQ(test::TextOf(label.Handle()), WidenUtf8(c.caption));
    PumpUntil([&] { return (inkIn(area) > 0) == c.ink; }, kWaitMs);
    EXPECT_EQ(inkIn(area) > 0, c.ink);
  }
}

// An edit field class of another module, made by the table's factory: it
// takes digits only, keeps Enter for itself and reports leaving.
class DigitsEdit : public Edit {
 public:
  static std::unique_ptr<Control> Make() { return std::make_unique<DigitsEdit>(); }
  bool WantsKey(UINT key) const override { return key == VK_RETURN; }
  int exits = 0;
  int enters = 0;

 protected:
  bool OnChar(wchar_t character, LPARAM flags) override {
    if (character == L'\r') {
      ++enters;
      return true;
    }
    if (character >= L' ' && (character < L'0' || character > L'9')) return true;  // swallowed
    return Edit::OnChar(character, flags);
  }
  void DoExit() override {
    ++exits;
    Edit::DoExit();
  }
};

TEST_F(FormTest, ADerivedEditFiltersKeysKeepsEnterAndSeesFocusLoss) {
  const ControlSpec controls[] = {
      {.name = "RFilterEdit3", .kind = ControlKind::Edit, .x = 4, .y = 4, .width = 60, .height = 22,
       .onExit = "RFilterEdit3Exit", .create = &DigitsEdit::Make},
      {.name = "Other", .kind = ControlKind::Edit, .x = 4, .y = 30, .width = 60, .height = 22},
      {.name = "OK", .kind = ControlKind::Button, .x = 4, .y = 60, .width = 60, .height = 22, .caption = "OK",
       .modalResult = IDOK, .isDefault = true},
  };
  Form editForm;
  int exitEvents = 0;
  editForm.HandleExit("RFilterEdit3Exit", [&](Control&) { ++exitEvents; });
  ASSERT_TRUE(editForm.CreateForm(kFormSpec, controls));
  editForm.Show();
  auto* field = editForm.Find<DigitsEdit>("RFilterEdit3");
  ASSERT_NE(field, nullptr);
  field->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return field->Focused(); }, kWaitMs));
  for (WORD key : {WORD('1'), WORD('A'), WORD('2'), WORD(VK_RETURN)}) test::PressKey(key);
  EXPECT_TRUE(PumpUntil([&] { return field->enters == 1; }, kWaitMs));
  EXPECT_EQ(field->Text(), L"12");
  EXPECT_EQ(editForm.ModalResult(), 0) << "Enter stayed with the field";
  editForm.Get<Edit>("Other").SetFocus();
  EXPECT_EQ(field->exits, 1);
  EXPECT_EQ(exitEvents, 1);
}

TEST_F(FormTest, ShowHideEventsPinnedSizeAndNextControl) {
  int shown = 0;
  int hidden = 0;
  form.onShow = [&] { ++shown; };
  form.onHide = [&] { ++hidden; };
  form.Hide();
  form.Show();
  EXPECT_EQ(hidden, 1);
  EXPECT_EQ(shown, 1);
  form.PinMaximumSize();
  const RECT before = form.Bounds();
  MINMAXINFO info{};
  form.Send(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMaxTrackSize.x, before.right - before.left);
  EXPECT_EQ(info.ptMaxTrackSize.y, before.bottom - before.top);
  // A control docked at the top spans the client width, also after a resize.
  Control& toolBar = form.Get<Control>("ToolBar2");
  EXPECT_EQ(toolBar.Width(), 508);
  form.SetClientSize(400, 379);
  EXPECT_EQ(toolBar.Width(), 400);
  EXPECT_EQ(toolBar.Top(), 366);
  // WM_NEXTDLGCTL, as a field asks for the next control.
  form.Get<Edit>("RFilterEdit3").SetFocus();
  form.Send(WM_NEXTDLGCTL, 0, 0);
  EXPECT_NE(form.FocusedControl(), form.FindControl("RFilterEdit3"));
  form.Send(WM_NEXTDLGCTL, 1, 0);
  EXPECT_EQ(form.FocusedControl(), form.FindControl("RFilterEdit3"));
}

// ---- Drag and drop ---------------------------------------------------------

// The editor's rule, kept by the caller: a press that moves more than five
// pixels (horizontal plus vertical distance) becomes a drag.
class DragTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    for (const char* name : {"Image1", "Image2", "Image3"}) {
      PictureBox& picture = form.Get<PictureBox>(name);
      picture.onMouseDown = [this](Control&, MouseButton, int x, int y, WPARAM) {
        pressed = true;
        press = {x, y};
      };
      picture.onMouseMove = [this](Control& sender, int x, int y, WPARAM) {
        moved = {x, y};
        if (pressed && std::abs(x - press.x) + std::abs(y - press.y) > 5) {
          pressed = false;
          sender.BeginDrag();
        }
      };
      picture.onMouseUp = [this](Control& sender, MouseButton, int, int, WPARAM) {
        if (pressed) events.push_back("click " + sender.Name());
        pressed = false;
      };
      // Image3 refuses drops.
      picture.onDragOver = [this](Control& target, Control& source, int, int) {
        overs.push_back(target.Name() + "<" + source.Name());
        return target.Name() != "Image3";
      };
      picture.onDragDrop = [this](Control& target, Control& source, int, int) {
        events.push_back("drop " + source.Name() + " on " + target.Name());
      };
    }
  }

  // Real input: the pointer moves in steps, as a hand would.
  void MoveTo(POINT point) {
    ::SetCursorPos(point.x, point.y);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE;
    ::SendInput(1, &input, sizeof(input));
  }
  void Button(bool down) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    ::SendInput(1, &input, sizeof(input));
  }

  bool pressed = false;
  POINT press{};
  POINT moved{};
  std::vector<std::string> events;
  std::vector<std::string> overs;
};

TEST_F(DragTest, ARealPressMovedFarEnoughDragsAndDropsWhereAccepted) {
  struct Case {
    const char* target;  // where the pointer is released
    int moveX;           // first move from the press, before heading to the target
    int moveY;
    std::vector<std::string> events;
  };
  const Case cases[] = {
      {"Image1", 2, 3, {"click Image1"}},              // 5 pixels: still a click
      {"Image2", 3, 3, {"drop Image1 on Image2"}},     // 6 pixels: a drag
      {"Image3", 3, 3, {}},                            // refused: no drop
  };
  PictureBox& source = form.Get<PictureBox>("Image1");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    events.clear();
    overs.clear();
    const POINT start = ScreenOf(source, 50, 50);
    MoveTo(start);
    ASSERT_TRUE(PumpUntil([&] { return ::WindowFromPoint(start) == source.Handle(); }, kWaitMs));
    Button(true);
    ASSERT_TRUE(PumpUntil([&] { return pressed; }, kWaitMs));
    MoveTo({start.x + c.moveX, start.y + c.moveY});
    const bool dragging = std::string(c.target) != "Image1";
    ASSERT_TRUE(PumpUntil([&] { return moved.x == 50 + c.moveX && moved.y == 50 + c.moveY; }, kWaitMs));
    EXPECT_EQ(source.Dragging(), dragging);
    const POINT end = ScreenOf(form.Get<Control>(c.target), 40, 40);
    if (dragging) {
      MoveTo(end);
      const std::string over = std::string(c.target) + "<Image1";
      ASSERT_TRUE(PumpUntil([&] { return !overs.empty() && overs.back() == over; }, kWaitMs));
    }
    Button(false);
    ASSERT_TRUE(PumpUntil([&] { return !source.Dragging() && !pressed && ::GetCapture() == nullptr; }, kWaitMs));
    PumpUntil([&] { return events.size() >= c.events.size(); }, kWaitMs);
    EXPECT_EQ(events, c.events);
  }
}

TEST_F(DragTest, SyntheticMessagesDropAndEscapeOrLostCaptureCancel) {
  PictureBox& source = form.Get<PictureBox>("Image2");
  PictureBox& target = form.Get<PictureBox>("Image1");
  // Client coordinates of the source for a point over the target.
  POINT overTarget = ScreenOf(target, 30, 30);
  ::ScreenToClient(source.Handle(), &overTarget);
  const LPARAM at = MAKELPARAM(overTarget.x, overTarget.y);
  struct Case {
    const char* what;
    std::function<void()> end;
    std::vector<std::string> events;
  };
  const Case cases[] = {
      {"release over the target", [&] { source.Send(WM_LBUTTONUP, 0, at); }, {"drop Image2 on Image1"}},
      {"Escape", [&] { source.Send(WM_KEYDOWN, VK_ESCAPE, 0); source.Send(WM_LBUTTONUP, 0, at); }, {}},
      {"Escape pressed, with a cancel button on the form", [&] {
         test::PressKey(VK_ESCAPE);
         PumpUntil([&] { return !source.Dragging(); }, kWaitMs);
         source.Send(WM_LBUTTONUP, 0, at);
       }, {}},
      {"capture taken away", [&] { ::ReleaseCapture(); source.Send(WM_LBUTTONUP, 0, at); }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    events.clear();
    overs.clear();
    source.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    source.Send(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(14, 12));
    ASSERT_TRUE(source.Dragging());
    EXPECT_EQ(::GetCapture(), source.Handle());
    source.Send(WM_MOUSEMOVE, MK_LBUTTON, at);
    EXPECT_EQ(overs, (std::vector<std::string>{"Image1<Image2"}));
    c.end();
    EXPECT_FALSE(source.Dragging());
    EXPECT_EQ(events, c.events);
    EXPECT_EQ(form.ModalResult(), 0) << "Escape did not reach the cancel button";
  }
}

}  // namespace
}  // namespace velmora
