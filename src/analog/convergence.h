#pragma once
// The tolerance tests of the Newton iteration and the device loads, the value helpers that keep
// resistances and other values away from zero, the pn-junction charge routine of the
// semiconductor models, the copy of the real solution into the complex one, and the end of the
// run data.
#include <cmath>
#include <cstdint>
#include <span>

namespace kq5 {

// A value counts as unconverged when |new - old| exceeds RELTOL x max(|new|, |old|) plus an
// absolute term: VNTOL for voltages, ABSTOL for currents, 1e-20 for device values.

// Adds 1 to the non-convergence count when |new - old| > RELTOL x max + VNTOL; the count.
int CheckValueConverged(double newValue, double oldValue);
// The same with ABSTOL.
int CountCurrentNonConverged(double newValue, double oldValue);
// 1 when |a - b| < RELTOL x max(|a|, |b|) + ABSTOL (VNTOL), else 0.
int CurrentValueConverged(double a, double b);
int VoltageValueConverged(double a, double b);
// Adds 1 when |new - old| > RELTOL x max + 1e-20, then stores new over old.
void UpdateConvergedValue(double newValue, double& oldValue);

double MaxMagnitude(double a, double b);
// a when a > b, else b (so the second when unordered).
double MaxDouble(double a, double b);
double MinDouble(double a, double b);

// 0 becomes +1e-20; a magnitude below 1e-20 becomes -1e-20 when negative, else +1e-20.
void ClampAwayFromZeroTiny(double& value);
// The same with RMIN.
void ClampAwayFromZeroRmin(double& resistance);
// The same with a limit the caller read once (a load pass over many resistors).
inline void ClampAwayFromZero(double& value, double limit)
{
    if (std::fabs(value) < limit) value = value < 0.0 ? -limit : limit;
}

// Working value = given value for every capacitor, inductor and resistor.
void ResetRlcWorkingValues();

// At every load of an AC analysis (its bias): complex solution[i] = (solution[i], 0).
void CopySolutionToComplex();

// Depletion and transit-time charge of a pn junction. `params` is the model's parameter array;
// `kneeSlot` holds the knee voltage FC x PB and `coefficientSlot` the first of the three
// forward-bias coefficients (B, C, D). Writes the charge to slot 0 of the state `stateSlot` in
// the charge vector and the capacitance to `capacitance`, or adds both when `add` is set.
struct JunctionChargeInputs {
    std::span<const float> params;
    int kneeSlot = 0;
    int coefficientSlot = 0;
    double voltage = 0.0;
    double pb = 0.0;       // junction potential
    double m = 0.0;        // grading coefficient
    double tt = 0.0;       // transit time
    double current = 0.0;  // the current and conductance TT multiplies
    double conductance = 0.0;
    double cj = 0.0;       // zero-bias capacitance
};
void JunctionChargeAndCapacitance(const JunctionChargeInputs& in, int stateSlot, double& capacitance,
                                  bool add);

// Ends the life of the run data: empties the evaluated models and the device lists, frees the
// stamp sets, keeps each node's last value in the document, and frees the solver vectors.
// A second call does nothing.
void FreeAnalogRunData();

}  // namespace kq5
