// Performance functions against ngspice's .meas on the same netlists: rise and fall times
// (TRIG/TARG), levels (WHEN, FIND AT), extremes (MAX, MIN, PP), periods and widths, and the
// -3 dB frequency of an AC sweep. Each function is measured twice: on ngspice's own waveform,
// where the two must agree to rounding, and on this program's run of the netlist. Needs ngspice;
// fails without it.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <regex>
#include <sstream>
#include <unistd.h>

#include "../performance/ngspice_measures.h"
#include "analyses/performance_functions.h"
#include "reference_support.h"

namespace kq5::reference {
namespace {

using kq5::testing::MeasuredByNgspice;
using kq5::testing::Point;
using kq5::testing::PointRun;

struct Case {
    std::string measure;  // ngspice's name of the measure
    int function;
    std::array<double, 3> args;
    double oursTolerance;  // relative, on this program's run
    bool compareAt = false;  // also the X of the found point against ngspice's "at="
};

class PerformanceReferenceTest : public ReferenceTest {
protected:
    void TearDown() override
    {
        ResetWaveformStore(plot_);
        ReferenceTest::TearDown();
    }

    // Measures every case on ngspice's waveform and on ours and compares with ngspice's values.
    // The plot holds this program's waveform afterwards.
    void Check(const std::string& name, const std::vector<std::string>& measures, const std::vector<Case>& cases)
    {
        ASSERT_TRUE(NgspiceInstalled()) << "ngspice is needed for the .meas comparisons";
        const ReferenceCircuit circuit = LoadReferenceCircuit(name);
        std::string quantity = circuit.ngQuantities.at(0);
        for (char& c : quantity) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        theirs_ = kq5::testing::RunNgspiceMeasures(circuit.name, circuit.ngText, quantity,
                                                   circuit.analysis == ReferenceAnalysis::kAc, measures);
        const MeasuredByNgspice& theirs = theirs_;
        ASSERT_FALSE(theirs.waveform.empty()) << theirs.log;
        std::vector<OurCurve> curves;
        ASSERT_EQ(RunOurs(circuit, curves), 0);
        const bool ac = circuit.analysis == ReferenceAnalysis::kAc;
        PointRun ours;
        for (std::size_t i = 0; i < curves.at(0).x.size(); ++i) {
            const std::complex<double> y = curves[0].y[i];
            ours.push_back({curves[0].x[i], ac ? 20 * std::log10(std::abs(y)) : y.real()});
        }
        for (const Case& c : cases) {
            ASSERT_TRUE(theirs.values.count(c.measure)) << c.measure << " missing:\n" << theirs.log;
            const double expected = theirs.values.at(c.measure);
            const double scale = std::max(std::fabs(expected), 1e-9);
            for (const bool onTheirs : {true, false}) {
                kq5::testing::StoreRuns(plot_, {onTheirs ? theirs.waveform : ours}, false, ac);
                PerformanceContext context;
                ASSERT_EQ(kq5::testing::MeasureStored(plot_, context, c.function, c.args[0], c.args[1], c.args[2]), 0)
                    << c.measure << (onTheirs ? " on ngspice's waveform" : " on ours");
                // ngspice prints its measures with seven digits.
                const double tolerance = onTheirs ? (ac ? 1e-4 : 1e-6) : c.oursTolerance;
                EXPECT_NEAR(context.measurement.value / scale, expected / scale, tolerance)
                    << c.measure << (onTheirs ? " on ngspice's waveform" : " on ours");
                if (c.compareAt && theirs.at.count(c.measure)) {
                    EXPECT_NEAR(context.measurement.ax, theirs.at.at(c.measure), onTheirs ? 1e-9 : 2e-6) << c.measure;
                }
                if (!onTheirs)
                    std::printf("[reference] %s %s: ours %.9g ngspice %.9g\n", name.c_str(), c.measure.c_str(),
                                context.measurement.value, expected);
            }
        }
    }

