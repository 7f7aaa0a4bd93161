// Text input: the single-line edit field and the list box.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/ControlBaseWin32.h"

namespace velmora {

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
