#include "app/printing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>

#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "ui/dialog_services.h"
#include "ui/font_select.h"
#include "document/title_block.h"
#include "ui/wait_cursor.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "analog/run_windows.h"
#include "ui/program_settings.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/document_windows.h"
#include "document/selection.h"
#include "platform/bitmap.h"
#include "platform/common_dialogs_file.h"
#include "platform/common_dialogs_print.h"
#include "platform/gdi_clip.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_mapping.h"
#include "platform/gdi_objects.h"
#include "platform/text.h"
#include <cstring>
#include <functional>
#include <optional>
#include "platform/global_memory.h"
#include "platform/dialog.h"
#include "platform/menu.h"
#include "platform/message_box.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/region.h"
#include "platform/system.h"
#include "platform/window.h"
#include "results/curve_record.h"
#include "plots/plot_print.h"
#include "plots/plot_view.h"
#include "schematic/schematic_render.h"
#include "schematic/schematic_view.h"

namespace kq5 {

namespace {

constexpr int kScreenDpi = 96;
constexpr int kTabWidth = 8;

std::string ExpandTabs(std::string_view text)
{
    std::string out;
    for (char c : text) {
        if (c == '\t') out.append(kTabWidth - out.size() % kTabWidth, ' ');
        else out.push_back(c);
    }
    return out;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        if (end < text.size() && text[end] == '\r') ++end;
        if (end < text.size() && text[end] == '\n') ++end;
        start = end;
    }
    return lines;
}

int HeaderFooterLineCount(const std::string& text)
{
    int count = 1;
    for (std::size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at + 2)) ++count;
    return count;
}

// One header or footer: each line's left part at the left edge, centre part centred, right part
// ending at the right edge.
void DrawHeaderFooterText(win::HDC dc, WindowRecord* record, const std::string& text, int page, int pageCount,
                          const win::RECT& area, int top, int lineHeight)
{
    const std::vector<HeaderLine> lines = SplitHeaderText(SubstitutePrintFields(record, text, page, pageCount));
    const win::UINT align = win::GetTextAlign(dc);
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const int y = top + static_cast<int>(k) * lineHeight;
        const HeaderLine& line = lines[k];
        win::SetTextAlign(dc, win::TA_LEFT);
        win::TextOut(dc, area.left, y, line.left.c_str(), static_cast<int>(line.left.size()));
        win::SetTextAlign(dc, win::TA_CENTER);
        win::TextOut(dc, (area.left + area.right) / 2, y, line.center.c_str(), static_cast<int>(line.center.size()));
        win::SetTextAlign(dc, win::TA_RIGHT);
        win::TextOut(dc, area.right, y, line.right.c_str(), static_cast<int>(line.right.size()));
    }
    win::SetTextAlign(dc, align);
}

// Sheets needed for content up to the edge (drawing units); a page that the automatic scale
// fits exactly stays on one sheet.
int SheetsFor(int edge, double sheet)
{
    return std::max(1, static_cast<int>(std::ceil((std::max(edge, 0) + 1) / sheet - 1e-6)));
}

}  // namespace

int ShowPrintDialog(unsigned flags, int pageCount, int& from, int& to)
{
    ApplyPrinterDefaults();
    pageCount = std::clamp(pageCount, 1, 0xFFFF);
    from = 1;
    to = pageCount;
    if (Settings().batchRun) return 1;
    win::PRINTDLG& pd = PrinterDialogSettings();
    const win::DWORD saved = pd.Flags;
    pd.hwndOwner = GetActiveChildRecord() ? GetActiveChildRecord()->window : nullptr;
    pd.Flags = (saved & ~(win::PD_PRINTSETUP | win::PD_RETURNDEFAULT | win::PD_RETURNDC | win::PD_PAGENUMS |
                          win::PD_SELECTION)) |
               flags | win::PD_NOSELECTION;
    pd.nFromPage = 1;
    pd.nToPage = static_cast<win::WORD>(pageCount);
    pd.nMinPage = 1;
    pd.nMaxPage = static_cast<win::WORD>(pageCount);
    const bool confirmed = win::PrintDlg(&pd) != 0;
    const bool pages = (pd.Flags & win::PD_PAGENUMS) != 0;
    pd.Flags = saved;
    if (!confirmed) return 0;
    ReadBackOrientation();
    if (pages) {
        from = std::clamp<int>(pd.nFromPage, 1, pageCount);
        to = std::clamp<int>(pd.nToPage, from, pageCount);
    }
    return 1;
}

