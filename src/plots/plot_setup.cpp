#include "plots/plot_setup.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <new>
#include <string_view>

#include "plots/dsp_pass.h"
#include "analog/ac_run.h"
#include "analog/batch_run.h"
#include "core/analysis_state.h"
#include "analog/dc_sweep_run.h"
#include "netlist/numeric_helpers.h"
#include "analog/numeric_output.h"
#include "analog/run_control.h"
#include "analog/transient_run.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/engineering_numbers.h"
#include "core/expr_compiler.h"
#include "core/expr_symbols.h"
#include "core/format.h"
#include "document/circuit_document.h"
#include "netlist/defines.h"
#include "plots/axis_ranges.h"
#include "document/default_limits_rows.h"
#include "plots/import_reader.h"
#include "results/limits_row.h"
#include "results/plot_view_settings.h"
#include "plots/user_waveform.h"
#include "plots/probe_mode.h"
#include "plots/plot_view.h"
#include "plots/plot_window_services.h"
#include "results/waveform_store.h"
#include "analog/waveform_runs.h"

namespace kq5 {

namespace {

constexpr std::uint32_t kAutoScaleRanges = 0x8000;  // options word: ranges back to "Auto" each run
constexpr std::uint32_t kCurveKinds = kItemNumber | kItemDigitalState | kItemBin | kItemOct | kItemDec | kItemHex;

// Two expression texts that head a printed column alike: equal but for case and blanks.
bool SameHeading(const std::string& a, const std::string& b)
{
    auto squeezed = [](const std::string& text) {
        std::string out;
        for (char c : text)
            if (c != ' ' && c != '\t') out += c;
        return out;
    };
    return EqualsNoCase(squeezed(a), squeezed(b));
}
constexpr std::uint32_t kDigitalKinds = kItemDigitalState | kItemBin | kItemOct | kItemDec | kItemHex;
constexpr int kMaxFormatCount = 16;
constexpr int kLastGroup = 9;
constexpr int kUngroupedPlace = 10;
constexpr double kDigitalYHigh = 20.0;
constexpr double kLogFloorLow = 1e-9;

bool IsGroupDigit(char c) { return c >= '1' && c <= '9'; }

WindowRecord* CircuitOf(WindowRecord* window)
{
    if (RunControl().circuitWindow) return RunControl().circuitWindow;
    if (window && window->document) return window;
    return CurrentRecord();
}

std::vector<LimitsRow>* RowsOf(WindowRecord* window)
{
    WindowRecord* circuit = CircuitOf(window);
    const int kind = Analysis().analysisKind;
    if (!circuit || !circuit->document || kind < 0 || kind >= kAnalysisKindCount) return nullptr;
    return &circuit->document->limitsRows[static_cast<std::size_t>(kind)];
}

const ExpressionInstruction* OnlyInstruction(const CompiledExpression& e)
{
    return e.instructions.count == 1 ? ListHead<ExpressionInstruction>(e.instructions) : nullptr;
}

template <class F>
bool AnyInstruction(const CompiledExpression& e, F&& test)
{
    for (const auto* i = ListHead<ExpressionInstruction>(e.instructions); i; i = ListNext(i))
        if (test(*i)) return true;
    return false;
}

bool UsesFft(const CompiledExpression& e)
{
    return AnyInstruction(e, [](const ExpressionInstruction& i) { return i.opcode == kOpFft || i.opcode == kOpIft; });
}

// "V(...)" or "I(...)" with no parenthesis inside.
bool IsOneOutputVariable(std::string_view text)
{
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (text.size() < 4 || text[1] != '(' || text.back() != ')') return false;
    const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    const std::string_view inner = text.substr(2, text.size() - 3);
    return (kind == 'V' || kind == 'I') && inner.find_first_of("()") == std::string_view::npos;
}

// The unit of a curve axis that shows one plain quantity, for the numeric output's headings.
int UnitIndexOf(const CurveRecord& curve, int axis)
{
    if (curve.xLetter[static_cast<std::size_t>(axis)] == 'T') return 11;
    if (curve.xLetter[static_cast<std::size_t>(axis)] == 'F') return 13;
    const CompiledExpression& e = axis == kWaveformX ? curve.xExpression : curve.yExpression;
    if (axis == kWaveformY && curve.digital) return -1;
    // One quantity read as it stands, or one output variable that takes a few steps to work out:
    // a voltage between two nodes V(3,4), a device current I(R1).
    if (!OnlyInstruction(e) && !IsOneOutputVariable(axis == kWaveformX ? curve.xExpressionText : curve.yExpressionText))
        return -1;
    if (e.dependencies == kDependsVoltage) return 0;
    if (e.dependencies == kDependsCurrent) return 1;
    return -1;
}

// The range of an axis from its text: "high[,low]". 0, or 15055 after a report.
int ReadAxisRange(const std::string& text, int row, double& high, double& low)
{
    high = low = 0.0;
    if (const int error = ParseRangePair(text, high, low); error != 0) {
        ReportAnalysisFailure(kFocusExpressionRow, row, text.c_str(), error);
        return kMsgAlreadyReported;
    }
    return 0;
}

std::string Trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsAutoRange(const std::string& text)
{
    const std::string t = Trimmed(text);
    if (t.empty()) return true;
    if (t.size() != 4) return false;
    for (std::size_t i = 0; i < 4; ++i)
        if (std::toupper(static_cast<unsigned char>(t[i])) != "AUTO"[i]) return false;
    return true;
}

void CopyRange(CurveRecord& to, const CurveRecord& from, int axis)
{
    const std::size_t a = static_cast<std::size_t>(axis);
    to.axisLow[a] = from.axisLow[a];
    to.axisHigh[a] = from.axisHigh[a];
    to.axisSpan[a] = from.axisSpan[a];
    to.rangeMode[a] = kRangeFromSetup;
}

// The print columns of a curve: format, width and unit of each axis.
void SetPrintAxes(CurveRecord& curve)
{
    const NumberFormat* formats[2] = {&curve.secondValueFormat, &curve.valueFormat};
    for (int axis = 0; axis < 2; ++axis) {
        CurvePrintAxis& p = curve.printAxis[static_cast<std::size_t>(axis)];
        p.format = formats[axis]->printfFormat;
        p.cellWidth = formats[axis]->width;
        p.unitIndex = UnitIndexOf(curve, axis);
    }
}

PlotRecord* PlotOf(WindowRecord* window) { return RunPlotOf(window); }

}  // namespace

PlotRecord* RunPlotOf(WindowRecord* window)
{
    if (window && window->plot) return window->plot.get();
    WindowRecord* circuit = CircuitOf(window);
    return circuit && circuit->plot ? circuit->plot.get() : nullptr;
}

PlotRunState& PlotRun()
{
    static PlotRunState state;
    return state;
}

void ResetPlotRunForTests() { PlotRun() = PlotRunState(); }

int MakeNumberFormat(NumberFormat& format, const std::string& text, int reportRow)
{
    std::string upper = text;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    bool ok = false;
    std::string printfFormat;
    int width = 0;
    const std::size_t e = upper.find('E');
    if (e != std::string::npos) {
        // Exponent form: only digits before the E, and the E last.
        const std::string digits = upper.substr(0, e);
        ok = e + 1 == upper.size() && digits.size() <= 2 &&
             std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
        const int n = ok && !digits.empty() ? std::stoi(digits) : 0;
        ok = ok && n <= kMaxFormatCount;
        if (ok) {
            printfFormat = StrPrintf("%% .%de", n);
            width = n + 8;
        }
    } else {
        std::size_t end = 0;
        while (end < upper.size() && (std::isdigit(static_cast<unsigned char>(upper[end])) || upper[end] == '.')) ++end;
        const std::string number = upper.substr(0, end);
        const std::size_t point = number.find('.');
        const std::string whole = number.substr(0, point);
        const std::string decimals = point == std::string::npos ? std::string() : number.substr(point + 1);
        ok = !number.empty() && number != "." && decimals.find('.') == std::string::npos && whole.size() <= 2 &&
             decimals.size() <= 2;
        const int w = ok && !whole.empty() ? std::stoi(whole) : 0;
        const int p = ok && !decimals.empty() ? std::stoi(decimals) : 0;
        ok = ok && w <= kMaxFormatCount && p <= kMaxFormatCount;
        if (ok) {
            width = w + p + 1;
            printfFormat = StrPrintf("%%%d.%df", width, p);
        }
    }
    if (!ok) {
        if (reportRow == -1) {
            ReportMessage("tE", text.c_str(), kMsgFormatError);
        } else {
            ReportAnalysisFailure(kFocusExpressionRow, reportRow, text.c_str(), kMsgFormatError);
        }
        return kMsgAlreadyReported;
    }
    format.text = text;
    format.printfFormat = printfFormat;
    format.width = width;
    return 0;
}

int CompileCurveAxisWithImports(WindowRecord* window, std::string text, CurveRecord& curve, int axis, int analysisKind)
{
    int importError = 0;
    ParseImportReferences(window, curve, text, true, importError);
    if (importError) return kMsgAlreadyReported;
    if (axis == kWaveformX) curve.xImportCount = static_cast<std::int32_t>(curve.imports.size());
    return CompileCurveExpression(text, curve, axis, analysisKind) != 0 ? kMsgAlreadyReported : 0;
}

int CompileCurveExpression(const std::string& text, CurveRecord& curve, int axis, int analysisKind)
{
    const std::size_t a = static_cast<std::size_t>(axis);
    std::string normal = text;
    FoldRepeatedSigns(normal);
    (axis == kWaveformX ? curve.xExpressionText : curve.yExpressionText) = normal;
    CompiledExpression& target = axis == kWaveformX ? curve.xExpression : curve.yExpression;
    FreeCompiledExpression(target);

    const std::uint32_t context = analysisKind == kAnalysisAc   ? kContextAc
                                  : analysisKind == kAnalysisDc ? kContextDc
                                                                : kContextTransient;
    ExpressionRequest request;
    InitExpressionRecord(normal, &target, context | kContextLimitsDialog, kCurveKinds, request);
    request.limitsDialog = true;
    request.window = CircuitOf(nullptr);
    request.quiet = true;
    const std::size_t importFirst =
        axis == kWaveformX ? 0 : std::min(curve.imports.size(), static_cast<std::size_t>(curve.xImportCount));
    request.imports = std::span<ImportRecord>(curve.imports).subspan(importFirst);
    // The operands of Fourier functions are kept at every point for the pass after the run.
    if (axis == kWaveformY) {
        if (!curve.dspWork) curve.dspWork = std::make_unique<SpectralWorkRecord>();
        request.spectral = curve.dspWork.get();
    }
    const int rc = CompileExpression(request);
    if (axis == kWaveformY && rc == 0) FinishDspCurveCompile(curve);
    if (rc == kMsgInsufficientMemory) {
        ReportAnalysisOutOfMemory();
        return kMsgAlreadyReported;
    }
    if (rc != 0) {
        if (rc != kMsgAlreadyReported)
            ReportAnalysisFailure(kFocusExpressionRow, curve.rowIndex, normal.c_str(), rc, request.quietTexts[0],
                                  request.quietTexts[1]);
        return kMsgAlreadyReported;
    }

    // Functions with memory (DDT, SDT, SUM, DEL, PH, GD, AVG, RMS) read cells that the run
    // loops seed at the first point and advance at each accepted one, for marked curves only.
    if ((curve.xExpression.dependencies | curve.yExpression.dependencies) & kDependsState)
        curve.flags |= kCurveHasState;
    else
        curve.flags &= ~kCurveHasState;

    curve.xLetter[a] = 0;
    if (const ExpressionInstruction* only = OnlyInstruction(target); only && only->opcode == kOpReadDouble) {
        if (only->realAddress == &Analysis().variables.frequency) curve.xLetter[a] = 'F';
        if (only->realAddress == &Analysis().variables.time) curve.xLetter[a] = 'T';
    }
    const bool digital = (target.valueKinds & kDigitalKinds) != 0;
    int failure = 0;
    if (digital && axis == kWaveformX) failure = kMsgDigitalAsX;
    if (digital && analysisKind == kAnalysisAc) failure = kMsgDigitalInAc;
    if (!failure && UsesFft(target)) {
        if (axis == kWaveformX) failure = kMsgFftAsX;
        else if (curve.xLetter[0] != 'F' && curve.xLetter[0] != 'T') failure = kMsgFftNeedsFOrT;
    }
    if (failure) {
        ReportAnalysisFailure(kFocusExpressionRow, curve.rowIndex, normal.c_str(), failure);
        return kMsgAlreadyReported;
    }
    if (axis == kWaveformY) {
        curve.digital = digital ? 1 : 0;
        curve.busWidth = digital ? GetMaxBusFunctionArgCount(target) : 0;
    }
    return 0;
}

bool KnownAxisRange(CurveRecord& curve, int axis)
{
    const std::size_t a = static_cast<std::size_t>(axis);
    const int kind = Analysis().analysisKind;
    bool known = false;
    double low = 0.0, high = 0.0;
    if (curve.xLetter[a] == 'F' && kind == kAnalysisAc) {
        low = AcRun().fLow, high = AcRun().fHigh, known = true;
    } else if (curve.xLetter[a] == 'T' && kind == kAnalysisTransient) {
        low = TransientRun().tmin, high = TransientRun().tmax, known = true;
    } else if (kind == kAnalysisDc && axis == kWaveformX) {
        WindowRecord* circuit = CircuitOf(nullptr);
        const std::string source = circuit && circuit->document ? circuit->document->limits.dc[kLimitI1] : std::string();
        const std::string& text = curve.xExpressionText;
        auto same = [&](const char* pattern) {
            const std::string wanted = StrPrintf(pattern, source.c_str());
            return wanted.size() == text.size() &&
                   std::equal(text.begin(), text.end(), wanted.begin(), [](char x, char y) {
                       return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
                   });
        };
        if (!source.empty() && (same("I(%s)") || same("V(%s)"))) {
            low = DcSweep().initial1, high = DcSweep().final1, known = true;
        }
    }
    if (!known) return false;
    if (!curve.linear[a] && low == 0.0) low = kLogFloorLow;
    curve.axisLow[a] = low;
    curve.axisHigh[a] = high;
    curve.axisSpan[a] = high - low;
    return true;
}

void SetDefaultAxisRange(CurveRecord& curve, int axis)
{
    const std::size_t a = static_cast<std::size_t>(axis);
    curve.rangeMode[a] = kRangeAutomatic;
    curve.axisHigh[a] = 10.0;
    if (KnownAxisRange(curve, axis)) return;
    curve.axisLow[a] = curve.linear[a] ? -10.0 : 1.0;
    curve.axisSpan[a] = curve.axisHigh[a] - curve.axisLow[a];
}

int SetCurveRangesFromRow(WindowRecord* window, CurveRecord& curve, int row)
{
    std::vector<LimitsRow>* rows = RowsOf(window);
    if (!rows || row < 0 || row >= static_cast<int>(rows->size())) return 0;
    LimitsRow& limits = (*rows)[static_cast<std::size_t>(row)];
    for (int axis = 0; axis < 2; ++axis) {
        const std::size_t a = static_cast<std::size_t>(axis);
        if (axis == kWaveformY && curve.digital) {
            // A digital curve is drawn in lanes, never scaled.
            if (limits.yRange != "N/A") {
                limits.yRange = "N/A";
                NoteLimitsChange(CircuitOf(window));
            }
            continue;
        }
        const std::string& text = axis == kWaveformX ? limits.xRange : limits.yRange;
        if (IsAutoRange(text)) {
            SetDefaultAxisRange(curve, axis);
            continue;
        }
        double high = 0.0, low = 0.0;
        if (ReadAxisRange(text, row, high, low)) return kMsgAlreadyReported;
        const bool legal = curve.linear[a] ? high > low : high > 0.0 && low > 0.0 && high > low;
        if (!legal) {
            ReportAnalysisFailure(kFocusExpressionRow, row, text.c_str(), kMsgIllegalRange);
            return kMsgAlreadyReported;
        }
        curve.axisHigh[a] = high;
        curve.axisLow[a] = low;
        curve.axisSpan[a] = high - low;
    }
    return 0;
}

int AddCurveFromLimitsRow(WindowRecord* window, int row, bool& added, int& curveIndex, std::uint32_t roleFlags)
{
    PlotRecord* plot = PlotOf(window);
    std::vector<LimitsRow>* rows = RowsOf(window);
    if (!plot || !rows || row < 0 || row >= static_cast<int>(rows->size())) return 0;
    if (added && curveIndex >= 0 && curveIndex < static_cast<int>(plot->curves.size())) {
        plot->curves[static_cast<std::size_t>(curveIndex)]->roleFlags |= roleFlags;
        return 0;
    }
    LimitsRow& limits = (*rows)[static_cast<std::size_t>(row)];
    CurveRecord* curve = nullptr;
    try {
        plot->curves.resize(static_cast<std::size_t>(plot->curveCount));
        plot->curves.push_back(std::make_unique<CurveRecord>());
        curve = plot->curves.back().get();
    } catch (const std::bad_alloc&) {
        ReportAnalysisOutOfMemory();
        return kMsgAlreadyReported;
    }
    curve->roleFlags = roleFlags;
    curve->rowIndex = row;
    curve->linear = {(limits.options & kLimitsLinearX) ? 1 : 0, (limits.options & kLimitsLinearY) ? 1 : 0};

    const int kind = Analysis().analysisKind;
    try {
        curve->imports.reserve(CountImportReferences(limits.xExpression) + CountImportReferences(limits.yExpression));
    } catch (const std::bad_alloc&) {
        ReportAnalysisOutOfMemory();
        return kMsgAlreadyReported;
    }
    for (int axis = 0; axis < 2; ++axis) {
        const std::string& text = axis == kWaveformX ? limits.xExpression : limits.yExpression;
        std::string substituted;
        if (SubstituteDefines(substituted, 0, text) != 0) return kMsgAlreadyReported;
        if (CompileCurveAxisWithImports(window, std::move(substituted), *curve, axis, kind) != 0) return kMsgAlreadyReported;
    }

    if ((limits.options & kLimitsOutput) || IsGroupDigit(limits.plotGroup)) {
        curve->plotGroup = IsGroupDigit(limits.plotGroup) ? limits.plotGroup - '0' : 0;
        if (FillDefaultRowFormats(limits)) NoteLimitsChange(CircuitOf(window));
        if (MakeNumberFormat(curve->valueFormat, limits.yValueFormat, row)) return kMsgAlreadyReported;
        if (MakeNumberFormat(curve->secondValueFormat, limits.xValueFormat, row)) return kMsgAlreadyReported;
        curve->xScaleFormat = limits.xScaleFormat;
        curve->yScaleFormat = limits.yScaleFormat;
    }
    SetPrintAxes(*curve);
    curve->name = curve->yExpressionText;
    curveIndex = plot->curveCount;
    ++plot->curveCount;
    added = true;
    // Functions with memory need a few points before their values mean anything.
    const bool warmUp = ((curve->xExpression.dependencies | curve->yExpression.dependencies) & kDependsState) != 0;
    curve->warmUpCount = warmUp ? static_cast<std::int32_t>(curve->yExpression.stateDepth) : 0;
    return 0;
}

void CompactPlotGroupNumbers(WindowRecord* window)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot) return;
    std::array<int, kLastGroup + 1> newNumber{};
    for (int i = 0; i < plot->curveCount; ++i) {
        const int g = plot->curves[static_cast<std::size_t>(i)]->plotGroup;
        if (g >= 1 && g <= kLastGroup) newNumber[static_cast<std::size_t>(g)] = 1;
    }
    int next = 0;
    for (int g = 1; g <= kLastGroup; ++g)
        if (newNumber[static_cast<std::size_t>(g)]) newNumber[static_cast<std::size_t>(g)] = ++next;
    std::array<int, kLastGroup + 1> places{};
    for (int i = 0; i < plot->curveCount; ++i) {
        CurveRecord& c = *plot->curves[static_cast<std::size_t>(i)];
        if (c.plotGroup >= 1 && c.plotGroup <= kLastGroup) {
            c.plotGroup = newNumber[static_cast<std::size_t>(c.plotGroup)];
            c.placeInGroup = places[static_cast<std::size_t>(c.plotGroup)]++;
        } else {
            c.placeInGroup = kUngroupedPlace + i;
        }
    }
}

