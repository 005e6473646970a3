#pragma once
// A small MDI application for the menu, accelerator and MDI tests: a frame with the menu bar of
// resource 9100 (its class menu), an MDI client listing the documents in the "&Window" popup from
// id 50000, document windows, and the accelerator table 9500. Its message loop does what the
// program's does: MDI system keys, accelerators, then translation and dispatch. Every window logs
// its messages; input for menu loops and other modal loops comes from a script of steps that runs
// whenever such a loop waits.
#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/accelerator.h"
#include "platform/backend.h"
#include "platform/headless.h"
#include "platform/mdi.h"
#include "platform/menu.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/window.h"

namespace win::testing {

constexpr UINT kFirstChildId = 50000;
constexpr UINT kMainMenu = 9100;
constexpr UINT kDocumentMenu = 9150;
constexpr UINT kAccelTable = 9500;

struct AppMessage {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

class MenuTestApp : public ::testing::Test {
public:
    // Messages that tell how menus and MDI behave.
    static const std::set<UINT>& MenuMessages() {
        static const std::set<UINT> kept = {WM_ENTERMENULOOP, WM_EXITMENULOOP, WM_INITMENU,   WM_INITMENUPOPUP,
                                            WM_MENUSELECT,    WM_COMMAND,      WM_SYSCOMMAND, WM_MENUCHAR};
        return kept;
    }

    static MenuTestApp*& Current() {
        static MenuTestApp* app = nullptr;
        return app;
    }

protected:
    void SetUp() override {
        ResetPlatformForTests(800, 600);
        Current() = this;
        WNDCLASS frame;
        frame.lpfnWndProc = FrameProc;
        frame.lpszClassName = "MenuAppFrame";
        frame.lpszMenuName = "#9100";
        frame.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_BTNFACE + 1));
        ASSERT_NE(RegisterClass(&frame), 0);
        WNDCLASS doc;
        doc.lpfnWndProc = DocProc;
        doc.lpszClassName = "MenuAppDoc";
        doc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(COLOR_WINDOW + 1));
        ASSERT_NE(RegisterClass(&doc), 0);
        frame_ = CreateWindowEx(0, "MenuAppFrame", "Menu App", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 640, 480,
                                nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(frame_);
        ShowWindow(frame_, SW_SHOW);
        accel_ = LoadAccelerators(nullptr, kAccelTable);
        headless::SetIdleHandler([this] { return RunScriptStep(); });
        Pump();
        log_.clear();
    }

    void TearDown() override {
        headless::SetIdleHandler(nullptr);
        Current() = nullptr;
        ResetPlatformForTests(800, 600);
    }

