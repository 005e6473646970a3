// The lossy transmission line by the convolution method. Each end obeys
//     i1 = y * v1 - (p y) * v2 - p * i2   (and the same with the ends exchanged),
// y the characteristic admittance, p the propagation exp(-gamma LEN) and * convolution in
// time. Between accepted points the port values are taken as straight lines, so each
// convolution is a sum over the slope changes of a sample sequence weighted with the kernel's
// ramp response (its step response integrated once): exact for the interpolant, and the
// present values enter with the weight ramp(h)/h of the newest step. RC, LC and RLC lines
// have closed forms for most ramps; the RLC ramps are tabulated once per run (the
// propagation ramps integrated numerically). Old slope changes are gathered into blocks whose
// span is small beside their age, each weighed through the Taylor terms of the kernels about
// its centre, so a point costs about the logarithm of the run's length rather than its number
// of points. RG lines have no memory and keep their static two-port.
#include "devices/lossy_line_load.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <new>
#include <numbers>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/breakpoints.h"
#include "analog/device_dispatch.h"
#include "analog/device_dispatch_tables.h"
#include "analog/transient_run.h"
#include "core/device_lists.h"
#include "netlist/line_switch_devices.h"
#include "analog/stamp_ac.h"
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
// A step h = sqrt(4 tol / d2), d2 the second divided difference of a port value, bends the
// straight line between two points away from the value by h^2 (2 d2) / 8 = tol.
constexpr double kCurvatureFactor = 4.0;

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

double RlcSelfRamp(const LineValues& v, double t)
{
    return v.y0 * t * (ScaledBesselI0(v.alpha * t) + ScaledBesselI1(v.alpha * t));
}

// The RLC ramps as rows (time, ramps of p, p y and y, then their step responses), once per
// run: the
// convolution reads them at the age of every sample at every time point, where evaluating
// Bessel functions would cost most of the run. Before the delay only y has begun; its rows
// widen geometrically from a thousandth of the delay (younger ages take the closed form).
// From the delay on the grid starts at a two-hundredth of the delay, where the propagation
// changes fastest, and widens geometrically to the end of the run.
constexpr std::size_t kRow = 7;
double RlcSelfStep(const LineValues& v, double t) { return v.y0 * ScaledBesselI0(v.alpha * t); }
int TabulateRlc(LossyLineDevice& line, const LineValues& v, double span)
{
    std::vector<double>& table = line.responseTable;
    table.clear();
    double d = v.delay / 200.0;
    try {
        for (double t0 = 1e-3 * v.delay; t0 < v.delay; t0 *= 1.02)
            table.insert(table.end(), {t0, 0.0, 0.0, RlcSelfRamp(v, t0), 0.0, 0.0, RlcSelfStep(v, t0)});
        // The propagation's step responses jump at the delay: its row holds their values just
        // after it, the slopes the ramps leave the delay with.
        double stepP = DecayingExp(-v.alpha * v.delay), rampP = 0.0, rampPy = 0.0;
        double stepPy = RlcCrossStep(v, v.delay);
        table.insert(table.end(), {v.delay, 0.0, 0.0, RlcSelfRamp(v, v.delay), stepP, stepPy, RlcSelfStep(v, v.delay)});
        for (double t0 = v.delay; t0 < v.delay + span && table.size() < kRow * kTableLimit; t0 += d, d *= kTableGrowth) {
            const double t1 = t0 + d;
            auto impulse = [&](double f) { return RlcCrossImpulse(v, t0 + f * d); };
            const double midStepP = stepP + d / 12 * (impulse(0) + 4 * impulse(0.25) + impulse(0.5));
            const double nextStepP = midStepP + d / 12 * (impulse(0.5) + 4 * impulse(0.75) + impulse(1));
            const double nextStepPy = RlcCrossStep(v, t1);
            rampP += d / 6 * (stepP + 4 * midStepP + nextStepP);
            rampPy += d / 6 * (stepPy + 4 * RlcCrossStep(v, t0 + d / 2) + nextStepPy);
            stepP = nextStepP;
            stepPy = nextStepPy;
            table.insert(table.end(), {t1, rampP, rampPy, RlcSelfRamp(v, t1), stepP, stepPy, RlcSelfStep(v, t1)});
        }
    } catch (const std::bad_alloc&) {
        return kMsgNoMemory;
    }
    return 0;
}

