// A real analysis window driven through runs of RC and RLC circuits: the curve passes through
// the pixels the axis mapping gives, grid lines stand where the tick rule puts them, cursors by
// keys, clicks and typed values read the stored points, zoom, pan, undo and Auto Scale change
// the ranges, Esc and P act during a run, and the layout holds at three sizes.
#include <cmath>
#include <functional>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "../platform/external_tool_support.h"
#include "analysis_window_test_support.h"
#include "ui/edit_mode.h"
#include "document/circuit_document.h"
#include "platform/bitmap.h"
#include "platform/dialog.h"
#include "platform/gdi_dc.h"
#include "platform/metafile.h"
#include "platform/paint.h"
#include "platform/print.h"
#include "platform/win_messages.h"
#include "analog/analysis_run_services.h"
#include "plots/axis_ranges.h"
#include "plots/curve_ranges.h"
#include "plots/plot_axes.h"
#include "plots/plot_click_services.h"
#include "plots/plot_draw.h"
#include "plots/plot_layout.h"
#include "plots/plot_view.h"
#include "plots/plot_view_commands.h"
#include "results/waveform_store.h"

namespace kq5::testing {
namespace {

const std::string kRc =
    "RC STEP\nV1 1 0 PULSE(0 1 0 1N 1N 1 2)\nR1 1 2 1K\nC1 2 0 1U\n.TRAN 50U 5M\n.PRINT TRAN V(2)\n.END\n";
const std::string kRlc = "RLC\nV1 1 0 AC 1\nR1 1 2 10\nL1 2 3 1M\nC1 3 0 1U\n.AC DEC 40 100 100K\n"
                         ".PLOT AC VDB(3)\n.PLOT AC VP(3)\n.END\n";

win::COLORREF Colour(int index)
{
    return index >= kFirstPaletteColor ? PaletteColor(index, true) : ColorTable().rows[static_cast<std::size_t>(index)].color;
}

double Stored(const CurveRecord& c, int axis, std::int32_t i)
{
    return GetWaveformValue(RunControl().analysisWindow->plot->store, c.storeSlots[static_cast<std::size_t>(axis)], i);
}

TEST_F(AnalysisWindowTest, TransientCurvePassesThroughItsMappedPixels)
{
    ASSERT_EQ(Run(kRc, kAnalysisTransient), 0);
    ASSERT_NE(Window(), nullptr);
    ASSERT_NE(Window()->window, nullptr);
    EXPECT_EQ(win::GetClassName(Window()->window), "analysis");
    ASSERT_EQ(Plot().curveCount, 1);
    CurveRecord& c = Curve(0);
    ASSERT_GT(c.lastPointIndex, 20);
    // The X axis shows the run's times; Y was rounded around the data (0 .. 1 V).
    EXPECT_DOUBLE_EQ(c.axisLow[kWaveformX], 0.0);
    EXPECT_DOUBLE_EQ(c.axisHigh[kWaveformX], 5e-3);
    EXPECT_DOUBLE_EQ(c.axisLow[kWaveformY], 0.0);
    EXPECT_NEAR(c.axisHigh[kWaveformY], 1.0, 1e-12);
    win::InvalidateRect(Window()->window, nullptr, 1);
    win::UpdateWindow(Window()->window);
    Shoot("analysis_transient_rc");

    const win::COLORREF ink = Colour(c.color);
    int hits = 0, tried = 0;
    for (std::int32_t i = 1; i < c.lastPointIndex; i += 3) {
        const int x = ValueToPixelClamped(c, kWaveformX, Stored(c, kWaveformX, i));
        const int y = ValueToPixelClamped(c, kWaveformY, Stored(c, kWaveformY, i));
        if (x <= c.plotRect.left || x >= c.plotRect.right || y <= c.plotRect.top || y >= c.plotRect.bottom) continue;
        ++tried;
        if (ClientPixel(x, y) == ink) ++hits;
    }
    ASSERT_GT(tried, 10);
    EXPECT_EQ(hits, tried);
}

TEST_F(AnalysisWindowTest, FarValuesAreClippedNotMisdrawn)
{
    ASSERT_EQ(Run(kRc, kAnalysisTransient), 0);
    CurveRecord& c = Curve(0);
    // One microvolt of range: the curve leaves the plot a hundred million pixels high.
    ASSERT_EQ(SetCurveAxisRange(c, kWaveformY, 0.0, 1e-6), 1);
    RedrawPlotWindow(Window(), nullptr, -1);
    const win::COLORREF ink = Colour(c.color);
    const int firstX = ValueToPixelClamped(c, kWaveformX, Stored(c, kWaveformX, 1));
    int inside = 0, column = 0;
    for (int x = c.plotRect.left; x < c.plotRect.right; ++x) {
        for (int y = c.plotRect.top + 1; y < c.plotRect.bottom; ++y) {
            if (ClientPixel(x, y) != ink) continue;
            if (x <= firstX) ++column;
            else ++inside;
        }
    }
    EXPECT_GT(column, 0);      // the first rise, cut at the top edge
    EXPECT_EQ(inside, 0);      // nothing wrapped back into the plot
}

TEST_F(AnalysisWindowTest, DisplayEveryThinsTheDrawingNotTheStore)
{
    ASSERT_EQ(Run(kRc, kAnalysisTransient), 0);
    const std::int32_t all = Curve(0).lastPointIndex;
    ExitAnalysis();
    ResetRunControlForTests();
    ResetPlotRunForTests();
    InstallAnalysisKindHandlers();
    record_->document->reduceDisplay[kAnalysisTransient] = 10;
    ASSERT_EQ(Run(kRc, kAnalysisTransient), 0);
    EXPECT_EQ(Curve(0).lastPointIndex, all);
}

TEST_F(AnalysisWindowTest, TitleTellsTheTemperaturesOfTheRuns)
{
    ASSERT_EQ(Run(kRc, kAnalysisTransient), 0);
    EXPECT_EQ(PlotTitleText(Window()), "rc.cir Temperature = 27 ");
    ExitAnalysis();
    ResetRunControlForTests();
    ResetPlotRunForTests();
    InstallAnalysisKindHandlers();
    std::string swept = kRc;
    swept.insert(swept.find(".END"), ".TEMP 27 77\n");
    ASSERT_EQ(Run(swept, kAnalysisTransient, "swept.cir"), 0);
    EXPECT_EQ(Plot().store.runCount, 2);
    EXPECT_EQ(PlotTitleText(Window()), "swept.cir Temperature = 27...77 ");
    // The caption of one run tells its case as well.
    EXPECT_EQ(FormatTemperatureCaption(Window(), false), "Temperature = 27 Case= 1");
    PlotCursors().selectedRun = 1;
    EXPECT_EQ(FormatTemperatureCaption(Window(), false), "Temperature = 77 Case= 1");
}

TEST_F(AnalysisWindowTest, GridLinesStandWhereTheTickRulePutsThem)
{
    ASSERT_EQ(Run(kRc, kAnalysisTransient), 0);
    win::InvalidateRect(Window()->window, nullptr, 1);
    win::UpdateWindow(Window()->window);
    CurveRecord& c = Curve(0);
    const win::COLORREF grid = Colour(PlotViewOf(Window()->plot).gridColor);
    const win::COLORREF paper = Colour(PlotViewOf(Window()->plot).graphBackground);
    const std::vector<int> xs = GridLinePositions(Window(), c, kWaveformX);
    ASSERT_EQ(xs.size(), 10u);
    for (std::size_t k = 1; k < xs.size(); ++k) {
        // A dotted line: every other pixel down the line, none beside it.
        int on = 0, beside = 0;
        for (int y = c.plotRect.top + 1; y < c.plotRect.top + 41; ++y) {
            on += ClientPixel(xs[k], y) == grid;
            beside += ClientPixel(xs[k] + 2, y) == grid;
        }
        EXPECT_GE(on, 15) << "grid line " << k;
        EXPECT_LE(beside, 2) << "beside grid line " << k;
    }
    EXPECT_EQ(ClientPixel(xs[1] + 2, c.plotRect.top + 5), paper);
}

TEST_F(AnalysisWindowTest, CursorsByKeysClicksAndTypedValuesReadTheStoredPoints)
{
    ASSERT_EQ(Run(kRc, kAnalysisTransient), 0);
    WindowRecord* w = Window();
    SetEditMode(w, kCommandCursorMode);
    Pump();
    CurveRecord& c = Curve(0);
    EXPECT_EQ(GetCursorPointIndex(w, 0, 0), 0);
    EXPECT_EQ(GetCursorPointIndex(w, 0, 1), c.lastPointIndex);
    HandleCursorStepCommand(w, kStepRight, 0);
    HandleCursorStepCommand(w, kStepRight, 0);
    EXPECT_EQ(GetCursorPointIndex(w, 0, 0), 2);
    EXPECT_DOUBLE_EQ(c.cursorX[0], Stored(c, kWaveformX, 2));
    EXPECT_DOUBLE_EQ(c.cursorY[0], Stored(c, kWaveformY, 2));
    HandleCursorStepCommand(w, kStepLeft, 1);
    EXPECT_DOUBLE_EQ(c.cursorY[1], Stored(c, kWaveformY, c.lastPointIndex - 1));

    // A click moves the left cursor to the X under it, the Y interpolated between stored points.
    const int x = (c.plotRect.left + c.plotRect.right) / 2;
    ClickMoveCursor(w, win::MK_LBUTTON, x, (c.plotRect.top + c.plotRect.bottom) / 2);
    const double at = PixelToValue(c, kWaveformX, x);
    EXPECT_DOUBLE_EQ(c.cursorX[0], at);
    const std::int32_t i = GetCursorPointIndex(w, 0, 0);
    const double x0 = Stored(c, kWaveformX, i), x1 = Stored(c, kWaveformX, i + 1);
    ASSERT_LE(x0, at);
    ASSERT_GE(x1, at);
    const double y0 = Stored(c, kWaveformY, i), y1 = Stored(c, kWaveformY, i + 1);
    EXPECT_NEAR(c.cursorY[0], y0 + (at - x0) / (x1 - x0) * (y1 - y0), 1e-12);
    // The right button moves the right cursor.
    ClickMoveCursor(w, win::MK_RBUTTON, c.plotRect.left + 10, c.plotRect.top + 10);
    EXPECT_DOUBLE_EQ(c.cursorX[1], PixelToValue(c, kWaveformX, c.plotRect.left + 10));

    // Go to Y: the left cursor lands where the curve crosses 0.5 V.
    ASSERT_EQ(GoToCursorValue(w, kCommandGoToY, 0, 0.5), 1);
    EXPECT_NEAR(c.cursorY[0], 0.5, 1e-9);
    EXPECT_NEAR(c.cursorX[0], 1e-3 * std::log(2.0), 2e-5);  // RC = 1 ms
    ASSERT_EQ(GoToCursorValue(w, kCommandGoToX, 1, 2e-3), 1);
    EXPECT_DOUBLE_EQ(c.cursorX[1], 2e-3);
    EXPECT_NEAR(c.cursorY[1], 1.0 - std::exp(-2.0), 2e-3);
    win::InvalidateRect(w->window, nullptr, 1);
    Shoot("analysis_cursors_rc");
    // The marks are XOR: drawn twice they leave the plot as it was.
    win::HDC dc = win::GetDC(w->window);
    const win::COLORREF before = ClientPixel(ValueToPixelClamped(c, kWaveformX, c.cursorX[0]), c.plotRect.top + 20);
    DrawCursorMarks(w, dc, -1, false);
    DrawCursorMarks(w, dc, -1, false);
    win::ReleaseDC(w->window, dc);
    EXPECT_EQ(ClientPixel(ValueToPixelClamped(c, kWaveformX, c.cursorX[0]), c.plotRect.top + 20), before);
}

TEST_F(AnalysisWindowTest, CommandsOfTheWindow)
{
    ASSERT_EQ(Run(kRc, kAnalysisTransient), 0);
    WindowRecord* w = Window();
    std::int32_t& options = PlotViewOf(w->plot).optionWord[kAnalysisTransient];
    const std::int32_t before = options;
    EXPECT_EQ(RoutePlotViewCommand(w, 18403), 0);  // Horizontal Axis Grids
    EXPECT_EQ(options, before ^ 8);
    EXPECT_EQ(RoutePlotViewCommand(w, 18406), 0);  // Base Line
    EXPECT_EQ(options, before ^ 8 ^ 0x10000);
    // A search mode puts the window into Cursor mode; the second cursor's keys move the right one.
    EXPECT_EQ(RoutePlotViewCommand(w, 18674), 0);
    EXPECT_EQ(PlotCursors().searchMode, kSearchLow);
    EXPECT_TRUE(InCursorMode(w));
    PlotCursors().searchMode = kSearchNext;
    const std::int32_t right = GetCursorPointIndex(w, 0, 1);
    EXPECT_EQ(RoutePlotViewCommand(w, 764), 0);
    EXPECT_EQ(GetCursorPointIndex(w, 0, 1), right - 1);
    EXPECT_EQ(RoutePlotViewCommand(w, 17504), 0);
    EXPECT_DOUBLE_EQ(Curve(0).axisHigh[kWaveformX], 3.75e-3);
    // Tags from the cursors hold their values.
    const std::int32_t objects = Plot().objects.count;
    EXPECT_EQ(RoutePlotViewCommand(w, 17185), 0);
    ASSERT_EQ(Plot().objects.count, objects + 1);
    const auto* tag = static_cast<const PlotObject*>(Plot().objects.head);
    EXPECT_EQ(tag->style, 0x901);
    EXPECT_DOUBLE_EQ(tag->x1, Curve(0).cursorX[1]);
    EXPECT_DOUBLE_EQ(tag->y1, Curve(0).cursorY[1]);
    EXPECT_EQ(RoutePlotViewCommand(w, 17187), 0);
    tag = static_cast<const PlotObject*>(Plot().objects.head);
    EXPECT_EQ(tag->style, 0x800);
    EXPECT_DOUBLE_EQ(tag->x1, Curve(0).cursorX[0]);
    EXPECT_DOUBLE_EQ(tag->x2, Curve(0).cursorX[1]);
    EXPECT_DOUBLE_EQ(tag->measured, (tag->x1 + tag->x2) / 2);
    // Other windows do not take them.
    EXPECT_EQ(RoutePlotViewCommand(record_, 17504), 1);
    EXPECT_EQ(RoutePlotViewCommand(w, 17102), 1);
}

TEST_F(AnalysisWindowTest, GoToDialogSendsEitherCursorAndKeepsItsText)
{
    ASSERT_EQ(Run(kRc, kAnalysisTransient), 0);
    ResetGoToDialogForTests();
    WindowRecord* w = Window();
    ASSERT_EQ(RoutePlotViewCommand(w, kCommandGoToY), 0);
    EXPECT_TRUE(InCursorMode(w));
    win::HWND dialog = win::FindWindow(nullptr, "Go to Y");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(win::GetDlgItemText(dialog, 107), "Y Value");
    win::SetDlgItemText(dialog, 10, "0.5");
    win::SendMessage(dialog, win::WM_COMMAND, 105, 0);
    CurveRecord& c = Curve(0);
    EXPECT_NEAR(c.cursorY[0], 0.5, 1e-9);
    win::SetDlgItemText(dialog, 10, "0.25+0.5");
    win::SendMessage(dialog, win::WM_COMMAND, 106, 0);
    EXPECT_NEAR(c.cursorY[1], 0.75, 1e-9);
    Shoot("analysis_goto_y");
    win::SendMessage(dialog, win::WM_COMMAND, 1, 0);
    EXPECT_FALSE(win::IsWindow(dialog));
    // The text typed for a form comes back when the form opens again.
    dialog = OpenGoToDialog(w, kCommandGoToY);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(win::GetDlgItemText(dialog, 10), "0.25+0.5");
    win::SendMessage(dialog, win::WM_COMMAND, 2, 0);
}

TEST_F(AnalysisWindowTest, ZoomPanUndoAndAutoScale)
{
    ASSERT_EQ(Run(kRc, kAnalysisTransient), 0);
    WindowRecord* w = Window();
    CurveRecord& c = Curve(0);
    const auto low = c.axisLow, high = c.axisHigh;
    ZoomPlot(w, 17504);
    EXPECT_DOUBLE_EQ(c.axisLow[kWaveformX], 1.25e-3);
    EXPECT_DOUBLE_EQ(c.axisHigh[kWaveformX], 3.75e-3);
    UndoCurveRanges(w);
    EXPECT_EQ(c.axisLow, low);
    EXPECT_EQ(c.axisHigh, high);
    ZoomPlot(w, 17505);
    EXPECT_DOUBLE_EQ(c.axisHigh[kWaveformX] - c.axisLow[kWaveformX], 10e-3);
    // A drag to the left by a tenth of the width shows later times.
    const int y = (c.plotRect.top + c.plotRect.bottom) / 2;
    const double span = c.axisHigh[kWaveformX] - c.axisLow[kWaveformX];
    const double before = c.axisLow[kWaveformX];
    const int from = c.plotRect.left + 200, to = from - (c.plotRect.right - c.plotRect.left) / 10;
    const double shift = PixelToValue(c, kWaveformX, from) - PixelToValue(c, kWaveformX, to);
    DragPlot(w, {from, y}, {to, y});
    EXPECT_NEAR(c.axisLow[kWaveformX], before + shift, span * 1e-12);
    PanPlotCommand(w, kCommandPanRight);
    EXPECT_NEAR(c.axisLow[kWaveformX], before + shift + span / 10, span * 1e-9);
    AutoScaleCurrentPlotGroup(w, true);
    EXPECT_DOUBLE_EQ(c.axisLow[kWaveformX], 0.0);
    EXPECT_DOUBLE_EQ(c.axisHigh[kWaveformX], 5e-3);
    EXPECT_DOUBLE_EQ(c.axisLow[kWaveformY], 0.0);
    EXPECT_NEAR(c.axisHigh[kWaveformY], 1.0, 1e-12);
    RestoreRunStartRanges(w);
    EXPECT_EQ(c.axisLow, c.referenceLow);
}

// Posts the keys to the program's queue once the run has drawn its twentieth point.
void PressDuringRun(std::vector<int> keys)
{
    auto drawn = std::make_shared<int>(0);
    std::function<void(WindowRecord*)> original = RunServices().plotPoint;
    RunServices().plotPoint = [original, drawn, keys](WindowRecord* window) {
        original(window);
        if (++*drawn == 20)
            for (int key : keys) win::PostMessage(nullptr, win::WM_KEYDOWN, static_cast<win::WPARAM>(key), 0);
    };
}

TEST_F(AnalysisWindowTest, EscapeStopsAndPPausesARun)
{
    // Esc stops the run within the poll period and keeps the points so far.
    PressDuringRun({27});
    EXPECT_EQ(Run(kRc, kAnalysisTransient), kMsgStoppedByUser);
    ASSERT_NE(Window(), nullptr);
    const int stopped = Curve(0).lastPointIndex;
    EXPECT_GE(stopped, 19);
    EXPECT_LE(stopped, 19 + 6);
    ExitAnalysis();
    ResetRunControlForTests();
    ResetPlotRunForTests();
    InstallAnalysisKindHandlers();
    // P holds the run until P comes again; the run then ends as usual.
    PressDuringRun({'P', 'P'});
    ASSERT_EQ(Run(kRc, kAnalysisTransient), 0);
    EXPECT_EQ(Plot().store.runCount, 1);
    EXPECT_GT(Curve(0).lastPointIndex, stopped + 20);
}

TEST_F(AnalysisWindowTest, LayoutAtThreeSizesShrinksTheFontNotTheGroups)
{
    ASSERT_EQ(Run(kRlc, kAnalysisAc), 0);
    WindowRecord* w = Window();
    ASSERT_EQ(Plot().curveCount, 2);
    EXPECT_EQ(Curve(0).plotGroup, 1);
    EXPECT_EQ(Curve(1).plotGroup, 2);
    int previousLine = 1 << 20;
    for (const win::SIZE size : {win::SIZE{900, 700}, win::SIZE{500, 380}, win::SIZE{220, 170}}) {
        win::MoveWindow(w->window, 0, 0, size.cx, size.cy, 1);
        Pump();
        win::RECT client{};
        win::GetClientRect(w->window, &client);
        win::HDC dc = win::GetDC(w->window);
        ASSERT_EQ(LayoutPlotWindow(w, dc), 0);
        win::ReleaseDC(w->window, dc);
        const CurveRecord& top = Curve(0);
        const CurveRecord& bottom = Curve(1);
        EXPECT_GE(top.plotRect.left, 0);
        EXPECT_LE(top.plotRect.right, client.right);
        EXPECT_LT(top.plotRect.bottom, bottom.plotRect.top);
        EXPECT_LE(bottom.plotRect.bottom, client.bottom);
        EXPECT_LE(Plot().textLineHeight, previousLine);
        EXPECT_GE(std::abs(Plot().plotFont.height), 1);
        previousLine = Plot().textLineHeight;
        for (int axis = 0; axis < 2; ++axis) EXPECT_TRUE(std::isfinite(top.axisScale[static_cast<std::size_t>(axis)]));
    }
    // A font too large for the groups' divisions is made smaller step by step until they fit.
    win::MoveWindow(w->window, 0, 0, 500, 380, 1);
    Pump();
    PlotViewOf(w->plot).textFont.height = -100;
    {
        win::HDC dc = win::GetDC(w->window);
        RecreatePlotFont(w, dc, true);
        ASSERT_EQ(LayoutPlotWindow(w, dc), 0);
        win::ReleaseDC(w->window, dc);
    }
    EXPECT_LT(std::abs(Plot().plotFont.height), 100);
    EXPECT_GE(std::abs(Plot().plotFont.height), 2);
    const CurveRecord& first = Curve(0);
    EXPECT_GE((first.plotRect.bottom - first.plotRect.top) / CountAxisDivisions(Plot(), first, kWaveformY),
              Plot().textLineHeight);
    // A window without any client area lays out without a NaN or a wrapped value.
    win::MoveWindow(w->window, 0, 0, 0, 0, 1);
    Pump();
    win::HDC dc = win::GetDC(w->window);
    LayoutPlotWindow(w, dc);
    win::ReleaseDC(w->window, dc);
    for (int i = 0; i < 2; ++i) {
        const CurveRecord& c = Curve(i);
        EXPECT_FALSE(std::isnan(PixelToValue(c, kWaveformX, 10.0)));
        EXPECT_FALSE(std::isnan(PixelToValue(c, kWaveformY, 10.0)));
        EXPECT_TRUE(std::isfinite(ComputePlotScaleFactor(w, dc, i)));
    }
    win::MoveWindow(w->window, 0, 0, 900, 700, 1);
    Pump();
    Shoot("analysis_ac_rlc_two_groups");
}

TEST_F(AnalysisWindowTest, DcSweepScreen)
{
    ASSERT_EQ(Run("DC\nV1 1 0 0\nR1 1 2 1K\nD1 2 0 DX\n.MODEL DX D(IS=1E-14)\n.DC V1 0 2 0.02\n.PRINT DC I(D1)\n.END\n",
                  kAnalysisDc),
              0);
    ASSERT_EQ(Plot().curveCount, 1);
    // A current of about a milliampere is read in mA, not as 0.001.
    EXPECT_EQ(Curve(0).labelPrefix[kWaveformY], 'm');
    Shoot("analysis_dc_diode");
}

// A transistor's output characteristics from a base current of 0: six curves of about the
// points one curve takes. The first, flat curve sets the range (nanoamperes); Auto Scale then
// shows the whole family in milliamperes.
TEST_F(AnalysisWindowTest, DcFamilyFromAFlatCurveScreen)
{
    ASSERT_EQ(Run("FAMILY\nVCE C 0 DC 0\nIB 0 B DC 10U\nQ1 C B 0 QMOD\n.MODEL QMOD NPN(BF=150 VAF=80)\n"
                  ".DC VCE 0 10 0.05 IB 0 50U 10U\n.PLOT DC I(VCE)\n.END\n",
                  kAnalysisDc),
              0);
    EXPECT_EQ(Plot().store.runCount, 6);
    EXPECT_LT(AnalogSolver().acceptedPointCount, 6 * 1000);
    // The run's automatic axis holds every base current's curve, not only the first, flat one.
    EXPECT_EQ(Curve(0).labelPrefix[kWaveformY], 'm');
    EXPECT_LE(std::min(Curve(0).axisLow[kWaveformY], Curve(0).axisHigh[kWaveformY]), -8.3e-3);
    Shoot("analysis_dc_family_after_run");
    AutoScaleCurrentPlotGroup(Window(), true);
    EXPECT_EQ(Curve(0).labelPrefix[kWaveformY], 'm');
    EXPECT_LE(std::min(Curve(0).axisLow[kWaveformY], Curve(0).axisHigh[kWaveformY]), -8.3e-3);
    Shoot("analysis_dc_family_auto_scaled");
}

TEST_F(AnalysisWindowTest, DigitalLanesFromStoredStateCodes)
{
    ASSERT_EQ(Run(kRc, kAnalysisTransient), 0);
    WindowRecord* w = Window();
    PlotRecord& plot = Plot();
    // Two digital curves join the plot's group 2, their states stored by hand.
    const std::string states[2] = {"0R1F0RX1Z0", "0001111000"};
    for (int k = 0; k < 2; ++k) {
        plot.curves.push_back(std::make_unique<CurveRecord>());
        CurveRecord& d = *plot.curves.back();
        d.digital = 1;
        d.plotGroup = 2;
        d.placeInGroup = k;
        d.groupKind = kGroupDigital;
        d.yExpressionText = k == 0 ? "D(CLK)" : "D(Q)";
        d.color = 12 + k;
        d.axisLow = {0.0, 0.0};
        d.axisHigh = {5e-3, kDigitalRangeHigh};
        d.xScaleFormat = "2";
        ChooseAxisLabelScale(d, kWaveformX);
    }
    plot.builtCurveCount = plot.curveCount = static_cast<int>(plot.curves.size());
    ASSERT_EQ(CreateWaveformStore(plot, kWindowAnalysis, kAnalysisDc, 1), 0);
    RewindWaveformStore(plot);
    for (int k = 0; k < 3; ++k) {
        CurveRecord& c = *plot.curves[static_cast<std::size_t>(k)];
        for (int i = 0; i < 10; ++i) {
            ASSERT_EQ(AdvanceCurvePoint(plot.store, c), 1);
            SetWaveformValue(plot.store, c.storeSlots[0], c.lastPointIndex, i * 0.5e-3);
            const double y = k == 0 ? std::sin(i) : (DigitalStateIndex(states[k - 1][static_cast<std::size_t>(i)]) | 0x1F8);
            SetWaveformValue(plot.store, c.storeSlots[1], c.lastPointIndex, y);
        }
    }
    EndWaveformRun(plot, false, RunRecord{});
    plot.curves[0]->rangeMode = {kRangeAutomatic, kRangeAutomatic};
    plot.curves[0]->dataMin = {0.0, -1.0};
    plot.curves[0]->dataMax = {4.5e-3, 1.0};
    FinishPlotsAfterRun(w, nullptr);
    win::InvalidateRect(w->window, nullptr, 1);
    win::UpdateWindow(w->window);
    const CurveRecord& clk = *plot.curves[1];
    EXPECT_LT(clk.laneHigh, clk.laneLow);
    // The Q lane is low at its first point and high at the fifth.
    const CurveRecord& q = *plot.curves[2];
    const win::COLORREF ink = Colour(q.color);
    const int x0 = ValueToPixelClamped(q, kWaveformX, 0.25e-3);
    const int x4 = ValueToPixelClamped(q, kWaveformX, 2.25e-3);
    EXPECT_EQ(ClientPixel(x0, q.laneLow), ink);
    EXPECT_EQ(ClientPixel(x4, q.laneHigh), ink);
    EXPECT_NE(ClientPixel(x4, q.laneLow), ink);
    Shoot("analysis_digital_lanes");
}

TEST_F(AnalysisWindowTest, PrintedAndMetafilePicturesKeepTheLayout)
{
    ASSERT_EQ(Run(kRc, kAnalysisTransient), 0);
    WindowRecord* w = Window();
    win::RECT client{};
    win::GetClientRect(w->window, &client);
    const win::RECT screenPlot = Curve(0).plotRect;
    const auto fraction = [](const win::RECT& r, const win::RECT& in) {
        const double wdt = in.right - in.left, hgt = in.bottom - in.top;
        return std::array<double, 4>{(r.left - in.left) / wdt, (r.top - in.top) / hgt, (r.right - in.left) / wdt,
                                     (r.bottom - in.top) / hgt};
    };
    const auto screen = fraction(screenPlot, client);

    // Printer: a page area of the window's proportions, drawn without colours.
    ASSERT_TRUE(win::testing::ToolInstalled("pdftoppm")) << win::testing::kPopplerMissing;
    win::DEVMODE dm;
    win::HDC printer = win::CreateDC(win::kPrinterDriver, win::kPrinterDevice, win::kPrinterPort, &dm);
    ASSERT_NE(printer, nullptr);
    const std::string pdf = (dir_ / "plot.pdf").string();
    win::DOCINFO di;
    di.lpszDocName = "RC.CIR";
    di.lpszOutput = pdf;
    ASSERT_GT(win::StartDoc(printer, &di), 0);
    ASSERT_GT(win::StartPage(printer), 0);
    const int pageWidth = win::GetDeviceCaps(printer, win::HORZRES);
    Plot().pageRect = win::RECT{0, 0, pageWidth, pageWidth * (client.bottom - client.top) / (client.right - client.left)};
    DrawWindowByType(w, printer);
    const win::RECT page = Plot().pageRect;
    const win::RECT printedPlot = Curve(0).plotRect;
    Plot().pageRect = win::RECT{};
    win::EndPage(printer);
    win::EndDoc(printer);
    win::DeleteDC(printer);
    const auto printed = fraction(printedPlot, page);
    for (std::size_t k = 0; k < 4; ++k) EXPECT_NEAR(printed[k], screen[k], 0.04) << k;
    std::string log;
    const std::string prefix = (dir_ / "page").string();
    ASSERT_EQ(win::testing::RunCommand("pdftoppm -r 300 -f 1 -l 1 -singlefile '" + pdf + "' '" + prefix + "'", log), 0)
        << log;
    std::ifstream ppm(prefix + ".ppm", std::ios::binary);
    std::string magic;
    int width = 0, height = 0, maxValue = 0;
    ppm >> magic >> width >> height >> maxValue;
    ppm.get();
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    ppm.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    ASSERT_TRUE(ppm);
    // The frame's top edge stands where the layout put it; the printer draws in black ink on
    // white paper.
    const int offset = win::GetDeviceCaps(win::CreateDC(win::kPrinterDriver, win::kPrinterDevice, win::kPrinterPort, &dm),
                                          win::PHYSICALOFFSETX);
    const int fx = (printedPlot.left + printedPlot.right) / 2 + offset;
    const int fy = printedPlot.top + offset;
    int darkest = 765;
    for (int dy = -2; dy <= 2; ++dy) {
        const unsigned char* p = &rgb[(static_cast<std::size_t>(fy + dy) * width + fx) * 3];
        darkest = std::min(darkest, p[0] + p[1] + p[2]);
    }
    EXPECT_LT(darkest, 150);

    // Metafile: 1200 x 1200 units, read back by an independent reader.
    ASSERT_TRUE(win::testing::ToolInstalled("wmf2svg")) << "wmf2svg is not installed (Debian package libwmf-bin)";
    win::HDC meta = win::CreateMetaFile(nullptr);
    DrawWindowByType(w, meta);
    const win::RECT metaPlot = Curve(0).plotRect;
    win::HMETAFILE mf = win::CloseMetaFile(meta);
    const std::string wmf = (dir_ / "plot.wmf").string(), svg = (dir_ / "plot.svg").string();
    win::RECT bounds{0, 0, 1200, 1200};
    ASSERT_TRUE(win::WriteMetaFileFile(wmf, mf, &bounds, 144));
    win::DeleteMetaFile(mf);
    EXPECT_GT(metaPlot.right - metaPlot.left, 900);
    EXPECT_EQ(win::testing::RunCommand("wmf2svg -o '" + svg + "' '" + wmf + "'", log), 0) << log;
    std::ifstream in(svg);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("<svg"), std::string::npos);
    EXPECT_NE(text.str().find("Temperature"), std::string::npos);
    // Back on the screen the window is laid out for the screen again.
    win::HDC dc = win::GetDC(w->window);
    LayoutPlotWindow(w, dc);
    win::ReleaseDC(w->window, dc);
    EXPECT_EQ(Curve(0).plotRect.right, screenPlot.right);
}

}  // namespace
}  // namespace kq5::testing
