// The build driver: whole builds of text and schematic circuits, their failure paths, the
// default definitions file, progress, preparation and teardown.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "build_test_support.h"
#include "analog/analog_state.h"
#include "analog/operating_point.h"
#include "core/expr_compiler.h"
#include "core/expr_symbols.h"
#include "netlist/resistor_device.h"
#include "netlist/source_device.h"
#include "netlist/defines.h"
#include "core/part_instance.h"
#include "netlist/spice_dot_commands.h"

namespace kq5::testing {
namespace {

using DriverTest = BuildTest;

constexpr const char* kDivider = "* divider\nV1 1 0 DC 5\nR1 1 2 1K\nR2 2 0 2K\n.END\n";

TEST_F(DriverTest, TextCircuitBuildsItsDevicesAndLabels)
{
    ASSERT_EQ(BuildText(kDivider), 0) << LastShownText();
    const auto r = Records<ResistorDevice>(kResistorDeviceList);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_DOUBLE_EQ(r[1]->value, 2000.0);
    EXPECT_EQ(AnalogNodeCount(), 2);
    EXPECT_TRUE(CircuitBuild().built);
    EXPECT_EQ(Document().analysisNodeCounts[0], 2);
    EXPECT_EQ(CircuitBuild().realComponentCount, 3);
    // The solution is sized before the expressions that point into it.
    EXPECT_GE(Analysis().solution.real.size(), 5u);
    // Expressions find the parts by label and the nodes by name.
    const DeviceRecordFields* r2 = FindDeviceByLabel("R2", ~0u);
    ASSERT_NE(r2, nullptr);
    EXPECT_EQ(FindDeviceField(*r2, "R"), &r[1]->value);
    EXPECT_TRUE(r2->twoTerminal);
    EXPECT_EQ(r2->nodes[0], 2);
    CompiledExpression expression;
    ExpressionRequest request;
    InitExpressionRecord("V(2)", &expression, kContextTransient, kItemNumber, request);
    EXPECT_EQ(CompileExpression(request), 0);
    FreeCompiledExpression(expression);
}

TEST_F(DriverTest, SolutionIsSizedForTheBranchRowsBeforeExpressionsPointIntoIt)
{
    // Two voltage sources and an inductor give three branch rows beyond the three nodes.
    ASSERT_EQ(BuildText("* branches\nV1 1 0 DC 5\nR1 1 2 1K\nL1 2 3 1M\nV2 3 0 DC 1\n.END\n"), 0)
        << LastShownText();
    EXPECT_EQ(EquationCount(), 6);
    ASSERT_GE(Analysis().solution.real.size(), 9u);
    const double* before = Analysis().solution.real.data();
    ASSERT_EQ(PrepareAnalogSolver(true, AnalogSolver().operatingPointSet), 0);
    EXPECT_EQ(Analysis().solution.real.data(), before);
    FreeAllStampSets();
    ResetAnalogSolverStateForTests();
}

TEST_F(DriverTest, RebuildingDoesNotDuplicateTheTextComponents)
{
    ASSERT_EQ(BuildText(kDivider), 0);
    const int items = Document().itemList.count;
    ASSERT_EQ(BuildCircuit(kBuildForAnalysis), 0) << LastShownText();
    EXPECT_EQ(Document().itemList.count, items);
    EXPECT_EQ(DeviceList(kResistorDeviceList).count, 2);
    FreeBuiltCircuit(0xFF);
    EXPECT_EQ(Document().itemList.count, 0);
}

TEST_F(DriverTest, WholeCircuitFaults)
{
    struct Case {
        const char* netlist;
        int analysis;
        int id;
    } cases[] = {
        {"* no ground\nV1 1 2 5\nR1 1 2 1K\n.END\n", kAnalysisTransient, 10838},
        {"* nothing\n.END\n", kAnalysisTransient, 10849},
        {"* nothing\n.END\n", kAnalysisAc, 10832},
        {"* loop\nV1 1 0 5\nL1 1 0 1U\n.END\n", kAnalysisTransient, 10853},
        {"* float\nV1 1 0 5\nC1 1 2 1U\nC2 2 0 1U\n.END\n", kAnalysisTransient, 10856},
        {"* current into C\nI1 0 1 1M\nC1 1 0 1U\n.END\n", kAnalysisTransient, 10856},
        {"* current into C\nI1 0 1 1M\nC1 1 0 1U\n.END\n", kAnalysisAc, 10856},
        {"* current into C\nI1 0 1 1M\nC1 1 0 1U\n.END\n", kAnalysisDc, 10856},
        {"* bad value\nV1 1 0 5 DC 6\nR1 1 0 1K\n.END\n", kAnalysisTransient, 10839},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.netlist);
        win::ClearMessageBoxLog();
        EXPECT_EQ(BuildText(c.netlist, c.analysis), kMsgAlreadyReported);
        EXPECT_EQ(LastShownId(), c.id);
        // A failed build leaves no devices behind.
        EXPECT_EQ(DeviceList(kResistorDeviceList).count, 0);
        EXPECT_TRUE(Devices().recordFields.empty());
        FreeBuiltCircuit(0xFF);
    }
}

TEST_F(DriverTest, AcRunWarnsWhenNoSourceGivesASignal)
{
    ASSERT_EQ(BuildText(kDivider, kAnalysisAc), 0);
    EXPECT_TRUE(CircuitBuild().acSignalWarning);
    EXPECT_EQ(LastShownId(), 11891);
    FreeBuiltCircuit(0xFF);
    win::ClearMessageBoxLog();
    ASSERT_EQ(BuildText("* ac\nV1 1 0 DC 0 AC 1\nR1 1 0 1K\n.END\n", kAnalysisAc), 0);
    EXPECT_FALSE(CircuitBuild().acSignalWarning);
    EXPECT_TRUE(ShownIds().empty());
}

TEST_F(DriverTest, MissingHiddenNodeStopsTheBuildFirst)
{
    SchematicItem* item = Part(kComponentResistor, "R1", {1, 0}, {{kAttrValue, "1K"}});
    Connectivity().unresolvedGlobalPinItem = item;
    Connectivity().unresolvedGlobalPinName = "VDD";
    EXPECT_EQ(BuildCircuit(kBuildForAnalysis), kMsgAlreadyReported);
    EXPECT_EQ(LastShownId(), 10860);
    EXPECT_NE(LastShownText().find("VDD"), std::string::npos);
    EXPECT_EQ(DeviceList(kResistorDeviceList).count, 0);
}

TEST_F(DriverTest, OutOfMemoryAndBuildErrorsReportOnce)
{
    ClearCircuitBuildError();
    EXPECT_EQ(FlagCircuitBuildOutOfMemory(), kMsgAlreadyReported);
    EXPECT_EQ(FlagCircuitBuildOutOfMemory(), kMsgAlreadyReported);
    EXPECT_EQ(ShownIds(), std::vector<int>{15002});
    EXPECT_TRUE(CircuitBuildFailed());

    win::ClearMessageBoxLog();
    ClearCircuitBuildError();
    ReportBuildError(kBuildErrorNoGround);
    ReportBuildError(kBuildErrorNoNodes);
    EXPECT_EQ(ShownIds(), std::vector<int>{10831});
}

// A schematic with real connectivity: a source and a resistor, with or without a ground.
class SchematicTest : public BuildTest {
protected:
    void SetUp() override
    {
        BuildTest::SetUp();
        record_->flags |= kRecordSharesLists;  // connectivity runs without a window
    }
    void Circuit(bool ground)
    {
        Placed(kComponentBattery, "V1", 0, 0, {{0, 0}, {0, 4}}, {{kAttrValue, "5"}});
        Placed(kComponentResistor, "R1", 0, 0, {{0, 0}, {0, 4}}, {{kAttrValue, "1K"}});
        if (ground) Placed(kComponentGround, "", 0, 4, {{0, 0}});
    }
};

TEST_F(SchematicTest, GroundedSchematicBuilds)
{
    Circuit(true);
    ASSERT_EQ(BuildCircuit(kBuildForAnalysis), 0) << LastShownText();
    const auto r = Records<ResistorDevice>(kResistorDeviceList);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0]->nodeB, 0);
    EXPECT_EQ(r[0]->nodeA, 1);
    EXPECT_TRUE(CircuitBuild().groundFound);
}

