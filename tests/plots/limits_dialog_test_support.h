#pragma once
// A started frame with a schematic whose transient analysis is current, for the Analysis Limits
// dialog; and the text its help bar shows.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "../app/frame_test_support.h"
#include "analog/analysis_state.h"
#include "analog/run_control.h"
#include "app/help_bar.h"
#include "platform/window.h"
#include "plots/curve_record.h"
#include "plots/limits_dialog.h"

namespace kq5::testing {

class LimitsDialogFixture : public StartedFrame {
protected:
    void SetUp() override
    {
        StartedFrame::SetUp();
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

}  // namespace kq5::testing
