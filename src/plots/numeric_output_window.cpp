#include "plots/numeric_output_window.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "plots/dsp_pass.h"
#include "plots/plot_setup.h"
#include "core/analysis_state.h"
#include "netlist/numeric_helpers.h"
#include "analog/run_control.h"
#include "analog/transient_run.h"
#include "ui/color_table.h"
#include "ui/dialog_services.h"
#include "ui/font_select.h"
#include "ui/status_text.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/file_units.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "core/digital_node_states.h"
#include "document/circuit_document.h"
#include "document/document_windows.h"
#include "document/record_font.h"
#include "document/file_names.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/window.h"
#include "results/curve_record.h"
#include "results/waveform_store.h"
#include "document/editor_services.h"

namespace kq5 {

namespace {

constexpr int kSaveEveryCombo = 101;
constexpr int kDisplayEveryCombo = 102;
constexpr int kDontWait = 110;
constexpr int kWaitForKey = 111;
constexpr int kWaitForDelay = 112;
constexpr int kDelayEdit = 10;
constexpr int kMsgHitAnyKey = 17897;
constexpr int kMsgWait = 17888;
constexpr int kEscape = 27;

constexpr std::array<const char*, 21> kChoices = {"1st",  "2nd",  "3rd",  "4th",   "5th",   "6th",   "7th",
                                                  "8th",  "9th",  "10th", "15th",  "20th",  "30th",  "40th",
                                                  "50th", "100th", "200th", "300th", "400th", "500th", "1000th"};

struct AnimationState {
    bool suppressed = false;
    std::uint32_t lastTick = 0;
    std::vector<std::uint16_t> remembered;  // the digital states after the last step
};

AnimationState& Animation()
{
    static AnimationState state;
    return state;
}

WindowRecord* CircuitWindow() { return RunControl().circuitWindow ? RunControl().circuitWindow : CurrentRecord(); }

int Kind() { return static_cast<int>(Analysis().analysisKind); }

win::INT_PTR DataPointReductionDlgProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM)
{
    WindowRecord* circuit = CircuitWindow();
    if (!circuit || !circuit->document || Kind() < 0) return win::FALSE;
    CircuitDocument& document = *circuit->document;
    const std::size_t k = static_cast<std::size_t>(Kind());
    switch (msg) {
    case win::WM_INITDIALOG:
        for (int id : {kSaveEveryCombo, kDisplayEveryCombo}) {
            for (const char* choice : kChoices)
                win::SendDlgItemMessage(dialog, id, win::CB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(choice));
            const int count = std::max(id == kSaveEveryCombo ? document.reduceSave[k] : document.reduceDisplay[k], 1);
            win::SetDlgItemText(dialog, id, OrdinalText(count).c_str());
        }
        return win::TRUE;
    case win::WM_COMMAND:
        switch (win::LOWORD(wParam)) {
        case win::IDOK:
            document.reduceSave[k] = ReductionCount(win::GetDlgItemText(dialog, kSaveEveryCombo));
            document.reduceDisplay[k] = ReductionCount(win::GetDlgItemText(dialog, kDisplayEveryCombo));
            SetRedrawFlags(circuit);
            win::EndDialog(dialog, 1);
            return win::TRUE;
        case win::IDCANCEL: win::EndDialog(dialog, 0); return win::TRUE;
        case 9: ShowDialogHelp(kDataPointReductionTemplate); return win::TRUE;
        default: return win::FALSE;
        }
    default: return win::FALSE;
    }
}

win::INT_PTR AnimateOptionsDlgProc(win::HWND dialog, win::UINT msg, win::WPARAM wParam, win::LPARAM)
{
    WindowRecord* circuit = CircuitWindow();
    if (!circuit || !circuit->document) return win::FALSE;
    CircuitDocument& document = *circuit->document;
    switch (msg) {
    case win::WM_INITDIALOG:
        win::CheckRadioButton(dialog, kDontWait, kWaitForDelay, kDontWait + std::clamp(document.animateWait, 0, 2));
        win::SetDlgItemText(dialog, kDelayEdit, StrPrintf("%g", document.animateWaitTime / 1000.0).c_str());
        win::EnableWindow(win::GetDlgItem(dialog, kDelayEdit), document.animateWait == 2);
        return win::TRUE;
    case win::WM_COMMAND:
        switch (win::LOWORD(wParam)) {
        case kDontWait:
        case kWaitForKey:
        case kWaitForDelay:
            win::EnableWindow(win::GetDlgItem(dialog, kDelayEdit),
                              win::IsDlgButtonChecked(dialog, kWaitForDelay) == win::BST_CHECKED);
            return win::TRUE;
        case win::IDOK: {
            int error = 0;
            const double seconds = EvalNumberOrExpression(win::GetDlgItemText(dialog, kDelayEdit), error);
            if (!error && std::isfinite(seconds) && seconds >= 0.0)
                document.animateWaitTime = static_cast<std::int32_t>(std::min(std::lround(seconds * 1000.0), 86400000L));
            document.animateWait = win::IsDlgButtonChecked(dialog, kWaitForDelay) == win::BST_CHECKED  ? 2
                                   : win::IsDlgButtonChecked(dialog, kWaitForKey) == win::BST_CHECKED ? 1
                                                                                                       : 0;
            SetRedrawFlags(circuit);
            win::EndDialog(dialog, 1);
            return win::TRUE;
        }
        case win::IDCANCEL: win::EndDialog(dialog, 0); return win::TRUE;
        case 9: ShowDialogHelp(kAnimateOptionsTemplate); return win::TRUE;
        default: return win::FALSE;
        }
    default: return win::FALSE;
    }
}

}  // namespace

