// The expression compiler and one evaluation of what it compiled. The first byte picks the
// context the text is compiled for; the rest is the text.
#include <complex>
#include <utility>

#include "core/expr_compiler.h"
#include "core/expr_evaluator.h"
#include "core/expr_math_errors.h"
#include "core/expr_symbols.h"
#include "fuzz_support.h"

using namespace kq5;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    fuzz::ResetFuzzWorld();
    // The contexts and kinds the program compiles with: curves, number fields, device values.
    constexpr std::uint32_t kCurveKinds = kItemNumber | kItemDigitalState | kItemBin | kItemOct | kItemDec | kItemHex;
    constexpr std::pair<std::uint32_t, std::uint32_t> kUses[] = {
        {kContextTransient | kContextLimitsDialog, kCurveKinds}, {kContextAc | kContextLimitsDialog, kCurveKinds},
        {kContextDc | kContextLimitsDialog, kCurveKinds},        {kContextNumberField, kItemNumber},
        {kContextTransient, kItemNumber},                        {kContextAc, kItemNumber},
        {kContextDc, kItemNumber},
    };
    const auto [context, kinds] = kUses[data[0] % std::size(kUses)];
    CompiledExpression compiled;
    ExpressionRequest request;
    InitExpressionRecord(fuzz::AsText(data + 1, size - 1), &compiled, context, kinds, request);
    request.quiet = true;
    if (CompileExpression(request) == 0) {
        std::complex<double> value;
        ResetMathErrors();
        EvaluateExpression(compiled, value, 0);
    }
    FreeCompiledExpression(compiled);
    fuzz::ResetFuzzWorld();
    return 0;
}
