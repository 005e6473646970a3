// Help as a user asks for it: F1 in the dialog in front opens the help on that dialog.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

constexpr std::uint32_t kActiveCaption = 0x000080;

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
// dialog used to do nothing at all, in a dialog with a Help button as in the About box.
TEST(HelpJourney, F1InADialogOpensItsHelp)
{
    Journey journey("help_f1");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    ExpectF1OpensHelpOver(journey, "alt+f b", "help_f1_title_block");
    ExpectF1OpensHelpOver(journey, "alt+h a", "help_f1_about");
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
