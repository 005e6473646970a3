#pragma once
// One element of a document's item list: a component, a wire or a graphic object.
#include <cstdint>
#include <vector>

#include "core/linked_list.h"
#include "document/component_attributes.h"
#include "document/orientation.h"
#include "document/pin_node_list.h"
#include "platform/win_types.h"

namespace kq5 {

struct ComponentDefinition;

// Item kinds.
constexpr std::uint16_t kItemComponent = 0;
constexpr std::uint16_t kItemWire = 1;
constexpr std::uint16_t kItemGraphicObject = 2;

// Selection byte of items, grid texts and plot objects.
constexpr std::uint8_t kSelected = 0x01;
constexpr std::uint8_t kSelectNew = 0x04;      // made by the last paste, duplicate or placement
constexpr std::uint8_t kSelectPending = 0x20;  // removed by clearing the selection too

// Style word: a graphic object's kind in bits 8 to 11, flags in the rest.
constexpr std::uint16_t kStyleKindMask = 0x0F00;
constexpr std::uint16_t kStyleFill = 0x0001;
constexpr std::uint16_t kStyleWireDigital = 0x0001;  // a wire: touches a digital pin
constexpr std::uint16_t kStyleShowPinText = 0x8000;

// Graphic object kinds.
constexpr std::uint16_t kObjectLine = 0x100;
constexpr std::uint16_t kObjectEllipse = 0x200;
constexpr std::uint16_t kObjectRectangle = 0x300;
constexpr std::uint16_t kObjectDiamond = 0x400;
constexpr std::uint16_t kObjectArc = 0x500;
constexpr std::uint16_t kObjectPie = 0x600;
constexpr std::uint16_t kObjectMeasureV = 0x800;
constexpr std::uint16_t kObjectTag = 0x900;
constexpr std::uint16_t kObjectMeasureH = 0xA00;
constexpr std::uint16_t kObjectPicture = 0xB00;
constexpr std::uint16_t kObjectText = 0xF00;

// Drawing units per grid unit.
constexpr int kDrawUnitsPerGrid = 8;

// Node of ItemList (list kind 1).
// A circuit may hold hundreds of thousands of these: the fields are ordered so that the small
// ones fill the gaps, and the scope sits in the attribute list's tail padding (120 bytes).
struct SchematicItem : ListNode {
    std::uint16_t itemKind = kItemComponent;
    std::int32_t x1 = 0;  // a component's placement point; a wire's first end; an object's corner
    std::int32_t y1 = 0;
    std::int32_t x2 = 0;
    std::int32_t y2 = 0;
    std::int32_t wireLabel = -1;  // the node label of a wire (-1 while unknown)
    ComponentDefinition* definition = nullptr;  // components only
    std::uint16_t style = 0;
    std::uint8_t color = 0;
    std::uint8_t fillColor = 0;
    std::uint8_t selection = 0;
    std::uint8_t switchOn = 0;  // a DIGITAL SWITCH clicked closed during a run
    OrientationCode orientation = 0;  // components: 0 to 7
    std::int16_t page = 0;
    std::uint16_t hidden = 0;         // renderer's word: hidden items are not hit nor followed
    std::uint16_t attributesChanged = 0;  // attribute texts need laying out again
    // Connectivity: one node label per pin of a component (-1 while unknown).
    PinNodeList pinNodes;
    [[no_unique_address]] LinkedList attributes{NewListRecord<ComponentAttribute>};
    std::int32_t scope = 0;  // subcircuit scope of a component made by the expansion

    bool IsComponent() const { return itemKind == kItemComponent; }
    std::uint16_t ObjectKind() const { return style & kStyleKindMask; }
    int PinCount() const { return static_cast<int>(pinNodes.size()); }

    void FreeOwnedData() override
    {
        ListClear(attributes);
        pinNodes.clear();
    }
};

// The pin count kept by connectivity; 0 frees the array. 0 or 15002.
int SetComponentPinNodeCount(SchematicItem& item, int count);

// x1, y1, x2, y2 times 8.
win::RECT ItemRectToDrawUnits(const SchematicItem& item);

// The item's bounding rectangle in drawing units, normalised and widened by 2 on each side.
win::RECT GetItemBounds(const SchematicItem& item);

}  // namespace kq5
