#include "document/netlist_state.h"

namespace kq5 {

NetlistState& Netlist() {
    static NetlistState state;
    return state;
}

void ResetNetlistStateForTests()
{
    FreeScopeTable();
    Netlist() = NetlistState{};
}

}  // namespace kq5
