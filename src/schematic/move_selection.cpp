#include "schematic/move_selection.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <new>
#include <tuple>

#include "ui/program_settings.h"
#include "ui/window_record.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/connectivity.h"
#include "document/document_windows.h"
#include "document/item_transfer.h"
#include "document/selection.h"
#include "platform/control_scrollbar.h"
#include "platform/gdi_clip.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/gdi_raster.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/win_messages.h"
#include "platform/window.h"
#include "document/component_definition.h"
#include "plots/plot_object_moves.h"
#include "schematic/edit_commands.h"
#include "document/editor_services.h"
#include "document/pane_scroll_bars.h"
#include "document/pane_seams.h"
#include "schematic/rewire.h"
#include "schematic/sheet_bounds.h"

namespace kq5 {

namespace {

// Selection bit of a wire that follows the selection: it must not move with the selected items.
constexpr std::uint8_t kDraggedWire = 0x40;

bool IsSchematicRecord(const WindowRecord* record) { return record && record->document && IsSchematicKind(record->kind); }

bool Selected(const SchematicItem& item, int page) { return (item.selection & kSelected) && item.page == page && !item.hidden; }

std::int32_t& EndX(SchematicItem& wire, int end) { return end ? wire.x2 : wire.x1; }
std::int32_t& EndY(SchematicItem& wire, int end) { return end ? wire.y2 : wire.y1; }

// Builds the rubber-band list; false when a record or its wire cannot be made.
bool BuildRubberBands(WindowRecord* record, MoveDragState& drag)
{
    CircuitDocument& document = *record->document;
    const int page = drag.page;
    struct PointInfo {
        int x, y;
        int fixedAxis;  // 0 none, 1 x kept, 2 y kept
    };
    std::vector<PointInfo> points;
    for (const SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
        if (!Selected(item, page)) continue;
        if (item.IsComponent()) {
            if (!item.definition) continue;
            for (int pin = 0; pin < ComponentPinCount(*item.definition); ++pin) {
                const win::POINT at = GetPinPosition(&item, pin);
                points.push_back({at.x, at.y, 0});
            }
        } else if (item.itemKind == kItemWire) {
            // An attached wire slides along the moved wire: at a vertical wire's end it keeps its
            // y, at any other wire's end its x.
            const int fixed = item.x1 == item.x2 ? 2 : 1;
            points.push_back({item.x1, item.y1, fixed});
            points.push_back({item.x2, item.y2, fixed});
        }
    }
    // Unselected pins and wire ends by point, looked up once per point.
    std::map<std::pair<int, int>, std::vector<std::pair<SchematicItem*, int>>> wireEnds;
    std::map<std::pair<int, int>, bool> pins;
    for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
        if ((item.selection & kSelected) || item.page != page || item.hidden) continue;
        if (item.itemKind == kItemWire) {
            wireEnds[{item.x1, item.y1}].push_back({&item, 0});
            if (item.x1 != item.x2 || item.y1 != item.y2) wireEnds[{item.x2, item.y2}].push_back({&item, 1});
        } else if (item.IsComponent() && item.definition) {
            for (int pin = 0; pin < ComponentPinCount(*item.definition); ++pin) {
                const win::POINT at = GetPinPosition(&item, pin);
                pins[{at.x, at.y}] = true;
            }
        }
    }
    // A node name that stays behind names its point as a pin does: a new wire keeps what moves
    // joined to it (a moved op-amp keeps its VCC and VEE).
    for (const GridText& text : ListRecords<GridText>(document.gridTextList))
        if (!(text.selection & kSelected) && text.page == page && IsNodeLabel(text)) pins[{text.x, text.y}] = true;
    std::map<std::pair<int, int>, bool> seen;
    for (const PointInfo& point : points) {
        if (seen[{point.x, point.y}]) continue;
        seen[{point.x, point.y}] = true;
        RubberBandEnd end;
        end.x = point.x;
        end.y = point.y;
        end.page = page;
        const auto found = wireEnds.find({point.x, point.y});
        const std::size_t count = found == wireEnds.end() ? 0 : found->second.size();
        if (pins.count({point.x, point.y}) || count > 1) {
            // A pin, or a junction of several wires, stays where it is; a new wire joins it.
            end.needsWire = 1;
        } else if (count == 1) {
            end.wire = found->second.front().first;
            end.movingEnd = found->second.front().second;
            end.xFixed = point.fixedAxis == 1;
            end.yFixed = point.fixedAxis == 2;
        } else {
            continue;
        }
        drag.ends.push_back(end);
    }
    for (RubberBandEnd& end : drag.ends) {
        if (!end.needsWire) continue;
        end.wire = NewWireItem(record, end.x, end.y, end.x, end.y, false);
        if (!end.wire) return false;
        end.wire->page = static_cast<std::int16_t>(page);
        end.movingEnd = 1;
    }
    for (RubberBandEnd& end : drag.ends) {
        end.savedSelection = end.wire->selection;
        end.wire->selection = kDraggedWire;
    }
    return true;
}

void RestoreRubberBands(MoveDragState& drag)
{
    // Restored newest first: a wire in two records gets back its byte from before the drag.
    for (auto end = drag.ends.rbegin(); end != drag.ends.rend(); ++end) end->wire->selection = end->savedSelection;
    drag.ends.clear();
}

// The offset that keeps every point of the selection on the sheet (left and top at least 1
// unless the selection already lies further out).
void ClampOffset(const SheetExtent& extent, long& dx, long& dy)
{
    if (extent.empty) return;
    const long minX = std::min(0L, 1 - extent.left);
    const long minY = std::min(0L, 1 - extent.top);
    const long maxX = std::max(0L, kSheetMax - extent.right);
    const long maxY = std::max(0L, kSheetMax - extent.bottom);
    dx = std::clamp(dx, minX, maxX);
    dy = std::clamp(dy, minY, maxY);
}

void OffsetMarkRect(WindowRecord* record, long dx, long dy)
{
    if (IsMarkRectUnset(record)) return;
    record->markRect.left += dx;
    record->markRect.right += dx;
    record->markRect.top += dy;
    record->markRect.bottom += dy;
}

void StepSchematic(WindowRecord* record, MoveDragState& drag, int x, int y)
{
    CircuitDocument& document = *record->document;
    long dx = static_cast<long>(x) - drag.last.x;
    long dy = static_cast<long>(y) - drag.last.y;
    if (drag.flags & kMovePlacedText) {
        ComponentAttribute* attribute = Documents().pickedAttribute;
        if (attribute && (dx || dy)) {
            attribute->textOffsetX = AttributeOffset(attribute->textOffsetX + dx * kDrawUnitsPerGrid);
            attribute->textOffsetY = AttributeOffset(attribute->textOffsetY + dy * kDrawUnitsPerGrid);
            if (Documents().pickedItem) RedrawListNode(record, Documents().pickedItem);
        }
        drag.last = {x, y};
        return;
    }
    ClampOffset(SelectionExtent(document, drag.page), dx, dy);
    if (dx == 0 && dy == 0) return;
    DrawMoveImage(record);
    TransferItems(record, static_cast<int>(dx), static_cast<int>(dy), 0, kTransferMove, kSelected);
    for (RubberBandEnd& end : drag.ends) {
        if (!end.xFixed) EndX(*end.wire, end.movingEnd) += static_cast<std::int32_t>(dx);
        if (!end.yFixed) EndY(*end.wire, end.movingEnd) += static_cast<std::int32_t>(dy);
    }
    OffsetMarkRect(record, dx, dy);
    drag.dx = dx;
    drag.dy = dy;
    drag.last.x += dx;
    drag.last.y += dy;
    DrawMoveImage(record);
}

void StepPlotObjects(WindowRecord* record, MoveDragState& drag, int x, int y)
{
    long dx = static_cast<long>(x) - drag.last.x;
    long dy = static_cast<long>(y) - drag.last.y;
    // The objects' top left stays inside the client area. (Their points are curve values; the
    // limits are pixels.)
    win::RECT bounds{};
    if (SelectedPlotObjectsBounds(record, bounds)) {
        dx = std::max(dx, 1L - bounds.left);
        dy = std::max(dy, 1L - bounds.top);
        if (record->window) {
            win::RECT client{};
            win::GetClientRect(record->window, &client);
            dx = std::min(dx, static_cast<long>(client.right) - bounds.left);
            dy = std::min(dy, static_cast<long>(client.bottom) - bounds.top);
        }
    }
    if (dx == 0 && dy == 0) return;
    TransferItems(record, static_cast<int>(dx), static_cast<int>(dy), 0, kTransferMove, kSelected);
    OffsetMarkRect(record, dx, dy);
    drag.last.x += dx;
    drag.last.y += dy;
    RedrawWindowParts(record, kRedrawObjectsOnly);
}

void TurnPoint(std::int32_t& x, std::int32_t& y, long px, long py)
{
    const long nx = px + (y - py);
    const long ny = py - (x - px);
    x = static_cast<std::int32_t>(nx);
    y = static_cast<std::int32_t>(ny);
}

}  // namespace

