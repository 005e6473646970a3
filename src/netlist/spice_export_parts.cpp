// SPICE export of part lines: the SPICE name of every part (unique in its scope), the node
// names, and one element line per component with the elements the dialect needs beside it.
#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>
#include <regex>
#include <sstream>

#include "netlist/numeric_helpers.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/component_attributes.h"
#include "document/connectivity.h"
#include "document/node_table.h"
#include "document/schematic_item.h"
#include "document/component_types.h"
#include "netlist/circuit_build.h"
#include "netlist/defines.h"
#include "netlist/model_statements.h"
#include "netlist/spice_export_support.h"
#include "netlist/spice_reader_state.h"
#include "document/component_definition.h"

namespace kq5 {

namespace {

constexpr std::uint16_t kExportAttributeFlag = 0x8000;
constexpr int kMsgTransformerValues = 11900;

CircuitDocument* Document()
{
    WindowRecord* record = ExportRun().record;
    return record ? record->document.get() : nullptr;
}

std::vector<SchematicItem*> ScopeComponents(int scope)
{
    std::vector<SchematicItem*> items;
    if (CircuitDocument* document = Document())
        for (SchematicItem& item : ListRecords<SchematicItem>(document->itemList))
            if (item.IsComponent() && item.scope == scope && !IsGeneratedInterface(&item)) items.push_back(&item);
    return items;
}

bool IsConnection(int type)
{
    const ComponentTypeRow* row = FindComponentTypeRow(type);
    return !row || row->pinNames == kPinNamesConnection;
}

char SpiceLetter(int type)
{
    if (IsSpice3() && (type == kComponentNFV || type == kComponentNFI)) return 'B';
    if (IsSpice3() && type == kComponentGaAsFet) return 'Z';
    const ComponentTypeRow* row = FindComponentTypeRow(type);
    return row && row->letter != ' ' ? row->letter : 'X';
}

std::unordered_set<std::string>& Taken(int scope) { return ExportRun().takenNames[scope]; }

// A node name other simulators and our reader take as it stands.
bool IsLegalNodeName(std::string_view name)
{
    if (name.empty()) return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || std::string_view("_$#-+/!@^|~%&*<>:").find(c) != std::string_view::npos))
            return false;
    return true;
}

std::string ModelText(const SchematicItem* component) { return GetAttributeText(component, kAttrModel); }

// The part's model statement, or null after the lookup reported it.
ModelStatement* StatementOf(SchematicItem* component)
{
    const int index = GetPartModel(component, kAttrModel);
    return FindModelStatement(index);
}

// The value texts of a line: split at blanks, a parenthesised or braced group kept whole.
std::vector<std::string> SplitValues(std::string_view text)
{
    std::vector<std::string> values;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n')) ++i;
        if (i >= text.size()) break;
        std::size_t end = i;
        int depth = 0;
        while (end < text.size()) {
            const char c = text[end];
            if (c == '(' || c == '{') ++depth;
            if (c == ')' || c == '}') --depth;
            if (depth <= 0 && (c == ' ' || c == '\t' || c == '\n')) {
                // A group that opens after blanks ("PULSE (0 5)") belongs to its name.
                std::size_t next = end;
                while (next < text.size() && (text[next] == ' ' || text[next] == '\t')) ++next;
                if (next < text.size() && (text[next] == '(' ) && depth == 0) {
                    end = next;
                    continue;
                }
                break;
            }
            ++end;
        }
        values.emplace_back(text.substr(i, end - i));
        i = end;
    }
    return values;
}

std::string MapPartReferences(std::string_view text, int scope)
{
    std::vector<std::string> tokens;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == ' ' || c == '\t') {
            ++i;
            continue;
        }
        if (c == '(' || c == ')' || c == '=' || c == ',') {
            tokens.emplace_back(1, c);
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && std::string_view(" \t()=,").find(text[end]) == std::string_view::npos) ++end;
        tokens.emplace_back(text.substr(i, end - i));
        i = end;
    }
    bool changed = false;
    std::string out;
    for (std::size_t k = 0; k < tokens.size(); ++k) {
        std::string token = tokens[k];
        if (token.size() > 1 || std::string_view("()=,").find(token[0]) == std::string_view::npos) {
            std::string mapped = MakeSpicePartName(token, nullptr, 0, scope);
            if (mapped != token) changed = true;
            token = std::move(mapped);
        }
        if (k > 0) {
            const std::string& previous = tokens[k - 1];
            const bool noBlank = previous == "(" || previous == "=" || previous == "," || token == ")" || token == "=" ||
                                 token == "(" || token == ",";
            if (!noBlank) out += ' ';
        }
        out += token;
    }
    return changed ? out : std::string(text);
}

std::string PartValueText(const SchematicItem* component, int scope)
{
    const ComponentTypeRow* row = FindComponentTypeRow(ItemComponentType(component));
    if (!row || row->mainAttribute == 0) return {};
    return MapPartReferences(ExpandAttributeDefines(component, static_cast<int>(row->mainAttribute)), scope);
}

std::string PartExpressionText(const SchematicItem* component, int scope)
{
    return ConvertExpressionToSpice(PartValueText(component, scope), scope);
}

void WritePartNameAndNodes(std::string& line, const SchematicItem* component, std::string_view name, int count = -1)
{
    const int type = ItemComponentType(component);
    const int scope = ComponentScope(component);
    line += name;
    const int pins = count < 0 ? component->PinCount() : std::min(count, component->PinCount());
    for (int pin = 0; pin < pins; ++pin) {
        const std::string node = GetSpiceNodeName(component->pinNodes[static_cast<std::size_t>(pin)], scope, component, pin);
        // PSpice takes a substrate node in brackets (a name could be a model's); Spice3 reads
        // brackets as part of a node name and would leave the substrate unconnected.
        if (pin == 3 && !Is2G() && !IsSpice3() && (type == kComponentNpn4 || type == kComponentPnp4))
            line += " [" + node + "]";
        else
            line += " " + node;
    }
}

void AppendPartModelName(std::string& line, const SchematicItem* component, bool newline)
{
    line += " " + ModelNameText(CopyUpperCase(ModelText(component)));
    if (newline) line += "\n";
}