void MarkGroupDigitalKinds(WindowRecord* window)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot) return;
    std::array<int, kLastGroup + 1> seen{};  // bit 1 analog, bit 2 digital
    for (int i = 0; i < plot->curveCount; ++i) {
        const CurveRecord& c = *plot->curves[static_cast<std::size_t>(i)];
        if (c.plotGroup >= 1 && c.plotGroup <= kLastGroup) seen[static_cast<std::size_t>(c.plotGroup)] |= c.digital ? 2 : 1;
    }
    for (int i = 0; i < plot->curveCount; ++i) {
        CurveRecord& c = *plot->curves[static_cast<std::size_t>(i)];
        const int bits = c.plotGroup >= 1 && c.plotGroup <= kLastGroup ? seen[static_cast<std::size_t>(c.plotGroup)]
                                                                       : (c.digital ? 2 : 1);
        c.groupKind = bits == 3 ? kGroupMixed : bits == 2 ? kGroupDigital : kGroupAnalog;
    }
}

bool ChooseEngineeringPrefix(double a, double b, bool logarithmic, char& prefix, double& factor)
{
    prefix = 0;
    factor = 1.0;
    const double largest = std::max(std::fabs(a), std::fabs(b));
    if (largest == 0.0 || largest < 1e-15 || largest > 1e15) return false;
    // A logarithmic span of three decades or more has no prefix that keeps the digits of its
    // small values (100 Hz of a sweep to 1 MHz would read 0.000 MEG): it is read in exponent form.
    const double smallest = std::min(std::fabs(a), std::fabs(b));
    if (logarithmic && smallest > 0.0 && largest / smallest >= 1000.0) return false;
    for (auto it = kEngineeringScales.rbegin(); it != kEngineeringScales.rend(); ++it) {
        if (largest < it->scale) continue;
        if (it->scale != 1.0) {
            prefix = it->lowerSuffix[0];
            factor = it->scale;
        }
        break;
    }
    return true;
}

