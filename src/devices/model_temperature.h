#pragma once
// The device models' part of bringing a circuit to a run's temperature: the model passes that
// SetCircuitTemperature runs in its fixed order, the per-run preprocessing that follows it, and
// the small numeric helpers the passes share.
//
// The passes of the semiconductor models (bipolar transistors, JFETs, MOSFET units and the
// LEVEL 4, 5 and 8 instances), the op-amp re-derivation at the run temperature and the lossy
// line model check belong with those device models; until they exist the passes leave the
// models as the circuit build evaluated them.
#include <span>

namespace kq5 {

struct OpampDevice;

// ---- passes of SetCircuitTemperature, in the order it calls them --------------------------

// Element values of one op-amp at the run temperature (degrees Celsius). 0 or a message id.
int PrepareOpampInstance(OpampDevice& opamp, double celsius);
void PrepareBjtModelLimits(int modelType);
void PrepareJfetModelLimits(int modelType);
void PrepareMosModelsAtTemp(int modelType);
void ScaleBjtLeakageCurrents(int modelType);
void DeriveBjtModelParams(int modelType);
void DeriveJfetModelParams(int modelType);
// Gives zero-width pulse edges a thousandth of the period and checks the pulse times of every
// PULSE part's model. 0 or the first check's result.
int DefaultPulseEdgeTimes();
void ConvertMosModelUnits(int modelType);
void PrepareMosLevel4Instances();
void PrepareMosLevel5Instances();
void PrepareMosLevel8Instances();
// The lossy-line model check that ends the sequence. 0 or a message id.
int CheckLossyLineModels();

// Per-run preprocessing after SetCircuitTemperature: the run's temperature in kelvin, the
// largest conductance, the temperature factors of resistors, capacitors and inductors, and the
// MOSFET instances at their temperatures. 0 or a message id (already reported).
int PrepareModelsAtTemperature(double celsius);

// ---- helpers ------------------------------------------------------------------------------

// A nonzero resistance R becomes the conductance 1 / max(R, 1e-6); 0 (no resistance) stays.
void ResistanceToConductance(int index, std::span<float> params);
// A nonzero value x becomes 1 / x.
void InvertIfNonZero(int index, std::span<float> params);
// A value strictly between 0.999 and 1.001 becomes 0.999 (a grading of 1 divides by zero).
void NudgeOffOne(float& value);
// The forward-bias depletion-capacitance coefficients: the knee FC x VJ into slot knee, and
// the three coefficients of the charge above the knee into slots b, c and d.
void DepletionCapCoefficients(std::span<float> params, int knee, int b, int c, int d, double fc, double vj,
                              double m);
double FirstNonZero3(double a, double b, double c);
double FirstNonZero2(double a, double b);

}  // namespace kq5
