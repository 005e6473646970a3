#include "devices/diode_load.h"

#include <algorithm>
#include <cmath>

#include "core/device_record_fields.h"
#include "analog/analog_state.h"
#include "analog/charge_integration.h"
#include "analog/convergence.h"
#include "analog/device_dispatch.h"
#include "analog/limiting.h"
#include "analog/run_control.h"
#include "devices/device_families.h"
#include "netlist/diode_device.h"
#include "devices/diode_model.h"
#include "devices/junction_temperature.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"

namespace kq5 {

namespace {

using namespace diode_param;

double Param(const DiodeDevice& d, int index) { return d.model->params[static_cast<std::size_t>(index)]; }

bool Usable(const DiodeDevice& d) { return d.model && d.model->params.size() > static_cast<std::size_t>(kDepCapD); }

// The series resistance as a conductance; 0 when there is none. Fixed for a run, so set-up and
// load agree on the elements.
double SeriesConductance(const DiodeDevice& d)
{
    const double rs = Usable(d) ? Param(d, kRs) : 0.0;
    return rs != 0.0 ? d.area / rs : 0.0;
}

double ClampedExp(double x) { return std::exp(std::clamp(x, -150.0, 150.0)); }
double Exp600(double x) { return ClampedExp(std::clamp(x, -600.0, 600.0)); }

// Keeps a value at least 1e-50 away from zero with its sign (0 becomes -1e-50).
double AwayFromZero(double v)
{
    if (std::fabs(v) < 1e-50) return v > 0.0 ? 1e-50 : -1e-50;
    return v;
}

}  // namespace

DiodeJunctionPoint DiodeJunctionCurrent(const DiodeDevice& d, double vd, double gmin)
{
    const double area = d.area;
    const double is = Param(d, kIs) * area;
    const double vt = d.vt;
    const double nvt = Param(d, kN) * vt;
    const double bv = Param(d, kBv);
    DiodeJunctionPoint p;
    if (Param(d, kLevel) != 2.0) {
        if (vd >= -5.0 * nvt) {
            const double e = Exp600(vd / nvt);
            p.id = is * (e - 1.0) + gmin * vd;
            p.gd = is * e / nvt + gmin;
        } else if (bv == 0.0 || vd >= -bv) {
            p.gd = -is / vd + gmin;
            p.id = p.gd * vd;
        } else {
            const double e = ClampedExp(-(bv + vd) / vt);
            p.id = -is * e + gmin * vd;
            p.gd = is * e / vt + gmin;
        }
        return p;
    }
    const double e = Exp600(vd / nvt);
    double id = is * (e - 1.0);
    double gd = is * e / nvt;
    const double ikf = Param(d, kIkf) * area;
    if (ikf > 0.0) {
        const double k = std::sqrt(ikf / (ikf + std::fabs(id)));
        gd = k * gd - 0.5 * id * gd * k * k * k / ikf;
        id = k * id;
    }
    const double isr = Param(d, kIsr) * area;
    if (isr > 0.0) {
        const double vj = Param(d, kVj), m = Param(d, kM), nrvt = Param(d, kNr) * vt;
        const double u = 1.0 - vd / vj;
        const double g = std::pow(u * u + 0.005, m / 2.0);
        const double dg = -m * u * g / (vj * (u * u + 0.005));
        const double er = Exp600(vd / nrvt);
        const double i0 = isr * (er - 1.0);
        id += i0 * g;
        gd += isr * er / nrvt * g + i0 * dg;
    }
    if (bv != 0.0) {
        const double y = -(bv + vd);
        const double nbvt = Param(d, kNbv) * vt;
        const double ib = Param(d, kIbv) * area * Exp600(y / nbvt);
        id -= ib;
        gd += ib / nbvt;
        const double ibvl = Param(d, kIbvl) * area;
        if (ibvl > 0.0) {
            const double nbvlt = Param(d, kNbvl) * vt;
            const double ibl = ibvl * Exp600(y / nbvlt);
            id -= ibl;
            gd += ibl / nbvlt;
        }
    }
    p.gd = gd + gmin;
    p.id = id + gmin * vd;
    return p;
}

namespace {

// Newton step limiting of the junction voltage, forward and in breakdown.
double LimitDiodeVoltage(const DiodeDevice& d, double vd, double vold, int& check)
{
    const double vt = d.vt;
    const double nvt = Param(d, kN) * vt;
    const double bv = Param(d, kBv);
    const double area = d.area;
    const double knee = std::min(0.0, 10.0 * nvt - bv);
    if (bv != 0.0 && vd < knee) {
        const double voldR = -(vold + bv);
        double w = -(vd + bv);
        LimitJunctionVoltage(w, voldR, nvt, d.vcrit, check);
        if (Param(d, kLevel) == 2.0) {
            const double nbvt = Param(d, kNbv) * vt;
            double r2 = w;
            LimitJunctionVoltage(r2, voldR, nbvt, CriticalJunctionVoltage(nbvt, static_cast<float>(Param(d, kIbv) * area)), check);
            const double m = std::min(w, r2);
            double r3 = m;
            const double nbvlt = Param(d, kNbvl) * vt;
            LimitJunctionVoltage(r3, voldR, nbvlt, CriticalJunctionVoltage(nbvlt, static_cast<float>(Param(d, kIbvl) * area)), check);
            w = std::min(m, r3);
        }
        return -(w + bv);
    }
    LimitJunctionVoltage(vd, vold, nvt, d.vcrit, check);
    const double isr = Param(d, kIsr) * area;
    if (Param(d, kLevel) == 2.0 && isr > 0.0) {
        const double nrvt = Param(d, kNr) * vt;
        LimitJunctionVoltage(vd, vold, nrvt, CriticalJunctionVoltage(nrvt, static_cast<float>(isr)), check);
    }
    return vd;
}

// What every diode of one load pass shares, taken once per pass.
struct DiodePass {
    AnalogSolverState& s;
    const std::vector<MatrixElementRef>& pool;
    const std::vector<double>& x;
    double gmin;
    int mode;
    bool icStart;
    bool retrieve;  // run data come from a file: the currents are not recomputed
};

int LoadOneDiode(DiodeDevice& d, SemiconductorStamps& st, const DiodePass& pass)
{
    if (!Usable(d)) return 0;
    AnalogSolverState& s = pass.s;
    const std::vector<double>& x = pass.x;
    auto v = [](const std::vector<double>& vec, int n) {
        return n > 0 && static_cast<std::size_t>(n) < vec.size() ? vec[static_cast<std::size_t>(n)] : 0.0;
    };
    const double gmin = pass.gmin;
    const int mode = pass.mode;
    const bool icStart = pass.icStart;
    int check = 1;
    double vd = 0.0;
    double cdhat = 0.0;
    bool evaluate = true;
    bool limit = false;
    if (mode == kModeNormal || (mode == kModeFixedInitial && !d.off)) {
        vd = v(x, d.internalAnode) - v(x, d.cathode);
        limit = true;
    } else if (mode == kModePredictor) {
        d.vd = v(s.savedSolution, d.internalAnode) - v(s.savedSolution, d.cathode);
        const double vd2 = v(s.olderSolution, d.internalAnode) - v(s.olderSolution, d.cathode);
        vd = (1.0 + s.predictorRatio) * d.vd - s.predictorRatio * vd2;
        limit = true;
    } else if (mode == kModeInitJunctions) {
        vd = icStart ? d.initialVoltage : d.off ? 0.0 : d.vcrit;
    } else if (mode == kModeFixedInitial) {
        vd = 0.0;
    } else {
        vd = d.vd;
    }
    double id = 0.0, gd = 0.0;
    if (limit) {
        cdhat = d.id + d.gd * (vd - d.vd);
        if (s.bypassAllowed && VoltageValueConverged(vd, d.vd) && CurrentValueConverged(cdhat, d.id)) {
            evaluate = false;
            vd = d.vd;
            id = d.id;
            gd = d.gd;
        } else {
            vd = LimitDiodeVoltage(d, vd, d.vd, check);
        }
    }
    if (evaluate) {
        const DiodeJunctionPoint p = DiodeJunctionCurrent(d, vd, gmin);
        id = p.id;
        gd = p.gd;
        if (s.runPhase != kPhaseOperatingPoint || icStart || mode == kModeSmallSignal) {
            double cap = 0.0;
            const int slot = st.stateSlot;
            JunctionChargeInputs in;
            in.params = d.model->params;
            in.kneeSlot = kFc;
            in.coefficientSlot = kDepCapB;
            in.voltage = vd;
            in.pb = Param(d, kVj);
            in.m = Param(d, kM);
            in.tt = Param(d, kTt);
            in.current = id;
            in.conductance = gd;
            in.cj = Param(d, kCjo) * d.area;
            JunctionChargeAndCapacitance(in, slot, cap, false);
            const auto k = static_cast<std::size_t>(slot);
            if (k + kStateSlots <= s.chargeStates.size()) d.charge = s.chargeStates[k];
            if (!icStart) {
                d.capacitance = cap;
                if (mode == kModeSmallSignal) return 0;
            }
            if (k + kStateSlots <= s.chargeStates.size()) {
                if (mode == kModeFirstTimePoint) s.chargeStates[k + 1] = s.chargeStates[k];
                double geq = 0.0;
                IntegrateChargeGeq(slot, cap, geq);
                gd += geq;
                id += s.currentStates[k];
                if (mode == kModeFirstTimePoint) s.currentStates[k + 1] = s.currentStates[k];
            }
        }
        const double rl = Param(d, kRl);
        if (Param(d, kLevel) != 2.0 && rl > 0.0) {
            gd += 1.0 / rl;
            id += vd / rl;
        }
        if (!(mode == kModeFixedInitial && d.off)) {
            if (check == 1) ++s.nonConvergedCount;
            else CountCurrentNonConverged(id, cdhat);
        }
        gd = AwayFromZero(gd);
        d.vd = vd;
        if (!pass.retrieve) {
            d.id = id;
            d.current = id;
        }
        d.gd = gd;
    }
    const double ceq = AwayFromZero(id - gd * vd);
    RhsEntry(d.cathode) += ceq;
    RhsEntry(d.internalAnode) -= ceq;
    StampCursor c(pass.pool, st.stamps);
    const double gs = SeriesConductance(d);
    if (gs != 0.0) StampConductance(c, gs);
    StampConductance(c, gd);
    c.Finish();
    return 0;
}

}  // namespace

int SetupDiodes()
{
    return ForEachDeviceWithStamps<DiodeDevice>(kDiodeDeviceList, AnalogSolver().devices.diodes,
                                                [](DiodeDevice& d, SemiconductorStamps& st) {
        BeginDeviceReservations(st.stamps);
        if (SeriesConductance(d) != 0.0)
            if (int rc = ReserveConductanceElements(d.anode, d.internalAnode)) return rc;
        if (int rc = ReserveConductanceElements(d.internalAnode, d.cathode)) return rc;
        EndDeviceReservations(st.stamps);
        return 0;
    });
}

int LoadDiodes()
{
    AnalogSolverState& s = AnalogSolver();
    const DiodePass pass{s,
                         *s.pool,
                         SolutionVector(),
                         GlobalOptions().values.gmin,
                         s.iterationMode,
                         s.runPhase == kPhaseOperatingPoint && s.runKind == kRunKindTransient && s.useInitialConditions != 0,
                         RunControl().runDataMode == kRunDataRetrieve};
    return ForEachDeviceWithStamps<DiodeDevice>(kDiodeDeviceList, s.devices.diodes,
                                                [&pass](DiodeDevice& d, SemiconductorStamps& st) {
        return LoadOneDiode(d, st, pass);
    });
}

int AcLoadDiodes(int pass)
{
    AcStampState& s = AcStamps();
    for (DiodeDevice& d : ListRecords<DiodeDevice>(DeviceList(kDiodeDeviceList))) {
        const double b = s.omega * d.capacitance;
        const int a = d.internalAnode, k = d.cathode;
        if (pass != kAcStampPass) {
            Devices().acCurrents[&d] = Complex(d.gd, b) * (AcSolution(a) - AcSolution(k));
            continue;
        }
        const std::pair<int, int> positions[] = {{k, k}, {a, a}, {k, a}, {a, k}};
        const double signs[] = {1.0, 1.0, -1.0, -1.0};
        for (int i = 0; i < 4; ++i) {
            if (int rc = StampComplexReal(positions[i].first, positions[i].second, signs[i] * d.gd)) return rc;
            if (int rc = StampComplexImag(positions[i].first, positions[i].second, signs[i] * b)) return rc;
        }
        const double gs = SeriesConductance(d);
        if (gs != 0.0) {
            if (int rc = StampComplexReal(a, a, gs)) return rc;
            if (int rc = StampComplexReal(d.anode, d.anode, gs)) return rc;
            if (int rc = StampComplexReal(a, d.anode, -gs)) return rc;
            if (int rc = StampComplexReal(d.anode, a, -gs)) return rc;
        }
    }
    return 0;
}

int AddDiodeNoiseSources(double f)
{
    for (DiodeDevice& d : ListRecords<DiodeDevice>(DeviceList(kDiodeDeviceList))) {
        if (!Usable(d)) continue;
        const double i = std::fabs(d.id);
        AddShotFlickerNoise(d.internalAnode, d.cathode, kTwoQ * i, Param(d, kKf), std::pow(i, Param(d, kAf)), f);
        AddNoiseSource(d.anode, d.internalAnode, std::sqrt(SeriesConductance(d) * kFourK * (d.celsius + kZeroCelsius)));
    }
    return 0;
}

void RegisterDiodeFamily()
{
    RegisterDeviceFamily({kSlotDiodes, SetupDiodes, LoadDiodes, kAcDiodes, AcLoadDiodes, kNoiseDiodes,
                          AddDiodeNoiseSources});
}

}  // namespace kq5
