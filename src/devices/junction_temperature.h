#pragma once
// Temperature laws shared by the junction device models (diodes, bipolar transistors, JFETs,
// GaAsFETs): the device temperature of a model, the silicon band-gap law of junction
// potentials and zero-bias capacitances, the saturation-current factor and the critical
// voltage of Newton limiting.
#include <span>

namespace kq5 {

struct EvaluatedModel;

// The outs of JunctionTempAdjust.
struct JunctionTemperature {
    double vt = 0.0;        // thermal voltage at the device temperature
    double ratio = 1.0;     // T2/T1 in kelvin
    double logRatio = 0.0;  // ln(T2/T1)
    double dT = 0.0;        // T2 - T1
    double dT2 = 0.0;       // dT squared
};

// The device temperature (degrees Celsius) of a model whose hidden temperature parameters
// start at `measuredIndex` (T_MEASURED, T_ABS, T_REL_GLOBAL, T_REL_LOCAL), at run
// temperature `celsius`. A T_MEASURED that was not given becomes TNOM first.
double ModelDeviceTemperature(EvaluatedModel& model, int measuredIndex, double celsius);

// Moves the junction potential at `potential` and the zero-bias capacitance at `capacitance`
// from T1 to T2 (degrees Celsius) with grading m. A potential that would end at or below
// zero is held at a small positive value and recorded as a deferred warning at T2.
JunctionTemperature JunctionTempAdjust(double t1, double t2, int capacitance, int potential, double m,
                                       EvaluatedModel& model);

// The slots of a FET model that its gate passes at temperature read and write.
struct FetGateSlots {
    int cgd, cgs, potential, grading;
    int knee, depCapC, depCapD;
    int beta, betatce, vto, vtotc;
};

// Both gate junctions of a FET taken from the same nominal potential (the gate-drain
// capacitance first, then the gate-source one, the potential ending at T2), the knee scaled
// with the potential, and the temperature coefficients of BETA and VTO.
JunctionTemperature FetGateAtTemperature(EvaluatedModel& model, double t1, double t2, const FetGateSlots& slots);

// The factor of a saturation current between two temperatures of kelvin ratio r.
double SaturationCurrentTempFactor(double r, double eg, double n, double vt, double xti);

// The junction voltage above which Newton steps are limited.
float CriticalJunctionVoltage(double vt, float is);

// Scales the forward-bias knee and its charge coefficients after the junction potential
// changed by the factor f.
void RescaleDepletionKnee(std::span<float> params, int knee, int c, int d, double f);

// A series conductance divided by its temperature factor. A factor that is not positive (a
// polynomial run past its range) or a result above gmax leaves gmax, as a resistance that
// shrank to nothing would; 0 (no resistance) stays 0.
void DivideConductanceByFactor(float& g, double factor, double gmax);

// 1 + a dT + b dT^2.
double TemperaturePolynomial(double a, double b, double dT);

// The smallest junction potential a temperature law may leave.
inline constexpr double kSmallestJunctionPotential = 1e-3;

}  // namespace kq5