MoveDragState& MoveDrag()
{
    static MoveDragState drag;
    return drag;
}

void ResetMoveDragForTests() { MoveDrag() = MoveDragState{}; }

// The begin phase; a lack of memory anywhere in it ends the drag before it starts.
int BeginDrag(WindowRecord* record, int x, int y, int flags)
{
    MoveDragState& drag = MoveDrag();
    drag = MoveDragState{};
    drag.record = record;
    drag.flags = flags;
    drag.schematic = IsSchematicRecord(record);
    drag.rubberBand = drag.schematic && (flags & kMoveRubberBand) && !(flags & kMovePlacedText) &&
                      (Settings().operationalOptions & kOptionRubberbanding) != 0;
    if ((flags & kMoveRubberBand) && drag.schematic) {
        // A dragged attribute text is undone like any other move; the snapshot clears the
        // picked text, which the drag goes on moving.
        ComponentAttribute* attribute = Documents().pickedAttribute;
        SchematicItem* owner = Documents().pickedItem;
        if (BeginBoxEdit(record) != 0) {
            drag = MoveDragState{};
            return kMsgInsufficientMemory;
        }
        if (flags & kMovePlacedText) {
            Documents().pickedAttribute = attribute;
            Documents().pickedItem = owner;
        }
        drag.boxEdit = true;
    }
    if (drag.schematic) {
        drag.pane = record->document->currentPane;
        drag.page = PanePage(*record->document);
        // Without its rubber bands a drag would leave wires behind: it does not start.
        if (drag.rubberBand && !BuildRubberBands(record, drag)) throw std::bad_alloc();
    }
    drag.last = {x, y};
    drag.active = true;
    DrawMoveImage(record);
    return 0;
}

