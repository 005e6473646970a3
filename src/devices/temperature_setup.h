#pragma once
// Brings the built circuit to a run's temperature: the thermal voltage, limits and defaults of
// model parameters, the MOSFET process quantities, the diode breakdown knee and the MOSFET
// instance geometry defaults. Called at analysis start (27 degrees) and before every
// temperature, stepping or Monte Carlo case.
namespace kq5 {

// Rebuilds the working parameters of every evaluated model from its pristine copy (taking the
// copy at the first call for a model).
void RebuildModelsFromPristine();

inline constexpr double kBoltzmann = 1.3806226e-23;
// One unit in the last place below the double nearest to 1.6021918e-19.
inline constexpr double kElectronCharge = 1.6021917999999998e-19;
inline constexpr int kMsgNsubBelowNi = 13661;
inline constexpr int kMsgToxNotPositive = 13662;

// Thermal voltage at a temperature in degrees Celsius.
double ThermalVoltage(double celsius);

// 0 or the first message id of a step.
int SetCircuitTemperature(double celsius);
// The MOSFET process pass over the models of one type row (NMOS or PMOS): 0, or 15055 after a
// bad TOX or NSUB was reported (the pass goes on with a substitute value).
int PrepareMosModelProcess(int modelType, double celsius);
// The breakdown knee of the diode models of LEVEL 1 with a breakdown voltage.
void PrepareDiodeBreakdown();

}  // namespace kq5