double ComputePrintScale(WindowRecord* record) { return EffectivePrintScale(record); }

SheetTiling TileSchematicPage(WindowRecord* record, int page, double scale)
{
    SheetTiling tiling;
    if (record == nullptr || !record->document || page < 0 ||
        static_cast<std::size_t>(page) >= record->document->pages.size())
        return tiling;
    // The sheets the renderer draws its borders round, in whole drawing units: each printed sheet
    // starts on its border (sheets of a fraction more would leave the border a unit off the paper).
    const win::SIZE sheet = PrintedSheetSize(scale);
    tiling.sheetWidth = sheet.cx;
    tiling.sheetHeight = sheet.cy;
    // The renderer numbers the sheets from the page's extent: bring it up to date.
    CheckPageExtent(record, page);
    const win::RECT& extent = record->document->pages[static_cast<std::size_t>(page)].extent;
    tiling.across = SheetsFor(extent.right, tiling.sheetWidth);
    tiling.down = SheetsFor(extent.bottom, tiling.sheetHeight);
    return tiling;
}

void DrawSchematicAtScale(win::HDC dc, WindowRecord* record, int page, double printScale, const win::RECT& area,
                          int originX, int originY, double unitsPerPixel, std::uint32_t hiddenFlags)
{
    if (dc == nullptr || record == nullptr || !record->document || !(unitsPerPixel > 0.0)) return;
    CircuitDocument& document = *record->document;
    // The renderer's sheet borders and title blocks follow the scale printed at.
    const double stored = document.printerScale;
    document.printerScale = printScale;
    SchematicDrawState& drawing = SchematicDrawing();
    const SchematicDrawState saved = drawing;
    drawing.ignoreSelection = true;
    drawing.drawMode = kDrawModeNormal;
    ResetDrawRange(record);
    DrawContext context;
    InitDrawContext(dc, context, record, 0);
    context.page = page;
    context.paneRect = area;
    context.updateRect = area;
    context.scrollX = originX;
    context.scrollY = originY;
    context.displayFlags &= ~hiddenFlags;
    // The culling box must not come out smaller than the area.
    context.zoom = unitsPerPixel > 1.0 ? std::ceil(unitsPerPixel) : unitsPerPixel;
    context.explicitScale = 1;
    context.windowExt = static_cast<int>(std::lround(unitsPerPixel * 10000.0));
    context.viewportExt = 10000;
    // The renderer places the origin on displays only.
    const bool display = context.technology == win::DT_RASDISPLAY;
    if (!display) win::SetWindowOrgEx(dc, originX, originY, nullptr);
    DrawSchematicView(context);
    if (!display) {
        win::SetMapMode(dc, win::MM_TEXT);
        win::SetWindowOrgEx(dc, 0, 0, nullptr);
    }
    drawing = saved;
    document.printerScale = stored;
}

