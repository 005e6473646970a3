#pragma once
// Helpers shared by the element parsers.
#include <span>
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

// NewElementComponent on the given definition (null: the type's library definition, else one
// generated for the component).
int NewElementComponent(int type, int& index, int nodeCount, ComponentDefinition* definition);
// The definition generated for an X line whose pins are named by its node tokens. Calls on the
// same node names share one, since nothing tells their definitions apart. Null when memory ran
// out.
ComponentDefinition* CallDefinition(std::span<const std::string_view> pinNames);
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
