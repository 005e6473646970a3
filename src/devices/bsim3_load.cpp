// The LEVEL 8 (BSIM3) MOSFETs in the Newton iterations: set-up of their 32 (40 with the
// non-quasi-static charge node) matrix elements, the load (voltages, limiting, bulk junctions,
// channel, charges, convergence, stamps), the AC stamps and currents, and the noise generators.
//
// The stamps are formed once, as a conductance part and a capacitance part per element: the load
// adds ag0 times the capacitances, the AC stamp j omega times them.
#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdint>

#include "analog/analog_state.h"
#include "analog/charge_integration.h"
#include "analog/device_dispatch.h"
#include "analog/limiting.h"
#include "analog/noise.h"
#include "netlist/numeric_helpers.h"
#include "analog/run_control.h"
#include "devices/bsim3_eval.h"
#include "devices/bsim3_eval_body.h"
#include "devices/bsim3_params.h"
#include "devices/bsim_load_common.h"
#include "devices/mosfet_model.h"
#include "netlist/bsim3_values.h"
#include "devices/device_families.h"
#include "netlist/fet_devices.h"
#include "devices/mosfet_family_loops.h"
#include "devices/mosfet_ac_rows.h"
#include "devices/mosfet_point.h"
#include "devices/mosfet_load.h"
#include "analog/stamp_ac.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"

