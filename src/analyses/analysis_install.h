#pragma once
// What the program installs at start-up so that an analysis runs whole: the run loops of the
// analysis kinds, the digital simulator, and the services that the kernel and the plots call
// up through (curves, numeric output, stepping, Monte Carlo, the analysis window and the
// windows measuring it). The window program, batch runs and tests that run analyses all call it.
namespace kq5 {

// Installs the run loops of the analysis kinds that the program has.
void InstallAnalysisKindHandlers();

}  // namespace kq5
