// The Shape Editor's text prompt, the end handles of an arc, the pin-mark pictures of the Object
// Editor and the keys that scroll the drawing area to its corners.
#include "platform/bitmap.h"
#include "platform/common_dialogs_font.h"
#include "platform/gdi_dc.h"
#include "platform/gdi_draw.h"
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

TEST_F(ShapeEditorTest, AnArcsStartAndEndAreHandlesOfTheirOwn)
{
    ShapePrimitive* arc = nullptr;
    Script([&] {
        // The default arc's start lies on the middle of its rectangle's right edge, where a
        // rectangle handle lies too: the arc's own handle wins there.
        arc = AddNewPrimitive(Dialog(), BuildIntPayload({16, 16, 64, 48, 64, 32, 16, 32}), kPrimArc, 0);
        ASSERT_NE(arc, nullptr);
        Drag(Screen(64, 32), Screen(48, 8));
    });
    Script([&] {
        EXPECT_EQ(ShapeEditor().undoCode, 4);
        const auto points = GetPrimitivePoints(*arc);
        EXPECT_EQ(points[2].x, 48);
        EXPECT_EQ(points[2].y, 8);
        EXPECT_EQ(points[3].x, 16);      // the end stays
        EXPECT_EQ(arc->rect.right, 64);  // and so does the ellipse
        EXPECT_EQ(arc->rect.left, 16);
        Shoot("shape_editor_arc_handles");
        // Undo toggles the start point.
        ShapeEditorCommand(Dialog(), kCmdUndo);
        EXPECT_EQ(GetPrimitivePoints(*arc)[2].x, 64);
        ShapeEditorCommand(Dialog(), kCmdUndo);
        EXPECT_EQ(GetPrimitivePoints(*arc)[2].x, 48);
        // The end handle, dragged past the canvas edge, stops at the edge.
        Drag(Screen(16, 32), Screen(-20, 40));
    });
    Script([&] {
        const auto points = GetPrimitivePoints(*arc);
        EXPECT_EQ(points[3].x, 0);
        EXPECT_EQ(points[3].y, 40);
        EXPECT_EQ(points[2].x, 48);
        Drag(Screen(0, 40), Screen(24, 40));
    });
    Script([&] {
        EXPECT_EQ(GetPrimitivePoints(*arc)[3].x, 24);
        // A rectangle handle of the arc still resizes its ellipse and leaves the ends alone.
        Drag(Screen(64, 48), Screen(72, 64));
    });
    Script([&] {
        EXPECT_EQ(arc->rect.right, 72);
        EXPECT_EQ(arc->rect.bottom, 64);
        EXPECT_EQ(GetPrimitivePoints(*arc)[2].x, 48);
        EXPECT_EQ(GetPrimitivePoints(*arc)[3].x, 24);
        // An arc that is not selected has no end handles: a press on its end selects and moves it.
        for (ShapePrimitive& p : ShapeEditor().edit) p.attributes = static_cast<std::uint16_t>(p.attributes & ~kPrimSelected);
        ShapeEditor().undoCode = 0;
        Drag(Screen(24, 40), Screen(32, 48));
    });
    Script([&] {
        EXPECT_EQ(ShapeEditor().undoCode, 3);
        EXPECT_EQ(arc->rect.left, 24);
        EXPECT_EQ(GetPrimitivePoints(*arc)[3].x, 32);
        EXPECT_EQ(GetPrimitivePoints(*arc)[3].y, 48);
        // Drawn with the Arc tool, an arc starts where the drag began and ends where it ended.
        SetShapeTool(Dialog(), 17570);
        Drag(Screen(64, 72), Screen(16, 56));
    });
    Script([&] {
        const ShapePrimitive& drawn = ShapeEditor().edit.back();
        ASSERT_EQ(drawn.type, kPrimArc);
        EXPECT_EQ(drawn.rect.left, 16);
        EXPECT_EQ(drawn.rect.top, 56);
        EXPECT_EQ(drawn.rect.right, 64);
        EXPECT_EQ(drawn.rect.bottom, 72);
        const auto points = GetPrimitivePoints(drawn);
        EXPECT_EQ(points[2].x, 64);
        EXPECT_EQ(points[2].y, 72);
        EXPECT_EQ(points[3].x, 16);
        EXPECT_EQ(points[3].y, 56);
        EXPECT_EQ(ShapeEditor().tool, 5);  // the tool stays unless the preference says otherwise
        win::PushMessageBoxAnswer(win::IDNO);
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeClose, 0);
    });
    RunEditor();
}

