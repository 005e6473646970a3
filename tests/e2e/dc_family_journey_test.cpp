// A transistor's output characteristics in the window, as an engineer draws them: a nested DC
// sweep whose first curve (base current 0) is flat. The run ends in moments with every curve
// printed and the whole family in view: Auto Scale (F6) has nothing left to bring in.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "journey.h"

namespace kq5::journey {
namespace {

int CountOf(const std::string& text, const std::string& word)
{
    int count = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++count;
    return count;
}

TEST(DcFamilyJourney, OutputCharacteristicsFromAFlatCurveRunAndScale)
{
    Journey journey("dc_family");
    std::ofstream(journey.Root() / "family.ckt")
        << "* NPN output characteristics\nVCE C 0 DC 0\nIB 0 B DC 10U\nQ1 C B 0 QMOD\n"
           ".MODEL QMOD NPN(BF=150 VAF=80)\n.DC VCE 0 10 0.05 IB 0 50U 10U\n.PRINT DC I(VCE)\n.END\n";
    ASSERT_TRUE(journey.Start({"family.ckt"})) << journey.Output();
    journey.Key("alt+3");
    journey.Settle();
    journey.Key("F2");
    // Six tables, one per base current; the sweep once took minutes after its flat first curve.
    const auto output = journey.Root() / "family.DNO";
    ASSERT_TRUE(journey.WaitUntil([&] { return CountOf(ReadAll(output), "Case=") == 6; }, 20))
        << ReadAll(output) << journey.Output();
    ASSERT_TRUE(journey.WaitUntil([&] { return ReadAll(output).find("    10.000    -8.360") != std::string::npos; }, 5))
        << ReadAll(output);
    journey.Settle();
    const Shot first = journey.Capture("dc_family_after_run");
    journey.Key("F6");
    journey.Settle();
    const Shot scaled = journey.Capture("dc_family_auto_scaled");
    // The plot where the Limits dialog leaves it uncovered (the dialog's caret blinks).
    EXPECT_TRUE(scaled.SameAs(first, 710, 130, 968, 760)) << "the run left its axes as the first, flat curve scaled them";
    journey.Key("F3");
    journey.Settle();
}

}  // namespace
}  // namespace kq5::journey
