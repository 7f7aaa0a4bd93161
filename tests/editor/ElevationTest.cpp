#include "editor/Elevation.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

// The editor always offers the elevated step; a saver only from the system
// directory, never from a copy the user could have changed.
TEST(ElevationTest, OfferedByTheEditorAndBySaversInTheSystemDirectoryOnly) {
  const struct {
    bool editor;
    const char* exeDirectory;
    bool offered;
  } cases[] = {
      {true, "C:\\Tools\\", true},
      {true, "", true},
      {false, "C:\\Windows\\System32\\", true},
      {false, "c:\\windows\\system32\\", true},
      {false, "C:\\Windows\\System32", true},
      {false, "C:\\Users\\amy\\Desktop\\", false},
      {false, "C:\\Windows\\System32\\x\\", false},
      {false, "", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(OffersElevation(c.editor, c.exeDirectory, "C:\\Windows\\System32"), c.offered)
        << c.editor << " " << c.exeDirectory;
}

}  // namespace
}  // namespace velmora
