// Netlists with very long statements build in time proportional to their length: a 1 MB
// parameter expression, a 1 MB list of parameters and a .PRINT line of many thousand
// variables are read, substituted, compiled and merged well within a second.
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "../analog/program_output_support.h"
#include "build_test_support.h"
#include "netlist/resistor_device.h"

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

// CPU seconds of this process, or of its finished children: unlike the wall clock, they do not
// grow when the machine is busy with other work.
double CpuSeconds(int who)
{
    rusage usage{};
    ::getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Many separate .PARAM lines (each name was checked against every earlier line: 100,000 lines
// took over two minutes) and a deep chain of nested subcircuit definitions (each level read
// again every definition nested in it and searched all definitions for its child: depth 4000
// took 20 seconds) build in a time that grows with their length, not its square: four times the
// length costs well under sixteen times the time.
TEST_F(LongTextTest, ManyParamLinesAndADeepChainOfNestedDefinitionsBuild)
{
    const auto buildParams = [this](int lines) {
        std::string params = "params\n";
        for (int i = 0; i < lines; ++i) params += ".PARAM P" + std::to_string(i) + "=" + std::to_string(i % 7) + "\n";
        const double start = CpuSeconds(RUSAGE_SELF);
        EXPECT_EQ(BuildText(params + "R1 1 0 {P" + std::to_string(lines - 1) + "+1}\nV1 1 0 1\n.TRAN 1N 1U\n.END\n"), 0)
            << LastShownText();
        EXPECT_DOUBLE_EQ(ResistorValue(), (lines - 1) % 7 + 1.0);
        return CpuSeconds(RUSAGE_SELF) - start;
    };
    const double shortParams = buildParams(25000);
    const double longParams = buildParams(100000);
    EXPECT_LT(longParams, 8.0 * shortParams + 0.5) << shortParams << " s for 25,000 lines";

    // The chain is read from its file by the program, as a user runs it.
    ASSERT_FALSE(test::ProgramPath().empty()) << "the kq5 program is not built beside the tests";
    const auto runChain = [this](int depth) {
        std::string chain = "chain\nX1 1 0 S1\nV1 1 0 1\n";
        for (int k = 1; k <= depth; ++k) {
            chain += ".SUBCKT S" + std::to_string(k) + " A B\n";
            chain += k < depth ? "X1 A B S" + std::to_string(k + 1) + "\n" : "R1 A B 5\n";
        }
        for (int k = depth; k >= 1; --k) chain += ".ENDS S" + std::to_string(k) + "\n";
        std::ofstream(data_ / "chain.cir") << chain << ".DC V1 0 1 0.5\n.PRINT DC I(V1)\n.END\n";
        std::ofstream(data_ / "jobs.txt") << "chain.cir /D\n";
        const double start = CpuSeconds(RUSAGE_CHILDREN);
        EXPECT_EQ(test::RunProgramOnCommandFile(data_, "jobs.txt"), 0);
        return CpuSeconds(RUSAGE_CHILDREN) - start;
    };
    const double shortChain = runChain(1500);
    const double longChain = runChain(6000);
    // The scopes, the name tables, the node-name table and the part records keep each level's own
    // name, and a call finds the definitions around it without walking out to the top: four
    // times the depth costs about four times the time.
    EXPECT_LT(longChain, 8.0 * shortChain + 0.5) << shortChain << " s at depth 1500";
    std::ifstream printed(data_ / "chain.DNO");
    const std::string text((std::istreambuf_iterator<char>(printed)), std::istreambuf_iterator<char>());
    const std::vector<std::vector<double>> rows = test::TableRows(text);
    ASSERT_FALSE(rows.empty()) << text;
    EXPECT_NEAR(rows.back()[1], -1.0 / 5.0 * 1000.0, 1e-6) << text;  // -200 mA through the deepest resistor
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
    // takes the plot's range 0 to 5 (held upper first: 5,0), V(2) the range 1 to 2, and V(1)
    // with 1 to 2 stays a row of its own, last.
    EXPECT_EQ(rows[0].yExpression, "V(1)");
    EXPECT_EQ(rows[0].yRange, "5,0");
    EXPECT_EQ(rows[1].yExpression, "V(2)");
    EXPECT_EQ(rows[1].yRange, "2,1");
    EXPECT_EQ(rows[1000].yExpression, "V(1)");
    EXPECT_EQ(rows[1000].yRange, "2,1");
}

}  // namespace
}  // namespace kq5::testing
