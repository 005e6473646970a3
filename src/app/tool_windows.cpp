#include "app/tool_windows.h"

#include <algorithm>
#include <map>

#include "ui/component_buttons.h"
#include "ui/help_bar.h"
#include "app/menus.h"
#include "ui/prompt_dialog.h"
#include "ui/window_class.h"
#include "ui/window_record.h"
#include "document/component_library.h"
#include "platform/bitmap.h"
#include "platform/controls.h"
#include "platform/cursor.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_raster.h"
#include "platform/gdi_objects.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/region.h"
#include "platform/system.h"
#include "platform/text.h"
#include "platform/win_styles.h"
#include "platform/window.h"

namespace kq5 {

// "%d:%s": the slot number and the bar's name.
std::string ToolWindowTitle(int slot);

namespace {

struct ToolWindowsState {
    std::map<std::uint32_t, win::HBITMAP> strips;
    std::array<win::HBITMAP, kComponentButtonCount> componentPictures{};
    win::HBITMAP closeBox = nullptr;
    ToolButtonSituation situation;
    int pressedRow = -1;
    bool lockToolBar = false;
};

ToolWindowsState& State()
{
    static ToolWindowsState state;
    return state;
}

constexpr int kCaptionHeight = 14;
constexpr win::COLORREF kPressedInk = win::RGB(0, 128, 0);

int SlotOf(win::HWND window)
{
    for (int slot = 0; slot < kToolSlotCount; ++slot)
        if (DockedBars()[static_cast<std::size_t>(slot)].window == window) return slot;
    return -1;
}

// A raised button face of one cell.
void DrawButtonFace(win::HDC dc, int x, int y, bool pressed)
{
    win::RECT r{x, y, x + kToolCellWidth, y + kToolCellHeight};
    win::FillRect(dc, &r, win::GetSysColorBrush(win::COLOR_BTNFACE));
    win::HPEN dark = win::CreatePen(win::PS_SOLID, 1, win::RGB(0, 0, 0));
    win::HPEN light = win::CreatePen(win::PS_SOLID, 1, win::GetSysColor(pressed ? win::COLOR_BTNSHADOW : win::COLOR_BTNHIGHLIGHT));
    win::HGDIOBJ old = win::SelectObject(dc, light);
    win::MoveToEx(dc, r.left, r.bottom - 1, nullptr);
    win::LineTo(dc, r.left, r.top);
    win::LineTo(dc, r.right - 1, r.top);
    win::SelectObject(dc, dark);
    win::LineTo(dc, r.right - 1, r.bottom - 1);
    win::LineTo(dc, r.left - 1, r.bottom - 1);
    win::SelectObject(dc, old);
    win::DeleteObject(dark);
    win::DeleteObject(light);
}

win::HBITMAP BuildComponentPicture(const ComponentButtonPicture& picture, win::HDC screen)
{
    const int w = kToolCellWidth;
    const int h = kToolCellHeight;
    win::HBITMAP bitmap = win::CreateCompatibleBitmap(screen, 2 * w, h);
    win::HDC dc = win::CreateCompatibleDC(screen);
    win::HGDIOBJ oldBitmap = win::SelectObject(dc, bitmap);
    DrawButtonFace(dc, 0, 0, false);
    DrawButtonFace(dc, w, 0, true);
    win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
    win::HPEN frame = win::CreatePen(win::PS_SOLID, 1, win::GetSysColor(win::COLOR_BTNSHADOW));
    win::HGDIOBJ oldPen = win::SelectObject(dc, frame);
    win::Rectangle(dc, 2, 2, w - 3, h - 3);
    win::Rectangle(dc, w + 2, 2, 2 * w - 3, h - 3);
    win::SelectObject(dc, oldPen);
    win::DeleteObject(frame);
    win::SelectObject(dc, oldBrush);
    for (int r = 0; r < kComponentPictureRows; ++r) {
        const std::uint32_t word = picture.rows[static_cast<std::size_t>(r)];
        const int y = r + 2;
        for (int x = kComponentPictureFirstBit; x <= kComponentPictureLastBit; ++x) {
            if (!(word & (1u << x))) continue;
            win::SetPixel(dc, x, y, win::RGB(0, 0, 0));
            win::SetPixel(dc, w + x + 1, y + 1, kPressedInk);
        }
    }
    win::SelectObject(dc, oldBitmap);
    win::DeleteDC(dc);
    return bitmap;
}

win::HBITMAP PictureOf(const ToolButtonRow& row)
{
    if (IsComponentButtonRow(row)) return State().componentPictures[row.bitmap % kComponentButtonCount];
    auto found = State().strips.find(row.bitmap);
    return found == State().strips.end() ? nullptr : found->second;
}

// A toggle button is drawn pressed while its option is on.
bool ButtonIsDown(const ToolButtonRow& row)
{
    const ToolButtonSituation& s = State().situation;
    if (row.state) return false;
    const int command = static_cast<int>(row.command);
    if (row.group == kGroupMode) return command == s.mode;
    if (row.group == kGroupCursor) return command == s.searchMode;
    if (command >= 17400 && command <= 17409) return MenuTextSources().viewOption && MenuTextSources().viewOption(command);
    if (command >= 18400 && command <= 18406) return MenuTextSources().plotOption && MenuTextSources().plotOption(command);
    if (command == 16058) return s.paused;
    if (command == 17312) return s.calculatorOpen;
    return false;
}

win::LRESULT ButtonProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    const int row = FindToolButton(static_cast<std::uint32_t>(win::GetDlgCtrlID(hwnd)));
    switch (msg) {
    case win::WM_ERASEBKGND: return 1;
    case win::WM_MOUSEACTIVATE: return win::MA_NOACTIVATE;
    case win::WM_LBUTTONDOWN:
        win::SetCapture(hwnd);
        State().pressedRow = row;
        win::InvalidateRect(hwnd, nullptr, win::FALSE);
        return 0;
    case win::WM_MOUSEMOVE:
        if (win::GetCapture() == hwnd) {
            win::RECT r;
            win::GetClientRect(hwnd, &r);
            const bool inside = win::PtInRect(&r, win::POINT{win::GET_X_LPARAM(lParam), win::GET_Y_LPARAM(lParam)});
            const int pressed = inside ? row : -1;
            if (pressed != State().pressedRow) {
                State().pressedRow = pressed;
                win::InvalidateRect(hwnd, nullptr, win::FALSE);
            }
        }
        return 0;
    case win::WM_LBUTTONUP:
        if (win::GetCapture() == hwnd) {
            win::ReleaseCapture();
            const bool inside = State().pressedRow == row;
            State().pressedRow = -1;
            win::InvalidateRect(hwnd, nullptr, win::FALSE);
            if (inside) win::SendMessage(win::GetParent(hwnd), win::WM_COMMAND, static_cast<win::WPARAM>(win::GetDlgCtrlID(hwnd)), 0);
        }
        return 0;
    case win::WM_PAINT: {
        win::PAINTSTRUCT ps;
        win::HDC dc = win::BeginPaint(hwnd, &ps);
        win::RECT r;
        win::GetClientRect(hwnd, &r);
        if (row >= 0) DrawToolButton(dc, row, r, State().pressedRow == row);
        win::EndPaint(hwnd, &ps);
        return 0;
    }
    default: break;
    }
    return win::DefWindowProc(hwnd, msg, wParam, lParam);
}

void LayoutChildren(win::HWND hwnd, int slot)
{
    DockedBar& bar = DockedBars()[static_cast<std::size_t>(slot)];
    win::RECT client;
    win::GetClientRect(hwnd, &client);
    const bool floating = bar.pos == kBarFloating || slot > 0;
    if (bar.title) {
        win::MoveWindow(bar.title, 0, 0, client.right - kCaptionHeight, kCaptionHeight, win::TRUE);
        win::ShowWindow(bar.title, floating ? win::SW_SHOW : win::SW_HIDE);
    }
    if (bar.closeBox) {
        win::MoveWindow(bar.closeBox, client.right - kCaptionHeight, 0, kCaptionHeight, kCaptionHeight, win::TRUE);
        win::ShowWindow(bar.closeBox, floating ? win::SW_SHOW : win::SW_HIDE);
    }
    const int screenHeight = win::GetSystemMetrics(win::SM_CYSCREEN);
    ToolLayout layout = LayoutToolButtons(slot, client.right - 1, State().situation, screenHeight);
    std::map<std::uint32_t, win::RECT> places(layout.buttons.begin(), layout.buttons.end());
    for (int i = 0; i < kToolButtonRowCount; ++i) {
        const std::uint32_t command = ToolButtonRows()[static_cast<std::size_t>(i)].command;
        win::HWND child = win::GetDlgItem(hwnd, static_cast<int>(command));
        if (!child) continue;
        auto place = places.find(command);
        if (place == places.end()) {
            win::ShowWindow(child, win::SW_HIDE);
            continue;
        }
        const win::RECT& r = place->second;
        win::MoveWindow(child, r.left, r.top, r.right - r.left, r.bottom - r.top, win::TRUE);
        win::ShowWindow(child, win::SW_SHOW);
    }
}

// Dragging a bar: an XOR outline on the frame shows where it would go.
struct DragState {
    bool active = false;
    int slot = -1;
    int dockClass = 0;
    win::POINT grab{};     // pointer offset inside the bar
    win::RECT outline{};   // frame client coordinates
};

DragState& Drag()
{
    static DragState drag;
    return drag;
}

void XorOutline(win::HWND frame, const win::RECT& r)
{
    win::HDC dc = win::GetDC(frame);
    int oldRop = win::SetROP2(dc, win::R2_NOT);
    win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
    win::Rectangle(dc, r.left, r.top, r.right, r.bottom);
    win::Rectangle(dc, r.left + 1, r.top + 1, r.right - 1, r.bottom - 1);
    win::SelectObject(dc, oldBrush);
    win::SetROP2(dc, oldRop);
    win::ReleaseDC(frame, dc);
}

win::POINT FramePoint(win::HWND bar, win::LPARAM lParam)
{
    win::POINT p{win::GET_X_LPARAM(lParam), win::GET_Y_LPARAM(lParam)};
    win::ClientToScreen(bar, &p);
    win::ScreenToClient(win::GetParent(bar), &p);
    return p;
}

// The outline of the bar at the pointer: its own shape while the dock class stays, else the
// shape it would have at the new place, centred on the pointer.
win::RECT OutlineAt(win::HWND frame, int slot, win::POINT p, int dockClass)
{
    DockedBar& bar = DockedBars()[static_cast<std::size_t>(slot)];
    win::RECT client;
    win::GetClientRect(frame, &client);
    const int savedPos = bar.pos;
    bar.pos = dockClass;
    win::RECT shape = ComputeBarRect(slot, client.right, client.bottom, 0, State().situation,
                                     win::GetSystemMetrics(win::SM_CXSCREEN), win::GetSystemMetrics(win::SM_CYSCREEN));
    bar.pos = savedPos;
    const int w = shape.right - shape.left;
    const int h = shape.bottom - shape.top;
    if (dockClass == savedPos) return win::RECT{p.x - Drag().grab.x, p.y - Drag().grab.y, p.x - Drag().grab.x + w, p.y - Drag().grab.y + h};
    return win::RECT{p.x - w / 2, p.y - h / 2, p.x - w / 2 + w, p.y - h / 2 + h};
}

win::LRESULT ToolWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    int slot = SlotOf(hwnd);
    switch (msg) {
    case win::WM_LBUTTONDOWN: {
        if (slot < 0 || (slot == 0 && State().lockToolBar)) return 0;
        DragState& drag = Drag();
        drag = DragState{true, slot, DockedBars()[static_cast<std::size_t>(slot)].pos,
                         win::POINT{win::GET_X_LPARAM(lParam), win::GET_Y_LPARAM(lParam)}, {}};
        drag.outline = OutlineAt(win::GetParent(hwnd), slot, FramePoint(hwnd, lParam), drag.dockClass);
        win::SetCapture(hwnd);
        XorOutline(win::GetParent(hwnd), drag.outline);
        return 0;
    }
    case win::WM_MOUSEMOVE: {
        DragState& drag = Drag();
        if (!drag.active || drag.slot != slot) return 0;
        win::HWND frame = win::GetParent(hwnd);
        win::RECT client;
        win::GetClientRect(frame, &client);
        const win::POINT p = FramePoint(hwnd, lParam);
        XorOutline(frame, drag.outline);
        drag.dockClass = DockClassAt(slot, p, client);
        drag.outline = OutlineAt(frame, slot, p, drag.dockClass);
        XorOutline(frame, drag.outline);
        return 0;
    }
    case win::WM_LBUTTONUP: {
        DragState& drag = Drag();
        if (!drag.active || drag.slot != slot) return 0;
        win::HWND frame = win::GetParent(hwnd);
        XorOutline(frame, drag.outline);
        win::ReleaseCapture();
        drag.active = false;
        DockedBar& bar = DockedBars()[static_cast<std::size_t>(slot)];
        bar.pos = drag.dockClass;
        bar.x = drag.outline.left;
        bar.y = drag.outline.top;
        win::RECT client;
        win::GetClientRect(frame, &client);
        win::SendMessage(frame, win::WM_SIZE, 0, win::MAKELPARAM(static_cast<win::WORD>(client.right), static_cast<win::WORD>(client.bottom)));
        return 0;
    }
    case win::WM_MOUSEACTIVATE: return win::MA_NOACTIVATE;
    // The frame passes its activation on for the caption; the keyboard stays with the window the
    // user works in, so a bar never takes the focus.
    case win::WM_ACTIVATE: return 0;
    case win::WM_SIZE:
        if (slot >= 0) LayoutChildren(hwnd, slot);
        return 0;
    case win::WM_CLOSE:
        win::ShowWindow(hwnd, win::SW_HIDE);
        if (slot >= 0) DockedBars()[static_cast<std::size_t>(slot)].visible = 0;
        return 0;
    case win::WM_COMMAND: {
        const int id = win::LOWORD(wParam);
        if (id == kToolCloseBoxId) {
            win::SendMessage(hwnd, win::WM_CLOSE, 0, 0);
            return 0;
        }
        const int row = FindToolButton(static_cast<std::uint32_t>(id));
        if (row >= 0 && ToolButtonRows()[static_cast<std::size_t>(row)].state == 1) return 0;
        if (id == kToolListId) {
            if (win::HIWORD(wParam) == win::LBN_SELCHANGE && slot > 0) {
                const DockedBar& bar = DockedBars()[static_cast<std::size_t>(slot)];
                const win::LRESULT index = win::SendMessage(bar.listBox, win::LB_GETCURSEL, 0, 0);
                if (index >= 0 && static_cast<std::size_t>(index) < bar.entries.size() && PaletteHooks().pickComponent)
                    PaletteHooks().pickComponent(bar.entries[static_cast<std::size_t>(index)]);
            }
            return 0;
        }
        win::PostMessage(win::GetParent(hwnd), win::WM_COMMAND, ToolCommandOf(static_cast<std::uint32_t>(id)), 0);
        return 0;
    }
    case win::WM_CTLCOLORSTATIC: {
        win::HDC dc = reinterpret_cast<win::HDC>(wParam);
        win::SetTextColor(dc, win::GetSysColor(win::COLOR_CAPTIONTEXT));
        win::SetBkColor(dc, win::GetSysColor(win::COLOR_ACTIVECAPTION));
        return reinterpret_cast<win::LRESULT>(win::GetSysColorBrush(win::COLOR_ACTIVECAPTION));
    }
    default: break;
    }
    return win::DefWindowProc(hwnd, msg, wParam, lParam);
}

