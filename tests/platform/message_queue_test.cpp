// The queue: retrieval order, quit through nested loops, key translation and key state, the
// keyboard hook, capture, double clicks, pointer moves and mouse activation.
#include "platform/cursor.h"
#include "platform/input.h"
#include "window_test_support.h"

namespace win::testing {
namespace {

using MessageQueueTest = PlatformTest;

// The client-area centre of a window in screen coordinates.
POINT ScreenPointOf(HWND hwnd, int x, int y) {
    POINT p{x, y};
    ClientToScreen(hwnd, &p);
    return p;
}

TEST_F(MessageQueueTest, RetrievalOrderIsPostedInputPaintTimer) {
    HWND w = TopLevel(0, 0, 200, 200);
    Pump();
    POINT p = ScreenPointOf(w, 20, 20);
    SetTimer(w, 1, 10, nullptr);
    PostMessage(w, WM_USER + 1, 0, 0);
    InvalidateRect(w, nullptr, FALSE);
    headless::MoveMouse(p.x, p.y);
    PostMessage(w, WM_USER + 2, 0, 0);
    // The timer falls due while GetMessage waits; every other source is served first.
    MSG m;
    std::vector<UINT> order;
    for (int i = 0; i < 5 && GetMessage(&m, nullptr, 0, 0); ++i) {
        order.push_back(m.message);
        DispatchMessage(&m);
    }
    EXPECT_EQ(order, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_MOUSEMOVE, WM_PAINT, WM_TIMER}));
    EXPECT_EQ(m.hwnd, w);
    EXPECT_EQ(m.wParam, 1u);
}

// What the program's PumpPendingMessages does: peek, hand back a key press, dispatch the rest.
int PumpPendingMessages() {
    MSG m;
    while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_KEYDOWN) return static_cast<int>(m.wParam);
        TranslateMessage(&m);
        DispatchMessage(&m);
    }
    return 0;
}

TEST_F(MessageQueueTest, AKeyComesBeforeAPendingPaintWhichIsNotLost) {
    HWND w = TopLevel(0, 0, 200, 200);
    Pump();
    InvalidateRect(w, nullptr, TRUE);
    headless::PressKey(VK_ESCAPE);
    MessageLog().clear();
    EXPECT_EQ(PumpPendingMessages(), VK_ESCAPE);
    EXPECT_EQ(CountOf(w, WM_PAINT), 0);
    EXPECT_EQ(PumpPendingMessages(), 0);  // the key-up is dispatched, then the paint
    EXPECT_EQ(CountOf(w, WM_PAINT), 1);
    EXPECT_EQ(CountOf(w, WM_KEYUP), 1);
}

// A long computation's poll: dispatches what is waiting; WM_QUIT is put back for the outer loop
// and stops the computation.
bool PollKeepsQuit() {
    MSG m;
    while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(m.wParam));
            return false;
        }
        TranslateMessage(&m);
        DispatchMessage(&m);
    }
    return true;
}

TEST_F(MessageQueueTest, QuitSurvivesANestedLoopInsideALongComputation) {
    HWND w = TopLevel(0, 0, 100, 100);
    bool nestedSawQuit = false;
    int stepsRun = 0;
    Handler() = [&](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (msg != WM_USER + 1) return std::nullopt;
        PostMessage(w, WM_USER + 2, 0, 0);
        for (int step = 0; step < 100; ++step) {
            if (!PollKeepsQuit()) break;
            ++stepsRun;
            if (step == 2) {
                // The user asks to quit while a modal loop runs inside the computation.
                PostQuitMessage(3);
                nestedSawQuit = !RunNestedLoop([] { return false; });
            }
        }
        return 0;
    };
    PostMessage(w, WM_USER + 1, 0, 0);
    MSG m;
    while (GetMessage(&m, nullptr, 0, 0)) DispatchMessage(&m);
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 3u);
    EXPECT_TRUE(nestedSawQuit);
    EXPECT_EQ(stepsRun, 3);  // the poll after the modal loop saw the quit again and stopped
    EXPECT_EQ(CountOf(w, WM_USER + 2), 1);
    EXPECT_FALSE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueueTest, PostedMessagesOfADestroyedWindowAreDropped) {
    HWND w = TopLevel(0, 0, 100, 100);
    PostMessage(w, WM_USER, 0, 0);
    DestroyWindow(w);
    EXPECT_FALSE(PostMessage(w, WM_USER, 0, 0));
    MSG m;
    EXPECT_FALSE(PeekMessage(&m, nullptr, WM_USER, WM_USER, PM_REMOVE));
    EXPECT_TRUE(PostMessage(nullptr, WM_USER + 9, 1, 2));  // a thread message
    ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, WM_USER + 9u);
    EXPECT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(DispatchMessage(&m), 0);
}

