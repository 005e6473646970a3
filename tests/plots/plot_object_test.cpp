#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "core/analysis_state.h"
#include "ui/app_state.h"
#include "ui/prompt_dialog.h"
#include "ui/window_record.h"
#include "core/linked_list.h"
#include "document/schematic_item.h"
#include "platform/backend.h"
#include "platform/window.h"
#include "results/curve_record.h"
#include "plots/plot_axes.h"
#include "plots/plot_click_services.h"
#include "results/plot_object.h"
#include "plots/plot_object_dialogs.h"
#include "plots/plot_object_geometry.h"
#include "plots/plot_object_moves.h"

namespace kq5 {
namespace {

class PlotObjectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win::ResetPlatformForTests();
        ResetAppStateForTests();
        ResetAnalysisStateForTests();
        ClearPromptDialogs();
        Analysis().analysisKind = kAnalysisTransient;
        record_ = NewWindowRecord(nullptr, kWindowAnalysis);
        record_->plot = std::make_shared<PlotRecord>();
        record_->window = win::CreateWindowEx(0, "STATIC", "", win::WS_POPUP | win::WS_VISIBLE, 0, 0, 400, 300, nullptr,
                                              nullptr, nullptr, nullptr);
        // One curve drawn in (40, 20)-(340, 220): X 0..10 linear, Y 1..1000 logarithmic.
        auto curve = std::make_unique<CurveRecord>();
        curve->plotRect = win::RECT{40, 20, 340, 220};
        curve->axisLow = {0.0, 1.0};
        curve->axisHigh = {10.0, 1000.0};
        curve->linear = {1, 0};
        record_->plot->curves.push_back(std::move(curve));
        record_->plot->curveCount = 1;
        LayOut();
    }
    // The axis mapping the plot layout computes for the curve.
    void LayOut()
    {
        ComputeCurveAxisMapping(*record_->plot, Curve(), kWaveformX);
        ComputeCurveAxisMapping(*record_->plot, Curve(), kWaveformY);
    }
    void TearDown() override
    {
        if (record_->window) win::DestroyWindow(record_->window);
        record_->window = nullptr;
        FreeWindowRecord(record_);
        ClearPromptDialogs();
        ResetAnalysisStateForTests();
    }

    std::vector<PlotObject*> Objects()
    {
        std::vector<PlotObject*> out;
        for (PlotObject& o : ListRecords<PlotObject>(record_->plot->objects)) out.push_back(&o);
        return out;
    }

    CurveRecord& Curve() { return *record_->plot->curves[0]; }

    WindowRecord* record_ = nullptr;
};

TEST_F(PlotObjectTest, WindowFractionsAndTheirGuards)
{
    EXPECT_DOUBLE_EQ(WindowFractionFromPixel(140, 40, 400), 2500.0);
    EXPECT_EQ(PixelFromWindowFraction(2500.0, 40, 400), 140);
    EXPECT_EQ(PixelFromWindowFraction(3333.0, 0, 100), 33);  // truncated
    // A window of no size: no division by zero, and a round trip keeps the fraction.
    EXPECT_EQ(WindowFractionFromPixel(140, 40, 0), 140.0);
    EXPECT_EQ(PixelFromWindowFraction(2500.0, 40, 0), 2500);
    EXPECT_EQ(WindowFractionFromPixel(PixelFromWindowFraction(2500.0, 40, 0), 40, 0), 2500.0);
    EXPECT_EQ(PixelFromWindowFraction(std::nan(""), 40, 100), 40);
}

TEST_F(PlotObjectTest, ObjectsOnACurveStandWhereTheCurveIsDrawn)
{
    EXPECT_EQ(CurveUnitToPixel(Curve(), kWaveformX, 5.0), 190);
    EXPECT_EQ(CurveUnitToPixel(Curve(), kWaveformY, 10.0), 153);  // a third up a 200-pixel log axis
    // The pixel the curve drawing gives a value is the object's pixel for it.
    for (double v : {0.0, 1.25, 3.3, 7.77, 10.0})
        EXPECT_EQ(CurveUnitToPixel(Curve(), kWaveformX, v), CurveValueToPixel(Curve(), kWaveformX, v, 0.0)) << v;
    // A pixel taken to a value and back stays the same pixel.
    for (int p = 40; p <= 340; ++p)
        EXPECT_EQ(CurveUnitToPixel(Curve(), kWaveformX, PixelToValue(Curve(), kWaveformX, p)), p) << p;
    for (int p = 20; p <= 220; ++p)
        EXPECT_EQ(CurveUnitToPixel(Curve(), kWaveformY, PixelToValue(Curve(), kWaveformY, p)), p) << p;
    // A far value is held to pixels every device draws; an axis without span stays finite.
    EXPECT_EQ(CurveUnitToPixel(Curve(), kWaveformX, 1e300), 8000000);
    Curve().axisHigh[0] = Curve().axisLow[0];
    LayOut();
    EXPECT_EQ(CurveUnitToPixel(Curve(), kWaveformX, 0.5), 190);
    EXPECT_TRUE(std::isfinite(PixelToValue(Curve(), kWaveformX, 77)));
}

