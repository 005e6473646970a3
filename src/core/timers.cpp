#include "core/timers.h"

#include <chrono>

#include "ui/program_settings.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "platform/message.h"
#include "platform/region.h"
#include "platform/system.h"
#include "platform/window.h"
#include "document/pane_seams.h"

namespace kq5 {

namespace {

constexpr const char* kDateLabel = "Date ";
constexpr const char* kTimeLabel = "Time ";

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

double GetTimeSeconds()
{
    // A 64-bit monotonic clock: never wraps, never jumps with the wall clock.
    using Seconds = std::chrono::duration<double>;
    return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string FormatLocaleDate()
{
    return win::GetDateFormat(win::LOCALE_USER_DEFAULT, win::DATE_SHORTDATE, nullptr, nullptr);
}

std::string FormatLocaleTime()
{
    return win::GetTimeFormat(win::LOCALE_USER_DEFAULT, 0, nullptr, nullptr);
}

std::string FormatDateTimeStamp(bool withLabels, std::uint32_t optionFlags)
{
    const bool date = (optionFlags & kOptionDateStamp) != 0;
    const bool time = (optionFlags & kOptionTimeStamp) != 0;
    std::string stamp;
    if (date) {
        if (withLabels) stamp += kDateLabel;
        stamp += FormatLocaleDate();
        if (time) stamp += ' ';
    }
    if (time) {
        if (withLabels) stamp += kTimeLabel;
        stamp += FormatLocaleTime();
    }
    return stamp;
}

std::string FormatDateTimeStamp(bool withLabels)
{
    return FormatDateTimeStamp(withLabels, OptionFlags());
}

}  // namespace kq5
