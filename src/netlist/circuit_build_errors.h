#pragma once
// The two ways the circuit build fails by itself (not through a translator's message): memory
// running out, and the build errors of the whole circuit (no ground, no node).
namespace kq5 {

// The out-of-memory exit of every build step: unless the build has already failed, frees the
// expansion's parts and the define table, reports 15002 against the window and marks the build
// failed. Returns 15055.
int FlagCircuitBuildOutOfMemory();

// Build error codes and their messages (10830 + code).
inline constexpr int kBuildErrorNoGround = 1;        // 10831 schematic without a ground
inline constexpr int kBuildErrorNoSpiceGround = 8;   // 10838 text netlist without node 0
inline constexpr int kBuildErrorNoNodes = 19;        // 10849 nothing to simulate

// Unless the build has already failed, reports 10830 + code against the window; the build is
// failed either way.
void ReportBuildError(int code);

}  // namespace kq5
