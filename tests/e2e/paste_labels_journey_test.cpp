// A drawing copied whole into a new circuit keeps its wiring by name: with "Text Increment" on
// (as the program starts), the two VCC labels and the two OUT labels of the copy still name one
// node each, so the pasted circuit is the circuit that was copied.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// A 10 V source feeding a divider of two 1k resistors; the source reaches R1 and R1 reaches R2
// through labels only.
constexpr const char* kDivider =
    "[Main]\nFileType=CIR\nVersion=5.20\nProgram=Kestrion V\nKQ5Version=2.1.2\n\n"
    "[Comp]\nName=V\nGrid=10,10\n\n[Attr]\nONV=0,0,PART,V1\n\n[Attr]\nONV=0,0,VALUE,10\n\n"
    "[Comp]\nName=Ground\nGrid=10,16\n\n"
    "[Comp]\nName=Resistor\nGrid=20,10\n\n[Attr]\nONV=0,0,PART,R1\n\n[Attr]\nONV=0,0,VALUE,1K\n\n"
    "[Comp]\nName=Resistor\nGrid=20,20\n\n[Attr]\nONV=0,0,PART,R2\n\n[Attr]\nONV=0,0,VALUE,1K\n\n"
    "[Comp]\nName=Ground\nGrid=26,20\n\n"
    "[Grid Text]\nText=VCC\nGrid=10,10\n\n[Grid Text]\nText=VCC\nGrid=20,10\n\n"
    "[Grid Text]\nText=OUT\nGrid=26,10\n\n[Grid Text]\nText=OUT\nGrid=20,20\n\n"
    "[Page]\nIndex=0\nName=Page 1\nGrid=0,0\n";

int Occurrences(const std::string& text, const std::string& what)
{
    int count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

TEST(PasteLabelsJourney, ACircuitPastedIntoANewWindowKeepsItsLabelsJoined)
{
    Journey journey("paste_labels");
    std::ofstream(journey.Root() / "divider.cir", std::ios::binary) << kDivider;
    ASSERT_TRUE(journey.Start({"divider.cir"})) << journey.Output();

    // Select All and Copy in the drawing, File > New (a schematic), a click, Paste.
    journey.Key("ctrl+a");
    journey.Key("ctrl+c");
    journey.Key("ctrl+n");
    journey.Settle();
    journey.Key("Return");
    journey.Settle();
    journey.Click(200, 200);
    journey.Key("ctrl+v");
    journey.Settle();
    journey.Capture("paste_labels_pasted");
    journey.Key("ctrl+s");
    journey.Settle();
    journey.Type("pasted.cir");
    journey.Key("Return");

    const std::filesystem::path saved = journey.Root() / "pasted.cir";
    ASSERT_TRUE(journey.WaitUntil([&] { return Occurrences(ReadAll(saved), "[Comp]") == 5; }, 10))
        << "the pasted drawing was not saved\n" << ReadAll(saved);
    const std::string text = ReadAll(saved);
    EXPECT_EQ(Occurrences(text, "Text=VCC\r\n") + Occurrences(text, "Text=VCC\n"), 2) << text;
    EXPECT_EQ(Occurrences(text, "Text=OUT\r\n") + Occurrences(text, "Text=OUT\n"), 2) << text;
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