void PrintSchematic(WindowRecord* record)
{
    if (record == nullptr || !record->document) return;
    int from = 1, to = 1;
    if (!ShowPrintDialog(win::PD_ALLPAGES, static_cast<int>(record->document->pages.size()), from, to)) return;
    win::HDC dc = StartPrintJob(record);
    if (dc == nullptr) return;
    const double scale = ComputePrintScale(record);
    const win::RECT sheetArea = PrintableRect(dc);
    const double perPixel = static_cast<double>(kScreenDpi) * scale / win::GetDeviceCaps(dc, win::LOGPIXELSX);
    for (int page = from - 1; page < to && PrintJobRunning(); ++page) {
        const SheetTiling tiling = TileSchematicPage(record, page, scale);
        for (int row = 0; row < tiling.down && PrintJobRunning(); ++row) {
            for (int column = 0; column < tiling.across && PrintJobRunning(); ++column) {
                PrintJobPage(dc, [&] {
                    DrawPrintFrame(dc, record, sheetArea, false);
                    DrawSchematicAtScale(dc, record, page, scale, sheetArea,
                                         static_cast<int>(std::lround(column * tiling.sheetWidth)),
                                         static_cast<int>(std::lround(row * tiling.sheetHeight)), perPixel, 0);
                });
            }
        }
    }
    EndPrintJob();
    InvalidateDocumentWindows();
}

std::size_t SplitCommentColumns(const std::string& line)
{
    const std::size_t first = line.find_first_not_of(" \t");
    if (first != std::string::npos && line[first] == '*') return first;
    const std::size_t semicolon = line.find(';');
    return semicolon == std::string::npos ? line.size() : semicolon;
}

int TextLinesPerPage(int printableHeight, int lineHeight, int headerFooterLines)
{
    if (lineHeight <= 0) return 1;
    return std::max(1, printableHeight / lineHeight - headerFooterLines);
}

namespace {

// The window's text font at a printer's resolution.
win::HFONT CreatePrinterTextFont(WindowRecord* record, int logPixelsY)
{
    win::LOGFONT lf;
    FillLogFont(record->font, lf);
    lf.lfHeight = win::MulDiv(lf.lfHeight, logPixelsY, kScreenDpi);
    return win::CreateFontIndirect(&lf);
}

int SelectedLineHeight(win::HDC dc)
{
    win::TEXTMETRIC tm;
    win::GetTextMetrics(dc, &tm);
    return std::max(1, static_cast<int>(tm.tmHeight + tm.tmExternalLeading));
}

}  // namespace

int PrintTextLineHeight(WindowRecord* record, win::HDC printer)
{
    if (record == nullptr || printer == nullptr) return 1;
    win::HFONT font = CreatePrinterTextFont(record, win::GetDeviceCaps(printer, win::LOGPIXELSY));
    win::HGDIOBJ oldFont = win::SelectObject(printer, font);
    const int height = SelectedLineHeight(printer);
    win::SelectObject(printer, oldFont);
    win::DeleteObject(font);
    return height;
}

namespace {

// One printed row of a text: a piece [start, end) of a line with its tabs expanded, whose comment
// part begins at split.
struct TextRow {
    const std::string* line = nullptr;
    std::size_t start = 0;
    std::size_t end = 0;
    std::size_t split = 0;
};

// Where a row of the line from start ends so that it fits the width on the DC: after the last
// blank that keeps it within the width, else after the last character that does (at least one).
std::size_t FittingEnd(win::HDC dc, std::string_view line, std::size_t start, int width)
{
    auto fits = [&](std::size_t end) { return win::GetTextExtent(dc, line.substr(start, end - start)).cx <= width; };
    if (fits(line.size())) return line.size();
    std::size_t lo = start + 1, hi = line.size() - 1;  // lo always fits (or must be taken), hi+1 does not
    while (lo < hi) {
        const std::size_t mid = (lo + hi + 1) / 2;
        if (fits(mid)) lo = mid;
        else hi = mid - 1;
    }
    const std::size_t blank = line.find_last_of(' ', lo - 1);
    return blank != std::string_view::npos && blank > start ? blank + 1 : lo;
}

// The printed rows of the lines: a line wider than the page goes on in the rows below it rather
// than off the paper's edge.
std::vector<TextRow> TextRows(win::HDC measure, const std::vector<std::string>& expanded,
                              const std::vector<std::size_t>& splits, int width)
{
    std::vector<TextRow> rows;
    rows.reserve(expanded.size());
    for (std::size_t i = 0; i < expanded.size(); ++i) {
        const std::string& line = expanded[i];
        std::size_t start = 0;
        do {
            const std::size_t end = line.empty() ? 0 : FittingEnd(measure, line, start, width);
            rows.push_back({&line, start, end, splits[i]});
            start = end;
        } while (start < line.size());
    }
    return rows;
}

}  // namespace

