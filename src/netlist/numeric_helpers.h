#pragma once
// Small numeric helpers shared by the analyses, the device models and the plots: the
// analysis file name, exponentials clamped so that device equations stay finite, logarithm
// helpers for scales and ranges, and the reading of value lists and range pairs typed into
// limits fields, attributes and SPICE lines; and the making and freeing of a window's plot.
#include <array>
#include <string>
#include <string_view>

namespace kq5 {

struct WindowRecord;

// The window's file name with its extension replaced by the analysis letter ("TADF" by the
// current analysis kind) followed by the suffix, at most three characters in all: with the
// suffix "NO" a transient analysis gets the extension TNO.
std::string MakeAnalysisFileName(const WindowRecord* record, std::string_view suffix);

// e^x with x first clamped to -150 .. 150 (defined with the analysis state).
double ClampedExp(double x);
// e^x with x first clamped to -80 .. 80.
double ClampedExpNarrow(double x);
// 10^x through ClampedExp, so x is effectively limited to about +-65.
double Pow10(double x);
// log10(|x|), 0 for x = 0.
double Log10Abs(double x);
// log10(x) with x below 1e-50 taken as 1e-50.
double Log10Floored(double x);

// The magnitude that represents the range a .. b: |b - a| when the rounded decades of a and
// b differ by more than 3, else whichever of a and b has the larger decade (a nonzero one).
double RangeMagnitudeOrSpan(double a, double b);

// Splits text at its first comma outside round brackets: text keeps the part before it, the
// part after it is returned (empty when there is no such comma).
std::string SplitAtTopLevelComma(std::string& text);

// "first,second": each a number or an expression; a missing second value is 0. 0, or the
// evaluator's error (second is then 0).
int ParseRangePair(std::string_view text, double& first, double& second);

// Gives the record a new empty plot; 0, or 15002 when memory runs out (the record keeps
// none then).
int CreatePlotRecord(WindowRecord* record);
// Empties the plot's object list and lets go of the plot, clearing the record's pointer; a
// null record or one without a plot is left alone.
void FreePlotRecord(WindowRecord* record);

// Values 1 to 10 of a comma list, value k at index k - 1.
using ValueList = std::array<double, 10>;

// The first n (at most 10) values of a comma list into values (cleared first). The strict
// form answers 15040 "Missing parameter." for an empty item or a list of fewer than n items;
// the lenient form takes both as 0. An evaluation error ends the parse with its id.
int ParseValueListStrict(std::string_view text, int n, ValueList& values);
int ParseValueListLenient(std::string_view text, int n, ValueList& values);

}  // namespace kq5
