// Input: hardware and journal events turned into mouse and key messages when the queue is read
// (capture, hit-testing, activation, double clicks), key state, and TranslateMessage.
#include <algorithm>
#include <cstdlib>

#include "platform/message.h"
#include "platform/screen.h"
#include "platform/system.h"
#include "platform/user_state.h"

namespace win {

namespace {

constexpr UINT kNonClientOffset = WM_MOUSEMOVE - WM_NCMOUSEMOVE;

QueueState& Q() { return User().queue; }

bool JournalActive() { return HasHook(WH_JOURNALPLAYBACK); }

// Generic VK_SHIFT/VK_CONTROL/VK_MENU with the side-specific key beside them.
int SideKey(int vk, int scan, bool extended) {
    switch (vk) {
    case VK_SHIFT: return scan == 0x36 ? VK_RSHIFT : VK_LSHIFT;
    case VK_CONTROL: return extended ? VK_RCONTROL : VK_LCONTROL;
    case VK_MENU: return extended ? VK_RMENU : VK_LMENU;
    default: return 0;
    }
}

void SetKey(BYTE* state, int vk, bool down, bool toggleBit) {
    if (vk <= 0 || vk > 255) return;
    if (down) {
        if (!(state[vk] & 0x80)) state[vk] ^= toggleBit ? 0x01 : 0x00;
        state[vk] |= 0x80;
    } else {
        state[vk] &= static_cast<BYTE>(~0x80);
    }
}

void SetAsync(int vk, bool down) {
    auto& a = Q().asyncState;
    if (vk <= 0 || vk > 255) return;
    if (down)
        a[vk] |= 0x81;
    else
        a[vk] &= static_cast<BYTE>(~0x80);
}

int ButtonVk(MouseButton b) { return b == MouseButton::Left ? VK_LBUTTON : b == MouseButton::Right ? VK_RBUTTON : VK_MBUTTON; }
WPARAM ButtonMk(MouseButton b) { return b == MouseButton::Left ? MK_LBUTTON : b == MouseButton::Right ? MK_RBUTTON : MK_MBUTTON; }
UINT ButtonDownMsg(MouseButton b) {
    return b == MouseButton::Left ? WM_LBUTTONDOWN : b == MouseButton::Right ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
}

void Enqueue(InputEvent e) {
    auto& q = Q();
    e.time = LayerNow();
    if (e.kind == InputEvent::Kind::Move && !q.input.empty() && q.input.back().kind == InputEvent::Kind::Move) {
        q.input.back() = e;  // pointer moves are merged, as the desktop merges them
        return;
    }
    q.input.push_back(std::move(e));
}

bool EventFromJournal(const EVENTMSG& ev, InputEvent* e) {
    e->time = ev.time;
    switch (ev.message) {
    case WM_MOUSEMOVE:
        e->kind = InputEvent::Kind::Move;
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        e->kind = InputEvent::Kind::Button;
        e->button = (ev.message <= WM_LBUTTONUP) ? MouseButton::Left
                    : (ev.message <= WM_RBUTTONUP) ? MouseButton::Right
                                                   : MouseButton::Middle;
        e->down = ev.message == WM_LBUTTONDOWN || ev.message == WM_RBUTTONDOWN || ev.message == WM_MBUTTONDOWN;
        break;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        e->kind = InputEvent::Kind::Key;
        e->vk = static_cast<int>(ev.paramL & 0xFF);
        e->scan = static_cast<int>((ev.paramL >> 8) & 0xFF);
        e->extended = (ev.paramH & 0x8000) != 0;
        e->down = ev.message == WM_KEYDOWN || ev.message == WM_SYSKEYDOWN;
        e->journalMessage = ev.message;
        if (!e->scan) e->scan = ScanCodeOfVirtualKey(e->vk, nullptr);
        return true;
    default:
        return false;  // no message: played as a null message
    }
    e->pt = POINT{static_cast<LONG>(static_cast<int>(ev.paramL)), static_cast<LONG>(static_cast<int>(ev.paramH))};
    return true;
}

WindowObject* KeyTarget() {
    auto& u = User();
    if (auto* f = LiveWindow(u.focus)) return f;
    return LiveWindow(u.active);
}

bool IsDoubleClick(const PendingInput& p, UINT downMsg) {
    auto& q = Q();
    if (p.client && !(p.target && static_cast<WindowObject*>(p.target)->cls &&
                       (static_cast<WindowObject*>(p.target)->cls->style & CS_DBLCLKS)))
        return false;
    UINT want = p.client ? downMsg : downMsg - kNonClientOffset;
    if (q.lastWasDoubleClick || q.lastClickMsg != want || q.lastClickWnd != p.target) return false;
    if (p.event.time - q.lastClickTime > GetDoubleClickTime()) return false;
    int cx = GetSystemMetrics(SM_CXDOUBLECLK) / 2, cy = GetSystemMetrics(SM_CYDOUBLECLK) / 2;
    return std::abs(p.event.pt.x - q.lastClickPt.x) <= cx && std::abs(p.event.pt.y - q.lastClickPt.y) <= cy;
}

WPARAM MouseKeyFlags(const InputEvent& e) {
    auto& q = Q();
    WPARAM mk = static_cast<WPARAM>(q.buttonsDown);
    if (e.kind == InputEvent::Kind::Button) mk = e.down ? (mk | ButtonMk(e.button)) : (mk & ~ButtonMk(e.button));
    if (q.keyState[VK_SHIFT] & 0x80) mk |= MK_SHIFT;
    if (q.keyState[VK_CONTROL] & 0x80) mk |= MK_CONTROL;
    return mk;
}

// Works out the message an event makes now; no state changes besides WM_NCHITTEST.
void Convert(PendingInput* p) {
    auto& q = Q();
    auto& u = User();
    const InputEvent& e = p->event;
    MSG& m = p->msg;
    m = MSG{};
    m.time = e.time;
    m.pt = (e.kind == InputEvent::Kind::Key || e.kind == InputEvent::Kind::Char) ? q.cursorPos : e.pt;
    p->target = nullptr;
    p->refused = false;
    p->client = false;
    p->hit = HTNOWHERE;
    switch (e.kind) {
    case InputEvent::Kind::Key: {
        auto* target = KeyTarget();
        if (!target || (target->style & WS_DISABLED)) return;
        int vk = e.vk;
        bool altDown = (q.keyState[VK_MENU] & 0x80) || (vk == VK_MENU && e.down);
        bool ctrlDown = (q.keyState[VK_CONTROL] & 0x80) != 0;
        bool sys = (altDown && !ctrlDown) || vk == VK_F10 || !LiveWindow(u.focus);
        if (e.journalMessage) sys = e.journalMessage == WM_SYSKEYDOWN || e.journalMessage == WM_SYSKEYUP;
        m.hwnd = target;
        m.message = e.down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
        m.wParam = static_cast<WPARAM>(vk);
        bool prevDown = !e.down || (q.keyState[vk & 0xFF] & 0x80);
        LPARAM lp = 1 | (static_cast<LPARAM>(e.scan & 0xFF) << 16);
        if (e.extended) lp |= KF_EXTENDED_BIT;
        if (altDown && !ctrlDown) lp |= KF_ALTDOWN_BIT;
        if (prevDown) lp |= KF_REPEAT_BIT;
        if (!e.down) lp |= KF_UP_BIT;
        m.lParam = lp;
        p->target = target;
        return;
    }
    case InputEvent::Kind::Char: {
        auto* target = KeyTarget();
        if (!target) return;
        m.hwnd = target;
        m.message = WM_CHAR;
        m.wParam = e.ch;
        m.lParam = 1;
        p->target = target;
        return;
    }
    case InputEvent::Kind::Wheel: {
        auto* target = KeyTarget();
        if (!target) return;
        m.hwnd = target;
        m.message = WM_MOUSEWHEEL;
        m.wParam = MAKEWPARAM(static_cast<WORD>(MouseKeyFlags(e)), static_cast<WORD>(static_cast<SHORT>(e.wheel)));
        m.lParam = MAKELPARAM(static_cast<WORD>(e.pt.x), static_cast<WORD>(e.pt.y));
        p->target = target;
        return;
    }
    default:
        break;
    }
    UINT clientMsg = WM_MOUSEMOVE;
    if (e.kind == InputEvent::Kind::Button) clientMsg = ButtonDownMsg(e.button) + (e.down ? 0 : 1);
    WindowObject* target = LiveWindow(q.capture);
    int hit = HTCLIENT;
    if (!target) {
        target = WindowAtPoint(DesktopObject(), e.pt);
        while (target && (target->style & WS_CHILD) && (target->style & WS_DISABLED)) target = target->parent;
        if (!target || target == DesktopObject()) return;
        auto* top = TopLevelOf(target);
        if ((top && (top->style & WS_DISABLED)) || (target->style & WS_DISABLED)) {
            p->target = target;
            p->hit = HTERROR;
            p->refused = true;
            return;
        }
        HWND h = target;
        hit = static_cast<int>(SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(static_cast<WORD>(e.pt.x), static_cast<WORD>(e.pt.y))));
        if (!LiveWindow(h)) return;
        // A transparent window (a group box, a static) lets the point through to the windows
        // beneath it, and then to its parent.
        while (hit == HTTRANSPARENT && target->parent && target->parent != DesktopObject()) {
            WindowObject* below = nullptr;
            const auto& siblings = target->parent->children;
            auto it = std::find(siblings.begin(), siblings.end(), target);
            for (it = it == siblings.end() ? it : it + 1; it != siblings.end() && !below; ++it) {
                RECT r = WindowRectOnScreen(*it);
                if (((*it)->style & WS_VISIBLE) && !((*it)->style & WS_DISABLED) && PtInRect(&r, e.pt))
                    below = WindowAtPoint(*it, e.pt);
            }
            if (!below) {
                target = target->parent;
                hit = HitTestWindow(target, e.pt);
                break;
            }
            target = below;
            h = target;
            hit = static_cast<int>(SendMessage(h, WM_NCHITTEST, 0, MAKELPARAM(static_cast<WORD>(e.pt.x), static_cast<WORD>(e.pt.y))));
            if (!LiveWindow(h)) return;
        }
    }
    p->target = target;
    p->hit = hit;
    p->client = hit == HTCLIENT;
    m.hwnd = target;
    if (p->client) {
        POINT c = e.pt;
        POINT o = ClientOriginOnScreen(target);
        c.x -= o.x;
        c.y -= o.y;
        m.message = clientMsg;
        m.wParam = MouseKeyFlags(e);
        m.lParam = MAKELPARAM(static_cast<WORD>(c.x), static_cast<WORD>(c.y));
    } else {
        m.message = clientMsg - kNonClientOffset;
        m.wParam = static_cast<WPARAM>(hit);
        m.lParam = MAKELPARAM(static_cast<WORD>(e.pt.x), static_cast<WORD>(e.pt.y));
    }
    if (e.kind == InputEvent::Kind::Button && e.down && IsDoubleClick(*p, ButtonDownMsg(e.button))) m.message += 2;
}

void ApplyKeyState(const InputEvent& e) {
    auto& q = Q();
    bool repeat = e.down && (q.keyState[e.vk & 0xFF] & 0x80);
    SetKey(q.keyState, e.vk, e.down, true);
    if (int side = SideKey(e.vk, e.scan, e.extended)) SetKey(q.keyState, side, e.down, true);
    // Alt or F10 pressed and released alone opens the menu bar (DefWindowProc looks at this).
    auto& u = User();
    if (e.down && !repeat) u.menuKeyAlone = e.vk == VK_MENU || e.vk == VK_F10;
}

// Mouse activation, cursor shape and parent notification that go with a mouse message.
bool MouseSideEffects(PendingInput& p) {
    auto& q = Q();
    auto& u = User();
    const InputEvent& e = p.event;
    HWND target = p.target;
    bool buttonDown = e.kind == InputEvent::Kind::Button && e.down;
    UINT downMsg = buttonDown ? ButtonDownMsg(e.button) : WM_MOUSEMOVE;
    if (p.refused) {
        SendMessage(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target),
                    MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(HTERROR)), static_cast<WORD>(downMsg)));
        return false;
    }
    if (buttonDown) {
        u.menuKeyAlone = false;
        auto* w = LiveWindow(target);
        auto* top = w ? TopLevelOf(w) : nullptr;
        if (top && u.active != static_cast<HWND>(top) && !LiveWindow(q.capture)) {
            LRESULT r = SendMessage(target, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(static_cast<HWND>(top)),
                                    MAKELPARAM(static_cast<WORD>(p.hit), static_cast<WORD>(downMsg)));
            if ((r == MA_ACTIVATE || r == MA_ACTIVATEANDEAT) && LiveWindow(top)) ActivateTopLevel(top, WA_CLICKACTIVE, true);
            if (r == MA_ACTIVATEANDEAT || r == MA_NOACTIVATEANDEAT) return false;
        }
        // A click inside an MDI child brings it to the front of its siblings.
        for (auto* a = LiveWindow(target); a && a->parent; a = a->parent) {
            if ((a->exStyle & WS_EX_MDICHILD) && !a->parent->children.empty() && a->parent->children.front() != a) {
                HWND ah = a;
                SetWindowPos(ah, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
                break;
            }
        }
        if (!LiveWindow(target)) return false;
    }
    if (!LiveWindow(q.capture) && (e.kind == InputEvent::Kind::Move || buttonDown)) {
        SendMessage(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target),
                    MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(p.hit)), static_cast<WORD>(downMsg)));
        if (!LiveWindow(target)) return false;
    }
    if (buttonDown) {
        for (auto* c = LiveWindow(target); c && (c->style & WS_CHILD) && !(c->exStyle & WS_EX_NOPARENTNOTIFY) && c->parent;
             c = c->parent) {
            POINT pt = e.pt;
            POINT o = ClientOriginOnScreen(c->parent);
            HWND parent = c->parent;
            SendMessage(parent, WM_PARENTNOTIFY, MAKEWPARAM(static_cast<WORD>(p.msg.message), 0),
                        MAKELPARAM(static_cast<WORD>(pt.x - o.x), static_cast<WORD>(pt.y - o.y)));
            if (!LiveWindow(parent)) break;
        }
    }
    return LiveWindow(target) != nullptr;
}

}  // namespace

