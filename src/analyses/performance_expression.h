#pragma once
// Expressions measured on stored waveforms: the Boolean condition of a performance function,
// whose operands are the curves of the analysis window, and the performance functions that an
// expression calls by name.
#include <memory>
#include <string>
#include <vector>

#include "analyses/performance_functions.h"
#include "core/expr_compiler.h"
#include "core/expr_evaluator.h"

namespace kq5 {

struct PlotRecord;
struct WindowRecord;

// A condition compiled and bound to the curves of an analysis plot: every part of it that
// equals a curve's X or Y expression reads that curve's stored value at the point measured.
class PerformanceCondition {
public:
    PerformanceCondition() = default;
    ~PerformanceCondition();
    PerformanceCondition(const PerformanceCondition&) = delete;
    PerformanceCondition& operator=(const PerformanceCondition&) = delete;

    // Compiles the text for the analysis kind and binds it to the plot's curves. 0; or, after
    // reporting it against the window, 15055: a compile error, or 13781 "Can't find expression"
    // when it still reads a live quantity of the simulator.
    int Compile(const std::string& text, PlotRecord& analysisPlot, int analysisKind, WindowRecord* reportWindow);
    // The condition at a point of the plot's store, for a PerformanceContext.
    const PointCondition& Condition() const { return condition_; }
    bool Compiled() const { return compiled_; }

private:
    struct Binding {
        const CurveRecord* curve = nullptr;
        int axis = 0;
        std::unique_ptr<double> cell;
    };
    CompiledExpression expression_;
    std::vector<Binding> bindings_;
    PointCondition condition_;
    bool compiled_ = false;
};

// What expressions that call performance functions measure: the analysis window's stored
// curve whose Y expression equals the function's curve argument, on one run. Null window: the
// current analysis window.
PerformanceFunctionHandler MakePerformanceFunctionHandler(WindowRecord* analysisWindow, int run);

}  // namespace kq5
