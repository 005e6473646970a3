#pragma once
// The layers of every model parameter: the nominal value as the circuit build evaluated it
// (never written again), the run value (stepped or perturbed; EvaluatedModel::pristine) and the
// derived value the devices use at the circuit temperature (EvaluatedModel::params, rebuilt from
// the run values by every SetCircuitTemperature). A run changes only run values, so nothing
// compounds from one run to the next.
namespace kq5 {

struct EvaluatedModel;

// Takes the model's nominal layer when it has none yet (from its run values, else from its
// parameters as evaluated).
void EnsureNominalLayer(EvaluatedModel& model);
// Copies every model's nominal parameters over its run values (and its parameters).
void RestoreNominalModelParams();
// Sets one run value (and the parameter itself until the next temperature pass).
void SetModelRunValue(EvaluatedModel& model, int index, float value);
// The nominal value of one parameter.
float NominalModelParam(EvaluatedModel& model, int index);

}  // namespace kq5
