#include "plots/curve_evaluation.h"

#include <algorithm>
#include <complex>

#include "analog/analog_state.h"
#include "analog/expr_run_services.h"
#include "core/analysis_state.h"
#include "analog/dc_sweep_run.h"
#include "devices/linear_stamps.h"
#include "analog/run_control.h"
#include "analog/run_windows.h"
#include "devices/temperature_setup.h"
#include "analog/transient_run_services.h"
#include "analog/model_layers.h"
#include "results/run_state.h"
#include "ui/edit_mode.h"
#include "ui/menu_sources.h"
#include "ui/window_record.h"
#include "core/expr_evaluator.h"
#include "core/expr_math_errors.h"
#include "core/expr_symbols.h"
#include "core/message_reporter.h"
#include "devices/model_temperature.h"
#include "document/circuit_document.h"
#include "platform/gdi_clip.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_objects.h"
#include "platform/paint.h"
#include "plots/axis_ranges.h"
#include "plots/import_reader.h"
#include "plots/numeric_output_window.h"
#include "plots/plot_object_draw.h"
#include "plots/plot_axes.h"
#include "plots/plot_click_services.h"
#include "plots/plot_cursors.h"
#include "plots/plot_draw.h"
#include "plots/plot_layout.h"
#include "plots/plot_setup.h"
#include "plots/plot_view.h"
#include "plots/plot_window_services.h"
#include "plots/state_variables_editor.h"
#include "plots/state_variables_file.h"
#include "plots/user_waveform.h"
#include "results/waveform_store.h"
#include "document/editor_services.h"

