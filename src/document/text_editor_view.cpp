// The editor's view: fonts and cell geometry, scroll bars, caret placement, scrolling and
// painting with comment colours and the selection highlight.
#include <algorithm>

#include "ui/color_table.h"
#include "ui/frame_state.h"
#include "document/text_editor.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "platform/screen.h"
#include "platform/control_scrollbar.h"
#include "platform/cursor.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/paint.h"
#include "platform/text.h"
#include "platform/window.h"

namespace kq5 {

namespace {

constexpr int kHorizontalBarFirstId = 12351;
constexpr int kVerticalBarFirstId = 12355;

// The scroll bar that shows one direction: the editor's own, or in a schematic the pane's
// scroll-bar control (none while the text area is hidden).
bool EditorBar(TxtEditRecord& r, bool vertical, win::HWND& window, int& bar)
{
    window = r.window;
    bar = vertical ? win::SB_VERT : win::SB_HORZ;
    if (r.owner != nullptr && r.owner->kind == kWindowSchematic && r.owner->document) {
        const std::int32_t pane = r.owner->document->textAreaPane;
        if (pane & kTextAreaHidden) return false;
        window = win::GetDlgItem(r.owner->window, (vertical ? kVerticalBarFirstId : kHorizontalBarFirstId) + (pane & 0x0F));
        bar = win::SB_CTL;
    }
    return window != nullptr;
}

// Byte-offset ranges do not fit a 16-bit bar; they are divided down.
std::int32_t Divisor(std::int32_t range) { return range / 32767 + 1; }

win::COLORREF IndexColor(int index)
{
    index &= 63;
    const ColorRow& row = ColorTable().rows[static_cast<std::size_t>(index)];
    return row.brush != nullptr ? row.color : DefaultPaletteColor(index);
}

}  // namespace

void SetEditorScrollBars(TxtEditRecord& r, bool afterGrowth)
{
    win::HWND window = nullptr;
    int bar = 0;
    const std::int32_t length = EditorLength(r);
    std::int32_t range = std::max(1, (afterGrowth ? r.capacity : length) - r.rows);
    r.scrollDivisor = Divisor(range);
    if (EditorBar(r, true, window, bar)) {
        win::SetScrollRange(window, bar, 0, range / r.scrollDivisor, 0);
        win::SetScrollPos(window, bar, r.topOffset / r.scrollDivisor, 1);
    }
    if (EditorBar(r, false, window, bar)) {
        const std::int32_t hRange = std::max(1, r.widestLine - r.columns);
        const std::int32_t divisor = Divisor(hRange);
        win::SetScrollRange(window, bar, 0, hRange / divisor, 0);
        win::SetScrollPos(window, bar, r.horizontalScroll / divisor, 1);
    }
}

// Measures the widest line (the caps of the horizontal range).
void MeasureWidestLine(TxtEditRecord& r)
{
    const std::string& text = EditorText(r);
    std::int32_t widest = 0;
    std::int32_t column = 0;
    const std::int32_t tab = std::max<std::int32_t>(1, r.tabWidth);
    for (char c : text) {
        if (c == '\n') {
            widest = std::max(widest, column);
            column = 0;
        } else if (c == '\t') {
            column = (column / tab + 1) * tab;
        } else {
            ++column;
        }
    }
    widest = std::max(widest, column);
    r.widestLine = std::min(std::max(r.widestLine, widest), kEditorWidestLineCap);
}

void RefreshEditorView(TxtEditRecord& r)
{
    MeasureWidestLine(r);
    SetEditorScrollBars(r, false);
    if (r.window) win::InvalidateRect(r.window, nullptr, 1);
    RefreshToolButtonStates();
}

void RefreshEditorScrollBars(WindowRecord* owner)
{
    if (TxtEditRecord* r = OwnerTxtEditRecord(owner)) {
        SyncEditorWithText(*r);
        SetEditorScrollBars(*r, false);
    }
}

void MeasureEditorFont(TxtEditRecord& r)
{
    // A screen that nobody sees (a batch job) shows no text: the nominal cell size will do, and
    // no font is loaded for it.
    if (win::ScreenUnseen()) return;
    win::HWND measured = AppFrameWindow() ? AppFrameWindow() : r.window;
    win::HDC dc = win::GetDC(measured);
    if (dc == nullptr) return;
    win::HGDIOBJ old = win::SelectObject(dc, r.font ? r.font : win::GetStockObject(win::SYSTEM_FONT));
    win::TEXTMETRIC tm{};
    if (win::GetTextMetrics(dc, &tm)) {
        r.lineHeight = std::max<std::int32_t>(1, tm.tmHeight + tm.tmExternalLeading);
        r.charWidth = std::max<std::int32_t>(1, tm.tmAveCharWidth);
    }
    win::SelectObject(dc, old);
    win::ReleaseDC(measured, dc);
}

// Rows and columns from the client size; true when either changed.
bool ComputeEditorGeometry(TxtEditRecord& r)
{
    win::RECT client{};
    if (r.window) win::GetClientRect(r.window, &client);
    const std::int32_t rows = std::max<std::int32_t>(1, (client.bottom - client.top) / r.lineHeight);
    const std::int32_t columns = std::max<std::int32_t>(1, (client.right - client.left) / r.charWidth);
    if (rows == r.rows && columns == r.columns) return false;
    r.rows = rows;
    r.columns = columns;
    r.mouseCell = win::POINT{0, 0};
    if (r.window) win::InvalidateRect(r.window, nullptr, 1);
    RefreshToolButtonStates();
    return true;
}

void ScrollEditorLines(TxtEditRecord& r, std::int32_t lines)
{
    SyncEditorWithText(r);
    const std::int32_t last = EditorLineIndex(r, EditorLength(r));
    const std::int32_t top = std::clamp(r.topLine + lines, 0, last);
    if (top == r.topLine) return;
    r.topLine = top;
    r.topOffset = EditorLineOffset(r, top);
    SetEditorScrollBars(r, false);
    if (r.window) win::InvalidateRect(r.window, nullptr, 1);
}

void ScrollEditorColumns(TxtEditRecord& r, std::int32_t columns)
{
    const std::int32_t most = std::max(0, r.widestLine - r.columns);
    const std::int32_t scroll = std::clamp(r.horizontalScroll + columns, 0, std::max(most, r.horizontalScroll));
    if (scroll == r.horizontalScroll) return;
    r.horizontalScroll = std::max(0, scroll);
    SetEditorScrollBars(r, false);
    if (r.window) win::InvalidateRect(r.window, nullptr, 1);
}

win::POINT EditorCaretCell(TxtEditRecord& r)
{
    const std::int32_t caret = EditorCaret(r);
    return win::POINT{EditorDisplayColumn(r, caret) - r.horizontalScroll, EditorLineIndex(r, caret) - r.topLine};
}

void ShowEditorCaret(TxtEditRecord& r)
{
    SyncEditorWithText(r);
    win::POINT cell = EditorCaretCell(r);
    // Horizontally the caret keeps some room: near the right edge the view jumps so that it lands
    // ten columns from the edge.
    if (cell.x < 0) {
        r.horizontalScroll = std::max(0, r.horizontalScroll + cell.x);
        if (r.window) win::InvalidateRect(r.window, nullptr, 1);
    } else if (cell.x >= r.columns - 5 && r.columns > 10) {
        r.horizontalScroll += cell.x - (r.columns - 10);
        if (r.window) win::InvalidateRect(r.window, nullptr, 1);
    } else if (cell.x >= r.columns) {
        r.horizontalScroll += cell.x - r.columns + 1;
        if (r.window) win::InvalidateRect(r.window, nullptr, 1);
    }
    if (cell.y >= r.rows) ScrollEditorLines(r, cell.y - r.rows + 1);
    else if (cell.y < 0) ScrollEditorLines(r, cell.y);
    cell = EditorCaretCell(r);
    if (r.window && win::GetFocus() == r.window) win::SetCaretPos(cell.x * r.charWidth, cell.y * r.lineHeight);
    SetEditorScrollBars(r, false);
}

// --- painting ----------------------------------------------------------------------------------

namespace {

struct RowLayout {
    std::string cells;  // the visible columns, tabs expanded, padded with blanks
    bool comment = false;
    std::int32_t width = 0;  // displayed width of the line, in columns
};

RowLayout LayOutRow(TxtEditRecord& r, std::int32_t lineStart)
{
    RowLayout row;
    row.cells.assign(static_cast<std::size_t>(r.columns), ' ');
    const std::string& text = EditorText(r);
    const std::int32_t end = EditorLineEnd(r, lineStart);
    const std::int32_t tab = std::max<std::int32_t>(1, r.tabWidth);
    bool seenNonBlank = false;
    std::int32_t column = 0;
    for (std::int32_t i = lineStart; i < end; ++i) {
        const char c = text[static_cast<std::size_t>(i)];
        if (!seenNonBlank && c != ' ' && c != '\t') {
            seenNonBlank = true;
            if (c == '*') row.comment = true;
        }
        if (c == ';' && column < r.horizontalScroll) row.comment = true;
        const std::int32_t next = c == '\t' ? (column / tab + 1) * tab : column + 1;
        for (std::int32_t at = column; at < next; ++at) {
            const std::int32_t cell = at - r.horizontalScroll;
            if (cell >= 0 && cell < r.columns) row.cells[static_cast<std::size_t>(cell)] = c == '\t' ? ' ' : c;
        }
        column = next;
    }
    row.width = column;
    return row;
}

void InvertSelectionCells(TxtEditRecord& r, win::HDC dc)
{
    const std::int32_t caret = EditorCaret(r);
    const std::int32_t start = std::min(caret, r.anchor);
    const std::int32_t end = std::max(caret, r.anchor);
    if (start == end) return;
    const std::string& text = EditorText(r);
    std::int32_t lineStart = r.topOffset;
    for (std::int32_t row = 0; row < r.rows && lineStart >= 0 && lineStart <= end; ++row) {
        const std::size_t feed = text.find('\n', static_cast<std::size_t>(lineStart));
        const std::int32_t next = feed == std::string::npos ? -1 : static_cast<std::int32_t>(feed + 1);
        const std::int32_t lineEnd = EditorLineEnd(r, lineStart);
        // Rows of lines wholly before the selection show nothing.
        if (next < 0 || next > start) {
            const std::int32_t width = EditorDisplayColumn(r, lineEnd);
            std::int32_t from = start > lineStart ? EditorDisplayColumn(r, start) : 0;
            // A selection that runs on past a line end covers one cell for the line break.
            std::int32_t to = end <= lineEnd ? EditorDisplayColumn(r, end) : width + 1;
            from = std::max(from - r.horizontalScroll, 0);
            to = std::min(to - r.horizontalScroll, r.columns);
            if (to > from) {
                win::RECT cells{from * r.charWidth, row * r.lineHeight, to * r.charWidth, (row + 1) * r.lineHeight};
                win::InvertRect(dc, &cells);
            }
        }
        lineStart = next;
    }
}

}  // namespace

void PaintEditor(TxtEditRecord& r)
{
    win::PAINTSTRUCT ps;
    win::HDC dc = win::BeginPaint(r.window, &ps);
    if (dc == nullptr) return;
    SyncEditorWithText(r);
    RealizeAppPalette(dc);
    const CircuitDocument* document = r.owner != nullptr ? r.owner->document.get() : nullptr;
    const int background = document ? document->textBackgroundColor : 15;
    const int commentColor = document ? document->textCommentColor : 2;
    int textColor = r.owner != nullptr ? r.owner->font.color : 0;
    if (textColor == background) {
        textColor ^= 15;
        if (r.owner != nullptr) r.owner->font.color = static_cast<std::uint8_t>(textColor);
    }
    win::RECT client{};
    win::GetClientRect(r.window, &client);
    win::HBRUSH brush = win::CreateSolidBrush(IndexColor(background));
    win::FillRect(dc, &client, brush);
    win::DeleteObject(brush);
    win::HGDIOBJ oldFont = win::SelectObject(dc, r.font ? r.font : win::GetStockObject(win::SYSTEM_FONT));
    win::SetBkColor(dc, IndexColor(background));
    win::SetBkMode(dc, win::OPAQUE);
    std::int32_t lineStart = r.topOffset;
    for (std::int32_t row = 0; row < r.rows && lineStart >= 0; ++row) {
        const int y = row * r.lineHeight;
        if (y < ps.rcPaint.bottom && y + r.lineHeight > ps.rcPaint.top) {
            const RowLayout layout = LayOutRow(r, lineStart);
            std::size_t split = layout.comment ? 0 : layout.cells.find(';');
            if (split == std::string::npos) split = layout.cells.size();
            if (split > 0) {
                win::SetTextColor(dc, IndexColor(textColor));
                win::TextOut(dc, 0, y, layout.cells.c_str(), static_cast<int>(split));
            }
            if (split < layout.cells.size()) {
                win::SetTextColor(dc, IndexColor(commentColor));
                win::TextOut(dc, static_cast<int>(split) * r.charWidth, y, layout.cells.c_str() + split,
                             static_cast<int>(layout.cells.size() - split));
            }
        }
        const std::string& text = EditorText(r);
        const std::size_t feed = text.find('\n', static_cast<std::size_t>(lineStart));
        lineStart = feed == std::string::npos ? -1 : static_cast<std::int32_t>(feed + 1);
    }
    if (r.selectionShown) InvertSelectionCells(r, dc);
    win::SelectObject(dc, oldFont);
    win::EndPaint(r.window, &ps);
}

// The row laid out for a screen row, for tests and word selection.
std::string EditorRowText(TxtEditRecord& r, std::int32_t row, bool* comment)
{
    SyncEditorWithText(r);
    const std::int32_t lineStart = EditorLineOffset(r, r.topLine + row);
    if (lineStart < 0) {
        if (comment) *comment = false;
        return std::string(static_cast<std::size_t>(r.columns), ' ');
    }
    RowLayout layout = LayOutRow(r, lineStart);
    if (comment) *comment = layout.comment;
    return layout.cells;
}

}  // namespace kq5
