// Magnetic coupling (the Transformer part and the K part with its post-pass), user-file
// sources, sample-and-hold elements and the digital display elements.
#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "netlist/numeric_helpers.h"
#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "netlist/inductor_device.h"
#include "netlist/resistor_device.h"
#include "netlist/standalone_element_devices.h"
#include "document/component_attributes.h"
#include "netlist/build_errors.h"
#include "netlist/circuit_build.h"
#include "document/component_types.h"
#include "netlist/defines.h"
#include "core/part_instance.h"
#include "netlist/translate_common.h"
#include "netlist/translate_components.h"

namespace kq5 {

namespace {

constexpr int kMsgInductorTwice = 10801;
constexpr int kMsgInductorNotFound = 10802;
constexpr int kMsgInductorRepeated = 10803;
constexpr int kMsgTooManyInductors = 10804;
constexpr int kMsgMissingK = 10806;
constexpr int kMsgOneInductor = 10808;
constexpr int kMsgCrossLinked = 10809;
constexpr int kMsgAlreadyCoupled = 10810;
constexpr int kMsgNoInductorNames = 10811;
constexpr int kMsgKRange = 10836;

int ReportValueError(SchematicItem* component, int error, const std::string& text)
{
    if (error != kMsgAlreadyReported) ReportComponentMessage(component, error, text, std::string());
    FlagCircuitBuildError();
    return kMsgAlreadyReported;
}

InductorDevice* AppendFixedInductor(SchematicItem* component, double value, std::int32_t a, std::int32_t b)
{
    auto* l = AppendDevice<InductorDevice>(kInductorDeviceList, kKindInductor);
    if (!l) return nullptr;
    l->nodeA = a;
    l->nodeB = b;
    l->value = l->nominal = value;
    l->component = component;
    return l;
}

// The inductor records of the parts of that name among the Inductor parts of the scope.
std::vector<InductorDevice*> FindInductorsByName(const std::string& name, int scope)
{
    std::vector<InductorDevice*> found;
    for (PartInstanceRecord& part : ListRecords<PartInstanceRecord>(DeviceList(kPartInstanceList))) {
        if (part.typeCode != kComponentInductor || !part.component || part.component->scope != scope) continue;
        if (!EqualsNoCase(GetPartNameText(part.component, false), name)) continue;
        if (part.device) found.push_back(static_cast<InductorDevice*>(part.device));
    }
    return found;
}

std::string PartName(const SchematicItem* component) { return GetPartNameText(component, true); }

class CouplingResolver {
public:
    int Run()
    {
        for (CoreRequest& k : ListRecords<CoreRequest>(DeviceList(kCoreRequestList))) requests_.push_back(&k);
        for (std::size_t index = 0; index < requests_.size(); ++index)
            if (int rc = Resolve(index)) return rc;
        return 0;
    }

private:
    int Resolve(std::size_t index)
    {
        CoreRequest& k = *requests_[index];
        SchematicItem* component = k.component;
        std::string names = ExpandAttributeDefines(component, kAttrInductors);
        if (CircuitBuildFailed()) return kMsgAlreadyReported;
        // The tokenizer keeps one scan at a time: split first, look up afterwards.
        std::vector<std::string> words;
        for (char* word = NextToken(names.data(), kTokenBlankComma); word; word = NextToken(nullptr, kTokenBlankComma))
            words.emplace_back(word);
        std::vector<std::string> inductorNames;
        for (const std::string& name : words) {
            const std::vector<InductorDevice*> found = FindInductorsByName(name, component->scope);
            if (found.empty()) return ReportComponentMessage(component, kMsgInductorNotFound, name);
            if (found.size() > 1) return ReportComponentMessage(component, kMsgInductorTwice, name);
            if (std::find(k.inductors.begin(), k.inductors.end(), found[0]) != k.inductors.end())
                return ReportComponentMessage(component, kMsgInductorRepeated, name);
            if (k.inductors.size() >= static_cast<std::size_t>(kMaxCoupledInductors))
                return ReportComponentMessage(component, kMsgTooManyInductors);
            k.inductors.push_back(found[0]);
            inductorNames.push_back(name);
        }
        k.count = static_cast<std::int32_t>(k.inductors.size());

        // An inductor that an earlier K already holds brings this K into that K's group.
        k.groupModel = k.model;
        for (InductorDevice* l : k.inductors) {
            if (!l->core || l->core == &k) continue;
            CoreRequest* group = l->core;
            if (group->groupModel != k.model)
                return ReportComponentMessage(component, kMsgCrossLinked, PartName(group->component), PartName(component));
            k.joins = static_cast<std::int32_t>(IndexOf(group));
        }

        if (k.inductors.empty()) return ReportComponentMessage(component, kMsgNoInductorNames);
        if (k.inductors.size() == 1 && !k.model) return ReportComponentMessage(component, kMsgOneInductor);
        CoreRequest* group = k.joins >= 0 ? requests_[static_cast<std::size_t>(k.joins)] : &k;
        if (k.model)
            for (InductorDevice* l : k.inductors) l->core = group;
        if (k.inductors.size() == 1) return AppendCoupling(k, k.inductors[0], nullptr) ? 0 : kMsgAlreadyReported;

        for (std::size_t i = 0; i < k.inductors.size(); ++i) {
            for (std::size_t j = i + 1; j < k.inductors.size(); ++j) {
                InductorDevice* a = k.inductors[i];
                InductorDevice* b = k.inductors[j];
                if (HeldByAnother(k, a, b))
                    return ReportComponentMessage(component, kMsgAlreadyCoupled, inductorNames[i], inductorNames[j]);
                if (!AppendResistorDevice(CircuitBuild().inverseGmin, a->nodeA, b->nodeA, 0)) return kMsgAlreadyReported;
                if (!AppendCoupling(k, a, b)) return kMsgAlreadyReported;
            }
        }
        return 0;
    }