TEST_F(ShapeEditorTest, ResizingAPolygonAndUndoingGivesItsPointsBackExactly)
{
    ShapePrimitive* poly = nullptr;
    std::vector<win::POINT> before;
    Script([&] {
        poly = AddNewPrimitive(Dialog(), BuildPolyPayload({{40, 40}, {43, 41}, {50, 50}}), kPrimPolyClosed, 0);
        ASSERT_NE(poly, nullptr);
        before = GetPrimitivePoints(*poly);
        // The bottom-right handle, dragged in several steps out and part of the way back.
        const win::POINT corner = Screen(50, 50);
        win::InputMouseMove(corner.x, corner.y);
        win::InputMouseButton(win::MouseButton::Left, true);
        for (const win::POINT& to : {Screen(120, 120), Screen(58, 58), Screen(97, 97), Screen(64, 64)})
            win::InputMouseMove(to.x, to.y);
        win::InputMouseButton(win::MouseButton::Left, false);
    });
    Script([&] {
        EXPECT_EQ(poly->rect.right, 64);
        // Scaled once from where the drag began, whatever the steps between.
        EXPECT_EQ(GetPrimitivePoints(*poly)[1].x, 40 + 3 * 24 / 10);
        ShapeEditorCommand(Dialog(), kCmdUndo);
        const auto after = GetPrimitivePoints(*poly);
        ASSERT_EQ(after.size(), before.size());
        for (std::size_t k = 0; k < before.size(); ++k) {
            EXPECT_EQ(after[k].x, before[k].x) << k;
            EXPECT_EQ(after[k].y, before[k].y) << k;
        }
        EXPECT_EQ(poly->rect.right, 50);
        win::PushMessageBoxAnswer(win::IDNO);
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeClose, 0);
    });
    RunEditor();
}

// The picture's pixels, true where ink is.
std::vector<bool> Ink(win::HBITMAP picture)
{
    win::HDC dc = win::CreateCompatibleDC(nullptr);
    win::HGDIOBJ old = win::SelectObject(dc, picture);
    std::vector<bool> ink;
    for (int y = 0; y < kPinMarkPictureHeight; ++y)
        for (int x = 0; x < kPinMarkPictureWidth; ++x) ink.push_back((win::GetPixel(dc, x, y) & 0xFFFFFF) != 0xFFFFFF);
    win::SelectObject(dc, old);
    win::DeleteDC(dc);
    return ink;
}

bool InkAt(const std::vector<bool>& ink, int x, int y) { return ink[static_cast<std::size_t>(y * kPinMarkPictureWidth + x)]; }

TEST_F(ShapeEditorTest, PinMarkPicturesShowTheClockAndTheBubbleAsBlocksDrawThem)
{
    std::vector<std::vector<bool>> inks;
    for (int mark = 0; mark < kPinMarkCount; ++mark) {
        win::HBITMAP picture = MakePinMarkPicture(mark);
        ASSERT_NE(picture, nullptr);
        inks.push_back(Ink(picture));
        win::DeleteObject(picture);
    }
    // The pin enters the block edge at x 16 on the middle row; the wedge meets 8 units inside it,
    // the bubble's centre lies 4 units outside it.
    const int middle = kPinMarkPictureHeight / 2;
    EXPECT_TRUE(InkAt(inks[0], 12, middle));
    EXPECT_FALSE(InkAt(inks[0], 24, middle));
    EXPECT_TRUE(InkAt(inks[1], 24, middle));
    EXPECT_FALSE(InkAt(inks[2], 12, middle));  // inside the bubble
    EXPECT_TRUE(InkAt(inks[2], 8, middle));    // its outline
    EXPECT_FALSE(InkAt(inks[2], 24, middle));
    EXPECT_TRUE(InkAt(inks[3], 24, middle));
    EXPECT_TRUE(InkAt(inks[3], 8, middle));
    // Every mark has a picture of its own.
    for (int a = 0; a < kPinMarkCount; ++a)
        for (int b = a + 1; b < kPinMarkCount; ++b) EXPECT_NE(inks[static_cast<std::size_t>(a)], inks[static_cast<std::size_t>(b)]) << a << " " << b;
}

