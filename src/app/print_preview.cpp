#include "app/print_preview.h"

#include <algorithm>
#include <cmath>

#include "core/analysis_state.h"
#include "ui/dialog_services.h"
#include "document/record_font.h"
#include "ui/font_select.h"
#include "app/printing.h"
#include "ui/program_settings.h"
#include "document/title_block.h"
#include "ui/window_record.h"
#include "ui/window_record_utils.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/document_windows.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_mapping.h"
#include "platform/gdi_objects.h"
#include "platform/owner_draw.h"
#include "platform/gdi_clip.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/window.h"
#include "schematic/schematic_render.h"
#include "schematic/schematic_view.h"

namespace kq5 {

namespace {

constexpr int kMinPreviewScale = 1;
constexpr int kMaxPreviewScale = 600;

struct SchematicPreview {
    WindowRecord* record = nullptr;
    int page = 0;
    int pageCount = 1;
    double openingScale = 1.0;
    win::RECT pageSpace{};  // where the page control may lie, from the template
    // OK or Cancel has decided the scale: the field losing the focus as the dialog goes must not
    // change it again.
    bool closing = false;
};

struct GraphicsPreview {
    WindowRecord* record = nullptr;
    WindowRecord* circuit = nullptr;  // keeps Auto Tile and Black Border; may be none
    int kind = 0;
    std::vector<PrintLayoutEntry> entries;
    win::RECT pageSpace{};
    win::RECT printable{};   // the sheet's printable part in the page control, at the last draw
    win::SIZE printerPage{}; // the printable part in printer units
    win::WNDPROC pageProc = nullptr;
    // Placement with the mouse: the entry, the handle (0-7) or -1 for a move, the last point.
    int dragEntry = -1;
    int dragHandle = -1;
    win::POINT last{};
};

struct TextPreview {
    WindowRecord* record = nullptr;
    int page = 0;
    int pageCount = 1;
    win::RECT pageSpace{};
};

win::RECT ChildRect(win::HWND dialog, int id)
{
    win::RECT r{};
    win::HWND child = win::GetDlgItem(dialog, id);
    win::GetWindowRect(child, &r);
    win::POINT a{r.left, r.top}, b{r.right, r.bottom};
    win::ScreenToClient(dialog, &a);
    win::ScreenToClient(dialog, &b);
    return {a.x, a.y, b.x, b.y};
}

// The page control takes the paper's proportions inside the space the template gives it,
// centred across.
void PlacePreviewPage(win::HWND dialog, const win::RECT& space)
{
    win::HDC printer = CreatePrinterDC();
    if (printer == nullptr) return;
    const double paperW = win::GetDeviceCaps(printer, win::PHYSICALWIDTH);
    const double paperH = win::GetDeviceCaps(printer, win::PHYSICALHEIGHT);
    win::DeleteDC(printer);
    const int spaceW = space.right - space.left, spaceH = space.bottom - space.top;
    if (paperW <= 0 || paperH <= 0 || spaceW <= 0 || spaceH <= 0) return;
    int w = spaceW, h = static_cast<int>(spaceW * paperH / paperW);
    if (h > spaceH) {
        h = spaceH;
        w = static_cast<int>(spaceH * paperW / paperH);
    }
    win::MoveWindow(win::GetDlgItem(dialog, kPreviewPageControl), space.left + (spaceW - w) / 2, space.top, w, h, 1);
}

// The sheet's outline, dotted, over the whole control; the printable part of it scaled to the
// control.
win::RECT DrawPreviewPaper(win::HDC printer, win::HDC dc, const win::RECT& control)
{
    const int cw = control.right - control.left, ch = control.bottom - control.top;
    const int pw = std::max(win::GetDeviceCaps(printer, win::PHYSICALWIDTH), 1);
    const int ph = std::max(win::GetDeviceCaps(printer, win::PHYSICALHEIGHT), 1);
    win::HPEN pen = win::CreatePen(win::PS_DOT, 1, win::RGB(0, 0, 0));
    win::HGDIOBJ oldPen = win::SelectObject(dc, pen);
    win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
    win::Rectangle(dc, control.left, control.top, control.right, control.bottom);
    win::SelectObject(dc, oldBrush);
    win::SelectObject(dc, oldPen);
    win::DeleteObject(pen);
    win::RECT printable;
    printable.left = control.left + win::MulDiv(win::GetDeviceCaps(printer, win::PHYSICALOFFSETX), cw, pw);
    printable.top = control.top + win::MulDiv(win::GetDeviceCaps(printer, win::PHYSICALOFFSETY), ch, ph);
    printable.right = printable.left + win::MulDiv(win::GetDeviceCaps(printer, win::HORZRES), cw, pw);
    printable.bottom = printable.top + win::MulDiv(win::GetDeviceCaps(printer, win::VERTRES), ch, ph);
    return printable;
}

void FillWhite(win::HDC dc, const win::RECT& r)
{
    win::FillRect(dc, &r, static_cast<win::HBRUSH>(win::GetStockObject(win::WHITE_BRUSH)));
}

void RedrawPageControl(win::HWND dialog) { win::InvalidateRect(win::GetDlgItem(dialog, kPreviewPageControl), nullptr, 1); }

// Every preview dialog opens the same way: placed, with its page control fitted to the printer's
// paper inside the space the template gives it.
void OpenPreviewPage(win::HWND dialog, win::RECT& pageSpace)
{
    PlaceDialog(dialog, false, nullptr);
    pageSpace = ChildRect(dialog, kPreviewPageControl);
    PlacePreviewPage(dialog, pageSpace);
}

// Print Setup from a preview: the paper may have changed shape, so the page control is fitted again.
void PreviewPrintSetup(win::HWND dialog, const win::RECT& pageSpace)
{
    if (RunPrintSetup(dialog)) PlacePreviewPage(dialog, pageSpace);
}

// The owner-drawn page control of a preview dialog; other owner-drawn items are not ours.
template <class Preview, class Draw>
win::INT_PTR DrawPreviewItem(Preview* d, win::LPARAM lParam, Draw draw)
{
    if (!d) return win::FALSE;
    const auto& item = *reinterpret_cast<const win::DRAWITEMSTRUCT*>(lParam);
    if (item.CtlID != kPreviewPageControl) return win::FALSE;
    draw(*d, item);
    return win::TRUE;
}

// Maps a printer page of the given size onto the printable part of a miniature, clipped to it;
// returns the saved state for RestoreDC.
int MapPrinterPage(win::HDC dc, const win::RECT& printable, int width, int height)
{
    const int saved = win::SaveDC(dc);
    win::IntersectClipRect(dc, printable.left, printable.top, printable.right, printable.bottom);
    win::SetMapMode(dc, win::MM_ANISOTROPIC);
    win::SetWindowExtEx(dc, width, height, nullptr);
    win::SetViewportExtEx(dc, printable.right - printable.left, printable.bottom - printable.top, nullptr);
    win::SetViewportOrgEx(dc, printable.left, printable.top, nullptr);
    return saved;
}

// The page at the print scale over the sheets it needs, all of them shrunk onto the miniature.
void DrawSchematicMiniature(const SchematicPreview& d, const win::DRAWITEMSTRUCT& item)
{
    win::HDC dc = item.hDC;
    FillWhite(dc, item.rcItem);
    if (d.record == nullptr || !d.record->document) return;
    win::HDC printer = CreatePrinterDC();
    if (printer == nullptr) return;
    const win::RECT printable = DrawPreviewPaper(printer, dc, item.rcItem);
    const double scale = ComputePrintScale(d.record);
    const SheetTiling tiling = TileSchematicPage(d.record, d.page, scale);
    win::DeleteDC(printer);
    const double totalW = tiling.across * tiling.sheetWidth, totalH = tiling.down * tiling.sheetHeight;
    const double f = std::min((printable.right - printable.left) / totalW, (printable.bottom - printable.top) / totalH);
    if (!(f > 0.0)) return;
    const win::RECT area{printable.left, printable.top, printable.left + static_cast<int>(std::lround(totalW * f)),
                         printable.top + static_cast<int>(std::lround(totalH * f))};
    // Every sheet is printed on the window's background colour.
    DrawPrintFrame(dc, d.record, area, false);
    DrawSchematicAtScale(dc, d.record, d.page, scale, area, 0, 0, 1.0 / f, kViewGrid);
    // Where one sheet ends and the next begins.
    win::HPEN pen = win::CreatePen(win::PS_DOT, 1, win::RGB(128, 128, 128));
    win::HGDIOBJ oldPen = win::SelectObject(dc, pen);
    for (int i = 1; i < tiling.across; ++i) {
        const int x = area.left + static_cast<int>(i * tiling.sheetWidth * f);
        win::MoveToEx(dc, x, area.top, nullptr);
        win::LineTo(dc, x, area.bottom);
    }
    for (int j = 1; j < tiling.down; ++j) {
        const int y = area.top + static_cast<int>(j * tiling.sheetHeight * f);
        win::MoveToEx(dc, area.left, y, nullptr);
        win::LineTo(dc, area.right, y);
    }
    win::SelectObject(dc, oldPen);
    win::DeleteObject(pen);
}

void ShowSchematicPage(win::HWND dialog, SchematicPreview& d)
{
    d.page = std::clamp(d.page, 0, std::max(d.pageCount - 1, 0));
    win::SetDlgItemInt(dialog, kPreviewPageField, static_cast<win::UINT>(d.page + 1), win::FALSE);
    ShowPreviewPageNumber(dialog, d.page, d.pageCount);
    RedrawPageControl(dialog);
}

void ApplyPreviewScale(win::HWND dialog, SchematicPreview& d)
{
    double scale = d.record->document->printerScale;
    if (ReadPreviewScale(dialog, scale) == 0) d.record->document->printerScale = scale;
    RedrawPageControl(dialog);
}

win::INT_PTR SchematicPreviewProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    SchematicPreview* d = DialogData<SchematicPreview>(dialog, message, lParam);
    switch (message) {
    case win::WM_INITDIALOG: {
        OpenPreviewPage(dialog, d->pageSpace);
        const double scale = d->record->document->printerScale;
        win::CheckRadioButton(dialog, kPreviewAuto, kPreviewUser, scale < 0.0 ? kPreviewAuto : kPreviewUser);
        const double magnitude = std::fabs(scale);
        win::SetDlgItemInt(dialog, kPreviewScaleField,
                           static_cast<win::UINT>(magnitude > 0.0 ? std::lround(100.0 / magnitude) : 100), win::FALSE);
        ShowSchematicPage(dialog, *d);
        return win::TRUE;
    }
    case win::WM_DRAWITEM:
        return DrawPreviewItem(d, lParam, DrawSchematicMiniature);
    case win::WM_COMMAND: {
        if (!d) return win::FALSE;
        const int id = win::LOWORD(wParam);
        const int code = win::HIWORD(wParam);
        switch (id) {
        case kPreviewNextPage:
            ++d->page;
            ShowSchematicPage(dialog, *d);
            return win::TRUE;
        case kPreviewPriorPage:
            --d->page;
            ShowSchematicPage(dialog, *d);
            return win::TRUE;
        case kPreviewPageField:
            if (code == win::EN_KILLFOCUS) {
                win::BOOL ok = win::FALSE;
                const int typed = static_cast<int>(win::GetDlgItemInt(dialog, kPreviewPageField, &ok, win::TRUE));
                if (ok && typed - 1 != d->page) {
                    d->page = typed - 1;
                    ShowSchematicPage(dialog, *d);
                }
            }
            return win::TRUE;
        case kPreviewScaleField:
            if (code == win::EN_KILLFOCUS && !d->closing) ApplyPreviewScale(dialog, *d);
            return win::TRUE;
        case kPreviewApply:
        case kPreviewAuto:
        case kPreviewUser:
            if (code == win::BN_CLICKED) ApplyPreviewScale(dialog, *d);
            return win::TRUE;
        case kCommandPrintSetup:
            PreviewPrintSetup(dialog, d->pageSpace);
            RedrawPageControl(dialog);
            return win::TRUE;
        case kCommandPrint:
            PrintWindowRecord(d->record);
            return win::TRUE;
        case win::IDOK: {
            // Enter in the scale field: the scale typed there is the one kept, and one out of
            // range keeps the dialog open.
            d->closing = true;
            if (win::GetFocus() == win::GetDlgItem(dialog, kPreviewScaleField)) {
                double scale = d->record->document->printerScale;
                if (ReadPreviewScale(dialog, scale) != 0) {
                    d->closing = false;
                    return win::TRUE;
                }
                d->record->document->printerScale = scale;
            }
            if (d->record->document->printerScale != d->openingScale) d->record->modified = 1;
            CloseDialog(dialog, win::IDOK);
            return win::TRUE;
        }
        case win::IDCANCEL:
            d->closing = true;
            d->record->document->printerScale = d->openingScale;
            CloseDialog(dialog, win::IDCANCEL);
            return win::TRUE;
        case kDialogHelpButton:
            ShowDialogHelp(kSchematicPreviewTemplate);
            return win::TRUE;
        default:
            return win::FALSE;
        }
    }
    default:
        return win::FALSE;
    }
}

// The current page of the text as it would print, on the miniature.
void DrawTextMiniature(TextPreview& d, const win::DRAWITEMSTRUCT& item)
{
    win::HDC dc = item.hDC;
    FillWhite(dc, item.rcItem);
    win::HDC printer = CreatePrinterDC();
    if (printer == nullptr) return;
    const win::RECT printable = DrawPreviewPaper(printer, dc, item.rcItem);
    TextPageGeometry geometry;
    geometry.area = {0, 0, win::GetDeviceCaps(printer, win::HORZRES), win::GetDeviceCaps(printer, win::VERTRES)};
    geometry.logPixelsY = win::GetDeviceCaps(printer, win::LOGPIXELSY);
    geometry.lineHeight = PrintTextLineHeight(d.record, printer);
    geometry.measure = printer;
    const int saved = MapPrinterPage(dc, printable, geometry.area.right, geometry.area.bottom);
    PrintTextLines(d.record, dc, false, d.page, &geometry);
    win::RestoreDC(dc, saved);
    win::DeleteDC(printer);
}

// Lays the text out again (font, header or paper may have changed) and shows the page.
void RefreshTextPreview(win::HWND dialog, TextPreview& d)
{
    if (win::HDC printer = CreatePrinterDC()) {
        d.pageCount = PrintTextLines(d.record, printer, false, -1);
        win::DeleteDC(printer);
    }
    d.page = std::clamp(d.page, 0, std::max(d.pageCount - 1, 0));
    ShowPreviewPageNumber(dialog, d.page, d.pageCount);
    win::HWND next = win::GetDlgItem(dialog, kPreviewNextPage);
    win::HWND prior = win::GetDlgItem(dialog, kPreviewPriorPage);
    const bool nextOn = d.page + 1 < d.pageCount, priorOn = d.page > 0;
    // A button greyed under the keyboard focus would leave the dialog deaf to its keys (Esc
    // among them): the focus goes to the way back, or to Close.
    const win::HWND focus = win::GetFocus();
    if ((focus == next && !nextOn) || (focus == prior && !priorOn)) {
        win::HWND to = focus == next && priorOn ? prior : focus == prior && nextOn ? next : win::GetDlgItem(dialog, kPreviewClose);
        win::SendMessage(dialog, win::WM_NEXTDLGCTL, reinterpret_cast<win::WPARAM>(to), win::TRUE);
    }
    win::EnableWindow(next, nextOn);
    win::EnableWindow(prior, priorOn);
    RedrawPageControl(dialog);
}

win::INT_PTR TextPreviewProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    TextPreview* d = DialogData<TextPreview>(dialog, message, lParam);
    switch (message) {
    case win::WM_INITDIALOG:
        OpenPreviewPage(dialog, d->pageSpace);
        RefreshTextPreview(dialog, *d);
        return win::TRUE;
    case win::WM_DRAWITEM:
        return DrawPreviewItem(d, lParam, DrawTextMiniature);
    case win::WM_COMMAND: {
        if (!d) return win::FALSE;
        switch (win::LOWORD(wParam)) {
        case kPreviewNextPage:
            ++d->page;
            RefreshTextPreview(dialog, *d);
            return win::TRUE;
        case kPreviewPriorPage:
            --d->page;
            RefreshTextPreview(dialog, *d);
            return win::TRUE;
        case kPreviewFont: {
            FontSpec spec = d->record->font;
            // The window takes the font; the keyboard stays with the preview (the text area
            // behind it would otherwise take the keys typed to the preview).
            if (ChooseFontSpec(dialog, spec)) {
                SetRecordTextFont(d->record, spec);
                InvalidateWindowRecord(d->record);
            }
            RefreshTextPreview(dialog, *d);
            return win::TRUE;
        }
        case kPreviewHeader:
            RunHeaderFooterDialog(dialog);
            RefreshTextPreview(dialog, *d);
            return win::TRUE;
        case kCommandPrintSetup:
            PreviewPrintSetup(dialog, d->pageSpace);
            RefreshTextPreview(dialog, *d);
            return win::TRUE;
        case kCommandPrint:
            // The text shown, also when it is a drawing's text area (the focus is in this dialog).
            PrintTextWindow(d->record);
            return win::TRUE;
        case kPreviewClose:
            return CancelOrHelp(dialog, win::IDCANCEL, kTextPreviewTemplate);
        default:
            return CancelOrHelp(dialog, win::LOWORD(wParam), kTextPreviewTemplate);
        }
    }
    default:
        return win::FALSE;
    }
}

