// The "EDIT" class: single-line and multi-line text fields with selection, a text limit, one
// level of undo, read-only and password modes, the clipboard keys, and the EM_* messages and
// EN_* notifications.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/clipboard.h"
#include "platform/control_edit_internal.h"
#include "platform/control_scrollbar.h"
#include "platform/cursor.h"
#include "platform/gdi_clip.h"
#include "platform/gdi_draw.h"
#include "platform/global_memory.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/text.h"

namespace win {

namespace {

bool ReadOnly(HWND hwnd) { return (StyleOf(hwnd) & ES_READONLY) != 0; }

void Beep() { MessageBeep(MB_OK); }

// The text as it may stand in this edit: one line for a single-line edit, in the case its style
// asks for.
std::string Filtered(HWND hwnd, std::string s) {
    DWORD style = StyleOf(hwnd);
    if (!(style & ES_MULTILINE)) {
        std::size_t cut = s.find_first_of("\r\n");
        if (cut != std::string::npos) s.resize(cut);
    }
    if (style & ES_UPPERCASE)
        for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (style & ES_LOWERCASE)
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

void Redraw(HWND hwnd) { InvalidateRect(hwnd, nullptr, FALSE); }

// After the text or the selection moved: layout, view, scroll bars and caret follow.
void Refresh(HWND hwnd, EditData& d, bool relayout) {
    if (relayout) RelayoutEdit(hwnd, d);
    ScrollCaretIntoView(hwnd, d);
    UpdateEditScrollBars(hwnd, d);
    UpdateEditCaret(hwnd, d);
    Redraw(hwnd);
}

void NotifyChanged(HWND hwnd) {
    NotifyParent(hwnd, EN_UPDATE);
    if (LiveWindow(hwnd)) NotifyParent(hwnd, EN_CHANGE);
}

void TakeUndoSnapshot(EditData& d) {
    d.undoText = d.text;
    d.undoAnchor = d.anchor;
    d.undoCaret = d.caret;
    d.canUndo = true;
}

// Replaces the selection by s (cut to the limit, and for a single-line edit without automatic
// horizontal scrolling to the width of the field). Returns false when nothing changed.
bool ReplaceSelection(HWND hwnd, EditData& d, std::string s, bool undoable, bool typing) {
    s = Filtered(hwnd, std::move(s));
    std::size_t from = SelMin(d), to = SelMax(d);
    std::size_t kept = d.text.size() - (to - from);
    std::size_t room = d.limit > kept ? d.limit - kept : 0;
    bool truncated = false;
    if (s.size() > room) {
        s.resize(room);
        if (!s.empty() && s.back() == '\r') s.pop_back();  // never half a line break
        truncated = true;
    }
    DWORD style = StyleOf(hwnd);
    if (!(style & ES_MULTILINE) && !(style & ES_AUTOHSCROLL) && !s.empty()) {
        RECT a = EditTextArea(hwnd, d);
        std::string probe = d.text;
        while (!s.empty()) {
            probe = d.text;
            probe.replace(from, to - from, s);
            EditData measure;
            measure.font = d.font;
            measure.passwordChar = d.passwordChar;
            measure.text = probe;
            if (TextSpanWidth(measure, 0, probe.size()) <= a.right - a.left) break;
            s.pop_back();
            truncated = true;
        }
    }
    if (s.empty() && from == to) {
        if (truncated) NotifyParent(hwnd, EN_MAXTEXT);
        return false;
    }
    if (undoable) {
        bool joins = typing && d.typing && d.canUndo && from == to;
        if (!joins) TakeUndoSnapshot(d);
    } else {
        // A change that cannot be undone leaves nothing older to go back to either.
        d.canUndo = false;
        d.undoText.clear();
    }
    d.typing = typing;
    d.text.replace(from, to - from, s);
    d.anchor = d.caret = from + s.size();
    d.modified = true;
    d.desiredX = -1;
    Refresh(hwnd, d, true);
    NotifyChanged(hwnd);
    if (truncated && LiveWindow(hwnd)) NotifyParent(hwnd, EN_MAXTEXT);
    return true;
}

void SetAllText(HWND hwnd, EditData& d, const char* text) {
    d.text = Filtered(hwnd, text ? text : "");
    d.anchor = d.caret = 0;
    d.firstLine = 0;
    d.xOffset = 0;
    d.modified = false;
    d.canUndo = false;
    d.typing = false;
    Refresh(hwnd, d, true);
}

void MoveCaret(HWND hwnd, EditData& d, std::size_t pos, bool extend, bool keepDesiredX = false) {
    pos = SnapPos(d, pos);
    d.caret = pos;
    if (!extend) d.anchor = pos;
    d.typing = false;
    if (!keepDesiredX) d.desiredX = -1;
    Refresh(hwnd, d, false);
}

void SetSelection(HWND hwnd, EditData& d, INT_PTR start, INT_PTR end) {
    const auto size = static_cast<INT_PTR>(d.text.size());
    if (start < 0) {
        d.anchor = d.caret;  // no selection, the caret stays
    } else {
        if (end < 0 || end > size) end = size;
        start = std::min(start, size);
        d.anchor = SnapPos(d, static_cast<std::size_t>(start));
        d.caret = SnapPos(d, static_cast<std::size_t>(end));
    }
    d.typing = false;
    d.desiredX = -1;
    Refresh(hwnd, d, false);
}

// --- clipboard --------------------------------------------------------------------------------

void Copy(HWND hwnd, const EditData& d) {
    if (d.passwordChar || SelMin(d) == SelMax(d)) return;
    if (!OpenClipboard(hwnd)) return;
    EmptyClipboard();
    SetClipboardData(CF_TEXT, GlobalAllocText(std::string_view(d.text).substr(SelMin(d), SelMax(d) - SelMin(d))));
    CloseClipboard();
}

void Paste(HWND hwnd, EditData& d) {
    if (ReadOnly(hwnd)) return;
    if (!OpenClipboard(hwnd)) return;
    std::string text;
    if (ClipboardHandle h = GetClipboardData(CF_TEXT)) text = std::string(GlobalText(h.Global()));
    CloseClipboard();
    if (!text.empty()) ReplaceSelection(hwnd, d, text, true, false);
}

void Clear(HWND hwnd, EditData& d) {
    if (ReadOnly(hwnd) || SelMin(d) == SelMax(d)) return;
    ReplaceSelection(hwnd, d, std::string(), true, false);
}

void Undo(HWND hwnd, EditData& d) {
    if (!d.canUndo || ReadOnly(hwnd)) return;
    std::swap(d.text, d.undoText);
    std::swap(d.anchor, d.undoAnchor);
    std::swap(d.caret, d.undoCaret);
    d.typing = false;
    d.modified = true;
    Refresh(hwnd, d, true);
    NotifyChanged(hwnd);
}

// --- keyboard ---------------------------------------------------------------------------------

void MoveVertically(HWND hwnd, EditData& d, int lines, bool extend) {
    if (!IsMultiLine(hwnd)) {
        MoveCaret(hwnd, d, lines < 0 ? PrevPos(d, d.caret) : NextPos(d, d.caret), extend);
        return;
    }
    if (d.desiredX < 0) d.desiredX = XOfPos(d, d.caret);
    int line = LineOfPos(d, d.caret) + lines;
    line = std::clamp(line, 0, static_cast<int>(d.lines.size()) - 1);
    MoveCaret(hwnd, d, PosOfX(d, line, d.desiredX), extend, true);
}

bool ForwardToCombo(HWND hwnd, const EditData& d, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!d.combo || !LiveWindow(d.combo)) return false;
    bool dropped = SendMessage(d.combo, CB_GETDROPPEDSTATE, 0, 0) != 0;
    bool wanted = wParam == VK_UP || wParam == VK_DOWN || wParam == VK_PRIOR || wParam == VK_NEXT ||
                  wParam == VK_F4 || (dropped && (wParam == VK_RETURN || wParam == VK_ESCAPE));
    if (msg == WM_SYSKEYDOWN) wanted = wParam == VK_UP || wParam == VK_DOWN;
    if (!wanted) return false;
    SendMessage(d.combo, msg, wParam, lParam);
    return true;
}

void KeyDown(HWND hwnd, EditData& d, WPARAM vk) {
    bool shift = GetKeyState(VK_SHIFT) < 0;
    bool ctrl = GetKeyState(VK_CONTROL) < 0;
    bool multi = IsMultiLine(hwnd);
    bool hasSel = SelMin(d) != SelMax(d);
    switch (vk) {
    case VK_LEFT:
        if (hasSel && !shift)
            MoveCaret(hwnd, d, SelMin(d), false);
        else
            MoveCaret(hwnd, d, ctrl ? WordLeft(d, d.caret) : PrevPos(d, d.caret), shift);
        break;
    case VK_RIGHT:
        if (hasSel && !shift)
            MoveCaret(hwnd, d, SelMax(d), false);
        else
            MoveCaret(hwnd, d, ctrl ? WordRight(d, d.caret) : NextPos(d, d.caret), shift);
        break;
    case VK_UP: MoveVertically(hwnd, d, -1, shift); break;
    case VK_DOWN: MoveVertically(hwnd, d, 1, shift); break;
    case VK_PRIOR:
    case VK_NEXT:
        if (multi) {
            int page = VisibleLineCount(hwnd, d);
            ScrollEditLines(hwnd, d, vk == VK_PRIOR ? -page : page);
            MoveVertically(hwnd, d, vk == VK_PRIOR ? -page : page, shift);
        }
        break;
    case VK_HOME: {
        std::size_t pos = 0;
        if (multi && !ctrl) pos = d.lines[static_cast<std::size_t>(LineOfPos(d, d.caret))].start;
        MoveCaret(hwnd, d, pos, shift);
        break;
    }
    case VK_END: {
        std::size_t pos = d.text.size();
        if (multi && !ctrl) {
            const EditLine& l = d.lines[static_cast<std::size_t>(LineOfPos(d, d.caret))];
            pos = l.start + l.length;
        }
        MoveCaret(hwnd, d, pos, shift);
        break;
    }
    case VK_DELETE:
        if (shift) {
            Copy(hwnd, d);
            Clear(hwnd, d);
        } else if (ReadOnly(hwnd)) {
            Beep();
        } else if (hasSel) {
            Clear(hwnd, d);
        } else if (d.caret < d.text.size()) {
            d.anchor = NextPos(d, d.caret);
            ReplaceSelection(hwnd, d, std::string(), true, false);
        }
        break;
    case VK_INSERT:
        if (ctrl) Copy(hwnd, d);
        if (shift && !ctrl) Paste(hwnd, d);
        break;
    default:
        break;
    }
}

void Char(HWND hwnd, EditData& d, WPARAM code) {
    auto c = static_cast<unsigned char>(code);
    bool multi = IsMultiLine(hwnd);
    switch (c) {
    case 0x03: Copy(hwnd, d); return;       // Ctrl+C
    case 0x16: Paste(hwnd, d); return;      // Ctrl+V
    case 0x18:                              // Ctrl+X
        if (ReadOnly(hwnd) || d.passwordChar) return;
        Copy(hwnd, d);
        Clear(hwnd, d);
        return;
    case 0x1A: Undo(hwnd, d); return;  // Ctrl+Z
    case 0x08:                         // Backspace
        if (ReadOnly(hwnd)) {
            Beep();
        } else if (SelMin(d) != SelMax(d)) {
            Clear(hwnd, d);
        } else if (d.caret > 0) {
            d.anchor = PrevPos(d, d.caret);
            ReplaceSelection(hwnd, d, std::string(), true, false);
        }
        return;
    case '\r':
    case '\n':
        if (multi && !ReadOnly(hwnd)) ReplaceSelection(hwnd, d, "\r\n", true, false);
        return;
    case '\t':
        if (multi && !ReadOnly(hwnd)) ReplaceSelection(hwnd, d, "\t", true, true);
        return;
    default:
        break;
    }
    if (c < 0x20) return;
    if (ReadOnly(hwnd) || ((StyleOf(hwnd) & ES_NUMBER) && !std::isdigit(c))) {
        Beep();
        return;
    }
    ReplaceSelection(hwnd, d, std::string(1, static_cast<char>(c)), true, true);
}

LRESULT DialogCode(HWND hwnd, const EditData& d, WPARAM wParam, LPARAM lParam) {
    LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    if (IsMultiLine(hwnd)) {
        code |= DLGC_WANTALLKEYS;
        // Tab still moves between controls, Esc cancels, and Enter presses the default button
        // unless the edit takes returns.
        if (auto* m = reinterpret_cast<const MSG*>(lParam); m && m->message == WM_KEYDOWN) {
            if (m->wParam == VK_TAB || m->wParam == VK_ESCAPE ||
                (m->wParam == VK_RETURN && !(StyleOf(hwnd) & ES_WANTRETURN) && GetKeyState(VK_CONTROL) >= 0))
                code &= ~DLGC_WANTALLKEYS;
        }
    }
    if (d.combo && LiveWindow(d.combo)) code |= SendMessage(d.combo, WM_GETDLGCODE, wParam, lParam);
    return code;
}

// --- painting ---------------------------------------------------------------------------------

void DrawRun(HDC dc, const EditData& d, std::size_t from, std::size_t to, int lineX, int x0, int y) {
    // Runs are drawn between tabs so that each piece starts at its own tab stop.
    std::size_t i = from;
    while (i < to) {
        std::size_t stop = i;
        while (stop < to && (d.passwordChar || d.text[stop] != '\t')) ++stop;
        int x = x0 + TextSpanWidth(d, lineX, i, 0);
        std::string shown = d.passwordChar ? std::string(stop - i, d.passwordChar) : d.text.substr(i, stop - i);
        if (!shown.empty()) TextOut(dc, x, y, shown);
        i = stop + (stop < to ? 1 : 0);
    }
}

void Paint(HWND hwnd, EditData& d) {
    ControlPaint paint(hwnd, d.font);
    HDC dc = paint.dc();
    if (!dc) return;
    bool enabled = IsWindowEnabled(hwnd);
    HBRUSH bg = ControlColors(hwnd, dc, (ReadOnly(hwnd) || !enabled) ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT);
    RECT client = paint.client();
    FillRect(dc, &client, bg);
    COLORREF textColor = enabled ? GetTextColor(dc) : GetSysColor(COLOR_GRAYTEXT);
    RECT a = EditTextArea(hwnd, d);
    IntersectClipRect(dc, a.left, a.top, a.right, a.bottom);
    SetBkMode(dc, TRANSPARENT);
    bool showSel = (d.hasFocus || (StyleOf(hwnd) & ES_NOHIDESEL)) && SelMin(d) != SelMax(d);
    int lh = EditLineHeight(d);
    int vis = VisibleLineCount(hwnd, d) + 1;
    for (int li = d.firstLine; li < static_cast<int>(d.lines.size()) && li < d.firstLine + vis; ++li) {
        const EditLine& l = d.lines[static_cast<std::size_t>(li)];
        int y = a.top + (li - d.firstLine) * lh;
        int x0 = a.left + LineIndent(hwnd, d, li) - d.xOffset;
        std::size_t end = l.start + l.length;
        std::size_t s0 = showSel ? std::clamp(SelMin(d), l.start, end) : end;
        std::size_t s1 = showSel ? std::clamp(SelMax(d), l.start, end) : end;
        SetTextColor(dc, textColor);
        DrawRun(dc, d, l.start, s0, l.start, x0, y);
        if (s1 > s0) {
            RECT hi{x0 + TextSpanWidth(d, l.start, s0), y, x0 + TextSpanWidth(d, l.start, s1), y + lh};
            FillSysColor(dc, hi, COLOR_HIGHLIGHT);
            SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
            DrawRun(dc, d, s0, s1, l.start, x0, y);
            SetTextColor(dc, textColor);
        }
        DrawRun(dc, d, s1, end, l.start, x0, y);
    }
}

// --- mouse ------------------------------------------------------------------------------------

void MouseDown(HWND hwnd, EditData& d, LPARAM lParam) {
    if (GetFocus() != hwnd) SetFocus(hwnd);
    auto* live = DataOf<EditData>(hwnd);
    if (!live) return;
    std::size_t pos = PosOfClientPoint(hwnd, *live, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    MoveCaret(hwnd, *live, pos, GetKeyState(VK_SHIFT) < 0);
    live->selecting = true;
    SetCapture(hwnd);
}

void MouseMove(HWND hwnd, EditData& d, LPARAM lParam) {
    if (!d.selecting || GetCapture() != hwnd) return;
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    RECT a = EditTextArea(hwnd, d);
    if (IsMultiLine(hwnd)) {
        if (pt.y < a.top) ScrollEditLines(hwnd, d, -1);
        if (pt.y >= a.bottom) ScrollEditLines(hwnd, d, 1);
    }
    MoveCaret(hwnd, d, PosOfClientPoint(hwnd, d, pt), true);
}

void SelectWordAt(HWND hwnd, EditData& d, LPARAM lParam) {
    std::size_t pos = PosOfClientPoint(hwnd, d, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    auto word = [&](std::size_t i) { return i < d.text.size() && !std::isspace(static_cast<unsigned char>(d.text[i])); };
    std::size_t from = pos, to = pos;
    while (from > 0 && word(from - 1)) --from;
    while (word(to)) ++to;
    SetSelection(hwnd, d, static_cast<INT_PTR>(from), static_cast<INT_PTR>(to));
}

void Scroll(HWND hwnd, EditData& d, UINT msg, WPARAM wParam) {
    int page = VisibleLineCount(hwnd, d);
    if (msg == WM_VSCROLL) {
        int delta = 0;
        switch (LOWORD(wParam)) {
        case SB_LINEUP: delta = -1; break;
        case SB_LINEDOWN: delta = 1; break;
        case SB_PAGEUP: delta = -page; break;
        case SB_PAGEDOWN: delta = page; break;
        case SB_TOP: delta = -d.firstLine; break;
        case SB_BOTTOM: delta = static_cast<int>(d.lines.size()); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: delta = static_cast<SHORT>(HIWORD(wParam)) - d.firstLine; break;
        default: return;
        }
        ScrollEditLines(hwnd, d, delta);
        NotifyParent(hwnd, EN_VSCROLL);
    } else {
        RECT a = EditTextArea(hwnd, d);
        int w = std::max<int>(1, a.right - a.left);
        int avg = std::max(1, static_cast<int>(RealizedFontOf(d.font).Metrics().tmAveCharWidth));
        int off = d.xOffset;
        switch (LOWORD(wParam)) {
        case SB_LINELEFT: off -= avg; break;
        case SB_LINERIGHT: off += avg; break;
        case SB_PAGELEFT: off -= w; break;
        case SB_PAGERIGHT: off += w; break;
        case SB_LEFT: off = 0; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: off = static_cast<SHORT>(HIWORD(wParam)); break;
        default: return;
        }
        d.xOffset = std::max(0, off);
        NotifyParent(hwnd, EN_HSCROLL);
    }
    if (!LiveWindow(hwnd)) return;
    UpdateEditScrollBars(hwnd, d);
    UpdateEditCaret(hwnd, d);
    Redraw(hwnd);
}

LRESULT LineLength(const EditData& d, INT_PTR pos) {
    if (pos < 0) {
        if (SelMin(d) == SelMax(d)) {
            const EditLine& l = d.lines[static_cast<std::size_t>(LineOfPos(d, d.caret))];
            return static_cast<LRESULT>(l.length);
        }
        const EditLine& first = d.lines[static_cast<std::size_t>(LineOfPos(d, SelMin(d)))];
        const EditLine& last = d.lines[static_cast<std::size_t>(LineOfPos(d, SelMax(d)))];
        return static_cast<LRESULT>((SelMin(d) - first.start) + (last.start + last.length - SelMax(d)));
    }
    const EditLine& l = d.lines[static_cast<std::size_t>(LineOfPos(d, std::min<std::size_t>(pos, d.text.size())))];
    return static_cast<LRESULT>(l.length);
}

LRESULT EditMessage(HWND hwnd, EditData& d, UINT msg, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    auto spos = static_cast<INT_PTR>(wParam);
    switch (msg) {
    case EM_GETSEL: {
        if (wParam) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(SelMin(d));
        if (lParam) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(SelMax(d));
        return MAKELONG(static_cast<WORD>(std::min<std::size_t>(SelMin(d), 0xFFFF)),
                        static_cast<WORD>(std::min<std::size_t>(SelMax(d), 0xFFFF)));
    }
    case EM_SETSEL:
        SetSelection(hwnd, d, spos, static_cast<INT_PTR>(lParam));
        return 0;
    case EM_REPLACESEL:
        ReplaceSelection(hwnd, d, lParam ? reinterpret_cast<const char*>(lParam) : "", wParam != 0, false);
        return 0;
    case EM_GETMODIFY: return d.modified ? TRUE : FALSE;
    case EM_SETMODIFY: d.modified = wParam != 0; return 0;
    case EM_CANUNDO: return d.canUndo ? TRUE : FALSE;
    case EM_UNDO: Undo(hwnd, d); return TRUE;
    case EM_EMPTYUNDOBUFFER:
        d.canUndo = false;
        d.typing = false;
        d.undoText.clear();
        return 0;
    case EM_LIMITTEXT: {
        std::size_t limit = wParam ? static_cast<std::size_t>(wParam) : kMaxEditLimit;
        d.limit = std::min(limit, kMaxEditLimit);
        return 0;
    }
    case EM_GETLIMITTEXT: return static_cast<LRESULT>(d.limit);
    case EM_GETLINECOUNT: return static_cast<LRESULT>(d.lines.size());
    case EM_LINEINDEX: {
        INT_PTR line = spos < 0 ? LineOfPos(d, d.caret) : spos;
        if (line >= static_cast<INT_PTR>(d.lines.size())) return -1;
        return static_cast<LRESULT>(d.lines[static_cast<std::size_t>(line)].start);
    }
    case EM_LINELENGTH: return LineLength(d, spos);
    case EM_LINEFROMCHAR: return LineOfPos(d, spos < 0 ? SelMin(d) : std::min<std::size_t>(wParam, d.text.size()));
    case EM_GETLINE: {
        if (!lParam) return 0;
        auto* buffer = reinterpret_cast<char*>(lParam);
        WORD size = 0;
        std::memcpy(&size, buffer, sizeof size);
        std::size_t line = IsMultiLine(hwnd) ? wParam : 0;
        if (line >= d.lines.size()) return 0;
        const EditLine& l = d.lines[line];
        std::size_t n = std::min<std::size_t>(l.length, size);
        std::memcpy(buffer, d.text.data() + l.start, n);
        return static_cast<LRESULT>(n);
    }
    case EM_GETFIRSTVISIBLELINE:
        if (IsMultiLine(hwnd)) return d.firstLine;
        return static_cast<LRESULT>(PosOfX(d, 0, d.xOffset));
    case EM_GETTHUMB: return d.firstLine;
    case EM_LINESCROLL:
        if (!IsMultiLine(hwnd)) return FALSE;
        ScrollEditLines(hwnd, d, static_cast<int>(lParam));
        d.xOffset = std::max(0, d.xOffset + static_cast<int>(spos) *
                                                static_cast<int>(RealizedFontOf(d.font).Metrics().tmAveCharWidth));
        UpdateEditScrollBars(hwnd, d);
        UpdateEditCaret(hwnd, d);
        Redraw(hwnd);
        return TRUE;
    case EM_SCROLL: {
        if (!IsMultiLine(hwnd)) return FALSE;
        int page = VisibleLineCount(hwnd, d);
        int delta = wParam == SB_LINEUP ? -1 : wParam == SB_LINEDOWN ? 1 : wParam == SB_PAGEUP ? -page
                    : wParam == SB_PAGEDOWN                               ? page
                                                                          : 0;
        int moved = ScrollEditLines(hwnd, d, delta);
        UpdateEditScrollBars(hwnd, d);
        UpdateEditCaret(hwnd, d);
        Redraw(hwnd);
        return MAKELONG(static_cast<WORD>(static_cast<SHORT>(moved)), TRUE);
    }
    case EM_SCROLLCARET:
        Refresh(hwnd, d, false);
        return TRUE;
    case EM_GETRECT:
        if (lParam) *reinterpret_cast<RECT*>(lParam) = EditTextArea(hwnd, d);
        return 0;
    case EM_SETRECT:
    case EM_SETRECTNP:
        d.formatRectSet = lParam != 0;
        if (lParam) d.formatRect = *reinterpret_cast<const RECT*>(lParam);
        RelayoutEdit(hwnd, d);
        if (msg == EM_SETRECT) Refresh(hwnd, d, false);
        return 0;
    case EM_SETMARGINS:
        if (wParam & EC_LEFTMARGIN) d.leftMargin = LOWORD(static_cast<UINT_PTR>(lParam));
        if (wParam & EC_RIGHTMARGIN) d.rightMargin = HIWORD(static_cast<UINT_PTR>(lParam));
        Refresh(hwnd, d, true);
        return 0;
    case EM_GETMARGINS:
        return MAKELONG(static_cast<WORD>(d.leftMargin), static_cast<WORD>(d.rightMargin));
    case EM_SETTABSTOPS: {
        int avg = static_cast<int>(RealizedFontOf(d.font).Metrics().tmAveCharWidth);
        if (wParam == 0 || !lParam)
            d.tabStop = 0;
        else
            d.tabStop = std::max(1, MulDiv(*reinterpret_cast<const int*>(lParam), avg, 4));
        Refresh(hwnd, d, true);
        return TRUE;
    }
    case EM_SETPASSWORDCHAR:
        d.passwordChar = static_cast<char>(wParam);
        Refresh(hwnd, d, true);
        return 0;
    case EM_GETPASSWORDCHAR: return static_cast<unsigned char>(d.passwordChar);
    case EM_SETREADONLY:
        if (auto* w = LiveWindow(hwnd)) w->style = wParam ? (w->style | ES_READONLY) : (w->style & ~ES_READONLY);
        Redraw(hwnd);
        return TRUE;
    case EM_POSFROMCHAR: {
        if (wParam > d.text.size()) return -1;
        POINT p = ClientPointOfPos(hwnd, d, wParam);
        return MAKELONG(static_cast<WORD>(p.x), static_cast<WORD>(p.y));
    }
    case EM_CHARFROMPOS: {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        std::size_t pos = PosOfClientPoint(hwnd, d, pt);
        return MAKELONG(static_cast<WORD>(std::min<std::size_t>(pos, 0xFFFF)),
                        static_cast<WORD>(LineOfPos(d, pos)));
    }
    default:
        handled = false;
        return 0;
    }
}

LRESULT EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* d = AttachData<EditData>(hwnd);
        if (d && StyleOf(hwnd) & ES_PASSWORD) d->passwordChar = '*';
        if (auto* parent = LiveWindow(GetParent(hwnd));
            d && parent && GetDlgCtrlID(hwnd) == kComboEditId && GetClassName(parent) == kComboBoxClass)
            d->combo = parent;
    }
    auto* d = DataOf<EditData>(hwnd);
    if (!d) return DefWindowProc(hwnd, msg, wParam, lParam);
    LRESULT result = 0;
    if (HandleFontMessage(hwnd, *d, msg, wParam, lParam, result)) {
        if (msg == WM_SETFONT) {
            RelayoutEdit(hwnd, *d);
            if (d->hasFocus && GetFocus() == hwnd) {
                CreateCaret(hwnd, nullptr, 1, EditLineHeight(*d));
                ShowCaret(hwnd);
            }
            Refresh(hwnd, *d, false);
        }
        return result;
    }
    bool handled = false;
    result = EditMessage(hwnd, *d, msg, wParam, lParam, handled);
    if (handled) return result;
    switch (msg) {
    case WM_CREATE: {
        auto* w = LiveWindow(hwnd);
        d->text = Filtered(hwnd, w ? w->text : std::string());
        RelayoutEdit(hwnd, *d);
        UpdateEditScrollBars(hwnd, *d);
        return 0;
    }
    case WM_GETDLGCODE:
        return DialogCode(hwnd, *d, wParam, lParam);
    case WM_SETTEXT:
        SetAllText(hwnd, *d, reinterpret_cast<const char*>(lParam));
        NotifyChanged(hwnd);
        return TRUE;
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(d->text.size());
    case WM_GETTEXT:
        return CopyTextOut(d->text, wParam, lParam);
    case WM_SIZE:
        Refresh(hwnd, *d, true);
        return 0;
    case WM_STYLECHANGED:
        Refresh(hwnd, *d, true);
        return 0;
    case WM_ENABLE:
        Redraw(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint(hwnd, *d);
        return 0;
    case WM_SETFOCUS:
        d->hasFocus = true;
        CreateCaret(hwnd, nullptr, 1, EditLineHeight(*d));
        UpdateEditCaret(hwnd, *d);
        ShowCaret(hwnd);
        Redraw(hwnd);
        NoteDialogFocus(hwnd);
        if (LiveWindow(hwnd)) NotifyParent(hwnd, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        d->hasFocus = false;
        d->selecting = false;
        HideCaret(hwnd);
        DestroyCaret();
        Redraw(hwnd);
        NotifyParent(hwnd, EN_KILLFOCUS);
        return 0;
    case WM_KEYDOWN:
        if (ForwardToCombo(hwnd, *d, msg, wParam, lParam)) return 0;
        KeyDown(hwnd, *d, wParam);
        return 0;
    case WM_SYSKEYDOWN:
        if (ForwardToCombo(hwnd, *d, msg, wParam, lParam)) return 0;
        if (wParam == VK_BACK && (lParam & KF_ALTDOWN_BIT)) {
            Undo(hwnd, *d);
            return 0;
        }
        break;
    case WM_CHAR:
        if (d->combo && (wParam == '\r' || wParam == 0x1B || wParam == '\t')) return 0;
        Char(hwnd, *d, wParam);
        return 0;
    case WM_CUT:
        if (!ReadOnly(hwnd) && !d->passwordChar) {
            Copy(hwnd, *d);
            Clear(hwnd, *d);
        }
        return 0;
    case WM_COPY: Copy(hwnd, *d); return 0;
    case WM_PASTE: Paste(hwnd, *d); return 0;
    case WM_CLEAR: Clear(hwnd, *d); return 0;
    case WM_UNDO: Undo(hwnd, *d); return TRUE;
    case WM_LBUTTONDOWN:
        MouseDown(hwnd, *d, lParam);
        return 0;
    case WM_LBUTTONDBLCLK:
        SelectWordAt(hwnd, *d, lParam);
        return 0;
    case WM_MOUSEMOVE:
        MouseMove(hwnd, *d, lParam);
        return 0;
    case WM_LBUTTONUP:
        if (d->selecting) {
            d->selecting = false;
            if (GetCapture() == hwnd) ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED:
        d->selecting = false;
        return 0;
    case WM_VSCROLL:
    case WM_HSCROLL:
        Scroll(hwnd, *d, msg, wParam);
        return 0;
    case WM_MOUSEWHEEL:
        if (IsMultiLine(hwnd)) {
            int notches = static_cast<SHORT>(HIWORD(wParam)) / 120;
            if (notches) {
                ScrollEditLines(hwnd, *d, -3 * notches);
                UpdateEditScrollBars(hwnd, *d);
                UpdateEditCaret(hwnd, *d);
                Redraw(hwnd);
            }
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

}  // namespace

void RegisterEditClass() { RegisterControlClass(kEditClass, EditProc, CS_DBLCLKS | CS_PARENTDC, IDC_IBEAM); }

}  // namespace win
