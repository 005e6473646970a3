#include <gtest/gtest.h>

#include <vector>

#include "ui/edit_mode.h"
#include "ui/program_settings.h"
#include "document/node_flags.h"
#include "document_test_support.h"
#include "document/component_types.h"

namespace kq5 {
namespace {

using testing::DocumentTest;

constexpr int kHorizontal = 100;
constexpr int kBoth = 102;
constexpr int kNone = 105;
constexpr int kPitch = 106;
constexpr int kInstances = 107;

class NodeFlagTest : public DocumentTest {
protected:
    void AnswerGridText(const std::string& text, int direction, int instances, int pitch)
    {
        PromptAnswer answer;
        answer.text = text;
        answer.controls = {{direction, 1}, {kNone, direction == kNone ? 1 : 0}, {kInstances, instances}, {kPitch, pitch}};
        PushPromptAnswer(answer);
    }

    // Grid texts in list order (new ones are put at the head).
    std::vector<GridText*> Texts()
    {
        std::vector<GridText*> texts;
        for (GridText& text : ListRecords<GridText>(document_->gridTextList)) texts.push_back(&text);
        return texts;
    }
};

TEST_F(NodeFlagTest, ARowOfGridTextsIsNumberedOn)
{
    AnswerGridText("IN1", kHorizontal, 3, 2);
    EXPECT_EQ(PlaceGridTextOrFlag(record_, 10, 20, false), 0);
    const std::vector<GridText*> texts = Texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[2]->text, "IN1");
    EXPECT_EQ(texts[2]->x, 10);
    EXPECT_EQ(texts[1]->text, "IN2");
    EXPECT_EQ(texts[1]->x, 12);
    EXPECT_EQ(texts[0]->text, "IN3");
    EXPECT_EQ(texts[0]->x, 14);
    for (const GridText* text : texts) {
        EXPECT_EQ(text->y, 20);
        EXPECT_EQ(text->selection, kSelected | kSelectNew);
        EXPECT_TRUE(text->IsValidLabel());
    }
    EXPECT_EQ(record_->modified, 1);
    EXPECT_EQ(PromptDialogLog().back(), "Grid Text");
    EXPECT_EQ(Lists().listAppendMode, kListAppend);
}

TEST_F(NodeFlagTest, ASquareIsNumberedRowByRow)
{
    AnswerGridText("A", kBoth, 2, 3);
    PlaceGridTextOrFlag(record_, 5, 5, false);
    const std::vector<GridText*> texts = Texts();
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[3]->text, "A");
    EXPECT_EQ(texts[2]->text, "A1");
    EXPECT_EQ(texts[2]->x, 8);
    EXPECT_EQ(texts[1]->text, "A2");
    EXPECT_EQ(texts[1]->x, 5);
    EXPECT_EQ(texts[1]->y, 8);
    EXPECT_EQ(texts[0]->text, "A3");
}

TEST_F(NodeFlagTest, NegativePitchStopsAtTheFirstGridLine)
{
    AnswerGridText("X", kHorizontal, 3, -4);
    PlaceGridTextOrFlag(record_, 6, 3, false);
    const std::vector<GridText*> texts = Texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[2]->x, 6);
    EXPECT_EQ(texts[1]->x, 2);
    EXPECT_EQ(texts[0]->x, 1);
}

TEST_F(NodeFlagTest, FlagsArePlacedOnceAndNothingForAnEmptyText)
{
    PushPromptAnswer(PromptAnswer{1, std::string("VCC"), std::nullopt, {{kHorizontal, 1}, {kInstances, 5}}});
    PlaceGridTextOrFlag(record_, 4, 4, true);
    ASSERT_EQ(document_->gridTextList.count, 1);
    const GridText* flag = Texts()[0];
    EXPECT_TRUE(flag->IsFlag());
    EXPECT_FALSE(flag->IsValidLabel());
    EXPECT_EQ(PromptDialogLog().back(), "Flag");

    record_->modified = 0;
    PushPromptAnswer(PromptAnswer{1, std::string(), std::nullopt, {}});
    PlaceGridTextOrFlag(record_, 4, 4, false);
    PushPromptAnswer(PromptAnswer{2, std::string("Z"), std::nullopt, {}});
    PlaceGridTextOrFlag(record_, 4, 4, false);
    EXPECT_EQ(document_->gridTextList.count, 1);
    EXPECT_EQ(record_->modified, 0);
}

TEST_F(NodeFlagTest, LabelBitFollowsTheText)
{
    GridText* text = NewGridText(record_);
    text->text = "OUT_1";
    UpdateNodeLabelFlag(*text);
    EXPECT_TRUE(text->IsValidLabel());
    text->text = "two words";
    UpdateNodeLabelFlag(*text);
    EXPECT_FALSE(text->IsValidLabel());
    text->text = "";
    UpdateNodeLabelFlag(*text);
    EXPECT_FALSE(text->IsValidLabel());
}

TEST_F(NodeFlagTest, EditingInPlaceOpensTheFittingEditor)
{
    SchematicItem* wire = AddWire(1, 1, 4, 1);
    EditNodeInPlace(record_, wire);
    EXPECT_TRUE(PromptDialogLog().empty());

    SchematicItem* resistor = AddComponent(Definition("Resistor", kComponentResistor), 5, 5);
    ComponentAttribute* value = SetAttribute(record_, resistor, kAttrValue, "1k");
    EditNodeInPlace(record_, value);
    ASSERT_EQ(PromptDialogLog().size(), 1u);
    EXPECT_EQ(PromptDialogLog().back(), "Resistor");
    EXPECT_EQ(record_->modified, 1);

    SchematicItem* ground = AddComponent(Definition("Ground", kComponentGround), 5, 5);
    EXPECT_EQ(OpenComponentAttributes(record_, ground), 0);
    EXPECT_EQ(PromptDialogLog().size(), 1u);
}

TEST_F(NodeFlagTest, EditingAGridTextToNothingLeavesIt)
{
    GridText* text = NewGridText(record_);
    text->text = "N1";
    PushPromptAnswer(PromptAnswer{1, std::string(), std::nullopt, {}});
    EditNodeInPlace(record_, text);
    EXPECT_EQ(text->text, "N1");
    EXPECT_EQ(record_->modified, 0);

    PushPromptAnswer(PromptAnswer{1, std::string("bad label"), FontSpec{20, 0, 0, 4}, {}});
    EditNodeInPlace(record_, text);
    EXPECT_EQ(text->text, "bad label");
    EXPECT_FALSE(text->IsValidLabel());
    EXPECT_EQ(text->font.height, 20);
    EXPECT_EQ(document_->gridTextFont.height, 0);  // the template took the old font
    EXPECT_EQ(record_->modified, 1);

    Analysis().analysisKind = kAnalysisDc;
    PushPromptAnswer(PromptAnswer{1, std::string("N9"), std::nullopt, {}});
    EditNodeInPlace(record_, text);
    EXPECT_EQ(text->text, "bad label");
}

}  // namespace
}  // namespace kq5
