#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "../core/file_test_support.h"
#include "analog/analog_state.h"
#include "core/analysis_state.h"
#include "core/batch_log.h"
#include "analog/dc_sweep_run.h"
#include "analog/numeric_output.h"
#include "analog/run_control.h"
#include "ui/app_state.h"
#include "ui/window_record.h"
#include "core/file_units.h"
#include "netlist/model_statements.h"
#include "results/curve_record.h"
#include "results/waveform_store.h"

namespace kq5 {
namespace {

class NumericOutputTest : public test::ScratchDirTest {
protected:
    void SetUp() override
    {
        ScratchDirTest::SetUp();
        ResetAppStateForTests();
        ResetAnalogStateForTests();
        ResetAnalysisStateForTests();
        ResetRunControlForTests();
        ResetNumericOutputForTests();
        ResetDcSweepForTests();
        ClearModelTable();
        SetWaveformMemoryProbeForTests([] { return true; });
        circuit_ = NewWindowRecord(nullptr, kWindowSchematic);
        circuit_->title = PathOf("amp.cir");
        circuit_->plot = std::make_shared<PlotRecord>();
        RunControl().circuitWindow = circuit_;
        Analysis().analysisKind = kAnalysisDc;
        ASSERT_EQ(OpenNumericOutputFile(), 0);
        NumericOutput().pending = 1;
    }
    void TearDown() override
    {
        CloseNumericOutputUnit();
        SetWaveformMemoryProbeForTests({});
        ClearModelTable();
        ResetAnalysisStateForTests();
        ResetRunControlForTests();
        ResetNumericOutputForTests();
        ResetAppStateForTests();
        ScratchDirTest::TearDown();
    }

    PlotRecord& Plot() { return *circuit_->plot; }

    CurveRecord& AddCurve(const std::string& x, const std::string& y)
    {
        Plot().curves.push_back(std::make_unique<CurveRecord>());
        Plot().builtCurveCount = Plot().curveCount = static_cast<int>(Plot().curves.size());
        CurveRecord& c = *Plot().curves.back();
        c.xExpressionText = x;
        c.yExpressionText = y;
        c.printAxis[0].print = c.printAxis[1].print = true;
        c.printAxis[0].unitIndex = 0;
        c.printAxis[1].unitIndex = 0;
        return c;
    }

    void Store(CurveRecord& c, const std::vector<double>& xs, const std::vector<double>& ys)
    {
        for (std::size_t i = 0; i < xs.size(); ++i) {
            ASSERT_EQ(AdvanceCurvePoint(Plot().store, c), 1);
            SetWaveformValue(Plot().store, c.storeSlots[0], c.lastPointIndex, xs[i]);
            SetWaveformValue(Plot().store, c.storeSlots[1], c.lastPointIndex, ys[i]);
        }
    }

    void MakeStore()
    {
        ASSERT_EQ(CreateWaveformStore(Plot(), kWindowAnalysis, Analysis().analysisKind, 1), 0);
        RewindWaveformStore(Plot());
    }

    std::string Output()
    {
        CloseNumericOutputUnit();
        return ReadText("amp.DNO");
    }

