#include "reference_support.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "../analog/run_test_support.h"
#include "analog/ac_run.h"
#include "analog/analog_state.h"
#include "analog/breakpoints.h"
#include "analog/dc_sweep_run.h"
#include "devices/linear_stamps.h"
#include "analog/noise.h"
#include "analog/numeric_output.h"
#include "analog/operating_point.h"
#include "analog/run_control.h"
#include "devices/temperature_setup.h"
#include "analog/transient_run.h"
#include "analog/transient_run_services.h"
#include "core/expr_compiler.h"
#include "core/expr_evaluator.h"
#include "core/expr_symbols.h"
#include "devices/model_temperature.h"
#include "analog/stamp_ac.h"
#include "document/node_table.h"
#include "results/plot_view_settings.h"

namespace kq5::reference {

namespace {

constexpr double kNominalTemperature = 27.0;
constexpr std::uint32_t kCurveKinds = 0x7C840;  // what a plot curve may hold

std::string Upper(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::string> Words(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The control block that makes ngspice write the compared quantities.
std::string ControlBlock(const ReferenceCircuit& c, const std::string& dataFile)
{
    std::string block = ".control\nset wr_singlescale\nset wr_vecnames\noption numdgt=14\nrun\n";
    switch (c.analysis) {
    case ReferenceAnalysis::kOp: block += "print all\n"; break;
    case ReferenceAnalysis::kNoise:
        block += "setplot noise1\nwrdata " + dataFile + " onoise_spectrum";
        if (c.quantities.size() > 1) block += " inoise_spectrum";
        block += "\n";
        break;
    case ReferenceAnalysis::kAc:
        // Adding j(0) makes a real vector (a magnitude, a phase) complex, whose imag() is 0.
        block += "wrdata " + dataFile;
        for (const std::string& q : c.ngQuantities)
            block += " real(" + Lower(q) + "+j(0)) imag(" + Lower(q) + "+j(0))";
        block += "\n";
        break;
    default:
        block += "wrdata " + dataFile;
        for (const std::string& q : c.ngQuantities) block += " " + Lower(q);
        block += "\n";
        break;
    }
    return block + ".endc\n.end\n";
}

std::uint32_t ContextOf(ReferenceAnalysis analysis)
{
    switch (analysis) {
    case ReferenceAnalysis::kAc:
    case ReferenceAnalysis::kNoise: return kContextAc | kContextLimitsDialog;
    case ReferenceAnalysis::kDc: return kContextDc | kContextLimitsDialog;
    default: return kContextTransient | kContextLimitsDialog;
    }
}

int AnalysisKindOf(ReferenceAnalysis analysis)
{
    switch (analysis) {
    case ReferenceAnalysis::kAc:
    case ReferenceAnalysis::kNoise: return kAnalysisAc;
    case ReferenceAnalysis::kOp:
    case ReferenceAnalysis::kDc: return kAnalysisDc;
    default: return kAnalysisTransient;
    }
}

// The AC run of the netlist's limits with the sweep kind its .AC line chose, as the Run command
// does it once the plot has found the noise curves.
int RunAcAnalysis(bool noise)
{
    int rc = BeginAnalysisRun();
    if (rc == 0) {
        AcRunState& a = AcRun();
        a.sweepKind = FrequencyStepKind();
        rc = ReadAcSweepLimits();
        ReadTemperatureRange(kLimitATemp);
        PlanRunSizes(1);
        a.noise = noise ? 1 : 0;
        if (rc == 0) rc = PrepareAcSweep();
        if (rc == 0) {
            int out1 = 0, out2 = 0;
            ResetRunState(out1, out2);
            rc = RunTemperatureAndCases(nullptr, {AcRunCase, a.points, false, false});
        }
    }
    if (RunControl().failureReported) rc = 15055;
    return FinishAnalysisRun(nullptr, rc);
}

}  // namespace

bool NgspiceInstalled() { return std::system("command -v ngspice > /dev/null 2>&1") == 0; }

ReferenceCircuit LoadReferenceCircuit(const std::string& name)
{
    std::ifstream in(std::string(KQ5_TEST_DATA_DIR) + "/circuits/" + name + ".cir");
    EXPECT_TRUE(in.good()) << "no netlist " << name;
    std::ostringstream text;
    text << in.rdbuf();
    return ParseReferenceCircuit(name, text.str());
}

ReferenceCircuit ParseReferenceCircuit(const std::string& name, const std::string& text)
{
    ReferenceCircuit c;
    c.name = name;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (StartsWith(line, "*@")) {
            const std::vector<std::string> w = Words(line.substr(2));
            if (w.empty()) continue;
            const std::string key = Lower(w[0]);
            if (key == "floor" && w.size() > 1) {
                c.floor = std::stod(w[1]);
            } else if (key == "rel" && w.size() > 1) {
                c.relative = std::stod(w[1]);
            } else if (key == "at" && w.size() > 1 && Lower(w[1]) == "ours") {
                c.atOurPoints = true;
            } else if (key == "temps") {
                for (std::size_t i = 1; i < w.size(); ++i) c.temperatures.push_back(std::stod(w[i]));
            } else {
                static const std::pair<const char*, ReferenceAnalysis> kKinds[] = {
                    {"op", ReferenceAnalysis::kOp},   {"tran", ReferenceAnalysis::kTran},
                    {"ac", ReferenceAnalysis::kAc},   {"dc", ReferenceAnalysis::kDc},
                    {"noise", ReferenceAnalysis::kNoise}};
                for (const auto& [word, kind] : kKinds)
                    if (key == word) c.analysis = kind;
                c.quantities.assign(w.begin() + 1, w.end());
                c.ngQuantities = c.quantities;
                for (std::size_t q = 0; q < c.quantities.size(); ++q) {
                    const std::size_t split = c.quantities[q].find('=');
                    if (split == std::string::npos) continue;
                    c.ngQuantities[q] = c.quantities[q].substr(split + 1);
                    c.quantities[q].resize(split);
                }
                // Noise: the output noise, and the input noise when the line names INOISE.
                if (c.analysis == ReferenceAnalysis::kNoise) {
                    const bool input = !c.quantities.empty() && Upper(c.quantities[0]) == "INOISE";
                    c.quantities = {"ONOISE"};
                    if (input) c.quantities.push_back("INOISE");
                }
            }
            c.ourText += line + "\n";
            continue;
        }
        if (StartsWith(line, "*NG ")) {
            c.ngText += line.substr(4) + "\n";
            continue;
        }
        if (StartsWith(line, "*KQ5 ")) {
            c.ourText += line.substr(5) + "\n";
            continue;
        }
        c.ourText += line + "\n";
        const std::vector<std::string> words = Words(line);
        if (words.size() == 1 && Upper(words[0]) == ".END") continue;  // ".ENDS" closes a subcircuit
        c.ngText += line + "\n";
    }
    return c;
}

NgspiceResult RunNgspice(const ReferenceCircuit& circuit)
{
    NgspiceResult result;
    if (!NgspiceInstalled()) return result;
    result.available = true;
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("kq5_ng_" + std::to_string(::getpid()) + "_" + circuit.name);
    std::filesystem::create_directories(dir);
    const std::string data = (dir / "data.txt").string();
    const std::string netlist = (dir / "circuit.cir").string();
    {
        std::ofstream out(netlist);
        out << circuit.ngText << ControlBlock(circuit, data);
    }
    const std::string command = "cd " + dir.string() + " && ngspice -b circuit.cir 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    std::string log;
    if (pipe) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe)) log += buffer;
        ::pclose(pipe);
    }
    if (circuit.analysis == ReferenceAnalysis::kOp) {
        // Node voltages print as "v(2) = ..."; when no node is a number they print as "out = ..."
        // (branch currents carry a '#'). The second form also names ngspice's own internal
        // nodes, so it is read only when the first is absent.
        static const std::regex kLine(R"(^v\(([^)]+)\)\s*=\s*(\S+))");
        static const std::regex kNamedLine(R"(^([A-Za-z_][\w.]*)\s*=\s*(\S+)\s*$)");
        std::vector<std::pair<std::string, double>> named;
        std::istringstream in(log);
        for (std::string line; std::getline(in, line);) {
            std::smatch m;
            if (std::regex_search(line, m, kLine))
                result.operatingPoint.emplace_back(m[1].str(), std::stod(m[2].str()));
            else if (std::regex_search(line, m, kNamedLine))
                named.emplace_back(m[1].str(), std::stod(m[2].str()));
        }
        if (result.operatingPoint.empty()) result.operatingPoint = named;
        if (result.operatingPoint.empty()) result.error = log;
    } else {
        std::ifstream in(data);
        std::string line;
        std::getline(in, line);  // the names
        const bool complexValues = circuit.analysis == ReferenceAnalysis::kAc;
        const std::size_t n = circuit.quantities.size();
        result.values.assign(n, {});
        while (std::getline(in, line)) {
            std::istringstream row(line);
            std::vector<double> v;
            for (double d; row >> d;) v.push_back(d);
            if (v.size() < 1 + n * (complexValues ? 2 : 1)) continue;
            result.scale.push_back(v[0]);
            for (std::size_t q = 0; q < n; ++q)
                result.values[q].push_back(complexValues ? std::complex<double>(v[1 + 2 * q], v[2 + 2 * q])
                                                         : std::complex<double>(v[1 + q], 0.0));
        }
        if (result.scale.empty()) result.error = log;
    }
    std::filesystem::remove_all(dir);
    return result;
}

