// The controls of the toolkit. Every control is a real child window (a
// standard one subclassed through Window::Attach, or a window class of our
// own) placed where its form description says, with its text readable as
// the window text, so screen readers and UI automation see what the user
// sees. Notifications come back to the control's object by reflection and
// are raised as the control's own events (std::function members, bound by
// the form by handler name or directly).
//
// Controls are made by Form from its control table (FormWin32.h); a control
// class that derives from one of these (a filtered edit field, say) is made
// through the table's `create` factory and gets the same set-up.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fade/Graphics.h"
#include "platform/DibImageWin32.h"
#include "platform/HandlesWin32.h"
#include "platform/WindowWin32.h"

namespace velmora {

class Form;
class Control;
class ScrollBar;
struct ControlSpec;

// "No colour given": the control keeps its class's default.
inline constexpr TColor kDefaultColour = 0xFFFFFFFFu;
// Named colours of the form descriptions (plain RGB in TColor form).
inline constexpr TColor kMaroon = 0x000080;
inline constexpr TColor kNavy = 0x800000;
inline constexpr TColor kBlue = 0xFF0000;
inline constexpr TColor kRed = 0x0000FF;
// Converts a TColor (system colours resolved) to a COLORREF.
COLORREF ToColorRef(TColor colour);

// Event signatures. The sender is the control that raised the event.
using NotifyHandler = std::function<void(Control& sender)>;
using MouseButtonHandler = std::function<void(Control& sender, MouseButton button, int x, int y, WPARAM keys)>;
using MouseMoveHandler = std::function<void(Control& sender, int x, int y, WPARAM keys)>;
// Called on the control under the pointer while `source` is dragged; true
// accepts a drop there (the pointer shows the accepting cursor). x, y are
// client coordinates of the target.
using DragOverHandler = std::function<bool(Control& target, Control& source, int x, int y)>;
// Called on the target when the dragged control is released over it and
// the target accepted it.
using DragDropHandler = std::function<void(Control& target, Control& source, int x, int y)>;
// A scroll bar's scroll code (SB_LINELEFT ... SB_ENDSCROLL) and the position
// the scroll box gets for it.
using ScrollHandler = std::function<void(ScrollBar& sender, int code, int position)>;

enum class TextAlign { Left, Right, Center };
enum class BevelStyle { None, Lowered, Raised };

// The base of every control.
class Control : public Window {
 public:
  Control() = default;
  ~Control() override;

  // Makes the window from the table entry, inside `parent` (the physical
  // parent window). Called by Form; a derived class overrides CreateWindowFor
  // rather than this.
  bool CreateFromSpec(Form& form, const ControlSpec& spec, HWND parent, Control* logicalParent);

  const std::string& Name() const noexcept { return name_; }
  Form* OwnerForm() const noexcept { return form_; }
  // The control that holds this one in the form description (a panel, tool
  // bar or group box), or nullptr for a control placed on the form itself.
  // A group box's children are windows of the group box's own parent, so
  // this is not always the parent window.
  Control* ParentControl() const noexcept { return logicalParent_; }

  int Tag() const noexcept { return tag_; }
  void SetTag(int tag) noexcept { tag_ = tag; }

  // The caption (window text) in UTF-8.
  virtual void SetCaption(std::string_view utf8);
  std::string Caption() const;

  // The control's own visibility flag (WS_VISIBLE), whatever its parents
  // show; SetVisible shows or hides the window.
  bool Visible() const;
  void SetVisible(bool visible);

  // Place in the parent's client coordinates (the logical parent's, for a
  // control inside a group box).
  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  void SetLeft(int left);
  void SetTop(int top);
  void SetWidth(int width);
  void SetHeight(int height);
  void SetPlace(int left, int top, int width, int height);

  // Font (not owned; from FontCache) and text colour.
  void SetFont(HFONT font, bool redraw = true);
  HFONT Font() const noexcept { return font_; }
  void SetFontColour(TColor colour);
  TColor FontColour() const noexcept { return fontColour_; }
  // Background colour (panels, edits, the form); kDefaultColour for the
  // class default.
  virtual void SetColour(TColor colour);
  TColor Colour() const noexcept { return colour_; }
  // The brush that paints this control's background, for children that
  // draw transparently on it: its own colour's, else (for controls without
  // a background of their own, such as labels) the parent's. Not owned.
  virtual HBRUSH BackgroundBrush() const;