win::LRESULT CloseBoxProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    if (msg == win::WM_PAINT) {
        win::PAINTSTRUCT ps;
        win::HDC dc = win::BeginPaint(hwnd, &ps);
        win::RECT r;
        win::GetClientRect(hwnd, &r);
        if (win::HBITMAP box = State().closeBox) {
            win::HDC mem = win::CreateCompatibleDC(dc);
            win::HGDIOBJ old = win::SelectObject(mem, box);
            win::BitBlt(dc, 0, 0, r.right, r.bottom, mem, 0, 0, win::SRCCOPY);
            win::SelectObject(mem, old);
            win::DeleteDC(mem);
        }
        win::EndPaint(hwnd, &ps);
        return 0;
    }
    if (msg == win::WM_LBUTTONUP) {
        win::SendMessage(win::GetParent(hwnd), win::WM_COMMAND, kToolCloseBoxId, 0);
        return 0;
    }
    if (msg == win::WM_MOUSEACTIVATE) return win::MA_NOACTIVATE;
    return win::DefWindowProc(hwnd, msg, wParam, lParam);
}

void RegisterClasses()
{
    RegisterArrowClass(kToolWindowClass, &ToolWndProc, win::GetSysColorBrush(win::COLOR_BTNFACE));
    RegisterArrowClass(kToolButtonClass, &ButtonProc);
    RegisterArrowClass("ToolClose", &CloseBoxProc);
}

}  // namespace