NgspiceResult RunNgspiceAtTemperatures(const ReferenceCircuit& circuit)
{
    if (circuit.temperatures.empty()) return RunNgspice(circuit);
    NgspiceResult joined;
    for (const double t : circuit.temperatures) {
        ReferenceCircuit one = circuit;
        one.ngText += ".temp " + std::to_string(t) + "\n";
        NgspiceResult r = RunNgspice(one);
        joined.available = r.available;
        joined.error += r.error;
        if (!r.available || !r.error.empty()) break;
        joined.scale.insert(joined.scale.end(), r.scale.begin(), r.scale.end());
        joined.values.resize(r.values.size());
        for (std::size_t q = 0; q < r.values.size(); ++q)
            joined.values[q].insert(joined.values[q].end(), r.values[q].begin(), r.values[q].end());
    }
    return joined;
}

std::vector<OurCurve> SplitSweeps(const OurCurve& curve)
{
    std::vector<OurCurve> sweeps;
    double direction = 0.0;
    for (std::size_t i = 0; i < curve.x.size(); ++i) {
        const bool restart = sweeps.empty() || (direction != 0.0 && (curve.x[i] - curve.x[i - 1]) * direction < 0.0);
        if (restart) {
            sweeps.emplace_back();
            direction = 0.0;
        } else if (direction == 0.0) {
            direction = curve.x[i] > curve.x[i - 1] ? 1.0 : -1.0;
        }
        sweeps.back().x.push_back(curve.x[i]);
        sweeps.back().y.push_back(curve.y[i]);
    }
    // A falling sweep is compared as a rising one.
    for (OurCurve& sweep : sweeps) {
        if (sweep.x.size() > 1 && sweep.x.back() < sweep.x.front()) {
            std::reverse(sweep.x.begin(), sweep.x.end());
            std::reverse(sweep.y.begin(), sweep.y.end());
        }
    }
    return sweeps;
}

