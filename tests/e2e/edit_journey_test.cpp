// Editing as a user edits: a part selected, then Copy, Paste, Cut, Clear and Undo (twice: the
// second redoes) through the Edit menu, the tool bar and the keys; a page added and deleted; the
// circuit saved, the program quit and started again, the file reopened. What is checked is what
// the user gets: the saved file and the screen.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// Places on the program's screen, read from its captures (the frame maximised, as it starts).
constexpr int kButtonY = 48;  // the main tool bar
constexpr int kUndoButtonX = 277, kCutButtonX = 300, kCopyButtonX = 324, kPasteButtonX = 347, kClearButtonX = 370;
constexpr int kResistorButtonX = 582;
constexpr int kAttributeOkX = 720, kAttributeOkY = 375;
// The Edit menu as it drops from the menu bar, and its items.
constexpr int kEditMenuX = 63, kMenuBarY = 28, kEditItemX = 90;
constexpr int kUndoItemY = 49, kCutItemY = 69, kCopyItemY = 88, kPasteItemY = 107, kClearItemY = 126;
constexpr int kAddPageItemY = 385, kDeletePageItemY = 405;
// The drawing: a resistor's body where it was placed, and an empty spot for pastes.
constexpr int kPartX = 264, kPartY = 300, kBodyX = 288;
constexpr int kSpotX = 264, kSpotY = 400;
// The placed resistor's part name, drawn below its body.
constexpr int kLabelX = 279, kLabelY = 313;

int Occurrences(const std::string& text, const std::string& word)
{
    int count = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + word.size())) ++count;
    return count;
}

// A part of the screen differs between two captures.
bool Changed(const Shot& a, const Shot& b, int x, int y, int half = 10)
{
    return !a.SameAs(b, x - half, y - half, x + half, y + half);
}

class EditJourney : public ::testing::Test {
protected:
    // Each journey its own folder: the tests may run at once, and a second program started on
    // one folder would hand over to the first.
    explicit EditJourney(const std::string& name = "edit") : journey_{name} {}

    Journey journey_;
    std::filesystem::path saved_;

    void EditMenu(int itemY)
    {
        journey_.Tap(kEditMenuX, kMenuBarY);
        journey_.Tap(kEditItemX, itemY);
    }
    // A resistor from the tool bar, its attribute dialog closed with OK; then Select mode with
    // nothing selected.
    void PlaceResistorThenSelect()
    {
        journey_.Tap(kResistorButtonX, kButtonY);
        journey_.Tap(kPartX, kPartY);
        journey_.Tap(kAttributeOkX, kAttributeOkY);
        journey_.Press("alt+m s");
        journey_.Tap(kSpotX, kSpotY);
    }
    // Ctrl+S and the resistors the saved file holds.
    int SavedResistors()
    {
        journey_.Press("ctrl+s");
        return Occurrences(ReadAll(saved_), "Name=Resistor");
    }
};

