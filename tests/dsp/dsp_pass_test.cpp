// The DSP pass after a real transient run: a sine source analysed by HARM and FFT curves, with
// the point count left to the program and set in the DSP parameters, the plain curves resampled
// onto the same grid, stepped runs each getting their own pass, and a refused point count.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "../analog/program_output_support.h"
#include "platform/message.h"
#include "transient_run_test_support.h"

namespace kq5::testing {
namespace {

// 1 kHz, amplitude 2, on an offset of 0.5: eight whole periods in the 8 ms of the run.
const char kSine[] = "sine\nV1 1 0 SIN(0.5 2 1K)\nR1 1 0 1K\n.TRAN 20U 8M 0 20U\n.PRINT TRAN V(1)\n.END\n";

class DspPassTest : public TransientRunTest {};

TEST_F(DspPassTest, HarmonicsOfASineSourceGiveItsAmplitudeAtItsFrequency)
{
    ASSERT_EQ(Run(kSine, {Row("F", "HARM(V(1))", '1'), Row("T", "V(1)", '2')}), 0) << Messages();
    EXPECT_TRUE(win::MessageBoxLog().empty()) << Messages();
    EXPECT_EQ(DspPass().finished, 1);
    // About 400 stored points: N = 512 over the run's 8 ms, so bins are 125 Hz apart.
    const DspGrid grid = DspPass().grid;
    EXPECT_EQ(grid.n, 512);
    EXPECT_DOUBLE_EQ(grid.dt, 8e-3 / 512);
    EXPECT_DOUBLE_EQ(grid.df, 125.0);
    CurveRecord& harm = Curve(0);
    EXPECT_EQ(harm.lastPointIndex, 511);
    ASSERT_EQ(harm.runLastIndex.size(), 1u);
    EXPECT_EQ(harm.runLastIndex[0], 511);
    EXPECT_DOUBLE_EQ(Value(0, kWaveformX, 8), 1000.0);
    EXPECT_NEAR(Value(0, kWaveformY, 8), 2.0, 0.01);
    EXPECT_NEAR(Value(0, kWaveformY, 0), 0.5, 0.01);  // the offset
    for (int k : {1, 5, 7, 9, 16, 24}) EXPECT_NEAR(Value(0, kWaveformY, k), 0.0, 0.01) << k;
    EXPECT_NEAR(harm.dataMax[kWaveformY], 2.0, 0.01);
    EXPECT_DOUBLE_EQ(harm.dataMax[kWaveformX], 511 * 125.0);

    // The plain curve now lies on the same 512 time points.
    CurveRecord& plain = Curve(1);
    EXPECT_EQ(plain.lastPointIndex, 511);
    for (int i : {0, 3, 100, 511}) {
        const double t = i * grid.dt;
        EXPECT_DOUBLE_EQ(GetWaveformValue(record_->plot->store, 0, i), t);
        EXPECT_NEAR(Value(1, kWaveformY, i), 0.5 + 2.0 * std::sin(2 * M_PI * 1000 * t), 0.02) << i;
    }
}

TEST_F(DspPassTest, ThePointCountAndWindowComeFromTheDspParameters)
{
    const DspSettings dsp = DspOn("3m", "2m", "1024");
    ASSERT_EQ(Run(kSine, {Row("F", "FFT(V(1))", '1'), Row("F", "THD(HARM(V(1)))", '2')}, dsp), 0) << Messages();
    const DspGrid grid = DspPass().grid;
    EXPECT_EQ(grid.n, 1024);
    EXPECT_DOUBLE_EQ(grid.df, 1000.0);
    // One period from 2 ms: the sine's N A / 2 at bin 1 (1 kHz), unscaled, and the offset N x 0.5.
    EXPECT_NEAR(Value(0, kWaveformY, 1), 1024.0, 5.0);
    EXPECT_NEAR(Value(0, kWaveformY, 0), 1024.0 * 0.5, 2.0);
    EXPECT_NEAR(Value(0, kWaveformY, 2), 0.0, 2.0);
    EXPECT_DOUBLE_EQ(Value(0, kWaveformX, 3), 3000.0);
    EXPECT_EQ(Curve(0).lastPointIndex, 1023);
    // A pure sine has next to no harmonic content: THD with one argument takes bin 1 as the
    // fundamental and counts from bin 2.
    EXPECT_EQ(Value(1, kWaveformY, 0), 0.0);
    EXPECT_EQ(Value(1, kWaveformY, 1), 0.0);
    EXPECT_LT(Curve(1).dataMax[kWaveformY], 1.0);
}

// A printed plain curve lies on the window's grid too: its table holds the window's rows, from
// 2 ms on, each at a time of its own, not the grid's first point repeated under the times before.
TEST_F(DspPassTest, ThePrintedTableOfAWindowedRunHoldsTheWindowsRows)
{
    ASSERT_EQ(Run(kSine, {Row("F", "FFT(V(1))", '1'), Row("T", "V(1)", '2', kLimitsOutput)}, DspOn("3m", "2m", "1024")), 0)
        << Messages();
    ExitAnalysis();
    const std::string text = Read("d.TNO");
    const std::vector<test::ValueTable> tables = test::ValueTables(text);
    ASSERT_FALSE(tables.empty()) << text;
    ASSERT_GT(tables[0].rows.size(), 10u) << text;
    EXPECT_NEAR(tables[0].rows[0][0], 2.0, 1e-9) << text;
    for (std::size_t i = 1; i < tables[0].rows.size(); ++i)
        EXPECT_GT(tables[0].rows[i][0], tables[0].rows[i - 1][0]) << "row " << i;
    EXPECT_LT(tables[0].rows.back()[0], 3.0);
}

// A window set for a longer run (16 ms over the 8 ms run, as after the run was shortened) holds
// the run's last value beyond its end: the spectrum and the resampled curve stay within what the
// circuit did, rather than drawing the last step's slope on for 8 ms.
TEST_F(DspPassTest, AWindowBeyondTheRunHoldsItsLastValue)
{
    const DspSettings dsp = DspOn("16m", "0", "1024");
    ASSERT_EQ(Run(kSine, {Row("F", "FFT(V(1))", '1'), Row("T", "V(1)", '2')}, dsp), 0) << Messages();
    const DspGrid grid = DspPass().grid;
    ASSERT_EQ(grid.n, 1024);
    // Eight periods in the first half, of amplitude 2; the second half holds V(1) at 8 ms, the
    // offset 0.5.
    EXPECT_NEAR(Value(0, kWaveformY, 0), 0.5 * 1024, 5.0);
    EXPECT_NEAR(Value(0, kWaveformY, 16), 512.0, 5.0);  // 1 kHz: bins are 62.5 Hz apart
    EXPECT_LT(Curve(1).dataMax[kWaveformY], 2.5 + 1e-6);
    EXPECT_GT(Curve(1).dataMin[kWaveformY], -1.5 - 1e-6);
    EXPECT_NEAR(Value(1, kWaveformY, 1023), 0.5, 1e-3);
}

// The spectrum of a transient run is printed as a table of its own against F, after the time
// table; THD takes the fundamental's frequency as its second argument.
TEST_F(DspPassTest, FourierResultsArePrintedAndThdTakesItsFundamental)
{
    ASSERT_EQ(Run(kSine, {Row("F", "HARM(V(1))", '1', kLimitsOutput), Row("T", "V(1)", '2', kLimitsOutput),
                          Row("F", "THD(HARM(V(1)),1K)", '3'), Row("F", "THD(HARM(V(1)))", '4')}),
              0)
        << Messages();
    // Bins from 1 kHz up hold only rounding noise; taken from bin 1 (125 Hz) the sine itself counts.
    EXPECT_EQ(Value(2, kWaveformY, 8), 0.0);
    EXPECT_LT(Curve(2).dataMax[kWaveformY], 1.0);
    EXPECT_GT(Curve(3).dataMax[kWaveformY], 100.0);

    ExitAnalysis();
    const std::string text = Read("d.TNO");
    const std::vector<test::ValueTable> tables = test::ValueTables(text);
    ASSERT_FALSE(tables.empty()) << text;
    EXPECT_EQ(tables[0].names, (std::vector<std::string>{"T", "V(1)"}));
    // The plain curve lies on the pass's grid, which ends a grid step short of 8 ms: the table
    // ends with the grid, each row at a time of its own.
    ASSERT_GT(tables[0].rows.size(), 100u) << text;
    std::size_t i = 1;
    for (; i < tables[0].rows.size() && tables[0].rows[i][0] >= tables[0].rows[i - 1][0]; ++i)
        EXPECT_GT(tables[0].rows[i][0], tables[0].rows[i - 1][0]) << "row " << i << " repeats the time of the row before";
    EXPECT_NEAR(tables[0].rows[i - 1][0], 7.98, 1e-9) << "the table does not end at the grid's last row";
    // The spectrum's table follows, headed F and HARM(V(1) (cut to the cell width), in kHz.
    const std::size_t heading = text.find("HARM(V(1)");
    ASSERT_NE(heading, std::string::npos) << text;
    std::istringstream lines(text.substr(heading));
    std::string line;
    std::getline(lines, line);
    std::getline(lines, line);
    EXPECT_NE(line.find("(KHz)"), std::string::npos) << line;
    std::vector<std::vector<double>> rows;
    while (std::getline(lines, line)) {
        std::istringstream cells(line);
        std::vector<double> row;
        for (double v = 0.0; cells >> v;) row.push_back(v);
        if (row.size() != 2) break;
        rows.push_back(row);
    }
    ASSERT_GT(rows.size(), 16u) << text;
    // Bin 8 is 1 kHz: the sine's amplitude; bin 0 its offset.
    EXPECT_NEAR(rows[1][0], 0.125, 1e-9);
    EXPECT_NEAR(rows[8][0], 1.0, 1e-9);
    EXPECT_NEAR(rows[8][1], 2.0, 0.01);
    EXPECT_NEAR(rows[0][1], 0.5, 0.01);
    EXPECT_NEAR(rows[5][1], 0.0, 0.01);
}

// SUM, DEL, AVG and RMS of a Fourier result run along its frequencies: the sine's harmonics are
// 0.5 at 0 Hz and of magnitude 2 at 1 kHz and at its mirror bin 504, 125 Hz apart.
TEST_F(DspPassTest, RunningFunctionsOfASpectrumRunAlongItsFrequencies)
{
    ASSERT_EQ(Run(kSine, {Row("F", "SUM(HARM(V(1)),F)", '1'), Row("F", "DEL(MAG(HARM(V(1))))", '2'),
                          Row("F", "AVG(MAG(HARM(V(1))))", '3'), Row("F", "RMS(HARM(V(1)))", '4')}),
              0)
        << Messages();
    const int last = Curve(0).lastPointIndex;
    ASSERT_EQ(last, 511);
    const double df = DspPass().grid.df;
    EXPECT_NEAR(Value(0, kWaveformY, 0), 0.0, 1e-12);
    // The integral is complex: the sine's bin is 2j, its mirror -2j, so they cancel at the end.
    EXPECT_NEAR(Value(0, kWaveformY, 8), df * std::hypot(0.25, 1.0), 0.02 * df);
    EXPECT_NEAR(Value(0, kWaveformY, last), df * 0.25, 0.05 * df);
    EXPECT_NEAR(Value(1, kWaveformY, 8), 2.0, 0.02);
    EXPECT_NEAR(Value(1, kWaveformY, 9), -2.0, 0.02);
    EXPECT_NEAR(Value(2, kWaveformY, last), 4.0 / last, 0.05 / last);
    EXPECT_NEAR(Value(3, kWaveformY, last), std::sqrt(8.0 / last), 0.01 * std::sqrt(8.0 / last));
    EXPECT_EQ(Value(3, kWaveformY, 0), 0.0);
}

// A run whose stored points start after 0: the grid starts there, and the first point and operand
// samples stand at the start time.
TEST_F(DspPassTest, ARunStartingLaterIsSampledFromItsStart)
{
    timeRange = "9.5m,1.5m";
    ASSERT_EQ(Run(kSine, {Row("F", "HARM(V(1))", '1'), Row("T", "V(1)", '2')}), 0) << Messages();
    EXPECT_DOUBLE_EQ(DspPass().grid.df, 125.0);
    EXPECT_NEAR(Value(0, kWaveformY, 8), 2.0, 0.01);
    EXPECT_NEAR(Value(0, kWaveformY, 0), 0.5, 0.01);
    EXPECT_DOUBLE_EQ(GetWaveformValue(record_->plot->store, 0, 0), 1.5e-3);
    EXPECT_NEAR(Value(1, kWaveformY, 0), 0.5 + 2.0 * std::sin(2 * M_PI * 1.5), 0.02);
}

// Two runs (a temperature sweep): each run's points are resampled and transformed on their own,
// the second run starting right after the first's N points.
TEST_F(DspPassTest, EachRunOfASweepGetsItsOwnPass)
{
    temperatures = "50,27,23";
    ASSERT_EQ(Run(kSine, {Row("F", "HARM(V(1))", '1'), Row("T", "V(1)", '2')}), 0) << Messages();
    ASSERT_EQ(record_->plot->store.runCount, 2);
    for (int c = 0; c < 2; ++c) {
        const CurveRecord& curve = Curve(c);
        ASSERT_GE(curve.runLastIndex.size(), 2u);
        EXPECT_EQ(curve.runFirstIndex[0], 0);
        EXPECT_EQ(curve.runLastIndex[0], 511);
        EXPECT_EQ(curve.runFirstIndex[1], 512);
        EXPECT_EQ(curve.runLastIndex[1], 1023);
        EXPECT_EQ(curve.lastPointIndex, 1023);
    }
    for (int first : {0, 512}) {
        EXPECT_NEAR(Value(0, kWaveformY, first + 8), 2.0, 0.01);
        EXPECT_DOUBLE_EQ(Value(0, kWaveformX, first + 8), 1000.0);
        EXPECT_DOUBLE_EQ(GetWaveformValue(record_->plot->store, 0, first + 256), 4e-3);
    }
}

TEST_F(DspPassTest, CoherenceOfTwoProportionalNodesIsOneAtLagZero)
{
    const char netlist[] = "div\nV1 1 0 SIN(0 1 1K)\nR1 1 2 1K\nR2 2 0 3K\n.TRAN 20U 8M 0 20U\n.PRINT TRAN V(2)\n.END\n";
    ASSERT_EQ(Run(netlist, {Row("T", "COH(V(1),V(2))", '1')}), 0) << Messages();
    EXPECT_NEAR(Value(0, kWaveformY, 0), 1.0, 1e-6);
    EXPECT_LE(Curve(0).dataMax[kWaveformY], 1.0 + 1e-6);
}

// Nested functions run as a stack program over their operands: the product of one transform with
// the conjugate of another is the cross power over dt^2, and a plain expression inside a
// transform is one operand.
TEST_F(DspPassTest, NestedFunctionsAndExpressionOperands)
{
    const char netlist[] = "div\nV1 1 0 SIN(0 1 1K)\nR1 1 2 1K\nR2 2 0 3K\n.TRAN 20U 8M 0 20U\n.PRINT TRAN V(2)\n.END\n";
    ASSERT_EQ(Run(netlist, {Row("F", "CMUL(FFT(V(1)),CONJ(FFT(V(2))))", '1'), Row("F", "CS(V(1),V(2))", '2'),
                            Row("F", "FFT(V(1)*2-V(2))", '3'), Row("F", "FFT(V(1))", '4')}),
              0)
        << Messages();
    EXPECT_EQ(Curve(0).dspProgram, "ododdd");
    EXPECT_EQ(Curve(1).dspProgram, "ood");
    EXPECT_EQ(Curve(2).dspProgram, "od");
    const double dt = DspPass().grid.dt;
    for (int k : {0, 3, 8, 9, 100}) {
        EXPECT_NEAR(Value(0, kWaveformY, k), Value(1, kWaveformY, k) / (dt * dt), 1e-6 * (1.0 + Value(0, kWaveformY, k)));
        EXPECT_NEAR(Value(2, kWaveformY, k), 1.25 * Value(3, kWaveformY, k), 1e-4 * (1.0 + Value(3, kWaveformY, k)));
    }
    EXPECT_NEAR(Value(3, kWaveformY, 8), 256.0, 2.0);  // N A / 2 with N = 512
}

// An AC run samples its curves from 0 Hz up to its highest frequency: a flat response turns
// into an impulse at t = 0, dt = 1 / F apart.
TEST_F(DspPassTest, TheInverseOfAFlatAcResponseIsAnImpulse)
{
    const char netlist[] = "ac\nV1 1 0 AC 1\nR1 1 0 1K\n.AC DEC 10 1 1MEG\n.PRINT AC V(1)\n.END\n";
    ASSERT_EQ(Run(netlist, {Row("T", "IFT(V(1))", '1')}, {}, "d.cir", kAnalysisAc), 0) << Messages();
    const DspGrid grid = DspPass().grid;
    EXPECT_EQ(grid.n, 64);
    EXPECT_DOUBLE_EQ(grid.df, 1e6 / 64);
    EXPECT_DOUBLE_EQ(grid.dt, 1e-6);
    EXPECT_NEAR(Value(0, kWaveformY, 0), 1.0, 1e-9);
    for (int i : {1, 2, 31, 63}) EXPECT_NEAR(Value(0, kWaveformY, i), 0.0, 1e-9) << i;
    EXPECT_DOUBLE_EQ(Value(0, kWaveformX, 3), 3e-6);
    EXPECT_DOUBLE_EQ(GetWaveformValue(record_->plot->store, 0, 3), 3 * grid.df);
}

// A DC sweep picks its own point count, or takes the one of its DSP parameters.
TEST_F(DspPassTest, ADcSweepTakesItsOwnDspParameters)
{
    const char netlist[] = "dc\nV1 1 0 DC 0\nR1 1 0 1K\n.DC V1 0 1 0.01\n.PRINT DC V(1)\n.END\n";
    ASSERT_EQ(Run(netlist, {Row("T", "FFT(V(1))", '1')}, {}, "d.cir", kAnalysisDc), 0) << Messages();
    EXPECT_EQ(DspPass().grid.n, 128);
    ASSERT_EQ(Run(netlist, {Row("T", "FFT(V(1))", '1')}, DspOn("1", "0", "256"), "d.cir", kAnalysisDc), 0) << Messages();
    EXPECT_EQ(DspPass().grid.n, 256);
    EXPECT_DOUBLE_EQ(DspPass().grid.dt, 1.0 / 256);
    EXPECT_EQ(Curve(0).lastPointIndex, 255);
}

// A diode clipper swept up and down: the sweep's step control refuses steps, and the samples of
// the transform belong to the stored points all the same (bin 0 of HARM is the curve's mean);
// the plain curve of the downward sweep keeps its values on the grid.
TEST_F(DspPassTest, ADcSweepUpOrDownTransformsItsStoredPoints)
{
    for (const char* sweep : {".DC V1 0 1 0.01", ".DC V1 1 0 -0.01"}) {
        const std::string netlist =
            std::string("clip\nV1 1 0 DC 0\nR1 1 2 1K\nD1 2 0 DM\n.MODEL DM D\n") + sweep + "\n.PRINT DC V(2)\n.END\n";
        ASSERT_EQ(Run(netlist, {Row("T", "HARM(V(2))", '1'), Row("T", "V(2)", '2'), Row("T", "AC(V(2))", '3')}, {}, "d.cir",
                      kAnalysisDc),
                  0)
            << Messages();
        const int n = DspPass().grid.n;
        ASSERT_EQ(n, 128) << sweep;
        EXPECT_DOUBLE_EQ(DspPass().grid.df, 1.0) << sweep;
        double sum = 0.0, squares = 0.0;
        for (int i = 0; i < n; ++i) {
            const double v1 = GetWaveformValue(record_->plot->store, 0, i), v2 = Value(1, kWaveformY, i);
            sum += v2;
            squares += v2 * v2;
            EXPECT_LE(v2, v1 + 1e-9) << sweep << " at " << v1;
            if (v1 > 0.8) {
                EXPECT_NEAR(v2, 0.62, 0.03) << sweep << " at " << v1;  // the diode conducts
            }
        }
        EXPECT_NEAR(Value(0, kWaveformY, 0), sum / n, 1e-4) << sweep;
        EXPECT_NEAR(Value(2, kWaveformY, 0), squares / n, 1e-4) << sweep;  // the energy at lag 0, dt = 1 / n
    }
}

// A point count that is not a power of two, or a window that holds nothing (its upper limit not
// above its lower one in a transient run, or an AC window up to 0 Hz), stops the run before it
// starts and asks for the parameters again.
TEST_F(DspPassTest, APointCountThatIsNotAPowerOfTwoStopsTheRunAndAsksAgain)
{
    struct Case {
        DspSettings dsp;
        int kind;
        const char* message;
    };
    const char ac[] = "ac\nV1 1 0 AC 1\nR1 1 0 1K\n.AC DEC 10 1 1MEG\n.PRINT AC V(1)\n.END\n";
    for (const Case& c : {Case{DspOn("8m", "0", "1000"), kAnalysisTransient, "must be a power of 2"},
                          Case{DspOn("2m", "3m", "1024"), kAnalysisTransient, "Illegal range."},
                          Case{DspOn("2m", "2m", "1024"), kAnalysisTransient, "Illegal range."},
                          Case{DspOn("0", "1K", "1024"), kAnalysisAc, "Illegal range."}}) {
        const bool isAc = c.kind == kAnalysisAc;
        EXPECT_NE(Run(isAc ? ac : kSine, {Row(isAc ? "T" : "F", "FFT(V(1))", '1')}, c.dsp, "d.cir", c.kind), 0) << c.message;
        ASSERT_FALSE(win::MessageBoxLog().empty()) << c.message;
        EXPECT_NE(win::MessageBoxLog().front().text.find(c.message), std::string::npos) << win::MessageBoxLog().front().text;
        win::MSG m{};
        bool asked = false;
        for (int i = 0; i < 1000 && win::PeekMessage(&m, nullptr, 0, 0, win::PM_REMOVE); ++i) {
            if (m.message == win::WM_COMMAND && m.wParam == 17154) {
                asked = true;
                continue;  // not shown: the test has no frame to show it in
            }
            win::DispatchMessage(&m);
        }
        EXPECT_TRUE(asked) << c.message;
        ExitAnalysis();
    }
}

}  // namespace
}  // namespace kq5
