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
// Two more rows time whole batch runs of the program ("kq5 circuit.cir /T", a child process
// like vvp, so that each side's CPU seconds and peak memory are its own) on netlists that print
// their outputs with .PRINT TRAN: the 32-bit ripple adder (20,000 vectors, the 33 sum and carry
// outputs) and a 16-bit synchronous counter of D flip-flops (100,000 clock cycles, 16 outputs).
// vvp runs the same gates and vectors and $strobes the same outputs at the same print times;
// every printed row must agree with vvp's row of the same time, column by column. Row 0 is the
// exception where vvp shows X: at time 0 this program prints the settled bias point of the
// digital circuit, and vvp, which has none, shows X until the first gate delays have passed;
// there row 0 is compared with the settled outputs the generator computes (the adder's first
// sum).
//
//   digital_bench [--vectors N] [--cycles N] [--only ripple|nand|adder|counter] [--no-vvp]
//                 [--repeat N] [--kq5 PATH]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
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

#include "bench_support.h"
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
    std::vector<std::string> outputs;       // compared with vvp at the end of every vector
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
// With samples, the outputs' states at the end of vectors 1 .. N - 1 (just before the next
// vector starts) are kept, one letter per output (such a run is not timed).
double RunHere(const Design& design, std::uint64_t& events, std::vector<std::string>* samples = nullptr)
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
                record->events.push_back({static_cast<std::uint32_t>(v) * design.period, static_cast<std::int16_t>(i),
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
    std::uint64_t sampled = 1;
    auto sample = [&](std::uint64_t until) {
        for (; sampled < design.vectors.size() && sampled * design.period <= until; ++sampled) {
            std::string row;
            for (const std::string& out : design.outputs)
                row += DigitalStateChar(d.current[static_cast<std::size_t>(nodes.at(out))]);
            samples->push_back(row);
        }
    };
    const double start = Seconds();
    while (TimeBreakpointRecord* head = FirstNodeEvent()) {
        if (samples) sample(head->time);
        if (ProcessDigitalEventsAt(head->time) != 0) std::abort();
        ResetDigitalChangeLog();
    }
    if (samples) sample(~0ull);
    const double used = Seconds() - start;
    events = d.eventsApplied;
    return used;
}

std::string Verilog(const Design& design, bool withVectors, bool strobe = false)
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
    // The table is read before the first vector is applied (read in an initial block of its
    // own it may come after it, and vector 0 would be X).
    v << "  integer i;\n  initial begin\n    $readmemb(\"vectors.txt\", mem);\n";
    if (withVectors) {
        // The vectors as a table in memory, replayed with one delay per vector.
        const std::size_t width = design.inputNodes.size();
        v << "    for (i = 0; i < " << design.vectors.size() << "; i = i + 1) begin\n";
        v << "      {";
        for (std::size_t b = width; b-- > 0;) v << design.inputNodes[b] << (b ? ", " : "");
        v << "} = mem[i];\n      #" << design.period << ";\n    end\n";
    }
    v << "    $finish;\n  end\n";
    if (strobe) {
        v << "  integer r;\n  initial begin\n    #" << design.period << ";\n    for (r = 1; r < " << design.vectors.size()
          << "; r = r + 1) begin\n      $strobe(\"%0t";
        for (std::size_t k = 0; k < design.outputs.size(); ++k) v << " %b";
        v << "\", $time";
        for (const std::string& out : design.outputs) v << ", " << out;
        v << ");\n      #" << design.period << ";\n    end\n  end\n";
    }
    v << "  reg [" << design.inputNodes.size() - 1 << ":0] mem [0:" << design.vectors.size() - 1 << "];\n";
    v << "endmodule\n";
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

std::vector<std::string> StrobedRows(const std::filesystem::path& file, std::size_t columns);

// Runs the design once more on both sides (untimed), vvp $strobing the outputs at the end of
// every vector, and compares the states vector by vector.
std::string CompareWithVvp(const Design& design, const std::string& name)
{
    std::uint64_t events = 0;
    std::vector<std::string> here;
    RunHere(design, events, &here);
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("kq5_digital_bench_check_" + name);
    std::filesystem::create_directories(dir);
    {
        std::ofstream out(dir / "vectors.txt");
        for (const std::vector<int>& vector : design.vectors) {
            for (std::size_t b = vector.size(); b-- > 0;) out << vector[b];
            out << "\n";
        }
    }
    std::ofstream(dir / "top.v") << Verilog(design, true, true);
    const std::string run = "cd '" + dir.string() + "' && iverilog -o top.vvp top.v && vvp -n top.vvp > vvp.txt";
    std::vector<std::string> theirs;
    if (std::system(run.c_str()) == 0) theirs = StrobedRows(dir / "vvp.txt", design.outputs.size());
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    std::size_t differing = 0, first = 0;
    for (std::size_t r = 0; r < std::min(here.size(), theirs.size()); ++r)
        if (here[r] != theirs[r] && differing++ == 0) first = r;
    char text[400];
    if (here.empty() || here.size() != theirs.size())
        std::snprintf(text, sizeof text, "DISAGREE: %zu vectors sampled here, %zu from vvp", here.size(), theirs.size());
    else if (differing)
        std::snprintf(text, sizeof text, "DISAGREE at %zu of %zu vectors (the first: vector %zu, %s here, %s from vvp)",
                      differing, here.size(), first + 1, here[first].c_str(), theirs[first].c_str());
    else
        std::snprintf(text, sizeof text, "outputs agree at the end of all %zu vectors", here.size());
    return text;
}

void Report(const char* title, const Design& design, const std::string& name)
{
    std::uint64_t events = 0;
    double here = RunHere(design, events);
    for (int r = 1; r < gRepeat; ++r) here = std::min(here, RunHere(design, events));
    const double vvp = gRunVvp ? RunVvp(design, name) : 0.0;
    const std::string agreement = gRunVvp ? CompareWithVvp(design, name) : std::string();
    std::printf("%s: %zu vectors, %llu events in %.3f s here (best of %d; %.2f M events/s)", title, design.vectors.size(),
                static_cast<unsigned long long>(events), here, gRepeat, events / here / 1e6);
    if (vvp > 0.0)
        std::printf("; vvp run phase %.3f s; ratio %.2f; %s\n", vvp, here / vvp, agreement.c_str());
    else if (gRunVvp)
        std::printf("; vvp failed (is iverilog installed?)\n");
    else
        std::printf("\n");
}

// ---- Whole printed runs ----

std::string gProgram = KQ5_BINARY_DIR "/kq5";

struct ChildRun {
    bool ok = false;
    double cpu = 0.0;    // user + system seconds
    long peakKb = 0;     // peak resident memory
};

// Runs a program in dir with its output to out (a file in dir); its own CPU seconds and peak
// memory.
ChildRun RunChild(const std::filesystem::path& dir, const std::vector<std::string>& program, const std::string& out)
{
    const bench::ChildRun run = bench::RunChild(program, dir, dir / out);
    return {run.status == 0, run.cpu, run.peakKb};
}

// The best CPU time of gRepeat runs and the peak memory of the last.
ChildRun BestOf(const std::filesystem::path& dir, const std::vector<std::string>& args, const std::string& out)
{
    ChildRun best;
    for (int r = 0; r < gRepeat; ++r) {
        const ChildRun run = RunChild(dir, args, out);
        if (!run.ok) return run;
        if (r == 0 || run.cpu < best.cpu) best.cpu = run.cpu;
        best.ok = true;
        best.peakKb = run.peakKb;
    }
    return best;
}

struct PrintedCircuit {
    std::string name;
    std::string netlist;                  // with .PRINT TRAN of the outputs
    std::string verilog;                  // $strobes the same outputs at every print time
    std::vector<std::string> outputs;     // the printed nodes, in column order
    // The outputs' settled states for the inputs at time 0, where vvp (which has no bias point)
    // shows X until the gates have switched: row 0 is compared with these instead. Empty when
    // vvp's row 0 is determinate.
    std::string biasPoint;
};

// The rows of a numeric output file: each line that is a number and one state per output.
std::vector<std::string> PrintedRows(const std::filesystem::path& file, std::size_t columns)
{
    std::vector<std::string> rows;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string time, state, row;
        if (!(words >> time) || time.find_first_not_of("0123456789.-+eE") != std::string::npos) continue;
        while (words >> state) row += state;
        if (row.size() == columns) rows.push_back(row);
    }
    return rows;
}

