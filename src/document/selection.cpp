#include "document/selection.h"

#include <algorithm>
#include <utility>

#include "core/analysis_state.h"
#include "ui/font_select.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/document_services.h"
#include "document/document_windows.h"
#include "document/grid_text.h"
#include "document/schematic_item.h"
#include "platform/paint.h"
#include "results/curve_record.h"
#include "results/plot_object.h"
#include "document/editor_services.h"
#include "document/schematic_drawing.h"

namespace kq5 {

namespace {

constexpr std::int32_t kEmptyLow = 30000;
constexpr std::int32_t kEmptyHigh = -30000;
constexpr std::uint32_t kRedrawSelectAll = 0x0218;
constexpr std::uint32_t kRedrawDeselectAll = 0x0018;

// Plot objects take part only in the analysis kind they were made for.
std::int16_t CurrentObjectKind() { return static_cast<std::int16_t>(Analysis().analysisKind + 1); }

LinkedList* PlotObjects(WindowRecord* record)
{
    return record && record->plot ? &record->plot->objects : nullptr;
}

bool IsEmptyRect(const win::RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

win::RECT Normalised(win::RECT r)
{
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    return r;
}

// Output devices whose fonts run wider get a margin of 6 % on the right of every text.
void WidenForDevice(win::RECT& r, std::uint32_t flags)
{
    if (flags & kBoundsWideFonts) r.right += (r.right - r.left) * 6 / 100;
}

struct BoundsUnion {
    win::RECT rect{kEmptyLow, kEmptyLow, kEmptyHigh, kEmptyHigh};
    bool found = false;
    void Add(const win::RECT& r)
    {
        ExtendRect(rect, r);
        found = true;
    }
};

void AddItemBounds(win::HDC dc, SchematicItem& item, std::uint32_t flags, BoundsUnion& bounds)
{
    bounds.Add(GetItemBounds(item));
    if (!item.IsComponent()) return;
    for (ComponentAttribute& attribute : ListRecords<ComponentAttribute>(item.attributes)) {
        if (item.attributesChanged) {
            attribute.SetDisplayRect((attribute.display & (kAttrShowName | kAttrShowValue))
                                         ? MeasureAttributeText(dc, item, attribute)
                                         : win::RECT{});
        }
        win::RECT r = attribute.DisplayRect();
        if (IsEmptyRect(r)) continue;
        WidenForDevice(r, flags);
        bounds.Add(r);
    }
    item.attributesChanged = 0;
}

}  // namespace

std::uint32_t WindowSelectionMask(const WindowRecord* record)
{
    return record && IsSchematicKind(record->kind) ? kSchematicMask : kMaskPlotObjects;
}

bool SetSelectedByte(std::uint8_t& selection, int select)
{
    if ((selection & kSelected) == (select ? kSelected : 0)) return false;
    selection = static_cast<std::uint8_t>(select ? 1 : 0);
    return true;
}

bool SetAllItemsSelected(WindowRecord* record, std::uint32_t mask, int select)
{
    Documents().pickedItem = nullptr;
    Documents().pickedAttribute = nullptr;
    if (!record) return false;
    bool changed = false;
    if (CircuitDocument* document = record->document.get()) {
        const int page = PanePage(*document);
        if (mask & kMaskItems) {
            for (SchematicItem& item : ListRecords<SchematicItem>(document->itemList)) {
                if (select && item.page != page) continue;
                changed |= SetSelectedByte(item.selection, select);
            }
        }
        if (mask & kMaskGridTexts) {
            for (GridText& text : ListRecords<GridText>(document->gridTextList)) {
                if (select && text.page != page) continue;
                changed |= SetSelectedByte(text.selection, select);
            }
        }
    }
    if (LinkedList* objects = (mask & kMaskPlotObjects) ? PlotObjects(record) : nullptr) {
        for (PlotObject& object : ListRecords<PlotObject>(*objects)) {
            if (object.analysisKind == CurrentObjectKind()) changed |= SetSelectedByte(object.selection, select);
        }
    }
    return changed;
}

void SelectAllItems(WindowRecord* record, int select)
{
    if (select) {
        SetAllItemsSelected(record, WindowSelectionMask(record), 1);
        SchematicDrawing().drawMode = kDrawModeNormal;
        RedrawWindowParts(record, kRedrawSelectAll);
    } else if (ClearSelection(record)) {
        RedrawWindowParts(record, kRedrawDeselectAll);
    }
}

bool ClearSelection(WindowRecord* record)
{
    if (!record) return false;
    const std::uint32_t mask = WindowSelectionMask(record);
    if (IsSchematicKind(record->kind) && record->document) {
        for (SchematicItem& item : ListRecords<SchematicItem>(record->document->itemList)) {
            if (item.selection & kSelectPending) item.selection = kSelected;
        }
    }
    if (IsMarkRectUnset(record) && CountSelectedItems(record, mask) == 0) return false;
    // Drawing the chosen nodes alone erases their selection marks.
    SchematicDrawing().drawMode = kDrawModeChosenNodes;
    RedrawWindowParts(record, kRedrawClearSelection);
    SchematicDrawing().drawMode = kDrawModeNormal;
    SetMarkRect(record, -1, -1, -1, -1);
    SetAllItemsSelected(record, mask, 0);
    return true;
}

int CountSelectedInList(int listKind, const LinkedList& list, ListNode** last)
{
    int count = 0;
    for (ListNode& node : ListRecords(list)) {
        bool selected = false;
        if (listKind == kKindSchematicItem) {
            selected = static_cast<SchematicItem&>(node).selection & kSelected;
        } else if (listKind == kKindGridText) {
            selected = static_cast<GridText&>(node).selection & kSelected;
        } else if (listKind == 4) {
            const auto& object = static_cast<PlotObject&>(node);
            selected = (object.selection & kSelected) && object.analysisKind == CurrentObjectKind();
        }
        if (!selected) continue;
        ++count;
        if (last) *last = &node;
    }
    return count;
}

int CountSelectedItems(WindowRecord* record, std::uint32_t mask, ListNode** last)
{
    if (!record) return 0;
    int count = 0;
    if (CircuitDocument* document = record->document.get()) {
        if (mask & kMaskItems) count += CountSelectedInList(kKindSchematicItem, document->itemList, last);
        if (mask & kMaskGridTexts) count += CountSelectedInList(kKindGridText, document->gridTextList, last);
    }
    if (LinkedList* objects = (mask & kMaskPlotObjects) ? PlotObjects(record) : nullptr)
        count += CountSelectedInList(4, *objects, last);
    if ((mask & kMaskPickedAttribute) && Documents().pickedAttribute) ++count;
    return count;
}

ListNode* RemoveItemFromOwnerList(LinkedList& list, ListNode* node)
{
    if (!node) return nullptr;
    if (node->kind != kKindSchematicItem && node->kind != kKindGridText && node->kind != kKindPlotObject)
        return nullptr;
    return ListRemove(list, node);
}

bool GetContentBounds(win::HDC dc, WindowRecord* record, win::RECT& gridUnits, win::RECT* drawUnits,
                      std::uint32_t flags, int page)
{
    BoundsUnion bounds;
    if (record && record->document && IsSchematicKind(record->kind)) {
        CircuitDocument& document = *record->document;
        const bool fromClipboard = (flags & kBoundsClipboard) && !(flags & kBoundsDocument);
        LinkedList& items = fromClipboard ? DocumentServices().clipboardItems : document.itemList;
        LinkedList& texts = fromClipboard ? DocumentServices().clipboardGridTexts : document.gridTextList;
        const bool selectedOnly = flags & kBoundsSelectedOnly;
        win::HDC measure = dc ? dc : win::GetDC(record->window);
        const double zoom = document.zoomFactor;
        if (!(flags & kBoundsCurrentZoom)) document.zoomFactor = 1.0;
        for (SchematicItem& item : ListRecords<SchematicItem>(items)) {
            if (item.page != page || (selectedOnly && !(item.selection & kSelected))) continue;
            AddItemBounds(measure, item, flags, bounds);
        }
        for (const GridText& text : ListRecords<GridText>(texts)) {
            if (text.page != page || (selectedOnly && !(text.selection & kSelected))) continue;
            win::RECT r = GridTextBounds(measure, text);
            WidenForDevice(r, flags);
            bounds.Add(r);
        }
        document.zoomFactor = zoom;
        if (!dc) win::ReleaseDC(record->window, measure);
    }
    if (!bounds.found) {
        gridUnits = win::RECT{};
        if (drawUnits) *drawUnits = win::RECT{};
        return false;
    }
    if (drawUnits) *drawUnits = bounds.rect;
    const win::RECT& r = bounds.rect;
    gridUnits = win::RECT{r.left / kDrawUnitsPerGrid, r.top / kDrawUnitsPerGrid, r.right / kDrawUnitsPerGrid + 1,
                          r.bottom / kDrawUnitsPerGrid + 1};
    return true;
}

void ExtendRange(std::int32_t& low, std::int32_t& high, std::int32_t value)
{
    low = std::min(low, value);
    high = std::max(high, value);
}

void ExtendRect(win::RECT& rect, const win::RECT& other)
{
    std::int32_t left = rect.left, top = rect.top, right = rect.right, bottom = rect.bottom;
    ExtendRange(left, right, other.left);
    ExtendRange(top, bottom, other.top);
    ExtendRange(left, right, other.right);
    ExtendRange(top, bottom, other.bottom);
    rect = win::RECT{left, top, right, bottom};
}

win::RECT GridTextDrawRect(win::HDC dc, const GridText& text)
{
    const win::SIZE size = MeasureTextBlock(dc, text.text);
    const win::LONG left = text.x * kDrawUnitsPerGrid;
    const win::LONG bottom = text.y * kDrawUnitsPerGrid;
    return win::RECT{left, bottom - size.cy, left + size.cx, bottom};
}

win::RECT GridTextBounds(win::HDC dc, const GridText& text)
{
    win::HGDIOBJ previous = SelectFontSpec(dc, text.font);
    win::RECT r = Normalised(GridTextDrawRect(dc, text));
    RestoreFont(dc, previous);
    if (text.IsFlag()) r = win::RECT{r.left - 6, r.top - 6, r.right + 7, r.bottom + 7};
    return r;
}

win::RECT MeasureAttributeText(win::HDC dc, const SchematicItem& component, const ComponentAttribute& attribute,
                               std::string* text)
{
    std::string shown = BuildAttributeDisplayText(&attribute, attribute.display);
    win::RECT r{};
    if (!shown.empty()) {
        win::HGDIOBJ previous = SelectFontSpec(dc, attribute.font);
        const win::SIZE size = MeasureTextBlock(dc, shown);
        RestoreFont(dc, previous);
        const win::LONG left = component.x1 * kDrawUnitsPerGrid + attribute.textOffsetX;
        const win::LONG top = component.y1 * kDrawUnitsPerGrid + attribute.textOffsetY;
        r = win::RECT{left, top, left + size.cx, top + size.cy};
    }
    if (text) *text = std::move(shown);
    return r;
}

}  // namespace kq5
