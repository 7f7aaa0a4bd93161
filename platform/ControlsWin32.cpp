#include "platform/ControlsWin32.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cwchar>

#include "platform/ApplicationWin32.h"
#include "platform/FontsWin32.h"
#include "platform/FormWin32.h"

namespace velmora {

COLORREF ToColorRef(TColor colour) {
  if ((colour & 0xFF000000u) == 0x80000000u) return ::GetSysColor(static_cast<int>(colour & 0xFF));
  return static_cast<COLORREF>(colour & 0x00FFFFFFu);
}

namespace {

HINSTANCE Instance() {
  HINSTANCE instance = Application::Instance().InstanceHandle();
  return instance != nullptr ? instance : ::GetModuleHandleW(nullptr);
}

// Visual styles draw radio and group-box texts in the theme's colour; a
// control with a colour of its own is drawn unthemed. uxtheme is loaded on
// demand and kept.
void DropTheme(HWND window) {
  using SetWindowThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
  static HMODULE uxtheme = ::LoadLibraryW(L"uxtheme.dll");
  if (uxtheme == nullptr) return;
  auto setTheme = reinterpret_cast<SetWindowThemeFn>(
      reinterpret_cast<void*>(::GetProcAddress(uxtheme, "SetWindowTheme")));
  if (setTheme != nullptr) setTheme(window, L"", L"");
}

// The drag in progress (one at a time, on the UI thread).
struct DragState {
  Control* source = nullptr;
  Control* target = nullptr;
  bool accepted = false;
  HWND previousFocus = nullptr;
};
DragState g_drag;

}  // namespace

// Runs a drag for Control::BeginDrag: the source keeps the capture and
// passes its mouse and key messages here.
class DragTracker {
 public:
  static void Begin(Control& source) {
    if (g_drag.source != nullptr || source.Handle() == nullptr) return;
    g_drag = DragState{};
    g_drag.source = &source;
    g_drag.previousFocus = ::GetFocus();
    // The source takes the keyboard so that Escape reaches it.
    ::SetFocus(source.Handle());
    ::SetCapture(source.Handle());
    ::SetCursor(::LoadCursorW(nullptr, IDC_NO));
  }

  // Handles a message to the source while it is dragged; true when used.
  static bool Handle(Control& source, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_drag.source != &source) return false;
    switch (message) {
      case WM_MOUSEMOVE:
        Track(ScreenPoint(source, lParam));
        return true;
      case WM_LBUTTONUP:
        Drop(ScreenPoint(source, lParam));
        return true;
      case WM_RBUTTONDOWN:
      case WM_CANCELMODE:
        End();
        return true;
      case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) End();
        return true;
      case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != source.Handle()) End(false);
        return true;
      case WM_SETCURSOR:
        ::SetCursor(::LoadCursorW(nullptr, g_drag.accepted ? IDC_ARROW : IDC_NO));
        return true;
      default:
        return false;
    }
  }

  static void Forget(Control& control) {
    if (g_drag.source == &control) {
      End(false);
    } else if (g_drag.target == &control) {
      g_drag.target = nullptr;
      g_drag.accepted = false;
    }
  }

  static bool IsSource(const Control& control) { return g_drag.source == &control; }

  static void End(bool releaseCapture = true) {
    if (g_drag.source == nullptr) return;
    HWND source = g_drag.source->Handle();
    HWND focus = g_drag.previousFocus;
    g_drag = DragState{};
    if (releaseCapture && ::GetCapture() == source) ::ReleaseCapture();
    if (focus != nullptr && ::IsWindow(focus)) ::SetFocus(focus);
  }

 private:
  static POINT ScreenPoint(Control& source, LPARAM lParam) {
    POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ClientToScreen(source.Handle(), &point);
    return point;
  }

  // The control under a screen point: the window there, as a control of ours.
  static Control* ControlAt(POINT screen, POINT& client) {
    HWND window = ::WindowFromPoint(screen);
    auto* control = dynamic_cast<Control*>(Window::FromHandle(window));
    if (control == nullptr) return nullptr;
    client = screen;
    ::ScreenToClient(window, &client);
    return control;
  }

  static void Track(POINT screen) {
    POINT client{};
    Control* target = ControlAt(screen, client);
    Control* source = g_drag.source;
    bool accepted = false;
    if (target != nullptr && target->onDragOver) {
      DragOverHandler handler = target->onDragOver;
      accepted = handler(*target, *source, client.x, client.y);
    }
    if (g_drag.source != source) return;  // the handler ended the drag
    g_drag.target = accepted ? target : nullptr;
    g_drag.accepted = accepted;
    ::SetCursor(::LoadCursorW(nullptr, accepted ? IDC_ARROW : IDC_NO));
  }

  static void Drop(POINT screen) {
    Track(screen);
    Control* source = g_drag.source;
    Control* target = g_drag.target;
    const bool accepted = g_drag.accepted;
    End();
    if (source == nullptr || target == nullptr || !accepted || !target->onDragDrop) return;
    POINT client = screen;
    ::ScreenToClient(target->Handle(), &client);
    DragDropHandler handler = target->onDragDrop;
    handler(*target, *source, client.x, client.y);
  }
};

