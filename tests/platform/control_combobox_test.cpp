// Combo boxes: drop-down lists chosen by mouse and keys, editable fields, simple combo boxes.
#include "control_test_support.h"

namespace win::testing {
namespace {

class ComboTest : public ControlTest {
protected:
    HWND Combo(DWORD style, int id = 300) {
        HWND cb = Make(kComboBoxClass, "", style | WS_VSCROLL, 10, 10, 150, 120, id);
        for (const char* s : {"Low", "Medium", "High", "Higher"})
            SendMessage(cb, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
        Pump();
        MessageLog().clear();
        return cb;
    }
    // The popup list of a drop-down combo box: the visible top-level "ComboLBox" window.
    static HWND DroppedList() {
        for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT))
            if (GetClassName(w) == kComboListClass && IsWindowVisible(w)) return w;
        return nullptr;
    }
};

TEST_F(ComboTest, ADropDownListIsChosenFromWithTheMouse) {
    HWND cb = Combo(CBS_DROPDOWNLIST);
    RECT r;
    GetWindowRect(cb, &r);
    EXPECT_LT(r.bottom - r.top, 40);  // only the field; 120 is the height with the list down
    SendMessage(cb, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(r.bottom - r.top, 120);

    ClickCenter(cb);
    Pump();
    EXPECT_TRUE(SendMessage(cb, CB_GETDROPPEDSTATE, 0, 0));
    HWND list = DroppedList();
    ASSERT_NE(list, nullptr);
    RECT lr;
    GetWindowRect(list, &lr);
    GetWindowRect(cb, &r);
    EXPECT_EQ(lr.top, r.bottom);
    EXPECT_EQ(GetActiveWindow(), main_);  // the list never takes the activation

    RECT item;
    SendMessage(list, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&item));
    ClickClient(list, 10, (item.top + item.bottom) / 2);
    Pump();
    EXPECT_FALSE(SendMessage(cb, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_FALSE(IsWindowVisible(list));
    EXPECT_EQ(SendMessage(cb, CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(GetWindowText(cb), "High");
    EXPECT_EQ(CodesOf(300), (std::vector<WORD>{CBN_SETFOCUS, CBN_DROPDOWN, CBN_SELCHANGE, CBN_SELENDOK, CBN_CLOSEUP}));

    // A click outside the dropped list closes it and keeps the selection.
    MessageLog().clear();
    ClickCenter(cb);
    ClickClient(main_, 400, 300);
    Pump();
    EXPECT_FALSE(SendMessage(cb, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(SendMessage(cb, CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(CodesOf(300), (std::vector<WORD>{CBN_DROPDOWN, CBN_SELENDCANCEL, CBN_CLOSEUP}));
}

TEST_F(ComboTest, KeysStepTheSelectionOpenAndCancelTheList) {
    HWND cb = Combo(CBS_DROPDOWNLIST);
    SetFocus(cb);
    headless::PressKey(VK_DOWN);  // from no selection to the first
    headless::PressKey(VK_DOWN);
    headless::TypeText("h");
    Pump();
    EXPECT_EQ(SendMessage(cb, CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(CountCode(300, CBN_SELCHANGE), 3);
    headless::PressKey(VK_F4);
    Pump();
    EXPECT_TRUE(SendMessage(cb, CB_GETDROPPEDSTATE, 0, 0));
    headless::PressKey(VK_DOWN);  // moves in the dropped list, and the parent hears at once
    Pump();
    EXPECT_EQ(SendMessage(cb, CB_GETCURSEL, 0, 0), 3);
    headless::PressKey(VK_ESCAPE);  // takes it back
    Pump();
    EXPECT_FALSE(SendMessage(cb, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(SendMessage(cb, CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(CountCode(300, CBN_SELCHANGE), 5);
    headless::PressKeyWithModifiers(VK_DOWN, false, false, true);  // Alt+Down drops
    headless::PressKey(VK_UP);
    headless::PressKey(VK_RETURN);
    Pump();
    EXPECT_FALSE(SendMessage(cb, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(SendMessage(cb, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(CountCode(300, CBN_SELENDOK), 1);
    EXPECT_EQ(CountCode(300, CBN_SELENDCANCEL), 1);
}

TEST_F(ComboTest, AnEditableComboTakesTypedTextAndSelectsByMessage) {
    HWND cb = Combo(CBS_DROPDOWN | CBS_AUTOHSCROLL);
    HWND edit = GetDlgItem(cb, kComboEditId);
    ASSERT_NE(edit, nullptr);
    SetFocus(cb);
    Pump();
    EXPECT_EQ(GetFocus(), edit);
    headless::TypeText("Med");
    Pump();
    EXPECT_EQ(GetWindowText(cb), "Med");
    EXPECT_EQ(SendMessage(cb, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(CountCode(300, CBN_EDITCHANGE), 3);
    EXPECT_EQ(CountCode(300, CBN_EDITUPDATE), 3);
    headless::PressKey(VK_DOWN);  // the arrow keys of the field step the list
    Pump();
    EXPECT_EQ(GetWindowText(cb), "Low");
    EXPECT_EQ(SendMessage(cb, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("hi")), 2);
    EXPECT_EQ(GetWindowText(cb), "High");
    EXPECT_EQ(CountCode(300, CBN_EDITCHANGE), 3);  // text set by the combo box is no edit
    SetFocus(main_);
    Pump();
    EXPECT_EQ(CountCode(300, CBN_KILLFOCUS), 1);
    // Dropped, the list follows what is typed.
    SetFocus(cb);
    SendMessage(cb, CB_SHOWDROPDOWN, TRUE, 0);
    SetWindowText(edit, "");
    headless::TypeText("Hig");
    headless::PressKey(VK_RETURN);
    Pump();
    EXPECT_EQ(SendMessage(cb, CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(GetWindowText(cb), "High");
}

TEST_F(ComboTest, ASimpleComboShowsItsListBelowTheField) {
    HWND cb = Combo(CBS_SIMPLE);
    HWND list = GetDlgItem(cb, kComboListId);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(IsWindowVisible(list));
    RECT item;
    SendMessage(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
    ClickClient(list, 10, (item.top + item.bottom) / 2);
    Pump();
    EXPECT_EQ(GetWindowText(cb), "Medium");
    EXPECT_EQ(CountCode(300, CBN_SELCHANGE), 1);
    EXPECT_EQ(GetFocus(), GetDlgItem(cb, kComboEditId));
    SendMessage(cb, CB_RESETCONTENT, 0, 0);
    EXPECT_EQ(SendMessage(cb, CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(GetWindowText(cb), "");
}

}  // namespace
}  // namespace win::testing
