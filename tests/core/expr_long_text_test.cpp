// Very long expressions (megabytes of generated text) compile in time proportional to their
// length and fold exactly as short ones do.
#include <string>

#include "expr_test_support.h"

namespace kq5 {
namespace {

class ExprLongText : public test::ExpressionTest {
protected:
    void SetUp() override
    {
        ExpressionTest::SetUp();
        Analysis().analysisKind = kAnalysisTransient;
    }

    static std::string Repeat(std::string_view head, std::string_view unit, std::size_t count)
    {
        std::string text(head);
        text.reserve(head.size() + unit.size() * count);
        for (std::size_t i = 0; i < count; ++i) text += unit;
        return text;
    }
};

TEST_F(ExprLongText, AMegabyteSumFoldsToOneConstant)
{
    // 1 MB of "1+1+..." took minutes when every fold shifted the rest of the expression.
    CompiledExpression e;
    ASSERT_EQ(Compile(Repeat("1", "+1", 500000), e), 0) << lastError;
    ASSERT_EQ(e.instructions.count, 1);
    EXPECT_EQ(ListHead<ExpressionInstruction>(e.instructions)->value.real(), 500001.0);
}

TEST_F(ExprLongText, LongChainsKeepTheirOrderAroundVariables)
{
    // (T*2)*3 cannot fold, and neither can the adds that follow it; the products and
    // quotients inside them can.
    CompiledExpression e;
    ASSERT_EQ(Compile(Repeat("T*2*3", "+2*3-4/2", 50000), e), 0) << lastError;
    EXPECT_EQ(e.instructions.count, 5 + 4 * 50000);
    CompiledExpression sum;
    ASSERT_EQ(Compile("(" + Repeat("-SQRT(4)", "-(2*3-4/2)*-1", 50000) + ")*(1-1/2)", sum), 0) << lastError;
    ASSERT_EQ(sum.instructions.count, 1);
    EXPECT_EQ(ListHead<ExpressionInstruction>(sum.instructions)->value.real(), (-2.0 + 4.0 * 50000) * 0.5);
}

}  // namespace
}  // namespace kq5
