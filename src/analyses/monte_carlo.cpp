#include "analyses/monte_carlo.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <new>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/batch_run.h"
#include "analog/run_control.h"
#include "analog/model_layers.h"
#include "analyses/monte_carlo_models.h"
#include "analyses/performance_expression.h"
#include "results/run_state.h"
#include "ui/color_table.h"
#include "ui/usage_file.h"
#include "ui/window_record.h"
#include "core/engineering_numbers.h"
#include "core/expr_compiler.h"
#include "core/expr_evaluator.h"
#include "core/expr_symbols.h"
#include "core/file_units.h"
#include "core/message_reporter.h"
#include "core/device_record_fields.h"
#include "document/circuit_document.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "plots/plot_setup.h"
#include "platform/message.h"
#include "core/random15.h"

namespace kq5 {

namespace {

constexpr int kCommandMonteCarloOptions = 17158;
constexpr int kUsageMonteCarlo = 13403;
// Operand kinds Report When may use (curves and analysis values), as the plots bind them.
constexpr std::uint32_t kReportWhenKinds = 0x840;
constexpr int kMsgCantFindExpression = 13781;

struct MonteCarloState {
    std::vector<double> population;  // kGaussianPopulationSize entries once built
    int populationCount = 0;
    std::array<double, kMonteCarloGroupCount> groupRandom{};
    CompiledExpression reportWhen;
    std::string reportWhenText;
    bool steppingWarned = false;  // 15004 is shown once per analysis
    bool failedSetup = false;     // Report When did not compile: the runs wait for a mended text
};

MonteCarloState& State()
{
    static MonteCarloState s;
    return s;
}

std::uint32_t CurrentOptionsWord()
{
    const CircuitDocument* document = MonteCarloDocument();
    const int kind = Analysis().analysisKind;
    if (!document || kind < 0 || kind >= kAnalysisKindCount) return 0;
    return document->monteCarlo[static_cast<std::size_t>(kind)].options;
}

bool StatusOn() { return (CurrentOptionsWord() & kMonteCarloOn) != 0; }

// Whether every performance function of the expression measures a curve that the window plots.
bool MeasuresPlottedCurves(const CompiledExpression& expression, const WindowRecord* window)
{
    if (expression.subExpressions.empty()) return true;
    if (!window || !window->plot) return false;
    const PlotRecord& plot = *window->plot;
    return std::all_of(expression.subExpressions.begin(), expression.subExpressions.end(), [&](const auto& measured) {
        return std::any_of(plot.curves.begin(), plot.curves.end(), [&](const auto& curve) {
            return curve && SameCompiledExpression(curve->yExpression, *measured);
        });
    });
}

}  // namespace

bool IsNoTolerance(float tolerance) { return tolerance == 0.0f || tolerance == -1.0f; }

int CurrentMonteCarloDistribution()
{
    const int code = static_cast<int>(CurrentOptionsWord() & kMonteCarloDistributionMask);
    return code == 0 ? kDistributionNormal : code;
}

// ---- population and random values ------------------------------------------------------------

int BuildGaussianPopulation()
{
    MonteCarloState& s = State();
    if (s.population.size() < static_cast<std::size_t>(kGaussianPopulationSize))
        s.population.assign(static_cast<std::size_t>(kGaussianPopulationSize), 0.0);
    int n = 0;
    double x = 6.94;
    for (int k = 1; k <= 101; ++k) {
        x += 0.06;
        const double exponent = std::clamp(-0.5 * (x - 10.0) * (x - 10.0), -150.0, 150.0);
        const int m = static_cast<int>(std::floor(120.0 * 0.3989422804014326 * std::exp(exponent) + 0.5));
        for (int i = 0; i < m; ++i) {
            if (n >= kGaussianPopulationFill) {
                s.populationCount = n;
                return kMsgPopulationExceeded;
            }
            s.population[static_cast<std::size_t>(n++)] = x;
        }
    }
    s.populationCount = n;
    return 0;
}

std::span<const double> GaussianPopulation()
{
    const MonteCarloState& s = State();
    return {s.population.data(), static_cast<std::size_t>(s.populationCount)};
}

std::span<const double> GroupRandomTable() { return State().groupRandom; }

double PerturbValue(double nominal, double tolerance, int distribution, int group)
{
    const MonteCarloState& s = State();
    const double u = group >= 0 && group < kMonteCarloGroupCount ? s.groupRandom[static_cast<std::size_t>(group)]
                                                                 : Random15Unit();
    const int method = distribution == kDistributionNormal || distribution == kDistributionLinear
                           ? distribution
                           : CurrentMonteCarloDistribution();
    switch (method) {
    case kDistributionLinear:
        return nominal + (2.0 * u - 1.0) * tolerance;
    case kDistributionWorstCase:
        return u > 0.5 ? nominal - tolerance : nominal + tolerance;
    default: {
        if (s.populationCount < 1) return nominal;
        // u reaches 1 exactly; the index stays within the population either way.
        const int j = std::clamp(static_cast<int>(s.populationCount * u), 1, s.populationCount);
        const double z = s.population[static_cast<std::size_t>(j - 1)] - 10.0;
        const double sd = GlobalOptions().values.sd;
        return sd != 0.0 ? nominal + z * tolerance / sd : nominal;
    }
    }
}

// ---- the runs --------------------------------------------------------------------------------

void SetMonteCarloRunCount(WindowRecord* analysisWindow)
{
    AnalysisRunState& run = RunState();
    MonteCarloState& s = State();
    s.steppingWarned = false;
    if (s.failedSetup) run.setupFailed = false;
    s.failedSetup = false;
    RestartFixedRandom15();
    FreeReportWhenExpression();
    CircuitDocument* document = MonteCarloDocument();
    const int kind = Analysis().analysisKind;
    if (!document || kind < 0 || kind >= kAnalysisKindCount) return;
    MonteCarloOptions& options = document->monteCarlo[static_cast<std::size_t>(kind)];
    if (RunControl().probeFlag) {
        run.runCount = 1;
    } else if (!run.steppingActive) {
        if (!(options.options & kMonteCarloOn)) {
            run.runCount = 1;
        } else {
            const double wanted = std::trunc(ParseNumber(options.runs));
            if (wanted != 0.0) CountCommandUse(kUsageMonteCarlo);
            const int count = static_cast<int>(std::clamp(std::isnan(wanted) ? 1.0 : wanted, 1.0,
                                                          static_cast<double>(kMaxMonteCarloRuns)));
            if (count != wanted) options.runs = std::to_string(count);
            run.runCount = count;
        }
    }
    if (run.runCount <= 1) return;
    std::string text = options.performance;
    FoldRepeatedSigns(text);
    if (text.empty()) return;
    ExpressionRequest request;
    InitExpressionRecord(text, &s.reportWhen, (1u << kind) | kContextPerformance, kReportWhenKinds, request);
    request.window = analysisWindow;
    int failed = CompileExpression(request);
    // A performance function measures a curve of the analysis window: one of an expression that
    // no curve plots measures nothing, and the report would stay empty whatever the runs do.
    if (failed == 0 && !MeasuresPlottedCurves(s.reportWhen, analysisWindow)) {
        ReportMessage("WE", analysisWindow, kMsgCantFindExpression, text.c_str());
        failed = kMsgAlreadyReported;
    }
    if (failed != 0) {
        FreeCompiledExpression(s.reportWhen);
        run.setupFailed = true;
        s.failedSetup = true;
        if (BatchRun().flags == 0)
            win::PostMessage(AppFrameWindow(), win::WM_COMMAND, kCommandMonteCarloOptions, 0);
        return;
    }
    s.reportWhenText = options.performance;
}

int BeginMonteCarlo()
{
    AnalysisRunState& run = RunState();
    MonteCarloState& s = State();
    const bool on = StatusOn();
    run.monteCarloActive = run.runCount > 1 && !run.steppingActive && on;
    if (on && run.steppingActive && !s.steppingWarned) {
        const CircuitDocument* document = MonteCarloDocument();
        const int kind = Analysis().analysisKind;
        if (document && ParseNumber(document->monteCarlo[static_cast<std::size_t>(kind)].runs) >= 2.0) {
            s.steppingWarned = true;
            ReportMessage("WE", RunControl().circuitWindow, kMsgMonteCarloAndStepping);
        }
    }
    if (!run.monteCarloActive) return 0;
    try {
        s.population.assign(static_cast<std::size_t>(kGaussianPopulationSize), 0.0);
    } catch (const std::bad_alloc&) {
        s.populationCount = 0;
        return kMsgInsufficientMemory;
    }
    return BuildGaussianPopulation() != 0 ? kMsgPopulationExceeded : 0;
}

void PerturbModels()
{
    MonteCarloState& s = State();
    for (double& u : s.groupRandom) u = Random15Unit();
    const AnalysisRunState& run = RunState();
    // The case counter is raised before this call, so run 1 of each temperature stands here with
    // index 1: it keeps the nominal values, and a worst-case analysis shows its nominal curve.
    if (run.runIndex <= 1 || !run.monteCarloActive) return;
    // An AKO model takes its base's value after the base's LOT, wherever the two stand in the
    // list: the models with a base follow the others in the first pass.
    for (int type = 0; type < kModelTypeCount; ++type) {
        const LinkedList& list = Models().evaluated[static_cast<std::size_t>(type)];
        for (EvaluatedModel& model : ListRecords<EvaluatedModel>(list))
            if (!HasAkoBase(model)) PerturbModel(model, 0);
        for (EvaluatedModel& model : ListRecords<EvaluatedModel>(list))
            if (HasAkoBase(model)) PerturbModel(model, 0);
        for (EvaluatedModel& model : ListRecords<EvaluatedModel>(list)) PerturbModel(model, 1);
    }
}

void EndMonteCarloRun()
{
    AnalysisRunState& run = RunState();
    if (run.runIndex >= 1 && run.monteCarloActive) {
        if (run.stoppedByUser) --run.runIndex;
        RestoreNominalModelParams();
    }
    run.lastRunReached = run.runIndex;
}

void CheckMonteCarloFailure()
{
    MonteCarloState& s = State();
    if (s.reportWhen.instructions.count == 0) return;
    // Performance functions in the condition (the Options dialog's Functions button puts them
    // there) measure the run just stored in the analysis window.
    WindowRecord* window = RunControl().analysisWindow;
    const int run = window && window->plot ? std::max(window->plot->store.runCount - 1, 0) : 0;
    const PerformanceFunctionHandler measure = MakePerformanceFunctionHandler(window, run);
    EvaluationInputs inputs;
    inputs.performance = &measure;
    std::complex<double> value;
    if (EvaluateExpression(s.reportWhen, value, inputs) != 0) return;
    if (value.real() != 0.0) WriteMonteCarloFailure();
}

void WriteMonteCarloFailure()
{
    const int unit = Analog().numericOutputUnit;
    bool first = true;
    for (int type = 0; type < kModelTypeCount; ++type) {
        for (EvaluatedModel& model : ListRecords<EvaluatedModel>(Models().evaluated[static_cast<std::size_t>(type)])) {
            if (!HasTolerance(model) || !DiffersFromNominal(model)) continue;
            std::string text = FormatRunModelStatement(model);
            if (text.find('=') == std::string::npos) continue;
            text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
            if (first) UnitPrintf(unit, "%s occured for the following parameters:\n", State().reportWhenText.c_str());
            first = false;
            WriteUnitText(unit, "model for:");
            for (const std::string& part : PartsUsingModel(model)) UnitPrintf(unit, "%s ", part.c_str());
            WriteUnitText(unit, "\n");
            WriteUnitText(unit, text);
            WriteUnitText(unit, "\n");
        }
    }
}

void FreeGaussianPopulation()
{
    MonteCarloState& s = State();
    std::vector<double>().swap(s.population);
    s.populationCount = 0;
}

void FreeReportWhenExpression()
{
    FreeCompiledExpression(State().reportWhen);
    State().reportWhenText.clear();
}

bool HasReportWhenExpression() { return State().reportWhen.instructions.count != 0; }

void ResetMonteCarloForTests()
{
    FreeGaussianPopulation();
    FreeReportWhenExpression();
    State().groupRandom.fill(0.0);
    State().steppingWarned = false;
}

}  // namespace kq5
