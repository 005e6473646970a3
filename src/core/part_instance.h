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
    // Whose instance path qualifies partName (0: none). A part inside a subcircuit keeps only its
    // own name, so that parts of calls nested deep do not each hold the whole path; its full
    // (dotted) name is PartInstanceName().
    std::int32_t pathScope = 0;
    SchematicItem* component;
    ListNode* device;        // null for parts that make no device record (Macro, subckt)
    std::string partName;    // upper case: the full name when pathScope is 0, else the part after the path

    void FreeOwnedData() override;
};

}  // namespace kq5