// A ramp of the table (column 1, 2 or 3: p, p y, y) at an age t from `row` to the next row,
// with its slope and half its second derivative: the cubic that meets the ramps and their
// slopes (the step responses three columns on) at both rows. Straight lines between the rows
// would bend the weights by up to an eighth of a row's width squared times the impulse
// response, an error that moves with every sample's age through the rows and shows as ripple
// on the ports; the cubic's error is of the fourth order. Beyond the last row the ramp carries
// on straight.
struct RampTerms {
    double ramp = 0.0, step = 0.0, halfImpulse = 0.0;
};
RampTerms RowTerms(const double* row, double t, std::size_t column)
{
    const double t0 = row[0], t1 = row[kRow], d = t1 - t0;
    const double a0 = row[column], a1 = row[kRow + column], m0 = row[column + 3], m1 = row[kRow + column + 3];
    if (t >= t1) return {a1 + m1 * (t - t1), m1, 0.0};
    const double x = t - t0, s = x / d, rise = (a1 - a0) / d;
    // a0 + x (m0 + s c2 + s^2 c3)
    const double c2 = 3.0 * rise - 2.0 * m0 - m1, c3 = m0 + m1 - 2.0 * rise;
    return {a0 + x * (m0 + s * (c2 + s * c3)), m0 + s * (2.0 * c2 + 3.0 * s * c3), (c2 + 3.0 * s * c3) / d};
}

