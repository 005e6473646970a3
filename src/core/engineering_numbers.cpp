#include "core/engineering_numbers.h"

#include <charconv>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <new>

#include "core/char_classes.h"
#include "core/expr_compiler.h"
#include "core/expr_evaluator.h"
#include "core/expr_symbols.h"
#include "core/format.h"
#include "core/message_reporter.h"

namespace kq5 {

namespace {

constexpr std::array<std::string_view, 16> kOutputUnitNames = {
    "V", "A", "C", "F", "W", "H", "Ohms", "Degrees", "Radians", "Gauss", "Oersteds", "Sec", "", "Hz", "%", "",
};

constexpr int kMaxExponent = 300;

std::string Trimmed(std::string text)
{
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

// The integer at the start of a format text, the way atoi reads it (0 when there is none).
int LeadingInt(std::string_view text)
{
    std::string copy(text);
    return static_cast<int>(std::strtol(copy.c_str(), nullptr, 10));
}

// Reads a decimal text the way the formatter writes it, independent of the C locale.
double DecimalTextValue(std::string_view text)
{
    double v = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

// Where the characters of one number lie in the text, as ParseNumber scans them.
struct ScannedNumber {
    std::size_t mantissaBegin = 0, intEnd = 0, fracBegin = 0, mantissaEnd = 0, end = 0;
    bool negative = false;
    int exponent = 0;
};

// Converts the scanned characters only. A result beyond the double range is an overflow
// (refused) or an underflow (zero), told apart by the decimal magnitude of the digits.
bool ConvertScannedNumber(std::string_view text, const ScannedNumber& s, double& value)
{
    value = 0.0;
    if (s.mantissaEnd == s.mantissaBegin) return true;
    auto [ptr, ec] = std::from_chars(text.data() + s.mantissaBegin, text.data() + s.end, value);
    if (ec == std::errc::result_out_of_range) {
        std::size_t first = text.find_first_not_of("0.", s.mantissaBegin);
        if (first == std::string_view::npos || first >= s.mantissaEnd) return true;
        long magnitude = first < s.intEnd ? static_cast<long>(s.intEnd - first) - 1
                                          : -static_cast<long>(first - s.fracBegin) - 1;
        value = 0.0;
        return magnitude + s.exponent < 0;
    }
    if (ec != std::errc()) value = 0.0;
    if (s.negative) value = -value;
    return true;
}

bool IsDigitAt(std::string_view text, std::size_t i)
{
    return i < text.size() && HasCharClass(text[i], kCharDigit);
}

char CharAt(std::string_view text, std::size_t i)
{
    return i < text.size() ? text[i] : '\0';
}

}  // namespace

std::string_view OutputUnitName(int quantity)
{
    if (quantity < 0 || quantity >= static_cast<int>(kOutputUnitNames.size())) return {};
    return kOutputUnitNames[static_cast<std::size_t>(quantity)];
}

bool ParseError()
{
    return Scanning().parseError;
}

bool ParseCycles()
{
    return Scanning().parseCycles;
}

double ParseNumber(std::string_view text)
{
    ScanningState& state = Scanning();
    state.parseError = false;
    state.parseCycles = false;

    std::size_t i = 0;
    bool consumed = false;
    while (HasCharClass(CharAt(text, i), kCharSpace)) {
        ++i;
        consumed = true;
    }

    ScannedNumber s;
    if (CharAt(text, i) == '+' || CharAt(text, i) == '-') {
        s.negative = text[i] == '-';
        ++i;
        consumed = true;
    }
    s.mantissaBegin = i;
    while (IsDigitAt(text, i)) ++i;
    s.intEnd = i;
    if (CharAt(text, i) == '.') ++i;
    s.fracBegin = i;
    while (IsDigitAt(text, i)) ++i;
    s.mantissaEnd = i;
    if (i > s.mantissaBegin) consumed = true;
    if (!consumed) {
        state.parseError = true;
        return 0.0;
    }
    if (s.fracBegin == s.intEnd + 1 && s.mantissaEnd == s.fracBegin && s.intEnd == s.mantissaBegin)
        s.mantissaEnd = s.mantissaBegin;  // a lone point: no digits, the value is 0

    if (CharAt(text, i) == 'E' || CharAt(text, i) == 'e') {
        ++i;
        bool negativeExponent = false;
        if (CharAt(text, i) == '+' || CharAt(text, i) == '-') negativeExponent = text[i++] == '-';
        int magnitude = 0;
        for (; IsDigitAt(text, i); ++i)
            if (magnitude <= kMaxExponent) magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kMaxExponent) {
            state.parseError = true;
            return 0.0;
        }
        s.exponent = negativeExponent ? -magnitude : magnitude;
    }
    s.end = i;

    double value = 0.0;
    if (!ConvertScannedNumber(text, s, value)) {
        state.parseError = true;
        return 0.0;
    }

    double scale = 1.0;
    char suffix = ToUpperChar(CharAt(text, i));
    if (suffix == 'M' && ToUpperChar(CharAt(text, i + 1)) == 'E' && ToUpperChar(CharAt(text, i + 2)) == 'G') {
        scale = 1e6;
    } else {
        for (const EngineeringScale& row : kEngineeringScales) {
            if (row.upperSuffix[0] == suffix) {
                scale = row.scale;
                break;
            }
        }
    }
    if (suffix == 'C') state.parseCycles = true;

    while (HasCharClass(CharAt(text, i), kCharLetter) || CharAt(text, i) == '_') ++i;
    while (HasCharClass(CharAt(text, i), kCharSpace)) ++i;
    if (CharAt(text, i) != '\0') state.parseError = true;

    double result = value * scale;
    if (!std::isfinite(result)) {
        state.parseError = true;
        return 0.0;
    }
    return result;
}

int ParseIntNumber(std::string_view text)
{
    return DoubleToIntClamped(ParseNumber(text));
}

namespace {

double EvaluateNumberText(std::string_view text, int& errorId, std::array<std::string, 2>* errorTexts)
{
    errorId = 0;
    double value = ParseNumber(text);
    if (!ParseError()) return value;

    value = 0.0;
    try {
        CompiledExpression expression;
        ExpressionRequest request;
        InitExpressionRecord(text, &expression, kContextNumberField, kItemNumber, request);
        request.quiet = errorTexts != nullptr;
        errorId = CompileExpression(request);
        if (errorId != 0 && errorTexts) *errorTexts = request.quietTexts;
        if (errorId == 0) {
            std::complex<double> result;
            errorId = EvaluateExpression(expression, result);
            if (errorId == 0) value = result.real();
        }
        FreeCompiledExpression(expression);
    } catch (const std::bad_alloc&) {
        errorId = kMsgInsufficientMemory;
    }
    return errorId == 0 ? value : 0.0;
}

}  // namespace

double EvalNumberOrExpression(std::string_view text, int& errorId)
{
    return EvaluateNumberText(text, errorId, nullptr);
}

double EvalNumberOrExpressionQuiet(std::string_view text, int& errorId, std::array<std::string, 2>& errorTexts)
{
    errorTexts = {};
    return EvaluateNumberText(text, errorId, &errorTexts);
}

double EvalNumber(std::string_view text)
{
    int errorId = 0;
    return EvalNumberOrExpression(text, errorId);
}

const char* ChooseEngineeringSuffix(double value, double& scale, unsigned flags)
{
    double magnitude = std::fabs(value);
    if (!(magnitude >= 1e-15) || magnitude >= 1e15) {
        scale = 1.0;
        return " ";
    }
    int e = static_cast<int>(std::floor(std::log10(magnitude)));
    if (e % 3 != 0 && magnitude < 1.0) e -= 3;
    int k = e / 3 + 5;
    if (k < 0) k = 0;
    if (k > 9) k = 9;
    const EngineeringScale& row = kEngineeringScales[static_cast<std::size_t>(k)];
    scale = 1.0 / row.scale;
    return (flags & kNumberLowerCaseSuffix) != 0 ? row.lowerSuffix : row.upperSuffix;
}

std::string FormatExponentForm(std::string_view format, double value)
{
    std::string_view digits = format.substr(0, CopyUpperCase(format).find('E'));
    return StrPrintf("%1.*e", LeadingInt(digits), value);
}

std::string FormatGNumber(double value, int significantDigits)
{
    std::string text = StrPrintf("%.*G", significantDigits, value);
    std::size_t e = text.find('E');
    if (e != std::string::npos) {
        std::size_t digit = e + 1;
        if (digit < text.size() && (text[digit] == '+' || text[digit] == '-')) ++digit;
        if (digit + 1 < text.size() && text[digit] == '0') text.erase(digit, 1);
    }
    return text;
}

std::string& StripExponentPadding(std::string& text)
{
    std::size_t e = text.find('e');
    if (e == std::string::npos) return text;
    std::size_t digit = e + 1;
    if (digit < text.size() && text[digit] == '+') {
        text.erase(digit, 1);
    } else if (digit < text.size() && text[digit] == '-') {
        ++digit;
    } else {
        return text;
    }
    if (digit + 1 < text.size() && text[digit] == '0' && HasCharClass(text[digit + 1], kCharDigit))
        text.erase(digit, 1);
    return text;
}

std::string FormatNumber(double value, std::string_view format, unsigned flags)
{
    std::string out = (flags & kNumberLeadingBlank) != 0 ? " " : "";
    if (format.find_first_of("Ee") != std::string_view::npos) return out + FormatExponentForm(format, value);

    int n = LeadingInt(format);
    double scale = 1.0;
    const char* suffix = ChooseEngineeringSuffix(value, scale, flags & kNumberLowerCaseSuffix);
    double magnitude = std::fabs(value);
    if (value != 0.0 && (magnitude < 1e-15 || magnitude >= 1e15))
        return out + FormatExponentForm(std::string(format) + "e", value);

    double scaled = value * scale;
    std::string text = Trimmed(FormatGNumber(scaled, n == -1 ? 6 : 15));
    if (text.find('E') != std::string::npos)
        return out + Trimmed(StrPrintf("%.*E", n == -1 ? 6 : n, scaled)) + suffix;

    std::size_t dot = text.find('.');
    if (n >= 0 && dot != std::string::npos && text.size() - dot - 1 > static_cast<std::size_t>(n)) {
        if (text[dot + 1 + static_cast<std::size_t>(n)] >= '5') {
            std::string cut = text.substr(0, dot + 1 + static_cast<std::size_t>(n));
            double step = std::pow(10.0, -n);
            double rounded = DecimalTextValue(cut);
            rounded = cut.front() == '-' ? rounded - step : rounded + step;
            text = Trimmed(FormatGNumber(rounded, 15));
            dot = text.find('.');
        }
        if (dot != std::string::npos && text.size() - dot - 1 > static_cast<std::size_t>(n))
            text.resize(dot + 1 + static_cast<std::size_t>(n));
    }

    // Rounding can carry into the next thousand (999.9999 shown to four places is 1000): the
    // value then takes the next suffix up, so 0.9999999999 reads 1, not 1000M.
    const double shown = DecimalTextValue(text);
    if (std::fabs(shown) >= 1000.0 && std::fabs(shown / scale) < 1e15) return FormatNumber(shown / scale, format, flags);

    dot = text.find('.');
    if ((flags & kNumberKeepDecimals) != 0 && n > 0) {
        if (dot == std::string::npos) {
            dot = text.size();
            text.push_back('.');
        }
        while (text.size() - dot - 1 < static_cast<std::size_t>(n)) text.push_back('0');
    } else if (dot != std::string::npos) {
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    return out + text + suffix;
}

int DoubleToIntClamped(double value)
{
    if (std::isnan(value)) return 0;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<int>(value);
}

std::uint32_t DoubleToUIntClamped(double value)
{
    if (std::isnan(value) || value <= 0.0) return 0;
    if (value >= 4294967295.0) return 4294967295u;
    return static_cast<std::uint32_t>(value);
}

int RoundToInt(double value)
{
    return DoubleToIntClamped(value < 0.0 ? value - 0.5 : value + 0.5);
}

int CeilToInt(double value)
{
    return DoubleToIntClamped(std::ceil(value));
}

double ClampToFloatRange(double value)
{
    double magnitude = std::fabs(value);
    if (value == 0.0 || std::isnan(value)) return value;
    if (magnitude > FLT_MAX) return std::copysign(static_cast<double>(FLT_MAX), value);
    if (magnitude < FLT_MIN) return std::copysign(static_cast<double>(FLT_MIN), value);
    return value;
}

void ClampToFloatRangeInPlace(double& value)
{
    value = ClampToFloatRange(value);
}

std::string IntToDecimal(long long value)
{
    return std::to_string(value);
}

}  // namespace kq5
