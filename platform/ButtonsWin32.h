// Buttons: push buttons, speed buttons (flat tool-bar buttons and toggles),
// radio buttons and check boxes. Owner-drawn faces (a push button with a
// glyph, every speed button) draw their glyph and caption with one painter,
// Button::DrawContent.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "platform/ControlBaseWin32.h"

namespace velmora {

// A button of the system's own that keeps a check mark (radio button, check
// box). A click reaches Clicked; its text is drawn on the parent's ground.
class CheckMarkButton : public Control {
 public:
  bool Checked() const;

 protected:
  const wchar_t* StandardClass() const override;
  bool OnReflected(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  // A click (or double click) on the button.
  virtual void Clicked() = 0;
  // Sets or clears the mark (no handler).
  void SetMark(bool checked);
};

// A radio button. The buttons with the same parent control form a group:
// selecting one clears the others. The tag carries the value it stands for.
class RadioButton : public CheckMarkButton {
 public:
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
  DWORD StyleFor(const ControlSpec& spec) const override;
  void Setup(const ControlSpec& spec) override;
  void Clicked() override;

 private:
  void CheckAlone();
};

// A check box, checked and cleared by a click; onClick runs after the click
// changed it. Made through ControlSpec::create with ControlKind::Button.
class CheckBox : public CheckMarkButton {
 public:
  static std::unique_ptr<Control> Make();
  // Sets the mark without running onClick.
  void SetChecked(bool checked);

 protected:
  DWORD StyleFor(const ControlSpec& spec) const override;
  void Clicked() override;
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
  // Draws the owner-drawn face: frame (pushed or not), then DrawContent.
  virtual void DrawFace(const DRAWITEMSTRUCT& item);
  // The content of every button face: the glyph and the caption centred
  // together in `face` (one pixel down and right while pushed), the caption
  // in the font colour (the button-text colour without one, grey when
  // disabled), and the focus rectangle `focusInset` pixels inside `face`.
  void DrawContent(const DRAWITEMSTRUCT& item, const RECT& face, bool pushed, int focusInset);
  bool Down() const noexcept { return down_; }
  void SetDownState(bool down);

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

}  // namespace velmora
