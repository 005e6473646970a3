#include "analyses/monte_carlo.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/analysis_state.h"
#include "netlist/numeric_helpers.h"
#include "analog/numeric_output.h"
#include "analog/run_control.h"
#include "analyses/histogram.h"
#include "results/run_state.h"
#include "ui/window_record.h"
#include "core/file_units.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "document/file_names.h"

namespace kq5 {

RunStatistics ComputeRunStatistics(std::span<const double> values)
{
    RunStatistics s;
    if (values.empty()) return s;
    // Low and high start from the first value: a start at a huge sentinel would show it when
    // every value lies beyond it.
    s.low = s.high = values.front();
    double sum = 0.0;
    for (double v : values) {
        s.low = std::min(s.low, v);
        s.high = std::max(s.high, v);
        sum += v;
    }
    const double n = static_cast<double>(values.size());
    s.mean = sum / n;
    double squares = 0.0;
    for (double v : values) squares += (s.mean - v) * (s.mean - v);
    s.deviation = std::sqrt(squares / n);
    return s;
}

}  // namespace kq5

// ---- the statistics file of a histogram window ------------------------------------------------


namespace kq5 {

namespace {

constexpr int kMsgStatisticsTitle = 17495;  // "Monte Carlo Statistical Analysis of %s"
constexpr int kMsgNoData = 13242;           // "No data."

}  // namespace

std::string MonteCarloStatisticsFileName() { return MakeAnalysisFileName(RunControl().circuitWindow, "MC"); }

int WriteMonteCarloStatistics(MonteCarloWindowRecord* window)
{
    if (!window) return 0;
    const std::string name = MonteCarloStatisticsFileName();
    const int unit = FindFreeUnit();
    if (unit < 0) {
        ReportMessage("E", kMsgInsufficientMemory);
        return kMsgInsufficientMemory;
    }
    if (const int status = CreateUnit(name, unit); status != 0) {
        CloseUnit(unit);
        // The command used to end here without a word; the user asked for a file.
        ReportFileWriteFailure(name, status);
        return status;
    }
    WriteOutputBanner(unit);
    const std::string document = StripDirectory(GetRecordTitle(RunControl().circuitWindow));
    UnitPrintIndented(unit, LoadResString(kMsgStatisticsTitle).c_str(), document.c_str());
    const int kind = Analysis().analysisKind;
    UnitPrintIndented(unit, "%s", kind >= 0 && kind < 3 ? LoadResString(kMsgAnalysisNameBase + kind).c_str() : "");
    WriteDateStampLine(unit);
    UnitPrintIndented(unit, "%d Runs", RunState().lastRunReached);
    UnitPrintIndented(unit, "%s", "");
    UnitPrintIndented(unit, "%s", "");
    UnitPrintIndented(unit, "Summary");
    const RunStatistics s = ComputeRunStatistics(window->values);
    UnitPrintf(unit, " %s\n", window->view.title.c_str());
    if (window->values.empty()) {
        // The function measured nothing in any run: no statistics of zeros.
        std::string noData = LoadResString(kMsgNoData);
        if (noData.size() > 2 && noData[0] == '%') noData.erase(0, 2);
        UnitPrintf(unit, " %s\n", noData.c_str());
    } else {
        UnitPrintf(unit, " Low=%s Mean=%s High=%s Standard Deviation=%s\n", FormatMonteCarloValue(*window, s.low).c_str(),
                   FormatMonteCarloValue(*window, s.mean).c_str(), FormatMonteCarloValue(*window, s.high).c_str(),
                   FormatMonteCarloValue(*window, s.deviation).c_str());
    }
    UnitPrintIndented(unit, "%s", "");
    UnitPrintIndented(unit, "%s", "");
    UnitPrintIndented(unit, "Individual run statistics");
    for (std::size_t i = 0; i < window->values.size(); ++i) {
        std::string line = StrPrintf(" %d", window->valueRuns[i]);
        line.resize(std::max<std::size_t>(line.size(), 6), ' ');
        // From run 10000 the number fills the column: a blank keeps it apart from the value.
        if (line.back() != ' ') line += ' ';
        line += FormatMonteCarloValue(*window, window->values[i]);
        UnitPrintIndented(unit, "%s", line.c_str());
    }
    const int status = CloseUnit(unit);
    if (status != 0) {
        ReportFileWriteFailure(name, status);
        return status;
    }
    ShowFileInTextWindow(name);
    return 0;
}

}  // namespace kq5
