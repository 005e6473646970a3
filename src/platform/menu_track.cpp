// The menu loop: tracking a window's menu bar and system menu by mouse (press, drag and release,
// or click and click again) and by keyboard (Alt, F10, mnemonics, arrows, Enter, Esc), and the
// popup menus of TrackPopupMenu. One loop runs at a time; it reads the input itself and lets every
// other message through (painting, timers, posted messages).
#include <algorithm>
#include <cctype>

#include "platform/gdi_dc.h"
#include "platform/menu_internal.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/system.h"
#include "platform/user_state.h"

namespace win {

namespace {
constexpr char kPopupClass[] = "#32768";
}  // namespace

struct MenuTracker {
    struct Level {
        HMENU menu = nullptr;
        HWND window = nullptr;  // the popup's window; null for the bar
        int selected = -1;
        bool system = false;    // the popup is the owner's system menu hanging from its icon
    };

    HWND owner = nullptr;     // receives the notifications and the command
    HWND barWindow = nullptr; // the window whose bar (and system menu) is tracked
    HMENU sysMenu = nullptr;  // the system menu offered left of the bar, if any
    bool sysSelected = false; // the system menu's icon is the selected top item
    bool popupMode = false;   // TrackPopupMenu
    UINT tpmFlags = 0;
    bool notify = true;
    std::vector<Level> levels;  // [0]: the bar (bar mode) or the root popup (popup mode)
    bool done = false;
    bool chose = false;
    UINT_PTR chosenId = 0;
    bool chosenSys = false;
    bool buttonDown = false;
    bool cancelOnRelease = false;  // a release over no menu ends the loop
    bool keyboard = false;         // selections made by keys (no MF_MOUSESELECT)
    // TrackPopupMenu called while a button is down: its release where the menu opened (perhaps on
    // an item, for a centred menu) chooses nothing.
    POINT startPt{};
    bool moved = true;

    // --- helpers ---------------------------------------------------------------------------
    bool OwnerAlive() const { return IsWindow(owner) != FALSE; }
    MenuObject* MenuAt(std::size_t level) const { return LiveMenu(levels[level].menu); }
    // An item of a level, or null (the program may change menus while they are open).
    const MenuItem* ItemAt(std::size_t level, int index) const {
        auto* m = level < levels.size() ? MenuAt(level) : nullptr;
        if (!m || index < 0 || static_cast<std::size_t>(index) >= m->items.size()) return nullptr;
        return &m->items[static_cast<std::size_t>(index)];
    }
    std::size_t Deepest() const { return levels.size() - 1; }
    bool BarMode() const { return !popupMode; }
    // Popup levels start at 1 in bar mode and at 0 in popup mode.
    std::size_t FirstPopup() const { return popupMode ? 0 : 1; }

    LRESULT Send(UINT msg, WPARAM wParam, LPARAM lParam) {
        if (!notify || !OwnerAlive()) return 0;
        return SendMessage(owner, msg, wParam, lParam);
    }

    // --- drawing ---------------------------------------------------------------------------
    void RedrawBar() {
        if (!BarMode() || !IsWindow(barWindow)) return;
        auto* w = LiveWindow(barWindow);
        if (!w || (w->style & WS_CHILD) || !LiveMenu(w->menu)) return;
        RECT bar = NonClientPartRect(barWindow, HTMENU);
        if (IsRectEmpty(bar)) return;
        HDC dc = GetWindowDC(barWindow);
        DrawMenuBarItems(w->menu, owner, dc, bar, sysSelected ? -1 : levels[0].selected, levels.size() > 1);
        ReleaseDC(barWindow, dc);
    }

    void RedrawLevel(std::size_t level) {
        if (level == 0 && BarMode()) {
            RedrawBar();
            return;
        }
        HWND wnd = levels[level].window;
        if (!IsWindow(wnd)) return;
        HDC dc = GetDC(wnd);
        DrawPopupMenuItems(levels[level].menu, owner, dc, levels[level].selected);
        ReleaseDC(wnd, dc);
    }

    // --- selection -------------------------------------------------------------------------
    void SetHilite(std::size_t level, int index, bool on) {
        auto* m = MenuAt(level);
        if (!m || index < 0 || static_cast<std::size_t>(index) >= m->items.size()) return;
        auto& f = m->items[static_cast<std::size_t>(index)].flags;
        f = on ? (f | MF_HILITE) : (f & ~MF_HILITE);
    }

