#include "netlist/poly_source.h"

#include <cmath>
#include <new>

#include "core/char_classes.h"
#include "core/device_lists.h"
#include "core/engineering_numbers.h"
#include "document/node_table.h"
#include "document/schematic_item.h"
#include "netlist/build_errors.h"
#include "document/component_types.h"
#include "core/part_instance.h"
#include "netlist/token_patterns.h"
#include "netlist/translate_common.h"
#include "document/component_definition.h"

namespace kq5 {

namespace {

constexpr int kTypeFIofI = kComponentGIofV + 1;  // F: current-controlled current source

bool IsCurrentControlled(int type) { return type == kTypeFIofI || type == kComponentHVofI; }

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '(' || c == ')'; }

struct Cursor {
    std::string_view text;
    std::size_t pos = 0;

    bool AtEnd() const { return pos >= text.size(); }
    char Peek() const { return AtEnd() ? '\0' : text[pos]; }
    void SkipSeparators()
    {
        while (!AtEnd() && IsSeparator(text[pos])) ++pos;
    }
    void SkipBlanks()
    {
        while (!AtEnd() && HasCharClass(text[pos], kCharSpace)) ++pos;
    }
    bool StartsWith(std::string_view word) const { return text.substr(pos, word.size()) == word; }
    // A run of node-name characters (letters, digits and _ $ / - + * %), separators around it
    // skipped.
    std::string_view NameToken()
    {
        SkipSeparators();
        const std::size_t start = pos;
        while (!AtEnd() && HasCharClass(text[pos], kCharName)) ++pos;
        const std::string_view token = text.substr(start, pos - start);
        SkipSeparators();
        return token;
    }
};

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && HasCharClass(text.front(), kCharSpace)) text.remove_prefix(1);
    while (!text.empty() && HasCharClass(text.back(), kCharSpace)) text.remove_suffix(1);
    return text;
}

// "POLY(n)": the dimension; 1 without POLY; 0 when it is missing or out of range.
int ReadDimension(Cursor& c)
{
    if (!c.StartsWith("POLY")) return 1;
    c.pos += 4;
    c.SkipBlanks();
    const bool parenthesised = c.Peek() == '(';
    if (parenthesised) ++c.pos;
    c.SkipBlanks();
    const std::size_t start = c.pos;
    while (!c.AtEnd() && (HasCharClass(c.Peek(), kCharDigit) || c.Peek() == '.')) ++c.pos;
    const std::size_t end = c.pos;
    c.SkipBlanks();
    if (end == start || (parenthesised && c.Peek() != ')')) return 0;
    if (end == c.pos && !c.AtEnd() && c.Peek() != ')' && c.Peek() != ',') return 0;
    const double value = ParseNumber(c.text.substr(start, end - start));
    if (ParseError() || value < 1.0 || value >= kMaxPolyDimension + 1) return 0;
    return static_cast<int>(value);
}

// One coefficient's text: a braced expression, or everything up to the next separator.
std::string_view CoefficientToken(Cursor& c)
{
    const std::size_t start = c.pos;
    if (c.Peek() == '{') {
        int depth = 0;
        do {
            if (c.Peek() == '{') ++depth;
            else if (c.Peek() == '}') --depth;
            ++c.pos;
        } while (!c.AtEnd() && depth > 0);
    } else {
        while (!c.AtEnd() && !IsSeparator(c.Peek())) ++c.pos;
    }
    return c.text.substr(start, c.pos - start);
}

// A plain number: [+][-]digits and '.', then an exponent E with a sign and digits and nothing
// else, or letters, digits and '_' (scale suffix and unit).
bool IsPlainNumber(std::string_view token)
{
    std::size_t i = 0;
    if (i < token.size() && token[i] == '+') ++i;
    if (i < token.size() && token[i] == '-') ++i;
    const std::size_t mantissa = i;
    while (i < token.size() && (HasCharClass(token[i], kCharDigit) || token[i] == '.')) ++i;
    if (i == mantissa) return false;
    if (i + 1 < token.size() && (token[i] == 'E' || token[i] == 'e') && (token[i + 1] == '+' || token[i + 1] == '-')) {
        std::size_t j = i + 2;
        if (j >= token.size()) return false;
        while (j < token.size() && HasCharClass(token[j], kCharDigit)) ++j;
        return j == token.size();
    }
    for (; i < token.size(); ++i)
        if (!HasCharClass(token[i], kCharIdent)) return false;
    return true;
}

