#include "document/item_transfer.h"

#include "core/analysis_state.h"
#include "ui/window_record.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/document_services.h"
#include "document/document_windows.h"
#include "document/part_numbering.h"
#include "document/component_types.h"
#include "results/curve_record.h"
#include "document/hit_test.h"
#include "document/component_definition.h"
#include "document/item_copies.h"

namespace kq5 {

namespace {

enum class Group { None, Clipboard, Document, Undo };

struct ListGroup {
    Group group = Group::None;
    LinkedList* items = nullptr;
    LinkedList* gridTexts = nullptr;
    LinkedList* objects = nullptr;
};

ListGroup ResolveGroup(WindowRecord* record, std::uint32_t flags, std::uint32_t clipboardBit, std::uint32_t documentBit,
                       std::uint32_t undoBit)
{
    ListGroup g;
    CircuitDocument* document = record->document.get();
    PlotRecord* plot = record->plot.get();
    DocumentServicesState& services = DocumentServices();
    if (flags & clipboardBit) {
        g = {Group::Clipboard, &services.clipboardItems, &services.clipboardGridTexts, &services.clipboardObjects};
    } else if (flags & documentBit) {
        g.group = Group::Document;
        if (document) {
            g.items = &document->itemList;
            g.gridTexts = &document->gridTextList;
        }
        if (plot) g.objects = &plot->objects;
    } else if (flags & undoBit) {
        g.group = Group::Undo;
        if (document) {
            g.items = &document->undoItemList;
            g.gridTexts = &document->undoGridTextList;
        }
        if (plot) g.objects = &plot->undoObjects;
    }
    return g;
}

struct Pass {
    WindowRecord* record;
    ListGroup source;
    ListGroup destination;
    int dx;
    int dy;
    int orientationDelta;
    std::uint32_t flags;
    std::uint8_t mask;
    int page;  // the page of the current pane
    bool movedBack;  // the clipboard's nodes were cut from this document

