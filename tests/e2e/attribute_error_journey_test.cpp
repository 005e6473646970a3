// The attribute dialog's own error box: an NPN placed and OK pressed before a model was chosen
// says "No Model Name Given."; while that box is up the dialog behind it takes no clicks, so a
// second OK does not stack a second box out of sight, and once the box is closed and a model is
// chosen OK places the part.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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
// Edit, which opens the model panel, and the panel's BF value, second in its first row.
constexpr int kEditX = 843, kEditY = 375;
constexpr int kBfX = 656, kBfY = 652;
// The NPN of NPN.CIR (grid 20,20) in its window.
constexpr int kDrawnNpnX = 178, kDrawnNpnY = 266;
// The attribute list's VALUE line (second), Expand..., and the OK of the editor it opens.
constexpr int kValueLineX = 422, kValueLineY = 463;
constexpr int kExpandX = 592, kExpandY = 425;
constexpr int kExpandOkX = 768, kExpandOkY = 446;
// Add, the name edit and the value box of the attribute dialog.
constexpr int kAddX = 720, kAddY = 454;
constexpr int kNameEditX = 520, kNameEditY = 374;
constexpr int kValueBoxX = 500, kValueBoxY = 400;

// NPN.CIR: an NPN whose model QX the text area defines, a .PARAM line after it; CR LF line ends
// as the program writes them.
void WriteNpnCircuit(const std::filesystem::path& path)
{
    const std::string area = ".MODEL QX NPN (BF=100 IS=1E-15)\r\n.PARAM P=1\r\n";
    std::ofstream(path, std::ios::binary)
        << "[Main]\r\nFileType=CIR\r\nVersion=5.20\r\n\r\n[Comp]\r\nName=NPN\r\nGrid=20,20\r\n\r\n"
        << "[Attr]\r\nONV=8,8,PART,Q1\r\nStyle=8192\r\n\r\n[Attr]\r\nONV=8,22,MODEL,QX\r\nStyle=8192\r\n\r\n"
        << "[Schematic]\r\nPage 0=0\r\nTabSize 0=320\r\n\r\n[Page]\r\nIndex=0\r\nName=Page 1\r\nGrid=0,0\r\n\r\n"
        << "[Text Area]\r\nLen=" << area.size() << "\r\n" << area << "\r\n";
}

// NPN.CIR opened and its NPN's attribute dialog opened with a double click; false when the
// program did not start.
bool OpenNpnAttributes(Journey& journey)
{
    WriteNpnCircuit(journey.Root() / "NPN.CIR");
    if (!journey.Start({"NPN.CIR"})) return false;
    journey.Settle();
    journey.DoubleClick(kDrawnNpnX, kDrawnNpnY);
    journey.Settle();
    return true;
}

// Save (Ctrl+S) of a circuit that has its name; the file once written again.
std::string SaveNamed(Journey& journey, const std::string& name)
{
    const std::string before = ReadAll(journey.Root() / name);
    journey.Key("ctrl+s");
    journey.WaitUntil([&] { return ReadAll(journey.Root() / name) != before; }, 10);
    return ReadAll(journey.Root() / name);
}

// Save (Ctrl+S) of the untitled drawing under that name; the file as written, empty when it was
// not written.
std::string SaveUntitled(Journey& journey, const std::string& name)
{
    journey.Key("ctrl+s");
    journey.Settle();
    journey.Type(name);
    journey.Key("Return");
    const std::filesystem::path saved = journey.Root() / name;
    journey.WaitUntil([&] { return !ReadAll(saved).empty(); }, 10);
    return ReadAll(saved);
}

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
    const std::string text = SaveUntitled(journey, "npn.cir");
    ASSERT_FALSE(text.empty()) << "the drawing could not be saved";
    EXPECT_NE(text.find("Name=NPN"), std::string::npos) << text;
    EXPECT_NE(text.find("MODEL,2N3904"), std::string::npos) << text;
    EXPECT_TRUE(journey.Running());
}

