#include "document/hit_test.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <utility>

#include "core/analysis_state.h"
#include "ui/wait_cursor.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/document_windows.h"
#include "document/grid_text.h"
#include "document/schematic_item.h"
#include "document/selection.h"
#include "platform/paint.h"
#include "results/curve_record.h"
#include "results/plot_object.h"
#include "document/editor_services.h"
#include "document/pane_seams.h"

namespace kq5 {

namespace {

constexpr int kLineReach = 3;   // half the side of the square a line point catches
constexpr int kEdgeStrip = 4;   // width of the edge strips of an unfilled rectangle

bool InRect(const win::RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// Steps along the line point by point (one unit along its longer axis) and tests the square
// around each point.
bool NearLine(long ax, long ay, long bx, long by, int x, int y)
{
    const long dx = bx - ax;
    const long dy = by - ay;
    const long steps = std::max(std::labs(dx), std::labs(dy));
    for (long i = 0; i <= steps; ++i) {
        const long px = steps ? ax + (dx * i + (dx >= 0 ? steps : -steps) / 2) / steps : ax;
        const long py = steps ? ay + (dy * i + (dy >= 0 ? steps : -steps) / 2) / steps : ay;
        if (x >= px - kLineReach && x < px + kLineReach && y >= py - kLineReach && y < py + kLineReach) return true;
    }
    return false;
}

bool HitsSegment(const SchematicItem& item, int x, int y)
{
    const win::RECT r = ItemRectToDrawUnits(item);
    if (r.left == r.right || r.top == r.bottom) return true;  // straight: the bounds are the line
    return NearLine(r.left, r.top, r.right, r.bottom, x, y);
}

bool HitsRectangle(const SchematicItem& item, const win::RECT& bounds, int x, int y)
{
    if (item.style & kStyleFill) return true;
    return x < bounds.left + kEdgeStrip || x >= bounds.right - kEdgeStrip || y < bounds.top + kEdgeStrip ||
           y >= bounds.bottom - kEdgeStrip;
}

bool HitsDiamond(const SchematicItem& item, int x, int y)
{
    win::RECT r = ItemRectToDrawUnits(item);
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    const long cx = (static_cast<long>(r.left) + r.right) / 2;
    const long cy = (static_cast<long>(r.top) + r.bottom) / 2;
    const std::array<std::pair<long, long>, 4> corners = {
        std::pair<long, long>{cx, r.top}, {r.right, cy}, {cx, r.bottom}, {r.left, cy}};
    if (item.style & kStyleFill) {
        // Inside when the point lies on the same side of all four edges.
        int sign = 0;
        for (std::size_t i = 0; i < corners.size(); ++i) {
            const auto [ax, ay] = corners[i];
            const auto [bx, by] = corners[(i + 1) % corners.size()];
            const long long cross = static_cast<long long>(bx - ax) * (y - ay) - static_cast<long long>(by - ay) * (x - ax);
            if (cross == 0) continue;
            const int side = cross > 0 ? 1 : -1;
            if (sign != 0 && side != sign) return false;
            sign = side;
        }
        return true;
    }
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const auto [ax, ay] = corners[i];
        const auto [bx, by] = corners[(i + 1) % corners.size()];
        if (NearLine(ax, ay, bx, by, x, y)) return true;
    }
    return false;
}

}  // namespace

bool HitTestItem(const SchematicItem& item, int x, int y)
{
    if (item.hidden) return false;
    const win::RECT bounds = GetItemBounds(item);
    if (!InRect(bounds, x, y)) return false;
    switch (item.itemKind) {
    case kItemComponent: return true;
    case kItemWire: return HitsSegment(item, x, y);
    default: break;
    }
    switch (item.ObjectKind()) {
    case kObjectLine: return HitsSegment(item, x, y);
    case kObjectRectangle: return HitsRectangle(item, bounds, x, y);
    case kObjectDiamond: return HitsDiamond(item, x, y);
    default: return true;
    }
}

namespace {

constexpr int kHandleTolerance = 4;
constexpr std::uint16_t kAttrShown = kAttrShowName | kAttrShowValue;

// A device context to measure texts in, released at the end of the search.
class MeasuringDc {
public:
    explicit MeasuringDc(WindowRecord* record) : window_(record ? record->window : nullptr), dc_(win::GetDC(window_)) {}
    ~MeasuringDc()
    {
        if (dc_) win::ReleaseDC(window_, dc_);
    }
    MeasuringDc(const MeasuringDc&) = delete;
    MeasuringDc& operator=(const MeasuringDc&) = delete;
    win::HDC Get() const { return dc_; }

private:
    win::HWND window_;
    win::HDC dc_;
};

bool Inside(const win::RECT& r, long x, long y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

bool InsideMarkRect(const WindowRecord* record, long gx, long gy)
{
    if (IsMarkRectUnset(record)) return false;
    win::RECT box = record->markRect;
    NormalizeRect(box);
    return gx >= box.left && gx <= box.right && gy >= box.top && gy <= box.bottom;
}

int HandleMaskOf(const SchematicItem& item)
{
    if (item.itemKind == kItemWire || item.ObjectKind() == kObjectLine) return kHandleMaskEnds;
    if (item.ObjectKind() == kObjectDiamond) return kHandleMaskEdges;
    return kHandleMaskAll;
}

ListNode* FindInSchematic(WindowRecord* record, std::uint8_t** selection, int* handle, int x, int y, int mode)
{
    CircuitDocument& document = *record->document;
    const int pane = PaneAtPoint(record, x, y);
    if (pane < 0) return nullptr;
    const int page = PanePage(document, pane);
    const win::POINT grid = PaneClientToGrid(record, x, y, pane);
    const long dx = static_cast<long>(grid.x) * kDrawUnitsPerGrid;
    const long dy = static_cast<long>(grid.y) * kDrawUnitsPerGrid;
    DocumentState& picked = Documents();
    MeasuringDc dc(record);
    const bool attributesShown = (mode & kPickAttributes) && (document.viewOptions & kViewAttributeText) &&
                                 !InsideMarkRect(record, grid.x, grid.y);
    SchematicItem* found = nullptr;
    int foundHandle = 0;
    bool picture = false;
    for (int pass = 0; pass < 2 && !picture; ++pass) {
        for (SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
            if (item.page != page || item.hidden) continue;
            if (pass == 0 && !(item.itemKind == kItemGraphicObject && item.ObjectKind() == kObjectPicture)) continue;
            if (handle) {
                if (!(item.selection & kSelected) || item.IsComponent()) continue;
                const win::POINT a = GridToPaneClient(record, item.x1, item.y1, pane);
                const win::POINT b = GridToPaneClient(record, item.x2, item.y2, pane);
                const int code = HitTestRectHandles(win::RECT{a.x, a.y, b.x, b.y}, {x, y}, kHandleTolerance, HandleMaskOf(item));
                if (code) {
                    found = &item;
                    foundHandle = code;
                }
                continue;
            }
            if ((mode & kPickSelectedOnly) && !(item.selection & kSelected) && picked.pickedItem != &item) continue;
            if (attributesShown && item.IsComponent()) {
                for (ComponentAttribute& attribute : ListRecords<ComponentAttribute>(item.attributes)) {
                    if (!(attribute.display & kAttrShown)) continue;
                    win::RECT r = attribute.DisplayRect();
                    if (r.right <= r.left && dc.Get()) r = MeasureAttributeText(dc.Get(), item, attribute);
                    if (!Inside(r, dx, dy)) continue;
                    if (picked.pickedAttribute != &attribute) SchematicEditor().attributeSelection = 0;
                    picked.pickedItem = &item;
                    picked.pickedAttribute = &attribute;
                    if (selection) *selection = &SchematicEditor().attributeSelection;
                    return &attribute;
                }
            }
            const bool counts = item.itemKind == kItemWire || item.itemKind == kItemGraphicObject ||
                                (item.IsComponent() && item.definition);
            if (!counts) continue;
            if ((mode & kPickNoObjects) && item.itemKind == kItemGraphicObject) continue;
            if ((mode & kPickComponentsOnly) && !item.IsComponent()) continue;
            if (HitTestItem(item, static_cast<int>(dx), static_cast<int>(dy))) found = &item;
        }
        // A picture under the point wins over everything drawn on it.
        picture = pass == 0 && found;
    }
    ListNode* result = found;
    std::uint8_t* byte = found ? &found->selection : nullptr;
    if (!handle && !picture && (document.viewOptions & kViewGridText)) {
        if (GridText* text = PageGridTextAtPoint(record, document.gridTextList, page, static_cast<int>(dx),
                                                 static_cast<int>(dy), mode)) {
            result = text;
            byte = &text->selection;
        }
    }
    if (handle) *handle = result ? foundHandle : 0;
    if (selection) *selection = byte;
    return result;
}

ListNode* FindInPlotObjects(WindowRecord* record, std::uint8_t** selection, int* handle, int x, int y, int mode)
{
    if (!record->plot) return nullptr;
    const int plot = PlotObjectCalls().findPlotAtPoint ? PlotObjectCalls().findPlotAtPoint(record, x, y) : -1;
    const std::int16_t kind = static_cast<std::int16_t>(Analysis().analysisKind + 1);
    PlotObject* found = nullptr;
    int foundHandle = 0;
    for (PlotObject& object : ListRecords<PlotObject>(record->plot->objects)) {
        if (object.analysisKind != kind || (plot >= 0 && object.w2 != plot && object.w >= 0)) continue;
        const std::uint16_t objectKind = object.style & kStyleKindMask;
        win::RECT r = PlotObjectCalls().pixelRect ? PlotObjectCalls().pixelRect(record, object) : win::RECT{};
        if (handle) {
            if (!(object.selection & kSelected) || objectKind == kObjectText) continue;
            int code = 0;
            if (objectKind == kObjectLine || objectKind == kObjectTag) {
                if (PointNearPoint({x, y}, {r.left, r.top}, kHandleTolerance)) code = 0x500;
                else if (PointNearPoint({x, y}, {r.right, r.bottom}, kHandleTolerance)) code = 0xA00;
            } else if (objectKind == kObjectMeasureH || objectKind == kObjectMeasureV) {
                code = HitTestRectHandles(r, {x, y}, kHandleTolerance, kHandleMaskEnds);
                const int line = PlotObjectCalls().dimensionLinePixel ? PlotObjectCalls().dimensionLinePixel(record, object) : 0;
                const win::POINT at = objectKind == kObjectMeasureH ? win::POINT{x, line} : win::POINT{line, y};
                if (!code && PointNearPoint({x, y}, at, kHandleTolerance)) code = kHandleSpecial;
            } else {
                code = HitTestRectHandles(r, {x, y}, kHandleTolerance, kHandleMaskAll);
            }
            if (code) {
                found = &object;
                foundHandle = code;
            }
            continue;
        }
        if ((mode & kPickSelectedOnly) && !(object.selection & kSelected)) continue;
        r = PlotObjectCatchRect(record, object);
        if (x >= r.left && x <= r.right && y >= r.top && y <= r.bottom) found = &object;
    }
    if (handle) *handle = found ? foundHandle : 0;
    if (selection) *selection = found ? &found->selection : nullptr;
    return found;
}

}  // namespace

win::RECT PlotObjectCatchRect(WindowRecord* record, const PlotObject& object)
{
    win::RECT r = PlotObjectCalls().bounds ? PlotObjectCalls().bounds(record, object) : win::RECT{};
    if ((object.style & kStyleKindMask) == 0) return r;
    // Small objects are caught a few pixels around.
    if (r.right - r.left < 4) {
        r.left -= 4;
        r.right += 4;
    }
    if (r.bottom - r.top < 4) {
        r.top -= 4;
        r.bottom += 4;
    }
    return r;
}

ListNode* FindObjectAtPoint(WindowRecord* record, std::uint8_t** selection, int* handle, int x, int y, int mode)
{
    if (selection) *selection = nullptr;
    if (handle) *handle = 0;
    if (!record) return nullptr;
    ListNode* found = nullptr;
    if (IsSchematicKind(record->kind) && record->document) found = FindInSchematic(record, selection, handle, x, y, mode);
    if (!found && (record->flags & kRecordHoldsPlotObjects)) found = FindInPlotObjects(record, selection, handle, x, y, mode);
    return found;
}

ListNode* PickObjectAtPoint(WindowRecord* record, std::uint8_t** selection, int* handle, int x, int y, int mode)
{
    BeginWaitCursor(record ? record->window : nullptr);
    ListNode* found = FindObjectAtPoint(record, selection, handle, x, y, mode);
    EndWaitCursor();
    return found;
}

GridText* PageGridTextAtPoint(WindowRecord* record, const LinkedList& texts, int page, int x, int y, int mode)
{
    MeasuringDc dc(record);
    for (GridText& text : ListRecords<GridText>(texts)) {
        if (text.page != page) continue;
        if ((mode & kPickSelectedOnly) && !(text.selection & kSelected)) continue;
        win::RECT r{};
        if (dc.Get()) r = GridTextBounds(dc.Get(), text);
        if (r.right <= r.left) {
            // Without a device to measure in, a text is caught on its anchor's grid square.
            r = win::RECT{text.x * kDrawUnitsPerGrid - 4, text.y * kDrawUnitsPerGrid - 4, text.x * kDrawUnitsPerGrid + 4,
                          text.y * kDrawUnitsPerGrid + 4};
        }
        if (Inside(r, x, y)) return &text;
    }
    return nullptr;
}

int IsBoxShapedObjectKind(std::uint16_t kind)
{
    switch (kind & kStyleKindMask) {
    case kObjectEllipse:
    case kObjectRectangle:
    case kObjectDiamond:
    case kObjectPicture: return 0x8000;
    default: return 0;
    }
}

KindDefaults& GraphicKindDefaults()
{
    static KindDefaults defaults;
    return defaults;
}

void ResetKindDefaultColors() { GraphicKindDefaults().Reset(); }

std::uint16_t ApplyKindDefaultStyle(std::uint16_t kind)
{
    const int nibble = (kind >> 8) & 0xF;
    const std::uint16_t style = GraphicKindDefaults().style[nibble];
    return style != 0 ? static_cast<std::uint16_t>((kind & kStyleKindMask) | style) : kind;
}

void ApplyGraphicObjectDefaultColors(const CircuitDocument& document, SchematicItem& object)
{
    const int nibble = (object.style >> 8) & 0xF;
    const KindDefaults& defaults = GraphicKindDefaults();
    const int current = document.circuitObjectFont.color;
    object.color = static_cast<std::uint8_t>(defaults.color[nibble] >= 0 ? defaults.color[nibble] : current);
    object.fillColor = static_cast<std::uint8_t>(defaults.fillColor[nibble] >= 0 ? defaults.fillColor[nibble] : current);
}

void ApplyPlotObjectDefaultColors(int plotColor, PlotObject& object)
{
    const int nibble = (object.style >> 8) & 0xF;
    const KindDefaults& defaults = GraphicKindDefaults();
    object.color = static_cast<std::uint8_t>(defaults.color[nibble] >= 0 ? defaults.color[nibble] : plotColor);
    object.fillColor = static_cast<std::uint8_t>(defaults.fillColor[nibble] >= 0 ? defaults.fillColor[nibble] : plotColor);
}

void NormalizeRect(win::RECT& rect)
{
    if (rect.left > rect.right) std::swap(rect.left, rect.right);
    if (rect.top > rect.bottom) std::swap(rect.top, rect.bottom);
}

void NormalizePoints(win::POINT& a, win::POINT& b)
{
    if (a.x > b.x) std::swap(a.x, b.x);
    if (a.y > b.y) std::swap(a.y, b.y);
}

int PointNearPoint(win::POINT point, win::POINT centre, int tolerance)
{
    if (point.x == centre.x && point.y == centre.y) return 1;
    return point.x >= centre.x - tolerance && point.x < centre.x + tolerance && point.y >= centre.y - tolerance &&
                   point.y < centre.y + tolerance
               ? 1
               : 0;
}

int HitTestRectHandles(const win::RECT& r, win::POINT point, int tolerance, int mask)
{
    const long mx = r.left + (r.right - r.left) / 2;
    const long my = r.top + (r.bottom - r.top) / 2;
    struct Handle {
        int bit;
        long x, y;
        int code;
    };
    const Handle handles[] = {
        {0x01, r.left, r.top, 0x500},   {0x08, mx, r.top, 0x400},     {0x20, r.right, r.top, 0x600},
        {0x40, r.right, my, 0x200},     {0x80, r.right, r.bottom, 0xA00}, {0x10, mx, r.bottom, 0x800},
        {0x04, r.left, r.bottom, 0x900}, {0x02, r.left, my, 0x100},
    };
    for (const Handle& h : handles) {
        if ((mask & h.bit) && PointNearPoint(point, {static_cast<win::LONG>(h.x), static_cast<win::LONG>(h.y)}, tolerance))
            return h.code;
    }
    return 0;
}

PlotObjectHooks& PlotObjectCalls()
{
    static PlotObjectHooks hooks;
    return hooks;
}

}  // namespace kq5
