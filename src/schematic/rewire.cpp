#include "schematic/rewire.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <new>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "ui/help_bar.h"
#include "ui/wait_cursor.h"
#include "ui/window_record.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/connectivity.h"
#include "document/document_windows.h"
#include "document/grid_text.h"
#include "document/schematic_item.h"
#include "schematic/box_operations_tracker.h"
#include "document/component_definition.h"
#include "document/editor_services.h"
#include "schematic/move_selection.h"

namespace kq5 {

namespace {

constexpr int kRewiringMessage = 17896;

// The work indexes of one rewiring. Columns and rows are looked up by value, so coordinates
// that a file stored out of range (even negative) never address memory outside the index.
class WireIndexes {
public:
    explicit WireIndexes(WindowRecord* record) : record_(record), document_(*record->document) {}

    // Deletes zero-length wires (with fresh) and lists the vertical and horizontal wires. The
    // item, when it is deleted here, is cleared.
    void Build(bool fresh, SchematicItem*& item)
    {
        vertical_.clear();
        horizontal_.clear();
        for (ListNode* node = document_.itemList.head; node != nullptr;) {
            auto* wire = static_cast<SchematicItem*>(node);
            if (fresh && wire->itemKind == kItemWire && wire->x1 == wire->x2 && wire->y1 == wire->y2) {
                if (wire == item) item = nullptr;
                node = RemoveNode(wire);
                continue;
            }
            Add(wire);
            node = node->next;
        }
    }

    void Add(SchematicItem* wire)
    {
        if (wire->itemKind != kItemWire || wire->hidden) return;
        if (wire->x1 == wire->x2 && wire->y1 != wire->y2) vertical_[wire->x1].push_back(wire);
        else if (wire->y1 == wire->y2 && wire->x1 != wire->x2) horizontal_[wire->y1].push_back(wire);
    }

    // The connection points: pins, both ends of every wire and node-name grid text anchors.
    void BuildPoints()
    {
        points_.clear();
        for (SchematicItem& item : ListRecords<SchematicItem>(document_.itemList)) {
            if (item.hidden) continue;
            if (item.itemKind == kItemWire) {
                ++points_[{item.x1, item.y1, item.page}];
                ++points_[{item.x2, item.y2, item.page}];
            } else if (item.IsComponent() && item.definition) {
                for (int pin = 0; pin < ComponentPinCount(*item.definition); ++pin) {
                    const win::POINT at = GetPinPosition(&item, pin);
                    ++points_[{at.x, at.y, item.page}];
                }
            }
        }
        for (GridText& text : ListRecords<GridText>(document_.gridTextList)) {
            if (IsNodeLabel(text)) ++points_[{text.x, text.y, text.page}];
        }
    }

    // At most two entries at the point: the two wire ends that meet there.
    bool IsFreeJoint(int x, int y, int page) const
    {
        const auto found = points_.find({x, y, page});
        return found == points_.end() || found->second <= 2;
    }

    // Splits every indexed wire other than except that passes strictly through the point.
    bool SplitAt(int x, int y, int page, const SchematicItem* except)
    {
        bool split = false;
        if (auto column = vertical_.find(x); column != vertical_.end()) {
            // The column grows while it is split; its new wires start at the point and are not
            // split at it again.
            for (std::size_t i = 0; i < column->second.size(); ++i) {
                SchematicItem* wire = column->second[i];
                if (!wire || wire == except || wire->page != page || !(wire->y1 < y && y < wire->y2)) continue;
                // The tail is made before the wire is shortened, so a failure loses no wire.
                SchematicItem* tail = MakeTail(*wire, x, y, x, wire->y2);
                if (!tail) return split;
                wire->y2 = y;
                column->second.push_back(tail);
                split = true;
            }
        }
        if (auto row = horizontal_.find(y); row != horizontal_.end()) {
            for (std::size_t i = 0; i < row->second.size(); ++i) {
                SchematicItem* wire = row->second[i];
                if (!wire || wire == except || wire->page != page || !(wire->x1 < x && x < wire->x2)) continue;
                SchematicItem* tail = MakeTail(*wire, x, y, wire->x2, y);
                if (!tail) return split;
                wire->x2 = x;
                row->second.push_back(tail);
                split = true;
            }
        }
        return split;
    }

