// Writing the analysis limits back as SPICE analysis lines: for the netlist's own text after the
// user changed its limits, and for the SPICE export.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "core/analysis_state.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/file_units.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "document/text_editor.h"
#include "netlist/defines.h"
#include "netlist/global_options.h"
#include "netlist/spice_analysis_commands.h"
#include "netlist/spice_reader_state.h"
#include "netlist/spice_sources.h"
#include "netlist/spice_tokens.h"
#include "results/plot_record_flags.h"

namespace kq5 {

namespace {

constexpr int kDefaultPointCount = 51;
constexpr int kMinLineWidth = 10;
constexpr int kMaxLineWidth = 1000;

struct SuffixFunction {
    std::string_view function;
    std::string_view suffix;
};
constexpr SuffixFunction kFunctions[] = {
    {"RE", "R"}, {"IM", "I"}, {"MAG", "M"}, {"PH", "P"}, {"GD", "G"}, {"DB", "DB"},
};

double TextValue(std::string_view text, int& error)
{
    std::string expanded;
    std::string trimmed(text);
    if (SubstituteDefines(expanded, 0, trimmed) != 0) expanded = trimmed;
    if (expanded.size() >= 2 && expanded.front() == '{' && expanded.back() == '}')
        expanded = expanded.substr(1, expanded.size() - 2);
    error = 0;
    const double value = EvalNumberOrExpression(expanded, error);
    return error == 0 ? value : 0.0;
}

double TextValue(std::string_view text)
{
    int error = 0;
    return TextValue(text, error);
}

// The comma-separated values of a range text ("high,low" or "stop,start,step").
std::vector<double> RangeValues(std::string_view text)
{
    std::vector<double> values;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        values.push_back(TextValue(text.substr(0, comma)));
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return values;
}

// A range text whose every comma-separated piece is a number, as plot limits are read back.
bool IsNumericRange(std::string_view text)
{
    if (text.empty()) return false;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view piece = text.substr(0, comma);
        const std::size_t first = piece.find_first_not_of(' ');
        if (first == std::string_view::npos || !HasCharClass(piece[first], kCharNumberStart)) return false;
        if (comma == std::string_view::npos) return true;
        text.remove_prefix(comma + 1);
    }
}

// A temperature range of more runs than this is written as its first temperature.
constexpr double kMaxWrittenTemperatures = 100.0;

double ValueAt(const std::vector<double>& values, std::size_t index)
{
    return index < values.size() ? values[index] : 0.0;
}

int PointCount(std::string_view text)
{
    const int count = text.empty() ? 0 : RoundToInt(TextValue(text));
    return count <= 0 ? kDefaultPointCount : count;
}

const AnalysisLimits* Limits(WindowRecord* record)
{
    return record && record->document ? &record->document->limits : nullptr;
}

std::uint8_t FlagByte(WindowRecord* record)
{
    return record && record->plot ? PlotFlagsOf(record->plot).flagByte
                                  : static_cast<std::uint8_t>(kPlotOperatingPointFirst | kPlotOperatingPointFirstToo);
}

std::string AnalysisWord(int kind)
{
    return kind == kAnalysisTransient ? "TRAN" : kind == kAnalysisAc ? "AC" : "DC";
}

// The physical lines of a text with their offsets; the last line may lack its line feed.
struct TextLine {
    std::size_t start;
    std::size_t end;  // past the line feed
};

std::vector<TextLine> SplitLines(const std::string& text)
{
    std::vector<TextLine> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back({start, end});
        start = end;
    }
    return lines;
}

bool StartsWithWord(std::string_view line, std::string_view word)
{
    return line.size() >= word.size() && line.substr(0, word.size()) == word &&
           (line.size() == word.size() || line[word.size()] == ' ');
}

// The blank-separated words of a statement, its continuation marks left out.
std::vector<std::string> StatementWords(std::string_view text)
{
    std::vector<std::string> words;
    std::string word;
    auto flush = [&] {
        if (!word.empty() && word != "+") words.push_back(word);
        word.clear();
    };
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') flush();
        else word += c;
    }
    flush();
    return words;
}

