#pragma once
// The state cells that the compiler inserts after the arguments of the functions that keep
// values from one analysis point to the next, and how many each takes.
#include "core/expr_symbols.h"

namespace kq5 {

inline constexpr int kPhaseCells = 2;    // PH, GD: phase, previous phase
inline constexpr int kDelCells = 2;      // DEL: value, previous value
inline constexpr int kMeanCells = 3;     // AVG, RMS: value, previous value, previous x
inline constexpr int kRunningCells = 6;  // SUM, SDT, DDT: y, x, value and their previous copies

// The number of state cells of a function's opcode; 0 for a function without state.
inline int StateCellCount(int opcode)
{
    switch (opcode) {
    case kOpPh:
    case kOpGd:
    case kOpSpectralPh: return kPhaseCells;
    case kOpDel:
    case kOpSpectralDel: return kDelCells;
    case kOpAvg:
    case kOpRms:
    case kOpSpectralAvg:
    case kOpSpectralRms: return kMeanCells;
    case kOpSum:
    case kOpSpectralSum:
    case kOpSdt:
    case kOpDdt: return kRunningCells;
    default: return 0;
    }
}

}  // namespace kq5
