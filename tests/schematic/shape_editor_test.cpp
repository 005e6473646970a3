// The Shape Editor and the Object Editor driven through the mouse, the keys and their commands,
// with pictures of both in build/screens/.
#include "shape_editor_test_support.h"

namespace kq5::testing {
namespace {

TEST_F(ShapeEditorTest, DrawingARectangleWithTheMouseAndUndoingIt)
{
    Settings().operationalOptions |= kOptionSelectMode;  // back to Select after each placement
    std::size_t before = 0;
    Script([&] {
        ASSERT_NE(Dialog(), nullptr);
        EXPECT_EQ(ShapeEditor().current, FindShapeByName("RESISTOR"));
        before = ShapeEditor().edit.size();
        Shoot("shape_editor");
        // The tool bar's third cell is the Rectangle tool.
        win::RECT bar;
        win::GetWindowRect(win::GetDlgItem(Dialog(), kShapeToolBar), &bar);
        const int cell = (bar.right - bar.left - 2) / kShapeToolCount;
        win::headless::Click(bar.left + 1 + 2 * cell + cell / 2, (bar.top + bar.bottom) / 2);
    });
    Script([&] {
        EXPECT_EQ(ShapeEditor().tool, 2);
        Drag(Screen(40, 60), Screen(80, 90));
    });
    Script([&] {
        ASSERT_EQ(ShapeEditor().edit.size(), before + 1);
        const ShapePrimitive& made = ShapeEditor().edit.back();
        EXPECT_EQ(made.type, kPrimRectangle);
        // Grid Lock is on: the corners are on the 8-unit grid.
        EXPECT_EQ(made.rect.left % 8, 0);
        EXPECT_EQ(made.rect.bottom % 8, 0);
        EXPECT_NE(made.attributes & kPrimSelected, 0);
        EXPECT_EQ(ShapeEditor().undoCode, 1);
        EXPECT_EQ(ShapeEditor().tool, 0);  // back to Select after the placement
        Shoot("shape_editor_rectangle");
        win::SetFocus(ShapeEditor().area);
        Key('Z', true);
    });
    Script([&] {
        EXPECT_EQ(ShapeEditor().edit.size(), before);
        // Close: the shape changed, so the editor asks; No reloads the library as it is on disk.
        win::PushMessageBoxAnswer(win::IDNO);
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeClose, 0);
    });
    RunEditor();
    EXPECT_EQ(ReadBytes(path_), ReadBytes(BuiltLibrary("shape.kq5")));
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_NE(win::MessageBoxLog()[0].text.find("Save Shape Editor changes?"), std::string::npos);
}

TEST_F(ShapeEditorTest, MovingTheSelectionAndUndoingTwice)
{
    win::RECT start{};
    Script([&] {
        ShapeEditorCommand(Dialog(), kCmdSelectAll);
        GetPrimitivesBounds(ShapeEditor().edit, start, kPrimSelected);
        // Press on the first line of the resistor (canvas 32..44 at y 32) and drag 16 units right.
        Drag(Screen(36, 32), Screen(52, 40));
    });
    Script([&] {
        win::RECT moved;
        GetPrimitivesBounds(ShapeEditor().edit, moved, kPrimSelected);
        EXPECT_EQ(moved.left, start.left + 16);
        EXPECT_EQ(moved.top, start.top + 8);
        EXPECT_EQ(ShapeEditor().undoCode, 3);
        ShapeEditorCommand(Dialog(), kCmdUndo);
        win::RECT back;
        GetPrimitivesBounds(ShapeEditor().edit, back, kPrimSelected);
        EXPECT_EQ(back.left, start.left);
        // A second Undo repeats the move.
        ShapeEditorCommand(Dialog(), kCmdUndo);
        GetPrimitivesBounds(ShapeEditor().edit, back, kPrimSelected);
        EXPECT_EQ(back.left, start.left + 16);
        // Dragged far past the canvas edge, the selection stops at it.
        Drag(Screen(52, 40), Screen(-400, -400));
    });
    Script([&] {
        win::RECT edge;
        GetPrimitivesBounds(ShapeEditor().edit, edge, kPrimSelected);
        EXPECT_EQ(edge.left + 3, 0);
        EXPECT_GE(edge.top + 3, 0);
        // Keys: Delete clears the selection, Alt+Backspace brings it back.
        win::SetFocus(ShapeEditor().area);
        Key(win::VK_DELETE);
    });
    Script([&] {
        EXPECT_TRUE(ShapeEditor().edit.empty());
        win::InputKey(win::VK_MENU, true);
        win::InputKey(win::VK_BACK, true);
        win::InputKey(win::VK_BACK, false);
        win::InputKey(win::VK_MENU, false);
    });
    Script([&] {
        EXPECT_FALSE(ShapeEditor().edit.empty());
        win::PushMessageBoxAnswer(win::IDNO);
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeClose, 0);
    });
    RunEditor();
}

