// The commands of the Monte Carlo windows: Add Histogram (17157), Change Histogram (17163, the
// dialog 17159) and Delete Histograms (17181).
#include <algorithm>
#include <string>
#include <vector>

#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "analyses/histogram.h"
#include "analyses/monte_carlo.h"
#include "analyses/monte_carlo_models.h"
#include "analyses/performance_functions.h"
#include "results/run_state.h"
#include "ui/color_dialog.h"
#include "ui/color_table.h"
#include "ui/help_bar.h"
#include "ui/settings_font.h"
#include "ui/window_record_utils.h"
#include "ui/dialog_services.h"
#include "ui/window_record.h"
#include "core/engineering_numbers.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "results/curve_record.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/win_styles.h"
#include "platform/window.h"

namespace kq5 {

namespace {

constexpr int kFunctionTemplate = 17159;
constexpr int kEditTitle = 271;
constexpr int kCheckAuto = 272;
constexpr int kEditFormat = 274;
constexpr int kButtonTest = 203;
constexpr int kButtonColorPane = 200;
constexpr int kButtonPlotPane = 201;
constexpr int kButtonFont = 22;
constexpr int kObjectsGroup = 275;
constexpr int kColorGroup = 277;
constexpr int kObjectsList = 278;
constexpr int kWhatToPlotGroup = 520;
constexpr int kComboFunction = 524;
constexpr int kComboCurve = 525;
constexpr int kEditBoolean = 526;
constexpr int kFirstArgument = 527;
constexpr int kFirstArgumentLabel = 531;
constexpr int kComboTemperature = 500;
constexpr int kTemperatureLabel = 530;
constexpr int kMsgNew = 17498;
constexpr std::size_t kTitleLength = 159;
constexpr int kMaxHistograms = 10;

struct FunctionDialog {
    MonteCarloWindowRecord* record = nullptr;
    bool add = false;
    // The record as the dialog found it, for Cancel.
    FunctionRecord function;
    std::string title;
    std::int32_t autoTitle = 1;
    std::string format;
    std::string lowText, highText;
    std::int32_t runBlock = 0;
    double smallest = 0.0, largest = 0.0;
    FontSpec font;
    std::array<std::uint8_t, 5> look{};  // grid, background, fore, shadow, window background

