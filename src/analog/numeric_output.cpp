#include "analog/numeric_output.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "core/batch_log.h"
#include "analog/dc_sweep_run.h"
#include "analog/device_run_services.h"
#include "netlist/numeric_helpers.h"
#include "analog/run_control.h"
#include "ui/user_names.h"
#include "ui/window_record.h"
#include "core/device_lists.h"
#include "core/engineering_numbers.h"
#include "core/file_units.h"
#include "core/format.h"
#include "core/message_reporter.h"
#include "core/timers.h"
#include "ui/program_settings.h"
#include "core/digital_logic_tables.h"
#include "document/file_names.h"
#include "netlist/global_options.h"
#include "netlist/model_statements.h"
#include "results/digital_value_text.h"
#include "analog/analysis_run_services.h"
#include "results/curve_record.h"
#include "results/waveform_store.h"
#include "platform/disk_file_names.h"

namespace kq5 {

namespace {

// The device lists whose devices the operating point report covers.
constexpr int kReportedDeviceLists[] = {34, 28, 15, 19, 23};  // BJT, diode, JFET, MOSFET, GaAsFET

constexpr int kMsgNegativePotential = 13690;
constexpr int kMsgCheckModelValues = 13691;

int UnitError(int unit)
{
    const FileUnit* slot = GetFileUnit(unit);
    return slot ? slot->lastError : 0;
}

std::string WithoutBlanks(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    return text;
}

// Right-aligned in width columns after cutting to precision characters ("%*.*s").
std::string RightAligned(const std::string& text, int width, int precision)
{
    std::string cut = text.substr(0, static_cast<std::size_t>(std::max(precision, 0)));
    if (static_cast<int>(cut.size()) < width) cut.insert(0, static_cast<std::size_t>(width) - cut.size(), ' ');
    return cut;
}

// The one conversion of a cell format must take a double: flags, width, precision and one of
// e, E, f, g, G. Anything else (a text conversion, a star, a second conversion) is not used as a
// format; the default cell format stands in.
bool IsSafeDoubleFormat(const std::string& format)
{
    int conversions = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        if (i + 1 < format.size() && format[i + 1] == '%') {
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        while (j < format.size() && std::string_view("-+ #0").find(format[j]) != std::string_view::npos) ++j;
        while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j]))) ++j;
        if (j < format.size() && format[j] == '.') {
            ++j;
            while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j]))) ++j;
        }
        if (j >= format.size() || std::string_view("eEfgG").find(format[j]) == std::string_view::npos) return false;
        ++conversions;
        i = j;
    }
    return conversions == 1;
}

// The format a column's cells are written with: its own when that is one double conversion,
// else the default cell format. The plain forms the program makes ("%10.3f", "% .3e") are
// written by std::to_chars, which rounds exactly as printf does and gives the same text; any
// other goes through printf.
struct CellFormat {
    const char* text = nullptr;
    bool direct = false;  // written by to_chars
    bool space = false;   // the ' ' flag: a blank before a value without a sign
    int width = 0;
    int precision = 0;
    std::chars_format style = std::chars_format::fixed;
};

CellFormat MakeCellFormat(const CurvePrintAxis& axis)
{
    static const std::string fallback = CurvePrintAxis{}.format;
    CellFormat f;
    f.text = IsSafeDoubleFormat(axis.format) ? axis.format.c_str() : fallback.c_str();
    const std::string_view t(f.text);
    if (t.size() < 4 || t.front() != '%') return f;
    std::size_t i = 1;
    if (t[i] == ' ') f.space = true, ++i;
    auto digits = [&](int& value) {
        const std::size_t from = i;
        for (value = 0; i < t.size() && i - from < 3 && std::isdigit(static_cast<unsigned char>(t[i])); ++i)
            value = 10 * value + (t[i] - '0');
        return i > from;
    };
    if (i < t.size() && t[i] != '.' && !digits(f.width)) return f;
    if (i >= t.size() || t[i] != '.') return f;
    ++i;
    if (!digits(f.precision) || i + 1 != t.size()) return f;
    if (t[i] == 'f') f.style = std::chars_format::fixed;
    else if (t[i] == 'e') f.style = std::chars_format::scientific;
    else return f;
    f.direct = true;
    return f;
}

