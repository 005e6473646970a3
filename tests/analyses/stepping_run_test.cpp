// Stepped analyses against separate runs: every case of a nested, simultaneous, list, log,
// symbolic and temperature-list stepping equals one run of the circuit with those values
// written into the netlist (transient, AC and DC); the stepped values go back afterwards; the
// captions name the stepped values.
#include <cmath>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "stepping_test_support.h"
#include "../analog/program_output_support.h"
#include "analyses/analysis_install.h"
#include "analyses/run_subset.h"
#include "results/run_state.h"
#include "analyses/stepping.h"
#include "document/stepping_rows.h"
#include "core/device_lists.h"
#include "analog/run_control.h"
#include "analog/transient_run_services.h"
#include "netlist/capacitor_device.h"
#include "netlist/fet_devices.h"
#include "netlist/resistor_device.h"
#include "netlist/source_device.h"
#include "document/circuit_document.h"
#include "netlist/model_statements.h"
#include "netlist/model_types.h"
#include "core/part_instance.h"
#include "netlist/token_patterns.h"
#include "analog/analysis_run_services.h"
#include "plots/import_reader.h"
#include "plots/plot_view.h"
#include "results/waveform_store.h"

namespace kq5::testing {
namespace {

constexpr std::uint32_t kOn = kStepOn;

struct Point {
    double x = 0.0, y = 0.0;
};
using RunPoints = std::vector<Point>;

class SteppingRunTest : public SteppingTest {
protected:
    // A fresh analysis, as a new analysis command makes it.
    int Fresh(const std::string& netlist, int kind, const std::string& name = "c.cir")
    {
        ExitAnalysis();
        ResetRunControlForTests();
        ResetPlotRunForTests();
        ResetRunStateForTests();
        InstallAnalysisKindHandlers();
        AnswerBoxes();
        return Run(netlist, kind, name);
    }

    static RunPoints Points(int run, int curve = 0)
    {
        RunPoints points;
        CurveRecord& c = Curve(curve);
        WaveformStore& store = Plot().store;
        const std::int32_t first = c.runFirstIndex[static_cast<std::size_t>(run)];
        const std::int32_t last = c.runLastIndex[static_cast<std::size_t>(run)];
        for (std::int32_t i = first; i <= last; ++i)
            points.push_back({GetWaveformValue(store, c.storeSlots[kWaveformX], i),
                              GetWaveformValue(store, c.storeSlots[kWaveformY], i)});
        return points;
    }
    static std::vector<RunPoints> AllRuns()
    {
        std::vector<RunPoints> runs;
        for (int r = 0; r < Plot().store.runCount; ++r) runs.push_back(Points(r));
        return runs;
    }

    static void ExpectSame(const RunPoints& stepped, const RunPoints& single, const std::string& what)
    {
        ASSERT_EQ(stepped.size(), single.size()) << what;
        ASSERT_GT(stepped.size(), 3u) << what;
        for (std::size_t i = 0; i < stepped.size(); ++i) {
            const double scale = std::max({std::abs(single[i].y), std::abs(stepped[i].y), 1e-3});
            ASSERT_NEAR(stepped[i].x, single[i].x, 1e-9 * std::max(std::abs(single[i].x), 1e-12)) << what << " point " << i;
            ASSERT_NEAR(stepped[i].y, single[i].y, 1e-9 * scale) << what << " point " << i;
        }
    }

    // A DC sweep steers its step by the plot's Y span, which the earlier cases widen: its points
    // are compared with the single run's line through them (the circuits are linear).
    static void ExpectOnLine(const RunPoints& stepped, const RunPoints& single, const std::string& what)
    {
        ASSERT_GT(single.size(), 3u) << what;
        for (std::size_t i = 0; i < stepped.size(); ++i) {
            std::size_t k = 1;
            while (k + 1 < single.size() && single[k].x < stepped[i].x) ++k;
            const Point& a = single[k - 1];
            const Point& b = single[k];
            const double y = a.y + (b.y - a.y) * (stepped[i].x - a.x) / (b.x - a.x);
            ASSERT_NEAR(stepped[i].y, y, 1e-9 * std::max(std::abs(y), 1e-3)) << what << " point " << i;
        }
    }

