#pragma once
// What the run loops (transient, AC, DC sweep) hand to the analysis window, the plots, the
// numeric output, stepping and Monte Carlo. The analysis window installs these services;
// while one is not installed the run does without it (a run without an analysis window
// computes its points and keeps them only in the solver and the expression variables).
//
// The run contract, the same for every kind, for each temperature of the temperature list:
//   beginCases                      the first stepped values, Monte Carlo set-up, run index 0
//   repeat: beginNextRun            nominal values, the next case, perturbation, run index + 1,
//                                   the circuit at the temperature
//           (the kind's own case: operating point, sweep or time steps)
//           endCase                 the store's run, Monte Carlo failure check, ...
//   while moreCases                 run index < run count
//   endCases                        stepped values restored, Monte Carlo run ended; also after
//                                   Esc or an error
#include <functional>

namespace kq5 {

struct WindowRecord;

struct AnalysisRunServices {
    // Per-run plot set-up (curves, store, scales); 0 or a message id.
    std::function<int(WindowRecord*)> setupPlots;
    // Activates and lays out the analysis window for the run; 0 or a message id.
    std::function<int(WindowRecord*)> beginPlotWindowRun;
    // Evaluates every curve's X and Y at the present point; 0 or a message id.
    std::function<int(WindowRecord*)> evaluateCurves;
    // Stores and draws the present point of every curve (and waits in animation mode).
    std::function<void(WindowRecord*)> plotPoint;
    // The end of a case: the run's traces and the end of its run in the waveform store.
    std::function<void(WindowRecord*)> endCase;
    // Counts the case and applies its stepped values and temperature (degrees Celsius);
    // 0 or a message id. Without it the temperature is applied to the linear elements.
    std::function<int(WindowRecord*, double temperature)> beginNextRun;
    // The operating-point report of the numeric output; 0 or a message id.
    std::function<int()> writeOperatingPointReport;
    // The printed-values table of the numeric output after a case (the point count of the
    // run); 0 or a message id. A case that failed or was stopped (complete false) prints its
    // rows up to the last point it computed.
    std::function<int(int points, bool complete)> writePrintedValues;
    // Reads the state variables file into the simulator's state (the State Variables option
    // "Read"); 0 or a message id.
    std::function<int()> readStateVariables;
    // Whether more stepping or Monte Carlo cases follow the present one.
    std::function<bool()> moreCases;
    // Before the cases of each temperature; 0 or a message id (the temperature's cases are not
    // run, endCases still follows).
    std::function<int(WindowRecord*)> beginCases;
    // After the cases of each temperature, however they ended.
    std::function<void(WindowRecord*)> endCases;
};

AnalysisRunServices& RunServices();
void ResetRunServicesForTests();

}  // namespace kq5
