// The MDI client and the default frame and child procedures: children made, activated in order,
// listed in the window menu, maximised into the frame's menu bar and caption, tiled, cascaded,
// iconised and arranged, cycled and closed by the MDI keys, and closed in every way.
#include "menu_test_app.h"
#include "platform/system.h"

namespace win::testing {
namespace {

using MdiTest = MenuTestApp;

RECT WindowRectIn(HWND hwnd, HWND parent) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    POINT tl{r.left, r.top}, br{r.right, r.bottom};
    ScreenToClient(parent, &tl);
    ScreenToClient(parent, &br);
    return RECT{tl.x, tl.y, br.x, br.y};
}

TEST_F(MdiTest, CreatingChildrenActivatesEachInTurnWithTheClassicMessages)
{
    HWND a = NewDocument("Alpha");
    ASSERT_TRUE(a);
    log_.clear();
    // The child's create parameters are the MDI create request.
    std::string requested;
    docHandler_ = [&](HWND, UINT msg, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
        if (msg == WM_CREATE) {
            auto* cs = reinterpret_cast<const CREATESTRUCT*>(lParam);
            auto* mcs = static_cast<const MDICREATESTRUCT*>(cs->lpCreateParams);
            requested = mcs && mcs->szTitle ? mcs->szTitle : "";
        }
        return std::nullopt;
    };
    HWND b = NewDocument("Beta");
    ASSERT_TRUE(b);
    std::set<UINT> kept = {WM_NCACTIVATE, WM_MDIACTIVATE};
    std::vector<AppMessage> got;
    for (const auto& m : Logged(nullptr, kept)) got.push_back(AppMessage{nullptr, m.msg, m.wParam, m.lParam});
    std::vector<AppMessage> want = {
        Msg(WM_NCACTIVATE, FALSE, 0),
        Msg(WM_MDIACTIVATE, reinterpret_cast<WPARAM>(a), L(b)),
        Msg(WM_NCACTIVATE, TRUE, 0),
        Msg(WM_MDIACTIVATE, reinterpret_cast<WPARAM>(a), L(b)),
    };
    EXPECT_EQ(Describe(got), Describe(want));
    auto order = Logged(nullptr, kept);
    ASSERT_EQ(order.size(), 4u);
    EXPECT_EQ(order[0].hwnd, a);
    EXPECT_EQ(order[3].hwnd, b);
    EXPECT_EQ(ActiveDocument(), b);
    EXPECT_EQ(GetFocus(), b);
    EXPECT_EQ(GetDlgCtrlID(a), static_cast<int>(kFirstChildId));
    EXPECT_EQ(GetDlgCtrlID(b), static_cast<int>(kFirstChildId + 1));
    EXPECT_EQ(requested, "Beta");
    // Children made with default places step down and right from the top left.
    RECT ra = WindowRectIn(a, client_), rb = WindowRectIn(b, client_);
    EXPECT_EQ(ra.left, 0);
    EXPECT_GT(rb.left, ra.left);
    EXPECT_EQ(rb.left - ra.left, rb.top - ra.top);
}

TEST_F(MdiTest, TheWindowMenuListsTheChildrenAndChoosingOneActivatesIt)
{
    HMENU windows = GetSubMenu(GetMenu(frame_), 2);
    ASSERT_EQ(GetMenuItemCount(windows), 2);
    HWND a = NewDocument("Alpha");
    HWND b = NewDocument("Beta");
    HWND c = NewDocument("Gamma");
    ASSERT_EQ(GetMenuItemCount(windows), 6);
    EXPECT_EQ(GetMenuState(windows, 2, MF_BYPOSITION), MF_SEPARATOR);
    EXPECT_EQ(GetMenuString(windows, kFirstChildId, MF_BYCOMMAND), "&1 Alpha");
    EXPECT_EQ(GetMenuString(windows, kFirstChildId + 2, MF_BYCOMMAND), "&3 Gamma");
    EXPECT_EQ(GetMenuState(windows, kFirstChildId + 2, MF_BYCOMMAND), MF_CHECKED);
    EXPECT_EQ(GetMenuState(windows, kFirstChildId, MF_BYCOMMAND), MF_UNCHECKED);

    // The frame's default procedure turns the entry's command into activation.
    SendMessage(frame_, WM_COMMAND, kFirstChildId + 1, 0);
    EXPECT_EQ(ActiveDocument(), b);
    EXPECT_EQ(GetMenuState(windows, kFirstChildId + 1, MF_BYCOMMAND), MF_CHECKED);
    EXPECT_EQ(GetMenuState(windows, kFirstChildId + 2, MF_BYCOMMAND), MF_UNCHECKED);

    // Titles follow, and closing renumbers the rest.
    SetWindowText(c, "Delta");
    EXPECT_EQ(GetMenuString(windows, kFirstChildId + 2, MF_BYCOMMAND), "&3 Delta");
    SendMessage(client_, WM_MDIDESTROY, reinterpret_cast<WPARAM>(a), 0);
    Pump();
    EXPECT_FALSE(IsWindow(a));
    EXPECT_EQ(GetDlgCtrlID(b), static_cast<int>(kFirstChildId));
    EXPECT_EQ(GetMenuItemCount(windows), 5);
    EXPECT_EQ(GetMenuString(windows, kFirstChildId, MF_BYCOMMAND), "&1 Beta");
    EXPECT_EQ(GetMenuString(windows, kFirstChildId + 1, MF_BYCOMMAND), "&2 Delta");
    // A hidden child is not listed.
    ShowWindow(c, SW_HIDE);
    EXPECT_EQ(GetMenuItemCount(windows), 4);
    ShowWindow(c, SW_SHOW);
    EXPECT_EQ(GetMenuItemCount(windows), 5);
    // The last child gone, the separator goes too.
    SendMessage(client_, WM_MDIDESTROY, reinterpret_cast<WPARAM>(b), 0);
    SendMessage(client_, WM_MDIDESTROY, reinterpret_cast<WPARAM>(c), 0);
    EXPECT_EQ(GetMenuItemCount(windows), 2);
    EXPECT_EQ(ActiveDocument(), nullptr);
}

TEST_F(MdiTest, AMaximisedChildFillsTheClientAndLendsTheFrameItsIconButtonsAndTitle)
{
    HWND a = NewDocument("Alpha");
    HWND b = NewDocument("Beta");
    HMENU bar = GetMenu(frame_);
    int items = GetMenuItemCount(bar);
    SendMessage(client_, WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(b), 0);
    Pump();
    BOOL maximized = FALSE;
    EXPECT_EQ(ActiveDocument(&maximized), b);
    EXPECT_TRUE(maximized);
    // The child's client area is the MDI client's.
    RECT area{}, cr{};
    GetClientRect(client_, &area);
    GetClientRect(b, &cr);
    EXPECT_EQ(cr.right, area.right);
    EXPECT_EQ(cr.bottom, area.bottom);
    POINT origin{0, 0};
    ClientToScreen(b, &origin);
    ScreenToClient(client_, &origin);
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(origin.y, 0);
    // Icon first, buttons last.
    ASSERT_EQ(GetMenuItemCount(bar), items + 4);
    EXPECT_EQ(GetMenuState(bar, 0, MF_BYPOSITION) & (MF_POPUP | MF_BITMAP), MF_POPUP | MF_BITMAP);
    EXPECT_EQ(GetSubMenu(bar, 0), GetSystemMenu(b, FALSE));
    EXPECT_EQ(GetMenuItemID(bar, items + 1), SC_MINIMIZE);
    EXPECT_EQ(GetMenuItemID(bar, items + 2), SC_RESTORE);
    EXPECT_EQ(GetMenuItemID(bar, items + 3), SC_CLOSE);
    EXPECT_EQ(GetWindowText(frame_), "Menu App - [Beta]");

    // Another child activated takes the maximised look over.
    SendMessage(client_, WM_MDINEXT, 0, 0);
    Pump();
    EXPECT_EQ(ActiveDocument(&maximized), a);
    EXPECT_TRUE(maximized);
    EXPECT_FALSE(IsZoomed(b));
    EXPECT_EQ(GetSubMenu(bar, 0), GetSystemMenu(a, FALSE));
    EXPECT_EQ(GetMenuItemCount(bar), items + 4);
    EXPECT_EQ(GetWindowText(frame_), "Menu App - [Alpha]");
    // The frame's own title stays its own while it shows the child's.
    SetWindowText(frame_, "Renamed");
    EXPECT_EQ(GetWindowText(frame_), "Renamed - [Alpha]");

    // The restore button in the bar, chosen by the mouse, restores the child.
    RECT restore{};
    ASSERT_TRUE(GetMenuItemRect(frame_, bar, static_cast<UINT>(items + 2), &restore));
    headless::Click(Center(restore).x, Center(restore).y);
    ASSERT_TRUE(Pump());
    EXPECT_FALSE(IsZoomed(a));
    EXPECT_EQ(GetMenuItemCount(bar), items);
    EXPECT_EQ(GetWindowText(frame_), "Renamed");
    EXPECT_TRUE(IsMenu(GetSystemMenu(a, FALSE)));
}

TEST_F(MdiTest, BeyondNineChildrenTheMenuOffersMoreWindows)
{
    HMENU windows = GetSubMenu(GetMenu(frame_), 2);
    std::vector<HWND> docs;
    for (int i = 1; i <= 11; ++i) docs.push_back(NewDocument(("Doc" + std::to_string(i)).c_str()));
    ASSERT_EQ(GetMenuItemCount(windows), 2 + 1 + 9 + 1);
    // A title with an '&' (a file "R&D.cir") is listed as it stands.
    SetWindowText(docs[0], "R&D");
    EXPECT_EQ(GetMenuString(windows, 3, MF_BYPOSITION), "&1 R&&D");
    // The active eleventh takes the ninth place.
    EXPECT_EQ(GetMenuString(windows, 11, MF_BYPOSITION), "&9 Doc11");
    EXPECT_EQ(GetMenuState(windows, 11, MF_BYPOSITION), MF_CHECKED);
    EXPECT_EQ(GetMenuString(windows, 12, MF_BYPOSITION), "&More Windows...");
    EXPECT_EQ(GetMenuItemID(windows, 12), kFirstChildId + 9);
    // The dialog lists them all with the active one selected; Up and Enter choose the tenth.
    Script({Key(VK_UP), Key(VK_RETURN)});
    SendMessage(frame_, WM_COMMAND, kFirstChildId + 9, 0);
    ASSERT_TRUE(Pump());
    EXPECT_EQ(ActiveDocument(), docs[9]);
    EXPECT_EQ(GetMenuString(windows, 11, MF_BYPOSITION), "&9 Doc10");
    // Cancelled, nothing changes.
    Script({Key(VK_ESCAPE)});
    SendMessage(frame_, WM_COMMAND, kFirstChildId + 9, 0);
    ASSERT_TRUE(Pump());
    EXPECT_EQ(ActiveDocument(), docs[9]);
}

TEST_F(MdiTest, TheMaximisedChildsCloseButtonAndIconMenuCloseIt)
{
    HWND a = NewDocument("Alpha");
    HWND b = NewDocument("Beta", WS_MAXIMIZE);
    HMENU bar = GetMenu(frame_);
    ASSERT_TRUE(IsZoomed(b));
    int count = GetMenuItemCount(bar);
    RECT close{};
    ASSERT_TRUE(GetMenuItemRect(frame_, bar, static_cast<UINT>(count - 1), &close));
    headless::Click(Center(close).x, Center(close).y);
    ASSERT_TRUE(Pump());
    EXPECT_FALSE(IsWindow(b));
    // The next child is active and keeps the maximised look.
    EXPECT_EQ(ActiveDocument(), a);
    EXPECT_TRUE(IsZoomed(a));
    EXPECT_EQ(GetMenuItemCount(bar), count);
    // Alt+- opens the maximised child's system menu from the bar; C closes it.
    Script({[] { headless::TypeText("c"); }});
    headless::PressKeyWithModifiers(VK_OEM_MINUS, false, false, true);
    ASSERT_TRUE(Pump());
    EXPECT_FALSE(IsWindow(a));
    EXPECT_EQ(ActiveDocument(), nullptr);
    EXPECT_EQ(GetMenuItemCount(bar), 4);
    EXPECT_EQ(GetWindowText(frame_), "Menu App");
}

TEST_F(MdiTest, TileAndCascadeArrangeTheChildrenInTheClientArea)
{
    HWND a = NewDocument("A");
    HWND b = NewDocument("B");
    HWND c = NewDocument("C");
    RECT area{};
    GetClientRect(client_, &area);

    ASSERT_TRUE(SendMessage(client_, WM_MDITILE, MDITILE_VERTICAL, 0));
    // Side by side, the active child first.
    RECT rc = WindowRectIn(c, client_), rb = WindowRectIn(b, client_), ra = WindowRectIn(a, client_);
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.right, rb.left);
    EXPECT_EQ(rb.right, ra.left);
    EXPECT_EQ(ra.right, area.right);
    EXPECT_EQ(ra.top, 0);
    EXPECT_EQ(ra.bottom, area.bottom);

