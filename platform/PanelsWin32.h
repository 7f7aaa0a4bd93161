// Labels and panels: the controls that show a text, a frame or a colour,
// and the containers (panel, tool bar, group box) that hold other controls.
// None of them takes the keyboard.
#pragma once

#include <windows.h>

#include "platform/ControlBaseWin32.h"

namespace velmora {

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
  void FontSet() override;
  bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void FitToText();
  void FitToText(std::wstring_view text);
  // A label of fixed size never clips its line: when the font's line is
  // taller than the label's client area (a designed size too small at some
  // scale), the label grows downwards to it.
  void KeepLineHeight();

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

}  // namespace velmora
