#include "schematic/edit_commands.h"
#include "document/pane_seams.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <new>
#include <span>
#include <utility>
#include <vector>

#include "core/analysis_state.h"
#include "document/record_font.h"
#include "ui/frame_state.h"
#include "ui/status_text.h"
#include "document/text_area.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/document_services.h"
#include "document/document_windows.h"
#include "document/item_transfer.h"
#include "document/page_array.h"
#include "document/selection.h"
#include "plots/curve_ranges.h"
#include "results/curve_record.h"
#include "results/plot_object.h"
#include "plots/plot_object_moves.h"
#include "platform/bitmap.h"
#include "platform/clipboard.h"
#include "platform/controls.h"
#include "platform/paint.h"
#include "platform/gdi_dc.h"
#include "platform/global_memory.h"
#include "platform/gdi_mapping.h"
#include "platform/message.h"
#include "platform/metafile.h"
#include "platform/win_messages.h"
#include "platform/window.h"
#include "schematic/attribute_dialog.h"
#include "schematic/box_operations.h"
#include "document/component_definition.h"
#include "schematic/rename_components.h"
#include "document/editor_services.h"
#include "schematic/sheet_bounds.h"
#include "schematic/window_pictures.h"

namespace kq5 {

namespace {

constexpr int kMsgPasteOutside = 13557;

bool AnalysisActive() { return Analysis().analysisKind != kAnalysisNone; }

bool IsCircuit(const WindowRecord* record) { return record && record->document && record->kind == kWindowSchematic; }

// A window whose edits act on its plot objects (analysis and performance windows).
bool HoldsPlotObjects(const WindowRecord* record)
{
    return record && !IsCircuit(record) && record->plot && (record->flags & kRecordHoldsPlotObjects);
}

void RedrawObjects(WindowRecord* record) { RedrawWindowParts(record, kRedrawObjectsOnly); }

// The text control that takes the command instead of the drawing: the focused text area of the
// window or the focused client of a text window.
win::HWND FocusedTextControl(WindowRecord* record)
{
    const win::HWND focus = win::GetFocus();
    if (!focus || !record) return nullptr;
    if (record->document && focus == record->document->textAreaWindow) return focus;
    if (record->kind == kWindowTextCircuit) return focus;
    return nullptr;
}

bool SendToFocusedText(WindowRecord* record, win::UINT message)
{
    const win::HWND control = FocusedTextControl(record);
    if (!control) return false;
    win::SendMessage(control, message, 0, 0);
    return true;
}

void Redraw(WindowRecord* record) { RepaintAfterEdit(record); }

void SwapMarkRects(WindowRecord* record)
{
    std::swap(record->markRect, EditStateOf(record).savedMarkRect);
}

void ClearNewMarks(CircuitDocument& document)
{
    for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList))
        item.selection = static_cast<std::uint8_t>(item.selection & ~kSelectNew);
    for (GridText& text : ListRecords<GridText>(document.gridTextList))
        text.selection = static_cast<std::uint8_t>(text.selection & ~kSelectNew);
}

// The nodes just put into the document become the selection.
void SelectNewNodes(CircuitDocument& document)
{
    for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList))
        if (item.selection & kSelectNew) item.selection = kSelected | kSelectNew;
    for (GridText& text : ListRecords<GridText>(document.gridTextList))
        if (text.selection & kSelectNew) text.selection = kSelected | kSelectNew;
}

void AfterListChange(WindowRecord* record)
{
    MarkModified(record);
    MarkNetlistStale(record);
    Redraw(record);
}

// Undo of a paste, a placement, a cut or a clear acts on the page that edit was made on: the
// current pane turns to it, so that what Undo takes away or brings back is seen, and a paste made
// on another page is taken back rather than nothing.
void ShowPageOfSelection(WindowRecord* record)
{
    CircuitDocument& document = *record->document;
    int page = -1;
    for (const SchematicItem& item : ListRecords<SchematicItem>(document.itemList))
        if ((item.selection & kSelected) && !item.hidden) {
            page = item.page;
            break;
        }
    if (page < 0)
        for (const GridText& text : ListRecords<GridText>(document.gridTextList))
            if (text.selection & kSelected) {
                page = text.page;
                break;
            }
    if (page >= 0 && page != PanePage(document)) ShowPageInPane(record, document.currentPane, page);
}

