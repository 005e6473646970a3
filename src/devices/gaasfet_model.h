#pragma once
// Parameter positions of the evaluated GASFET model, the GaAsFET's pass at a run's
// temperature, and its drain-current and gate-charge models.

namespace kq5 {

namespace gaasfet_param {
inline constexpr int kLevel = 0, kVto = 1, kAlpha = 2, kBeta = 3, kB = 4, kLambda = 5, kGamma = 6, kDelta = 7, kQ = 8,
                     kRg = 10, kRd = 11, kRs = 12, kIs = 13, kN = 14, kM = 15, kVbi = 16, kCgd = 17, kCgs = 18,
                     kCds = 19, kFc = 20, kVdelta = 21, kVmax = 22, kEg = 23, kXti = 24, kVtotc = 25, kBetatce = 26,
                     kTrg1 = 27, kTrd1 = 28, kTrs1 = 29, kKf = 30, kAf = 31, kTMeasured = 32, kDepCapB = 38,
                     kGaasfetSlotCount = 41;
}

// Every GASFET model at its device temperature for a run at `celsius`, and the per-run
// values of its GaAsFETs. 0, or 15055 after reporting a model of the smoothed gate charge
// whose VMAX is not below its VBI at that temperature.
int PrepareGaasfetModelsAtTemp(double celsius);

// What the drain-current evaluators read and write.
struct GaasfetWorkArea {
    double vgs = 0.0, vgd = 0.0, vds = 0.0;
    double vto = 0.0, alpha = 0.0, b = 0.0, lambda = 0.0, gamma = 0.0, delta = 0.0, q = 0.0;
    double beta = 0.0;
    double vdelta = 0.0, vmax = 0.0;
    double id = 0.0, gm = 0.0, gds = 0.0;
};

void GaasfetLevel1Current(GaasfetWorkArea& w);
void GaasfetLevel2Current(GaasfetWorkArea& w);
void GaasfetLevel3Current(GaasfetWorkArea& w);

// The gate charge Q(va, vb) (va gate-source, vb gate-drain) with its two partial derivatives.
double GaasfetGateCharge(const GaasfetWorkArea& w, double va, double vb, double vbi, double delta, double vto,
                         double cgs0, double cgd0, double& c1, double& c2);

}  // namespace kq5