    // The dialog's working copies: the Font button and the colour pane change these, Test and
    // OK hand them to the record.
    FontSpec chosenFont;
    std::vector<int> colors;
    ColorPaletteGroup palette;
    HelpBar bar;
};

// The objects of the colour pane, in the order of the dialog's colours.
const std::vector<std::string>& ObjectNames()
{
    static const std::vector<std::string> names = {"Text Color",       "Grid Color",
                                                   "Bar Color",        "Bar Shadow Color",
                                                   "Graph Background Color", "Window Background Color"};
    return names;
}

std::array<std::uint8_t, 5> LookOf(const MonteCarloWindowRecord& record)
{
    return {record.gridColor, record.backgroundColor, record.foreColor, record.shadowColor, record.view.winBackgroundColor};
}

void SetLook(MonteCarloWindowRecord& record, const std::array<std::uint8_t, 5>& look)
{
    record.gridColor = look[0];
    record.backgroundColor = look[1];
    record.foreColor = look[2];
    record.shadowColor = look[3];
    record.view.winBackgroundColor = look[4];
}

// The window and its children show the record's look again.
void RedrawLook(MonteCarloWindowRecord& record)
{
    if (record.windowRecord && record.windowRecord->window)
        win::RedrawWindow(record.windowRecord->window, nullptr, nullptr,
                          win::RDW_INVALIDATE | win::RDW_ERASE | win::RDW_ALLCHILDREN);
}


LinkedList* CurrentList()
{
    CircuitDocument* document = MonteCarloDocument();
    const int kind = Analysis().analysisKind;
    if (!document || kind < 0 || kind >= kAnalysisKindCount) return nullptr;
    return &document->monteCarloWindows[static_cast<std::size_t>(kind)];
}

PlotRecord* AnalysisPlot()
{
    WindowRecord* window = RunControl().analysisWindow;
    return window && window->plot ? window->plot.get() : nullptr;
}

void Extremes(const MonteCarloWindowRecord& record, double& smallest, double& largest)
{
    smallest = largest = 0.0;
    if (record.values.empty()) return;
    const auto [lo, hi] = std::minmax_element(record.values.begin(), record.values.end());
    smallest = *lo;
    largest = *hi;
}

int ChosenFunction(win::HWND dialog)
{
    return static_cast<int>(win::SendDlgItemMessage(dialog, kComboFunction, win::CB_GETCURSEL, 0, 0));
}

// The temperature chosen in the dialog; the record's own without a temperature list.
int ChosenTemperature(win::HWND dialog, const MonteCarloWindowRecord& record)
{
    const int chosen = static_cast<int>(win::SendDlgItemMessage(dialog, kComboTemperature, win::CB_GETCURSEL, 0, 0));
    return chosen >= 0 ? chosen : MonteCarloTemperatureBlock(record);
}

// The argument edits of the chosen function, labelled by its labels; the others hidden.
void ShowArguments(win::HWND dialog, int function, bool defaults)
{
    const PerformanceFunctionRow* row = PerformanceFunctionRowOf(function);
    for (int i = 0; i < 3; ++i) {
        const char* label = row ? row->labels[static_cast<std::size_t>(i)] : nullptr;
        const int show = label ? win::SW_SHOW : win::SW_HIDE;
        win::ShowWindow(win::GetDlgItem(dialog, kFirstArgumentLabel + i), show);
        win::ShowWindow(win::GetDlgItem(dialog, kFirstArgument + i), show);
        if (label) win::SetDlgItemText(dialog, kFirstArgumentLabel + i, label);
        if (label && defaults)
            win::SetDlgItemText(dialog, kFirstArgument + i, StrPrintf("%d", row->defaults[static_cast<std::size_t>(i)]).c_str());
    }
}

void ShowPane(win::HWND dialog, int pane)
{
    const bool plot = pane == kButtonPlotPane;
    ShowDlgItemRange(dialog, kWhatToPlotGroup, kWhatToPlotGroup + 3, plot);
    ShowDlgItemRange(dialog, kComboFunction, kEditBoolean, plot);
    // Only the arguments the chosen function has come back with the plot pane.
    if (plot) ShowArguments(dialog, ChosenFunction(dialog), false);
    else {
        ShowDlgItemRange(dialog, kFirstArgument, kFirstArgument + 2, false);
        ShowDlgItemRange(dialog, kFirstArgumentLabel, kFirstArgumentLabel + 2, false);
    }
    for (int id : {kObjectsGroup, kColorGroup, kObjectsList}) win::ShowWindow(win::GetDlgItem(dialog, id), plot ? win::SW_HIDE : win::SW_SHOW);
    ShowDlgItemRange(dialog, kFirstPaletteButton, kFirstPaletteButton + kPaletteButtonCount - 1, !plot);
    win::InvalidateRect(dialog, nullptr, 1);
}

// Reads the fields into a function record; false (after a message) keeps the dialog open.
bool ReadFields(win::HWND dialog, MonteCarloWindowRecord& record)
{
    FunctionRecord f = record.function;
    f.function = ChosenFunction(dialog);
    const int curve = static_cast<int>(win::SendDlgItemMessage(dialog, kComboCurve, win::CB_GETCURSEL, 0, 0));
    const PlotRecord* plot = AnalysisPlot();
    if (plot && curve >= 0 && curve < plot->curveCount)
        f.expression = plot->curves[static_cast<std::size_t>(curve)]->yExpressionText;
    f.boolean = win::GetDlgItemText(dialog, kEditBoolean).substr(0, 49);
    if (f.boolean.empty()) f.boolean = "1";
    for (int i = 0; i < PerformanceArgumentCount(f.function); ++i) {
        const std::string text = win::GetDlgItemText(dialog, kFirstArgument + i);
        const double value = ParseNumber(text);
        if (ParseError() || text.empty()) {
            win::MessageBeep(0);
            win::SetFocus(win::GetDlgItem(dialog, kFirstArgument + i));
            return false;
        }
        f.args[static_cast<std::size_t>(i)] = value;
    }
    record.function = f;
    record.runBlock = ChosenTemperature(dialog, record);
    record.view.autoTitle = win::IsDlgButtonChecked(dialog, kCheckAuto) ? 1 : 0;
    record.view.title = win::GetDlgItemText(dialog, kEditTitle).substr(0, kTitleLength);
    record.format = win::GetDlgItemText(dialog, kEditFormat).substr(0, kMonteCarloFormatLength);
    return true;
}

void UpdateAutoTitle(win::HWND dialog, FunctionDialog& state)
{
    const bool automatic = win::IsDlgButtonChecked(dialog, kCheckAuto) != 0;
    win::SendDlgItemMessage(dialog, kEditTitle, win::EM_SETREADONLY, automatic ? 1 : 0, 0);
    if (!automatic) return;
    MonteCarloWindowRecord probe;
    probe.function = state.record->function;
    probe.function.function = ChosenFunction(dialog);
    const int curve = static_cast<int>(win::SendDlgItemMessage(dialog, kComboCurve, win::CB_GETCURSEL, 0, 0));
    if (const PlotRecord* plot = AnalysisPlot(); plot && curve >= 0 && curve < plot->curveCount)
        probe.function.expression = plot->curves[static_cast<std::size_t>(curve)]->yExpressionText;
    probe.function.boolean = win::GetDlgItemText(dialog, kEditBoolean);
    for (int i = 0; i < PerformanceArgumentCount(probe.function.function); ++i)
        probe.function.args[static_cast<std::size_t>(i)] = ParseNumber(win::GetDlgItemText(dialog, kFirstArgument + i));
    const std::string temperature =
        MonteCarloTemperatureText(ChosenTemperature(dialog, *state.record), RunControl().analysisWindow);
    win::SetDlgItemText(dialog, kEditTitle, MonteCarloFunctionTitle(probe, temperature).c_str());
}

// Test and OK: the record takes the fields and the window shows the new values. Low and High
// set by the user stay while the data keep their range.
bool Apply(win::HWND dialog, FunctionDialog& state)
{
    MonteCarloWindowRecord& record = *state.record;
    if (!ReadFields(dialog, record)) return false;
    auto colour = [&](std::size_t i) { return static_cast<std::uint8_t>(state.colors[i]); };
    record.view.font = state.chosenFont;
    record.view.font.color = colour(0);
    SetLook(record, {colour(1), colour(4), colour(2), colour(3), colour(5)});
    RedrawLook(record);
    const std::string low = record.lowText, high = record.highText;
    ComputeMonteCarloValues(record, RunControl().analysisWindow);
    double smallest = 0.0, largest = 0.0;
    Extremes(record, smallest, largest);
    if (smallest == state.smallest && largest == state.largest && !low.empty() && !high.empty()) {
        record.lowText = low;
        record.highText = high;
        record.rangeFromData = false;
    }
    if (record.windowRecord && record.windowRecord->window) win::InvalidateRect(record.windowRecord->window, nullptr, 1);
    RecomputeMonteCarloWindows(false);
    return true;
}

void FillDialog(win::HWND dialog, FunctionDialog& state)
{
    const MonteCarloWindowRecord& record = *state.record;
    if (!state.add) win::SetWindowText(dialog, "Change Monte Carlo Function");
    for (int i = 0; i < kPerformanceFunctionCount; ++i)
        win::SendDlgItemMessage(dialog, kComboFunction, win::CB_ADDSTRING, 0,
                                reinterpret_cast<win::LPARAM>(std::string(PerformanceFunctionName(i)).c_str()));
    win::SendDlgItemMessage(dialog, kComboFunction, win::CB_SETCURSEL, static_cast<win::WPARAM>(std::max(record.function.function, 0)), 0);
    int chosenCurve = 0;
    if (const PlotRecord* plot = AnalysisPlot()) {
        for (int i = 0; i < plot->curveCount; ++i) {
            const std::string& text = plot->curves[static_cast<std::size_t>(i)]->yExpressionText;
            win::SendDlgItemMessage(dialog, kComboCurve, win::CB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(text.c_str()));
            if (text == record.function.expression) chosenCurve = i;
        }
    }
    win::SendDlgItemMessage(dialog, kComboCurve, win::CB_SETCURSEL, static_cast<win::WPARAM>(chosenCurve), 0);
    win::SetDlgItemText(dialog, kEditBoolean, record.function.boolean.empty() ? "1" : record.function.boolean.c_str());
    ShowArguments(dialog, record.function.function, false);
    for (int i = 0; i < 3; ++i)
        win::SetDlgItemText(dialog, kFirstArgument + i, StrPrintf("%g", record.function.args[static_cast<std::size_t>(i)]).c_str());
    win::SetDlgItemText(dialog, kEditFormat, record.format.c_str());
    // The temperature whose runs are measured, offered only with a temperature list.
    const int temperatures = RunState().temperatureCount;
    for (int b = 0; b < temperatures && temperatures > 1; ++b)
        win::SendDlgItemMessage(dialog, kComboTemperature, win::CB_ADDSTRING, 0,
                                reinterpret_cast<win::LPARAM>(MonteCarloTemperatureText(b, RunControl().analysisWindow).c_str()));
    if (temperatures > 1)
        win::SendDlgItemMessage(dialog, kComboTemperature, win::CB_SETCURSEL,
                                static_cast<win::WPARAM>(MonteCarloTemperatureBlock(record)), 0);
    for (int id : {kComboTemperature, kTemperatureLabel})
        win::ShowWindow(win::GetDlgItem(dialog, id), temperatures > 1 ? win::SW_SHOW : win::SW_HIDE);
    win::SetDlgItemText(dialog, kEditTitle, record.view.title.c_str());
    win::CheckDlgButton(dialog, kCheckAuto, record.view.autoTitle ? win::BST_CHECKED : win::BST_UNCHECKED);
    UpdateAutoTitle(dialog, state);
    state.chosenFont = record.view.font;
    state.colors = {record.view.font.color, record.gridColor,       record.foreColor,
                    record.shadowColor,     record.backgroundColor, record.view.winBackgroundColor};
    InitColorPalette(state.palette, dialog, ObjectNames(), kObjectsList, state.colors.data(),
                     static_cast<int>(state.colors.size()), kFirstPaletteButton, 0);
    ShowPane(dialog, kButtonPlotPane);
    // While the help bar is on, the dialog has one of its own along its foot.
    if (HelpBarOption() && CreateStatusBar(dialog, state.bar)) {
        ExtendDialogForHelpBar(state.bar);
        win::RECT client{};
        win::GetClientRect(dialog, &client);
        PositionStatusBar(state.bar, client.right, client.bottom);
    }
}

bool IsButton(int id)
{
    for (int button : {win::IDOK, win::IDCANCEL, kButtonTest, kButtonFont, kDialogHelpButton, kButtonPlotPane,
                       kButtonColorPane, kCheckAuto})
        if (id == button) return true;
    return false;
}
bool IsEdit(int id) { return id == kEditTitle || id == kEditFormat || id == kEditBoolean || (id >= kFirstArgument && id < kFirstArgument + 3); }
bool IsCombo(int id) { return id == kComboFunction || id == kComboCurve || id == kComboTemperature; }

void EndFunctionDialog(win::HWND dialog, FunctionDialog& state, int result)
{
    DetachHelpBar(state.bar);
    CloseDialog(dialog, result);
}

void Restore(FunctionDialog& state)
{
    MonteCarloWindowRecord& record = *state.record;
    record.function = state.function;
    record.view.title = state.title;
    record.view.autoTitle = state.autoTitle;
    record.format = state.format;
    record.runBlock = state.runBlock;
    record.view.font = state.font;
    SetLook(record, state.look);
    RedrawLook(record);
    ComputeMonteCarloValues(record, RunControl().analysisWindow);
    record.lowText = state.lowText;
    record.highText = state.highText;
    record.rangeFromData = state.lowText.empty();
    RecomputeMonteCarloWindows(false);
}

win::INT_PTR MonteCarloFunctionDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    FunctionDialog* state = DialogData<FunctionDialog>(dialog, message, lParam);
    switch (message) {
    case win::WM_INITDIALOG:
        PlaceDialog(dialog, false, nullptr);
        if (state) FillDialog(dialog, *state);
        return 1;
    case win::WM_DRAWITEM:
        return state ? DrawColorPaletteItem(state->palette, *reinterpret_cast<const win::DRAWITEMSTRUCT*>(lParam)) : 0;
    case win::WM_SETCURSOR:
        // The help bar names the control under the pointer, and (below) the one taking the focus.
        if (state && state->bar.window) ShowDlgControlHelp(&state->bar, win::GetDlgCtrlID(reinterpret_cast<win::HWND>(wParam)));
        return 0;
    case win::WM_COMMAND: {
        if (!state) return 0;
        const int id = win::LOWORD(wParam);
        const int code = win::HIWORD(wParam);
        // The buttons tell of focus changes too (for the help bar); only a click is a command.
        if (IsButton(id) && code != win::BN_CLICKED) {
            if (code == win::BN_SETFOCUS && state->bar.window) ShowDlgControlHelp(&state->bar, id);
            return 1;
        }
        if (state->bar.window && ((IsEdit(id) && code == win::EN_SETFOCUS) || (IsCombo(id) && code == win::CBN_SETFOCUS) ||
                                  (id == kObjectsList && code == win::LBN_SETFOCUS)))
            ShowDlgControlHelp(&state->bar, id);
        if (OnColorPaletteClick(state->palette, id)) return 1;
        if (id == kButtonPlotPane || id == kButtonColorPane) {
            ShowPane(dialog, id);
            return 1;
        }
        if (id == kObjectsList) {
            if (code == win::LBN_SELCHANGE) RefreshColorPalette(state->palette);
            return 1;
        }
        if (id == kButtonFont) {
            ChooseSettingsFont(dialog, state->chosenFont, 0);
            return 1;
        }
        if (id == kComboFunction && code == win::CBN_SELCHANGE) {
            ShowArguments(dialog, ChosenFunction(dialog), true);
            UpdateAutoTitle(dialog, *state);
            return 1;
        }
        if (((id == kComboCurve || id == kComboTemperature) && code == win::CBN_SELCHANGE) || id == kCheckAuto ||
            ((id == kEditBoolean || (id >= kFirstArgument && id < kFirstArgument + 3)) && code == win::EN_KILLFOCUS)) {
            UpdateAutoTitle(dialog, *state);
            return 1;
        }
        if (id == kButtonTest) {
            Apply(dialog, *state);
            return 1;
        }
        if (id == win::IDOK) {
            if (!Apply(dialog, *state)) return 1;
            MarkModified(RunControl().circuitWindow);
            EndFunctionDialog(dialog, *state, 1);
            return 1;
        }
        if (id == win::IDCANCEL) {
            Restore(*state);
            EndFunctionDialog(dialog, *state, 0);
            return 1;
        }
        if (id == kDialogHelpButton) {
            ShowDialogHelp(kFunctionTemplate);
            return 1;
        }
        return 0;
    }
    default: return 0;
    }
}

int RunFunctionDialog(MonteCarloWindowRecord& record, bool add)
{
    FunctionDialog state;
    state.record = &record;
    state.add = add;
    state.function = record.function;
    state.title = record.view.title;
    state.autoTitle = record.view.autoTitle;
    state.format = record.format;
    state.lowText = record.lowText;
    state.highText = record.highText;
    state.runBlock = record.runBlock;
    state.font = record.view.font;
    state.look = LookOf(record);
    Extremes(record, state.smallest, state.largest);
    return static_cast<int>(RunDialogParam(AppFrameWindow(), kFunctionTemplate, MonteCarloFunctionDlgProc,
                                           reinterpret_cast<win::LPARAM>(&state)));
}

}  // namespace

