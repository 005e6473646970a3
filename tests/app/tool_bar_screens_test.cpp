#include "screen_test_support.h"

#include "ui/help_bar.h"
#include "app/menus.h"
#include "app/tool_bar_dialog.h"
#include "ui/component_buttons.h"
#include "app/tool_bar_settings.h"
#include "ui/tool_button_table.h"
#include "app/tool_windows.h"
#include "platform/gdi_draw.h"
#include "platform/input.h"
#include "platform/system.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "platform/menu.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/win_styles.h"
#include "platform/window.h"

namespace kq5 {
namespace {

// A frame that does what the program's does with its bars: docked bars take their edge, the help
// bar the bottom line, a plain area the rest.
win::RECT gArea{};

win::LRESULT FrameProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam)
{
    if (msg == win::WM_SIZE) {
        const int width = win::LOWORD(lParam);
        const int height = win::HIWORD(lParam);
        const int status = HelpBarOption() && FrameHelpBar().window ? HelpBarLineHeight() : 0;
        gArea = PlaceDockedBars(hwnd, width, height, status);
        PositionStatusBar(FrameHelpBar(), width, height);
        win::InvalidateRect(hwnd, nullptr, win::TRUE);
        return 0;
    }
    if (msg == win::WM_INITMENUPOPUP) {
        InitMenuPopupItems(reinterpret_cast<win::HMENU>(wParam), MenuSituation{1, false, 17561});
        return 0;
    }
    if (msg == win::WM_PAINT) {
        win::PAINTSTRUCT ps;
        win::HDC dc = win::BeginPaint(hwnd, &ps);
        win::FillRect(dc, &gArea, win::GetSysColorBrush(win::COLOR_APPWORKSPACE));
        win::EndPaint(hwnd, &ps);
        return 0;
    }
    return win::DefWindowProc(hwnd, msg, wParam, lParam);
}

class ToolBarScreens : public testing::ScreenTest {
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        ResetToolButtonRowsForTests();
        ResetDockedBarsForTests();
        ResetHelpBarForTests();
        SetDefaultToolBarSettings();
        win::WNDCLASS wc;
        wc.lpfnWndProc = &FrameProc;
        wc.lpszClassName = "BarsFrame";
        wc.hbrBackground = win::GetSysColorBrush(win::COLOR_APPWORKSPACE);
        ASSERT_NE(win::RegisterClass(&wc), 0);
        ASSERT_TRUE(LoadMenus());
        frame_ = win::CreateWindowEx(0, "BarsFrame", "Kestrion V", win::WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, 0, 0, kWidth,
                                     kHeight, nullptr, Menus().main, nullptr, nullptr);
        ASSERT_NE(frame_, nullptr);
        LoadToolButtonBitmaps();
        ToolSituation() = ToolButtonSituation{};
        ToolSituation().childActive = true;
        ToolSituation().kind = 1;
        ToolSituation().hasItems = true;
        ToolSituation().mode = 17561;
        MenuTextSources().viewOption = [](int id) { return id == 17409 || id == 17400; };
        ShowToolWindow(frame_, 0);
        UpdateToolButtonStates();
    }
    void TearDown() override
    {
        if (frame_) win::DestroyWindow(frame_);
        FreeToolBars();
        DestroyMenus();
        MenuTextSources() = MenuSources{};
        ResetHelpBarForTests();
        ResetDockedBarsForTests();
        ResetToolButtonRowsForTests();
        ScreenTest::TearDown();
    }
    void Relayout()
    {
        win::RECT client;
        win::GetClientRect(frame_, &client);
        win::SendMessage(frame_, win::WM_SIZE, 0, win::MAKELPARAM(static_cast<win::WORD>(client.right), static_cast<win::WORD>(client.bottom)));
        Pump();
    }
    win::RECT BarRect()
    {
        win::RECT r;
        win::GetWindowRect(DockedBars()[0].window, &r);
        win::POINT corner{r.left, r.top};
        win::ScreenToClient(frame_, &corner);
        return win::RECT{corner.x, corner.y, corner.x + r.right - r.left, corner.y + r.bottom - r.top};
    }

    win::HWND frame_ = nullptr;
};

