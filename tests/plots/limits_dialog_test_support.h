#pragma once
// A started frame with a schematic whose transient analysis is current, for the Analysis Limits
// dialog; the text its help bar shows; and choosing from a row edit's popup.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../app/frame_test_support.h"
#include "../app/screen_capture_support.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "ui/help_bar.h"
#include "platform/headless.h"
#include "platform/input.h"
#include "platform/message.h"
#include "platform/window.h"
#include "results/curve_record.h"
#include "plots/analysis_window.h"
#include "plots/limits_dialog.h"

namespace kq5::testing {

class LimitsDialogFixture : public StartedFrame {
protected:
    void SetUp() override
    {
        StartedFrame::SetUp();
        // A failed run points the dialog at the field that made it fail.
        InstallAnalysisWindowServices();
        circuit_ = StartWithSchematic();
        ASSERT_NE(circuit_, nullptr);
        if (!circuit_->plot) circuit_->plot = std::make_shared<PlotRecord>();
        Analysis().analysisKind = kAnalysisTransient;
        RunControl().circuitWindow = circuit_;
    }
    void TearDown() override
    {
        CloseAnalysisLimitsDialog();
        Analysis().analysisKind = kAnalysisNone;
        RunControl().circuitWindow = nullptr;
        StartedFrame::TearDown();
    }

    WindowRecord* circuit_ = nullptr;
};

// The text the dialog's help bar shows.
inline std::string HelpBarText(win::HWND dialog)
{
    for (win::HWND child = win::GetWindow(dialog, win::GW_CHILD); child; child = win::GetWindow(child, win::GW_HWNDNEXT))
        if (win::GetClassName(child) == kHelpBarClass)
            if (const auto* bar = reinterpret_cast<const HelpBar*>(win::GetWindowLongPtr(child, win::GWLP_USERDATA)))
                return bar->text;
    return "<no bar>";
}

// Sends the message that opens a popup and presses the keys while it is tracked; a 0 in the
// keys keeps the screen under that name instead.
inline void ChooseFromPopup(win::HWND window, win::UINT message, win::LPARAM lParam, const std::vector<int>& keys,
                            const char* screen = nullptr)
{
    std::size_t step = 0;
    win::headless::SetIdleHandler([&]() {
        if (step >= keys.size()) return false;
        const int key = keys[step++];
        if (key == 0) EXPECT_TRUE(SaveScreen(screen));
        else win::headless::PressKey(key);
        return true;
    });
    win::SendMessage(window, message, 0, lParam);
    win::headless::SetIdleHandler({});
}

// The popup of a row edit, opened with a right click.
inline void ChooseFromRowPopup(win::HWND edit, const std::vector<int>& keys, const char* screen = nullptr)
{
    ChooseFromPopup(edit, win::WM_RBUTTONDOWN, 0, keys, screen);
}

}  // namespace kq5::testing
