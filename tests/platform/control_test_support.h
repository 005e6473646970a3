#pragma once
// Controls on a logging top-level window, driven by injected input, for the control and dialog
// tests; and a script of steps that runs while a modal loop (a dialog, a message box) waits.
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/controls.h"
#include "platform/headless_backend.h"
#include "window_test_support.h"

namespace win::testing {

struct Notice {
    int id;
    WORD code;
};

// Steps that a modal loop runs, one each time it has nothing else to do; when none is left the
// loop is left to end as headless loops do.
class InputScript {
public:
    InputScript& Then(std::function<void()> step) {
        steps_.push_back(std::move(step));
        return *this;
    }
    void Install() {
        headless::SetIdleHandler([this] {
            if (steps_.empty()) return false;
            auto step = std::move(steps_.front());
            steps_.pop_front();
            step();
            return true;
        });
    }
    bool Done() const { return steps_.empty(); }
    ~InputScript() { headless::SetIdleHandler(nullptr); }

private:
    std::deque<std::function<void()>> steps_;
};

inline POINT ScreenPointOf(HWND hwnd, int x, int y) {
    POINT p{x, y};
    ClientToScreen(hwnd, &p);
    return p;
}

inline POINT CenterOf(HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// Moves the test clock on without running anything (safe inside a modal loop's step).
inline void SkipTime(DWORD ms) { static_cast<HeadlessBackend&>(CurrentBackend()).Advance(ms); }

// A click, then time enough that the next click is not taken for a double click. Nothing runs:
// the caller pumps, or the modal loop that waits does.
inline void ClickScreen(POINT p) {
    headless::Click(p.x, p.y);
    SkipTime(1000);
}
inline void ClickClient(HWND hwnd, int x, int y) { ClickScreen(ScreenPointOf(hwnd, x, y)); }
inline void ClickCenter(HWND hwnd) { ClickScreen(CenterOf(hwnd)); }

class ControlTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        main_ = TopLevel(40, 40, 560, 420);
        SetActiveWindow(main_);
        Pump();
        MessageLog().clear();
    }

    HWND Make(const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id) {
        return CreateWindowEx(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, main_, ChildIdMenu(id), nullptr,
                              nullptr);
    }

    // The WM_COMMAND notifications the main window got, in order.
    std::vector<Notice> Notices() const {
        std::vector<Notice> out;
        for (const auto& l : MessageLog())
            if (l.hwnd == main_ && l.msg == WM_COMMAND) out.push_back({LOWORD(l.wParam), HIWORD(l.wParam)});
        return out;
    }
    std::vector<WORD> CodesOf(int id) const {
        std::vector<WORD> out;
        for (const Notice& n : Notices())
            if (n.id == id) out.push_back(n.code);
        return out;
    }
    int CountCode(int id, WORD code) const {
        int n = 0;
        for (WORD c : CodesOf(id)) n += c == code;
        return n;
    }

    HWND main_ = nullptr;
};

}  // namespace win::testing
