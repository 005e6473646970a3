// SPICE export of the netlist's non-element lines: .param, .MODEL, .IC/.NODESET, .OPTIONS, .LIB,
// .TEMP, the analysis and output lines; the preparation of the model statements for the dialect
// and the rewriting of value texts (parameter references, node names, function names).
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "core/analysis_state.h"
#include "results/run_state.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/format.h"
#include "core/linked_list.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/node_table.h"
#include "document/component_types.h"
#include "document/schematic_item.h"
#include "document/scope_names.h"
#include "document/scope_table.h"
#include "netlist/binary_library.h"
#include "netlist/circuit_build.h"
#include "netlist/defines.h"
#include "netlist/global_options.h"
#include "netlist/model_library_lookup.h"
#include "netlist/spice_dot_commands.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"
#include "netlist/spice_analysis_commands.h"
#include "netlist/spice_export_support.h"
#include "netlist/spice_reader_state.h"
#include "netlist/spice_sources.h"
#include "netlist/spice_tokens.h"
#include "results/limits_row.h"

namespace kq5 {

namespace {

constexpr int kMsgExpectingText = 11900;

struct FunctionRewrite {
    std::string_view program;
    std::string_view spice;
};
// PI is written to the precision of a double, not as a rounded constant.
constexpr FunctionRewrite kSpiceFunctionRewriteTable[] = {
    {"ATN", "ATAN"}, {"LN", "LOG"},  {"LOG", "LOG10"}, {"PI", "3.141592653589793"}, {"T", "TIME"},
    {"POW", "PWR"},  {"DB", "VDB"},  {"PH", "VP"},     {"MAG", "VM"},
};

bool IsNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '.';
}

bool IsDelimiter(char c) { return std::string_view(" ,=()[]<>{}^~*/+-'!|&").find(c) != std::string_view::npos; }

// "%lg" with the trailing zeros of a fraction removed.
std::string ShortNumber(double value)
{
    std::string text = StrPrintf("%lg", value);
    return text;
}

bool IsParamRow(const DefineRow& row) { return row.defineClass == kDefineClassParam; }

// A .PARAM, or a macro parameter that the export passes to its subcircuit: used in a value, the
// name stands for a number only between braces.
bool IsBracedName(const DefineRow& row) { return IsParamRow(row) || row.defineClass == kDefineClassExportParam; }

bool IsParamName(std::string_view name, int scope)
{
    const std::string upper = CopyUpperCase(name);
    for (const DefineRow& row : NetlistReader().defines)
        if (IsBracedName(row) && (row.scope == scope || row.scope == 0) && row.name == upper) return true;
    return false;
}

// The place of the brace that closes the one at `open`, braces nested inside counted; npos when
// the line ends first.
std::size_t MatchingBrace(const std::string& line, std::size_t open)
{
    int depth = 0;
    for (std::size_t at = open; at < line.size(); ++at) {
        if (line[at] == '{') ++depth;
        if (line[at] == '}' && --depth == 0) return at;
    }
    return std::string::npos;
}

// The text with each parameter name outside braces put in braces (without innerBraces, none).
std::string BracedReferences(const std::string& out, int scope, bool innerBraces)
{
    std::string rewritten;
    int depth = 0;
    for (std::size_t i = 0; i < out.size();) {
        const char c = out[i];
        if (c == '{') ++depth;
        if (c == '}') --depth;
        if (IsNameChar(c) && !std::isdigit(static_cast<unsigned char>(c)) && c != '.') {
            std::size_t end = i;
            while (end < out.size() && IsNameChar(out[end])) ++end;
            const std::string_view token(out.data() + i, end - i);
            if (innerBraces && depth <= 0 && IsParamName(token, scope)) {
                rewritten += '{';
                rewritten += token;
                rewritten += '}';
            } else {
                rewritten += token;
            }
            i = end;
            continue;
        }
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') {
            // A number with its suffix ("1K", "2.5MEG") is no name.
            std::size_t end = i;
            while (end < out.size() && IsNameChar(out[end])) ++end;
            rewritten.append(out, i, end - i);
            i = end;
            continue;
        }
        rewritten += c;
        ++i;
    }
    return rewritten;
}

bool AnyParams()
{
    for (const DefineRow& row : NetlistReader().defines)
        if (IsBracedName(row)) return true;
    return false;
}

WindowRecord* Record() { return ExportRun().record; }

const AnalysisLimits* Limits()
{
    WindowRecord* record = Record();
    return record && record->document ? &record->document->limits : nullptr;
}

}  // namespace

// ---- parameter texts -------------------------------------------------------------------

namespace {

// Joins a statement's "+" continuation lines into one line (in place).
void JoinContinuationLines(std::string& text)
{
    for (std::size_t p = text.find("\n+"); p != std::string::npos; p = text.find("\n+", p)) text.replace(p, 2, "  ");
}

}  // namespace

std::string FindModelParam(std::string& text, std::string_view name, bool remove)
{
    JoinContinuationLines(text);
    std::size_t start = std::string::npos;
    auto followsName = [&](std::size_t at) {
        const std::size_t after = at + name.size();
        return text.compare(at, name.size(), name) == 0 && after < text.size() &&
               (text[after] == ' ' || text[after] == '=');
    };
    if (followsName(0)) {
        start = 0;
    } else {
        for (std::size_t p = text.find(' '); p != std::string::npos; p = text.find(' ', p + 1))
            if (followsName(p + 1)) {
                start = p + 1;
                break;
            }
    }
    if (start == std::string::npos) return {};
    std::size_t eq = text.find('=', start);
    if (eq == std::string::npos) eq = text.size();
    std::size_t value = eq < text.size() ? eq + 1 : eq;
    while (value < text.size() && text[value] == ' ') ++value;
    std::size_t end = text.find(' ', value);
    if (end == std::string::npos) end = text.size();
    std::string found = text.substr(start, end - start);
    if (remove) {
        std::size_t stop = end;
        while (stop < text.size() && text[stop] == ' ') ++stop;
        text.erase(start, stop - start);
        while (!text.empty() && text.back() == ' ') text.pop_back();
    }
    return found;
}

