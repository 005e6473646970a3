// Closing the Shape Editor when the library file cannot be written or read back: nothing the user
// drew is lost and the program keeps its shapes.
#include "shape_editor_test_support.h"

#include <cerrno>

#include "core/file_units.h"

namespace kq5::testing {
namespace {

int ErrorBoxesWith(const std::string& text)
{
    int n = 0;
    for (const auto& box : win::MessageBoxLog()) n += box.caption.find(text) != std::string::npos;
    return n;
}

TEST_F(ShapeEditorTest, ASaveThatFailsKeepsTheEditorOpenWithTheChanges)
{
    // The library's directory has gone away since it was read.
    const std::string unwritable = (dir_ / "gone" / "shape.kq5").string();
    Shapes().path = unwritable;
    Shapes().fileTime = FileTimeOf(unwritable);
    std::size_t before = 0;
    Script([&] {
        before = ShapeEditor().edit.size();
        ASSERT_GT(before, 0u);
        ShapeEditorCommand(Dialog(), kCmdSelectAll);
        ShapeEditorCommand(Dialog(), kCmdClear);
        EXPECT_TRUE(ShapeEditor().edit.empty());
        win::PushMessageBoxAnswer(win::IDYES);
        win::PushMessageBoxAnswer(win::IDOK);  // the write failure
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeClose, 0);
    });
    Script([&] {
        // The write failed and said so; the editor is still there, on the changed shape.
        EXPECT_EQ(ErrorBoxesWith(std::to_string(16000 + ENOENT)), 1);
        ASSERT_NE(Dialog(), nullptr);
        EXPECT_TRUE(win::IsWindow(Dialog()));
        ASSERT_EQ(ShapeEditor().current, FindShapeByName("RESISTOR"));
        EXPECT_TRUE(ShapeEditor().edit.empty());
        EXPECT_TRUE(ShapeEditor().current->data.empty());
        // Back where it can be written: Yes again saves it.
        Shapes().path = path_.string();
        Shapes().fileTime = FileTimeOf(Shapes().path);
        win::PushMessageBoxAnswer(win::IDYES);
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeClose, 0);
    });
    RunEditor();
    EXPECT_EQ(Dialog(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(unwritable));
    ShapeLibrary saved;
    ASSERT_EQ(ReadShapeLibrary(path_.string(), saved), 0);
    bool found = false;
    for (const auto& record : saved.records) {
        if (record->name != "RESISTOR") continue;
        found = true;
        EXPECT_TRUE(record->data.empty());
    }
    EXPECT_TRUE(found);
}

TEST_F(ShapeEditorTest, DroppingChangesWhenTheFileCannotBeReadKeepsTheShapes)
{
    const std::size_t shapes = Shapes().records.size();
    ASSERT_GT(shapes, 10u);
    Script([&] {
        ShapeEditorCommand(Dialog(), kCmdSelectAll);
        ShapeEditorCommand(Dialog(), kCmdClear);
        // Another program damaged the file meanwhile.
        WriteBytes(path_, "damaged");
        Shapes().fileTime = FileTimeOf(path_.string());
        win::PushMessageBoxAnswer(win::IDNO);
        win::PushMessageBoxAnswer(win::IDOK);  // the reading failure
        win::SendMessage(Dialog(), win::WM_COMMAND, kShapeClose, 0);
    });
    RunEditor();
    // The reading failure was shown; every shape is still there to draw with.
    EXPECT_EQ(ErrorBoxesWith("14051") + ErrorBoxesWith("15009"), 1);
    EXPECT_EQ(Shapes().records.size(), shapes);
    EXPECT_NE(FindShapeByName("RESISTOR"), nullptr);
    EXPECT_NE(FindShapeByName("CAPACITOR"), nullptr);
}

}  // namespace
}  // namespace kq5::testing
