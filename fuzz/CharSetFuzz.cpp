// Fuzzes the filtered field's set notation: any text assigned twice, then
// every character typed. The walk must stay inside the text, the set must
// only grow, and ValidChars must read the text or the invalid-format form.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "controls/CharSet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Two bytes a character, so characters above 255 occur; the first half of
  // the input is one list, the rest another, both bracketed to be read.
  std::wstring text;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
  const std::wstring first = L"[" + text.substr(0, text.size() / 2) + L"]";
  const std::wstring second = text.substr(text.size() / 2);

  velmora::CharFilter filter;
  filter.SetValidChars(first);
  if (filter.ValidChars() != first) std::abort();
  const velmora::CharSet before = filter.Accepted();
  filter.SetValidChars(second);
  if ((filter.Accepted() & before) != before) std::abort();
  const bool list = !second.empty() && second.front() == L'[' && second.back() == L']';
  if (list && filter.ValidChars() != second) std::abort();
  if (!list && second != first && filter.ValidChars() != std::wstring(velmora::kInvalidFormatPrefix) + second)
    std::abort();
  for (wchar_t c : text) {
    const velmora::KeyAction action = filter.OnChar(c);
    if (c > 255 && c != 13 && !filter.Unfiltered() && action != velmora::KeyAction::Discard) std::abort();
  }
  return 0;
}
