// The expression services that the run loops call with an analysis window: they work on the
// window's plot.
#include "ui/window_record.h"
#include "core/expr_evaluator.h"
#include "core/expr_math_errors.h"
#include "document/circuit_document.h"
#include "results/curve_record.h"

namespace kq5 {

void UpdateExpressionStates(WindowRecord* window, bool runStart)
{
    if (window && window->plot) UpdateExpressionStates(*window->plot, runStart);
}

int AddStepBreakpoints(WindowRecord* window)
{
    return AddStepBreakpoints(window ? window->plot.get() : nullptr);
}

int ReportDifferenceErrors(WindowRecord* window)
{
    if (!window || !window->plot) return 0;
    const std::string name = window->document ? window->document->name : GetRecordTitle(window);
    return ReportDifferenceErrors(*window->plot, name);
}

}  // namespace kq5