  // The tool tip shown when the pointer rests on the control.
  void SetHint(std::string_view utf8);
  const std::string& Hint() const noexcept { return hint_; }

  void SetFocus();
  bool Focused() const;

  // Starts dragging this control: the mouse is captured, the control under
  // the pointer is asked onDragOver at every move (the pointer shows
  // whether it accepts), and releasing the left button over a control that
  // accepted calls its onDragDrop. Escape, a right button or losing the
  // capture cancels. Returns at once; the drag runs in the message loop.
  // The caller decides when a press becomes a drag.
  void BeginDrag();
  // True while this control is being dragged.
  bool Dragging() const;
  // Ends a running drag without a drop.
  static void CancelDrag();
  // True while any control is being dragged.
  static bool DragInProgress();

  // Events (run by the control; empty ones are skipped).
  NotifyHandler onClick;
  NotifyHandler onChange;
  NotifyHandler onEnter;  // the control got the keyboard focus
  NotifyHandler onExit;   // the control lost the keyboard focus
  MouseButtonHandler onMouseDown;
  MouseMoveHandler onMouseMove;
  MouseButtonHandler onMouseUp;
  DragOverHandler onDragOver;
  DragDropHandler onDragDrop;

  // Whether the control handles this key itself, so the form must not use
  // it for dialog navigation (Tab, Enter, Escape, arrows).
  virtual bool WantsKey(UINT virtualKey) const;

 protected:
  // Makes the window; the default creates a standard control of
  // `className` with `style` and attaches to it. Own-class controls override.
  virtual HWND CreateWindowFor(const ControlSpec& spec, HWND parent, DWORD style, DWORD exStyle);
  // The window class and styles of this kind (a standard class name, or
  // nullptr for a window class of our own).
  virtual const wchar_t* StandardClass() const;
  virtual DWORD StyleFor(const ControlSpec& spec) const;
  virtual DWORD ExStyleFor(const ControlSpec& spec) const;
  // Called once the window exists, to apply the rest of its table entry.
  virtual void Setup(const ControlSpec& spec);

  // Raise the events; derived classes may override to add behaviour (the
  // base runs the std::function).
  virtual void DoClick();
  virtual void DoChange();
  virtual void DoEnter();
  virtual void DoExit();

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  bool OnMouseDown(MouseButton button, int x, int y, WPARAM keys) override;
  bool OnMouseUp(MouseButton button, int x, int y, WPARAM keys) override;
  bool OnMouseMove(int x, int y, WPARAM keys) override;
  // A second press soon after the first is a press like any other (the
  // classes ask for double clicks only so that the press is not lost).
  bool OnDoubleClick(MouseButton button, int x, int y, WPARAM keys) override;

  // Sets the colours on a DC for WM_CTLCOLOR* of this control and returns
  // the brush: the control's colour, else `fallback`.
  HBRUSH PrepareColours(HDC dc, HBRUSH fallback);
  // Where this control's coordinates start in its window parent: the
  // group box's place for a control inside a group box, else (0, 0).
  POINT ParentOffset() const;

 private:
  friend class Form;
  friend class DragTracker;

  std::string name_;
  Form* form_ = nullptr;              // not owned
  Control* logicalParent_ = nullptr;  // not owned
  int tag_ = 0;
  HFONT font_ = nullptr;  // not owned
  TColor fontColour_ = kDefaultColour;
  TColor colour_ = kDefaultColour;
  UniqueBrush brush_;
  std::string hint_;
};

// A container of our own window class: a background in a TColor (system
// colours welcome), a bevel, and a click event. Children's notifications
// are reflected to them as on any window of the toolkit.
class Panel : public Control {
 public:
  void SetColour(TColor colour) override;
  // A panel without a colour of its own is button face, whatever its parent.
  HBRUSH BackgroundBrush() const override;
  void SetBevel(BevelStyle outer);
  BevelStyle Bevel() const noexcept { return bevel_; }
  // Etched lines along the top and bottom edges (a tool bar's edges).
  void SetEdges(bool topAndBottom);