int PinMarkOf(const ShapePrimitive& block, int pin)
{
    const std::size_t at = kPointListOffset + static_cast<std::size_t>(pin) * kBlockPinSize;
    return static_cast<std::int16_t>(block.extra[at] | (block.extra[at + 1] << 8));
}

TEST_F(ShapeEditorTest, APinsMarkIsChosenFromTheMenuOfPictures)
{
    ShapePrimitive* block = nullptr;
    Script([&] {
        Script([&] {
            win::HWND object = ObjectEditor().dialog;
            ASSERT_NE(object, nullptr);
            win::SendMessage(object, win::WM_COMMAND, 17693, 0);  // a default block
            block = ObjectEditor().chosen;
            ASSERT_NE(block, nullptr);
            ASSERT_EQ(block->type, kPrimBlock);
            ShapeEditor().shapeModified = false;
            // The second row of the pin panel: the menu of pictures opens beside it.
            win::RECT panel;
            win::GetWindowRect(win::GetDlgItem(object, kObjectPinPanel), &panel);
            win::headless::Click(panel.left + 10, panel.top + 2 + kPinMarkPictureHeight + 2 + kPinMarkPictureHeight / 2);
        });
        Script([&] {
            win::HMENU menu = ObjectEditor().markMenu;
            ASSERT_NE(menu, nullptr);
            ASSERT_EQ(win::GetMenuItemCount(menu), kPinMarkCount);
            for (int k = 0; k < kPinMarkCount; ++k) {
                EXPECT_EQ(win::GetMenuItemID(menu, k), static_cast<win::UINT>(kPinMarkCommand + k));
                EXPECT_NE(win::GetMenuState(menu, static_cast<win::UINT>(k), win::MF_BYPOSITION) & win::MF_BITMAP, 0u);
            }
            EXPECT_EQ(ObjectEditor().menuPin, 1);
            Shoot("object_editor_pin_marks");
            for (int k = 0; k < 4; ++k) win::headless::PressKey(win::VK_DOWN);
            win::headless::PressKey(win::VK_RETURN);
        });
        Script([&] {
            EXPECT_EQ(PinMarkOf(*block, 1), 3);
            EXPECT_EQ(PinMarkOf(*block, 0), 0);
            EXPECT_TRUE(ShapeEditor().shapeModified);
            // The same mark again changes nothing.
            ShapeEditor().shapeModified = false;
            win::SendMessage(ObjectEditor().dialog, win::WM_COMMAND, kPinMarkCommand + 3, 0);
            EXPECT_FALSE(ShapeEditor().shapeModified);
            win::SendMessage(ObjectEditor().dialog, win::WM_COMMAND, kPinMarkCommand + 2, 0);
            EXPECT_EQ(PinMarkOf(*block, 1), 2);
            Shoot("object_editor_pin_panel");
            win::SendMessage(ObjectEditor().dialog, win::WM_COMMAND, kShapeClose, 0);
        });
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeObjectEditor, 0);
        EXPECT_EQ(ObjectEditor().markMenu, nullptr);  // freed with the dialog
        win::PushMessageBoxAnswer(win::IDNO);
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeClose, 0);
    });
    RunEditor();
}