    void NotifySelect(HMENU menu, int index, bool system) {
        auto* m = LiveMenu(menu);
        if (!m || index < 0 || static_cast<std::size_t>(index) >= m->items.size()) return;
        const auto& item = m->items[static_cast<std::size_t>(index)];
        UINT flags = (item.flags & ~MF_HELP & 0xFFFF) | MF_HILITE | (keyboard ? 0 : MF_MOUSESELECT) |
                     (system ? MF_SYSMENU : 0);
        WORD lo = item.submenu ? static_cast<WORD>(index) : static_cast<WORD>(item.id);
        Send(WM_MENUSELECT, MAKEWPARAM(lo, static_cast<WORD>(flags)), reinterpret_cast<LPARAM>(menu));
    }

    bool LevelIsSystem(std::size_t level) const {
        if (level == 0) return popupMode && LiveMenu(levels[0].menu) && LiveMenu(levels[0].menu)->systemMenuOf;
        return levels[level].system || LevelIsSystem(level - 1);
    }

    void Select(std::size_t level, int index) {
        if (level >= levels.size()) return;
        auto* m = MenuAt(level);
        if (!m) return;
        if (index >= 0 && (static_cast<std::size_t>(index) >= m->items.size() ||
                           !IsSelectable(m->items[static_cast<std::size_t>(index)])))
            index = -1;
        bool sysWas = level == 0 && sysSelected;
        if (levels[level].selected == index && !sysWas) return;
        if (level == 0) sysSelected = false;
        SetHilite(level, levels[level].selected, false);
        levels[level].selected = index;
        SetHilite(level, index, true);
        RedrawLevel(level);
        if (index >= 0) NotifySelect(levels[level].menu, index, LevelIsSystem(level));
    }

    void SelectSystem() {
        if (!sysMenu) return;
        CloseFrom(1);
        SetHilite(0, levels[0].selected, false);
        levels[0].selected = -1;
        sysSelected = true;
        RedrawBar();
        UINT flags = MF_POPUP | MF_HILITE | MF_SYSMENU | (keyboard ? 0 : MF_MOUSESELECT);
        Send(WM_MENUSELECT, MAKEWPARAM(0, static_cast<WORD>(flags)), reinterpret_cast<LPARAM>(sysMenu));
    }

    // --- popups ----------------------------------------------------------------------------
    void CloseFrom(std::size_t level) {
        while (levels.size() > level && levels.size() > 1) {
            Level l = levels.back();
            levels.pop_back();
            if (l.selected >= 0)
                if (auto* m = LiveMenu(l.menu); m && static_cast<std::size_t>(l.selected) < m->items.size())
                    m->items[static_cast<std::size_t>(l.selected)].flags &= ~MF_HILITE;
            if (IsWindow(l.window)) DestroyWindow(l.window);
        }
        if (BarMode() && levels.size() == 1) RedrawBar();
    }

    // Back one level by the keyboard: the item whose popup closed is the selection again, and the
    // owner hears of it as of any selection.
    void CloseBack(std::size_t level) {
        CloseFrom(level);
        const std::size_t now = Deepest();
        if (levels[now].selected >= 0) NotifySelect(levels[now].menu, levels[now].selected, LevelIsSystem(now));
    }

