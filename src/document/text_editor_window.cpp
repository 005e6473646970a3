// The editor window: its messages, keys, typing, mouse selection, private commands and the
// clipboard.
#include <algorithm>
#include <memory>

#include "ui/color_dialog.h"
#include "ui/color_table.h"
#include "ui/edit_mode.h"
#include "ui/frame_state.h"
#include "document/text_editor.h"
#include "document/text_editor_internal.h"
#include "ui/wait_cursor.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/timers.h"
#include "document/hover_timer.h"
#include "document/circuit_document.h"
#include "platform/clipboard.h"
#include "platform/control_scrollbar.h"
#include "platform/controls.h"
#include "platform/cursor.h"
#include "platform/gdi_objects.h"
#include "platform/global_memory.h"
#include "platform/mdi.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/window.h"

namespace kq5 {

namespace {

constexpr int kHelpModeCommand = 17565;
constexpr int kInfoModeCommand = 17578;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsWordChar(char c) { return HasCharClass(c, kCharIdent); }

bool ReadOnly(const TxtEditRecord& r) { return (r.flags & kEditorReadOnly) != 0; }

// A character typed as text: the printable ASCII ones and the letters and signs above them
// that the keyboard gives in the program's code page, such as the micro sign of a "10 uF" remark.
bool IsTypedText(int code) { return HasCharClass(static_cast<char>(code), kCharPrintable) || (code >= 0x80 && code <= 0xFF); }

void SetRecord(win::HWND hwnd, TxtEditRecord* r) { win::SetWindowLongPtr(hwnd, 0, reinterpret_cast<win::LONG_PTR>(r)); }

char CharAt(TxtEditRecord& r, std::int32_t position)
{
    const std::string& text = EditorText(r);
    return position >= 0 && position < static_cast<std::int32_t>(text.size()) ? text[static_cast<std::size_t>(position)] : '\0';
}

void HideHighlight(TxtEditRecord& r)
{
    if (r.selectionShown && r.window) win::InvalidateRect(r.window, nullptr, 1);
    r.selectionShown = false;
}

void Initialise(TxtEditRecord& r, win::HWND hwnd)
{
    r.window = hwnd;
    r.tabWidth = kEditorTabWidth;
    r.horizontalScroll = 0;
    r.selectionShown = false;
    r.font = nullptr;
    MeasureEditorFont(r);
    ComputeEditorGeometry(r);
    r.mouseCell = win::POINT{0, 0};
    r.capacity = kEditorGrowthStep;
    r.topOffset = 0;
    r.topLine = 0;
    r.flags = 0;
    if (EditorLength(r) + 2 > r.capacity) r.capacity = EditorLength(r) + 2;
    r.knownLength = EditorText(r).size();
    SetEditorScrollBars(r, true);
}

// --- caret moves -------------------------------------------------------------------------------

std::int32_t CharLeft(TxtEditRecord& r, std::int32_t caret)
{
    if (caret <= 0) return 0;
    // From a line start to the end of the previous line (before its CR LF).
    if (CharAt(r, caret - 1) == '\n') return EditorLineEnd(r, EditorLineStart(r, caret - 1));
    return caret - 1;
}

std::int32_t CharRight(TxtEditRecord& r, std::int32_t caret)
{
    const std::int32_t length = EditorLength(r);
    if (caret >= length) return length;
    const char c = CharAt(r, caret);
    if (c == '\r' || c == '\n') {
        const std::size_t feed = EditorText(r).find('\n', static_cast<std::size_t>(caret));
        return feed == std::string::npos ? length : static_cast<std::int32_t>(feed + 1);
    }
    return caret + 1;
}

std::int32_t WordLeft(TxtEditRecord& r, std::int32_t caret)
{
    caret = CharLeft(r, caret);
    const std::int32_t lineStart = EditorLineStart(r, caret);
    if (IsBlank(CharAt(r, caret))) {
        while (caret > lineStart && IsBlank(CharAt(r, caret))) --caret;
    }
    bool passedWord = IsWordChar(CharAt(r, caret));
    while (caret > lineStart) {
        const char before = CharAt(r, caret - 1);
        if (IsBlank(before)) break;
        if (passedWord && !IsWordChar(before)) break;
        if (IsWordChar(before)) passedWord = true;
        --caret;
    }
    return caret;
}

std::int32_t WordRight(TxtEditRecord& r, std::int32_t caret)
{
    const char here = CharAt(r, caret);
    if (here == '\r' || here == '\n') return CharRight(r, caret);
    const std::int32_t end = EditorLineEnd(r, caret);
    while (caret < end && IsWordChar(CharAt(r, caret))) ++caret;
    bool blankSeen = false;
    while (caret < end) {
        const char c = CharAt(r, caret);
        if (IsWordChar(c)) break;
        if (blankSeen && !IsBlank(c)) break;
        if (IsBlank(c)) blankSeen = true;
        ++caret;
    }
    return caret;
}

std::int32_t LineUpDown(TxtEditRecord& r, std::int32_t caret, int direction)
{
    const std::int32_t column = EditorDisplayColumn(r, caret);
    const std::int32_t line = EditorLineIndex(r, caret) + direction;
    const std::int32_t start = EditorLineOffset(r, line);
    if (start < 0) return caret;
    return EditorOffsetAtColumn(r, start, column);
}

bool IsEmptyLineAt(TxtEditRecord& r, std::int32_t lineStart)
{
    const char c = CharAt(r, lineStart);
    return c == '\r' || c == '\n' || lineStart >= EditorLength(r);
}

std::int32_t EmptyLineUp(TxtEditRecord& r, std::int32_t caret)
{
    std::int32_t line = EditorLineIndex(r, caret) - 1;
    for (; line >= 0; --line) {
        const std::int32_t start = EditorLineOffset(r, line);
        if (IsEmptyLineAt(r, start)) return start;
    }
    return 0;
}

std::int32_t EmptyLineDown(TxtEditRecord& r, std::int32_t caret)
{
    for (std::int32_t line = EditorLineIndex(r, caret) + 1;; ++line) {
        const std::int32_t start = EditorLineOffset(r, line);
        if (start < 0) return EditorLength(r);
        if (IsEmptyLineAt(r, start)) return start;
    }
}

void PageScroll(TxtEditRecord& r, int direction)
{
    HideHighlight(r);
    const win::POINT cell = EditorCaretCell(r);
    ScrollEditorLines(r, direction * r.rows);
    // The caret keeps its cell on the screen.
    const std::int32_t start = EditorLineOffset(r, std::min(r.topLine + cell.y, EditorLineIndex(r, EditorLength(r))));
    if (start >= 0) SetEditorCaret(r, EditorOffsetAtColumn(r, start, cell.x + r.horizontalScroll));
}

bool NavigationKey(TxtEditRecord& r, int key)
{
    const bool shift = (win::GetKeyState(win::VK_SHIFT) & 0x8000) != 0;
    const bool control = (win::GetKeyState(win::VK_CONTROL) & 0x8000) != 0;
    switch (key) {
    case win::VK_PRIOR: case win::VK_NEXT: case win::VK_END: case win::VK_HOME: case win::VK_LEFT:
    case win::VK_RIGHT: case win::VK_UP: case win::VK_DOWN:
        break;
    default: return false;
    }
    SyncEditorWithText(r);
    if (shift && !r.selectionShown) r.anchor = EditorCaret(r);
    std::int32_t caret = EditorCaret(r);
    switch (key) {
    case win::VK_PRIOR: PageScroll(r, -1); caret = EditorCaret(r); break;
    case win::VK_NEXT: PageScroll(r, 1); caret = EditorCaret(r); break;
    case win::VK_END: caret = control ? EditorLength(r) : EditorLineEnd(r, caret); break;
    case win::VK_HOME:
        if (control) {
            caret = 0;
            ScrollEditorLines(r, -r.topLine);
        } else {
            caret = EditorLineStart(r, caret);
        }
        break;
    case win::VK_LEFT: caret = control ? WordLeft(r, caret) : CharLeft(r, caret); break;
    case win::VK_RIGHT: caret = control ? WordRight(r, caret) : CharRight(r, caret); break;
    case win::VK_UP: caret = control ? EmptyLineUp(r, caret) : LineUpDown(r, caret, -1); break;
    case win::VK_DOWN: caret = control ? EmptyLineDown(r, caret) : LineUpDown(r, caret, 1); break;
    default: break;
    }
    SetEditorCaret(r, caret);
    ShowEditorCaret(r);
    if (shift) r.selectionShown = true;
    else r.selectionShown = false;
    if (r.window) win::InvalidateRect(r.window, nullptr, 1);
    RefreshToolButtonStates();
    return true;
}

// --- typing ------------------------------------------------------------------------------------

void CharHandler(TxtEditRecord& r, int code)
{
    if (code == 27 || ReadOnly(r)) return;
    SyncEditorWithText(r);
    win::SetCursor(nullptr);
    if (r.selectionShown) {
        const bool had = EditorCaret(r) != r.anchor;
        DeleteEditorSelection(r);
        if (had && (code == 8 || code == 1)) {
            ShowEditorCaret(r);
            RefreshEditorView(r);
            return;
        }
    }
    const std::int32_t caret = EditorCaret(r);
    if (code == 1) {
        DeleteEditorAtCaret(r);
    } else if (code == 8) {
        if (caret > 0) {
            const std::int32_t lineStart = EditorLineStart(r, caret);
            const std::int32_t left = caret != lineStart ? caret - 1 : CharLeft(r, caret);
            // Backspacing walks the caret back through the run it is deleting: each deletion
            // continues the one before it, so one Undo brings back every character taken.
            if (caret == r.expectedCaret) r.expectedCaret = left;
            SetEditorCaret(r, left);
            DeleteEditorAtCaret(r);
        }
    } else if (code == 13) {
        if (InsertEditorChar(r, '\r')) InsertEditorChar(r, '\n');
        r.horizontalScroll = 0;
    } else if (code == '\t' || IsTypedText(code)) {
        InsertEditorChar(r, static_cast<char>(code));
    } else {
        win::MessageBeep(0);
        return;
    }
    r.selectionShown = false;
    r.anchor = EditorCaret(r);
    ShowEditorCaret(r);
    RefreshEditorView(r);
    if ((code == 1 || code == 8) && r.window) win::UpdateWindow(r.window);
}

// --- clipboard ---------------------------------------------------------------------------------

void CopySelection(TxtEditRecord& r)
{
    SyncEditorWithText(r);
    const std::int32_t caret = EditorCaret(r);
    const std::int32_t start = r.selectionShown ? std::min(caret, r.anchor) : caret;
    const std::int32_t end = r.selectionShown ? std::max(caret, r.anchor) : caret;
    BeginWaitCursor(r.window);
    win::HGLOBAL block = win::GlobalAllocText(std::string_view(EditorText(r)).substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
    if (block != nullptr && win::OpenClipboard(win::GetFocus())) {
        win::EmptyClipboard();
        win::SetClipboardData(win::CF_TEXT, block);
        win::CloseClipboard();
    } else if (block != nullptr) {
        win::GlobalFree(block);
    }
    EndWaitCursor();
}

void Paste(TxtEditRecord& r)
{
    if (ReadOnly(r)) return;
    if (!win::OpenClipboard(r.window)) return;
    std::string text;
    win::ClipboardHandle data = win::GetClipboardData(win::CF_TEXT);
    if (data.Global()) text.assign(win::GlobalText(data.Global()));
    win::CloseClipboard();
    DeleteEditorSelection(r);
    if (!text.empty()) InsertEditorText(r, text);
    r.selectionShown = false;
    r.anchor = EditorCaret(r);
    ShowEditorCaret(r);
    RefreshEditorView(r);
}

void Cut(TxtEditRecord& r)
{
    CopySelection(r);
    CharHandler(r, 1);
}

void ChangeCase(TxtEditRecord& r, bool upper)
{
    if (ReadOnly(r) || !r.selectionShown) return;
    SyncEditorWithText(r);
    const std::int32_t caret = EditorCaret(r);
    const std::int32_t anchor = r.anchor;
    const std::int32_t start = std::min(caret, anchor);
    const std::int32_t end = std::max(caret, anchor);
    std::string changed = EditorText(r).substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
    bool any = false;
    for (char& c : changed) {
        const char to = upper ? ToUpperChar(c) : ToLowerChar(c);
        any = any || to != c;
        c = to;
    }
    if (!any) return;
    // The selection goes out and its new form comes in as one run of two entries: one Undo
    // takes back the change of a selection of any size, where an entry for each letter would
    // overflow the history and leave the text half changed back. Room is made first, so that a
    // lack of memory leaves the text as it was.
    if (!GrowEditorBuffer(r, EditorLength(r) + static_cast<std::int32_t>(changed.size()))) return;
    DeleteEditorSelection(r);
    InsertEditorText(r, changed);
    r.anchor = anchor;
    SetEditorCaret(r, caret);
    r.selectionShown = true;
    RefreshEditorView(r);
}

void DeleteLine(TxtEditRecord& r)
{
    if (ReadOnly(r)) return;
    SyncEditorWithText(r);
    if (r.selectionShown && EditorCaret(r) != r.anchor) {
        Cut(r);
        HideHighlight(r);
        return;
    }
    const std::int32_t start = EditorLineStart(r, EditorCaret(r));
    std::int32_t end = EditorLineEnd(r, start);
    if (CharAt(r, end) == '\r') ++end;
    if (CharAt(r, end) == '\n') ++end;
    r.anchor = start;
    SetEditorCaret(r, end);
    r.selectionShown = true;
    CopySelection(r);
    DeleteEditorSelection(r);
    r.anchor = EditorCaret(r);
    ShowEditorCaret(r);
    RefreshEditorView(r);
}

void DeleteToLineEnd(TxtEditRecord& r)
{
    if (ReadOnly(r)) return;
    SyncEditorWithText(r);
    HideHighlight(r);
    const std::int32_t caret = EditorCaret(r);
    const std::int32_t end = EditorLineEnd(r, caret);
    if (end > caret) {
        r.anchor = end;
        r.selectionShown = true;
        DeleteEditorSelection(r);
    }
    r.anchor = EditorCaret(r);
    RefreshEditorView(r);
}

// --- mouse -------------------------------------------------------------------------------------

win::POINT CellOfPoint(TxtEditRecord& r, win::LPARAM lParam)
{
    const int x = static_cast<short>(lParam & 0xFFFF);
    const int y = static_cast<short>((lParam >> 16) & 0xFFFF);
    return win::POINT{std::clamp(x / r.charWidth, 0, r.columns - 1), std::clamp(y / r.lineHeight, 0, r.rows - 1)};
}

std::int32_t OffsetOfCell(TxtEditRecord& r, win::POINT cell)
{
    const std::int32_t lastLine = EditorLineIndex(r, EditorLength(r));
    const std::int32_t start = EditorLineOffset(r, std::min(r.topLine + cell.y, lastLine));
    return EditorOffsetAtColumn(r, std::max(start, 0), cell.x + r.horizontalScroll);
}

void MouseDown(TxtEditRecord& r, win::LPARAM lParam)
{
    win::SetFocus(r.window);
    SyncEditorWithText(r);
    HideHighlight(r);
    r.mouseCell = CellOfPoint(r, lParam);
    win::SetCapture(r.window);
    SetEditorCaret(r, OffsetOfCell(r, r.mouseCell));
    r.anchor = EditorCaret(r);
    ShowEditorCaret(r);
    // While the button is held the timer keeps the drag going when the pointer stands still
    // outside the window, so the view goes on scrolling.
    StartHoverTimer(r.window);
}

void MouseDrag(TxtEditRecord& r, win::LPARAM lParam)
{
    TextEditorState& state = TextEditors();
    if (!state.caretHiddenByDrag) {
        win::HideCaret(r.window);
        state.caretHiddenByDrag = true;
    }
    const int x = static_cast<short>(lParam & 0xFFFF);
    const int y = static_cast<short>((lParam >> 16) & 0xFFFF);
    win::RECT client{};
    win::GetClientRect(r.window, &client);
    if (y >= client.bottom) ScrollEditorLines(r, 1);
    else if (y < 0) ScrollEditorLines(r, -1);
    if (x >= client.right) ScrollEditorColumns(r, 1);
    else if (x < 0) ScrollEditorColumns(r, -1);
    r.mouseCell = CellOfPoint(r, lParam);
    SetEditorCaret(r, OffsetOfCell(r, r.mouseCell));
    r.selectionShown = EditorCaret(r) != r.anchor || r.selectionShown;
    win::InvalidateRect(r.window, nullptr, 1);
}

void MouseUp(TxtEditRecord& r)
{
    StopHoverTimer(r.window);
    TextEditorState& state = TextEditors();
    if (state.caretHiddenByDrag) {
        win::ShowCaret(r.window);
        state.caretHiddenByDrag = false;
    }
    RefreshToolButtonStates();
    if (win::GetCapture() == r.window) win::ReleaseCapture();
}

}  // namespace

namespace {

void DoubleClick(TxtEditRecord& r, win::LPARAM lParam)
{
    SyncEditorWithText(r);
    if (r.selectionShown) {
        win::ShowCaret(r.window);
        return;
    }
    HideHighlight(r);
    const std::int32_t at = OffsetOfCell(r, CellOfPoint(r, lParam));
    std::int32_t start = at;
    std::int32_t end = at;
    while (start > 0 && IsWordChar(CharAt(r, start - 1))) --start;
    while (IsWordChar(CharAt(r, end))) ++end;
    r.anchor = start;
    SetEditorCaret(r, end);
    r.selectionShown = end > start;
    win::InvalidateRect(r.window, nullptr, 1);
    const TextEditorHookTable& hooks = TextEditorHooks();
    if (r.owner != nullptr && r.owner->mode == kHelpModeCommand) {
        if (hooks.contextHelp) hooks.contextHelp(r.owner);
    } else if (r.owner != nullptr && r.owner->mode == kInfoModeCommand) {
        if (hooks.statementInfo) hooks.statementInfo(r.owner, EditorLineIndex(r, start));
    }
    ShowEditorCaret(r);
    win::ShowCaret(r.window);
}

void ScrollMessage(TxtEditRecord& r, bool vertical, win::WPARAM wParam)
{
    SyncEditorWithText(r);
    const int code = static_cast<int>(wParam & 0xFFFF);
    const int thumb = static_cast<int>((wParam >> 16) & 0xFFFF);
    if (vertical) {
        switch (code) {
        case win::SB_LINEUP: ScrollEditorLines(r, -1); break;
        case win::SB_LINEDOWN: ScrollEditorLines(r, 1); break;
        case win::SB_PAGEUP: HideHighlight(r); ScrollEditorLines(r, -r.rows); break;
        case win::SB_PAGEDOWN: HideHighlight(r); ScrollEditorLines(r, r.rows); break;
        case win::SB_THUMBTRACK: ScrollEditorLines(r, EditorLineIndex(r, thumb * r.scrollDivisor) - r.topLine); break;
        case win::SB_TOP: SetEditorCaret(r, 0); ScrollEditorLines(r, -r.topLine); break;
        case win::SB_BOTTOM: ScrollEditorLines(r, EditorLineIndex(r, EditorLength(r)) - r.topLine); break;
        default: return;
        }
    } else {
        switch (code) {
        case win::SB_LINEUP: ScrollEditorColumns(r, -1); break;
        case win::SB_LINEDOWN: ScrollEditorColumns(r, 1); break;
        case win::SB_PAGEUP: ScrollEditorColumns(r, -r.columns); break;
        case win::SB_PAGEDOWN: ScrollEditorColumns(r, r.columns); break;
        case win::SB_THUMBTRACK: ScrollEditorColumns(r, thumb - r.horizontalScroll); break;
        default: return;
        }
    }
    // The caret stays in its screen cell; its offset follows the text under it.
    const win::POINT cell = EditorCaretCell(r);
    const win::POINT clamped{std::clamp<std::int32_t>(cell.x, 0, r.columns - 1), std::clamp<std::int32_t>(cell.y, 0, r.rows - 1)};
    SetEditorCaret(r, OffsetOfCell(r, clamped));
    HideHighlight(r);
    ShowEditorCaret(r);
}

}  // namespace

TxtEditRecord* GetTxtEditRecord(win::HWND window)
{
    if (window == nullptr || !win::IsWindow(window)) return nullptr;
    if (win::GetClassName(window) != kTxtEditClassName) return nullptr;
    return reinterpret_cast<TxtEditRecord*>(win::GetWindowLongPtr(window, 0));
}

TxtEditRecord* OwnerTxtEditRecord(const WindowRecord* owner)
{
    if (owner == nullptr || !owner->document) return nullptr;
    return GetTxtEditRecord(owner->document->textAreaWindow);
}

win::LRESULT TxtEditWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    TxtEditRecord* r = reinterpret_cast<TxtEditRecord*>(win::GetWindowLongPtr(hwnd, 0));
    switch (msg) {
    case win::WM_CREATE: {
        TxtEditRecord* fresh = nullptr;
        try {
            auto made = std::make_unique<TxtEditRecord>();
            fresh = made.get();
            TextEditors().records[hwnd] = std::move(made);
        } catch (const std::bad_alloc&) {
            return -1;
        }
        fresh->owner = GetWindowRecord(win::GetParent(hwnd));
        SetRecord(hwnd, fresh);
        return win::SendMessage(hwnd, kTxtEditInitialise, 0, 0) == 0 ? 0 : -1;
    }
    case kTxtEditInitialise:
        if (r == nullptr) return -1;
        Initialise(*r, hwnd);
        return 0;
    case win::WM_DESTROY:
        if (r != nullptr) {
            SetRecord(hwnd, nullptr);
            TextEditors().records.erase(hwnd);
        }
        return win::DefWindowProc(hwnd, msg, wParam, lParam);
    default: break;
    }
    if (r == nullptr) return win::DefWindowProc(hwnd, msg, wParam, lParam);
    switch (msg) {
    case win::WM_SIZE:
        if (!(r->flags & kEditorNotLaidOut)) {
            if (wParam == win::SIZE_RESTORED || wParam == win::SIZE_MAXIMIZED) {
                HideHighlight(*r);
                ComputeEditorGeometry(*r);
            }
            r->horizontalScroll = 0;
            RefreshEditorView(*r);
        }
        ShowEditorCaret(*r);
        return 0;
    case win::WM_SETFOCUS:
        SyncEditorWithText(*r);
        win::CreateCaret(hwnd, nullptr, 2 * win::GetSystemMetrics(win::SM_CXBORDER), r->lineHeight);
        ShowEditorCaret(*r);
        win::ShowCaret(hwnd);
        TextEditors().caretHiddenByDrag = false;
        return win::DefWindowProc(hwnd, msg, wParam, lParam);
    case win::WM_KILLFOCUS:
        win::DestroyCaret();
        return win::DefWindowProc(hwnd, msg, wParam, lParam);
    case win::WM_SETTEXT:
        if (r->owner != nullptr) ClearTextAreaUndo(r->owner);
        if (!ReadOnly(*r)) ReplaceEditorText(*r, lParam ? reinterpret_cast<const char*>(lParam) : "", false);
        return 1;
    case win::WM_GETTEXT: {
        // A buffer of no size gets nothing, not even a terminator.
        if (wParam == 0 || lParam == 0) return 0;
        const std::string& text = EditorText(*r);
        const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(wParam) - 1, text.size());
        char* out = reinterpret_cast<char*>(lParam);
        std::copy_n(text.data(), count, out);
        out[count] = '\0';
        return static_cast<win::LRESULT>(count);
    }
    case win::WM_GETTEXTLENGTH:
    case kTxtEditGetLength:
        return EditorLength(*r);
    case win::WM_PAINT:
        PaintEditor(*r);
        return 0;
    case win::WM_CLOSE:
        r->flags |= kEditorNotLaidOut;
        return win::DefWindowProc(hwnd, msg, wParam, lParam);
    case win::WM_ERASEBKGND:
        return 1;  // painting fills the background with the owner's colour
    case win::WM_MEASUREITEM:
    case win::WM_DRAWITEM:
        OnColorItemMessage(msg, lParam);
        return 1;
    case win::WM_SETFONT:
        r->font = reinterpret_cast<win::HFONT>(wParam);
        MeasureEditorFont(*r);
        if (win::GetFocus() == hwnd) {
            win::DestroyCaret();
            win::CreateCaret(hwnd, nullptr, 2 * win::GetSystemMetrics(win::SM_CXBORDER), r->lineHeight);
            win::ShowCaret(hwnd);
        }
        ComputeEditorGeometry(*r);
        if (lParam & 0xFFFF) RefreshEditorView(*r);
        ShowEditorCaret(*r);
        return 1;
    case win::WM_KEYDOWN:
        if (NavigationKey(*r, static_cast<int>(wParam))) return 1;
        if (wParam == win::VK_DELETE) {
            CharHandler(*r, 1);
            return 1;
        }
        return win::DefWindowProc(hwnd, msg, wParam, lParam);
    case win::WM_CHAR:
        CharHandler(*r, static_cast<int>(wParam & 0xFF));
        return 0;
    case win::WM_SYSCHAR:
        if (wParam < 256 && Frame().frame != nullptr)
            return win::DefFrameProc(Frame().frame, Frame().mdiClient, msg, wParam, lParam);
        return win::DefWindowProc(hwnd, msg, wParam, lParam);
    case win::WM_COMMAND:
        switch (static_cast<int>(wParam & 0xFFFF)) {
        case kTxtEditCutCommand: Cut(*r); break;
        case kTxtEditUpperCase: ChangeCase(*r, true); break;
        case kTxtEditLowerCase: ChangeCase(*r, false); break;
        case kTxtEditDeleteLine: DeleteLine(*r); break;
        case kTxtEditDeleteToEnd: DeleteToLineEnd(*r); break;
        default: break;
        }
        return win::DefWindowProc(hwnd, msg, wParam, lParam);
    case win::WM_HSCROLL:
    case win::WM_VSCROLL:
        ScrollMessage(*r, msg == win::WM_VSCROLL, wParam);
        return 0;
    case win::WM_MOUSEWHEEL: {
        const int delta = static_cast<short>((wParam >> 16) & 0xFFFF);
        // The view moves, the caret stays in the text where it was.
        ScrollEditorLines(*r, -3 * delta / 120);
        const win::POINT cell = EditorCaretCell(*r);
        if (win::GetFocus() == hwnd) win::SetCaretPos(cell.x * r->charWidth, cell.y * r->lineHeight);
        return 0;
    }
    case win::WM_MOUSEMOVE:
        if (win::GetCapture() == hwnd && (wParam & win::MK_LBUTTON)) MouseDrag(*r, lParam);
        return win::DefWindowProc(hwnd, msg, wParam, lParam);
    case win::WM_LBUTTONDOWN: MouseDown(*r, lParam); return 0;
    case win::WM_LBUTTONUP: MouseUp(*r); return 0;
    case win::WM_LBUTTONDBLCLK: DoubleClick(*r, lParam); return 1;
    case win::WM_RBUTTONDOWN: win::SetFocus(hwnd); return 0;
    case win::WM_CUT:
        if (!ReadOnly(*r)) win::SendMessage(hwnd, win::WM_COMMAND, kTxtEditCutCommand, 0);
        return 1;
    case win::WM_COPY: CopySelection(*r); return 1;
    case win::WM_PASTE: Paste(*r); return 1;
    case win::WM_CLEAR: CharHandler(*r, 1); return 1;
    case win::WM_UNDO:
        if (!UndoEditorRun(*r)) win::MessageBeep(0);
        return 1;
    // The edit-control selection messages, for callers that treat the text area as an edit
    // control: a start of -1 removes the selection, an end of -1 runs to the end of the text.
    case win::EM_SETSEL: {
        SyncEditorWithText(*r);
        HideHighlight(*r);
        const std::int32_t length = EditorLength(*r);
        const auto start = static_cast<std::int32_t>(static_cast<win::LONG_PTR>(wParam));
        const auto end = static_cast<std::int32_t>(lParam);
        if (start < 0) {
            r->anchor = EditorCaret(*r);
        } else {
            r->anchor = std::clamp(start, 0, length);
            SetEditorCaret(*r, end < 0 ? length : std::clamp(end, 0, length));
            r->selectionShown = r->anchor != EditorCaret(*r);
        }
        ShowEditorCaret(*r);
        win::InvalidateRect(hwnd, nullptr, 1);
        return 0;
    }
    case win::EM_GETSEL: {
        std::int32_t start = 0;
        std::int32_t end = 0;
        GetEditorSelection(hwnd, &start, &end);
        if (wParam) *reinterpret_cast<win::DWORD*>(wParam) = static_cast<win::DWORD>(start);
        if (lParam) *reinterpret_cast<win::DWORD*>(lParam) = static_cast<win::DWORD>(end);
        return static_cast<win::LRESULT>((start & 0xFFFF) | ((end & 0xFFFF) << 16));
    }
    case win::WM_TIMER:
        return 0;
    default:
        return win::DefWindowProc(hwnd, msg, wParam, lParam);
    }
}

TextEditorHookTable& TextEditorHooks()
{
    static TextEditorHookTable hooks;
    return hooks;
}

bool RegisterTxtEditClass()
{
    win::WNDCLASS existing;
    if (win::GetClassInfo(nullptr, kTxtEditClassName, &existing)) return true;
    win::WNDCLASS wc;
    wc.style = win::CS_DBLCLKS;
    wc.lpfnWndProc = TxtEditWndProc;
    wc.cbWndExtra = sizeof(void*);
    wc.hCursor = win::LoadCursor(nullptr, win::IDC_IBEAM);
    wc.hbrBackground = static_cast<win::HBRUSH>(win::GetStockObject(win::WHITE_BRUSH));
    wc.lpszClassName = kTxtEditClassName;
    return win::RegisterClass(&wc) != 0;
}

}  // namespace kq5