TEST_F(ToolBarScreens, TheMainBarOnEachEdgeAndFloating)
{
    win::RECT client;
    win::GetClientRect(frame_, &client);
    struct Case {
        int pos;
        const char* name;
    };
    for (Case c : {Case{kBarTop, "toolbar_top"}, Case{kBarBottom, "toolbar_bottom"}, Case{kBarLeft, "toolbar_left"},
                   Case{kBarRight, "toolbar_right"}, Case{kBarFloating, "toolbar_floating"}}) {
        DockedBars()[0].pos = c.pos;
        DockedBars()[0].x = 200;
        DockedBars()[0].y = 120;
        Relayout();
        Shoot(c.name);
        win::RECT bar = BarRect();
        switch (c.pos) {
        case kBarTop:
            EXPECT_EQ(bar.top, -1);
            EXPECT_EQ(gArea.top, bar.bottom);
            break;
        case kBarBottom:
            EXPECT_EQ(bar.bottom, client.bottom - 1);
            EXPECT_EQ(gArea.bottom, bar.top);
            break;
        case kBarLeft:
            EXPECT_EQ(bar.left, -1);
            EXPECT_EQ(gArea.left, bar.right);
            break;
        case kBarRight:
            EXPECT_EQ(bar.right, client.right + 1);
            EXPECT_EQ(gArea.right, bar.left);
            break;
        default:
            EXPECT_EQ(bar.left, 200);
            EXPECT_EQ(bar.top, 120);
            EXPECT_EQ(gArea.right - gArea.left, client.right);  // a floating bar takes no room
            break;
        }
        // Every shown button lies inside its bar.
        for (int i = 0; i < kToolListRow; ++i) {
            win::HWND button = win::GetDlgItem(DockedBars()[0].window, static_cast<int>(ToolButtonRows()[static_cast<std::size_t>(i)].command));
            if (!button || !win::IsWindowVisible(button)) continue;
            win::RECT b;
            win::GetClientRect(DockedBars()[0].window, &b);
            win::RECT r;
            win::GetWindowRect(button, &r);
            win::POINT p{r.left, r.top};
            win::ScreenToClient(DockedBars()[0].window, &p);
            EXPECT_LE(p.x + kToolCellWidth, b.right + 1) << c.name << " " << ToolButtonRows()[static_cast<std::size_t>(i)].name;
            EXPECT_LE(p.y + kToolCellHeight, b.bottom + 1) << c.name << " " << ToolButtonRows()[static_cast<std::size_t>(i)].name;
        }
    }
}

// Drags the main bar as the mouse would, from a point inside it to a point of the frame.
void DragBar(win::HWND frame, win::POINT from, win::POINT to)
{
    win::HWND bar = DockedBars()[0].window;
    auto local = [&](win::POINT p) {
        win::ClientToScreen(frame, &p);
        win::ScreenToClient(bar, &p);
        return win::MAKELPARAM(static_cast<win::WORD>(p.x), static_cast<win::WORD>(p.y));
    };
    win::SendMessage(bar, win::WM_LBUTTONDOWN, win::MK_LBUTTON, local(from));
    win::SendMessage(bar, win::WM_MOUSEMOVE, win::MK_LBUTTON, local(win::POINT{(from.x + to.x) / 2, (from.y + to.y) / 2}));
    win::SendMessage(bar, win::WM_MOUSEMOVE, win::MK_LBUTTON, local(to));
    win::SendMessage(bar, win::WM_LBUTTONUP, 0, local(to));
}

TEST_F(ToolBarScreens, DraggingTheBarDocksItByThePointer)
{
    win::RECT client;
    win::GetClientRect(frame_, &client);
    DragBar(frame_, win::POINT{5, 5}, win::POINT{client.right - 10, 300});
    Pump();
    EXPECT_EQ(DockedBars()[0].pos, kBarRight);
    win::RECT bar = BarRect();
    EXPECT_EQ(bar.right, client.right + 1);
    EXPECT_LE(bar.bottom - bar.top, client.bottom);
    EXPECT_LE(bar.right - bar.left, (kToolCellWidth - 1) * 20 + 8);
    EXPECT_EQ(gArea.right, bar.left);
    Shoot("toolbar_dragged_right");

    DragBar(frame_, win::POINT{bar.left + 4, 40}, win::POINT{400, 300});
    Pump();
    EXPECT_EQ(DockedBars()[0].pos, kBarFloating);
    bar = BarRect();
    EXPECT_LT(bar.left, 400);
    EXPECT_GT(bar.right, 400);
    EXPECT_EQ(gArea.right, client.right);

    SetToolBarLocked(true);
    DragBar(frame_, win::POINT{bar.left + 4, bar.top + 20}, win::POINT{5, 300});
    EXPECT_EQ(DockedBars()[0].pos, kBarFloating);
    SetToolBarLocked(false);
    DragBar(frame_, win::POINT{bar.left + 4, bar.top + 20}, win::POINT{5, 300});
    EXPECT_EQ(DockedBars()[0].pos, kBarLeft);
}

