// Transmission lines against ngspice's lossless line T: a matched, an open and a shorted far
// end in the time domain, and a mismatched line across frequency. These comparisons need
// ngspice and fail without it.
#include "reference_support.h"

namespace kq5::reference {
namespace {

class LineReferenceTest : public ReferenceTest {
protected:
    void Check(const std::string& name)
    {
        ASSERT_TRUE(NgspiceInstalled()) << "ngspice is needed for the line comparisons";
        Compare(name);
    }
};

TEST_F(LineReferenceTest, IdealLineMatched) { Check("line_ideal_matched"); }
TEST_F(LineReferenceTest, IdealLineOpenEnd) { Check("line_ideal_open"); }
TEST_F(LineReferenceTest, IdealLineShortedEnd) { Check("line_ideal_shorted"); }
TEST_F(LineReferenceTest, IdealLineAcStandingWaves) { Check("line_ideal_ac"); }

}  // namespace
}  // namespace kq5::reference
