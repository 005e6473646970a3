// This program against ngspice on behavioural sources: table sources against E and G TABLE
// inside the table (outside it ngspice holds the end values as we do, but its own end
// segments are not compared). These comparisons need ngspice and fail without it.
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

}  // namespace
}  // namespace kq5::reference