namespace kq5 {

namespace {

// Offsets of the charges in a device's block of 28 state slots.
constexpr int kQg = 0, kQb = 4, kQd = 8, kQdef = 12, kQcheq = 16;
constexpr int kElements = 40;
constexpr double kBoltzmannJ = 1.3806226e-23;

bool IsLevel8(const MosfetDevice& d) { return d.model && d.side && d.side->level == 8 && d.bsim3; }
bool HasChargeNode(const MosfetDevice& d) { return d.bsim3 && d.bsim3->nqsmod == 1; }

std::array<std::pair<int, int>, kElements> ElementPositions(const MosfetDevice& d)
{
    const int g = d.gate, dr = d.drain, s = d.source, b = d.bulk, gi = d.internalGate, di = d.internalDrain,
              si = d.internalSource, bi = d.internalBulk, q = d.extraInternal;
    return {{{di, si}, {si, di}, {di, di}, {si, si}, {dr, dr}, {gi, gi}, {gi, g},   {g, gi},   {g, g},   {s, s},
             {bi, bi}, {bi, b},  {b, bi},  {b, b},   {di, di}, {si, si}, {dr, di},  {gi, bi},  {gi, di}, {gi, si},
             {s, si},  {bi, gi}, {bi, di}, {bi, si}, {di, dr}, {di, gi}, {di, bi},  {di, si},  {si, gi}, {si, s},
             {si, bi}, {si, di}, {q, q},   {di, q},  {si, q},  {gi, q},  {q, gi},   {q, di},   {q, si},  {q, bi}}};
}

// The elements that only the series conductances and RDS reach (1 to 5, 7 to 10, 12 to 14, 17,
// 21, 25 and 30 of the table, counted from 1): no capacitance term ever reaches them.
constexpr std::array<bool, kElements> kSeriesOnly = [] {
    std::array<bool, kElements> only{};
    for (int row : {1, 2, 3, 4, 5, 7, 8, 9, 10, 12, 13, 14, 17, 21, 25, 30}) only[static_cast<std::size_t>(row - 1)] = true;
    return only;
}();

// The rows whose capacitance parts the charge equivalents of the load read.
constexpr std::array<bool, kElements> kChargeRead = [] {
    std::array<bool, kElements> read{};
    for (int row : {6, 15, 19, 20, 22, 23, 24, 26, 28, 37, 38, 39}) read[static_cast<std::size_t>(row - 1)] = true;
    return read;
}();

// The drain's share of the channel charge's slopes (the source takes the rest).
// (Given the orientation, normal for d.mode >= 0: the loads read it once.)
double DrainShare(bool normal) { return normal ? 0.4 : 0.6; }

// The linearised device from what the last load left in the instance, element by element in
// reservation order: set(row, g, c) with the row counted from 1, its conductance part g and its
// capacitance part c. `charges` false leaves every charge term out (operating points without
// charge storage).
template <class Set>
[[gnu::always_inline]] inline void LineariseRows(const MosfetDevice& d, bool charges, Set&& set)
{
    const Bsim3Size& p = *d.bsim3;
    const MosfetLoadValues& v = d.values;
    const bool normal = d.mode >= 0.0;
    const double Gm = normal ? v.gm : -v.gm, Gmbs = normal ? v.gmbs : -v.gmbs;
    const double FwdSum = normal ? v.gm + v.gmbs : 0.0, RevSum = normal ? 0.0 : v.gm + v.gmbs;
    // Substrate current between B' and the drain end of the channel.
    const double gsub = p.gbg + p.gbd + p.gbb;
    double gbdpg = 0, gbdpdp = 0, gbdpb = 0, gbdpsp = 0, gbspg = 0, gbspsp = 0, gbspb = 0, gbspdp = 0;
    double gbbdp, gbbsp;
    if (normal) {
        gbdpg = p.gbg, gbdpdp = p.gbd, gbdpb = p.gbb, gbdpsp = -gsub;
        gbbdp = -p.gbd;
        gbbsp = gsub;
    } else {
        gbspg = p.gbg, gbspsp = p.gbd, gbspb = p.gbb, gbspdp = -gsub;
        gbbsp = -p.gbd;
        gbbdp = gsub;
    }
    // Charge derivatives, mapped back to the device's own drain and source in reversed mode.
    TerminalCapacitances t;
    double ggtg = 0, ggtd = 0, ggts = 0, ggtb = 0, cqgb = 0, cqdb = 0, cqsb = 0, cqbb = 0, qdefCap = 0;
    double gtau = 0.0;
    if (charges) {
        t = MapTerminalCapacitances(IntrinsicCapacitancesOf(p), normal, v.capbd, v.capbs, p.cgdoBias, p.cgsoBias, p.cgbo);
        if (p.nqsmod == 1) {
            ggtg = p.ggtg, ggtd = p.ggtd, ggts = p.ggts, ggtb = p.ggtb;
            cqgb = p.cqgb, cqbb = p.cqbb;
            cqdb = normal ? p.cqdb : p.cqsb;
            cqsb = normal ? p.cqsb : p.cqdb;
            qdefCap = 1.0;
        }
    }
    if (p.nqsmod == 1) gtau = charges ? p.gtau : 16.0 * p.u0temp * p.vtm / (p.leff * p.leff);
    const double gRDS = p.grds, gD = v.gd, gS = v.gs, gG = v.gg, gB = v.gb;
    const double gds = v.gds, gbd = v.gbd, gbs = v.gbs;
    const double dx = DrainShare(normal), sx = normal ? 0.6 : 0.4;
    const double cggb = t.cggb, cgdb = t.cgdb, cgsb = t.cgsb, cdgb = t.cdgb, cddb = t.cddb, cdsb = t.cdsb,
                 csgb = t.csgb, csdb = t.csdb, cssb = t.cssb, cbgb = t.cbgb, cbdb = t.cbdb, cbsb = t.cbsb;
    set(1, -gRDS, 0);
    set(2, -gRDS, 0);
    set(3, gRDS, 0);
    set(4, gRDS, 0);
    set(5, gD, 0);
    set(6, -ggtg + gG, cggb);
    set(7, -gG, 0);
    set(8, -gG, 0);
    set(9, gG, 0);
    set(10, gS, 0);
    set(11, gbd + gbs - p.gbb + gB, -(cbgb + cbdb + cbsb));
    set(12, -gB, 0);
    set(13, -gB, 0);
    set(14, gB, 0);
    set(15, gD + gds + gbd + RevSum + dx * ggtd + gbdpdp, cddb);
    set(16, gS + gds + gbs + FwdSum + sx * ggts + gbspsp, cssb);
    set(17, -gD, 0);
    set(18, -ggtb, -(cggb + cgdb + cgsb));
    set(19, -ggtd, cgdb);
    set(20, -ggts, cgsb);
    set(21, -gS, 0);
    set(22, -p.gbg, cbgb);
    set(23, -gbd + gbbdp, cbdb);
    set(24, -gbs + gbbsp, cbsb);
    set(25, -gD, 0);
    set(26, Gm + dx * ggtg + gbdpg, cdgb);
    set(27, -(gbd - Gmbs - dx * ggtb - gbdpb), -(cdgb + cddb + cdsb));
    set(28, -(gds + FwdSum - dx * ggts - gbdpsp), cdsb);
    set(29, -Gm + sx * ggtg + gbspg, csgb);
    set(30, -gS, 0);
    set(31, -(gbs + Gmbs - sx * ggtb - gbspb), -(csgb + csdb + cssb));
    set(32, -(gds + RevSum - sx * ggtd - gbspdp), csdb);
    set(33, gtau, qdefCap);
    set(34, dx * gtau, 0);
    set(35, sx * gtau, 0);
    set(36, -gtau, 0);
    set(37, ggtg, -cqgb);
    set(38, ggtd, -cqdb);
    set(39, ggts, -cqsb);
    set(40, ggtb, -cqbb);
}

// The same as two arrays, for the AC stamps.
struct Linearised {
    std::array<double, kElements> g;
    std::array<double, kElements> c;
};
Linearised Linearise(const MosfetDevice& d, bool charges)
{
    Linearised L;
    LineariseRows(d, charges, [&](int row, double g, double c) {
        L.g[static_cast<std::size_t>(row - 1)] = g;
        L.c[static_cast<std::size_t>(row - 1)] = c;
    });
    return L;
}

// The channel's equivalent current from the stored values and voltages, as a bypassed load
// forms it (which may differ from the evaluated one in the last bit).
double StoredChannelCurrent(const MosfetDevice& d)
{
    const MosfetLoadValues& v = d.values;
    return ChannelEquivalentCurrent(d.mode >= 0.0, d.bsim3->type, d.mode * (v.cd + v.cbd), v, v.vds0, v.vgs0, v.vbs0,
                                    v.vgs0 - v.vds0, v.vbd0);
}

// Adds again what the device's last load in this epoch added. The stored values are still
// that load's: every load that changes them makes a new record.
void Replay(const AnalogSolverState& s, const MosfetDevice& d, const SemiconductorStamps& entry, const Bsim3Replay& r)
{
    AddFetRhs(d, StoredChannelCurrent(d), r.rhs[0], r.rhs[1], r.rhs[2], r.rhs[3], r.rhs[4]);
    ReplayLinearised(s, entry.stamps, r.stamps, r.seriesFree ? kSeriesOnly.data() : nullptr);
}

// A device's load between its two parts: the voltages after limiting and what the channel
// evaluation between the parts needs.
struct PendingLoad {
    MosfetDevice* d = nullptr;
    SemiconductorStamps* entry = nullptr;
    double vbs = 0.0, vgs = 0.0, vds = 0.0, vbd = 0.0, vgd = 0.0, qdef = 0.0;
    int check = 1;
    bool states = false;   // the state vectors hold the device's block
    bool bypassed = false;
    bool replay = false;   // adds again what its last load added, nothing else
    bool channel = false;  // needs the channel and the bulk junctions evaluated
    double cgs = 0.0, cds = 0.0, cbs = 0.0;  // the channel's voltages, mode-adjusted
    Bsim3Junction js, jd;  // the bulk junctions' charges, where the load stores charge
    bool overlapsReady = false;  // the overlap charges below are evaluated (in the lanes)
    Bsim3Overlaps overlaps;
    bool ready = false;  // the load can finish: its channel, where it needs one, is evaluated
    Bsim3Channel ch;     // the channel's results
    Bsim3Charges q;      // and its charges, where the load stores charge
};

// The first part of a device's load: voltages, limiting, the bypass decision and the device's
// orientation.
void BeginLoad(MosfetDevice& d, SemiconductorStamps& entry, const std::vector<double>& x, std::uint64_t epoch,
               PendingLoad& out)
{
    AnalogSolverState& s = AnalogSolver();
    Bsim3Size& p = *d.bsim3;
    MosfetLoadValues& v = d.values;
    const double type = p.type;
    const int mode = s.iterationMode;
    const bool predictor = mode == kModePredictor;
    const bool nqs = p.nqsmod == 1;
    const int slot = entry.stateSlot;
    const bool states = StateBlockHeld(s, slot);
    out.d = &d;
    out.entry = &entry;

    // 1. Terminal voltages by the iteration mode.
    int check = 1;
    double vbs = 0.0, vgs = 0.0, vds = 0.0, qdef = 0.0;
    bool ordinary = false;
    if (mode == kModeSmallSignal) {
        vbs = v.vbs0, vgs = v.vgs0, vds = v.vds0;
        if (states) qdef = StateSlot(s.chargeStates, slot + kQdef);
    } else if (mode == kModeInitJunctions && !d.off) {
        bool guess = false;
        const FetVoltages u = InitialConditionVoltages(d, type, s, guess);
        vbs = u.vbs, vgs = u.vgs, vds = u.vds;
        if (guess) {
            vbs = 0.0;
            vgs = type * (p.vth0 + 0.1);
            vds = 0.1;
        }
    } else if ((mode == kModeInitJunctions || mode == kModeFixedInitial) && d.off) {
        // Held at zero.
    } else if (predictor) {
        const FetVoltages u = PredictFetVoltages(v, s);
        vbs = u.vbs, vgs = u.vgs, vds = u.vds;
        const double c1 = s.predictorScale, c2 = s.predictorRatio;
        if (nqs && states)
            qdef = c1 * StateSlot(s.chargeStates, slot + kQdef + 1) - c2 * StateSlot(s.chargeStates, slot + kQdef + 2);
        ordinary = true;
    } else {
        // Ordinary iterations, and the first time point, which starts where the operating point
        // (or the initial conditions) left the nodes.
        const FetVoltages u = FetNodeVoltages(d, x, type);
        vbs = u.vbs, vgs = u.vgs, vds = u.vds;
        if (nqs) qdef = x[static_cast<std::size_t>(d.extraInternal)];
        ordinary = mode != kModeFirstTimePoint;
    }

    // 2. to 4. Bypass and limiting.
    double vbd = vbs - vds, vgd = vgs - vds;
    bool bypassed = false;
    if (ordinary) {
        const MosPointStep step = StepMosfetPoint(d, vbs, vgs, vds, {type, v.nvt, !predictor, true});
        vbs = step.vbs, vgs = step.vgs, vds = step.vds, vbd = step.vbd, vgd = step.vgd;
        bypassed = step.bypassed, check = step.check;
    }

    const LoadModeFlags& flags = s.flags;
    // A bypassed device adds what its last load of this epoch added when that load stamped the
    // charge terms as this one would (without the charge node, whose voltage is no bypass input).
    out.replay = bypassed && !nqs && p.replay.epoch == epoch &&
                 p.replay.chargeTerms == (flags.dynamic || flags.transientWithIc);
    out.channel = false;
    out.overlapsReady = false;
    if (!out.replay && !bypassed) {
        // 5. to 7. Orientation (the junctions follow for the whole group, BulkJunctions).
        vbd = vbs - vds;
        vgd = vgs - vds;
        d.mode = vds >= 0.0 ? 1.0 : -1.0;
        out.channel = true;
        if (d.mode > 0.0)
            out.cgs = vgs, out.cds = vds, out.cbs = vbs;
        else
            out.cgs = vgd, out.cds = -vds, out.cbs = vbd;
    }
    out.vbs = vbs, out.vgs = vgs, out.vds = vds, out.vbd = vbd, out.vgd = vgd, out.qdef = qdef;
    out.check = check;
    out.states = states;
    out.bypassed = bypassed;
}

// The rest of a device's load, once its channel (when it needed one) is evaluated into ch, with
// its charges q where the load stores charge.
void FinishLoad(const PendingLoad& at, const Bsim3Channel& ch, const Bsim3Charges& q, double gmin,
                std::uint64_t epoch)
{
    AnalogSolverState& s = AnalogSolver();
    MosfetDevice& d = *at.d;
    SemiconductorStamps& entry = *at.entry;
    if (at.replay) {
        Replay(s, d, entry, d.bsim3->replay);
        return;
    }
    Bsim3Size& p = *d.bsim3;
    MosfetLoadValues& v = d.values;
    const double type = p.type;
    const int mode = s.iterationMode;
    const bool nqs = p.nqsmod == 1;
    const int slot = entry.stateSlot;
    const bool states = at.states;
    const bool normal = d.mode >= 0.0;  // the orientation BeginLoad chose
    const double vbs = at.vbs, vgs = at.vgs, vds = at.vds, vbd = at.vbd, vgd = at.vgd, qdef = at.qdef;
    const int check = at.check;
    const bool bypassed = at.bypassed;
    const LoadModeFlags& flags = s.flags;
    const bool storage = flags.chargeStorage != 0;
    bool chargeTerms = storage;  // false: every charge term of the stamps is 0
    double ids = 0.0;
    double qgate = 0.0, qbulk = 0.0, qdrn = 0.0;
    if (!bypassed) {
        // 8. The channel's results.
        ids = ch.ids;
        v.von = type * ch.vth;
        v.vdsat = type * ch.vdsat;
        v.gm = ch.gm, v.gds = ch.gds, v.gmbs = ch.gmbs;
        p.csub = ch.csub, p.gbg = ch.gbg, p.gbd = ch.gbd, p.gbb = ch.gbb;
        v.cd = d.mode * ids - v.cbd;

        // 9. Charges.
        if (storage) {
            qgate = q.qgate, qbulk = q.qbulk, qdrn = q.qdrn;
            p.cggb = q.cggb, p.cgdb = q.cgdb, p.cgsb = q.cgsb, p.cbgb = q.cbgb, p.cbdb = q.cbdb, p.cbsb = q.cbsb;
            p.cdgb = q.cdgb, p.cddb = q.cddb, p.cdsb = q.cdsb;
            p.cqgb = q.cqgb, p.cqdb = q.cqdb, p.cqsb = q.cqsb, p.cqbb = q.cqbb, p.tconst = q.tconst, p.gtau = q.gtau;
            if (nqs && states) StateSlot(s.chargeStates, slot + kQcheq) = q.qcheq;
            p.qbs = at.js.charge, v.capbs = at.js.capacitance;
            p.qbd = at.jd.charge, v.capbd = at.jd.capacitance;
        }

        // 10. Convergence and the new state. A limited iterate has not converged; the move of
        // the solution is judged after the solve (SolveTestLevel8).
        if (check == 1 && !(d.off && mode == kModeFixedInitial)) ++s.nonConvergedCount;
        v.vbs0 = vbs, v.vbd0 = vbd, v.vgs0 = vgs, v.vds0 = vds;
    } else {
        ids = d.mode * (v.cd + v.cbd);  // the stored channel current, mode-adjusted
        chargeTerms = flags.dynamic || flags.transientWithIc;
    }

    // 11. Overlap charges and the charge equivalents.
    double ceqqg = 0.0, ceqqb = 0.0, ceqqd = 0.0, cqcheqEq = 0.0, cqdef = 0.0;
    const double vgb = vgs - vbs;
    if (chargeTerms) {
        const Bsim3Overlaps overlaps = at.overlapsReady ? at.overlaps : Bsim3OverlapCharges(p, vgd, vgs);
        const Bsim3Overlap &od = overlaps.drain, &os = overlaps.source;
        p.cgdoBias = od.capacitance;
        p.cgsoBias = os.capacitance;
        v.cgdov = od.capacitance;
        v.cgsov = os.capacitance;
        if (!bypassed) {
            AddOverlapCharges(normal, od.charge, os.charge, p.cgbo * vgb, qgate, qbulk, qdrn);
        }
        if (nqs) {
            const double t0 = p.tconst * qdef;
            p.ggtg = t0 * p.cqgb;
            p.ggtb = t0 * p.cqbb;
            p.ggtd = t0 * (normal ? p.cqdb : p.cqsb);
            p.ggts = t0 * (normal ? p.cqsb : p.cqdb);
        } else {
            p.ggtg = p.ggtd = p.ggts = p.ggtb = 0.0;
        }
        if (states && !bypassed) {
            StoreTerminalCharges(s, slot, qgate, qbulk, qdrn, p.qbd, p.qbs, nqs);
            if (nqs) StateSlot(s.chargeStates, slot + kQdef) = qdef;
        }
    }
    if (mode == kModeSmallSignal) {
        // The small-signal bias: the values stay for the AC stamp and the operating point
        // report, nothing is stamped.
        if (RunControl().runDataMode != kRunDataRetrieve)
            ReportBsimCurrents(d, p, {false, states, slot, type, p.grds, p.cgbo, p.qbd, p.qbs});
        return;
    }
    // 14. Matrix (ahead of 12. and 13., which do not touch it): the values g + ag0 c, added as
    // the elements are linearised, in reservation order, and kept in the replay record; and the
    // ag0 c parts that the charge equivalents read. Without series resistances and RDS the
    // elements only they reach get 0 and are left alone.
    Bsim3Replay& r = p.replay;
    const double ag = chargeTerms ? s.ag0 : 0.0;
    const bool seriesFree = p.grds == 0.0 && v.gd == 0.0 && v.gs == 0.0 && v.gg == 0.0 && v.gb == 0.0;
    r.chargeTerms = chargeTerms;
    r.seriesFree = seriesFree;
    std::array<double, kElements> charged;
    charged[36] = charged[37] = charged[38] = 0.0;  // (without the charge node nothing sets them)
    StampCursor cursor(*s.pool, entry.stamps);
    LineariseRows(d, chargeTerms, [&](int row, double g, double c) __attribute__((always_inline)) {
        const auto k = static_cast<std::size_t>(row - 1);
        if (k >= 32 && !nqs) return;
        const double ac = ag * c;
        if (kChargeRead[k]) charged[k] = ac;
        const double value = kSeriesOnly[k] ? g : g + ac;  // (c is 0 there)
        if (k < 32) r.stamps[k] = value;
        if (seriesFree && kSeriesOnly[k])
            cursor.Skip();
        else
            cursor.Add(value);
    });
    cursor.Finish();
    if (chargeTerms && states) {
        if (!bypassed) {
            if (mode == kModeFirstTimePoint)
                for (int k : {kQg, kQb, kQd, kQdef, kQcheq}) FillPastStates(s.chargeStates, slot + k);
            IntegrateBlockChargeCurrents(s, slot, {kQg, kQb, kQd});
            if (nqs) IntegrateBlockChargeCurrents(s, slot, {kQcheq});
        }
        if (nqs) {
            double ceq = 0.0;
            double gqdef = 0.0;
            IntegrateCharge(slot + kQdef, 1.0, gqdef, ceq);
            cqdef = ceq;
        }
        const double cqg = StateSlot(s.currentStates, slot + kQg), cqb = StateSlot(s.currentStates, slot + kQb),
                     cqd = StateSlot(s.currentStates, slot + kQd);
        auto gc = [&](int row) { return charged[static_cast<std::size_t>(row - 1)]; };
        const double t1 = p.ggtg * vgb - p.ggtd * vbd - p.ggts * vbs;
        // gcggb (6), gcgdb (19), gcgsb (20); gcbgb (22), gcbdb (23), gcbsb (24); gcdgb (26), gcddb (15),
        // gcdsb (28); the charge node's gcq terms (37 to 39, negated there).
        ceqqg = cqg - gc(6) * vgb + gc(19) * vbd + gc(20) * vbs + t1;
        ceqqb = cqb - gc(22) * vgb + gc(23) * vbd + gc(24) * vbs;
        ceqqd = cqd - gc(26) * vgb + gc(15) * vbd + gc(28) * vbs - DrainShare(normal) * t1;
        if (nqs) cqcheqEq = StateSlot(s.currentStates, slot + kQcheq) - (-gc(37) * vgb + gc(38) * vbd + gc(39) * vbs) + t1;
        if (mode == kModeFirstTimePoint)
            for (int k : {kQg, kQb, kQd, kQdef, kQcheq}) FillPastStates(s.currentStates, slot + k);
    }

    // 12. and 13. Linearised channel and junction currents; right-hand side.
    const double cdreq = ChannelEquivalentCurrent(normal, type, ids, v, vds, vgs, vbs, vgd, vbd);
    double ceqbs = v.cbs - (v.gbs - gmin) * vbs;
    double ceqbd = v.cbd - (v.gbd - gmin) * vbd;
    if (normal)
        ceqbd -= p.csub;
    else
        ceqbs -= p.csub;
    if (type < 0.0) {
        ceqbs = -ceqbs, ceqbd = -ceqbd, ceqqg = -ceqqg, ceqqb = -ceqqb, ceqqd = -ceqqd;
        cqcheqEq = -cqcheqEq, cqdef = -cqdef;
    }
    AddFetRhs(d, cdreq, ceqbs, ceqbd, ceqqg, ceqqb, ceqqd);
    if (nqs) RhsEntry(d.extraInternal) += cqcheqEq - cqdef;

    // Kept for a replay, which forms the channel's current again from the stored values.
    r.epoch = nqs || mode == kModeFirstTimePoint ? 0 : epoch;
    r.rhs[0] = ceqbs, r.rhs[1] = ceqbd, r.rhs[2] = ceqqg, r.rhs[3] = ceqqb, r.rhs[4] = ceqqd;

    // 15. Terminal currents for the report.
    if (RunControl().runDataMode != kRunDataRetrieve)
        ReportBsimCurrents(d, p, {chargeTerms && states, states, slot, type, p.grds, p.cgbo,
                               p.qbd, p.qbs});
}

int SetupMosLevel8()
{
    return ReserveMosfetFamily([](const MosfetDevice& d) { return d.side && d.side->level == 8; },
                               [](const MosfetDevice& d) {
                                   const auto positions = ElementPositions(d);
                                   const bool nqs = d.model && static_cast<int>(MosParam(*d.model, b3p::kNqsmod)) == 1;
                                   return std::vector<std::pair<int, int>>(positions.begin(),
                                                                           positions.begin() + (nqs ? kElements : 32));
                               });
}

// The devices the LEVEL 8 set-up, load and convergence test take.
constexpr auto kTakesLevel8 = [](const MosfetDevice& d) { return IsLevel8(d); };

// The loads of consecutive devices, held between their two parts so that their channels are
// evaluated together, one device in each vector lane where the processor has the lanes (one
// device's evaluation is a chain of dependent divisions, roots and exponentials that leaves the
// processor waiting). Lanes share the branches on the parameters: the devices of another set of
// branches (an n-channel model with substrate current beside a p-channel one without) fill
// lanes of their own, and a set is evaluated when its lanes are full. The loads finish in list
// order, each once the loads before it have finished and its own channel is evaluated, so the
// devices add to the matrix in the same order as one at a time.
class LoadGroup {
public:
    // Starts a load pass (and drops what a pass cut short left waiting).
    void Begin(double gmin, std::uint64_t epoch)
    {
        gmin_ = gmin, epoch_ = epoch;
        laneCount_ = Bsim3VectorSlopes() ? kLanes : 1;
        storage_ = AnalogSolver().flags.chargeStorage != 0;
        head_ = tail_ = 0;
        for (Lanes& set : sets_) set.used = 0;
    }

