#include "analog/model_layers.h"

#include <algorithm>

#include "netlist/model_statements.h"
#include "netlist/model_types.h"

namespace kq5 {

void EnsureNominalLayer(EvaluatedModel& model)
{
    if (model.nominal.size() == model.params.size()) return;
    const EvaluatedModel* from = model.CopiedFrom();
    if (model.pristine.size() == model.params.size()) model.nominal = model.pristine;
    else model.nominal.AssignSharing(model.params, from ? &from->nominal : nullptr);
}

void RestoreNominalModelParams()
{
    for (LinkedList& list : Models().evaluated)
        for (EvaluatedModel& model : ListRecords<EvaluatedModel>(list)) {
            EnsureNominalLayer(model);
            model.pristine = model.nominal;
            std::copy(model.nominal.begin(), model.nominal.end(), model.params.begin());
        }
}

void SetModelRunValue(EvaluatedModel& model, int index, float value)
{
    EnsureNominalLayer(model);
    // The run layer exists from the first temperature pass on; before it the parameters are
    // the run values.
    model.EnsureRunLayer();
    SetModelParam(model, index, value);
}

float NominalModelParam(EvaluatedModel& model, int index)
{
    EnsureNominalLayer(model);
    if (index < 0 || static_cast<std::size_t>(index) >= model.nominal.size()) return 0.0f;
    return model.nominal[static_cast<std::size_t>(index)];
}

}  // namespace kq5