win::INT_PTR HeaderFooterProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM)
{
    TitleBlockState& t = TitleBlockFields();
    switch (message) {
    case win::WM_INITDIALOG:
        PlaceDialog(dialog, false, nullptr);
        win::SetDlgItemText(dialog, kHeaderField, HeaderTextToEdit(t.printHeader).c_str());
        win::SetDlgItemText(dialog, kFooterField, HeaderTextToEdit(t.printFooter).c_str());
        return win::TRUE;
    case win::WM_COMMAND:
        switch (win::LOWORD(wParam)) {
        case win::IDOK:
            t.printHeader = HeaderTextFromEdit(win::GetDlgItemText(dialog, kHeaderField));
            t.printFooter = HeaderTextFromEdit(win::GetDlgItemText(dialog, kFooterField));
            CloseDialog(dialog, win::IDOK);
            return win::TRUE;
        default:
            return CancelOrHelp(dialog, win::LOWORD(wParam), kHeaderFooterTemplate);
        }
    default:
        return win::FALSE;
    }
}

bool AutoTileOn(const GraphicsPreview& d)
{
    return d.circuit && d.circuit->document->printAutoTile[static_cast<std::size_t>(d.kind)] != 0;
}

bool Included(const PrintLayoutEntry& e) { return e.include && *e.include; }

