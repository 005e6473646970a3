// Model libraries in a user's hands: a SPICE text of models becomes a binary library through
// File > Translate, and the library goes back to a SPICE text the same way, each under the name
// the save dialog offers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

TEST(LibraryJourney, TranslatesTextToLibraryAndBackUnderTheOfferedNames)
{
    Journey journey("library");
    {
        std::ofstream text(journey.Root() / "parts.ckt", std::ios::binary);
        text << "* three parts\n"
                ".MODEL DFAST D (IS=2N RS=0.5 CJO=4P)\n"
                ".MODEL QSMALL NPN (BF=200 IS=15F VAF=90)\n"
                // Its last value ends the first line past the line width.
                ".MODEL DWIDE D (IS=2N N=1.5 BV=100 IBV=100U RS=0.5 TT=10N CJO=4P VJ=0.7 M=0.33)\n";
    }
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Key("ctrl+o");
    journey.Settle();
    journey.Type("parts.ckt");
    journey.Key("Return");
    journey.Settle();

    // SPICE Text File to KQ5 Binary Library, accepting parts.LBR.
    const std::filesystem::path library = journey.Root() / "parts.LBR";
    journey.Key("alt+f");
    journey.Key("t");
    journey.Key("l");
    journey.Settle();
    journey.Key("Return");
    ASSERT_TRUE(journey.WaitUntil([&] { return std::filesystem::exists(library); }, 10)) << journey.Output();
    journey.Settle();
    const std::string binary = ReadAll(library);

    // KQ5 Binary Library to SPICE Text File from the library's window, accepting parts.LIB. A
    // dialog that held out for a binary library's extension would leave no text, and answered
    // with such a name it would write the text over the library.
    const std::filesystem::path back = journey.Root() / "parts.LIB";
    journey.Key("alt+f");
    journey.Key("t");
    journey.Key("t");
    journey.Settle();
    journey.Key("Return");
    const bool written = journey.WaitUntil([&] { return std::filesystem::exists(back); }, 10);
    journey.Capture("library_to_text");
    if (!written) {
        // Out of the warning and the dialog, so that the program can end.
        journey.Key("Return");
        journey.Settle();
        journey.Key("Escape");
    }
    ASSERT_TRUE(written) << "no SPICE text written under the offered name";
    const std::string text = ReadAll(back);
    EXPECT_NE(text.find(".MODEL DFAST D ("), std::string::npos) << text;
    EXPECT_NE(text.find(".MODEL QSMALL NPN ("), std::string::npos) << text;
    EXPECT_NE(text.find("BF=200"), std::string::npos) << text;
    EXPECT_NE(text.find(".MODEL DWIDE D ("), std::string::npos) << text;
    EXPECT_EQ(text.find("+)"), std::string::npos) << "a closing parenthesis alone on a line:\n" << text;
    EXPECT_EQ(ReadAll(library), binary) << "the binary library changed";
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
