#pragma once
// The DSP pass after each run: the stored curves of the run are resampled onto a uniform grid of
// N points, every curve whose Y expression holds a Fourier function has its function program
// applied to its sampled operands, and the results replace the run's points in the waveform
// store. Also the check of the DSP point count before a run.
#include <string>

#include "plots/dsp_functions.h"

namespace kq5 {

struct WindowRecord;
struct PlotRecord;
struct CurveRecord;
struct CircuitDocument;

// Values of the pass in progress (or of the last one).
struct DspPassState {
    DspGrid grid;
    int firstIndex = 0;  // first stored point of the run the pass worked on
    int finished = 0;    // a pass has ended
};
DspPassState& DspPass();
void ResetDspPassForTests();

// Whether the curve's Y expression uses a whole-curve function.
bool IsDspCurve(const CurveRecord& curve);

// Called after a curve's Y expression compiled with its spectral work record: a curve without
// Fourier functions drops the record; a DSP curve gets its function program ('o' pushes the
// next operand, 'd' applies the next Fourier function of the expression).
void FinishDspCurveCompile(CurveRecord& curve);

// The pass over the window's plot for the current analysis kind. Errors are reported; the
// work arrays and the curves' operand stores are always freed.
void ComputeDspCurves(WindowRecord* window);

// Before a run with DSP on: the point count must be one of 64, 128, ... 262144, else the
// message is shown, the DSP dialog is asked for again and 15055 returned.
int CheckDspPointCount();

// The first operand sample of a DSP curve's run moved to the run's start time like its first
// stored point: on the line through samples 1 and 2, at the fraction (start - t1) / (t2 - t1).
void InterpolateDspStartSamples(CurveRecord& curve, double fraction);

// Frees the operand stores of every DSP curve of the plot.
void FreeDspStores(PlotRecord& plot);

// The DSP settings of the analysis kind (transient and AC have them), or null.
struct DspSettings;
DspSettings* DspSettingsOf(CircuitDocument* document, int kind);

}  // namespace kq5