TEST_F(ToolBarScreens, TheHelpBarOnAndOff)
{
    FrameHelpBar().parent = frame_;
    ToggleStatusBar(FrameHelpBar());  // creates it and turns the option on
    ASSERT_NE(FrameHelpBar().window, nullptr);
    SetHelpBarMessageId(nullptr, 17504);
    Pump();
    Shoot("helpbar_on");
    EXPECT_TRUE(win::IsWindowVisible(FrameHelpBar().window));
    win::RECT client;
    win::GetClientRect(frame_, &client);
    EXPECT_EQ(gArea.bottom, client.bottom - HelpBarLineHeight());
    // Over a tool button its command's text, over a frame part that part's, elsewhere nothing.
    ShowPointerHelp(win::GetDlgItem(DockedBars()[0].window, 17209), win::HTCLIENT);
    EXPECT_EQ(FrameHelpBar().text, "Rotates the selection by 90 degrees.");
    ShowPointerHelp(frame_, win::HTCAPTION);
    EXPECT_EQ(FrameHelpBar().text, "Caption");
    ShowPointerHelp(frame_, win::HTCLIENT);
    EXPECT_EQ(FrameHelpBar().text, "");
    ToggleStatusBar(FrameHelpBar());
    Pump();
    Shoot("helpbar_off");
    EXPECT_FALSE(win::IsWindowVisible(FrameHelpBar().window));
    EXPECT_EQ(gArea.bottom, client.bottom);
}

TEST_F(ToolBarScreens, EveryMenuOpened)
{
    // The menu bar, popup by popup: Alt+F opens File, each Right moves to the next popup.
    const char* names[] = {"menu100_file", "menu100_edit", "menu100_component", "menu100_windows", "menu100_options",
                           "menu100_mode", "menu100_view", "menu100_analysis", "menu100_help"};
    int shots = 0;
    for (const char* name : names) {
        Script([name, &shots] {
            Shoot(name);
            ++shots;
            win::InputKey(win::VK_RIGHT, true);
            win::InputKey(win::VK_RIGHT, false);
        });
    }
    Script([] {
        win::InputKey(win::VK_ESCAPE, true);
        win::InputKey(win::VK_ESCAPE, false);
        win::InputKey(win::VK_ESCAPE, true);
        win::InputKey(win::VK_ESCAPE, false);
    });
    win::InputKey(win::VK_MENU, true);
    win::InputKey('F', true);
    win::InputKey('F', false);
    win::InputKey(win::VK_MENU, false);
    for (int i = 0; i < 200 && shots < 9; ++i) {
        Pump();
        win::CurrentBackend().WaitForEvents(10);
    }
    EXPECT_EQ(shots, 9);
    Pump();

    // The menus of the other windows, each popup of them.
    for (int id = 101; id <= 111; ++id) {
        win::HMENU menu = LoadedMenu(id);
        ASSERT_NE(menu, nullptr);
        for (int i = 0; i < win::GetMenuItemCount(menu); ++i) {
            const std::string name = "menu" + std::to_string(id) + "_" + std::to_string(i + 1);
            bool shot = false;
            Script([name, &shot] {
                Shoot(name);
                shot = true;
                win::InputKey(win::VK_ESCAPE, true);
                win::InputKey(win::VK_ESCAPE, false);
            });
            win::TrackPopupMenu(win::GetSubMenu(menu, i), win::TPM_LEFTALIGN, 60, 60, 0, frame_, nullptr);
            EXPECT_TRUE(shot) << name;
            Pump();
        }
    }
}

