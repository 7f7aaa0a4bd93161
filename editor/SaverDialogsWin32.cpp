#include "editor/SaverDialogsWin32.h"

#include <functional>
#include <utility>

#include "app/Startup.h"
#include "controls/RFilterEditWin32.h"
#include "editor/ClearOldSavers.h"
#include "editor/ElevationWin32.h"
#include "editor/ShellFileSystemWin32.h"
#include "platform/ApplicationWin32.h"
#include "platform/DialogsWin32.h"
#include "platform/HandlesWin32.h"
#include "platform/SystemPathsWin32.h"

namespace velmora {

namespace {

// The Chinese captions need a font that has their characters: the dialogs'
// MS Sans Serif has none (and no fallback on every system).
constexpr FontSpec kMing9{.face = "細明體", .points = 9};
constexpr FontSpec kMing12{.face = "細明體", .points = 12};

const ControlSpec kForm3Controls[] = {
    {.name = "RFilterEdit1", .kind = ControlKind::Edit, .x = 44, .y = 12, .width = 309, .height = 28,
     .font = kMing12, .tabStop = true, .maxLength = static_cast<int>(MaxFramePathLength),
     .create = &TRFilterEdit::Make},
    {.name = "BitBtn1", .kind = ControlKind::Button, .x = 184, .y = 48, .width = 81, .height = 25,
     .caption = "OK", .font = kMing9, .tabStop = true, .isDefault = true, .onClick = "BitBtn1Click"},
    {.name = "BitBtn2", .kind = ControlKind::Button, .x = 268, .y = 48, .width = 81, .height = 25,
     .caption = "Cancel", .font = kMing9, .tabStop = true, .modalResult = IDCANCEL, .isCancel = true},
};

constexpr FormSpec kForm3{.name = "Form3", .caption = "Form3", .clientWidth = 400,
                          .clientHeight = 84, .position = FormPosition::ScreenCenter,
                          .border = FormBorder::Dialog,
                          .font = {.face = "MS Sans Serif", .points = 12}};

const ControlSpec kClearControls[] = {
    {.name = "ListBox1", .kind = ControlKind::ListBox, .x = 12, .y = 8, .width = 261, .height = 193,
     .font = kMing9, .tabStop = true, .multiSelect = true, .itemHeight = 13},
    {.name = "BitBtn1", .kind = ControlKind::Button, .x = 68, .y = 208, .width = 75, .height = 25,
     .caption = "Clear", .font = kMing9, .tabStop = true, .onClick = "BitBtn1Click"},
    {.name = "BitBtn2", .kind = ControlKind::Button, .x = 152, .y = 208, .width = 75, .height = 25,
     .caption = "Close", .font = kMing9, .tabStop = true, .modalResult = IDABORT, .isCancel = true},
    {.name = "Label1", .kind = ControlKind::Label, .x = 12, .y = 240, .width = 270, .height = 13,
     .caption = "( Press Shift or Control Key to Multi-Select )", .font = kMing9, .autoSize = true},
};

constexpr FormSpec kClear{.name = "FormClear", .caption = "FormClear", .clientWidth = 288,
                          .clientHeight = 254, .position = FormPosition::ScreenCenter,
                          .border = FormBorder::Dialog,
                          .font = {.face = "MS Sans Serif", .points = 8}};

std::wstring SystemDirWide() {
  std::wstring dir = WidenAnsi(SystemDir);
  if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
  return dir;
}

// The clear dialog's side of a clearing.
class ListClearUi : public ClearUserInterface {
 public:
  ListClearUi(HWND dialog, ListBox& list, std::function<void()> refill)
      : dialog_(dialog), list_(list), refill_(std::move(refill)) {}
  void Deleted(int index) override { list_.Delete(index); }
  void ShowElevationFailure(const std::string& message) override {
    ShowMessage(dialog_, message, MessageKind::Warning);
  }
  void Refill() override { refill_(); }
  void ShowNotDeleted(const std::wstring& message) override {
    ::MessageBoxW(dialog_, message.c_str(), L"Velmora 99", MB_OK | MB_ICONWARNING);
  }

