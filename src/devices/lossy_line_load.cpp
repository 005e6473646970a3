// The lossy transmission line by the convolution method. Each end obeys
//     i1 = y * v1 - (p y) * v2 - p * i2   (and the same with the ends exchanged),
// y the characteristic admittance, p the propagation exp(-gamma LEN) and * convolution in
// time. Between accepted points the port values are taken as straight lines, so each
// convolution is a sum over the slope changes of a sample sequence weighted with the kernel's
// ramp response (its step response integrated once): exact for the interpolant, and the
// present values enter with the weight ramp(h)/h of the newest step. RC, LC and RLC lines
// have closed forms for most ramps; the RLC propagation ramps are integrated numerically
// once per run. RG lines have no memory and keep their static two-port.
#include "devices/lossy_line_load.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <new>
#include <numbers>

#include "analog/analog_state.h"
#include "analog/analysis_state.h"
#include "analog/breakpoints.h"
#include "analog/device_dispatch.h"
#include "analog/device_dispatch_tables.h"
#include "analog/transient_run.h"
#include "core/device_lists.h"
#include "devices/line_switch_devices.h"
#include "devices/stamp_ac.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"

namespace kq5 {

// Beyond 600 the factors overflow separately; two terms of the large-argument series are
// then closer than a part in a million.
namespace {

// The power series of I0 or I1 for moderate x: positive terms, so accurate to rounding, and
// much cheaper than the library's general-order function, which the convolution calls for
// every sample at every time point.
constexpr double kSeriesLimit = 30.0;
double BesselSeries(int order, double x)
{
    const double q = 0.25 * x * x;
    double term = order == 0 ? 1.0 : 0.5 * x, sum = term;
    for (int k = 1; k < 300; ++k) {
        term *= q / (static_cast<double>(k) * static_cast<double>(k + order));
        sum += term;
        if (term < 1e-17 * sum) break;
    }
    return sum;
}

}  // namespace

double ScaledBesselI0(double x)
{
    if (x < kSeriesLimit) return std::exp(-x) * BesselSeries(0, x);
    if (x < 600.0) return std::exp(-x) * std::cyl_bessel_i(0.0, x);
    return (1.0 + 0.125 / x) / std::sqrt(2.0 * std::numbers::pi * x);
}

double ScaledBesselI1(double x)
{
    if (x < kSeriesLimit) return std::exp(-x) * BesselSeries(1, x);
    if (x < 600.0) return std::exp(-x) * std::cyl_bessel_i(1.0, x);
    return (1.0 - 0.375 / x) / std::sqrt(2.0 * std::numbers::pi * x);
}

namespace {

constexpr int kMsgNoMemory = 15002;
constexpr int kMsgUnsupportedLine = 14181;
enum LineKind { kRlc, kRc, kRg, kLc };
enum Kernel { kSelf, kCross, kCurrent };  // y, p y, p
constexpr std::size_t kTableLimit = 20000;
constexpr double kTableGrowth = 1.003;

struct LineValues {
    LineKind kind = kRg;
    double r = 0, l = 0, g = 0, c = 0, len = 1;
    double y0 = 0, delay = 0, alpha = 0;
};

LineValues Values(const LossyLineDevice& line)
{
    LineValues v;
    if (!line.model || line.model->params.size() <= 8) return v;  // refused by the set-up
    const EvaluatedModel& m = *line.model;
    v.r = m.Param(4);
    v.l = m.Param(5);
    v.g = m.Param(6);
    v.c = m.Param(7);
    v.len = m.Param(8);
    if (v.g != 0.0) v.kind = kRg;
    else if (v.l == 0.0) v.kind = kRc;
    else if (v.r == 0.0) v.kind = kLc;
    else v.kind = kRlc;
    if (v.l > 0.0 && v.c > 0.0) {
        v.y0 = std::sqrt(v.c / v.l);
        v.delay = v.len * std::sqrt(v.l * v.c);
        v.alpha = 0.5 * v.r / v.l;
    }
    return v;
}

// exp(x), 0 where it would underflow.
double DecayingExp(double x) { return x < -600.0 ? 0.0 : std::exp(x); }


// RLC propagation: the step responses of p and p y after the delay.
double RlcCrossImpulse(const LineValues& v, double t)  // the part of p's impulse after its edge
{
    const double u = std::sqrt(std::max(t * t - v.delay * v.delay, 0.0));
    const double x = v.alpha * u;
    const double i1OverU = x < 1e-8 ? 0.5 * v.alpha : ScaledBesselI1(x) / u;
    return v.alpha * v.delay * DecayingExp(-v.alpha * (t - u)) * i1OverU;
}
double RlcCrossStep(const LineValues& v, double t)
{
    const double u = std::sqrt(std::max(t * t - v.delay * v.delay, 0.0));
    return v.y0 * DecayingExp(-v.alpha * (t - u)) * ScaledBesselI0(v.alpha * u);
}

// The RLC ramps of p and p y after the delay, as triples (time, ramp of p, ramp of p y) on a
// grid that starts at a two-hundredth of the delay, where the response changes fastest, and
// widens geometrically to the end of the run.
int TabulateRlc(LossyLineDevice& line, const LineValues& v, double span)
{
    line.responseTable.clear();
    double d = v.delay / 200.0;
    try {
        line.responseTable.insert(line.responseTable.end(), {v.delay, 0.0, 0.0});
        double stepP = DecayingExp(-v.alpha * v.delay), rampP = 0.0, rampPy = 0.0;
        double stepPy = RlcCrossStep(v, v.delay);
        for (double t0 = v.delay; t0 < v.delay + span && line.responseTable.size() < 3 * kTableLimit;
             t0 += d, d *= kTableGrowth) {
            const double t1 = t0 + d;
            auto impulse = [&](double f) { return RlcCrossImpulse(v, t0 + f * d); };
            const double midStepP = stepP + d / 12 * (impulse(0) + 4 * impulse(0.25) + impulse(0.5));
            const double nextStepP = midStepP + d / 12 * (impulse(0.5) + 4 * impulse(0.75) + impulse(1));
            const double nextStepPy = RlcCrossStep(v, t1);
            rampP += d / 6 * (stepP + 4 * midStepP + nextStepP);
            rampPy += d / 6 * (stepPy + 4 * RlcCrossStep(v, t0 + d / 2) + nextStepPy);
            stepP = nextStepP;
            stepPy = nextStepPy;
            line.responseTable.insert(line.responseTable.end(), {t1, rampP, rampPy});
        }
    } catch (const std::bad_alloc&) {
        return kMsgNoMemory;
    }
    return 0;
}

double TableRamp(const LossyLineDevice& line, const LineValues& v, double t, int column)
{
    const std::vector<double>& table = line.responseTable;
    const std::size_t count = table.size() / 3;
    if (t <= v.delay || count < 2) return 0.0;
    // The last entry at or before t (the last interval's slope carries on beyond the table).
    std::size_t lo = 0, hi = count - 1;
    while (hi - lo > 1) {
        const std::size_t mid = (lo + hi) / 2;
        (table[3 * mid] <= t ? lo : hi) = mid;
    }
    const auto c = static_cast<std::size_t>(column);
    const double t0 = table[3 * lo], t1 = table[3 * hi];
    return table[3 * lo + 1 + c] + (table[3 * hi + 1 + c] - table[3 * lo + 1 + c]) * (t - t0) / (t1 - t0);
}

// The ramp response (step response integrated once from 0) of a kernel, and its gain at DC.
double RampValue(const LossyLineDevice& line, const LineValues& v, Kernel k, double t);
// Responses that have barely begun count as none: their tiny weights would only push the
// matrix factors towards underflow.
double Ramp(const LossyLineDevice& line, const LineValues& v, Kernel k, double t)
{
    const double r = RampValue(line, v, k, t);
    return std::abs(r) < 1e-150 ? 0.0 : r;
}

double RampValue(const LossyLineDevice& line, const LineValues& v, Kernel k, double t)
{
    if (t <= 0.0) return 0.0;
    switch (v.kind) {
    case kLc:
        if (k == kSelf) return v.y0 * t;
        return t > v.delay ? (k == kCross ? v.y0 : 1.0) * (t - v.delay) : 0.0;
    case kRc: {
        const double b2 = v.r * v.c * v.len * v.len;  // the diffusion time, times 4
        const double a = b2 / (4 * t);
        const double root = std::sqrt(v.c / v.r);
        if (k == kSelf) return 2 * root * std::sqrt(t / std::numbers::pi);
        // Long before the diffusion time nothing has arrived (and the terms would underflow).
        if (a > 600.0) return 0.0;
        const double tail = std::erfc(std::sqrt(a));
        if (k == kCross) return root * (2 * std::sqrt(t / std::numbers::pi) * std::exp(-a) - std::sqrt(b2) * tail);
        return (t + b2 / 2) * tail - std::sqrt(t * b2 / std::numbers::pi) * std::exp(-a);
    }
    case kRlc:
        if (k == kSelf) return v.y0 * t * (ScaledBesselI0(v.alpha * t) + ScaledBesselI1(v.alpha * t));
        return TableRamp(line, v, t, k == kCurrent ? 0 : 1);
    case kRg:
        break;
    }
    return 0.0;
}

double DcGain(const LineValues& v, Kernel k)
{
    if (k == kCurrent) return 1.0;
    return v.kind == kLc ? v.y0 : 0.0;
}

// The static two-port of an RG line, and of every line at DC (where G = 0 makes it a series
// resistance R LEN): V1 = a V2 - b I2, I1 = c V2 - a I2.
struct ChainValues {
    double a = 1.0, b = 0.0, c = 0.0;
};
ChainValues Chain(const LineValues& v)
{
    ChainValues ch;
    if (v.kind != kRg) {
        ch.b = v.r * v.len;
        return ch;
    }
    const double x = std::min(v.len * std::sqrt(v.r * v.g), 700.0);
    ch.a = std::cosh(x);
    ch.b = v.r > 0.0 ? std::sqrt(v.r / v.g) * std::sinh(x) : 0.0;
    ch.c = std::sqrt(v.g / std::max(v.r, 1e-300)) * std::sinh(x);
    if (v.r == 0.0) ch.c = v.g * v.len;
    return ch;
}

double Slope(const std::array<double, 5>& a, const std::array<double, 5>& b, std::size_t column)
{
    return (b[column] - a[column]) / std::max(b[0] - a[0], 1e-30);
}

// The kernels' ramps at the ages of a sample sequence at one time. The lines of a bus share
// their model and their sample times, so one line's weights serve the others: the kernel
// evaluations (Bessel functions, table searches) are the dear part of the convolution.
struct KernelWeights {
    double key[6] = {-1, 0, 0, 0, 0, 0};  // kind, r, l, g, c, len
    double time = -1.0;
    std::vector<double> times;
    std::vector<double> ramps[3];
};
thread_local KernelWeights tWeights;

void ForgetKernelWeights()
{
    tWeights.time = -1.0;
    tWeights.times.clear();
    for (auto& r : tWeights.ramps) r.clear();
}

const KernelWeights& Weights(const LossyLineDevice& line, const LineValues& v, double t)
{
    const auto& x = line.samples;
    const std::size_t n = x.size() - 1;
    const double key[6] = {static_cast<double>(v.kind), v.r, v.l, v.g, v.c, v.len};
    KernelWeights& w = tWeights;
    bool same = w.time == t && w.times.size() == n && std::equal(key, key + 6, w.key);
    for (std::size_t j = 0; same && j < n; ++j) same = w.times[j] == x[j][0];
    if (same) return w;
    std::copy(key, key + 6, w.key);
    w.time = t;
    w.times.resize(n);
    for (auto& r : w.ramps) r.resize(n);
    const std::vector<double>& table = line.responseTable;
    const std::size_t count = table.size() / 3;
    // The ages fall from the oldest sample on, so the RLC table is walked once rather than
    // searched for every sample.
    std::size_t lo = count >= 2 ? count - 2 : 0;
    for (std::size_t j = 0; j < n; ++j) {
        const double age = t - x[j][0];
        w.times[j] = x[j][0];
        w.ramps[kSelf][j] = Ramp(line, v, kSelf, age);
        if (v.kind != kRlc) {
            for (Kernel k : {kCross, kCurrent}) w.ramps[k][j] = Ramp(line, v, k, age);
            continue;
        }
        if (age <= v.delay || count < 2) {
            w.ramps[kCross][j] = w.ramps[kCurrent][j] = 0.0;
            continue;
        }
        while (lo > 0 && table[3 * lo] > age) --lo;
        const double f = (age - table[3 * lo]) / (table[3 * lo + 3] - table[3 * lo]);
        for (auto [k, c] : {std::pair{kCurrent, 1}, std::pair{kCross, 2}}) {
            const double a = table[3 * lo + c], r = a + (table[3 * lo + 3 + c] - a) * f;
            w.ramps[k][j] = std::abs(r) < 1e-150 ? 0.0 : r;
        }
    }
    return w;
}

// The present values' weights and the history terms at time t (from the samples).
int FormHistory(LossyLineDevice& line, const LineValues& v, double t)
{
    if (line.historyTime == t && line.historyCount == line.samples.size()) return 0;
    const auto& x = line.samples;
    const std::size_t n = x.size() - 1;
    const double h = std::max(t - x[n][0], 1e-30);
    double newest[3];
    for (Kernel k : {kSelf, kCross, kCurrent}) {
        newest[k] = Ramp(line, v, k, h);
        line.present[k] = newest[k] / h;
    }
    const KernelWeights* weights = nullptr;
    try {
        weights = &Weights(line, v, t);
    } catch (const std::bad_alloc&) {
        ForgetKernelWeights();
        return kMsgNoMemory;
    }
    const KernelWeights& w = *weights;
    // Sum over the slope changes of each port sequence; column 1..4: V1, V2, I1, I2.
    double sum[3][5] = {}, previousSlope[5] = {};
    for (Kernel k : {kSelf, kCross, kCurrent})
        for (std::size_t column = 1; column <= 4; ++column) sum[k][column] = DcGain(v, k) * x[0][column];
    const auto& changes = line.slopeChanges;
    const double* self = w.ramps[kSelf].data();
    const double* cross = w.ramps[kCross].data();
    const double* current = w.ramps[kCurrent].data();
    double s1 = 0.0, s2 = 0.0, c1 = 0.0, c2 = 0.0, p3 = 0.0, p4 = 0.0;
    for (std::size_t j = 0; j < n; ++j) {
        const auto& d = changes[j];
        s1 += d[0] * self[j];
        s2 += d[1] * self[j];
        c1 += d[0] * cross[j];
        c2 += d[1] * cross[j];
        p3 += d[2] * current[j];
        p4 += d[3] * current[j];
    }
    sum[kSelf][1] += s1;
    sum[kSelf][2] += s2;
    sum[kCross][1] += c1;
    sum[kCross][2] += c2;
    sum[kCurrent][3] += p3;
    sum[kCurrent][4] += p4;
    if (n > 0)
        for (std::size_t column = 1; column <= 4; ++column) previousSlope[column] = Slope(x[n - 1], x[n], column);
    // The newest step's slope holds the present value: only its known parts stay here.
    auto convolve = [&](Kernel k, std::size_t column) {
        return sum[k][column] - x[n][column] * newest[k] / h - previousSlope[column] * newest[k];
    };
    line.history[0] = convolve(kSelf, 1) - convolve(kCross, 2) - convolve(kCurrent, 4);
    line.history[1] = convolve(kSelf, 2) - convolve(kCross, 1) - convolve(kCurrent, 3);
    line.historyTime = t;
    line.historyCount = line.samples.size();
    return 0;
}

int Branch(std::size_t position) { return DeviceRow(kLossyLineDeviceList, position); }

template <class F>
int ForEachLossyLine(F&& f)
{
    std::size_t i = 0;
    for (LossyLineDevice& l : ListRecords<LossyLineDevice>(DeviceList(kLossyLineDeviceList)))
        if (int rc = f(l, Branch(i++))) return rc;
    return 0;
}

// Each row: its own current, the four port nodes, the other current.
int ReserveRow(int row, int own, int other, const LossyLineDevice& l)
{
    for (int column : {own, l.port1Plus, l.port1Minus, l.port2Plus, l.port2Minus, other})
        if (int rc = ReserveMatrixElement(row, column)) return rc;
    return 0;
}

// Appends the port values of the present solution at the present time (once per time).
int RecordSample(LossyLineDevice& l, int b1)
{
    const double t = AnalogSolver().time;
    if (!l.samples.empty() && t <= l.samples.back()[0]) return 0;
    const std::vector<double>& x = SolutionVector();
    try {
        l.samples.push_back({t, SolutionDifference(l.port1Plus, l.port1Minus),
                             SolutionDifference(l.port2Plus, l.port2Minus), x[static_cast<std::size_t>(b1)],
                             x[static_cast<std::size_t>(b1 + 1)]});
        // The newest interval fixes the slope change at the point before it.
        const std::size_t n = l.samples.size() - 1;
        if (n > 0) {
            std::array<double, 4> change{};
            for (std::size_t column = 1; column <= 4; ++column)
                change[column - 1] = Slope(l.samples[n - 1], l.samples[n], column) -
                                     (n > 1 ? Slope(l.samples[n - 2], l.samples[n - 1], column) : 0.0);
            l.slopeChanges.push_back(change);
        }
    } catch (const std::bad_alloc&) {
        if (l.samples.size() > l.slopeChanges.size() + 1) l.samples.pop_back();  // keep them in step
        return kMsgNoMemory;
    }
    return 0;
}

// Whether the wave leaving port 1 or 2 changed its slope sharply at the point before the
// last, by more than it could from the truncation of the steps.
bool WaveBends(const LossyLineDevice& l, const LineValues& v, int port)
{
    const std::size_t k = l.samples.size() - 1;
    if (k < 2) return false;
    const double attenuation = DecayingExp(-v.alpha * v.delay);
    const auto column = static_cast<std::size_t>(port);
    double d[3], t[3];
    for (std::size_t m = 0; m < 3; ++m) {
        const auto& x = l.samples[k - 2 + m];
        d[m] = (x[column] + x[column + 2] / v.y0) * attenuation;
        t[m] = x[0];
    }
    const double s1 = (d[2] - d[1]) / (t[2] - t[1]), s2 = (d[1] - d[0]) / (t[1] - t[0]);
    const AnalogSolverState& s = AnalogSolver();
    const double range = std::max({d[0], d[1], d[2]}) - std::min({d[0], d[1], d[2]});
    // The corner matters as far as missing it would bend the interpolant over the shorter of
    // its steps by more than the truncation tolerance (relaxed by TRTOL as the curvature
    // bound is): the small steps after a breakpoint show sharp but tiny bends, which would
    // otherwise breed a breakpoint at every arrival.
    const double step = std::min(t[2] - t[1], t[1] - t[0]);
    const double tol = s.reltol * std::abs(d[0] + d[1] + d[2]) / 3.0 + s.vntol;
    return std::abs(s1 - s2) >= 0.5 * std::max(std::abs(s1), std::abs(s2)) &&
           range >= s.reltol / 3.0 * std::abs(d[0] + d[1] + d[2]) + 10.0 * s.vntol &&
           std::abs(s1 - s2) * step >= GlobalOptions().values.trtol * tol;
}

}  // namespace

int SetupLossyLines()
{
    return ForEachLossyLine([](LossyLineDevice& l, int b1) {
        if (!l.model || l.model->params.size() <= 8) return kMsgUnsupportedLine;
        const int b2 = b1 + 1;
        BeginDeviceReservations(l.stamps);
        if (int rc = ReserveRow(b1, b1, b2, l)) return rc;
        if (int rc = ReserveRow(b2, b2, b1, l)) return rc;
        for (auto [node, row] : {std::pair{l.port1Plus, b1}, std::pair{l.port1Minus, b1}, std::pair{l.port2Plus, b2},
                                 std::pair{l.port2Minus, b2}})
            if (int rc = ReserveMatrixElement(node, row)) return rc;
        EndDeviceReservations(l.stamps);
        return 0;
    });
}

int LoadLossyLines()
{
    const AnalogSolverState& s = AnalogSolver();
    return ForEachLossyLine([&](LossyLineDevice& l, int b1) {
        const LineValues v = Values(l);
        StampCursor c(l.stamps);
        const bool memory = v.kind != kRg && !s.operatingPointFlag && !l.samples.empty() &&
                            s.time > l.samples.back()[0];
        if (!memory) {
            const ChainValues ch = Chain(v);
            // V1 - a V2 + b I2 = 0, then I1 - c V2 + a I2 = 0.
            for (double x : {0.0, 1.0, -1.0, -ch.a, ch.a, ch.b}) c.Add(x);
            for (double x : {ch.a, 0.0, 0.0, -ch.c, ch.c, 1.0}) c.Add(x);
        } else {
            if (int rc = FormHistory(l, v, s.time)) return rc;
            const double ys = l.present[kSelf], yc = l.present[kCross], pc = l.present[kCurrent];
            // I1 - ys V1 + yc V2 + pc I2 = history 1, and the mirror.
            for (double x : {1.0, -ys, ys, yc, -yc, pc}) c.Add(x);
            for (double x : {1.0, yc, -yc, -ys, ys, pc}) c.Add(x);
            RhsEntry(b1) += l.history[0];
            RhsEntry(b1 + 1) += l.history[1];
        }
        for (double x : {1.0, -1.0, 1.0, -1.0}) c.Add(x);
        c.Finish();
        return 0;
    });
}

int AcLoadLossyLines(int pass)
{
    if (pass != kAcStampPass) return 0;
    const double omega = AcStamps().omega;
    return ForEachLossyLine([omega](LossyLineDevice& l, int b1) {
        const LineValues v = Values(l);
        const int b2 = b1 + 1;
        const std::complex<double> z(v.r, omega * v.l), y(v.g, omega * v.c);
        // At zero frequency the memory lines are a plain series resistance.
        if (std::abs(y) == 0.0 || std::abs(z) == 0.0) {
            const ChainValues ch = Chain(v);
            int rc = 0;
            for (auto [col, x] : {std::pair{l.port1Plus, 1.0}, std::pair{l.port1Minus, -1.0},
                                  std::pair{l.port2Plus, -ch.a}, std::pair{l.port2Minus, ch.a}, std::pair{b2, ch.b}})
                if (rc == 0) rc = StampComplexReal(b1, col, x);
            for (auto [col, x] : {std::pair{b1, 1.0}, std::pair{l.port2Plus, -ch.c}, std::pair{l.port2Minus, ch.c},
                                  std::pair{b2, ch.a}})
                if (rc == 0) rc = StampComplexReal(b2, col, x);
            if (rc == 0) rc = StampAcBranchIncidence(b1, l.port1Plus, l.port1Minus);
            if (rc == 0) rc = StampAcBranchIncidence(b2, l.port2Plus, l.port2Minus);
            return rc;
        }
        const std::complex<double> yc = std::sqrt(y / z);
        const std::complex<double> p = std::exp(-v.len * std::sqrt(z * y));
        const std::complex<double> py = p * yc;
        // I1 - Yc V1 + P Yc V2 + P I2 = 0, and the mirror.
        auto stamp = [](int row, int col, std::complex<double> x) {
            if (int rc = StampComplexReal(row, col, x.real())) return rc;
            return StampComplexImag(row, col, x.imag());
        };
        for (auto [row, own, other, p1, n1, p2, n2] :
             {std::array{b1, b1, b2, l.port1Plus, l.port1Minus, l.port2Plus, l.port2Minus},
              std::array{b2, b2, b1, l.port2Plus, l.port2Minus, l.port1Plus, l.port1Minus}}) {
            if (int rc = stamp(row, own, 1.0)) return rc;
            if (int rc = stamp(row, p1, -yc)) return rc;
            if (int rc = stamp(row, n1, yc)) return rc;
            if (int rc = stamp(row, p2, py)) return rc;
            if (int rc = stamp(row, n2, -py)) return rc;
            if (int rc = stamp(row, other, p)) return rc;
        }
        if (int rc = StampComplexReal(l.port1Plus, b1, 1.0)) return rc;
        if (int rc = StampComplexReal(l.port1Minus, b1, -1.0)) return rc;
        if (int rc = StampComplexReal(l.port2Plus, b2, 1.0)) return rc;
        return StampComplexReal(l.port2Minus, b2, -1.0);
    });
}

int StartLossyLineHistories(double& maxStep)
{
    const TransientRunState& t = TransientRun();
    return ForEachLossyLine([&](LossyLineDevice& l, int b1) {
        const LineValues v = Values(l);
        // A wave must not cross the line within one step unseen.
        if (v.kind == kLc || v.kind == kRlc) maxStep = std::min(maxStep, v.delay);
        l.samples.clear();
        l.slopeChanges.clear();
        l.historyTime = -1.0;
        ForgetKernelWeights();
        if (v.kind == kRlc)
            if (int rc = TabulateRlc(l, v, t.tmax - t.tmin)) return rc;
        return RecordSample(l, b1);
    });
}

int AcceptLossyLineTimePoint()
{
    return ForEachLossyLine([](LossyLineDevice& l, int b1) {
        if (int rc = RecordSample(l, b1)) return rc;
        const LineValues v = Values(l);
        if (v.kind != kLc && v.kind != kRlc) return 0;
        // A wave that bends sharply at the point before the last arrives at the far end one
        // delay later: the step control should land there.
        if (WaveBends(l, v, 1) || WaveBends(l, v, 2)) {
            const double corner = l.samples[l.samples.size() - 2][0];
            return AddTimeBreakpoint(TimeToTick(corner + v.delay));
        }
        return 0;
    });
}

double LossyLineStepLimit(double step)
{
    const AnalogSolverState& s = AnalogSolver();
    const double trtol = GlobalOptions().values.trtol;
    ForEachLossyLine([&](LossyLineDevice& l, int) {
        const LineValues v = Values(l);
        const std::size_t k = l.samples.size();
        if (v.kind == kRg || k < 3) return 0;
        // The convolution takes the port values as straight between points; their curvature
        // bounds the step at which that stays within the tolerance. The bound, like the
        // storage elements' truncation estimate, overstates the error: TRTOL relaxes it alike.
        const double scale = v.kind == kRc ? v.r * v.len : 1.0 / v.y0;
        const auto& a = l.samples[k - 3];
        const auto& b = l.samples[k - 2];
        const auto& c = l.samples[k - 1];
        for (std::size_t column = 1; column <= 4; ++column) {
            const double f = column <= 2 ? 1.0 : scale;
            const double d2 = ((c[column] - b[column]) / (c[0] - b[0]) - (b[column] - a[column]) / (b[0] - a[0])) /
                              (c[0] - a[0]) * f;
            const double tol =
                trtol * (s.reltol * std::max(std::abs(c[column]), std::abs(b[column])) * f + s.vntol);
            if (std::abs(d2) > 0.0) step = std::min(step, std::sqrt(8.0 * tol / std::abs(d2)));
        }
        return 0;
    });
    return step;
}

void FreeLossyLineHistories()
{
    for (LossyLineDevice& l : ListRecords<LossyLineDevice>(DeviceList(kLossyLineDeviceList))) {
        std::vector<std::array<double, 5>>().swap(l.samples);
        std::vector<std::array<double, 4>>().swap(l.slopeChanges);
        std::vector<double>().swap(l.responseTable);
        l.historyTime = -1.0;
    }
    ForgetKernelWeights();
    std::vector<double>().swap(tWeights.times);
    for (auto& r : tWeights.ramps) std::vector<double>().swap(r);
}

void RegisterLossyLineFamily()
{
    RegisterDeviceKindHandlers(kSlotLossyLines, SetupLossyLines, LoadLossyLines);
    RegisterAcStamper(kAcLossyLines, AcLoadLossyLines);
}

}  // namespace kq5
