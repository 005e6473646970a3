#include "core/engineering_numbers.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>

#include "core/char_classes.h"

namespace kq5 {
namespace {

class EngineeringNumbersTest : public ::testing::Test {
protected:
    void SetUp() override { ResetScanningStateForTests(); }
};

struct ParseCase {
    const char* text;
    double value;
    bool error;
    bool cycles;
};

void ExpectParses(std::initializer_list<ParseCase> cases)
{
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_DOUBLE_EQ(ParseNumber(c.text), c.value);
        EXPECT_EQ(ParseError(), c.error);
        EXPECT_EQ(ParseCycles(), c.cycles);
    }
}

TEST_F(EngineeringNumbersTest, ParsesSuffixesAndUnits)
{
    ExpectParses({
        {"10K", 1e4, false, false},       {"1M", 1e-3, false, false},      {"1MEG", 1e6, false, false},
        {"1meg", 1e6, false, false},      {"4.7uF", 4.7e-6, false, false}, {"2.5E-3", 2.5e-3, false, false},
        {"-.5", -0.5, false, false},      {"1kOhm", 1e3, false, false},    {"2MEGHz", 2e6, false, false},
        {"  3p ", 3e-12, false, false},   {"+7", 7.0, false, false},       {"5.", 5.0, false, false},
        {"1e3f", 1e-12, false, false},    {"2T", 2e12, false, false},      {"3G", 3e9, false, false},
        {"5C", 5.0, false, true},         {"5c", 5.0, false, true},        {"5NC", 5e-9, false, false},
        {"5 X", 5.0, true, false},        {"5K+", 5e3, true, false},       {"1E300", 1e300, false, false},
        {"1E400", 0.0, true, false},      {"1E-400", 0.0, true, false},    {"1E0400", 0.0, true, false},
        {"", 0.0, true, false},           {"K", 0.0, true, false},         {"   ", 0.0, false, false},
        {"-", 0.0, false, false},         {".", 0.0, false, false},        {"1Q", 1.0, false, false},
        {"10_ohm", 10.0, false, false},
    });
}

TEST_F(EngineeringNumbersTest, ConvertsOnlyTheScannedCharacters)
{
    // The C library would read these as hexadecimal or as infinity.
    ExpectParses({{"0x10", 0.0, true, false}, {"0x1p3", 0.0, true, false}, {"INF", 0.0, true, false},
                  {"nan", 0.0, true, false}});
    // Only the characters up to the string's end count, even without a terminator there.
    std::string_view view("12345", 2);
    EXPECT_EQ(ParseNumber(view), 12.0);
    EXPECT_FALSE(ParseError());
}

TEST_F(EngineeringNumbersTest, RefusesValuesBeyondTheDoubleRange)
{
    ExpectParses({{"1E300T", 0.0, true, false},
                  {"-999999999E300", 0.0, true, false},
                  {"1000E300MEG", 0.0, true, false},
                  // Far below the smallest double is zero, not an error.
                  {"0.0000000000000000000000000001E-300", 0.0, false, false},
                  {"1E-300F", 1e-315, false, false}});
}

TEST_F(EngineeringNumbersTest, IntegerConversionsClamp)
{
    EXPECT_EQ(ParseIntNumber("10K"), 10000);
    EXPECT_EQ(ParseIntNumber("1E12"), INT_MAX);
    EXPECT_EQ(ParseIntNumber("-2.9"), -2);
    EXPECT_EQ(DoubleToIntClamped(1e12), INT_MAX);
    EXPECT_EQ(DoubleToIntClamped(-1e12), INT_MIN);
    EXPECT_EQ(DoubleToIntClamped(NAN), 0);
    EXPECT_EQ(DoubleToUIntClamped(-5.0), 0u);
    EXPECT_EQ(DoubleToUIntClamped(1e20), 4294967295u);
    EXPECT_EQ(DoubleToUIntClamped(3.99), 3u);
    EXPECT_EQ(RoundToInt(-2.5), -3);
    EXPECT_EQ(RoundToInt(2.5), 3);
    EXPECT_EQ(RoundToInt(-2.4), -2);
    EXPECT_EQ(RoundToInt(1e300), INT_MAX);
    EXPECT_EQ(CeilToInt(1.1), 2);
    EXPECT_EQ(CeilToInt(-1.9), -1);
    EXPECT_EQ(IntToDecimal(-42), "-42");
}

TEST_F(EngineeringNumbersTest, ClampsToTheFloatRange)
{
    EXPECT_EQ(ClampToFloatRange(0.0), 0.0);
    EXPECT_EQ(ClampToFloatRange(1e300), static_cast<double>(FLT_MAX));
    EXPECT_EQ(ClampToFloatRange(-1e300), -static_cast<double>(FLT_MAX));
    EXPECT_EQ(ClampToFloatRange(1e-300), static_cast<double>(FLT_MIN));
    EXPECT_EQ(ClampToFloatRange(-1e-300), -static_cast<double>(FLT_MIN));
    double v = 2.5;
    ClampToFloatRangeInPlace(v);
    EXPECT_EQ(v, 2.5);
}

TEST_F(EngineeringNumbersTest, ChoosesSuffixes)
{
    double scale = 0;
    EXPECT_STREQ(ChooseEngineeringSuffix(0.5, scale, 0), "M");
    EXPECT_DOUBLE_EQ(scale, 1000.0);
    EXPECT_STREQ(ChooseEngineeringSuffix(999, scale, 0), " ");
    EXPECT_DOUBLE_EQ(scale, 1.0);
    EXPECT_STREQ(ChooseEngineeringSuffix(-2.2e6, scale, 0), "MEG");
    EXPECT_STREQ(ChooseEngineeringSuffix(2.2e6, scale, kNumberLowerCaseSuffix), "M");
    EXPECT_STREQ(ChooseEngineeringSuffix(5e-4, scale, kNumberLowerCaseSuffix), "u");
    EXPECT_DOUBLE_EQ(scale, 1e6);
    EXPECT_STREQ(ChooseEngineeringSuffix(1e-15, scale, 0), "F");
    EXPECT_STREQ(ChooseEngineeringSuffix(999e12, scale, 0), "T");
    EXPECT_STREQ(ChooseEngineeringSuffix(0.0, scale, 0), " ");
    EXPECT_STREQ(ChooseEngineeringSuffix(1e15, scale, 0), " ");
    EXPECT_DOUBLE_EQ(scale, 1.0);
    EXPECT_STREQ(ChooseEngineeringSuffix(NAN, scale, 0), " ");
}

TEST_F(EngineeringNumbersTest, FormatsDisplayNumbers)
{
    EXPECT_EQ(FormatNumber(4700, "-1", 0), "4.7K");
    EXPECT_EQ(FormatNumber(0.0012, "2", 0), "1.2M");
    EXPECT_EQ(FormatNumber(0.0012, "2", kNumberLowerCaseSuffix), "1.2m");
    EXPECT_EQ(FormatNumber(0.0012, "2", kNumberKeepDecimals), "1.20M");
    EXPECT_EQ(FormatNumber(1.25, "1", 0), "1.3 ");
    EXPECT_EQ(FormatNumber(-1.25, "1", 0), "-1.3 ");
    EXPECT_EQ(FormatNumber(2e16, "3", 0), "2.000e+16");
    EXPECT_EQ(FormatNumber(1.5e-20, "-1", 0), "1.500000e-20");
    EXPECT_EQ(FormatNumber(1234.5678, "3E", 0), "1.235e+03");
    EXPECT_EQ(FormatNumber(1234.5678, "-1E", kNumberLeadingBlank), " 1.234568e+03");
    EXPECT_EQ(FormatNumber(0.0, "-1", 0), "0 ");
    EXPECT_EQ(FormatNumber(1000, "2", 0), "1K");
    EXPECT_EQ(FormatNumber(0.996, "1", 0), "996M");
    EXPECT_EQ(FormatNumber(9.96, "1", 0), "10 ");
    // Rounding that carries into the next thousand takes the next suffix.
    EXPECT_EQ(FormatNumber(0.9999999999, "3", 0), "1 ");
    EXPECT_EQ(FormatNumber(-0.9999999999, "-1", 0), "-1 ");
    EXPECT_EQ(FormatNumber(999.99999e-9, "2", 0), "1U");
    EXPECT_EQ(FormatNumber(12.4, "0", 0), "12 ");
    EXPECT_EQ(FormatNumber(12.4, "0", kNumberKeepDecimals), "12 ");
    EXPECT_EQ(FormatNumber(3.0, "2", kNumberKeepDecimals | kNumberLeadingBlank), " 3.00 ");
    EXPECT_EQ(FormatNumber(1.23456789e-9, "-1", 0), "1.23457N");
}

TEST_F(EngineeringNumbersTest, ExponentForms)
{
    EXPECT_EQ(FormatExponentForm("2E", 12345.0), "1.23e+04");
    EXPECT_EQ(FormatExponentForm("4e", 0.5), "5.0000e-01");
    EXPECT_EQ(FormatGNumber(1.5e5, 2), "1.5E+5");
    EXPECT_EQ(FormatGNumber(1.5e-7, 3), "1.5E-7");
    EXPECT_EQ(FormatGNumber(1e15, 3), "1E+15");
    EXPECT_EQ(FormatGNumber(123.0, 6), "123");
    std::string t = "1.0e+05";
    EXPECT_EQ(StripExponentPadding(t), "1.0e5");
    t = "2e+15";
    EXPECT_EQ(StripExponentPadding(t), "2e15");
    t = "3.5e-05";
    EXPECT_EQ(StripExponentPadding(t), "3.5e-5");
    t = "3.5e-15";
    EXPECT_EQ(StripExponentPadding(t), "3.5e-15");
    t = "4E+05";
    EXPECT_EQ(StripExponentPadding(t), "4E+05");
}

TEST_F(EngineeringNumbersTest, FormattedNumbersReadBack)
{
    const double values[] = {4.7e3, 1e-12, 3.3e-6, 2.2e6, -0.015, 47e9, 1.0};
    for (double v : values) {
        std::string text = FormatNumber(v, "-1", 0);
        SCOPED_TRACE(text);
        EXPECT_NEAR(ParseNumber(text), v, std::fabs(v) * 1e-6);
        EXPECT_FALSE(ParseError());
    }
}

TEST_F(EngineeringNumbersTest, EvaluatesExpressionsWhenNoPlainNumber)
{
    int error = -1;
    EXPECT_DOUBLE_EQ(EvalNumberOrExpression("4.7K", error), 4700.0);
    EXPECT_EQ(error, 0);
    EXPECT_DOUBLE_EQ(EvalNumberOrExpression("2*3", error), 6.0);
    EXPECT_EQ(error, 0);
    EXPECT_DOUBLE_EQ(EvalNumber("{1K+500}"), 1500.0);
}

}  // namespace
}  // namespace kq5
