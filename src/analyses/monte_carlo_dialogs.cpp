// The Monte Carlo Options dialog (17158) and its list of performance functions (17161).
#include <string>

#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "analyses/monte_carlo.h"
#include "analyses/monte_carlo_models.h"
#include "analyses/performance_functions.h"
#include "analyses/stepping.h"
#include "ui/color_table.h"
#include "ui/dialog_services.h"
#include "core/text_edit.h"
#include "document/circuit_document.h"
#include "plots/limits_dialog.h"
#include "platform/controls.h"
#include "platform/message_box.h"
#include "platform/dialog.h"
#include "platform/message.h"
#include "platform/window.h"

namespace kq5 {

namespace {

constexpr int kOptionsTemplate = 17158;
constexpr int kFunctionsTemplate = 17161;
constexpr int kRadioNormal = 205;  // 204 + distribution code
constexpr int kRadioWorstCase = 207;
constexpr int kRadioOn = 110;
constexpr int kRadioOff = 111;
constexpr int kEditRuns = 200;
constexpr int kEditReportWhen = 208;
constexpr int kButtonFunctions = 209;
constexpr int kFunctionList = 101;
constexpr std::size_t kRunsTextLength = 12;

struct OptionsDialogState {
    DialogPlacement placement{};
    bool placed = false;
};

OptionsDialogState& OptionsDialog()
{
    static OptionsDialogState state;
    return state;
}

void RememberPlacement(win::HWND dialog)
{
    win::RECT r{};
    win::GetWindowRect(dialog, &r);
    OptionsDialog().placement = {r.left, r.top};
    OptionsDialog().placed = true;
}

}  // namespace

win::INT_PTR MonteCarloFunctionsDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM)
{
    switch (message) {
    case win::WM_INITDIALOG: {
        PlaceDialog(dialog, false, nullptr);
        const win::HWND list = win::GetDlgItem(dialog, kFunctionList);
        for (int i = 0; i < kPerformanceFunctionCount; ++i) {
            const std::string line = MonteCarloFunctionLine(i);
            win::SendMessage(list, win::LB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(line.c_str()));
        }
        win::SendMessage(list, win::LB_SETCURSEL, 0, 0);
        return 1;
    }
    case win::WM_COMMAND: {
        const int id = win::LOWORD(wParam);
        const bool chosen = id == win::IDOK || (id == kFunctionList && win::HIWORD(wParam) == win::LBN_DBLCLK);
        if (chosen) {
            const win::HWND list = win::GetDlgItem(dialog, kFunctionList);
            const int selected = static_cast<int>(win::SendMessage(list, win::LB_GETCURSEL, 0, 0));
            CloseDialog(dialog, selected >= 0 ? selected + 1 : 0);
            return 1;
        }
        if (id == win::IDCANCEL) {
            CloseDialog(dialog, 0);
            return 1;
        }
        return 0;
    }
    default: return 0;
    }
}

namespace {

void ChooseFunction(win::HWND dialog)
{
    const int chosen = static_cast<int>(RunDialog(dialog, kFunctionsTemplate, MonteCarloFunctionsDlgProc));
    InsertReportWhenFunction(dialog, chosen - 1);
}

// Whether the options turned stepping off.
bool ApplyOptions(win::HWND dialog, CircuitDocument& document, int kind)
{
    bool steppingOff = false;
    MonteCarloOptions& options = document.monteCarlo[static_cast<std::size_t>(kind)];
    std::string runs = win::GetDlgItemText(dialog, kEditRuns).substr(0, kRunsTextLength);
    options.runs = Trim(runs);
    options.performance = win::GetDlgItemText(dialog, kEditReportWhen);
    std::uint32_t word = 0;
    for (int code = kDistributionNormal; code <= kDistributionWorstCase; ++code)
        if (win::IsDlgButtonChecked(dialog, kRadioNormal - 1 + code)) word = static_cast<std::uint32_t>(code);
    // A document that never had a distribution keeps Normal, the one it was shown with.
    if (word == 0) word = kDistributionNormal;
    if (win::IsDlgButtonChecked(dialog, kRadioOn)) {
        word |= kMonteCarloOn;
        // Monte Carlo and stepping exclude each other: turning one on turns the other off.
        for (SteppingSlot& slot : document.stepping) {
            steppingOff = steppingOff || (slot.flags & kStepOn) != 0;
            slot.flags &= ~kStepOn;
        }
    }
    options.options = word;
    return steppingOff;
}

}  // namespace

