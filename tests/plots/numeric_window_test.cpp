#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>

#include "../app/frame_test_support.h"
#include "../app/screen_capture_support.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/headless.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/win_styles.h"
#include "platform/window.h"
#include "results/curve_record.h"
#include "plots/numeric_output_window.h"
#include "results/waveform_store.h"
#include "analog/transient_run.h"

namespace kq5::testing {
namespace {

TEST(NumericWindowTexts, OrdinalsCountsAndOptionBits)
{
    EXPECT_EQ(OrdinalText(1), "1st");
    EXPECT_EQ(OrdinalText(2), "2nd");
    EXPECT_EQ(OrdinalText(3), "3rd");
    EXPECT_EQ(OrdinalText(11), "11th");
    EXPECT_EQ(OrdinalText(12), "12th");
    EXPECT_EQ(OrdinalText(21), "21st");
    EXPECT_EQ(OrdinalText(112), "112th");
    EXPECT_EQ(OrdinalText(1000), "1000th");
    EXPECT_EQ(ReductionCount("20th"), 20);
    EXPECT_EQ(ReductionCount(" 7"), 7);
    EXPECT_EQ(ReductionCount("th"), 1);
    EXPECT_EQ(ReductionCount("0th"), 1);
    int count = 0;
    ReductionChoices(count);
    EXPECT_EQ(count, 21);
    EXPECT_EQ(PlotOptionBitForCommand(18400), 1u);
    EXPECT_EQ(PlotOptionBitForCommand(18404), 16u);
    EXPECT_EQ(PlotOptionBitForCommand(18406), 0x10000u);
    EXPECT_EQ(PlotOptionBitForCommand(18407), 0u);
    EXPECT_STREQ(SkipClassBlanks(" \t x"), "x");
}

TEST(RunStartPoint, TheFirstPointTakesTheValueAtTheStartTime)
{
    TransientRun().tmin = 0.0;
    {
        // A first point at the start time keeps the solution computed there.
        CurveRecord exact;
        const double v[] = {0.0, 3.0, 5.0};
        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(WaveformStoreWrite(exact, i * 1e-6, kWaveformX), 0);
            ASSERT_EQ(WaveformStoreWrite(exact, v[i], kWaveformY), 0);
            SetWaveformValue(*exact.ownStore, 0, i, i * 1e-6);
        }
        InterpolateRunStartPoint(nullptr, exact);
        EXPECT_EQ(GetWaveformValue(*exact.ownStore, exact.storeSlots[kWaveformY], 0), 0.0);
    }
    CurveRecord curve;
    const double times[] = {-1e-6, 1e-6, 2e-6};
    const double values[] = {99.0, 3.0, 5.0};
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(WaveformStoreWrite(curve, times[i] + 1.0, kWaveformX), 0);
        ASSERT_EQ(WaveformStoreWrite(curve, values[i], kWaveformY), 0);
        SetWaveformValue(*curve.ownStore, 0, i, times[i]);
    }
    curve.dataMin[kWaveformY] = 3.0;
    InterpolateRunStartPoint(nullptr, curve);
    // The line through (1 us, 3) and (2 us, 5) crosses t = 0 at 1; the own X likewise.
    EXPECT_DOUBLE_EQ(GetWaveformValue(*curve.ownStore, curve.storeSlots[kWaveformY], 0), 1.0);
    EXPECT_DOUBLE_EQ(GetWaveformValue(*curve.ownStore, curve.storeSlots[kWaveformX], 0), 1.0);
    EXPECT_DOUBLE_EQ(curve.dataMin[kWaveformY], 1.0);
    // A digital curve takes the state of the next point.
    curve.digital = 1;
    InterpolateRunStartPoint(nullptr, curve);
    EXPECT_DOUBLE_EQ(GetWaveformValue(*curve.ownStore, curve.storeSlots[kWaveformY], 0), 3.0);
}

class NumericWindowTest : public StartedFrame {
protected:
    void SetUp() override
    {
        StartedFrame::SetUp();
        circuit_ = StartWithSchematic();
        ASSERT_NE(circuit_, nullptr);
        Analysis().analysisKind = kAnalysisTransient;
        RunControl().circuitWindow = circuit_;
    }
    void TearDown() override
    {
        win::headless::SetIdleHandler({});
        Analysis().analysisKind = kAnalysisNone;
        RunControl().circuitWindow = nullptr;
        StartedFrame::TearDown();
    }

    int RunDialog(std::function<int()> open, std::function<void(win::HWND)> act)
    {
        bool done = false;
        win::headless::SetIdleHandler([&]() {
            if (done) return false;
            done = true;
            act(win::GetActiveWindow());
            return true;
        });
        return open();
    }

    WindowRecord* circuit_ = nullptr;
};

TEST_F(NumericWindowTest, TheNumericOutputFileOpensInATextWindow)
{
    std::string title = circuit_->title;
    const std::string tno = title.substr(0, title.rfind('.')) + ".TNO";
    std::ofstream(tno, std::ios::binary) << "                Transient Analysis of circuit1.cir\r\n\r\n"
                                            "         T      V(2)\r\n    (uSec)       (V)\r\n     0.000     0.000\r\n"
                                            "    10.000     0.090\r\n";
    WindowRecord* window = ShowNumericOutputWindow();
    ASSERT_NE(window, nullptr);
    PumpFrameMessages();
    EXPECT_EQ(window->kind, kWindowTextCircuit);
    EXPECT_NE(window->textArea.find("V(2)"), std::string::npos);
    EXPECT_TRUE(win::IsZoomed(window->window));
    win::RedrawWindow(FrameWindow(), nullptr, nullptr,
                      win::RDW_INVALIDATE | win::RDW_ERASE | win::RDW_ALLCHILDREN | win::RDW_UPDATENOW);
    PumpFrameMessages();
    EXPECT_TRUE(SaveScreen("numeric_output_window"));
    // A second call activates the same window.
    EXPECT_EQ(ShowNumericOutputWindow(), window);
}

TEST_F(NumericWindowTest, ReductionAndAnimationDialogs)
{
    const int dpr = RunDialog(OpenDataPointReduction, [](win::HWND dialog) {
        EXPECT_EQ(win::GetDlgItemText(dialog, 101), "1st");
        win::SetDlgItemText(dialog, 101, "20th");
        win::SetDlgItemText(dialog, 102, "3rd");
        EXPECT_TRUE(SaveScreen("data_point_reduction"));
        win::SendMessage(dialog, win::WM_COMMAND, win::IDOK, 0);
    });
    EXPECT_EQ(dpr, 1);
    EXPECT_EQ(circuit_->document->reduceSave[0], 20);
    EXPECT_EQ(circuit_->document->reduceDisplay[0], 3);

    const int animate = RunDialog(OpenAnimateOptions, [](win::HWND dialog) {
        EXPECT_EQ(win::GetDlgItemText(dialog, 10), "0.5");
        win::CheckRadioButton(dialog, 110, 112, 112);
        win::SetDlgItemText(dialog, 10, "0.25");
        win::SendMessage(dialog, win::WM_COMMAND, win::IDOK, 0);
    });
    EXPECT_EQ(animate, 1);
    EXPECT_EQ(circuit_->document->animateWait, 2);
    EXPECT_EQ(circuit_->document->animateWaitTime, 250);
}

}  // namespace
}  // namespace kq5::testing