// The first value of a text (a number, a group or a named call) and the rest after it.
std::string FirstValue(std::string_view text, std::string_view& rest)
{
    std::vector<std::string> values = SplitValues(text);
    if (values.empty()) {
        rest = {};
        return {};
    }
    const std::size_t at = text.find(values[0]);
    rest = text.substr(at + values[0].size());
    return values[0];
}

// A part's value as written: its first value, then " IC=..." and whatever follows.
struct PartValueFields {
    std::string first;
    std::string rest;
};

PartValueFields SplitPartValue(const SchematicItem* component, int scope, bool asItStands)
{
    PartValueFields fields;
    std::string value = PartValueText(component, scope);
    if (value.find_first_not_of(" \t") == std::string::npos) value = "0";
    std::string_view rest;
    const std::string first = FirstValue(value, rest);
    fields.first = asItStands ? first : BraceParamReferences(first, scope, true);
    std::string& line = fields.rest;
    std::size_t p = rest.find_first_not_of(" \t");
    if (p != std::string_view::npos && rest.size() >= p + 2 && ToUpperChar(rest[p]) == 'I' && ToUpperChar(rest[p + 1]) == 'C') {
        std::size_t q = rest.find_first_not_of(" \t", p + 2);
        if (q != std::string_view::npos && rest[q] == '=') {
            std::string_view after = rest.substr(q + 1);
            std::string_view more;
            const std::string ic = FirstValue(after, more);
            line += " IC=" + BraceParamReferences(ic, scope, true);
            rest = more;
        }
    }
    p = rest.find_first_not_of(" \t");
    if (p != std::string_view::npos) {
        std::string tail(rest.substr(p));
        while (!tail.empty() && (tail.back() == ' ' || tail.back() == '\t')) tail.pop_back();
        line += " " + tail;
    }
    return fields;
}

void AppendPartValue(std::string& line, const SchematicItem* component, int scope, bool asItStands = false)
{
    const PartValueFields fields = SplitPartValue(component, scope, asItStands);
    line += " " + fields.first + fields.rest + "\n";
}

}  // namespace

std::string NegatedValueText(const std::string& value)
{
    if (value.empty()) return value;
    if (value.front() == '-') return value.substr(1);
    if (value.front() == '{' && value.back() == '}') return "{-(" + value.substr(1, value.size() - 2) + ")}";
    return "-" + value;
}

// This program holds a capacitor at its IC= for the operating point, as PSpice does; SPICE 2G
// and Spice3 take the IC only with UIC. A grounded capacitor's hold is written there as an .IC of
// its other node, in a subcircuit inside its definition (Spice3 holds the node of every call).
// An .IC names nodes, not the voltage between two, and SPICE 2G takes no .IC in a subcircuit:
// those holds are left to UIC there, and the netlist warns of each.
std::string CapacitorHoldLines(int scope)
{
    if (!(Is2G() || IsSpice3())) return {};
    std::string items;
    std::string notes;
    for (const SchematicItem* component : ScopeComponents(scope)) {
        if (ItemComponentType(component) != kComponentCapacitor || component->pinNodes.size() < 2) continue;
        const std::string rest = SplitPartValue(component, scope, false).rest;
        if (rest.rfind(" IC=", 0) != 0) continue;
        std::string ic = rest.substr(4, rest.find(' ', 4) == std::string::npos ? std::string::npos : rest.find(' ', 4) - 4);
        const std::int32_t a = component->pinNodes[0];
        const std::int32_t b = component->pinNodes[1];
        if (ic.empty() || (a == 0 && b == 0)) continue;
        if ((a != 0 && b != 0) || (scope != 0 && Is2G())) {
            notes += StrPrintf("* Warning: %s IC=%s is used only with UIC\n", GetExportPartName(component).c_str(), ic.c_str());
            continue;
        }
        if (a == 0) ic = NegatedValueText(ic);
        items += " V(" + GetSpiceNodeName(a == 0 ? b : a, scope) + ")=" + ic;
    }
    return (items.empty() ? std::string() : ".IC" + items + "\n") + notes;
}

