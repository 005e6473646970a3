#pragma once
// The curves of a run: at the start of every run the limits rows of the current analysis kind
// become the curve records of the analysis window's plot (expressions compiled once, ranges
// and number formats read once), the plot groups are numbered without gaps, and the columns of
// the numeric output are chosen.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win_types.h"
#include "results/curve_record.h"

namespace kq5 {

struct WindowRecord;

inline constexpr int kMsgNoExpressionToPlot = 13801;
inline constexpr int kMsgMixedLogLinear = 13802;
inline constexpr int kMsgIllegalRange = 13803;
inline constexpr int kMsgFormatError = 13805;
inline constexpr int kMsgDifferentXExpressions = 13807;
inline constexpr int kMsgFftAsX = 13810;
inline constexpr int kMsgFftNeedsFOrT = 13811;
inline constexpr int kMsgDigitalAsX = 13813;
inline constexpr int kMsgDigitalInAc = 13815;

// Values of the run that the set-up and the evaluation share.
struct PlotRunState {
    std::int32_t acceptedPoints = -1;  // evaluations in this run, -1 before the first
    bool keepEveryPoint = false;       // an AC run plots an FFT or IFT
    bool forceKeepEveryPoint = false;  // the run control asks every point to be kept
    bool tracesStarted = false;        // the first point of the run has been plotted
    bool pointAccepted = false;        // a point was plotted since the last evaluation
    // The first point of the run whose time a curve moved to the run's start (its store and
    // index): the other curves that share the time column find it at the start time and must
    // not take it for a point computed there.
    const WaveformStore* startMovedStore = nullptr;
    std::int32_t startMovedPoint = -1;
    // The analysis window's DC and the curves' pens while a run draws into it (taken at the
    // first drawn point, given back at the end of the case or when the window goes).
    win::HWND liveWindow = nullptr;
    win::HDC liveDC = nullptr;
    std::vector<win::HPEN> livePens;
};

PlotRunState& PlotRun();

// The plot of a run: the window's, else the circuit window's.
PlotRecord* RunPlotOf(WindowRecord* window);
void ResetPlotRunForTests();

// Rebuilds the curves of the window's plot from the limits rows for the run; with makeStore
// also makes the waveform store. 0, or 15055 when the set-up failed (the failure is reported
// once through the run-failure reporter).
int SetupPlotsForRun(WindowRecord* window, bool makeStore);

// Appends a curve for limits row `row` of the current kind with the role flags, or, when
// `added` says that the row has its curve already (at `curveIndex`), ORs the flags into it.
// 0, or 15055 after a report.
int AddCurveFromLimitsRow(WindowRecord* window, int row, bool& added, int& curveIndex, std::uint32_t roleFlags);

// Compiles one axis expression of a curve and checks what the axis may hold. 0, or 15055 after
// a report.
int CompileCurveExpression(const std::string& text, CurveRecord& curve, int axis, int analysisKind);
// The same for a text whose defines are substituted: its IMPORT references are taken out into the
// curve's import records first (room for the records of both axes reserved by the caller, the X
// axis compiled before the Y axis). 0, or 15055 after a report.
int CompileCurveAxisWithImports(WindowRecord* window, std::string text, CurveRecord& curve, int axis, int analysisKind);

// The printf format of a format text: "nE" (n decimals in exponent form, width n + 8) or "w.p"
// (width w + p + 1, p decimals). 0, or 15055 after reporting "Error in format." as a warning
// (reportRow -1) or through the run-failure reporter pointing at row reportRow.
int MakeNumberFormat(NumberFormat& format, const std::string& text, int reportRow);

// The axis ranges of a curve from the range texts of its row ("Auto" or "high[,low]"). 0, or
// 15055 after a report.
int SetCurveRangesFromRow(WindowRecord* window, CurveRecord& curve, int row);

// Automatic range of an axis: the range the analysis gives it when known, else 10 down to -10
// (linear) or to 1 (logarithmic).
void SetDefaultAxisRange(CurveRecord& curve, int axis);
// True when the axis shows the analysis's own sweep, whose range is then set.
bool KnownAxisRange(CurveRecord& curve, int axis);

void ShareGroupAxisRanges(WindowRecord* window);
void CompactPlotGroupNumbers(WindowRecord* window);
void MarkGroupDigitalKinds(WindowRecord* window);
// Within each plot group: the same log/linear choice and the same X expression. 0, or 15055
// after a report.
int CheckGroupConsistency(WindowRecord* window);
void ResetCurveReferenceRanges(WindowRecord* window);
// True when a printed column already holds the expression of the curve's axis.
bool IsRepeatedExpression(WindowRecord* window, int curveIndex, int axis);
// Same instructions with the same operands.
bool SameCompiledExpression(const CompiledExpression& a, const CompiledExpression& b);
// The widest bus (argument count of BIN, BINARY, OCT, DEC, HEX) of an expression, 0 none.
int GetMaxBusFunctionArgCount(const CompiledExpression& expression);
// True in an AC analysis when a curve uses FFT or IFT.
bool HasFftCurveInAC(WindowRecord* window);

// The engineering prefix letter (0 for none) and its factor that read values between a and b
// with their digits; false when no prefix does: 0, beyond 1e-15 to 1e15, or a logarithmic span
// of three decades or more.
bool ChooseEngineeringPrefix(double a, double b, bool logarithmic, char& prefix, double& factor);

// The engineering prefix of an axis from its range: none outside 1e-15 to 1e15 or for a range
// of 0.
void ChooseAxisLabelScale(CurveRecord& curve, int axis);

}  // namespace kq5
