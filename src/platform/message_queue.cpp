// The message queue: posting and sending, retrieval in the classic order, dispatch, nested loops.
#include <cstdio>

#include "platform/backend.h"
#include "platform/caret_internal.h"
#include "platform/user_state.h"

namespace win {

namespace {

const HWND kBroadcast = reinterpret_cast<HWND>(0xFFFF);

bool RangeHas(UINT filterMin, UINT filterMax, UINT msg) {
    return (filterMin == 0 && filterMax == 0) || (msg >= filterMin && msg <= filterMax);
}

bool FetchMessage(MSG* msg, HWND filter, UINT filterMin, UINT filterMax, bool remove) {
    auto& u = User();
    auto& q = u.queue;
    Backend& backend = CurrentBackend();
    backend.QueueRead();
    backend.PumpEvents();
    backend.Present(false);
    DWORD now = LayerNow();
    CaretBlinkTick(now);

    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
        if (!MessageMatches(*it, filter, filterMin, filterMax)) continue;
        *msg = *it;
        if (remove) q.posted.erase(it);
        q.lastMsgTime = msg->time;
        q.lastMsgPos = msg->pt;
        return true;
    }
    if (q.quitPosted && RangeHas(filterMin, filterMax, WM_QUIT)) {
        *msg = MSG{};
        msg->message = WM_QUIT;
        msg->wParam = static_cast<WPARAM>(q.quitCode);
        msg->time = now;
        msg->pt = q.cursorPos;
        if (remove) q.quitPosted = false;
        return true;
    }
    QueuePointerCrossing();
    PendingInput pending;
    while (PeekInput(filter, filterMin, filterMax, &pending)) {
        if (RemoveInput(pending, msg, remove)) return true;
    }
    if (RangeHas(filterMin, filterMax, WM_PAINT)) {
        if (WindowObject* w = FindWindowNeedingPaint(filter)) {
            *msg = MSG{};
            msg->hwnd = w;
            msg->message = WM_PAINT;
            msg->time = now;
            msg->pt = q.cursorPos;
            return true;
        }
    }
    if (RangeHas(filterMin, filterMax, WM_TIMER) && FindDueTimer(filter, now, msg, remove)) {
        q.lastMsgTime = msg->time;
        return true;
    }
    return false;
}

}  // namespace

DWORD LayerNow() { return CurrentBackend().Now(); }

bool MessageMatches(const MSG& m, HWND filter, UINT filterMin, UINT filterMax) {
    if (!RangeHas(filterMin, filterMax, m.message)) return false;
    return !filter || m.hwnd == filter || IsChild(filter, m.hwnd);
}

BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto& q = User().queue;
    if (hwnd == kBroadcast) {
        for (auto* w : DesktopObject()->children) PostMessage(w, msg, wParam, lParam);
        return TRUE;
    }
    if (hwnd && !LiveWindow(hwnd)) return FALSE;
    MSG m;
    m.hwnd = hwnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = LayerNow();
    m.pt = q.cursorPos;
    q.posted.push_back(m);
    return TRUE;
}

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (hwnd == kBroadcast) {
        std::vector<HWND> tops(DesktopObject()->children.begin(), DesktopObject()->children.end());
        for (HWND t : tops)
            if (LiveWindow(t)) SendMessage(t, msg, wParam, lParam);
        return 0;
    }
    auto* w = LiveWindow(hwnd);
    if (!w) return 0;
    if (!w->proc) return DefWindowProc(hwnd, msg, wParam, lParam);
    return w->proc(hwnd, msg, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
    auto& q = User().queue;
    q.quitPosted = true;
    q.quitCode = exitCode;
}

BOOL PeekMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (!msg) return FALSE;
    return FetchMessage(msg, hwnd, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0) ? TRUE : FALSE;
}

namespace {

// How long the queue can sleep before something falls due; -1 for ever.
int NextWakeUp(UINT filterMin, UINT filterMax) {
    DWORD now = LayerNow();
    int wait = -1;
    auto consider = [&](int ms) {
        if (ms >= 0 && (wait < 0 || ms < wait)) wait = ms;
    };
    if (RangeHas(filterMin, filterMax, WM_TIMER)) consider(MsUntilNextTimer(now));
    consider(JournalDelayRemaining(now));
    // A blinking caret wakes a real display, never the test clock.
    if (CurrentBackend().Kind() == BackendKind::Sdl) consider(CaretBlinkTick(now));
    return wait;
}

}  // namespace

BOOL GetMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (!msg) return -1;
    for (;;) {
        if (FetchMessage(msg, hwnd, filterMin, filterMax, true)) return msg->message == WM_QUIT ? FALSE : TRUE;
        if (!CurrentBackend().WaitForEvents(NextWakeUp(filterMin, filterMax))) {
            // Nothing can ever arrive (a headless run with no input left): end the loop rather
            // than hang.
            std::fprintf(stderr, "kq5: message loop has nothing left to wait for; quitting\n");
            PostQuitMessage(0);
        }
    }
}

BOOL WaitMessage() {
    MSG m;
    if (FetchMessage(&m, nullptr, 0, 0, false)) return TRUE;
    return CurrentBackend().WaitForEvents(NextWakeUp(0, 0)) ? TRUE : FALSE;
}

LRESULT DispatchMessage(const MSG* msg) {
    if (!msg) return 0;
    auto& q = User().queue;
    if (msg->message == WM_TIMER && msg->lParam) {
        // Only a procedure that a live timer was given is ever called.
        for (const auto& t : q.timers)
            if (t.hwnd == msg->hwnd && t.id == msg->wParam && reinterpret_cast<LPARAM>(t.proc) == msg->lParam) {
                TIMERPROC proc = t.proc;
                proc(msg->hwnd, WM_TIMER, msg->wParam, LayerNow());
                return 0;
            }
        return 0;
    }
    auto* w = LiveWindow(msg->hwnd);
    if (!w) return 0;
    ++q.dispatchDepth;
    LRESULT r = 0;
    if (msg->message == WM_PAINT) {
        w->validatedSinceDispatch = false;
        r = SendMessage(msg->hwnd, WM_PAINT, msg->wParam, msg->lParam);
        if (auto* still = LiveWindow(msg->hwnd); still && NeedsPaint(still) && !still->validatedSinceDispatch) {
            // A procedure that ignores WM_PAINT must not make it come back for ever.
            still->update.Clear();
            still->internalPaint = false;
            still->erasePending = false;
            still->ncPaintPending = false;
        }
    } else {
        r = SendMessage(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    }
    --User().queue.dispatchDepth;
    return r;
}

DWORD GetMessageTime() { return User().queue.lastMsgTime; }

DWORD GetMessagePos() {
    POINT p = User().queue.lastMsgPos;
    return static_cast<DWORD>(MAKELONG(static_cast<WORD>(p.x), static_cast<WORD>(p.y)));
}

DWORD GetCurrentThreadId() { return 1; }

bool RunNestedLoop(const std::function<bool()>& done, const std::function<bool(MSG&)>& filter) {
    MSG m;
    while (!done()) {
        BOOL r = GetMessage(&m, nullptr, 0, 0);
        if (r == 0 || r == -1) {
            PostQuitMessage(static_cast<int>(m.wParam));
            return false;
        }
        if (filter && filter(m)) continue;
        TranslateMessage(&m);
        DispatchMessage(&m);
    }
    return true;
}

}  // namespace win
