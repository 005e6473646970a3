// The LEVEL 4 (BSIM1) and LEVEL 5 (BSIM2) MOSFETs in the Newton iterations: set-up of their 32
// matrix elements, the load (voltages, limiting, bypass, bulk junctions, channel, charges,
// convergence, stamps), the AC stamps and currents, and the noise generators. The level decides
// only which evaluation gives the channel current and the intrinsic charges.
//
// The stamps are formed once, as a conductance part and a capacitance part per element: the load
// adds ag0 times the capacitances, the AC stamp j omega times them.
#include "devices/bsim12_load.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "analog/analog_state.h"
#include "analog/charge_integration.h"
#include "analog/device_dispatch.h"
#include "analog/noise.h"
#include "netlist/numeric_helpers.h"
#include "analog/run_control.h"
#include "devices/bsim12_eval.h"
#include "devices/bsim_load_common.h"
#include "netlist/bsim12_values.h"
#include "netlist/fet_devices.h"
#include "devices/mosfet_family_loops.h"
#include "devices/mosfet_ac_rows.h"
#include "devices/mosfet_point.h"
#include "analog/semiconductor_stamps.h"
#include "analog/stamp_ac.h"
#include "netlist/global_options.h"

namespace kq5 {

namespace {

// Offsets of the charges in a device's block of 28 state slots.
constexpr int kQg = 0, kQb = 4, kQd = 8;
constexpr int kElements = 32;

bool IsLevel45(const MosfetDevice& d)
{
    return d.model && d.side && (d.side->level == 4 || d.side->level == 5) && d.bsim12;
}

std::array<std::pair<int, int>, kElements> ElementPositions(const MosfetDevice& d)
{
    const int g = d.gate, dr = d.drain, s = d.source, b = d.bulk, gi = d.internalGate, di = d.internalDrain,
              si = d.internalSource, bi = d.internalBulk;
    return {{{di, si}, {si, di}, {di, di}, {si, si}, {dr, dr}, {gi, gi}, {gi, g},  {g, gi},  {g, g},   {s, s},  {bi, bi},
             {bi, b},  {b, bi},  {b, b},   {di, di}, {si, si}, {dr, di}, {gi, bi}, {gi, di}, {gi, si}, {s, si}, {bi, di},
             {bi, si}, {di, si}, {di, dr}, {bi, gi}, {di, gi}, {si, gi}, {si, s},  {di, bi}, {si, bi}, {si, di}}};
}

void Junction(double v, double isat, double vt, double gmin, double& current, double& conductance)
{
    if (v <= 0.0) {
        conductance = isat / vt + gmin;
        current = conductance * v;
    } else {
        const double e = ClampedExp(v / vt);
        conductance = isat * e / vt + gmin;
        current = isat * (e - 1.0) + gmin * v;
    }
}

// Depletion charge and capacitance of a bulk junction (bottom cb, sidewall csw), linear in
// forward bias.
void JunctionCharge(const Bsim12Size& p, double v, double cb, double csw, double& charge, double& capacitance)
{
    if (v < 0.0) {
        const double arg = 1.0 - v / p.pb, argsw = 1.0 - v / p.pbsw;
        const double sarg = ClampedExp(-p.mj * std::log(arg)), sargsw = ClampedExp(-p.mjsw * std::log(argsw));
        charge = p.pb * cb * (1.0 - arg * sarg) / (1.0 - p.mj) + p.pbsw * csw * (1.0 - argsw * sargsw) / (1.0 - p.mjsw);
        capacitance = cb * sarg + csw * sargsw;
    } else {
        charge = v * (cb + csw) + v * v * (cb * p.mj * 0.5 / p.pb + csw * p.mjsw * 0.5 / p.pbsw);
        capacitance = cb + csw + v * (cb * p.mj / p.pb + csw * p.mjsw / p.pbsw);
    }
}

Bsim12Result Evaluate(const Bsim12Size& p, double vds, double vbs, double vgs, bool charges)
{
    return p.level == 5 ? EvaluateBsim2(p, vds, vbs, vgs, charges) : EvaluateBsim1(p, vds, vbs, vgs, charges);
}

// The linearised device: per element a conductance and a capacitance, in reservation order.
struct Linearised {
    std::array<double, kElements> g;  // every row is set by Linearise
    std::array<double, kElements> c;
};

// From what the last load left in the instance. `charges` false leaves every capacitance out.
Linearised Linearise(const MosfetDevice& d, bool charges)
{
    const Bsim12Size& p = *d.bsim12;
    const MosfetLoadValues& v = d.values;
    const bool normal = d.mode >= 0.0;
    const double xnrm = normal ? 1.0 : 0.0, xrev = normal ? 0.0 : 1.0;
    // The evaluation's charges belong to its own drain and source: in reversed mode they are
    // mapped back to the device's.
    const TerminalCapacitances t =
        charges ? MapTerminalCapacitances(IntrinsicCapacitancesOf(p), normal, v.capbd, v.capbs, v.cgdov, v.cgsov, v.cgbov)
                : TerminalCapacitances{};
    const double cggb = t.cggb, cgdb = t.cgdb, cgsb = t.cgsb, cdgb = t.cdgb, cddb = t.cddb, cdsb = t.cdsb,
                 csgb = t.csgb, csdb = t.csdb, cssb = t.cssb, cbgb = t.cbgb, cbdb = t.cbdb, cbsb = t.cbsb;
    const double grds = p.grds, gD = v.gd, gS = v.gs, gG = v.gg, gB = v.gb;
    const double gm = v.gm, gds = v.gds, gmbs = v.gmbs, gbd = v.gbd, gbs = v.gbs;
    Linearised L;
    auto set = [&](int row, double g, double c) {
        L.g[static_cast<std::size_t>(row - 1)] = g;
        L.c[static_cast<std::size_t>(row - 1)] = c;
    };
    set(1, -grds, 0);
    set(2, -grds, 0);
    set(3, grds, 0);
    set(4, grds, 0);
    set(5, gD, 0);
    set(6, gG, cggb);
    set(7, -gG, 0);
    set(8, -gG, 0);
    set(9, gG, 0);
    set(10, gS, 0);
    set(11, gbd + gbs + gB, -(cbgb + cbdb + cbsb));
    set(12, -gB, 0);
    set(13, -gB, 0);
    set(14, gB, 0);
    set(15, gD + gds + gbd + xrev * (gm + gmbs), cddb);
    set(16, gS + gds + gbs + xnrm * (gm + gmbs), cssb);
    set(17, -gD, 0);
    set(18, 0, -(cggb + cgdb + cgsb));
    set(19, 0, cgdb);
    set(20, 0, cgsb);
    set(21, -gS, 0);
    set(22, -gbd, cbdb);
    set(23, -gbs, cbsb);
    set(24, -gds - xnrm * (gm + gmbs), cdsb);
    set(25, -gD, 0);
    set(26, 0, cbgb);
    set(27, (xnrm - xrev) * gm, cdgb);
    set(28, -(xnrm - xrev) * gm, csgb);
    set(29, -gS, 0);
    set(30, -gbd + (xnrm - xrev) * gmbs, -(cdgb + cddb + cdsb));
    set(31, -gbs - (xnrm - xrev) * gmbs, -(csgb + csdb + cssb));
    set(32, -gds - xrev * (gm + gmbs), csdb);
    return L;
}

void LoadOne(MosfetDevice& d, SemiconductorStamps& entry, const std::vector<double>& x, double gmin)
{
    AnalogSolverState& s = AnalogSolver();
    Bsim12Size& p = *d.bsim12;
    MosfetLoadValues& v = d.values;
    const double type = p.type;
    const int mode = s.iterationMode;
    const bool predictor = mode == kModePredictor;
    const int slot = entry.stateSlot;
    const bool states = StateBlockHeld(s, slot);

    // 1. Terminal voltages by the iteration mode.
    int check = 1;
    double vbs = 0.0, vgs = 0.0, vds = 0.0;
    bool ordinary = false;
    if (mode == kModeSmallSignal || mode == kModeFirstTimePoint) {
        // The stored bias; at the first time point that of the operating point the run starts
        // from, whether or not that point has been committed as the last accepted one yet.
        vbs = v.vbs0, vgs = v.vgs0, vds = v.vds0;
    } else if (mode == kModeInitJunctions && !d.off) {
        bool guess = false;
        const FetVoltages u = InitialConditionVoltages(d, type, s, guess);
        vbs = u.vbs, vgs = u.vgs, vds = u.vds;
        if (guess) {
            vbs = -1.0;
            vgs = type * v.tvto;
            vds = 0.0;
        }
    } else if ((mode == kModeInitJunctions || mode == kModeFixedInitial) && d.off) {
        // Held at zero.
    } else {
        const FetVoltages u = predictor ? PredictFetVoltages(v, s) : FetNodeVoltages(d, x, type);
        vbs = u.vbs, vgs = u.vgs, vds = u.vds;
        ordinary = true;
    }

    // 2. to 4. Predicted currents, bypass, limiting.
    double vbd = vbs - vds, vgd = vgs - vds;
    double cdhat = 0.0, cbhat = 0.0;
    bool bypassed = false;
    if (ordinary) {
        const MosPointStep step = StepMosfetPoint(d, vbs, vgs, vds, {type, p.vt, !predictor, false});
        vbs = step.vbs, vgs = step.vgs, vds = step.vds, vbd = step.vbd, vgd = step.vgd;
        cdhat = step.cdhat, cbhat = step.cbhat, bypassed = step.bypassed, check = step.check;
    }

    const LoadModeFlags& flags = s.flags;
    const bool storage = flags.chargeStorage != 0;
    double cdrain = 0.0;
    double qgate = 0.0, qbulk = 0.0, qdrn = 0.0;
    if (!bypassed) {
        // 5. to 8. Junctions, orientation, channel.
        vbd = vbs - vds;
        vgd = vgs - vds;
        // The transit-time charge follows the junction currents of the previous load.
        const double cbsOld = v.cbs, cbdOld = v.cbd, gbsOld = v.gbs, gbdOld = v.gbd;
        Junction(vbs, v.isats, p.vt, gmin, v.cbs, v.gbs);
        Junction(vbd, v.isatd, p.vt, gmin, v.cbd, v.gbd);
        d.mode = vds >= 0.0 ? 1.0 : -1.0;
        const bool normal = d.mode > 0.0;
        const Bsim12Result r = normal ? Evaluate(p, vds, vbs, vgs, storage) : Evaluate(p, -vds, vbd, vgd, storage);
        cdrain = r.cdrain;
        v.gm = r.gm, v.gds = r.gds, v.gmbs = r.gmbs;
        v.von = type * r.von;
        v.vdsat = type * r.vdsat;
        v.cd = d.mode * cdrain - v.cbd;
        p.cggb = r.cggb, p.cgdb = r.cgdb, p.cgsb = r.cgsb, p.cbgb = r.cbgb, p.cbdb = r.cbdb, p.cbsb = r.cbsb;
        p.cdgb = r.cdgb, p.cddb = r.cddb, p.cdsb = r.cdsb;
        qgate = r.qgate, qbulk = r.qbulk, qdrn = r.qdrain;

        // 9. Junction charges.
        if (storage) {
            JunctionCharge(p, vbs, v.cbs0, v.cbssw0, p.qbs, v.capbs);
            JunctionCharge(p, vbd, v.cbd0, v.cbdsw0, p.qbd, v.capbd);
            if (p.tt > 0.0) {
                p.qbs += p.tt * cbsOld;
                p.qbd += p.tt * cbdOld;
                v.capbs += p.tt * gbsOld;
                v.capbd += p.tt * gbdOld;
            }
        } else {
            v.capbs = v.capbd = 0.0;
        }

        // 10. and 11. Convergence and the new state.
        if (!(d.off && mode == kModeFixedInitial)) {
            const double cb = v.cbs + v.cbd;
            if (check == 1 ||
                std::fabs(cdhat - v.cd) >= s.reltol * std::max(std::fabs(cdhat), std::fabs(v.cd)) + s.abstol ||
                std::fabs(cbhat - cb) > s.reltol * std::max(std::fabs(cbhat), std::fabs(cb)) + s.abstol)
                ++s.nonConvergedCount;
        }
        v.vbs0 = vbs, v.vbd0 = vbd, v.vgs0 = vgs, v.vds0 = vds;
    } else {
        cdrain = d.mode * (v.cd + v.cbd);
    }

    // 12. Overlap charges and the charge states.
    const double vgb = vgs - vbs;
    if (storage && !bypassed) {
        const bool normal = d.mode >= 0.0;
        AddOverlapCharges(normal, v.cgdov * vgd, v.cgsov * vgs, v.cgbov * vgb, qgate, qbulk, qdrn);
        if (states) StoreTerminalCharges(s, slot, qgate, qbulk, qdrn, p.qbd, p.qbs);
    }
    if (mode == kModeSmallSignal) {
        // The bias stays for the AC stamp and the operating point report; nothing is stamped.
        if (RunControl().runDataMode != kRunDataRetrieve)
            ReportBsimCurrents(d, p, {false, states, slot, type, p.grds, v.cgbov, p.qbd, p.qbs});
        return;
    }
    const bool chargeTerms = storage && (flags.dynamic || !flags.transientWithIc);
    const Linearised L = Linearise(d, chargeTerms);
    double ceqqg = 0.0, ceqqb = 0.0, ceqqd = 0.0;
    if (chargeTerms && states) {
        if (!bypassed) {
            if (mode == kModeFirstTimePoint)
                for (int k : {kQg, kQb, kQd}) FillPastStates(s.chargeStates, slot + k);
            for (int k : {kQg, kQb, kQd}) IntegrateChargeCurrent(slot + k);
        }
        const double cqg = StateSlot(s.currentStates, slot + kQg), cqb = StateSlot(s.currentStates, slot + kQb),
                     cqd = StateSlot(s.currentStates, slot + kQd);
        const double ag0 = s.ag0;
        auto gc = [&](int row) { return ag0 * L.c[static_cast<std::size_t>(row - 1)]; };
        // gcggb (6), gcgdb (19), gcgsb (20); gcbgb (26), gcbdb (22), gcbsb (23); gcdgb (27),
        // gcddb (15), gcdsb (24).
        ceqqg = cqg - gc(6) * vgb + gc(19) * vbd + gc(20) * vbs;
        ceqqb = cqb - gc(26) * vgb + gc(22) * vbd + gc(23) * vbs;
        ceqqd = cqd - gc(27) * vgb + gc(15) * vbd + gc(24) * vbs;
        if (mode == kModeFirstTimePoint)
            for (int k : {kQg, kQb, kQd}) FillPastStates(s.currentStates, slot + k);
    }

    // 14. Right-hand side.
    const bool normal = d.mode >= 0.0;
    const double cdreq = ChannelEquivalentCurrent(normal, type, cdrain, v, vds, vgs, vbs, vgd, vbd);
    const double ceqbs = type * (v.cbs - (v.gbs - gmin) * vbs);
    const double ceqbd = type * (v.cbd - (v.gbd - gmin) * vbd);
    ceqqg *= type, ceqqb *= type, ceqqd *= type;
    AddFetRhs(d, cdreq, ceqbs, ceqbd, ceqqg, ceqqb, ceqqd);

    // 15. Matrix.
    StampLinearised(s, entry.stamps, L.g, L.c, chargeTerms ? s.ag0 : 0.0);

    // 16. Terminal currents for the report.
    if (RunControl().runDataMode != kRunDataRetrieve)
        ReportBsimCurrents(d, p, {chargeTerms && states, states, slot, type, p.grds, v.cgbov,
                               p.qbd, p.qbs});
}

}  // namespace

int SetupMosLevel45()
{
    return ReserveMosfetFamily([](const MosfetDevice& d) { return d.side && (d.side->level == 4 || d.side->level == 5); },
                               [](const MosfetDevice& d) { return ElementPositions(d); });
}

int LoadMosLevel45() { return LoadMosfetFamily([](const MosfetDevice& d) { return IsLevel45(d); }, LoadOne); }

int AcLoadMosLevel45(int pass)
{
    for (MosfetDevice& d : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList))) {
        if (!IsLevel45(d)) continue;
        const Linearised L = Linearise(d, true);
        static const auto roles = ElementPositions(RoleNumberedMosfet());
        if (int rc = StampLinearisedMosfet(d, pass, ElementPositions(d), roles, L.g, L.c)) return rc;
    }
    return 0;
}

bool AddMosLevel45NoiseSources(const MosfetDevice& d, double f, double kelvin)
{
    if (!IsLevel45(d)) return false;
    const Bsim12Size& p = *d.bsim12;
    const MosfetLoadValues& v = d.values;
    AddSeriesResistanceNoise(d, std::sqrt(kFourK * kelvin));
    // Cox per square metre, as the flicker coefficient of the other levels reads it.
    const double cox = p.cox * 1e4;
    const double kf = cox > 0.0 && p.leff > 0.0 ? p.kf / (cox * p.leff * p.leff) : 0.0;
    const double id = std::fabs(v.cd + v.cbd);
    AddShotFlickerNoise(d.internalDrain, d.internalSource, kEightK * kelvin / 3.0 * std::fabs(v.gm), kf,
                        ParallelFlickerPower(id, p.af, d.m), f);
    return true;
}

void RegisterMosLevel45Family() { RegisterDeviceKindHandlers(kSlotMosLevel45, SetupMosLevel45, LoadMosLevel45); }

}  // namespace kq5