ToolButtonSituation& ToolSituation() { return State().situation; }

PaletteHookTable& PaletteHooks()
{
    static PaletteHookTable hooks;
    return hooks;
}

void SetToolBarLocked(bool locked) { State().lockToolBar = locked; }

void LoadToolButtonBitmaps()
{
    win::HINSTANCE instance = win::GetModuleHandle(nullptr);
    for (int i = 0; i < kToolListRow; ++i) {
        ToolButtonRow& row = ToolButtonRows()[static_cast<std::size_t>(i)];
        if (!(row.flags & (kToolOnSchematicBar | kToolOnAnalysisBar)) || IsComponentButtonRow(row) || row.bitmap == 0) continue;
        auto found = State().strips.find(row.bitmap);
        if (found == State().strips.end()) {
            found = State().strips.emplace(row.bitmap, win::LoadBitmap(instance, row.bitmap)).first;
            row.ownsBitmap = 1;
        }
        row.bitmapHandle = found->second;
    }
    if (!State().closeBox) State().closeBox = win::LoadBitmap(instance, kCloseBoxBitmap);
    RebuildComponentBitmaps();
}

void RebuildComponentBitmaps()
{
    win::HDC screen = win::GetDC(nullptr);
    for (int i = 0; i < kComponentButtonCount; ++i) {
        win::HBITMAP& picture = State().componentPictures[static_cast<std::size_t>(i)];
        if (picture) win::DeleteObject(picture);
        picture = BuildComponentPicture(ComponentButtons().current[static_cast<std::size_t>(i)], screen);
    }
    win::ReleaseDC(nullptr, screen);
}