    void Add(MosfetDevice& d, SemiconductorStamps& entry, const std::vector<double>& x)
    {
        if (tail_ - head_ == kPending) Flush();
        const std::size_t at = tail_++ % kPending;
        PendingLoad& next = pending_[at];
        BeginLoad(d, entry, x, epoch_, next);
        next.ready = !next.channel;
        if (next.channel) {
            Lanes* set = SetFor(d.bsim3->laneKey);
            if (!set) {
                // Both sets fill with devices of other kinds: they are evaluated as they stand.
                Flush();
                set = SetFor(d.bsim3->laneKey);
            }
            set->waiting[static_cast<std::size_t>(set->used++)] = at;
            if (set->used == laneCount_) Evaluate(*set);
        }
        FinishReady();
    }

    void Flush()
    {
        for (Lanes& set : sets_)
            if (set.used > 0) Evaluate(set);
        FinishReady();
    }

private:
    static constexpr int kLanes = 4;
    static constexpr int kSets = 2;
    static constexpr std::size_t kPending = 16;  // with the bypassed devices among them

    // The waiting devices of one set of parameter branches (their places in pending_), one per
    // lane.
    struct Lanes {
        unsigned key = 0;
        int used = 0;
        std::array<std::size_t, kLanes> waiting{};
    };

