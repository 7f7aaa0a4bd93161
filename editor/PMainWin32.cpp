#include "editor/PMainWin32.h"

#include <array>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

#include "app/Random.h"
#include "app/Startup.h"
#include "editor/AboutBoxWin32.h"
#include "editor/ExportWin32.h"
#include "editor/FolderFrames.h"
#include "editor/RecordPathWin32.h"
#include "fade/PictureLoader.h"
#include "fade/PictureProbe.h"
#include "frames/FrameSet.h"
#include "frames/ShowOptions.h"
#include "platform/ApplicationWin32.h"
#include "platform/DialogsWin32.h"
#include "platform/FontsWin32.h"
#include "platform/ProgressWindowWin32.h"
#include "saver/Player.h"
#include "saver/PreviewFormWin32.h"
#include "saver/ScrnWin32.h"

namespace velmora {

namespace {

// ---- the form's description ----

struct SlotNames {
  const char* panel;
  const char* number;
  const char* fileName;
  const char* effect;
  const char* speed;
  const char* inner;
  const char* picture;
};

constexpr SlotNames kSlotNames[SlotCount] = {
    {"Panel5", "Label8", "Label11", "Label9", "Label10", "Panel13", "Image1"},
    {"Panel6", "Label12", "Label13", "Label14", "Label15", "Panel20", "Image2"},
    {"Panel7", "Label16", "Label17", "Label18", "Label19", "Panel14", "Image5"},
    {"Panel8", "Label20", "Label21", "Label22", "Label23", "Panel15", "Image6"},
    {"Panel9", "Label24", "Label25", "Label26", "Label27", "Panel16", "Image7"},
    {"Panel10", "Label28", "Label29", "Label30", "Label31", "Panel17", "Image8"},
    {"Panel11", "Label32", "Label33", "Label34", "Label35", "Panel18", "Image9"},
    {"Panel12", "Label36", "Label37", "Label38", "Label39", "Panel19", "Image10"},
};

constexpr int kSlotColumns[SlotsPerRow] = {8, 132, 256, 380};
constexpr int kSlotRows[2] = {8, 204};
constexpr int kControlsPerSlot = 7;
constexpr int kOtherControls = 6;
constexpr std::size_t kControlCount = SlotCount * kControlsPerSlot + kOtherControls;

constexpr std::array<ControlSpec, kControlCount> BuildControls() {
  std::array<ControlSpec, kControlCount> table{};
  std::size_t n = 0;
  table[n++] = {.name = "Bevel1", .kind = ControlKind::Bevel, .x = 0, .y = 0, .width = 508, .height = 2};
  for (int s = 0; s < SlotCount; ++s) {
    const SlotNames& names = kSlotNames[s];
    const int left = kSlotColumns[s % SlotsPerRow];
    const int top = kSlotRows[s / SlotsPerRow];
    table[n++] = {.name = names.panel, .kind = ControlKind::Panel, .x = left, .y = top, .width = 121,
                  .height = 169, .bevel = BevelStyle::Raised, .onClick = "Panel5Click"};
    // The labels in the order the slot record takes them: number, file
    // name, effect, speed.
    table[n++] = {.name = names.number, .kind = ControlKind::Label, .parent = names.panel, .x = 8, .y = 4,
                  .width = 14, .height = 13, .fontColour = kMaroon, .autoSize = true, .onClick = "Panel5Click"};
    table[n++] = {.name = names.fileName, .kind = ControlKind::Label, .parent = names.panel, .x = 24, .y = 4,
                  .width = 93, .height = 13, .onClick = "Panel5Click"};
    table[n++] = {.name = names.effect, .kind = ControlKind::Label, .parent = names.panel, .x = 4, .y = 136,
                  .width = 113, .height = 15, .onClick = "Panel5Click"};
    table[n++] = {.name = names.speed, .kind = ControlKind::Label, .parent = names.panel, .x = 4, .y = 152,
                  .width = 113, .height = 15, .onClick = "Panel5Click"};
    table[n++] = {.name = names.inner, .kind = ControlKind::Panel, .parent = names.panel, .x = 4, .y = 20,
                  .width = 113, .height = 113, .bevel = BevelStyle::Lowered, .onClick = "Panel5Click"};
    table[n++] = {.name = names.picture, .kind = ControlKind::Picture, .parent = names.inner, .x = 1, .y = 1,
                  .width = 111, .height = 111, .onMouseDown = "Image1MouseDown", .onMouseMove = "Image1MouseMove",
                  .onMouseUp = "Image1MouseUp", .onDragOver = "Image1DragOver", .onDragDrop = "Image1DragDrop"};
  }
  table[n++] = {.name = "ScrollBar1", .kind = ControlKind::ScrollBar, .x = 8, .y = 180, .width = 245, .height = 18,
                .min = 1, .max = 4, .position = 1, .page = 4, .onChange = "ScrollBar1Change",
                .onScroll = "ScrollBar1Scroll"};
  table[n++] = {.name = "ScrollBar2", .kind = ControlKind::ScrollBar, .x = 256, .y = 180, .width = 245,
                .height = 18, .min = 1, .max = 4, .position = 1, .page = 4, .onChange = "ScrollBar2Change",
                .onScroll = "ScrollBar2Scroll"};
  table[n++] = {.name = "StaticText1", .kind = ControlKind::StaticText, .x = 8, .y = 202, .width = 56, .height = 17,
                .fontColour = kBlue, .autoSize = true, .border = true, .visible = false};
  table[n++] = {.name = "StaticText2", .kind = ControlKind::StaticText, .x = 256, .y = 160, .width = 56,
                .height = 17, .fontColour = kBlue, .autoSize = true, .border = true, .visible = false};
  table[n++] = {.name = "ImageTmp", .kind = ControlKind::Picture, .x = 233, .y = 1, .width = 111, .height = 111,
                .visible = false};
  return table;
}

constexpr std::array<ControlSpec, kControlCount> kControls = BuildControls();

constexpr MenuItemSpec kMenu[] = {
    {.name = "Addnew1", .caption = "Edit"},
    {.name = "NewPicture1", .caption = "Add New Pictures", .level = 1, .onClick = "NewPicture1Click"},
    {.name = "NewFolder1", .caption = "Add Folder...", .level = 1, .onClick = "NewFolder1Click"},
    {.name = "RemoveCurrentFrame1", .caption = "Remove Current Frame", .level = 1, .onClick = "RemoveCurrentFrame1Click"},
    {.name = "N1", .caption = "-", .level = 1},
    {.name = "EmptyFrame1", .caption = "Add Empty Frame", .level = 1, .onClick = "EmptyFrame1Click"},
    {.name = "ClearEmptyFrame1", .caption = "Clear Empty Frames", .level = 1, .onClick = "ClearEmptyFrame1Click"},
    {.name = "N4", .caption = "-", .level = 1},
    {.name = "RandomEffect1", .caption = "Use Random Effect", .level = 1, .onClick = "RandomEffect1Click"},
    {.name = "Preview2", .caption = "Preview"},
    {.name = "ALL1", .caption = "All", .level = 1, .onClick = "ALL1Click"},
    {.name = "Single1", .caption = "Current Effect", .level = 1, .onClick = "Single1Click"},
    {.name = "Saver1", .caption = "Saver"},
    {.name = "Save1", .caption = "Save", .level = 1, .onClick = "Save1Click"},
    {.name = "Export1", .caption = "Export...", .level = 1, .onClick = "Export1Click"},
    {.name = "N3", .caption = "-", .level = 1},
    {.name = "Clear1", .caption = "Clear Old Savers", .level = 1, .onClick = "Clear1Click"},
    {.name = "N5", .caption = "-", .level = 1},
    {.name = "Shuffle1", .caption = "Shuffle", .level = 1, .onClick = "Shuffle1Click"},
    // The show's caption: one of five, saved with the show.
    {.name = "Caption1", .caption = "Captions", .level = 1},
    {.name = "CaptionNone1", .caption = "None", .level = 2, .checked = true, .radio = true, .onClick = "CaptionNone1Click"},
    {.name = "CaptionDate1", .caption = "Date Taken", .level = 2, .radio = true, .onClick = "CaptionDate1Click"},
    {.name = "CaptionFile1", .caption = "File Name", .level = 2, .radio = true, .onClick = "CaptionFile1Click"},
    {.name = "CaptionFolder1", .caption = "Folder", .level = 2, .radio = true, .onClick = "CaptionFolder1Click"},
    {.name = "CaptionDateFolder1", .caption = "Date and Folder", .level = 2, .radio = true,
     .onClick = "CaptionDateFolder1Click"},
    {.name = "EditWindow1", .caption = "View"},
    {.name = "HideEditWindow1", .caption = "Edit Window", .level = 1, .onClick = "HideEditWindow1Click"},
    {.name = "Both1", .caption = "Scroll Simultaneously", .level = 1, .checked = true, .onClick = "Both1Click"},
    {.name = "N2", .caption = "-", .level = 1},
    {.name = "About1", .caption = "About", .level = 1, .onClick = "About1Click"},
    {.name = "Quit2", .caption = "Quit", .onClick = "Quit2Click"},
};

// The caption submenu's items: handler, item and the option each one sets.
struct CaptionItem {
  const char* handler;
  const char* item;
  CaptionMode mode;
};
constexpr CaptionItem kCaptionItems[] = {
    {"CaptionNone1Click", "CaptionNone1", CaptionMode::None},
    {"CaptionDate1Click", "CaptionDate1", CaptionMode::DateTaken},
    {"CaptionFile1Click", "CaptionFile1", CaptionMode::FileName},
    {"CaptionFolder1Click", "CaptionFolder1", CaptionMode::FolderName},
    {"CaptionDateFolder1Click", "CaptionDateFolder1", CaptionMode::DateAndFolder},
};

// The run-time captions FormCreate puts in place of the design ones.
constexpr std::pair<const char*, const char*> kMenuCaptions[] = {
    {"Addnew1", "編輯"},
    {"NewPicture1", "加入新圖片"},
    {"NewFolder1", "加入資料夾..."},
    {"Shuffle1", "隨機順序"},
    {"RemoveCurrentFrame1", "刪去目前圖框"},
    {"EmptyFrame1", "加入空白圖框"},
    {"ClearEmptyFrame1", "清除空白圖框"},
    {"RandomEffect1", "使用隨機特效"},
    {"Preview2", "預覽"},
    {"ALL1", "全部"},
    {"Single1", "單一特效"},
    {"Saver1", "螢幕保護"},
    {"Save1", "存檔"},
    {"Export1", "匯出..."},
    {"Caption1", "說明文字"}, {"CaptionNone1", "無"}, {"CaptionDate1", "拍攝日期"}, {"CaptionFile1", "檔名"},
    {"CaptionFolder1", "資料夾"}, {"CaptionDateFolder1", "日期與資料夾"},
    {"Clear1", "清除舊的螢幕保護"},
    {"EditWindow1", "檢視"},
    {"HideEditWindow1", "顯示次編輯畫面"},
    {"Both1", "同步捲動"},
    {"About1", "關於"},
    {"Quit2", "離開"},
};

constexpr FormSpec kForm{
    .name = "PMain",
    .caption = "Velmora 99",
    .clientWidth = 508,
    .clientHeight = 379,
    .position = FormPosition::ScreenCenter,
    .border = FormBorder::Single,
    .font = {.face = "MS Sans Serif", .points = 8},
    .menu = kMenu,
};

// The picture dialog's filter: pairs of a shown name and patterns.
constexpr char kAddPicturesFilter[] =
    "All (*.jpg;*.jpeg;*.bmp;*.emf;*.wmf)|*.jpg;*.jpeg;*.bmp;*.emf;*.wmf|JPEG Image File (*.jpg)|*.jpg|"
    "JPEG Image File (*.jpeg)|*.jpeg|Bitmaps (*.bmp)|*.bmp|Enhanced Metafiles (*.emf)|*.emf|"
    "Metafiles (*.wmf)|*.wmf";

constexpr char kLeaveWithoutSaving[] = "確定不先存檔就要離開嗎?";

const char* MenuName(StripMenuItem item) {
  switch (item) {
    case StripMenuItem::NewPicture1: return "NewPicture1";
    case StripMenuItem::RemoveCurrentFrame1: return "RemoveCurrentFrame1";
    case StripMenuItem::EmptyFrame1: return "EmptyFrame1";
    case StripMenuItem::ALL1: return "ALL1";
    case StripMenuItem::Single1: return "Single1";
    case StripMenuItem::Save1: return "Save1";
  }
  return "";
}

// A label shows "&&" as "&": a text meant as it stands doubles its "&".
std::string LabelText(const std::string& utf8) {
  std::string text;
  text.reserve(utf8.size());
  for (char c : utf8) {
    text += c;
    if (c == '&') text += '&';
  }
  return text;
}

std::string AnsiToUtf8(const std::string& ansi) { return NarrowToUtf8(WidenAnsi(ansi)); }

// What stands behind the edit window and saving until they exist.
class NullCompanions : public EditorCompanions {
 public:
  void ShowEditWindow(bool) override {}
  bool EditWindowVisible() const override { return false; }
  void PostCurrentFrameMessage() override {}
  void Save() override {}
  void ClearOldSavers() override {}
};

// The wait cursor over the window while a command works.
class WaitCursor {
 public:
  WaitCursor() : previous_(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { ::SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

// Sets a flag for the lifetime of the scope.
class Busy {
 public:
  explicit Busy(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
  ~Busy() { flag_ = previous_; }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  bool& flag_;
  bool previous_;
};

}  // namespace

TPMain::TPMain()
    : strip_(*this, thumbnails_), nullCompanions_(std::make_unique<NullCompanions>()),
      companions_(nullCompanions_.get()) {}

TPMain::~TPMain() {
  // The window goes before the objects its handlers use.
  Destroy();
}

HWND TPMain::CreateForm() {
  if (!Form::CreateForm(kForm, kControls)) return nullptr;
  thumbnails_.SetOwner(Handle());
  return Handle();
}

void TPMain::DpiRelayout() {
  // The form has moved and sized every control; the thumbnails are made
  // again at the new picture size and the strip shows its slots again.
  thumbnails_.SetSide(slots_[0].picture->Width());
  for (SlotControls& slot : slots_) slot.shown.reset();
  if (!strip_.Loaded()) return;
  for (int bar = 1; bar <= 2; ++bar) SetScrollBar(bar, strip_.ScrollBar(bar));
  strip_.RefreshRow(1);
  strip_.RefreshRow(2);
}

void TPMain::SetCompanions(EditorCompanions* companions) {
  companions_ = companions != nullptr ? companions : nullCompanions_.get();
}

void TPMain::FormCreate() {
  // 1. Fixed size.
  firstActivation_ = true;
  PinMaximumSize();
  // 2. The slot records; every shown index starts at 0 (in the strip).
  for (int s = 0; s < SlotCount; ++s) {
    const SlotNames& names = kSlotNames[s];
    SlotControls& slot = slots_[s];
    slot.panel = &Get<Panel>(names.panel);
    std::vector<Label*> labels;
    for (Control* child : ChildrenOf(slot.panel))
      if (auto* label = dynamic_cast<Label*>(child)) labels.push_back(label);
    if (labels.size() != 4) throw std::logic_error("PMain: a slot panel needs four labels");
    slot.number = labels[0];
    slot.fileName = labels[1];
    slot.effect = labels[2];
    slot.speed = labels[3];
    slot.inner = &Get<Panel>(names.inner);
    slot.picture = &Get<PictureBox>(names.picture);
  }
  scrollBars_[0] = &Get<ScrollBar>("ScrollBar1");
  scrollBars_[1] = &Get<ScrollBar>("ScrollBar2");
  indicators_[0] = &Get<Label>("StaticText1");
  indicators_[1] = &Get<Label>("StaticText2");
  // 3. Run-time captions.
  for (const auto& [name, caption] : kMenuCaptions) MainMenu().SetCaption(name, caption);
  // 4. The effect and speed labels in a Traditional Chinese font.
  const FontSpec chinese{.face = "細明體", .points = 9};
  for (SlotControls& slot : slots_) {
    slot.effect->SetFontSpec(chinese);
    slot.speed->SetFontSpec(chinese);
  }
  // 5. Thumbnails at the picture controls' size, so they are drawn 1:1.
  thumbnails_.SetSide(slots_[0].picture->Width());
  onDpiChanged = [this] { DpiRelayout(); };
  BindHandlers();
}

void TPMain::BindHandlers() {
  const std::pair<const char*, void (TPMain::*)()> commands[] = {
      {"NewPicture1Click", &TPMain::NewPicture1Click},
      {"NewFolder1Click", &TPMain::NewFolder1Click},
      {"Shuffle1Click", &TPMain::Shuffle1Click},
      {"RemoveCurrentFrame1Click", &TPMain::RemoveCurrentFrame1Click},
      {"EmptyFrame1Click", &TPMain::EmptyFrame1Click},
      {"ClearEmptyFrame1Click", &TPMain::ClearEmptyFrame1Click},
      {"RandomEffect1Click", &TPMain::RandomEffect1Click},
      {"ALL1Click", &TPMain::ALL1Click},
      {"Single1Click", &TPMain::Single1Click},
      {"Save1Click", &TPMain::Save1Click},
      {"Export1Click", &TPMain::Export1Click},
      {"Clear1Click", &TPMain::Clear1Click},
      {"HideEditWindow1Click", &TPMain::HideEditWindow1Click},
      {"Both1Click", &TPMain::Both1Click},
      {"About1Click", &TPMain::About1Click},
      {"Quit2Click", &TPMain::Quit2Click},
  };
  for (const auto& [name, handler] : commands) {
    auto method = handler;
    HandleMenuClick(name, [this, method] {
      // Nothing acts on a show that is not loaded yet or already freed.
      if (strip_.Loaded() || method == &TPMain::Quit2Click || method == &TPMain::About1Click) (this->*method)();
    });
  }
  for (const auto& [handler, item, mode] : kCaptionItems) {
    const CaptionMode chosen = mode;
    HandleMenuClick(handler, [this, chosen] {
      if (strip_.Loaded()) CaptionItemClick(chosen);
    });
  }
  HandleClick("Panel5Click", [this](Control& sender) { Panel5Click(sender); });
  HandleChange("ScrollBar1Change", [this](Control& sender) { ScrollBarChange(1, static_cast<ScrollBar&>(sender)); });
  HandleChange("ScrollBar2Change", [this](Control& sender) { ScrollBarChange(2, static_cast<ScrollBar&>(sender)); });
  HandleScroll("ScrollBar1Scroll", [this](ScrollBar&, int code, int position) { ScrollBarScroll(1, code, position); });
  HandleScroll("ScrollBar2Scroll", [this](ScrollBar&, int code, int position) { ScrollBarScroll(2, code, position); });
  HandleMouseDown("Image1MouseDown", [this](Control& sender, MouseButton button, int x, int y, WPARAM) {
    Image1MouseDown(sender, button, x, y);
  });
  HandleMouseMove("Image1MouseMove", [this](Control& sender, int x, int y, WPARAM) { Image1MouseMove(sender, x, y); });
  HandleMouseUp("Image1MouseUp",
                [this](Control& sender, MouseButton button, int, int, WPARAM) { Image1MouseUp(sender, button); });
  HandleDragOver("Image1DragOver",
                 [this](Control& target, Control& source, int, int) { return Image1DragOver(target, source); });
  HandleDragDrop("Image1DragDrop",
                 [this](Control& target, Control& source, int, int) { Image1DragDrop(target, source); });
  HandleMessageNumber(LoadShowMessage, [this] { LoadShow(); });
  HandleMessageNumber(FramePictureMessage, [this] { strip_.FramePictureChanged(); });
  HandleMessageNumber(FrameSettingsMessage, [this] { strip_.FrameSettingsChanged(); });
}

void TPMain::OnActivate(bool active) {
  Form::OnActivate(active);
  if (!active || !firstActivation_) return;
  firstActivation_ = false;
  Post(LoadShowMessage);
  strip_.SetShowModified(false);
  slots_[0].panel->SetFocus();
}

void TPMain::LoadShow() {
  if (strip_.Loaded()) return;
  if (IsEditorExe) {
    TheFrameList = std::make_unique<FrameList>();
    AppendFrameRecord(*TheFrameList);
    AppendFrameRecord(*TheFrameList);
  } else {
    const std::string path = FrameSetPath(SaverBaseName);
    std::string problem;
    try {
      LoadFrameSet();
      if (!TheFrameList || TheFrameList->Count() == 0)
        problem = "找不到這個螢幕保護的圖框檔:\n" + AnsiToUtf8(path);
      else if (TheFrameList->Count() < 3)
        problem = "這個螢幕保護沒有任何圖框:\n" + AnsiToUtf8(path);
    } catch (const EInOutError& error) {
      // Nothing is written back: the damaged file stays as it is.
      problem = "圖框檔已損壞, 無法開啟:\n" + AnsiToUtf8(path) + "\n" + AnsiToUtf8(error.what());
    }
    if (!problem.empty()) {
      TheFrameList.reset();
      {
        Busy busy(busy_);  // the window stays until the message is read
        ShowMessage(Handle(), problem, MessageKind::Error);
      }
      Close();
      return;
    }
  }
  // The show name is the caption of a saved saver's show.
  if (!IsEditorExe) Form::SetCaption(AnsiToUtf8((*TheFrameList)[0].Path()));
  // The thumbnails are queued: the strip shows at once and fills as they
  // come, the slots in view first.
  strip_.Load(*TheFrameList, !IsEditorExe);
  ShowCaptionTicks();
  MainMenu().SetChecked("Shuffle1", strip_.ShuffleTicked());
}

bool TPMain::MayClose() {
  if (busy_) return false;
  if (!strip_.Loaded() || !strip_.CloseNeedsQuestion()) return true;
  bool leave = false;
  {
    Busy busy(busy_);  // a second request while the question is up is refused
    leave = ShowMessage(Handle(), kLeaveWithoutSaving, MessageKind::Confirmation) == IDYES;
  }
  if (!leave) ShowNotRead();  // a batch that ended while the question was up
  return leave;
}

bool TPMain::OnCloseQuery() { return MayClose(); }

CloseAction TPMain::OnClose() {
  ReleaseShow();
  // The main form's end ends the application.
  return CloseAction::Destroy;
}

void TPMain::ReleaseShow() {
  thumbnails_.DeleteAll(strip_.NextThumbNumber());
  strip_.Detach();
  TheFrameList.reset();
}

LRESULT TPMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_QUERYENDSESSION:
      // Windows is logging off or shutting down: the same question as closing.
      return MayClose() ? TRUE : FALSE;
    case WM_ENDSESSION:
      if (wParam != 0) ReleaseShow();
      return 0;
    case ThumbnailMadeMessage:
      ThumbnailArrived(static_cast<std::int32_t>(wParam), lParam != 0);
      return 0;
    case FolderCountedMessage:
      for (const StripThumbnails::FolderCount& counted : thumbnails_.TakeCounts())
        strip_.FolderCounted(counted.folder, counted.includeSubfolders, counted.count);
      return 0;
    case WM_SETCURSOR:
      if (waiting_) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    default:
      break;
  }
  return Form::HandleMessage(message, wParam, lParam);
}

// ---- MainWindowLink ----

bool TPMain::MakeThumbnail(const std::string& path, std::int32_t number) {
  return thumbnails_.MakeOne(path, number);
}

void TPMain::SetEditWindowTick(bool ticked) { MainMenu().SetChecked("HideEditWindow1", ticked); }

void TPMain::SetCaption(std::wstring_view caption) { Form::SetCaption(NarrowToUtf8(caption)); }

// ---- StripView ----

void TPMain::ShowSlotPicture(int slot, const SlotPicture& picture) {
  SlotControls& controls = slots_[slot - 1];
  // A thumbnail number names one picture for the editor's whole run, and a
  // colour or a blank is what it is: a slot that shows it already keeps it.
  if (controls.shown && *controls.shown == picture && picture.source != SlotPictureSource::File) return;
  controls.shown = picture;
  PictureBox& box = *controls.picture;
  switch (picture.source) {
    case SlotPictureSource::None:
      box.Clear();
      SetLabel(*controls.fileName, controls.fileNameText, "");
      return;
    case SlotPictureSource::Colour:
      box.FillColour(picture.colour);
      SetLabel(*controls.fileName, controls.fileNameText, "");
      return;
    case SlotPictureSource::Thumbnail:
    case SlotPictureSource::File:
    case SlotPictureSource::Pending:
    case SlotPictureSource::Folder:
      break;
  }
  if (picture.folder) {
    ShowFolderSlot(controls, picture);
    return;
  }
  SetLabel(*controls.fileName, controls.fileNameText, LabelText(NarrowToUtf8(RecordFileName(picture.path))));
  if (picture.source == SlotPictureSource::Pending) {
    // Blank until its thumbnail arrives.
    box.Clear();
    return;
  }
  if (picture.source == SlotPictureSource::Thumbnail) {
    if (std::shared_ptr<const MemoryImage24> thumbnail = thumbnails_.Load(picture.thumbnailNumber)) {
      box.SetImage(*thumbnail);
      return;
    }
  }
  // The whole picture is read: the cleared slot is painted first, at once,
  // without letting other handlers run in the middle of the refresh.
  box.Clear();
  box.Refresh();
  try {
    box.SetGraphic(*LoadGraphic(picture.path));
  } catch (const std::exception&) {
    box.FillColour(kBlack);
  }
}

void TPMain::ShowFolderSlot(SlotControls& controls, const SlotPicture& picture) {
  // The folder's own name, split as characters.
  std::string folder = picture.path;
  while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  std::string name = NarrowToUtf8(RecordFileName(folder));
  if (name.empty()) name = NarrowToUtf8(WidenAnsi(folder));
  SetLabel(*controls.fileName, controls.fileNameText, LabelText(FolderSlotLabel(name, picture.folderCount)));
  // Its first picture's thumbnail, or a blank (still looking, or no
  // picture), with the folder mark.
  const int side = controls.picture->Width();
  MemoryImage24 image;
  std::shared_ptr<const MemoryImage24> thumbnail;
  if (picture.source == SlotPictureSource::Thumbnail) thumbnail = thumbnails_.Load(picture.thumbnailNumber);
  if (thumbnail) {
    image.SetSize(thumbnail->Width(), thumbnail->Height());
    image.Draw(*thumbnail, 0, 0);
  } else {
    image.SetSize(side, side);
    image.Fill(kButtonFace);
  }
  DrawFolderMark(image);
  controls.picture->SetImage(image);
}

void TPMain::SetLabel(Label& label, std::string& shown, const std::string& text) {
  if (shown == text) return;
  shown = text;
  label.SetCaption(text);
}

void TPMain::ShowSlotNumber(int slot, const std::string& text) {
  SlotControls& controls = slots_[slot - 1];
  SetLabel(*controls.number, controls.numberText, text);
}

void TPMain::ShowSlotLabels(int slot, const SlotLabels& labels) {
  SlotControls& controls = slots_[slot - 1];
  SetLabel(*controls.effect, controls.effectText, LabelText(labels.effect));
  SetLabel(*controls.speed, controls.speedText, LabelText(labels.speed));
}

void TPMain::MarkSlot(int slot, bool current) {
  slots_[slot - 1].panel->SetColour(current ? kButtonShadow : kButtonFace);
}

void TPMain::SetScrollBar(int bar, const ScrollBarState& state) {
  ScrollBar& control = *scrollBars_[bar - 1];
  control.SetParams(state.position, state.min, state.max, state.page, false);
  // The strip's widths are 96-DPI lengths.
  if (control.Width() != Scale(state.width)) control.SetWidth(Scale(state.width));
  if (control.Visible() != state.visible) control.SetVisible(state.visible);
}

void TPMain::SetScrollIndicator(int bar, const std::string& text, bool visible) {
  Label& indicator = *indicators_[bar - 1];
  indicator.SetCaption(text);
  if (indicator.Visible() != visible) indicator.SetVisible(visible);
}

void TPMain::SetMenuEnabled(StripMenuItem item, bool enabled) { MainMenu().SetEnabled(MenuName(item), enabled); }

void TPMain::CurrentFrameMayHaveChanged() {
  if (companions_->EditWindowVisible()) companions_->PostCurrentFrameMessage();
}

// ---- menu commands ----

// Called when one of the caption submenu's items is clicked: the show's
// caption option, kept in its header record.
void TPMain::CaptionItemClick(CaptionMode mode) {
  FrameRecord& header = (*TheFrameList)[0];
  ShowOptions options = ReadShowOptions(header);
  if (options.Caption != mode) {
    options.Caption = mode;
    WriteShowOptions(header, options);
    strip_.SetShowModified(true);
  }
  ShowCaptionTicks();
}

// Ticks the caption submenu's item of the show's option.
void TPMain::ShowCaptionTicks() {
  const CaptionMode mode =
      TheFrameList && TheFrameList->Count() > 0 ? ReadShowOptions((*TheFrameList)[0]).Caption : CaptionMode::None;
  for (const auto& [handler, item, itemMode] : kCaptionItems) MainMenu().SetChecked(item, itemMode == mode);
}

void TPMain::PicturesNotRead(const std::vector<std::string>& paths) {
  notRead_.insert(notRead_.end(), paths.begin(), paths.end());
}

void TPMain::ThumbnailArrived(std::int32_t number, bool made) {
  thumbnails_.Arrived(number);
  const bool remade = thumbnails_.TakeRemade(number);
  strip_.ThumbnailMade(number, made);
  if (remade && strip_.Loaded()) {
    // Made again at a new DPI: the slots that show it read it again.
    bool shown = false;
    for (SlotControls& slot : slots_) {
      if (slot.shown && slot.shown->source == SlotPictureSource::Thumbnail && slot.shown->thumbnailNumber == number) {
        slot.shown.reset();
        shown = true;
      }
    }
    if (shown) {
      strip_.RefreshRow(1);
      strip_.RefreshRow(2);
    }
  }
  ShowNotRead();
}

void TPMain::ShowNotRead() {
  // Not over a preview, a message or a save waiting: named when it ends.
  if (busy_ || showingNotRead_) return;
  Busy showing(showingNotRead_);
  // More may come while the message is up (a second batch): named after it.
  while (!notRead_.empty() && strip_.Loaded()) {
    // Added all the same: they show black, as in the show.
    std::string names;
    for (const std::string& path : std::exchange(notRead_, {})) names += "\n" + NarrowToUtf8(WidenAnsi(path));
    Busy busy(busy_);
    ShowMessage(Handle(), "下列圖片無法讀取, 將以黑色顯示:" + names, MessageKind::Warning);
  }
}

bool TPMain::FinishThumbnails() {
  if (strip_.PendingPictureThumbnails() == 0) return true;
  // How long the wait may take before the progress window shows.
  constexpr ULONGLONG kProgressDelayMs = 1000;
  bool stopped = false;
  {
    Busy busy(busy_);
    Busy waiting(waiting_);
    WaitCursor wait;
    const auto total = static_cast<int>(strip_.PendingPictureThumbnails());
    const ULONGLONG start = ::GetTickCount64();
    std::optional<ProgressWindow> progress;
    while (strip_.Loaded() && strip_.PendingPictureThumbnails() != 0) {
      // Only the results are handled here until the progress window shows
      // (it disables this window and lets every message through).
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_POSTMESSAGE);
      MSG msg;
      while (::PeekMessageW(&msg, Handle(), ThumbnailMadeMessage, ThumbnailMadeMessage, PM_REMOVE))
        ThumbnailArrived(static_cast<std::int32_t>(msg.wParam), msg.lParam != 0);
      if (!progress && ::GetTickCount64() - start > kProgressDelayMs) {
        progress.emplace();
        if (!progress->Start(Handle(), "加入圖片", total)) progress.reset();
      }
      if (progress) {
        progress->Step(total - static_cast<int>(strip_.PendingPictureThumbnails()));
        if (progress->Cancelled()) {
          stopped = true;
          break;
        }
      }
    }
    if (progress) progress->Finish();
  }
  ShowNotRead();
  return !stopped && strip_.Loaded();
}

void TPMain::NewPicture1Click() {
  OpenDialogOptions options;
  options.filter = WithSystemDecodedKinds(kAddPicturesFilter);
  options.multiSelect = true;
  options.picturePreview = true;
  const OpenDialogResult result = RunOpenDialog(Handle(), options);
  if (result.status == OpenDialogStatus::Error) {
    ShowMessage(Handle(), "無法開啟選擇圖片的對話框 (錯誤碼 " + std::to_string(result.error) + ")",
                MessageKind::Error);
    return;
  }
  if (result.status != OpenDialogStatus::Ok || result.paths.empty()) return;
  std::vector<std::string> paths;
  std::string refused;
  for (const std::wstring& path : result.paths) {
    if (std::optional<std::string> stored = PathForRecord(path))
      paths.push_back(*stored);
    else
      refused += "\n" + NarrowToUtf8(path);
  }
  // The frames show at once; their thumbnails come in the background and
  // the pictures that cannot be read are named when the batch is done.
  if (!paths.empty()) strip_.AddPictureFrames(paths);
  if (!refused.empty()) {
    ShowMessage(Handle(),
                "下列圖片的路徑太長, 或含有系統字碼頁沒有的字元, 無法加入:" + refused,
                MessageKind::Warning);
  }
}

void TPMain::NewFolder1Click() {
  FolderDialogOptions options;
  options.title = "加入資料夾";
  const FolderDialogResult result = RunFolderDialog(Handle(), options);
  if (result.status == OpenDialogStatus::Error) {
    ShowMessage(Handle(), "無法開啟選擇資料夾的對話框 (錯誤碼 " + std::to_string(result.error) + ")",
                MessageKind::Error);
    return;
  }
  if (result.status != OpenDialogStatus::Ok || result.path.empty()) return;
  if (std::optional<std::string> stored = PathForRecord(result.path)) {
    // Shown at once; its first picture and its count come in the background.
    strip_.AddFolderFrame(*stored);
  } else {
    ShowMessage(Handle(),
                "這個資料夾的路徑太長, 或含有系統字碼頁沒有的字元, 無法加入:\n" + NarrowToUtf8(result.path),
                MessageKind::Warning);
  }
}

void TPMain::Shuffle1Click() {
  strip_.Shuffle1Click();
  MainMenu().SetChecked("Shuffle1", strip_.ShuffleTicked());
}

void TPMain::RemoveCurrentFrame1Click() { strip_.RemoveCurrentFrame(); }

void TPMain::EmptyFrame1Click() { strip_.AddEmptyFrame(); }

void TPMain::ClearEmptyFrame1Click() { strip_.ClearEmptyFrames(); }

void TPMain::RandomEffect1Click() {
  strip_.RandomEffect1Click();
  MainMenu().SetChecked("RandomEffect1", strip_.RandomEffectTicked());
  // The current frame's effect may have changed: the edit window reloads.
  strip_.CurrentFrameChanged();
}

void TPMain::ALL1Click() {
  // The preview plays the list in place: it must not be freed meanwhile.
  {
    Busy busy(busy_);
    ShowWholeShowPreview(Handle());
  }
  ShowNotRead();
}

void TPMain::Single1Click() {
  // The preview seeds the random generator itself.
  const auto frames = strip_.SinglePreviewFrames();
  if (!frames) return;
  {
    Busy busy(busy_);
    ShowCurrentEffectPreview(frames->first, frames->second, Handle());
  }
  ShowNotRead();
}

void TPMain::Save1Click() {
  // The frame-set file is written with every thumbnail flag settled, the
  // same file as after the batch.
  if (!FinishThumbnails()) return;
  companions_->Save();
}

// Called when "匯出..." is chosen: one file that plays the show anywhere.
void TPMain::Export1Click() {
  if (!TheFrameList || TheFrameList->Count() == 0) return;
  Busy busy(busy_);  // the window stays while the dialog and the export run
  ExportShow(Handle(), *TheFrameList, (*TheFrameList)[0].Path());
}

void TPMain::Clear1Click() { companions_->ClearOldSavers(); }

void TPMain::HideEditWindow1Click() {
  const bool ticked = !MainMenu().Checked("HideEditWindow1");
  MainMenu().SetChecked("HideEditWindow1", ticked);
  companions_->ShowEditWindow(ticked);
  strip_.CurrentFrameChanged();
}

void TPMain::Both1Click() {
  strip_.Both1Click();
  MainMenu().SetChecked("Both1", strip_.ScrollBoth());
  // The current slot may show another entry now: the edit window reloads.
  strip_.CurrentFrameChanged();
}

void TPMain::About1Click() { ShowAboutBox(Handle()); }

void TPMain::Quit2Click() { Close(); }

// ---- control events ----

int TPMain::SlotOf(const Control& control) const {
  for (int s = 0; s < SlotCount; ++s) {
    const SlotControls& slot = slots_[s];
    for (const Control* c = &control; c != nullptr; c = c->ParentControl())
      if (c == slot.panel) return s + 1;
  }
  return 0;
}

void TPMain::Panel5Click(Control& sender) {
  if (strip_.Loaded()) strip_.SlotClicked(SlotOf(sender));
}

void TPMain::ScrollBarChange(int bar, ScrollBar& sender) {
  if (strip_.Loaded()) strip_.ScrollBarChange(bar, sender.Position());
}

void TPMain::ScrollBarScroll(int bar, int code, int position) {
  const ScrollCode scrollCode = code == SB_THUMBTRACK ? ScrollCode::Track
                                : code == SB_ENDSCROLL ? ScrollCode::EndScroll
                                                       : ScrollCode::Other;
  strip_.ScrollBarScroll(bar, scrollCode, position);
}

void TPMain::Image1MouseDown(Control&, MouseButton button, int x, int y) {
  // The strip measures the drag distance in 96-DPI pixels.
  if (button == MouseButton::Left) strip_.ImageMouseDown(UnscaleFromDpi(x, Dpi()), UnscaleFromDpi(y, Dpi()));
}

void TPMain::Image1MouseMove(Control& sender, int x, int y) {
  if (strip_.ImageMouseMove(UnscaleFromDpi(x, Dpi()), UnscaleFromDpi(y, Dpi()))) sender.BeginDrag();
}

void TPMain::Image1MouseUp(Control& sender, MouseButton button) {
  if (button == MouseButton::Left && strip_.Loaded()) strip_.ImageMouseUp(SlotOf(sender));
}

bool TPMain::Image1DragOver(Control& target, Control& source) {
  return strip_.Loaded() && strip_.ImageDragOver(SlotOf(target), SlotOf(source));
}

void TPMain::Image1DragDrop(Control& target, Control& source) {
  if (strip_.Loaded()) strip_.ImageDragDrop(SlotOf(target), SlotOf(source));
}

}  // namespace velmora
