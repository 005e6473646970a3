// Finding windows by their records inside the started frame, and the message pump of long work.
#include <gtest/gtest.h>

#include "ui/color_table.h"
#include "document/document_windows.h"
#include "frame_test_support.h"
#include "platform/headless.h"
#include "platform/mdi.h"
#include "platform/paint.h"
#include "analog/run_windows.h"

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


// While a probe-mode run is open, a circuit window that is moved or raised is put right behind
// the analysis window, so that the curves stay visible; the analysis window itself moves freely.
TEST_F(RecordUtilities, AProbeRunKeepsItsAnalysisWindowInFront)
{
    WindowRecord* analysis = Child(kWindowAnalysis);
    win::WINDOWPOS moving{};
    moving.hwnd = schematic_->window;
    moving.hwndInsertAfter = win::HWND_TOP;
    EXPECT_FALSE(KeepRunWindowInFront(schematic_, &moving));  // no run open
    Analysis().analysisKind = kAnalysisTransient;
    RunControl().probeFlag = 1;
    RunControl().analysisWindow = analysis;
    RunControl().circuitWindow = schematic_;
    EXPECT_TRUE(KeepRunWindowInFront(schematic_, &moving));
    EXPECT_EQ(moving.hwndInsertAfter, analysis->window);
    win::WINDOWPOS own{};
    own.hwnd = analysis->window;
    own.hwndInsertAfter = win::HWND_TOP;
    EXPECT_FALSE(KeepRunWindowInFront(analysis, &own));
    EXPECT_EQ(own.hwndInsertAfter, win::HWND_TOP);
    // Through the circuit window's own procedure: bringing it to the top leaves it behind.
    win::SetWindowPos(schematic_->window, win::HWND_TOP, 0, 0, 0, 0, win::SWP_NOMOVE | win::SWP_NOSIZE);
    EXPECT_EQ(win::GetWindow(analysis->window, win::GW_HWNDNEXT), schematic_->window);
    Analysis().analysisKind = kAnalysisNone;
    RunControl().probeFlag = 0;
    RunControl().analysisWindow = RunControl().circuitWindow = nullptr;
}

// A stored placement comes back as it was saved, but never outside the MDI client; an invalid
// one (length 0, as a placement without a normal rectangle reads back) changes nothing.
TEST_F(RecordUtilities, PlacementsRoundTripAndStayReachable)
{
    win::ShowWindow(schematic_->window, win::SW_RESTORE);
    win::WINDOWPLACEMENT placement{};
    ASSERT_TRUE(GetRecordPlacement(schematic_, placement));
    placement.rcNormalPosition = {40, 30, 340, 230};
    placement.showCmd = win::SW_SHOWNORMAL;
    SetRecordPlacement(schematic_, placement);
    win::WINDOWPLACEMENT back{};
    ASSERT_TRUE(GetRecordPlacement(schematic_, back));
    EXPECT_EQ(back.rcNormalPosition.left, 40);
    EXPECT_EQ(back.rcNormalPosition.bottom, 230);
    win::RECT client{};
    win::GetClientRect(Frame().mdiClient, &client);
    placement.rcNormalPosition = {client.right + 500, client.bottom + 500, client.right + 800, client.bottom + 700};
    SetRecordPlacement(schematic_, placement);
    ASSERT_TRUE(GetRecordPlacement(schematic_, back));
    EXPECT_EQ(back.rcNormalPosition.right, client.right);
    EXPECT_EQ(back.rcNormalPosition.bottom, client.bottom);
    EXPECT_EQ(back.rcNormalPosition.right - back.rcNormalPosition.left, 300);
    win::WINDOWPLACEMENT invalid{};
    invalid.rcNormalPosition = {1, 1, 2, 2};
    invalid.length = 0;
    SetRecordPlacement(schematic_, invalid);
    ASSERT_TRUE(GetRecordPlacement(schematic_, back));
    EXPECT_EQ(back.rcNormalPosition.right, client.right);
    EXPECT_FALSE(GetRecordPlacement(nullptr, back));
}

TEST_F(RecordUtilities, ColourPensOfTheTableAndOfOtherWidths)
{
    win::HDC dc = win::GetDC(schematic_->window);
    win::HPEN created = nullptr;
    win::HGDIOBJ old = SelectColorPen(dc, 9, 1, created);
    EXPECT_EQ(created, nullptr);  // width 1: the colour table's own pen
    EXPECT_EQ(win::GetCurrentObject(dc, win::OBJ_PEN), ColorTable().rows[9].pen);
    RestorePen(dc, old, created);
    old = SelectColorPen(dc, 9, 3, created);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(win::GetCurrentObject(dc, win::OBJ_PEN), created);
    RestorePen(dc, old, created);
    EXPECT_EQ(created, nullptr);
    win::ReleaseDC(schematic_->window, dc);
}

}  // namespace
}  // namespace kq5::testing
