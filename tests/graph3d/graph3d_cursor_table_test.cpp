// What a 3-D window shares with the analysis window: its cursors in the analysis window's
// cursor table while it is active in Cursor mode, and the editing of its plot objects.
#include "ui/edit_mode.h"
#include "ui/prompt_dialog.h"
#include "ui/window_class.h"
#include "ui/window_record.h"
#include "graph3d_test_support.h"
#include "platform/headless.h"
#include "platform/menu.h"
#include "platform/win_messages.h"
#include "results/curve_record.h"
#include "results/plot_object.h"
#include "plots/plot_object_draw.h"
#include "plots/plot_object_geometry.h"

namespace kq5::testing {
namespace {

void Activate(WindowRecord* window)
{
    win::SendMessage(window->window, win::WM_MDIACTIVATE, 0, reinterpret_cast<win::LPARAM>(window->window));
}

TEST_F(Graph3DTest, CursorModeLendsTheCursorsToTheAnalysisTableUntilTheWindowCloses)
{
    ASSERT_EQ(RunStepped(), 0);
    WindowRecord* window = AddPlot();
    ASSERT_NE(window, nullptr);
    Graph3DPlot& plot = PlotOf(window);
    const Graph3DSurface& s = plot.surface;
    ASSERT_TRUE(s.HasGrid());
    WindowRecord* analysis = RunControl().analysisWindow;
    ASSERT_NE(analysis, nullptr);
    CurveRecord& curve = *analysis->plot->curves[static_cast<std::size_t>(s.curveIndex)];
    curve.cursorX = {1e-3, 2e-3};
    curve.cursorY = {0.25, 0.5};
    curve.cursorZ = {0.0, 0.0};
    const int columns = static_cast<int>(s.xGrid.size());
    plot.surface.cursorPoint = {columns + 1, 2 * columns + 3};

    // Outside Cursor mode the analysis window keeps showing its own cursors.
    Activate(window);
    EXPECT_EQ(CursorTableOwner(), nullptr);
    EXPECT_DOUBLE_EQ(curve.cursorX[0], 1e-3);

    window->mode = kCommandCursorMode;
    Activate(window);
    EXPECT_EQ(CursorTableOwner(), window);
    EXPECT_DOUBLE_EQ(curve.cursorX[0], s.xGrid[1]);
    EXPECT_DOUBLE_EQ(curve.cursorY[0], s.rows[1][1]);
    EXPECT_DOUBLE_EQ(curve.cursorZ[0], s.zGrid[1]);
    EXPECT_DOUBLE_EQ(curve.cursorX[1], s.xGrid[3]);
    EXPECT_DOUBLE_EQ(curve.cursorY[1], s.rows[2][3]);
    EXPECT_DOUBLE_EQ(curve.cursorZ[1], s.zGrid[2]);

    // A cursor picked while the table is lent shows there at once.
    Graph3DView view;
    ASSERT_TRUE(CurrentGraph3DView(window, view));
    const auto corners = ProjectGraph3DPatch(plot, view, 10, 38);
    const win::POINT near{(corners[2].x * 3 + corners[0].x) / 4, (corners[2].y * 3 + corners[0].y) / 4};
    ASSERT_TRUE(PickGraph3DCursor(window, 1, near));
    EXPECT_DOUBLE_EQ(curve.cursorX[1], s.xGrid[11]);
    EXPECT_DOUBLE_EQ(curve.cursorZ[1], s.zGrid[39]);

    // Closing the window gives the analysis curve its own cursors back.
    DestroyPlotChildWindow(window->window);
    Pump();
    EXPECT_EQ(CursorTableOwner(), nullptr);
    EXPECT_DOUBLE_EQ(curve.cursorX[0], 1e-3);
    EXPECT_DOUBLE_EQ(curve.cursorX[1], 2e-3);
    EXPECT_DOUBLE_EQ(curve.cursorY[1], 0.5);
    EXPECT_DOUBLE_EQ(curve.cursorZ[1], 0.0);
}

TEST_F(Graph3DTest, LeavingCursorModeGivesTheTableBackAndASecondWindowTakesItOver)
{
    ASSERT_EQ(RunStepped(), 0);
    WindowRecord* first = AddPlot();
    WindowRecord* second = AddPlot();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    CurveRecord& curve = *RunControl().analysisWindow->plot->curves[static_cast<std::size_t>(PlotOf(second).surface.curveIndex)];
    curve.cursorX = {1e-3, 2e-3};
    first->mode = second->mode = kCommandCursorMode;
    PlotOf(second).surface.cursorPoint = {5, 6};
    Activate(first);
    Activate(second);
    EXPECT_EQ(CursorTableOwner(), second);
    EXPECT_DOUBLE_EQ(curve.cursorX[0], PlotOf(second).surface.xGrid[5]);
    // The first window closing leaves the second one's loan alone.
    DestroyPlotChildWindow(first->window);
    Pump();
    EXPECT_EQ(CursorTableOwner(), second);
    second->mode = kCommandSelectMode;
    Activate(second);
    EXPECT_EQ(CursorTableOwner(), nullptr);
    EXPECT_DOUBLE_EQ(curve.cursorX[0], 1e-3);
    EXPECT_DOUBLE_EQ(curve.cursorX[1], 2e-3);
}

TEST_F(Graph3DTest, DoubleClickOnAPlotObjectOpensItsEditor)
{
    ASSERT_EQ(RunStepped(), 0);
    WindowRecord* window = AddPlot();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->flags & kRecordHoldsPlotObjects);
    EXPECT_TRUE(RunControl().analysisWindow->flags & kRecordHoldsPlotObjects);
    PlotObject* text = CreatePlotObject(window, kObjectText, -1, win::RECT{60, 60, 60, 60});
    ASSERT_NE(text, nullptr);
    text->text = "Rise against R1";
    const win::RECT box = GetPlotObjectBounds(window, *text);
    ClearPromptDialogs();
    PromptAnswer cancel;
    cancel.button = 2;
    PushPromptAnswer(cancel);
    // Were the window's popup to come up instead, it is noted and closed.
    bool popup = false;
    Script([&] {
        popup = win::IsMenuTracking();
        if (popup) win::headless::PressKey(win::VK_ESCAPE);
    });
    win::SendMessage(window->window, win::WM_LBUTTONDBLCLK, 0,
                     win::MAKELPARAM((box.left + box.right) / 2, (box.top + box.bottom) / 2));
    Pump();
    EXPECT_FALSE(popup);
    ASSERT_EQ(PromptDialogLog().size(), 1u);
    EXPECT_EQ(PromptDialogLog()[0], "Analysis Text");
    EXPECT_EQ(text->text, "Rise against R1");
}

}  // namespace
}  // namespace kq5::testing
