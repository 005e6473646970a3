// The expression language's arithmetic, checked against independent references: the
// standard library's complex and special functions and plain numerical integration.
#include <cmath>
#include <complex>
#include <vector>

#include "expr_test_support.h"

namespace kq5 {
namespace {

using Complex = std::complex<double>;
using test::ExpressionTest;

class ExprEvaluator : public ExpressionTest {};

void ExpectNear(Complex got, Complex want, double tol, const std::string& what)
{
    const double scale = std::max(1.0, std::abs(want));
    EXPECT_NEAR(got.real(), want.real(), tol * scale) << what;
    EXPECT_NEAR(got.imag(), want.imag(), tol * scale) << what;
}

TEST_F(ExprEvaluator, PrecedenceAndAssociativity)
{
    EXPECT_DOUBLE_EQ(EvalReal("2**3**2"), 64.0);  // ** associates to the left
    EXPECT_DOUBLE_EQ(EvalReal("-2**2"), -4.0);    // unary minus binds looser than **
    EXPECT_DOUBLE_EQ(EvalReal("2**-1"), 0.5);
    EXPECT_DOUBLE_EQ(EvalReal("2*-3"), -6.0);
    EXPECT_DOUBLE_EQ(EvalReal("1+2*3"), 7.0);
    EXPECT_DOUBLE_EQ(EvalReal("(1+2)*3"), 9.0);
    EXPECT_DOUBLE_EQ(EvalReal("10-4-3"), 3.0);
    EXPECT_DOUBLE_EQ(EvalReal("64/4/2"), 8.0);
    EXPECT_DOUBLE_EQ(EvalReal("-3*2"), -6.0);
    EXPECT_DOUBLE_EQ(EvalReal("2+3>4"), 1.0);        // + binds tighter than >
    EXPECT_DOUBLE_EQ(EvalReal("1<2 = 1"), 1.0);      // < binds tighter than =
    EXPECT_DOUBLE_EQ(EvalReal("1 OR 0 AND 0"), 1.0); // AND binds tighter than OR
    EXPECT_DOUBLE_EQ(EvalReal("1 XOR 1 OR 1"), 1.0); // XOR binds tighter than OR
    EXPECT_DOUBLE_EQ(EvalReal("NOT 0 AND 0"), 0.0);  // NOT binds tighter than AND
    EXPECT_DOUBLE_EQ(EvalReal("6 & 3 | 8"), 10.0);   // & binds tighter than |
    EXPECT_DOUBLE_EQ(EvalReal("5 ^ 1 & 3"), 4.0);    // & binds tighter than ^
    EXPECT_DOUBLE_EQ(EvalReal("~0"), -1.0);
    EXPECT_DOUBLE_EQ(EvalReal("7 DIV 2 * 2"), 6.0);
    EXPECT_DOUBLE_EQ(EvalReal("+5"), 5.0);
    EXPECT_DOUBLE_EQ(EvalReal("2 ** 0.5 ** 2"), 2.0);
}

TEST_F(ExprEvaluator, NumbersWithScaleSuffixes)
{
    EXPECT_DOUBLE_EQ(EvalReal("10K"), 10000.0);
    EXPECT_DOUBLE_EQ(EvalReal("1MEG"), 1e6);
    EXPECT_DOUBLE_EQ(EvalReal("1M"), 0.001);
    EXPECT_DOUBLE_EQ(EvalReal("4.7uF"), 4.7e-6);
    EXPECT_DOUBLE_EQ(EvalReal("1E299"), 1e299);
    EXPECT_DOUBLE_EQ(EvalReal("2.5E-3"), 2.5e-3);
    EXPECT_DOUBLE_EQ(EvalReal(".5"), 0.5);
    EXPECT_DOUBLE_EQ(EvalReal("PI"), 3.141592653589793);
    EXPECT_DOUBLE_EQ(EvalReal("TRUE + FALSE"), 1.0);
}

TEST_F(ExprEvaluator, ComplexArithmeticMatchesStdComplex)
{
    const Complex j(0.0, 1.0);
    ExpectNear(Eval("(1+2*J)*(3-J)"), Complex(1, 2) * Complex(3, -1), 1e-15, "product");
    ExpectNear(Eval("(1+2*J)/(3-J)"), Complex(1, 2) / Complex(3, -1), 1e-15, "quotient");
    ExpectNear(Eval("J*J"), j * j, 1e-15, "j squared");
    const std::vector<Complex> zs = {{0.3, 0.4}, {-1.5, 2.0}, {2.0, -0.7}, {-0.2, -0.9}};
    for (Complex z : zs) {
        char text[128];
        std::snprintf(text, sizeof text, "(%.17g + %.17g*J)", z.real(), z.imag());
        const std::string s = text;
        ExpectNear(Eval("LN" + s), std::log(z), 1e-12, "ln " + s);
        ExpectNear(Eval("LOG" + s), std::log10(z), 1e-12, "log " + s);
        ExpectNear(Eval("EXP" + s), std::exp(z), 1e-12, "exp " + s);
        ExpectNear(Eval("SQRT" + s), std::sqrt(z), 1e-12, "sqrt " + s);
        ExpectNear(Eval("ATAN" + s), std::atan(z), 1e-9, "atan " + s);
        ExpectNear(Eval("ATANH" + s), std::atanh(z), 1e-9, "atanh " + s);
        ExpectNear(Eval("ASINH" + s), std::asinh(z), 1e-9, "asinh " + s);
        ExpectNear(Eval("ACOSH" + s), std::acosh(z), 1e-9, "acosh " + s);
        ExpectNear(Eval("ASIN" + s), std::asin(z), 1e-9, "asin " + s);
        ExpectNear(Eval("ACOS" + s), std::acos(z), 1e-9, "acos " + s);
        ExpectNear(Eval("COSH" + s), std::cosh(z), 1e-12, "cosh " + s);
        ExpectNear(Eval("SINH" + s), std::sinh(z), 1e-12, "sinh " + s);
        ExpectNear(Eval("TANH" + s), std::tanh(z), 1e-12, "tanh " + s);
        ExpectNear(Eval("COTH" + s), 1.0 / std::tanh(z), 1e-12, "coth " + s);
        ExpectNear(Eval(s + "**(0.5+0.25*J)"), std::pow(z, Complex(0.5, 0.25)), 1e-12, "pow " + s);
        EXPECT_NEAR(Eval("MAG" + s).real(), std::abs(z), 1e-15);
        EXPECT_NEAR(Eval("PH" + s).real(), std::arg(z) * 180.0 / M_PI, 1e-12);
        EXPECT_NEAR(Eval("DB" + s).real(), 20.0 * std::log10(std::abs(z)), 1e-12);
        EXPECT_DOUBLE_EQ(Eval("RE" + s).real(), z.real());
        EXPECT_DOUBLE_EQ(Eval("IMAG" + s).real(), z.imag());
    }
}

// Real arguments outside a real function's domain give the principal complex value, as for the
// same number with a zero imaginary part.
TEST_F(ExprEvaluator, RealArgumentsBeyondTheRealDomainGiveThePrincipalValue)
{
    for (double x : {-3.0, -2.0, -1.5, 1.5, 2.0, 3.0}) {
        char arg[64];
        std::snprintf(arg, sizeof arg, "(%.17g)", x);
        const std::string a = arg;
        const Complex z(x, 0.0);
        ExpectNear(Eval("ATANH" + a), std::atanh(z), 1e-9, "atanh " + a);
        ExpectNear(Eval("ASIN" + a), std::asin(z), 1e-9, "asin " + a);
        ExpectNear(Eval("ACOS" + a), std::acos(z), 1e-9, "acos " + a);
        if (x < 1) ExpectNear(Eval("ACOSH" + a), std::acosh(z), 1e-9, "acosh " + a);
        if (x < 0) ExpectNear(Eval("SQRT" + a), std::sqrt(z), 1e-12, "sqrt " + a);
    }
}

TEST_F(ExprEvaluator, RealFunctionsMatchTheLibrary)
{
    for (double x : {-2.5, -0.7, 0.0, 0.3, 0.99, 1.5, 7.25}) {
        char arg[64];
        std::snprintf(arg, sizeof arg, "(%.17g)", x);
        const std::string a = arg;
        EXPECT_NEAR(EvalReal("SIN" + a), std::sin(x), 1e-15);
        EXPECT_NEAR(EvalReal("COS" + a), std::cos(x), 1e-15);
        EXPECT_NEAR(EvalReal("TAN" + a), std::tan(x), 1e-13);
        EXPECT_NEAR(EvalReal("ATN" + a), std::atan(x), 1e-15);
        EXPECT_NEAR(EvalReal("ARCTAN" + a), std::atan(x), 1e-15);
        EXPECT_NEAR(EvalReal("ASINH" + a), std::asinh(x), 1e-15);
        EXPECT_NEAR(EvalReal("TANH" + a), std::tanh(x), 1e-15);
        EXPECT_NEAR(EvalReal("EXP" + a), std::exp(x), 1e-13);
        EXPECT_NEAR(EvalReal("ABS" + a), std::abs(x), 0.0);
        EXPECT_DOUBLE_EQ(EvalReal("SGN" + a), x > 0 ? 1.0 : (x < 0 ? -1.0 : 0.0));
        EXPECT_NEAR(EvalReal("ATAN2(" + a + ", 0.4)"), std::atan2(x, 0.4), 1e-15);
        if (std::abs(x) < 1) {
            EXPECT_NEAR(EvalReal("ATANH" + a), std::atanh(x), 1e-15);
            EXPECT_NEAR(EvalReal("ASIN" + a), std::asin(x), 1e-15);
            EXPECT_NEAR(EvalReal("ACOS" + a), std::acos(x), 1e-15);
        }
        if (x >= 1) { EXPECT_NEAR(EvalReal("ACOSH" + a), std::acosh(x), 1e-15); }
        if (x > 0) {
            EXPECT_NEAR(EvalReal("LN" + a), std::log(x), 1e-15);
            EXPECT_NEAR(EvalReal("LOG10" + a), std::log10(x), 1e-15);
            EXPECT_NEAR(EvalReal("SQRT" + a), std::sqrt(x), 1e-15);
        }
    }
    EXPECT_DOUBLE_EQ(EvalReal("MIN(3, -2)"), -2.0);
    EXPECT_DOUBLE_EQ(EvalReal("MAX(3, -2)"), 3.0);
    EXPECT_DOUBLE_EQ(EvalReal("PWR(2, 10)"), 1024.0);
    EXPECT_DOUBLE_EQ(EvalReal("POW(9, 0.5)"), 3.0);
    EXPECT_DOUBLE_EQ(EvalReal("PWRS(2, 3)"), 8.0);
    EXPECT_DOUBLE_EQ(EvalReal("PWRS(-2, 3)"), -8.0);
    EXPECT_DOUBLE_EQ(EvalReal("PWRS(-4, 0.5)"), -2.0);
    EXPECT_DOUBLE_EQ(EvalReal("(-8)**(1/3)"), 0.0);  // negative base, fractional power
    EXPECT_DOUBLE_EQ(EvalReal("(-2)**3"), -8.0);
}

TEST_F(ExprEvaluator, BesselFunctionsMatchTheStandardLibrary)
{
    for (double x : {0.1, 0.5, 1.0, 2.4048, 5.0, 12.5}) {
        char arg[64];
        std::snprintf(arg, sizeof arg, "%.17g", x);
        const std::string a = arg;
        EXPECT_NEAR(EvalReal("J0(" + a + ")"), std::cyl_bessel_j(0.0, x), 1e-12) << x;
        EXPECT_NEAR(EvalReal("J1(" + a + ")"), std::cyl_bessel_j(1.0, x), 1e-12) << x;
        EXPECT_NEAR(EvalReal("Y0(" + a + ")"), std::cyl_neumann(0.0, x), 1e-10) << x;
        EXPECT_NEAR(EvalReal("Y1(" + a + ")"), std::cyl_neumann(1.0, x), 1e-10) << x;
        for (int n : {2, 3, 5}) {
            char order[96];
            std::snprintf(order, sizeof order, "(%d, %s)", n, arg);
            const std::string nx = order;
            EXPECT_NEAR(EvalReal("JN" + nx), std::cyl_bessel_j(n, x), 1e-12) << n << " " << x;
            EXPECT_NEAR(EvalReal("YN" + nx), std::cyl_neumann(n, x), 1e-8 * std::max(1.0, std::abs(std::cyl_neumann(n, x))))
                << n << " " << x;
        }
    }
    // The order is rounded; orders below 1 use order 0.
    EXPECT_DOUBLE_EQ(EvalReal("JN(2.4, 3)"), EvalReal("JN(2, 3)"));
    EXPECT_DOUBLE_EQ(EvalReal("JN(-3, 3)"), EvalReal("J0(3)"));
    EXPECT_DOUBLE_EQ(EvalReal("YN(1, 3)"), EvalReal("Y1(3)"));
    // Y of a non-positive argument reads at 1e-15.
    EXPECT_DOUBLE_EQ(EvalReal("Y0(0)"), EvalReal("Y0(1E-15)"));
    EXPECT_DOUBLE_EQ(EvalReal("Y0(-3)"), EvalReal("Y0(1E-15)"));
}

TEST_F(ExprEvaluator, FaultFreeEdgeCases)
{
    EXPECT_DOUBLE_EQ(EvalReal("LOG(100)"), 2.0);
    EXPECT_DOUBLE_EQ(EvalReal("LOG10(100)"), 2.0);
    EXPECT_DOUBLE_EQ(EvalReal("LOG(0)"), -50.0);
    EXPECT_NEAR(EvalReal("LN(0)"), -115.129254649702, 1e-9);
    EXPECT_DOUBLE_EQ(EvalReal("LN(-1)"), 0.0);  // a real argument's absolute value
    EXPECT_DOUBLE_EQ(EvalReal("EXP(1000)"), EvalReal("EXP(150)"));
    EXPECT_DOUBLE_EQ(EvalReal("EXP(-1000)"), EvalReal("EXP(-150)"));
    ExpectNear(Eval("SQRT(-4)"), Complex(0, 2), 1e-15, "sqrt(-4)");
    EXPECT_DOUBLE_EQ(EvalReal("7 DIV 2"), 3.0);
    EXPECT_DOUBLE_EQ(EvalReal("-7 DIV 2"), -3.0);
    EXPECT_DOUBLE_EQ(EvalReal("7 DIV 0"), 7e50);
    EXPECT_DOUBLE_EQ(EvalReal("1/0"), 1e50);
    ExpectNear(Eval("1/(0*J)"), Complex(1e50, 0), 1e-15, "complex zero divisor");
    EXPECT_DOUBLE_EQ(EvalReal("7 MOD 3"), 1.0);
    EXPECT_DOUBLE_EQ(EvalReal("SIN(1E9)"), EvalReal("SIN(1E8)"));
    EXPECT_DOUBLE_EQ(EvalReal("FACT(-1)"), 0.0);
    EXPECT_DOUBLE_EQ(EvalReal("FACT(0)"), 1.0);
    EXPECT_DOUBLE_EQ(EvalReal("FACT(5.4)"), 120.0);
    EXPECT_DOUBLE_EQ(EvalReal("FACT(20)"), 2432902008176640000.0);
    EXPECT_DOUBLE_EQ(EvalReal("DB(0)"), -1000.0);
    EXPECT_DOUBLE_EQ(EvalReal("COTH(0)"), 1e50);
}

TEST_F(ExprEvaluator, ComparisonsAndLogic)
{
    EXPECT_DOUBLE_EQ(EvalReal("3 >= 3"), 1.0);
    EXPECT_DOUBLE_EQ(EvalReal("3 <> 3"), 0.0);
    EXPECT_DOUBLE_EQ(EvalReal("3 != 4"), 1.0);
    EXPECT_DOUBLE_EQ(EvalReal("3 == 3"), 1.0);
    EXPECT_DOUBLE_EQ(EvalReal("2 NAND 3"), 0.0);
    EXPECT_DOUBLE_EQ(EvalReal("0 NOR 0"), 1.0);
    EXPECT_DOUBLE_EQ(EvalReal("NOT 2.5"), 0.0);
    // Complex operands compare by modulus: |3+4j| = 5.
    EXPECT_DOUBLE_EQ(EvalReal("(3+4*J) > 4.5"), 1.0);
    EXPECT_DOUBLE_EQ(EvalReal("(3+4*J) == 5"), 1.0);
    EXPECT_DOUBLE_EQ(EvalReal("IF(1, 2, 3)"), 2.0);
    EXPECT_DOUBLE_EQ(EvalReal("IF(0, 2, 3)"), 3.0);
    EXPECT_DOUBLE_EQ(EvalReal("LIMIT(5, 0, 2)"), 2.0);
    EXPECT_DOUBLE_EQ(EvalReal("LIMIT(-5, 2, 0)"), 0.0);  // bounds swapped first
    EXPECT_DOUBLE_EQ(EvalReal("STP(0)"), 1.0);
    EXPECT_DOUBLE_EQ(EvalReal("STP(-1U)"), 0.0);
    EXPECT_DOUBLE_EQ(EvalReal("DIFA(1, 1.5, 0.4)"), 1.0);
    EXPECT_DOUBLE_EQ(EvalReal("DIFA(1, 1.5, 0.6)"), 0.0);
    EXPECT_DOUBLE_EQ(EvalReal("DIFA(1, 1.5, -1)"), 1.0);
}

TEST_F(ExprEvaluator, TableInterpolates)
{
    EXPECT_DOUBLE_EQ(EvalReal("TABLE(1.5, 0,0, 1,10, 2,30)"), 20.0);
    EXPECT_DOUBLE_EQ(EvalReal("TABLE(-1, 0,0, 1,10, 2,30)"), 0.0);   // below: y of the smallest x
    EXPECT_DOUBLE_EQ(EvalReal("TABLE(5, 0,0, 1,10, 2,30)"), 30.0);   // above: y of the largest x
    EXPECT_DOUBLE_EQ(EvalReal("TABLE(1.5, 2,30, 1,10, 0,0)"), 20.0); // descending x
    EXPECT_DOUBLE_EQ(EvalReal("TABLE(1, 0,0, 1,10, 1,20)"), 10.0);   // the first interval wins
    EXPECT_DOUBLE_EQ(EvalReal("TABLE(1, 1,10, 1,20)"), 15.0);        // equal x: the mean
}

TEST_F(ExprEvaluator, BoundVariablesAndNodesAreReadAtEveryEvaluation)
{
    Analysis().analysisKind = kAnalysisTransient;
    AnalysisVariables& v = Analysis().variables;
    v.time = 1e-3;
    CompiledExpression e;
    ASSERT_EQ(Compile("T*1000 + TMAX", e), 0);
    Complex r;
    v.tmax = 5.0;
    ASSERT_EQ(EvaluateExpression(e, r), 0);
    EXPECT_DOUBLE_EQ(r.real(), 6.0);
    v.time = 2e-3;
    ASSERT_EQ(EvaluateExpression(e, r), 0);
    EXPECT_DOUBLE_EQ(r.real(), 7.0);

    // S in transient: sigma + j 2 pi F.
    v.laplaceSigma = 3.0;
    v.frequency = 1.0;
    ExpectNear(Eval("S"), Complex(3.0, 2 * M_PI), 1e-15, "S");
    Analysis().analysisKind = kAnalysisAc;
    ExpectNear(Eval("S"), Complex(0.0, 2 * M_PI), 1e-15, "S in AC");
}

TEST_F(ExprEvaluator, NoiseOfTheCurrentAcPoint)
{
    Analysis().analysisKind = kAnalysisAc;
    EXPECT_DOUBLE_EQ(EvalReal("ONOISE"), 1e-50);  // no generators
    Analysis().solution.complex = {{0, 0}, {1, 1}, {0, 2}};
    Analysis().noise.sources = {{2.0, 1, 2}, {3.0, 0, 0}};
    Analysis().noise.savedExcitation = {{0, 0}, {1, 0}, {0, 0}};
    // sqrt((2·|x1 − x2|)²): |(1, −1)| = sqrt 2.
    EXPECT_NEAR(EvalReal("ONOISE"), 2.0 * std::sqrt(2.0), 1e-15);
    // The gain |x1·e1| = sqrt 2.
    EXPECT_NEAR(EvalReal("INOISE"), 2.0, 1e-15);
    Analysis().noise.savedExcitation.clear();  // no gain: 1e-30
    EXPECT_NEAR(EvalReal("INOISE"), 2.0 * std::sqrt(2.0) / 1e-30, 1e16);
}

TEST_F(ExprEvaluator, RandomNumbersCanBeFixedByTheCaller)
{
    FixRandomValue(16384);
    EXPECT_DOUBLE_EQ(EvalReal("RND"), 16384.0 / 32767.0);
    EXPECT_DOUBLE_EQ(EvalReal("RND + RND"), 2 * 16384.0 / 32767.0);
    ReleaseRandomValue();
    for (int i = 0; i < 20; ++i) {
        double r = EvalReal("RND");
        EXPECT_GE(r, 0.0);
        EXPECT_LE(r, 1.0);
    }
}

// A sampled transient run: the state functions follow the points the caller accepts.
class ExprStateFunctions : public ExpressionTest {
protected:
    void SetUp() override
    {
        ExpressionTest::SetUp();
        Analysis().analysisKind = kAnalysisTransient;
    }

