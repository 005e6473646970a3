#include "app/message_loop.h"

#include <cstdio>
#include <cstdlib>

#include "analog/analysis_state.h"
#include "analyses/graph3d_window.h"
#include "app/command_routing.h"
#include "app/dialog_services.h"
#include "app/frame_state.h"
#include "app/printing.h"
#include "app/window_record.h"
#include "app/window_record_utils.h"
#include "app/usage_file.h"
#include "document/circuit_document.h"
#include "document/schematic_item.h"
#include "netlist/component_types.h"
#include "schematic/component_definition.h"
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

// Components of the schematic, not counting the types that only connect (Short, Ground, Jumper,
// Tie).
int CountedComponents(const CircuitDocument& document)
{
    int count = 0;
    for (ListNode* node = document.itemList.head; node; node = node->next) {
        const auto* item = static_cast<const SchematicItem*>(node);
        if (!item->IsComponent()) continue;
        const ComponentTypeRow* type = item->definition ? FindComponentTypeRow(item->definition->type) : nullptr;
        if (type == nullptr || type->pinNames != kPinNamesConnection) ++count;
    }
    return count;
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
        // The run's figures come with the analysis windows; the schematic's count is here now.
        const WindowRecord* active = GetActiveChildRecord();
        if (active && active->kind == kWindowSchematic && active->document) {
            std::snprintf(line, sizeof line, "Components = %d", CountedComponents(*active->document));
            add(line);
        }
        return win::TRUE;
    }
    case win::WM_COMMAND: {
        const int id = static_cast<int>(wParam & 0xFFFF);
        if (id == win::IDCANCEL || id == kStatisticsClose) CloseDialog(dialog, id);
        return win::TRUE;
    }
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
