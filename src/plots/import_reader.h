#pragma once
// IMPORT(file,name) in a curve expression: the column `name` of a data file (a numeric output
// file of an earlier run, or a table made by hand), read as X and Y points for the run's
// temperature and case and interpolated at each point of the running analysis.
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "core/import_entry.h"

namespace kq5 {

struct CurveRecord;
struct WindowRecord;

// What a header line must name for the run being made: the case counter of stepped or Monte
// Carlo runs and the stepped parameters with their present values. The runs that step keep it.
struct ImportCaseSlot {
    std::string name;  // parameter name
    double value = 0.0;
};
struct ImportCaseState {
    int caseCounter = 1;
    bool stepping = false;
    std::vector<ImportCaseSlot> slots;  // the active slots among the first five
};
ImportCaseState& ImportCase();
void ResetImportCaseForTests();

// The number of "IMPORT" words in a text (the records a parse of it appends at most).
std::size_t CountImportReferences(std::string_view text);

// Finds the IMPORT references of `text`, rewrites it (each "(file,name)" becomes a blank) and
// appends the curve's import records (the caller reserves room for every record of the curve
// first: compiled expressions hold their addresses). Returns 1 when the text holds references, else 0; `error`
// becomes 1 when an error was reported. Without `check` the records are only counted.
int ParseImportReferences(WindowRecord* window, CurveRecord& curve, std::string& text, bool check, int& error);

// One table scan, without messages: reads the points of `record` from `in`.
struct ImportScanRequest {
    std::vector<std::string> xNames;  // upper case, in the order tried
    double temperature = 27.0;
    bool digital = false;
};
inline constexpr int kImportTableRead = 0;
inline constexpr int kImportNoSection = 1;  // temperature lines were met, none for this run
inline constexpr int kImportNotFound = 2;   // no header with both columns, or no data
int ReadImportTable(std::istream& in, ImportRecord& record, const ImportScanRequest& request);

// The names the X column is searched by in the current analysis.
std::vector<std::string> ImportXColumnNames();

// The scale of a units-line entry such as "US", "MV", "KOHMS" or "MEGHZ" ("MHZ" reads as
// mega; every other M is milli).
double ImportUnitScale(std::string_view unit);

// Whether an upper-cased "TEMPERATURE" header line belongs to the present run case.
bool MatchImportCase(std::string_view line);

// Reads import `index` of curve `curveIndex` for the run temperature: 0, 15055 or 15002.
int ScanImportFile(WindowRecord* window, int curveIndex, int index, double temperature);
// Every import of every curve, stopping at the first error.
int ScanCurveImports(WindowRecord* window);
// Sets the value of each import record of the curve for x.
void InterpolateImports(WindowRecord* window, CurveRecord& curve, double x);

}  // namespace kq5