    bool Merge(SchematicItem* only)
    {
        BuildPoints();
        bool merged = false;
        for (auto& [y, row] : horizontal_) merged |= MergeLine(row, only, false);
        for (auto& [x, column] : vertical_) merged |= MergeLine(column, only, true);
        return merged;
    }

private:
    using Slots = std::vector<SchematicItem*>;

    static std::int32_t& Start(SchematicItem& w, bool vertical) { return vertical ? w.y1 : w.x1; }
    static std::int32_t& End(SchematicItem& w, bool vertical) { return vertical ? w.y2 : w.x2; }

    bool MergeLine(Slots& line, SchematicItem* only, bool vertical)
    {
        if (line.size() < 2) return false;
        bool merged = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            SchematicItem* w = line[i];
            if (!w || (only && w != only)) continue;
            for (std::size_t j = 0; j < line.size(); ++j) {
                SchematicItem* v = line[j];
                if (!v || v == w || v->page != w->page) continue;
                SchematicItem* a = Start(*w, vertical) <= Start(*v, vertical) ? w : v;
                SchematicItem* b = a == w ? v : w;
                const int joint = End(*a, vertical);
                const int bStart = Start(*b, vertical);
                const bool touches = bStart == joint && (vertical ? IsFreeJoint(w->x1, joint, w->page)
                                                                   : IsFreeJoint(joint, w->y1, w->page));
                if (!(bStart < joint || touches)) continue;
                Start(*w, vertical) = std::min(Start(*w, vertical), Start(*v, vertical));
                End(*w, vertical) = std::max(End(*w, vertical), End(*v, vertical));
                // A wire lies in one line only: clearing its slot takes it out of the index.
                line[j] = nullptr;
                RemoveNode(v);
                merged = true;
            }
        }
        return merged;
    }

    ListNode* RemoveNode(SchematicItem* wire)
    {
        DocumentState& state = Documents();
        if (state.pickedItem == wire) {
            state.pickedItem = nullptr;
            state.pickedAttribute = nullptr;
        }
        return ListRemove(document_.itemList, wire);
    }

    SchematicItem* MakeTail(const SchematicItem& wire, int x1, int y1, int x2, int y2)
    {
        SchematicItem* tail = NewWireItem(record_, x1, y1, x2, y2, false);
        if (!tail) return nullptr;
        tail->selection = wire.selection;
        tail->page = wire.page;
        tail->color = wire.color;
        return tail;
    }

    WindowRecord* record_;
    CircuitDocument& document_;
    std::map<std::int32_t, Slots> vertical_;    // by x
    std::map<std::int32_t, Slots> horizontal_;  // by y
    std::map<std::tuple<std::int32_t, std::int32_t, int>, int> points_;
};

bool SplitAtItemPoints(WireIndexes& index, SchematicItem& item, bool everyPoint)
{
    bool split = false;
    if (item.IsComponent()) {
        if (!item.definition) return false;
        for (int pin = 0; pin < ComponentPinCount(*item.definition); ++pin) {
            const win::POINT at = GetPinPosition(&item, pin);
            split |= index.SplitAt(at.x, at.y, item.page, nullptr);
        }
        return split;
    }
    if (item.itemKind != kItemWire) return false;
    const bool diagonal = item.x1 != item.x2 && item.y1 != item.y2;
    if (!everyPoint || diagonal) {
        // Copies: the split may shorten nothing of this wire, but the ends are read once.
        const int x1 = item.x1, y1 = item.y1, x2 = item.x2, y2 = item.y2;
        split |= index.SplitAt(x1, y1, item.page, &item);
        split |= index.SplitAt(x2, y2, item.page, &item);
        return split;
    }
    const long dx = item.x2 - item.x1;
    const long dy = item.y2 - item.y1;
    const long steps = std::max(std::labs(dx), std::labs(dy));
    const int sx = dx > 0 ? 1 : dx < 0 ? -1 : 0;
    const int sy = dy > 0 ? 1 : dy < 0 ? -1 : 0;
    const int x1 = item.x1, y1 = item.y1;
    for (long k = 0; k <= steps; ++k)
        split |= index.SplitAt(static_cast<int>(x1 + sx * k), static_cast<int>(y1 + sy * k), item.page, &item);
    return split;
}

void OrientWires(CircuitDocument& document)
{
    for (SchematicItem& wire : ListRecords<SchematicItem>(document.itemList)) {
        if (wire.itemKind != kItemWire) continue;
        if ((wire.x1 == wire.x2 && wire.y1 > wire.y2) || (wire.y1 == wire.y2 && wire.x1 > wire.x2)) {
            std::swap(wire.x1, wire.x2);
            std::swap(wire.y1, wire.y2);
        }
    }
}

bool IsCircuitWindow(const WindowRecord* record)
{
    return record && record->document && record->kind == kWindowSchematic;
}

}  // namespace