// An entry's rectangle in the page control, from its placement.
win::RECT ControlRect(const GraphicsPreview& d, const PrintLayoutEntry& e)
{
    std::vector<PrintLayoutEntry> one{e};
    PlaceLayoutEntries(one, d.printable);
    return one[0].rect;
}

void OutlineRect(win::HDC dc, const win::RECT& r)
{
    win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
    win::HGDIOBJ oldPen = win::SelectObject(dc, win::GetStockObject(win::BLACK_PEN));
    win::Rectangle(dc, r.left, r.top, r.right, r.bottom);
    win::SelectObject(dc, oldPen);
    win::SelectObject(dc, oldBrush);
}

void DrawDragOutline(win::HWND control, const win::RECT& r)
{
    win::HDC dc = win::GetDC(control);
    win::DrawFocusRect(dc, &r);
    win::ReleaseDC(control, dc);
}

// The sheet with every included entry drawn as printing would, on a miniature of the page.
void DrawGraphicsMiniature(GraphicsPreview& d, const win::DRAWITEMSTRUCT& item)
{
    win::HDC dc = item.hDC;
    FillWhite(dc, item.rcItem);
    win::HDC printer = CreatePrinterDC();
    if (printer == nullptr) return;
    d.printable = DrawPreviewPaper(printer, dc, item.rcItem);
    d.printerPage = {win::GetDeviceCaps(printer, win::HORZRES), win::GetDeviceCaps(printer, win::VERTRES)};
    win::DeleteDC(printer);
    if (AutoTileOn(d)) TileLayoutEntries(d.entries);
    const bool border = d.circuit && d.circuit->document->printBlackBorder[static_cast<std::size_t>(d.kind)] != 0;
    // The entries are drawn in printer units mapped onto the printable part of the miniature,
    // so that fonts and line widths keep their proportions to the sheet.
    PlaceLayoutEntries(d.entries, {0, 0, d.printerPage.cx, d.printerPage.cy});
    const int saved = MapPrinterPage(dc, d.printable, std::max<int>(d.printerPage.cx, 1), std::max<int>(d.printerPage.cy, 1));
    for (std::size_t i = 0; i < d.entries.size(); ++i) {
        if (!Included(d.entries[i])) continue;
        const int inner = win::SaveDC(dc);
        ClipToRecordRegion(dc, d.entries, i);
        DrawLayoutEntry(dc, d.entries[i], border);
        win::RestoreDC(dc, inner);
    }
    win::RestoreDC(dc, saved);
    if (AutoTileOn(d)) return;
    for (const PrintLayoutEntry& e : d.entries) {
        if (Included(e)) OutlineRect(dc, ControlRect(d, e));
    }
}

