// This program against ngspice on behavioural sources: table sources against E and G TABLE
// inside the table (ngspice rounds the corners of its tables, so the inputs keep clear of
// them), formula sources against B sources, Laplace and frequency-table sources against RC and
// RLC networks with the same transfer. These comparisons need ngspice and fail without it.
#include "reference_support.h"

namespace kq5::reference {
namespace {

class BehaviouralReferenceTest : public ReferenceTest {
protected:
    void Check(const std::string& name)
    {
        ASSERT_TRUE(NgspiceInstalled()) << "ngspice is needed for the behavioural source comparisons";
        Compare(name);
    }
};

TEST_F(BehaviouralReferenceTest, TableSourcesInsideTheirSegments) { Check("beh_table_op"); }
TEST_F(BehaviouralReferenceTest, FormulaSourcesAtTheOperatingPoint) { Check("beh_formula_op"); }
TEST_F(BehaviouralReferenceTest, FormulaSourceSquaringASine) { Check("beh_formula_tran"); }
TEST_F(BehaviouralReferenceTest, TableAndFormulaSourceGainsAndPhases) { Check("beh_ac_gains"); }
TEST_F(BehaviouralReferenceTest, LaplaceSourcesAgainstRcAndRlcInAc) { Check("beh_laplace_ac"); }
TEST_F(BehaviouralReferenceTest, LaplaceStepResponsesAgainstRcAndRlc) { Check("beh_laplace_tran"); }
TEST_F(BehaviouralReferenceTest, FrequencyTableAgainstRcInAc) { Check("beh_freq_table_ac"); }
TEST_F(BehaviouralReferenceTest, FrequencyTableStepResponseAgainstRc) { Check("beh_freq_table_tran"); }

}  // namespace
}  // namespace kq5::reference
