// Times what a run costs beside its analysis: the start-up of a whole batch process, and the
// cost of having a display while a long run polls for keys.
//
// Rows (CPU seconds, user + system, median of interleaved runs):
//   empty job        one V and one R: "kq5 empty.ckt /T" against "ngspice -b", whole processes
//   2,000 calls      2,000 calls of a two-resistor subcircuit, whole processes (start-up,
//                    reading and expansion dominate)
//   display          a transient of a million accepted points run through the batch machinery
//                    in this process on the SDL2 backend (a real display: run under xvfb-run)
//                    against the same run on the headless backend
// The node value at the end of each run must agree with ngspice's within 1e-3 (our numeric
// output prints four digits).
//
//   startup_bench [--kq5 PATH] [--ngspice PATH] [--repeat N] [--points N]
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "analog/analysis_start.h"
#include "bench_support.h"

namespace {

using namespace kq5;
namespace fs = std::filesystem;

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

using bench::ChildRun;
using bench::RunChild;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? NAN : values[values.size() / 2];
}

// The last value of the single printed column of our numeric output file.
double OurLastValue(const fs::path& tno)
{
    std::istringstream lines(ReadText(tno));
    double last = NAN;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        double t = 0.0, v = 0.0;
        std::string rest;
        if (fields >> t >> v && !(fields >> rest)) last = v;
    }
    return last;
}

// The last row of ngspice's printed table: index, time, value.
double TheirLastValue(const fs::path& output)
{
    std::istringstream lines(ReadText(output));
    double last = NAN;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        long index = 0;
        double t = 0.0, v = 0.0;
        std::string rest;
        if (fields >> index >> t >> v && !(fields >> rest)) last = v;
    }
    return last;
}

void Row(const char* name, double ours, double theirs, const char* theirName, double goal, bool agree)
{
    std::printf("  %-12s ours %8.4f s  %-8s %8.4f s  ratio %5.2f  (goal <= %.1f)%s\n", name, ours, theirName, theirs,
                ours / theirs, goal, agree ? "" : "  RESULTS DISAGREE");
}

// One circuit as a whole batch process of ours and of ngspice, interleaved.
void ProcessRow(const char* name, const std::string& circuit, const fs::path& dir, const std::string& kq5,
                const std::string& ngspice, int repeat, double goal)
{
    const std::string base = std::string(name).substr(0, std::string(name).find(' '));
    std::ofstream(dir / (base + ".ckt"), std::ios::binary) << circuit;
    std::ofstream(dir / (base + ".sp"), std::ios::binary) << circuit;
    std::vector<double> ours, theirs;
    bool ok = true;
    for (int k = 0; k < repeat; ++k) {
        const ChildRun a = RunChild({kq5, base + ".ckt", "/T"}, dir, dir / (base + ".kq5.out"));
        const ChildRun b = RunChild({ngspice, "-b", base + ".sp"}, dir, dir / (base + ".ng.out"));
        ok = ok && a.status == 0 && b.status == 0;
        ours.push_back(a.cpu);
        theirs.push_back(b.cpu);
    }
    const double mine = OurLastValue(dir / (base + ".TNO"));
    const double other = TheirLastValue(dir / (base + ".ng.out"));
    Row(name, Median(ours), Median(theirs), "ngspice", goal, ok && std::abs(mine - other) <= 1e-3);
}

// The million-point run in this process, on a display and headless, interleaved.
void DisplayRow(const fs::path& dir, long points, int repeat)
{
    if (!win::DisplayAvailable()) {
        std::printf("  %-12s no display (run under xvfb-run -a)\n", "display");
        return;
    }
    const fs::path run = dir / "display";
    fs::create_directories(run);
    const double stop = 1e-3, step = stop / static_cast<double>(points);
    char tran[128];
    std::snprintf(tran, sizeof tran, ".TRAN %g %g 0 %g\n", stop / 100, stop, step);
    std::ofstream(run / "rc.ckt") << "RC BENCH\nV1 1 0 PULSE(0 1 0 1U 1U 100U 200U)\nR1 1 2 1K\nC1 2 0 10N\n" << tran
                                  << ".PLOT TRAN V(1) V(2) I(R1)\n.END\n";
    std::ofstream(run / "jobs.txt") << "rc.ckt /T\n";
    std::ofstream(run / "NOM.LIB") << "* no models\n";
    ::setenv("KQ5DATA", run.c_str(), 1);
    const fs::path home = fs::current_path();
    fs::current_path(run);
    std::vector<double> shown, headless;
    for (int k = 0; k < repeat; ++k) {
        for (bool display : {false, true}) {
            win::ShutdownPlatform();
            bench::InitProgram(display);
            (display ? shown : headless).push_back(bench::RunBatchJobs(run));
        }
    }
    win::ShutdownPlatform();
    fs::current_path(home);
    const std::string doc = ReadText(run / "jobs.DOC");
    const bool ran = doc.find("rc.ckt") != std::string::npos && doc.find("Error") == std::string::npos;
    if (!ran) std::printf("%s\n", doc.c_str());
    Row("display", Median(shown), Median(headless), "headless", 1.1, ran);
}

}  // namespace

int main(int argc, char** argv)
{
    std::string kq5 = fs::absolute(fs::path(argv[0]).parent_path() / "kq5").string();
    std::string ngspice = "/usr/bin/ngspice";
    int repeat = 3;
    long points = 1000000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--kq5") == 0 && i + 1 < argc) kq5 = fs::absolute(argv[++i]).string();
        else if (std::strcmp(argv[i], "--ngspice") == 0 && i + 1 < argc) ngspice = argv[++i];
        else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) repeat = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--points") == 0 && i + 1 < argc) points = std::max(1000L, std::atol(argv[++i]));
        else {
            std::fprintf(stderr, "usage: startup_bench [--kq5 PATH] [--ngspice PATH] [--repeat N] [--points N]\n");
            return 2;
        }
    }
    char pattern[] = "/tmp/kq5_startup_bench_XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const fs::path dir = pattern;
    std::printf("startup_bench: %s, CPU seconds, median of %d\n", kq5.c_str(), repeat);

    ProcessRow("empty job", "Empty job\nV1 1 0 DC 1\nR1 1 0 1K\n.TRAN 1US 10US\n.PRINT TRAN V(1)\n.END\n", dir, kq5,
               ngspice, repeat, 1.0);
    std::string calls = "* subcircuit calls\nV1 1 0 DC 1\nR0 1 2 1\nR9 2 0 1MEG\n.SUBCKT TWO A B\nR1 A M 1k\nR2 M B 1k\n.ENDS\n";
    for (int i = 1; i <= 2000; ++i) {
        calls += 'X';
        calls += std::to_string(i);
        calls += " 2 0 TWO\n";
    }
    calls += ".TRAN 1N 2N\n.PRINT TRAN V(2)\n.END\n";
    ProcessRow("2000 calls", calls, dir, kq5, ngspice, repeat, 1.0);

    DisplayRow(dir, points, repeat);

    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return 0;
}
