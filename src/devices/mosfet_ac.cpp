// The small-signal side of the MOSFETs of LEVEL 1 to 3: their AC stamps and currents, their
// noise generators, and the family's registration with the engine.
#include <cmath>
#include <complex>

#include "core/device_record_fields.h"
#include "analog/analog_state.h"
#include "analog/limiting_commit.h"
#include "analog/noise.h"
#include "analog/run_control.h"
#include "devices/bsim12_load.h"
#include "devices/device_families.h"
#include "netlist/fet_devices.h"
#include "devices/mosfet_load.h"
#include "devices/mosfet_model.h"
#include "analog/stamp_ac.h"
#include "netlist/model_statements.h"

namespace kq5 {

namespace {

struct Susceptances {
    double xgs, xgd, xgb, xbd, xbs;
};

Susceptances SusceptancesOf(const MosfetDevice& d, double w)
{
    const MosfetTemperatureBlock& b = Level123Block(d).temperature;
    const MosfetLoadValues& v = d.values;
    return {w * (2.0 * b.cgs + v.cgsov), w * (2.0 * b.cgd + v.cgdov), w * (2.0 * b.cgb + v.cgbov), w * v.capbd,
            w * v.capbs};
}

int StampOne(const MosfetDevice& d, double w)
{
    const MosfetLoadValues& v = d.values;
    const int g = d.gate, dr = d.drain, s = d.source, b = d.bulk;
    const int gi = d.internalGate, di = d.internalDrain, si = d.internalSource, bi = d.internalBulk;
    const Susceptances x = SusceptancesOf(d, w);
    const double xnrm = d.mode >= 0.0 ? 1.0 : 0.0, xrev = 1.0 - xnrm;
    const struct {
        int row, column;
        double value;
    } imaginary[] = {
        {gi, gi, x.xgd + x.xgs + x.xgb}, {bi, bi, x.xgb + x.xbd + x.xbs}, {di, di, x.xgd + x.xbd},
        {si, si, x.xgs + x.xbs},         {gi, bi, -x.xgb},                {gi, di, -x.xgd},
        {gi, si, -x.xgs},                {bi, gi, -x.xgb},                {bi, di, -x.xbd},
        {bi, si, -x.xbs},                {di, gi, -x.xgd},                {di, bi, -x.xbd},
        {si, gi, -x.xgs},                {si, bi, -x.xbs},
    };
    for (const auto& e : imaginary)
        if (int rc = StampComplexImag(e.row, e.column, e.value)) return rc;
    const double gm = v.gm, gds = v.gds, gmbs = v.gmbs, gbd = v.gbd, gbs = v.gbs;
    const struct {
        int row, column;
        double value;
    } real[] = {
        {g, g, v.gg},
        {g, gi, -v.gg},
        {gi, g, -v.gg},
        {gi, gi, v.gg},
        {dr, dr, v.gd},
        {dr, di, -v.gd},
        {di, dr, -v.gd},
        {s, s, v.gs},
        {s, si, -v.gs},
        {si, s, -v.gs},
        {bi, bi, gbd + gbs + v.gb},
        {bi, b, -v.gb},
        {b, bi, -v.gb},
        {b, b, v.gb},
        {bi, di, -gbd},
        {bi, si, -gbs},
        {di, di, v.gd + gds + gbd + xrev * (gm + gmbs)},
        {si, si, v.gs + gds + gbs + xnrm * (gm + gmbs)},
        {di, gi, (xnrm - xrev) * gm},
        {di, bi, (xnrm - xrev) * gmbs - gbd},
        {di, si, -(gds + xnrm * (gm + gmbs))},
        {si, gi, -(xnrm - xrev) * gm},
        {si, bi, -((xnrm - xrev) * gmbs + gbs)},
        {si, di, -(gds + xrev * (gm + gmbs))},
    };
    for (const auto& e : real)
        if (int rc = StampComplexReal(e.row, e.column, e.value)) return rc;
    return 0;
}

Complex NodeVoltage(std::span<const double> x, int n)
{
    const std::size_t i = 2 * static_cast<std::size_t>(n);
    if (n <= 0 || i + 1 >= x.size()) return {};
    return {x[i], x[i + 1]};
}

void StoreCurrents(MosfetDevice& d, double w, std::span<const double> solution)
{
    const MosfetLoadValues& v = d.values;
    const Susceptances x = SusceptancesOf(d, w);
    const Complex vg = NodeVoltage(solution, d.internalGate), vd = NodeVoltage(solution, d.internalDrain),
                  vs = NodeVoltage(solution, d.internalSource), vb = NodeVoltage(solution, d.internalBulk);
    const double xnrm = d.mode >= 0.0 ? 1.0 : 0.0, xrev = 1.0 - xnrm;
    const Complex j(0.0, 1.0);
    const Complex ids = v.gds * (vd - vs), ibd = v.gbd * (vb - vd), ibs = v.gbs * (vb - vs);
    // In reversed mode the channel current flows from source to drain; the sign follows the
    // stamps so that the currents of the four terminals add up to zero with the DC report's.
    const Complex ich = xnrm * (v.gm * (vg - vs) + v.gmbs * (vb - vs)) - xrev * (v.gm * (vg - vd) + v.gmbs * (vb - vd));
    const Complex jgs = j * x.xgs * (vg - vs), jgd = j * x.xgd * (vg - vd), jgb = j * x.xgb * (vg - vb),
                  jbd = j * x.xbd * (vb - vd), jbs = j * x.xbs * (vb - vs);
    const Complex gate = jgs + jgd + jgb;
    const Complex drain = ich - jgd + ids - ibd - jbd;
    const Complex source = -ich - jgs - ids - ibs - jbs;
    const Complex bulk = ibd + jbd + ibs + jbs - jgb;
    MosfetLoadValues& out = d.values;
    out.ig = gate.real(), out.igIm = gate.imag();
    out.id = drain.real(), out.idIm = drain.imag();
    out.is = source.real(), out.isIm = source.imag();
    out.ib = bulk.real(), out.ibIm = bulk.imag();
    d.acCurrents = {gate, drain, source, bulk};
    Devices().acCurrents[&d] = drain;
}

}  // namespace

int AcLoadMosfets(int pass)
{
    AcStampState& ac = AcStamps();
    for (MosfetDevice& d : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList))) {
        if (!IsMosLevel123(d) || !d.model) continue;
        if (pass == kAcCurrentPass) {
            StoreCurrents(d, ac.omega, ac.solution);
            continue;
        }
        if (int rc = StampOne(d, ac.omega)) return rc;
    }
    return AcLoadMosLevel45(pass);
}

