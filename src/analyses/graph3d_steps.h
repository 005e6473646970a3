#pragma once
// What the 3-D plots read of parameter stepping: how many values each slot steps, whether it
// steps linearly, its name and the value of one of its cases.
namespace kq5 {

struct Graph3DSources;

// Fills the slot counts, the simultaneous flag, the slots' linear flags and names.
void FillSteppingSources(Graph3DSources& sources);
// The value of case `index` (0-based) of slot k.
double SteppingSlotValue(int slot, int index);

}  // namespace kq5
