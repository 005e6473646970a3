#pragma once
// AC stamps of the independent sources (the AC excitation), the linear and POLY controlled
// sources, the op-amp gain stages and the ideal transmission lines.
namespace kq5 {

// Pass 0: the AC excitation of every source (SINE, PULSE and user-file parts drive 1 V at
// phase 0); pass 1: each source stores its AC current (a voltage source its branch unknown).
int AcLoadIndependentSources(int pass);
// E, F, G and H with a constant gain: pass 0 stamps them, pass 1 stores the output current of
// the current-output kinds.
int AcLoadLinearDependentSources(int pass);
// POLY sources with the partial derivatives of their last operating-point load.
int AcLoadPolySources(int pass);
int AcLoadOpamps(int pass);
int AcLoadIdealLines(int pass);

}  // namespace kq5
