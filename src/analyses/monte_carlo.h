#pragma once
// Monte Carlo runs: the options of each analysis kind, the perturbation of toleranced model
// parameters before each run, the failure report and the statistics of a histogram window.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace kq5 {

struct WindowRecord;
struct EvaluatedModel;
struct MonteCarloWindowRecord;

inline constexpr int kMsgPopulationExceeded = 15001;
inline constexpr int kMsgMonteCarloAndStepping = 15004;
inline constexpr int kMsgNoMonteCarloFailures = 13952;
inline constexpr int kMaxMonteCarloRuns = 30000;
inline constexpr int kGaussianPopulationSize = 2013;  // entries allocated
inline constexpr int kGaussianPopulationFill = 2002;  // entries the build fills
inline constexpr int kMonteCarloGroupCount = 10;

// Distribution codes of the options word and of a tolerance's distribution byte.
inline constexpr int kDistributionNormal = 1;
inline constexpr int kDistributionLinear = 2;
inline constexpr int kDistributionWorstCase = 3;

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
// The failure report of the run just ended into the numeric output file.
void WriteMonteCarloFailure();
// When the analysis ends.
void FreeGaussianPopulation();
void FreeReportWhenExpression();

// The Gaussian population: 2002 samples of a standard normal distribution offset by 10,
// quantised to steps of 0.06 within 7 to 13. 0, or 15001 when the table would overflow.
int BuildGaussianPopulation();
std::span<const double> GaussianPopulation();

// The random value of one toleranced parameter: the distribution byte (0 takes the analysis's
// distribution) and the group (-1 none, else 0..9: the group's number of this run).
double PerturbValue(double nominal, double tolerance, int distribution, int group);

// The analysis's distribution code from the document's options word (0 acts as Normal).
int CurrentMonteCarloDistribution();

// Low, mean, high and population standard deviation of the values.
struct RunStatistics {
    double low = 0.0;
    double mean = 0.0;
    double high = 0.0;
    double deviation = 0.0;
};
RunStatistics ComputeRunStatistics(std::span<const double> values);

// A model parameter that Monte Carlo never varies (not numeric, or a level, a type or a parasitic
// resistance of the semiconductor rows). Stepping uses the same test: such a parameter needs
// a new circuit build when stepped.
bool IsParamExcludedFromTolerance(int modelType, int paramIndex);

// Whether a LOT or DEV amount means "no tolerance": both 0 (of either sign) and -1.0.
bool IsNoTolerance(float tolerance);

// The "Statistics" command of a Monte Carlo window: writes the statistics file and shows it.
// 0, or 16000 + errno when the file cannot be written (reported).
int WriteMonteCarloStatistics(MonteCarloWindowRecord* window);
// The statistics text of a window; the name of the file it goes to.
std::string MonteCarloStatisticsFileName();

// "Open MC" (17106): the failed cases of a numeric output file as new circuit windows.
int OpenMonteCarloCase();
// The same for a chosen file: the number of cases opened, or -1 after reporting.
int OpenMonteCarloCasesFrom(const std::string& numericOutputFile);

// Command 17158 and its Functions dialog (17161).
int RunMonteCarloOptionsDialog();
win::INT_PTR MonteCarloOptionsDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
// Ends with 1 + the chosen function's index, or 0.
win::INT_PTR MonteCarloFunctionsDlgProc(win::HWND dialog, win::UINT message, win::WPARAM wParam, win::LPARAM lParam);
// The function's line, after a blank, replaces the selection of the Report When edit, which
// then has the focus.
void InsertReportWhenFunction(win::HWND optionsDialog, int functionIndex);
// The line of a performance function in the Functions list: "Rise_Time(Expr,Boolean,N,Low,High)".
std::string MonteCarloFunctionLine(int functionIndex);

// The menu entries of the Monte Carlo functions: entry n shows function n's window.
inline constexpr int kFirstMonteCarloFunctionCommand = 17371;
inline constexpr int kLastMonteCarloFunctionCommand = 17380;

// The Monte Carlo commands of the frame: 17106 Open MC, 17157 Add Histogram, 17158 Options,
// 17160 Statistics, 17163 Change Histogram, 17181 Delete Histograms and the function entries.
// 0 when handled, 1 for any other command.
int RouteMonteCarloCommand(int id, WindowRecord* active);

// State for tests.
void ResetMonteCarloForTests();
// The values of the ten groups drawn for the run in progress.
std::span<const double> GroupRandomTable();
// Whether a compiled Report When expression is held.
bool HasReportWhenExpression();

}  // namespace kq5
