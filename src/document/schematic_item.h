#pragma once
// One element of a document's item list: a component, a wire or a graphic object. Only what
// the message reporter reads is here so far.
#include <cstdint>
#include <optional>
#include <string>

#include "core/linked_list.h"

namespace kq5 {

struct SchematicItem : ListNode {
    std::int16_t scope = 0;  // subcircuit scope of a component made by the expansion
    // The text of the component's PART attribute; none while it has no PART attribute.
    std::optional<std::string> partName;
};

}  // namespace kq5