// A value of fewer than 16 digits in "%.Nf": its digits rounded as printf rounds them, from
// the exact product value x 10^N (the rounded product and its error, which fma gives
// exactly): only a product that lies on a half can round otherwise than the rounded product
// does. False when the value is too large for this.
bool FormatFixedDirect(char* text, std::size_t size, int precision, double value, int& length)
{
    static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
    if (precision < 0 || precision > 8) return false;
    const double scale = kPowers[precision];
    const double y = std::fabs(value) * scale;
    if (!(y < 1e15)) return false;
    const double error = std::fma(std::fabs(value), scale, -y);
    double n = std::nearbyint(y);
    const double t = y - n;
    if (t == 0.5 && error > 0.0) n += 1.0;
    else if (t == -0.5 && error < 0.0) n -= 1.0;
    // Digits from the right: the fraction, the point, the integer part (at least "0").
    char digits[32];
    char* p = digits + sizeof digits;
    auto whole = static_cast<std::uint64_t>(n);
    for (int i = 0; i < precision; ++i) {
        *--p = static_cast<char>('0' + whole % 10);
        whole /= 10;
    }
    if (precision > 0) *--p = '.';
    do {
        *--p = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole != 0);
    if (std::signbit(value)) *--p = '-';
    const auto count = static_cast<std::size_t>(digits + sizeof digits - p);
    if (count >= size) return false;
    std::memcpy(text, p, count);
    length = static_cast<int>(count);
    return true;
}

// One value by the format, written into text: its characters, without the blanks that pad
// it to the format's width (the caller adds them); no characters when it does not fit (the
// caller then asks printf).
std::string_view FormatCell(char* text, std::size_t size, const CellFormat& f, double value)
{
    if (!f.direct || !std::isfinite(value) || size < 2) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
        const int n = std::snprintf(text, size, f.text, value);
#pragma GCC diagnostic pop
        return n < 0 || n >= static_cast<int>(size) ? std::string_view() : std::string_view(text, static_cast<std::size_t>(n));
    }
    // One place left in front for the blank of the ' ' flag.
    char* const begin = text + 1;
    char* end = nullptr;
    int n = 0;
    if (f.style == std::chars_format::fixed && FormatFixedDirect(begin, size - 1, f.precision, value, n)) {
        end = begin + n;
    } else {
        const std::to_chars_result r = std::to_chars(begin, text + size, value, f.style, f.precision);
        if (r.ec != std::errc()) return {};
        end = r.ptr;
    }
    char* first = begin;
    if (f.space && *begin != '-') *--first = ' ';
    return std::string_view(first, static_cast<std::size_t>(end - first));
}

// Appends a value in its column: formats without a width (the exponent forms) are padded to the
// cell width that the headings are aligned to.
void AppendColumnCell(std::string& row, const CellFormat& format, int cellWidth, double value)
{
    char buffer[96];
    const std::string_view formatted = FormatCell(buffer, sizeof buffer, format, value);
    const std::string wide = formatted.data() ? std::string() : StrPrintf(format.text, value);
    const std::string_view cell = formatted.data() ? formatted : wide;
    // The direct forms leave the padding to the format's width to this.
    const int width = std::max(cellWidth, format.direct ? format.width : 0);
    if (cell.size() < static_cast<std::size_t>(std::max(width, 0))) row.append(static_cast<std::size_t>(width) - cell.size(), ' ');
    row += cell;
}

struct PrintedCurve {
    CurveRecord* curve;
    std::array<bool, 2> axes;
    std::array<CellFormat, 2> formats;
    std::array<int, 2> widths;  // of the columns, each wide enough for its heading
};

// The column's heading: the expression with its blanks removed, and the unit below it.
std::string ColumnHeading(const CurveRecord& curve, int axis)
{
    return WithoutBlanks(axis == 0 ? curve.xExpressionText : curve.yExpressionText);
}

std::string ColumnUnit(const CurvePrintAxis& a)
{
    const std::string suffix = MakeUnitSuffix(a.prefix, a.unitIndex);
    return WithoutBlanks(suffix.empty() ? std::string() : "(" + suffix + ")");
}

