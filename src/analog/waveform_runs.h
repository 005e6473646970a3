#pragma once
// The waveform store of an analysis window as the run loops use it: made with the runs of the
// current analysis, and each run closed with its case, temperature and stepped values.
namespace kq5 {

struct WindowRecord;

// Sets the window's plot store up for the runs of the current analysis; a memory failure is
// reported through the run-failure reporter. printedOnly: nothing but the numeric output reads
// the stored points after the run, so a single run keeps only the points it may print.
int CreateWaveformStore(WindowRecord* window, bool printedOnly = false);
// Closes the run of the window's plot, with the run values of the current analysis.
void EndWaveformRun(WindowRecord* window, bool keepRun);
// Lets the stores stop a probe run whose store file cannot be written.
void InstallWaveformStoreHooks();

}  // namespace kq5