namespace kq5 {

namespace {

constexpr double kValueLimit = 1e30;

PlotRecord* PlotOf(WindowRecord* window) { return RunPlotOf(window); }

// The stored value of a curve axis from the evaluated one: the true value, also on a
// logarithmic axis, whose drawing alone holds a value that is not positive at its floor.
double PlotValue(const CurveRecord& curve, int axis, std::complex<double> value)
{
    const bool digitalY = axis == kWaveformY && curve.digital;
    if (digitalY) return value.real();
    const double v = value.imag() != 0.0 ? std::abs(value) : value.real();
    return std::clamp(v, -kValueLimit, kValueLimit);
}

// A lone variable (T, V(node), D(node): most curves) read as the evaluator reads it, without
// its set-up; false for any other expression.
bool ReadLoneVariable(const CompiledExpression& e, std::complex<double>& value)
{
    if (e.instructions.count != 1) return false;
    const auto* only = static_cast<const ExpressionInstruction*>(e.instructions.head);
    if (only->opcode == kOpReadDouble) {
        value = only->realAddress ? *only->realAddress : 0.0;
        return true;
    }
    if (only->opcode == kOpDigitalWord) {
        value = only->stateAddress ? *only->stateAddress : 0;
        return true;
    }
    return false;
}

// The X value of a curve axis whose variable is the other analysis's sweep: this analysis's own.
bool ReadsOwnSweep(const CurveRecord& curve, int kind)
{
    return (curve.xLetter[kWaveformX] == 'F' && kind == kAnalysisTransient) ||
           (curve.xLetter[kWaveformX] == 'T' && kind == kAnalysisAc);
}

}  // namespace

double CurrentSweepValue()
{
    switch (Analysis().analysisKind) {
    case kAnalysisTransient: return Analysis().variables.time;
    case kAnalysisAc: return Analysis().variables.frequency;
    case kAnalysisDc: return DcSweep().value1;
    default: return 0.0;
    }
}

int EvaluateCurveExpressions(WindowRecord* window)
{
    PlotRecord* plot = PlotOf(window);
    ++PlotRun().acceptedPoints;
    if (!plot) return 0;
    const int kind = Analysis().analysisKind;
    const std::uint32_t options = plot->phaseContinuation ? kEvalPhaseContinuation : 0;
    MathErrorState& math = MathErrors();
    // Most curves read a lone variable on both axes: one pass over the curves then does. Reading
    // has no side effects, so a curve that needs more starts the full passes below over again.
    bool lone = true;
    for (int i = 0; i < plot->curveCount && lone; ++i) {
        CurveRecord& curve = *plot->curves[static_cast<std::size_t>(i)];
        std::complex<double> x, y;
        lone = curve.imports.empty() && ReadLoneVariable(curve.xExpression, x) && ReadLoneVariable(curve.yExpression, y);
        if (!lone) break;
        math.pendingError = 0;
        if (ReadsOwnSweep(curve, kind)) x = CurrentSweepValue();
        curve.currentValue[kWaveformX] = PlotValue(curve, kWaveformX, x);
        curve.currentValue[kWaveformY] = PlotValue(curve, kWaveformY, y);
    }
    if (lone) return 0;
    for (int axis = 0; axis < 2; ++axis) {
        const std::size_t a = static_cast<std::size_t>(axis);
        for (int i = 0; i < plot->curveCount; ++i) {
            CurveRecord& curve = *plot->curves[static_cast<std::size_t>(i)];
            if (axis == kWaveformY && !curve.imports.empty()) InterpolateImports(window, curve, CurrentSweepValue());
            CompiledExpression& e = axis == kWaveformX ? curve.xExpression : curve.yExpression;
            // The operands of a Fourier function are kept per stored point: a point evaluated
            // and then refused (a DC sweep step that changed too much) is taken again in its
            // place.
            if (e.spectral) e.spectral->pointIndex = std::max(CountRunPoints(plot->store, curve) + 1, 0);
            std::complex<double> value;
            if (ReadLoneVariable(e, value)) {
                math.pendingError = 0;
            } else if (const int error = EvaluateExpression(e, value, options); error != 0) {
                const std::string& text = axis == kWaveformX ? curve.xExpressionText : curve.yExpressionText;
                ReportAnalysisFailure(kFocusExpressionRow, curve.rowIndex, text.c_str(), error);
                AnalogSolver().stopFlag = 1;
                return kMsgAlreadyReported;
            }
            // The other analysis's sweep variable reads this analysis's own sweep.
            if (axis == kWaveformX && ReadsOwnSweep(curve, kind)) value = CurrentSweepValue();
            curve.currentValue[a] = PlotValue(curve, axis, value);
        }
    }
    return 0;
}

void EvaluateAnalysisPoint(WindowRecord* window)
{
    UpdateExpressionStates(window && window->plot ? window : RunControl().circuitWindow, false);
    RefreshStateVariablesEditor();
}

void UpdateCurveExtremes(WindowRecord* window, int first, int last)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot || PlotRun().acceptedPoints < 0) return;
    last = std::min(last, plot->curveCount - 1);
    for (int i = std::max(first, 0); i <= last; ++i) {
        CurveRecord& c = *plot->curves[static_cast<std::size_t>(i)];
        for (int axis = 0; axis < 2; ++axis) {
            const std::size_t a = static_cast<std::size_t>(axis);
            // The extremes scale the axis: a logarithmic one sees a value that is not positive
            // where it draws it.
            double v = c.currentValue[a];
            if (!c.linear[a] && v <= 0.0 && !(axis == kWaveformY && c.digital)) v = kLogAxisFloor;
            if (v > c.dataMax[a]) {
                c.dataMax[a] = v;
                if (axis == kWaveformX) c.xMaxPoint = c.lastPointIndex;
            }
            if (v < c.dataMin[a]) {
                c.dataMin[a] = v;
                if (axis == kWaveformX) c.xMinPoint = c.lastPointIndex;
            }
        }
    }
}

