// Diodes, bipolar transistors, MOSFETs, JFETs and GaAsFETs: series resistances become internal
// nodes, instance parameters come from the main text through fixed patterns, and the polarity
// from the component type.
#include <memory>
#include <new>

#include "core/char_classes.h"
#include "netlist/bjt_device.h"
#include "netlist/diode_device.h"
#include "netlist/fet_devices.h"
#include "netlist/build_errors.h"
#include "document/component_types.h"
#include "netlist/model_statements.h"
#include "netlist/token_patterns.h"
#include "netlist/translate_common.h"
#include "netlist/translate_components.h"

namespace kq5 {

namespace {

constexpr int kMsgAreaNotPositive = 10840;
constexpr const char* kAreaPattern = "<[%g][OFF%d][IC=%g]>";
// Transistors take two initial voltages: VBE,VCE for the bipolar kinds, VDS,VGS for the FETs.
constexpr const char* kTransistorPattern = "<[%g][OFF%d][IC=%g[,%g]]>";
constexpr const char* kMosfetPattern =
    "<[M=%g][L=%t][W=%t][AD=%g][AS=%g][PD=%g][PS=%g][NRD=%g][NRS=%g][NRB=%g][NRG=%g][OFF%d][IC=%g[,%g[,%g]]]>";

// The model of a device: the one given, the part's own (model type -1), or the default model
// of the type.
EvaluatedModel* DeviceModel(SchematicItem* component, int modelType, EvaluatedModel* given)
{
    if (given) return given;
    if (modelType < 0) return PartModel(component);
    EvaluatedModel* model = FindModelEx(modelType, -1, false, true);
    if (!model) FlagCircuitBuildError();
    return model;
}

// Upper-cases the text and tells whether it holds an initial condition.
bool PrepareInstanceText(std::string& text)
{
    text = CopyUpperCase(text);
    return text.find("IC") != std::string::npos;
}

// A pattern mismatch shows the component and fails the build.
bool MatchFailed(SchematicItem* component, int rc)
{
    if (rc == 0) return false;
    ShowErrorLocation(component);
    return true;
}

// An area must be positive; a zero or negative area would make the junction vanish or turn
// its currents around.
bool AreaRefused(SchematicItem* component, double area)
{
    if (area > 0.0) return false;
    ReportComponentMessage(component, kMsgAreaNotPositive);
    return true;
}

// The type code of the model statement; the model's row for a default model.
int ModelStatementType(const EvaluatedModel* model)
{
    if (const ModelStatement* statement = FindModelStatement(model->statementIndex)) return statement->type;
    return model->row;
}

// An internal FET node: the resistance from the model, or RSH times the instance's squares when
// it is zero.
std::int32_t FetInternalNode(const EvaluatedModel* model, const char* resistance, double squares,
                             std::int32_t outer)
{
    double r = ModelParam(model, resistance);
    if (r == 0.0) r = ModelParam(model, "RSH") * squares;
    return MakeUnnamedInternalNode(r, outer);
}

}  // namespace

DiodeDevice* BuildDiodeDevice(std::int32_t anode, std::int32_t cathode, std::string& instanceText, int modelType,
                              EvaluatedModel* model)
{
    if (anode == cathode) return nullptr;
    SchematicItem* component = CurrentComponent();
    auto* d = AppendDevice<DiodeDevice>(kDiodeDeviceList);
    if (!d) return nullptr;
    d->anode = anode;
    d->cathode = cathode;
    d->internalAnode = anode;
    if (!(d->model = DeviceModel(component, modelType, model))) return nullptr;
    d->initialConditionGiven = PrepareInstanceText(instanceText);
    if (MatchFailed(component, MatchTokenPattern(component, instanceText, kAreaPattern,
                                                 {&d->area, &d->off, &d->initialVoltage})))
        return nullptr;
    d->ordinal = DeviceList(kDiodeDeviceList).count;
    if (modelType < 0 && RegisterPartInstance(d, kComponentDiode, component)) return nullptr;
    if (AreaRefused(component, d->area)) return d;
    d->internalAnode = MakeInternalNode(component, ModelParam(d->model, "RS") / d->area, "_Pside", anode);
    return d;
}

BjtDevice* BuildBjtDevice(std::int32_t base, std::int32_t emitter, std::int32_t collector, std::int32_t substrate,
                          std::string& instanceText, int modelType, int componentType, EvaluatedModel* model)
{
    SchematicItem* component = CurrentComponent();
    auto* q = AppendDevice<BjtDevice>(kBjtDeviceList);
    if (!q) return nullptr;
    if (!(q->model = DeviceModel(component, modelType, model))) return nullptr;
    q->modelType = modelType < 0 ? ModelStatementType(q->model) : modelType;
    q->base = base;
    q->emitter = emitter;
    q->collector = collector;
    q->internalBase = MakeInternalNode(component, ModelParam(q->model, "RB"), "_base", base);
    q->internalEmitter = MakeInternalNode(component, ModelParam(q->model, "RE"), "_emitter", emitter);
    q->internalCollector = MakeInternalNode(component, ModelParam(q->model, "RC"), "_collector", collector);
    const bool fourPins = componentType == kComponentNpn4 || componentType == kComponentPnp4;
    q->substrate = fourPins ? substrate : 0;
    q->polarity = (componentType == kComponentNpn || componentType == kComponentNpn4) ? 1.0 : -1.0;
    q->initialConditionGiven = PrepareInstanceText(instanceText);
    if (MatchFailed(component, MatchTokenPattern(component, instanceText, kTransistorPattern,
                                                 {&q->area, &q->off, &q->initialVbe, &q->initialVce})))
        return nullptr;
    q->ordinal = DeviceList(kBjtDeviceList).count;
    AreaRefused(component, q->area);
    if (modelType < 0 && RegisterPartInstance(q, componentType, component)) return nullptr;
    return q;
}

JfetDevice* BuildJfetDevice(std::int32_t gate, std::int32_t drain, std::int32_t source, int modelType,
                            std::string& instanceText, int componentType, EvaluatedModel* model)
{
    SchematicItem* component = CurrentComponent();
    auto* j = AppendDevice<JfetDevice>(kJfetDeviceList);
    if (!j) return nullptr;
    if (!(j->model = DeviceModel(component, modelType, model))) return nullptr;
    j->gate = gate;
    j->drain = drain;
    j->source = source;
    j->initialConditionGiven = PrepareInstanceText(instanceText);
    if (MatchFailed(component, MatchTokenPattern(component, instanceText, kTransistorPattern,
                                                 {&j->area, &j->off, &j->ic1, &j->ic2})))
        return nullptr;
    j->ordinal = DeviceList(kJfetDeviceList).count;
    AreaRefused(component, j->area);
    j->internalDrain = MakeUnnamedInternalNode(ModelParam(j->model, "RD"), drain);
    j->internalSource = MakeUnnamedInternalNode(ModelParam(j->model, "RS"), source);
    j->polarity = componentType == kComponentNjfet ? 1.0 : -1.0;
    if (modelType < 0 && RegisterPartInstance(j, componentType, component)) return nullptr;
    return j;
}

int TranslateDiode(SchematicItem* component)
{
    std::string text = CurrentMainText();
    BuildDiodeDevice(PinNode(component, 0), PinNode(component, 1), text, -1, nullptr);
    return CircuitBuildFailed() ? kMsgAlreadyReported : 0;
}

int TranslateBjt(SchematicItem* component, int typeCode)
{
    std::string text = CurrentMainText();
    // Pins: collector, base, emitter, and the substrate of the 4-pin types.
    BuildBjtDevice(PinNode(component, 1), PinNode(component, 2), PinNode(component, 0), PinNode(component, 3), text,
                   -1, typeCode);
    return CircuitBuildFailed() ? kMsgAlreadyReported : 0;
}

int TranslateJfet(SchematicItem* component, int typeCode)
{
    std::string text = CurrentMainText();
    // Pins: drain, gate, source.
    BuildJfetDevice(PinNode(component, 1), PinNode(component, 0), PinNode(component, 2), -1, text, typeCode);
    return CircuitBuildFailed() ? kMsgAlreadyReported : 0;
}

namespace {

// The rows whose devices the LEVEL 1 to 3 loads take: all but those of LEVEL 4, 5 and 8.
bool IsLevel123Row(int row)
{
    return row != kModelNmos4 && row != kModelPmos4 && row != kModelNmos5 && row != kModelPmos5 &&
           row != kModelNmos8 && row != kModelPmos8;
}

// A new record at the end of the MOSFET list; a LEVEL 1 to 3 device's holds that level's block.
MosfetDevice* AppendMosfetRecord(bool level123)
{
    LinkedList& list = DeviceList(kMosfetDeviceList);
    const ListNodeFactory kept = list.factory;
    list.factory = level123 ? &NewListRecord<MosfetLevel123Device> : &NewListRecord<MosfetDevice>;
    ListNode* node = ListAppend(list, kKindMosfet);
    list.factory = kept;
    if (!node) FlagCircuitBuildOutOfMemory();
    return static_cast<MosfetDevice*>(node);
}

}  // namespace

int TranslateMosfet(SchematicItem* component, int typeCode)
{
    EvaluatedModel* const found = PartModel(component);
    if (!found) return kMsgAlreadyReported;
    auto* m = AppendMosfetRecord(IsLevel123Row(found->row));
    if (!m) return kMsgAlreadyReported;
    m->ordinal = DeviceList(kMosfetDeviceList).count;
    m->model = found;
    std::string text = CurrentMainText();
    m->initialConditionGiven = PrepareInstanceText(text);
    m->nrd = m->nrs = -1.0;
    if (MatchFailed(component,
                    MatchTokenPattern(component, text, kMosfetPattern,
                                      {&m->m, {&m->l, &m->lGiven}, {&m->w, &m->wGiven}, &m->ad, &m->as, &m->pd,
                                       &m->ps, &m->nrd, &m->nrs, &m->nrb, &m->nrg, &m->off, &m->ic1, &m->ic2,
                                       &m->ic3})))
        return kMsgAlreadyReported;
    m->wNominal = m->w;
    m->adNominal = m->ad;
    m->asNominal = m->as;
    m->pdNominal = m->pd;
    m->psNominal = m->ps;
    if (m->nrd < 0.0) m->nrd = 1.0;
    if (m->nrs < 0.0) m->nrs = 1.0;
    if (m->m <= 0.0) m->m = 1.0;

    const std::int32_t drain = PinNode(component, 0);
    const std::int32_t gate = PinNode(component, 1);
    const std::int32_t source = PinNode(component, 2);
    const std::int32_t bulk = PinNode(component, 3);
    const EvaluatedModel* model = m->model;
    try {
        m->side = std::make_unique<MosfetSideBlock>();
    } catch (const std::bad_alloc&) {
        return FlagCircuitBuildOutOfMemory();
    }
    switch (model->row) {
    case kModelNmos4: case kModelPmos4: m->side->level = 4; break;
    case kModelNmos5: case kModelPmos5: m->side->level = 5; break;
    case kModelNmos8: case kModelPmos8: m->side->level = 8; break;
    default: m->side->level = 1; break;
    }
    m->side->polarity = typeCode == kComponentNmos ? 1.0 : -1.0;
    m->internalGate = FetInternalNode(model, "RG", m->nrg, gate);
    m->internalDrain = FetInternalNode(model, "RD", m->nrd, drain);
    m->internalSource = FetInternalNode(model, "RS", m->nrs, source);
    m->internalBulk = FetInternalNode(model, "RB", m->nrb, bulk);
    // The non-quasi-static charge of a LEVEL 8 device is an unknown of its own; without it the
    // slot stands on the internal source and is never stamped.
    m->extraInternal = m->side->level == 8 && static_cast<int>(ModelParam(model, "NQSMOD")) == 1 ? NewAnalogNode() : m->internalSource;
    if (m->side->level == 1 && ModelParamGiven(model, "LEVEL"))
        m->level = static_cast<std::int32_t>(ModelParam(model, "LEVEL"));
    m->mode = 1.0;
    m->gate = gate;
    m->drain = drain;
    m->source = source;
    m->bulk = bulk;
    m->component = component;
    if (RegisterPartInstance(m, typeCode, component)) return kMsgAlreadyReported;
    return 0;
}

int TranslateGaasfet(SchematicItem* component)
{
    auto* b = AppendDevice<GaasfetDevice>(kGaasfetDeviceList);
    if (!b) return kMsgAlreadyReported;
    if (!(b->model = PartModel(component))) return kMsgAlreadyReported;
    b->ordinal = DeviceList(kGaasfetDeviceList).count;
    b->drain = PinNode(component, 0);
    b->gate = PinNode(component, 1);
    b->source = PinNode(component, 2);
    b->internalGate = MakeUnnamedInternalNode(ModelParam(b->model, "RG"), b->gate);
    b->internalDrain = MakeUnnamedInternalNode(ModelParam(b->model, "RD"), b->drain);
    b->internalSource = MakeUnnamedInternalNode(ModelParam(b->model, "RS"), b->source);
    std::string text = CurrentMainText();
    b->initialConditionGiven = PrepareInstanceText(text);
    if (MatchFailed(component,
                    MatchTokenPattern(component, text, kTransistorPattern, {&b->area, &b->off, &b->ic1, &b->ic2})))
        return kMsgAlreadyReported;
    AreaRefused(component, b->area);
    b->polarity = 1.0;
    if (RegisterPartInstance(b, kComponentGaAsFet, component)) return kMsgAlreadyReported;
    return CircuitBuildFailed() ? kMsgAlreadyReported : 0;
}

}  // namespace kq5
