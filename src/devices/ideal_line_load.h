#pragma once
// The ideal (lossless) transmission line in the time domain: two Z0 resistors feeding two
// controlled sources, each carrying the wave that left the other port one delay earlier.

namespace kq5 {

// Set-up and load of every line (resistors, port shunts and the two source rows).
int SetupIdealLines();
int LoadIdealLines();

// After the operating point of a transient case: lowers maxStep to half the shortest delay
// and starts every line's history from the present solution. 0 or 15002.
int SetLineStepLimits(double& maxStep);
// After every accepted time point: drops the history no longer needed and records the
// present waves, adding a breakpoint where a wave corner will arrive at the other port.
// 0 or 15002.
int PruneLineHistories();
// Empties every line's history (after each case and at the end of a run).
void ClearLineHistories();

// Ideal and lossy lines.
void RegisterLineFamilies();

}  // namespace kq5
