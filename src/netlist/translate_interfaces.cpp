// Interfaces between a digital part and the analog node one of its pins sits on: a generated
// subcircuit call of the interface subcircuit that the part's I/O model names for its IO_LEVEL,
// and once per digital power supply name the supply's own subcircuit call.
#include <algorithm>
#include <cmath>
#include <new>
#include <string>

#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/format.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/schematic_item.h"
#include "netlist/build_errors.h"
#include "netlist/circuit_build.h"
#include "document/component_types.h"
#include "netlist/defines.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "netlist/spice_elements.h"
#include "netlist/spice_reader_state.h"
#include "netlist/subcircuit_nodes.h"
#include "netlist/translate_common.h"
#include "netlist/translate_components.h"
#include "document/component_definition.h"

namespace kq5 {

namespace {

constexpr int kMsgMissingPowerNode = 10915;
constexpr int kMsgMissingGroundNode = 10920;
constexpr int kMsgIoLevelRange = 10865;

// UIO parameters by position.
enum UioParam { kUioInld = 0, kUioOutld = 1, kUioDrvh = 2, kUioDrvl = 3, kUioDigPower = 20 };

// A node attribute of the part resolved in the part's scope; 0 or 15055.
int ResolvePartNode(SchematicItem* part, int attribute, int missingId, std::int32_t& node)
{
    const std::string name = ExpandAttributeDefines(part, attribute);
    if (CircuitBuildFailed()) return kMsgAlreadyReported;
    if (name.empty()) return ReportComponentMessage(part, missingId);
    const int saved = CurrentScope();
    SetCurrentScope(part->scope);
    const int rc = ResolveNodeName(name, node);
    SetCurrentScope(saved);
    return rc;
}

// The part's IO_LEVEL: its attribute, or the DIGIOLVL option when it gives 0 or nothing.
int PartIoLevel(SchematicItem* part, int& level)
{
    const std::string text = ExpandAttributeDefines(part, kAttrIoLevel);
    if (CircuitBuildFailed()) return kMsgAlreadyReported;
    const double value = text.empty() ? 0.0 : EvalNumber(text);
    level = std::isfinite(value) ? DoubleToIntClamped(std::trunc(value)) : -1;
    if (level == 0) level = std::max(GlobalOptions().values.digiolvl, 1);
    // The level picks one of the model's four interface subcircuits; any other value would read
    // past them.
    if (level < 1 || level > 4) return ReportComponentMessage(part, kMsgIoLevelRange, text.empty() ? IntToDecimal(level) : text);
    return 0;
}

// A generated subcircuit call with its pins named and bound.
SchematicItem* NewInterfaceCall(SchematicItem* part, std::initializer_list<std::pair<const char*, std::int32_t>> pins)
{
    SchematicItem* item = NewSchematicItem(CurrentRecord());
    if (!item) return nullptr;
    item->itemKind = kItemComponent;
    item->page = -1;
    item->scope = part->scope;
    ComponentDefinition* definition = NewGeneratedDefinition(kComponentSubckt, static_cast<int>(pins.size()));
    if (!definition || definition->pins.size() < pins.size()) return nullptr;
    item->definition = definition;
    if (SetComponentPinNodeCount(*item, static_cast<int>(pins.size())) != 0) return nullptr;
    std::size_t i = 0;
    for (const auto& [name, node] : pins) {
        definition->pins[i].name = name;
        item->pinNodes[i] = node;
        ++i;
    }
    return item;
}

bool SetAttributes(SchematicItem* item, std::initializer_list<std::pair<int, std::string>> attributes)
{
    for (const auto& [id, text] : attributes)
        if (!SetAttribute(CurrentRecord(), item, id, text)) return false;
    return true;
}

const std::string& TextParam(const EvaluatedModel& model, int index)
{
    static const std::string kNone;
    if (!model.textParams || index < 0 || index >= static_cast<int>(model.textParams->size())) return kNone;
    return (*model.textParams)[static_cast<std::size_t>(index)];
}

// A node the circuit already holds at its voltage: ground, or a node a voltage source of the
// circuit sits on. The digital supply must not drive it: its source there would short the
// circuit's own (a gate grounded to 0, or powered from the circuit's own rail).
bool NodeHeldBySource(std::int32_t node)
{
    const std::int32_t group = NodeGroupOf(node);
    if (node == 0 || group == NodeGroupOf(0)) return true;
    CircuitDocument* document = CurrentDocument();
    if (!document) return false;
    for (SchematicItem& item : ListRecords<SchematicItem>(document->itemList)) {
        if (!item.IsComponent()) continue;
        switch (ItemComponentType(&item)) {
        case kComponentBattery:
        case kComponentPulseSource:
        case kComponentSineSource:
        case kComponentVSpice:
        case kComponentNFV:
        case kComponentVofV:
        case kComponentVofI:
            break;
        default:
            continue;
        }
        for (std::size_t pin = 0; pin < 2 && pin < item.pinNodes.size(); ++pin)
            if (item.pinNodes[pin] >= 0 && NodeGroupOf(item.pinNodes[pin]) == group) return true;
    }
    return false;
}

// The node the supply feeds for one of its pins: the part's own, or, when the circuit holds
// that one, a node of the supply's own that nothing else uses. 0 or 15055.
int SupplyNode(SchematicItem* part, const std::string& supply, const char* pin, std::int32_t& node)
{
    if (!NodeHeldBySource(node)) return 0;
    const int saved = CurrentScope();
    SetCurrentScope(part->scope);
    const int rc = ResolveNodeName("$" + supply + "$" + pin, node);
    SetCurrentScope(saved);
    return rc;
}

}  // namespace

int InsertDigitalInterface(SchematicItem* part, std::int32_t digitalNode, int pin, int direction)
{
    const int type = ItemComponentType(part);
    if (type == kComponentMacro || type == kComponentSubckt) return 0;
    std::int32_t ground = 0;
    std::int32_t power = 0;
    if (int rc = ResolvePartNode(part, kAttrGroundNode, kMsgMissingGroundNode, ground)) return rc;
    if (int rc = ResolvePartNode(part, kAttrPowerNode, kMsgMissingPowerNode, power)) return rc;
    MarkPowerNode(NodeRowName(power));

    if (GetAttributeText(part, kAttrIoModel).empty()) return 1;
    const int index = GetPartModel(part, kAttrIoModel);
    const EvaluatedModel* model = index < 0 ? nullptr : FindModel(kModelUio, index);
    if (!model) return 1;
    int level = 0;
    if (int rc = PartIoLevel(part, level)) return rc;

    const bool dtoa = direction == kInterfaceDtoA;
    const std::int32_t analog = PinNode(part, pin);
    try {
        const std::string& subcircuit = TextParam(*model, 2 * level + 2 + (dtoa ? 1 : 0));
        SchematicItem* call = dtoa ? NewInterfaceCall(part, {{"D", digitalNode}, {"A", analog}, {"PWR", power}, {"GND", ground}})
                                   : NewInterfaceCall(part, {{"A", analog}, {"D", digitalNode}, {"PWR", power}, {"GND", ground}});
        if (!call) return kMsgInsufficientMemory;
        const std::string name = GetPartNameText(part, false);
        const std::string params = StrPrintf("CAPACITANCE=%g DRVH=%g DRVL=%g", model->Param(dtoa ? kUioOutld : kUioInld),
                                             model->Param(kUioDrvh), model->Param(kUioDrvl));
        if (!SetAttributes(call, {{kAttrPart, StrPrintf("X$%s$%s%d", name.c_str(), dtoa ? "DTOA" : "ATOD", pin)},
                                  {kAttrName, subcircuit},
                                  {kAttrFile, GetRecordTitle(CurrentRecord())},
                                  {kAttrParams, params}}))
            return kMsgInsufficientMemory;

        const std::string& supply = TextParam(*model, kUioDigPower);
        std::vector<std::string>& supplies = CircuitBuild().powerSupplies;
        const bool known = std::any_of(supplies.begin(), supplies.end(),
                                       [&](const std::string& s) { return EqualsNoCase(s, supply); });
        std::int32_t feedPower = power, feedGround = ground;
        if (!known && !supply.empty() && !(NodeHeldBySource(power) && NodeHeldBySource(ground))) {
            supplies.push_back(supply);
            if (int rc = SupplyNode(part, supply, "PWR", feedPower)) return rc;
            if (int rc = SupplyNode(part, supply, "GND", feedGround)) return rc;
            SchematicItem* feed = NewInterfaceCall(part, {{"PWR", feedPower}, {"GND", feedGround}});
            if (!feed || !SetAttributes(feed, {{kAttrPart, "X$" + supply}, {kAttrName, supply},
                                               {kAttrFile, GetRecordTitle(CurrentRecord())}}))
                return kMsgInsufficientMemory;
        }
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    return 0;
}

}  // namespace kq5
