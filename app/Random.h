// The process's pseudo-random generator: one 32-bit seed.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace velmora {

std::uint32_t RandSeed();
void SetRandSeed(std::uint32_t seed);

// seed := seed * 134775813 + 1 (mod 2^32), then the upper 32 bits of the
// 64-bit product seed * n: a value in 0 .. n-1. The seed advances on every
// call; n = 0 (or a negative n) gives 0.
std::int32_t Random(std::int32_t n);

// Milliseconds since midnight UTC: ((hour*60+minute)*60+second)*1000+ms.
using UtcTimeOfDayClock = std::function<std::uint32_t()>;

// Seeds from the clock: seed := the clock's milliseconds since midnight UTC,
// or the fixed seed when one is set.
void Randomize();

// Replaces the clock Randomize reads (tests, tools); an empty function
// restores the system clock.
void SetRandomizeClock(UtcTimeOfDayClock clock);
// The system clock's milliseconds since midnight UTC.
std::uint32_t SystemUtcTimeOfDayMs();

// With a value, every later Randomize sets exactly that seed (tools'
// --seed option); std::nullopt returns to seeding from the clock.
void SetFixedRandomizeSeed(std::optional<std::uint32_t> seed);

}  // namespace velmora