int PrintTextLines(WindowRecord* record, win::HDC dc, bool print, int onlyPage, const TextPageGeometry* geometry)
{
    if (record == nullptr || dc == nullptr) return 0;
    const std::string* buffer = GetTextAreaBuffer(record);
    const std::vector<std::string> lines = SplitLines(buffer ? *buffer : record->textArea);
    const TitleBlockState& texts = TitleBlockFields();
    const int logPixelsY = geometry ? geometry->logPixelsY : win::GetDeviceCaps(dc, win::LOGPIXELSY);
    win::HFONT font = CreatePrinterTextFont(record, logPixelsY);
    win::HGDIOBJ oldFont = win::SelectObject(dc, font);
    const int lineHeight = geometry && geometry->lineHeight > 0 ? geometry->lineHeight : SelectedLineHeight(dc);
    const int headerLines = HeaderFooterLineCount(texts.printHeader);
    const int footerLines = HeaderFooterLineCount(texts.printFooter);
    const win::RECT area = geometry ? geometry->area : PrintableRect(dc);
    // Each line with its tabs expanded, code and comment part each to its own tab stops.
    std::vector<std::string> expanded;
    std::vector<std::size_t> splits;
    expanded.reserve(lines.size());
    splits.reserve(lines.size());
    for (const std::string& line : lines) {
        const std::size_t split = SplitCommentColumns(line);
        std::string code = ExpandTabs(std::string_view(line).substr(0, split));
        splits.push_back(code.size());
        expanded.push_back(code + ExpandTabs(std::string_view(line).substr(split)));
    }
    // Lines are broken where the printer's font reaches the edge, also when the miniature draws.
    win::HDC measure = geometry && geometry->measure ? geometry->measure : dc;
    win::HFONT measureFont = measure != dc ? CreatePrinterTextFont(record, logPixelsY) : nullptr;
    win::HGDIOBJ oldMeasureFont = measureFont ? win::SelectObject(measure, measureFont) : nullptr;
    const std::vector<TextRow> rows = TextRows(measure, expanded, splits, area.right - area.left);
    if (measureFont) {
        win::SelectObject(measure, oldMeasureFont);
        win::DeleteObject(measureFont);
    }
    const int perPage = TextLinesPerPage(area.bottom, lineHeight, headerLines + footerLines);
    const int pageCount = std::max(1, (static_cast<int>(rows.size()) + perPage - 1) / perPage);
    const CircuitDocument* document = record->document.get();
    const int background = document ? document->textBackgroundColor : 15;
    const int comment = document ? document->textCommentColor : 0;
    // Text in the background's colour would vanish; the editor shows it in the opposite colour.
    const int textColor = record->font.color == background ? background ^ 15 : record->font.color;
    const win::COLORREF ink = IsTwoColorDC(dc) ? win::RGB(0, 0, 0) : ColorIndexRgb(textColor);
    const win::COLORREF commentInk = IsTwoColorDC(dc) ? win::RGB(0, 0, 0) : ColorIndexRgb(comment);
    win::SetBkMode(dc, win::TRANSPARENT);
    for (int page = 0; page < pageCount; ++page) {
        if (print && !PrintJobRunning()) break;
        if (!print && onlyPage != page) continue;
        auto drawPage = [&] {
            if (!IsTwoColorDC(dc)) {
                win::HBRUSH brush = win::CreateSolidBrush(ColorIndexRgb(background));
                win::FillRect(dc, &area, brush);
                win::DeleteObject(brush);
            }
            win::SetTextColor(dc, ink);
            DrawHeaderFooterText(dc, record, texts.printHeader, page + 1, pageCount, area, area.top, lineHeight);
            const int first = page * perPage;
            const int last = std::min<int>(first + perPage, static_cast<int>(rows.size()));
            for (int i = first; i < last; ++i) {
                const TextRow& row = rows[static_cast<std::size_t>(i)];
                const std::string_view text(*row.line);
                const std::size_t split = std::clamp(row.split, row.start, row.end);
                const std::string_view code = text.substr(row.start, split - row.start);
                const std::string_view rest = text.substr(split, row.end - split);
                const int y = area.top + (headerLines + i - first) * lineHeight;
                win::SetTextColor(dc, ink);
                win::TextOut(dc, area.left, y, code.data(), static_cast<int>(code.size()));
                const int x = area.left + win::GetTextExtent(dc, code).cx;
                win::SetTextColor(dc, commentInk);
                win::TextOut(dc, x, y, rest.data(), static_cast<int>(rest.size()));
            }
            win::SetTextColor(dc, ink);
            DrawHeaderFooterText(dc, record, texts.printFooter, page + 1, pageCount, area,
                                 area.bottom - footerLines * lineHeight, lineHeight);
        };
        if (print) {
            PrintJobPage(dc, drawPage);
        } else {
            drawPage();
        }
    }
    win::SelectObject(dc, oldFont);
    win::DeleteObject(font);
    return pageCount;
}

