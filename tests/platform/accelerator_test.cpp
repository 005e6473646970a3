// Accelerator tables: virtual-key and character entries with their shift states, the messages a
// translated key sends (menu announcements first, greyed and iconic rules, system commands), and
// tables from the resources.
#include "menu_test_app.h"

namespace win::testing {
namespace {

using AcceleratorTest = MenuTestApp;

TEST_F(AcceleratorTest, ACharacterEntryAnnouncesItsMenuAndSendsTheCommandMarkedAsAccelerator)
{
    HMENU bar = GetMenu(frame_);
    HMENU file = GetSubMenu(bar, 0);
    HWND doc = NewDocument("Doc");
    ASSERT_EQ(GetFocus(), doc);
    log_.clear();
    headless::PressKeyWithModifiers('N', true, false);  // Ctrl+N types 0x0E
    ASSERT_TRUE(Pump());
    std::vector<AppMessage> want = {
        Msg(WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0),
        Msg(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), MAKELPARAM(0, FALSE)),
        Msg(WM_COMMAND, MAKEWPARAM(9101, 1), 0),
    };
    EXPECT_EQ(Describe(Logged(frame_)), Describe(want));
    // The character was translated: it never reached the focus window; the frame's default
    // processing handed the command on to the active document.
    EXPECT_EQ(Count(doc, WM_CHAR), 0);
    EXPECT_EQ(Count(doc, WM_KEYDOWN), 2);
    EXPECT_EQ(Count(doc, WM_COMMAND), 1);
}

TEST_F(AcceleratorTest, AGreyedItemStopsItsCommandUnlessTheInitMenuPopupHandlerEnablesIt)
{
    HMENU edit = GetSubMenu(GetMenu(frame_), 1);
    HWND doc = NewDocument("Doc");
    log_.clear();
    headless::PressKeyWithModifiers('Z', true, false);
    ASSERT_TRUE(Pump());
    EXPECT_EQ(LoggedIds(frame_), (std::vector<UINT>{WM_INITMENU, WM_INITMENUPOPUP}));
    EXPECT_EQ(Count(doc, WM_KEYDOWN), 1);  // only Ctrl: the Z was taken by the table

    log_.clear();
    frameHandler_ = [&](HWND, UINT msg, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_INITMENUPOPUP && reinterpret_cast<HMENU>(wParam) == edit)
            EnableMenuItem(edit, 9201, MF_BYCOMMAND | MF_ENABLED);
        return std::nullopt;
    };
    headless::PressKeyWithModifiers('Z', true, false);
    ASSERT_TRUE(Pump());
    EXPECT_EQ(Describe(Logged(frame_).back()), Describe(Msg(WM_COMMAND, MAKEWPARAM(9201, 1), 0)));
}

TEST_F(AcceleratorTest, ShiftCtrlAndAltMustMatchExactly)
{
    auto commands = [&] {
        std::vector<UINT> ids;
        for (const auto& m : Logged(frame_, {WM_COMMAND})) ids.push_back(LOWORD(m.wParam));
        log_.clear();
        return ids;
    };
    headless::PressKey(VK_F5);
    Pump();
    EXPECT_EQ(commands(), (std::vector<UINT>{9302}));
    headless::PressKeyWithModifiers(VK_F5, false, true);
    Pump();
    EXPECT_EQ(commands(), (std::vector<UINT>{9301}));
    headless::PressKeyWithModifiers(VK_F5, true, false);  // no entry for Ctrl+F5
    Pump();
    EXPECT_EQ(commands(), (std::vector<UINT>{}));
    headless::PressKeyWithModifiers(VK_DELETE, true, true);
    Pump();
    EXPECT_EQ(commands(), (std::vector<UINT>{9402}));
    headless::PressKeyWithModifiers('Z', false, false, true);  // Alt+Z: a virtual key with Alt
    Pump();
    EXPECT_EQ(commands(), (std::vector<UINT>{9202}));
    headless::PressKeyWithModifiers(VK_OEM_PERIOD, false, false, true);  // Alt+"." by character
    Pump();
    EXPECT_EQ(commands(), (std::vector<UINT>{9203}));
    headless::TypeText("q");  // a plain character entry
    Pump();
    EXPECT_EQ(commands(), (std::vector<UINT>{9403}));
    headless::PressKeyWithModifiers('Q', false, false, true);  // Alt+Q is not the entry "q"
    Pump();
    EXPECT_EQ(commands(), (std::vector<UINT>{}));
    headless::PressKey(VK_ADD);
    Pump();
    EXPECT_EQ(commands(), (std::vector<UINT>{9404}));
}

