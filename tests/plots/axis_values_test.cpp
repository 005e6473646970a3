// Values and pixels of plot axes against hand values: the mapping with its clamps and zero
// geometry, divisions, logarithmic ticks, label and readout texts, bus bases, quotients, digital
// rows, segment clipping, nice ranges, group unions and the range commands.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "ui/window_record.h"
#include "core/engineering_numbers.h"
#include "platform/backend.h"
#include "platform/bitmap.h"
#include "platform/gdi_dc.h"
#include "plots/axis_ranges.h"
#include "plots/curve_ranges.h"
#include "plots/plot_axes.h"
#include "plots/plot_draw.h"
#include "plots/plot_layout.h"
#include "plots/plot_setup.h"
#include "plots/plot_view.h"
#include "results/plot_view_settings.h"
#include "results/waveform_store.h"

namespace kq5 {
namespace {

CurveRecord& AddCurve(PlotRecord& plot, int group = 1)
{
    plot.curves.push_back(std::make_unique<CurveRecord>());
    plot.builtCurveCount = plot.curveCount = static_cast<int>(plot.curves.size());
    CurveRecord& c = *plot.curves.back();
    c.plotGroup = group;
    c.placeInGroup = 0;
    for (int i = 0; i + 1 < plot.curveCount; ++i)
        if (plot.curves[static_cast<std::size_t>(i)]->plotGroup == group) ++c.placeInGroup;
    return c;
}

void Map(PlotRecord& plot, CurveRecord& c, win::RECT rect, double xLow, double xHigh, double yLow, double yHigh)
{
    c.plotRect = rect;
    c.axisLow = {xLow, yLow};
    c.axisHigh = {xHigh, yHigh};
    ComputeCurveAxisMapping(plot, c, kWaveformX);
    ComputeCurveAxisMapping(plot, c, kWaveformY);
}

std::uint16_t State(char letter) { return static_cast<std::uint16_t>(DigitalStateIndex(letter) | 0x1F8); }

TEST(AxisMapping, LinearAndLogarithmicAxesMapBothWays)
{
    PlotRecord plot;
    CurveRecord& c = AddCurve(plot);
    Map(plot, c, {100, 50, 500, 250}, 0.0, 10.0, 0.0, 10.0);
    EXPECT_DOUBLE_EQ(ValueToPixel(c, kWaveformX, 5.0), 300.0);
    EXPECT_DOUBLE_EQ(ValueToPixel(c, kWaveformY, 2.5), 200.0);
    EXPECT_DOUBLE_EQ(PixelToValue(c, kWaveformX, 300.0), 5.0);
    EXPECT_DOUBLE_EQ(PixelToValue(c, kWaveformY, 250.0), 0.0);

    c.linear[kWaveformX] = 0;
    Map(plot, c, {100, 50, 400, 250}, 1.0, 1000.0, 0.0, 10.0);
    EXPECT_NEAR(ValueToPixel(c, kWaveformX, 10.0), 200.0, 1e-9);
    EXPECT_NEAR(PixelToValue(c, kWaveformX, c.axisOffset[kWaveformX]), 1.0, 1e-12);
    // A value that is not positive (a dB, a phase) is drawn at the floor, far off the axis, not
    // at 1 or at its magnitude.
    EXPECT_LT(ValueToPixel(c, kWaveformX, 0.0), 100.0 - 1000.0);
    EXPECT_DOUBLE_EQ(ValueToPixel(c, kWaveformX, -20.0), ValueToPixel(c, kWaveformX, 0.0));
}

TEST(AxisMapping, FarValuesAreHeldAndEmptyGeometryGivesNoNaN)
{
    PlotRecord plot;
    CurveRecord& c = AddCurve(plot);
    Map(plot, c, {0, 0, 400, 300}, 0.0, 1.0, 0.0, 1.0);
    EXPECT_EQ(ValueToPixelClamped(c, kWaveformX, 1e300), kPixelHighLimit);
    EXPECT_EQ(ValueToPixelClamped(c, kWaveformX, -1e300), kPixelLowLimit);
    EXPECT_EQ(CurveValueToPixel(c, kWaveformX, 1e300, 0.0), 2147483647);

    // A minimised window leaves a plot rectangle without extent.
    Map(plot, c, {10, 10, 10, 10}, 2.0, 5.0, 2.0, 5.0);
    EXPECT_EQ(PixelToValue(c, kWaveformX, 123.0), 2.0);
    EXPECT_FALSE(std::isnan(ValueToPixel(c, kWaveformY, 3.0)));
    EXPECT_EQ(ValueToPixelClamped(c, kWaveformY, 3.0), 10);
}

TEST(AxisMapping, DigitalStatesTakeTheRowsOfTheirLane)
{
    PlotRecord plot;
    CurveRecord& c = AddCurve(plot);
    c.digital = 1;
    c.laneLow = 100;
    c.laneHigh = 80;
    EXPECT_EQ(CurveValueToPixel(c, kWaveformY, State('0'), 0), 100);
    EXPECT_EQ(CurveValueToPixel(c, kWaveformY, State('Z'), State('0')), 100);
    EXPECT_EQ(CurveValueToPixel(c, kWaveformY, State('1'), State('Z')), 80);
    EXPECT_EQ(CurveValueToPixel(c, kWaveformY, State('X'), State('1')), 80);
    EXPECT_EQ(CurveValueToPixel(c, kWaveformY, State('R'), 0), 100);
    EXPECT_EQ(CurveValueToPixel(c, kWaveformY, State('F'), 0), 80);
    EXPECT_EQ(DigitalStateOrPixel(c, kWaveformY, 600.0), 57);
    EXPECT_EQ(FormatDigitalValueText(c, State('F')), "F");
    EXPECT_EQ(DigitalStateIndex('r'), 1);
    EXPECT_EQ(DigitalStateIndex('?'), 6);
    EXPECT_EQ(DigitalStateIndex('A'), -1);
}

TEST(AxisDivisions, DecadesTextLinesAndLogTicks)
{
    PlotRecord plot;
    plot.textLineHeight = 10;
    CurveRecord& c = AddCurve(plot);
    Map(plot, c, {0, 0, 500, 49}, 2.0, 500.0, 0.0, 1.0);
    EXPECT_EQ(CountAxisDivisions(plot, c, kWaveformY), 2);  // five text lines
    c.plotRect.bottom = 99;
    EXPECT_EQ(CountAxisDivisions(plot, c, kWaveformY), 5);
    c.plotRect.bottom = 200;
    EXPECT_EQ(CountAxisDivisions(plot, c, kWaveformY), 10);
    EXPECT_EQ(CountAxisDivisions(plot, c, kWaveformX), 10);
    c.linear[kWaveformX] = 0;
    EXPECT_EQ(CountAxisDivisions(plot, c, kWaveformX), 2);
    c.axisLow[kWaveformX] = 2.0, c.axisHigh[kWaveformX] = 3.0;
    EXPECT_EQ(CountAxisDivisions(plot, c, kWaveformX), 1);

    EXPECT_DOUBLE_EQ(DecadeFloor(1000.0), 1000.0);
    EXPECT_DOUBLE_EQ(DecadeFloor(999.0), 100.0);
    std::vector<double> walked, major;
    WalkLogTicks(2.0, 500.0, [&](double v, bool m) {
        walked.push_back(v);
        if (m) major.push_back(v);
    });
    ASSERT_EQ(walked.size(), 23u);  // 1..9, 10..90, 100..500
    EXPECT_DOUBLE_EQ(walked.front(), 1.0);
    EXPECT_DOUBLE_EQ(walked.back(), 500.0);
    EXPECT_EQ(major, (std::vector<double>{1.0, 10.0, 100.0, 500.0}));
}

class AxisDrawingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win::ResetPlatformForTests(800, 600);
        ResetPlotViewSettingsForTests();
        record_ = std::make_unique<WindowRecord>();
        record_->kind = kWindowAnalysis;
        record_->plot = std::make_shared<PlotRecord>();
        dc_ = win::CreateCompatibleDC(nullptr);
    }
    void TearDown() override
    {
        win::DeleteDC(dc_);
        record_.reset();
        win::ResetPlatformForTests();
    }
    std::unique_ptr<WindowRecord> record_;
    win::HDC dc_ = nullptr;
};