// --- hardware input -------------------------------------------------------------------------

void InputMouseMove(int x, int y) {
    if (JournalActive()) return;
    auto& q = Q();
    q.cursorPos = POINT{x, y};
    q.pointerOnScreen = true;
    InputEvent e;
    e.kind = InputEvent::Kind::Move;
    e.pt = q.cursorPos;
    Enqueue(e);
}

void InputPointerLeft() { Q().pointerOnScreen = false; }

void QueuePointerCrossing() {
    auto& q = Q();
    if (!q.windowsChanged || !q.input.empty() || JournalActive()) return;
    q.windowsChanged = false;
    if (!q.pointerOnScreen || q.buttonsDown || LiveWindow(q.capture)) return;
    PendingInput p;
    p.event.kind = InputEvent::Kind::Move;
    p.event.pt = q.cursorPos;
    Convert(&p);
    if (p.target != q.pointerWindow) Enqueue(p.event);
}

void InputMouseButton(MouseButton button, bool down) {
    SetAsync(ButtonVk(button), down);
    if (JournalActive()) return;
    InputEvent e;
    e.kind = InputEvent::Kind::Button;
    e.button = button;
    e.down = down;
    e.pt = Q().cursorPos;
    Enqueue(e);
}

void InputMouseWheel(int delta) {
    if (JournalActive()) return;
    InputEvent e;
    e.kind = InputEvent::Kind::Wheel;
    e.wheel = delta;
    e.pt = Q().cursorPos;
    Enqueue(e);
}

