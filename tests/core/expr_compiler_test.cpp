// The compiler: syntax and context errors with their texts, binding of nodes, devices and
// model parameters, value kinds and constant folding.
#include <map>
#include <string>

#include "expr_test_support.h"
#include "platform/message_box.h"

namespace kq5 {
namespace {

using Complex = std::complex<double>;

class ExprCompiler : public test::ExpressionTest {
protected:
    void SetUp() override
    {
        ExpressionTest::SetUp();
        Analysis().analysisKind = kAnalysisTransient;
        Analysis().solution.real = {0.0, 5.0, 2.0, -1.0};
        Analysis().solution.complex = {{0, 0}, {1, 1}, {0, 2}, {3, 0}};
        nodes_ = {{"1", 1}, {"2", 2}, {"OUT", 3}};
        digitalNodes_ = {{"A", 1}, {"B", 2}};
        DigitalSimulator().current = {0, 3 | 0x1F8, 0 | 0x1F8};
        SetNodeNameLookup([this](std::string_view name, int, NodeDomain domain) {
            const auto& table = domain == kNodeDigital ? digitalNodes_ : nodes_;
            auto it = table.find(std::string(name));
            return it == table.end() ? -1 : it->second;
        });
    }

    // Ids of the expressions that fail, with their message texts.
    void ExpectError(const std::string& text, int id, const std::string& message,
                     std::uint32_t context = test::kPlotContext, std::uint32_t kinds = test::kPlotKinds)
    {
        CompiledExpression e;
        EXPECT_EQ(Compile(text, e, context, kinds), id) << text;
        EXPECT_EQ(lastError, message) << text;
    }

    std::size_t InstructionCount(const std::string& text)
    {
        CompiledExpression e;
        EXPECT_EQ(Compile(text, e), 0) << text << ": " << lastError;
        return static_cast<std::size_t>(e.instructions.count);
    }

