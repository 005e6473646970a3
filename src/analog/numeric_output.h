#pragma once
// The numeric output file of an analysis (.TNO, .ANO, .DNO beside the circuit file): its header,
// the deferred model warnings, the temperature caption of each run, the tables of printed values
// after each run (interpolated at the print points of a transient or DC run, the stored points of
// an AC run), and its removal at the end of the analysis when nothing was written.
#include <string>

namespace kq5 {

struct CurveRecord;
struct PlotRecord;
struct WindowRecord;

inline constexpr int kMsgAnalysisNameBase = 5352;  // + AnalysisKind
inline constexpr int kMsgProductTitle = 5351;

struct NumericOutputState {
    int pending = 0;  // numeric output is wanted for the run; a failed line end clears it
    bool headerWritten = false;  // the header of the file now open is written
    bool captionWritten = false; // the temperature caption of the case is written
    bool rowsWritten = false;    // the file now open holds printed rows
};

NumericOutputState& NumericOutput();
void ResetNumericOutputForTests();

// Opens the analysis's numeric output file for writing on a free unit, named after the circuit
// window's file with "TADF"[kind] and "NO". 0, or the open error (the unit is then -1).
int OpenNumericOutputFile();
// Closes the numeric output unit, if open. What was written takes the old file's place only when
// it is kept: a run that failed, or a start that wrote nothing, leaves the old file as it was.
void CloseNumericOutputUnit(bool keep = true);

// After the operating point and at the end of each run: the header before the first run, the
// deferred warnings, the run's temperature caption and, when asked and the circuit holds
// semiconductors, the operating point report.
void WriteRunOutput(WindowRecord* window, int withOperatingPoint);
// The banner, "<analysis> of <circuit>" and the date stamp, centred.
void WriteOutputHeader(WindowRecord* window);
void WriteOutputBanner(int unit);
void WriteDateStampLine(int unit);
void WriteTemperatureLine(WindowRecord* window);
void WriteDeferredWarnings(int unit);
void WriteTemperatureWarnings(int unit);

// The printed values of the run, N rows for a transient or DC run. A run that is not complete
// (it failed part-way) prints only the rows up to the last X it computed.
void WritePrintedValues(WindowRecord* window, int pointCount, bool complete = true);
void WriteValueTable(WindowRecord* window, int group, int pointCount, bool complete = true);
// Whether the run the table is about stored points of a printed curve.
bool HasPrintedPoints(WindowRecord* window);
void WriteValueHeadings(WindowRecord* window, int group);

// The curve's value at x from its stored points first..n, the scan starting at index i; the
// value, and the index of the segment used. Mode bits: 1 logarithmic X, 2 logarithmic Y.
int InterpolateCurveAtX(PlotRecord& plot, double& value, double x, bool step, unsigned mode, int xSlot, int ySlot,
                        int n, int i);
double InterpolateLinear(double y1, double y0, double x, double x1, double x0);

// The prefix letter ("MEG" for 'M') followed by the unit name of the index (-1 none).
std::string MakeUnitSuffix(char prefix, int unitIndex);

// Deletes the analysis's numeric output file when it is empty.
void RemoveEmptyNumericOutput(WindowRecord* window);

}  // namespace kq5
