// Timers: WM_TIMER for due timers when nothing else is waiting, with or without a TIMERPROC.
#include <algorithm>

#include "platform/user_state.h"

namespace win {

namespace {

constexpr UINT kMinimumElapse = 10;

std::vector<TimerEntry>& Timers() { return User().queue.timers; }

}  // namespace

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
    if (hwnd && !LiveWindow(hwnd)) return 0;
    auto& q = User().queue;
    UINT elapse = std::clamp<UINT>(elapseMs, kMinimumElapse, 0x7FFFFFFF);
    DWORD now = LayerNow();
    auto& timers = Timers();
    if (!hwnd) {
        auto it = std::find_if(timers.begin(), timers.end(), [&](auto& t) { return !t.hwnd && t.id == id && id; });
        if (it == timers.end()) {
            // A thread timer gets an id of its own.
            do {
                id = ++q.nextThreadTimerId;
            } while (std::any_of(timers.begin(), timers.end(), [&](auto& t) { return !t.hwnd && t.id == id; }));
        }
    }
    for (auto& t : timers)
        if (t.hwnd == hwnd && t.id == id) {
            t.elapse = elapse;
            t.proc = proc;
            t.due = now + elapse;
            return id ? id : 1;
        }
    TimerEntry t;
    t.hwnd = hwnd;
    t.id = id;
    t.elapse = elapse;
    t.proc = proc;
    t.due = now + elapse;
    timers.push_back(t);
    return id ? id : 1;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    auto& timers = Timers();
    auto it = std::find_if(timers.begin(), timers.end(), [&](auto& t) { return t.hwnd == hwnd && t.id == id; });
    if (it == timers.end()) return FALSE;
    timers.erase(it);
    return TRUE;
}

void KillTimersOfWindow(HWND hwnd) {
    auto& timers = Timers();
    timers.erase(std::remove_if(timers.begin(), timers.end(), [&](auto& t) { return t.hwnd == hwnd; }), timers.end());
}

bool FindDueTimer(HWND filter, DWORD now, MSG* msg, bool remove) {
    TimerEntry* best = nullptr;
    for (auto& t : Timers()) {
        if (static_cast<int>(now - t.due) < 0) continue;
        if (filter && t.hwnd != filter && !IsChild(filter, t.hwnd)) continue;
        if (!best || static_cast<int>(t.due - best->due) < 0) best = &t;
    }
    if (!best) return false;
    *msg = MSG{};
    msg->hwnd = best->hwnd;
    msg->message = WM_TIMER;
    msg->wParam = best->id;
    msg->lParam = reinterpret_cast<LPARAM>(best->proc);
    msg->time = now;
    msg->pt = User().queue.cursorPos;
    // Missed periods are not made up: the next one counts from now.
    if (remove) best->due = now + best->elapse;
    return true;
}

int MsUntilNextTimer(DWORD now) {
    int wait = -1;
    for (auto& t : Timers()) {
        int ms = std::max(0, static_cast<int>(t.due - now));
        if (wait < 0 || ms < wait) wait = ms;
    }
    return wait;
}

}  // namespace win
