// The Add Performance Plot / Change Performance Plot dialog: the Plot Characteristics dialog
// with the performance window's title and its function panel on the Plot page.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "analog/run_control.h"
#include "analyses/performance_functions.h"
#include "analyses/graph3d_steps.h"
#include "analyses/performance_window.h"
#include "analyses/stepping.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/format.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/message.h"
#include "platform/window.h"
#include "results/curve_record.h"
#include "plots/plot_characteristics.h"

namespace kq5 {

namespace {

constexpr int kPlotList = 210;
constexpr int kFormatList = 226;
constexpr int kTitleLabel = 221;
constexpr int kTitleEdit = 222;
constexpr int kAutoTitle = 223;
constexpr int kWhatToPlot = 224;
constexpr int kXAxisLabel = 522;
constexpr int kXAxisCombo = 523;
constexpr int kFunctionCombo = 524;
constexpr int kCurveCombo = 525;
constexpr int kBooleanEdit = 526;
constexpr int kFirstArgEdit = 527;
constexpr int kFirstArgLabel = 100;
constexpr int kTemperatureLabel = 545;
constexpr int kTemperatureCombo = 546;
constexpr int kCaseLabel = 547;
constexpr int kCaseCombo = 548;
constexpr int kSlotCombo = 549;
constexpr int kSlotValueCombo = 550;
constexpr int kSaveRangeCheck = 249;
constexpr std::size_t kBooleanDialogLength = 49;

std::size_t U(int i) { return static_cast<std::size_t>(i); }

// The arguments last typed for each function, kept while the program runs.
struct RememberedArguments {
    bool filled = false;
    std::array<std::array<double, 3>, kPerformanceFunctionCount> args{};
};
RememberedArguments& Remembered()
{
    static RememberedArguments r;
    return r;
}

void FillRemembered()
{
    RememberedArguments& r = Remembered();
    if (r.filled) return;
    for (int f = 0; f < kPerformanceFunctionCount; ++f)
        for (int a = 0; a < 3; ++a) r.args[U(f)][U(a)] = kPerformanceFunctionRows[U(f)].defaults[U(a)];
    r.filled = true;
}

void AddComboText(win::HWND dialog, int id, const std::string& text)
{
    win::SendDlgItemMessage(dialog, id, win::CB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(text.c_str()));
}

int ComboSelection(win::HWND dialog, int id)
{
    return static_cast<int>(win::SendDlgItemMessage(dialog, id, win::CB_GETCURSEL, 0, 0));
}

void SelectCombo(win::HWND dialog, int id, int index)
{
    win::SendDlgItemMessage(dialog, id, win::CB_SETCURSEL, static_cast<win::WPARAM>(std::max(index, 0)), 0);
}

struct PanelState {
    WindowRecord* window = nullptr;
    int function = 0;  // the record the panel shows
    int shownFunctionIndex = 0;  // the function chosen in the combo (for the remembered arguments)
    std::vector<FunctionRecord> saved;
    std::string savedTitle;
    std::int32_t savedAutoTitle = 1;
    std::vector<int> sources;  // axis sources listed in the X Axis combo
    std::vector<int> slots;    // stepping slots listed in the slot combo
    std::vector<int> slotChoices;  // per slot of the plan, the value index chosen
    RunPlan plan;
    // The curves' ranges when the dialog opened: a range edited away from them becomes the
    // record's manual range.
    std::vector<std::array<double, 4>> openedRanges;
};

PerformanceWindowRecord* Node(const PanelState& s) { return PerformanceRecordOf(s.window); }

FunctionRecord* Record(PanelState& s)
{
    PerformanceWindowRecord* node = Node(s);
    if (!node || node->functions.empty()) return nullptr;
    s.function = std::clamp(s.function, 0, static_cast<int>(node->functions.size()) - 1);
    return &node->functions[U(s.function)];
}

const PlotRecord* AnalysisPlot()
{
    WindowRecord* w = RunControl().analysisWindow;
    return w && IsLiveWindowRecord(w) && w->plot ? w->plot.get() : nullptr;
}

// Shows the labels and edits of the function's arguments with the remembered values.
void ShowArguments(win::HWND dialog, int function)
{
    const PerformanceFunctionRow* row = PerformanceFunctionRowOf(function);
    for (int a = 0; a < 3; ++a) {
        const char* label = row ? row->labels[U(a)] : nullptr;
        const win::HWND text = win::GetDlgItem(dialog, kFirstArgLabel + a);
        const win::HWND edit = win::GetDlgItem(dialog, kFirstArgEdit + a);
        win::SetWindowText(text, label ? label : "");
        win::ShowWindow(text, label ? win::SW_SHOW : win::SW_HIDE);
        win::ShowWindow(edit, label ? win::SW_SHOW : win::SW_HIDE);
        win::EnableWindow(edit, label != nullptr);
        if (label) win::SetDlgItemText(dialog, kFirstArgEdit + a, StrPrintf("%g", Remembered().args[U(function)][U(a)]).c_str());
    }
}

// The typed arguments become the remembered ones of the function shown.
void StoreTypedArguments(win::HWND dialog, int function)
{
    if (function < 0 || function >= kPerformanceFunctionCount) return;
    for (int a = 0; a < PerformanceArgumentCount(function); ++a) {
        int error = 0;
        const double v = EvalNumberOrExpression(win::GetDlgItemText(dialog, kFirstArgEdit + a), error);
        if (!error) Remembered().args[U(function)][U(a)] = v;
    }
}

void FillSlotValues(win::HWND dialog, PanelState& s)
{
    win::SendDlgItemMessage(dialog, kSlotValueCombo, win::CB_RESETCONTENT, 0, 0);
    const int sel = ComboSelection(dialog, kSlotCombo);
    if (sel < 0 || U(sel) >= s.slots.size()) return;
    const int slot = s.slots[U(sel)];
    // The values the runs were made with, as the 3-D dialog lists them: a user picks 2u, not "2".
    const PlotRecord* plot = AnalysisPlot();
    for (int v = 0; v < s.plan.slotCounts[U(slot)]; ++v)
        AddComboText(dialog, kSlotValueCombo,
                     plot ? StrPrintf("%g", SteppingSlotValue(plot->store, s.plan, slot, v)) : StrPrintf("%d", v + 1));
    SelectCombo(dialog, kSlotValueCombo, s.slotChoices[U(slot)]);
}

// Shows the record in the panel.
void ShowRecord(win::HWND dialog, PanelState& s)
{
    FunctionRecord* f = Record(s);
    if (!f) return;
    FillRemembered();
    s.shownFunctionIndex = std::clamp(f->function, 0, kPerformanceFunctionCount - 1);
    for (int a = 0; a < PerformanceArgumentCount(s.shownFunctionIndex); ++a)
        Remembered().args[U(s.shownFunctionIndex)][U(a)] = f->args[U(a)];
    SelectCombo(dialog, kFunctionCombo, s.shownFunctionIndex);
    int curve = -1;
    if (const PlotRecord* plot = AnalysisPlot()) {
        for (int i = 0; i < plot->curveCount && curve < 0; ++i)
            if (EqualsNoCase(plot->curves[U(i)]->yExpressionText, f->expression)) curve = i;
        if (curve < 0 && f->curveIndex < plot->curveCount) curve = f->curveIndex;
    }
    SelectCombo(dialog, kCurveCombo, std::max(curve, 0));
    win::SetDlgItemText(dialog, kBooleanEdit, f->boolean.c_str());
    ShowArguments(dialog, s.shownFunctionIndex);
    const auto source = std::find(s.sources.begin(), s.sources.end(), f->xData);
    SelectCombo(dialog, kXAxisCombo, source == s.sources.end() ? 0 : static_cast<int>(source - s.sources.begin()));
    SelectCombo(dialog, kTemperatureCombo, f->temperatureCase);
    SelectCombo(dialog, kCaseCombo, f->monteCarloCase);
    for (int k = 0; k < kSteppingCases; ++k) s.slotChoices[U(k)] = f->steppingCases[U(k)];
    FillSlotValues(dialog, s);
}

// Reads the panel into the record: function, curve, condition, arguments, axis and choices.
void ReadRecord(win::HWND dialog, PanelState& s)
{
    FunctionRecord* f = Record(s);
    if (!f) return;
    const int function = ComboSelection(dialog, kFunctionCombo);
    if (function >= 0) f->function = function;
    StoreTypedArguments(dialog, f->function);
    const int curve = ComboSelection(dialog, kCurveCombo);
    if (const PlotRecord* plot = AnalysisPlot(); plot && curve >= 0 && curve < plot->curveCount) {
        f->curveIndex = curve;
        f->expression = plot->curves[U(curve)]->yExpressionText;
    }
    std::string condition = win::GetDlgItemText(dialog, kBooleanEdit);
    if (condition.size() > kBooleanDialogLength) condition.resize(kBooleanDialogLength);
    f->boolean = condition;
    for (int a = 0; a < 3; ++a) f->args[U(a)] = Remembered().args[U(f->function)][U(a)];
    const int source = ComboSelection(dialog, kXAxisCombo);
    if (source >= 0 && U(source) < s.sources.size()) f->xData = s.sources[U(source)];
    if (int t = ComboSelection(dialog, kTemperatureCombo); t >= 0) f->temperatureCase = t;
    if (int c = ComboSelection(dialog, kCaseCombo); c >= 0) f->monteCarloCase = c;
    if (int v = ComboSelection(dialog, kSlotValueCombo); v >= 0) {
        const int sel = ComboSelection(dialog, kSlotCombo);
        if (sel >= 0 && U(sel) < s.slots.size()) s.slotChoices[U(s.slots[U(sel)])] = v;
    }
    for (int k = 0; k < kSteppingCases; ++k) f->steppingCases[U(k)] = s.slotChoices[U(k)];
    f->failed = 0;
    f->enable = 1;
}

// The look the dialog edited on the curves goes into the function records, which make the
// curves again.
void CurvesToRecords(PanelState& s)
{
    PerformanceWindowRecord* node = Node(s);
    if (!node || !s.window->plot) return;
    const PlotRecord& plot = *s.window->plot;
    for (std::size_t i = 0; i < node->functions.size() && i < plot.curves.size(); ++i) {
        FunctionRecord& f = node->functions[i];
        const CurveRecord& c = *plot.curves[i];
        f.color = static_cast<std::uint8_t>(c.color);
        f.lineWidth = c.lineWidth;
        f.plotNumber = c.plotGroup;
        for (int a = 0; a < 2; ++a) {
            if (c.rangeMode[U(a)] == kRangeAutoScaled) {
                f.autoScale[U(a)] = 1;
                continue;
            }
            const bool edited = i >= s.openedRanges.size() || s.openedRanges[i][U(a)] != c.axisLow[U(a)] ||
                                s.openedRanges[i][U(2 + a)] != c.axisHigh[U(a)];
            if (!edited) continue;
            f.autoScale[U(a)] = 0;
            f.rangeMin[U(a)] = c.axisLow[U(a)];
            f.rangeMax[U(a)] = c.axisHigh[U(a)];
        }
        f.scaleFormat = {c.xScaleFormat, c.yScaleFormat};
        f.valueFormat = {c.secondValueFormat.text, c.valueFormat.text};
    }
}

void Init(win::HWND dialog, PanelState& s)
{
    PerformanceWindowRecord* node = Node(s);
    if (!node) return;
    for (int f = 0; f < kPerformanceFunctionCount; ++f) AddComboText(dialog, kFunctionCombo, std::string(PerformanceFunctionName(f)));
    if (const PlotRecord* plot = AnalysisPlot())
        for (int i = 0; i < plot->curveCount; ++i) AddComboText(dialog, kCurveCombo, plot->curves[U(i)]->yExpressionText);
    win::SendDlgItemMessage(dialog, kBooleanEdit, win::EM_LIMITTEXT, 50, 0);
    win::SetDlgItemText(dialog, kTitleEdit, node->view.title.c_str());
    win::CheckDlgButton(dialog, kAutoTitle, node->view.autoTitle ? win::BST_CHECKED : win::BST_UNCHECKED);
    // The axis sources the analysis made, and the fixed values of the others.
    for (int source : {kAxisSourceTemperature, kAxisSourceCase}) {
        if (!AxisSourceInForce(s.plan, source)) continue;
        s.sources.push_back(source);
    }
    for (int k = 0; k < kSteppingCases; ++k) {
        if (!AxisSourceInForce(s.plan, kAxisSourceStepSlot + k)) continue;
        s.sources.push_back(kAxisSourceStepSlot + k);
        s.slots.push_back(k);
        AddComboText(dialog, kSlotCombo, AxisSourceName(kAxisSourceStepSlot + k));
    }
    for (int source : s.sources) AddComboText(dialog, kXAxisCombo, AxisSourceName(source));
    const PlotRecord* plot = AnalysisPlot();
    const std::int64_t group = RunsPerTemperatureGroup(s.plan);
    for (int t = 0; t < s.plan.temperatureCount; ++t) {
        const std::int64_t run = group * t;
        const bool stored = plot && run < static_cast<std::int64_t>(plot->store.runs.size()) && run < plot->store.runCount;
        AddComboText(dialog, kTemperatureCombo, stored ? StrPrintf("%g", plot->store.runs[U(static_cast<int>(run))].temperature)
                                                       : StrPrintf("%d", t + 1));
    }
    if (s.plan.monteCarloActive)
        for (int c = 0; c < TotalRunCount(s.plan); ++c) AddComboText(dialog, kCaseCombo, StrPrintf("%d", c + 1));
    SelectCombo(dialog, kSlotCombo, 0);
    win::SendDlgItemMessage(dialog, kPlotList, win::LB_SETCURSEL, static_cast<win::WPARAM>(s.function), 0);
    ShowRecord(dialog, s);
}

void ShowPanel(win::HWND dialog, const PanelState& s, bool plotPage)
{
    auto show = [&](int id, bool on) {
        if (win::HWND item = win::GetDlgItem(dialog, id)) win::ShowWindow(item, on ? win::SW_SHOW : win::SW_HIDE);
    };
    for (int id : {kTitleLabel, kTitleEdit, kAutoTitle, kWhatToPlot, kXAxisLabel, kXAxisCombo, kFunctionCombo, kCurveCombo,
                   kBooleanEdit, 531, 532, 533})
        show(id, plotPage);
    show(kTemperatureLabel, plotPage && s.plan.temperatureCount > 1);
    show(kTemperatureCombo, plotPage && s.plan.temperatureCount > 1);
    show(kCaseLabel, plotPage && s.plan.monteCarloActive);
    show(kCaseCombo, plotPage && s.plan.monteCarloActive);
    show(kSlotCombo, plotPage && !s.slots.empty());
    show(kSlotValueCombo, plotPage && !s.slots.empty());
    show(kSaveRangeCheck, false);
    const PerformanceFunctionRow* row = PerformanceFunctionRowOf(s.shownFunctionIndex);
    for (int a = 0; a < 3; ++a) {
        const bool on = plotPage && row && row->labels[U(a)];
        show(kFirstArgLabel + a, on);
        show(kFirstArgEdit + a, on);
    }
}

bool OnCommand(win::HWND dialog, PanelState& s, int id, int code)
{
    switch (id) {
    case kPlotList:
        if (code == win::LBN_SELCHANGE) {
            ReadRecord(dialog, s);
            s.function = static_cast<int>(win::SendDlgItemMessage(dialog, kPlotList, win::LB_GETCURSEL, 0, 0));
            ShowRecord(dialog, s);
        }
        return false;
    case kFunctionCombo:
        if (code == win::CBN_SELCHANGE) {
            StoreTypedArguments(dialog, s.shownFunctionIndex);
            s.shownFunctionIndex = std::max(ComboSelection(dialog, kFunctionCombo), 0);
            ShowArguments(dialog, s.shownFunctionIndex);
        }
        return true;
    case kSlotCombo:
        if (code == win::CBN_SELCHANGE) FillSlotValues(dialog, s);
        return true;
    case kSlotValueCombo:
        if (code == win::CBN_SELCHANGE) {
            const int sel = ComboSelection(dialog, kSlotCombo);
            if (sel >= 0 && U(sel) < s.slots.size()) s.slotChoices[U(s.slots[U(sel)])] = ComboSelection(dialog, kSlotValueCombo);
        }
        return true;
    default: return false;
    }
}

// The Plots and Format lists name each plot by its function's text: after Test they name the
// functions as they now stand.
void RenamePlotListEntries(win::HWND dialog, const PerformanceWindowRecord& node)
{
    for (int list : {kPlotList, kFormatList}) {
        const auto count = static_cast<std::size_t>(std::max<win::LRESULT>(win::SendDlgItemMessage(dialog, list, win::LB_GETCOUNT, 0, 0), 0));
        const win::LRESULT selected = win::SendDlgItemMessage(dialog, list, win::LB_GETCURSEL, 0, 0);
        for (std::size_t i = 0; i < count && i < node.functions.size(); ++i) {
            const std::string text = PerformanceShortText(node.functions[i]);
            win::SendDlgItemMessage(dialog, list, win::LB_DELETESTRING, i, 0);
            win::SendDlgItemMessage(dialog, list, win::LB_INSERTSTRING, i, reinterpret_cast<win::LPARAM>(text.c_str()));
        }
        win::SendDlgItemMessage(dialog, list, win::LB_SETCURSEL, static_cast<win::WPARAM>(selected), 0);
    }
}

void Apply(win::HWND dialog, PanelState& s, int mode)
{
    PerformanceWindowRecord* node = Node(s);
    if (!node) return;
    if (mode == 2) {
        node->functions = s.saved;
        node->view.title = s.savedTitle;
        node->view.autoTitle = s.savedAutoTitle;
    } else {
        CurvesToRecords(s);
        ReadRecord(dialog, s);
        node->view.autoTitle = win::IsDlgButtonChecked(dialog, kAutoTitle) == win::BST_CHECKED ? 1 : 0;
        if (!node->view.autoTitle) node->view.title = win::GetDlgItemText(dialog, kTitleEdit);
    }
    PreparePlotPoints(s.window);
    if (mode == 203) {
        win::SetDlgItemText(dialog, kTitleEdit, node->view.title.c_str());
        RenamePlotListEntries(dialog, *node);
    }
}

}  // namespace

int OpenPerformancePlotDialog(WindowRecord* window, int function, bool adding)
{
    PerformanceWindowRecord* node = PerformanceRecordOf(window);
    if (!node || !window->plot) return 0;
    PanelState s;
    s.window = window;
    s.function = function;
    s.saved = node->functions;
    s.savedTitle = node->view.title;
    s.savedAutoTitle = node->view.autoTitle;
    s.slotChoices.assign(kSteppingCases, 0);
    if (const PlotRecord* plot = AnalysisPlot()) s.plan = CurrentRunPlan(plot->store);
    for (const auto& c : window->plot->curves)
        s.openedRanges.push_back({c->axisLow[0], c->axisLow[1], c->axisHigh[0], c->axisHigh[1]});
    CharacteristicsExtension extension;
    extension.templateId = kPerformancePlotTemplate;
    extension.caption = adding ? "Add Performance Plot" : "Change Performance Plot";
    extension.init = [&s](win::HWND dialog) { Init(dialog, s); };
    extension.showPlotPage = [&s](win::HWND dialog, bool plotPage) { ShowPanel(dialog, s, plotPage); };
    extension.command = [&s](win::HWND dialog, int id, int code) { return OnCommand(dialog, s, id, code); };
    extension.apply = [&s](win::HWND dialog, int mode) { Apply(dialog, s, mode); };
    return OpenPlotCharacteristics(window, extension);
}

}  // namespace kq5
