// The one-level Undo of an edit that changed one item (the item was made the template just
// before), of a font or text colour change of the window, and of the plot scales: each Undo
// swaps, so a second one redoes.
#include <gtest/gtest.h>

#include <memory>

#include "document/component_attributes.h"
#include "edit_test_support.h"
#include "plots/curve_ranges.h"
#include "results/curve_record.h"
#include "schematic/edit_commands.h"
#include "document/editor_services.h"

namespace kq5 {
namespace {

class UndoKindsTest : public testing::EditTest {};

TEST_F(UndoKindsTest, AnItemEditedAfterBecomingTheTemplateComesBack)
{
    // A wire reshaped by a handle: it becomes the template, then its end moves.
    SchematicItem* wire = Wire(10, 10, 20, 10);
    SetItemAsTemplate(record, wire);
    EXPECT_EQ(record->undoKind, kUndoTemplate);
    wire->x2 = 30;
    wire->y2 = 16;
    EditUndo(record);
    EXPECT_EQ(Wires(), (std::vector<std::vector<int>>{{10, 10, 20, 10}}));
    EXPECT_EQ(record->undoKind, kUndoTemplate);
    EditUndo(record);
    EXPECT_EQ(Wires(), (std::vector<std::vector<int>>{{10, 10, 30, 16}}));

    // A component whose attributes were edited in the dialog gets its old texts back.
    SchematicItem* r1 = Comp(Resistor(), 40, 40);
    SetAttribute(record, r1, kAttrPart, "R1");
    SetItemAsTemplate(record, r1);
    SetAttribute(record, r1, kAttrPart, "RLOAD");
    r1->style = 0x40;
    EditUndo(record);
    EXPECT_EQ(GetAttributeText(r1, kAttrPart), "R1");
    EXPECT_EQ(r1->style, 0);
    EXPECT_TRUE(record->modified);
    EditUndo(record);
    EXPECT_EQ(GetAttributeText(r1, kAttrPart), "RLOAD");

    // An item gone from the drawing leaves nothing to undo.
    SchematicItem* object = Object(kObjectLine, 5, 5, 9, 9);
    SetItemAsTemplate(record, object);
    ListRemove(doc->itemList, object);
    EditUndo(record);
    EXPECT_EQ(record->undoKind, 0);
}

TEST_F(UndoKindsTest, AFontChangeOfTheWindowIsUndoneAndRedone)
{
    FontSpec before = doc->numOutFont;
    before.height = -13;
    before.color = 4;
    doc->numOutFont = before;
    SaveWindowFontForUndo(record);
    EXPECT_EQ(record->undoKind, kUndoFont);
    doc->numOutFont.height = -20;
    doc->numOutFont.color = 9;
    EditUndo(record);
    EXPECT_EQ(doc->numOutFont.height, -13);
    EXPECT_EQ(doc->numOutFont.color, 4);
    EditUndo(record);
    EXPECT_EQ(doc->numOutFont.height, -20);
    EXPECT_EQ(doc->numOutFont.color, 9);
}

TEST_F(UndoKindsTest, AChangeOfThePlotScalesIsUndoneAndRedone)
{
    WindowRecord* analysis = NewWindowRecord(nullptr, kWindowAnalysis);
    ASSERT_NE(analysis, nullptr);
    analysis->plot = std::make_shared<PlotRecord>();
    auto curve = std::make_unique<CurveRecord>();
    curve->plotGroup = 1;
    curve->axisLow = {0.0, -1.0};
    curve->axisHigh = {10.0, 1.0};
    analysis->plot->curves.push_back(std::move(curve));
    analysis->plot->curveCount = 1;
    CurveRecord& c = *analysis->plot->curves[0];

    PanPlotCommand(analysis, kCommandPanRight);
    EXPECT_EQ(analysis->undoKind, kUndoPlotScales);
    EXPECT_DOUBLE_EQ(c.axisLow[0], 1.0);
    EXPECT_DOUBLE_EQ(c.axisHigh[0], 11.0);
    EditUndo(analysis);
    EXPECT_DOUBLE_EQ(c.axisLow[0], 0.0);
    EXPECT_DOUBLE_EQ(c.axisHigh[0], 10.0);
    EXPECT_EQ(analysis->undoKind, kUndoPlotScales);
    EditUndo(analysis);
    EXPECT_DOUBLE_EQ(c.axisLow[0], 1.0);
    EXPECT_DOUBLE_EQ(c.axisHigh[0], 11.0);
}

}  // namespace
}  // namespace kq5
