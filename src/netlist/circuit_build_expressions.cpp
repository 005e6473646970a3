#include "netlist/circuit_build_expressions.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <new>
#include <string>
#include <vector>

#include "core/analysis_state.h"
#include "core/expr_evaluator.h"
#include "core/expr_symbols.h"
#include "core/format.h"
#include "devices/bjt_device.h"
#include "devices/capacitor_device.h"
#include "devices/controlled_source_devices.h"
#include "devices/device_record_fields.h"
#include "devices/diode_device.h"
#include "devices/fet_devices.h"
#include "devices/inductor_device.h"
#include "devices/line_switch_devices.h"
#include "devices/opamp_device.h"
#include "devices/resistor_device.h"
#include "devices/source_device.h"
#include "devices/stamp_ac.h"
#include "devices/standalone_element_devices.h"
#include "document/schematic_item.h"
#include "netlist/build_errors.h"
#include "netlist/circuit_build.h"
#include "document/component_types.h"
#include "netlist/model_statements.h"
#include "core/part_instance.h"
#include "netlist/spice_messages.h"
#include "netlist/spice_reader_state.h"
#include "netlist/translate_common.h"

namespace kq5 {

namespace {

constexpr int kMsgLaplaceNeedsS = 10843;
constexpr int kMsgCouplingAboveOne = 10970;

// ---- the table of labelled devices ----------------------------------------------------------

struct FieldBuilder {
    DeviceRecordFields& d;

