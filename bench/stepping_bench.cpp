// Times a stepped transient analysis of 1000 cases against 1000 single runs of the same circuit
// with the stepped value written into each netlist, all in this process through the batch
// machinery, and prints the ratio of CPU times (stepped / singles; the goal is at most 1.0).
//
// The circuit is an RC ladder driven by a pulse; the stepped quantity is the first resistor's
// value, from 1k by 1 ohm. The singles are 1000 circuit files in one command file, so each of
// them reads, builds and runs its circuit as a user's batch job would. Both sides plot one curve
// into the waveform store. The final value of the probe node of the last case must agree between
// the two, so that no speed is bought with a wrong case.
//
//   stepping_bench [--cases N] [--repeat N]
#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "analyses/analysis_install.h"
#include "bench_support.h"
#include "analog/analysis_start.h"
#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "analog/batch_run.h"
#include "analog/run_control.h"
#include "analog/transient_run_services.h"
#include "results/run_state.h"
#include "analyses/stepping.h"
#include "ui/color_table.h"
#include "document/preferences.h"
#include "ui/program_settings.h"
#include "ui/window_record.h"
#include "core/char_classes.h"
#include "core/device_lists.h"
#include "devices/device_record_types.h"
#include "document/circuit_document.h"
#include "netlist/model_types.h"
#include "platform/backend.h"

namespace {

using namespace kq5;
namespace fs = std::filesystem;

std::string Netlist(const std::string& r1)
{
    return "RC LADDER\nV1 1 0 PULSE(0 1 0 1U 1U 50U 100U)\nR1 1 2 " + r1 +
           "\nC1 2 0 10N\nR2 2 3 1K\nC2 3 0 10N\nR3 3 4 1K\nC3 4 0 10N\n.TRAN 1U 100U\n.PLOT TRAN V(4)\n.END\n";
}

struct Timing {
    double cpu = 0.0;
    long runs = 0;
    double lastProbe = NAN;
};

// One batch job file. steppedCases > 0: the job's circuit steps R1 over that many cases.
Timing RunJobs(const fs::path& dir, const std::string& jobs, int steppedCases)
{
    InstallAnalysisKindHandlers();
    AnalysisRunServices& services = RunServices();
    Timing t;
    std::function<void(WindowRecord*)> end = services.endCase;
    services.endCase = [end, &t](WindowRecord* w) {
        if (end) end(w);
        ++t.runs;
        const auto& x = Analysis().solution.real;
        if (x.size() > 4) t.lastProbe = x[4];
    };
    if (steppedCases > 0) {
        // The document of a text circuit has no stepping section: the slot is set when the
        // analysis opens, and the settings are read again as the Stepping dialog's OK does.
        AnalysisKindHandlers handlers = AnalysisKindHandlersOf(kAnalysisTransient);
        std::function<int()> setup = handlers.setup;
        handlers.setup = [setup, steppedCases] {
            CircuitDocument* document = RunControl().circuitWindow->document.get();
            SteppingSlot& slot = document->stepping[0];
            slot.flags = kStepOn | kStepComponent | kStepLinear;
            slot.name = "R1";
            slot.from = "1000";
            slot.to = std::to_string(1000 + steppedCases - 1);
            slot.value = "1";
            PrepareStepping();
            return setup();
        };
        SetAnalysisKindHandlers(kAnalysisTransient, std::move(handlers));
    }
    std::ofstream(dir / "jobs.txt") << jobs;
    t.cpu = bench::RunBatchJobs(dir);
    return t;
}

}  // namespace

int main(int argc, char** argv)
{
    int cases = 1000;
    int repeat = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--cases") == 0 && i + 1 < argc) cases = std::max(2, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) repeat = std::max(1, std::atoi(argv[++i]));
        else {
            std::fprintf(stderr, "usage: stepping_bench [--cases N] [--repeat N]\n");
            return 2;
        }
    }
    bench::InitProgram(false);
    char pattern[] = "/tmp/kq5_stepping_bench_XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const fs::path dir = pattern;
    std::ofstream(dir / "NOM.LIB") << "* no models\n";
    ::setenv("KQ5DATA", dir.c_str(), 1);
    std::string singles;
    for (int k = 0; k < cases; ++k) {
        const std::string name = "s" + std::to_string(k) + ".cir";
        std::ofstream(dir / name) << Netlist(std::to_string(1000 + k));
        singles += name + " /T\n";
    }
    std::ofstream(dir / "stepped.cir") << Netlist("1000");
    const fs::path home = fs::current_path();
    fs::current_path(dir);

    Timing stepped, single;
    for (int k = 0; k < repeat; ++k) {
        const Timing a = RunJobs(dir, "stepped.cir /T\n", cases);
        const Timing b = RunJobs(dir, singles, 0);
        if (k == 0 || a.cpu < stepped.cpu) stepped = a;
        if (k == 0 || b.cpu < single.cpu) single = b;
    }
    std::printf("stepping_bench: %d cases of an RC ladder\n", cases);
    std::printf("  stepped analysis  %8.3f s CPU  %ld runs  last V(4) %.9g\n", stepped.cpu, stepped.runs, stepped.lastProbe);
    std::printf("  single runs       %8.3f s CPU  %ld runs  last V(4) %.9g\n", single.cpu, single.runs, single.lastProbe);
    std::printf("  ratio stepped / singles %.3f (goal <= 1.0)\n", stepped.cpu / single.cpu);
    const bool agree = stepped.runs == cases && single.runs == cases &&
                       std::abs(stepped.lastProbe - single.lastProbe) <= 1e-9 * std::max(1.0, std::abs(single.lastProbe));
    if (!agree) std::printf("  THE TWO SIDES DISAGREE\n");
    fs::current_path(home);
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return agree ? 0 : 1;
}