// Whether a paste keeps the node labels of what it brings (the clipboard's items were cut from
// the circuit and are not in it) is the clipboard's cut origin. Taking back a paste, or redoing a
// cut, gives the origin back as it was before, unless the clipboard has been filled since.
struct CutOriginBeforePaste {
    const WindowRecord* record = nullptr;
    std::uint64_t generation = 0;
    const void* cutFrom = nullptr;
};
CutOriginBeforePaste savedCutOrigin;

void SaveCutOrigin(const WindowRecord* record)
{
    savedCutOrigin = {record, ClipboardGeneration(), DocumentServices().clipboardCutFrom};
}

void RestoreCutOrigin(const WindowRecord* record)
{
    if (savedCutOrigin.record == record && savedCutOrigin.generation == ClipboardGeneration())
        DocumentServices().clipboardCutFrom = savedCutOrigin.cutFrom;
}

void SetTextAreaText(WindowRecord* record, const std::string& text)
{
    if (record->textArea == text) return;
    record->textArea = text;
    if (record->document && record->document->textAreaWindow)
        win::SetWindowText(record->document->textAreaWindow, text.c_str());
}

// Exchanges the document's lists (and the text area) with the undo lists.
void SwapWithUndoLists(WindowRecord* record)
{
    CircuitDocument& document = *record->document;
    if (AnalysisActive() && record->plot) {
        std::swap(record->plot->objects, record->plot->undoObjects);
    } else {
        std::swap(document.itemList, document.undoItemList);
        std::swap(document.gridTextList, document.undoGridTextList);
        WindowEditState& state = EditStateOf(record);
        std::string current = record->textArea;
        SetTextAreaText(record, state.savedText);
        state.savedText = std::move(current);
        if (state.swapOtherTexts) state.swapOtherTexts();
        // The picked attribute may belong to an item that has just left the drawing.
        Documents().pickedItem = nullptr;
        Documents().pickedAttribute = nullptr;
    }
    ResetDrawRange(record);
    SwapMarkRects(record);
    SetAllItemsSelected(record, WindowSelectionMask(record), 0);
    AfterListChange(record);
}

}  // namespace

void ClearCircuitSelection(WindowRecord* record, bool redraw)
{
    if (!record) return;
    if (record->kind == kWindowTextCircuit) {
        if (record->document && record->document->textAreaWindow)
            win::SendMessage(record->document->textAreaWindow, win::EM_SETSEL, 0, 0);
    } else {
        Documents().pickedAttribute = nullptr;
        Documents().pickedItem = nullptr;
    }
    SetUndoKind(record, 0);
    if (!redraw || !record->document) return;
    // The highlight goes; what is selected stays selected.
    bool changed = false;
    for (SchematicItem& item : ListRecords<SchematicItem>(record->document->itemList)) {
        changed |= (item.selection & kSelectPending) != 0;
        item.selection = static_cast<std::uint8_t>(item.selection & ~kSelectPending);
    }
    for (GridText& text : ListRecords<GridText>(record->document->gridTextList)) {
        changed |= (text.selection & kSelectPending) != 0;
        text.selection = static_cast<std::uint8_t>(text.selection & ~kSelectPending);
    }
    if (changed) RedrawWindowParts(record, kRedrawClearSelection);
}

int SaveUndoItems(WindowRecord* record, bool redraw)
{
    if (!record) return 0;
    const int count = TransferItems(record, 0, 0, 0, kTransferLiftToUndo, kSelected);
    if (redraw && count) Redraw(record);
    return count;
}

void RestoreUndoItems(WindowRecord* record)
{
    if (!record) return;
    TransferItems(record, 0, 0, 0, kTransferUndoBack, kSelected);
    Documents().pickedAttribute = nullptr;
    Documents().pickedItem = nullptr;
}

void SaveMarkRect(WindowRecord* record)
{
    if (record) EditStateOf(record).savedMarkRect = record->markRect;
}

