#include "schematic/circuit_window.h"

#include <algorithm>
#include <array>
#include <vector>

#include "analog/analysis_start.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "ui/color_dialog.h"
#include "ui/color_table.h"
#include "ui/crosshair.h"
#include "ui/frame_state.h"
#include "ui/edit_mode.h"
#include "ui/mode_cursors.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "analog/run_windows.h"
#include "core/char_classes.h"
#include "core/message_reporter.h"
#include "digital/digital_path_window.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "results/curve_record.h"
#include "document/document_services.h"
#include "document/document_windows.h"
#include "platform/control_scrollbar.h"
#include "platform/cursor.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/mdi.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/region.h"
#include "platform/window.h"
#include "document/editor_services.h"
#include "schematic/mouse_input.h"
#include "document/page_tabs.h"
#include "document/pane_scroll_bars.h"
#include "document/pane_seams.h"
#include "schematic/schematic_render.h"
#include "schematic/schematic_view.h"
#include "schematic/zoom.h"

namespace kq5 {

namespace {

// Drags whose cursor stays while Shift or Control is pressed: a wire, a graphic object, a reshape.
constexpr int kDragShowsOwnCursor = kDragWire | kDragObject | kDragReshape;

constexpr int kMsgTextSpaceExceeded = 15046;
constexpr int kEditorLimitReached = 0x501;
constexpr int kEditorChanged = 0x300;
constexpr int kEditorUpdated = 0x400;
constexpr int kUndoTextTyped = 11;

bool IsMdiChild(win::HWND hwnd)
{
    win::HWND parent = win::GetParent(hwnd);
    return parent != nullptr && EqualsNoCase(win::GetClassName(parent), "mdiclient");
}

win::LRESULT DefaultProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    return DocumentDefaultProc(hwnd, msg, wParam, lParam);
}

// The kind the creator asked for travels in the creation parameters (through the MDI request
// for an MDI child).
int CreationKind(win::HWND hwnd, win::LPARAM lParam, int fallback)
{
    const auto* create = reinterpret_cast<const win::CREATESTRUCT*>(lParam);
    const void* params = create ? create->lpCreateParams : nullptr;
    if (params && IsMdiChild(hwnd))
        params = reinterpret_cast<const void*>(static_cast<const win::MDICREATESTRUCT*>(params)->lParam);
    const int* kind = static_cast<const int*>(params);
    return kind ? *kind : fallback;
}

win::LRESULT OnClose(win::HWND hwnd) { return CloseDocumentWindow(hwnd); }

void OnDestroy(win::HWND hwnd) { DestroyDocumentWindow(hwnd); }

bool CreatePaneChildren(win::HWND hwnd)
{
    const int s = PaneScrollBarWidth();
    for (int pane = 0; pane < kPaneCount; ++pane) {
        const win::DWORD base = win::WS_CHILD | win::WS_CLIPSIBLINGS;
        if (!win::CreateWindowEx(0, win::kScrollBarClass, "", base | win::SBS_HORZ, 0, 0, s, s, hwnd,
                                 win::ChildIdMenu(kPaneHScrollId + pane), nullptr, nullptr))
            return false;
        if (!win::CreateWindowEx(0, win::kScrollBarClass, "", base | win::SBS_VERT, 0, 0, s, 50, hwnd,
                                 win::ChildIdMenu(kPaneVScrollId + pane), nullptr, nullptr))
            return false;
    }
    return true;
}

win::LRESULT OnCreateSchematic(win::HWND hwnd, win::LPARAM lParam)
{
    if (!CreatePaneChildren(hwnd)) return -1;
    WindowRecord* record = CreateDocumentRecord(hwnd, CreationKind(hwnd, lParam, kWindowSchematic));
    if (record == nullptr) return -1;
    for (int pane = 0; pane < kPaneCount; ++pane) {
        if (CreateTabBar(hwnd, kPaneTabBarId + pane) == nullptr) {
            FreeDocumentRecord(record);
            return -1;
        }
    }
    for (int pane = 0; pane < kPaneCount; ++pane) SetPaneScrollPos(hwnd, pane, 0, 0);
    if (record->document->textAreaWindow) win::ShowScrollBar(record->document->textAreaWindow, win::SB_BOTH, 0);
    record->untitled = true;
    LayoutPaneControls(record, false);
    UpdatePaneScrollBars(record);
    return 0;
}

void PaintSchematic(win::HWND hwnd)
{
    win::PAINTSTRUCT ps;
    win::HDC dc = win::BeginPaint(hwnd, &ps);
    WindowRecord* record = GetWindowRecord(hwnd);
    if (record != nullptr && record->document) {
        // A paint covers everything in its update area; narrower draw ranges belong to the
        // single-element redraws, which draw at once.
        ResetDrawRange(record);
        const bool scrolling = PaneBeingScrolled() >= 0;
        if (!scrolling) DrawSplitterBars(dc, record);
        const int textPane = TextPaneOf(record);
        for (int pane = 0; pane < kPaneCount; ++pane) {
            win::RECT rect{};
            GetPaneRect(record, pane, rect);
            if (rect.right <= rect.left || rect.bottom <= rect.top || pane == textPane) continue;
            win::RECT common{};
            if (!win::IntersectRect(&common, &rect, &ps.rcPaint)) continue;
            DrawDocumentShapes(DrawContext{dc, record, pane, rect});
        }
        if (!scrolling)
            for (int pane = 0; pane < kPaneCount; ++pane) DrawPaneButton(dc, record, pane, 0);
    }
    win::EndPaint(hwnd, &ps);
}

void EraseSchematic(win::HWND hwnd, win::HDC dc)
{
    WindowRecord* record = GetWindowRecord(hwnd);
    if (record == nullptr || !record->document) return;
    RealizeAppPalette(dc);
    win::HBRUSH brush = win::CreateSolidBrush(ColorIndexRgb(record->document->backgroundColor));
    win::HGDIOBJ oldBrush = win::SelectObject(dc, brush);
    win::HGDIOBJ oldPen = win::SelectObject(dc, win::GetStockObject(win::NULL_PEN));
    const int textPane = TextPaneOf(record);
    for (int pane = 0; pane < kPaneCount; ++pane) {
        win::RECT r{};
        GetPaneRect(record, pane, r);
        if (r.right <= r.left || pane == textPane) continue;
        win::Rectangle(dc, r.left, r.top, r.right + 1, r.bottom + 1);
    }
    win::SelectObject(dc, oldPen);
    win::SelectObject(dc, oldBrush);
    win::DeleteObject(brush);
}

void OnScroll(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    WindowRecord* record = GetWindowRecord(hwnd);
    auto bar = reinterpret_cast<win::HWND>(lParam);
    if (record == nullptr || !record->document || bar == nullptr) return;
    const bool horizontal = msg == win::WM_HSCROLL;
    const int pane = win::GetDlgCtrlID(bar) - (horizontal ? kPaneHScrollId : kPaneVScrollId);
    if (pane < 0 || pane >= kPaneCount) return;
    if (pane == TextPaneOf(record)) {
        if (record->document->textAreaWindow) win::SendMessage(record->document->textAreaWindow, msg, wParam, lParam);
        return;
    }
    int thumb = static_cast<int>(win::HIWORD(wParam));
    if (win::LOWORD(wParam) == win::SB_THUMBTRACK || win::LOWORD(wParam) == win::SB_THUMBPOSITION) {
        win::SCROLLINFO info;
        info.fMask = win::SIF_TRACKPOS;
        if (win::GetScrollInfo(bar, win::SB_CTL, &info)) thumb = info.nTrackPos;
    }
    OnPaneScroll(record, pane, horizontal, win::LOWORD(wParam), thumb);
}

// The wheel scrolls the pane under the pointer (Shift: sideways); with Ctrl it zooms.
void OnWheel(win::HWND hwnd, win::WPARAM wParam, win::LPARAM lParam)
{
    WindowRecord* record = GetWindowRecord(hwnd);
    if (record == nullptr || !record->document) return;
    const int delta = static_cast<std::int16_t>(win::HIWORD(wParam));
    const unsigned keys = win::LOWORD(wParam);
    if (keys & win::MK_CONTROL) {
        ZoomWindow(record, delta > 0 ? kCommandZoomIn : kCommandZoomOut);
        return;
    }
    win::POINT point{static_cast<std::int16_t>(win::LOWORD(lParam)), static_cast<std::int16_t>(win::HIWORD(lParam))};
    win::ScreenToClient(hwnd, &point);
    int pane = PaneAtPoint(record, point.x, point.y);
    if (pane < 0) pane = FindVisiblePane(record);
    if (pane < 0) return;
    if (pane == TextPaneOf(record)) {
        if (record->document->textAreaWindow)
            win::SendMessage(record->document->textAreaWindow, win::WM_MOUSEWHEEL, wParam, lParam);
        return;
    }
    const int steps = delta / 120 != 0 ? delta / 120 : (delta > 0 ? 1 : -1);
    const bool horizontal = (keys & win::MK_SHIFT) != 0;
    for (int i = 0; i < kWheelLines * std::abs(steps); ++i)
        OnPaneScroll(record, pane, horizontal, steps > 0 ? win::SB_LINEUP : win::SB_LINEDOWN, 0);
}

// Shift or Control held over a pane: a click acts in Select mode, so the Select cursor shows;
// let go, the cursor of the window's own mode comes back. Not while a wire or a graphic object is
// being drawn or an item reshaped.
void ShowSelectCursorForKey(win::HWND hwnd, win::WPARAM key, bool down)
{
    if (key != static_cast<win::WPARAM>(win::VK_SHIFT) && key != static_cast<win::WPARAM>(win::VK_CONTROL)) return;
    WindowRecord* record = GetWindowRecord(hwnd);
    if (!record || (SchematicEditor().dragState & kDragShowsOwnCursor)) return;
    win::POINT at{};
    win::GetCursorPos(&at);
    win::ScreenToClient(hwnd, &at);
    if (PaneAtPoint(record, at.x, at.y) < 0) return;
    if (!down) {
        SetModeCursor(record);
        return;
    }
    const win::HCURSOR cursor = CursorForMode(kCommandSelectMode);
    SetClassCursor(hwnd, cursor);
    win::SetCursor(cursor);
}

}  // namespace