TEST_F(ShapeEditorTest, ResizingByAHandleAndUndoToggling)
{
    ShapePrimitive* box = nullptr;
    Script([&] {
        box = AddNewPrimitive(Dialog(), BuildIntPayload({40, 40, 64, 56}), kPrimRectangle, 0);
        ASSERT_NE(box, nullptr);
        // The bottom-right handle, dragged 16 units right and down.
        Drag(Screen(64, 56), Screen(80, 72));
    });
    Script([&] {
        EXPECT_EQ(box->rect.right, 80);
        EXPECT_EQ(box->rect.bottom, 72);
        EXPECT_EQ(box->rect.left, 40);
        EXPECT_EQ(ShapeEditor().undoCode, 4);
        ShapeEditorCommand(Dialog(), kCmdUndo);
        EXPECT_EQ(box->rect.right, 64);
        ShapeEditorCommand(Dialog(), kCmdUndo);
        EXPECT_EQ(box->rect.right, 80);
        win::PushMessageBoxAnswer(win::IDNO);
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeClose, 0);
    });
    RunEditor();
}

TEST_F(ShapeEditorTest, ZoomGridAddingNamesAndTheListOfShapes)
{
    Script([&] {
        ShapeEditorState& e = ShapeEditor();
        ShapeEditorCommand(Dialog(), kCmdZoomIn);
        EXPECT_EQ(e.zoom, 8.0);
        ShapeEditorCommand(Dialog(), kCmdZoomIn);
        EXPECT_EQ(e.zoom, 8.0);
        for (int i = 0; i < 5; ++i) ShapeEditorCommand(Dialog(), kCmdZoomOut);
        EXPECT_EQ(e.zoom, 0.5);
        ShapeEditorCommand(Dialog(), kCmdZoomIn);
        ShapeEditorCommand(Dialog(), kCmdZoomIn);
        ShapeEditorCommand(Dialog(), kCmdZoomIn);
        // Grid Lock: a point at canvas (13, 20) is taken as (16, 24).
        const win::POINT p = ShapeCanvasPoint(static_cast<int>(13 * e.zoom) - e.scrollX, static_cast<int>(20 * e.zoom) - e.scrollY);
        EXPECT_EQ(p.x, 16);
        EXPECT_EQ(p.y, 24);
        // The shapes used only inside others are listed plainly; an unused one in parentheses.
        ShapeRecord* body = FindShapeByName("SRCBODY");
        ASSERT_NE(body, nullptr);
        EXPECT_EQ(body->used, 1);
        // Adding "new" when "NEW" exists asks again.
        PushPromptAnswer(PromptAnswer{1, std::string("NEW"), {}, {}});
        PushPromptAnswer(PromptAnswer{1, std::string("new"), {}, {}});
        PushPromptAnswer(PromptAnswer{1, std::string("MINE"), {}, {}});
        win::PushMessageBoxAnswer(win::IDOK);
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeAdd, 0);
        ASSERT_NE(FindShapeByName("NEW"), nullptr);
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeAdd, 0);
        ASSERT_NE(FindShapeByName("MINE"), nullptr);
        EXPECT_EQ(e.current, FindShapeByName("MINE"));
        bool asked = false;
        for (const auto& box : win::MessageBoxLog()) asked |= box.text.find("new has already been used") != std::string::npos;
        EXPECT_TRUE(asked);
        const int count = static_cast<int>(win::SendDlgItemMessage(Dialog(), kShapeList, win::LB_GETCOUNT, 0, 0));
        EXPECT_EQ(count, static_cast<int>(Shapes().records.size()));
        // A new shape nothing uses would be listed in parentheses.
        win::SendDlgItemMessage(Dialog(), kShapeList, win::LB_RESETCONTENT, 0, 0);
        EXPECT_FALSE(AddShapeListItem(Dialog(), *FindShapeByName("MINE"), false));
        EXPECT_EQ(win::SendDlgItemMessage(Dialog(), kShapeList, win::LB_FINDSTRINGEXACT, static_cast<win::WPARAM>(-1),
                                          reinterpret_cast<win::LPARAM>("(MINE)")), 0);
        // Renaming to a name another shape has is refused.
        win::PushMessageBoxAnswer(win::IDOK);
        win::SetDlgItemText(Dialog(), kShapeNameEdit, "resistor");
        win::SendMessage(Dialog(), win::WM_COMMAND, win::MAKEWPARAM(kShapeNameEdit, win::EN_KILLFOCUS), 0);
        EXPECT_EQ(e.current->name, "MINE");
        Shoot("shape_editor_zoomed");
        // Yes writes the library with the two new shapes.
        win::PushMessageBoxAnswer(win::IDYES);
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeClose, 0);
    });
    RunEditor();
    ShapeLibrary written;
    ASSERT_EQ(ParseShapeLibrary(ReadBytes(path_), written), 0);
    EXPECT_EQ(written.records.size(), Shapes().records.size());
    EXPECT_EQ(written.records.back()->name, "MINE");
}

