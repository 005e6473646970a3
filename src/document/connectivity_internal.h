#pragma once
// Shared by the files of the connectivity rebuild.
#include <cstdint>
#include <vector>

#include "document/circuit_document.h"
#include "document/connection_points.h"
#include "platform/win_types.h"

namespace kq5 {

// The work tables of one rebuild.
struct ConnectivityTables {
    ConnectionPointTable points;
    std::int32_t positiveCounter = 0;    // last final label given
    std::int32_t temporaryCounter = -1;  // last temporary label given (decremented before use)
};

// `.TIE` grid texts join the pins they name; node labels of one name become one node.
void ApplyTieStatements(CircuitDocument& document, ConnectivityTables& tables);

// The connection point of a tie: its placement point plus its pin-0 offset, not turned.
win::POINT TiePoint(const SchematicItem& tie);

// A pin of a Macro or subckt joined by name (its type letter is upper case), not by position.
bool IsGlobalPin(const SchematicItem& item, int pin);

// The interface row among rows [first, end) that stands for the label; `end` when none.
std::size_t FindInterfaceRow(const std::vector<SchematicNodeRow>& table, std::size_t first, std::size_t end,
                             std::int32_t label);

}  // namespace kq5