bool ModelParamGiven(const std::string& text, std::string_view name)
{
    std::string copy = text;
    return !FindModelParam(copy, name, false).empty();
}

int GetModelParamValue(const std::string& text, std::string_view name, double fallback, std::string& out)
{
    std::string copy = text;
    const std::string assignment = FindModelParam(copy, name, false);
    if (assignment.empty()) {
        out = ShortNumber(fallback);
        return 0;
    }
    const std::size_t eq = assignment.find('=');
    if (eq == std::string::npos) {
        ReportMessage("WtE", Record(), std::string(name) + " ", kMsgExpectingText, "=");
        return kMsgAlreadyReported;
    }
    out = assignment.substr(eq + 1);
    while (!out.empty() && out.front() == ' ') out.erase(0, 1);
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return 0;
}

std::string BraceParamReferences(std::string_view text, int scope, bool expression)
{
    return BraceParamReferencesIn(text, scope, expression, true);
}

std::string BraceParamReferencesIn(std::string_view text, int scope, bool expression, bool innerBraces)
{
    std::string out(text);
    if (AnyParams()) out = BracedReferences(out, scope, innerBraces);
    if (expression) {
        std::size_t p = 0;
        while (p < out.size() && out[p] == ' ') ++p;
        // A signed number ("-5") is a value, not an expression.
        if (p + 1 < out.size() && (out[p] == '-' || out[p] == '+') &&
            (std::isdigit(static_cast<unsigned char>(out[p + 1])) || out[p + 1] == '.'))
            ++p;
        while (p < out.size() && (std::isdigit(static_cast<unsigned char>(out[p])) || out[p] == '.')) ++p;
        if (p < out.size() && (out[p] == 'E' || out[p] == 'e')) {
            ++p;
            if (p < out.size() && (out[p] == '+' || out[p] == '-')) ++p;
            while (p < out.size() && std::isdigit(static_cast<unsigned char>(out[p]))) ++p;
        }
        int braces = 0;
        bool delimiter = false;
        for (; p < out.size(); ++p) {
            if (out[p] == '{') ++braces;
            else if (out[p] == '}') --braces;
            else if (braces == 0 && out[p] != ' ' && IsDelimiter(out[p])) delimiter = true;
        }
        // "{A}*{B}" begins and ends with a brace but is no braced whole: the first brace must be
        // the one that closes at the end.
        const bool braced = !out.empty() && out.front() == '{' && MatchingBrace(out, 0) == out.size() - 1;
        if (delimiter && !braced) out = "{" + out + "}";
    }
    return out;
}

namespace {

// The instance name of a scope's call as the export writes it, and the names of the scopes
// around it up to the given one, joined by "." (ngspice and PSpice name a node inside a call so).
std::string ExportedInstancePath(int inner, int outer)
{
    std::string path;
    for (int s = inner; s > 0 && s != outer;) {
        const auto& scopes = NetlistReader().scopes;
        const SchematicItem* call = static_cast<std::size_t>(s) < scopes.size() ? scopes[static_cast<std::size_t>(s)].call : nullptr;
        const std::string part = call ? GetExportPartName(call) : std::string(FindScope(s) ? FindScope(s)->Part() : "");
        path = path.empty() ? part : part + "." + path;
        const SubcktScope* entry = FindScope(s);
        s = entry ? entry->parent : 0;
    }
    return path;
}

// The node a name of the form "X2.TAP" (a node inside a call, seen from the scope) stands for,
// written as the netlist names it: the outer node's name when the node is one of the call's
// pins, else the instance path and the name inside the call. Empty when the name is no such node.
std::string NodeInsideCall(const std::string& name, int scope)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size()) return {};
    const std::string path = QualifyNameWithScope(name.substr(0, dot), scope);
    const auto& scopes = NetlistReader().scopes;
    for (std::size_t s = 1; s < scopes.size(); ++s) {
        if (!EqualsNoCase(ScopePath(static_cast<int>(s)), path)) continue;
        const std::string local = name.substr(dot + 1);
        std::int32_t node = LookupNodeNumber(CircuitNodeTable(), local, static_cast<int>(s), kNodeAnalog);
        if (node < 0) return {};
        // A pin of the call is a node of the scope around it: climb while it is one.
        int inner = static_cast<int>(s);
        bool named = false;
        while (inner > 0 && inner != scope && !named) {
            const ScopeExpansion& info = scopes[static_cast<std::size_t>(inner)];
            if (!info.call) break;
            const std::vector<std::int32_t>& pinMap = info.MacroPart().pinMap;
            bool pin = false;
            for (int i = 0; i < info.call->PinCount() && !pin; ++i) {
                const std::int32_t inside = info.macro ? (static_cast<std::size_t>(i) < pinMap.size() ? pinMap[static_cast<std::size_t>(i)] : -1)
                                                       : info.call->pinNodes[static_cast<std::size_t>(i)];
                if (inside == node && node > 0) {
                    node = info.call->pinNodes[static_cast<std::size_t>(i)];
                    pin = true;
                }
            }
            if (!pin) named = true;
            else inner = FindScope(inner) ? FindScope(inner)->parent : 0;
        }
        if (node == 0) return "0";
        if (!named) return GetSpiceNodeName(node, scope);
        // A copied SPICE text subcircuit keeps the names of its text, numbers too.
        std::string inside = GetSpiceNodeName(node, inner);
        if (scopes[static_cast<std::size_t>(inner)].kind == kComponentSubckt) {
            inside = FindNodeNameFromEnd(CircuitNodeTable(), node, inner, kNodeAnalog);
            inside = CopyUpperCase(inside.substr(inside.rfind('.') + 1));
        }
        return ExportedInstancePath(inner, scope) + "." + inside;
    }
    return {};
}

}  // namespace

