#pragma once
// The component attribute dialog (3001) and the Attribute Display command (17212), which turns
// the display of five standard attributes on or off on every component at once.
#include <array>
#include <string>

namespace kq5 {

struct ComponentAttribute;
struct ComponentDefinition;
struct SchematicItem;
struct WindowRecord;

// Choices of one Attribute Display row.
constexpr int kDisplayDontChange = 0;
constexpr int kDisplayTurnOn = 1;
constexpr int kDisplayTurnOff = 2;
// Rows: PART, VALUE, MODEL, TIMING MODEL, I/O MODEL.
using AttributeDisplayChoices = std::array<int, 5>;

void AttributeDisplayCommand(WindowRecord* record);
// What OK does: for every component of every page, the attributes of the rows not on
// "Don't Change" show or hide their value.
void ApplyAttributeDisplay(WindowRecord* record, const AttributeDisplayChoices& choices);

// The attribute dialog on a copy of the component's attributes, the attribute to select first
// (or null). 1 OK (the copy written back), 2 cancelled.
int RunAttributeDialog(WindowRecord* record, SchematicItem* component, const ComponentAttribute* select, int mode);

// What the dialog makes of typed texts: an attribute name (blanks to "_" except for I/O MODEL,
// commas and "=" dropped, at most 49 characters) and a model name (name characters only).
std::string CleanAttributeName(const std::string& text);
std::string CleanModelName(const std::string& text);

// The dialog title of a definition: " Component=%s:", " Model Keyword=%s:" when its type takes a
// model, " Definition=%s" and ": %s" with the memo; empty for a missing definition or type.
std::string FormatComponentDescription(const ComponentDefinition* definition, const std::string& memo = {});

}  // namespace kq5