void InputKey(int vk, bool down, int scan, bool extended, const std::string* text) {
    switch (vk) {
    case VK_LSHIFT: vk = VK_SHIFT; scan = scan ? scan : 0x2A; break;
    case VK_RSHIFT: vk = VK_SHIFT; scan = scan ? scan : 0x36; break;
    case VK_LCONTROL: vk = VK_CONTROL; break;
    case VK_RCONTROL: vk = VK_CONTROL; extended = true; break;
    case VK_LMENU: vk = VK_MENU; break;
    case VK_RMENU: vk = VK_MENU; extended = true; break;
    default: break;
    }
    if (vk <= 0 || vk > 255) return;
    if (!scan) {
        bool ext = false;
        scan = ScanCodeOfVirtualKey(vk, &ext);
        extended = extended || ext;
    }
    SetAsync(vk, down);
    if (int side = SideKey(vk, scan, extended)) SetAsync(side, down);
    if (JournalActive()) return;
    InputEvent e;
    e.kind = InputEvent::Kind::Key;
    e.vk = vk;
    e.down = down;
    e.scan = scan;
    e.extended = extended;
    if (text) {
        e.hasText = true;
        e.text = *text;
    }
    Enqueue(e);
}

void InputKeyText(const std::string& text) {
    if (text.empty() || JournalActive()) return;
    auto& q = Q();
    for (auto it = q.input.rbegin(); it != q.input.rend(); ++it) {
        if (it->kind != InputEvent::Kind::Key) continue;
        if (it->down && it->hasText && it->text.empty()) {
            it->text = text;
            return;
        }
        break;
    }
    for (char c : text) InputChar(static_cast<BYTE>(c));
}

