// Plain breakpoints of the event queue: the merge distance spares the start tick, and times
// far past the run's end are not kept.
#include "digital_test_support.h"

namespace kq5::testing {
namespace {

std::vector<std::uint32_t> QueueTicks()
{
    std::vector<std::uint32_t> ticks;
    for (auto* r = ListHead<TimeBreakpointRecord>(DeviceList(kTimeBreakpointList)); r; r = ListNext(r))
        ticks.push_back(r->time);
    return ticks;
}

TEST(PlainBreakpoints, TheStartTickIsNeverMergedAndTimesPastTwiceTheEndAreDropped)
{
    ResetDeviceListsForTests();
    ResetAnalysisStateForTests();
    Analysis().digitalEndTick = 1000;
    ASSERT_EQ(AddTimeBreakpoint(0), 0);
    ASSERT_EQ(AddTimeBreakpoint(0), 0);    // a corner at the start is kept beside the start
    ASSERT_EQ(AddTimeBreakpoint(500), 0);
    ASSERT_EQ(AddTimeBreakpoint(510), 0);  // within 10 ticks: dropped
    ASSERT_EQ(AddTimeBreakpoint(511), 0);
    ASSERT_EQ(AddTimeBreakpoint(2000), 0);
    ASSERT_EQ(AddTimeBreakpoint(2001), 0);  // past twice the end: dropped
    EXPECT_EQ(QueueTicks(), (std::vector<std::uint32_t>{0, 0, 500, 511, 2000}));
    ResetDeviceListsForTests();
    ResetAnalysisStateForTests();
}

}  // namespace
}  // namespace kq5::testing
