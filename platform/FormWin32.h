// Forms declared as data: a form is a top-level window built from a table
// of controls (one ControlSpec per control: name, kind, parent, place,
// design caption, style, font, colours, handler names), created in table
// order, findable by name, with handlers bound by name. The table is the
// form's stored description; the window's FormCreate then puts its
// run-time captions in place. Every handler name of the tables (controls
// and menu) must be bound by the end of FormCreate: a name left unbound (a
// typo, say) is an error, not a dead button.
//
//   constexpr ControlSpec kControls[] = {
//     {.name = "Panel5", .kind = ControlKind::Panel, .x = 8, .y = 8, .width = 121, .height = 169,
//      .onClick = "Panel5Click"},
//     {.name = "Label8", .kind = ControlKind::Label, .parent = "Panel5", .x = 8, .y = 4,
//      .caption = "1", .fontColour = kMaroon, .autoSize = true, .onClick = "Panel5Click"},
//   };
//   form.HandleClick("Panel5Click", [this](Control& sender) { Panel5Click(sender); });
//   form.HandleMenuClick("Save1Click", [this] { Save1Click(); });  // MenuItemSpec::onClick
//   form.CreateForm(kFormSpec, kControls);  // throws if "Panel5Click" was never bound
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "fade/Graphics.h"
#include "platform/ControlsWin32.h"
#include "platform/DpiScale.h"
#include "platform/DragTrackerWin32.h"
#include "platform/FontsWin32.h"
#include "platform/MenuWin32.h"
#include "platform/WindowWin32.h"

namespace velmora {

enum class ControlKind {
  Panel,        // Panel
  ToolBar,      // ToolBar (a panel with edges; docked to the top when width is 0)
  Label,        // Label
  StaticText,   // StaticText (border, opaque)
  Bevel,        // Bevel
  Picture,      // PictureBox
  ScrollBar,    // ScrollBar
  GroupBox,     // GroupBox
  RadioButton,  // RadioButton
  TrackBar,     // TrackBar
  UpDown,       // UpDown
  Button,       // Button
  SpeedButton,  // SpeedButton
  Shape,        // Shape
  Edit,         // Edit
  ListBox,      // ListBox
};

// Where a control sits when its parent is resized.
enum class Dock { None, Top, Fill };

// Makes the object of a control class derived from the kind's class (for
// example a filtered edit field for ControlKind::Edit).
using ControlFactory = std::unique_ptr<Control> (*)();

// One control of a form. Coordinates are 96-DPI pixels in the client area of
// the parent control (the form when parent is nullptr); the form scales them
// (and font heights, item heights) to its window's DPI (DpiScale.h).
// Designated initializers must name the fields in the order declared here.
struct ControlSpec {
  const char* name = nullptr;
  ControlKind kind = ControlKind::Label;
  const char* parent = nullptr;  // name of a Panel, ToolBar or GroupBox listed earlier
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  const char* caption = nullptr;  // design caption or initial text, UTF-8

  FontSpec font{};                    // empty parts: the form's font
  TColor fontColour = kDefaultColour;
  TColor colour = kDefaultColour;     // background (panel, edit), fill (shape)
  BevelStyle bevel = BevelStyle::None;
  TextAlign alignment = TextAlign::Left;
  Dock dock = Dock::None;
  bool autoSize = false;  // labels: width follows the text (right-aligned: right edge kept)
  bool border = false;    // edits, static texts: a single border
  bool visible = true;
  bool enabled = true;
  bool tabStop = false;   // buttons, edits, track bars, list boxes take it anyway
  bool flat = false;      // speed buttons, tool bars
  int tag = 0;
  const char* hint = nullptr;  // tool tip, UTF-8

  // Scroll bars, track bars, up-down controls.
  int min = 0;
  int max = 0;  // max <= min: the kind's default (100, or 10 for a track bar)
  int position = 0;
  int page = 0;
  int tickFrequency = 0;
  bool vertical = false;
  const char* associate = nullptr;  // an up-down control's edit

  // Buttons.
  int modalResult = 0;  // IDOK, IDCANCEL, IDABORT ...
  bool isDefault = false;
  bool isCancel = false;
  const wchar_t* glyph = nullptr;  // bitmap resource name
  int groupIndex = 0;              // speed buttons: toggle group (0: plain button)
  bool allowAllUp = false;
  bool down = false;               // speed button down / radio button selected at creation