void ChooseAxisLabelScale(CurveRecord& curve, int axis)
{
    const std::size_t a = static_cast<std::size_t>(axis);
    curve.noSuffix[a] = ChooseEngineeringPrefix(curve.axisLow[a], curve.axisHigh[a], !curve.linear[a],
                                                 curve.labelPrefix[a], curve.labelFactor[a])
                            ? 0
                            : 1;
}

void ResetCurveReferenceRanges(WindowRecord* window)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot) return;
    for (int i = 0; i < plot->curveCount; ++i) {
        CurveRecord& c = *plot->curves[static_cast<std::size_t>(i)];
        if (c.digital) {
            c.axisLow[kWaveformY] = 0.0;
            c.axisHigh[kWaveformY] = kDigitalYHigh;
            c.axisSpan[kWaveformY] = kDigitalYHigh;
        }
        if (!(c.roleFlags & (kCurveRolePlotted | kCurveRolePrinted))) continue;
        for (int axis = 0; axis < 2; ++axis) {
            const std::size_t a = static_cast<std::size_t>(axis);
            ChooseAxisLabelScale(c, axis);
            // The printed values carry the axis' prefix in their heading.
            UpdatePrintScale(c, axis);
            c.referenceLow[a] = c.axisLow[a];
            c.referenceHigh[a] = c.axisHigh[a];
        }
    }
}