TEST_F(AxisDrawingTest, LogAxisFrom2To500LabelsAndGrids)
{
    PlotRecord& plot = *record_->plot;
    plot.textLineHeight = 12;
    plot.averageCharWidth = 6;
    CurveRecord& c = AddCurve(plot);
    c.linear[kWaveformX] = 0;
    c.xScaleFormat = "2";
    Map(plot, c, {100, 20, 700, 300}, 2.0, 500.0, 0.0, 1.0);
    const std::vector<TickLabel> labels = AxisTickLabels(record_.get(), dc_, c, kWaveformX, false);
    std::vector<std::string> texts;
    for (const TickLabel& l : labels) texts.push_back(l.text);
    const auto text = [](double v) {
        std::string t = FormatExponentForm("2", v);
        return StripExponentPadding(t);
    };
    EXPECT_EQ(texts, (std::vector<std::string>{text(2), text(10), text(100), text(500)}));

    PlotViewOf(record_->plot).optionWord[0] = static_cast<std::int32_t>(kPlotHorizontalGrids);
    const auto inside = [&](const std::vector<int>& at) {
        std::vector<int> kept;
        for (int x : at)
            if (x > c.plotRect.left && x < c.plotRect.right) kept.push_back(x);
        return kept;
    };
    EXPECT_EQ(inside(GridLinePositions(record_.get(), c, kWaveformX)),
              (std::vector<int>{ValueToPixelClamped(c, kWaveformX, 10), ValueToPixelClamped(c, kWaveformX, 100)}));
    PlotViewOf(record_->plot).optionWord[0] |= static_cast<std::int32_t>(kPlotMinorLogGrids);
    EXPECT_EQ(inside(GridLinePositions(record_.get(), c, kWaveformX)).size(), 20u);  // 3..9, 10..90, 100..400
}

