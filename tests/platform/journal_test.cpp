// Journal playback: a recorded mouse and key sequence replayed into windows at its pace, real
// input held off meanwhile, a busy player holding its events, and waiting loops that follow the
// playback clock.
#include "platform/input.h"
#include "platform/system.h"
#include "window_test_support.h"

namespace win::testing {
namespace {

struct Recorded {
    EVENTMSG event;
    DWORD delay;
};

struct Player {
    std::vector<Recorded> events;
    std::size_t index = 0;
    bool delayGiven = false;
    bool busy = false;
    int skips = 0;
    HHOOK hook = nullptr;
};
Player* gPlayer = nullptr;

LRESULT PlaybackHook(int code, WPARAM wParam, LPARAM lParam) {
    Player& p = *gPlayer;
    if (code == HC_GETNEXT) {
        auto* ev = reinterpret_cast<EVENTMSG*>(lParam);
        if (p.index >= p.events.size()) return 0;
        *ev = p.events[p.index].event;
        ev->time = GetTickCount();
        if (p.busy) return 1000;  // the program is not ready: ask again in a second
        DWORD d = p.delayGiven ? 0 : p.events[p.index].delay;
        p.delayGiven = true;
        return static_cast<LRESULT>(d);
    }
    if (code == HC_SKIP) {
        ++p.skips;
        ++p.index;
        p.delayGiven = false;
        if (p.index >= p.events.size()) UnhookWindowsHookEx(p.hook);
        return 0;
    }
    return CallNextHookEx(p.hook, code, wParam, lParam);
}

EVENTMSG Mouse(UINT msg, POINT screen) {
    EVENTMSG e;
    e.message = msg;
    e.paramL = static_cast<UINT>(screen.x);
    e.paramH = static_cast<UINT>(screen.y);
    return e;
}

EVENTMSG Key(UINT msg, int vk) {
    EVENTMSG e;
    e.message = msg;
    e.paramL = static_cast<UINT>(vk | (MapVirtualKey(static_cast<UINT>(vk), MAPVK_VK_TO_VSC) << 8));
    e.paramH = 1;
    return e;
}

class JournalTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        player = Player{};
        gPlayer = &player;
    }
    void Start() {
        player.hook = SetWindowsHookEx(WH_JOURNALPLAYBACK, PlaybackHook, nullptr, 0);
        ASSERT_NE(player.hook, nullptr);
    }
    Player player;
};

TEST_F(JournalTest, ReplaysARecordedSequenceAtItsPace) {
    HWND top = TopLevel(50, 50, 300, 200, WS_OVERLAPPEDWINDOW | WS_VISIBLE, "TestDbl");
    Pump();
    POINT at{20, 30};
    ClientToScreen(top, &at);
    player.events = {{Mouse(WM_MOUSEMOVE, at), 50},   {Mouse(WM_LBUTTONDOWN, at), 0}, {Mouse(WM_LBUTTONUP, at), 0},
                     {Mouse(WM_LBUTTONDOWN, at), 20}, {Mouse(WM_LBUTTONUP, at), 0},  {Key(WM_KEYDOWN, 'A'), 100},
                     {Key(WM_KEYUP, 'A'), 10}};
    MessageLog().clear();
    Start();
    headless::AdvanceClock(49);
    EXPECT_EQ(CountOf(top, WM_MOUSEMOVE), 0);
    headless::AdvanceClock(1);
    EXPECT_EQ(CountOf(top, WM_LBUTTONDOWN), 1);
    EXPECT_EQ(CountOf(top, WM_LBUTTONUP), 1);
    EXPECT_EQ(Last(top, WM_LBUTTONDOWN)->lParam, MAKELPARAM(20, 30));
    POINT now;
    GetCursorPos(&now);
    EXPECT_EQ(now.x, at.x);
    headless::AdvanceClock(20);
    EXPECT_EQ(CountOf(top, WM_LBUTTONDBLCLK), 1);  // the class asks for double clicks
    headless::AdvanceClock(99);
    EXPECT_EQ(CountOf(top, WM_KEYDOWN), 0);
    headless::AdvanceClock(1);
    EXPECT_EQ(CountOf(top, WM_KEYDOWN), 1);
    EXPECT_EQ(Last(top, WM_CHAR)->wParam, static_cast<WPARAM>('a'));
    headless::AdvanceClock(10);
    EXPECT_EQ(CountOf(top, WM_KEYUP), 1);
    EXPECT_EQ(player.skips, 7);
    EXPECT_EQ(GetKeyState('A') & 0x8000, 0);
}

