// Editing as a user edits: a part selected, then Copy, Paste, Cut, Clear and Undo (twice: the
// second redoes) through the Edit menu, the tool bar and the keys; a page added and deleted; the
// circuit saved, the program quit and started again, the file reopened. And the windows a user
// makes of many runs: a histogram after a Monte Carlo run, a performance window and a 3D window
// after a stepped run. What is checked is what the user gets: the saved file and the screen.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "journey.h"

namespace kq5::journey {
namespace {

const std::filesystem::path kExamples = std::filesystem::path(KQ5_SOURCE_DIR) / "examples";

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
// An analysis window: the Limits dialog's close box, and its menus.
constexpr int kLimitsCloseX = 698, kLimitsCloseY = 94;
constexpr int kMonteCarloMenuX = 491, kAddHistogramY = 49, kAddHistogramX = 518;
constexpr int kFunctionOkX = 809, kFunctionOkY = 410;
// The Analysis menu's submenus of many-run windows, each with its Add item first.
constexpr int kAnalysisMenuX = 287, kSubmenuItemX = 334, kPerformanceItemY = 229, k3DItemY = 248, kAddItemX = 535;
constexpr int kPerformanceOkX = 430, kPerformanceOkY = 660;
constexpr int k3DOkX = 434, k3DOkY = 665;

int Occurrences(const std::string& text, const std::string& word)
{
    int count = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + word.size())) ++count;
    return count;
}

// The drawn example with its own text area replaced by the statements, and section lines
// changed: what a user sets in the dialogs, here written into the file the user opens.
std::string ExampleWith(const std::string& statements, const std::vector<std::pair<std::string, std::string>>& edits)
{
    std::string text = ReadAll(kExamples / "rc_step.cir");
    const std::size_t len = text.find("Len=");
    const std::size_t body = text.find('\n', len) + 1;
    const std::size_t end = text.find("\r\n\r\n[Printer]", body);
    if (len == std::string::npos || end == std::string::npos) return {};
    text = text.substr(0, len) + "Len=" + std::to_string(statements.size()) + "\r\n" + statements + text.substr(end);
    for (const auto& [from, to] : edits) {
        const std::size_t at = text.find(from);
        if (at == std::string::npos) return {};
        text.replace(at, from.size(), to);
    }
    return text;
}

// A part of the screen differs between two captures.
bool Changed(const Shot& a, const Shot& b, int x, int y, int half = 10)
{
    return !a.SameAs(b, x - half, y - half, x + half, y + half);
}

class EditJourney : public ::testing::Test {
protected:
    Journey journey_{"edit"};
    std::filesystem::path saved_;

    void Keys(const std::string& keys)
    {
        journey_.Key(keys);
        journey_.Settle();
    }
    void Click(int x, int y)
    {
        journey_.Click(x, y);
        journey_.Settle();
    }
    void EditMenu(int itemY)
    {
        Click(kEditMenuX, kMenuBarY);
        Click(kEditItemX, itemY);
    }
    // Ctrl+S and the resistors the saved file holds.
    int SavedResistors()
    {
        Keys("ctrl+s");
        return Occurrences(ReadAll(saved_), "Name=Resistor");
    }
};

