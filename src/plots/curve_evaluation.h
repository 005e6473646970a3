#pragma once
// The curves during a run: at every accepted point each curve's X and Y expressions are
// evaluated, folded into the curve's extremes and stored in the waveform store; between runs of
// a stepped or temperature-swept analysis the next case is prepared.
namespace kq5 {

struct WindowRecord;

// Evaluates the X, then the Y expression of every curve at the present point. 0, or 15055
// after reporting an evaluation error (the run's stop flag is then set).
int EvaluateCurveExpressions(WindowRecord* window);
// The time (transient), frequency (AC) or Input 1 value (DC) of the present point; 0 without
// an analysis.
double CurrentSweepValue();
// Moves the state cells of the expressions with memory on to the present point.
void EvaluateAnalysisPoint(WindowRecord* window);
// Folds the present values of curves first to last into their extremes.
void UpdateCurveExtremes(WindowRecord* window, int first, int last);
// The start of a run's traces: every curve's previous values become its present ones.
void StartCurveTraces(WindowRecord* window, bool firstPoint);
// Stores the present point of every curve.
void PlotCurrentPoint(WindowRecord* window, int flag);
void PlotCurveNewPoint(WindowRecord* window, int curveIndex);
// Counts the case and prepares the circuit at the run's temperature. 0 or a message id.
int BeginNextRun(WindowRecord* window, double temperature);

// Gives back the window DC and the pens that the live drawing of a run holds.
void EndLiveDrawing();
// The end of a case in the analysis window: ranges from the data, a redraw when they changed,
// and the cursors on the new run.
void FinishPlotCase(WindowRecord* window);

// Installs the set-up, evaluation, storing and next-run steps as the run services of the
// transient, AC and DC runs.
void InstallPlotRunServices();

}  // namespace kq5
