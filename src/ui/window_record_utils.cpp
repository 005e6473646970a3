#include "ui/window_record_utils.h"

#include "ui/frame_state.h"
#include "ui/window_record.h"
#include "platform/mdi.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/region.h"
#include "platform/system.h"
#include "platform/window.h"
#include "ui/color_table.h"
#include "platform/gdi_clip.h"
#include "platform/gdi_objects.h"

namespace kq5 {

bool IsDocumentRecord(const WindowRecord* record)
{
    if (record == nullptr) return false;
    if (record->flags & kRecordDocument) return true;
    switch (record->kind) {
    case kWindowSchematic:
    case kWindowTextCircuit:
    case kWindowModelLibrary:
    case kWindowDocumentOther:
    case kWindowAnalysis:
    case kWindowMonteCarlo:
    case kWindow3D:
    case kWindowPlainSchematic: return true;
    default: return false;
    }
}

int GetRecordMode(const WindowRecord* record) { return record ? record->mode : 0; }

void SetRecordMode(WindowRecord* record, int mode)
{
    if (record) record->mode = mode;
}

void SetUndoKind(WindowRecord* record, int kind)
{
    if (!record) return;
    record->undoKind = kind;
    if (!Frame().busy) RefreshToolButtonStates();
}

FontSpec GetRecordFontSpec(const WindowRecord* record) { return record ? record->font : FontSpec{}; }

void SetRecordFontSpec(WindowRecord* record, const FontSpec& spec)
{
    if (record) record->font = spec;
}

win::HFONT GetRecordFont(const WindowRecord* record) { return record ? record->fontHandle : nullptr; }

WindowRecord* GetTopCircuitRecord()
{
    win::HWND client = Frame().mdiClient;
    if (client == nullptr) return nullptr;
    for (win::HWND child = win::GetWindow(client, win::GW_CHILD); child; child = win::GetWindow(child, win::GW_HWNDNEXT)) {
        WindowRecord* record = GetWindowRecord(child);
        if (record && (record->kind == kWindowSchematic || record->kind == kWindowTextCircuit)) return record;
    }
    return nullptr;
}

void CloseWindowRecord(WindowRecord* record)
{
    if (record && record->window) win::SendMessage(record->window, win::WM_CLOSE, 0, 0);
}

void InvalidateWindowRecord(WindowRecord* record)
{
    if (record && record->window) win::InvalidateRect(record->window, nullptr, win::TRUE);
}

void FillMdiClient(WindowRecord* record)
{
    if (record == nullptr || record->window == nullptr || Frame().mdiClient == nullptr) return;
    if (win::IsIconic(record->window)) win::ShowWindow(record->window, win::SW_RESTORE);
    win::RECT client{};
    win::GetClientRect(Frame().mdiClient, &client);
    win::MoveWindow(record->window, 0, 0, client.right, client.bottom, win::TRUE);
}

void ActivateWindowRecord(WindowRecord* record, bool viaFrame)
{
    if (record == nullptr || record->window == nullptr) return;
    if (viaFrame && FrameRecord() && FrameRecord()->window) win::SetActiveWindow(FrameRecord()->window);
    if (win::IsIconic(record->window)) win::OpenIcon(record->window);
    if (Frame().mdiClient && win::GetParent(record->window) == Frame().mdiClient) {
        win::SendMessage(Frame().mdiClient, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(record->window), 0);
    } else {
        win::SetActiveWindow(record->window);
    }
    win::BringWindowToTop(record->window);
}

bool GetRecordPlacement(const WindowRecord* record, win::WINDOWPLACEMENT& placement)
{
    if (record == nullptr || record->window == nullptr) return false;
    placement = win::WINDOWPLACEMENT{};
    return win::GetWindowPlacement(record->window, &placement) != win::FALSE;
}

void FitRectInClient(win::HWND window, win::RECT& rect)
{
    win::RECT client{};
    if (window == nullptr || !win::GetClientRect(window, &client)) return;
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (rect.right > client.right) rect.left = client.right - width;
    if (rect.bottom > client.bottom) rect.top = client.bottom - height;
    if (rect.left < client.left) rect.left = client.left;
    if (rect.top < client.top) rect.top = client.top;
    rect.right = rect.left + width;
    rect.bottom = rect.top + height;
}

void SetRecordPlacement(WindowRecord* record, const win::WINDOWPLACEMENT& placement)
{
    if (record == nullptr || record->window == nullptr || placement.length == 0) return;
    win::WINDOWPLACEMENT adjusted = placement;
    // A placement saved on a larger screen or client must not put the window out of reach.
    if (win::HWND parent = win::GetParent(record->window)) FitRectInClient(parent, adjusted.rcNormalPosition);
    win::SetWindowPlacement(record->window, &adjusted);
}

win::HGDIOBJ SelectColorPen(win::HDC dc, int colorIndex, int width, win::HPEN& created)
{
    created = nullptr;
    if (width == 1 && colorIndex >= 0 && colorIndex < kColorRows && ColorTable().rows[static_cast<std::size_t>(colorIndex)].pen)
        return win::SelectObject(dc, ColorTable().rows[static_cast<std::size_t>(colorIndex)].pen);
    created = win::CreatePen(win::PS_SOLID, width, win::PALETTEINDEX(static_cast<win::WORD>(colorIndex)));
    return win::SelectObject(dc, created);
}

void RestorePen(win::HDC dc, win::HGDIOBJ old, win::HPEN& created)
{
    win::SelectObject(dc, old);
    if (created) win::DeleteObject(created);
    created = nullptr;
}

void SetClipRect(win::HDC dc, const win::RECT& rect)
{
    win::HRGN region = win::CreateRectRgn(rect.left, rect.top, rect.right, rect.bottom);
    win::SelectClipRgn(dc, region);
    win::DeleteObject(region);
}

void ClearClipRect(win::HDC dc) { win::SelectClipRgn(dc, nullptr); }

void PointFromLParam(win::POINT& point, win::LPARAM lParam)
{
    point.x = static_cast<short>(lParam & 0xFFFF);
    point.y = static_cast<short>((lParam >> 16) & 0xFFFF);
}

void GetWorkArea(win::RECT& rect) { win::SystemParametersInfo(win::SPI_GETWORKAREA, 0, &rect, 0); }

bool RectsIntersect(const win::RECT& a, const win::RECT& b)
{
    win::RECT out{};
    return win::IntersectRect(&out, &a, &b) != win::FALSE;
}

void ShowDlgItemRange(win::HWND dialog, int first, int last, bool show)
{
    for (int id = first; id <= last; ++id) {
        if (win::HWND item = win::GetDlgItem(dialog, id)) win::ShowWindow(item, show ? win::SW_SHOW : win::SW_HIDE);
    }
}

int PumpPendingMessages()
{
    win::MSG message{};
    while (win::PeekMessage(&message, nullptr, 0, 0, win::PM_REMOVE)) {
        if (message.message == win::WM_QUIT) {
            win::PostQuitMessage(static_cast<int>(message.wParam));
            return 0;
        }
        if (message.message == win::WM_KEYDOWN) return static_cast<int>(message.wParam);
        if (const auto& process = FrameServices().processMessage) {
            process(message);
        } else {
            win::TranslateMessage(&message);
            win::DispatchMessage(&message);
        }
    }
    return 0;
}

}  // namespace kq5