 private:
  HWND dialog_;
  ListBox& list_;
  std::function<void()> refill_;
};

}  // namespace

// ---- TForm3 -----------------------------------------------------------------

TForm3::TForm3() {
  HandleClick("BitBtn1Click", [this](Control&) { BitBtn1Click(); });
}

bool TForm3::Create(HWND owner, const std::string& name) {
  if (!CreateForm(kForm3, kForm3Controls, owner)) return false;
  auto& field = Get<TRFilterEdit>("RFilterEdit1");
  field.SetTextAnsi(name);
  field.SelectAll();
  return true;
}

void TForm3::FormCreate() {
  SetCaption("命名");
  Get<Control>("BitBtn1").SetCaption("確定");
  Get<Control>("BitBtn2").SetCaption("離開");
  auto& field = Get<TRFilterEdit>("RFilterEdit1");
  field.SetValidChars(L"[]");
  // Enter in the name confirms it: the form presses the default button.
  field.SetEnterMovesFocus(false);
}

std::optional<std::string> TForm3::Run() {
  confirmed_.reset();
  Get<Control>("RFilterEdit1").SetFocus();
  ShowModal();
  return confirmed_;
}

// Called when OK is pressed (also by Enter in the name).
void TForm3::BitBtn1Click() {
  const std::wstring name = Get<Control>("RFilterEdit1").Text();
  const std::string ansi = NarrowToAnsi(name);
  const SaverNameProblem problem = CheckSaverName(name, ansi);
  if (problem == SaverNameProblem::Empty) {
    SetModalResult(IDOK);
    return;
  }
  std::string message = SaverNameMessage(problem);
  if (message.empty() && WidenAnsi(ansi) != name) {
    message =
        "名稱中有系統字碼頁無法表示的字元。\r\n"
        "The name holds characters the system's code page cannot hold.";
  }
  if (!message.empty()) {
    ShowMessage(Handle(), message, MessageKind::Warning);
    Get<Control>("RFilterEdit1").SetFocus();
    return;  // the dialog stays open
  }
  confirmed_ = ansi;
  SetModalResult(IDOK);
}

// ---- TFormClear ------------------------------------------------------------

TFormClear::TFormClear() {
  HandleClick("BitBtn1Click", [this](Control&) { BitBtn1Click(); });
}

bool TFormClear::Create(HWND owner) { return CreateForm(kClear, kClearControls, owner); }

void TFormClear::FormCreate() {
  SetCaption("清除舊的螢幕保護");
  Get<Control>("BitBtn1").SetCaption("清除");
  Get<Control>("BitBtn2").SetCaption("離開");
  Get<Control>("Label1").SetCaption("( 同時按下Shift 或 Control 鍵可多選 )");
}

std::vector<std::wstring> TFormClear::ListSavers() {
  std::vector<DirectoryEntry> entries;
  const std::wstring pattern = SystemDirWide() + L"*.fms";
  WIN32_FIND_DATAW found{};
  UniqueFindHandle search(::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                             FindExSearchNameMatch, nullptr, 0));
  if (!search) return {};
  do {
    entries.push_back({found.cFileName, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (::FindNextFileW(search.get(), &found));
  return SaverNamesIn(entries);
}

void TFormClear::FillList() {
  auto& list = Get<ListBox>("ListBox1");
  list.Clear();
  for (const std::wstring& name : ListSavers()) list.Add(name);
}

void TFormClear::Run() {
  FillList();
  ShowModal();
}

// Called when "清除" is pressed.
void TFormClear::BitBtn1Click() {
  auto& list = Get<ListBox>("ListBox1");
  std::vector<ChosenSaver> chosen;
  for (int i = 0; i < list.Count(); ++i)
    if (list.Selected(i)) chosen.push_back({i, list.Item(i)});
  ListClearUi ui(Handle(), list, [this] { FillList(); });
  ShellSaveFileSystem files(Handle());
  ShellElevation elevation(Handle());
  const bool offered = OffersElevation(IsEditorExe, DirectoryOfPath(ReadExecutablePath()), SystemDir);
  ClearOldSavers(chosen, SystemDirWide(), ui, files, offered ? &elevation : nullptr, AnsiExactly);
}

}  // namespace velmora