std::vector<LayoutPlacement> AutoTileLayout(int included)
{
    std::vector<LayoutPlacement> cells;
    if (included <= 0) return cells;
    const int columns = static_cast<int>(std::sqrt(static_cast<double>(included)));
    const int extra = included - columns * columns;
    const int rows = columns + extra / columns;
    const int tallFrom = columns - extra % columns;  // the last (extra mod columns) columns hold one row more
    for (int i = 0; i < columns; ++i) {
        const int columnRows = i >= tallFrom ? rows + 1 : rows;
        for (int j = 0; j < columnRows; ++j) {
            cells.push_back({static_cast<double>(i) / columns, static_cast<double>(j) / columnRows,
                             static_cast<double>(i + 1) / columns, static_cast<double>(j + 1) / columnRows});
        }
    }
    return cells;
}

void PrintTextWindow(WindowRecord* record)
{
    if (record == nullptr) return;
    int from = 1, to = 1;
    if (!ShowPrintDialog(win::PD_NOPAGENUMS, 1, from, to)) return;
    win::HDC dc = StartPrintJob(record);
    if (dc == nullptr) return;
    PrintTextLines(record, dc, true);
    EndPrintJob();
    InvalidateDocumentWindows();
}

void PrintActiveWindowPicture()
{
    win::HWND window = win::GetActiveWindow();
    if (window == nullptr) return;
    win::RECT rect{};
    win::GetWindowRect(window, &rect);
    const win::RECT screen{0, 0, win::GetSystemMetrics(win::SM_CXSCREEN), win::GetSystemMetrics(win::SM_CYSCREEN)};
    if (!win::IntersectRect(&rect, &rect, &screen)) return;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    // The picture is taken before anything of the job (its questions) covers the window.
    win::HDC screenDc = win::GetDC(nullptr);
    win::HDC memory = win::CreateCompatibleDC(screenDc);
    win::HBITMAP bitmap = win::CreateCompatibleBitmap(screenDc, width, height);
    win::HGDIOBJ old = win::SelectObject(memory, bitmap);
    win::BitBlt(memory, 0, 0, width, height, screenDc, rect.left, rect.top, win::SRCCOPY);
    const int screenDpi = win::GetDeviceCaps(screenDc, win::LOGPIXELSX);
    win::ReleaseDC(nullptr, screenDc);
    // The frame has no file: the job is named after the document in front of it.
    WindowRecord* record = GetWindowRecord(window);
    if (record == nullptr || record->kind == kWindowFrame) record = GetActiveChildRecord();
    if (record == nullptr) record = FrameRecord();
    if (win::HDC dc = StartPrintJob(record)) {
        double scale = static_cast<double>(win::GetDeviceCaps(dc, win::LOGPIXELSX)) / std::max(screenDpi, 1);
        const int pageWidth = win::GetDeviceCaps(dc, win::HORZRES);
        const int pageHeight = win::GetDeviceCaps(dc, win::VERTRES);
        scale = std::min({scale, static_cast<double>(pageWidth) / width, static_cast<double>(pageHeight) / height});
        const int w = static_cast<int>(width * scale);
        const int h = static_cast<int>(height * scale);
        PrintJobPage(dc, [&] {
            win::StretchBlt(dc, (pageWidth - w) / 2, (pageHeight - h) / 2, w, h, memory, 0, 0, width, height, win::SRCCOPY);
        });
        EndPrintJob();
    }
    win::SelectObject(memory, old);
    win::DeleteObject(bitmap);
    win::DeleteDC(memory);
}

