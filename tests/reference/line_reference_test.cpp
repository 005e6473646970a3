// Transmission lines against ngspice: its lossless line T with a matched, an open and a
// shorted far end in the time domain and mismatched across frequency; its lossy line LTRA
// with RLC, RC, LC and RG lines at the operating point, in step responses and in AC. The
// lossy lines' waveforms are also held against answers of their own: the ideal line of the
// same delay for an LC line, and finely segmented ladders for RC and RLC lines, which
// ngspice computes on a fine step. These comparisons need ngspice and fail without it.
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

TEST_F(LineReferenceTest, LossyLinesOperatingPoint) { Check("line_lossy_op"); }
TEST_F(LineReferenceTest, LosslessLineWrittenAsLossy) { Check("line_lossy_lc_tran"); }
TEST_F(LineReferenceTest, RlcLineStepResponse) { Check("line_lossy_rlc_tran"); }
TEST_F(LineReferenceTest, RcLineStepResponse) { Check("line_lossy_rc_tran"); }
TEST_F(LineReferenceTest, RlcLineAgainstFineLadder) { Check("line_lossy_rlc_ladder"); }
TEST_F(LineReferenceTest, RgLineInAPulseRun) { Check("line_lossy_rg_tran"); }
TEST_F(LineReferenceTest, LossyLinesAcrossFrequency) { Check("line_lossy_ac"); }
TEST_F(LineReferenceTest, RgLineAcrossFrequency) { Check("line_lossy_rg_ac"); }

}  // namespace
}  // namespace kq5::reference
