// Timers (with and without a TIMERPROC), the caret with its show count and blink, cursors, and
// files dropped on a window.
#include "platform/caret_internal.h"
#include "platform/cursor.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "platform/shell_drop.h"
#include "platform/system.h"
#include "window_test_support.h"

namespace win::testing {
namespace {

using TimerTest = PlatformTest;
using CaretTest = PlatformTest;

std::vector<std::pair<HWND, UINT_PTR>> gTimerCalls;
void RecordTimer(HWND hwnd, UINT msg, UINT_PTR id, DWORD time) {
    EXPECT_EQ(msg, WM_TIMER);
    gTimerCalls.emplace_back(hwnd, id);
}

TEST_F(TimerTest, TimersFireOnTheClockWithoutCatchingUp) {
    HWND w = TopLevel(0, 0, 100, 100);
    Pump();
    MessageLog().clear();
    EXPECT_EQ(SetTimer(w, 5678, 500, nullptr), 5678u);
    headless::AdvanceClock(499);
    EXPECT_EQ(CountOf(w, WM_TIMER), 0);
    headless::AdvanceClock(1);
    EXPECT_EQ(CountOf(w, WM_TIMER), 1);
    EXPECT_EQ(Last(w, WM_TIMER)->wParam, 5678u);
    headless::AdvanceClock(1000);
    EXPECT_EQ(CountOf(w, WM_TIMER), 3);
    // Resetting the same id restarts it; killing stops it.
    SetTimer(w, 5678, 300, nullptr);
    headless::AdvanceClock(299);
    EXPECT_EQ(CountOf(w, WM_TIMER), 3);
    headless::AdvanceClock(1);
    EXPECT_EQ(CountOf(w, WM_TIMER), 4);
    EXPECT_TRUE(KillTimer(w, 5678));
    EXPECT_FALSE(KillTimer(w, 5678));
    headless::AdvanceClock(2000);
    EXPECT_EQ(CountOf(w, WM_TIMER), 4);

    // A timer that nobody reads for a long time fires once, not once per missed period.
    SetTimer(w, 1, 100, nullptr);
    MSG m;
    EXPECT_FALSE(PeekMessage(&m, w, WM_TIMER, WM_TIMER, PM_NOREMOVE));
}

TEST_F(TimerTest, TimerProcsAndThreadTimers) {
    HWND w = TopLevel(0, 0, 100, 100);
    gTimerCalls.clear();
    SetTimer(w, 3, 50, RecordTimer);
    UINT_PTR threadTimer = SetTimer(nullptr, 0, 70, RecordTimer);
    EXPECT_NE(threadTimer, 0u);
    MessageLog().clear();
    headless::AdvanceClock(70);
    ASSERT_EQ(gTimerCalls.size(), 2u);
    EXPECT_EQ(gTimerCalls[0], (std::pair<HWND, UINT_PTR>{w, 3}));
    EXPECT_EQ(gTimerCalls[1], (std::pair<HWND, UINT_PTR>{nullptr, threadTimer}));
    EXPECT_EQ(CountOf(w, WM_TIMER), 0);  // a TIMERPROC is called instead of the window
    // A forged WM_TIMER cannot call an arbitrary procedure.
    MSG forged{w, WM_TIMER, 99, reinterpret_cast<LPARAM>(RecordTimer), 0, {}};
    DispatchMessage(&forged);
    EXPECT_EQ(gTimerCalls.size(), 2u);
    KillTimer(nullptr, threadTimer);
    // A destroyed window's timers go with it.
    DestroyWindow(w);
    headless::AdvanceClock(200);
    EXPECT_EQ(gTimerCalls.size(), 2u);
}

TEST_F(TimerTest, BusyWaitOnTheTickCountEnds) {
    DWORD start = GetTickCount();
    int spins = 0;
    while (GetTickCount() - start < 125) ++spins;
    EXPECT_GT(spins, 125);
    EXPECT_LT(spins, 1000);
}

TEST_F(CaretTest, ShowCountPositionAndBlink) {
    HWND w = TopLevel(0, 0, 200, 100, WS_POPUP | WS_VISIBLE);
    Pump();
    ASSERT_TRUE(CreateCaret(w, nullptr, 2, 14));
    EXPECT_TRUE(IsRectEmpty(CaretScreenRect()));  // created hidden
    SetCaretPos(10, 20);
    ShowCaret(w);
    RECT r = CaretScreenRect();
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right, 12);
    EXPECT_EQ(r.bottom, 34);
    HideCaret(w);
    HideCaret(w);
    ShowCaret(w);
    EXPECT_TRUE(IsRectEmpty(CaretScreenRect()));
    ShowCaret(w);
    EXPECT_FALSE(IsRectEmpty(CaretScreenRect()));
    // It blinks on the caret time, and never shows up in the screen image itself.
    COLORREF under = ScreenPixel(10, 20);
    DWORD now = headless::Clock();
    CaretBlinkTick(now + GetCaretBlinkTime());
    EXPECT_TRUE(IsRectEmpty(CaretScreenRect()));
    CaretBlinkTick(now + 2 * GetCaretBlinkTime());
    EXPECT_FALSE(IsRectEmpty(CaretScreenRect()));
    EXPECT_EQ(ScreenPixel(10, 20), under);
    POINT p;
    GetCaretPos(&p);
    EXPECT_EQ(p.y, 20);
    DestroyWindow(w);
    EXPECT_FALSE(ShowCaret(nullptr));  // the caret went with its window
}

TEST_F(CaretTest, CaretOverlayInvertsTheScreenCopy) {
    HWND w = TopLevel(0, 0, 200, 100, WS_POPUP | WS_VISIBLE);
    Pump();
    CreateCaret(w, nullptr, 2, 10);
    SetCaretPos(5, 5);
    ShowCaret(w);
    std::vector<unsigned char> pixels(4 * 20 * 20, 0);
    for (std::size_t i = 0; i < pixels.size(); i += 4) pixels[i + 3] = 0xFF;
    ApplyCaretOverlay(pixels.data(), 4 * 20, 20, 20);
    auto px = [&](int x, int y) { return pixels[(y * 20 + x) * 4]; };
    EXPECT_EQ(px(5, 5), 0xFF);
    EXPECT_EQ(px(6, 14), 0xFF);
    EXPECT_EQ(px(7, 5), 0x00);
    EXPECT_EQ(px(5, 15), 0x00);
}

TEST_F(CaretTest, CursorsAndHitCodes) {
    HWND w = TopLevel(100, 100, 200, 150);
    Pump();
    CursorImage img;
    img.width = img.height = 2;
    img.pixels.assign(4, 0xFF000000u);
    RegisterCursorResource(1003, img);
    HINSTANCE inst = GetModuleHandle(nullptr);
    HCURSOR select = LoadCursor(inst, 1003);
    ASSERT_NE(select, nullptr);
    EXPECT_EQ(LoadCursor(inst, 1003), select);
    EXPECT_EQ(LoadCursor(inst, 1099), nullptr);
    SetCursor(select);
    EXPECT_EQ(SetCursor(LoadCursor(nullptr, IDC_WAIT)), select);
    // Over the sizing border the default procedure shows a sizing cursor.
    headless::MoveMouse(101, 150);
    Pump();
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_SIZEWE));
    auto setCursor = Last(w, WM_SETCURSOR);
    EXPECT_EQ(LOWORD(static_cast<UINT_PTR>(setCursor->lParam)), HTLEFT);
    headless::MoveMouse(200, 105);
    Pump();
    EXPECT_EQ(LOWORD(static_cast<UINT_PTR>(Last(w, WM_SETCURSOR)->lParam)), HTCAPTION);
    EXPECT_EQ(CountOf(w, WM_NCMOUSEMOVE), 2);
    EXPECT_EQ(CountOf(w, WM_MOUSEMOVE), 0);
}