namespace {
int boxEditsOpened = 0;  // counts the box edits opened, so a failed edit knows whether it opened one
}  // namespace

int RunBoxEdit(WindowRecord* record, const std::function<int()>& edit)
{
    const int opened = boxEditsOpened;
    try {
        return edit();
    } catch (const std::bad_alloc&) {
        if (boxEditsOpened != opened) AbandonBoxEdit(record);
        ReportMessage("WE", record, kMsgInsufficientMemory);
        return kMsgInsufficientMemory;
    }
}

int BeginBoxEdit(WindowRecord* record)
{
    if (!record) return 0;
    ClearCircuitSelection(record, false);
    TransferItems(record, 0, 0, 0, kTransferSnapshotToUndo, 0xFF);
    if (record->document) {
        CircuitDocument& document = *record->document;
        // A snapshot cut short by a lack of memory (reported by the transfer) would lose the
        // items it misses at the next Undo: there is then nothing to undo, and no edit.
        if (document.undoItemList.count != document.itemList.count ||
            document.undoGridTextList.count != document.gridTextList.count) {
            ListClear(document.undoItemList);
            ListClear(document.undoGridTextList);
            return kMsgInsufficientMemory;
        }
    }
    try {
        WindowEditState& state = EditStateOf(record);
        state.savedText = record->textArea;
        state.savedMarkRect = record->markRect;
        state.swapOtherTexts = nullptr;
    } catch (const std::bad_alloc&) {
        if (record->document) {
            ListClear(record->document->undoItemList);
            ListClear(record->document->undoGridTextList);
        }
        ReportMessage("WE", record, kMsgInsufficientMemory);
        return kMsgInsufficientMemory;
    }
    ++boxEditsOpened;
    SetUndoKind(record, kUndoBoxEdit);
    return 0;
}

void AbandonBoxEdit(WindowRecord* record)
{
    if (!record || !record->document || record->undoKind != kUndoBoxEdit) return;
    CircuitDocument& document = *record->document;
    std::swap(document.itemList, document.undoItemList);
    std::swap(document.gridTextList, document.undoGridTextList);
    ListClear(document.undoItemList);
    ListClear(document.undoGridTextList);
    Documents().pickedItem = nullptr;
    Documents().pickedAttribute = nullptr;
    WindowEditState& state = EditStateOf(record);
    SetTextAreaText(record, state.savedText);
    if (state.swapOtherTexts) state.swapOtherTexts();
    state.swapOtherTexts = nullptr;
    record->markRect = state.savedMarkRect;
    ResetDrawRange(record);
    SetUndoKind(record, 0);
    MarkNetlistStale(record);
    Redraw(record);
}

void SaveWindowFontForUndo(WindowRecord* record)
{
    if (!record || !record->document) return;
    EditStateOf(record).savedFont = record->document->numOutFont;
    SetUndoKind(record, kUndoFont);
}