// ---- Control ---------------------------------------------------------------

Control::~Control() { DragTracker::Forget(*this); }

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
  SetFont(FontCache::Instance().Get(spec.font, form.FontDescription()), false);
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
  HWND window = ::CreateWindowExW(exStyle, className, caption.c_str(), style, spec.x + offset.x, spec.y + offset.y,
                                  spec.width, spec.height, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
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

POINT Control::ParentOffset() const {
  POINT offset{0, 0};
  if (logicalParent_ != nullptr && dynamic_cast<const GroupBox*>(logicalParent_) != nullptr) {
    const RECT box = logicalParent_->Bounds();
    offset = {box.left, box.top};
  }
  return offset;
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
}

void Control::SetFontColour(TColor colour) {
  fontColour_ = colour;
  if (Handle() != nullptr && colour != kDefaultColour) DropTheme(Handle());
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

void Control::BeginDrag() { DragTracker::Begin(*this); }
bool Control::Dragging() const { return DragTracker::IsSource(*this); }
void Control::CancelDrag() { DragTracker::End(); }
bool Control::DragInProgress() { return g_drag.source != nullptr; }

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
  if (DragTracker::Handle(*this, message, wParam, lParam)) return message == WM_SETCURSOR ? TRUE : 0;
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

// ---- Panel and ToolBar -----------------------------------------------------

namespace {
constexpr wchar_t kPanelClass[] = L"VelmoraPanel";
constexpr wchar_t kPictureClass[] = L"VelmoraPicture";
constexpr wchar_t kShapeClass[] = L"VelmoraShape";

HWND CreateOwnClass(Window& window, const wchar_t* className, const ControlSpec& spec, HWND parent, DWORD style,
                    DWORD exStyle, POINT offset, int id) {
  WindowClass windowClass;
  windowClass.name = className;
  WindowCreateParams params;
  params.title = WidenUtf8(spec.caption != nullptr ? spec.caption : "");
  params.style = style;
  params.exStyle = exStyle;
  params.x = spec.x + offset.x;
  params.y = spec.y + offset.y;
  params.width = spec.width;
  params.height = spec.height;
  params.parent = parent;
  params.menuOrId = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
  return window.Create(windowClass, params);
}
}  // namespace

HWND Panel::CreateWindowFor(const ControlSpec& spec, HWND parent, DWORD style, DWORD exStyle) {
  return CreateOwnClass(*this, kPanelClass, spec, parent, style, exStyle, ParentOffset(),
                        OwnerForm() != nullptr ? OwnerForm()->NewControlId() : 0);
}
const wchar_t* Panel::StandardClass() const { return nullptr; }
DWORD Panel::ExStyleFor(const ControlSpec&) const { return WS_EX_CONTROLPARENT; }
void Panel::Setup(const ControlSpec& spec) { bevel_ = spec.bevel; }

void Panel::SetColour(TColor colour) { Control::SetColour(colour); }

HBRUSH Panel::BackgroundBrush() const {
  if (Colour() != kDefaultColour) return Control::BackgroundBrush();
  return ::GetSysColorBrush(COLOR_BTNFACE);
}

void Panel::SetBevel(BevelStyle outer) {
  bevel_ = outer;
  Invalidate(true);
}

void Panel::SetEdges(bool topAndBottom) {
  edges_ = topAndBottom;
  Invalidate(true);
}

bool Panel::OnEraseBackground(HDC dc) {
  RECT client = ClientRect();
  ::FillRect(dc, &client, BackgroundBrush());
  return true;
}

bool Panel::OnPaint(HDC dc, const RECT&) {
  RECT client = ClientRect();
  if (bevel_ == BevelStyle::Lowered) ::DrawEdge(dc, &client, BDR_SUNKENOUTER, BF_RECT);
  if (bevel_ == BevelStyle::Raised) ::DrawEdge(dc, &client, BDR_RAISEDINNER, BF_RECT);
  if (edges_) ::DrawEdge(dc, &client, EDGE_ETCHED, BF_TOP | BF_BOTTOM);
  return true;
}

bool Panel::OnMouseDown(MouseButton button, int x, int y, WPARAM keys) {
  if (button == MouseButton::Left) {
    pressed_ = true;
    ::SetCapture(Handle());
  }
  Control::OnMouseDown(button, x, y, keys);
  return true;
}

bool Panel::OnMouseUp(MouseButton button, int x, int y, WPARAM keys) {
  const bool click = button == MouseButton::Left && pressed_;
  if (button == MouseButton::Left) {
    pressed_ = false;
    if (::GetCapture() == Handle()) ::ReleaseCapture();
  }
  Control::OnMouseUp(button, x, y, keys);
  const RECT client = ClientRect();
  const POINT point{x, y};
  if (click && ::PtInRect(&client, point)) DoClick();
  return true;
}

void ToolBar::Setup(const ControlSpec& spec) {
  Panel::Setup(spec);
  SetEdges(true);
}

// ---- Labels ----------------------------------------------------------------

const wchar_t* Label::StandardClass() const { return L"STATIC"; }

DWORD Label::StyleFor(const ControlSpec& spec) const {
  DWORD style = SS_NOTIFY;
  switch (spec.alignment) {
    case TextAlign::Right:
      style |= SS_RIGHT;
      break;
    case TextAlign::Center:
      style |= SS_CENTER;
      break;
    case TextAlign::Left:
      // Clipped at the right edge rather than wrapped.
      style |= SS_LEFTNOWORDWRAP;
      break;
  }
  return style;
}

void Label::Setup(const ControlSpec& spec) {
  align_ = spec.alignment;
  autoSize_ = spec.autoSize;
  if (autoSize_) FitToText();
}

void Label::SetCaption(std::string_view utf8) {
  if (Handle() == nullptr) {
    Control::SetCaption(utf8);
    return;
  }
  // A static control may paint itself at once when its text changes; the
  // invalidation below paints it anyway, so only the window text is stored
  // here (one paint instead of two).
  const std::wstring text = WidenUtf8(utf8);
  ::DefWindowProcW(Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (autoSize_) FitToText(text);
  // The label paints its whole rectangle with its parent's background before
  // the text, so only the label itself is repainted; a change of size has
  // had the parent repaint the uncovered part already.
  ::InvalidateRect(Handle(), nullptr, TRUE);
}

void Label::SetAutoSize(bool autoSize) {
  autoSize_ = autoSize;
  if (autoSize_) FitToText();
}

void Label::FitToText() {
  if (Handle() != nullptr) FitToText(Text());
}

void Label::FitToText(std::wstring_view text) {
  if (Handle() == nullptr) return;
  // Measured on a memory DC: a window DC would first fetch the window's
  // visible region, which is all it would add.
  UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
  SelectGuard font(dc.get(), Font() != nullptr ? Font() : ::GetStockObject(DEFAULT_GUI_FONT));
  RECT measure{0, 0, 0, 0};
  int width = 0;
  int height = 0;
  if (text.empty()) {
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc.get(), &metrics);
    height = metrics.tmHeight;
  } else {
    ::DrawTextW(dc.get(), text.data(), static_cast<int>(text.size()), &measure, DT_CALCRECT | DT_SINGLELINE);
    width = measure.right - measure.left;
    height = measure.bottom - measure.top;
  }
  const RECT bounds = Bounds();
  const POINT offset = ParentOffset();
  const int right = bounds.right - offset.x;
  const int left = align_ == TextAlign::Right ? right - width : bounds.left - offset.x;
  // Moving a window costs a repaint of both places: only when the text's size changed.
  if (left == bounds.left - offset.x && width == bounds.right - bounds.left && height == bounds.bottom - bounds.top) return;
  SetPlace(left, bounds.top - offset.y, width, height);
}

bool Label::OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_COMMAND && HIWORD(wParam) == STN_CLICKED) {
    DoClick();
    result = 0;
    return true;
  }
  if (message == WM_CTLCOLORSTATIC && transparent_) {
    Control::OnReflected(message, wParam, lParam, result);
    ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    return true;
  }
  return Control::OnReflected(message, wParam, lParam, result);
}