// A heading cut to the width of the numbers below it could no longer be told from another
// (V(OUT1)-V(IN) and V(OUT1)-V(REF) both read V(OUT1)-V), nor found by a later IMPORT of the
// file: such a column is made as wide as its heading.
int ColumnWidth(const CurveRecord& curve, int axis)
{
    const CurvePrintAxis& a = curve.printAxis[static_cast<std::size_t>(axis)];
    const std::size_t heading = std::max(ColumnHeading(curve, axis).size(), ColumnUnit(a).size());
    return std::max(a.cellWidth, static_cast<int>(heading));
}

bool IsCrossDomain(const CurveRecord& curve, int kind)
{
    return curve.crossDomain &&
           ((curve.xLetter[0] == 'F' && kind == kAnalysisTransient) || (curve.xLetter[0] == 'T' && kind == kAnalysisAc));
}

std::vector<PrintedCurve> CurvesOfGroup(PlotRecord& plot, int group, int kind)
{
    std::vector<PrintedCurve> out;
    for (auto& c : plot.curves) {
        if (!c->printAxis[0].print && !c->printAxis[1].print) continue;
        if ((IsCrossDomain(*c, kind) ? 1 : 0) != group) continue;
        if (c->lastPointIndex < 0) continue;
        out.push_back({c.get(),
                       {c->printAxis[0].print, c->printAxis[1].print},
                       {MakeCellFormat(c->printAxis[0]), MakeCellFormat(c->printAxis[1])},
                       {ColumnWidth(*c, 0), ColumnWidth(*c, 1)}});
    }
    return out;
}

// The run the table is about: the one being filled when it holds points, else the last run
// that was closed.
int TableRun(const PlotRecord& plot)
{
    const int r = plot.store.runCount;
    for (const auto& c : plot.curves)
        if (c->lastPointIndex >= RunFirstPoint(*c, r) && c->lastPointIndex >= 0) return r;
    return std::max(r - 1, 0);
}

std::int32_t RunStart(const CurveRecord& curve, int run)
{
    return static_cast<std::size_t>(run) < curve.runFirstIndex.size() ? curve.runFirstIndex[static_cast<std::size_t>(run)]
                                                                        : RunFirstPoint(curve, run);
}

void RunXRange(double& lo, double& hi)
{
    const AnalysisVariables& v = Analysis().variables;
    switch (Analysis().analysisKind) {
    case kAnalysisTransient: lo = v.tmin, hi = v.tmax; break;
    case kAnalysisAc: lo = v.fmin, hi = v.fmax; break;
    default: lo = DcSweep().initial1, hi = DcSweep().final1; break;
    }
}

void AppendNotAvailableCell(std::string& row, const CellFormat& format, int cellWidth)
{
    const std::size_t start = row.size();
    AppendColumnCell(row, format, cellWidth, 0.0);
    const std::size_t length = row.size() - start + 1;
    row.resize(start);
    row.append(length > 4 ? length - 4 : 0, ' ');
    row += "N/A ";
}

void AppendValueCell(std::string& row, const PrintedCurve& p, int axis, double value)
{
    const CurvePrintAxis& a = p.curve->printAxis[static_cast<std::size_t>(axis)];
    if (axis == kWaveformY && p.curve->digital) {
        // A state letter, or a bus value (HEX, BIN, ...) in its base.
        const std::string text = FormatDigitalValueText(*p.curve, value);
        const int width = p.widths[static_cast<std::size_t>(axis)];
        if (static_cast<int>(text.size()) < width) row.append(static_cast<std::size_t>(width) - text.size(), ' ');
        row += text;
        row += ' ';
        return;
    }
    AppendColumnCell(row, p.formats[static_cast<std::size_t>(axis)], p.widths[static_cast<std::size_t>(axis)],
                     value * a.printScale);
    row += ' ';
}

// Where x lies among a curve's stored X values n..: the search of InterpolateCurveAtX, which
// every curve of a table row that shares the X column would repeat.
struct CurveSegment {
    enum Kind { kPoint, kBeforeFirst, kBetween } kind = kPoint;
    int index = 0;
    double x0 = 0.0, x1 = 0.0;  // the ends of a segment between two points
};

