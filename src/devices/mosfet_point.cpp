#include "devices/mosfet_point.h"

#include <algorithm>
#include <cmath>

#include "analog/analog_state.h"
#include "analog/limiting.h"
#include "netlist/fet_devices.h"

namespace kq5 {

MosPointStep StepMosfetPoint(const MosfetDevice& d, double vbs, double vgs, double vds, const MosPointRules& rules)
{
    const AnalogSolverState& s = AnalogSolver();
    const MosfetLoadValues& v = d.values;
    MosPointStep p;
    double vbd = vbs - vds, vgd = vgs - vds;
    const double vgdo = v.vgs0 - v.vds0;
    const double delvbs = vbs - v.vbs0, delvbd = vbd - v.vbd0, delvgs = vgs - v.vgs0, delvds = vds - v.vds0,
                 delvgd = vgd - vgdo;
    p.cdhat = d.mode >= 0.0 ? v.cd - v.gbd * delvbd + v.gmbs * delvbs + v.gm * delvgs + v.gds * delvds
                            : v.cd - (v.gbd - v.gmbs) * delvbd - v.gm * delvgd + v.gds * delvds;
    p.cbhat = v.cbs + v.cbd + v.gbd * delvbd + v.gbs * delvbs;
    const double rt = s.reltolMilli, vntol = s.vntol, abstol = s.abstol;
    const double cb = v.cbs + v.cbd;
    const double cbLargest = std::max(std::fabs(p.cbhat), std::fabs(cb));
    const double cbTolerance = rules.scaledBulkAbstol ? rt * (cbLargest + abstol) : rt * cbLargest + abstol;
    // Between time points a bypassed device keeps the charges of its last evaluation, which the
    // integration then carries into the accepted point. Right after the predictor those are the
    // charges at the predicted voltages, up to the bypass tolerance away from the solution, and
    // the trapezoidal rule turns each such lag into a charge current that alternates in sign from
    // step to step and never dies out. There the device waits, as the diodes and bipolar
    // transistors do, for the third iteration, when its last evaluation is at a Newton iterate.
    const bool settled = s.runPhase != kPhaseTimeSteps || s.bypassAllowed != 0;
    if (rules.mayBypass && settled && std::fabs(delvbs) < rt * std::max(std::fabs(vbs), std::fabs(v.vbs0)) + vntol &&
        std::fabs(delvbd) < rt * std::max(std::fabs(vbd), std::fabs(v.vbd0)) + vntol &&
        std::fabs(delvgs) < rt * std::max(std::fabs(vgs), std::fabs(v.vgs0)) + vntol &&
        std::fabs(delvds) < rt * std::max(std::fabs(vds), std::fabs(v.vds0)) + vntol &&
        std::fabs(p.cdhat - v.cd) < rt * std::max(std::fabs(p.cdhat), std::fabs(v.cd)) + abstol &&
        std::fabs(p.cbhat - cb) < cbTolerance) {
        p.bypassed = true;
        p.vbs = v.vbs0, p.vbd = v.vbd0, p.vgs = v.vgs0, p.vds = v.vds0;
        p.vgd = p.vgs - p.vds;
        return p;
    }
    const double von = rules.type * v.von;
    if (v.vds0 >= 0.0) {
        vgs = LimitFetVoltage(vgs, v.vgs0, von);
        vds = LimitDrainSourceVoltage(vgs - vgd, v.vds0);
        vgd = vgs - vds;
    } else {
        vgd = LimitFetVoltage(vgd, vgdo, von);
        vds = -LimitDrainSourceVoltage(-(vgs - vgd), -v.vds0);
        vgs = vgd + vds;
    }
    if (vds >= 0.0) {
        vbs = LimitJunctionVoltageByValue(vbs, v.vbs0, rules.vt, v.vcrits, p.check);
        vbd = vbs - vds;
    } else {
        vbd = LimitJunctionVoltageByValue(vbd, v.vbd0, rules.vt, v.vcritd, p.check);
        vbs = vbd + vds;
    }
    p.vbs = vbs, p.vgs = vgs, p.vds = vds, p.vbd = vbd, p.vgd = vgd;
    return p;
}

}  // namespace kq5
