#include "devices/mosfet_load.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <string>

#include "analog/analog_state.h"
#include "analog/charge_integration.h"
#include "analog/device_dispatch.h"
#include "analog/limiting.h"
#include "analog/limiting_commit.h"
#include "netlist/numeric_helpers.h"
#include "analog/run_control.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "core/device_record_fields.h"
#include "netlist/fet_devices.h"
#include "devices/mosfet_family_loops.h"
#include "devices/mosfet_level3.h"
#include "devices/mosfet_model.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"

namespace kq5 {

namespace {

// Offsets of the charges in a device's seven-state block (four slots each).
constexpr int kQgs = 0, kQgd = 4, kQgb = 8, kQbd = 12, kQbs = 16;
constexpr double kSmallestJunctionCurrent = 9.999999999999998e-101;

// The nodes of the 32 elements, in reservation order.
struct MosNodes {
    int g, d, s, b, gi, di, si, bi;
};

std::array<std::pair<int, int>, 32> ElementPositions(const MosNodes& n)
{
    return {{{n.di, n.si}, {n.si, n.di}, {n.di, n.di}, {n.si, n.si}, {n.d, n.d},   {n.gi, n.gi}, {n.gi, n.g},
             {n.g, n.gi},  {n.g, n.g},   {n.s, n.s},   {n.bi, n.bi}, {n.bi, n.b},  {n.b, n.bi},  {n.b, n.b},
             {n.di, n.di}, {n.si, n.si}, {n.d, n.di},  {n.gi, n.bi}, {n.gi, n.di}, {n.gi, n.si}, {n.s, n.si},
             {n.bi, n.di}, {n.bi, n.si}, {n.di, n.si}, {n.di, n.d},  {n.bi, n.gi}, {n.di, n.gi}, {n.si, n.gi},
             {n.si, n.s},  {n.di, n.bi}, {n.si, n.bi}, {n.si, n.di}}};
}

MosNodes NodesOf(const MosfetDevice& d)
{
    return {d.gate, d.drain, d.source, d.bulk, d.internalGate, d.internalDrain, d.internalSource, d.internalBulk};
}

// A junction current of exactly zero would make the relative convergence test meaningless.
double AwayFromZero(double v)
{
    if (v >= 0.0) return std::max(v, kSmallestJunctionCurrent);
    return -std::max(-v, kSmallestJunctionCurrent);
}

// isatOverNvt is isat / nvt, taken once per run.
[[gnu::always_inline]] inline void JunctionCurrent(double v, double isat, double nvt, double isatOverNvt, double gmin,
                                                  double& current, double& conductance)
{
    if (v > 0.0) {
        const double ev = ClampedExp(v / nvt);
        current = gmin * v + isat * (ev - 1.0);
        conductance = gmin + isat * ev / nvt;
    } else {
        conductance = isatOverNvt + gmin;
        current = conductance * v;
    }
    current = AwayFromZero(current);
}

// The operating point a transient run starts from (and the small-signal bias) takes the
// Meyer capacitance at its own voltages twice; time steps average it with the last point's.
bool DoubledGateCapacitances(const AnalogSolverState& s)
{
    return (s.runKind == kRunKindTransient && s.runPhase != kPhaseTimeSteps) || s.iterationMode == kModeSmallSignal;
}

// The load passes whose bypassed devices may add what they added before: a new one begins
// with every new time point, prediction, iteration mode or integration, and with every set-up
// and accepted point.
struct MosLoadEpoch {
    std::uint64_t number = 1;
    double time = 0.0, step = 0.0, ag0 = 0.0, ag1 = 0.0, gmin = 0.0, gmax = 0.0;
    int mode = -1, order = 0, method = -1, runPhase = -1, runKind = -1, charge = -1;
    bool report = false;
    bool predicted = false;  // the last pass was a prediction
    const void* states = nullptr;
};

MosLoadEpoch& LoadEpoch()
{
    static MosLoadEpoch epoch;
    return epoch;
}

void NewLoadEpoch() { ++LoadEpoch().number; }

std::uint64_t LoadEpochOf(const AnalogSolverState& s, double gmin, double gmax, bool report)
{
    MosLoadEpoch& e = LoadEpoch();
    // The prediction opens a time point's epoch, which its iterations continue: their stamps
    // are made as the prediction's are.
    const int mode = s.iterationMode == kModePredictor ? kModeNormal : s.iterationMode;
    // The families of a prediction pass share its epoch: every device loaded in it makes its
    // stamps anew (a prediction never bypasses).
    const bool prediction = s.flags.prediction != 0;
    const bool same = (!prediction || e.predicted) && s.iterationMode != kModeFirstTimePoint && e.time == s.time &&
                      e.step == s.step && e.ag0 == s.ag0 && e.ag1 == s.ag1 && e.gmin == gmin && e.gmax == gmax &&
                      e.mode == mode && e.order == s.order && e.method == s.method &&
                      e.runPhase == s.runPhase && e.runKind == s.runKind && e.charge == s.flags.charge &&
                      e.report == report && e.states == s.chargeStates.data();
    if (!same) {
        ++e.number;
        e.time = s.time;
        e.step = s.step;
        e.ag0 = s.ag0;
        e.ag1 = s.ag1;
        e.gmin = gmin;
        e.gmax = gmax;
        e.mode = mode;
        e.order = s.order;
        e.method = s.method;
        e.runPhase = s.runPhase;
        e.runKind = s.runKind;
        e.charge = s.flags.charge;
        e.report = report;
        e.states = s.chargeStates.data();
    }
    e.predicted = prediction;
    return e.number;
}

// Some device's reported quantities are older than its last load.
bool& ReportsBehind()
{
    static bool behind = false;
    return behind;
}

}  // namespace

std::uint64_t MosfetLoadEpoch()
{
    return LoadEpochOf(AnalogSolver(), GlobalOptions().values.gmin, Devices().gmax,
                       RunControl().runDataMode != kRunDataRetrieve);
}

namespace {

// Whether histories of stateCount entries hold the seven-state block at slot.
bool BlockInStates(int slot, std::size_t stateCount)
{
    return slot >= 0 && static_cast<std::size_t>(slot) + 28 <= stateCount;
}

// What every device of one load pass reads from the solver: taken once per pass instead of
// once per device.
struct MosLoadPass {
    AnalogSolverState& s;
    const double* x;
    double* rhs;
    const MatrixElementRef* pool;
    double* charges;   // ChargeHistory
    double* currents;  // CurrentHistory
    std::size_t stateCount;  // entries both histories hold
    double gmin, gmax, kelvin;
    int mode;
    bool predict, charge, timeSteps, doubledCaps, firstPoint, report;
    bool trapezoidal;  // trapezoidal rule of order 1 or 2, worked out in line
    bool firstOrder;
    double ag0, ag1;   // integration coefficients 0 and 1
    std::uint64_t epoch;
    // The devices write their reported quantities at this pass: outside the time points
    // always, at them only while an expression reads them or the run data keeps them (the
    // run's end writes what the last loads left, WriteBehindMosfetReports).
    bool writeReports;