double TableRamp(const LossyLineDevice& line, double t, std::size_t column)
{
    const std::vector<double>& table = line.responseTable;
    const std::size_t count = table.size() / kRow;
    if (count < 2 || t <= table[0]) return 0.0;
    std::size_t lo = 0, hi = count - 1;
    while (hi - lo > 1) {
        const std::size_t mid = (lo + hi) / 2;
        (table[kRow * mid] <= t ? lo : hi) = mid;
    }
    return RowTerms(&table[kRow * lo], t, column).ramp;
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
        if (k == kSelf && (line.responseTable.empty() || t <= line.responseTable[0])) return RlcSelfRamp(v, t);
        if (t <= v.delay && k != kSelf) return 0.0;
        return TableRamp(line, t, k == kCurrent ? 1 : k == kCross ? 2 : 3);
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

// The kernels at the ages of the history blocks at one time: ramp, step response and half
// the impulse response (the Taylor terms about each block's centre). The lines of a bus
// share their model, their sample times and so their blocks: one line's weights serve the
// others.
struct KernelWeights {
    double key[6] = {-1, 0, 0, 0, 0, 0};  // kind, r, l, g, c, len
    double time = -1.0;
    std::vector<double> centres;
    std::vector<double> terms[3][3];  // [kernel][ramp, step, half impulse]
};
thread_local KernelWeights tWeights;

void ForgetKernelWeights()
{
    tWeights.time = -1.0;
    tWeights.centres.clear();
}

// A block may gather samples while its width stays below this share of the age of its
// newest sample past the delay: the kernels are smooth there, and the first neglected
// Taylor term is of the third order in the share. Each gathering changes that neglected term
// at once, a small step on the ports: at a tenth the steps of a long reflecting line's tail
// stood out at some 5e-5 of its swing, at a twentieth they are below 1e-5.
constexpr double kBlockShare = 0.05;

const KernelWeights& Weights(const LossyLineDevice& line, const LineValues& v, double t)
{
    const auto& blocks = line.blocks;
    const std::size_t n = blocks.size();
    const double key[6] = {static_cast<double>(v.kind), v.r, v.l, v.g, v.c, v.len};
    KernelWeights& w = tWeights;
    bool same = w.time == t && w.centres.size() == n && std::equal(key, key + 6, w.key);
    for (std::size_t j = 0; same && j < n; ++j) same = w.centres[j] == blocks[j].centre;
    if (same) return w;
    std::copy(key, key + 6, w.key);
    w.time = t;
    w.centres.resize(n);
    for (auto& kernel : w.terms)
        for (auto& term : kernel) term.resize(n);
    const std::vector<double>& table = line.responseTable;
    const std::size_t count = table.size() / kRow;
    // The ages fall from the oldest block on, so the RLC table is walked once rather than
    // searched for every block.
    std::size_t lo = count >= 2 ? count - 2 : 0;
    for (std::size_t j = 0; j < n; ++j) {
        const double age = t - blocks[j].centre;
        const bool wide = blocks[j].end > blocks[j].start;
        w.centres[j] = blocks[j].centre;
        if (v.kind != kRlc || count < 2 || age <= table[0]) {
            for (Kernel k : {kSelf, kCross, kCurrent}) {
                const double r = Ramp(line, v, k, age);
                w.terms[k][0][j] = r;
                w.terms[k][1][j] = w.terms[k][2][j] = 0.0;
                // Numerical derivatives where a wide block needs them (closed forms are cheap).
                if (!wide) continue;
                const double d = 0.01 * (age - (k == kSelf ? 0.0 : v.delay));
                const double up = Ramp(line, v, k, age + d), down = Ramp(line, v, k, age - d);
                w.terms[k][1][j] = (up - down) / (2 * d);
                w.terms[k][2][j] = 0.5 * (up - 2 * r + down) / (d * d);
            }
            continue;
        }
        while (lo > 0 && table[kRow * lo] > age) --lo;
        const double* row = &table[kRow * lo];
        for (auto [k, c] : {std::pair{kCurrent, 1}, std::pair{kCross, 2}, std::pair{kSelf, 3}}) {
            const bool started = k == kSelf || age > v.delay;
            const RampTerms r = started ? RowTerms(row, age, static_cast<std::size_t>(c)) : RampTerms{};
            w.terms[k][0][j] = std::abs(r.ramp) < 1e-150 ? 0.0 : r.ramp;
            w.terms[k][1][j] = r.step;
            w.terms[k][2][j] = r.halfImpulse;
        }
    }
    return w;
}

// The present values' weights and the history terms at time t (from the samples).
int FormHistory(LossyLineDevice& line, const LineValues& v, double t)
{
    if (line.historyTime == t && line.historyNewest == line.samples.back()[0]) return 0;
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
    // Sum over the slope changes of each port sequence; column 1..4: V1, V2, I1, I2. A block's
    // changes at t_j = centre + s weigh R(age - s) = R(age) - s R'(age) + s^2 R''(age) / 2.
    double sum[3][5] = {}, previousSlope[5] = {};
    for (Kernel k : {kSelf, kCross, kCurrent})
        for (std::size_t column = 1; column <= 4; ++column) sum[k][column] = DcGain(v, k) * x[0][column];
    // One pass over the blocks: the port voltages (columns 1, 2) weigh with the self and the
    // cross kernel, the currents (3, 4) with the current kernel.
    const std::vector<double>(&self)[3] = w.terms[kSelf];
    const std::vector<double>(&cross)[3] = w.terms[kCross];
    const std::vector<double>(&current)[3] = w.terms[kCurrent];
    double total[6] = {};
    for (std::size_t j = 0; j < line.blocks.size(); ++j) {
        const LineHistoryBlock& b = line.blocks[j];
        auto weigh = [&](std::size_t c, const std::vector<double>(&r)[3]) {
            return b.m0[c] * r[0][j] - b.m1[c] * r[1][j] + b.m2[c] * r[2][j];
        };
        total[0] += weigh(0, self);
        total[1] += weigh(1, self);
        total[2] += weigh(0, cross);
        total[3] += weigh(1, cross);
        total[4] += weigh(2, current);
        total[5] += weigh(3, current);
    }
    sum[kSelf][1] += total[0];
    sum[kSelf][2] += total[1];
    sum[kCross][1] += total[2];
    sum[kCross][2] += total[3];
    sum[kCurrent][3] += total[4];
    sum[kCurrent][4] += total[5];
    if (n > 0)
        for (std::size_t column = 1; column <= 4; ++column) previousSlope[column] = Slope(x[n - 1], x[n], column);
    // The newest step's slope holds the present value: only its known parts stay here.
    auto convolve = [&](Kernel k, std::size_t column) {
        return sum[k][column] - x[n][column] * newest[k] / h - previousSlope[column] * newest[k];
    };
    line.history[0] = convolve(kSelf, 1) - convolve(kCross, 2) - convolve(kCurrent, 4);
    line.history[1] = convolve(kSelf, 2) - convolve(kCross, 1) - convolve(kCurrent, 3);
    line.historyTime = t;
    line.historyNewest = x[n][0];
    return 0;
}

// Gathers neighbouring blocks whose span has become small beside their age past the delay.
// The test depends on the times and the delay alone, so lines of one model and one run
// gather alike and share their weights.
void GatherBlocks(std::vector<LineHistoryBlock>& blocks, double now, double delay)
{
    if (blocks.size() < 2) return;
    auto shift = [](LineHistoryBlock& b, double centre) {
        const double s = b.centre - centre;
        for (std::size_t c = 0; c < 4; ++c) {
            b.m2[c] += s * (2.0 * b.m1[c] + s * b.m0[c]);
            b.m1[c] += s * b.m0[c];
        }
        b.centre = centre;
    };
    std::size_t out = 0;
    for (std::size_t i = 1; i < blocks.size(); ++i) {
        LineHistoryBlock& a = blocks[out];
        const double age = now - blocks[i].end - delay;
        if (age > 0.0 && blocks[i].end - a.start <= kBlockShare * age) {
            LineHistoryBlock b = blocks[i];
            const double centre = 0.5 * (a.start + b.end);
            shift(a, centre);
            shift(b, centre);
            for (std::size_t c = 0; c < 4; ++c) {
                a.m0[c] += b.m0[c];
                a.m1[c] += b.m1[c];
                a.m2[c] += b.m2[c];
            }
            a.end = b.end;
        } else if (++out != i) {
            blocks[out] = blocks[i];
        }
    }
    blocks.resize(out + 1);
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
    bool recorded = false;
    try {
        l.samples.push_back({t, SolutionDifference(l.port1Plus, l.port1Minus),
                             SolutionDifference(l.port2Plus, l.port2Minus), x[static_cast<std::size_t>(b1)],
                             x[static_cast<std::size_t>(b1 + 1)]});
        recorded = true;
        // The newest interval fixes the slope change at the point before it.
        const std::size_t n = l.samples.size() - 1;
        const LineValues values = Values(l);
        const double scale = values.kind == kRc ? values.r * values.len : values.y0 > 0.0 ? 1.0 / values.y0 : 0.0;
        const auto& p = l.samples.back();
        l.swing = std::max({l.swing, std::abs(p[1]), std::abs(p[2])});
        l.currentSwing = std::max({l.currentSwing, std::abs(p[3]) * scale, std::abs(p[4]) * scale});
        if (n > 0) {
            LineHistoryBlock b;
            b.start = b.end = b.centre = l.samples[n - 1][0];
            for (std::size_t column = 1; column <= 4; ++column)
                b.m0[column - 1] = Slope(l.samples[n - 1], l.samples[n], column) -
                                   (n > 1 ? Slope(l.samples[n - 2], l.samples[n - 1], column) : 0.0);
            l.blocks.push_back(b);
            GatherBlocks(l.blocks, t, values.kind == kRc ? 0.0 : values.delay);
        }
    } catch (const std::bad_alloc&) {
        if (recorded) l.samples.pop_back();  // a sample without its block would be weighed wrong
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
    // A corner: the slope turns back, or starts or stops (within 1 V/s), the wave moved by
    // well over the tolerance there, and missing the corner would bend the interpolant over
    // the shorter of its steps by more than the truncation tolerance (relaxed by TRTOL as the
    // curvature bound is). A mere change of slope is left to the step control.
    const double step = std::min(t[2] - t[1], t[1] - t[0]);
    const double tol = s.reltol * std::abs(d[0] + d[1] + d[2]) / 3.0 + s.vntol;
    return std::abs(s1 - s2) >= std::max(std::abs(s1), std::abs(s2)) + 1.0 && range >= 50.0 * tol &&
           std::abs(s1 - s2) * step >= GlobalOptions().values.trtol * tol;
}

// The convolution reads the samples only through their blocks, save at the two ends of the
// history: the first (the operating point, weighed with the kernels' DC gains) and the newest
// few (slopes, curvature, bends). The landing step also looks at the samples whose waves are
// still on their way along the line, and at the two before them. Older samples are dropped in
// batches, the first kept, so that a long run holds about one delay of samples per line
// rather than every point of the run.
void DropUnreachedSamples(LossyLineDevice& l, const LineValues& v, double now)
{
    constexpr std::ptrdiff_t kKeptBefore = 3, kBatch = 64;
    auto& x = l.samples;
    if (x.size() < 2) return;
    const double horizon = now - (v.kind == kLc || v.kind == kRlc ? v.delay : 0.0);
    const auto reached = std::lower_bound(x.begin() + 1, x.end(), horizon,
                                          [](const std::array<double, 5>& p, double t) { return p[0] < t; });
    // Between the first sample and the ones kept.
    const std::ptrdiff_t unreached = (reached - x.begin()) - 1 - kKeptBefore;
    if (unreached < kBatch || unreached < static_cast<std::ptrdiff_t>(x.size() / 2)) return;
    x.erase(x.begin() + 1, x.begin() + 1 + unreached);
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
        l.blocks.clear();
        l.swing = l.currentSwing = 0.0;
        l.cornerAtNewest = true;
        l.historyTime = -1.0;
        ForgetKernelWeights();
        if (v.kind == kRlc)
            if (int rc = TabulateRlc(l, v, t.tmax - t.tmin)) return rc;
        return RecordSample(l, b1);
    });
}