int MoveSelection(WindowRecord* record, int x, int y, unsigned keys, int phase, int flags)
{
    MoveDragState& drag = MoveDrag();
    if (!record) return 0;
    if (phase == kMoveBegin) {
        try {
            return BeginDrag(record, x, y, flags);
        } catch (const std::bad_alloc&) {
            for (RubberBandEnd& end : drag.ends)
                if (end.wire) end.wire->selection = end.savedSelection;
            drag.ends.clear();
            // The wires made for the rubber bands go with the rest of the edit.
            if (drag.boxEdit) AbandonBoxEdit(record);
            drag = MoveDragState{};
            ReportMessage("WE", record, kMsgInsufficientMemory);
            return kMsgInsufficientMemory;
        }
    }
    if (!drag.active || drag.record != record) return 0;
    if (phase == kMoveStep || phase == kMoveEnd) {
        if ((keys & kMouseRight) && !(keys & kMouseLeft) && phase == kMoveStep) {
            TurnMovingSelection(record, x, y);
        } else if (!(keys & kMouseLeft) && phase == kMoveStep) {
            return 0;
        }
        if (drag.schematic) StepSchematic(record, drag, x, y);
        else StepPlotObjects(record, drag, x, y);
    }
    if (phase != kMoveEnd) return 0;

    DrawMoveImage(record);
    if (drag.schematic && !(drag.flags & kMovePlacedText)) {
        CircuitDocument& document = *record->document;
        if ((Settings().operationalOptions & kOptionNodeSnap) && CountSelectedItems(record, kMaskItems | kMaskGridTexts) == 1) {
            ListNode* last = nullptr;
            if (CountSelectedItems(record, kMaskItems, &last) == 1 && last) {
                auto* item = static_cast<SchematicItem*>(last);
                if (item->IsComponent()) SnapComponentToPins(record, *item);
                else if (item->itemKind == kItemWire) SnapWireEnd(record, *item);
            }
        }
        CheckPageExtent(record, drag.page);
        RestoreRubberBands(drag);
        (void)document;
    }
    drag.active = false;
    drag.record = nullptr;
    RepaintAfterEdit(record);
    if (drag.schematic) CheckMoveBounds(record);
    return 0;
}

