#include "document/hover_timer.h"

#include "document/circuit_document.h"
#include "platform/message.h"
#include "platform/region.h"
#include "platform/window.h"
#include "document/pane_seams.h"
#include "ui/window_record.h"

namespace kq5 {

namespace {

// True when the pointer (client coordinates) lies inside the active pane of a schematic window,
// more than one pixel from its edge.
bool PointerInActivePane(win::HWND window, win::POINT pointer)
{
    const WindowRecord* record = GetWindowRecord(window);
    if (record == nullptr || record->kind != kWindowSchematic || record->document == nullptr) return false;
    const int pane = record->document->currentPane;
    if (pane < 0 || pane > 3) return false;
    win::RECT rect{};
    GetPaneRect(record, pane, rect);
    win::InflateRect(&rect, -1, -1);
    return win::PtInRect(&rect, pointer) != 0;
}

}  // namespace

void StartHoverTimer(win::HWND window)
{
    win::SetTimer(window, kHoverTimerId, kHoverTimerPeriodMs, HoverTimerProc);
}

void StopHoverTimer(win::HWND window)
{
    win::KillTimer(window, kHoverTimerId);
}

void HoverTimerProc(win::HWND window, win::UINT message, win::UINT_PTR timerId, win::DWORD time)
{
    win::POINT pointer{};
    win::GetCursorPos(&pointer);
    win::ScreenToClient(window, &pointer);
    if (PointerInActivePane(window, pointer)) return;
    // Keeps a drag going (scrolling, for example) while the mouse stands still outside the pane.
    win::SendMessage(window, win::WM_MOUSEMOVE, win::MK_LBUTTON,
                     win::MAKELPARAM(static_cast<win::WORD>(pointer.x), static_cast<win::WORD>(pointer.y)));
}

}  // namespace kq5