// A rewritten analysis statement keeps the user's own word wherever the value stands unchanged
// at its place: "50N" stays "50N" instead of coming back as "5e-08", and "dec" keeps its case.
std::string KeepUnchangedWords(const std::string& written, std::string_view before)
{
    if (before.empty() || written.find('\n') != std::string::npos) return written;
    std::vector<std::string> words = StatementWords(written);
    const std::vector<std::string> old = StatementWords(before);
    if (words.empty() || old.empty() || !EqualsNoCase(words.front(), old.front())) return written;
    for (std::size_t i = 0; i < std::min(words.size(), old.size()); ++i) {
        if (EqualsNoCase(words[i], old[i])) {
            words[i] = old[i];
            continue;
        }
        int error = 0;
        const double value = TextValue(old[i], error);
        if (error == 0 && StrPrintf("%g", value) == words[i]) words[i] = old[i];
    }
    std::string line = words.front();
    for (std::size_t i = 1; i < words.size(); ++i) line += ' ' + words[i];
    return line;
}

}  // namespace

std::string WriteTranLine(WindowRecord* record)
{
    const AnalysisLimits* limits = Limits(record);
    if (!limits) return {};
    const std::vector<double> range = RangeValues(limits->transient[kLimitTRange]);
    const double stop = ValueAt(range, 0);
    const double start = ValueAt(range, 1);
    const int points = PointCount(limits->transient[kLimitTNPts]);
    const double span = stop - start;
    std::string line = ".TRAN ";
    if (span == 0.0)
        line += "0 ";
    else
        line += StrPrintf("%g ", points < 11 ? span / 10.0 : span / (points - 1));
    line += StrPrintf("%g %g ", stop, start);
    const double maxStep = limits->transient[kLimitTStep].empty() ? 0.0 : TextValue(limits->transient[kLimitTStep]);
    if (maxStep > 0.0) line += StrPrintf("%lg ", maxStep);
    if (!(FlagByte(record) & (kPlotOperatingPointFirst | kPlotOperatingPointFirstToo))) line += "UIC";
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

std::string WriteAcLine(WindowRecord* record)
{
    const AnalysisLimits* limits = Limits(record);
    if (!limits) return {};
    const std::vector<double> range = RangeValues(limits->ac[kLimitFRange]);
    const double stop = ValueAt(range, 0);
    const double start = ValueAt(range, 1);
    const int points = PointCount(limits->ac[kLimitANPts]);
    const int intervals = points - 1;
    const bool logarithmic = !record->plot || (PlotFlagsOf(record->plot).flagWord & kPlotFrequencyLog);
    if (logarithmic) {
        int perDecade = 11;
        if (start > 0.0) {
            const double decades = std::log10(stop / start);
            // A range of one frequency has no decades: one point is written as a linear sweep.
            if (!(decades > 0.0) || !std::isfinite(decades))
                return StrPrintf(".AC LIN %d %g %g", 1, start, stop);
            perDecade = std::max(1, RoundToInt(intervals / decades));
        }
        return StrPrintf(".AC DEC %d %g %g", perDecade, start, stop);
    }
    return StrPrintf(".AC LIN %d %g %g", points, start, stop);
}

std::string WriteNoiseLine(WindowRecord* record)
{
    const AnalysisLimits* limits = Limits(record);
    if (!limits || limits->ac[kLimitNOutput].empty() || limits->ac[kLimitNInput].empty()) return {};
    // "None", the field's default, names no input source: there is no noise analysis to state.
    if (EqualsNoCase(limits->ac[kLimitNInput], "none")) return {};
    const std::string& node = limits->ac[kLimitNOutput];
    const char* format = HasCharClass(node.front(), kCharDigit) ? ".NOISE V(%s) %s 10\n" : ".NOISE V([%s]) %s 10\n";
    return StrPrintf(format, node.c_str(), limits->ac[kLimitNInput].c_str());
}

std::string WriteDcLine(WindowRecord* record)
{
    const AnalysisLimits* limits = Limits(record);
    if (!limits || limits->dc[kLimitI1].empty()) return {};
    const std::vector<double> first = RangeValues(limits->dc[kLimitI1Range]);
    std::string line = StrPrintf(".DC %s %g %g %g", limits->dc[kLimitI1].c_str(), ValueAt(first, 1), ValueAt(first, 0),
                                 ValueAt(first, 2));
    const std::string& second = limits->dc[kLimitI2];
    if (!second.empty() && !EqualsNoCase(second, "none")) {
        const std::vector<double> values = RangeValues(limits->dc[kLimitI2Range]);
        line += StrPrintf(" %s %g %g %g", second.c_str(), ValueAt(values, 1), ValueAt(values, 0), ValueAt(values, 2));
    }
    return line;
}

std::string WriteTempLine(WindowRecord* record)
{
    const AnalysisLimits* limits = Limits(record);
    const int kind = Analysis().analysisKind;
    std::string text = "27";
    if (limits && kind >= 0 && kind < kAnalysisKindCount) {
        const std::string& temperatures = kind == kAnalysisTransient ? limits->transient[kLimitTTemp]
                                          : kind == kAnalysisAc      ? limits->ac[kLimitATemp]
                                                                     : limits->dc[kLimitDTemp];
        if (!temperatures.empty()) text = temperatures;
    }
    // A range "high,low,step" is written as the list of the temperatures the runs take, read
    // as the runs read it.
    const std::vector<double> range = RangeValues(text);
    double low = ValueAt(range, 0), high = low, step = 0.0;
    if (range.size() > 1) {
        low = range[1];
        high = std::max(range[0], low);
        step = range.size() > 2 && range[2] > 0.0 ? range[2] : high - low;
    }
    std::string line = StrPrintf(".TEMP %g", low);
    if (step > 0.0 && (high - low) / step <= kMaxWrittenTemperatures)
        for (double t = low; std::abs(t - high) >= 0.001;) {
            t = std::min(t + step, high);
            line += StrPrintf(" %g", t);
        }
    return line;
}

std::string PrintPlotVariableText(std::string_view expression)
{
    const std::size_t open = expression.find('(');
    if (open == std::string_view::npos || expression.back() != ')') return std::string(expression);
    const std::string_view function = expression.substr(0, open);
    const std::string_view inner = expression.substr(open + 1, expression.size() - open - 2);
    for (const SuffixFunction& entry : kFunctions) {
        if (function != entry.function || inner.size() < 3) continue;
        const char kind = inner.front();
        if ((kind == 'V' || kind == 'I') && inner[1] == '(')
            return StrPrintf("%c%s%s", kind, std::string(entry.suffix).c_str(), std::string(inner.substr(1)).c_str());
    }
    return std::string(expression);
}

namespace {

// True when the netlist reader takes the item back as one output variable: a name, or a name
// with one parenthesised argument list that ends the item. Anything else (an expression such as
// V(3)*1E-12, or a text that begins like a plot limit) would come back split into several rows.
bool ReadsAsOneOutputVariable(std::string_view item)
{
    if (item.empty() || IsTokenDelimiter(item.front()) || HasCharClass(item.front(), kCharNumberStart)) return false;
    int depth = 0;
    for (std::size_t i = 0; i < item.size(); ++i) {
        const char c = item[i];
        if (c == ';') return false;
        if (depth == 0) {
            // A colon ends a token; a parenthesised list may follow a name only.
            if (c == ':' && i + 1 < item.size()) return false;
            if (c == '(') ++depth;
            else if (IsTokenDelimiter(c)) return false;
            continue;
        }
        if (c == '(') ++depth;
        else if (c == ')' && --depth == 0) return i + 1 == item.size();
        else if (c != ',' && c != ' ' && IsTokenDelimiter(c)) return false;
    }
    return depth == 0;
}

}  // namespace

PrintPlotLines WritePrintPlotLines(WindowRecord* record, int analysisKind, bool print, char group, bool braceExpressions)
{
    PrintPlotLines out;
    if (!record || !record->document || analysisKind < 0 || analysisKind >= kAnalysisKindCount) return out;
    const std::vector<LimitsRow>& rows = record->document->limitsRows[static_cast<std::size_t>(analysisKind)];
    const int width = std::clamp(static_cast<int>(GlobalOptions().values.width), kMinLineWidth, kMaxLineWidth);
    std::string text = (print ? ".PRINT " : ".PLOT ") + AnalysisWord(analysisKind);
    std::size_t lineStart = 0;
    bool any = false;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const LimitsRow& row = rows[i];
        const bool printed = (row.options & kLimitsOutput) != 0;
        const bool inGroup = group == kEveryPrintedRow ? printed
                                                       : row.plotGroup == group || (group == '0' && print && row.plotGroup == 0 && printed);
        if (!inGroup || row.yExpression.empty()) continue;
        std::string item = PrintPlotVariableText(row.yExpression);
        if (braceExpressions && !ReadsAsOneOutputVariable(item)) item = "{" + item + "}";
        if (static_cast<int>(text.size() - lineStart + 1 + item.size()) > width) {
            text += "\n+ ";
            lineStart = text.size() - 2;
            ++out.continuationLines;
        } else {
            text += ' ';
        }
        text += item;
        if (!any) out.firstRow = static_cast<int>(i);
        any = true;
    }
    if (any) out.text = std::move(text);
    return out;
}

