#pragma once
// Random modified-nodal systems and a dense LU reference for the sparse matrix tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numeric>
#include <random>
#include <utility>
#include <vector>

#include "analog/sparse_factor.h"
#include "analog/sparse_matrix.h"
#include "analog/sparse_solve.h"

namespace kq5::sparse_test {

using Complex = std::complex<double>;

// Dense Gaussian elimination with partial pivoting on a 1-based system (row and column 0
// unused). False when a pivot column is exactly zero.
inline bool DenseSolve(std::vector<std::vector<Complex>> a, std::vector<Complex> b, std::vector<Complex>& x)
{
    const int n = static_cast<int>(a.size()) - 1;
    for (int k = 1; k <= n; ++k) {
        int p = k;
        for (int i = k + 1; i <= n; ++i)
            if (std::abs(a[i][k]) > std::abs(a[p][k])) p = i;
        if (a[p][k] == Complex(0.0)) return false;
        std::swap(a[p], a[k]);
        std::swap(b[p], b[k]);
        for (int i = k + 1; i <= n; ++i) {
            const Complex f = a[i][k] / a[k][k];
            if (f == Complex(0.0)) continue;
            for (int j = k; j <= n; ++j) a[i][j] -= f * a[k][j];
            b[i] -= f * b[k];
        }
    }
    x.assign(static_cast<std::size_t>(n) + 1, Complex(0.0));
    for (int i = n; i >= 1; --i) {
        Complex t = b[i];
        for (int j = i + 1; j <= n; ++j) t -= a[i][j] * x[j];
        x[i] = t / a[i][i];
    }
    return true;
}

// One circuit structure: stamp positions by external (row, column), 0 being ground.
struct MnaSystem {
    int unknowns = 0;
    std::vector<std::pair<int, int>> positions;
    // Per position: how a load draws its value (see the kinds below).
    std::vector<int> kinds;
};

// Value kinds: four entries of one conductance, a branch entry of +1 or -1, a free value.
inline constexpr int kConductance = 0;
inline constexpr int kUnitPlus = 1;
inline constexpr int kFree = 2;
inline constexpr int kUnitMinus = 3;

class MnaBuilder {
public:
    explicit MnaBuilder(unsigned seed) : rng_(seed) {}

    // nodes node unknowns, then branch rows for voltage sources and inductors; a spanning tree
    // to ground keeps every node connected, extra resistors and transconductances add
    // off-diagonal structure (and fill-in).
    MnaSystem Build(int nodes, int sources, int inductors, int extraResistors, int transconductances)
    {
        MnaSystem s;
        s.unknowns = nodes + sources + inductors;
        std::vector<int> parent(static_cast<std::size_t>(nodes) + 1);
        std::iota(parent.begin(), parent.end(), 0);
        for (int i = 1; i <= nodes; ++i) AddConductance(s, i, Pick(0, i - 1));
        for (int k = 0; k < extraResistors; ++k) AddConductance(s, Pick(1, nodes), Pick(0, nodes));
        int branch = nodes;
        for (int k = 0; k < sources; ++k) {
            // No loops of voltage sources: they would make the system singular.
            int a, b;
            do {
                a = Pick(1, nodes);
                b = Pick(0, nodes);
            } while (a == b || Find(parent, a) == Find(parent, b));
            parent[static_cast<std::size_t>(Find(parent, a))] = Find(parent, b);
            AddBranch(s, a, b, ++branch, false);
        }
        for (int k = 0; k < inductors; ++k) AddBranch(s, Pick(1, nodes), Pick(0, nodes), ++branch, true);
        for (int k = 0; k < transconductances; ++k) {
            const int a = Pick(1, nodes), b = Pick(0, nodes), c = Pick(1, nodes), d = Pick(0, nodes);
            for (auto [r, col] : {std::pair{a, c}, {a, d}, {b, c}, {b, d}}) Add(s, r, col, kFree);
        }
        return s;
    }

    // Values of one load: conductances log-uniform over [gLow, gHigh] (their four entries
    // consistent), unit entries +-1, free entries small. Imaginary parts when complex.
    std::vector<Complex> Values(const MnaSystem& s, bool complex, double gLow = 1e-3, double gHigh = 1e3)
    {
        std::vector<Complex> v(s.positions.size());
        std::uniform_real_distribution<double> logG(std::log(gLow), std::log(gHigh));
        std::uniform_real_distribution<double> unit(-1.0, 1.0);
        for (std::size_t i = 0; i < s.positions.size();) {
            if (s.kinds[i] == kConductance) {
                const Complex g(std::exp(logG(rng_)), complex ? std::exp(logG(rng_)) : 0.0);
                v[i] = g;
                v[i + 1] = -g;
                v[i + 2] = -g;
                v[i + 3] = g;
                i += 4;
            } else if (s.kinds[i] == kUnitPlus || s.kinds[i] == kUnitMinus) {
                v[i] = s.kinds[i] == kUnitPlus ? 1.0 : -1.0;
                ++i;
            } else {
                v[i] = Complex(0.01 * unit(rng_), complex ? 0.01 * unit(rng_) : 0.0);
                ++i;
            }
        }
        return v;
    }

