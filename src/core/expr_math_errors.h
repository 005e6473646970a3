#pragma once
// Math errors of expression evaluation. Expressions run with floating-point exceptions
// masked, so a division by zero or an overflow inside a plot or source expression never
// stops the program; faults are collected in a pending error word and turned into one
// message ("Floating point '%s'.", 15003) at the end of an evaluation or of the compiler's
// constant folding.
#include <cfenv>
#include <cstdint>
#include <string>
#include <string_view>

namespace kq5 {


// Pending error word.
inline constexpr int kEvalFailed = 1;              // an instruction that cannot be executed
inline constexpr int kMsgFloatingPoint = 15003;    // "Floating point '%s'."
inline constexpr int kMsgMathErrorReported = 15060;
inline constexpr int kMsgFaultPending = 15071;

// Pending fault codes; the message of code c is string c + 14972 (15101..15110).
inline constexpr int kFaultInvalid = 0x81;
inline constexpr int kFaultDenormal = 0x82;
inline constexpr int kFaultZeroDivide = 0x83;
inline constexpr int kFaultOverflow = 0x84;
inline constexpr int kFaultUnderflow = 0x85;
inline constexpr int kFaultInexact = 0x86;
inline constexpr int kFaultUnemulated = 0x87;
inline constexpr int kFaultNegativeSqrt = 0x88;
inline constexpr int kFaultStackOverflow = 0x89;
inline constexpr int kFaultStackUnderflow = 0x8A;
inline constexpr int kFaultMessageBase = 14972;

// Math-library error kinds.
enum MathLibraryError {
    kMathDomain = 1,
    kMathSingularity = 2,
    kMathOverflow = 3,
    kMathUnderflow = 4,
    kMathTotalLoss = 5,
    kMathPartialLoss = 6,
};

struct MathErrorState {
    int pendingError = 0;  // 0, 15071, 15060, 1 or a message id set by an operator
    int faultCode = 0;
};

MathErrorState& MathErrors();

// Clears the floating-point status and the pending error word and fault code.
void ResetMathErrors();

// The final code of an evaluation: a pending fault (15071) becomes 15060 with message 15003
// set as the pending error text; any other pending word is cleared and returned as it is
// (0 for success). A fault the unit recorded since the last reset is captured first.
int ReportMathError();

// Sets the pending error word unless one is already pending (the first error wins).
void SetPendingMathError(int code);

// Handles a math-library error of a function: composes "name(a,b) kind" (atan2, fmod and
// pow, with two arguments) or "name(a) kind" as the text of message 15003 and makes the pending word 15060.
// The caller replaces the function's result by 1.0.
void HandleMathLibraryError(int kind, std::string_view function, double a);
void HandleMathLibraryError(int kind, std::string_view function, double a, double b);

// The word of a library error kind ("Domain error", ...).
std::string_view MathLibraryErrorWord(int kind);

// Saves and clears the floating-point status and puts the saved status back when it goes:
// flags raised inside (a library call's internal steps, a set-up evaluation) do not become
// faults of the evaluation around it.
class FloatingPointStatusScope {
public:
    FloatingPointStatusScope();
    ~FloatingPointStatusScope();
    FloatingPointStatusScope(const FloatingPointStatusScope&) = delete;
    FloatingPointStatusScope& operator=(const FloatingPointStatusScope&) = delete;
    // The library error kind of the call's result, 0 when it succeeded.
    int ErrorKind(double result, double a, double b) const;

private:
    int saved_ = 0;
};

// A library call under the error callback's rules: the result, or 1.0 after a domain,
// singularity, overflow or underflow error has been handled.
template <class F>
double CheckedMathCall(std::string_view function, F&& call, double a, double b = 0.0,
                       bool twoArguments = false)
{
    FloatingPointStatusScope scope;
    const double result = call();
    const int kind = scope.ErrorKind(result, a, twoArguments ? b : 0.0);
    if (kind == 0) return result;
    if (twoArguments)
        HandleMathLibraryError(kind, function, a, b);
    else
        HandleMathLibraryError(kind, function, a);
    return 1.0;
}

// pow under the callback's rules.
double CheckedPow(double base, double exponent);

}  // namespace kq5
