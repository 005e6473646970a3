#include "document/editor_services.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <utility>

#include "platform/bitmap.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "platform/gdi_objects.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/win_styles.h"
#include "ui/prompt_dialog.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "document/connectivity.h"
#include "document/document_windows.h"
#include "document/grid_text.h"
#include "document/schematic_item.h"
#include "document/component_definition.h"
#include "document/item_copies.h"
#include "document/pane_seams.h"

namespace kq5 {

SchematicEditorState& SchematicEditor()
{
    static SchematicEditorState state;
    return state;
}

void ResetSchematicEditorForTests() { SchematicEditor() = SchematicEditorState{}; }

SchematicEditorHooks& EditorHooks()
{
    static SchematicEditorHooks hooks;
    return hooks;
}

void CallMouseHook(const std::function<void(win::HWND, unsigned, win::LPARAM)>& hook, win::HWND hwnd, unsigned keyFlags,
                   win::LPARAM lParam)
{
    if (hook) hook(hwnd, keyFlags, lParam);
}

void RedrawCircuitNodeValues(WindowRecord* record)
{
    if (EditorHooks().redrawNodeValues) EditorHooks().redrawNodeValues(record);
}

WindowEditState& EditStateOf(const WindowRecord* record) { return SchematicEditor().windows[record]; }

ComponentDefinition* ChosenComponentDefinition() { return SchematicEditor().chosenDefinition; }

void SetChosenComponentDefinition(ComponentDefinition* definition) { SchematicEditor().chosenDefinition = definition; }

int EditComponentAttributes(WindowRecord* record, SchematicItem* component, int mode)
{
    // The dialog itself where it can be shown; a scripted answer, or no screen, answers at once.
    if (EditorHooks().attributeDialog && !PromptAnswerQueued() && PromptDialogsShown() && record && record->document && component)
        return EditorHooks().attributeDialog(record, component,
                                             Documents().pickedItem == component ? Documents().pickedAttribute : nullptr, mode);
    PromptDialogDesc desc;
    desc.templateId = kAttributeDialogTemplate;
    desc.owner = record;
    if (component && component->definition) desc.caption = component->definition->name;
    return RunPromptDialog(desc) == 1 ? 1 : 2;
}

int EditGraphicObjectDialog(WindowRecord* record, SchematicItem* object)
{
    if (EditorHooks().pictureDialog && object && object->ObjectKind() == kObjectPicture && !PromptAnswerQueued() &&
        PromptDialogsShown())
        return EditorHooks().pictureDialog(record, object) ? 1 : 2;
    PromptDialogDesc desc;
    desc.templateId = kObjectDialogTemplate;
    desc.owner = record;
    return RunPromptDialog(desc) == 1 ? 1 : 2;
}

void MarkNetlistStale(WindowRecord* record)
{
    if (!record || !record->document) return;
    CircuitDocument& document = *record->document;
    document.connectivityStale = 1;
    // The next rebuild rewires first, so that edited wires connect end to end.
    if (document.connectivityMode == 0) document.connectivityMode = 1;
}

void SetItemAsTemplate(WindowRecord* record, ListNode* node)
{
    if (!record || !record->document || !node) return;
    if (node->kind == kKindGridText) record->document->gridTextFont = static_cast<GridText*>(node)->font;
    if (node->kind != kKindSchematicItem) return;
    auto& item = *static_cast<SchematicItem*>(node);
    WindowEditState& state = EditStateOf(record);
    auto copy = std::make_shared<SchematicItem>();
    copy->kind = kKindSchematicItem;
    if (CopyComponentItem(*copy, item) != 0) {
        state.templateItem = nullptr;
        state.templateCopy.reset();
        return;
    }
    state.templateItem = &item;
    state.templateCopy = std::move(copy);
    SetUndoKind(record, kUndoTemplate);
}

bool SwapTemplateItem(WindowRecord* record)
{
    if (!record || !record->document) return false;
    WindowEditState& state = EditStateOf(record);
    if (!state.templateItem || !state.templateCopy) return false;
    // The item may have left the drawing since (cut, cleared, a file reloaded).
    bool present = false;
    for (SchematicItem& item : ListRecords<SchematicItem>(record->document->itemList)) present |= &item == state.templateItem;
    if (!present) {
        state.templateItem = nullptr;
        state.templateCopy.reset();
        return false;
    }
    SchematicItem& item = *state.templateItem;
    SchematicItem& copy = *state.templateCopy;
    std::swap(item.x1, copy.x1);
    std::swap(item.y1, copy.y1);
    std::swap(item.x2, copy.x2);
    std::swap(item.y2, copy.y2);
    std::swap(item.definition, copy.definition);
    std::swap(item.style, copy.style);
    std::swap(item.color, copy.color);
    std::swap(item.fillColor, copy.fillColor);
    std::swap(item.orientation, copy.orientation);
    std::swap(item.page, copy.page);
    std::swap(item.attributes, copy.attributes);
    item.attributesChanged = 1;
    copy.attributesChanged = 1;
    return true;
}

int HasNegativePinPosition(const SchematicItem& component)
{
    if (!component.definition) return 0;
    for (int pin = 0; pin < ComponentPinCount(*component.definition); ++pin) {
        const win::POINT at = GetPinPosition(&component, pin);
        if (at.x < 0 || at.y < 0) return 1;
    }
    return 0;
}

bool FindNearestPinPoint(WindowRecord* record, win::POINT& point)
{
    if (!record || !record->document) return false;
    const int page = PanePage(*record->document);
    bool found = false;
    long best = 0;
    win::POINT nearest{};
    for (const SchematicItem& item : ListRecords<SchematicItem>(record->document->itemList)) {
        if (!item.IsComponent() || !item.definition || item.page != page) continue;
        for (int pin = 0; pin < ComponentPinCount(*item.definition); ++pin) {
            const win::POINT at = GetPinPosition(&item, pin);
            const long dx = std::labs(static_cast<long>(at.x) - point.x);
            const long dy = std::labs(static_cast<long>(at.y) - point.y);
            if (dx > 1 || dy > 1) continue;
            if (!found || dx + dy < best) {
                found = true;
                best = dx + dy;
                nearest = at;
            }
        }
    }
    if (found) point = nearest;
    return found;
}

win::POINT PaneClientToGrid(const WindowRecord* record, int x, int y, int pane)
{
    win::POINT inPane{x, y};
    ClientToPanePoint(record, inPane, x, y, pane);
    win::POINT grid{x, y};
    ScreenToWorld(record, grid, inPane.x, inPane.y, pane);
    return grid;
}

win::POINT GridToPaneClient(const WindowRecord* record, int x, int y, int pane)
{
    win::POINT pixels{x, y};
    WorldToScreen(record, pixels, x, y, pane);
    win::RECT rect{};
    GetPaneRect(record, pane, rect);
    return {pixels.x + rect.left, pixels.y + rect.top};
}

win::POINT ClientToWorld(WindowRecord* record, int x, int y, int pane)
{
    win::POINT at = PaneClientToGrid(record, x, y, pane);
    at.x = std::max<win::LONG>(at.x, 1);
    at.y = std::max<win::LONG>(at.y, 1);
    if (record) EditStateOf(record).lastPoint = at;
    if (record && record->document) {
        std::vector<PageRecord>& pages = record->document->pages;
        const int page = PanePage(*record->document, pane);
        if (page >= 0 && page < static_cast<int>(pages.size())) pages[static_cast<std::size_t>(page)].lastPoint = at;
    }
    return at;
}

void RelinkList(LinkedList& list, const std::vector<ListNode*>& order)
{
    list.head = order.empty() ? nullptr : order.front();
    list.tail = order.empty() ? nullptr : order.back();
    for (std::size_t i = 0; i < order.size(); ++i) order[i]->next = i + 1 < order.size() ? order[i + 1] : nullptr;
}

void DrawStyleListItem(const win::DRAWITEMSTRUCT& item)
{
    constexpr int kPenStyleStrips = 3710;
    constexpr int kStripCount = 5;
    win::HDC dc = item.hDC;
    if (!dc) return;
    win::RECT r = item.rcItem;
    if (item.itemID == static_cast<win::UINT>(-1)) {
        win::DrawFocusRect(dc, &r);
        return;
    }
    if (item.itemAction & win::ODA_DRAWENTIRE) {
        const bool strip = item.itemData < 10;
        win::HBITMAP bitmap = win::LoadBitmap(win::GetModuleHandle(nullptr), strip ? kPenStyleStrips : item.itemData);
        if (bitmap) {
            win::BITMAP info{};
            win::GetObject(bitmap, sizeof info, &info);
            win::HDC memory = win::CreateCompatibleDC(dc);
            win::HGDIOBJ old = win::SelectObject(memory, bitmap);
            const win::RECT inner{r.left + 2, r.top + 2, r.right - 2, r.bottom - 2};
            const int width = std::min<int>(info.bmWidth, inner.right - inner.left);
            if (strip) {
                const int height = info.bmHeight / kStripCount;
                const int y = inner.top + ((inner.bottom - inner.top) - height) / 2;
                win::BitBlt(dc, inner.left, y, width, height, memory, 0, static_cast<int>(item.itemData) * height, win::SRCCOPY);
            } else {
                win::BitBlt(dc, inner.left, inner.top, width, std::min<int>(info.bmHeight, inner.bottom - inner.top), memory, 0, 0,
                            win::SRCCOPY);
            }
            win::SelectObject(memory, old);
            win::DeleteDC(memory);
            win::DeleteObject(bitmap);
        }
    }
    if (item.itemAction & (win::ODA_DRAWENTIRE | win::ODA_SELECT)) {
        const win::RECT frame{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
        const bool selected = (item.itemState & win::ODS_SELECTED) != 0;
        win::FrameRect(dc, &frame,
                       selected ? static_cast<win::HBRUSH>(win::GetStockObject(win::BLACK_BRUSH)) : win::GetSysColorBrush(win::COLOR_WINDOW));
    }
    if (item.itemAction & win::ODA_FOCUS) win::DrawFocusRect(dc, &r);
}

void RepaintAfterEdit(WindowRecord* record)
{
    if (!record || !record->window) return;
    RedrawWindowParts(record, kRedrawFull | kRedrawResetRange);
    win::InvalidateRect(record->window, nullptr, win::TRUE);
}

void SetMarkRect(WindowRecord* record, int left, int top, int right, int bottom)
{
    if (!record) return;
    record->markRect = left == -1 ? win::RECT{-1, -1, -1, -1} : win::RECT{left, top, right, bottom};
}

int IsMarkRectUnset(const WindowRecord* record) { return !record || record->markRect.left == -1 ? 1 : 0; }

}  // namespace kq5
