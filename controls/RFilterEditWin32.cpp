#include "controls/RFilterEditWin32.h"

#include "platform/DialogsWin32.h"

namespace velmora {

std::unique_ptr<Control> TRFilterEdit::Make() { return std::make_unique<TRFilterEdit>(); }

bool TRFilterEdit::WantsKey(UINT virtualKey) const {
  if (virtualKey == VK_RETURN) return enterMovesFocus_;
  return Edit::WantsKey(virtualKey);
}

void TRFilterEdit::MoveFocus(bool previous) {
  HWND form = FormHandle();
  if (form == nullptr || form == Handle()) return;
  ::SendMessageW(form, WM_NEXTDLGCTL, previous ? 1 : 0, 0);
}

// Called for every typed character before the edit inserts it.
bool TRFilterEdit::OnChar(wchar_t character, LPARAM flags) {
  switch (filter_.OnChar(character)) {
    case KeyAction::NextControl:
      MoveFocus(false);
      return true;
    case KeyAction::Discard:
      return true;
    default:
      return Edit::OnChar(character, flags);
  }
}

// Called for every key going down, before the character stage.
bool TRFilterEdit::OnKeyDown(UINT virtualKey, LPARAM flags) {
  switch (KeyDownAction(virtualKey)) {
    case KeyAction::NextControl:
      MoveFocus(false);
      return true;
    case KeyAction::PreviousControl:
      MoveFocus(true);
      return true;
    default:
      return Edit::OnKeyDown(virtualKey, flags);
  }
}

// Called when the focus leaves the field: the exit event first, then the
// warning for an empty required field, once the focus change is over.
void TRFilterEdit::DoExit() {
  Edit::DoExit();
  if (required_ && Handle() != nullptr && ::GetWindowTextLengthW(Handle()) == 0)
    Post(RequiredFieldMessage);
}

LRESULT TRFilterEdit::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == RequiredFieldMessage) {
    // The field may have been filled or destroyed meanwhile.
    if (required_ && ::IsWindowVisible(Handle()) && ::GetWindowTextLengthW(Handle()) == 0) {
      ShowMessage(FormHandle(), kFieldRequired, MessageKind::Warning, "Warning");
      SetFocus();
    }
    return 0;
  }
  return Edit::HandleMessage(message, wParam, lParam);
}

}  // namespace velmora
