#pragma once
// The digital node state word and the multi-valued logic of the simulator's states
// 0, R, F, 1, X, Z (and ? for an unknown code).
#include <array>
#include <cstdint>

namespace kq5 {

// DigitalStateCode: bits 0-2 index "0RF1XZ?", bits 3-8 the strength (0 reads as Z).
inline constexpr std::uint16_t kStateIndexMask = 0x7;
inline constexpr std::uint16_t kStrengthMask = 0x1F8;
inline constexpr std::uint16_t kFullStrength = 0x1F8;
inline constexpr char kDigitalStateLetters[] = "0RF1XZ?";

enum DigitalStateIndex : std::uint8_t {
    kState0 = 0,
    kStateR = 1,
    kStateF = 2,
    kState1 = 3,
    kStateX = 4,
    kStateZ = 5,
    kStateUnknown = 6,
};

// The inversion table (7 entries) and the two-input AND, XOR and OR tables (8 by 8) over
// state indices; indices 6 and 7 read as X.
struct DigitalLogicTables {
    std::array<std::uint16_t, 7> inversion;
    std::array<std::array<std::uint16_t, 8>, 8> andTable;
    std::array<std::array<std::uint16_t, 8>, 8> xorTable;
    std::array<std::array<std::uint16_t, 8>, 8> orTable;
};

const DigitalLogicTables& LogicTables();

// The letter of a state code from "0RF1XZ?"; "Z" when the strength bits are 0.
char DigitalStateChar(std::uint16_t state);
// The state index a code reads as: Z when its strength is 0.
int DigitalStateIndexOf(std::uint16_t state);
// The index of a state character in "0RF1XZ?" (case-blind), -1 when absent.
int DigitalStateIndex(char c);
// The level a state index settles to: R gives 1, F gives 0, others unchanged. Inline, as the
// inversion below: every evaluated gate asks.
inline int SettledLevel(int stateIndex)
{
    if (stateIndex == kStateR) return kState1;
    if (stateIndex == kStateF) return kState0;
    return stateIndex;
}

// Table operations on state indices (any index above 7 reads as X).
inline constexpr std::array<std::uint8_t, 7> kInversionTable = {kState1, kStateF, kStateR, kState0,
                                                                 kStateX, kStateX, kStateX};
inline int LogicInvert(int a)
{
    return a >= 0 && a < 7 ? static_cast<int>(kInversionTable[static_cast<std::size_t>(a)]) : static_cast<int>(kStateX);
}
int LogicAnd(int a, int b);
int LogicOr(int a, int b);
int LogicXor(int a, int b);

}  // namespace kq5