TEST_F(ToolBarScreens, EditCopyToClipboardOpened)
{
    // Alt+E opens Edit; a click on Copy to Clipboard opens its popup.
    bool shot = false;
    Script([this] {
        win::HMENU edit = win::GetSubMenu(Menus().main, 1);
        for (int i = 0; i < win::GetMenuItemCount(edit); ++i) {
            if (win::GetMenuString(edit, static_cast<win::UINT>(i), win::MF_BYPOSITION) != "Copy to Clipboard") continue;
            win::RECT r{};
            ASSERT_TRUE(win::GetMenuItemRect(frame_, edit, static_cast<win::UINT>(i), &r));
            win::InputMouseMove((r.left + r.right) / 2, (r.top + r.bottom) / 2);
            win::InputMouseButton(win::MouseButton::Left, true);
            win::InputMouseButton(win::MouseButton::Left, false);
        }
    });
    Script([&shot] {
        Shoot("menu100_edit_copy_to_clipboard");
        shot = win::IsMenuTracking();
        for (int i = 0; i < 3; ++i) {
            win::InputKey(win::VK_ESCAPE, true);
            win::InputKey(win::VK_ESCAPE, false);
        }
    });
    win::InputKey(win::VK_MENU, true);
    win::InputKey('E', true);
    win::InputKey('E', false);
    win::InputKey(win::VK_MENU, false);
    for (int i = 0; i < 200 && !shot; ++i) {
        Pump();
        win::CurrentBackend().WaitForEvents(10);
    }
    EXPECT_TRUE(shot);
    Pump();
}

// Sends the dialog a command as its control would.
void Command(win::HWND dialog, int id, int code = 0)
{
    win::SendMessage(dialog, win::WM_COMMAND, win::MAKEWPARAM(static_cast<win::WORD>(id), static_cast<win::WORD>(code)),
                     reinterpret_cast<win::LPARAM>(win::GetDlgItem(dialog, id)));
}

void PickGroup(win::HWND dialog, int group)
{
    win::SendDlgItemMessage(dialog, 100, win::LB_SETCURSEL, static_cast<win::WPARAM>(group), 0);
    Command(dialog, 100, win::LBN_SELCHANGE);
}

TEST_F(ToolBarScreens, TheToolBarDialogTakesOrDiscardsTheChoice)
{
    const int rotate = FindToolButton(17209);
    const int ground = FindToolButton(14200);
    int seen = 0;
    // Cancel discards what was changed.
    Script([&] {
        win::HWND dialog = win::GetActiveWindow();
        ASSERT_NE(win::GetDlgItem(dialog, 101), nullptr);
        Shoot("toolbar_dialog");
        PickGroup(dialog, kGroupComponent);
        Pump();
        Shoot("toolbar_dialog_component");
        EXPECT_TRUE(win::IsWindowVisible(win::GetDlgItem(dialog, 106)));
        EXPECT_EQ(win::GetDlgItemText(dialog, 10), "GROUND");
        Command(dialog, 105);  // All Off
        Command(dialog, win::IDCANCEL);
        ++seen;
    });
    EXPECT_EQ(ToolBarDialog(frame_), win::IDCANCEL);
    EXPECT_EQ(ToolButtonRows()[static_cast<std::size_t>(rotate)].onSchematic, 1);

    // OK takes the working copies: the name typed, the buttons switched off.
    Script([&] {
        win::HWND dialog = win::GetActiveWindow();
        PickGroup(dialog, kGroupComponent);
        win::SetDlgItemText(dialog, 10, "RESISTOR");
        Command(dialog, 10, win::EN_KILLFOCUS);
        PickGroup(dialog, kGroupBox);
        Command(dialog, 103);  // nothing happens to an unavailable choice but its check box
        Command(dialog, 105);  // All Off
        Command(dialog, win::IDOK);
        ++seen;
    });
    EXPECT_EQ(ToolBarDialog(frame_), win::IDOK);
    EXPECT_EQ(ToolButtonRows()[static_cast<std::size_t>(rotate)].onSchematic, 0);
    EXPECT_EQ(ToolButtonRows()[static_cast<std::size_t>(ground)].onSchematic, 0);
    EXPECT_EQ(ComponentButtonName(0), "RESISTOR");
    Relayout();
    Shoot("toolbar_all_off");

    // Default brings the sets and the names back.
    Script([&] {
        win::HWND dialog = win::GetActiveWindow();
        Command(dialog, 27);
        Command(dialog, win::IDOK);
        ++seen;
    });
    EXPECT_EQ(ToolBarDialog(frame_), win::IDOK);
    EXPECT_EQ(ToolButtonRows()[static_cast<std::size_t>(rotate)].onSchematic, 1);
    EXPECT_EQ(ComponentButtonName(0), "GROUND");
    EXPECT_EQ(seen, 3);
}