    // The set that takes a device of lane key `key`: the one filling with that key, else an
    // empty one; null when both fill with other keys.
    Lanes* SetFor(unsigned key)
    {
        if (laneCount_ == 1) return &sets_[0];
        for (Lanes& l : sets_)
            if (l.used > 0 && l.key == key) return &l;
        for (Lanes& l : sets_)
            if (l.used == 0) {
                l.key = key;
                return &l;
            }
        return nullptr;
    }

    // Finishes the waiting loads from the first on, up to the first whose channel waits.
    void FinishReady()
    {
        for (; head_ != tail_; ++head_) {
            const PendingLoad& at = pending_[head_ % kPending];
            if (!at.ready) break;
            FinishLoad(at, at.ch, at.q, gmin_, epoch_);
        }
    }

    // The bulk junctions, the overlap charges, the channels and, where the load stores charge,
    // the charges of the devices of one set; in the lanes where the processor has them.
    void Evaluate(Lanes& set)
    {
        const auto used = static_cast<std::size_t>(set.used);
        set.used = 0;
        std::array<PendingLoad*, kLanes> at{};
        std::array<Bsim3Size*, kLanes> devices{};
        for (std::size_t k = 0; k < used; ++k) {
            at[k] = &pending_[set.waiting[k]];
            at[k]->ready = true;
            devices[k] = at[k]->d->bsim3.get();
        }
        if (laneCount_ == 1) {
            PendingLoad& a = *at[0];
            Bsim3Size& p = *devices[0];
            MosfetLoadValues& v = a.d->values;
            Bsim3JunctionCurrent(a.vbs, v.isats, v.nvt, gmin_, v.cbs, v.gbs);
            Bsim3JunctionCurrent(a.vbd, v.isatd, v.nvt, gmin_, v.cbd, v.gbd);
            if (storage_) {
                a.js = Bsim3JunctionCharge(p, a.vbs, v.cbs0, v.cbssw0, v.cbs, v.gbs);
                a.jd = Bsim3JunctionCharge(p, a.vbd, v.cbd0, v.cbdsw0, v.cbd, v.gbd);
            }
            EvaluateBsim3Channel(p, a.cgs, a.cds, a.cbs, a.ch);
            if (storage_) a.q = p.xpart >= 0.0 ? EvaluateBsim3Charges(p, a.ch) : Bsim3Charges{};
            return;
        }
        const int count = static_cast<int>(used);
        std::array<MosfetLoadValues*, kLanes> values{};
        std::array<double, kLanes> vbs{}, vbd{}, cgs{}, cds{}, cbs{};
        std::array<Bsim3Junction*, kLanes> js{}, jd{};
        std::array<Bsim3Channel*, kLanes> channels{};
        std::array<Bsim3Charges*, kLanes> charges{};
        for (std::size_t k = 0; k < used; ++k) {
            PendingLoad& a = *at[k];
            values[k] = &a.d->values, vbs[k] = a.vbs, vbd[k] = a.vbd, js[k] = &a.js, jd[k] = &a.jd;
            cgs[k] = a.cgs, cds[k] = a.cds, cbs[k] = a.cbs;
            channels[k] = &a.ch, charges[k] = &a.q;
        }
        EvaluateBsim3JunctionsLanes(devices.data(), values.data(), vbs.data(), vbd.data(), gmin_,
                                    storage_ ? js.data() : nullptr, jd.data(), count);
        if (storage_) Overlaps(at, count);
        if (count > 1) {
            // The charges in the lanes too, where the load stores charge and the devices have no
            // charge node.
            const bool inLanes = storage_ && (set.key & (kBsim3NoCharges | kBsim3ChargeNode)) == 0;
            EvaluateBsim3ChannelLanes(devices.data(), cgs.data(), cds.data(), cbs.data(), channels.data(),
                                      inLanes ? charges.data() : nullptr, count);
            if (inLanes || !storage_) return;
        } else {
            EvaluateBsim3Channel(*devices[0], cgs[0], cds[0], cbs[0], *channels[0]);
            if (!storage_) return;
        }
        for (std::size_t k = 0; k < used; ++k) {
            const Bsim3Size& p = *devices[k];
            *charges[k] = p.xpart >= 0.0 ? EvaluateBsim3Charges(p, *channels[k]) : Bsim3Charges{};
        }
    }