    std::vector<Complex> Rhs(int unknowns, bool complex)
    {
        std::uniform_real_distribution<double> unit(-1.0, 1.0);
        std::vector<Complex> b(static_cast<std::size_t>(unknowns) + 1);
        for (int i = 1; i <= unknowns; ++i) b[static_cast<std::size_t>(i)] = Complex(unit(rng_), complex ? unit(rng_) : 0.0);
        return b;
    }

    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
    std::mt19937& Rng() { return rng_; }

private:
    static int Find(std::vector<int>& parent, int i)
    {
        while (parent[static_cast<std::size_t>(i)] != i) i = parent[static_cast<std::size_t>(i)];
        return i;
    }
    static void Add(MnaSystem& s, int row, int col, int kind)
    {
        s.positions.emplace_back(row, col);
        s.kinds.push_back(kind);
    }
    static void AddConductance(MnaSystem& s, int a, int b)
    {
        Add(s, a, a, kConductance);
        Add(s, a, b, kConductance);
        Add(s, b, a, kConductance);
        Add(s, b, b, kConductance);
    }
    // (a,k) +1, (b,k) -1, (k,a) +1, (k,b) -1 and for an inductor a free diagonal.
    static void AddBranch(MnaSystem& s, int a, int b, int k, bool inductor)
    {
        Add(s, a, k, kUnitPlus);
        Add(s, b, k, kUnitMinus);
        Add(s, k, a, kUnitPlus);
        Add(s, k, b, kUnitMinus);
        if (inductor) Add(s, k, k, kFree);
    }

    std::mt19937 rng_;
};

// The sparse side of a test: one matrix with the element references a device set-up would
// keep, loaded and solved like the simulator does.
struct SparseRun {
    std::unique_ptr<SparseMatrix> matrix;
    std::vector<MatrixElementRef> refs;

    explicit SparseRun(const MnaSystem& s)
    {
        EXPECT_EQ(CreateSolverMatrix(matrix), 0);
        for (auto [r, c] : s.positions) {
            MatrixElementRef ref;
            EXPECT_EQ(MatrixReserveElement(matrix.get(), r, c, ref), 0);
            refs.push_back(ref);
        }
    }

    void Load(const std::vector<Complex>& values)
    {
        MatrixClear(matrix.get());
        for (std::size_t i = 0; i < refs.size(); ++i) refs[i].AddComplex(values[i].real(), values[i].imag());
    }

    // Factors and solves; the factor result, with x filled when it is 0.
    int FactorAndSolve(bool complex, const std::vector<Complex>& b, std::vector<Complex>& x)
    {
        const int error = complex ? MatrixFactorComplex(matrix.get()) : MatrixFactorReal(matrix.get());
        if (error) return error;
        x = SolveFactored(complex, b);
        return 0;
    }

    // Solves with the present factors, through the interleaved vectors of the complex mode.
    std::vector<Complex> SolveFactored(bool complex, const std::vector<Complex>& b)
    {
        const std::size_t n = b.size();
        std::vector<double> rhs(complex ? 2 * n : n), sol(rhs.size(), 0.0);
        for (std::size_t i = 0; i < n; ++i) {
            rhs[complex ? 2 * i : i] = b[i].real();
            if (complex) rhs[2 * i + 1] = b[i].imag();
        }
        EXPECT_EQ(MatrixSolve(matrix.get(), rhs, sol), 0);
        std::vector<Complex> x(n, Complex(0.0));
        for (std::size_t i = 1; i < n; ++i) x[i] = complex ? Complex(sol[2 * i], sol[2 * i + 1]) : Complex(sol[i]);
        return x;
    }
};

inline std::vector<std::vector<Complex>> DenseMatrix(const MnaSystem& s, const std::vector<Complex>& values)
{
    const std::size_t n = static_cast<std::size_t>(s.unknowns) + 1;
    std::vector<std::vector<Complex>> a(n, std::vector<Complex>(n));
    for (std::size_t i = 0; i < s.positions.size(); ++i) {
        auto [r, c] = s.positions[i];
        if (r > 0 && c > 0) a[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] += values[i];
    }
    return a;
}

// max |x - y| / max |y| over entries 1 .. n.
inline double RelativeDifference(const std::vector<Complex>& x, const std::vector<Complex>& y)
{
    double diff = 0.0, scale = 0.0;
    for (std::size_t i = 1; i < y.size(); ++i) {
        diff = std::max(diff, std::abs(x[i] - y[i]));
        scale = std::max(scale, std::abs(y[i]));
    }
    return scale > 0.0 ? diff / scale : diff;
}

// ||A x - b|| / (||A|| ||x|| + ||b||) in the max norm.
inline double RelativeResidual(const std::vector<std::vector<Complex>>& a, const std::vector<Complex>& x,
                               const std::vector<Complex>& b)
{
    double residual = 0.0, normA = 0.0, normX = 0.0, normB = 0.0;
    for (std::size_t i = 1; i < a.size(); ++i) {
        Complex t = -b[i];
        double rowSum = 0.0;
        for (std::size_t j = 1; j < a.size(); ++j) {
            t += a[i][j] * x[j];
            rowSum += std::abs(a[i][j]);
        }
        residual = std::max(residual, std::abs(t));
        normA = std::max(normA, rowSum);
        normX = std::max(normX, std::abs(x[i]));
        normB = std::max(normB, std::abs(b[i]));
    }
    return residual / (normA * normX + normB);
}

}  // namespace kq5::sparse_test