    // Runs y over the sample times; returns the expression's value at each point.
    std::vector<double> RunOver(const std::string& text, const std::vector<double>& times, double start)
    {
        CompiledExpression e;
        EXPECT_EQ(Compile(text, e), 0) << lastError;
        AnalysisVariables& v = Analysis().variables;
        v.tmin = start;
        std::vector<double> values;
        for (std::size_t i = 0; i < times.size(); ++i) {
            v.time = times[i];
            if (i == 0) UpdateExpressionStates(e, true);
            Complex r;
            EXPECT_EQ(EvaluateExpression(e, r), 0);
            values.push_back(r.real());
            UpdateExpressionStates(e, false);
        }
        return values;
    }
};

std::vector<double> Samples(double start, double end, int n)
{
    std::vector<double> t;
    for (int i = 0; i <= n; ++i) t.push_back(start + (end - start) * i / n);
    return t;
}

TEST_F(ExprStateFunctions, SumIsTheTrapezoidalIntegral)
{
    const std::vector<double> t = Samples(0.0, 1.0, 200);
    const std::vector<double> s = RunOver("SUM(SIN(2*PI*T), T)", t, 0.0);
    // Integral of sin(2 pi t) from 0 to t.
    for (std::size_t i = 0; i < t.size(); i += 20)
        EXPECT_NEAR(s[i], (1 - std::cos(2 * M_PI * t[i])) / (2 * M_PI), 1e-4) << t[i];
    EXPECT_DOUBLE_EQ(s[0], 0.0);
    // SDT integrates over time itself.
    const std::vector<double> sdt = RunOver("SDT(2*T)", t, 0.0);
    EXPECT_NEAR(sdt.back(), 1.0, 1e-9);
}

TEST_F(ExprStateFunctions, DelAndDdtFollowThePreviousPoint)
{
    const std::vector<double> t = {0.0, 0.1, 0.3, 0.6};
    const std::vector<double> del = RunOver("DEL(T*T)", t, 0.0);
    EXPECT_NEAR(del[2], 0.09 - 0.01, 1e-15);
    EXPECT_NEAR(del[3], 0.36 - 0.09, 1e-15);
    const std::vector<double> ddt = RunOver("DDT(3*T*T)", t, 0.0);
    EXPECT_DOUBLE_EQ(ddt[0], 0.0);
    EXPECT_NEAR(ddt[1], 3 * (0.01 - 0.0) / 0.1, 1e-12);
    EXPECT_NEAR(ddt[3], 3 * (0.36 - 0.09) / 0.3, 1e-12);
}

TEST_F(ExprStateFunctions, RunningAverageAndRmsWeighFromTheStartOfTheRun)
{
    // A run that starts at 1 s: the weights are the time since the start, not the time.
    const double start = 1.0;
    const std::vector<double> t = Samples(start, start + 2.0, 400);
    const std::vector<double> avg = RunOver("AVG(T)", t, start);
    const std::vector<double> rms = RunOver("RMS(2)", t, start);
    EXPECT_DOUBLE_EQ(avg[0], 0.0);  // 0 at the first point of the run
    EXPECT_DOUBLE_EQ(rms[0], 0.0);
    for (std::size_t i = 40; i < t.size(); i += 40) {
        // Reference: the mean of the rectangle rule the running mean uses (y at the new point).
        double integral = 0.0;
        for (std::size_t k = 1; k <= i; ++k) integral += (t[k] - t[k - 1]) * t[k];
        EXPECT_NEAR(avg[i], integral / (t[i] - start), 1e-9) << t[i];
        EXPECT_NEAR(rms[i], 2.0, 1e-12) << t[i];
    }
    // Mean of t over [1, 3] is 2.
    EXPECT_NEAR(avg.back(), 2.0, 0.01);
    const std::vector<double> sine = RunOver("RMS(SIN(2*PI*T))", Samples(start, start + 1.0, 2000), start);
    EXPECT_NEAR(sine.back(), std::sqrt(0.5), 1e-3);
}

TEST_F(ExprStateFunctions, PhaseContinuesAcrossTheBranchCut)
{
    Analysis().analysisKind = kAnalysisAc;
    CompiledExpression e;
    ASSERT_EQ(Compile("PH(EXP(-J*F))", e), 0);
    AnalysisVariables& v = Analysis().variables;
    double last = 0.0;
    for (int i = 0; i <= 60; ++i) {
        v.frequency = 0.1 * i;  // the phase is -F radians, winding past -180 degrees
        if (i == 0) UpdateExpressionStates(e, true, kEvalPhaseContinuation);
        Complex r;
        ASSERT_EQ(EvaluateExpression(e, r, kEvalPhaseContinuation), 0);
        last = r.real();
        UpdateExpressionStates(e, false, kEvalPhaseContinuation);
    }
    EXPECT_NEAR(last, -6.0 * 180.0 / M_PI, 1e-9);
    // Without continuation the phase stays within +-180.
    Complex r;
    ASSERT_EQ(EvaluateExpression(e, r), 0);
    EXPECT_NEAR(r.real(), -6.0 * 180.0 / M_PI + 360.0, 1e-9);
}

TEST_F(ExprStateFunctions, GroupDelayOfAPureDelay)
{
    Analysis().analysisKind = kAnalysisAc;
    CompiledExpression e;
    // A delay of 1 ms: phase -2 pi F * 1e-3.
    ASSERT_EQ(Compile("GD(EXP(-J*2*PI*F*1M))", e), 0);
    AnalysisVariables& v = Analysis().variables;
    std::vector<double> delays;
    for (int i = 0; i <= 10; ++i) {
        v.frequency = 10.0 + 20.0 * i;
        if (i == 0) UpdateExpressionStates(e, true, kEvalPhaseContinuation);
        Complex r;
        ASSERT_EQ(EvaluateExpression(e, r, kEvalPhaseContinuation), 0);
        delays.push_back(r.real());
        UpdateExpressionStates(e, false, kEvalPhaseContinuation);
    }
    for (std::size_t i = 1; i < delays.size(); ++i) EXPECT_NEAR(delays[i], 1e-3, 1e-12);
}

}  // namespace
}  // namespace kq5
