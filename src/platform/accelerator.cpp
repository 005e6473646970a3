// Accelerator tables and their translation into commands.
#include "platform/accelerator.h"

#include <algorithm>
#include <map>
#include <memory>
#include <unordered_map>

#include "platform/menu_internal.h"
#include "platform/menu_resource.h"
#include "platform/message.h"
#include "platform/module_state.h"
#include "platform/user_state.h"

struct win::AcceleratorObject {
    std::vector<ACCEL> entries;
};

namespace win {

namespace {

struct AcceleratorState {
    std::unordered_map<AcceleratorObject*, std::unique_ptr<AcceleratorObject>> tables;
    std::map<UINT, HACCEL> loaded;  // resource tables by id
};

AcceleratorState& Accelerators() { return ModuleState<AcceleratorState>(); }

AcceleratorObject* LiveTable(HACCEL table) {
    auto& tables = Accelerators().tables;
    auto it = tables.find(table);
    return it == tables.end() ? nullptr : it->second.get();
}

bool KeyDown(int vk) { return GetKeyState(vk) < 0; }

bool Matches(const ACCEL& a, const MSG& m) {
    bool alt = (m.lParam & KF_ALTDOWN_BIT) != 0;
    switch (m.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        return (a.fVirt & FVIRTKEY) && a.key == m.wParam && ((a.fVirt & FSHIFT) != 0) == KeyDown(VK_SHIFT) &&
               ((a.fVirt & FCONTROL) != 0) == KeyDown(VK_CONTROL) && ((a.fVirt & FALT) != 0) == alt;
    case WM_CHAR:
    case WM_SYSCHAR:
        // A character entry matches the character typed; only Alt is part of it.
        return !(a.fVirt & FVIRTKEY) && a.key == (m.wParam & 0xFF) && ((a.fVirt & FALT) != 0) == alt;
    default:
        return false;
    }
}

// Sends the command of a matched entry as the classic translation does.
void SendAccelerator(HWND hwnd, UINT cmd) {
    auto* w = LiveWindow(hwnd);
    if (!w) return;
    bool announce = IsWindowEnabled(hwnd) && !GetCapture();
    bool iconic = IsIconic(hwnd) != FALSE;
    WPARAM wParam = MAKEWPARAM(static_cast<WORD>(cmd), 1);

    HMENU sys = GetSystemMenu(hwnd, FALSE);
    HMENU holder = nullptr;
    int index = 0;
    if (sys && FindMenuItem(sys, cmd, MF_BYCOMMAND, &holder, &index)) {
        if (announce) {
            SendMessage(hwnd, WM_INITMENU, reinterpret_cast<WPARAM>(sys), 0);
            SendMessage(hwnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sys), MAKELPARAM(0, TRUE));
        }
        UINT state = GetMenuState(sys, cmd, MF_BYCOMMAND);
        if (state != static_cast<UINT>(-1) && (state & (MF_GRAYED | MF_DISABLED))) return;
        if (IsWindow(hwnd)) SendMessage(hwnd, WM_SYSCOMMAND, wParam, 0);
        return;
    }

    HMENU menu = (w->style & WS_CHILD) ? nullptr : w->menu;
    if (LiveMenu(menu)) {
        if (announce && !iconic) SendMessage(hwnd, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
        std::vector<std::pair<HMENU, int>> path;
        if (IsWindow(hwnd) && LiveMenu(menu) && FindCommandPath(menu, cmd, &path)) {
            if (iconic) return;
            // Each popup on the way to the item is prepared as if it opened.
            if (announce)
                for (std::size_t i = 0; i + 1 < path.size(); ++i) {
                    HMENU popup = GetSubMenu(path[i].first, path[i].second);
                    if (popup && IsWindow(hwnd))
                        SendMessage(hwnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup),
                                    MAKELPARAM(static_cast<WORD>(path[i].second), FALSE));
                }
            UINT state = GetMenuState(menu, cmd, MF_BYCOMMAND);
            if (state != static_cast<UINT>(-1) && (state & (MF_GRAYED | MF_DISABLED))) return;
        }
    }
    if (IsWindow(hwnd)) SendMessage(hwnd, WM_COMMAND, wParam, 0);
}

}  // namespace

void ResetAccelerators() { ResetModuleState<AcceleratorState>(); }

HACCEL CreateAcceleratorTable(const ACCEL* entries, int count) {
    if (!entries || count <= 0) return nullptr;
    auto obj = std::make_unique<AcceleratorObject>();
    obj->entries.assign(entries, entries + count);
    HACCEL h = obj.get();
    Accelerators().tables.emplace(h, std::move(obj));
    return h;
}

BOOL DestroyAcceleratorTable(HACCEL table) {
    auto& s = Accelerators();
    if (!s.tables.erase(table)) return FALSE;
    for (auto it = s.loaded.begin(); it != s.loaded.end();) it = it->second == table ? s.loaded.erase(it) : std::next(it);
    return TRUE;
}

int CopyAcceleratorTable(HACCEL table, ACCEL* out, int count) {
    auto* t = LiveTable(table);
    if (!t) return 0;
    int n = static_cast<int>(t->entries.size());
    if (!out) return n;
    int copied = std::min(n, std::max(0, count));
    std::copy_n(t->entries.begin(), copied, out);
    return copied;
}

HACCEL LoadAccelerators(HINSTANCE instance, UINT_PTR id) {
    auto& s = Accelerators();
    auto key = static_cast<UINT>(id);
    if (auto it = s.loaded.find(key); it != s.loaded.end() && LiveTable(it->second)) return it->second;
    const CompiledAccelTable* res = FindAcceleratorResource(key);
    if (!res || res->count == 0) return nullptr;
    HACCEL h = CreateAcceleratorTable(res->entries, static_cast<int>(res->count));
    s.loaded[key] = h;
    return h;
}

int TranslateAccelerator(HWND hwnd, HACCEL table, const MSG* msg) {
    auto* t = LiveTable(table);
    if (!t || !msg || !IsWindow(hwnd)) return 0;
    for (const ACCEL& a : t->entries) {
        if (!Matches(a, *msg)) continue;
        // The key was taken here, so its release must not open the menu bar (F10, Alt+key).
        User().menuKeyAlone = false;
        SendAccelerator(hwnd, a.cmd);
        return 1;
    }
    return 0;
}

}  // namespace win
