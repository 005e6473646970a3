// List boxes: items, selection by messages, keys and mouse, owner-drawn items and scrolling.
#include "control_test_support.h"
#include "platform/control_scrollbar.h"

namespace win::testing {
namespace {

class ListBoxTest : public ControlTest {
protected:
    HWND List(DWORD style, int h = 100, int id = 200) {
        HWND lb = Make(kListBoxClass, "", style | WS_BORDER | LBS_NOTIFY, 10, 10, 150, h, id);
        Pump();
        return lb;
    }
    static void Add(HWND lb, std::initializer_list<const char*> items) {
        for (const char* s : items) SendMessage(lb, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    }
    static std::string TextAt(HWND lb, int i) {
        std::string s(static_cast<std::size_t>(SendMessage(lb, LB_GETTEXTLEN, i, 0)) + 1, '\0');
        SendMessage(lb, LB_GETTEXT, i, reinterpret_cast<LPARAM>(s.data()));
        s.pop_back();
        return s;
    }
    static int ItemHeight(HWND lb) { return static_cast<int>(SendMessage(lb, LB_GETITEMHEIGHT, 0, 0)); }
    void ClickItem(HWND lb, int index) {
        RECT r;
        SendMessage(lb, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
        ClickClient(lb, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
};

TEST_F(ListBoxTest, SortedItemsDataFindingAndDeleting) {
    HWND lb = List(LBS_SORT);
    Add(lb, {"pear", "Apple", "fig", "banana"});
    EXPECT_EQ(SendMessage(lb, LB_GETCOUNT, 0, 0), 4);
    EXPECT_EQ(TextAt(lb, 0), "Apple");  // case-blind order
    EXPECT_EQ(TextAt(lb, 3), "pear");
    SendMessage(lb, LB_SETITEMDATA, 2, 4711);
    EXPECT_EQ(SendMessage(lb, LB_GETITEMDATA, 2, 0), 4711);
    EXPECT_EQ(SendMessage(lb, LB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("B")), 1);
    EXPECT_EQ(SendMessage(lb, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("FIG")), 2);
    EXPECT_EQ(SendMessage(lb, LB_FINDSTRING, 3, reinterpret_cast<LPARAM>("a")), 0);  // goes round
    EXPECT_EQ(SendMessage(lb, LB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("kiwi")), LB_ERR);
    // Selecting by message does not notify; deleting before the selection moves it along.
    EXPECT_EQ(SendMessage(lb, LB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("pe")), 3);
    SendMessage(lb, LB_DELETESTRING, 0, 0);
    EXPECT_EQ(SendMessage(lb, LB_GETCURSEL, 0, 0), 2);
    SendMessage(lb, LB_DELETESTRING, 2, 0);
    EXPECT_EQ(SendMessage(lb, LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_EQ(SendMessage(lb, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>("zzz")), 0);  // inserting keeps the place
    EXPECT_EQ(CountCode(200, LBN_SELCHANGE), 0);
    EXPECT_EQ(SendMessage(lb, LB_GETTEXT, 9, 0), LB_ERR);
}

TEST_F(ListBoxTest, KeysAndClicksSelectAndNotify) {
    HWND lb = List(0);
    Add(lb, {"a1", "a2", "b1", "b2", "c1"});
    ClickItem(lb, 1);
    Pump();
    EXPECT_EQ(SendMessage(lb, LB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(GetFocus(), lb);
    headless::PressKey(VK_DOWN);
    headless::PressKey(VK_DOWN);
    headless::TypeText("c");
    headless::PressKey(VK_HOME);
    Pump();
    EXPECT_EQ(SendMessage(lb, LB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(CountCode(200, LBN_SELCHANGE), 5);
    headless::PressKey(VK_HOME);  // no change, no notification
    Pump();
    EXPECT_EQ(CountCode(200, LBN_SELCHANGE), 5);
    RECT r;
    SendMessage(lb, LB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&r));
    POINT p = ScreenPointOf(lb, 20, (r.top + r.bottom) / 2);
    headless::DoubleClick(p.x, p.y);
    Pump();
    EXPECT_EQ(SendMessage(lb, LB_GETCURSEL, 0, 0), 3);
    EXPECT_EQ(CountCode(200, LBN_DBLCLK), 1);
    EXPECT_EQ(CodesOf(200).front(), LBN_SETFOCUS);
}

TEST_F(ListBoxTest, MultipleAndExtendedSelection) {
    HWND multi = List(LBS_MULTIPLESEL, 100, 201);
    Add(multi, {"0", "1", "2", "3"});
    ClickItem(multi, 1);
    ClickItem(multi, 3);
    ClickItem(multi, 1);
    headless::PressKey(VK_UP);
    headless::PressKey(VK_SPACE);
    Pump();
    int sel[8] = {};
    ASSERT_EQ(SendMessage(multi, LB_GETSELITEMS, 8, reinterpret_cast<LPARAM>(sel)), 2);
    EXPECT_EQ(sel[0], 0);
    EXPECT_EQ(sel[1], 3);
    EXPECT_EQ(SendMessage(multi, LB_SETCURSEL, 0, 0), LB_ERR);

    HWND ext = Make(kListBoxClass, "", WS_BORDER | LBS_NOTIFY | LBS_EXTENDEDSEL, 200, 10, 150, 120, 202);
    Add(ext, {"0", "1", "2", "3", "4", "5"});
    ClickItem(ext, 1);
    headless::KeyDown(VK_SHIFT);
    ClickItem(ext, 3);
    headless::KeyUp(VK_SHIFT);
    headless::KeyDown(VK_CONTROL);
    ClickItem(ext, 5);
    ClickItem(ext, 2);
    headless::KeyUp(VK_CONTROL);
    Pump();
    EXPECT_EQ(SendMessage(ext, LB_GETSELCOUNT, 0, 0), 3);  // 1, 3 and 5
    EXPECT_EQ(SendMessage(ext, LB_GETSEL, 2, 0), 0);
    EXPECT_EQ(SendMessage(ext, LB_GETSEL, 5, 0), 1);
    headless::PressKeyWithModifiers(VK_DOWN, false, true);  // Shift+Down from 2: range 2..3
    Pump();
    EXPECT_EQ(SendMessage(ext, LB_GETSELCOUNT, 0, 0), 2);
    EXPECT_EQ(SendMessage(ext, LB_GETCARETINDEX, 0, 0), 3);
}

TEST_F(ListBoxTest, OwnerDrawnItemsAreMeasuredDrawnAndDeletedByTheParent) {
    std::vector<MEASUREITEMSTRUCT> measured;
    std::vector<DRAWITEMSTRUCT> drawn;
    std::vector<ULONG_PTR> deleted;
    Handler() = [&](HWND h, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
        if (h != main_) return std::nullopt;
        if (m == WM_MEASUREITEM) {
            auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(l);
            mis->itemHeight = mis->itemData == 2 ? 40 : 18;
            measured.push_back(*mis);
            return TRUE;
        }
        if (m == WM_DRAWITEM) {
            drawn.push_back(*reinterpret_cast<DRAWITEMSTRUCT*>(l));
            return TRUE;
        }
        if (m == WM_DELETEITEM) {
            deleted.push_back(reinterpret_cast<DELETEITEMSTRUCT*>(l)->itemData);
            return TRUE;
        }
        return std::nullopt;
    };
    HWND fixed = List(LBS_OWNERDRAWFIXED | LBS_HASSTRINGS, 100, 203);
    ASSERT_EQ(measured.size(), 1u);  // once, at creation
    EXPECT_EQ(measured[0].CtlType, ODT_LISTBOX);
    EXPECT_EQ(ItemHeight(fixed), 18);
    Add(fixed, {"red", "green"});
    SetFocus(fixed);
    drawn.clear();
    InvalidateRect(fixed, nullptr, TRUE);
    Pump();
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[1].itemID, 1u);
    EXPECT_EQ(drawn[1].rcItem.top, 18);
    EXPECT_EQ(drawn[0].itemState & ODS_FOCUS, ODS_FOCUS);  // the caret item

    measured.clear();
    HWND variable = Make(kListBoxClass, "", WS_BORDER | LBS_OWNERDRAWVARIABLE, 200, 10, 150, 150, 204);
    for (ULONG_PTR data : {1, 2, 3}) SendMessage(variable, LB_ADDSTRING, 0, static_cast<LPARAM>(data));
    EXPECT_EQ(measured.size(), 3u);
    RECT r;
    SendMessage(variable, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(r.top, 18 + 40);
    EXPECT_EQ(SendMessage(variable, LB_GETITEMHEIGHT, 1, 0), 40);
    EXPECT_EQ(SendMessage(variable, LB_FINDSTRING, static_cast<WPARAM>(-1), 3), 2);  // without strings: item data
    SendMessage(variable, LB_DELETESTRING, 1, 0);
    SendMessage(variable, LB_RESETCONTENT, 0, 0);
    EXPECT_EQ(deleted, (std::vector<ULONG_PTR>{2, 1, 3}));
}

TEST_F(ListBoxTest, TheTopIndexFollowsTheSelectionAndTheScrollBar) {
    HWND lb = List(WS_VSCROLL | LBS_NOINTEGRALHEIGHT, 60);
    for (int i = 0; i < 20; ++i) SendMessage(lb, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_string(100 + i).c_str()));
    int ih = ItemHeight(lb);
    RECT c;
    GetClientRect(lb, &c);
    int visible = c.bottom / ih;
    SendMessage(lb, LB_SETCURSEL, 15, 0);
    EXPECT_EQ(SendMessage(lb, LB_GETTOPINDEX, 0, 0), 15 - visible + 1);
    SendMessage(lb, LB_SETTOPINDEX, 0, 0);
    EXPECT_EQ(SendMessage(lb, LB_GETTOPINDEX, 0, 0), 0);
    EXPECT_EQ(GetScrollPos(lb, SB_VERT), 0);
    SendMessage(lb, WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(GetScrollPos(lb, SB_VERT), SendMessage(lb, LB_GETTOPINDEX, 0, 0));
    EXPECT_GT(GetScrollPos(lb, SB_VERT), 0);
    // Item under a point.
    LRESULT hit = SendMessage(lb, LB_ITEMFROMPOINT, 0, MAKELPARAM(5, static_cast<WORD>(ih + 1)));
    EXPECT_EQ(LOWORD(hit), SendMessage(lb, LB_GETTOPINDEX, 0, 0) + 1);
    EXPECT_EQ(HIWORD(hit), 0);
    // Without LBS_NOINTEGRALHEIGHT the box shows whole items only.
    HWND whole = Make(kListBoxClass, "", WS_BORDER, 200, 10, 100, 10 * ih + ih / 2 + 2, 205);
    GetClientRect(whole, &c);
    EXPECT_EQ(c.bottom % ih, 0);
}

}  // namespace
}  // namespace win::testing