    // Each stepped run against a single run of the netlist made by `netlistOf(run)`.
    template <class F>
    void CompareWithSingles(const std::vector<RunPoints>& stepped, int kind, F&& netlistOf)
    {
        ClearSlots();
        for (std::size_t r = 0; r < stepped.size(); ++r) {
            const std::string netlist = netlistOf(static_cast<int>(r));
            ASSERT_EQ(Fresh(netlist, kind, "single.cir"), 0) << netlist;
            ASSERT_EQ(Plot().store.runCount, 1);
            const std::string what = "run " + std::to_string(r) + ":\n" + netlist;
            if (kind == kAnalysisDc) ExpectOnLine(stepped[r], Points(0), what);
            else ExpectSame(stepped[r], Points(0), what);
        }
    }
};

std::string Rc(const std::string& r, const std::string& c, const std::string& extra = "")
{
    return "RC\nV1 1 0 PULSE(0 1 0 1U 1U 1 2)\nR1 1 2 " + r + "\nC1 2 0 " + c + "\n" + extra +
           ".TRAN 50U 3M\n.PRINT TRAN V(2)\n.END\n";
}

TEST_F(SteppingRunTest, NestedTwoByThreeTransientCasesEqualSingleRuns)
{
    Slot(0, kOn | kStepComponent | kStepLinear, "R1", "", "1K", "2K", "1K");
    Slot(1, kOn | kStepComponent | kStepList, "C1", "Value", "1U,2U,3U");
    ASSERT_EQ(Fresh(Rc("500", "5U"), kAnalysisTransient), 0) << LastMessage();
    EXPECT_EQ(RunState().runCount, 6);
    ASSERT_EQ(Plot().store.runCount, 6);
    // The higher-numbered slot changes every run.
    const std::vector<RunPoints> stepped = AllRuns();
    for (int r = 0; r < 6; ++r) {
        const RunRecord& record = Plot().store.runs[static_cast<std::size_t>(r)];
        EXPECT_EQ(record.caseNumber, r + 1);
        EXPECT_DOUBLE_EQ(record.steppedValues[0], r < 3 ? 1000.0 : 2000.0);
        EXPECT_DOUBLE_EQ(record.steppedValues[1], (r % 3 + 1) * 1e-6);
    }
    EXPECT_EQ(FormatStepCaption(Window(), true), "R1 = 1000...2000 C1.Value = 1e-06...3e-06");
    EXPECT_EQ(PlotTitleText(Window()), "c.cir Temperature = 27 R1 = 1000...2000 C1.Value = 1e-06...3e-06");
    PlotCursors().selectedRun = 4;
    EXPECT_EQ(FormatStepCaption(Window(), false), "R1 = 2000 C1.Value = 2e-06");

    // After the runs the parts have their own values again.
    for (ResistorDevice& r : ListRecords<ResistorDevice>(DeviceList(kResistorDeviceList))) {
        EXPECT_DOUBLE_EQ(r.value, 500.0);
        EXPECT_DOUBLE_EQ(r.nominal, 500.0);
    }
    const char* rs[] = {"1K", "2K"};
    const char* cs[] = {"1U", "2U", "3U"};
    CompareWithSingles(stepped, kAnalysisTransient, [&](int r) { return Rc(rs[r / 3], cs[r % 3]); });
}

// A stepped run that imports the numeric output of an earlier stepped run reads, in each case,
// the section its caption names; the second case used to look for "Case 2", which a stepped
// output never writes, and stopped with "Couldn't find ...".
TEST_F(SteppingRunTest, EachCaseImportsItsOwnSectionOfASteppedOutput)
{
    Slot(0, kOn | kStepComponent | kStepLinear, "R1", "", "1K", "2K", "1K");
    ASSERT_EQ(Fresh(Rc("500", "1U"), kAnalysisTransient), 0) << LastMessage();
    ASSERT_EQ(Plot().store.runCount, 2);
    // The last case is under way as its curves are read.
    const std::string earlier = "                           Temperature = 27 R1 = 1000\n\n         T      V(2)\n"
                                "     0.000     0.100\n     1.000     0.200\n\n"
                                "                           Temperature = 27 R1 = 2000\n\n         T      V(2)\n"
                                "     0.000     0.300\n     1.000     0.400\n";
    std::istringstream in(earlier);
    ImportRecord record;
    record.name = "V(2)";
    ImportScanRequest request;
    request.xNames = {"TIME", "T"};
    ASSERT_EQ(ReadImportTable(in, record, request), kImportTableRead);
    ASSERT_EQ(record.count, 2);
    EXPECT_DOUBLE_EQ((*record.points)[0].y, 0.3);
    EXPECT_DOUBLE_EQ((*record.points)[1].y, 0.4);

    // An output without that section: the message names the case that was looked for.
    const std::string first = (dir_ / "first.tno").string();
    std::ofstream(first) << earlier.substr(0, earlier.find("\n\n                           Temperature"));
    record.file = first;
    Curve(0).imports.push_back(record);
    AnswerBoxes();
    EXPECT_EQ(ScanImportFile(Window(), 0, static_cast<int>(Curve(0).imports.size()) - 1, 27.0), kMsgAlreadyReported);
    EXPECT_NE(LastMessage().find("Temperature = 27 R1 = 2000 in import waveform 'V(2)'"), std::string::npos) << LastMessage();
}

TEST_F(SteppingRunTest, WithoutSteppingTheCaptionNamesTheCase)
{
    ASSERT_EQ(Fresh(Rc("1K", "1U"), kAnalysisTransient), 0) << LastMessage();
    ASSERT_EQ(Plot().store.runCount, 1);
    // One run: the title has no case; the caption of the selected run gives its case number.
    EXPECT_EQ(PlotTitleText(Window()), "c.cir Temperature = 27 ");
    PlotCursors().selectedRun = 0;
    EXPECT_EQ(FormatStepCaption(Window(), false), "Case= 1");
}

TEST_F(SteppingRunTest, SimultaneousAndLogModelSweepsEqualSingleRuns)
{
    // A model parameter stepped by a factor, a part value stepped alongside it.
    const auto netlist = [](const std::string& scale, const std::string& c) {
        return Rc("RM 1K", c, ".MODEL RM RES (R=" + scale + ")\n");
    };
    Slot(2, kOn | kStepModel | kStepLog, "RES RM", "R", "0.5", "2", "2");
    Slot(5, kOn | kStepComponent | kStepLinear, "C1", "", "1U", "3U", "1U");
    record_->document->steppingSimultaneous = 1;
    ASSERT_EQ(Fresh(netlist("1", "1U"), kAnalysisTransient), 0) << LastMessage();
    ASSERT_EQ(Plot().store.runCount, 3);
    const std::vector<RunPoints> stepped = AllRuns();
    // The model's run value goes back to its nominal value.
    for (EvaluatedModel& m : ListRecords<EvaluatedModel>(Models().evaluated[kModelRes])) {
        if (m.name == "RM") {
            EXPECT_FLOAT_EQ(m.pristine[static_cast<std::size_t>(FindModelParamIndex(kModelRes, "R"))], 1.0f);
        }
    }
    const char* scales[] = {"0.5", "1", "2"};
    const char* cs[] = {"1U", "2U", "3U"};
    CompareWithSingles(stepped, kAnalysisTransient, [&](int r) { return netlist(scales[r], cs[r]); });
}

TEST_F(SteppingRunTest, TemperatureListRunsTemperatureMajorAroundTheCases)
{
    Slot(0, kOn | kStepComponent | kStepList, "R1", "", "1K,3K");
    ASSERT_EQ(Fresh(Rc("RT 1K", "1U", ".TEMP 0 100\n.MODEL RT RES (R=1 TC1=0.01)\n"), kAnalysisTransient), 0)
        << LastMessage();
    EXPECT_EQ(RunState().temperatureCount, 2);
    ASSERT_EQ(Plot().store.runCount, 4);
    EXPECT_EQ(TotalRunCount(), 4);
    const double temperatures[] = {0, 0, 100, 100};
    for (int r = 0; r < 4; ++r) {
        EXPECT_DOUBLE_EQ(Plot().store.runs[static_cast<std::size_t>(r)].temperature, temperatures[r]);
        const RunPosition p = RunPositionOf(r);
        EXPECT_EQ(p.temperatureIndex, r / 2);
        EXPECT_EQ(p.caseIndex, r % 2);
        EXPECT_EQ(RunRecordIndex(p), r);
    }
    const std::vector<RunPoints> stepped = AllRuns();
    // Every block of the numeric output names its temperature and its stepped value.
    ExitAnalysis();
    std::ifstream in(dir_ / "c.TNO");
    std::stringstream text;
    text << in.rdbuf();
    const std::vector<test::ValueTable> tables = test::ValueTables(text.str());
    ASSERT_EQ(tables.size(), 4u) << text.str();
    const char* captions[] = {"Temperature = 0 R1 = 1000", "Temperature = 0 R1 = 3000", "Temperature = 100 R1 = 1000",
                              "Temperature = 100 R1 = 3000"};
    for (std::size_t r = 0; r < 4; ++r) EXPECT_EQ(tables[r].temperatureLine, captions[r]);
    const char* rs[] = {"1K", "3K"};
    const char* ts[] = {"0", "100"};
    CompareWithSingles(stepped, kAnalysisTransient, [&](int r) {
        return Rc(std::string("RT ") + rs[r % 2], "1U", std::string(".TEMP ") + ts[r / 2] + "\n.MODEL RT RES (R=1 TC1=0.01)\n");
    });
}

TEST_F(SteppingRunTest, ASteppedSymbolRebuildsTheCircuit)
{
    const auto netlist = [](const std::string& rv) {
        return "RC\n.PARAM RV=" + rv + "\nV1 1 0 PULSE(0 1 0 1U 1U 1 2)\nR1 1 2 {RV}\nC1 2 0 1U\n.TRAN 50U 3M\n"
               ".PRINT TRAN V(2)\n.END\n";
    };
    Slot(0, kOn | kStepSymbolic | kStepList, "RV", "", "1K,2K,4K");
    ASSERT_EQ(Fresh(netlist("500"), kAnalysisTransient), 0) << LastMessage();
    ASSERT_EQ(Plot().store.runCount, 3);
    const std::vector<RunPoints> stepped = AllRuns();
    const char* rs[] = {"1K", "2K", "4K"};
    CompareWithSingles(stepped, kAnalysisTransient, [&](int r) { return netlist(rs[r]); });
}

TEST_F(SteppingRunTest, AcAndDcCasesEqualSingleRuns)
{
    const auto ac = [](const std::string& r) {
        return "RC\nV1 1 0 AC 1\nR1 1 2 " + r + "\nC1 2 0 1U\n.AC DEC 10 10 100K\n.PRINT AC VM(2)\n.END\n";
    };
    Slot(0, kOn | kStepComponent | kStepLinear, "R1", "", "1K", "3K", "1K");
    ASSERT_EQ(Fresh(ac("10"), kAnalysisAc), 0) << LastMessage();
    ASSERT_EQ(Plot().store.runCount, 3);
    std::vector<RunPoints> stepped = AllRuns();
    const char* rs[] = {"1K", "2K", "3K"};
    CompareWithSingles(stepped, kAnalysisAc, [&](int r) { return ac(rs[r]); });

    const auto dc = [](const std::string& r) {
        return "DIV\nV1 1 0 1\nR1 1 2 " + r + "\nR2 2 0 1K\n.DC V1 0 2 0.25\n.PRINT DC V(2)\n.END\n";
    };
    Slot(0, kOn | kStepComponent | kStepLinear, "R1", "", "1K", "3K", "1K");
    ASSERT_EQ(Fresh(dc("10"), kAnalysisDc), 0) << LastMessage();
    ASSERT_EQ(Plot().store.runCount, 3);
    stepped = AllRuns();
    CompareWithSingles(stepped, kAnalysisDc, [&](int r) { return dc(rs[r]); });
}

TEST_F(SteppingRunTest, SourceValuesAndMosfetGeometryEqualSingleRuns)
{
    // A pulse's high level of a voltage source and a current source's ("v" read as "i").
    const auto sources = [](const std::string& v2, const std::string& i2) {
        return "SRC\nV1 1 0 PULSE(0 " + v2 + " 0 1U 1U 1 2)\nR1 1 2 1K\nC1 2 0 1U\nI1 0 2 PULSE(0 " + i2 +
               " 0 1U 1U 1 2)\n.TRAN 50U 3M\n.PRINT TRAN V(2)\n.END\n";
    };
    Slot(0, kOn | kStepComponent | kStepList, "V1", "pulse.v2", "1,2");
    Slot(1, kOn | kStepComponent | kStepList, "I1", "PULSE.I2", "1M,3M");
    ASSERT_EQ(Fresh(sources("1", "0"), kAnalysisTransient), 0) << LastMessage();
    ASSERT_EQ(Plot().store.runCount, 4);
    std::vector<RunPoints> stepped = AllRuns();
    const char* v2[] = {"1", "2"};
    const char* i2[] = {"1M", "3M"};
    CompareWithSingles(stepped, kAnalysisTransient, [&](int r) { return sources(v2[r / 2], i2[r % 2]); });

    // W of a MOSFET: the runs count it as given; after them it is as the netlist left it.
    const auto mos = [](const std::string& w) {
        return "NMOS\nV1 1 0 PULSE(0 5 0 100U 100U 1 2)\nVD 3 0 5\nRD 3 2 10K\nM1 2 1 0 0 NM" + w +
               "\n.MODEL NM NMOS (VTO=1 KP=2E-5)\n.TRAN 10U 300U\n.PRINT TRAN V(2)\n.END\n";
    };
    Slot(0, kOn | kStepComponent | kStepList, "M1", "value.w", "10U,40U");
    Slot(1, 0, "", "", "");
    ASSERT_EQ(Fresh(mos(""), kAnalysisTransient), 0) << LastMessage();
    ASSERT_EQ(Plot().store.runCount, 2);
    for (MosfetDevice& m : ListRecords<MosfetDevice>(DeviceList(kMosfetDeviceList))) {
        EXPECT_EQ(m.wGiven, 0);
        EXPECT_EQ(m.wNominal, 0.0);
    }
    stepped = AllRuns();
    const char* ws[] = {" W=10U", " W=40U"};
    CompareWithSingles(stepped, kAnalysisTransient, [&](int r) { return mos(ws[r]); });

    // A source's DC value in a transient and its AC magnitude in an AC sweep.
    const auto dcSource = [](const std::string& v) {
        return "DC\nV1 1 0 DC " + v + "\nR1 1 2 1K\nC1 2 0 1U\n.TRAN 50U 3M\n.PRINT TRAN V(2)\n.END\n";
    };
    Slot(0, kOn | kStepComponent | kStepList, "V1", "dc.value", "2,5");
    ASSERT_EQ(Fresh(dcSource("1"), kAnalysisTransient), 0) << LastMessage();
    stepped = AllRuns();
    ASSERT_EQ(stepped.size(), 2u);
    {
        PartInstanceRecord* v1 = FindPartByNameInScope("V1", 0);
        ASSERT_TRUE(v1 && v1->device);
        EXPECT_DOUBLE_EQ(static_cast<IndependentSourceDevice*>(v1->device)->dcValue, 1.0);
    }
    const char* dcs[] = {"2", "5"};
    CompareWithSingles(stepped, kAnalysisTransient, [&](int r) { return dcSource(dcs[r]); });
    const auto acSource = [](const std::string& m) {
        return "AC\nV1 1 0 AC " + m + "\nR1 1 2 1K\nC1 2 0 1U\n.AC DEC 10 10 100K\n.PRINT AC VM(2)\n.END\n";
    };
    Slot(0, kOn | kStepComponent | kStepList, "V1", "AC.MAGVAL", "2,5");
    ASSERT_EQ(Fresh(acSource("1"), kAnalysisAc), 0) << LastMessage();
    stepped = AllRuns();
    ASSERT_EQ(stepped.size(), 2u);
    CompareWithSingles(stepped, kAnalysisAc, [&](int r) { return acSource(dcs[r]); });

    // A name no source function has.
    Slot(0, kOn | kStepComponent | kStepList, "V1", "sin.vo", "1,2");
    EXPECT_NE(Fresh(sources("1", "0"), kAnalysisTransient), 0);
    EXPECT_NE(LastMessage().find("Error in SPICE stepping."), std::string::npos) << LastMessage();
}

// A parameter of a LEVEL 8 (BSIM3) model is one of that level's, named by the model or by a
// part that uses it; it used to be looked up among LEVEL 1 to 3's and refused as unknown.
TEST_F(SteppingRunTest, ABsim3ModelParameterStepsByModelAndByPart)
{
    const auto netlist = [](const std::string& vth0) {
        return "BSIM3\nV1 1 0 PULSE(0 3.3 0 100U 100U 1 2)\nVD 3 0 3.3\nRD 3 2 10K\nM1 2 1 0 0 N8 L=0.5U W=5U\n"
               ".MODEL N8 NMOS (LEVEL=8 TOX=7.8E-9 VTH0=" +
               vth0 + " U0=433)\n.TRAN 10U 300U\n.PRINT TRAN V(2)\n.END\n";
    };
    const char* values[] = {"0.4", "0.7"};
    for (const auto& [flags, name] : {std::pair{kStepModel, "NMOS N8"}, std::pair{kStepComponent, "M1"}}) {
        Slot(0, kOn | flags | kStepList, name, "VTH0", "0.4,0.7");
        ASSERT_EQ(Fresh(netlist("0.54"), kAnalysisTransient), 0) << name << ": " << LastMessage();
        ASSERT_EQ(Plot().store.runCount, 2);
        const std::vector<RunPoints> stepped = AllRuns();
        CompareWithSingles(stepped, kAnalysisTransient, [&](int r) { return netlist(values[r]); });
    }
}

// A stepped series resistance that starts or ends at 0 changes whether the part has an inner
// node: each case is built with its own value. The build used to read the statement's value, so
// a diode's RS stepped up from 0 (or a sheet resistance stepped down to 0) changed nothing, or
// cut the part off.
TEST_F(SteppingRunTest, ASeriesResistanceSteppedFromOrToZeroActsInEveryCase)
{
    const auto diode = [](const std::string& rs) {
        return "DIODE\nV1 1 0 PULSE(0 2 0 100U 100U 1 2)\nR1 1 2 10\nD1 2 0 DX\n.MODEL DX D (IS=1E-14 RS=" + rs +
               ")\n.TRAN 10U 300U\n.PRINT TRAN V(2)\n.END\n";
    };
    Slot(0, kOn | kStepModel | kStepList, "D DX", "RS", "0,50");
    ASSERT_EQ(Fresh(diode("0"), kAnalysisTransient), 0) << LastMessage();
    ASSERT_EQ(Plot().store.runCount, 2);
    std::vector<RunPoints> stepped = AllRuns();
    const char* rs[] = {"0", "50"};
    CompareWithSingles(stepped, kAnalysisTransient, [&](int r) { return diode(rs[r]); });

    const auto mos = [](const std::string& rsh) {
        return "NMOS\nV1 1 0 PULSE(0 5 0 100U 100U 1 2)\nVD 3 0 2\nM1 3 1 0 0 NM L=2U W=20U NRS=1 NRD=1\n"
               ".MODEL NM NMOS (VTO=0.8 KP=50U RSH=" +
               rsh + ")\n.TRAN 10U 300U\n.PRINT TRAN I(VD)\n.END\n";
    };
    Slot(0, kOn | kStepComponent | kStepList, "M1", "RSH", "1000,0");
    ASSERT_EQ(Fresh(mos("10"), kAnalysisTransient), 0) << LastMessage();
    ASSERT_EQ(Plot().store.runCount, 2);
    stepped = AllRuns();
    const char* rsh[] = {"1000", "0"};
    CompareWithSingles(stepped, kAnalysisTransient, [&](int r) { return mos(rsh[r]); });
}

// The input noise of a case whose circuit is built anew (a stepped symbol) is referred to that
// circuit's input source: the first case used to keep the source of the circuit built before it,
// and its input noise came out twenty times too high.
TEST_F(SteppingRunTest, InputNoiseOfARebuiltCaseEqualsASingleRun)
{
    const auto netlist = [](const std::string& rc) {
        return "NOISE\n.PARAM RCV=" + rc +
               "\nVCC 1 0 12\nVIN 10 0 DC 0 AC 1\nRSRC 10 11 600\nCIN 11 2 10U\nR1 1 2 47K\nR2 2 0 10K\n"
               "Q1 3 2 4 QN\nRC 1 3 {RCV}\nRE 4 0 1K\nCE 4 0 100U\n.MODEL QN NPN (IS=1E-14 BF=100 RB=100)\n"
               ".AC DEC 10 10 1MEG\n.NOISE V(3) VIN 10\n.PRINT NOISE INOISE ONOISE\n.END\n";
    };
    Slot(0, kOn | kStepSymbolic | kStepList, "RCV", "", "2.2K,4.7K");
    ASSERT_EQ(Fresh(netlist("1K"), kAnalysisAc), 0) << LastMessage();
    ASSERT_EQ(Plot().store.runCount, 2);
    const std::vector<RunPoints> stepped = AllRuns();
    const char* values[] = {"2.2K", "4.7K"};
    CompareWithSingles(stepped, kAnalysisAc, [&](int r) { return netlist(values[r]); });
}

TEST_F(SteppingRunTest, AModelsAkoDescendantsTakeItsSteppedValue)
{
    // RB is AKO RA, RC AKO RB: both follow RA's stepped R; RD gives its own R and keeps it.
    const auto netlist = [](const std::string& r) {
        return "AKO\nV1 1 0 PULSE(0 1 0 1U 1U 1 2)\nR1 1 2 RA 500\nR2 2 3 RC 500\nR3 3 4 RD 500\nC1 4 0 1U\n"
               ".MODEL RA RES (R=" + r + ")\n.MODEL RB AKO:RA RES (TC1=0)\n.MODEL RC AKO:RB RES\n"
               ".MODEL RD AKO:RA RES (R=1)\n.TRAN 50U 3M\n.PRINT TRAN V(4)\n.END\n";
    };
    Slot(0, kOn | kStepModel | kStepList, "RES RA", "R", "2,3");
    ASSERT_EQ(Fresh(netlist("1"), kAnalysisTransient), 0) << LastMessage();
    ASSERT_EQ(Plot().store.runCount, 2);
    const int r = FindModelParamIndex(kModelRes, "R");
    for (EvaluatedModel& m : ListRecords<EvaluatedModel>(Models().evaluated[kModelRes])) {
        EXPECT_FLOAT_EQ(m.pristine[static_cast<std::size_t>(r)], 1.0f) << m.name;
    }
    const std::vector<RunPoints> stepped = AllRuns();
    const char* rs[] = {"2", "3"};
    CompareWithSingles(stepped, kAnalysisTransient, [&](int k) { return netlist(rs[k]); });
}

TEST_F(SteppingRunTest, EscDuringTheCasesStillRestoresTheValues)
{
    // A part value and a model parameter stepped; Esc read at the end of the second of four
    // cases: the third, already begun, stops at once and no more follow.
    const std::string netlist = Rc("RM 500", "1U", ".MODEL RM RES (R=1)\n");
    const int r = FindModelParamIndex(kModelRes, "R");
    Slot(0, kOn | kStepComponent | kStepList, "C1", "", "1U,2U");
    Slot(1, kOn | kStepModel | kStepList, "RES RM", "R", "2,3");
    int cases = 0;
    ExitAnalysis();
    ResetRunControlForTests();
    ResetPlotRunForTests();
    ResetRunStateForTests();
    InstallAnalysisKindHandlers();
    AnalysisRunServices& services = RunServices();
    std::function<void(WindowRecord*)> endCase = services.endCase;
    services.endCase = [endCase, &cases](WindowRecord* w) {
        if (endCase) endCase(w);
        if (++cases == 2) RunControl().lastKey = kEscapeKey;
    };
    AnswerBoxes();
    Run(netlist, kAnalysisTransient, "c.cir");
    EXPECT_EQ(cases, 3);
    EXPECT_TRUE(RunState().stoppedByUser);
    EXPECT_EQ(Plot().store.runCount, 3);
    // What the performance and 3-D windows measure: the two cases that ran to their end.
    EXPECT_EQ(CurrentRunPlan(Plot().store).storedRuns, 2);
    for (CapacitorDevice& c : ListRecords<CapacitorDevice>(DeviceList(kCapacitorDeviceList))) {
        EXPECT_DOUBLE_EQ(c.value, 1e-6);
    }
    for (EvaluatedModel& m : ListRecords<EvaluatedModel>(Models().evaluated[kModelRes])) {
        if (m.name == "RM") {
            EXPECT_FLOAT_EQ(m.pristine[static_cast<std::size_t>(r)], 1.0f);
        }
    }
    // The next analysis starts from the netlist's values: its first case is the first stepped one.
    services.endCase = endCase;
    RunControl().lastKey = 0;
    ASSERT_EQ(Fresh(netlist, kAnalysisTransient), 0) << LastMessage();
    const std::vector<RunPoints> stepped = AllRuns();
    const char* cs[] = {"1U", "2U"};
    const char* rs[] = {"2", "3"};
    CompareWithSingles(stepped, kAnalysisTransient, [&](int k) {
        return Rc("RM 500", cs[k / 2], std::string(".MODEL RM RES (R=") + rs[k % 2] + ")\n");
    });
}

TEST_F(SteppingRunTest, AValueOutOfRangeStopsSteppingNotTheRestoredValues)
{
    const std::string netlist = "D\nV1 1 0 1\nR1 1 2 1K\nD1 2 0 DM\n.MODEL DM D (N=1)\n.DC V1 0 1 0.5\n"
                                ".PRINT DC V(2)\n.END\n";
    const int n = FindModelParamIndex(kModelDiode, "N");
    auto nominalN = [&] {
        for (EvaluatedModel& m : ListRecords<EvaluatedModel>(Models().evaluated[kModelDiode]))
            if (m.name == "DM") return m.pristine[static_cast<std::size_t>(n)];
        return -99.0f;
    };
    // The second case's N = -1 is refused: that run and the rest go on with the values in place.
    Slot(0, kOn | kStepModel | kStepLinear, "D DM", "N", "2", "-1", "3");
    ASSERT_EQ(Fresh(netlist, kAnalysisDc), 0) << LastMessage();
    EXPECT_EQ(Plot().store.runCount, 2);
    EXPECT_FALSE(RunState().steppingActive);
    EXPECT_FLOAT_EQ(nominalN(), 1.0f);
    // Refused at the first value: the run stops with the error, the value stays nominal.
    Slot(0, kOn | kStepModel | kStepLinear, "D DM", "N", "-1", "2", "3");
    EXPECT_EQ(Fresh(netlist, kAnalysisDc), kMsgAlreadyReported);
    EXPECT_FLOAT_EQ(nominalN(), 1.0f);
}

TEST_F(SteppingRunTest, DcInput2ValuesNestInsideTheCasesOfEachTemperature)
{
    const std::string netlist = "DIV\nV1 1 0 1\nV2 3 0 0\nR1 1 2 1K\nR2 2 3 1K\n.DC V1 0 1 0.5 V2 0 1 0.5\n"
                                ".TEMP 0 50\n.PRINT DC V(2)\n.END\n";
    Slot(0, kOn | kStepComponent | kStepList, "R1", "", "1K,3K");
    ASSERT_EQ(Fresh(netlist, kAnalysisDc), 0) << LastMessage();
    const AnalysisRunState& plan = RunState();
    EXPECT_EQ(plan.input2Count, 3);
    EXPECT_EQ(plan.temperatureCount, 2);
    EXPECT_EQ(TotalRunCount(), 12);
    ASSERT_EQ(Plot().store.runCount, 12);
    for (int r = 0; r < 12; ++r) {
        const RunRecord& record = Plot().store.runs[static_cast<std::size_t>(r)];
        const RunPosition p = RunPositionOf(r);
        EXPECT_EQ(RunRecordIndex(p), r);
        EXPECT_EQ(p.temperatureIndex, r / 6) << r;
        EXPECT_EQ(p.caseIndex, r / 3 % 2) << r;
        EXPECT_EQ(p.input2Index, r % 3) << r;
        EXPECT_DOUBLE_EQ(record.temperature, p.temperatureIndex * 50.0) << r;
        EXPECT_EQ(record.caseNumber, p.caseIndex + 1) << r;
        EXPECT_DOUBLE_EQ(record.steppedValues[0], p.caseIndex ? 3000.0 : 1000.0) << r;
        EXPECT_DOUBLE_EQ(record.secondSweepValue, p.input2Index * 0.5) << r;
        // The divider between the two sources.
        const double r1 = record.steppedValues[0], v2 = record.secondSweepValue;
        for (const Point& p : Points(r)) EXPECT_NEAR(p.y, (p.x * 1000.0 + v2 * r1) / (r1 + 1000.0), 1e-9) << r;
    }
}

}  // namespace
}  // namespace kq5::testing
