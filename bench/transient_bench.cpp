// Times whole transient runs of RC ladders, RC meshes, a diode bridge and CMOS ring oscillators
// with this program and with ngspice on the same circuit and prints the time ratio per circuit
// (ours / ngspice; below 1 is faster). One diode bridge prints 100,000 points, so that the
// numeric output is timed beside the solve.
//
// Both sides are timed as whole processes, run as a user runs them: ours as "kq5 circuit.cir /T"
// (start-up, reading the netlist, building the circuit, the transient run and exit), ngspice as
// "ngspice -b" on a netlist with the same elements, the same .TRAN line and the default
// tolerances of both programs. Times are CPU seconds of the child (the machine is shared, wall
// time is shown beside them); beside them, each side's peak resident memory (the largest of its
// runs) and the ratio of the two. The probe is read from one more run of ours, untimed, in this
// process through the batch machinery; its counts of points and iterations must be those of
// the timed runs, so that the run checked is the run timed. The probe node's value
// at the end of the run must agree within 1e-3, so that no speed is bought with accuracy; for an
// oscillator, whose phase drifts, the time of a given rising crossing of half the supply must
// agree within 1 %; for a bus of lossy lines the probe's whole waveform (ngspice printing every
// point) must stay within 2 % of its peak.
//
// Each side runs --repeat times (3 by default) and its shortest time counts, so that other work
// on the machine does not decide the result; a side whose run took over a minute runs once.
//
// Besides the RC ladders and meshes of 1 ns steps (whose probe waveforms are compared whole),
// two-step runs of meshes of 50 x 50 to 141 x 141 time the first ordering, and two groups
// measure how the cost grows with the size of the circuit: RC meshes of 10 ohm and 1 pF at 0.1 ns steps (50 x 50 and
// 100 x 100; the growth line gives the time ratio of the two), and netlists of many calls of a
// two-resistor subcircuit beside the same resistors written flat (reading, expansion and
// build dominate; a tiny .TRAN makes both programs build and solve the circuit).
//
//   transient_bench [--quick] [--repeat N] [--only NAME] [--keep] [--kq5 PATH] [--ngspice PATH]
// (the program is by default the kq5 beside this bench)
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "analyses/analysis_install.h"
#include "analog/analysis_start.h"
#include "bench_support.h"
#include "analog/analog_state.h"
#include "analog/batch_run.h"
#include "analog/transient_run_services.h"
#include "netlist/message_reporter_services.h"
#include "netlist/text_window_lines.h"
#include "schematic/schematic_view.h"
#include "ui/program_settings.h"
#include "core/char_classes.h"
#include "core/device_lists.h"
#include "devices/device_record_types.h"
#include "document/node_table.h"
#include "netlist/model_types.h"
#include "platform/backend.h"

