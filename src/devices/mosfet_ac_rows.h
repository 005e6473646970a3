#pragma once
// The AC side of a MOSFET whose load linearises it element by element (a conductance and a
// capacitance per reserved matrix position): LEVEL 4, 5 and 8.
#include <span>
#include <utility>

namespace kq5 {

struct MosfetDevice;

// A device whose nodes are numbered by their role: gate, drain, source and bulk 1 to 4, their
// internal nodes 5 to 8, the charge node 9. A position table made for it names the role of
// each row, which the node numbers of a real device cannot tell when two terminals share a node.
const MosfetDevice& RoleNumberedMosfet();

// The stamp pass adds g + j omega c at every position; the current pass stores the AC currents
// into the four terminals in the device and the drain current in the stamp state, each summed
// over the rows of its terminal (`roles`, the same table made for RoleNumberedMosfet). 0 or the
// first failing stamp's result.
int StampLinearisedMosfet(MosfetDevice& d, int pass, std::span<const std::pair<int, int>> positions,
                          std::span<const std::pair<int, int>> roles, std::span<const double> g,
                          std::span<const double> c);

}  // namespace kq5
