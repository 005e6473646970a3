#include "plots/dsp_functions.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <new>
#include <vector>

#include "core/expr_symbols.h"
#include "core/fft.h"

namespace kq5 {

namespace {

constexpr int kMsgInsufficientMemory = 15002;
constexpr double kRadiansToDegrees = 57.29577951308232;

std::size_t Count(const DspGrid& grid) { return static_cast<std::size_t>(std::max(grid.n, 0)); }

int Transform(const DspGrid& grid, DspArray x, int direction) { return ComputeFFT(grid.n, x.re, x.im, direction); }

void Negate(std::span<double> values, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) values[i] = -values[i];
}

// a = a * b, point by point.
void MultiplyInto(DspArray a, DspArray b, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        const double re = a.re[i] * b.re[i] - a.im[i] * b.im[i];
        const double im = a.im[i] * b.re[i] + a.re[i] * b.im[i];
        a.re[i] = re;
        a.im[i] = im;
    }
}

void Scale(DspArray a, double s, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        a.re[i] *= s;
        a.im[i] *= s;
    }
}

void CopyArray(DspArray from, DspArray to, std::size_t n)
{
    std::copy_n(from.re.begin(), n, to.re.begin());
    std::copy_n(from.im.begin(), n, to.im.begin());
}

int Harmonics(const DspGrid& grid, DspArray a)
{
    if (int rc = Transform(grid, a, kFftForward)) return rc;
    const std::size_t n = Count(grid);
    const double whole = static_cast<double>(grid.n);
    const double half = whole / 2.0;
    a.re[0] /= whole;
    a.im[0] /= -whole;
    for (std::size_t k = 1; k < n; ++k) {
        a.re[k] /= half;
        a.im[k] /= -half;
    }
    return 0;
}

// The coherence of x and y: their cross correlation over the geometric mean of the two
// autocorrelations at zero lag, so that COH(x, x) is 1 at lag 0.
int Coherence(const DspGrid& grid, DspArray x, DspArray y)
{
    const std::size_t n = Count(grid);
    std::vector<double> keptXr, keptXi, keptYr, keptYi;
    try {
        keptXr.assign(x.re.begin(), x.re.begin() + static_cast<std::ptrdiff_t>(n));
        keptXi.assign(x.im.begin(), x.im.begin() + static_cast<std::ptrdiff_t>(n));
        keptYr.assign(y.re.begin(), y.re.begin() + static_cast<std::ptrdiff_t>(n));
        keptYi.assign(y.im.begin(), y.im.begin() + static_cast<std::ptrdiff_t>(n));
    } catch (const std::bad_alloc&) {
        return kMsgInsufficientMemory;
    }
    const DspArray keptX{keptXr, keptXi};
    const DspArray keptY{keptYr, keptYi};
    // AC(x) uses y as scratch; y is restored before AC(y), which uses x as scratch.
    if (int rc = PowerOrCorrelation(grid, kOpAc, x, y)) return rc;
    const double a = x.re[0];
    CopyArray(keptY, y, n);
    if (int rc = PowerOrCorrelation(grid, kOpAc, y, x)) return rc;
    const double b = y.re[0];
    const double product = a * b;
    const double norm = product > 0.0 ? std::sqrt(product) : 0.0;
    CopyArray(keptX, x, n);
    CopyArray(keptY, y, n);
    if (int rc = PowerOrCorrelation(grid, kOpCc, x, y)) return rc;
    for (std::size_t i = 0; i < n; ++i) {
        if (norm != 0.0) x.re[i] /= norm;
        x.im[i] = 0.0;
    }
    return 0;
}

// Cumulative total harmonic distortion in percent of frequency-domain data: at bin k the root
// sum of squares of bins b+1 .. k over the fundamental bin b.
void HarmonicDistortion(const DspGrid& grid, DspArray x, double fundamental)
{
    const int n = grid.n;
    int b = 1;
    if (fundamental > 0.0 && grid.df > 0.0) {
        for (int k = 0; k < n; ++k) {
            const double f = static_cast<double>(k + 1) * grid.df;
            if (std::fabs((fundamental - f) / f) < 0.01) b = k + 1;
        }
    }
    b = std::min(b, n - 1);
    double reference = std::hypot(x.re[static_cast<std::size_t>(b)], x.im[static_cast<std::size_t>(b)]) / 100.0;
    if (!(reference > 0.0)) reference = 1.0;
    double sum = 0.0;
    for (int k = 0; k < n; ++k) {
        const auto i = static_cast<std::size_t>(k);
        if (k < b + 1 || k > n / 2) {
            x.re[i] = 0.0;
        } else {
            sum += x.re[i] * x.re[i] + x.im[i] * x.im[i];
            x.re[i] = std::sqrt(sum) / reference;
        }
        x.im[i] = 0.0;
    }
}