int NewMonteCarloFunction()
{
    LinkedList* list = CurrentList();
    if (!list) return 0;
    if (list->count >= kMaxHistograms) return 0;
    MonteCarloWindowRecord* record = AppendMonteCarloWindow(*MonteCarloDocument(), Analysis().analysisKind);
    if (!record) {
        ReportMessage("E", kMsgInsufficientMemory);
        return kMsgInsufficientMemory;
    }
    record->view.title = LoadResString(kMsgNew);
    record->intervals = kNewHistogramIntervals;
    record->function.function = 0;
    record->function.boolean = "1";
    record->function.args = {1.0, 1.0, 2.0};
    record->format = "6.3";
    TakePlotLook(*record, RunControl().analysisWindow);
    if (const PlotRecord* plot = AnalysisPlot(); plot && plot->curveCount > 0) {
        const int current = std::clamp(plot->currentCurve, 0, plot->curveCount - 1);
        record->function.expression = plot->curves[static_cast<std::size_t>(current)]->yExpressionText;
    }
    if (!NewMonteCarloWindow(*record)) {
        ListRemove(*list, record);
        return kMsgAlreadyReported;
    }
    ComputeMonteCarloValues(*record, RunControl().analysisWindow);
    if (RunFunctionDialog(*record, true) != 1) {
        // A cancelled addition leaves nothing behind.
        FreeMonteCarloFunction(*record);
        ListRemove(*list, record);
    }
    return 0;
}

