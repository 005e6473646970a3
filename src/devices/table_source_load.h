#pragma once
// Table sources (E, F, G and H given by a piecewise-linear table): set-up, Newton load, the
// step ratio that lands a time point just past a table breakpoint, the accepted segment, and
// the AC stamp with the slope at the operating point.
namespace kq5 {

// The non-convergence test shared by the behavioural sources: the absolute tolerance is
// ABSTOL for current outputs (kinds 0 and 1, and the current-output formula type 35), VNTOL
// otherwise. A value counts as unconverged in the first three iterations of a solve or when it
// moved by more than the tolerance from *previous; *previous takes the value.
void CheckSourceConverged(int selector, double value, double* previous);

int SetupTableSources();
int LoadTableSources();
// After a converged time point: sets the table-source step factor to the fraction of the
// present step at which the input of a source left its accepted segment (1e30 when none did).
void TableSourceStepRatio();
// At an accepted time point: every source keeps the segment and input it was accepted in.
void AcceptTableSourceStates();
int AcLoadTableSources(int pass);

void RegisterTableSourceFamily();

}  // namespace kq5
