// The base of every control of the toolkit. Every control is a real child
// window (a standard one subclassed through Window::Attach, or a window
// class of our own) placed where its form description says, with its text
// readable as the window text, so screen readers and UI automation see what
// the user sees. Notifications come back to the control's object by
// reflection and are raised as the control's own events (std::function
// members, bound by the form by handler name or directly).
//
// Controls are made by Form from its control table (FormWin32.h); a control
// class that derives from one of the kinds (a filtered edit field, say) is
// made through the table's `create` factory and gets the same set-up.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "fade/Graphics.h"
#include "platform/DpiScale.h"
#include "platform/FontsWin32.h"
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

  // Font (not owned; from FontCache) and text colour. SetFontSpec takes the
  // font by description (empty parts: the form's) at the form's DPI, and
  // keeps it when the DPI changes; a font set by handle is the control's
  // own until the next SetFontSpec or DPI change. The face must outlive the
  // control (a literal, or the form's table).
  void SetFont(HFONT font, bool redraw = true);
  void SetFontSpec(const FontSpec& spec, bool redraw = true);
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

  // Starts dragging this control with its form's drag tracker (see
  // DragTrackerWin32.h). Returns at once; the drag runs in the message
  // loop. The caller decides when a press becomes a drag.
  void BeginDrag();
  // True while this control is being dragged.
  bool Dragging() const;

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
  // StandardClass() with `style` and attaches to it. Own-class controls
  // override (with CreateOwnClassWindow).
  virtual HWND CreateWindowFor(const ControlSpec& spec, HWND parent, DWORD style, DWORD exStyle);
  // The window class and styles of this kind (a standard class name, or
  // nullptr for a window class of our own).
  virtual const wchar_t* StandardClass() const;
  virtual DWORD StyleFor(const ControlSpec& spec) const;
  virtual DWORD ExStyleFor(const ControlSpec& spec) const;
  // Called once the window exists, to apply the rest of its table entry.
  virtual void Setup(const ControlSpec& spec);
  // Called when the form has moved the control for a new DPI: the font
  // follows; a derived class re-measures what depends on it.
  virtual void DpiChanged();
  // Called after SetFont has given the window a font.
  virtual void FontSet();
  // The table entry's place scaled to the form's DPI (group-box offset not
  // included).
  DpiRect ScaledPlace(const ControlSpec& spec) const;

  // Makes the window as a window class of our own named `className`.
  HWND CreateOwnClassWindow(const wchar_t* className, const ControlSpec& spec, HWND parent, DWORD style,
                            DWORD exStyle);
  // The module whose resources and window classes the controls use.
  static HINSTANCE ModuleInstance();
  // Visual styles draw radio and group-box texts in the theme's colour; a
  // control with a colour of its own is drawn unthemed.
  void DropTheme();

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

  std::string name_;
  Form* form_ = nullptr;              // not owned
  Control* logicalParent_ = nullptr;  // not owned
  int tag_ = 0;
  HFONT font_ = nullptr;  // not owned
  FontSpec fontSpec_{};   // the description font_ was made from
  TColor fontColour_ = kDefaultColour;
  TColor colour_ = kDefaultColour;
  UniqueBrush brush_;
  std::string hint_;
};

}  // namespace velmora
