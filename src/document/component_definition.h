#pragma once
// Component library entries as the document and the circuit build see them: the component type,
// the shape, the placement flags, the two origins of attribute texts and the pin table. Every
// component of a circuit points at one.
#include <cstdint>
#include <string>
#include <vector>

#include "core/linked_list.h"

namespace kq5 {

// Placement flags of a definition.
constexpr std::uint16_t kDefShowModel = 0x0040;       // show the model attribute's value
constexpr std::uint16_t kDefDialogOnPlace = 0x0080;   // open the attribute dialog on placement
constexpr std::uint16_t kDefShowMain = 0x0800;        // show the main attribute's value
constexpr std::uint16_t kDefShowPart = 0x1000;        // show the PART value
constexpr std::uint16_t kDefShowPinText = 0x4000;     // new components get style bit 0x8000
constexpr std::uint16_t kDefOrientationMask = 0x0700; // orientation last used (bits 8 to 10)
constexpr int kDefOrientationShift = 8;

// One pin: its offset from the placement point in grid units, the offset of its name text from
// the pin in drawing units, its name and, for the types whose definitions name their pins, a
// type letter (Macro and subckt: upper case for a hidden pin joined to the node of the second
// text).
struct DefinitionPin {
    std::int16_t dx = 0;
    std::int16_t dy = 0;
    std::string name;
    char typeLetter = 0;
    std::string secondText;
    std::int16_t textDx = 0;
    std::int16_t textDy = 0;
};

struct ComponentDefinition : ListNode {
    std::string name;                // also the default text of new components
    std::uint16_t type = 0;          // row of the component type table
    std::uint16_t shapeIndex = 0;    // 0: no shape
    std::uint16_t placementFlags = 0;  // palette slot in bits 0 to 3, the kDef... bits
    std::uint16_t groupId = 0;
    // Size words of the types with a variable pin count (inputs, outputs, bits, width).
    std::uint16_t sizeA = 0;
    std::uint16_t sizeB = 0;
    std::string memo;
    // Origins of attribute texts: upright orientations (x, first-line y), turned ones. The
    // library file keeps them in the order X, turned X, Y, turned Y.
    std::int16_t attrOriginX = 0;
    std::int16_t attrOriginY = 0;
    std::int16_t attrOriginTurnedX = 0;
    std::int16_t attrOriginTurnedY = 0;
    std::int16_t inputPinCount = 0;  // leading input pins of a digital part
    std::vector<DefinitionPin> pins;

    void FreeOwnedData() override
    {
        name.clear();
        memo.clear();
        pins.clear();
    }
};

constexpr std::uint16_t kDefPaletteMask = 0x000F;
constexpr std::uint16_t kDefModelIsName = 0x0080;  // the model name equals the component name

// The orientation that the last placed component of the definition was given (0 to 7).
inline int DefinitionOrientation(const ComponentDefinition& definition)
{
    return (definition.placementFlags & kDefOrientationMask) >> kDefOrientationShift;
}

inline void SetDefinitionOrientation(ComponentDefinition& definition, int code)
{
    definition.placementFlags = static_cast<std::uint16_t>(
        (definition.placementFlags & ~kDefOrientationMask) | ((code & 7) << kDefOrientationShift));
}

// Number of pins of a component of the definition.
inline int ComponentPinCount(const ComponentDefinition& definition)
{
    return static_cast<int>(definition.pins.size());
}

}  // namespace kq5