std::string MapNodeReferences(std::string_view text, int scope, bool brackets)
{
    // Node names stand inside the argument lists of the voltage functions (V, VDB, VM, VP, VR,
    // VI); other tokens (numbers, parameters) are not node references and stay as they are.
    const std::string upper = CopyUpperCase(text);
    std::string out;
    std::size_t i = 0;
    while (i < upper.size()) {
        if (!IsNameChar(upper[i])) {
            out += upper[i++];
            continue;
        }
        std::size_t end = i;
        while (end < upper.size() && IsNameChar(upper[end])) ++end;
        const std::string token = upper.substr(i, end - i);
        out += token;
        i = end;
        const bool voltage = !token.empty() && token.front() == 'V' && token.size() <= 3 && i < upper.size() &&
                             upper[i] == '(';
        if (!voltage) continue;
        const std::size_t close = upper.find(')', i);
        if (close == std::string::npos) continue;
        out += '(';
        std::string_view args(upper.data() + i + 1, close - i - 1);
        bool firstArg = true;
        while (true) {
            const std::size_t comma = args.find(',');
            std::string name(args.substr(0, comma));
            while (!name.empty() && name.front() == ' ') name.erase(0, 1);
            while (!name.empty() && name.back() == ' ') name.pop_back();
            bool bracketed = name.size() > 2 && name.front() == '[' && name.back() == ']';
            if (bracketed) name = name.substr(1, name.size() - 2);
            std::string written = NodeInsideCall(name, scope);
            if (written.empty()) {
                const std::int32_t node = LookupNodeNumber(CircuitNodeTable(), name, scope, 0);
                written = node >= 0 ? GetSpiceNodeName(node, scope) : name;
            }
            if (brackets && !Is2G() && !written.empty() && !std::isdigit(static_cast<unsigned char>(written[0])))
                written = "[" + written + "]";
            if (!firstArg) out += ',';
            out += written;
            firstArg = false;
            if (comma == std::string_view::npos) break;
            args.remove_prefix(comma + 1);
        }
        out += ')';
        i = close + 1;
    }
    return CopyUpperCase(out);
}

std::string ConvertExpressionToSpice(std::string_view text, int scope)
{
    const std::string mapped = MapNodeReferences(text, scope, false);
    std::string out;
    for (std::size_t i = 0; i < mapped.size();) {
        if (!IsNameChar(mapped[i])) {
            out += mapped[i++];
            continue;
        }
        std::size_t end = i;
        // A number keeps its decimal point and exponent sign with it.
        if (std::isdigit(static_cast<unsigned char>(mapped[i])) || mapped[i] == '.') {
            while (end < mapped.size() &&
                   (IsNameChar(mapped[end]) ||
                    ((mapped[end] == '-' || mapped[end] == '+') && (mapped[end - 1] == 'E'))))
                ++end;
            out.append(mapped, i, end - i);
            i = end;
            continue;
        }
        while (end < mapped.size() && IsNameChar(mapped[end])) ++end;
        const std::string_view token(mapped.data() + i, end - i);
        std::string_view written = token;
        for (const FunctionRewrite& row : kSpiceFunctionRewriteTable)
            if (token == row.program) written = row.spice;
        out += written;
        i = end;
    }
    return out;
}

// ---- models ----------------------------------------------------------------------------

bool NeedsSpiceNamePrefix(std::string_view name)
{
    return Is2G() && !name.empty() && std::isdigit(static_cast<unsigned char>(name.front()));
}

std::string ModelNameText(std::string_view name)
{
    std::string text(NeedsSpiceNamePrefix(name) ? "_" : "");
    text += name;
    return text;
}

void AppendModelParameters(std::string& line, const ModelStatement& model)
{
    if (Is2G())
        line += CopyUpperCase(model.paramText) + "\n";
    else
        line += "(" + model.paramText + ")\n";
}

namespace {

// Spice3 names the length and width terms of the BSIM1 and BSIM2 parameters VFB, PHI, K1 and
// K2 with a leading L or W (LVFB), and those of BSIM2's ETA0 LETA0 and WETA0.
void RenameBsimTerms(std::string& text)
{
    std::string level;
    if (GetModelParamValue(text, "LEVEL", 1.0, level) != 0) return;
    const double number = ParseNumber(level);
    if (number != 4.0 && number != 5.0) return;
    std::vector<std::pair<std::string, std::string>> names;
    for (const char* base : {"VFB", "PHI", "K1", "K2"})
        for (const char* side : {"L", "W"}) names.emplace_back(std::string(base) + side, std::string(side) + base);
    if (number == 5.0) {
        names.emplace_back("LETA", "LETA0");
        names.emplace_back("WETA", "WETA0");
    }
    std::string renamed;
    for (const auto& [ours, theirs] : names) {
        const std::string assignment = FindModelParam(text, ours, true);
        if (!assignment.empty()) renamed += " " + theirs + assignment.substr(ours.size());
    }
    text += renamed;
}

}  // namespace