namespace {

// The current an .IC of the main circuit sets on an inductor, on the inductor's line as SPICE
// takes it (an IC= of the inductor's own wins, as in the build).
void AppendInductorHold(std::string& line, const SchematicItem* component, int scope)
{
    if (!(Is2G() || IsSpice3()) || line.empty() || line.front() == '*' || line.back() != '\n') return;
    auto& holds = MainInductorHolds();
    const auto hold = holds.find(CopyUpperCase(GetAttributeText(component, kAttrPart)));
    if (hold == holds.end() || SplitPartValue(component, scope, false).rest.rfind(" IC=", 0) == 0) return;
    line.insert(line.size() - 1, " IC=" + hold->second.value);
    hold->second.written = true;
}

// A resistor, capacitor or inductor with a model in Spice3: the model name before the value (the
// order ngspice keeps the model of a capacitor or inductor by). The R, C and L models know no
// value multiplier (folded into the part's value here), no voltage or current coefficients and
// no temperature relative to an AKO model; a device temperature becomes TEMP= or DTEMP=.
void ExportSpice3Passive(std::string& line, SchematicItem* component, const std::string& name, int scope)
{
    const int type = ItemComponentType(component);
    const bool hasModel = !ModelText(component).empty();
    const ModelStatement* model = hasModel ? StatementOf(component) : nullptr;
    const std::string text = model ? model->paramText : std::string();
    auto given = [&](const char* param) { return ModelParamGiven(text, param); };
    auto valueOf = [&](const char* param, double fallback) {
        std::string value;
        GetModelParamValue(text, param, fallback, value);
        return value;
    };
    bool expressible = !given("T_REL_LOCAL");
    for (const char* coefficient : {"VC1", "VC2", "IL1", "IL2"})
        if (given(coefficient) && ParseNumber(valueOf(coefficient, 0.0)) != 0.0) expressible = false;
    PartValueFields fields = SplitPartValue(component, scope, false);
    const char* multiplierName = type == kComponentResistor ? "R" : type == kComponentCapacitor ? "C" : "L";
    const std::string multiplierText = valueOf(multiplierName, 1.0);
    const double multiplier = ParseNumber(multiplierText);
    if (ParseError()) {
        expressible = false;
    } else if (multiplier != 1.0) {
        const double value = ParseNumber(fields.first);
        if (!ParseError())
            fields.first = StrPrintf("%.12g", value * multiplier);
        else if (fields.first.size() > 1 && fields.first.front() == '{' && fields.first.back() == '}')
            fields.first = "{(" + fields.first.substr(1, fields.first.size() - 2) + ")*" + multiplierText + "}";
        else
            expressible = false;
    }
    if (!expressible) {
        AppendUnsupportedComment(line, component, name);
        return;
    }
    // A resistor's own coefficients "TC=a,b" are TC1= and TC2= in Spice3.
    static const std::regex kTc(R"((^|\s)TC\s*=\s*([^,\s]+)(\s*,\s*([^,\s]+))?)", std::regex::icase);
    std::smatch tc;
    if (type == kComponentResistor && std::regex_search(fields.rest, tc, kTc))
        fields.rest = tc.prefix().str() + tc[1].str() + "TC1=" + tc[2].str() +
                      (tc[4].matched ? " TC2=" + tc[4].str() : std::string()) + tc.suffix().str();
    WritePartNameAndNodes(line, component, name);
    if (hasModel) AppendPartModelName(line, component, false);
    line += " " + fields.first;
    if (given("T_ABS"))
        line += " TEMP=" + valueOf("T_ABS", 0.0);
    else if (given("T_REL_GLOBAL"))
        line += " DTEMP=" + valueOf("T_REL_GLOBAL", 0.0);
    line += fields.rest + "\n";
}

// Spice3 has no switch of this program's kind (its resistance moves smoothly between RON and
// ROFF as the control passes from the one threshold to the other): a behavioural current
// source gives the same resistance, its control held to the thresholds' span.
void ExportSpice3Switch(std::string& line, SchematicItem* component, const std::string& name,
                        const std::array<std::string, 4>& node, const std::string& control)
{
    const ModelStatement* model = StatementOf(component);
    if (!model) {
        AppendUnsupportedComment(line, component, name);
        return;
    }
    const bool voltage = ItemComponentType(component) == kComponentS;
    auto valueOf = [&](const char* param, double fallback) {
        std::string value;
        GetModelParamValue(model->paramText, param, fallback, value);
        return ParseNumber(value);
    };
    const double ron = valueOf("RON", 1.0);
    const double roff = valueOf("ROFF", 1e6);
    const double on = voltage ? valueOf("VON", 1.0) : valueOf("ION", 1e-3);
    const double off = voltage ? valueOf("VOFF", 0.0) : valueOf("IOFF", 0.0);
    const std::string element = AddedElementName("B" + name, ComponentScope(component));
    const std::string across = StrPrintf("V(%s,%s)", node[0].c_str(), node[1].c_str());
    std::string conductance;
    if (on == off) {
        conductance = StrPrintf("(%s >= %.10g ? %.10g : %.10g)", control.c_str(), on, 1.0 / ron, 1.0 / roff);
    } else {
        const double lm = std::log(ron * roff) * 0.5;
        const double lr = std::log(ron / roff);
        const double span = on - off;
        const double half = std::abs(span) * 0.5;
        const std::string x = StrPrintf("MIN(MAX(%s-(%.10g),%.10g),%.10g)", control.c_str(), (on + off) * 0.5, -half, half);
        conductance = StrPrintf("EXP(-(%.10g+(%.10g)*%s-(%.10g)*%s*%s*%s))", lm, 1.5 * lr / span, x.c_str(),
                                2.0 * lr / (span * span * span), x.c_str(), x.c_str(), x.c_str());
    }
    line += StrPrintf("%s %s %s I = %s*%s\n", element.c_str(), node[0].c_str(), node[1].c_str(), across.c_str(),
                      conductance.c_str());
}

void AppendSourceValues(std::string& line, const SchematicItem* component, int scope)
{
    std::string value = PartValueText(component, scope);
    if (value.find_first_not_of(" \t") == std::string::npos) value = "0";
    for (const std::string& v : SplitValues(value)) {
        const std::string upper = CopyUpperCase(v);
        bool plain = upper == "DC" || upper == "AC";
        for (const char* word : {"PULSE", "SIN", "EXP", "PWL", "SFFM"})
            if (upper.rfind(word, 0) == 0) plain = true;
        line += " " + (plain ? v : BraceParamReferences(v, scope, true));
    }
    line += "\n";
}

// The element across a controlling input that keeps it from floating in other simulators.
void AddControlResistor(int section, std::string_view name, const std::string& a, const std::string& b, bool blank)
{
    const std::string added = AddedElementName("R" + std::string(name), section);
    AddSpiceLine(section, StrPrintf("%s %s %s 1G%s;added by %s\n", added.c_str(), a.c_str(), b.c_str(), blank ? " " : "",
                                    std::string(name).c_str()));
}

void ExportCouplingLines(std::string& line, SchematicItem* component, std::string_view name, int scope)
{
    std::vector<std::string> inductors;
    std::istringstream in(GetAttributeText(component, kAttrInductors));
    for (std::string token; in >> token;) inductors.push_back(MakeSpicePartName(token, nullptr, kComponentInductor, scope));
    const std::string coupling = GetAttributeText(component, kAttrCoupling);
    if (!Is2G() && !IsSpice3()) {
        line += name;
        for (const std::string& inductor : inductors) line += " " + inductor;
        line += " " + coupling;
        const std::string model = ModelText(component);
        if (!model.empty()) {
            line += " " + model;
            const std::string size = GetAttributeText(component, kAttrSize);
            if (!size.empty()) line += " " + size;
        }
        line += "\n";
        return;
    }
    // SPICE 2G and Spice3 couple two inductors per K line and know no magnetic cores.
    if (!ModelText(component).empty()) {
        AppendUnsupportedComment(line, component, name);
        return;
    }
    if (IsSpice3() && inductors.size() == 2) {
        line += StrPrintf("%s %s %s %s\n", std::string(name).c_str(), inductors[0].c_str(), inductors[1].c_str(),
                          coupling.c_str());
        return;
    }
    int pair = 1;
    for (std::size_t i = 0; i < inductors.size(); ++i)
        for (std::size_t j = i + 1; j < inductors.size(); ++j) {
            const std::string pairName = AddedElementName(StrPrintf("%s%d", std::string(name).c_str(), pair++), scope);
            line += StrPrintf("%s %s %s %s\n", pairName.c_str(), inductors[i].c_str(), inductors[j].c_str(), coupling.c_str());
        }
}

// A lossy line gives its length (LEN=) and its R, L, G and C per unit length.
std::map<std::string, std::string> LineSettings(const SchematicItem* component, int scope)
{
    std::string text = PartValueText(component, scope);
    std::replace(text.begin(), text.end(), '=', ' ');
    std::istringstream in(text);
    std::map<std::string, std::string> settings;
    for (std::string key, value; in >> key >> value;) settings[CopyUpperCase(key)] = value;
    return settings;
}

bool IsLossyLine(const SchematicItem* component, int scope) { return LineSettings(component, scope).count("LEN") != 0; }

void WriteLtraLine(std::string& line, const std::string& name, const std::array<std::string, 4>& node,
                   const std::map<std::string, std::string>& settings, int scope);

// SPICE 2G has no lossy line; Spice3 writes it as the LTRA line model, PSpice as it stands.
void ExportLossyLine(std::string& line, SchematicItem* component, const std::string& name,
                     const std::array<std::string, 4>& node, int scope)
{
    if (Is2G()) {
        AppendUnsupportedComment(line, component, name);
        return;
    }
    if (!IsSpice3()) {
        WritePartNameAndNodes(line, component, name);
        AppendPartValue(line, component, scope, true);
        return;
    }
    WriteLtraLine(line, name, node, LineSettings(component, scope), scope);
}

// A line with a model in Spice3, which has no line models of this kind: the model's values
// with the part's own over them (a leading number is the length), as an ideal line or, with
// a length, the LTRA line.
void ExportSpice3ModelLine(std::string& line, SchematicItem* component, const std::string& name,
                           const std::array<std::string, 4>& node, int scope)
{
    std::map<std::string, std::string> settings;
    if (const ModelStatement* model = StatementOf(component))
        for (const char* key : {"ZO", "TD", "F", "NL", "R", "L", "G", "C", "LEN"}) {
            if (!ModelParamGiven(model->paramText, key)) continue;
            GetModelParamValue(model->paramText, key, 0.0, settings[std::string(key) == "ZO" ? "Z0" : key]);
        }
    std::string text = PartValueText(component, scope);
    std::replace(text.begin(), text.end(), '=', ' ');
    std::istringstream in(text);
    std::vector<std::string> tokens;
    for (std::string token; in >> token;) tokens.push_back(token);
    std::size_t first = 0;
    if (!tokens.empty()) {
        ParseNumber(tokens[0]);
        if (!ParseError()) settings["LEN"] = tokens[first++];
    }
    for (std::size_t i = first; i + 1 < tokens.size(); i += 2) settings[CopyUpperCase(tokens[i])] = tokens[i + 1];
    if (settings.count("LEN")) {
        WriteLtraLine(line, name, node, settings, scope);
        return;
    }
    WritePartNameAndNodes(line, component, name);
    for (const char* key : {"Z0", "TD", "F", "NL"})
        if (const auto found = settings.find(key); found != settings.end()) line += StrPrintf(" %s=%s", key, found->second.c_str());
    line += "\n";
}

void WriteLtraLine(std::string& line, const std::string& name, const std::array<std::string, 4>& node,
                   const std::map<std::string, std::string>& settings, int scope)
{
    auto value = [&](const char* key) {
        const auto found = settings.find(key);
        return found == settings.end() ? std::string("0") : found->second;
    };
    const std::string element = AddedElementName("O" + name, scope);
    const std::string model = "LTRA_" + CopyUpperCase(name);
    line += StrPrintf("%s %s %s %s %s %s\n", element.c_str(), node[0].c_str(), node[1].c_str(), node[2].c_str(),
                      node[3].c_str(), model.c_str());
    AddSpiceLine(scope, StrPrintf(".MODEL %s LTRA (R=%s L=%s G=%s C=%s LEN=%s)\n", model.c_str(), value("R").c_str(),
                                  value("L").c_str(), value("G").c_str(), value("C").c_str(), value("LEN").c_str()),
                 false);
}

// "POLY(n) a1 b1 ... an bn coefficients" with the 2n node names written as the export names them.
std::string MapPolyNodes(const std::string& value, int scope)
{
    std::istringstream in(value);
    std::vector<std::string> tokens;
    for (std::string t; in >> t;) tokens.push_back(t);
    std::size_t nodes = 0;
    std::size_t first = 0;
    if (!tokens.empty()) {
        const std::string head = CopyUpperCase(tokens[0]);
        if (head.rfind("POLY(", 0) == 0) {
            nodes = 2 * static_cast<std::size_t>(std::max(0, std::atoi(head.c_str() + 5)));
            first = 1;
        } else if (tokens.size() >= 3) {
            nodes = 2;  // the linear form: two controlling nodes and the gain
        }
    }
    std::string out;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        std::string token = tokens[i];
        if (i >= first && i < first + nodes) {
            const std::int32_t node = LookupNodeNumber(CircuitNodeTable(), token, scope, 0);
            if (node >= 0) token = GetSpiceNodeName(node, scope);
        }
        if (i) out += ' ';
        out += token;
    }
    return out;
}