namespace {

// The window the run draws in: an analysis window with a laid-out plot.
bool DrawsLive(WindowRecord* window)
{
    if (!window || !window->window || !window->plot || window->plot->curveCount == 0) return false;
    if (!PlotsDrawnOnScreen()) return false;
    const int probe = RunControl().probeState;
    if (probe == kProbeFullRun || probe == kProbeReplot) return false;
    const win::RECT& r = window->plot->curves[0]->plotRect;
    return r.right > r.left;
}

std::int32_t LiveY(const CurveRecord& c, double y)
{
    return c.digital ? DigitalStateOrPixel(c, kWaveformY, y) : CurveValueToPixel(c, kWaveformY, y, 0.0);
}

// Draws the curve's new point joined to the one drawn before, cut to its plot rectangle.
void DrawLivePoint(WindowRecord* window, win::HDC dc, int curveIndex, CurveRecord& c, bool join)
{
    const std::int32_t px = CurveValueToPixel(c, kWaveformX, c.currentValue[kWaveformX], 0.0);
    const std::int32_t py = LiveY(c, c.currentValue[kWaveformY]);
    // A point on the pixel of the point before adds nothing to the picture.
    if (join && px == c.previousPixel[0] && py == c.previousPixel[1]) return;
    std::vector<win::HPEN>& pens = PlotRun().livePens;
    if (pens.size() <= static_cast<std::size_t>(curveIndex)) pens.resize(static_cast<std::size_t>(curveIndex) + 1);
    win::HPEN& pen = pens[static_cast<std::size_t>(curveIndex)];
    if (!pen) pen = MakeCurvePen(window, dc, c);
    win::SelectObject(dc, pen);
    if (!join) {
        c.previousPixel = {px, py};
        if (!c.digital && (PlotOptions(window) & kPlotDataPoints)) DrawCurveSegment(window, dc, c, px, py, false, true);
        return;
    }
    DrawCurveSegment(window, dc, c, px, py, true, true);
}

}  // namespace

void StartCurveTraces(WindowRecord* window, bool firstPoint)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot) return;
    for (int i = 0; i < plot->curveCount; ++i) {
        CurveRecord& c = *plot->curves[static_cast<std::size_t>(i)];
        c.previousValue = c.currentValue;
        c.skipPoint = 0;
        c.previousPixel = {CurveValueToPixel(c, kWaveformX, c.currentValue[kWaveformX], 0.0),
                           LiveY(c, c.currentValue[kWaveformY])};
    }
    if (firstPoint) PlotRun().tracesStarted = true;
}

namespace {

// Stores the curve's new point; false when the store takes no more points. Sets join (the
// point joins the one before) and runFirst (the run's first point).
inline bool StoreNewPoint(WindowRecord* window, WaveformStore& store, CurveRecord& c, int kind, double sweep, bool& join,
                   std::int32_t& runFirst)
{
    // The first point after a run ended is stored but not joined to the run before.
    join = c.newData == 0;
    c.newData = 0;
    runFirst = RunFirstPoint(c, store.runCount);
    if (!AdvanceCurvePoint(store, c)) return false;
    const std::int32_t n = c.lastPointIndex;
    if (n == runFirst) c.firstPointIndex = n;
    const double x = c.currentValue[kWaveformX], y = c.currentValue[kWaveformY];
    if (!ExtendCurveStretch(store, c, n, x, y, sweep)) StoreCurvePoint(store, c, n, x, y, sweep);
    c.previousValue = c.currentValue;
    // Once the two points after it are stored, a transient run's first point takes its value at
    // the run's start time.
    if (kind == kAnalysisTransient && n == runFirst + 2) InterpolateRunStartPoint(window, c);
    return true;
}

// A batch run that draws nothing and keeps one run of digital curves only reads their states
// at the printed times: a point at which no curve changes, after a point at which none changed
// either, moves that point's time on instead of adding a point. True when the point was taken
// so.
bool RepeatLastPoint(PlotRecord& plot)
{
    WaveformStore& store = plot.store;
    if (plot.curveCount == 0 || PlotsDrawnOnScreen() || store.maxRuns != 1 || store.runCount != 0 || store.full ||
        store.currentPage == -1 || Analysis().analysisKind != kAnalysisTransient)
        return false;
    const double sweep = CurrentSweepValue();
    const std::int32_t last = plot.curves[0]->lastPointIndex;
    for (int i = 0; i < plot.curveCount; ++i) {
        const CurveRecord& c = *plot.curves[static_cast<std::size_t>(i)];
        if (c.lastPointIndex != last || !CurvePointRepeatsLast(store, c, RunFirstPoint(c, store.runCount), sweep))
            return false;
    }
    MoveLastSweepValue(store, last, sweep);
    for (int i = 0; i < plot.curveCount; ++i) {
        CurveRecord& c = *plot.curves[static_cast<std::size_t>(i)];
        c.previousValue = c.currentValue;
    }
    return true;
}

}  // namespace