DWORD StaticText::StyleFor(const ControlSpec& spec) const {
  DWORD style = Label::StyleFor(spec);
  if (spec.border) style |= WS_BORDER;
  return style;
}
DWORD StaticText::ExStyleFor(const ControlSpec&) const { return 0; }

const wchar_t* Bevel::StandardClass() const { return L"STATIC"; }
void Bevel::Setup(const ControlSpec& spec) {
  // An etched static may size itself; the line keeps the designed place.
  SetPlace(spec.x, spec.y, spec.width, spec.height);
}
DWORD Bevel::StyleFor(const ControlSpec& spec) const {
  if (spec.height <= 2) return SS_ETCHEDHORZ;
  if (spec.width <= 2) return SS_ETCHEDVERT;
  return SS_ETCHEDFRAME;
}

// ---- PictureBox ------------------------------------------------------------

HWND PictureBox::CreateWindowFor(const ControlSpec& spec, HWND parent, DWORD style, DWORD exStyle) {
  return CreateOwnClass(*this, kPictureClass, spec, parent, style, exStyle, ParentOffset(),
                        OwnerForm() != nullptr ? OwnerForm()->NewControlId() : 0);
}
const wchar_t* PictureBox::StandardClass() const { return nullptr; }

void PictureBox::Clear() {
  kind_ = Content::None;
  picture_.reset();
  Invalidate(true);
}