bool SameCompiledExpression(const CompiledExpression& a, const CompiledExpression& b)
{
    if (a.instructions.count != b.instructions.count) return false;
    const auto* x = ListHead<ExpressionInstruction>(a.instructions);
    const auto* y = ListHead<ExpressionInstruction>(b.instructions);
    for (; x && y; x = ListNext(x), y = ListNext(y)) {
        if (x->opcode != y->opcode || x->value != y->value || x->realAddress != y->realAddress ||
            x->floatAddress != y->floatAddress || x->complexAddress != y->complexAddress ||
            x->stateAddress != y->stateAddress || x->index != y->index || x->subExpression != y->subExpression)
            return false;
    }
    return true;
}

bool IsRepeatedExpression(WindowRecord* window, int curveIndex, int axis)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot || curveIndex < 0 || curveIndex >= plot->curveCount) return false;
    const CurveRecord& curve = *plot->curves[static_cast<std::size_t>(curveIndex)];
    // A column repeats another only when it computes the same and is headed the same: V(5)
    // asked for beside the DC sweep's V(VDD) of a source on node 5 is still printed.
    auto same = [](const CompiledExpression& a, const std::string& aText, const CompiledExpression& b,
                   const std::string& bText) { return SameCompiledExpression(a, b) && SameHeading(aText, bText); };
    const bool x = axis == kWaveformX;
    const CompiledExpression& e = x ? curve.xExpression : curve.yExpression;
    const std::string& text = x ? curve.xExpressionText : curve.yExpressionText;
    if (!x && same(e, text, curve.xExpression, curve.xExpressionText)) return true;
    for (int i = 0; i < curveIndex; ++i) {
        const CurveRecord& earlier = *plot->curves[static_cast<std::size_t>(i)];
        if (!(earlier.roleFlags & kCurveRolePrinted)) continue;
        if (same(e, text, earlier.xExpression, earlier.xExpressionText) ||
            same(e, text, earlier.yExpression, earlier.yExpressionText))
            return true;
    }
    return false;
}

