// Editing a schematic by hand: Cut, Copy, Paste and Undo across the pages of a schematic and
// between two circuits (Undo, pressed while the user looks at another page, takes back the edit
// where it was made; a stage cut and pasted twice gives the stage back once and one copy of it;
// Undo of a cut gives back what was cut, whatever the clipboard holds by then), clicks with and
// without Shift, and a part dragged past the edge of its pane. What is checked is the saved file
// and the screen.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// An inverting op-amp stage (gain -10) with its supplies, on the first of two pages.
constexpr const char* kAmplifier =
    "[Main]\nFileType=CIR\nVersion=5.20\nProgram=Kestrion V\nKQ5Version=2.1.2\n\n"
    "[Comp]\nName=V\nGrid=10,20\n\n[Attr]\nONV=0,0,PART,VIN\n\n[Attr]\nONV=0,0,VALUE,DC 0 AC 1\n\n"
    "[Comp]\nName=Ground\nGrid=10,26\n\n[Grid Text]\nText=IN\nGrid=10,20\n\n"
    "[Comp]\nName=Resistor\nGrid=24,18\n\n[Attr]\nONV=0,0,PART,R1\n\n[Attr]\nONV=0,0,VALUE,1k\n\n"
    "[Grid Text]\nText=IN\nGrid=24,18\n\n"
    "[Comp]\nName=Opamp\nGrid=30,20\n\n[Attr]\nONV=0,0,PART,X1\n\n[Attr]\nONV=0,0,MODEL,OPL\n\n"
    "[Comp]\nName=Ground\nGrid=30,22\n\n"
    "[Wire]\nGrids=30,18,30,14\n\n[Wire]\nGrids=30,14,31,14\n\n"
    "[Comp]\nName=Resistor\nGrid=31,14\n\n[Attr]\nONV=0,0,PART,R2\n\n[Attr]\nONV=0,0,VALUE,10k\n\n"
    "[Wire]\nGrids=37,14,37,20\n\n"
    "[Comp]\nName=Resistor\nGrid=37,20\n\n[Attr]\nONV=0,0,PART,RL\n\n[Attr]\nONV=0,0,VALUE,10k\n\n"
    "[Comp]\nName=Ground\nGrid=43,20\n\n[Grid Text]\nText=OUT\nGrid=37,20\n\n"
    "[Grid Text]\nText=VCC\nGrid=33,17\n\n[Grid Text]\nText=VEE\nGrid=33,23\n\n"
    "[Comp]\nName=Battery\nGrid=60,10\n\n[Attr]\nONV=0,0,PART,VP\n\n[Attr]\nONV=0,0,VALUE,15\n\n"
    "[Comp]\nName=Ground\nGrid=60,16\n\n[Grid Text]\nText=VCC\nGrid=60,10\n\n"
    "[Comp]\nName=Battery\nGrid=66,10\n\n[Attr]\nONV=0,0,PART,VN\n\n[Attr]\nONV=0,0,VALUE,15\n\n"
    "[Comp]\nName=Ground\nGrid=66,10\n\n[Grid Text]\nText=VEE\nGrid=66,16\n\n"
    "[Text Area]\nLen=31\n.MODEL OPL OPA (LEVEL=1 A=200K)\n\n"
    "[Page]\nIndex=0\nName=Page 1\nGrid=0,0\n\n[Page]\nIndex=1\nName=Page 2\nGrid=0,0\n";

// Places on the program's screen, read from its captures.
constexpr int kPage1TabX = 127, kPage2TabX = 172, kTabY = 725;
constexpr int kEmptyX = 400, kEmptyY = 400;
constexpr int kWindowsMenuX = 151, kMenuBarY = 28, kFirstWindowItemX = 202, kFirstWindowItemY = 263;


