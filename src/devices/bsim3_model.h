#pragma once
// The LEVEL 8 (BSIM3) MOSFETs before a run: the model defaults at the circuit temperature and the
// per-instance record at the analysis temperature.
namespace kq5 {

// Instance geometry defaults, series resistances as conductances and the model defaults that
// depend on other parameters (once per model).
void PrepareMosLevel8Instances();
// Every LEVEL 8 instance at the analysis temperature t (degrees Celsius): 0, or 15055 after
// reporting a non-positive effective size, NGATE or PSCBE2 (the walk stops there).
int PrepareMosLevel8AtTemperature(double t);

}  // namespace kq5