void FillWindowList(win::HWND dialog, const GraphicsPreview& d)
{
    win::HWND list = win::GetDlgItem(dialog, kPreviewWindowList);
    win::SendMessage(list, win::LB_RESETCONTENT, 0, 0);
    for (std::size_t i = 0; i < d.entries.size(); ++i) {
        win::SendMessage(list, win::LB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(d.entries[i].text.c_str()));
        win::SendMessage(list, win::LB_SETSEL, Included(d.entries[i]) ? win::TRUE : win::FALSE, static_cast<win::LPARAM>(i));
    }
}

void ReadWindowList(win::HWND dialog, GraphicsPreview& d)
{
    win::HWND list = win::GetDlgItem(dialog, kPreviewWindowList);
    for (std::size_t i = 0; i < d.entries.size(); ++i) {
        if (!d.entries[i].include) continue;
        *d.entries[i].include = win::SendMessage(list, win::LB_GETSEL, i, 0) > 0 ? 1 : 0;
    }
}

void MarkLayoutChanged(GraphicsPreview& d)
{
    if (d.circuit) d.circuit->changed = 1;
}

// A per-analysis print option of the document, from its check box.
template <class Flags>
void StoreLayoutCheck(win::HWND dialog, int control, Flags& flags, int kind)
{
    flags[static_cast<std::size_t>(kind)] = win::IsDlgButtonChecked(dialog, control) == win::BST_CHECKED ? 1 : 0;
}

