// Date-times as days (with fraction) since 1899-12-30 00:00, local time.
#pragma once

#include <cstdint>
#include <functional>

namespace velmora {

using TDateTime = double;

// Days between 1899-12-30 and 1970-01-01.
inline constexpr double UnixEpochDays = 25569.0;
inline constexpr double SecondsPerDay = 86400.0;

constexpr double SecondsToDays(double seconds) { return seconds / SecondsPerDay; }

// The current local date-time, from the installed clock.
TDateTime Now();

// The system's local date-time, whatever clock is installed.
TDateTime SystemNow();

// Replaces the clock Now() reads (tests, tools); an empty function restores
// the system clock.
using DateTimeClock = std::function<TDateTime()>;
void SetNowClock(DateTimeClock clock);

// A date-time from a calendar date and time of day.
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int millisecond);

}  // namespace velmora