TEST_F(PlotObjectTest, AbsoluteTextsStayAndRelativeTextsMoveWithTheScales)
{
    PlotObject* absolute = CreatePlotObject(record_, kObjectText, -1, win::RECT{100, 150, 100, 150});
    PlotObject* relative = CreatePlotObject(record_, kObjectText, 0, win::RECT{190, 153, 190, 153});
    ASSERT_NE(absolute, nullptr);
    ASSERT_NE(relative, nullptr);
    EXPECT_DOUBLE_EQ(absolute->x1, 2500.0);
    EXPECT_DOUBLE_EQ(absolute->y1, 5000.0);
    EXPECT_NEAR(relative->x1, 5.0, 1e-12);
    EXPECT_EQ(absolute->analysisKind, 1);
    EXPECT_EQ(absolute->layer, kPlotObjectLayer);
    // The later object comes first.
    ASSERT_EQ(Objects().size(), 2u);
    EXPECT_EQ(Objects()[0], relative);

    // Zoom: X now 0..20.
    Curve().axisHigh[0] = 20.0;
    LayOut();
    const win::RECT a = PlotObjectPixelRect(record_, *absolute);
    const win::RECT r = PlotObjectPixelRect(record_, *relative);
    EXPECT_EQ(a.left, 100);
    EXPECT_EQ(a.top, 150);
    EXPECT_EQ(r.left, 115);  // 5 of 20 across 300 pixels
}

TEST_F(PlotObjectTest, AMeasuringTagStartsWithItsLineHalfway)
{
    PlotObject* tag = CreatePlotObject(record_, kObjectMeasureV, 0, win::RECT{40, 20, 340, 220});
    ASSERT_NE(tag, nullptr);
    EXPECT_NEAR(tag->measured, 5.0, 1e-12);  // halfway between X 0 and 10
    EXPECT_EQ(GetDimensionLinePixel(record_, *tag), 190);
    SetDimensionLineFromPixel(record_, *tag, 100);
    EXPECT_NEAR(tag->measured, 2.0, 1e-12);
}

TEST_F(PlotObjectTest, DeleteAllObjectsOfTheAnalysisAndTheInvalidOnes)
{
    CreatePlotObject(record_, kObjectText, -1, win::RECT{});
    Analysis().analysisKind = kAnalysisAc;
    CreatePlotObject(record_, kObjectText, -1, win::RECT{});
    Analysis().analysisKind = kAnalysisDc;
    CreatePlotObject(record_, kObjectLine, -1, win::RECT{});
    PlotObject* broken = CreatePlotObject(record_, kObjectText, -1, win::RECT{});
    broken->analysisKind = 7;
    PlotObject* kindless = CreatePlotObject(record_, 0, -1, win::RECT{});
    ASSERT_NE(kindless, nullptr);
    EXPECT_EQ(DeletePlotObjects(record_, kAnalysisTransient), 3);
    ASSERT_EQ(Objects().size(), 2u);
    for (const PlotObject* o : Objects()) EXPECT_NE(o->analysisKind, 1);
    EXPECT_EQ(DeletePlotObjects(record_, -1), 0);
}

TEST_F(PlotObjectTest, AddedTextsTakeTheDialogsTextAndFlags)
{
    PromptAnswer answer;
    answer.text = "Gain peak";
    answer.controls = {{kTextOpaqueCheck, 1}, {kTextBorderCheck, 1}};
    PushPromptAnswer(answer);
    AddPlotTextObject(record_, 140, 170, -1);
    ASSERT_EQ(Objects().size(), 1u);
    const PlotObject& text = *Objects()[0];
    EXPECT_EQ(text.text, "Gain peak");
    EXPECT_EQ(text.style, kObjectText | kTextOpaque | kTextBorder);
    EXPECT_EQ(text.w, -1);
    EXPECT_DOUBLE_EQ(text.x1, 3500.0);

    // Cancel, or an empty text, adds nothing.
    PromptAnswer cancel;
    cancel.button = 2;
    PushPromptAnswer(cancel);
    AddPlotTextObject(record_, 10, 10, -1);
    PromptAnswer empty;
    empty.text = "";
    PushPromptAnswer(empty);
    AddPlotTextObject(record_, 10, 10, 0);
    EXPECT_EQ(Objects().size(), 1u);
}

}  // namespace
}  // namespace kq5