void EditUndo(WindowRecord* record)
{
    if (!record) return;
    // A font change and a change of the plot scales are the window's own, wherever the focus is.
    if (record->undoKind == kUndoFont && record->document) {
        WindowEditState& state = EditStateOf(record);
        std::swap(state.savedFont, record->document->numOutFont);
        ApplyRecordTextFont(record, record->document->numOutFont);
        SetRedrawFlags(record);
        SetUndoKind(record, kUndoFont);
        return;
    }
    if (record->undoKind == kUndoPlotScales && record->plot) {
        UndoCurveRanges(record);
        SetUndoKind(record, kUndoPlotScales);
        return;
    }
    if (record->undoKind == kUndoTyping || SendToFocusedText(record, win::WM_UNDO)) {
        if (record->undoKind == kUndoTyping && record->document && record->document->textAreaWindow)
            win::SendMessage(record->document->textAreaWindow, win::WM_UNDO, 0, 0);
        return;
    }
    if (HoldsPlotObjects(record)) {
        switch (record->undoKind) {
        case kUndoCleared:
            TransferItems(record, 0, 0, 0, kTransferUndoBack, kSelected);
            SetUndoKind(record, kUndoPlaceItems);
            break;
        case kUndoPlaceItems:
            SaveUndoItems(record, false);
            SetUndoKind(record, kUndoCleared);
            break;
        case kUndoBoxEdit:
            std::swap(record->plot->objects, record->plot->undoObjects);
            SetUndoKind(record, kUndoBoxEdit);
            break;
        case kUndoCut:
            SetAllItemsSelected(record, WindowSelectionMask(record), 0);
            TransferItems(record, 0, 0, 0, kTransferPasteForUndo, 0xFF);
            SetUndoKind(record, kUndoPasted);
            break;
        case kUndoPasted:
            TransferItems(record, 0, 0, 0, kTransferCut, kSelected);
            SetUndoKind(record, kUndoCut);
            break;
        default:
            return;
        }
        RedrawObjects(record);
        return;
    }
    if (!record->document || (AnalysisActive() && record->undoKind != kUndoBoxEdit)) return;
    switch (record->undoKind) {
    case kUndoPlaceItems:
        ShowPageOfSelection(record);
        SaveUndoItems(record, false);
        SwapMarkRects(record);
        AfterListChange(record);
        SetUndoKind(record, kUndoCleared);
        break;
    case kUndoCleared:
        RestoreUndoItems(record);
        ShowPageOfSelection(record);
        SwapMarkRects(record);
        AfterListChange(record);
        SetUndoKind(record, kUndoPlaceItems);
        break;
    // What a cut took away, and what a paste brought, are kept in the window's own undo lists:
    // the clipboard is every window's, and may hold something else by the time of the Undo.
    case kUndoCut:
        SetAllItemsSelected(record, WindowSelectionMask(record), 0);
        ClearNewMarks(*record->document);
        if (TransferItems(record, 0, 0, 0, kTransferUndoBack, 0xFF) > 0) SelectNewNodes(*record->document);
        ShowPageOfSelection(record);
        // The clipboard's copies of what is back in the drawing are copies now.
        SaveCutOrigin(record);
        if (DocumentServices().clipboardCutFrom == record->document.get()) DocumentServices().clipboardCutFrom = nullptr;
        SwapMarkRects(record);
        AfterListChange(record);
        SetUndoKind(record, kUndoPasted);
        break;
    case kUndoPasted:
        ShowPageOfSelection(record);
        SaveUndoItems(record, false);
        RestoreCutOrigin(record);
        SwapMarkRects(record);
        AfterListChange(record);
        SetUndoKind(record, kUndoCut);
        break;
    case kUndoBoxEdit:
        SwapWithUndoLists(record);
        SetUndoKind(record, kUndoBoxEdit);
        break;
    case kUndoTemplate:
        if (!SwapTemplateItem(record)) {
            SetUndoKind(record, 0);
            break;
        }
        // The picked attribute may now belong to the kept copy.
        Documents().pickedItem = nullptr;
        Documents().pickedAttribute = nullptr;
        ResetDrawRange(record);
        AfterListChange(record);
        SetUndoKind(record, kUndoTemplate);
        break;
    default:
        break;
    }
}

void EditCut(WindowRecord* record)
{
    if (!record) return;
    if (SendToFocusedText(record, win::WM_CUT)) {
        if (IsCircuit(record)) PasteTextsFromClipboard(record);
        return;
    }
    if (HoldsPlotObjects(record)) {
        if (TransferItems(record, 0, 0, 0, kTransferCut, kSelected) > 0) {
            SetUndoKind(record, kUndoCut);
            RedrawObjects(record);
        }
        return;
    }
    if (!IsCircuit(record) || AnalysisActive()) return;
    CopyTextsToClipboard(record);
    CopyPictureToClipboard(record);
    const int kept = TransferItems(record, 0, 0, 0, kTransferKeepForUndo, kSelected);
    const int cut = TransferItems(record, 0, 0, 0, kTransferCut, kSelected);
    if (cut == 0) {
        ClearCircuitSelection(record, true);
        SetAllItemsSelected(record, WindowSelectionMask(record), 0);
        return;
    }
    // Without a whole copy for Undo (no memory) the cut is not offered to Undo.
    SetUndoKind(record, kept == cut ? kUndoCut : 0);
    SaveMarkRect(record);
    AfterListChange(record);
}