void ShareGroupAxisRanges(WindowRecord* window)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot) return;
    CompactPlotGroupNumbers(window);
    MarkGroupDigitalKinds(window);
    for (int i = 0; i < plot->curveCount; ++i) {
        CurveRecord& c = *plot->curves[static_cast<std::size_t>(i)];
        if (c.plotGroup < 1) continue;
        for (int axis = 0; axis < 2; ++axis) {
            const std::size_t a = static_cast<std::size_t>(axis);
            if (c.rangeMode[a] != kRangeAutomatic && c.rangeMode[a] != kRangeAutoScaled) continue;
            if (axis == kWaveformY && c.digital) continue;
            for (int j = 0; j < plot->curveCount; ++j) {
                const CurveRecord& other = *plot->curves[static_cast<std::size_t>(j)];
                if (other.plotGroup != c.plotGroup || other.rangeMode[a] != kRangeFromSetup) continue;
                if (axis == kWaveformY && other.digital) continue;
                CopyRange(c, other, axis);
                break;
            }
        }
    }
    ResetCurveReferenceRanges(window);
    for (int i = 0; i < plot->curveCount; ++i) {
        CurveRecord& c = *plot->curves[static_cast<std::size_t>(i)];
        const bool printed = (c.roleFlags & kCurveRolePrinted) != 0;
        for (int axis = 0; axis < 2; ++axis)
            c.printAxis[static_cast<std::size_t>(axis)].print = printed && !IsRepeatedExpression(window, i, axis);
    }
}