    bool Taken(std::uint8_t selection) const { return (flags & kTransferAll) || (selection & mask); }
    bool Copying(bool same) const { return !same || (flags & kTransferCopyInPlace); }
    // Arrival in the document from the document or the clipboard renames colliding names.
    bool Renames() const
    {
        return (source.group == Group::Document || source.group == Group::Clipboard) &&
               destination.group == Group::Document && !(flags & kTransferKeepNames);
    }
    bool TakesCurrentPage() const
    {
        return destination.group == Group::Document && source.group != Group::Undo && !(flags & kTransferKeepPages);
    }
};

void ReportOutOfMemory(WindowRecord* record) { ReportMessage("WE", record, kMsgInsufficientMemory); }

std::uint64_t clipboardGeneration = 0;

// Frees an item that leaves its list; the picked attribute must not outlive its component.
ListNode* RemoveItem(LinkedList& list, SchematicItem* item)
{
    DocumentState& state = Documents();
    if (state.pickedItem == item) {
        state.pickedItem = nullptr;
        state.pickedAttribute = nullptr;
    }
    return ListRemove(list, item);
}

// A pasted part whose name another component already has takes the next name of its letter.
void RenumberArrivedPart(WindowRecord* record, SchematicItem& copy)
{
    const int type = ItemComponentType(&copy);
    if (!copy.IsComponent() || type == kComponentTie || type < 0 || !FindAttribute(&copy, kAttrPart)) return;
    if (IsPartNameUsed(record, copy)) {
        const NextPartName next = NextPartNumber(record, type);
        SetAttribute(record, &copy, kAttrPart, next.name);
    } else {
        UpdatePartNumberMax(record, copy);
    }
}

void MoveItemInPlace(const Pass& pass, SchematicItem& item)
{
    item.x1 += pass.dx;
    item.y1 += pass.dy;
    item.x2 += pass.dx;
    item.y2 += pass.dy;
    if (pass.orientationDelta != 0) {
        item.orientation = static_cast<OrientationCode>(((item.orientation + pass.orientationDelta) % 8 + 8) % 8);
        PlaceAttributeTexts(pass.record, &item);
        item.attributesChanged = 1;
        if (item.definition) SetDefinitionOrientation(*item.definition, item.orientation);
    }
    if (pass.dx != 0 || pass.dy != 0) item.attributesChanged = 1;
}

int TransferItemList(const Pass& pass)
{
    LinkedList& source = *pass.source.items;
    LinkedList& destination = *pass.destination.items;
    const bool same = &source == &destination;
    const ListNode* lastOriginal = source.tail;
    int count = 0;
    for (ListNode* node = source.head; node != nullptr;) {
        auto* item = static_cast<SchematicItem*>(node);
        ListNode* next = node->next;
        const bool last = node == lastOriginal;
        const bool onPage = pass.source.group != Group::Document || (pass.flags & kTransferAllPages) ||
                            item->page == pass.page;
        if (onPage && pass.Taken(item->selection)) {
            ++count;
            if (pass.Copying(same)) {
                auto* copy = ListAppendAs<SchematicItem>(destination, kKindSchematicItem);
                if (copy == nullptr || CopyComponentItem(*copy, *item) != 0) {
                    if (copy) ListRemove(destination, copy);
                    ReportOutOfMemory(pass.record);
                    break;
                }
                if (same) item->selection = 0;
                copy->x1 += pass.dx;
                copy->y1 += pass.dy;
                copy->x2 += pass.dx;
                copy->y2 += pass.dy;
                if (pass.TakesCurrentPage()) copy->page = static_cast<std::int16_t>(pass.page);
                copy->selection |= kSelectNew;
                if (pass.Renames()) RenumberArrivedPart(pass.record, *copy);
                if (pass.flags & kTransferRemove) next = RemoveItem(source, item);
            } else if (pass.flags & kTransferRemove) {
                next = RemoveItem(source, item);
            } else {
                MoveItemInPlace(pass, *item);
            }
        }
        // Copies appended to the list being read are not visited again.
        if ((pass.flags & kTransferCopyInPlace) && last) break;
        node = next;
    }
    return count;
}

int TransferGridTextList(const Pass& pass)
{
    LinkedList& source = *pass.source.gridTexts;
    LinkedList& destination = *pass.destination.gridTexts;
    const bool same = &source == &destination;
    const ListNode* lastOriginal = source.tail;
    CopiedNodeNames names;
    int count = 0;
    for (ListNode* node = source.head; node != nullptr;) {
        auto* text = static_cast<GridText*>(node);
        ListNode* next = node->next;
        const bool last = node == lastOriginal;
        const bool onPage = pass.source.group != Group::Document || (pass.flags & kTransferAllPages) ||
                            text->page == pass.page;
        if (onPage && pass.Taken(text->selection)) {
            ++count;
            if (pass.Copying(same)) {
                auto* copy = ListAppendAs<GridText>(destination, kKindGridText);
                if (copy == nullptr || CopyItemFields(*copy, *text) != 0) {
                    if (copy) ListRemove(destination, copy);
                    ReportOutOfMemory(pass.record);
                    break;
                }
                if (same) text->selection = 0;
                copy->x += pass.dx;
                copy->y += pass.dy;
                if (pass.TakesCurrentPage()) copy->page = static_cast<std::int16_t>(pass.page);
                copy->selection |= kSelectNew;
                if (pass.Renames() && !pass.movedBack && (copy->flags & (kGridTextIsFlag | kGridTextValidLabel)))
                    names.Rename(pass.record, *copy);
                if (pass.flags & kTransferRemove) next = ListRemove(source, node);
            } else if (pass.flags & kTransferRemove) {
                next = ListRemove(source, node);
            } else {
                text->x += pass.dx;
                text->y += pass.dy;
            }
        }
        if ((pass.flags & kTransferCopyInPlace) && last) break;
        node = next;
    }
    return count;
}

bool IsDimensionKind(std::uint16_t kind)
{
    return kind == kObjectMeasureV || kind == kObjectTag || kind == kObjectMeasureH;
}

void MoveObjectInPlace(const Pass& pass, PlotObject& object)
{
    // Without the plots an object has no pixels to move by.
    const PlotObjectHooks& plots = PlotObjectCalls();
    if (!plots.pixelRect || !plots.setPointsFromPixels || !plots.setDimensionLineFromPixel || !plots.dimensionLinePixel ||
        !plots.snapToCurves)
        return;
    win::RECT pixels = plots.pixelRect(pass.record, object);
    pixels.left += pass.dx;
    pixels.right += pass.dx;
    pixels.top += pass.dy;
    pixels.bottom += pass.dy;
    plots.setPointsFromPixels(pass.record, object, pixels);
    const std::uint16_t kind = object.style & kStyleKindMask;
    if (kind == kObjectMeasureH)
        plots.setDimensionLineFromPixel(pass.record, object, plots.dimensionLinePixel(pass.record, object) + pass.dy);
    if (kind == kObjectMeasureV)
        plots.setDimensionLineFromPixel(pass.record, object, plots.dimensionLinePixel(pass.record, object) + pass.dx);
    plots.snapToCurves(pass.record, object, pixels);
}

int TransferObjectList(const Pass& pass)
{
    LinkedList& source = *pass.source.objects;
    LinkedList& destination = *pass.destination.objects;
    const bool same = &source == &destination;
    const ListNode* lastOriginal = source.tail;
    const int kind = pass.record->kind;
    const int targetPlot = (pass.destination.group == Group::Clipboard || kind == kWindowMonteCarlo || kind == kWindow3D)
                               ? -1
                               : PlotObjectCalls().findPlotAtPoint ? PlotObjectCalls().findPlotAtPoint(pass.record, pass.dx, pass.dy)
                                                                   : -1;
    const std::int16_t currentKind = static_cast<std::int16_t>(Analysis().analysisKind + 1);
    const bool anyKind = pass.source.group == Group::Clipboard || pass.source.group == Group::Undo;
    int count = 0;
    for (ListNode* node = source.head; node != nullptr;) {
        auto* object = static_cast<PlotObject*>(node);
        ListNode* next = node->next;
        const bool last = node == lastOriginal;
        if (pass.Taken(object->selection)) {
            ++count;
            if (pass.Copying(same)) {
                const bool placeless = targetPlot < 0 && !(pass.flags & (kTransferFromUndo | kTransferToClipboard |
                                                                          kTransferToUndo | kTransferCopyInPlace));
                const bool skipped = (placeless && IsDimensionKind(object->style & kStyleKindMask)) ||
                                     (!anyKind && object->analysisKind != currentKind);
                if (!skipped) {
                    auto* copy = ListAppendAs<PlotObject>(destination, kKindPlotObject);
                    if (copy == nullptr) {
                        ReportOutOfMemory(pass.record);
                        break;
                    }
                    const bool keepsPlot =
                        (pass.flags & (kTransferFromUndo | kTransferToUndo | kTransferCopyInPlace)) != 0;
                    const int plot = keepsPlot ? object->w2 : targetPlot;
                    if (PlotObjectCalls().offsetItemRect) {
                        PlotObjectCalls().offsetItemRect(pass.record, *copy, *object, pass.dx, pass.dy, plot);
                    } else {
                        // Without the plots the copy keeps its place.
                        ListNode* link = copy->next;
                        const std::uint16_t nodeKind = copy->kind;
                        *copy = *object;
                        copy->next = link;
                        copy->kind = nodeKind;
                        copy->w2 = plot;
                    }
                    copy->analysisKind = currentKind;
                    if (same) object->selection = 0;
                    if (pass.flags & kTransferRemove) next = ListRemove(source, node);
                }
            } else if (object->analysisKind == currentKind) {
                if (pass.flags & kTransferRemove)
                    next = ListRemove(source, node);
                else
                    MoveObjectInPlace(pass, *object);
            }
        }
        if ((pass.flags & kTransferCopyInPlace) && last) break;
        node = next;
    }
    return count;
}

}  // namespace

int TransferItems(WindowRecord* record, int dx, int dy, int orientationDelta, std::uint32_t flags,
                  std::uint8_t selectionMask)
{
    if (record == nullptr) return 0;
    Pass pass{record,
              ResolveGroup(record, flags, kTransferFromClipboard, kTransferFromDocument, kTransferFromUndo),
              ResolveGroup(record, flags, kTransferToClipboard, kTransferToDocument, kTransferToUndo),
              dx,
              dy,
              orientationDelta,
              flags,
              selectionMask,
              record->document ? PanePage(*record->document) : 0,
              record->document && DocumentServices().clipboardCutFrom == record->document.get()};
    const bool schematic = IsSchematicKind(record->kind) && record->document;
    const bool objects = !schematic && (record->flags & kRecordHoldsPlotObjects);
    if (flags & kTransferEmptyDest) {
        if (schematic) {
            if (pass.destination.items) ListClear(*pass.destination.items);
            if (pass.destination.gridTexts) ListClear(*pass.destination.gridTexts);
        } else if (pass.destination.objects) {
            ListClear(*pass.destination.objects);
        }
    }
    int count = 0;
    if (schematic && pass.source.items && pass.destination.items) count += TransferItemList(pass);
    if (schematic && pass.source.gridTexts && pass.destination.gridTexts) count += TransferGridTextList(pass);
    if (objects && pass.source.objects && pass.destination.objects) count += TransferObjectList(pass);
    if (pass.destination.group == Group::Clipboard) ++clipboardGeneration;
    if (schematic && pass.destination.group == Group::Clipboard) {
        const bool cut = (flags & kTransferRemove) && pass.source.group == Group::Document;
        DocumentServices().clipboardCutFrom = cut ? record->document.get() : nullptr;
    }
    // What was cut is back in the drawing after one paste; a further paste is a copy, whose
    // labels must not join it to the first.
    if (schematic && count > 0 && pass.source.group == Group::Clipboard && pass.destination.group == Group::Document)
        DocumentServices().clipboardCutFrom = nullptr;
    // The draw range must not point at nodes that have gone.
    if (schematic && ((flags & kTransferRemove) || (flags & kTransferEmptyDest))) ResetDrawRange(record);
    return count;
}

std::uint64_t ClipboardGeneration() { return clipboardGeneration; }

}  // namespace kq5
