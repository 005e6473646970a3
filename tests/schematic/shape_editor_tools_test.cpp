// The Shape Editor's text prompt, the end handles of an arc, the pin-mark pictures of the Object
// Editor and the keys that scroll the drawing area to its corners.
#include "platform/gdi_dc.h"
#include "platform/gdi_objects.h"
#include "platform/menu.h"
#include "shape_editor_test_support.h"

namespace kq5::testing {
namespace {

constexpr int kTextTool = 17563;

TEST_F(ShapeEditorTest, TheTextToolAsksWithTheOneLinePromptAndKeepsTheFontOnEditing)
{
    ShapeEditor().textFont = FontSpec{-16, 0, 0, 12};
    std::size_t before = 0;
    Script([&] {
        before = ShapeEditor().edit.size();
        SetPromptDialogsShownHeadless(true);
        SetShapeTool(Dialog(), kTextTool);
        const win::POINT at = Screen(40, 48);
        win::headless::Click(at.x, at.y);
    });
    Script([&] {
        win::HWND prompt = win::GetActiveWindow();
        ASSERT_NE(prompt, Dialog());
        EXPECT_EQ(win::GetWindowText(prompt), "Text");
        EXPECT_EQ(win::GetWindowText(win::GetDlgItem(prompt, win::IDOK)), "&OK");
        EXPECT_EQ(win::GetWindowText(win::GetDlgItem(prompt, win::IDCANCEL)), "&Cancel");
        EXPECT_EQ(win::GetWindowText(win::GetDlgItem(prompt, 22)), "&Font...");
        EXPECT_EQ(win::GetWindowText(win::GetDlgItem(prompt, 9)), "&Help...");
        EXPECT_EQ(win::GetDlgItem(prompt, 31), nullptr);  // no colour button on this one
        // The field is one line: Enter means OK rather than a new line.
        EXPECT_EQ(win::GetWindowLong(win::GetDlgItem(prompt, kPromptFirstField), win::GWL_STYLE) & win::ES_MULTILINE, 0);
        win::SetDlgItemText(prompt, kPromptFirstField, "CLK");
        Shoot("prompt_dialog_3005");
        win::PostMessage(prompt, win::WM_COMMAND, win::IDOK, 0);
    });
    Script([&] {
        SetPromptDialogsShownHeadless(false);
        ASSERT_EQ(ShapeEditor().edit.size(), before + 1);
        ShapePrimitive& text = ShapeEditor().edit.back();
        ASSERT_EQ(text.type, kPrimText);
        EXPECT_EQ(TextOfPayload(text.extra), "CLK");
        EXPECT_EQ(TextFontOfPayload(text.extra).height, -16);
        EXPECT_EQ(TextFontOfPayload(text.extra).color, 12);
        EXPECT_EQ(text.rect.left, 40);
        EXPECT_GT(text.rect.right, text.rect.left);  // measured in its font

        // Double-clicking the selected text asks again, starting from its text and font; an
        // answer that changes only the text keeps the font.
        text.attributes |= kPrimSelected;
        ShapeEditor().textFont = FontSpec{};
        PushPromptAnswer(PromptAnswer{1, std::string("CLOCK"), {}, {}});
        const win::POINT inside = ShapePixelPoint(text.rect.left + 1, text.rect.top + 1);
        win::SendMessage(ShapeEditor().area, win::WM_LBUTTONDBLCLK, 0, win::MAKELPARAM(inside.x, inside.y));
        EXPECT_EQ(TextOfPayload(text.extra), "CLOCK");
        EXPECT_EQ(TextFontOfPayload(text.extra).height, -16);
        EXPECT_EQ(TextFontOfPayload(text.extra).color, 12);

        // Cancel adds nothing.
        PushPromptAnswer(PromptAnswer{2, std::string("X"), {}, {}});
        SetShapeTool(Dialog(), kTextTool);
        const win::POINT at = Screen(80, 80);
        win::headless::Click(at.x, at.y);
    });
    Script([&] {
        EXPECT_EQ(ShapeEditor().edit.size(), before + 1);
        win::PushMessageBoxAnswer(win::IDNO);
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeClose, 0);
    });
    RunEditor();
}

}  // namespace
}  // namespace kq5::testing
