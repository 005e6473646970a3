#pragma once
// The BSIM1 (LEVEL 4) and BSIM2 (LEVEL 5) evaluations of a MOSFET at one bias: drain current
// with its conductances, threshold and saturation voltages, and the intrinsic charges with their
// nine capacitances. Every quantity is carried with its derivatives with respect to vgs, vds and
// vbs (Dual3), so the conductances and capacitances are the exact slopes of the current and
// charges as computed, clamps and region joins included.
namespace kq5 {

struct Bsim12Size;

struct Bsim12Result {
    double cdrain = 0.0, gm = 0.0, gds = 0.0, gmbs = 0.0;
    double qgate = 0.0, qbulk = 0.0, qdrain = 0.0;
    // Derivatives of the charges with respect to the gate, drain and source (bulk held).
    double cggb = 0.0, cgdb = 0.0, cgsb = 0.0, cbgb = 0.0, cbdb = 0.0, cbsb = 0.0, cdgb = 0.0, cddb = 0.0,
           cdsb = 0.0;
    double von = 0.0, vdsat = 0.0;
};

// vds >= 0 (the caller exchanges drain and source), n-type sense. `charges` false leaves the
// charges and capacitances 0.
Bsim12Result EvaluateBsim1(const Bsim12Size& p, double vds, double vbs, double vgs, bool charges);
Bsim12Result EvaluateBsim2(const Bsim12Size& p, double vds, double vbs, double vgs, bool charges);

}  // namespace kq5
