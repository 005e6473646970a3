// Digital expression programs and the multi-valued logic tables they run on.
#include <optional>

#include "core/expr_digital.h"
#include "core/digital_logic_tables.h"
#include "expr_test_support.h"

namespace kq5 {
namespace {

constexpr int kStates[] = {kState0, kStateR, kStateF, kState1, kStateX, kStateZ};

// A state as its levels before and after a transition; X (and Z, which logic reads as X)
// is unknown.
std::optional<std::pair<int, int>> Levels(int s)
{
    switch (s) {
    case kState0: return std::pair{0, 0};
    case kStateR: return std::pair{0, 1};
    case kStateF: return std::pair{1, 0};
    case kState1: return std::pair{1, 1};
    default: return std::nullopt;
    }
}

int FromLevels(int before, int after)
{
    static const int kFrom[2][2] = {{kState0, kStateR}, {kStateF, kState1}};
    return kFrom[before][after];
}

// Boolean algebra on the two levels, X when the unknown operand could change the result.
int Reference(int a, int b, int (*op)(int, int))
{
    auto la = Levels(a), lb = Levels(b);
    if (a == kStateZ || b == kStateZ) return kStateX;
    std::optional<int> result;
    for (int xa = 0; xa < 4; ++xa) {
        for (int xb = 0; xb < 4; ++xb) {
            std::pair<int, int> pa = la ? *la : std::pair{xa >> 1, xa & 1};
            std::pair<int, int> pb = lb ? *lb : std::pair{xb >> 1, xb & 1};
            int r = FromLevels(op(pa.first, pb.first), op(pa.second, pb.second));
            if (result && *result != r) return kStateX;
            result = r;
        }
    }
    return *result;
}

bool IsTransition(int s)
{
    return s == kStateR || s == kStateF;
}

TEST(ExprDigitalLogicTables, AgreeWithBooleanAlgebraOverBeforeAndAfterLevels)
{
    for (int a : kStates) {
        for (int b : kStates) {
            // Two simultaneous transitions may glitch; the tables decide those on their own.
            const bool glitch = IsTransition(a) && IsTransition(b);
            SCOPED_TRACE(std::string(1, kDigitalStateLetters[a]) + " " + kDigitalStateLetters[b]);
            if (!glitch || a == b) {
                EXPECT_EQ(LogicAnd(a, b), Reference(a, b, [](int x, int y) { return x & y; }));
                EXPECT_EQ(LogicOr(a, b), Reference(a, b, [](int x, int y) { return x | y; }));
            }
            if (!glitch) { EXPECT_EQ(LogicXor(a, b), Reference(a, b, [](int x, int y) { return x ^ y; })); }
            // Both operand orders give the same state.
            EXPECT_EQ(LogicAnd(a, b), LogicAnd(b, a));
            EXPECT_EQ(LogicOr(a, b), LogicOr(b, a));
            EXPECT_EQ(LogicXor(a, b), LogicXor(b, a));
        }
    }
}

TEST(ExprDigitalLogicTables, XorWithZeroPassesAndWithOneInverts)
{
    for (int s : {kState0, kStateR, kStateF, kState1, kStateX}) {
        EXPECT_EQ(LogicXor(kState0, s), s) << kDigitalStateLetters[s];
        EXPECT_EQ(LogicXor(s, kState0), s) << kDigitalStateLetters[s];
        EXPECT_EQ(LogicXor(kState1, s), LogicInvert(s)) << kDigitalStateLetters[s];
        EXPECT_EQ(LogicXor(s, kState1), LogicInvert(s)) << kDigitalStateLetters[s];
    }
    EXPECT_EQ(LogicXor(kState0, kStateZ), kStateX);
    EXPECT_EQ(LogicXor(kStateR, kStateR), kStateX);
}

TEST(ExprDigitalLogicTables, StatedCasesAndInversion)
{
    EXPECT_EQ(LogicAnd(kState0, kStateZ), kStateX);
    EXPECT_EQ(LogicOr(kState1, kStateX), kState1);
    EXPECT_EQ(LogicAnd(kStateX, kState0), kState0);
    const int inverted[] = {kState1, kStateF, kStateR, kState0, kStateX, kStateX, kStateX};
    for (int s = 0; s < 7; ++s) EXPECT_EQ(LogicInvert(s), inverted[s]) << s;
    EXPECT_EQ(LogicAnd(9, kState1), kStateX);  // out-of-range indices read as X
    EXPECT_EQ(DigitalStateChar(kState1 | kFullStrength), '1');
    EXPECT_EQ(DigitalStateChar(kState1), 'Z');  // no strength
    EXPECT_EQ(SettledLevel(kStateR), kState1);
    EXPECT_EQ(SettledLevel(kStateF), kState0);
    EXPECT_EQ(SettledLevel(kStateX), kStateX);
}

class ExprDigitalProgram : public test::ExpressionTest {
protected:
    void SetUp() override
    {
        ExpressionTest::SetUp();
        DigitalSimulator().timeUnit = 1e-9;
    }

