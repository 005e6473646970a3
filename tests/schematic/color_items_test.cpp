// A schematic window and its text area draw the colour items of a colour popup they own: each
// item a swatch of its colour, framed black while selected.
#include "schematic_test_support.h"

#include "../app/screen_capture_support.h"
#include "ui/color_dialog.h"
#include "platform/headless.h"
#include "platform/menu.h"
#include "platform/message.h"
#include "platform/owner_draw.h"
#include "platform/win_messages.h"

namespace kq5::testing {
namespace {

class ColorItemsTest : public SchematicWindowTest {
protected:
    win::HWND TextArea() const { return record_->document->textAreaWindow; }

    static win::MEASUREITEMSTRUCT Measure(win::HWND window, win::UINT type, win::LRESULT* result = nullptr)
    {
        win::MEASUREITEMSTRUCT item;
        item.CtlType = type;
        item.itemID = 509;
        item.itemData = 9;
        const win::LRESULT answer = win::SendMessage(window, win::WM_MEASUREITEM, 0, reinterpret_cast<win::LPARAM>(&item));
        if (result) *result = answer;
        return item;
    }

    // Draws colour item `color` into a 16-pixel cell of the canvas.
    static win::LRESULT Draw(win::HWND window, Canvas& canvas, int color, bool selected, win::UINT type = win::ODT_MENU)
    {
        win::DRAWITEMSTRUCT item;
        item.CtlType = type;
        item.itemID = static_cast<win::UINT>(500 + color);
        item.itemAction = win::ODA_DRAWENTIRE;
        item.itemState = selected ? win::ODS_SELECTED : 0;
        item.hDC = canvas.dc();
        item.rcItem = win::RECT{0, 0, 16, 16};
        item.itemData = static_cast<win::ULONG_PTR>(color);
        return win::SendMessage(window, win::WM_DRAWITEM, 0, reinterpret_cast<win::LPARAM>(&item));
    }
};

TEST_F(ColorItemsTest, BothWindowsMeasureAColourItemAsASquareOfTheSystemFontsHeight)
{
    for (win::HWND window : {record_->window, TextArea()}) {
        ASSERT_NE(window, nullptr);
        win::LRESULT result = 0;
        const win::MEASUREITEMSTRUCT item = Measure(window, win::ODT_MENU, &result);
        EXPECT_EQ(result, 1);
        EXPECT_GT(item.itemHeight, 4u);
        EXPECT_EQ(item.itemWidth, item.itemHeight);
    }
    // The schematic window's own owner-drawn controls are no colour items.
    EXPECT_EQ(Measure(record_->window, win::ODT_BUTTON).itemWidth, 0u);
}

TEST_F(ColorItemsTest, BothWindowsDrawAColourItemAsASwatchFramedWhenSelected)
{
    for (win::HWND window : {record_->window, TextArea()}) {
        Canvas canvas(16, 16);
        EXPECT_EQ(Draw(window, canvas, 9, false), 1);
        EXPECT_EQ(canvas.At(8, 8), win::RGB(255, 0, 0));  // colour 9 is red
        EXPECT_NE(canvas.At(0, 0), win::RGB(0, 0, 0));    // framed in the menu's colour
        canvas.Clear(win::RGB(255, 255, 255));
        Draw(window, canvas, 12, true);
        EXPECT_EQ(canvas.At(8, 8), win::RGB(0, 0, 255));
        EXPECT_EQ(canvas.At(0, 0), win::RGB(0, 0, 0));  // the selected item's black frame
        EXPECT_EQ(canvas.At(15, 8), win::RGB(0, 0, 0));
    }
    Canvas untouched(16, 16);
    Draw(record_->window, untouched, 9, false, win::ODT_BUTTON);
    EXPECT_TRUE(untouched.IsWhite(8, 8));
}

TEST_F(ColorItemsTest, AColourPopupOwnedByTheSchematicWindowShowsItsSwatches)
{
    win::HMENU menu = CreateColorPopupMenu(500);
    bool shot = false;
    win::RECT first{}, ninth{};
    win::headless::SetIdleHandler([&]() {
        if (shot) return false;
        shot = true;
        EXPECT_TRUE(win::GetMenuItemRect(record_->window, menu, 0, &first));
        EXPECT_TRUE(win::GetMenuItemRect(record_->window, menu, 8, &ninth));
        SaveScreen("color_popup_schematic_window");
        win::headless::PressKey(win::VK_ESCAPE);
        return true;
    });
    win::TrackPopupMenu(menu, win::TPM_LEFTALIGN, 60, 60, 0, record_->window, nullptr);
    win::headless::SetIdleHandler(nullptr);
    EXPECT_TRUE(shot);
    // Eight columns of eight: the items took the size the window measured for them.
    EXPECT_GT(first.bottom - first.top, 4);
    EXPECT_GT(ninth.left, first.left);
    EXPECT_EQ(ninth.top, first.top);
    win::DestroyMenu(menu);
}

}  // namespace
}  // namespace kq5::testing
