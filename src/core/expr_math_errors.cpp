#include "core/expr_math_errors.h"

#include <cfenv>
#include <cmath>

#include "core/error_context.h"
#include "core/format.h"
#include "core/fp_flags.h"
#include "core/message_reporter.h"

namespace kq5 {

namespace {

MathErrorState& State()
{
    static MathErrorState state;
    return state;
}

// Reads and clears the unit's status; the first fault in order of preference, 0 when none.
// Inexact results are not faults, and neither are underflows: a result too small for a double
// rounds to a denormal or to zero, which is the right answer (a response 300 decades down a
// filter chain, the last digits of a solver's elimination).
int CaptureFault()
{
    const int raised = RaisedFpFlags(FE_DIVBYZERO | FE_OVERFLOW | FE_INVALID);
    ClearFpFlags();
    if (raised & FE_DIVBYZERO) return kFaultZeroDivide;
    if (raised & FE_OVERFLOW) return kFaultOverflow;
    if (raised & FE_INVALID) return kFaultInvalid;
    return 0;
}

std::string FaultText(int code)
{
    std::string text;
    if (code >= kFaultInvalid && code <= kFaultStackUnderflow + 1)
        text = LoadResString(code + kFaultMessageBase);
    return text.empty() ? std::string("math error") : text;
}

}  // namespace

MathErrorState& MathErrors()
{
    return State();
}

void ResetMathErrors()
{
    ClearFpFlags();
    State().pendingError = 0;
    State().faultCode = 0;
}

void SetPendingMathError(int code)
{
    if (State().pendingError == 0) State().pendingError = code;
}

int ReportMathError()
{
    MathErrorState& s = State();
    if (s.pendingError == 0) {
        if (int fault = CaptureFault()) {
            s.faultCode = fault;
            s.pendingError = kMsgFaultPending;
        }
    }
    if (s.pendingError != kMsgFaultPending) {
        const int code = s.pendingError;
        s.pendingError = 0;
        return code;
    }
    const int fault = s.faultCode;
    SetPendingErrorTextFmt(kMsgFloatingPoint, FaultText(fault));
    ResetMathErrors();
    return kMsgMathErrorReported;
}

std::string_view MathLibraryErrorWord(int kind)
{
    switch (kind) {
    case kMathDomain: return "Domain error";
    case kMathSingularity: return "Argument singularity";
    case kMathOverflow: return "Overflow range error";
    case kMathUnderflow: return "Underflow range error";
    case kMathTotalLoss: return "Total loss of significance";
    case kMathPartialLoss: return "Partial loss of significance";
    default: return "";
    }
}

void HandleMathLibraryError(int kind, std::string_view function, double a)
{
    if (State().pendingError == 0) {
        const std::string name(function);
        const std::string word(MathLibraryErrorWord(kind));
        SetPendingErrorTextFmt(kMsgFloatingPoint, StrPrintf("%s(%g) %s", name.c_str(), a, word.c_str()));
    }
    State().pendingError = kMsgMathErrorReported;
}

void HandleMathLibraryError(int kind, std::string_view function, double a, double b)
{
    if (State().pendingError == 0) {
        const std::string name(function);
        const std::string word(MathLibraryErrorWord(kind));
        SetPendingErrorTextFmt(kMsgFloatingPoint,
                               StrPrintf("%s(%g,%g) %s", name.c_str(), a, b, word.c_str()));
    }
    State().pendingError = kMsgMathErrorReported;
}

FloatingPointStatusScope::FloatingPointStatusScope()
{
    saved_ = RaisedFpFlags(FE_ALL_EXCEPT);
    if (saved_ != 0) ClearFpFlags();
}

FloatingPointStatusScope::~FloatingPointStatusScope()
{
    SetFpFlags(saved_);
}

int FloatingPointStatusScope::ErrorKind(double result, double a, double b) const
{
    const bool inputsFinite = std::isfinite(a) && std::isfinite(b);
    if (std::isnan(result) && !std::isnan(a) && !std::isnan(b)) return kMathDomain;
    if (RaisedFpFlags(FE_DIVBYZERO)) return kMathSingularity;
    // A result that underflows to zero is the correct rounding, not an error.
    if (std::isinf(result) && inputsFinite) return kMathOverflow;
    return 0;
}

double CheckedPow(double base, double exponent)
{
    return CheckedMathCall("pow", [&] { return std::pow(base, exponent); }, base, exponent, true);
}

}  // namespace kq5