void PictureBox::FillColour(TColor colour) {
  kind_ = Content::Colour;
  fill_ = colour;
  picture_.reset();
  Invalidate(true);
}

void PictureBox::SetGraphic(const Graphic& graphic) {
  const RECT client = ClientRect();
  const int width = std::max<int>(1, client.right);
  const int height = std::max<int>(1, client.bottom);
  auto image = std::make_unique<DibImage>(width, height);
  image->Fill(kWhite);
  graphic.StretchDraw(*image, Rect{0, 0, width, height});
  picture_ = std::move(image);
  kind_ = Content::Picture;
  Invalidate(true);
}

void PictureBox::SetImage(const Image24& image) {
  if (image.Width() <= 0 || image.Height() <= 0) {
    Clear();
    return;
  }
  // A strip slot shows one thumbnail size after another: its section is kept.
  if (!picture_ || picture_->Width() != image.Width() || picture_->Height() != image.Height() ||
      picture_->Dc() == nullptr) {
    picture_ = std::make_unique<DibImage>(image.Width(), image.Height());
  }
  ::GdiFlush();
  std::copy(image.Bits(), image.Bits() + image.ByteSize(), picture_->Bits());
  kind_ = Content::Picture;
  Invalidate(true);
}

void PictureBox::SetBitmap(UniqueBitmap bitmap) {
  BITMAP info{};
  if (!bitmap || ::GetObjectW(bitmap.get(), sizeof(info), &info) == 0 || info.bmWidth <= 0 ||
      info.bmHeight == 0) {
    Clear();
    return;
  }
  const int height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  auto copy = std::make_unique<DibImage>(info.bmWidth, height);
  UniqueMemoryDc source(::CreateCompatibleDC(copy->Dc()));
  {
    SelectGuard select(source.get(), bitmap.get());
    ::BitBlt(copy->Dc(), 0, 0, info.bmWidth, height, source.get(), 0, 0, SRCCOPY);
  }
  ::GdiFlush();
  picture_ = std::move(copy);
  kind_ = Content::Picture;
  Invalidate(true);
}

