#pragma once
// Test windows that log every message they get, over a fresh headless platform per test.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <set>
#include <vector>

#include "platform/backend.h"
#include "platform/headless.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/window.h"

namespace win::testing {

struct Logged {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

inline std::vector<Logged>& MessageLog() {
    static std::vector<Logged> log;
    return log;
}

// A handler may answer a message itself (a value) or let the default procedure have it.
using TestHandler = std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>;
inline TestHandler& Handler() {
    static TestHandler handler;
    return handler;
}

inline LRESULT LoggingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    MessageLog().push_back({hwnd, msg, wParam, lParam});
    if (Handler())
        if (auto r = Handler()(hwnd, msg, wParam, lParam)) return *r;
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetPlatformForTests(800, 600);
        MessageLog().clear();
        Handler() = nullptr;
        Register("TestWnd", 0);
        Register("TestDbl", CS_DBLCLKS);
    }
    void TearDown() override {
        Handler() = nullptr;
        ResetPlatformForTests(800, 600);
    }

    static void Register(const char* name, UINT style, HBRUSH background = nullptr) {
        WNDCLASS wc;
        wc.style = style;
        wc.lpfnWndProc = LoggingProc;
        wc.lpszClassName = name;
        wc.hbrBackground = background;
        wc.cbWndExtra = 16;
        ASSERT_NE(RegisterClass(&wc), 0);
    }

    static HWND TopLevel(int x, int y, int w, int h, DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                         const char* cls = "TestWnd") {
        return CreateWindowEx(0, cls, "Top", style, x, y, w, h, nullptr, nullptr, nullptr, nullptr);
    }
    static HWND Child(HWND parent, int id, int x, int y, int w, int h, DWORD style = WS_CHILD | WS_VISIBLE,
                      const char* cls = "TestWnd") {
        return CreateWindowEx(0, cls, "", style, x, y, w, h, parent, ChildIdMenu(id), nullptr, nullptr);
    }

    // The messages of one window (or all, for null) from the log, keeping only those in keep
    // when it is not empty.
    static std::vector<UINT> MessagesOf(HWND hwnd, const std::set<UINT>& keep = {}) {
        std::vector<UINT> out;
        for (const auto& l : MessageLog())
            if ((!hwnd || l.hwnd == hwnd) && (keep.empty() || keep.count(l.msg))) out.push_back(l.msg);
        return out;
    }
    static int CountOf(HWND hwnd, UINT msg) {
        return static_cast<int>(std::count_if(MessageLog().begin(), MessageLog().end(),
                                              [&](const Logged& l) { return l.hwnd == hwnd && l.msg == msg; }));
    }
    static std::optional<Logged> Last(HWND hwnd, UINT msg) {
        for (auto it = MessageLog().rbegin(); it != MessageLog().rend(); ++it)
            if (it->hwnd == hwnd && it->msg == msg) return *it;
        return std::nullopt;
    }
    static void Pump() { headless::RunUntilIdle(); }
};

}  // namespace win::testing
