#include "schematic/window_pictures.h"

#include <algorithm>
#include <cstdlib>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "analog/run_control.h"
#include "ui/color_dialog.h"
#include "ui/dialog_services.h"
#include "document/file_dialogs.h"
#include "ui/frame_state.h"
#include "ui/print_layout_services.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/file_units.h"
#include "platform/string_table.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/document_windows.h"
#include "document/file_names.h"
#include "document/schematic_item.h"
#include "platform/clipboard.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_mapping.h"
#include "platform/global_memory.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/metafile.h"
#include "platform/paint.h"
#include "platform/window.h"
#include "plots/plot_view.h"
#include "schematic/schematic_render.h"

namespace kq5 {

namespace {

constexpr int kPictureFilter = 10133;
constexpr int kPlotPictureExtent = 1200;
// Metafile records and the placeable header hold 16-bit coordinates.
constexpr long kMetafileCoordinateLimit = 32767;

bool HasPicture(int kind)
{
    return IsSchematicKind(kind) || kind == kWindowAnalysis || kind == kWindowMonteCarlo || kind == kWindow3D ||
           kind == kWindowPerformance;
}

bool EndsWithWmf(const std::string& name)
{
    return name.size() >= 4 && EqualsNoCase(std::string_view(name).substr(name.size() - 4), ".WMF");
}

// The display metrics of the window's screen.
int DisplayCaps(WindowRecord* record, int index)
{
    win::HWND window = record ? record->window : nullptr;
    win::HDC dc = win::GetDC(window);
    const int value = win::GetDeviceCaps(dc, index);
    win::ReleaseDC(window, dc);
    return value;
}

// The name proposed for the file: the window's title, or for a plot the circuit's, as ".WMF".
std::string ProposedPictureName(WindowRecord* record)
{
    WindowRecord* named = record;
    if (!IsSchematicKind(record->kind) && RunControl().circuitWindow) named = RunControl().circuitWindow;
    std::string name = GetRecordTitle(named);
    if (name.empty()) name = "picture";
    return ReplaceExtension(name, "WMF");
}

// The smallest whole divisor that brings the rectangle within the records' coordinates.
int PictureDivisor(const win::RECT& r)
{
    const long largest = std::max({std::labs(r.left), std::labs(r.top), std::labs(r.right), std::labs(r.bottom), 1L});
    return static_cast<int>((largest + kMetafileCoordinateLimit - 1) / kMetafileCoordinateLimit);
}

// Draws the window into the recording DC; the picture's rectangle in its logical units.
win::RECT RecordWindow(WindowRecord* record, win::HDC metafile)
{
    win::RECT picture{0, 0, kPlotPictureExtent, kPlotPictureExtent};
    if (IsSchematicKind(record->kind)) {
        CircuitDocument& document = *record->document;
        const int page = PanePage(document);
        CheckPageExtent(record, page);
        ResetDrawRange(record);
        const bool known = page >= 0 && static_cast<std::size_t>(page) < document.pages.size();
        if (known) picture = document.pages[static_cast<std::size_t>(page)].extent;
        // Records and the box hold 16-bit coordinates: a page too large for them is recorded
        // at a smaller scale, whole, rather than with wrapped numbers.
        const int divisor = PictureDivisor(picture);
        win::SetMetaFileCoordinateDivisor(metafile, divisor);
        DrawContext context;
        InitDrawContext(metafile, context, record, document.currentPane);
        context.page = page;
        DrawSchematicView(context);
        if (known) {
            // A coordinate divided by the divisor (at least 1) stays within its LONG.
            const auto divided = [divisor](win::LONG v) { return static_cast<win::LONG>(win::DivideCoordinate(v, divisor)); };
            picture = {divided(picture.left), divided(picture.top), divided(picture.right), divided(picture.bottom)};
            picture.left = std::clamp<long>(picture.left, 0, kMetafileCoordinateLimit);
            picture.top = std::clamp<long>(picture.top, 0, kMetafileCoordinateLimit);
            picture.right = std::clamp<long>(picture.right, picture.left, kMetafileCoordinateLimit);
            picture.bottom = std::clamp<long>(picture.bottom, picture.top, kMetafileCoordinateLimit);
        }
        return picture;
    }
    win::SetWindowExtEx(metafile, kPlotPictureExtent, kPlotPictureExtent, nullptr);
    if (record->kind == kWindowAnalysis) {
        DrawWindowByType(record, metafile);
    } else if (const LayoutWindowServices* services = LayoutServicesOf(record->kind); services && services->draw) {
        services->draw(record, metafile, picture);
    }
    return picture;
}

void PutPictureOnClipboard(WindowRecord* record, win::HMETAFILE metafile, const win::RECT& picture)
{
    win::METAFILEPICT block;
    block.mm = win::MM_ANISOTROPIC;
    block.xExt = PixelsToHimetricX(picture.right - picture.left);
    block.yExt = PixelsToHimetricY(picture.bottom - picture.top);
    block.hMF = metafile;
    win::HGLOBAL memory = win::GlobalAllocCopy(std::as_bytes(std::span(&block, 1)));
    if (!memory || !win::OpenClipboard(Frame().frame)) {
        if (memory) win::GlobalFree(memory);
        win::DeleteMetaFile(metafile);
        return;
    }
    win::EmptyClipboard();
    win::SetClipboardData(win::CF_METAFILEPICT, memory);
    win::CloseClipboard();
    (void)record;
}

// The Picture dialog's working copy.
struct PictureDialogData {
    WindowRecord* record = nullptr;
    SchematicItem* item = nullptr;
    int borderColor = 0;
    int fillColor = 0;
    ColorPaletteGroup border;
    ColorPaletteGroup fill;
};

void BrowsePicture(win::HWND dialog, PictureDialogData& d)
{
    std::string path = win::GetDlgItemText(dialog, kPictureFileField);
    std::string directory, name;
    // A plain dialog record owns the question, so the dialog's own record is left alone.
    WindowRecord* owner = NewWindowRecord(dialog, kWindowPlainDialog);
    const int chosen = AskOpenFileName(owner, "Open Picture", std::string(LoadResString(kPictureFilter)), path, directory, name);
    FreeWindowRecord(owner);
    if (chosen) win::SetDlgItemText(dialog, kPictureFileField, path.c_str());
    (void)d;
}

win::INT_PTR PictureDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    PictureDialogData* d = DialogData<PictureDialogData>(dialog, message, lParam);
    switch (message) {
    case win::WM_INITDIALOG: {
        PlaceDialog(dialog, false, nullptr);
        SchematicItem& item = *d->item;
        win::SendDlgItemMessage(dialog, kPictureFileField, win::EM_LIMITTEXT, 260, 0);
        win::SetDlgItemText(dialog, kPictureFileField, GetAttributeText(&item, kAttrFile).c_str());
        d->borderColor = item.color;
        d->fillColor = item.fillColor;
        InitColorPalette(d->border, dialog, {"Border"}, 0, &d->borderColor, 1, kFirstBorderColorButton, 0);
        InitColorPalette(d->fill, dialog, {"Fill"}, 0, &d->fillColor, 1, kFirstFillColorButton, 0);
        d->border.checkBoxId = kPictureBorderNone;
        d->fill.checkBoxId = kPictureFillNone;
        d->border.noColor = !(item.style & kPictureBorder);
        d->fill.noColor = !(item.style & kStyleFill);
        win::CheckDlgButton(dialog, kPictureBorderNone, d->border.noColor ? win::BST_CHECKED : win::BST_UNCHECKED);
        win::CheckDlgButton(dialog, kPictureFillNone, d->fill.noColor ? win::BST_CHECKED : win::BST_UNCHECKED);
        win::HWND weight = win::GetDlgItem(dialog, kPictureWeight);
        for (const char* text : {"1", "2", "3"}) win::SendMessage(weight, win::CB_ADDSTRING, 0, reinterpret_cast<win::LPARAM>(text));
        win::SendMessage(weight, win::CB_SETCURSEL, static_cast<win::WPARAM>((item.style & kPictureWeightMask) >> 2), 0);
        win::SetFocus(win::GetDlgItem(dialog, kPictureFileField));
        return win::FALSE;
    }
    case win::WM_DRAWITEM: {
        if (!d) return win::FALSE;
        const auto& drawn = *reinterpret_cast<const win::DRAWITEMSTRUCT*>(lParam);
        return DrawColorPaletteItem(d->border, drawn) || DrawColorPaletteItem(d->fill, drawn) ? win::TRUE : win::FALSE;
    }
    case win::WM_COMMAND: {
        if (!d) return win::FALSE;
        const int id = win::LOWORD(wParam);
        if (OnColorPaletteClick(d->border, id) || OnColorPaletteClick(d->fill, id)) return win::TRUE;
        switch (id) {
        case kPictureBrowse:
            BrowsePicture(dialog, *d);
            return win::TRUE;
        case win::IDOK: {
            SchematicItem& item = *d->item;
            SetAttribute(d->record, &item, kAttrFile, win::GetDlgItemText(dialog, kPictureFileField));
            std::uint16_t style = item.style & ~(kStyleFill | kPictureBorder | kPictureWeightMask);
            if (win::IsDlgButtonChecked(dialog, kPictureFillNone) != win::BST_CHECKED) style |= kStyleFill;
            if (win::IsDlgButtonChecked(dialog, kPictureBorderNone) != win::BST_CHECKED) style |= kPictureBorder;
            const long weight = static_cast<long>(win::SendDlgItemMessage(dialog, kPictureWeight, win::CB_GETCURSEL, 0, 0));
            style |= static_cast<std::uint16_t>((std::clamp<long>(weight, 0, 2) << 2) & kPictureWeightMask);
            item.style = style;
            item.color = static_cast<std::uint8_t>(d->borderColor);
            item.fillColor = static_cast<std::uint8_t>(d->fillColor);
            CloseDialog(dialog, win::IDOK);
            return win::TRUE;
        }
        default:
            return CancelOrHelp(dialog, win::LOWORD(wParam), kPictureDialogTemplate);
        }
    }
    default:
        return win::FALSE;
    }
}

}  // namespace