DibImage* PictureBox::Picture() noexcept { return kind_ == Content::Picture ? picture_.get() : nullptr; }

void PictureBox::Refresh() {
  if (Handle() != nullptr) ::RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

bool PictureBox::OnEraseBackground(HDC) { return true; }

bool PictureBox::OnPaint(HDC dc, const RECT&) {
  RECT client = ClientRect();
  switch (kind_) {
    case Content::None:
      ::FillRect(dc, &client, BackgroundBrush());
      break;
    case Content::Colour: {
      UniqueBrush brush(::CreateSolidBrush(ToColorRef(fill_)));
      ::FillRect(dc, &client, brush.get());
      break;
    }
    case Content::Picture:
      if (picture_ && picture_->Dc() != nullptr) {
        ::SetStretchBltMode(dc, HALFTONE);
        ::SetBrushOrgEx(dc, 0, 0, nullptr);
        ::StretchBlt(dc, 0, 0, client.right, client.bottom, picture_->Dc(), 0, 0, picture_->Width(),
                     picture_->Height(), SRCCOPY);
      } else {
        ::FillRect(dc, &client, BackgroundBrush());
      }
      break;
  }
  return true;
}

bool PictureBox::OnMouseDown(MouseButton button, int x, int y, WPARAM keys) {
  // Moves outside the control still arrive while the button is down.
  if (button == MouseButton::Left) ::SetCapture(Handle());
  Control::OnMouseDown(button, x, y, keys);
  return true;
}

bool PictureBox::OnMouseUp(MouseButton button, int x, int y, WPARAM keys) {
  if (button == MouseButton::Left && ::GetCapture() == Handle()) ::ReleaseCapture();
  Control::OnMouseUp(button, x, y, keys);
  return true;
}

// ---- ScrollBar -------------------------------------------------------------

const wchar_t* ScrollBar::StandardClass() const { return L"SCROLLBAR"; }
DWORD ScrollBar::StyleFor(const ControlSpec& spec) const { return spec.vertical ? SBS_VERT : SBS_HORZ; }

void ScrollBar::Setup(const ControlSpec& spec) {
  vertical_ = spec.vertical;
  if (spec.max > spec.min) {
    min_ = spec.min;
    max_ = spec.max;
  }
  page_ = std::max(0, spec.page);
  position_ = spec.position;
  Apply(false, position_);
}

int ScrollBar::PositionForCode(int code, int current, int trackPosition) const {
  const int step = std::max(1, page_);
  int position = current;
  switch (code) {
    case SB_LINELEFT:
      position = current - 1;
      break;
    case SB_LINERIGHT:
      position = current + 1;
      break;
    case SB_PAGELEFT:
      position = current - step;
      break;
    case SB_PAGERIGHT:
      position = current + step;
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
      position = trackPosition;
      break;
    case SB_LEFT:
      position = min_;
      break;
    case SB_RIGHT:
      position = max_;
      break;
    default:  // SB_ENDSCROLL
      break;
  }
  const int highest = std::max(min_, max_ - std::max(page_ - 1, 0));
  return std::clamp(position, min_, highest);
}

void ScrollBar::Apply(bool notify, int oldPosition) {
  const int highest = std::max(min_, max_ - std::max(page_ - 1, 0));
  position_ = std::clamp(position_, min_, highest);
  if (Handle() != nullptr) {
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = min_;
    info.nMax = max_;
    info.nPage = static_cast<UINT>(page_);
    info.nPos = position_;
    ::SetScrollInfo(Handle(), SB_CTL, &info, TRUE);
  }
  if (notify && position_ != oldPosition) DoChange();
}

void ScrollBar::SetRange(int min, int max) {
  const int old = position_;
  min_ = min;
  max_ = std::max(min, max);
  Apply(true, old);
}

void ScrollBar::SetPageSize(int page) {
  const int old = position_;
  page_ = std::max(0, page);
  Apply(true, old);
}

void ScrollBar::SetPosition(int position, bool notify) {
  const int old = position_;
  position_ = position;
  Apply(notify, old);
}

void ScrollBar::SetParams(int position, int min, int max, int page, bool notify) {
  const int old = position_;
  min_ = min;
  max_ = std::max(min, max);
  page_ = std::max(0, page);
  position_ = position;
  Apply(notify, old);
}

bool ScrollBar::OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message != WM_HSCROLL && message != WM_VSCROLL) return Control::OnReflected(message, wParam, lParam, result);
  const int code = LOWORD(wParam);
  SCROLLINFO info{};
  info.cbSize = sizeof(info);
  info.fMask = SIF_TRACKPOS;
  int track = static_cast<short>(HIWORD(wParam));
  if ((code == SB_THUMBTRACK || code == SB_THUMBPOSITION) && max_ > 32767 &&
      ::GetScrollInfo(Handle(), SB_CTL, &info)) {
    // The message carries only 16 bits; larger ranges read the 32-bit
    // track position (valid only while the box is dragged).
    track = info.nTrackPos;
  }
  const int position = PositionForCode(code, position_, track);
  if (onScroll) {
    ScrollHandler handler = onScroll;
    handler(*this, code, position);
  }
  if (position != position_) SetPosition(position);
  result = 0;
  return true;
}