// The running forms of SUM, DEL, AVG and RMS over a whole curve, as their point forms run over
// the points of a run: SUM the trapezoidal integral along x, DEL the step from the previous
// value (0 at the first), AVG and RMS the running mean and root mean square from the first x
// (0 there).
void RunningAlongAxis(int code, DspArray a, std::span<const double> x, std::size_t n)
{
    std::complex<double> previous{a.re[0], a.im[0]}, total{};
    double squares = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::complex<double> y{a.re[i], a.im[i]};
        const double step = i > 0 ? x[i] - x[i - 1] : 0.0;
        const double span = x[i] - x[0];
        std::complex<double> out;
        switch (code) {
        case kOpSpectralSum: out = total += step * (y + previous) * 0.5; break;
        case kOpSpectralDel: out = y - previous; break;
        case kOpSpectralAvg:
            total += step * y;
            out = span != 0.0 ? total / span : std::complex<double>{};
            break;
        default:
            squares += step * std::norm(y);
            out = span != 0.0 ? std::sqrt(squares / span) : 0.0;
            break;
        }
        previous = y;
        a.re[i] = out.real();
        a.im[i] = out.imag();
    }
}

}  // namespace

bool DspCodeTakesTwoOperands(int code)
{
    return code == kOpCmul || code == kOpCs || code == kOpCc || code == kOpCoh || code == kOpThd;
}

int PowerOrCorrelation(const DspGrid& grid, int code, DspArray x, DspArray y)
{
    const std::size_t n = Count(grid);
    if (int rc = Transform(grid, x, kFftForward)) return rc;
    if (code == kOpAs || code == kOpAc) {
        CopyArray(x, y, n);
    } else if (int rc = Transform(grid, y, kFftForward)) {
        return rc;
    }
    Negate(y.im, n);
    MultiplyInto(x, y, n);
    double s = grid.dt * grid.dt;
    if (code == kOpCc || code == kOpAc) {
        if (int rc = Transform(grid, x, kFftInverse)) return rc;
        s = std::abs(grid.dt);  // a DC sweep may run downward: its step is negative
    }
    Scale(x, s, n);
    return 0;
}

int ApplyDspFunction(const DspGrid& grid, int code, DspArray a, DspArray b, std::span<const double> axis)
{
    const std::size_t n = Count(grid);
    if (a.re.size() < n || a.im.size() < n || b.re.size() < n || b.im.size() < n) return kMsgFftPointCount;
    switch (code) {
    case kOpHarm: return Harmonics(grid, a);
    case kOpFft: return Transform(grid, a, kFftForward);
    case kOpIft: return Transform(grid, a, kFftInverse);
    case kOpConj: Negate(a.im, n); return 0;
    case kOpPsd: {
        // Power per hertz: the auto power spread over the frequency step 1 / (N dt).
        if (int rc = PowerOrCorrelation(grid, kOpAs, a, b)) return rc;
        const double span = static_cast<double>(grid.n) * std::abs(grid.dt);
        if (span > 0.0) Scale(a, 1.0 / span, n);
        return 0;
    }
    case kOpCmul: MultiplyInto(a, b, n); return 0;
    case kOpCs:
    case kOpCc:
    case kOpAs:
    case kOpAc: return PowerOrCorrelation(grid, code, a, b);
    case kOpCoh: return Coherence(grid, a, b);
    case kOpThd: HarmonicDistortion(grid, a, n > 1 ? b.re[1] : 0.0); return 0;
    case kOpSpectralRe:
        std::fill_n(a.im.begin(), n, 0.0);
        return 0;
    case kOpSpectralIm:
        std::copy_n(a.im.begin(), n, a.re.begin());
        std::fill_n(a.im.begin(), n, 0.0);
        return 0;
    case kOpSpectralMag:
        for (std::size_t i = 0; i < n; ++i) a.re[i] = std::hypot(a.re[i], a.im[i]), a.im[i] = 0.0;
        return 0;
    case kOpSpectralPh:
        for (std::size_t i = 0; i < n; ++i) a.re[i] = std::atan2(a.im[i], a.re[i]) * kRadiansToDegrees, a.im[i] = 0.0;
        return 0;
    case kOpSpectralSum:
    case kOpSpectralDel:
    case kOpSpectralAvg:
    case kOpSpectralRms: {
        if (n == 0) return 0;
        std::vector<double> frequencies;
        if (axis.size() < n) {
            frequencies.resize(n);
            for (std::size_t i = 0; i < n; ++i) frequencies[i] = static_cast<double>(i) * grid.df;
            axis = frequencies;
        }
        RunningAlongAxis(code, a, axis, n);
        return 0;
    }
    default: return 0;
    }
}

int NearestDspPointCount(int storedSpan)
{
    int best = 1;
    for (int p = 1; p <= kDspMaxPoints; p *= 2)
        if (std::abs(p - storedSpan) < std::abs(best - storedSpan)) best = p;
    return std::max(best, kDspMinPoints);
}

int ClampDspPointCount(double value)
{
    if (!(value > kDspMinPoints)) return kDspMinPoints;  // NaN too
    if (value > kDspMaxPoints) return kDspMaxPoints;
    return static_cast<int>(value);
}

}  // namespace kq5