TEST_F(SchematicTest, SchematicWithoutGroundFails)
{
    Circuit(false);
    EXPECT_EQ(BuildCircuit(kBuildForAnalysis), kMsgAlreadyReported);
    EXPECT_EQ(LastShownId(), 10831);
}

TEST_F(SchematicTest, IllegalPartNamesAreRenamedWhenTheUserAgrees)
{
    Placed(kComponentBattery, "V1", 0, 0, {{0, 0}, {0, 4}}, {{kAttrValue, "5"}});
    SchematicItem* r = Placed(kComponentResistor, "1R", 0, 0, {{0, 0}, {0, 4}}, {{kAttrValue, "1K"}});
    Placed(kComponentGround, "", 0, 4, {{0, 0}});
    win::PushMessageBoxAnswer(win::IDYES);
    EXPECT_EQ(BuildCircuitWithRenames(kBuildForAnalysis), 0) << LastShownText();
    const std::string renamed = GetAttributeText(r, kAttrPart);
    EXPECT_NE(renamed, "1R");
    EXPECT_EQ(renamed.front(), 'R');
    EXPECT_EQ(DeviceList(kResistorDeviceList).count, 1);
}

TEST_F(SchematicTest, OAndNPartsTakeTheirModelFromModel)
{
    // A DOUTPUT model named by the O part's MODEL attribute, as its type row lists it.
    GridText* model = NewGridText(record_);
    model->text = ".MODEL DO1 DOUTPUT (S0NAME=0 S1NAME=1)";
    GridText* io = NewGridText(record_);
    io->text = ".MODEL IO1 UIO";
    Placed(kComponentDigitalOutput, "O1", 0, 0, {{0, 0}, {0, 4}, {4, 0}}, {{kAttrModel, "DO1"}, {kAttrIoModel, "IO1"}});
    EXPECT_EQ(PrepareCircuit(record_, nullptr, kPrepareResolveModels), 0) << LastShownText();
    EXPECT_EQ(ComponentTypeUseCount(kComponentDigitalOutput), 1u);
    for (int id : ShownIds()) EXPECT_NE(id, 10834);
}