TEST_F(AxisDrawingTest, LinearGridLinesStandAtTheDivisions)
{
    PlotRecord& plot = *record_->plot;
    plot.textLineHeight = 12;
    CurveRecord& c = AddCurve(plot);
    Map(plot, c, {100, 20, 599, 300}, 0.0, 1.0, 0.0, 1.0);
    const std::vector<int> xs = GridLinePositions(record_.get(), c, kWaveformX);
    // 500 pixels in ten divisions; the frame's right edge takes no line.
    ASSERT_EQ(xs.size(), 10u);
    for (int k = 0; k < 10; ++k) EXPECT_EQ(xs[static_cast<std::size_t>(k)], 100 + k * 50);
    // A group five lines high gets two divisions and labels at its bottom and top.
    c.plotRect.bottom = 20 + 59;
    c.axisLength[kWaveformY] = 59;
    c.yScaleFormat = "2";
    c.columnWidth = 40;
    c.scaleColumn = 1;
    ChooseAxisLabelScale(c, kWaveformY);
    EXPECT_EQ(AxisTickLabels(record_.get(), dc_, c, kWaveformY, false).size(), 2u);
}

TEST(AxisTexts, TickLabelsAndReadoutsCarryThePrefixOrTheExponent)
{
    CurveRecord c;
    c.axisLow[kWaveformY] = 0.0;
    c.axisHigh[kWaveformY] = 1e-3;
    c.yScaleFormat = "2";
    ChooseAxisLabelScale(c, kWaveformY);
    EXPECT_EQ(c.labelPrefix[kWaveformY], 'm');
    EXPECT_EQ(FormatTickLabel(c, kWaveformY, 0.5), "0.50m");
    c.yScaleFormat = "3E";
    EXPECT_EQ(FormatTickLabel(c, kWaveformY, 0.5), "5.000e-4");

    c.valueFormat.printfFormat = "%10.3f";
    c.valueFormat.width = 10;
    c.axisHigh[kWaveformY] = 200e-6;
    ChooseAxisLabelScale(c, kWaveformY);
    EXPECT_EQ(FormatCurveValue(c, kWaveformY, 100e-6), "   100.000u");
    // No prefix fits 1e-16: the exponent form keeps the digits a fixed format would lose.
    c.axisHigh[kWaveformY] = 1e-16;
    ChooseAxisLabelScale(c, kWaveformY);
    EXPECT_EQ(c.labelPrefix[kWaveformY], 0);
    EXPECT_EQ(FormatCurveValue(c, kWaveformY, 3e-17), " 3.000e-17");
    c.axisHigh[kWaveformY] = 0.0;
    ChooseAxisLabelScale(c, kWaveformY);
    EXPECT_EQ(c.labelPrefix[kWaveformY], 0);
}

