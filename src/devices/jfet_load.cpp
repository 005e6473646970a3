#include "devices/jfet_load.h"

#include <algorithm>
#include <cmath>

#include "core/device_record_fields.h"
#include "analog/analog_state.h"
#include "analog/charge_integration.h"
#include "analog/convergence.h"
#include "analog/device_dispatch.h"
#include "analog/limiting.h"
#include "analog/noise.h"
#include "analog/run_control.h"
#include "devices/device_families.h"
#include "netlist/fet_devices.h"
#include "devices/jfet_model.h"
#include "analog/stamp_ac.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"

namespace kq5 {

namespace {

using namespace jfet_param;

double Param(const JfetDevice& j, int index) { return j.model->params[static_cast<std::size_t>(index)]; }

bool Usable(const JfetDevice& j) { return j.model && j.model->params.size() >= static_cast<std::size_t>(kJfetSlotCount); }

double DrainConductance(const JfetDevice& j) { return Usable(j) ? Param(j, kRd) * j.area : 0.0; }
double SourceConductance(const JfetDevice& j) { return Usable(j) ? Param(j, kRs) * j.area : 0.0; }

double ClampedExp(double x) { return std::exp(std::clamp(x, -150.0, 150.0)); }

double At(const std::vector<double>& x, int n)
{
    return n > 0 && static_cast<std::size_t>(n) < x.size() ? x[static_cast<std::size_t>(n)] : 0.0;
}

}  // namespace

bool FetStartVoltages(const FetStart& f, JfetValues& stored, double& vgs, double& vgd)
{
    const AnalogSolverState& s = AnalogSolver();
    const int mode = s.iterationMode;
    auto voltages = [&f](const std::vector<double>& x, double& gs, double& gd) {
        gs = f.polarity * (At(x, f.gate) - At(x, f.source));
        gd = f.polarity * (At(x, f.gate) - At(x, f.drain));
    };
    if (mode == kModePredictor) {
        double vgs2 = 0.0, vgd2 = 0.0;
        voltages(s.savedSolution, stored.vgs, stored.vgd);
        voltages(s.olderSolution, vgs2, vgd2);
        vgs = (1.0 + s.predictorRatio) * stored.vgs - s.predictorRatio * vgs2;
        vgd = (1.0 + s.predictorRatio) * stored.vgd - s.predictorRatio * vgd2;
        return true;
    }
    if (mode == kModeNormal || (mode == kModeFixedInitial && !f.off)) {
        voltages(SolutionVector(), vgs, vgd);
        return true;
    }
    vgs = vgd = 0.0;
    if (mode == kModeInitJunctions && f.icStart) {
        vgs = f.polarity * f.icVgs;
        vgd = vgs - f.polarity * f.icVds;
    } else if (mode == kModeInitJunctions && !f.off) {
        vgs = vgd = -1.0;
    } else if (mode == kModeSmallSignal || mode == kModeFirstTimePoint) {
        vgs = stored.vgs;
        vgd = stored.vgd;
    }
    return false;
}

bool FetPointSettled(const JfetValues& w, double vgs, double vgd, double& cghat, double& cdhat)
{
    const double dvgs = vgs - w.vgs, dvgd = vgd - w.vgd;
    cghat = w.cg + w.ggd * dvgd + w.ggs * dvgs;
    cdhat = w.cd + w.gm * dvgs + w.gds * (dvgs - dvgd) - w.ggd * dvgd;
    return VoltageValueConverged(vgs, w.vgs) && VoltageValueConverged(vgd, w.vgd) && CurrentValueConverged(cghat, w.cg) &&
           CurrentValueConverged(cdhat, w.cd);
}

void FetGateDiode(double v, double is, double vt, double gmin, double& c, double& g)
{
    if (v > -5.0 * vt) {
        const double e = ClampedExp(v / vt);
        c = is * (e - 1.0) + gmin * v;
        g = is * e / vt + gmin;
    } else {
        g = -is / v + gmin;
        c = g * v;
    }
}

void StampFetCore(StampCursor& c, const FetSmallSignal& v)
{
    if (v.ggr > 0.0) {
        c.Add(-v.ggr);
        c.Add(-v.ggr);
        c.Add(v.ggr);
    }
    if (v.gdpr > 0.0) {
        c.Add(-v.gdpr);
        c.Add(-v.gdpr);
        c.Add(v.gdpr);
    }
    if (v.gspr > 0.0) {
        c.Add(-v.gspr);
        c.Add(-v.gspr);
        c.Add(v.gspr);
    }
    c.Add(-v.ggd);
    c.Add(-v.ggs);
    c.Add(v.gm - v.ggd);
    c.Add(-v.gds - v.gm);
    c.Add(-v.ggs - v.gm);
    c.Add(-v.gds);
    c.Add(v.ggd + v.ggs + v.ggr);
    c.Add(v.gdpr + v.gds + v.ggd);
    c.Add(v.ggs + v.gspr + v.gds + v.gm);
    c.Finish();
}

void ReserveFetElements(int gx, int g, int dx, int d, int sx, int s, bool gate, bool drain, bool source,
                        std::vector<std::pair<int, int>>& elements)
{
    if (gate) elements.insert(elements.end(), {{gx, g}, {g, gx}, {gx, gx}});
    if (drain) elements.insert(elements.end(), {{dx, d}, {d, dx}, {dx, dx}});
    if (source) elements.insert(elements.end(), {{sx, s}, {s, sx}, {sx, sx}});
    elements.insert(elements.end(), {{g, d}, {g, s}, {d, g}, {d, s}, {s, g}, {s, d}, {g, g}, {d, d}, {s, s}});
}

namespace {

void LoadOneJfet(JfetDevice& j, SemiconductorStamps& st, const std::vector<MatrixElementRef>& pool)
{
    AnalogSolverState& s = AnalogSolver();
    JfetValues& w = j.values;
    const double p = j.polarity;
    const int mode = s.iterationMode;
    const double gmin = GlobalOptions().values.gmin;
    const bool icStart = s.runPhase == kPhaseOperatingPoint && s.runKind == kRunKindTransient && s.useInitialConditions;
    const int g = j.gate, d = j.internalDrain, src = j.internalSource;
    double vgs = 0.0, vgd = 0.0;
    const bool iterate = FetStartVoltages({g, d, src, p, j.off != 0, icStart, j.ic2, j.ic1}, w, vgs, vgd);

    int icheck = 1;
    double cghat = 0.0, cdhat = 0.0;
    double cg = 0.0, cd = 0.0, cgs = 0.0, cgd = 0.0, gm = 0.0, gds = 0.0, ggs = 0.0, ggd = 0.0;
    const std::size_t k = static_cast<std::size_t>(st.stateSlot);
    const bool hasStates = k + 2 * kStateSlots <= s.chargeStates.size() && k + 2 * kStateSlots <= s.currentStates.size();
    bool bypassed = false;
    if (iterate) {
        // The JFET tests its own settling in every plain iteration, whatever the kernel allows.
        if (FetPointSettled(w, vgs, vgd, cghat, cdhat) && mode != kModePredictor) {
            bypassed = true;
            std::tie(vgs, vgd, cg, cd, cgs, cgd, gm, gds, ggs, ggd) = w.Point();
        } else {
            LimitJunctionVoltage(vgs, w.vgs, w.vt, w.vcrit, icheck);
            int second = 1;
            LimitJunctionVoltage(vgd, w.vgd, w.vt, w.vcrit, second);
            icheck = second;
            const double vto = Param(j, kVto);
            LimitFetGateVoltage(vgs, w.vgs, vto);
            LimitFetGateVoltage(vgd, w.vgd, vto);
        }
    }
    double cdrain = 0.0;
    if (!bypassed) {
        const double is = Param(j, kIs) * j.area;
        FetGateDiode(vgs, is, w.vt, gmin, cgs, ggs);
        FetGateDiode(vgd, is, w.vt, gmin, cgd, ggd);
        cg = cgs + cgd;
        const JfetChannel ch = JfetChannelCurrent(j, vgs, vgd);
        cdrain = ch.cdrain;
        gm = ch.gm;
        gds = ch.gds;
        cd = cdrain - cgd;
        const bool charges = s.runPhase == kPhaseTimeSteps || s.runPhase == kPhaseAcBias || mode == kModeSmallSignal ||
                             (s.runKind == kRunKindTransient && s.useInitialConditions);
        if (charges && hasStates) {
            const int slot = st.stateSlot;
            double capgs = 0.0, capgd = 0.0;
            JunctionChargeInputs in{j.model->params, kFc, kDepCapB, vgs, Param(j, kPb), Param(j, kM), 0.0, 0.0, 0.0,
                                    Param(j, kCgs) * j.area};
            JunctionChargeAndCapacitance(in, slot, capgs, false);
            in.voltage = vgd;
            in.cj = Param(j, kCgd) * j.area;
            JunctionChargeAndCapacitance(in, slot + kStateSlots, capgd, false);
            j.quantities.qgs = s.chargeStates[k];
            j.quantities.qgd = s.chargeStates[k + kStateSlots];
            if (!(icStart && mode != kModeSmallSignal)) {
                w.capgs = j.quantities.cgs = capgs;
                w.capgd = j.quantities.cgd = capgd;
                if (mode == kModeFirstTimePoint)
                    for (std::size_t n : {k, k + kStateSlots}) s.chargeStates[n + 1] = s.chargeStates[n];
                double geq = 0.0, ceq = 0.0;
                IntegrateCharge(slot, capgs, geq, ceq);
                ggs += geq;
                cg += s.currentStates[k];
                geq = 0.0;
                IntegrateCharge(slot + kStateSlots, capgd, geq, ceq);
                ggd += geq;
                cg += s.currentStates[k + kStateSlots];
                cd -= s.currentStates[k + kStateSlots];
                if (mode == kModeFirstTimePoint)
                    for (std::size_t n : {k, k + kStateSlots}) s.currentStates[n + 1] = s.currentStates[n];
            }
        }
        if (!(mode == kModeFixedInitial && j.off)) {
            if (icheck == 1) ++s.nonConvergedCount;
            else if (CountCurrentNonConverged(cg, cghat) == 0) CountCurrentNonConverged(cd, cdhat);
        }
        w.Point() = std::tie(vgs, vgd, cg, cd, cgs, cgd, gm, gds, ggs, ggd);
        if (hasStates) {
            cgs += s.currentStates[k];
            cgd += s.currentStates[k + kStateSlots];
        }
        if (RunControl().runDataMode != kRunDataRetrieve) {
            j.quantities.ig = p * (cgs + cgd);
            j.quantities.id = p * (cdrain - cgd);
            j.quantities.is = p * (-cdrain - cgs);
        }
    }
    const double vds = vgs - vgd;
    const double ceqgd = p * (cgd - ggd * vgd);
    const double ceqgs = p * (cgs - ggs * vgs);
    const double cdreq = p * ((cd + cgd) - gds * vds - gm * vgs);
    RhsEntry(g) += -ceqgs - ceqgd;
    RhsEntry(d) += ceqgd - cdreq;
    RhsEntry(src) += cdreq + ceqgs;
    StampCursor c(pool, st.stamps);
    StampFetCore(c, {0.0, DrainConductance(j), SourceConductance(j), gm, gds, ggs, ggd, 0.0, 0.0, 0.0});
}

}  // namespace

JfetChannel JfetChannelCurrent(const JfetDevice& j, double vgs, double vgd)
{
    JfetChannel ch;
    const double vds = vgs - vgd;
    const double beta = Param(j, kBeta) * j.area, lambda = Param(j, kLambda), vto = Param(j, kVto);
    if (vds >= 0.0) {
        const double vgst = vgs - vto;
        if (vgst <= 0.0) return ch;
        const double betap = beta * (1.0 + lambda * vds), twob = 2.0 * betap;
        if (vds < vgst) {
            ch.cdrain = betap * vds * (2.0 * vgst - vds);
            ch.gm = twob * vds;
            ch.gds = twob * (vgst - vds) + lambda * beta * vds * (2.0 * vgst - vds);
        } else {
            ch.cdrain = betap * vgst * vgst;
            ch.gm = twob * vgst;
            ch.gds = lambda * beta * vgst * vgst;
        }
        return ch;
    }
    const double vgdt = vgd - vto;
    if (vgdt <= 0.0) return ch;
    const double betap = beta * (1.0 - lambda * vds), twob = 2.0 * betap;
    if (-vds < vgdt) {
        ch.cdrain = betap * vds * (2.0 * vgdt + vds);
        ch.gm = twob * vds;
        ch.gds = twob * vgdt - lambda * beta * vds * (2.0 * vgdt + vds);
    } else {
        ch.cdrain = -betap * vgdt * vgdt;
        ch.gm = -twob * vgdt;
        ch.gds = lambda * beta * vgdt * vgdt - ch.gm;
    }
    return ch;
}

int SetupJfetDevices()
{
    return ForEachDeviceWithStamps<JfetDevice>(kJfetDeviceList, AnalogSolver().devices.jfets,
                                               [](JfetDevice& j, SemiconductorStamps& st) {
        BeginDeviceReservations(st.stamps);
        std::vector<std::pair<int, int>> elements;
        ReserveFetElements(j.gate, j.gate, j.drain, j.internalDrain, j.source, j.internalSource, false,
                           DrainConductance(j) > 0.0, SourceConductance(j) > 0.0, elements);
        for (const auto& [row, column] : elements)
            if (int rc = ReserveMatrixElement(row, column)) return rc;
        EndDeviceReservations(st.stamps);
        return 0;
    });
}

int LoadJfetDevices()
{
    AnalogSolverState& s = AnalogSolver();
    const std::vector<MatrixElementRef>& pool = *s.pool;
    return ForEachDeviceWithStamps<JfetDevice>(kJfetDeviceList, s.devices.jfets,
                                               [&pool](JfetDevice& j, SemiconductorStamps& st) {
        if (Usable(j)) LoadOneJfet(j, st, pool);
        return 0;
    });
}

int AcStampFetCore(int g, int gi, int d, int di, int s, int si, const FetSmallSignal& v)
{
    struct Addition {
        int row, column;
        bool imaginary;
        double value;
    };
    const Addition additions[] = {
        {g, g, false, v.ggr},           {g, gi, false, -v.ggr},        {gi, g, false, -v.ggr},
        {d, d, false, v.gdpr},          {gi, gi, false, v.ggr + v.ggd + v.ggs}, {gi, gi, true, v.xgd + v.xgs},
        {s, s, false, v.gspr},          {di, di, false, v.gdpr + v.gds + v.ggd}, {di, di, true, v.xgd + v.xds},
        {si, si, false, v.gspr + v.gds + v.gm + v.ggs}, {si, si, true, v.xgs + v.xds},
        {d, di, false, -v.gdpr},        {gi, di, false, -v.ggd},       {gi, di, true, -v.xgd},
        {gi, si, false, -v.ggs},        {gi, si, true, -v.xgs},        {s, si, false, -v.gspr},
        {di, d, false, -v.gdpr},        {di, gi, false, v.gm - v.ggd}, {di, gi, true, -v.xgd},
        {di, si, false, -v.gds - v.gm}, {si, gi, false, -v.ggs - v.gm}, {si, gi, true, -v.xgs},
        {si, s, false, -v.gspr},        {si, di, false, -v.gds},       {si, di, true, -v.xds},
        {di, si, true, -v.xds},
    };
    for (const Addition& a : additions) {
        const int rc = a.imaginary ? StampComplexImag(a.row, a.column, a.value) : StampComplexReal(a.row, a.column, a.value);
        if (rc) return rc;
    }
    return 0;
}

std::array<Complex, 3> FetAcCurrents(int gi, int di, int si, const FetSmallSignal& v)
{
    const Complex vg = AcSolution(gi), vd = AcSolution(di), vs = AcSolution(si), jj(0.0, 1.0);
    const Complex igm = v.gm * (vg - vs), ids = v.gds * (vd - vs), igs = v.ggs * (vg - vs), igd = v.ggd * (vg - vd);
    const Complex jgs = jj * v.xgs * (vg - vs), jgd = jj * v.xgd * (vg - vd), jds = jj * v.xds * (vd - vs);
    return {igm + ids - jgd - igd + jds, jgs + jgd + igs + igd, -igm - ids - jgs - igs - jds};
}

int AcLoadJfets(int pass)
{
    AcStampState& state = AcStamps();
    for (JfetDevice& j : ListRecords<JfetDevice>(DeviceList(kJfetDeviceList))) {
        if (!Usable(j)) continue;
        const JfetValues& w = j.values;
        FetSmallSignal v{0.0, DrainConductance(j), SourceConductance(j), w.gm, w.gds, w.ggs, w.ggd,
                         state.omega * w.capgs, state.omega * w.capgd, 0.0};
        if (pass != kAcStampPass) {
            j.values.acCurrents = FetAcCurrents(j.gate, j.internalDrain, j.internalSource, v);
            Devices().acCurrents[&j] = j.values.acCurrents[0];
            continue;
        }
        if (int rc = AcStampFetCore(j.gate, j.gate, j.drain, j.internalDrain, j.source, j.internalSource, v)) return rc;
    }
    return 0;
}

int AddJfetNoiseSources(double f)
{
    for (JfetDevice& j : ListRecords<JfetDevice>(DeviceList(kJfetDeviceList))) {
        if (!Usable(j)) continue;
        const double kelvin = j.values.celsius + kZeroCelsius;
        AddNoiseSource(j.drain, j.internalDrain, std::sqrt(DrainConductance(j) * kFourK * kelvin));
        AddNoiseSource(j.source, j.internalSource, std::sqrt(SourceConductance(j) * kFourK * kelvin));
        const double id = std::fabs(j.quantities.id);
        AddNoiseSource(j.internalDrain, j.internalSource,
                       std::sqrt(kEightK * kelvin / 3.0 * std::fabs(j.values.gm) + Param(j, kKf) * std::pow(id, Param(j, kAf)) / f));
    }
    return 0;
}

void RegisterJfetFamily()
{
    RegisterDeviceFamily({kSlotJfets, SetupJfetDevices, LoadJfetDevices, kAcJfets, AcLoadJfets, kNoiseJfets,
                          AddJfetNoiseSources});
}

}  // namespace kq5