    WindowRecord* circuit_ = nullptr;
};

TEST_F(NumericOutputTest, DcSweepRowsAreInterpolatedAtEvenlySpacedPoints)
{
    CurveRecord& c = AddCurve("V(IN)", "V(OUT)");
    MakeStore();
    // Uneven stored points of a straight line y = 2x + 1.
    Store(c, {0.0, 0.1, 0.6, 0.7, 1.0}, {1.0, 1.2, 2.2, 2.4, 3.0});
    DcSweep().initial1 = 0.0;
    DcSweep().final1 = 1.0;
    EndWaveformRun(Plot(), false, RunRecord{});
    WritePrintedValues(circuit_, 5);
    EXPECT_EQ(Output(), "      V(IN)     V(OUT)\n"
                        "        (V)        (V)\n"
                        "  0.000e+00  1.000e+00 \n"
                        "  2.500e-01  1.500e+00 \n"
                        "  5.000e-01  2.000e+00 \n"
                        "  7.500e-01  2.500e+00 \n"
                        "  1.000e+00  3.000e+00 \n");
}

TEST_F(NumericOutputTest, PrintPointsBeforeTheFirstStoredPointTakeTheFirstValue)
{
    CurveRecord& c = AddCurve("V(IN)", "V(OUT)");
    MakeStore();
    // The run stored nothing at 0: the rows there read the first point, not the last.
    Store(c, {0.1, 0.5, 1.0}, {5.0, 6.0, 7.0});
    DcSweep().initial1 = 0.0;
    DcSweep().final1 = 1.0;
    EndWaveformRun(Plot(), false, RunRecord{});
    WritePrintedValues(circuit_, 3);
    EXPECT_EQ(Output(), "      V(IN)     V(OUT)\n"
                        "        (V)        (V)\n"
                        "  0.000e+00  5.000e+00 \n"
                        "  5.000e-01  6.000e+00 \n"
                        "  1.000e+00  7.000e+00 \n");
}

TEST_F(NumericOutputTest, LateCurvesPrintNotAvailableAlignedToANumberCell)
{
    CurveRecord& a = AddCurve("V(A)", "V(B)");
    CurveRecord& late = AddCurve("V(A)", "I(R1)");
    late.printAxis[0].print = false;
    late.printAxis[1].unitIndex = 1;
    late.printAxis[1].prefix = 'm';
    late.printAxis[1].printScale = 1000.0;
    MakeStore();
    Store(a, {0, 1, 2, 3}, {0, 1, 2, 3});
    Store(late, {0, 1, 2, 3}, {0, 0.001, 0.002, 0.003});
    late.firstPointIndex = 2;
    DcSweep().final1 = 3.0;
    EndWaveformRun(Plot(), false, RunRecord{});
    WritePrintedValues(circuit_, 4);
    const std::string text = Output();
    std::istringstream lines(text);
    std::string heading, units, row0, row1, row2;
    std::getline(lines, heading);
    std::getline(lines, units);
    std::getline(lines, row0);
    std::getline(lines, row1);
    std::getline(lines, row2);
    EXPECT_EQ(units, "        (V)        (V)       (mA)");
    EXPECT_EQ(row0, "  0.000e+00  0.000e+00        N/A ");
    EXPECT_EQ(row0.size(), row2.size());
    EXPECT_EQ(row2, "  2.000e+00  2.000e+00  2.000e+00 ");
}

TEST_F(NumericOutputTest, HeadingsDropBlanksAndUseMegForM)
{
    CurveRecord& c = AddCurve("V( 1 ) + V(2)", "V(3)");
    c.printAxis[1].prefix = 'M';
    MakeStore();
    Store(c, {0, 1, 2}, {0, 1, 2});
    DcSweep().final1 = 2.0;
    WritePrintedValues(circuit_, 3);
    std::istringstream lines(Output());
    std::string heading, units;
    std::getline(lines, heading);
    std::getline(lines, units);
    EXPECT_EQ(heading, "  V(1)+V(2)       V(3)");
    EXPECT_EQ(units, "        (V)     (MEGV)");
}

// A sweep from 0 to 1 in steps of 1 stores two points; its table still has its N rows.
TEST_F(NumericOutputTest, ACurveOfTwoPointsPrintsItsRows)
{
    CurveRecord& c = AddCurve("V(1)", "V(2)");
    MakeStore();
    Store(c, {0, 1}, {5, 6});
    DcSweep().final1 = 1.0;
    WritePrintedValues(circuit_, 5);
    const std::string text = Output();
    EXPECT_EQ(text.rfind("       V(1)       V(2)\n        (V)        (V)\n", 0), 0u) << text;
    EXPECT_NE(text.find("  2.500e-01  5.250e+00 \n"), std::string::npos) << text;
    EXPECT_NE(text.find("  1.000e+00  6.000e+00 \n"), std::string::npos) << text;
}

TEST_F(NumericOutputTest, AcTablesListTheStoredPoints)
{
    Analysis().analysisKind = kAnalysisAc;
    CloseNumericOutputUnit();
    ASSERT_EQ(OpenNumericOutputFile(), 0);
    CurveRecord& c = AddCurve("F", "VDB(2)");
    c.xLetter[0] = 'F';
    c.printAxis[0].format = "%8.1f";
    c.printAxis[0].cellWidth = 8;
    c.printAxis[0].unitIndex = 13;
    MakeStore();
    Store(c, {10, 100, 1000}, {0.0, -3.0, -20.0});
    WritePrintedValues(circuit_, 51);
    CloseNumericOutputUnit();
    EXPECT_EQ(ReadText("amp.ANO"), "        F     VDB(2)\n"
                                   "     (Hz)        (V)\n"
                                   "     10.0  0.000e+00 \n"
                                   "    100.0 -3.000e+00 \n"
                                   "   1000.0 -2.000e+01 \n");
}

// The cells of the program's own formats are written without printf; the file must not differ
// by a byte from what printf writes: rounding halves, negative zero, the sign blank, exponents of
// three digits, values too long for a cell, values that are no number.
TEST_F(NumericOutputTest, CellsAreWrittenAsPrintfWritesThem)
{
    Analysis().analysisKind = kAnalysisAc;
    CloseNumericOutputUnit();
    ASSERT_EQ(OpenNumericOutputFile(), 0);
    const std::vector<std::pair<std::string, int>> formats = {
        {"%10.3f", 10}, {"% .3e", 10}, {"%8.1f", 8}, {"% .6e", 13}, {"%10.3e", 10}, {"%.0f", 4}};
    std::vector<double> values = {0.0,    -0.0,    0.0005,   -0.0005, 0.0015,   2.5,     -2.5,   9.9995,
                                  0.125,  0.0625,  -0.0625,  0.5,     1.5,      1e-300,  -1e-300, 1e300,
                                  -1e300, 1e100,   6.02e23,  -123456.789, 1e-5, 0.99995, 999999.5, 5e-324,
                                  4.5e14, 9.99e14, 1.5e15,   std::nan(""), INFINITY, -INFINITY};
    // Decimal halves (0.0005, 0.0015, ... rarely exact in binary) and values spread over the
    // magnitudes a table shows.
    for (int k = 1; k < 200; k += 2) values.push_back(k * 0.0005 * (k % 4 == 1 ? 1 : -1));
    std::uint64_t seed = 12345;
    for (int k = 0; k < 300; ++k) {
        seed = seed * 6364136223846793005u + 1442695040888963407u;
        const double mantissa = static_cast<double>(seed >> 11) / 9007199254740992.0;
        values.push_back((k % 2 ? -1 : 1) * mantissa * std::pow(10.0, k % 24 - 12));
    }
    for (const auto& [format, width] : formats) {
        CurveRecord& c = AddCurve("F", "V(" + std::to_string(Plot().curves.size()) + ")");
        c.xLetter[0] = 'F';
        c.printAxis[0].print = false;
        c.printAxis[1].format = format;
        c.printAxis[1].cellWidth = width;
    }
    MakeStore();
    for (auto& c : Plot().curves) Store(*c, std::vector<double>(values.size(), 1.0), values);
    WritePrintedValues(circuit_, 51);
    CloseNumericOutputUnit();
    std::istringstream lines(ReadText("amp.ANO"));
    std::string line;
    std::getline(lines, line);
    std::getline(lines, line);
    for (const double value : values) {
        std::string expected;
        for (const auto& [format, width] : formats) {
            char cell[400];
            const int n = std::snprintf(cell, sizeof cell, format.c_str(), value);
            if (n < width) expected.append(static_cast<std::size_t>(width - n), ' ');
            expected += cell;
            expected += ' ';
        }
        ASSERT_TRUE(std::getline(lines, line));
        EXPECT_EQ(line, " " + expected) << value;
    }
}

TEST_F(NumericOutputTest, AFormatThatIsNoNumberConversionIsNotUsed)
{
    CurveRecord& c = AddCurve("V(1)", "V(2)");
    c.printAxis[1].format = "%s%s";
    MakeStore();
    Store(c, {0, 1, 2}, {0, 1, 2});
    DcSweep().final1 = 2.0;
    WritePrintedValues(circuit_, 3);
    EXPECT_NE(Output().find("  2.000e+00  2.000e+00"), std::string::npos);
}

TEST_F(NumericOutputTest, HeaderIsCentredAndWarningsFollowIt)
{
    Models().statements.push_back(ModelStatement{});
    Models().statements.back().name = "QN";
    Models().deferredWarnings.push_back({"XTX", 0, kWarnUnknownModelParam, 0.0});
    Models().deferredWarnings.push_back({"FOO", -1, kWarnUnknownOption, 0.0});
    Models().deferredWarnings.push_back({"QN", 0, kWarnNegativeJunctionPotential, 150.0});
    Analysis().variables.temp = 27.0;
    WriteRunOutput(circuit_, 0);
    // A second call within the run writes no second header.
    WriteRunOutput(circuit_, 0);
    WriteTemperatureWarnings(NumericOutputUnit());
    const std::string text = Output();
    EXPECT_EQ(text.rfind(std::string(35, ' ') + "Kestrion V\n", 0), 0u);
    EXPECT_NE(text.find("\n" + std::string(29, ' ') + "DC Analysis of amp.cir\n"), std::string::npos);
    EXPECT_NE(text.find("\nWarning unknown parameter XTX in model QN.\nWarning unknown .options parameter FOO.\n\n"),
              std::string::npos);
    EXPECT_EQ(text.find("Kestrion V"), text.rfind("Kestrion V"));
    EXPECT_NE(text.find("Temperature = 27 "), std::string::npos);
    EXPECT_NE(text.find("Warning QN temperature adjusted PHI (or PB, VJ, VJE, or VJC) went negative at temperature=150.000000."),
              std::string::npos);
    EXPECT_NE(text.find("Check model parameter value and or the operating temperature."), std::string::npos);
}

TEST_F(NumericOutputTest, AnAnalysisThatWroteNothingLeavesNoFile)
{
    CloseNumericOutputUnit();
    ASSERT_TRUE(std::filesystem::exists(PathOf("amp.DNO")));
    RemoveEmptyNumericOutput(circuit_);
    EXPECT_FALSE(std::filesystem::exists(PathOf("amp.DNO")));

    ASSERT_EQ(OpenNumericOutputFile(), 0);
    UnitPrintf(NumericOutputUnit(), "x\n");
    CloseNumericOutputUnit();
    RemoveEmptyNumericOutput(circuit_);
    EXPECT_TRUE(std::filesystem::exists(PathOf("amp.DNO")));
}

TEST_F(NumericOutputTest, InterpolationHelpers)
{
    EXPECT_EQ(InterpolateLinear(4.0, 2.0, 1.5, 2.0, 1.0), 3.0);
    EXPECT_EQ(InterpolateLinear(4.0, 2.0, 7.0, 1.0, 1.0), 3.0);
    CurveRecord& c = AddCurve("F", "V");
    MakeStore();
    Store(c, {1, 10, 100, 1000}, {1, 10, 100, 1000});
    double value = 0.0;
    // A digital (step) curve takes the value of the last point at or before x.
    EXPECT_EQ(InterpolateCurveAtX(Plot(), value, 50.0, true, 0, c.storeSlots[0], c.storeSlots[1], 3, 0), 1);
    EXPECT_EQ(value, 10.0);
    // Logarithmic X and Y: straight lines in the decades.
    InterpolateCurveAtX(Plot(), value, std::sqrt(10.0), false, 3, c.storeSlots[0], c.storeSlots[1], 3, 0);
    EXPECT_NEAR(value, std::sqrt(10.0), 1e-12);
    // Past the end: the last point.
    EXPECT_EQ(InterpolateCurveAtX(Plot(), value, 5000.0, false, 0, c.storeSlots[0], c.storeSlots[1], 3, 0), 3);
    EXPECT_EQ(value, 1000.0);
    EXPECT_EQ(MakeUnitSuffix('M', 0), "MEGV");
    EXPECT_EQ(MakeUnitSuffix('m', 1), "mA");
    EXPECT_EQ(MakeUnitSuffix(0, -1), "");
}

}  // namespace
}  // namespace kq5
