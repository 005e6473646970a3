// Laplace sources in transient runs against ngspice networks of the same transfer: a low-pass
// on a run left at its default step, a band-pass and low-pass on a pulse whose edges last
// about two of the convolution's grid steps, and transfers that pass part of the input straight
// through (a PI controller in a loop, a high-pass), and a frequency table in linear magnitudes
// that ends far below the frequencies a step holds. These comparisons need ngspice and fail
// without it.
#include "reference_support.h"

namespace kq5::reference {
namespace {

class ConvolutionReferenceTest : public ReferenceTest {
protected:
    void Check(const std::string& name)
    {
        ASSERT_TRUE(NgspiceInstalled()) << "ngspice is needed for the Laplace source comparisons";
        Compare(name);
    }
};

TEST_F(ConvolutionReferenceTest, LowPassOnADefaultRun) { Check("beh_laplace_default_step"); }
TEST_F(ConvolutionReferenceTest, FiltersFollowFastEdges) { Check("beh_laplace_edges"); }
TEST_F(ConvolutionReferenceTest, DirectFeedthroughFollowsTheInput) { Check("beh_laplace_feedthrough"); }
TEST_F(ConvolutionReferenceTest, LinearTableAboveItsTopRow) { Check("beh_freq_table_mag_tran"); }

}  // namespace
}  // namespace kq5::reference