// The entry and handle under a point of the page control: a handle of the first included entry
// within 4 pixels, else the last included entry containing the point (handle -1).
std::pair<int, int> PickLayoutEntry(const GraphicsPreview& d, win::POINT p)
{
    for (std::size_t i = 0; i < d.entries.size(); ++i) {
        if (!Included(d.entries[i])) continue;
        const win::RECT r = ControlRect(d, d.entries[i]);
        const int xs[3] = {r.left, (r.left + r.right) / 2, r.right};
        const int ys[3] = {r.top, (r.top + r.bottom) / 2, r.bottom};
        int handle = 0;
        for (int row = 0; row < 3; ++row) {
            for (int column = 0; column < 3; ++column) {
                if (row == 1 && column == 1) continue;
                if (std::abs(p.x - xs[column]) <= 4 && std::abs(p.y - ys[row]) <= 4)
                    return {static_cast<int>(i), handle};
                ++handle;
            }
        }
    }
    int found = -1;
    for (std::size_t i = 0; i < d.entries.size(); ++i) {
        const win::RECT r = ControlRect(d, d.entries[i]);
        if (Included(d.entries[i]) && p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom)
            found = static_cast<int>(i);
    }
    return {found, -1};
}

// Handles 0-7 run row by row over the corners and edge middles: which sides each one moves.
struct HandleSides {
    bool left, top, right, bottom;
};
constexpr HandleSides kHandleSides[8] = {{true, true, false, false},  {false, true, false, false},
                                         {false, true, true, false},  {true, false, false, false},
                                         {false, false, true, false}, {true, false, false, true},
                                         {false, false, false, true}, {false, false, true, true}};
