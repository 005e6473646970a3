#include "netlist/translate_common.h"

#include <new>

#include "core/analysis_state.h"
#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/expr_symbols.h"
#include "core/format.h"
#include "netlist/capacitor_device.h"
#include "netlist/resistor_device.h"
#include "netlist/source_device.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/node_table.h"
#include "document/schematic_item.h"
#include "netlist/build_errors.h"
#include "netlist/circuit_build.h"
#include "netlist/defines.h"
#include "netlist/model_statements.h"
#include "core/part_instance.h"
#include "netlist/spice_reader_state.h"
#include "netlist/token_patterns.h"

namespace kq5 {

namespace {

struct CurrentTranslation {
    SchematicItem* component = nullptr;
    std::string mainText;
};

CurrentTranslation& Current()
{
    static CurrentTranslation current;
    return current;
}

}  // namespace

SchematicItem* CurrentComponent() { return Current().component; }

const std::string& CurrentMainText() { return Current().mainText; }

void SetCurrentComponent(SchematicItem* component, std::string mainText)
{
    Current().component = component;
    Current().mainText = std::move(mainText);
}

void ClearCurrentComponent()
{
    Current().component = nullptr;
    Current().mainText.clear();
}

std::int32_t PinNode(const SchematicItem* component, int pin)
{
    if (!component || pin < 0 || pin >= component->PinCount()) return 0;
    const std::int32_t node = component->pinNodes[static_cast<std::size_t>(pin)];
    // A pin the expansion could not number must not read as some other node.
    return node < 0 ? 0 : node;
}

std::int32_t AnalogNodeCount()
{
    const CircuitDocument* document = CurrentDocument();
    return document ? document->nodeCount : 0;
}

std::int32_t DigitalNodeCount()
{
    const CircuitDocument* document = CurrentDocument();
    return document ? document->nodeCount2 : 0;
}

void SetAnalogNodeCount(std::int32_t count)
{
    if (CircuitDocument* document = CurrentDocument()) document->nodeCount = count;
}

void SetDigitalNodeCount(std::int32_t count)
{
    if (CircuitDocument* document = CurrentDocument()) document->nodeCount2 = count;
}

std::int32_t NewAnalogNode()
{
    const std::int32_t node = AnalogNodeCount() + 1;
    SetAnalogNodeCount(node);
    return node;
}

std::int32_t MakeInternalNode(const SchematicItem* component, double resistance, std::string_view suffix,
                              std::int32_t outer)
{
    if (resistance == 0.0) return outer;
    const std::int32_t node = NewAnalogNode();
    try {
        // The node is named after its part, inside the part's scope: the row keeps the part's
        // own name and the scope, whose path spells the rest.
        std::string name = GetPartNameText(component, false);
        const int scope = !name.empty() && component->scope > 0 ? component->scope : 0;
        name += suffix;
        NodeTable& table = CircuitNodeTable();
        if (LookupNodeNumber(table, name, scope, kNodeAnalog) >= 0) {
            std::string numbered;
            do {
                numbered = StrPrintf("%s_%d", name.c_str(), ++CircuitBuild().internalNodeCounter);
            } while (LookupNodeNumber(table, numbered, scope, kNodeAnalog) >= 0);
            name = std::move(numbered);
        }
        if (table.rows.empty()) table.rows.push_back(NodeNameRow{"0", 0, 0, kNodeAnalog});
        NodeNameRow row;
        row.name = std::move(name);
        row.number = node;
        row.scope = component ? component->scope : 0;
        row.domain = kNodeAnalog;
        row.pathScope = scope;
        table.rows.push_back(std::move(row));
    } catch (const std::bad_alloc&) {
        FlagCircuitBuildOutOfMemory();
    }
    return node;
}

std::int32_t MakeUnnamedInternalNode(double resistance, std::int32_t outer)
{
    return resistance == 0.0 ? outer : NewAnalogNode();
}

EvaluatedModel* PartModel(SchematicItem* component, int attribute)
{
    const int index = GetPartModel(component, attribute);
    EvaluatedModel* model = index < 0 ? nullptr : FindModel(kModelSelectStatement, index);
    if (!model) FlagCircuitBuildError();
    return model;
}

namespace {

int ParamIndex(const EvaluatedModel* model, std::string_view name)
{
    if (!model) return -1;
    const int index = FindModelParamIndex(model->row, name);
    if (index < 0 || static_cast<std::size_t>(index) >= model->params.size()) return -1;
    return index;
}

}  // namespace

double ModelParam(const EvaluatedModel* model, std::string_view name, double fallback)
{
    const int index = ParamIndex(model, name);
    return index < 0 ? fallback : static_cast<double>(model->Param(index));
}

float* ModelParamSlot(EvaluatedModel* model, std::string_view name)
{
    const int index = ParamIndex(model, name);
    return index < 0 ? nullptr : &model->params[static_cast<std::size_t>(index)];
}

bool ModelParamGiven(const EvaluatedModel* model, std::string_view name)
{
    const int index = ParamIndex(model, name);
    return index >= 0 && !IsParamNotGiven(model->Param(index));
}

namespace {

// Where one term of a value ends: a number with exponent and suffix letters, a bracket group,
// or a function name with its argument group.
std::size_t ScanTerm(std::string_view text, std::size_t i)
{
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (i >= text.size()) return i;
    auto group = [&](std::size_t at) {
        const char open = text[at];
        const char close = open == '(' ? ')' : '}';
        int depth = 0;
        for (std::size_t j = at; j < text.size(); ++j) {
            if (text[j] == open) ++depth;
            if (text[j] == close && --depth == 0) return j + 1;
        }
        return text.size();
    };
    const char c = text[i];
    if (c == '(' || c == '{') return group(i);
    if (HasCharClass(c, kCharDigit) || c == '.') {
        const std::size_t digits = i;
        while (i < text.size() && (HasCharClass(text[i], kCharDigit) || text[i] == '.')) ++i;
        // A hexadecimal numeral stays one term, for the expression compiler to refuse whole.
        if (i == digits + 1 && text[digits] == '0' && i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
            while (i < text.size() && HasCharClass(text[i], kCharIdent)) ++i;
            return i;
        }
        if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
            std::size_t j = i + 1;
            if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
            if (j < text.size() && HasCharClass(text[j], kCharDigit)) {
                i = j;
                while (i < text.size() && HasCharClass(text[i], kCharDigit)) ++i;
            }
        }
        while (i < text.size() && HasCharClass(text[i], kCharLetter)) ++i;
        return i;
    }
    if (HasCharClass(c, kCharIdentStart)) {
        std::size_t j = i;
        while (j < text.size() && HasCharClass(text[j], kCharIdent)) ++j;
        if (j < text.size() && text[j] == '(' && IsFunctionName(CopyUpperCase(text.substr(i, j - i))))
            return group(j);
        return i;  // a word is no value
    }
    return i;
}

}  // namespace