    ASSERT_TRUE(SendMessage(client_, WM_MDITILE, MDITILE_HORIZONTAL, 0));
    rc = WindowRectIn(c, client_), rb = WindowRectIn(b, client_), ra = WindowRectIn(a, client_);
    EXPECT_EQ(rc.top, 0);
    EXPECT_EQ(rc.bottom, rb.top);
    EXPECT_EQ(rb.bottom, ra.top);
    EXPECT_EQ(ra.bottom, area.bottom);
    EXPECT_EQ(ra.right, area.right);

    // Four make a two by two grid.
    HWND d = NewDocument("D");
    SendMessage(client_, WM_MDITILE, MDITILE_VERTICAL, 0);
    RECT rd = WindowRectIn(d, client_);
    EXPECT_EQ(rd.right - rd.left, area.right / 2);
    EXPECT_EQ(rd.bottom - rd.top, area.bottom / 2);

    // Cascade: each one step further, the active one in front at the last step.
    SendMessage(client_, WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(d), 0);
    ASSERT_TRUE(SendMessage(client_, WM_MDICASCADE, 0, 0));
    EXPECT_FALSE(IsZoomed(d));
    int step = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFRAME);
    std::vector<HWND> backToFront = {a, b, c, d};
    for (std::size_t i = 0; i < backToFront.size(); ++i) {
        RECT r = WindowRectIn(backToFront[i], client_);
        EXPECT_EQ(r.left, static_cast<LONG>(i) * step) << i;
        EXPECT_EQ(r.top, static_cast<LONG>(i) * step) << i;
        EXPECT_EQ(r.right, area.right - 3 * step + static_cast<LONG>(i) * step) << i;
    }
    EXPECT_EQ(GetWindow(client_, GW_CHILD), d);
    EXPECT_EQ(ActiveDocument(), d);
}

