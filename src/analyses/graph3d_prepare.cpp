#include "analyses/graph3d_prepare.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "document/analysis_windows.h"
#include "analyses/graph3d_data.h"
#include "analyses/graph3d_steps.h"
#include "analyses/performance_expression.h"
#include "analyses/performance_functions.h"
#include "results/run_state.h"
#include "ui/status_text.h"
#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/format.h"
#include "core/text_edit.h"
#include "results/curve_record.h"

namespace kq5 {

namespace {

constexpr int kProgressPoints = 100000;

int SourceSlot(int source) { return source >= kAxisSourceStepSlot ? source - kAxisSourceStepSlot : -1; }

bool SourceLinear(const Graph3DSources& sources, int source)
{
    const int slot = SourceSlot(source);
    if (slot < 0 || slot >= kSteppingCases) return true;
    return sources.plan.simultaneous || sources.slotLinear[static_cast<std::size_t>(slot)] != 0;
}

// Smallest and largest value of a source over the runs of a subset.
void SubsetRange(const WaveformStore& store, const Graph3DSources& sources, int source, const RunSubset& subset,
                 double& lo, double& hi)
{
    lo = 1e200;
    hi = -1e200;
    for (int i = subset.first; i <= subset.last && i < sources.plan.storedRuns; i += subset.stride) {
        const double v = Graph3DRunSourceValue(store, sources, source, i, subset.first, subset.stride);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
}

// The range of a run source: the planned temperatures while a run goes on (the axis then keeps
// still while the surface grows), otherwise the values the stored runs of the plot's walk hold.
void GetAxisSourceRange(const WaveformStore& store, const Graph3DSources& sources, const FunctionRecord& function,
                        int source, double& lo, double& hi)
{
    if (source == kAxisSourceTemperature && sources.running) {
        lo = sources.temperatureLow;
        hi = sources.temperatureHigh;
        return;
    }
    if (source == kAxisSourceCase) {
        lo = 1.0;
        hi = std::max(TotalRunCount(sources.plan), 1);
        return;
    }
    SubsetRange(store, sources, source, ChooseRunSubset(sources.plan, function, source), lo, hi);
}

char SuffixLetterOf(double lo, double hi)
{
    double scale = 1.0;
    const char* suffix = ChooseEngineeringSuffix(std::max(std::abs(lo), std::abs(hi)), scale, kNumberLowerCaseSuffix);
    return suffix && suffix[0] != 0 ? suffix[0] : ' ';
}

// (x, y) pairs measured along the X source, interpolated at every X grid value.
void InterpolatePairsAtGrid(const std::vector<std::pair<double, double>>& pairs, const std::vector<double>& xGrid,
                            bool logX, bool logY, std::vector<double>& row)
{
    row.assign(xGrid.size(), 0.0);
    if (pairs.empty()) return;
    std::size_t k = 0;
    for (std::size_t i = 0; i < xGrid.size(); ++i) {
        const double x = xGrid[i];
        std::size_t j = k;
        bool found = false;
        for (; j + 1 < pairs.size(); ++j) {
            const double a = pairs[j].first, b = pairs[j + 1].first;
            if ((a <= x && x <= b) || (b <= x && x <= a)) {
                found = true;
                break;
            }
        }
        if (!found) {
            row[i] = pairs.back().second;
            continue;
        }
        k = j;
        double a = pairs[j].first, b = pairs[j + 1].first, at = x;
        if (logX && a > 0.0 && b > 0.0 && x > 0.0) {
            a = std::log10(a);
            b = std::log10(b);
            at = std::log10(x);
        }
        const double f = a == b ? 1.0 : 1.0 - (at - a) / (b - a);
        row[i] = BlendHeights(pairs[j].second, pairs[j + 1].second, f, logY);
    }
}

// The function record with the Z source fixed at the value it has in run `run`, so that the
// subset along X walks the runs that share that Z.
FunctionRecord FixZAtRun(const FunctionRecord& function, const RunPlan& plan, int zSource, int run)
{
    FunctionRecord fixed = function;
    const std::int64_t group = RunsPerTemperatureGroup(plan);
    if (zSource == kAxisSourceTemperature) fixed.temperatureCase = static_cast<int>(run / std::max<std::int64_t>(group, 1));
    else if (zSource == kAxisSourceCase) fixed.monteCarloCase = RunCaseNumber(plan, run) - 1;
    else if (const int slot = SourceSlot(zSource); slot >= 0 && slot < kSteppingCases)
        fixed.steppingCases[static_cast<std::size_t>(slot)] = RunSlotIndex(plan, run, slot);
    return fixed;
}

}  // namespace

Graph3DSources LiveGraph3DSources(const WaveformStore& store)
{
    Graph3DSources s;
    s.plan = CurrentRunPlan(store);
    const TemperatureSweep& sweep = RunControl().temperature;
    s.temperatureLow = sweep.low;
    s.temperatureHigh = sweep.high;
    s.running = RunControl().running != 0;
    FillSteppingSources(s);
    return s;
}

std::string Graph3DSourceName(const Graph3DSources& sources, int source, const std::string& xName)
{
    if (source == kAxisSourceTemperature) return "Temperature";
    if (source == kAxisSourceXVariable) return xName;
    if (source == kAxisSourceCase) return "Case";
    const int slot = SourceSlot(source);
    if (slot >= 0 && slot < kSteppingCases) return sources.slotName[static_cast<std::size_t>(slot)];
    return {};
}

double Graph3DRunSourceValue(const WaveformStore& store, const Graph3DSources& sources, int source, int run,
                             int walkFirst, int stride)
{
    if (run < 0 || static_cast<std::size_t>(run) >= store.runs.size()) return 0.0;
    const RunRecord& record = store.runs[static_cast<std::size_t>(run)];
    if (source == kAxisSourceTemperature) return record.temperature;
    if (source == kAxisSourceCase) return RunCaseNumber(sources.plan, run);
    const int slot = SourceSlot(source);
    if (slot < 0 || slot >= kSteppingCases) return 0.0;
    if (sources.plan.simultaneous) return (run - walkFirst) / std::max(stride, 1) + 1;
    return record.steppedValues[static_cast<std::size_t>(slot)];
}

std::string Graph3DChoiceSuffix(const Graph3DPlot& plot, const Graph3DSources& sources, const WaveformStore& store)
{
    const FunctionRecord& f = plot.function;
    const bool performance = plot.performance == kGraph3DPerformance;
    auto isAxis = [&](int source) { return source == f.zData || (performance && source == f.xData); };
    std::string suffix;
    const RunPlan& plan = sources.plan;
    if (plan.temperatureCount > 1 && !isAxis(kAxisSourceTemperature)) {
        const double t = sources.temperatureLow + f.temperatureCase * (plan.temperatureCount > 1
                                                                          ? (sources.temperatureHigh - sources.temperatureLow) /
                                                                                (plan.temperatureCount - 1)
                                                                          : 0.0);
        suffix += StrPrintf(" Temperature=%g", t);
    }
    if (plan.steppingActive) {
        for (int k = 0; k < kSteppingCases; ++k) {
            const auto slot = static_cast<std::size_t>(k);
            if (plan.slotCounts[slot] <= 0 || isAxis(kAxisSourceStepSlot + k)) continue;
            suffix += StrPrintf(" %s=%g", sources.slotName[slot].c_str(), SteppingSlotValue(store, plan, k, f.steppingCases[slot]));
            if (plan.simultaneous) break;
        }
    } else if (plan.monteCarloActive && !isAxis(kAxisSourceCase)) {
        suffix += StrPrintf(" Case %d", f.monteCarloCase + 1);
    }
    return suffix;
}

int PrepareGraph3DPlot(Graph3DPlot& plot, PlotRecord& analysisPlot, const Graph3DSources& sources)
{
    Graph3DSurface& s = plot.surface;
    FunctionRecord& f = plot.function;
    const bool performance = plot.performance == kGraph3DPerformance;
    const RunPlan& plan = sources.plan;
    WaveformStore& store = analysisPlot.store;
    s.FreeGrid();
    s.failed = 0;
    s.nothingMeasured = 0;
    if (!performance) f.xData = kAxisSourceXVariable;
    // Sources that the analysis does not vary give no surface.
    if (!AxisSourceInForce(plan, f.zData)) return 0;
    if (performance && !AxisSourceInForce(plan, f.xData)) return 0;
    if (f.xData == f.zData) return 0;

    s.curveIndex = -1;
    if (!f.expression.empty()) {
        for (int i = 0; i < analysisPlot.curveCount && i < static_cast<int>(analysisPlot.curves.size()); ++i) {
            if (EqualsNoCase(analysisPlot.curves[static_cast<std::size_t>(i)]->yExpressionText, f.expression)) {
                s.curveIndex = i;
                break;
            }
        }
    }
    const std::string yName = performance ? PerformanceShortText(f) : f.expression;
    if (s.curveIndex < 0) return 0;
    CurveRecord& curve = *analysisPlot.curves[static_cast<std::size_t>(s.curveIndex)];

    s.axisName = {Graph3DSourceName(sources, f.xData, curve.xExpressionText), yName,
                  Graph3DSourceName(sources, f.zData, curve.xExpressionText)};
    if (plot.view.autoTitle)
        plot.view.title = StrPrintf("%s vs %s vs %s%s", yName.c_str(), s.axisName[0].c_str(), s.axisName[2].c_str(),
                                    Graph3DChoiceSuffix(plot, sources, store).c_str());

    plot.patchesX = ClampPatchCount(plot.patchesX);
    plot.patchesZ = ClampPatchCount(plot.patchesZ);

    // Ranges of X and Z.
    if (f.xData == kAxisSourceXVariable) {
        s.dataMin[0] = curve.axisLow[kWaveformX];
        s.dataMax[0] = curve.axisHigh[kWaveformX];
    } else {
        GetAxisSourceRange(store, sources, f, f.xData, s.dataMin[0], s.dataMax[0]);
    }
    GetAxisSourceRange(store, sources, f, f.zData, s.dataMin[2], s.dataMax[2]);
    for (int axis : {0, 2}) {
        const auto a = static_cast<std::size_t>(axis);
        if (s.dataMin[a] > s.dataMax[a]) std::swap(s.dataMin[a], s.dataMax[a]);
        if (s.dataMin[a] == s.dataMax[a]) s.dataMax[a] = s.dataMin[a] != 0.0 ? 2 * s.dataMin[a] : 1.0;
        if (s.dataMin[a] > s.dataMax[a]) std::swap(s.dataMin[a], s.dataMax[a]);
    }
    s.linear = {f.xData == kAxisSourceXVariable ? curve.linear[kWaveformX] : (SourceLinear(sources, f.xData) ? 1 : 0),
                curve.linear[kWaveformY], SourceLinear(sources, f.zData) ? 1 : 0};
    // A logarithmic axis needs both ends above zero; otherwise it is drawn linearly.
    for (std::size_t a : {0u, 2u})
        if (!(s.dataMin[a] > 0.0)) s.linear[a] = 1;
    if (plot.scaleFormat[0].empty()) plot.scaleFormat[0] = curve.xScaleFormat;
    if (plot.scaleFormat[1].empty()) plot.scaleFormat[1] = curve.yScaleFormat;
    if (plot.scaleFormat[2].empty()) plot.scaleFormat[2] = curve.xScaleFormat;

    // A condition other than "1" measures only the points where it holds.
    PerformanceCondition condition;
    std::string conditionText = f.boolean;
    Trim(conditionText);
    if (performance && !conditionText.empty() && conditionText != "1" &&
        condition.Compile(conditionText, analysisPlot, std::max<int>(Analysis().analysisKind, 0), s.window) != 0)
        return 0;
    const PointCondition* pointCondition = condition.Compiled() ? &condition.Condition() : nullptr;

    RunSubset subset = ChooseRunSubset(plan, f, f.zData);
    try {
        s.xGrid = BuildGraph3DGrid(s.dataMin[0], s.dataMax[0], plot.patchesX, s.linear[0] != 0);
        s.zGrid = BuildGraph3DGrid(s.dataMin[2], s.dataMax[2], plot.patchesZ, s.linear[2] != 0);
        Graph3DRowsInput in;
        in.zGrid = s.zGrid;
        in.columns = static_cast<int>(s.xGrid.size());
        in.first = subset.first;
        in.last = subset.last;
        in.stride = subset.stride;
        in.storedRuns = std::min<int>(plan.storedRuns, static_cast<int>(store.runs.size()));
        in.logZ = s.linear[2] == 0;
        in.logY = curve.linear[kWaveformY] == 0;
        in.zValueOf = [&](int run) { return Graph3DRunSourceValue(store, sources, f.zData, run, subset.first, subset.stride); };
        // Performance mode: the rows of the Z groups in which the function measured something.
        std::vector<std::pair<int, std::vector<double>>> measured;
        int tried = 0;
        if (performance) {
            const int lastGroup = LastRunGroup(subset.first, subset.last, subset.stride);
            for (int g = subset.first; lastGroup >= 0 && g <= lastGroup && g < in.storedRuns; g += subset.stride) {
                ++tried;
                const FunctionRecord fixed = FixZAtRun(f, plan, f.zData, g);
                const RunSubset along = ChooseRunSubset(plan, fixed, f.xData);
                std::vector<std::pair<double, double>> pairs;
                for (int i = along.first; i <= along.last && i < in.storedRuns; i += along.stride) {
                    PerformanceContext context;
                    context.store = &store;
                    context.curve = &curve;
                    context.run = i;
                    context.condition = pointCondition;
                    if (EvaluatePerformanceFunction(context, f.function, f.args[0], f.args[1], f.args[2]) != 0) continue;
                    pairs.emplace_back(Graph3DRunSourceValue(store, sources, f.xData, i, along.first, along.stride),
                                       context.measurement.value);
                }
                if (pairs.empty()) continue;
                std::vector<double> row(s.xGrid.size(), 0.0);
                InterpolatePairsAtGrid(pairs, s.xGrid, s.linear[0] == 0, in.logY, row);
                measured.emplace_back(g, std::move(row));
            }
            // Nothing measured in any run: no surface rather than one of zeros that look like
            // measurements.
            if (measured.empty() && tried > 0) {
                s.FreeGrid();
                s.nothingMeasured = 1;
                return 0;
            }
            // A group without a measurement holds the nearest group that has one, as X grid
            // values beyond the measured runs hold the last one: a gap is not drawn as zero.
            in.sample = [&](int run, std::vector<double>& row) {
                if (measured.empty()) return false;
                const auto* nearest = &measured.front();
                for (const auto& m : measured)
                    if (std::abs(m.first - run) < std::abs(nearest->first - run)) nearest = &m;
                row = nearest->second;
                return true;
            };
        } else {
            in.sample = [&](int run, std::vector<double>& row) {
                return SampleCurveRunAtGrid(analysisPlot, curve, run, s.xGrid, row);
            };
        }
        // Long curves take a while to sample: the status bar tells how far it got.
        const bool showProgress = StatusBarShown() && curve.lastPointIndex > kProgressPoints;
        const std::string before = showProgress ? GetStatusText() : std::string();
        if (showProgress)
            in.progress = [](int percent) { SetStatusText(StrPrintf("Preparing data points %d%% complete.", percent)); };
        s.rows = ComputeGraph3DRows(in);
        if (showProgress) SetStatusText(before);
    } catch (const std::bad_alloc&) {
        s.FreeGrid();
        s.failed = 1;
        return kMsgInsufficientMemory;
    }

    // The height range is the surface's own.
    double lo = 1e200, hi = -1e200;
    for (const auto& row : s.rows)
        for (double v : row)
            if (std::isfinite(v)) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
    if (lo > hi) lo = hi = 0.0;
    // A range lost in rounding (heights that differ in their last bits) is as flat as none: its
    // scale would be stretched past any screen.
    if (hi - lo <= 1e-12 * std::max(std::fabs(lo), std::fabs(hi))) hi = lo + 1.0;
    s.dataMin[1] = lo;
    s.dataMax[1] = hi;
    if (!(lo > 0.0)) s.linear[1] = 1;
    s.axisMin = s.dataMin;
    s.axisMax = s.dataMax;
    for (std::size_t a = 0; a < 3; ++a) s.suffix[a] = SuffixLetterOf(s.axisMin[a], s.axisMax[a]);
    const int points = static_cast<int>(s.xGrid.size() * s.zGrid.size());
    for (auto& p : s.cursorPoint) p = std::clamp(p, 0, points - 1);
    return 0;
}

}  // namespace kq5