// The four forms of a behavioural family in their table order: I of V, I of I, V of V, V of I.
bool VoltageControlled(int type, int family) { return type == family || type == family + 2; }
bool CurrentControlled(int type, int family) { return type == family + 1 || type == family + 3; }

int ScopeSubcktName(const SchematicItem* component, std::string& name)
{
    for (std::size_t s = 1; s < NetlistReader().scopes.size(); ++s)
        if (NetlistReader().scopes[s].call == component) {
            name = ExpandedSubcktName(NetlistReader().scopes[s]);
            return static_cast<int>(s);
        }
    return -1;
}

}  // namespace

int ComponentScope(const SchematicItem* component) { return component ? component->scope : 0; }

bool IsGeneratedInterface(const SchematicItem* component)
{
    // The interface subcircuits and digital supplies the build puts between the domains ("X$...");
    // a reader of the netlist makes its own.
    const std::string& part = GetAttributeText(component, kAttrPart);
    return part.size() > 1 && part[1] == '$' && ToUpperChar(part[0]) == 'X';
}

std::string ComponentTypeName(const SchematicItem* component)
{
    const ComponentTypeRow* row = FindComponentTypeRow(ItemComponentType(component));
    return row ? row->name : "";
}

std::string GetExportPartName(const SchematicItem* component)
{
    const std::string& spiceName = GetAttributeText(component, kAttrSpiceName);
    return spiceName.empty() ? GetAttributeText(component, kAttrPart) : spiceName;
}