void InputChar(BYTE ch) {
    if (JournalActive()) return;
    InputEvent e;
    e.kind = InputEvent::Kind::Char;
    e.ch = ch;
    e.pt = Q().cursorPos;
    Enqueue(e);
}

// --- reading input --------------------------------------------------------------------------

int JournalDelayRemaining(DWORD now) {
    auto& q = Q();
    if (!JournalActive() || q.journalEventReady) return -1;
    if (!q.journalWaiting) return 0;
    return q.journalWaitUntil > now ? static_cast<int>(q.journalWaitUntil - now) : 0;
}

bool PeekInput(HWND filter, UINT filterMin, UINT filterMax, PendingInput* out) {
    auto& q = Q();
    if (JournalActive()) {
        if (!q.journalEventReady) {
            DWORD now = LayerNow();
            if (q.journalWaiting && now < q.journalWaitUntil) return false;
            EVENTMSG ev;
            LRESULT delay = CallHookChain(WH_JOURNALPLAYBACK, HC_GETNEXT, 0, reinterpret_cast<LPARAM>(&ev));
            if (!JournalActive()) return false;
            if (delay > 0) {
                q.journalWaiting = true;
                q.journalWaitUntil = now + static_cast<DWORD>(delay);
                return false;
            }
            q.journalWaiting = false;
            q.journalEvent = ev;
            q.journalEventReady = true;
        }
        PendingInput p;
        p.fromJournal = true;
        if (EventFromJournal(q.journalEvent, &p.event)) {
            Convert(&p);
        } else {
            // A played event that is no input message: taken out without effect.
            p.event.kind = InputEvent::Kind::Char;
            p.msg = MSG{};
        }
        if (p.msg.message != WM_NULL && !MessageMatches(p.msg, filter, filterMin, filterMax)) return false;
        if (p.msg.message == WM_NULL && (filterMin != 0 || filterMax != 0)) return false;
        *out = p;
        return true;
    }
    for (std::size_t i = 0; i < q.input.size(); ++i) {
        PendingInput p;
        p.index = i;
        p.event = q.input[i];
        Convert(&p);
        if (p.msg.message == WM_NULL && !p.refused) {
            // An event with no window to go to is dropped when it is reached.
            if (i == 0) {
                *out = p;
                return true;
            }
            continue;
        }
        if (p.refused || MessageMatches(p.msg, filter, filterMin, filterMax)) {
            *out = p;
            return true;
        }
    }
    return false;
}

