#include "build_test_support.h"
#include "netlist/translate_components.h"
#include "devices/resistor_device.h"
#include "devices/source_device.h"

namespace kq5::testing {
void BuildTest::ResolveCouplingsForTest() { ResolveCouplings(); ResolveSwitchInductors(); }
namespace {
TEST_F(BuildTest, SmokeTextCircuit)
{
    const int rc = BuildText("* divider\nV1 1 0 DC 5\nR1 1 2 1K\nR2 2 0 2K\n.TRAN 1N 1U\n.END\n");
    for (auto& e : win::MessageBoxLog()) printf("BOX %s | %s\n", e.caption.c_str(), e.text.c_str());
    EXPECT_EQ(rc, 0);
    auto rs = Records<ResistorDevice>(27);
    ASSERT_EQ(rs.size(), 2u);
    printf("R1 %d %d %g  R2 %d %d %g  nodes %d\n", rs[0]->nodeA, rs[0]->nodeB, rs[0]->value, rs[1]->nodeA, rs[1]->nodeB, rs[1]->value, AnalogNodeCount());
}
}
}
