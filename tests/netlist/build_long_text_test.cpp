// Netlists with very long statements build in time proportional to their length: a 1 MB
// parameter expression is read, substituted, compiled and folded well within a second.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "build_test_support.h"
#include "devices/resistor_device.h"

namespace kq5::testing {
namespace {

TEST_F(BuildTest, AMegabyteParameterExpressionBuilds)
{
    // Took over five minutes while constant folding shifted the rest of the expression at
    // every fold. Parameters look into the default library: an empty one.
    const std::filesystem::path data = std::filesystem::temp_directory_path() / "kq5-long-text";
    std::filesystem::create_directories(data);
    std::ofstream(data / "NOM.LIB") << "* empty\n";
    ::setenv("KQ5DATA", data.c_str(), 1);
    std::string sum = "1";
    sum.reserve(1u << 20);
    while (sum.size() < (1u << 20)) sum += "+1";
    const std::size_t ones = (sum.size() + 1) / 2;
    ASSERT_EQ(BuildText("long\n.PARAM P={" + sum + "}\nR1 1 0 {P/1000}\nV1 1 0 1\n.TRAN 1N 1U\n.END\n"), 0)
        << LastShownText();
    const auto r = Records<ResistorDevice>(kResistorDeviceList);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_DOUBLE_EQ(r[0]->value, static_cast<double>(ones) / 1000.0);
    std::error_code ignored;
    std::filesystem::remove_all(data, ignored);
}

}  // namespace
}  // namespace kq5::testing