 protected:
  HWND CreateWindowFor(const ControlSpec& spec, HWND parent, DWORD style, DWORD exStyle) override;
  const wchar_t* StandardClass() const override;
  DWORD ExStyleFor(const ControlSpec& spec) const override;
  void Setup(const ControlSpec& spec) override;
  bool OnPaint(HDC dc, const RECT& area) override;
  bool OnEraseBackground(HDC dc) override;
  bool OnMouseDown(MouseButton button, int x, int y, WPARAM keys) override;
  bool OnMouseUp(MouseButton button, int x, int y, WPARAM keys) override;

 private:
  BevelStyle bevel_ = BevelStyle::None;
  bool edges_ = false;
  bool pressed_ = false;
};

// A row of buttons along the top of the form: a panel with edges, flat.
class ToolBar : public Panel {
 protected:
  void Setup(const ControlSpec& spec) override;
};

// A text label: a STATIC child, transparent on its parent's background,
// clipped to its width, "&&" shown as "&". Clicks raise onClick. With
// autoSize its width follows its text, keeping its left edge (or its right
// edge when right-aligned).
class Label : public Control {
 public:
  void SetCaption(std::string_view utf8) override;
  bool AutoSize() const noexcept { return autoSize_; }
  void SetAutoSize(bool autoSize);

 protected:
  const wchar_t* StandardClass() const override;
  DWORD StyleFor(const ControlSpec& spec) const override;
  void Setup(const ControlSpec& spec) override;
  bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void FitToText();
  void FitToText(std::wstring_view text);

 private:
  bool autoSize_ = false;
  TextAlign align_ = TextAlign::Left;
  bool transparent_ = true;
};

// A label with a single border and an opaque background (range indicators).
class StaticText : public Label {
 protected:
  DWORD StyleFor(const ControlSpec& spec) const override;
  DWORD ExStyleFor(const ControlSpec& spec) const override;
};

// An etched line or frame (a STATIC with SS_ETCHED*): a horizontal line
// when the height is 2 or less, a frame otherwise.
class Bevel : public Control {
 protected:
  const wchar_t* StandardClass() const override;
  DWORD StyleFor(const ControlSpec& spec) const override;
  void Setup(const ControlSpec& spec) override;
};

// A picture control of our own class: empty (the parent's background), a
// solid colour, or a picture stretched to the client area (HALFTONE). Mouse
// events carry client coordinates; it captures the mouse while the left
// button is down, as a press that becomes a drag needs.
class PictureBox : public Control {
 public:
  // Empties the picture; the control shows its parent's background.
  void Clear();
  bool Empty() const noexcept { return kind_ == Content::None; }
  // Fills the whole client area with one colour.
  void FillColour(TColor colour);
  // Keeps a copy of `graphic` drawn stretched over the client area.
  // Metafiles and icons draw on white.
  void SetGraphic(const Graphic& graphic);
  // Keeps a copy of `image`, stretched over the client area when painted.
  void SetImage(const Image24& image);
  // Takes a bitmap (a DIB section or device-dependent bitmap); shown
  // stretched. Owned from now on.
  void SetBitmap(UniqueBitmap bitmap);
  // The picture held, at its own size (for a colour: the client size); the
  // caller may draw on it and then call Refresh. nullptr when empty.
  DibImage* Picture() noexcept;
  // Repaints at once, without waiting for the message loop (the editor
  // clears a slot's picture and shows it cleared before loading the next).
  void Refresh();

 protected:
  HWND CreateWindowFor(const ControlSpec& spec, HWND parent, DWORD style, DWORD exStyle) override;
  const wchar_t* StandardClass() const override;
  bool OnPaint(HDC dc, const RECT& area) override;
  bool OnEraseBackground(HDC dc) override;
  bool OnMouseDown(MouseButton button, int x, int y, WPARAM keys) override;
  bool OnMouseUp(MouseButton button, int x, int y, WPARAM keys) override;