namespace {

using namespace kq5;
namespace fs = std::filesystem;

struct Circuit {
    std::string name;   // also the file name (at most 15 characters for the statistics row)
    std::string body;   // elements only
    std::string probe;  // node whose final value is compared
    std::string tran;   // the .TRAN line, the same for both programs
    double tstop = 0.0;
    int rise = 0;            // > 0: compare the time of this rising crossing of `level` instead
    double level = 0.0;
    std::string ngspiceBody;  // the same elements as ngspice spells them, when it differs
    // > 0: the probe's whole waveform is compared instead, within this share of its peak
    double waveTolerance = 0.0;
};

Circuit MakeCircuit(std::string name, std::string body, std::string probe, std::string tran, double tstop,
                    int rise = 0, double level = 0.0)
{
    Circuit c;
    c.name = std::move(name);
    c.body = std::move(body);
    c.probe = std::move(probe);
    c.tran = std::move(tran);
    c.tstop = tstop;
    c.rise = rise;
    c.level = level;
    return c;
}

struct Result {
    bool ok = false;
    double cpu = 0.0, wall = 0.0;
    long peakKb = 0;  // peak resident memory of the whole process
    double probe = NAN;
    long accepted = -1, rejected = -1, iterations = -1;
    std::vector<std::pair<double, double>> wave;  // (time, probe value) at every point
    std::string error;
};

// The largest distance of ours from ngspice's waveform at ngspice's points (ours taken as
// straight between its points), as a share of ngspice's peak.
double WaveDeviation(const std::vector<std::pair<double, double>>& ours,
                     const std::vector<std::pair<double, double>>& theirs)
{
    if (ours.size() < 2 || theirs.empty()) return INFINITY;
    double worst = 0.0, peak = 0.0;
    std::size_t j = 1;
    for (const auto& [t, v] : theirs) {
        while (j + 1 < ours.size() && ours[j].first < t) ++j;
        const auto& [t0, v0] = ours[j - 1];
        const auto& [t1, v1] = ours[j];
        const double mine = t1 > t0 ? v0 + (v1 - v0) * std::clamp((t - t0) / (t1 - t0), 0.0, 1.0) : v1;
        worst = std::max(worst, std::fabs(mine - v));
        peak = std::max(peak, std::fabs(v));
    }
    return peak > 0.0 ? worst / peak : INFINITY;
}

constexpr const char* kSource = "V1 1 0 PULSE(0 1 0 1n 1n 5u 10u)\n";

std::string TranLine(double tstop) { return ".TRAN 1n " + std::to_string(tstop * 1e9) + "n 0 1n\n"; }

std::string Number(double value, int digits = 6)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    return text;
}

// R of 1k between successive nodes, 1p from each node to ground, the source at node 1.
Circuit Ladder(int n, const std::string& name, double tstop)
{
    Circuit c = MakeCircuit(name, "* rc ladder\n", "10", TranLine(tstop), tstop);
    c.waveTolerance = 0.01;  // the probe's whole waveform, within 1 % of its peak
    std::string& s = c.body;
    s += kSource;
    for (int i = 1; i < n; ++i) s += "R" + std::to_string(i) + " " + std::to_string(i) + " " + std::to_string(i + 1) + " 1k\n";
    for (int i = 1; i <= n; ++i) s += "C" + std::to_string(i) + " " + std::to_string(i) + " 0 1p\n";
    return c;
}

Circuit FinalValueOnly(Circuit c)
{
    c.waveTolerance = 0.0;
    return c;
}

// An N x N grid of resistors with 1p from each node to ground, the source at a corner.
Circuit Mesh(int k, const std::string& name, double tstop, const char* resistance = "1k", double step = 1e-9)
{
    auto node = [k](int x, int y) { return y * k + x + 1; };
    const std::string stepText = Number(step * 1e9) + "n";
    Circuit c = MakeCircuit(name, "* rc mesh\n", std::to_string(node(5, 5)),
              ".TRAN " + stepText + " " + Number(tstop * 1e9) + "n 0 " + stepText + "\n", tstop);
    c.waveTolerance = 0.01;
    std::string& s = c.body;
    s += kSource;
    int r = 0;
    const std::string value = std::string(" ") + resistance + "\n";
    auto resistor = [&](int a, int b) {
        s += 'R';
        s += std::to_string(++r);
        s += ' ';
        s += std::to_string(a);
        s += ' ';
        s += std::to_string(b);
        s += value;
    };
    for (int y = 0; y < k; ++y)
        for (int x = 0; x < k; ++x) {
            if (x + 1 < k) resistor(node(x, y), node(x + 1, y));
            if (y + 1 < k) resistor(node(x, y), node(x, y + 1));
        }
    for (int i = 1; i <= k * k; ++i) s += "C" + std::to_string(i) + " " + std::to_string(i) + " 0 1p\n";
    return c;
}