win::LRESULT DocumentDefaultProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    // During a probe-mode run the analysis window stays in front of every other that moves.
    if (msg == win::WM_WINDOWPOSCHANGING)
        KeepRunWindowInFront(GetWindowRecord(hwnd), reinterpret_cast<win::WINDOWPOS*>(lParam));
    // ... and a circuit window asked to maximise fills the MDI client instead, staying behind it.
    if (msg == win::WM_SYSCOMMAND && CatchMaximizeDuringRun(GetWindowRecord(hwnd), wParam)) return 0;
    return IsMdiChild(hwnd) ? win::DefMDIChildProc(hwnd, msg, wParam, lParam)
                            : win::DefWindowProc(hwnd, msg, wParam, lParam);
}

win::LRESULT CloseDocumentWindow(win::HWND hwnd)
{
    // A refusal (the save question cancelled) tells the frame to stop quitting.
    if (QueryCloseDocument(GetWindowRecord(hwnd)) != 0) {
        Frame().closeRefused = true;
    } else if (IsMdiChild(hwnd)) {
        win::SendMessage(win::GetParent(hwnd), win::WM_MDIDESTROY, reinterpret_cast<win::WPARAM>(hwnd), 0);
    } else {
        win::DestroyWindow(hwnd);
    }
    return 0;
}

