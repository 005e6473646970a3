#pragma once
// What the start, the run loops and the end of an analysis ask of the layers above the kernel:
// the analysis window and its dialogs, stepping, Monte Carlo and the 3-D windows. The plots and
// analyses fill the members at start-up (InstallAnalysisWindowServices, InstallSteppingRunServices,
// InstallAnalysisKindHandlers); while one is empty the analysis does without it, as a run with no
// window does: it computes its points and keeps them only in the solver and the variables.
#include <functional>
#include <string>

namespace kq5 {

struct WindowRecord;

struct AnalysisWindowServicesState {
    // The analysis window's record for the current circuit, sharing the circuit's plot; 0 or
    // 15002. Freeing it leaves the plot with the circuit.
    std::function<int()> openAnalysisWindow;
    std::function<void()> closeAnalysisWindow;
    // The Analysis Limits dialog of the current analysis: opening it (0 or a message id),
    // closing it, keeping the text of the field being edited, and pointing at the field or
    // expression row that made a run fail.
    std::function<int()> openLimitsDialog;
    std::function<void()> closeLimitsDialog;
    std::function<void()> storeFocusedLimitsText;
    std::function<void(int what, int index)> focusLimitsControl;
    // The empty limits rows of the circuit filled with their defaults (what the dialog does when
    // it opens), for a run without the dialog.
    std::function<void(WindowRecord* circuit)> fillDefaultLimitsRows;
    // The curve readouts drawn again while a run holds on P.
    std::function<void(WindowRecord* window)> drawCurveReadouts;
    // The run the cursors stand in; -1 for none.
    std::function<int()> selectedRun;
    // The stepped values (or the Monte Carlo case) of the plot's title (see FormatStepCaption).
    std::function<std::string(WindowRecord* window, bool wantRange)> stepCaption;
    // Stepping resolved at analysis start (its error is reported and refuses the runs).
    std::function<void()> prepareStepping;
    // What Monte Carlo keeps for an analysis: its Gaussian population and the REPORT WHEN
    // expression.
    std::function<void()> freeMonteCarloData;
    // The state variables editor goes with its analysis.
    std::function<void()> closeStateVariablesEditor;
    // The probe run after the analysis started in probe mode; 0 or a message id.
    std::function<int()> startProbeRun;
    // The 3-D windows made again from the runs (0 at the end of a run).
    std::function<void(int when)> recomputeGraph3DWindows;
    // The plot objects of the window, which are not drawn while a run goes on, drawn once it
    // has ended.
    std::function<void(WindowRecord* window)> drawPlotObjects;
};

AnalysisWindowServicesState& AnalysisWindowServices();

}  // namespace kq5
