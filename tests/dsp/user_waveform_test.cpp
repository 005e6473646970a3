// User waveform files: the curves a transient run saves are written and read back (also into a
// user source at the start of a later run, which then replays them), the older form without a
// version line, the curves that cannot be saved, and files that are short or lack the curve.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "analog/analog_state.h"
#include "analog/device_dispatch_tables.h"
#include "devices/source_functions.h"
#include "analog/source_stamps.h"
#include "netlist/standalone_element_devices.h"
#include "plots/plot_setup.h"
#include "transient_run_test_support.h"

namespace kq5::testing {
namespace {

class UserWaveformTest : public TransientRunTest {};

const char kSine[] = "sine\nV1 1 0 SIN(0 1 1K)\nR1 1 2 1K\nR2 2 0 1K\n.TRAN 10U 2M\n.PRINT TRAN V(1)\n.END\n";

TEST_F(UserWaveformTest, ARunWritesItsSavedCurvesAndTheyReadBack)
{
    ASSERT_EQ(Run(kSine, {Row("T", "V(1)", '1', kLimitsUser), Row("T", "V(2)", 0, kLimitsUser)}), 0) << Messages();
    const std::string text = Read("d.USR");
    ASSERT_FALSE(text.empty());
    std::istringstream in(text);
    std::string version, count, curves, name;
    std::getline(in, version);
    std::getline(in, count);
    std::getline(in, curves);
    std::getline(in, name);
    EXPECT_EQ(version, "Version=1");
    EXPECT_EQ(curves, "2");
    EXPECT_EQ(name, "V(1)");
    const int n = std::stoi(count);
    EXPECT_EQ(n, PlotRun().acceptedPoints + 1);
    EXPECT_GT(n, 100);
    EXPECT_EQ(text.find('\r'), std::string::npos);

    UserSourcePoints first, second;
    ASSERT_EQ(ReadUserWaveformFile(Path("d.USR"), "", 0.0, 1.0, first), 0);
    ASSERT_EQ(ReadUserWaveformFile(Path("d.USR"), "v(2)", 0.0, 1.0, second), 0);
    ASSERT_EQ(first.x.size(), static_cast<std::size_t>(n));
    EXPECT_EQ(first.x.front(), 0.0);
    EXPECT_NEAR(first.x.back(), 2e-3, 1e-12);
    for (std::size_t i = 0; i < first.x.size(); i += 17) {
        EXPECT_NEAR(first.y[i], std::sin(2 * M_PI * 1000 * first.x[i]), 2e-3) << i;
        EXPECT_NEAR(second.y[i], 0.5 * first.y[i], 1e-5) << i;
        EXPECT_EQ(second.x[i], first.x[i]);
    }
    // Every time stays apart from the next.
    for (std::size_t i = 1; i < first.x.size(); ++i) ASSERT_GT(first.x[i], first.x[i - 1]) << i;
}

// "%.6G" merged the close times of a long run, and a 1 mV ripple on a 12 V rail came back in
// 0.1 mV steps; times and values keep 15 digits now.
TEST_F(UserWaveformTest, CloseTimesAndSmallRipplesOfALongRunStayApart)
{
    SavedUserCurve curve;
    for (int i = 0; i < 4; ++i) {
        curve.x.push_back(1000.0 + i * 1e-6);
        curve.y.push_back(12.0 + 1e-3 * std::sin(i));
    }
    ASSERT_EQ(WriteUserWaveformText(Path("long.usr"), {"V(OUT)"}, {&curve}, 4), 0);
    UserSourcePoints points;
    ASSERT_EQ(ReadUserWaveformFile(Path("long.usr"), "v(out)", 0.0, 1.0, points), 0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(points.x[i], 1000.0 + i * 1e-6, 1e-10) << i;
        EXPECT_NEAR(points.y[i], 12.0 + 1e-3 * std::sin(i), 1e-9) << i;
    }
}

TEST_F(UserWaveformTest, OlderFilesSpreadTheirValuesOverTheAnalysis)
{
    // A first line with a period is already the first of 256 values.
    std::string values = "0.5\n";
    for (int i = 1; i < 256; ++i) values += std::to_string(i) + "\n";
    Write("old.usr", values);
    UserSourcePoints points;
    ASSERT_EQ(ReadUserWaveformFile(Path("old.usr"), "ignored", 1.0, 3.55, points), 0);
    ASSERT_EQ(points.y.size(), 256u);
    EXPECT_EQ(points.y[0], 0.5);
    EXPECT_EQ(points.y[255], 255.0);
    EXPECT_DOUBLE_EQ(points.x[0], 1.0);
    EXPECT_DOUBLE_EQ(points.x[1], 1.01);
    EXPECT_DOUBLE_EQ(points.x[255], 3.55);

    // A count line of 3.
    Write("three.usr", "3\n1\n2\n4\n");
    ASSERT_EQ(ReadUserWaveformFile(Path("three.usr"), "", 0.0, 1.0, points), 0);
    EXPECT_EQ(points.y, (std::vector<double>{1, 2, 4}));
    EXPECT_EQ(points.x, (std::vector<double>{0.0, 0.5, 1.0}));

    // One point used to divide by n - 1 = 0: it stands at the start of the analysis.
    Write("one.usr", "1\n7\n");
    ASSERT_EQ(ReadUserWaveformFile(Path("one.usr"), "", 2.0, 5.0, points), 0);
    EXPECT_EQ(points.x, (std::vector<double>{2.0}));
    EXPECT_EQ(points.y, (std::vector<double>{7.0}));
}

TEST_F(UserWaveformTest, CountsBelowOneMean256AndShortFilesKeepWhatWasRead)
{
    Write("zero.usr", "Version=1\n0\n1\nV(1)\n0\n5\n1e-3\n6\n");
    UserSourcePoints points;
    const int rc = ReadUserWaveformFile(Path("zero.usr"), "", 0.0, 1.0, points);
    EXPECT_NE(rc, 0);  // 256 points announced, two there
    ASSERT_EQ(points.x.size(), 256u);
    EXPECT_EQ(points.y[0], 5.0);
    EXPECT_EQ(points.y[1], 6.0);
    EXPECT_DOUBLE_EQ(points.x[1], 1e-3);

    // A damaged count claims two billion points: the reading stops at the end of the values
    // without having reserved room for all of them.
    Write("huge.usr", "Version=1\n2000000000\n1\nV(1)\n0\n5\n1e-3\n6\n");
    EXPECT_NE(ReadUserWaveformFile(Path("huge.usr"), "", 0.0, 1.0, points), 0);
    ASSERT_GE(points.x.size(), 2u);
    EXPECT_LE(points.x.size(), 65536u);
    EXPECT_EQ(points.y[1], 6.0);
    Write("hugeold.usr", "2000000000\n1\n2\n");
    EXPECT_NE(ReadUserWaveformFile(Path("hugeold.usr"), "", 0.0, 1.0, points), 0);
    EXPECT_LE(points.x.size(), 65536u);
}

TEST_F(UserWaveformTest, AMissingCurveIsReported)
{
    Write("two.usr", "version=1\n2\n2\nV(A)\n0\n1\n1\n2\nV(B)\n0\n3\n1\n4\n");
    UserSourcePoints points;
    ASSERT_EQ(ReadUserWaveformFile(Path("two.usr"), "V(b)", 0.0, 1.0, points), 0);
    EXPECT_EQ(points.y, (std::vector<double>{3, 4}));
    win::ClearMessageBoxLog();
    EXPECT_EQ(ReadUserWaveformFile(Path("two.usr"), "V(C)", 0.0, 1.0, points), kMsgAlreadyReported);
    ASSERT_FALSE(win::MessageBoxLog().empty());
    EXPECT_NE(win::MessageBoxLog().back().text.find("Can't find expression in"), std::string::npos);
    EXPECT_NE(ReadUserWaveformFile(Path("absent.usr"), "", 0.0, 1.0, points), 0);
}

TEST_F(UserWaveformTest, OnlyAnalogCurvesOverTimeCanBeSaved)
{
    EXPECT_NE(Run(kSine, {Row("V(2)", "V(1)", '1', kLimitsUser)}), 0);
    ASSERT_FALSE(win::MessageBoxLog().empty());
    EXPECT_NE(Messages().find("X axis variable must be T(time) when saving a user waveform."), std::string::npos);
    EXPECT_TRUE(Read("d.USR").empty());
    // A run without a saved curve writes no file.
    ASSERT_EQ(Run(kSine, {Row("T", "V(1)", '1')}), 0) << Messages();
    EXPECT_TRUE(Read("d.USR").empty());
}

// The curve saved by one run drives a user source in a later one: its table holds the saved
// points, and the source's value follows the saved sine.
TEST_F(UserWaveformTest, AUserSourceReplaysTheSavedCurveInALaterRun)
{
    ASSERT_EQ(Run(kSine, {Row("T", "V(1)", '1', kLimitsUser)}, {}, "saved.cir"), 0) << Messages();
    ExitAnalysis();
    UserSourcePoints saved;
    ASSERT_EQ(ReadUserWaveformFile(Path("saved.USR"), "", 0.0, 1.0, saved), 0);

    // The later run's circuit: a user source reading "saved" into a resistor.
    Fresh();
    record_->kind = kWindowSchematic;
    record_->title = Path("later.cir");
    Part(kComponentUserSource, "U1", {1, 0}, {{kAttrFile, "saved.cir"}, {kAttrExpression, "v(1)"}});
    Part(kComponentResistor, "R1", {1, 0}, {{kAttrValue, "1K"}});
    ASSERT_TRUE(Translate()) << LastShownText();
    ASSERT_GE(NumberDeviceRows(1), 2);
    RunControl().circuitWindow = record_;
    ASSERT_EQ(LoadUserSourceData(), 0) << Messages();
    const UserSourceStamps& st = AnalogSolver().devices.userSources.at(0);
    EXPECT_EQ(st.times, saved.x);
    EXPECT_EQ(st.values, saved.y);
    Analysis().analysisKind = kAnalysisTransient;
    ResetUserSourceIndices();
    for (double t : {0.1e-3, 0.25e-3, 0.7e-3, 1.3e-3, 1.9e-3}) {
        AnalogSolver().time = t;
        ASSERT_EQ(EvaluateSourcesAtTime(), 0);
        EXPECT_NEAR(AnalogSolver().devices.userSources[0].value, std::sin(2 * M_PI * 1000 * t), 3e-3) << t;
        CommitUserSourceIndices();
    }

    // Without the file the set-up reports it and fails.
    std::filesystem::remove(Path("saved.USR"));
    win::ClearMessageBoxLog();
    EXPECT_EQ(LoadUserSourceData(), kMsgAlreadyReported);
    EXPECT_FALSE(win::MessageBoxLog().empty());
}

}  // namespace
}  // namespace kq5::testing
