// SPICE export of digital primitives as U devices in the PSpice form: the primitive line with its
// power nodes, a continuation with the signal nodes and one with the timing and I/O models.
#include <algorithm>
#include <cctype>

#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/format.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/schematic_item.h"
#include "document/component_types.h"
#include "netlist/defines.h"
#include "netlist/spice_export_support.h"
#include "document/component_definition.h"

namespace kq5 {

namespace {

std::string Attribute(const SchematicItem* component, int id) { return ExpandAttributeDefines(component, id); }

void AppendAttributeSetting(std::string& line, const SchematicItem* component, int id, std::string_view prefix,
                            std::string_view fallback, std::string_view end)
{
    std::string text = Attribute(component, id);
    if (id == kAttrCommand)
        for (std::size_t p = text.find('+'); p != std::string::npos; p = text.find('+', p + 1))
            if (p + 1 < text.size() && std::isalpha(static_cast<unsigned char>(text[p + 1]))) text.insert(p + 1, 1, ' ');
    if (text.empty()) text = fallback;
    if (text.empty()) return;
    line += std::string(prefix) + text + std::string(end);
}

void AppendPowerAndNodes(std::string& line, const SchematicItem* component)
{
    const std::string power = Attribute(component, kAttrPowerNode);
    const std::string ground = Attribute(component, kAttrGroundNode);
    line += (power.empty() ? std::string("$G_DPWR") : power) + " " + (ground.empty() ? std::string("$G_DGND") : ground) + "\n+";
    for (int pin = 0; pin < component->PinCount(); ++pin) {
        line += ' ';
        line += GetSpiceNodeName(component->pinNodes[static_cast<std::size_t>(pin)], ComponentScope(component), component, pin);
    }
    line += "\n";
}

void AppendModels(std::string& line, const SchematicItem* component, bool continuation)
{
    if (continuation) line += "+ ";
    const int type = ItemComponentType(component);
    const ComponentTypeRow* row = FindComponentTypeRow(type);
    bool listsTiming = false;
    for (std::uint32_t id : row->attributes)
        if (id == kAttrTimingModel) listsTiming = true;
    if (row->modelType >= 0 && listsTiming) {
        const std::string timing = CopyUpperCase(GetAttributeText(component, kAttrTimingModel));
        line += (timing.empty() ? std::string("Model") : ModelNameText(timing)) + " ";
    }
    const std::string io = CopyUpperCase(GetAttributeText(component, kAttrIoModel));
    line += io.empty() ? std::string("IO_STD") : ModelNameText(io);
}

void AppendIoLevel(std::string& line, const SchematicItem* component)
{
    AppendAttributeSetting(line, component, kAttrIoLevel, " IO_LEVEL=", "", "");
}

void AppendIoLevelAndDelay(std::string& line, const SchematicItem* component)
{
    AppendIoLevel(line, component);
    const std::string delay = Attribute(component, kAttrMntymxdly);
    if (!delay.empty()) line += " MNTYMXDLY=" + delay;
    line += "\n";
}

// The expression of a LOGICEXP, PINDLY or CONSTRAINT with every pin's name replaced by the name
// of the node on that pin (pin names are this part's own; nothing is left defined afterwards).
void AppendPinExpressionLine(std::string& line, const SchematicItem* component, int id)
{
    const std::string text = Attribute(component, id);
    std::vector<std::pair<std::string, std::string>> names;
    if (component->definition)
        for (int pin = 0; pin < component->PinCount() && pin < static_cast<int>(component->definition->pins.size()); ++pin)
            names.emplace_back(CopyUpperCase(component->definition->pins[static_cast<std::size_t>(pin)].name),
                               CopyUpperCase(GetSpiceNodeName(component->pinNodes[static_cast<std::size_t>(pin)],
                                                              ComponentScope(component), component, pin)));
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$')) {
            out += c;
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_' || text[end] == '$'))
            ++end;
        std::string token = text.substr(i, end - i);
        const std::string upper = CopyUpperCase(token);
        for (const auto& [pin, node] : names)
            if (!pin.empty() && pin == upper) {
                token = node;
                break;
            }
        out += token;
        i = end;
    }
    line += "+ " + out + "\n";
}

int CountPins(const SchematicItem* component, char kind)
{
    int count = 0;
    if (component->definition)
        for (const DefinitionPin& pin : component->definition->pins)
            if (std::tolower(static_cast<unsigned char>(pin.typeLetter)) == kind) ++count;
    return count;
}

int InputCount(const SchematicItem* component)
{
    const int inputs = component->definition ? component->definition->inputPinCount : 0;
    return inputs > 0 ? inputs : std::max(component->PinCount() - 1, 1);
}

// Bits of a stimulus FORMAT text: each radix digit 1, 3 or 4 gives that many bits.
int FormatWidth(std::string_view format)
{
    int width = 0;
    for (char c : format)
        if (c == '1' || c == '3' || c == '4') width += c - '0';
    return width;
}

bool OneOf(int type, std::initializer_list<int> types) { return std::find(types.begin(), types.end(), type) != types.end(); }

}  // namespace