bool InterpolateCurve(const OurCurve& curve, double x, bool logScale, std::complex<double>& value)
{
    const std::vector<double>& xs = curve.x;
    if (xs.empty()) return false;
    // Points of a log sweep are matched relative to their own frequency: a slack taken from the
    // top of a sweep over decades would swallow the lowest points whole.
    const double span = std::max(std::abs(xs.back() - xs.front()), std::abs(xs.back()));
    const double slack = logScale && x > 0.0 ? 1e-9 * x : 1e-9 * span;
    if (x < xs.front() - slack || x > xs.back() + slack) return false;
    auto it = std::lower_bound(xs.begin(), xs.end(), x);
    if (it == xs.end()) {
        value = curve.y.back();
        return true;
    }
    std::size_t j = static_cast<std::size_t>(it - xs.begin());
    if (std::abs(xs[j] - x) <= slack || j == 0) {
        value = curve.y[j];
        return true;
    }
    const std::size_t i = j - 1;
    double a = xs[i], b = xs[j], t = x;
    if (logScale && a > 0.0 && b > 0.0 && t > 0.0) {
        a = std::log(a);
        b = std::log(b);
        t = std::log(t);
    }
    const double w = b == a ? 0.0 : (t - a) / (b - a);
    value = curve.y[i] + (curve.y[j] - curve.y[i]) * w;
    return true;
}

Disagreement CompareCurve(const OurCurve& ours, const std::vector<double>& scale,
                          const std::vector<std::complex<double>>& theirs, const ReferenceCircuit& circuit,
                          bool swapped)
{
    Disagreement d;
    const bool logScale = circuit.analysis == ReferenceAnalysis::kAc || circuit.analysis == ReferenceAnalysis::kNoise;
    for (std::size_t i = 0; i < scale.size() && i < theirs.size(); ++i) {
        std::complex<double> value;
        // A transient started from initial conditions prints no point at its start (no
        // operating point was computed); ngspice prints the initial state there.
        if (circuit.analysis == ReferenceAnalysis::kTran && !swapped && !ours.x.empty() && scale[i] < ours.x.front())
            continue;
        if (!InterpolateCurve(ours, scale[i], logScale, value)) {
            d.worst = std::max(d.worst, 1e300);  // ngspice has a point beyond our run
            d.at = scale[i];
            continue;
        }
        ++d.compared;
        const std::complex<double> mine = swapped ? theirs[i] : value;
        const std::complex<double> reference = swapped ? value : theirs[i];
        const double error = std::abs(mine - reference) / std::max(std::abs(reference), circuit.floor);
        if (error >= d.worst) {
            d.worst = error;
            d.at = scale[i];
            d.ours = mine;
            d.theirs = reference;
        }
    }
    return d;
}

