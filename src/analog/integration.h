#pragma once
// Integration coefficients of the variable-order formulas (Gear and trapezoidal) and the
// largest next step that the local truncation error of the charge states allows.
//
// The numerical core takes its inputs explicitly, so that it can be checked against known
// differential equations without a circuit; the solver-state entry points read the method,
// order, step, step history and state vectors of the running analysis.
#include <array>
#include <span>

#include "netlist/global_options.h"  // kMethodGear, kMethodTrap

namespace kq5 {

inline constexpr int kStepHistoryLength = 7;
inline constexpr int kMaxGearOrder = 6;
inline constexpr int kMaxTrapOrder = 2;
// Each charge or current state keeps the present point and three accepted points back.
inline constexpr int kStateSlots = 4;
// The highest order whose integration and error estimate fit in the four slots of a state.
inline constexpr int kMaxStateOrder = 2;
// After the plain states the state vectors hold a block of states for every bipolar
// transistor, then one for every MOSFET. Every MOSFET model keeps its charges in the first
// five states of its block; the other two stay unused.
inline constexpr int kBjtBlockStates = 5;
inline constexpr int kMosfetBlockStates = 7;
inline constexpr int kMosfetChargeStates = 5;

// Entry 0 is the present step, entry k the step k points back.
using StepHistory = std::array<double, kStepHistoryLength>;
using IntegrationCoefficients = std::array<double, kStepHistoryLength>;

// True where the processor has AVX2: the loops over all states then work four values at a time.
bool ProcessorHasAvx2();
// Whether the processor has fused multiply-add beside AVX2; checked once.
bool ProcessorHasAvx2Fma();

// The coefficients of the method (kMethodGear, kMethodTrap) at the order for the present
// step and history. False, and the coefficients untouched, when the order lies outside the
// method's range (Gear 1..6, trapezoidal 1..2).
bool ComputeIntegrationCoefficientsFor(int method, int order, double step,
                                       const StepHistory& history,
                                       IntegrationCoefficients& coefficients);

// The error factor of the method at the order; 0 when there is none.
double TruncationErrorFactor(int method, int order);

struct TruncationTolerances {
    double reltol = 1e-3;
    double abstol = 1e-12;
    double chgtol = 1e-14;
    double trtol = 7.0;
};

// The smaller of bound and the square of the step that keeps one state's local truncation
// error within tolerance. charge and current are the state's four slots. An order beyond the
// slots (above 2) has no estimate and gives bound.
double StateTruncationStepSquared(int method, int order, double step, const StepHistory& history,
                                  std::span<const double, kStateSlots> charge,
                                  std::span<const double, kStateSlots> current,
                                  const TruncationTolerances& tolerances, double bound);

// --- the running analysis ----------------------------------------------------------------

// Coefficients of the solver's method and order for its step and history, with the copies
// of coefficients 0 and 1 that the device loads read. An order outside the method's range
// leaves them unchanged.
void ComputeIntegrationCoefficients();
// The coefficients of a DC solution (an operating point, a DC sweep point): all zero, so that
// no charge moves, every capacitor is open and every charge of a device carries no current.
void ClearIntegrationCoefficients();

// The smaller of bound and the squared step estimate of the state whose slot 0 is at
// stateIndex in the solver's state vectors.
double EstimateTruncationStep(int stateIndex, double bound);

// The next step the truncation error allows: the square root of the smallest estimate over
// the plain states and the first three states of every bipolar and MOSFET block, at most
// the run's initial step h0 and at most twice the present step.
double TruncationStepEstimate(double initialStep);
// The same without the bound of twice the present step, used after the digital side
// changed the analog/digital interface.
double InterfaceTruncationStepEstimate(double initialStep);

}  // namespace kq5
