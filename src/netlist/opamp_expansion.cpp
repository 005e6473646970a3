#include "netlist/opamp_expansion.h"

#include <cmath>
#include <new>
#include <string>

#include "core/analysis_state.h"
#include "netlist/bjt_device.h"
#include "netlist/capacitor_device.h"
#include "netlist/diode_device.h"
#include "netlist/fet_devices.h"
#include "netlist/opamp_device.h"
#include "netlist/resistor_device.h"
#include "netlist/source_device.h"
#include "netlist/build_errors.h"
#include "document/component_types.h"
#include "netlist/defines.h"
#include "netlist/model_statements.h"
#include "netlist/poly_source.h"
#include "netlist/translate_common.h"
#include "netlist/translate_components.h"

namespace kq5 {

namespace {

constexpr int kMsgOpampNegativeC2 = 15015;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kDegreesPerRadian = 57.29577951308232;
constexpr double kDeviceThermalVoltage = 0.0259;
constexpr int kMacroInternalNodes = 15;
constexpr std::size_t kControlRoom = 6;
constexpr std::size_t kCoefficientRoom = 7;

// A controlled source of the macromodel: it names its controlling sources by record, so there
// is nothing to resolve by name after the component pass.
struct ControlSpec {
    std::int32_t plus = 0;
    std::int32_t minus = 0;
    ListNode* source = nullptr;
};

PolySourceDevice* NewControlledSourceRecord(std::int32_t plus, std::int32_t minus, int type,
                                            std::initializer_list<ControlSpec> controls,
                                            std::initializer_list<double> coefficients)
{
    auto* e = AppendDevice<PolySourceDevice>(kPolySourceList, kKindPolySource);
    if (!e) return nullptr;
    try {
        e->component = CurrentComponent();
        e->nodePlus = plus;
        e->nodeMinus = minus;
        e->componentType = type;
        e->scope = CurrentComponent() ? CurrentComponent()->scope : 0;
        e->dimension = static_cast<std::int32_t>(controls.size());
        e->controls.reserve(kControlRoom + 1);
        e->controls.emplace_back();  // entry 0 is unused
        for (const ControlSpec& spec : controls) {
            PolyControl control;
            control.nodePlus = spec.plus;
            control.nodeMinus = spec.minus;
            control.source = spec.source;
            e->controls.push_back(std::move(control));
        }
        e->coefficients.reserve(kCoefficientRoom);
        e->coefficients.assign(coefficients);
    } catch (const std::bad_alloc&) {
        FlagCircuitBuildOutOfMemory();
        return nullptr;
    }
    return e;
}

// A default model of the type, private to this op-amp.
EvaluatedModel* PrivateModel(int type)
{
    EvaluatedModel* model = FindModelEx(type, -1, false, true);
    if (!model) FlagCircuitBuildError();
    return model;
}

void SetParam(EvaluatedModel* model, const char* name, double value)
{
    if (float* slot = ModelParamSlot(model, name)) *slot = static_cast<float>(value);
}

// The elements of the Boyle macromodel, wired as the op-amp subcircuit is written: pins 1 NC+,
// 2 NC-, 3 VEE, 4 VO, 5 VCC, internal nodes 6 to 20.
class Macromodel {
public:
    Macromodel(const std::array<std::int32_t, 5>& pins, OpampDevice& opamp, const OpampMacroValues& v, int type)
        : opamp_(opamp), v_(v), type_(type)
    {
        for (int i = 0; i < 5; ++i) node_[i + 1] = pins[static_cast<std::size_t>(i)];
        for (int i = 0; i < kMacroInternalNodes; ++i) node_[6 + i] = NewAnalogNode();
    }

