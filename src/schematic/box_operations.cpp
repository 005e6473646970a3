#include "schematic/box_operations.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

#include "core/analysis_state.h"
#include "ui/dialog_services.h"
#include "ui/status_text.h"
#include "ui/wait_cursor.h"
#include "ui/window_record.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/document_windows.h"
#include "document/part_numbering.h"
#include "document/hit_test.h"
#include "document/selection.h"
#include "results/curve_record.h"
#include "results/plot_object.h"
#include "plots/plot_object_moves.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/win_messages.h"
#include "platform/window.h"
#include "schematic/edit_commands.h"
#include "document/editor_services.h"
#include "document/item_copies.h"
#include "schematic/sheet_bounds.h"

namespace kq5 {

namespace {

constexpr int kStepBoxTemplate = 17207;
constexpr int kMirrorBoxTemplate = 17208;
constexpr int kCopyTextBox = 103;
constexpr int kTimesField = 104;

bool OnCurrentPage(const WindowRecord* record, int page) { return page == PanePage(*record->document); }

// The extent of an item in grid units (its drawn bounds).
win::RECT ItemGridExtent(const SchematicItem& item)
{
    const win::RECT r = GetItemBounds(item);
    auto down = [](long v) { return static_cast<win::LONG>(std::floor(v / static_cast<double>(kDrawUnitsPerGrid))); };
    auto up = [](long v) { return static_cast<win::LONG>(std::ceil(v / static_cast<double>(kDrawUnitsPerGrid))); };
    return win::RECT{down(r.left), down(r.top), up(r.right), up(r.bottom)};
}

void ReportOutOfRange(WindowRecord* record, const SchematicItem* item)
{
    if (item) ReportMessage("WNE", record, item, kMsgCoordinatesOutOfRange);
    else ReportMessage("WE", record, kMsgCoordinatesOutOfRange);
}

// The new points of a copy; false when a point would leave the sheet.
bool PlaceCopy(SchematicItem& copy, const SchematicItem& item, long dx, long dy, long cx, long cy, int mirror)
{
    long x1 = item.x1, y1 = item.y1, x2 = item.x2, y2 = item.y2;
    if (mirror == kDirectionHorizontal) {
        x1 = cx - x1;
        x2 = cx - x2;
    } else if (mirror == kDirectionVertical) {
        y1 = cy - y1;
        y2 = cy - y2;
    } else {
        x1 += dx;
        x2 += dx;
        y1 += dy;
        y2 += dy;
    }
    if (!OnSheet(x1, y1) || (!item.IsComponent() && !OnSheet(x2, y2))) return false;
    copy.x1 = static_cast<std::int32_t>(x1);
    copy.y1 = static_cast<std::int32_t>(y1);
    copy.x2 = static_cast<std::int32_t>(x2);
    copy.y2 = static_cast<std::int32_t>(y2);
    if (mirror && copy.IsComponent()) copy.orientation = static_cast<OrientationCode>(copy.orientation ^ (mirror == kDirectionHorizontal ? 6 : 4));
    if (mirror && copy.itemKind == kItemGraphicObject) {
        std::swap(copy.x1, copy.x2);
        std::swap(copy.y1, copy.y2);
    }
    return ItemOnSheet(copy);
}

// Every item and grid text appended after the given tails becomes the selection.
void SelectAppended(CircuitDocument& document, ListNode* itemTail, ListNode* textTail, bool setMark)
{
    for (ListNode* node = itemTail ? itemTail->next : document.itemList.head; node; node = node->next) {
        auto* item = static_cast<SchematicItem*>(node);
        item->selection = static_cast<std::uint8_t>(kSelected | (setMark ? kMarkInBox : 0));
        item->attributesChanged = 1;
    }
    for (ListNode* node = textTail ? textTail->next : document.gridTextList.head; node; node = node->next)
        static_cast<GridText*>(node)->selection = static_cast<std::uint8_t>(kSelected | (setMark ? kMarkInBox : 0));
}

// The dialog's radio buttons 100 to 102 (or 101), check box 103 and, for Step Box, field 104.
struct BoxDialogData {
    int* direction;
    int* copyText;
    int* times;  // null for Mirror Box
};

win::INT_PTR BoxDialogProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    BoxDialogData* data = DialogData<BoxDialogData>(dialog, message, lParam);
    if (!data) return win::FALSE;
    const int last = data->times ? kDirectionBoth : kDirectionVertical;
    switch (message) {
    case win::WM_INITDIALOG:
        PlaceDialog(dialog, false, nullptr);
        win::CheckRadioButton(dialog, kDirectionHorizontal, last, std::clamp(*data->direction, kDirectionHorizontal, last));
        win::CheckDlgButton(dialog, kCopyTextBox, *data->copyText ? win::BST_CHECKED : win::BST_UNCHECKED);
        if (data->times) win::SetDlgItemInt(dialog, kTimesField, static_cast<win::UINT>(*data->times), win::FALSE);
        return win::TRUE;
    case win::WM_COMMAND:
        switch (win::LOWORD(wParam)) {
        case win::IDOK:
            for (int id = kDirectionHorizontal; id <= last; ++id) {
                if (win::IsDlgButtonChecked(dialog, id) == win::BST_CHECKED) {
                    *data->direction = id;
                    break;
                }
            }
            *data->copyText = win::IsDlgButtonChecked(dialog, kCopyTextBox) == win::BST_CHECKED ? 1 : 0;
            if (data->times) {
                const win::UINT n = win::GetDlgItemInt(dialog, kTimesField, nullptr, win::FALSE);
                *data->times = static_cast<int>(std::min<win::UINT>(n, kMaxBoxSteps));
            }
            CloseDialog(dialog, 1);
            return win::TRUE;
        case win::IDCANCEL:
            CloseDialog(dialog, 2);
            return win::TRUE;
        case kDialogHelpButton:
            ShowDialogHelp(data->times ? kStepBoxTemplate : kMirrorBoxTemplate);
            return win::TRUE;
        default:
            return win::FALSE;
        }
    default:
        return win::FALSE;
    }
}

// The box that Rotate and the flips turn the selection in: the select box, or without one (the
// selection made by clicks or Select All) the extent of the selection itself. False when there is
// neither.
bool TurnBox(const WindowRecord* record, win::RECT& box)
{
    if (!record || !record->document || record->kind != kWindowSchematic) return false;
    if (!IsMarkRectUnset(record)) {
        box = record->markRect;
        return true;
    }
    const SheetExtent extent = SelectionExtent(*record->document, PanePage(*record->document));
    if (extent.empty) return false;
    box = win::RECT{static_cast<win::LONG>(extent.left), static_cast<win::LONG>(extent.top),
                    static_cast<win::LONG>(extent.right), static_cast<win::LONG>(extent.bottom)};
    return true;
}

// The box that Step Box and Mirror Box repeat: the select box, or without one (the selection made
// by clicks or Select All) the drawn extent of the selection, so that the copies lie clear of it.
// False when there is neither.
bool CopyBox(WindowRecord* record, win::RECT& box)
{
    if (!record || !record->document || record->kind != kWindowSchematic) return false;
    if (!IsMarkRectUnset(record)) {
        box = record->markRect;
        return true;
    }
    return GetContentBounds(nullptr, record, box, nullptr, kBoundsSelectedOnly, PanePage(*record->document));
}

// Marks what Step Box and Mirror Box copy: the items in the select box, or without one the
// selected items.
void MarkBoxToCopy(WindowRecord* record, const win::RECT& box)
{
    if (!IsMarkRectUnset(record)) {
        MarkItemsInRect(record, box, kMarkSetBox);
        return;
    }
    CircuitDocument& document = *record->document;
    for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
        if (OnCurrentPage(record, item.page) && (item.selection & kSelected)) item.selection |= kMarkInBox;
    }
    for (GridText& text : ListRecords<GridText>(document.gridTextList)) {
        if (OnCurrentPage(record, text.page) && (text.selection & kSelected)) text.selection |= kMarkInBox;
    }
}

