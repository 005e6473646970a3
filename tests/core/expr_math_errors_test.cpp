// Floating-point faults and math-library errors of evaluations, and the report of the
// difference functions after a run.
#include <cfenv>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "analog/analog_state.h"
#include "analog/expr_run_services.h"
#include "core/error_context.h"
#include "core/file_units.h"
#include "expr_test_support.h"
#include "results/curve_record.h"
#include "results/waveform_store.h"

namespace kq5 {
namespace {

using Complex = std::complex<double>;

class ExprMathErrors : public test::ExpressionTest {
protected:
    void SetUp() override
    {
        ExpressionTest::SetUp();
        FreePendingErrorTexts();
        Analysis().analysisKind = kAnalysisTransient;
    }
    void TearDown() override
    {
        FreePendingErrorTexts();
        ExpressionTest::TearDown();
    }

    // Evaluates with T set, so that nothing folds at compile time.
    int EvaluateAt(const std::string& text, double time, Complex& value)
    {
        Analysis().variables.time = time;
        CompiledExpression e;
        EXPECT_EQ(Compile(text, e), 0) << lastError;
        return EvaluateExpression(e, value);
    }

    static std::string Pending() { return PendingErrors().first; }
};

TEST_F(ExprMathErrors, AnOverflowIsReportedOnceAndTheValueIsOne)
{
    Complex v;
    EXPECT_EQ(EvaluateAt("T*T", 1e200, v), 15060);
    EXPECT_EQ(v, Complex(1.0, 0.0));
    EXPECT_NE(Pending().find("Floating point 'overflow'."), std::string::npos) << Pending();
    // The next evaluation starts clean.
    FreePendingErrorTexts();
    EXPECT_EQ(EvaluateAt("T*2", 3.0, v), 0);
    EXPECT_EQ(v, Complex(6.0, 0.0));
    EXPECT_TRUE(Pending().empty());
}

// A result below the smallest double rounds to a denormal or to zero, which is the answer;
// an invalid operation is a fault.
TEST_F(ExprMathErrors, UnderflowIsAResultAndInvalidOperationAFault)
{
    Complex v;
    EXPECT_EQ(EvaluateAt("T*T", 1e-200, v), 0);
    EXPECT_EQ(v, Complex(0.0, 0.0));
    EXPECT_EQ(EvaluateAt("T*1E-10", 1e-300, v), 0);
    EXPECT_DOUBLE_EQ(v.real(), 1e-310);
    EXPECT_EQ(EvaluateAt("10**(-T)", 400.0, v), 0);
    EXPECT_EQ(v, Complex(0.0, 0.0));
    EXPECT_TRUE(Pending().empty()) << Pending();
    EXPECT_EQ(EvaluateAt("T MOD 0", 5.0, v), 15060);
    EXPECT_NE(Pending().find("'invalid operation'"), std::string::npos) << Pending();
}

// The solver's arithmetic between two evaluations (its overflows and invalid operations
// included) is not blamed on the next evaluation, and is still there for the solver after it.
TEST_F(ExprMathErrors, AnEvaluationAnswersOnlyForItsOwnArithmetic)
{
    Analysis().variables.time = 3.0;
    CompiledExpression e;
    ASSERT_EQ(Compile("T*2", e), 0) << lastError;
    Complex v;
    std::feraiseexcept(FE_OVERFLOW | FE_INVALID | FE_UNDERFLOW);
    EXPECT_EQ(EvaluateExpression(e, v), 0);
    EXPECT_EQ(v, Complex(6.0, 0.0));
    EXPECT_TRUE(Pending().empty()) << Pending();
    EXPECT_NE(std::fetestexcept(FE_OVERFLOW), 0);
    EXPECT_NE(std::fetestexcept(FE_INVALID), 0);
    std::feclearexcept(FE_ALL_EXCEPT);
}

TEST_F(ExprMathErrors, LibraryErrorsNameTheFunctionAndItsArguments)
{
    Complex v;
    EXPECT_EQ(EvaluateAt("10**(T*400)", 1.0, v), 15060);
    EXPECT_EQ(v, Complex(1.0, 0.0));
    EXPECT_NE(Pending().find("Floating point 'pow(10,400) Overflow range error'."), std::string::npos) << Pending();
    FreePendingErrorTexts();
    EXPECT_EQ(EvaluateAt("0**(-T)", 1.0, v), 15060);
    EXPECT_NE(Pending().find("pow(0,-1) Argument singularity"), std::string::npos) << Pending();
    FreePendingErrorTexts();
    EXPECT_EQ(EvaluateAt("COSH(T)", 1000.0, v), 15060);
    EXPECT_NE(Pending().find("cosh(1000) Overflow range error"), std::string::npos) << Pending();
    // A library error and a unit fault in one evaluation give one message, the first.
    FreePendingErrorTexts();
    EXPECT_EQ(EvaluateAt("10**(T*400) + 1E200*T*1E200", 1.0, v), 15060);
    EXPECT_NE(Pending().find("pow(10,400)"), std::string::npos) << Pending();
}

TEST_F(ExprMathErrors, FaultCodesMapToTheirTexts)
{
    const std::pair<int, const char*> cases[] = {
        {0x81, "invalid operation"}, {0x82, "denormal"},       {0x83, "division by zero"},
        {0x86, "inexact"},           {0x88, "neg sqrt()"},     {0x89, "stack overflow"},
        {0x8A, "stack underflow"},   {0x8B, "math error"},     {0x70, "math error"},
    };
    for (const auto& [code, text] : cases) {
        FreePendingErrorTexts();
        MathErrors().pendingError = kMsgFaultPending;
        MathErrors().faultCode = code;
        EXPECT_EQ(ReportMathError(), 15060);
        EXPECT_NE(Pending().find(std::string("'") + text + "'"), std::string::npos) << code << ": " << Pending();
        EXPECT_EQ(MathErrors().pendingError, 0);
    }
    // Other pending words come back as they are and are cleared.
    MathErrors().pendingError = 1;
    EXPECT_EQ(ReportMathError(), 1);
    EXPECT_EQ(ReportMathError(), 0);
}

TEST_F(ExprMathErrors, InstructionsThatCannotRunHereFail)
{
    // A delay program belongs to the digital simulator: the evaluator refuses it.
    CompiledExpression e;
    ASSERT_EQ(Compile("CASE(TRN_LH, DELAY(1,2,3))", e, kContextTransient, 0x80), 0) << lastError;
    Complex v;
    EXPECT_EQ(EvaluateExpression(e, v), kEvalFailed);
    EXPECT_EQ(v, Complex(1.0, 0.0));
    EXPECT_TRUE(Pending().empty());
}

// The report after a run: one stored curve of DIFA values.
class ExprDifferenceReport : public ExprMathErrors {
protected:
    void SetUp() override
    {
        ExprMathErrors::SetUp();
        ResetFileUnitsForTests();
        ResetAnalogStateForTests();
    }
    void TearDown() override
    {
        ResetFileUnitsForTests();
        ResetAnalogStateForTests();
        ExprMathErrors::TearDown();
    }