std::vector<std::pair<UINT, WPARAM>> CharsOf(HWND w) {
    std::vector<std::pair<UINT, WPARAM>> out;
    for (const auto& l : MessageLog())
        if (l.hwnd == w && (l.msg == WM_CHAR || l.msg == WM_SYSCHAR)) out.emplace_back(l.msg, l.wParam);
    return out;
}

TEST_F(MessageQueueTest, TranslateMakesCharactersAndControlCodes) {
    HWND w = TopLevel(0, 0, 100, 100);
    Pump();
    MessageLog().clear();
    headless::TypeText("aB1!\r");
    headless::PressKeyWithModifiers('N', true, false);          // Ctrl+N: 0x0E
    headless::PressKeyWithModifiers(VK_BACK, false, false);     // 8
    headless::PressKeyWithModifiers('F', false, false, true);   // Alt+F: WM_SYSCHAR 'f'
    headless::PressKeyWithModifiers(VK_F5, false, false);       // no character
    Pump();
    std::vector<std::pair<UINT, WPARAM>> expected{{WM_CHAR, 'a'},  {WM_CHAR, 'B'},  {WM_CHAR, '1'},
                                                  {WM_CHAR, '!'},  {WM_CHAR, 13},   {WM_CHAR, 0x0E},
                                                  {WM_CHAR, 8},    {WM_SYSCHAR, 'f'}};
    EXPECT_EQ(CharsOf(w), expected);
    auto sys = Last(w, WM_SYSKEYDOWN);
    ASSERT_TRUE(sys);
    EXPECT_EQ(sys->wParam, static_cast<WPARAM>('F'));
    EXPECT_TRUE(sys->lParam & KF_ALTDOWN_BIT);

    // A desktop that reports the typed text (another layout) wins over the built-in table.
    MessageLog().clear();
    std::string typed = "\xE9";  // é on a French layout
    InputKey('2', true, 0, false, &typed);
    InputKey('2', false);
    static const std::string none;
    InputKey(VK_CONTROL, true);
    InputKey('C', true, 0, false, &none);
    InputKey('C', false);
    InputKey(VK_CONTROL, false);
    Pump();
    EXPECT_EQ(CharsOf(w), (std::vector<std::pair<UINT, WPARAM>>{{WM_CHAR, 0xE9}, {WM_CHAR, 3}}));
}

int gHookCalls = 0;
int gHookTaken = 0;
HHOOK gHook = nullptr;
LRESULT KeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code < 0) return CallNextHookEx(gHook, code, wParam, lParam);
    ++gHookCalls;
    bool fresh = !(lParam & KF_UP_BIT) && !(lParam & KF_REPEAT_BIT);
    if (wParam == 'W' && fresh && (GetKeyState(VK_CONTROL) & 0x8000) && (GetKeyState(VK_SHIFT) & 0x8000)) {
        ++gHookTaken;
        return 1;
    }
    return CallNextHookEx(gHook, code, wParam, lParam);
}

TEST_F(MessageQueueTest, KeyboardHookSeesKeyStateAndFlags) {
    HWND w = TopLevel(0, 0, 100, 100);
    gHookCalls = gHookTaken = 0;
    gHook = SetWindowsHookEx(WH_KEYBOARD, KeyboardHook, nullptr, GetCurrentThreadId());
    ASSERT_NE(gHook, nullptr);
    Pump();
    MessageLog().clear();
    headless::KeyDown(VK_CONTROL);
    headless::KeyDown(VK_SHIFT);
    headless::KeyDown('W');
    headless::KeyDown('W');  // auto-repeat: not taken again
    headless::KeyUp('W');
    headless::KeyUp(VK_SHIFT);
    headless::KeyUp(VK_CONTROL);
    Pump();
    EXPECT_EQ(gHookTaken, 1);
    EXPECT_EQ(gHookCalls, 7);
    EXPECT_EQ(CountOf(w, WM_KEYDOWN), 3);  // Ctrl, Shift and the repeated W
    auto repeated = Last(w, WM_KEYDOWN);
    EXPECT_EQ(repeated->wParam, static_cast<WPARAM>('W'));
    EXPECT_TRUE(repeated->lParam & KF_REPEAT_BIT);
    EXPECT_EQ((repeated->lParam >> 16) & 0xFF, 0x11);  // scan code of W
    EXPECT_TRUE(UnhookWindowsHookEx(gHook));
    EXPECT_FALSE(UnhookWindowsHookEx(gHook));
    EXPECT_EQ(GetKeyState(VK_CONTROL) & 0x8000, 0);
}

