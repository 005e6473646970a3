// The attribute dialog's own error box: an NPN placed and OK pressed before a model was chosen
// says "No Model Name Given."; while that box is up the dialog behind it takes no clicks, so a
// second OK does not stack a second box out of sight, and once the box is closed and a model is
// chosen OK places the part.
#include <gtest/gtest.h>

#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// Places on the program's screen (the frame maximised, as it starts in a fresh settings folder).
constexpr int kNpnButtonX = 648, kButtonY = 48;
constexpr int kPartX = 400, kPartY = 304;
// The NPN's attribute dialog: its OK button and the model 2N3904, third in the model list.
constexpr int kAttributeOkX = 720, kAttributeOkY = 375;
constexpr int k2N3904X = 788, k2N3904Y = 422;

TEST(AttributeErrorJourney, ASecondOkWhileTheErrorBoxIsUpLeavesTheDialogWorking)
{
    Journey journey("attribute_error");
    ASSERT_TRUE(journey.Start()) << journey.Output();

    journey.Click(kNpnButtonX, kButtonY);
    journey.Click(kPartX, kPartY);
    journey.Settle();
    journey.Click(kAttributeOkX, kAttributeOkY);
    journey.Settle();
    journey.Capture("attribute_error_box");

    // An impatient second OK on the dialog behind the box.
    journey.Click(kAttributeOkX, kAttributeOkY);
    journey.Settle();

    // The box closed with its key, the model chosen, OK: the dialog goes and the part is placed.
    journey.Key("Return");
    journey.Settle();
    journey.Click(k2N3904X, k2N3904Y);
    journey.Click(kAttributeOkX, kAttributeOkY);
    journey.Settle();
    journey.Capture("attribute_error_placed");
    journey.Key("ctrl+s");
    journey.Settle();
    journey.Type("npn.cir");
    journey.Key("Return");
    const std::filesystem::path saved = journey.Root() / "npn.cir";
    ASSERT_TRUE(journey.WaitUntil([&] { return !ReadAll(saved).empty(); }, 10)) << "the drawing could not be saved";
    const std::string text = ReadAll(saved);
    EXPECT_NE(text.find("Name=NPN"), std::string::npos) << text;
    EXPECT_NE(text.find("MODEL,2N3904"), std::string::npos) << text;
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
