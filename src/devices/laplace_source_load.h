#pragma once
// Laplace sources (a transfer function in S) and frequency-table sources: a linear controlled
// source with the gain at zero frequency at an operating point; in a transient run the
// output is the convolution of the input history with an impulse response sampled once per
// run from the frequency description (an inverse transform by FFT, with exponential damping
// for the Laplace kind); in AC the gain at the present frequency.
#include <complex>

namespace kq5 {

struct FreqTableSourceDevice;

// The shared check of the controlled behavioural sources: the output as CheckSourceConverged
// does, then the input with the same tolerance but without the first-iterations rule.
void CheckControlledSourceConverged(int kind, double output, double* previousOutput, double input,
                                    double* previousInput);

// The complex value of a frequency table at f for its segment j (rows j - 1 and j),
// interpolated linearly in log frequency and converted from its units.
std::complex<double> FreqTableValue(const FreqTableSourceDevice& source, int j, double f);
// The segment of f: the first row from 1 up whose frequency is at least f, the last at the top.
int FreqTableSegment(const FreqTableSourceDevice& source, double f);

int SetupLaplaceSources();
int SetupFreqTableSources();
int LoadLaplaceSources();
int LoadFreqTableSources();
int AcLoadLaplaceSources(int pass);
int AcLoadFreqTableSources(int pass);

// With op 0: the operating-point input step and output of every source are cleared.
int ResetLaplaceTableSourceStates(int op);
// Releases the impulse responses and input histories of both kinds.
void FreeLaplaceBuffers();

void RegisterLaplaceSourceFamilies();

}  // namespace kq5
