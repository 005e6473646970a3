#pragma once
// The expression evaluator: a stack machine over the postfix instructions of a compiled
// expression. Operands push, operators and functions pop their arguments and push their
// result. Values are complex (most expressions leave the imaginary part 0). The simulator's
// current values are read directly through the addresses bound at compile time, so an
// evaluation does no lookup and no allocation.
#include <complex>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "core/expr_compiler.h"

namespace kq5 {


// Evaluation options.
inline constexpr std::uint32_t kEvalPhaseContinuation = 0x1;  // PH continues across +-180 degrees

// Evaluates performance function `functionIndex` (0..15) on the stored curve of a compiled
// curve expression with the remaining arguments; 0 with the value, or a message id.
using PerformanceFunctionHandler = std::function<int(const CompiledExpression& curve, int functionIndex,
                                                     std::span<const double> arguments, double& value)>;

struct EvaluationInputs {
    std::uint32_t options = 0;
    // Values the caller supplies for outside names (opcodes 132 and 133), by name index.
    std::span<const std::complex<double>> outsideValues;
    // The performance window's measurement of stored curves; without one a performance
    // function cannot be evaluated (the evaluation fails with code 1).
    const PerformanceFunctionHandler* performance = nullptr;
};

// 0 with the result, or an error code (1: an instruction that cannot be executed here;
// 15060: a math error, its text pending; 15002: no memory for the stack). A failed
// evaluation gives the result 1.0.
int EvaluateExpression(CompiledExpression& expression, std::complex<double>& result,
                       std::uint32_t options = 0);
int EvaluateExpression(CompiledExpression& expression, std::complex<double>& result,
                       const EvaluationInputs& inputs);

// The x axis of the analysis: start and current value (time in transient, frequency in AC,
// the sweep value in DC).
struct AxisRecord {
    double start = 0.0;
    double current = 0.0;
};
AxisRecord CurrentAxis();

// At run start initialises the state cells of every expression with state (PH, GD and DEL
// cells to 1.0, SUM from its arguments with the sum 0, AVG and RMS from the current x); at
// later points copies each current cell into its previous cell (for the curves of a plot see
// analog/expr_run_services.h).
void UpdateExpressionStates(CompiledExpression& expression, bool runStart, std::uint32_t options = 0);

// Before a transient run: the switching time of every STP and the start, peak and end of
// every IMPULSE in the expressions given, then in the devices' expressions, become time
// breakpoints. 0, or the failure of the breakpoint insertion that ended the scan.
int AddExpressionStepBreakpoints(std::span<CompiledExpression* const> expressions);

// Clears the stored history values of the device records at the start of a run.
void ResetDeviceHistory();

// RND draws a new number unless a caller has fixed it (formula sources fix one draw for all
// evaluations of one source).
void FixRandomValue(int value);
void ReleaseRandomValue();

// At program end: frees the value stack.
void FreeEvaluationStack();

}  // namespace kq5
