#include "devices/table_source_load.h"

#include <cmath>

#include "core/device_record_fields.h"
#include "analog/analog_state.h"
#include "analog/device_dispatch.h"
#include "analog/device_dispatch_tables.h"
#include "core/device_lists.h"
#include "devices/behavioural_source_walk.h"
#include "netlist/controlled_source_devices.h"
#include "analog/stamp_ac.h"

namespace kq5 {

namespace {

constexpr int kTableFirstType = 39;
constexpr int kFormulaCurrentOutput = 35;
constexpr double kNoStepRequest = 1e30;
// The boundary crossing is aimed at 0.1 % past the breakpoint, so that the shortened step
// ends inside the next segment rather than just short of it.
constexpr double kCrossingMargin = 1.001;
constexpr double kSmallestStepRatio = 0.1;

int KindOf(const TableSourceDevice& t)
{
    const int kind = t.outputKind - kTableFirstType;
    return kind >= 0 && kind <= 3 ? kind : 0;
}

double X(const TableSourceDevice& t, int row) { return t.table[static_cast<std::size_t>(2 * row)]; }
double Y(const TableSourceDevice& t, int row) { return t.table[static_cast<std::size_t>(2 * row + 1)]; }
int RowCount(const TableSourceDevice& t) { return static_cast<int>(t.table.size() / 2); }

double Input(const TableSourceDevice& t)
{
    const std::vector<double>& x = SolutionVector();
    auto at = [&](int i) { return x[static_cast<std::size_t>(i)]; };
    const int kind = KindOf(t);
    return kind == 0 || kind == 2 ? at(t.controlPlus) - at(t.controlMinus) : at(t.branch);
}

template <class F>
int EachTableSource(F&& f)
{
    return ForEachSourceWithRow<TableSourceDevice>(kTableSourceDeviceList, f);
}

}  // namespace

void CheckSourceConverged(int selector, double value, double* previous)
{
    AnalogSolverState& s = AnalogSolver();
    const bool current = selector == 0 || selector == 1 || selector == kFormulaCurrentOutput;
    const double tol = s.reltol * std::max(std::fabs(value), std::fabs(*previous)) + (current ? s.abstol : s.vntol);
    if (s.iterationCount < 3 || std::fabs(value - *previous) > tol) ++s.nonConvergedCount;
    *previous = value;
}

int SetupTableSources()
{
    return EachTableSource([](TableSourceDevice& t) {
        return ReserveControlledSourceStamps(t.stamps, KindOf(t), t.branch, t.controlPlus, t.controlMinus,
                                             t.outputPlus, t.outputMinus);
    });
}

int LoadTableSources()
{
    return EachTableSource([](TableSourceDevice& t) {
        const int rows = RowCount(t);
        if (rows < 2) return 0;
        const int kind = KindOf(t);
        const double u = Input(t);
        int i = 1;
        while (u > X(t, i) && i <= rows - 2) ++i;
        t.input = u;
        t.segment = i;
        double dx = X(t, i) - X(t, i - 1);
        if (dx == 0.0) dx = 1e-50;
        t.slope = (Y(t, i) - Y(t, i - 1)) / dx;
        const double y = (u - X(t, i - 1)) * t.slope + Y(t, i - 1);
        const double b = y - t.slope * u;
        switch (kind) {
        case 0:
        case 1:
            RhsEntry(t.outputPlus) -= b;
            RhsEntry(t.outputMinus) += b;
            t.current = y;
            break;
        case 2: RhsEntry(t.branch) = b; break;
        default: RhsEntry(t.branch + 1) = b; break;
        }
        CheckSourceConverged(kind, y, &t.previousOutput);
        StampCursor c(t.stamps);
        StampControlledSource(c, kind, t.slope);
        c.Finish();
        return 0;
    });
}

void TableSourceStepRatio()
{
    AnalogSolverState& s = AnalogSolver();
    double& ratio = s.stepFactors[kStepFactorTableSource];
    ratio = kNoStepRequest;
    if (s.runPhase != kPhaseTimeSteps || s.acceptedPointCount <= 0) return;
    EachTableSource([&](TableSourceDevice& t) {
        const int a = t.acceptedSegment;
        if (t.segment == a) return 0;
        const double du = t.input - t.acceptedInput;
        // The input moved out of its accepted segment: the boundary it crossed first.
        const int boundary = t.segment > a ? a : a - 1;
        if (boundary < 0 || boundary >= RowCount(t)) return 0;
        ratio = du == 0.0 ? kNoStepRequest : (X(t, boundary) - t.acceptedInput) * kCrossingMargin / du;
        t.segment = t.segment > a ? a + 1 : a - 1;
        if (ratio < kSmallestStepRatio) ratio = kNoStepRequest;
        return 0;
    });
}

void AcceptTableSourceStates()
{
    for (TableSourceDevice& t : ListRecords<TableSourceDevice>(DeviceList(kTableSourceDeviceList))) {
        t.acceptedSegment = t.segment;
        t.acceptedInput = t.input;
    }
}

int AcLoadTableSources(int pass)
{
    return EachTableSource([&](TableSourceDevice& t) {
        const int kind = KindOf(t);
        const int b = t.branch;
        if (pass == kAcStampPass)
            return StampAcControlledSource(true, 1, kind, b, b + 1, t.controlPlus, t.controlMinus, t.outputPlus,
                                           t.outputMinus, t.slope, 0.0);
        if (kind == 0) Devices().acCurrents[&t] = AcScaledVoltageDifference(t.slope, t.controlPlus, t.controlMinus);
        if (kind == 1) Devices().acCurrents[&t] = AcScaledNodeVoltage(t.slope, b);
        return 0;
    });
}

void RegisterTableSourceFamily()
{
    RegisterDeviceKindHandlers(kSlotTableSources, SetupTableSources, LoadTableSources);
    RegisterAcStamper(kAcTableSources, AcLoadTableSources);
}

}  // namespace kq5