// slack: how far outside a segment x may lie and still be taken as on it (at its end).
CurveSegment LocateCurveSegment(WaveformStore& store, double x, int xSlot, int n, int i, double slack = 0.0)
{
    auto X = [&](int k) { return GetWaveformValue(store, xSlot, k); };
    if (i == n && X(i) <= x + slack) return {CurveSegment::kPoint, i};
    const int start = i;
    // Each point's X is read once: the end of one segment is the start of the next.
    double x0 = i < n ? X(i) : 0.0, x1 = x0;
    for (; i < n; ++i) {
        x0 = x1;
        x1 = X(i + 1);
        if (std::min(x0, x1) - slack <= x && x <= std::max(x0, x1) + slack) break;
    }
    if (i > n) i = n;
    // An x that no stored segment holds and that lies nearer the first point than the last (a
    // print point before the curve's first point) takes the first value, not the last; the X
    // column itself reads x.
    if (i >= n && start < n && std::abs(x - X(start)) < std::abs(x - X(n))) return {CurveSegment::kBeforeFirst, start};
    if (i >= n) return {CurveSegment::kPoint, i};
    return {CurveSegment::kBetween, i, x0, x1};
}

// A state holds from its point on, in the direction X runs (a DC sweep may run downward): of
// the points at or before x (within the slack), the last one, so that a row at a change reads
// the new state, and of several points at one X the last.
int StatePointAt(WaveformStore& store, const CurveSegment& at, double x, double slack, int xSlot, int n)
{
    if (at.kind != CurveSegment::kBetween) return at.index;
    const bool falling = at.x0 > at.x1;
    auto reached = [&](int k) {
        const double xk = GetWaveformValue(store, xSlot, k);
        return falling ? xk >= x - slack : xk <= x + slack;
    };
    int i = at.index;
    while (i < n && reached(i + 1)) ++i;
    return i;
}

double ValueOnSegment(WaveformStore& store, const CurveSegment& at, double x, bool step, unsigned mode, int xSlot,
                      int ySlot)
{
    auto Y = [&](int k) { return GetWaveformValue(store, ySlot, k); };
    if (at.kind == CurveSegment::kBeforeFirst) return xSlot == ySlot ? x : Y(at.index);
    if (step || at.kind == CurveSegment::kPoint) return Y(at.index);
    double x0 = at.x0, x1 = at.x1, y0 = Y(at.index), y1 = Y(at.index + 1), from = x;
    if (mode & 1) {
        x0 = Log10Floored(x0);
        x1 = Log10Floored(x1);
        from = Log10Floored(x);
    }
    if (mode & 2) return std::pow(10.0, InterpolateLinear(Log10Floored(y1), Log10Floored(y0), from, x1, x0));
    return InterpolateLinear(y1, y0, from, x1, x0);
}

// The last search of a row among analog X values: the slot, the curve's last point and the
// point the search started from, and what it found.
struct SegmentSearch {
    int xSlot = -1;
    std::int32_t last = -1, start = -1;
    CurveSegment at;
};

// The last search for a point of a row: the slot searched, the curve's last point, the
// point the search started from and the point found.
struct StepSearch {
    int slot = -1;
    std::int32_t last = -1, start = -1, segment = -1;
};

bool WriteRow(int unit, std::string& row)
{
    // The line end the unit writes, added here: a row holds no other, so the text need not be
    // searched and copied for one.
    const FileUnit* slot = GetFileUnit(unit);
    row += slot && slot->crlfLineEnds ? "\r\n" : "\n";
    if (WriteUnitBytes(unit, row) != 0) {
        NumericOutput().pending = 0;
        return false;
    }
    return true;
}

}  // namespace

NumericOutputState& NumericOutput()
{
    static NumericOutputState state;
    return state;
}

void ResetNumericOutputForTests()
{
    NumericOutput() = NumericOutputState{};
}