TEST_F(AcceleratorTest, AnAcceleratorOnF10DoesNotOpenTheMenuBar)
{
    headless::PressKey(VK_F10);
    ASSERT_TRUE(Pump());
    EXPECT_EQ(Describe(Logged(frame_).back()), Describe(Msg(WM_COMMAND, MAKEWPARAM(9401, 1), 0)));
    EXPECT_EQ(Count(frame_, WM_ENTERMENULOOP), 0);
    EXPECT_FALSE(IsMenuTracking());
}

TEST_F(AcceleratorTest, AnIconicWindowGetsOnlyCommandsThatAreNoMenuItems)
{
    ShowWindow(frame_, SW_SHOWMINIMIZED);
    Pump();
    log_.clear();
    headless::PressKeyWithModifiers('N', true, false);  // New is an item of the File menu
    headless::PressKey(VK_ADD);                         // 9404 is in no menu
    ASSERT_TRUE(Pump());
    EXPECT_EQ(Describe(Logged(frame_)), Describe(std::vector<AppMessage>{Msg(WM_COMMAND, MAKEWPARAM(9404, 1), 0)}));
}

TEST_F(AcceleratorTest, ACommandOfTheSystemMenuIsASystemCommand)
{
    ACCEL entries[] = {{FVIRTKEY | FCONTROL, 'Q', static_cast<WORD>(SC_CLOSE)}, {FVIRTKEY, VK_F2, 123}};
    HACCEL table = CreateAcceleratorTable(entries, 2);
    ASSERT_TRUE(table);
    EXPECT_EQ(CopyAcceleratorTable(table, nullptr, 0), 2);
    ACCEL copy[1];
    EXPECT_EQ(CopyAcceleratorTable(table, copy, 1), 1);
    EXPECT_EQ(copy[0].cmd, SC_CLOSE);
    accel_ = table;
    int closes = 0;
    frameHandler_ = [&](HWND, UINT msg, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
        if (msg == WM_SYSCOMMAND && wParam == MAKEWPARAM(static_cast<WORD>(SC_CLOSE), 1)) {
            ++closes;
            return 0;  // kept open
        }
        return std::nullopt;
    };
    headless::PressKeyWithModifiers('Q', true, false);
    ASSERT_TRUE(Pump());
    EXPECT_EQ(closes, 1);
    auto got = Logged(frame_);
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ(got[0].msg, WM_INITMENU);
    EXPECT_EQ(got[0].wParam, reinterpret_cast<WPARAM>(GetSystemMenu(frame_, FALSE)));
    EXPECT_EQ(got[1].lParam, MAKELPARAM(0, TRUE));
    EXPECT_TRUE(DestroyAcceleratorTable(table));
    EXPECT_FALSE(DestroyAcceleratorTable(table));
    MSG m{frame_, WM_KEYDOWN, VK_F2, 0, 0, {}};
    EXPECT_EQ(TranslateAccelerator(frame_, table, &m), 0);
}

TEST_F(AcceleratorTest, ResourceTablesAreLoadedOnceWithTheirEntries)
{
    HACCEL again = LoadAccelerators(nullptr, kAccelTable);
    EXPECT_EQ(again, accel_);
    EXPECT_FALSE(LoadAccelerators(nullptr, 4242));
    std::vector<ACCEL> entries(static_cast<std::size_t>(CopyAcceleratorTable(accel_, nullptr, 0)));
    ASSERT_EQ(entries.size(), 10u);
    CopyAcceleratorTable(accel_, entries.data(), static_cast<int>(entries.size()));
    auto same = [](const ACCEL& a, BYTE f, WORD k, WORD c) { return a.fVirt == f && a.key == k && a.cmd == c; };
    EXPECT_TRUE(same(entries[0], 0, 0x0E, 9101));                             // CHAR Ctrl+N
    EXPECT_TRUE(same(entries[1], FVIRTKEY | FCONTROL, 'Z', 9201));           // KEY Ctrl+Z
    EXPECT_TRUE(same(entries[3], FVIRTKEY | FSHIFT, VK_F5, 9301));           // KEY Shift+F5
    EXPECT_TRUE(same(entries[4], FALT, '.', 9203));                          // CHAR Alt+"."
    EXPECT_TRUE(same(entries[7], FVIRTKEY | FCONTROL | FSHIFT | FNOINVERT, VK_DELETE, 9402));
    EXPECT_TRUE(same(entries[9], FVIRTKEY, VK_ADD, 9404));                    // KEY 0x6B
}

}  // namespace
}  // namespace win::testing
