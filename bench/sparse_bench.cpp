// Times the sparse matrix on the circuits of the transient benchmark (RC ladders and RC
// meshes): set-up, first ordering, and per Newton iteration the clear and load, the
// refactorisation and the solve. With --ngspice it runs ngspice on the same netlist with
// ".option acct" and prints its factor and solve time per iteration beside ours. With --order
// it times only the first ordering of RC meshes of growing size (best of --repeat runs) and
// prints its fill-ins and multiply-adds, and the growth exponent of each against the mesh
// before: the ordering's cost can be judged against the work it cannot avoid.
//
//   sparse_bench [--ngspice] [--quick]
//   sparse_bench --order [--repeat N] [K ...]   (K x K meshes, 50 100 141 200 by default)
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "analog/sparse_factor.h"
#include "analog/sparse_matrix.h"
#include "analog/sparse_solve.h"

namespace {

using namespace kq5;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// One stamp: four entries of a conductance, or the branch entries of a voltage source.
struct Stamp {
    int a, b;
    double g;
};

struct Circuit {
    std::string name;
    int nodes = 0;
    std::vector<Stamp> resistors;   // between nodes (b may be 0)
    std::vector<int> capacitors;    // node to ground
    int sourceNode = 1;
    std::string netlist;
};

constexpr double kR = 1e3, kC = 1e-12, kStep = 1e-9;

Circuit Ladder(int n)
{
    Circuit c;
    c.name = "ladder " + std::to_string(n);
    c.nodes = n;
    std::string& s = c.netlist;
    s = "* rc ladder\nV1 1 0 PULSE(0 1 0 1n 1n 5u 10u)\n";
    for (int i = 1; i < n; ++i) {
        c.resistors.push_back({i, i + 1, 1.0 / kR});
        s += "R" + std::to_string(i) + " " + std::to_string(i) + " " + std::to_string(i + 1) + " 1k\n";
    }
    for (int i = 1; i <= n; ++i) {
        c.capacitors.push_back(i);
        s += "C" + std::to_string(i) + " " + std::to_string(i) + " 0 1p\n";
    }
    return c;
}

Circuit Mesh(int k)
{
    Circuit c;
    c.name = "mesh " + std::to_string(k) + "x" + std::to_string(k);
    c.nodes = k * k;
    auto node = [k](int x, int y) { return y * k + x + 1; };
    std::string& s = c.netlist;
    s = "* rc mesh\nV1 1 0 PULSE(0 1 0 1n 1n 5u 10u)\n";
    int r = 0;
    for (int y = 0; y < k; ++y) {
        for (int x = 0; x < k; ++x) {
            for (auto [nx, ny] : {std::pair{x + 1, y}, {x, y + 1}}) {
                if (nx >= k || ny >= k) continue;
                c.resistors.push_back({node(x, y), node(nx, ny), 1.0 / kR});
                s += "R" + std::to_string(++r) + " " + std::to_string(node(x, y)) + " " +
                     std::to_string(node(nx, ny)) + " 1k\n";
            }
        }
    }
    for (int i = 1; i <= c.nodes; ++i) {
        c.capacitors.push_back(i);
        s += "C" + std::to_string(i) + " " + std::to_string(i) + " 0 1p\n";
    }
    return c;
}

struct Timing {
    double setup = 0, order = 0, load = 0, factor = 0, solve = 0;
    int iterations = 0, fillins = 0, elements = 0;
    double multiplyAdds = 0;  // of the ordering's elimination
};

// Multiply-adds of eliminating the ordered structure: each step updates every pair of its L
// column and U row.
double EliminationMultiplyAdds(const FactorPlan& plan)
{
    double total = 0;
    for (int k = 1; k <= plan.size; ++k) {
        const std::size_t j = static_cast<std::size_t>(k);
        total += double(plan.colStart[j + 1] - plan.diagPos[j] - 1) * double(plan.upperStart[j + 1] - plan.upperStart[j]);
    }
    return total;
}

Timing RunOurs(const Circuit& c, int iterations)
{
    Timing t;
    const int branch = c.nodes + 1;
    auto start = Clock::now();
    std::unique_ptr<SparseMatrix> m;
    CreateSolverMatrix(m);
    // Element references as the device set-up would keep them.
    struct Conductance {
        MatrixElementRef aa, ab, ba, bb;
        double g;
    };
    std::vector<Conductance> conductances;
    conductances.reserve(c.resistors.size() + c.capacitors.size());
    auto reserve = [&](int a, int b, double g) {
        Conductance k{};
        MatrixReserveElement(m.get(), a, a, k.aa);
        MatrixReserveElement(m.get(), a, b, k.ab);
        MatrixReserveElement(m.get(), b, a, k.ba);
        MatrixReserveElement(m.get(), b, b, k.bb);
        k.g = g;
        conductances.push_back(k);
    };
    MatrixElementRef sourceRow, sourceCol;
    MatrixReserveElement(m.get(), c.sourceNode, branch, sourceCol);
    MatrixReserveElement(m.get(), branch, c.sourceNode, sourceRow);
    for (const Stamp& r : c.resistors) reserve(r.a, r.b, r.g);
    for (int node : c.capacitors) reserve(node, 0, 2.0 * kC / kStep);  // trapezoidal companion
    t.setup = Seconds(start);

    std::vector<double> rhs(MatrixVectorLength(m.get()) * 2, 0.0), x(rhs.size(), 0.0);
    auto loadValues = [&](double scale) {
        MatrixClear(m.get());
        for (const Conductance& k : conductances) {
            const double g = k.g * scale;
            k.aa.Add(g);
            k.ab.Add(-g);
            k.ba.Add(-g);
            k.bb.Add(g);
        }
        sourceRow.Add(1.0);
        sourceCol.Add(1.0);
        std::fill(rhs.begin(), rhs.end(), 0.0);
        rhs[static_cast<std::size_t>(branch)] = 1.0;
    };

    loadValues(1.0);
    MatrixPreorder(m.get());
    start = Clock::now();
    if (MatrixFactorReal(m.get())) std::fprintf(stderr, "%s: singular\n", c.name.c_str());
    t.order = Seconds(start);
    t.fillins = m->fillinCount;
    t.elements = m->elementCount;
    t.multiplyAdds = EliminationMultiplyAdds(m->plan);

    // Best of five batches, so that other work on the machine does not decide the result.
    for (int batch = 0; batch < 5; ++batch) {
        double load = 0, factor = 0, solve = 0;
        for (int i = 0; i < iterations; ++i) {
            auto phase = Clock::now();
            loadValues(1.0 + 1e-3 * (i % 7));
            load += Seconds(phase);
            phase = Clock::now();
            MatrixFactorReal(m.get());
            factor += Seconds(phase);
            phase = Clock::now();
            MatrixSolve(m.get(), rhs, x);
            solve += Seconds(phase);
        }
        if (batch == 0 || factor + solve < t.factor + t.solve) {
            t.load = load;
            t.factor = factor;
            t.solve = solve;
        }
    }
    t.iterations = iterations;
    return t;
}

// ngspice's own accounting of the same circuit's transient run.
std::map<std::string, double> RunNgspice(const Circuit& c, double tstop)
{
    std::map<std::string, double> stats;
    const std::string path = "/tmp/kq5_sparse_bench.cir";
    std::ofstream(path) << c.netlist << ".option acct\n.tran 1n " << tstop << "\n.print tran v(2)\n.end\n";
    FILE* pipe = popen(("ngspice -b " + path + " 2>&1").c_str(), "r");
    if (!pipe) return stats;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        const char* eq = std::strchr(line, '=');
        if (!eq) continue;
        std::string key(line, static_cast<std::size_t>(eq - line));
        while (!key.empty() && key.back() == ' ') key.pop_back();
        stats[key] = std::atof(eq + 1);
    }
    pclose(pipe);
    return stats;
}

