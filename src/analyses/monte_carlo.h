#pragma once
// Monte Carlo runs: the options of each analysis kind, the perturbation of toleranced model
// parameters before each run, the failure report and the statistics of a histogram window.
namespace kq5 {

struct WindowRecord;

// Fixes RunState().runCount for Monte Carlo at analysis start and compiles Report When.
void SetMonteCarloRunCount(WindowRecord* analysisWindow);
// Before the runs of a temperature: decides MonteCarloActive; 0, 15001 or 15002.
int BeginMonteCarlo();
// Before each run, after the nominal restore and the stepping case.
void PerturbModels();
// After the runs of a temperature (also when stopped or failed).
void EndMonteCarloRun();
// After each completed run: evaluates Report When and writes the failure report.
void CheckMonteCarloFailure();
// When the analysis ends.
void FreeGaussianPopulation();
void FreeReportWhenExpression();

}  // namespace kq5
