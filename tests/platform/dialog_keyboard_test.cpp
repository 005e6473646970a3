// The test application's dialogs navigated and filled in by keyboard and mouse.
#include "dialog_test_app.h"

namespace win::testing {
namespace {

class DialogTest : public PlatformTest {
protected:
    void SetUp() override {
        PlatformTest::SetUp();
        app_.Start();
    }
    static void Keys(std::initializer_list<int> keys) {
        for (int vk : keys) headless::PressKey(vk);
    }
    static void ShiftTab() { headless::PressKeyWithModifiers(VK_TAB, false, true); }
    static void Alt(int vk) { headless::PressKeyWithModifiers(vk, false, false, true); }
    HWND Item(int id) const { return GetDlgItem(app_.settings, id); }
    bool IsDefault(int id) const { return (GetWindowLong(Item(id), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON; }
    bool Saw(int id, WORD code) const {
        for (auto& c : app_.commands)
            if (c.first == id && c.second == code) return true;
        return false;
    }

    TestApp app_;
};

TEST_F(DialogTest, TheKeyboardWalksTheDialogAndEnterAcceptsIt) {
    // Typed ahead: the keys wait in the queue until the dialog reads them.
    headless::TypeText("Ann");  // replaces the selected "Bob"
    Keys({VK_TAB, VK_SPACE});   // Verbose
    Keys({VK_TAB, VK_DOWN, VK_DOWN});  // into the radio group at the checked one, then on
    Keys({VK_TAB, VK_DOWN, VK_DOWN});  // the list
    Keys({VK_TAB, VK_DOWN, VK_TAB});   // the combo box, then OK
    ShiftTab();                        // back to the combo box
    Keys({VK_RETURN});                 // the default button answers
    EXPECT_EQ(app_.RunSettings(), IDOK);
    const SettingsValues& v = app_.values;
    EXPECT_EQ(v.name, "Ann");
    EXPECT_TRUE(v.verbose);
    EXPECT_EQ(v.mode, 105);
    EXPECT_EQ(v.item, 2);
    EXPECT_EQ(v.itemText, "Gamma");
    EXPECT_EQ(v.level, 1);
    EXPECT_TRUE(Saw(102, BN_CLICKED));
    EXPECT_TRUE(Saw(104, BN_CLICKED));
    EXPECT_TRUE(Saw(106, LBN_SELCHANGE));
    EXPECT_TRUE(Saw(107, CBN_SELCHANGE));
    // The owner waited, disabled, and is itself again.
    EXPECT_FALSE(app_.ownerEnabledDuringDialog);
    EXPECT_TRUE(IsWindowEnabled(app_.main));
    EXPECT_EQ(app_.settings, nullptr);
    EXPECT_EQ(GetActiveWindow(), app_.main);
}

TEST_F(DialogTest, MnemonicsPressButtonsAndTheDefaultFollowsTheFocus) {
    InputScript script;
    script.Then([] {
            Alt('S');                  // "&Slow"
            headless::TypeText("x");   // "E&xact", without Alt while a button has the focus
            Alt('A');                  // "&Apply" is pressed and keeps the focus
        })
        .Then([&] {
            EXPECT_EQ(IsDlgButtonChecked(app_.settings, 105), BST_CHECKED);
            EXPECT_EQ(IsDlgButtonChecked(app_.settings, 104), BST_UNCHECKED);
            EXPECT_EQ(app_.values.applied, 1);
            EXPECT_EQ(GetFocus(), Item(108));
            EXPECT_TRUE(IsDefault(108));
            EXPECT_FALSE(IsDefault(IDOK));
            Keys({VK_RETURN});  // presses the focused push button, not OK
            Alt('N');           // the label's mnemonic moves on to the edit after it
        })
        .Then([&] {
            EXPECT_EQ(app_.values.applied, 2);
            EXPECT_EQ(GetFocus(), Item(101));
            EXPECT_TRUE(IsDefault(IDOK));
            EXPECT_FALSE(IsDefault(108));
            headless::TypeText("Zed");
            Keys({VK_ESCAPE});
        });
    script.Install();
    EXPECT_EQ(app_.RunSettings(), IDCANCEL);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(app_.values.name, "Bob");  // cancelled: nothing taken
}

TEST_F(DialogTest, TheMouseChoosesRadioListAndComboItems) {
    InputScript script;
    script.Then([&] {
            ClickCenter(Item(104));
            RECT r;
            SendMessage(Item(106), LB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&r));
            ClickClient(Item(106), 10, (r.top + r.bottom) / 2);
            ClickCenter(Item(107));  // drops the list
        })
        .Then([&] {
            ASSERT_TRUE(SendMessage(Item(107), CB_GETDROPPEDSTATE, 0, 0));
            RECT field;
            GetWindowRect(Item(107), &field);
            int ih = static_cast<int>(SendMessage(Item(107), CB_GETITEMHEIGHT, 0, 0));
            ClickScreen(POINT{field.left + 10, field.bottom + 1 + 2 * ih + ih / 2});  // "High"
        })
        .Then([&] { ClickCenter(Item(IDOK)); });
    script.Install();
    EXPECT_EQ(app_.RunSettings(), IDOK);
    EXPECT_EQ(app_.values.mode, 104);
    EXPECT_EQ(app_.values.itemText, "Delta");
    EXPECT_EQ(app_.values.level, 2);
}

TEST_F(DialogTest, EnterOnCancelCancelsAndAQuitEndsTheDialogAndGoesOn) {
    Keys({VK_TAB, VK_TAB, VK_TAB, VK_TAB, VK_TAB, VK_TAB, VK_RETURN});  // to Cancel
    EXPECT_EQ(app_.RunSettings(), IDCANCEL);
    EXPECT_TRUE(Saw(IDCANCEL, BN_CLICKED));

    InputScript script;
    script.Then([] { PostQuitMessage(7); });
    script.Install();
    EXPECT_EQ(app_.RunSettings(), IDCANCEL);
    MSG m;
    ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 7u);
    EXPECT_TRUE(IsWindowEnabled(app_.main));
    EXPECT_EQ(app_.settings, nullptr);
}

TEST_F(DialogTest, AModelessDialogTakesItsKeysThroughTheApplicationLoop) {
    HWND notes = app_.OpenNotes();
    ASSERT_NE(notes, nullptr);
    app_.Pump();
    EXPECT_TRUE(IsWindowVisible(notes));
    EXPECT_TRUE(IsWindowEnabled(app_.main));
    HWND edit = GetDlgItem(notes, 201);
    EXPECT_EQ(GetFocus(), edit);
    headless::TypeText("one\rtwo");  // the multi-line edit takes Enter
    headless::PressKey(VK_TAB);      // Tab still leaves it
    headless::TypeText("gr");
    app_.Pump();
    EXPECT_EQ(GetWindowText(edit), "one\r\ntwo");
    EXPECT_EQ(GetWindowText(GetDlgItem(notes, 202)), "gr");
    headless::PressKey(VK_ESCAPE);  // IDCANCEL, although the dialog has no such button
    app_.Pump();
    EXPECT_FALSE(IsWindow(notes));
    bool sawEdit = false, sawCancel = false;
    for (auto& c : app_.notesCommands) {
        sawEdit |= c.first == 202 && c.second == CBN_EDITCHANGE;
        sawCancel |= c.first == IDCANCEL;
    }
    EXPECT_TRUE(sawEdit);
    EXPECT_TRUE(sawCancel);
}

TEST_F(DialogTest, ItemHelpersAndTheDefaultIdOfAModelessDialog) {
    HWND dlg = CreateDialogParam(nullptr, 9001, app_.main, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    ASSERT_NE(dlg, nullptr);
    EXPECT_FALSE(IsWindowVisible(dlg));  // its template has no WS_VISIBLE
    SetDlgItemInt(dlg, 101, static_cast<UINT>(-5), TRUE);
    EXPECT_EQ(GetDlgItemText(dlg, 101), "-5");
    BOOL ok = FALSE;
    EXPECT_EQ(static_cast<int>(GetDlgItemInt(dlg, 101, &ok, TRUE)), -5);
    EXPECT_TRUE(ok);
    GetDlgItemInt(dlg, 101, &ok, FALSE);
    EXPECT_FALSE(ok);
    for (const char* bad : {"4x", "", "4294967296", "- 3"}) {
        SetDlgItemText(dlg, 101, bad);
        GetDlgItemInt(dlg, 101, &ok, FALSE);
        EXPECT_FALSE(ok) << bad;
    }
    SetDlgItemText(dlg, 101, " 42 ");
    EXPECT_EQ(GetDlgItemInt(dlg, 101, &ok, FALSE), 42u);
    CheckRadioButton(dlg, 103, 105, 104);
    EXPECT_EQ(IsDlgButtonChecked(dlg, 103) + IsDlgButtonChecked(dlg, 104) * 10 + IsDlgButtonChecked(dlg, 105) * 100, 10u);
    EXPECT_EQ(SendDlgItemMessage(dlg, 999, WM_GETTEXTLENGTH, 0, 0), 0);
    // Tab order skips what is not a tab stop; a group runs up to the next WS_GROUP.
    EXPECT_EQ(GetNextDlgTabItem(dlg, nullptr, FALSE), GetDlgItem(dlg, 101));
    EXPECT_EQ(GetNextDlgTabItem(dlg, GetDlgItem(dlg, 101), TRUE), GetDlgItem(dlg, 108));
    EXPECT_EQ(GetNextDlgGroupItem(dlg, GetDlgItem(dlg, 105), FALSE), GetDlgItem(dlg, 103));
    EXPECT_EQ(GetNextDlgGroupItem(dlg, GetDlgItem(dlg, 103), TRUE), GetDlgItem(dlg, 105));
    EXPECT_EQ(SendMessage(dlg, DM_GETDEFID, 0, 0), MAKELONG(IDOK, DC_HASDEFID));
    SendMessage(dlg, DM_SETDEFID, 108, 0);
    EXPECT_EQ(LOWORD(SendMessage(dlg, DM_GETDEFID, 0, 0)), 108);
    EXPECT_EQ(GetWindowLong(GetDlgItem(dlg, 108), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(GetWindowLong(GetDlgItem(dlg, IDOK), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
    DestroyWindow(dlg);
}

}  // namespace
}  // namespace win::testing