int PrepareModelsForDialect()
{
    const SpiceDialect dialect = ExportRun().dialect;
    for (ModelStatement& model : Models().statements) {
        if (model.name.empty()) continue;
        std::string& text = model.paramText;
        std::string value;
        if (model.type == kModelPul) {
            static constexpr const char* kNames[] = {"VZERO", "VONE", "P1", "P2", "P3", "P4", "P5"};
            static constexpr double kDefaults[] = {0.0, 5.0, 100e-9, 110e-9, 500e-9, 510e-9, 1e-6};
            std::string texts[7];
            double values[7];
            for (int i = 0; i < 7; ++i) {
                if (int rc = GetModelParamValue(text, kNames[i], kDefaults[i], texts[i])) return rc;
                values[i] = ParseNumber(texts[i]);
            }
            text = texts[0] + " " + texts[1] + " " +
                   StrPrintf("%lg %lg %lg %lg %lg", values[2], values[3] - values[2], values[5] - values[4],
                             values[4] - values[3], values[6]);
            continue;
        }
        if (model.type == kModelSin) {
            model.instanceText = text;
            std::string dc, a, f;
            if (int rc = GetModelParamValue(text, "DC", 0.0, dc)) return rc;
            if (int rc = GetModelParamValue(text, "A", 1.0, a)) return rc;
            if (int rc = GetModelParamValue(text, "F", 1e6, f)) return rc;
            std::string ph;
            if (int rc = GetModelParamValue(text, "PH", 0.0, ph)) return rc;
            text = dc + " " + a + " " + f;
            // The model's phase is in radians. SPICE 2G has no phase field: there the same wave
            // starts early by a negative delay.
            if (const double phase = ParseNumber(ph); phase != 0.0) {
                if (dialect != kSpiceDialect2G)
                    text += StrPrintf(" 0 0 %lg", phase * 180.0 / M_PI);
                else if (const double frequency = ParseNumber(f); frequency != 0.0)
                    text += StrPrintf(" %lg", -phase / (2.0 * M_PI * frequency));
            }
            continue;
        }
        if (model.type == kModelOpa) continue;
        if (dialect == kSpiceDialect2G && (model.type == kModelNmos || model.type == kModelPmos)) {
            model.instanceText.clear();
            for (const char* size : {"L", "W"}) {
                const std::string assignment = FindModelParam(text, size, true);
                if (!assignment.empty()) model.instanceText += " " + assignment;
            }
            for (const char* name : {"NSUB", "NSS", "NFS"}) {
                std::string v;
                if (GetModelParamValue(text, name, 0.0, v) == 0 && ParseNumber(v) == 0.0) FindModelParam(text, name, true);
            }
        }
        if (dialect == kSpiceDialectSpice3 && (model.type == kModelNmos || model.type == kModelPmos)) RenameBsimTerms(text);
        const ModelTypeRow* row = FindModelTypeRow(model.row);
        if (!row) continue;
        for (const ModelParamDesc& param : row->Params()) {
            if (!ParamExistsInDialect(param.flags, dialect)) {
                FindModelParam(text, param.name, true);
                continue;
            }
            // Digital delays left unspecified (-1) are the simulator's business, not the netlist's.
            if (row->unsetTiming && param.valueKind == kParamNumber && GetModelParamValue(text, param.name, 0.0, value) == 0 &&
                !value.empty() && ParseNumber(value) == -1.0)
                FindModelParam(text, param.name, true);
        }
    }
    return 0;
}

