#pragma once
// The random numbers of Monte Carlo runs: a private generator of 15-bit numbers (0 to 32767),
// independent of the C library's rand() so that neither its width nor other users of it change
// the runs. It is seeded once on first use from the system's entropy and the wall clock, so two
// starts of the program draw different cases; a fixed seed (the environment variable
// KQ5_MC_SEED, or FixRandom15Seed in tests) makes every Monte Carlo analysis draw the same
// numbers again, so its runs repeat exactly.
#include <cstdint>
#include <optional>

namespace kq5 {

inline constexpr int kRandom15Max = 32767;

// The next number, 0 to 32767.
int Random15();
// The next number as a fraction 0 to 1 (both ends included).
double Random15Unit();

// Restarts the sequence from a seed.
void SeedRandom15(std::uint32_t seed);

// A fixed seed replaces the start-up seed; nullopt goes back to it (and to KQ5_MC_SEED when
// that is set). The sequence restarts from the fixed seed at once.
void FixRandom15Seed(std::optional<std::uint32_t> seed);

// Called at the start of each analysis: with a fixed seed the sequence starts again from it.
void RestartFixedRandom15();

// The fixed seed in force, from FixRandom15Seed or else KQ5_MC_SEED; none when neither.
std::optional<std::uint32_t> FixedRandom15Seed();

}  // namespace kq5
