#pragma once
// Formula sources (a current or voltage given by an expression of node voltages, branch
// currents and time): set-up, the Newton load that linearises the formula by perturbing each
// unknown it reads, and the AC stamp of the derivatives (or of the AC-time formula).
namespace kq5 {

int SetupFormulaSources();
int LoadFormulaSources();
int AcLoadFormulaSources(int pass);

void RegisterFormulaSourceFamily();

}  // namespace kq5
