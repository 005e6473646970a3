#pragma once
// The per-instance record of a LEVEL 4 (BSIM1) or LEVEL 5 (BSIM2) MOSFET: the size- and
// temperature-adjusted parameters that the run's preparation derives for the instance's own L
// and W at its own temperature, the model values its loads read, and what each load leaves for
// the next load, the AC stamp and the reports. The shared evaluated model is never written per
// device.
namespace kq5 {

struct Bsim12Size {
    int level = 4;

    // Shared by both levels (binned).
    double vfb = 0.0, phi = 0.0, k1 = 0.0, k2 = 0.0, n0 = 0.0, nb = 0.0, nd = 0.0;
    // BSIM1 (binned; the mobility terms scaled by Cox W/L).
    double eta = 0.0, etaB = 0.0, etaD = 0.0, ugs = 0.0, ugsB = 0.0, uds = 0.0, udsB = 0.0, udsD = 0.0;
    double betaZero = 0.0, betaZeroB = 0.0, betaVdd = 0.0, betaVddB = 0.0, betaVddD = 0.0;
    // BSIM2 (binned; the mobility terms but MU2 scaled by Cox W/L).
    double eta0 = 0.0, etab = 0.0, beta0 = 0.0, beta0B = 0.0, betas0 = 0.0, betasB = 0.0, mu20 = 0.0, mu2B = 0.0,
           mu2G = 0.0, beta30 = 0.0, beta3B = 0.0, beta3G = 0.0, beta40 = 0.0, beta4B = 0.0, beta4G = 0.0;
    double ua0 = 0.0, uaB = 0.0, ub0 = 0.0, ubB = 0.0, u10 = 0.0, u1B = 0.0, u1D = 0.0;
    double vof0 = 0.0, vofB = 0.0, vofD = 0.0, ai0 = 0.0, aiB = 0.0, bi0 = 0.0, biB = 0.0, vghigh = 0.0, vglow = 0.0;
    double sqrtPhi = 0.0, phis3 = 0.0, coxWL = 0.0, arg = 0.0;

    // Model values of the instance, fixed for the run.
    double type = 1.0;        // +1 n-channel, -1 p-channel
    double tdev = 27.0;       // device temperature, degrees Celsius
    double vt = 0.0;          // thermal voltage at tdev
    double vtm = 0.0;         // BSIM2: the thermal voltage of its equations
    double emission = 1.0;    // the junction emission coefficient N
    double cox = 0.0;         // F/cm2
    double leff = 0.0, weff = 0.0;  // metres
    double vdd = 0.0, vgg = 0.0, vbb = 0.0, vdd2 = 0.0, vgg2 = 0.0, vbb2 = 0.0;
    double xpart = 0.0;
    double pb = 0.8, pbsw = 0.8, mj = 0.5, mjsw = 0.33, tt = 0.0;
    double kf = 0.0, af = 1.0;
    double grds = 0.0;        // drain-source shunt conductance

    // Left by the last evaluation (in the evaluation's own drain-source orientation).
    double cggb = 0.0, cgdb = 0.0, cgsb = 0.0, cbgb = 0.0, cbdb = 0.0, cbsb = 0.0, cdgb = 0.0, cddb = 0.0,
           cdsb = 0.0;
    double qbs = 0.0, qbd = 0.0;
};

}  // namespace kq5