int OrderingGrowth(const std::vector<int>& sizes, int repeat)
{
    std::printf("%-14s %8s %9s %11s %9s | %7s %7s %7s\n", "circuit", "n", "fill-ins", "mult-adds", "order ms",
                "n^fill", "n^ops", "n^time");
    double lastN = 0, lastFill = 0, lastOps = 0, lastTime = 0;
    for (int k : sizes) {
        const Circuit c = Mesh(k);
        Timing best;
        for (int r = 0; r < repeat; ++r) {
            const Timing t = RunOurs(c, 0);
            if (r == 0 || t.order < best.order) best = t;
        }
        const double n = c.nodes;
        std::printf("%-14s %8d %9d %11.0f %9.2f |", c.name.c_str(), c.nodes, best.fillins, best.multiplyAdds,
                    1e3 * best.order);
        if (lastN > 0) {
            auto exponent = [&](double now, double before) { return std::log(now / before) / std::log(n / lastN); };
            std::printf(" %7.2f %7.2f %7.2f", exponent(best.fillins, lastFill), exponent(best.multiplyAdds, lastOps),
                        exponent(best.order, lastTime));
        }
        std::printf("\n");
        std::fflush(stdout);
        lastN = n;
        lastFill = best.fillins;
        lastOps = best.multiplyAdds;
        lastTime = best.order;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    bool ngspice = false, quick = false, order = false;
    int repeat = 3;
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        ngspice |= std::strcmp(argv[i], "--ngspice") == 0;
        quick |= std::strcmp(argv[i], "--quick") == 0;
        order |= std::strcmp(argv[i], "--order") == 0;
        if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc)
            repeat = std::max(1, std::atoi(argv[++i]));
        else if (argv[i][0] != '-')
            sizes.push_back(std::atoi(argv[i]));
    }
    if (order) return OrderingGrowth(sizes.empty() ? std::vector<int>{50, 100, 141, 200} : sizes, repeat);
    std::vector<Circuit> circuits = {Ladder(1000), Ladder(10000), Ladder(100000),
                                     Mesh(20),     Mesh(30),      Mesh(50),      Mesh(100)};
    std::printf("%-14s %8s %8s %9s %9s | %10s %10s %10s | %10s %10s %7s\n", "circuit", "elements", "fill-ins",
                "setup ms", "order ms", "load us", "factor us", "solve us", "ng fact us", "ng solv us", "ratio");
    for (const Circuit& c : circuits) {
        const int iterations = quick ? 20 : std::max(20, 1000000 / (c.nodes * 3));
        const Timing t = RunOurs(c, iterations);
        const double factorUs = 1e6 * t.factor / t.iterations, solveUs = 1e6 * t.solve / t.iterations;
        std::printf("%-14s %8d %8d %9.2f %9.2f | %10.1f %10.1f %10.1f |", c.name.c_str(), t.elements, t.fillins,
                    1e3 * t.setup, 1e3 * t.order, 1e6 * t.load / t.iterations, factorUs, solveUs);
        if (ngspice) {
            // Best of three runs, like ours.
            std::map<std::string, double> s;
            double best = 0.0;
            for (int run = 0; run < (quick ? 1 : 3); ++run) {
                auto r = RunNgspice(c, quick ? 1e-7 : 2e-6);
                const double it = r["Total iterations"];
                const double perIteration = it > 0 ? (r["Matrix factor time"] + r["Matrix solve time"]) / it : 0.0;
                if (it > 0 && (s.empty() || perIteration < best)) {
                    s = r;
                    best = perIteration;
                }
            }
            const double it = s["Total iterations"];
            if (it > 0) {
                const double ngFactor = 1e6 * s["Matrix factor time"] / it, ngSolve = 1e6 * s["Matrix solve time"] / it;
                std::printf(" %10.1f %10.1f %7.2f  (ngspice fill-ins %.0f, order %.1f ms)", ngFactor, ngSolve,
                            (factorUs + solveUs) / (ngFactor + ngSolve), s["Circuit fill-in non-zeroes"],
                            1e3 * s["Matrix reorder time"]);
            }
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    return 0;
}
