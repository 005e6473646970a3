#pragma once
// The commits of an accepted point that the transient run and the DC sweep make: the saved
// solution (and digital states) that a rejected point returns to, and the MOSFET terminal
// voltage history.
namespace kq5 {

// The older solution takes the saved one, the saved and the previous solution take the
// present one, and the digital node states are kept beside them.
void SaveAcceptedPoint();

// Moves every MOSFET's terminal voltages of the last accepted point one point back and makes
// those of the last load the accepted ones (through the MOSFET family's commit).
void CommitMosfetVoltageHistory();

// The MOSFET family installs its commit; without MOSFETs there is nothing to commit.
using MosfetHistoryCommitFn = void (*)(bool timeSteps);
void RegisterMosfetHistoryCommit(MosfetHistoryCommitFn commit);

}  // namespace kq5