// Ends a box edit: the copies of a failed edit go, the edit is undone.
int FinishBoxEdit(WindowRecord* record, int status)
{
    if (status != 0) {
        AbandonBoxEdit(record);
        if (status == kMsgInsufficientMemory) ReportMessage("WE", record, kMsgInsufficientMemory);
        return status;
    }
    MarkModified(record);
    MarkNetlistStale(record);
    RepaintAfterEdit(record);
    return 0;
}

}  // namespace

StepBoxOptions& StepBoxSettings()
{
    static StepBoxOptions options;
    return options;
}

MirrorBoxOptions& MirrorBoxSettings()
{
    static MirrorBoxOptions options;
    return options;
}

bool RectsIntersectUpdateFlags(const win::RECT& extent, const win::RECT& box, std::uint8_t& flags, int mode)
{
    const std::uint8_t before = flags;
    const bool meets = extent.left <= box.right && extent.right >= box.left && extent.top <= box.bottom &&
                       extent.bottom >= box.top;
    if (meets) {
        if (mode & kMarkSetBox) flags |= kMarkInBox;
        if (mode & kMarkSelect) flags |= kSelected;
        if (mode & kMarkToggle) flags ^= kSelected;
    } else if (!(mode & kMarkToggle)) {
        flags = 0;
    }
    return flags != before;
}

