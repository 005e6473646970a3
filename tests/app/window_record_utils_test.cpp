// Finding windows by their records inside the started frame, and the message pump of long work.
#include <gtest/gtest.h>

#include "document/document_windows.h"
#include "frame_test_support.h"
#include "platform/headless.h"
#include "platform/mdi.h"
#include "platform/paint.h"

namespace kq5::testing {
namespace {

int gPaints = 0;

win::LRESULT CountingProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    if (msg == win::WM_PAINT) {
        ++gPaints;
        win::PAINTSTRUCT ps;
        win::BeginPaint(hwnd, &ps);
        win::EndPaint(hwnd, &ps);
        return 0;
    }
    return win::DefMDIChildProc(hwnd, msg, wParam, lParam);
}

class RecordUtilities : public StartedFrame {
protected:
    void SetUp() override
    {
        StartedFrame::SetUp();
        schematic_ = StartWithSchematic();
        ASSERT_NE(schematic_, nullptr);
        win::WNDCLASS wc;
        wc.lpfnWndProc = CountingProc;
        wc.lpszClassName = "RecordUtilityTool";
        win::RegisterClass(&wc);
    }

    void TearDown() override
    {
        StartedFrame::TearDown();
        win::UnregisterClass("RecordUtilityTool", nullptr);
    }

    // An MDI child of the given kind in front of the others.
    WindowRecord* Child(int kind, std::uint32_t flags = 0)
    {
        win::MDICREATESTRUCT create;
        create.szClass = "RecordUtilityTool";
        create.szTitle = "tool";
        create.x = create.y = 10;
        create.cx = create.cy = 100;
        auto window = reinterpret_cast<win::HWND>(
            win::SendMessage(Frame().mdiClient, win::WM_MDICREATE, 0, reinterpret_cast<win::LPARAM>(&create)));
        WindowRecord* record = NewWindowRecord(window, kind);
        record->flags |= flags;
        PumpFrameMessages();
        return record;
    }

    WindowRecord* schematic_ = nullptr;
};

TEST_F(RecordUtilities, TheActiveChildIsTheFirstDocumentBehindToolWindows)
{
    WindowRecord* tool = Child(kWindowPlainDialog);
    EXPECT_EQ(win::GetWindow(Frame().mdiClient, win::GW_CHILD), tool->window);
    EXPECT_EQ(GetActiveChildRecord(), schematic_);
    EXPECT_EQ(GetTopCircuitRecord(), schematic_);

    // During a probe-mode analysis the active child counts whatever its kind.
    Analysis().analysisKind = kAnalysisTransient;
    RunControl().probeFlag = 1;
    EXPECT_EQ(GetActiveChildRecord(), tool);
    Analysis().analysisKind = kAnalysisNone;
    RunControl().probeFlag = 0;

    WindowRecord* shapeEditor = Child(kWindowShapeEditor, kRecordDocument);
    EXPECT_TRUE(IsDocumentRecord(shapeEditor));
    EXPECT_EQ(GetActiveChildRecord(), shapeEditor);
    EXPECT_EQ(GetTopCircuitRecord(), schematic_);
    EXPECT_FALSE(IsDocumentRecord(tool));
    EXPECT_FALSE(IsDocumentRecord(nullptr));
}

TEST_F(RecordUtilities, ThePumpReturnsTheKeyAfterPaintingAndLeavesTheRestQueued)
{
    WindowRecord* tool = Child(kWindowPlainDialog);
    PumpFrameMessages();
    gPaints = 0;
    win::InvalidateRect(tool->window, nullptr, win::TRUE);
    win::PostMessage(tool->window, win::WM_USER, 0, 0);
    win::headless::KeyDown('K');
    win::PostMessage(tool->window, win::WM_USER + 1, 0, 0);
    EXPECT_EQ(PumpPendingMessages(), 'K');
    // Posted messages come before input, paint after it: the key ends the pump first.
    win::MSG message{};
    EXPECT_TRUE(win::PeekMessage(&message, nullptr, 0, 0, win::PM_NOREMOVE));
    EXPECT_EQ(PumpPendingMessages(), 0);
    EXPECT_EQ(gPaints, 1);
}

TEST_F(RecordUtilities, SmallUtilitiesIgnoreNullRecords)
{
    CloseWindowRecord(nullptr);
    InvalidateWindowRecord(nullptr);
    ShowRecordMaximized(nullptr);
    FillMdiClient(nullptr);
    ActivateWindowRecord(nullptr, true);
    SetRecordMode(nullptr, 17561);
    EXPECT_EQ(GetRecordMode(nullptr), 0);
    win::POINT point{};
    PointFromLParam(point, win::MAKELPARAM(static_cast<win::WORD>(-5), 7));
    EXPECT_EQ(point.x, -5);
    EXPECT_EQ(point.y, 7);
    EXPECT_TRUE(RectsIntersect({0, 0, 10, 10}, {5, 5, 20, 20}));
    EXPECT_FALSE(RectsIntersect({0, 0, 10, 10}, {10, 0, 20, 10}));
}

TEST_F(RecordUtilities, FillingTheClientCoversItDuringAProbeRun)
{
    Analysis().analysisKind = kAnalysisTransient;
    RunControl().probeFlag = 1;
    EXPECT_TRUE(CatchMaximizeDuringRun(schematic_, win::SC_MAXIMIZE));
    win::RECT client{}, window{};
    win::GetClientRect(Frame().mdiClient, &client);
    win::GetWindowRect(schematic_->window, &window);
    EXPECT_EQ(window.right - window.left, client.right);
    EXPECT_EQ(window.bottom - window.top, client.bottom);
    Analysis().analysisKind = kAnalysisNone;
    RunControl().probeFlag = 0;
    EXPECT_FALSE(CatchMaximizeDuringRun(schematic_, win::SC_MAXIMIZE));
}

}  // namespace
}  // namespace kq5::testing