// vvp's rows: one $strobe line per print time, the time and then one state per output.
std::vector<std::string> StrobedRows(const std::filesystem::path& file, std::size_t columns)
{
    std::vector<std::string> rows;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string time, state, row;
        if (!(words >> time)) continue;
        while (words >> state)
            for (char c : state) row += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (row.size() == columns) rows.push_back(row);
    }
    return rows;
}

bool EqualsNoCaseAscii(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

void ReportPrinted(const PrintedCircuit& circuit)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("kq5_digital_bench_" + circuit.name);
    fs::create_directories(dir);
    std::ofstream(dir / (circuit.name + ".cir")) << circuit.netlist;
    // The same circuit without the print line: what printing costs.
    std::string quiet = circuit.netlist;
    quiet.erase(quiet.find(".PRINT"), quiet.find('\n', quiet.find(".PRINT")) + 1 - quiet.find(".PRINT"));
    std::ofstream(dir / "quiet.cir") << quiet;
    const ChildRun ours = BestOf(dir, {gProgram, circuit.name + ".cir", "/T"}, "kq5.log");
    const ChildRun silent = BestOf(dir, {gProgram, "quiet.cir", "/T"}, "kq5.log");
    std::string tno = circuit.name + ".TNO";
    for (const auto& entry : fs::directory_iterator(dir))
        if (EqualsNoCaseAscii(entry.path().filename().string(), tno)) tno = entry.path().filename().string();
    const std::vector<std::string> here = PrintedRows(dir / tno, circuit.outputs.size());
    std::printf("%s: here %.3f s CPU, %.1f MB peak (%.3f s, %.1f MB without the print line); %zu rows printed",
                circuit.name.c_str(), ours.cpu, ours.peakKb / 1024.0, silent.cpu, silent.peakKb / 1024.0, here.size());
    if (!ours.ok) std::printf(" (the run FAILED)");
    if (gRunVvp) {
        std::ofstream(dir / "top.v") << circuit.verilog;
        ChildRun vvp;
        if (RunChild(dir, {"iverilog", "-o", "top.vvp", "top.v"}, "iverilog.log").ok)
            vvp = BestOf(dir, {"vvp", "-n", "top.vvp"}, "vvp.txt");
        if (!vvp.ok) {
            std::printf("; vvp failed (is iverilog installed?)\n");
        } else {
            const std::vector<std::string> theirs = StrobedRows(dir / "vvp.txt", circuit.outputs.size());
            // Row 0 is the bias point: this program prints the settled state there, vvp what its
            // gates show before their first delay has passed.
            const bool settledRowZero = !circuit.biasPoint.empty();
            std::size_t differing = 0, first = here.size();
            for (std::size_t r = 0; r < std::min(here.size(), theirs.size()); ++r) {
                const std::string& expected = r == 0 && settledRowZero ? circuit.biasPoint : theirs[r];
                if (here[r] != expected && differing++ == 0) first = r;
            }
            std::printf("; vvp %.3f s CPU, %.1f MB peak; ratio %.2f time, %.1f memory; ", vvp.cpu, vvp.peakKb / 1024.0,
                        ours.cpu / vvp.cpu, static_cast<double>(ours.peakKb) / static_cast<double>(vvp.peakKb));
            if (settledRowZero && !theirs.empty())
                std::printf("row 0 against the settled bias point %s (vvp, before its gates switch: %s), the rest "
                            "against vvp's rows: ",
                            circuit.biasPoint.c_str(), theirs[0].c_str());
            if (differing == 0 && here.size() == theirs.size() && !here.empty())
                std::printf("all %zu rows agree\n", here.size());
            else if (differing == 0)
                std::printf("DISAGREE: %zu rows here, %zu from vvp\n", here.size(), theirs.size());
            else
                std::printf("DISAGREE: %zu rows differ, the first at row %zu (%s here, %s expected)\n", differing,
                            first, here[first].c_str(),
                            first == 0 && settledRowZero ? circuit.biasPoint.c_str() : theirs[first].c_str());
        }
    } else {
        std::printf("\n");
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

// The Verilog that prints the nets' states at 0, period, ... rows × period, then ends the
// module: the rows the printed netlist's table is compared with.
std::string StrobeRows(const std::vector<std::string>& nets, int rows, int period)
{
    std::string formats = "%0t", columns;
    for (const std::string& n : nets) {
        formats += " %b";
        columns += ", " + n;
    }
    return "  integer r;\n  initial begin\n    for (r = 0; r <= " + std::to_string(rows) + "; r = r + 1) begin\n" +
           "      $strobe(\"" + formats + "\", $time" + columns + ");\n      #" + std::to_string(period) +
           ";\n    end\n    $finish;\n  end\nendmodule\n";
}

// The ripple adder of RippleAdder as a netlist: two 32-bit stimuli counting a = i and
// b = 3 i + 1, one vector every 400 ns, gates of 2 ns.
PrintedCircuit PrintedAdder(int vectors)
{
    PrintedCircuit c;
    c.name = "adder";
    std::ostringstream n;
    n << "32-bit ripple adder, printed\n.MODEL IO_S UIO()\n.MODEL DG UGATE(TPLHTY=2NS TPHLTY=2NS)\n";
    for (const char* bus : {"A", "B"}) {
        n << "U" << bus << " STIM(32,44444444) $G_DPWR $G_DGND";
        for (int bit = 31; bit >= 0; --bit) n << " " << bus << bit;
        const bool a = bus[0] == 'A';
        char start[16], step[16];
        std::snprintf(start, sizeof start, "%08X", a ? 0u : 1u);
        std::snprintf(step, sizeof step, "%08X", a ? 1u : 3u);
        n << " IO_S\n+ 0NS " << start << "\n+ REPEAT " << vectors - 1 << " TIMES\n+ +400NS INCR BY " << step
          << "\n+ ENDREPEAT\n";
    }
    for (int b = 0; b < 32; ++b) {
        const std::string i = std::to_string(b), carry = b == 0 ? "$D_LO" : "C" + i;
        n << "UX" << i << " XOR $G_DPWR $G_DGND A" << i << " B" << i << " P" << i << " DG IO_S\n";
        n << "UG" << i << " AND(2) $G_DPWR $G_DGND A" << i << " B" << i << " G" << i << " DG IO_S\n";
        n << "US" << i << " XOR $G_DPWR $G_DGND P" << i << " " << carry << " S" << i << " DG IO_S\n";
        n << "UT" << i << " AND(2) $G_DPWR $G_DGND P" << i << " " << carry << " T" << i << " DG IO_S\n";
        n << "UC" << i << " OR(2) $G_DPWR $G_DGND G" << i << " T" << i << " C" << b + 1 << " DG IO_S\n";
    }
    n << ".TRAN 400NS " << vectors * 400LL << "NS\n.PRINT TRAN";
    for (int b = 0; b < 32; ++b) n << " D(S" << b << ")";
    n << " D(C32)\n.END\n";
    c.netlist = n.str();
    for (int b = 0; b < 32; ++b) c.outputs.push_back("s[" + std::to_string(b) + "]");
    c.outputs.push_back("c[32]");
    // The first vector's sum, a = 0 plus b = 1, bit 0 first, then the carry out.
    const std::uint64_t sum = 0u + 1u;
    for (int b = 0; b <= 32; ++b) c.biasPoint += (sum >> b) & 1u ? '1' : '0';
    std::ostringstream v;
    v << "`timescale 1ns/1ns\nmodule top;\n  reg [31:0] a, b;\n  wire [32:0] c;\n  wire [31:0] s, p, g, t;\n"
         "  assign c[0] = 1'b0;\n  genvar k;\n  generate for (k = 0; k < 32; k = k + 1) begin : bit\n"
         "    xor #2 (p[k], a[k], b[k]);\n    and #2 (g[k], a[k], b[k]);\n    xor #2 (s[k], p[k], c[k]);\n"
         "    and #2 (t[k], p[k], c[k]);\n    or #2 (c[k+1], g[k], t[k]);\n  end endgenerate\n"
         "  integer i;\n  initial for (i = 0; i < " << vectors << "; i = i + 1) begin\n"
         "    a = i; b = 3 * i + 1; #400;\n  end\n"
      << StrobeRows(c.outputs, vectors, 400);
    c.verilog = v.str();
    return c;
}

// A 16-bit synchronous counter: D flip-flops (5 ns clock to output) whose inputs are Q xor the
// carry of the bits below (gates of 2 ns), clocked every 100 ns from 0 at power-up.
PrintedCircuit PrintedCounter(int cycles)
{
    PrintedCircuit c;
    c.name = "counter";
    std::ostringstream n;
    n << "16-bit synchronous counter, printed\n.MODEL IO_S UIO()\n.MODEL DG UGATE(TPLHTY=2NS TPHLTY=2NS)\n"
         ".MODEL DF UEFF(TPCLKQLHTY=5NS TPCLKQHLTY=5NS)\n.OPTIONS DIGINITSTATE=0\n"
         "UCLK STIM(1,1) $G_DPWR $G_DGND CLK IO_S\n+ 0NS 0\n+ REPEAT FOREVER\n+ +50NS 1\n+ +50NS 0\n+ ENDREPEAT\n";
    for (int b = 0; b < 16; ++b) {
        const std::string i = std::to_string(b), carry = b == 0 ? "$D_HI" : "K" + i;
        n << "UF" << i << " DFF(1) $G_DPWR $G_DGND $D_HI $D_HI CLK D" << i << " Q" << i << " QB" << i << " DF IO_S\n";
        n << "UX" << i << " XOR $G_DPWR $G_DGND Q" << i << " " << carry << " D" << i << " DG IO_S\n";
        if (b < 15) n << "UA" << i << " AND(2) $G_DPWR $G_DGND Q" << i << " " << carry << " K" << b + 1 << " DG IO_S\n";
    }
    n << ".TRAN 100NS " << cycles * 100LL << "NS\n.PRINT TRAN";
    for (int b = 0; b < 16; ++b) n << " D(Q" << b << ")";
    n << "\n.END\n";
    c.netlist = n.str();
    for (int b = 0; b < 16; ++b) c.outputs.push_back("q[" + std::to_string(b) + "]");
    std::ostringstream v;
    v << "`timescale 1ns/1ns\nmodule top;\n  reg clk;\n  reg [15:0] q;\n  wire [15:0] d;\n  wire [16:0] k;\n"
         "  assign k[0] = 1'b1;\n  genvar j;\n  generate for (j = 0; j < 16; j = j + 1) begin : bit\n"
         "    xor #2 (d[j], q[j], k[j]);\n    and #2 (k[j+1], q[j], k[j]);\n"
         "    always @(posedge clk) q[j] <= #5 d[j];\n  end endgenerate\n"
         "  initial begin\n    q = 0; clk = 0;\n    forever begin #50 clk = 1; #50 clk = 0; end\n  end\n"
      << StrobeRows(c.outputs, cycles, 100);
    c.verilog = v.str();
    return c;
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
        design.outputs.push_back("s" + i);
    }
    design.outputs.push_back("c32");
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
        design.outputs.push_back(nand(n6, n7, "s"));
        carry = nand(n5, n1, "c");
    }
    design.outputs.push_back(carry);
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
    int vectors = 100000, printedVectors = 20000, cycles = 100000;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--vectors" && i + 1 < argc) vectors = std::atoi(argv[++i]);
        else if (arg == "--only" && i + 1 < argc) only = argv[++i];
        else if (arg == "--no-vvp") gRunVvp = false;
        else if (arg == "--repeat" && i + 1 < argc) gRepeat = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--cycles" && i + 1 < argc) cycles = std::max(2, std::atoi(argv[++i]));
        else if (arg == "--printed-vectors" && i + 1 < argc) printedVectors = std::max(2, std::atoi(argv[++i]));
        else if (arg == "--kq5" && i + 1 < argc) gProgram = argv[++i];
    }
    if (only.empty() || only == "ripple") Report("32-bit ripple adder", RippleAdder(vectors), "ripple");
    if (only.empty() || only == "nand") Report("4-bit NAND adder (36 gates)", NandAdder(vectors), "nand");
    if (only.empty() || only == "adder") ReportPrinted(PrintedAdder(printedVectors));
    if (only.empty() || only == "counter") ReportPrinted(PrintedCounter(cycles));
    return 0;
}