TEST_F(ShapeEditorTest, CtrlHomeAndCtrlEndScrollTheDrawingAreaToItsCorners)
{
    Script([&] {
        win::SetFocus(ShapeEditor().area);
        Key(win::VK_END, true);
    });
    Script([&] {
        const ShapeEditorState& e = ShapeEditor();
        win::RECT client;
        win::GetClientRect(e.area, &client);
        // The canvas's far corner is in view, at the bottom-right of the area.
        const win::POINT corner = ShapePixelPoint(kShapeCanvasSize, kShapeCanvasSize);
        EXPECT_GE(corner.x, 0);
        EXPECT_LT(corner.x, client.right);
        EXPECT_GT(corner.x, client.right / 2);
        EXPECT_LT(corner.y, client.bottom);
        EXPECT_GT(corner.y, client.bottom / 2);
        EXPECT_GT(e.scrollX, 0);
        EXPECT_EQ(win::GetScrollPos(win::GetDlgItem(Dialog(), kShapeHScroll), win::SB_CTL), e.scrollX);
        EXPECT_EQ(win::GetScrollPos(win::GetDlgItem(Dialog(), kShapeVScroll), win::SB_CTL), e.scrollY);
        Shoot("shape_editor_scrolled_to_end");
        Key(win::VK_HOME, true);
    });
    Script([&] {
        EXPECT_EQ(ShapeEditor().scrollX, 0);
        EXPECT_EQ(ShapeEditor().scrollY, 0);
        EXPECT_EQ(win::GetScrollPos(win::GetDlgItem(Dialog(), kShapeHScroll), win::SB_CTL), 0);
        // Home alone, without Ctrl, is no command.
        ShapeEditor().scrollX = 40;
        Key(win::VK_HOME);
    });
    Script([&] {
        EXPECT_EQ(ShapeEditor().scrollX, 40);
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeClose, 0);
    });
    RunEditor();
}

TEST_F(ShapeEditorTest, EndingAPolygonOtherwiseThanByDoubleClickKeepsWhatWasCollected)
{
    std::size_t before = 0;
    Script([&] {
        before = ShapeEditor().edit.size();
        SetShapeTool(Dialog(), 17684);  // Open Polygon
        for (const win::POINT& at : {Screen(16, 16), Screen(40, 24), Screen(56, 48)}) win::headless::Click(at.x, at.y);
    });
    Script([&] {
        ASSERT_EQ(ShapeEditor().polyPoints.size(), 3u);
        SetShapeTool(Dialog(), 17568);  // another tool ends the polygon
        ASSERT_EQ(ShapeEditor().edit.size(), before + 1);
        const ShapePrimitive& open = ShapeEditor().edit.back();
        EXPECT_EQ(open.type, kPrimPolyOpen);
        const auto points = GetPrimitivePoints(open);
        ASSERT_EQ(points.size(), 3u);
        EXPECT_EQ(points[1].x, 40);
        EXPECT_EQ(points[2].y, 48);
        // A press outside the canvas ends a closed polygon the same way.
        SetShapeTool(Dialog(), 17683);
        for (const win::POINT& at : {Screen(16, 56), Screen(48, 72)}) win::headless::Click(at.x, at.y);
    });
    Script([&] {
        // Scrolled to the far corner, the area shows a strip beyond the canvas's edge.
        ShapeEditorCommand(Dialog(), kCmdScrollEnd);
        win::RECT client;
        win::GetClientRect(ShapeEditor().area, &client);
        const win::LPARAM beyond = win::MAKELPARAM(client.right - 1, client.bottom - 1);
        ASSERT_GT(ShapeCanvasPoint(client.right - 1, client.bottom - 1).x, kShapeCanvasSize);
        win::SendMessage(ShapeEditor().area, win::WM_LBUTTONDOWN, 0, beyond);
        win::SendMessage(ShapeEditor().area, win::WM_LBUTTONUP, 0, beyond);
        ShapeEditorCommand(Dialog(), kCmdScrollHome);
        EXPECT_TRUE(ShapeEditor().polyPoints.empty());
        ASSERT_EQ(ShapeEditor().edit.size(), before + 2);
        EXPECT_EQ(ShapeEditor().edit.back().type, kPrimPolyClosed);
        // A single point makes no polygon.
        win::headless::Click(Screen(16, 16).x, Screen(16, 16).y);
    });
    Script([&] {
        SetShapeTool(Dialog(), 17568);
        EXPECT_EQ(ShapeEditor().edit.size(), before + 2);
        win::PushMessageBoxAnswer(win::IDNO);
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeClose, 0);
    });
    RunEditor();
}

