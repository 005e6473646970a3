#pragma once
// The AC side of a MOSFET whose load linearises it element by element (a conductance and a
// capacitance per reserved matrix position): LEVEL 4, 5 and 8.
#include <span>
#include <utility>

namespace kq5 {

struct MosfetDevice;

// The stamp pass adds g + j omega c at every position; the current pass stores the AC currents
// into the four terminals (the rows of the device's own equations) in the device and the drain
// current in the stamp state. 0 or the first failing stamp's result.
int StampLinearisedMosfet(MosfetDevice& d, int pass, std::span<const std::pair<int, int>> positions,
                          std::span<const double> g, std::span<const double> c);

}  // namespace kq5