    MosLoadPass(AnalogSolverState& solver, const std::vector<double>& solution, double gminValue)
        : s(solver), x(solution.data()), rhs(solver.rhs.data()), pool(solver.pool->data()),
          charges(solver.chargeStates.data()), currents(solver.currentStates.data()),
          stateCount(std::min(solver.chargeStates.size(), solver.currentStates.size())), gmin(gminValue),
          gmax(Devices().gmax), kelvin(Devices().runKelvin), mode(solver.iterationMode),
          predict(solver.flags.prediction != 0), charge(solver.flags.charge != 0),
          timeSteps(solver.runPhase == kPhaseTimeSteps), doubledCaps(DoubledGateCapacitances(solver)),
          firstPoint(solver.iterationMode == kModeFirstTimePoint),
          report(RunControl().runDataMode != kRunDataRetrieve),
          trapezoidal(solver.method == kMethodTrap && (solver.order == 1 || solver.order == 2)),
          firstOrder(solver.order == 1), ag0(solver.ag0), ag1(solver.ag1),
          epoch(LoadEpochOf(solver, gmin, gmax, report)),
          writeReports(report && (!timeSteps || (Devices().familiesRead & kFamilyMosfet) != 0 ||
                                  RunControl().runDataMode == kRunDataSave))
    {
        if (report && !writeReports) ReportsBehind() = true;
    }

    bool StatesHold(int slot) const { return BlockInStates(slot, stateCount); }