TEST_F(MessageQueueTest, AsyncKeyStateRemembersAPressUntilAsked) {
    headless::KeyDown(VK_ESCAPE);
    EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE) & 0x8001, 0x8001);
    EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE) & 0x8001, 0x8000);
    headless::KeyUp(VK_ESCAPE);
    EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE), 0);
    headless::PressKey('P');
    EXPECT_EQ(GetAsyncKeyState('P'), 1);  // pressed since the last look, up now
    EXPECT_EQ(GetAsyncKeyState('P'), 0);
    // The message-time state moves only as messages are read.
    EXPECT_EQ(GetKeyState('P') & 0x8000, 0);
}

TEST_F(MessageQueueTest, CaptureSendsEveryMouseMessageToTheCapturingWindow) {
    HWND a = TopLevel(100, 100, 200, 200);
    HWND b = TopLevel(400, 100, 200, 200);
    Pump();
    SetCapture(a);
    EXPECT_EQ(GetCapture(), a);
    MessageLog().clear();
    POINT origin = ScreenPointOf(a, 0, 0);
    headless::MoveMouse(origin.x - 30, origin.y - 5);  // left of and above a's client area
    Pump();
    auto move = Last(a, WM_MOUSEMOVE);
    POINT inB = ScreenPointOf(b, 10, 10);
    headless::Click(inB.x, inB.y);
    Pump();
    ASSERT_TRUE(move);
    EXPECT_EQ(GET_X_LPARAM(move->lParam), -30);
    EXPECT_EQ(GET_Y_LPARAM(move->lParam), -5);
    EXPECT_EQ(CountOf(a, WM_LBUTTONDOWN), 1);
    EXPECT_EQ(CountOf(b, WM_LBUTTONDOWN), 0);
    EXPECT_EQ(CountOf(a, WM_SETCURSOR), 0);
    SetCapture(b);
    EXPECT_EQ(Last(a, WM_CAPTURECHANGED)->lParam, reinterpret_cast<LPARAM>(b));
    ReleaseCapture();
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(CountOf(b, WM_CAPTURECHANGED), 1);
}

TEST_F(MessageQueueTest, DoubleClicksOnlyForClassesThatAskForThem) {
    HWND plain = TopLevel(0, 0, 200, 200);
    HWND dbl = TopLevel(300, 0, 200, 200, WS_OVERLAPPEDWINDOW | WS_VISIBLE, "TestDbl");
    Pump();
    POINT p = ScreenPointOf(plain, 50, 50);
    POINT q = ScreenPointOf(dbl, 50, 50);
    headless::DoubleClick(p.x, p.y);
    headless::DoubleClick(q.x, q.y);
    headless::Click(q.x, q.y);  // a third click starts over
    Pump();
    EXPECT_EQ(CountOf(plain, WM_LBUTTONDOWN), 2);
    EXPECT_EQ(CountOf(plain, WM_LBUTTONDBLCLK), 0);
    EXPECT_EQ(CountOf(dbl, WM_LBUTTONDOWN), 2);
    EXPECT_EQ(CountOf(dbl, WM_LBUTTONDBLCLK), 1);
    // Too slow, or too far apart, is two clicks.
    MessageLog().clear();
    headless::AdvanceClock(1000);
    headless::Click(q.x, q.y);
    Pump();
    headless::AdvanceClock(GetDoubleClickTime() + 1);
    headless::Click(q.x, q.y);
    headless::Click(q.x + 10, q.y);
    Pump();
    EXPECT_EQ(CountOf(dbl, WM_LBUTTONDBLCLK), 0);
    EXPECT_EQ(CountOf(dbl, WM_LBUTTONDOWN), 3);
}