int OpenNumericOutputFile()
{
    CloseNumericOutputUnit();
    const int unit = FindFreeUnit();
    if (unit < 0) return kMsgInsufficientMemory;
    const std::string name = MakeAnalysisFileName(RunControl().circuitWindow, "NO");
    const int result = CreateReplacingUnit(name, unit);
    if (result != 0) return result;
    Analog().numericOutputUnit = unit;
    Analog().outputPageWidth = GlobalOptions().values.width;
    NumericOutput().headerWritten = false;
    NumericOutput().captionWritten = false;
    NumericOutput().rowsWritten = false;
    return 0;
}

void CloseNumericOutputUnit(bool keep)
{
    const int unit = Analog().numericOutputUnit;
    if (unit < 0) return;
    const std::string name = GetFileUnit(unit)->name;
    Analog().numericOutputUnit = -1;
    if (!keep) {
        AbandonUnit(unit);
        return;
    }
    ReportFileWriteFailure(name, CloseUnit(unit));
}

void WriteOutputBanner(int unit)
{
    UnitPrintIndented(unit, "%s", LoadResString(kMsgProductTitle).c_str());
    const UserAndCompanyNames& names = UserAndCompanyNamesSetting();
    if (!names.userName.empty()) UnitPrintIndented(unit, "%s", names.userName.c_str());
    if (!names.companyName.empty()) UnitPrintIndented(unit, "%s", names.companyName.c_str());
}

void WriteDateStampLine(int unit)
{
    std::string stamp = FormatDateTimeStamp(true);
    if (stamp.size() > 100) stamp.resize(100);
    UnitPrintIndented(unit, "%s", stamp.c_str());
}

void WriteTemperatureLine(WindowRecord* window)
{
    const int unit = NumericOutputUnit();
    if (unit < 0) return;
    UnitPrintf(unit, "\n");
    // Each block names its own case: the stepped values, or the run number of the temperature.
    std::string caption = FormatTemperatureCaption(window, false);
    // A sweep with a second source prints one block for each value of that source, one after
    // another: each names its value, or the blocks could not be told apart.
    const DcSweepState& sweep = DcSweep();
    if (Analysis().analysisKind == kAnalysisDc && sweep.running && sweep.input2Active) {
        std::string second = FormatSweepCaption(window, false);
        while (!second.empty() && second.back() == ' ') second.pop_back();
        caption += " " + second;
    }
    UnitPrintIndented(unit, "%s", caption.c_str());
    UnitPrintf(unit, "\n");
    NumericOutput().captionWritten = true;
}

void WriteDeferredWarnings(int unit)
{
    const auto& warnings = Models().deferredWarnings;
    if (warnings.empty()) return;
    auto modelName = [](int subject) -> std::string {
        const auto& statements = Models().statements;
        return subject >= 0 && subject < static_cast<int>(statements.size()) ? statements[static_cast<std::size_t>(subject)].name
                                                                             : std::string();
    };
    UnitPrintf(unit, "\n");
    for (const DeferredWarning& w : warnings) {
        switch (w.kind) {
        case kWarnUnknownModelParam:
            UnitPrintf(unit, "Warning unknown parameter %s in model %s.\n", w.name.c_str(), modelName(w.subject).c_str());
            break;
        case kWarnRepeatedModelParam:
            UnitPrintf(unit, "Warning duplicated parameter %s in model %s.\n", w.name.c_str(), modelName(w.subject).c_str());
            break;
        case kWarnUnknownOption: UnitPrintf(unit, "Warning unknown .options parameter %s.\n", w.name.c_str()); break;
        default: break;
        }
    }
    UnitPrintf(unit, "\n");
}

void WriteTemperatureWarnings(int unit)
{
    const auto& warnings = Models().deferredWarnings;
    if (warnings.empty() || unit < 0) return;
    UnitPrintf(unit, "\n");
    bool any = false;
    for (const DeferredWarning& w : warnings) {
        if (w.kind != kWarnNegativeJunctionPotential) continue;
        const auto& statements = Models().statements;
        const std::string model = w.subject >= 0 && w.subject < static_cast<int>(statements.size())
                                      ? statements[static_cast<std::size_t>(w.subject)].name
                                      : std::string();
        UnitPrintf(unit, "%s", StrPrintf(LoadResString(kMsgNegativePotential).c_str(), model.c_str(), w.temperature).c_str());
        any = true;
    }
    if (any) UnitPrintf(unit, "%s", LoadResString(kMsgCheckModelValues).c_str());
}

