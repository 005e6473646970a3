// The Add 3D Plot dialog (also "Change 3D Plot"): what the plot shows, its axes, the fixed run
// values, title, options, patch counts and colours, formats, and the colours of its objects.
#include <algorithm>
#include <string>
#include <vector>

#include "analog/run_control.h"
#include "document/analysis_windows.h"
#include "analyses/graph3d_data.h"
#include "analyses/graph3d_prepare.h"
#include "analyses/graph3d_steps.h"
#include "analyses/graph3d_window.h"
#include "analyses/performance_functions.h"
#include "analyses/run_subset.h"
#include "ui/color_dialog.h"
#include "ui/color_table.h"
#include "ui/dialog_services.h"
#include "ui/settings_font.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "core/char_classes.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/win_messages.h"
#include "platform/window.h"
#include "results/curve_record.h"

namespace kq5 {

namespace {

constexpr int kTemplate = 14587;
constexpr int kPlotPage = 201;
constexpr int kFormatPage = 202;
constexpr int kTestButton = 203;
constexpr int kOptionsPage = 204;
constexpr int kFontButton = 22;
constexpr int kHelpButton = 9;
constexpr int kZCombo = 271;
constexpr int kXCombo = 523;
constexpr int kPerformanceRadio = 275;
constexpr int kExpressionRadio = 276;
constexpr int kFunctionCombo = 524;
constexpr int kCurveCombo = 525;
constexpr int kFirstArgLabel = 100;
constexpr int kFirstArgEdit = 526;
constexpr int kBooleanEdit = 529;
constexpr int kTitleEdit = 278;
constexpr int kAutoTitleCheck = 279;
constexpr int kTemperatureCombo = 501;
constexpr int kFirstSlotLabel = 502;
constexpr int kFirstSlotCombo = 512;
constexpr int kFirstOptionCheck = 281;  // Contour, Background, Axes, Grid, Scales, Isolines, Flash Cursor
constexpr int kPatchesXEdit = 291;
constexpr int kPatchesZEdit = 292;
constexpr int kFirstPatchColor = 312;
constexpr int kObjectsList = 309;
constexpr int kFirstScaleFormat[3] = {296, 301, 306};
constexpr int kFirstValueFormat[3] = {297, 302, 307};

struct Dialog {
    WindowRecord* window = nullptr;
    Graph3DPlot* plot = nullptr;
    bool adding = false;
    Graph3DSources sources;
    const WaveformStore* store = nullptr;
    std::vector<int> axisSources;  // the sources listed by the axis combos, in list order
    std::vector<std::string> curves;
    std::vector<int> colors;
    FontSpec font;
    ColorPaletteGroup palette;
    int page = kPlotPage;
};

std::int32_t* OptionField(Graph3DPlot& plot, int i)
{
    std::int32_t* fields[7] = {&plot.contour, &plot.axisBackground, &plot.axes, &plot.grid,
                               &plot.scales, &plot.isolines, &plot.flashCursor};
    return fields[i];
}

void AddString(win::HWND dialog, int id, const std::string& text)
{
    win::SendDlgItemMessage(dialog, id, win::CB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(text.c_str()));
}

int ComboSelection(win::HWND dialog, int id)
{
    return static_cast<int>(win::SendDlgItemMessage(dialog, id, win::CB_GETCURSEL, 0, 0));
}

void SetCheck(win::HWND dialog, int id, bool on) { win::CheckDlgButton(dialog, id, on ? win::BST_CHECKED : win::BST_UNCHECKED); }
bool Checked(win::HWND dialog, int id) { return win::IsDlgButtonChecked(dialog, id) == win::BST_CHECKED; }

void ShowPage(win::HWND dialog, Dialog& d, int page)
{
    d.page = page;
    ShowDlgItemRange(dialog, 100, 102, page == kPlotPage);
    ShowDlgItemRange(dialog, 270, 279, page == kPlotPage);
    ShowDlgItemRange(dialog, 500, 533, page == kPlotPage);
    ShowDlgItemRange(dialog, 280, 292, page == kOptionsPage);
    ShowDlgItemRange(dialog, 308, 317, page == kOptionsPage);
    ShowDlgItemRange(dialog, kFirstPaletteButton, kFirstPaletteButton + kPaletteButtonCount - 1, page == kOptionsPage);
    ShowDlgItemRange(dialog, 293, 307, page == kFormatPage);
    win::InvalidateRect(dialog, nullptr, 1);
}

bool Performance(win::HWND dialog) { return Checked(dialog, kPerformanceRadio); }

int ChosenSource(win::HWND dialog, const Dialog& d, int combo)
{
    const int i = ComboSelection(dialog, combo);
    return i >= 0 && i < static_cast<int>(d.axisSources.size()) ? d.axisSources[static_cast<std::size_t>(i)] : -1;
}

// A quantity on an axis takes all its values, so its chooser of one fixed value is off; so are
// the slots that simultaneous stepping moves with the first one.
void EnableFixedValues(win::HWND dialog, const Dialog& d)
{
    const RunPlan& plan = d.sources.plan;
    const int z = ChosenSource(dialog, d, kZCombo);
    const int x = Performance(dialog) ? ChosenSource(dialog, d, kXCombo) : kAxisSourceXVariable;
    auto onAxis = [&](int source) { return source == z || source == x; };
    win::EnableWindow(win::GetDlgItem(dialog, kTemperatureCombo),
                      plan.temperatureCount > 1 && !onAxis(kAxisSourceTemperature));
    if (!plan.steppingActive && plan.monteCarloActive) {
        win::EnableWindow(win::GetDlgItem(dialog, kFirstSlotCombo), !onAxis(kAxisSourceCase));
        return;
    }
    bool slotAxis = false;
    for (int k = 0; k < kSteppingCases; ++k) slotAxis = slotAxis || onAxis(kAxisSourceStepSlot + k);
    bool firstInUse = true;
    for (int k = 0; k < kSteppingCases; ++k) {
        const bool used = plan.steppingActive && plan.slotCounts[static_cast<std::size_t>(k)] > 0;
        bool on = used && !onAxis(kAxisSourceStepSlot + k);
        if (used && plan.simultaneous) on = firstInUse && !slotAxis;
        if (used) firstInUse = false;
        win::EnableWindow(win::GetDlgItem(dialog, kFirstSlotCombo + k), on);
    }
}

// The argument labels of the chosen function, and the X combo that Expression mode fixes.
void ShowModeControls(win::HWND dialog, Dialog& d)
{
    const bool performance = Performance(dialog);
    const int function = ComboSelection(dialog, kFunctionCombo);
    const PerformanceFunctionRow* row = PerformanceFunctionRowOf(function);
    for (int i = 0; i < 3; ++i) {
        const char* label = row ? row->labels[static_cast<std::size_t>(i)] : nullptr;
        win::SetDlgItemText(dialog, kFirstArgLabel + i, label ? label : "");
        win::EnableWindow(win::GetDlgItem(dialog, kFirstArgEdit + i), performance && label != nullptr);
    }
    win::EnableWindow(win::GetDlgItem(dialog, kFunctionCombo), performance);
    win::EnableWindow(win::GetDlgItem(dialog, kBooleanEdit), performance);
    win::EnableWindow(win::GetDlgItem(dialog, kXCombo), performance);
    win::SendDlgItemMessage(dialog, kXCombo, win::CB_RESETCONTENT, 0, 0);
    if (performance) {
        for (int source : d.axisSources) AddString(dialog, kXCombo, Graph3DSourceName(d.sources, source, ""));
        const auto at = std::find(d.axisSources.begin(), d.axisSources.end(), d.plot->function.xData);
        win::SendDlgItemMessage(dialog, kXCombo, win::CB_SETCURSEL, at == d.axisSources.end() ? 0 : at - d.axisSources.begin(), 0);
    } else {
        const int curve = ComboSelection(dialog, kCurveCombo);
        PlotRecord* analysis = RunControl().analysisWindow ? RunControl().analysisWindow->plot.get() : nullptr;
        std::string name = "X";
        if (analysis && curve >= 0 && curve < analysis->curveCount) name = analysis->curves[static_cast<std::size_t>(curve)]->xExpressionText;
        AddString(dialog, kXCombo, name);
        win::SendDlgItemMessage(dialog, kXCombo, win::CB_SETCURSEL, 0, 0);
    }
    EnableFixedValues(dialog, d);
}

void FillFixedValues(win::HWND dialog, Dialog& d)
{
    const RunPlan& plan = d.sources.plan;
    const FunctionRecord& f = d.plot->function;
    const int temperatures = std::max(plan.temperatureCount, 1);
    for (int i = 0; i < temperatures; ++i) {
        const double t = temperatures > 1 ? d.sources.temperatureLow +
                                                i * (d.sources.temperatureHigh - d.sources.temperatureLow) / (temperatures - 1)
                                          : d.sources.temperatureLow;
        AddString(dialog, kTemperatureCombo, StrPrintf("%g", t));
    }
    win::SendDlgItemMessage(dialog, kTemperatureCombo, win::CB_SETCURSEL, std::clamp(f.temperatureCase, 0, temperatures - 1), 0);
    if (!plan.steppingActive && plan.monteCarloActive) {
        // Without stepping the first chooser picks the Monte Carlo case.
        win::SetDlgItemText(dialog, kFirstSlotLabel, "Case");
        for (int i = 0; i < std::max(TotalRunCount(plan), 1); ++i) AddString(dialog, kFirstSlotCombo, StrPrintf("Case %d", i + 1));
        win::SendDlgItemMessage(dialog, kFirstSlotCombo, win::CB_SETCURSEL, std::max(f.monteCarloCase, 0), 0);
        for (int k = 1; k < kSteppingCases; ++k) win::EnableWindow(win::GetDlgItem(dialog, kFirstSlotCombo + k), false);
        EnableFixedValues(dialog, d);
        return;
    }
    for (int k = 0; k < kSteppingCases; ++k) {
        const auto slot = static_cast<std::size_t>(k);
        const int count = plan.steppingActive ? plan.slotCounts[slot] : 0;
        win::SetDlgItemText(dialog, kFirstSlotLabel + k, count > 0 ? d.sources.slotName[slot].c_str() : "");
        for (int i = 0; i < count; ++i) AddString(dialog, kFirstSlotCombo + k, StrPrintf("%g", SteppingSlotValue(*d.store, plan, k, i)));
        if (count > 0) win::SendDlgItemMessage(dialog, kFirstSlotCombo + k, win::CB_SETCURSEL, std::clamp(f.steppingCases[slot], 0, count - 1), 0);
    }
    EnableFixedValues(dialog, d);
}

void FillDialog(win::HWND dialog, Dialog& d)
{
    Graph3DPlot& plot = *d.plot;
    const FunctionRecord& f = plot.function;
    if (!d.adding) win::SetWindowText(dialog, "Change 3D Plot");
    SetCheck(dialog, kPerformanceRadio, plot.performance == kGraph3DPerformance);
    SetCheck(dialog, kExpressionRadio, plot.performance != kGraph3DPerformance);
    for (int i = 0; i < kPerformanceFunctionCount; ++i)
        AddString(dialog, kFunctionCombo, std::string(PerformanceFunctionName(i)));
    win::SendDlgItemMessage(dialog, kFunctionCombo, win::CB_SETCURSEL, std::clamp(f.function, 0, kPerformanceFunctionCount - 1), 0);
    int curve = 0;
    for (std::size_t i = 0; i < d.curves.size(); ++i) {
        AddString(dialog, kCurveCombo, d.curves[i]);
        if (EqualsNoCase(d.curves[i], f.expression)) curve = static_cast<int>(i);
    }
    win::SendDlgItemMessage(dialog, kCurveCombo, win::CB_SETCURSEL, curve, 0);
    for (int i = 0; i < 3; ++i) win::SetDlgItemText(dialog, kFirstArgEdit + i, StrPrintf("%g", f.args[static_cast<std::size_t>(i)]).c_str());
    win::SetDlgItemText(dialog, kBooleanEdit, f.boolean.empty() ? "1" : f.boolean.c_str());
    for (int source : d.axisSources) AddString(dialog, kZCombo, Graph3DSourceName(d.sources, source, ""));
    const auto z = std::find(d.axisSources.begin(), d.axisSources.end(), f.zData);
    win::SendDlgItemMessage(dialog, kZCombo, win::CB_SETCURSEL, z == d.axisSources.end() ? 0 : z - d.axisSources.begin(), 0);
    ShowModeControls(dialog, d);
    FillFixedValues(dialog, d);
    win::SetDlgItemText(dialog, kTitleEdit, plot.view.title.c_str());
    SetCheck(dialog, kAutoTitleCheck, plot.view.autoTitle != 0);
    for (int i = 0; i < 7; ++i) SetCheck(dialog, kFirstOptionCheck + i, *OptionField(plot, i) != 0);
    win::SetDlgItemText(dialog, kPatchesXEdit, std::to_string(plot.patchesX).c_str());
    win::SetDlgItemText(dialog, kPatchesZEdit, std::to_string(plot.patchesZ).c_str());
    for (int i = 0; i < 6; ++i) SetCheck(dialog, kFirstPatchColor + i, plot.color == i);
    for (int a = 0; a < 3; ++a) {
        win::SetDlgItemText(dialog, kFirstScaleFormat[a], plot.scaleFormat[static_cast<std::size_t>(a)].c_str());
        win::SetDlgItemText(dialog, kFirstValueFormat[a], plot.valueFormat[static_cast<std::size_t>(a)].c_str());
    }
    d.colors = {plot.view.font.color,         plot.gridColor,           plot.wireGridColor,
                plot.backgroundColor[0],      plot.backgroundColor[1],  plot.backgroundColor[2],
                plot.view.winBackgroundColor};
    const std::vector<std::string> texts = {"Text Color",         "Grid Color",         "Isolines Color",
                                            "X Axis Plane Color", "Y Axis Plane Color", "Z Axis Plane Color",
                                            "Window Background Color"};
    InitColorPalette(d.palette, dialog, texts, kObjectsList, d.colors.data(), static_cast<int>(d.colors.size()),
                     kFirstPaletteButton, 0);
    ShowPage(dialog, d, kPlotPage);
}

int ReadInt(win::HWND dialog, int id, int fallback)
{
    const std::string text = win::GetDlgItemText(dialog, id);
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    return end == text.c_str() ? fallback : static_cast<int>(std::clamp<long>(v, -1000000000L, 1000000000L));
}

// Stores the dialog into the plot and prepares the surface again; false (13785 shown) when X and
// Z would be the same source.
bool Apply(win::HWND dialog, Dialog& d)
{
    Graph3DPlot& plot = *d.plot;
    FunctionRecord& f = plot.function;
    const bool performance = Performance(dialog);
    const int zIndex = ComboSelection(dialog, kZCombo);
    const int xIndex = ComboSelection(dialog, kXCombo);
    const int zSource = zIndex >= 0 && zIndex < static_cast<int>(d.axisSources.size()) ? d.axisSources[static_cast<std::size_t>(zIndex)] : 0;
    const int xSource = !performance ? kAxisSourceXVariable
                        : xIndex >= 0 && xIndex < static_cast<int>(d.axisSources.size()) ? d.axisSources[static_cast<std::size_t>(xIndex)]
                                                                                          : 0;
    if (xSource == zSource) {
        ReportMessage("E", kMsgSame3DAxes);
        return false;
    }
    plot.performance = performance ? kGraph3DPerformance : kGraph3DExpression;
    f.xData = xSource;
    f.zData = zSource;
    f.function = std::max(ComboSelection(dialog, kFunctionCombo), 0);
    const int curve = ComboSelection(dialog, kCurveCombo);
    if (curve >= 0 && curve < static_cast<int>(d.curves.size())) f.expression = d.curves[static_cast<std::size_t>(curve)];
    for (int i = 0; i < 3; ++i) {
        const std::string text = win::GetDlgItemText(dialog, kFirstArgEdit + i);
        char* end = nullptr;
        const double v = std::strtod(text.c_str(), &end);
        if (end != text.c_str()) f.args[static_cast<std::size_t>(i)] = v;
    }
    f.boolean = win::GetDlgItemText(dialog, kBooleanEdit).substr(0, kFunctionBooleanLength);
    f.temperatureCase = std::max(ComboSelection(dialog, kTemperatureCombo), 0);
    if (!d.sources.plan.steppingActive && d.sources.plan.monteCarloActive) {
        f.monteCarloCase = std::max(ComboSelection(dialog, kFirstSlotCombo), 0);
    } else {
        for (int k = 0; k < kSteppingCases; ++k)
            f.steppingCases[static_cast<std::size_t>(k)] = std::max(ComboSelection(dialog, kFirstSlotCombo + k), 0);
    }
    plot.view.autoTitle = Checked(dialog, kAutoTitleCheck) ? 1 : 0;
    plot.view.title = win::GetDlgItemText(dialog, kTitleEdit);
    for (int i = 0; i < 7; ++i) *OptionField(plot, i) = Checked(dialog, kFirstOptionCheck + i) ? 1 : 0;
    const int patchesX = ClampPatchCount(ReadInt(dialog, kPatchesXEdit, plot.patchesX));
    const int patchesZ = ClampPatchCount(ReadInt(dialog, kPatchesZEdit, plot.patchesZ));
    if (patchesX != plot.patchesX || patchesZ != plot.patchesZ) plot.surface.FreeGrid();
    plot.patchesX = patchesX;
    plot.patchesZ = patchesZ;
    win::SetDlgItemText(dialog, kPatchesXEdit, std::to_string(patchesX).c_str());
    win::SetDlgItemText(dialog, kPatchesZEdit, std::to_string(patchesZ).c_str());
    for (int i = 0; i < 6; ++i)
        if (Checked(dialog, kFirstPatchColor + i)) plot.color = i;
    for (int a = 0; a < 3; ++a) {
        const auto axis = static_cast<std::size_t>(a);
        plot.scaleFormat[axis] = win::GetDlgItemText(dialog, kFirstScaleFormat[a]).substr(0, kGraph3DScaleFormatLength);
        plot.valueFormat[axis] = win::GetDlgItemText(dialog, kFirstValueFormat[a]).substr(0, kGraph3DValueFormatLength);
    }
    auto colour = [&](int i) { return static_cast<std::uint8_t>(d.colors[static_cast<std::size_t>(i)]); };
    d.font.color = colour(0);
    plot.view.font = d.font;
    plot.gridColor = colour(1);
    plot.wireGridColor = colour(2);
    plot.backgroundColor = {colour(3), colour(4), colour(5)};
    plot.view.winBackgroundColor = colour(6);
    PrepareGraph3DData(d.window);
    if (d.window && d.window->window) win::InvalidateRect(d.window->window, nullptr, 1);
    return true;
}

win::INT_PTR Graph3DDlgProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    Dialog* d = DialogData<Dialog>(dialog, msg, lParam);
    switch (msg) {
    case win::WM_INITDIALOG:
        if (d) FillDialog(dialog, *d);
        return win::TRUE;
    case win::WM_DRAWITEM:
        return d ? DrawColorPaletteItem(d->palette, *reinterpret_cast<const win::DRAWITEMSTRUCT*>(lParam)) : win::FALSE;
    case win::WM_COMMAND: {
        if (!d) return win::FALSE;
        const int id = static_cast<int>(wParam & 0xFFFF);
        const int code = static_cast<int>((wParam >> 16) & 0xFFFF);
        if (OnColorPaletteClick(d->palette, id)) return win::TRUE;
        switch (id) {
        case kPlotPage:
        case kOptionsPage:
        case kFormatPage: ShowPage(dialog, *d, id); return win::TRUE;
        case kPerformanceRadio:
        case kExpressionRadio: ShowModeControls(dialog, *d); return win::TRUE;
        case kFunctionCombo:
        case kCurveCombo:
            if (code == win::CBN_SELCHANGE) ShowModeControls(dialog, *d);
            return win::TRUE;
        case kZCombo:
        case kXCombo:
            if (code == win::CBN_SELCHANGE) EnableFixedValues(dialog, *d);
            return win::TRUE;
        case kObjectsList:
            if (code == win::LBN_SELCHANGE) RefreshColorPalette(d->palette);
            return win::TRUE;
        case kFontButton: ChooseSettingsFont(dialog, d->font, 0); return win::TRUE;
        case kTestButton: Apply(dialog, *d); return win::TRUE;
        case kHelpButton: ShowDialogHelp(kTemplate); return win::TRUE;
        case win::IDOK:
            if (Apply(dialog, *d)) win::EndDialog(dialog, 1);
            return win::TRUE;
        case win::IDCANCEL: win::EndDialog(dialog, 0); return win::TRUE;
        default: return win::FALSE;
        }
    }
    default: return win::FALSE;
    }
}

}  // namespace

