#include "analyses/performance_expression.h"

#include <algorithm>
#include <complex>

#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "ui/window_record.h"
#include "core/expr_symbols.h"
#include "core/message_reporter.h"
#include "results/curve_record.h"
#include "plots/plot_setup.h"
#include "results/waveform_store.h"

namespace kq5 {

namespace {

constexpr int kMsgCantFindExpression = 13781;
// Items a condition may be made of: numbers and digital states.
constexpr std::uint32_t kConditionKinds = 0x840;

bool SameInstruction(const ExpressionInstruction& a, const ExpressionInstruction& b)
{
    return a.opcode == b.opcode && a.pushFlag == b.pushFlag && a.value == b.value && a.realAddress == b.realAddress &&
           a.floatAddress == b.floatAddress && a.complexAddress == b.complexAddress &&
           a.stateAddress == b.stateAddress && a.index == b.index && a.subExpression == b.subExpression;
}

std::vector<ExpressionInstruction*> Instructions(const CompiledExpression& e)
{
    std::vector<ExpressionInstruction*> list;
    for (ListNode* n = e.instructions.head; n; n = n->next) list.push_back(static_cast<ExpressionInstruction*>(n));
    return list;
}

// Replaces every run of the condition's instructions that equals `pattern` by one read of
// `cell`; the number of runs replaced.
int ReplaceRuns(CompiledExpression& condition, const CompiledExpression& pattern, const double* cell)
{
    const std::vector<ExpressionInstruction*> want = Instructions(pattern);
    if (want.empty()) return 0;
    int replaced = 0;
    ListNode* before = nullptr;
    ListNode* at = condition.instructions.head;
    while (at) {
        ListNode* probe = at;
        std::size_t matched = 0;
        while (probe && matched < want.size() &&
               SameInstruction(*static_cast<ExpressionInstruction*>(probe), *want[matched])) {
            probe = probe->next;
            ++matched;
        }
        if (matched < want.size()) {
            before = at;
            at = at->next;
            continue;
        }
        auto* read = new ExpressionInstruction();
        read->kind = at->kind;
        read->opcode = kOpReadDouble;
        read->pushFlag = 1;
        read->realAddress = cell;
        for (std::size_t i = 0; i < matched; ++i) at = ListRemove(condition.instructions, at);
        ListLinkAfter(condition.instructions, before, read);
        before = read;
        at = read->next;
        ++replaced;
    }
    return replaced;
}

}  // namespace

PerformanceCondition::~PerformanceCondition() { FreeCompiledExpression(expression_); }

int PerformanceCondition::Compile(const std::string& text, PlotRecord& plot, int analysisKind, WindowRecord* reportWindow)
{
    compiled_ = false;
    condition_ = nullptr;
    bindings_.clear();
    FreeCompiledExpression(expression_);
    std::string normal = text;
    FoldRepeatedSigns(normal);
    const std::uint32_t context = analysisKind == kAnalysisAc   ? kContextAc
                                  : analysisKind == kAnalysisDc ? kContextDc
                                                                : kContextTransient;
    ExpressionRequest request;
    InitExpressionRecord(normal, &expression_, context, kConditionKinds, request);
    request.window = reportWindow;
    if (int rc = CompileExpression(request)) return rc == kMsgInsufficientMemory ? rc : kMsgAlreadyReported;

    // Longer expressions first, so that a curve whose expression contains another's is bound
    // whole.
    std::vector<std::pair<const CurveRecord*, int>> order;
    for (int i = 0; i < plot.curveCount && i < static_cast<int>(plot.curves.size()); ++i)
        for (int axis : {kWaveformY, kWaveformX}) order.emplace_back(plot.curves[static_cast<std::size_t>(i)].get(), axis);
    auto length = [](const std::pair<const CurveRecord*, int>& p) {
        return (p.second == kWaveformX ? p.first->xExpression : p.first->yExpression).instructions.count;
    };
    std::stable_sort(order.begin(), order.end(), [&](const auto& a, const auto& b) { return length(a) > length(b); });
    for (const auto& [curve, axis] : order) {
        Binding binding{curve, axis, std::make_unique<double>(0.0)};
        const CompiledExpression& pattern = axis == kWaveformX ? curve->xExpression : curve->yExpression;
        if (ReplaceRuns(expression_, pattern, binding.cell.get()) > 0) bindings_.push_back(std::move(binding));
    }
    // What is left must not read the simulator: only the bound cells and constants.
    for (const ExpressionInstruction* ins : Instructions(expression_)) {
        const bool bound = std::any_of(bindings_.begin(), bindings_.end(),
                                       [&](const Binding& b) { return ins->realAddress == b.cell.get(); });
        if ((ins->realAddress && !bound) || ins->floatAddress || ins->complexAddress || ins->stateAddress) {
            ReportMessage("WE", reportWindow, kMsgCantFindExpression, normal.c_str());
            FreeCompiledExpression(expression_);
            bindings_.clear();
            return kMsgAlreadyReported;
        }
    }
    condition_ = [this](std::int32_t point, double& value) {
        for (Binding& b : bindings_)
            if (b.curve->plotStore)
                *b.cell = ReadCurvePointValue(*b.curve->plotStore, *b.curve, point, b.axis);
        std::complex<double> result;
        const int rc = EvaluateExpression(expression_, result);
        value = result.real();
        return rc;
    };
    compiled_ = true;
    return 0;
}

PerformanceFunctionHandler MakePerformanceFunctionHandler(WindowRecord* analysisWindow, int run)
{
    return [analysisWindow, run](const CompiledExpression& curveExpression, int function,
                                 std::span<const double> arguments, double& value) {
        WindowRecord* window = analysisWindow ? analysisWindow : RunControl().analysisWindow;
        if (!window || !window->plot) return kMsgAlreadyReported;
        PlotRecord& plot = *window->plot;
        const CurveRecord* curve = nullptr;
        for (int i = 0; i < plot.curveCount && i < static_cast<int>(plot.curves.size()) && !curve; ++i)
            if (SameCompiledExpression(plot.curves[static_cast<std::size_t>(i)]->yExpression, curveExpression))
                curve = plot.curves[static_cast<std::size_t>(i)].get();
        if (!curve) return kMsgAlreadyReported;
        // The expression form's condition is a number: zero lets no point count.
        const double condition = arguments.empty() ? 1.0 : arguments[0];
        const PointCondition never = [](std::int32_t, double& v) {
            v = 0.0;
            return 0;
        };
        PerformanceContext context;
        context.store = &plot.store;
        context.curve = curve;
        context.run = run;
        context.condition = condition == 0.0 ? &never : nullptr;
        std::array<double, 3> args{1.0, 1.0, 2.0};
        for (std::size_t i = 1; i < arguments.size() && i <= args.size(); ++i) args[i - 1] = arguments[i];
        const int status = EvaluatePerformanceFunction(context, function, args[0], args[1], args[2]);
        value = status == 0 ? context.measurement.value : 0.0;
        return status;
    };
}

}  // namespace kq5