void MarkItemsInRect(WindowRecord* record, const win::RECT& rect, int mode)
{
    if (!record) return;
    win::RECT box = rect;
    NormalizeRect(box);
    bool changed = false;
    if (!IsSchematicKind(record->kind) && record->plot) {
        // Plot objects of the current analysis, in pixels; thin ones are caught a little wider.
        const std::int16_t kind = static_cast<std::int16_t>(Analysis().analysisKind + 1);
        for (PlotObject& object : ListRecords<PlotObject>(record->plot->objects)) {
            if (object.analysisKind != kind) continue;
            changed |= RectsIntersectUpdateFlags(PlotObjectCatchRect(record, object), box, object.selection, mode);
        }
        if ((mode & kMarkRedraw) && changed) RedrawWindowParts(record, kRedrawObjectsOnly);
        return;
    }
    if (!record->document || !IsSchematicKind(record->kind)) return;
    CircuitDocument& document = *record->document;
    for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
        if (!OnCurrentPage(record, item.page) || item.hidden) continue;
        changed |= RectsIntersectUpdateFlags(ItemGridExtent(item), box, item.selection, mode);
    }
    for (GridText& text : ListRecords<GridText>(document.gridTextList)) {
        if (!OnCurrentPage(record, text.page)) continue;
        changed |= RectsIntersectUpdateFlags(win::RECT{text.x, text.y, text.x, text.y}, box, text.selection, mode);
    }
    if ((mode & kMarkRedraw) && (changed || !IsMarkRectUnset(record))) RepaintAfterEdit(record);
}

namespace {

int CopyMarkedItems(WindowRecord* record, int x, int y, int copyText, const win::RECT& box, int mirror)
{
    CircuitDocument& document = *record->document;
    const long dx = static_cast<long>(x) - box.left;
    const long dy = static_cast<long>(y) - box.top;
    const long cx = static_cast<long>(box.right) + x;
    const long cy = static_cast<long>(box.bottom) + y;
    ListNode* lastItem = document.itemList.tail;
    for (ListNode* node = document.itemList.head; node; node = node->next) {
        auto* item = static_cast<SchematicItem*>(node);
        if (OnCurrentPage(record, item->page) && (item->selection & kMarkInBox)) {
            auto* copy = ListAppendAs<SchematicItem>(document.itemList, kKindSchematicItem);
            if (!copy || CopyComponentItem(*copy, *item) != 0) {
                if (copy) ListRemove(document.itemList, copy);
                return kMsgInsufficientMemory;
            }
            copy->selection = kSelectNew;
            if (!PlaceCopy(*copy, *item, dx, dy, cx, cy, mirror)) {
                ListRemove(document.itemList, copy);
                ReportOutOfRange(record, item);
                return kMsgAlreadyReported;
            }
            const int type = ItemComponentType(copy);
            if (copy->IsComponent() && type >= 0 && FindAttribute(copy, kAttrPart)) {
                const NextPartName next = NextPartNumber(record, type);
                if (!SetAttribute(record, copy, kAttrPart, next.name)) return kMsgInsufficientMemory;
            }
        }
        if (node == lastItem) break;
    }
    if (!copyText) return 0;
    ListNode* lastText = document.gridTextList.tail;
    CopiedNodeNames names;
    for (ListNode* node = document.gridTextList.head; node; node = node->next) {
        auto* text = static_cast<GridText*>(node);
        if (OnCurrentPage(record, text->page) && (text->selection & kMarkInBox)) {
            long tx = text->x, ty = text->y;
            if (mirror == kDirectionHorizontal) tx = cx - tx;
            else if (mirror == kDirectionVertical) ty = cy - ty;
            else {
                tx += dx;
                ty += dy;
            }
            if (!OnSheet(tx, ty)) {
                ReportOutOfRange(record, nullptr);
                return kMsgAlreadyReported;
            }
            auto* copy = ListAppendAs<GridText>(document.gridTextList, kKindGridText);
            if (!copy || CopyItemFields(*copy, *text) != 0) {
                if (copy) ListRemove(document.gridTextList, copy);
                return kMsgInsufficientMemory;
            }
            copy->x = static_cast<std::int32_t>(tx);
            copy->y = static_cast<std::int32_t>(ty);
            copy->selection = kSelectNew;
            if (copy->IsFlag() || copy->IsValidLabel()) names.Rename(record, *copy);
        }
        if (node == lastText) break;
    }
    return 0;
}

}  // namespace