void DestroyDocumentWindow(win::HWND hwnd)
{
    if (Frame().startupWindow == hwnd) Frame().startupWindow = nullptr;
    WindowRecord* record = GetWindowRecord(hwnd);
    // The analysis of this circuit ends first: its windows (plots, 3-D plots, histograms) hold
    // records that live in the circuit's document.
    if (record && RunControl().circuitWindow == record) ExitAnalysis();
    // The path dialog lists and lights this circuit's parts.
    ClosePathWindowOf(record);
    FreeDocumentRecord(record);
    // The tool buttons follow the window that is in front now; when this was the last document
    // no window's activation will tell them.
    RefreshToolButtonStates();
}

int OpenFileOfKind(const std::string& path, int kind)
{
    WindowRecord* reuse = nullptr;
    // A failed load closes the window it was loading into: the empty start-up window is handed
    // over only to a file that reads as a circuit file, so that a wrong file leaves it standing.
    if (kind == kFileKindSchematic && Frame().startupWindow != nullptr && HasReadableCircuitFileHeader(path)) {
        WindowRecord* startup = GetWindowRecord(Frame().startupWindow);
        if (startup != nullptr && startup->document && startup->document->itemList.count == 0 &&
            startup->document->gridTextList.count == 0 && (!startup->plot || startup->plot->objects.count == 0))
            reuse = startup;
    }
    // The load may give the reused window a new record; the window is what stays.
    win::HWND reusedWindow = reuse != nullptr ? reuse->window : nullptr;
    WindowRecord* out = nullptr;
    const int status = LoadCircuitFileWithDefaults(reuse, path, kind, out);
    if (status == 0 && reusedWindow != nullptr && out != nullptr && out->window == reusedWindow) {
        Frame().startupWindow = nullptr;
        // The empty start-up window only stood in for a circuit: the file says where it stands.
        ShowLoadedWindow(out, false, true);
        // The start-up window may lie behind others opened since: the file opened is in front.
        ActivateWindowRecord(out, false);
        win::RedrawWindow(reusedWindow, nullptr, nullptr,
                          win::RDW_INVALIDATE | win::RDW_ERASE | win::RDW_FRAME | win::RDW_ALLCHILDREN | win::RDW_UPDATENOW);
    } else if (status != 0 && reusedWindow != nullptr && !win::IsWindow(reusedWindow)) {
        // The file failed past its first lines and took the start-up window with it: the frame
        // gets its empty circuit window back.
        OpenFirstCircuitWindow();
    }
    return status;
}

