// The model panel of the attribute dialog in a user's hands: an NPN placed from the tool bar,
// the library's 2N3904 chosen, its panel opened with Edit and one value changed. The panel shows
// the library's values, and the statement written into the circuit keeps them: before, a model
// not yet read by a build showed an empty panel, and the one value typed there became the whole
// model, every other parameter falling back to its default.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// Places on the program's screen (the frame maximised, as it starts in a fresh settings folder).
constexpr int kNpnButtonX = 648, kButtonY = 48;
constexpr int kPartX = 400, kPartY = 304;
// The NPN's attribute dialog: OK, the model 2N3904 (third in the model list) and Edit.
constexpr int kAttributeOkX = 720, kAttributeOkY = 375;
constexpr int k2N3904X = 788, k2N3904Y = 422;
constexpr int kEditX = 843, kEditY = 375;
// The panel's BF value, second in its first row.
constexpr int kBfX = 656, kBfY = 652;

TEST(ModelPanelJourney, ALibraryModelEditedInThePanelKeepsItsOtherValues)
{
    Journey journey("model_panel");
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Click(kNpnButtonX, kButtonY);
    journey.Click(kPartX, kPartY);
    journey.Settle();
    journey.Click(k2N3904X, k2N3904Y);
    journey.Click(kEditX, kEditY);
    journey.Settle();
    journey.Capture("model_panel_open");
    journey.Click(kBfX, kBfY);
    journey.Key("End BackSpace BackSpace BackSpace BackSpace BackSpace");
    journey.Type("200");
    journey.Click(kAttributeOkX, kAttributeOkY);
    journey.Settle();
    journey.Key("ctrl+s");
    journey.Settle();
    journey.Type("npn.cir");
    journey.Key("Return");
    const std::filesystem::path saved = journey.Root() / "npn.cir";
    ASSERT_TRUE(journey.WaitUntil([&] { return !ReadAll(saved).empty(); }, 10)) << "the drawing could not be saved";
    const std::string text = ReadAll(saved);
    // The circuit's own statement of the model: the value changed, the library's others kept.
    const std::size_t statement = text.find(".MODEL 2N3904 NPN (");
    ASSERT_NE(statement, std::string::npos) << text;
    const std::string line = text.substr(statement, text.find('\n', statement) - statement);
    EXPECT_NE(line.find("BF=200"), std::string::npos) << line;
    for (const char* kept : {"IS=6.734F", "VAF=74.03", "IKF=66.78M", "TF=301.2P", "CJE=4.493P"})
        EXPECT_NE(line.find(kept), std::string::npos) << kept << " lost: " << line;
}

}  // namespace
}  // namespace kq5::journey