int CheckGroupConsistency(WindowRecord* window)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot) return 0;
    for (int i = 0; i < plot->curveCount; ++i) {
        const CurveRecord& c = *plot->curves[static_cast<std::size_t>(i)];
        if (c.plotGroup < 1 || !(c.roleFlags & kCurveRolePlotted)) continue;
        for (int j = 0; j < i; ++j) {
            const CurveRecord& first = *plot->curves[static_cast<std::size_t>(j)];
            if (first.plotGroup != c.plotGroup || !(first.roleFlags & kCurveRolePlotted)) continue;
            int failure = 0;
            if (first.linear != c.linear) failure = kMsgMixedLogLinear;
            else if (!SameCompiledExpression(first.xExpression, c.xExpression)) failure = kMsgDifferentXExpressions;
            if (failure) {
                ReportAnalysisFailure(kFocusExpressionRow, c.rowIndex, c.xExpressionText.c_str(), failure);
                return kMsgAlreadyReported;
            }
            break;
        }
    }
    return 0;
}

int GetMaxBusFunctionArgCount(const CompiledExpression& expression)
{
    int widest = 0;
    for (const auto* i = ListHead<ExpressionInstruction>(expression.instructions); i; i = ListNext(i))
        // The call's operands are the bits and then their count.
        if (i->opcode == kOpBus) widest = std::max(widest, static_cast<int>(i->index) - 1);
    return widest;
}

