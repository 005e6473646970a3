#pragma once
// Digital expression programs: the logic, condition and delay expressions of digital
// primitives, compiled with the primitive's pin names as outside names and turned into a
// compact array of integer codes that the digital simulator runs many times per event.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "core/expr_compiler.h"
#include "core/digital_node_states.h"

namespace kq5 {

// Kind masks of the three sorts of program.
inline constexpr std::uint32_t kDigitalLogicKinds = 0x4B;
inline constexpr std::uint32_t kDigitalDelayKinds = 0x80;
inline constexpr std::uint32_t kDigitalConditionKinds = 0x69;

// Programs of this kind read a state without strength as Z.
inline constexpr int kDigitalProgramKindStrength = 7;

struct DigitalCode {
    std::uint16_t code = 0;
    std::int32_t operand = 0;  // state index, pin index, integer constant or resolved delay
    double value = 0.0;        // a constant or delay number as written, until resolved
};

// One code per instruction of the compiled expression. Constants become code 130, rounded
// to an integer except in delay programs (kind mask 0x80), which keep the double until
// ResolveDelayConstants. 0, or 15002 when memory runs out.
int ConvertToDigitalCode(std::vector<DigitalCode>& destination, int& count, const CompiledExpression& expression,
                         std::uint32_t kindMask);

// Once the digital time unit is known: every run of three delay numbers becomes three
// integer times, every integer constant is rounded.
void ResolveDelayConstants(std::vector<DigitalCode>& program);

// Completes a min, typ, max triple (a negative entry is not given) with the DIGMNTYSCALE and
// DIGTYMXSCALE factors and converts it to time units.
struct DelayTriple {
    std::int32_t min = 0;
    std::int32_t typ = 0;
    std::int32_t max = 0;
};
DelayTriple ResolveMinTypMaxDelay(double min, double typ, double max);
// The same completion, left in seconds.
struct DelaySeconds {
    double min = 0.0;
    double typ = 0.0;
    double max = 0.0;
};
DelaySeconds CompleteMinTypMax(double min, double typ, double max);

struct DigitalProgramContext {
    int programKind = 0;
    std::span<const DigitalCode> codes;
    const DigitalPrimitiveInstance* instance = nullptr;  // pin states and change records
};

// The result of a program: a state (word 0) or a delay triple (three words).
struct DigitalResult {
    std::array<std::int32_t, 3> words{};
};

// Runs a program for the transition from the old to the new state (state codes). 0 with
// the result written, or 15055 for a code it cannot run (nothing written then).
int EvalDigitalExpression(const DigitalProgramContext& context, std::uint16_t oldState, std::uint16_t newState,
                          DigitalResult& result);

// A condition: the program with both transition states X; the low byte of the result.
int EvalDigitalCondition(const DigitalProgramContext& context, std::uint8_t& resultState);

// The fast evaluation of a logic program over the multi-valued logic tables: literals and
// constants push, pins push their current state index; the state index on top at the end.
int EvalDigitalLogic(std::span<const DigitalCode> program, std::span<const std::uint16_t> pinStates);

}  // namespace kq5