TEST_F(MdiTest, IconsLineUpAtTheBottomAndTilingLeavesTheirRowFree)
{
    HWND a = NewDocument("A");
    HWND b = NewDocument("B");
    HWND c = NewDocument("C");
    ShowWindow(a, SW_MINIMIZE);
    ShowWindow(b, SW_MINIMIZE);
    Pump();
    RECT area{};
    GetClientRect(client_, &area);
    // Moved out of place, then arranged again.
    SetWindowPos(a, nullptr, 100, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SendMessage(client_, WM_MDIICONARRANGE, 0, 0);
    RECT ra = WindowRectIn(a, client_), rb = WindowRectIn(b, client_);
    EXPECT_EQ(ra.bottom, area.bottom);
    EXPECT_EQ(rb.bottom, area.bottom);
    EXPECT_EQ(ra.left, 0);
    EXPECT_EQ(rb.left, GetSystemMetrics(SM_CXMINSPACING));
    SendMessage(client_, WM_MDITILE, MDITILE_HORIZONTAL, 0);
    RECT rc = WindowRectIn(c, client_);
    EXPECT_EQ(rc.top, 0);
    EXPECT_EQ(rc.bottom, area.bottom - GetSystemMetrics(SM_CYMINIMIZED));
    EXPECT_TRUE(IsIconic(a));
    // Choosing an icon's entry in the window menu restores it.
    SendMessage(frame_, WM_COMMAND, kFirstChildId, 0);
    EXPECT_FALSE(IsIconic(a));
    EXPECT_EQ(ActiveDocument(), a);
}

TEST_F(MdiTest, CtrlF6CyclesAndCtrlF4ClosesThroughTheMdiKeys)
{
    HWND a = NewDocument("A");
    HWND b = NewDocument("B");
    HWND c = NewDocument("C");
    ASSERT_EQ(ActiveDocument(), c);
    headless::PressKeyWithModifiers(VK_F6, true, false);
    ASSERT_TRUE(Pump());
    EXPECT_EQ(ActiveDocument(), b);
    EXPECT_EQ(GetWindow(client_, GW_CHILD), b);
    headless::PressKeyWithModifiers(VK_F6, true, false);
    ASSERT_TRUE(Pump());
    EXPECT_EQ(ActiveDocument(), a);
    headless::PressKeyWithModifiers(VK_F6, true, false);
    ASSERT_TRUE(Pump());
    EXPECT_EQ(ActiveDocument(), c);  // round again
    headless::PressKeyWithModifiers(VK_F6, true, true);  // Shift: backwards
    ASSERT_TRUE(Pump());
    EXPECT_EQ(ActiveDocument(), a);
    // F6 never reached a child as a key.
    for (const auto& m : log_) EXPECT_FALSE(m.msg == WM_KEYDOWN && m.wParam == static_cast<WPARAM>(VK_F6));
    int closes = 0;
    docHandler_ = [&](HWND hwnd, UINT msg, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_CLOSE) ++closes;
        return std::nullopt;
    };
    headless::PressKeyWithModifiers(VK_F4, true, false);
    ASSERT_TRUE(Pump());
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(IsWindow(a));
    EXPECT_TRUE(ActiveDocument() == b || ActiveDocument() == c);
    // Alt+F4 is not an MDI key: it closes the frame's way, not the child's.
    MSG m{ActiveDocument(), WM_SYSKEYDOWN, VK_F4, KF_ALTDOWN_BIT, 0, {}};
    EXPECT_FALSE(TranslateMDISysAccel(client_, &m));
}