// The value of one coefficient; 0 or 15055 after reporting.
int ReadCoefficient(SchematicItem* component, std::string_view token, double& value)
{
    if (!token.empty() && token.front() == '{') {
        int error = 0;
        value = EvalNumberOrExpression(token.substr(1, token.size() >= 2 ? token.size() - 2 : 0), error);
        if (error == 0) return 0;
        if (error == kMsgAlreadyReported) return error;
        return ReportComponentMessage(component, error);
    }
    if (!IsPlainNumber(token)) return ReportComponentMessage(component, 10798);
    value = ParseNumber(token);
    if (ParseError() || !std::isfinite(value)) return ReportComponentMessage(component, 10798);
    return 0;
}

int ReadControls(SchematicItem* component, PolySourceDevice& record, Cursor& c)
{
    for (int k = 1; k <= record.dimension; ++k) {
        PolyControl& control = record.controls[static_cast<std::size_t>(k)];
        if (IsCurrentControlled(record.componentType)) {
            const std::string_view label = c.NameToken();
            if (label.empty() || label.front() != 'V') return ReportComponentMessage(component, 10794);
            control.sourceName.assign(label);
            continue;
        }
        const std::string_view plus = c.NameToken();
        const std::string_view minus = c.NameToken();
        control.nodePlus = plus.empty() ? -1 : LookupNodeNumber(CircuitNodeTable(), plus, record.scope, 0);
        control.nodeMinus = minus.empty() ? -1 : LookupNodeNumber(CircuitNodeTable(), minus, record.scope, 0);
        if (control.nodePlus >= 0 && control.nodeMinus >= 0) continue;
        const std::string_view failing = control.nodePlus < 0 ? plus : minus;
        if (failing.empty()) return ReportComponentMessage(component, 10793);
        return ReportComponentMessage(component, 10791, failing);
    }
    return 0;
}

int ReadCoefficients(SchematicItem* component, PolySourceDevice& record, Cursor& c)
{
    while (true) {
        c.SkipBlanks();
        if (c.AtEnd()) break;
        if (c.Peek() == ')') {
            ++c.pos;
            break;
        }
        if (c.StartsWith("IC")) break;
        if (c.Peek() == ',') ++c.pos;
        c.SkipBlanks();
        const std::string_view token = CoefficientToken(c);
        if (token.empty()) break;
        if (static_cast<int>(record.coefficients.size()) >= kMaxPolyCoefficients)
            return ReportComponentMessage(component, 10795);
        double value = 0.0;
        if (int status = ReadCoefficient(component, token, value); status != 0) return status;
        record.coefficients.push_back(value);
    }
    if (record.coefficients.size() == 1) record.coefficients.insert(record.coefficients.begin(), 0.0);
    return 0;
}

}  // namespace

int ParsePolySource(SchematicItem* component, std::string_view valueText)
{
    PolySourceDevice* record = AppendDevice<PolySourceDevice>(kPolySourceList, kKindPolySource);
    if (!record) return kMsgAlreadyReported;
    try {
        record->component = component;
        record->nodePlus = PinNode(component, 0);
        record->nodeMinus = PinNode(component, 1);
        record->componentType = component && component->definition ? component->definition->type : 0;
        record->scope = component ? component->scope : 0;

        Cursor c{Trimmed(valueText)};
        record->dimension = ReadDimension(c);
        if (record->dimension == 0) return ReportComponentMessage(component, 10792);
        record->controls.resize(static_cast<std::size_t>(record->dimension) + 1);
        if (int status = ReadControls(component, *record, c); status != 0) return status;
        record->coefficients.reserve(8);
        if (int status = ReadCoefficients(component, *record, c); status != 0) return status;
        c.SkipSeparators();
        if (!c.AtEnd()) ReportComponentMessage(component, 11903, c.text.substr(c.pos));
    } catch (const std::bad_alloc&) {
        FlagCircuitBuildOutOfMemory();
        return kMsgAlreadyReported;
    }
    RegisterPartInstance(record, record->componentType, component);
    return 0;
}

int ResolvePolySourceNames()
{
    for (PolySourceDevice& record : ListRecords<PolySourceDevice>(DeviceList(kPolySourceList))) {
        if (!IsCurrentControlled(record.componentType)) continue;
        for (std::size_t k = 1; k < record.controls.size(); ++k) {
            PolyControl& control = record.controls[k];
            if (control.sourceName.empty()) continue;
            const PartInstanceRecord* part = FindPartByNameInScope(control.sourceName, record.scope);
            if (!part || (part->typeCode != kComponentVSpice && part->typeCode != kComponentISpice)) {
                ReportComponentMessage(record.component, 10799, control.sourceName);
                return 1;
            }
            control.source = part->device;
        }
    }
    return 0;
}

void FreePolySourceNames()
{
    for (PolySourceDevice& record : ListRecords<PolySourceDevice>(DeviceList(kPolySourceList)))
        for (PolyControl& control : record.controls) control.sourceName = std::string();
}

}  // namespace kq5