int CopyBoxItems(WindowRecord* record, int x, int y, int copyText, const win::RECT& box, int mirror)
{
    if (!record || !record->document) return 0;
    // Part numbers and names are texts too: any of them may find no memory. The caller undoes
    // the whole box edit then.
    try {
        return CopyMarkedItems(record, x, y, copyText, box, mirror);
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
}

static int StepBoxBody(WindowRecord* record, const StepBoxOptions& options)
{
    win::RECT box{};
    if (!CopyBox(record, box)) return 0;
    CircuitDocument& document = *record->document;
    const int direction = options.direction == 0 ? kDirectionHorizontal : options.direction;
    const long n = options.times == 0 ? 1 : options.times;
    const long w = box.right - box.left;
    const long h = box.bottom - box.top;
    const bool across = direction != kDirectionVertical;
    const bool down = direction != kDirectionHorizontal;
    // The last step must end on the sheet; refused before anything is copied.
    if (n < 0 || n > kMaxBoxSteps || (across && box.right + w * n > kSheetMax) || (down && box.bottom + h * n > kSheetMax)) {
        ReportOutOfRange(record, nullptr);
        return kMsgAlreadyReported;
    }
    if (BeginBoxEdit(record) != 0) return kMsgInsufficientMemory;
    BeginWaitCursor(record->window);
    MarkBoxToCopy(record, box);
    ListNode* itemTail = document.itemList.tail;
    ListNode* textTail = document.gridTextList.tail;
    const long total = direction == kDirectionBoth ? (n + 1) * (n + 1) - 1 : n;
    long done = 0;
    auto progress = [&](long steps) {
        done += steps;
        if (StatusBarShown())
            SetStatusText(StrPrintf("Copying %d%% complete.", static_cast<int>(std::lround(100.0 * done / total))));
    };
    int status = 0;
    if (direction == kDirectionBoth) {
        for (long k = 1; k <= n && status == 0; ++k) {
            status = CopyBoxItems(record, box.left, static_cast<int>(box.top + k * h), options.copyText, box, 0);
            progress(1);
        }
        // The column made so far is what the second phase repeats.
        if (status == 0) SelectAppended(document, itemTail, textTail, true);
        for (long k = 1; k <= n && status == 0; ++k) {
            status = CopyBoxItems(record, static_cast<int>(box.left + k * w), box.top, options.copyText,
                                  win::RECT{box.left, box.top, box.right, static_cast<win::LONG>(box.bottom + h * n)}, 0);
            progress(n + 1);
        }
    } else {
        for (long k = 1; k <= n && status == 0; ++k) {
            const int x = across ? static_cast<int>(box.left + k * w) : box.left;
            const int y = down ? static_cast<int>(box.top + k * h) : box.top;
            status = CopyBoxItems(record, x, y, options.copyText, box, 0);
            progress(1);
        }
    }
    EndWaitCursor();
    if (status != 0) return FinishBoxEdit(record, status);
    SelectAppended(document, itemTail, textTail, false);
    // Whatever was inside the box keeps only its selection state.
    for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) item.selection &= ~kMarkInBox;
    for (GridText& text : ListRecords<GridText>(document.gridTextList)) text.selection &= ~kMarkInBox;
    SelectAppended(document, itemTail, textTail, false);
    win::RECT grown = box;
    if (across) grown.right = static_cast<win::LONG>(grown.right + w * n);
    if (down) grown.bottom = static_cast<win::LONG>(grown.bottom + h * n);
    SetMarkRect(record, grown.left, grown.top, grown.right, grown.bottom);
    return FinishBoxEdit(record, 0);
}

