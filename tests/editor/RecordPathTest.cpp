#include "editor/RecordPath.h"

#include <gtest/gtest.h>

#include <map>

namespace velmora {
namespace {

// A code page without "Ω": every other character converts one to one (to
// 'x' for characters beyond ASCII, which is enough to count bytes).
std::optional<std::string> FakeAnsi(const std::wstring& text) {
  std::string ansi;
  for (wchar_t c : text) {
    if (c == L'Ω') return std::nullopt;
    ansi += c < 128 ? static_cast<char>(c) : 'x';
  }
  return ansi;
}

TEST(RecordPathTest, PathsThatDoNotFitExactlyAreNeverCut) {
  const std::wstring longPath = L"C:\\" + std::wstring(198, L'a');   // 201 bytes
  const std::wstring fullLength = L"C:\\" + std::wstring(197, L'a');  // 200 bytes
  const std::map<std::wstring, std::wstring> shortForms = {
      {longPath, L"C:\\AAAA~1.JPG"},
      {L"C:\\Ω.jpg", L"C:\\0A1B~1.JPG"},
      {L"C:\\Ω" + std::wstring(200, L'b'), L"C:\\" + std::wstring(200, L'B')},
  };
  const ShortPathLookup lookup = [&](const std::wstring& path) -> std::optional<std::wstring> {
    const auto found = shortForms.find(path);
    if (found == shortForms.end()) return std::nullopt;
    return found->second;
  };
  struct Case {
    std::wstring path;
    std::optional<std::string> stored;
  };
  const Case cases[] = {
      {L"C:\\a.jpg", "C:\\a.jpg"},
      {fullLength, std::string(FakeAnsi(fullLength).value())},
      {longPath, "C:\\AAAA~1.JPG"},
      {L"C:\\Ω.jpg", "C:\\0A1B~1.JPG"},
      {L"C:\\Ω" + std::wstring(200, L'b'), std::nullopt},  // the short form is too long as well
      {L"C:\\Ω\\no short form.jpg", std::nullopt},
      {L"", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseRecordPath(c.path, FakeAnsi, lookup), c.stored) << c.path.size();
  }
}

}  // namespace
}  // namespace velmora