    // The present current of the charge at q (its current at current) and its companion
    // conductance and current (both left alone when the method and order give no current).
    void Integrate(const double* q, double* current, double capacitance, double& geq, double& ceq) const
    {
        if (!trapezoidal) {
            IntegrateChargeGeneral(s, static_cast<std::size_t>(q - charges), capacitance, geq, ceq);
            return;
        }
        // The charges are read once: the store of the current cannot change them.
        const double q0 = q[0], q1 = q[1];
        const double present = firstOrder ? ag1 * q1 + ag0 * q0 : ag0 * (q0 - q1) - ag1 * current[1];
        current[0] = present;
        geq = ag0 * capacitance;
        ceq = present - ag0 * q0;
    }
};

// Past entries of one charge take its present value.
void FillPast(double* states, int index)
{
    double* q = states + index;
    q[1] = q[2] = q[3] = q[0];
}

struct GateCompanion {
    double gcgs = 0.0, gcgd = 0.0, gcgb = 0.0, ceqgs = 0.0, ceqgd = 0.0, ceqgb = 0.0;
};

// The total gate capacitances from the Meyer halves (cgs, cgd, cgb: passed in, as the caller
// has just made them or read them once) and the overlaps.
void GateCapacitanceTotals(MosfetDevice& d, const MosfetTemperatureBlock& b, bool doubled, double cgs, double cgd,
                           double cgb)
{
    MosfetLoadValues& v = d.values;
    if (doubled) {
        v.capgs = 2.0 * cgs + v.cgsov;
        v.capgd = 2.0 * cgd + v.cgdov;
        v.capgb = 2.0 * cgb + v.cgbov;
    } else {
        v.capgs = cgs + b.cgsPrev + v.cgsov;
        v.capgd = cgd + b.cgdPrev + v.cgdov;
        v.capgb = cgb + b.cgbPrev + v.cgbov;
    }
}

// 1 - v/PB raised to -MJ (bottom) and -MJSW (sidewall) where a grading needs the logarithm
// of a; root is the reciprocal square root of |a| when a grading of 0.5 takes it. Kept out of
// line: the load then holds its live values across this one call, not across the logarithm's
// and the exponential's calls apart.
struct DepletionPowerPair {
    double bottom = 0.0, side = 0.0;
};
[[gnu::noinline]] DepletionPowerPair PowersByLogarithm(const MosfetTemperatureBlock& b, double a, double root)
{
    using G = MosfetTemperatureBlock;
    const bool rootBottom = b.bottomGrading == G::kSquareRoot;
    const bool rootSide = b.sidewallGrading == G::kSquareRoot || (b.sidewallGrading == G::kSameAsBottom && rootBottom);
    const double lna = std::log(a);
    const double sb = rootBottom ? root : std::exp(-b.mj * lna);
    return {sb, b.sidewallGrading == G::kSameAsBottom ? sb : rootSide ? root : std::exp(-b.mjsw * lna)};
}

// 1 - v/PB raised to -MJ (bottom) and -MJSW (sidewall): square roots for a grading of 0.5,
// one logarithm and exponential for any other, one value for both when the two agree.
[[gnu::always_inline]] inline void DepletionPowers(const MosfetTemperatureBlock& b, double a, double& sb,
                                                  double& ss)
{
    using G = MosfetTemperatureBlock;
    const bool rootBottom = b.bottomGrading == G::kSquareRoot;
    const bool rootSide = b.sidewallGrading == G::kSquareRoot || (b.sidewallGrading == G::kSameAsBottom && rootBottom);
    const double root = rootBottom || rootSide ? 1.0 / std::sqrt(std::fabs(a)) : 0.0;
    if (!rootBottom || b.sidewallGrading == G::kPower) {
        const DepletionPowerPair powers = PowersByLogarithm(b, a, root);
        sb = powers.bottom;
        ss = powers.side;
        return;
    }
    // Square roots alone (the sidewall's grading is 0.5 or the bottom's).
    sb = root;
    ss = root;
}

[[gnu::always_inline]] inline MosJunctionCharge JunctionCharge(const MosfetTemperatureBlock& b, double cb0,
                                                               double csw0, double f2, double f3, double f4, double v)
{
    MosJunctionCharge q;
    if (cb0 == 0.0 && csw0 == 0.0) return q;
    if (v >= b.depcap) {
        q.charge = f4 + v * (f2 + 0.5 * v * f3);
        q.capacitance = f2 + f3 * v;
        return q;
    }
    const double a = 1.0 - v * b.pbInverse;
    double sb = 0.0, ss = 0.0;
    DepletionPowers(b, a, sb, ss);
    q.charge = cb0 * (1.0 - a * sb) * b.pbOverBottom + csw0 * (1.0 - a * ss) * b.pbOverSidewall;
    q.capacitance = cb0 * sb + csw0 * ss;
    return q;
}

// The same through the junction's memo of its last voltage.
[[gnu::always_inline]] inline MosJunctionCharge RememberedJunctionCharge(
    const MosfetTemperatureBlock& b, MosfetTemperatureBlock::JunctionMemo& memo, double cb0, double csw0, double f2,
    double f3, double f4, double v)
{
    if (memo.v == v) return {memo.charge, memo.capacitance};
    const MosJunctionCharge q = JunctionCharge(b, cb0, csw0, f2, f3, f4, v);
    memo = {v, q.charge, q.capacitance};
    return q;
}

// The LEVEL 1 body terms at x, the bulk voltage in the frame of the device's orientation.
[[gnu::always_inline]] inline MosfetTemperatureBlock::Level1Body Level1BodyTerms(const MosfetTemperatureBlock& b,
                                                                                 double x, double kelvin)
{
    auto root = [&](double arg) {
        return arg > 0.0 ? std::sqrt(arg) : SqrtWithParamWarning(arg, kelvin, b.statementIndex);
    };
    double sarg;
    if (x > 0.0) {
        sarg = root(b.tphi);
        sarg = std::max(0.0, sarg - x / (2.0 * sarg));
    } else {
        sarg = root(b.tphi - x);
    }
    return {x, b.tvbi * b.type + b.gamma * sarg, sarg > 0.0 ? b.gamma / (2.0 * sarg) : 0.0};
}

// The LEVEL 1 channel with the constants of the device's preparation.
[[gnu::always_inline]] inline MosChannel Level1Channel(double vgs, double vgd, double vds, double vbd, double vbs,
                                                       const MosfetDevice& d, const MosfetTemperatureBlock& b,
                                                       double kelvin)
{
    const double x = d.mode > 0.0 ? vbs : vbd;
    const double y = d.mode > 0.0 ? vgs : vgd;
    const double vdsm = vds * d.mode;
    MosfetTemperatureBlock::Level1Body& body = b.level1Body;
    if (body.x != x) {
        body = Level1BodyTerms(b, x, kelvin);
        // A potential that needed the warning's stand-in is evaluated (and warned about) anew.
        if (!(b.tphi > 0.0 && b.tphi - x > 0.0)) body.x = __builtin_nan("");
    }
    MosChannel ch;
    ch.von = body.von;
    const double vgst = y - ch.von;
    ch.vdsat = std::max(vgst, 0.0);
    if (vgst <= 0.0) return ch;
    const double arg = body.arg;
    const double betap = b.beta * (1.0 + b.lambda * vdsm);
    if (vgst <= vdsm) {
        ch.cdrain = 0.5 * betap * vgst * vgst;
        ch.gm = betap * vgst;
        ch.gds = 0.5 * b.lambda * b.beta * vgst * vgst;
    } else {
        ch.cdrain = betap * vdsm * (vgst - 0.5 * vdsm);
        ch.gm = betap * vdsm;
        ch.gds = betap * (vgst - vdsm) + b.lambda * b.beta * vdsm * (vgst - 0.5 * vdsm);
    }
    ch.gmbs = ch.gm * arg;
    return ch;
}

// Of the 16 stamps of AddRhsAndStamps, those outside the ground row and column when the
// internal source and bulk are ground: the others would go to sinks nobody reads.
[[gnu::always_inline]] inline void AddGroundedSourceBulkStamps(const double* g, const MatrixElementRef* e)
{
    e[5].Add(g[0]);
    e[14].Add(g[2]);
    e[18].Add(g[5]);
    e[26].Add(g[11]);
}

// The 16 stamps g go to the entries of the 32 that not only the series conductances reach, in
// reservation order.
inline void AddStamps(const MosfetDevice& d, const double* g, const MatrixElementRef* e)
{
    if (d.groundedSourceBulk) {
        AddGroundedSourceBulkStamps(g, e);
        return;
    }
    e[5].Add(g[0]);
    e[10].Add(g[1]);
    e[14].Add(g[2]);
    e[15].Add(g[3]);
    e[17].Add(g[4]);
    e[18].Add(g[5]);
    e[19].Add(g[6]);
    e[21].Add(g[7]);
    e[22].Add(g[8]);
    e[23].Add(g[9]);
    e[25].Add(g[10]);
    e[26].Add(g[11]);
    e[27].Add(g[12]);
    e[29].Add(g[13]);
    e[30].Add(g[14]);
    e[31].Add(g[15]);
}

inline void AddRhsAndStamps(const MosLoadPass& p, const MosfetDevice& d, const MosfetReplay& r,
                            const MatrixElementRef* e)
{
    p.rhs[d.internalGate] -= r.rhs[0];
    p.rhs[d.internalBulk] -= r.rhs[1];
    p.rhs[d.internalDrain] += r.rhs[2];
    p.rhs[d.internalSource] += r.rhs[3];
    AddStamps(d, r.stamps, e);
}

// A device without series resistances and RDS leaves the 16 elements that only those
// conductances reach alone (they would get 0).
void AddSeriesStamps(const MosfetDevice& d, double grds, const MatrixElementRef* e)
{
    const MosfetLoadValues& v = d.values;
    const double gd = v.gd, gs = v.gs, gg = v.gg, gb = v.gb;
    e[0].Add(-grds);
    e[1].Add(-grds);
    e[2].Add(grds);
    e[3].Add(grds);
    e[4].Add(gd);
    e[6].Add(-gg);
    e[7].Add(-gg);
    e[8].Add(gg);
    e[9].Add(gs);
    e[11].Add(-gb);
    e[12].Add(-gb);
    e[13].Add(gb);
    e[16].Add(-gd);
    e[20].Add(-gs);
    e[24].Add(-gd);
    e[28].Add(-gs);
}

// The quantities the device reports (terminal currents, capacitances and, with states, the
// charges) from what its last load left: its values, and its charges q and their currents iq
// (null without states). The gate's charge currents count in time steps only.
void WriteReport(MosfetDevice& d, const double* q, const double* iq, bool gateCurrents, double grds)
{
    const MosfetLoadValues& v = d.values;
    const double type = Level123Block(d).temperature.type;
    const double cqgs = q ? iq[kQgs] : 0.0;
    const double cqgd = q ? iq[kQgd] : 0.0;
    const double cqgb = q ? iq[kQgb] : 0.0;
    FetQuantities& fq = d.quantities;
    fq.ig = gateCurrents ? type * (cqgs + cqgd + cqgb) : 0.0;
    fq.id = type * (grds * v.vds0 + v.cd - (gateCurrents ? cqgd : 0.0));
    fq.ib = type * (v.cbd + v.cbs - (gateCurrents ? cqgb : 0.0));
    fq.is = -fq.ig - fq.id - fq.ib;
    fq.cbd = v.capbd;
    fq.cbs = v.capbs;
    fq.cgs = v.capgs;
    fq.cgd = v.capgd;
    fq.cgb = v.capgb;
    if (q) {
        fq.qgs = q[kQgs];
        fq.qgd = q[kQgd];
        fq.qgb = q[kQgb];
        fq.qbd = q[kQbd];
        fq.qbs = q[kQbs];
    }
}

// A bypassed device whose last load was in this load pass's epoch: the same additions again
// (its charges, currents and reported values are those that load left).
void Replay(const MosLoadPass& p, const MosfetDevice& d, const MosfetLevel123Block& low,
            const SemiconductorStamps& entry)
{
    const MatrixElementRef* e = p.pool + entry.stamps.first;
    if (!low.temperature.seriesFree) AddSeriesStamps(d, std::min(low.temperature.rds, p.gmax), e);
    AddRhsAndStamps(p, d, low.replay, e);
}

void LoadOne(const MosLoadPass& p, MosfetDevice& d, SemiconductorStamps& entry)
{
    AnalogSolverState& s = p.s;
    MosfetLoadValues& v = d.values;
    MosfetLevel123Block& low = Level123Block(d);
    MosfetTemperatureBlock& b = low.temperature;
    const double type = b.type;
    const int mode = p.mode;
    const bool predict = p.predict;
    const int slot = entry.stateSlot;
    const bool states = p.StatesHold(slot);
    double* const q = states ? p.charges + slot : nullptr;
    double* const iq = states ? p.currents + slot : nullptr;

    int check = 1;
    double vbs = 0.0, vgs = 0.0, vds = 0.0, vbd = 0.0, vgd = 0.0;
    double cdhat = 0.0, cbhat = 0.0;
    double cdrain = 0.0;
    bool bypassed = false;
    // The load of a prediction opens a time point's Newton iterations: a solve follows it
    // whatever its devices count as unsettled, so they are not judged.
    const bool predicted = predict && !p.firstPoint;
    if (mode == kModeNormal || mode == kModeSmallSignal || predict || (mode == kModeFixedInitial && !d.off)) {
        if (predicted) {
            v.vbs0 = v.vbs1;
            v.vgs0 = v.vgs1;
            v.vds0 = v.vds1;
            v.vbd0 = v.vbs0 - v.vds0;
            const double c1 = s.predictorScale, c2 = s.predictorRatio;
            vbs = c1 * v.vbs1 - c2 * v.vbs2;
            vgs = c1 * v.vgs1 - c2 * v.vgs2;
            vds = c1 * v.vds1 - c2 * v.vds2;
        } else if (mode == kModeSmallSignal) {
            vbs = v.vbs0;
            vgs = v.vgs0;
            vds = v.vds0;
        } else {
            // The first time point starts where the operating point (or the initial
            // conditions) left the nodes; a prediction from an empty history would not.
            const double vs = p.x[d.internalSource];
            vbs = type * (p.x[d.internalBulk] - vs);
            vgs = type * (p.x[d.internalGate] - vs);
            vds = type * (p.x[d.internalDrain] - vs);
        }
        vbd = vbs - vds;
        vgd = vgs - vds;
        const double vgdo = v.vgs0 - v.vds0;
        const double delvbs = vbs - v.vbs0, delvbd = vbd - v.vbd0, delvgs = vgs - v.vgs0, delvds = vds - v.vds0,
                     delvgd = vgd - vgdo;
        // A prediction's load is neither bypassed nor judged (see below): it needs no estimate.
        if (!predicted) {
            if (d.mode >= 0.0)
                cdhat = v.cd - v.gbd * delvbd + v.gmbs * delvbs + v.gm * delvgs + v.gds * delvds;
            else
                cdhat = v.cd - (v.gbd - v.gmbs) * delvbd - v.gm * delvgd + v.gds * delvds;
            cbhat = v.cbs + v.cbd + v.gbd * delvbd + v.gbs * delvbs;
        }
        if (!predict && mode != kModeSmallSignal) {
            const double rt = s.reltolMilli, vntol = s.vntol, abstol = s.abstol;
            const double cb = v.cbs + v.cbd;
            if (std::fabs(cbhat - cb) < (std::max(std::fabs(cbhat), std::fabs(cb)) + abstol) * rt &&
                std::fabs(delvbs) < rt * std::max(std::fabs(vbs), std::fabs(v.vbs0)) + vntol &&
                std::fabs(delvbd) < rt * std::max(std::fabs(vbd), std::fabs(v.vbd0)) + vntol &&
                std::fabs(delvgs) < rt * std::max(std::fabs(vgs), std::fabs(v.vgs0)) + vntol &&
                std::fabs(delvds) < rt * std::max(std::fabs(vds), std::fabs(v.vds0)) + vntol &&
                std::fabs(cdhat - v.cd) < rt * std::max(std::fabs(cdhat), std::fabs(v.cd)) + abstol) {
                if (low.replay.epoch == p.epoch) {
                    Replay(p, d, low, entry);
                    return;
                }
                bypassed = true;
                vbs = v.vbs0;
                vbd = v.vbd0;
                vgs = v.vgs0;
                vds = v.vds0;
                vgd = vgs - vds;
                cdrain = d.mode * (v.cd + v.cbd);
                if (p.timeSteps || p.doubledCaps) GateCapacitanceTotals(d, b, p.doubledCaps, b.cgs, b.cgd, b.cgb);
            }
        }
        if (!bypassed) {
            const double von = type * v.von;
            if (v.vds0 >= 0.0) {
                vgs = LimitFetVoltage(vgs, v.vgs0, von);
                vds = LimitDrainSourceVoltage(vgs - vgd, v.vds0);
            } else {
                vgd = LimitFetVoltage(vgd, vgdo, von);
                vds = -LimitDrainSourceVoltage(-(vgs - vgd), -v.vds0);
                vgs = vgd + vds;
            }
            if (vds >= 0.0) {
                vbs = LimitJunctionVoltageByValue(vbs, v.vbs0, v.nvt, v.vcrits, check);
                vbd = vbs - vds;
            } else {
                vbd = LimitJunctionVoltageByValue(vbd, v.vbd0, v.nvt, v.vcritd, check);
                vbs = vbd + vds;
            }
        }
    } else if (mode == kModeInitJunctions && !d.off) {
        vds = type * d.ic1;
        vgs = type * d.ic2;
        vbs = type * d.ic3;
        if (vds == 0.0 && vgs == 0.0 && vbs == 0.0 &&
            (p.timeSteps || s.runKind == kRunKindAc || s.runKind == kRunKindDcSweep || !s.useInitialConditions)) {
            vbs = -1.0;
            vgs = type * v.tvto;
            vds = 0.0;
        }
    }

    const double vgb = vgs - vbs;
    if (!bypassed) {
        vbd = vbs - vds;
        vgd = vgs - vds;
        // The depletion charges first: few values are live yet across their log and exp calls.
        const bool junctionCharges = p.charge && states;
        MosJunctionCharge qs, qd;
        if (junctionCharges) {
            qs = RememberedJunctionCharge(b, b.sourceMemo, v.cbs0, v.cbssw0, b.f2s, b.f3s, b.f4s, vbs);
            qd = b.drainSteady ? RememberedJunctionCharge(b, b.drainMemo, v.cbd0, v.cbdsw0, b.f2d, b.f3d, b.f4d, vbd)
                               : JunctionCharge(b, v.cbd0, v.cbdsw0, b.f2d, b.f3d, b.f4d, vbd);
        }
        // The junction and drain currents are worked on in locals and stored once: a store
        // into the state vectors would otherwise make every later use read them back.
        double cbs = 0.0, gbs = 0.0, cbd = 0.0, gbd = 0.0;
        JunctionCurrent(vbs, v.isats, v.nvt, b.isatsOverNvt, p.gmin, cbs, gbs);
        JunctionCurrent(vbd, v.isatd, v.nvt, b.isatdOverNvt, p.gmin, cbd, gbd);
        d.mode = vds >= 0.0 ? 1.0 : -1.0;
        const MosChannel ch = b.level == 1   ? Level1Channel(vgs, vgd, vds, vbd, vbs, d, b, p.kelvin)
                              : b.level == 3 ? Level3Channel(vgs, vgd, vds, vbd, vbs, d, b)
                                             : EvaluateMosChannel(vgs, vgd, vds, vbd, vbs, d);
        cdrain = ch.cdrain;
        v.gm = ch.gm;
        v.gds = ch.gds;
        v.gmbs = ch.gmbs;
        v.von = type * ch.von;
        v.vdsat = type * ch.vdsat;
        double cd = d.mode * cdrain - cbd;

        if (junctionCharges) {
            const bool keep = v.cbs0 != 0.0 || v.cbssw0 != 0.0;
            const bool keepD = v.cbd0 != 0.0 || v.cbdsw0 != 0.0;
            const double capbs = keep ? b.tt * gbs + qs.capacitance : 0.0;
            const double capbd = keepD ? b.tt * gbd + qd.capacitance : 0.0;
            q[kQbs] = keep ? b.tt * cbs + qs.charge : 0.0;
            q[kQbd] = keepD ? b.tt * cbd + qd.charge : 0.0;
            v.capbs = capbs;
            v.capbd = capbd;
            if (p.timeSteps || (p.firstPoint && !s.useInitialConditions)) {
                if (p.firstPoint) {
                    FillPast(q, kQbd);
                    FillPast(q, kQbs);
                }
                double geq = 0.0, unused = 0.0;
                p.Integrate(q + kQbd, iq + kQbd, capbd, geq, unused);
                gbd += geq;
                const double cqbd = iq[kQbd];
                cbd += cqbd;
                cd -= cqbd;
                geq = 0.0;
                p.Integrate(q + kQbs, iq + kQbs, capbs, geq, unused);
                gbs += geq;
                cbs += iq[kQbs];
            }
        }
        v.cbs = cbs;
        v.gbs = gbs;
        v.cbd = cbd;
        v.gbd = gbd;
        v.cd = cd;

        if (!predicted && !(d.off && (mode == kModeFixedInitial || mode == kModeSmallSignal))) {
            const double cb = cbs + cbd;
            if (check == 1 ||
                std::fabs(cdhat - cd) >= s.reltol * std::max(std::fabs(cdhat), std::fabs(cd)) + s.abstol ||
                std::fabs(cbhat - cb) > s.reltol * std::max(std::fabs(cbhat), std::fabs(cb)) + s.abstol)
                ++s.nonConvergedCount;
        }
        v.vbs0 = vbs;
        v.vbd0 = vbd;
        v.vgs0 = vgs;
        v.vds0 = vds;

        if (p.charge) {
            double cgs = 0.0, cgd = 0.0, cgb = 0.0;
            if (b.oxcap > 0.0) {
                if (d.mode > 0.0)
                    MeyerGateCapacitances(vgs, vgd, ch.von, ch.vdsat, cgs, cgd, cgb, b.tphi, b.oxcap);
                else
                    MeyerGateCapacitances(vgd, vgs, ch.von, ch.vdsat, cgd, cgs, cgb, b.tphi, b.oxcap);
            }
            b.cgs = cgs;
            b.cgd = cgd;
            b.cgb = cgb;
            GateCapacitanceTotals(d, b, p.doubledCaps, cgs, cgd, cgb);
            if (states) {
                if (predicted) {
                    const double c1 = s.predictorScale, c2 = s.predictorRatio;
                    for (int k : {kQgs, kQgd, kQgb}) q[k] = c1 * q[k + 1] - c2 * q[k + 2];
                } else if (p.timeSteps && !p.firstPoint) {
                    q[kQgs] = (vgs - v.vgs1) * v.capgs + q[kQgs + 1];
                    q[kQgd] = (vgd - (v.vgs1 - v.vds1)) * v.capgd + q[kQgd + 1];
                    q[kQgb] = (vgb - (v.vgs1 - v.vbs1)) * v.capgb + q[kQgb + 1];
                } else {
                    q[kQgs] = vgs * v.capgs;
                    q[kQgd] = vgd * v.capgd;
                    q[kQgb] = vgb * v.capgb;
                    if (p.firstPoint)
                        for (int k : {kQgs, kQgd, kQgb}) FillPast(q, k);
                }
            }
        }
    }

    GateCompanion gc;
    if (states && !p.firstPoint && p.timeSteps) {
        // The companion of the gate charge at q + at, of capacitance cap at voltage volts (kept
        // in registers, not in arrays indexed by charge).
        const auto companion = [&](int at, double cap, double volts, double& g, double& ceq) {
            // A charge without capacitance has no current (the trapezoidal rule, worked out in
            // line, writes the present current in any case).
            if (!p.trapezoidal && cap == 0.0) iq[at] = 0.0;
            p.Integrate(q + at, iq + at, cap, g, ceq);
            ceq = ceq - g * volts + p.ag0 * q[at];
        };
        companion(kQgs, v.capgs, vgs, gc.gcgs, gc.ceqgs);
        companion(kQgd, v.capgd, vgd, gc.gcgd, gc.ceqgd);
        companion(kQgb, v.capgb, vgb, gc.gcgb, gc.ceqgb);
    }
    if (states && p.firstPoint)
        for (int k : {kQgs, kQgd, kQgb}) FillPast(iq, k);

    // The companion currents of the junctions and the channel.
    const double ceqbs = type * (v.cbs - v.gbs * vbs);
    const double ceqbd = type * (v.cbd - v.gbd * vbd);
    const double cdreq = d.mode >= 0.0 ? type * (cdrain - v.gds * vds - v.gm * vgs - v.gmbs * vbs)
                                       : -type * (cdrain + v.gds * vds - v.gm * vgd - v.gmbs * vbd);
    // Right-hand side and matrix, each value kept for a replay as it is added.
    MosfetReplay& r = low.replay;
    r.epoch = p.firstPoint ? 0 : p.epoch;
    const auto rhs = [&](int k, int node, double value, double sign) {
        r.rhs[k] = value;
        p.rhs[node] += sign * value;
    };
    rhs(0, d.internalGate, type * (gc.ceqgs + gc.ceqgb + gc.ceqgd), -1.0);
    rhs(1, d.internalBulk, ceqbs + ceqbd - type * gc.ceqgb, -1.0);
    rhs(2, d.internalDrain, ceqbd - cdreq + type * gc.ceqgd, 1.0);
    rhs(3, d.internalSource, cdreq + ceqbs + type * gc.ceqgs, 1.0);

    // The elements in reservation order.
    assert(entry.stamps.reserved && entry.stamps.count == 32);
    const MatrixElementRef* e = p.pool + entry.stamps.first;
    const double grds = std::min(b.rds, p.gmax);
    const double xnrm = d.mode >= 0.0 ? 1.0 : 0.0, xrev = 1.0 - xnrm;
    const double gm = v.gm, gds = v.gds, gmbs = v.gmbs, gbd = v.gbd, gbs = v.gbs;
    const double gd = v.gd, gs = v.gs, gg = v.gg, gb = v.gb;
    if (!b.seriesFree) AddSeriesStamps(d, grds, e);
    // The values are kept for a replay and then added (only four with source and bulk on
    // ground): one test of the grounding per device, not one per stamp.
    double* g = r.stamps;
    g[0] = gg + gc.gcgd + gc.gcgs + gc.gcgb;
    g[1] = gbd + gbs + gc.gcgb + gb;
    g[2] = gd + gds + gbd + xrev * (gm + gmbs) + gc.gcgd;
    g[3] = gs + gds + gbs + xnrm * (gm + gmbs) + gc.gcgs;
    g[4] = -gc.gcgb;
    g[5] = -gc.gcgd;
    g[6] = -gc.gcgs;
    g[7] = -gbd;
    g[8] = -gbs;
    g[9] = -gds - xnrm * (gm + gmbs);
    g[10] = -gc.gcgb;
    g[11] = (xnrm - xrev) * gm - gc.gcgd;
    g[12] = -(xnrm - xrev) * gm - gc.gcgs;
    g[13] = (xnrm - xrev) * gmbs - gbd;
    g[14] = -gbs - (xnrm - xrev) * gmbs;
    g[15] = -gds - xrev * (gm + gmbs);
    AddStamps(d, g, e);

    if (p.writeReports) WriteReport(d, q, iq, p.timeSteps, grds);
}

}  // namespace

MosJunctionCharge MosJunctionChargeAt(const MosfetDevice& d, bool drainSide, double v)
{
    const MosfetTemperatureBlock& b = Level123Block(d).temperature;
    const MosfetLoadValues& values = d.values;
    return drainSide ? JunctionCharge(b, values.cbd0, values.cbdsw0, b.f2d, b.f3d, b.f4d, v)
                     : JunctionCharge(b, values.cbs0, values.cbssw0, b.f2s, b.f3s, b.f4s, v);
}

MosChannel EvaluateMosLevel1(double vgs, double vgd, double vds, double vbd, double vbs, const MosfetDevice& d)
{
    return Level1Channel(vgs, vgd, vds, vbd, vbs, d, Level123Block(d).temperature, Devices().runKelvin);
}

MosChannel EvaluateMosChannel(double vgs, double vgd, double vds, double vbd, double vbs, const MosfetDevice& d)
{
    switch (Level123Block(d).temperature.level) {
    case 1: return EvaluateMosLevel1(vgs, vgd, vds, vbd, vbs, d);
    case 2: return EvaluateMosLevel2(vgs, vgd, vds, vbd, vbs, d);
    case 3: return EvaluateMosLevel3(vgs, vgd, vds, vbd, vbs, d);
    default: return {};
    }
}

int SetupMosLevel123()
{
    // The LEVEL 4/5 and LEVEL 8 devices are reserved by their own set-ups.
    NewLoadEpoch();
    for (MosfetDevice& d : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList))) {
        d.level123 = IsMosLevel123(d);
        d.groundedSourceBulk = d.internalSource == 0 && d.internalBulk == 0;
    }
    return ReserveMosfetFamily([](const MosfetDevice& d) { return IsMosLevel123(d); },
                               [](const MosfetDevice& d) { return ElementPositions(NodesOf(d)); });
}