    // Compiles a program with the pins as outside names and converts it to codes.
    std::vector<DigitalCode> Program(const std::string& text, std::uint32_t kinds,
                                     const std::vector<std::pair<std::string, std::uint32_t>>& pins)
    {
        OutsideNameTable names;
        for (const auto& [name, kind] : pins) {
            names.names.push_back(name);
            names.kinds.push_back(kind);
        }
        SetExpressionNameTable(&names);
        CompiledExpression e;
        EXPECT_EQ(Compile(text, e, kContextTransient, kinds), 0) << text << ": " << lastError;
        SetExpressionNameTable(nullptr);
        std::vector<DigitalCode> codes;
        int count = -1;
        EXPECT_EQ(ConvertToDigitalCode(codes, count, e, kinds), 0);
        EXPECT_EQ(count, e.instructions.count);
        return codes;
    }
};

TEST_F(ExprDigitalProgram, DelayTriplesCompleteFromTheScaleFactors)
{
    DigitalSimulator().timeUnit = 1.0;
    DigitalSimulator().minTypScale = 0.5;
    DigitalSimulator().typMaxScale = 1.5;
    DelayTriple t = ResolveMinTypMaxDelay(-1, 10, -1);
    EXPECT_EQ(t.min, 5);
    EXPECT_EQ(t.typ, 10);
    EXPECT_EQ(t.max, 15);
    t = ResolveMinTypMaxDelay(2, -1, 6);
    EXPECT_EQ(t.typ, 4);
    t = ResolveMinTypMaxDelay(-3, -1, 6);  // only max: typ and min derive from it
    EXPECT_EQ(t.typ, 4);
    EXPECT_EQ(t.min, 2);
    t = ResolveMinTypMaxDelay(3, -1, -1);  // only min
    EXPECT_EQ(t.typ, 6);
    EXPECT_EQ(t.max, 9);
    t = ResolveMinTypMaxDelay(-1, -1, -1);
    EXPECT_EQ(t.min + t.typ + t.max, 0);
    // Zero factors and an unusable time unit never divide by zero.
    DigitalSimulator().minTypScale = 0.0;
    DigitalSimulator().typMaxScale = 0.0;
    t = ResolveMinTypMaxDelay(4, -1, -1);
    EXPECT_EQ(t.typ, 4);
    t = ResolveMinTypMaxDelay(-1, -1, 8);
    EXPECT_EQ(t.typ, 8);
    DigitalSimulator().timeUnit = 0.0;
    t = ResolveMinTypMaxDelay(1, 2, 3);
    EXPECT_EQ(t.min + t.typ + t.max, 0);
    DigitalSimulator().timeUnit = 1e-30;
    t = ResolveMinTypMaxDelay(1, 2, 3);
    EXPECT_EQ(t.max, 2147483647);
}

TEST_F(ExprDigitalProgram, CaseProgramsPickTheDelayOfTheTransition)
{
    std::vector<DigitalCode> codes =
        Program("CASE(TRN_LH, DELAY(1N,2N,3N), TRN_HL, DELAY(-1,4N,-1), DELAY(5N,6N,7N))", kDigitalDelayKinds, {});
    ResolveDelayConstants(codes);
    DigitalProgramContext context;
    context.codes = codes;
    DigitalResult r;
    auto run = [&](int from, int to) {
        r = DigitalResult();
        EXPECT_EQ(EvalDigitalExpression(context, from | kFullStrength, to | kFullStrength, r), 0);
        return r.words;
    };
    EXPECT_EQ(run(kState0, kState1), (std::array<std::int32_t, 3>{1, 2, 3}));
    EXPECT_EQ(run(kState1, kState0), (std::array<std::int32_t, 3>{2, 4, 6}));  // 0.4 and 1.6 of typ
    EXPECT_EQ(run(kState0, kStateZ), (std::array<std::int32_t, 3>{5, 6, 7}));  // the default
    // Settled levels: R reads as 1, and a change from X to 1 is a full swing 0 to 1.
    EXPECT_EQ(run(kStateF, kStateR), (std::array<std::int32_t, 3>{1, 2, 3}));
    EXPECT_EQ(run(kStateX, kState1), (std::array<std::int32_t, 3>{1, 2, 3}));
    EXPECT_EQ(run(kState1, kStateX), (std::array<std::int32_t, 3>{2, 4, 6}));
}

TEST_F(ExprDigitalProgram, LogicProgramsRunOnTheTables)
{
    const std::vector<DigitalCode> codes =
        Program("~(A & B) | C ^ A", kDigitalLogicKinds, {{"A", 0x40}, {"B", 0x40}, {"C", 0x40}});
    for (int a : kStates)
        for (int b : kStates)
            for (int c : kStates) {
                const std::vector<std::uint16_t> pins = {static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(b),
                                                         static_cast<std::uint16_t>(c)};
                const int want = LogicOr(LogicInvert(LogicAnd(a, b)), LogicXor(c, a));
                EXPECT_EQ(EvalDigitalLogic(codes, pins), want);
            }
}

TEST_F(ExprDigitalProgram, ConditionsWithComparisonsTransitionsAndChanges)
{
    const std::vector<DigitalCode> codes =
        Program("(D == '1) & CHANGED(CLK, 0)", kDigitalConditionKinds, {{"D", kItemPinLogic}, {"CLK", kItemPinLogic}});
    DigitalPrimitiveInstance inst;
    inst.pinStates = {kState1, kStateR};
    inst.pinChanges.resize(2);
    DigitalProgramContext context;
    context.codes = codes;
    context.instance = &inst;
    std::uint8_t state = 0xFF;
    ASSERT_EQ(EvalDigitalCondition(context, state), 0);
    EXPECT_EQ(state, 1);
    inst.pinChanges[1].previousState = kStateX;  // CHANGED wants a change to a state other than X
    ASSERT_EQ(EvalDigitalCondition(context, state), 0);
    EXPECT_EQ(state, 0);
    inst.pinChanges[1] = {5, kStateR, 9, kState1};  // a zero window asks for a change now
    ASSERT_EQ(EvalDigitalCondition(context, state), 0);
    EXPECT_EQ(state, 0);
    inst.pinChanges[1].currentTime = 5;
    ASSERT_EQ(EvalDigitalCondition(context, state), 0);
    EXPECT_EQ(state, 1);

    // With a window: the time since the last change, and the state before it.
    const std::vector<DigitalCode> rising =
        Program("CHANGED_LH(CLK, 10)", kDigitalConditionKinds, {{"CLK", kItemPinLogic}});
    context.codes = rising;
    inst.pinChanges[0] = {100, kStateR, 105, kState1};
    ASSERT_EQ(EvalDigitalCondition(context, state), 0);
    EXPECT_EQ(state, 1);
    inst.pinChanges[0].currentTime = 111;
    ASSERT_EQ(EvalDigitalCondition(context, state), 0);
    EXPECT_EQ(state, 0);

    // Transition tests see the caller's old and new states.
    std::vector<DigitalCode> edge =
        Program("CASE(TRN_LH | TRN_Z$, DELAY(1N,1N,1N), DELAY(2N,2N,2N))", kDigitalDelayKinds, {});
    ResolveDelayConstants(edge);
    context.codes = edge;
    DigitalResult r;
    ASSERT_EQ(EvalDigitalExpression(context, kState0 | kFullStrength, kState1 | kFullStrength, r), 0);
    EXPECT_EQ(r.words[0], 1);
    ASSERT_EQ(EvalDigitalExpression(context, kState1 | kFullStrength, kState0 | kFullStrength, r), 0);
    EXPECT_EQ(r.words[0], 2);
    context.programKind = kDigitalProgramKindStrength;  // no strength reads as Z
    ASSERT_EQ(EvalDigitalExpression(context, kState1, kState0 | kFullStrength, r), 0);
    EXPECT_EQ(r.words[0], 1);
}

TEST_F(ExprDigitalProgram, EmptyAndUnrunnablePrograms)
{
    DigitalProgramContext context;
    DigitalResult r;
    r.words = {9, 9, 9};
    ASSERT_EQ(EvalDigitalExpression(context, 0, 0, r), 0);
    EXPECT_EQ(r.words[0], kState1);
    const std::vector<DigitalCode> bad = {{kOpDigitalLiteral, kState1, 0.0}, {kOpReadDouble, 0, 0.0}};
    context.codes = bad;
    r.words = {9, 9, 9};
    EXPECT_EQ(EvalDigitalExpression(context, 0, 0, r), 15055);
    EXPECT_EQ(r.words[0], 9);  // nothing written
}

TEST_F(ExprDigitalProgram, ConstantsStayDoublesInDelayProgramsUntilResolved)
{
    std::vector<DigitalCode> codes = Program("CHANGED(A, 2.6)", kDigitalConditionKinds, {{"A", kItemPinLogic}});
    ASSERT_EQ(codes.size(), 3u);
    EXPECT_EQ(codes[1].code, kOpIntConstant);
    EXPECT_EQ(codes[1].operand, 3);
    codes = Program("DELAY(1N, 2N, 3N)", kDigitalDelayKinds, {});
    ASSERT_EQ(codes.size(), 4u);
    EXPECT_EQ(codes[0].code, kOpDelayNumber);
    EXPECT_DOUBLE_EQ(codes[2].value, 3e-9);
    ResolveDelayConstants(codes);
    EXPECT_EQ(codes[2].operand, 3);
}

}  // namespace
}  // namespace kq5