    CurveRecord& AddCurve(PlotRecord& plot, const std::string& y, const std::vector<double>& xs,
                          const std::vector<double>& ys)
    {
        plot.curves.push_back(std::make_unique<CurveRecord>());
        CurveRecord& c = *plot.curves.back();
        c.xExpressionText = "T";
        c.yExpressionText = y;
        EXPECT_EQ(Compile(y, c.yExpression), 0) << lastError;
        c.runFirstIndex = {0};
        c.runLastIndex = {static_cast<int>(xs.size()) - 1};
        for (std::size_t i = 0; i < xs.size(); ++i) {
            WaveformStoreWrite(c, xs[i], kWaveformX);
            WaveformStoreWrite(c, ys[i], kWaveformY);
        }
        return c;
    }
};

TEST_F(ExprDifferenceReport, MarksDifferencesThatPersistAndWritesThem)
{
    PlotRecord plot;
    // A one-point glitch over a short step is ignored; a mismatch that lasts, or one over a
    // step of at least the tolerance, is marked.
    CurveRecord& c = AddCurve(plot, "DIFA(V(0), T, 0.5)", {0.0, 0.1, 0.2, 1.0, 1.1, 1.2}, {0, 1, 0, 1, 1, 0});
    const std::string path = ::testing::TempDir() + "/difference.tno";
    ASSERT_EQ(CreateUnit(path, 3), 0);
    Analog().numericOutputUnit = 3;
    EXPECT_EQ(ReportDifferenceErrors(plot, "amp"), 2);
    EXPECT_EQ(CloseUnit(3), 0);
    const double want[] = {0, 0, 0, 1, 1, 0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(WaveformStoreRead(c, 0, i), want[i]) << i;
    ASSERT_EQ(c.runDifferenceFound.size(), 1u);
    EXPECT_EQ(c.runDifferenceFound[0], 1);
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "amp At T = 1, DIFA(V(0), T, 0.5) generated an error.\r\n"
                          "amp At T = 1.1, DIFA(V(0), T, 0.5) generated an error.\r\n");
}

}  // namespace
}  // namespace kq5