// A ring of an odd number of CMOS inverters (5 V) whose nodes start alternately low and high,
// so that the one place where two neighbours agree sets it running. The largest step is given:
// both programs then step alike, and the period of the waveform is compared.
Circuit RingOscillator(int stages, int level, const std::string& name)
{
    Circuit c = MakeCircuit(name, "* cmos ring oscillator\n", std::to_string(stages / 2), ".TRAN 0.05n 200n 0 0.05n UIC\n", 200e-9, 3, 2.5);
    std::string& s = c.body;
    s += "VDD 900 0 5\n";
    for (int i = 1; i <= stages; ++i) {
        const std::string in = std::to_string(i), out = std::to_string(i % stages + 1);
        s += "MN" + in + " " + out + " " + in + " 0 0 NM L=1u W=4u AD=8p AS=8p PD=12u PS=12u\n";
        s += "MP" + in + " " + out + " " + in + " 900 900 PM L=1u W=10u AD=20p AS=20p PD=24u PS=24u\n";
    }
    s += ".IC V(900)=5";  // the supply too: from 0 V its step would charge every junction at once
    for (int i = 1; i <= stages; ++i) s += " V(" + std::to_string(i) + ")=" + (i % 2 ? "0" : "5");
    s += "\n";
    // MJSW is given: ngspice's LEVEL 1 default (0.5) differs from ours (0.33, every level).
    const std::string common = " CGSO=0.3n CGDO=0.3n CJ=2e-4 CJSW=5e-10 MJSW=0.33 PB=0.8";
    switch (level) {
    case 1:
        s += ".MODEL NM NMOS (LEVEL=1 VTO=0.7 KP=80u GAMMA=0.4 LAMBDA=0.03 TOX=20n" + common + ")\n";
        s += ".MODEL PM PMOS (LEVEL=1 VTO=-0.8 KP=30u GAMMA=0.5 LAMBDA=0.04 TOX=20n" + common + ")\n";
        break;
    case 2:
        s += ".MODEL NM NMOS (LEVEL=2 VTO=0.7 TOX=20n NSUB=1e16 UO=550 UCRIT=1e5 UEXP=0.1 LAMBDA=0.03" + common + ")\n";
        s += ".MODEL PM PMOS (LEVEL=2 VTO=-0.8 TOX=20n NSUB=1e16 UO=220 UCRIT=1e5 UEXP=0.1 LAMBDA=0.04" + common + ")\n";
        break;
    default:
        s += ".MODEL NM NMOS (LEVEL=3 VTO=0.7 TOX=20n NSUB=1e16 UO=550 THETA=0.05 VMAX=1.5e5 KAPPA=0.3" + common + ")\n";
        s += ".MODEL PM PMOS (LEVEL=3 VTO=-0.8 TOX=20n NSUB=1e16 UO=220 THETA=0.05 VMAX=1e5 KAPPA=0.3" + common + ")\n";
        break;
    }
    return c;
}

// The BSIM3 cards of the 0.35 um process, as the model library holds them; ngspice is told
// that they are BSIM3 version 3.1 parameters.
std::string LibraryCard(const std::string& name, bool forNgspice)
{
    std::ifstream in(std::string(KQ5_SOURCE_DIR) + "/data/NOM.LIB");
    std::string card, line;
    bool inCard = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(".MODEL " + name + " ", 0) == 0) {
            inCard = true;
            card += line + "\n";
            if (forNgspice) card += "+ VERSION=3.1\n";
            continue;
        }
        if (inCard && line.rfind("+", 0) == 0) {
            card += line + "\n";
            continue;
        }
        inCard = false;
    }
    return card;
}

// Rings of BSIM3 inverters of the library's 0.35 um process at 3.3 V, each of an odd number of
// stages and started from alternating node voltages held through the operating point (two
// transistors a stage). (A long inverter chain driven from one end is no test here: its
// operating point needs gmin stepping, which this program does not do.)
Circuit Bsim3Rings(int rings, int stages, const std::string& name)
{
    Circuit c = MakeCircuit(name, "* bsim3 ring oscillators\n", std::to_string(stages / 2), ".TRAN 5p 60n 0 5p\n", 60e-9, 3, 1.65);
    std::string& s = c.body;
    s += "VDD 100000 0 3.3\n";
    std::string ic = ".IC";
    for (int r = 0; r < rings; ++r)
        for (int i = 1; i <= stages; ++i) {
            const int base = r * stages;
            const std::string in = std::to_string(base + i), out = std::to_string(base + i % stages + 1);
            s += "MN" + in + " " + out + " " + in + " 0 0 N035 L=0.35u W=2u AD=2p AS=2p PD=6u PS=6u\n";
            s += "MP" + in + " " + out + " " + in + " 100000 100000 P035 L=0.35u W=5u AD=5p AS=5p PD=12u PS=12u\n";
            ic += " V(" + in + ")=" + (i % 2 ? "0" : "3.3");
        }
    s += ic + "\n";
    c.ngspiceBody = s + LibraryCard("N035", true) + LibraryCard("P035", true);
    s += LibraryCard("N035", false) + LibraryCard("P035", false);
    return c;
}

