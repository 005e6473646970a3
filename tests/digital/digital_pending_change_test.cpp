// A gate asked again for the state it is already changing to keeps that change at its time:
// with a zero minimum delay (which makes the settling passes of a time point run) the same-level
// pair of the transition table would otherwise apply it at once, ahead of its delay.
#include "digital_test_support.h"

namespace kq5::testing {
namespace {

using SE = StimulusEvent;

TEST(DigitalPendingChange, ReaskedStateArrivesAfterItsDelayNotAtOnce)
{
    for (int selection : {2, 3}) {
        SCOPED_TRACE(selection);
        DigitalCircuit c;
        // A rises at 10 and B at 11: the OR's output is asked for 1 at both ticks.
        c.Stim({"A", "B"}, {SE{0, 0, kState0}, SE{0, 1, kState0}, SE{10, 0, kState1}, SE{11, 1, kState1}});
        c.Add(kComponentOr, kClassGate, {"A", "B"}, {"Y"}, GateDelays(0, 2, 4, 0, 2, 4), selection);
        ASSERT_EQ(c.Build(), 0);
        ASSERT_EQ(c.Run(100), 0);
        // From X to 0 and from 0 to 1 after the selected delay each; B's rise changes nothing.
        EXPECT_EQ(c.Trace("Y"), selection == 2 ? "0:X 2:0 12:1" : "0:X 4:0 14:1");
    }
}

}  // namespace
}  // namespace kq5::testing
