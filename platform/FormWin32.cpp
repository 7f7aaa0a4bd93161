#include "platform/FormWin32.h"

#include <commctrl.h>

#include <set>

#include "platform/ApplicationWin32.h"
#include "platform/DpiWin32.h"

namespace velmora {

namespace {

constexpr wchar_t kFormClass[] = L"VelmoraForm";
// WM_DPICHANGED, spelt out for older headers.
constexpr UINT kDpiChangedMessage = 0x02E0;

std::unique_ptr<Control> MakeControl(const ControlSpec& spec) {
  if (spec.create != nullptr) return spec.create();
  switch (spec.kind) {
    case ControlKind::Panel:
      return std::make_unique<Panel>();
    case ControlKind::ToolBar:
      return std::make_unique<ToolBar>();
    case ControlKind::Label:
      return std::make_unique<Label>();
    case ControlKind::StaticText:
      return std::make_unique<StaticText>();
    case ControlKind::Bevel:
      return std::make_unique<Bevel>();
    case ControlKind::Picture:
      return std::make_unique<PictureBox>();
    case ControlKind::ScrollBar:
      return std::make_unique<ScrollBar>();
    case ControlKind::GroupBox:
      return std::make_unique<GroupBox>();
    case ControlKind::RadioButton:
      return std::make_unique<RadioButton>();
    case ControlKind::TrackBar:
      return std::make_unique<TrackBar>();
    case ControlKind::UpDown:
      return std::make_unique<UpDown>();
    case ControlKind::Button:
      return std::make_unique<Button>();
    case ControlKind::SpeedButton:
      return std::make_unique<SpeedButton>();
    case ControlKind::Shape:
      return std::make_unique<Shape>();
    case ControlKind::Edit:
      return std::make_unique<Edit>();
    case ControlKind::ListBox:
      return std::make_unique<ListBox>();
  }
  return nullptr;
}

bool IsContainer(const Control* control) {
  return dynamic_cast<const Panel*>(control) != nullptr || dynamic_cast<const GroupBox*>(control) != nullptr;
}

struct BorderStyles {
  DWORD style;
  DWORD exStyle;
};

BorderStyles StylesFor(FormBorder border) {
  switch (border) {
    case FormBorder::Sizeable:
      return {WS_OVERLAPPEDWINDOW, 0};
    case FormBorder::Single:
      return {WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0};
    case FormBorder::Dialog:
      return {WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME};
    case FormBorder::ToolWindow:
      return {WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, WS_EX_TOOLWINDOW};
    case FormBorder::None:
      return {WS_POPUP, 0};
  }
  return {WS_OVERLAPPEDWINDOW, 0};
}

// Runs the handler bound to `name` in `handlers`, if any, into `slot`.
template <typename Handler>
void ConnectOne(const char* name, const std::map<std::string, Handler, std::less<>>& handlers, Handler& slot) {
  if (name == nullptr) return;
  if (auto found = handlers.find(std::string_view(name)); found != handlers.end()) slot = found->second;
}

}  // namespace

Form::Form() = default;

Form::~Form() {
  // The controls go before the window, children first (reverse table order).
  if (Handle() != nullptr) menu_.DetachFrom(Handle());
  while (!entries_.empty()) entries_.pop_back();
}

bool Form::CreateForm(const FormSpec& form, std::span<const ControlSpec> controls, HWND owner) {
  if (Handle() != nullptr) return false;
  // Check the table before making anything: names unique, parents earlier.
  {
    std::set<std::string_view> names;
    for (const ControlSpec& spec : controls) {
      if (spec.name == nullptr || !names.insert(spec.name).second) return false;
      if (spec.parent != nullptr && names.find(spec.parent) == names.end()) return false;
    }
  }
  name_ = form.name != nullptr ? form.name : "";
  fontSpec_ = form.font;
  if (fontSpec_.face != nullptr) {
    faceStorage_ = fontSpec_.face;
    fontSpec_.face = faceStorage_.c_str();
  }
  form_ = this;
  colour_ = kDefaultColour;

  BorderStyles styles = StylesFor(form.border);
  WindowClass windowClass;
  windowClass.name = kFormClass;
  WindowCreateParams params;
  params.title = WidenUtf8(form.caption != nullptr ? form.caption : "");
  params.style = styles.style;
  params.exStyle = styles.exStyle | WS_EX_CONTROLPARENT | (form.keepOnTop ? WS_EX_TOPMOST : 0);
  // The window is made at the system's DPI, then laid out at its own (the
  // monitor's, for a per-monitor aware program).
  dpi_ = SystemDpi();
  RECT frame{0, 0, Scale(form.clientWidth), Scale(form.clientHeight)};
  AdjustWindowRectForDpi(frame, params.style, !form.menu.empty(), params.exStyle, dpi_);
  params.width = frame.right - frame.left;
  params.height = frame.bottom - frame.top;
  if (form.position == FormPosition::Designed) {
    params.x = Scale(form.x);
    params.y = Scale(form.y);
  }
  params.parent = owner;
  if (Create(windowClass, params) == nullptr) return false;
  dpi_ = DpiOfWindow(Handle());

  SetFont(FontCache::Instance().Get(fontSpec_, fontSpec_, dpi_), false);
  SetColour(form.colour);
  if (!form.menu.empty()) {
    if (!menu_.Build(form.menu) || !menu_.AttachTo(Handle())) return false;
    for (const auto& [name, handler] : menuClickHandlers_) menu_.BindHandler(name, handler);
  }
  if (form.clientWidth > 0 || form.clientHeight > 0 || form.width <= 0 || form.height <= 0) {
    SetClientSize(Scale(form.clientWidth), Scale(form.clientHeight));
  } else {
    const RECT bounds = Bounds();
    SetBounds(bounds.left, bounds.top, Scale(form.width), Scale(form.height));
  }
  if (form.position == FormPosition::ScreenCenter) CenterOnScreen();
  if (form.position == FormPosition::OwnerCenter && owner != nullptr) {
    RECT ownerRect{};
    RECT mine = Bounds();
    ::GetWindowRect(owner, &ownerRect);
    const int width = mine.right - mine.left;
    const int height = mine.bottom - mine.top;
    SetBounds((ownerRect.left + ownerRect.right - width) / 2, (ownerRect.top + ownerRect.bottom - height) / 2, width,
              height);
  }

  for (const ControlSpec& spec : controls) {
    std::unique_ptr<Control> control = MakeControl(spec);
    if (!control) return false;
    Control* logicalParent = spec.parent != nullptr ? FindControl(spec.parent) : nullptr;
    if (spec.parent != nullptr && !IsContainer(logicalParent)) return false;
    HWND physicalParent = Handle();
    if (logicalParent != nullptr) {
      physicalParent = dynamic_cast<GroupBox*>(logicalParent) != nullptr ? ::GetParent(logicalParent->Handle())
                                                                          : logicalParent->Handle();
    }
    if (!control->CreateFromSpec(*this, spec, physicalParent, logicalParent)) return false;
    Control* raw = control.get();
    entries_.push_back(Entry{std::move(control), &spec});
    order_.push_back(raw);
    byName_.emplace(spec.name, raw);
    Connect(*raw, spec);
  }
  for (const Entry& entry : entries_) {
    if (entry.spec->associate == nullptr) continue;
    if (auto* upDown = dynamic_cast<UpDown*>(entry.control.get())) {
      upDown->SetBuddy(FindControl(entry.spec->associate));
      upDown->SetPosition(entry.spec->position);
    }
  }
  for (Control* control : order_) {
    if (auto* groupBox = dynamic_cast<GroupBox*>(control)) groupBox->SendToBack();
  }
  DockChildren();
  FormCreate();
  CheckHandlersBound();
  return true;
}

void Form::FormCreate() {}
void Form::FormShow() {}
void Form::FormHide() {}

int Form::Scale(int designed) const { return ScaleToDpi(designed, dpi_); }

const ControlSpec* Form::SpecOf(const Control& control) const {
  for (const Entry& entry : entries_) {
    if (entry.control.get() == &control) return entry.spec;
  }
  return nullptr;
}

void Form::DpiChanged(int dpi, const RECT& suggested) {
  if (dpi <= 0 || Handle() == nullptr) return;
  const int old = dpi_;
  dpi_ = dpi;
  // Where every control is now (in its logical parent's coordinates), read
  // before any moves: a group box's children are placed from its corner.
  struct Place {
    Control* control;
    DpiRect now;
    const ControlSpec* spec;
  };
  std::vector<Place> places;
  places.reserve(entries_.size());
  for (const Entry& entry : entries_) {
    Control& control = *entry.control;
    places.push_back({&control, {control.Left(), control.Top(), control.Width(), control.Height()}, entry.spec});
  }
  SetFont(FontCache::Instance().Get(fontSpec_, fontSpec_, dpi_), false);
  for (const Place& place : places) {
    // A control at its designed place goes to the designed place at the new
    // DPI; one the program moved or sized is carried over edge by edge.
    const DpiRect designed{place.spec->x, place.spec->y, place.spec->width, place.spec->height};
    DpiRect next;
    if (ScaleToDpi(designed, old) == place.now) {
      next = ScaleToDpi(designed, dpi_);
    } else {
      const int left = RescaleDpi(place.now.x, old, dpi_);
      const int top = RescaleDpi(place.now.y, old, dpi_);
      next = {left, top, RescaleDpi(place.now.x + place.now.width, old, dpi_) - left,
              RescaleDpi(place.now.y + place.now.height, old, dpi_) - top};
    }
    place.control->SetPlace(next.x, next.y, next.width, next.height);
    place.control->DpiChanged();
  }
  if (maxWidth_ > 0 && maxHeight_ > 0) {
    // A pinned size is the window's size at the new DPI.
    maxWidth_ = suggested.right - suggested.left;
    maxHeight_ = suggested.bottom - suggested.top;
  }
  ::SetWindowPos(Handle(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  DockChildren();
  if (onDpiChanged) {
    std::function<void()> handler = onDpiChanged;
    handler();
  }
  ::RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

Control* Form::FindControl(std::string_view name) const {
  auto found = byName_.find(name);
  return found != byName_.end() ? found->second : nullptr;
}

std::vector<Control*> Form::ChildrenOf(const Control* parent) const {
  std::vector<Control*> children;
  for (Control* control : order_) {
    if (control->ParentControl() == parent) children.push_back(control);
  }
  return children;
}

void Form::Connect(Control& control, const ControlSpec& spec) {
  ConnectOne(spec.onClick, clickHandlers_, control.onClick);
  ConnectOne(spec.onChange, changeHandlers_, control.onChange);
  ConnectOne(spec.onEnter, enterHandlers_, control.onEnter);
  ConnectOne(spec.onExit, exitHandlers_, control.onExit);
  ConnectOne(spec.onMouseDown, mouseDownHandlers_, control.onMouseDown);
  ConnectOne(spec.onMouseMove, mouseMoveHandlers_, control.onMouseMove);
  ConnectOne(spec.onMouseUp, mouseUpHandlers_, control.onMouseUp);
  ConnectOne(spec.onDragOver, dragOverHandlers_, control.onDragOver);
  ConnectOne(spec.onDragDrop, dragDropHandlers_, control.onDragDrop);
  if (auto* scrollBar = dynamic_cast<ScrollBar*>(&control)) {
    ConnectOne(spec.onScroll, scrollHandlers_, scrollBar->onScroll);
  }
}

namespace {

// Adds `name` to `unbound` unless it is null or bound in `handlers`.
template <typename Handler>
void RequireBound(const char* name, const std::map<std::string, Handler, std::less<>>& handlers, const char* event,
                  const char* control, std::vector<std::string>& unbound) {
  if (name == nullptr || handlers.find(std::string_view(name)) != handlers.end()) return;
  unbound.push_back(std::string(name) + " (" + event + " of " + control + ")");
}

}  // namespace

void Form::CheckHandlersBound() const {
  std::vector<std::string> unbound;
  for (const Entry& entry : entries_) {
    const ControlSpec& spec = *entry.spec;
    RequireBound(spec.onClick, clickHandlers_, "onClick", spec.name, unbound);
    RequireBound(spec.onChange, changeHandlers_, "onChange", spec.name, unbound);
    RequireBound(spec.onEnter, enterHandlers_, "onEnter", spec.name, unbound);
    RequireBound(spec.onExit, exitHandlers_, "onExit", spec.name, unbound);
    RequireBound(spec.onScroll, scrollHandlers_, "onScroll", spec.name, unbound);
    RequireBound(spec.onMouseDown, mouseDownHandlers_, "onMouseDown", spec.name, unbound);
    RequireBound(spec.onMouseMove, mouseMoveHandlers_, "onMouseMove", spec.name, unbound);
    RequireBound(spec.onMouseUp, mouseUpHandlers_, "onMouseUp", spec.name, unbound);
    RequireBound(spec.onDragOver, dragOverHandlers_, "onDragOver", spec.name, unbound);
    RequireBound(spec.onDragDrop, dragDropHandlers_, "onDragDrop", spec.name, unbound);
  }
  for (std::string& item : menu_.UnboundHandlers()) unbound.push_back(std::move(item));
  if (unbound.empty()) return;
  std::string message = "form " + Name() + ": handler never bound:";
  for (const std::string& name : unbound) message += " " + name + ";";
  message.pop_back();
  throw std::logic_error(message);
}

namespace {

template <typename Handler>
void Store(std::map<std::string, Handler, std::less<>>& handlers, std::string_view name, Handler handler) {
  handlers.insert_or_assign(std::string(name), std::move(handler));
}

}  // namespace

#define VELMORA_BIND(Function, Type, map, field)                                   \
  void Form::Function(std::string_view handlerName, Type handler) {               \
    Store(map, handlerName, handler);                                             \
    for (const Entry& entry : entries_) {                                         \
      if (entry.spec->field != nullptr && handlerName == entry.spec->field) {     \
        entry.control->field = handler;                                           \
      }                                                                           \
    }                                                                             \
  }

VELMORA_BIND(HandleClick, NotifyHandler, clickHandlers_, onClick)
VELMORA_BIND(HandleChange, NotifyHandler, changeHandlers_, onChange)
VELMORA_BIND(HandleEnter, NotifyHandler, enterHandlers_, onEnter)
VELMORA_BIND(HandleExit, NotifyHandler, exitHandlers_, onExit)
VELMORA_BIND(HandleMouseDown, MouseButtonHandler, mouseDownHandlers_, onMouseDown)
VELMORA_BIND(HandleMouseMove, MouseMoveHandler, mouseMoveHandlers_, onMouseMove)
VELMORA_BIND(HandleMouseUp, MouseButtonHandler, mouseUpHandlers_, onMouseUp)
VELMORA_BIND(HandleDragOver, DragOverHandler, dragOverHandlers_, onDragOver)
VELMORA_BIND(HandleDragDrop, DragDropHandler, dragDropHandlers_, onDragDrop)
#undef VELMORA_BIND

void Form::HandleScroll(std::string_view handlerName, ScrollHandler handler) {
  Store(scrollHandlers_, handlerName, handler);
  for (const Entry& entry : entries_) {
    auto* scrollBar = dynamic_cast<ScrollBar*>(entry.control.get());
    if (scrollBar != nullptr && entry.spec->onScroll != nullptr && handlerName == entry.spec->onScroll) {
      scrollBar->onScroll = handler;
    }
  }
}

void Form::HandleMenuClick(std::string_view handlerName, std::function<void()> handler) {
  if (menu_.Handle() != nullptr) menu_.BindHandler(handlerName, handler);
  Store(menuClickHandlers_, handlerName, std::move(handler));
}

void Form::HandleMessageNumber(UINT message, std::function<void()> handler) {
  messageHandlers_.insert_or_assign(message, std::move(handler));
}

void Form::SetCaption(std::string_view utf8) { Control::SetCaption(utf8); }

void Form::SetKeepOnTop(bool keepOnTop) {
  if (Handle() == nullptr) return;
  ::SetWindowPos(Handle(), keepOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool Form::KeepOnTop() const {
  return Handle() != nullptr && (::GetWindowLongPtrW(Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

void Form::PinMaximumSize() {
  const RECT bounds = Bounds();
  maxWidth_ = bounds.right - bounds.left;
  maxHeight_ = bounds.bottom - bounds.top;
}

void Form::CenterOnScreen() {
  const RECT bounds = Bounds();
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
  SetBounds((screenWidth - width) / 2, (screenHeight - height) / 2, width, height);
}

int Form::ClientWidth() const { return ClientRect().right; }
int Form::ClientHeight() const { return ClientRect().bottom; }

void Form::SetClientSize(int width, int height) {
  if (Handle() == nullptr) return;
  // The frame's size as the window has it now (menu bar included, even when
  // it wraps), then the window is sized so the client area comes out right.
  for (int attempt = 0; attempt < 2; ++attempt) {
    const RECT bounds = Bounds();
    const RECT client = ClientRect();
    const int frameWidth = (bounds.right - bounds.left) - client.right;
    const int frameHeight = (bounds.bottom - bounds.top) - client.bottom;
    if (client.right == width && client.bottom == height) return;
    ::SetWindowPos(Handle(), nullptr, 0, 0, width + frameWidth, height + frameHeight,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

Control* Form::FocusedControl() const {
  HWND focus = ::GetFocus();
  if (focus == nullptr || (focus != Handle() && !::IsChild(Handle(), focus))) return nullptr;
  return dynamic_cast<Control*>(Window::FromHandle(focus));
}

void Form::FocusNext(bool previous) {
  if (Handle() == nullptr) return;
  HWND focus = ::GetFocus();
  if (focus != nullptr && focus != Handle() && !::IsChild(Handle(), focus)) focus = nullptr;
  HWND next = ::GetNextDlgTabItem(Handle(), focus, previous ? TRUE : FALSE);
  if (next != nullptr) ::SetFocus(next);
}

HWND Form::ToolTips() {
  if (toolTips_ == nullptr && Handle() != nullptr) {
    toolTips_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                                  Application::Instance().InstanceHandle(), nullptr);
  }
  return toolTips_;
}

bool Form::PreTranslateMessage(MSG& message) {
  if (message.message != WM_KEYDOWN) return false;
  const UINT key = static_cast<UINT>(message.wParam);
  if (key == VK_LEFT || key == VK_UP || key == VK_RIGHT || key == VK_DOWN) {
    auto* radio = dynamic_cast<RadioButton*>(FocusedControl());
    if (radio == nullptr || radio->WantsKey(key)) return false;
    // The arrows move to the next (or previous) button of the group and
    // select it, round the group's end.
    std::vector<RadioButton*> group;
    for (RadioButton* member : radio->Group()) {
      if (member == radio || (member->IsVisible() && member->IsEnabled())) group.push_back(member);
    }
    const size_t count = group.size();
    size_t index = 0;
    while (index < count && group[index] != radio) ++index;
    if (count < 2 || index == count) return true;
    const bool forward = key == VK_RIGHT || key == VK_DOWN;
    RadioButton* next = group[(index + (forward ? 1 : count - 1)) % count];
    next->SetFocus();
    next->Select();
    return true;
  }
  if (key != VK_TAB && key != VK_RETURN && key != VK_ESCAPE) return false;
  if ((::GetKeyState(VK_CONTROL) & 0x8000) != 0 || (::GetKeyState(VK_MENU) & 0x8000) != 0) return false;
  if (key == VK_ESCAPE && drag_.Active()) {
    // Escape ends a drag before it can press the cancel button.
    drag_.Cancel();
    return true;
  }
  Control* focused = FocusedControl();
  if (focused != nullptr && focused->WantsKey(key)) return false;
  switch (key) {
    case VK_TAB:
      FocusNext((::GetKeyState(VK_SHIFT) & 0x8000) != 0);
      return true;
    case VK_RETURN: {
      if (auto* button = dynamic_cast<Button*>(focused)) {
        button->Click();
        return true;
      }
      for (Control* control : order_) {
        auto* button = dynamic_cast<Button*>(control);
        if (button != nullptr && button->IsDefault() && button->IsVisible() && button->IsEnabled()) {
          button->Click();
          return true;
        }
      }
      return false;
    }
    case VK_ESCAPE:
      for (Control* control : order_) {
        auto* button = dynamic_cast<Button*>(control);
        if (button != nullptr && button->IsCancel() && button->IsVisible() && button->IsEnabled()) {
          button->Click();
          return true;
        }
      }
      return false;
    default:
      return false;
  }
}

HWND Form::CreateWindowFor(const ControlSpec&, HWND, DWORD, DWORD) { return nullptr; }
const wchar_t* Form::StandardClass() const { return nullptr; }

LRESULT Form::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (auto found = messageHandlers_.find(message); found != messageHandlers_.end() && message >= WM_USER) {
    std::function<void()> handler = found->second;
    handler();
    return 0;
  }
  switch (message) {
    case WM_SHOWWINDOW:
      if (lParam == 0) {
        if (wParam != 0) {
          FormShow();
          if (onShow) onShow();
        } else {
          FormHide();
          if (onHide) onHide();
        }
      }
      break;
    case WM_GETMINMAXINFO:
      if (maxWidth_ > 0 && maxHeight_ > 0) {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMaxTrackSize = {maxWidth_, maxHeight_};
        info->ptMaxSize = {maxWidth_, maxHeight_};
        return 0;
      }
      break;
    case kDpiChangedMessage:
      DpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_NEXTDLGCTL:
      if (LOWORD(lParam) != 0) {
        ::SetFocus(reinterpret_cast<HWND>(wParam));
      } else {
        FocusNext(wParam != 0);
      }
      return 0;
    default:
      break;
  }
  return Control::HandleMessage(message, wParam, lParam);
}

bool Form::OnCommand(int id, int, HWND control) {
  if (control != nullptr) return false;
  return menu_.Dispatch(id);
}

bool Form::OnEraseBackground(HDC dc) {
  RECT client = ClientRect();
  ::FillRect(dc, &client, BackgroundBrush());
  return true;
}

void Form::OnActivate(bool active) {
  if (active && onActivate) {
    std::function<void()> handler = onActivate;
    handler();
  }
}

bool Form::OnCloseQuery() {
  if (!onCloseQuery) return true;
  std::function<bool()> handler = onCloseQuery;
  return handler();
}

CloseAction Form::OnClose() {
  if (onClose) {
    std::function<void()> handler = onClose;
    handler();
  }
  // Closing the main form ends the program; other forms are only hidden.
  return Application::Instance().MainForm() == this ? CloseAction::Destroy : CloseAction::Hide;
}

void Form::OnDestroy() {
  drag_.Cancel();
  menu_.DetachFrom(Handle());
  if (toolTips_ != nullptr) {
    ::DestroyWindow(toolTips_);
    toolTips_ = nullptr;
  }
}

void Form::OnSize(int, int) { DockChildren(); }

void Form::DockChildren() {
  for (const Entry& entry : entries_) {
    if (entry.spec->dock == Dock::None || entry.control->Handle() == nullptr) continue;
    RECT parent{};
    ::GetClientRect(::GetParent(entry.control->Handle()), &parent);
    if (entry.spec->dock == Dock::Top) {
      entry.control->SetPlace(0, entry.control->Top(), parent.right, entry.control->Height());
    } else {
      entry.control->SetPlace(0, 0, parent.right, parent.bottom);
    }
  }
}

}  // namespace velmora
