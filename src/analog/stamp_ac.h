#pragma once
// The AC small-signal system: the pass that fills the complex matrix and right-hand side from
// every device's small-signal values at one frequency, the pass that lets devices work out
// their AC currents from the solution, and the stamp operations every AC stamper uses.
//
// The first (building) pass of an analysis appends one element reference per stamp call to
// the AC stamp list, creating the matrix element; every later pass ignores row and column and
// adds into the element under the list's cursor. So every pass makes exactly the same sequence
// of stamp calls: a stamper never skips a call because of a value (a zero is still added), and
// its conditions depend only on what is fixed for the analysis.
#include <array>
#include <complex>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "analog/sparse_matrix.h"
#include "core/linked_list.h"

namespace kq5 {

using Complex = std::complex<double>;

struct AcStampState {
    double omega = 1000.0;     // angular frequency of the present point, rad/s
    double frequency = 0.0;    // Hz
    int firstPass = 0;         // the stamp list is being built
    int noiseMode = 0;         // noise quantities asked for: the matrix is built transposed
    std::array<int, 2> noiseOutputNodes{0, 0};  // the second is 0 when both name one node
    std::array<int, 2> noiseInputNodes{-2, -2};
    const ListNode* noiseInputDevice = nullptr;  // the noise input source's record
    int iterationRequest = 0;  // a formula source asks for the solve to be repeated

    // The complex system being stamped: its matrix and the stamp list with its cursor.
    SparseMatrix* matrix = nullptr;
    std::vector<MatrixElementRef>* stamps = nullptr;
    std::size_t cursor = 0;
    // (real, imaginary) pairs, one per unknown, index 0 the ground.
    std::span<double> rhs;
    std::span<const double> solution;        // the last solve's solution
    std::span<double> savedExcitation;       // noise mode: the input source's unit excitation
};

AcStampState& AcStamps();
void ResetAcStampStateForTests();

// The AC stampers run in one of two passes.
inline constexpr int kAcStampPass = 0;    // stamp the matrix and right-hand side
inline constexpr int kAcCurrentPass = 1;  // store the devices' AC currents, stamp nothing

// Adds the value to the real or imaginary part of element (row, column): on the building
// pass through a new stamp-list entry, later through the entry under the cursor. 0, 15002
// when an entry or element cannot be made, or 13579 when a later pass makes more stamp calls
// than the building pass did.
int StampComplexReal(int row, int column, double value);
int StampComplexImag(int row, int column, double value);

// Real +g at (a,a) and (b,b), -g at (a,b) and (b,a).
int StampAcConductance(int a, int b, double g);
// The same in the imaginary part: a susceptance.
int StampAcSusceptance(int a, int b, double b_);
// Real +1 at (r,p), -1 at (r,n), +1 at (p,r), -1 at (n,r).
int StampAcBranchIncidence(int r, int p, int n);
// Real +g at (o+,c+), -g at (o+,c-), -g at (o-,c+), +g at (o-,c-).
int StampTransconductance(int cp, int cn, int op, int on, double g);
// The four positions above in the real part with re, then in the imaginary part with im.
int StampAcTransadmittance(int cp, int cn, int op, int on, double re, double im);
// A controlled source of kind 0 (VCCS), 1 (CCCS), 2 (VCVS) or 3 (CCVS) with gain re + j im.
int StampAcControlledSource(bool sense, int outputIncidence, int kind, int firstBranch,
                            int outputBranch, int cp, int cn, int op, int on, double re,
                            double im);
// Adds (re, im) to the right-hand side at r, then the branch incidence of (r, p, n).
int AddAcVoltageExcitation(int r, int p, int n, double re, double im);
// Adds to the right-hand side entry of an unknown (ground absorbs it).
void AddAcRhs(int row, double re, double im);
// Noise mode: adds to the input source's excitation at an unknown, what it would drive at an
// AC value of 1 at phase 0 (ground absorbs it).
void AddNoiseInputExcitation(int row, double value);

// The complex solution of the last solve at an unknown (0 at ground and outside).
Complex AcSolution(int unknown);
// g (V[a] - V[b]), j b (V[a] - V[c]), g V[a].
Complex AcScaledVoltageDifference(double g, int a, int b);
Complex AcSusceptanceCurrent(double b, int a, int c);
Complex AcScaledNodeVoltage(double g, int a);

// One AC stamper of a device kind.
using AcStamperFn = int (*)(int pass);

// The device kinds of the AC passes in their fixed order.
enum AcStamperSlot : int {
    kAcCapacitors,
    kAcInductors,
    kAcCouplings,
    kAcResistors,
    kAcSwitches,
    kAcDiodes,
    kAcBjts,
    kAcJfets,
    kAcGaasfets,
    kAcMosfets,
    kAcMosfetsB,
    kAcLinearDependentSources,
    kAcIndependentSources,
    kAcPolySources,
    kAcOpamps,
    kAcIdealLines,
    kAcLossyLines,
    kAcLaplaceSources,
    kAcFreqTableSources,
    kAcFormulaSources,
    kAcTableSources,
    kAcStamperCount,
};

// Installs the AC stamper of a kind, which the device families (src/devices) register at
// start-up. A kind whose device list holds records but that has no stamper makes the pass
// fail with 5368 instead of solving a circuit without those devices.
void RegisterAcStamper(AcStamperSlot slot, AcStamperFn stamper);

// One stamping pass at the present omega: clears the matrix values (unless building) and the
// right-hand side, runs every stamper, and in noise mode replaces the excitation by the unit
// excitation of the noise output. 0 or the first non-zero result.
int LoadCircuitAc();
// After a solve, lets the device kinds that report AC currents store them; nothing in noise
// mode. 0 or the first non-zero result.
int ComputeAcDeviceCurrents();

}  // namespace kq5