TEST(AxisTexts, BusBasesAndQuotients)
{
    EXPECT_EQ(FormatBusValueText(10, kBusBin, 8), "00001010");
    EXPECT_EQ(FormatBusValueText(10, kBusOct, 8), "012");
    EXPECT_EQ(FormatBusValueText(10, kBusDec, 8), "10");
    EXPECT_EQ(FormatBusValueText(10, kBusHex, 8), "0A");
    EXPECT_EQ(FormatBusValueText(255, kBusHex | kBusBin, 12), "0FF");  // hexadecimal wins over binary
    EXPECT_EQ(QuotientText(2.5, 2.5), "1");
    EXPECT_EQ(QuotientText(1.0, 0.0), "INF");
    EXPECT_EQ(QuotientText(1.0, 4.0), FormatNumber(0.25, "3E", 0));
}

TEST(SegmentClipping, FarSegmentsAreCutAtTheDeviceLimit)
{
    double x1 = 0, y1 = 0, x2 = 2e7, y2 = 2e7;
    ASSERT_TRUE(ClipSegmentToLimit(x1, y1, x2, y2, 4e6));
    EXPECT_DOUBLE_EQ(x2, 4e6);
    EXPECT_DOUBLE_EQ(y2, 4e6);
    double a = 5e6, b = 0, c = 6e6, d = 10;
    EXPECT_FALSE(ClipSegmentToLimit(a, b, c, d, 4e6));
    double e = -1e9, f = 100, g = 1e9, h = 100;
    ASSERT_TRUE(ClipSegmentToLimit(e, f, g, h, 32767));
    EXPECT_DOUBLE_EQ(e, -32767);
    EXPECT_DOUBLE_EQ(g, 32767);
    EXPECT_DOUBLE_EQ(f, 100);
}

TEST(NiceRanges, RoundToFiveReadableDivisions)
{
    double step = 0, low = 0, high = 0;
    ASSERT_EQ(NiceRange(false, 0.97, 0.0, 5, step, low, high), 0);
    EXPECT_DOUBLE_EQ(step, 0.2);
    EXPECT_DOUBLE_EQ(low, 0.0);
    EXPECT_DOUBLE_EQ(high, 1.0);
    ASSERT_EQ(NiceRange(false, -1.0, -9.7, 5, step, low, high), 0);
    EXPECT_DOUBLE_EQ(high, 0.0);
    EXPECT_DOUBLE_EQ(low, -10.0);
    // Given in the other order the range comes back in that order.
    ASSERT_EQ(NiceRange(false, 0.0, 0.97, 5, step, low, high), 0);
    EXPECT_DOUBLE_EQ(high, 0.0);
    EXPECT_DOUBLE_EQ(low, 1.0);
    EXPECT_EQ(NiceRange(false, 1.0, 1.0, 5, step, low, high), -1);
}