void ReferenceTest::SetUp()
{
    BuildTest::SetUp();
    ResetAnalogSolverStateForTests();
    solver_test::ResetRunLoopStatesForTests();
    scratch_ = (std::filesystem::temp_directory_path() / ("kq5_ref_" + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(scratch_);
}

void ReferenceTest::TearDown()
{
    ClearTimeBreakpoints();
    FreeNoiseTable();
    FreeAllStampSets();
    CloseNumericOutputUnit();
    ResetAcStampStateForTests();
    ResetRunServicesForTests();
    ResetRunControlForTests();
    ResetAnalogSolverStateForTests();
    BuildTest::TearDown();
    std::error_code ignored;
    std::filesystem::remove_all(scratch_, ignored);
}

int ReferenceTest::RunOurs(const ReferenceCircuit& circuit, std::vector<OurCurve>& curves)
{
    record_->title = scratch_ + "/" + circuit.name + ".cir";
    // On the disk too, as a user's netlist is: its .SUBCKT definitions are read from there.
    std::ofstream(record_->title, std::ios::binary) << circuit.ourText;
    if (int rc = BuildText(circuit.ourText, AnalysisKindOf(circuit.analysis))) {
        ADD_FAILURE() << "build: " << LastShownText();
        return rc;
    }
    RunControl().circuitWindow = record_;
    // The analysis lines chose the transient and AC run options (operating point or UIC, the
    // frequency step); the DC options are those the analysis start gives a circuit.
    if (record_->plot) PlotViewOf(record_->plot).optionWord[kAnalysisDc] = kDefaultDcOptions;
    if (int rc = SetCircuitTemperature(kNominalTemperature)) return rc;
    PrepareModelsAtTemperature(kNominalTemperature);
    if (circuit.analysis == ReferenceAnalysis::kOp) return solver_test::RunTestOperatingPoint(kRunKindTransient);

    std::vector<CompiledExpression> expressions(circuit.quantities.size());
    curves.assign(circuit.quantities.size(), {});
    for (std::size_t q = 0; q < expressions.size(); ++q) {
        ExpressionRequest request;
        InitExpressionRecord(circuit.quantities[q], &expressions[q], ContextOf(circuit.analysis), kCurveKinds, request);
        if (int rc = CompileExpression(request)) {
            ADD_FAILURE() << "cannot compile " << circuit.quantities[q] << ": " << LastShownText();
            return rc;
        }
    }
    // Device currents of an AC point come from the stampers' current pass, as the plots ask.
    AcRun().deviceQuantities = false;
    for (const CompiledExpression& e : expressions)
        if (e.dependencies & kDependsCurrent) AcRun().deviceQuantities = true;
    const ReferenceAnalysis analysis = circuit.analysis;
    int failedEvaluations = 0;
    RunServices().plotPoint = [&](WindowRecord*) {
        double x = AnalogSolver().time;
        if (analysis == ReferenceAnalysis::kAc || analysis == ReferenceAnalysis::kNoise) x = AcRun().f;
        if (analysis == ReferenceAnalysis::kDc) x = DcSweep().value1;
        for (std::size_t q = 0; q < expressions.size(); ++q) {
            std::complex<double> value;
            // A value the plot could not show is a failure, however small the error it hides.
            if (const int rc = EvaluateExpression(expressions[q], value); rc != 0 && failedEvaluations++ == 0)
                ADD_FAILURE() << circuit.quantities[q] << " at " << x << ": evaluation failed with " << rc;
            curves[q].x.push_back(x);
            curves[q].y.push_back(value);
        }
    };
    int rc = 0;
    switch (analysis) {
    case ReferenceAnalysis::kTran: rc = TransientAnalysisRun(nullptr); break;
    case ReferenceAnalysis::kDc: rc = RunDcSweep(); break;
    default: rc = RunAcAnalysis(analysis == ReferenceAnalysis::kNoise); break;
    }
    RunServices().plotPoint = nullptr;
    for (CompiledExpression& e : expressions) FreeCompiledExpression(e);
    if (rc) ADD_FAILURE() << "run: " << rc << " " << LastShownText();
    return rc;
}

void ReferenceTest::CompareOperatingPoint(const ReferenceCircuit& circuit, const NgspiceResult& theirs)
{
    double worst = 0.0;
    std::string worstNode;
    for (const auto& [name, expected] : theirs.operatingPoint) {
        const std::int32_t node = LookupNodeNumber(CircuitNodeTable(), name, 0, kNodeAnalog);
        ASSERT_GT(node, 0) << name;
        const double value = SolutionVector()[static_cast<std::size_t>(node)];
        const double error = std::abs(value - expected) / std::max(std::abs(expected), circuit.floor);
        EXPECT_LE(error, circuit.relative) << circuit.name << " node " << name << ": " << value << " vs " << expected;
        if (error >= worst) {
            worst = error;
            worstNode = name;
        }
    }
    std::printf("[reference] %s op: %zu nodes, worst relative error %.3g at %s\n", circuit.name.c_str(),
                theirs.operatingPoint.size(), worst, worstNode.c_str());
}

void ReferenceTest::Compare(const std::string& name) { Compare(LoadReferenceCircuit(name)); }

void ReferenceTest::Compare(const ReferenceCircuit& circuit)
{
    ASSERT_FALSE(circuit.ourText.empty());
    const NgspiceResult theirs = RunNgspiceAtTemperatures(circuit);
    ASSERT_TRUE(theirs.available) << "ngspice is not installed (Debian package ngspice; bash tools/setup.sh installs it)";
    ASSERT_TRUE(theirs.error.empty()) << "ngspice failed:\n" << theirs.error;

    std::vector<OurCurve> curves;
    ASSERT_EQ(RunOurs(circuit, curves), 0);
    if (circuit.analysis == ReferenceAnalysis::kOp) {
        CompareOperatingPoint(circuit, theirs);
        return;
    }
    for (std::size_t q = 0; q < curves.size(); ++q) {
        // The DC sweep adapts its step and need not land on ngspice's values: ngspice runs on
        // a fine grid and is interpolated onto ours. A nested sweep is one segment per value
        // of the second source in both.
        const bool atOurPoints = circuit.analysis == ReferenceAnalysis::kDc || circuit.atOurPoints;
        const std::vector<OurCurve> mine = SplitSweeps(curves[q]);
        const std::vector<OurCurve> reference = SplitSweeps(OurCurve{theirs.scale, theirs.values[q]});
        EXPECT_EQ(mine.size(), reference.size()) << circuit.quantities[q] << ": sweeps";
        Disagreement d;
        for (std::size_t k = 0; k < mine.size() && k < reference.size(); ++k) {
            const Disagreement part = atOurPoints
                                          ? CompareCurve(reference[k], mine[k].x, mine[k].y, circuit, true)
                                          : CompareCurve(mine[k], reference[k].x, reference[k].y, circuit);
            // Our sweep covers ngspice's: from its initial to its final value.
            if (circuit.analysis == ReferenceAnalysis::kDc && !mine[k].x.empty() && !reference[k].x.empty()) {
                const double span = std::abs(reference[k].x.back() - reference[k].x.front());
                EXPECT_NEAR(mine[k].x.front(), reference[k].x.front(), span * 1e-9) << circuit.quantities[q] << ": start";
                EXPECT_NEAR(mine[k].x.back(), reference[k].x.back(), span * 1e-9) << circuit.quantities[q] << ": end";
            }
            d.compared += part.compared;
            if (part.worst >= d.worst) {
                const int compared = d.compared;
                d = part;
                d.compared = compared;
            }
        }
        EXPECT_GT(d.compared, 0) << circuit.quantities[q];
        EXPECT_LE(d.worst, circuit.relative)
            << circuit.name << " " << circuit.quantities[q] << " at " << d.at << ": ours " << d.ours << " ngspice "
            << d.theirs << " (" << curves[q].x.size() << " points of ours, " << theirs.scale.size() << " of ngspice)";
        if (std::getenv("KQ5_REFERENCE_DUMP"))
            for (std::size_t i = 0; i < curves[q].x.size(); ++i)
                std::printf("  ours %g %g\n", curves[q].x[i], curves[q].y[i].real());
        std::printf("[reference] %s %s: %d points, worst relative error %.3g at %g\n", circuit.name.c_str(),
                    circuit.quantities[q].c_str(), d.compared, d.worst, d.at);
    }
}

}  // namespace kq5::reference