int UpdateTextAnalysisCommands(WindowRecord* record)
{
    if (!record || record->kind != kWindowTextCircuit || !record->document) return 0;
    const int kind = Analysis().analysisKind;
    if (kind < 0 || kind >= kAnalysisKindCount) return 0;
    try {
        std::string& text = record->textArea;
        const std::string eol = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
        const std::vector<TextLine> physical = SplitLines(text);
        // The statements (with their continuation lines) that the limits replace.
        std::vector<std::pair<std::size_t, std::size_t>> removed;
        // The user's own text of each replaced analysis statement, by its first word.
        std::vector<std::pair<std::string, std::string>> userStatements;
        std::size_t endLine = physical.size();
        bool title = true;
        for (std::size_t i = 0; i < physical.size();) {
            std::size_t last = i + 1;
            while (last < physical.size() && text[physical[last].start] == '+') ++last;
            std::string line = CopyUpperCase(std::string_view(text).substr(physical[i].start,
                                                                           physical[last - 1].end - physical[i].start));
            CollapseLineBreaks(line);
            const std::size_t first = line.find_first_not_of(' ');
            line = first == std::string::npos ? std::string() : line.substr(first);
            if (title) {
                title = false;
            } else if (StartsWithWord(line, ".END")) {
                endLine = i;
                break;
            } else {
                bool replace = StartsWithWord(line, ".TEMP");
                if (kind == kAnalysisTransient) replace = replace || StartsWithWord(line, ".TRAN");
                if (kind == kAnalysisAc) replace = replace || StartsWithWord(line, ".AC") || StartsWithWord(line, ".NOISE");
                if (kind == kAnalysisDc) replace = replace || StartsWithWord(line, ".DC");
                if (StartsWithWord(line, ".PRINT") || StartsWithWord(line, ".PLOT")) {
                    const std::size_t wordStart = line.find(' ');
                    std::string word = wordStart == std::string::npos ? std::string() : line.substr(wordStart + 1);
                    word = word.substr(0, word.find(' '));
                    replace = AnalysisKindOfWord(word) == kind;
                }
                if (replace) {
                    removed.emplace_back(physical[i].start, physical[last - 1].end);
                    std::string own = text.substr(physical[i].start, physical[last - 1].end - physical[i].start);
                    userStatements.emplace_back(line.substr(0, line.find(' ')), std::move(own));
                }
            }
            i = last;
        }
        const std::size_t insertAt = endLine < physical.size() ? physical[endLine].start : text.size();
        std::string inserted;
        auto add = [&](std::string line) {
            while (!line.empty() && line.back() == '\n') line.pop_back();
            if (line.empty()) return;
            if (!StartsWithWord(line, ".PRINT") && !StartsWithWord(line, ".PLOT")) {
                const std::string word = CopyUpperCase(line.substr(0, line.find(' ')));
                for (auto it = userStatements.rbegin(); it != userStatements.rend(); ++it)
                    if (it->first == word) {
                        line = KeepUnchangedWords(line, it->second);
                        break;
                    }
            }
            std::size_t at = 0;
            while ((at = line.find('\n', at)) != std::string::npos) {
                line.replace(at, 1, eol);
                at += eol.size();
            }
            inserted += line;
            inserted += eol;
        };
        if (kind == kAnalysisTransient) add(WriteTranLine(record));
        if (kind == kAnalysisAc) {
            add(WriteAcLine(record));
            add(WriteNoiseLine(record));
        }
        if (kind == kAnalysisDc) add(WriteDcLine(record));
        add(WriteTempLine(record));
        const std::vector<LimitsRow>& rows = record->document->limitsRows[static_cast<std::size_t>(kind)];
        for (char group = '1'; group <= '9'; ++group) {
            PrintPlotLines plot = WritePrintPlotLines(record, kind, false, group, true);
            if (plot.text.empty()) continue;
            const std::string& range = rows[static_cast<std::size_t>(plot.firstRow)].yRange;
            // Only numbers make plot limits: "Auto", and the "N/A" of a digital curve, would be
            // read back as one more variable.
            // A range text holds the upper limit first; SPICE's plot limits are the lower first.
            if (IsNumericRange(range)) {
                const std::size_t comma = range.find(',');
                std::string limits = comma == std::string::npos || range.find(',', comma + 1) != std::string::npos
                                         ? range
                                         : range.substr(comma + 1) + "," + range.substr(0, comma);
                std::replace(limits.begin(), limits.end(), ',', ' ');
                plot.text += " " + limits;
            }
            add(plot.text);
        }
        // Every row of the numeric output, plotted or not: a row that is both keeps both lines.
        add(WritePrintPlotLines(record, kind, true, kEveryPrintedRow, true).text);

        // Insert before the removals so that their offsets stay valid.
        const std::size_t caret = record->textAreaCaret;
        std::string result;
        result.reserve(text.size() + inserted.size());
        std::size_t at = 0;
        std::size_t removedBeforeCaret = 0;
        for (const auto& [start, end] : removed) {
            if (insertAt <= start && at <= insertAt) {
                result.append(text, at, insertAt - at);
                result += inserted;
                at = insertAt;
            }
            result.append(text, at, start - at);
            if (end <= caret) removedBeforeCaret += end - start;
            at = end;
        }
        if (at <= insertAt) {
            result.append(text, at, insertAt - at);
            result += inserted;
            at = insertAt;
        }
        result.append(text, at, std::string::npos);
        const std::size_t newCaret = std::min(caret > removedBeforeCaret ? caret - removedBeforeCaret : 0, result.size());
        if (TxtEditRecord* editor = OwnerTxtEditRecord(record)) {
            // Through the editor, so that its history (which no longer fits the text) goes and
            // the window shows the new lines where the user was.
            const std::int32_t top = editor->topLine;
            if (!ReplaceEditorText(*editor, result, false)) return kMsgAlreadyReported;
            editor->topLine = top;
            SetEditorCaret(*editor, static_cast<std::int32_t>(newCaret));
            editor->anchor = static_cast<std::int32_t>(newCaret);
            SyncEditorWithText(*editor);
            RefreshEditorView(*editor);
        } else {
            text.swap(result);
            record->textAreaCaret = newCaret;
        }
        record->document->textLineCount = 0;
    } catch (const std::bad_alloc&) {
        ReportMessage("WE", record, kMsgInsufficientMemory);
        return kMsgAlreadyReported;
    }
    MarkModified(record);
    return 0;
}

}  // namespace kq5
