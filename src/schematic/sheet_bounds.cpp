#include "schematic/sheet_bounds.h"

#include <algorithm>

#include "ui/window_record.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/connectivity.h"
#include "document/grid_text.h"
#include "document/schematic_item.h"
#include "document/component_definition.h"

namespace kq5 {

std::vector<win::POINT> ItemPoints(const SchematicItem& item)
{
    std::vector<win::POINT> points{{item.x1, item.y1}};
    if (item.IsComponent()) {
        if (item.definition) {
            // Pins are computed in full width here: a pin off the sheet must not wrap onto it.
            for (const DefinitionPin& pin : item.definition->pins) {
                const win::POINT turned = TransformByOrientation(item.orientation, pin.dx, pin.dy);
                points.push_back({item.x1 + turned.x, item.y1 + turned.y});
            }
        }
    } else {
        points.push_back({item.x2, item.y2});
    }
    return points;
}

bool ItemOnSheet(const SchematicItem& item)
{
    const std::vector<win::POINT> points = ItemPoints(item);
    return std::all_of(points.begin(), points.end(), [](const win::POINT& p) { return OnSheet(p.x, p.y); });
}

void SheetExtent::Take(long x, long y)
{
    if (empty) {
        *this = {false, x, y, x, y};
        return;
    }
    left = std::min(left, x);
    top = std::min(top, y);
    right = std::max(right, x);
    bottom = std::max(bottom, y);
}

SheetExtent ListsExtent(const LinkedList& items, const LinkedList& gridTexts)
{
    SheetExtent extent;
    for (const SchematicItem& item : ListRecords<SchematicItem>(items))
        for (const win::POINT& p : ItemPoints(item)) extent.Take(p.x, p.y);
    for (const GridText& text : ListRecords<GridText>(gridTexts)) extent.Take(text.x, text.y);
    return extent;
}

SheetExtent SelectionExtent(const CircuitDocument& document, int page)
{
    SheetExtent extent;
    for (const SchematicItem& item : ListRecords<SchematicItem>(document.itemList))
        if ((item.selection & kSelected) && item.page == page && !item.hidden)
            for (const win::POINT& p : ItemPoints(item)) extent.Take(p.x, p.y);
    for (const GridText& text : ListRecords<GridText>(document.gridTextList))
        if ((text.selection & kSelected) && text.page == page) extent.Take(text.x, text.y);
    return extent;
}

int CheckItemsInBounds(WindowRecord* record)
{
    if (!record || !record->document) return 0;
    const CircuitDocument& document = *record->document;
    bool off = false;
    for (const SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) off = off || !ItemOnSheet(item);
    for (const GridText& text : ListRecords<GridText>(document.gridTextList)) off = off || !OnSheet(text.x, text.y);
    if (!off) return 0;
    ReportMessage("WE", record, kMsgMoveOutOfBounds);
    return 1;
}

}  // namespace kq5