TEST_F(MessageQueueTest, SetCursorPosMovesAndReportsEvenInPlace) {
    HWND w = TopLevel(0, 0, 200, 200);
    Pump();
    POINT p = ScreenPointOf(w, 30, 40);
    SetCursorPos(p.x, p.y);
    Pump();
    MessageLog().clear();
    SetCursorPos(p.x, p.y);
    Pump();
    EXPECT_EQ(CountOf(w, WM_MOUSEMOVE), 1);
    POINT now;
    GetCursorPos(&now);
    EXPECT_EQ(now.x, p.x);
    EXPECT_EQ(Last(w, WM_MOUSEMOVE)->lParam, MAKELPARAM(30, 40));
}

TEST_F(MessageQueueTest, MouseKeyFlagsAndParentNotify) {
    HWND top = TopLevel(0, 0, 300, 300);
    HWND child = Child(top, 4, 10, 10, 100, 100);
    Pump();
    MessageLog().clear();
    POINT p = ScreenPointOf(child, 5, 6);
    headless::KeyDown(VK_SHIFT);
    headless::MoveMouse(p.x, p.y);
    headless::MouseDown(MouseButton::Right);
    headless::MouseUp(MouseButton::Right);
    headless::KeyUp(VK_SHIFT);
    Pump();
    auto down = Last(child, WM_RBUTTONDOWN);
    ASSERT_TRUE(down);
    EXPECT_EQ(down->wParam, MK_RBUTTON | MK_SHIFT);
    EXPECT_EQ(Last(child, WM_RBUTTONUP)->wParam, MK_SHIFT);
    auto note = Last(top, WM_PARENTNOTIFY);
    ASSERT_TRUE(note);
    EXPECT_EQ(LOWORD(note->wParam), WM_RBUTTONDOWN);
    EXPECT_EQ(note->lParam, MAKELPARAM(15, 16));
}

TEST_F(MessageQueueTest, ClickActivatesAndSetsTheClassCursor) {
    WNDCLASS wc;
    wc.lpfnWndProc = LoggingProc;
    wc.lpszClassName = "Beam";
    wc.hCursor = LoadCursor(nullptr, IDC_IBEAM);
    RegisterClass(&wc);
    HWND a = TopLevel(0, 0, 200, 200, WS_OVERLAPPEDWINDOW | WS_VISIBLE, "Beam");
    HWND b = TopLevel(300, 0, 200, 200);
    Pump();
    ASSERT_EQ(GetActiveWindow(), b);
    MessageLog().clear();
    POINT p = ScreenPointOf(a, 10, 10);
    headless::Click(p.x, p.y);
    Pump();
    EXPECT_EQ(GetActiveWindow(), a);
    EXPECT_EQ(MessagesOf(a, {WM_MOUSEMOVE, WM_MOUSEACTIVATE, WM_ACTIVATE, WM_SETCURSOR, WM_LBUTTONDOWN}),
              (std::vector<UINT>{WM_SETCURSOR, WM_MOUSEMOVE, WM_MOUSEACTIVATE, WM_ACTIVATE, WM_SETCURSOR,
                                 WM_LBUTTONDOWN}));
    EXPECT_EQ(LOWORD(Last(a, WM_ACTIVATE)->wParam), WA_CLICKACTIVE);
    EXPECT_EQ(LOWORD(static_cast<UINT_PTR>(Last(a, WM_SETCURSOR)->lParam)), HTCLIENT);
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_IBEAM));
}

TEST_F(MessageQueueTest, ClickOnADisabledOwnerBringsItsPopupForward) {
    HWND owner = TopLevel(0, 0, 300, 300);
    HWND dialog = CreateWindowEx(0, "TestWnd", "", WS_POPUP | WS_CAPTION | WS_VISIBLE, 400, 0, 100, 100, owner,
                                 nullptr, nullptr, nullptr);
    HWND other = TopLevel(600, 300, 100, 100);
    EnableWindow(owner, FALSE);
    Pump();
    ASSERT_EQ(GetActiveWindow(), other);
    MessageLog().clear();
    POINT p = ScreenPointOf(owner, 20, 20);
    headless::Click(p.x, p.y);
    Pump();
    EXPECT_EQ(CountOf(owner, WM_LBUTTONDOWN), 0);
    EXPECT_EQ(GetActiveWindow(), dialog);
}

}  // namespace
}  // namespace win::testing