void WriteOutputHeader(WindowRecord* window)
{
    const int unit = NumericOutputUnit();
    if (unit < 0) return;
    NumericOutput().headerWritten = true;
    WriteOutputBanner(unit);
    const int kind = Analysis().analysisKind;
    const std::string analysis = kind >= 0 && kind < 3 ? LoadResString(kMsgAnalysisNameBase + kind) : std::string();
    WindowRecord* circuit = RunControl().circuitWindow ? RunControl().circuitWindow : window;
    UnitPrintIndented(unit, "%s of %s", analysis.c_str(), StripDirectory(GetRecordTitle(circuit)).c_str());
    WriteDateStampLine(unit);
}

void WriteRunOutput(WindowRecord* window, int withOperatingPoint)
{
    int devices = 0;
    if (withOperatingPoint)
        for (int list : kReportedDeviceLists) devices += DeviceList(list).count;
    const bool warnings = !Models().deferredWarnings.empty();
    if (!NumericOutput().pending && devices == 0 && !warnings) return;
    const int unit = NumericOutputUnit();
    if (unit < 0) return;
    // The header goes once at the top of the file, before the first run's caption.
    if (!NumericOutput().headerWritten) {
        WriteOutputHeader(window);
        if (UnitError(unit) != 0) {
            NumericOutput().pending = 0;
            return;
        }
        WriteDeferredWarnings(unit);
    }
    WriteTemperatureLine(window);
    if (devices != 0 && DeviceServices().writeOperatingPointReport) DeviceServices().writeOperatingPointReport();
}

void WriteValueHeadings(WindowRecord* window, int group)
{
    const int unit = NumericOutputUnit();
    if (unit < 0 || !window || !window->plot) return;
    std::string names, units;
    for (const PrintedCurve& p : CurvesOfGroup(*window->plot, group, Analysis().analysisKind)) {
        for (int axis = 0; axis < 2; ++axis) {
            if (!p.axes[static_cast<std::size_t>(axis)]) continue;
            const CurvePrintAxis& a = p.curve->printAxis[static_cast<std::size_t>(axis)];
            const int width = p.widths[static_cast<std::size_t>(axis)];
            names += RightAligned(ColumnHeading(*p.curve, axis), width + 1, width);
            units += RightAligned(ColumnUnit(a), width + 1, width);
        }
    }
    if (!WriteRow(unit, names)) return;
    WriteRow(unit, units);
}

namespace {

// The X of the furthest point the table's curves stored in the run, in the direction of the
// sweep from lo to hi.
double LastStoredX(WaveformStore& store, const std::vector<PrintedCurve>& curves, std::int32_t firstRow, bool upward)
{
    bool found = false;
    double last = 0.0;
    for (const PrintedCurve& p : curves) {
        const CurveRecord& c = *p.curve;
        if (c.lastPointIndex < firstRow) continue;
        const double x = GetWaveformValue(store, c.storeSlots[0], c.lastPointIndex);
        if (!found || (upward ? x > last : x < last)) last = x;
        found = true;
    }
    return last;
}

}  // namespace