TEST_F(SchematicTest, DigitalGatesTakeTheirTimingModel)
{
    Placed(kComponentBuf, "U1", 0, 0, {{0, 0}, {4, 0}}, {{kAttrTimingModel, "NOTIMING"}, {kAttrIoModel, ""}});
    EXPECT_EQ(PrepareCircuit(record_, nullptr, kPrepareResolveModels), 1);
    EXPECT_EQ(LastShownId(), 10834);
    EXPECT_NE(LastShownText().find("NOTIMING"), std::string::npos);
}

TEST_F(DriverTest, ProgressOnlyForLargeCircuits)
{
    StatusText().shown = true;
    StatusText().text = "Ready";
    // 1000 items: no progress.
    for (int i = 0; i < 999; ++i) NewSchematicItem(record_)->itemKind = kItemWire;
    Part(kComponentResistor, "R1", {1, 0}, {{kAttrValue, "1K"}});
    ASSERT_TRUE(Translate());
    EXPECT_TRUE(CircuitBuild().lastProgressText.empty());

    // 1001 items: the tenth is a component, so the first progress text reads item 10 at 0%.
    Fresh();
    for (int i = 0; i < 1001; ++i) NewSchematicItem(record_)->itemKind = kItemWire;
    auto* tenth = static_cast<SchematicItem*>(Document().itemList.head);
    for (int i = 1; i < 10; ++i) tenth = static_cast<SchematicItem*>(tenth->next);
    tenth->itemKind = kItemComponent;
    tenth->definition = Definition(kComponentResistor, 2);
    tenth->pinNodes = {1, 0};
    SetAttribute(record_, tenth, kAttrPart, "R1");
    SetAttribute(record_, tenth, kAttrValue, "1K");
    ASSERT_TRUE(Translate());
    EXPECT_EQ(CircuitBuild().lastProgressText, "Processing Component 10 of 1001 0%");
    // The saved status text is shown again at the end.
    EXPECT_EQ(StatusText().text, "Ready");
}

