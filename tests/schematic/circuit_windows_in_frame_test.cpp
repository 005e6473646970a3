// Circuit windows inside the running frame: the hidden schematic window that work needing a
// schematic document without showing it (a macro's schematic read for a circuit build) is made
// in, and maximising a circuit window while a probe-mode run is open.
#include "../app/frame_test_support.h"
#include "schematic_test_support.h"

#include "document/document_windows.h"
#include "platform/mdi.h"
#include "schematic/schematic_view.h"
#include "schematic/circuit_window.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"

namespace kq5::testing {
namespace {

class CircuitWindowsInFrame : public StartedFrame {
protected:
    static win::HWND ActiveChild()
    {
        return reinterpret_cast<win::HWND>(win::SendMessage(Frame().mdiClient, win::WM_MDIGETACTIVE, 0, 0));
    }
};

TEST_F(CircuitWindowsInFrame, IsAHiddenChildOfTheFrameOutsideTheMdiClient)
{
    WindowRecord* schematic = StartWithSchematic();
    ASSERT_NE(schematic, nullptr);
    win::HWND active = ActiveChild();

    WindowRecord* hidden = NewDocumentWindow(kWindowPlainSchematic, "MACRO.CIR");
    ASSERT_NE(hidden, nullptr);
    PumpFrameMessages();
    ASSERT_NE(hidden->window, nullptr);
    EXPECT_EQ(hidden->kind, kWindowPlainSchematic);
    EXPECT_FALSE(win::IsWindowVisible(hidden->window));
    EXPECT_EQ(win::GetParent(hidden->window), Frame().frame);
    EXPECT_EQ(win::GetDlgCtrlID(hidden->window), kHiddenCircuitWindowId);
    // It has its document and panes like a shown schematic, and the user's window stays in front.
    ASSERT_NE(hidden->document, nullptr);
    EXPECT_NE(win::GetDlgItem(hidden->window, kTextAreaControlId), nullptr);
    EXPECT_EQ(ActiveChild(), active);

    const win::HWND window = hidden->window;
    win::SendMessage(window, win::WM_CLOSE, 0, 0);
    PumpFrameMessages();
    EXPECT_FALSE(win::IsWindow(window));
    EXPECT_EQ(ActiveChild(), active);
}

// During a probe-mode run the circuit window fills the MDI client instead of being maximised, so
// that the analysis window can stay in front of it.
TEST_F(CircuitWindowsInFrame, MaximisingDuringAProbeRunFillsTheClientInstead)
{
    WindowRecord* schematic = StartWithSchematic();
    ASSERT_NE(schematic, nullptr);
    win::ShowWindow(schematic->window, win::SW_RESTORE);
    win::MoveWindow(schematic->window, 10, 10, 300, 200, 1);
    Analysis().analysisKind = kAnalysisTransient;
    RunControl().probeFlag = 1;
    win::SendMessage(schematic->window, win::WM_SYSCOMMAND, win::SC_MAXIMIZE, 0);
    PumpFrameMessages();
    EXPECT_FALSE(win::IsZoomed(schematic->window));
    win::RECT client{}, window{};
    win::GetClientRect(Frame().mdiClient, &client);
    win::GetWindowRect(schematic->window, &window);
    EXPECT_EQ(window.right - window.left, client.right);
    EXPECT_EQ(window.bottom - window.top, client.bottom);
    Analysis().analysisKind = kAnalysisNone;
    RunControl().probeFlag = 0;
    // Without a run the command maximises as usual.
    win::SendMessage(schematic->window, win::WM_SYSCOMMAND, win::SC_MAXIMIZE, 0);
    PumpFrameMessages();
    EXPECT_TRUE(win::IsZoomed(schematic->window));
}

}  // namespace
}  // namespace kq5::testing
