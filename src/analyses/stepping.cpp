#include "analyses/stepping.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "analog/ac_run.h"
#include "analog/analog_state.h"
#include "analog/analysis_start.h"
#include "analog/analysis_window_services.h"
#include "core/analysis_state.h"
#include "analog/convergence.h"
#include "analog/run_control.h"
#include "devices/temperature_setup.h"
#include "analog/transient_run_services.h"
#include "analog/model_layers.h"
#include "analyses/monte_carlo.h"
#include "results/run_state.h"
#include "document/stepping_rows.h"
#include "ui/program_settings.h"
#include "ui/usage_file.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/format.h"
#include "core/text_edit.h"
#include "core/message_reporter.h"
#include "netlist/capacitor_device.h"
#include "netlist/fet_devices.h"
#include "netlist/source_device.h"
#include "netlist/inductor_device.h"
#include "devices/model_temperature.h"
#include "netlist/resistor_device.h"
#include "document/circuit_document.h"
#include "plots/import_reader.h"
#include "document/component_attributes.h"
#include "document/component_types.h"
#include "netlist/circuit_build.h"
#include "netlist/defines.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"
#include "core/part_instance.h"
#include "netlist/spice_reader_state.h"
#include "netlist/token_patterns.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/win_messages.h"
#include "results/curve_record.h"
#include "plots/plot_setup.h"
#include "plots/plot_cursors.h"
#include "plots/plot_window_services.h"

