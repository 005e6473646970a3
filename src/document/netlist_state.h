#pragma once
// State of the netlist reader and the circuit build that the rest of the program reads.
#include "document/scope_table.h"

namespace kq5 {

struct NetlistState {
    SubcktScopeTable scopes;
    bool buildFailed = false;  // the current circuit's build has met an error
};

NetlistState& Netlist();
void ResetNetlistStateForTests();

}  // namespace kq5
