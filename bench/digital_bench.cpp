// Times the digital event engine on gate-level adders and compares with Icarus Verilog (vvp)
// on the same netlist, and prints events per second and the time ratio (ours / vvp; below 1 is
// faster).
//
// Circuits: a 32-bit ripple-carry adder of 2-input gates (XOR, AND, OR; 160 gates) fed by two
// counters (a = i, b = 3 i + 1, one vector every 400 ticks), and a 4-bit adder of 36 NAND gates
// fed by every (a, b, carry) combination over and over. Both sides get the same gate delays
// (2 ticks) and the same vectors. Our time covers the event processing only (the stimulus
// events are queued before the clock starts, as a stimulus program would queue them); the vvp
// time is its run phase (CPU seconds on both sides): the whole vvp run less a run of the same design with no vectors.
//
// Each side runs three times (--repeat) and keeps its best CPU time.
//
//   digital_bench [--vectors N] [--only ripple|nand] [--no-vvp] [--repeat N]
#include <sys/resource.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/analysis_state.h"
#include "core/device_lists.h"
#include "digital/digital_engine.h"
#include "core/digital_logic_tables.h"
#include "document/component_types.h"

using namespace kq5;

namespace {

struct Gate {
    int primitive;
    std::string verilog;
    std::vector<std::string> inputs;
    std::string output;
};

struct Design {
    std::vector<std::string> inputNodes;  // driven by the counters, bit 0 first per bus
    std::vector<Gate> gates;
    std::vector<std::vector<int>> vectors;  // per vector, the value of each input node
    std::uint32_t period = 400;
};

// Each side is timed this many times and its best time kept: on a shared machine the
// neighbours only ever add time.
int gRepeat = 3;

// CPU seconds of this process: vvp is timed by its CPU seconds too, and wall time on a busy
// machine mostly measures the neighbours.
double Seconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Runs the design in the engine; returns seconds of event processing and the events applied.
double RunHere(const Design& design, std::uint64_t& events)
{
    ResetDeviceListsForTests();
    ResetAnalysisStateForTests();
    ResetDigitalSimulatorForTests();
    std::map<std::string, int> nodes;
    auto node = [&](const std::string& name) {
        auto it = nodes.find(name);
        if (it != nodes.end()) return it->second;
        const int number = static_cast<int>(nodes.size()) + 1;
        nodes[name] = number;
        return number;
    };
    std::vector<DigitalDeviceSpec> specs;
    DigitalDeviceSpec stim;
    stim.primitive = kComponentStim;
    auto record = std::make_unique<StimulusRecord>();
    for (const std::string& n : design.inputNodes) stim.outputs.push_back(node(n));
    for (std::size_t v = 0; v < design.vectors.size(); ++v)
        for (std::size_t i = 0; i < design.inputNodes.size(); ++i)
            if (v == 0 || design.vectors[v][i] != design.vectors[v - 1][i])
                record->events.push_back({static_cast<std::uint32_t>(v) * design.period, static_cast<int>(i),
                                          static_cast<std::uint16_t>(design.vectors[v][i] ? kState1 : kState0)});
    stim.record = std::move(record);
    specs.push_back(std::move(stim));
    for (const Gate& g : design.gates) {
        DigitalDeviceSpec spec;
        spec.primitive = g.primitive;
        spec.deviceClass = kClassGate;
        for (const std::string& in : g.inputs) spec.inputs.push_back(node(in));
        spec.outputs.push_back(node(g.output));
        spec.delays = {2, 2, 2, 2, 2, 2};
        specs.push_back(std::move(spec));
    }
    DigitalDeviceTables& d = DigitalSimulator();
    if (BuildDigitalTables(d, static_cast<int>(nodes.size()), specs, {}) != 0) std::abort();
    d.inertialCancellation = true;
    InitDigitalNodeStates(true);
    ResetDigitalChangeLog();
    if (QueueStimulusEvents() != 0) std::abort();
    const double start = Seconds();
    while (TimeBreakpointRecord* head = FirstNodeEvent()) {
        if (ProcessDigitalEventsAt(head->time) != 0) std::abort();
        ResetDigitalChangeLog();
    }
    const double used = Seconds() - start;
    events = d.eventsApplied;
    return used;
}

std::string Verilog(const Design& design, bool withVectors)
{
    std::ostringstream v;
    v << "`timescale 1ns/1ns\nmodule top;\n";
    for (const std::string& n : design.inputNodes) v << "  reg " << n << ";\n";
    std::vector<std::string> wires;
    for (const Gate& g : design.gates) v << "  wire " << g.output << ";\n";
    int k = 0;
    for (const Gate& g : design.gates) {
        v << "  " << g.verilog << " #2 inst_" << ++k << "(" << g.output;
        for (const std::string& in : g.inputs) v << ", " << in;
        v << ");\n";
    }
    v << "  integer i;\n  initial begin\n";
    if (withVectors) {
        // The vectors as a table in memory, replayed with one delay per vector.
        const std::size_t width = design.inputNodes.size();
        v << "    for (i = 0; i < " << design.vectors.size() << "; i = i + 1) begin\n";
        v << "      {";
        for (std::size_t b = width; b-- > 0;) v << design.inputNodes[b] << (b ? ", " : "");
        v << "} = mem[i];\n      #" << design.period << ";\n    end\n";
    }
    v << "    $finish;\n  end\n";
    v << "  reg [" << design.inputNodes.size() - 1 << ":0] mem [0:" << design.vectors.size() - 1 << "];\n";
    v << "  initial $readmemb(\"vectors.txt\", mem);\nendmodule\n";
    return v.str();
}

double CpuOfChildren()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec * 1e-6;
}