TEST_F(MdiTest, CommandsTheFrameDoesNotTakeGoToTheActiveChild)
{
    HWND a = NewDocument("A");
    log_.clear();
    SendMessage(frame_, WM_COMMAND, 4321, 0);
    EXPECT_EQ(Count(a, WM_COMMAND), 1);
    // The frame's activation shows on the active child's caption too.
    log_.clear();
    SendMessage(frame_, WM_NCACTIVATE, FALSE, 0);
    auto got = Logged(a, {WM_NCACTIVATE});
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].wParam, static_cast<WPARAM>(FALSE));
}

TEST_F(MdiTest, SetMenuSwapsTheFrameBarAndTheWindowList)
{
    HWND a = NewDocument("A", WS_MAXIMIZE);
    HMENU oldBar = GetMenu(frame_);
    HMENU oldWindows = GetSubMenu(oldBar, 3);  // after the child's icon
    HMENU doc = LoadMenu(nullptr, kDocumentMenu);
    HMENU docWindows = GetSubMenu(doc, 1);
    HMENU previous = reinterpret_cast<HMENU>(
        SendMessage(client_, WM_MDISETMENU, reinterpret_cast<WPARAM>(doc), reinterpret_cast<LPARAM>(docWindows)));
    DrawMenuBar(frame_);
    EXPECT_EQ(previous, oldBar);
    EXPECT_EQ(GetMenu(frame_), doc);
    // The maximised child's items moved over; the old bar is as it was.
    EXPECT_EQ(GetSubMenu(doc, 0), GetSystemMenu(a, FALSE));
    EXPECT_EQ(GetMenuItemCount(doc), 2 + 4);
    EXPECT_EQ(GetMenuItemCount(oldBar), 4);
    EXPECT_EQ(GetMenuItemCount(oldWindows), 2);
    EXPECT_EQ(GetMenuString(docWindows, kFirstChildId, MF_BYCOMMAND), "&1 A");
    // A list changed behind the client's back is made again on request.
    DeleteMenu(docWindows, static_cast<UINT>(GetMenuItemCount(docWindows) - 1), MF_BYPOSITION);
    EXPECT_EQ(SendMessage(client_, WM_MDIREFRESHMENU, 0, 0), reinterpret_cast<LRESULT>(doc));
    EXPECT_EQ(GetMenuString(docWindows, kFirstChildId, MF_BYCOMMAND), "&1 A");
    SendMessage(client_, WM_MDIRESTORE, reinterpret_cast<WPARAM>(a), 0);
    EXPECT_FALSE(IsZoomed(a));
    EXPECT_EQ(GetMenuItemCount(doc), 2);
    DestroyMenu(oldBar);
}

TEST_F(MdiTest, DestroyingTheActiveChildDirectlyActivatesTheNextOne)
{
    HWND a = NewDocument("A");
    HWND b = NewDocument("B");
    DestroyWindow(b);
    Pump();
    EXPECT_EQ(ActiveDocument(), a);
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(GetMenu(frame_), 2)), 4);
    // The whole frame closing takes everything down without complaint.
    DestroyWindow(frame_);
    EXPECT_FALSE(IsWindow(a));
    EXPECT_FALSE(IsWindow(client_));
}

}  // namespace
}  // namespace win::testing
