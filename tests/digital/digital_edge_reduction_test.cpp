// Gates reading a rising and a falling input at once: AND keeps the edge it met first, OR
// takes the fall whichever comes first.
#include "digital_test_support.h"

namespace kq5::testing {
namespace {

TEST(DigitalEdgeReduction, AndKeepsTheFirstEdgeAndOrTakesTheFall)
{
    DigitalCircuit c;
    // r1 and f1 start low, f2 and r2 high; at tick 10 the r inputs rise and the f inputs fall.
    c.Stim({"r1", "f1", "f2", "r2"}, {{0, 0, kState0}, {0, 1, kState0}, {0, 2, kState1}, {0, 3, kState1},
                                      {10, 0, kStateR}, {10, 1, kStateF}, {10, 2, kStateF}, {10, 3, kStateR}});
    c.Gate(kComponentAnd, {"r1", "f1"}, "and_rf");
    c.Gate(kComponentAnd, {"f2", "r2"}, "and_fr");
    c.Gate(kComponentOr, {"f2", "r2"}, "or_fr");
    c.Gate(kComponentOr, {"r2", "f2"}, "or_rf");
    ASSERT_EQ(c.Build(), 0);
    ASSERT_EQ(c.Run(5), 0);
    EXPECT_EQ(c.Letter("and_rf"), '0');
    EXPECT_EQ(c.Letter("and_fr"), '1');
    ASSERT_EQ(c.Run(100), 0);
    EXPECT_EQ(c.Letter("and_rf"), 'R');
    EXPECT_EQ(c.Letter("and_fr"), 'F');
    EXPECT_EQ(c.Letter("or_fr"), 'F');
    EXPECT_EQ(c.Letter("or_rf"), 'F');
}

}  // namespace
}  // namespace kq5::testing