std::size_t ScanValueText(std::string_view text, std::string* value)
{
    std::size_t i = 0;
    while (i < text.size() && HasCharClass(text[i], kCharSpace)) ++i;
    const std::size_t start = i;
    std::size_t end = ScanTerm(text, i);
    if (end == start) {
        if (value) value->clear();
        return start;
    }
    // An operator after a term joins the next term to the value.
    while (end < text.size() && HasCharClass(text[end], kCharOperator)) {
        const std::size_t next = ScanTerm(text, end + 1);
        if (next == end + 1) break;
        end = next;
    }
    if (value) *value = std::string(text.substr(start, end - start));
    return end;
}

int AddValueExpression(std::string_view text, SchematicItem* component, DeviceExpression& expression)
{
    try {
        expression.text = std::string(text);
        expression.component = component;
    } catch (const std::bad_alloc&) {
        return FlagCircuitBuildOutOfMemory();
    }
    return 0;
}

int AddAcExpression(SchematicItem* component, DeviceExpression& expression)
{
    if (Analysis().analysisKind != kAnalysisAc) return 0;
    const std::string freq = ExpandAttributeDefines(component, kAttrFreq);
    if (CircuitBuildFailed()) return kMsgAlreadyReported;
    if (freq.empty()) return 0;
    return AddValueExpression(freq, component, expression);
}

double EvalPercentValue(std::string_view text, double reference)
{
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (!text.empty() && text.back() == '%') {
        const double value = EvalNumber(text.substr(0, text.size() - 1));
        return value == 0.0 ? 0.0 : value / 100.0 * reference;
    }
    return EvalNumber(text);
}

ResistorDevice* AppendResistorDevice(double value, std::int32_t nodeA, std::int32_t nodeB, int sourceFlag)
{
    auto* r = AppendDevice<ResistorDevice>(kResistorDeviceList, kKindResistor);
    if (!r) return nullptr;
    r->nodeA = nodeA;
    r->nodeB = nodeB;
    r->value = r->nominal = value;
    r->sourceFlag = sourceFlag;
    return r;
}

CapacitorDevice* AppendCapacitorDevice(double value, std::int32_t nodeA, std::int32_t nodeB)
{
    auto* c = AppendDevice<CapacitorDevice>(kCapacitorDeviceList, kKindCapacitor);
    if (!c) return nullptr;
    c->nodeA = nodeA;
    c->nodeB = nodeB;
    c->value = c->nominal = value;
    c->ordinal = DeviceList(kCapacitorDeviceList).count;
    return c;
}

IndependentSourceDevice* AppendVoltageSourceDevice(std::int32_t sourceType, double dcValue, std::int32_t plus,
                                                   std::int32_t minus)
{
    auto* v = AppendDevice<IndependentSourceDevice>(kIndependentSourceDeviceList, kKindIndependentSource);
    if (!v) return nullptr;
    v->sourceType = sourceType;
    v->nodePlus = plus;
    v->nodeMinus = minus;
    v->dcValue = v->dcWorking = dcValue;
    return v;
}

int RegisterPartInstance(ListNode* device, int typeCode, SchematicItem* component)
{
    // The label check qualifies the name with the scope itself.
    const std::string plain = GetPartNameText(component, false);
    if (plain.empty()) {
        ReportComponentMessage(component, 10841);
        return 1;
    }
    if (CheckLabelName(plain, component->scope, 0xA2, component, -1) != 0) {
        FlagCircuitBuildError();
        return 1;
    }
    auto* part = ListAppendAs<PartInstanceRecord>(DeviceList(kPartInstanceList), kKindPartInstance);
    if (!part) {
        FlagCircuitBuildOutOfMemory();
        return 1;
    }
    part->component = component;
    part->typeCode = static_cast<std::uint16_t>(typeCode);
    part->device = device;
    try {
        part->partName = plain;
        part->pathScope = component->scope > 0 ? component->scope : 0;
        InsertScopedPartName(part->pathScope, plain, part);
    } catch (const std::bad_alloc&) {
        FlagCircuitBuildOutOfMemory();
        return 1;
    }
    return 0;
}

void SetGroundFound() { CircuitBuild().groundFound = true; }

}  // namespace kq5
