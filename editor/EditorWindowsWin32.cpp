#include "editor/EditorWindowsWin32.h"

#include "app/Startup.h"
#include "editor/ElevationWin32.h"
#include "editor/SaveShow.h"
#include "editor/ShellFileSystemWin32.h"
#include "platform/ApplicationWin32.h"
#include "platform/DialogsWin32.h"
#include "platform/SystemPathsWin32.h"

namespace velmora {

namespace {

std::string ToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                        nullptr, nullptr);
  return utf8;
}

// The user's side of a save: the naming dialog and the message boxes, owned
// by the main window.
class WindowSaveUi : public SaveUserInterface {
 public:
  explicit WindowSaveUi(MainWindowLink& main) : main_(main) {}

  std::optional<std::string> AskName(const std::string& current) override {
    TForm3 form;
    if (!form.Create(main_.MainHandle(), current)) return std::nullopt;
    return form.Run();
  }
  bool ConfirmReplace(const std::string& name) override {
    const std::string shown = ToUtf8(WidenAnsi(name));
    return ShowMessage(main_.MainHandle(),
                       "已經有名為「" + shown + "」的螢幕保護，要取代它嗎?\r\nA saver named " +
                           shown + " exists already. Replace it?",
                       MessageKind::Confirmation) == IDYES;
  }
  bool AskClearEmptyFrames() override {
    return ShowMessage(main_.MainHandle(), "存檔前是否要先清空白圖框?", MessageKind::Confirmation) == IDYES;
  }
  void ClearEmptyFrames() override { main_.ClearEmptyFrames(); }
  void SetCaption(const std::string& name) override { main_.SetCaption(WidenAnsi(name)); }
  void ShowCancelled() override { ShowMessage(main_.MainHandle(), "Cancelled", MessageKind::Plain); }
  void ShowError(const std::string& message, const std::string& detail) override {
    std::string text = message;
    if (!detail.empty()) text += "\r\n\r\n" + ToUtf8(WidenAnsi(detail));
    ShowMessage(main_.MainHandle(), text, MessageKind::Error);
  }
  void ShowDone(const std::string& name) override {
    ShowMessage(main_.MainHandle(), ToUtf8(SaveDoneMessage(WidenAnsi(name))), MessageKind::Information);
  }

 private:
  MainWindowLink& main_;
};

}  // namespace

EditorWindows::EditorWindows(MainWindowLink& main) : main_(main) {}

EditorWindows::~EditorWindows() = default;

TPMain1* EditorWindows::EditWindow() {
  if (!edit_) {
    auto window = std::make_unique<TPMain1>(main_);
    if (!window->Create(main_.MainHandle())) return nullptr;
    edit_ = std::move(window);
  }
  return edit_.get();
}

void EditorWindows::ShowEditWindow(bool show) {
  TPMain1* window = EditWindow();
  if (window == nullptr) return;
  if (show) {
    window->Show(SW_SHOWNOACTIVATE);
  } else {
    window->Hide();
  }
}

bool EditorWindows::EditWindowVisible() const { return edit_ && edit_->IsVisible(); }

void EditorWindows::PostCurrentFrameMessage() {
  // Posted whatever the window's visibility: a hidden window shows the
  // right frame when it is shown again.
  if (TPMain1* window = EditWindow()) window->Post(CurrentFrameMessage);
}

void EditorWindows::Save() {
  if (!TheFrameList) return;
  SaveSetting setting;
  setting.isEditorExe = IsEditorExe;
  setting.systemDir = SystemDir;
  setting.saverBaseName = SaverBaseName;
  setting.executablePath = ReadExecutablePath();
  WindowSaveUi ui(main_);
  ShellSaveFileSystem files(main_.MainHandle());
  ShellElevation elevation(main_.MainHandle());
  SaveElevation* offered =
      OffersElevation(IsEditorExe, DirectoryOfPath(setting.executablePath), SystemDir) ? &elevation : nullptr;
  if (SaveShow(*TheFrameList, setting, ui, files, offered) == SaveResult::Saved)
    main_.SetShowModified(false);
}

void EditorWindows::ClearOldSavers() {
  if (!clear_) {
    auto dialog = std::make_unique<TFormClear>();
    if (!dialog->Create(main_.MainHandle())) return;
    clear_ = std::move(dialog);
  }
  clear_->Run();
}

}  // namespace velmora
