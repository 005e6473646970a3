// The E, F, G and H families: linear gain, formula, Laplace (in S and in Z), lookup-table and
// frequency-table sources.
#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "netlist/numeric_helpers.h"
#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "netlist/controlled_source_devices.h"
#include "document/component_attributes.h"
#include "netlist/build_errors.h"
#include "document/component_types.h"
#include "netlist/defines.h"
#include "netlist/translate_common.h"
#include "netlist/translate_components.h"

namespace kq5 {

namespace {

// The pins of a controlled source: output +, output -, control +, control -.
template <class Device>
void WireControlledPins(Device& d, SchematicItem* component, int outputKind)
{
    d.controlPlus = PinNode(component, 2);
    d.controlMinus = PinNode(component, 3);
    d.outputPlus = PinNode(component, 0);
    d.outputMinus = PinNode(component, 1);
    d.outputKind = outputKind;
}

constexpr int kMsgTableSyntax = 10833;
constexpr int kMsgUnknownKeyword = 10844;
constexpr int kMsgTwoMagnitudeKeywords = 10845;
constexpr int kMsgTwoPhaseKeywords = 10846;
constexpr int kMsgMixedRealImag = 10850;
constexpr int kMsgTableBracket = 10857;
constexpr int kMsgTableNeedsBraces = 10868;
constexpr int kMaxTablePairs = 19999;
constexpr int kMaxFreqTableValues = 20000;

// Reports an evaluator failure with the text; 15055.
int ReportValueError(SchematicItem* component, int error, const std::string& text)
{
    if (error != kMsgAlreadyReported) ReportComponentMessage(component, error, text, std::string());
    FlagCircuitBuildError();
    return kMsgAlreadyReported;
}

// Checks the text of a table, turns the parentheses outside braces into blanks and splits it
// into its values. 0, or 15055 after a report.
int SplitTableText(SchematicItem* component, std::string text, std::vector<std::string>& values)
{
    int parens = 0;
    int braces = 0;
    auto bracketFault = [&](const char* what, char bracket) {
        return ReportComponentMessage(component, kMsgTableBracket, what, bracket);
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '{') {
            ++braces;
            continue;
        }
        if (c == '}') {
            if (--braces < 0) return bracketFault("Extra", '}');
            continue;
        }
        if (braces > 0) continue;
        if (c == '(' || c == ')') {
            if (c == '(') ++parens;
            else if (--parens < 0) return bracketFault("Extra", ')');
            text[i] = ' ';
            continue;
        }
        if (HasCharClass(c, kCharDigit) || c == '.' || c == ',' || c == ' ') continue;
        const char before = i > 0 ? text[i - 1] : ' ';
        // Letters right after a number are its exponent, scale and unit (1E-3, 1K, 10MEGHZ).
        if (HasCharClass(c, kCharLetter) && (HasCharClass(before, kCharDigit | kCharLetter) || before == '.'))
            continue;
        const bool signPosition = i == 0 || before == ' ' || before == ',' ||
                                  ((before == 'E' || before == 'e') && i >= 2 &&
                                   (HasCharClass(text[i - 2], kCharDigit) || text[i - 2] == '.'));
        if ((c == '+' || c == '-') && signPosition) continue;
        return ReportComponentMessage(component, kMsgTableNeedsBraces);
    }
    if (braces > 0) return bracketFault("Missing", '}');
    if (parens > 0) return bracketFault("Missing", ')');

    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == ',')) ++i;
        if (i >= text.size()) break;
        std::size_t end = i;
        if (text[i] == '{') {
            int depth = 0;
            for (; end < text.size(); ++end) {
                if (text[end] == '{') ++depth;
                if (text[end] == '}' && --depth == 0) {
                    ++end;
                    break;
                }
            }
        } else {
            while (end < text.size() && text[end] != ' ' && text[end] != ',' && text[end] != '{') ++end;
        }
        values.push_back(text.substr(i, end - i));
        i = end;
    }
    return 0;
}

