// Analysis lines into the limits texts and rows, and back.
#include <string>

#include "analog/ac_run.h"
#include "analog/transient_run.h"
#include "netlist/spice_analysis_commands.h"
#include "results/plot_view_settings.h"
#include "spice_test_support.h"

namespace kq5::testing {
namespace {

class AnalysisLinesTest : public SpiceTest {
protected:
    AnalysisLimits& Limits() { return record_->document->limits; }
    std::vector<LimitsRow>& Rows(int kind) { return record_->document->limitsRows[static_cast<std::size_t>(kind)]; }
    void Fresh()
    {
        FreeNetlistReaderBuild();
        ListClear(record_->document->itemList);
        win::ClearMessageBoxLog();
    }
};

TEST_F(AnalysisLinesTest, TransientLines)
{
    ASSERT_EQ(Read("t\nR1 1 0 1\n.TRAN 1N 100N\n"), 0);
    EXPECT_EQ(Limits().transient[kLimitTRange], "100N");
    EXPECT_EQ(Limits().transient[kLimitTNPts], "101");
    EXPECT_EQ(Limits().transient[kLimitTStep], "");
    EXPECT_FALSE(NetlistReader().useInitialConditions);
    Fresh();
    ASSERT_EQ(Read("t\nR1 1 0 1\n.TRAN 1N 100N 0 2N UIC\n"), 0);
    EXPECT_EQ(Limits().transient[kLimitTStep], "2N");
    EXPECT_TRUE(NetlistReader().useInitialConditions);
    EXPECT_EQ(PlotFlagsOf(record_->plot).flagByte & (kPlotOperatingPointFirst | kPlotOperatingPointFirstToo), 0);
    EXPECT_EQ(WriteTranLine(record_), ".TRAN 1e-09 1e-07 0 2e-09 UIC");
    // UIC also takes the operating point out of the run options.
    const auto transientOptions = [&] { return PlotViewOf(record_->plot).optionWord[kAnalysisTransient]; };
    EXPECT_EQ(transientOptions() & (kRunOptionOperatingPoint | kRunOptionOperatingPointOnly), 0);
    Fresh();
    // The line without UIC brings the operating point back.
    ASSERT_EQ(Read("t\nR1 1 0 1\n.TRAN 1N 100N 0 2N\n"), 0);
    EXPECT_FALSE(NetlistReader().useInitialConditions);
    EXPECT_NE(PlotFlagsOf(record_->plot).flagByte & kPlotOperatingPointFirst, 0);
    EXPECT_NE(transientOptions() & kRunOptionOperatingPoint, 0);
    EXPECT_EQ(WriteTranLine(record_), ".TRAN 1e-09 1e-07 0 2e-09");
    Fresh();
    EXPECT_EQ(Read("t\n.TRAN 1N\n"), kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 11900");
    Fresh();
    EXPECT_EQ(Read("t\n.TRAN 1N TEN\n"), kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 10402");
}

TEST_F(AnalysisLinesTest, AcLinesCountPointsPerSweepKind)
{
    ASSERT_EQ(Read("t\n.AC DEC 10 1 1MEG\n"), 0);
    EXPECT_EQ(Limits().ac[kLimitANPts], "61");
    EXPECT_EQ(Limits().ac[kLimitFRange], "1MEG,1");
    Fresh();
    ASSERT_EQ(Read("t\n.AC 100 1 1K\n"), 0);
    EXPECT_EQ(Limits().ac[kLimitANPts], "101");
    const auto stepKind = [&] { return PlotViewOf(record_->plot).optionWord[kAnalysisAc] & kFrequencyStepMask; };
    EXPECT_EQ(stepKind(), static_cast<int>(kFrequencyStepLinear));
    Fresh();
    // Octaves are counted in powers of two.
    ASSERT_EQ(Read("t\n.AC OCT 5 100 1600\n"), 0);
    EXPECT_EQ(Limits().ac[kLimitANPts], "21");
    EXPECT_EQ(stepKind(), static_cast<int>(kFrequencyStepLog));
    EXPECT_NE(PlotViewOf(record_->plot).optionWord[kAnalysisAc] & kRunOptionOperatingPoint, 0);
    Fresh();
    // LIN N is N points, and the line written back is the line read.
    ASSERT_EQ(Read("t\n.AC LIN 50 1 20K\n"), 0);
    EXPECT_EQ(Limits().ac[kLimitANPts], "50");
    EXPECT_EQ(stepKind(), static_cast<int>(kFrequencyStepLinear));
    EXPECT_EQ(WriteAcLine(record_), ".AC LIN 50 1 20000");
    Fresh();
    // A linear sweep may start at 0 Hz: its count still holds.
    ASSERT_EQ(Read("t\n.AC LIN 11 0 1K\n"), 0);
    EXPECT_EQ(Limits().ac[kLimitANPts], "11");
    Fresh();
    ASSERT_EQ(Read("t\n.AC DEC 10 1K 1K\n"), 0);
    EXPECT_EQ(Limits().ac[kLimitANPts], "1");
    EXPECT_EQ(WriteAcLine(record_), ".AC LIN 1 1000 1000");
    Limits().ac[kLimitFRange] = "1MEG,1";
    Limits().ac[kLimitANPts] = "61";
    EXPECT_EQ(WriteAcLine(record_), ".AC DEC 10 1 1e+06");
}

TEST_F(AnalysisLinesTest, NoiseOfACurrentIsRefusedAtItsLine)
{
    // Only a node voltage has its noise computed; a current output is no silent no-op.
    EXPECT_NE(Read("t\n.NOISE I(VM) VIN\n"), 0);
    EXPECT_NE(LastMessage().find("'V(' but found 'I'"), std::string::npos) << LastMessage();
    Fresh();
    EXPECT_NE(Read("t\n.NOISE\n"), 0);
}

TEST_F(AnalysisLinesTest, NoiseDcAndTemperature)
{
    ASSERT_EQ(Read("t\n.NOISE V([OUT],2) VIN 10\n.DC V1 0 5 0.1 V2 0 1 0.5\n.TEMP 0 27 85\n"), 0) << LastMessage();
    EXPECT_EQ(Limits().ac[kLimitNOutput], "OUT,2");
    EXPECT_EQ(Limits().ac[kLimitNInput], "VIN");
    EXPECT_EQ(Limits().dc[kLimitI1Range], "5,0,0.1");
    EXPECT_EQ(Limits().dc[kLimitI1], "V1");
    EXPECT_EQ(Limits().dc[kLimitDNPts], "51");
    EXPECT_EQ(Limits().dc[kLimitI2Range], "1,0,0.5");
    EXPECT_EQ(Limits().dc[kLimitI2], "V2");
    // The temperature field holds a range: a list that none holds runs at its first value.
    EXPECT_EQ(Limits().transient[kLimitTTemp], "0");
    EXPECT_EQ(WriteDcLine(record_), ".DC V1 0 5 0.1 V2 0 1 0.5");
    Fresh();
    ASSERT_EQ(Read("t\n.TEMP 127 27, 77\n"), 0) << LastMessage();
    EXPECT_EQ(Limits().ac[kLimitATemp], "127,27,50");
    EXPECT_EQ(Limits().dc[kLimitDTemp], "127,27,50");
    // Written back as the list of the runs' temperatures, the last one held at the high end.
    Analysis().analysisKind = kAnalysisDc;
    EXPECT_EQ(WriteTempLine(record_), ".TEMP 27 77 127");
    Limits().dc[kLimitDTemp] = "100,0,40";
    EXPECT_EQ(WriteTempLine(record_), ".TEMP 0 40 80 100");
    Limits().dc[kLimitDTemp] = "35";
    EXPECT_EQ(WriteTempLine(record_), ".TEMP 35");
    Fresh();
    ASSERT_EQ(Read("t\n.TEMP 27 27\n"), 0);
    EXPECT_EQ(Limits().dc[kLimitDTemp], "27");
    Fresh();
    ASSERT_EQ(Read("t\n.DC LIN VIN 0 5 1\n"), 0);
    EXPECT_EQ(Limits().dc[kLimitI1], "VIN");
    Fresh();
    EXPECT_EQ(Read("t\n.DC DEC VIN 1 100 10\n"), kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 11902");
}

TEST_F(AnalysisLinesTest, PrintAndPlotRowsOfTheCurrentAnalysis)
{
    Analysis().analysisKind = kAnalysisTransient;
    ASSERT_EQ(Read("t\nR1 1 0 1\n.PRINT AC VDB(2)\n.PLOT TRAN V(1) V(2) (0,5) I(R1)\n.PLOT TRAN V(1)\n"
                   ".PRINT TRAN VM(3)\n"),
              0)
        << LastMessage();
    std::vector<LimitsRow>& rows = Rows(kAnalysisTransient);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].yExpression, "V(1)");
    // Plot limits are written lower first; the range holds the upper first.
    EXPECT_EQ(rows[0].yRange, "5,0");
    EXPECT_EQ(rows[1].yExpression, "V(2)");
    EXPECT_EQ(rows[2].yExpression, "I(R1)");
    EXPECT_EQ(rows[2].yRange, "");
    EXPECT_EQ(rows[0].plotGroup, '1');
    // The print row lost its letter group because plot groups exist.
    EXPECT_EQ(rows[3].yExpression, "MAG(V(3))");
    EXPECT_EQ(rows[3].plotGroup, 0);
    EXPECT_TRUE(rows[3].options & kLimitsOutput);
    EXPECT_EQ(Rows(kAnalysisAc).size(), 0u);
    EXPECT_EQ(WritePrintPlotLines(record_, kAnalysisTransient, false, '1').text, ".PLOT TRAN V(1) V(2) I(R1)");
    EXPECT_EQ(WritePrintPlotLines(record_, kAnalysisTransient, true, '0').text, ".PRINT TRAN VM(3)");
}

TEST_F(AnalysisLinesTest, PrintPlotProblems)
{
    Analysis().analysisKind = kAnalysisAc;
    ASSERT_EQ(Read("t\n.PLOT DISTO V(1)\n"), 0);
    EXPECT_EQ(LastCaption(), "Warning 10911");
    Fresh();
    EXPECT_EQ(Read("t\n.PRINT FOO V(1)\n"), kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 10917");
    Fresh();
    EXPECT_EQ(Read("t\n.PLOT AC VM(1) 0\n"), kMsgAlreadyReported);
    EXPECT_EQ(LastCaption(), "Error 11901");
    Fresh();
    ASSERT_EQ(Read("t\nR1 1 0 1\n"), 0);
    // Without .PRINT or .PLOT the analysis gets its default rows.
    ASSERT_FALSE(Rows(kAnalysisAc).empty());
    EXPECT_EQ(Rows(kAnalysisAc)[0].plotGroup, '1');
}

TEST_F(AnalysisLinesTest, OperatingPointOnly)
{
    Analysis().analysisKind = kAnalysisDc;
    ASSERT_EQ(Read("t\nR1 1 0 1\n.OP\n"), 0);
    EXPECT_TRUE(PlotFlagsOf(record_->plot).flagWord & kPlotOperatingPointOnly);
    EXPECT_TRUE(PlotFlagsOf(record_->plot).flagWord & kPlotLimitsFromNetlist);
}

TEST_F(AnalysisLinesTest, OutputVariableForms)
{
    EXPECT_EQ(ConvertOutputVariable("VDB(2)"), "DB(V(2))");
    EXPECT_EQ(ConvertOutputVariable("IP(R1)"), "PH(I(R1))");
    EXPECT_EQ(ConvertOutputVariable("V(1,2)"), "V(1,2)");
    EXPECT_EQ(ConvertOutputVariable("ONOISE"), "ONOISE");
    EXPECT_EQ(PrintPlotVariableText("DB(V(2))"), "VDB(2)");
    EXPECT_EQ(PrintPlotVariableText("GD(I(VX))"), "IG(VX)");
    EXPECT_EQ(AnalysisKindOfWord("NOISE"), kAnalysisAc);
    EXPECT_EQ(AnalysisKindOfWord("OP"), -1);
}

TEST_F(AnalysisLinesTest, RewritingTheAnalysisLinesOfTheText)
{
    Analysis().analysisKind = kAnalysisTransient;
    std::string text = "t\nR1 1 0 1\n.TRAN 1N 10N\n.AC DEC 10 1 1K\n.PLOT TRAN V(1)\n";
    for (int i = 0; i < 250; ++i) text += ".PRINT TRAN V(1)\n";
    text += ".END\n";
    ASSERT_EQ(Read(text), 0) << LastMessage();
    Limits().transient[kLimitTRange] = "20N";
    Limits().transient[kLimitTNPts] = "21";
    ASSERT_EQ(UpdateTextAnalysisCommands(record_), 0);
    const std::string& updated = record_->textArea;
    EXPECT_EQ(updated.find(".PRINT TRAN V(1)\n.PRINT"), std::string::npos);  // all 250 removed
    EXPECT_NE(updated.find(".AC DEC 10 1 1K\n"), std::string::npos);        // another analysis stays
    // The plotted row is printed too, as the .PRINT lines asked: both lines stay.
    // The step the user wrote keeps its text; the changed time range is written afresh.
    EXPECT_NE(updated.find(".TRAN 1N 2e-08 0\n.TEMP 27\n.PLOT TRAN V(1)\n.PRINT TRAN V(1)\n.END\n"), std::string::npos)
        << updated;
    EXPECT_EQ(updated.find(".TRAN 1N 10N"), std::string::npos);

    // Only the number of points changed: the time range reads back as the user wrote it.
    Fresh();
    ASSERT_EQ(Read("t\nR1 1 0 1\n.tran 1n 50N\n.END\n"), 0) << LastMessage();
    Limits().transient[kLimitTNPts] = "26";
    ASSERT_EQ(UpdateTextAnalysisCommands(record_), 0);
    EXPECT_NE(record_->textArea.find(".tran 2e-09 50N 0\n"), std::string::npos) << record_->textArea;
    const std::string rewritten = record_->textArea;
    Fresh();
    ASSERT_EQ(Read(rewritten), 0) << LastMessage();
    EXPECT_EQ(Limits().transient[kLimitTRange], "50N");
}

// Expressions typed into the limits are written so that the next run reads the same rows back:
// one that is no plain output variable goes in braces, plain ones stay as SPICE writes them.
TEST_F(AnalysisLinesTest, ExpressionRowsReadBackAsTheyWereWritten)
{
    Analysis().analysisKind = kAnalysisTransient;
    ASSERT_EQ(Read("t\nR1 1 0 1\n.TRAN 1N 10N\n.PLOT TRAN V(1) V(2) V(3) (-1,1)\n.PRINT TRAN V(4) V(5)\n.END\n"), 0)
        << LastMessage();
    std::vector<LimitsRow>& rows = Rows(kAnalysisTransient);
    ASSERT_EQ(rows.size(), 5u);
    const std::vector<std::string> typed = {"-V(1)", "V(1) - V(2)", "DB(V(2))", "V(3)*1E-12", "V(1,2)"};
    for (std::size_t i = 0; i < typed.size(); ++i) rows[i].yExpression = typed[i];
    EXPECT_EQ(WritePrintPlotLines(record_, kAnalysisTransient, true, '0').text, ".PRINT TRAN V(3)*1E-12 V(1,2)");
    ASSERT_EQ(UpdateTextAnalysisCommands(record_), 0);
    const std::string rewritten = record_->textArea;
    EXPECT_NE(rewritten.find(".PLOT TRAN {-V(1)} {V(1) - V(2)} VDB(2) -1 1\n.PRINT TRAN {V(3)*1E-12} V(1,2)\n"),
              std::string::npos)
        << rewritten;
    Fresh();
    ASSERT_EQ(Read(rewritten), 0) << LastMessage();
    ASSERT_EQ(Rows(kAnalysisTransient).size(), 5u);
    const std::vector<std::string> read = {"-V(1)", "V(1)-V(2)", "DB(V(2))", "V(3)*1E-12", "V(1,2)"};
    for (std::size_t i = 0; i < read.size(); ++i) EXPECT_EQ(Rows(kAnalysisTransient)[i].yExpression, read[i]);
    EXPECT_EQ(Rows(kAnalysisTransient)[0].yRange, "1,-1");
}

// An AC netlist without a .NOISE line keeps none: the noise fields' defaults name no source.
TEST_F(AnalysisLinesTest, RewritingAnAcNetlistAddsNoNoiseLine)
{
    Analysis().analysisKind = kAnalysisAc;
    ASSERT_EQ(Read("t\nV1 1 0 AC 1\nR1 1 2 1K\nC1 2 0 1U\n.AC LIN 11 1K 10K\n.PRINT AC VM(2)\n.END\n"), 0) << LastMessage();
    Limits().ac[kLimitNInput] = "NONE";
    Limits().ac[kLimitNOutput] = "2";
    Limits().ac[kLimitANPts] = "21";
    ASSERT_EQ(UpdateTextAnalysisCommands(record_), 0);
    const std::string& updated = record_->textArea;
    EXPECT_NE(updated.find(".AC LIN 21 1K 10K\n"), std::string::npos) << updated;
    EXPECT_EQ(updated.find(".NOISE"), std::string::npos) << updated;
    Limits().ac[kLimitNInput] = "V1";
    EXPECT_EQ(WriteNoiseLine(record_), ".NOISE V(2) V1 10\n");
}

}  // namespace
}  // namespace kq5::testing