int ExportDigitalPrimitive(SpiceOutputLine& out, SchematicItem* component, std::string_view partName)
{
    std::string& line = out.text;
    if (Is2G()) {
        AppendUnsupportedComment(line, component, partName);
        return 0;
    }
    const int type = ItemComponentType(component);
    const std::string typeName = ComponentTypeName(component);
    const char* t = typeName.c_str();
    auto name = [&] { line += std::string(partName) + " "; };
    auto standard = [&] {
        AppendPowerAndNodes(line, component);
        AppendModels(line, component, true);
        AppendIoLevelAndDelay(line, component);
    };
    if (OneOf(type, {kComponentBuf, kComponentInv, kComponentXor, kComponentNxor, kComponentDlyline}) ||
        (type >= kComponentBuf3 && type <= kComponentNxor3 && OneOf(type - kComponentBuf3, {0, 1, 6, 7}))) {
        name();
        line += typeName + " ";
        standard();
    } else if (OneOf(type, {kComponentAnd, kComponentNand, kComponentOr, kComponentNor}) ||
               (type >= kComponentBuf3 && type <= kComponentNxor3)) {
        name();
        line += StrPrintf("%s(%d) ", t, InputCount(component));
        standard();
    } else if ((type >= kComponentBufA && type <= kComponentNxorA && OneOf(type - kComponentBufA, {0, 1, 6, 7})) ||
               (type >= kComponentBuf3A && type <= kComponentNxor3A && OneOf(type - kComponentBuf3A, {0, 1, 6, 7})) ||
               OneOf(type, {kComponentJkff, kComponentDff, kComponentSrff, kComponentDltch})) {
        name();
        line += StrPrintf("%s(1) ", t);
        standard();
    } else if ((type >= kComponentBufA && type <= kComponentNxorA) || (type >= kComponentAo && type <= kComponentOai) ||
               (type >= kComponentBuf3A && type <= kComponentNxor3A)) {
        name();
        line += StrPrintf("%s(%d,1) ", t, InputCount(component));
        standard();
    } else if (type == kComponentPullup || type == kComponentPulldn) {
        name();
        line += StrPrintf("%s(%d) ", t, component->PinCount());
        AppendPowerAndNodes(line, component);
        AppendModels(line, component, true);
        AppendIoLevel(line, component);
        line += "\n";
    } else if (type == kComponentAdc || type == kComponentDac) {
        name();
        line += StrPrintf("%s(%d) ", t, std::max(component->PinCount() - 3, 1));
        standard();
    } else if (type >= kComponentPland && type <= kComponentPlnxorc) {
        const int inputs = InputCount(component);
        name();
        line += StrPrintf("%s(%d,%d) ", t, inputs, component->PinCount() - inputs);
        AppendPowerAndNodes(line, component);
        AppendModels(line, component, true);
        line += "\n";
        AppendAttributeSetting(line, component, kAttrFile, "+ FILE=", "", "\n");
        AppendAttributeSetting(line, component, kAttrData, "+ DATA=", "", "\n");
        line += "+";
        AppendIoLevelAndDelay(line, component);
    } else if (type == kComponentStim || type == kComponentDigitalState) {
        const std::string format = type == kComponentDigitalState ? std::string("1") : Attribute(component, kAttrFormat);
        name();
        line += StrPrintf("STIM(%d,%s) ", std::max(FormatWidth(format), 1), format.c_str());
        AppendPowerAndNodes(line, component);
        AppendModels(line, component, true);
        AppendIoLevel(line, component);
        const std::string step = Attribute(component, kAttrTimestep);
        if (!step.empty() && ParseNumber(step) != 0.0) line += " TIMESTEP=" + step;
        line += "\n";
        if (type == kComponentStim) {
            AppendAttributeSetting(line, component, kAttrCommand, "+ ", "", " ");
        } else {
            AppendAttributeSetting(line, component, kAttrValue, "+ 0 ", "", " ");
        }
        line += "\n";
    } else if (type == kComponentFstim) {
        name();
        line += StrPrintf("%s(%d) ", t, component->PinCount());
        AppendPowerAndNodes(line, component);
        AppendModels(line, component, true);
        AppendAttributeSetting(line, component, kAttrFile, " FILE=", "FILE", " ");
        AppendIoLevel(line, component);
        AppendAttributeSetting(line, component, kAttrSigNames, " SIGNAMES=", "", " ");
        line += "\n";
    } else if (type == kComponentDigitalInput || type == kComponentDigitalOutput) {
        const int analogPins = type == kComponentDigitalInput ? 3 : 2;
        name();
        for (int pin = 0; pin < analogPins && pin < component->PinCount(); ++pin)
            line += GetSpiceNodeName(component->pinNodes[static_cast<std::size_t>(pin)], ComponentScope(component), component,
                                     pin) +
                    " ";
        line += ModelNameText(CopyUpperCase(GetAttributeText(component, kAttrModel)));
        if (component->PinCount() > analogPins)
            line += " DGTLNET=" +
                    GetSpiceNodeName(component->pinNodes[static_cast<std::size_t>(analogPins)], ComponentScope(component),
                                     component, analogPins) +
                    " ";
        AppendModels(line, component, false);
        if (type == kComponentDigitalInput) AppendAttributeSetting(line, component, kAttrIs, " IS=", "", " ");
        line += "\n";
    } else if (type == kComponentPinDly) {
        name();
        line += StrPrintf("%s(%d,%d,%d) ", t, CountPins(component, 'i'), CountPins(component, 'e'), CountPins(component, 'r'));
        standard();
        AppendPinExpressionLine(line, component, kAttrPinDelay);
    } else if (type == kComponentLogicExp) {
        name();
        line += StrPrintf("%s(%d,%d) ", t, CountPins(component, 'i'), CountPins(component, 'o'));
        standard();
        AppendPinExpressionLine(line, component, kAttrLogic);
    } else if (type == kComponentConstraint) {
        name();
        line += StrPrintf("%s(%d) ", t, std::max(CountPins(component, 'i'), 1));
        standard();
        AppendPinExpressionLine(line, component, kAttrConstraint);
    } else {
        // Transmission gates, digital switches and memories have no primitive form here; the
        // netlist says so instead of carrying an empty line.
        AppendUnsupportedComment(line, component, partName);
    }
    return 0;
}

}  // namespace kq5