    std::map<std::string, int> nodes_;
    std::map<std::string, int> digitalNodes_;
};

TEST_F(ExprCompiler, SyntaxErrors)
{
    ExpectError("FOO+1", 10402, "Unknown identifier 'FOO' in 'FOO+1'.");
    ExpectError("1+'Q", 10402, "Unknown identifier ''Q' in '1+'Q'.");
    ExpectError("1+", 10403, "Operand expected in '1+'.");
    ExpectError("*2", 10403, "Operand expected in '*2'.");
    ExpectError("(1,2)", 10424, "Missing or invalid expression.");
    ExpectError("1E300", 10404, "Illegal constant '1E300' in '1E300'.");
    ExpectError("2*1E", 10404, "Illegal constant '1E' in '2*1E'.");
    ExpectError("1)", 10405, "Found unexpected ')' in '1)'.");
    ExpectError("(1+2", 10406, "Missing ').' in '(1+2'.");
    ExpectError("2 3", 10407, "Operator expected '2 3'.");
    ExpectError("2(3)", 10407, "Operator expected '2(3)'.");
    ExpectError("   ", 10410, "Missing expression in '   '.");
    ExpectError("SIN 3", 10417, "Expecting '(' to follow 'SIN' in 'SIN 3'.");
    ExpectError("MIN(1)", 10419, "Not enough parameters found in function 'MIN'.");
    ExpectError("SIN(1,2)", 10420, "Too many parameters found in function 'SIN'.");
    ExpectError("TABLE(1,0,0,1)", 10430, "Table is missing last Yn parameter.");
    ExpectError("FFT(1)+1", 10421, "Illegal mix of FFT/IFT functions and expressions.");
    EXPECT_EQ(CompileError("1E299"), 0);
}

TEST_F(ExprCompiler, NestingLimits)
{
    auto nested = [](int depth) {
        std::string text;
        for (int i = 0; i < depth; ++i) text += "ABS(";
        text += "1";
        for (int i = 0; i < depth; ++i) text += ")";
        return text;
    };
    EXPECT_EQ(CompileError(nested(19)), 0);
    ExpectError(nested(20), 10409, "Formula too complex in '" + nested(20) + "'.");
    std::string deep = std::string(200, '(') + "1" + std::string(200, ')');
    ExpectError(deep, 10431, "Nesting to deep.");
    EXPECT_EQ(CompileError(std::string(150, '(') + "1" + std::string(150, ')')), 0);
}

TEST_F(ExprCompiler, ContextErrors)
{
    ExpectError("PH(1)", 10425, "Can only use expression 'PH' in analysis limit dialog box.", kContextTransient);
    ExpectError("T*2", 10432, "Can't use expression 'T' in 'T*2'.", kContextNumberField, kItemNumber);
    Analysis().analysisKind = kAnalysisAc;
    ExpectError("DT", 10426, "Can't use expression 'DT' in AC analysis.", kContextAc);
    Analysis().analysisKind = kAnalysisDc;
    ExpectError("DT", 10427, "Can't use expression 'DT' in DC analysis.", kContextDc);
    Analysis().analysisKind = kAnalysisTransient;
    ExpectError("PEAK(V(1),1,2)", 10428, "Can't use expression 'PEAK' in Transient analysis.");
    // Without an analysis a row of the wrong context is passed over.
    Analysis().analysisKind = kAnalysisNone;
    ExpectError("DT", 10402, "Unknown identifier 'DT' in 'DT'.", kContextAc);
    Analysis().analysisKind = kAnalysisTransient;
    ExpectError("BIN(A)", 10422, "Can't use 'BIN' in expression BIN(A).", test::kPlotContext, kItemNumber);
    ExpectError("BIN(A,B)+1", 10429, "Can't Mix 'Analog' ,'BIN' .");
    ExpectError("'1", 10424, "Missing or invalid expression.");
    ExpectError("CASE(TRN_LH, CASE(TRN_HL, DELAY(1,2,3)))", 10423, "Can't nest case.", kContextTransient, 0x80);
}

TEST_F(ExprCompiler, NodesAndVoltages)
{
    EXPECT_DOUBLE_EQ(EvalReal("V(1)"), 5.0);
    EXPECT_DOUBLE_EQ(EvalReal("V(1,2)"), 3.0);
    EXPECT_DOUBLE_EQ(EvalReal("V(OUT) + V(0)"), -1.0);
    EXPECT_DOUBLE_EQ(EvalReal("v(out)*2"), -2.0);  // case-blind
    ExpectError("V(NOPE)", 10408, "Illegal node name 'NOPE' in 'V(NOPE)'.");
    ExpectError("V((1))", 10418, "Expression not allowed in function 'V'.");
    // The solution vector is read through its address at every evaluation.
    CompiledExpression e;
    ASSERT_EQ(Compile("V(2)", e), 0);
    Analysis().solution.real[2] = 7.5;
    Complex r;
    ASSERT_EQ(EvaluateExpression(e, r), 0);
    EXPECT_DOUBLE_EQ(r.real(), 7.5);
    // AC: complex node values, ground reads zero.
    Analysis().analysisKind = kAnalysisAc;
    ASSERT_EQ(Compile("V(1)-V(0)", e, kContextAc | kContextLimitsDialog), 0);
    ASSERT_EQ(EvaluateExpression(e, r), 0);
    EXPECT_EQ(r, Complex(1, 1));
    ASSERT_EQ(Compile("MAG(V(1,2))", e, kContextAc | kContextLimitsDialog), 0);
    ASSERT_EQ(EvaluateExpression(e, r), 0);
    EXPECT_DOUBLE_EQ(r.real(), std::abs(Complex(1, -1)));
}

TEST_F(ExprCompiler, DeviceQuantities)
{
    double r1Ohms = 4.0, c1Current = 0.25, c1Charge = 1e-9, coreB = 79.57747154594767, q1Ib = 1e-5;
    float bf = 120.0f, rsInverse = 0.5f, zero = 0.0f;
    DeviceRecordFields r1;
    r1.label = "R1";
    r1.families = kFamilyResistor | kFamilyTwoTerminal;
    r1.twoTerminal = true;
    r1.nodes[0] = 1;
    r1.nodes[1] = 2;
    r1.fields = {{"R", &r1Ohms}};
    DeviceRecordFields c1;
    c1.label = "C1";
    c1.families = kFamilyCapacitor | kFamilyTwoTerminal;
    c1.twoTerminal = true;
    c1.nodes[0] = 2;
    c1.nodes[1] = 0;
    c1.fields = {{"I", &c1Current}, {"Q", &c1Charge}};
    DeviceRecordFields c2 = c1;
    c2.label = "C2";
    DeviceRecordFields k1;
    k1.label = "L1";
    k1.families = kFamilyInductor | kFamilyTwoTerminal;
    k1.fields = {{"B", &coreB}};
    DeviceRecordFields q1;
    q1.label = "Q1";
    q1.families = kFamilyBipolar;
    q1.fields = {{"IB", &q1Ib}};
    q1.pinVoltages = {{"BE", 1, 3}, {"B", 1, 0}};
    q1.modelParams = {{"BF", &bf, false}, {"RS", &rsInverse, true}, {"RE", &zero, true}};
    Devices().recordFields = {r1, c1, k1, q1};

    EXPECT_DOUBLE_EQ(EvalReal("I(R1)"), (5.0 - 2.0) / 4.0);  // a resistor's current from its voltage
    EXPECT_DOUBLE_EQ(EvalReal("I(1,2)"), (5.0 - 2.0) / 4.0);  // the device between two nodes
    EXPECT_DOUBLE_EQ(EvalReal("R(R1)"), 4.0);
    EXPECT_DOUBLE_EQ(EvalReal("I(C1) + Q(C1)"), 0.25 + 1e-9);
    EXPECT_DOUBLE_EQ(EvalReal("V(C1)"), 2.0);
    EXPECT_DOUBLE_EQ(EvalReal("B(L1)"), 1.0);  // the stored flux density in gauss
    EXPECT_DOUBLE_EQ(EvalReal("IB(Q1)"), 1e-5);
    EXPECT_DOUBLE_EQ(EvalReal("VBE(Q1)"), 6.0);
    EXPECT_DOUBLE_EQ(EvalReal("VB(Q1)"), 5.0);
    EXPECT_DOUBLE_EQ(EvalReal("Q1.BF * 2"), 240.0);
    EXPECT_DOUBLE_EQ(EvalReal("Q1.RS"), 2.0);   // kept as a reciprocal
    EXPECT_DOUBLE_EQ(EvalReal("Q1.RE"), 0.0);   // a zero reciprocal reads 0

    ExpectError("IB(Q9)", 10412, "Can't find label 'Q9' in IB(...)");
    ExpectError("I(1,OUT)", 10413, "Can't find device between nodes 1 and OUT.");
    ExpectError("QBE(Q1)", 10416, "Illegal expression using QBE(Q1).");
    ExpectError("VCE(Q1)", 10416, "Illegal expression using VCE(Q1).");
    ExpectError("X(R1)", 10412, "Can't find label 'R1' in X(...)");  // X reads inductors only
    ExpectError("Q1.XYZ", 10402, "Unknown identifier 'Q1.XYZ' in 'Q1.XYZ'.");
    Devices().recordFields.push_back(c2);
    ExpectError("Q(2,0)", 10414, "More than one device found between nodes 2 and 0.");
}

TEST_F(ExprCompiler, DigitalStatesAndBuses)
{
    CompiledExpression e;
    ASSERT_EQ(Compile("D(A)", e), 0);
    EXPECT_EQ(e.valueKinds, kItemDigitalState);
    Complex r;
    ASSERT_EQ(EvaluateExpression(e, r), 0);  // the one-instruction fast path
    EXPECT_EQ(static_cast<int>(r.real()), 3 | 0x1F8);
    EXPECT_DOUBLE_EQ(EvalReal("D(A) == '1"), 1.0);
    EXPECT_DOUBLE_EQ(EvalReal("D(B) != '1"), 1.0);
    // Two digital operands go through the logic tables; the state letters compare.
    EXPECT_EQ(static_cast<int>(EvalReal("D(A) & D(B)")) & 7, 0);
    EXPECT_EQ(static_cast<int>(EvalReal("D(A) | D(B)")) & 7, 3);
    EXPECT_EQ(static_cast<int>(EvalReal("~D(A)")) & 7, 0);
    // A bus folds its states, most significant first: A=1, B=0.
    EXPECT_DOUBLE_EQ(EvalReal("BIN(A,B)"), 2.0);
    EXPECT_DOUBLE_EQ(EvalReal("HEX(B,A,A)"), 3.0);
    DigitalSimulator().current[2] = 0;  // no strength reads as Z, a 1 bit
    EXPECT_DOUBLE_EQ(EvalReal("DEC(A,B)"), 3.0);
    ASSERT_EQ(Compile("HEX(A,B)", e), 0);
    EXPECT_EQ(e.valueKinds, kItemHex);
    ExpectError("D(C)", 10408, "Illegal node name 'C' in 'D(C)'.");
    // DIFD: equal letters, or a Z side, give 0.
    EXPECT_EQ(static_cast<int>(EvalReal("DIFD(D(A), D(A))")) & 7, 0);
    EXPECT_EQ(static_cast<int>(EvalReal("DIFD(D(A), D(B))")) & 7, 0);
    DigitalSimulator().current[2] = 0x1F8;
    EXPECT_EQ(static_cast<int>(EvalReal("DIFD(D(A), D(B))")) & 7, 3);
}

TEST_F(ExprCompiler, ConstantFolding)
{
    CompiledExpression e;
    ASSERT_EQ(Compile("SQRT(4)+1", e), 0);
    ASSERT_EQ(e.instructions.count, 1);
    const auto* only = ListHead<ExpressionInstruction>(e.instructions);
    EXPECT_EQ(only->opcode, kOpConstant);
    EXPECT_DOUBLE_EQ(only->value.real(), 3.0);
    EXPECT_EQ(InstructionCount("2*3+V(1)"), 3u);       // 6 V(1) +
    EXPECT_EQ(InstructionCount("V(1)+2*3"), 3u);
    EXPECT_EQ(InstructionCount("V(1)*2*3"), 5u);       // left to right: (V*2)*3 does not fold
    EXPECT_EQ(InstructionCount("-(2+3)*-1"), 1u);
    EXPECT_EQ(InstructionCount("1/0"), 1u);            // division by zero folds to 1e50
    EXPECT_DOUBLE_EQ(EvalReal("1/0"), 1e50);
    // A fault while folding is a math error of the compile.
    ExpectError("1E200*1E200", 15060, "");
}

TEST_F(ExprCompiler, FoldRepeatedSigns)
{
    auto fold = [](std::string s) {
        FoldRepeatedSigns(s);
        return s;
    };
    EXPECT_EQ(fold("  1 - -2  "), "1 +2");
    EXPECT_EQ(fold("1+-2"), "1-2");
    EXPECT_EQ(fold("1 - + - 2"), "1 + 2");
    EXPECT_EQ(fold("a   *   b"), "a * b");
    EXPECT_EQ(fold("2**-1"), "2**-1");
}

TEST_F(ExprCompiler, HiddenOperandsAndStateCells)
{
    auto count = [&](const std::string& text, int opcode) {
        CompiledExpression e;
        EXPECT_EQ(Compile(text, e), 0) << lastError;
        int n = 0;
        for (const auto& ins : ListRecords<ExpressionInstruction>(e.instructions)) n += ins.opcode == opcode;
        return n;
    };
    EXPECT_EQ(count("SUM(T, T)", kOpStateCell), 6);
    EXPECT_EQ(count("AVG(T)+RMS(T)", kOpStateCell), 6);
    EXPECT_EQ(count("PH(T)+GD(T)+DEL(T)", kOpStateCell), 6);
    CompiledExpression e;
    ASSERT_EQ(Compile("SUM(AVG(T), T)", e), 0);
    EXPECT_EQ(e.stateDepth, 3u);
    EXPECT_TRUE(e.dependencies & kDependsState);
    ASSERT_EQ(Compile("TABLE(T, 0,0, 1,1)", e), 0);
    const auto* last = static_cast<const ExpressionInstruction*>(e.instructions.tail);
    EXPECT_EQ(last->opcode, kOpTable);
    EXPECT_EQ(last->index, 6);  // five arguments and the hidden count
}

TEST_F(ExprCompiler, OutsideNamesAndImports)
{
    OutsideNameTable names;
    names.names = {"IN1", "IN2"};
    names.kinds = {kItemNumber, kItemNumber};
    SetExpressionNameTable(&names);
    CompiledExpression e;
    ASSERT_EQ(Compile("IN1*10 + IN2", e), 0);
    const std::vector<Complex> values = {{2, 0}, {3, 0}};
    EvaluationInputs inputs;
    inputs.outsideValues = values;
    Complex r;
    ASSERT_EQ(EvaluateExpression(e, r, inputs), 0);
    EXPECT_DOUBLE_EQ(r.real(), 23.0);
    SetExpressionNameTable(nullptr);
    EXPECT_EQ(CompileError("IN1"), 10402);

    std::vector<ImportEntry> imports(2);
    imports[0].value = 1.5;
    imports[1].value = 10.0;
    ExpressionRequest request;
    InitExpressionRecord("IMPORT + 2*IMP", &e, test::kPlotContext, test::kPlotKinds, request);
    request.imports = imports;
    request.quiet = true;
    ASSERT_EQ(CompileExpression(request), 0);
    ASSERT_EQ(EvaluateExpression(e, r), 0);
    EXPECT_DOUBLE_EQ(r.real(), 21.5);
}

TEST_F(ExprCompiler, ErrorsAreReportedOnceUnlessQuiet)
{
    win::ClearMessageBoxLog();
    CompiledExpression e;
    ExpressionRequest request;
    InitExpressionRecord("SIN(1,2)", &e, test::kPlotContext, test::kPlotKinds, request);
    EXPECT_EQ(CompileExpression(request), 15055);
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_NE(win::MessageBoxLog()[0].text.find("Too many parameters found in function 'SIN'."), std::string::npos);
    win::ClearMessageBoxLog();
}

}  // namespace
}  // namespace kq5