// The values of a table text, `group` values at a time, evaluated at once.
int ReadTable(SchematicItem* component, const std::string& text, int group, int maxValues, std::vector<double>& table)
{
    std::vector<std::string> values;
    if (int rc = SplitTableText(component, text, values)) return rc;
    if (values.empty() || values.size() % static_cast<std::size_t>(group) != 0 ||
        values.size() > static_cast<std::size_t>(maxValues))
        return ReportComponentMessage(component, kMsgTableSyntax);
    table.reserve(values.size() + 2 * static_cast<std::size_t>(group));
    for (const std::string& value : values) {
        int error = 0;
        const double v = EvalNumberOrExpression(value, error);
        if (error) return ReportValueError(component, error, value);
        table.push_back(v);
    }
    // The sources look a value up in rows ascending in their first value, in whatever order the
    // rows were written; rows with the same first value keep their order.
    const auto g = static_cast<std::size_t>(group);
    std::vector<std::size_t> order(table.size() / g);
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return table[a * g] < table[b * g]; });
    std::vector<double> sorted;
    sorted.reserve(table.capacity());
    for (std::size_t row : order) sorted.insert(sorted.end(), table.begin() + static_cast<std::ptrdiff_t>(row * g),
                                                table.begin() + static_cast<std::ptrdiff_t>((row + 1) * g));
    table.swap(sorted);
    return 0;
}

bool IsZDelimiter(char c)
{
    static constexpr std::string_view kDelimiters = " ,=()[]<>{}^~*/+-='!|&";
    return kDelimiters.find(c) != std::string_view::npos;
}

}  // namespace

int TranslateLinearSource(SchematicItem* component, int typeCode)
{
    auto* e = AppendDevice<LinearSourceDevice>(kLinearSourceDeviceList);
    if (!e) return kMsgAlreadyReported;
    const std::string& text = CurrentMainText();
    ValueList values{};
    if (int rc = ParseValueListLenient(text, 3, values)) return ReportValueError(component, rc, text);
    e->gain = values[0];
    e->secondValue = values[1];
    e->thirdValue = DoubleToIntClamped(values[2]);
    WireControlledPins(*e, component, typeCode);
    if (RegisterPartInstance(e, typeCode, component)) return kMsgAlreadyReported;
    return 0;
}

int TranslateFormulaSource(SchematicItem* component, int typeCode)
{
    auto* b = AppendDevice<FormulaSourceDevice>(kFormulaSourceDeviceList, kKindFormulaSource);
    if (!b) return kMsgAlreadyReported;
    b->component = component;
    b->outputPlus = PinNode(component, 0);
    b->outputMinus = PinNode(component, 1);
    b->outputKind = typeCode;
    if (int rc = AddValueExpression(CurrentMainText(), component, b->valueExpression)) return rc;
    if (int rc = AddAcExpression(component, b->acExpression)) return rc;
    if (RegisterPartInstance(b, typeCode, component)) return kMsgAlreadyReported;
    return 0;
}

namespace {

int AppendLaplaceSource(SchematicItem* component, int typeCode, int outputKind, const std::string& transfer)
{
    auto* s = AppendDevice<LaplaceSourceDevice>(kLaplaceSourceDeviceList, kKindLaplaceSource);
    if (!s) return kMsgAlreadyReported;
    s->component = component;
    WireControlledPins(*s, component, outputKind);
    if (int rc = AddValueExpression(transfer, component, s->transfer)) return rc;
    if (RegisterPartInstance(s, typeCode, component)) return kMsgAlreadyReported;
    return 0;
}

}  // namespace

int TranslateLaplaceSource(SchematicItem* component, int typeCode)
{
    return AppendLaplaceSource(component, typeCode, typeCode, CurrentMainText());
}

std::string ConvertZExpression(const std::string& text, const std::string& clockFrequency)
{
    const std::string replacement = "(EXP(S/(" + clockFrequency + ")))";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool standalone = text[i] == 'Z' && (i == 0 || IsZDelimiter(text[i - 1])) &&
                                (i + 1 == text.size() || IsZDelimiter(text[i + 1]));
        if (standalone)
            out += replacement;
        else
            out += text[i];
    }
    return out;
}