bool RemoveInput(PendingInput& p, MSG* msg, bool remove) {
    auto& q = Q();
    const InputEvent& e = p.event;
    bool isKey = e.kind == InputEvent::Kind::Key && p.msg.message != WM_NULL;
    if (!remove) {
        if (p.msg.message == WM_NULL || p.refused) {
            // Nothing to show yet; such events are only ever taken out.
            if (!p.fromJournal) q.input.erase(q.input.begin() + static_cast<long>(p.index));
            else {
                q.journalEventReady = false;
                CallHookChain(WH_JOURNALPLAYBACK, HC_SKIP, 0, 0);
            }
            if (p.refused) MouseSideEffects(p);
            return false;
        }
        if (isKey) CallHookChain(WH_KEYBOARD, HC_NOREMOVE, p.msg.wParam, p.msg.lParam);
        *msg = p.msg;
        return true;
    }
    if (p.fromJournal)
        q.journalEventReady = false;
    else
        q.input.erase(q.input.begin() + static_cast<long>(p.index));

    bool deliver = p.msg.message != WM_NULL || p.refused;
    bool isMouse = e.kind == InputEvent::Kind::Move || e.kind == InputEvent::Kind::Button;
    if (isMouse) {
        if (p.fromJournal) q.cursorPos = e.pt;
        if (e.kind == InputEvent::Kind::Button) {
            SetKey(q.keyState, ButtonVk(e.button), e.down, false);
            if (e.down)
                q.buttonsDown |= static_cast<int>(ButtonMk(e.button));
            else
                q.buttonsDown &= ~static_cast<int>(ButtonMk(e.button));
            if (e.down && deliver && !p.refused) {
                bool dbl = p.msg.message == WM_LBUTTONDBLCLK || p.msg.message == WM_RBUTTONDBLCLK ||
                           p.msg.message == WM_MBUTTONDBLCLK || p.msg.message == WM_NCLBUTTONDBLCLK ||
                           p.msg.message == WM_NCRBUTTONDBLCLK || p.msg.message == WM_NCMBUTTONDBLCLK;
                q.lastWasDoubleClick = dbl;
                q.lastClickMsg = dbl ? p.msg.message - 2 : p.msg.message;
                q.lastClickWnd = p.target;
                q.lastClickTime = e.time;
                q.lastClickPt = e.pt;
            }
        }
        q.pointerWindow = p.target;
        if (deliver) deliver = MouseSideEffects(p);
    } else if (e.kind == InputEvent::Kind::Key) {
        if (deliver && HasHook(WH_KEYBOARD) && CallHookChain(WH_KEYBOARD, HC_ACTION, p.msg.wParam, p.msg.lParam))
            deliver = false;
        ApplyKeyState(e);
        if (deliver) {
            q.lastKeyMsg = p.msg;
            q.lastKeyHasText = e.hasText;
            q.lastKeyText = e.text;
        }
    }
    if (p.fromJournal) CallHookChain(WH_JOURNALPLAYBACK, HC_SKIP, 0, 0);
    if (deliver && p.msg.hwnd && !LiveWindow(p.msg.hwnd)) deliver = false;
    if (!deliver) return false;
    *msg = p.msg;
    q.lastMsgTime = p.msg.time;
    q.lastMsgPos = isMouse ? e.pt : q.cursorPos;
    return true;
}