void FreeToolBars()
{
    ToolWindowsState& state = State();
    for (auto& [id, strip] : state.strips)
        if (strip) win::DeleteObject(strip);
    state.strips.clear();
    for (win::HBITMAP& picture : state.componentPictures) {
        if (picture) win::DeleteObject(picture);
        picture = nullptr;
    }
    if (state.closeBox) win::DeleteObject(state.closeBox);
    state.closeBox = nullptr;
    for (ToolButtonRow& row : ToolButtonRows()) {
        row.bitmapHandle = nullptr;
        row.ownsBitmap = 0;
    }
    for (DockedBar& bar : DockedBars()) {
        bar.name.clear();
        bar.entries.clear();
        bar.window = bar.title = bar.closeBox = bar.listBox = nullptr;
    }
}

void DrawToolButton(win::HDC dc, int row, const win::RECT& cell, bool pressed)
{
    const ToolButtonRow& r = ToolButtonRows()[static_cast<std::size_t>(row)];
    const bool down = r.state == 0 && (pressed || ButtonIsDown(r));
    const int w = cell.right - cell.left;
    const int h = cell.bottom - cell.top;
    win::HBITMAP picture = PictureOf(r);
    if (picture) {
        win::HDC mem = win::CreateCompatibleDC(dc);
        win::HGDIOBJ old = win::SelectObject(mem, picture);
        const int cellIndex = IsComponentButtonRow(r) ? 0 : static_cast<int>(r.cell);
        win::BitBlt(dc, cell.left, cell.top, w, h, mem, down ? kToolCellWidth : 0, cellIndex * kToolCellHeight, win::SRCCOPY);
        win::SelectObject(mem, old);
        win::DeleteDC(mem);
    } else {
        DrawButtonFace(dc, cell.left, cell.top, down);
    }
    if (r.state) {
        // Greyed: the inside merged with a checkerboard so the picture reads as unavailable.
        win::HBITMAP checker = win::LoadBitmap(win::GetModuleHandle(nullptr), 1807);
        win::HBRUSH brush = checker ? win::CreatePatternBrush(checker) : win::CreateSolidBrush(win::GetSysColor(win::COLOR_BTNFACE));
        win::HGDIOBJ oldBrush = win::SelectObject(dc, brush);
        win::HGDIOBJ oldPen = win::SelectObject(dc, win::GetStockObject(win::NULL_PEN));
        int oldRop = win::SetROP2(dc, win::R2_MERGEPEN);
        win::Rectangle(dc, cell.left + 1, cell.top + 1, cell.right - 1, cell.bottom - 1);
        win::SetROP2(dc, oldRop);
        win::SelectObject(dc, oldPen);
        win::SelectObject(dc, oldBrush);
        win::DeleteObject(brush);
        if (checker) win::DeleteObject(checker);
    }
}

