#pragma once
// The limits of a new circuit: the default rows of each analysis kind and the emptied limits
// texts (the Analysis Limits dialog fills empty texts with their defaults when it opens), and the
// filling of empty rows with default expressions, ranges and formats before a run.
#include <functional>
#include <string>

namespace kq5 {

struct CircuitDocument;
struct LimitsRow;
struct WindowRecord;

// Rows a new circuit starts with, per analysis kind (transient, AC, DC).
constexpr int kDefaultLimitsRowCounts[3] = {2, 2, 1};

// Makes the default rows of analysis kind 0 to 2: empty texts, line width 1, enabled, each row
// in the curve colour of its position. 0, or 15002 when memory runs out.
int CreateDefaultLimitsRows(WindowRecord* record, int analysisKind);

// Sets the seventeen limits texts (4 transient, 6 AC, 7 DC) to "".
void ClearAnalysisLimitsTexts(CircuitDocument& document);

// The program-wide default value and scale formats of new rows ("Default Plot Values" and
// "Default Plot Scales").
const std::string& DefaultPlotValueFormat();
const std::string& DefaultPlotScaleFormat();

// Supplies the default formats of one row: an empty Fmt becomes the default value format; when
// Fmt is set, an empty second value format becomes the default value format and empty scale
// formats the default scale format. True when the row changed.
bool FillDefaultRowFormats(LimitsRow& row);
// The same for row `row` of the current analysis kind of the circuit window.
int FillDefaultRowFormats(WindowRecord* circuit, int row);

// Fills the empty texts of the current analysis kind's rows of the circuit window: without
// keepExpressions the empty limits fields get their defaults, and the empty X and Y expressions
// of rows that are plotted, printed or saved get the default X text and the circuit's nodes in
// turn, with the rows' default formats; empty ranges become "Auto", and with resetRanges every
// range does. A change marks the window changed (see NoteLimitsChange); with refresh the open
// limits dialog shows the rows again.
void FillDefaultLimitsRows(WindowRecord* circuit, bool keepExpressions, bool resetRanges, bool refresh);

// Marks the circuit window changed after its limits changed. A drawn circuit keeps its limits in
// its file, so it has something new to save; a text circuit's file holds only its text, so its
// limits changing asks for no save.
void NoteLimitsChange(WindowRecord* circuit);

// Shows the rows again in the open Analysis Limits dialog; the dialog puts itself here when it
// opens (empty before: there is no dialog to refresh).
std::function<void()>& LimitsRowsRefresh();

}  // namespace kq5
