#include "plots/import_reader.h"

#include <algorithm>
#include <cctype>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <new>

#include "core/analysis_state.h"
#include "netlist/numeric_helpers.h"
#include "analog/run_control.h"
#include "analog/transient_run.h"
#include "ui/status_text.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/format.h"
#include "core/text_edit.h"
#include "core/message_reporter.h"
#include "platform/string_table.h"
#include "document/circuit_document.h"
#include "document/file_names.h"
#include "results/curve_record.h"
#include "analog/analysis_run_services.h"
#include "plots/plot_setup.h"
#include "platform/disk_file_names.h"

namespace kq5 {

namespace {

constexpr int kMsgImportBeingWritten = 12001;
constexpr int kMsgImportNeedsF = 12002;
constexpr int kMsgIllegalImport = 12003;
constexpr int kMsgImportNeedsT = 12005;
constexpr int kMsgMissingParen = 12007;
constexpr int kMsgImportOpen = 12008;
constexpr int kMsgImportNotFound = 12009;
constexpr int kMsgImportNoCase = 12010;
constexpr int kMsgRunning = 17898;

constexpr std::size_t kPointsFirst = 1001;
constexpr std::size_t kPointsStep = 1000;
constexpr std::string_view kStateLetters = "0RF1XZ?";
constexpr std::uint16_t kFullStrength = 0x1F8;
constexpr double kSearchSlack = 1.00000000001;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
// Between the columns of a table; a page break (form feed) of a printed listing is a blank too.
bool IsSeparator(char c) { return IsBlank(c) || c == '\f' || c == '\v' || c == '\r'; }
bool IsIdentifierChar(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || c == '$';
}

std::string Upper(std::string_view text) { return CopyUpperCase(text); }

struct Token {
    std::size_t begin = 0;
    std::size_t end = 0;
};

std::vector<Token> SplitTokens(std::string_view line)
{
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsSeparator(line[i])) ++i;
        if (i >= line.size()) break;
        const std::size_t begin = i;
        while (i < line.size() && !IsSeparator(line[i])) ++i;
        tokens.push_back({begin, i});
    }
    return tokens;
}

std::string_view TokenText(std::string_view line, const Token& t) { return line.substr(t.begin, t.end - t.begin); }

bool IsCommentMark(char c) { return c == '*' || c == '#'; }
bool StartsNumber(char c) { return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+'; }
// A ruled line under a heading, "-----" or "=====".
bool IsRule(std::string_view token) { return token.find_first_not_of("-=_") == std::string_view::npos; }

// "TEMPERATURE", blanks, "=", and a number; NaN when the line is no such line.
double TemperatureOfLine(std::string_view line)
{
    const std::size_t at = line.find("TEMPERATURE");
    if (at == std::string_view::npos) return std::nan("");
    std::size_t i = at + 11;
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i >= line.size() || line[i] != '=') return std::nan("");
    ++i;
    while (i < line.size() && IsBlank(line[i])) ++i;
    std::size_t end = i;
    while (end < line.size() && !IsBlank(line[end])) ++end;
    if (end == i) return std::nan("");
    const double value = ParseNumber(line.substr(i, end - i));
    return ParseError() ? std::nan("") : value;
}

// The caption prints the temperature with "%g"; a section belongs to the run when the numbers
// agree at that precision.
bool SameTemperature(double fromFile, double run)
{
    return ParseNumber(StrPrintf("%g", fromFile)) == ParseNumber(StrPrintf("%g", run));
}

// `word` preceded by a blank, then blanks or "=", then `value`, then a blank or the end.
bool HasAssignment(std::string_view line, std::string_view word, std::string_view value)
{
    std::size_t from = 0;
    while ((from = line.find(word, from)) != std::string_view::npos) {
        const std::size_t start = from;
        from += 1;
        if (start == 0 || line[start - 1] != ' ') continue;
        std::size_t i = start + word.size();
        const std::size_t afterWord = i;
        while (i < line.size() && (IsBlank(line[i]) || line[i] == '=')) ++i;
        if (i == afterWord) continue;
        if (line.substr(i, value.size()) != value) continue;
        const std::size_t end = i + value.size();
        if (end == line.size() || line[end] == ' ') return true;
    }
    return false;
}