namespace kq5 {

namespace {

constexpr std::uint32_t kStepTypeBits = kStepModel | kStepComponent | kStepSymbolic;
constexpr double kCountSlack = 1.00001;
constexpr int kMsgIllegalNumber = 10922;
constexpr std::uint32_t kUsageStepping = 13402;

std::string Trimmed(std::string text) { return Trim(text); }
std::string UpperCase(std::string_view text) { return CopyUpperCase(text); }

CircuitDocument* AnalysisDocument()
{
    WindowRecord* circuit = RunControl().circuitWindow;
    if (circuit && circuit->document) return circuit->document.get();
    return CurrentDocument();
}

WindowRecord* ReportWindow()
{
    WindowRecord* circuit = RunControl().circuitWindow;
    return circuit ? circuit : CurrentRecord();
}

// Reports a set-up error of a slot; always 15055.
template <class... Args>
int SlotError(int id, Args&&... args)
{
    ReportLineMessage(ReportWindow(), id, std::forward<Args>(args)...);
    return kMsgAlreadyReported;
}

int ModelTypeOfPart(const PartInstanceRecord& part)
{
    const ComponentTypeRow* row = FindComponentTypeRow(part.typeCode);
    return row ? row->modelType : -1;
}

// The row of the parameters of the model statement `name` of this type: a MOSFET model's LEVEL
// picks its own (LEVEL 4, 5 and 8 have tables of their own). -1 when there is no such statement.
int StatementModelRow(int type, const std::string& name)
{
    for (const ModelStatement& statement : Models().statements)
        if (FoldMosRow(statement.row) == FoldMosRow(type) && statement.name == name) return statement.row;
    return -1;
}

// Resolves Param among the model type's parameters. 0 or 15055 (reported).
int ResolveModelParam(SteppingRow& row, int modelType, const std::string& param)
{
    row.componentValue = false;
    if (Trimmed(param).empty()) return SlotError(kMsgStepMissingParam);
    const int index = FindModelParamIndex(modelType, UpperCase(Trimmed(param)));
    if (index < 0) return SlotError(kMsgStepParamNotFound, Trimmed(param));
    const ModelParamDesc* desc = FindModelParamDesc(modelType, index);
    if (!desc || desc->valueKind != kParamNumber) return SlotError(kMsgStepCantStepParam);
    row.paramIndex = index;
    // A LEVEL decides the model's whole set of parameters, and a parasitic resistance (a MOSFET's
    // sheet resistance too) whether the part has inner nodes: either needs the circuit built again.
    const std::string_view name = desc->name;
    row.rebuild = name == "LEVEL" || name == "RS" || name == "RD" || name == "RB" || name == "RC" || name == "RE" ||
                  name == "RG" || name == "RSH";
    return 0;
}

bool IsValueParam(const std::string& param)
{
    const std::string p = Trimmed(param);
    return p.empty() || EqualsNoCase(p, "Value") || (p.size() > 6 && EqualsNoCase(p.substr(0, 6), "value."));
}

// An unknown MOSFET parameter stops the set-up without a message of its own.
int FailSilently() { return kMsgAlreadyReported; }

// "value.w", "value.l", ... of a MOSFET. W, L and the areas and perimeters are the values the
// temperature pass starts each run from; W and L also count as given for the runs.
struct MosTarget {
    const char* name;
    double MosfetDevice::*field;
    double MosfetDevice::*nominal;
    std::int32_t MosfetDevice::*given;
    bool rebuild;  // a series resistance decides whether the device has an inner node
};
constexpr MosTarget kMosTargets[] = {
    {"value.m", &MosfetDevice::m, nullptr, nullptr, false},
    {"value.l", &MosfetDevice::l, nullptr, &MosfetDevice::lGiven, false},
    {"value.w", &MosfetDevice::wNominal, &MosfetDevice::w, &MosfetDevice::wGiven, false},
    {"value.ad", &MosfetDevice::adNominal, &MosfetDevice::ad, nullptr, false},
    {"value.as", &MosfetDevice::asNominal, &MosfetDevice::as, nullptr, false},
    {"value.pd", &MosfetDevice::pdNominal, &MosfetDevice::pd, nullptr, false},
    {"value.ps", &MosfetDevice::psNominal, &MosfetDevice::ps, nullptr, false},
    {"value.nrd", &MosfetDevice::nrd, nullptr, nullptr, true},
    {"value.nrs", &MosfetDevice::nrs, nullptr, nullptr, true},
    {"value.nrb", &MosfetDevice::nrb, nullptr, nullptr, true},
    {"value.nrg", &MosfetDevice::nrg, nullptr, nullptr, true},
};

bool FindMosParamTarget(SteppingRow& row, MosfetDevice& m)
{
    for (const MosTarget& t : kMosTargets) {
        if (!EqualsNoCase(row.param, t.name)) continue;
        row.deviceValue = &(m.*t.field);
        row.deviceNominal = t.nominal ? &(m.*t.nominal) : nullptr;
        if (t.given) row.restoreWord = &(m.*t.given);
        row.rebuild = t.rebuild;
        row.active = true;
        return true;
    }
    return false;
}

// "dc.value", "ac.magval", "pulse.v1", ... of a SPICE source.
struct SourceTarget {
    const char* name;
    std::int32_t function;  // kSourceFunctionNone: every source
    int param;              // -1 dc, -2 AC magnitude, -3 AC phase, else the function's value
};
constexpr SourceTarget kSourceTargets[] = {
    {"dc.value", kSourceFunctionNone, -1}, {"ac.magval", kSourceFunctionNone, -2},
    {"ac.phaseval", kSourceFunctionNone, -3},
    {"pulse.v1", kSourcePulse, 0}, {"pulse.v2", kSourcePulse, 1}, {"pulse.td", kSourcePulse, 2},
    {"pulse.tr", kSourcePulse, 3}, {"pulse.tf", kSourcePulse, 4}, {"pulse.pw", kSourcePulse, 5},
    {"pulse.per", kSourcePulse, 6},
    {"sin.vo", kSourceSin, 0}, {"sin.va", kSourceSin, 1}, {"sin.freq", kSourceSin, 2}, {"sin.td", kSourceSin, 3},
    {"sin.df", kSourceSin, 4},
    {"exp.v1", kSourceExp, 0}, {"exp.v2", kSourceExp, 1}, {"exp.td1", kSourceExp, 2}, {"exp.tc1", kSourceExp, 3},
    {"exp.td2", kSourceExp, 4}, {"exp.tc2", kSourceExp, 5},
    {"sffm.vo", kSourceSffm, 0}, {"sffm.va", kSourceSffm, 1}, {"sffm.freq", kSourceSffm, 2},
    {"sffm.mi", kSourceSffm, 3}, {"sffm.fm", kSourceSffm, 4},
};

// The name as the source spells it, or "" when the source's function has no such value. A
// current source spells its function's values with an "i" ("pulse.i1", "sin.io").
std::string SourceParamName(const SourceTarget& t, const IndependentSourceDevice& v)
{
    if (t.function != kSourceFunctionNone && t.function != v.function) return {};
    std::string name = t.name;
    const std::size_t dot = name.find('.');
    if (v.sourceType == kSourceCurrent && t.function != kSourceFunctionNone && dot + 1 < name.size() && name[dot + 1] == 'v')
        name[dot + 1] = 'i';
    return name;
}

bool FindSourceParamTarget(SteppingRow& row, IndependentSourceDevice& v)
{
    for (const SourceTarget& t : kSourceTargets) {
        const std::string name = SourceParamName(t, v);
        if (name.empty() || !EqualsNoCase(row.param, name)) continue;
        switch (t.param) {
        case -1:
            row.deviceValue = &v.dcValue;
            row.deviceNominal = &v.dcWorking;
            break;
        case -2: row.deviceValue = &v.acMagnitude; break;
        case -3: row.deviceValue = &v.acPhase; break;
        default: row.deviceValue = &v.params[static_cast<std::size_t>(t.param)]; break;
        }
        row.active = true;
        return true;
    }
    return false;
}

// A part: its model's parameter, or its own value. 0, 15055, or 1 when nothing was found.
int ResolvePart(SteppingRow& row)
{
    PartInstanceRecord* part = FindPartByNameInScope(UpperCase(row.name), 0);
    if (!part || (!part->device && !part->component)) return 1;
    const int modelType = ModelTypeOfPart(*part);
    if (!IsValueParam(row.param) && modelType >= 0) {
        row.modelName = UpperCase(ExpandAttributeDefines(part->component, kAttrModel));
        if (row.modelName.empty()) return 1;
        const int statementRow = StatementModelRow(modelType, row.modelName);
        row.modelType = statementRow >= 0 ? statementRow : modelType;
        if (int rc = ResolveModelParam(row, row.modelType, row.param)) return rc;
        row.active = true;
        return 0;
    }
    row.componentValue = true;
    const std::string p = Trimmed(row.param);
    const bool plainValue = p.empty() || EqualsNoCase(p, "Value");
    switch (part->typeCode) {
    case kComponentResistor:
        if (auto* r = static_cast<ResistorDevice*>(part->device); r && plainValue) {
            row.deviceValue = &r->value;
            row.deviceNominal = &r->nominal;
            row.resistance = true;
        }
        break;
    case kComponentCapacitor:
        if (auto* c = static_cast<CapacitorDevice*>(part->device); c && plainValue) {
            row.deviceValue = &c->value;
            row.deviceNominal = &c->nominal;
        }
        break;
    case kComponentInductor:
        if (auto* l = static_cast<InductorDevice*>(part->device); l && plainValue) {
            row.deviceValue = &l->value;
            row.deviceNominal = &l->nominal;
        }
        break;
    case kComponentNmos:
    case kComponentPmos:
        if (auto* m = static_cast<MosfetDevice*>(part->device); m && !plainValue)
            return FindMosParamTarget(row, *m) ? 0 : FailSilently();
        break;
    case kComponentVSpice:
    case kComponentISpice:
        if (auto* v = static_cast<IndependentSourceDevice*>(part->device); v && !plainValue)
            return FindSourceParamTarget(row, *v) ? 0 : SlotError(kMsgStepSpiceError);
        break;
    default: break;
    }
    if (!row.deviceValue) return 1;
    row.active = true;
    return 0;
}

// A model named by its type and name ("NPN Q2N2222").
int ResolveModel(SteppingRow& row, std::int32_t device)
{
    const std::string text = Trimmed(row.name);
    const std::size_t blank = text.find(' ');
    int type = blank == std::string::npos ? -1 : FindModelType(UpperCase(text.substr(0, blank)));
    if (type < 0) type = device;
    if (type < 0 || blank == std::string::npos) return 1;
    const std::string name = UpperCase(Trimmed(text.substr(blank + 1)));
    const int statementRow = StatementModelRow(type, name);
    if (statementRow < 0) return 1;
    row.modelType = statementRow;
    row.modelName = name;
    if (int rc = ResolveModelParam(row, statementRow, row.param)) return rc;
    row.active = true;
    return 0;
}

int ResolveSymbol(SteppingRow& row)
{
    for (const DefineRow& define : DefineTable()) {
        if (define.argumentCount != 0 || define.emptyParentheses || !EqualsNoCase(define.name, Trimmed(row.name)))
            continue;
        row.active = true;
        row.rebuild = true;
        return 0;
    }
    return 1;
}

// From, To, Step and the values of a list. 0 or 15055 (reported).
int ReadNumbers(SteppingRow& row, const SteppingSlot& slot)
{
    int error = 0;
    if (row.method == kStepMethodList) {
        // Commas inside parentheses belong to an expression.
        int depth = 0;
        std::string piece;
        auto add = [&](const std::string& text) {
            if (Trimmed(text).empty()) return 0;
            std::array<std::string, 2> texts;
            const double v = EvalNumberOrExpressionQuiet(Trimmed(text), error, texts);
            if (error == kMsgAlreadyReported) return error;
            if (error && texts[0].empty() && texts[1].empty()) return SlotError(error, slot.from);
            if (error) return SlotError(error, texts[0], texts[1]);
            row.list.push_back(v);
            return 0;
        };
        for (char ch : slot.from) {
            if (ch == '(') ++depth;
            if (ch == ')') --depth;
            if (ch != ',' || depth > 0) {
                piece += ch;
                continue;
            }
            if (int rc = add(piece)) return rc;
            piece.clear();
        }
        // The last value, or the rest after a parenthesis left open: its error is told rather
        // than the values after it being lost without a word.
        if (int rc = add(piece)) return rc;
        if (row.list.empty()) return SlotError(kMsgStepMissingList);
        row.from = row.list.front();
        row.to = row.list.back();
        return 0;
    }
    const bool log = row.method == kStepMethodLog;
    // A text that is no number is told by the message of its field, not by the compiler's.
    std::array<std::string, 2> unused;
    const auto EvalNumberOrExpression = [&unused](const std::string& text, int& e) {
        return EvalNumberOrExpressionQuiet(text, e, unused);
    };
    row.from = EvalNumberOrExpression(Trimmed(slot.from), error);
    if (error || !std::isfinite(row.from) || (log && !(row.from > 0.0))) return SlotError(kMsgStepIllegalFrom);
    row.to = EvalNumberOrExpression(Trimmed(slot.to), error);
    if (error || !std::isfinite(row.to) || (log && !(row.to > 0.0))) return SlotError(kMsgStepIllegalTo);
    const double value = EvalNumberOrExpression(Trimmed(slot.value), error);
    if (error || !std::isfinite(value)) return SlotError(kMsgStepIllegalStep);
    if (log) {
        if (!(value > 0.0)) return SlotError(kMsgStepIllegalStep);
        row.step = value;
        if ((row.to < row.from) != (row.step < 1.0)) row.step = 1.0 / row.step;
        // A factor of 1 never gets from From to a different To (ln 1 = 0 below).
        if (row.step == 1.0 && row.from != row.to) return SlotError(kMsgStepIllegalStep);
    } else {
        row.step = std::abs(value) * (row.to - row.from < 0.0 ? -1.0 : 1.0);
        if (row.step == 0.0 && row.to != row.from) return SlotError(kMsgStepIllegalStep);
    }
    return 0;
}

// The number of values, as a double so that nothing overflows before it is checked.
double CaseCount(const SteppingRow& row)
{
    switch (row.method) {
    case kStepMethodList: return static_cast<double>(row.list.size());
    case kStepMethodLinear:
        return row.step == 0.0 ? 1.0 : std::floor(std::abs((row.to - row.from) / row.step) * kCountSlack) + 1.0;
    default:
        if (row.from == row.to) return 1.0;
        return std::floor((std::log(row.to) - std::log(row.from)) * kCountSlack / std::log(row.step) + 1.0);
    }
}

double ValueAt(const SteppingRow& row, int index)
{
    switch (row.method) {
    case kStepMethodList: return row.list[static_cast<std::size_t>(std::clamp<int>(index, 0, static_cast<int>(row.list.size()) - 1))];
    case kStepMethodLinear: return row.from + index * row.step;
    default: return row.from * std::pow(row.step, index);
    }
}

// The models a model slot steps.
template <class F>
void EachSteppedModel(const SteppingRow& row, F&& f)
{
    if (row.modelType < 0) return;
    const int folded = FoldMosRow(row.modelType);
    for (LinkedList& list : Models().evaluated)
        for (EvaluatedModel& model : ListRecords<EvaluatedModel>(list))
            if (model.statementIndex >= 0 && FoldMosRow(model.row) == folded && EqualsNoCase(model.name, row.modelName))
                f(model);
}

// Calls f on every model whose statement is AKO-derived, at any depth, from this one and does not
// give the parameter itself: a stepped value reaches them as the statement would have.
template <typename F>
void EachAkoDerived(const EvaluatedModel& base, int index, const F& f, int depth = 0)
{
    if (depth > 32) return;
    for (EvaluatedModel& model : ListRecords<EvaluatedModel>(Models().evaluated[static_cast<std::size_t>(base.row)])) {
        const ModelStatement* statement = FindModelStatement(model.statementIndex);
        if (!statement || statement->akoIndex != base.statementIndex || model.statementIndex == base.statementIndex)
            continue;
        if (static_cast<std::size_t>(index) < statement->given.size() && statement->given[static_cast<std::size_t>(index)])
            continue;
        f(model);
        EachAkoDerived(model, index, f, depth + 1);
    }
}

int SetSteppedModelParam(const SteppingRow& row, double value)
{
    const float f = static_cast<float>(value);
    ModelReportTarget target;
    target.window = ReportWindow();
    if (CheckModelParamValue(&target, f, row.modelType, row.paramIndex)) return kMsgAlreadyReported;
    EachSteppedModel(row, [&](EvaluatedModel& model) {
        SetModelRunValue(model, row.paramIndex, f);
        EachAkoDerived(model, row.paramIndex, [&](EvaluatedModel& derived) { SetModelRunValue(derived, row.paramIndex, f); });
    });
    return 0;
}

void RestoreModelParam(const SteppingRow& row)
{
    auto restore = [&](EvaluatedModel& model) { SetModelRunValue(model, row.paramIndex, NominalModelParam(model, row.paramIndex)); };
    EachSteppedModel(row, [&](EvaluatedModel& model) {
        restore(model);
        EachAkoDerived(model, row.paramIndex, restore);
    });
}

// Sets the slot's value into its target. 0 or 15055.
int SetTargetValue(SteppingRow& row, double value)
{
    row.caseValue = value;
    if (row.typeBits & kStepSymbolic) return 0;
    if (row.componentValue) {
        if (row.deviceValue) *row.deviceValue = value;
        if (row.deviceNominal) *row.deviceNominal = value;
        return 0;
    }
    return SetSteppedModelParam(row, value);
}

// The first check failing turns stepping off for the analysis.
int FailSetup(bool reopenDialog)
{
    AnalysisRunState& plan = RunState();
    plan.steppingActive = false;
    plan.setupFailed = true;
    plan.runCount = 1;
    SteppingRows().active = false;
    for (SteppingRow& row : SteppingRows().rows) row.active = false;
    if (reopenDialog && !Settings().batchRun)
        if (WindowRecord* frame = FrameRecord(); frame && frame->window)
            win::PostMessage(frame->window, win::WM_COMMAND, kSteppingDialog, 0);
    return kMsgAlreadyReported;
}

}  // namespace

int PrepareStepping()
{
    SteppingRowsState& state = SteppingRows();
    AnalysisRunState& plan = RunState();
    state = SteppingRowsState{};
    plan.steppingActive = false;
    plan.runCount = 1;
    const CircuitDocument* document = AnalysisDocument();
    if (!document) return 0;
    state.simultaneous = document->steppingSimultaneous != 0;

    int rc = 0;
    for (int i = 0; i < kSteppingRowCount && !rc; ++i) {
        const SteppingSlot& slot = document->stepping[static_cast<std::size_t>(i)];
        SteppingRow& row = state.rows[static_cast<std::size_t>(i)];
        if (!(slot.flags & kStepOn) || Trimmed(slot.name).empty()) continue;
        row.name = Trimmed(slot.name);
        row.param = Trimmed(slot.param);
        row.builtValue = std::numeric_limits<double>::quiet_NaN();
        row.typeBits = slot.flags & kStepTypeBits;
        row.device = slot.deviceIndex;
        row.method = slot.flags & (kStepMethodLinear | kStepMethodList);
        int found = 1;
        if (slot.flags & kStepComponent) {
            found = ResolvePart(row);
        } else if (slot.flags & kStepModel) {
            found = ResolveModel(row, slot.deviceIndex);
        } else {
            found = ResolveSymbol(row);
        }
        if (found == kMsgAlreadyReported) {
            rc = found;
            break;
        }
        if (found != 0) {
            const int id = (slot.flags & kStepComponent) ? kMsgStepComponentNotFound
                           : (slot.flags & kStepModel)   ? kMsgStepModelNotFound
                                                         : kMsgStepDefineNotFound;
            rc = SlotError(id, row.name);
            break;
        }
        if ((rc = ReadNumbers(row, slot)) != 0) break;
        const double count = CaseCount(row);
        if (!(count <= kMaxStepCases)) {
            rc = SlotError(kMsgStepTooManyCases);
            break;
        }
        row.caseCount = std::max(static_cast<int>(count), 1);
        // A resistance of 0 is refused in a single run; a stepped case may not slip it in.
        for (int k = 0; k < row.caseCount && row.resistance && !rc; ++k)
            if (const double v = ValueAt(row, k); v == 0.0 || !std::isfinite(v))
                rc = SlotError(kMsgIllegalNumber, StrPrintf("%g", v));
    }
    for (int i = 0; i < kSteppingRowCount && !rc; ++i)
        for (int j = i + 1; j < kSteppingRowCount && !rc; ++j) {
            const SteppingRow& a = state.rows[static_cast<std::size_t>(i)];
            const SteppingRow& b = state.rows[static_cast<std::size_t>(j)];
            if (!a.active || !b.active || a.typeBits != b.typeBits || a.device != b.device) continue;
            const std::string name = FormatSteppedParamName(i);
            if (EqualsNoCase(name, FormatSteppedParamName(j))) rc = SlotError(kMsgStepTwice, name);
        }
    double runs = 1.0;
    int simultaneousCount = -1;
    for (const SteppingRow& row : state.rows) {
        if (!row.active || rc) continue;
        if (state.simultaneous) {
            if (simultaneousCount >= 0 && simultaneousCount != row.caseCount) rc = SlotError(kMsgStepSimultaneousCounts);
            simultaneousCount = row.caseCount;
            runs = row.caseCount;
        } else {
            runs *= row.caseCount;
        }
        state.active = true;
    }
    // Ten slots of a thousand values each would ask for 10^30 runs.
    if (!rc && runs > static_cast<double>(kMaxAnalysisRuns))
        rc = SlotError(kMsgTooManyRuns, static_cast<int>(kMaxAnalysisRuns));
    if (rc) return FailSetup(true);
    plan.steppingActive = state.active;
    plan.runCount = std::max(static_cast<int>(runs), 1);
    if (state.active) CountCommandUse(kUsageStepping);
    return 0;
}

int ApplyStepValue(int slot, int action, bool advance)
{
    AnalysisRunState& plan = RunState();
    plan.actionError = 0;
    if (slot < 0 || slot >= kSteppingRowCount) return 0;
    SteppingRow& row = SteppingRows().rows[static_cast<std::size_t>(slot)];
    if (!row.active) return 0;
    switch (action) {
    case kStepActionFirst:
        if (row.componentValue && row.deviceValue && !row.saved) {
            row.savedValue = *row.deviceValue;
            row.savedNominal = row.deviceNominal ? *row.deviceNominal : row.savedValue;
            if (row.restoreWord) row.savedWord = *row.restoreWord;
            row.saved = true;
        }
        if (row.restoreWord) *row.restoreWord = 1;
        row.caseIndex = 0;
        plan.actionError = SetTargetValue(row, ValueAt(row, 0));
        break;
    case kStepActionNext:
        if (advance) row.caseIndex = std::min(row.caseIndex + 1, row.caseCount - 1);
        plan.actionError = SetTargetValue(row, ValueAt(row, row.caseIndex));
        break;
    case kStepActionRestore:
        if (row.typeBits & kStepSymbolic) break;
        if (row.componentValue) {
            if (row.saved && row.deviceValue) *row.deviceValue = row.savedValue;
            if (row.saved && row.deviceNominal) *row.deviceNominal = row.savedNominal;
            row.saved = false;
            if (row.restoreWord) *row.restoreWord = row.savedWord;
        } else {
            RestoreModelParam(row);
        }
        break;
    default: break;
    }
    return plan.actionError;
}

int ApplyStepValues()
{
    int first = 0;
    for (int i = 0; i < kSteppingRowCount; ++i)
        if (int rc = ApplyStepValue(i, kStepActionFirst); rc && !first) first = rc;
    for (SteppingRow& row : SteppingRows().rows) row.caseIndex = 0;
    return first;
}

void RestoreSteppedValues()
{
    for (int i = 0; i < kSteppingRowCount; ++i) ApplyStepValue(i, kStepActionRestore);
}

namespace {

// What a section of an imported table must name to belong to this case: the stepped values, as
// the caption of the numeric output writes them, so that a stepped run can import the output of
// an earlier one case by case.
void NoteImportCase(const SteppingRowsState& state)
{
    ImportCaseState& importCase = ImportCase();
    importCase.stepping = state.active;
    importCase.slots.clear();
    if (!state.active) return;
    constexpr int kMatchedSlots = 5;
    for (int i = 0; i < kMatchedSlots && i < kSteppingRowCount; ++i) {
        const SteppingRow& row = state.rows[static_cast<std::size_t>(i)];
        if (row.active) importCase.slots.push_back({FormatSteppedParamName(i), row.caseValue});
    }
}

}  // namespace

int NextStepCase()
{
    SteppingRowsState& state = SteppingRows();
    if (!state.active) {
        NoteImportCase(state);
        return 0;
    }
    // The case of run n (1-based) in mixed radix, the highest-numbered slot varying fastest; a
    // simultaneous case takes the same index in every slot.
    std::int64_t rest = std::max(RunState().runIndex - 1, 0);
    bool rebuild = false;
    int error = 0;
    for (int i = kSteppingRowCount - 1; i >= 0; --i) {
        SteppingRow& row = state.rows[static_cast<std::size_t>(i)];
        if (!row.active) continue;
        int index = 0;
        if (state.simultaneous) {
            index = static_cast<int>(std::min<std::int64_t>(rest, row.caseCount - 1));
        } else {
            index = static_cast<int>(rest % row.caseCount);
            rest /= row.caseCount;
        }
        row.caseIndex = index;
        if (int rc = ApplyStepValue(i, kStepActionNext); rc && !error) error = rc;
        // NaN (nothing built with the slot yet) differs from every value.
        if (row.rebuild && !(row.caseValue == row.builtValue)) rebuild = true;
    }
    if (error) {
        // A value out of range: the remaining runs go on with the values then in place.
        for (SteppingRow& row : state.rows) row.active = false;
        state.active = false;
        RunState().steppingActive = false;
        NoteImportCase(state);
        return 0;
    }
    NoteImportCase(state);
    return rebuild ? RebuildForSymbolicStep() : 0;
}

namespace {

bool rebuildingForCase = false;  // SetUpAnalysisRun builds the circuit again for a case

// A model the build of a case evaluates takes the case's value of each stepped parameter that
// asked for the build: set after the build, a parasitic resistance would miss the inner node it
// needs (or keep one it no longer has).
void ApplyCaseValuesToBuiltModel(EvaluatedModel& model)
{
    if (!rebuildingForCase) return;
    for (const SteppingRow& row : SteppingRows().rows) {
        if (!row.active || !row.rebuild || row.componentValue || row.modelType < 0 || row.paramIndex < 0) continue;
        if (FoldMosRow(model.row) != FoldMosRow(row.modelType) || !EqualsNoCase(model.name, row.modelName)) continue;
        if (static_cast<std::size_t>(row.paramIndex) < model.params.size())
            SetModelRunValue(model, row.paramIndex, static_cast<float>(row.caseValue));
    }
}

}  // namespace

int RebuildForSymbolicStep()
{
    const int result = SetUpAnalysisRun(true);
    if (result == 0) return 0;
    SteppingRowsState& state = SteppingRows();
    for (SteppingRow& row : state.rows) row.active = false;
    state.active = false;
    RunState().steppingActive = false;
    SetUpAnalysisRun(true);
    return result;
}

int SetUpAnalysisRun(bool rebuild)
{
    if (rebuild) FreeAnalogRunData();
    rebuildingForCase = rebuild;
    const int built = BuildCircuitForAnalysis();
    rebuildingForCase = false;
    if (built) return built;
    // A circuit built anew has its own noise input source and node numbers.
    if (rebuild && Analysis().analysisKind == kAnalysisAc)
        if (int rc = ReadNoiseEnds()) return rc;
    if (int rc = SetCircuitTemperature(27.0)) return rc;
    if (int rc = PrepareModelsAtTemperature(27.0)) return rc;
    const int kind = Analysis().analysisKind;
    if (kind == kAnalysisTransient)
        if (int rc = PrepareAnalogSolver(true, AnalogSolver().operatingPointSet)) return rc;
    if ((kind == kAnalysisAc || kind == kAnalysisDc) && RunControl().probeState != kProbeNone)
        AnalogSolver().unknownCount = NumberDevices();
    RestoreNominalModelParams();
    if (!rebuild) return 0;
    // The curves read the values of the old circuit's records: compile them for the new one.
    if (WindowRecord* window = RunControl().analysisWindow; window && window->plot) {
        PlotRecord& plot = *window->plot;
        for (int i = 0; i < plot.curveCount && i < static_cast<int>(plot.curves.size()); ++i) {
            CurveRecord& curve = *plot.curves[static_cast<std::size_t>(i)];
            const std::string x = curve.xExpressionText, y = curve.yExpressionText;
            if (int rc = CompileCurveExpression(x, curve, kWaveformX, kind)) return rc;
            if (int rc = CompileCurveExpression(y, curve, kWaveformY, kind)) return rc;
        }
    }
    // The new circuit's records: the slots find their targets again and get the case's values.
    SteppingRowsState& state = SteppingRows();
    std::array<int, kSteppingRowCount> indices{};
    for (int i = 0; i < kSteppingRowCount; ++i) indices[static_cast<std::size_t>(i)] = state.rows[static_cast<std::size_t>(i)].caseIndex;
    const bool wasActive = state.active;
    if (!wasActive) return 0;
    if (int rc = PrepareStepping()) return rc;
    int first = 0;
    for (int i = 0; i < kSteppingRowCount; ++i) {
        SteppingRow& row = state.rows[static_cast<std::size_t>(i)];
        if (!row.active) continue;
        row.caseIndex = std::min(indices[static_cast<std::size_t>(i)], row.caseCount - 1);
        if (row.componentValue && row.deviceValue) {
            row.savedValue = *row.deviceValue;
            row.savedNominal = row.deviceNominal ? *row.deviceNominal : row.savedValue;
            if (row.restoreWord) row.savedWord = *row.restoreWord;
            row.saved = true;
        }
        if (row.restoreWord) *row.restoreWord = 1;
        if (int rc = ApplyStepValue(i, kStepActionNext); rc && !first) first = rc;
        row.builtValue = row.caseValue;
    }
    return first;
}

bool IsSteppedItem(const void* item)
{
    const SteppingRowsState& state = SteppingRows();
    if (!state.active || !item) return false;
    for (const SteppingRow& row : state.rows) {
        if (!row.active) continue;
        if (row.deviceValue == item || row.model == item) return true;
        if (!row.componentValue && row.modelType >= 0) {
            bool hit = false;
            EachSteppedModel(row, [&](EvaluatedModel& model) { hit = hit || &model == item; });
            if (hit) return true;
        }
    }
    return false;
}

std::vector<std::string> DeviceStepParamNames(const PartInstanceRecord& part)
{
    std::vector<std::string> names;
    if ((part.typeCode == kComponentNmos || part.typeCode == kComponentPmos) && part.device) {
        for (const MosTarget& t : kMosTargets) names.emplace_back(t.name);
    } else if ((part.typeCode == kComponentVSpice || part.typeCode == kComponentISpice) && part.device) {
        const auto& v = *static_cast<const IndependentSourceDevice*>(part.device);
        for (const SourceTarget& t : kSourceTargets)
            if (std::string name = SourceParamName(t, v); !name.empty()) names.push_back(std::move(name));
    }
    return names;
}

std::string FormatSteppedParamName(int slot)
{
    if (slot < 0 || slot >= kSteppingRowCount) return {};
    const SteppingRow& row = SteppingRows().rows[static_cast<std::size_t>(slot)];
    if (row.param.empty()) return row.name;
    return StrPrintf("%s.%s", row.name.c_str(), row.param.c_str());
}

std::string FormatStepCaption(WindowRecord* window, bool wantRange)
{
    const SteppingRowsState& state = SteppingRows();
    const AnalysisRunState& plan = RunState();
    const PlotRecord* plot = window ? window->plot.get() : nullptr;
    const WaveformStore* store = plot ? &plot->store : nullptr;
    const int stored = store ? std::min<int>(store->runCount, static_cast<int>(store->runs.size())) : 0;
    const bool running = RunControl().running != 0;
    const int selected = PlotCursors().selectedRun;
    const bool showsStored = !running && store && selected >= 0 && selected < stored;
    if (!state.active || !plan.steppingActive) {
        const int run = showsStored && !wantRange ? store->runs[static_cast<std::size_t>(selected)].caseNumber : plan.runIndex;
        return StrPrintf("Case= %d", run);
    }
    std::string text;
    for (int i = 0; i < kSteppingRowCount; ++i) {
        const SteppingRow& row = state.rows[static_cast<std::size_t>(i)];
        if (!row.active) continue;
        if (!text.empty()) text += ' ';
        text += FormatSteppedParamName(i);
        double low = 0.0, high = 0.0;
        for (int r = 0; r < stored; ++r) {
            const double v = store->runs[static_cast<std::size_t>(r)].steppedValues[static_cast<std::size_t>(i)];
            low = r == 0 ? v : std::min(low, v);
            high = r == 0 ? v : std::max(high, v);
        }
        if (wantRange && stored > 0 && low != high) {
            text += StrPrintf(" = %g...%g", low, high);
        } else {
            const double value = running || !showsStored
                                     ? row.caseValue
                                     : store->runs[static_cast<std::size_t>(selected)].steppedValues[static_cast<std::size_t>(i)];
            text += StrPrintf(" = %g", value);
        }
    }
    return text;
}

void InstallSteppingRunServices()
{
    CircuitBuild().modelEvaluated = ApplyCaseValuesToBuiltModel;
    AnalysisRunServices& services = RunServices();
    services.beginCases = [](WindowRecord*) {
        RunState().runIndex = 0;
        RunState().stoppedByUser = false;
        if (int rc = ApplyStepValues()) return rc;
        return BeginMonteCarlo();
    };
    services.endCases = [](WindowRecord* window) {
        RestoreSteppedValues();
        EndMonteCarloRun();
        RestoreNominalModelParams();
        // The title line was last drawn as the last case began: its range lacks that case.
        if (window && window->window && (RunState().steppingActive || RunState().monteCarloActive))
            win::InvalidateRect(window->window, nullptr, 0);
    };
    services.moreCases = [] { return RunState().runIndex < RunState().runCount; };
    // The cases as the plots set up and begin each run, and the stepped values of their title.
    PlotWindowServicesState& plots = PlotWindowServices();
    plots.nextStepCase = NextStepCase;
    plots.perturbModels = PerturbModels;
    plots.setMonteCarloRunCount = SetMonteCarloRunCount;
    AnalysisWindowServicesState& analysis = AnalysisWindowServices();
    analysis.stepCaption = FormatStepCaption;
    analysis.prepareStepping = [] { PrepareStepping(); };
    // A part value written as a formula keeps the stepped value while it is stepped.
    AnalogSolver().hooks.isSteppedItem = [](const void* item) { return IsSteppedItem(item); };
}

}  // namespace kq5
