#pragma once
// Analysis-window sections of the sectioned circuit file: [Monte Carlo], [Graph 3D] and
// [Performance] (one per window derived from the circuit), [Performance WaveForm] (one per
// function of a performance window) and [AObject] (one per plot object, after the section of the
// plot that owns it). Also the function keys the three window kinds share.
#include <string_view>

#include "document/section_stream.h"

namespace kq5 {

struct FunctionRecord;

// Writing: every window of every analysis kind. Reading: one window.
int TransferMonteCarloSections(SectionStream& stream);
int TransferGraph3DSections(SectionStream& stream);
int TransferPerformanceSections(SectionStream& stream);
// Writing: every function of the current performance window. Reading: one function into it.
int TransferPerformanceWaveFormSections(SectionStream& stream);
// Writing: every object of the current plot. Reading: one object into it.
int TransferAObjectSections(SectionStream& stream);

// The function keys of a function record; the owner window kind (6 Monte Carlo, 8 3-D, 19
// performance) decides which keys appear.
int WriteFunctionKeys(int unit, const FunctionRecord& function, int ownerKind);
// Stores one function key (compared case-blind, whatever the owner) and returns 1, or returns 0
// for a key it does not know.
int ReadFunctionKey(std::string_view key, std::string_view value, FunctionRecord& function);

}  // namespace kq5
