// Applying a statement's "NAME=value" list to an evaluated model, and the checks that follow.
#include <cmath>
#include <complex>
#include <new>

#include "core/analysis_state.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/expr_compiler.h"
#include "core/expr_evaluator.h"
#include "core/expr_symbols.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "netlist/model_statements.h"
#include "netlist/spice_messages.h"
#include "netlist/spice_tokens.h"

namespace kq5 {

namespace {

constexpr int kNoParam = -1;
constexpr int kUnknownParam = -2;  // its tolerance clauses go with it

struct ParamScanner {
    std::string_view text;
    std::size_t pos = 0;

    bool AtEnd() const { return pos >= text.size(); }
    char Peek() const { return AtEnd() ? '\0' : text[pos]; }
    void SkipBlanks()
    {
        while (!AtEnd() && HasCharClass(text[pos], kCharSpace)) ++pos;
    }
};

// What an error of the evaluation is reported with.
struct EvaluationContext {
    EvaluatedModel& model;
    ModelStatement& statement;
    ModelReportTarget target;
    bool textMode;
    int lastParam = kNoParam;
    // The LEVEL a bipolar card gives (the family has one model, the Gummel-Poon one); NaN when
    // it gives none.
    double bipolarLevel = std::nan("");
};

// "%ELEVEL must be 1.": a bipolar card of another model (VBIC, HICUM, MEXTRAM...) would
// otherwise run as Gummel-Poon with most of its parameters ignored.
constexpr int kMsgBipolarLevel = 14082;

bool IsBipolarRow(int row) { return row == kModelNpn || row == kModelPnp || row == kModelLpnp; }

template <class... Args>
int Fail(EvaluationContext& c, int id, Args&&... args)
{
    ShowOwnerErrorLocation(c.statement);
    ReportNetlistMessage("WLtE", c.target.window, c.target.scope, c.target.text, id, std::forward<Args>(args)...);
    return kMsgAlreadyReported;
}

std::string_view ReadName(ParamScanner& s)
{
    const std::size_t start = s.pos;
    while (!s.AtEnd() && !HasCharClass(s.Peek(), kCharSpace | kCharSeparator)) ++s.pos;
    return s.text.substr(start, s.pos - start);
}

// One value: a quoted text, or an optional sign and then a whole parenthesised or braced
// group or a number with its exponent and suffix letters; a '%' right after it belongs to it.
std::string_view ReadValue(ParamScanner& s, bool& quoted)
{
    quoted = false;
    const std::size_t start = s.pos;
    if (s.Peek() == '"') {
        quoted = true;
        const std::size_t close = s.text.find('"', s.pos + 1);
        s.pos = close == std::string_view::npos ? s.text.size() : close + 1;
        return s.text.substr(start, s.pos - start);
    }
    if (s.Peek() == '+' || s.Peek() == '-') ++s.pos;
    if (s.Peek() == '(' || s.Peek() == '{') {
        const char open = s.Peek(), close = open == '(' ? ')' : '}';
        int depth = 0;
        do {
            if (s.Peek() == open) ++depth;
            else if (s.Peek() == close) --depth;
            ++s.pos;
        } while (!s.AtEnd() && depth > 0);
    } else {
        while (!s.AtEnd()) {
            const char c = s.Peek();
            if (HasCharClass(c, kCharAlnum) || c == '.' || c == '_') {
                ++s.pos;
                // An exponent's sign stays with the number.
                if ((c == 'E' || c == 'e') && (s.Peek() == '+' || s.Peek() == '-') && s.pos + 1 < s.text.size() &&
                    HasCharClass(s.text[s.pos + 1], kCharDigit))
                    ++s.pos;
                continue;
            }
            break;
        }
    }
    if (s.Peek() == '%') ++s.pos;
    return s.text.substr(start, s.pos - start);
}

// The value of a number or an expression (braced or not), without reporting anything.
bool EvaluateQuietly(std::string_view text, double& value)
{
    value = ParseNumber(text);
    if (!ParseError()) return true;
    if (text.size() >= 2 && text.front() == '{' && text.back() == '}') text = text.substr(1, text.size() - 2);
    int id = 0;
    try {
        std::string written(text);
        CaretsToPowers(written);
        CompiledExpression expression;
        ExpressionRequest request;
        InitExpressionRecord(written, &expression, kContextNumberField, kItemNumber, request);
        request.quiet = true;
        id = CompileExpression(request);
        if (id == 0) {
            std::complex<double> result;
            id = EvaluateExpression(expression, result);
            value = result.real();
        }
        FreeCompiledExpression(expression);
    } catch (const std::bad_alloc&) {
        id = kMsgInsufficientMemory;
    }
    return id == 0 && std::isfinite(value);
}

// A tolerance: a number, or a percentage of the parameter's value.
bool EvaluateTolerance(std::string_view text, double reference, double& value)
{
    while (!text.empty() && HasCharClass(text.back(), kCharSpace)) text.remove_suffix(1);
    const bool percent = !text.empty() && text.back() == '%';
    if (percent) text.remove_suffix(1);
    if (!EvaluateQuietly(text, value)) return false;
    if (percent) value = value == 0.0 ? 0.0 : value / 100.0 * reference;
    return true;
}

// "LOT", "DEV/3", "DEV/GAUSS", "LOT/2/UNIFORM"...; 0 or 15055 after reporting.
int ApplyTolerance(EvaluationContext& c, std::string_view name, std::string_view value)
{
    const bool dev = name.substr(0, 3) == "DEV";
    const char* label = dev ? "Dev" : "Lot";
    std::string_view rest = name.substr(3);
    std::uint8_t number = kNoToleranceNumber;
    std::uint8_t distribution = 0;
    if (rest.size() >= 2 && rest[0] == '/' && HasCharClass(rest[1], kCharDigit)) {
        std::size_t digits = 1;
        while (digits < rest.size() && HasCharClass(rest[digits], kCharDigit)) ++digits;
        const std::string_view run = rest.substr(1, digits - 1);
        if (run.size() > 1) return Fail(c, 11863, label);
        number = static_cast<std::uint8_t>(run[0] - '0');
        rest.remove_prefix(digits);
    }
    if (!rest.empty() && rest[0] == '/') rest.remove_prefix(1);
    if (rest.substr(0, 5) == "GAUSS") {
        distribution = kDistributionGauss;
        rest.remove_prefix(5);
    } else if (rest.substr(0, 7) == "UNIFORM") {
        distribution = kDistributionUniform;
        rest.remove_prefix(7);
    }
    if (!rest.empty()) return Fail(c, 11903, rest);
    if (c.lastParam == kNoParam) return Fail(c, 11852, name);
    if (c.lastParam == kUnknownParam) return 0;

    const std::size_t slot = static_cast<std::size_t>(c.lastParam);
    if (c.textMode) {
        c.model.paramTexts[slot] += StrPrintf(" %.*s=%.*s", static_cast<int>(name.size()), name.data(),
                                              static_cast<int>(value.size()), value.data());
        return 0;
    }
    double tolerance = 0.0;
    if (!EvaluateTolerance(value, c.model.params[slot], tolerance)) return Fail(c, 11861, value, name);
    ModelTolerances& t = *c.model.tolerances;
    (dev ? t.dev : t.lot)[slot] = static_cast<float>(ClampToFloatRange(tolerance));
    (dev ? t.devNumber : t.lotNumber)[slot] = number;
    (dev ? t.devDistribution : t.lotDistribution)[slot] = distribution;
    return 0;
}

int ApplyParam(EvaluationContext& c, std::string_view name, std::string_view value, bool quoted)
{
    const int index = FindModelParamIndex(c.model.row, name);
    if (index < 0) {
        c.lastParam = kUnknownParam;
        if (name == "LEVEL" && IsBipolarRow(c.model.row) && !EvaluateQuietly(value, c.bipolarLevel))
            c.bipolarLevel = 0.0;
        return AddDeferredWarningSlot(name, c.model.statementIndex, kWarnUnknownModelParam);
    }
    const std::size_t slot = static_cast<std::size_t>(index);
    if (c.statement.given[slot] && AddDeferredWarningSlot(name, c.model.statementIndex, kWarnRepeatedModelParam))
        return kMsgAlreadyReported;
    c.statement.given[slot] = 1;
    c.lastParam = index;
    if (c.textMode) {
        c.model.paramTexts[slot].assign(value);
        return 0;
    }
    const std::string_view inner = quoted && value.size() >= 2 ? value.substr(1, value.size() - 2) : value;
    switch (FindModelParamDesc(c.model.row, index)->valueKind) {
    case kParamCharacter:
        c.model.params[slot] = MakeCharacterSlot(inner.empty() ? '\0' : ToUpperChar(inner.front()));
        return 0;
    case kParamText:
        (*c.model.textParams)[slot].assign(inner);
        return 0;
    default:
        break;
    }
    if (value.empty()) return Fail(c, 11901, "<value>", name);
    double number = 0.0;
    if (!EvaluateQuietly(inner, number)) return Fail(c, 11861, value, name);
    c.model.params[slot] = static_cast<float>(ClampToFloatRange(number));
    return 0;
}

// The LEVEL 8 values without which the model means nothing (an oxide of no thickness, a channel
// of no doping, no mobility, a negative smoothing constant...): refused at the model, where the
// run would otherwise fail to converge or give nonsense. A binned family is checked when its
// length and width terms are all 0, that is when every instance takes the value as given.
int CheckBsim3Model(EvaluationContext& c)
{
    struct Rule {
        const char* name;
        bool positive;  // else not negative
        bool binned;
    };
    static constexpr Rule kRules[] = {{"TOX", true, false},  {"XJ", true, true},    {"NCH", true, true},
                                      {"NSUB", true, true},  {"U0", true, true},    {"VSAT", true, true},
                                      {"DELTA", false, true}, {"DVT1", false, true}, {"DVT1W", false, true},
                                      {"DSUB", false, true},  {"DROUT", false, true}};
    const int row = c.model.row;
    auto valueOf = [&](const std::string& name, float& value) {
        const int index = FindModelParamIndex(row, name);
        if (index < 0 || static_cast<std::size_t>(index) >= c.model.params.size()) return false;
        value = c.model.params[static_cast<std::size_t>(index)];
        return !IsParamNotGiven(value);
    };
    for (const Rule& r : kRules) {
        float value = 0.0f, term = 0.0f;
        if (!valueOf(r.name, value)) continue;
        bool uniform = true;
        if (r.binned)
            for (const char* prefix : {"L", "W", "P"})
                if (valueOf(std::string(prefix) + r.name, term) && term != 0.0f) uniform = false;
        if (!uniform || (r.positive ? value > 0.0f : value >= 0.0f)) continue;
        return Fail(c, r.positive ? 14071 : 14072, r.name, static_cast<double>(value));
    }
    return 0;
}

// The checks of a model that takes part in an analysis; 0 or 15055 after reporting.
int CheckForAnalysis(EvaluationContext& c)
{
    const int row = c.model.row;
    const ModelTypeRow& desc = kModelTypeTable[row];
    if (!std::isnan(c.bipolarLevel) && c.bipolarLevel != 1.0) return Fail(c, kMsgBipolarLevel);
    for (int i = 0; i < desc.statementCount; ++i) {
        if (desc.params[i].valueKind == kParamText) continue;
        const float value = c.model.params[static_cast<std::size_t>(i)];
        if (CheckModelParamValue(nullptr, value, row, i) == 0) continue;
        ShowOwnerErrorLocation(c.statement);
        return CheckModelParamValue(&c.target, value, row, i);
    }
    if (desc.temperatureIndex && !c.statement.given.empty()) {
        int set = 0;
        for (int k = 1; k <= 3; ++k) set += c.statement.given[static_cast<std::size_t>(desc.temperatureIndex + k)];
        if (set > 1) return Fail(c, 11854);
    }
    if (row == kModelPul && CheckPulseTimes(nullptr, c.model) != 0) {
        ShowOwnerErrorLocation(c.statement);
        return CheckPulseTimes(&c.target, c.model);
    }
    if (row == kModelGasfet && CheckGasfetModel(nullptr, c.model) != 0) {
        ShowOwnerErrorLocation(c.statement);
        return CheckGasfetModel(&c.target, c.model);
    }
    if (row == kModelNmos8 || row == kModelPmos8) return CheckBsim3Model(c);
    return 0;
}

int ReportTo(const ModelReportTarget* target, int id)
{
    if (target) ReportNetlistMessage("WLtE", target->window, target->scope, target->text, id);
    return kMsgAlreadyReported;
}

// Statements of text files keep their continuation lines in the write-back mode; the
// evaluation reads them as one line.
std::string JoinContinuationLines(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char ch = text[i];
        if (ch == '\r') ch = ' ';
        if (ch == '\n') {
            out += ' ';
            if (i + 1 < text.size() && text[i + 1] == '+') {
                out += ' ';
                ++i;
            }
            continue;
        }
        out += ch;
    }
    return out;
}

}  // namespace