void EditCopy(WindowRecord* record)
{
    if (!record) return;
    if (SendToFocusedText(record, win::WM_COPY)) {
        if (IsCircuit(record)) PasteTextsFromClipboard(record);
        return;
    }
    if (HoldsPlotObjects(record)) {
        TransferItems(record, 0, 0, 0, kTransferCopy, kSelected);
        return;
    }
    if (!IsCircuit(record) || AnalysisActive()) return;
    CopyTextsToClipboard(record);
    CopyPictureToClipboard(record);
    TransferItems(record, 0, 0, 0, kTransferCopy, kSelected);
    Redraw(record);
}

int EditPaste(WindowRecord* record)
{
    if (!record) return 0;
    if (SendToFocusedText(record, win::WM_PASTE)) return 0;
    if (HoldsPlotObjects(record)) {
        // The copies land with their top-left corner at the window's last click.
        LinkedList& objects = DocumentServices().clipboardObjects;
        if (objects.count == 0) return 0;
        long left = LONG_MAX, top = LONG_MAX;
        for (const PlotObject& object : ListRecords<PlotObject>(objects)) {
            win::RECT r = PlotObjectPixelRect(record, object);
            left = std::min<long>(left, std::min(r.left, r.right));
            top = std::min<long>(top, std::min(r.top, r.bottom));
        }
        const win::POINT at = EditStateOf(record).lastPoint;
        SetAllItemsSelected(record, WindowSelectionMask(record), 0);
        if (TransferItems(record, static_cast<int>(at.x - left), static_cast<int>(at.y - top), 0, kTransferPaste, 0xFF) > 0) {
            SetUndoKind(record, kUndoPasted);
            RedrawObjects(record);
        }
        return 0;
    }
    if (!IsCircuit(record) || AnalysisActive()) return 0;
    WindowEditState& state = EditStateOf(record);
    const win::POINT at = ClampPaneLastPoint(record);
    const DocumentServicesState& clipboard = DocumentServices();
    const SheetExtent extent = ListsExtent(clipboard.clipboardItems, clipboard.clipboardGridTexts);
    if (extent.empty) return 0;
    // The whole pasted region, every point of every item, stays on the sheet.
    if (static_cast<long long>(at.x) + (extent.right - extent.left) > kSheetMax ||
        static_cast<long long>(at.y) + (extent.bottom - extent.top) > kSheetMax) {
        ReportMessage("WE", record, kMsgPasteOutside);
        return kMsgPasteOutside;
    }
    SetAllItemsSelected(record, WindowSelectionMask(record), 0);
    ClearNewMarks(*record->document);
    const int dx = static_cast<int>(at.x - extent.left);
    const int dy = static_cast<int>(at.y - extent.top);
    SaveCutOrigin(record);
    if (TransferItems(record, dx, dy, 0, kTransferPaste, 0xFF) == 0) return 0;
    SelectNewNodes(*record->document);
    AfterListChange(record);
    state.pastePoint = at;
    SetUndoKind(record, kUndoPasted);
    SaveMarkRect(record);
    return 0;
}

void EditClear(WindowRecord* record)
{
    if (!record) return;
    if (SendToFocusedText(record, win::WM_CLEAR)) return;
    if (HoldsPlotObjects(record)) {
        if (SaveUndoItems(record, false) > 0) {
            SetUndoKind(record, kUndoCleared);
            RedrawObjects(record);
        }
        return;
    }
    if (!IsCircuit(record) || AnalysisActive()) return;
    if (SaveUndoItems(record, false) == 0) return;
    SetUndoKind(record, kUndoCleared);
    SaveMarkRect(record);
    AfterListChange(record);
}

void EditSelectAll(WindowRecord* record)
{
    if (!record) return;
    if (const win::HWND control = FocusedTextControl(record)) {
        win::SendMessage(control, win::EM_SETSEL, 0, -1);
        return;
    }
    ClearCircuitSelection(record, false);
    SelectAllItems(record, 1);
    if (HoldsPlotObjects(record)) RedrawObjects(record);
    else Redraw(record);
}