    // Enables and greys the system menu's items for the window's state.
    void UpdateSystemMenu(HMENU menu) {
        auto* m = LiveMenu(menu);
        if (!m || !m->systemMenuOf) return;
        auto* w = LiveWindow(m->systemMenuOf);
        if (!w) return;
        bool iconic = w->style & WS_MINIMIZE, zoomed = w->style & WS_MAXIMIZE;
        auto set = [&](UINT id, bool on) { EnableMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED)); };
        set(SC_RESTORE, iconic || zoomed);
        set(SC_MOVE, !zoomed);
        set(SC_SIZE, !zoomed && !iconic && (w->style & WS_THICKFRAME));
        set(SC_MINIMIZE, !iconic && (w->style & WS_MINIMIZEBOX));
        set(SC_MAXIMIZE, !zoomed && (w->style & WS_MAXIMIZEBOX));
    }

    // Where a popup goes on the screen: below a bar item, right of a popup item, below the
    // system-menu icon, kept on the screen.
    POINT PlacePopup(std::size_t parentLevel, int parentIndex, bool system, SIZE size) {
        int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
        POINT p{0, 0};
        int altX = 0, altY = -1;
        if (system) {
            auto* w = LiveWindow(barWindow);
            RECT wr = w ? WindowRectOnScreen(w) : RECT{};
            RECT cap = NonClientPartRect(barWindow, HTCAPTION);
            p = POINT{wr.left + cap.left, wr.top + (IsRectEmpty(cap) ? 0 : cap.bottom)};
            altX = p.x;
        } else if (parentLevel == 0 && BarMode()) {
            RECT bar = MenuBarScreenRect(barWindow);
            RECT item = ItemAt(0, parentIndex)->rect;
            OffsetRect(&item, bar.left, bar.top);
            p = POINT{item.left, item.bottom};
            altX = p.x;
            altY = item.top - size.cy;
        } else {
            RECT pr{};
            GetWindowRect(levels[parentLevel].window, &pr);
            RECT item = ItemAt(parentLevel, parentIndex)->rect;
            p = POINT{pr.right - kPopupBorder, pr.top + item.top - kPopupBorder};
            altX = pr.left - size.cx + kPopupBorder;
        }
        if (p.x + size.cx > sw) p.x = (altX + size.cx <= sw && altX != p.x) ? altX : sw - size.cx;
        if (p.y + size.cy > sh) p.y = altY >= 0 ? altY : sh - size.cy;
        p.x = std::max<LONG>(0, p.x);
        p.y = std::max<LONG>(0, p.y);
        return p;
    }

    // A popup's window is made hidden and shown once its level is in place, so that it paints
    // its items at once.
    static HWND MakePopupWindow(POINT at, SIZE size) {
        return CreateWindowEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kPopupClass, "", WS_POPUP | WS_CLIPSIBLINGS, at.x, at.y,
                              size.cx, size.cy, nullptr, nullptr, nullptr, nullptr);
    }
    static void ShowPopupWindow(HWND wnd) {
        SetWindowPos(wnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        UpdateWindow(wnd);
    }

    // Opens the popup of an item of a level (or the system menu when system is set), closing
    // anything deeper. Returns false when nothing opened.
    bool Open(std::size_t parentLevel, int parentIndex, bool system, bool selectFirst) {
        HMENU sub = nullptr;
        if (system) {
            sub = sysMenu;
        } else {
            auto* pm = MenuAt(parentLevel);
            if (!pm || parentIndex < 0 || static_cast<std::size_t>(parentIndex) >= pm->items.size()) return false;
            const auto& item = pm->items[static_cast<std::size_t>(parentIndex)];
            if (IsDisabledItem(item)) return false;
            sub = item.submenu;
        }
        if (!LiveMenu(sub)) return false;
        CloseFrom(parentLevel + 1);
        if (system) UpdateSystemMenu(sub);
        Send(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sub),
             MAKELPARAM(static_cast<WORD>(system ? 0 : parentIndex), static_cast<WORD>(system ? TRUE : FALSE)));
        // The owner may have changed or ended the menus while preparing this one.
        if (done || !LiveMenu(sub) || levels.size() != parentLevel + 1) return false;
        if (!system && (!ItemAt(parentLevel, parentIndex) || ItemAt(parentLevel, parentIndex)->submenu != sub))
            return false;
        auto* m = LiveMenu(sub);
        m->layoutValid = false;
        SIZE size = LayoutPopupMenu(sub, owner);
        POINT at = PlacePopup(parentLevel, parentIndex, system, size);
        HWND wnd = MakePopupWindow(at, size);
        if (!wnd) return false;
        levels.push_back(Level{sub, wnd, -1, system});
        ShowPopupWindow(wnd);
        if (BarMode() && parentLevel == 0) RedrawBar();
        if (selectFirst) SelectNext(Deepest(), +1);
        return true;
    }

    void SelectNext(std::size_t level, int step) {
        auto* m = MenuAt(level);
        if (!m || m->items.empty()) return;
        int n = static_cast<int>(m->items.size());
        int i = levels[level].selected;
        for (int tries = 0; tries < n; ++tries) {
            i = (i < 0) ? (step > 0 ? 0 : n - 1) : (i + step + n) % n;
            if (IsSelectable(m->items[static_cast<std::size_t>(i)])) {
                Select(level, i);
                return;
            }
        }
    }

    // --- choosing --------------------------------------------------------------------------
    void Choose(std::size_t level, int index) {
        auto* m = MenuAt(level);
        if (!m || index < 0 || static_cast<std::size_t>(index) >= m->items.size()) return;
        const auto& item = m->items[static_cast<std::size_t>(index)];
        if (!IsSelectable(item) || IsDisabledItem(item)) return;
        if (item.submenu) {
            Open(level, index, false, keyboard);
            return;
        }
        chose = true;
        chosenId = item.id;
        // Items of the owner's own system menu are system commands.
        chosenSys = false;
        for (std::size_t l = 0; l <= level; ++l)
            if (auto* lm = MenuAt(l); lm && lm->systemMenuOf == owner) chosenSys = true;
        done = true;
    }

    // --- top row (bar items and the system icon) -------------------------------------------
    // Moves the top selection by step (the system icon sits left of the first bar item) and
    // opens its popup when one was open.
    void MoveTop(int step) {
        bool reopen = levels.size() > 1;
        auto* bar = MenuAt(0);
        int n = bar ? static_cast<int>(bar->items.size()) : 0;
        // Positions: -1 the system icon (when there is one), 0..n-1 the bar items.
        int pos = sysSelected ? -1 : levels[0].selected;
        int lowest = sysMenu ? -1 : 0;
        for (int tries = 0; tries < n + 1; ++tries) {
            pos += step;
            if (pos >= n) pos = lowest;
            if (pos < lowest) pos = n - 1;
            if (pos == -1 || (bar && IsSelectable(bar->items[static_cast<std::size_t>(pos)]))) break;
        }
        CloseFrom(1);
        if (pos == -1) {
            if (!sysMenu) return;
            SelectSystem();
            if (reopen) Open(0, 0, true, true);
            return;
        }
        if (pos < 0 || pos >= n) return;
        Select(0, pos);
        if (reopen && HasPopup(0, pos)) Open(0, pos, false, true);
    }

    // --- input -----------------------------------------------------------------------------
    struct Hit {
        int level = -1;   // -1: no menu
        int index = -1;   // item, -1 none (a popup's border)
        bool system = false;  // the system icon
    };

    Hit HitTest(POINT pt) {
        for (std::size_t l = levels.size(); l-- > FirstPopup();) {
            RECT wr{};
            if (!GetWindowRect(levels[l].window, &wr) || !PtInRect(&wr, pt)) continue;
            Hit h;
            h.level = static_cast<int>(l);
            POINT local{pt.x - wr.left, pt.y - wr.top};
            if (auto* m = MenuAt(l))
                for (std::size_t i = 0; i < m->items.size(); ++i)
                    if (PtInRect(&m->items[i].rect, local)) h.index = static_cast<int>(i);
            return h;
        }
        if (BarMode() && IsWindow(barWindow)) {
            RECT bar = MenuBarScreenRect(barWindow);
            if (!IsRectEmpty(bar) && PtInRect(&bar, pt)) {
                Hit h;
                h.level = 0;
                POINT local{pt.x - bar.left, pt.y - bar.top};
                if (auto* m = MenuAt(0))
                    for (std::size_t i = 0; i < m->items.size(); ++i)
                        if (PtInRect(&m->items[i].rect, local)) h.index = static_cast<int>(i);
                return h;
            }
            if (sysMenu)
                if (auto* w = LiveWindow(barWindow); w && HitTestWindow(w, pt) == HTSYSMENU) {
                    Hit h;
                    h.level = 0;
                    h.system = true;
                    return h;
                }
        }
        return Hit{};
    }

    bool IsOpenParent(std::size_t level, int index) const {
        return levels.size() > level + 1 && levels[level].selected == index && !levels[level + 1].system;
    }

    void OnMouseMove(POINT pt) {
        if (pt.x != startPt.x || pt.y != startPt.y) moved = true;
        Hit h = HitTest(pt);
        keyboard = false;
        if (h.level < 0) {
            // Off the menus: the deepest popup shows no selection unless it holds an open popup;
            // a button released out here after a drag cancels.
            if (buttonDown) cancelOnRelease = true;
            std::size_t d = Deepest();
            if (d >= FirstPopup() && levels[d].selected >= 0) Select(d, -1);
            return;
        }
        if (h.system) {
            if (!sysSelected && (levels.size() > 1 || buttonDown)) {
                SelectSystem();
                Open(0, 0, true, false);
            }
            return;
        }
        auto level = static_cast<std::size_t>(h.level);
        if (level == 0 && BarMode()) {
            if (h.index < 0 || (h.index == levels[0].selected && !sysSelected)) return;
            if (levels.size() > 1 || buttonDown) {
                CloseFrom(1);
                Select(0, h.index);
                if (HasPopup(0, h.index)) Open(0, h.index, false, false);
                cancelOnRelease = true;
            }
            return;
        }
        if (h.index < 0) return;
        if (IsOpenParent(level, h.index)) {
            // Back on the item whose popup is open: that popup shows no selection.
            if (levels[level + 1].selected >= 0) Select(level + 1, -1);
            return;
        }
        if (levels[level].selected != h.index || levels.size() > level + 1) {
            CloseFrom(level + 1);
            Select(level, h.index);
            if (HasPopup(level, h.index)) Open(level, h.index, false, false);
        }
        cancelOnRelease = true;
    }

    bool HasPopup(std::size_t level, int index) const {
        const MenuItem* item = ItemAt(level, index);
        return item && item->submenu && !IsDisabledItem(*item);
    }

    void OnButtonDown(POINT pt) {
        Hit h = HitTest(pt);
        keyboard = false;
        buttonDown = true;
        moved = true;
        if (h.level < 0) {
            done = true;  // a click outside the menus cancels them
            return;
        }
        if (h.system) {
            if (sysSelected && levels.size() > 1) {
                done = true;
                return;
            }
            SelectSystem();
            Open(0, 0, true, false);
            cancelOnRelease = false;
            return;
        }
        auto level = static_cast<std::size_t>(h.level);
        if (level == 0 && BarMode()) {
            if (h.index < 0) return;
            if (h.index == levels[0].selected && !sysSelected && levels.size() > 1) {
                done = true;  // a second click on an open popup's title closes it
                return;
            }
            CloseFrom(1);
            Select(0, h.index);
            if (HasPopup(0, h.index)) Open(0, h.index, false, false);
            cancelOnRelease = false;
            return;
        }
        if (h.index < 0) return;
        if (!IsOpenParent(level, h.index)) {
            CloseFrom(level + 1);
            Select(level, h.index);
            if (HasPopup(level, h.index)) Open(level, h.index, false, false);
        }
        cancelOnRelease = true;
    }

    void OnButtonUp(POINT pt) {
        Hit h = HitTest(pt);
        buttonDown = false;
        if (!moved) return;
        if (h.level < 0) {
            if (cancelOnRelease) done = true;
            return;
        }
        if (h.system) return;
        auto level = static_cast<std::size_t>(h.level);
        const MenuItem* item = ItemAt(level, h.index);
        if (!item || item->submenu) return;  // a popup's title: the popup stays open
        if (levels[level].selected != h.index) Select(level, h.index);
        Choose(level, h.index);
    }

    void OnKey(int vk) {
        std::size_t cur = Deepest();
        bool atTop = BarMode() && cur == 0;
        keyboard = true;
        switch (vk) {
        case VK_ESCAPE:
            if (popupMode && cur == 0) {
                done = true;
            } else if (atTop) {
                done = true;
            } else {
                CloseBack(cur);
            }
            break;
        case VK_MENU:
        case VK_F10:
            done = true;
            User().menuKeyAlone = false;
            break;
        case VK_UP:
        case VK_DOWN:
            if (atTop) {
                if (sysSelected)
                    Open(0, 0, true, true);
                else if (HasPopup(0, levels[0].selected))
                    Open(0, levels[0].selected, false, true);
            } else {
                SelectNext(cur, vk == VK_DOWN ? +1 : -1);
            }
            break;
        case VK_RIGHT:
            if (!atTop && HasPopup(cur, levels[cur].selected)) {
                Open(cur, levels[cur].selected, false, true);
            } else if (BarMode()) {
                MoveTop(+1);
            }
            break;
        case VK_LEFT:
            if (cur > FirstPopup()) {
                CloseBack(cur);
            } else if (BarMode()) {
                MoveTop(-1);
            }
            break;
        case VK_RETURN:
            if (atTop) {
                if (sysSelected) {
                    Open(0, 0, true, true);
                } else if (const MenuItem* item = ItemAt(0, levels[0].selected)) {
                    if (IsDisabledItem(*item))
                        done = true;
                    else
                        Choose(0, levels[0].selected);
                }
            } else if (const MenuItem* item = ItemAt(cur, levels[cur].selected)) {
                if (IsDisabledItem(*item))
                    done = true;
                else
                    Choose(cur, levels[cur].selected);
            }
            break;
        default:
            break;
        }
    }

    static bool IsNavigationKey(int vk) {
        return vk == VK_ESCAPE || vk == VK_MENU || vk == VK_F10 || vk == VK_UP || vk == VK_DOWN || vk == VK_LEFT ||
               vk == VK_RIGHT || vk == VK_RETURN;
    }

    // Items of a level whose mnemonic is ch; a maximised MDI child's icon answers '-'.
    std::vector<int> Mnemonics(std::size_t level, int ch) {
        std::vector<int> out;
        auto* m = MenuAt(level);
        if (!m) return out;
        for (std::size_t i = 0; i < m->items.size(); ++i) {
            const auto& item = m->items[i];
            if (!IsSelectable(item)) continue;
            bool match = (!(item.flags & (MF_BITMAP | MF_OWNERDRAW)) && MenuMnemonic(item.text) == ch) ||
                         (ch == '-' && (item.flags & MF_BITMAP) && item.bitmap == HBMMENU_SYSTEM && item.submenu);
            if (match) out.push_back(static_cast<int>(i));
        }
        return out;
    }

    void OnChar(int ch) {
        keyboard = true;
        ch = std::tolower(ch & 0xFF);
        std::size_t cur = Deepest();
        bool atTop = BarMode() && cur == 0;
        if (atTop && ch == ' ' && sysMenu) {
            SelectSystem();
            Open(0, 0, true, true);
            return;
        }
        auto matches = Mnemonics(cur, ch);
        if (matches.size() == 1) {
            Select(cur, matches[0]);
            if (HasPopup(cur, matches[0]))
                Open(cur, matches[0], false, true);
            else
                Choose(cur, matches[0]);
            return;
        }
        if (matches.size() > 1) {
            // Several items share the letter: each press moves to the next of them.
            auto next = std::upper_bound(matches.begin(), matches.end(), levels[cur].selected);
            Select(cur, next == matches.end() ? matches[0] : *next);
            return;
        }
        AskMenuChar(cur, ch);
    }

    void AskMenuChar(std::size_t level, int ch) {
        auto* m = MenuAt(level);
        UINT flags = (m && m->popup ? MF_POPUP : 0) | (LevelIsSystem(level) ? MF_SYSMENU : 0);
        LRESULT r = OwnerAlive() ? SendMessage(owner, WM_MENUCHAR, MAKEWPARAM(static_cast<WORD>(ch), static_cast<WORD>(flags)),
                                               reinterpret_cast<LPARAM>(levels[level].menu))
                                 : 0;
        switch (HIWORD(static_cast<UINT_PTR>(r))) {
        case MNC_CLOSE: done = true; break;
        case MNC_EXECUTE:
            Select(level, LOWORD(static_cast<UINT_PTR>(r)));
            Choose(level, LOWORD(static_cast<UINT_PTR>(r)));
            break;
        case MNC_SELECT: Select(level, LOWORD(static_cast<UINT_PTR>(r))); break;
        default: MessageBeep(0); break;
        }
    }

    bool Filter(MSG& m) {
        if ((m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST) ||
            (m.message >= WM_NCMOUSEMOVE && m.message <= WM_NCMBUTTONDBLCLK)) {
            UINT msg = m.message >= WM_MOUSEFIRST ? m.message : m.message - WM_NCMOUSEMOVE + WM_MOUSEMOVE;
            bool right = msg == WM_RBUTTONDOWN || msg == WM_RBUTTONUP || msg == WM_RBUTTONDBLCLK;
            bool rightAllowed = popupMode && (tpmFlags & TPM_RIGHTBUTTON);
            switch (msg) {
            case WM_MOUSEMOVE: OnMouseMove(m.pt); break;
            case WM_LBUTTONDOWN:
            case WM_LBUTTONDBLCLK:
            case WM_RBUTTONDOWN:
            case WM_RBUTTONDBLCLK:
                if (!right || rightAllowed)
                    OnButtonDown(m.pt);
                else if (HitTest(m.pt).level < 0)
                    done = true;
                break;
            case WM_LBUTTONUP:
            case WM_RBUTTONUP:
                if (!right || rightAllowed) OnButtonUp(m.pt);
                break;
            default: break;
            }
            return true;
        }
        switch (m.message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (IsNavigationKey(static_cast<int>(m.wParam)))
                OnKey(static_cast<int>(m.wParam));
            else
                TranslateMessage(&m);
            return true;
        case WM_KEYUP:
        case WM_SYSKEYUP:
            return true;
        case WM_CHAR:
        case WM_SYSCHAR:
            OnChar(static_cast<int>(m.wParam));
            return true;
        default:
            return false;
        }
    }

    void Run() {
        if (done) return;
        HWND oldCapture = GetCapture();
        SetCapture(owner);
        RunNestedLoop([this] { return done || !OwnerAlive(); }, [this](MSG& m) { return Filter(m); });
        if (GetCapture() == owner && oldCapture != owner) ReleaseCapture();
    }

    void Finish() {
        CloseFrom(1);
        if (popupMode && !levels.empty() && IsWindow(levels[0].window)) DestroyWindow(levels[0].window);
        if (!levels.empty()) {
            SetHilite(0, levels[0].selected, false);
            levels[0].selected = -1;
        }
        sysSelected = false;
        Menus().tracker = nullptr;
        if (BarMode() && IsWindow(barWindow))
            if (auto* w = LiveWindow(barWindow)) PaintNonClient(w);
        Send(WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
        Send(WM_EXITMENULOOP, popupMode ? TRUE : FALSE, 0);
    }
};