std::string MakeSpicePartName(std::string_view text, SchematicItem* component, int type, int scope)
{
    if (component) {
        const std::string& stored = GetAttributeText(component, kAttrSpiceName);
        if (!stored.empty()) return stored;
    }
    const bool digitFirst = !text.empty() && std::isdigit(static_cast<unsigned char>(text.front()));
    if (type == 0 && digitFirst) return std::string(text);
    if (type == 0) {
        // A reference to a part: the SPICE name that part was given, else the text itself.
        if (!digitFirst)
            for (SchematicItem* other : ScopeComponents(scope))
                if (EqualsNoCase(GetAttributeText(other, kAttrPart), text)) {
                    const std::string& name = GetAttributeText(other, kAttrSpiceName);
                    if (!name.empty()) return name;
                }
        return std::string(text);
    }
    if (!component && !digitFirst) {
        // A reference to a part of a known type (the inductors of a coupling): that part's name.
        for (SchematicItem* other : ScopeComponents(scope))
            if (EqualsNoCase(GetAttributeText(other, kAttrPart), text)) {
                const std::string& name = GetAttributeText(other, kAttrSpiceName);
                if (!name.empty()) return name;
            }
    }
    const char letter = SpiceLetter(type);
    std::string candidate = (!text.empty() && ToUpperChar(text.front()) == letter) ? std::string(text)
                                                                                  : std::string(1, letter) + std::string(text);
    candidate = CopyUpperCase(candidate);
    std::unordered_set<std::string>& taken = Taken(scope);
    for (int n = 1; taken.count(candidate) || candidate.size() == 1; ++n) candidate = StrPrintf("%c%d", letter, n);
    taken.insert(candidate);
    if (component) {
        if (ComponentAttribute* attribute = SetAttribute(ExportRun().record, component, kAttrSpiceName, candidate))
            attribute->display = kExportAttributeFlag;
    }
    return candidate;
}

std::string AddedElementName(std::string candidate, int scope)
{
    candidate = CopyUpperCase(candidate);
    std::unordered_set<std::string>& taken = Taken(scope);
    const char letter = candidate.empty() ? 'X' : candidate.front();
    for (int n = 1; taken.count(candidate); ++n) candidate = StrPrintf("%c%d", letter, n);
    taken.insert(candidate);
    return candidate;
}

void RegisterPartNames()
{
    // Every part's own name is claimed in item order before any element is added, so that the
    // names of added elements never take one a part needs.
    if (CircuitDocument* document = Document())
        for (SchematicItem& item : ListRecords<SchematicItem>(document->itemList)) {
            if (!item.IsComponent()) continue;
            const int type = ItemComponentType(&item);
            if (type <= 0 || IsConnection(type) || IsGeneratedInterface(&item)) continue;
            MakeSpicePartName(GetAttributeText(&item, kAttrPart), &item, type, item.scope);
        }
}

namespace {

// The analog node that a digital node meets through an interface the build inserted, or -1.
// Other simulators put their own interfaces between the domains: a digital pin on such a node
// is written on the analog node it reads or drives.
std::int32_t InterfacedAnalogNode(std::int32_t node, int scope)
{
    CircuitDocument* document = Document();
    if (!document) return -1;
    for (SchematicItem& item : ListRecords<SchematicItem>(document->itemList)) {
        if (!item.IsComponent() || item.scope != scope || !IsGeneratedInterface(&item) || !item.definition) continue;
        std::int32_t analog = -1;
        bool here = false;
        for (int pin = 0; pin < item.PinCount() && pin < static_cast<int>(item.definition->pins.size()); ++pin) {
            const std::string& pinName = item.definition->pins[static_cast<std::size_t>(pin)].name;
            if (pinName == "A") analog = item.pinNodes[static_cast<std::size_t>(pin)];
            if (pinName == "D" && item.pinNodes[static_cast<std::size_t>(pin)] == node) here = true;
        }
        if (here && analog >= 0) return analog;
    }
    return -1;
}

// The domain of a pin's node. A subcircuit call's pin takes the domain of the net it is on,
// which its name does not tell ("D" may well be an analog node): the one whose node of that
// number is named as the call's pin is.
int PinDomain(const SchematicItem* component, int pin, std::int32_t node, int scope)
{
    if (!component) return 0;
    const int kind = GetPinSignalKind(component, pin);
    const int type = ItemComponentType(component);
    if (type != kComponentSubckt && type != kComponentMacro) return kind;
    auto exists = [&](int domain) {
        for (const NodeNameRow& row : CircuitNodeTable().rows)
            if (row.number == node && row.scope == scope && row.domain == domain) return true;
        return false;
    };
    if (exists(kind)) {
        if (!exists(1 - kind) || !component->definition || pin >= static_cast<int>(component->definition->pins.size()))
            return kind;
        const std::string& pinName = component->definition->pins[static_cast<std::size_t>(pin)].name;
        if (LookupNodeNumber(CircuitNodeTable(), pinName, scope, 1 - kind) == node &&
            LookupNodeNumber(CircuitNodeTable(), pinName, scope, kind) != node)
            return 1 - kind;
        return kind;
    }
    return exists(1 - kind) ? 1 - kind : kind;
}

}  // namespace