// ---- GroupBox and RadioButton ----------------------------------------------

const wchar_t* GroupBox::StandardClass() const { return L"BUTTON"; }
DWORD GroupBox::StyleFor(const ControlSpec&) const { return BS_GROUPBOX; }

void GroupBox::Setup(const ControlSpec& spec) {
  if (spec.fontColour != kDefaultColour) DropTheme(Handle());
}

void GroupBox::SendToBack() {
  // Below the controls inside it, which are its siblings: the frame must not
  // paint over them.
  ::SetWindowPos(Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

LRESULT GroupBox::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // Clicks go to the controls inside the frame, which lie below it.
  if (message == WM_NCHITTEST) return HTTRANSPARENT;
  return Control::HandleMessage(message, wParam, lParam);
}

const wchar_t* RadioButton::StandardClass() const { return L"BUTTON"; }

DWORD RadioButton::StyleFor(const ControlSpec&) const { return BS_RADIOBUTTON | WS_TABSTOP; }

void RadioButton::Setup(const ControlSpec& spec) {
  if (spec.fontColour != kDefaultColour) DropTheme(Handle());
  if (spec.down) CheckAlone();
}

bool RadioButton::Checked() const {
  return Handle() != nullptr && ::SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
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
    if (other != this && other->Handle() != nullptr) ::SendMessageW(other->Handle(), BM_SETCHECK, BST_UNCHECKED, 0);
  }
  if (Handle() != nullptr) ::SendMessageW(Handle(), BM_SETCHECK, BST_CHECKED, 0);
}

void RadioButton::Select() {
  if (Checked()) return;
  CheckAlone();
  DoClick();
}

void RadioButton::SelectSilently() { CheckAlone(); }

void RadioButton::Uncheck() {
  if (Handle() != nullptr) ::SendMessageW(Handle(), BM_SETCHECK, BST_UNCHECKED, 0);
}

bool RadioButton::OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_COMMAND && (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == BN_DOUBLECLICKED)) {
    Select();
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

// ---- TrackBar --------------------------------------------------------------

const wchar_t* TrackBar::StandardClass() const { return TRACKBAR_CLASSW; }
DWORD TrackBar::StyleFor(const ControlSpec&) const { return TBS_HORZ | TBS_AUTOTICKS | TBS_BOTTOM | WS_TABSTOP; }

void TrackBar::Setup(const ControlSpec& spec) {
  if (spec.max > spec.min) {
    min_ = spec.min;
    max_ = spec.max;
  }
  Send(TBM_SETRANGEMIN, FALSE, min_);
  Send(TBM_SETRANGEMAX, FALSE, max_);
  if (spec.page > 0) SetPageSize(spec.page);
  if (spec.tickFrequency > 0) SetTickFrequency(spec.tickFrequency);
  position_ = std::clamp(spec.position, min_, max_);
  Send(TBM_SETPOS, TRUE, position_);
}

void TrackBar::SetRange(int min, int max) {
  min_ = min;
  max_ = std::max(min, max);
  Send(TBM_SETRANGEMIN, FALSE, min_);
  Send(TBM_SETRANGEMAX, TRUE, max_);
  Sync(true);
}

void TrackBar::SetPageSize(int page) { Send(TBM_SETPAGESIZE, 0, page); }
void TrackBar::SetTickFrequency(int frequency) { Send(TBM_SETTICFREQ, static_cast<WPARAM>(frequency), 0); }

void TrackBar::SetPosition(int position, bool notify) {
  Send(TBM_SETPOS, TRUE, std::clamp(position, min_, max_));
  Sync(notify);
}

void TrackBar::Sync(bool notify) {
  const int position = static_cast<int>(Send(TBM_GETPOS));
  if (position == position_) return;
  position_ = position;
  if (notify) DoChange();
}

bool TrackBar::OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_HSCROLL || message == WM_VSCROLL) {
    Sync(true);
    result = 0;
    return true;
  }
  return Control::OnReflected(message, wParam, lParam, result);
}

