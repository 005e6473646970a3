#pragma once
// The AC run: the small-signal frequency response of the circuit linearised at its DC
// operating point, and its noise. A Run reads the AC Analysis Limits, computes (or reuses) the
// operating point, builds the complex system once, and sweeps the frequency from the low to
// the high limit, with a fixed linear or logarithmic step or a step chosen from how much the
// first plotted curve changes on the screen ("Maximum Change %").
#include <array>
#include <cstdint>
#include <vector>

#include "document/run_options.h"

namespace kq5 {

struct WindowRecord;


inline constexpr int kMsgNoiseWithOthers = 13575;
inline constexpr int kMsgLogStepZeroLimit = 13577;
inline constexpr int kMsgHighBelowLow = 13578;
inline constexpr int kMsgFailedDcOperatingPoint = 14191;

struct AcRunState {
    double fHigh = 0.0;
    double fLow = 0.0;
    std::uint32_t sweepKind = kFrequencyStepAuto;
    int points = 1;
    double endTolerance = 0.0;
    double maxChange = 1.0;    // F: the fraction of the plot a step may move the curve
    double lowerBound = 0.4;   // 0.4 F
    double initialStep = 0.0;  // automatic step at the start of a case
    double step = 0.0;         // h, the present automatic step
    double linearStep = 0.0;
    double logFactor = 1.0;
    double f = 0.0;
    double fPrev = 0.0;
    double fBeforePrev = 0.0;

    // Automatic step control.
    double prevX = 0.0, prevY = 0.0, prevAngle = 0.0;
    int rejections = 0;
    int freeAcceptances = -2;
    bool firstAccepted = false;
    bool pointRejected = false;
    int acceptedCount = 0;

    // Reuse of the operating point and complex system between Runs.
    bool operatingPointValid = false;
    double operatingPointTemperature = -1e30;
    std::int64_t operatingPointRun = -1;  // the stored run the operating point was computed for
    int operatingPointCases = -1;
    bool operatingPointStepping = false;
    std::array<int, 2> operatingPointNoiseOutput{-1, -1};
    std::array<int, 2> operatingPointNoiseInput{-1, -1};
    int operatingPointNoise = 0;
    bool systemReady = false;
    bool keepDeviceStates = false;

    int noise = 0;              // some curve plots a noise quantity
    bool deviceQuantities = false;  // the plots read device currents: second stamper pass
    std::vector<double> savedExcitation;  // noise mode: (real, imaginary) pairs
};

AcRunState& AcRun();
void ResetAcRunForTests();

// Once per analysis start: forgets the last operating point, defaults the options word,
// opens the analysis window. 0 or a message id.
int SetupAcAnalysis();
// The Frequency Step choice of the circuit's AC options word: kFrequencyStepAuto, Linear or Log.
std::uint32_t FrequencyStepKind();
// The Run command of an AC analysis.
int AcAnalysisRun();
// Frees the noise table and the event queue when the analysis ends.
void FreeAcRunTables();

// Steps of the run, exposed for the analysis window and the tests.
int ReadAcSweepLimits();
int PrepareAcSweep();
// The noise input source and the output nodes of the limits, found in the circuit as built.
int ReadNoiseEnds();
void NextFrequency();
int PrepareAcOperatingPoint(WindowRecord* window);
// Builds (on the first call) and solves the complex system at the present frequency;
// 0 or a message id (14190 when an iterated solution does not settle).
int SolveAcPoint();
void AbortAcRun();
// One case with the sweep prepared: the bias, the complex system and the frequency sweep.
// 0 or a message id (14190 for a failed bias).
int AcRunCase(WindowRecord* window);

// The decision of the automatic step for the point just computed, from the first curve's
// position on the plot: true to accept, false to recompute at fPrev + the halved step.
struct AcPlotPosition {
    double x = 0.0;       // pixels
    double y = 0.0;       // pixels
    double height = 1.0;  // plot height in pixels
    bool outsideX = false;
};
bool AcAutoStepAccepts(const AcPlotPosition& p);

}  // namespace kq5
