#include "core/random15.h"

#include <cstdlib>
#include <string>

#include "platform/system.h"

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
    if (end == text) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

void EnsureSeeded()
{
    Random15State& s = State();
    if (s.seeded) return;
    const std::optional<std::uint32_t> fixed = FixedRandom15Seed();
    SeedRandom15(fixed ? *fixed : static_cast<std::uint32_t>(win::GetTickCount()));
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
