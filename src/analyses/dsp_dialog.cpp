#include "analyses/dsp_dialog.h"

#include <string>

#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "ui/dialog_services.h"
#include "ui/window_record.h"
#include "plots/dsp_pass.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/win_messages.h"
#include "platform/window.h"

namespace kq5 {

namespace {

constexpr int kUpperEdit = 10;
constexpr int kLowerEdit = 11;
constexpr int kPointsEdit = 12;
constexpr int kUpperLabel = 100;
constexpr int kLowerLabel = 101;
constexpr int kOnButton = 110;
constexpr int kOffButton = 111;
constexpr int kHelpButton = 9;
constexpr int kMsgUpperTimeLimit = 10144;  // 10145 lower; 10146, 10147 the frequency labels
constexpr const char* kDefaultPoints = "1024";

WindowRecord* CircuitRecord() { return RunControl().circuitWindow ? RunControl().circuitWindow : CurrentRecord(); }

std::string Trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The range text of the analysis: the time range, the frequency range or the Input 1 range.
const std::string& RangeText(const CircuitDocument& document, int kind)
{
    if (kind == kAnalysisAc) return document.limits.ac[kLimitFRange];
    if (kind == kAnalysisDc) return document.limits.dc[kLimitI1Range];
    return document.limits.transient[kLimitTRange];
}

// Empty texts take the analysis range: its high end, its low end ("0" when it has none). The
// step that may follow in a DC range is not part of the low end.
void FillDefaults(CircuitDocument& document, DspSettings& dsp, int kind)
{
    const std::string& range = RangeText(document, kind);
    const std::size_t comma = range.find(',');
    if (dsp.max.empty()) dsp.max = Trimmed(range.substr(0, comma)).substr(0, kDspTextLength);
    if (dsp.min.empty()) {
        const std::string low = comma == std::string::npos ? std::string() : range.substr(comma + 1);
        dsp.min = comma == std::string::npos ? "0" : Trimmed(low.substr(0, low.find(','))).substr(0, kDspTextLength);
    }
    if (dsp.nPts.empty()) dsp.nPts = kDefaultPoints;
}

std::string ReadText(win::HWND dialog, int id) { return Trimmed(win::GetDlgItemText(dialog, id).substr(0, kDspTextLength)); }

win::INT_PTR DspParametersDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM)
{
    WindowRecord* circuit = CircuitRecord();
    const int kind = static_cast<int>(Analysis().analysisKind);
    DspSettings* dsp = circuit && circuit->document ? DspSettingsOf(circuit->document.get(), kind) : nullptr;
    if (!dsp) return win::FALSE;
    switch (message) {
    case win::WM_INITDIALOG: {
        const int label = kind == kAnalysisTransient ? kMsgUpperTimeLimit : kMsgUpperTimeLimit + 2;
        win::SetDlgItemText(dialog, kUpperLabel, LoadResString(label).c_str());
        win::SetDlgItemText(dialog, kLowerLabel, LoadResString(label + 1).c_str());
        FillDefaults(*circuit->document, *dsp, kind);
        win::SetDlgItemText(dialog, kUpperEdit, dsp->max.c_str());
        win::SetDlgItemText(dialog, kLowerEdit, dsp->min.c_str());
        win::SetDlgItemText(dialog, kPointsEdit, dsp->nPts.c_str());
        for (int id : {kUpperEdit, kLowerEdit, kPointsEdit})
            win::SendDlgItemMessage(dialog, id, win::EM_LIMITTEXT, kDspTextLength, 0);
        win::CheckRadioButton(dialog, kOnButton, kOffButton, dsp->on != 0 ? kOnButton : kOffButton);
        return win::TRUE;
    }
    case win::WM_COMMAND:
        switch (win::LOWORD(wParam)) {
        case win::IDOK:
            dsp->max = ReadText(dialog, kUpperEdit);
            dsp->min = ReadText(dialog, kLowerEdit);
            dsp->nPts = ReadText(dialog, kPointsEdit);
            dsp->on = win::IsDlgButtonChecked(dialog, kOnButton) == win::BST_CHECKED ? 1 : 0;
            SetRedrawFlags(circuit);
            win::EndDialog(dialog, 1);
            return win::TRUE;
        case win::IDCANCEL: win::EndDialog(dialog, 0); return win::TRUE;
        case kHelpButton: ShowDialogHelp(kDspParametersTemplate); return win::TRUE;
        default: return win::FALSE;
        }
    default: return win::FALSE;
    }
}

}  // namespace

int DspParameters(win::HWND owner)
{
    WindowRecord* circuit = CircuitRecord();
    const int kind = static_cast<int>(Analysis().analysisKind);
    if (!circuit || !circuit->document || !DspSettingsOf(circuit->document.get(), kind)) return 0;
    return static_cast<int>(
        win::DialogBoxParam(win::GetModuleHandle(nullptr), kDspParametersTemplate, owner, DspParametersDlgProc, 0));
}

}  // namespace kq5