int EvaluateModelParams(EvaluatedModel& model, bool textMode)
{
    // New statement values: the next preparation takes its pristine and nominal copies from them.
    model.pristine.clear();
    model.nominal.clear();
    ModelStatement* statement = FindModelStatement(model.statementIndex);
    if (!statement) return 0;
    const ModelTypeRow& row = kModelTypeTable[model.row];
    EvaluationContext c{model, *statement, {}, textMode};
    c.target.window = CurrentRecord();
    c.target.scope = statement->scope;
    c.target.text = StrPrintf(".model %s %s(...)", statement->name.c_str(), kModelTypeTable[statement->type].name);

    std::string text = statement->paramText;
    if (Models().writeBackMode && statement->sourceKind != kModelSourceSchematic) text = JoinContinuationLines(text);
    try {
        statement->given.assign(static_cast<std::size_t>(row.statementCount), 0);
    } catch (const std::bad_alloc&) {
        ReportMessage("WE", CurrentRecord(), kMsgInsufficientMemory);
        return kMsgAlreadyReported;
    }

    ParamScanner s{text};
    while (true) {
        s.SkipBlanks();
        if (s.AtEnd()) break;
        const std::string_view name = ReadName(s);
        if (name.empty()) return Fail(c, 11900, "<parameter name>");
        s.SkipBlanks();
        if (s.Peek() != '=') return Fail(c, 11900, "=");
        ++s.pos;
        s.SkipBlanks();
        bool quoted = false;
        const std::string_view value = ReadValue(s, quoted);
        const std::string upperName = CopyUpperCase(name);
        const bool tolerance = (upperName.rfind("LOT", 0) == 0 || upperName.rfind("DEV", 0) == 0) &&
                               model.tolerances != nullptr;
        const int status = tolerance ? ApplyTolerance(c, upperName, value) : ApplyParam(c, upperName, value, quoted);
        if (status != 0) return status;
    }
    if (Analysis().analysisKind != kAnalysisNone) return CheckForAnalysis(c);
    return 0;
}

int CheckPulseTimes(const ModelReportTarget* target, const EvaluatedModel& model)
{
    const float p1 = model.params[2], p2 = model.params[3], p3 = model.params[4], p4 = model.params[5],
                p5 = model.params[6];
    const bool ok = (p2 < 0.0f || p4 < 0.0f) ? (p3 >= p1 && p5 >= p3)
                                             : (p2 >= p1 && p3 >= p2 && p4 >= p3 && p5 >= p4);
    return ok ? 0 : ReportTo(target, 11851);
}

int CheckGasfetModel(const ModelReportTarget* target, const EvaluatedModel& model)
{
    static const int vmax = FindModelParamIndex(kModelGasfet, "VMAX");
    static const int vbi = FindModelParamIndex(kModelGasfet, "VBI");
    return model.params[static_cast<std::size_t>(vmax)] < model.params[static_cast<std::size_t>(vbi)]
               ? 0
               : ReportTo(target, 11856);
}

}  // namespace kq5
