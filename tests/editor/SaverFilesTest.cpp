#include "editor/SaverFiles.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora {
namespace {

TEST(SaverFilesTest, NamesThatCannotBeASaversFileNameAreRefused) {
  struct Case {
    const wchar_t* name;
    SaverNameProblem problem;
  };
  const Case cases[] = {
      {L"Ocean", SaverNameProblem::Valid},
      {L"海洋 2", SaverNameProblem::Valid},
      {L"許", SaverNameProblem::Valid},  // second Big5 byte is a backslash
      {L"COM10", SaverNameProblem::Valid},
      {L"CONSOLE", SaverNameProblem::Valid},
      {L"", SaverNameProblem::Empty},
      {L"my.show", SaverNameProblem::Dot},
      {L"Ocean.", SaverNameProblem::Dot},
      {L"..", SaverNameProblem::Dot},
      {L"Ocean ", SaverNameProblem::TrailingSpace},
      {L"a\\b", SaverNameProblem::BadCharacter},
      {L"..\\x", SaverNameProblem::BadCharacter},
      {L"C:x", SaverNameProblem::BadCharacter},
      {L"a/b", SaverNameProblem::BadCharacter},
      {L"a*", SaverNameProblem::BadCharacter},
      {L"a?", SaverNameProblem::BadCharacter},
      {L"\"a\"", SaverNameProblem::BadCharacter},
      {L"<a>", SaverNameProblem::BadCharacter},
      {L"a|b", SaverNameProblem::BadCharacter},
      {L"a\tb", SaverNameProblem::BadCharacter},
      {L"CON", SaverNameProblem::ReservedDeviceName},
      {L"nul", SaverNameProblem::ReservedDeviceName},
      {L"Com1", SaverNameProblem::ReservedDeviceName},
      {L"LPT9", SaverNameProblem::ReservedDeviceName},
      {L"aux", SaverNameProblem::ReservedDeviceName},
      {L"com\u00B9", SaverNameProblem::ReservedDeviceName},
      {L"LPT\u00B3", SaverNameProblem::ReservedDeviceName},
      {L"COM0", SaverNameProblem::ReservedDeviceName},
      {L"conin$", SaverNameProblem::ReservedDeviceName},
      {L"CONOUT$", SaverNameProblem::ReservedDeviceName},
      {L"LPT\u00B4", SaverNameProblem::Valid},
  };
  for (const Case& c : cases) {
    const SaverNameProblem got = CheckSaverName(c.name);
    EXPECT_EQ(got, c.problem) << static_cast<int>(got);
    EXPECT_EQ(SaverNameMessage(got).empty(),
              c.problem == SaverNameProblem::Valid || c.problem == SaverNameProblem::Empty);
  }
  EXPECT_EQ(CheckSaverName(std::wstring(200, L'a')), SaverNameProblem::Valid);
  EXPECT_EQ(CheckSaverName(std::wstring(201, L'a')), SaverNameProblem::TooLong);
  // As the header stores it: 200 bytes in the system code page at most.
  const struct {
    std::wstring name;
    std::string ansi;
    SaverNameProblem problem;
  } stored[] = {
      {std::wstring(100, L'海'), std::string(200, '\xAE'), SaverNameProblem::Valid},
      {std::wstring(101, L'海'), std::string(202, '\xAE'), SaverNameProblem::TooLong},
      {L"海.", "\xAE\xFC.", SaverNameProblem::Dot},
      {L"", "", SaverNameProblem::Empty},
  };
  for (const auto& c : stored) EXPECT_EQ(CheckSaverName(c.name, c.ansi), c.problem) << c.ansi.size();
}

TEST(SaverFilesTest, NamesCompareIgnoringCaseButDoubleByteCharactersExactly) {
  EXPECT_TRUE(SameFileName("Ocean", "OCEAN"));
  EXPECT_FALSE(SameFileName("Ocean", "Oceans"));
  EXPECT_FALSE(SameFileName("\xA4" "A", "\xA4" "a"));  // two different Big5 characters
  EXPECT_TRUE(SameFileName("\xA4" "Ax", "\xA4" "AX"));
}

}  // namespace
}  // namespace velmora