void DrawComponentPicture(win::HDC dc, const ComponentButtonPicture& picture, int x, int y)
{
    win::HBITMAP bitmap = BuildComponentPicture(picture, dc);
    win::HDC mem = win::CreateCompatibleDC(dc);
    win::HGDIOBJ old = win::SelectObject(mem, bitmap);
    win::BitBlt(dc, x, y, kToolCellWidth, kToolCellHeight, mem, 0, 0, win::SRCCOPY);
    win::SelectObject(mem, old);
    win::DeleteDC(mem);
    win::DeleteObject(bitmap);
}

void ShowToolWindow(win::HWND frame, int slot)
{
    if (slot < 0 || slot >= kToolSlotCount) return;
    RegisterClasses();
    DockedBar& bar = DockedBars()[static_cast<std::size_t>(slot)];
    if (bar.window) {
        bar.visible = bar.visible ? 0 : 1;
        win::ShowWindow(bar.window, bar.visible ? win::SW_SHOW : win::SW_HIDE);
        return;
    }
    if (slot > 0 && bar.entries.empty()) return;
    if (bar.pos == 0) bar.pos = kBarFloating;
    bar.visible = 1;
    const int place = 80 + 20 * slot;
    win::HWND window = win::CreateWindowEx(0, kToolWindowClass, "", win::WS_CHILD | win::WS_VISIBLE | win::WS_BORDER | win::WS_CLIPCHILDREN,
                                           place, place, 100, 100, frame,
                                           reinterpret_cast<win::HMENU>(static_cast<win::INT_PTR>(kFirstToolWindowId + slot)), nullptr, nullptr);
    if (!window) return;
    bar.window = window;
    const std::string title = ToolWindowTitle(slot);
    bar.title = win::CreateWindowEx(0, "STATIC", title.c_str(), win::WS_CHILD | win::SS_LEFT, 0, 0, 10, kCaptionHeight, window,
                                    reinterpret_cast<win::HMENU>(static_cast<win::INT_PTR>(kToolTitleId)), nullptr, nullptr);
    bar.closeBox = win::CreateWindowEx(0, "ToolClose", "", win::WS_CHILD, 0, 0, kCaptionHeight, kCaptionHeight, window,
                                       reinterpret_cast<win::HMENU>(static_cast<win::INT_PTR>(kToolCloseBoxId)), nullptr, nullptr);
    if (slot == 0) {
        for (int i = 0; i < kToolListRow; ++i) {
            const ToolButtonRow& row = ToolButtonRows()[static_cast<std::size_t>(i)];
            if (!PictureOf(row)) continue;
            win::CreateWindowEx(0, kToolButtonClass, "", win::WS_CHILD, 0, 0, kToolCellWidth, kToolCellHeight, window,
                                reinterpret_cast<win::HMENU>(static_cast<win::INT_PTR>(row.command)), nullptr, nullptr);
        }
    } else {
        bar.listBox = win::CreateWindowEx(0, "LISTBOX", "", win::WS_CHILD | win::WS_VSCROLL | win::LBS_NOTIFY, 0, 0, 10, 10, window,
                                          reinterpret_cast<win::HMENU>(static_cast<win::INT_PTR>(kToolListId)), nullptr, nullptr);
        for (const std::string& entry : bar.entries)
            win::SendMessage(bar.listBox, win::LB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(entry.c_str()));
    }
    // Above the circuit windows, made before it: a click on the bar must reach the bar.
    win::BringWindowToTop(window);
    win::RECT client;
    win::GetClientRect(frame, &client);
    win::SendMessage(frame, win::WM_SIZE, 0, win::MAKELPARAM(static_cast<win::WORD>(client.right), static_cast<win::WORD>(client.bottom)));
}