namespace {

// The R, C and L models of Spice3 carry the temperature coefficients and the temperature they
// were measured at; the parts write the value multiplier and the device temperature.
std::string Spice3PassiveModelLine(const ModelStatement& model)
{
    const char* type = model.type == kModelRes ? "R" : model.type == kModelCap ? "C" : "L";
    std::string text = model.paramText;
    std::string params;
    for (const char* name : {"TC1", "TC2", "TCE"}) {
        const std::string assignment = FindModelParam(text, name, false);
        if (!assignment.empty()) params += (params.empty() ? "" : " ") + assignment;
    }
    if (!FindModelParam(text, "T_MEASURED", false).empty()) {
        std::string tnom;
        GetModelParamValue(text, "T_MEASURED", 0.0, tnom);
        params += (params.empty() ? "TNOM=" : " TNOM=") + tnom;
    }
    return StrPrintf(".MODEL %s %s (%s)\n", model.name.c_str(), type, params.c_str());
}

// A .PRINT or .PLOT line of a text circuit as other simulators read it: an expression this
// program keeps in braces ({V(2)*1E-12}, refused by ngspice) is written as a plain item
// (V(2)*1E-12), without blanks so that it stays one item, and in SPICE's output-variable form
// where it has one ({DB(V(2))} as VDB(2)).
std::string WithoutBracedOutputItems(const std::string& line)
{
    std::string out;
    for (std::size_t i = 0; i < line.size();) {
        if (line[i] != '{') {
            out += line[i++];
            continue;
        }
        const std::size_t end = MatchingBrace(line, i);
        if (end == std::string::npos) return line;
        std::string expression = line.substr(i + 1, end - i - 1);
        std::erase_if(expression, [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; });
        out += PrintPlotVariableText(expression);
        i = end + 1;
    }
    return out;
}

// Whether an output item names a node or part inside a call (V(X1.M)): a name with a dot in it.
bool NamesInsideCall(const std::string& item)
{
    for (std::size_t i = 0; i < item.size();) {
        if (!IsNameChar(item[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < item.size() && IsNameChar(item[end])) ++end;
        // A number (1.5E) keeps its decimal point.
        if (!std::isdigit(static_cast<unsigned char>(item[i])) && item[i] != '.' &&
            item.find('.', i) < end)
            return true;
        i = end;
    }
    return false;
}

// SPICE 2G's output lines name only the main circuit's nodes and parts (ngspice reads V(X1.M),
// SPICE 2G does not): an item inside a call is left out of a .PRINT or .PLOT line, with the plot
// limits that follow it, and a warning. The line with its line end; only the warnings when no
// item is left.
std::string Spice2GOutputLineText(const std::string& line)
{
    if (!Is2G()) return line + "\n";
    std::string joined = line;
    JoinContinuationLines(joined);
    std::istringstream words(joined);
    std::string keyword, analysis;
    words >> keyword >> analysis;
    std::string kept = keyword + " " + analysis;
    std::string notes;
    bool any = false;
    bool dropping = false;
    for (std::string word; words >> word;) {
        // Limits begin with a number or a parenthesis, items with a letter.
        if (!std::isalpha(static_cast<unsigned char>(word[0]))) {
            if (!dropping) kept += " " + word;
            continue;
        }
        dropping = NamesInsideCall(word);
        if (dropping) {
            notes += StrPrintf("* Warning: %s %s %s is left out: only the main circuit's nodes and parts can be printed\n",
                               keyword.c_str(), analysis.c_str(), word.c_str());
            continue;
        }
        kept += " " + word;
        any = true;
    }
    if (notes.empty()) return line + "\n";
    return (any ? kept + "\n" : std::string()) + notes;
}

// Spice3 prints the parts of a complex current as functions of the current (I(V1)); it reads
// no IM(V1), IR(V1) ... and prints nothing of a line that holds one. A current written with a
// suffix becomes that function: IM(V1) is written mag(I(V1)). Nor has it I(R1) or I(C1), a
// resistor's or capacitor's current: outside an AC analysis ngspice gives it as @R1[i].
std::string Spice3CurrentItems(const std::string& line, bool ac)
{
    struct Suffix {
        std::string_view suffix, function;
    };
    static constexpr Suffix kSuffixes[] = {{"DB", "db"}, {"M", "mag"}, {"R", "real"}, {"I", "imag"}, {"P", "ph"}, {"", ""}};
    std::string out;
    for (std::size_t i = 0; i < line.size();) {
        // An expression in braces is this program's: its IM() is the imaginary part.
        if (line[i] == '{') {
            const std::size_t end = MatchingBrace(line, i);
            const std::size_t next = end == std::string::npos ? line.size() : end + 1;
            out.append(line, i, next - i);
            i = next;
            continue;
        }
        const bool itemStart = i == 0 || !(std::isalnum(static_cast<unsigned char>(line[i - 1])) || line[i - 1] == '_' ||
                                           line[i - 1] == '$' || line[i - 1] == '.');
        const Suffix* match = nullptr;
        if (itemStart && (line[i] == 'I' || line[i] == 'i'))
            for (const Suffix& entry : kSuffixes) {
                const std::size_t open = i + 1 + entry.suffix.size();
                if (open < line.size() && line[open] == '(' &&
                    EqualsNoCase(std::string_view(line).substr(i + 1, entry.suffix.size()), entry.suffix)) {
                    match = &entry;
                    break;
                }
            }
        const std::size_t open = match ? i + 1 + match->suffix.size() : 0;
        const std::size_t close = match ? line.find(')', open) : std::string::npos;
        if (close == std::string::npos) {
            out += line[i++];
            continue;
        }
        const std::string name = line.substr(open + 1, close - open - 1);
        if (!match->function.empty()) {
            out += std::string(match->function) + "(I" + line.substr(open, close - open + 1) + ")";
        } else if (!ac && !name.empty() && (std::toupper(static_cast<unsigned char>(name[0])) == 'R' ||
                                             std::toupper(static_cast<unsigned char>(name[0])) == 'C') &&
                   name.find_first_of(".,") == std::string::npos) {
            out += "@" + name + "[i]";
        } else {
            out += line.substr(i, close + 1 - i);
        }
        i = close + 1;
    }
    return out;
}

}  // namespace

std::string Spice3MesfetModelLine(const ModelStatement& model)
{
    // The Raytheon (Statz) GaAsFET is ngspice's MESFET level 1; the other levels and what that
    // model lacks have no Spice3 form. Defaults differ, so every value is written.
    struct Carried {
        const char* name;
        const char* spiceName;
        double fallback;
    };
    static constexpr Carried kCarried[] = {
        {"VTO", "VTO", -2.5}, {"ALPHA", "ALPHA", 2.0}, {"BETA", "BETA", 0.1}, {"B", "B", 0.3},
        {"LAMBDA", "LAMBDA", 0.0}, {"RD", "RD", 0.0}, {"RS", "RS", 0.0}, {"IS", "IS", 1e-14},
        {"CGS", "CGS", 0.0}, {"CGD", "CGD", 0.0}, {"VBI", "PB", 1.0}, {"FC", "FC", 0.5},
        {"KF", "KF", 0.0}, {"AF", "AF", 1.0},
    };
    struct Left {
        const char* name;
        double fallback;
    };
    static constexpr Left kLeft[] = {
        {"GAMMA", 0.0}, {"DELTA", 0.0}, {"Q", 2.0}, {"TAU", 0.0}, {"RG", 0.0}, {"N", 1.0}, {"M", 0.5},
        {"CDS", 0.0}, {"VDELTA", 0.2}, {"VMAX", 0.5}, {"EG", 1.11}, {"XTI", 0.0}, {"VTOTC", 0.0},
        {"BETATCE", 0.0}, {"TRG1", 0.0}, {"TRD1", 0.0}, {"TRS1", 0.0},
    };
    const std::string& text = model.paramText;
    auto valueOf = [&](const char* name, double fallback) {
        std::string value;
        GetModelParamValue(text, name, fallback, value);
        return value;
    };
    if (ParseNumber(valueOf("LEVEL", 1.0)) != 2.0) return {};
    for (const Left& left : kLeft)
        if (ParseNumber(valueOf(left.name, left.fallback)) != left.fallback) return {};
    for (const char* name : {"T_MEASURED", "T_ABS", "T_REL_GLOBAL", "T_REL_LOCAL"})
        if (ModelParamGiven(text, name)) return {};
    std::string params = "LEVEL=1";
    for (const Carried& carried : kCarried) params += StrPrintf(" %s=%s", carried.spiceName, valueOf(carried.name, carried.fallback).c_str());
    return StrPrintf(".MODEL %s NMF (%s)\n", model.name.c_str(), params.c_str());
}

namespace {

const ModelStatement* AkoBaseOf(const ModelStatement& model)
{
    const std::vector<ModelStatement>& statements = Models().statements;
    if (model.akoIndex >= 0 && static_cast<std::size_t>(model.akoIndex) < statements.size())
        return &statements[static_cast<std::size_t>(model.akoIndex)];
    const ModelStatement* found = nullptr;
    for (const ModelStatement& other : statements)
        if (&other != &model && EqualsNoCase(other.name, model.akoName) && (other.scope == model.scope || other.scope == 0) &&
            (!found || other.scope == model.scope))
            found = &other;
    return found;
}

// SPICE 2G and Spice3 have no AKO models: the model's parameters after its base's, less those
// it gives itself (upper case, as names are matched).
std::string WholeAkoParameters(const ModelStatement& model, int depth = 0)
{
    std::string own = CopyUpperCase(model.paramText);
    const ModelStatement* base = model.akoName.empty() || depth > 50 ? nullptr : AkoBaseOf(model);
    if (!base) return own;
    std::string inherited = WholeAkoParameters(*base, depth + 1);
    for (std::size_t eq = own.find('='); eq != std::string::npos; eq = own.find('=', eq + 1)) {
        std::size_t end = eq;
        while (end > 0 && own[end - 1] == ' ') --end;
        std::size_t start = end;
        while (start > 0 && own[start - 1] != ' ' && own[start - 1] != '\n' && own[start - 1] != '+') --start;
        if (start < end) FindModelParam(inherited, std::string_view(own).substr(start, end - start), true);
    }
    while (!own.empty() && own.front() == ' ') own.erase(0, 1);
    if (own.empty()) return inherited;
    return inherited.empty() ? own : inherited + " " + own;
}

}  // namespace

int ExportModelStatements(int scope)
{
    std::vector<std::string> written;
    for (const ModelStatement& statement : Models().statements) {
        if (statement.name.empty() || statement.scope != scope) continue;
        ModelStatement whole;
        if (!statement.akoName.empty() && (Is2G() || IsSpice3())) {
            whole = statement;
            whole.paramText = WholeAkoParameters(statement);
            whole.akoName.clear();
        }
        const ModelStatement& model = whole.name.empty() ? statement : whole;
        const ModelTypeRow* row = FindModelTypeRow(model.type);
        if (!row) continue;
        const std::string key = model.name + "\x01" + row->name;
        if (std::find(written.begin(), written.end(), key) != written.end()) continue;
        written.push_back(key);
        if (Is2G() && row->domain != kModelDomainAnalog) continue;
        if (Is2G() && model.type == kModelGasfet) {
            AddSpiceLine(scope, "* Error: gaasfets are not supported by spice.\n", false);
            continue;
        }
        if (model.type == kModelOpa || model.type == kModelPul || model.type == kModelSin) continue;
        // Spice3's switches are written as behavioural sources that carry their model's values.
        if (IsSpice3() && (model.type == kModelVswitch || model.type == kModelIswitch)) continue;
        // Its lines carry their model's values.
        if (IsSpice3() && model.type == kModelTrn) continue;
        if (!model.memo.empty()) AddSpiceLine(scope, StrPrintf("*** %s\n", model.memo.c_str()));
        if (IsSpice3() && model.type == kModelGasfet) {
            // A model without a Spice3 form: its parts say so.
            if (const std::string line = Spice3MesfetModelLine(model); !line.empty()) AddSpiceLine(scope, line);
            continue;
        }
        if (IsSpice3() && (model.type == kModelRes || model.type == kModelCap || model.type == kModelInd)) {
            AddSpiceLine(scope, Spice3PassiveModelLine(model));
            continue;
        }
        // Spice3 (ngspice) knows the lateral PNP as a PNP whose substrate lies at its base.
        const bool lateral = IsSpice3() && model.type == kModelLpnp;
        std::string line = StrPrintf(".MODEL %s %s%s ", ModelNameText(model.name).c_str(),
                                     model.akoName.empty() ? "" : ("AKO:" + model.akoName + " ").c_str(),
                                     lateral ? "PNP" : row->name);
        if (lateral) {
            ModelStatement pnp = model;
            pnp.paramText = "SUBS=-1 " + pnp.paramText;
            AppendModelParameters(line, pnp);
        } else {
            AppendModelParameters(line, model);
        }
        AddSpiceLine(scope, line);
    }
    return 0;
}

void ExportParamLines(int scope)
{
    for (const DefineRow& row : NetlistReader().defines) {
        if (!IsParamRow(row) || row.scope != scope) continue;
        // A .param value is one expression: braces inside it are more than readers take.
        std::string body = row.body;
        if (body.size() > 1 && body.front() == '{' && body.back() == '}') body = body.substr(1, body.size() - 2);
        const std::string value = BraceParamReferencesIn(body, scope, true, false);
        AddSpiceLine(scope, StrPrintf(".param %s=%s\n", row.name.c_str(), value.c_str()), false);
    }
}

// ---- control lines ---------------------------------------------------------------------

std::string OptionsLineText()
{
    const std::uint16_t mask = SpiceDialectIdsOf(ExportRun().dialect).optionMask;
    std::string text = ".OPTIONS ACCT LIST OPTS ";
    for (int i = 0; i < kGlobalOptionCount; ++i) {
        const GlobalOptionRow& row = GlobalOptionsTable()[static_cast<std::size_t>(i)];
        if (!(row.dialectMask & mask)) continue;
        const double value = GlobalOptionValue(i);
        const std::string_view name(row.name);
        if ((name == "DEFAD" || name == "DEFAS") && value == 0.0) continue;
        switch (row.type) {
        case kOptionDouble: {
            const double fromText = ParseNumber(row.defaultText);
            if (!ParseError() && fromText == value)
                text += StrPrintf(" %s=%s", row.name, row.defaultText);
            else
                text += StrPrintf(" %s=%.15g", row.name, value);
            break;
        }
        case kOptionFlag:
            if (value != 0.0) text += StrPrintf(" %s", row.name);
            break;
        default: text += StrPrintf(" %s=%d", row.name, static_cast<int>(value)); break;
        }
    }
    if (ExportRun().dialect == kSpiceDialectSpice3)
        text += StrPrintf(" METHOD=%s", GlobalOptions().integrationMethod == kMethodTrap ? "TRAP" : "GEAR");
    return text + "\n*\n";
}

std::string TempLineText(std::string_view temperatures)
{
    std::string text(temperatures);
    std::replace(text.begin(), text.end(), ',', ' ');
    std::vector<std::string> parts;
    for (std::size_t i = 0; i < text.size();) {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        std::size_t end = i;
        while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
        if (end > i) parts.push_back(text.substr(i, end - i));
        i = end;
    }
    if (parts.empty()) return {};
    if (parts.size() == 1) return ".TEMP " + parts[0];
    if (parts.size() == 2) return ".TEMP " + parts[1] + " " + parts[0];
    const double first = ParseNumber(parts[0]);
    const double second = ParseNumber(parts[1]);
    const double step = std::fabs(ParseNumber(parts[2]));
    const double upper = std::max(first, second);
    const double lower = std::min(first, second);
    std::string line = ".TEMP";
    // Every temperature the range names, counted (not summed) so that the list is finite and
    // ends on the upper value whatever the step's sign; a step of 0 names the lower value only.
    // Bounded as the analyses bound their runs: a list no analysis would walk is not written
    // either (0,1000000,0.001 would otherwise name a billion values).
    long long count = 1;
    if (step > 0.0 && upper > lower && std::isfinite(upper) && std::isfinite(lower)) {
        const double steps = std::floor((upper - lower) / step * (1 + 1e-12)) + 1;
        count = steps >= static_cast<double>(kMaxAnalysisRuns) ? kMaxAnalysisRuns : static_cast<long long>(steps);
    }
    for (long long k = 0; k < count; ++k) line += StrPrintf(" %lg", lower + static_cast<double>(k) * step);
    return line;
}

// The keyword and items of a line as the circuit build reads them: a letter, its arguments in
// parentheses, "=" (which may be left out) and a value. False when the line reads otherwise.
bool ReadInitialItems(const std::string& line, std::string& keyword, std::vector<InitialItem>& items)
{
    std::string joined = line;
    JoinContinuationLines(joined);
    CollapseLineBreaks(joined);
    if (TokenizeNetlistLine(joined) != 0 || JoinBraceGroupTokens() != 0) return false;
    keyword = Token(0);
    int i = 1;
    while (!Token(i).empty()) {
        InitialItem item;
        item.letter = CopyUpperCase(Token(i));
        if (Token(i + 1) != "(") return false;
        item.first = Token(i + 2);
        item.pair = Token(i + 3) == ",";
        if (item.pair) item.second = Token(i + 4);
        i += item.pair ? 5 : 3;
        if (Token(i++) != ")") return false;
        if (Token(i) == "=") ++i;
        item.value = Token(i++);
        if (item.value.empty()) return false;
        items.push_back(std::move(item));
    }
    return true;
}

namespace {

// The main circuit's .IC and .NODESET lines as the export reads them: the schematic's texts
// (their .DEFINEs substituted), then the netlist's own lines; node names mapped.
std::vector<std::string> MainInitialLines()
{
    std::vector<std::string> lines;
    for (NetlistTextObject& object : ListRecords<NetlistTextObject>(CircuitTextObjects())) {
        if (object.disabled || object.sourceFile.size() || object.node >= 0) continue;
        if (MatchDotKeyword(object.text, kDotIc) == 0 && MatchDotKeyword(object.text, kDotNodeset) == 0) continue;
        std::string expanded;
        if (SubstituteDefines(expanded, 0, object.text) != 0) expanded = object.text;
        lines.push_back(MapNodeReferences(expanded, 0, false));
    }
    // A netlist's own .IC and .NODESET lines wait for the build in the reader's list.
    for (const DeferredInitialLine& line : NetlistReader().deferredInitialLines)
        if (line.scope == 0) lines.push_back(MapNodeReferences(line.text, 0, false));
    return lines;
}

}  // namespace

std::map<std::string, InductorHold>& MainInductorHolds()
{
    SpiceExportRun& run = ExportRun();
    if (run.inductorHoldsMade || !(Is2G() || IsSpice3())) return run.inductorHolds;
    run.inductorHoldsMade = true;
    // The last .IC of an inductor wins, as in the build.
    for (const std::string& line : MainInitialLines()) {
        std::string keyword;
        std::vector<InitialItem> items;
        if (!ReadInitialItems(line, keyword, items) || !EqualsNoCase(keyword, ".IC")) continue;
        for (const InitialItem& item : items)
            if (item.letter == "I" && !item.pair)
                run.inductorHolds[CopyUpperCase(item.first)] = InductorHold{BraceParamReferences(item.value, 0, true)};
    }
    return run.inductorHolds;
}

// SPICE 2G and Spice3 set only the voltages of single nodes by .IC and .NODESET, where this
// program also takes the voltage between two (V(2,3)=1) and an inductor's current (I(L1)=1M):
// a voltage against ground is written as its other node's, an inductor's .IC current goes on
// the inductor's line (where it holds only with UIC), and any other such item is left out of
// the line with a warning. SPICE 2G takes no .IC or .NODESET inside a subcircuit at all. PSpice
// takes the line as it stands.
std::string InitialLineText(const std::string& line, bool inSubcircuit, const std::set<std::string>& carried)
{
    if (!(Is2G() || IsSpice3())) return line + "\n";
    std::string keyword;
    std::vector<InitialItem> items;
    if (!ReadInitialItems(line, keyword, items)) return line + "\n";
    const bool ic = EqualsNoCase(keyword, ".IC");
    // The currents a copied definition's inductors carry on their own lines.
    if (ic && inSubcircuit)
        std::erase_if(items, [&](const InitialItem& item) { return item.letter == "I" && carried.count(CopyUpperCase(item.first)); });
    auto itemText = [](const InitialItem& item) {
        std::string text = item.letter + "(" + item.first;
        if (item.pair) {
            text += ',';
            text += item.second;
        }
        return text + ")=" + item.value;
    };
    if (inSubcircuit && Is2G()) {
        if (items.empty()) return {};
        std::string all = keyword;
        for (const InitialItem& item : items) {
            all += ' ';
            all += itemText(item);
        }
        return StrPrintf("* Warning: %s is left out: no %s can stand inside a subcircuit\n", all.c_str(),
                         CopyUpperCase(keyword).c_str());
    }
    std::string kept = keyword;
    std::string notes;
    for (const InitialItem& item : items) {
        if (item.letter == "V" && (!item.pair || item.second == "0")) {
            kept += " V(" + item.first + ")=" + item.value;
            continue;
        }
        if (item.letter == "V" && item.first == "0") {
            kept += " V(" + item.second + ")=" + NegatedValueText(item.value);
            continue;
        }
        if (item.letter == "I" && ic && !inSubcircuit) {
            const auto hold = MainInductorHolds().find(CopyUpperCase(item.first));
            if (hold != MainInductorHolds().end() && hold->second.written) {
                // One warning for an inductor that several items set.
                if (!hold->second.warned)
                    notes += StrPrintf("* Warning: %s IC=%s is used only with UIC\n", item.first.c_str(),
                                       hold->second.value.c_str());
                hold->second.warned = true;
                continue;
            }
        }
        notes += StrPrintf("* Warning: %s %s is left out: only the voltages of single nodes can be set\n",
                           keyword.c_str(), itemText(item).c_str());
    }
    if (kept == keyword) return notes;
    return kept + "\n" + notes;
}

void ExportControlLines()
{
    SpiceExportRun& run = ExportRun();
    for (const std::string& line : MainInitialLines()) AddSpiceLine(0, InitialLineText(line, false), false);
    if (const std::string holds = CapacitorHoldLines(0); !holds.empty()) AddSpiceLine(0, holds, false);
    AddSpiceLine(0, OptionsLineText(), false);
    // Spice3 has no library of whole files (ngspice's .LIB names a section of one and refuses a
    // line without): what the circuit takes from its libraries is written into the netlist.
    if (!Is2G() && !IsSpice3()) {
        // The program's default library is this program's own: what the circuit takes from it
        // (models, subcircuits) is written into the netlist, and other simulators cannot read it.
        // The libraries are the exported circuit's (the list follows them only at a model lookup,
        // and may still hold those of the circuit built before), then those registered directly.
        const std::string defaultLibrary = ResolveLibraryPath("");
        std::vector<std::string> paths = CircuitLibraries();
        for (const LibraryListEntry& entry : Libraries().lists[kCircuitLibraryList])
            if (entry.direct && std::none_of(paths.begin(), paths.end(),
                                             [&](const std::string& path) { return EqualsNoCase(path, entry.path); }))
                paths.push_back(entry.path);
        for (const std::string& path : paths)
            // A binary model library is this program's format too: the models taken from it are
            // written as .MODEL lines.
            if ((!run.record || !EqualsNoCase(path, run.record->title)) && !EqualsNoCase(path, defaultLibrary) &&
                std::filesystem::exists(path) && !IsBinaryModelLibrary(path))
                AddSpiceLine(0, StrPrintf(".LIB \"%s\"\n", path.c_str()), false);
        AddSpiceLine(0, "*\n", false);
    }
    const AnalysisLimits* limits = Limits();
    bool tempWritten = false;
    auto temperature = [&](const std::string& text) {
        if (tempWritten) return;
        tempWritten = true;
        const std::string line = TempLineText(text.empty() ? std::string("27") : text);
        if (!line.empty()) AddSpiceLine(0, line + "\n", false);
    };
    auto printLines = [&](int kind) {
        auto addOutputLine = [&](const std::string& line) {
            const std::string items = WithoutBracedOutputItems(IsSpice3() ? Spice3CurrentItems(line, kind == kAnalysisAc) : line);
            AddSpiceLine(0, Spice2GOutputLineText(MapNodeReferences(items, 0, false)), false);
        };
        if (run.record && run.record->kind == kWindowTextCircuit) {
            // A text circuit's own .PRINT and .PLOT lines of the analysis, as it states them.
            const char* word = kind == kAnalysisTransient ? "TRAN" : kind == kAnalysisAc ? "AC" : "DC";
            int depth = 0;
            for (const std::string& line : SpiceTextLogicalLines(run.record->textArea)) {
                std::istringstream words(line);
                std::string keyword, analysis;
                words >> keyword >> analysis;
                if (EqualsNoCase(keyword, ".SUBCKT")) ++depth;
                if (EqualsNoCase(keyword, ".ENDS") && depth > 0) --depth;
                if (depth == 0 && (EqualsNoCase(keyword, ".PRINT") || EqualsNoCase(keyword, ".PLOT")) &&
                    EqualsNoCase(analysis, word))
                    addOutputLine(line);
            }
            return;
        }
        for (char group = '0'; group <= '9'; ++group) {
            // Expressions come in braces, as a text circuit holds them, so that the Spice3 forms
            // of currents leave them alone; the braces go before the line is written.
            const PrintPlotLines lines = WritePrintPlotLines(run.record, kind, true, group, true);
            if (!lines.text.empty()) addOutputLine(lines.text);
        }
    };
    auto analysisLine = [&](const std::string& text) {
        if (!text.empty()) AddSpiceLine(0, text.back() == '\n' ? text : text + "\n", false);
    };
    if (!limits) return;
    if (run.analysisMask & kExportTransient) {
        temperature(limits->transient[kLimitTTemp]);
        analysisLine(WriteTranLine(run.record));
        printLines(kAnalysisTransient);
    }
    if (run.analysisMask & kExportAc) {
        temperature(limits->ac[kLimitATemp]);
        analysisLine(WriteAcLine(run.record));
        // Noise outputs among the plotted rows, or a netlist's own .NOISE line.
        bool noise = run.record->kind == kWindowTextCircuit && !limits->ac[kLimitNOutput].empty() &&
                     !limits->ac[kLimitNInput].empty();
        for (const LimitsRow& row : run.record->document->limitsRows[kAnalysisAc])
            if (row.plotGroup && (row.yExpression.find("ONOISE") != std::string::npos ||
                                  row.yExpression.find("INOISE") != std::string::npos))
                noise = true;
        if (noise) {
            std::string line = MapNodeReferences(WriteNoiseLine(run.record), 0, false);
            // Spice3 sweeps the noise itself: its .NOISE line carries the sweep of the .AC line.
            const std::string sweep = WriteAcLine(run.record);
            if (IsSpice3() && !line.empty() && sweep.rfind(".AC ", 0) == 0) {
                while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) line.pop_back();
                const std::size_t interval = line.rfind(' ');
                if (interval != std::string::npos) line.resize(interval);
                line += ' ';
                line.append(sweep, 4);
            }
            analysisLine(line);
        }
        printLines(kAnalysisAc);
    }
    if (run.analysisMask & kExportDc) {
        temperature(limits->dc[kLimitDTemp]);
        analysisLine(WriteDcLine(run.record));
        printLines(kAnalysisDc);
    }
}

}  // namespace kq5
