// "Copy to Clipboard" as a bitmap: the visible part of a window (17206) and the part under the
// select box (17218), with the pixels the user sees.
#include "schematic_test_support.h"

#include "platform/bitmap.h"
#include "platform/clipboard.h"
#include "platform/paint.h"
#include "platform/window.h"
#include "schematic/edit_commands.h"
#include "document/editor_services.h"

namespace kq5::testing {
namespace {

class WindowBitmap : public SchematicWindowTest {
protected:
    void SetUp() override
    {
        SchematicWindowTest::SetUp();
        AddItem(record_, kItemWire, 2, 2, 40, 2);  // across the top of the drawing
        win::RedrawWindow(record_->window, nullptr, nullptr, win::RDW_INVALIDATE | win::RDW_ERASE | win::RDW_UPDATENOW);
        ClearClipboard();
    }
    static void ClearClipboard()
    {
        if (!win::OpenClipboard(nullptr)) return;
        win::EmptyClipboard();
        win::CloseClipboard();
    }
    // The clipboard's bitmap, its size, and whether it holds the colour somewhere.
    struct Copied {
        bool present = false;
        int width = 0;
        int height = 0;
        int wirePixels = 0;
    };
    Copied Clipboard() const
    {
        Copied out;
        if (!win::OpenClipboard(nullptr)) return out;
        const win::HBITMAP bitmap = win::GetClipboardData(win::CF_BITMAP).Bitmap();
        win::CloseClipboard();
        if (!bitmap) return out;
        out.present = true;
        win::BITMAP info;
        win::GetObject(bitmap, sizeof(info), &info);
        out.width = info.bmWidth;
        out.height = info.bmHeight;
        win::HDC dc = win::CreateCompatibleDC(nullptr);
        win::HGDIOBJ old = win::SelectObject(dc, bitmap);
        for (int y = 0; y < out.height; ++y)
            for (int x = 0; x < out.width; ++x) out.wirePixels += (win::GetPixel(dc, x, y) & 0xFFFFFF) == win::RGB(0, 128, 0);
        win::SelectObject(dc, old);
        win::DeleteDC(dc);
        return out;
    }
};

TEST_F(WindowBitmap, TheVisiblePartOfTheWindow)
{
    win::RECT client{};
    win::GetClientRect(record_->window, &client);
    CopyWindowBitmap(record_, false);
    const Copied copied = Clipboard();
    ASSERT_TRUE(copied.present);
    EXPECT_EQ(copied.width, client.right);
    EXPECT_EQ(copied.height, client.bottom);
    EXPECT_GT(copied.wirePixels, 200);  // the wire, as drawn
}

TEST_F(WindowBitmap, TheSelectBoxPartOnly)
{
    // No select box: nothing is copied.
    SetMarkRect(record_, -1, -1, -1, -1);
    CopyWindowBitmap(record_, true);
    EXPECT_FALSE(Clipboard().present);

    // A box over the left half of the wire: 10 grid units wide, 4 high, at view scale 1.
    SetMarkRect(record_, 1, 1, 11, 5);
    CopyWindowBitmap(record_, true);
    const Copied copied = Clipboard();
    ASSERT_TRUE(copied.present);
    EXPECT_EQ(copied.width, 80);
    EXPECT_EQ(copied.height, 32);
    EXPECT_GT(copied.wirePixels, 60);
    EXPECT_LT(copied.wirePixels, 100);
}

}  // namespace
}  // namespace kq5::testing
