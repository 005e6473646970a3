#include "plots/dsp_pass.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <new>
#include <vector>

#include "analog/ac_run.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "analog/transient_run.h"
#include "ui/color_table.h"
#include "ui/window_record.h"
#include "core/engineering_numbers.h"
#include "core/expr_symbols.h"
#include "core/fft.h"
#include "core/message_reporter.h"
#include "document/circuit_document.h"
#include "platform/message.h"
#include "platform/win_messages.h"
#include "plots/plot_setup.h"
#include "results/curve_record.h"
#include "results/waveform_store.h"

namespace kq5 {

namespace {

constexpr int kCmdDspParameters = 17154;
constexpr char kPushOperand = 'o';
constexpr char kApplyFunction = 'd';

bool IsDspOpcode(int op) { return op >= kOpHarm && op <= kOpThd; }

// Operands a Fourier function takes from the pass's stack: THD with one argument takes none
// for its fundamental.
int OperandCount(const ExpressionInstruction& ins)
{
    if (ins.opcode == kOpThd) return ins.index >= 2 ? 2 : 1;
    return DspCodeTakesTwoOperands(ins.opcode) ? 2 : 1;
}

CircuitDocument* RunDocument()
{
    WindowRecord* circuit = RunControl().circuitWindow;
    if (circuit && circuit->document) return circuit->document.get();
    return CurrentDocument();
}

// Whether stored abscissa `stored` comes before grid abscissa `x` along the run. A DC sweep may
// run downward; its grid then runs downward too.
bool Before(double stored, double x, bool downward, bool orAt)
{
    if (downward) return orAt ? stored >= x : stored > x;
    return orAt ? stored <= x : stored < x;
}

// Linear interpolation of (xs, ys) at grid abscissae running the same way as xs, each search
// going on from the interval of the point before. A DSP window that reaches beyond the run (its
// limits set for a longer run, an AC window from 0) holds the run's end values there: drawn on
// with the slope of the last step, a sine 8 ms past its end would read 100 V.
template <class Read>
void Resample(const std::vector<double>& xs, Read&& y, const std::vector<double>& grid, std::vector<double>& out)
{
    const std::size_t m = xs.size();
    out.assign(grid.size(), 0.0);
    if (m == 0) return;
    if (m == 1) {
        std::fill(out.begin(), out.end(), y(0));
        return;
    }
    const double lowest = std::min(xs.front(), xs.back()), highest = std::max(xs.front(), xs.back());
    const bool downward = xs.back() < xs.front();
    std::size_t j = 0;
    for (std::size_t i = 0; i < grid.size(); ++i) {
        const double x = std::clamp(grid[i], lowest, highest);
        while (j + 2 < m && Before(xs[j + 1], x, downward, false)) ++j;
        const double x0 = xs[j], x1 = xs[j + 1];
        const double y0 = y(j), y1 = y(j + 1);
        out[i] = x1 == x0 ? y0 : y0 + (y1 - y0) * (x - x0) / (x1 - x0);
    }
}

// The level's value of run sample j, as the evaluator kept it.
std::complex<float> Sample(const SpectralWorkRecord& work, std::size_t level, std::size_t j)
{
    if (level >= work.buffers.size()) return {};
    const auto& pages = work.buffers[level];
    const std::size_t page = j / kSpectralPagePoints;
    if (page >= pages.size() || !pages[page]) return {};
    return pages[page]->points[j % kSpectralPagePoints];
}

struct Operand {
    std::vector<double> re;
    std::vector<double> im;
    DspArray Array() { return {re, im}; }
};

class Pass {
public:
    Pass(WindowRecord* window, PlotRecord& plot) : window_(window), plot_(plot), store_(plot.store) {}