int AddMosfetNoiseSources(double f)
{
    // Each device is noisy at its own temperature, which its model's T_ABS or T_REL_GLOBAL may
    // move away from the run's, as its currents are.
    for (const MosfetDevice& d : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList))) {
        if (d.side && d.side->level == 8 && d.bsim3) {
            AddBsimNoiseSources(d, f, d.bsim3->tdev + kZeroCelsius);
            continue;
        }
        if (d.bsim12 && AddMosLevel45NoiseSources(d, f, d.bsim12->tdev + kZeroCelsius)) continue;
        if (!IsMosLevel123(d) || !d.model) continue;
        const double kelvin = Level123Block(d).temperature.tdev + kZeroCelsius;
        const double thermal = std::sqrt(kFourK * kelvin);
        const MosfetLoadValues& v = d.values;
        AddNoiseSource(d.drain, d.internalDrain, std::sqrt(v.gd) * thermal);
        AddNoiseSource(d.source, d.internalSource, std::sqrt(v.gs) * thermal);
        AddNoiseSource(d.gate, d.internalGate, std::sqrt(v.gg) * thermal);
        AddNoiseSource(d.bulk, d.internalBulk, std::sqrt(v.gb) * thermal);
        const EvaluatedModel& m = *d.model;
        const double cox = MosParam(m, mosp::kTox);
        const double leff = d.l - 2.0 * MosParam(m, mosp::kLd);
        const double kf = cox > 0.0 && leff > 0.0 ? MosParam(m, mosp::kKf) / (cox * leff * leff) : 0.0;
        const double id = std::fabs(d.values.cd + d.values.cbd);
        AddShotFlickerNoise(d.internalDrain, d.internalSource, kEightK * kelvin / 3.0 * std::fabs(v.gm), kf,
                            ParallelFlickerPower(id, MosParam(m, mosp::kAf), d.m), f);
    }
    return 0;
}

void RegisterMosfetFamily()
{
    RegisterDeviceFamily({kSlotMosLevel123, SetupMosLevel123, LoadMosLevel123, kAcMosfets, AcLoadMosfets,
                          kNoiseMosfets, AddMosfetNoiseSources});
    RegisterMosfetHistoryCommit(ShiftMosfetHistory);
}

}  // namespace kq5