namespace {

LRESULT PopupMenuProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (auto* t = Menus().tracker)
            for (auto& l : t->levels)
                if (l.window == hwnd) DrawPopupMenuItems(l.menu, t->owner, dc, l.selected);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_NCHITTEST: return HTCLIENT;
    default: return DefWindowProc(hwnd, msg, wParam, lParam);
    }
}

// Runs a tracker made by the callers below to its end; returns it for its results.
void RunTracker(MenuTracker& t) {
    t.Run();
    t.Finish();
}

bool CanStart(HWND hwnd) { return IsWindow(hwnd) && !Menus().tracker; }

// The system menu of a window that takes part in its tracking (with a caption to hang from).
HMENU SystemMenuFor(HWND hwnd) {
    auto* w = LiveWindow(hwnd);
    if (!w || (w->style & WS_CAPTION) != WS_CAPTION || !(w->style & WS_SYSMENU)) return nullptr;
    return GetSystemMenu(hwnd, FALSE);
}

}  // namespace

void RegisterMenuPopupClass() {
    WNDCLASS wc;
    wc.style = CS_SAVEBITS;
    wc.lpfnWndProc = PopupMenuProc;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kPopupClass;
    RegisterSystemClass(wc);
}

bool TrackedBarSelection(HWND hwnd, int* selected, bool* open) {
    auto* t = Menus().tracker;
    if (!t || !t->BarMode() || t->barWindow != hwnd || t->levels.empty()) return false;
    *selected = t->sysSelected ? -1 : t->levels[0].selected;
    *open = t->levels.size() > 1;
    return true;
}

