#include "analyses/histogram.h"

#include <algorithm>
#include <cmath>

#include "analog/run_control.h"
#include "analyses/monte_carlo.h"
#include "analyses/performance_functions.h"
#include "analyses/run_subset.h"
#include "results/run_state.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "core/text_edit.h"
#include "results/curve_record.h"
#include "plots/plot_setup.h"

namespace kq5 {

namespace {

constexpr const char* kDefaultValueFormat = "%6.3f";

// The printf format of the window's number format ("6.3", "3E"); the default for a text the
// program cannot use, so that a damaged file does not stop the window.
std::string PrintfFormatOf(const std::string& text)
{
    std::string upper = text;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    Trim(upper);
    if (upper.empty()) return kDefaultValueFormat;
    const std::size_t e = upper.find('E');
    auto digits = [](std::string_view s) {
        return s.size() <= 2 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (e != std::string::npos) {
        const std::string_view n = std::string_view(upper).substr(0, e);
        if (e + 1 != upper.size() || !digits(n)) return kDefaultValueFormat;
        return StrPrintf("%% .%de", n.empty() ? 0 : std::stoi(std::string(n)));
    }
    const std::size_t point = upper.find('.');
    const std::string_view whole = std::string_view(upper).substr(0, point);
    const std::string_view decimals =
        point == std::string::npos ? std::string_view() : std::string_view(upper).substr(point + 1);
    if (!digits(whole) || !digits(decimals) || (whole.empty() && decimals.empty())) return kDefaultValueFormat;
    const int w = whole.empty() ? 0 : std::stoi(std::string(whole));
    const int p = decimals.empty() ? 0 : std::stoi(std::string(decimals));
    return StrPrintf("%%%d.%df", w + p + 1, p);
}

}  // namespace

int HistogramIntervals(const MonteCarloWindowRecord& record)
{
    if (record.intervals == 0) return kNewHistogramIntervals;
    return std::clamp<int>(record.intervals, kMinHistogramIntervals, kMaxHistogramIntervals);
}

CurveRecord* MonteCarloCurve(const MonteCarloWindowRecord& record, WindowRecord* analysisWindow)
{
    if (!analysisWindow || !analysisWindow->plot) return nullptr;
    PlotRecord& plot = *analysisWindow->plot;
    for (int i = 0; i < plot.curveCount; ++i) {
        CurveRecord& curve = *plot.curves[static_cast<std::size_t>(i)];
        if (EqualsNoCase(curve.yExpressionText, record.function.expression)) return &curve;
    }
    return nullptr;
}

int MonteCarloTemperatureBlock(const MonteCarloWindowRecord& record)
{
    return std::clamp(record.runBlock, 0, std::max(RunState().temperatureCount, 1) - 1);
}

std::string MonteCarloTemperatureText(int block, WindowRecord* analysisWindow)
{
    if (RunState().temperatureCount <= 1) return {};
    const std::int64_t run = RunRecordIndex(RunPosition{block, 0, 0});
    if (analysisWindow && analysisWindow->plot && run < analysisWindow->plot->store.runCount)
        return StrPrintf("%g", analysisWindow->plot->store.runs[static_cast<std::size_t>(run)].temperature);
    // Not run yet: where the temperature list puts it.
    const TemperatureSweep& sweep = RunControl().temperature;
    return StrPrintf("%g", std::min(sweep.low + block * sweep.step, sweep.high));
}

std::string MonteCarloFunctionTitle(const MonteCarloWindowRecord& record, const std::string& temperatureText)
{
    const FunctionRecord& f = record.function;
    std::string arguments;
    for (int i = 0; i < PerformanceArgumentCount(f.function); ++i)
        arguments = StrPrintf("%s,%g", arguments.c_str(), f.args[static_cast<std::size_t>(i)]);
    std::string title = StrPrintf("%s(%s,%s%s)", std::string(PerformanceFunctionName(f.function)).c_str(),
                                  f.expression.c_str(), f.boolean.c_str(), arguments.c_str());
    if (!temperatureText.empty()) title += StrPrintf(": Temperature=%s", temperatureText.c_str());
    return title;
}

std::string FormatMonteCarloValue(const MonteCarloWindowRecord& record, double value)
{
    std::string text = StrPrintf(PrintfFormatOf(record.format).c_str(), value * record.displayScale);
    if (record.scaleSuffix != " ") text += record.scaleSuffix;
    return Trim(text);
}

void ComputeMonteCarloValues(MonteCarloWindowRecord& record, WindowRecord* analysisWindow)
{
    if (!analysisWindow || !analysisWindow->plot || analysisWindow->plot->curveCount == 0) return;
    record.values.clear();
    record.valueRuns.clear();
    const int block = MonteCarloTemperatureBlock(record);
    if (record.view.autoTitle && record.function.function >= 0)
        record.view.title = MonteCarloFunctionTitle(record, MonteCarloTemperatureText(block, analysisWindow));

    PlotRecord& plot = *analysisWindow->plot;
    const AnalysisRunState& run = RunState();
    CurveRecord* curve = MonteCarloCurve(record, analysisWindow);
    if (run.monteCarloActive && curve && record.function.function >= 0) {
        // Every stored run of the chosen temperature: each case, and in a two-input DC sweep each
        // Input 2 value of the case, in the order the runs were made.
        const int values = std::max(run.input2Count, 1);
        // The runs that count: a run stopped with Esc is left out.
        const int stored = CurrentRunPlan(plot.store).storedRuns;
        for (int c = 0; c < std::max(run.runCount, 1); ++c) {
            for (int k = 0; k < values; ++k) {
                const std::int64_t r = RunRecordIndex(RunPosition{block, c, k});
                if (r >= stored) break;
                PerformanceContext context;
                context.store = &plot.store;
                context.curve = curve;
                context.run = static_cast<int>(r);
                const auto& a = record.function.args;
                if (EvaluatePerformanceFunction(context, record.function.function, a[0], a[1], a[2]) != 0) continue;
                record.values.push_back(context.measurement.value);
                record.valueRuns.push_back(c + 1);
            }
        }
    }
    record.rangeFromData = true;
    double largest = 0.0;
    for (double v : record.values) largest = std::max(largest, std::abs(v));
    double scale = 1.0;
    const char* suffix = ChooseEngineeringSuffix(largest, scale, 0);
    record.displayScale = scale;
    record.scaleSuffix = suffix ? suffix : " ";
}

HistogramBars SettleHistogram(MonteCarloWindowRecord& record, int plotHeight)
{
    HistogramBars bars;
    bars.intervals = HistogramIntervals(record);
    const int m = bars.intervals - 1;
    bars.counts.assign(static_cast<std::size_t>(bars.intervals) + 2, 0);
    if (record.values.empty()) return bars;
    const auto [minIt, maxIt] = std::minmax_element(record.values.begin(), record.values.end());
    const double smallest = *minIt, largest = *maxIt;
    double low = smallest, high = largest;
    if (record.rangeFromData) {
        record.rangeFromData = false;
    } else {
        low = record.lowText == FormatMonteCarloValue(record, smallest) ? smallest : ParseNumber(record.lowText);
        high = record.highText == FormatMonteCarloValue(record, largest) ? largest : ParseNumber(record.highText);
        if (!std::isfinite(low)) low = smallest;
        if (!std::isfinite(high)) high = largest;
        if (low > high) std::swap(low, high);
        low = std::clamp(low, smallest, largest);
        high = std::clamp(high, smallest, largest);
    }
    record.low = bars.low = low;
    record.high = bars.high = high;
    record.lowText = FormatMonteCarloValue(record, low);
    record.highText = FormatMonteCarloValue(record, high);

    bars.width = (high - low) / m;
    bars.drawBars = bars.width > 1e-18 && std::abs(high * 1e-5) < bars.width && plotHeight > 5;
    if (!bars.drawBars) return bars;
    int counted = 0;
    for (double v : record.values) {
        const double t = (v - low) / bars.width;
        if (t < -0.01 || t > m + 0.01) continue;
        ++bars.counts[static_cast<std::size_t>(std::max(0, static_cast<int>(t)))];
        ++counted;
    }
    const double n = static_cast<double>(record.values.size());
    bars.percentDisplayed = counted / n * 100.0;
    const int most = *std::max_element(bars.counts.begin(), bars.counts.end());
    bars.top = std::round((most / n + 0.09) * 10.0) / 10.0;
    return bars;
}

bool SetHistogramIntervalsText(MonteCarloWindowRecord& record, std::string_view text)
{
    const double value = ParseNumber(text.substr(0, 24));
    if (ParseError() || !(value >= kMinHistogramIntervals && value <= kMaxHistogramIntervals)) return false;
    record.intervals = static_cast<std::int32_t>(value);
    return true;
}

bool SetHistogramRangeText(MonteCarloWindowRecord& record, bool high, std::string_view text)
{
    std::string value(text.substr(0, 24));
    Trim(value);
    std::string& target = high ? record.highText : record.lowText;
    if (value == FormatMonteCarloValue(record, high ? record.high : record.low)) return false;
    target = value;
    return true;
}

}  // namespace kq5