void UpdateDocumentWindows(win::HWND hwnd, unsigned flags)
{
    std::vector<WindowRecord*> documents;
    for (const auto& record : WindowRecords().records)
        if ((record->flags & kRecordDocument) && record->window && win::IsWindow(record->window))
            documents.push_back(record.get());
    for (WindowRecord* record : documents) {
        if (!IsLiveWindowRecord(record) || !win::IsWindow(record->window)) continue;
        const bool close = (flags & kUpdateClose) || ((flags & kUpdateCloseFlag8) && (record->flags & 0x08)) ||
                           ((flags & kUpdateCloseFlag10) && (record->flags & 0x10)) ||
                           ((flags & kUpdateCloseFlag20) && (record->flags & 0x20));
        if (close) {
            win::SendMessage(record->window, win::WM_CLOSE, 0, 0);
            continue;
        }
        const bool schematic = IsSchematicKind(record->kind) && record->document;
        if (schematic && (flags & kUpdateModified)) MarkModified(record);
        if (schematic && (flags & kUpdateNetlistStale)) {
            MarkNetlistStale(record);
            RedrawWindowParts(record, kRedrawDefault);
        }
        if (flags & kUpdateInvalidate) win::InvalidateRect(record->window, nullptr, 1);
        if ((flags & kUpdateRedraw) && (hwnd == nullptr || hwnd == record->window))
            win::RedrawWindow(record->window, nullptr, nullptr,
                              win::RDW_INVALIDATE | win::RDW_ERASE | win::RDW_FRAME | win::RDW_ALLCHILDREN |
                                  win::RDW_UPDATENOW);
        if (flags & kUpdateShow) win::ShowWindow(record->window, win::SW_SHOW);
        if ((flags & kUpdateHideOthers) && record->window != hwnd &&
            (IsSchematicKind(record->kind) || record->kind == kWindowTextCircuit)) {
            if (record->document) GetRecordPlacement(record, record->document->placements[0]);
            win::ShowWindow(record->window, win::SW_HIDE);
        }
    }
}

void HideOtherDocumentWindows(win::HWND hwnd) { UpdateDocumentWindows(hwnd, kUpdateHideOthers); }

