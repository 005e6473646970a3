#pragma once
// Placing grid texts and node flags, keeping the label bit of grid texts, and opening the editor
// that fits a node the user double-clicked.
#include "core/linked_list.h"

namespace kq5 {

struct GridText;
struct SchematicItem;
struct WindowRecord;

// Sets the label bit of a plain grid text whose text is a valid node label, else clears it; a
// flag never has it.
void UpdateNodeLabelFlag(GridText& text);

// Asks for a text and places grid texts (a row, a column or an array, numbered on) or one flag at
// grid point (x, y). 0, or 15055 after reporting a failure.
int PlaceGridTextOrFlag(WindowRecord* record, int x, int y, bool flag);

// The attribute dialog of a component: 0 for Ground and Jumper, else 1 OK, 2 cancelled.
int OpenComponentAttributes(WindowRecord* record, SchematicItem* component);

// Opens the editor for a node: a component's attributes, an object's properties, a grid text's
// text, a plot object's dialog.
void EditNodeInPlace(WindowRecord* record, ListNode* node);

}  // namespace kq5