class DefinitionsFileTest : public BuildTest {
protected:
    void SetUp() override
    {
        BuildTest::SetUp();
        directory_ = std::filesystem::temp_directory_path() / ("kq5-n3-" + std::to_string(::getpid()));
        std::filesystem::create_directories(directory_);
        Settings().programDirectory = directory_.string() + "/";
    }
    void TearDown() override
    {
        std::filesystem::remove_all(directory_);
        BuildTest::TearDown();
    }
    void Write(const std::string& text) { std::ofstream(directory_ / "DEF.KQ5") << text; }
    bool HasTextObject(const std::string& start)
    {
        for (const NetlistTextObject& text : ListRecords<NetlistTextObject>(CircuitTextObjects()))
            if (text.text.rfind(start, 0) == 0) return true;
        return false;
    }

    std::filesystem::path directory_;
};

TEST_F(DefinitionsFileTest, AbsentFileIsNoError)
{
    ASSERT_EQ(BuildText(kDivider), 0);
}

TEST_F(DefinitionsFileTest, DefinesApplyAndSubcircuitLinesStayOut)
{
    // A stray .ENDS must not hide the lines after it, and a .SUBCKT in lower case opens a block.
    Write(".DEFINE RVAL 3K\n.ENDS\n.OPTIONS RELTOL=1E-4\n.subckt INNER 1 2\n.OPTIONS GMIN=1E-9\n"
          ".DEFINE INNERDEF 5\n.ends\n");
    ASSERT_EQ(BuildText("* def\nV1 1 0 5\nR1 1 0 RVAL\n.END\n"), 0) << LastShownText();
    EXPECT_DOUBLE_EQ(Records<ResistorDevice>(kResistorDeviceList).front()->value, 3000.0);
    EXPECT_TRUE(HasTextObject(".OPTIONS RELTOL"));
    EXPECT_FALSE(HasTextObject(".OPTIONS GMIN"));
    EXPECT_GE(FindDefine(0, "INNERDEF"), 0);
    EXPECT_DOUBLE_EQ(GlobalOptions().values.reltol, 1e-4);
}

TEST_F(DefinitionsFileTest, BadDefineFailsTheBuild)
{
    Write(".DEFINE 1BAD 5\n");
    EXPECT_EQ(BuildText(kDivider), kMsgAlreadyReported);
    EXPECT_FALSE(ShownIds().empty());
}

TEST(DotKeywords, MatchNeedsASeparatorAndKnowsShortForms)
{
    InitCharClasses();
    EXPECT_EQ(MatchDotKeyword(".define X 1", kDotDefine), 7u);
    EXPECT_EQ(MatchDotKeyword(".DEFINEX 1", kDotDefine), 0u);
    EXPECT_EQ(MatchDotKeyword(".INC file", kDotInclude), 4u);
    EXPECT_EQ(MatchDotKeyword(".LIB nom.lib", kDotLibrary), 4u);
    EXPECT_EQ(MatchDotKeyword(".OPT", kDotOptions), 4u);
    EXPECT_EQ(MatchDotKeywordCase(".opt", kDotOptions), 0u);
    EXPECT_EQ(MatchDotKeyword(".MODEL(", kDotModel), 6u);
}

}  // namespace
}  // namespace kq5::testing
