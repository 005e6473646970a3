#pragma once
// The part-instance list (device list 37): one entry per part of the built circuit that
// names its device record, since device records carry no names. Reports, probes and the
// expression device functions find parts through it.
#include <cstdint>
#include <string>

#include "core/linked_list.h"

namespace kq5 {

struct SchematicItem;

struct PartInstanceRecord : ListNode {
    std::uint16_t typeCode;  // row of the component type table (first: it fills the node's padding)
    SchematicItem* component;
    ListNode* device;        // null for parts that make no device record (Macro, subckt)
    std::string partName;    // scope-qualified

    void FreeOwnedData() override;
};

}  // namespace kq5