// ---- UpDown ----------------------------------------------------------------

const wchar_t* UpDown::StandardClass() const { return UPDOWN_CLASSW; }
DWORD UpDown::StyleFor(const ControlSpec&) const { return UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS; }

void UpDown::Setup(const ControlSpec& spec) {
  if (spec.max > spec.min) {
    min_ = spec.min;
    max_ = spec.max;
  }
  Send(UDM_SETRANGE32, static_cast<WPARAM>(min_), max_);
  SetPosition(spec.position);
}

void UpDown::SetRange(int min, int max) {
  min_ = min;
  max_ = std::max(min, max);
  Send(UDM_SETRANGE32, static_cast<WPARAM>(min_), max_);
  SetPosition(last_);
}

void UpDown::SetPosition(int position) {
  last_ = std::clamp(position, min_, max_);
  Send(UDM_SETPOS32, 0, last_);
}

int UpDown::Position() const {
  HWND buddy = reinterpret_cast<HWND>(::SendMessageW(Handle(), UDM_GETBUDDY, 0, 0));
  if (buddy == nullptr) return last_;
  wchar_t text[32] = {};
  ::GetWindowTextW(buddy, text, 32);
  wchar_t* end = nullptr;
  const long value = std::wcstol(text, &end, 10);
  if (end == text || *end != L'\0') return last_;
  last_ = static_cast<int>(std::clamp<long>(value, min_, max_));
  return last_;
}

void UpDown::SetBuddy(Control* buddy) {
  Send(UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy != nullptr ? buddy->Handle() : nullptr));
  SetPosition(last_);
}

bool UpDown::OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_VSCROLL || message == WM_HSCROLL) {
    if (LOWORD(wParam) == SB_THUMBPOSITION) {
      last_ = std::clamp(static_cast<int>(static_cast<short>(HIWORD(wParam))), min_, max_);
      DoChange();
    }
    result = 0;
    return true;
  }
  return Control::OnReflected(message, wParam, lParam, result);
}

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
  HANDLE image = ::LoadImageW(Instance(), resourceName, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
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

// Draws a glyph (one image, or the enabled and disabled images side by
// side) with its bottom-left pixel's colour transparent; returns its width.
int DrawGlyph(HDC dc, HBITMAP glyph, int x, int centreY, bool enabled) {
  BITMAP info{};
  if (glyph == nullptr || ::GetObjectW(glyph, sizeof(info), &info) == 0) return 0;
  const int height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  const bool twoImages = info.bmWidth == 2 * height;
  const int width = twoImages ? height : info.bmWidth;
  UniqueMemoryDc source(::CreateCompatibleDC(dc));
  SelectGuard select(source.get(), glyph);
  const COLORREF transparent = ::GetPixel(source.get(), 0, height - 1);
  const int sourceX = twoImages && !enabled ? width : 0;
  ::TransparentBlt(dc, x, centreY - height / 2, width, height, source.get(), sourceX, 0, width, height, transparent);
  return width;
}

}  // namespace