void CopyWindowBitmap(WindowRecord* record, bool selectionOnly)
{
    if (!record || !record->window) return;
    win::RECT area{};
    win::GetClientRect(record->window, &area);
    if (selectionOnly) {
        if (!IsCircuit(record) || IsMarkRectUnset(record)) return;
        // The mark rectangle is in grid units; the pane maps them to its pixels, and the pane's
        // corner to the window's.
        win::POINT a{}, b{};
        const int pane = record->document->currentPane;
        WorldToScreen(record, a, record->markRect.left, record->markRect.top, pane);
        WorldToScreen(record, b, record->markRect.right, record->markRect.bottom, pane);
        win::RECT paneRect{};
        GetPaneRect(record, pane, paneRect);
        for (win::POINT* p : {&a, &b}) {
            p->x += paneRect.left;
            p->y += paneRect.top;
        }
        area.left = std::max(area.left, std::min(a.x, b.x));
        area.top = std::max(area.top, std::min(a.y, b.y));
        area.right = std::min(area.right, std::max(a.x, b.x));
        area.bottom = std::min(area.bottom, std::max(a.y, b.y));
    }
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return;
    win::HDC screen = win::GetDC(record->window);
    win::HDC memory = win::CreateCompatibleDC(screen);
    win::HBITMAP bitmap = win::CreateCompatibleBitmap(screen, width, height);
    win::HGDIOBJ old = win::SelectObject(memory, bitmap);
    win::BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, win::SRCCOPY);
    win::SelectObject(memory, old);
    win::DeleteDC(memory);
    win::ReleaseDC(record->window, screen);
    if (!win::OpenClipboard(record->window)) {
        win::DeleteObject(bitmap);
        return;
    }
    win::EmptyClipboard();
    win::SetClipboardData(win::CF_BITMAP, bitmap);
    win::CloseClipboard();
}

std::string GridTextClipboardText(WindowRecord* record)
{
    std::string out;
    if (!IsCircuit(record)) return out;
    const int page = PanePage(*record->document);
    // Sized exactly first: every text, its separator and one "+" per line break inside it.
    std::size_t size = 0;
    for (const GridText& text : ListRecords<GridText>(record->document->gridTextList)) {
        if (!(text.selection & kSelected) || text.page != page) continue;
        size += 2 + text.text.size() + static_cast<std::size_t>(std::count(text.text.begin(), text.text.end(), '\r'));
    }
    out.reserve(size);
    for (const GridText& text : ListRecords<GridText>(record->document->gridTextList)) {
        if (!(text.selection & kSelected) || text.page != page) continue;
        out += "\r\n";
        for (std::size_t i = 0; i < text.text.size(); ++i) {
            out += text.text[i];
            if (text.text[i] == '\n' && i > 0 && text.text[i - 1] == '\r') out += '+';
        }
    }
    return out;
}

std::vector<std::string> SplitClipboardTexts(const std::string& text)
{
    std::vector<std::string> texts;
    std::size_t start = 0;
    bool first = true;
    while (start <= text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        if (!line.empty() && line[0] == '+' && !texts.empty()) {
            texts.back() += "\r\n" + line.substr(1);
        } else if (!(first && line.empty())) {
            // The block begins with a line break: its empty first line is no text.
            texts.push_back(line);
        }
        first = false;
        if (end == text.size()) break;
        start = end + 2;
    }
    return texts;
}