void RepaintTrackedMenus() {
    auto* t = Menus().tracker;
    if (!t) return;
    for (std::size_t l = 0; l < t->levels.size(); ++l) {
        if (t->levels[l].window) {
            if (auto* m = t->MenuAt(l)) m->layoutValid = false;
            InvalidateRect(t->levels[l].window, nullptr, TRUE);
        }
    }
}

void TrackMenuBarByMouse(HWND hwnd, int hit, POINT screenPt) {
    if (!CanStart(hwnd)) return;
    auto* w = LiveWindow(hwnd);
    MenuTracker t;
    t.owner = hwnd;
    t.barWindow = hwnd;
    t.sysMenu = SystemMenuFor(hwnd);
    HMENU bar = (w->style & WS_CHILD) ? nullptr : w->menu;
    if (!LiveMenu(bar)) bar = nullptr;
    if (hit == HTSYSMENU ? !t.sysMenu : !bar) return;
    t.levels.push_back(MenuTracker::Level{bar, nullptr, -1, false});
    t.buttonDown = true;
    Menus().tracker = &t;
    t.Send(WM_ENTERMENULOOP, FALSE, 0);
    t.Send(WM_INITMENU, reinterpret_cast<WPARAM>(hit == HTSYSMENU ? t.sysMenu : bar), 0);
    if (!t.done && t.OwnerAlive()) {
        if (hit == HTSYSMENU) {
            t.SelectSystem();
            t.Open(0, 0, true, false);
        } else {
            MenuTracker::Hit h = t.HitTest(screenPt);
            if (h.level == 0 && h.index >= 0) {
                t.Select(0, h.index);
                if (t.HasPopup(0, h.index)) t.Open(0, h.index, false, false);
            }
            t.cancelOnRelease = h.index < 0;
        }
    }
    RunTracker(t);
    if (t.chose && t.OwnerAlive())
        PostMessage(t.owner, t.chosenSys ? WM_SYSCOMMAND : WM_COMMAND, t.chosenId, 0);
}