TEST_F(EditJourney, CopyPasteCutClearAndUndoThroughMenuToolBarAndKeysThenPagesAndARestart)
{
    ASSERT_TRUE(journey_.Start()) << journey_.Output();
    saved_ = journey_.Root() / "edits.cir";

    PlaceResistorThenSelect();
    const Shot idle = journey_.Capture("edit_nothing_selected");

    // Selected, the part can be cut, copied and cleared: those buttons light up, Paste not yet.
    journey_.Tap(kBodyX, kPartY);
    const Shot selected = journey_.Capture("edit_selected");
    EXPECT_TRUE(Changed(idle, selected, kCutButtonX, kButtonY)) << "Cut stays grey with a part selected";
    EXPECT_TRUE(Changed(idle, selected, kCopyButtonX, kButtonY)) << "Copy stays grey with a part selected";
    EXPECT_TRUE(Changed(idle, selected, kClearButtonX, kButtonY)) << "Clear stays grey with a part selected";
    EXPECT_FALSE(Changed(idle, selected, kPasteButtonX, kButtonY)) << "Paste lit with nothing copied";
    journey_.Press("ctrl+c");
    EXPECT_TRUE(Changed(selected, journey_.Capture("edit_copied"), kPasteButtonX, kButtonY)) << "Paste stays grey after a copy";

    // Paste from the tool bar at an empty spot; the first save asks for the name.
    journey_.Tap(kSpotX, kSpotY);
    journey_.Tap(kPasteButtonX, kButtonY);
    journey_.Capture("edit_pasted");
    journey_.Press("ctrl+s");
    journey_.Type("edits.cir");
    journey_.Press("Return");
    ASSERT_EQ(Occurrences(ReadAll(saved_), "Name=Resistor"), 2) << ReadAll(saved_);

    // Keys, right after the dialog: Ctrl+Z takes the paste back, a second Ctrl+Z redoes it, Del
    // clears the pasted part, Ctrl+V pastes it once more, Ctrl+X cuts it.
    journey_.Press("ctrl+z");
    EXPECT_EQ(SavedResistors(), 1);
    journey_.Press("ctrl+z");
    EXPECT_EQ(SavedResistors(), 2);
    journey_.Press("Delete");
    EXPECT_EQ(SavedResistors(), 1);
    journey_.Press("ctrl+v");
    EXPECT_EQ(SavedResistors(), 2);
    journey_.Press("ctrl+x");
    EXPECT_EQ(SavedResistors(), 1);

    // The Edit menu: Undo brings the cut part back, Clear removes it, Undo again; Copy the first
    // part and Paste it at the empty spot; Cut that.
    EditMenu(kUndoItemY);
    EXPECT_EQ(SavedResistors(), 2);
    EditMenu(kClearItemY);
    EXPECT_EQ(SavedResistors(), 1);
    EditMenu(kUndoItemY);
    EXPECT_EQ(SavedResistors(), 2);
    journey_.Tap(kBodyX, kPartY);
    EditMenu(kCopyItemY);
    journey_.Tap(kSpotX + 160, kSpotY);
    EditMenu(kPasteItemY);
    EXPECT_EQ(SavedResistors(), 3);
    EditMenu(kCutItemY);
    EXPECT_EQ(SavedResistors(), 2);

    // The tool bar: Undo, Clear, Cut and Copy.
    journey_.Tap(kUndoButtonX, kButtonY);
    EXPECT_EQ(SavedResistors(), 3);
    journey_.Tap(kClearButtonX, kButtonY);
    EXPECT_EQ(SavedResistors(), 2);
    journey_.Tap(kBodyX, kPartY);
    journey_.Tap(kCutButtonX, kButtonY);
    EXPECT_EQ(SavedResistors(), 1);
    journey_.Tap(kUndoButtonX, kButtonY);
    journey_.Tap(kBodyX, kPartY);
    journey_.Tap(kCopyButtonX, kButtonY);
    journey_.Tap(kSpotX + 320, kSpotY);
    journey_.Press("ctrl+v");
    EXPECT_EQ(SavedResistors(), 3);
    journey_.Capture("edit_after_edits");

    // Pages: Delete Page is grey with one page and lit with two; the new page goes again.
    journey_.Tap(kEditMenuX, kMenuBarY);
    const Shot onePage = journey_.Capture("edit_menu_one_page");
    journey_.Tap(kEditItemX, kAddPageItemY);
    journey_.Press("ctrl+s");
    EXPECT_EQ(Occurrences(ReadAll(saved_), "[Page]"), 2);
    journey_.Tap(kEditMenuX, kMenuBarY);
    const Shot twoPages = journey_.Capture("edit_menu_two_pages");
    EXPECT_TRUE(Changed(onePage, twoPages, kEditItemX + 10, kDeletePageItemY, 6)) << "Delete Page stays grey with two pages";
    journey_.Tap(kEditItemX, kDeletePageItemY);
    journey_.Press("Return");  // the new page, chosen in the list
    journey_.Press("ctrl+s");
    EXPECT_EQ(Occurrences(ReadAll(saved_), "[Page]"), 1);

    // Quit, start again, open the file: the same drawing, and saving it again gives the same file.
    const std::string before = ReadAll(saved_);
    const Shot drawing = journey_.Capture("edit_before_quit");
    journey_.Press("alt+F4");
    journey_.Press("Return");  // "Quit Kestrion V?" Yes
    ASSERT_TRUE(journey_.WaitForExit(10)) << "the program did not end";
    ASSERT_TRUE(journey_.Start()) << journey_.Output();
    journey_.Press("ctrl+o");
    journey_.Type("edits.cir");
    journey_.Press("Return");
    const Shot reopened = journey_.Capture("edit_reopened");
    EXPECT_TRUE(reopened.SameAs(drawing, 0, 90, 1200, 900)) << "the reopened drawing differs";
    journey_.Press("ctrl+s");
    EXPECT_EQ(ReadAll(saved_), before);
    EXPECT_TRUE(journey_.Running());
}

// A part's attribute text is picked where it is drawn and dragged on its own: the part stays
// where it was, the text moves, and the saved file keeps the text where it was dropped.
class TextDragJourney : public EditJourney {
protected:
    TextDragJourney() : EditJourney("edit_text") {}
};

TEST_F(TextDragJourney, AnAttributeTextIsDraggedWhereItIsDrawn)
{
    ASSERT_TRUE(journey_.Start()) << journey_.Output();
    saved_ = journey_.Root() / "moved.cir";
    PlaceResistorThenSelect();
    journey_.Press("ctrl+s");
    journey_.Type("moved.cir");
    journey_.Press("Return");
    const std::string before = ReadAll(saved_);
    ASSERT_EQ(Occurrences(before, "Name=Resistor"), 1) << before;
    const Shot placed = journey_.Capture("edit_attribute_placed");

    journey_.Drag(kLabelX, kLabelY, kLabelX + 100, kLabelY + 60);
    journey_.Settle();
    const Shot dragged = journey_.Capture("edit_attribute_dragged");
    EXPECT_TRUE(Changed(placed, dragged, kLabelX, kLabelY, 6)) << "the text stayed where it was";
    EXPECT_TRUE(Changed(placed, dragged, kLabelX + 100, kLabelY + 60, 6)) << "the text was not drawn where it was dropped";
    EXPECT_FALSE(Changed(placed, dragged, kBodyX, kPartY - 2, 6)) << "the part moved with its text";
    journey_.Press("ctrl+s");
    const std::string after = ReadAll(saved_);
    EXPECT_NE(after, before) << "the moved text was not saved";
    EXPECT_EQ(Occurrences(after, "Name=Resistor"), 1) << after;

    journey_.Press("ctrl+z");
    journey_.Settle();
    const Shot undone = journey_.Capture("edit_attribute_undone");
    EXPECT_FALSE(Changed(placed, undone, kLabelX, kLabelY, 6)) << "Undo did not put the text back";
    EXPECT_FALSE(Changed(placed, undone, kBodyX, kPartY - 2, 6)) << "Undo moved the part";
    journey_.Press("ctrl+s");
    EXPECT_EQ(ReadAll(saved_), before) << "the text's old place was not saved after Undo";
}

}  // namespace
}  // namespace kq5::journey
