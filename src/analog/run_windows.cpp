#include "analog/run_windows.h"

#include "analog/run_control.h"
#include "core/analysis_state.h"
#include "document/document_windows.h"
#include "results/curve_record.h"
#include "ui/frame_state.h"
#include "ui/menu_handles.h"
#include "ui/program_settings.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "platform/mdi.h"
#include "platform/menu.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/window.h"

namespace kq5 {

bool ProbeModeActive()
{
    return Analysis().analysisKind != kAnalysisNone && RunControl().probeFlag != 0;
}

WindowRecord* GetActiveChildRecord()
{
    win::HWND client = Frame().mdiClient;
    if (client == nullptr) return nullptr;
    if (ProbeModeActive()) {
        auto active = reinterpret_cast<win::HWND>(win::SendMessage(client, win::WM_MDIGETACTIVE, 0, 0));
        return GetWindowRecord(active);
    }
    for (win::HWND child = win::GetWindow(client, win::GW_CHILD); child; child = win::GetWindow(child, win::GW_HWNDNEXT)) {
        WindowRecord* record = GetWindowRecord(child);
        if (IsDocumentRecord(record)) return record;
    }
    return nullptr;
}

WindowRecord* GetFrontPerformanceRecord()
{
    win::HWND client = Frame().mdiClient;
    if (client == nullptr) return nullptr;
    const auto front = reinterpret_cast<win::HWND>(win::SendMessage(client, win::WM_MDIGETACTIVE, 0, 0));
    WindowRecord* record = front ? GetWindowRecord(front) : nullptr;
    return record && record->kind == kWindowPerformance ? record : nullptr;
}

void ShowRecordMaximized(WindowRecord* record)
{
    if (record == nullptr || record->window == nullptr) return;
    if (ProbeModeActive()) {
        FillMdiClient(record);
        return;
    }
    win::HWND client = Frame().mdiClient;
    if (client && win::GetParent(record->window) == client) {
        win::ShowWindow(record->window, win::SW_SHOW);
        win::SendMessage(client, win::WM_MDIMAXIMIZE, reinterpret_cast<win::WPARAM>(record->window), 0);
        return;
    }
    win::ShowWindow(record->window, win::SW_SHOWMAXIMIZED);
}

void OpenFirstCircuitWindow()
{
    if (GetActiveChildRecord() == nullptr) {
        if (WindowRecord* record = NewDocumentWindow(kWindowSchematic)) {
            Frame().startupWindow = record->window;
            ShowRecordMaximized(record);
        }
    }
    if (WindowRecord* top = GetTopCircuitRecord(); top && top->window) win::UpdateWindow(top->window);
}

bool KeepRunWindowInFront(WindowRecord* record, win::WINDOWPOS* position)
{
    if (record == nullptr || position == nullptr || !ProbeModeActive()) return false;
    const WindowRecord* analysis = RunControl().analysisWindow;
    const WindowRecord* circuit = RunControl().circuitWindow;
    if (analysis == nullptr || circuit == nullptr || analysis->window == nullptr || circuit->window == nullptr)
        return false;
    if (record == analysis || (position->flags & win::SWP_NOZORDER)) return false;
    position->hwndInsertAfter = analysis->window;
    return true;
}

bool CatchMaximizeDuringRun(WindowRecord* record, win::WPARAM command)
{
    if ((command & 0xFFF0) != win::SC_MAXIMIZE || !ProbeModeActive()) return false;
    FillMdiClient(record);
    return true;
}

void RebuildWindowMenuEntries(win::HMENU popup, int first, int last, const std::vector<WindowMenuEntry>& entries)
{
    if (!popup) return;
    for (int id = first; id <= last; ++id) win::DeleteMenu(popup, static_cast<win::UINT>(id), win::MF_BYCOMMAND);
    const int count = win::GetMenuItemCount(popup);
    if (count > 0 && win::GetMenuItemID(popup, count - 1) == 0) win::DeleteMenu(popup, static_cast<win::UINT>(count - 1), win::MF_BYPOSITION);
    if (entries.empty()) return;
    // The windows measure stored runs: nothing to show before the first or while runs are made.
    const WindowRecord* analysis = RunControl().analysisWindow;
    const bool stored = analysis && analysis->plot && analysis->plot->store.runCount > 0;
    const bool grayed = RunControl().running != 0 || Settings().demoRunning || !stored;
    win::AppendMenu(popup, win::MF_SEPARATOR, 0, nullptr);
    int id = first;
    for (const WindowMenuEntry& entry : entries) {
        if (id > last) break;
        const win::UINT flags = win::MF_STRING | (entry.shown ? win::MF_CHECKED : 0u) | (grayed ? win::MF_GRAYED : 0u);
        win::AppendMenu(popup, flags, static_cast<win::UINT_PTR>(id++), MenuItemText(entry.name).c_str());
    }
}

}  // namespace kq5