bool TurnMovingSelection(WindowRecord* record, int x, int y)
{
    if (!IsSchematicRecord(record)) return false;
    MoveDragState& drag = MoveDrag();
    CircuitDocument& document = *record->document;
    const int page = drag.active ? drag.page : PanePage(document);
    // First on copies: nothing turns when a point would leave the sheet.
    for (const SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
        if (!Selected(item, page)) continue;
        SchematicItem turned;
        turned.itemKind = item.itemKind;
        turned.definition = item.definition;
        turned.x1 = item.x1;
        turned.y1 = item.y1;
        turned.x2 = item.x2;
        turned.y2 = item.y2;
        TurnPoint(turned.x1, turned.y1, x, y);
        TurnPoint(turned.x2, turned.y2, x, y);
        turned.orientation = static_cast<OrientationCode>(QuarterTurnedOrientation(item.orientation));
        if (!ItemOnSheet(turned)) return false;
    }
    for (const GridText& text : ListRecords<GridText>(document.gridTextList)) {
        if (!(text.selection & kSelected) || text.page != page) continue;
        std::int32_t tx = text.x, ty = text.y;
        TurnPoint(tx, ty, x, y);
        if (!OnSheet(tx, ty)) return false;
    }
    if (drag.active) DrawMoveImage(record);
    for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
        if (!Selected(item, page)) continue;
        TurnPoint(item.x1, item.y1, x, y);
        if (item.IsComponent()) {
            item.orientation = static_cast<OrientationCode>(QuarterTurnedOrientation(item.orientation));
        } else {
            TurnPoint(item.x2, item.y2, x, y);
        }
        item.attributesChanged = 1;
    }
    for (GridText& text : ListRecords<GridText>(document.gridTextList))
        if ((text.selection & kSelected) && text.page == page) TurnPoint(text.x, text.y, x, y);
    // The wires that follow keep their ends on the turned points.
    for (RubberBandEnd& end : drag.ends) {
        TurnPoint(EndX(*end.wire, end.movingEnd), EndY(*end.wire, end.movingEnd), x, y);
        std::swap(end.xFixed, end.yFixed);
    }
    if (drag.active) DrawMoveImage(record);
    else RepaintAfterEdit(record);
    return true;
}

int CheckMoveBounds(WindowRecord* record) { return CheckItemsInBounds(record); }

std::vector<win::POINT> GetItemConnectionPoints(const SchematicItem& item)
{
    std::vector<win::POINT> points;
    if (item.IsComponent()) {
        if (item.definition)
            for (int pin = 0; pin < ComponentPinCount(*item.definition); ++pin) points.push_back(GetPinPosition(&item, pin));
        return points;
    }
    if (item.itemKind != kItemWire) return points;
    if (item.x1 != item.x2 && item.y1 != item.y2) return {{item.x1, item.y1}, {item.x2, item.y2}};
    const long dx = item.x2 - item.x1;
    const long dy = item.y2 - item.y1;
    const long steps = std::max(std::labs(dx), std::labs(dy));
    const int sx = dx > 0 ? 1 : dx < 0 ? -1 : 0;
    const int sy = dy > 0 ? 1 : dy < 0 ? -1 : 0;
    for (long k = 0; k <= steps; ++k)
        points.push_back({static_cast<win::LONG>(item.x1 + sx * k), static_cast<win::LONG>(item.y1 + sy * k)});
    return points;
}

bool FindNearestConnectionPoint(WindowRecord* record, win::POINT& point, const SchematicItem* except)
{
    if (!IsSchematicRecord(record)) return false;
    const int page = PanePage(*record->document);
    long best = 30000;
    bool found = false;
    win::POINT nearest = point;
    for (const SchematicItem& item : ListRecords<SchematicItem>(record->document->itemList)) {
        if (&item == except || item.page != page || item.hidden) continue;
        for (const win::POINT& p : GetItemConnectionPoints(item)) {
            const long dx = std::labs(static_cast<long>(p.x) - point.x);
            const long dy = std::labs(static_cast<long>(p.y) - point.y);
            if (dx <= 1 && dy <= 1 && dx + dy < best) {
                best = dx + dy;
                nearest = p;
                found = true;
            }
        }
    }
    point = nearest;
    return found;
}

