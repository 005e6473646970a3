#pragma once
// What the circuit document asks of the schematic editor: the chosen component definition, the
// attribute and object dialogs, the undo kind, the window's node templates, pin snapping and
// the mark rectangle.
#include "core/linked_list.h"
#include "platform/win_types.h"

namespace kq5 {

struct ComponentDefinition;
struct SchematicItem;
struct WindowRecord;

struct SchematicEditorState {
    ComponentDefinition* chosenDefinition = nullptr;  // chosen in the component palette
};

SchematicEditorState& SchematicEditor();
void ResetSchematicEditorForTests();

ComponentDefinition* ChosenComponentDefinition();
void SetChosenComponentDefinition(ComponentDefinition* definition);

// Attribute dialog modes.
constexpr int kAttributeDialogEdit = 0;
constexpr int kAttributeDialogPlacement = 1;
constexpr int kAttributeDialogTemplate = 3001;
constexpr int kObjectDialogTemplate = 3005;

// The attribute dialog of a component: 1 OK, 2 cancelled.
int EditComponentAttributes(WindowRecord* record, SchematicItem* component, int mode);
// The properties dialog of a graphic object: 1 OK, 2 cancelled.
int EditGraphicObjectDialog(WindowRecord* record, SchematicItem* object);

// Undo kinds the document records.
constexpr int kUndoPlaceItems = 1;
void SetUndoKind(WindowRecord* record, int kind);

// Marks the window's circuit for a rebuild of its node numbers.
void MarkNetlistStale(WindowRecord* record);

// Makes a grid text the template for new grid texts of the window (its font).
void SetItemAsTemplate(WindowRecord* record, ListNode* node);

// 1 when a pin of the component lies at a negative x or y.
int HasNegativePinPosition(const SchematicItem& component);
// Moves the point onto a pin point of the current page within 1 grid unit; true when it moved.
bool FindNearestPinPoint(WindowRecord* record, win::POINT& point);

// The mark rectangle: left -1 clears it.
void SetMarkRect(WindowRecord* record, int left, int top, int right, int bottom);
int IsMarkRectUnset(const WindowRecord* record);

}  // namespace kq5
