#include "app/Random.h"

#include <chrono>

namespace velmora {

namespace {

std::uint32_t seed = 0;
UtcTimeOfDayClock clock;
std::optional<std::uint32_t> fixedSeed;

}  // namespace

std::uint32_t RandSeed() { return seed; }
void SetRandSeed(std::uint32_t value) { seed = value; }

std::int32_t Random(std::int32_t n) {
  seed = seed * 134775813u + 1u;  // unsigned: wraps modulo 2^32
  if (n <= 0) return 0;
  const std::uint64_t product = static_cast<std::uint64_t>(seed) * static_cast<std::uint32_t>(n);
  return static_cast<std::int32_t>(product >> 32);
}

std::uint32_t SystemUtcTimeOfDayMs() {
  using namespace std::chrono;
  // UTC days are whole multiples of 86,400 s on the system clock, so the
  // remainder is ((hour*60+minute)*60+second)*1000+millisecond.
  const auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  constexpr long long kMsPerDay = 86'400'000;
  long long ofDay = ms % kMsPerDay;
  if (ofDay < 0) ofDay += kMsPerDay;
  return static_cast<std::uint32_t>(ofDay);
}

void Randomize() {
  if (fixedSeed) {
    seed = *fixedSeed;
    return;
  }
  seed = clock ? clock() : SystemUtcTimeOfDayMs();
}

void SetRandomizeClock(UtcTimeOfDayClock newClock) { clock = std::move(newClock); }

void SetFixedRandomizeSeed(std::optional<std::uint32_t> value) { fixedSeed = value; }

}  // namespace velmora