    std::size_t IndexOf(const CoreRequest* k) const
    {
        return static_cast<std::size_t>(std::find(requests_.begin(), requests_.end(), k) - requests_.begin());
    }

    bool HeldByAnother(const CoreRequest& k, const InductorDevice* a, const InductorDevice* b) const
    {
        for (const CoreRequest* other : requests_) {
            if (other == &k) continue;
            const auto& held = other->inductors;
            if (std::find(held.begin(), held.end(), a) != held.end() && std::find(held.begin(), held.end(), b) != held.end())
                return true;
        }
        return false;
    }

    CouplingDevice* AppendCoupling(CoreRequest& k, InductorDevice* a, InductorDevice* b)
    {
        auto* c = AppendDevice<CouplingDevice>(kCouplingDeviceList);
        if (!c) return nullptr;
        c->first = a;
        c->second = b;
        c->expression = &k.coupling;
        c->component = k.component;
        return c;
    }

    std::vector<CoreRequest*> requests_;
};

}  // namespace

int TranslateTransformer(SchematicItem* component)
{
    const std::string& text = CurrentMainText();
    ValueList values{};
    if (int rc = ParseValueListStrict(text, 3, values)) return ReportValueError(component, rc, text);
    const double k = values[2];
    if (k < 0.0 || k > 1.0) return ReportComponentMessage(component, kMsgKRange);
    InductorDevice* primary = AppendFixedInductor(component, values[0], PinNode(component, 2), PinNode(component, 3));
    if (!primary) return kMsgAlreadyReported;
    InductorDevice* secondary = AppendFixedInductor(component, values[1], PinNode(component, 0), PinNode(component, 1));
    if (!secondary) return kMsgAlreadyReported;
    auto* coupling = AppendDevice<CouplingDevice>(kCouplingDeviceList);
    if (!coupling) return kMsgAlreadyReported;
    coupling->first = primary;
    coupling->second = secondary;
    coupling->value = k;
    coupling->flags = kCouplingTransformer;
    coupling->component = component;
    primary->coupling = secondary->coupling = coupling;
    // The secondary needs a DC path to the primary's side.
    if (!AppendResistorDevice(CircuitBuild().inverseGmin, PinNode(component, 2), PinNode(component, 0), 0))
        return kMsgAlreadyReported;
    if (RegisterPartInstance(coupling, kComponentTransformer, component)) return kMsgAlreadyReported;
    return 0;
}

int TranslateCoupling(SchematicItem* component)
{
    auto* k = AppendDevice<CoreRequest>(kCoreRequestList);
    if (!k) return kMsgAlreadyReported;
    k->component = component;
    const std::string coupling = ExpandAttributeDefines(component, kAttrCoupling);
    if (CircuitBuildFailed()) return kMsgAlreadyReported;
    if (coupling.empty()) return ReportComponentMessage(component, kMsgMissingK);
    if (int rc = AddValueExpression(coupling, component, k->coupling)) return rc;
    if (!GetAttributeText(component, kAttrModel).empty() && !(k->model = PartModel(component)))
        return kMsgAlreadyReported;
    const std::string size = ExpandAttributeDefines(component, kAttrSize);
    if (CircuitBuildFailed()) return kMsgAlreadyReported;
    if (!size.empty()) {
        int error = 0;
        k->size = EvalNumberOrExpression(size, error);
        if (error) return ReportValueError(component, error, size);
    }
    if (RegisterPartInstance(k, kComponentK, component)) return kMsgAlreadyReported;
    return 0;
}

int ResolveCouplings()
{
    try {
        return CouplingResolver().Run();
    } catch (const std::bad_alloc&) {
        return FlagCircuitBuildOutOfMemory();
    }
}

int TranslateUserSource(SchematicItem* component)
{
    auto* u = AppendDevice<UserSourceDevice>(kUserSourceDeviceList, kKindUserFileSource);
    if (!u) return kMsgAlreadyReported;
    u->nodePlus = PinNode(component, 0);
    u->nodeMinus = PinNode(component, 1);
    try {
        u->fileName = CurrentMainText();
        u->expression = GetAttributeText(component, kAttrExpression);
    } catch (const std::bad_alloc&) {
        return FlagCircuitBuildOutOfMemory();
    }
    if (RegisterPartInstance(u, kComponentUserSource, component)) return kMsgAlreadyReported;
    return 0;
}

int TranslateSampleHold(SchematicItem* component)
{
    auto* s = AppendDevice<SampleHoldDevice>(kSampleHoldDeviceList);
    if (!s) return kMsgAlreadyReported;
    s->input = PinNode(component, 0);
    s->output = PinNode(component, 1);
    s->component = component;
    if (int rc = AddValueExpression(CurrentMainText(), component, s->sampled)) return rc;
    const std::string period = ExpandAttributeDefines(component, kAttrPeriod);
    if (CircuitBuildFailed()) return kMsgAlreadyReported;
    int error = 0;
    s->period = EvalNumberOrExpression(period, error);
    if (error) return ReportValueError(component, error, period);
    if (RegisterPartInstance(s, kComponentSampleAndHold, component)) return kMsgAlreadyReported;
    return 0;
}

int TranslateDisplayElement(SchematicItem* component, int typeCode)
{
    if (typeCode == kComponentDigitalLed) {
        auto* led = AppendDevice<DigitalLedDevice>(kDigitalLedDeviceList);
        if (!led) return kMsgAlreadyReported;
        led->node = PinNode(component, 0);
        led->component = component;
        return 0;
    }
    auto* display = AppendDevice<SevenSegmentDevice>(kSevenSegmentDeviceList);
    if (!display) return kMsgAlreadyReported;
    for (int pin = 0; pin < 7; ++pin) display->segments[static_cast<std::size_t>(pin)] = PinNode(component, pin);
    display->component = component;
    return 0;
}

}  // namespace kq5