TEST_F(ShapeEditorTest, TheObjectEditorChecksWhatIsTyped)
{
    Script([&] {
        // Point Count 3 makes a poly through (5, 5), (10, 10), (15, 15).
        PushPromptAnswer(PromptAnswer{1, std::string("3"), {}, {}});
        Script([&] {
            win::HWND object = ObjectEditor().dialog;
            ASSERT_NE(object, nullptr);
            win::SendMessage(object, win::WM_COMMAND, 17684, 0);  // Open Polygon
            ShapePrimitive* poly = ObjectEditor().chosen;
            ASSERT_NE(poly, nullptr);
            ASSERT_EQ(poly->type, kPrimPolyOpen);
            const auto points = GetPrimitivePoints(*poly);
            ASSERT_EQ(points.size(), 3u);
            EXPECT_EQ(points[2].x, 15);
            EXPECT_EQ(points[2].y, 15);
            Shoot("object_editor");
            // Letters: the message, and the former value back.
            win::PushMessageBoxAnswer(win::IDOK);
            win::SetDlgItemText(object, kObjectFirstField, "abc");
            CommitPointField(object, kObjectFirstField);
            ASSERT_FALSE(win::MessageBoxLog().empty());
            EXPECT_EQ(win::MessageBoxLog().back().text, "Invalid number or out of bounds");
            EXPECT_EQ(win::GetDlgItemText(object, kObjectFirstField), "5");
            // -5 for a poly point: the former value back without a message.
            const std::size_t boxes = win::MessageBoxLog().size();
            win::SetDlgItemText(object, kObjectFirstField, "-5");
            CommitPointField(object, kObjectFirstField);
            EXPECT_EQ(win::MessageBoxLog().size(), boxes);
            EXPECT_EQ(win::GetDlgItemText(object, kObjectFirstField), "5");
            // A good value moves the point.
            win::SetDlgItemText(object, kObjectFirstField + 1, "40");
            CommitPointField(object, kObjectFirstField + 1);
            EXPECT_EQ(GetPrimitivePoints(*poly)[0].y, 40);
            // A rectangle's left edge typed equal to its right edge is refused.
            win::SendMessage(object, win::WM_COMMAND, 17568, 0);  // Rectangle at (5, 5, 20, 20)
            ASSERT_EQ(ObjectEditor().chosen->type, kPrimRectangle);
            win::SetDlgItemText(object, kObjectFirstField, "20");
            CommitPointField(object, kObjectFirstField);
            EXPECT_EQ(ObjectEditor().chosen->rect.left, 5);
            // A block with more pins than rows shows the scroll bar; paging shows the next points.
            win::SendMessage(object, win::WM_COMMAND, 17693, 0);
            ShapePrimitive* block = ObjectEditor().chosen;
            ASSERT_EQ(block->type, kPrimBlock);
            ASSERT_GT(PrimitivePointCount(*block), kObjectRows);
            EXPECT_TRUE(win::IsWindowVisible(win::GetDlgItem(object, kObjectPointScroll)));
            win::SendMessage(object, win::WM_VSCROLL, win::SB_PAGEDOWN, 0);
            EXPECT_GT(ObjectEditor().firstPoint, 0);
            const auto pins = GetPrimitivePoints(*block);
            EXPECT_EQ(win::GetDlgItemText(object, kObjectFirstField), std::to_string(pins[static_cast<std::size_t>(ObjectEditor().firstPoint)].x));
            Shoot("object_editor_block");
            // Delete removes the chosen object.
            const std::size_t count = ShapeEditor().edit.size();
            win::SendMessage(object, win::WM_COMMAND, kShapeDelete, 0);
            EXPECT_EQ(ShapeEditor().edit.size(), count - 1);
            win::SendMessage(object, win::WM_COMMAND, kShapeClose, 0);
        });
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeObjectEditor, 0);
        EXPECT_EQ(ObjectEditor().dialog, nullptr);
        win::PushMessageBoxAnswer(win::IDNO);
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeClose, 0);
    });
    RunEditor();
}

TEST_F(ShapeEditorTest, IncludingAShapeThatIncludesTheOpenOneIsRefused)
{
    Script([&] {
        // The open shape is RESISTOR; include it in a new shape, then try to include that one back.
        PushPromptAnswer(PromptAnswer{1, std::string("OUTER"), {}, {}});
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeAdd, 0);
        ShapeRecord* outer = FindShapeByName("OUTER");
        ASSERT_EQ(ShapeEditor().current, outer);
        std::vector<std::uint8_t> payload(12, 0);
        payload[0] = 40;
        payload[4] = 40;
        ASSERT_NE(AddNewPrimitive(Dialog(), payload, FindShapeByName("RESISTOR")->index, 0), nullptr);
        SwitchToShape(Dialog(), FindShapeByName("RESISTOR"));
        EXPECT_TRUE(IncludesShape(outer->index, FindShapeByName("RESISTOR")->index));
        EXPECT_FALSE(IncludesShape(FindShapeByName("GROUND")->index, FindShapeByName("RESISTOR")->index));
        win::PushMessageBoxAnswer(win::IDNO);
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeClose, 0);
    });
    RunEditor();
    // No reloads the file: the new shape is gone.
    EXPECT_EQ(FindShapeByName("OUTER"), nullptr);
}

}  // namespace
}  // namespace kq5::testing