    void Run()
    {
        if (!ChooseGrid()) return;
        // After a failure the remaining DSP curves are resampled like plain ones, so that every
        // curve of the run still lies on the one grid.
        std::vector<bool> transformed(plot_.curves.size(), false);
        bool failed = false;
        for (std::size_t i = 0; i < plot_.curves.size() && !failed; ++i) {
            CurveRecord* curve = plot_.curves[i].get();
            if (!curve || !IsDspCurve(*curve)) continue;
            if (const int rc = ApplyProgram(*curve); rc != 0) {
                ReportMessage("WE", window_, rc);
                failed = true;
            } else {
                transformed[i] = true;
            }
        }
        for (std::size_t i = 0; i < plot_.curves.size(); ++i)
            if (plot_.curves[i] && !transformed[i]) ResampleOrdinary(*plot_.curves[i]);
        WriteCommonGrid();
    }

private:
    // N, dt, df and the grids; false when there is nothing to do.
    bool ChooseGrid()
    {
        const int kind = Analysis().analysisKind;
        bool anyDsp = false;
        for (const auto& c : plot_.curves) anyDsp = anyDsp || (c && IsDspCurve(*c));
        if (!anyDsp || plot_.curves.empty() || store_.runCount < 1) return false;
        const CurveRecord& lead = *plot_.curves[0];
        run_ = store_.runCount - 1;
        if (run_ >= static_cast<int>(lead.runFirstIndex.size()) || run_ >= static_cast<int>(lead.runLastIndex.size()))
            return false;
        first_ = lead.runFirstIndex[static_cast<std::size_t>(run_)];
        const int last = lead.runLastIndex[static_cast<std::size_t>(run_)];
        const int span = last - first_;
        if (span < 3) return false;

        try {
            runX_.resize(static_cast<std::size_t>(span) + 1);
        } catch (const std::bad_alloc&) {
            return Fail(kMsgInsufficientMemory);
        }
        for (std::size_t j = 0; j < runX_.size(); ++j) runX_[j] = GetWaveformValue(store_, 0, first_ + static_cast<int>(j));

        const DspSettings* settings = DspSettingsOf(RunDocument(), kind);
        const bool on = settings && settings->on != 0;
        double lower = 0.0, range = 0.0;
        int n = 0;
        if (on) {
            int error = 0;
            const double upper = EvalNumberOrExpression(settings->max, error);
            if (!error && kind != kAnalysisAc) lower = EvalNumberOrExpression(settings->min, error);
            const double points = error ? 0.0 : EvalNumberOrExpression(settings->nPts, error);
            if (error) return Fail(kMsgAlreadyReported);
            range = upper - lower;
            n = ClampDspPointCount(points);
        } else {
            n = NearestDspPointCount(span);
            if (kind == kAnalysisAc) {
                range = AcRun().fHigh;
            } else if (kind == kAnalysisTransient) {
                // The stored points start at the run's start time, not necessarily at 0: a grid
                // from 0 would fill its beginning from a line through the first two points.
                lower = TransientRun().tmin;
                range = TransientRun().tmax - TransientRun().tmin;
            } else {
                // A DC sweep has no final time: its grid spans the run's own sweep values.
                lower = runX_.front();
                range = runX_.back() - runX_.front();
            }
        }
        if (!(range != 0.0) || !std::isfinite(range)) return false;
        DspGrid& grid = DspPass().grid;
        grid.n = n;
        if (kind == kAnalysisAc) {
            grid.df = range / n;
            grid.dt = 1.0 / range;
            lower = 0.0;
        } else {
            grid.dt = range / n;
            grid.df = 1.0 / std::abs(range);  // a downward sweep still has rising frequencies
        }
        DspPass().firstIndex = first_;
        try {
            timeGrid_.resize(static_cast<std::size_t>(n));
            frequencyGrid_.resize(static_cast<std::size_t>(n));
        } catch (const std::bad_alloc&) {
            return Fail(kMsgInsufficientMemory);
        }
        for (int i = 0; i < n; ++i) {
            timeGrid_[static_cast<std::size_t>(i)] = lower + i * grid.dt;
            frequencyGrid_[static_cast<std::size_t>(i)] = i * grid.df;
        }
        sourceGrid_ = kind == kAnalysisAc ? &frequencyGrid_ : &timeGrid_;
        return true;
    }

    bool Fail(int id)
    {
        ReportMessage("WE", window_, id);
        return false;
    }

    Operand& Slot(std::size_t k)
    {
        if (slots_.size() <= k) slots_.resize(k + 1);
        Operand& s = slots_[k];
        s.re.assign(static_cast<std::size_t>(DspPass().grid.n), 0.0);
        s.im.assign(static_cast<std::size_t>(DspPass().grid.n), 0.0);
        return s;
    }

    int ApplyProgram(CurveRecord& curve)
    {
        const DspGrid& grid = DspPass().grid;
        const SpectralWorkRecord* work = curve.dspWork.get();
        const std::size_t samples =
            std::min(runX_.size(), work ? static_cast<std::size_t>(std::max(work->pointIndex, 0)) : std::size_t{0});
        const std::vector<double> xs(runX_.begin(), runX_.begin() + static_cast<std::ptrdiff_t>(samples));
        const auto* ins = ListHead<ExpressionInstruction>(curve.yExpression.instructions);
        std::size_t k = 0;
        try {
            for (char step : curve.dspProgram) {
                if (step == kPushOperand) {
                    Operand& s = Slot(k);
                    if (work) {
                        Resample(xs, [&](std::size_t j) { return static_cast<double>(Sample(*work, k, j).real()); },
                                 *sourceGrid_, s.re);
                        Resample(xs, [&](std::size_t j) { return static_cast<double>(Sample(*work, k, j).imag()); },
                                 *sourceGrid_, s.im);
                    }
                    ++k;
                    continue;
                }
                while (ins && (ins->pushFlag || !IsDspOpcode(ins->opcode))) ins = ListNext(ins);
                if (!ins) break;
                const int operands = OperandCount(*ins);
                if (k < static_cast<std::size_t>(operands)) break;  // a program that does not fit its stack
                if (operands == 2) --k;
                const std::size_t second = k;
                if (operands == 1) Slot(second);  // scratch, zero: THD's missing fundamental
                if (const int rc = ApplyDspFunction(grid, ins->opcode, slots_[k - 1].Array(), slots_[second].Array(), ResultAxis(curve)))
                    return rc;
                ins = ListNext(ins);
            }
        } catch (const std::bad_alloc&) {
            return kMsgInsufficientMemory;
        }
        if (k == 0 || slots_.empty()) {
            ResampleOrdinary(curve);  // nothing to show but its plain points
            return 0;
        }
        WriteDspResult(curve, slots_[0]);
        return 0;
    }