std::string GetSpiceNodeName(std::int32_t node, int scope, const SchematicItem* component, int pin)
{
    if (node == 0) return "0";
    const int domain = PinDomain(component, pin, node, scope);
    if (domain == 1) {
        const std::int32_t analog = InterfacedAnalogNode(node, scope);
        if (analog >= 0) return GetSpiceNodeName(analog, scope);
    }
    // A net with a global name is written by that name wherever it has one, so that it meets
    // the same net in the subcircuits.
    if (domain == 0) {
        const std::string global = GlobalNetName(node, scope);
        if (!global.empty()) return GlobalNodeNameIn(global, scope);
    }
    if (!Is2G()) {
        std::string name = FindNodeNameFromEnd(CircuitNodeTable(), node, scope, domain);
        const std::size_t dot = name.rfind('.');
        if (dot != std::string::npos) name = name.substr(dot + 1);
        if (IsLegalNodeName(name)) return name;
    }
    // A digital node's number counts in its own domain; it must not meet an analog one.
    return domain == 1 ? StrPrintf("D%d", node) : StrPrintf("%d", node);
}

std::string NewExportNodeName(std::string_view prefix, int scope)
{
    SpiceExportRun& run = ExportRun();
    CircuitDocument* document = Document();
    const int base = document ? document->nodeCount + document->nodeCount2 : 0;
    while (true) {
        ++run.nodeNameCounter;
        const std::string name = Is2G() ? StrPrintf("%d", base + run.nodeNameCounter)
                                        : StrPrintf("%s%d", std::string(prefix).c_str(), run.nodeNameCounter);
        if (LookupNodeNumber(CircuitNodeTable(), name, scope, 0) < 0 && LookupNodeNumber(CircuitNodeTable(), name, scope, 1) < 0)
            return name;
    }
}

void AppendUnsupportedComment(std::string& line, const SchematicItem* component, std::string_view partName)
{
    line += StrPrintf("* Error: %s %s not supported by SPICE\n", ComponentTypeName(component).c_str(),
                      std::string(partName).c_str());
}

void AppendSubcktArguments(std::string& line, const SchematicItem* component, char letter)
{
    static constexpr const char* kKeywords[] = {"PARAMS:", "OPTIONAL:", "TEXT:"};
    const int scope = ComponentScope(component);
    // The reader marks the values a SPICE call gave with "$X" attributes holding "1" and keeps the
    // values themselves under "$."; a macro call's "$X" attributes hold the values.
    const bool marksOnly = letter == 'X' && ItemComponentType(component) == kComponentSubckt;
    for (const char* keyword : kKeywords) {
        const std::string prefix = StrPrintf("$%c%c ", letter, keyword[0]);
        std::string group;
        for (const ComponentAttribute& attribute : ListRecords<ComponentAttribute>(component->attributes)) {
            const std::string_view name = AttributeName(attribute);
            if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) continue;
            const std::string parameter(name.substr(prefix.size()));
            const ComponentAttribute* given =
                marksOnly ? FindAttribute(component, StrPrintf("$.%c %s", keyword[0], parameter.c_str())) : &attribute;
            if (!given) continue;
            group += parameter + "=" + BraceParamReferences(given->value, scope, true) + " ";
        }
        if (!group.empty()) line += StrPrintf("\n+%s %s", keyword, group.c_str());
    }
}

