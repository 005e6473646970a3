#pragma once
// The step from a MOSFET's last point (state 0 of its load values) to the next, shared by the
// loads of LEVEL 4, 5 and 8: the linear predictions of the drain and bulk currents, the bypass
// test and the limiting of the gate, drain and junction voltages.
namespace kq5 {

struct MosfetDevice;

struct MosPointStep {
    double vbs = 0.0, vgs = 0.0, vds = 0.0, vbd = 0.0, vgd = 0.0;  // n-type sense
    double cdhat = 0.0, cbhat = 0.0;
    bool bypassed = false;
    int check = 1;  // 0 when the junction limiting left the junction voltage alone
};

struct MosPointRules {
    double type = 1.0;        // +1 n-channel, -1 p-channel
    double vt = 0.0;          // thermal voltage of the junction limiting
    bool mayBypass = true;    // false in the predictor pass
    bool scaledBulkAbstol = false;  // the bulk-current test takes RELTOL x (max + ABSTOL)
};

MosPointStep StepMosfetPoint(const MosfetDevice& d, double vbs, double vgs, double vds, const MosPointRules& rules);

}  // namespace kq5