void Button::DrawFace(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT face = item.rcItem;
  const bool pushed = (item.itemState & ODS_SELECTED) != 0 || down_;
  const bool enabled = (item.itemState & ODS_DISABLED) == 0;
  ::DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
  const int shift = pushed ? 1 : 0;
  const std::wstring text = Text();
  SelectGuard font(dc, Font() != nullptr ? Font() : ::GetStockObject(DEFAULT_GUI_FONT));
  RECT measure{0, 0, 0, 0};
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measure, DT_CALCRECT | DT_SINGLELINE);
  BITMAP info{};
  int glyphWidth = 0;
  if (glyph_ && ::GetObjectW(glyph_.get(), sizeof(info), &info) != 0) {
    const int height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    glyphWidth = info.bmWidth == 2 * height ? height : info.bmWidth;
  }
  const int gap = glyphWidth > 0 && !text.empty() ? 4 : 0;
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
    ::InflateRect(&focus, -3, -3);
    ::DrawFocusRect(dc, &focus);
  }
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
  const bool enabled = (item.itemState & ODS_DISABLED) == 0;
  HBRUSH background = BackgroundBrush();
  ::FillRect(dc, &face, background);
  if (IsDown()) {
    // A down toggle shows a lighter, sunken face.
    UniqueBrush light(::CreateSolidBrush(::GetSysColor(COLOR_3DHILIGHT)));
    RECT inner = face;
    ::InflateRect(&inner, -1, -1);
    ::FillRect(dc, &inner, light.get());
  }
  if (pushed) ::DrawEdge(dc, &face, BDR_SUNKENOUTER, BF_RECT);
  const int shift = pushed ? 1 : 0;
  const std::wstring text = Text();
  SelectGuard font(dc, Font() != nullptr ? Font() : ::GetStockObject(DEFAULT_GUI_FONT));
  RECT measure{0, 0, 0, 0};
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measure, DT_CALCRECT | DT_SINGLELINE);
  BITMAP info{};
  int glyphWidth = 0;
  if (Glyph() && ::GetObjectW(Glyph().get(), sizeof(info), &info) != 0) {
    const int height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    glyphWidth = info.bmWidth == 2 * height ? height : info.bmWidth;
  }
  const int gap = glyphWidth > 0 && !text.empty() ? 4 : 0;
  const int total = glyphWidth + gap + (measure.right - measure.left);
  const int left = (face.left + face.right - total) / 2 + shift;
  const int centreY = (face.top + face.bottom) / 2 + shift;
  if (glyphWidth > 0) DrawGlyph(dc, Glyph().get(), left, centreY, enabled);
  RECT textRect{left + glyphWidth + gap, face.top + shift, face.right, face.bottom + shift};
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, enabled ? ::GetSysColor(COLOR_BTNTEXT) : ::GetSysColor(COLOR_GRAYTEXT));
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  if ((item.itemState & ODS_FOCUS) != 0) {
    RECT focus = face;
    ::InflateRect(&focus, -2, -2);
    ::DrawFocusRect(dc, &focus);
  }
}

// ---- Shape -----------------------------------------------------------------

HWND Shape::CreateWindowFor(const ControlSpec& spec, HWND parent, DWORD style, DWORD exStyle) {
  return CreateOwnClass(*this, kShapeClass, spec, parent, style, exStyle, ParentOffset(),
                        OwnerForm() != nullptr ? OwnerForm()->NewControlId() : 0);
}
const wchar_t* Shape::StandardClass() const { return nullptr; }

void Shape::Setup(const ControlSpec& spec) {
  if (spec.colour != kDefaultColour) brushColour_ = spec.colour;
}

void Shape::SetBrushColour(TColor colour) {
  brushColour_ = colour;
  Invalidate(true);
}

bool Shape::OnEraseBackground(HDC) { return true; }

bool Shape::OnPaint(HDC dc, const RECT&) {
  const RECT client = ClientRect();
  UniqueBrush brush(::CreateSolidBrush(ToColorRef(brushColour_)));
  SelectGuard selectBrush(dc, brush.get());
  SelectGuard selectPen(dc, ::GetStockObject(BLACK_PEN));
  ::Rectangle(dc, client.left, client.top, client.right, client.bottom);
  return true;
}

LRESULT Shape::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCHITTEST) return HTTRANSPARENT;
  return Control::HandleMessage(message, wParam, lParam);
}

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
  if (spec.itemHeight > 0) SetItemHeight(spec.itemHeight);
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