long PixelsToHimetricX(long pixels)
{
    const long res = std::max(DisplayCaps(nullptr, win::HORZRES), 1);
    return pixels * 100 * DisplayCaps(nullptr, win::HORZSIZE) / res;
}

long PixelsToHimetricY(long pixels)
{
    const long res = std::max(DisplayCaps(nullptr, win::VERTRES), 1);
    return pixels * 100 * DisplayCaps(nullptr, win::VERTSIZE) / res;
}

int WritePlaceableMetafile(win::HMETAFILE metafile, const std::string& fileName, const win::RECT& bounds,
                           int unitsPerInch)
{
    const std::vector<win::BYTE> bytes =
        win::PlaceableMetaFileBytes(metafile, bounds, static_cast<win::WORD>(std::clamp(unitsPerInch, 0, 0xFFFF)));
    if (bytes.empty()) return 0;
    // A failed write leaves an existing picture as it was.
    const std::string_view data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (const int status = ReplaceFileBytes(fileName, data); status != 0) {
        ReportFileWriteFailure(fileName, status);
        return 0;
    }
    return 1;
}

void CopyWindowPicture(WindowRecord* record, int command)
{
    if (record == nullptr || !HasPicture(record->kind)) return;
    if (IsSchematicKind(record->kind) && !record->document) return;
    std::string file;
    if (command == kCommandPictureToFile) {
        file = ProposedPictureName(record);
        // Any extension passes the dialog; only a ".WMF" name is written.
        if (FileDialogByKind(record, file, 2, LoadResString(kPictureFilter), kFileKindPicture) < 0) return;
        if (!EndsWithWmf(file)) return;
    }
    win::HDC metafile = win::CreateMetaFile(nullptr);
    if (metafile == nullptr) return;
    const win::RECT picture = RecordWindow(record, metafile);
    win::HMETAFILE bits = win::CloseMetaFile(metafile);
    if (bits == nullptr) return;
    if (command == kCommandPictureToFile) {
        WritePlaceableMetafile(bits, file, picture, DisplayCaps(record, win::LOGPIXELSX));
        win::DeleteMetaFile(bits);
    } else {
        PutPictureOnClipboard(record, bits, picture);
    }
    if (record->window) win::InvalidateRect(record->window, nullptr, 1);
}

int RunPictureDialog(WindowRecord* record, SchematicItem* item)
{
    if (record == nullptr || item == nullptr) return 0;
    PictureDialogData d;
    d.record = record;
    d.item = item;
    if (RunDialogParam(record->window, kPictureDialogTemplate, PictureDlgProc, reinterpret_cast<win::LPARAM>(&d)) !=
        win::IDOK)
        return 0;
    // Erased first: what the object showed before (another picture, the missing-file notice)
    // is not wholly covered by what it shows now.
    RedrawWindowPartsDefault(record);
    record->changed = 1;
    MarkModified(record);
    return 1;
}

}  // namespace kq5
