// The hidden schematic window that work needing a schematic document without showing it (a
// macro's schematic read for a circuit build) is made in: never on screen, never among the
// document windows the user sees, and closed like any other.
#include "../app/frame_test_support.h"
#include "schematic_test_support.h"

#include "document/document_windows.h"
#include "platform/mdi.h"
#include "schematic/schematic_view.h"
#include "schematic/circuit_window.h"

namespace kq5::testing {
namespace {

class HiddenCircuitWindow : public StartedFrame {
protected:
    static win::HWND ActiveChild()
    {
        return reinterpret_cast<win::HWND>(win::SendMessage(Frame().mdiClient, win::WM_MDIGETACTIVE, 0, 0));
    }
};

TEST_F(HiddenCircuitWindow, IsAHiddenChildOfTheFrameOutsideTheMdiClient)
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

}  // namespace
}  // namespace kq5::testing
