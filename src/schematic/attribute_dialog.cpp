#include "schematic/attribute_dialog.h"

#include "app/dialog_services.h"
#include "app/window_record.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/document_windows.h"
#include "netlist/component_types.h"
#include "netlist/model_types.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/message_box.h"
#include "platform/win_messages.h"
#include "schematic/component_definition.h"
#include "schematic/edit_commands.h"

namespace kq5 {

namespace {

constexpr int kAttributeDisplayTemplate = 17212;
constexpr int kDisplayRowIds[5] = {kAttrPart, kAttrValue, kAttrModel, kAttrTimingModel, kAttrIoModel};

// Controls of row k: 200 + 100k "Don't Change", 202 + 100k "Turn On", 201 + 100k "Turn Off".
int ControlOf(int row, int choice) { return 200 + 100 * row + (choice == kDisplayTurnOn ? 2 : choice == kDisplayTurnOff ? 1 : 0); }

win::INT_PTR AttributeDisplayProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    auto* choices = DialogData<AttributeDisplayChoices>(dialog, message, lParam);
    if (!choices) return win::FALSE;
    switch (message) {
    case win::WM_INITDIALOG:
        PlaceDialog(dialog, false, nullptr);
        for (int row = 0; row < 5; ++row)
            win::CheckRadioButton(dialog, 200 + 100 * row, 202 + 100 * row, ControlOf(row, kDisplayDontChange));
        return win::TRUE;
    case win::WM_COMMAND:
        switch (win::LOWORD(wParam)) {
        case win::IDOK:
            for (int row = 0; row < 5; ++row) {
                (*choices)[static_cast<std::size_t>(row)] = kDisplayDontChange;
                for (int choice : {kDisplayTurnOn, kDisplayTurnOff})
                    if (win::IsDlgButtonChecked(dialog, ControlOf(row, choice)) == win::BST_CHECKED)
                        (*choices)[static_cast<std::size_t>(row)] = choice;
            }
            CloseDialog(dialog, 1);
            return win::TRUE;
        case win::IDCANCEL:
            CloseDialog(dialog, 2);
            return win::TRUE;
        case kDialogHelpButton:
            ShowDialogHelp(kAttributeDisplayTemplate);
            return win::TRUE;
        default:
            return win::FALSE;
        }
    default:
        return win::FALSE;
    }
}

}  // namespace

void ApplyAttributeDisplay(WindowRecord* record, const AttributeDisplayChoices& choices)
{
    if (!record || !record->document) return;
    if (BeginBoxEdit(record) != 0) return;
    for (SchematicItem& item : ListRecords<SchematicItem>(record->document->itemList)) {
        if (!item.IsComponent()) continue;
        for (int row = 0; row < 5; ++row) {
            const int choice = choices[static_cast<std::size_t>(row)];
            if (choice == kDisplayDontChange) continue;
            ComponentAttribute* attribute = FindAttribute(&item, kDisplayRowIds[row]);
            if (!attribute) continue;
            if (choice == kDisplayTurnOn) attribute->display |= kAttrShowValue;
            else attribute->display = static_cast<std::uint16_t>(attribute->display & ~kAttrShowValue);
            item.attributesChanged = 1;
        }
    }
    MarkModified(record);
    RedrawWindowParts(record, kRedrawAfterEdit | kRedrawErase);
}

void AttributeDisplayCommand(WindowRecord* record)
{
    if (!record || !record->document || record->kind != kWindowSchematic) return;
    AttributeDisplayChoices choices{};
    if (RunDialogParam(record->window, kAttributeDisplayTemplate, &AttributeDisplayProc, reinterpret_cast<win::LPARAM>(&choices)) != 1)
        return;
    ApplyAttributeDisplay(record, choices);
}

std::string FormatComponentDescription(const ComponentDefinition* definition, const std::string& memo)
{
    if (!definition) return {};
    const ComponentTypeRow* row = FindComponentTypeRow(definition->type);
    if (!row) return {};
    std::string text = " Component=" + definition->name + ":";
    if (row->modelType >= 0) {
        if (const ModelTypeRow* model = FindModelTypeRow(row->modelType)) text += std::string(" Model Keyword=") + model->name + ":";
    }
    text += std::string(" Definition=") + row->name;
    if (!memo.empty()) text += ": " + memo;
    return text;
}

}  // namespace kq5
