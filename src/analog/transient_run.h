#pragma once
// The transient run: the circuit's response over time from Tmin to Tmax. A Run reads the
// Transient Analysis Limits, prepares the run and, for every temperature, stepping and Monte
// Carlo case, computes the initial state (DC operating point, or stored or zero state
// variables) and then advances time point by point: the sources at the new time, Newton
// iteration, acceptance or rejection by the local truncation error, and output of every
// accepted point.
#include <cstdint>
#include <vector>

#include "document/run_options.h"

namespace kq5 {

struct WindowRecord;


// Messages of the transient run.
inline constexpr int kMsgTminWithDigital = 13540;
inline constexpr int kMsgIllegalTemperature = 13541;
inline constexpr int kMsgStepTooSmall = 13542;
inline constexpr int kMsgIterationLimit = 13543;
inline constexpr int kMsgIllegalTimeRange = 13545;
inline constexpr int kMsgFailedAtTime = 14190;

struct TransientRunState {
    // Run values, set from the limits at each Run.
    double tmax = 0.0;
    double tmin = 0.0;
    double span = 0.0;
    double maxStep = 0.0;
    int points = 51;
    double printInterval = 0.0;
    double initialStep = 0.0;  // h0 of the case
    double minimumStep = 0.0;  // 1e-11 of the largest step
    int convolutionPoints = 128;
    double convolutionStep = 0.0;

    // Run options.
    std::uint32_t optionsWord = kDefaultTransientOptions;
    int stateVariables = kStateVariablesZero;
    bool operatingPointOnly = false;
    bool operatingPoint = true;

    // Time loop.
    std::uint32_t digitalTime = 0;  // ticks since Tmin
    std::uint32_t acceptedDigitalTime = 0;  // of the last accepted point
    double plannedStep = 0.0;       // the next step the last accepted point asked for
    double usedStep = 0.0;          // the step of the last accepted point
    int retryCounter = 0;
    int rejectedCount = 0;
    bool operatingPointComputed = false;
    bool firstRun = true;
    bool hasLaplaceSources = false;
    bool steppedRun = false;
    int digitalWarnings = 0;        // digital warning blocks of every case, counted once at the end

    // Saved copies of the digital node states at the last accepted point.
    std::vector<std::uint16_t> savedDigitalCurrent;
    std::vector<std::uint16_t> savedDigitalPrevious;
    std::vector<std::uint16_t> savedDigitalScheduled;
};

TransientRunState& TransientRun();
// Zeroes the counts the statistics show of a run: accepted points, rejected steps, loads.
void ClearRunCounts();
void ResetTransientRunForTests();

// Once per analysis start: defaults the options word, opens the analysis window and the
// limits. 0 or a message id.
int SetupTransientAnalysis();
// The Run command of a transient analysis: 0, a message id, 15055 or 15056.
int TransientAnalysisRun(WindowRecord* window);
// One pass of the time loop: the operating point (phase 1 or 3) or the time steps (phase 2).
// 0 or a message id.
int TransientTimeLoop(WindowRecord* window);

// One case with the run values already set: the source breakpoints, the operating point and
// the time steps. 0 or a message id.
int TransientRunCase(WindowRecord* window);

// Decodes the options word into the State Variables choice and the operating-point flags.
void ReadTransientRunOptions(std::uint32_t optionsWord);

// Clears the run's vectors and states (unless State Variables is "Leave"), applies stored
// state variables and initial conditions. 0 or a message id.
int ReinitializeRunStates();
void InitializeRunStates();
void ApplyInitialConditions();

// Lowers the step to the maximum step.
void ClampToMaximumStep(double& step);
// Cuts the step to land exactly on the first queue entry when it lies within reach.
void AlignStepToNextEvent(double& step);
// Hands an accepted point to the plots and files. 0 or a message id. `again`: the point was
// handed over already and only its curves take it once more (digital states changed at its
// time); nothing is saved or committed a second time.
int OutputTransientPoint(WindowRecord* window, bool again = false);
// Returns the solution and the digital states to the last accepted point.
void RestoreRejectedStepStates();
// Writes the charge and current of each capacitor of the kept constant part into its record,
// which the time points leave alone while no expression reads them.
void WriteConstantCapacitorRecords();
// Empties the event queue at the end of the analysis.
void FreeTransientRunTables();

// Shared by the run loops of every kind: the next temperature of the Temperature list (held
// at its last value), and the start of a case at the present temperature (stepped values and
// temperature through the run services, else the circuit set-up at the temperature).
void AdvanceTemperatureSweep();
int BeginRunCase(WindowRecord* window);
// Fixes the run plan's sizes once the limits are read (before the store is made): the
// temperatures of the temperature list and the Input 2 values of a DC sweep.
void PlanRunSizes(int input2Count);

// One kind's case inside the shared run loop.
struct RunLoopCase {
    int (*runCase)(WindowRecord*) = nullptr;
    int printedPoints = 0;   // points of the printed-values table of a case
    bool singleCase = false;  // the first case ends the run (operating point only)
    // The case ends its own runs in the store and the numeric output (one run per Input 2
    // value of a DC sweep).
    bool endsOwnRuns = false;
};
// The temperature sweep around the stepping and Monte Carlo cases of a run, to the run
// contract of the run services: each case begins at the present temperature, runs, and is
// ended and printed. 0 or the first message id.
int RunTemperatureAndCases(WindowRecord* window, const RunLoopCase& loop);

}  // namespace kq5
