// The SDL2 backend on a real display (tools/test.sh gives it one under xvfb-run): the
// desktop window shows the screen and a click on it reaches a window procedure.
#include <SDL.h>
#include <gtest/gtest.h>

#include "external_tool_support.h"
#include "platform/backend.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/screen.h"
#include "platform/system.h"
#include "platform/window.h"

// The desktop libraries that SDL loads (X11 input methods, GL drivers) keep allocations past
// their unloading; the leak checker is told to ignore what is allocated while SDL runs.
extern "C" void __lsan_disable() __attribute__((weak));
extern "C" void __lsan_enable() __attribute__((weak));

namespace win {
namespace {

struct LeakCheckPause {
    LeakCheckPause() {
        if (__lsan_disable) __lsan_disable();
    }
    ~LeakCheckPause() {
        if (__lsan_enable) __lsan_enable();
    }
};

int gClicks = 0;
POINT gClickAt{};

LRESULT ClickProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_LBUTTONDOWN) {
        ++gClicks;
        gClickAt = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

void PushMouse(Uint32 type, int x, int y) {
    SDL_Event ev{};
    ev.type = type;
    if (type == SDL_MOUSEMOTION) {
        ev.motion.x = x;
        ev.motion.y = y;
    } else {
        ev.button.button = SDL_BUTTON_LEFT;
        ev.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        ev.button.clicks = 1;
        ev.button.x = x;
        ev.button.y = y;
    }
    SDL_PushEvent(&ev);
}

TEST(SdlSmokeTest, ShowsTheScreenAndDeliversAClick) {
    LeakCheckPause pause;
    ASSERT_TRUE(DisplayAvailable()) << win::testing::kNoDisplay;
    // The software renderer keeps the GL driver (and what it never frees) out of the test.
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    PlatformOptions options;
    options.width = 640;
    options.height = 480;
    ASSERT_EQ(InitPlatform(options), BackendKind::Sdl);
    EXPECT_EQ(ScreenSize().cx, 640);
    WNDCLASS wc;
    wc.lpfnWndProc = ClickProc;
    wc.lpszClassName = "SdlSmoke";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    ASSERT_NE(RegisterClass(&wc), 0);
    HWND w = CreateWindowEx(0, "SdlSmoke", "Smoke", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300, 200, nullptr,
                            nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    UpdateWindow(w);
    POINT p{40, 30};
    ClientToScreen(w, &p);
    gClicks = 0;
    PushMouse(SDL_MOUSEMOTION, p.x, p.y);
    PushMouse(SDL_MOUSEBUTTONDOWN, p.x, p.y);
    PushMouse(SDL_MOUSEBUTTONUP, p.x, p.y);
    Uint32 deadline = SDL_GetTicks() + 3000;
    MSG m;
    while (gClicks == 0 && SDL_GetTicks() < deadline) {
        while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessage(&m);
        }
        SDL_Delay(5);
    }
    EXPECT_EQ(gClicks, 1);
    EXPECT_EQ(gClickAt.x, 40);
    EXPECT_EQ(gClickAt.y, 30);
    EXPECT_EQ(ScreenPixel(p.x, p.y), GetSysColor(COLOR_WINDOW));
    ShutdownPlatform();
    ResetPlatformForTests();
}

}  // namespace
}  // namespace win
