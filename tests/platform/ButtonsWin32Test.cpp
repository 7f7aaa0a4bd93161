// Button faces: a push button with a glyph and a speed button (flat on a
// tool bar, or raised) paint their caption in the font colour when they
// have one, in the button-text colour when not, and grey when disabled.
// A check box turns its mark on a click and then runs onClick; setting the
// mark runs nothing.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ApplicationWin32.h"
#include "platform/DibImageWin32.h"
#include "platform/FormWin32.h"

namespace velmora {
namespace {

// The buttons with their painter within reach.
class FaceButton : public Button {
 public:
  static std::unique_ptr<Control> Make() { return std::make_unique<FaceButton>(); }
  using Button::DrawFace;
};
class FaceSpeedButton : public SpeedButton {
 public:
  static std::unique_ptr<Control> Make() { return std::make_unique<FaceSpeedButton>(); }
  using SpeedButton::DrawFace;
};

constexpr int kWidth = 90;
constexpr int kHeight = 24;
constexpr TColor kGreen = 0x00C000;

const ControlSpec kControls[] = {
    {.name = "BitBtn1", .kind = ControlKind::Button, .x = 4, .y = 4, .width = kWidth, .height = kHeight,
     .caption = "WWW", .create = &FaceButton::Make},
    {.name = "Flat", .kind = ControlKind::SpeedButton, .x = 4, .y = 32, .width = kWidth, .height = kHeight,
     .caption = "WWW", .flat = true, .groupIndex = 1, .allowAllUp = true, .create = &FaceSpeedButton::Make},
    {.name = "Raised", .kind = ControlKind::SpeedButton, .x = 4, .y = 60, .width = kWidth, .height = kHeight,
     .caption = "WWW", .create = &FaceSpeedButton::Make},
    {.name = "Box", .kind = ControlKind::Button, .x = 100, .y = 4, .width = kWidth, .height = 17,
     .caption = "Box", .onClick = "BoxClick", .create = &CheckBox::Make},
};

const FormSpec kFormSpec{.name = "Faces", .caption = "Faces", .clientWidth = 200, .clientHeight = 100,
                         .border = FormBorder::None};

// A 16 x 16 glyph: a blue square on a magenta ground (its bottom-left
// pixel, so transparent).
UniqueBitmap MakeGlyph() {
  DibImage image(16, 16);
  image.Fill(0xFF00FF);
  image.FillRect(Rect{4, 4, 12, 12}, 0xFF0000);
  UniqueBitmap copy(static_cast<HBITMAP>(::CopyImage(image.Bitmap(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  return copy;
}

class ButtonFaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Application::Instance().Initialize(::GetModuleHandleW(nullptr), L"Velmora test"));
    Application::Instance().Reset();
    form.HandleClick("BoxClick",
                     [this](Control& sender) { boxSeen.push_back(static_cast<CheckBox&>(sender).Checked()); });
    ASSERT_TRUE(form.CreateForm(kFormSpec, kControls));
    form.Get<Button>("BitBtn1").SetGlyph(MakeGlyph());
  }
  void TearDown() override { Application::Instance().Reset(); }

  // Paints a button's face off screen, as WM_DRAWITEM would.
  void Paint(Control& button, UINT state, DibImage& image) {
    image.Fill(0x808080);
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.hwndItem = button.Handle();
    item.itemState = state;
    item.hDC = image.Dc();
    item.rcItem = RECT{0, 0, kWidth, kHeight};
    if (auto* speed = dynamic_cast<FaceSpeedButton*>(&button)) {
      speed->DrawFace(item);
    } else {
      static_cast<FaceButton&>(button).DrawFace(item);
    }
    ::GdiFlush();
  }

  static int Count(const DibImage& image, COLORREF colour) {
    int count = 0;
    for (int y = 0; y < image.Height(); ++y) {
      const std::uint8_t* row = image.Bits() + static_cast<size_t>(y) * image.Stride();
      for (int x = 0; x < image.Width(); ++x) {
        const std::uint8_t* p = row + 3 * x;
        if (RGB(p[2], p[1], p[0]) == colour) ++count;
      }
    }
    return count;
  }

  Form form;
  std::vector<bool> boxSeen;  // the check box's mark as each of its onClick saw it
};

TEST_F(ButtonFaceTest, EveryKindPaintsItsCaptionInTheFontColour) {
  struct Case {
    const char* button;
    TColor fontColour;
    UINT state;
    COLORREF caption;  // must be there
    COLORREF absent;   // must not be there
  };
  const COLORREF green = RGB(0, 0xC0, 0);
  const COLORREF text = ::GetSysColor(COLOR_BTNTEXT);
  const COLORREF grey = ::GetSysColor(COLOR_GRAYTEXT);
  const Case cases[] = {
      {"BitBtn1", kGreen, 0, green, text},
      {"BitBtn1", kGreen, ODS_SELECTED | ODS_FOCUS, green, text},
      {"BitBtn1", kDefaultColour, 0, text, green},
      {"BitBtn1", kGreen, ODS_DISABLED, grey, green},
      {"Flat", kGreen, 0, green, text},
      {"Flat", kGreen, ODS_SELECTED, green, text},
      {"Flat", kDefaultColour, 0, text, green},
      {"Flat", kGreen, ODS_DISABLED, grey, green},
      {"Raised", kGreen, 0, green, text},
      {"Raised", kDefaultColour, ODS_FOCUS, text, green},
  };
  for (const char* name : {"BitBtn1", "Flat", "Raised"}) form.Get<Control>(name).SetCaption("WWW WWW");
  DibImage image(kWidth, kHeight);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.button) + " state " + std::to_string(c.state));
    Control& button = form.Get<Control>(c.button);
    button.SetFontColour(c.fontColour);
    Paint(button, c.state, image);
    EXPECT_GT(Count(image, c.caption), 10);
    EXPECT_EQ(Count(image, c.absent), 0);
  }
}

TEST_F(ButtonFaceTest, CheckBoxTurnsOnAClickAndRunsOnClickAfterIt) {
  auto& box = form.Get<CheckBox>("Box");
  const LONG_PTR style = ::GetWindowLongPtrW(box.Handle(), GWL_STYLE);
  EXPECT_EQ(style & BS_TYPEMASK, BS_AUTOCHECKBOX);
  EXPECT_NE(style & WS_TABSTOP, 0);

  enum class Step { Click, Set, Clear };
  struct Case {
    Step step;
    bool checked;
    std::vector<bool> seen;
  };
  const Case cases[] = {
      {Step::Click, true, {true}},
      {Step::Click, false, {true, false}},
      {Step::Set, true, {true, false}},
      {Step::Click, false, {true, false, false}},
      {Step::Set, true, {true, false, false}},
      {Step::Clear, false, {true, false, false}},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE("step " + std::to_string(index++));
    if (c.step == Step::Click) {
      box.Send(BM_CLICK);
    } else {
      box.SetChecked(c.step == Step::Set);
    }
    EXPECT_EQ(box.Checked(), c.checked);
    EXPECT_EQ(boxSeen, c.seen);
  }
}

}  // namespace
}  // namespace velmora