int RouteMonteCarloCommand(int id, WindowRecord* active)
{
    const bool analysis = Analysis().analysisKind != kAnalysisNone;
    switch (id) {
    case 17106: OpenMonteCarloCase(); return 0;
    case 17158: RunMonteCarloOptionsDialog(); return 0;
    case 17157:
        if (analysis) NewMonteCarloFunction();
        return 0;
    case 17163:
        if (MonteCarloRecordOf(active)) ChangeMonteCarloFunction(active);
        return 0;
    case 15678:
        // F10, the characteristics of the active window: a histogram's are its function.
        if (!MonteCarloRecordOf(active)) return 1;
        ChangeMonteCarloFunction(active);
        return 0;
    case 17181:
        if (analysis) DeleteMonteCarloWindowsDialog();
        return 0;
    case 17160:
        if (MonteCarloWindowRecord* record = MonteCarloRecordOf(active)) WriteMonteCarloStatistics(record);
        return 0;
    default: break;
    }
    if (id >= kFirstMonteCarloFunctionCommand && id <= kLastMonteCarloFunctionCommand) {
        if (analysis) ShowMonteCarloWindow(id - kFirstMonteCarloFunctionCommand);
        return 0;
    }
    return 1;
}

int ChangeMonteCarloFunction(WindowRecord* window)
{
    MonteCarloWindowRecord* record = MonteCarloRecordOf(window);
    if (!record) return 1;
    RunFunctionDialog(*record, false);
    return 0;
}

void DeleteMonteCarloFunctions(std::vector<int> indices)
{
    LinkedList* list = CurrentList();
    if (!list) return;
    std::sort(indices.begin(), indices.end(), std::greater<int>());
    for (int index : indices) {
        int i = 0;
        for (MonteCarloWindowRecord& record : ListRecords<MonteCarloWindowRecord>(*list)) {
            if (i++ != index) continue;
            FreeMonteCarloFunction(record);
            ListRemove(*list, &record);
            break;
        }
    }
    MarkModified(RunControl().circuitWindow);
}

int DeleteMonteCarloWindowsDialog()
{
    LinkedList* list = CurrentList();
    if (!list || list->count == 0) return 0;
    ListSelectDesc desc;
    desc.caption = "Delete Monte Carlo Window";
    desc.several = true;
    desc.helpId = 17181;
    for (const MonteCarloWindowRecord& record : ListRecords<MonteCarloWindowRecord>(*list)) desc.items.push_back(record.view.title);
    if (RunListSelectDialog(desc) != win::IDOK) return 0;
    DeleteMonteCarloFunctions(desc.selection);
    return 0;
}

}  // namespace kq5