    bool Build()
    {
        const bool npn = type_ == 1;
        const int top = npn ? 5 : 3;     // where the collector resistors and RP start
        const int bottom = npn ? 3 : 5;
        IndependentSourceDevice* iee = npn ? Source(kSourceCurrent, 10, 3, v_.iee) : Source(kSourceCurrent, 5, 10, v_.iee);
        IndependentSourceDevice* vs1 = Source(kSourceVoltage, 11, 0, 0.0);
        IndependentSourceDevice* vc = Source(kSourceVoltage, 5, 16, v_.vc);
        IndependentSourceDevice* ve = Source(kSourceVoltage, 17, 3, v_.ve);
        IndependentSourceDevice* vlp = Source(kSourceVoltage, 19, 0, std::fabs(v_.vlp));
        IndependentSourceDevice* vln = Source(kSourceVoltage, 0, 20, std::fabs(v_.vln));
        IndependentSourceDevice* vs2 = Source(kSourceVoltage, 13, 15, 0.0);
        if (!iee || !vs1 || !vc || !ve || !vlp || !vln || !vs2) return false;

        const bool controlled =
            Controlled(13, 14, kComponentGIofV + 1, {{0, 0, vs1}, {0, 0, vc}, {0, 0, ve}, {0, 0, vlp}, {0, 0, vln}},
                       {0.0, v_.gb, v_.minusGb, v_.gb2, v_.gb2, v_.minusGb}) &&
            Controlled(14, 0, kComponentGIofV + 2, {{N(top), 0, nullptr}, {N(bottom), 0, nullptr}}, {0.0, 0.5, 0.5}) &&
            Controlled(18, 0, kComponentHVofI, {{0, 0, vs2}}, {0.0, 1000.0}) &&
            Controlled(0, 12, kComponentGIofV, {{N(10), 0, nullptr}}, {0.0, v_.gcm}) &&
            Controlled(12, 0, kComponentGIofV, {{N(6), N(7), nullptr}}, {0.0, v_.ga});
        if (!controlled) return false;

        if (!Capacitor(0, 6, 7, v_.c1) || !Capacitor(1, 10, 14, v_.ce) || !Capacitor(2, 12, 13, v_.c2)) return false;
        if (!Resistor(0, top, 6, v_.rc1) || !Resistor(1, top, 7, v_.rc2) || !Resistor(2, 8, 10, v_.re1) ||
            !Resistor(3, 9, 10, v_.re2) || !Resistor(4, 10, 14, v_.re) || !Resistor(5, top, bottom, v_.rp) ||
            !Resistor(6, 12, 11, v_.r2) || !Resistor(7, 13, 14, v_.ro2) || !Resistor(8, 15, 4, v_.routac))
            return false;

        if (!(opamp_.diodeModel = PrivateModel(kModelDiode))) return false;
        if (!Diode(3, 5) || !Diode(4, 16) || !Diode(17, 4) || !Diode(18, 19) || !Diode(20, 18)) return false;
        return InputPair();
    }

private:
    std::int32_t N(int node) const { return node_[node]; }

    IndependentSourceDevice* Source(std::int32_t kind, int plus, int minus, double value)
    {
        IndependentSourceDevice* s = AppendVoltageSourceDevice(kind, value, N(plus), N(minus));
        if (s) opamp_.sources.push_back(s);
        return s;
    }

    bool Controlled(int plus, int minus, int type, std::initializer_list<ControlSpec> controls,
                    std::initializer_list<double> coefficients)
    {
        PolySourceDevice* e = NewControlledSourceRecord(N(plus), N(minus), type, controls, coefficients);
        if (e) opamp_.controlledSources.push_back(e);
        return e != nullptr;
    }

    bool Capacitor(int slot, int a, int b, double value)
    {
        CapacitorDevice* c = AppendCapacitorDevice(value, N(a), N(b));
        opamp_.capacitors[static_cast<std::size_t>(slot)] = c;
        return c != nullptr;
    }

    bool Resistor(int slot, int a, int b, double value)
    {
        ResistorDevice* r = AppendResistorDevice(value, N(a), N(b), 0);
        opamp_.resistors[static_cast<std::size_t>(slot)] = r;
        return r != nullptr;
    }

    bool Diode(int anode, int cathode)
    {
        std::string none;
        DiodeDevice* d = BuildDiodeDevice(N(anode), N(cathode), none, kModelDiode, opamp_.diodeModel);
        if (d) opamp_.diodes.push_back(d);
        return d != nullptr;
    }

    bool InputPair()
    {
        std::string none;
        if (type_ == 3) {
            for (int i = 0; i < 2; ++i)
                if (!(opamp_.inputModels[static_cast<std::size_t>(i)] = PrivateModel(kModelPjf))) return false;
            SetParam(opamp_.inputModels[0], "BETA", v_.beta1);
            SetParam(opamp_.inputModels[1], "BETA", v_.beta2);
            opamp_.inputPair[0] = BuildJfetDevice(N(2), N(6), N(8), kModelPjf, none, kComponentPjfet, opamp_.inputModels[0]);
            opamp_.inputPair[1] = BuildJfetDevice(N(1), N(7), N(9), kModelPjf, none, kComponentPjfet, opamp_.inputModels[1]);
        } else {
            const int modelType = type_ == 1 ? kModelNpn : kModelPnp;
            const int componentType = type_ == 1 ? kComponentNpn : kComponentPnp;
            for (int i = 0; i < 2; ++i) {
                EvaluatedModel* model = opamp_.inputModels[static_cast<std::size_t>(i)];
                if (!model) model = PrivateModel(modelType);
                if (!model) return false;
                // Both junction potentials of the input pair sit at 0.7 V.
                SetParam(model, "VJE", 0.7);
                SetParam(model, "VJC", 0.7);
                opamp_.inputModels[static_cast<std::size_t>(i)] = model;
            }
            SetParam(opamp_.inputModels[0], "BF", v_.beta1);
            SetParam(opamp_.inputModels[1], "BF", v_.beta2);
            SetParam(opamp_.inputModels[1], "IS", v_.isq2);
            opamp_.inputPair[0] = BuildBjtDevice(N(2), N(8), N(6), 0, none, modelType, componentType, opamp_.inputModels[0]);
            opamp_.inputPair[1] = BuildBjtDevice(N(1), N(9), N(7), 0, none, modelType, componentType, opamp_.inputModels[1]);
        }
        return opamp_.inputPair[0] && opamp_.inputPair[1];
    }