void WriteValueTable(WindowRecord* window, int group, int pointCount, bool complete)
{
    const int unit = NumericOutputUnit();
    if (unit < 0 || !window || !window->plot) return;
    PlotRecord& plot = *window->plot;
    WaveformStore& store = plot.store;
    const int kind = Analysis().analysisKind;
    double lo = 0.0, hi = 0.0;
    RunXRange(lo, hi);
    // A sweep of one value (.DC V1 5 5 1) has one point to show, not the same row N times.
    if (hi == lo) pointCount = std::min(pointCount, 1);
    const double dx = pointCount > 1 ? (hi - lo) / (pointCount - 1) : 0.0;
    WriteValueHeadings(window, group);
    if (UnitError(unit) != 0 || !NumericOutput().pending) return;

    std::vector<PrintedCurve> curves = CurvesOfGroup(plot, group, kind);
    if (curves.empty()) return;
    const CurveRecord& first = *curves.front().curve;
    const int run = TableRun(plot);
    const std::int32_t firstRow = std::max(RunStart(first, run), 0);
    // Rows need a point of this run; one is enough (a sweep of one value, an AC run at one frequency).
    if (first.lastPointIndex < firstRow) return;
    for (PrintedCurve& p : curves) p.curve->printCursor = firstRow;

    if (kind == kAnalysisAc || group == 1) {
        std::int32_t lastRow = kind == kAnalysisAc ? first.lastPointIndex : pointCount + firstRow - 1;
        lastRow = std::min(lastRow, first.lastPointIndex);
        std::string row;
        for (std::int32_t i = firstRow; i <= lastRow; ++i) {
            NumericOutput().rowsWritten = true;
            row.assign(1, ' ');
            for (const PrintedCurve& p : curves) {
                for (int axis = 0; axis < 2; ++axis) {
                    if (!p.axes[static_cast<std::size_t>(axis)]) continue;
                    if (i < p.curve->firstPointIndex || i > p.curve->lastPointIndex) {
                        AppendNotAvailableCell(row, p.formats[static_cast<std::size_t>(axis)],
                                               p.widths[static_cast<std::size_t>(axis)]);
                        continue;
                    }
                    AppendValueCell(row, p, axis,
                                    GetWaveformValue(store, p.curve->storeSlots[static_cast<std::size_t>(axis)], i));
                }
            }
            if (!WriteRow(unit, row)) return;
        }
        return;
    }

    // A run that failed part-way prints no row past its last computed X: those values were
    // never computed.
    const bool upward = hi >= lo;
    // The curves of a run with a DSP curve were resampled onto the pass's grid, which ends a
    // grid step short of the range, and begins where the DSP window begins: a row outside the
    // grid would hold the grid's first or last point, its X column included, as if it were the
    // row's own.
    bool resampled = false;
    for (const auto& c : plot.curves) resampled = resampled || (c && c->dspWork && !c->dspProgram.empty());
    const bool bounded = !complete || resampled;
    const double lastX = bounded ? LastStoredX(store, curves, firstRow, upward) : hi;
    const double firstX = resampled ? GetWaveformValue(store, first.storeSlots[0], firstRow) : lo;
    // Row k lies at lo + k dx, computed afresh: a sum of steps drifts, and a row on a source's
    // edge would then read the value before the edge at some rows and after it at others. A row
    // within this slack of a stored point reads that point, whichever side of it the rounding
    // of lo + k dx fell.
    const double slack = std::abs(dx) * 1e-9;
    // A digital change lies on the simulator's time grid, a billionth of the run, and each
    // delay of a path to it is rounded to that grid from a model value of single precision
    // (seven digits): a change at the time of a row may come that much after it, a grid step
    // or a part of one per gate. Such a row reads the state that begins at the change.
    const double stateSlack = std::max(slack, std::max(std::abs(lo), std::abs(hi)) * 2e-7);
    std::string row;
    for (int k = 0; k < pointCount; ++k) {
        const double x = k == pointCount - 1 && k > 0 ? hi : lo + k * dx;
        if (bounded && (upward ? x > lastX + slack : x < lastX - slack)) break;
        if (resampled && (upward ? x < firstX - slack : x > firstX + slack)) continue;
        NumericOutput().rowsWritten = true;
        row.assign(1, ' ');
        const std::int32_t rowIndex = firstRow + k;
        // Digital columns whose X reads as the analysis's own X find the same point of a row:
        // the search is made once and its point read in each column.
        StepSearch shared;
        SegmentSearch found;
        for (const PrintedCurve& p : curves) {
            CurveRecord& c = *p.curve;
            for (int axis = 0; axis < 2; ++axis) {
                if (!p.axes[static_cast<std::size_t>(axis)]) continue;
                if (rowIndex < c.firstPointIndex) {
                    AppendNotAvailableCell(row, p.formats[static_cast<std::size_t>(axis)],
                                           p.widths[static_cast<std::size_t>(axis)]);
                    continue;
                }
                double value = x;
                if (!(axis == kWaveformX && c.digital)) {
                    const bool step = axis == kWaveformY && c.digital;
                    const int xSlot = c.storeSlots[0], ySlot = c.storeSlots[static_cast<std::size_t>(axis)];
                    const int searchedSlot = step && xSlot != ySlot ? SlotReadAs(store, xSlot) : -1;
                    int segment;
                    if (searchedSlot >= 0 && shared.slot == searchedSlot && shared.last == c.lastPointIndex &&
                        shared.start == c.printCursor) {
                        // A step read takes the value of the point the search returns.
                        segment = shared.segment;
                        value = GetWaveformValue(store, ySlot, segment);
                    } else if (!step) {
                        // The columns of one X (time) find the same segment of a row.
                        if (found.xSlot != xSlot || found.last != c.lastPointIndex || found.start != c.printCursor)
                            found = {xSlot, c.lastPointIndex, c.printCursor,
                                     LocateCurveSegment(store, x, xSlot, c.lastPointIndex, c.printCursor, slack)};
                        const double on = found.at.kind == CurveSegment::kBetween
                                              ? std::clamp(x, std::min(found.at.x0, found.at.x1),
                                                           std::max(found.at.x0, found.at.x1))
                                              : x;
                        value = ValueOnSegment(store, found.at, on, false, 0, xSlot, ySlot);
                        segment = found.at.index;
                    } else {
                        CurveSegment at = LocateCurveSegment(store, x, xSlot, c.lastPointIndex, c.printCursor, slack);
                        at.index = StatePointAt(store, at, x, stateSlack, xSlot, c.lastPointIndex);
                        value = ValueOnSegment(store, at, x, true, 0, xSlot, ySlot);
                        segment = at.index;
                        if (searchedSlot >= 0) shared = {searchedSlot, c.lastPointIndex, c.printCursor, segment};
                    }
                    c.printCursor = c.resetCursor ? firstRow : std::max(segment - 1, firstRow);
                }
                AppendValueCell(row, p, axis, value);
            }
        }
        if (!WriteRow(unit, row)) return;
    }
}

