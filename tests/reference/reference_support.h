#pragma once
// Comparison of this program with ngspice on the netlists of tests/reference/circuits. Each
// netlist names its analysis and the quantities to compare in "*@" comment lines:
//
//   *@ op                         every node voltage ngspice prints
//   *@ tran V(2) V(3)             waveforms, ours interpolated onto ngspice's time points
//   *@ ac V(2)                    complex response (magnitude and phase) at each frequency
//   *@ dc V(2)                    swept values; the sweep adapts its step, so ngspice
//                                 (on a grid its own line may make fine) is interpolated
//                                 onto our points
//   *@ noise [INOISE]             output (and input) noise density of the .NOISE line
//   *@ floor 1e-4                 absolute floor of the comparison (default 1e-9)
//   *@ rel 2e-3                   relative tolerance (default 1e-3)
//   *@ at ours                    a transient compared at our points, the reference (a fine
//                                 ngspice run) interpolated onto them: what is judged is
//                                 the computed values, not the straight lines between them
//   *@ temps 27 77 127            ngspice runs once at each temperature (a .temp line added);
//                                 the runs are joined and compared sweep by sweep with ours
//
// A quantity written "ours=theirs" is spelled differently for ngspice, e.g. I(C1)=i(vc1)
// with a sense source that only ngspice's netlist holds.
//
// A line "*NG text" is given to ngspice only and "*KQ5 text" to this program only, for the
// few constructs the two spell differently. ngspice runs in batch mode on a copy with a
// control block that writes the quantities with wrdata; this program reads, builds and runs
// the same netlist in-process and records the quantities at every accepted point through
// the run services, evaluating them as compiled expressions as the plots do. With the
// environment variable KQ5_REFERENCE_DUMP set, every point of ours is printed. Each test
// prints the worst relative error of every quantity ("[reference] ...").
#include <gtest/gtest.h>

#include <complex>
#include <string>
#include <vector>

#include "../netlist/build_test_support.h"

namespace kq5::reference {

enum class ReferenceAnalysis { kOp, kTran, kAc, kDc, kNoise };

struct ReferenceCircuit {
    std::string name;
    std::string ourText;     // the netlist as this program reads it
    std::string ngText;      // the netlist as ngspice reads it, without the .END
    ReferenceAnalysis analysis = ReferenceAnalysis::kOp;
    std::vector<std::string> quantities;  // expression texts, e.g. "V(2)" or "V(3,4)"
    std::vector<std::string> ngQuantities;  // the same as ngspice spells them
    std::vector<double> temperatures;       // ngspice runs at each of these
    double relative = 1e-3;
    double floor = 1e-9;
    bool atOurPoints = false;
};

// Columns of a wrdata file: the scale and one column per quantity (AC: real and imaginary).
struct NgspiceResult {
    bool available = false;
    std::string error;
    std::vector<double> scale;
    std::vector<std::vector<std::complex<double>>> values;  // [quantity][point]
    std::vector<std::pair<std::string, double>> operatingPoint;  // node name, volts
};

// One quantity of this program: its value at every accepted point.
struct OurCurve {
    std::vector<double> x;
    std::vector<std::complex<double>> y;
};

// The worst disagreement of one quantity: |ours - ngspice| / max(|ngspice|, floor).
struct Disagreement {
    double worst = 0.0;
    double at = 0.0;
    std::complex<double> ours;
    std::complex<double> theirs;
    int compared = 0;
};

bool NgspiceInstalled();
// The runs of a curve whose x keeps one direction (the sweeps of a nested DC sweep), each
// turned to rising x.
std::vector<OurCurve> SplitSweeps(const OurCurve& curve);
ReferenceCircuit LoadReferenceCircuit(const std::string& name);
// The same from a netlist's text (a circuit too large to keep as a file is made by its test).
ReferenceCircuit ParseReferenceCircuit(const std::string& name, const std::string& text);
NgspiceResult RunNgspice(const ReferenceCircuit& circuit);
// RunNgspice once per temperature of the circuit, the results joined in that order.
NgspiceResult RunNgspiceAtTemperatures(const ReferenceCircuit& circuit);

// The curve at x by linear interpolation (in log x for AC sweeps); false outside its range.
bool InterpolateCurve(const OurCurve& curve, double x, bool logScale, std::complex<double>& value);
// Compares the curve, interpolated, with the values at the scale points. Normally the curve is
// ours and the values ngspice's; swapped says it is the other way round.
Disagreement CompareCurve(const OurCurve& ours, const std::vector<double>& scale,
                          const std::vector<std::complex<double>>& theirs, const ReferenceCircuit& circuit,
                          bool swapped = false);

class ReferenceTest : public testing::BuildTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads the netlist, runs both programs and compares every quantity.
    void Compare(const std::string& name);
    void Compare(const ReferenceCircuit& circuit);
    int RunOurs(const ReferenceCircuit& circuit, std::vector<OurCurve>& curves);

private:
    void CompareOperatingPoint(const ReferenceCircuit& circuit, const NgspiceResult& theirs);
    std::string scratch_;
};

}  // namespace kq5::reference
