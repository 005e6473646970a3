#include "devices/bsim_load_common.h"

#include <cmath>

#include "analog/noise.h"
#include "analog/device_dispatch.h"

namespace kq5 {

FetVoltages PredictFetVoltages(MosfetLoadValues& v, const AnalogSolverState& s)
{
    v.vbs0 = v.vbs1, v.vgs0 = v.vgs1, v.vds0 = v.vds1;
    v.vbd0 = v.vbs0 - v.vds0;
    const double c1 = s.predictorScale, c2 = s.predictorRatio;
    return {c1 * v.vbs1 - c2 * v.vbs2, c1 * v.vgs1 - c2 * v.vgs2, c1 * v.vds1 - c2 * v.vds2};
}

FetVoltages FetNodeVoltages(const MosfetDevice& d, const std::vector<double>& x, double type)
{
    auto node = [&](int n) { return x[static_cast<std::size_t>(n)]; };
    return {type * (node(d.internalBulk) - node(d.internalSource)), type * (node(d.internalGate) - node(d.internalSource)),
            type * (node(d.internalDrain) - node(d.internalSource))};
}

TerminalCapacitances MapTerminalCapacitances(const IntrinsicCapacitances& q, bool normal, double capbd, double capbs,
                                             double cgdo, double cgso, double cgbo)
{
    TerminalCapacitances c;
    c.cggb = q.cggb + cgdo + cgso + cgbo;
    c.cbgb = q.cbgb - cgbo;
    if (normal) {
        c.cgdb = q.cgdb - cgdo;
        c.cgsb = q.cgsb - cgso;
        c.cdgb = q.cdgb - cgdo;
        c.cddb = q.cddb + capbd + cgdo;
        c.cdsb = q.cdsb;
        c.csgb = -(q.cggb + q.cbgb + q.cdgb + cgso);
        c.csdb = -(q.cgdb + q.cbdb + q.cddb);
        c.cssb = capbs + cgso - (q.cgsb + q.cbsb + q.cdsb);
        c.cbdb = q.cbdb - capbd;
        c.cbsb = q.cbsb - capbs;
    } else {
        c.cgdb = q.cgsb - cgdo;
        c.cgsb = q.cgdb - cgso;
        c.cdgb = -(q.cggb + q.cbgb + q.cdgb + cgdo);
        c.cddb = capbd + cgdo - (q.cgsb + q.cbsb + q.cdsb);
        c.cdsb = -(q.cgdb + q.cbdb + q.cddb);
        c.csgb = q.cdgb - cgso;
        c.csdb = q.cdsb;
        c.cssb = q.cddb + capbs + cgso;
        c.cbdb = q.cbsb - capbd;
        c.cbsb = q.cbdb - capbs;
    }
    return c;
}

void AddFetRhs(const MosfetDevice& d, double cdreq, double ceqbs, double ceqbd, double ceqqg, double ceqqb,
               double ceqqd)
{
    RhsEntry(d.internalGate) -= ceqqg;
    RhsEntry(d.internalBulk) -= ceqbs + ceqbd + ceqqb;
    RhsEntry(d.internalDrain) += ceqbd - cdreq - ceqqd;
    RhsEntry(d.internalSource) += cdreq + ceqbs + ceqqg + ceqqb + ceqqd;
}

void ReportBsimCurrents(MosfetDevice& d, const BsimReportInputs& in)
{
    AnalogSolverState& s = AnalogSolver();
    MosfetLoadValues& v = d.values;
    const double cqg = in.charged ? StateSlot(s.currentStates, in.slot) : 0.0;
    const double cqb = in.charged ? StateSlot(s.currentStates, in.slot + 4) : 0.0;
    const double cqd = in.charged ? StateSlot(s.currentStates, in.slot + 8) : 0.0;
    v.ig = in.type * cqg;
    v.id = in.type * (v.cd + cqd + in.grds * v.vds0);
    v.ib = in.type * (v.cbs + v.cbd + cqb);
    v.is = -(v.ig + v.id + v.ib);
    FetQuantities& fq = d.quantities;
    fq.id = v.id, fq.ig = v.ig, fq.ib = v.ib, fq.is = v.is;
    fq.cbd = v.capbd, fq.cbs = v.capbs;
    fq.cgs = -in.q.cgsb + v.cgsov, fq.cgd = -in.q.cgdb + v.cgdov, fq.cgb = in.q.cggb + in.q.cgdb + in.q.cgsb + in.cgbo;
    if (in.states) {
        fq.qgs = StateSlot(s.chargeStates, in.slot);
        fq.qbd = in.qbd;
        fq.qbs = in.qbs;
    }
}

void AddSeriesResistanceNoise(const MosfetDevice& d, double root)
{
    const MosfetLoadValues& v = d.values;
    AddNoiseSource(d.drain, d.internalDrain, std::sqrt(v.gd) * root);
    AddNoiseSource(d.source, d.internalSource, std::sqrt(v.gs) * root);
    AddNoiseSource(d.gate, d.internalGate, std::sqrt(v.gg) * root);
    AddNoiseSource(d.bulk, d.internalBulk, std::sqrt(v.gb) * root);
}

}  // namespace kq5
