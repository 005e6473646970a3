#pragma once
// Printing: the page loops of every printable window kind (schematic pages tiled over sheets,
// text with header and footer, several windows on a sheet). The drawing is the windows' own
// renderers' on the printer DC; the printer is the platform's PDF writer. The printer set-up and
// the print job are in document/print_job.h, an analysis window's printout in plots/plot_print.h.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "document/print_job.h"
#include "plots/plot_print.h"
#include "ui/print_layout_services.h"
#include "platform/print.h"
#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;
struct PrintPreview;

constexpr int kCommandPrintSetup = 12509;
constexpr int kCommandPrint = 12510;
constexpr int kCommandPrintPreview = 12511;
constexpr int kMsgScaleRange = 14091;

// The print dialog over pages 1..pageCount: 0 when cancelled, else 1 with the chosen range.
int ShowPrintDialog(unsigned flags, int pageCount, int& from, int& to);


// The Print command for the window by its kind.
void PrintWindowRecord(WindowRecord* record);
// The text of a text window, or of a drawing's text area, with header and footer.
void PrintTextWindow(WindowRecord* record);
// Ctrl+Shift+W: a picture of the active window's part on the screen, centred on one sheet.
void PrintActiveWindowPicture();
// How a schematic page lies on the printer's sheets at a scale: the sheet in drawing units (the
// one the sheet borders are drawn round) and the sheets across and down.
struct SheetTiling {
    double sheetWidth = 1;
    double sheetHeight = 1;
    int across = 1;
    int down = 1;
};
SheetTiling TileSchematicPage(WindowRecord* record, int page, double scale);
// The scale of schematic pages on the printer: the document's, else (negative) the one that fits
// the largest page on one sheet; the sheet borders on the screen follow the same scale.
double ComputePrintScale(WindowRecord* record);
void PrintSchematic(WindowRecord* record);
// Draws a schematic page as printed (selection not shown, sheet borders of the print scale) into
// an area of any DC, from the page point (originX, originY) at unitsPerPixel drawing units per
// device pixel, without the display flags given.
void DrawSchematicAtScale(win::HDC dc, WindowRecord* record, int page, double printScale, const win::RECT& area,
                          int originX, int originY, double unitsPerPixel, std::uint32_t hiddenFlags);
// The printed area and resolution text is laid out for, when the DC is not the printer's (the
// preview draws on a display DC mapped to the sheet).
struct TextPageGeometry {
    win::RECT area{};
    int logPixelsY = 0;
    // The printer's line height (PrintTextLineHeight): a miniature's own font metrics come out
    // rounded to its few pixels and would break the pages elsewhere than the printer does.
    int lineHeight = 0;
    // The printer, where the lines are measured for breaking them at the edge of the paper.
    win::HDC measure = nullptr;
};
// The height of one printed text line of the window on the printer, in printer pixels.
int PrintTextLineHeight(WindowRecord* record, win::HDC printer);
// Lays out (and with print set, prints) the window's text with header and footer: the page count.
// A line wider than the page goes on in the rows below it.
// Without printing only page onlyPage is drawn (none for -1).
int PrintTextLines(WindowRecord* record, win::HDC dc, bool print, int onlyPage = -1,
                   const TextPageGeometry* geometry = nullptr);

// Comment part of a text line: the offset where it starts (from a ";", or from a "*" with only
// blanks before it), or the line's length when there is none.
std::size_t SplitCommentColumns(const std::string& line);
// Lines per printed page: at least one, however large the font or long the header.
int TextLinesPerPage(int printableHeight, int lineHeight, int headerFooterLines);

// Layout cells of several plots on one sheet.
struct LayoutPlacement {
    double left = 0, top = 0, right = 1, bottom = 1;
};
// Columns of about the square root of n, the last ones a row taller; no cell for no entry.
std::vector<LayoutPlacement> AutoTileLayout(int included);

// One window or schematic page of a graphics printout. The include flag and the placement live
// in the window's or page's own record, so the layout outlasts the list.
struct PrintLayoutEntry {
    std::int32_t* include = nullptr;
    double* placement = nullptr;  // left, top, right, bottom as fractions of the printable area
    win::RECT rect{};             // on the sheet, in the units of the DC drawn on
    int page = -1;                // the page of a schematic entry
    WindowRecord* record = nullptr;
    std::string text;             // the line of the preview's list, when asked for
};
// The services the Monte Carlo, 3-D and performance windows give the layout: ui/print_layout_services.h.
// The circuit whose pages and analysis a layout shows: the window's own, else the analysed one.
WindowRecord* LayoutDocumentRecord(WindowRecord* current);
// The analysis kind whose placements the layout uses (transient when none is current).
int LayoutAnalysisKind();
// The pages of the current circuit's schematic and every analysis, Monte Carlo, 3-D and
// performance window, in window order; texts for the preview's list when asked.
std::vector<PrintLayoutEntry> BuildPrintLayout(WindowRecord* current, bool withTexts);
std::size_t CountIncludedEntries(const std::vector<PrintLayoutEntry>& entries);
// A layout nobody has arranged yet still prints the window asked for, over the sheet: with no
// entry included, the window's own entries are.
void IncludeWindowWhenNoneIncluded(std::vector<PrintLayoutEntry>& entries, WindowRecord* record);
// Auto Tile: the included entries get the cells of AutoTileLayout in list order.
void TileLayoutEntries(std::vector<PrintLayoutEntry>& entries);
// Turns each entry's placement into its rectangle of the area (a placement never set covers it).
void PlaceLayoutEntries(std::vector<PrintLayoutEntry>& entries, const win::RECT& area);
// Clips the DC to the entry's rectangle less the rectangles of every later included entry.
void ClipToRecordRegion(win::HDC dc, const std::vector<PrintLayoutEntry>& entries, std::size_t index);
// Draws one entry into its rectangle as printing does (frame, then the window by its kind).
void DrawLayoutEntry(win::HDC dc, const PrintLayoutEntry& entry, bool border);
// One job, one sheet with every included entry; nothing when none is included.
void PrintLayoutSheet(std::vector<PrintLayoutEntry>& entries, WindowRecord* owner);

}  // namespace kq5
