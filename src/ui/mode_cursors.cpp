#include "ui/mode_cursors.h"

#include <array>

#include "ui/window_record.h"
#include "platform/controls.h"
#include "platform/cursor.h"
#include "platform/message.h"
#include "platform/win_styles.h"
#include "platform/system.h"
#include "platform/window.h"

namespace kq5 {

namespace {

constexpr int kFirstCursor = 1000;
constexpr int kCursorCount = 12;

std::array<win::HCURSOR, kCursorCount>& Cursors()
{
    static std::array<win::HCURSOR, kCursorCount> cursors{};
    return cursors;
}

}  // namespace

int CursorResourceForMode(int mode)
{
    switch (mode) {
    case 17565: return 1000;  // Help
    case 17563: return 1001;  // Text
    case 17562: return 1002;  // Component
    case 17561: return 1003;  // Select
    case 17450: return 1004;  // Color
    case 17564: return 1005;  // Wire
    case 17566: case 17567: case 17568: case 17569: case 17570:  // the drawing modes
    case 17683: case 17684: case 17685:                          // the path modes of a shape
        return 1011;
    case 17578: return 1007;  // Info
    default: return 0;
    }
}

void LoadCursors()
{
    for (int i = 0; i < kCursorCount; ++i) {
        if (!Cursors()[static_cast<std::size_t>(i)]) Cursors()[static_cast<std::size_t>(i)] = win::LoadCursor(win::GetModuleHandle(nullptr), kFirstCursor + i);
    }
}

void DestroyCursors()
{
    for (win::HCURSOR& cursor : Cursors()) {
        if (cursor) win::DestroyCursor(cursor);
        cursor = nullptr;
    }
}

win::HCURSOR CursorForMode(int mode)
{
    int id = CursorResourceForMode(mode);
    if (id == 0) return win::LoadCursor(nullptr, win::IDC_ARROW);
    // Loaded cursors are shared by the window system, so asking again costs nothing and never
    // hands out one that a restarted window system has let go.
    win::HCURSOR cursor = win::LoadCursor(win::GetModuleHandle(nullptr), id);
    return cursor ? cursor : win::LoadCursor(nullptr, win::IDC_ARROW);
}

void SetClassCursor(win::HWND window, win::HCURSOR cursor)
{
    if (window) win::SetClassLongPtr(window, win::GCLP_HCURSOR, reinterpret_cast<win::LONG_PTR>(cursor));
}

void SetClassArrow(win::HWND window) { SetClassCursor(window, win::LoadCursor(nullptr, win::IDC_ARROW)); }

int ListItemFromCursor(win::HWND listBox)
{
    if (!listBox) return -1;
    win::POINT p;
    if (!win::GetCursorPos(&p)) return -1;
    win::ScreenToClient(listBox, &p);
    win::RECT client;
    win::GetClientRect(listBox, &client);
    if (p.x < 0 || p.y < 0 || p.x >= client.right || p.y >= client.bottom) return -1;
    const int height = static_cast<int>(win::SendMessage(listBox, win::LB_GETITEMHEIGHT, 0, 0));
    if (height <= 0) return -1;
    const int top = static_cast<int>(win::SendMessage(listBox, win::LB_GETTOPINDEX, 0, 0));
    const int item = top + p.y / height;
    return item < static_cast<int>(win::SendMessage(listBox, win::LB_GETCOUNT, 0, 0)) ? item : -1;
}

win::HCURSOR SetModeCursor(const WindowRecord* record, bool probeRunActive)
{
    if (!record) return nullptr;
    win::HCURSOR cursor;
    if (record->kind == kWindowModelLibrary || record->kind == kWindowMonteCarlo) cursor = win::LoadCursor(nullptr, win::IDC_ARROW);
    else if (probeRunActive) cursor = win::LoadCursor(nullptr, win::IDC_WAIT);
    else cursor = CursorForMode(record->mode);
    SetClassCursor(record->window, cursor);
    win::SetCursor(cursor);
    return cursor;
}

}  // namespace kq5
