#include "devices/device_record_types.h"

#include <array>
#include <complex>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

#include "core/device_lists.h"
#include "core/device_record_fields.h"
#include "analog/stamp_ac.h"
#include "document/component_types.h"
#include "document/schematic_item.h"
#include "netlist/bjt_device.h"
#include "netlist/capacitor_device.h"
#include "netlist/controlled_source_devices.h"
#include "netlist/diode_device.h"
#include "netlist/fet_devices.h"
#include "netlist/inductor_device.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"
#include "netlist/opamp_device.h"
#include "core/part_instance.h"
#include "document/scope_names.h"
#include "netlist/resistor_device.h"
#include "netlist/source_device.h"
#include "netlist/standalone_element_devices.h"
#include "netlist/translate_common.h"

namespace kq5 {

namespace {

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
    // Terminal currents in the order of their AC phasors.
    template <std::size_t N>
    FieldBuilder& AcFields(const std::array<const char*, N>& names, const std::array<std::complex<double>, N>& phasors)
    {
        for (std::size_t i = 0; i < N; ++i) d.acFields.push_back({names[i], &phasors[i]});
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
        f.TwoTerminal(r->nodeA, r->nodeB).Field("R", &r->value).Model(r->Model());
        break;
    }
    case kComponentCapacitor: {
        auto* cap = static_cast<CapacitorDevice*>(device);
        f.TwoTerminal(cap->nodeA, cap->nodeB).Field("C", &cap->value).Field("Q", &cap->charge);
        f.Field("I", &cap->current).AcCurrent(cap).Model(cap->Model());
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
        f.TwoTerminal(d->anode, d->cathode).Field("I", &d->current).AcCurrent(d).Field("Q", &d->charge);
        f.Field("C", &d->capacitance).Model(d->model);
        break;
    }
    case kComponentNpn: case kComponentPnp: case kComponentNpn4: case kComponentPnp4: {
        auto* q = static_cast<BjtDevice*>(device);
        f.Field("IB", &q->ib).Field("IC", &q->ic).Field("IE", &q->ie).Field("IS", &q->is);
        f.AcFields<4>({"IB", "IE", "IC", "IS"}, q->acCurrents);
        f.Field("QBE", &q->qbe).Field("QBC", &q->qbc).Field("QCS", &q->qcs);
        f.Field("CBE", &q->cbe).Field("CBC", &q->cbc).Field("CCS", &q->ccs);
        f.Pins({{"B", q->base}, {"C", q->collector}, {"E", q->emitter}, {"S", q->substrate}}).Model(q->model);
        break;
    }
    case kComponentNmos: case kComponentPmos: {
        auto* m = static_cast<MosfetDevice*>(device);
        AddFetFields(f, m->quantities, true);
        f.AcFields<4>({"IG", "ID", "IS", "IB"}, m->acCurrents);
        f.Pins({{"D", m->drain}, {"G", m->gate}, {"S", m->source}, {"B", m->bulk}}).Model(m->model);
        break;
    }
    case kComponentNjfet: case kComponentPjfet: {
        auto* j = static_cast<JfetDevice*>(device);
        AddFetFields(f, j->quantities, false);
        f.AcFields<3>({"ID", "IG", "IS"}, j->values.acCurrents);
        f.Pins({{"D", j->drain}, {"G", j->gate}, {"S", j->source}}).Model(j->model);
        break;
    }
    case kComponentGaAsFet: {
        auto* b = static_cast<GaasfetDevice*>(device);
        AddFetFields(f, b->quantities, false);
        f.AcFields<3>({"ID", "IG", "IS"}, b->values.acCurrents);
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

// The rows of the labelled devices, one per device for the whole run: made to measure rather
// than grown by doubling.
void MakeDeviceRecordRows()
{
    DevicesState& devices = Devices();
    devices.recordFields.clear();
    std::size_t rows = 0;
    for (const PartInstanceRecord& part : ListRecords<PartInstanceRecord>(DeviceList(kPartInstanceList)))
        if (part.device && part.component) ++rows;
    devices.recordFields.shrink_to_fit();
    devices.recordFields.reserve(rows);
    for (const PartInstanceRecord& part : ListRecords<PartInstanceRecord>(DeviceList(kPartInstanceList))) {
        if (!part.device || !part.component) continue;
        const ComponentTypeRow* row = FindComponentTypeRow(part.typeCode);
        DeviceRecordFields& d = devices.recordFields.emplace_back();
        d.label = PartInstanceName(part);
        d.families = row ? row->classBits : 0;
        FieldBuilder builder{d};
        DescribeDevice(part, builder);
        d.twoTerminal = d.twoTerminal && (d.families & kFamilyTwoTerminal) != 0;
    }
}

}  // namespace

void FillDeviceRecordFields()
{
    DevicesState& devices = Devices();
    devices.recordFields.clear();
    devices.recordFields.shrink_to_fit();
    // The AC currents of the devices of an earlier build: every expression that read them was
    // bound to that build's records and is compiled again.
    devices.acCurrents.clear();
    devices.familiesRead = 0;
    // The rows are made when an expression first looks a device up; only a line reads its
    // nodes from its component, which a later build step may remove, so a circuit with lines
    // has its rows made now.
    devices.fillRecordFields = MakeDeviceRecordRows;
    devices.recordFieldsPending = true;
    for (const PartInstanceRecord& part : ListRecords<PartInstanceRecord>(DeviceList(kPartInstanceList)))
        if (part.device && part.component && part.typeCode == kComponentTline) {
            DeviceRecordTable();
            break;
        }
}

void ClearDeviceRecordFields()
{
    Devices().recordFields.clear();
    Devices().recordFieldsPending = false;
}

}  // namespace kq5
