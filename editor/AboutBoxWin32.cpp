#include "editor/AboutBoxWin32.h"

#include "platform/ApplicationWin32.h"
#include "platform/DibImageWin32.h"

namespace velmora {
namespace {

constexpr int kIconSide = 32;

constexpr FormSpec kAboutForm{
    .name = "AboutBox",
    .caption = "關於",  // about
    .clientWidth = 290,
    .clientHeight = 120,
    .position = FormPosition::ScreenCenter,
    .border = FormBorder::Dialog,
};

constexpr ControlSpec kAboutControls[] = {
    {.name = "ProgramIcon", .kind = ControlKind::Picture, .x = 16, .y = 16, .width = kIconSide,
     .height = kIconSide},
    {.name = "ProductName", .kind = ControlKind::Label, .x = 64, .y = 18, .caption = TAboutBox::kName,
     .font = {.face = "Arial", .points = 12, .bold = true}, .autoSize = true},
    {.name = "Version", .kind = ControlKind::Label, .x = 64, .y = 46, .caption = TAboutBox::kVersion,
     .autoSize = true},
    {.name = "OKButton", .kind = ControlKind::Button, .x = 108, .y = 82, .width = 75, .height = 25,
     .caption = "OK", .tabStop = true, .modalResult = IDOK, .isDefault = true, .isCancel = true},
};

// The first icon among the executable's resources, else the system's
// application icon. Shared icons: never destroyed.
BOOL CALLBACK TakeFirstIcon(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
  *reinterpret_cast<LPCWSTR*>(found) = name;
  return FALSE;
}

HICON ProgramIcon() {
  HMODULE module = ::GetModuleHandleW(nullptr);
  LPCWSTR name = nullptr;
  ::EnumResourceNamesW(module, RT_GROUP_ICON, &TakeFirstIcon, reinterpret_cast<LONG_PTR>(&name));
  HICON icon = name != nullptr ? ::LoadIconW(module, name) : nullptr;
  return icon != nullptr ? icon : ::LoadIconW(nullptr, IDI_APPLICATION);
}

}  // namespace

bool TAboutBox::CreateForm(HWND owner) { return Form::CreateForm(kAboutForm, kAboutControls, owner); }

void TAboutBox::FormCreate() {
  Form::FormCreate();
  // The icon on the dialog's own colour (a picture control draws icons on white).
  DibImage image(kIconSide, kIconSide);
  if (image.Dc() == nullptr) return;
  image.Fill(kButtonFace);
  ::DrawIconEx(image.Dc(), 0, 0, ProgramIcon(), kIconSide, kIconSide, 0, nullptr, DI_NORMAL);
  ::GdiFlush();
  Get<PictureBox>("ProgramIcon").SetImage(image);
}

void ShowAboutBox(HWND owner) {
  TAboutBox box;
  if (box.CreateForm(owner)) box.ShowModal();
  if (owner != nullptr && ::IsWindow(owner)) ::SetFocus(owner);
}

}  // namespace velmora
