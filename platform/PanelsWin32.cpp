#include "platform/PanelsWin32.h"

#include "platform/ApplicationWin32.h"
#include "platform/FormWin32.h"

namespace velmora {

namespace {
constexpr wchar_t kPanelClass[] = L"VelmoraPanel";
constexpr wchar_t kShapeClass[] = L"VelmoraShape";
}  // namespace

// ---- Panel and ToolBar -----------------------------------------------------

HWND Panel::CreateWindowFor(const ControlSpec& spec, HWND parent, DWORD style, DWORD exStyle) {
  return CreateOwnClassWindow(kPanelClass, spec, parent, style, exStyle);
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
  FontSet();
}

void Label::FontSet() {
  if (Handle() == nullptr) return;
  if (autoSize_) {
    FitToText();
  } else {
    KeepLineHeight();
  }
}

void Label::KeepLineHeight() {
  UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
  SelectGuard font(dc.get(), Font() != nullptr ? Font() : ::GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICW metrics{};
  if (!::GetTextMetricsW(dc.get(), &metrics)) return;
  const int frame = Height() - ClientRect().bottom;
  if (ClientRect().bottom >= metrics.tmHeight) return;
  SetHeight(metrics.tmHeight + frame);
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
  // A bordered label (a static text) fits its text inside the border.
  const RECT bounds = Bounds();
  const RECT client = ClientRect();
  width += (bounds.right - bounds.left) - client.right;
  height += (bounds.bottom - bounds.top) - client.bottom;
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
  const DpiRect place = ScaledPlace(spec);
  SetPlace(place.x, place.y, place.width, place.height);
}
DWORD Bevel::StyleFor(const ControlSpec& spec) const {
  if (spec.height <= 2) return SS_ETCHEDHORZ;
  if (spec.width <= 2) return SS_ETCHEDVERT;
  return SS_ETCHEDFRAME;
}

// ---- GroupBox --------------------------------------------------------------

const wchar_t* GroupBox::StandardClass() const { return L"BUTTON"; }
DWORD GroupBox::StyleFor(const ControlSpec&) const { return BS_GROUPBOX; }

void GroupBox::Setup(const ControlSpec& spec) {
  if (spec.fontColour != kDefaultColour) DropTheme();
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

// ---- Shape -----------------------------------------------------------------

HWND Shape::CreateWindowFor(const ControlSpec& spec, HWND parent, DWORD style, DWORD exStyle) {
  return CreateOwnClassWindow(kShapeClass, spec, parent, style, exStyle);
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

}  // namespace velmora
