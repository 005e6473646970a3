#include "devices/laplace_source_load.h"

#include <cmath>
#include <new>
#include <numbers>
#include <type_traits>
#include <vector>

#include "core/device_record_fields.h"
#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/device_dispatch.h"
#include "analog/device_dispatch_tables.h"
#include "analog/transient_run.h"
#include "core/device_lists.h"
#include "core/expr_evaluator.h"
#include "core/fft.h"
#include "devices/behavioural_source_walk.h"
#include "netlist/controlled_source_devices.h"
#include "analog/stamp_ac.h"
#include "devices/table_source_load.h"

namespace kq5 {

namespace {

constexpr int kLaplaceFirstType = 31;
constexpr int kFreqTableFirstType = 43;
constexpr int kMsgInsufficientMemory = 15002;
// The damping of the Laplace samples: S = sigma + j w with sigma = 6.5 / TSTOP keeps the
// periodic repetition of the sampled response small over the run; it is undone in time.
constexpr double kDampingPerRun = 6.5;
constexpr double kFirstSampleFrequency = 1e-9;
constexpr double kDcFrequency = 1e-50;
constexpr double kZeroInput = 1e-9;
constexpr double kNegligibleGain = 1e-20;
constexpr double kTiny = 1e-50;
constexpr double kNepersPerDb = 0.1151292546497023;
constexpr double kRadiansPerDegree = 0.0174532925199433;

// The part of a source's convolution over the samples before its last accepted point, which
// the Newton iterations and retried steps at one time index share: the sums with the response
// at the time index and one index on, over samples 0 .. settled - 1.
struct SettledSums {
    std::size_t last = 0;
    std::size_t settled = 0;
    double atIndex = 0.0;
    double atNext = 0.0;
    bool valid = false;
};

// The sampled impulse responses and input histories of one kind, one row per source.
struct ConvolutionBuffers {
    std::vector<std::vector<double>> responses;
    std::vector<std::vector<double>> histories;
    std::vector<SettledSums> settled;
    std::vector<double> direct;  // the gain at high frequency, applied to the present input
    bool built = false;
};

struct LaplaceBufferState {
    ConvolutionBuffers laplace;
    ConvolutionBuffers table;
};

LaplaceBufferState& Buffers()
{
    static LaplaceBufferState state;
    return state;
}

template <class Device>
int KindOf(const Device& d, int firstType)
{
    const int kind = d.outputKind - firstType;
    return kind >= 0 && kind <= 3 ? kind : 0;
}

int KindOf(const LaplaceSourceDevice& d) { return KindOf(d, kLaplaceFirstType); }
int KindOf(const FreqTableSourceDevice& d) { return KindOf(d, kFreqTableFirstType); }
constexpr int ListOf(const LaplaceSourceDevice*) { return kLaplaceSourceDeviceList; }
constexpr int ListOf(const FreqTableSourceDevice*) { return kFreqTableSourceDeviceList; }
ConvolutionBuffers& BuffersOf(const LaplaceSourceDevice*) { return Buffers().laplace; }
ConvolutionBuffers& BuffersOf(const FreqTableSourceDevice*) { return Buffers().table; }

template <class Device, class F>
int EachSource(F&& f)
{
    return ForEachSourceWithRow<Device>(ListOf(static_cast<const Device*>(nullptr)), f);
}

double At(int unknown) { return SolutionVector()[static_cast<std::size_t>(unknown)]; }

double At(const std::vector<double>& x, int unknown)
{
    const auto i = static_cast<std::size_t>(unknown);
    return i < x.size() ? x[i] : 0.0;
}

template <class Device>
double SourceInput(const Device& d, const std::vector<double>& x)
{
    const int kind = KindOf(d);
    const double u = kind == 0 || kind == 2 ? At(x, d.controlPlus) - At(x, d.controlMinus) : At(x, d.branch);
    return u == 0.0 ? kZeroInput : u;
}

template <class Device>
double SourceInput(const Device& d)
{
    return SourceInput(d, SolutionVector());
}

template <class Device>
double SourceOutput(const Device& d)
{
    const int kind = KindOf(d);
    return kind == 2 || kind == 3 ? At(d.outputPlus) - At(d.outputMinus) : At(d.branch);
}

int RowCount(const FreqTableSourceDevice& d) { return static_cast<int>(d.table.size() / 3); }
double Cell(const FreqTableSourceDevice& d, int row, int column)
{
    return d.table[static_cast<std::size_t>(3 * row + column)];
}

double InterpolateFreqTableColumn(const FreqTableSourceDevice& d, int j, int column, double f)
{
    const double dy = Cell(d, j, column) - Cell(d, j - 1, column);
    double fj = Cell(d, j, 0);
    double fi = Cell(d, j - 1, 0);
    if (fj <= kTiny) fj = kTiny;
    if (fi <= kTiny) fi = kTiny;
    double decades = std::log10(fj / fi);
    if (decades == 0.0) decades = kTiny;
    // Zero frequency (the stamp-building pass of an AC run) reads the table at the tiny one.
    return Cell(d, j - 1, column) + dy * std::log10(std::max(f, kTiny) / (Cell(d, j - 1, 0) + kTiny)) / decades;
}

// Samples 0 .. N - 1 of the impulse response of source k from N/2 + 1 frequency samples
// (scaled by N/2): the Hermitian extension made real by the inverse transform, then
// 2 df times the result, undamped by e^(sigma t).
int ImpulseResponseFromSamples(std::vector<double>& re, std::vector<double>& im, double df, double sigma,
                               std::vector<double>& response)
{
    const int n = TransientRun().convolutionPoints;
    const auto half = static_cast<std::size_t>(n / 2);
    im[half] = 0.0;
    for (std::size_t i = half + 1; i < static_cast<std::size_t>(n); ++i) {
        re[i] = re[static_cast<std::size_t>(n) - i];
        im[i] = -im[static_cast<std::size_t>(n) - i];
    }
    if (int rc = ComputeFFT(n, re, im, kFftInverse)) return rc;
    const double dt = TransientRun().convolutionStep;
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
        response[i] = 2.0 * df * re[i];
        if (sigma != 0.0) response[i] *= ClampedExp(sigma * static_cast<double>(i) * dt);
    }
    return 0;
}

// The gain a transfer function settles to at high frequency (a high-pass, a lead-lag, the
// proportional part of a controller), or 0 where it settles to none (a strictly proper one,
// a delay). Sampled with the rest, that part of the response would be an impulse that the
// grid smears over a step, and the output would lag every fast edge of the input.
int DirectGain(LaplaceSourceDevice& d, double& direct)
{
    direct = 0.0;
    if (!d.transfer.compiled) return 0;
    std::complex<double> h[2];
    const double frequencies[2] = {1e20, 2e20};
    for (int i = 0; i < 2; ++i) {
        Analysis().variables.frequency = frequencies[i];
        if (int rc = EvaluateExpression(*d.transfer.compiled, h[i])) return rc;
    }
    const double size = std::max(std::abs(h[0]), std::abs(h[1]));
    if (std::isfinite(size) && std::abs(h[0] - h[1]) <= 1e-9 * size && std::fabs(h[0].imag()) <= 1e-9 * size)
        direct = h[0].real();
    return 0;
}

// The frequency samples of one source at F = 1e-9 + i df, i = 0 .. N/2, less its direct gain.
int SampleLaplace(LaplaceSourceDevice& d, double df, std::vector<double>& re, std::vector<double>& im,
                  double& direct)
{
    AnalysisVariables& vars = Analysis().variables;
    const double savedFrequency = vars.frequency;
    const int n = TransientRun().convolutionPoints;
    int rc = DirectGain(d, direct);
    vars.frequency = kFirstSampleFrequency;
    for (std::size_t i = 0; i <= static_cast<std::size_t>(n / 2) && !rc; ++i) {
        std::complex<double> h;
        if (d.transfer.compiled) rc = EvaluateExpression(*d.transfer.compiled, h);
        re[i] = 0.5 * n * (h.real() - direct);
        im[i] = 0.5 * n * h.imag();
        vars.frequency += df;
    }
    vars.frequency = savedFrequency;
    return rc;
}

// The table's gain at zero frequency: its lowest row. Extrapolating the first segment down to
// (almost) zero frequency would carry its slope over tens of decades into a gain of any size.
std::complex<double> ZeroFrequencyValue(const FreqTableSourceDevice& d) { return FreqTableValue(d, 1, Cell(d, 0, 0)); }

// Above its top row a table of linear magnitudes, or of real and imaginary parts, would run on
// in straight lines, through zero and without bound, and the sampled response with it: there it
// continues as the power law through its last two rows, its phase on their slope, as a table in
// decibels does.
std::complex<double> ValueAboveTopRow(const FreqTableSourceDevice& d, double f)
{
    const int rows = RowCount(d);
    const double f1 = Cell(d, rows - 2, 0), f2 = Cell(d, rows - 1, 0);
    const std::complex<double> z1 = FreqTableValue(d, rows - 1, f1), z2 = FreqTableValue(d, rows - 1, f2);
    const double m1 = std::abs(z1), m2 = std::abs(z2);
    if (!(f1 > 0.0 && f2 > f1 && m1 > 0.0 && m2 > 0.0)) return z2;
    const double p1 = std::arg(z1);
    const double p2 = p1 + std::remainder(std::arg(z2) - p1, 2.0 * std::numbers::pi);
    const double x = std::log10(f / f2) / std::log10(f2 / f1);
    return std::polar(m2 * std::pow(m2 / m1, x), p2 + (p2 - p1) * x);
}

int SampleTable(const FreqTableSourceDevice& d, double df, std::vector<double>& re, std::vector<double>& im)
{
    const int n = TransientRun().convolutionPoints;
    const bool linear = d.magnitudeKeyword != kFreqDb && RowCount(d) >= 2;
    const double top = linear ? Cell(d, RowCount(d) - 1, 0) : 0.0;
    double f = kFirstSampleFrequency;
    for (std::size_t i = 0; i <= static_cast<std::size_t>(n / 2); ++i) {
        const std::complex<double> h = i == 0                  ? ZeroFrequencyValue(d)
                                       : linear && f > top ? ValueAboveTopRow(d, f)
                                                           : FreqTableValue(d, FreqTableSegment(d, f), f);
        re[i] = 0.5 * n * h.real();
        im[i] = 0.5 * n * h.imag();
        f += df;
    }
    return 0;
}

template <class Device>
int BuildImpulseResponses(ConvolutionBuffers& b)
{
    const TransientRunState& t = TransientRun();
    const int n = t.convolutionPoints;
    const auto columns = static_cast<std::size_t>(n) + 2;
    const double tstop = t.tmax;
    const double df = 0.5 / tstop;
    constexpr bool laplace = std::is_same_v<Device, LaplaceSourceDevice>;
    const double sigma = laplace ? kDampingPerRun / tstop : 0.0;
    if (laplace) Analysis().variables.laplaceSigma = sigma;
    try {
        const auto rows = static_cast<std::size_t>(DeviceList(ListOf(static_cast<const Device*>(nullptr))).count);
        b.responses.assign(rows, std::vector<double>(columns, 0.0));
        b.histories.assign(rows, std::vector<double>(columns, 0.0));
        b.settled.assign(rows, SettledSums{});
        b.direct.assign(rows, 0.0);
        std::vector<double> re(columns);
        std::vector<double> im(columns);
        return EachSource<Device>([&](Device& d, std::size_t k) {
            if (k >= b.responses.size()) return 0;
            std::fill(re.begin(), re.end(), 0.0);
            std::fill(im.begin(), im.end(), 0.0);
            int rc = 0;
            if constexpr (laplace)
                rc = SampleLaplace(d, df, re, im, b.direct[k]);
            else
                rc = SampleTable(d, df, re, im);
            if (rc) return rc;
            return ImpulseResponseFromSamples(re, im, df, sigma, b.responses[k]);
        });
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
}

// The gain at (almost) zero frequency.
int DcGain(LaplaceSourceDevice& d, double& gain)
{
    AnalysisVariables& vars = Analysis().variables;
    const double sigma = vars.laplaceSigma;
    vars.laplaceSigma = 0.0;
    vars.frequency = kDcFrequency;
    std::complex<double> h(0.0, 0.0);
    int rc = 0;
    if (d.transfer.compiled) rc = EvaluateExpression(*d.transfer.compiled, h);
    vars.laplaceSigma = sigma;
    gain = h.real();
    return rc;
}

int DcGain(const FreqTableSourceDevice& d, double& gain)
{
    gain = RowCount(d) >= 2 ? ZeroFrequencyValue(d).real() : 0.0;
    return 0;
}

template <class Device>
int SetupSources()
{
    return EachSource<Device>([](Device& d, std::size_t) {
        return ReserveControlledSourceStamps(d.solver.stamps, KindOf(d), d.branch, d.controlPlus, d.controlMinus,
                                             d.outputPlus, d.outputMinus);
    });
}

template <class Device>
int LoadSources()
{
    constexpr int list = ListOf(static_cast<const Device*>(nullptr));
    if (DeviceList(list).count == 0) return 0;
    const AnalogSolverState& s = AnalogSolver();
    const TransientRunState& t = TransientRun();
    ConvolutionBuffers& b = BuffersOf(static_cast<const Device*>(nullptr));
    const bool transient = Analysis().analysisKind == kAnalysisTransient;
    const int n = t.convolutionPoints;
    const double dt = t.convolutionStep;
    if (transient && !b.built) {
        if (int rc = BuildImpulseResponses<Device>(b)) return rc;
        b.built = true;
    }
    const double x = dt > 0.0 ? s.time / dt : 0.0;
    const double nf = std::floor(x);
    const double frac = x - nf;
    return EachSource<Device>([&](Device& d, std::size_t k) {
        const int kind = KindOf(d);
        const double u = SourceInput(d);
        double gain = kNegligibleGain;
        double direct = 0.0;
        double y = 0.0;
        if (s.operatingPointFlag) {
            if (int rc = DcGain(d, gain)) return rc;
            d.solver.initialOutput = gain * u;
            d.solver.dcInputStep = u * dt;
        } else {
            if (s.useInitialConditions && s.time == t.tmin) d.solver.initialOutput = SourceOutput(d);
            if (transient && b.built && k < b.responses.size() && nf <= n / 2) {
                const std::vector<double>& h = b.responses[k];
                std::vector<double>& hist = b.histories[k];
                // The history holds the input at the grid times: between the last accepted
                // point and this one it runs straight (before the run's first point it stands
                // at its starting value). An input taken at the time point nearest a grid time
                // instead would move a fast edge by up to half a grid step.
                const double ta = std::min(s.lastAcceptedTime, s.time);
                const double ua = SourceInput(d, s.savedSolution);
                const auto last = static_cast<std::size_t>(nf);
                const std::size_t first =
                    std::min(ta <= t.tmin ? 0 : static_cast<std::size_t>(std::ceil(ta / dt)), last + 1);
                for (std::size_t j = first; j <= last; ++j) {
                    const double tj = static_cast<double>(j) * dt;
                    hist[j] = (tj <= ta || s.time <= ta ? ua : ua + (u - ua) * (tj - ta) / (s.time - ta)) * dt;
                }
                const double step0 = d.solver.dcInputStep;
                SettledSums& c = b.settled[k];
                if (!c.valid || c.last != last || c.settled != first) {
                    c = SettledSums{last, first, 0.0, 0.0, true};
                    for (std::size_t j = 0; j < first; ++j) {
                        c.atIndex += h[last - j] * (hist[j] - step0);
                        c.atNext += h[last - j + 1] * (hist[j] - step0);
                    }
                }
                double sum = d.solver.initialOutput + (1.0 - frac) * c.atIndex + frac * c.atNext;
                for (std::size_t j = first; j <= last; ++j)
                    sum += ((1.0 - frac) * h[last - j] + frac * h[last - j + 1]) * (hist[j] - step0);
                y = sum + frac * h[0] * (u * dt - step0);
                // The direct part follows the present input, through the matrix.
                direct = b.direct[k];
                y += direct * (u - step0 / dt);
                if (direct != 0.0) gain = direct;
            }
        }
        CheckControlledSourceConverged(kind, y, &d.solver.previousOutput, u, &d.solver.previousInput);
        const double rhs = y - direct * u;
        switch (kind) {
        case 0:
        case 1:
            RhsEntry(d.outputPlus) -= rhs;
            RhsEntry(d.outputMinus) += rhs;
            break;
        case 2: RhsEntry(d.branch) = rhs; break;
        default: RhsEntry(d.branch + 1) = rhs; break;
        }
        StampCursor c(d.solver.stamps);
        StampControlledSource(c, kind, gain);
        c.Finish();
        return 0;
    });
}

int AcGain(LaplaceSourceDevice& d, std::complex<double>& gain)
{
    gain = {0.0, 0.0};
    return d.transfer.compiled ? EvaluateExpression(*d.transfer.compiled, gain) : 0;
}

int AcGain(const FreqTableSourceDevice& d, std::complex<double>& gain)
{
    const double f = Analysis().variables.frequency;
    gain = RowCount(d) >= 2 ? FreqTableValue(d, FreqTableSegment(d, f), f) : std::complex<double>();
    return 0;
}

template <class Device>
int AcLoadSources(int pass)
{
    return EachSource<Device>([&](Device& d, std::size_t) {
        const int kind = KindOf(d);
        const int b = d.branch;
        std::complex<double> g;
        if (int rc = AcGain(d, g)) return rc;
        if (pass == kAcStampPass)
            return StampAcControlledSource(true, 1, kind, b, b + 1, d.controlPlus, d.controlMinus, d.outputPlus,
                                           d.outputMinus, g.real(), g.imag());
        if (kind == 0) Devices().acCurrents[&d] = g * (AcSolution(d.controlPlus) - AcSolution(d.controlMinus));
        if (kind == 1) Devices().acCurrents[&d] = g * AcSolution(b);
        return 0;
    });
}

}  // namespace

void CheckControlledSourceConverged(int kind, double output, double* previousOutput, double input,
                                    double* previousInput)
{
    CheckSourceConverged(kind, output, previousOutput);
    AnalogSolverState& s = AnalogSolver();
    const double tol = s.reltol * std::max(std::fabs(input), std::fabs(*previousInput)) +
                       (kind == 0 || kind == 1 ? s.abstol : s.vntol);
    if (std::fabs(input - *previousInput) > tol) ++s.nonConvergedCount;
    *previousInput = input;
}

int FreqTableSegment(const FreqTableSourceDevice& d, double f)
{
    const int rows = RowCount(d);
    int j = 1;
    while (j <= rows - 2 && f > Cell(d, j, 0)) ++j;
    return j;
}

std::complex<double> FreqTableValue(const FreqTableSourceDevice& d, int j, double f)
{
    const double a = InterpolateFreqTableColumn(d, j, 1, f);
    const double b = InterpolateFreqTableColumn(d, j, 2, f);
    if (d.magnitudeKeyword == kFreqRealImag) return {a, b};
    const double magnitude = d.magnitudeKeyword == kFreqMag ? a : ClampedExp(kNepersPerDb * a);
    const double phase = d.phaseKeyword == kFreqRad ? b : b * kRadiansPerDegree;
    return {magnitude * std::cos(phase), magnitude * std::sin(phase)};
}

int SetupLaplaceSources() { return SetupSources<LaplaceSourceDevice>(); }
int SetupFreqTableSources() { return SetupSources<FreqTableSourceDevice>(); }
int LoadLaplaceSources() { return LoadSources<LaplaceSourceDevice>(); }
int LoadFreqTableSources() { return LoadSources<FreqTableSourceDevice>(); }
int AcLoadLaplaceSources(int pass) { return AcLoadSources<LaplaceSourceDevice>(pass); }
int AcLoadFreqTableSources(int pass) { return AcLoadSources<FreqTableSourceDevice>(pass); }

int ResetLaplaceTableSourceStates(int op)
{
    if (op != 0) return 0;
    for (LaplaceSourceDevice& d : ListRecords<LaplaceSourceDevice>(DeviceList(kLaplaceSourceDeviceList)))
        d.solver.dcInputStep = d.solver.initialOutput = 0.0;
    for (FreqTableSourceDevice& d : ListRecords<FreqTableSourceDevice>(DeviceList(kFreqTableSourceDeviceList)))
        d.solver.dcInputStep = d.solver.initialOutput = 0.0;
    return 0;
}

void FreeLaplaceBuffers() { Buffers() = LaplaceBufferState{}; }

void RegisterLaplaceSourceFamilies()
{
    RegisterDeviceKindHandlers(kSlotLaplaceSources, SetupLaplaceSources, LoadLaplaceSources);
    RegisterDeviceKindHandlers(kSlotLaplaceTableSources, SetupFreqTableSources, LoadFreqTableSources);
    RegisterAcStamper(kAcLaplaceSources, AcLoadLaplaceSources);
    RegisterAcStamper(kAcFreqTableSources, AcLoadFreqTableSources);
}

}  // namespace kq5