// n calls of a subcircuit of two resistors in series between the source node and ground, or
// (flat) the same resistors written out.
Circuit Calls(int n, const std::string& name, bool flat)
{
    Circuit c = MakeCircuit(name, "* subcircuit calls\nV1 1 0 DC 1\n", "1", ".TRAN 1n 2n\n", 2e-9);
    std::string& s = c.body;
    if (!flat) s += ".SUBCKT TWO A B\nR1 A M 1k\nR2 M B 1k\n.ENDS\n";
    for (int i = 1; i <= n; ++i) {
        const std::string k = std::to_string(i);
        if (flat)
            s += "R" + k + "A 1 M" + k + " 1k\nR" + k + "B M" + k + " 0 1k\n";
        else
            s += "X" + k + " 1 0 TWO\n";
    }
    return c;
}

// A bus of lossy RLC lines, each driven through 50 ohm by its own staggered pulse and loaded
// by 100 ohm with 5 pF: the convolution of every line's history at every time point.
Circuit LineBus(int lines, const std::string& name)
{
    Circuit c = MakeCircuit(name, "* bus of driven lossy lines\n", "b1", ".TRAN 0.1n 100n\n", 100e-9);
    std::string ours, theirs;
    for (int i = 1; i <= lines; ++i) {
        const std::string n = std::to_string(i);
        const std::string common = "V" + n + " s" + n + " 0 PULSE(0 1 " + std::to_string(i) + "n 1n 1n 20n 50n)\nR" + n +
                                   " s" + n + " a" + n + " 50\nRL" + n + " b" + n + " 0 100\nCL" + n + " b" + n +
                                   " 0 5p\n";
        ours += common + "T" + n + " a" + n + " 0 b" + n + " 0 LEN=0.5 R=5 L=250N C=100P\n";
        theirs += common + "O" + n + " a" + n + " 0 b" + n + " 0 LBUS\n";
    }
    c.ngspiceBody = c.body + theirs + ".MODEL LBUS LTRA R=5 L=250N G=0 C=100P LEN=0.5\n";
    // Both lines are within about 1 % of a 400-section ladder (ngspice's LTRA 1.2 % at the near
    // ends, 0.5 % at the far ends; ours 0.5 % and 0.2 %), so they agree within 2 %.
    c.waveTolerance = 0.02;
    c.body += ours;
    return c;
}

// A full-wave diode bridge into an RC load, driven by a 1 kHz sine: 1 us steps make about a
// million time points per second of simulated time.
Circuit Bridge(const std::string& name, double tstop)
{
    Circuit c = MakeCircuit(name, "* diode bridge rectifier\n", "3", ".TRAN 1u " + std::to_string(tstop) + " 0 1u\n", tstop);
    c.body += "V1 1 2 SIN(0 10 1k)\nRG 2 0 1meg\nD1 1 3 DB\nD2 2 3 DB\nD3 0 1 DB\nD4 0 2 DB\nRL 3 0 1k\nCL 3 0 10u\n"
             ".MODEL DB D(IS=1e-14 RS=0.1 CJO=10p TT=5n)\n";
    return c;
}