void PlotCurveNewPoint(WindowRecord* window, int curveIndex)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot || curveIndex < 0 || curveIndex >= plot->curveCount) return;
    CurveRecord& c = *plot->curves[static_cast<std::size_t>(curveIndex)];
    bool join = false;
    std::int32_t runFirst = 0;
    if (!StoreNewPoint(window, plot->store, c, Analysis().analysisKind, CurrentSweepValue(), join, runFirst)) return;
    const std::int32_t n = c.lastPointIndex;
    win::HDC dc = PlotRun().liveDC;
    if (!dc) return;
    // "Display every" thins the drawing of a transient run; every point stays stored.
    const int kind = std::clamp<int>(Analysis().analysisKind, 0, 2);
    const WindowRecord* circuit = RunControl().circuitWindow;
    const int every =
        circuit && circuit->document ? std::max(circuit->document->reduceDisplay[static_cast<std::size_t>(kind)], 1) : 1;
    if (kind == kAnalysisTransient && every > 1 && !c.digital && PlotRun().acceptedPoints % every != 0 &&
        n != runFirst) {
        c.skipPoint = 1;
        return;
    }
    c.skipPoint = 0;
    DrawLivePoint(window, dc, curveIndex, c, join && n - runFirst > c.warmUpCount);
}

void EndLiveDrawing()
{
    PlotRunState& run = PlotRun();
    if (run.liveDC) {
        win::SelectObject(run.liveDC, win::GetStockObject(win::BLACK_PEN));
        win::ReleaseDC(run.liveWindow, run.liveDC);
    }
    for (win::HPEN pen : run.livePens)
        if (pen) win::DeleteObject(pen);
    run.livePens.clear();
    run.liveDC = nullptr;
    run.liveWindow = nullptr;
}

void PlotCurrentPoint(WindowRecord* window, int flag)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot) return;
    if (!PlotRun().tracesStarted) StartCurveTraces(window, true);
    PlotRunState& run = PlotRun();
    if (DrawsLive(window)) {
        if (run.liveWindow != window->window) {
            EndLiveDrawing();
            run.liveWindow = window->window;
            run.liveDC = win::GetDC(window->window);
        }
    } else if (run.liveDC) {
        EndLiveDrawing();
    }
    if (run.liveDC) {
        for (int i = 0; i < plot->curveCount; ++i) PlotCurveNewPoint(window, i);
    } else if (!RepeatLastPoint(*plot)) {
        // Nothing drawn: only the store, with what every curve of the point shares looked up once.
        const int kind = Analysis().analysisKind;
        const double sweep = CurrentSweepValue();
        bool join = false;
        std::int32_t runFirst = 0;
        for (int i = 0; i < plot->curveCount; ++i)
            StoreNewPoint(window, plot->store, *plot->curves[static_cast<std::size_t>(i)], kind, sweep, join, runFirst);
    }
    UpdateCurveExtremes(window, 0, plot->curveCount - 1);
    run.pointAccepted = true;
    WaitAnimationStep();
    (void)flag;
}

