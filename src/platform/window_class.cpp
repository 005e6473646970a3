// Window classes: registration, lookup and class longs.
#include <strings.h>

#include <algorithm>

#include "platform/user_state.h"

namespace win {

namespace {

ATOM AddClass(const WNDCLASSEX& wc, bool system) {
    if (!wc.lpszClassName || !*wc.lpszClassName || !wc.lpfnWndProc) return 0;
    auto& u = User();
    if (auto* existing = FindWindowClass(wc.lpszClassName)) {
        if (!system) return 0;  // already registered
        // A layer module registering again after a reset replaces its class.
        auto it = std::find_if(u.classes.begin(), u.classes.end(), [&](auto& c) { return c.get() == existing; });
        u.classes.erase(it);
    }
    auto cls = std::make_unique<WindowClass>();
    cls->name = wc.lpszClassName;
    cls->atom = u.nextAtom++;
    cls->style = wc.style;
    cls->proc = wc.lpfnWndProc;
    cls->clsExtra = std::max(0, wc.cbClsExtra);
    cls->wndExtra = std::max(0, wc.cbWndExtra);
    cls->instance = wc.hInstance;
    cls->icon = wc.hIcon;
    cls->iconSmall = wc.hIconSm;
    cls->cursor = wc.hCursor;
    cls->background = wc.hbrBackground;
    if (wc.lpszMenuName && IS_INTRESOURCE(reinterpret_cast<UINT_PTR>(wc.lpszMenuName)))
        cls->menuName = "#" + std::to_string(reinterpret_cast<UINT_PTR>(wc.lpszMenuName));
    else if (wc.lpszMenuName)
        cls->menuName = wc.lpszMenuName;
    cls->extraBytes.assign(cls->clsExtra, 0);
    cls->system = system;
    ATOM atom = cls->atom;
    u.classes.push_back(std::move(cls));
    return atom;
}

WNDCLASSEX Widen(const WNDCLASS& wc) {
    WNDCLASSEX ex;
    ex.style = wc.style;
    ex.lpfnWndProc = wc.lpfnWndProc;
    ex.cbClsExtra = wc.cbClsExtra;
    ex.cbWndExtra = wc.cbWndExtra;
    ex.hInstance = wc.hInstance;
    ex.hIcon = wc.hIcon;
    ex.hCursor = wc.hCursor;
    ex.hbrBackground = wc.hbrBackground;
    ex.lpszMenuName = wc.lpszMenuName;
    ex.lpszClassName = wc.lpszClassName;
    return ex;
}

}  // namespace

WindowClass* FindWindowClass(const char* name) {
    if (!name) return nullptr;
    for (auto& c : User().classes)
        if (strcasecmp(c->name.c_str(), name) == 0) return c.get();
    return nullptr;
}

ATOM RegisterClass(const WNDCLASS* wc) { return wc ? AddClass(Widen(*wc), false) : 0; }

ATOM RegisterClassEx(const WNDCLASSEX* wc) {
    if (!wc || (wc->cbSize != sizeof(WNDCLASSEX) && wc->cbSize != 48)) return 0;
    return AddClass(*wc, false);
}

ATOM RegisterSystemClass(const WNDCLASS& wc) { return AddClass(Widen(wc), true); }

BOOL UnregisterClass(const char* className, HINSTANCE instance) {
    auto& u = User();
    WindowClass* cls = FindWindowClass(className);
    if (!cls || cls->system) return FALSE;
    for (auto& [ptr, w] : u.windows)
        if (w->cls == cls) return FALSE;  // still in use
    for (auto& w : u.graveyard)
        if (w->cls == cls) w->cls = nullptr;
    u.classes.erase(std::find_if(u.classes.begin(), u.classes.end(), [&](auto& c) { return c.get() == cls; }));
    return TRUE;
}

BOOL GetClassInfo(HINSTANCE instance, const char* className, WNDCLASS* out) {
    WindowClass* cls = FindWindowClass(className);
    if (!cls || !out) return FALSE;
    out->style = cls->style;
    out->lpfnWndProc = cls->proc;
    out->cbClsExtra = cls->clsExtra;
    out->cbWndExtra = cls->wndExtra;
    out->hInstance = cls->instance;
    out->hIcon = cls->icon;
    out->hCursor = cls->cursor;
    out->hbrBackground = cls->background;
    out->lpszMenuName = cls->menuName.empty() ? nullptr : cls->menuName.c_str();
    out->lpszClassName = cls->name.c_str();
    return TRUE;
}

std::string GetClassName(HWND hwnd) {
    auto* w = LiveWindow(hwnd);
    return w ? w->cls->name : std::string();
}

ULONG_PTR GetClassLongPtr(HWND hwnd, int index) {
    auto* w = LiveWindow(hwnd);
    if (!w) return 0;
    WindowClass* c = w->cls;
    switch (index) {
    case GCL_HBRBACKGROUND: return reinterpret_cast<ULONG_PTR>(c->background);
    case GCL_HCURSOR: return reinterpret_cast<ULONG_PTR>(c->cursor);
    case GCL_HICON: return reinterpret_cast<ULONG_PTR>(c->icon);
    case GCL_HICONSM: return reinterpret_cast<ULONG_PTR>(c->iconSmall);
    case GCL_HMODULE: return reinterpret_cast<ULONG_PTR>(c->instance);
    case GCL_CBWNDEXTRA: return static_cast<ULONG_PTR>(c->wndExtra);
    case GCL_CBCLSEXTRA: return static_cast<ULONG_PTR>(c->clsExtra);
    case GCL_WNDPROC: return reinterpret_cast<ULONG_PTR>(c->proc);
    case GCL_STYLE: return c->style;
    case GCW_ATOM: return c->atom;
    default:
        break;
    }
    if (index >= 0 && index + static_cast<int>(sizeof(LONG_PTR)) <= c->clsExtra) {
        ULONG_PTR v = 0;
        std::copy_n(c->extraBytes.begin() + index, sizeof(v), reinterpret_cast<BYTE*>(&v));
        return v;
    }
    return 0;
}

ULONG_PTR SetClassLongPtr(HWND hwnd, int index, LONG_PTR value) {
    auto* w = LiveWindow(hwnd);
    if (!w) return 0;
    WindowClass* c = w->cls;
    ULONG_PTR old = GetClassLongPtr(hwnd, index);
    switch (index) {
    case GCL_HBRBACKGROUND: c->background = reinterpret_cast<HBRUSH>(value); break;
    case GCL_HCURSOR: c->cursor = reinterpret_cast<HCURSOR>(value); break;
    case GCL_HICON: c->icon = reinterpret_cast<HICON>(value); break;
    case GCL_HICONSM: c->iconSmall = reinterpret_cast<HICON>(value); break;
    case GCL_WNDPROC: c->proc = reinterpret_cast<WNDPROC>(value); break;
    case GCL_STYLE: c->style = static_cast<UINT>(value); break;
    default:
        if (index >= 0 && index + static_cast<int>(sizeof(LONG_PTR)) <= c->clsExtra)
            std::copy_n(reinterpret_cast<const BYTE*>(&value), sizeof(value), c->extraBytes.begin() + index);
        else
            return 0;
    }
    return old;
}

}  // namespace win
