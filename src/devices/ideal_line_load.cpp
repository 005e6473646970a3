#include "devices/ideal_line_load.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/breakpoints.h"
#include "analog/device_dispatch.h"
#include "analog/device_dispatch_tables.h"
#include "analog/transient_run.h"
#include "core/device_lists.h"
#include "netlist/line_switch_devices.h"
#include "devices/lossy_line_load.h"
#include "devices/source_ac.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"

namespace kq5 {

namespace {

constexpr int kMsgNoMemory = 15002;
constexpr double kMinimumImpedance = 0.001;

double Impedance(const IdealLineDevice& l)
{
    const double z0 = l.model && !l.model->params.empty() ? l.model->Param(0) : 0.0;
    return std::max(z0, kMinimumImpedance);
}

double Delay(const IdealLineDevice& l)
{
    return l.model && l.model->params.size() > 1 ? l.model->Param(1) : l.delay;
}

// The wave leaving a port: its voltage plus Z0 times the current entering the line.
double Wave(int plus, int minus, int internal)
{
    return SolutionDifference(plus, minus) + SolutionDifference(plus, internal);
}
double Wave1(const IdealLineDevice& l) { return Wave(l.port1Plus, l.port1Minus, l.internal1); }
double Wave2(const IdealLineDevice& l) { return Wave(l.port2Plus, l.port2Minus, l.internal2); }

// Row of one port's source: V(internal) - V(minus) = k (2 V(o+) - V(o-) - V(o-internal)) + rhs.
int ReserveSourceRow(int branch, int otherPlus, int otherMinus, int otherInternal, int internal, int minus)
{
    for (int column : {otherPlus, otherMinus, otherPlus, otherInternal, internal, minus})
        if (int rc = ReserveMatrixElement(branch, column)) return rc;
    if (int rc = ReserveMatrixElement(internal, branch)) return rc;
    return ReserveMatrixElement(minus, branch);
}

void StampSourceRow(StampCursor& c, int branch, double k, double value)
{
    for (double v : {-k, k, -k, k, 1.0, -1.0, 1.0, -1.0}) c.Add(v);
    RhsEntry(branch) += value;
}

// The waves that left the ports TD before `time`, interpolated in the history; left as they
// are when the history does not reach that far.
void InterpolateDelayedWaves(IdealLineDevice& l, double time)
{
    const auto after = std::find_if(l.history.begin(), l.history.end(),
                                    [time](const LineHistoryPoint& p) { return p.time >= time; });
    if (after == l.history.end() || after == l.history.begin()) return;
    const LineHistoryPoint& a = *(after - 1);
    const LineHistoryPoint& b = *after;
    if (b.time == a.time) {
        l.delayed2 = 0.5 * (a.w1 + b.w1);
        l.delayed1 = 0.5 * (a.w2 + b.w2);
        return;
    }
    const double f = (time - a.time) / (b.time - a.time);
    l.delayed2 = a.w1 + (b.w1 - a.w1) * f;
    l.delayed1 = a.w2 + (b.w2 - a.w2) * f;
}

double NonDenormal(double w)
{
    if (w != 0.0 && std::abs(w) < 1e-50) return w > 0.0 ? 1e-50 : -1e-50;
    return w;
}

// Slope and second derivative of a wave since its last record; true when the slope changed
// sharply enough that the corner deserves a breakpoint where it arrives. A slope that moves
// the wave by no more than VNTOL over the step is flat: the rounding noise on a flat wave must
// not hide the corner where a ramp starts or ends.
bool SharpCorner(const double (&last)[3], double w, double h, double tolerance, double reltol, double vntol,
                 double (&next)[3])
{
    const double d = (w - last[0]) / h;
    double dd = (d - last[1]) / h;
    dd = std::copysign(std::max(std::abs(dd), 0.001), dd);
    next[0] = w;
    next[1] = d;
    next[2] = dd;
    const double change = std::abs(d - last[1]);
    double m = std::min(std::abs(last[1]), std::abs(d));
    if (m <= 1e-20 || m * h <= vntol) m = 1e-20;
    if (change / m > tolerance && std::abs(dd) > tolerance) return true;
    // Two ramps that meet (a wave arriving while the source turns) bend the wave without a
    // flat side: the corner counts when the slope changes by half or more and the last slope,
    // carried over the step, misses the new value by more than the solution's accuracy.
    const double steeper = std::max(std::abs(last[1]), std::abs(d));
    return change > 0.5 * steeper && change * h > reltol * std::max(std::abs(w), std::abs(last[0])) + vntol;
}

// Appends the present waves as arriving at `time`; 0, 15002 or a breakpoint failure.
int RecordLineHistory(double time, IdealLineDevice& l)
{
    const AnalogSolverState& s = AnalogSolver();
    if (time < TransientRun().tmin) return 0;
    if (!l.history.empty() && time <= l.history.back().time) return 0;
    const double w1 = NonDenormal(Wave1(l));
    const double w2 = NonDenormal(Wave2(l));
    const bool first = l.history.empty();
    try {
        l.history.push_back({time, w1, w2});
    } catch (const std::bad_alloc&) {
        return kMsgNoMemory;
    }
    double next1[3] = {w1, 0.0, 0.0};
    double next2[3] = {w2, 0.0, 0.0};
    // The first record has no earlier one to take a slope from, nor has a zero step.
    const double h = s.step;
    if (!first && h > 0.0) {
        const double tmax = TransientRun().tmax;
        const double tolerance = tmax > 0.0 ? s.reltol * 10000.0 / tmax : 0.0;
        // A wave that was moving and has stopped has a corner as sharp as one that starts to
        // move, though it has not changed since the last point: its last slope counts too.
        const auto moved = [&](const double (&wave)[3], double w) {
            return std::abs(w - wave[0]) > s.vntol || std::abs(wave[1]) * h > s.vntol;
        };
        const bool moved1 = moved(l.wave1, w1), moved2 = moved(l.wave2, w2);
        const bool corner1 = SharpCorner(l.wave1, w1, h, tolerance, s.reltol, s.vntol, next1) && moved1;
        const bool corner2 = SharpCorner(l.wave2, w2, h, tolerance, s.reltol, s.vntol, next2) && moved2;
        if (corner1 || corner2)
            if (int rc = AddTimeBreakpoint(TimeToTick(s.time - h + Delay(l)))) return rc;
    }
    std::copy(std::begin(next1), std::end(next1), l.wave1);
    std::copy(std::begin(next2), std::end(next2), l.wave2);
    return 0;
}

template <class F>
int ForEachLine(F&& f)
{
    std::size_t i = 0;
    for (IdealLineDevice& l : ListRecords<IdealLineDevice>(DeviceList(kIdealLineDeviceList)))
        if (int rc = f(l, DeviceRow(kIdealLineDeviceList, i++))) return rc;
    return 0;
}

}  // namespace

int SetupIdealLines()
{
    return ForEachLine([](IdealLineDevice& l, int b1) {
        BeginDeviceReservations(l.stamps);
        for (auto [a, b] : {std::pair{l.port1Plus, l.internal1}, std::pair{l.port2Plus, l.internal2},
                            std::pair{l.port1Plus, l.port1Minus}, std::pair{l.port2Plus, l.port2Minus}})
            if (int rc = ReserveConductanceElements(a, b)) return rc;
        if (int rc = ReserveSourceRow(b1, l.port2Plus, l.port2Minus, l.internal2, l.internal1, l.port1Minus))
            return rc;
        if (int rc = ReserveSourceRow(b1 + 1, l.port1Plus, l.port1Minus, l.internal1, l.internal2, l.port2Minus))
            return rc;
        EndDeviceReservations(l.stamps);
        return 0;
    });
}

int LoadIdealLines()
{
    const AnalogSolverState& s = AnalogSolver();
    const double gmin = GlobalOptions().values.gmin;
    // During an operating point each source follows the other port at once: the line is a
    // wire pair with Z0 in series.
    const double k = s.operatingPointFlag ? 1.0 : 0.0;
    const bool atStart = s.time <= TransientRun().tmin;
    return ForEachLine([&](IdealLineDevice& l, int b1) {
        l.delay = Delay(l);
        if (k == 0.0) {
            if (atStart) {
                l.delayed2 = Wave1(l);
                l.delayed1 = Wave2(l);
            } else {
                InterpolateDelayedWaves(l, s.time);
            }
        }
        StampCursor c(l.stamps);
        const double g = 1.0 / Impedance(l);
        StampConductance(c, g);
        StampConductance(c, g);
        StampConductance(c, gmin);
        StampConductance(c, gmin);
        const double scale = k == 0.0 ? s.sourceFactor : 0.0;
        StampSourceRow(c, b1, k, scale * l.delayed1);
        StampSourceRow(c, b1 + 1, k, scale * l.delayed2);
        c.Finish();
        return 0;
    });
}

int SetLineStepLimits(double& maxStep)
{
    const double start = TransientRun().tmin;
    if (int rc = StartLossyLineHistories(maxStep)) return rc;
    return ForEachLine([&](IdealLineDevice& l, int) {
        l.delay = Delay(l);
        maxStep = std::min(maxStep, 0.5 * l.delay);
        l.history.clear();
        // Until the first wave arrives, each port sees the other's operating-point wave.
        if (int rc = RecordLineHistory(start, l)) return rc;
        return RecordLineHistory(start + l.delay, l);
    });
}

int PruneLineHistories()
{
    const double t = AnalogSolver().time;
    if (int rc = AcceptLossyLineTimePoint()) return rc;
    return ForEachLine([t](IdealLineDevice& l, int) {
        // Keep the last point before t and the one before it; drop one older point per step.
        const auto after = std::find_if(l.history.begin(), l.history.end(),
                                        [t](const LineHistoryPoint& p) { return p.time >= t; });
        if (after - l.history.begin() > 2) l.history.pop_front();
        return RecordLineHistory(t + l.delay, l);
    });
}

void ClearLineHistories()
{
    FreeLossyLineHistories();
    for (IdealLineDevice& l : ListRecords<IdealLineDevice>(DeviceList(kIdealLineDeviceList))) {
        l.history.clear();
        l.history.shrink_to_fit();
    }
}

void RegisterLineFamilies()
{
    RegisterDeviceKindHandlers(kSlotIdealLines, SetupIdealLines, LoadIdealLines);
    RegisterLossyLineFamily();
}

}  // namespace kq5