TEST(AutomaticRanges, DataRangesGroupUnionsAndOwnScales)
{
    WindowRecord window;
    window.kind = kWindowAnalysis;
    window.plot = std::make_shared<PlotRecord>();
    PlotRecord& plot = *window.plot;
    CurveRecord& flat = AddCurve(plot);
    CurveRecord& wide = AddCurve(plot);
    for (CurveRecord* c : {&flat, &wide}) {
        c->rangeMode = {kRangeAutomatic, kRangeAutomatic};
        c->lastPointIndex = 3;
    }
    flat.dataMin = {0.0, 3.0};
    flat.dataMax = {1.0, 3.0};
    wide.dataMin = {0.0, -2.0};
    wide.dataMax = {1.0, 0.5};
    RangesFromData(&window);
    EXPECT_DOUBLE_EQ(flat.axisLow[kWaveformY], 1.5);
    EXPECT_DOUBLE_EQ(flat.axisHigh[kWaveformY], 6.0);
    UnifyGroupRanges(&window, 0);
    EXPECT_DOUBLE_EQ(flat.axisLow[kWaveformY], -2.0);
    EXPECT_DOUBLE_EQ(wide.axisHigh[kWaveformY], 6.0);
    // -2 .. 6 in steps of 2: -4 .. 6 and -2 .. 8 are centred alike; the first wins.
    ASSERT_EQ(RescaleAutomaticRanges(&window, true, false), 1);
    EXPECT_DOUBLE_EQ(flat.axisLow[kWaveformY], -4.0);
    EXPECT_DOUBLE_EQ(flat.axisHigh[kWaveformY], 6.0);
    EXPECT_EQ(flat.rangeMode[kWaveformY], kRangeFromSetup);
    EXPECT_DOUBLE_EQ(flat.referenceHigh[kWaveformY], 6.0);
    // Same range and format: one scale for the group.
    EXPECT_EQ(flat.ownScale, 1);
    EXPECT_EQ(wide.ownScale, 0);

    // A curve without a point leaves every range alone.
    wide.lastPointIndex = -1;
    wide.rangeMode = {kRangeAutomatic, kRangeAutomatic};
    EXPECT_EQ(RescaleAutomaticRanges(&window, true, false), 0);
}

TEST(AutomaticRanges, LogAxisTakesWholeDecadesAroundItsData)
{
    WindowRecord window;
    window.kind = kWindowAnalysis;
    window.plot = std::make_shared<PlotRecord>();
    CurveRecord& c = AddCurve(*window.plot);
    c.linear[kWaveformX] = 0;
    c.rangeMode = {kRangeAutomatic, kRangeFromSetup};
    c.lastPointIndex = 5;
    c.dataMin = {3.0, 0.0};
    c.dataMax = {4.2e4, 1.0};
    RangesFromData(&window);
    RescaleAutomaticRanges(&window, true, false);
    EXPECT_DOUBLE_EQ(c.axisLow[kWaveformX], 1.0);
    EXPECT_DOUBLE_EQ(c.axisHigh[kWaveformX], 1e5);
}

TEST(CurveRangeCommands, SetOrderZoomPanAndUndo)
{
    CurveRecord log;
    log.linear[kWaveformX] = 0;
    EXPECT_EQ(SetCurveAxisRange(log, kWaveformX, 0.0, 10.0), 0);
    CurveRecord lin;
    EXPECT_EQ(SetCurveAxisRange(lin, kWaveformX, 0.0, 10.0), 1);
    EXPECT_EQ(SetCurveAxisRange(lin, kWaveformX, 1.0, 1e31), 0);
    EXPECT_EQ(SetCurveAxisRange(lin, kWaveformX, 1e-31, 1.0), 0);
    EXPECT_DOUBLE_EQ(lin.axisHigh[kWaveformX], 10.0);
    OrderCurveAxisRange(lin, kWaveformX, false);
    EXPECT_DOUBLE_EQ(lin.axisLow[kWaveformX], 10.0);

    WindowRecord window;
    window.kind = kWindowAnalysis;
    window.plot = std::make_shared<PlotRecord>();
    CurveRecord& c = AddCurve(*window.plot);
    c.axisLow = {0.0, -1.0};
    c.axisHigh = {100.0, 1.0};
    ZoomInPlotGroup(&window);
    ZoomInPlotGroup(&window);
    EXPECT_DOUBLE_EQ(c.axisLow[kWaveformX], 37.5);
    EXPECT_DOUBLE_EQ(c.axisHigh[kWaveformX], 62.5);
    ZoomOutPlotGroup(&window);
    EXPECT_DOUBLE_EQ(c.axisLow[kWaveformX], 25.0);
    EXPECT_DOUBLE_EQ(c.axisHigh[kWaveformX], 75.0);
    UndoCurveRanges(&window);
    EXPECT_DOUBLE_EQ(c.axisLow[kWaveformX], 37.5);
    UndoCurveRanges(&window);
    EXPECT_DOUBLE_EQ(c.axisLow[kWaveformX], 25.0);

    c.linear[kWaveformX] = 0;
    c.axisLow[kWaveformX] = 1.0;
    c.axisHigh[kWaveformX] = 1000.0;
    PanPlotCommand(&window, kCommandPanLeft);
    EXPECT_DOUBLE_EQ(c.axisLow[kWaveformX], 0.1);
    EXPECT_DOUBLE_EQ(c.axisHigh[kWaveformX], 100.0);
    c.linear[kWaveformX] = 1;
    c.axisLow = {0.0, 0.0};
    c.axisHigh = {10.0, 1.0};
    PanPlotCommand(&window, kCommandPanUp);
    EXPECT_DOUBLE_EQ(c.axisLow[kWaveformY], 0.1);

    // Zoom to a dragged box in pixels; a single point changes nothing.
    Map(*window.plot, c, {100, 50, 500, 250}, 0.0, 10.0, 0.0, 10.0);
    ZoomCurvesToRect(&window, 0, {200, 100}, {200, 100});
    EXPECT_DOUBLE_EQ(c.axisHigh[kWaveformX], 10.0);
    ZoomCurvesToRect(&window, 0, {300, 150}, {200, 100});
    EXPECT_DOUBLE_EQ(c.axisLow[kWaveformX], 2.5);
    EXPECT_DOUBLE_EQ(c.axisHigh[kWaveformX], 5.0);
    EXPECT_DOUBLE_EQ(c.axisLow[kWaveformY], 5.0);
    EXPECT_DOUBLE_EQ(c.axisHigh[kWaveformY], 7.5);

    // A right-button drag moves the group's ranges by the values under the two pixels.
    Map(*window.plot, c, {100, 50, 500, 250}, 0.0, 10.0, 0.0, 10.0);
    PanPlotGroup(&window, 300, 150, 200, 150);
    EXPECT_DOUBLE_EQ(c.axisLow[kWaveformX], 2.5);
    EXPECT_DOUBLE_EQ(c.axisHigh[kWaveformX], 12.5);
    EXPECT_DOUBLE_EQ(c.axisLow[kWaveformY], 0.0);
}

}  // namespace
}  // namespace kq5

