#include "app/print_preview.h"

#include <algorithm>
#include <cmath>

#include "analog/analysis_state.h"
#include "app/dialog_services.h"
#include "app/font_command.h"
#include "app/font_select.h"
#include "app/printing.h"
#include "app/title_block.h"
#include "app/window_record.h"
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

// The page at the print scale over the sheets it needs, all of them shrunk onto the miniature.
void DrawSchematicMiniature(const SchematicPreview& d, const win::DRAWITEMSTRUCT& item)
{
    win::HDC dc = item.hDC;
    FillWhite(dc, item.rcItem);
    win::HDC printer = CreatePrinterDC();
    if (printer == nullptr || d.record == nullptr || !d.record->document) return;
    const win::RECT printable = DrawPreviewPaper(printer, dc, item.rcItem);
    const double scale = ComputePrintScale(printer, d.record);
    const SheetTiling tiling = TileSchematicPage(printer, d.record, d.page, scale);
    win::DeleteDC(printer);
    const double totalW = tiling.across * tiling.sheetWidth, totalH = tiling.down * tiling.sheetHeight;
    const double f = std::min((printable.right - printable.left) / totalW, (printable.bottom - printable.top) / totalH);
    if (!(f > 0.0)) return;
    const win::RECT area{printable.left, printable.top, printable.left + static_cast<int>(std::lround(totalW * f)),
                         printable.top + static_cast<int>(std::lround(totalH * f))};
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
        PlaceDialog(dialog, false, nullptr);
        d->pageSpace = ChildRect(dialog, kPreviewPageControl);
        PlacePreviewPage(dialog, d->pageSpace);
        const double scale = d->record->document->printerScale;
        win::CheckRadioButton(dialog, kPreviewAuto, kPreviewUser, scale < 0.0 ? kPreviewAuto : kPreviewUser);
        const double magnitude = std::fabs(scale);
        win::SetDlgItemInt(dialog, kPreviewScaleField,
                           static_cast<win::UINT>(magnitude > 0.0 ? std::lround(100.0 / magnitude) : 100), win::FALSE);
        ShowSchematicPage(dialog, *d);
        return win::TRUE;
    }
    case win::WM_DRAWITEM: {
        if (!d) return win::FALSE;
        const auto& item = *reinterpret_cast<const win::DRAWITEMSTRUCT*>(lParam);
        if (item.CtlID != kPreviewPageControl) return win::FALSE;
        DrawSchematicMiniature(*d, item);
        return win::TRUE;
    }
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
            if (code == win::EN_KILLFOCUS) ApplyPreviewScale(dialog, *d);
            return win::TRUE;
        case kPreviewApply:
        case kPreviewAuto:
        case kPreviewUser:
            if (code == win::BN_CLICKED) ApplyPreviewScale(dialog, *d);
            return win::TRUE;
        case kCommandPrintSetup:
            if (RunPrintSetup(dialog)) PlacePreviewPage(dialog, d->pageSpace);
            RedrawPageControl(dialog);
            return win::TRUE;
        case kCommandPrint:
            PrintWindowRecord(d->record);
            return win::TRUE;
        case win::IDOK:
            if (d->record->document->printerScale != d->openingScale) d->record->modified = 1;
            CloseDialog(dialog, win::IDOK);
            return win::TRUE;
        case win::IDCANCEL:
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
    win::DeleteDC(printer);
    const int saved = win::SaveDC(dc);
    win::IntersectClipRect(dc, printable.left, printable.top, printable.right, printable.bottom);
    win::SetMapMode(dc, win::MM_ANISOTROPIC);
    win::SetWindowExtEx(dc, geometry.area.right, geometry.area.bottom, nullptr);
    win::SetViewportExtEx(dc, printable.right - printable.left, printable.bottom - printable.top, nullptr);
    win::SetViewportOrgEx(dc, printable.left, printable.top, nullptr);
    PrintTextLines(d.record, dc, false, d.page, &geometry);
    win::RestoreDC(dc, saved);
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
    win::EnableWindow(win::GetDlgItem(dialog, kPreviewNextPage), d.page + 1 < d.pageCount);
    win::EnableWindow(win::GetDlgItem(dialog, kPreviewPriorPage), d.page > 0);
    RedrawPageControl(dialog);
}

win::INT_PTR TextPreviewProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    TextPreview* d = DialogData<TextPreview>(dialog, message, lParam);
    switch (message) {
    case win::WM_INITDIALOG:
        PlaceDialog(dialog, false, nullptr);
        d->pageSpace = ChildRect(dialog, kPreviewPageControl);
        PlacePreviewPage(dialog, d->pageSpace);
        RefreshTextPreview(dialog, *d);
        return win::TRUE;
    case win::WM_DRAWITEM: {
        if (!d) return win::FALSE;
        const auto& item = *reinterpret_cast<const win::DRAWITEMSTRUCT*>(lParam);
        if (item.CtlID != kPreviewPageControl) return win::FALSE;
        DrawTextMiniature(*d, item);
        return win::TRUE;
    }
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
            if (ChooseFontSpec(dialog, spec)) ApplyRecordTextFont(d->record, spec);
            RefreshTextPreview(dialog, *d);
            return win::TRUE;
        }
        case kPreviewHeader:
            RunHeaderFooterDialog(dialog);
            RefreshTextPreview(dialog, *d);
            return win::TRUE;
        case kCommandPrintSetup:
            if (RunPrintSetup(dialog)) PlacePreviewPage(dialog, d->pageSpace);
            RefreshTextPreview(dialog, *d);
            return win::TRUE;
        case kCommandPrint:
            PrintWindowRecord(d->record);
            return win::TRUE;
        case kPreviewClose:
        case win::IDCANCEL:
            CloseDialog(dialog, win::IDCANCEL);
            return win::TRUE;
        case kDialogHelpButton:
            ShowDialogHelp(kTextPreviewTemplate);
            return win::TRUE;
        default:
            return win::FALSE;
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
        case win::IDCANCEL:
            CloseDialog(dialog, win::IDCANCEL);
            return win::TRUE;
        case kDialogHelpButton:
            ShowDialogHelp(kHeaderFooterTemplate);
            return win::TRUE;
        default:
            return win::FALSE;
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
    if (!document || !record->document || Analysis().analysisKind != kAnalysisNone) return 1;
    win::HWND focus = win::GetFocus();
    if (record->kind == kWindowTextCircuit || (focus && focus == record->document->textAreaWindow)) {
        TextPreview d;
        d.record = record;
        RunDialogParam(record->window, kTextPreviewTemplate, TextPreviewProc, reinterpret_cast<win::LPARAM>(&d));
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