TEST_F(ToolBarScreens, TheDialogCarriesAHelpBarWhenTheOptionIsOn)
{
    SetHelpBarOption(true);
    Script([&] {
        win::HWND dialog = win::GetActiveWindow();
        win::SendMessage(dialog, win::WM_SETCURSOR, reinterpret_cast<win::WPARAM>(win::GetDlgItem(dialog, win::IDCANCEL)),
                         win::MAKELPARAM(win::HTCLIENT, win::WM_MOUSEMOVE));
        Pump();
        Shoot("toolbar_dialog_helpbar");
        win::HWND bar = nullptr;
        for (win::HWND child = win::GetWindow(dialog, win::GW_CHILD); child; child = win::GetWindow(child, win::GW_HWNDNEXT))
            if (win::GetClassName(child) == kHelpBarClass) bar = child;
        ASSERT_NE(bar, nullptr);
        EXPECT_TRUE(win::IsWindowVisible(bar));
        win::RECT barRect, client;
        win::GetWindowRect(bar, &barRect);
        win::GetClientRect(dialog, &client);
        win::POINT corner{barRect.left, barRect.top};
        win::ScreenToClient(dialog, &corner);
        EXPECT_EQ(corner.y + (barRect.bottom - barRect.top), client.bottom + 1);
        Command(dialog, win::IDCANCEL);
    });
    EXPECT_EQ(ToolBarDialog(frame_), win::IDCANCEL);
    SetHelpBarOption(false);
}

TEST_F(ToolBarScreens, AnUnknownComponentNameKeepsTheDialogOpen)
{
    ToolBarHooks().componentExists = [](const std::string& name) { return name != "DIODE"; };
    bool reported = false;
    Script([] { Command(win::GetActiveWindow(), win::IDOK); });
    Script([&] {
        reported = true;
        Shoot("toolbar_dialog_not_found");
        win::InputKey(win::VK_RETURN, true);
        win::InputKey(win::VK_RETURN, false);
    });
    Script([&] {
        win::HWND dialog = win::GetActiveWindow();
        // The dialog stays with the faulty button selected.
        EXPECT_EQ(win::GetDlgItemText(dialog, 10), "DIODE");
        Command(dialog, win::IDCANCEL);
    });
    EXPECT_EQ(ToolBarDialog(frame_), win::IDCANCEL);
    EXPECT_TRUE(reported);
    ToolBarHooks() = ToolBarDialogHooks{};
}

}  // namespace
}  // namespace kq5

#include "ui/prompt_dialog.h"

namespace kq5 {
namespace {

TEST_F(ToolBarScreens, APaletteShowsItsListAndTakesANewName)
{
    DockedBars()[3].entries = {"RESISTOR", "CAPACITOR", "INDUCTOR"};
    ShowToolWindow(frame_, 3);
    ASSERT_NE(DockedBars()[3].window, nullptr);
    EXPECT_EQ(DockedBars()[3].pos, kBarFloating);
    EXPECT_EQ(win::SendMessage(DockedBars()[3].listBox, win::LB_GETCOUNT, 0, 0), 3);
    ClearPromptDialogs();
    PushPromptAnswer(PromptAnswer{1, std::string("Passives"), std::nullopt, {}});
    EXPECT_EQ(RenamePaletteWindow(3), 1);
    EXPECT_EQ(win::GetWindowText(DockedBars()[3].title), "3:Passives");
    Relayout();
    Shoot("palette_floating");
    PushPromptAnswer(PromptAnswer{2, std::nullopt, std::nullopt, {}});
    EXPECT_EQ(RenamePaletteWindow(3), 0);
    EXPECT_EQ(DockedBars()[3].name, "Passives");
    ClearPromptDialogs();
    std::string picked;
    PaletteHooks().pickComponent = [&](const std::string& name) { picked = name; };
    win::SendMessage(DockedBars()[3].listBox, win::LB_SETCURSEL, 1, 0);
    win::SendMessage(DockedBars()[3].window, win::WM_COMMAND, win::MAKEWPARAM(102, win::LBN_SELCHANGE),
                     reinterpret_cast<win::LPARAM>(DockedBars()[3].listBox));
    EXPECT_EQ(picked, "CAPACITOR");
    PaletteHooks() = PaletteHookTable{};
    // A palette without entries is not made.
    ShowToolWindow(frame_, 4);
    EXPECT_EQ(DockedBars()[4].window, nullptr);
}

}  // namespace
}  // namespace kq5