static int MirrorBoxBody(WindowRecord* record, const MirrorBoxOptions& options)
{
    win::RECT box{};
    if (!CopyBox(record, box)) return 0;
    CircuitDocument& document = *record->document;
    const bool horizontal = options.direction != kDirectionVertical;
    const long w = box.right - box.left;
    const long h = box.bottom - box.top;
    if ((horizontal && box.right + w > kSheetMax) || (!horizontal && box.bottom + h > kSheetMax)) {
        ReportOutOfRange(record, nullptr);
        return kMsgAlreadyReported;
    }
    if (BeginBoxEdit(record) != 0) return kMsgInsufficientMemory;
    MarkBoxToCopy(record, box);
    ListNode* itemTail = document.itemList.tail;
    ListNode* textTail = document.gridTextList.tail;
    const int x = horizontal ? box.right : box.left;
    const int y = horizontal ? box.top : box.bottom;
    const int status = CopyBoxItems(record, x, y, options.copyText, box, horizontal ? kDirectionHorizontal : kDirectionVertical);
    if (status != 0) return FinishBoxEdit(record, status);
    for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) item.selection &= ~kMarkInBox;
    for (GridText& text : ListRecords<GridText>(document.gridTextList)) text.selection &= ~kMarkInBox;
    SelectAppended(document, itemTail, textTail, false);
    SetMarkRect(record, box.left, box.top, horizontal ? static_cast<int>(box.right + w) : box.right,
                horizontal ? box.bottom : static_cast<int>(box.bottom + h));
    return FinishBoxEdit(record, 0);
}

void StepBoxCommand(WindowRecord* record)
{
    win::RECT box{};
    if (!CopyBox(record, box)) return;
    StepBoxOptions& options = StepBoxSettings();
    if (options.direction == 0) options.direction = kDirectionHorizontal;
    if (options.times == 0) options.times = 1;
    BoxDialogData data{&options.direction, &options.copyText, &options.times};
    if (RunDialogParam(record->window, kStepBoxTemplate, &BoxDialogProc, reinterpret_cast<win::LPARAM>(&data)) != 1) return;
    StepBoxItems(record, options);
}

void MirrorBoxCommand(WindowRecord* record)
{
    win::RECT box{};
    if (!CopyBox(record, box)) return;
    MirrorBoxOptions& options = MirrorBoxSettings();
    BoxDialogData data{&options.direction, &options.copyText, nullptr};
    if (RunDialogParam(record->window, kMirrorBoxTemplate, &BoxDialogProc, reinterpret_cast<win::LPARAM>(&data)) != 1) return;
    MirrorBoxItems(record, options);
}