    // The overlap charges of the devices of a set of a CAPMOD other than 1, in the lanes.
    static void Overlaps(const std::array<PendingLoad*, kLanes>& at, int count)
    {
        std::array<const Bsim3Size*, kLanes> devices{};
        std::array<double, kLanes> vgd{}, vgs{};
        std::array<Bsim3Overlaps*, kLanes> out{};
        int used = 0;
        for (std::size_t k = 0; k < static_cast<std::size_t>(count); ++k) {
            PendingLoad& a = *at[k];
            if (a.d->bsim3->capmod == 1) continue;
            const auto i = static_cast<std::size_t>(used++);
            devices[i] = a.d->bsim3.get(), vgd[i] = a.vgd, vgs[i] = a.vgs, out[i] = &a.overlaps;
            a.overlapsReady = true;
        }
        if (used > 0) Bsim3OverlapChargesLanes(devices.data(), vgd.data(), vgs.data(), out.data(), used);
    }

    double gmin_ = 0.0;
    std::uint64_t epoch_ = 0;
    int laneCount_ = 1;
    bool storage_ = false;
    // The waiting loads, in list order: places head_ to tail_ - 1 (modulo kPending).
    std::size_t head_ = 0, tail_ = 0;
    std::array<PendingLoad, kPending> pending_;
    std::array<Lanes, kSets> sets_;
};

int LoadMosLevel8()
{
    if (!AnalogSolver().setupDone || !MosfetFamilyPresent(kTakesLevel8)) return 0;
    // Kept from pass to pass, as the solver state is: its room for the waiting loads is large.
    static LoadGroup group;
    group.Begin(GlobalOptions().values.gmin, MosfetLoadEpoch());
    const int rc = LoadMosfetFamily(kTakesLevel8, [](MosfetDevice& d, SemiconductorStamps& entry,
                                                     const std::vector<double>& x, double) { group.Add(d, entry, x); });
    group.Flush();
    return rc;
}

// After the solve. A device has not converged when the voltages its last load used are beyond
// the node tolerances of those of the solution judged. Where that load found every device
// settled at a time point, the node test has judged the new solution's move, and the solution
// judged is the iterate the load was made at: a load that limited the gate or drain voltage
// (which counts nothing at the load) was not made there. Otherwise the new solution is judged,
// so that a point whose next load is settled may end without another solve. (The currents the
// linearisation predicts at the new solution are no test: a device switched on at a
// drain-source voltage near zero, 1e-3 S beside 1e-11 A, fails that for any move above 1e-9 V.
// Nor are the new solution's terminal voltages after a settled load: measured against terminal
// voltages, which may be near zero while the nodes are not, they ask more than the node test
// and cost a ring of BSIM3 inverters 1.6 % more iterations.)
void SolveTestLevel8()
{
    AnalogSolverState& s = AnalogSolver();
    if (!s.setupDone || !MosfetFamilyPresent(kTakesLevel8)) return;
    const std::vector<double>& x = s.judgingSettledLoad ? s.previousSolution : SolutionVector();
    auto node = [&](int n) { return x[static_cast<std::size_t>(n)]; };
    auto far = [&](double now, double before) {
        return std::fabs(now - before) > s.reltol * std::max(std::fabs(now), std::fabs(before)) + s.vntol;
    };
    for (MosfetDevice& d : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList))) {
        if (!IsLevel8(d) || (d.off && s.iterationMode == kModeFixedInitial)) continue;
        const MosfetLoadValues& v = d.values;
        const double type = d.bsim3->type;
        const double vs = node(d.internalSource);
        if (far(type * (node(d.internalBulk) - vs), v.vbs0) || far(type * (node(d.internalGate) - vs), v.vgs0) ||
            far(type * (node(d.internalDrain) - vs), v.vds0)) {
            ++s.nonConvergedCount;
            return;  // one is enough to iterate again
        }
    }
}

