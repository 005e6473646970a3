#include "analog/expr_run_services.h"

#include <vector>

#include "core/analysis_state.h"
#include "core/expr_evaluator.h"
#include "core/expr_math_errors.h"
#include "document/circuit_document.h"
#include "results/curve_record.h"
#include "ui/window_record.h"

namespace kq5 {

void UpdateExpressionStates(PlotRecord& plot, bool runStart)
{
    const std::uint32_t options = plot.phaseContinuation ? kEvalPhaseContinuation : 0;
    for (auto& curve : plot.curves) {
        if (!(curve->flags & kCurveHasState)) continue;
        UpdateExpressionStates(curve->xExpression, runStart, options);
        UpdateExpressionStates(curve->yExpression, runStart, options);
    }
    // GD measures against the frequency of the point whose phase the cells now hold.
    AnalysisVariables& v = Analysis().variables;
    v.previousFrequency = v.frequency;
}

int AddStepBreakpoints(PlotRecord* plot)
{
    std::vector<CompiledExpression*> expressions;
    if (plot) {
        for (auto& curve : plot->curves) {
            expressions.push_back(&curve->xExpression);
            expressions.push_back(&curve->yExpression);
        }
    }
    return AddExpressionStepBreakpoints(expressions);
}

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
