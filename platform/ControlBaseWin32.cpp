#include "platform/ControlBaseWin32.h"

#include <commctrl.h>

#include "platform/ApplicationWin32.h"
#include "platform/FontsWin32.h"
#include "platform/FormWin32.h"
#include "platform/PanelsWin32.h"

namespace velmora {

COLORREF ToColorRef(TColor colour) {
  if ((colour & 0xFF000000u) == 0x80000000u) return ::GetSysColor(static_cast<int>(colour & 0xFF));
  return static_cast<COLORREF>(colour & 0x00FFFFFFu);
}

Control::~Control() {
  // The form's own tracker is gone by now when the form itself goes.
  if (form_ != nullptr && form_ != this) form_->Drags().Forget(*this);
}

bool Control::CreateFromSpec(Form& form, const ControlSpec& spec, HWND parent, Control* logicalParent) {
  if (Handle() != nullptr || parent == nullptr) return false;
  name_ = spec.name != nullptr ? spec.name : "";
  form_ = &form;
  logicalParent_ = logicalParent;
  tag_ = spec.tag;
  fontColour_ = spec.fontColour;
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | StyleFor(spec);
  if (spec.visible) style |= WS_VISIBLE;
  if (!spec.enabled) style |= WS_DISABLED;
  if (spec.tabStop) style |= WS_TABSTOP;
  if (CreateWindowFor(spec, parent, style, ExStyleFor(spec)) == nullptr) return false;
  SetFontSpec(spec.font, false);
  if (spec.colour != kDefaultColour) SetColour(spec.colour);
  if (spec.hint != nullptr) SetHint(spec.hint);
  Setup(spec);
  return true;
}

HWND Control::CreateWindowFor(const ControlSpec& spec, HWND parent, DWORD style, DWORD exStyle) {
  const wchar_t* className = StandardClass();
  if (className == nullptr) return nullptr;
  const POINT offset = ParentOffset();
  const std::wstring caption = WidenUtf8(spec.caption != nullptr ? spec.caption : "");
  const int id = form_ != nullptr ? form_->NewControlId() : 0;
  const DpiRect place = ScaledPlace(spec);
  HWND window = ::CreateWindowExW(exStyle, className, caption.c_str(), style, place.x + offset.x, place.y + offset.y,
                                  place.width, place.height, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ModuleInstance(), nullptr);
  if (window == nullptr) return nullptr;
  if (!Attach(window)) {
    ::DestroyWindow(window);
    return nullptr;
  }
  return window;
}

const wchar_t* Control::StandardClass() const { return nullptr; }
DWORD Control::StyleFor(const ControlSpec&) const { return 0; }
DWORD Control::ExStyleFor(const ControlSpec&) const { return 0; }
void Control::Setup(const ControlSpec&) {}

DpiRect Control::ScaledPlace(const ControlSpec& spec) const {
  return ScaleToDpi(DpiRect{spec.x, spec.y, spec.width, spec.height}, form_ != nullptr ? form_->Dpi() : kDesignDpi);
}

void Control::DpiChanged() { SetFontSpec(fontSpec_, false); }

POINT Control::ParentOffset() const {
  POINT offset{0, 0};
  if (logicalParent_ != nullptr && dynamic_cast<const GroupBox*>(logicalParent_) != nullptr) {
    const RECT box = logicalParent_->Bounds();
    offset = {box.left, box.top};
  }
  return offset;
}

HINSTANCE Control::ModuleInstance() {
  HINSTANCE instance = Application::Instance().InstanceHandle();
  return instance != nullptr ? instance : ::GetModuleHandleW(nullptr);
}

HWND Control::CreateOwnClassWindow(const wchar_t* className, const ControlSpec& spec, HWND parent, DWORD style,
                                   DWORD exStyle) {
  const POINT offset = ParentOffset();
  WindowClass windowClass;
  windowClass.name = className;
  WindowCreateParams params;
  params.title = WidenUtf8(spec.caption != nullptr ? spec.caption : "");
  params.style = style;
  params.exStyle = exStyle;
  const DpiRect place = ScaledPlace(spec);
  params.x = place.x + offset.x;
  params.y = place.y + offset.y;
  params.width = place.width;
  params.height = place.height;
  params.parent = parent;
  params.menuOrId = reinterpret_cast<HMENU>(static_cast<INT_PTR>(form_ != nullptr ? form_->NewControlId() : 0));
  return Create(windowClass, params);
}

void Control::DropTheme() {
  // uxtheme is loaded on demand and kept.
  using SetWindowThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
  static HMODULE uxtheme = ::LoadLibraryW(L"uxtheme.dll");
  if (uxtheme == nullptr || Handle() == nullptr) return;
  auto setTheme = reinterpret_cast<SetWindowThemeFn>(
      reinterpret_cast<void*>(::GetProcAddress(uxtheme, "SetWindowTheme")));
  if (setTheme != nullptr) setTheme(Handle(), L"", L"");
}

void Control::SetCaption(std::string_view utf8) { SetText(WidenUtf8(utf8)); }
std::string Control::Caption() const { return NarrowToUtf8(Text()); }

bool Control::Visible() const {
  return Handle() != nullptr && (::GetWindowLongPtrW(Handle(), GWL_STYLE) & WS_VISIBLE) != 0;
}
void Control::SetVisible(bool visible) {
  if (Handle() == nullptr || visible == Visible()) return;
  ::ShowWindow(Handle(), visible ? SW_SHOWNA : SW_HIDE);
}

int Control::Left() const { return Bounds().left - ParentOffset().x; }
int Control::Top() const { return Bounds().top - ParentOffset().y; }
int Control::Width() const {
  const RECT bounds = Bounds();
  return bounds.right - bounds.left;
}
int Control::Height() const {
  const RECT bounds = Bounds();
  return bounds.bottom - bounds.top;
}
void Control::SetPlace(int left, int top, int width, int height) {
  const POINT offset = ParentOffset();
  SetBounds(left + offset.x, top + offset.y, width, height);
}
void Control::SetLeft(int left) { SetPlace(left, Top(), Width(), Height()); }
void Control::SetTop(int top) { SetPlace(Left(), top, Width(), Height()); }
void Control::SetWidth(int width) { SetPlace(Left(), Top(), width, Height()); }
void Control::SetHeight(int height) { SetPlace(Left(), Top(), Width(), height); }

void Control::SetFont(HFONT font, bool redraw) {
  font_ = font;
  if (Handle() != nullptr) Send(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw ? TRUE : FALSE);
  FontSet();
}

void Control::FontSet() {}

void Control::SetFontSpec(const FontSpec& spec, bool redraw) {
  fontSpec_ = spec;
  const FontSpec base = form_ != nullptr ? form_->FontDescription() : FontSpec{.face = "MS Sans Serif", .points = 8};
  SetFont(FontCache::Instance().Get(spec, base, form_ != nullptr ? form_->Dpi() : 0), redraw);
}

void Control::SetFontColour(TColor colour) {
  fontColour_ = colour;
  if (Handle() != nullptr && colour != kDefaultColour) DropTheme();
  Invalidate(true);
}

void Control::SetColour(TColor colour) {
  colour_ = colour;
  brush_.reset(colour != kDefaultColour ? ::CreateSolidBrush(ToColorRef(colour)) : nullptr);
  if (Handle() != nullptr) ::RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

HBRUSH Control::BackgroundBrush() const {
  if (brush_) return brush_.get();
  if (Handle() != nullptr && (::GetWindowLongPtrW(Handle(), GWL_STYLE) & WS_CHILD)) {
    if (auto* parent = dynamic_cast<Control*>(Window::FromHandle(::GetParent(Handle())))) {
      return parent->BackgroundBrush();
    }
  }
  return ::GetSysColorBrush(COLOR_BTNFACE);
}

HBRUSH Control::PrepareColours(HDC dc, HBRUSH fallback) {
  if (fontColour_ != kDefaultColour) ::SetTextColor(dc, ToColorRef(fontColour_));
  if (brush_) {
    ::SetBkColor(dc, ToColorRef(colour_));
    return brush_.get();
  }
  return fallback;
}

void Control::SetHint(std::string_view utf8) {
  hint_.assign(utf8);
  if (form_ == nullptr || Handle() == nullptr) return;
  HWND tips = form_->ToolTips();
  if (tips == nullptr) return;
  std::wstring text = WidenUtf8(hint_);
  TOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = form_->Handle();
  tool.uId = reinterpret_cast<UINT_PTR>(Handle());
  tool.lpszText = text.data();
  TOOLINFOW existing = tool;
  existing.lpszText = nullptr;
  if (::SendMessageW(tips, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&existing))) {
    ::SendMessageW(tips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  } else {
    ::SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void Control::SetFocus() {
  if (Handle() != nullptr) ::SetFocus(Handle());
}
bool Control::Focused() const { return Handle() != nullptr && ::GetFocus() == Handle(); }

void Control::BeginDrag() {
  if (form_ != nullptr) form_->Drags().Begin(*this);
}
bool Control::Dragging() const { return form_ != nullptr && form_->Drags().IsSource(*this); }

bool Control::WantsKey(UINT) const { return false; }

void Control::DoClick() {
  if (onClick) {
    NotifyHandler handler = onClick;  // a copy: the handler may rebind itself
    handler(*this);
  }
}
void Control::DoChange() {
  if (onChange) {
    NotifyHandler handler = onChange;
    handler(*this);
  }
}
void Control::DoEnter() {
  if (onEnter) {
    NotifyHandler handler = onEnter;
    handler(*this);
  }
}
void Control::DoExit() {
  if (onExit) {
    NotifyHandler handler = onExit;
    handler(*this);
  }
}

LRESULT Control::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (form_ != nullptr && form_->Drags().Route(*this, message, wParam, lParam)) {
    return message == WM_SETCURSOR ? TRUE : 0;
  }
  return Window::HandleMessage(message, wParam, lParam);
}

bool Control::OnReflected(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      // Static-like controls draw on their parent's background.
      HDC dc = reinterpret_cast<HDC>(wParam);
      HWND parent = ::GetParent(Handle());
      auto* parentControl = dynamic_cast<Control*>(Window::FromHandle(parent));
      HBRUSH fallback = parentControl != nullptr ? parentControl->BackgroundBrush() : ::GetSysColorBrush(COLOR_BTNFACE);
      LOGBRUSH info{};
      if (::GetObjectW(fallback, sizeof(info), &info) == sizeof(info)) ::SetBkColor(dc, info.lbColor);
      result = reinterpret_cast<LRESULT>(PrepareColours(dc, fallback));
      return true;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      result = reinterpret_cast<LRESULT>(PrepareColours(dc, ::GetSysColorBrush(COLOR_WINDOW)));
      return true;
    }
    default:
      return false;
  }
}

bool Control::OnMouseDown(MouseButton button, int x, int y, WPARAM keys) {
  if (!onMouseDown) return false;
  MouseButtonHandler handler = onMouseDown;
  handler(*this, button, x, y, keys);
  return true;
}
bool Control::OnMouseUp(MouseButton button, int x, int y, WPARAM keys) {
  if (!onMouseUp) return false;
  MouseButtonHandler handler = onMouseUp;
  handler(*this, button, x, y, keys);
  return true;
}
bool Control::OnDoubleClick(MouseButton button, int x, int y, WPARAM keys) {
  return OnMouseDown(button, x, y, keys);
}

bool Control::OnMouseMove(int x, int y, WPARAM keys) {
  if (!onMouseMove) return false;
  MouseMoveHandler handler = onMouseMove;
  handler(*this, x, y, keys);
  return true;
}

}  // namespace velmora