int BeginNextRun(WindowRecord* window, double temperature)
{
    AnalysisRunState& plan = RunState();
    ++plan.runIndex;
    plan.lastRunReached = plan.runIndex;
    // Every run starts from the nominal values: the case's stepped values and its perturbation
    // replace them, never add to the last run's.
    RestoreNominalModelParams();
    const PlotWindowServicesState& cases = PlotWindowServices();
    if (const int result = cases.nextStepCase ? cases.nextStepCase() : 0; result != 0) return result;
    if (cases.perturbModels) cases.perturbModels();
    PlotRun().acceptedPoints = -1;
    PlotRun().tracesStarted = false;
    PlotRun().startMovedStore = nullptr;
    PlotRun().startMovedPoint = -1;
    PlotRun().pointAccepted = false;
    if (const int result = SetCircuitTemperature(temperature); result != 0) return result;
    if (const int result = PrepareModelsAtTemperature(temperature); result != 0) return result;
    // Each run reads its imported curves for its own temperature and case.
    ImportCase().caseCounter = plan.runIndex;
    if (ScanCurveImports(window) != 0) return kMsgAlreadyReported;
    // The title line shows the case being run.
    if (window && window->window && (plan.steppingActive || plan.monteCarloActive)) DrawPlotTitleLine(window, nullptr);
    return 0;
}

void FinishPlotCase(WindowRecord* window)
{
    EndLiveDrawing();
    RedrawCircuitNodeValues(RunControl().circuitWindow);
    if (!window || !window->plot) return;
    // A stepped or Monte Carlo case, a temperature of a list, or a value of a DC sweep's
    // Input 2, with more to come leaves the automatic axes automatic, so that the last one
    // scales them to the curves of every run.
    const AnalysisRunState& plan = RunState();
    const bool moreRuns = ((plan.runIndex < plan.runCount || plan.input2Index + 1 < plan.input2Count) && !RunStopRequested()) ||
                          RunControl().temperature.more != 0;
    FinishPlotsAfterRun(window, nullptr, moreRuns);
    if (InCursorMode(window)) {
        InitPlotCursors(window);
        if (window->window) win::InvalidateRect(window->window, nullptr, 1);
    }
}

void InstallPlotRunServices()
{
    InstallPlotObjectDrawing();
    EditModeHooks().toggleCursors = TogglePlotCursors;
    // The Scope popup's checks show the option bits of the plot window in front: a performance
    // window, else the analysis window.
    MenuTextSources().plotOption = [](int id) {
        WindowRecord* front = GetFrontPerformanceRecord();
        WindowRecord* window = front ? front : RunControl().analysisWindow;
        if (!window || !window->plot || id < 18400 || id > 18406) return false;
        const std::uint32_t bit = id == 18406 ? kPlotBaseLine : 1u << (id - 18400);
        return (PlotOptions(window) & bit) != 0;
    };
    AnalysisRunServices& services = RunServices();
    services.setupPlots = [](WindowRecord* window) {
        if (const int result = SetupPlotsForRun(window, true); result != 0) return result;
        if (const int result = LoadUserSourceData(); result != 0) return result;
        // What the analysis window checks before it draws a run: one scale kind and one X per
        // graph.
        return CheckGroupConsistency(window);
    };
    services.evaluateCurves = [](WindowRecord* window) {
        if (PlotRun().acceptedPoints < 0) {
            UpdateExpressionStates(window && window->plot ? window : RunControl().circuitWindow, true);
        } else if (PlotRun().pointAccepted) {
            EvaluateAnalysisPoint(window);
        }
        PlotRun().pointAccepted = false;
        return EvaluateCurveExpressions(window);
    };
    services.plotPoint = [](WindowRecord* window) {
        PlotCurrentPoint(window, 0);
        if (AppendUserWaveformPoints(window) != 0) AnalogSolver().stopFlag = 1;
    };
    services.beginPlotWindowRun = [](WindowRecord* window) { return BeginPlotWindowRun(window, nullptr); };
    services.beginNextRun = [](WindowRecord* window, double temperature) { return BeginNextRun(window, temperature); };
    services.readStateVariables = [] { return ReadWriteStateVariablesFile(0); };
}

}  // namespace kq5