bool HasFftCurveInAC(WindowRecord* window)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot || Analysis().analysisKind != kAnalysisAc) return false;
    for (int i = 0; i < plot->curveCount; ++i) {
        const CurveRecord& c = *plot->curves[static_cast<std::size_t>(i)];
        if (UsesFft(c.xExpression) || UsesFft(c.yExpression)) return true;
    }
    return false;
}

namespace {

// A batch run that draws nothing reads its stored points only to print them (and for the few
// curves CurvePointsReadLater names): unless a transform, a window of performance functions or
// 3-D plots, or a Monte Carlo window reads the analysis's curves after the run.
bool OnlyPrintedPointsRead(WindowRecord* window)
{
    PlotRecord* plot = PlotOf(window);
    if (!plot || window->kind != kWindowAnalysis || BatchRun().flags == 0 || PlotsDrawnOnScreen()) return false;
    for (int i = 0; i < plot->curveCount; ++i) {
        const CurveRecord& c = *plot->curves[static_cast<std::size_t>(i)];
        if (UsesFft(c.xExpression) || UsesFft(c.yExpression) || IsDspCurve(c)) return false;
    }
    for (const auto& record : WindowRecords().records)
        if (record->kind == kWindowPerformance || record->kind == kWindow3D || record->kind == kWindowMonteCarlo)
            return false;
    return true;
}

}  // namespace