// The same bridge with its load and input voltages printed at every output point (the numeric
// output file here, ngspice's printed table on its standard output).
Circuit PrintedBridge(const std::string& name, double tstop)
{
    Circuit c = Bridge(name, tstop);
    c.tran += ".PRINT TRAN V(3) V(1)\n";
    return c;
}

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The statistics row of a .DOC file: name, "/T", iterations, rejected points, accepted points,
// seconds. False when there is none.
bool ReadStatistics(const fs::path& doc, const std::string& name, Result& r)
{
    std::istringstream lines(ReadText(doc));
    bool found = false;
    for (std::string line; std::getline(lines, line);) {
        const std::size_t at = line.find("/T");
        if (line.rfind(name, 0) != 0 || at == std::string::npos) continue;
        std::istringstream fields(line.substr(at + 2));
        fields >> r.iterations >> r.rejected >> r.accepted;
        found = static_cast<bool>(fields);
    }
    return found;
}

void WriteOurNetlist(const Circuit& c, const fs::path& dir)
{
    std::ofstream(dir / (c.name + ".cir"), std::ios::binary) << c.body << c.tran << ".END\n";
}

// One timed run of ours: the whole program on the circuit file, as a user starts it.
Result TimeOurs(const Circuit& c, const fs::path& dir, const std::string& kq5)
{
    Result r;
    const fs::path doc = dir / (c.name + ".DOC");
    fs::remove(doc);
    const bench::ChildRun run = bench::RunChild({kq5, c.name + ".cir", "/T"}, dir, dir / (c.name + ".out"));
    r.cpu = run.cpu;
    r.wall = run.wall;
    r.peakKb = run.peakKb;
    r.ok = run.status == 0 && ReadStatistics(doc, c.name, r);
    if (!r.ok)
        r.error = "kq5 exit status " + std::to_string(run.status) + ": " + ReadText(dir / (c.name + ".out")) +
                  ReadText(doc);
    return r;
}

// The untimed run of ours that reads the probe: the same circuit file through the batch
// machinery in this process.
Result CheckOurs(const Circuit& c, const fs::path& dir)
{
    Result r;
    const fs::path jobs = dir / (c.name + "_jobs.txt");
    // Relative names: a command-file word that starts with "/" is a switch.
    std::ofstream(jobs, std::ios::binary) << c.name << ".cir /T\n";
    const fs::path doc = dir / (c.name + "_jobs.DOC");
    fs::remove(doc);

    // The probe's value at every output point; the node number is looked up once the circuit
    // is built.
    int probeNode = -2, rises = 0;
    // No NaN here: an ordered comparison with NaN raises the invalid-operation flag, which the
    // run reports as a floating-point fault.
    bool started = false;
    double lastTime = 0.0, lastValue = 0.0;
    // The program's own service (the curves, and the printed values made from them) runs as
    // in a batch run; the probe is read beside it.
    const auto programService = RunServices().plotPoint;
    RunServices().plotPoint = [&](WindowRecord* window) {
        if (programService) programService(window);
        if (probeNode == -2) probeNode = LookupNodeNumber(CircuitNodeTable(), c.probe, 0, 0);
        const std::vector<double>& x = SolutionVector();
        if (probeNode <= 0 || static_cast<std::size_t>(probeNode) >= x.size()) return;
        const double v = x[static_cast<std::size_t>(probeNode)], t = AnalogSolver().time;
        if (c.waveTolerance > 0.0) r.wave.emplace_back(t, v);
        if (c.rise == 0) {
            r.probe = v;
        } else if (started && lastValue < c.level && v >= c.level && ++rises == c.rise) {
            r.probe = lastTime + (t - lastTime) * (c.level - lastValue) / (v - lastValue);
        }
        lastTime = t;
        lastValue = v;
        started = true;
    };

    Settings().workingDirectory = dir.string() + "/";
    BatchRunState& batch = BatchRun();
    batch.flags = kBatchNormal;
    batch.commandFile = jobs.string();
    if (const int status = StartBatchRun(); status != 0) {
        r.error = "batch start failed (" + std::to_string(status) + ")";
        RunServices().plotPoint = programService;
        return r;
    }
    RunBatchFile();
    RunServices().plotPoint = programService;

    r.ok = ReadStatistics(doc, c.name, r);
    if (!r.ok) r.error = "no statistics row: " + ReadText(doc);
    if (std::isnan(r.probe)) {
        r.ok = false;
        r.error += " no probe value";
    }
    return r;
}

