#pragma once
// The nonlinear solver of the analog kernel: the Newton iteration that every analysis uses for
// one operating point or one time point, the fallback that reaches a hard DC operating point by
// scaling every independent source down and back up (source stepping), and the procedures
// around the matrix solve and the stamp sets. Before source stepping, a conductance from every
// node to ground is stepped down from 1 mS to nothing (gmin stepping); where both fail, gmin
// stepping runs again, restoring the devices' state with the solution after a failed step.
#include <span>

#include "analog/analog_state.h"

namespace kq5 {

struct WindowRecord;

// Newton iteration at the present time, mode and source factor, at most `iterationLimit` loads.
// 0, 14190 (limit reached while computing an operating point), 15056 (Esc) or the id of a load
// or solve failure.
int SolveOperatingPoint(WindowRecord* window, int iterationLimit);

// The fallbacks of an operating point that plain Newton iteration did not reach: gmin stepping,
// then source stepping, then (with `lastResort`) gmin stepping that takes the devices back to
// the last good solution after each failed step. 0, 14190, 15002 or another message id; leaves
// the source factor at 1.0, no node shunt and the iteration mode at 2.
int SourceStepOperatingPoint(WindowRecord* window, int iterationLimit, bool lastResort = true);

// A time point whose Newton iteration did not settle, by pseudo-transient continuation from the
// last accepted point: every node gets a conductance to its voltage of the previous solve, which
// shrinks solve by solve until a solve without it converges. 0 with the not-converged flag set
// (the run loop then cuts the step) or clear, or 15056 or the id of a load or solve failure.
int SolveTimePointByContinuation(WindowRecord* window, int iterationLimit);

// Factors the active matrix and, when that succeeds, solves with the right-hand side into the
// vector; entry 0 (ground) becomes 0 either way. The factor result; 0 at once when no matrix is
// active.
int SolveLinearSystem(std::span<double> solution);
// The same for the complex matrix of an AC run: (real, imaginary) pairs.
int SolveComplexSystem(std::span<double> solution);

// Destroys the set's matrix and empties its pool; the active set is dropped when it was this one.
void FreeStampSet(StampSet& set);
void FreeAllStampSets();

// Zeroes the charge and current state vectors.
void ClearStateVectors();

}  // namespace kq5
