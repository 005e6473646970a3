#pragma once
// The per-instance record of a LEVEL 8 (BSIM3) MOSFET: the size- and temperature-adjusted
// parameters that the model preparation derives for the instance's own L and W at its own
// temperature, the model values it reads at every load, and what each load leaves for the next
// load, the AC stamp, the noise generators and the reports. The shared evaluated model is never
// written per device.
#include <cstdint>

namespace kq5 {

// What a load of a device without the charge node added to the right-hand side (its junction
// and charge equivalent currents; the channel's is formed again from the stored values, as a
// bypassed load forms it) and to its 32 matrix entries, the load pass (`epoch`) it was made in,
// and whether its stamps held the charge terms: a device whose voltages stay within the bypass
// tolerances adds the same again while nothing else these depend on has changed.
struct Bsim3Replay {
    std::uint64_t epoch = 0;
    bool chargeTerms = false;
    bool seriesFree = false;  // the elements only the series conductances reach were left alone
    double rhs[5] = {};       // source and drain junctions, gate, bulk and drain charges
    double stamps[32] = {};
};

struct Bsim3Size {
    // Geometry.
    double leff = 0.0, weff = 0.0, leffCV = 0.0, weffCV = 0.0;
    // Binned parameters.
    double cgbo = 0.0, cgdo = 0.0, cgso = 0.0;  // effective overlap capacitances (F)
    double vbsc = 0.0, phis3 = 0.0, xdep0 = 0.0, sqrtPhi = 0.0;
    double dvt0 = 0.0, dvt1 = 0.0, dvt2 = 0.0, dvt0w = 0.0, dvt1w = 0.0, dvt2w = 0.0;
    double vbi = 0.0, nlx = 0.0, kt1 = 0.0, kt1l = 0.0, kt2 = 0.0, w0 = 0.0, etab = 0.0, theta0vb0 = 0.0;
    double vth0 = 0.0, k3 = 0.0, k3b = 0.0, nfactor = 0.0, cdsc = 0.0, cdscb = 0.0, cdscd = 0.0, cit = 0.0;
    double ngate = 0.0, voff = 0.0, cdep0 = 0.0, dwg = 0.0, dwb = 0.0, rds0 = 0.0, prwb = 0.0, prwg = 0.0;
    double vsattemp = 0.0, keta = 0.0, xj = 0.0, a0 = 0.0, b0 = 0.0, ags = 0.0, b1 = 0.0;
    double ua = 0.0, ub = 0.0, uc = 0.0, u0temp = 0.0, a1 = 0.0, a2 = 0.0, pclm = 0.0, delta = 0.0;
    double litl = 0.0, thetaRout = 0.0, pdiblb = 0.0, pvag = 0.0, pscbe1 = 0.0, pscbe2 = 0.0, alpha0 = 0.0;
    double beta0 = 0.0, abulkCVfactor = 0.0, elm = 0.0, ckappa = 0.0, cgdl = 0.0, cgsl = 0.0;
    double vfb = 0.0, phi = 0.0, k1 = 0.0, k2 = 0.0, eta0 = 0.0;
    int nqsmod = 0;
    // Bias-independent terms of the channel evaluation (PrepareBsim3ChannelConstants).
    double dvt1Length = 0.0, dvt1wArea = 0.0, tempRatio = 0.0, vthLateral = 0.0, kt1Length = 0.0,
           coxOverCdep = 0.0, b0Width = 0.0, vascbeLargest = 0.0, pscbe1Litl = 0.0, alpha0Length = 0.0;
    // The evaluation's fixed divisors (and their reciprocals, for the slopes of the quotients).
    double weffW0 = 0.0, inverseWeffW0 = 0.0, inverseSqrtPhi = 0.0, inverseCox = 0.0, inverseTox = 0.0,
           inverseLeff = 0.0, inversePscbe2 = 0.0;
    unsigned laneKey = 0;  // Bsim3LaneKey

    // Model values of the instance, fixed for the run.
    double type = 1.0;          // +1 n-channel, -1 p-channel
    double tdev = 27.0;         // device temperature, degrees Celsius
    double tmeasured = 27.0;    // degrees Celsius
    double factor1 = 0.0, cox = 0.0, vtm = 0.0, tox = 0.0;
    bool ngateGiven = false;
    int mobmod = 1, capmod = 1, noimod = 1;
    double xpart = 0.0;
    double pb = 1.0, pbsw = 1.0, mj = 0.5, mjsw = 0.33, tt = 0.0;
    double kf = 0.0, af = 1.0, ef = 1.0, em = 0.0, noia = 0.0, noib = 0.0, noic = 0.0;
    double grds = 0.0;          // drain-source shunt conductance

    // Left by the last evaluation.
    double cggb = 0.0, cgdb = 0.0, cgsb = 0.0, cbgb = 0.0, cbdb = 0.0, cbsb = 0.0, cdgb = 0.0, cddb = 0.0,
           cdsb = 0.0;
    double cqgb = 0.0, cqdb = 0.0, cqsb = 0.0, cqbb = 0.0, gtau = 0.0, tconst = 0.0;
    double ggtg = 0.0, ggtd = 0.0, ggts = 0.0, ggtb = 0.0;
    double qbs = 0.0, qbd = 0.0;
    double csub = 0.0, gbg = 0.0, gbd = 0.0, gbb = 0.0;
    double ueff = 0.0, thetavth = 0.0, qinv = 0.0;
    double cgdoBias = 0.0, cgsoBias = 0.0;  // bias-dependent overlap capacitances of the last load
    double vgsteffLast = 0.0, vdseffLast = 0.0, abulkLast = 1.0;  // for the flicker noise
    Bsim3Replay replay;
};

}  // namespace kq5
