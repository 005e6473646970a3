#include "netlist/build_errors.h"

#include "netlist/netlist_state.h"

namespace kq5 {

// Nothing can be shown on a schematic or in a text window yet, so the location only marks the
// build.
void ShowErrorLocation(const SchematicItem*) { FlagCircuitBuildError(); }

void ShowErrorLocation(const CircuitTextObject*) { FlagCircuitBuildError(); }

void FlagCircuitBuildError() { Netlist().buildFailed = true; }

void ClearCircuitBuildError() { Netlist().buildFailed = false; }

bool CircuitBuildFailed() { return Netlist().buildFailed; }

}  // namespace kq5
