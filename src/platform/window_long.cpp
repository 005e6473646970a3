// Window longs (procedure, user data, styles, id, extra bytes), window text, menu and parent.
#include <algorithm>
#include <cstring>

#include "platform/message.h"
#include "platform/paint.h"
#include "platform/user_state.h"

namespace win {

namespace {

template <typename T>
bool ReadExtra(const WindowObject* w, int index, T* out) {
    if (index < 0 || static_cast<std::size_t>(index) + sizeof(T) > w->extra.size()) return false;
    std::memcpy(out, w->extra.data() + index, sizeof(T));
    return true;
}

template <typename T>
bool WriteExtra(WindowObject* w, int index, T value) {
    if (index < 0 || static_cast<std::size_t>(index) + sizeof(T) > w->extra.size()) return false;
    std::memcpy(w->extra.data() + index, &value, sizeof(T));
    return true;
}

void StyleChanged(WindowObject* w, int index, DWORD oldValue, DWORD newValue) {
    struct STYLESTRUCT {
        DWORD styleOld;
        DWORD styleNew;
    } ss{oldValue, newValue};
    SendMessage(w, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
}

}  // namespace

LONG_PTR GetWindowLongPtr(HWND hwnd, int index) {
    auto* w = LiveWindow(hwnd);
    if (!w) return 0;
    switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>((w->style & WS_CHILD) ? w->parent : w->owner);
    case GWLP_ID: return (w->style & WS_CHILD) ? w->id : reinterpret_cast<LONG_PTR>(w->menu);
    case GWL_STYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w->style));
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w->exStyle));
    case GWLP_USERDATA: return w->userData;
    default: break;
    }
    LONG_PTR v = 0;
    if (ReadExtra(w, index, &v)) return v;
    LONG small = 0;
    if (ReadExtra(w, index, &small)) return small;
    return 0;
}

LONG_PTR SetWindowLongPtr(HWND hwnd, int index, LONG_PTR value) {
    auto* w = LiveWindow(hwnd);
    if (!w || w == DesktopObject()) return 0;
    LONG_PTR old = GetWindowLongPtr(hwnd, index);
    switch (index) {
    case GWLP_WNDPROC:
        w->proc = reinterpret_cast<WNDPROC>(value);
        return old;
    case GWLP_HINSTANCE:
        w->instance = reinterpret_cast<HINSTANCE>(value);
        return old;
    case GWLP_HWNDPARENT:
        if (!(w->style & WS_CHILD)) w->owner = TopLevelOf(LiveWindow(reinterpret_cast<HWND>(value)));
        return old;
    case GWLP_ID:
        if (w->style & WS_CHILD)
            w->id = value;
        else
            w->menu = reinterpret_cast<HMENU>(value);
        return old;
    case GWL_STYLE: {
        DWORD keep = w->style & (WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE | WS_CHILD);
        DWORD newStyle = (static_cast<DWORD>(value) & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE | WS_CHILD)) | keep;
        // WS_VISIBLE may be cleared or set directly (no repaint, as with the classic call).
        newStyle = (newStyle & ~WS_VISIBLE) | (static_cast<DWORD>(value) & WS_VISIBLE);
        DWORD oldStyle = w->style;
        w->style = newStyle;
        StyleChanged(w, GWL_STYLE, oldStyle, newStyle);
        return old;
    }
    case GWL_EXSTYLE: {
        DWORD oldStyle = w->exStyle;
        w->exStyle = static_cast<DWORD>(value);
        StyleChanged(w, GWL_EXSTYLE, oldStyle, w->exStyle);
        return old;
    }
    case GWLP_USERDATA:
        w->userData = value;
        return old;
    default:
        break;
    }
    if (WriteExtra(w, index, value)) return old;
    WriteExtra(w, index, static_cast<LONG>(value));
    return old;
}

WORD GetWindowWord(HWND hwnd, int index) {
    auto* w = LiveWindow(hwnd);
    WORD v = 0;
    if (w) ReadExtra(w, index, &v);
    return v;
}

WORD SetWindowWord(HWND hwnd, int index, WORD value) {
    auto* w = LiveWindow(hwnd);
    WORD old = 0;
    if (w && ReadExtra(w, index, &old)) WriteExtra(w, index, value);
    return old;
}

LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!proc) return 0;
    return proc(hwnd, msg, wParam, lParam);
}

std::string GetWindowText(HWND hwnd) {
    if (!LiveWindow(hwnd)) return {};
    LRESULT len = SendMessage(hwnd, WM_GETTEXTLENGTH, 0, 0);
    if (len <= 0) return {};
    std::string buffer(static_cast<std::size_t>(len) + 1, '\0');
    LRESULT got = SendMessage(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    buffer.resize(static_cast<std::size_t>(std::clamp<LRESULT>(got, 0, len)));
    return buffer;
}

int GetWindowTextLength(HWND hwnd) {
    if (!LiveWindow(hwnd)) return 0;
    return static_cast<int>(SendMessage(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

BOOL SetWindowText(HWND hwnd, const char* text) {
    if (!LiveWindow(hwnd)) return FALSE;
    return SendMessage(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : "")) != 0;
}

HMENU GetMenu(HWND hwnd) {
    auto* w = LiveWindow(hwnd);
    return (w && !(w->style & WS_CHILD)) ? w->menu : nullptr;
}

BOOL SetMenu(HWND hwnd, HMENU menu) {
    auto* w = LiveWindow(hwnd);
    if (!w || (w->style & WS_CHILD)) return FALSE;
    w->menu = menu;
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return TRUE;
}

HWND SetParent(HWND hwnd, HWND newParent) {
    auto* w = LiveWindow(hwnd);
    auto* p = newParent ? LiveWindow(newParent) : DesktopObject();
    if (!w || !p || w == DesktopObject() || IsDescendant(w, p)) return nullptr;
    HWND old = w->parent;
    bool visible = (w->style & WS_VISIBLE) != 0;
    if (visible) ShowWindow(hwnd, SW_HIDE);
    if (!LiveWindow(hwnd)) return nullptr;
    auto& sib = w->parent->children;
    sib.erase(std::remove(sib.begin(), sib.end(), w), sib.end());
    w->parent = p;
    p->children.insert(p->children.begin(), w);
    if (visible) ShowWindow(hwnd, SW_SHOWNA);
    return old == DesktopObject() ? GetDesktopWindow() : old;
}

}  // namespace win
