#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/CharSet.h"

namespace velmora {
namespace {

std::wstring AcceptedOf(const CharFilter& filter) {
  std::wstring codes;
  for (unsigned c = 0; c < 256; ++c)
    if (filter.Accepted().test(c)) codes += static_cast<wchar_t>(c);
  return codes;
}

std::wstring Range(wchar_t low, wchar_t high) {
  std::wstring codes;
  for (wchar_t c = low; c <= high; ++c) codes += c;
  return codes;
}

TEST(CharSetTest, ListsAreReadItemByItemAndTheSetOnlyGrows) {
  struct Case {
    const char* what;
    std::vector<std::wstring> assigned;  // in order, on a new field
    std::wstring accepted;               // every code in the set, ascending
    std::wstring reads;                  // ValidChars afterwards
  };
  const Case cases[] = {
      {"new field", {}, L"", L"[]"},
      {"no filter", {L"[]"}, L"", L"[]"},
      {"digits", {L"[0..9]"}, Range(L'0', L'9'), L"[0..9]"},
      {"single items", {L"[x,y,z]"}, L"xyz", L"[x,y,z]"},
      {"quoted notation", {L"['.',',']"}, L",.", L"['.',',']"},
      {"quoted bracket and quote", {L"[']',''']"}, L"']", L"[']',''']"},
      {"empty range adds nothing", {L"[9..0]"}, L"", L"[9..0]"},
      {"last character before a separator wins", {L"[a ,b]"}, L" b", L"[a ,b]"},
      {"the dot stands as high bound", {L"[A.]"}, L"", L"[A.]"},
      {"dot as high bound over a low one", {L"[!.]"}, Range(L'!', L'.'), L"[!.]"},
      {"separator after separator adds code 0", {L"[a,,b]"}, std::wstring(1, L'\0') + L"ab", L"[a,,b]"},
      {"trailing separator adds code 0", {L"[a,]"}, std::wstring(1, L'\0') + L"a", L"[a,]"},
      {"quote before the closing bracket ends the walk", {L"[a,']"}, L"a", L"[a,']"},
      {"the set only grows", {L"[0..9]", L"[a..f]"}, Range(L'0', L'9') + Range(L'a', L'f'), L"[a..f]"},
      {"no brackets is invalid", {L"0..9"}, L"", L"Invalid Format 0..9"},
      {"empty is invalid", {L""}, L"", L"Invalid Format "},
      {"invalid keeps the set", {L"[x]", L"[y"}, L"x", L"Invalid Format [y"},
      {"characters above 255 add nothing", {L"[\u4e00,a]"}, L"a", L"[\u4e00,a]"},
  };
  for (const Case& c : cases) {
    CharFilter filter;
    for (const std::wstring& text : c.assigned) filter.SetValidChars(text);
    EXPECT_EQ(AcceptedOf(filter), c.accepted) << c.what;
    EXPECT_EQ(filter.ValidChars(), c.reads) << c.what;
  }
}

TEST(CharSetTest, KeysAreFilteredAndEnterAndArrowsMoveTheFocus) {
  struct Case {
    const wchar_t* list;
    wchar_t character;
    KeyAction expect;
  };
  const Case cases[] = {
      {L"[0..9]", L'5', KeyAction::Pass},      {L"[0..9]", L'a', KeyAction::Discard},
      {L"[0..9]", L' ', KeyAction::Discard},   {L"[0..9]", L'-', KeyAction::Discard},
      {L"[0..9]", 22, KeyAction::Discard},     // Ctrl+V
      {L"[0..9]", 27, KeyAction::Discard},     // Escape
      {L"[0..9]", 8, KeyAction::Pass},         // backspace
      {L"[0..9]", 13, KeyAction::NextControl}, {L"[]", 13, KeyAction::NextControl},
      {L"[]", L'a', KeyAction::Pass},          {L"[]", 22, KeyAction::Pass},
      {L"[]", L'\u4e2d', KeyAction::Pass},     // no filter: everything
      {L"[0..9]", L'\u4e2d', KeyAction::Discard},
      {L"[0..9]", static_cast<wchar_t>(0x130), KeyAction::Discard},  // 0x30 plus 256
      {L"[9..0]", L'x', KeyAction::Pass},      // empty range: still no filter
  };
  for (const Case& c : cases) {
    CharFilter filter;
    filter.SetValidChars(c.list);
    EXPECT_EQ(filter.OnChar(c.character), c.expect) << "code " << static_cast<int>(c.character);
  }
  EXPECT_EQ(KeyDownAction(0x26), KeyAction::PreviousControl);
  EXPECT_EQ(KeyDownAction(0x28), KeyAction::NextControl);
  EXPECT_EQ(KeyDownAction(0x25), KeyAction::Pass);
}

}  // namespace
}  // namespace velmora
