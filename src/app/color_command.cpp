#include "ui/color_dialog.h"

#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/grid_text.h"
#include "document/schematic_item.h"
#include "document/selection.h"
#include "platform/paint.h"
#include "platform/window.h"
#include "schematic/edit_commands.h"

namespace kq5 {

namespace {

bool TextAreaHasFocus(const WindowRecord* record)
{
    const win::HWND focus = win::GetFocus();
    return record->document && focus && focus == record->document->textAreaWindow;
}

void ColorSchematicSelection(WindowRecord* record)
{
    CircuitDocument& doc = *record->document;
    ListNode* lastItem = nullptr;
    ListNode* lastText = nullptr;
    const int items = CountSelectedInList(1, doc.itemList, &lastItem);
    const int texts = CountSelectedInList(2, doc.gridTextList, &lastText);
    if (items + texts == 0) return;
    std::uint8_t color = lastText ? static_cast<GridText*>(lastText)->font.color
                                  : static_cast<SchematicItem*>(lastItem)->color;
    if (!PickColorIndex(record->window, color)) return;
    for (SchematicItem& item : ListRecords<SchematicItem>(doc.itemList)) {
        if (!(item.selection & kSelected)) continue;
        item.color = color;
        item.fillColor = color;
        for (ComponentAttribute& attribute : ListRecords<ComponentAttribute>(item.attributes)) attribute.font.color = color;
    }
    for (GridText& text : ListRecords<GridText>(doc.gridTextList))
        if (text.selection & kSelected) text.font.color = color;
    MarkModified(record);
    if (record->window) win::InvalidateRect(record->window, nullptr, win::TRUE);
}

}  // namespace

int PickTextWindowColor(WindowRecord* record)
{
    if (!record || !record->document) return 0;
    CircuitDocument& doc = *record->document;
    std::uint8_t color = doc.numOutFont.color;
    int changed = 0;
    if (PickColorIndex(record->window, color) && color != doc.numOutFont.color) {
        ClearSelection(record);
        SaveWindowFontForUndo(record);
        doc.numOutFont.color = color;
        if (doc.textAreaWindow) win::InvalidateRect(doc.textAreaWindow, nullptr, win::TRUE);
        changed = 1;
    }
    if (doc.textAreaWindow) win::SetFocus(doc.textAreaWindow);
    return changed;
}

void OnColorCommand(WindowRecord* activeRecord)
{
    if (!activeRecord || !activeRecord->document) return;
    if (activeRecord->kind == kWindowTextCircuit ||
        (activeRecord->kind == kWindowSchematic && TextAreaHasFocus(activeRecord))) {
        PickTextWindowColor(activeRecord);
        return;
    }
    if (activeRecord->kind == kWindowSchematic) ColorSchematicSelection(activeRecord);
}

int LoadCtl3d() { return 1; }
void Ctl3dSysColorChange(win::HWND) {}
void UnloadCtl3d() {}

}  // namespace kq5