// --- key state, capture, pointer ------------------------------------------------------------

SHORT GetKeyState(int vk) {
    if (vk <= 0 || vk > 255) return 0;
    BYTE s = Q().keyState[vk];
    return static_cast<SHORT>(((s & 0x80) ? 0x8000 : 0) | (s & 0x01));
}

SHORT GetAsyncKeyState(int vk) {
    if (vk <= 0 || vk > 255) return 0;
    BYTE& s = Q().asyncState[vk];
    SHORT r = static_cast<SHORT>(((s & 0x80) ? 0x8000 : 0) | (s & 0x01));
    s &= static_cast<BYTE>(~0x01);
    return r;
}

BOOL GetKeyboardState(BYTE state[256]) {
    if (!state) return FALSE;
    std::copy(std::begin(Q().keyState), std::end(Q().keyState), state);
    return TRUE;
}

HWND SetCapture(HWND hwnd) {
    auto& q = Q();
    HWND prev = LiveWindow(q.capture) ? q.capture : nullptr;
    if (!LiveWindow(hwnd)) return prev;
    q.capture = hwnd;
    if (prev && prev != hwnd) SendMessage(prev, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return prev;
}

BOOL ReleaseCapture() {
    auto& q = Q();
    HWND prev = q.capture;
    q.capture = nullptr;
    if (LiveWindow(prev)) SendMessage(prev, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture() { return LiveWindow(Q().capture) ? Q().capture : nullptr; }

BOOL GetCursorPos(POINT* pt) {
    if (!pt) return FALSE;
    *pt = Q().cursorPos;
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    SIZE s = ScreenSize();
    x = std::clamp(x, 0, static_cast<int>(s.cx) - 1);
    y = std::clamp(y, 0, static_cast<int>(s.cy) - 1);
    auto& q = Q();
    q.cursorPos = POINT{x, y};
    if (JournalActive()) return TRUE;
    InputEvent e;
    e.kind = InputEvent::Kind::Move;
    e.pt = q.cursorPos;
    Enqueue(e);
    return TRUE;
}

UINT GetDoubleClickTime() { return 500; }

BOOL TranslateMessage(const MSG* msg) {
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
    auto& q = Q();
    bool sys = msg->message == WM_SYSKEYDOWN;
    bool fromDesktopText = q.lastKeyHasText && q.lastKeyMsg.hwnd == msg->hwnd && q.lastKeyMsg.message == msg->message &&
                           q.lastKeyMsg.wParam == msg->wParam && q.lastKeyMsg.lParam == msg->lParam &&
                           q.lastKeyMsg.time == msg->time;
    int vk = static_cast<int>(msg->wParam);
    bool shift = (q.keyState[VK_SHIFT] & 0x80) != 0;
    bool ctrl = (q.keyState[VK_CONTROL] & 0x80) != 0;
    bool alt = (q.keyState[VK_MENU] & 0x80) != 0;
    bool caps = (q.keyState[VK_CAPITAL] & 0x01) != 0;
    std::vector<BYTE> chars;
    int code = CharForKey(vk, shift, ctrl, alt, caps, !fromDesktopText);
    if (code >= 0) chars.push_back(static_cast<BYTE>(code));
    if (fromDesktopText && !(ctrl && !alt))
        for (char c : q.lastKeyText) chars.push_back(static_cast<BYTE>(c));
    if (chars.empty()) return FALSE;
    UINT charMsg = sys ? WM_SYSCHAR : WM_CHAR;
    // The characters are read next, before anything else that is queued.
    for (auto it = chars.rbegin(); it != chars.rend(); ++it) {
        MSG m = *msg;
        m.message = charMsg;
        m.wParam = *it;
        q.posted.push_front(m);
    }
    return TRUE;
}

}  // namespace win
