// The default window procedure: frame layout and drawing, hit-testing and cursors, activation,
// text, system commands, and moving and sizing windows with the mouse.
#include <algorithm>
#include <cstring>

#include "platform/cursor.h"
#include "platform/gdi_draw.h"
#include "platform/message.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/text.h"
#include "platform/user_state.h"

namespace win {

namespace {

HCURSOR CursorForHit(int hit) {
    switch (hit) {
    case HTLEFT:
    case HTRIGHT: return LoadCursor(nullptr, IDC_SIZEWE);
    case HTTOP:
    case HTBOTTOM: return LoadCursor(nullptr, IDC_SIZENS);
    case HTTOPLEFT:
    case HTBOTTOMRIGHT: return LoadCursor(nullptr, IDC_SIZENWSE);
    case HTTOPRIGHT:
    case HTBOTTOMLEFT: return LoadCursor(nullptr, IDC_SIZENESW);
    default: return LoadCursor(nullptr, IDC_ARROW);
    }
}

LRESULT SetCursorDefault(WindowObject* w, WPARAM wParam, LPARAM lParam) {
    if ((w->style & WS_CHILD) && w->parent) {
        if (SendMessage(w->parent, WM_SETCURSOR, wParam, lParam)) return TRUE;
        if (!LiveWindow(w)) return TRUE;
    }
    int hit = static_cast<SHORT>(LOWORD(static_cast<UINT_PTR>(lParam)));
    if (hit == HTCLIENT) {
        if (w->cls && w->cls->cursor) {
            SetCursor(w->cls->cursor);
            return TRUE;
        }
        return FALSE;
    }
    if (hit == HTERROR) {
        UINT mouseMsg = HIWORD(static_cast<UINT_PTR>(lParam));
        if (mouseMsg == WM_LBUTTONDOWN || mouseMsg == WM_RBUTTONDOWN || mouseMsg == WM_MBUTTONDOWN) {
            // A click on a window disabled by a modal popup brings that popup forward.
            if (auto* top = TopLevelOf(w))
                if (HWND popup = GetWindow(top, GW_ENABLEDPOPUP)) SetActiveWindow(popup);
        }
        return TRUE;
    }
    SetCursor(CursorForHit(hit));
    return TRUE;
}

// Moves or sizes the window with the mouse until the button comes up (Esc puts it back). The
// pointer positions are those of the messages, which may lag behind the pointer itself.
void TrackMoveSize(WindowObject* w, int hit, POINT start) {
    HWND h = w;
    RECT startRect = w->rect;
    MINMAXINFO mmi;
    mmi.ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
    mmi.ptMaxTrackSize = POINT{GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
    if (w->style & WS_CHILD) mmi.ptMinTrackSize = POINT{0, 0};
    SendMessage(h, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    SetCapture(h);
    SendMessage(h, WM_ENTERSIZEMOVE, 0, 0);
    bool done = false;
    auto apply = [&](POINT pt) {
        auto* live = LiveWindow(h);
        if (!live) return;
        int dx = pt.x - start.x, dy = pt.y - start.y;
        RECT r = startRect;
        if (hit == HTCAPTION) {
            OffsetRect(&r, dx, dy);
        } else {
            if (hit == HTLEFT || hit == HTTOPLEFT || hit == HTBOTTOMLEFT) r.left += dx;
            if (hit == HTRIGHT || hit == HTTOPRIGHT || hit == HTBOTTOMRIGHT) r.right += dx;
            if (hit == HTTOP || hit == HTTOPLEFT || hit == HTTOPRIGHT) r.top += dy;
            if (hit == HTBOTTOM || hit == HTBOTTOMLEFT || hit == HTBOTTOMRIGHT) r.bottom += dy;
            auto clampSide = [](LONG& moving, LONG fixed, LONG minSize, LONG maxSize, bool movingIsLow) {
                LONG size = movingIsLow ? fixed - moving : moving - fixed;
                size = std::clamp(size, minSize, maxSize);
                moving = movingIsLow ? fixed - size : fixed + size;
            };
            bool leftMoves = hit == HTLEFT || hit == HTTOPLEFT || hit == HTBOTTOMLEFT;
            bool topMoves = hit == HTTOP || hit == HTTOPLEFT || hit == HTTOPRIGHT;
            if (leftMoves)
                clampSide(r.left, r.right, mmi.ptMinTrackSize.x, mmi.ptMaxTrackSize.x, true);
            else
                clampSide(r.right, r.left, mmi.ptMinTrackSize.x, mmi.ptMaxTrackSize.x, false);
            if (topMoves)
                clampSide(r.top, r.bottom, mmi.ptMinTrackSize.y, mmi.ptMaxTrackSize.y, true);
            else
                clampSide(r.bottom, r.top, mmi.ptMinTrackSize.y, mmi.ptMaxTrackSize.y, false);
        }
        SetWindowPos(h, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    RunNestedLoop([&] { return done || !LiveWindow(h) || GetCapture() != h; },
                  [&](MSG& m) {
                      if (m.message == WM_MOUSEMOVE) {
                          apply(m.pt);
                          return true;
                      }
                      if (m.message == WM_LBUTTONUP) {
                          apply(m.pt);
                          done = true;
                          return true;
                      }
                      if (m.message == WM_KEYDOWN && m.wParam == VK_ESCAPE) {
                          apply(start);
                          done = true;
                          return true;
                      }
                      return (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST) ||
                             (m.message >= WM_KEYFIRST && m.message <= WM_KEYLAST);
                  });
    if (GetCapture() == h) ReleaseCapture();
    if (LiveWindow(h)) SendMessage(h, WM_EXITSIZEMOVE, 0, 0);
}

// A press on a caption button acts when the button comes up over the same button.
void TrackCaptionButton(WindowObject* w, int hit) {
    HWND h = w;
    SetCapture(h);
    bool done = false;
    bool inside = false;
    RunNestedLoop([&] { return done || !LiveWindow(h) || GetCapture() != h; },
                  [&](MSG& m) {
                      if (m.message == WM_LBUTTONUP) {
                          if (auto* live = LiveWindow(h)) inside = HitTestWindow(live, m.pt) == hit;
                          done = true;
                          return true;
                      }
                      return (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST);
                  });
    if (GetCapture() == h) ReleaseCapture();
    auto* live = LiveWindow(h);
    if (!inside || !live) return;
    WPARAM cmd = hit == HTCLOSE ? SC_CLOSE
                 : hit == HTMINBUTTON ? SC_MINIMIZE
                 : (live->style & WS_MAXIMIZE) ? SC_RESTORE
                                               : SC_MAXIMIZE;
    if (hit == HTMINBUTTON && (live->style & WS_MINIMIZE)) cmd = SC_RESTORE;
    SendMessage(h, WM_SYSCOMMAND, cmd, 0);
}

// The screen point of a system command given by the mouse; the pointer when by keyboard.
POINT PointOf(LPARAM lParam) {
    if (lParam) return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    POINT pt;
    GetCursorPos(&pt);
    return pt;
}

LRESULT SysCommand(WindowObject* w, WPARAM wParam, LPARAM lParam) {
    HWND h = w;
    switch (wParam & 0xFFF0) {
    case SC_CLOSE:
        if (!(w->cls && (w->cls->style & CS_NOCLOSE))) SendMessage(h, WM_CLOSE, 0, 0);
        break;
    case SC_MINIMIZE: ShowWindow(h, SW_MINIMIZE); break;
    case SC_MAXIMIZE: ShowWindow(h, SW_SHOWMAXIMIZED); break;
    case SC_RESTORE: ShowWindow(h, SW_RESTORE); break;
    case SC_MOVE:
        if (!(w->style & WS_MAXIMIZE)) TrackMoveSize(w, HTCAPTION, PointOf(lParam));
        break;
    case SC_SIZE: {
        int code = static_cast<int>(wParam & 0x0F);
        if (code >= 1 && code <= 8 && !(w->style & (WS_MAXIMIZE | WS_MINIMIZE)))
            TrackMoveSize(w, HTLEFT + code - 1, PointOf(lParam));
        break;
    }
    default:
        break;  // menus and window switching belong to other modules
    }
    return 0;
}

LRESULT NonClientButtonDown(WindowObject* w, WPARAM hit, LPARAM lParam) {
    HWND h = w;
    switch (static_cast<int>(hit)) {
    case HTCAPTION:
        SendMessage(h, WM_SYSCOMMAND, SC_MOVE + HTCAPTION, lParam);
        break;
    case HTLEFT:
    case HTRIGHT:
    case HTTOP:
    case HTTOPLEFT:
    case HTTOPRIGHT:
    case HTBOTTOM:
    case HTBOTTOMLEFT:
    case HTBOTTOMRIGHT:
        SendMessage(h, WM_SYSCOMMAND, SC_SIZE + (hit - HTLEFT + 1), lParam);
        break;
    case HTCLOSE:
    case HTMINBUTTON:
    case HTMAXBUTTON:
        TrackCaptionButton(w, static_cast<int>(hit));
        break;
    case HTMENU:
        SendMessage(TopLevelOf(w) ? static_cast<HWND>(TopLevelOf(w)) : h, WM_SYSCOMMAND, SC_MOUSEMENU + HTMENU, lParam);
        break;
    case HTSYSMENU:
        SendMessage(h, WM_SYSCOMMAND, SC_MOUSEMENU + HTSYSMENU, lParam);
        break;
    default:
        break;
    }
    return 0;
}

LRESULT CtlColorDefault(UINT msg, WPARAM wParam) {
    HDC dc = reinterpret_cast<HDC>(wParam);
    bool windowColoured = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX;
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(windowColoured ? COLOR_WINDOW : COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(windowColoured ? COLOR_WINDOW : COLOR_BTNFACE));
}

}  // namespace

LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* w = LiveWindow(hwnd);
    if (!w) return 0;
    for (auto& filter : User().hooks.defProcFilters) {
        LRESULT result = 0;
        if (filter(hwnd, msg, wParam, lParam, result)) return result;
        if (!LiveWindow(hwnd)) return 0;
    }
    auto& u = User();
    switch (msg) {
    case WM_NCCREATE: {
        auto* cs = reinterpret_cast<const CREATESTRUCT*>(lParam);
        if (cs && cs->lpszName && !IS_INTRESOURCE(reinterpret_cast<UINT_PTR>(cs->lpszName))) w->text = cs->lpszName;
        return TRUE;
    }
    case WM_NCCALCSIZE:
        if (wParam) {
            auto* p = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
            p->rgrc[0] = ComputeClientRect(w, p->rgrc[0]);
        } else if (auto* r = reinterpret_cast<RECT*>(lParam)) {
            *r = ComputeClientRect(w, *r);
        }
        return 0;
    case WM_NCHITTEST:
        return HitTestWindow(w, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    case WM_NCPAINT:
        PaintNonClient(w);
        return 0;
    case WM_NCACTIVATE:
        w->ncActive = wParam != 0;
        if ((w->style & WS_CAPTION) == WS_CAPTION || (w->style & WS_MINIMIZE)) PaintNonClient(w);
        return TRUE;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam)) SetFocus(hwnd);
        return 0;
    case WM_MOUSEACTIVATE:
        if ((w->style & WS_CHILD) && w->parent) {
            LRESULT r = SendMessage(w->parent, WM_MOUSEACTIVATE, wParam, lParam);
            if (r) return r;
        }
        return MA_ACTIVATE;
    case WM_SETCURSOR:
        return SetCursorDefault(w, wParam, lParam);
    case WM_ERASEBKGND: {
        HBRUSH brush = w->cls ? w->cls->background : nullptr;
        if (!brush) return 0;
        RECT r = ClientRectLocal(w);
        FillRect(reinterpret_cast<HDC>(wParam), &r, brush);
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(w->text.size());
    case WM_GETTEXT: {
        auto* buffer = reinterpret_cast<char*>(lParam);
        if (!buffer || wParam == 0) return 0;
        std::size_t n = std::min<std::size_t>(wParam - 1, w->text.size());
        std::memcpy(buffer, w->text.data(), n);
        buffer[n] = '\0';
        return static_cast<LRESULT>(n);
    }
    case WM_SETTEXT:
        w->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
        if ((w->style & WS_CAPTION) == WS_CAPTION || (w->style & WS_MINIMIZE)) PaintNonClient(w);
        return TRUE;
    case WM_SYSCOMMAND:
        return SysCommand(w, wParam, lParam);
    case WM_NCLBUTTONDOWN:
        return NonClientButtonDown(w, wParam, lParam);
    case WM_NCLBUTTONDBLCLK:
        if (wParam == HTCAPTION && (w->style & WS_MAXIMIZEBOX))
            SendMessage(hwnd, WM_SYSCOMMAND, (w->style & (WS_MAXIMIZE | WS_MINIMIZE)) ? SC_RESTORE : SC_MAXIMIZE, lParam);
        else if (wParam == HTSYSMENU)
            SendMessage(hwnd, WM_SYSCOMMAND, SC_CLOSE, lParam);
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == VK_F4 && (lParam & KF_ALTDOWN_BIT)) {
            if (auto* top = TopLevelOf(w)) SendMessage(top, WM_SYSCOMMAND, SC_CLOSE, 0);
            return 0;
        }
        return 0;
    case WM_SYSKEYUP:
    case WM_KEYUP:
        if ((wParam == VK_MENU || wParam == VK_F10) && u.menuKeyAlone) {
            u.menuKeyAlone = false;
            if (auto* top = TopLevelOf(w)) SendMessage(top, WM_SYSCOMMAND, SC_KEYMENU, 0);
        }
        return 0;
    case WM_SYSCHAR:
        u.menuKeyAlone = false;
        if (wParam == VK_ESCAPE) return 0;
        if (lParam & KF_ALTDOWN_BIT) {
            HWND target = (wParam == ' ') ? hwnd : static_cast<HWND>(TopLevelOf(w));
            if (target) SendMessage(target, WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(wParam));
        }
        return 0;
    case WM_WINDOWPOSCHANGED: {
        auto* wp = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (!wp) return 0;
        if (!(wp->flags & SWP_NOMOVE))
            SendMessage(hwnd, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(w->client.left), static_cast<WORD>(w->client.top)));
        if (LiveWindow(hwnd) && (!(wp->flags & SWP_NOSIZE) || (wp->flags & kSwpStateChanged)))
            SendMessage(hwnd, WM_SIZE, SizeTypeOf(w),
                        MAKELPARAM(static_cast<WORD>(w->client.right - w->client.left),
                                   static_cast<WORD>(w->client.bottom - w->client.top)));
        return 0;
    }
    case WM_SETREDRAW:
        w->redrawOff = wParam == 0;
        return 0;
    case WM_CANCELMODE:
        if (GetCapture() == hwnd) ReleaseCapture();
        return 0;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return CtlColorDefault(msg, wParam);
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_MOUSEWHEEL:
    case WM_CONTEXTMENU:
    case WM_HELP:
        if ((w->style & WS_CHILD) && w->parent) return SendMessage(w->parent, msg, wParam, lParam);
        return 0;
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
        return -1;
    default:
        return 0;
    }
}

}  // namespace win