constexpr double kMinimumPlacement = 0.02;

void DragPlacement(GraphicsPreview& d, win::POINT p)
{
    double* place = d.entries[static_cast<std::size_t>(d.dragEntry)].placement;
    if (place[2] <= place[0] || place[3] <= place[1]) {
        place[0] = place[1] = 0.0;
        place[2] = place[3] = 1.0;
    }
    const double w = std::max<int>(d.printable.right - d.printable.left, 1);
    const double h = std::max<int>(d.printable.bottom - d.printable.top, 1);
    if (d.dragHandle < 0) {
        const double dx = (p.x - d.last.x) / w, dy = (p.y - d.last.y) / h;
        if (place[0] + dx >= 0.0 && place[2] + dx <= 1.0) {
            place[0] += dx;
            place[2] += dx;
        }
        if (place[1] + dy >= 0.0 && place[3] + dy <= 1.0) {
            place[1] += dy;
            place[3] += dy;
        }
    } else {
        const HandleSides sides = kHandleSides[d.dragHandle];
        const double fx = std::clamp((p.x - d.printable.left) / w, 0.0, 1.0);
        const double fy = std::clamp((p.y - d.printable.top) / h, 0.0, 1.0);
        if (sides.left && place[2] - fx >= kMinimumPlacement) place[0] = fx;
        if (sides.right && fx - place[0] >= kMinimumPlacement) place[2] = fx;
        if (sides.top && place[3] - fy >= kMinimumPlacement) place[1] = fy;
        if (sides.bottom && fy - place[1] >= kMinimumPlacement) place[3] = fy;
    }
    d.last = p;
}