    // --- the application's windows -------------------------------------------------------------
    static LRESULT FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        MenuTestApp* app = Current();
        if (!app) return DefWindowProc(hwnd, msg, wParam, lParam);
        app->log_.push_back({hwnd, msg, wParam, lParam});
        if (app->frameHandler_)
            if (auto r = app->frameHandler_(hwnd, msg, wParam, lParam)) return *r;
        if (msg == WM_CREATE) {
            CLIENTCREATESTRUCT ccs;
            ccs.hWindowMenu = GetSubMenu(GetMenu(hwnd), 2);
            ccs.idFirstChild = kFirstChildId;
            app->client_ = CreateWindowEx(0, "mdiclient", nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 100,
                                          100, hwnd, ChildIdMenu(565), nullptr, &ccs);
            return app->client_ ? 0 : -1;
        }
        return DefFrameProc(hwnd, app->client_, msg, wParam, lParam);
    }

    static LRESULT DocProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        MenuTestApp* app = Current();
        if (!app) return DefMDIChildProc(hwnd, msg, wParam, lParam);
        app->log_.push_back({hwnd, msg, wParam, lParam});
        if (app->docHandler_)
            if (auto r = app->docHandler_(hwnd, msg, wParam, lParam)) return *r;
        return DefMDIChildProc(hwnd, msg, wParam, lParam);
    }

    HWND NewDocument(const char* title, DWORD style = 0) {
        MDICREATESTRUCT mcs;
        mcs.szClass = "MenuAppDoc";
        mcs.szTitle = title;
        mcs.x = mcs.y = mcs.cx = mcs.cy = CW_USEDEFAULT;
        mcs.style = style;
        auto h = reinterpret_cast<HWND>(SendMessage(client_, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&mcs)));
        Pump();
        return h;
    }

    HWND ActiveDocument(BOOL* maximized = nullptr) {
        return reinterpret_cast<HWND>(SendMessage(client_, WM_MDIGETACTIVE, 0, reinterpret_cast<LPARAM>(maximized)));
    }

    // --- the message loop and the script -------------------------------------------------------
    // Runs the application's loop until the queue is empty; false when a WM_QUIT came out (a
    // modal loop ran out of script).
    bool Pump() {
        MSG m;
        int guard = 0;
        while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE) && ++guard < 100000) {
            if (m.message == WM_QUIT) {
                quit_ = true;
                return false;
            }
            if (client_ && TranslateMDISysAccel(client_, &m)) continue;
            if (accel_ && TranslateAccelerator(frame_, accel_, &m)) continue;
            TranslateMessage(&m);
            DispatchMessage(&m);
        }
        return true;
    }

    // Steps run one at a time whenever a modal loop waits for input.
    void Script(std::initializer_list<std::function<void()>> steps) {
        for (auto& s : steps) script_.push_back(s);
    }

    bool RunScriptStep() {
        if (script_.empty()) return false;
        auto step = script_.front();
        script_.pop_front();
        step();
        return true;
    }

    // --- pointing at menus ------------------------------------------------------------------
    static POINT Center(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

    POINT BarItem(int position) {
        RECT r{};
        EXPECT_TRUE(GetMenuItemRect(frame_, GetMenu(frame_), static_cast<UINT>(position), &r));
        return Center(r);
    }

    // An item of a popup that is open now.
    POINT PopupItem(HMENU popup, int position) {
        RECT r{};
        EXPECT_TRUE(GetMenuItemRect(frame_, popup, static_cast<UINT>(position), &r)) << "the popup is not open";
        return Center(r);
    }

    static std::function<void()> MoveTo(std::function<POINT()> where) {
        return [where] {
            POINT p = where();
            headless::MoveMouse(p.x, p.y);
        };
    }
    static std::function<void()> Key(int vk) {
        return [vk] { headless::PressKey(vk); };
    }

    // --- the log ------------------------------------------------------------------------------
    std::vector<AppMessage> Logged(HWND hwnd, const std::set<UINT>& kept = MenuMessages()) const {
        std::vector<AppMessage> out;
        for (const auto& m : log_)
            if ((!hwnd || m.hwnd == hwnd) && kept.count(m.msg)) out.push_back(m);
        return out;
    }
    std::vector<UINT> LoggedIds(HWND hwnd, const std::set<UINT>& kept = MenuMessages()) const {
        std::vector<UINT> out;
        for (const auto& m : Logged(hwnd, kept)) out.push_back(m.msg);
        return out;
    }
    // One line per message, for comparing sequences with readable failures.
    static std::string Describe(const AppMessage& m) {
        static const std::pair<UINT, const char*> names[] = {
            {WM_ENTERMENULOOP, "ENTERMENULOOP"}, {WM_EXITMENULOOP, "EXITMENULOOP"}, {WM_INITMENU, "INITMENU"},
            {WM_INITMENUPOPUP, "INITMENUPOPUP"}, {WM_MENUSELECT, "MENUSELECT"},     {WM_COMMAND, "COMMAND"},
            {WM_SYSCOMMAND, "SYSCOMMAND"},       {WM_MENUCHAR, "MENUCHAR"},         {WM_NCACTIVATE, "NCACTIVATE"},
            {WM_MDIACTIVATE, "MDIACTIVATE"},     {WM_SETFOCUS, "SETFOCUS"},         {WM_KILLFOCUS, "KILLFOCUS"},
            {WM_CHILDACTIVATE, "CHILDACTIVATE"}, {WM_CLOSE, "CLOSE"},               {WM_DESTROY, "DESTROY"}};
        std::string name = std::to_string(m.msg);
        for (auto& [id, n] : names)
            if (id == m.msg) name = n;
        char buf[96];
        std::snprintf(buf, sizeof buf, " %#llx %#llx", static_cast<unsigned long long>(m.wParam),
                      static_cast<unsigned long long>(m.lParam));
        return name + buf;
    }
    static std::vector<std::string> Describe(const std::vector<AppMessage>& list) {
        std::vector<std::string> out;
        for (const auto& m : list) out.push_back(Describe(m));
        return out;
    }
    static AppMessage Msg(UINT msg, WPARAM wParam, LPARAM lParam) { return AppMessage{nullptr, msg, wParam, lParam}; }
    template <typename H>
    static LPARAM L(H handle) {
        return reinterpret_cast<LPARAM>(handle);
    }

    int Count(HWND hwnd, UINT msg) const {
        int n = 0;
        for (const auto& m : log_) n += (m.hwnd == hwnd && m.msg == msg);
        return n;
    }

    HWND frame_ = nullptr;
    HWND client_ = nullptr;
    HACCEL accel_ = nullptr;
    bool quit_ = false;
    std::vector<AppMessage> log_;
    std::deque<std::function<void()>> script_;
    std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)> frameHandler_;
    std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)> docHandler_;
};

}  // namespace win::testing