    PlotRecord plot_;
    MeasuredByNgspice theirs_;
};

TEST_F(PerformanceReferenceTest, RlcStepRiseFallLevelsAndExtremes)
{
    Check("perf_rlc_step",
          {"meas tran trise TRIG v(3) VAL=0.1 RISE=1 TARG v(3) VAL=0.9 RISE=1",
           "meas tran tfall TRIG v(3) VAL=1.4 FALL=1 TARG v(3) VAL=1.1 FALL=1",
           "meas tran thalf WHEN v(3)=0.5 CROSS=1", "meas tran tone3 WHEN v(3)=1 CROSS=3",
           "meas tran vat FIND v(3) AT=0.3m", "meas tran vmax MAX v(3)", "meas tran vmin MIN v(3)",
           "meas tran vpp PP v(3)"},
          {{"trise", kRiseTime, {1, 0.1, 0.9}, 2e-3},
           {"tfall", kFallTime, {1, 1.1, 1.4}, 2e-3},
           {"thalf", kXLevel, {1, 0.5, 0}, 2e-3},
           {"tone3", kXLevel, {3, 1, 0}, 2e-3},
           {"vat", kYLevel, {1, 0.3e-3, 0}, 2e-3},
           {"vmax", kHigh, {1, 1, 2}, 1e-3, true},
           {"vmax", kPeak, {1, 1, 2}, 1e-3, true},
           {"vmin", kLow, {1, 1, 2}, 1e-6}});
    // PP is High - Low; and the overshoot is the damping formula's.
    PerformanceContext context;
    ASSERT_EQ(kq5::testing::MeasureStored(plot_, context, kLow, 1, 1, 2), 0);
    const double low = context.measurement.value;
    ASSERT_EQ(kq5::testing::MeasureStored(plot_, context, kHigh, 1, 1, 2), 0);
    ASSERT_TRUE(theirs_.values.count("vpp"));
    EXPECT_NEAR(context.measurement.value - low, theirs_.values["vpp"], 1e-3);
    const double zeta = 0.2;
    EXPECT_NEAR(context.measurement.value, 1 + std::exp(-zeta * std::numbers::pi / std::sqrt(1 - zeta * zeta)), 2e-3);
}

TEST_F(PerformanceReferenceTest, SinePeriodFrequencyAndWidth)
{
    Check("perf_sine",
          {"meas tran tper TRIG v(1) VAL=0 RISE=1 TARG v(1) VAL=0 RISE=2",
           "meas tran twidth TRIG v(1) VAL=0.5 RISE=1 TARG v(1) VAL=0.5 FALL=1",
           "meas tran tdelta TRIG v(1) VAL=0.2 CROSS=1 TARG v(1) VAL=0.7 CROSS=1"},
          {{"tper", kPeriod, {1, 0, 0}, 1e-5},
           {"twidth", kWidth, {1, 0.5, 0}, 1e-4},
           {"tdelta", kXDelta, {1, 0.2, 0.7}, 1e-3}});
    PerformanceContext context;
    ASSERT_EQ(kq5::testing::MeasureStored(plot_, context, kFrequency, 1, 1, 2), 0);
    EXPECT_NEAR(context.measurement.value, 1e3, 1e-2);
}

TEST_F(PerformanceReferenceTest, RcLowPassMinus3dBFrequency)
{
    const double level = -10 * std::log10(2.0);
    Check("perf_rc_lowpass", {"meas ac f3db WHEN vdb(2)=" + std::to_string(level) + " FALL=1"},
          {{"f3db", kXLevel, {1, level, 0}, 1e-4}});
    PerformanceContext context;
    ASSERT_EQ(kq5::testing::MeasureStored(plot_, context, kXLevel, 1, level, 0), 0);
    EXPECT_NEAR(context.measurement.value * 2 * std::numbers::pi * 1e3 * 1e-6, 1.0, 1e-4);
}

}  // namespace
}  // namespace kq5::reference