win::RECT PlaceDockedBars(win::HWND, int clientWidth, int clientHeight, int statusHeight)
{
    win::RECT rest{0, 0, clientWidth, clientHeight - statusHeight};
    const int screenWidth = win::GetSystemMetrics(win::SM_CXSCREEN);
    const int screenHeight = win::GetSystemMetrics(win::SM_CYSCREEN);
    for (int slot = 0; slot < kToolSlotCount; ++slot) {
        DockedBar& bar = DockedBars()[static_cast<std::size_t>(slot)];
        if (!bar.window || !bar.visible) continue;
        win::RECT r = ComputeBarRect(slot, clientWidth, clientHeight - statusHeight, 0, State().situation, screenWidth, screenHeight);
        win::MoveWindow(bar.window, r.left, r.top, r.right - r.left, r.bottom - r.top, win::TRUE);
        if (slot != 0) continue;
        switch (bar.pos) {
        case kBarLeft: rest.left = std::max<int>(rest.left, r.right); break;
        case kBarRight: rest.right = std::min<int>(rest.right, r.left); break;
        case kBarTop: rest.top = std::max<int>(rest.top, r.bottom); break;
        case kBarBottom: rest.bottom = std::min<int>(rest.bottom, r.top); break;
        default: break;
        }
        win::BringWindowToTop(bar.window);
    }
    return rest;
}

