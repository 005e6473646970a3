// Tags land on stored data points of the curves of their plot group, and texts and tags are
// caught by a click anywhere on what they draw, not only at their anchor point.
#include <cmath>

#include "analysis_window_test_support.h"
#include "ui/window_record.h"
#include "document/hit_test.h"
#include "document/schematic_item.h"
#include "plots/plot_axes.h"
#include "results/plot_object.h"
#include "plots/plot_object_draw.h"
#include "plots/plot_object_geometry.h"
#include "plots/plot_object_moves.h"
#include "results/waveform_store.h"

namespace kq5::testing {
namespace {

// V(2) charges towards 1 V; V(1) is the flat 1 V of the source, drawn in the same graph.
const std::string kRcTwoCurves =
    "RC STEP\nV1 1 0 PULSE(0 1 0 1N 1N 1 2)\nR1 1 2 1K\nC1 2 0 1U\n.TRAN 50U 5M\n.PRINT TRAN V(2) V(1)\n.END\n";

class PlotObjectSnapTest : public AnalysisWindowTest {
protected:
    static double Stored(const CurveRecord& c, int axis, std::int32_t i)
    {
        return GetWaveformValue(Plot().store, c.storeSlots[static_cast<std::size_t>(axis)], i);
    }
    static win::POINT PixelOf(const CurveRecord& c, std::int32_t i)
    {
        return win::POINT{CurveValueToPixel(c, kWaveformX, Stored(c, kWaveformX, i), 0.0),
                          CurveValueToPixel(c, kWaveformY, Stored(c, kWaveformY, i), 0.0)};
    }
    // The first point past a fifth of the run, where neighbouring points stand well apart.
    static std::int32_t PointInside(const CurveRecord& c)
    {
        std::int32_t k = 0;
        while (k < c.lastPointIndex && Stored(c, kWaveformX, k) < 1e-3) ++k;
        return k;
    }
};

TEST_F(PlotObjectSnapTest, TagsLandOnTheNearestStoredPointOfTheirGroup)
{
    ASSERT_EQ(Run(kRcTwoCurves, kAnalysisTransient), 0);
    WindowRecord* w = Window();
    ASSERT_GE(Plot().curveCount, 2);
    CurveRecord& charge = Curve(0);
    CurveRecord& source = Curve(1);
    ASSERT_EQ(charge.plotGroup, source.plotGroup);
    const std::int32_t k = PointInside(charge);
    ASSERT_LT(2 * k, charge.lastPointIndex);
    const win::POINT at = PixelOf(charge, k);
    ASSERT_GT(PixelOf(charge, k + 1).x - at.x, 5);

    // A point tag dropped a pixel or two off a point goes onto it; its label stays where it was put.
    PlotObject* tag = CreatePlotObject(w, kObjectTag, 0, win::RECT{at.x + 1, at.y + 2, at.x + 40, at.y - 30});
    ASSERT_NE(tag, nullptr);
    EXPECT_EQ(tag->w, 0);
    EXPECT_EQ(tag->x1, Stored(charge, kWaveformX, k));
    EXPECT_EQ(tag->y1, Stored(charge, kWaveformY, k));
    const win::RECT placed = PlotObjectPixelRect(w, *tag);
    EXPECT_EQ(placed.right, at.x + 40);
    EXPECT_EQ(placed.bottom, at.y - 30);

    // Near the source's flat line a tag asked for the charging curve goes to the source's point.
    const std::int32_t m = PointInside(source);
    const win::POINT onSource = PixelOf(source, m);
    ASSERT_GT(std::abs(PixelOf(charge, m).y - onSource.y), 20);
    PlotObject* moved = CreatePlotObject(w, kObjectTag, 0, win::RECT{onSource.x, onSource.y + 1, onSource.x, onSource.y - 20});
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->w, 1);
    EXPECT_EQ(moved->w2, 1);
    EXPECT_EQ(moved->y1, Stored(source, kWaveformY, m));

    // A measuring tag's two ends each go to their nearest point.
    const win::POINT far = PixelOf(charge, 2 * k);
    PlotObject* measure = CreatePlotObject(w, kObjectMeasureV, 0, win::RECT{at.x - 1, at.y + 1, far.x + 1, far.y - 2});
    ASSERT_NE(measure, nullptr);
    EXPECT_EQ(measure->x1, Stored(charge, kWaveformX, k));
    EXPECT_EQ(measure->y1, Stored(charge, kWaveformY, k));
    EXPECT_EQ(measure->x2, Stored(charge, kWaveformX, 2 * k));
    EXPECT_EQ(measure->y2, Stored(charge, kWaveformY, 2 * k));
    EXPECT_EQ(measure->w, 0);
    EXPECT_EQ(measure->w2, 0);

    // Objects placed in the window and shapes keep their points.
    PlotObject* line = CreatePlotObject(w, kObjectLine, 0, win::RECT{at.x + 1, at.y + 2, at.x + 30, at.y + 2});
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(PlotObjectPixelRect(w, *line).left, at.x + 1);

    // Nothing within reach: no point is returned.
    double x = 0.0, y = 0.0;
    EXPECT_EQ(NearestCurvePoint(w, win::POINT{at.x + 5000, at.y}, 0, x, y), -1);
    EXPECT_EQ(NearestCurvePoint(w, at, 7, x, y), -1);
}

TEST_F(PlotObjectSnapTest, TextsAndTagsAreCaughtOnWhatTheyDraw)
{
    ASSERT_EQ(Run(kRcTwoCurves, kAnalysisTransient), 0);
    WindowRecord* w = Window();
    w->flags |= kRecordHoldsPlotObjects;
    const win::RECT plot = Curve(0).plotRect;
    const int left = plot.left + 60, top = plot.bottom - 80;
    PlotObject* text = CreatePlotObject(w, kObjectText, -1, win::RECT{left, top, left, top});
    ASSERT_NE(text, nullptr);
    text->text = "A rather long annotation";
    const win::RECT bounds = GetPlotObjectBounds(w, *text);
    EXPECT_EQ(bounds.left, left);
    EXPECT_EQ(bounds.top, top);
    EXPECT_GT(bounds.right - bounds.left, 100);
    EXPECT_GT(bounds.bottom - bounds.top, 6);
    // A click in the middle of the text, far from its anchor, finds it.
    const int midX = (bounds.left + bounds.right) / 2, midY = (bounds.top + bounds.bottom) / 2;
    EXPECT_EQ(FindObjectAtPoint(w, nullptr, nullptr, midX, midY, 0), text);
    EXPECT_EQ(FindObjectAtPoint(w, nullptr, nullptr, bounds.right + 20, midY, 0), nullptr);

    // A point tag's value label belongs to it too.
    const std::int32_t k = PointInside(Curve(0));
    const win::POINT at = PixelOf(Curve(0), k);
    PlotObject* tag = CreatePlotObject(w, kObjectTag, 0, win::RECT{at.x, at.y, at.x + 30, at.y - 40});
    ASSERT_NE(tag, nullptr);
    const win::RECT tagBounds = GetPlotObjectBounds(w, *tag);
    EXPECT_GT(tagBounds.right, at.x + 80);
    EXPECT_EQ(FindObjectAtPoint(w, nullptr, nullptr, at.x + 50, at.y - 36, 0), tag);

    // An object of no kind has no bounds.
    PlotObject none;
    none.style = 0;
    EXPECT_EQ(GetPlotObjectBounds(w, none).left, -1);
    EXPECT_EQ(GetPlotObjectBounds(w, none).right, -1);
}

}  // namespace
}  // namespace kq5::testing