Result RunNgspice(const Circuit& c, const fs::path& dir, const std::string& ngspice)
{
    Result r;
    const fs::path cir = dir / (c.name + "_ng.cir");
    std::ofstream(cir, std::ios::binary) << (c.ngspiceBody.empty() ? c.body : c.ngspiceBody) << c.tran
                                         << ".option acct\n";
    if (c.waveTolerance > 0.0)
        std::ofstream(cir, std::ios::binary | std::ios::app) << ".print tran v(" << c.probe << ")\n.end\n";
    // Just before the end: ngspice can find the stop time itself out of its interval.
    else if (c.rise == 0)
        std::ofstream(cir, std::ios::binary | std::ios::app)
            << ".measure tran vprobe FIND v(" << c.probe << ") AT=" << Number(c.tstop * (1.0 - 1e-9), 12)
            << "\n.end\n";
    else
        std::ofstream(cir, std::ios::binary | std::ios::app) << ".measure tran vprobe WHEN v(" << c.probe
                                                             << ")=" << c.level << " RISE=" << c.rise << "\n.end\n";
    const fs::path out = dir / (c.name + "_ng.out");
    const bench::ChildRun run = bench::RunChild({ngspice, "-b", cir.filename().string()}, dir, out);
    r.cpu = run.cpu;
    r.wall = run.wall;
    r.peakKb = run.peakKb;
    const std::string output = ReadText(out);
    const int status = run.status;

    // A value line: the key at the start of a line, blanks, "=" and the number. A failed
    // measurement ("Error: measure vprobe ... failed!") is no value.
    auto value = [&](const char* key) -> double {
        const std::string k = key;
        for (std::size_t at = output.find(k); at != std::string::npos; at = output.find(k, at + 1)) {
            if (at != 0 && output[at - 1] != '\n') continue;
            std::size_t eq = at + k.size();
            while (eq < output.size() && output[eq] == ' ') ++eq;
            if (eq < output.size() && output[eq] == '=') return std::atof(output.c_str() + eq + 1);
        }
        return NAN;
    };
    if (c.waveTolerance > 0.0) {
        // The printed table: rows of index, time and value at every accepted point.
        std::istringstream rows(output);
        for (std::string row; std::getline(rows, row);) {
            std::istringstream fields(row);
            long index = 0;
            double t = 0.0, v = 0.0;
            std::string rest;
            if (fields >> index >> t >> v && !(fields >> rest)) r.wave.emplace_back(t, v);
        }
        r.probe = r.wave.empty() ? NAN : r.wave.back().second;
    } else {
        r.probe = value("vprobe");
    }
    r.accepted = static_cast<long>(value("Accepted timepoints"));
    r.rejected = static_cast<long>(value("Rejected timepoints"));
    r.iterations = static_cast<long>(value("Transient iterations"));
    r.ok = status == 0 && !std::isnan(r.probe);
    if (!r.ok) r.error = "ngspice failed:\n" + output;
    return r;
}

}  // namespace