int SetupPlotsForRun(WindowRecord* window, bool makeStore)
{
    const int kind = Analysis().analysisKind;
    WindowRecord* circuit = CircuitOf(window);
    PlotRecord* plot = PlotOf(window);
    std::vector<LimitsRow>* rows = RowsOf(window);
    if (!circuit || !circuit->document || !plot || !rows) return 0;
    CircuitDocument& document = *circuit->document;
    const std::size_t k = static_cast<std::size_t>(kind);
    document.reduceDisplay[k] = std::max(document.reduceDisplay[k], 1);
    document.reduceSave[k] = std::max(document.reduceSave[k], 1);
    PlotRunState& run = PlotRun();
    run.acceptedPoints = -1;
    run.tracesStarted = false;
    run.pointAccepted = false;
    run.startMovedStore = nullptr;
    run.startMovedPoint = -1;

    std::shared_ptr<PlotRecord> shared = window && window->plot ? window->plot : circuit->plot;
    if (static_cast<std::uint32_t>(PlotViewOf(shared).optionWord[k]) & kAutoScaleRanges)
        FillDefaultLimitsRows(circuit, true, true, true);

    FreeWaveformPages(plot->store);
    if (RunControl().probeFlag) {
        if (ProbeMode().rows.empty()) {
            ReportAnalysisFailure0(kFocusNothing, 0, kMsgNoExpressionToPlot);
            return kMsgAlreadyReported;
        }
        if (SetUpProbeCurves(window) != 0) return kMsgAlreadyReported;
        CompactPlotGroupNumbers(window);
        MarkGroupDigitalKinds(window);
        plot->builtCurveCount = plot->curveCount;
        if (makeStore && !RunControl().failureReported && CreateWaveformStore(window) != 0) return kMsgAlreadyReported;
        return RunControl().failureReported ? kMsgAlreadyReported : 0;
    }
    plot->curveCount = 0;
    plot->builtCurveCount = 0;
    plot->currentCurve = 0;
    plot->curves.clear();
    bool anyGroup = false, anyPrinted = false;
    // A row whose Y expression is still empty (a line just added and not yet filled in) has
    // nothing to plot or print: the run passes it over.
    const auto unfilled = [](const LimitsRow& row) { return row.yExpression.find_first_not_of(" \t") == std::string::npos; };
    for (LimitsRow& row : *rows) {
        if (row.plotGroup == '0') row.plotGroup = 0;
        if (unfilled(row)) continue;
        anyGroup = anyGroup || IsGroupDigit(row.plotGroup);
        anyPrinted = anyPrinted || (row.options & kLimitsOutput) != 0;
    }
    if (!anyGroup) {
        ReportAnalysisFailure0(kFocusNothing, 0, kMsgNoExpressionToPlot);
        return kMsgAlreadyReported;
    }
    NumericOutput().pending = anyPrinted ? 1 : 0;

    ResetUserWaveformCurves();
    for (int pass = 0; pass < 2; ++pass) {
        for (int r = 0; r < static_cast<int>(rows->size()); ++r) {
            const LimitsRow& row = (*rows)[static_cast<std::size_t>(r)];
            const bool grouped = IsGroupDigit(row.plotGroup);
            if (grouped != (pass == 0) || unfilled(row)) continue;
            const bool printed = (row.options & kLimitsOutput) != 0;
            const bool user = kind == kAnalysisTransient && (row.options & kLimitsUser) != 0;
            bool added = false;
            int index = -1;
            if (grouped && AddCurveFromLimitsRow(window, r, added, index, kCurveRolePlotted)) return kMsgAlreadyReported;
            if (printed && AddCurveFromLimitsRow(window, r, added, index, kCurveRolePrinted)) return kMsgAlreadyReported;
            if (user && !added && AddCurveFromLimitsRow(window, r, added, index, 0)) return kMsgAlreadyReported;
            if (!added) continue;
            CurveRecord& curve = *plot->curves[static_cast<std::size_t>(index)];
            curve.color = row.color;
            curve.lineWidth = row.lineWidth;
            curve.linePattern = row.linePattern;
            if (SetCurveRangesFromRow(window, curve, r)) return kMsgAlreadyReported;
            if (user && AddUserWaveformCurve(window, r, index)) return kMsgAlreadyReported;
        }
    }

    ShareGroupAxisRanges(window);
    if (const auto& monteCarlo = PlotWindowServices().setMonteCarloRunCount) monteCarlo(window);
    plot->builtCurveCount = plot->curveCount;
    if (makeStore && !RunControl().failureReported) {
        if (CreateWaveformStore(window, OnlyPrintedPointsRead(window)) != 0) return kMsgAlreadyReported;
        if (CheckDspPointCount() != 0) return kMsgAlreadyReported;
    }

    run.keepEveryPoint = run.forceKeepEveryPoint || HasFftCurveInAC(window);
    // Device currents of an AC point need the stamper's second pass.
    bool deviceQuantities = false;
    for (int i = 0; i < plot->curveCount; ++i) {
        const CurveRecord& c = *plot->curves[static_cast<std::size_t>(i)];
        if ((c.xExpression.dependencies | c.yExpression.dependencies) & kDependsCurrent) deviceQuantities = true;
    }
    if (kind == kAnalysisAc) AcRun().deviceQuantities = deviceQuantities;
    for (int i = 0; i < plot->curveCount; ++i) {
        if (!UsesFft(plot->curves[static_cast<std::size_t>(i)]->yExpression)) continue;
        document.reduceDisplay[k] = document.reduceSave[k] = 1;
    }
    return RunControl().failureReported ? kMsgAlreadyReported : 0;
}

}  // namespace kq5
