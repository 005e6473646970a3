// Times a transient run of an RC circuit with about a million accepted points and three plotted
// curves, once with the analysis window drawing every point as it comes, once drawing every
// 10th point ("Display every"), and once with the curves evaluated and stored but no window laid
// out to draw them (the run as it was before the window drew), and prints the ratios (CPU time)
// run-with-window / run-without and the time from the first accepted point to the first
// segment drawn. The window stands on the headless surface, or on an SDL2 window when a display
// is there (run it under xvfb-run for that case).
//
//   plot_bench [--points N] [--repeat N]
#include <algorithm>
#include <cfenv>
#include <ctime>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "analyses/analysis_install.h"
#include "bench_support.h"
#include "analog/analysis_start.h"
#include "analog/analog_state.h"
#include "analog/batch_run.h"
#include "analog/run_control.h"
#include "analog/transient_run_services.h"
#include "ui/color_table.h"
#include "document/preferences.h"
#include "ui/program_settings.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "core/char_classes.h"
#include "core/device_lists.h"
#include "devices/device_record_types.h"
#include "netlist/model_types.h"
#include "platform/backend.h"
#include "results/curve_record.h"

namespace {

using namespace kq5;
using bench::InitProgram;
namespace fs = std::filesystem;

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

struct Timing {
    double run = 0.0;           // the whole batch job
    double firstSegment = -1.0;  // from the first accepted point to the end of the first drawing
    long points = 0;
};

// One batch run of the circuit. window: the analysis window draws (every `every`th point).
Timing RunOnce(const fs::path& dir, bool window, int every)
{
    InstallAnalysisKindHandlers();
    AnalysisRunServices& services = RunServices();
    Timing t;
    double firstPoint = -1.0;
    if (window) {
        std::function<int(WindowRecord*)> begin = services.beginPlotWindowRun;
        services.beginPlotWindowRun = [begin, every](WindowRecord* w) {
            if (WindowRecord* circuit = RunControl().circuitWindow; circuit && circuit->document)
                circuit->document->reduceDisplay = {every, every, every};
            return begin(w);
        };
        std::function<void(WindowRecord*)> plot = services.plotPoint;
        services.plotPoint = [plot, &t, &firstPoint](WindowRecord* w) {
            if (firstPoint < 0.0) firstPoint = Now();
            plot(w);
            // The second point is the first one joined to another by a segment.
            if (++t.points == 2) t.firstSegment = Now() - firstPoint;
        };
    } else {
        // The curves are evaluated and stored as before, but no window is laid out to draw in.
        services.beginPlotWindowRun = nullptr;
        std::function<void(WindowRecord*)> plot = services.plotPoint;
        services.plotPoint = [plot, &t](WindowRecord* w) {
            plot(w);
            ++t.points;
        };
    }
    t.run = bench::RunBatchJobs(dir);
    return t;
}

}  // namespace

int main(int argc, char** argv)
{
    long points = 1000000;
    int repeat = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--points") == 0 && i + 1 < argc) points = std::max(1000L, std::atol(argv[++i]));
        else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) repeat = std::max(1, std::atoi(argv[++i]));
        else {
            std::fprintf(stderr, "usage: plot_bench [--points N] [--repeat N]\n");
            return 2;
        }
    }
    const bool display = win::DisplayAvailable();
    InitProgram(display);
    char pattern[] = "/tmp/kq5_plot_bench_XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const fs::path dir = pattern;
    // A square wave into an RC: the maximum step fixes the number of accepted points.
    const double stop = 1e-3, step = stop / static_cast<double>(points);
    char tran[128];
    std::snprintf(tran, sizeof tran, ".TRAN %g %g 0 %g\n", stop / 100, stop, step);
    std::ofstream(dir / "rc.cir") << "RC BENCH\nV1 1 0 PULSE(0 1 0 1U 1U 100U 200U)\nR1 1 2 1K\nC1 2 0 10N\n"
                                  << tran << ".PLOT TRAN V(1) V(2) I(R1)\n.END\n";
    std::ofstream(dir / "jobs.txt") << "rc.cir /T\n";
    std::ofstream(dir / "NOM.LIB") << "* no models\n";
    ::setenv("KQ5DATA", dir.c_str(), 1);
    const fs::path home = fs::current_path();
    fs::current_path(dir);

    std::printf("plot_bench: %ld points, %s\n", points, display ? "SDL2 window" : "headless surface");
    const auto best = [&](bool window, int every) {
        Timing b;
        for (int k = 0; k < repeat; ++k) {
            const Timing t = RunOnce(dir, window, every);
            if (k == 0 || t.run < b.run) b = t;
        }
        return b;
    };
    const Timing without = best(false, 1);
    const Timing every1 = best(true, 1);
    const Timing every10 = best(true, 10);
    std::printf("  without window      %8.3f s  (%ld points)\n", without.run, without.points);
    std::printf("  every point drawn   %8.3f s  ratio %.3f  first segment after %.4f s\n", every1.run,
                every1.run / without.run, every1.firstSegment);
    std::printf("  every 10th drawn    %8.3f s  ratio %.3f  first segment after %.4f s\n", every10.run,
                every10.run / without.run, every10.firstSegment);
    if (without.points == 0 || every1.points == 0) {
        std::ifstream doc(dir / "jobs.DOC");
        std::printf("no points were run; the statistics file says:\n%s\n",
                    std::string(std::istreambuf_iterator<char>(doc), {}).c_str());
    }
    fs::current_path(home);
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return 0;
}
