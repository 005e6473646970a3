#pragma once
// The analysis lines of a text netlist (.TRAN, .AC, .NOISE, .DC, .TEMP, .OP, .PRINT, .PLOT)
// and the analysis limits texts of the document, mapped both ways: reading a netlist writes
// the limits texts and rows, and the writers turn the limits back into analysis lines for the
// netlist's own text and for the SPICE export.
#include <string>
#include <string_view>

namespace kq5 {

struct WindowRecord;

// Dot-command handlers; each 0 or a status (15055 after a report).
int ParseDotTran(std::string_view line);
int ParseDotAC(std::string_view line);
int ParseDotNoise(std::string_view line);
int ParseDotDC(std::string_view line);
int ParseDotTemp(std::string_view line);
int ParseDotOP(std::string_view line);
int ParseDotPrintPlot(std::string_view line);

// 0 for "TRAN", 1 for "AC" and "NOISE", 2 for "DC", -1 otherwise.
int AnalysisKindOfWord(std::string_view word);

// V(...) and I(...) keep their form, VDB(2) becomes DB(V(2)), INOISE and ONOISE stay names.
std::string ConvertOutputVariable(std::string_view variable);

// After the text pass: merges the rows the .PRINT and .PLOT lines made (current analysis).
void MergePrintPlotRows(WindowRecord* record);
// Makes the default rows of the current analysis when the netlist gave none.
int MakeDefaultPrintPlotRows(WindowRecord* record, int analysisKind);

// Build helpers: the temperature text of the current analysis from the default temperature
// when it is empty; the format "%de" of the stepping count into every row.
void EnsureAnalysisTemperatureText(WindowRecord* record, double defaultTemperature);
void SetSteppedRowsFormat(WindowRecord* record, int steppingCount);

// Writers of the analysis lines from the limits texts of the record's document.
std::string WriteTranLine(WindowRecord* record);
std::string WriteAcLine(WindowRecord* record);
std::string WriteNoiseLine(WindowRecord* record);
std::string WriteDcLine(WindowRecord* record);
std::string WriteTempLine(WindowRecord* record);

// The .PRINT (print) or .PLOT line of the rows of an analysis kind whose plot group is the
// character (with '0', also the print rows without a group; with kEveryPrintedRow, every row of
// the numeric output whatever its group); long lines continue with "\n+ ". With braceExpressions,
// a row whose expression is no plain output variable is written in braces, {V(3)*1E-12}, which
// this program's reader takes back as one row (other SPICE programs do not read braces there).
inline constexpr char kEveryPrintedRow = 0;
struct PrintPlotLines {
    std::string text;        // empty when no row belongs to the group
    int continuationLines = 0;
    int firstRow = -1;
};
PrintPlotLines WritePrintPlotLines(WindowRecord* record, int analysisKind, bool print, char group,
                                   bool braceExpressions = false);

// The SPICE output variable of a row's expression (the reverse of ConvertOutputVariable).
std::string PrintPlotVariableText(std::string_view expression);

// Rewrites the analysis lines of a text circuit from its limits. 0, or 15055 after a report.
int UpdateTextAnalysisCommands(WindowRecord* record);

}  // namespace kq5
