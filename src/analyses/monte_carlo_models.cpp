#include "analyses/monte_carlo_models.h"

#include <string_view>

#include "analog/run_control.h"
#include "analog/model_layers.h"
#include "analyses/monte_carlo.h"
#include "ui/window_record.h"
#include "core/device_record_fields.h"
#include "document/circuit_document.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"

namespace kq5 {

namespace {

struct ExcludedParams {
    int type;
    std::initializer_list<std::string_view> names;
};

// Levels, types and the parasitic resistances of the semiconductor rows.
const ExcludedParams kExcluded[] = {
    {kModelOpa, {"LEVEL", "TYPE"}},
    {kModelDiode, {"LEVEL", "RS"}},
    {kModelNpn, {"RE", "RB", "RC"}},
    {kModelPnp, {"RE", "RB", "RC"}},
    {kModelNmos, {"LEVEL", "RD", "RS", "RG", "RB"}},
    {kModelPmos, {"LEVEL", "RD", "RS", "RG", "RB"}},
    {kModelNjf, {"RD", "RS"}},
    {kModelPjf, {"RD", "RS"}},
    {kModelGasfet, {"LEVEL", "RD", "RS"}},
};

bool HasDev(const ModelTolerances* t, std::size_t i) { return t && i < t->dev.size() && !IsNoTolerance(t->dev[i]); }
bool HasLot(const ModelTolerances* t, std::size_t i) { return t && i < t->lot.size() && !IsNoTolerance(t->lot[i]); }
int Group(std::uint8_t number) { return number < kMonteCarloGroupCount ? number : -1; }

int StatementCount(const EvaluatedModel& model)
{
    const ModelTypeRow* row = FindModelTypeRow(model.row);
    return row ? std::min<int>(row->statementCount, static_cast<int>(model.params.size())) : 0;
}

EvaluatedModel* AkoBase(const EvaluatedModel& model)
{
    const ModelStatement* statement = FindModelStatement(model.statementIndex);
    return statement && !statement->akoName.empty() ? statement->akoModel : nullptr;
}

// The parts of one .MODEL share its lot: a part's private copy of the model takes the value the
// model made first drew this run (its list comes first, and the DEV of the second pass is not on
// it yet), where a draw of its own would make LOT vary part by part as DEV does.
const EvaluatedModel* LotSource(const EvaluatedModel& model)
{
    return model.CopiedFrom();
}

// Where an AKO model's DEV starts from: its base's value this run. A parameter the model gives a
// value of its own keeps that value and moves with the base's lot in proportion; starting from
// the base's value would centre every run on the base's nominal and never on the model's.
double AkoStartValue(EvaluatedModel& model, EvaluatedModel& base, int i)
{
    const double drawn = RunModelParam(base, i);
    const double own = NominalModelParam(model, i), inherited = NominalModelParam(base, i);
    if (own == inherited) return drawn;
    return inherited != 0.0 ? own * (drawn / inherited) : own + drawn;
}

}  // namespace

CircuitDocument* MonteCarloDocument()
{
    if (WindowRecord* circuit = RunControl().circuitWindow; circuit && circuit->document) return circuit->document.get();
    return CurrentDocument();
}

bool IsParamExcludedFromTolerance(int modelType, int paramIndex)
{
    const ModelParamDesc* desc = FindModelParamDesc(modelType, paramIndex);
    if (!desc) return true;
    if (desc->valueKind != kParamNumber) return true;
    for (const ExcludedParams& entry : kExcluded) {
        if (entry.type != modelType) continue;
        for (std::string_view name : entry.names)
            if (name == desc->name) return true;
    }
    return false;
}

float RunModelParam(const EvaluatedModel& model, int index)
{
    const auto i = static_cast<std::size_t>(index);
    return i < model.pristine.size() ? model.pristine[i] : model.params[i];
}

bool HasAkoBase(const EvaluatedModel& model) { return AkoBase(model) != nullptr; }

void PerturbModel(EvaluatedModel& model, int pass)
{
    const ModelTolerances* t = model.tolerances.get();
    EvaluatedModel* base = AkoBase(model);
    const int count = StatementCount(model);
    for (int i = 0; i < count; ++i) {
        if (IsParamExcludedFromTolerance(model.row, i)) continue;
        const auto slot = static_cast<std::size_t>(i);
        const float before = RunModelParam(model, i);
        const bool dev = HasDev(t, slot);
        double value = before;
        if (pass == 0) {
            if (base && dev && i < StatementCount(*base))
                value = PerturbValue(AkoStartValue(model, *base, i), t->dev[slot], t->devDistribution[slot],
                                     Group(t->devNumber[slot]));
            else if (!HasLot(t, slot))
                value = NominalModelParam(model, i);
            else if (const EvaluatedModel* first = LotSource(model); first && i < StatementCount(*first))
                value = RunModelParam(*first, i);
            else
                value = PerturbValue(NominalModelParam(model, i), t->lot[slot], t->lotDistribution[slot],
                                     Group(t->lotNumber[slot]));
        } else {
            if (base || !dev) continue;
            value = PerturbValue(before, t->dev[slot], t->devDistribution[slot], Group(t->devNumber[slot]));
        }
        const float stored = static_cast<float>(value);
        SetModelRunValue(model, i, CheckModelParamValue(nullptr, stored, model.row, i) == 0 ? stored : before);
    }
}

bool HasTolerance(const EvaluatedModel& model)
{
    const ModelTolerances* t = model.tolerances.get();
    if (!t) return false;
    for (int i = 0, n = StatementCount(model); i < n; ++i)
        if (HasDev(t, static_cast<std::size_t>(i)) || HasLot(t, static_cast<std::size_t>(i))) return true;
    return false;
}

bool DiffersFromNominal(EvaluatedModel& model)
{
    for (int i = 0, n = StatementCount(model); i < n; ++i)
        if (RunModelParam(model, i) != NominalModelParam(model, i)) return true;
    return false;
}

std::string FormatRunModelStatement(const EvaluatedModel& model)
{
    const int count = StatementCount(model);
    std::vector<float> values(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) values[static_cast<std::size_t>(i)] = RunModelParam(model, i);
    return FormatModelStatement(model.name, model.row, 0, values.data(), count, nullptr, nullptr, model.textParams.get());
}

std::vector<std::string> PartsUsingModel(const EvaluatedModel& model)
{
    std::vector<std::string> parts;
    if (model.params.empty()) return parts;
    for (const DeviceRecordFields& device : DeviceRecordTable())
        if (!device.modelParams.empty() && device.modelParams.front().value == model.params.data())
            parts.push_back(device.label);
    return parts;
}

}  // namespace kq5
