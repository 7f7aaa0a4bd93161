// The character filter of the filtered edit field: the set notation of its
// ValidChars text ("[0..9]", "[x,y,z]", "['.',',']", "[]") read into a set
// of 8-bit character codes, and what the field does with a key.
#pragma once

#include <bitset>
#include <string>
#include <string_view>

namespace velmora {

// The prefix ValidChars reads with when the assigned text is not a list.
inline constexpr std::wstring_view kInvalidFormatPrefix = L"Invalid Format ";
// The text of a new field: no filtering.
inline constexpr std::wstring_view kNoFilter = L"[]";

// A set of 8-bit character codes.
using CharSet = std::bitset<256>;

// Adds the items of a list in the set notation to `set`. `list` begins with
// "[" and ends with "]". Each item is added when a "," or the closing "]"
// follows it; the last character before a separator is the item, a "."
// switches to the high bound of a range, a quoted character never acts as
// notation. A separator right after another one adds code 0. Characters
// above 255 have no place in the set and add nothing.
void ReadCharList(std::wstring_view list, CharSet& set);

// What the field does with a key.
enum class KeyAction {
  Pass,              // the base control handles it
  Discard,           // dropped: nothing inserted, no event
  NextControl,       // move the focus to the next control, key dropped
  PreviousControl,   // move the focus to the previous control, key dropped
};

// The filter state of one field: the ValidChars text and the accepted set.
class CharFilter {
 public:
  // ValidChars as it reads: the last text assigned, or the invalid text
  // behind kInvalidFormatPrefix.
  const std::wstring& ValidChars() const { return validChars_; }
  // Assigns ValidChars. The accepted set only grows: characters of earlier
  // lists stay accepted. An invalid text changes only what ValidChars reads.
  void SetValidChars(std::wstring_view text);

  const CharSet& Accepted() const { return accepted_; }
  // True when no character is filtered (the set is empty).
  bool Unfiltered() const { return accepted_.none(); }

  // A typed character (WM_CHAR). Enter moves on; with a non-empty set a
  // character outside it (backspace excepted) is dropped, and so is every
  // character above 255, which no 8-bit set can hold.
  KeyAction OnChar(wchar_t character) const;

 private:
  std::wstring validChars_{kNoFilter};
  CharSet accepted_;
};

// A key going down: the up arrow moves to the previous control, the down
// arrow to the next; every other key passes.
KeyAction KeyDownAction(unsigned virtualKey);

}  // namespace velmora
