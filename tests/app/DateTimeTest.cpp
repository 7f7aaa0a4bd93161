#include "app/DateTime.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velmora {
namespace {

TEST(DateTimeTest, EncodesDaysSince18991230) {
  EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 30, 0, 0, 0, 0), 0.0);
  EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 31, 0, 0, 0, 0), 1.0);
  EXPECT_DOUBLE_EQ(EncodeDateTime(1900, 1, 1, 0, 0, 0, 0), 2.0);
  EXPECT_DOUBLE_EQ(EncodeDateTime(1970, 1, 1, 0, 0, 0, 0), UnixEpochDays);
  EXPECT_DOUBLE_EQ(EncodeDateTime(2000, 1, 1, 12, 0, 0, 0), 36526.5);
  EXPECT_DOUBLE_EQ(EncodeDateTime(2000, 3, 1, 6, 0, 0, 0), 36586.25);  // past 29 Feb
}

TEST(DateTimeTest, SecondsBecomeFractionsOfADay) {
  EXPECT_DOUBLE_EQ(SecondsToDays(86400), 1.0);
  EXPECT_DOUBLE_EQ(SecondsToDays(3), 3.0 / 86400.0);
  EXPECT_DOUBLE_EQ(SecondsToDays(0), 0.0);
}

TEST(DateTimeTest, NowReadsTheInstalledClock) {
  double fake = 40000.25;
  SetNowClock([&fake] { return fake; });
  EXPECT_DOUBLE_EQ(Now(), 40000.25);
  fake += SecondsToDays(3);
  EXPECT_DOUBLE_EQ(Now(), 40000.25 + 3.0 / 86400.0);
  SetNowClock({});
  // The system clock: some day after 2020 and within a day of SystemNow().
  const double now = Now();
  EXPECT_GT(now, EncodeDateTime(2020, 1, 1, 0, 0, 0, 0));
  EXPECT_LT(std::fabs(now - SystemNow()), 1.0);
}

}  // namespace
}  // namespace velmora