// The scale of the "(unit)" found below the column [begin, end) of the units line.
double UnitsLineScale(std::string_view units, std::size_t begin, std::size_t end)
{
    begin = std::min(begin, units.size());
    end = std::min(end, units.size());
    while (begin > 0 && units[begin - 1] != ' ') --begin;
    while (end < units.size() && units[end] != ' ') ++end;
    const std::string_view part = units.substr(begin, end - begin);
    const std::size_t open = part.find('(');
    if (open == std::string_view::npos) return 1.0;
    const std::size_t close = part.find(')', open);
    if (close == std::string_view::npos) return 1.0;
    return ImportUnitScale(part.substr(open + 1, close - open - 1));
}

bool ReadLine(std::istream& in, std::string& line)
{
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

// The case a section was looked for, as the caption of a stepped or repeated output names it.
std::string ImportCaseCaption()
{
    const ImportCaseState& state = ImportCase();
    std::string text;
    if (!state.stepping) return state.caseCounter < 2 ? text : StrPrintf("Case= %d", state.caseCounter);
    for (const ImportCaseSlot& slot : state.slots) {
        if (!text.empty()) text += ' ';
        text += StrPrintf("%s = %g", slot.name.c_str(), slot.value);
    }
    return text;
}

WindowRecord* CircuitWindowOf(WindowRecord* window)
{
    if (RunControl().circuitWindow) return RunControl().circuitWindow;
    if (window && window->document) return window;
    return CurrentRecord();
}

}  // namespace

std::size_t CountImportReferences(std::string_view text)
{
    const std::string upper = Upper(text);
    std::size_t n = 0;
    for (std::size_t at = upper.find("IMPORT"); at != std::string::npos; at = upper.find("IMPORT", at + 6)) ++n;
    return n;
}

ImportCaseState& ImportCase()
{
    static ImportCaseState state;
    return state;
}

void ResetImportCaseForTests() { ImportCase() = ImportCaseState{}; }

double ImportUnitScale(std::string_view unitText)
{
    const std::string unit = Upper(unitText);
    if (unit == "MHZ") return 1e6;
    // A unit name of this program's numeric output, with or without a prefix: the bare name
    // scales by 1, so that "F" (farad) or "GAUSS" is not read as femto or giga.
    static constexpr std::array<std::string_view, 14> kUnits = {
        "OERSTEDS", "DEGREES", "RADIANS", "GAUSS", "OHMS", "SEC", "HZ", "V", "A", "C", "F", "W", "H", "%",
    };
    for (std::string_view name : kUnits) {
        if (unit.size() < name.size() || unit.compare(unit.size() - name.size(), name.size(), name) != 0) continue;
        const std::string prefix = unit.substr(0, unit.size() - name.size());
        if (prefix.empty()) return 1.0;
        const double scale = ParseNumber("1" + prefix);
        if (!ParseError()) return scale;
    }
    const double scale = ParseNumber("1" + unit);
    return scale > 0.0 && std::isfinite(scale) ? scale : 1.0;
}

bool MatchImportCase(std::string_view line)
{
    if (!line.empty() && line.front() == '*') return true;
    const ImportCaseState& state = ImportCase();
    if (!state.stepping) {
        if (state.caseCounter < 2) return true;
        return HasAssignment(line, "CASE", StrPrintf("%d", state.caseCounter));
    }
    for (const ImportCaseSlot& slot : state.slots)
        if (!HasAssignment(line, Upper(slot.name), Upper(StrPrintf("%g", slot.value)))) return false;
    return true;
}