    OpampDevice& opamp_;
    const OpampMacroValues& v_;
    int type_;
    std::array<std::int32_t, 21> node_{};  // index 0 is ground
};

}  // namespace

int BuildOpampMacromodel(const std::array<std::int32_t, 5>& pins, SchematicItem* component, OpampDevice& opamp)
{
    Analysis().variables.vt = kDeviceThermalVoltage;
    const int type = static_cast<int>(std::lround(ModelParam(opamp.model, "TYPE", 1.0)));
    // The QINN model's IS enters the derivation, so the input models come first.
    if (type != 3) {
        if (!(opamp.inputModels[0] = PrivateModel(type == 2 ? kModelPnp : kModelNpn))) return kMsgAlreadyReported;
    }
    OpampMacroValues values;
    const int rc = DeriveOpampModel(opamp, values, 27.0);
    if (rc != 0) {
        const std::string name = GetPartNameText(component, true);
        if (rc == 15050)
            ReportComponentMessage(component, rc, name, values.inputPower);
        else
            ReportComponentMessage(component, rc, name);
        return rc;
    }
    Macromodel macro(pins, opamp, values, type);
    return macro.Build() ? 0 : kMsgAlreadyReported;
}

bool OpampPhaseMarginValid(double pm) { return pm > 0.0 && pm <= 90.0; }

int ExpandOpampPart(const std::array<std::int32_t, 5>& pins, SchematicItem* component)
{
    auto* opamp = AppendDevice<OpampDevice>(kOpampDeviceList);
    if (!opamp) return kMsgInsufficientMemory;
    opamp->component = component;
    opamp->pins = pins;
    if (!(opamp->model = PartModel(component))) return kMsgInsufficientMemory;
    const double a = ModelParam(opamp->model, "A");
    const double gbw = ModelParam(opamp->model, "GBW");
    const double pm = ModelParam(opamp->model, "PM");
    const double rout = ModelParam(opamp->model, "ROUTAC") + ModelParam(opamp->model, "ROUTDC");
    opamp->level = static_cast<std::int32_t>(std::lround(ModelParam(opamp->model, "LEVEL", 1.0)));
    const std::int32_t output = pins[kOpampPinOutput];

    if (opamp->level == 1) {
        if (!(opamp->resistors[0] = AppendResistorDevice(rout, output, 0, 0))) return kMsgInsufficientMemory;
        opamp->transconductance = a / rout;
    } else if (opamp->level == 2) {
        if (!OpampPhaseMarginValid(pm)) {
            const ModelStatement* statement = FindModelStatement(opamp->model->statementIndex);
            ReportComponentMessage(component, kMsgOpampNegativeC2,
                                   statement ? statement->name : GetAttributeText(component, kAttrModel));
            return kMsgAlreadyReported;
        }
        const double f1 = gbw / a;
        const double f2 = gbw / std::tan(M_PI - std::atan(a) - pm / kDegreesPerRadian);
        opamp->internal[0] = NewAnalogNode();
        opamp->internal[1] = NewAnalogNode();
        const std::int32_t n1 = opamp->internal[0];
        const std::int32_t n2 = opamp->internal[1];
        if (!(opamp->capacitors[0] = AppendCapacitorDevice(1.0 / (kTwoPi * f1 * rout), n1, 0)) ||
            !(opamp->capacitors[1] = AppendCapacitorDevice(1.0 / (kTwoPi * f2 * rout), n2, 0)) ||
            !(opamp->resistors[0] = AppendResistorDevice(rout, n1, 0, 0)) ||
            !(opamp->resistors[1] = AppendResistorDevice(rout, n2, 0, 0)) ||
            !(opamp->resistors[2] = AppendResistorDevice(rout, output, 0, 0)))
            return kMsgInsufficientMemory;
        opamp->transconductance = std::cbrt(a) / rout;
    } else if (opamp->level == 3) {
        if (int rc = BuildOpampMacromodel(pins, component, *opamp)) return rc;
    }
    if (RegisterPartInstance(opamp, kComponentOpamp, component)) return kMsgAlreadyReported;
    return 0;
}

}  // namespace kq5