// The devices the LEVEL 1 to 3 load takes.
constexpr auto kTakesLevel123 = [](const MosfetDevice& d) { return d.model && d.level123; };

int LoadMosLevel123()
{
    AnalogSolverState& s = AnalogSolver();
    if (!s.setupDone || !MosfetFamilyPresent(kTakesLevel123)) return 0;
    const MosLoadPass pass(s, SolutionVector(), GlobalOptions().values.gmin);
    return ForEachDeviceWithStamps<MosfetDevice>(kMosfetDeviceList, s.devices.mosfets,
                                                 [&](MosfetDevice& d, SemiconductorStamps& entry) {
                                                     if (kTakesLevel123(d)) LoadOne(pass, d, entry);
                                                     return 0;
                                                 });
}

void WriteBehindMosfetReports()
{
    if (!ReportsBehind()) return;
    ReportsBehind() = false;
    AnalogSolverState& s = AnalogSolver();
    const std::size_t stateCount = std::min(s.chargeStates.size(), s.currentStates.size());
    const double gmax = Devices().gmax;
    // Only time points' loads leave reports behind: their gate charges carry currents.
    ForEachDeviceWithStamps<MosfetDevice>(kMosfetDeviceList, s.devices.mosfets,
                                          [&](MosfetDevice& d, SemiconductorStamps& entry) {
                                              if (!kTakesLevel123(d)) return 0;
                                              const int slot = entry.stateSlot;
                                              const bool states = BlockInStates(slot, stateCount);
                                              const double* q = states ? s.chargeStates.data() + slot : nullptr;
                                              const double* iq = states ? s.currentStates.data() + slot : nullptr;
                                              WriteReport(d, q, iq, true, std::min(Level123Block(d).temperature.rds, gmax));
                                              return 0;
                                          });
}

