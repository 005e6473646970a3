// Finding a component's model statement and building its evaluated model.
#include <new>

#include "ui/window_record.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/schematic_item.h"
#include "netlist/build_errors.h"
#include "netlist/circuit_build.h"
#include "document/component_types.h"
#include "netlist/defines.h"
#include "netlist/global_options.h"
#include "netlist/model_library_lookup.h"
#include "netlist/model_statements.h"
#include "document/netlist_state.h"
#include "document/scope_names.h"
#include "document/scope_table.h"
#include "netlist/spice_messages.h"
#include "document/component_definition.h"

namespace kq5 {

namespace {

bool IsStatementSelector(int selector)
{
    return selector == kModelSelectStatement || selector == kModelSelectAkoBase || selector == kModelCore ||
           selector == kModelUio;
}

bool IsAnalogRow(int row)
{
    const ModelTypeRow* r = FindModelTypeRow(row);
    return r && r->domain == kModelDomainAnalog;
}

int ComponentModelType(const SchematicItem* component)
{
    if (!component || !component->definition) return -1;
    const ComponentTypeRow* row = FindComponentTypeRow(component->definition->type);
    // An array's row names no gate model of its own (its model column is the op-amp's); its
    // timing model is the one its element gate takes.
    if (row && (row->flags & kTypeArrayPrimitive)) row = FindComponentTypeRow(static_cast<int>(row->pinNames));
    return row ? row->modelType : -1;
}

// A model made in text mode holds the values as written, not their values, so the two kinds
// are never taken for each other.
EvaluatedModel* FindStatementModel(int row, int statementIndex, bool textMode)
{
    for (EvaluatedModel& model : ListRecords<EvaluatedModel>(Models().evaluated[static_cast<std::size_t>(row)]))
        if (model.statementIndex == statementIndex && model.paramTexts.empty() != textMode) return &model;
    return nullptr;
}

void RemoveModel(EvaluatedModel* model)
{
    if (model) ListRemove(Models().evaluated[static_cast<std::size_t>(model->row)], model);
}

EvaluatedModel* AppendModel(int row)
{
    try {
        return ListAppendAs<EvaluatedModel>(Models().evaluated[static_cast<std::size_t>(row)],
                                            static_cast<std::uint16_t>(kKindModelBase + row));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::shared_ptr<ModelTolerances> NewTolerances(std::size_t count)
{
    auto tolerances = std::make_shared<ModelTolerances>();
    tolerances->lot.assign(count, kNoTolerance);
    tolerances->dev.assign(count, kNoTolerance);
    tolerances->lotNumber.assign(count, kNoToleranceNumber);
    tolerances->devNumber.assign(count, kNoToleranceNumber);
    tolerances->lotDistribution.assign(count, 0);
    tolerances->devDistribution.assign(count, 0);
    return tolerances;
}

void SetDefaults(EvaluatedModel& model, bool textMode)
{
    const ModelTypeRow& row = kModelTypeTable[model.row];
    for (int i = 0; i < row.statementCount; ++i) {
        const ModelParamDesc& desc = row.params[i];
        const std::size_t slot = static_cast<std::size_t>(i);
        if (desc.valueKind == kParamText) {
            (*model.textParams)[slot] = desc.defaultText;
            model.params[slot] = 0.0f;
        } else if (desc.valueKind == kParamNumber && row.unsetTiming && !textMode) {
            model.params[slot] = -1.0f;
        } else {
            model.params[slot] = desc.defaultValue;
        }
        if (textMode) model.paramTexts[slot] = FormatParamValue(model.row, i, desc.defaultValue, desc.defaultText);
    }
}

bool IsTemperatureParam(const ModelTypeRow& row, int index)
{
    return row.temperatureIndex && index >= row.temperatureIndex && index < row.temperatureIndex + 4;
}

// The base's parameters replace the defaults, all but the temperature group. A base of another
// row (another MOS level) gives the parameters that the two rows share by name.
void CopyAkoParams(EvaluatedModel& model, const EvaluatedModel& base)
{
    const ModelTypeRow& row = kModelTypeTable[model.row];
    for (int i = 0; i < row.statementCount; ++i) {
        if (IsTemperatureParam(row, i)) continue;
        const int from = base.row == model.row ? i : FindModelParamIndex(base.row, row.params[i].name);
        if (from < 0 || static_cast<std::size_t>(from) >= base.textParams->size()) continue;
        const std::size_t to = static_cast<std::size_t>(i), src = static_cast<std::size_t>(from);
        if (row.params[i].valueKind != FindModelParamDesc(base.row, from)->valueKind) continue;
        model.params[to] = base.params[src];
        (*model.textParams)[to] = (*base.textParams)[src];
        if (!model.paramTexts.empty() && src < base.paramTexts.size()) model.paramTexts[to] = base.paramTexts[src];
    }
}

// Resolves and applies the statement's AKO base. 0, or 15055 after reporting.
int ApplyAkoBase(EvaluatedModel& model, int statementIndex, bool textMode)
{
    ModelStatement* statement = FindModelStatement(statementIndex);
    if (!statement || statement->akoName.empty()) return 0;
    const std::string baseName = statement->akoName;
    const int baseIndex = FindOrLoadModel(FoldMosRow(statement->type), statement->scope, baseName);
    statement = FindModelStatement(statementIndex);  // a library load may have grown the table
    if (baseIndex < 0) {
        ShowOwnerErrorLocation(*statement);
        ReportNetlistMessage("WE", CurrentRecord(), 11858, baseName);
        return kMsgAlreadyReported;
    }
    if (FindModelStatement(baseIndex)->inEvaluation) {
        ShowOwnerErrorLocation(*statement);
        ReportNetlistMessage("WE", CurrentRecord(), 11857, statement->name);
        return kMsgAlreadyReported;
    }
    EvaluatedModel* base = FindModelEx(kModelSelectAkoBase, baseIndex, textMode, false);
    statement = FindModelStatement(statementIndex);
    if (!base) return kMsgAlreadyReported;
    statement->akoIndex = static_cast<std::int16_t>(baseIndex);
    statement->akoModel = base;
    CopyAkoParams(model, *base);
    return 0;
}

// A private copy of a found model: it shares the found model's given values and texts (and for
// analog types its tolerances) but has its own parameters.
void MakePrivateCopy(EvaluatedModel& copy, const EvaluatedModel& found)
{
    copy.givenValues = found.givenValues;
    copy.params = found.params;
    copy.textParams = found.textParams;
    copy.paramTexts = found.paramTexts;
    if (IsAnalogRow(found.row)) copy.tolerances = found.tolerances;
    copy.firstModel = found.firstModel ? found.firstModel : const_cast<EvaluatedModel*>(&found);
}

}  // namespace

int FindModelInScope(int type, int scope, std::string_view name)
{
    const int wanted = FoldMosRow(type);
    const std::vector<ModelStatement>& statements = Models().statements;
    // The parent chain is bounded by the table size, so a damaged chain cannot loop.
    for (std::size_t steps = 0; steps <= Netlist().scopes.size() + 1; ++steps) {
        for (std::size_t i = 0; i < statements.size(); ++i) {
            const ModelStatement& s = statements[i];
            if (FoldMosRow(s.type) == wanted && s.scope == scope && s.name == name) return static_cast<int>(i);
        }
        if (scope == 0) break;
        const SubcktScope* entry = FindScope(scope);
        scope = entry ? entry->parent : 0;
    }
    return -1;
}

int FindOrLoadModel(int type, int scope, std::string_view name)
{
    if (name.empty()) return -1;
    // The two PNP kinds share their parameters: a PNP card serves a four-pin (lateral) PNP and
    // an LPNP card a three-pin one, whose substrate is then the ground.
    const int other = type == kModelLpnp ? kModelPnp : type == kModelPnp ? kModelLpnp : -1;
    for (int attempt : {type, other}) {
        if (attempt < 0) break;
        int index = FindModelInScope(attempt, scope, name);
        if (index < 0) {
            int error = 0;
            index = FindInLibraries(name, attempt, kLookupModel, error);
        }
        if (index >= 0) return index;
    }
    return -1;
}

int GetPartModel(SchematicItem* component, int modelAttribute)
{
    const std::string name = ExpandAttributeDefines(component, modelAttribute);
    const bool ioModel = modelAttribute == kAttrIoModel;
    const int type = ioModel ? static_cast<int>(kModelUio) : ComponentModelType(component);
    const int index = type < 0 ? -1 : FindOrLoadModel(type, component ? component->scope : 0, name);
    if (index >= 0) return index;
    ReportPartMessage(component, ioModel ? 10852 : 10834, name);
    FlagCircuitBuildError();
    return -1;
}

EvaluatedModel* FindModelEx(int selector, int statementIndex, bool textMode, bool typeOnly)
{
    ModelTableState& models = Models();
    const bool statementMode = !typeOnly && IsStatementSelector(selector);
    if (statementMode && !FindModelStatement(statementIndex)) return nullptr;
    if (!statementMode && !FindModelTypeRow(selector)) return nullptr;
    if (selector != kModelSelectAkoBase)
        for (ModelStatement& s : models.statements) s.inEvaluation = 0;

    int row = selector;
    EvaluatedModel* found = nullptr;
    bool wantPrivate = false;
    if (statementMode) {
        ModelStatement& statement = *FindModelStatement(statementIndex);
        statement.inEvaluation = 1;
        row = statement.row;
        if (row == kModelTrn) {
            wantPrivate = true;
        } else {
            const GlobalOptionValues& options = GlobalOptions().values;
            const bool analog = IsAnalogRow(row);
            wantPrivate = analog ? options.privateanalog != 0 : options.privatedigital != 0;
            found = FindStatementModel(row, statementIndex, textMode);
            if (found && analog && found->tolerances && found->tolerances->HasDev()) wantPrivate = true;
        }
    }
    // The given values stay as the statement evaluated them: the found model's parameters
    // may hold a run's stepped, perturbed or temperature-derived values by now.
    if (found && !wantPrivate) return found;

    EvaluatedModel* model = AppendModel(row);
    const ModelTypeRow& rowDesc = kModelTypeTable[row];
    const std::size_t count = static_cast<std::size_t>(rowDesc.statementCount);
    try {
        if (!model) throw std::bad_alloc();
        model->row = row;
        model->statementIndex = statementMode ? statementIndex : -1;
        model->params.assign(static_cast<std::size_t>(rowDesc.runTimeCount), 0.0f);
        if (textMode) model->paramTexts.assign(count, std::string());
        if (!found) {
            model->textParams = std::make_shared<std::vector<std::string>>(count);
            model->givenValues = std::make_shared<std::vector<float>>(count, 0.0f);
            if (statementMode && IsAnalogRow(row)) model->tolerances = NewTolerances(count);
        }
        if (statementMode) {
            const ModelStatement& statement = *FindModelStatement(statementIndex);
            model->name = QualifyNameWithScope(statement.name, statement.scope);
        }
    } catch (const std::bad_alloc&) {
        RemoveModel(model);
        ReportMessage("WE", CurrentRecord(), kMsgInsufficientMemory);
        FlagCircuitBuildError();
        return nullptr;
    }

    if (found) {
        MakePrivateCopy(*model, *found);
    } else {
        SetDefaults(*model, textMode);
        if (statementMode &&
            (ApplyAkoBase(*model, statementIndex, textMode) != 0 || EvaluateModelParams(*model, textMode) != 0)) {
            RemoveModel(model);
            return nullptr;
        }
    }
    if (!found) {
        model->givenValues->assign(model->params.begin(), model->params.begin() + static_cast<std::ptrdiff_t>(count));
        if (statementMode && CircuitBuild().modelEvaluated) CircuitBuild().modelEvaluated(*model);
    }
    return model;
}

EvaluatedModel* FindModel(int selector, int statementIndex) { return FindModelEx(selector, statementIndex, false, false); }

int IsModelParamGiven(const SchematicItem* component, int index)
{
    const int type = ComponentModelType(component);
    if (type < 0) return 0;
    const std::string name = ExpandAttributeDefines(component, kAttrModel);
    const ModelStatement* statement = FindModelStatement(FindModelInScope(type, component->scope, name));
    if (!statement || index < 0 || static_cast<std::size_t>(index) >= statement->given.size()) return 0;
    return statement->given[static_cast<std::size_t>(index)];
}

}  // namespace kq5