win::LRESULT GraphicsPageProc(win::HWND control, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    auto* d = reinterpret_cast<GraphicsPreview*>(win::GetWindowLongPtr(win::GetParent(control), win::DWLP_USER));
    if (d == nullptr) return win::DefWindowProc(control, message, wParam, lParam);
    const win::POINT p{static_cast<short>(win::LOWORD(static_cast<win::DWORD>(lParam))),
                       static_cast<short>(win::HIWORD(static_cast<win::DWORD>(lParam)))};
    switch (message) {
    case win::WM_LBUTTONDOWN: {
        if (AutoTileOn(*d)) break;
        const auto [entry, handle] = PickLayoutEntry(*d, p);
        if (entry < 0) break;
        d->dragEntry = entry;
        d->dragHandle = handle;
        d->last = p;
        win::SetCapture(control);
        DrawDragOutline(control, ControlRect(*d, d->entries[static_cast<std::size_t>(entry)]));
        return 0;
    }
    case win::WM_MOUSEMOVE:
        if (d->dragEntry < 0) break;
        DrawDragOutline(control, ControlRect(*d, d->entries[static_cast<std::size_t>(d->dragEntry)]));
        DragPlacement(*d, p);
        DrawDragOutline(control, ControlRect(*d, d->entries[static_cast<std::size_t>(d->dragEntry)]));
        MarkLayoutChanged(*d);
        return 0;
    case win::WM_LBUTTONUP:
        if (d->dragEntry < 0) break;
        d->dragEntry = -1;
        win::ReleaseCapture();
        win::InvalidateRect(control, nullptr, 1);
        return 0;
    default:
        break;
    }
    return win::CallWindowProc(d->pageProc, control, message, wParam, lParam);
}

win::INT_PTR GraphicsPreviewProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    GraphicsPreview* d = DialogData<GraphicsPreview>(dialog, message, lParam);
    switch (message) {
    case win::WM_INITDIALOG: {
        OpenPreviewPage(dialog, d->pageSpace);
        FillWindowList(dialog, *d);
        win::CheckDlgButton(dialog, kPreviewAutoTile, AutoTileOn(*d) ? win::BST_CHECKED : win::BST_UNCHECKED);
        win::CheckDlgButton(dialog, kPreviewBackground,
                            (Settings().operationalOptions & kOptionPrintBackground) ? win::BST_CHECKED : win::BST_UNCHECKED);
        const bool border = d->circuit && d->circuit->document->printBlackBorder[static_cast<std::size_t>(d->kind)] != 0;
        win::CheckDlgButton(dialog, kPreviewBlackBorder, border ? win::BST_CHECKED : win::BST_UNCHECKED);
        win::HWND page = win::GetDlgItem(dialog, kPreviewPageControl);
        d->pageProc = reinterpret_cast<win::WNDPROC>(
            win::SetWindowLongPtr(page, win::GWLP_WNDPROC, reinterpret_cast<win::LONG_PTR>(&GraphicsPageProc)));
        return win::TRUE;
    }
    case win::WM_DRAWITEM:
        return DrawPreviewItem(d, lParam, DrawGraphicsMiniature);
    case win::WM_COMMAND: {
        if (!d) return win::FALSE;
        const int id = win::LOWORD(wParam);
        const int code = win::HIWORD(wParam);
        switch (id) {
        case kPreviewWindowList:
            if (code == win::LBN_SELCHANGE) {
                ReadWindowList(dialog, *d);
                RedrawPageControl(dialog);
            }
            return win::TRUE;
        case kPreviewAll:
            for (PrintLayoutEntry& e : d->entries) {
                if (e.include) *e.include = 1;
            }
            FillWindowList(dialog, *d);
            RedrawPageControl(dialog);
            return win::TRUE;
        case kPreviewTile:
            TileLayoutEntries(d->entries);
            MarkLayoutChanged(*d);
            RedrawPageControl(dialog);
            return win::TRUE;
        case kPreviewAutoTile:
            if (d->circuit) StoreLayoutCheck(dialog, kPreviewAutoTile, d->circuit->document->printAutoTile, d->kind);
            MarkLayoutChanged(*d);
            RedrawPageControl(dialog);
            return win::TRUE;
        case kPreviewBackground:
            if (win::IsDlgButtonChecked(dialog, kPreviewBackground) == win::BST_CHECKED)
                Settings().operationalOptions |= kOptionPrintBackground;
            else
                Settings().operationalOptions &= ~kOptionPrintBackground;
            MarkLayoutChanged(*d);
            RedrawPageControl(dialog);
            return win::TRUE;
        case kPreviewBlackBorder:
            if (d->circuit) StoreLayoutCheck(dialog, kPreviewBlackBorder, d->circuit->document->printBlackBorder, d->kind);
            MarkLayoutChanged(*d);
            RedrawPageControl(dialog);
            return win::TRUE;
        case kCommandPrintSetup:
            PreviewPrintSetup(dialog, d->pageSpace);
            RedrawPageControl(dialog);
            return win::TRUE;
        case kCommandPrint:
            PrintLayoutSheet(d->entries, d->record);
            return win::TRUE;
        case kPreviewClose:
            return CancelOrHelp(dialog, win::IDCANCEL, kGraphicsPreviewTemplate);
        default:
            return CancelOrHelp(dialog, win::LOWORD(wParam), kGraphicsPreviewTemplate);
        }
    }
    default:
        return win::FALSE;
    }
}

}  // namespace