TEST_F(EditJourney, CopyPasteCutClearAndUndoThroughMenuToolBarAndKeysThenPagesAndARestart)
{
    ASSERT_TRUE(journey_.Start()) << journey_.Output();
    saved_ = journey_.Root() / "edits.cir";

    // A resistor from the tool bar, its attribute dialog closed with OK; then Select mode.
    Click(kResistorButtonX, kButtonY);
    Click(kPartX, kPartY);
    Click(kAttributeOkX, kAttributeOkY);
    Keys("alt+m s");
    Click(kSpotX, kSpotY);  // nothing selected
    const Shot idle = journey_.Capture("edit_nothing_selected");

    // Selected, the part can be cut, copied and cleared: those buttons light up, Paste not yet.
    Click(kBodyX, kPartY);
    const Shot selected = journey_.Capture("edit_selected");
    EXPECT_TRUE(Changed(idle, selected, kCutButtonX, kButtonY)) << "Cut stays grey with a part selected";
    EXPECT_TRUE(Changed(idle, selected, kCopyButtonX, kButtonY)) << "Copy stays grey with a part selected";
    EXPECT_TRUE(Changed(idle, selected, kClearButtonX, kButtonY)) << "Clear stays grey with a part selected";
    EXPECT_FALSE(Changed(idle, selected, kPasteButtonX, kButtonY)) << "Paste lit with nothing copied";
    Keys("ctrl+c");
    EXPECT_TRUE(Changed(selected, journey_.Capture("edit_copied"), kPasteButtonX, kButtonY)) << "Paste stays grey after a copy";

    // Paste from the tool bar at an empty spot; the first save asks for the name.
    Click(kSpotX, kSpotY);
    Click(kPasteButtonX, kButtonY);
    journey_.Capture("edit_pasted");
    Keys("ctrl+s");
    journey_.Type("edits.cir");
    Keys("Return");
    ASSERT_EQ(Occurrences(ReadAll(saved_), "Name=Resistor"), 2) << ReadAll(saved_);

    // Keys, right after the dialog: Ctrl+Z takes the paste back, a second Ctrl+Z redoes it, Del
    // clears the pasted part, Ctrl+V pastes it once more, Ctrl+X cuts it.
    Keys("ctrl+z");
    EXPECT_EQ(SavedResistors(), 1);
    Keys("ctrl+z");
    EXPECT_EQ(SavedResistors(), 2);
    Keys("Delete");
    EXPECT_EQ(SavedResistors(), 1);
    Keys("ctrl+v");
    EXPECT_EQ(SavedResistors(), 2);
    Keys("ctrl+x");
    EXPECT_EQ(SavedResistors(), 1);

    // The Edit menu: Undo brings the cut part back, Clear removes it, Undo again; Copy the first
    // part and Paste it at the empty spot; Cut that.
    EditMenu(kUndoItemY);
    EXPECT_EQ(SavedResistors(), 2);
    EditMenu(kClearItemY);
    EXPECT_EQ(SavedResistors(), 1);
    EditMenu(kUndoItemY);
    EXPECT_EQ(SavedResistors(), 2);
    Click(kBodyX, kPartY);
    EditMenu(kCopyItemY);
    Click(kSpotX + 160, kSpotY);
    EditMenu(kPasteItemY);
    EXPECT_EQ(SavedResistors(), 3);
    EditMenu(kCutItemY);
    EXPECT_EQ(SavedResistors(), 2);

    // The tool bar: Undo, Clear, Cut and Copy.
    Click(kUndoButtonX, kButtonY);
    EXPECT_EQ(SavedResistors(), 3);
    Click(kClearButtonX, kButtonY);
    EXPECT_EQ(SavedResistors(), 2);
    Click(kBodyX, kPartY);
    Click(kCutButtonX, kButtonY);
    EXPECT_EQ(SavedResistors(), 1);
    Click(kUndoButtonX, kButtonY);
    Click(kBodyX, kPartY);
    Click(kCopyButtonX, kButtonY);
    Click(kSpotX + 320, kSpotY);
    Keys("ctrl+v");
    EXPECT_EQ(SavedResistors(), 3);
    journey_.Capture("edit_after_edits");

    // Pages: Delete Page is grey with one page and lit with two; the new page goes again.
    Click(kEditMenuX, kMenuBarY);
    const Shot onePage = journey_.Capture("edit_menu_one_page");
    Click(kEditItemX, kAddPageItemY);
    Keys("ctrl+s");
    EXPECT_EQ(Occurrences(ReadAll(saved_), "[Page]"), 2);
    Click(kEditMenuX, kMenuBarY);
    const Shot twoPages = journey_.Capture("edit_menu_two_pages");
    EXPECT_TRUE(Changed(onePage, twoPages, kEditItemX + 10, kDeletePageItemY, 6)) << "Delete Page stays grey with two pages";
    Click(kEditItemX, kDeletePageItemY);
    Keys("Return");  // the new page, chosen in the list
    Keys("ctrl+s");
    EXPECT_EQ(Occurrences(ReadAll(saved_), "[Page]"), 1);

    // Quit, start again, open the file: the same drawing, and saving it again gives the same file.
    const std::string before = ReadAll(saved_);
    const Shot drawing = journey_.Capture("edit_before_quit");
    Keys("alt+F4");
    Keys("Return");  // "Quit Kestrion V?" Yes
    ASSERT_TRUE(journey_.WaitForExit(10)) << "the program did not end";
    ASSERT_TRUE(journey_.Start()) << journey_.Output();
    Keys("ctrl+o");
    journey_.Type("edits.cir");
    Keys("Return");
    const Shot reopened = journey_.Capture("edit_reopened");
    EXPECT_TRUE(reopened.SameAs(drawing, 0, 90, 1200, 900)) << "the reopened drawing differs";
    Keys("ctrl+s");
    EXPECT_EQ(ReadAll(saved_), before);
    EXPECT_TRUE(journey_.Running());
}

// The drawn example with R1 stepped from 1k to 3k: three runs.
std::string SteppedExample()
{
    return ExampleWith(
        "* R1 stepped from 1k to 3k",
        {{"Index=1\r\nStatus=Off\r\nMethod=Linear\r\nParameter Type=Component\r\n",
          "Index=1\r\nStatus=On\r\nMethod=Linear\r\nParameter Type=Component\r\nName=R1\r\nFrom=1K\r\nTo=3K\r\nValue=1K\r\n"}});
}

// Opens a circuit by File > Open, runs its transient analysis and closes the Limits dialog.
void OpenAndRun(Journey& journey, const std::string& name)
{
    journey.OpenAndRunTransient(name);
    journey.Settle();
    journey.Click(kLimitsCloseX, kLimitsCloseY);
    journey.Settle();
}