void SnapComponentToPins(WindowRecord* record, SchematicItem& component)
{
    if (!IsSchematicRecord(record)) return;
    const int page = PanePage(*record->document);
    const std::vector<win::POINT> own = GetItemConnectionPoints(component);
    long best = 30000;
    long shiftX = 0, shiftY = 0;
    for (const SchematicItem& item : ListRecords<SchematicItem>(record->document->itemList)) {
        if (&item == &component || item.page != page || item.hidden) continue;
        for (const win::POINT& p : GetItemConnectionPoints(item)) {
            for (const win::POINT& q : own) {
                const long dx = static_cast<long>(p.x) - q.x;
                const long dy = static_cast<long>(p.y) - q.y;
                if (std::labs(dx) <= 1 && std::labs(dy) <= 1 && std::labs(dx) + std::labs(dy) < best) {
                    best = std::labs(dx) + std::labs(dy);
                    shiftX = dx;
                    shiftY = dy;
                }
            }
        }
    }
    if (best == 30000 || (shiftX == 0 && shiftY == 0)) return;
    component.x1 += static_cast<std::int32_t>(shiftX);
    component.y1 += static_cast<std::int32_t>(shiftY);
    if (!ItemOnSheet(component)) {
        component.x1 -= static_cast<std::int32_t>(shiftX);
        component.y1 -= static_cast<std::int32_t>(shiftY);
        return;
    }
    component.attributesChanged = 1;
}

void SnapWireEnd(WindowRecord* record, SchematicItem& wire)
{
    win::POINT end{wire.x2, wire.y2};
    if (!FindNearestConnectionPoint(record, end, &wire) || (end.x == wire.x2 && end.y == wire.y2)) return;
    RedrawNodeAlone(record, &wire, true);
    wire.x2 = end.x;
    wire.y2 = end.y;
    RedrawListNode(record, &wire);
}

void AutoScrollDuringDrag(WindowRecord* record, int x, int y, int pane)
{
    if (!record || !record->window) return;
    win::RECT rect{};
    GetPaneRect(record, pane, rect);
    if (rect.right <= rect.left || rect.bottom <= rect.top) return;
    // A line of the pane's own scroll bars, as a click on their arrows would scroll it.
    if (x < rect.left + 1) OnPaneScroll(record, pane, true, win::SB_LINELEFT, 0);
    else if (x >= rect.right - 1) OnPaneScroll(record, pane, true, win::SB_LINERIGHT, 0);
    if (y < rect.top + 1) OnPaneScroll(record, pane, false, win::SB_LINEUP, 0);
    else if (y >= rect.bottom - 1) OnPaneScroll(record, pane, false, win::SB_LINEDOWN, 0);
}

void DrawMoveImage(WindowRecord* record)
{
    MoveDragState& drag = MoveDrag();
    if (!record || !record->window || !IsSchematicRecord(record) || (drag.flags & kMovePlacedText)) return;
    win::HDC dc = win::GetDC(record->window);
    if (!dc) return;
    win::RECT pane{};
    GetPaneRect(record, drag.pane, pane);
    win::HRGN clip = win::CreateRectRgn(pane.left, pane.top, pane.right, pane.bottom);
    win::SelectClipRgn(dc, clip);
    const int oldRop = win::SetROP2(dc, win::R2_NOT);
    win::HGDIOBJ oldBrush = win::SelectObject(dc, win::GetStockObject(win::NULL_BRUSH));
    const CircuitDocument& document = *record->document;
    auto pixel = [&](long gx, long gy) { return GridToPaneClient(record, static_cast<int>(gx), static_cast<int>(gy), drag.pane); };
    auto line = [&](long x1, long y1, long x2, long y2) {
        const win::POINT a = pixel(x1, y1);
        const win::POINT b = pixel(x2, y2);
        win::MoveToEx(dc, a.x, a.y, nullptr);
        win::LineTo(dc, b.x, b.y);
    };
    for (const SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
        if (!Selected(item, drag.page)) continue;
        if (item.itemKind == kItemWire) {
            line(item.x1, item.y1, item.x2, item.y2);
            continue;
        }
        const win::RECT r = GetItemBounds(item);
        const win::POINT a = pixel(r.left / kDrawUnitsPerGrid, r.top / kDrawUnitsPerGrid);
        const win::POINT b = pixel(r.right / kDrawUnitsPerGrid, r.bottom / kDrawUnitsPerGrid);
        win::Rectangle(dc, a.x, a.y, b.x + 1, b.y + 1);
    }
    for (const RubberBandEnd& end : drag.ends) line(end.wire->x1, end.wire->y1, end.wire->x2, end.wire->y2);
    win::SelectObject(dc, oldBrush);
    win::SetROP2(dc, oldRop);
    win::SelectClipRgn(dc, nullptr);
    win::DeleteObject(clip);
    win::ReleaseDC(record->window, dc);
}

}  // namespace kq5
