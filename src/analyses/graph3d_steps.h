#pragma once
// What the 3-D plots read of parameter stepping: how many values each slot steps, whether it
// steps linearly, its name and the value of one of its cases.
namespace kq5 {

struct Graph3DSources;
struct RunPlan;
struct WaveformStore;

// Fills the linear flags and names of the slots that the plan steps.
void FillSteppingSources(Graph3DSources& sources);
// The value of case `index` (0-based) of slot k as the stored runs hold it; index + 1 before a
// run with that case is stored.
double SteppingSlotValue(const WaveformStore& store, const RunPlan& plan, int slot, int index);

}  // namespace kq5