WindowRecord* ShowNumericOutputWindow()
{
    WindowRecord* circuit = CircuitWindow();
    if (Kind() < 0 || !circuit) return nullptr;
    const std::string name = MakeAnalysisFileName(circuit, "NO");
    if (WindowRecord* open = FindRecordByTitle(name)) {
        // The runs since the window opened wrote the file again: it shows what the file holds
        // now, unless the user has changed the text in the window.
        if (!open->modified && OpenFileRead(name)) ReloadTextWindowFromFile(open);
        ActivateWindowRecord(open, true);
        return open;
    }
    WindowRecord* record = NewDocumentWindow(kWindowTextCircuit, name);
    if (!record) return nullptr;
    if (ReloadTextWindowFromFile(record) != 0) {
        win::SendMessage(record->window, win::WM_CLOSE, 0, 0);
        return nullptr;
    }
    if (circuit->document && record->document) {
        const FontSpec& font = circuit->document->numOutFont;
        record->document->numOutFont = font;
        record->document->viewOptions |= kNumericOutputLayoutBits;
        SetRecordFontSpec(record, font);
        SetRecordFont(record, CreateFontFromSpec(font), true);
    }
    win::ShowWindow(record->window, win::SW_SHOWMAXIMIZED);
    win::SetActiveWindow(record->window);
    return record;
}

std::uint32_t PlotOptionBitForCommand(int commandId)
{
    if (commandId == 18406) return kPlotBaseLine;
    if (commandId < 18400 || commandId > 18405) return 0;
    return 1u << (commandId - 18400);
}

std::string OrdinalText(int n)
{
    const int tens = n % 100;
    const char* suffix = "th";
    if (tens < 11 || tens > 13) {
        switch (n % 10) {
        case 1: suffix = "st"; break;
        case 2: suffix = "nd"; break;
        case 3: suffix = "rd"; break;
        default: break;
        }
    }
    return std::to_string(n) + suffix;
}

const char* const* ReductionChoices(int& count)
{
    count = static_cast<int>(kChoices.size());
    return kChoices.data();
}

int ReductionCount(const std::string& text)
{
    long value = 0;
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 1000000000L; ++i) value = value * 10 + (text[i] - '0');
    return static_cast<int>(std::max(value, 1L));
}

int OpenDataPointReduction()
{
    if (Kind() < 0) return 0;
    return static_cast<int>(win::DialogBoxParam(win::GetModuleHandle(nullptr), kDataPointReductionTemplate, AppFrameWindow(),
                                                DataPointReductionDlgProc, 0));
}

int OpenAnimateOptions()
{
    if (Kind() < 0) return 0;
    return static_cast<int>(win::DialogBoxParam(win::GetModuleHandle(nullptr), kAnimateOptionsTemplate, AppFrameWindow(),
                                                AnimateOptionsDlgProc, 0));
}

