#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "../app/frame_test_support.h"
#include "../app/screen_capture_support.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "document/circuit_document.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/headless.h"
#include "platform/message.h"
#include "platform/window.h"
#include "results/curve_record.h"
#include "results/limits_row.h"
#include "plots/plot_characteristics.h"
#include "results/plot_view_settings.h"
#include "ui/window_record.h"

namespace kq5::testing {
namespace {

class CharacteristicsTest : public StartedFrame {
protected:
    void SetUp() override
    {
        StartedFrame::SetUp();
        circuit_ = StartWithSchematic();
        ASSERT_NE(circuit_, nullptr);
        circuit_->plot = std::make_shared<PlotRecord>();
        Analysis().analysisKind = kAnalysisTransient;
        RunControl().circuitWindow = circuit_;
        auto& rows = circuit_->document->limitsRows[0];
        rows.assign(2, LimitsRow{});
        for (int i = 0; i < 2; ++i) {
            auto curve = std::make_unique<CurveRecord>();
            curve->name = i == 0 ? "v(1)" : "v(2)";
            curve->rowIndex = i;
            curve->plotGroup = 1;
            curve->axisLow = {0.0, 0.0};
            curve->axisHigh = {1e-3, 5.0};
            curve->valueFormat.text = "5.3";
            rows[static_cast<std::size_t>(i)].plotGroup = '1';
            rows[static_cast<std::size_t>(i)].yRange = "Auto";
            circuit_->plot->curves.push_back(std::move(curve));
        }
        circuit_->plot->curveCount = 2;
    }
    void TearDown() override
    {
        win::headless::SetIdleHandler({});
        Analysis().analysisKind = kAnalysisNone;
        RunControl().circuitWindow = nullptr;
        StartedFrame::TearDown();
    }

    // Runs the dialog, doing each step on it whenever it waits for input (it repaints between).
    int Run(std::vector<std::function<void(win::HWND)>> steps)
    {
        std::size_t next = 0;
        win::headless::SetIdleHandler([&]() {
            if (next >= steps.size()) return false;
            steps[next++](win::GetActiveWindow());
            return true;
        });
        return OpenPlotCharacteristics(circuit_);
    }
    int Run(std::function<void(win::HWND)> act) { return Run(std::vector<std::function<void(win::HWND)>>{act}); }

    static void Press(win::HWND dialog, int id) { win::SendMessage(dialog, win::WM_COMMAND, static_cast<win::WPARAM>(id), 0); }

    static void Pick(win::HWND dialog, int combo, int index)
    {
        win::SendDlgItemMessage(dialog, combo, win::CB_SETCURSEL, index, 0);
        win::SendMessage(dialog, win::WM_COMMAND, win::MAKEWPARAM(combo, win::CBN_SELCHANGE), 0);
    }

    CurveRecord& Curve(int i) { return *circuit_->plot->curves[static_cast<std::size_t>(i)]; }
    LimitsRow& Row(int i) { return circuit_->document->limitsRows[0][static_cast<std::size_t>(i)]; }

    WindowRecord* circuit_ = nullptr;
};

TEST_F(CharacteristicsTest, TestAppliesAndCancelRestores)
{
    const int result = Run([&](win::HWND dialog) {
        EXPECT_EQ(win::GetWindowText(dialog), "Analysis Plot Characteristics");
        EXPECT_TRUE(SaveScreen("plot_characteristics"));
        // Hide the first curve, move it to graph 2, width 3; Test shows it at once.
        win::CheckDlgButton(dialog, 212, win::BST_UNCHECKED);
        Press(dialog, 212);
        Pick(dialog, 214, 1);
        Pick(dialog, 215, 2);
        Press(dialog, kCharacteristicsTestButton);
        EXPECT_EQ(Curve(0).state, 1);
        EXPECT_EQ(Curve(0).plotGroup, 2);
        EXPECT_EQ(Curve(0).lineWidth, 3);
        // Test never writes the rows.
        EXPECT_EQ(Row(0).plotGroup, '1');
        Press(dialog, win::IDCANCEL);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Curve(0).state, 0);
    EXPECT_EQ(Curve(0).plotGroup, 1);
    EXPECT_EQ(Curve(0).lineWidth, 1);
}

TEST_F(CharacteristicsTest, OkWritesTheGraphDigitAndSavedRangesIntoTheRows)
{
    const int result = Run({[&](win::HWND dialog) {
                                Pick(dialog, 214, 2);  // graph 3
                                Press(dialog, 202);    // Format page
                            },
                            [&](win::HWND dialog) {
        EXPECT_TRUE(SaveScreen("plot_characteristics_format"));
        win::SetDlgItemText(dialog, 228, "-1");  // Y low
        win::SetDlgItemText(dialog, 230, "2.5"); // Y high
        win::CheckDlgButton(dialog, 249, win::BST_CHECKED);
        Press(dialog, win::IDOK);
    }});
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Row(0).plotGroup, '3');
    EXPECT_EQ(Curve(0).axisLow[1], -1.0);
    EXPECT_EQ(Curve(0).axisHigh[1], 2.5);
    EXPECT_EQ(Row(0).yRange, "2.5,-1");
    EXPECT_EQ(Row(1).yRange, "Auto");  // the other curve kept its range
    EXPECT_EQ(circuit_->plot->saveRangeFlags[0], 1);
}

TEST_F(CharacteristicsTest, WithoutSaveRangeEditsTheRowsKeepTheirTexts)
{
    Run([&](win::HWND dialog) {
        Press(dialog, 202);
        win::SetDlgItemText(dialog, 230, "8");
        win::SetDlgItemText(dialog, 228, "0");
        Press(dialog, win::IDOK);
    });
    EXPECT_EQ(Curve(0).axisHigh[1], 8.0);
    EXPECT_EQ(Row(0).yRange, "Auto");
}

}  // namespace
}  // namespace kq5::testing