// Opens the Analysis menu's submenu at that row: its Add item is lit when its text is drawn in
// black (grey when not).
bool AddItemLit(Journey& journey, int itemY, const std::string& pngName)
{
    journey.Click(kAnalysisMenuX, kMenuBarY);
    journey.Click(kSubmenuItemX, itemY);
    journey.Settle();
    return journey.Capture(pngName).Count(kAddItemX - 70, itemY - 7, kAddItemX + 50, itemY + 7, 0x000000) > 20;
}

TEST(MultiRunJourney, AHistogramAfterMonteCarloAndAPerformanceWindowAfterStepping)
{
    Journey journey("multirun");
    const std::string monteCarlo = ExampleWith(
        "* R1 within 10 %\r\n.MODEL RM RES (R=1 DEV=10%)",
        {{"ONV=0,0,MODEL,\r\n", "ONV=0,0,MODEL,RM\r\n"},
         {"Analysis=Transient\r\nStatus=Off\r\nDistribution=Normal\r\nNumber of Runs\r\n",
          "Analysis=Transient\r\nStatus=On\r\nDistribution=Normal\r\nNumber of Runs=20\r\n"}});
    const std::string stepped = SteppedExample();
    ASSERT_FALSE(monteCarlo.empty());
    ASSERT_FALSE(stepped.empty());
    std::ofstream(journey.Root() / "mc.cir", std::ios::binary) << monteCarlo;
    std::ofstream(journey.Root() / "stepped.cir", std::ios::binary) << stepped;
    ASSERT_TRUE(journey.Start()) << journey.Output();

    // Twenty Monte Carlo runs: Add Histogram is lit in the Monte Carlo menu and makes a window.
    OpenAndRun(journey, "mc.cir");
    const Shot plot = journey.Capture("multirun_monte_carlo");
    journey.Click(kMonteCarloMenuX, kMenuBarY);
    journey.Settle();
    const Shot menu = journey.Capture("multirun_monte_carlo_menu");
    // The item's text is drawn in black when it is enabled, in grey when not.
    EXPECT_GT(menu.Count(kAddHistogramX - 50, kAddHistogramY - 7, kAddHistogramX + 40, kAddHistogramY + 7, 0x000000), 20)
        << "Add Histogram is grey after a Monte Carlo run";
    journey.Click(kAddHistogramX, kAddHistogramY);
    journey.Settle();
    journey.Click(kFunctionOkX, kFunctionOkY);
    journey.Settle();
    EXPECT_FALSE(journey.Capture("multirun_histogram").SameAs(plot, 0, 90, 1200, 900)) << "no histogram window";
    journey.Key("F3");
    journey.Settle();
    journey.Key("ctrl+s");
    journey.Settle();
    EXPECT_EQ(Occurrences(ReadAll(journey.Root() / "mc.cir"), "[Monte Carlo]"), 1);

    // Three stepped runs: Add Performance Window is lit and makes a window.
    OpenAndRun(journey, "stepped.cir");
    EXPECT_TRUE(AddItemLit(journey, kPerformanceItemY, "multirun_performance_menu")) << "Add Performance Window is grey after a stepped run";
    journey.Click(kAddItemX, kPerformanceItemY);
    journey.Settle();
    journey.Click(kPerformanceOkX, kPerformanceOkY);
    journey.Settle();
    journey.Capture("multirun_performance");
    journey.Key("F3");
    journey.Settle();
    journey.Key("ctrl+s");
    journey.Settle();
    EXPECT_EQ(Occurrences(ReadAll(journey.Root() / "stepped.cir"), "[Performance]"), 1);
    EXPECT_TRUE(journey.Running());
}

TEST(MultiRunJourney, A3DWindowAfterStepping)
{
    Journey journey("threed");
    const std::string stepped = SteppedExample();
    ASSERT_FALSE(stepped.empty());
    std::ofstream(journey.Root() / "stepped.cir", std::ios::binary) << stepped;
    ASSERT_TRUE(journey.Start()) << journey.Output();

    // Three stepped runs: Add 3D Window is lit in the 3D Windows submenu; its dialog's OK leaves a
    // 3D window of V(1) against T and R1, its surface drawn in red and green.
    OpenAndRun(journey, "stepped.cir");
    const Shot plot = journey.Capture("threed_plot");
    EXPECT_TRUE(AddItemLit(journey, k3DItemY, "threed_menu")) << "Add 3D Window is grey after a stepped run";
    journey.Click(kAddItemX, k3DItemY);
    journey.Settle();
    journey.Capture("threed_dialog");
    journey.Click(k3DOkX, k3DOkY);
    journey.Settle();
    const Shot window = journey.Capture("threed_window");
    EXPECT_FALSE(window.SameAs(plot, 0, 90, 1200, 900)) << "no 3D window";
    EXPECT_GT(window.Count(0, 90, 1264, 940, 0xFF0000), 20000) << "no surface in the 3D window";
    EXPECT_EQ(window.Count(0, 90, 1264, 940, 0x000080), 0) << "the Add 3D Plot dialog is still open";
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