void SuppressAnimation(bool suppress) { Animation().suppressed = suppress; }

void RememberDigitalStates() { Animation().remembered = DigitalSimulator().current; }

void WaitAnimationStep()
{
    AnimationState& a = Animation();
    WindowRecord* circuit = CircuitWindow();
    if (a.suppressed || !circuit || !circuit->document || RunControl().probeState == kProbeFullRun) return;
    const CircuitDocument& document = *circuit->document;
    if (document.animateWait == 0) return;
    const bool digital = document.analysisNodeCounts[1] > 0;
    if (digital && !a.remembered.empty() && a.remembered.front() == 0xFFFF) {
        RememberDigitalStates();
        return;
    }
    const std::string before = GetStatusText();
    SetStatusText(LoadResString(document.animateWait == 1 ? kMsgHitAnyKey : kMsgWait));
    RedrawCircuitNodeValues(circuit);
    // The delay ends with a timer message, so that the wait sleeps in the queue (and a test
    // clock moves on to it) instead of polling.
    const win::UINT_PTR timer =
        document.animateWait == 2
            ? win::SetTimer(nullptr, 0, static_cast<win::UINT>(std::max(document.animateWaitTime, 1)) + 1, nullptr)
            : 0;
    for (;;) {
        const int key = PumpPendingMessages();
        if (key != 0) {
            if (key == kEscape) RunControl().lastKey = kEscape;
            break;
        }
        if (document.animateWait == 0) break;
        if (document.animateWait == 2 &&
            win::GetTickCount() - a.lastTick > static_cast<std::uint32_t>(document.animateWaitTime))
            break;
        // Nothing can arrive any more (no desktop and no timer): waiting would never end.
        if (!win::WaitMessage()) break;
    }
    if (timer) win::KillTimer(nullptr, timer);
    a.lastTick = win::GetTickCount();
    SetStatusText(before);
    RememberDigitalStates();
}

void InterpolateRunStartPoint(WindowRecord*, CurveRecord& curve)
{
    WaveformStore* store = curve.plotStore ? curve.plotStore : curve.ownStore.get();
    if (!store) return;
    const std::int32_t first = RunFirstPoint(curve, store->runCount);
    if (first < 0 || first + 2 > curve.lastPointIndex) return;
    const double start = TransientRun().tmin;
    auto value = [&](int slot, std::int32_t point) {
        return GetWaveformValue(*store, curve.storeSlots[static_cast<std::size_t>(slot)], point);
    };
    // The run's own time (the store's first slot) places the two points. A first point stored at
    // the start time already holds the solution there; a line through later points would only
    // put an approximation in its place. The curve before this one may have moved the shared
    // time of a point computed later to the start: that point still wants its value there.
    PlotRunState& run = PlotRun();
    const bool moved = run.startMovedStore == store && run.startMovedPoint == first;
    if (!moved && GetWaveformValue(*store, 0, first) == start) return;
    const double t1 = GetWaveformValue(*store, 0, first + 1), t2 = GetWaveformValue(*store, 0, first + 2);
    auto atStart = [&](double v1, double v2) { return t2 != t1 ? v1 + (v2 - v1) * (start - t1) / (t2 - t1) : v1; };
    double y;
    if (curve.digital) {
        y = value(kWaveformY, first + 1);
    } else {
        y = atStart(value(kWaveformY, first + 1), value(kWaveformY, first + 2));
    }
    WaveformStoreReplace(curve, first, y, kWaveformY);
    const bool ownX = !curve.digital && curve.storeSlots[kWaveformX] != 0;
    const double x = ownX ? atStart(value(kWaveformX, first + 1), value(kWaveformX, first + 2)) : start;
    if (curve.storeSlots[kWaveformX] != 0) WaveformStoreReplace(curve, first, x, kWaveformX);
    else SetWaveformValue(*store, 0, first, start);
    run.startMovedStore = store;
    run.startMovedPoint = first;
    if (!curve.digital && y < curve.dataMin[kWaveformY]) curve.dataMin[kWaveformY] = y;
    if (t2 != t1) InterpolateDspStartSamples(curve, (start - t1) / (t2 - t1));
}

const char* SkipClassBlanks(const char* text)
{
    while (text && *text && HasCharClass(*text, kCharSpace)) ++text;
    return text;
}

}  // namespace kq5