    FieldBuilder& Field(const char* name, const double* address)
    {
        d.fields.push_back({name, address});
        return *this;
    }
    FieldBuilder& AcCurrent(const ListNode* record)
    {
        d.acCurrentRecord = record;
        return *this;
    }
    FieldBuilder& TwoTerminal(std::int32_t a, std::int32_t b)
    {
        d.twoTerminal = true;
        d.nodes[0] = a;
        d.nodes[1] = b;
        return *this;
    }
    // Each pin against ground, and every ordered pair of single-letter pins.
    FieldBuilder& Pins(std::initializer_list<std::pair<const char*, std::int32_t>> pins)
    {
        for (const auto& [name, node] : pins) d.pinVoltages.push_back({name, node, 0});
        for (const auto& [a, nodeA] : pins)
            for (const auto& [b, nodeB] : pins)
                if (a != b && a[1] == '\0' && b[1] == '\0')
                    d.pinVoltages.push_back({std::string(a) + b, nodeA, nodeB});
        return *this;
    }
    FieldBuilder& Voltage(const char* name, std::int32_t plus, std::int32_t minus)
    {
        d.pinVoltages.push_back({name, plus, minus});
        return *this;
    }
    FieldBuilder& Model(EvaluatedModel* model)
    {
        if (!model) return *this;
        const ModelTypeRow* row = FindModelTypeRow(model->row);
        if (!row) return *this;
        const auto params = row->Params();
        for (std::size_t i = 0; i < params.size() && i < model->params.size(); ++i)
            d.modelParams.push_back({params[i].name, &model->params[i], false});
        return *this;
    }
};

void AddFetFields(FieldBuilder& f, const FetQuantities& q, bool bulk)
{
    f.Field("ID", &q.id).Field("IG", &q.ig).Field("IS", &q.is);
    f.Field("QGS", &q.qgs).Field("QGD", &q.qgd).Field("CGS", &q.cgs).Field("CGD", &q.cgd);
    if (bulk) {
        f.Field("IB", &q.ib).Field("QGB", &q.qgb).Field("QBD", &q.qbd).Field("QBS", &q.qbs);
        f.Field("CGB", &q.cgb).Field("CBD", &q.cbd).Field("CBS", &q.cbs);
    } else {
        f.Field("QDS", &q.qds).Field("CDS", &q.cds);
    }
}

void DescribeDevice(const PartInstanceRecord& part, FieldBuilder& f)
{
    ListNode* device = part.device;
    const SchematicItem* c = part.component;
    switch (part.typeCode) {
    case kComponentResistor: {
        auto* r = static_cast<ResistorDevice*>(device);
        f.TwoTerminal(r->nodeA, r->nodeB).Field("R", &r->value).Model(r->model);
        break;
    }
    case kComponentCapacitor: {
        auto* cap = static_cast<CapacitorDevice*>(device);
        f.TwoTerminal(cap->nodeA, cap->nodeB).Field("C", &cap->value).Field("Q", &cap->charge);
        f.Field("I", &cap->current).AcCurrent(cap).Model(cap->model);
        break;
    }
    case kComponentInductor: {
        auto* l = static_cast<InductorDevice*>(device);
        f.TwoTerminal(l->nodeA, l->nodeB).Field("L", &l->value).Field("X", &l->flux).Field("I", &l->current);
        f.AcCurrent(l).Field("B", &l->fluxDensity).Field("H", &l->field).Model(l->model);
        break;
    }
    case kComponentDiode: {
        auto* d = static_cast<DiodeDevice*>(device);
        f.TwoTerminal(d->anode, d->cathode).Field("I", &d->current).Field("Q", &d->charge);
        f.Field("C", &d->capacitance).Model(d->model);
        break;
    }
    case kComponentNpn: case kComponentPnp: case kComponentNpn4: case kComponentPnp4: {
        auto* q = static_cast<BjtDevice*>(device);
        f.Field("IB", &q->ib).Field("IC", &q->ic).Field("IE", &q->ie).Field("IS", &q->is);
        f.Field("QBE", &q->qbe).Field("QBC", &q->qbc).Field("QCS", &q->qcs);
        f.Field("CBE", &q->cbe).Field("CBC", &q->cbc).Field("CCS", &q->ccs);
        f.Pins({{"B", q->base}, {"C", q->collector}, {"E", q->emitter}, {"S", q->substrate}}).Model(q->model);
        break;
    }
    case kComponentNmos: case kComponentPmos: {
        auto* m = static_cast<MosfetDevice*>(device);
        AddFetFields(f, m->quantities, true);
        f.Pins({{"D", m->drain}, {"G", m->gate}, {"S", m->source}, {"B", m->bulk}}).Model(m->model);
        break;
    }
    case kComponentNjfet: case kComponentPjfet: {
        auto* j = static_cast<JfetDevice*>(device);
        AddFetFields(f, j->quantities, false);
        f.Pins({{"D", j->drain}, {"G", j->gate}, {"S", j->source}}).Model(j->model);
        break;
    }
    case kComponentGaAsFet: {
        auto* b = static_cast<GaasfetDevice*>(device);
        AddFetFields(f, b->quantities, false);
        f.Pins({{"D", b->drain}, {"G", b->gate}, {"S", b->source}}).Model(b->model);
        break;
    }
    case kComponentBattery: case kComponentISpice: case kComponentIsource: case kComponentVSpice:
    case kComponentAnalogState: {
        auto* v = static_cast<IndependentSourceDevice*>(device);
        f.TwoTerminal(v->nodePlus, v->nodeMinus).Field("I", &v->current).AcCurrent(v);
        break;
    }
    case kComponentPulseSource: {
        auto* p = static_cast<PulseSourceDevice*>(device);
        f.TwoTerminal(p->nodePlus, p->nodeMinus).Field("I", &p->current).AcCurrent(p).Model(p->model);
        break;
    }
    case kComponentSineSource: {
        auto* s = static_cast<SineSourceDevice*>(device);
        f.TwoTerminal(s->nodePlus, s->nodeMinus).Field("I", &s->current).AcCurrent(s).Model(s->model);
        break;
    }
    case kComponentUserSource: {
        auto* u = static_cast<UserSourceDevice*>(device);
        f.TwoTerminal(u->nodePlus, u->nodeMinus).Field("I", &u->current).AcCurrent(u);
        break;
    }
    case kComponentNFI: case kComponentNFV: {
        auto* b = static_cast<FormulaSourceDevice*>(device);
        f.TwoTerminal(b->outputPlus, b->outputMinus).Field("I", &b->current);
        break;
    }
    case kComponentSampleAndHold: {
        auto* s = static_cast<SampleHoldDevice*>(device);
        f.TwoTerminal(s->input, s->output);
        break;
    }
    case kComponentOpamp: {
        auto* o = static_cast<OpampDevice*>(device);
        f.Pins({{"P", o->pins[0]}, {"M", o->pins[1]}, {"EE", o->pins[2]}, {"OUT", o->pins[3]}, {"CC", o->pins[4]}});
        f.Model(o->model);
        break;
    }
    case kComponentTline: {
        const std::int32_t ap = PinNode(c, 0), am = PinNode(c, 1), bp = PinNode(c, 2), bm = PinNode(c, 3);
        f.Voltage("A", ap, am).Voltage("B", bp, bm).Voltage("AP", ap, 0).Voltage("AM", am, 0);
        f.Voltage("BP", bp, 0).Voltage("BM", bm, 0);
        break;
    }
    default:
        if (part.typeCode >= kComponentIofV && part.typeCode <= kComponentVofI) {
            auto* e = static_cast<LinearSourceDevice*>(device);
            f.Field("I", &e->current).AcCurrent(e);
        }
        break;
    }
}

// ---- expressions ----------------------------------------------------------------------------

std::uint32_t AnalysisContext()
{
    switch (Analysis().analysisKind) {
    case kAnalysisAc: return kContextAc;
    case kAnalysisDc: return kContextDc;
    default: return kContextTransient;
    }
}

// Compiles one expression in its component's scope; 0, or 15055 after reporting the error with
// the component.
int CompileOne(DeviceExpression& expression)
{
    if (!expression.HasText()) return 0;
    try {
        if (!expression.compiled) expression.compiled = std::make_unique<CompiledExpression>();
        ExpressionRequest request;
        InitExpressionRecord(expression.text, expression.compiled.get(), AnalysisContext(), kItemNumber, request);
        request.window = CurrentRecord();
        request.quiet = true;
        request.subcircuitLevel = expression.component ? expression.component->scope : 0;
        const int rc = CompileExpression(request);
        if (rc == 0) return 0;
        if (rc == kMsgAlreadyReported) {
            FlagCircuitBuildError();
            return rc;
        }
        // A part of a netlist is shown with the line it was written on.
        const auto origin = expression.component ? ElementOrigin(expression.component) : std::nullopt;
        if (!origin)
            return ReportComponentMessage(expression.component, rc, request.quietTexts[0], request.quietTexts[1]);
        SetErrorSourceLine(origin->source, origin->line);
        ReportNetlistMessage("WNE", CurrentRecord(), expression.component, rc, request.quietTexts[0],
                             request.quietTexts[1]);
        ClearErrorSourceLine();
        return kMsgAlreadyReported;
    } catch (const std::bad_alloc&) {
        return FlagCircuitBuildOutOfMemory();
    }
}

// The value of an expression that compiled to one constant.
bool ConstantValue(const DeviceExpression& expression, double& value)
{
    if (!expression.compiled || expression.compiled->instructions.count != 1) return false;
    const auto* only = ListHead<ExpressionInstruction>(expression.compiled->instructions);
    if (only->opcode != kOpConstant) return false;
    value = only->value.real();
    return true;
}

bool DependsOnFrequency(const DeviceExpression& expression)
{
    return expression.compiled &&
           (expression.compiled->dependencies & (kDependsFrequency | kDependsLaplace)) != 0;
}

constexpr int kMsgIllegalNumber = 10922;

// A resistance that is no number: 1/0 (whose quotient stands at 1e50), the logarithm or root of
// a negative number, or 0. Taken as it comes it became a resistor of 1e50 or of RMIN, and the
// run went on as if the circuit were what the user wrote. 0, or 15055 after the report at the
// part.
int CheckResistance(const DeviceExpression& expression)
{
    // Only a value that reads nothing of the circuit or the run is known at build.
    if (!expression.compiled || expression.compiled->dependencies != 0) return 0;
    std::complex<double> value;
    const int rc = EvaluateExpression(*expression.compiled, value);
    if (rc == 0 && std::isfinite(value.real()) && value.imag() == 0.0 && value.real() != 0.0 &&
        std::abs(value.real()) < 1e50)
        return 0;
    return ReportComponentMessage(expression.component, kMsgIllegalNumber, expression.text);
}

template <class T>
int CompileValueDevice(T& device, double& value, double& nominal, bool resistance = false)
{
    if (int rc = CompileOne(device.valueExpression)) return rc;
    if (resistance)
        if (int rc = CheckResistance(device.valueExpression)) return rc;
    if (Analysis().analysisKind == kAnalysisAc)
        if (int rc = CompileOne(device.acExpression)) return rc;
    if (DependsOnFrequency(device.valueExpression) || DependsOnFrequency(device.acExpression))
        device.flags |= kDeviceFrequencyDependent;
    double constant = 0.0;
    if (ConstantValue(device.valueExpression, constant)) {
        value = nominal = constant;
        device.valueExpression.Clear();
    }
    return 0;
}

void FreeAllExpressions()
{
    for (auto& b : ListRecords<FormulaSourceDevice>(DeviceList(kFormulaSourceDeviceList))) {
        b.valueExpression.Clear();
        b.acExpression.Clear();
    }
    for (auto& s : ListRecords<LaplaceSourceDevice>(DeviceList(kLaplaceSourceDeviceList))) s.transfer.Clear();
    for (auto& r : ListRecords<ResistorDevice>(DeviceList(kResistorDeviceList))) r.FreeOwnedData();
    for (auto& c : ListRecords<CapacitorDevice>(DeviceList(kCapacitorDeviceList))) c.FreeOwnedData();
    for (auto& l : ListRecords<InductorDevice>(DeviceList(kInductorDeviceList))) l.FreeOwnedData();
    for (auto& s : ListRecords<SampleHoldDevice>(DeviceList(kSampleHoldDeviceList))) s.sampled.Clear();
    for (auto& k : ListRecords<CoreRequest>(DeviceList(kCoreRequestList))) k.coupling.Clear();
}

int CompileAll()
{
    const bool ac = Analysis().analysisKind == kAnalysisAc;
    for (auto& b : ListRecords<FormulaSourceDevice>(DeviceList(kFormulaSourceDeviceList))) {
        if (int rc = CompileOne(b.valueExpression)) return rc;
        if (ac)
            if (int rc = CompileOne(b.acExpression)) return rc;
        if (DependsOnFrequency(b.valueExpression) || DependsOnFrequency(b.acExpression))
            b.flags |= kDeviceFrequencyDependent;
    }
    for (auto& s : ListRecords<LaplaceSourceDevice>(DeviceList(kLaplaceSourceDeviceList))) {
        if (int rc = CompileOne(s.transfer)) return rc;
        if (!s.transfer.compiled || !(s.transfer.compiled->dependencies & kDependsLaplace))
            return ReportComponentMessage(s.component, kMsgLaplaceNeedsS);
        s.flags |= kDeviceFrequencyDependent;
    }
    for (auto& r : ListRecords<ResistorDevice>(DeviceList(kResistorDeviceList)))
        if (int rc = CompileValueDevice(r, r.value, r.nominal, true)) return rc;
    for (auto& c : ListRecords<CapacitorDevice>(DeviceList(kCapacitorDeviceList)))
        if (int rc = CompileValueDevice(c, c.value, c.nominal)) return rc;
    for (auto& l : ListRecords<InductorDevice>(DeviceList(kInductorDeviceList)))
        if (int rc = CompileValueDevice(l, l.value, l.nominal)) return rc;
    for (auto& s : ListRecords<SampleHoldDevice>(DeviceList(kSampleHoldDeviceList)))
        if (int rc = CompileOne(s.sampled)) return rc;
    for (auto& k : ListRecords<CoreRequest>(DeviceList(kCoreRequestList))) {
        if (int rc = CompileOne(k.coupling)) return rc;
        double constant = 0.0;
        if (!ConstantValue(k.coupling, constant)) continue;
        // Beyond 1 the coupled inductors would store negative energy.
        if (std::fabs(constant) > 1.0)
            return ReportComponentMessage(k.component, kMsgCouplingAboveOne, StrPrintf("%g", constant));
        for (auto& coupling : ListRecords<CouplingDevice>(DeviceList(kCouplingDeviceList)))
            if (coupling.expression == &k.coupling) coupling.value = constant;
    }
    return 0;
}

void AddSolutionEntries(const CompiledExpression* expression, std::vector<std::int32_t>& entries)
{
    if (!expression) return;
    const SolutionVectors& solution = Analysis().solution;
    for (const ExpressionInstruction& i : ListRecords<ExpressionInstruction>(expression->instructions)) {
        std::int32_t entry = -1;
        if (i.realAddress && !solution.real.empty() && i.realAddress >= solution.real.data() &&
            i.realAddress < solution.real.data() + solution.real.size())
            entry = static_cast<std::int32_t>(i.realAddress - solution.real.data());
        else if (i.complexAddress && !solution.complex.empty() && i.complexAddress >= solution.complex.data() &&
                 i.complexAddress < solution.complex.data() + solution.complex.size())
            entry = static_cast<std::int32_t>(i.complexAddress - solution.complex.data());
        if (entry >= 0 && std::find(entries.begin(), entries.end(), entry) == entries.end()) entries.push_back(entry);
    }
}

}  // namespace

void FillDeviceRecordFields()
{
    DevicesState& devices = Devices();
    devices.recordFields.clear();
    // The AC currents of the devices of an earlier build: every expression that read them was
    // bound to that build's records and is compiled again.
    AcStamps().acCurrents.clear();
    // One row per device for the whole run: made to measure rather than grown by doubling.
    std::size_t rows = 0;
    for (const PartInstanceRecord& part : ListRecords<PartInstanceRecord>(DeviceList(kPartInstanceList)))
        if (part.device && part.component) ++rows;
    devices.recordFields.shrink_to_fit();
    devices.recordFields.reserve(rows);
    for (const PartInstanceRecord& part : ListRecords<PartInstanceRecord>(DeviceList(kPartInstanceList))) {
        if (!part.device || !part.component) continue;
        const ComponentTypeRow* row = FindComponentTypeRow(part.typeCode);
        DeviceRecordFields& d = devices.recordFields.emplace_back();
        d.label = part.partName;
        d.families = row ? row->classBits : 0;
        FieldBuilder builder{d};
        DescribeDevice(part, builder);
        d.twoTerminal = d.twoTerminal && (d.families & kFamilyTwoTerminal) != 0;
    }
}

int CompileDeviceExpressions()
{
    if (CircuitBuildFailed() || CircuitBuild().pathWindow) {
        FreeAllExpressions();
        return CircuitBuildFailed() ? kMsgAlreadyReported : 0;
    }
    const int rc = CompileAll();
    if (rc) FreeAllExpressions();
    return rc;
}

int BuildFormulaDependencies()
{
    try {
        for (auto& b : ListRecords<FormulaSourceDevice>(DeviceList(kFormulaSourceDeviceList))) {
            b.dependencies.clear();
            AddSolutionEntries(b.valueExpression.compiled.get(), b.dependencies);
            AddSolutionEntries(b.acExpression.compiled.get(), b.dependencies);
        }
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    return 0;
}

bool AnySourceGivesAcSignal()
{
    if (DeviceList(kSineSourceDeviceList).count || DeviceList(kPulseSourceDeviceList).count ||
        DeviceList(kUserSourceDeviceList).count)
        return true;
    for (auto& b : ListRecords<FormulaSourceDevice>(DeviceList(kFormulaSourceDeviceList)))
        if (!b.acExpression.Empty()) return true;
    for (auto& v : ListRecords<IndependentSourceDevice>(DeviceList(kIndependentSourceDeviceList)))
        if (v.acMagnitude != 0.0) return true;
    return false;
}

bool AnyFrequencyDependentDevice()
{
    auto marked = [](int list, auto* type) {
        using T = std::remove_pointer_t<decltype(type)>;
        for (auto& d : ListRecords<T>(DeviceList(list)))
            if (d.flags & kDeviceFrequencyDependent) return true;
        return false;
    };
    return marked(kResistorDeviceList, static_cast<ResistorDevice*>(nullptr)) ||
           marked(kCapacitorDeviceList, static_cast<CapacitorDevice*>(nullptr)) ||
           marked(kInductorDeviceList, static_cast<InductorDevice*>(nullptr)) ||
           marked(kFormulaSourceDeviceList, static_cast<FormulaSourceDevice*>(nullptr)) ||
           marked(kLaplaceSourceDeviceList, static_cast<LaplaceSourceDevice*>(nullptr));
}

}  // namespace kq5
