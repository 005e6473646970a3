#pragma once
// What the plots ask of the analyses drawn over them: the cases of stepping and Monte Carlo
// between runs, and the performance, 3-D and Monte Carlo windows that measure the analysis
// window's curves. Stepping fills the case members (InstallSteppingRunServices); each window
// kind fills its own when its class is registered, so that a kind never made has nothing to
// close. While a member is empty the plots do without it: a run of one case, no such window.
#include <functional>
#include <string>

namespace kq5 {

struct WindowRecord;

struct PlotWindowServicesState {
    // The stepped values of the next case; 0 or a message id (see NextStepCase).
    std::function<int()> nextStepCase;
    // The Monte Carlo perturbation of the models for the present run (see PerturbModels).
    std::function<void()> perturbModels;
    // The run count of a Monte Carlo analysis fixed as the plots are set up (see
    // SetMonteCarloRunCount).
    std::function<void(WindowRecord* analysisWindow)> setMonteCarloRunCount;
    // The windows that go, their records kept, with the analysis window.
    std::function<void()> hidePerformanceWindows;
    std::function<void()> closeGraph3DWindows;
    std::function<void()> closeMonteCarloWindows;
    // The title of an open performance window; null for any other window.
    std::function<const std::string*(WindowRecord* window)> performanceTitle;
};

PlotWindowServicesState& PlotWindowServices();

}  // namespace kq5
