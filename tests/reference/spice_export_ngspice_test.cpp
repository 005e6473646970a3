// The SPICE exports of the reference netlists run by ngspice against this program's run of the
// original: SPICE 2G and Spice3 as written, PSpice in ngspice's PSpice compatibility mode. Also:
// an export changes nothing of the next analysis.
#include <complex>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <map>
#include <regex>
#include <set>

#include "../analog/program_output_support.h"
#include "../netlist/spice_export_test_support.h"
#include "core/format.h"
#include "netlist/spice_export.h"
#include "reference_support.h"

namespace kq5::reference {
namespace {

// The reference netlists, by what they need of ngspice.
const char* const kNetlists[] = {
    "op_linear_elements", "op_poly_sources", "op_waveform_sources", "op_cubic_sink", "op_stiff_poly",
    "op_source_stepping", "op_forward_references", "tran_rc_pulse", "tran_rlc_damped_sine", "tran_exp_rc",
    "tran_pwl_current", "tran_ic_held_at_operating_point", "tran_initial_conditions", "tran_start_time",
    "tran_pwl_repeat", "tran_pwl_forever", "tran_sffm", "tran_sffm_defaults", "tran_transformer",
    "tran_three_coupled", "tran_controlled_sources", "tran_integrator", "ac_rc_ladder", "ac_coupled_rlc",
    "ac_three_coupled", "ac_controlled_sources", "ac_current_source", "ac_temperature_coefficients",
    "dc_sweep_controlled", "dc_sweep_poly", "dc_sweep_nested", "dc_sweep_temperature", "noise_resistor_divider",
    "noise_rc_bridge", "noise_current_input", "line_ideal_ac", "line_lossy_ac", "tran_subcircuits", "dev_diode_op",
    "tran_switch_ramp", "dev_gaasfet_ac", "bsim1_op", "dev_lpnp_dc",
};

// Netlists whose exports only this program runs: ngspice has no PSpice digital primitives.
const char* const kOursOnly[] = {"tran_mixed_inverter"};

// Netlists whose exports ngspice does not run alike, with the reason; they are still read back
// by this program's reader (the round trip of the netlist tests).
const std::map<std::string, std::string> kLeftOut = {
    {"tran_pwl_repeat", "PWL REPEAT FOR ... ENDREPEAT is this program's form; ngspice's PWL has no repeat"},
    {"tran_pwl_forever", "PWL REPEAT FOREVER and TIME_SCALE_FACTOR are this program's forms; ngspice has none"},
    {"ac_rc_ladder", "its octave sweep is written as a decade sweep (the analysis writer knows DEC and LIN); "
                     "the frequencies differ and interpolating between them exceeds the tolerance"},
};

// Exports of one dialect left out, with the reason.
const std::map<std::pair<std::string, int>, std::string> kLeftOutDialect = {
    {{"ac_temperature_coefficients", kSpiceDialect2G}, "SPICE 2G has no resistor, inductor or capacitor models: "
                                                       "their temperature coefficients are lost"},
    {{"ac_temperature_coefficients", kSpiceDialectPspice}, "ngspice's PSpice mode reads a capacitor's and an "
                                                           "inductor's value before the model name"},
    {{"dc_sweep_temperature", kSpiceDialectPspice}, "ngspice's PSpice mode does not read a resistor's TC=a,b"},
    {{"dc_sweep_temperature", kSpiceDialect2G}, "SPICE 2G has no resistor models: the temperature coefficients are lost"},
    {{"dev_diode_op", kSpiceDialectPspice}, "ngspice's .probe (a PSpice netlist's closing line) takes the number after "
                                            "a diode's model name, its area, for a node"},
    {{"tran_switch_ramp", kSpiceDialect2G}, "SPICE 2G has no voltage-controlled switch: the export says so"},
    {{"tran_switch_ramp", kSpiceDialectPspice}, "ngspice's PSpice mode knows no VSWITCH model"},
    {{"dev_gaasfet_ac", kSpiceDialect2G}, "SPICE 2G has no GaAsFET: the export says so"},
    {{"dev_gaasfet_ac", kSpiceDialectPspice}, "ngspice's PSpice mode reads a B line as a behavioural source, not a "
                                              "GaAsFET"},
    {{"bsim1_op", kSpiceDialect2G}, "SPICE 2G has no BSIM1 MOSFET"},
    {{"bsim1_op", kSpiceDialectPspice}, "the PSpice form keeps this program's names of the BSIM1 length and width "
                                        "terms (VFBL), which ngspice does not know (LVFB)"},
    {{"dev_lpnp_dc", kSpiceDialect2G}, "ngspice knows no LPNP model type (its lateral PNP is a PNP with SUBS=-1)"},
    {{"dev_lpnp_dc", kSpiceDialectPspice}, "ngspice's PSpice mode knows no LPNP model type"},
    {{"line_lossy_ac", kSpiceDialect2G}, "SPICE 2G has no lossy line: the export says so in place of the line"},
    {{"line_lossy_ac", kSpiceDialectPspice}, "the PSpice lossy line (T with LEN=, R, L, G, C) is unknown to "
                                             "ngspice's PSpice mode; its Spice3 form (LTRA) is compared"},
};

// Netlists whose Spice3 export uses forms of Spice3 that this program's reader does not take:
// the model types R, C, L (RES, CAP, IND here) and NMF (GASFET), a diode's AREA=, a switch as a
// behavioural current source (B is the GaAsFET here) and BSIM1 terms named LVFB (VFBL here).
const std::set<std::string> kSpice3FormsNotOurs = {"ac_temperature_coefficients", "dc_sweep_temperature",
                                                   "dev_diode_op",   "tran_switch_ramp",
                                                   "dev_gaasfet_ac", "bsim1_op"};

std::string WithoutCarriageReturns(std::string text)
{
    std::erase(text, '\r');
    return text;
}

std::string FileText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return WithoutCarriageReturns(all.str());
}

unsigned MaskOf(ReferenceAnalysis analysis)
{
    switch (analysis) {
    case ReferenceAnalysis::kAc:
    case ReferenceAnalysis::kNoise: return kExportAc;
    case ReferenceAnalysis::kDc: return kExportDc;
    case ReferenceAnalysis::kTran: return kExportTransient;
    default: return 0;
    }
}

// ngspice in its PSpice compatibility mode reads the PSpice exports: a spiceinit in the folder
// RunNgspice runs it in.
NgspiceResult RunNgspiceAs(const ReferenceCircuit& circuit, SpiceDialect dialect)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("kq5_ng_" + std::to_string(::getpid()) + "_" + circuit.name);
    std::filesystem::create_directories(dir);
    if (dialect == kSpiceDialectPspice) std::ofstream(dir / ".spiceinit") << "set ngbehavior=ps\n";
    return RunNgspice(circuit);
}