int ReadPreviewScale(win::HWND dialog, double& scale)
{
    win::BOOL ok = win::FALSE;
    const int value = static_cast<int>(win::GetDlgItemInt(dialog, kPreviewScaleField, &ok, win::TRUE));
    const bool automatic = win::IsDlgButtonChecked(dialog, kPreviewAuto) == win::BST_CHECKED;
    if (ok && value >= kMinPreviewScale && value <= kMaxPreviewScale) {
        scale = 100.0 / value;
        if (automatic) scale = -scale;
        return 0;
    }
    if (automatic) {
        // Fitting needs no value of its own: the sign alone asks for it.
        scale = -(std::fabs(scale) > 0.0 ? std::fabs(scale) : 1.0);
        return 0;
    }
    ReportMessage("DE", dialog, kMsgScaleRange);
    return kMsgAlreadyReported;
}

void ShowPreviewPageNumber(win::HWND dialog, int page, int pageCount)
{
    const std::string text = "Page " + std::to_string(page + 1) + " of " + std::to_string(pageCount);
    win::SetDlgItemText(dialog, kPreviewPageLabel, text.c_str());
}

std::string HeaderTextToEdit(const std::string& stored)
{
    std::string out;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] == '\\' && i + 1 < stored.size() && stored[i + 1] == 'n') {
            out += "\r\n";
            ++i;
        } else {
            out += stored[i];
        }
    }
    return out;
}

std::string HeaderTextFromEdit(const std::string& edited)
{
    std::string out;
    for (std::size_t i = 0; i < edited.size(); ++i) {
        if (edited[i] == '\r') {
            out += "\\n";
            if (i + 1 < edited.size() && edited[i + 1] == '\n') ++i;
        } else if (edited[i] == '\n') {
            out += "\\n";
        } else {
            out += edited[i];
        }
    }
    return out;
}

int RunHeaderFooterDialog(win::HWND owner)
{
    return RunDialog(owner, kHeaderFooterTemplate, HeaderFooterProc) == win::IDOK ? 1 : 0;
}

int RunPrintPreview(WindowRecord* record)
{
    if (record == nullptr) return 1;
    const bool document = record->kind == kWindowSchematic || record->kind == kWindowPlainSchematic ||
                          record->kind == kWindowTextCircuit;
    win::HWND focus = win::GetFocus();
    // The text preview shows what Print prints for a text window or a focused text area, also
    // while an analysis runs (the numeric output is a text window then).
    const bool text = document && record->document &&
                      (record->kind == kWindowTextCircuit || (focus && focus == record->document->textAreaWindow));
    if (text) {
        TextPreview d;
        d.record = record;
        RunDialogParam(record->window, kTextPreviewTemplate, TextPreviewProc, reinterpret_cast<win::LPARAM>(&d));
    } else if (!document || !record->document || Analysis().analysisKind != kAnalysisNone) {
        GraphicsPreview d;
        d.record = record;
        d.circuit = LayoutDocumentRecord(record);
        d.kind = LayoutAnalysisKind();
        d.entries = BuildPrintLayout(record, true);
        // The sheet shows what the Print command would print.
        if (!document) IncludeWindowWhenNoneIncluded(d.entries, record);
        RunDialogParam(record->window, kGraphicsPreviewTemplate, GraphicsPreviewProc, reinterpret_cast<win::LPARAM>(&d));
    } else {
        SchematicPreview d;
        d.record = record;
        d.pageCount = std::max<int>(1, static_cast<int>(record->document->pages.size()));
        d.openingScale = record->document->printerScale;
        RunDialogParam(record->window, kSchematicPreviewTemplate, SchematicPreviewProc, reinterpret_cast<win::LPARAM>(&d));
    }
    for (const auto& each : WindowRecords().records) {
        if (each->window && each->document) win::InvalidateRect(each->window, nullptr, 1);
    }
    return 0;
}

}  // namespace kq5