void SwapUntitledCounters(bool demoStarts)
{
    static std::array<int, 3> saved{};
    auto& counters = DocumentServices().untitledCounters;
    if (demoStarts) {
        saved = counters;
        counters.fill(0);  // the next name takes number 1
    } else {
        counters = saved;
    }
}

int IsTextEditActive(const WindowRecord* record)
{
    if (record == nullptr) return 0;
    if (record->kind == kWindowTextCircuit) return 1;
    if (record->kind != kWindowSchematic || !record->document || !record->document->textAreaWindow) return 0;
    return win::GetFocus() == record->document->textAreaWindow ? 1 : 0;
}

win::LRESULT CircuitWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    const unsigned keys = static_cast<unsigned>(wParam);
    switch (msg) {
    case win::WM_CREATE: return OnCreateSchematic(hwnd, lParam);
    case win::WM_DESTROY: OnDestroy(hwnd); return 0;
    case win::WM_SIZE:
        if (wParam != win::SIZE_MINIMIZED) {
            if (WindowRecord* record = GetWindowRecord(hwnd)) {
                EraseCrosshair(nullptr);
                LayoutPaneControls(record, true);
                win::InvalidateRect(hwnd, nullptr, 1);
            }
        }
        return DefaultProc(hwnd, msg, wParam, lParam);
    case win::WM_SETFOCUS: {
        WindowRecord* record = GetWindowRecord(hwnd);
        const int textPane = TextPaneOf(record);
        if (textPane >= 0 && IsPaneVisible(record, textPane) && FindVisiblePane(record) == textPane &&
            LastVisiblePane(record) == textPane && record->document->textAreaWindow) {
            win::SetFocus(record->document->textAreaWindow);
            return 0;
        }
        return DefaultProc(hwnd, msg, wParam, lParam);
    }
    case win::WM_PAINT: PaintSchematic(hwnd); return 0;
    case win::WM_ERASEBKGND: EraseSchematic(hwnd, reinterpret_cast<win::HDC>(wParam)); return 1;
    case win::WM_MEASUREITEM:
    case win::WM_DRAWITEM:
        if (OnColorItemMessage(msg, lParam)) return 1;
        return DefaultProc(hwnd, msg, wParam, lParam);
    case win::WM_CLOSE: return OnClose(hwnd);
    case win::WM_QUERYENDSESSION: return QueryCloseDocument(GetWindowRecord(hwnd)) != 0 ? 0 : 1;
    case win::WM_COMMAND: {
        const int id = win::LOWORD(wParam);
        if (id >= kFirstFlagCommand && id < kFirstFlagCommand + 1000 && lParam == 0) {
            GoToFlag(GetWindowRecord(hwnd), id);
            return 0;
        }
        return DefaultProc(hwnd, msg, wParam, lParam);
    }
    case win::WM_HSCROLL:
    case win::WM_VSCROLL: OnScroll(hwnd, msg, wParam, lParam); return 0;
    case win::WM_MOUSEWHEEL: OnWheel(hwnd, wParam, lParam); return 0;
    case win::WM_KEYDOWN:
        // Space turns a part being placed or moved, like the right button.
        if (wParam == static_cast<win::WPARAM>(win::VK_SPACE) && OnCircuitSpaceKey(hwnd)) return 0;
        ShowSelectCursorForKey(hwnd, wParam, true);
        return DefaultProc(hwnd, msg, wParam, lParam);
    case win::WM_KEYUP:
        ShowSelectCursorForKey(hwnd, wParam, false);
        return DefaultProc(hwnd, msg, wParam, lParam);
    case win::WM_TIMER:
        if (wParam == kDragTimer) {
            OnSchematicDragTimer(hwnd);
            return 0;
        }
        return DefaultProc(hwnd, msg, wParam, lParam);
    case win::WM_MOUSEMOVE: {
        EraseCrosshair(nullptr);
        OnWindowMouseMove(hwnd, keys, lParam);
        WindowRecord* record = GetWindowRecord(hwnd);
        if (record && record->document && (record->document->viewOptions & kViewCrosshair) && win::GetFocus() == hwnd)
            DrawCrosshair(record, {static_cast<std::int16_t>(win::LOWORD(lParam)), static_cast<std::int16_t>(win::HIWORD(lParam))});
        return 0;
    }
    case win::WM_LBUTTONDOWN: OnWindowLButtonDown(hwnd, keys, lParam); return 0;
    case win::WM_LBUTTONUP: OnWindowLButtonUp(hwnd, keys, lParam); return 0;
    case win::WM_LBUTTONDBLCLK: OnCircuitDoubleClick(hwnd, keys, lParam); return 0;
    case win::WM_RBUTTONDOWN:
    case win::WM_RBUTTONDBLCLK: OnWindowRButtonDown(hwnd, keys, lParam); return 0;
    case win::WM_RBUTTONUP: OnWindowRButtonUp(hwnd, keys, lParam); return 0;
    case win::WM_MDIACTIVATE:
        if (reinterpret_cast<win::HWND>(lParam) == hwnd) {
            ResetDrawRange(GetWindowRecord(hwnd));
            RefreshToolButtonStates();
        }
        return DefaultProc(hwnd, msg, wParam, lParam);
    default: return DefaultProc(hwnd, msg, wParam, lParam);
    }
}

