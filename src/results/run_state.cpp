#include "results/run_state.h"

#include <algorithm>
#include <cmath>

namespace kq5 {

AnalysisRunState& RunState()
{
    static AnalysisRunState state;
    return state;
}

void ResetRunStateForTests() { RunState() = AnalysisRunState{}; }

std::int64_t RunRecordIndex(const RunPosition& position)
{
    const AnalysisRunState& s = RunState();
    const std::int64_t cases = std::max(s.runCount, 1);
    const std::int64_t values = std::max(s.input2Count, 1);
    return (static_cast<std::int64_t>(position.temperatureIndex) * cases + position.caseIndex) * values +
           position.input2Index;
}

RunPosition RunPositionOf(std::int64_t runNumber)
{
    const AnalysisRunState& s = RunState();
    const std::int64_t cases = std::max(s.runCount, 1);
    const std::int64_t values = std::max(s.input2Count, 1);
    runNumber = std::max<std::int64_t>(runNumber, 0);
    RunPosition p;
    p.input2Index = static_cast<int>(runNumber % values);
    p.caseIndex = static_cast<int>(runNumber / values % cases);
    p.temperatureIndex = static_cast<int>(runNumber / values / cases);
    return p;
}

std::int64_t CurrentRunRecordIndex()
{
    const AnalysisRunState& s = RunState();
    return RunRecordIndex({s.temperatureIndex, std::max(s.runIndex - 1, 0), s.input2Index});
}

std::int64_t TotalRunCount()
{
    const AnalysisRunState& s = RunState();
    return static_cast<std::int64_t>(std::max(s.runCount, 1)) * std::max(s.temperatureCount, 1) *
           std::max(s.input2Count, 1);
}

int TemperatureRunCount(double low, double high, double step)
{
    // The temperature loop: start one step below low, move up by step (held at high) and stop
    // once within a thousandth of a degree of high.
    double current = low - step;
    int count = 0;
    do {
        current = step > 0.0 ? std::min(current + step, high) : high;
        ++count;
    } while (std::abs(current - high) >= 0.001 && count < kMaxAnalysisRuns);
    return count;
}

int Input2ValueCount(double initial, double final, double step)
{
    // The Input 2 loop: from initial by step until within a tenth of a step of final or past it.
    if (step == 0.0 || !std::isfinite(step)) return 1;
    int count = 1;
    for (double value = initial; count < kMaxAnalysisRuns; ++count) {
        if (std::abs(value - final) <= std::abs(step) / 10.0) break;
        if (step > 0.0 ? value >= final : value <= final) break;
        value += step;
    }
    return count;
}

}  // namespace kq5
