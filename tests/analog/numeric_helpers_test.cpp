#include "netlist/numeric_helpers.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/analysis_state.h"
#include "ui/window_record.h"
#include "results/curve_record.h"

namespace kq5 {
namespace {

TEST(NumericHelpers, ClampedExponentialsAndLogs)
{
    EXPECT_DOUBLE_EQ(ClampedExp(1000.0), std::exp(150.0));
    EXPECT_DOUBLE_EQ(ClampedExp(-1000.0), std::exp(-150.0));
    EXPECT_DOUBLE_EQ(ClampedExpNarrow(100.0), std::exp(80.0));
    EXPECT_DOUBLE_EQ(ClampedExpNarrow(-100.0), std::exp(-80.0));
    EXPECT_DOUBLE_EQ(ClampedExpNarrow(1.0), std::exp(1.0));
    EXPECT_NEAR(Pow10(3.0), 1000.0, 1e-9);
    EXPECT_DOUBLE_EQ(Pow10(70.0), std::exp(150.0));
    EXPECT_EQ(Log10Abs(0.0), 0.0);
    EXPECT_DOUBLE_EQ(Log10Abs(-100.0), 2.0);
    EXPECT_DOUBLE_EQ(Log10Floored(0.0), -50.0);
    EXPECT_DOUBLE_EQ(Log10Floored(-5.0), -50.0);
    EXPECT_DOUBLE_EQ(Log10Floored(1e3), 3.0);
}

TEST(NumericHelpers, RangeMagnitudeOrSpan)
{
    EXPECT_DOUBLE_EQ(RangeMagnitudeOrSpan(1e-6, 10.0), 10.0 - 1e-6);  // 7 decades apart
    EXPECT_DOUBLE_EQ(RangeMagnitudeOrSpan(2.0, 50.0), 50.0);
    EXPECT_DOUBLE_EQ(RangeMagnitudeOrSpan(500.0, 2.0), 500.0);
    EXPECT_DOUBLE_EQ(RangeMagnitudeOrSpan(-300.0, 5.0), -300.0);
    EXPECT_DOUBLE_EQ(RangeMagnitudeOrSpan(5.0, 0.0), 5.0);
    EXPECT_DOUBLE_EQ(RangeMagnitudeOrSpan(0.0, 0.0), 0.0);
}

TEST(NumericHelpers, SplitAtTopLevelComma)
{
    std::string text = "f(1,2),3";
    EXPECT_EQ(SplitAtTopLevelComma(text), "3");
    EXPECT_EQ(text, "f(1,2)");
    text = "no comma";
    EXPECT_EQ(SplitAtTopLevelComma(text), "");
    EXPECT_EQ(text, "no comma");
    text = "a,b,c";
    EXPECT_EQ(SplitAtTopLevelComma(text), "b,c");
    EXPECT_EQ(text, "a");
    text = "[1,2]";  // only round brackets nest
    EXPECT_EQ(SplitAtTopLevelComma(text), "2]");
}

TEST(NumericHelpers, RangePairs)
{
    double first = -1.0, second = -1.0;
    EXPECT_EQ(ParseRangePair("10", first, second), 0);
    EXPECT_EQ(first, 10.0);
    EXPECT_EQ(second, 0.0);
    EXPECT_EQ(ParseRangePair("1k,2k", first, second), 0);
    EXPECT_EQ(first, 1000.0);
    EXPECT_EQ(second, 2000.0);
    EXPECT_EQ(ParseRangePair("max(1,3),2*4", first, second), 0);
    EXPECT_EQ(first, 3.0);
    EXPECT_EQ(second, 8.0);
    second = 5.0;
    EXPECT_NE(ParseRangePair("1+,2", first, second), 0);
    EXPECT_EQ(second, 0.0);
}

TEST(NumericHelpers, ValueListsStrictAndLenient)
{
    ValueList values;
    EXPECT_EQ(ParseValueListStrict("1,,3", 3, values), 15040);
    EXPECT_EQ(ParseValueListLenient("1,,3", 3, values), 0);
    EXPECT_EQ(values[0], 1.0);
    EXPECT_EQ(values[1], 0.0);
    EXPECT_EQ(values[2], 3.0);

    EXPECT_EQ(ParseValueListStrict("1,2", 3, values), 15040);
    EXPECT_EQ(ParseValueListLenient("1,2", 3, values), 0);
    EXPECT_EQ(values[0], 1.0);
    EXPECT_EQ(values[1], 2.0);
    EXPECT_EQ(values[2], 0.0);

    // Items after the n-th are ignored; values are cleared first; expressions nest commas.
    values.fill(9.0);
    EXPECT_EQ(ParseValueListStrict("1m,max(2,5),7,8", 3, values), 0);
    EXPECT_DOUBLE_EQ(values[0], 1e-3);
    EXPECT_EQ(values[1], 5.0);
    EXPECT_EQ(values[2], 7.0);
    EXPECT_EQ(values[3], 0.0);

    EXPECT_NE(ParseValueListLenient("1,2+", 3, values), 0);
    EXPECT_EQ(ParseValueListStrict("", 1, values), 15040);
    // More than ten values cannot be asked for.
    EXPECT_EQ(ParseValueListLenient("1,2,3,4,5,6,7,8,9,10,11,12", 12, values), 0);
    EXPECT_EQ(values[9], 10.0);
}

TEST(NumericHelpers, AnalysisFileNames)
{
    ResetAnalysisStateForTests();
    WindowRecord record;
    record.title = "/home/user/circuits.v2/amp.cir";
    Analysis().analysisKind = kAnalysisTransient;
    EXPECT_EQ(MakeAnalysisFileName(&record, "NO"), "/home/user/circuits.v2/amp.TNO");
    Analysis().analysisKind = kAnalysisAc;
    EXPECT_EQ(MakeAnalysisFileName(&record, "SA"), "/home/user/circuits.v2/amp.ASA");
    Analysis().analysisKind = kAnalysisDc;
    EXPECT_EQ(MakeAnalysisFileName(&record, "NOX"), "/home/user/circuits.v2/amp.DNO");
    record.title = "C:\\work.dir\\filter";
    EXPECT_EQ(MakeAnalysisFileName(&record, "NO"), "C:\\work.dir\\filter.DNO");
    ResetAnalysisStateForTests();
}

TEST(NumericHelpers, PlotRecordsAreMadeAndFreed)
{
    WindowRecord record;
    EXPECT_EQ(CreatePlotRecord(&record), 0);
    ASSERT_NE(record.plot, nullptr);
    EXPECT_TRUE(record.plot->curves.empty());
    EXPECT_EQ(record.plot->objects.count, 0);
    // An analysis window shares the plot; freeing it from the circuit's record empties the
    // object list for both and clears only this record's pointer.
    std::shared_ptr<PlotRecord> shared = record.plot;
    ListAppend(record.plot->objects, 3);
    FreePlotRecord(&record);
    EXPECT_EQ(record.plot, nullptr);
    EXPECT_EQ(shared->objects.count, 0);
    FreePlotRecord(&record);
    FreePlotRecord(nullptr);
}

}  // namespace
}  // namespace kq5
