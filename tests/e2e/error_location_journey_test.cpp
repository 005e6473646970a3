// A run that fails on a part shows the user that part: its page comes up and the part stands
// selected, as the user would select it to edit it.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

// Two pages joined by the node label MID; C1 on the second page has a value that names nothing.
constexpr const char* kTwoPageCircuit = R"([Main]
FileType=CIR
Version=5.20
Program=Kestrion V
KQ5Version=2.1.2

[Comp]
Name=V
Grid=10,10

[Attr]
ONV=0,0,PART,V1

[Attr]
ONV=0,0,VALUE,PULSE 0 1 0 1U 1U 1 2

[Comp]
Name=Ground
Grid=10,16

[Comp]
Name=Resistor
Grid=10,10

[Attr]
ONV=8,8,PART,R1
Style=8192

[Attr]
ONV=8,22,VALUE,1K
Style=8192

[Grid Text]
Text=MID
Grid=16,10

[Comp]
Name=Capacitor
Grid=20,20
Page=1

[Attr]
ONV=4,12,PART,C1
Style=8192

[Attr]
ONV=4,26,VALUE,{ABC}
Style=8192

[Comp]
Name=Ground
Grid=24,20
Page=1

[Grid Text]
Text=MID
Grid=20,20
Page=1

[Page]
Index=0
Name=Page 1
Grid=0,0

[Page]
Index=1
Name=Page 2
Grid=0,0

[Limits]
Analysis=Transient
TRange=5m
NPts=51
Temp=27
)";

// Where C1's attribute texts stand on its page (the frame and the circuit maximised), below the
// red MID label, and the selection colour.
constexpr int kPartLeft = 140, kPartTop = 253, kPartRight = 230, kPartBottom = 295;
constexpr std::uint32_t kSelectColour = 0xFF0000;

TEST(ErrorLocationJourney, APartThatFailsTheRunShowsSelectedOnItsPage)
{
    Journey journey("error_location");
    std::ofstream(journey.Root() / "twopage.cir", std::ios::binary) << kTwoPageCircuit;
    ASSERT_TRUE(journey.Start()) << journey.Output();
    journey.Key("ctrl+o");
    journey.Settle();
    journey.Type("twopage.cir");
    journey.Key("Return");
    journey.Settle();
    journey.Key("alt+1");
    journey.Settle();
    journey.Key("F2");
    journey.Settle(10);
    journey.Capture("error_location_message");
    journey.Key("Return");  // "Unknown identifier 'ABC'"
    journey.Settle();

    const Shot shown = journey.Capture("error_location");
    EXPECT_GT(shown.Count(kPartLeft, kPartTop, kPartRight, kPartBottom, kSelectColour), 150)
        << "C1 is not shown selected";
    EXPECT_TRUE(journey.Running());
}

}  // namespace
}  // namespace kq5::journey
