#pragma once
// The model side of Monte Carlo runs: the layers of a model parameter that the runs read and
// write (nominal as read, run value), the perturbation of one model, and what the failure
// report needs to know of a model (its tolerances, its changed values, the parts that use it).
#include <string>
#include <vector>

#include "core/expr_evaluator.h"

namespace kq5 {

struct EvaluatedModel;
struct CircuitDocument;

// The document of the analysis: the circuit window's during a run, else the current one.
CircuitDocument* MonteCarloDocument();

// The value of a parameter for the run being prepared.
float RunModelParam(const EvaluatedModel& model, int index);

// The model was made AKO another model.
bool HasAkoBase(const EvaluatedModel& model);
// Pass 0: LOT (or, for an AKO model with DEV, its base's value plus DEV); pass 1: DEV on top.
void PerturbModel(EvaluatedModel& model, int pass);

// The model has a LOT or DEV tolerance on at least one parameter.
bool HasTolerance(const EvaluatedModel& model);
// At least one statement parameter's run value differs from its nominal value.
bool DiffersFromNominal(EvaluatedModel& model);
// ".MODEL name TYPE (P=v ...)" with the run values.
std::string FormatRunModelStatement(const EvaluatedModel& model);
// The labels of the parts whose devices use this model record.
std::vector<std::string> PartsUsingModel(const EvaluatedModel& model);

}  // namespace kq5
