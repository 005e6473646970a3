// Activation of top-level windows, keyboard focus and enabling.
#include "platform/message.h"
#include "platform/control_internal.h"
#include "platform/user_state.h"

namespace win {

void ActivateTopLevel(WindowObject* w, WORD how, bool bringToTop) {
    auto& u = User();
    HWND h = w;
    if (u.active == h) {
        if (w && bringToTop) SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return;
    }
    HWND prevHwnd = u.active;
    auto* prev = LiveWindow(prevHwnd);
    u.active = h;
    if (prev) {
        prev->ncActive = false;
        SendMessage(prevHwnd, WM_NCACTIVATE, FALSE, 0);
        if (LiveWindow(prevHwnd))
            SendMessage(prevHwnd, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, (prev->style & WS_MINIMIZE) ? 1 : 0),
                        reinterpret_cast<LPARAM>(h));
    }
    if (!w || !LiveWindow(h) || u.active != h) {
        if (!w) {
            if (auto* f = LiveWindow(u.focus)) {
                u.focus = nullptr;
                SendMessage(f, WM_KILLFOCUS, 0, 0);
            }
            if (prev && LiveWindow(prevHwnd)) SendMessage(prevHwnd, WM_ACTIVATEAPP, FALSE, 0);
        }
        return;
    }
    if (!prev) SendMessage(h, WM_ACTIVATEAPP, TRUE, 0);
    if (!LiveWindow(h)) return;
    if (bringToTop) SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (!LiveWindow(h)) return;
    for (auto* o = w->owner; o; o = o->owner) o->lastActivePopup = w;
    w->ncActive = true;
    SendMessage(h, WM_NCACTIVATE, TRUE, 0);
    if (!LiveWindow(h)) return;
    SendMessage(h, WM_ACTIVATE, MAKEWPARAM(how, (w->style & WS_MINIMIZE) ? 1 : 0), reinterpret_cast<LPARAM>(prevHwnd));
    if (!LiveWindow(h) || u.active != h) return;
    // Focus never stays in a window that is no longer active.
    if (auto* f = LiveWindow(u.focus); f && !IsDescendant(w, f)) {
        u.focus = nullptr;
        SendMessage(f, WM_KILLFOCUS, 0, 0);
    }
}

void ActivateOtherWindow(WindowObject* leaving) {
    auto& u = User();
    auto usable = [&](WindowObject* c) {
        return c && c != leaving && !c->destroying && (c->style & WS_VISIBLE) && !(c->style & WS_DISABLED) &&
               !IsDescendant(leaving, c) && c->owner != leaving;
    };
    WindowObject* next = nullptr;
    if (leaving && usable(leaving->owner)) next = leaving->owner;
    if (!next)
        for (auto* c : DesktopObject()->children)
            if (usable(c)) {
                next = c;
                break;
            }
    if (u.active != static_cast<HWND>(leaving) && u.active) return;
    ActivateTopLevel(next, WA_ACTIVE, false);
}

HWND GetActiveWindow() { return LiveWindow(User().active) ? User().active : nullptr; }

HWND SetActiveWindow(HWND hwnd) {
    auto* w = LiveWindow(hwnd);
    if (!w) return nullptr;
    auto* top = TopLevelOf(w);
    if (!top) return nullptr;
    HWND prev = GetActiveWindow();
    ActivateTopLevel(top, WA_ACTIVE, true);
    return prev;
}

HWND GetForegroundWindow() { return GetActiveWindow(); }

BOOL SetForegroundWindow(HWND hwnd) { return SetActiveWindow(hwnd) != nullptr || GetActiveWindow() == hwnd; }

HWND GetFocus() { return LiveWindow(User().focus) ? User().focus : nullptr; }

HWND SetFocus(HWND hwnd) {
    auto& u = User();
    HWND prev = GetFocus();
    if (!hwnd) {
        if (prev) {
            u.focus = nullptr;
            SendMessage(prev, WM_KILLFOCUS, 0, 0);
        }
        return prev;
    }
    auto* w = LiveWindow(hwnd);
    if (!w || w == DesktopObject()) return nullptr;
    if (prev == hwnd) return prev;
    auto* top = TopLevelOf(w);
    if (top && u.active != static_cast<HWND>(top)) {
        ActivateTopLevel(top, WA_ACTIVE, true);
        if (!LiveWindow(hwnd)) return nullptr;
        prev = GetFocus();
        if (prev == hwnd) return prev;
    }
    // The focus has moved before the old window hears of the loss: a message box shown while a
    // field checks its text on losing the focus takes the focus from the new window, and does
    // not make the field lose it, and check, once more.
    u.focus = hwnd;
    const unsigned change = ++u.focusChanges;
    if (prev) {
        SendMessage(prev, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
        if (!LiveWindow(hwnd)) return nullptr;
        // Moved on meanwhile (or given back, and told so already).
        if (u.focusChanges != change || GetFocus() != hwnd) return prev;
    }
    SendMessage(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(prev), 0);
    return prev;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    auto* w = LiveWindow(hwnd);
    if (!w) return FALSE;
    bool wasDisabled = (w->style & WS_DISABLED) != 0;
    if (enable) {
        if (!wasDisabled) return FALSE;
        w->style &= ~WS_DISABLED;
        SendMessage(hwnd, WM_ENABLE, TRUE, 0);
    } else {
        if (wasDisabled) return TRUE;
        SendMessage(hwnd, WM_CANCELMODE, 0, 0);
        if (!LiveWindow(hwnd)) return FALSE;
        w->style |= WS_DISABLED;
        if (auto* f = LiveWindow(User().focus); f && IsDescendant(w, f)) {
            // A dialog disabled under a message box gives the focus back, once the box is
            // gone, to the control that had it, even one that had not yet heard of it.
            if (f != w) NoteDialogFocus(f);
            SetFocus(nullptr);
        }
        if (LiveWindow(hwnd)) SendMessage(hwnd, WM_ENABLE, FALSE, 0);
    }
    return wasDisabled;
}

}  // namespace win
