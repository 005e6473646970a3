#include "analyses/performance_window.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "analyses/performance_expression.h"
#include "analyses/performance_functions.h"
#include "analyses/stepping.h"
#include "document/stepping_rows.h"
#include "ui/dialog_services.h"
#include "ui/frame_state.h"
#include "analog/run_windows.h"
#include "plots/plot_print.h"
#include "ui/print_layout_services.h"
#include "ui/status_text.h"
#include "ui/window_class.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "platform/cursor.h"
#include "platform/dialog.h"
#include "platform/mdi.h"
#include "platform/menu.h"
#include "platform/message_box.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/win_messages.h"
#include "platform/win_styles.h"
#include "platform/window.h"
#include "plots/analysis_window.h"
#include "plots/axis_ranges.h"
#include "plots/plot_setup.h"
#include "plots/plot_view.h"
#include "plots/plot_window_services.h"
#include "results/plot_view_settings.h"
#include "results/waveform_store.h"

namespace kq5 {

namespace {

constexpr int kMaxPerformanceWindows = 10;
// Measured curves with more points than this show the progress of a recompute.
constexpr std::int32_t kProgressPoints = 100000;

std::size_t U(int i) { return static_cast<std::size_t>(i); }

// The node a window is being made for (WM_CREATE takes it).
PerformanceWindowRecord*& PendingNode()
{
    static PerformanceWindowRecord* node = nullptr;
    return node;
}

CircuitDocument* Document()
{
    WindowRecord* circuit = RunControl().circuitWindow;
    return circuit && IsLiveWindowRecord(circuit) && circuit->document ? circuit->document.get() : nullptr;
}

int CurrentKind() { return std::clamp<int>(Analysis().analysisKind, 0, kAnalysisKindCount - 1); }

WindowRecord* AnalysisWindowRecord()
{
    WindowRecord* w = RunControl().analysisWindow;
    return w && IsLiveWindowRecord(w) && w->plot ? w : nullptr;
}

// Every node of every list of the document.
template <class F>
void ForEachNode(F f)
{
    CircuitDocument* document = Document();
    if (!document) return;
    for (LinkedList& list : document->performanceWindows)
        for (PerformanceWindowRecord& node : ListRecords<PerformanceWindowRecord>(list)) f(list, node);
}

// The fonts and colours of the node go to the plot's settings, or come from them.
void SyncView(PerformanceWindowRecord& node, bool toSettings)
{
    PlotViewSettings& view = PlotViewOf(node.SharedPlot());
    if (toSettings) {
        if (node.view.font.height != 0) view.textFont = node.view.font;
        if (node.gridColor || node.graphBackground) {
            view.gridColor = node.gridColor;
            view.graphBackground = node.graphBackground;
            view.windowBackground = node.view.winBackgroundColor;
        }
        view.scaleColor = node.scaleColor;
        view.sameYScales = node.sameYScales;
    } else {
        node.view.font = view.textFont;
        node.gridColor = view.gridColor;
        node.graphBackground = view.graphBackground;
        node.view.winBackgroundColor = static_cast<std::uint8_t>(view.windowBackground);
        node.scaleColor = view.scaleColor;
        node.sameYScales = view.sameYScales;
    }
}

std::string WindowCaption(const PerformanceWindowRecord& node) { return StrPrintf("Performance:%s", node.view.title.c_str()); }

// Makes the window of a node; null when it cannot be made.
WindowRecord* CreateWindowFor(PerformanceWindowRecord& node)
{
    if (!RegisterPerformanceClass()) return nullptr;
    PendingNode() = &node;
    const std::string title = WindowCaption(node);
    const win::HWND hwnd = CreatePlotChildWindow(kPerformanceClassName, title);
    PendingNode() = nullptr;
    if (!hwnd) return nullptr;
    if (node.view.placement.rcNormalPosition.right > node.view.placement.rcNormalPosition.left && !IsFrameMdiChild(hwnd)) win::SetWindowPlacement(hwnd, &node.view.placement);
    return node.window;
}

void CloseWindowOf(PerformanceWindowRecord& node)
{
    WindowRecord* record = node.window;
    if (!record || !record->window || !win::IsWindow(record->window)) return;
    DestroyPlotChildWindow(record->window);
}

// The value of a run along an axis source.
double RunAxisValue(const RunPlan& plan, const WaveformStore& store, std::int32_t run, int source)
{
    if (source == kAxisSourceCase) return RunCaseNumber(plan, run);
    if (run < 0 || U(run) >= store.runs.size()) return 0.0;
    const RunRecord& record = store.runs[U(run)];
    if (source >= kAxisSourceStepSlot && source < kAxisSourceStepSlot + kRunSteppedValues)
        return record.steppedValues[U(source - kAxisSourceStepSlot)];
    return record.temperature;
}

// The measured curve of a record among the analysis curves (its text, any case); -1 when none.
int FindMeasuredCurve(const PlotRecord& analysis, const FunctionRecord& record)
{
    for (int i = 0; i < analysis.curveCount && i < static_cast<int>(analysis.curves.size()); ++i)
        if (EqualsNoCase(analysis.curves[U(i)]->yExpressionText, record.expression)) return i;
    return -1;
}

bool SlotSteppedLinearly(int slot)
{
    if (slot < 0 || slot >= kSteppingRowCount) return true;
    return (SteppingRows().rows[U(slot)].method & (kStepMethodLinear | kStepMethodList)) != 0;
}

// The curve of one function record, as the plot draws it.
void SetUpCurve(CurveRecord& curve, const FunctionRecord& record, const CurveRecord* measured)
{
    curve.xExpressionText = AxisSourceName(record.xData);
    curve.yExpressionText = PerformanceShortText(record);
    curve.name = curve.yExpressionText;
    curve.color = record.color ? record.color : kFirstCurveColorIndex;
    curve.lineWidth = std::max(record.lineWidth, 1);
    curve.linePattern = record.linePattern;
    curve.plotGroup = std::clamp(record.plotNumber, 1, 9);
    curve.roleFlags = kCurveRolePlotted;
    curve.rowIndex = -1;
    curve.linear[kWaveformX] = record.xData >= kAxisSourceStepSlot ? (SlotSteppedLinearly(record.xData - kAxisSourceStepSlot) ? 1 : 0)
                               : record.xData == kAxisSourceXVariable && measured ? measured->linear[kWaveformX]
                                                                                 : 1;
    curve.linear[kWaveformY] = measured ? measured->linear[kWaveformY] : 1;
    for (int a = 0; a < 2; ++a) {
        if (record.autoScale[U(a)]) {
            SetDefaultAxisRange(curve, a);
        } else {
            curve.rangeMode[U(a)] = kRangeFromSetup;
            curve.axisLow[U(a)] = record.rangeMin[U(a)];
            curve.axisHigh[U(a)] = record.rangeMax[U(a)];
            curve.axisSpan[U(a)] = curve.axisHigh[U(a)] - curve.axisLow[U(a)];
        }
    }
    // The scales a restore goes back to: these, until a rescale to the data takes its own.
    curve.referenceLow = curve.axisLow;
    curve.referenceHigh = curve.axisHigh;
    curve.dataMax = {-1e200, -1e200};
    curve.dataMin = {1e200, 1e200};
    // Without a format of its own the curve keeps the plot's default one.
    if (!record.valueFormat[kAxisX].empty()) MakeNumberFormat(curve.secondValueFormat, record.valueFormat[kAxisX], -1);
    if (!record.valueFormat[kAxisY].empty()) MakeNumberFormat(curve.valueFormat, record.valueFormat[kAxisY], -1);
    curve.xScaleFormat = record.scaleFormat[kAxisX];
    curve.yScaleFormat = record.scaleFormat[kAxisY];
    curve.state = 0;
}

void ShowProgress(const CurveRecord& measured, const std::string& text, std::int32_t first)
{
    if (!StatusBarShown() || measured.lastPointIndex <= kProgressPoints) return;
    const double points = static_cast<double>(measured.lastPointIndex) + 1.0;
    const int percent = static_cast<int>((first + 1) / points * 100.0);
    SetStatusText(StrPrintf("Preparing data points for graph %s %d%% complete.", text.c_str(), percent));
}

// Stores one point: X, the value (NaN: a gap) and the four marked coordinates.
void StorePoint(PlotRecord& plot, CurveRecord& curve, double x, double y, const Measurement* m)
{
    if (!AdvanceCurvePoint(plot.store, curve)) return;
    const std::int32_t p = curve.lastPointIndex;
    const double slots[kCurveStoreSlots] = {x, y, m ? m->ax : 0.0, m ? m->ay : 0.0, m ? m->bx : 0.0, m ? m->by : 0.0};
    for (int s = 0; s < kCurveStoreSlots; ++s) SetWaveformValue(plot.store, curve.storeSlots[U(s)], p, slots[s]);
    // The X axis spans the gaps too, so that they show.
    curve.dataMin[0] = std::min(curve.dataMin[0], x);
    curve.dataMax[0] = std::max(curve.dataMax[0], x);
    if (!std::isfinite(y)) return;
    curve.dataMin[1] = std::min(curve.dataMin[1], y);
    curve.dataMax[1] = std::max(curve.dataMax[1], y);
}

}  // namespace

std::string AxisSourceName(int source)
{
    if (source == kAxisSourceTemperature) return "Temperature";
    if (source == kAxisSourceCase) return "Case";
    if (source >= kAxisSourceStepSlot && source < kAxisSourceStepSlot + kSteppingCases) {
        const std::string name = FormatSteppedParamName(source - kAxisSourceStepSlot);
        return name.empty() ? StrPrintf("Step %d", source - kAxisSourceStepSlot + 1) : name;
    }
    return "X";
}

int DefaultAxisSource(const RunPlan& plan)
{
    if (plan.temperatureCount > 1) return kAxisSourceTemperature;
    if (plan.monteCarloActive) return kAxisSourceCase;
    return FirstSteppedSource(plan);
}

std::string FormatPerformancePlotTitle(const PerformanceWindowRecord& record, const RunPlan& plan,
                                       const WaveformStore* store)
{
    if (record.functions.empty()) return "Blank";
    const FunctionRecord& f = record.functions.front();
    std::string title = StrPrintf("%s vs %s", PerformanceFullText(f).c_str(), AxisSourceName(f.xData).c_str());
    const RunSubset subset = ChooseRunSubset(plan, f, f.xData);
    const RunRecord* run = store && !subset.Empty() && U(subset.first) < store->runs.size() ? &store->runs[U(subset.first)]
                                                                                            : nullptr;
    std::string caption;
    if (plan.temperatureCount > 1 && f.xData != kAxisSourceTemperature && run)
        caption += StrPrintf(" Temperature = %g", run->temperature);
    if (plan.steppingActive && !plan.simultaneous) {
        for (int k = 0; k < kSteppingCases; ++k)
            if (plan.slotCounts[U(k)] > 0 && f.xData != kAxisSourceStepSlot + k && run)
                caption += StrPrintf(" %s = %g", FormatSteppedParamName(k).c_str(), run->steppedValues[U(k)]);
    } else if (plan.steppingActive) {
        const int first = FirstSteppedSource(plan);
        if (f.xData < kAxisSourceStepSlot && first >= kAxisSourceStepSlot)
            caption += StrPrintf(" Stepping = %d", f.steppingCases[U(first - kAxisSourceStepSlot)] + 1);
    } else if (plan.monteCarloActive && f.xData != kAxisSourceCase) {
        caption += StrPrintf(" Case= %d", f.monteCarloCase + 1);
    }
    if (!caption.empty()) title += " :" + caption;
    return title;
}

LinkedList* PerformanceWindowList()
{
    CircuitDocument* document = Document();
    return document ? &document->performanceWindows[U(CurrentKind())] : nullptr;
}

PerformanceWindowRecord* PerformanceRecordOf(WindowRecord* window)
{
    if (!window || window->kind != kWindowPerformance) return nullptr;
    PerformanceWindowRecord* found = nullptr;
    ForEachNode([&](LinkedList&, PerformanceWindowRecord& node) {
        if (node.window == window) found = &node;
    });
    return found;
}

void PreparePlotPoints(WindowRecord* window, win::HDC dc)
{
    PerformanceWindowRecord* node = PerformanceRecordOf(window);
    if (!node) return;
    PlotRecord& plot = node->view.plot;
    ResetWaveformStore(plot);
    plot.curveCount = plot.builtCurveCount = 0;
    WindowRecord* analysis = AnalysisWindowRecord();
    PlotRecord* measured = analysis ? analysis->plot.get() : nullptr;
    const RunPlan plan = measured ? CurrentRunPlan(measured->store) : RunPlan{};
    if (!measured || measured->curveCount == 0 || !MultiRunPlan(plan)) {
        if (window->window) win::InvalidateRect(window->window, nullptr, 1);
        return;
    }
    const int kind = std::clamp(measured->analysisKind, 0, kAnalysisKindCount - 1);
    if (node->view.autoTitle) node->view.title = FormatPerformancePlotTitle(*node, plan, &measured->store);
    // The record keeps the caption too: the print job shows it as the document's title.
    window->title = WindowCaption(*node);
    if (window->window) win::SetWindowText(window->window, window->title.c_str());

    // One curve per function record; a record whose measured curve or condition cannot be used
    // plots nothing.
    const int count = static_cast<int>(node->functions.size());
    std::vector<std::unique_ptr<PerformanceCondition>> conditions(U(count));
    std::vector<bool> disabled(U(count), false);
    plot.analysisKind = kind;
    for (int i = 0; i < count; ++i) {
        FunctionRecord& f = node->functions[U(i)];
        plot.curves.push_back(std::make_unique<CurveRecord>());
        CurveRecord& curve = *plot.curves.back();
        const int index = FindMeasuredCurve(*measured, f);
        if (index >= 0) {
            f.curveIndex = index;
            if (f.enable) f.failed = 0;
        } else {
            f.failed = 1;
        }
        if (f.xData >= kAxisSourceStepSlot && !AxisSourceInForce(plan, f.xData)) f.xData = FirstSteppedSource(plan);
        const CurveRecord* m = index >= 0 ? measured->curves[U(index)].get() : nullptr;
        SetUpCurve(curve, f, m);
        disabled[U(i)] = !f.enable || index < 0;
        if (!disabled[U(i)]) {
            conditions[U(i)] = std::make_unique<PerformanceCondition>();
            if (conditions[U(i)]->Compile(f.boolean.empty() ? "1" : f.boolean, *measured, kind, window) != 0) {
                disabled[U(i)] = true;
                f.failed = 1;
            }
        }
    }
    plot.curveCount = plot.builtCurveCount = count;
    CompactPlotGroupNumbers(window);
    if (CreateWaveformStore(plot, kWindowPerformance, kind, 1) != 0) {
        ReportMessage("WE", window, kMsgInsufficientMemory);
        return;
    }
    RewindWaveformStore(plot);
    ClearCurveRunMarks(plot);

    const std::string savedStatus = StatusBarShown() ? GetStatusText() : std::string();
    for (int i = 0; i < count; ++i) {
        if (disabled[U(i)]) continue;
        const FunctionRecord& f = node->functions[U(i)];
        CurveRecord& curve = *plot.curves[U(i)];
        const CurveRecord& source = *measured->curves[U(f.curveIndex)];
        const RunSubset subset = ChooseRunSubset(plan, f, f.xData);
        if (subset.Empty()) continue;
        for (std::int64_t run = subset.first; run <= subset.last && run < measured->store.runCount; run += subset.stride) {
            std::int32_t first = 0, last = 0;
            if (RunPointRange(measured->store, source, static_cast<int>(run), first, last))
                ShowProgress(source, curve.name, first);
            PerformanceContext context;
            context.store = &measured->store;
            context.curve = &source;
            context.condition = &conditions[U(i)]->Condition();
            context.run = static_cast<int>(run);
            const int status = EvaluatePerformanceFunction(context, f.function, f.args[0], f.args[1], f.args[2]);
            const double x = RunAxisValue(plan, measured->store, static_cast<std::int32_t>(run), f.xData);
            if (status == 0) StorePoint(plot, curve, x, context.measurement.value, &context.measurement);
            else StorePoint(plot, curve, x, std::numeric_limits<double>::quiet_NaN(), nullptr);
        }
    }
    if (StatusBarShown()) SetStatusText(savedStatus);
    // A curve of gaps only has no Y extent of its own: it scales as an empty plot would.
    for (int i = 0; i < count; ++i) {
        CurveRecord& curve = *plot.curves[U(i)];
        if (curve.dataMin[1] > curve.dataMax[1]) {
            curve.dataMin[1] = 0.0;
            curve.dataMax[1] = 1.0;
        }
        if (curve.dataMin[0] > curve.dataMax[0]) {
            curve.dataMin[0] = 0.0;
            curve.dataMax[0] = 1.0;
        }
    }
    EndWaveformRun(plot, false, RunRecord{});
    if (window->window) {
        FinishPlotsAfterRun(window, dc);
        win::InvalidateRect(window->window, nullptr, 1);
    }
}

void RecomputePerformanceWindows(bool onlyVisible)
{
    std::vector<WindowRecord*> windows;
    ForEachNode([&](LinkedList&, PerformanceWindowRecord& node) {
        if (!node.window || !node.window->window) return;
        if (onlyVisible && !win::IsWindowVisible(node.window->window)) return;
        windows.push_back(node.window);
    });
    for (WindowRecord* w : windows) PreparePlotPoints(w);
}

void HideAllPerformanceWindows()
{
    std::vector<PerformanceWindowRecord*> open;
    ForEachNode([&](LinkedList&, PerformanceWindowRecord& node) {
        if (node.window) open.push_back(&node);
    });
    for (PerformanceWindowRecord* node : open) {
        if (node->window->window) {
            node->view.placement.length = sizeof(win::WINDOWPLACEMENT);
            win::GetWindowPlacement(node->window->window, &node->view.placement);
        }
        node->hidden = 1;
        CloseWindowOf(*node);
    }
}

void RemovePerformanceFunctionRecord(WindowRecord* window, int index, bool prepare)
{
    PerformanceWindowRecord* node = PerformanceRecordOf(window);
    if (!node || index < 0 || index >= static_cast<int>(node->functions.size())) return;
    node->functions.erase(node->functions.begin() + index);
    if (prepare) PreparePlotPoints(window);
}

namespace {

// A new function record with the defaults of the analysis: its axis sources, curve 0 and its
// ranges.
int AppendDefaultFunction(PerformanceWindowRecord& node)
{
    if (AppendPerformanceFunctionRecord(node) != 0) {
        ReportMessage("E", kMsgInsufficientMemory);
        return kMsgAlreadyReported;
    }
    FunctionRecord& f = node.functions.back();
    WindowRecord* analysis = AnalysisWindowRecord();
    const RunPlan plan = analysis ? CurrentRunPlan(analysis->plot->store) : RunPlan{};
    f.xData = Document() ? DefaultAxisSource(plan) : kAxisSourceStepSlot;
    f.zData = plan.temperatureCount > 1 ? kAxisSourceTemperature : 0;
    if (plan.monteCarloActive) f.zData = kAxisSourceCase;
    if (analysis && plan.steppingActive) {
        int chosen = -1;
        for (int k = 0; k < kSteppingCases; ++k)
            if (plan.slotCounts[U(k)] > 0 && (chosen < 0 || !plan.simultaneous)) chosen = k;
        if (chosen >= 0) f.zData = kAxisSourceStepSlot + chosen;
    }
    f.function = 0;
    f.curveIndex = 0;
    if (analysis && analysis->plot->curveCount > 0) {
        const CurveRecord& c = *analysis->plot->curves[0];
        f.expression = c.yExpressionText;
        f.valueFormat = {c.secondValueFormat.text, c.valueFormat.text};
        f.scaleFormat = {c.xScaleFormat, c.yScaleFormat};
        f.rangeMin[kAxisY] = c.dataMin[kWaveformY] <= c.dataMax[kWaveformY] ? c.dataMin[kWaveformY] : c.axisLow[kWaveformY];
        f.rangeMax[kAxisY] = c.dataMin[kWaveformY] <= c.dataMax[kWaveformY] ? c.dataMax[kWaveformY] : c.axisHigh[kWaveformY];
    }
    return 0;
}

}  // namespace

int AddPerformanceWindow()
{
    CircuitDocument* document = Document();
    if (!document) return 0;
    const int kind = CurrentKind();
    if (document->performanceWindows[U(kind)].count >= kMaxPerformanceWindows) return 0;
    PerformanceWindowRecord* node = AppendPerformanceWindow(*document, kind);
    if (!node) {
        ReportMessage("E", kMsgInsufficientMemory);
        return kMsgAlreadyReported;
    }
    if (int rc = AppendDefaultFunction(*node)) {
        ListRemove(document->performanceWindows[U(kind)], node);
        return rc;
    }
    node->hidden = 0;
    WindowRecord* window = CreateWindowFor(*node);
    if (!window) {
        ListRemove(document->performanceWindows[U(kind)], node);
        ReportMessage("E", kMsgInsufficientMemory);
        return kMsgAlreadyReported;
    }
    SyncView(*node, false);
    PreparePlotPoints(window);
    if (OpenPerformancePlotDialog(window, 0, true) == 0) CloseWindowOf(*node);
    return 0;
}

int ChangePerformanceWindow(WindowRecord* window)
{
    PerformanceWindowRecord* node = PerformanceRecordOf(window);
    if (!node || RunControl().running) return 0;
    OpenPerformancePlotDialog(window, 0, false);
    return 0;
}

int DeletePerformanceWindows()
{
    LinkedList* list = PerformanceWindowList();
    if (!list || list->count == 0) return 0;
    ListSelectDesc desc;
    desc.caption = "Delete Performance Window";
    desc.several = true;
    std::vector<PerformanceWindowRecord*> nodes;
    for (PerformanceWindowRecord& node : ListRecords<PerformanceWindowRecord>(*list)) {
        nodes.push_back(&node);
        desc.items.push_back(node.view.title);
    }
    if (RunListSelectDialog(desc) != win::IDOK) return 0;
    std::vector<int> chosen = desc.selection;
    std::sort(chosen.rbegin(), chosen.rend());
    for (int i : chosen) {
        if (i < 0 || U(i) >= nodes.size()) continue;
        PerformanceWindowRecord* node = nodes[U(i)];
        // An open window takes its record with it as it closes.
        node->hidden = 0;
        if (node->window) CloseWindowOf(*node);
        else ListRemove(*list, node);
    }
    return 0;
}

int ShowPerformanceWindow(int index)
{
    LinkedList* list = PerformanceWindowList();
    if (!list || index < 0) return 0;
    int i = 0;
    for (PerformanceWindowRecord& node : ListRecords<PerformanceWindowRecord>(*list)) {
        if (i++ != index) continue;
        if (!node.window) {
            node.hidden = 0;
            WindowRecord* window = CreateWindowFor(node);
            if (!window) return 0;
            PreparePlotPoints(window);
        }
        if (node.window && node.window->window) {
            if (IsFrameMdiChild(node.window->window))
                win::SendMessage(Frame().mdiClient, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(node.window->window), 0);
            else win::BringWindowToTop(node.window->window);
        }
        return 0;
    }
    return 0;
}

int AddPerformancePlot(WindowRecord* window)
{
    PerformanceWindowRecord* node = PerformanceRecordOf(window);
    if (!node) return 0;
    if (int rc = AppendDefaultFunction(*node)) return rc;
    const int added = static_cast<int>(node->functions.size()) - 1;
    PreparePlotPoints(window);
    if (OpenPerformancePlotDialog(window, added, true) == 0 && added < static_cast<int>(node->functions.size()))
        RemovePerformanceFunctionRecord(window, added, true);
    return 0;
}

int DeletePerformancePlots(WindowRecord* window)
{
    PerformanceWindowRecord* node = PerformanceRecordOf(window);
    if (!node || node->functions.empty()) return 0;
    ListSelectDesc desc;
    desc.caption = "Delete Plot";
    desc.several = true;
    for (const FunctionRecord& f : node->functions) desc.items.push_back(PerformanceShortText(f));
    if (RunListSelectDialog(desc) != win::IDOK) return 0;
    std::vector<int> chosen = desc.selection;
    std::sort(chosen.rbegin(), chosen.rend());
    for (int i : chosen) RemovePerformanceFunctionRecord(window, i, false);
    PreparePlotPoints(window);
    return 0;
}

void HidePerformanceWindow(WindowRecord* window)
{
    PerformanceWindowRecord* node = PerformanceRecordOf(window);
    if (!node) return;
    if (window->window) {
        node->view.placement.length = sizeof(win::WINDOWPLACEMENT);
        win::GetWindowPlacement(window->window, &node->view.placement);
    }
    node->hidden = 1;
    CloseWindowOf(*node);
}

void RebuildPerformanceMenu(win::HMENU popup)
{
    std::vector<WindowMenuEntry> entries;
    if (LinkedList* list = PerformanceWindowList()) {
        for (PerformanceWindowRecord& node : ListRecords<PerformanceWindowRecord>(*list))
            entries.push_back({node.view.title.empty() ? "Blank" : node.view.title, node.window != nullptr});
    }
    RebuildWindowMenuEntries(popup, kCmdFirstPerformanceWindow, kCmdLastPerformanceWindow, entries);
}

bool IsPerformanceCommand(int id)
{
    return (id >= kCmdAddPerformanceWindow && id <= kCmdLastPerformanceWindow) || id == kCmdHidePerformanceWindow;
}

int RunPerformanceCommand(WindowRecord* active, int id)
{
    if (id == kCmdAddPerformanceWindow) return AddPerformanceWindow();
    if (id == kCmdChangePerformanceWindow) return ChangePerformanceWindow(active);
    if (id == kCmdDeletePerformanceWindow) return DeletePerformanceWindows();
    if (id >= kCmdFirstPerformanceWindow && id <= kCmdLastPerformanceWindow)
        return ShowPerformanceWindow(id - kCmdFirstPerformanceWindow);
    if (id == kCmdHidePerformanceWindow) HidePerformanceWindow(active);
    if (id == kCmdAddPerformancePlot) return AddPerformancePlot(active);
    if (id == kCmdDeletePerformancePlot) return DeletePerformancePlots(active);
    return 0;
}

namespace {

// The window's popup at a double click: its plots' commands while the analysis makes several
// runs, and always Hide Window.
void ShowPopup(WindowRecord* record, win::LPARAM where)
{
    if (RunControl().running || !record || !record->window) return;
    const win::HMENU menu = win::CreatePopupMenu();
    if (!menu) return;
    WindowRecord* analysis = AnalysisWindowRecord();
    const bool multiRun = analysis && MultiRunPlan(CurrentRunPlan(analysis->plot->store));
    PerformanceWindowRecord* node = PerformanceRecordOf(record);
    if (multiRun && analysis->plot->curveCount > 0) win::AppendMenu(menu, win::MF_STRING, kCmdAddPerformancePlot, "&Add Plot...");
    if (multiRun && node && !node->functions.empty()) {
        win::AppendMenu(menu, win::MF_STRING, kCmdChangePerformanceWindow, "&Characteristics...");
        win::AppendMenu(menu, win::MF_STRING, kCmdDeletePerformancePlot, "&Delete Plot...");
    }
    win::AppendMenu(menu, win::MF_STRING, kCmdHidePerformanceWindow, "&Hide Window");
    win::POINT screen{win::GET_X_LPARAM(where), win::GET_Y_LPARAM(where)};
    win::ClientToScreen(record->window, &screen);
    const int id = static_cast<int>(win::TrackPopupMenu(menu, win::TPM_LEFTALIGN | win::TPM_RETURNCMD, screen.x, screen.y, 0,
                                                         record->window, nullptr));
    win::DestroyMenu(menu);
    if (id != 0) RunPerformanceCommand(record, id);
}

win::LRESULT OnCreate(win::HWND hwnd)
{
    PerformanceWindowRecord* node = PendingNode();
    if (!node) return -1;
    WindowRecord* record = NewWindowRecord(hwnd, kWindowPerformance);
    if (!record) return -1;
    record->flags |= kRecordHoldsPlotObjects;
    record->plot = node->SharedPlot();
    record->title = WindowCaption(*node);
    node->window = record;
    SyncView(*node, true);
    RecreatePlotFont(record, nullptr, true);
    return 0;
}

void OnDestroy(win::HWND hwnd)
{
    WindowRecord* record = GetWindowRecord(hwnd);
    if (!record) return;
    PerformanceWindowRecord* node = PerformanceRecordOf(record);
    ReleasePlotWindowObjects(record);
    if (node) {
        SyncView(*node, false);
        ResetWaveformStore(node->view.plot);
        node->window = nullptr;
        if (!node->hidden) {
            if (LinkedList* list = PerformanceWindowList()) {
                for (PerformanceWindowRecord& n : ListRecords<PerformanceWindowRecord>(*list))
                    if (&n == node) {
                        record->plot.reset();
                        ListRemove(*list, node);
                        break;
                    }
            }
        }
    }
    record->plot.reset();
    FreeWindowRecord(record);
}

}  // namespace

bool RegisterPerformanceClass()
{
    // The analysis window hides the performance windows with it and titles theirs by name.
    PlotWindowServices().hidePerformanceWindows = HideAllPerformanceWindows;
    PlotWindowServices().performanceTitle = [](WindowRecord* window) -> const std::string* {
        const PerformanceWindowRecord* node = PerformanceRecordOf(window);
        return node ? &node->view.title : nullptr;
    };
    // Printed layouts and pictures place the window by its record and draw it as a plot.
    SetLayoutWindowServices(kWindowPerformance,
                            {[](WindowRecord* window) -> PrintPreview* {
                                 PerformanceWindowRecord* record = PerformanceRecordOf(window);
                                 return record ? &record->view.printPreview : nullptr;
                             },
                             [](WindowRecord* window, win::HDC dc, const win::RECT& rect) {
                                 PrintPlotWindow(window, dc, &rect);
                             }});
    return RegisterPlotWindowClass(kPerformanceClassName, PerformanceWndProc, nullptr);
}

void UnregisterPerformanceClass() { win::UnregisterClass(kPerformanceClassName, nullptr); }

win::LRESULT PerformanceWndProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    WindowRecord* record = GetWindowRecord(hwnd);
    switch (message) {
    case win::WM_CREATE: return OnCreate(hwnd);
    case win::WM_DESTROY:
        OnDestroy(hwnd);
        return 0;
    case win::WM_SIZE:
        RecreatePlotFont(record, nullptr, true);
        break;
    case win::WM_PAINT:
        PaintPlotWindow(hwnd);
        return 0;
    case win::WM_ERASEBKGND:
        if (record && record->plot) {
            FillWindowBackground(record, reinterpret_cast<win::HDC>(wParam), nullptr);
            return 1;
        }
        break;
    case win::WM_MOUSEMOVE:
    case win::WM_LBUTTONDOWN:
    case win::WM_LBUTTONUP: ForwardPlotMouseMessage(hwnd, message, wParam, lParam); return 0;
    case win::WM_RBUTTONUP:
        if (PlotMouseIgnored(record)) return 0;
        AutoScaleCurrentPlotGroup(record, true);
        return 0;
    case win::WM_LBUTTONDBLCLK:
        ShowPopup(record, lParam);
        return 0;
    case win::WM_MDIACTIVATE:
        if (reinterpret_cast<win::HWND>(lParam) == hwnd) RefreshToolButtonStates();
        break;
    default: break;
    }
    return PlotWindowDefaultProc(hwnd, message, wParam, lParam);
}

}  // namespace kq5
