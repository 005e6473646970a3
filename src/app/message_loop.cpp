#include "app/message_loop.h"

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "analog/statistics.h"
#include "analog/transient_run.h"
#include "analyses/graph3d_window.h"
#include "app/command_routing.h"
#include "ui/dialog_services.h"
#include "ui/frame_state.h"
#include "app/printing.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "analog/run_windows.h"
#include "core/format.h"
#include "ui/usage_file.h"
#include "document/circuit_document.h"
#include "document/schematic_item.h"
#include "document/component_types.h"
#include "results/curve_record.h"
#include "document/component_definition.h"
#include "platform/accelerator.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/message_box.h"
#include "platform/mdi.h"
#include "platform/message.h"
#include "platform/system.h"
#include "platform/window.h"

namespace kq5 {

namespace {

constexpr const char* kTextControlClass = "CTxtEditWndClass";
constexpr int kStatisticsList = 101;
constexpr int kStatisticsClose = 23;

bool IsKeyMessage(win::UINT message)
{
    return message == win::WM_KEYDOWN || message == win::WM_SYSKEYDOWN || message == win::WM_CHAR ||
           message == win::WM_SYSCHAR;
}

bool IsFunctionKey(win::WPARAM key) { return key >= win::VK_F1 && key <= win::VK_F12; }

int TranslateWith(win::HWND target, int tableId, const win::MSG& message)
{
    if (tableId == 0 || target == nullptr) return 0;
    win::HACCEL table = AcceleratorTable(tableId);
    return table ? win::TranslateAccelerator(target, table, &message) : 0;
}

bool IsConnectionOnly(const ComponentTypeRow* type) { return type != nullptr && type->pinNames == kPinNamesConnection; }

// Components of the schematic, not counting the types that only connect (Short, Ground, Jumper,
// Tie).
int CountedComponents(const CircuitDocument& document)
{
    int count = 0;
    for (ListNode* node = document.itemList.head; node; node = node->next) {
        const auto* item = static_cast<const SchematicItem*>(node);
        if (!item->IsComponent()) continue;
        const ComponentTypeRow* type = item->definition ? FindComponentTypeRow(item->definition->type) : nullptr;
        if (!IsConnectionOnly(type)) ++count;
    }
    return count;
}

// Components of each type in the document, connection-only types left out.
std::vector<int> ComponentTypeCounts(const CircuitDocument& document)
{
    std::vector<int> counts(static_cast<std::size_t>(kComponentTypeCount), 0);
    for (ListNode* node = document.itemList.head; node; node = node->next) {
        const auto* item = static_cast<const SchematicItem*>(node);
        if (!item->IsComponent() || !item->definition) continue;
        const ComponentTypeRow* type = FindComponentTypeRow(item->definition->type);
        if (type && !IsConnectionOnly(type)) ++counts[item->definition->type];
    }
    return counts;
}

// Points a curve stored in the plot's last run (all its points when it keeps no run records).
int LastRunPoints(const CurveRecord& curve)
{
    if (curve.lastPointIndex < 0) return 0;
    if (curve.runFirstIndex.empty()) return curve.lastPointIndex + 1;
    const std::int32_t first = curve.runFirstIndex.back();
    const std::int32_t last = curve.runLastIndex.size() == curve.runFirstIndex.size() ? curve.runLastIndex.back() : curve.lastPointIndex;
    return std::max(last - first + 1, 0);
}

// The figures of the last analysis of the current circuit: times, nodes and stored points.
void AddRunFigures(const std::function<void(const std::string&)>& add, const CircuitDocument& document, const PlotRecord& plot)
{
    add(StrPrintf("Setup Time = %g", LastSetupSeconds()));
    add(StrPrintf("Run Time = %g", RunControl().elapsedTime));
    add(StrPrintf("Analog Nodes = %d", document.analysisNodeCounts[0]));
    add(StrPrintf("Digital Nodes = %d", document.analysisNodeCounts[1]));
    add(StrPrintf("Analog Data Points = %d", plot.curves.empty() || !plot.curves.front() ? 0 : LastRunPoints(*plot.curves.front())));
    for (const auto& curve : plot.curves)
        if (curve) add(StrPrintf("%.25s = %d Data Pts", curve->yExpressionText.c_str(), curve->lastPointIndex + 1));
}

// The component types in use and the solver's counters of the last analysis.
void AddRunCounts(const std::function<void(const std::string&)>& add, const CircuitDocument& document)
{
    const std::vector<int> counts = ComponentTypeCounts(document);
    for (int code = 0; code < kComponentTypeCount; ++code)
        if (counts[static_cast<std::size_t>(code)] > 0)
            add(StrPrintf("%s = %d", FindComponentTypeRow(code)->name, counts[static_cast<std::size_t>(code)]));
    add(StrPrintf("Total Iterations=%d", AnalogSolver().iterationTotal));
    add(StrPrintf("Rejected Solutions=%d", TransientRun().rejectedCount));
    add(StrPrintf("Total Solutions=%d", AnalogSolver().acceptedPointCount));
}

win::INT_PTR StatisticsDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM)
{
    switch (message) {
    case win::WM_INITDIALOG: {
        PlaceDialog(dialog, false, nullptr);
        win::HWND list = win::GetDlgItem(dialog, kStatisticsList);
        auto add = [list](const std::string& line) {
            win::SendMessage(list, win::LB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(line.c_str()));
        };
        char line[256];
        std::snprintf(line, sizeof line, "Executable date = %s", kProgramBuildDateText);
        add(line);
        win::MEMORYSTATUS memory{};
        win::GlobalMemoryStatus(&memory);
        std::snprintf(line, sizeof line, "RAM memory installed = %0.3f MEG", static_cast<double>(memory.dwTotalPhys) / 1048576.0);
        add(line);
        std::snprintf(line, sizeof line, "RAM memory Available = %0.3f MEG", static_cast<double>(memory.dwAvailPhys) / 1048576.0);
        add(line);
        if (const char* data = std::getenv("KQ5DATA")) add(std::string("KQ5DATA    = ") + data);
        const CircuitDocument* document = CurrentDocument();
        const WindowRecord* analysis = RunControl().analysisWindow;
        const PlotRecord* plot = analysis && analysis->plot ? analysis->plot.get() : nullptr;
        if (document && plot) AddRunFigures(add, *document, *plot);
        const WindowRecord* active = GetActiveChildRecord();
        if (active && active->kind == kWindowSchematic && active->document) {
            std::snprintf(line, sizeof line, "Components = %d", CountedComponents(*active->document));
            add(line);
        }
        if (document && plot) AddRunCounts(add, *document);
        return win::TRUE;
    }
    case win::WM_COMMAND: {
        const int id = static_cast<int>(wParam & 0xFFFF);
        if (id == win::IDCANCEL || id == kStatisticsClose) CloseDialog(dialog, id);
        return win::TRUE;
    }
    case win::WM_HELP:  // (the dialog has no Help button)
        ShowDialogHelp(kStatisticsDialog);
        return win::TRUE;
    default: return win::FALSE;
    }
}

}  // namespace

