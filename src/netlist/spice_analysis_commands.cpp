// Reading the analysis lines of a text netlist into the document's limits texts and rows.
#include "netlist/spice_analysis_commands.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "document/run_options.h"
#include "core/analysis_state.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "netlist/defines.h"
#include "netlist/spice_messages.h"
#include "netlist/spice_reader_state.h"
#include "netlist/spice_sources.h"
#include "netlist/spice_tokens.h"
#include "document/default_limits_rows.h"
#include "document/limits_rows.h"
#include "results/plot_record_flags.h"
#include "results/plot_view_settings.h"

namespace kq5 {

namespace {

constexpr int kMsgDistoIgnored = 10911;
constexpr int kMsgIllegalAnalysis = 10917;
constexpr int kMsgTemperatureListCut = 10976;
constexpr int kMsgExpecting = 11900;
constexpr int kMsgExpectingFollow = 11901;
constexpr int kMsgExpectingFound = 11902;
constexpr int kFirstCurveColor = 16;
constexpr int kCurveColorCount = 10;
constexpr std::uint16_t kRowOperatingPointBits = kLimitsLinearX | kLimitsLinearY;

struct OutputSuffix {
    std::string_view suffix;
    std::string_view function;
};
constexpr OutputSuffix kOutputSuffixes[] = {
    {"R", "RE"}, {"I", "IM"}, {"M", "MAG"}, {"P", "PH"}, {"G", "GD"}, {"DB", "DB"},
};

int Fail(int id, std::string_view argument)
{
    ReportNetlistMessage("WLE", CurrentRecord(), CurrentScope(), id, std::string(argument));
    return kMsgAlreadyReported;
}

int Fail(int id, std::string_view first, std::string_view second)
{
    ReportNetlistMessage("WLE", CurrentRecord(), CurrentScope(), id, std::string(first), std::string(second));
    return kMsgAlreadyReported;
}

// The value of an analysis token, or false when it is none (nothing is reported).
bool AnalysisValue(const std::string& token, double& value)
{
    std::array<std::string, 2> texts;
    return ComputeLineValue(token, CurrentScope(), value, texts) == 0;
}

// The value of the token, reported when it is missing or no value.
int RequireValue(int index, double& value)
{
    const std::string& token = Token(index);
    if (token.empty()) return Fail(kMsgExpecting, "<value>");
    return EvaluateLineValue(token, CurrentScope(), value);
}

CircuitDocument& Document() { return *CurrentDocument(); }

// The place of the analysis line being read, kept for the messages of the run.
void NoteAnalysisStatement(int kind)
{
    NetlistReader().analysisStatements[static_cast<std::size_t>(kind)] = {TopSourceName(), LogicalLineStart()};
}

void SetRowLook(LimitsRow& row, int index)
{
    row.color = static_cast<std::uint16_t>(kFirstCurveColor + index % kCurveColorCount);
    row.lineWidth = 1;
    row.enabled = 1;
}

// Takes one output variable starting at the index (a name, or a name with its parenthesised
// arguments, a parenthesised group, or an expression in braces); the index moves past it.
std::string TakeOutputVariable(int& index)
{
    std::string variable;
    if (Token(index) != "(") variable = Token(index++);
    if (Token(index) != "(") return variable;
    int depth = 0;
    for (; !Token(index).empty(); ++index) {
        const std::string& token = Token(index);
        if (token == "(") ++depth;
        variable += token;
        if (token == ")" && --depth == 0) {
            ++index;
            break;
        }
    }
    return variable;
}

bool IsBraced(const std::string& token) { return token.size() >= 2 && token.front() == '{' && token.back() == '}'; }

bool StartsNumber(const std::string& token) { return !token.empty() && HasCharClass(token.front(), kCharNumberStart); }

bool IsOperator(char c) { return std::string_view("+-*/^").find(c) != std::string_view::npos; }

// Whether the token goes on with the output expression read so far (V(3)*1E-12 is one item, as
// other SPICE programs read it): an item that ends in an operator takes the next operand, and a
// token that begins with one continues the item, except a signed number after a .PLOT item,
// which is a plot limit.
bool ContinuesExpression(const std::string& item, const std::string& next, bool plot)
{
    if (next.empty() || next == "," || IsBraced(item) || IsBraced(next)) return false;
    if (!item.empty() && IsOperator(item.back())) return true;
    if (!IsOperator(next.front())) return false;
    const bool signedNumber = (next.front() == '+' || next.front() == '-') && next.size() > 1 &&
                              (std::isdigit(static_cast<unsigned char>(next[1])) || next[1] == '.');
    return !(plot && signedNumber);
}

// An expression item with each of its output variables converted (VDB(2)-VDB(1) becomes
// DB(V(2))-DB(V(1))).
std::string ConvertOutputExpression(const std::vector<std::string>& operands)
{
    std::string expression;
    for (const std::string& operand : operands) {
        std::size_t start = 0;
        while (start < operand.size() && IsOperator(operand[start])) ++start;
        expression += operand.substr(0, start) + ConvertOutputVariable(std::string_view(operand).substr(start));
    }
    return expression;
}

// The temperature field of the limits holds one temperature or a range "high,low,step". A
// list of evenly spaced temperatures (27 77 127) fits a range and runs at each of them; any
// other list runs at its first temperature, and `dropped` tells the caller so.
std::string TemperatureFieldText(const std::vector<std::string>& list, bool& dropped)
{
    dropped = list.size() > 1;
    std::vector<double> values(list.size());
    for (std::size_t i = 0; i < list.size(); ++i)
        if (!AnalysisValue(list[i], values[i])) return list.front();
    if (values.size() < 2) return list.front();
    std::sort(values.begin(), values.end());
    const double low = values.front(), high = values.back();
    const double step = (high - low) / static_cast<double>(values.size() - 1);
    if (!(step > 0.0)) return list.front();
    const double slack = 1e-9 * std::max({std::abs(low), std::abs(high), step});
    for (std::size_t i = 0; i < values.size(); ++i)
        if (std::abs(values[i] - (low + static_cast<double>(i) * step)) > slack) return list.front();
    dropped = false;
    return StrPrintf("%.15g,%.15g,%.15g", high, low, step);
}

}  // namespace

int AnalysisKindOfWord(std::string_view word)
{
    if (word == "TRAN") return kAnalysisTransient;
    if (word == "AC" || word == "NOISE") return kAnalysisAc;
    if (word == "DC") return kAnalysisDc;
    return -1;
}

std::string ConvertOutputVariable(std::string_view variable)
{
    if (variable == "INOISE" || variable == "ONOISE") return std::string(variable);
    const std::size_t open = variable.find('(');
    if (open == std::string_view::npos || open == 0) return std::string(variable);
    const char kind = variable.front();
    const std::string_view suffix = variable.substr(1, open - 1);
    if ((kind != 'V' && kind != 'I') || suffix.empty()) return std::string(variable);
    for (const OutputSuffix& entry : kOutputSuffixes) {
        if (suffix == entry.suffix)
            return StrPrintf("%s(%c%s)", std::string(entry.function).c_str(), kind,
                             std::string(variable.substr(open)).c_str());
    }
    return std::string(variable);
}

int ParseDotTran(std::string_view)
{
    NetlistReaderState& state = NetlistReader();
    state.transientGiven = true;
    NoteAnalysisStatement(kAnalysisTransient);
    double step = 0.0, stop = 0.0;
    if (int status = RequireValue(1, step)) return status;
    if (int status = RequireValue(2, stop)) return status;
    auto& limits = Document().limits.transient;
    if (step != 0.0) limits[kLimitTNPts] = StrPrintf("%g", stop / step + 1.0);
    limits[kLimitTRange] = Token(2);
    if (!Token(4).empty() && Token(4) != "UIC") limits[kLimitTStep] = Token(4);
    bool uic = false;
    for (int i = 3; !Token(i).empty(); ++i)
        if (Token(i) == "UIC") uic = true;
    state.useInitialConditions = uic;
    // The line decides whether the run starts from an operating point: UIC starts it from the
    // initial conditions instead. Both the plot's flag byte (which the writers and the run
    // read) and the run options word (which the limits dialog shows) follow it, so that a line
    // that loses its UIC gets its operating point back.
    if (WindowRecord* record = CurrentRecord(); record && record->plot) {
        constexpr std::uint8_t kFirst = kPlotOperatingPointFirst | kPlotOperatingPointFirstToo;
        std::uint8_t& flags = PlotFlagsOf(record->plot).flagByte;
        flags = uic ? static_cast<std::uint8_t>(flags & ~kFirst) : static_cast<std::uint8_t>(flags | kFirst);
        std::uint32_t options = static_cast<std::uint32_t>(PlotViewOf(record->plot).optionWord[kAnalysisTransient]);
        options = uic ? options & ~(kRunOptionOperatingPoint | kRunOptionOperatingPointOnly)
                      : options | kRunOptionOperatingPoint;
        PlotViewOf(record->plot).optionWord[kAnalysisTransient] = static_cast<std::int32_t>(options);
    }
    return 0;
}

int ParseDotAC(std::string_view)
{
    const std::string& sweep = Token(1);
    const bool keyword = sweep == "DEC" || sweep == "OCT" || sweep == "LIN";
    const bool logarithmic = sweep == "DEC" || sweep == "OCT";
    const int first = keyword ? 2 : 1;
    double count = 0.0, start = 0.0, stop = 0.0;
    if (int status = RequireValue(first, count)) return status;
    if (int status = RequireValue(first + 1, start)) return status;
    if (int status = RequireValue(first + 2, stop)) return status;
    NoteAnalysisStatement(kAnalysisAc);
    auto& limits = Document().limits.ac;
    // A linear sweep from 0 has its points as well; only decades and octaves need a start above 0.
    if (start != 0.0 || !logarithmic) {
        // LIN N is N points in all, as the LIN line the writer makes from a point count; the
        // bare form without a keyword counts intervals.
        double points = sweep == "LIN" ? count : count + 1.0;
        // A one-point range has no decades or octaves: it is one point.
        if (sweep == "DEC") points = count * std::log10(stop / start) + 1.0;
        if (sweep == "OCT") points = count * std::log2(stop / start) + 1.0;
        if (!std::isfinite(points) || points < 1.0) points = 1.0;
        limits[kLimitANPts] = StrPrintf("%g", points);
    }
    limits[kLimitFRange] = Token(first + 2) + "," + Token(first + 1);
    // The sweep runs with the fixed step the line names: logarithmic for DEC and OCT, linear
    // for LIN and the bare form; the frequency axis follows. The response is the one about
    // the operating point, as SPICE computes it.
    if (WindowRecord* record = CurrentRecord(); record && record->plot) {
        std::uint32_t options = static_cast<std::uint32_t>(PlotViewOf(record->plot).optionWord[kAnalysisAc]);
        options = (options & ~kFrequencyStepMask) | (logarithmic ? kFrequencyStepLog : kFrequencyStepLinear) |
                  kRunOptionOperatingPoint;
        PlotViewOf(record->plot).optionWord[kAnalysisAc] = static_cast<std::int32_t>(options);
        std::uint32_t& flags = PlotFlagsOf(record->plot).flagWord;
        flags = logarithmic ? flags | kPlotFrequencyLog : flags & ~kPlotFrequencyLog;
    }
    return 0;
}

int ParseDotNoise(std::string_view)
{
    // The noise is taken at a node voltage. Another output (a current) is refused here: read as
    // nothing, the line would leave the run without its noise and without a word of why.
    if (Token(1) != "V" || Token(2) != "(")
        return Token(1).empty() ? Fail(kMsgExpecting, "V(") : Fail(kMsgExpectingFound, "V(", Token(1));
    std::string output;
    int i = 3;
    for (; !Token(i).empty() && Token(i) != ")"; ++i) {
        std::string name = Token(i);
        if (name.size() >= 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
        output += name;
    }
    if (Token(i) != ")") return Fail(kMsgExpecting, ")");
    ++i;
    std::string input = Token(i);
    if (Token(i + 1) == "(") input = Token(i + 2);
    if (input.empty()) return Fail(kMsgExpecting, "<source name>");
    auto& limits = Document().limits.ac;
    limits[kLimitNOutput] = output;
    limits[kLimitNInput] = input;
    NetlistReader().noiseStatement = {TopSourceName(), LogicalLineStart()};
    return 0;
}

int ParseDotDC(std::string_view)
{
    // "LIN" changes nothing; the other sweep kinds cannot be taken.
    int shift = 0;
    if (Token(1) == "LIN") shift = 1;
    if (Token(1) == "DEC" || Token(1) == "OCT" || Token(1) == "LIST" || Token(1) == "PARAM" || Token(1) == "TEMP")
        return Fail(kMsgExpectingFound, "<source name>", Token(1));
    auto token = [&](int i) -> const std::string& { return Token(i + shift); };
    double values[5] = {};
    for (int i : {2, 3, 4}) {
        if (int status = RequireValue(i + shift, values[i])) return status;
    }
    if (!token(5).empty()) {
        double second = 0.0;
        for (int i : {6, 7, 8})
            if (int status = RequireValue(i + shift, second)) return status;
    }
    auto range = [&](int stopIndex, int startIndex, int stepIndex) {
        std::string text = token(stopIndex);
        for (int index : {startIndex, stepIndex})
            if (!token(index).empty()) text += "," + token(index);
        return text;
    };
    NoteAnalysisStatement(kAnalysisDc);
    auto& limits = Document().limits.dc;
    if (!token(7).empty()) limits[kLimitI2Range] = range(7, 6, 8);
    if (!token(5).empty()) limits[kLimitI2] = token(5);
    if (!token(3).empty()) limits[kLimitI1Range] = range(3, 2, 4);
    if (!token(1).empty()) limits[kLimitI1] = token(1);
    // The sweep's points with both ends, as the transient counts its rows: the printed table then
    // stands on the swept values themselves.
    if (values[4] != 0.0) limits[kLimitDNPts] = StrPrintf("%g", std::round((values[3] - values[2]) / values[4]) + 1.0);
    return 0;
}

int ParseDotTemp(std::string_view)
{
    std::vector<std::string> list;
    for (int i = 1; !Token(i).empty(); ++i)
        if (Token(i) != ",") list.push_back(Token(i));
    if (list.empty()) return Fail(kMsgExpecting, "<value>");
    bool dropped = false;
    const std::string temperatures = TemperatureFieldText(list, dropped);
    // A user who lists temperatures expects a run at each; say which one alone is run.
    if (dropped) ReportNetlistMessage("WLE", CurrentRecord(), CurrentScope(), kMsgTemperatureListCut, temperatures);
    CircuitDocument& document = Document();
    document.limits.transient[kLimitTTemp] = temperatures;
    document.limits.ac[kLimitATemp] = temperatures;
    document.limits.dc[kLimitDTemp] = temperatures;
    return 0;
}

int ParseDotOP(std::string_view)
{
    NetlistReader().operatingPointRequested = true;
    return 0;
}

int ParseDotPrintPlot(std::string_view)
{
    NetlistReaderState& state = NetlistReader();
    const std::string& word = Token(1);
    if (word == "DISTO") {
        ReportNetlistMessage("WLE", CurrentRecord(), CurrentScope(), kMsgDistoIgnored);
        return 0;
    }
    const int kind = AnalysisKindOfWord(word);
    if (kind < 0) return Fail(kMsgIllegalAnalysis, word);
    if (kind != Analysis().analysisKind) return 0;
    WindowRecord* record = CurrentRecord();
    CircuitDocument& document = Document();
    std::vector<LimitsRow>& rows = document.limitsRows[static_cast<std::size_t>(kind)];
    const bool plot = Token(0) == ".PLOT";
    const char group = plot ? static_cast<char>(std::min('1' + state.printPlotCounter, static_cast<int>('9')))
                            : static_cast<char>(std::min('A' + state.printPlotCounter, static_cast<int>('Z')));
    int& counter = state.printPlotRows[static_cast<std::size_t>(kind)];
    // An expression in braces is one row, whatever its operators and blanks.
    if (int status = JoinBraceGroupTokens()) return status;
    std::vector<int> groupRows;
    int i = 2;
    while (!Token(i).empty()) {
        if (plot && (StartsNumber(Token(i)) || (Token(i) == "(" && StartsNumber(Token(i + 1))))) {
            // Plot limits of the variables before them.
            const bool parenthesised = Token(i) == "(";
            if (parenthesised) ++i;
            const std::string low = Token(i++);
            if (Token(i) == ",") ++i;
            if (!StartsNumber(Token(i))) return Fail(kMsgExpectingFollow, "<limit value>", low);
            const std::string high = Token(i++);
            if (parenthesised) {
                if (Token(i) != ")") return Fail(kMsgExpectingFollow, ")", Token(i - 1));
                ++i;
            }
            // SPICE writes the lower limit first; a range text holds the upper one first.
            double first = 0.0, second = 0.0;
            const bool swap = AnalysisValue(low, first) && AnalysisValue(high, second) && first < second;
            const std::string range = swap ? StrPrintf("%s,%s", high.c_str(), low.c_str())
                                           : StrPrintf("%s,%s", low.c_str(), high.c_str());
            for (int row : groupRows) rows[static_cast<std::size_t>(row)].yRange = range;
            groupRows.clear();
            continue;
        }
        if (Token(i) == ",") {
            ++i;
            continue;
        }
        std::vector<std::string> operands{TakeOutputVariable(i)};
        while (ContinuesExpression(operands.back(), Token(i), plot)) operands.push_back(TakeOutputVariable(i));
        const std::string& variable = operands.front();
        if (counter >= static_cast<int>(rows.size())) {
            if (int status = SetLimitsRowCount(record, kind, counter + 1)) return status;
            if (kind != kAnalysisAc) rows[static_cast<std::size_t>(counter)].options |= kRowOperatingPointBits;
        }
        LimitsRow& row = rows[static_cast<std::size_t>(counter)];
        row.yExpression = IsBraced(variable) ? variable.substr(1, variable.size() - 2) : ConvertOutputExpression(operands);
        SetRowLook(row, counter);
        row.plotGroup = group;
        if (!plot) row.options |= kLimitsOutput;
        state.printVariableUsed = true;
        groupRows.push_back(counter);
        ++counter;
    }
    ++state.printPlotCounter;
    return 0;
}

void MergePrintPlotRows(WindowRecord* record)
{
    const int kind = Analysis().analysisKind;
    if (!record || !record->document || kind < 0 || kind >= kAnalysisKindCount) return;
    std::vector<LimitsRow>& rows = record->document->limitsRows[static_cast<std::size_t>(kind)];
    // Each row joins the first row kept before it with the same expressions and ranges that
    // agree; the rows kept so far are found by their expressions, so that a line of many
    // variables merges in linear time.
    std::unordered_map<std::string, std::vector<std::size_t>> keptByExpressions;
    std::size_t kept = 0;
    for (std::size_t j = 0; j < rows.size(); ++j) {
        const LimitsRow& later = rows[j];
        std::vector<std::size_t>& candidates =
            keptByExpressions[later.xExpression + '\n' + later.yExpression];
        LimitsRow* merged = nullptr;
        for (std::size_t i : candidates) {
            LimitsRow& earlier = rows[i];
            if ((earlier.xRange.empty() || later.xRange.empty() || earlier.xRange == later.xRange) &&
                (earlier.yRange.empty() || later.yRange.empty() || earlier.yRange == later.yRange)) {
                merged = &earlier;
                break;
            }
        }
        if (merged) {
            merged->options |= later.options;
            if (merged->plotGroup == 0) merged->plotGroup = later.plotGroup;
            if (merged->xRange.empty()) merged->xRange = later.xRange;
            if (merged->yRange.empty()) merged->yRange = later.yRange;
            continue;
        }
        if (kept != j) rows[kept] = std::move(rows[j]);
        candidates.push_back(kept++);
    }
    rows.resize(kept);
    bool anyPlot = false;
    for (const LimitsRow& row : rows)
        if (row.plotGroup >= '0' && row.plotGroup <= '9') anyPlot = true;
    for (LimitsRow& row : rows) {
        if (row.plotGroup >= 'A' && row.plotGroup <= 'Z')
            row.plotGroup = anyPlot ? 0 : static_cast<char>(row.plotGroup - 16);
        if (kind == kAnalysisAc) {
            row.options &= static_cast<std::uint16_t>(~kLimitsLinearX);
            row.options |= kLimitsLinearY;
        }
    }
}

int MakeDefaultPrintPlotRows(WindowRecord* record, int analysisKind)
{
    if (int status = CreateDefaultLimitsRows(record, analysisKind)) return status;
    std::vector<LimitsRow>& rows = record->document->limitsRows[static_cast<std::size_t>(analysisKind)];
    for (std::size_t i = 0; i < rows.size(); ++i) {
        LimitsRow& row = rows[i];
        row.plotGroup = '1';
        row.options |= kLimitsLinearY;
        if (analysisKind != kAnalysisAc) row.options |= kLimitsLinearX;
        SetRowLook(row, static_cast<int>(i));
    }
    return 0;
}

void EnsureAnalysisTemperatureText(WindowRecord* record, double defaultTemperature)
{
    const int kind = Analysis().analysisKind;
    if (!record || !record->document) return;
    AnalysisLimits& limits = record->document->limits;
    std::string* text = kind == kAnalysisTransient ? &limits.transient[kLimitTTemp]
                        : kind == kAnalysisAc      ? &limits.ac[kLimitATemp]
                        : kind == kAnalysisDc      ? &limits.dc[kLimitDTemp]
                                                   : nullptr;
    if (text && text->empty()) *text = StrPrintf("%g", defaultTemperature);
}

void SetSteppedRowsFormat(WindowRecord* record, int steppingCount)
{
    const int kind = Analysis().analysisKind;
    if (!record || !record->document || record->kind != kWindowTextCircuit || steppingCount <= 0 || kind < 0 ||
        kind >= kAnalysisKindCount)
        return;
    // The exponent form holds at most 16 decimals, as many as a double carries.
    const int digits = std::min(steppingCount, 16);
    for (LimitsRow& row : record->document->limitsRows[static_cast<std::size_t>(kind)])
        row.yValueFormat = StrPrintf("%de", digits);
}

}  // namespace kq5
