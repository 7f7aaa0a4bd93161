#include "editor/EditWindowWin32.h"

#include <array>
#include <memory>
#include <vector>

#include "controls/RFilterEditWin32.h"
#include "editor/EditFrame.h"
#include "editor/RecordPathWin32.h"
#include "fade/PictureProbe.h"
#include "frames/EffectCatalogue.h"
#include "frames/FrameList.h"
#include "frames/ShowOptions.h"
#include "platform/ApplicationWin32.h"
#include "platform/DialogsWin32.h"

namespace velmora {

namespace {

constexpr FontSpec kMing9{.face = "細明體", .points = 9};
constexpr FontSpec kMing9Bold{.face = "細明體", .points = 9, .bold = true};

// The effect buttons in group order (position = effect code) and the
// direction buttons in group order.
constexpr std::array<const char*, EffectButtonCount> kEffectButtons = {
    "RadioButton1", "RadioButton2", "RadioButton3", "RadioButton4",
    "RadioButton5", "RadioButton6", "RadioButton7", "RadioButton20"};
constexpr std::array<const char*, DirectionButtonCount> kDirectionButtons = {
    "RadioButton8",  "RadioButton9",  "RadioButton10", "RadioButton11",
    "RadioButton13", "RadioButton12", "RadioButton14", "RadioButton15",
    "RadioButton16", "RadioButton17", "RadioButton18", "RadioButton19"};
constexpr std::array<const char*, 4> kStillGroup = {"Label4", "RFilterEdit3", "UpDown2", "Label5"};

// The path field's width, and its width beside the "include subfolders"
// box of a folder frame (96-DPI pixels).
constexpr int kPathWidth = 367;
constexpr int kFolderPathWidth = 255;

constexpr ControlSpec Effect(const char* name, const char* caption, int x, int width, int tag,
                             TColor colour, bool down = false) {
  return {.name = name, .kind = ControlKind::RadioButton, .parent = "GroupBox1", .x = x, .y = 17,
          .width = width, .height = 17, .caption = caption, .font = kMing9,
          .fontColour = colour, .tag = tag, .down = down, .onClick = "RadioButton1Click"};
}

constexpr ControlSpec Direction(const char* name, int position) {
  constexpr int kColumns[] = {12, 124, 244, 352};
  return {.name = name, .kind = ControlKind::RadioButton, .parent = "GroupBox3",
          .x = kColumns[position % 4], .y = 16 + 16 * (position / 4), .width = 108, .height = 16,
          .caption = name, .font = kMing9, .fontColour = kNavy, .tag = position,
          .onClick = "RadioButton8Click"};
}

const ControlSpec kControls[] = {
    {.name = "ToolBar2", .kind = ControlKind::ToolBar, .height = 29, .dock = Dock::Top, .flat = true},
    {.name = "SpeedButton2", .kind = ControlKind::SpeedButton, .parent = "ToolBar2", .x = 0, .y = 2,
     .width = 89, .height = 22, .caption = "Color", .flat = true, .onClick = "SpeedButton2Click"},
    {.name = "SpeedButton3", .kind = ControlKind::SpeedButton, .parent = "ToolBar2", .x = 89, .y = 2,
     .width = 89, .height = 22, .caption = "Picture", .flat = true, .onClick = "SpeedButton3Click"},
    // The dividers between the button pairs: etched lines in 8-pixel gaps.
    {.name = "ToolButton2", .kind = ControlKind::Bevel, .parent = "ToolBar2", .x = 181, .y = 2,
     .width = 2, .height = 22},
    {.name = "SpeedButton6", .kind = ControlKind::SpeedButton, .parent = "ToolBar2", .x = 186, .y = 2,
     .width = 104, .height = 22, .caption = "Stay On Top", .flat = true, .groupIndex = 1,
     .allowAllUp = true, .onClick = "SpeedButton6Click"},
    {.name = "ToolButton4", .kind = ControlKind::Bevel, .parent = "ToolBar2", .x = 293, .y = 2,
     .width = 2, .height = 22},
    {.name = "SpeedButton7", .kind = ControlKind::SpeedButton, .parent = "ToolBar2", .x = 298, .y = 2,
     .width = 103, .height = 22, .caption = "Apply", .flat = true, .onClick = "SpeedButton7Click"},
    {.name = "Panel2", .kind = ControlKind::Panel, .x = 0, .y = 29, .width = 472, .height = 32},
    {.name = "Shape1", .kind = ControlKind::Shape, .parent = "Panel2", .x = 4, .y = 6, .width = 367,
     .height = 21, .colour = kWhite, .visible = false},
    {.name = "RFilterEdit1", .kind = ControlKind::Edit, .parent = "Panel2", .x = 8, .y = 6,
     .width = kPathWidth, .height = 22, .font = {.pixels = 13}, .colour = kButtonFace, .visible = false,
     .onEnter = "RFilterEdit1Enter", .onExit = "RFilterEdit1Exit", .create = &TRFilterEdit::Make},
    {.name = "CheckBox1", .kind = ControlKind::Button, .parent = "Panel2", .x = 8 + kFolderPathWidth + 6, .y = 8,
     .width = 104, .height = 17, .caption = "Include Subfolders", .font = kMing9, .visible = false,
     .onClick = "CheckBox1Click", .create = &CheckBox::Make},
    {.name = "Label4", .kind = ControlKind::Label, .parent = "Panel2", .x = 375, .y = 12, .width = 26,
     .height = 12, .caption = "Still", .font = kMing9, .alignment = TextAlign::Right,
     .autoSize = true, .visible = false},
    {.name = "RFilterEdit3", .kind = ControlKind::Edit, .parent = "Panel2", .x = 404, .y = 6,
     .width = 29, .height = 22, .caption = "3", .font = {.face = "Arial", .pixels = 13},
     .fontColour = kNavy, .visible = false, .hint = "Still for ... sec", .maxLength = 3,
     .create = &TRFilterEdit::Make},
    {.name = "UpDown2", .kind = ControlKind::UpDown, .parent = "Panel2", .x = 433, .y = 6, .width = 16,
     .height = 22, .visible = false, .min = 0, .max = 120, .position = 3, .associate = "RFilterEdit3"},
    {.name = "Label5", .kind = ControlKind::Label, .parent = "Panel2", .x = 452, .y = 12, .width = 14,
     .height = 12, .caption = "Sec", .font = kMing9, .autoSize = true, .visible = false},
    {.name = "GroupBox1", .kind = ControlKind::GroupBox, .x = 0, .y = 61, .width = 472, .height = 38,
     .caption = "Effect", .font = kMing9Bold},
    Effect("RadioButton1", "None", 60, 50, 0, kMaroon, true),
    Effect("RadioButton2", "Stretch", 112, 56, 1, kMaroon),
    Effect("RadioButton3", "Push", 170, 55, 2, kMaroon),
    Effect("RadioButton4", "Slide", 227, 52, 3, kMaroon),
    Effect("RadioButton5", "Dissolve", 281, 63, 4, kMaroon),
    Effect("RadioButton6", "Blend", 346, 52, 5, kMaroon),
    Effect("RadioButton7", "Discover", 400, 66, 6, kMaroon),
    Effect("RadioButton20", "Any", 8, 50, 7, kRed),
    {.name = "GroupBox3", .kind = ControlKind::GroupBox, .x = 0, .y = 99, .width = 472, .height = 69,
     .caption = "Direction", .font = kMing9Bold},
    Direction("RadioButton8", 0),  Direction("RadioButton9", 1),   Direction("RadioButton10", 2),
    Direction("RadioButton11", 3), Direction("RadioButton13", 4),  Direction("RadioButton12", 5),
    Direction("RadioButton14", 6), Direction("RadioButton15", 7),  Direction("RadioButton16", 8),
    Direction("RadioButton17", 9), Direction("RadioButton18", 10), Direction("RadioButton19", 11),
    {.name = "GroupBox2", .kind = ControlKind::GroupBox, .x = 0, .y = 168, .width = 472, .height = 38},
    {.name = "Label2", .kind = ControlKind::Label, .parent = "GroupBox2", .x = 15, .y = 14,
     .width = 30, .height = 12, .caption = "Speed", .font = kMing9, .alignment = TextAlign::Right,
     .autoSize = true},
    {.name = "Label1", .kind = ControlKind::Label, .parent = "GroupBox2", .x = 52, .y = 13,
     .width = 60, .height = 12, .caption = "(Fast - Slow)", .font = kMing9, .autoSize = true},
    {.name = "TrackBar1", .kind = ControlKind::TrackBar, .parent = "GroupBox2", .x = 116, .y = 14,
     .width = 89, .height = 21, .hint = "Speed = ", .min = 0, .max = 10, .position = 3, .page = 1,
     .tickFrequency = 1, .onChange = "TrackBar1Change"},
    {.name = "Label3", .kind = ControlKind::Label, .parent = "GroupBox2", .x = 267, .y = 14,
     .width = 30, .height = 12, .caption = "Dots", .font = kMing9, .alignment = TextAlign::Right,
     .autoSize = true},
    {.name = "Label7", .kind = ControlKind::Label, .parent = "GroupBox2", .x = 304, .y = 13,
     .width = 60, .height = 12, .caption = "(Small - Large)", .font = kMing9, .autoSize = true},
    {.name = "TrackBar2", .kind = ControlKind::TrackBar, .parent = "GroupBox2", .x = 372, .y = 14,
     .width = 89, .height = 19, .hint = "DotSize = ", .min = 0, .max = 10, .position = 3, .page = 1,
     .tickFrequency = 1, .onChange = "TrackBar2Change"},
};

constexpr FormSpec kForm{.name = "PMain1", .caption = "PMain1", .clientWidth = 472,
                         .clientHeight = 206, .x = 208, .y = 111,
                         .position = FormPosition::Designed, .border = FormBorder::ToolWindow,
                         .font = kMing9};

}  // namespace

std::optional<std::string> PrepareRecordPath(const std::wstring& typed) {
  std::wstring full(32768, L'\0');
  const DWORD length = ::GetFullPathNameW(typed.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length == 0 || length >= full.size()) return std::nullopt;
  full.resize(length);
  return PathForRecord(full);
}

TPMain1::TPMain1(MainWindowLink& main) : main_(main) {
  HandleClick("SpeedButton2Click", [this](Control&) { SpeedButton2Click(); });
  HandleClick("SpeedButton3Click", [this](Control&) { SpeedButton3Click(); });
  HandleClick("SpeedButton6Click", [this](Control&) { SpeedButton6Click(); });
  HandleClick("SpeedButton7Click", [this](Control&) { SpeedButton7Click(); });
  HandleClick("CheckBox1Click", [this](Control&) { CheckBox1Click(); });
  HandleClick("RadioButton1Click", [this](Control& sender) { RadioButton1Click(sender); });
  HandleClick("RadioButton8Click", [this](Control& sender) { RadioButton8Click(sender); });
  HandleChange("TrackBar1Change", [this](Control&) { TrackBar1Change(); });
  HandleChange("TrackBar2Change", [this](Control&) { TrackBar2Change(); });
  HandleEnter("RFilterEdit1Enter", [this](Control&) { RFilterEdit1Enter(); });
  HandleExit("RFilterEdit1Exit", [this](Control&) { RFilterEdit1Exit(); });
  HandleMessageNumber(CurrentFrameMessage, [this] { LoadCurrentFrame(); });
}

bool TPMain1::Create(HWND owner) { return CreateForm(kForm, kControls, owner); }

// Called once the controls exist: run-time captions and fonts.
void TPMain1::FormCreate() {
  Get<SpeedButton>("SpeedButton3").LoadGlyph(L"OPENFOLDER");
  auto& path = Get<TRFilterEdit>("RFilterEdit1");
  path.SetColour(kButtonFace);
  path.SetValidChars(L"[]");
  auto& still = Get<TRFilterEdit>("RFilterEdit3");
  still.SetValidChars(L"[0..9]");
  PinMaximumSize();
  SetCaption("Velmora 99 - 次編輯畫面");
  Get<Control>("SpeedButton2").SetCaption("純色");
  Get<Control>("SpeedButton3").SetCaption("圖案");
  Get<Control>("SpeedButton6").SetCaption("保持在最上面");
  Get<Control>("SpeedButton7").SetCaption("套用");
  Get<Control>("Label4").SetCaption("靜滯");
  Get<Control>("Label5").SetCaption("秒");
  Get<Control>("CheckBox1").SetCaption("包含子資料夾");
  // The form places its controls again at a new DPI from their table:
  // the path field narrows again beside the box of a folder frame.
  onDpiChanged = [this] {
    if (folderShown_) Get<Control>("RFilterEdit1").SetWidth(Scale(kFolderPathWidth));
  };
  Get<Control>("GroupBox1").SetCaption("特效");
  Get<Control>("GroupBox3").SetCaption("方向");
  Get<Control>("Label2").SetCaption("速度");
  Get<Control>("Label1").SetCaption("（快 - 慢）");
  Get<Control>("Label3").SetCaption("顆粒");
  Get<Control>("Label7").SetCaption("（小 - 大）");
  for (std::size_t i = 0; i < kEffectButtons.size(); ++i)
    Get<Control>(kEffectButtons[i]).SetCaption(EffectNames[i]);
  // The group boxes' buttons and sliders are their siblings: the frames go
  // beneath them so that they do not paint over them.
  for (const char* box : {"GroupBox1", "GroupBox3", "GroupBox2"})
    ::SetWindowPos(Get<Control>(box).Handle(), HWND_BOTTOM, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// Called when the window is shown: the View menu's tick follows, and the
// controls show the frame that is current now (it may have changed while
// the window was hidden).
void TPMain1::FormShow() {
  main_.SetEditWindowTick(true);
  Post(CurrentFrameMessage);
}

// Called when the window is hidden (also by its own close box).
void TPMain1::FormHide() { main_.SetEditWindowTick(false); }

FrameRecord* TPMain1::CurrentFrame() const {
  if (!TheFrameList) return nullptr;
  const int index = main_.CurrentFrameIndex();
  if (index < 1 || static_cast<std::size_t>(index) >= TheFrameList->Count()) return nullptr;
  return &TheFrameList->At(static_cast<std::size_t>(index));
}

void TPMain1::PostToMain(UINT message) {
  if (HWND mainWindow = main_.MainHandle()) ::PostMessageW(mainWindow, message, 0, 0);
}

void TPMain1::LayoutDirections(std::int32_t effect) {
  const DirectionLayout layout = velmora::LayoutDirections(effect);
  for (int i = 0; i < DirectionButtonCount; ++i) {
    auto& button = Get<RadioButton>(kDirectionButtons[static_cast<std::size_t>(i)]);
    if (i < layout.count) {
      const std::uint8_t code = layout.codes[static_cast<std::size_t>(i)];
      button.SetCaption(DirectionNames[code]);
      button.SetTag(code);
      button.SetVisible(true);
    } else {
      button.SetVisible(false);
    }
  }
}

void TPMain1::ShowSliders(std::int32_t effect, int direction) {
  const SliderVisibility shown = velmora::ShowSliders(effect, direction);
  Get<Control>("TrackBar1").SetVisible(shown.speed);
  Get<Control>("Label2").SetVisible(shown.speed);
  Get<Control>("Label1").SetVisible(shown.speed);
  Get<Control>("TrackBar2").SetVisible(shown.dotSize);
  Get<Control>("Label3").SetVisible(shown.dotSize);
  Get<Control>("Label7").SetVisible(shown.dotSize);
}

void TPMain1::ShowStillGroup(bool visible) {
  for (const char* name : kStillGroup) Get<Control>(name).SetVisible(visible);
}

void TPMain1::ShowEffectButtons(bool visible) {
  for (const char* name : kEffectButtons) Get<Control>(name).SetVisible(visible);
}

void TPMain1::SetStillTime(std::int32_t seconds) {
  lastStillTime_ = ClampStillTime(seconds);
  Get<UpDown>("UpDown2").SetPosition(lastStillTime_);
  Get<Control>("RFilterEdit3").SetText(std::to_wstring(lastStillTime_));
}

std::int32_t TPMain1::StillTime() {
  lastStillTime_ = StillTimeFromText(Get<Control>("RFilterEdit3").Text(), lastStillTime_);
  return lastStillTime_;
}

// CurrentFrameMessage: the controls show the current frame.
void TPMain1::LoadCurrentFrame() {
  const FrameRecord* frame = CurrentFrame();
  if (frame == nullptr) return;
  const FrameView view = ViewOfFrame(*frame);
  auto& shape = Get<Shape>("Shape1");
  shape.SetVisible(view.colourShown);
  if (view.colourShown) shape.SetBrushColour(view.colour);
  auto& path = Get<TRFilterEdit>("RFilterEdit1");
  path.SetVisible(view.pathShown);
  if (view.pathShown) path.SetTextAnsi(view.path);
  ShowFolderBox(view.folderShown, view.includeSubfolders);
  ShowStillGroup(view.stillShown);
  SetStillTime(view.stillTime);
  ShowEffectButtons(view.stillShown);
  if (view.effectButton >= 0) {
    Get<RadioButton>(kEffectButtons[static_cast<std::size_t>(view.effectButton)]).SelectSilently();
  } else {
    // No button stands for the frame's effect: none shows another frame's.
    for (const char* name : kEffectButtons) Get<RadioButton>(name).Uncheck();
  }
  LayoutDirections(frame->Effect);
  if (view.directionButton >= 0)
    Get<RadioButton>(kDirectionButtons[static_cast<std::size_t>(view.directionButton)]).SelectSilently();
  ShowSliders(frame->Effect, frame->Direction);
  if (view.sliders.speed) Get<TrackBar>("TrackBar1").SetPosition(view.speed, false);
  if (view.sliders.dotSize) Get<TrackBar>("TrackBar2").SetPosition(view.dotSize, false);
}

// An effect button was clicked: lay out its directions and store the first.
void TPMain1::RadioButton1Click(Control& sender) {
  LayoutDirections(sender.Tag());
  auto& first = Get<RadioButton>(kDirectionButtons[0]);
  if (first.Checked()) {
    RadioButton8Click(first);
  } else {
    first.Select();
  }
}

// A direction button was clicked: the effect, the direction and the shown
// sliders' positions go into the frame.
void TPMain1::RadioButton8Click(Control& sender) {
  std::int32_t effect = 0;
  for (const char* name : kEffectButtons) {
    auto& button = Get<RadioButton>(name);
    if (button.Checked()) {
      effect = button.Tag();
      break;
    }
  }
  FrameRecord* frame = CurrentFrame();
  if (frame == nullptr) {
    ShowSliders(effect, sender.Tag() & 0xFF);
    return;
  }
  StoreDirectionChoice(*frame, effect, sender.Tag(), Get<TrackBar>("TrackBar1").Position(),
                       Get<TrackBar>("TrackBar2").Position());
  ShowSliders(frame->Effect, frame->Direction);
  PostToMain(FrameSettingsMessage);
}

void TPMain1::TrackBar1Change() {
  FrameRecord* frame = CurrentFrame();
  if (frame == nullptr) return;
  auto& slider = Get<TrackBar>("TrackBar1");
  if (auto hint = MoveSpeedSlider(*frame, slider.Position())) {
    slider.SetHint(*hint);
    PostToMain(FrameSettingsMessage);
  }
}

void TPMain1::TrackBar2Change() {
  FrameRecord* frame = CurrentFrame();
  if (frame == nullptr) return;
  auto& slider = Get<TrackBar>("TrackBar2");
  if (auto hint = MoveDotSizeSlider(*frame, slider.Position())) {
    slider.SetHint(*hint);
    PostToMain(FrameSettingsMessage);
  }
}

// Pure colour: the system colour dialog; the frame changes on apply.
void TPMain1::SpeedButton2Click() {
  auto& shape = Get<Shape>("Shape1");
  const std::optional<COLORREF> colour = ChooseColour(Handle(), ToColorRef(shape.BrushColour()));
  if (!colour) return;
  auto& path = Get<TRFilterEdit>("RFilterEdit1");
  shape.SetBrushColour(static_cast<TColor>(*colour));
  shape.SetLeft(Scale(4));
  if (shape.Visible() && !path.Visible()) SetStillTime(DefaultStillTime);
  path.SetVisible(false);
  ShowFolderBox(false, true);
  shape.SetVisible(true);
  ShowStillGroup(true);
  ShowEffectButtons(true);
}

// Picture: the picture dialog; the frame changes on apply.
void TPMain1::SpeedButton3Click() {
  OpenDialogOptions options;
  options.filter = WithSystemDecodedKinds(kPictureFilter);
  options.multiSelect = false;
  options.picturePreview = true;
  const OpenDialogResult chosen = RunOpenDialog(Handle(), options);
  if (chosen.status != OpenDialogStatus::Ok || chosen.paths.empty()) return;
  auto& shape = Get<Shape>("Shape1");
  auto& path = Get<TRFilterEdit>("RFilterEdit1");
  path.SetText(chosen.paths.front());
  ShowFolderBox(false, true);
  path.SetLeft(Scale(4));
  if (shape.Visible() && !path.Visible()) SetStillTime(DefaultStillTime);
  path.SetVisible(true);
  shape.SetVisible(false);
  ShowStillGroup(true);
  ShowEffectButtons(true);
}

void TPMain1::SpeedButton6Click() { SetKeepOnTop(Get<SpeedButton>("SpeedButton6").IsDown()); }

// Apply: the content and the still time go into the frame; on the trailing
// entry a new frame is made first.
void TPMain1::SpeedButton7Click() {
  if (!TheFrameList) return;
  const int current = main_.CurrentFrameIndex();
  if (current < 1 || static_cast<std::size_t>(current) >= TheFrameList->Count()) return;
  auto& path = Get<TRFilterEdit>("RFilterEdit1");
  auto& shape = Get<Shape>("Shape1");
  ApplyChoice choice;
  choice.pathShown = path.Visible();
  choice.colourShown = shape.Visible() && !choice.pathShown;
  choice.colour = shape.BrushColour();
  choice.stillTime = StillTime();
  choice.folder = choice.pathShown && folderShown_;
  choice.includeSubfolders = Get<CheckBox>("CheckBox1").Checked();
  if (choice.pathShown) {
    const std::wstring typed = path.Text();
    if (!typed.empty()) {
      const std::optional<std::string> recordPath = PrepareRecordPath(typed);
      if (!recordPath) {
        ShowMessage(Handle(), RefusedPicturePathMessage(NarrowToUtf8(typed)), MessageKind::Warning);
        return;
      }
      choice.path = *recordPath;
      path.SetTextAnsi(choice.path);
    }
  }
  const ApplyResult result = ApplyFrameChoice(
      *TheFrameList, static_cast<std::size_t>(current), choice, [this](const std::string& picture) {
        const std::int32_t number = main_.TakeThumbNumber();
        return std::pair<bool, std::int32_t>{main_.MakeThumbnail(picture, number), number};
      });
  if (result.inserted) {
    main_.RefreshRow(1);
    main_.RefreshRow(2);
    main_.UpdateMenus();
  }
  if (result.reloadSelf) Post(CurrentFrameMessage);
  if (result.changed) {
    PostToMain(FramePictureMessage);
    PostToMain(FrameSettingsMessage);
  }
}

void TPMain1::ShowFolderBox(bool shown, bool includeSubfolders) {
  folderShown_ = shown;
  auto& box = Get<CheckBox>("CheckBox1");
  box.SetChecked(includeSubfolders);
  box.SetVisible(shown);
  Get<Control>("RFilterEdit1").SetWidth(Scale(shown ? kFolderPathWidth : kPathWidth));
}

// "Include subfolders" ticked or cleared: stored in the folder frame at
// once, as the sliders are; the strip makes its thumbnail and count again.
void TPMain1::CheckBox1Click() {
  FrameRecord* frame = CurrentFrame();
  if (frame == nullptr || !folderShown_ || !IsFolderFrame(*frame)) return;
  SetFolderFrame(*frame, true, Get<CheckBox>("CheckBox1").Checked());
  main_.SetShowModified(true);
  PostToMain(FramePictureMessage);
}

void TPMain1::RFilterEdit1Enter() { Get<Control>("RFilterEdit1").SetColour(kWhite); }
void TPMain1::RFilterEdit1Exit() { Get<Control>("RFilterEdit1").SetColour(kButtonFace); }

}  // namespace velmora