void CopyPictureToClipboard(WindowRecord* record)
{
    if (!IsCircuit(record)) return;
    const int page = PanePage(*record->document);
    for (const SchematicItem& item : ListRecords<SchematicItem>(record->document->itemList)) {
        if (!(item.selection & kSelected) || item.page != page || item.itemKind != kItemGraphicObject ||
            item.ObjectKind() != kObjectPicture)
            continue;
        const std::string& file = GetAttributeText(&item, kAttrFile);
        if (file.size() < 4 || !EqualsNoCase(file.substr(file.size() - 4), ".WMF")) continue;
        win::PlaceableInfo info;
        win::HMETAFILE metafile = win::ReadMetaFileFile(file, &info);
        if (!metafile) return;
        // The picture's size in hundredths of a millimetre, from its placeable header when it
        // has one, else from the object's size on the sheet.
        win::METAFILEPICT picture;
        picture.mm = win::MM_ANISOTROPIC;
        if (info.placeable && info.unitsPerInch) {
            picture.xExt = (info.bounds.right - info.bounds.left) * 2540 / info.unitsPerInch;
            picture.yExt = (info.bounds.bottom - info.bounds.top) * 2540 / info.unitsPerInch;
        } else {
            picture.xExt = std::abs(item.x2 - item.x1) * 254;
            picture.yExt = std::abs(item.y2 - item.y1) * 254;
        }
        picture.hMF = metafile;
        win::HGLOBAL block = win::GlobalAllocCopy(std::as_bytes(std::span(&picture, 1)));
        if (!block || !win::OpenClipboard(Frame().frame)) {
            if (block) win::GlobalFree(block);
            win::DeleteMetaFile(metafile);
            return;
        }
        win::EmptyClipboard();
        win::SetClipboardData(win::CF_METAFILEPICT, block);
        win::CloseClipboard();
        return;
    }
}

void CopyTextsToClipboard(WindowRecord* record)
{
    const std::string text = GridTextClipboardText(record);
    if (text.empty()) return;
    const bool progress = StatusBarShown();
    if (progress) SetStatusText(StrPrintf("copying %d%%.", 100));
    win::HGLOBAL block = win::GlobalAllocText(text);
    if (!block) return;  // no memory: the command ends without a word
    if (!win::OpenClipboard(Frame().frame)) {
        win::GlobalFree(block);
        return;
    }
    win::EmptyClipboard();
    win::SetClipboardData(win::CF_TEXT, block);
    win::CloseClipboard();
}

void PasteTextsFromClipboard(WindowRecord* record)
{
    if (!win::OpenClipboard(Frame().frame)) return;
    std::string text;
    if (win::ClipboardHandle data = win::GetClipboardData(win::CF_TEXT)) text = std::string(win::GlobalText(data));
    win::CloseClipboard();
    LinkedList& list = DocumentServices().clipboardGridTexts;
    ListClear(list);
    const std::vector<std::string> texts = SplitClipboardTexts(text);
    const int page = record && record->document ? PanePage(*record->document) : 0;
    const FontSpec font = record && record->document ? record->document->gridTextFont : FontSpec{};
    for (std::size_t i = 0; i < texts.size(); ++i) {
        auto* node = ListAppendAs<GridText>(list, kKindGridText);
        if (!node) break;
        node->text = texts[i];
        node->page = static_cast<std::int16_t>(page);
        node->font = font;
        node->x = 1;
        node->y = static_cast<std::int32_t>(1 + 2 * i);
        node->selection = kSelected;
        if (StatusBarShown())
            SetStatusText(StrPrintf("copying %d%%.", static_cast<int>((i + 1) * 100 / texts.size())));
    }
}

