// Pure-digital circuits against Icarus Verilog: the same gates, delays, stimuli and drive
// strengths written as gate-level Verilog; every node's 0/1/X/Z must agree at every event
// time. The test fails (never skips) when iverilog or vvp is missing.
//
// Known differences, kept out of the circuits: an enable at X gives Z here (Verilog: X or a
// weak level); R and F levels (worst-case delays) have no Verilog form and are checked by hand
// in the engine tests; Verilog takes the smaller of rise and fall delay towards X, so gates
// that reach X have equal rise and fall delays. A bus starts from the initial output states
// here (tristate outputs X until their first change) and from z in Icarus: bus circuits are
// compared from the time every driver has changed once.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include <unistd.h>

#include "../../digital/digital_test_support.h"
#include "digital/digital_programs.h"

namespace kq5::testing {
namespace {

struct RefGate {
    std::string kind;  // and or xor nand nor xnor not buf bufif1 dff pullup
    std::vector<std::string> inputs;
    std::string output, output2;
    int rise = 1, fall = 1;
    bool weak = false;  // drives with pull strength (here: 1 kOhm)
    int off = -1;       // bufif1: the turn-off delay (-1: the smaller of rise and fall)
    std::string logic{};  // "logic": the output's expression over the inputs' names
};

struct RefCircuit {
    std::vector<RefGate> gates;
    std::map<std::string, std::vector<std::pair<std::uint32_t, int>>> stimuli;  // node: (time, 0/1)
    std::uint32_t end = 1000;
    std::uint32_t compareFrom = 0;  // states are compared from here on
    // The delay selection of the plain gates (1 minimum, 2 typical, 3 maximum): the gates' rise
    // and fall delays sit at the selected place of their triples, other values beside them.
    int selection = 2;
};

// A triple whose selected entry is the delay and whose other entries differ from it, so that a
// wrong selection shows in the event times.
std::array<std::int32_t, 3> Triple(int delay, int selection)
{
    std::array<std::int32_t, 3> triple{};
    for (int j = 0; j < 3; ++j)
        triple[static_cast<std::size_t>(j)] = std::max(0, delay + 4 * (j - (selection - 1)));
    return triple;
}

int Primitive(const std::string& kind)
{
    static const std::map<std::string, int> table = {
        {"and", kComponentAnd}, {"or", kComponentOr},   {"xor", kComponentXor}, {"nand", kComponentNand},
        {"nor", kComponentNor}, {"xnor", kComponentNxor}, {"not", kComponentInv}, {"buf", kComponentBuf},
    };
    return table.at(kind);
}

// Runs the circuit in the engine and returns each node's trace.
std::map<std::string, std::string> RunHere(const RefCircuit& rc)
{
    DigitalCircuit c;
    std::vector<std::string> stimNodes;
    std::vector<StimulusEvent> events;
    for (const auto& [node, changes] : rc.stimuli) {
        for (const auto& [t, v] : changes)
            events.push_back({t, static_cast<std::int16_t>(stimNodes.size()), static_cast<std::uint16_t>(v ? kState1 : kState0)});
        stimNodes.push_back(node);
    }
    c.Stim(stimNodes, events);
    for (const RefGate& g : rc.gates) {
        int device;
        if (g.kind == "pullup") {
            device = c.Add(kComponentPullup, kClassNone, {}, {g.output});
        } else if (g.kind == "bufif1") {
            // As Verilog times a bufif1: to 1 and from Z to 1 by rise, to 0 and from Z to 0 by
            // fall, to Z by the turn-off delay.
            const int off = g.off >= 0 ? g.off : std::min(g.rise, g.fall);
            const int byTransition[6] = {g.rise, g.fall, off, off, g.fall, g.rise};
            std::vector<std::int32_t> delays(18, 0);
            for (int i = 0; i < 18; ++i) delays[static_cast<std::size_t>(i)] = byTransition[i / 3];
            device = c.Add(kComponentBuf3, kClassTristate, g.inputs, {g.output}, delays);
        } else if (g.kind == "jkff") {
            std::vector<std::int32_t> delays(30, 0);
            for (int i = 0; i < 6; ++i) delays[static_cast<std::size_t>(i)] = i < 3 ? g.rise : g.fall;
            for (int i = 9; i < 15; ++i) delays[static_cast<std::size_t>(i)] = i < 12 ? g.rise : g.fall;
            device = c.Add(kComponentJkff, kClassEdgeFlipFlop, g.inputs, {g.output2, g.output}, delays);
        } else if (g.kind == "dff") {
            std::vector<std::int32_t> delays(30, 0);
            for (int i = 0; i < 6; ++i) delays[static_cast<std::size_t>(i)] = i < 3 ? g.rise : g.fall;
            for (int i = 9; i < 15; ++i) delays[static_cast<std::size_t>(i)] = i < 12 ? g.rise : g.fall;
            device = c.Add(kComponentDff, kClassEdgeFlipFlop, g.inputs, {g.output2, g.output}, delays);
        } else if (g.kind == "logic" || g.kind == "pindly") {
            // The program parts compiled as the set-up compiles them, their pins named by nodes.
            ProgramPart part;
            part.pinNames = g.inputs;
            part.pinNames.push_back(g.output);
            part.pinLetters = std::string(g.inputs.size(), 'i') + "o";
            part.pinNodes.assign(part.pinNames.size(), 0);
            part.inputCount = static_cast<int>(g.inputs.size());
            part.outputCount = 1;
            for (char& ch : part.pinNames.back()) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            std::unique_ptr<DigitalDeviceRecord> record;
            if (g.kind == "logic") {
                std::unique_ptr<LogicExpRecord> r;
                EXPECT_EQ(CompileLogicExp(part, "LOGIC: " + g.output + " = {" + g.logic + "}", r), 0);
                record = std::move(r);
                device = c.Gate(kComponentLogicExp, g.inputs, g.output, g.rise, g.fall);
            } else {
                std::unique_ptr<PinDelayRecord> r;
                const std::string rise = std::to_string(g.rise) + "P", fall = std::to_string(g.fall) + "P";
                EXPECT_EQ(CompilePinDelay(part,
                                          "PINDLY: " + g.output + " = {CASE(TRN_LH, DELAY(-1," + rise + ",-1), TRN_HL, DELAY(-1," +
                                              fall + ",-1), DELAY(" + rise + "," + rise + "," + rise + "))}",
                                          r),
                          0);
                record = std::move(r);
                device = c.Add(kComponentPinDly, kClassNone, g.inputs, {g.output});
            }
            auto* program = static_cast<ProgramRecord*>(record.get());
            program->device = device;
            c.Spec(device).record = std::move(record);
        } else {
            const std::array<std::int32_t, 3> rise = Triple(g.rise, rc.selection), fall = Triple(g.fall, rc.selection);
            device = c.Add(Primitive(g.kind), kClassGate, g.inputs, {g.output},
                           GateDelays(rise[0], rise[1], rise[2], fall[0], fall[1], fall[2]), rc.selection);
        }
        if (g.weak) c.Spec(device).drvh = c.Spec(device).drvl = 1e3;
    }
    DigitalBuildOptions options;
    options.initialState = 2;
    EXPECT_EQ(c.Build(options), 0);
    // The program parts read their pins' nodes; their delays are in ticks of the time unit.
    for (int dev = 1; dev <= DigitalSimulator().deviceCount; ++dev)
        if (auto* program = dynamic_cast<ProgramRecord*>(DigitalSimulator().record[static_cast<std::size_t>(dev)].get())) {
            program->pinNodes.clear();
            for (int i = 0; i < DeviceInputCount(DigitalSimulator(), dev); ++i)
                program->pinNodes.push_back(DeviceInput(DigitalSimulator(), dev, i));
            program->pinNodes.push_back(DeviceOutputNode(DigitalSimulator(), dev, 1));
            DigitalSimulator().programDevices.push_back(dev);
        }
    ResetProgramChecks();
    EXPECT_EQ(c.Run(rc.end), 0);
    std::map<std::string, std::string> traces;
    for (const std::string& node : c.NodeNames()) {
        std::string text;
        char last = 'X';
        for (const auto& [t, letter] : c.Traces().at(node)) {
            char l = letter == 'R' ? '1' : letter == 'F' ? '0' : letter;
            if (l == last) continue;
            text += (text.empty() ? "" : " ") + std::to_string(t) + ":" + l;
            last = l;
        }
        traces[node] = text;
    }
    return traces;
}

std::string VerilogOf(const RefCircuit& rc, const std::vector<std::string>& nodes)
{
    std::ostringstream v;
    v << "`timescale 1ns/1ns\n";
    v << "module dff_ref(output reg q, output qb, input pre, input clr, input clk, input d);\n"
         "  parameter RISE = 1, FALL = 1;\n"
         "  reg next; assign qb = ~q;\n"
         "  always @(posedge clk or negedge pre or negedge clr)\n"
         "    if (!pre && !clr) q <= 1'bx;\n"
         "    else if (!pre) q <= #(RISE) 1'b1;\n"
         "    else if (!clr) q <= #(FALL) 1'b0;\n"
         "    else begin next = d; if (next) q <= #(RISE) next; else q <= #(FALL) next; end\n"
         "endmodule\n";
    v << "module jkff_ref(output reg q, output qb, input pre, input clr, input clk, input j, input k);\n"
         "  parameter RISE = 1, FALL = 1;\n"
         "  reg next; assign qb = ~q;\n"
         "  always @(negedge clk or negedge pre or negedge clr)\n"
         "    if (!pre && !clr) q <= 1'bx;\n"
         "    else if (!pre) q <= #(RISE) 1'b1;\n"
         "    else if (!clr) q <= #(FALL) 1'b0;\n"
         "    else begin\n"
         "      case ({j, k}) 2'b00: next = q; 2'b01: next = 0; 2'b10: next = 1; 2'b11: next = ~q;\n"
         "        default: next = 1'bx; endcase\n"
         "      if (next) q <= #(RISE) next; else q <= #(FALL) next;\n"
         "    end\n"
         "endmodule\n";
    v << "module top;\n";
    for (const std::string& n : nodes) {
        if (rc.stimuli.count(n)) v << "  reg " << n << ";\n";
        else v << "  wire " << n << ";\n";
    }
    int k = 0;
    for (const RefGate& g : rc.gates) {
        ++k;
        if (g.kind == "pullup") {
            v << "  pullup (" << g.output << ");\n";
            continue;
        }
        if (g.kind == "dff" || g.kind == "jkff") {
            v << "  " << g.kind << "_ref #(" << g.rise << ", " << g.fall << ") inst_" << k << "(" << g.output << ", " << g.output2;
            for (const std::string& in : g.inputs) v << ", " << in;
            v << ");\n";
            continue;
        }
        if (g.kind == "logic" || g.kind == "pindly") {
            v << "  assign #(" << g.rise << ", " << g.fall << ") " << g.output << " = "
              << (g.kind == "logic" ? g.logic : g.inputs[0]) << ";\n";
            continue;
        }
        v << "  " << g.kind << (g.weak ? " (pull0, pull1)" : "") << " #(" << g.rise << ", " << g.fall
          << (g.off >= 0 ? ", " + std::to_string(g.off) : std::string()) << ") inst_" << k
          << "(" << g.output;
        for (const std::string& in : g.inputs) v << ", " << in;
        v << ");\n";
    }
    v << "  initial begin\n";
    std::map<std::uint32_t, std::vector<std::pair<std::string, int>>> timeline;
    for (const auto& [node, changes] : rc.stimuli)
        for (const auto& [t, value] : changes) timeline[t].emplace_back(node, value);
    std::uint32_t now = 0;
    for (const auto& [t, changes] : timeline) {
        if (t > now) v << "    #" << (t - now) << ";\n";
        now = t;
        for (const auto& [node, value] : changes) v << "    " << node << " = " << value << ";\n";
    }
    v << "    #" << (rc.end + 1 - now) << " $finish;\n  end\n";
    for (const std::string& n : nodes)
        v << "  always @(" << n << ") $display(\"%0t " << n << " %b\", $time, " << n << ");\n";
    v << "endmodule\n";
    return v.str();
}

std::map<std::string, std::string> RunIverilog(const RefCircuit& rc, const std::vector<std::string>& nodes,
                                               const std::string& name)
{
    // One directory per process: two test runs side by side must not read each other's output.
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("kq5_digital_ref_" + name + "_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    {
        std::ofstream out(dir / "top.v");
        out << VerilogOf(rc, nodes);
    }
    const std::string command = "cd '" + dir.string() + "' && iverilog -o top.vvp top.v 2> compile.txt && vvp -n top.vvp > out.txt 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << "iverilog/vvp failed (is the iverilog package installed?) in " << dir;
    // Last value of each node per time, then the changes.
    std::map<std::string, std::map<std::uint32_t, char>> last;
    std::ifstream in(dir / "out.txt");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::uint32_t t;
        std::string node, value;
        if (!(words >> t >> node >> value)) continue;
        char c = static_cast<char>(std::toupper(static_cast<unsigned char>(value[0])));
        last[node][t] = c;
    }
    std::map<std::string, std::string> traces;
    for (const std::string& n : nodes) {
        std::string text;
        char previous = 'X';
        for (const auto& [t, c] : last[n]) {
            if (c == previous) continue;
            text += (text.empty() ? "" : " ") + std::to_string(t) + ":" + c;
            previous = c;
        }
        traces[n] = text;
    }
    // The directory stays only for a look at what failed.
    std::error_code ignored;
    if (status == 0) std::filesystem::remove_all(dir, ignored);
    return traces;
}

// A trace from a time on: the state then, and the changes after it.
std::string From(const std::string& trace, std::uint32_t from)
{
    if (from == 0) return trace;
    std::istringstream words(trace);
    std::string item, text;
    char state = 'X';
    while (words >> item) {
        const std::uint32_t t = static_cast<std::uint32_t>(std::stoul(item));
        const char c = item.back();
        if (t <= from) {
            state = c;
            continue;
        }
        if (text.empty()) text = std::to_string(from) + ":" + state;
        text += " " + item;
    }
    return text.empty() ? std::to_string(from) + ":" + state : text;
}

void Compare(const RefCircuit& rc, const std::string& name)
{
    std::vector<std::string> nodes;
    {
        const auto here = RunHere(rc);
        for (const auto& [n, t] : here) nodes.push_back(n);
        const auto there = RunIverilog(rc, nodes, name);
        for (const std::string& n : nodes) EXPECT_EQ(From(here.at(n), rc.compareFrom), From(there.at(n), rc.compareFrom))
                << name << " node " << n;
    }
}

std::vector<std::pair<std::uint32_t, int>> Bits(const std::vector<int>& values, int bit, std::uint32_t period)
{
    std::vector<std::pair<std::uint32_t, int>> changes;
    for (std::size_t i = 0; i < values.size(); ++i) changes.emplace_back(static_cast<std::uint32_t>(i) * period, (values[i] >> bit) & 1);
    return changes;
}

// Forty random pairs of 4-bit operands, one every 50 ticks, and no carry in.
void AdderInputs(RefCircuit& rc, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<int> a, b;
    for (int i = 0; i < 40; ++i) {
        a.push_back(static_cast<int>(random() % 16));
        b.push_back(static_cast<int>(random() % 16));
    }
    for (int bit = 0; bit < 4; ++bit) {
        rc.stimuli["a" + std::to_string(bit)] = Bits(a, bit, 50);
        rc.stimuli["b" + std::to_string(bit)] = Bits(b, bit, 50);
    }
    rc.stimuli["c0"] = {{0, 0}};
}

// At each delay selection, the gates' other delays set apart from the selected ones.
TEST(DigitalIverilogReference, FourBitRippleAdder)
{
    for (int selection : {1, 2, 3}) {
        RefCircuit rc;
        AdderInputs(rc, 7);
        rc.selection = selection;
        for (int bit = 0; bit < 4; ++bit) {
            const std::string i = std::to_string(bit), n = std::to_string(bit + 1);
            rc.gates.push_back({"xor", {"a" + i, "b" + i}, "p" + i, "", 3, 3});
            rc.gates.push_back({"and", {"a" + i, "b" + i}, "g" + i, "", 2, 2});
            rc.gates.push_back({"xor", {"p" + i, "c" + i}, "s" + i, "", 3, 3});
            rc.gates.push_back({"and", {"p" + i, "c" + i}, "t" + i, "", 2, 2});
            rc.gates.push_back({"or", {"g" + i, "t" + i}, "c" + n, "", 2, 2});
        }
        rc.end = 2100;
        Compare(rc, "adder_" + std::to_string(selection));
    }
}

TEST(DigitalIverilogReference, AdderAsLogicExpressionsWithPinDelays)
{
    // The ripple adder once more, each bit's sum and carry one LOGICEXP each, every sum bit
    // passed through a PINDLY of unequal rise and fall delays.
    RefCircuit rc;
    AdderInputs(rc, 11);
    for (int bit = 0; bit < 4; ++bit) {
        const std::string i = std::to_string(bit), n = std::to_string(bit + 1);
        const std::string ai = "a" + i, bi = "b" + i, ci = "c" + i;
        RefGate sum{"logic", {ai, bi, ci}, "s" + i, "", 3, 3};
        sum.logic = ai + " ^ " + bi + " ^ " + ci;
        RefGate carry{"logic", {ai, bi, ci}, "c" + n, "", 4, 4};
        carry.logic = "(" + ai + " & " + bi + ") | (" + ci + " & (" + ai + " ^ " + bi + "))";
        rc.gates.push_back(sum);
        rc.gates.push_back(carry);
        rc.gates.push_back({"pindly", {"s" + i}, "q" + i, "", 2, 5});
    }
    rc.end = 2100;
    Compare(rc, "adder_programs");
}

TEST(DigitalIverilogReference, DecoderWithUnequalDelays)
{
    RefCircuit rc;
    rc.stimuli["x0"] = Bits({0, 1, 2, 3, 0, 3, 1, 2}, 0, 40);
    rc.stimuli["x1"] = Bits({0, 1, 2, 3, 0, 3, 1, 2}, 1, 40);
    rc.gates.push_back({"not", {"x0"}, "n0", "", 2, 2});
    rc.gates.push_back({"not", {"x1"}, "n1", "", 2, 2});
    rc.gates.push_back({"and", {"n0", "n1"}, "y0", "", 3, 5});
    rc.gates.push_back({"and", {"x0", "n1"}, "y1", "", 3, 5});
    rc.gates.push_back({"and", {"n0", "x1"}, "y2", "", 3, 5});
    rc.gates.push_back({"and", {"x0", "x1"}, "y3", "", 3, 5});
    rc.end = 400;
    Compare(rc, "decoder");
}

TEST(DigitalIverilogReference, PulsesShorterThanTheDelay)
{
    RefCircuit rc;
    rc.stimuli["a"] = {{0, 0}, {10, 1}, {12, 0}, {30, 1}, {40, 0}, {50, 1}, {53, 0}, {54, 1}, {80, 0}};
    rc.gates.push_back({"buf", {"a"}, "y", "", 5, 5});
    rc.gates.push_back({"not", {"a"}, "z", "", 4, 4});
    rc.gates.push_back({"buf", {"y"}, "w", "", 8, 8});
    rc.end = 200;
    Compare(rc, "pulses");
}

TEST(DigitalIverilogReference, TristateBusPullupAndStrengths)
{
    RefCircuit rc;
    rc.stimuli["d1"] = {{0, 0}, {50, 1}, {120, 0}};
    rc.stimuli["e1"] = {{0, 0}, {20, 1}, {70, 0}, {130, 1}, {170, 0}};
    rc.stimuli["d2"] = {{0, 1}, {90, 0}};
    rc.stimuli["e2"] = {{0, 0}, {40, 1}, {100, 0}, {150, 1}, {190, 0}};
    rc.gates.push_back({"bufif1", {"d1", "e1"}, "bus", "", 2, 2});
    rc.gates.push_back({"bufif1", {"d2", "e2"}, "bus", "", 3, 3});
    rc.gates.push_back({"pullup", {}, "bus", "", 0, 0, true});
    // Unequal strengths: the strong driver wins; equal ones that disagree give X.
    rc.stimuli["s"] = {{0, 0}, {30, 1}, {60, 0}};
    rc.stimuli["w"] = {{0, 1}, {45, 0}, {75, 1}};
    rc.gates.push_back({"buf", {"s"}, "mixed", "", 1, 1});
    rc.gates.push_back({"buf", {"w"}, "mixed", "", 1, 1, true});
    rc.gates.push_back({"buf", {"s"}, "tie", "", 1, 1});
    rc.gates.push_back({"buf", {"w"}, "tie", "", 1, 1});
    rc.end = 250;
    rc.compareFrom = 10;
    Compare(rc, "bus");
}

TEST(DigitalIverilogReference, TristateReleasedWhileADataChangeIsOnItsWay)
{
    RefCircuit rc;
    // Disabled (turn-off 1) two ticks after its data fell (fall 5): the bus is released at 13
    // and the pull-up holds it at 1; the falling data never reaches it.
    rc.stimuli["d1"] = {{0, 1}, {10, 0}, {60, 1}, {80, 0}};
    rc.stimuli["e1"] = {{0, 1}, {12, 0}, {70, 1}, {83, 0}};
    RefGate first{"bufif1", {"d1", "e1"}, "bus1", "", 5, 5};
    first.off = 1;
    rc.gates.push_back(first);
    rc.gates.push_back({"pullup", {}, "bus1", "", 0, 0, true});
    // Driving 0, disabled at 40 (turn-off 3): its data changing at 41 does not hold the bus past 43.
    rc.stimuli["d2"] = {{0, 0}, {41, 1}, {45, 0}, {90, 1}};
    rc.stimuli["e2"] = {{0, 1}, {40, 0}, {60, 1}, {92, 0}, {93, 1}};
    RefGate second{"bufif1", {"d2", "e2"}, "bus2", "", 5, 4};
    second.off = 3;
    rc.gates.push_back(second);
    rc.gates.push_back({"pullup", {}, "bus2", "", 0, 0, true});
    rc.end = 150;
    rc.compareFrom = 6;
    Compare(rc, "bus_release");
}

TEST(DigitalIverilogReference, RandomTristateBusesWithPullups)
{
    // Three drivers of unequal delays on a pulled-up bus, data and enables changing at random;
    // the enables take turns so that no two drivers fight.
    for (unsigned seed : {3u, 17u, 29u, 41u}) {
        std::mt19937 random(seed);
        RefCircuit rc;
        for (int k = 0; k < 3; ++k) {
            const std::string i = std::to_string(k);
            std::vector<std::pair<std::uint32_t, int>> data{{0, 0}};
            for (std::uint32_t t = 3; t < 600; t += 1 + random() % 9) data.emplace_back(t, static_cast<int>(random() % 2));
            rc.stimuli["d" + i] = data;
            RefGate g{"bufif1", {"d" + i, "e" + i}, "bus", "", static_cast<int>(2 + random() % 6),
                      static_cast<int>(2 + random() % 6)};
            g.off = static_cast<int>(1 + random() % 5);
            rc.gates.push_back(g);
        }
        std::map<std::string, std::vector<std::pair<std::uint32_t, int>>> enables;
        for (int k = 0; k < 3; ++k) enables["e" + std::to_string(k)] = {{0, 0}};
        for (std::uint32_t t = 20; t < 600; t += 20) {
            const int k = static_cast<int>(random() % 4);  // 3: nobody drives
            const std::uint32_t on = t + 1 + random() % 5, off = t + 8 + random() % 5;
            if (k == 3) continue;
            enables["e" + std::to_string(k)].emplace_back(on, 1);
            enables["e" + std::to_string(k)].emplace_back(off, 0);
        }
        for (auto& [name, changes] : enables) rc.stimuli[name] = changes;
        rc.gates.push_back({"pullup", {}, "bus", "", 0, 0, true});
        rc.end = 700;
        rc.compareFrom = 8;
        Compare(rc, "bus_random_" + std::to_string(seed));
    }
}

TEST(DigitalIverilogReference, ShiftRegisterAndSynchronousCounter)
{
    RefCircuit rc;
    std::vector<std::pair<std::uint32_t, int>> clock;
    for (int i = 0; i < 40; ++i) clock.emplace_back(static_cast<std::uint32_t>(i) * 10 + 5, i % 2 == 0 ? 1 : 0);
    clock.insert(clock.begin(), {0, 0});
    rc.stimuli["clk"] = clock;
    rc.stimuli["din"] = {{0, 1}, {32, 0}, {52, 1}, {72, 0}, {132, 1}};
    rc.stimuli["clr"] = {{0, 0}, {8, 1}};
    rc.stimuli["hi"] = {{0, 1}};
    // Shift register: four DFFs.
    std::string in = "din";
    for (int i = 0; i < 4; ++i) {
        const std::string q = "sr" + std::to_string(i);
        rc.gates.push_back({"dff", {"hi", "clr", "clk", in}, q, q + "b", 2, 2});
        in = q;
    }
    // Synchronous 3-bit counter: q0 toggles, q1 ^= q0, q2 ^= q0 & q1.
    rc.gates.push_back({"dff", {"hi", "clr", "clk", "q0b"}, "q0", "q0b", 2, 2});
    rc.gates.push_back({"xor", {"q0", "q1"}, "d1", "", 1, 1});
    rc.gates.push_back({"dff", {"hi", "clr", "clk", "d1"}, "q1", "q1b", 2, 2});
    rc.gates.push_back({"and", {"q0", "q1"}, "c1", "", 1, 1});
    rc.gates.push_back({"xor", {"c1", "q2"}, "d2", "", 1, 1});
    rc.gates.push_back({"dff", {"hi", "clr", "clk", "d2"}, "q2", "q2b", 2, 2});
    rc.end = 420;
    Compare(rc, "counter");
}

TEST(DigitalIverilogReference, RippleCounterOfJkFlipFlopsWithPresetAndClear)
{
    RefCircuit rc;
    std::vector<std::pair<std::uint32_t, int>> clock{{0, 1}};
    for (int i = 0; i < 60; ++i) clock.emplace_back(static_cast<std::uint32_t>(i) * 10 + 10, i % 2 == 0 ? 0 : 1);
    rc.stimuli["clk"] = clock;
    rc.stimuli["hi"] = {{0, 1}};
    // Cleared at the start, preset in the middle of the run.
    rc.stimuli["clr"] = {{0, 0}, {5, 1}};
    rc.stimuli["pre"] = {{0, 1}, {303, 0}, {306, 1}};
    std::string clockOf = "clk";
    for (int i = 0; i < 4; ++i) {
        const std::string q = "q" + std::to_string(i);
        rc.gates.push_back({"jkff", {"pre", "clr", clockOf, "hi", "hi"}, q, q + "b", 3, 3});
        clockOf = q;
    }
    rc.end = 640;
    Compare(rc, "ripple");
}

}  // namespace
}  // namespace kq5::testing
