#pragma once
// Sample-and-hold sources: a voltage source that takes the value of its expression at the
// sample instants k P and holds it in between. The value drives the output (`value`); the
// value at the last accepted time point is kept in `held`, so that a rejected step never
// leaves a sample taken at a time that was thrown away.
namespace kq5 {

int SetupSampleHolds();
int LoadSampleHolds();
// At a run start: a period not above 0 becomes a thousandth of the run, before anything
// divides by it; with reset, both values start at 0.
void PrepareSampleHolds(int reset);
// The sample instants k P up to the run's end (each with a breakpoint just before it), so
// that the steps land on them. 0 or the last failure of an insertion.
int AddSampleBreakpoints();
void SaveSampleHoldValues();
void RestoreSampleHoldValues();

void RegisterSampleHoldFamily();

}  // namespace kq5