int Occurrences(const std::string& text, const std::string& what)
{
    int count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

class PageEditJourney : public ::testing::Test {
protected:
    explicit PageEditJourney(const std::string& name = "page_edit") : journey_{name} {}

    // The program started on the amplifier, written as amp.cir.
    void StartWithAmplifier()
    {
        std::ofstream(journey_.Root() / "amp.cir", std::ios::binary) << kAmplifier;
        ASSERT_TRUE(journey_.Start({"amp.cir"})) << journey_.Output();
    }
    // Ctrl+S, then the parts the saved file holds.
    int SavedParts()
    {
        journey_.Press("ctrl+s");
        return Occurrences(ReadAll(journey_.Root() / "amp.cir"), "[Comp]");
    }

    Journey journey_;
};

TEST_F(PageEditJourney, UndoTakesBackAPasteOnTheOtherPageWhileTheFirstIsShown)
{
    ASSERT_NO_FATAL_FAILURE(StartWithAmplifier());
    journey_.Capture("page_edit_opened");
    ASSERT_EQ(SavedParts(), 12);

    // The whole stage copied on page 1 and pasted on page 2.
    journey_.Press("ctrl+a");
    journey_.Press("ctrl+c");
    journey_.Tap(kPage2TabX, kTabY);
    journey_.Tap(kEmptyX, kEmptyY);
    journey_.Press("ctrl+v");
    journey_.Capture("page_edit_pasted");
    ASSERT_EQ(SavedParts(), 24);

    // Back on page 1, Undo takes the paste back and shows where it did so.
    journey_.Tap(kPage1TabX, kTabY);
    journey_.Press("ctrl+z");
    journey_.Capture("page_edit_undone");
    EXPECT_EQ(SavedParts(), 12) << "Undo on page 1 left the paste on page 2";

    // A second Undo puts the paste back; the clipboard still holds the stage for one more paste.
    journey_.Press("ctrl+z");
    EXPECT_EQ(SavedParts(), 24);
    journey_.Tap(kEmptyX + 200, kEmptyY);
    journey_.Press("ctrl+v");
    journey_.Capture("page_edit_pasted_again");
    EXPECT_EQ(SavedParts(), 36);
    EXPECT_TRUE(journey_.Running());
}

class CutPasteTwiceJourney : public PageEditJourney {
protected:
    CutPasteTwiceJourney() : PageEditJourney("cut_paste_twice") {}
};

// The first paste puts back what was cut, labels as they were; the second is a copy, whose
// labels are renamed like its part names, so that it is not joined to the first.
TEST_F(CutPasteTwiceJourney, TheSecondPasteOfACutIsACopyWithItsOwnNodes)
{
    ASSERT_NO_FATAL_FAILURE(StartWithAmplifier());
    journey_.Press("ctrl+a");
    journey_.Press("ctrl+x");
    journey_.Tap(kEmptyX - 300, kEmptyY - 250);
    journey_.Press("ctrl+v");
    journey_.Tap(kEmptyX - 300, kEmptyY);
    journey_.Press("ctrl+v");
    journey_.Capture("cut_paste_twice");
    ASSERT_EQ(SavedParts(), 24);
    const std::string text = ReadAll(journey_.Root() / "amp.cir");
    for (const char* label : {"IN", "OUT", "VCC", "VEE"}) {
        const std::string line = std::string("Text=") + label + "\r\n";
        EXPECT_EQ(Occurrences(text, line), std::string(label) == "OUT" ? 1 : 2) << label << " joins the copy to the original";
    }
    EXPECT_EQ(Occurrences(text, "Text=OUT1\r\n"), 1) << text;
    EXPECT_TRUE(journey_.Running());
}

class TwoCircuitsJourney : public PageEditJourney {
protected:
    TwoCircuitsJourney() : PageEditJourney("clipboard_two_circuits") {}
};

// The amplifier is cut, the RC filter of another circuit copied; Undo in the amplifier's window
// gives the amplifier back, not the filter.
TEST_F(TwoCircuitsJourney, UndoOfACutGivesBackWhatWasCutAfterACopyInAnotherCircuit)
{
    std::filesystem::copy_file(std::filesystem::path(KQ5_SOURCE_DIR) / "examples" / "rc_step.cir", journey_.Root() / "rc_step.cir");
    ASSERT_NO_FATAL_FAILURE(StartWithAmplifier());
    ASSERT_EQ(SavedParts(), 12);
    const std::string before = ReadAll(journey_.Root() / "amp.cir");
    journey_.Press("ctrl+a");
    journey_.Press("ctrl+x");
    ASSERT_EQ(SavedParts(), 0);

    journey_.Press("ctrl+o");
    journey_.Type("rc_step.cir");
    journey_.Press("Return");
    journey_.Press("ctrl+a");
    journey_.Press("ctrl+c");
    journey_.Tap(kWindowsMenuX, kMenuBarY);
    journey_.Tap(kFirstWindowItemX, kFirstWindowItemY);
    journey_.Press("ctrl+z");
    journey_.Capture("clipboard_two_circuits_undone");
    EXPECT_EQ(SavedParts(), 12);
    const std::string undone = ReadAll(journey_.Root() / "amp.cir");
    for (const char* line : {"PART,X1\r\n", "PART,R2\r\n", "PART,RL\r\n", "Text=VCC\r\n", "Text=OUT\r\n", "[Wire]"})
        EXPECT_EQ(Occurrences(undone, line), Occurrences(before, line)) << line << " is not as it was before the cut";
    EXPECT_EQ(Occurrences(undone, "PART,C1\r\n"), 0) << "Undo pasted the other circuit's filter";

    // Undo again cuts it once more; the clipboard still holds the filter, which pastes whole.
    journey_.Press("ctrl+z");
    EXPECT_EQ(SavedParts(), 0);
    journey_.Tap(kEmptyX, kEmptyY);
    journey_.Press("ctrl+v");
    journey_.Capture("clipboard_two_circuits_pasted");
    EXPECT_EQ(SavedParts(), 5);
    EXPECT_EQ(Occurrences(ReadAll(journey_.Root() / "rc_step.cir"), "[Comp]"), 5);
    EXPECT_TRUE(journey_.Running());
}

class ClickJourney : public PageEditJourney {
protected:
    ClickJourney() : PageEditJourney("clipboard_clicks") {}
};

// A click, with or without Shift, that does not move the pointer is a click: Shift adds the op-amp
// to the selected feedback resistor, so that both are cut; a click on a part just pasted leaves
// the paste for Undo to take back.
TEST_F(ClickJourney, ShiftClickAddsAPartAndAClickOnAPastedPartKeepsItsUndo)
{
    constexpr int kFeedbackX = 277, kFeedbackY = 218;  // R2's body
    constexpr int kOpampX = 263, kOpampY = 266;        // X1's body
    constexpr int kLoadX = 325, kLoadY = 266;          // RL's body
    ASSERT_NO_FATAL_FAILURE(StartWithAmplifier());
    journey_.Tap(kFeedbackX, kFeedbackY);
    journey_.ShiftClick(kOpampX, kOpampY);
    journey_.Settle();
    journey_.Capture("clipboard_clicks_shift");
    journey_.Press("ctrl+x");
    const int left = SavedParts();
    const std::string cut = ReadAll(journey_.Root() / "amp.cir");
    EXPECT_EQ(left, 10) << "Shift+click did not add the op-amp to the selection";
    EXPECT_EQ(Occurrences(cut, "PART,X1\r\n"), 0);
    EXPECT_EQ(Occurrences(cut, "PART,R2\r\n"), 0);
    journey_.Press("ctrl+z");
    ASSERT_EQ(SavedParts(), 12);

    // The load resistor copied and pasted at an empty spot, where its body lies along the row
    // of the click from the click on; a click on it, then Undo.
    journey_.Tap(kLoadX, kLoadY);
    journey_.Press("ctrl+c");
    journey_.Tap(kEmptyX, kEmptyY);
    journey_.Press("ctrl+v");
    ASSERT_EQ(SavedParts(), 13);
    journey_.Tap(kEmptyX + 21, kEmptyY + 2);
    journey_.Capture("clipboard_clicks_pasted");
    journey_.Press("ctrl+z");
    journey_.Capture("clipboard_clicks_undone");
    EXPECT_EQ(SavedParts(), 12) << "a click on the pasted part took the paste from Undo";
    EXPECT_TRUE(journey_.Running());
}

class DragJourney : public PageEditJourney {
protected:
    DragJourney() : PageEditJourney("drag_past_edge") {}
};

// The grid x of the part named, as saved.
int SavedPartX(const std::string& text, const std::string& part)
{
    const std::size_t name = text.find("PART," + part + "\r\n");
    const std::size_t grid = name == std::string::npos ? name : text.rfind("\nGrid=", name);
    return grid == std::string::npos ? -1 : std::atoi(text.c_str() + grid + 6);
}

// The load resistor dragged out of the right edge of the pane: the pane scrolls on while the
// pointer is out there, so the part lands further right than the pane showed.
TEST_F(DragJourney, APartDraggedPastThePaneEdgeScrollsThePane)
{
    constexpr int kLoadX = 325, kLoadY = 266;  // RL's body, grid (40, 20)
    constexpr int kOutsideX = 1000;            // right of the pane, grid 124 unscrolled
    ASSERT_NO_FATAL_FAILURE(StartWithAmplifier());
    journey_.Tap(kLoadX, kLoadY);
    journey_.Drag(kLoadX, kLoadY, kOutsideX, kLoadY);
    journey_.Settle();
    journey_.Capture("drag_past_edge");
    journey_.Press("ctrl+s");
    const int x = SavedPartX(ReadAll(journey_.Root() / "amp.cir"), "RL");
    // Without scrolling the pointer's 84 grid units would take RL from 37 to 121.
    EXPECT_GE(x, 121 + 6) << "the pane did not scroll under the dragged part";
    EXPECT_TRUE(journey_.Running());
}

class RubberBandJourney : public PageEditJourney {
protected:
    RubberBandJourney() : PageEditJourney("drag_keeps_supplies") {}
};

// With Rubberbanding on (Preferences), the op-amp dragged two units right keeps every connection:
// its inputs and output through new wires, and its supply pins to the VCC and VEE names that
// stay where they were.
TEST_F(RubberBandJourney, AnOpAmpDraggedKeepsItsSuppliesNamedAtItsPins)
{
    constexpr int kRubberbandBoxX = 736, kRubberbandBoxY = 461, kPreferencesOkX = 688, kPreferencesOkY = 608;
    constexpr int kOpampX = 263, kOpampY = 266;  // X1's body, grid (32, 20)
    ASSERT_NO_FATAL_FAILURE(StartWithAmplifier());
    journey_.Press("ctrl+shift+p");
    journey_.Tap(kRubberbandBoxX, kRubberbandBoxY);
    journey_.Capture("drag_keeps_supplies_preferences");
    journey_.Tap(kPreferencesOkX, kPreferencesOkY);
    journey_.Tap(kOpampX, kOpampY);
    journey_.Drag(kOpampX, kOpampY, kOpampX + 16, kOpampY);
    journey_.Settle();
    journey_.Capture("drag_keeps_supplies");
    journey_.Press("ctrl+s");
    const std::string text = ReadAll(journey_.Root() / "amp.cir");
    EXPECT_EQ(Occurrences(text, "Name=Opamp\r\nGrid=32,20\r\n"), 1) << text;
    for (const char* wire : {"Grids=30,18,32,18\r\n", "Grids=30,22,32,22\r\n", "Grids=37,20,39,20\r\n"})
        EXPECT_EQ(Occurrences(text, wire), 1) << wire << " is missing: a pin was left unconnected";
    EXPECT_EQ(Occurrences(text, "Grids=33,17,35,17\r\n"), 1) << "the VCC pin lost its supply";
    EXPECT_EQ(Occurrences(text, "Grids=33,23,35,23\r\n"), 1) << "the VEE pin lost its supply";
    EXPECT_TRUE(journey_.Running());
}

class FindComponentJourney : public PageEditJourney {
protected:
    FindComponentJourney() : PageEditJourney("find_component_none") {}
};

// Component > Find Component with a name that no part has nor holds answers "No items found."
TEST_F(FindComponentJourney, ANameOfNoPartIsAnswered)
{
    ASSERT_NO_FATAL_FAILURE(StartWithAmplifier());
    const Shot idle = journey_.Capture();
    journey_.Press("alt+c");
    journey_.Press("Up Return");  // the popup's last item
    journey_.Type("ZZTOP");
    journey_.Press("Return");
    const Shot answered = journey_.Capture("find_component_none");
    EXPECT_FALSE(answered.SameAs(idle, 553, 428, 713, 546)) << "no message for a name that matches no part";
    journey_.Press("Return");
    EXPECT_TRUE(journey_.Capture().SameAs(idle, 553, 428, 713, 546));
    EXPECT_TRUE(journey_.Running());
}

}  // namespace
}  // namespace kq5::journey