 private:
  enum class Content { None, Colour, Picture };
  Content kind_ = Content::None;
  TColor fill_ = 0;
  std::unique_ptr<DibImage> picture_;
};

// A horizontal (or vertical) SCROLLBAR child. Never a tab stop. Every
// WM_HSCROLL code raises onScroll(code, position) with the position the
// scroll box gets for that code (line and page steps and thumb moves are
// applied by the control itself; SB_ENDSCROLL keeps the position), then
// onChange when the position changed.
class ScrollBar : public Control {
 public:
  // min..max with a page: the scroll box reaches min .. max - page + 1.
  void SetRange(int min, int max);
  void SetPageSize(int page);
  // Clamped into the reachable range; raises onChange when it moved and
  // `notify` is set.
  void SetPosition(int position, bool notify = true);
  // Range, page and position at once (position clamped), onChange as above.
  void SetParams(int position, int min, int max, int page, bool notify = true);
  int Min() const noexcept { return min_; }
  int Max() const noexcept { return max_; }
  int PageSize() const noexcept { return page_; }
  int Position() const noexcept { return position_; }
  // The position a scroll code moves the box to from `current`.
  int PositionForCode(int code, int current, int trackPosition) const;

  ScrollHandler onScroll;

 protected:
  const wchar_t* StandardClass() const override;
  DWORD StyleFor(const ControlSpec& spec) const override;
  void Setup(const ControlSpec& spec) override;
  bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void Apply(bool notify, int oldPosition);
  int min_ = 0;
  int max_ = 100;
  int page_ = 0;
  int position_ = 0;
  bool vertical_ = false;
};

// A group box frame with its caption. Its children (radio buttons, labels,
// sliders) are windows of the group box's own parent, placed relative to
// the box, so their notifications reach our own windows; the form keeps
// them in table order as the group's children.
class GroupBox : public Control {
 public:
  // Puts the frame below its siblings (done by the form once the controls
  // inside it exist, which a window manager may stack below it).
  void SendToBack();

 protected:
  const wchar_t* StandardClass() const override;
  DWORD StyleFor(const ControlSpec& spec) const override;
  void Setup(const ControlSpec& spec) override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// A radio button. The buttons with the same parent control form a group:
// selecting one clears the others. The tag carries the value it stands for.
class RadioButton : public Control {
 public:
  bool Checked() const;
  // Selects the button as a click would: clears the rest of its group and
  // runs onClick.
  void Select();
  // Selects the button and clears the rest of its group without running
  // any click handler.
  void SelectSilently();
  // Clears the button (no handler).
  void Uncheck();
  // The buttons of this button's group, in table order (itself included).
  std::vector<RadioButton*> Group() const;

 protected:
  const wchar_t* StandardClass() const override;
  DWORD StyleFor(const ControlSpec& spec) const override;
  void Setup(const ControlSpec& spec) override;
  bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void CheckAlone();
};

// A horizontal track bar (slider). Range, page, tick frequency, position.
// onChange runs whenever the position changes, by the user or by
// SetPosition (as a change handler expects); detach onChange for silent
// changes, or pass notify = false.
class TrackBar : public Control {
 public:
  void SetRange(int min, int max);
  void SetPageSize(int page);
  void SetTickFrequency(int frequency);
  void SetPosition(int position, bool notify = true);
  int Position() const noexcept { return position_; }
  int Min() const noexcept { return min_; }
  int Max() const noexcept { return max_; }

 protected:
  const wchar_t* StandardClass() const override;
  DWORD StyleFor(const ControlSpec& spec) const override;
  void Setup(const ControlSpec& spec) override;
  bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void Sync(bool notify);
  int min_ = 0;
  int max_ = 10;
  int position_ = 0;
};

// An up-down control bound to an edit (its buddy, named in the table's
// `associate`): the arrows step the number in the edit between min and
// max, without wrapping. Position reads the edit's number (clamped into
// min..max; the last valid position when the text is no number).
class UpDown : public Control {
 public:
  void SetRange(int min, int max);
  void SetPosition(int position);
  int Position() const;
  int Min() const noexcept { return min_; }
  int Max() const noexcept { return max_; }
  void SetBuddy(Control* buddy);

