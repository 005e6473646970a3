#pragma once
// Helpers of the expression tests: quiet compiles (errors come back as ids and texts) and
// one-shot evaluations, over a clean analysis, device and digital state.
#include <gtest/gtest.h>

#include <complex>
#include <string>
#include <string_view>

#include "core/analysis_state.h"
#include "core/expr_compiler.h"
#include "core/expr_evaluator.h"
#include "core/expr_math_errors.h"
#include "core/expr_symbols.h"
#include "core/message_args.h"
#include "platform/string_table.h"
#include "core/device_record_fields.h"
#include "core/digital_node_states.h"

namespace kq5::test {

inline constexpr std::uint32_t kPlotContext = kContextTransient | kContextLimitsDialog;
inline constexpr std::uint32_t kPlotKinds = 0x7C840;

class ExpressionTest : public ::testing::Test {
protected:
    void SetUp() override { ResetAll(); }
    void TearDown() override { ResetAll(); }

    static void ResetAll()
    {
        ResetAnalysisStateForTests();
        ResetDevicesStateForTests();
        ResetDigitalSimulatorForTests();
        SetExpressionNameTable(nullptr);
        SetNodeNameLookup(nullptr);
        ResetMathErrors();
    }

    // Quiet compile: 0 or the message id; the message's text is kept in lastError.
    int Compile(std::string_view text, CompiledExpression& target, std::uint32_t context = kPlotContext,
                std::uint32_t kinds = kPlotKinds)
    {
        ExpressionRequest request;
        InitExpressionRecord(text, &target, context, kinds, request);
        request.quiet = true;
        const int rc = CompileExpression(request);
        lastError.clear();
        if (rc) {
            auto format = FindStringTableText(rc);
            MessageArgs args = MakeMessageArgs(request.quietTexts[0], request.quietTexts[1]);
            lastError = format ? FormatMarkedText(*format, args) : std::string();
            if (MessageMarker(lastError)) lastError.erase(0, 2);
        }
        return rc;
    }

    // Compiles (which must succeed) and evaluates once.
    std::complex<double> Eval(std::string_view text, std::uint32_t options = 0)
    {
        CompiledExpression e;
        EXPECT_EQ(Compile(text, e), 0) << text << ": " << lastError;
        std::complex<double> value;
        ResetMathErrors();  // as a calculator line does
        lastCode = EvaluateExpression(e, value, options);
        return value;
    }

    double EvalReal(std::string_view text)
    {
        std::complex<double> v = Eval(text);
        EXPECT_EQ(lastCode, 0) << text;
        return v.real();
    }

    // The id a text fails to compile with.
    int CompileError(std::string_view text, std::uint32_t context = kPlotContext, std::uint32_t kinds = kPlotKinds)
    {
        CompiledExpression e;
        return Compile(text, e, context, kinds);
    }

    std::string lastError;
    int lastCode = 0;
};

}  // namespace kq5::test