win::INT_PTR MonteCarloOptionsDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM)
{
    OptionsDialogState& state = OptionsDialog();
    CircuitDocument* document = MonteCarloDocument();
    const int kind = Analysis().analysisKind;
    switch (message) {
    case win::WM_INITDIALOG: {
        PlaceDialog(dialog, false, state.placed ? &state.placement : nullptr);
        if (!document || kind < 0) return 1;
        const MonteCarloOptions& options = document->monteCarlo[static_cast<std::size_t>(kind)];
        win::SetDlgItemText(dialog, kEditRuns, options.runs.c_str());
        win::SetDlgItemText(dialog, kEditReportWhen, options.performance.c_str());
        int code = static_cast<int>(options.options & kMonteCarloDistributionMask);
        if (code == 0) code = kDistributionNormal;
        win::CheckRadioButton(dialog, kRadioNormal, kRadioWorstCase, kRadioNormal - 1 + code);
        win::CheckRadioButton(dialog, kRadioOn, kRadioOff, (options.options & kMonteCarloOn) ? kRadioOn : kRadioOff);
        return 1;
    }
    case win::WM_COMMAND: {
        const int id = win::LOWORD(wParam);
        if (id == win::IDOK) {
            if (document && kind >= 0) {
                const bool steppingOff = ApplyOptions(dialog, *document, kind);
                MarkModified(RunControl().circuitWindow ? RunControl().circuitWindow : CurrentRecord());
                // The open analysis drops its stepped cases with the slots: the next run is the
                // Monte Carlo one, not the old cases with a warning. Runs under way keep their
                // cases, so that their end puts the stepped values back.
                if (steppingOff && !RunControl().running) PrepareStepping();
            }
            RememberPlacement(dialog);
            CloseDialog(dialog, 1);
            return 1;
        }
        if (id == win::IDCANCEL) {
            RememberPlacement(dialog);
            CloseDialog(dialog, 0);
            return 1;
        }
        if (id == kButtonFunctions) {
            ChooseFunction(dialog);
            return 1;
        }
        if (id == kDialogHelpButton) {
            ShowDialogHelp(kOptionsTemplate);
            return 1;
        }
        return 0;
    }
    default: return 0;
    }
}

void InsertReportWhenFunction(win::HWND dialog, int functionIndex)
{
    const win::HWND edit = win::GetDlgItem(dialog, kEditReportWhen);
    if (functionIndex >= 0 && functionIndex < kPerformanceFunctionCount) {
        const std::string text = " " + MonteCarloFunctionLine(functionIndex);
        win::SendMessage(edit, win::EM_REPLACESEL, 1, reinterpret_cast<win::LPARAM>(text.c_str()));
    }
    win::SetFocus(edit);
}

std::string MonteCarloFunctionLine(int functionIndex)
{
    const PerformanceFunctionRow* row = PerformanceFunctionRowOf(functionIndex);
    if (!row) return {};
    std::string line(PerformanceFunctionName(functionIndex));
    line += "(Expr,Boolean";
    for (const char* label : row->labels) {
        if (!label) break;
        line += ',';
        line += label;
    }
    line += ')';
    return line;
}

int RunMonteCarloOptionsDialog()
{
    if (Analysis().analysisKind < 0) return 0;
    CloseAnalysisLimitsDialog();
    return static_cast<int>(RunDialog(AppFrameWindow(), kOptionsTemplate, MonteCarloOptionsDlgProc));
}

}  // namespace kq5
