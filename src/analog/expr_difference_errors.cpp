// The report of the difference functions DIFA and DIFD after a run.
#include "analog/expr_run_services.h"

#include <cmath>
#include <string>

#include "core/batch_log.h"
#include "core/expr_math_errors.h"
#include "core/expr_symbols.h"
#include "core/file_units.h"
#include "core/digital_logic_tables.h"
#include "results/curve_record.h"
#include "results/waveform_store.h"

namespace kq5 {

namespace {

// The tolerance of a difference function: its constant third argument, 0 without one.
double DifferenceTolerance(const CompiledExpression& e, bool& digital)
{
    const ExpressionInstruction* previous = nullptr;
    double tolerance = 0.0;
    for (const auto& ins : ListRecords<ExpressionInstruction>(e.instructions)) {
        if (!ins.pushFlag && (ins.opcode == kOpDifa || ins.opcode == kOpDifd)) {
            digital = ins.opcode == kOpDifd;
            if (ins.index >= 3 && previous && previous->opcode == kOpConstant) tolerance = previous->value.real();
        }
        previous = &ins;
    }
    return tolerance;
}

bool IsSet(double value, bool digital)
{
    if (!digital) return value != 0.0;
    return DigitalStateChar(static_cast<std::uint16_t>(std::lround(value))) == '1';
}

}  // namespace

int ReportDifferenceErrors(PlotRecord& plot, std::string_view circuitName)
{
    int marked = 0;
    const std::string circuit(circuitName);
    for (auto& curvePointer : plot.curves) {
        CurveRecord& curve = *curvePointer;
        if (!(curve.flags & kCurveUsesDifference) && !(curve.yExpression.dependencies & kDependsDifference)) continue;
        const int run = static_cast<int>(curve.runFirstIndex.size()) - 1;
        if (run < 0 || run >= static_cast<int>(curve.runLastIndex.size())) continue;
        bool digital = false;
        const double tolerance = DifferenceTolerance(curve.yExpression, digital);
        const int points = curve.runLastIndex[run] - curve.runFirstIndex[run] + 1;
        std::vector<std::uint8_t> flags(points > 0 ? static_cast<std::size_t>(points) : 0);
        for (int i = 0; i < points; ++i) {
            const double y = WaveformStoreRead(curve, run, i);
            if (!IsSet(y, digital)) continue;
            if (i == 0) {
                flags[i] = 1;
                continue;
            }
            const double before = WaveformStoreRead(curve, run, i - 1);
            const double step = WaveformStoreRead(curve, run, i, kWaveformX) - WaveformStoreRead(curve, run, i - 1, kWaveformX);
            const bool persisted = digital ? DigitalStateChar(static_cast<std::uint16_t>(std::lround(before))) == '1'
                                           : before == y;
            flags[i] = persisted || step >= tolerance;
        }
        bool found = false;
        const int unit = NumericOutputUnit();
        for (int i = 0; i < points; ++i) {
            const std::int32_t at = curve.runFirstIndex[run] + i;
            const double on = digital ? (kState1 | kFullStrength) : 1.0;
            const double off = digital ? kFullStrength : 0.0;
            WaveformStoreReplace(curve, at, flags[i] ? on : off);
            if (!flags[i]) continue;
            found = true;
            ++marked;
            if (unit >= 0)
                UnitPrintf(unit, "%s At %s = %g, %s generated an error.\n", circuit.c_str(),
                           curve.xExpressionText.c_str(), WaveformStoreRead(curve, run, i, kWaveformX),
                           curve.yExpressionText.c_str());
        }
        if (curve.runDifferenceFound.size() <= static_cast<std::size_t>(run)) curve.runDifferenceFound.resize(run + 1);
        curve.runDifferenceFound[run] = found ? 1 : 0;
    }
    return marked;
}

}  // namespace kq5