AcceleratorChoice ChooseAcceleratorTables(int w, int p, bool textControl, bool analysisOpen)
{
    AcceleratorChoice choice;
    if (w == kWindowLimitsDialog || p == kWindowLimitsDialog) choice = {509, 0, 0};
    else if (p == kWindowTextCircuit) choice = {501, 504, 0};
    else if ((w == kWindowSchematic || p == kWindowSchematic) && textControl) choice = {501, 504, 0};
    else if (w == kWindowSchematic || p == kWindowSchematic) choice = {505, 504, 0};
    else if (p == kWindowModelLibrary) choice = {508, 0, 0};
    else if (w == kWindowMonteCarlo) choice = {510, 504, 0};
    else if (p == kWindowMonteCarlo) choice = {510, 0, 0};
    else if (w == kWindowAnalysis || w == kWindowPerformance || w == kWindow3D) choice = {503, 504, 0};

    if (w == kWindowLimitsDialog || p == kWindowLimitsDialog) choice.runTable = 511;
    else if (!analysisOpen) choice.runTable = 507;
    else if (p == kWindowTextCircuit) choice.runTable = 512;
    else choice.runTable = 506;
    return choice;
}

int TranslateAppAccelerators(const win::MSG& message)
{
    if (!IsKeyMessage(message.message)) return 0;
    FrameState& frame = Frame();
    int w = WindowKindOf(message.hwnd);
    win::HWND parent = message.hwnd ? win::GetParent(message.hwnd) : nullptr;
    int p = parent ? WindowKindOf(parent) : 0;
    if (message.hwnd != nullptr && (message.hwnd == frame.mdiClient || message.hwnd == frame.frame)) {
        if (const WindowRecord* active = GetActiveChildRecord()) {
            w = active->kind;
            p = 0;
        }
    }
    const bool textControl = message.hwnd && win::GetClassName(message.hwnd) == kTextControlClass;
    const AcceleratorChoice choice =
        ChooseAcceleratorTables(w, p, textControl, Analysis().analysisKind != kAnalysisNone);
    win::HWND windowTarget = choice.windowTable == 509 ? frame.limitsDialog : frame.frame;
    if (TranslateWith(windowTarget, choice.windowTable, message)) return 1;
    if (TranslateWith(frame.frame, choice.runTable, message)) return 1;
    if (TranslateWith(frame.frame, choice.secondTable, message)) return 1;
    return TranslateWith(frame.frame, 500, message);
}

