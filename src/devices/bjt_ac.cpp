// The bipolar transistor's small-signal stamp, AC terminal currents and noise generators.
#include <cmath>

#include "core/device_record_fields.h"
#include "analog/noise.h"
#include "core/device_lists.h"
#include "netlist/bjt_device.h"
#include "devices/bjt_load.h"
#include "devices/bjt_model.h"
#include "devices/device_families.h"
#include "analog/stamp_ac.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"

namespace kq5 {

namespace {

using namespace bjt_param;

bool Usable(const BjtDevice& q) { return q.model && q.model->params.size() >= static_cast<std::size_t>(kBjtSlotCount); }

double Param(const BjtDevice& q, int index) { return q.model->params[static_cast<std::size_t>(index)]; }

struct AcAddition {
    int row, column;
    bool imaginary;
    double value;
};

void StoreAcCurrents(BjtDevice& q, double xcpi, double xcmu, double xccs, double xcbx, double xcmcb)
{
    const int b = q.internalBase, c = q.internalCollector, e = q.internalEmitter, s = q.substrate;
    const Complex vb = AcSolution(b), vc = AcSolution(c), ve = AcSolution(e), vs = AcSolution(s);
    const Complex j(0.0, 1.0);
    const Complex ipi = q.gpi * (vb - ve), imu = q.gmu * (vb - vc), io = q.go * (vc - ve), igm = q.gm * (vb - ve);
    const Complex jpi = j * xcpi * (vb - ve), jmu = j * xcmu * (vb - vc), jbx = j * xcbx * (AcSolution(q.base) - vc);
    const Complex jmcb = j * xcmcb * (vb - vc);
    Complex base, collector, substrate;
    if (q.modelType == kModelLpnp) {
        const Complex isub = q.gsub * (vs - vb), jcs = j * xccs * (vs - vb);
        base = ipi + jpi + imu + jmu + jbx + jmcb - (jcs + isub);
        collector = igm - imu - jmu - jbx + io;
        substrate = jcs + isub;
    } else {
        const double sign = q.modelType == kModelPnp ? -1.0 : 1.0;
        const Complex isub = q.gsub * (vc - vs), jcs = j * xccs * (vc - vs);
        base = ipi + jpi + imu + jmu + jbx + jmcb;
        collector = igm - imu - jmu - jbx - sign * (jcs + isub) + io;
        substrate = sign * (jcs + isub);
    }
    const Complex emitter = -igm - ipi - jpi - io - jmcb;
    q.acCurrents = {base, emitter, collector, substrate};
    Devices().acCurrents[&q] = collector;
}

}  // namespace

int AcLoadBjts(int pass)
{
    const double omega = AcStamps().omega;
    for (BjtDevice& q : ListRecords<BjtDevice>(DeviceList(kBjtDeviceList))) {
        if (!Usable(q)) continue;
        const double td = Param(q, kPtf);
        double gm = q.gm, xgm = 0.0;
        if (td != 0.0) {
            const double arg = td * omega;
            gm = (q.gm + q.go) * std::cos(arg) - q.go;
            xgm = -(q.gm + q.go) * std::sin(arg);
        }
        const double xcpi = omega * q.capbe, xcmu = omega * q.capbc, xccs = omega * q.capsub, xcbx = omega * q.capbx;
        const double xcmcb = omega * q.geqcb;
        if (pass != kAcStampPass) {
            StoreAcCurrents(q, xcpi, xcmu, xccs, xcbx, xcmcb);
            continue;
        }
        const double gcpr = Param(q, kRc) * q.area, gepr = Param(q, kRe) * q.area;
        const double go = q.go, gmu = q.gmu, gpi = q.gpi, gx = q.gx, gsub = q.gsub;
        const int c = q.collector, b = q.base, e = q.emitter, s = q.substrate;
        const int ci = q.internalCollector, bi = q.internalBase, ei = q.internalEmitter;
        const int x = q.modelType == kModelLpnp ? bi : ci;
        const AcAddition additions[] = {
            {x, s, false, -gsub},           {s, x, false, -gsub},
            {s, s, false, gsub},            {x, x, false, gsub},
            {c, c, false, gcpr},            {b, b, false, gx},
            {b, b, true, xcbx},             {e, e, false, gepr},
            {ci, ci, false, gmu + go + gcpr}, {x, x, true, xccs},
            {ci, ci, true, xcmu + xcbx},    {bi, bi, false, gx + gpi + gmu},
            {bi, bi, true, xcpi + xcmu + xcmcb}, {ei, ei, false, gpi + gepr + gm + go},
            {ei, ei, true, xcpi + xgm},     {c, ci, false, -gcpr},
            {b, bi, false, -gx},            {e, ei, false, -gepr},
            {ci, c, false, -gcpr},          {ci, bi, false, gm - gmu},
            {ci, bi, true, xgm - xcmu},     {ci, ei, false, -gm - go},
            {ci, ei, true, -xgm},           {bi, b, false, -gx},
            {bi, ci, false, -gmu},          {bi, ci, true, -xcmu - xcmcb},
            {bi, ei, false, -gpi},          {bi, ei, true, -xcpi},
            {ei, e, false, -gepr},          {ei, ci, false, -go},
            {ei, ci, true, xcmcb},          {ei, bi, false, -gpi - gm},
            {ei, bi, true, -xcpi - xgm - xcmcb}, {s, s, true, xccs},
            {x, s, true, -xccs},            {s, x, true, -xccs},
            {b, ci, true, -xcbx},           {ci, b, true, -xcbx},
        };
        for (const AcAddition& a : additions) {
            const int rc = a.imaginary ? StampComplexImag(a.row, a.column, a.value)
                                       : StampComplexReal(a.row, a.column, a.value);
            if (rc) return rc;
        }
    }
    return 0;
}

int AddBjtNoiseSources(double f)
{
    for (BjtDevice& q : ListRecords<BjtDevice>(DeviceList(kBjtDeviceList))) {
        if (!Usable(q)) continue;
        const double thermal = std::sqrt(kFourK * (q.celsius + kZeroCelsius));
        // The base resistance is the one of the bias point (RBM, IRB and the base charge move
        // it), as the small-signal stamp has it.
        AddNoiseSource(q.base, q.internalBase, std::sqrt(std::fabs(q.gx)) * thermal);
        AddNoiseSource(q.collector, q.internalCollector, std::sqrt(Param(q, kRc) * q.area) * thermal);
        AddNoiseSource(q.emitter, q.internalEmitter, std::sqrt(Param(q, kRe) * q.area) * thermal);
        AddNoiseSource(q.internalCollector, q.internalEmitter, std::sqrt(kTwoQ * std::fabs(q.cc)));
        const double ib = std::fabs(q.cb);
        AddShotFlickerNoise(q.internalBase, q.internalEmitter, kTwoQ * ib, Param(q, kKf), std::pow(ib, Param(q, kAf)), f);
    }
    return 0;
}

void RegisterBjtFamily()
{
    RegisterDeviceFamily({kSlotBjts, SetupBjtDevices, LoadBjtDevices, kAcBjts, AcLoadBjts, kNoiseBjts,
                          AddBjtNoiseSources});
}

}  // namespace kq5
