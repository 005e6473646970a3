#pragma once
// The bipolar transistor (Gummel-Poon) in the analog engine: matrix reservation, Newton load,
// AC stamp and noise generators.

namespace kq5 {

struct BjtDevice;

int SetupBjtDevices();
int LoadBjtDevices();
int AcLoadBjts(int pass);
int AddBjtNoiseSources(double f);

// The DC evaluation of one transistor at junction voltages (device polarity frame), without
// charges: what the load computes before its charge step. For tests and reports.
struct BjtDcPoint {
    double cc = 0.0, cb = 0.0;                       // internal collector and base currents
    double gpi = 0.0, gmu = 0.0, gm = 0.0, go = 0.0; // their derivatives (gm, go as the load stamps)
    double gx = 0.0;                                 // base-resistance conductance
    double csub = 0.0, gsub = 0.0;                   // substrate diode
    double qb = 1.0;                                 // normalised base charge
};
BjtDcPoint EvaluateBjtDc(const BjtDevice& q, double vbe, double vbc, double vsub, double gmin);

}  // namespace kq5