    // The X values a DSP curve's result is shown against.
    const std::vector<double>& ResultAxis(const CurveRecord& curve) const
    {
        return curve.xLetter[kWaveformX] == 'F' ? frequencyGrid_ : timeGrid_;
    }

    void WriteDspResult(CurveRecord& curve, const Operand& result)
    {
        const int n = DspPass().grid.n;
        const std::vector<double>& xs = ResultAxis(curve);
        const int xSlot = curve.storeSlots[kWaveformX];
        curve.dataMin = {1e200, 1e200};
        curve.dataMax = {-1e200, -1e200};
        for (int i = 0; i < n; ++i) {
            const auto u = static_cast<std::size_t>(i);
            const double y = result.im[u] == 0.0 ? result.re[u] : std::hypot(result.re[u], result.im[u]);
            const double x = xs[u];
            SetWaveformValue(store_, curve.storeSlots[kWaveformY], first_ + i, y);
            if (xSlot > 0) SetWaveformValue(store_, xSlot, first_ + i, x);
            curve.dataMin[kWaveformX] = std::min(curve.dataMin[kWaveformX], x);
            curve.dataMax[kWaveformX] = std::max(curve.dataMax[kWaveformX], x);
            curve.dataMin[kWaveformY] = std::min(curve.dataMin[kWaveformY], y);
            curve.dataMax[kWaveformY] = std::max(curve.dataMax[kWaveformY], y);
        }
        SetRunEnd(curve);
    }

    // A plain curve follows the grid too, so that every curve of the plot shares one X.
    // Digital states hold their value up to the next stored change.
    void ResampleOrdinary(CurveRecord& curve)
    {
        const std::size_t m = runX_.size();
        std::vector<double> values(m), out;
        for (int axis = 0; axis < 2; ++axis) {
            const int slot = curve.storeSlots[static_cast<std::size_t>(axis)];
            if (slot <= 0) continue;
            for (std::size_t j = 0; j < m; ++j) values[j] = GetWaveformValue(store_, slot, first_ + static_cast<int>(j));
            if (curve.digital && axis == kWaveformY) {
                out.assign(sourceGrid_->size(), values.front());
                const bool downward = runX_.back() < runX_.front();
                std::size_t j = 0;
                for (std::size_t i = 0; i < out.size(); ++i) {
                    while (j + 1 < m && Before(runX_[j + 1], (*sourceGrid_)[i], downward, true)) ++j;
                    out[i] = values[j];
                }
            } else {
                Resample(runX_, [&](std::size_t j) { return values[j]; }, *sourceGrid_, out);
            }
            for (std::size_t i = 0; i < out.size(); ++i) SetWaveformValue(store_, slot, first_ + static_cast<int>(i), out[i]);
        }
        SetRunEnd(curve);
    }

    void SetRunEnd(CurveRecord& curve)
    {
        const int last = first_ + DspPass().grid.n - 1;
        curve.lastPointIndex = last;
        if (static_cast<std::size_t>(run_) < curve.runLastIndex.size()) curve.runLastIndex[static_cast<std::size_t>(run_)] = last;
    }

    void WriteCommonGrid()
    {
        for (std::size_t i = 0; i < sourceGrid_->size(); ++i)
            SetWaveformValue(store_, 0, first_ + static_cast<int>(i), (*sourceGrid_)[i]);
    }