void ProcessMessage(const win::MSG& message)
{
    FrameState& frame = Frame();
    // The rotation keys of a 3-D window come before every accelerator.
    if (message.message == win::WM_KEYDOWN && WindowKindOf(message.hwnd) == kWindow3D &&
        Graph3DKeyRotate(message.hwnd, static_cast<unsigned>(message.wParam)))
        return;
    if (frame.mdiClient && win::TranslateMDISysAccel(frame.mdiClient, &message)) return;
    if (TranslateAppAccelerators(message)) return;
    // Function keys reach the program's accelerators and windows even while the dialog has the
    // focus.
    if (frame.modelessDialog && win::IsWindow(frame.modelessDialog) && !IsFunctionKey(message.wParam) &&
        win::IsDialogMessage(frame.modelessDialog, const_cast<win::MSG*>(&message))) {
        return;
    }
    win::TranslateMessage(&message);
    win::DispatchMessage(&message);
}

bool LoadAcceleratorTables()
{
    bool ok = true;
    for (std::size_t i = 0; i < kAcceleratorTableIds.size(); ++i) {
        Frame().accelerators[i] = win::LoadAccelerators(nullptr, static_cast<win::UINT_PTR>(kAcceleratorTableIds[i]));
        ok = ok && Frame().accelerators[i] != nullptr;
    }
    return ok;
}

win::LRESULT KeyboardHookProc(int code, win::WPARAM key, win::LPARAM flags)
{
    const win::HHOOK hook = Frame().keyboardHook;
    if (code < 0) return win::CallNextHookEx(hook, code, key, flags);
    const bool released = (static_cast<std::uint32_t>(flags) & 0x80000000u) != 0;
    const bool repeated = (static_cast<std::uint32_t>(flags) & 0x40000000u) != 0;
    if (key == 'W' && !released && !repeated && (win::GetKeyState(win::VK_CONTROL) & 0x8000) &&
        (win::GetKeyState(win::VK_SHIFT) & 0x8000)) {
        PrintActiveWindowPicture();
        return 1;
    }
    return win::CallNextHookEx(hook, code, key, flags);
}

void InstallKeyboardHook()
{
    if (Frame().keyboardHook) return;
    Frame().keyboardHook = win::SetWindowsHookEx(win::WH_KEYBOARD, KeyboardHookProc, nullptr, win::GetCurrentThreadId());
}

void RemoveKeyboardHook()
{
    if (Frame().keyboardHook) win::UnhookWindowsHookEx(Frame().keyboardHook);
    Frame().keyboardHook = nullptr;
}

void ShowStatisticsDialog()
{
    win::DialogBoxParam(nullptr, static_cast<win::UINT_PTR>(kStatisticsDialog), Frame().frame, StatisticsDlgProc, 0);
}

void RestoreFrameTitle()
{
    if (Frame().frame) win::SetWindowText(Frame().frame, kFrameTitle);
}

std::uint32_t ViewOptionBit(int commandId)
{
    switch (commandId) {
    case 17400: return 0x20;
    case 17401: return 0x100;
    case 17402: return 0x10;
    case 17403: return 0x1;
    case 17404: return 0x2;
    case 17405: return 0x4;
    case 17406: return 0x40;
    case 17407: return 0x80;
    case 17408: return 0x200;
    case 17409: return 0x400;
    default: return 0;
    }
}

}  // namespace kq5
