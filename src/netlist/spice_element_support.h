#pragma once
// Helpers shared by the element parsers.
#include <string>
#include <string_view>

#include "netlist/spice_elements.h"

namespace kq5 {

// The plain controlled sources made by E, F, G and H lines.
inline constexpr int kComponentGIofVPoly = 50;
inline constexpr int kComponentFIofIPoly = 51;
inline constexpr int kComponentEVofVPoly = 52;
inline constexpr int kComponentHVofIPoly = 53;

constexpr int kComponentPolyFromLetter(char letter)
{
    switch (letter) {
        case 'E': return kComponentEVofVPoly;
        case 'F': return kComponentFIofIPoly;
        case 'G': return kComponentGIofVPoly;
        default: return kComponentHVofIPoly;
    }
}

// NewElementComponent; with newDefinition the component gets a definition of its own (X lines).
int NewElementComponent(int type, int& index, int nodeCount, bool newDefinition);
// ParseElementValueAttributes; without modelToken no MODEL is taken from the line.
int ParseElementValueAttributes(int& index, int type, bool modelToken);

// Sets the attribute of the component; false after "Insufficient memory." was reported.
bool SetElementAttribute(SchematicItem* component, int attributeId, std::string_view text);

// The component type of an item's definition; -1 without one.
int ItemComponentTypeOf(const SchematicItem* item);

// The tokens from `from` up to `close` joined without separators, PARAMS: names of the
// current call replaced: the expression of a brace group.
std::string BraceGroupText(int from, int close);

// The digital element parsers.
int ParseDigitalInput();
int ParseDigitalOutput();
int ParseDigitalPrimitive();

// Records where the element of the current line came from.
void RecordElementOrigin(SchematicItem* component);

}  // namespace kq5
