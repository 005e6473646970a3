#pragma once
// Inductors, their couplings (K with a coupling factor) and magnetic cores (K with a CORE model:
// Jiles-Atherton hysteresis with an optional air gap). An inductor is a branch row whose flux
// is integrated like a charge; a coupling adds the mutual flux of the other branch current.
namespace kq5 {

struct CouplingDevice;

int SetupInductorsAndCouplings();
// One Newton load. Leaves the core step bound (a factor of the present step) and the core
// failure flag for the step control, the bound also as the inductor and core step factor.
int LoadInductorsAndCouplings();

// The coupling factor: the constant, or the value of the K's expression (10805 reported and
// 15055 when it lies outside 0..1). 0 or a message id.
int GetCouplingFactor(const CouplingDevice& coupling, double& k);

// Solves every core at the present applied fields (also called once by the AC run before its
// frequency loop). 0 or the first non-zero code.
int SolveCores();

// Langevin function terms of the anhysteretic magnetisation.
void LangevinTerms(double a1, double a2, double a3, double a4, double x, double& residual, double& derivative,
                   double& derivativeOfL);

// op 0 writes five doubles per core after the first 4 x unknowns doubles of the vector, op 1
// reads them back, op 2 only counts. The number of cores.
int SaveRestoreCoreStates(double* vector, int op);

// Accepted-point bookkeeping of the cores: op 0 clears, op 1 commits the present values as the
// previous ones, op 2 restores the previous values.
void CommitList31States(int op);

}  // namespace kq5