class SpiceExportNgspice : public ReferenceTest {
protected:
    // The export of the netlist last run, as ngspice is to read it.
    std::string ExportText(SpiceDialect dialect, unsigned mask)
    {
        ResetSpiceExportForTests();
        SpiceExport().dialect = dialect;
        SpiceExport().analysisMask = mask;
        // "Expand SUBCKT" as the dialog first shows it: off.
        SpiceExport().expandSubcircuits = false;
        const std::string path = record_->title + "." + std::to_string(dialect) + ".ckt";
        EXPECT_EQ(ExportSpiceNetlist(record_, path), 0) << LastShownText();
        std::ifstream in(path, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        std::string text = WithoutCarriageReturns(all.str());
        // ngspice is given the circuit without its end line (the harness adds its control block).
        const std::size_t end = text.rfind(".END\n");
        if (end != std::string::npos) text.resize(end);
        return text;
    }

    // ngspice's batch run of a netlist, all it writes; a PSpice export in ngspice's PSpice mode.
    static std::string NgspiceBatchLog(const std::string& text, SpiceDialect dialect = kSpiceDialectSpice3)
    {
        const std::filesystem::path dir =
            std::filesystem::temp_directory_path() / ("kq5_ng_batch_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        if (dialect == kSpiceDialectPspice) std::ofstream(dir / ".spiceinit") << "set ngbehavior=ps\n";
        std::ofstream(dir / "batch.cir") << text << ".END\n";
        std::string log;
        if (FILE* pipe = ::popen(("cd '" + dir.string() + "' && ngspice -b batch.cir 2>&1").c_str(), "r")) {
            char buffer[512];
            while (std::fgets(buffer, sizeof buffer, pipe)) log += buffer;
            ::pclose(pipe);
        }
        std::filesystem::remove_all(dir);
        return log;
    }

    // A circuit of the test's own, its node voltages compared.
    static ReferenceCircuit OwnCircuit(const char* name, const char* text, ReferenceAnalysis analysis,
                                       const std::vector<std::string>& nodes, double floor)
    {
        ReferenceCircuit circuit;
        circuit.name = name;
        circuit.ourText = text;
        circuit.analysis = analysis;
        for (const std::string& node : nodes) {
            circuit.quantities.push_back("V(" + node + ")");
            circuit.ngQuantities.push_back("v(" + node + ")");
        }
        circuit.floor = floor;
        return circuit;
    }

    // This program's run of the circuit against ngspice's run of its Spice3 export, quantity by
    // quantity; returns the export.
    std::string RunBothOnTheSpice3Export(ReferenceCircuit& circuit, unsigned mask)
    {
        std::vector<OurCurve> ours;
        EXPECT_EQ(RunOurs(circuit, ours), 0);
        circuit.ngText = ExportText(kSpiceDialectSpice3, mask);
        const NgspiceResult theirs = RunNgspiceAs(circuit, kSpiceDialectSpice3);
        EXPECT_TRUE(theirs.error.empty()) << theirs.error << "\n" << circuit.ngText;
        EXPECT_EQ(theirs.values.size(), ours.size());
        for (std::size_t q = 0; q < ours.size() && q < theirs.values.size(); ++q) {
            const Disagreement d = CompareCurve(ours[q], theirs.scale, theirs.values[q], circuit);
            EXPECT_LE(d.worst, circuit.relative) << circuit.quantities[q] << " at " << d.at << "\n" << circuit.ngText;
        }
        return circuit.ngText;
    }
};

TEST_F(SpiceExportNgspice, AnAnalysisAfterAnExportEqualsOneBefore)
{
    for (const char* name : {"tran_rc_pulse", "dc_sweep_controlled", "tran_transformer", "tran_controlled_sources",
                             "dc_sweep_poly", "op_poly_sources"}) {
        SCOPED_TRACE(name);
        TearDown();
        SetUp();
        const ReferenceCircuit circuit = LoadReferenceCircuit(name);
        // The export leaves the run data freed, as a fresh window has it: the run after it is
        // the run the circuit gets first, and the window's netlist and limits are untouched.
        std::vector<OurCurve> before, after;
        ASSERT_EQ(RunOurs(circuit, before), 0);
        const std::string textBefore = record_->textArea;
        const AnalysisLimits limitsBefore = record_->document->limits;
        for (SpiceDialect dialect : {kSpiceDialect2G, kSpiceDialectPspice, kSpiceDialectSpice3})
            ExportText(dialect, kExportTransient | kExportAc | kExportDc);
        EXPECT_EQ(textBefore, record_->textArea);
        EXPECT_EQ(limitsBefore.transient, record_->document->limits.transient);
        EXPECT_EQ(limitsBefore.ac, record_->document->limits.ac);
        EXPECT_EQ(limitsBefore.dc, record_->document->limits.dc);
        ASSERT_EQ(RunOurs(circuit, after), 0);
        ASSERT_EQ(before.size(), after.size());
        for (std::size_t q = 0; q < before.size(); ++q) {
            ASSERT_EQ(before[q].x.size(), after[q].x.size());
            for (std::size_t i = 0; i < before[q].x.size(); ++i) {
                ASSERT_EQ(before[q].x[i], after[q].x[i]);
                ASSERT_EQ(before[q].y[i], after[q].y[i]);
            }
        }
    }
}

TEST_F(SpiceExportNgspice, OurReaderRunsTheExportsAsTheOriginals)
{
    // PSpice and Spice3 keep every element and node name of these netlists; values written with
    // "%g" keep six digits, hence the tolerance.
    int compared = 0;
    double worstAll = 0.0;
    std::vector<std::string> names(std::begin(kNetlists), std::end(kNetlists));
    names.insert(names.end(), std::begin(kOursOnly), std::end(kOursOnly));
    for (const std::string& name : names) {
        if (kLeftOut.count(name)) continue;
        for (SpiceDialect dialect : {kSpiceDialectPspice, kSpiceDialectSpice3}) {
            // The LTRA line model of the Spice3 form is not this program's (its O is the digital
            // output interface).
            if (name == "line_lossy_ac" && dialect == kSpiceDialectSpice3) continue;
            if (dialect == kSpiceDialectSpice3 && kSpice3FormsNotOurs.count(name)) continue;
            SCOPED_TRACE(name + " " + std::to_string(dialect));
            TearDown();
            SetUp();
            const ReferenceCircuit original = LoadReferenceCircuit(name);
            std::vector<OurCurve> ours, again;
            ASSERT_EQ(RunOurs(original, ours), 0);
            std::map<std::string, double> nodes;
            for (const NodeNameRow& row : CircuitNodeTable().rows)
                if (row.scope == 0 && row.domain == 0 && row.number > 0)
                    nodes[row.name] = SolutionVector()[static_cast<std::size_t>(row.number)];
            ReferenceCircuit exported = original;
            exported.ourText = ExportText(dialect, MaskOf(original.analysis)) + ".END\n";
            exported.relative = 1e-5;
            TearDown();
            SetUp();
            ASSERT_EQ(RunOurs(exported, again), 0) << exported.ourText;
            ++compared;
            if (original.analysis == ReferenceAnalysis::kOp) {
                for (const NodeNameRow& row : CircuitNodeTable().rows) {
                    const auto found = nodes.find(row.name);
                    if (row.scope != 0 || row.domain != 0 || row.number <= 0 || found == nodes.end()) continue;
                    const double value = SolutionVector()[static_cast<std::size_t>(row.number)];
                    const double error = std::abs(value - found->second) / std::max(std::abs(found->second), original.floor);
                    EXPECT_LE(error, exported.relative) << row.name.view();
                    worstAll = std::max(worstAll, error);
                }
                continue;
            }
            ASSERT_EQ(ours.size(), again.size());
            for (std::size_t q = 0; q < ours.size(); ++q) {
                const std::vector<OurCurve> a = SplitSweeps(ours[q]);
                const std::vector<OurCurve> b = SplitSweeps(again[q]);
                ASSERT_EQ(a.size(), b.size());
                for (std::size_t k = 0; k < a.size(); ++k) {
                    const Disagreement d = CompareCurve(b[k], a[k].x, a[k].y, exported, true);
                    EXPECT_LE(d.worst, exported.relative) << original.quantities[q] << " at " << d.at;
                    worstAll = std::max(worstAll, d.worst);
                }
            }
        }
    }
    std::printf("[export-reread] %d exports run again by this program, worst relative error %.3g\n", compared, worstAll);
}

TEST_F(SpiceExportNgspice, NgspiceRunsTheExportsAsThisProgramRunsTheOriginals)
{
    ASSERT_TRUE(NgspiceInstalled()) << "ngspice is not installed (Debian package ngspice; bash tools/setup.sh installs it)";
    struct Job {
        ReferenceCircuit circuit;
        std::vector<OurCurve> ours;
        std::future<NgspiceResult> theirs;
        SpiceDialect dialect;
        std::map<std::string, double> ourNodes, ourNumbers;
    };
    std::vector<Job> jobs;
    std::map<std::string, double> worst;
    int compared = 0;
    int noiseLeftOut = 0;
    for (const char* name : kNetlists) {
        if (kLeftOut.count(name)) continue;
        // Each netlist in a window of its own, as the reference comparisons run it.
        TearDown();
        SetUp();
        ReferenceCircuit original = LoadReferenceCircuit(name);
        std::vector<OurCurve> ours;
        ASSERT_EQ(RunOurs(original, ours), 0) << name;
        // An operating point: every node's voltage, by its name and (for SPICE 2G) its number.
        std::map<std::string, double> ourNodes, ourNumbers;
        if (original.analysis == ReferenceAnalysis::kOp)
            for (const NodeNameRow& row : CircuitNodeTable().rows)
                if (row.scope == 0 && row.domain == 0 && row.number > 0) {
                    const double v = SolutionVector()[static_cast<std::size_t>(row.number)];
                    std::string lower = row.name;
                    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                    ourNodes[lower] = v;
                    ourNumbers[std::to_string(row.number)] = v;
                }
        // SPICE 2G numbers every node: its quantities name the numbers of this run's nodes.
        std::vector<std::string> numbered = original.ngQuantities;
        for (std::string& q : numbered) {
            static const std::regex kNode(R"(V\(([A-Za-z0-9_]+)\))", std::regex::icase);
            std::smatch m;
            if (std::regex_search(q, m, kNode)) {
                const std::int32_t node = LookupNodeNumber(CircuitNodeTable(), m[1].str(), 0, kNodeAnalog);
                if (node > 0) q = m.prefix().str() + "v(" + std::to_string(node) + ")" + m.suffix().str();
            }
        }
        // The sweep of this program adapts its step; ngspice sweeps on the fine grid of the
        // original's own .dc line, and is interpolated onto our points, as the reference tests do.
        static const std::regex kDcLine(R"((^|\n)\.dc [^\n]*\n)", std::regex::icase);
        std::smatch dcLine;
        const bool fineGrid = original.analysis == ReferenceAnalysis::kDc && std::regex_search(original.ngText, dcLine, kDcLine);
        for (SpiceDialect dialect : {kSpiceDialect2G, kSpiceDialectPspice, kSpiceDialectSpice3}) {
            if (kLeftOutDialect.count({name, dialect})) continue;
            // The SPICE 2G and PSpice .NOISE line rides on the .AC line; ngspice reads only the
            // Spice3 form, which sweeps by itself. Those exports are checked by re-reading only.
            if (original.analysis == ReferenceAnalysis::kNoise && dialect != kSpiceDialectSpice3) {
                ++noiseLeftOut;
                continue;
            }
            Job job;
            job.circuit = original;
            job.circuit.name = std::string(name) + "_" + std::to_string(dialect);
            job.circuit.ngText = ExportText(dialect, MaskOf(original.analysis));
            if (fineGrid) job.circuit.ngText = std::regex_replace(job.circuit.ngText, kDcLine, dcLine.str());
            // The export writes the analyses of the limits; an operating point alone is ngspice's.
            if (original.analysis == ReferenceAnalysis::kOp) job.circuit.ngText += ".op\n";
            job.dialect = dialect;
            job.ours = ours;
            job.ourNodes = ourNodes;
            job.ourNumbers = ourNumbers;
            if (dialect == kSpiceDialect2G) job.circuit.ngQuantities = numbered;
            jobs.push_back(std::move(job));
        }
        // ngspice runs beside us, two at a time at most (the machines of CI have two cores).
        for (Job& job : jobs)
            if (!job.theirs.valid()) job.theirs = std::async(std::launch::async, RunNgspiceAs, job.circuit, job.dialect);
        for (Job& job : jobs) {
            const NgspiceResult theirs = job.theirs.get();
            SCOPED_TRACE(job.circuit.name);
            EXPECT_TRUE(theirs.error.empty()) << "ngspice failed:\n" << theirs.error << "\n" << job.circuit.ngText;
            if (!theirs.error.empty()) continue;
            ++compared;
            const std::string kind = job.circuit.analysis == ReferenceAnalysis::kOp     ? "op"
                                     : job.circuit.analysis == ReferenceAnalysis::kTran ? "tran"
                                     : job.circuit.analysis == ReferenceAnalysis::kAc   ? "ac"
                                     : job.circuit.analysis == ReferenceAnalysis::kDc   ? "dc"
                                                                                        : "noise";
            if (job.circuit.analysis == ReferenceAnalysis::kOp) {
                const std::map<std::string, double>& mine = job.dialect == kSpiceDialect2G ? job.ourNumbers : job.ourNodes;
                EXPECT_FALSE(theirs.operatingPoint.empty());
                for (const auto& [node, expected] : theirs.operatingPoint) {
                    const auto found = mine.find(node);
                    if (found == mine.end()) continue;  // nodes ngspice adds (sense sources, internals)
                    const double error = std::abs(found->second - expected) / std::max(std::abs(expected), job.circuit.floor);
                    EXPECT_LE(error, job.circuit.relative) << node << ": " << found->second << " vs " << expected;
                    worst[kind] = std::max(worst[kind], error);
                }
                continue;
            }
            for (std::size_t q = 0; q < job.ours.size() && q < theirs.values.size(); ++q) {
                const bool atOurPoints = job.circuit.analysis == ReferenceAnalysis::kDc;
                const std::vector<OurCurve> mine = SplitSweeps(job.ours[q]);
                const std::vector<OurCurve> reference = SplitSweeps(OurCurve{theirs.scale, theirs.values[q]});
                EXPECT_EQ(mine.size(), reference.size());
                for (std::size_t k = 0; k < mine.size() && k < reference.size(); ++k) {
                    const Disagreement d = atOurPoints
                                               ? CompareCurve(reference[k], mine[k].x, mine[k].y, job.circuit, true)
                                               : CompareCurve(mine[k], reference[k].x, reference[k].y, job.circuit);
                    EXPECT_LE(d.worst, job.circuit.relative) << job.circuit.quantities[q] << " at " << d.at << "\n" << job.circuit.ngText;
                    worst[kind] = std::max(worst[kind], d.worst);
                }
            }
        }
        jobs.clear();
    }
    std::printf("[export-ngspice] %d exports compared, %zu netlists and %zu single exports left out, %d noise "
                "exports in the SPICE 2G and PSpice form\n",
                compared, kLeftOut.size(), kLeftOutDialect.size(), noiseLeftOut);
    for (const auto& [kind, error] : worst) std::printf("[export-ngspice] worst relative error %s: %.3g\n", kind.c_str(), error);
}

TEST_F(SpiceExportNgspice, TheExampleCircuitsRunAlikeInNgspice)
{
    ASSERT_TRUE(NgspiceInstalled()) << "ngspice is not installed (Debian package ngspice; bash tools/setup.sh installs it)";
    struct Example {
        const char* file;
        ReferenceAnalysis analysis;
        const char* quantity;
        const char* ngQuantity;
    };
    // Each example's output node in its AC sweep. Their transients are left out: this program's
    // run of the original already differs from ngspice's beyond the harness tolerance (the RC
    // filter's first cycle by 2 % of a millivolt-sized signal at 24 us, the RLC ringing by 2.4 mV
    // at 374 us) in every dialect alike, which is the transient kernel's matter, not the export's.
    const Example examples[] = {
        {"rc_filter.ckt", ReferenceAnalysis::kAc, "V(3)", "v(3)"},
        {"rlc_bandpass.ckt", ReferenceAnalysis::kAc, "V(4)", "v(4)"},
    };
    std::map<std::string, double> worst;
    int compared = 0;
    for (const Example& example : examples) {
        std::ifstream in(std::filesystem::path(KQ5_SOURCE_DIR) / "examples" / example.file, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        const bool ac = example.analysis == ReferenceAnalysis::kAc;
        for (SpiceDialect dialect : {kSpiceDialect2G, kSpiceDialectPspice, kSpiceDialectSpice3}) {
            SCOPED_TRACE(std::string(example.file) + (ac ? " ac " : " tran ") + std::to_string(dialect));
            TearDown();
            SetUp();
            ReferenceCircuit circuit;
            circuit.name = std::string("example_") + (ac ? "ac_" : "tran_") + std::to_string(dialect) + "_" + example.file;
            // One analysis at a time: the other's line is left out of both programs' netlists.
            std::string text = WithoutCarriageReturns(all.str());
            text = std::regex_replace(text, std::regex(ac ? R"(\n\.TRAN[^\n]*)" : R"(\n\.AC[^\n]*)", std::regex::icase), "");
            circuit.ourText = text;
            circuit.analysis = example.analysis;
            circuit.quantities = {example.quantity};
            circuit.ngQuantities = {example.ngQuantity};
            // The sources swing 1 V: errors are relative to a millivolt where the signal is smaller.
            circuit.floor = 1e-3;
            std::vector<OurCurve> ours;
            ASSERT_EQ(RunOurs(circuit, ours), 0);
            circuit.ngText = ExportText(dialect, MaskOf(example.analysis));
            const NgspiceResult theirs = RunNgspiceAs(circuit, dialect);
            ASSERT_TRUE(theirs.error.empty()) << theirs.error << "\n" << circuit.ngText;
            ASSERT_FALSE(theirs.values.empty());
            const Disagreement d = CompareCurve(ours[0], theirs.scale, theirs.values[0], circuit);
            EXPECT_LE(d.worst, circuit.relative) << example.quantity << " at " << d.at << "\n" << circuit.ngText;
            worst[ac ? "ac" : "tran"] = std::max(worst[ac ? "ac" : "tran"], d.worst);
            ++compared;
        }
    }
    std::printf("[export-examples] %d exports of the examples compared with ngspice\n", compared);
    for (const auto& [kind, error] : worst) std::printf("[export-examples] worst relative error %s: %.3g\n", kind.c_str(), error);
}

// The Spice3 form of resistor, capacitor and inductor models: their value multipliers, device
// temperatures and measurement temperature carried over, so that ngspice runs the filter as
// this program does; a capacitor with a voltage coefficient is said to be beyond it.
TEST_F(SpiceExportNgspice, PassiveModelsRunInNgspiceAsHere)
{
    ASSERT_TRUE(NgspiceInstalled()) << "ngspice is not installed (Debian package ngspice; bash tools/setup.sh installs it)";
    ReferenceCircuit circuit = OwnCircuit("export_passive_models",
                                          "* passive models\n"
                                          "V1 1 0 AC 1\n"
                                          "R1 1 2 RM 25\n"
                                          "L1 2 3 LM 0.5m\n"
                                          "C1 3 0 CM 2u\n"
                                          "R3 3 4 RT {RV}\n"
                                          "C4 4 0 10n\n"
                                          "C5 4 0 CV 1p\n"
                                          ".PARAM RV=500\n"
                                          ".MODEL RM RES(R=2 TC1=0.003 TC2=1e-5)\n"
                                          ".MODEL RT RES(R=2 TCE=0.5 T_MEASURED=40)\n"
                                          ".MODEL LM IND(L=2 TC1=-0.001 T_ABS=60)\n"
                                          ".MODEL CM CAP(C=0.5 TC1=0.0005 T_REL_GLOBAL=10)\n"
                                          ".MODEL CV CAP(VC1=0.1)\n"
                                          ".TEMP 75\n"
                                          ".AC DEC 20 100 100k\n"
                                          ".END\n",
                                          ReferenceAnalysis::kAc, {"2", "3", "4"}, 1e-6);
    // The 1 pF part left out changes the filter by far less than the tolerance.
    const std::string text = RunBothOnTheSpice3Export(circuit, kExportAc);
    EXPECT_NE(text.find("* Error: Capacitor C5 not supported by SPICE\n"), std::string::npos) << text;
}

// Switches in the Spice3 form: a current-controlled one, and a voltage-controlled one that
// opens as its control rises, each driven through its whole range and out beyond both ends.
TEST_F(SpiceExportNgspice, SwitchesRunInNgspiceAsHere)
{
    ASSERT_TRUE(NgspiceInstalled()) << "ngspice is not installed (Debian package ngspice; bash tools/setup.sh installs it)";
    ReferenceCircuit circuit = OwnCircuit("export_switches",
                                          "* switches\n"
                                          "V1 1 0 5\n"
                                          "R1 1 2 1K\n"
                                          "S1 2 0 3 0 SOPEN\n"
                                          "V3 3 0 SIN(1 2 1K)\n"
                                          "R2 1 4 1K\n"
                                          "W1 4 0 VC SCLOSE\n"
                                          "VC 5 0 SIN(0 2M 500)\n"
                                          "RC 5 0 1\n"
                                          ".MODEL SOPEN VSWITCH(RON=10 ROFF=100K VON=0.5 VOFF=1.5)\n"
                                          ".MODEL SCLOSE ISWITCH(RON=5 ROFF=1MEG ION=1M IOFF=-0.5M)\n"
                                          ".TRAN 10U 2M 0 10U\n"
                                          ".END\n",
                                          ReferenceAnalysis::kTran, {"2", "4"}, 1e-2);
    RunBothOnTheSpice3Export(circuit, kExportTransient);
}

// Lines with a line model in the Spice3 form: an ideal line whose model gives the impedance and
// the delay, and a lossy cable whose model the part's own length and resistance override.
TEST_F(SpiceExportNgspice, ModelledLinesRunInNgspiceAsHere)
{
    ASSERT_TRUE(NgspiceInstalled()) << "ngspice is not installed (Debian package ngspice; bash tools/setup.sh installs it)";
    ReferenceCircuit circuit = OwnCircuit("export_model_lines",
                                          "* lines\n"
                                          "V1 1 0 AC 1\n"
                                          "RS 1 2 50\n"
                                          "T1 2 0 3 0 COAX\n"
                                          "RL 3 0 75\n"
                                          "RS2 1 4 50\n"
                                          "T2 4 0 5 0 CABLE 3 R=0.2\n"
                                          "RL2 5 0 50\n"
                                          ".MODEL COAX TRN (ZO=50 TD=2N)\n"
                                          ".MODEL CABLE TRN (LEN=2 R=0.1 L=250N G=0 C=100P)\n"
                                          ".AC DEC 20 1MEG 100MEG\n"
                                          ".END\n",
                                          ReferenceAnalysis::kAc, {"3", "5"}, 1e-3);
    RunBothOnTheSpice3Export(circuit, kExportAc);
}

// A circuit that takes a subcircuit and a model from a library file: the Spice3 form holds them
// itself and names no library (ngspice's .LIB names a section of a file and refuses a whole one).
TEST_F(SpiceExportNgspice, ALibraryFileIsNamedSoThatNgspiceReadsIt)
{
    ASSERT_TRUE(NgspiceInstalled()) << "ngspice is not installed (Debian package ngspice; bash tools/setup.sh installs it)";
    const std::filesystem::path library =
        std::filesystem::temp_directory_path() / ("kq5_export_parts_" + std::to_string(::getpid()) + ".lib");
    std::ofstream(library) << ".SUBCKT ATTEN IN OUT\nR1 IN OUT 9K\nR2 OUT 0 1K\n.ENDS ATTEN\n"
                              ".MODEL DSMALL D(IS=1E-14 RS=10)\n";
    const std::string text = "* library parts\n.LIB \"" + library.string() +
                             "\"\nV1 1 0 DC 0\nX1 1 2 ATTEN\nD1 2 3 DSMALL\nR3 3 0 100\n.DC V1 0 20 0.5\n.END\n";
    ReferenceCircuit circuit = OwnCircuit("export_library_file", text.c_str(), ReferenceAnalysis::kDc, {"2", "3"}, 1e-6);
    const std::string exported = RunBothOnTheSpice3Export(circuit, kExportDc);
    EXPECT_EQ(exported.find(".LIB"), std::string::npos) << exported;
    std::filesystem::remove(library);
}

// A text circuit's own output lines with an expression in braces, as the Analysis Limits write
// one typed there, one written plainly, and a resistor's current: ngspice refused the braces
// ("no such function as {v") and has no I(R1); the export writes items ngspice prints.
TEST_F(SpiceExportNgspice, ExpressionOutputItemsOfATextCircuitRunInNgspice)
{
    ASSERT_TRUE(NgspiceInstalled()) << "ngspice is not installed (Debian package ngspice; bash tools/setup.sh installs it)";
    ReferenceCircuit circuit = OwnCircuit("export_expression_items",
                                          "* expression items\n"
                                          "V1 1 0 PULSE(1 5 0 1N 1N 5U 10U)\n"
                                          "R1 1 2 1K\n"
                                          "C1 2 0 1N\n"
                                          "R2 2 3 2K\n"
                                          "C2 3 0 1N\n"
                                          ".TRAN 0.1U 10U\n"
                                          ".PRINT TRAN V(2) {V(2) * 1E-12} V(3)*2 {DB(V(3))} I(R1)\n"
                                          ".END\n",
                                          ReferenceAnalysis::kTran, {"2", "3"}, 1e-3);
    std::vector<OurCurve> ours;
    ASSERT_EQ(RunOurs(circuit, ours), 0);
    const std::string text = ExportText(kSpiceDialectSpice3, kExportTransient);
    EXPECT_NE(text.find(".PRINT TRAN V(2) V(2)*1E-12 V(3)*2 VDB(3) @R1[I]\n"), std::string::npos) << text;
    const std::string log = NgspiceBatchLog(text);
    EXPECT_EQ(log.find("rror"), std::string::npos) << log;
    EXPECT_EQ(log.find("not available"), std::string::npos) << log;
    EXPECT_NE(log.find("v(2)*1e-12"), std::string::npos) << log;
    EXPECT_NE(log.find("vdb(3)"), std::string::npos) << log;
    EXPECT_NE(log.find("@r1[i]"), std::string::npos) << log;
}

// AC currents printed with a suffix (IM(V1) ...), which Spice3 does not read: ngspice printed
// nothing of the line (of this one, "no data saved for A.C. Small signal analysis"). The export
// writes them as functions of the current, and ngspice prints what this program prints.
TEST_F(SpiceExportNgspice, SuffixedAcCurrentsRunInNgspice)
{
    ASSERT_TRUE(NgspiceInstalled()) << "ngspice is not installed (Debian package ngspice; bash tools/setup.sh installs it)";
    ReferenceCircuit circuit = OwnCircuit("export_ac_currents",
                                          "* ac currents\n"
                                          "V1 1 0 AC 1\n"
                                          "R1 1 2 1K\n"
                                          "C1 2 0 100N\n"
                                          "L1 2 3 10M\n"
                                          "R2 3 0 50\n"
                                          ".AC DEC 1 1K 1K\n"
                                          ".PRINT AC VM(2) IM(V1) IR(L1) II(L1) IDB(V1)\n"
                                          ".END\n",
                                          ReferenceAnalysis::kAc, {"2"}, 1e-6);
    std::vector<OurCurve> ours;
    ASSERT_EQ(RunOurs(circuit, ours), 0);
    const std::string text = ExportText(kSpiceDialectSpice3, kExportAc);
    const std::string log = NgspiceBatchLog(text);
    EXPECT_EQ(log.find("rror"), std::string::npos) << text << log;
    // At 1 kHz: the current through R1 into C1 parallel to L1 + R2, by hand.
    const std::complex<double> jw(0.0, 2.0 * 3.14159265358979 * 1e3);
    const std::complex<double> zl = 50.0 + jw * 10e-3, zc = 1.0 / (jw * 100e-9);
    const std::complex<double> total = 1.0 / (1000.0 + zl * zc / (zl + zc));
    const std::complex<double> il = total * zc / (zl + zc);
    std::istringstream lines(log);
    std::vector<double> printed;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        int index = -1;
        double frequency = 0.0, value = 0.0;
        if (words >> index >> frequency && index == 0)
            while (words >> value) printed.push_back(value);
    }
    // Printed two items a table: VM(2) IM(V1), IR(L1) II(L1), IDB(V1).
    ASSERT_EQ(printed.size(), 5u) << log;
    EXPECT_NEAR(printed[1], std::abs(total), 1e-5 * std::abs(total));
    EXPECT_NEAR(printed[2], il.real(), 1e-5 * std::abs(il));
    EXPECT_NEAR(printed[3], il.imag(), 1e-5 * std::abs(il));
    EXPECT_NEAR(printed[4], 20.0 * std::log10(std::abs(total)), 1e-4);
}


// Forms of this program that the Spice3 export lost, each run by ngspice as this program runs
// the original, with the line that carries it.
TEST_F(SpiceExportNgspice, InstanceSettingsAndAkoModelsRunInNgspiceAsHere)
{
    ASSERT_TRUE(NgspiceInstalled()) << "ngspice is not installed (Debian package ngspice; bash tools/setup.sh installs it)";
    struct Case {
        const char* name;
        const char* parts;
        ReferenceAnalysis analysis;
        const char* written;
        const char* written2G;
    };
    const Case cases[] = {
        // Only PSpice knows AKO: ngspice refused ".MODEL DKID AKO:DBASE D". The model is
        // written whole, its base's parameters with its own.
        {"export_ako_model",
         "V1 1 0 DC 5\nR1 1 2 1K\nD1 2 0 DBASE\nR2 1 3 1K\nD2 3 0 DKID\n.MODEL DBASE D (IS=1E-14 RS=10 N=1.2)\n"
         ".MODEL DKID AKO:DBASE D (IS=1E-12)\n.DC V1 0 5 0.5\n",
         ReferenceAnalysis::kDc, ".MODEL DKID D (RS=10 N=1.2 IS=1E-12)\n", ".MODEL DKID D RS=10 N=1.2 IS=1E-12\n"},
        // Capacitors' IC= without UIC, which this program holds for the operating point (as
        // PSpice does) and ngspice ignored.
        {"export_capacitor_holds", "V1 1 0 DC 5\nR1 1 2 1K\nC1 2 0 1N IC=2\nR2 2 3 2K\nC2 0 3 1N IC=1\n.TRAN 0.1U 10U 0 0.1U\n",
         ReferenceAnalysis::kTran, ".IC V(2)=2 V(3)=-1\n", nullptr},
        // The same inside a subcircuit: the hold was left out, and SPICE 2G, which takes no .IC
        // there, did not say so.
        {"export_subcircuit_capacitor_holds",
         "V1 1 0 DC 5\nR1 1 2 1K\nX1 2 3 CELL\nR9 3 0 2K\n.SUBCKT CELL A B\nR1 A M 1K\nC1 M 0 1N IC=1\nR2 M B 1K\n"
         ".ENDS\n.TRAN 0.1U 10U 0 0.1U\n",
         ReferenceAnalysis::kTran, "C1 M 0 1N IC=1\nR2 M B 1K\n.IC V(M)=1\n", "* WARNING: C1 IC=1 IS USED ONLY WITH UIC\n"},
        // No .IC holds the voltage between two nodes: with UIC the capacitor's own IC= runs
        // alike, and the export warns that it holds only then.
        {"export_floating_capacitor_hold",
         "V1 1 0 DC 5\nR1 1 2 1K\nC1 2 3 1N IC=2\nR2 3 0 2K\n.TRAN 0.1U 10U 0 0.1U UIC\n",
         ReferenceAnalysis::kTran, "C1 2 3 1N IC=2\n", "* WARNING: C1 IC=2 IS USED ONLY WITH UIC\n"},
        // A netlist's own .IC and .NODESET of the voltage between two nodes, which ngspice refused
        // as a syntax error: left out with a warning, one against ground written as a node's. The
        // warning, longer than WIDTH, goes on as a comment (a "+" line joined the .IC before it).
        {"export_node_pair_ic",
         "V1 1 0 DC 6\nR1 1 2 1K\nC1 2 0 1N\nR2 2 3 1K\nC2 3 0 1N\nR3 3 0 1K\n.IC V(2)=5 V(2,3)=2 V(0,3)=-3\n"
         ".NODESET V(3,2)=-2\n.TRAN 0.1U 10U 0 0.1U\n",
         ReferenceAnalysis::kTran,
         ".IC V(2)=5 V(3)=3\n* Warning: .IC V(2,3)=2 is left out: only the voltages of single nodes can be\n* set\n",
         "* WARNING: .NODESET V(3,2)=-2 IS LEFT OUT: ONLY THE VOLTAGES OF SINGLE NODES\n* CAN BE SET\n"},
        // An .IC inside a copied subcircuit went out as it stood, and ngspice refused the file
        // (".ic syntax error"): the items it reads stay, the inductor's current goes on its
        // line. SPICE 2G takes no .IC there, nor prints a node inside a call (V(X1.M)), which
        // it gave as it stood.
        {"export_subcircuit_initial_lines",
         "V1 1 0 DC 6\nR1 1 2 1K\nX1 2 3 CELL\nR9 3 0 1K\n.SUBCKT CELL A B\nR1 A M 1K\nC1 M 0 1N\nL1 M B 1M\n"
         ".IC V(M)=2 V(A,M)=2 I(L1)=2M\n.NODESET V(0,B)=-2\n.ENDS\n.TRAN 0.1U 10U 0 0.1U UIC\n.PRINT TRAN V(2) V(X1.M)\n",
         ReferenceAnalysis::kTran,
         "L1 M B 1M IC=2M\n* Warning: L1 IC=2M is used only with UIC\n.IC V(M)=2\n"
         "* Warning: .IC V(A,M)=2 is left out: only the voltages of single nodes can be set\n.NODESET V(B)=2\n",
         "* WARNING: .PRINT TRAN V(X1.M) IS LEFT OUT: ONLY THE MAIN CIRCUIT'S NODES AND\n* PARTS CAN BE PRINTED\n"},
        // The same in the main circuit.
        {"export_inductor_current_hold",
         "V1 1 0 DC 5\nR1 1 2 1K\nL1 2 3 10M\nR2 3 0 1K\n.IC I(L1)=4M V(2)=1\n.TRAN 0.1U 10U 0 0.1U UIC\n",
         ReferenceAnalysis::kTran, "L1 2 3 10M IC=4M\n", "* WARNING: L1 IC=4M IS USED ONLY WITH UIC\n"},
        // A latch whose state Q1's OFF chooses: without it ngspice settled between the two states
        // (1.19 V on both collectors).
        {"export_off_latch",
         "VCC 1 0 5\nRC1 1 2 1K\nRC2 1 3 1K\nRB1 2 4 10K\nRB2 3 5 10K\nQ1 2 5 0 QN OFF\nQ2 3 4 0 QN\n"
         ".MODEL QN NPN (BF=100)\n.TRAN 1U 10U\n",
         ReferenceAnalysis::kTran, "Q1 2 5 0 QN OFF\n", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        const std::string text = std::string("* ") + c.name + "\n" + c.parts + ".END\n";
        ReferenceCircuit circuit = OwnCircuit(c.name, text.c_str(), c.analysis, {"2", "3"}, 1e-3);
        const std::string exported = RunBothOnTheSpice3Export(circuit, MaskOf(c.analysis));
        EXPECT_NE(exported.find(c.written), std::string::npos) << exported;
        if (!c.written2G) continue;
        // ngspice reads the SPICE 2G form too.
        const std::string text2G = ExportText(kSpiceDialect2G, MaskOf(c.analysis));
        EXPECT_NE(text2G.find(c.written2G), std::string::npos) << text2G;
        const std::string log = NgspiceBatchLog(text2G);
        EXPECT_EQ(log.find("rror"), std::string::npos) << log << "\n" << text2G;
    }
}

// A netlist whose subcircuits reach the global net $G_REF, one through the other: ngspice read
// " $G_REF" of the copied definitions as a comment ("too few nodes"). Each export holds 2 V on
// the net inside DIV too, so that ngspice finds this program's operating point.
TEST_F(SpiceExportNgspice, GlobalNetsOfTextSubcircuitsRunInNgspiceAsHere)
{
    ASSERT_TRUE(NgspiceInstalled()) << "ngspice is not installed (Debian package ngspice; bash tools/setup.sh installs it)";
    ReferenceCircuit circuit = OwnCircuit("export_text_globals",
                                          "* global net in nested subcircuits\n"
                                          "V1 1 0 10\n"
                                          "V2 $G_REF 0 2\n"
                                          "X1 1 2 OUTER\n"
                                          "R9 2 0 2K\n"
                                          ".SUBCKT OUTER IN OUT\n"
                                          "RS IN MID 500\n"
                                          "X2 MID OUT DIV PARAMS: RB=1K\n"
                                          "RL OUT 0 3K\n"
                                          ".ENDS\n"
                                          ".SUBCKT DIV IN OUT PARAMS: RB=2K\n"
                                          "R1 IN OUT 1K\n"
                                          "R2 OUT $G_REF {RB}\n"
                                          ".ENDS\n"
                                          ".TRAN 1U 10U\n"
                                          ".PRINT TRAN V(2)\n"
                                          ".END\n",
                                          ReferenceAnalysis::kTran, {"2"}, 1e-6);
    std::vector<OurCurve> ours;
    ASSERT_EQ(RunOurs(circuit, ours), 0);
    const double expected = ours[0].y.back().real();
    EXPECT_NEAR(expected, (10.0 / 1500.0 + 2.0 / 1000.0) / (1.0 / 1500.0 + 1.0 / 1000.0 + 1.0 / 1200.0), 1e-6);
    for (SpiceDialect dialect : {kSpiceDialectSpice3, kSpiceDialect2G}) {
        SCOPED_TRACE(dialect);
        const std::string text = ExportText(dialect, kExportTransient);
        std::smatch print;
        ASSERT_TRUE(std::regex_search(text, print, std::regex(R"(\.PRINT TRAN (\S+))"))) << text;
        std::string quantity = print[1].str();
        std::transform(quantity.begin(), quantity.end(), quantity.begin(), ::tolower);
        const std::string log = NgspiceBatchLog(text + ".control\nop\nprint " + quantity + "\n.endc\n");
        std::smatch value;
        ASSERT_TRUE(std::regex_search(log, value, std::regex(R"(\nv\(\d+\) = (\S+))"))) << log << "\n" << text;
        EXPECT_NEAR(std::stod(value[1].str()), expected, 1e-6) << text;
    }
}

// The pieces of a drawn circuit's file: a component with its part name and value, a node label,
// and the file around them with its text area (and a transient of v(A), v(B), v(C)).
std::string DrawnComponent(const char* name, int x, int y, const char* part = nullptr, const char* value = nullptr)
{
    std::string text = StrPrintf("[Comp]\nName=%s\nGrid=%d,%d\n\n", name, x, y);
    if (part) text += StrPrintf("[Attr]\nONV=8,8,PART,%s\nStyle=8192\n\n", part);
    if (value) text += StrPrintf("[Attr]\nONV=8,8,VALUE,%s\nStyle=8192\n\n", value);
    return text;
}

std::string DrawnLabel(const char* text, int x, int y)
{
    return StrPrintf("[Grid Text]\nText=%s\nGrid=%d,%d\n\n", text, x, y);
}

std::string DrawnFile(const std::string& body, const std::string& textArea, bool transient)
{
    std::string text = "[Main]\nFileType=CIR\nVersion=5.20\nProgram=Kestrion V\nScreen=1264,976\nKQ5Version=2.1.2\n\n";
    text += body + "[Schematic]\nPage 0=0\nTabSize 0=320\n\n[Page]\nIndex=0\nName=Page 1\nGrid=0,0\n\n";
    text += StrPrintf("[Text Area]\nLen=%zu\n%s\n", textArea.size(), textArea.c_str());
    if (!transient) return text;
    text += "[Limits]\nAnalysis=Transient\nTRange=1m\nTStep=0\nNPts=3\nTemp=27\nOPT=120\n\n";
    for (const char* y : {"v(A)", "v(B)", "v(C)"})
        text += StrPrintf("[WaveForm]\nAnalysis=Transient\nOptions=OUTPUT,LINEARX,LINEARY\nPlt=1\nXExp=T\nYExp=%s\n"
                          "XRng=Auto\nYRng=Auto\n\n", y);
    return text;
}

// A drawn circuit of two calls of the macro DIV (A to B, B to C), exported as the window exports
// it: ngspice's operating point of the export gives v(B) and v(C) as this program's batch run of
// the drawing does.
TEST_F(SpiceExportNgspice, DrawnMacroCallsRunInNgspiceAsInTheBatch)
{
    ASSERT_TRUE(NgspiceInstalled()) << "ngspice is not installed (Debian package ngspice; bash tools/setup.sh installs it)";
    ASSERT_FALSE(test::ProgramPath().empty()) << "the kq5 program is not built beside the tests";
    struct Case {
        const char* name;
        std::string macro, top;
        std::vector<SpiceDialect> dialects;
    };
    const Case cases[] = {
        // R2 of the macro returns to the global node $G_REF, which the top circuit holds at 2 V.
        {"global node inside the macro",
         DrawnFile(DrawnComponent("Resistor", 10, 10, "R1", "RA") + DrawnComponent("Resistor", 16, 10, "R2", "RB*2") +
                       DrawnLabel("IN", 10, 10) + DrawnLabel("OUT", 16, 10) + DrawnLabel("$G_REF", 22, 10),
                   ".PARAMETERS(RA=1K, RB=1K)\n", false),
         DrawnFile(DrawnComponent("Battery", 10, 10, "V1", "10") + DrawnComponent("Ground", 10, 16) +
                       DrawnComponent("Battery", 60, 10, "V2", "2") + DrawnComponent("Ground", 60, 16) +
                       DrawnLabel("$G_REF", 60, 10) + DrawnComponent("Macro", 10, 10, "X1", "DIV(2K,3K)") +
                       DrawnComponent("Macro", 16, 10, "X2", "DIV(1K,1K)") + DrawnLabel("A", 10, 10) +
                       DrawnLabel("B", 16, 10) + DrawnLabel("C", 22, 10) +
                       DrawnComponent("Resistor", 50, 10, "R9", "RL*2") + DrawnComponent("Ground", 56, 10) +
                       DrawnLabel("C", 50, 10),
                   ".DEFINE RL 2K\n", true),
         // PSpice keeps the name $G_REF; Spice3 (where ngspice read " $" as a comment) and SPICE
         // 2G (whose subcircuit nodes are local) pass the net to the subcircuit as a pin.
         {kSpiceDialectPspice, kSpiceDialectSpice3, kSpiceDialect2G}},
        // Values that are expressions of defines: the source's and, inside the macro, one of the
        // macro's parameters.
        {"expressions of defines",
         DrawnFile(DrawnComponent("Resistor", 10, 10, "R1", "RX") + DrawnLabel("IN", 10, 10) + DrawnLabel("OUT", 16, 10) +
                       DrawnComponent("Resistor", 16, 10, "R2", "RB*2") + DrawnComponent("Ground", 22, 10),
                   ".PARAMETERS(RA=1K, RB=1K)\n.DEFINE RX RA/2+RB\n", false),
         DrawnFile(DrawnComponent("Battery", 10, 10, "V1", "VS*2") + DrawnComponent("Ground", 10, 16) +
                       DrawnComponent("Macro", 10, 10, "X1", "DIV(4K,KB)") + DrawnComponent("Macro", 16, 10, "X2", "DIV(1K,KB)") +
                       DrawnLabel("A", 10, 10) + DrawnLabel("B", 16, 10) + DrawnLabel("C", 22, 10),
                   ".DEFINE VS 5\n.DEFINE KB 1.5K\n", true),
         {kSpiceDialectPspice, kSpiceDialectSpice3, kSpiceDialect2G}},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path dir =
            std::filesystem::temp_directory_path() / StrPrintf("kq5_drawn_macro_%d_%d", static_cast<int>(::getpid()), index++);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "DIV.CIR", std::ios::binary) << c.macro;
        std::ofstream(dir / "TOP.CIR", std::ios::binary) << c.top;
        std::ofstream(dir / "jobs.txt") << "TOP.CIR /T\n";
        ASSERT_EQ(test::RunProgramOnCommandFile(dir, "jobs.txt"), 0) << FileText(dir / "run.log");
        const std::vector<test::ValueTable> tables = test::ValueTables(FileText(dir / "TOP.TNO"));
        ASSERT_EQ(tables.size(), 1u);
        ASSERT_FALSE(tables[0].rows.empty());
        ASSERT_EQ(tables[0].rows.back().size(), 4u);
        // The file read here without a window can name the nets of B and C the other way round
        // (the window's export names them as drawn): the two values are compared as a pair.
        std::vector<double> ours = {tables[0].rows.back()[2], tables[0].rows.back()[3]};
        std::sort(ours.begin(), ours.end());

        TearDown();
        SetUp();
        ASSERT_EQ(testing::LoadProgramLibraries(), 0);
        ASSERT_EQ(testing::ReadSchematicInto(record_, (dir / "TOP.CIR").string()), 0) << LastShownText();
        for (SpiceDialect dialect : c.dialects) {
            SCOPED_TRACE(dialect);
            std::string text = ExportText(dialect, kExportTransient);
            // The nodes of the print line (numbers in SPICE 2G): the second and third are B and C.
            std::smatch print;
            ASSERT_TRUE(std::regex_search(text, print, std::regex(R"(\.PRINT TRAN (\S+) (\S+) (\S+))"))) << text;
            // PSpice takes a name beginning "$G_" for a global node; ngspice is told so.
            if (dialect == kSpiceDialectPspice) text += ".GLOBAL $G_REF\n";
            const std::string quantities = print[2].str() + " " + print[3].str();
            const std::string log = NgspiceBatchLog(text + ".control\nop\nprint " + quantities + "\n.endc\n", dialect);
            std::vector<double> theirs;
            for (int q = 2; q <= 3; ++q) {
                std::string name = print[q].str();
                std::transform(name.begin(), name.end(), name.begin(), ::tolower);
                std::smatch value;
                const std::string pattern = std::regex_replace(name, std::regex(R"([()$])"), R"(\$&)");
                ASSERT_TRUE(std::regex_search(log, value, std::regex(pattern + R"( = (\S+))"))) << log << "\n" << text;
                theirs.push_back(std::stod(value[1].str()));
            }
            std::sort(theirs.begin(), theirs.end());
            for (std::size_t q = 0; q < 2; ++q) EXPECT_NEAR(theirs[q], ours[q], 2e-3) << text;
        }
        std::filesystem::remove_all(dir);
    }
    ResetShapeLibraryForTests();
    ResetComponentLibraryForTests();
}

}  // namespace
}  // namespace kq5::reference