void UpdateToolButtonStates()
{
    ComputeToolButtonStates(State().situation);
    DockedBar& bar = DockedBars()[0];
    if (bar.window) LayoutChildren(bar.window, 0);
}

namespace {

// The help of a schematic window's part under the pointer: its drawing area tells the current
// edit mode, its pane scroll bars their direction; 0 for anything else.
int SchematicPartHelpId(win::HWND window)
{
    if (WindowKindOf(window) == kWindowSchematic) {
        const WindowRecord* record = GetWindowRecord(window);
        return record != nullptr ? record->mode : 0;
    }
    win::HWND parent = window ? win::GetParent(window) : nullptr;
    if (parent == nullptr || WindowKindOf(parent) != kWindowSchematic || win::GetClassName(window) != "SCROLLBAR") return 0;
    return (win::GetWindowLongPtr(window, win::GWL_STYLE) & win::SBS_VERT) != 0 ? NonClientHelpMessageId(win::HTVSCROLL)
                                                                             : NonClientHelpMessageId(win::HTHSCROLL);
}

// The help of the component under the pointer in a palette's list: its component menu item.
int PaletteItemHelpId(win::HWND list, int slot)
{
    win::POINT at{};
    win::GetCursorPos(&at);
    win::ScreenToClient(list, &at);
    const win::LRESULT hit = win::SendMessage(list, win::LB_ITEMFROMPOINT, 0,
                                              win::MAKELPARAM(static_cast<win::WORD>(at.x), static_cast<win::WORD>(at.y)));
    const auto& entries = DockedBars()[static_cast<std::size_t>(slot)].entries;
    const std::size_t item = win::LOWORD(static_cast<win::DWORD>(hit));
    if (win::HIWORD(static_cast<win::DWORD>(hit)) != 0 || item >= entries.size()) return 0;
    const int index = ComponentDefinitionIndex(entries[item]);
    return index >= 0 ? static_cast<int>(kComponentMenuBase) + index : 0;
}

}  // namespace

void ShowPointerHelp(win::HWND window, int hitTest)
{
    HelpBar* bar = &FrameHelpBar();
    win::HWND parent = window ? win::GetParent(window) : nullptr;
    if (parent && SlotOf(parent) >= 0) {
        const int id = win::GetDlgCtrlID(window);
        const int row = FindToolButton(static_cast<std::uint32_t>(id));
        ShowHelpBarMessage(bar, row == kToolListRow ? PaletteItemHelpId(window, SlotOf(parent)) : row >= 0 ? id : 0);
        return;
    }
    if (NonClientHelpMessageId(hitTest) != 0) {
        ShowNonClientHelp(bar, hitTest);
        return;
    }
    ShowHelpBarMessage(bar, hitTest == win::HTCLIENT ? SchematicPartHelpId(window) : 0);
}

std::string ToolWindowTitle(int slot)
{
    const DockedBar& bar = DockedBars()[static_cast<std::size_t>(slot)];
    return std::to_string(slot) + ":" + (bar.name.empty() ? std::string(slot == 0 ? "Tools" : "Palette") : bar.name);
}

int RenamePaletteWindow(int slot)
{
    if (slot < 1 || slot >= kToolSlotCount) return 0;
    DockedBar& bar = DockedBars()[static_cast<std::size_t>(slot)];
    PromptDialogDesc prompt;
    prompt.templateId = kNamePromptTemplate;
    prompt.caption = "Palette Name";
    prompt.text = bar.name;
    if (RunPromptDialog(prompt) != 1) return 0;
    bar.name = prompt.text;
    if (bar.title) win::SetWindowText(bar.title, ToolWindowTitle(slot).c_str());
    return 1;
}

int MainBarTopHeight()
{
    const DockedBar& bar = DockedBars()[0];
    if (!bar.window || !bar.visible || bar.pos != kBarTop) return 0;
    win::RECT r;
    win::GetClientRect(bar.window, &r);
    return r.bottom;
}

}  // namespace kq5
