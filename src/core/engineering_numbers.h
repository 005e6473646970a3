#pragma once
// Numbers as users type and read them: SPICE scale suffixes (F P N U M K MEG G T, "M" being
// milli) followed by any unit letters, and the display forms of plots, dialogs and output files.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kq5 {

struct EngineeringScale {
    double scale;
    const char* upperSuffix;
    const char* lowerSuffix;
};

// Index 5 is the unit scale, written as a blank.
inline constexpr std::array<EngineeringScale, 10> kEngineeringScales = {{
    {1e-15, "F", "f"},
    {1e-12, "P", "p"},
    {1e-9, "N", "n"},
    {1e-6, "U", "u"},
    {1e-3, "M", "m"},
    {1.0, " ", " "},
    {1e3, "K", "K"},
    {1e6, "MEG", "M"},
    {1e9, "G", "G"},
    {1e12, "T", "T"},
}};

// Unit names of the numeric output, indexed by quantity; empty outside the table.
std::string_view OutputUnitName(int quantity);

// Flag bits of ChooseEngineeringSuffix and FormatNumber.
inline constexpr unsigned kNumberLowerCaseSuffix = 0x1;
inline constexpr unsigned kNumberKeepDecimals = 0x4;
inline constexpr unsigned kNumberLeadingBlank = 0x8;

// The value of a number with optional scale suffix and unit letters (10uF, 1kOhm, 2MEGHz).
// Afterwards ParseError() tells whether the text was not a clean number and ParseCycles()
// whether the number was followed directly by "C" (a time in clock cycles). Read them right
// after the call: the next ParseNumber overwrites them.
double ParseNumber(std::string_view text);
bool ParseError();
bool ParseCycles();

int ParseIntNumber(std::string_view text);

// The value of a number or, failing that, of an expression; the error id is 0 or the compile
// or evaluation error (the value then 0.0).
double EvalNumberOrExpression(std::string_view text, int& errorId);
// The same without showing a compile error: its message id is left in errorId and the texts of
// its placeholders in errorTexts, so that the caller can report it once, where the text came
// from. An evaluation error leaves errorTexts empty.
double EvalNumberOrExpressionQuiet(std::string_view text, int& errorId, std::array<std::string, 2>& errorTexts);
// The same with the error dropped.
double EvalNumber(std::string_view text);

// The suffix for a value and, in scale, the factor that brings the value into its range.
const char* ChooseEngineeringSuffix(double value, double& scale, unsigned flags);

// The display text of a value. The format text is "nE" (n digits in exponent form) or a number
// of decimals n, -1 meaning automatic.
std::string FormatNumber(double value, std::string_view format, unsigned flags);

// "%1.*e" of the value, the precision being the integer before the first "E" of the format.
std::string FormatExponentForm(std::string_view format, double value);

// "%.*G" with one leading zero of the exponent removed (E+05 becomes E+5).
std::string FormatGNumber(double value, int significantDigits);

// e+05 becomes e5, e+15 e15, e-05 e-5 (lower-case e exponents only).
std::string& StripExponentPadding(std::string& text);

int DoubleToIntClamped(double value);
std::uint32_t DoubleToUIntClamped(double value);
int RoundToInt(double value);
int CeilToInt(double value);
double ClampToFloatRange(double value);
void ClampToFloatRangeInPlace(double& value);
std::string IntToDecimal(long long value);

}  // namespace kq5
