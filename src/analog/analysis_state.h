#pragma once
// The analysis being set up or run: its kind, the variables that expressions read, the
// solution vectors that compiled node operands point into, the noise table of an AC point
// and the transient run's breakpoint queue.
#include <complex>
#include <cstdint>
#include <vector>

#include "core/linked_list.h"

namespace kq5 {

// 0 transient, 1 AC, 2 DC, -1 none; "TADF"[kind] names the analysis's files.
enum AnalysisKind : int {
    kAnalysisNone = -1,
    kAnalysisTransient = 0,
    kAnalysisAc = 1,
    kAnalysisDc = 2,
};

// The doubles behind the bound variables of the expression language. Compiled
// expressions hold their addresses, so the struct never moves while the state lives.
struct AnalysisVariables {
    double tmin = 0.0;               // TMIN: transient start time
    double tmax = 0.0;               // TMAX: transient end time
    double time = 0.0;               // T, TIME: current time
    double dt = 0.0;                 // DT: current time step
    double fmin = 0.0;               // FMIN: AC start frequency
    double fmax = 0.0;               // FMAX: AC end frequency
    double frequency = 0.0;          // F: current frequency
    double previousFrequency = 0.0;  // the frequency of the previous AC point (GD)
    double dcStart = 0.0;            // DC sweep start value
    double dcValue = 0.0;            // DC sweep current value
    double vt = 0.025864186;         // VT: thermal voltage at the analysis temperature
    double temp = 27.0;              // TEMP: analysis temperature
    double gmin = 1e-12;             // GMIN option
    double laplaceSigma = 0.0;       // real part of S in transient runs
};

// The real solution (one double per node, by node number) of transient and DC analyses and
// the complex solution (one complex per node) of AC analyses. Compiled node operands point
// at entries, so the vectors are only resized between analyses, when expressions are
// compiled again.
struct SolutionVectors {
    std::vector<double> real;
    std::vector<std::complex<double>> complex;
};

// One noise generator of the AC analysis: its density weight and its two nodes.
struct NoiseSource {
    double weight = 0.0;
    int nodeA = 0;
    int nodeB = 0;
};

// What INOISE and ONOISE sum over at the current AC point.
struct NoiseContributions {
    std::vector<NoiseSource> sources;
    // The excitation vector saved before the noise pass; with the complex solution it gives
    // the gain from the input source to the output.
    std::vector<std::complex<double>> savedExcitation;
    double inputAmplitude = 0.0;  // 0 reads as 1
};

// One entry of the transient run's time-ordered queue of breakpoints and digital events
// (list 1 of the device-list registry).
struct TimeBreakpointRecord : ListNode {
    std::uint32_t time = 0;  // digital ticks
    std::int32_t word1 = 0;  // event key, first part
    std::int32_t word2 = 0;  // event key, second part
    std::int32_t word3 = 0;  // event value
    std::uint8_t eventFlag = 0;
    std::uint8_t byteA = 0;
    std::uint8_t byteB = 0;
};

struct AnalysisState {
    AnalysisKind analysisKind = kAnalysisNone;
    AnalysisVariables variables;
    SolutionVectors solution;
    NoiseContributions noise;
    int equationCount = 0;          // analog unknowns: nodes plus branch currents
    std::uint32_t digitalEndTick = 1000000000u;  // breakpoints past twice this are dropped
};

AnalysisState& Analysis();
void ResetAnalysisStateForTests();

// exp(x) with x clamped to -150..150.
double ClampedExp(double x);

// Number of analog unknowns of the built circuit.
int EquationCount();

// Inserts a time (digital ticks) into the breakpoint queue. Mode 0 adds a plain breakpoint,
// dropped when another lies within 10 ticks; mode 1 adds or updates the event keyed by
// words 1 and 2. 0, or 15002 when memory runs out.
int AddTimeBreakpoint(std::uint32_t time, std::uint8_t byteA = 0, std::uint8_t byteB = 0,
                      int mode = 0, std::int32_t word1 = 0, std::int32_t word2 = 0,
                      std::int32_t word3 = 0);

}  // namespace kq5
