#pragma once
// The LEVEL 4 (BSIM1) and LEVEL 5 (BSIM2) MOSFETs before a run: instance geometry defaults and
// the model's series conductances at the circuit temperature, and the per-instance record at the
// analysis temperature.
namespace kq5 {

struct EvaluatedModel;

void PrepareMosLevel4Instances();
void PrepareMosLevel5Instances();
// Every instance of the level at the analysis temperature t (degrees Celsius): 0, or 15055
// after reporting a non-positive effective length or width (the walk stops there).
int PrepareMosLevel4AtTemperature(double t);
int PrepareMosLevel5AtTemperature(double t);

// VBB as the BSIM2 evaluation bounds vbs with it: the model's value when the statement gives it,
// else -5 (the table's +5 would hold every body bias at +10 V).
double Bsim2BodySupply(const EvaluatedModel& m);

}  // namespace kq5