void TrackMenuBarByKey(HWND hwnd, int ch) {
    if (!CanStart(hwnd)) return;
    auto* w = LiveWindow(hwnd);
    MenuTracker t;
    t.owner = hwnd;
    t.barWindow = hwnd;
    t.keyboard = true;
    t.sysMenu = SystemMenuFor(hwnd);
    HMENU bar = (w->style & WS_CHILD) ? nullptr : w->menu;
    if (!LiveMenu(bar)) bar = nullptr;
    // Alt+Space opens the system menu; Alt and Alt+letter need a menu bar (a window without one
    // has nothing to open, and its keys stay its own).
    bool systemFirst = ch == ' ';
    if (systemFirst ? !t.sysMenu : !bar) {
        if (ch && ch != ' ') MessageBeep(0);
        return;
    }
    t.levels.push_back(MenuTracker::Level{bar, nullptr, -1, false});
    Menus().tracker = &t;
    t.Send(WM_ENTERMENULOOP, FALSE, 0);
    t.Send(WM_INITMENU, reinterpret_cast<WPARAM>(systemFirst ? t.sysMenu : bar), 0);
    if (!t.done && t.OwnerAlive()) {
        if (systemFirst) {
            t.SelectSystem();
            if (ch == ' ') t.Open(0, 0, true, true);
        } else if (ch == 0) {
            t.SelectNext(0, +1);
        } else {
            t.OnChar(ch);
            if (!t.done && t.levels[0].selected < 0 && !t.sysSelected) t.done = true;  // no such mnemonic
        }
    }
    RunTracker(t);
    if (t.chose && t.OwnerAlive())
        PostMessage(t.owner, t.chosenSys ? WM_SYSCOMMAND : WM_COMMAND, t.chosenId, 0);
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* ignore) {
    auto* m = LiveMenu(menu);
    if (!m || !CanStart(owner)) return FALSE;
    MenuTracker t;
    t.owner = owner;
    t.popupMode = true;
    t.tpmFlags = flags;
    t.notify = !(flags & TPM_NONOTIFY);
    t.buttonDown = GetKeyState(VK_LBUTTON) < 0 || GetKeyState(VK_RBUTTON) < 0;
    GetCursorPos(&t.startPt);
    t.moved = !t.buttonDown;
    Menus().tracker = &t;
    t.Send(WM_ENTERMENULOOP, TRUE, 0);
    t.Send(WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
    t.Send(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), MAKELPARAM(0, static_cast<WORD>(m->systemMenuOf ? TRUE : FALSE)));
    if (!LiveMenu(menu) || !t.OwnerAlive()) {
        t.Finish();
        return FALSE;
    }
    LiveMenu(menu)->layoutValid = false;
    SIZE size = LayoutPopupMenu(menu, owner);
    if (flags & TPM_CENTERALIGN)
        x -= size.cx / 2;
    else if (flags & TPM_RIGHTALIGN)
        x -= size.cx;
    if (flags & TPM_VCENTERALIGN)
        y -= size.cy / 2;
    else if (flags & TPM_BOTTOMALIGN)
        y -= size.cy;
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    x = std::max(0, std::min(x, sw - static_cast<int>(size.cx)));
    y = std::max(0, std::min(y, sh - static_cast<int>(size.cy)));
    HWND wnd = MenuTracker::MakePopupWindow(POINT{x, y}, size);
    if (!wnd) {
        t.Finish();
        return FALSE;
    }
    t.levels.push_back(MenuTracker::Level{menu, wnd, -1, false});
    MenuTracker::ShowPopupWindow(wnd);
    RunTracker(t);
    if (!t.chose) return FALSE;
    if (flags & TPM_RETURNCMD) return static_cast<BOOL>(t.chosenId);
    if (t.OwnerAlive()) PostMessage(owner, t.chosenSys ? WM_SYSCOMMAND : WM_COMMAND, t.chosenId, 0);
    return TRUE;
}

BOOL GetMenuItemRect(HWND hwnd, HMENU menu, UINT position, RECT* rect) {
    auto* m = LiveMenu(menu);
    if (!m || !rect || position >= m->items.size()) return FALSE;
    auto* w = LiveWindow(hwnd);
    if (w && !(w->style & WS_CHILD) && w->menu == menu) {
        RECT bar = MenuBarScreenRect(hwnd);
        if (IsRectEmpty(bar)) return FALSE;
        *rect = m->items[position].rect;
        OffsetRect(rect, bar.left, bar.top);
        return TRUE;
    }
    if (auto* t = Menus().tracker)
        for (const auto& level : t->levels) {
            RECT wr{};
            if (level.menu != menu || !GetWindowRect(level.window, &wr)) continue;
            *rect = m->items[position].rect;
            OffsetRect(rect, wr.left, wr.top);
            return TRUE;
        }
    return FALSE;
}

bool IsMenuTracking() { return Menus().tracker != nullptr; }

}  // namespace win
