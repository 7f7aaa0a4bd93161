#include "controls/CharSet.h"

namespace velmora {

namespace {

constexpr wchar_t kEnter = 13;
constexpr wchar_t kBackspace = 8;
constexpr unsigned kVirtualKeyUp = 0x26;    // VK_UP
constexpr unsigned kVirtualKeyDown = 0x28;  // VK_DOWN

void AddCode(CharSet& set, wchar_t code) {
  if (static_cast<unsigned>(code) < set.size()) set.set(static_cast<unsigned>(code));
}

}  // namespace

void ReadCharList(std::wstring_view list, CharSet& set) {
  wchar_t low = 0;
  wchar_t high = 0;
  bool range = false;
  // From the character after "[" to the closing "]".
  for (std::size_t i = 1; i < list.size(); ++i) {
    wchar_t ch = list[i];
    if (ch == L',' || ch == L']') {
      if (range) {
        for (unsigned c = low; c <= static_cast<unsigned>(high) && c < set.size(); ++c) set.set(c);
      } else {
        AddCode(set, low);
      }
      low = 0;
      high = 0;
      ch = 0;
      range = false;
    } else if (ch == L'.') {
      range = true;
    } else if (ch == L'\'') {
      // The quoted character, then past the closing quote. A quote just
      // before the closing "]" quotes the "]" itself, and the walk then
      // ends at the end of the text without reading past it.
      if (i + 1 >= list.size()) break;
      ch = list[i + 1];
      i += 2;
    }
    if (range) {
      high = ch;
    } else {
      low = ch;
    }
  }
}

void CharFilter::SetValidChars(std::wstring_view text) {
  if (text == validChars_) return;
  if (!text.empty() && text.front() == L'[' && text.back() == L']') {
    validChars_ = text;
    ReadCharList(text, accepted_);
  } else {
    validChars_ = kInvalidFormatPrefix;
    validChars_ += text;
  }
}

KeyAction CharFilter::OnChar(wchar_t character) const {
  if (character == kEnter) return KeyAction::NextControl;
  if (Unfiltered() || character == kBackspace) return KeyAction::Pass;
  if (static_cast<unsigned>(character) >= accepted_.size()) return KeyAction::Discard;
  return accepted_.test(static_cast<unsigned>(character)) ? KeyAction::Pass : KeyAction::Discard;
}

KeyAction KeyDownAction(unsigned virtualKey) {
  if (virtualKey == kVirtualKeyUp) return KeyAction::PreviousControl;
  if (virtualKey == kVirtualKeyDown) return KeyAction::NextControl;
  return KeyAction::Pass;
}

}  // namespace velmora
