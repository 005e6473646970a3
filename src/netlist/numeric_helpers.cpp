#include "netlist/numeric_helpers.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>

#include "core/analysis_state.h"
#include "ui/window_record.h"
#include "core/engineering_numbers.h"
#include "core/linked_list.h"
#include "results/curve_record.h"

namespace kq5 {

namespace {

constexpr int kMsgInsufficientMemory = 15002;
constexpr int kMsgMissingParameter = 15040;
constexpr std::size_t kMaxExtensionLength = 3;

// The name with its extension (after the last '.' of the last path component) replaced, or
// appended when there is none.
std::string WithExtension(std::string name, std::string_view extension)
{
    const std::size_t separator = name.find_last_of("\\/:");
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && (separator == std::string::npos || dot > separator))
        name.erase(dot);
    name += '.';
    name += extension;
    return name;
}

int ParseValueList(std::string_view text, int n, ValueList& values, bool strict)
{
    values.fill(0.0);
    n = std::min(n, static_cast<int>(values.size()));
    if (n <= 0) return 0;
    std::string rest;
    try {
        rest.reserve(text.size() + 1);
        rest.assign(text);
        rest += ',';  // every item ends with a comma
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    int used = 0;
    while (used < n && !rest.empty()) {
        std::string item = std::move(rest);
        rest = SplitAtTopLevelComma(item);
        if (item.empty()) {
            if (strict) return kMsgMissingParameter;
            ++used;  // the position counts, its value stays 0
            continue;
        }
        int error = 0;
        values[static_cast<std::size_t>(used++)] = EvalNumberOrExpression(item, error);
        if (error) return error;
    }
    return strict && used < n ? kMsgMissingParameter : 0;
}

}  // namespace

std::string MakeAnalysisFileName(const WindowRecord* record, std::string_view suffix)
{
    static constexpr char kLetters[] = "TADF";
    const int kind = Analysis().analysisKind;
    // Without an analysis the transient letter stands in rather than reading outside "TADF".
    const char letter = kind >= 0 && kind < 4 ? kLetters[kind] : kLetters[0];
    std::string extension(1, letter);
    extension.append(suffix.substr(0, kMaxExtensionLength - 1));
    return WithExtension(GetRecordTitle(record), extension);
}

int CreatePlotRecord(WindowRecord* record)
{
    if (!record) return 0;
    try {
        record->plot = std::make_shared<PlotRecord>();
    } catch (const std::bad_alloc&) {
        record->plot.reset();
        return kMsgInsufficientMemory;
    }
    return 0;
}

void FreePlotRecord(WindowRecord* record)
{
    if (!record || !record->plot) return;
    ListClear(record->plot->objects);
    record->plot.reset();
}

double ClampedExpNarrow(double x)
{
    return std::exp(std::clamp(x, -80.0, 80.0));
}

double Pow10(double x)
{
    return ClampedExp(x * 2.302585092994046);
}

double Log10Abs(double x)
{
    return x == 0.0 ? 0.0 : std::log10(std::fabs(x));
}

double Log10Floored(double x)
{
    return std::log10(x < 1e-50 ? 1e-50 : x);
}

double RangeMagnitudeOrSpan(double a, double b)
{
    const int decadeA = RoundToInt(Log10Abs(a));
    const int decadeB = RoundToInt(Log10Abs(b));
    if (std::abs(decadeA - decadeB) > 3) return std::fabs(b - a);
    if (decadeA > decadeB && a != 0.0) return a;
    if (b != 0.0) return b;
    return a;
}

std::string SplitAtTopLevelComma(std::string& text)
{
    int depth = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            --depth;
        } else if (c == ',' && depth == 0) {
            std::string rest = text.substr(i + 1);
            text.erase(i);
            return rest;
        }
    }
    return std::string();
}

int ParseRangePair(std::string_view text, double& first, double& second)
{
    std::string head;
    std::string rest;
    try {
        head.assign(text);
        rest = SplitAtTopLevelComma(head);
    } catch (const std::bad_alloc&) {
        first = second = 0.0;
        return kMsgInsufficientMemory;
    }
    int error = 0;
    first = EvalNumberOrExpression(head, error);
    second = 0.0;
    if (error) return error;
    if (!rest.empty()) second = EvalNumberOrExpression(rest, error);
    return error;
}

int ParseValueListStrict(std::string_view text, int n, ValueList& values)
{
    return ParseValueList(text, n, values, true);
}

int ParseValueListLenient(std::string_view text, int n, ValueList& values)
{
    return ParseValueList(text, n, values, false);
}

}  // namespace kq5