namespace kq5::testing {
namespace {

// A nearly flat curve: its ticks lie closer together than the scale format's digits show, so
// the labels take the digits that tell them apart (they all read "2.00" before).
TEST_F(AxisDrawingTest, ANearlyFlatCurvesTickLabelsAllDiffer)
{
    PlotRecord& plot = *record_->plot;
    plot.textLineHeight = 12;
    plot.averageCharWidth = 6;
    CurveRecord& c = AddCurve(plot);
    Map(plot, c, {100, 20, 700, 420}, 0.0, 5e-3, 1.9996, 2.0004);
    c.axisLength = {600, 400};
    c.yScaleFormat = "2";
    c.columnWidth = 60;
    c.scaleColumn = 1;
    ChooseAxisLabelScale(c, kWaveformY);
    const std::vector<TickLabel> labels = AxisTickLabels(record_.get(), dc_, c, kWaveformY, true);
    ASSERT_GE(labels.size(), 3u);
    for (std::size_t i = 1; i < labels.size(); ++i) EXPECT_NE(labels[i].text, labels[i - 1].text) << i;
    EXPECT_EQ(labels.front().text, "1.99960");  // ten steps of 0.00008
    EXPECT_EQ(labels.back().text, "2.00040");

    // The exponent form takes mantissa digits the same way.
    c.yScaleFormat = "2E";
    const std::vector<TickLabel> exponent = AxisTickLabels(record_.get(), dc_, c, kWaveformY, true);
    for (std::size_t i = 1; i < exponent.size(); ++i) EXPECT_NE(exponent[i].text, exponent[i - 1].text) << i;
    EXPECT_EQ(exponent.front().text, "1.99960e0");

    // Ticks the format tells apart keep the format's digits.
    EXPECT_EQ(FormatTickLabel(c, kWaveformY, 2.5, 0.5), "2.50e0");
    c.yScaleFormat = "2";
    EXPECT_EQ(FormatTickLabel(c, kWaveformY, 2.5, 0.5), "2.50");
    EXPECT_EQ(FormatTickLabel(c, kWaveformY, 2.5, 0.0), "2.50");
}

}  // namespace
}  // namespace kq5::testing