SchematicItem* NewWireItem(WindowRecord* record, int x1, int y1, int x2, int y2, bool link)
{
    if (!record || !record->document) return nullptr;
    if (link && x1 == x2 && y1 == y2) return nullptr;
    SchematicItem* wire = NewSchematicItem(record);
    if (!wire) {
        ReportMessage("WE", record, kMsgInsufficientMemory);
        return nullptr;
    }
    wire->itemKind = kItemWire;
    wire->x1 = x1;
    wire->y1 = y1;
    wire->x2 = x2;
    wire->y2 = y2;
    wire->orientation = 0;
    wire->style = 0;
    wire->selection = link ? kSelected | kSelectNew : 0;
    if (link) {
        MarkModified(record);
        MarkNetlistStale(record);
        SetUndoKind(record, kUndoPlaceItems);
    }
    return wire;
}

bool RewireCircuit(WindowRecord* record, SchematicItem* item, bool everyPoint)
{
    if (!IsCircuitWindow(record)) return false;
    CircuitDocument& document = *record->document;
    BeginWaitCursor(record->window);
    const int previousMessage = HelpBarMessageId();
    ShowHelpBarMessage(&FrameHelpBar(), kRewiringMessage);

    OrientWires(document);
    WireIndexes index(record);
    const bool hadItem = item != nullptr;
    const bool itemIsWire = hadItem && item->itemKind == kItemWire;
    const bool itemIsComponent = hadItem && item->IsComponent();
    index.Build(true, item);
    bool changed = false;
    if (item) changed |= SplitAtItemPoints(index, *item, everyPoint);
    if (!hadItem || itemIsComponent || itemIsWire) {
        // New wires are appended while this runs; their ends lie on points already split.
        for (ListNode* node = document.itemList.head; node != nullptr; node = node->next) {
            auto* other = static_cast<SchematicItem*>(node);
            if (other != item && !other->hidden) changed |= SplitAtItemPoints(index, *other, false);
        }
        for (GridText& text : ListRecords<GridText>(document.gridTextList)) {
            if (IsNodeLabel(text)) changed |= index.SplitAt(text.x, text.y, text.page, nullptr);
        }
    }
    if (!hadItem || itemIsWire) changed |= index.Merge(item);

    if (changed) {
        ResetDrawRange(record);
        MarkModified(record);
    }
    ShowHelpBarMessage(&FrameHelpBar(), previousMessage);
    EndWaitCursor();
    return changed;
}

bool MergeCollinearWires(WindowRecord* record, SchematicItem* item)
{
    if (!IsCircuitWindow(record)) return false;
    WireIndexes index(record);
    SchematicItem* kept = item;
    index.Build(false, kept);
    const bool merged = index.Merge(item);
    if (merged) ResetDrawRange(record);
    return merged;
}

int RewireSchematic(WindowRecord* record, int /*mode*/, bool /*isOldGeneration*/)
{
    // A drag holds wires it moves (rubber bands, a reshaped wire): they must not be split or
    // joined under it. The end of the drag marks the netlist stale again.
    if (MoveDrag().active || Tracker().active) return 0;
    try {
        RewireCircuit(record, nullptr, false);
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    return 0;
}

}  // namespace kq5
