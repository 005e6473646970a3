// A real analysis window after a run: the first point of the run keeps the solution at the start
// time, an animated run waits after each point, the plot's objects (texts, tags, measuring tags
// and shapes) are drawn over the curves where their coordinates put them, clipped to their plot.
#include "analysis_window_test_support.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "document/schematic_item.h"
#include "platform/gdi_dc.h"
#include "platform/paint.h"
#include "plots/plot_axes.h"
#include "results/plot_object.h"
#include "plots/plot_object_dialogs.h"
#include "plots/plot_object_draw.h"
#include "plots/plot_object_geometry.h"
#include "plots/plot_object_moves.h"
#include "plots/plot_view.h"
#include "results/plot_view_settings.h"
#include "results/waveform_store.h"

namespace kq5::testing {
namespace {

const std::string kRc =
    "RC STEP\nV1 1 0 PULSE(0 1 0 1N 1N 1 2)\nR1 1 2 1K\nC1 2 0 1U\n.TRAN 50U 5M\n.PRINT TRAN V(2)\n.END\n";

win::COLORREF Colour(int index)
{
    return index >= kFirstPaletteColor ? PaletteColor(index, true) : ColorTable().rows[static_cast<std::size_t>(index)].color;
}

double Stored(const CurveRecord& c, int axis, std::int32_t i)
{
    return GetWaveformValue(RunControl().analysisWindow->plot->store, c.storeSlots[static_cast<std::size_t>(axis)], i);
}

class AnalysisObjectsTest : public AnalysisWindowTest {
protected:
    void Redraw()
    {
        win::InvalidateRect(Window()->window, nullptr, 1);
        win::UpdateWindow(Window()->window);
        Pump();
    }
    // Pixels of the colour inside the box (edges included).
    static int Count(win::COLORREF ink, int left, int top, int right, int bottom)
    {
        int n = 0;
        for (int x = left; x <= right; ++x)
            for (int y = top; y <= bottom; ++y)
                if (ClientPixel(x, y) == ink) ++n;
        return n;
    }
};

TEST_F(AnalysisObjectsTest, TheRunsFirstPointKeepsTheSolutionAtTheStartTime)
{
    ASSERT_EQ(Run(kRc, kAnalysisTransient), 0);
    const CurveRecord& c = Curve(0);
    ASSERT_GT(c.lastPointIndex, 3);
    EXPECT_EQ(Stored(c, kWaveformX, 0), 0.0);
    EXPECT_EQ(Stored(c, kWaveformY, 0), 0.0);  // the operating point, not a line through later points
    EXPECT_DOUBLE_EQ(c.axisLow[kWaveformY], 0.0);
}

TEST_F(AnalysisObjectsTest, AnAnimatedRunWaitsTheDelayAfterEachPoint)
{
    ASSERT_EQ(Run(kRc, kAnalysisTransient), 0);
    const std::int32_t points = Curve(0).lastPointIndex + 1;
    ExitAnalysis();
    ResetRunControlForTests();
    ResetPlotRunForTests();
    InstallAnalysisKindHandlers();
    record_->document->animateWait = 2;
    record_->document->animateWaitTime = 4;
    // The wait is measured on the clock the program waits on: the desktop's on a display, the
    // test clock without one (where a batch run has nobody to wait for in real time).
    const win::DWORD start = win::CurrentBackend().Now();
    ASSERT_EQ(Run(kRc, kAnalysisTransient), 0);
    const win::DWORD elapsed = win::CurrentBackend().Now() - start;
    EXPECT_EQ(Curve(0).lastPointIndex + 1, points);
    // More than the delay between each two points (the first wait ends at once).
    EXPECT_GT(elapsed, static_cast<win::DWORD>((points - 1) * 4));
    record_->document->animateWait = 0;
}

TEST_F(AnalysisObjectsTest, ObjectsAreDrawnWhereTheirCoordinatesPutThem)
{
    ASSERT_EQ(Run(kRc, kAnalysisTransient), 0);
    WindowRecord* w = Window();
    CurveRecord& c = Curve(0);
    const win::RECT plot = c.plotRect;
    const int blue = 12, red = 9;
    ASSERT_NE(Colour(red), Colour(PlotViewOf(w->plot).graphBackground));

    // A line placed in the window across the middle of the plot.
    const int midY = (plot.top + plot.bottom) / 2;
    PlotObject* line = CreatePlotObject(w, kObjectLine, -1, win::RECT{plot.left + 20, midY, plot.right - 20, midY});
    ASSERT_NE(line, nullptr);
    line->color = static_cast<std::uint8_t>(red);
    // A line attached to the curve that runs from inside the plot far past its right edge.
    const double x0 = PixelToValue(c, kWaveformX, plot.left + 40);
    PlotObject* far = CreatePlotObject(w, kObjectLine, 0, win::RECT{plot.left + 40, plot.top + 30, plot.right + 60, plot.top + 30});
    ASSERT_NE(far, nullptr);
    far->color = static_cast<std::uint8_t>(blue);
    EXPECT_NEAR(far->x1, x0, std::fabs(x0) * 1e-9 + 1e-15);
    // A point tag at a stored point, with its label up and to the right.
    // The first stored point past a fifth of the run's time: well inside the plot.
    std::int32_t k = 0;
    while (k < c.lastPointIndex && Stored(c, kWaveformX, k) < 1e-3) ++k;
    ASSERT_LT(2 * k, c.lastPointIndex);
    const double tx = Stored(c, kWaveformX, k), ty = Stored(c, kWaveformY, k);
    const int px = CurveValueToPixel(c, kWaveformX, tx, 0.0), py = CurveValueToPixel(c, kWaveformY, ty, 0.0);
    PlotObject* tag = CreatePlotObject(w, kObjectTag, 0, win::RECT{px, py, px + 40, py - 30});
    ASSERT_NE(tag, nullptr);
    tag->color = static_cast<std::uint8_t>(red);
    // A vertical measuring tag between two points of the curve.
    const int qx = CurveValueToPixel(c, kWaveformX, Stored(c, kWaveformX, 2 * k), 0.0);
    const int qy = CurveValueToPixel(c, kWaveformY, Stored(c, kWaveformY, 2 * k), 0.0);
    PlotObject* measure = CreatePlotObject(w, kObjectMeasureV, 0, win::RECT{px, py, qx, qy});
    ASSERT_NE(measure, nullptr);
    measure->color = static_cast<std::uint8_t>(blue);
    // A bordered text in the window whose colour is the graph background's: it must show.
    PlotObject* text = CreatePlotObject(w, kObjectText, -1, win::RECT{plot.left + 60, plot.bottom - 60, plot.left + 60, plot.bottom - 60});
    ASSERT_NE(text, nullptr);
    text->text = "Step response";
    text->style = static_cast<std::uint16_t>(kObjectText | kTextBorder);
    text->font.color = static_cast<std::uint8_t>(PlotViewOf(w->plot).windowBackground);
    const int hidden = text->font.color;

    Redraw();
    AnalysisWindowTest::Shoot("analysis_plot_objects");

    // The window's line: every pixel of its middle stretch.
    const win::RECT lr = PlotObjectPixelRect(w, *line);
    EXPECT_EQ(lr.top, midY);
    EXPECT_EQ(Count(Colour(red), lr.left + 5, midY, lr.right - 5, midY), lr.right - lr.left - 9);
    // The attached line stops at the plot's edge.
    EXPECT_GT(Count(Colour(blue), plot.left + 45, plot.top + 30, plot.right - 1, plot.top + 30), plot.right - plot.left - 50);
    EXPECT_EQ(Count(Colour(blue), plot.right + 2, plot.top + 29, plot.right + 60, plot.top + 31), 0);
    // The tag's marker box surrounds the data point.
    EXPECT_EQ(ClientPixel(px - kTagMarkerHalf, py), Colour(red));
    EXPECT_EQ(ClientPixel(px + kTagMarkerHalf, py), Colour(red));
    // The measuring tag's dimension line stands halfway between its points.
    const int at = GetDimensionLinePixel(w, *measure);
    EXPECT_NEAR(at, (px + qx) / 2, 1);
    EXPECT_GT(Count(Colour(blue), at, std::min(py, qy) + kTagArrowSize + 1, at, std::max(py, qy) - kTagArrowSize - 1),
              std::abs(qy - py) - 2 * kTagArrowSize - 4);
    // The text took a colour off the background for good, and its box has its size.
    EXPECT_EQ(text->font.color, hidden ^ 15);
    win::RECT box{};
    win::HDC dc = win::GetDC(w->window);
    DrawPlotObject(w, dc, box, *text);
    EXPECT_EQ(box.left, plot.left + 60);
    const int ink = Count(Colour(text->font.color), plot.left + 50, plot.bottom - 70, plot.left + 200, plot.bottom - 30);
    EXPECT_GT(ink, 50);

    // During a run nothing is drawn.
    FillWindowBackground(w, dc, nullptr);
    win::ReleaseDC(w->window, dc);
    RunControl().running = 1;
    DrawPlotObjects(w, nullptr, -1, nullptr);
    RunControl().running = 0;
    EXPECT_EQ(Count(Colour(red), lr.left + 5, midY, lr.right - 5, midY), 0);
    // Drawing up to an object stops there: the objects come newest first.
    DrawPlotObjects(w, nullptr, -1, text);
    EXPECT_EQ(Count(Colour(red), lr.left + 5, midY, lr.right - 5, midY), 0);
    DrawPlotObjects(w, nullptr, -1, line);
    EXPECT_GT(Count(Colour(red), lr.left + 5, midY, lr.right - 5, midY), 0);
}

}  // namespace
}  // namespace kq5::testing