    WindowRecord* window_;
    PlotRecord& plot_;
    WaveformStore& store_;
    int run_ = 0;
    int first_ = 0;
    std::vector<double> runX_;
    std::vector<double> timeGrid_;
    std::vector<double> frequencyGrid_;
    const std::vector<double>* sourceGrid_ = nullptr;
    std::vector<Operand> slots_;
};

}  // namespace

DspPassState& DspPass()
{
    static DspPassState state;
    return state;
}

void ResetDspPassForTests() { DspPass() = DspPassState{}; }

bool IsDspCurve(const CurveRecord& curve) { return curve.dspWork && !curve.dspProgram.empty(); }

DspSettings* DspSettingsOf(CircuitDocument* document, int kind)
{
    if (!document || kind < 0 || kind >= static_cast<int>(document->dsp.size())) return nullptr;
    return &document->dsp[static_cast<std::size_t>(kind)];
}

void FinishDspCurveCompile(CurveRecord& curve)
{
    curve.dspProgram.clear();
    CompiledExpression& e = curve.yExpression;
    bool any = false;
    for (const auto* i = ListHead<ExpressionInstruction>(e.instructions); i; i = ListNext(i))
        any = any || (!i->pushFlag && IsDspOpcode(i->opcode));
    // A Fourier result lies in the other domain: against F in a transient run (or T in an AC
    // run) the numeric output prints it as a table of its own.
    curve.crossDomain = any ? 1 : 0;
    if (!any) {
        e.spectral = nullptr;
        curve.dspWork.reset();
        return;
    }
    // Which values on the evaluation stack are whole-curve results: an operand, or a plain
    // function of plain values, is a point value; a Fourier function pushes its plain arguments
    // as operands of the pass and leaves a whole-curve result.
    std::vector<bool> wholeCurve;
    for (const auto* i = ListHead<ExpressionInstruction>(e.instructions); i; i = ListNext(i)) {
        if (i->pushFlag) {
            wholeCurve.push_back(false);
            continue;
        }
        const std::size_t args = std::min<std::size_t>(static_cast<std::size_t>(std::max(i->index, 0)), wholeCurve.size());
        const std::size_t base = wholeCurve.size() - args;
        bool anyWhole = false;
        for (std::size_t a = base; a < wholeCurve.size(); ++a) anyWhole = anyWhole || wholeCurve[a];
        if (IsDspOpcode(i->opcode)) {
            const std::size_t operands = std::min<std::size_t>(static_cast<std::size_t>(OperandCount(*i)), args);
            for (std::size_t a = base; a < base + operands; ++a)
                if (!wholeCurve[a]) curve.dspProgram.push_back(kPushOperand);
            curve.dspProgram.push_back(kApplyFunction);
            anyWhole = true;
        }
        wholeCurve.resize(base);
        wholeCurve.push_back(anyWhole);
    }
    if (curve.dspWork) curve.dspWork->pointIndex = 0;
}

void InterpolateDspStartSamples(CurveRecord& curve, double fraction)
{
    if (!curve.dspWork) return;
    for (auto& level : curve.dspWork->buffers) {
        if (level.empty() || !level[0]) continue;
        auto& p = level[0]->points;
        const std::complex<float> v1 = p[1], v2 = p[2];
        const auto f = static_cast<float>(fraction);
        p[0] = v1 + (v2 - v1) * f;
    }
}

void FreeDspStores(PlotRecord& plot)
{
    for (auto& curve : plot.curves) {
        if (!curve || !curve->dspWork) continue;
        SpectralWorkRecord& work = *curve->dspWork;
        for (auto& level : work.buffers) std::vector<std::unique_ptr<SpectralPage>>().swap(level);
        work.pointIndex = 0;
    }
}

void ComputeDspCurves(WindowRecord* window)
{
    PlotRecord* plot = window && window->plot ? window->plot.get() : nullptr;
    if (!plot) return;
    {
        Pass pass(window, *plot);
        pass.Run();
    }
    FreeDspStores(*plot);
    DspPass().finished = 1;
}

int CheckDspPointCount()
{
    const DspSettings* settings = DspSettingsOf(RunDocument(), Analysis().analysisKind);
    if (!settings || settings->on == 0) return 0;
    const int kind = Analysis().analysisKind;
    int error = 0;
    const double value = EvalNumberOrExpression(settings->nPts, error);
    const double whole = std::trunc(value);
    if (error || !IsPowerOfTwo(static_cast<long long>(whole)) || whole < kDspMinPoints || whole > kDspMaxPoints) {
        ReportMessage("E", kMsgFftPointCount);
    } else {
        // The window must hold something: a transient window runs forward in time, an AC window
        // from 0 up to a frequency above it; a DC window may run either way, as its sweep does.
        const double upper = EvalNumberOrExpression(settings->max, error);
        const double lower = error || kind == kAnalysisAc ? 0.0 : EvalNumberOrExpression(settings->min, error);
        if (!error && std::isfinite(upper) && std::isfinite(lower) && upper != lower &&
            (kind == kAnalysisDc || upper > lower))
            return 0;
        if (!error) ReportMessage("E", kMsgIllegalRange);
    }
    win::PostMessage(AppFrameWindow(), win::WM_COMMAND, kCmdDspParameters, 0);
    RunControl().failureReported = 1;
    return kMsgAlreadyReported;
}

}  // namespace kq5