int ReadImportTable(std::istream& in, ImportRecord& record, const ImportScanRequest& request)
{
    record.count = 0;
    record.cursor = 0;
    record.lastX = 0.0;
    record.shared = 0;
    record.xScale = record.yScale = 1.0;
    try {
        if (!record.points || record.points.use_count() > 1) record.points = std::make_shared<std::vector<ImportPoint>>();
        record.points->clear();
        record.points->reserve(kPointsFirst);
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    std::vector<ImportPoint>& points = *record.points;
    const std::string name = Upper(record.name);

    bool sawTemperature = false;
    bool matching = true;  // a table without temperature lines is one section
    bool anyMatched = false;
    int xColumn = 0, yColumn = 0;  // 1-based token numbers, 0 unknown
    Token xHeader, yHeader;
    std::string xHeaderName;
    bool dataBegun = false;
    std::string raw;
    while (ReadLine(in, raw)) {
        const std::string line = Upper(raw);
        const double temperature = TemperatureOfLine(line);
        if (!std::isnan(temperature)) {
            sawTemperature = true;
            if (dataBegun) break;
            matching = SameTemperature(temperature, request.temperature) && MatchImportCase(line);
            if (matching) {
                anyMatched = true;
                record.temperature = request.temperature;
            }
            xColumn = yColumn = 0;
            continue;
        }
        if (!matching) continue;
        const std::vector<Token> tokens = SplitTokens(line);
        if (xColumn == 0) {
            // A header names the X column and the wanted column as whole tokens.
            int x = 0, y = 0;
            for (const std::string& xName : request.xNames) {
                for (std::size_t t = 0; t < tokens.size() && x == 0; ++t)
                    if (TokenText(line, tokens[t]) == xName) x = static_cast<int>(t) + 1;
                if (x) {
                    xHeaderName = xName;
                    break;
                }
            }
            for (std::size_t t = 0; t < tokens.size() && y == 0; ++t)
                if (TokenText(line, tokens[t]) == name && static_cast<int>(t) + 1 != x) y = static_cast<int>(t) + 1;
            if (x && y) {
                xColumn = x;
                yColumn = y;
                xHeader = tokens[static_cast<std::size_t>(x - 1)];
                yHeader = tokens[static_cast<std::size_t>(y - 1)];
                record.xScale = record.yScale = 1.0;
            }
            continue;
        }
        const bool dataLine = !tokens.empty() && StartsNumber(line[tokens[0].begin]) && !IsRule(TokenText(line, tokens[0]));
        if (!dataLine) {
            // Blank, comment and ruled lines inside a table are passed over, and so is its
            // heading repeated at the top of each page of a printed listing; any other line ends it.
            if (tokens.empty() || IsCommentMark(line[tokens[0].begin]) || IsRule(TokenText(line, tokens[0]))) continue;
            const auto column = [&](int c) {
                return c <= static_cast<int>(tokens.size()) ? TokenText(line, tokens[static_cast<std::size_t>(c - 1)])
                                                            : std::string_view();
            };
            if (column(xColumn) == xHeaderName && column(yColumn) == name) continue;
            if (dataBegun) break;
            const std::size_t first = line.find_first_not_of(" \t");
            if (first != std::string::npos && line[first] == '(') {
                record.xScale = UnitsLineScale(line, xHeader.begin, xHeader.end);
                record.yScale = UnitsLineScale(line, yHeader.begin, yHeader.end);
            }
            continue;
        }
        dataBegun = true;
        if (static_cast<int>(tokens.size()) < std::max(xColumn, yColumn)) {
            // A line that ends early restarts the table.
            points.clear();
            continue;
        }
        ImportPoint p;
        p.x = ParseNumber(TokenText(line, tokens[static_cast<std::size_t>(xColumn - 1)])) * record.xScale;
        const std::string_view yText = TokenText(line, tokens[static_cast<std::size_t>(yColumn - 1)]);
        if (request.digital) {
            const std::size_t index = kStateLetters.find(yText.front());
            p.y = index == std::string_view::npos ? 0.0 : static_cast<double>(index);
            if (!points.empty() && points.back().x == p.x) {
                points.back() = p;
                continue;
            }
        } else {
            p.y = ParseNumber(yText) * record.yScale;
        }
        try {
            // Room grows with the table, so that a long capture is not copied over and over.
            if (points.size() == points.capacity()) points.reserve(points.capacity() + std::max(kPointsStep, points.capacity()));
            points.push_back(p);
        } catch (const std::bad_alloc&) {
            return kMsgInsufficientMemory;
        }
    }
    // Interpolation walks the points in order of X: a table written in another order (merged
    // measurements, a sweep run back and forth) is put in order, equal X keeping their file order.
    const auto byX = [](const ImportPoint& a, const ImportPoint& b) { return a.x < b.x; };
    if (!std::is_sorted(points.begin(), points.end(), byX)) {
        std::stable_sort(points.begin(), points.end(), byX);
        if (request.digital) {
            // The last state written for a time is the one that holds.
            std::size_t kept = 0;
            for (const ImportPoint& p : points) {
                if (kept > 0 && points[kept - 1].x == p.x) points[kept - 1] = p;
                else points[kept++] = p;
            }
            points.resize(kept);
        }
    }
    record.count = static_cast<std::int32_t>(points.size());
    if (record.count > 0) return kImportTableRead;
    return sawTemperature && !anyMatched ? kImportNoSection : kImportNotFound;
}

std::vector<std::string> ImportXColumnNames()
{
    switch (Analysis().analysisKind) {
    case kAnalysisTransient: return {"TIME", "T"};
    case kAnalysisAc: return {"FREQUENCY", "FREQ", "F"};
    case kAnalysisDc: {
        WindowRecord* circuit = CircuitWindowOf(nullptr);
        const std::string source =
            circuit && circuit->document ? circuit->document->limits.dc[kLimitI1] : std::string();
        // The sweep's own output heads its X column V(source), or I(source) for a current source.
        return {Upper(StrPrintf("V(%s)", source.c_str())), Upper(StrPrintf("I(%s)", source.c_str()))};
    }
    default: return {};
    }
}

int ParseImportReferences(WindowRecord*, CurveRecord& curve, std::string& text, bool check, int& error)
{
    error = 0;
    std::string upper = Upper(text);
    int occurrences = 0;
    for (std::size_t at = upper.find("IMPORT"); at != std::string::npos; at = upper.find("IMPORT", at + 6)) {
        ++occurrences;
        std::size_t next = at + 6;
        std::size_t blanks = next;
        while (blanks < text.size() && IsBlank(text[blanks])) ++blanks;
        text.erase(next, blanks - next);
        upper.erase(next, blanks - next);
        if (next >= text.size() || text[next] != '(') {
            ReportAnalysisFailure0(kFocusExpressionRow, curve.rowIndex, kMsgMissingParen);
            error = 1;
            return 1;
        }
    }
    const std::size_t first = curve.imports.size();
    if (!check || occurrences == 0) return 0;

    const int kind = Analysis().analysisKind;
    if (kind == kAnalysisTransient && curve.xLetter[0] != 'T') {
        ReportAnalysisFailure0(kFocusExpressionRow, curve.rowIndex, kMsgImportNeedsT);
        error = 1;
    } else if (kind == kAnalysisAc && curve.xLetter[0] != 'F') {
        ReportAnalysisFailure0(kFocusExpressionRow, curve.rowIndex, kMsgImportNeedsF);
        error = 1;
    }

    for (std::size_t at = upper.find("IMPORT("); !error && at != std::string::npos; at = upper.find("IMPORT(", at + 6)) {
        if (at > 0 && IsIdentifierChar(upper[at - 1])) continue;
        const std::size_t open = at + 6;
        std::size_t close = std::string::npos;
        int depth = 0;
        for (std::size_t i = open; i < text.size(); ++i) {
            if (text[i] == '(') ++depth;
            if (text[i] == ')' && --depth == 0) {
                close = i;
                break;
            }
        }
        const std::size_t comma = close == std::string::npos ? std::string::npos : text.find(',', open);
        if (close == std::string::npos || comma == std::string::npos || comma > close) {
            ReportAnalysisFailure0(kFocusExpressionRow, curve.rowIndex, kMsgIllegalImport);
            error = 1;
            break;
        }
        ImportRecord record;
        // Blanks around the file and the name, as in IMPORT(data.txt, V(OUT)), are not theirs.
        std::string file = text.substr(open + 1, comma - open - 1);
        std::string name = text.substr(comma + 1, close - comma - 1);
        Trim(file);
        record.name = Trim(name);
        GetUpperFullPath(file, 0);
        record.file = file;
        try {
            if (first == 0 && curve.imports.capacity() < static_cast<std::size_t>(occurrences))
                curve.imports.reserve(static_cast<std::size_t>(occurrences));
            // Room was reserved by the caller; growing now would move records already compiled.
            if (curve.imports.size() == curve.imports.capacity()) {
                ReportAnalysisFailure0(kFocusExpressionRow, curve.rowIndex, kMsgIllegalImport);
                error = 1;
                break;
            }
            curve.imports.push_back(std::move(record));
        } catch (const std::bad_alloc&) {
            ReportAnalysisOutOfMemory();
            error = 1;
            break;
        }

        // "(file,name)" becomes one blank.
        for (std::string* t : {&text, &upper}) {
            (*t)[open] = ' ';
            t->erase(open + 1, close - open);
        }
    }
    return 1;
}

int ScanImportFile(WindowRecord* window, int curveIndex, int index, double temperature)
{
    PlotRecord* plot = RunPlotOf(window);
    if (!plot || curveIndex < 0 || curveIndex >= static_cast<int>(plot->curves.size())) return 0;
    CurveRecord& curve = *plot->curves[static_cast<std::size_t>(curveIndex)];
    if (index < 0 || index >= static_cast<int>(curve.imports.size())) return 0;
    ImportRecord& record = curve.imports[static_cast<std::size_t>(index)];
    record.count = record.cursor = record.shared = 0;
    record.lastX = 0.0;

    const int kind = Analysis().analysisKind;
    for (int c = 0; c <= curveIndex; ++c) {
        const CurveRecord& other = *plot->curves[static_cast<std::size_t>(c)];
        const int last = c == curveIndex ? index : static_cast<int>(other.imports.size());
        for (int k = 0; k < last; ++k) {
            const ImportRecord& earlier = other.imports[static_cast<std::size_t>(k)];
            if (!EqualsNoCase(earlier.file, record.file) || !EqualsNoCase(earlier.name, record.name)) continue;
            if (kind == kAnalysisDc && !EqualsNoCase(other.xExpressionText, curve.xExpressionText)) continue;
            record.count = earlier.count;
            record.cursor = earlier.cursor;
            record.lastX = earlier.lastX;
            record.points = earlier.points;
            record.xScale = earlier.xScale;
            record.yScale = earlier.yScale;
            record.temperature = earlier.temperature;
            record.shared = 1;
            return 0;
        }
    }

    WindowRecord* circuit = CircuitWindowOf(window);
    if (circuit && EqualsNoCase(record.file, MakeAnalysisFileName(circuit, "NO"))) {
        ReportAnalysisFailure0(kFocusExpressionRow, curve.rowIndex, kMsgImportBeingWritten);
        return kMsgAlreadyReported;
    }
    SetStatusText(StrPrintf("Scanning import file %s for %s", record.file.c_str(), record.name.c_str()));
    std::ifstream in(win::DiskFileName(record.file), std::ios::binary);
    if (!in) {
        ReportAnalysisFailure(kFocusExpressionRow, curve.rowIndex, nullptr, kMsgImportOpen, record.file);
        SetStatusText(LoadResString(kMsgRunning));
        return kMsgAlreadyReported;
    }
    ImportScanRequest request;
    request.xNames = ImportXColumnNames();
    request.temperature = temperature;
    request.digital = curve.groupKind != kGroupAnalog && curve.digital;
    const int rc = ReadImportTable(in, record, request);
    SetStatusText(LoadResString(kMsgRunning));
    if (rc == kMsgInsufficientMemory) {
        ReportAnalysisOutOfMemory();
        return kMsgInsufficientMemory;
    }
    if (rc == kImportNoSection) {
        ReportAnalysisFailure(kFocusExpressionRow, curve.rowIndex, nullptr, kMsgImportNoCase,
                              FormatTemperatureCaption(window).append(ImportCaseCaption()), record.name, record.file);
        return kMsgAlreadyReported;
    }
    if (rc == kImportNotFound) {
        ReportAnalysisFailure(kFocusExpressionRow, curve.rowIndex, nullptr, kMsgImportNotFound, record.name,
                              record.file);
        return kMsgAlreadyReported;
    }
    if (request.digital) {
        const double start = TransientRun().tmin;
        const double end = TransientRun().tmax;
        const double tick = end > 0.0 ? end / 1e9 : 0.0;
        for (ImportPoint& p : *record.points) {
            p.y = static_cast<double>(static_cast<std::uint16_t>(p.y) | kFullStrength);
            if (kind != kAnalysisTransient || tick <= 0.0 || p.x > end) continue;
            const double ticks = std::ceil((p.x - start) / tick);
            if (ticks >= 0.0 && AddTimeBreakpoint(static_cast<std::uint32_t>(ticks)) == kMsgInsufficientMemory) {
                ReportAnalysisOutOfMemory();
                return kMsgInsufficientMemory;
            }
        }
    }
    return 0;
}

int ScanCurveImports(WindowRecord* window)
{
    PlotRecord* plot = RunPlotOf(window);
    if (!plot) return 0;
    for (int c = 0; c < plot->curveCount && c < static_cast<int>(plot->curves.size()); ++c) {
        const int n = static_cast<int>(plot->curves[static_cast<std::size_t>(c)]->imports.size());
        for (int k = 0; k < n; ++k)
            if (const int rc = ScanImportFile(window, c, k, Analysis().variables.temp)) return rc;
    }
    return 0;
}

void InterpolateImports(WindowRecord*, CurveRecord& curve, double x)
{
    const bool digital = curve.digital != 0;
    for (ImportRecord& r : curve.imports) {
        if (!r.points || r.count <= 0) continue;
        const std::vector<ImportPoint>& p = *r.points;
        const int n = std::min(r.count, static_cast<std::int32_t>(p.size()));
        if (x < r.lastX) r.cursor = 0;
        double value;
        if (x >= p[static_cast<std::size_t>(n - 1)].x) {
            value = p[static_cast<std::size_t>(n - 1)].y;
        } else if (x <= p[0].x) {
            value = p[0].y;
        } else {
            int i = std::max(r.cursor - 1, 1);
            while (i < n - 1 && p[static_cast<std::size_t>(i)].x * kSearchSlack < x) ++i;
            r.cursor = i;
            const ImportPoint& b = p[static_cast<std::size_t>(i)];
            const ImportPoint& a = p[static_cast<std::size_t>(i - 1)];
            if (digital)
                value = b.y;
            else if (b.x == a.x)
                value = 0.5 * (a.y + b.y);
            else
                value = a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x);
        }
        r.lastX = x;
        r.value = value;
    }
}

}  // namespace kq5
