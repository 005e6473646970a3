// Netlists with very long statements build in time proportional to their length: a 1 MB
// parameter expression, a 1 MB list of parameters and a .PRINT line of many thousand
// variables are read, substituted, compiled and merged well within a second.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "build_test_support.h"
#include "devices/resistor_device.h"

namespace kq5::testing {
namespace {

class LongTextTest : public BuildTest {
protected:
    void SetUp() override
    {
        BuildTest::SetUp();
        // Parameters look into the default library: an empty one.
        data_ = std::filesystem::temp_directory_path() / ("kq5-long-text-" + std::to_string(::getpid()));
        std::filesystem::create_directories(data_);
        std::ofstream(data_ / "NOM.LIB") << "* empty\n";
        ::setenv("KQ5DATA", data_.c_str(), 1);
    }
    void TearDown() override
    {
        BuildTest::TearDown();
        std::error_code ignored;
        std::filesystem::remove_all(data_, ignored);
    }
    double ResistorValue()
    {
        const auto r = Records<ResistorDevice>(kResistorDeviceList);
        return r.size() == 1 ? r[0]->value : -1.0;
    }
    std::filesystem::path data_;
};

TEST_F(LongTextTest, AMegabyteParameterExpressionBuilds)
{
    // Took over five minutes while constant folding shifted the rest of the expression at
    // every fold.
    std::string sum = "1";
    sum.reserve(1u << 20);
    while (sum.size() < (1u << 20)) sum += "+1";
    const std::size_t ones = (sum.size() + 1) / 2;
    ASSERT_EQ(BuildText("long\n.PARAM P={" + sum + "}\nR1 1 0 {P/1000}\nV1 1 0 1\n.TRAN 1N 1U\n.END\n"), 0)
        << LastShownText();
    EXPECT_DOUBLE_EQ(ResistorValue(), static_cast<double>(ones) / 1000.0);
}

TEST_F(LongTextTest, AMegabyteOfParametersBuilds)
{
    // Each new parameter was compared with every earlier one, and every name in a value with
    // every parameter.
    std::string params = ".PARAM";
    std::string use = "{0";
    int count = 0;
    for (; params.size() < (1u << 20); ++count) {
        params += " P" + std::to_string(count) + "=" + std::to_string(count % 7);
        if (count % 50 == 0) use += "+P" + std::to_string(count);
    }
    int expected = 0;
    for (int i = 0; i < count; i += 50) expected += i % 7;
    ASSERT_EQ(BuildText("params\n" + params + "\nR1 1 0 " + use + "+1}\nV1 1 0 1\n.TRAN 1N 1U\n.END\n"), 0)
        << LastShownText();
    EXPECT_DOUBLE_EQ(ResistorValue(), expected + 1.0);
}

TEST_F(LongTextTest, APrintLineOfManyVariablesMerges)
{
    // Every row was compared with every later one.
    std::string print = ".PRINT TRAN";
    for (int i = 0; i < 50000; ++i) print += " V(" + std::to_string(i % 1000 + 1) + ")";
    ASSERT_EQ(BuildText("print\nV1 1 0 1\nR1 1 0 1K\n" + print + "\n.PLOT TRAN V(1) (0,5) V(2) V(1) (1,2)\n.END\n"), 0)
        << LastShownText();
    const std::vector<LimitsRow>& rows = Document().limitsRows[kAnalysisTransient];
    ASSERT_EQ(rows.size(), 1001u);
    // A row joins the first earlier row of the same expressions whose ranges agree: V(1)
    // takes the plot's range 0,5, V(2) the range 1,2, and V(1) with 1,2 stays a
    // row of its own, last.
    EXPECT_EQ(rows[0].yExpression, "V(1)");
    EXPECT_EQ(rows[0].yRange, "0,5");
    EXPECT_EQ(rows[1].yExpression, "V(2)");
    EXPECT_EQ(rows[1].yRange, "1,2");
    EXPECT_EQ(rows[1000].yExpression, "V(1)");
    EXPECT_EQ(rows[1000].yRange, "1,2");
}

}  // namespace
}  // namespace kq5::testing