int AcceptLossyLineTimePoint()
{
    const bool breakpoint = Breakpoints().landing;
    const double now = AnalogSolver().time;
    return ForEachLossyLine([&](LossyLineDevice& l, int b1) {
        if (int rc = RecordSample(l, b1)) return rc;
        // The port values may turn sharply at a breakpoint (see LossyLineStepLimit).
        l.cornerAtNewest = breakpoint;
        const LineValues v = Values(l);
        DropUnreachedSamples(l, v, now);
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
    const bool landing = Breakpoints().landing;
    const double trtol = GlobalOptions().values.trtol;
    const std::vector<double>& x = SolutionVector();
    ForEachLossyLine([&](LossyLineDevice& l, int b1) {
        const LineValues v = Values(l);
        const std::size_t k = l.samples.size();
        // Across a breakpoint the ports may turn sharply, and rightly so: the straight pieces
        // meet there, so no curvature spans it (the step after a breakpoint is kept short).
        // That holds for a step that ends on one too: a source that jumps there has already
        // jumped at the new point, and no shorter step would straighten that.
        if (v.kind == kRg || k < 2 || s.time <= l.samples.back()[0] || l.cornerAtNewest || landing) return 0;
        // The convolution takes the port values as straight between points. The curvature
        // over the last two steps, the present one included, bounds the step at which that
        // stays within the tolerance, taken relative to the largest swing of the port values
        // so far: a line at rest near zero is not held to microvolts while its neighbours
        // switch. On a line with a delay the currents count in volts through Z0, so that the
        // waves leaving and arriving at each end are judged alike, and the tolerance is
        // relaxed by TRTOL as the storage elements' truncation estimate is: a stretch of
        // wave that strays from the straight line is seen once at the other end. An RC line
        // has no such waves: each stretch reaches both ends at once and lingers, so the
        // strays of a whole bend add up at the ports and the tolerance is not relaxed; its
        // currents count through R LEN, a mere scale, and are judged against their own swing.
        const std::array<double, 5> c = {s.time, SolutionDifference(l.port1Plus, l.port1Minus),
                                         SolutionDifference(l.port2Plus, l.port2Minus),
                                         x[static_cast<std::size_t>(b1)], x[static_cast<std::size_t>(b1 + 1)]};
        const auto& a = l.samples[k - 2];
        const auto& b = l.samples[k - 1];
        const bool rc = v.kind == kRc;
        const double scale = rc ? v.r * v.len : 1.0 / v.y0;
        for (std::size_t column = 1; column <= 4; ++column) {
            const double f = column <= 2 ? 1.0 : scale;
            const double fa = a[column] * f, fb = b[column] * f, fc = c[column] * f;
            const double d2 = ((fc - fb) / (c[0] - b[0]) - (fb - fa) / (b[0] - a[0])) / (c[0] - a[0]);
            if (d2 == 0.0) continue;
            const double swing = !rc ? std::max(l.swing, l.currentSwing) : column <= 2 ? l.swing : l.currentSwing;
            const double tol = (rc ? 1.0 : trtol) * (s.reltol * std::max(std::abs(fc), swing) + s.vntol);
            double limit = std::sqrt(kCurvatureFactor * tol / std::abs(d2));
            if (limit < c[0] - b[0]) {
                // A shorter step would meet a larger divided difference where the slope
                // turns at the newest sample: the change of slope (c - a) d2 then holds,
                // and the step h with h^2 = span (h + b - a) is the one that passes.
                const double span = kCurvatureFactor * tol / (std::abs(d2) * (c[0] - a[0]));
                limit = 0.5 * (span + std::sqrt(span * span + 4.0 * span * (b[0] - a[0])));
            }
            step = std::min(step, limit);
        }
        return 0;
    });
    return step;
}

double LossyLineLandingStep(double step)
{
    const AnalogSolverState& s = AnalogSolver();
    const double now = s.time, trtol = GlobalOptions().values.trtol;
    ForEachLossyLine([&](LossyLineDevice& l, int) {
        const LineValues v = Values(l);
        const auto& x = l.samples;
        if ((v.kind != kLc && v.kind != kRlc) || x.size() < 3) return 0;
        const double attenuation = DecayingExp(-v.alpha * v.delay);
        // A sample off the line through its neighbours is a corner of the wave leaving there
        // (the wave is taken as straight between its samples).
        auto corner = [&](std::vector<std::array<double, 5>>::const_iterator it) {
            if (it == x.begin() || it + 1 == x.end()) return false;
            const auto& a = *(it - 1);
            const auto& b = *it;
            const auto& c = *(it + 1);
            for (std::size_t port = 1; port <= 2; ++port) {
                auto wave = [&](const std::array<double, 5>& y) { return y[port] + y[port + 2] / v.y0; };
                const double line = wave(a) + (wave(c) - wave(a)) * (b[0] - a[0]) / (c[0] - a[0]);
                const double tol =
                    trtol * (s.reltol * std::max({std::abs(wave(b)), l.swing, l.currentSwing}) + s.vntol);
                if (std::abs(wave(b) - line) * attenuation > tol) return true;
            }
            return false;
        };
        // The samples whose arrival falls within the step, the newest excepted (it has no
        // neighbour after it yet): the step lands on the first corner among them.
        auto first = std::upper_bound(x.begin(), x.end(), now - v.delay + 1e-3 * step,
                                      [](double t, const std::array<double, 5>& p) { return t < p[0]; });
        // A corner arriving now: the wave behind it is only known at the spacing it left with,
        // and the ports bend most just after it, so the step that follows is no longer.
        if (first != x.begin() && first != x.end() && (*(first - 1))[0] + v.delay >= now - 1e-3 * step &&
            corner(first - 1))
            step = std::min(step, (*first)[0] - (*(first - 1))[0]);
        for (auto it = first; it != x.end() && it + 1 != x.end() && (*it)[0] + v.delay < now + step; ++it) {
            if (corner(it)) {
                step = (*it)[0] + v.delay - now;
                break;
            }
        }
        return 0;
    });
    return step;
}

void FreeLossyLineHistories()
{
    for (LossyLineDevice& l : ListRecords<LossyLineDevice>(DeviceList(kLossyLineDeviceList))) {
        std::vector<std::array<double, 5>>().swap(l.samples);
        std::vector<LineHistoryBlock>().swap(l.blocks);
        std::vector<double>().swap(l.responseTable);
        l.historyTime = -1.0;
    }
    ForgetKernelWeights();
    std::vector<double>().swap(tWeights.centres);
    for (auto& kernel : tWeights.terms)
        for (auto& term : kernel) std::vector<double>().swap(term);
}

void RegisterLossyLineFamily()
{
    RegisterDeviceKindHandlers(kSlotLossyLines, SetupLossyLines, LoadLossyLines);
    RegisterAcStamper(kAcLossyLines, AcLoadLossyLines);
}

}  // namespace kq5
