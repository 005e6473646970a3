#include "ui/crosshair.h"

#include "ui/window_record.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/gdi_raster.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/window.h"

namespace kq5 {

namespace {

struct CrosshairState {
    WindowRecord* shownIn = nullptr;
    win::POINT at{};
    int suspended = 0;
};

CrosshairState& State()
{
    static CrosshairState state;
    return state;
}

// XOR lines: drawn twice at the same point they leave the window as it was.
void XorLines(win::HWND window, win::POINT p)
{
    if (!window) return;
    win::RECT r;
    win::GetClientRect(window, &r);
    win::HDC dc = win::GetDC(window);
    int oldRop = win::SetROP2(dc, win::R2_XORPEN);
    win::HPEN pen = win::CreatePen(win::PS_SOLID, 1, win::RGB(255, 255, 255));
    win::HGDIOBJ oldPen = win::SelectObject(dc, pen);
    win::MoveToEx(dc, r.left, p.y, nullptr);
    win::LineTo(dc, r.right, p.y);
    win::MoveToEx(dc, p.x, r.top, nullptr);
    win::LineTo(dc, p.x, r.bottom);
    win::SelectObject(dc, oldPen);
    win::DeleteObject(pen);
    win::SetROP2(dc, oldRop);
    win::ReleaseDC(window, dc);
}

}  // namespace

void DrawCrosshair(WindowRecord* record, win::POINT point)
{
    CrosshairState& state = State();
    if (!record || state.suspended) return;
    EraseCrosshair(nullptr);
    XorLines(record->window, point);
    state.shownIn = record;
    state.at = point;
}

void EraseCrosshair(WindowRecord* record)
{
    CrosshairState& state = State();
    if (!state.shownIn || (record && record != state.shownIn)) return;
    if (IsLiveWindowRecord(state.shownIn)) XorLines(state.shownIn->window, state.at);
    state.shownIn = nullptr;
}

void SuspendCrosshair(bool erase)
{
    if (State().suspended++ == 0 && erase) EraseCrosshair(nullptr);
}

void ResumeCrosshair()
{
    CrosshairState& state = State();
    if (state.suspended == 0) return;
    if (--state.suspended != 0) return;
    win::POINT p;
    if (win::GetCursorPos(&p)) win::SetCursorPos(p.x, p.y);
}

int CrosshairSuspendLevel() { return State().suspended; }
bool CrosshairShown() { return State().shownIn != nullptr; }
void ResetCrosshairForTests() { State() = CrosshairState{}; }

}  // namespace kq5
