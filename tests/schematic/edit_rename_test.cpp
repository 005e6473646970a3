#include <gtest/gtest.h>

#include "document/analysis_windows.h"
#include "edit_test_support.h"
#include "document/node_flags.h"
#include "schematic/attribute_dialog.h"
#include "schematic/edit_commands.h"
#include "schematic/rename_components.h"

namespace kq5 {
namespace {

using RenameTest = testing::EditTest;

TEST_F(RenameTest, PartsAreNumberedInReadingOrder)
{
    ComponentDefinition* r = Resistor();
    SchematicItem* a = Named(r, 10, 5, "R7");
    SchematicItem* b = Named(r, 2, 5, "R8");
    SchematicItem* c = Named(r, 4, 1, "R9");
    RenameComponents(record);
    EXPECT_EQ(GetAttributeText(c, kAttrPart), "R1");
    EXPECT_EQ(GetAttributeText(b, kAttrPart), "R2");
    EXPECT_EQ(GetAttributeText(a, kAttrPart), "R3");
    EXPECT_EQ(ListHead<SchematicItem>(doc->itemList), c);
    // The temporary old names are gone.
    EXPECT_EQ(FindAttribute(a, kAttrTempPart), nullptr);
    EXPECT_EQ(record->undoKind, kUndoBoxEdit);
}

TEST_F(RenameTest, ReferencesAreRewrittenOnceEachWholeWordsAnyCase)
{
    ComponentDefinition* r = Resistor();
    Named(r, 1, 1, "R2");  // becomes R1
    Named(r, 5, 1, "R1");  // becomes R2: the two names are exchanged
    GridText* define = Text(".DEFINE X r2+R1*R10", 1, 9);
    record->textArea = "* r1 and R2\n.PARAM K={R1}";
    doc->limits.transient[0] = "R1";
    doc->limitsRows[0].push_back(LimitsRow{});
    doc->limitsRows[0][0].yExpression = "I(R1)-I(r2)";
    RenameComponents(record);
    EXPECT_EQ(define->text, ".DEFINE X R1+R2*R10");
    EXPECT_EQ(record->textArea, "* R2 and R1\n.PARAM K={R2}");
    EXPECT_EQ(doc->limitsRows[0][0].yExpression, "I(R2)-I(R1)");
}

TEST_F(RenameTest, PerformanceThreeDAndMonteCarloFunctionsFollowTheNewNames)
{
    ComponentDefinition* r = Resistor();
    Named(r, 1, 1, "R2");  // becomes R1
    Named(r, 5, 1, "R1");  // becomes R2
    PerformanceWindowRecord* performance = AppendPerformanceWindow(*doc, 1);
    ASSERT_NE(performance, nullptr);
    ASSERT_EQ(AppendPerformanceFunctionRecord(*performance), 0);
    ASSERT_EQ(AppendPerformanceFunctionRecord(*performance), 0);
    performance->functions[0].expression = "I(R1)";
    performance->functions[1].expression = "V(R2)";
    performance->functions[1].boolean = "I(r1)>0";
    Graph3DPlot* graph = AppendGraph3DWindow(*doc, 0);
    ASSERT_NE(graph, nullptr);
    graph->function.expression = "I(R2)*I(R1)";
    MonteCarloWindowRecord* monteCarlo = AppendMonteCarloWindow(*doc, 2);
    ASSERT_NE(monteCarlo, nullptr);
    monteCarlo->function.boolean = "R1";
    RenameComponents(record);
    EXPECT_EQ(performance->functions[0].expression, "I(R2)");
    EXPECT_EQ(performance->functions[1].expression, "V(R1)");
    EXPECT_EQ(performance->functions[1].boolean, "I(R2)>0");
    EXPECT_EQ(graph->function.expression, "I(R1)*I(R2)");
    EXPECT_EQ(monteCarlo->function.boolean, "R2");
}

TEST_F(RenameTest, LongTextsAreNotCut)
{
    ComponentDefinition* r = Resistor();
    Named(r, 1, 1, "RLOAD");
    const std::string long60 = std::string(60, 'A') + "+RLOAD";
    doc->limitsRows[0].push_back(LimitsRow{});
    doc->limitsRows[0][0].yExpression = long60;
    RenameComponents(record);
    EXPECT_EQ(doc->limitsRows[0][0].yExpression, std::string(60, 'A') + "+R1");
}

TEST_F(RenameTest, UnnamedKindsKeepTheirNamesAndCountNothing)
{
    SchematicItem* ground = Named(Def(kComponentGround, {{0, 0}}), 1, 1, "GND");
    SchematicItem* tie = Named(Def(kComponentTie, {{0, 0}}), 2, 1, "T1");
    SchematicItem* blank = Named(Def(kComponentBlank, {}), 3, 1, "B");
    SchematicItem* r = Named(Resistor(), 9, 9, "R5");
    RenameComponents(record);
    EXPECT_EQ(GetAttributeText(ground, kAttrPart), "GND");
    EXPECT_EQ(GetAttributeText(tie, kAttrPart), "T1");
    EXPECT_EQ(GetAttributeText(blank, kAttrPart), "B");
    EXPECT_EQ(GetAttributeText(r, kAttrPart), "R1");
}

TEST_F(RenameTest, ReplaceWordRules)
{
    std::vector<bool> mask;
    std::string text = "RA+ra.x RAB (RA)";
    EXPECT_TRUE(ReplaceWord(text, mask, "RA", "Q"));
    EXPECT_EQ(text, "Q+Q.x RAB (Q)");
    std::string numeric = "1K";
    mask.clear();
    EXPECT_FALSE(ReplaceWord(numeric, mask, "1K", "2K"));  // an old name must begin like a name
    std::string swapped = "A B";
    EXPECT_TRUE(RenameInText(swapped, {{"A", "B"}, {"B", "A"}}));
    EXPECT_EQ(swapped, "B A");
    std::string grows = "R R";
    EXPECT_TRUE(RenameInText(grows, {{"R", "RR"}}));
    EXPECT_EQ(grows, "RR RR");
}

TEST_F(RenameTest, DefinesClashingWithNodeLabelsGetUnderscores)
{
    auto label = [&](const std::string& name, int x) {
        GridText* text = Text(name, x, 5);
        UpdateNodeLabelFlag(*text);
        return text;
    };
    GridText* vout = label("VOUT", 5);
    GridText* define = Text(".DEFINE VOUT 5", 1, 9);
    SchematicItem* r = Named(Resistor(), 1, 1, "R1");
    SetAttribute(record, r, kAttrValue, "{VOUT*2}");
    RenameDefines(record);
    EXPECT_EQ(define->text, ".DEFINE _VOUT 5");
    EXPECT_EQ(GetAttributeText(r, kAttrValue), "{_VOUT*2}");
    EXPECT_EQ(vout->text, "VOUT");

    label("_W", 20);
    label("W", 30);
    GridText* second = Text(".define W 1", 1, 11);
    RenameDefines(record);
    EXPECT_EQ(second->text, ".define __W 1");
    // A text that is no label names no node.
    Text("X Y", 40, 5);
    GridText* third = Text(".DEFINE X 2", 1, 13);
    RenameDefines(record);
    EXPECT_EQ(third->text, ".DEFINE X 2");
}

TEST_F(RenameTest, AttributeDisplayTurnsOneAttributeOffEverywhere)
{
    ComponentDefinition* r = Resistor();
    SchematicItem* a = Named(r, 1, 1, "R1");
    SchematicItem* b = Named(r, 5, 1, "R2");
    b->page = 1;
    for (SchematicItem* item : {a, b}) {
        FindAttribute(item, kAttrPart)->display = kAttrShowValue;
        SetAttribute(record, item, kAttrValue, "1k")->display = kAttrShowValue;
    }
    ApplyAttributeDisplay(record, {kDisplayTurnOff, kDisplayDontChange, kDisplayDontChange, kDisplayDontChange,
                                   kDisplayDontChange});
    for (SchematicItem* item : {a, b}) {
        EXPECT_EQ(FindAttribute(item, kAttrPart)->display & kAttrShowValue, 0);
        EXPECT_EQ(FindAttribute(item, kAttrValue)->display & kAttrShowValue, kAttrShowValue);
    }
}

}  // namespace
}  // namespace kq5
