#pragma once
// The values of the independent sources at the present time: the waveform functions (PULSE,
// SIN, EXP, PWL, SFFM and the PULSE and SINE parts' model shapes), the expansion of PWL lists
// before a transient run, the user-file sources' interpolation, and the step ceiling that
// sinusoidal sources allow.
#include <cstddef>

namespace kq5 {

struct IndependentSourceDevice;
struct SourceStamps;

// Waveform modes of SineWaveValue.
inline constexpr int kSineModeSine = 2;
inline constexpr int kSineModeModulated = 5;

// VO + VA x damping x sin(2 pi F (t - TD) + phase term); VO before TD.
double SineWaveValue(double t, int mode, double vo, double frequency, double va, double tau, double rp,
                     double td, double phase, double mdi, double fs);
// One period of a trapezoid with absolute corner times p1 <= p2 <= p3 <= p4 in the period p5.
double PulseWaveValue(double t, double v1, double v2, double p1, double p2, double p3, double p4, double p5);
double ExpWaveValue(double t, double v1, double v2, double td1, double tau1, double td2, double tau2);
// Interpolation over the source's expanded points: 0, or 15055 after reporting 10631 for
// descending times (value 0).
int PwlWaveValue(const IndependentSourceDevice& source, const SourceStamps& stamps, double t, double& value);

// Plays the PWL list of a source into its expanded points, up to the first point past tmax.
// 0, or 15002.
int ExpandPwlTable(const IndependentSourceDevice& source, SourceStamps& stamps, double tmax);
// ExpandPwlTable for every general source of type PWL, in list order; 0 or the first failure.
int ExpandAllPwlTables();

// Writes the value of every SINE part, PULSE part, general source and user-file source at the
// present time (the DC value outside transient analyses). 0, or the first PWL failure (15055);
// the sources after a failing PWL source keep their old values.
int EvaluateSourcesAtTime();

// 0.1 / the highest frequency of the sinusoidal sources, 1e30 when there is none; also the
// delays of the lossy line models.
double MaxSourceTimeStep();

// User-file sources: the committed search index takes the tentative one (accepted step), or
// both go back to 0 (run start).
void CommitUserSourceIndices();
void ResetUserSourceIndices();

}  // namespace kq5