int main(int argc, char** argv)
{
    bool quick = false, keep = false;
    int repeat = 3;
    std::string only, ngspice = "/usr/bin/ngspice";
    std::string kq5 = fs::absolute(fs::path(argv[0]).parent_path() / "kq5").string();
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) quick = true;
        else if (std::strcmp(argv[i], "--keep") == 0) keep = true;
        else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) only = argv[++i];
        else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) repeat = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--ngspice") == 0 && i + 1 < argc) ngspice = argv[++i];
        else if (std::strcmp(argv[i], "--kq5") == 0 && i + 1 < argc) kq5 = fs::absolute(argv[++i]).string();
        else {
            std::fprintf(stderr, "usage: transient_bench [--quick] [--repeat N] [--only NAME] [--keep] [--kq5 PATH] "
                                 "[--ngspice PATH]\n");
            return 2;
        }
    }

    // 1 ns steps throughout (the .TRAN maximum step); the spans keep ngspice's largest runs at
    // some ten to twenty seconds. --quick cuts every span to a tenth.
    const double scale = quick ? 0.1 : 1.0;
    const int calls = quick ? 10 : 1;
    std::vector<Circuit> circuits = {
        Ladder(1000, "ladder1k", 2e-6 * scale),  Ladder(10000, "ladder10k", 1e-6 * scale),
        Ladder(100000, "ladder100k", 2e-7 * scale), Mesh(20, "mesh20", 1e-6 * scale),
        Mesh(30, "mesh30", 1e-6 * scale),          Mesh(50, "mesh50", 1e-6 * scale),
        RingOscillator(25, 1, "ring25_l1"),         RingOscillator(101, 1, "ring101_l1"),       RingOscillator(201, 1, "ring201_l1"),
        RingOscillator(101, 2, "ring101_l2"),       RingOscillator(25, 3, "ring25_l3"),         RingOscillator(101, 3, "ring101_l3"),
        Bsim3Rings(1, 25, "ring25_bsim3"),   Bsim3Rings(1, 101, "ring101_bsim3"), Bsim3Rings(5, 101, "rings1010_bsim3"),
        Bridge("bridge1M", 1.0 * scale),       PrintedBridge("bridgeprint", 0.1 * scale),
        Mesh(50, "mesh50r10", 2e-7 * scale, "10", 1e-10), Mesh(100, "mesh100r10", 2e-7 * scale, "10", 1e-10),
        // Two steps: the first ordering of the matrix is most of the run. The probe has only
        // begun to rise (some 0.1 mV), so its end value is compared, not its waveform's shape.
        FinalValueOnly(Mesh(50, "mesh50first", 2e-9)), FinalValueOnly(Mesh(100, "mesh100first", 2e-9)),
        FinalValueOnly(Mesh(141, "mesh141first", 2e-9)),
        Calls(16000 / calls, "calls16k", false),   Calls(16000 / calls, "flat16k", true),
        Calls(100000 / calls, "calls100k", false), Calls(100000 / calls, "flat100k", true),
        LineBus(4, "linebus4"),
        LineBus(16, "linebus16"),
    };
    // Pairs whose time ratio (second / first, ours and ngspice's) shows how the cost grows.
    const std::vector<std::pair<std::string, std::string>> growth = {
        {"mesh50r10", "mesh100r10"}, {"mesh50first", "mesh100first"}, {"mesh100first", "mesh141first"},
        {"calls16k", "calls100k"}, {"flat16k", "flat100k"}};
    std::map<std::string, std::pair<double, double>> times;  // ours, ngspice
    std::vector<std::string> aboveNgspiceMemory;

    if (access(kq5.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "transient_bench: no program at %s (give --kq5 PATH)\n", kq5.c_str());
        return 2;
    }
    char pattern[] = "/tmp/kq5_transient_bench_XXXXXX";
    if (!mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path dir = pattern;
    if (chdir(dir.c_str()) != 0) {
        std::perror("chdir");
        return 1;
    }
    bench::InitProgram(false);

    std::printf("%-11s %9s %9s %7s | %9s %9s | %8s %8s %6s | %10s %10s | %-17s %-17s\n", "circuit", "ours s",
                "ngspice s", "ratio", "ours wall", "ng wall", "ours MB", "ng MB", "ratio", "ours V", "ngspice V",
                "ours acc/rej/it", "ng acc/rej/it");
    int failures = 0;
    for (const Circuit& c : circuits) {
        if (!only.empty() && c.name != only) continue;
        WriteOurNetlist(c, dir);
        Result ours, ng;
        for (int run = 0; run < repeat; ++run) {
            constexpr double kLongRun = 60.0;
            if (run == 0 || ours.cpu < kLongRun) {
                const Result o = TimeOurs(c, dir, kq5);
                const long peak = std::max(ours.peakKb, o.peakKb);
                if (run == 0 || (o.ok && o.cpu < ours.cpu)) ours = o;
                ours.peakKb = peak;
            }
            if (run == 0 || ng.cpu < kLongRun) {
                const Result n = RunNgspice(c, dir, ngspice);
                const long peak = std::max(ng.peakKb, n.peakKb);
                if (run == 0 || (n.ok && n.cpu < ng.cpu)) ng = n;
                ng.peakKb = peak;
            }
        }
        // The probe, from the run in this process; it must have stepped as the timed runs did.
        const Result check = CheckOurs(c, dir);
        ours.probe = check.probe;
        ours.wave = check.wave;
        if (ours.ok && (!check.ok || check.accepted != ours.accepted || check.rejected != ours.rejected ||
                        check.iterations != ours.iterations)) {
            ours.ok = false;
            ours.error = "the checked run differs from the timed run: " + std::to_string(check.accepted) + "/" +
                         std::to_string(check.rejected) + "/" + std::to_string(check.iterations) + " " + check.error;
        }
        times[c.name] = {ours.cpu, ng.cpu};
        if (ours.peakKb > ng.peakKb) aboveNgspiceMemory.push_back(c.name);
        auto counts = [](const Result& r) {
            return std::to_string(r.accepted) + "/" + std::to_string(r.rejected) + "/" + std::to_string(r.iterations);
        };
        const double tolerance = c.rise == 0 ? 1e-3 : 0.01 * std::fabs(ng.probe);
        const double deviation = c.waveTolerance > 0.0 ? WaveDeviation(ours.wave, ng.wave) : 0.0;
        const bool agree = ours.ok && ng.ok &&
                           (c.waveTolerance > 0.0 ? deviation <= c.waveTolerance
                                                  : std::fabs(ours.probe - ng.probe) <= tolerance);
        std::printf("%-11s %9.3f %9.3f %7.3f | %9.3f %9.3f | %8.1f %8.1f %6.2f | %10.4g %10.4g | %-17s %-17s%s\n",
                    c.name.c_str(), ours.cpu, ng.cpu, ng.cpu > 0 ? ours.cpu / ng.cpu : NAN, ours.wall, ng.wall,
                    ours.peakKb / 1024.0, ng.peakKb / 1024.0,
                    ng.peakKb > 0 ? static_cast<double>(ours.peakKb) / static_cast<double>(ng.peakKb) : NAN,
                    ours.probe, ng.probe, counts(ours).c_str(), counts(ng).c_str(), agree ? "" : "  MISMATCH");
        if (c.waveTolerance > 0.0) std::printf("%-11s waveform of V(%s) within %.2f %% of ngspice's peak\n", c.name.c_str(), c.probe.c_str(), 100.0 * deviation);
        if (!ours.ok) std::fprintf(stderr, "%s (ours): %s\n", c.name.c_str(), ours.error.c_str());
        if (!ng.ok) std::fprintf(stderr, "%s (ngspice): %s\n", c.name.c_str(), ng.error.c_str());
        failures += agree ? 0 : 1;
        std::fflush(stdout);
    }
    for (const auto& [small, large] : growth) {
        if (!times.contains(small) || !times.contains(large)) continue;
        const auto [oursSmall, ngSmall] = times[small];
        const auto [oursLarge, ngLarge] = times[large];
        std::printf("growth %s -> %s: ours %.2fx, ngspice %.2fx\n", small.c_str(), large.c_str(),
                    oursSmall > 0 ? oursLarge / oursSmall : NAN, ngSmall > 0 ? ngLarge / ngSmall : NAN);
    }
    if (!aboveNgspiceMemory.empty()) {
        std::printf("peak memory above ngspice's:");
        for (const std::string& name : aboveNgspiceMemory) std::printf(" %s", name.c_str());
        std::printf("\n");
    }
    win::ShutdownPlatform();
    if (!keep) fs::remove_all(dir);
    else std::printf("netlists kept in %s\n", dir.c_str());
    return failures == 0 ? 0 : 1;
}