// vvp's CPU seconds with the vectors less those without them, each the best of its runs.
double TimeVvp(const Design& design, const std::filesystem::path& dir)
{
    {
        std::ofstream out(dir / "vectors.txt");
        for (const std::vector<int>& vector : design.vectors) {
            for (std::size_t b = vector.size(); b-- > 0;) out << vector[b];
            out << "\n";
        }
    }
    double times[2] = {0, 0};
    for (int withVectors = 0; withVectors < 2; ++withVectors) {
        std::ofstream(dir / "top.v") << Verilog(design, withVectors != 0);
        const std::string compile = "cd '" + dir.string() + "' && iverilog -o top.vvp top.v";
        if (std::system(compile.c_str()) != 0) return -1.0;
        for (int r = 0; r < gRepeat; ++r) {
            const double before = CpuOfChildren();
            const std::string run = "cd '" + dir.string() + "' && vvp -n top.vvp > /dev/null";
            if (std::system(run.c_str()) != 0) return -1.0;
            const double used = CpuOfChildren() - before;
            if (r == 0 || used < times[withVectors]) times[withVectors] = used;
        }
    }
    return times[1] - times[0];
}

// The CPU seconds of vvp's run phase, or a negative value when iverilog or vvp failed. The
// working directory goes again afterwards.
double RunVvp(const Design& design, const std::string& name)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("kq5_digital_bench_" + name);
    std::filesystem::create_directories(dir);
    const double seconds = TimeVvp(design, dir);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return seconds;
}

bool gRunVvp = true;

void Report(const char* title, const Design& design, const std::string& name)
{
    std::uint64_t events = 0;
    double here = RunHere(design, events);
    for (int r = 1; r < gRepeat; ++r) here = std::min(here, RunHere(design, events));
    const double vvp = gRunVvp ? RunVvp(design, name) : 0.0;
    std::printf("%s: %zu vectors, %llu events in %.3f s here (best of %d; %.2f M events/s)", title, design.vectors.size(),
                static_cast<unsigned long long>(events), here, gRepeat, events / here / 1e6);
    if (vvp > 0.0)
        std::printf("; vvp run phase %.3f s; ratio %.2f\n", vvp, here / vvp);
    else if (gRunVvp)
        std::printf("; vvp failed (is iverilog installed?)\n");
    else
        std::printf("\n");
}

Design RippleAdder(int vectors)
{
    Design design;
    for (const char* bus : {"a", "b"})
        for (int bit = 0; bit < 32; ++bit) design.inputNodes.push_back(std::string(bus) + std::to_string(bit));
    for (int bit = 0; bit < 32; ++bit) {
        const std::string i = std::to_string(bit), c = bit == 0 ? "zero" : "c" + i, n = "c" + std::to_string(bit + 1);
        design.gates.push_back({kComponentXor, "xor", {"a" + i, "b" + i}, "p" + i});
        design.gates.push_back({kComponentAnd, "and", {"a" + i, "b" + i}, "g" + i});
        design.gates.push_back({kComponentXor, "xor", {"p" + i, c}, "s" + i});
        design.gates.push_back({kComponentAnd, "and", {"p" + i, c}, "t" + i});
        design.gates.push_back({kComponentOr, "or", {"g" + i, "t" + i}, n});
    }
    design.inputNodes.push_back("zero");
    for (int v = 0; v < vectors; ++v) {
        std::vector<int> values;
        const std::uint32_t a = static_cast<std::uint32_t>(v), b = 3u * static_cast<std::uint32_t>(v) + 1u;
        for (int bit = 0; bit < 32; ++bit) values.push_back(static_cast<int>((a >> bit) & 1u));
        for (int bit = 0; bit < 32; ++bit) values.push_back(static_cast<int>((b >> bit) & 1u));
        values.push_back(0);
        design.vectors.push_back(std::move(values));
    }
    return design;
}

Design NandAdder(int vectors)
{
    Design design;
    for (const char* n : {"a0", "a1", "a2", "a3", "b0", "b1", "b2", "b3", "cin"}) design.inputNodes.push_back(n);
    std::string carry = "cin";
    for (int bit = 0; bit < 4; ++bit) {
        const std::string i = std::to_string(bit), a = "a" + i, b = "b" + i;
        auto nand = [&](const std::string& x, const std::string& y, const std::string& out) {
            design.gates.push_back({kComponentNand, "nand", {x, y}, out + "_" + i});
            return out + "_" + i;
        };
        const std::string n1 = nand(a, b, "n1"), n2 = nand(a, n1, "n2"), n3 = nand(b, n1, "n3");
        const std::string x = nand(n2, n3, "x"), n5 = nand(x, carry, "n5"), n6 = nand(x, n5, "n6");
        const std::string n7 = nand(carry, n5, "n7");
        nand(n6, n7, "s");
        carry = nand(n5, n1, "c");
    }
    for (int v = 0; v < vectors; ++v) {
        const int combo = v % 512;
        std::vector<int> values;
        for (int bit = 0; bit < 9; ++bit) values.push_back((combo >> bit) & 1);
        design.vectors.push_back(std::move(values));
    }
    design.period = 100;
    return design;
}

}  // namespace

int main(int argc, char** argv)
{
    int vectors = 100000;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--vectors" && i + 1 < argc) vectors = std::atoi(argv[++i]);
        else if (arg == "--only" && i + 1 < argc) only = argv[++i];
        else if (arg == "--no-vvp") gRunVvp = false;
        else if (arg == "--repeat" && i + 1 < argc) gRepeat = std::max(1, std::atoi(argv[++i]));
    }
    if (only.empty() || only == "ripple") Report("32-bit ripple adder", RippleAdder(vectors), "ripple");
    if (only.empty() || only == "nand") Report("4-bit NAND adder (36 gates)", NandAdder(vectors), "nand");
    return 0;
}