TEST_F(JournalTest, RealInputIsHeldOffButItsKeyStateShows) {
    HWND top = TopLevel(0, 0, 300, 200);
    Pump();
    POINT at{10, 10};
    ClientToScreen(top, &at);
    player.events = {{Mouse(WM_MOUSEMOVE, at), 500}};
    MessageLog().clear();
    Start();
    headless::KeyDown(VK_ESCAPE);
    headless::Click(200, 100);
    Pump();
    EXPECT_EQ(CountOf(top, WM_KEYDOWN), 0);
    EXPECT_EQ(CountOf(top, WM_LBUTTONDOWN), 0);
    EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE) & 0x8001, 0x8001);
    // Keys played back do not show in the physical state.
    headless::KeyUp(VK_ESCAPE);
    player.events.push_back({Key(WM_KEYDOWN, 'P'), 0});
    headless::AdvanceClock(500);
    EXPECT_EQ(CountOf(top, WM_KEYDOWN), 1);
    EXPECT_EQ(GetAsyncKeyState('P'), 0);
    EXPECT_EQ(GetKeyState('P') & 0x8000, 0x8000);
}

TEST_F(JournalTest, ABusyPlayerHoldsItsEvents) {
    HWND top = TopLevel(0, 0, 300, 200);
    Pump();
    POINT at{10, 10};
    ClientToScreen(top, &at);
    player.events = {{Mouse(WM_LBUTTONDOWN, at), 0}, {Mouse(WM_LBUTTONUP, at), 0}};
    player.busy = true;
    MessageLog().clear();
    Start();
    headless::AdvanceClock(5000);
    EXPECT_EQ(CountOf(top, WM_LBUTTONDOWN), 0);
    player.busy = false;
    headless::AdvanceClock(999);
    EXPECT_EQ(CountOf(top, WM_LBUTTONDOWN), 0);  // the last "wait a second" still runs
    headless::AdvanceClock(1);
    EXPECT_EQ(CountOf(top, WM_LBUTTONDOWN), 1);
    EXPECT_EQ(CountOf(top, WM_LBUTTONUP), 1);
}

TEST_F(JournalTest, AWaitingLoopFollowsThePlaybackClock) {
    HWND top = TopLevel(0, 0, 300, 200);
    HWND edit = Child(top, 5, 10, 10, 100, 20);
    SetFocus(edit);
    Pump();
    player.events = {{Key(WM_SYSKEYDOWN, VK_MENU), 250}, {Key(WM_SYSKEYDOWN, 'F'), 0},
                     {Key(WM_SYSKEYUP, 'F'), 0},         {Key(WM_SYSKEYUP, VK_MENU), 0},
                     {Key(WM_KEYDOWN, VK_ESCAPE), 300}};
    MessageLog().clear();
    Start();
    DWORD start = headless::Clock();
    bool done = false;
    Handler() = [&](HWND h, UINT msg, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_KEYDOWN && wParam == VK_ESCAPE) done = true;
        return std::nullopt;
    };
    EXPECT_TRUE(RunNestedLoop([&] { return done; }));
    EXPECT_GE(headless::Clock() - start, 550u);
    EXPECT_EQ(Last(edit, WM_SYSCHAR)->wParam, static_cast<WPARAM>('f'));
    EXPECT_EQ(CountOf(edit, WM_SYSKEYDOWN), 2);
    EXPECT_EQ(player.hook != nullptr && player.index == player.events.size(), true);
}

}  // namespace
}  // namespace win::testing