  // List boxes.
  bool multiSelect = false;
  int itemHeight = 0;

  // Edits.
  int maxLength = 0;

  // Handler names, bound with the form's Handle* functions.
  const char* onClick = nullptr;
  const char* onChange = nullptr;
  const char* onEnter = nullptr;
  const char* onExit = nullptr;
  const char* onScroll = nullptr;
  const char* onMouseDown = nullptr;
  const char* onMouseMove = nullptr;
  const char* onMouseUp = nullptr;
  const char* onDragOver = nullptr;
  const char* onDragDrop = nullptr;

  ControlFactory create = nullptr;  // a derived control class; nullptr: the kind's own
};

enum class FormBorder {
  Sizeable,  // resizable frame, minimise and maximise boxes
  Single,    // fixed size with a minimise box
  Dialog,    // fixed size, no minimise box (modal dialogs)
  ToolWindow,
  None,      // a popup without frame
};

enum class FormPosition { Default, Designed, ScreenCenter, OwnerCenter };

struct FormSpec {
  const char* name = nullptr;
  const char* caption = nullptr;  // UTF-8
  int clientWidth = 0;
  int clientHeight = 0;
  int x = 0;  // with FormPosition::Designed
  int y = 0;
  FormPosition position = FormPosition::Designed;
  FormBorder border = FormBorder::Sizeable;
  FontSpec font{.face = "MS Sans Serif", .points = 8};
  TColor colour = kButtonFace;
  bool keepOnTop = false;
  std::span<const MenuItemSpec> menu{};  // the main menu bar; empty: none
  // The outer size (frame included), for forms designed by their window
  // size; used when clientWidth and clientHeight are 0.
  int width = 0;
  int height = 0;
};

class Form : public Control {
 public:
  Form();
  ~Form() override;

  // Creates the window (hidden) and its controls in table order; `owner`
  // (not owned) owns a top-level form. False when the window or a control
  // cannot be created, or the table is inconsistent (unknown parent,
  // duplicate name). Once FormCreate has run, a handler name of the control
  // table or the menu table that no Handle* call has bound is a programming
  // error: throws std::logic_error naming every such name.
  bool CreateForm(const FormSpec& form, std::span<const ControlSpec> controls, HWND owner = nullptr);

  // The control of that name, or nullptr (also when it is of another type).
  Control* FindControl(std::string_view name) const;
  template <typename T>
  T* Find(std::string_view name) const {
    return dynamic_cast<T*>(FindControl(name));
  }
  // As Find, but a missing control or a wrong type is a programming error:
  // throws std::logic_error naming it.
  template <typename T>
  T& Get(std::string_view name) const {
    if (T* control = Find<T>(name)) return *control;
    throw std::logic_error("form " + Name() + ": no control " + std::string(name) + " of the expected type");
  }
  // Every control in table order, and the children of one (the form's own
  // when parent is nullptr), in table order.
  const std::vector<Control*>& Controls() const noexcept { return order_; }
  std::vector<Control*> ChildrenOf(const Control* parent) const;

  // Binds a handler name used in the table. A handler bound after the
  // controls exist reaches them at once; one bound before waits for them.
  void HandleClick(std::string_view handlerName, NotifyHandler handler);
  void HandleChange(std::string_view handlerName, NotifyHandler handler);
  void HandleEnter(std::string_view handlerName, NotifyHandler handler);
  void HandleExit(std::string_view handlerName, NotifyHandler handler);
  void HandleScroll(std::string_view handlerName, ScrollHandler handler);
  void HandleMouseDown(std::string_view handlerName, MouseButtonHandler handler);
  void HandleMouseMove(std::string_view handlerName, MouseMoveHandler handler);
  void HandleMouseUp(std::string_view handlerName, MouseButtonHandler handler);
  void HandleDragOver(std::string_view handlerName, DragOverHandler handler);
  void HandleDragDrop(std::string_view handlerName, DragDropHandler handler);
  // Binds a handler name of the menu table (MenuItemSpec::onClick), before
  // or after the menu exists.
  void HandleMenuClick(std::string_view handlerName, std::function<void()> handler);

  // A handler for a private message (WM_USER + n) posted to this form.
  void HandleMessageNumber(UINT message, std::function<void()> handler);

  // The main menu bar built from FormSpec::menu.
  Menu& MainMenu() noexcept { return menu_; }
  // The drag and drop between this form's controls.
  DragTracker& Drags() noexcept { return drag_; }

