#include "document/node_flags.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "core/analysis_state.h"
#include "ui/edit_mode.h"
#include "ui/program_settings.h"
#include "ui/prompt_dialog.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/connectivity.h"
#include "document/document_windows.h"
#include "document/grid_text.h"
#include "document/schematic_item.h"
#include "document/selection.h"
#include "document/component_types.h"
#include "document/label_names.h"
#include "results/curve_record.h"
#include "results/plot_object.h"
#include "document/hit_test.h"
#include "document/editor_services.h"

namespace kq5 {

namespace {

constexpr int kGridTextTemplate = 3002;
constexpr int kPromptMaxLength = 3000;
constexpr const char* kFlagCaption = "Flag";
constexpr const char* kGridTextCaption = "Grid Text";
// A changed value or name moves or shortens the part's texts: the panes are erased first, or
// the old texts stay on the screen under the new ones.
constexpr std::uint32_t kRedrawComponent = kRedrawSchematic | kRedrawResetRange | kRedrawErase;
constexpr std::uint32_t kRedrawTie = kRedrawComponent | kRedrawFull;

// Controls of the Grid Text dialog.
constexpr int kDirectionHorizontal = 100;
constexpr int kDirectionVertical = 101;
constexpr int kDirectionBoth = 102;
constexpr int kDirectionNone = 105;
constexpr int kPitchField = 106;
constexpr int kInstancesField = 107;

struct PlacementGrid {
    int rows = 1;
    int columns = 1;
    int pitch = 0;
};

bool AnalysisRunning() { return Analysis().analysisKind != kAnalysisNone; }

// Asks for the text and the layout; false when cancelled.
bool AskGridTextOrFlag(WindowRecord* record, bool flag, std::string& text, FontSpec& font, PlacementGrid& grid)
{
    PromptDialogDesc desc;
    desc.owner = record;
    desc.font = font;
    desc.maxLength = kPromptMaxLength;
    if (flag) {
        desc.caption = kFlagCaption;
    } else {
        desc.templateId = kGridTextTemplate;
        desc.caption = kGridTextCaption;
        desc.controls = {{kDirectionHorizontal, 0}, {kDirectionVertical, 0}, {kDirectionBoth, 0},
                         {kDirectionNone, 1},       {kInstancesField, 1},    {kPitchField, 2}};
    }
    if (RunPromptDialog(desc) != 1) return false;
    text = desc.text;
    font = desc.font;
    if (!flag) {
        // Instances come from a number field: keep them to what a schematic can hold.
        const int n = std::clamp(desc.controls[kInstancesField], 1, 1000);
        grid.pitch = desc.controls[kPitchField];
        if (desc.controls[kDirectionHorizontal]) grid.columns = n;
        else if (desc.controls[kDirectionVertical]) grid.rows = n;
        else if (desc.controls[kDirectionBoth]) grid.rows = grid.columns = n;
    }
    return true;
}

// The text of the next instance: its trailing number plus one ("A" gives "A1", "A7" gives "A8").
std::string NextInstanceText(const std::string& text)
{
    const std::size_t start = TrailingDigitsStart(text);
    std::int64_t n = 0;
    for (std::size_t i = start; i < text.size(); ++i) {
        n = n * 10 + (text[i] - '0');
        if (n >= std::numeric_limits<std::int32_t>::max()) break;
    }
    if (n >= std::numeric_limits<std::int32_t>::max()) n = std::numeric_limits<std::int32_t>::max() - 1;
    return text.substr(0, start) + std::to_string(n + 1);
}

int ClampCoordinate(std::int64_t value)
{
    return static_cast<int>(std::clamp<std::int64_t>(value, 1, std::numeric_limits<std::int32_t>::max()));
}

// Places the texts at the head of the list; 0, or 15055 after reporting.
int PlaceInstances(WindowRecord* record, int x, int y, bool flag, std::string text, const FontSpec& font,
                   const PlacementGrid& grid)
{
    const bool snap = (Settings().operationalOptions & kOptionNodeSnap) != 0;
    SetListPrependMode(kListPrepend);
    int status = 0;
    win::POINT position{x, y};
    for (int row = 0; row < grid.rows && status == 0; ++row) {
        for (int column = 0; column < grid.columns; ++column) {
            GridText* placed = NewGridText(record);
            if (!placed) {
                ReportMessage("WE", record, kMsgInsufficientMemory);
                status = kMsgAlreadyReported;
                break;
            }
            if (snap) FindNearestPinPoint(record, position);
            placed->font = font;
            placed->flags = flag ? kGridTextIsFlag : 0;
            placed->x = position.x;
            placed->y = position.y;
            placed->selection = kSelected | kSelectNew;
            placed->text = text;
            UpdateNodeLabelFlag(*placed);
            text = NextInstanceText(text);
            position.x = ClampCoordinate(static_cast<std::int64_t>(position.x) + grid.pitch);
        }
        position.x = x;
        position.y = ClampCoordinate(static_cast<std::int64_t>(position.y) + grid.pitch);
    }
    SetListPrependMode(kListAppend);
    return status;
}

SchematicItem* OwnerOfAttribute(WindowRecord* record, const ListNode* attribute)
{
    if (Documents().pickedAttribute == attribute && Documents().pickedItem) return Documents().pickedItem;
    if (!record->document) return nullptr;
    for (SchematicItem& item : ListRecords<SchematicItem>(record->document->itemList)) {
        for (const ListNode& node : ListRecords(item.attributes)) {
            if (&node == attribute) return &item;
        }
    }
    return nullptr;
}

void EditItemInPlace(WindowRecord* record, SchematicItem& item)
{
    if (AnalysisRunning() || item.itemKind == kItemWire) return;
    SetAllItemsSelected(record, WindowSelectionMask(record), 0);
    if (item.IsComponent()) {
        if (OpenComponentAttributes(record, &item) == 1) {
            MarkModified(record);
            RedrawWindowParts(record, ItemComponentType(&item) == kComponentTie ? kRedrawTie : kRedrawComponent);
        }
    } else {
        EditGraphicObjectDialog(record, &item);
    }
}

void EditGridTextInPlace(WindowRecord* record, GridText& text)
{
    if (AnalysisRunning()) return;
    SetAllItemsSelected(record, WindowSelectionMask(record), 0);
    text.selection = kSelected;
    RedrawListNode(record, &text);
    PromptDialogDesc desc;
    desc.caption = text.IsFlag() ? kFlagCaption : kGridTextCaption;
    desc.owner = record;
    desc.text = text.text;
    desc.font = text.font;
    desc.maxLength = kPromptMaxLength;
    if (RunPromptDialog(desc) != 1 || desc.text.empty()) return;
    SetItemAsTemplate(record, &text);
    RedrawNodeAlone(record, &text, true);
    text.font = desc.font;
    text.text = std::move(desc.text);
    UpdateNodeLabelFlag(text);
    MarkNetlistStale(record);
    MarkModified(record);
    RedrawListNode(record, &text);
}

void EditPlotObjectInPlace(WindowRecord* record, PlotObject& object)
{
    SetAllItemsSelected(record, kMaskPlotObjects, 0);
    object.selection = kSelected;
    PlotObject copy = object;
    copy.next = nullptr;
    const auto& dialog =
        (object.style & kStyleKindMask) == kObjectText ? PlotObjectCalls().textDialog : PlotObjectCalls().editDialog;
    const int answer = dialog ? dialog(record, copy) : 2;
    if (answer == 2) return;
    object.text = std::move(copy.text);
    object.font = copy.font;
    RedrawListNode(record, &object);
}

}  // namespace

void UpdateNodeLabelFlag(GridText& text)
{
    const bool valid = !text.IsFlag() && !text.text.empty() && HasIllegalLabelChar(text.text, 0) == 0;
    if (valid) text.flags |= kGridTextValidLabel;
    else text.flags &= static_cast<std::uint8_t>(~kGridTextValidLabel);
}

int PlaceGridTextOrFlag(WindowRecord* record, int x, int y, bool flag)
{
    if (!record || !record->document) return 0;
    SetAllItemsSelected(record, WindowSelectionMask(record), 0);
    std::string text;
    FontSpec font = record->document->gridTextFont;
    PlacementGrid grid;
    if (!AskGridTextOrFlag(record, flag, text, font, grid)) return 0;
    int status = 0;
    if (!text.empty()) {
        status = PlaceInstances(record, x, y, flag, text, font, grid);
        if (status == 0) {
            MarkModified(record);
            MarkNetlistStale(record);
            RedrawWindowPartsDefault(record);
        }
    }
    if (Settings().operationalOptions & kOptionSelectMode) SetEditMode(record, kCommandSelectMode);
    SetUndoKind(record, kUndoPlaceItems);
    return status;
}

int OpenComponentAttributes(WindowRecord* record, SchematicItem* component)
{
    const int type = ItemComponentType(component);
    if (!component || type == kComponentGround || type == kComponentJumper) return 0;
    return EditComponentAttributes(record, component, kAttributeDialogEdit);
}

void EditNodeInPlace(WindowRecord* record, ListNode* node)
{
    if (!record || !node) return;
    switch (node->kind) {
    case kKindSchematicItem: EditItemInPlace(record, *static_cast<SchematicItem*>(node)); break;
    case kKindGridText: EditGridTextInPlace(record, *static_cast<GridText*>(node)); break;
    case kKindPlotObject: EditPlotObjectInPlace(record, *static_cast<PlotObject*>(node)); break;
    case kKindAttribute:
        if (SchematicItem* owner = OwnerOfAttribute(record, node)) EditItemInPlace(record, *owner);
        break;
    default: break;
    }
}

}  // namespace kq5
