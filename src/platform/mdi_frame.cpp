// The default procedures of an MDI frame and of its children, and the MDI system keys.
#include "platform/mdi_internal.h"
#include "platform/menu.h"
#include "platform/message.h"

namespace win {

LRESULT DefFrameProc(HWND hwnd, HWND client, UINT msg, WPARAM wParam, LPARAM lParam) {
    MdiClientData* d = MdiData(client);
    if (!d) return DefWindowProc(hwnd, msg, wParam, lParam);
    HWND active = IsWindow(d->active) ? d->active : nullptr;
    switch (msg) {
    case WM_COMMAND: {
        UINT id = LOWORD(wParam);
        // An entry of the window menu activates its child; "More Windows..." asks which.
        bool more = VisibleMdiChildren(d, false, false).size() > static_cast<std::size_t>(kMdiWindowMenuEntries);
        if (id >= d->idFirst && id < d->idFirst + d->children.size()) {
            HWND child = (more && id == d->idFirst + kMdiWindowMenuEntries) ? ChooseFromMoreWindows(d)
                                                                             : d->children[id - d->idFirst];
            if (!child || !MdiData(client)) return 0;
            if (IsIconic(child)) ShowWindow(child, SW_RESTORE);
            if (MdiData(client) && IsWindow(child)) ActivateMdiChild(d, child);
            return 0;
        }
        // The maximised child's icon menu and buttons give system commands of the child.
        if (id >= 0xF000 && active) {
            SendMessage(active, WM_SYSCOMMAND, id, lParam);
            return 0;
        }
        // Any other command goes to the active child.
        if (active) return SendMessage(active, WM_COMMAND, wParam, lParam);
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
    case WM_NCACTIVATE:
        if (active) SendMessage(active, WM_NCACTIVATE, wParam, lParam);
        return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_SETFOCUS:
        SetFocus(client);
        return 0;
    case WM_SIZE:
        MoveWindow(client, 0, 0, LOWORD(static_cast<UINT_PTR>(lParam)), HIWORD(static_cast<UINT_PTR>(lParam)), TRUE);
        return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_SETTEXT: {
        // The frame keeps its own title; a maximised child's title is shown after it.
        d->frameTitle = lParam ? reinterpret_cast<const char*>(lParam) : "";
        if (d->titleComposed) {
            SetFrameTitle(d);
            return TRUE;
        }
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_KEYMENU && lParam == '-' && active && !IsZoomed(active)) {
            SendMessage(active, WM_SYSCOMMAND, SC_KEYMENU, ' ');
            return 0;
        }
        if ((wParam & 0xFFF0) == SC_NEXTWINDOW || (wParam & 0xFFF0) == SC_PREVWINDOW) {
            SendMessage(client, WM_MDINEXT, 0, (wParam & 0xFFF0) == SC_PREVWINDOW);
            return 0;
        }
        return DefWindowProc(hwnd, msg, wParam, lParam);
    default:
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
}

LRESULT DefMDIChildProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    MdiClientData* d = MdiDataOfChild(hwnd);
    if (!d) return DefWindowProc(hwnd, msg, wParam, lParam);
    HWND client = d->client;
    switch (msg) {
    case WM_CHILDACTIVATE:
        ActivateMdiChild(d, hwnd);
        return 0;
    case WM_SETFOCUS:
        if (d->active != hwnd) ActivateMdiChild(d, hwnd);
        return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_GETMINMAXINFO: {
        // Maximised, the frame and caption lie outside the client: the client area fills it.
        LRESULT r = DefWindowProc(hwnd, msg, wParam, lParam);
        auto* mmi = reinterpret_cast<MINMAXINFO*>(lParam);
        auto* w = LiveWindow(hwnd);
        if (mmi && w) {
            RECT area{};
            GetClientRect(client, &area);
            AdjustWindowRectEx(&area, w->style, FALSE, w->exStyle);
            mmi->ptMaxPosition = POINT{area.left, area.top};
            mmi->ptMaxSize = POINT{area.right - area.left, area.bottom - area.top};
        }
        return r;
    }
    case WM_SIZE: {
        LRESULT r = DefWindowProc(hwnd, msg, wParam, lParam);
        if (auto* live = MdiDataOfChild(hwnd)) SyncMaximizedChild(live);
        return r;
    }
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_NEXTWINDOW:
            SendMessage(client, WM_MDINEXT, reinterpret_cast<WPARAM>(hwnd), 0);
            return 0;
        case SC_PREVWINDOW:
            SendMessage(client, WM_MDINEXT, reinterpret_cast<WPARAM>(hwnd), 1);
            return 0;
        case SC_KEYMENU:
            // A maximised child's system menu is the icon at the left of the frame's bar.
            if (IsZoomed(hwnd)) {
                SendMessage(d->frame, WM_SYSCOMMAND, SC_KEYMENU, lParam == ' ' ? '-' : lParam);
                return 0;
            }
            return DefWindowProc(hwnd, msg, wParam, lParam);
        default:
            return DefWindowProc(hwnd, msg, wParam, lParam);
        }
    case WM_SYSCHAR:
        if (wParam == '-') {
            SendMessage(hwnd, WM_SYSCOMMAND, SC_KEYMENU, ' ');
            return 0;
        }
        if (wParam == ' ') {
            SendMessage(d->frame, WM_SYSCOMMAND, SC_KEYMENU, ' ');
            return 0;
        }
        return DefWindowProc(hwnd, msg, wParam, lParam);
    case WM_CLOSE:
        SendMessage(client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(hwnd), 0);
        return 0;
    case WM_SETTEXT: {
        LRESULT r = DefWindowProc(hwnd, msg, wParam, lParam);
        if (auto* live = MdiDataOfChild(hwnd)) {
            if (live->maxInBar == hwnd) SetFrameTitle(live);
            RefreshWindowMenu(live);
        }
        return r;
    }
    case WM_WINDOWPOSCHANGED: {
        auto* wp = reinterpret_cast<const WINDOWPOS*>(lParam);
        LRESULT r = DefWindowProc(hwnd, msg, wParam, lParam);
        if (wp && (wp->flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW)))
            if (auto* live = MdiDataOfChild(hwnd)) RefreshWindowMenu(live);
        return r;
    }
    default:
        return DefWindowProc(hwnd, msg, wParam, lParam);
    }
}

BOOL TranslateMDISysAccel(HWND client, const MSG* msg) {
    if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
    MdiClientData* d = MdiData(client);
    if (!d || !IsWindow(d->active) || !IsWindowEnabled(d->active)) return FALSE;
    if (GetKeyState(VK_CONTROL) >= 0 || (msg->lParam & KF_ALTDOWN_BIT)) return FALSE;
    WPARAM command = 0;
    switch (msg->wParam) {
    case VK_F4: command = SC_CLOSE; break;
    case VK_F6:
    case VK_TAB: command = GetKeyState(VK_SHIFT) < 0 ? SC_PREVWINDOW : SC_NEXTWINDOW; break;
    default: return FALSE;
    }
    SendMessage(d->active, WM_SYSCOMMAND, command, MAKELPARAM(static_cast<WORD>(msg->wParam), 0));
    return TRUE;
}

}  // namespace win