 protected:
  const wchar_t* StandardClass() const override;
  DWORD StyleFor(const ControlSpec& spec) const override;
  void Setup(const ControlSpec& spec) override;
  bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  int min_ = 0;
  int max_ = 100;
  mutable int last_ = 0;
};

// A push button. A non-zero modal result closes a modal form with that
// result after onClick ran; the default button is pressed by Enter and the
// cancel button by Escape (see Form). A glyph bitmap, when given, is drawn
// left of the caption (owner-drawn; the caption stays the window text).
class Button : public Control {
 public:
  int ModalResultValue() const noexcept { return modalResult_; }
  void SetModalResultValue(int result) noexcept { modalResult_ = result; }
  bool IsDefault() const noexcept { return default_; }
  bool IsCancel() const noexcept { return cancel_; }
  // A glyph (owned from now on). A bitmap twice as wide as high holds two
  // images: enabled and disabled. Its bottom-left pixel is transparent.
  void SetGlyph(UniqueBitmap glyph);
  // Loads the glyph from a bitmap resource of the executable by name.
  bool LoadGlyph(const wchar_t* resourceName);
  // Clicks the button as the user would.
  void Click();

 protected:
  const wchar_t* StandardClass() const override;
  DWORD StyleFor(const ControlSpec& spec) const override;
  void Setup(const ControlSpec& spec) override;
  bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void DoClick() override;
  // Draws the owner-drawn face: frame (pushed or not), glyph, caption.
  virtual void DrawFace(const DRAWITEMSTRUCT& item);
  bool Down() const noexcept { return down_; }
  void SetDownState(bool down);
  const UniqueBitmap& Glyph() const noexcept { return glyph_; }

 private:
  int modalResult_ = 0;
  bool default_ = false;
  bool cancel_ = false;
  bool down_ = false;
  UniqueBitmap glyph_;
};

// A flat button of a tool bar, optionally a toggle: with a group index it
// stays down when clicked and comes up when clicked again (allowAllUp) or
// when another button of its group goes down. Owner-drawn; BM_GETCHECK
// reports the down state to accessibility tools.
class SpeedButton : public Button {
 public:
  bool IsDown() const noexcept { return Down(); }
  // Sets the state without running onClick.
  void SetDown(bool down);
  int GroupIndex() const noexcept { return groupIndex_; }

 protected:
  DWORD StyleFor(const ControlSpec& spec) const override;
  void Setup(const ControlSpec& spec) override;
  void DoClick() override;
  void DrawFace(const DRAWITEMSTRUCT& item) override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  int groupIndex_ = 0;
  bool allowAllUp_ = false;
  bool flat_ = true;
};

// A rectangle filled with a colour and outlined in black (a colour swatch).
class Shape : public Control {
 public:
  void SetBrushColour(TColor colour);
  TColor BrushColour() const noexcept { return brushColour_; }

 protected:
  HWND CreateWindowFor(const ControlSpec& spec, HWND parent, DWORD style, DWORD exStyle) override;
  const wchar_t* StandardClass() const override;
  void Setup(const ControlSpec& spec) override;
  bool OnPaint(HDC dc, const RECT& area) override;
  bool OnEraseBackground(HDC dc) override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  TColor brushColour_ = kWhite;
};

// A single-line EDIT. onChange on every change of the text, onEnter and
// onExit on focus changes. A derived class intercepts keys by overriding
// OnChar / OnKeyDown (return true to swallow the key; call Edit::OnChar to
// go on) and focus loss by overriding DoExit; WantsKey(VK_RETURN) true
// keeps Enter from pressing the form's default button.
class Edit : public Control {
 public:
  // The text in the system ANSI code page (paths), or as UTF-16.
  std::string TextAnsi() const;
  void SetTextAnsi(std::string_view text);
  void SelectAll();
  void SetMaxLength(int characters);
  // The parent form, for WM_NEXTDLGCTL and message boxes.
  HWND FormHandle() const;

 protected:
  const wchar_t* StandardClass() const override;
  DWORD StyleFor(const ControlSpec& spec) const override;
  DWORD ExStyleFor(const ControlSpec& spec) const override;
  bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

// A list box, several items selectable at once when multiSelect is set
// (Shift and Control extend the selection).
class ListBox : public Control {
 public:
  void Clear();
  int Add(std::wstring_view item);
  void Delete(int index);
  int Count() const;
  std::wstring Item(int index) const;
  bool Selected(int index) const;
  void SetSelected(int index, bool selected);
  void SetItemHeight(int pixels);

 protected:
  const wchar_t* StandardClass() const override;
  DWORD StyleFor(const ControlSpec& spec) const override;
  DWORD ExStyleFor(const ControlSpec& spec) const override;
  void Setup(const ControlSpec& spec) override;
  bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

}  // namespace velmora