bool HasPrintedPoints(WindowRecord* window)
{
    if (!window || !window->plot) return false;
    const PlotRecord& plot = *window->plot;
    const int run = TableRun(plot);
    for (const auto& c : plot.curves)
        if ((c->printAxis[0].print || c->printAxis[1].print) && c->lastPointIndex >= RunFirstPoint(*c, run)) return true;
    return false;
}

void WritePrintedValues(WindowRecord* window, int pointCount, bool complete)
{
    const int unit = NumericOutputUnit();
    if (unit < 0 || !NumericOutput().pending || !HasPrintedPoints(window)) return;
    for (int group = 0; group < 2; ++group) {
        if (CurvesOfGroup(*window->plot, group, Analysis().analysisKind).empty()) continue;
        WriteValueTable(window, group, pointCount, complete);
    }
}

double InterpolateLinear(double y1, double y0, double x, double x1, double x0)
{
    if (x1 == x0) return (y0 + y1) * 0.5;
    return y0 + (y1 - y0) / (x1 - x0) * (x - x0);
}

int InterpolateCurveAtX(PlotRecord& plot, double& value, double x, bool step, unsigned mode, int xSlot, int ySlot,
                        int n, int i)
{
    const CurveSegment at = LocateCurveSegment(plot.store, x, xSlot, n, i);
    value = ValueOnSegment(plot.store, at, x, step, mode, xSlot, ySlot);
    return at.index;
}

std::string MakeUnitSuffix(char prefix, int unitIndex)
{
    std::string suffix;
    if (prefix == 'M') {
        suffix = "MEG";
    } else if (prefix != 0) {
        suffix.push_back(prefix);
    }
    if (unitIndex != -1) suffix += OutputUnitName(unitIndex);
    return suffix;
}

void RemoveEmptyNumericOutput(WindowRecord* window)
{
    const std::string name = MakeAnalysisFileName(window, "NO");
    FileStream stream = OpenFileRead(name);
    if (!stream) return;
    const long length = FileLengthOfStream(stream.get());
    stream.reset();
    if (length == 0) std::remove(win::DiskFileName(name).c_str());
}

}  // namespace kq5