int ExportPartLines(int scope)
{
    int result = 0;
    const bool ac = (ExportRun().analysisMask & kExportAc) != 0;
    for (SchematicItem* component : ScopeComponents(scope)) {
        const int type = ItemComponentType(component);
        if (type <= 0 || IsConnection(type)) continue;
        const ComponentTypeRow* row = FindComponentTypeRow(type);
        const std::string name = GetExportPartName(component);
        const std::string nameTail = name.size() > 1 ? name.substr(1) : name;
        SpiceOutputLine& out = NewSpiceLine(scope);
        std::string& line = out.text;
        if (row->domain == kDomainDigital) {
            if (int rc = ExportDigitalPrimitive(out, component, name)) return rc;
            continue;
        }
        std::array<std::string, 4> node;
        for (int pin = 0; pin < 4 && pin < component->PinCount(); ++pin)
            node[static_cast<std::size_t>(pin)] =
                GetSpiceNodeName(component->pinNodes[static_cast<std::size_t>(pin)], scope, component, pin);
        const bool hasModel = !ModelText(component).empty();
        // A source's model (the lookup reported a missing one): the part gets no line.
        auto SourceModel = [&]() -> ModelStatement* {
            ModelStatement* model = StatementOf(component);
            if (!model) {
                out.hasText = false;
                result = kMsgAlreadyReported;
            }
            return model;
        };
        switch (type) {
        case kComponentBattery:
        case kComponentISpice:
        case kComponentIsource:
        case kComponentVSpice:
            WritePartNameAndNodes(line, component, name);
            AppendSourceValues(line, component, scope);
            break;
        case kComponentDigitalLed:
        case kComponentAnalogState:
            WritePartNameAndNodes(line, component, name);
            line += " 0";
            AppendPartValue(line, component, scope);
            break;
        case kComponentResistor:
        case kComponentCapacitor:
        case kComponentInductor:
            if (IsSpice3() && (hasModel || type == kComponentResistor)) {
                ExportSpice3Passive(line, component, name, scope);
            } else {
                WritePartNameAndNodes(line, component, name);
                if (!Is2G() && hasModel) AppendPartModelName(line, component, false);
                AppendPartValue(line, component, scope);
            }
            if (type == kComponentInductor && scope == 0) AppendInductorHold(line, component, scope);
            break;
        case kComponentDiode:
        case kComponentNpn:
        case kComponentPnp:
        case kComponentPjfet:
        case kComponentNjfet:
        case kComponentNpn4:
        case kComponentPnp4:
        case kComponentGaAsFet: {
            const ModelStatement* gaasfet = type == kComponentGaAsFet && IsSpice3() ? StatementOf(component) : nullptr;
            if (type == kComponentGaAsFet && (Is2G() || (IsSpice3() && (!gaasfet || Spice3MesfetModelLine(*gaasfet).empty())))) {
                // Its model cannot be written in this dialect, so neither can the part.
                AppendUnsupportedComment(line, component, name);
                break;
            }
            WritePartNameAndNodes(line, component, name);
            AppendPartModelName(line, component, false);
            const std::string value = GetAttributeText(component, kAttrValue);
            if (Is2G() || (IsSpice3() && type == kComponentGaAsFet)) {
                if (value.find_first_not_of(" ") != std::string::npos)
                    AppendPartValue(line, component, scope);
                else
                    line += "\n";
            } else {
                // Only a plain area factor other than 0 carries over to PSpice, which has no OFF
                // or IC= on these parts. A Spice3 diode names its area (ngspice takes a number
                // after a diode's model for a node).
                std::istringstream in(value);
                std::string first;
                if (in >> first) {
                    const double area = ParseNumber(first);
                    if (!ParseError() && area != 0.0)
                        line += StrPrintf(IsSpice3() && type == kComponentDiode ? " AREA=%g" : " %g", area);
                }
                // Spice3 has both: OFF decides the operating point of a circuit with more than
                // one (a latch), which ngspice otherwise finds elsewhere.
                if (IsSpice3()) {
                    static const std::regex kOff(R"((^|\s)OFF\d*(\s|$))", std::regex::icase);
                    static const std::regex kIc(R"((^|\s)IC\s*=\s*([^\s,]+)(\s*,\s*([^\s,]+))?)", std::regex::icase);
                    std::smatch ic;
                    if (std::regex_search(value, kOff)) line += " OFF";
                    if (std::regex_search(value, ic, kIc))
                        line += " IC=" + ic[2].str() + (ic[4].matched ? "," + ic[4].str() : std::string());
                }
                line += "\n";
            }
            break;
        }
        case kComponentPmos:
        case kComponentNmos: {
            WritePartNameAndNodes(line, component, name);
            AppendPartModelName(line, component, false);
            const std::string value = PartValueText(component, scope);
            if (!Is2G()) {
                line += " " + value + "\n";
                break;
            }
            std::string instance;
            if (ModelStatement* model = hasModel ? StatementOf(component) : nullptr) instance = model->instanceText;
            std::string upperValue = " " + CopyUpperCase(value);
            for (const char* size : {"W", "L"}) {
                std::string copy = upperValue;
                if (!FindModelParam(copy, size, false).empty()) FindModelParam(instance, size, true);
            }
            line += StrPrintf("%s %s\n", instance.c_str(), value.c_str());
            break;
        }
        case kComponentPulseSource: {
            ModelStatement* model = SourceModel();
            if (!model) break;
            WritePartNameAndNodes(line, component, name);
            if (ac) line += " AC 1";
            line += " PULSE ";
            AppendModelParameters(line, *model);
            break;
        }
        case kComponentSineSource: {
            ModelStatement* model = SourceModel();
            if (!model) break;
            std::string rs;
            std::string instance = model->instanceText;
            GetModelParamValue(instance, "RS", 0.0, rs);
            const bool series = ParseNumber(rs) != 0.0;
            std::string inner;
            if (series) {
                inner = NewExportNodeName("INTERIOR_NONE", scope);
                line += name + " " + inner + " " + node[1];
            } else {
                line += name + " " + node[0] + " " + node[1];
            }
            if (ac) line += " AC 1";
            line += " SIN ";
            AppendModelParameters(line, *model);
            if (series) {
                const std::string resistor = AddedElementName("R" + name, scope);
                line += StrPrintf("%s %s %s %s ;added by %s\n", resistor.c_str(), node[0].c_str(), inner.c_str(), rs.c_str(),
                                  name.c_str());
            }
            break;
        }
        case kComponentTransformer: {
            // Read as the simulation reads it (three numbers, commas or blanks between them);
            // the primary (the first value) lies between pins 3 and 4, the secondary between
            // pins 1 and 2, and 1/GMIN from pin 3 to pin 1 gives the secondary its DC path.
            const std::string text = PartValueText(component, scope);
            ValueList values{};
            if (ParseValueListStrict(text, 3, values)) {
                ReportMessage("NE", component, kMsgTransformerValues, "L1 L2 K");
                out.hasText = false;
                result = kMsgAlreadyReported;
                break;
            }
            const std::string l1 = AddedElementName("L" + nameTail + "_1", scope);
            const std::string l2 = AddedElementName("L" + nameTail + "_2", scope);
            const std::string path = AddedElementName("R" + nameTail + "_DC", scope);
            line += StrPrintf("%s %s %s %g ;added by %s\n", l1.c_str(), node[2].c_str(), node[3].c_str(), values[0],
                              name.c_str());
            AddSpiceLine(scope, StrPrintf("%s %s %s %g ;added by %s\n", l2.c_str(), node[0].c_str(), node[1].c_str(),
                                          values[1], name.c_str()));
            AddSpiceLine(scope, StrPrintf("%s %s %s %g\n", name.c_str(), l1.c_str(), l2.c_str(), values[2]));
            AddSpiceLine(scope, StrPrintf("%s %s %s %g ;added by %s\n", path.c_str(), node[2].c_str(), node[0].c_str(),
                                          CircuitBuild().inverseGmin, name.c_str()));
            break;
        }
        case kComponentVofV:
        case kComponentIofV:
            WritePartNameAndNodes(line, component, name);
            AppendPartValue(line, component, scope);
            AddControlResistor(scope, name, node[2], node[3], type == kComponentIofV);
            break;
        case kComponentVofI:
        case kComponentIofI: {
            const std::string sense = AddedElementName("V" + name, scope);
            line += StrPrintf("%s %s %s %s %s\n", name.c_str(), node[0].c_str(), node[1].c_str(), sense.c_str(),
                              PartValueText(component, scope).c_str());
            AddSpiceLine(scope, StrPrintf("%s %s %s 0 ;added by %s\n", sense.c_str(), node[2].c_str(), node[3].c_str(),
                                          name.c_str()));
            break;
        }
        case kComponentGIofV:
        case kComponentGIofV + 2:
            // The controlling nodes of a POLY form are node names of the value text.
            WritePartNameAndNodes(line, component, name);
            line += " " + MapPolyNodes(PartValueText(component, scope), scope) + "\n";
            break;
        case kComponentGIofV + 1:
        case kComponentHVofI:
            WritePartNameAndNodes(line, component, name);
            AppendPartValue(line, component, scope, true);
            break;
        case kComponentNFV:
        case kComponentNFI:
            if (Is2G())
                AppendUnsupportedComment(line, component, name);
            else if (IsSpice3())
                line += StrPrintf("%s %s %s %c = %s\n", name.c_str(), node[0].c_str(), node[1].c_str(),
                                  type == kComponentNFV ? 'V' : 'I', PartExpressionText(component, scope).c_str());
            else
                line += StrPrintf("%s %s %s VALUE = {%s}\n", name.c_str(), node[0].c_str(), node[1].c_str(),
                                  PartExpressionText(component, scope).c_str());
            break;
        default:
            if (VoltageControlled(type, kComponentLFIofV) || VoltageControlled(type, kComponentZLFIofV)) {
                // The voltage-controlled Laplace forms (their current-controlled kin are left out);
                // neither SPICE 2G nor Spice3 has a Laplace, table or frequency-table source.
                if (Is2G() || IsSpice3()) {
                    AppendUnsupportedComment(line, component, name);
                    break;
                }
                std::string expression = PartExpressionText(component, scope);
                if (type >= kComponentZLFIofV) {
                    const std::string clock = GetAttributeText(component, kAttrClockFrequency);
                    std::string replaced;
                    for (std::size_t i = 0; i < expression.size(); ++i) {
                        const bool alone = expression[i] == 'Z' && (i == 0 || !std::isalnum(static_cast<unsigned char>(expression[i - 1]))) &&
                                           (i + 1 == expression.size() || !std::isalnum(static_cast<unsigned char>(expression[i + 1])));
                        replaced += alone ? "(EXP(S/(" + clock + ")))" : std::string(1, expression[i]);
                    }
                    expression = replaced;
                }
                line += StrPrintf("%s %s %s LAPLACE {V(%s,%s)} = {%s}\n", name.c_str(), node[0].c_str(), node[1].c_str(),
                                  node[2].c_str(), node[3].c_str(), expression.c_str());
                AddControlResistor(scope, name, node[2], node[3], type == kComponentLFIofV || type == kComponentZLFIofV);
            } else if (VoltageControlled(type, kComponentNTIofV)) {
                if (Is2G() || IsSpice3()) {
                    AppendUnsupportedComment(line, component, name);
                    break;
                }
                line += StrPrintf("%s %s %s TABLE {V(%s,%s)} = %s\n", name.c_str(), node[0].c_str(), node[1].c_str(),
                                  node[2].c_str(), node[3].c_str(), PartValueText(component, scope).c_str());
                AddControlResistor(scope, name, node[2], node[3], false);
            } else if (VoltageControlled(type, kComponentLTIofV)) {
                if (Is2G() || IsSpice3()) {
                    AppendUnsupportedComment(line, component, name);
                    break;
                }
                line += StrPrintf("%s %s %s FREQ {V(%s,%s)} = %s\n", name.c_str(), node[0].c_str(), node[1].c_str(),
                                  node[2].c_str(), node[3].c_str(), PartValueText(component, scope).c_str());
                AddControlResistor(scope, name, node[2], node[3], false);
            } else if (type == kComponentSwitch || type == kComponentUserSource || CurrentControlled(type, kComponentLFIofV) ||
                       CurrentControlled(type, kComponentNTIofV) || CurrentControlled(type, kComponentLTIofV) ||
                       CurrentControlled(type, kComponentZLFIofV)) {
                AppendUnsupportedComment(line, component, name);
            } else if (type == kComponentTline && IsSpice3() && hasModel) {
                ExportSpice3ModelLine(line, component, name, node, scope);
            } else if (type == kComponentTline && IsLossyLine(component, scope)) {
                ExportLossyLine(line, component, name, node, scope);
            } else if (type == kComponentTline) {
                WritePartNameAndNodes(line, component, name);
                if (!Is2G() && hasModel) AppendPartModelName(line, component, false);
                if (GetAttributeText(component, kAttrValue).find_first_not_of(" ") != std::string::npos)
                    AppendPartValue(line, component, scope, true);
                else
                    line += "\n";
            } else if (type == kComponentK) {
                ExportCouplingLines(line, component, name, scope);
            } else if (type == kComponentOpamp) {
                WritePartNameAndNodes(line, component, name);
                line += " " + CopyUpperCase(ModelText(component)) + "\n";
            } else if (type == kComponentS) {
                if (Is2G()) {
                    AppendUnsupportedComment(line, component, name);
                    break;
                }
                if (IsSpice3()) {
                    ExportSpice3Switch(line, component, name, node, StrPrintf("V(%s,%s)", node[2].c_str(), node[3].c_str()));
                    break;
                }
                WritePartNameAndNodes(line, component, name);
                AppendPartModelName(line, component, true);
            } else if (type == kComponentW) {
                if (Is2G()) {
                    AppendUnsupportedComment(line, component, name);
                    break;
                }
                std::string control = PartValueText(component, scope);
                if (control.find_first_not_of(" ") == std::string::npos) control = "V";
                if (IsSpice3()) {
                    ExportSpice3Switch(line, component, name, node, "I(" + control + ")");
                    break;
                }
                WritePartNameAndNodes(line, component, name);
                line += " " + control;
                AppendPartModelName(line, component, true);
            } else if (type == kComponentSubckt || type == kComponentMacro) {
                std::string subckt;
                const int called = ScopeSubcktName(component, subckt);
                WritePartNameAndNodes(line, component, name);
                AppendGlobalPins(line, called, scope);
                line += " " + subckt;
                AppendSubcktArguments(line, component, 'X');
                line += "\n";
            } else {
                line += StrPrintf("* component %s not found.\n",
                                  component->definition ? component->definition->name.c_str() : "");
            }
            break;
        }
    }
    return result;
}

}  // namespace kq5
