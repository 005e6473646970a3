#include "devices/sample_hold_load.h"

#include <cmath>
#include <complex>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/breakpoints.h"
#include "analog/device_dispatch.h"
#include "analog/device_dispatch_tables.h"
#include "analog/transient_run.h"
#include "core/device_lists.h"
#include "core/expr_evaluator.h"
#include "devices/behavioural_source_walk.h"
#include "netlist/standalone_element_devices.h"

namespace kq5 {

namespace {

// Sample instants are recognised within RELTOL x 0.001 of the run's length.
constexpr double kSampleWindowFraction = 0.001;
constexpr double kDefaultPeriodsPerRun = 1000.0;

template <class F>
int EachSampleHold(F&& f)
{
    return ForEachSourceWithRow<SampleHoldDevice>(kSampleHoldDeviceList, f);
}

bool SamplesNow(const SampleHoldDevice& h, double window)
{
    const AnalogSolverState& s = AnalogSolver();
    if (s.operatingPointFlag) return true;
    // Before the first accepted time point the element follows its input, unless the run
    // started from an operating point: that point is the sample at the start, held through the
    // first period like any other (the first time step is no sample instant).
    if (s.acceptedPointCount == 0 && !(s.runKind == kRunKindTransient && TransientRun().operatingPointComputed))
        return true;
    // A period the run start has not yet made positive samples at every load rather than
    // divide by it.
    const double p = h.period;
    if (!(p > 0.0)) return true;
    const double n = std::floor(s.time / p + 0.001);
    return std::fabs(s.time - n * p) < window || std::fabs(s.time - (n + 1.0) * p) < window;
}

}  // namespace

int SetupSampleHolds()
{
    return EachSampleHold([](SampleHoldDevice& h) {
        BeginDeviceReservations(h.stamps);
        if (int rc = ReserveBranchElements(h.branch, h.input, h.output)) return rc;
        EndDeviceReservations(h.stamps);
        return 0;
    });
}

int LoadSampleHolds()
{
    AnalogSolverState& s = AnalogSolver();
    const double tol = s.reltol * kSampleWindowFraction;
    const double window = tol * TransientRun().tmax;
    const std::vector<double>& x = SolutionVector();
    return EachSampleHold([&](SampleHoldDevice& h) {
        if (SamplesNow(h, window) && h.sampled.compiled && h.sampled.compiled->instructions.head) {
            std::complex<double> v;
            if (int rc = EvaluateExpression(*h.sampled.compiled, v)) return rc;
            h.value = v.real();
            const double out = x[static_cast<std::size_t>(h.input)] - x[static_cast<std::size_t>(h.output)];
            if (s.iterationCount <= 1 ||
                std::fabs(h.value - out) > tol * std::max(std::fabs(h.value), std::fabs(out)))
                ++s.nonConvergedCount;
        }
        StampCursor c(h.stamps);
        StampBranchIncidence(c, h.branch, s.sourceFactor * h.value);
        c.Finish();
        return 0;
    });
}

void PrepareSampleHolds(int reset)
{
    const double tmax = TransientRun().tmax;
    for (SampleHoldDevice& h : ListRecords<SampleHoldDevice>(DeviceList(kSampleHoldDeviceList))) {
        if (!(h.period > 0.0) && tmax > 0.0) h.period = tmax / kDefaultPeriodsPerRun;
        if (reset) h.value = h.held = 0.0;
    }
}

int AddSampleBreakpoints()
{
    const AnalogSolverState& s = AnalogSolver();
    const BreakpointState& bp = Breakpoints();
    const double limit = (1.0 + s.reltol) * TransientRun().tmax;
    int result = 0;
    for (SampleHoldDevice& h : ListRecords<SampleHoldDevice>(DeviceList(kSampleHoldDeviceList))) {
        const double p = h.period;
        if (!(p > 0.0)) continue;
        for (double k = 1.0;; k += 1.0) {
            const double tk = k * p;
            if (tk > limit) break;
            const double key2 = std::ceil((tk - bp.origin) / bp.tick);
            const double key1 = std::ceil((tk - bp.origin - 10.0 * s.reltol * p) / bp.tick);
            if (key2 > static_cast<double>(bp.endTick) + 10.0) break;
            int rc = AddTimeBreakpoint(static_cast<std::uint32_t>(std::max(key2, 0.0)));
            if (!rc) rc = AddTimeBreakpoint(static_cast<std::uint32_t>(std::max(key1, 0.0)));
            if (rc) {
                result = rc;
                break;
            }
        }
    }
    return result;
}

void SaveSampleHoldValues()
{
    for (SampleHoldDevice& h : ListRecords<SampleHoldDevice>(DeviceList(kSampleHoldDeviceList))) h.held = h.value;
}

void RestoreSampleHoldValues()
{
    for (SampleHoldDevice& h : ListRecords<SampleHoldDevice>(DeviceList(kSampleHoldDeviceList))) h.value = h.held;
}

void RegisterSampleHoldFamily()
{
    RegisterDeviceKindHandlers(kSlotSampleHolds, SetupSampleHolds, LoadSampleHolds);
}

}  // namespace kq5