void ShiftMosfetHistory(bool timeSteps)
{
    NewLoadEpoch();
    // The walk waits for every record it reaches; the trail of the last load walk names the
    // records ahead, whose lines that the shift touches are fetched while it works.
    constexpr std::size_t kAhead = 4;
    const std::vector<const ListNode*>& trail = DeviceRecordTrail(kMosfetDeviceList);
    std::size_t i = 0;
    for (MosfetDevice& d : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList))) {
        if (i + kAhead < trail.size()) {
            const auto* ahead = static_cast<const MosfetDevice*>(trail[i + kAhead]);
            __builtin_prefetch(ahead);
            __builtin_prefetch(&ahead->values.vbs0, 1);
            __builtin_prefetch(&ahead->values.vgs1, 1);
        }
        ++i;
        MosfetLoadValues& v = d.values;
        v.vbs2 = v.vbs1;
        v.vgs2 = v.vgs1;
        v.vds2 = v.vds1;
        v.vbs1 = v.vbs0;
        v.vgs1 = v.vgs0;
        v.vds1 = v.vds0;
        if (!d.level123) continue;
        MosfetTemperatureBlock& b = Level123Block(d).temperature;
        b.drainSteady = v.vbs1 - v.vds1 == v.vbs2 - v.vds2;
        if (timeSteps) {
            b.cgsPrev = b.cgs;
            b.cgdPrev = b.cgd;
            b.cgbPrev = b.cgb;
        }
    }
}

}  // namespace kq5
