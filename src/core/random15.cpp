#include "core/random15.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <random>
#include <string>

namespace kq5 {

namespace {

struct Random15State {
    std::uint32_t state = 0;
    bool seeded = false;
    std::optional<std::uint32_t> testSeed;
};

Random15State& State()
{
    static Random15State s;
    return s;
}

std::optional<std::uint32_t> EnvironmentSeed()
{
    const char* text = std::getenv("KQ5_MC_SEED");
    if (!text || !*text) return std::nullopt;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 0);
    if (end == text) {
        // The user asked for repeatable runs and would not get them: say so, once.
        static bool told = false;
        if (!told) std::fprintf(stderr, "kq5: KQ5_MC_SEED=%s is not a number; Monte Carlo runs are not repeated\n", text);
        told = true;
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

void EnsureSeeded()
{
    Random15State& s = State();
    if (s.seeded) return;
    const std::optional<std::uint32_t> fixed = FixedRandom15Seed();
    if (fixed) {
        SeedRandom15(*fixed);
        return;
    }
    // Not the program's tick count: a batch run counts its ticks from zero on a clock of its own,
    // so every run of the program would draw the same cases. The system's entropy and the wall
    // clock differ from one start to the next.
    std::uint32_t seed = static_cast<std::uint32_t>(
        std::chrono::system_clock::now().time_since_epoch().count());
    try {
        seed ^= std::random_device{}();
    } catch (const std::exception&) {
        // No entropy source: the wall clock alone.
    }
    SeedRandom15(seed);
}

}  // namespace

int Random15()
{
    EnsureSeeded();
    // A linear congruential step; the high bits are the better ones.
    Random15State& s = State();
    s.state = s.state * 214013u + 2531011u;
    return static_cast<int>((s.state >> 16) & 0x7FFFu);
}

double Random15Unit() { return Random15() / static_cast<double>(kRandom15Max); }

void SeedRandom15(std::uint32_t seed)
{
    State().state = seed;
    State().seeded = true;
}

void FixRandom15Seed(std::optional<std::uint32_t> seed)
{
    State().testSeed = seed;
    State().seeded = false;
    if (seed) SeedRandom15(*seed);
}

void RestartFixedRandom15()
{
    if (const std::optional<std::uint32_t> fixed = FixedRandom15Seed()) SeedRandom15(*fixed);
}

std::optional<std::uint32_t> FixedRandom15Seed()
{
    if (State().testSeed) return State().testSeed;
    return EnvironmentSeed();
}

}  // namespace kq5