void PrintWindowRecord(WindowRecord* record)
{
    if (record == nullptr) return;
    switch (record->kind) {
    case kWindowSchematic:
    case kWindowPlainSchematic:
    case kWindowTextCircuit: {
        // A schematic's text area prints as text when it has the focus.
        win::HWND focus = win::GetFocus();
        const bool text = record->kind == kWindowTextCircuit ||
                          (record->document && focus && focus == record->document->textAreaWindow);
        if (text) PrintTextWindow(record);
        else PrintSchematic(record);
        break;
    }
    case kWindowAnalysis:
    case kWindowMonteCarlo:
    case kWindow3D:
    case kWindowPerformance: {
        int from = 1, to = 1;
        if (!ShowPrintDialog(win::PD_NOPAGENUMS, 1, from, to)) return;
        // A command-line job prints the analysis window alone.
        if (Settings().batchRun && record->kind == kWindowAnalysis) {
            PrintPlotWindow(record, nullptr);
            break;
        }
        std::vector<PrintLayoutEntry> entries = BuildPrintLayout(record, false);
        IncludeWindowWhenNoneIncluded(entries, record);
        PrintLayoutSheet(entries, record);
        break;
    }
    default:
        break;
    }
}

namespace {

PrintLayoutEntry EntryOf(WindowRecord* record, PrintPreview& preview, int page)
{
    PrintLayoutEntry entry;
    entry.include = &preview.on;
    entry.placement = preview.values.data();
    entry.page = page;
    entry.record = record;
    return entry;
}

}  // namespace

WindowRecord* LayoutDocumentRecord(WindowRecord* current)
{
    if (current && current->document) return current;
    WindowRecord* circuit = RunControl().circuitWindow;
    return circuit && circuit->document ? circuit : nullptr;
}

int LayoutAnalysisKind()
{
    const int kind = static_cast<int>(Analysis().analysisKind);
    return kind >= 0 && kind < kAnalysisKindCount ? kind : 0;
}