  void SetCaption(std::string_view utf8) override;
  // Keeps the form above every window that is not top-most (or not).
  void SetKeepOnTop(bool keepOnTop);
  bool KeepOnTop() const;
  // Pins the largest size the user can give the window to its current size.
  void PinMaximumSize();
  void CenterOnScreen();
  // The form's client size now.
  int ClientWidth() const;
  int ClientHeight() const;
  void SetClientSize(int width, int height);

  // The control with the keyboard focus (nullptr when it is not ours).
  Control* FocusedControl() const;
  // Moves the focus to the next (or previous) tab stop, as WM_NEXTDLGCTL.
  void FocusNext(bool previous = false);

  // Form events (a derived form may override the virtuals instead).
  std::function<void()> onShow;
  std::function<void()> onHide;
  std::function<void()> onActivate;
  std::function<bool()> onCloseQuery;  // false keeps the form open
  std::function<void()> onClose;

  // Dialog keys: Tab / Shift+Tab move the focus, Enter presses the default
  // button and Escape the cancel button (or ends a drag), the arrow keys
  // select the next radio button of a group, unless the focused control
  // wants the key (Control::WantsKey).
  bool PreTranslateMessage(MSG& message) override;

  // The tool-tip window shared by the form's controls (created on first use).
  HWND ToolTips();
  // The form's font as its description gives it (controls start from it).
  const FontSpec& FontDescription() const noexcept { return fontSpec_; }

  // The DPI the form's window is laid out for (96 until it exists).
  int Dpi() const noexcept { return dpi_; }
  // A 96-DPI length of the form's description in pixels at the form's DPI.
  int Scale(int designed) const;
  // The table entry a control was made from (nullptr when none): its place
  // there is in 96-DPI pixels.
  const ControlSpec* SpecOf(const Control& control) const;
  // Called after the form was laid out again for a new DPI (a move to a
  // monitor of another scale), for what the form draws itself.
  std::function<void()> onDpiChanged;
  // A child-window id not used yet on this form.
  int NewControlId() noexcept { return nextId_++; }

 protected:
  // Called after the controls exist (the place for run-time captions).
  virtual void FormCreate();
  // Called when the form is shown or hidden.
  virtual void FormShow();
  virtual void FormHide();

  HWND CreateWindowFor(const ControlSpec& spec, HWND parent, DWORD style, DWORD exStyle) override;
  const wchar_t* StandardClass() const override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnEraseBackground(HDC dc) override;
  void OnActivate(bool active) override;
  bool OnCloseQuery() override;
  CloseAction OnClose() override;
  void OnDestroy() override;
  void OnSize(int width, int height) override;
  // WM_DPICHANGED: every control's place, the fonts and the window's size
  // follow the new DPI; the window goes to the suggested rectangle.
  virtual void DpiChanged(int dpi, const RECT& suggested);

 private:
  void Connect(Control& control, const ControlSpec& spec);
  // Throws std::logic_error when a handler name of the tables is unbound.
  void CheckHandlersBound() const;
  void DockChildren();

  struct Entry {
    std::unique_ptr<Control> control;
    const ControlSpec* spec = nullptr;  // the table outlives the form
  };
  std::vector<Entry> entries_;
  std::vector<Control*> order_;
  std::map<std::string, Control*, std::less<>> byName_;
  std::map<std::string, NotifyHandler, std::less<>> clickHandlers_, changeHandlers_, enterHandlers_, exitHandlers_;
  std::map<std::string, ScrollHandler, std::less<>> scrollHandlers_;
  std::map<std::string, MouseButtonHandler, std::less<>> mouseDownHandlers_, mouseUpHandlers_;
  std::map<std::string, MouseMoveHandler, std::less<>> mouseMoveHandlers_;
  std::map<std::string, DragOverHandler, std::less<>> dragOverHandlers_;
  std::map<std::string, DragDropHandler, std::less<>> dragDropHandlers_;
  std::map<std::string, std::function<void()>, std::less<>> menuClickHandlers_;
  std::map<UINT, std::function<void()>> messageHandlers_;
  Menu menu_;
  DragTracker drag_;
  HWND toolTips_ = nullptr;  // a child of the desktop owned by the form; destroyed with it
  FontSpec fontSpec_{};
  std::string faceStorage_;
  int nextId_ = 1000;
  int dpi_ = kDesignDpi;
  int maxWidth_ = 0;
  int maxHeight_ = 0;
};

}  // namespace velmora
