// The edit control's text layout: breaking the text into lines, measuring positions, mapping
// between positions and points, scrolling and the caret.
#include <algorithm>
#include <cctype>

#include "platform/control_edit_internal.h"
#include "platform/control_scrollbar.h"
#include "platform/cursor.h"

namespace win {

namespace {

bool Wraps(DWORD style) {
    return (style & ES_MULTILINE) && !(style & ES_AUTOHSCROLL) && !(style & WS_HSCROLL);
}

char Shown(const EditData& d, char c) { return d.passwordChar ? d.passwordChar : c; }

int TabWidth(const EditData& d) {
    if (d.tabStop > 0) return d.tabStop;
    return std::max(1, 8 * static_cast<int>(RealizedFontOf(d.font).Metrics().tmAveCharWidth));
}

// Advance of character i drawn at x (tabs run to the next stop).
int CharWidthAt(const EditData& d, const RealizedFont& f, std::size_t i, int x) {
    char c = d.text[i];
    if (c == '\t' && !d.passwordChar) {
        int tab = TabWidth(d);
        return (x / tab + 1) * tab - x;
    }
    if ((c == '\r' || c == '\n') && !d.passwordChar) return 0;
    return f.Advance(static_cast<unsigned char>(Shown(d, c)));
}

int LineWidth(const EditData& d, const EditLine& l) { return TextSpanWidth(d, l.start, l.start + l.length); }

int WidestLine(const EditData& d) {
    int widest = 0;
    for (const EditLine& l : d.lines) widest = std::max(widest, LineWidth(d, l));
    return widest;
}

bool IsWordChar(char c) { return !std::isspace(static_cast<unsigned char>(c)); }

// Breaks one hard line [from, to) into lines no wider than width, after the last blank that fits
// (or inside a word longer than the line).
void WrapInto(const EditData& d, std::size_t from, std::size_t to, std::size_t next, int width,
              std::vector<EditLine>& out) {
    const RealizedFont& f = RealizedFontOf(d.font);
    std::size_t s = from;
    for (;;) {
        int x = 0;
        std::size_t fit = s;
        while (fit < to) {
            int w = CharWidthAt(d, f, fit, x);
            if (x + w > width && fit > s) break;
            x += w;
            ++fit;
        }
        if (fit >= to) {
            out.push_back(EditLine{s, to - s, next});
            return;
        }
        std::size_t cut = fit;
        for (std::size_t i = fit; i > s; --i)
            if (d.text[i - 1] == ' ') {
                cut = i;
                break;
            }
        out.push_back(EditLine{s, cut - s, cut});
        s = cut;
    }
}

}  // namespace

bool IsMultiLine(HWND hwnd) { return (StyleOf(hwnd) & ES_MULTILINE) != 0; }
std::size_t SelMin(const EditData& d) { return std::min(d.anchor, d.caret); }
std::size_t SelMax(const EditData& d) { return std::max(d.anchor, d.caret); }
int EditLineHeight(const EditData& d) { return LineHeightOf(d.font); }

RECT EditTextArea(HWND hwnd, const EditData& d) {
    RECT c;
    GetClientRect(hwnd, &c);
    if (d.formatRectSet) return d.formatRect;
    RECT r{c.left + d.leftMargin, c.top, c.right - d.rightMargin, c.bottom};
    if (!IsMultiLine(hwnd)) {
        int lh = EditLineHeight(d);
        int spare = (c.bottom - c.top) - lh;
        r.top = c.top + std::max(0, spare / 2);
        r.bottom = r.top + lh;
    } else {
        r.top += 1;
    }
    if (r.right < r.left) r.right = r.left;
    return r;
}

int VisibleLineCount(HWND hwnd, const EditData& d) {
    if (!IsMultiLine(hwnd)) return 1;
    RECT a = EditTextArea(hwnd, d);
    return std::max(1, static_cast<int>(a.bottom - a.top) / EditLineHeight(d));
}

int TextSpanWidth(const EditData& d, std::size_t from, std::size_t to, int startX) {
    const RealizedFont& f = RealizedFontOf(d.font);
    int x = startX;
    for (std::size_t i = from; i < to && i < d.text.size(); ++i) x += CharWidthAt(d, f, i, x);
    return x - startX;
}

void RelayoutEdit(HWND hwnd, EditData& d) {
    d.lines.clear();
    DWORD style = StyleOf(hwnd);
    if (!(style & ES_MULTILINE)) {
        d.lines.push_back(EditLine{0, d.text.size(), d.text.size()});
    } else {
        RECT area = EditTextArea(hwnd, d);
        int width = std::max<int>(1, area.right - area.left);
        bool wrap = Wraps(style);
        std::size_t pos = 0;
        for (;;) {
            std::size_t nl = d.text.find('\n', pos);
            std::size_t end = nl == std::string::npos ? d.text.size() : nl;
            std::size_t next = nl == std::string::npos ? d.text.size() : nl + 1;
            if (nl != std::string::npos && end > pos && d.text[end - 1] == '\r') --end;
            if (wrap)
                WrapInto(d, pos, end, next, width, d.lines);
            else
                d.lines.push_back(EditLine{pos, end - pos, next});
            if (nl == std::string::npos) break;
            pos = next;
            if (pos >= d.text.size()) {
                d.lines.push_back(EditLine{pos, 0, pos});
                break;
            }
        }
    }
    int maxFirst = std::max(0, static_cast<int>(d.lines.size()) - VisibleLineCount(hwnd, d));
    d.firstLine = std::clamp(d.firstLine, 0, maxFirst);
    d.anchor = SnapPos(d, d.anchor);
    d.caret = SnapPos(d, d.caret);
}

int LineOfPos(const EditData& d, std::size_t pos) {
    auto it = std::upper_bound(d.lines.begin(), d.lines.end(), pos,
                               [](std::size_t p, const EditLine& l) { return p < l.start; });
    if (it == d.lines.begin()) return 0;
    return static_cast<int>(it - d.lines.begin()) - 1;
}

int XOfPos(const EditData& d, std::size_t pos) {
    if (d.lines.empty()) return 0;
    const EditLine& l = d.lines[static_cast<std::size_t>(LineOfPos(d, pos))];
    return TextSpanWidth(d, l.start, std::min(pos, l.start + l.length));
}

std::size_t PosOfX(const EditData& d, int line, int x) {
    if (d.lines.empty()) return 0;
    line = std::clamp(line, 0, static_cast<int>(d.lines.size()) - 1);
    const EditLine& l = d.lines[static_cast<std::size_t>(line)];
    const RealizedFont& f = RealizedFontOf(d.font);
    int cur = 0;
    for (std::size_t i = l.start; i < l.start + l.length; ++i) {
        int w = CharWidthAt(d, f, i, cur);
        if (x < cur + (w + 1) / 2) return i;
        cur += w;
    }
    return l.start + l.length;
}

int LineIndent(HWND hwnd, const EditData& d, int line) {
    DWORD align = StyleOf(hwnd) & (ES_CENTER | ES_RIGHT);
    if (align == ES_LEFT || d.lines.empty()) return 0;
    RECT a = EditTextArea(hwnd, d);
    int spare = static_cast<int>(a.right - a.left) - LineWidth(d, d.lines[static_cast<std::size_t>(line)]);
    if (spare <= 0) return 0;
    return align == ES_CENTER ? spare / 2 : spare - 1;
}

POINT ClientPointOfPos(HWND hwnd, const EditData& d, std::size_t pos) {
    RECT a = EditTextArea(hwnd, d);
    int line = LineOfPos(d, pos);
    POINT p;
    p.x = a.left + LineIndent(hwnd, d, line) + XOfPos(d, pos) - d.xOffset;
    p.y = a.top + (IsMultiLine(hwnd) ? (line - d.firstLine) * EditLineHeight(d) : 0);
    return p;
}

std::size_t PosOfClientPoint(HWND hwnd, const EditData& d, POINT pt) {
    RECT a = EditTextArea(hwnd, d);
    int line = 0;
    if (IsMultiLine(hwnd)) {
        int dy = pt.y - a.top;
        int rel = dy >= 0 ? dy / EditLineHeight(d) : -1;
        line = std::clamp(d.firstLine + rel, 0, static_cast<int>(d.lines.size()) - 1);
    }
    return PosOfX(d, line, pt.x - a.left - LineIndent(hwnd, d, line) + d.xOffset);
}

std::size_t PrevPos(const EditData& d, std::size_t pos) {
    if (pos == 0) return 0;
    if (pos >= 2 && d.text[pos - 1] == '\n' && d.text[pos - 2] == '\r') return pos - 2;
    return pos - 1;
}

std::size_t NextPos(const EditData& d, std::size_t pos) {
    if (pos >= d.text.size()) return d.text.size();
    if (d.text[pos] == '\r' && pos + 1 < d.text.size() && d.text[pos + 1] == '\n') return pos + 2;
    return pos + 1;
}

std::size_t WordLeft(const EditData& d, std::size_t pos) {
    pos = PrevPos(d, pos);
    while (pos > 0 && !IsWordChar(d.text[pos])) pos = PrevPos(d, pos);
    while (pos > 0 && IsWordChar(d.text[pos - 1])) --pos;
    return pos;
}

std::size_t WordRight(const EditData& d, std::size_t pos) {
    const std::size_t n = d.text.size();
    while (pos < n && IsWordChar(d.text[pos])) ++pos;
    while (pos < n && !IsWordChar(d.text[pos])) ++pos;
    return pos;
}

std::size_t SnapPos(const EditData& d, std::size_t pos) {
    pos = std::min(pos, d.text.size());
    if (pos > 0 && pos < d.text.size() && d.text[pos - 1] == '\r' && d.text[pos] == '\n') --pos;
    return pos;
}

bool ScrollCaretIntoView(HWND hwnd, EditData& d) {
    bool moved = false;
    DWORD style = StyleOf(hwnd);
    int line = LineOfPos(d, d.caret);
    if (style & ES_MULTILINE) {
        int vis = VisibleLineCount(hwnd, d);
        int first = d.firstLine;
        if (line < first) first = line;
        if (line >= first + vis) first = line - vis + 1;
        if (first != d.firstLine) {
            d.firstLine = first;
            moved = true;
        }
    }
    bool scrollsSideways = (style & ES_MULTILINE) ? !Wraps(style) : (style & ES_AUTOHSCROLL) != 0;
    if (!scrollsSideways) {
        if (d.xOffset != 0) moved = true;
        d.xOffset = 0;
        return moved;
    }
    RECT a = EditTextArea(hwnd, d);
    int w = std::max<int>(1, a.right - a.left);
    int x = LineIndent(hwnd, d, line) + XOfPos(d, d.caret);
    int off = d.xOffset;
    if (x < off) off = std::max(0, x - w / 3);
    if (x > off + w - 1) off = x - w + 1 + w / 3;
    off = std::clamp(off, 0, std::max(0, std::max(WidestLine(d), x) + 1 - w));
    if (off != d.xOffset) {
        d.xOffset = off;
        moved = true;
    }
    return moved;
}

int ScrollEditLines(HWND hwnd, EditData& d, int lines) {
    int maxFirst = std::max(0, static_cast<int>(d.lines.size()) - VisibleLineCount(hwnd, d));
    int first = std::clamp(d.firstLine + lines, 0, maxFirst);
    int moved = first - d.firstLine;
    d.firstLine = first;
    return moved;
}

void UpdateEditScrollBars(HWND hwnd, EditData& d) {
    DWORD style = StyleOf(hwnd);
    if (!(style & ES_MULTILINE)) return;
    if (style & WS_VSCROLL) {
        SCROLLINFO si;
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
        si.nMin = 0;
        si.nMax = std::max(0, static_cast<int>(d.lines.size()) - 1);
        si.nPage = static_cast<UINT>(VisibleLineCount(hwnd, d));
        si.nPos = d.firstLine;
        SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
    }
    if (style & WS_HSCROLL) {
        RECT a = EditTextArea(hwnd, d);
        SCROLLINFO si;
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
        si.nMin = 0;
        si.nMax = WidestLine(d);
        si.nPage = static_cast<UINT>(std::max<LONG>(1, a.right - a.left));
        si.nPos = d.xOffset;
        SetScrollInfo(hwnd, SB_HORZ, &si, TRUE);
    }
}

void UpdateEditCaret(HWND hwnd, const EditData& d) {
    if (!d.hasFocus || GetFocus() != hwnd) return;
    POINT p = ClientPointOfPos(hwnd, d, d.caret);
    SetCaretPos(p.x, p.y);
}

}  // namespace win
