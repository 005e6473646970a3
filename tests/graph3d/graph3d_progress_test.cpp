// Sampling a long curve into the 3-D surface tells its progress in the status bar and puts the
// earlier status text back when done.
#include <algorithm>
#include <string>
#include <vector>

#include "app/help_bar.h"
#include "app/status_text.h"
#include "graph3d_test_support.h"
#include "platform/paint.h"
#include "platform/win_messages.h"
#include "plots/curve_record.h"

namespace kq5::testing {
namespace {

std::vector<std::string>& Seen()
{
    static std::vector<std::string> seen;
    return seen;
}

// Stands in for the frame's status bar: every repaint notes the text it would show.
win::LRESULT ProbeBarProc(win::HWND hwnd, win::UINT message, win::WPARAM wParam, win::LPARAM lParam)
{
    if (message == win::WM_PAINT) {
        win::PAINTSTRUCT ps;
        win::BeginPaint(hwnd, &ps);
        Seen().push_back(FrameHelpBar().text);
        win::EndPaint(hwnd, &ps);
        return 0;
    }
    return win::DefWindowProc(hwnd, message, wParam, lParam);
}

TEST_F(Graph3DTest, LongCurvesShowThePreparationProgressAndRestoreTheStatus)
{
    // Five runs with at least 25000 points each: above 100000 stored points in all.
    ASSERT_EQ(RunStepped("1K", "5K", "1K",
                         "RC LONG\nV1 1 0 PULSE(0 1 0 1N 1N 1 2)\nR1 1 2 1K\nC1 2 0 1U\n.TRAN 0.2U 5M 0 0.2U\n"
                         ".PRINT TRAN V(2)\n.END\n"),
              0);
    const PlotRecord& analysis = *RunControl().analysisWindow->plot;
    ASSERT_GT(analysis.curves[0]->lastPointIndex, 100000);

    win::WNDCLASS wc{};
    wc.lpfnWndProc = ProbeBarProc;
    wc.lpszClassName = "Graph3DProbeBar";
    win::RegisterClass(&wc);
    const win::HWND bar = win::CreateWindowEx(0, "Graph3DProbeBar", "", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, 0, 0,
                                              400, 40, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(bar, nullptr);
    ResetHelpBarForTests();
    SetHelpBarOption(true);
    FrameHelpBar().window = bar;
    SetStatusText("Ready");
    Seen().clear();

    WindowRecord* window = AddPlot();
    FrameHelpBar().window = nullptr;
    win::DestroyWindow(bar);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(PlotOf(window).surface.HasGrid());
    ASSERT_GE(Seen().size(), 3u);
    // One text per grid line of the 40 patches along Z, the share of lines done, then the text
    // from before (the wait cursor may show its own on the way).
    std::vector<std::string> progress;
    for (const std::string& text : Seen())
        if (text.rfind("Preparing", 0) == 0) progress.push_back(text);
    ASSERT_EQ(progress.size(), 41u);
    EXPECT_EQ(progress.front(), "Preparing data points 2% complete.");
    EXPECT_EQ(progress[19], "Preparing data points 48% complete.");
    EXPECT_EQ(progress.back(), "Preparing data points 100% complete.");
    const auto last = std::find(Seen().begin(), Seen().end(), progress.back());
    EXPECT_NE(std::find(last, Seen().end(), "Ready"), Seen().end());
    EXPECT_EQ(GetStatusText(), "Ready");
    SetHelpBarOption(false);
    ResetHelpBarForTests();
}

}  // namespace
}  // namespace kq5::testing