std::vector<PrintLayoutEntry> BuildPrintLayout(WindowRecord* current, bool withTexts)
{
    std::vector<PrintLayoutEntry> entries;
    const int kind = LayoutAnalysisKind();
    WindowRecord* circuit = LayoutDocumentRecord(current);
    if (circuit && (circuit->kind == kWindowSchematic || circuit->kind == kWindowPlainSchematic)) {
        CircuitDocument& document = *circuit->document;
        for (std::size_t page = 0; page < document.pages.size(); ++page) {
            PageRecord& pageRecord = document.pages[page];
            PrintLayoutEntry entry = EntryOf(circuit, pageRecord.printPreview[static_cast<std::size_t>(kind)],
                                             static_cast<int>(page));
            if (withTexts) entry.text = GetRecordTitle(circuit) + ":" + pageRecord.name;
            entries.push_back(std::move(entry));
        }
    }
    for (const auto& owned : WindowRecords().records) {
        WindowRecord* record = owned.get();
        if (record->window == nullptr) continue;
        PrintPreview* preview = nullptr;
        if (record->kind == kWindowAnalysis) {
            if (circuit && record->plot) preview = &circuit->document->analysisPrintPreview[static_cast<std::size_t>(kind)];
        } else if (const LayoutWindowServices* services = LayoutServicesOf(record->kind)) {
            preview = services->placement(record);
        }
        if (preview == nullptr) continue;
        PrintLayoutEntry entry = EntryOf(record, *preview, -1);
        // A plot window is listed by its caption ("Transient Analysis"): its record is named after
        // the circuit, as the drawing's pages are, and the lines could not be told apart.
        if (withTexts) {
            const std::string caption = win::GetWindowText(record->window);
            entry.text = caption.empty() ? GetRecordTitle(record) : caption;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::size_t CountIncludedEntries(const std::vector<PrintLayoutEntry>& entries)
{
    return static_cast<std::size_t>(std::count_if(entries.begin(), entries.end(),
                                                   [](const PrintLayoutEntry& e) { return e.include && *e.include; }));
}

void IncludeWindowWhenNoneIncluded(std::vector<PrintLayoutEntry>& entries, WindowRecord* record)
{
    if (CountIncludedEntries(entries) != 0) return;
    for (PrintLayoutEntry& entry : entries) {
        if (entry.record == record && entry.include) *entry.include = 1;
    }
}

void TileLayoutEntries(std::vector<PrintLayoutEntry>& entries)
{
    const std::vector<LayoutPlacement> cells = AutoTileLayout(static_cast<int>(CountIncludedEntries(entries)));
    std::size_t next = 0;
    for (PrintLayoutEntry& entry : entries) {
        if (!entry.include || !*entry.include || !entry.placement || next >= cells.size()) continue;
        const LayoutPlacement& cell = cells[next++];
        entry.placement[0] = cell.left;
        entry.placement[1] = cell.top;
        entry.placement[2] = cell.right;
        entry.placement[3] = cell.bottom;
    }
}

void PlaceLayoutEntries(std::vector<PrintLayoutEntry>& entries, const win::RECT& area)
{
    const double w = area.right - area.left, h = area.bottom - area.top;
    for (PrintLayoutEntry& entry : entries) {
        double l = 0, t = 0, r = 1, b = 1;
        if (entry.placement && (entry.placement[2] > entry.placement[0] && entry.placement[3] > entry.placement[1])) {
            l = std::clamp(entry.placement[0], 0.0, 1.0);
            t = std::clamp(entry.placement[1], 0.0, 1.0);
            r = std::clamp(entry.placement[2], l, 1.0);
            b = std::clamp(entry.placement[3], t, 1.0);
        }
        entry.rect = {area.left + static_cast<int>(std::lround(l * w)), area.top + static_cast<int>(std::lround(t * h)),
                      area.left + static_cast<int>(std::lround(r * w)), area.top + static_cast<int>(std::lround(b * h))};
    }
}

void ClipToRecordRegion(win::HDC dc, const std::vector<PrintLayoutEntry>& entries, std::size_t index)
{
    if (index >= entries.size()) return;
    // Regions are in device units; the rectangles are in the DC's logical units (the preview
    // maps printer units onto its miniature).
    auto deviceRegion = [dc](const win::RECT& r) {
        win::POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
        win::LPtoDP(dc, corners, 2);
        return win::CreateRectRgn(corners[0].x, corners[0].y, corners[1].x, corners[1].y);
    };
    win::HRGN region = deviceRegion(entries[index].rect);
    // Later entries lie over this one: their rectangles are cut out.
    for (std::size_t later = index + 1; later < entries.size(); ++later) {
        const PrintLayoutEntry& e = entries[later];
        if (!e.include || !*e.include) continue;
        win::HRGN cut = deviceRegion(e.rect);
        win::CombineRgn(region, region, cut, win::RGN_DIFF);
        win::DeleteObject(cut);
    }
    win::ExtSelectClipRgn(dc, region, win::RGN_AND);
    win::DeleteObject(region);
}

void DrawLayoutEntry(win::HDC dc, const PrintLayoutEntry& entry, bool border)
{
    WindowRecord* record = entry.record;
    if (record == nullptr || entry.rect.right <= entry.rect.left || entry.rect.bottom <= entry.rect.top) return;
    if (entry.page >= 0 && record->document) {
        const CircuitDocument& document = *record->document;
        if (static_cast<std::size_t>(entry.page) >= document.pages.size()) return;
        DrawPrintFrame(dc, record, entry.rect, border);
        // On a display the renderer maps the page onto an area in device pixels itself: the
        // preview's miniature, drawn in printer units mapped onto the control, gives it the
        // entry's rectangle in the control's pixels.
        const bool display = win::GetDeviceCaps(dc, win::TECHNOLOGY) == win::DT_RASDISPLAY;
        win::RECT area = entry.rect;
        const int saved = win::SaveDC(dc);
        if (display) {
            win::POINT corners[2] = {{area.left, area.top}, {area.right, area.bottom}};
            win::LPtoDP(dc, corners, 2);
            area = {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
            win::SetMapMode(dc, win::MM_TEXT);
            win::SetViewportOrgEx(dc, 0, 0, nullptr);
            win::SetWindowOrgEx(dc, 0, 0, nullptr);
        }
        // The page's contents fitted into the rectangle.
        const win::RECT& extent = document.pages[static_cast<std::size_t>(entry.page)].extent;
        const double pageW = std::max(extent.right + 1, 1), pageH = std::max(extent.bottom + 1, 1);
        if (area.right > area.left && area.bottom > area.top) {
            const double perPixel = std::max(pageW / (area.right - area.left), pageH / (area.bottom - area.top));
            DrawSchematicAtScale(dc, record, entry.page, 1.0, area, 0, 0, perPixel, kViewGrid);
        }
        win::RestoreDC(dc, saved);
        return;
    }
    if (record->kind == kWindowAnalysis && record->plot) {
        PrintPlotWindow(record, dc, &entry.rect);
        if (border) DrawPrintFrame(dc, nullptr, entry.rect, true);
        return;
    }
    if (const LayoutWindowServices* services = LayoutServicesOf(record->kind)) {
        DrawPrintFrame(dc, record, entry.rect, false);
        if (services->draw) services->draw(record, dc, entry.rect);
        if (border) DrawPrintFrame(dc, nullptr, entry.rect, true);
    }
}

void PrintLayoutSheet(std::vector<PrintLayoutEntry>& entries, WindowRecord* owner)
{
    if (CountIncludedEntries(entries) == 0) return;
    WindowRecord* circuit = LayoutDocumentRecord(owner);
    const int kind = LayoutAnalysisKind();
    const bool border = circuit && circuit->document->printBlackBorder[static_cast<std::size_t>(kind)] != 0;
    if (circuit && circuit->document->printAutoTile[static_cast<std::size_t>(kind)] != 0) TileLayoutEntries(entries);
    // The sheet shows the circuit's analysis: a 3-D, performance or Monte Carlo window in front
    // proposes the circuit's PDF, as the analysis window does, rather than one named after its
    // caption.
    const bool captionOnly = owner && LayoutServicesOf(owner->kind) != nullptr;
    win::HDC dc = StartPrintJob(owner, captionOnly ? circuit : nullptr);
    if (dc == nullptr) return;
    PlaceLayoutEntries(entries, PrintableRect(dc));
    PrintJobPage(dc, [&] {
        for (std::size_t i = 0; i < entries.size() && PrintJobRunning(); ++i) {
            const PrintLayoutEntry& entry = entries[i];
            if (!entry.include || !*entry.include) continue;
            ShowPrintingTitle(GetRecordTitle(entry.record));
            const int saved = win::SaveDC(dc);
            ClipToRecordRegion(dc, entries, i);
            DrawLayoutEntry(dc, entry, border);
            win::RestoreDC(dc, saved);
        }
    });
    EndPrintJob();
    // Each window printed with a font made for the printer: the screen gets its own back.
    for (const PrintLayoutEntry& entry : entries) {
        if (entry.record && entry.record->window) win::InvalidateRect(entry.record->window, nullptr, 1);
    }
}

}  // namespace kq5