// The model panel: the library's 2N3904 chosen, its panel opened with Edit and one value changed.
// The panel shows the library's values, and the statement written into the circuit keeps them:
// before, a model not yet read by a build showed an empty panel, and the one value typed there
// became the whole model, every other parameter falling back to its default.
TEST(AttributeErrorJourney, ALibraryModelEditedInThePanelKeepsItsOtherValues)
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
    const std::string text = SaveUntitled(journey, "npn.cir");
    ASSERT_FALSE(text.empty()) << "the drawing could not be saved";
    // The circuit's own statement of the model: the value changed, the library's others kept.
    const std::size_t statement = text.find(".MODEL 2N3904 NPN (");
    ASSERT_NE(statement, std::string::npos) << text;
    const std::string line = text.substr(statement, text.find('\n', statement) - statement);
    EXPECT_NE(line.find("BF=200"), std::string::npos) << line;
    for (const char* kept : {"IS=6.734F", "VAF=74.03", "IKF=66.78M", "TF=301.2P", "CJE=4.493P"})
        EXPECT_NE(line.find(kept), std::string::npos) << kept << " lost: " << line;
}

// A model the circuit defines in its text area, edited in the panel: its statement is rewritten
// in place and the line after it stays a line of its own. Before, the rewritten statement lost
// its line end and took the next statement (here the .PARAM) into its own line.
TEST(AttributeErrorJourney, AModelEditedInThePanelKeepsTheLineAfterIt)
{
    Journey journey("model_panel_text_area");
    ASSERT_TRUE(OpenNpnAttributes(journey)) << journey.Output();
    journey.Click(kEditX, kEditY);
    journey.Settle();
    journey.Capture("model_panel_text_area");
    journey.Click(kBfX, kBfY);
    journey.Key("End BackSpace BackSpace BackSpace");
    journey.Type("200");
    journey.Click(kAttributeOkX, kAttributeOkY);
    journey.Settle();
    const std::string text = SaveNamed(journey, "NPN.CIR");
    EXPECT_NE(text.find(".MODEL QX NPN (IS=1E-15 BF=200)\r\n.PARAM P=1\r\n"), std::string::npos) << text;
}

// A value written on two lines in the Expand editor comes back as one line with one blank where
// the line broke; before, the editor's CR LF became two blanks.
TEST(AttributeErrorJourney, AnExpandedValueOnTwoLinesTakesOneBlankBetweenThem)
{
    Journey journey("attribute_expand");
    ASSERT_TRUE(OpenNpnAttributes(journey)) << journey.Output();
    journey.Click(kValueLineX, kValueLineY);
    journey.Click(kExpandX, kExpandY);
    journey.Settle();
    journey.Type("AREA=2");
    journey.Key("Return");
    journey.Type("OFF");
    journey.Capture("attribute_expand");
    journey.Click(kExpandOkX, kExpandOkY);
    journey.Settle();
    journey.Click(kAttributeOkX, kAttributeOkY);
    journey.Settle();
    const std::string text = SaveNamed(journey, "NPN.CIR");
    EXPECT_NE(text.find("VALUE,AREA=2 OFF\r\n"), std::string::npos) << text;
}

// A user attribute named VALUE_MAX, typed a letter at a time over the new line's "USER": the
// name passes through "VALUE" on the way and must not stay there. Before, the line became a
// second VALUE that could be neither renamed further nor deleted, and the value typed for it was
// saved under VALUE.
TEST(AttributeErrorJourney, AUserAttributeNamedPastAStandardNameKeepsItsName)
{
    Journey journey("attribute_user_name");
    ASSERT_TRUE(OpenNpnAttributes(journey)) << journey.Output();
    journey.Click(kAddX, kAddY);
    journey.Settle();
    journey.Click(kNameEditX, kNameEditY);
    journey.Key("End BackSpace BackSpace BackSpace BackSpace");
    journey.Type("VALUE_MAX");
    journey.Click(kValueBoxX, kValueBoxY);
    journey.Type("3");
    journey.Settle();
    journey.Capture("attribute_user_name");
    journey.Click(kAttributeOkX, kAttributeOkY);
    journey.Settle();
    const std::string text = SaveNamed(journey, "NPN.CIR");
    EXPECT_NE(text.find(",VALUE_MAX,3\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find(",VALUE,3\r\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace kq5::journey
