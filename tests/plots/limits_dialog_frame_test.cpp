// The Analysis Limits dialog over the frame: what it leaves on the screen when it closes, where it
// opens, and the run key while it has the focus.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <vector>

#include "../app/frame_test_support.h"
#include "../app/screen_capture_support.h"
#include "analog/analysis_state.h"
#include "analog/run_control.h"
#include "app/frame_state.h"
#include "platform/headless.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/screen.h"
#include "platform/window.h"
#include "analog/analysis_start.h"
#include "app/command_routing.h"
#include "document/circuit_file.h"
#include "plots/curve_record.h"
#include "plots/limits_dialog.h"

namespace kq5::testing {
namespace {

std::vector<win::COLORREF> ScreenPixels()
{
    const win::SIZE size = win::ScreenSize();
    std::vector<win::COLORREF> pixels;
    pixels.reserve(static_cast<std::size_t>(size.cx) * static_cast<std::size_t>(size.cy));
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x) pixels.push_back(win::ScreenPixel(x, y));
    return pixels;
}

class LimitsDialogOverFrame : public StartedFrame {
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

// The dialog covers the tool bars, the MDI client's border and the maximised circuit window's
// edge; once it is closed the screen is as it was before it opened.
TEST_F(LimitsDialogOverFrame, ClosingLeavesNoneOfItsPixels)
{
    const std::vector<win::COLORREF> before = ScreenPixels();
    ASSERT_EQ(OpenAnalysisLimitsDialog(), 0);
    PumpFrameMessages();
    win::HWND dialog = AnalysisLimitsDialog();
    ASSERT_NE(dialog, nullptr);
    win::SetWindowPos(dialog, nullptr, 0, 0, 0, 0, win::SWP_NOSIZE | win::SWP_NOZORDER | win::SWP_NOACTIVATE);
    PumpFrameMessages();
    ASSERT_NE(ScreenPixels(), before);
    win::SendMessage(dialog, win::WM_CLOSE, 0, 0);
    PumpFrameMessages();
    ASSERT_EQ(AnalysisLimitsDialog(), nullptr);
    SaveScreen("limits_dialog_closed");

    const std::vector<win::COLORREF> after = ScreenPixels();
    const win::SIZE size = win::ScreenSize();
    int stale = 0;
    win::RECT box{size.cx, size.cy, -1, -1};
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(size.cx) + static_cast<std::size_t>(x);
            if (after[i] == before[i]) continue;
            ++stale;
            box = win::RECT{std::min<int>(box.left, x), std::min<int>(box.top, y), std::max<int>(box.right, x + 1),
                            std::max<int>(box.bottom, y + 1)};
        }
    EXPECT_EQ(stale, 0) << "stale pixels within " << box.left << "," << box.top << " - " << box.right << "," << box.bottom;
}

}  // namespace
}  // namespace kq5::testing
