// Hooks: the keyboard hook and journal playback (the other kinds are kept but never called).
#include <algorithm>

#include "platform/user_state.h"

namespace win {

namespace {

std::vector<std::unique_ptr<HookObject>>& Hooks() { return User().queue.hooks; }

}  // namespace

HHOOK SetWindowsHookEx(int idHook, HOOKPROC proc, HINSTANCE module, DWORD threadId) {
    if (!proc || idHook < WH_MSGFILTER || idHook > WH_CBT) return nullptr;
    auto hook = std::make_unique<HookObject>();
    hook->type = idHook;
    hook->proc = proc;
    HHOOK h = hook.get();
    Hooks().push_back(std::move(hook));
    if (idHook == WH_JOURNALPLAYBACK) {
        // Playback replaces the input source: what the user typed before must not come out
        // after it ends.
        auto& q = User().queue;
        q.input.clear();
        q.journalEventReady = false;
        q.journalWaiting = false;
    }
    return h;
}

BOOL UnhookWindowsHookEx(HHOOK hook) {
    auto& hooks = Hooks();
    auto it = std::find_if(hooks.begin(), hooks.end(), [&](auto& h) { return h.get() == hook; });
    if (it == hooks.end()) return FALSE;
    int type = (*it)->type;
    hooks.erase(it);
    if (type == WH_JOURNALPLAYBACK && !HasHook(WH_JOURNALPLAYBACK)) {
        auto& q = User().queue;
        q.journalEventReady = false;
        q.journalWaiting = false;
    }
    return TRUE;
}

bool HasHook(int type) {
    for (auto& h : Hooks())
        if (h->type == type) return true;
    return false;
}

LRESULT CallHookChain(int type, int code, WPARAM wParam, LPARAM lParam) {
    auto& hooks = Hooks();
    for (auto it = hooks.rbegin(); it != hooks.rend(); ++it)
        if ((*it)->type == type) return (*it)->proc(code, wParam, lParam);
    return 0;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
    auto& hooks = Hooks();
    auto it = std::find_if(hooks.begin(), hooks.end(), [&](auto& h) { return h.get() == hook; });
    if (it == hooks.end()) return 0;
    int type = (*it)->type;
    // The next hook is the one installed before this one.
    while (it != hooks.begin()) {
        --it;
        if ((*it)->type == type) return (*it)->proc(code, wParam, lParam);
    }
    return 0;
}

}  // namespace win
