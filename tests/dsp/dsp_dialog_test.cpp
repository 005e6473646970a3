// The "DSP Control Parameters" dialog reached through its command: defaults taken from the
// analysis range, the labels of each analysis kind, OK storing trimmed texts and the status,
// Cancel keeping the defaults it filled in, a DC sweep's own settings, and no dialog without an
// analysis.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "../app/frame_test_support.h"
#include "../app/screen_capture_support.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "analyses/dsp_dialog.h"
#include "ui/window_record.h"
#include "document/circuit_document.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/headless.h"
#include "platform/message.h"
#include "platform/win_messages.h"
#include "platform/window.h"

namespace kq5::testing {
namespace {

class DspDialogTest : public StartedFrame {
protected:
    void SetUp() override
    {
        StartedFrame::SetUp();
        circuit_ = StartWithSchematic();
        ASSERT_NE(circuit_, nullptr);
        RunControl().circuitWindow = circuit_;
    }
    void TearDown() override
    {
        win::headless::SetIdleHandler({});
        Analysis().analysisKind = kAnalysisNone;
        RunControl().circuitWindow = nullptr;
        StartedFrame::TearDown();
    }

    // Sends the menu command to the frame; act runs once the dialog waits for input.
    bool Command(std::function<void(win::HWND)> act)
    {
        bool shown = false;
        win::headless::SetIdleHandler([&]() {
            if (shown) return false;
            shown = true;
            act(win::GetActiveWindow());
            return true;
        });
        win::SendMessage(FrameWindow(), win::WM_COMMAND, kDspParametersTemplate, 0);
        win::headless::SetIdleHandler({});
        return shown;
    }

    WindowRecord* circuit_ = nullptr;
};

TEST_F(DspDialogTest, TransientDefaultsComeFromTheRangeAndOkStoresTheTexts)
{
    Analysis().analysisKind = kAnalysisTransient;
    CircuitDocument& document = *circuit_->document;
    document.limits.transient[kLimitTRange] = "2m,0.5m";
    document.dsp[0] = DspSettings{};
    const bool shown = Command([](win::HWND dialog) {
        EXPECT_EQ(win::GetWindowText(dialog), "DSP Control Parameters");
        EXPECT_EQ(win::GetDlgItemText(dialog, 100), "Upper Time Limit");
        EXPECT_EQ(win::GetDlgItemText(dialog, 101), "Lower Time Limit");
        EXPECT_EQ(win::GetDlgItemText(dialog, 10), "2m");
        EXPECT_EQ(win::GetDlgItemText(dialog, 11), "0.5m");
        EXPECT_EQ(win::GetDlgItemText(dialog, 12), "1024");
        EXPECT_EQ(win::IsDlgButtonChecked(dialog, 111), win::BST_CHECKED);
        EXPECT_EQ(win::IsDlgButtonChecked(dialog, 110), win::BST_UNCHECKED);
        EXPECT_TRUE(SaveScreen("dsp_parameters"));
        win::SetDlgItemText(dialog, 12, "  4096 ");
        win::SetDlgItemText(dialog, 11, "0");
        win::CheckRadioButton(dialog, 110, 111, 110);
        win::SendMessage(dialog, win::WM_COMMAND, win::IDOK, 0);
    });
    ASSERT_TRUE(shown);
    EXPECT_EQ(document.dsp[0].on, 1);
    EXPECT_EQ(document.dsp[0].max, "2m");
    EXPECT_EQ(document.dsp[0].min, "0");
    EXPECT_EQ(document.dsp[0].nPts, "4096");
    EXPECT_EQ(circuit_->modified, 1);
}

TEST_F(DspDialogTest, AcLabelsAndCancelKeepsTheFilledDefaults)
{
    Analysis().analysisKind = kAnalysisAc;
    CircuitDocument& document = *circuit_->document;
    document.limits.ac[kLimitFRange] = "10Meg";
    document.dsp[1] = DspSettings{};
    document.dsp[1].on = 1;
    document.dsp[1].nPts = "512";
    const bool shown = Command([](win::HWND dialog) {
        EXPECT_EQ(win::GetDlgItemText(dialog, 100), "Upper Frequency Limit");
        EXPECT_EQ(win::GetDlgItemText(dialog, 101), "Lower Frequency Limit");
        EXPECT_EQ(win::GetDlgItemText(dialog, 10), "10Meg");
        EXPECT_EQ(win::GetDlgItemText(dialog, 11), "0");  // no comma: the window starts at 0
        EXPECT_EQ(win::GetDlgItemText(dialog, 12), "512");
        EXPECT_EQ(win::IsDlgButtonChecked(dialog, 110), win::BST_CHECKED);
        win::SendMessage(dialog, win::WM_COMMAND, win::IDCANCEL, 0);
    });
    ASSERT_TRUE(shown);
    EXPECT_EQ(document.dsp[1].max, "10Meg");
    EXPECT_EQ(document.dsp[1].min, "0");
    EXPECT_EQ(document.dsp[1].on, 1);
}

// A DC sweep has settings of its own, their defaults from the Input 1 range (without its step);
// without an analysis nothing opens.
TEST_F(DspDialogTest, ADcSweepHasItsOwnSettingsAndNothingOpensWithoutAnAnalysis)
{
    Analysis().analysisKind = kAnalysisDc;
    CircuitDocument& document = *circuit_->document;
    document.limits.dc[kLimitI1Range] = "10,2,.5";
    document.dsp[0].max = "5m";
    const bool shown = Command([](win::HWND dialog) {
        EXPECT_EQ(win::GetDlgItemText(dialog, 10), "10");
        EXPECT_EQ(win::GetDlgItemText(dialog, 11), "2");
        EXPECT_EQ(win::GetDlgItemText(dialog, 12), "1024");
        win::SetDlgItemText(dialog, 12, "256");
        win::CheckRadioButton(dialog, 110, 111, 110);
        win::SendMessage(dialog, win::WM_COMMAND, win::IDOK, 0);
    });
    ASSERT_TRUE(shown);
    EXPECT_EQ(document.dsp[2].on, 1);
    EXPECT_EQ(document.dsp[2].nPts, "256");
    EXPECT_EQ(document.dsp[0].max, "5m");

    Analysis().analysisKind = kAnalysisNone;
    EXPECT_FALSE(Command([](win::HWND dialog) { win::SendMessage(dialog, win::WM_COMMAND, win::IDCANCEL, 0); }));
}

}  // namespace
}  // namespace kq5::testing