int OpenAdd3DPlotDialog(WindowRecord* window, bool adding)
{
    Graph3DPlot* plot = Graph3DPlotOfWindow(window);
    WindowRecord* analysisWindow = RunControl().analysisWindow;
    if (!plot || !analysisWindow || !analysisWindow->plot) return 0;
    Dialog d;
    d.window = window;
    d.plot = plot;
    d.adding = adding;
    d.font = plot->view.font;
    const PlotRecord& analysis = *analysisWindow->plot;
    d.sources = LiveGraph3DSources(analysis.store);
    d.store = &analysis.store;
    for (int i = 0; i < analysis.curveCount && i < static_cast<int>(analysis.curves.size()); ++i)
        d.curves.push_back(analysis.curves[static_cast<std::size_t>(i)]->yExpressionText);
    for (int source : {kAxisSourceTemperature, kAxisSourceCase})
        if (AxisSourceInForce(d.sources.plan, source)) d.axisSources.push_back(source);
    for (int k = 0; k < kSteppingCases; ++k)
        if (AxisSourceInForce(d.sources.plan, kAxisSourceStepSlot + k)) d.axisSources.push_back(kAxisSourceStepSlot + k);
    return static_cast<int>(RunDialogParam(AppFrameWindow(), kTemplate, Graph3DDlgProc, reinterpret_cast<win::LPARAM>(&d)));
}

}  // namespace kq5