TEST_F(ShapeEditorTest, TheObjectEditorsTextIsMeasuredAsTheTextToolsIs)
{
    ShapeEditor().textFont = FontSpec{-20, 0, 0, 4};
    Script([&] {
        Script([&] {
            PushPromptAnswer(PromptAnswer{1, std::string("WIDE TEXT"), {}, {}});
            win::SendMessage(ObjectEditor().dialog, win::WM_COMMAND, kTextTool, 0);
            const ShapePrimitive* text = ObjectEditor().chosen;
            ASSERT_NE(text, nullptr);
            ASSERT_EQ(text->type, kPrimText);
            EXPECT_EQ(TextFontOfPayload(text->extra).height, -20);  // the editor's remembered font
            win::RECT measured{};
            MeasuredTextPayload(win::POINT{5, 5}, "WIDE TEXT", FontSpec{-20, 0, 0, 4}, &measured);
            EXPECT_EQ(text->rect.left, 5);
            EXPECT_EQ(text->rect.right, measured.right);
            EXPECT_EQ(text->rect.bottom, measured.bottom);
            EXPECT_GT(measured.bottom - measured.top, 10);
            win::SendMessage(ObjectEditor().dialog, win::WM_COMMAND, kShapeClose, 0);
        });
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeObjectEditor, 0);
        win::PushMessageBoxAnswer(win::IDNO);
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeClose, 0);
    });
    RunEditor();
}

TEST_F(ShapeEditorTest, TheFontCommandStartsFromTheSelectedTextAndMeasuresItAgain)
{
    Script([&] {
        win::RECT small{};
        ShapePrimitive* text =
            AddNewPrimitive(Dialog(), MeasuredTextPayload(win::POINT{16, 16}, "CLK", FontSpec{-10, 0, 0, 9}, &small), kPrimText, 0);
        ASSERT_NE(text, nullptr);
        text->rect = small;
        win::FontDialogAnswer bigger;
        bigger.size = "24";
        win::ScriptFontDialogAnswer(bigger);
        ShapeEditorCommand(Dialog(), kCmdFont);
        const FontSpec font = TextFontOfPayload(text->extra);
        EXPECT_LT(font.height, -20);
        EXPECT_EQ(font.color, 9);  // what the chooser did not change stays
        EXPECT_EQ(TextOfPayload(text->extra), "CLK");
        EXPECT_EQ(text->rect.left, 16);
        EXPECT_GT(text->rect.right - text->rect.left, small.right - small.left);
        EXPECT_GT(text->rect.bottom - text->rect.top, small.bottom - small.top);
        EXPECT_EQ(ShapeEditor().textFont.height, font.height);
        // Cancel changes nothing.
        const auto before = text->extra;
        win::ScriptFontDialogAnswer(std::nullopt);
        ShapeEditorCommand(Dialog(), kCmdFont);
        EXPECT_EQ(text->extra, before);
        win::PushMessageBoxAnswer(win::IDNO);
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeClose, 0);
    });
    RunEditor();
}

TEST_F(ShapeEditorTest, AResizedObjectDeletedInTheObjectEditorIsNotReshapedByUndo)
{
    Script([&] {
        ShapePrimitive* box = AddNewPrimitive(Dialog(), BuildIntPayload({16, 16, 40, 40}), kPrimRectangle, 0);
        ASSERT_NE(box, nullptr);
        Drag(Screen(40, 40), Screen(56, 56));
    });
    Script([&] {
        ASSERT_EQ(ShapeEditor().undoCode, 4);
        ASSERT_NE(ShapeEditor().resized, nullptr);
        Script([&] {
            win::SendMessage(ObjectEditor().dialog, win::WM_COMMAND, kShapeDelete, 0);
            win::SendMessage(ObjectEditor().dialog, win::WM_COMMAND, kShapeClose, 0);
        });
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeObjectEditor, 0);
        EXPECT_EQ(ShapeEditor().resized, nullptr);
        // A new object may take the freed place; Undo leaves it as it is.
        ShapePrimitive* line = AddNewPrimitive(Dialog(), BuildIntPayload({8, 8, 24, 8}), kPrimLine, 0);
        ASSERT_NE(line, nullptr);
        ShapeEditor().undoCode = 4;
        ShapeEditorCommand(Dialog(), kCmdUndo);
        EXPECT_EQ(line->rect.right, 24);
        EXPECT_TRUE(line->extra.empty());
        win::PushMessageBoxAnswer(win::IDNO);
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeClose, 0);
    });
    RunEditor();
}

}  // namespace
}  // namespace kq5::testing