win::LRESULT CktWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    switch (msg) {
    case win::WM_CREATE: {
        WindowRecord* record = CreateDocumentRecord(hwnd, CreationKind(hwnd, lParam, kWindowTextCircuit));
        if (record == nullptr) return -1;
        record->untitled = true;
        if (record->document->textAreaWindow) win::SetFocus(record->document->textAreaWindow);
        return 0;
    }
    case win::WM_DESTROY: OnDestroy(hwnd); return 0;
    case win::WM_SIZE:
        if (wParam != win::SIZE_MINIMIZED) {
            WindowRecord* record = GetWindowRecord(hwnd);
            if (record && record->document && record->document->textAreaWindow)
                win::MoveWindow(record->document->textAreaWindow, 0, 0, win::LOWORD(lParam) + 1, win::HIWORD(lParam) + 1, 1);
        }
        return DefaultProc(hwnd, msg, wParam, lParam);
    case win::WM_SETFOCUS: {
        WindowRecord* record = GetWindowRecord(hwnd);
        if (record && record->document && record->document->textAreaWindow) win::SetFocus(record->document->textAreaWindow);
        return 0;
    }
    case win::WM_CLOSE: return OnClose(hwnd);
    case win::WM_QUERYENDSESSION: return QueryCloseDocument(GetWindowRecord(hwnd)) != 0 ? 0 : 1;
    case win::WM_COMMAND:
        if (win::LOWORD(wParam) == kTextAreaControlId) {
            WindowRecord* record = GetWindowRecord(hwnd);
            const int code = win::HIWORD(wParam);
            if (code == kEditorLimitReached) ReportMessage("WE", record, kMsgTextSpaceExceeded);
            if (code == kEditorChanged && record) {
                SetUndoKind(record, kUndoTextTyped);
                record->modified = 1;
            }
            if (code == kEditorUpdated) RefreshToolButtonStates();
            return 0;
        }
        return DefaultProc(hwnd, msg, wParam, lParam);
    case win::WM_MOUSEWHEEL: {
        WindowRecord* record = GetWindowRecord(hwnd);
        if (win::LOWORD(wParam) & win::MK_CONTROL) {
            ZoomWindow(record, static_cast<std::int16_t>(win::HIWORD(wParam)) > 0 ? kCommandZoomIn : kCommandZoomOut);
            return 0;
        }
        if (record && record->document && record->document->textAreaWindow)
            return win::SendMessage(record->document->textAreaWindow, msg, wParam, lParam);
        return 0;
    }
    case win::WM_MDIACTIVATE:
        if (reinterpret_cast<win::HWND>(lParam) == hwnd) RefreshToolButtonStates();
        return DefaultProc(hwnd, msg, wParam, lParam);
    default: return DefaultProc(hwnd, msg, wParam, lParam);
    }
}

}  // namespace kq5
