// 3-D plot windows over a real stepped analysis: the surface from the stored runs, rotation by
// keys and by drag, the cursor pick, the popup commands, the dialog and the screenshots.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <cmath>
#include <vector>

#include "../printing/pdf_probe.h"
#include "analyses/graph3d_prepare.h"
#include "analyses/performance_functions.h"
#include "app/printing.h"
#include "ui/edit_mode.h"
#include "graph3d_test_support.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/common_dialogs_print.h"
#include "platform/paint.h"
#include "platform/print.h"
#include "platform/system.h"
#include "platform/win_messages.h"
#include "results/curve_record.h"
#include "results/limits_row.h"
#include "document/editor_services.h"

namespace kq5::testing {
namespace {

win::LPARAM At(win::POINT p) { return win::MAKELPARAM(p.x, p.y); }

TEST_F(Graph3DTest, SurfaceFollowsTheSteppedRuns)
{
    ASSERT_EQ(RunStepped(), 0);
    ASSERT_EQ(RunState().runCount, 5);
    EXPECT_GT(CountGraph3DCurves(), 0);
    WindowRecord* window = AddPlot();
    ASSERT_NE(window, nullptr);
    Graph3DPlot& plot = PlotOf(window);
    const Graph3DSurface& s = plot.surface;
    ASSERT_TRUE(s.HasGrid());
    EXPECT_EQ(plot.function.xData, 2);
    EXPECT_EQ(plot.function.zData, 1000);
    ASSERT_EQ(s.xGrid.size(), 41u);
    ASSERT_EQ(s.zGrid.size(), 41u);
    EXPECT_DOUBLE_EQ(s.zGrid.front(), 1000.0);
    EXPECT_DOUBLE_EQ(s.zGrid.back(), 5000.0);
    EXPECT_NEAR(s.xGrid.back(), 5e-3, 1e-9);
    // v(2) at t = 1 ms: 1 - exp(-t / RC) for R = 1k and 5k; between them the rows blend.
    const std::size_t c = 8;  // 1 ms on a 0..5 ms grid of 40 patches
    ASSERT_NEAR(s.xGrid[c], 1e-3, 1e-12);
    EXPECT_NEAR(s.rows[0][c], 1 - std::exp(-1.0), 0.01);
    EXPECT_NEAR(s.rows[40][c], 1 - std::exp(-0.2), 0.01);
    const std::size_t r = 5;  // R = 1.5k: halfway between the 1k and 2k runs
    EXPECT_NEAR(s.rows[r][c], ((1 - std::exp(-1.0)) + (1 - std::exp(-0.5))) / 2, 0.01);
    EXPECT_NE(plot.view.title.find("vs"), std::string::npos);
    EXPECT_LT(s.dataMin[1], 0.01);
    EXPECT_GT(s.dataMax[1], 0.99);
}

TEST_F(Graph3DTest, KeysTurnTheViewWithinZeroToNinety)
{
    ASSERT_EQ(RunStepped(), 0);
    WindowRecord* window = AddPlot();
    ASSERT_NE(window, nullptr);
    Graph3DPlot& plot = PlotOf(window);
    const win::HWND hwnd = window->window;
    plot.rotation = {85, 5, 45};
    EXPECT_EQ(Graph3DKeyRotate(hwnd, 'Q'), 1);
    EXPECT_EQ(plot.rotation[0], 90);
    EXPECT_EQ(Graph3DKeyRotate(hwnd, 'Q'), 0);  // nothing changed: the key is passed on
    EXPECT_EQ(Graph3DKeyRotate(hwnd, 'S'), 1);
    EXPECT_EQ(plot.rotation[1], 0);
    EXPECT_EQ(Graph3DKeyRotate(hwnd, 'E'), 1);
    EXPECT_EQ(plot.rotation[2], 55);
    EXPECT_EQ(Graph3DKeyRotate(hwnd, 'C'), 1);
    EXPECT_EQ(plot.contour, 1);
    EXPECT_EQ(Graph3DKeyRotate(hwnd, 'X'), 1);
    EXPECT_EQ(plot.rotation[0], 0);
    EXPECT_EQ(plot.rotation[1], 90);
    EXPECT_EQ(plot.contour, 0);
    plot.contour = 1;
    EXPECT_EQ(Graph3DKeyRotate(hwnd, 'Y'), 1);
    EXPECT_EQ(plot.contour, 0);
    plot.contour = 1;
    EXPECT_EQ(Graph3DKeyRotate(hwnd, 'Z'), 1);
    EXPECT_EQ(plot.contour, 0);
    EXPECT_EQ(plot.rotation[0], 0);
    EXPECT_EQ(plot.rotation[1], 0);
    EXPECT_EQ(Graph3DKeyRotate(hwnd, 'K'), 0);
    // Through the window's own key handling.
    plot.rotation = {30, 30, 0};
    win::SendMessage(hwnd, win::WM_KEYDOWN, 'A', 0);
    EXPECT_EQ(plot.rotation[0], 20);
}

TEST_F(Graph3DTest, DraggingTheYEndKeepsYRotAndSearchesTheOthersInStepsOfFour)
{
    ASSERT_EQ(RunStepped(), 0);
    WindowRecord* window = AddPlot();
    ASSERT_NE(window, nullptr);
    Graph3DPlot& plot = PlotOf(window);
    plot.rotation = {30, 33.7, 10};
    Graph3DView view;
    ASSERT_TRUE(CurrentGraph3DView(window, view));
    const win::POINT yEnd = ProjectGraph3DPoint(view, view.axes.min[0], view.axes.max[1], view.axes.min[2]);
    // The handle square reaches 2 pixels left and above, not 2 pixels right or below.
    EXPECT_EQ(HitRotationHandle(plot, view, win::POINT{yEnd.x - 2, yEnd.y - 2}), 1);
    EXPECT_EQ(HitRotationHandle(plot, view, win::POINT{yEnd.x + 2, yEnd.y}), -1);
    EXPECT_EQ(HitRotationHandle(plot, view, win::POINT{yEnd.x, yEnd.y + 2}), -1);

    win::SendMessage(window->window, win::WM_LBUTTONDOWN, win::MK_LBUTTON, At(yEnd));
    EXPECT_EQ(Graph3DDrag().handle, 1);
    win::SendMessage(window->window, win::WM_MOUSEMOVE, win::MK_LBUTTON, At(win::POINT{yEnd.x + 60, yEnd.y + 30}));
    win::SendMessage(window->window, win::WM_LBUTTONUP, 0, At(win::POINT{yEnd.x + 60, yEnd.y + 30}));
    EXPECT_EQ(Graph3DDrag().handle, -1);
    EXPECT_EQ(plot.rotation[1], 33);  // kept, truncated to whole degrees
    EXPECT_EQ(std::fmod(plot.rotation[0], 4.0), 0.0);
    EXPECT_EQ(std::fmod(plot.rotation[2], 4.0), 0.0);
    EXPECT_GE(plot.rotation[0], 0);
    EXPECT_LE(plot.rotation[0], 88);

    // A press beside every handle is no drag.
    win::SendMessage(window->window, win::WM_LBUTTONDOWN, win::MK_LBUTTON, At(win::POINT{2, 2}));
    EXPECT_EQ(Graph3DDrag().handle, -1);
    win::SendMessage(window->window, win::WM_LBUTTONUP, 0, At(win::POINT{2, 2}));
}

// Away from the handles the mouse goes to the plot-object editing every plot window shares,
// except while a run fills the analysis plot.
TEST_F(Graph3DTest, PressesBesideTheHandlesGoToThePlotObjectEditing)
{
    ASSERT_EQ(RunStepped(), 0);
    WindowRecord* window = AddPlot();
    ASSERT_NE(window, nullptr);
    SchematicEditor().pressPoint = win::POINT{-1, -1};
    win::SendMessage(window->window, win::WM_LBUTTONDOWN, win::MK_LBUTTON, At(win::POINT{7, 9}));
    win::SendMessage(window->window, win::WM_LBUTTONUP, 0, At(win::POINT{7, 9}));
    EXPECT_EQ(SchematicEditor().pressPoint.x, 7);
    EXPECT_EQ(SchematicEditor().pressPoint.y, 9);
    EXPECT_EQ(Graph3DDrag().handle, -1);

    SchematicEditor().pressPoint = win::POINT{-1, -1};
    RunControl().running = 1;
    win::SendMessage(window->window, win::WM_LBUTTONDOWN, win::MK_LBUTTON, At(win::POINT{7, 9}));
    win::SendMessage(window->window, win::WM_LBUTTONUP, 0, At(win::POINT{7, 9}));
    RunControl().running = 0;
    EXPECT_EQ(SchematicEditor().pressPoint.x, -1);
}

// The flashing cursor stays hidden for an eighth of a second, only when asked for, in cursor
// mode and with the focus.
TEST_F(Graph3DTest, FlashingCursorWaitsAnEighthOfASecond)
{
    ASSERT_EQ(RunStepped(), 0);
    WindowRecord* window = AddPlot();
    ASSERT_NE(window, nullptr);
    window->mode = kCommandCursorMode;
    win::SetFocus(window->window);
    auto timerTicks = [&] {
        const win::DWORD start = win::GetTickCount();
        win::SendMessage(window->window, win::WM_TIMER, kGraph3DTimer, 0);
        return win::GetTickCount() - start;
    };
    EXPECT_LT(timerTicks(), 60u);
    PlotOf(window).flashCursor = 1;
    EXPECT_GE(timerTicks(), 125u);
    window->mode = kCommandSelectMode;
    EXPECT_LT(timerTicks(), 60u);
}

TEST_F(Graph3DTest, CursorPickTakesTheNearestCornerOfThePatchUnderTheMouse)
{
    ASSERT_EQ(RunStepped(), 0);
    WindowRecord* window = AddPlot();
    ASSERT_NE(window, nullptr);
    Graph3DPlot& plot = PlotOf(window);
    window->mode = kCommandCursorMode;
    Graph3DView view;
    ASSERT_TRUE(CurrentGraph3DView(window, view));
    const int columns = static_cast<int>(plot.surface.xGrid.size());
    // A point a little inside patch (10, 38) near its corner (11, 39), on the front of the
    // surface so that no patch drawn later covers it.
    const auto corners = ProjectGraph3DPatch(plot, view, 10, 38);
    const win::POINT near{(corners[2].x * 3 + corners[0].x) / 4, (corners[2].y * 3 + corners[0].y) / 4};
    win::SendMessage(window->window, win::WM_LBUTTONDOWN, win::MK_LBUTTON, At(near));
    win::SendMessage(window->window, win::WM_LBUTTONUP, 0, At(near));
    const int picked = plot.surface.cursorPoint[0];
    EXPECT_EQ(picked / columns, 39);
    EXPECT_EQ(picked % columns, 11);
    win::SendMessage(window->window, win::WM_RBUTTONDOWN, 0, At(near));
    EXPECT_EQ(plot.surface.cursorPoint[1], picked);
    // Outside the box nothing moves.
    plot.surface.cursorPoint[0] = 0;
    EXPECT_FALSE(PickGraph3DCursor(window, 0, win::POINT{1, 1}));
    EXPECT_EQ(plot.surface.cursorPoint[0], 0);
}

TEST_F(Graph3DTest, HideKeepsThePlotAndItsEntryBringsItBack)
{
    ASSERT_EQ(RunStepped(), 0);
    WindowRecord* window = AddPlot();
    ASSERT_NE(window, nullptr);
    LinkedList* list = CurrentGraph3DList();
    ASSERT_EQ(list->count, 1);
    Graph3DPlot* plot = Graph3DPlotOfWindow(window);
    win::SendMessage(window->window, win::WM_COMMAND, kGraph3DHideWindow, 0);
    Pump();
    EXPECT_EQ(list->count, 1);
    EXPECT_EQ(plot->surface.window, nullptr);
    EXPECT_EQ(plot->surface.hidden, 1);
    EXPECT_EQ(RouteGraph3DCommand(kFirst3DWindowEntry, nullptr), 0);
    ASSERT_NE(plot->surface.window, nullptr);
    EXPECT_TRUE(plot->surface.HasGrid());
    // Closing it any other way removes the plot.
    win::DestroyWindow(plot->surface.window->window);
    Pump();
    EXPECT_EQ(list->count, 0);
}

TEST_F(Graph3DTest, ClosingTheAnalysisWindowHidesThePlots)
{
    ASSERT_EQ(RunStepped(), 0);
    WindowRecord* window = AddPlot();
    ASSERT_NE(window, nullptr);
    Graph3DPlot* plot = Graph3DPlotOfWindow(window);
    LinkedList* list = CurrentGraph3DList();
    CloseGraph3DWindowsOfPlot();
    Pump();
    EXPECT_EQ(list->count, 1);
    EXPECT_EQ(plot->surface.hidden, 1);
    EXPECT_EQ(plot->surface.window, nullptr);
}

TEST_F(Graph3DTest, UnsteppedAnalysesOfferNoThreeDPlots)
{
    PutCircuit(kSteppedRc, "rc3d.cir");
    ASSERT_EQ(RunAnalysisCommand(record_, 0), 0);
    ASSERT_EQ(RunAnalysisTimed(0), 0);
    EXPECT_EQ(CountGraph3DCurves(), 0);
    EXPECT_NE(AddGraph3DWindow(), 0);
    EXPECT_EQ(CurrentGraph3DList()->count, 0);
}

TEST_F(Graph3DTest, DialogRefusesTheSameAxisAndClampsPatchCounts)
{
    ASSERT_EQ(RunStepped(), 0);
    WindowRecord* window = AddPlot();
    ASSERT_NE(window, nullptr);
    Graph3DPlot& plot = PlotOf(window);
    win::ClearMessageBoxLog();
    win::PushMessageBoxAnswer(win::IDOK);
    bool sawCaption = false;
    Script([&] {
        const win::HWND dialog = win::GetActiveWindow();
        sawCaption = win::GetWindowText(dialog) == "Change 3D Plot";
        // Performance with X and Z both the stepped resistor.
        win::CheckRadioButton(dialog, 275, 276, 275);
        win::SendMessage(dialog, win::WM_COMMAND, 275, 0);
        win::SendDlgItemMessage(dialog, 523, win::CB_SETCURSEL, 0, 0);
        win::SendDlgItemMessage(dialog, 271, win::CB_SETCURSEL, 0, 0);
        win::SendMessage(dialog, win::WM_COMMAND, win::IDOK, 0);
    });
    Script([&] {
        const win::HWND dialog = win::GetActiveWindow();
        // Still open: back to Expression, patch counts 0 and a million.
        win::CheckRadioButton(dialog, 275, 276, 276);
        win::SendMessage(dialog, win::WM_COMMAND, 276, 0);
        win::SetDlgItemText(dialog, 291, "0");
        win::SetDlgItemText(dialog, 292, "1000000");
        win::SendMessage(dialog, win::WM_COMMAND, 204, 0);
        win::SendMessage(dialog, win::WM_COMMAND, win::IDOK, 0);
    });
    EXPECT_EQ(OpenAdd3DPlotDialog(window), 1);
    EXPECT_TRUE(sawCaption);
    ASSERT_FALSE(win::MessageBoxLog().empty());
    EXPECT_NE(win::MessageBoxLog().front().text.find("X and Z Axis can not be the same."), std::string::npos);
    EXPECT_EQ(plot.performance, 0);
    EXPECT_EQ(plot.patchesX, 2);
    EXPECT_EQ(plot.patchesZ, 1000);
    EXPECT_EQ(plot.surface.xGrid.size(), 3u);
    EXPECT_EQ(plot.surface.zGrid.size(), 1001u);
}

// A stepped quantity on an axis takes all its values: its chooser of one value is off.
TEST_F(Graph3DTest, DialogTurnsOffTheChoosersOfTheAxisQuantities)
{
    PutCircuit(kSteppedRc, "rc3d.cir");
    const char* names[] = {"R1", "C1"};
    const char* values[][3] = {{"1K", "2K", "1K"}, {"0.2U", "0.6U", "0.2U"}};
    for (int k = 0; k < 2; ++k) {
        SteppingSlot& slot = Document().stepping[static_cast<std::size_t>(k)];
        slot.flags = kStepOn | kStepComponent | kStepLinear;
        slot.name = names[k];
        slot.from = values[k][0];
        slot.to = values[k][1];
        slot.value = values[k][2];
    }
    ASSERT_EQ(RunAnalysisCommand(record_, 0), 0);
    ASSERT_EQ(RunAnalysisTimed(0), 0);
    WindowRecord* window = AddPlot();
    ASSERT_NE(window, nullptr);
    PlotOf(window).function.zData = 1000;
    std::vector<std::array<bool, 2>> enabled;
    Script([&] {
        const win::HWND dialog = win::GetActiveWindow();
        auto look = [&] {
            enabled.push_back({win::IsWindowEnabled(win::GetDlgItem(dialog, 512)) != 0,
                               win::IsWindowEnabled(win::GetDlgItem(dialog, 513)) != 0});
        };
        look();  // Z = R1
        win::SendDlgItemMessage(dialog, 271, win::CB_SETCURSEL, 1, 0);
        win::SendMessage(dialog, win::WM_COMMAND, win::MAKEWPARAM(271, win::CBN_SELCHANGE), 0);
        look();  // Z = C1
        win::CheckRadioButton(dialog, 275, 276, 275);
        win::SendMessage(dialog, win::WM_COMMAND, 275, 0);
        win::SendDlgItemMessage(dialog, 523, win::CB_SETCURSEL, 0, 0);
        win::SendMessage(dialog, win::WM_COMMAND, win::MAKEWPARAM(523, win::CBN_SELCHANGE), 0);
        look();  // Performance over R1 and C1
        win::SendMessage(dialog, win::WM_COMMAND, win::IDCANCEL, 0);
    });
    EXPECT_EQ(OpenAdd3DPlotDialog(window), 0);
    ASSERT_EQ(enabled.size(), 3u);
    EXPECT_EQ(enabled[0], (std::array<bool, 2>{false, true}));
    EXPECT_EQ(enabled[1], (std::array<bool, 2>{true, false}));
    EXPECT_EQ(enabled[2], (std::array<bool, 2>{false, false}));
}

TEST_F(Graph3DTest, PerformanceModeMeasuresEachRun)
{
    // Two slots: R1 (Z) and C1 (X); Y the final value... the rise time of v(2).
    WindowRecord* window = PerformancePlotOfSixRuns(kSteppedRc);
    ASSERT_NE(window, nullptr);
    Graph3DPlot& plot = PlotOf(window);
    plot.function.function = 0;  // Rise_Time from 10 % to 90 %: 2.197 RC
    plot.function.args = {1, 0.1, 0.9};
    plot.function.xData = 1001;
    plot.function.zData = 1000;
    plot.patchesX = 2;
    plot.patchesZ = 1;
    PrepareGraph3DData(window);
    const Graph3DSurface& s = plot.surface;
    ASSERT_TRUE(s.HasGrid());
    ASSERT_EQ(s.xGrid.size(), 3u);
    EXPECT_NEAR(s.xGrid[0], 0.2e-6, 1e-12);
    EXPECT_NEAR(s.xGrid[2], 0.6e-6, 1e-12);
    for (std::size_t zi = 0; zi < 2; ++zi)
        for (std::size_t xi = 0; xi < 3; ++xi) {
            const double rc = s.zGrid[zi] * s.xGrid[xi];
            EXPECT_NEAR(s.rows[zi][xi], 2.197 * rc, 0.05 * 2.197 * rc) << zi << "," << xi;
        }
    // A condition that every point meets measures the same; one that does not compile leaves
    // the plot empty.
    const double before = s.rows[1][2];
    plot.function.boolean = "V(2)>=0";
    PrepareGraph3DData(window);
    ASSERT_TRUE(s.HasGrid());
    EXPECT_DOUBLE_EQ(s.rows[1][2], before);
    win::PushMessageBoxAnswer(win::IDOK);
    plot.function.boolean = "V(2)>=(";
    PrepareGraph3DData(window);
    EXPECT_FALSE(s.HasGrid());
}

TEST_F(Graph3DTest, RunsWithoutAMeasurementAreNotDrawnAsZero)
{
    // 1 ms of the stepped RC: V(2) reaches 0.9 at 2.3 RC, so with C1 = 0.6u neither R1 gets
    // there, with C1 = 0.4u only 1k does, with 0.2u both do.
    WindowRecord* window = PerformancePlotOfSixRuns(
        "RC STEP\nV1 1 0 PULSE(0 1 0 1N 1N 1 2)\nR1 1 2 1K\nC1 2 0 1U\n.TRAN 20U 1M\n.PRINT TRAN V(2)\n.END\n");
    ASSERT_NE(window, nullptr);
    Graph3DPlot& plot = PlotOf(window);
    plot.function.function = kXLevel;
    plot.function.args = {1, 0.9, 2};
    plot.function.xData = 1000;  // R1
    plot.function.zData = 1001;  // C1
    plot.patchesX = 1;
    plot.patchesZ = 2;
    PrepareGraph3DData(window);
    const Graph3DSurface& s = plot.surface;
    ASSERT_TRUE(s.HasGrid());
    ASSERT_EQ(s.rows.size(), 3u);
    EXPECT_NEAR(s.rows[0][0], 2.303 * 0.2e-3, 0.05 * 0.2e-3);
    EXPECT_NEAR(s.rows[0][1], 2.303 * 0.4e-3, 0.05 * 0.4e-3);
    // At 0.6u nothing was measured: the surface keeps the nearest measured values instead of
    // dropping to an X_Level of 0 s.
    for (std::size_t c = 0; c < 2; ++c) {
        EXPECT_GT(s.rows[2][c], 0.5e-3) << c;
        EXPECT_DOUBLE_EQ(s.rows[2][c], s.rows[1][c]) << c;
    }
    EXPECT_GT(s.dataMin[1], 0.4e-3);

    // A level that no run reaches measures nothing at all: no surface, not a flat one at 0.
    plot.function.args = {1, 2, 2};
    PrepareGraph3DData(window);
    EXPECT_FALSE(s.HasGrid());
}

TEST_F(Graph3DTest, ScreenshotsOfRainbowSurfaceAndContourMap)
{
    ASSERT_EQ(RunStepped("1K", "5K", "0.5K"), 0);
    WindowRecord* window = AddPlot();
    ASSERT_NE(window, nullptr);
    Graph3DPlot& plot = PlotOf(window);
    plot.patchesX = plot.patchesZ = 30;
    PrepareGraph3DData(window);
    win::SetWindowPos(window->window, nullptr, 0, 0, 900, 700, win::SWP_NOZORDER);
    win::SetWindowPos(window->window, win::HWND_TOP, 0, 0, 0, 0, win::SWP_NOMOVE | win::SWP_NOSIZE);
    win::InvalidateRect(window->window, nullptr, 1);
    win::UpdateWindow(window->window);
    Shoot("graph3d_rainbow");
    // Where two scales meet at a corner each keeps its end: R1's 5.00K stands below T's 5.00m,
    // V(2)'s 0.00m below T's 0.00m (blue text on white).
    const auto textPixels = [](int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += win::ScreenPixel(x, y) == win::RGB(0, 0, 255) ? 1 : 0;
        return n;
    };
    EXPECT_GT(textPixels(600, 606, 660, 630), 50) << "R1's last label is missing";
    EXPECT_GT(textPixels(125, 602, 180, 622), 50) << "V(2)'s first label is missing";
    // Something but the background was drawn: the red top of the surface.
    Graph3DView view;
    ASSERT_TRUE(CurrentGraph3DView(window, view));
    EXPECT_EQ(Graph3DKeyRotate(window->window, 'C'), 1);
    plot.color = kPatchGray;
    win::UpdateWindow(window->window);
    Shoot("graph3d_contour");
    EXPECT_TRUE(win::MessageBoxLog().empty());
}

// The analysis's one plotted row, its Y range automatic.
LimitsRow PlottedRow(const char* x, const char* y, const char* xRange, std::uint16_t options)
{
    LimitsRow row;
    row.xExpression = x;
    row.yExpression = y;
    row.xRange = xRange;
    row.yRange = "Auto";
    row.plotGroup = '1';
    row.options = options;
    return row;
}

// The window at 800 x 600, turned to the contour view by its key C, drawn and shot.
void ShowContour(WindowRecord* window, const char* shot)
{
    win::SetWindowPos(window->window, win::HWND_TOP, 0, 0, 800, 600, win::SWP_NOZORDER);
    win::SendMessage(window->window, win::WM_KEYDOWN, 'C', 0);
    ASSERT_EQ(Graph3DPlotOfWindow(window)->contour, 1);
    win::UpdateWindow(window->window);
    win::MSG msg;
    while (win::PeekMessage(&msg, nullptr, 0, 0, win::PM_REMOVE)) win::DispatchMessage(&msg);
    win::CurrentBackend().Present(true);
    SaveScreen(shot);
}

// An AC run over a decade-stepped resistor: frequency and R1 both on logarithmic axes. Seen from
// above (key C), R1's labels stand clear of the map beside its right edge, not half under it.
TEST_F(Graph3DTest, ScalesOfLogarithmicAxesStandOutsideTheContourMap)
{
    PutCircuit("RC AC\nV1 1 0 AC 1\nR1 1 2 1K\nC1 2 0 0.1U\n.AC DEC 20 10 1MEG\n.PRINT AC V(2)\n.END\n", "rc3d.cir");
    StepComponent(0, "R1", "100", "100K", "10");
    Document().stepping[0].flags = kStepOn | kStepComponent | kStepLog;
    ASSERT_EQ(RunAnalysisCommand(record_, 1), 0);
    Document().limitsRows[1] = {PlottedRow("F", "DB(V(2))", "1MEG,10", kLimitsLinearY)};
    ASSERT_EQ(RunAnalysisTimed(1), 0);
    Pump();
    WindowRecord* window = AddPlot();
    ASSERT_NE(window, nullptr);
    Graph3DPlot& plot = PlotOf(window);
    ASSERT_TRUE(plot.surface.HasGrid());
    EXPECT_EQ(plot.surface.linear[0], 0);
    EXPECT_EQ(plot.surface.linear[2], 0);
    ASSERT_NO_FATAL_FAILURE(ShowContour(window, "graph3d_log_contour"));
    Graph3DView view;
    ASSERT_TRUE(CurrentGraph3DView(window, view));
    for (double r : {1e3, 1e4}) {
        win::POINT edge = ProjectGraph3DPoint(view, 1e6, plot.surface.axisMin[1], r);
        win::ClientToScreen(window->window, &edge);
        int firstText = -1;
        for (int x = edge.x + 1; x < edge.x + 80 && firstText < 0; ++x)
            for (int y = edge.y - 12; y <= edge.y + 12; ++y)
                if (win::ScreenPixel(x, y) == win::RGB(0, 0, 255)) firstText = x;
        ASSERT_GE(firstText, 0) << "no label beside the map at R1 = " << r;
        EXPECT_GE(firstText - edge.x, 3) << "the label at R1 = " << r << " starts under the map";
    }
}

// A quantity the runs leave unchanged but for rounding (here a last-bit difference) still gets
// its contour map with isolines, and the window does not hang drawing them.
TEST_F(Graph3DTest, AContourOfAnAlmostFlatSurfaceIsDrawn)
{
    PutCircuit(kSteppedRc, "rc3d.cir");
    StepComponent(0, "R1", "1K", "5K", "1K");
    ASSERT_EQ(RunAnalysisCommand(record_, 0), 0);
    Document().limitsRows[0] = {PlottedRow("T", "1+V(2)*2E-16", "5M,0", kLimitsLinearX | kLimitsLinearY)};
    ASSERT_EQ(RunAnalysisTimed(0), 0);
    Pump();
    WindowRecord* window = AddPlot();
    ASSERT_NE(window, nullptr);
    Graph3DPlot& plot = PlotOf(window);
    ASSERT_TRUE(plot.surface.HasGrid());
    ASSERT_GT(plot.surface.dataMax[1], plot.surface.dataMin[1]);
    ASSERT_EQ(plot.isolines, 1);
    ASSERT_NO_FATAL_FAILURE(ShowContour(window, "graph3d_flat_contour"));
    Graph3DView view;
    EXPECT_TRUE(CurrentGraph3DView(window, view));
}

TEST_F(Graph3DTest, PrintingAPlotPutsItsSurfaceOnTheSheet)
{
    RequirePoppler();
    ASSERT_EQ(RunStepped(), 0);
    WindowRecord* window = AddPlot();
    ASSERT_NE(window, nullptr);
    const std::vector<PrintLayoutEntry> entries = BuildPrintLayout(window, false);
    const auto entry =
        std::find_if(entries.begin(), entries.end(), [&](const PrintLayoutEntry& e) { return e.record == window; });
    ASSERT_NE(entry, entries.end());
    EXPECT_EQ(entry->include, &PlotOf(window).view.printPreview.on);

    const std::filesystem::path pdf =
        std::filesystem::temp_directory_path() / ("kq5_graph3d_" + std::to_string(::getpid()) + ".pdf");
    win::ResetPrintStateForTests();
    win::ScriptPrintDialogAnswer(win::PrintDialogAnswer{});
    win::ScriptPrintOutputFile(pdf.string());
    PrintWindowRecord(window);
    PdfRaster page;
    ASSERT_TRUE(page.Load(pdf.string(), 1));
    // Nobody placed it, so the surface covers the sheet: its patches ink much of the middle.
    EXPECT_GT(page.Ink(page.width / 4, page.height / 4, 3 * page.width / 4, 3 * page.height / 4),
              page.width * page.height / 40);
    // Its title is as tall on paper as on the screen (a 12-pixel font: 9 points), not a few
    // printer dots high.
    std::string words;
    ASSERT_EQ(win::testing::RunCommand("pdftotext -bbox '" + pdf.string() + "' -", words), 0);
    const std::size_t vs = words.find(">vs<");
    ASSERT_NE(vs, std::string::npos) << words;
    const std::string box = words.substr(words.rfind("<word", vs), vs - words.rfind("<word", vs));
    auto coordinate = [&](const std::string& name) {
        const std::size_t at = box.find(name + "=\"");
        return at == std::string::npos ? 0.0 : std::stod(box.substr(at + name.size() + 2));
    };
    EXPECT_GT(coordinate("yMax") - coordinate("yMin"), 6.0) << box;
    win::ResetPrintStateForTests();
    std::filesystem::remove(pdf);
    std::filesystem::remove(pdf.string() + ".page1.ppm");
}

TEST_F(Graph3DTest, ScreenshotsOfTheDialogPages)
{
    ASSERT_EQ(RunStepped(), 0);
    WindowRecord* window = AddPlot();
    ASSERT_NE(window, nullptr);
    std::string caption;
    Script([&] {
        const win::HWND dialog = win::GetActiveWindow();
        caption = win::GetWindowText(dialog);
        Shoot("graph3d_dialog_plot");
        win::SendMessage(dialog, win::WM_COMMAND, 204, 0);
        Shoot("graph3d_dialog_options");
        win::SendMessage(dialog, win::WM_COMMAND, 202, 0);
        Shoot("graph3d_dialog_format");
        win::SendMessage(dialog, win::WM_COMMAND, win::IDCANCEL, 0);
    });
    EXPECT_EQ(OpenAdd3DPlotDialog(window), 0);
    EXPECT_EQ(caption, "Change 3D Plot");
}

}  // namespace
}  // namespace kq5::testing