TEST_F(CaretTest, DroppedFilesReachTheWindowThatAcceptsThem) {
    HWND frame = TopLevel(0, 0, 300, 300);
    HWND child = Child(frame, 1, 0, 0, 100, 100);
    DragAcceptFiles(frame, TRUE);
    Pump();
    POINT p{40, 50};
    ClientToScreen(child, &p);
    HDROP drop = nullptr;
    std::vector<std::string> names;
    POINT where{};
    Handler() = [&](HWND h, UINT msg, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
        if (msg != WM_DROPFILES) return std::nullopt;
        drop = reinterpret_cast<HDROP>(wParam);
        UINT n = DragQueryFile(drop, 0xFFFFFFFFu, nullptr);
        for (UINT i = 0; i < n; ++i) {
            std::string name;
            DragQueryFile(drop, i, &name);
            names.push_back(name);
        }
        EXPECT_TRUE(DragQueryPoint(drop, &where));
        DragFinish(drop);
        return 0;
    };
    InputDropFiles(p.x, p.y, {"/tmp/a.cir", "/tmp/b.txt", "/tmp/c.lib"});
    Pump();
    EXPECT_EQ(CountOf(frame, WM_DROPFILES), 1);
    EXPECT_EQ(names, (std::vector<std::string>{"/tmp/a.cir", "/tmp/b.txt", "/tmp/c.lib"}));
    EXPECT_EQ(where.x, 40);
    EXPECT_EQ(DragQueryFile(drop, 0xFFFFFFFFu, nullptr), 0u);  // finished
    DragAcceptFiles(frame, FALSE);
    InputDropFiles(p.x, p.y, {"/tmp/x"});
    Pump();
    EXPECT_EQ(CountOf(frame, WM_DROPFILES), 1);
}

}  // namespace
}  // namespace win::testing
