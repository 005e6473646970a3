// A transformer on a gapped magnetic core, checked against what its windings must obey (no
// reference program models this core): the run reaches its end, and the secondary, wound on
// the same core with twice the turns, carries twice the primary's voltage at every point.
#include <algorithm>
#include <cmath>
#include <string>

#include "reference_support.h"

namespace kq5::reference {
namespace {

class CoreReferenceTest : public ReferenceTest {
protected:
    // The largest primary voltage and current of the run, after checking the turns ratio.
    void Run(const ReferenceCircuit& circuit, double& peak, double& current)
    {
        std::vector<OurCurve> curves;
        ASSERT_EQ(RunOurs(circuit, curves), 0) << circuit.ourText;
        ASSERT_EQ(curves.size(), 3u);
        const OurCurve& primary = curves[0];
        ASSERT_FALSE(primary.x.empty());
        EXPECT_NEAR(primary.x.back(), 3e-3, 1e-9);
        double worst = 0.0;
        peak = current = 0.0;
        for (std::size_t i = 0; i < primary.x.size(); ++i) {
            const double v1 = primary.y[i].real(), v2 = curves[1].y[i].real();
            worst = std::max(worst, std::abs(v2 - 2.0 * v1));
            peak = std::max(peak, std::abs(v1));
            current = std::max(current, std::abs(curves[2].y[i].real()));
        }
        EXPECT_LT(worst, 2e-3 * peak) << "largest difference " << worst;
    }
};

TEST_F(CoreReferenceTest, GappedCoreTransformerRunsThroughItsPeaks)
{
    const ReferenceCircuit circuit = LoadReferenceCircuit("core_gapped_transformer");
    double peak = 0.0, current = 0.0;
    Run(circuit, peak, current);
    // The source's 10 V reaches the winding less the drop across 1 ohm: the core carries it
    // without collapsing into a short.
    EXPECT_GT(peak, 9.0);
    EXPECT_LT(current, 2.0);

    // A wider gap driven into saturation, where the current is limited by the 1 ohm.
    std::string text = circuit.ourText;
    text.replace(text.find("GAP=0.01"), 8, "GAP=0.05");
    text.replace(text.find("SIN(0 10 1k)"), 12, "SIN(0 20 1k)");
    Run(ParseReferenceCircuit("core_gapped_transformer_saturated", text), peak, current);
    EXPECT_GT(peak, 18.0);
}

}  // namespace
}  // namespace kq5::reference