int TranslateZLaplaceSource(SchematicItem* component, int typeCode)
{
    std::string transfer;
    try {
        const std::string clock = ExpandAttributeDefines(component, kAttrClockFrequency);
        if (CircuitBuildFailed()) return kMsgAlreadyReported;
        transfer = ConvertZExpression(CurrentMainText(), clock);
    } catch (const std::bad_alloc&) {
        return FlagCircuitBuildOutOfMemory();
    }
    return AppendLaplaceSource(component, typeCode, typeCode - 100, transfer);
}

int TranslateTableSource(SchematicItem* component, int typeCode)
{
    auto* t = AppendDevice<TableSourceDevice>(kTableSourceDeviceList, kKindTableSource);
    if (!t) return kMsgAlreadyReported;
    WireControlledPins(*t, component, typeCode);
    try {
        std::vector<double> pairs;
        if (int rc = ReadTable(component, CurrentMainText(), 2, 2 * kMaxTablePairs, pairs)) return rc;
        // A copy of the first pair leads the table and one of the last pair ends it.
        t->table.assign(pairs.begin(), pairs.begin() + 2);
        t->table.insert(t->table.end(), pairs.begin(), pairs.end());
        t->table.insert(t->table.end(), pairs.end() - 2, pairs.end());
        t->entryCount = static_cast<std::int32_t>(t->table.size() / 2);
    } catch (const std::bad_alloc&) {
        return FlagCircuitBuildOutOfMemory();
    }
    if (RegisterPartInstance(t, typeCode, component)) return kMsgAlreadyReported;
    return 0;
}

int TranslateFreqTableSource(SchematicItem* component, int typeCode)
{
    auto* t = AppendDevice<FreqTableSourceDevice>(kFreqTableSourceDeviceList, kKindFreqTableSource);
    if (!t) return kMsgAlreadyReported;
    WireControlledPins(*t, component, typeCode);
    try {
        std::string keywords = ExpandAttributeDefines(component, kAttrKeyword);
        if (CircuitBuildFailed()) return kMsgAlreadyReported;
        for (char* word = NextToken(keywords.data(), kTokenBlankComma); word;
             word = NextToken(nullptr, kTokenBlankComma)) {
            const std::string w(word);
            if (w == "MAG" || w == "DB" || w == "R_I") {
                if (t->magnitudeKeyword != kFreqKeywordNone)
                    return ReportComponentMessage(component, kMsgTwoMagnitudeKeywords);
                t->magnitudeKeyword = w == "MAG" ? kFreqMag : w == "DB" ? kFreqDb : kFreqRealImag;
            } else if (w == "DEG" || w == "RAD") {
                if (t->phaseKeyword != kFreqKeywordNone) return ReportComponentMessage(component, kMsgTwoPhaseKeywords);
                t->phaseKeyword = w == "DEG" ? kFreqDeg : kFreqRad;
            } else {
                return ReportComponentMessage(component, kMsgUnknownKeyword, w);
            }
            if (t->magnitudeKeyword == kFreqRealImag && t->phaseKeyword != kFreqKeywordNone)
                return ReportComponentMessage(component, kMsgMixedRealImag);
        }
        if (int rc = ReadTable(component, CurrentMainText(), 3, kMaxFreqTableValues, t->table)) return rc;
        // A single row is a gain flat over every frequency: the sources interpolate between two.
        if (t->table.size() == 3) t->table.insert(t->table.end(), t->table.begin(), t->table.begin() + 3);
        t->table.shrink_to_fit();
    } catch (const std::bad_alloc&) {
        return FlagCircuitBuildOutOfMemory();
    }
    if (RegisterPartInstance(t, typeCode, component)) return kMsgAlreadyReported;
    return 0;
}

}  // namespace kq5
