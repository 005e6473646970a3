#include "core/digital_logic_tables.h"

#include <cstring>

namespace kq5 {

namespace {

constexpr std::uint16_t O = kState0, R = kStateR, F = kStateF, I = kState1, X = kStateX;

// Rows: left operand, columns: right operand, over 0 R F 1 X Z ? and one spare index.
constexpr DigitalLogicTables kTables = {
    {I, F, R, O, X, X, X},
    {{
        {O, O, O, O, O, X, X, X},
        {O, R, R, R, X, X, X, X},
        {O, R, F, F, X, X, X, X},
        {O, R, F, I, X, X, X, X},
        {O, X, X, X, X, X, X, X},
        {X, X, X, X, X, X, X, X},
        {X, X, X, X, X, X, X, X},
        {X, X, X, X, X, X, X, X},
    }},
    // XOR with 0 passes the other operand and XOR with 1 inverts it, edges included: a
    // rising input XOR 1 falls.
    {{
        {O, R, F, I, X, X, X, X},
        {R, X, R, F, X, X, X, X},
        {F, R, X, R, X, X, X, X},
        {I, F, R, O, X, X, X, X},
        {X, X, X, X, X, X, X, X},
        {X, X, X, X, X, X, X, X},
        {X, X, X, X, X, X, X, X},
        {X, X, X, X, X, X, X, X},
    }},
    {{
        {O, R, F, I, X, X, X, X},
        {R, R, F, I, X, X, X, X},
        {F, F, F, I, X, X, X, X},
        {I, I, I, I, I, X, X, X},
        {X, X, X, I, X, X, X, X},
        {X, X, X, X, X, X, X, X},
        {X, X, X, X, X, X, X, X},
        {X, X, X, X, X, X, X, X},
    }},
};

static_assert(kTables.inversion[0] == kInversionTable[0] && kTables.inversion[1] == kInversionTable[1] &&
              kTables.inversion[2] == kInversionTable[2] && kTables.inversion[3] == kInversionTable[3] &&
              kTables.inversion[4] == kInversionTable[4] && kTables.inversion[5] == kInversionTable[5] &&
              kTables.inversion[6] == kInversionTable[6]);

int Clip(int index)
{
    return index >= 0 && index < 8 ? index : kStateX;
}

}  // namespace

const DigitalLogicTables& LogicTables()
{
    return kTables;
}

char DigitalStateChar(std::uint16_t state)
{
    return kDigitalStateLetters[DigitalStateIndexOf(state)];
}

int DigitalStateIndex(char c)
{
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c == 0) return -1;
    const char* letters = "0RF1XZ?";
    const char* at = std::strchr(letters, c);
    return at ? static_cast<int>(at - letters) : -1;
}

int DigitalStateIndexOf(std::uint16_t state)
{
    if ((state & kStrengthMask) == 0) return kStateZ;
    int index = state & kStateIndexMask;
    return index > kStateUnknown ? static_cast<int>(kStateUnknown) : index;
}

int LogicAnd(int a, int b)
{
    return kTables.andTable[Clip(a)][Clip(b)];
}

int LogicOr(int a, int b)
{
    return kTables.orTable[Clip(a)][Clip(b)];
}

int LogicXor(int a, int b)
{
    return kTables.xorTable[Clip(a)][Clip(b)];
}

}  // namespace kq5