void ToggleTextTransfer(WindowRecord* record)
{
    if (!IsCircuit(record)) return;
    CircuitDocument& document = *record->document;
    const win::HWND area = document.textAreaWindow;
    if (area && win::GetFocus() == area) {
        // Selected text of the text area onto the drawing.
        win::DWORD from = 0, to = 0;
        win::SendMessage(area, win::EM_GETSEL, reinterpret_cast<win::WPARAM>(&from), reinterpret_cast<win::LPARAM>(&to));
        if (from == to || BeginBoxEdit(record) != 0) return;
        win::SendMessage(area, win::WM_CUT, 0, 0);
        if (record->window) win::SetFocus(record->window);
        PasteTextsFromClipboard(record);
        // Only the text comes onto the drawing: items copied before wait on the clipboard.
        LinkedList& copied = DocumentServices().clipboardItems;
        LinkedList waiting;
        std::swap(copied, waiting);
        EditPaste(record);
        std::swap(copied, waiting);
        return;
    }
    const std::string text = GridTextClipboardText(record);
    if (text.empty() || BeginBoxEdit(record) != 0) return;
    Frame().busy = true;
    CopyTextsToClipboard(record);
    const int page = PanePage(document);
    for (ListNode* node = document.gridTextList.head; node != nullptr;) {
        auto* grid = static_cast<GridText*>(node);
        node = (grid->selection & kSelected) && grid->page == page ? ListRemove(document.gridTextList, grid) : node->next;
    }
    if (area) {
        const int length = win::GetWindowTextLength(area);
        win::SendMessage(area, win::EM_SETSEL, static_cast<win::WPARAM>(length), length);
        win::SendMessage(area, win::WM_PASTE, 0, 0);
        // The texts travel through the clipboard: when they did not arrive, they go back onto
        // the drawing rather than being lost.
        const std::string now = CopyTextAreaText(record).value_or(std::string());
        if (now.size() < text.size() || now.compare(now.size() - text.size(), text.size(), text) != 0) {
            Frame().busy = false;
            AbandonBoxEdit(record);
            return;
        }
    } else {
        record->textArea += text;
    }
    if (win::OpenClipboard(Frame().frame)) {
        win::EmptyClipboard();
        win::CloseClipboard();
    }
    ListClear(DocumentServices().clipboardGridTexts);
    Frame().busy = false;
    // The paste counted as typing in the text area; Undo gives both places back together.
    SetUndoKind(record, kUndoBoxEdit);
    ResetDrawRange(record);
    AfterListChange(record);
    if (area) win::SetFocus(area);
}

void ReorderSelection(WindowRecord* record, bool toFront)
{
    if (!IsCircuit(record) || AnalysisActive()) return;
    CircuitDocument& document = *record->document;
    const int page = PanePage(document);
    // Drawn last is drawn on top: the selected items go to the end of the list, or to its head.
    std::vector<ListNode*> selected;
    std::vector<ListNode*> others;
    for (ListNode* node = document.itemList.head; node; node = node->next) {
        const auto* item = static_cast<SchematicItem*>(node);
        ((item->selection & kSelected) && item->page == page ? selected : others).push_back(node);
    }
    if (selected.empty()) return;
    std::vector<ListNode*> order = toFront ? others : selected;
    const std::vector<ListNode*>& rest = toFront ? selected : others;
    order.insert(order.end(), rest.begin(), rest.end());
    RelinkList(document.itemList, order);
    ResetDrawRange(record);
    MarkModified(record);
    Redraw(record);
}

namespace {

bool RunEditCommand(WindowRecord* record, int id)
{
    switch (id) {
    case 17200: EditUndo(record); return true;
    case 17201: EditCut(record); return true;
    case 17202: EditCopy(record); return true;
    case 17203: EditPaste(record); return true;
    case 17204: EditClear(record); return true;
    case 17205: EditSelectAll(record); return true;
    case 17206: CopyWindowBitmap(record, false); return true;
    case 17218: CopyWindowBitmap(record, true); return true;
    case kCommandPictureToClipboard:
    case kCommandPictureToFile: CopyWindowPicture(record, id); return true;
    case 17207: StepBoxCommand(record); return true;
    case 17208: MirrorBoxCommand(record); return true;
    case 17209: RotateSelection(record); return true;
    case 17210: FlipSelectedItems(record, 1); return true;
    case 17211: FlipSelectedItems(record, 0); return true;
    case 17212: AttributeDisplayCommand(record); return true;
    case 17454: RenameComponents(record); return true;
    case 17455: RenameDefines(record); return true;
    case 17670: ToggleTextTransfer(record); return true;
    case 17694: ReorderSelection(record, true); return true;
    case 17695: ReorderSelection(record, false); return true;
    default: return false;
    }
}

}  // namespace

bool RouteEditCommand(WindowRecord* record, int id)
{
    if (!RunEditCommand(record, id)) return false;
    // The selection, the clipboard and what there is to undo decide the Edit commands.
    if (!Frame().busy) RefreshToolButtonStates();
    return true;
}

}  // namespace kq5