static int RotateBody(WindowRecord* record)
{
    win::RECT box{};
    if (!TurnBox(record, box)) return 0;
    const bool boxSet = !IsMarkRectUnset(record);
    const long hw = (box.right - box.left) / 2;
    const long hh = (box.bottom - box.top) / 2;
    const long cx = box.left + hw;
    const long cy = box.top + hh;
    const win::RECT turned{static_cast<win::LONG>(cx - hh), static_cast<win::LONG>(cy - hw),
                           static_cast<win::LONG>(cx + hh), static_cast<win::LONG>(cy + hw)};
    if (!OnSheet(turned.left, turned.top) || !OnSheet(turned.right, turned.bottom)) {
        ReportOutOfRange(record, nullptr);
        return kMsgAlreadyReported;
    }
    // The selection survives BeginBoxEdit: it only resets the undo state.
    if (BeginBoxEdit(record) != 0) return kMsgInsufficientMemory;
    CircuitDocument& document = *record->document;
    auto map = [&](std::int32_t& x, std::int32_t& y) {
        const long nx = turned.right - (box.bottom - y);
        const long ny = turned.top + (box.right - x);
        x = static_cast<std::int32_t>(nx);
        y = static_cast<std::int32_t>(ny);
    };
    for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
        if (!(item.selection & kSelected) || !OnCurrentPage(record, item.page)) continue;
        if (item.IsComponent()) {
            item.orientation = static_cast<OrientationCode>(QuarterTurnedOrientation(item.orientation));
            map(item.x1, item.y1);
        } else {
            map(item.x1, item.y1);
            map(item.x2, item.y2);
        }
        item.attributesChanged = 1;
    }
    for (GridText& text : ListRecords<GridText>(document.gridTextList))
        if ((text.selection & kSelected) && OnCurrentPage(record, text.page)) map(text.x, text.y);
    if (CheckItemsInBounds(record)) return FinishBoxEdit(record, kMsgAlreadyReported);
    if (boxSet) SetMarkRect(record, turned.left, turned.top, turned.right, turned.bottom);
    return FinishBoxEdit(record, 0);
}

static int FlipBody(WindowRecord* record, int flipX)
{
    win::RECT box{};
    if (!TurnBox(record, box)) return 0;
    const long s = flipX ? static_cast<long>(box.right) + box.left : static_cast<long>(box.bottom) + box.top;
    if (BeginBoxEdit(record) != 0) return kMsgInsufficientMemory;
    CircuitDocument& document = *record->document;
    win::HDC dc = win::GetDC(record->window);
    for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
        if (!(item.selection & kSelected) || !OnCurrentPage(record, item.page)) continue;
        if (item.IsComponent()) {
            item.orientation = static_cast<OrientationCode>(item.orientation ^ (flipX ? 6 : 4));
            for (ComponentAttribute& attribute : ListRecords<ComponentAttribute>(item.attributes)) {
                const win::RECT r = MeasureAttributeText(dc, item, attribute);
                if (flipX) attribute.textOffsetX = AttributeOffset(-(attribute.textOffsetX + (r.right - r.left)));
                else attribute.textOffsetY = AttributeOffset(-(attribute.textOffsetY + (r.bottom - r.top)));
            }
        }
        if (flipX) {
            item.x1 = static_cast<std::int32_t>(s - item.x1);
            if (!item.IsComponent()) item.x2 = static_cast<std::int32_t>(s - item.x2);
        } else {
            item.y1 = static_cast<std::int32_t>(s - item.y1);
            if (!item.IsComponent()) item.y2 = static_cast<std::int32_t>(s - item.y2);
        }
        if (item.itemKind == kItemGraphicObject) {
            std::swap(item.x1, item.x2);
            std::swap(item.y1, item.y2);
        }
        item.attributesChanged = 1;
    }
    win::ReleaseDC(record->window, dc);
    for (GridText& text : ListRecords<GridText>(document.gridTextList)) {
        if (!(text.selection & kSelected) || !OnCurrentPage(record, text.page)) continue;
        if (flipX) text.x = static_cast<std::int32_t>(s - text.x);
        else text.y = static_cast<std::int32_t>(s - text.y);
    }
    if (CheckItemsInBounds(record)) return FinishBoxEdit(record, kMsgAlreadyReported);
    return FinishBoxEdit(record, 0);
}

}  // namespace kq5

namespace kq5 {

int StepBoxItems(WindowRecord* record, const StepBoxOptions& options)
{
    return RunBoxEdit(record, [&] { return StepBoxBody(record, options); });
}

}  // namespace kq5

namespace kq5 {

int MirrorBoxItems(WindowRecord* record, const MirrorBoxOptions& options)
{
    return RunBoxEdit(record, [&] { return MirrorBoxBody(record, options); });
}

}  // namespace kq5

namespace kq5 {

int RotateSelection(WindowRecord* record)
{
    return RunBoxEdit(record, [&] { return RotateBody(record); });
}

}  // namespace kq5

namespace kq5 {

int FlipSelectedItems(WindowRecord* record, int flipX)
{
    return RunBoxEdit(record, [&] { return FlipBody(record, flipX); });
}

}  // namespace kq5
