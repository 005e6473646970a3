// A transformer on a gapped magnetic core, checked against what its windings must obey (no
// reference program models this core): the run reaches its end, and the secondary, wound on
// the same core with twice the turns, carries about twice the primary's voltage throughout.
#include <algorithm>
#include <cmath>

#include "reference_support.h"

namespace kq5::reference {
namespace {

class CoreReferenceTest : public ReferenceTest {};

TEST_F(CoreReferenceTest, GappedCoreTransformerRunsThroughItsPeaks)
{
    const ReferenceCircuit circuit = LoadReferenceCircuit("core_gapped_transformer");
    std::vector<OurCurve> curves;
    ASSERT_EQ(RunOurs(circuit, curves), 0);
    ASSERT_EQ(curves.size(), 3u);
    const OurCurve& primary = curves[0];
    const OurCurve& secondary = curves[1];
    ASSERT_FALSE(primary.x.empty());
    EXPECT_NEAR(primary.x.back(), 3e-3, 1e-9);
    double worst = 0.0, peak = 0.0, current = 0.0;
    for (std::size_t i = 0; i < primary.x.size(); ++i) {
        const double v1 = primary.y[i].real(), v2 = secondary.y[i].real();
        worst = std::max(worst, std::abs(v2 - 2.0 * v1));
        peak = std::max(peak, std::abs(v1));
        current = std::max(current, std::abs(curves[2].y[i].real()));
    }
    EXPECT_LT(worst, 2e-2 * peak);
    // The source's 10 V reaches the winding less the drop across 1 ohm: the core carries it
    // without collapsing into a short.
    EXPECT_GT(peak, 9.0);
    EXPECT_LT(current, 2.0);
}

}  // namespace
}  // namespace kq5::reference
