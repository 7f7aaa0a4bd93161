#include "platform/EditsWin32.h"

#include "platform/ApplicationWin32.h"
#include "platform/FormWin32.h"

namespace velmora {

// ---- Edit ------------------------------------------------------------------

const wchar_t* Edit::StandardClass() const { return L"EDIT"; }
DWORD Edit::StyleFor(const ControlSpec&) const { return ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP; }
DWORD Edit::ExStyleFor(const ControlSpec&) const { return WS_EX_CLIENTEDGE; }

std::string Edit::TextAnsi() const { return NarrowToAnsi(Text()); }
void Edit::SetTextAnsi(std::string_view text) { SetText(WidenAnsi(text)); }
void Edit::SelectAll() { Send(EM_SETSEL, 0, -1); }
void Edit::SetMaxLength(int characters) { Send(EM_LIMITTEXT, static_cast<WPARAM>(characters > 0 ? characters : 0)); }
HWND Edit::FormHandle() const {
  if (OwnerForm() != nullptr) return OwnerForm()->Handle();
  return Handle() != nullptr ? ::GetAncestor(Handle(), GA_ROOT) : nullptr;
}

bool Edit::OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_COMMAND) {
    switch (HIWORD(wParam)) {
      case EN_CHANGE:
        DoChange();
        break;
      case EN_SETFOCUS:
        DoEnter();
        break;
      case EN_KILLFOCUS:
        DoExit();
        break;
      default:
        return false;
    }
    result = 0;
    return true;
  }
  return Control::OnReflected(message, wParam, lParam, result);
}

// ---- ListBox ---------------------------------------------------------------

const wchar_t* ListBox::StandardClass() const { return L"LISTBOX"; }

DWORD ListBox::StyleFor(const ControlSpec& spec) const {
  DWORD style = LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP;
  if (spec.multiSelect) style |= LBS_EXTENDEDSEL;
  return style;
}
DWORD ListBox::ExStyleFor(const ControlSpec&) const { return WS_EX_CLIENTEDGE; }

void ListBox::Setup(const ControlSpec& spec) {
  if (spec.itemHeight > 0) SetItemHeight(OwnerForm() != nullptr ? OwnerForm()->Scale(spec.itemHeight) : spec.itemHeight);
}

void ListBox::Clear() { Send(LB_RESETCONTENT); }
int ListBox::Add(std::wstring_view item) {
  const std::wstring copy(item);
  return static_cast<int>(Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(copy.c_str())));
}
void ListBox::Delete(int index) { Send(LB_DELETESTRING, static_cast<WPARAM>(index)); }
int ListBox::Count() const {
  return Handle() != nullptr ? static_cast<int>(::SendMessageW(Handle(), LB_GETCOUNT, 0, 0)) : 0;
}
std::wstring ListBox::Item(int index) const {
  if (Handle() == nullptr) return {};
  const LRESULT length = ::SendMessageW(Handle(), LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == LB_ERR) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied =
      ::SendMessageW(Handle(), LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}
bool ListBox::Selected(int index) const {
  if (Handle() == nullptr) return false;
  if (::GetWindowLongPtrW(Handle(), GWL_STYLE) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) {
    return ::SendMessageW(Handle(), LB_GETSEL, static_cast<WPARAM>(index), 0) > 0;
  }
  return ::SendMessageW(Handle(), LB_GETCURSEL, 0, 0) == index;
}
void ListBox::SetSelected(int index, bool selected) {
  if (Handle() == nullptr) return;
  if (::GetWindowLongPtrW(Handle(), GWL_STYLE) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) {
    Send(LB_SETSEL, selected ? TRUE : FALSE, index);
  } else {
    Send(LB_SETCURSEL, static_cast<WPARAM>(selected ? index : -1));
  }
}
void ListBox::SetItemHeight(int pixels) { Send(LB_SETITEMHEIGHT, 0, pixels); }

bool ListBox::OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_COMMAND && HIWORD(wParam) == LBN_SELCHANGE) {
    DoChange();
    result = 0;
    return true;
  }
  return Control::OnReflected(message, wParam, lParam, result);
}

}  // namespace velmora
