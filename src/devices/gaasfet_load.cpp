#include "devices/gaasfet_load.h"

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
#include "devices/gaasfet_model.h"
#include "devices/jfet_load.h"
#include "analog/stamp_ac.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"

namespace kq5 {

namespace {

using namespace gaasfet_param;

double Param(const GaasfetDevice& g, int index) { return g.model->params[static_cast<std::size_t>(index)]; }

bool Usable(const GaasfetDevice& g)
{
    return g.model && g.model->params.size() >= static_cast<std::size_t>(kGaasfetSlotCount);
}

// Series conductances scaled by the area; the model's conductance decides whether the elements
// exist (the area is positive, so both agree).
double Conductance(const GaasfetDevice& g, int index) { return Usable(g) ? Param(g, index) * g.area : 0.0; }

double At(const std::vector<double>& x, int n)
{
    return n > 0 && static_cast<std::size_t>(n) < x.size() ? x[static_cast<std::size_t>(n)] : 0.0;
}

GaasfetWorkArea WorkArea(const GaasfetDevice& g, double vgs, double vgd)
{
    GaasfetWorkArea w;
    w.vto = Param(g, kVto);
    w.alpha = Param(g, kAlpha);
    w.b = Param(g, kB);
    w.lambda = Param(g, kLambda);
    w.gamma = Param(g, kGamma);
    w.delta = Param(g, kDelta);
    w.q = Param(g, kQ);
    w.vdelta = Param(g, kVdelta);
    w.vmax = Param(g, kVmax);
    w.beta = Param(g, kBeta) * g.area;
    w.vgs = vgs;
    w.vgd = vgd;
    w.vds = vgs - vgd;
    return w;
}

void DrainCurrent(const GaasfetDevice& g, GaasfetWorkArea& w)
{
    const int level = static_cast<int>(Param(g, kLevel));
    if (level == 1) GaasfetLevel1Current(w);
    else if (level == 2) GaasfetLevel2Current(w);
    else GaasfetLevel3Current(w);
}

void LoadOneGaasfet(GaasfetDevice& g, SemiconductorStamps& st, const std::vector<MatrixElementRef>& pool)
{
    AnalogSolverState& s = AnalogSolver();
    GaasfetValues& v = g.values;
    const double p = g.polarity;
    const int mode = s.iterationMode;
    const double gmin = GlobalOptions().values.gmin;
    const bool icStart = s.runPhase == kPhaseOperatingPoint && s.runKind == kRunKindTransient && s.useInitialConditions;
    const int gi = g.internalGate, di = g.internalDrain, si = g.internalSource;
    auto voltages = [&](const std::vector<double>& vec, double& vgs, double& vgd) {
        vgs = p * (At(vec, gi) - At(vec, si));
        vgd = p * (At(vec, gi) - At(vec, di));
    };
    double vgs = 0.0, vgd = 0.0;
    // The instance line gives the drain-source and gate-source voltages (IC=VDS,VGS).
    const bool icStartHere = s.runKind == kRunKindTransient && s.useInitialConditions;
    const bool iterate = FetStartVoltages({gi, di, si, p, g.off != 0, icStartHere, g.ic2, g.ic1}, v, vgs, vgd);

    // Modes without a prediction count the device as not converged, as the JFET and the
    // bipolar transistor do, rather than compare with another device's prediction.
    int icheck = 1;
    double cghat = 0.0, cdhat = 0.0;
    double cg = 0.0, cd = 0.0, cgs = 0.0, cgd = 0.0, gm = 0.0, gds = 0.0, ggs = 0.0, ggd = 0.0;
    const std::size_t k = static_cast<std::size_t>(st.stateSlot);
    const bool hasStates = k + 3 * kStateSlots <= s.chargeStates.size() && k + 3 * kStateSlots <= s.currentStates.size();
    bool bypassed = false;
    if (iterate) {
        if (FetPointSettled(v, vgs, vgd, cghat, cdhat) && mode != kModePredictor) {
            bypassed = true;
            std::tie(vgs, vgd, cg, cd, cgs, cgd, gm, gds, ggs, ggd) = v.Point();
        }
    }
    if (!bypassed) {
        const double vn = Param(g, kN) * v.vt;
        if (iterate) {
            LimitJunctionVoltage(vgs, v.vgs, vn, v.vcrit, icheck);
            int second = 1;
            LimitJunctionVoltage(vgd, v.vgd, vn, v.vcrit, second);
            icheck = second;
            LimitFetGateVoltage(vgs, v.vgs, Param(g, kVto));
            LimitFetGateVoltage(vgd, v.vgd, Param(g, kVto));
        }
        const double is = Param(g, kIs) * g.area;
        FetGateDiode(vgs, is, vn, gmin, cgs, ggs);
        FetGateDiode(vgd, is, vn, gmin, cgd, ggd);
        cg = cgs + cgd;
        GaasfetWorkArea w = WorkArea(g, vgs, vgd);
        DrainCurrent(g, w);
        const double id = w.id;
        gm = w.gm;
        gds = w.gds;
        cd = id - cgd;
        const bool charges = s.runPhase == kPhaseTimeSteps || s.runPhase == kPhaseAcBias || mode == kModeSmallSignal ||
                             (s.runKind == kRunKindTransient && s.useInitialConditions);
        double chargeCurrentDs = 0.0;
        if (charges && hasStates) {
            const int slot = st.stateSlot;
            double* q = s.chargeStates.data() + k;
            double capgs = 0.0, capgd = 0.0;
            const double cgs0 = Param(g, kCgs) * g.area, cgd0 = Param(g, kCgd) * g.area;
            if (static_cast<int>(Param(g, kLevel)) == 1) {
                JunctionChargeInputs in{g.model->params, kFc, kDepCapB, vgs, Param(g, kVbi), Param(g, kM), 0.0, 0.0, 0.0, cgs0};
                JunctionChargeAndCapacitance(in, slot, capgs, false);
                in.voltage = vgd;
                in.cj = cgd0;
                JunctionChargeAndCapacitance(in, slot + kStateSlots, capgd, false);
            } else {
                double vgs1 = 0.0, vgd1 = 0.0, c1 = 0.0, c2 = 0.0;
                voltages(s.savedSolution, vgs1, vgd1);
                const double vbi = Param(g, kVbi), delta = 1.0 / Param(g, kAlpha), vto = Param(g, kVto);
                const double q1 = GaasfetGateCharge(w, vgs, vgd, vbi, delta, vto, cgs0, cgd0, capgs, capgd);
                const double q2 = GaasfetGateCharge(w, vgs1, vgd, vbi, delta, vto, cgs0, cgd0, c1, c2);
                const double q3 = GaasfetGateCharge(w, vgs, vgd1, vbi, delta, vto, cgs0, cgd0, c1, c2);
                const double q4 = GaasfetGateCharge(w, vgs1, vgd1, vbi, delta, vto, cgs0, cgd0, c1, c2);
                if (mode == kModeFirstTimePoint) q[1] = q[kStateSlots + 1] = q1;
                q[0] = q[1] + ((q1 - q2) + (q3 - q4)) / 2.0;
                q[kStateSlots] = q[kStateSlots + 1] + ((q1 - q3) + (q2 - q4)) / 2.0;
            }
            const double capds = Param(g, kCds) * g.area;
            q[2 * kStateSlots] = capds * w.vds;
            g.quantities.qgs = q[0];
            g.quantities.qgd = q[kStateSlots];
            g.quantities.qds = q[2 * kStateSlots];
            if (!(icStart && mode != kModeSmallSignal)) {
                v.capgs = g.quantities.cgs = capgs;
                v.capgd = g.quantities.cgd = capgd;
                v.capds = g.quantities.cds = capds;
                double* c = s.currentStates.data() + k;
                if (mode == kModeFirstTimePoint)
                    for (int n = 0; n < 3; ++n) q[n * kStateSlots + 1] = q[n * kStateSlots];
                double geq = 0.0, ceq = 0.0;
                IntegrateCharge(slot, capgs, geq, ceq);
                ggs += geq;
                cg += c[0];
                cgs += c[0];
                geq = 0.0;
                IntegrateCharge(slot + kStateSlots, capgd, geq, ceq);
                ggd += geq;
                cg += c[kStateSlots];
                cd -= c[kStateSlots];
                cgd += c[kStateSlots];
                geq = 0.0;
                IntegrateCharge(slot + 2 * kStateSlots, capds, geq, ceq);
                gds += geq;
                cd += c[2 * kStateSlots];
                chargeCurrentDs = c[2 * kStateSlots];
                if (mode == kModeFirstTimePoint)
                    for (int n = 0; n < 3; ++n) c[n * kStateSlots + 1] = c[n * kStateSlots];
            }
        }
        if (!(mode == kModeFixedInitial && g.off)) {
            if (icheck == 1) ++s.nonConvergedCount;
            else if (CountCurrentNonConverged(cg, cghat) == 0) CountCurrentNonConverged(cd, cdhat);
        }
        v.Point() = std::tie(vgs, vgd, cg, cd, cgs, cgd, gm, gds, ggs, ggd);
        if (RunControl().runDataMode != kRunDataRetrieve) {
            g.quantities.ig = cg;
            g.quantities.id = p * cd;
            g.quantities.is = p * (-id - cgs - chargeCurrentDs);
        }
    }
    const double vds = vgs - vgd;
    const double ceqgd = p * (cgd - ggd * vgd);
    const double ceqgs = p * ((cg - cgd) - ggs * vgs);
    const double cdreq = p * ((cd + cgd) - gds * vds - gm * vgs);
    RhsEntry(gi) += -ceqgs - ceqgd;
    RhsEntry(di) += ceqgd - cdreq;
    RhsEntry(si) += cdreq + ceqgs;
    StampCursor c(pool, st.stamps);
    StampFetCore(c, {Conductance(g, kRg), Conductance(g, kRd), Conductance(g, kRs), gm, gds, ggs, ggd, 0.0, 0.0, 0.0});
}

}  // namespace

int SetupGaasfetDevices()
{
    return ForEachDeviceWithStamps<GaasfetDevice>(kGaasfetDeviceList, AnalogSolver().devices.gaasfets,
                                                  [](GaasfetDevice& g, SemiconductorStamps& st) {
        BeginDeviceReservations(st.stamps);
        std::vector<std::pair<int, int>> elements;
        ReserveFetElements(g.gate, g.internalGate, g.drain, g.internalDrain, g.source, g.internalSource,
                           Conductance(g, kRg) > 0.0, Conductance(g, kRd) > 0.0, Conductance(g, kRs) > 0.0, elements);
        for (const auto& [row, column] : elements)
            if (int rc = ReserveMatrixElement(row, column)) return rc;
        EndDeviceReservations(st.stamps);
        return 0;
    });
}

int LoadGaasfetDevices()
{
    AnalogSolverState& s = AnalogSolver();
    const std::vector<MatrixElementRef>& pool = *s.pool;
    return ForEachDeviceWithStamps<GaasfetDevice>(kGaasfetDeviceList, s.devices.gaasfets,
                                                  [&pool](GaasfetDevice& g, SemiconductorStamps& st) {
        if (Usable(g)) LoadOneGaasfet(g, st, pool);
        return 0;
    });
}

int AcLoadGaasfets(int pass)
{
    AcStampState& state = AcStamps();
    for (GaasfetDevice& g : ListRecords<GaasfetDevice>(DeviceList(kGaasfetDeviceList))) {
        if (!Usable(g)) continue;
        const GaasfetValues& w = g.values;
        const FetSmallSignal v{Conductance(g, kRg), Conductance(g, kRd), Conductance(g, kRs), w.gm, w.gds, w.ggs,
                               w.ggd, state.omega * w.capgs, state.omega * w.capgd, state.omega * w.capds};
        if (pass != kAcStampPass) {
            g.values.acCurrents = FetAcCurrents(g.internalGate, g.internalDrain, g.internalSource, v);
            Devices().acCurrents[&g] = g.values.acCurrents[0];
            continue;
        }
        if (int rc = AcStampFetCore(g.gate, g.internalGate, g.drain, g.internalDrain, g.source, g.internalSource, v))
            return rc;
    }
    return 0;
}

int AddGaasfetNoiseSources(double f)
{
    for (GaasfetDevice& g : ListRecords<GaasfetDevice>(DeviceList(kGaasfetDeviceList))) {
        if (!Usable(g)) continue;
        const double kelvin = g.values.celsius + kZeroCelsius;
        AddNoiseSource(g.drain, g.internalDrain, std::sqrt(Conductance(g, kRd) * kFourK * kelvin));
        AddNoiseSource(g.source, g.internalSource, std::sqrt(Conductance(g, kRs) * kFourK * kelvin));
        const double id = std::fabs(g.quantities.id);
        AddNoiseSource(g.internalDrain, g.internalSource,
                       std::sqrt(kEightK * kelvin / 3.0 * std::fabs(g.values.gm) + Param(g, kKf) * std::pow(id, Param(g, kAf)) / f));
    }
    return 0;
}

void RegisterGaasfetFamily()
{
    RegisterDeviceFamily({kSlotGaasfets, SetupGaasfetDevices, LoadGaasfetDevices, kAcGaasfets, AcLoadGaasfets,
                          kNoiseGaasfets, AddGaasfetNoiseSources});
}

}  // namespace kq5