namespace kq5::testing {
namespace {

TEST_F(CharacteristicsTest, AutoScaleRescalesTheGroupAtOnceAndCancelRestores)
{
    // The dialog of the analysis window that shows the plot; both curves hold data.
    WindowRecord* analysis = NewWindowRecord(nullptr, kWindowAnalysis);
    analysis->plot = circuit_->plot;
    for (int i = 0; i < 2; ++i) {
        Curve(i).lastPointIndex = 10;
        Curve(i).dataMin = {0.0, i == 0 ? -0.2 : 0.1};
        Curve(i).dataMax = {1e-3, i == 0 ? 3.7 : 2.0};
    }
    std::string lowText, highText;
    win::headless::SetIdleHandler({});
    std::vector<std::function<void(win::HWND)>> steps = {
        [&](win::HWND dialog) { Press(dialog, 202); },
        [&](win::HWND dialog) {
            Press(dialog, 236);  // Auto Scale Y
            lowText = win::GetDlgItemText(dialog, 228);
            highText = win::GetDlgItemText(dialog, 230);
            // Both curves of the group took the union of their data at once.
            EXPECT_LT(Curve(0).axisLow[1], -0.19);
            EXPECT_GT(Curve(0).axisHigh[1], 3.69);
            EXPECT_LT(Curve(0).axisHigh[1], 5.0);
            EXPECT_EQ(Curve(1).axisLow[1], Curve(0).axisLow[1]);
            EXPECT_EQ(Curve(1).axisHigh[1], Curve(0).axisHigh[1]);
            Press(dialog, win::IDCANCEL);
        }};
    std::size_t next = 0;
    win::headless::SetIdleHandler([&]() {
        if (next >= steps.size()) return false;
        steps[next++](win::GetActiveWindow());
        return true;
    });
    EXPECT_EQ(OpenPlotCharacteristics(analysis), 0);
    // The dialog showed the new range; Cancel put the old one back.
    EXPECT_NE(lowText, "0");
    EXPECT_NE(highText, "5");
    EXPECT_EQ(Curve(0).axisLow[1], 0.0);
    EXPECT_EQ(Curve(0).axisHigh[1], 5.0);
    analysis->plot.reset();
    FreeWindowRecord(analysis);
}

TEST_F(CharacteristicsTest, ColoursAndTheOneScaleChoiceAreThePlotViewsOwn)
{
    PlotViewSettings& view = PlotViewOf(circuit_->plot);
    view.gridColor = 7;
    view.sameYScales = 0;
    const CharacteristicsSnapshot s = TakeCharacteristicsSnapshot(circuit_);
    EXPECT_EQ(s.fontColors[1], 7);
    CharacteristicsSnapshot edited = s;
    edited.fontColors[2] = 14;
    edited.windowBackground = 3;
    edited.oneScale = 1;
    ApplyCharacteristicsSnapshot(circuit_, edited, kCharacteristicsTestButton);
    EXPECT_EQ(view.graphBackground, 14);
    EXPECT_EQ(view.windowBackground, 3);
    EXPECT_EQ(view.sameYScales, 1);
    ApplyCharacteristicsSnapshot(circuit_, s, 2);
    EXPECT_EQ(view.graphBackground, s.fontColors[2]);
    EXPECT_EQ(view.sameYScales, 0);
}

}  // namespace
}  // namespace kq5::testing
