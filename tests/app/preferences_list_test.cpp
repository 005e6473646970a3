// The Preferences dialog's list of rows as it is drawn: children behind the lines of a tree.
#include "ui/color_dialog.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
#include "settings_dialog_test_support.h"

namespace kq5 {
namespace {

using testing::SaveScreen;
using testing::SettingsDialogTest;
using win::testing::InputScript;

using PreferencesListTest = SettingsDialogTest;

win::HWND List() { return win::GetDlgItem(win::GetActiveWindow(), kPreferencesList); }

int RowOf(const std::string& text)
{
    return static_cast<int>(win::SendMessage(List(), win::LB_FINDSTRINGEXACT, static_cast<win::WPARAM>(-1),
                                             reinterpret_cast<win::LPARAM>(text.c_str())));
}

void Choose(const std::string& text, bool open = false)
{
    const int row = RowOf(text);
    ASSERT_GE(row, 0) << text;
    win::SendMessage(List(), win::LB_SETCURSEL, static_cast<win::WPARAM>(row), 0);
    win::SendMessage(win::GetActiveWindow(), win::WM_COMMAND,
                     win::MAKEWPARAM(kPreferencesList, open ? win::LBN_DBLCLK : win::LBN_SELCHANGE),
                     reinterpret_cast<win::LPARAM>(List()));
}

win::RECT RectOf(int row)
{
    win::RECT r{};
    win::SendMessage(List(), win::LB_GETITEMRECT, static_cast<win::WPARAM>(row), reinterpret_cast<win::LPARAM>(&r));
    return r;
}

// The list's pixel as the screen shows it.
win::COLORREF Pixel(int x, int y)
{
    win::UpdateWindow(List());
    win::HDC dc = win::GetDC(List());
    const win::COLORREF c = win::GetPixel(dc, x, y) & 0xFFFFFF;
    win::ReleaseDC(List(), dc);
    return c;
}

TEST_F(PreferencesListTest, ChildrenHangFromTheTree)
{
    bool stemOfMiddle = false, stemBelowLast = true, labelsPlain = true;
    InputScript script;
    script.Then([&] { Choose("[+]Circuit Defaults", true); })
        .Then([&] {
            // Rows keep their tree character; the list draws lines in its place.
            const int component = RowOf("\xC3" "Component");
            const int last = RowOf("\xC0" "Select Box");
            ASSERT_GE(component, 0);
            ASSERT_GE(last, 0);
            Choose("\xC3" "Component");
            const win::RECT middle = RectOf(RowOf("\xC3" "Wire")), end = RectOf(last);
            const int stem = middle.left + 2 + 6;
            stemOfMiddle = Pixel(stem, middle.bottom - 1) != win::RGB(255, 255, 255);
            stemBelowLast = Pixel(stem, end.bottom - 2) != win::RGB(255, 255, 255);
            labelsPlain = RowOf("[-]Circuit Defaults") >= 0;
            SaveScreen("preferences_list");
            win::testing::ClickCenter(win::GetDlgItem(win::GetActiveWindow(), win::IDCANCEL));
        });
    script.Install();
    EXPECT_EQ(RunPreferencesDialog(frame_), 0);
    EXPECT_TRUE(stemOfMiddle);
    EXPECT_FALSE(stemBelowLast);  // the last child hangs from a corner
    EXPECT_TRUE(labelsPlain);
}

}  // namespace
}  // namespace kq5