int AcLoadMosfetsB(int pass)
{
    for (MosfetDevice& d : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList))) {
        if (!IsLevel8(d)) continue;
        const Linearised L = Linearise(d, true);
        const auto positions = ElementPositions(d);
        static const auto roles = ElementPositions(RoleNumberedMosfet());
        const std::size_t count = HasChargeNode(d) ? kElements : 32;
        if (int rc = StampLinearisedMosfet(d, pass, std::span(positions).first(count), std::span(roles).first(count),
                                           std::span(L.g).first(count), std::span(L.c).first(count)))
            return rc;
    }
    return 0;
}

}  // namespace

int AddBsimNoiseSources(const MosfetDevice& d, double f, double kelvin)
{
    const Bsim3Size& p = *d.bsim3;
    const MosfetLoadValues& v = d.values;
    const double fourKT = 4.0 * kBoltzmannJ * kelvin;
    const double root = std::sqrt(fourKT);
    AddSeriesResistanceNoise(d, root);
    const int selector = p.noimod;
    const double fn = f > 0.0 ? f : 1e-6;
    const double leff = p.leff;
    double thermal;
    if (selector == 2 || selector == 4)
        thermal = fourKT * p.ueff * std::fabs(p.qinv / (leff * leff));
    else
        thermal = fourKT * (2.0 / 3.0) * std::fabs(v.gm + v.gds + v.gmbs);
    const double id = std::fabs(v.cd + v.cbd);
    double flicker = 0.0;
    const double fEf = std::pow(fn, p.ef);
    if (selector == 1 || selector == 4) {
        flicker = p.kf * ParallelFlickerPower(std::max(id, 1e-38 * d.m), p.af, d.m) / (fEf * leff * leff * p.cox);
    } else {
        // The unified flicker noise of BSIM3 version 3.1: oxide traps at the carrier densities
        // of the source and drain ends of the channel (gate voltage above turn-on, less the
        // drain voltage up to saturation), and channel-length modulation beyond saturation.
        // Below turn-on + 0.1 V the weak-inversion value is joined to the strong-inversion
        // value at turn-on + 0.1 V. Mobility, saturation voltage and current are the bias's.
        constexpr double q = 1.602e-19;
        const double kT = 8.62e-5 * kelvin;
        // The voltages of the device's own frame (drain above source), n-type sense.
        const double vds = std::fabs(v.vds0);
        const double vgs = v.vgs0 + (v.vds0 < 0.0 ? vds : 0.0);
        const double von = p.type * v.von;
        const double vdsat = p.type * v.vdsat;
        double dlClm = 0.0;
        if (vds > vdsat) {
            const double esat = 2.0 * p.vsattemp / p.ueff;
            dlClm = p.litl * std::log(std::max(((vds - vdsat) / p.litl + p.em) / esat, 1e-38));
        }
        auto strong = [&](double vg) {
            const double vgst = vg - von;
            const double n0 = std::max(p.cox * vgst / q, 0.0);
            const double nl = std::max(p.cox * (vgst - std::min(vds, vdsat)) / q, 0.0);
            const double traps = p.noia * std::log(std::max((n0 + 2e14) / (nl + 2e14), 1e-38)) + p.noib * (n0 - nl) +
                                 0.5 * p.noic * (n0 * n0 - nl * nl);
            return q * q * kT * id * p.ueff / (1e8 * fEf * p.cox * leff * leff) * traps +
                   kT * id * id / (1e8 * fEf * leff * leff * p.weff) * dlClm * (p.noia + p.noib * nl + p.noic * nl * nl) /
                       ((nl + 2e14) * (nl + 2e14));
        };
        if (vgs >= von + 0.1) {
            flicker = strong(vgs);
        } else {
            const double sl = strong(von + 0.1);
            const double sw = p.noia * kT * id * id / (p.weff * leff * fEf * 4e36);
            flicker = sw + sl > 0.0 ? sw * sl / (sw + sl) : 0.0;
        }
    }
    AddNoiseSource(d.internalDrain, d.internalSource, std::sqrt(std::max(thermal + flicker, 0.0)));
    return 0;
}

void RegisterMosLevel8Family()
{
    RegisterDeviceFamily({kSlotMosLevel8, SetupMosLevel8, LoadMosLevel8, kAcMosfetsB, AcLoadMosfetsB, kNoiseMosfets,
                          nullptr});
    RegisterSolveConvergenceTest(kSlotMosLevel8, SolveTestLevel8);
}

}  // namespace kq5
