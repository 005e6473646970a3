#pragma once
// The lossy transmission line (RLC, RC, LC and RG lines): set-up, load, AC stamp and the
// port history its convolution reads.

namespace kq5 {

// exp(-x) I0(x) and exp(-x) I1(x) for x >= 0, finite where the factors alone overflow.
double ScaledBesselI0(double x);
double ScaledBesselI1(double x);

int SetupLossyLines();
int LoadLossyLines();
int AcLoadLossyLines(int pass);

// After the operating point of a transient case: lowers maxStep to the delay of every line
// with one, tabulates the responses for the run and starts the histories. 0 or 15002.
int StartLossyLineHistories(double& maxStep);
// After every accepted time point: stores the port values. 0 or 15002.
int AcceptLossyLineTimePoint();
// The largest next step (at most `step`) at which the lines' port values stay close enough
// to straight between points for their convolution.
double LossyLineStepLimit(double step);
// The next step after an accepted point, shortened (never below a thousandth of itself) to
// land where a bend that left one end of a line one delay earlier arrives at the other.
double LossyLineLandingStep(double step);
// Releases every history and table (after each case and at the end of a run).
void FreeLossyLineHistories();

void RegisterLossyLineFamily();

}  // namespace kq5
