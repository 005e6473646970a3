#pragma once
// Set-up and load of the simple elements: resistors, capacitors, linear controlled sources
// (E, F, G, H), the three switch kinds, the op-amp gain stages and the holding conductances of
// the initial node values.
namespace kq5 {

int SetupResistors();
// Every resistor, or, when the load pass began from the kept constant part, only those whose
// value is a formula.
int LoadResistors();
// The part of a transient time point's equations that stays the same while the integration
// coefficient does: the resistors whose value is no formula and the conductances of the
// capacitors without formula or voltage coefficients. Marks their stamps as constant.
int LoadConstantLinearPart();
int SetupCapacitors();
int LoadCapacitors();
int SetupLinearSources();
int LoadLinearSources();
int SetupVoltageSwitches();
int LoadVoltageSwitches();
int SetupCurrentSwitches();
int LoadCurrentSwitches();
int SetupSwitches();
int LoadSwitches();
int SetupOpamps();
int LoadOpamps();
int SetupInitialValues();
int LoadInitialValues();

// Temperature factors of resistors, capacitors and inductors at the analysis temperature
// (degrees Celsius), and whether capacitors and inductors keep their voltage or current
// coefficients.
void PrepareLinearElementsAtTemperature(double temperature);

}  // namespace kq5
