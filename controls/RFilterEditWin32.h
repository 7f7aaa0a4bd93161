// TRFilterEdit: a single-line edit that accepts only the characters of its
// ValidChars list, can refuse to be left empty (RequiredField), and moves
// the focus with Enter and the arrow keys: Enter and the down arrow go to
// the next control of the form, the up arrow to the previous one.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "controls/CharSet.h"
#include "platform/ControlsWin32.h"

namespace velmora {

// Posted by the field to itself when it was left empty while required.
inline constexpr UINT RequiredFieldMessage = WM_APP + 0x31;
// The text of the warning box for an empty required field.
inline constexpr char kFieldRequired[] = " Field is required! ";

class TRFilterEdit : public Edit {
 public:
  // For a form table's `create`.
  static std::unique_ptr<Control> Make();

  // The list of accepted characters in the set notation; see CharFilter.
  std::wstring ValidChars() const { return filter_.ValidChars(); }
  void SetValidChars(std::wstring_view text) { filter_.SetValidChars(text); }
  bool RequiredField() const noexcept { return required_; }
  void SetRequiredField(bool required) noexcept { required_ = required; }
  // When false, Enter is left to the form (it presses the default button)
  // instead of moving the focus on. True at creation.
  void SetEnterMovesFocus(bool moves) noexcept { enterMovesFocus_ = moves; }

  bool WantsKey(UINT virtualKey) const override;

 protected:
  bool OnChar(wchar_t character, LPARAM flags) override;
  bool OnKeyDown(UINT virtualKey, LPARAM flags) override;
  void DoExit() override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  // Sends WM_NEXTDLGCTL to the parent form (next, or previous).
  void MoveFocus(bool previous);

  CharFilter filter_;
  bool required_ = false;
  bool enterMovesFocus_ = true;
};

}  // namespace velmora
