// Windows: creation and destruction order, tree and z-order, geometry, show states, placements,
// activation and focus, text, window longs and subclassing, hit-testing.
#include "platform/cursor.h"
#include "platform/system.h"
#include "window_test_support.h"

namespace win::testing {
namespace {

using WindowTest = PlatformTest;

TEST_F(WindowTest, CreationSendsItsMessagesInOrder) {
    HWND top = TopLevel(10, 10, 300, 200, WS_OVERLAPPEDWINDOW);
    ASSERT_TRUE(IsWindow(top));
    std::set<UINT> keep{WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE};
    EXPECT_EQ(MessagesOf(top, keep),
              (std::vector<UINT>{WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE}));
    EXPECT_EQ(GetWindowText(top), "Top");

    MessageLog().clear();
    HWND child = Child(top, 7, 5, 5, 50, 20);
    auto order = MessagesOf(nullptr, {WM_CREATE, WM_PARENTNOTIFY});
    EXPECT_EQ(order, (std::vector<UINT>{WM_CREATE, WM_PARENTNOTIFY}));
    auto note = Last(top, WM_PARENTNOTIFY);
    ASSERT_TRUE(note);
    EXPECT_EQ(LOWORD(note->wParam), WM_CREATE);
    EXPECT_EQ(HIWORD(note->wParam), 7);
    EXPECT_EQ(reinterpret_cast<HWND>(note->lParam), child);
    EXPECT_EQ(GetDlgCtrlID(child), 7);
    EXPECT_EQ(GetDlgItem(top, 7), child);
}

TEST_F(WindowTest, CreateFailsWhenWmCreateRefuses) {
    Handler() = [](HWND, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_CREATE) return -1;
        return std::nullopt;
    };
    HWND w = TopLevel(0, 0, 100, 100);
    EXPECT_EQ(w, nullptr);
    auto all = MessagesOf(nullptr, {WM_CREATE, WM_DESTROY, WM_NCDESTROY});
    EXPECT_EQ(all, (std::vector<UINT>{WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_EQ(CreateWindowEx(0, "NoSuchClass", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
}

TEST_F(WindowTest, DestroyGoesParentFirstAndOwnedWindowsBefore) {
    HWND top = TopLevel(0, 0, 300, 300);
    HWND a = Child(top, 1, 0, 0, 10, 10);
    HWND b = Child(top, 2, 20, 0, 10, 10);
    HWND popup = CreateWindowEx(0, "TestWnd", "Popup", WS_POPUP | WS_VISIBLE, 50, 50, 40, 40, top, nullptr, nullptr,
                                nullptr);
    ASSERT_EQ(GetWindow(popup, GW_OWNER), top);
    MessageLog().clear();
    EXPECT_TRUE(DestroyWindow(top));
    std::vector<std::pair<HWND, UINT>> seen;
    for (const auto& l : MessageLog())
        if (l.msg == WM_DESTROY || l.msg == WM_NCDESTROY) seen.emplace_back(l.hwnd, l.msg);
    std::vector<std::pair<HWND, UINT>> expected{
        {popup, WM_DESTROY}, {popup, WM_NCDESTROY}, {top, WM_DESTROY}, {a, WM_DESTROY}, {a, WM_NCDESTROY},
        {b, WM_DESTROY},     {b, WM_NCDESTROY},     {top, WM_NCDESTROY}};
    EXPECT_EQ(seen, expected);
    EXPECT_FALSE(IsWindow(top));
    EXPECT_FALSE(IsWindow(a));
    EXPECT_FALSE(IsWindow(popup));
    EXPECT_FALSE(DestroyWindow(top));
    EXPECT_EQ(SendMessage(a, WM_USER, 0, 0), 0);
}

TEST_F(WindowTest, ZOrderFollowsCreationAndExplicitMoves) {
    HWND parent = TopLevel(0, 0, 400, 400);
    HWND c1 = Child(parent, 1, 0, 0, 10, 10);
    HWND c2 = Child(parent, 2, 0, 0, 10, 10);
    HWND c3 = Child(parent, 3, 0, 0, 10, 10);
    // Children line up in creation order, the first one on top (dialog tab order).
    EXPECT_EQ(GetWindow(parent, GW_CHILD), c1);
    EXPECT_EQ(GetWindow(c1, GW_HWNDNEXT), c2);
    EXPECT_EQ(GetWindow(c3, GW_HWNDPREV), c2);
    EXPECT_EQ(GetWindow(c1, GW_HWNDLAST), c3);
    EXPECT_EQ(GetWindow(c3, GW_HWNDNEXT), nullptr);
    SetWindowPos(c3, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(GetTopWindow(parent), c3);
    SetWindowPos(c3, c1, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(GetWindow(c1, GW_HWNDNEXT), c3);
    SetWindowPos(c1, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(GetWindow(c3, GW_HWNDLAST), c1);

    // New top-level windows come in front; owned windows stay in front of their owner.
    HWND other = TopLevel(10, 10, 100, 100);
    HWND owned = CreateWindowEx(0, "TestWnd", "", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, parent, nullptr, nullptr, nullptr);
    EXPECT_EQ(GetTopWindow(nullptr), owned);
    BringWindowToTop(other);
    EXPECT_EQ(GetTopWindow(nullptr), other);
    BringWindowToTop(parent);
    EXPECT_EQ(GetTopWindow(nullptr), owned);
    EXPECT_EQ(GetWindow(owned, GW_HWNDNEXT), parent);
}

TEST_F(WindowTest, FrameLayoutAndCoordinateConversion) {
    HWND top = TopLevel(100, 50, 300, 200, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    RECT wr, cr;
    GetWindowRect(top, &wr);
    GetClientRect(top, &cr);
    EXPECT_EQ(wr.left, 100);
    EXPECT_EQ(wr.right - wr.left, 300);
    int frame = GetSystemMetrics(SM_CXFRAME), caption = GetSystemMetrics(SM_CYCAPTION);
    EXPECT_EQ(cr.right, 300 - 2 * frame);
    EXPECT_EQ(cr.bottom, 200 - 2 * frame - caption);
    RECT adjusted = cr;
    AdjustWindowRect(&adjusted, WS_OVERLAPPEDWINDOW, FALSE);
    EXPECT_EQ(adjusted.right - adjusted.left, 300);
    EXPECT_EQ(adjusted.bottom - adjusted.top, 200);

    HWND child = Child(top, 1, 10, 20, 100, 50, WS_CHILD | WS_VISIBLE | WS_BORDER);
    POINT p{0, 0};
    ClientToScreen(child, &p);
    EXPECT_EQ(p.x, 100 + frame + 10 + 1);
    EXPECT_EQ(p.y, 50 + frame + caption + 20 + 1);
    ScreenToClient(child, &p);
    EXPECT_EQ(p.x, 0);
    POINT pts[1] = {{5, 5}};
    MapWindowPoints(child, top, pts, 1);
    EXPECT_EQ(pts[0].x, 16);
    EXPECT_EQ(pts[0].y, 26);
    EXPECT_EQ(WindowFromPoint(POINT{100 + frame + 12, 50 + frame + caption + 22}), child);
    EXPECT_EQ(ChildWindowFromPoint(top, POINT{12, 22}), child);
    EXPECT_EQ(ChildWindowFromPoint(top, POINT{200, 120}), top);
}

TEST_F(WindowTest, HitTestCodesOfTheFrame) {
    HWND top = TopLevel(100, 100, 300, 200, WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_VISIBLE);
    auto hit = [&](int x, int y) {
        return static_cast<int>(SendMessage(top, WM_NCHITTEST, 0, MAKELPARAM(100 + x, 100 + y)));
    };
    EXPECT_EQ(hit(1, 100), HTLEFT);
    EXPECT_EQ(hit(298, 100), HTRIGHT);
    EXPECT_EQ(hit(150, 1), HTTOP);
    EXPECT_EQ(hit(150, 198), HTBOTTOM);
    EXPECT_EQ(hit(1, 1), HTTOPLEFT);
    EXPECT_EQ(hit(298, 198), HTBOTTOMRIGHT);
    EXPECT_EQ(hit(150, 12), HTCAPTION);
    EXPECT_EQ(hit(290, 12), HTCLOSE);
    EXPECT_EQ(hit(10, 12), HTSYSMENU);
    EXPECT_EQ(hit(150, 100), HTCLIENT);
    EXPECT_EQ(hit(288, 100), HTVSCROLL);
    EXPECT_EQ(hit(400, 100), HTNOWHERE);
}

TEST_F(WindowTest, MaximiseMinimiseAndRestore) {
    RECT work = GetWorkArea();
    HWND top = TopLevel(50, 60, 300, 200);
    MessageLog().clear();
    ShowWindow(top, SW_SHOWMAXIMIZED);
    EXPECT_TRUE(IsZoomed(top));
    auto size = Last(top, WM_SIZE);
    ASSERT_TRUE(size);
    EXPECT_EQ(size->wParam, SIZE_MAXIMIZED);
    RECT wr;
    GetWindowRect(top, &wr);
    int frame = GetSystemMetrics(SM_CXFRAME);
    EXPECT_EQ(wr.left, work.left - frame);
    EXPECT_EQ(wr.right, work.right + frame);
    EXPECT_EQ(LOWORD(size->lParam), work.right - work.left);

    ShowWindow(top, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(top));
    EXPECT_FALSE(IsZoomed(top));
    size = Last(top, WM_SIZE);
    EXPECT_EQ(size->wParam, SIZE_MINIMIZED);
    EXPECT_EQ(size->lParam, 0);
    WINDOWPLACEMENT wp;
    GetWindowPlacement(top, &wp);
    EXPECT_EQ(wp.showCmd, static_cast<UINT>(SW_SHOWMINIMIZED));
    EXPECT_EQ(wp.flags & WPF_RESTORETOMAXIMIZED, WPF_RESTORETOMAXIMIZED);
    EXPECT_EQ(wp.rcNormalPosition.left, 50 - work.left);

    // Restoring an icon that was maximised maximises it again; restoring then gives the old size.
    ShowWindow(top, SW_RESTORE);
    EXPECT_TRUE(IsZoomed(top));
    ShowWindow(top, SW_RESTORE);
    EXPECT_FALSE(IsZoomed(top));
    GetWindowRect(top, &wr);
    EXPECT_EQ(wr.left, 50);
    EXPECT_EQ(wr.bottom - wr.top, 200);
    EXPECT_EQ(Last(top, WM_SIZE)->wParam, SIZE_RESTORED);
    EXPECT_TRUE(OpenIcon(top) == FALSE);
}

TEST_F(WindowTest, PlacementRoundTripAndChildMaximise) {
    HWND top = TopLevel(0, 0, 500, 400);
    WINDOWPLACEMENT wp;
    wp.showCmd = SW_SHOWNORMAL;
    wp.rcNormalPosition = RECT{20, 30, 220, 180};
    SetWindowPlacement(top, &wp);
    WINDOWPLACEMENT back;
    GetWindowPlacement(top, &back);
    EXPECT_EQ(back.rcNormalPosition.left, 20);
    EXPECT_EQ(back.rcNormalPosition.bottom, 180);
    EXPECT_EQ(back.showCmd, static_cast<UINT>(SW_SHOWNORMAL));

    HWND child = Child(top, 1, 10, 10, 100, 80, WS_CHILD | WS_VISIBLE | WS_CAPTION | WS_THICKFRAME);
    ShowWindow(child, SW_SHOWMAXIMIZED);
    RECT parentClient, childClient;
    GetClientRect(top, &parentClient);
    GetClientRect(child, &childClient);
    EXPECT_EQ(childClient.right, parentClient.right);
    EXPECT_EQ(childClient.bottom, parentClient.bottom - GetSystemMetrics(SM_CYCAPTION));
    ShowWindow(child, SW_SHOWMINIMIZED);
    RECT icon;
    GetWindowRect(child, &icon);
    EXPECT_EQ(icon.bottom - icon.top, GetSystemMetrics(SM_CYMINIMIZED));
    POINT o{0, 0};
    ClientToScreen(top, &o);
    EXPECT_EQ(icon.bottom, o.y + parentClient.bottom);
}

TEST_F(WindowTest, WindowPosChangingCanEditTheMove) {
    HWND top = TopLevel(0, 0, 400, 400);
    HWND a = Child(top, 1, 0, 0, 50, 50);
    HWND b = Child(top, 2, 0, 0, 50, 50);
    HWND c = Child(top, 3, 0, 0, 50, 50);
    // b always goes right behind a, and never wider than 60.
    Handler() = [&](HWND h, UINT msg, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
        if (h == b && msg == WM_WINDOWPOSCHANGING) {
            auto* wp = reinterpret_cast<WINDOWPOS*>(lParam);
            wp->hwndInsertAfter = a;
            wp->flags &= ~SWP_NOZORDER;
            wp->cx = std::min(wp->cx, 60);
            return 0;
        }
        return std::nullopt;
    };
    SetWindowPos(b, HWND_BOTTOM, 5, 5, 100, 100, 0);
    RECT r;
    GetClientRect(b, &r);
    EXPECT_EQ(r.right, 60);
    EXPECT_EQ(r.bottom, 100);
    EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), b);
    EXPECT_EQ(GetWindow(b, GW_HWNDNEXT), c);
    auto changed = Last(b, WM_WINDOWPOSCHANGED);
    ASSERT_TRUE(changed);
    EXPECT_EQ(Last(b, WM_MOVE)->lParam, MAKELPARAM(5, 5));
}

TEST_F(WindowTest, ActivationAndFocusMessages) {
    HWND first = TopLevel(0, 0, 200, 200);
    HWND edit = Child(first, 1, 0, 0, 50, 20);
    HWND second = TopLevel(300, 0, 200, 200);
    EXPECT_EQ(GetActiveWindow(), second);
    EXPECT_EQ(GetFocus(), second);
    MessageLog().clear();
    SetFocus(edit);
    EXPECT_EQ(GetActiveWindow(), first);
    EXPECT_EQ(GetFocus(), edit);
    std::vector<std::pair<HWND, UINT>> seen;
    for (const auto& l : MessageLog())
        if (l.msg == WM_NCACTIVATE || l.msg == WM_ACTIVATE || l.msg == WM_KILLFOCUS || l.msg == WM_SETFOCUS)
            seen.emplace_back(l.hwnd, l.msg);
    std::vector<std::pair<HWND, UINT>> expected{{second, WM_NCACTIVATE}, {second, WM_ACTIVATE},
                                                {first, WM_NCACTIVATE},  {first, WM_ACTIVATE},
                                                {second, WM_KILLFOCUS},  {first, WM_SETFOCUS},
                                                {first, WM_KILLFOCUS},   {edit, WM_SETFOCUS}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(LOWORD(Last(second, WM_ACTIVATE)->wParam), WA_INACTIVE);
    EXPECT_EQ(GetTopWindow(nullptr), first);

    // Disabling the focus window takes the focus away; destroying the active window activates
    // the next one.
    EnableWindow(edit, FALSE);
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_FALSE(IsWindowEnabled(edit));
    EXPECT_EQ(Last(edit, WM_ENABLE)->wParam, static_cast<WPARAM>(FALSE));
    DestroyWindow(first);
    EXPECT_EQ(GetActiveWindow(), second);
    EXPECT_EQ(GetFocus(), second);
}

TEST_F(WindowTest, HidingTheActiveWindowActivatesItsOwner) {
    HWND owner = TopLevel(0, 0, 300, 300);
    HWND popup = CreateWindowEx(0, "TestWnd", "", WS_POPUP | WS_VISIBLE, 10, 10, 50, 50, owner, nullptr, nullptr, nullptr);
    EXPECT_EQ(GetActiveWindow(), popup);
    EXPECT_EQ(GetLastActivePopup(owner), popup);
    ShowWindow(popup, SW_HIDE);
    EXPECT_EQ(GetActiveWindow(), owner);
    EXPECT_FALSE(IsWindowVisible(popup));
    EXPECT_EQ(GetLastActivePopup(owner), owner);
}

TEST_F(WindowTest, OwnedPopupsHideWhileTheOwnerIsAnIcon) {
    HWND owner = TopLevel(0, 0, 300, 300);
    HWND bar = CreateWindowEx(0, "TestWnd", "", WS_POPUP | WS_VISIBLE, 10, 10, 50, 50, owner, nullptr, nullptr, nullptr);
    HWND hidden = CreateWindowEx(0, "TestWnd", "", WS_POPUP, 10, 10, 50, 50, owner, nullptr, nullptr, nullptr);
    ShowWindow(owner, SW_MINIMIZE);
    EXPECT_FALSE(IsWindowVisible(bar));
    EXPECT_EQ(Last(bar, WM_SHOWWINDOW)->lParam, SW_PARENTCLOSING);
    ShowWindow(owner, SW_RESTORE);
    EXPECT_TRUE(IsWindowVisible(bar));
    EXPECT_FALSE(IsWindowVisible(hidden));  // a popup that was hidden before stays hidden
    EXPECT_EQ(Last(bar, WM_SHOWWINDOW)->lParam, SW_PARENTOPENING);
}

LRESULT SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
WNDPROC gOldProc = nullptr;
LRESULT SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_USER + 5) return 42;
    return CallWindowProc(gOldProc, hwnd, msg, wParam, lParam);
}

TEST_F(WindowTest, TextLongsAndSubclassing) {
    HWND top = TopLevel(0, 0, 100, 100);
    EXPECT_TRUE(SetWindowText(top, "Kestrion V Version 2.1.2"));
    EXPECT_EQ(GetWindowText(top), "Kestrion V Version 2.1.2");
    EXPECT_EQ(GetWindowTextLength(top), 24);
    char small[5];
    EXPECT_EQ(SendMessage(top, WM_GETTEXT, sizeof small, reinterpret_cast<LPARAM>(small)), 4);
    EXPECT_STREQ(small, "Kest");

    SetWindowLongPtr(top, GWLP_USERDATA, 0x1234);
    EXPECT_EQ(GetWindowLongPtr(top, GWLP_USERDATA), 0x1234);
    SetWindowLongPtr(top, 8, -7);
    EXPECT_EQ(GetWindowLongPtr(top, 8), -7);
    EXPECT_EQ(GetWindowLongPtr(top, 16), 0);  // past the 16 extra bytes
    EXPECT_EQ(GetWindowLong(top, GWL_STYLE) & static_cast<LONG>(WS_CAPTION), static_cast<LONG>(WS_CAPTION));

    gOldProc = reinterpret_cast<WNDPROC>(SetWindowLongPtr(top, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)));
    EXPECT_EQ(gOldProc, LoggingProc);
    EXPECT_EQ(SendMessage(top, WM_USER + 5, 0, 0), 42);
    MessageLog().clear();
    SendMessage(top, WM_USER + 6, 0, 0);
    EXPECT_EQ(MessagesOf(top), std::vector<UINT>{WM_USER + 6});
    EXPECT_EQ(GetClassName(top), "TestWnd");
}

BOOL CollectIds(HWND hwnd, LPARAM lParam) {
    reinterpret_cast<std::vector<int>*>(lParam)->push_back(GetDlgCtrlID(hwnd));
    return TRUE;
}

TEST_F(WindowTest, FindAndEnumerate) {
    HWND top = TopLevel(0, 0, 100, 100);
    SetWindowText(top, "Main");
    HWND a = Child(top, 1, 0, 0, 10, 10);
    Child(a, 11, 0, 0, 5, 5);
    Child(top, 2, 0, 0, 10, 10);
    EXPECT_EQ(FindWindow("testwnd", nullptr), top);
    EXPECT_EQ(FindWindow(nullptr, "Main"), top);
    EXPECT_EQ(FindWindow("kq52", nullptr), nullptr);
    std::vector<int> ids;
    EnumChildWindows(top, CollectIds, reinterpret_cast<LPARAM>(&ids));
    EXPECT_EQ(ids, (std::vector<int>{1, 11, 2}));
    EXPECT_TRUE(IsChild(top, GetDlgItem(a, 11)));
    EXPECT_FALSE(IsChild(a, top));
    EXPECT_EQ(GetParent(a), top);
}

TEST_F(WindowTest, ClassesRefuseDuplicatesAndKeepCursors) {
    WNDCLASS wc;
    wc.lpfnWndProc = LoggingProc;
    wc.lpszClassName = "testwnd";
    EXPECT_EQ(RegisterClass(&wc), 0);
    HCURSOR beam = LoadCursor(nullptr, IDC_IBEAM);
    ASSERT_NE(beam, nullptr);
    EXPECT_EQ(beam, LoadCursor(nullptr, IDC_IBEAM));
    wc.lpszClassName = "Editor";
    wc.hCursor = beam;
    wc.style = CS_DBLCLKS;
    wc.cbWndExtra = 4;
    ASSERT_NE(RegisterClass(&wc), 0);
    HWND w = TopLevel(0, 0, 50, 50, WS_OVERLAPPEDWINDOW, "Editor");
    EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtr(w, GCL_HCURSOR)), beam);
    EXPECT_EQ(GetClassLongPtr(w, GCL_STYLE), static_cast<ULONG_PTR>(CS_DBLCLKS));
    EXPECT_FALSE(UnregisterClass("Editor", nullptr));  // still in use
    DestroyWindow(w);
    EXPECT_TRUE(UnregisterClass("Editor", nullptr));
}

}  // namespace
}  // namespace win::testing
