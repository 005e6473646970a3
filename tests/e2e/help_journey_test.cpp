// Help as a user asks for it: F1 in the dialog in front opens the help on that dialog, Alt+F1 in a
// netlist the help on the statement under the caret, the help bar tells what is under the pointer.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

constexpr std::uint32_t kActiveCaption = 0x000080;

// The dark pixels of the help bar's text, along the left half of the frame's bottom row.
int HelpBarText(const Shot& shot)
{
    constexpr std::uint32_t kText = 0x000000;
    return shot.Count(0, shot.height - 20, shot.width / 2, shot.height, kText);
}

// The top row of the active window's caption (the only caption drawn in the active colour while
// a dialog is in front); -1 when there is none.
int ActiveCaptionRow(const Shot& shot)
{
    for (int y = 0; y < shot.height; ++y)
        if (shot.Count(0, y, shot.width, y + 1, kActiveCaption) > 150) return y;
    return -1;
}

// Opens a dialog by its keys, presses F1 and then Return: the help window comes in front of the
// dialog and its OK gives the dialog back.
void ExpectF1OpensHelpOver(Journey& journey, const std::string& openKeys, const std::string& name)
{
    journey.Press(openKeys);
    const int dialogCaption = ActiveCaptionRow(journey.Capture(name));
    ASSERT_GE(dialogCaption, 0) << name << ": the dialog did not open";
    journey.Press("F1");
    const int helpCaption = ActiveCaptionRow(journey.Capture(name + "_help"));
    EXPECT_GE(helpCaption, 0) << name << ": nothing in front after F1";
    EXPECT_NE(helpCaption, dialogCaption) << name << ": F1 opened no help window";
    journey.Press("Return");
    EXPECT_EQ(ActiveCaptionRow(journey.Capture()), dialogCaption) << name << ": the dialog is not back in front";
    journey.Press("Escape");
}

// The help's own contents tell the user to press F1 in any dialog for help on it. F1 in a modal
// dialog used to do nothing at all, in a dialog with a Help button as in the About box and the
// Statistics.
TEST(HelpJourney, F1InADialogOpensItsHelp)
{
    Journey journey("help_f1");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    ExpectF1OpensHelpOver(journey, "alt+f b", "help_f1_title_block");
    ExpectF1OpensHelpOver(journey, "alt+h a", "help_f1_about");
    ExpectF1OpensHelpOver(journey, "alt+z", "help_f1_statistics");
    EXPECT_TRUE(journey.Running());
}

// Alt+F1 in a netlist shows the syntax of the statement under the caret, in a help window of its
// own size, not the contents that F1 shows. It used to show nothing at all.
TEST(HelpJourney, AltF1ShowsTheHelpOfTheStatementUnderTheCaret)
{
    Journey journey("help_statement");
    std::ofstream(journey.Root() / "rc.ckt", std::ios::binary) << "RC low pass\n"
                                                               "V1 IN 0 PULSE 0 1 0 1U 1U 1M 2M\n"
                                                               "R1 IN OUT 1K\n"
                                                               "C1 OUT 0 1U\n"
                                                               ".TRAN 10U 5M\n"
                                                               ".END\n";
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Press("ctrl+o");
    journey.Type("rc.ckt");
    journey.Press("Return");
    journey.Press("ctrl+Home Down Down Down Down");  // the caret on the .TRAN line
    journey.Press("alt+F1");
    const int statementHelp = ActiveCaptionRow(journey.Capture("help_statement_tran"));
    ASSERT_GE(statementHelp, 0) << "Alt+F1 opened no help window";
    journey.Press("Escape");
    journey.Press("F1");
    const int contents = ActiveCaptionRow(journey.Capture("help_statement_contents"));
    ASSERT_GE(contents, 0) << "F1 opened no help window";
    EXPECT_GT(statementHelp, contents) << "Alt+F1 showed the contents, not the help on .TRAN";
    journey.Press("Escape");
    EXPECT_TRUE(journey.Running());
}

// The help bar over a schematic's drawing tells the edit mode a click works in, and follows a
// change of mode; over the pane's scroll bar it names it. It used to stay empty over the whole
// window, borders aside.
TEST(HelpJourney, TheHelpBarOverASchematicTellsTheEditMode)
{
    Journey journey("help_bar_schematic");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Move(600, 400);
    journey.Settle();
    const Shot select = journey.Capture("help_bar_select_mode");
    EXPECT_GT(HelpBarText(select), 50) << "the help bar says nothing over the drawing";
    journey.Press("alt+m w Return");  // Mode > Wire
    journey.Move(610, 410);
    journey.Settle();
    const Shot wire = journey.Capture("help_bar_wire_mode");
    EXPECT_GT(HelpBarText(wire), 50);
    EXPECT_FALSE(wire.SameAs(select, 0, wire.height - 20, wire.width / 2, wire.height)) << "the help bar did not follow the mode";
    journey.Move(select.width - 8, 400);  // the pane's vertical scroll bar
    journey.Settle();
    EXPECT_FALSE(journey.Capture("help_bar_scroll_bar").SameAs(wire, 0, wire.height - 20, wire.width / 2, wire.height))
        << "the help bar did not name the scroll bar";
    EXPECT_TRUE(journey.Running());
}

// The help bar describes the component under the pointer in a palette and in the Component
// menu: its name, model keyword and definition. Both used to leave the bar empty.
TEST(HelpJourney, TheHelpBarDescribesTheComponentUnderThePointer)
{
    Journey journey("help_bar_components");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Press("ctrl+1");  // the analog palette
    journey.Move(137, 178);   // its "Capacitor"
    journey.Settle();
    const Shot palette = journey.Capture("help_bar_palette_capacitor");
    EXPECT_GT(HelpBarText(palette), 150) << "the help bar does not describe the palette's component";
    journey.Press("alt+c Down Down Right Right");  // Component > Analog > Passive > Resistor
    const Shot menu = journey.Capture("help_bar_menu_resistor");
    EXPECT_GT(HelpBarText(menu), 150) << "the help bar does not describe the menu's component";
    EXPECT_FALSE(menu.SameAs(palette, 0, menu.height - 20, menu.width / 2, menu.height)) << "two components, one text";
    journey.Press("Escape Escape Escape Escape");
    EXPECT_TRUE(journey.Running());
}

// A link followed from the contents to a wider topic shows the help window whole: its OK button
// at the right of the bottom row is drawn, not left as a sliver of its edge where the window had
// grown past it.
TEST(HelpJourney, ALinkFollowedShowsTheWholeHelpWindow)
{
    constexpr std::uint32_t kBlack = 0x000000;
    Journey journey("help_link");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Press("F1");
    journey.Press("Tab Return");  // the first link, "New circuits and libraries"
    const Shot shot = journey.Capture("help_link_new");
    const int caption = ActiveCaptionRow(shot);
    ASSERT_GE(caption, 0) << "no help window";
    int right = 0;
    for (int x = 0; x < shot.width; ++x)
        if (shot.At(x, caption + 3) == kActiveCaption) right = x;
    // The OK button: the bottom right of the window, under the topic's text and links.
    const int okBlack = shot.Count(right - 100, caption + 100, right + 1, caption + 140, kBlack);
    EXPECT_GT(okBlack, 150) << "the OK button is not drawn (" << okBlack << " dark pixels)";
    journey.Press("Escape");
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
