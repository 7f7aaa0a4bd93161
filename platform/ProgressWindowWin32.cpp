#include "platform/ProgressWindowWin32.h"

#include "platform/ApplicationWin32.h"

namespace velmora {

namespace {

constexpr ControlSpec kProgressControls[] = {
    {.name = "CountLabel", .kind = ControlKind::Label, .x = 12, .y = 14, .width = 236, .height = 16,
     .alignment = TextAlign::Center},
    {.name = "CancelButton", .kind = ControlKind::Button, .x = 92, .y = 42, .width = 75, .height = 25,
     .caption = "取消", .isCancel = true},
};

constexpr FormSpec kProgressForm{
    .name = "ProgressWindow",
    .caption = "Velmora 99",
    .clientWidth = 260,
    .clientHeight = 78,
    .position = FormPosition::OwnerCenter,
    .border = FormBorder::Dialog,
    .font = {.face = "細明體", .points = 9},
};

}  // namespace

bool ProgressWindow::Start(HWND owner, std::string_view textUtf8, int total) {
  if (Handle() == nullptr) {
    if (!CreateForm(kProgressForm, kProgressControls, owner)) return false;
  }
  owner_ = owner;
  text_ = WidenUtf8(textUtf8);
  total_ = total;
  cancelled_ = false;
  ownerDisabled_ = owner_ != nullptr && ::IsWindowEnabled(owner_);
  if (ownerDisabled_) ::EnableWindow(owner_, FALSE);
  Show(SW_SHOW);
  Step(0);
  return true;
}

std::wstring ProgressWindow::CountText(int done) const {
  std::wstring text = text_;
  if (!text.empty()) text.push_back(L' ');
  return text + std::to_wstring(done) + L" / " + std::to_wstring(total_);
}

void ProgressWindow::Step(int done) {
  if (Handle() == nullptr) return;
  if (auto* label = Find<Label>("CountLabel")) label->SetText(CountText(done));
  Update();
  Application::Instance().ProcessMessages();
}

void ProgressWindow::Finish() {
  if (ownerDisabled_ && owner_ != nullptr && ::IsWindow(owner_)) ::EnableWindow(owner_, TRUE);
  ownerDisabled_ = false;
  if (Handle() != nullptr) Hide();
}

ProgressWindow::~ProgressWindow() { Finish(); }

void ProgressWindow::FormCreate() {
  Get<Button>("CancelButton").onClick = [this](Control&) { cancelled_ = true; };
}

bool ProgressWindow::OnCloseQuery() {
  // The close box cancels like the button; the window stays until Finish.
  cancelled_ = true;
  return false;
}

}  // namespace velmora
