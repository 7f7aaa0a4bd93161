#include "platform/ButtonsWin32.h"

#include <string>

#include "platform/FormWin32.h"
#include "platform/PanelsWin32.h"

namespace velmora {

// ---- Check-mark buttons ----------------------------------------------------

const wchar_t* CheckMarkButton::StandardClass() const { return L"BUTTON"; }

bool CheckMarkButton::Checked() const {
  return Handle() != nullptr && ::SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CheckMarkButton::SetMark(bool checked) {
  if (Handle() != nullptr) ::SendMessageW(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool CheckMarkButton::OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_COMMAND && (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == BN_DOUBLECLICKED)) {
    Clicked();
    result = 0;
    return true;
  }
  if (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN) {
    Control::OnReflected(message, wParam, lParam, result);
    ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    return true;
  }
  return Control::OnReflected(message, wParam, lParam, result);
}

// ---- RadioButton -----------------------------------------------------------

DWORD RadioButton::StyleFor(const ControlSpec&) const { return BS_RADIOBUTTON | WS_TABSTOP; }

void RadioButton::Setup(const ControlSpec& spec) {
  if (spec.fontColour != kDefaultColour) DropTheme();
  if (spec.down) CheckAlone();
}

std::vector<RadioButton*> RadioButton::Group() const {
  std::vector<RadioButton*> group;
  if (OwnerForm() == nullptr) return group;
  for (Control* control : OwnerForm()->ChildrenOf(ParentControl())) {
    if (auto* radio = dynamic_cast<RadioButton*>(control)) group.push_back(radio);
  }
  return group;
}

void RadioButton::CheckAlone() {
  for (RadioButton* other : Group()) {
    if (other != this) other->SetMark(false);
  }
  SetMark(true);
}

void RadioButton::Select() {
  if (Checked()) return;
  CheckAlone();
  DoClick();
}

void RadioButton::SelectSilently() { CheckAlone(); }

void RadioButton::Uncheck() { SetMark(false); }

void RadioButton::Clicked() { Select(); }

// ---- CheckBox --------------------------------------------------------------

std::unique_ptr<Control> CheckBox::Make() { return std::make_unique<CheckBox>(); }

DWORD CheckBox::StyleFor(const ControlSpec&) const { return BS_AUTOCHECKBOX | WS_TABSTOP; }

void CheckBox::SetChecked(bool checked) { SetMark(checked); }

// BS_AUTOCHECKBOX has already turned the mark.
void CheckBox::Clicked() { DoClick(); }

// ---- Buttons ---------------------------------------------------------------

const wchar_t* Button::StandardClass() const { return L"BUTTON"; }

DWORD Button::StyleFor(const ControlSpec& spec) const {
  if (spec.glyph != nullptr) return BS_OWNERDRAW | WS_TABSTOP;
  return (spec.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP;
}

void Button::Setup(const ControlSpec& spec) {
  modalResult_ = spec.modalResult;
  default_ = spec.isDefault;
  cancel_ = spec.isCancel;
  if (spec.glyph != nullptr) LoadGlyph(spec.glyph);
}

void Button::SetGlyph(UniqueBitmap glyph) {
  glyph_ = std::move(glyph);
  if (Handle() != nullptr) {
    const LONG_PTR style = ::GetWindowLongPtrW(Handle(), GWL_STYLE);
    ::SetWindowLongPtrW(Handle(), GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
  }
  Invalidate(true);
}

bool Button::LoadGlyph(const wchar_t* resourceName) {
  if (resourceName == nullptr) return false;
  HANDLE image = ::LoadImageW(ModuleInstance(), resourceName, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
  if (image == nullptr) return false;
  SetGlyph(UniqueBitmap(static_cast<HBITMAP>(image)));
  return true;
}

void Button::Click() {
  if (IsEnabled()) DoClick();
}

void Button::DoClick() {
  if (modalResult_ != 0 && OwnerForm() != nullptr) OwnerForm()->SetModalResult(modalResult_);
  Control::DoClick();
}

void Button::SetDownState(bool down) {
  if (down_ == down) return;
  down_ = down;
  Invalidate(false);
}

bool Button::OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_COMMAND && (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == BN_DOUBLECLICKED)) {
    DoClick();
    result = 0;
    return true;
  }
  if (message == WM_DRAWITEM) {
    DrawFace(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    result = TRUE;
    return true;
  }
  return Control::OnReflected(message, wParam, lParam, result);
}

namespace {

// The width a glyph is drawn at: one image, or the first of two side by side.
int GlyphWidth(HBITMAP glyph) {
  BITMAP info{};
  if (glyph == nullptr || ::GetObjectW(glyph, sizeof(info), &info) == 0) return 0;
  const int height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  return info.bmWidth == 2 * height ? height : info.bmWidth;
}

// Draws a glyph (one image, or the enabled and disabled images side by
// side) with its bottom-left pixel's colour transparent.
void DrawGlyph(HDC dc, HBITMAP glyph, int x, int centreY, bool enabled) {
  BITMAP info{};
  if (glyph == nullptr || ::GetObjectW(glyph, sizeof(info), &info) == 0) return;
  const int height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  const bool twoImages = info.bmWidth == 2 * height;
  const int width = twoImages ? height : info.bmWidth;
  UniqueMemoryDc source(::CreateCompatibleDC(dc));
  SelectGuard select(source.get(), glyph);
  const COLORREF transparent = ::GetPixel(source.get(), 0, height - 1);
  const int sourceX = twoImages && !enabled ? width : 0;
  ::TransparentBlt(dc, x, centreY - height / 2, width, height, source.get(), sourceX, 0, width, height, transparent);
}

}  // namespace

void Button::DrawContent(const DRAWITEMSTRUCT& item, const RECT& face, bool pushed, int focusInset) {
  HDC dc = item.hDC;
  const bool enabled = (item.itemState & ODS_DISABLED) == 0;
  const int shift = pushed ? 1 : 0;
  const std::wstring text = Text();
  SelectGuard font(dc, Font() != nullptr ? Font() : ::GetStockObject(DEFAULT_GUI_FONT));
  RECT measure{0, 0, 0, 0};
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measure, DT_CALCRECT | DT_SINGLELINE);
  const int glyphWidth = GlyphWidth(glyph_.get());
  const int gap = glyphWidth > 0 && !text.empty() ? (OwnerForm() != nullptr ? OwnerForm()->Scale(4) : 4) : 0;
  const int total = glyphWidth + gap + (measure.right - measure.left);
  const int left = (face.left + face.right - total) / 2 + shift;
  const int centreY = (face.top + face.bottom) / 2 + shift;
  if (glyphWidth > 0) DrawGlyph(dc, glyph_.get(), left, centreY, enabled);
  RECT textRect{left + glyphWidth + gap, face.top + shift, face.right, face.bottom + shift};
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, enabled ? (FontColour() != kDefaultColour ? ToColorRef(FontColour()) : ::GetSysColor(COLOR_BTNTEXT))
                             : ::GetSysColor(COLOR_GRAYTEXT));
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  if ((item.itemState & ODS_FOCUS) != 0) {
    RECT focus = face;
    ::InflateRect(&focus, -focusInset, -focusInset);
    ::DrawFocusRect(dc, &focus);
  }
}

void Button::DrawFace(const DRAWITEMSTRUCT& item) {
  RECT face = item.rcItem;
  const bool pushed = (item.itemState & ODS_SELECTED) != 0 || down_;
  ::DrawFrameControl(item.hDC, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
  DrawContent(item, face, pushed, 3);
}

DWORD SpeedButton::StyleFor(const ControlSpec&) const { return BS_OWNERDRAW; }

void SpeedButton::Setup(const ControlSpec& spec) {
  Button::Setup(spec);
  groupIndex_ = spec.groupIndex;
  allowAllUp_ = spec.allowAllUp;
  flat_ = spec.flat || dynamic_cast<ToolBar*>(ParentControl()) != nullptr;
  if (spec.down && groupIndex_ != 0) SetDown(true);
}

void SpeedButton::SetDown(bool down) {
  if (groupIndex_ == 0) return;
  if (down && OwnerForm() != nullptr) {
    for (Control* control : OwnerForm()->Controls()) {
      auto* other = dynamic_cast<SpeedButton*>(control);
      if (other != nullptr && other != this && other->groupIndex_ == groupIndex_ &&
          other->ParentControl() == ParentControl()) {
        other->SetDownState(false);
      }
    }
  }
  SetDownState(down);
}

void SpeedButton::DoClick() {
  if (groupIndex_ != 0) {
    if (!IsDown()) {
      SetDown(true);
    } else if (allowAllUp_) {
      SetDown(false);
    }
  }
  Button::DoClick();
}

LRESULT SpeedButton::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // An owner-drawn button keeps no check state; report the down state.
  if (message == BM_GETCHECK) return IsDown() ? BST_CHECKED : BST_UNCHECKED;
  if (message == BM_GETSTATE) {
    LRESULT state = Button::HandleMessage(message, wParam, lParam);
    return IsDown() ? (state | BST_CHECKED) : state;
  }
  return Button::HandleMessage(message, wParam, lParam);
}

void SpeedButton::DrawFace(const DRAWITEMSTRUCT& item) {
  if (!flat_) {
    Button::DrawFace(item);
    return;
  }
  HDC dc = item.hDC;
  RECT face = item.rcItem;
  const bool pushed = (item.itemState & ODS_SELECTED) != 0 || IsDown();
  ::FillRect(dc, &face, BackgroundBrush());
  if (IsDown()) {
    // A down toggle shows a lighter, sunken face.
    UniqueBrush light(::CreateSolidBrush(::GetSysColor(COLOR_3DHILIGHT)));
    RECT inner = face;
    ::InflateRect(&inner, -1, -1);
    ::FillRect(dc, &inner, light.get());
  }
  if (pushed) ::DrawEdge(dc, &face, BDR_SUNKENOUTER, BF_RECT);
  DrawContent(item, face, pushed, 2);
}

}  // namespace velmora
