#pragma once
// Set-up and load of the independent sources: SINE and PULSE parts, the general voltage and
// current sources, and the user-file sources. A voltage source is a branch row with the
// incidence of its two nodes; a current source only adds to the right-hand side. Every value
// is multiplied by the solver's source factor (source stepping).
namespace kq5 {

int SetupSources();
int LoadSources();

}  // namespace kq5
