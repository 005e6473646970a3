#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "core/expr_symbols.h"
#include "core/device_record_fields.h"

namespace kq5 {
namespace {

// The vocabulary in lookup order, as the language defines it.
constexpr const char* kNamesInOrder =
    "V VA VB VBC VBE VBS VBG VBD VC VCB VCE VCS VE VEB VEC VES VS VSB VSC VSE VSG VSD VG VGD VGS VGB VD VDG "
    "VDS VDB VEE VCC VP VM VPM VOUT VAP VAM VBP VBM I IA IB IC IE IS IG ID Q QBE QEB QBC QCB QCS QSC QGS QSG "
    "QGD QDG QGB QBG QBD QDB QBS QSB C CBE CEB CBC CCB CCS CSC CGS CSG CGD CDG CGB CBG CBD CDB CBS CSB X L R "
    "B H TMIN TMAX FMIN FMAX GMIN DT VT TEMP T TIME S F RE REAL IM IMG IMAG MAG M PH PHASE P GD INOISE ONOISE "
    "FFT HARM IFT CONJ PSD CMUL SUM DEL DDT SDT RMS AVG THD CS CC AS AC COH PWR PWRS POW SIN COS LOG LOG10 LN "
    "EXP TAN ATN ARCTAN ATAN2 ATAN MIN MAX IF LIMIT TABLE ACOSH ASINH ATANH J0 J1 JN Y0 Y1 YN FACT RISE_TIME "
    "FALL_TIME PEAK VALLEY HIGH LOW PEAK_VALLEY PERIOD FREQUENCY WIDTH X_LEVEL Y_LEVEL X_DELTA Y_DELTA X_RANGE "
    "Y_RANGE ABS DB SGN SQRT COSH SINH TANH COTH ACOS ASIN RND STP IMPULSE IMPORT IMP DIFA D DIFD BIN BINARY "
    "OCT DEC HEX CASE DELAY CHANGED CHANGED_LH CHANGED_HL TRN_LH TRN_LZ TRN_L$ TRN_HL TRN_HZ TRN_H$ TRN_ZL "
    "TRN_ZH TRN_Z$ TRN_$L TRN_$H TRN_$Z < > >= <= != <> == = ** * / + - ~ & ^ | AND NAND OR NOR XOR NOT DIV "
    "MOD J PI TRUE FALSE";

const ExpressionSymbol& Row(const char* name)
{
    int row = FindExpressionSymbol(name);
    EXPECT_GE(row, 0) << name;
    return kExpressionFunctionTable[row < 0 ? 0 : row];
}

TEST(ExprSymbols, HoldsEveryNameOnceInLookupOrder)
{
    std::istringstream names(kNamesInOrder);
    std::string name;
    int row = 0;
    while (names >> name) {
        ASSERT_LT(row, kExpressionSymbolCount);
        EXPECT_EQ(name, kExpressionFunctionTable[row].name) << "row " << row;
        EXPECT_EQ(FindExpressionSymbol(name), row) << name;
        ++row;
    }
    EXPECT_EQ(row, 244);
    EXPECT_EQ(ExpressionFunctionTable().size(), 244u);
}

TEST(ExprSymbols, SpellingsOfOneOperationShareEveryFieldButTheName)
{
    const std::vector<std::vector<const char*>> groups = {
        {"RE", "REAL"}, {"IM", "IMG", "IMAG"}, {"MAG", "M"}, {"PH", "PHASE", "P"}, {"ATN", "ARCTAN", "ATAN"},
        {"T", "TIME"},  {"IMPORT", "IMP"},     {"BIN", "BINARY"},
    };
    for (const auto& group : groups) {
        const ExpressionSymbol& first = Row(group[0]);
        for (const char* other : group) {
            const ExpressionSymbol& s = Row(other);
            EXPECT_EQ(s.opcode, first.opcode) << other;
            EXPECT_EQ(s.minArgs, first.minArgs) << other;
            EXPECT_EQ(s.maxArgs, first.maxArgs) << other;
            EXPECT_EQ(s.contexts, first.contexts) << other;
            EXPECT_EQ(s.kinds, first.kinds) << other;
            EXPECT_EQ(s.flags, first.flags) << other;
            EXPECT_EQ(s.bound, first.bound) << other;
        }
    }
    // Same instruction, different places: only != and == stand in logic contexts.
    EXPECT_EQ(Row("LOG").opcode, Row("LOG10").opcode);
    EXPECT_NE(Row("LN").opcode, Row("LOG").opcode);
    EXPECT_EQ(Row("**").opcode, Row("POW").opcode);
    EXPECT_EQ(Row("=").opcode, Row("==").opcode);
    EXPECT_EQ(Row("<>").opcode, Row("!=").opcode);
    EXPECT_TRUE(Row("==").kinds & kItemLogic);
    EXPECT_TRUE(Row("!=").kinds & kItemLogic);
    EXPECT_FALSE(Row("=").kinds & kItemLogic);
    EXPECT_FALSE(Row("<>").kinds & kItemLogic);
    for (const char* bus : {"BIN", "OCT", "DEC", "HEX"}) EXPECT_EQ(Row(bus).opcode, kOpBus);
}

TEST(ExprSymbols, SortsOfSymbolAgreeWithTheirFields)
{
    std::vector<double AnalysisVariables::*> bound;
    for (const ExpressionSymbol& s : ExpressionFunctionTable()) {
        SCOPED_TRACE(s.name);
        if (s.bindingClass == kClassFunction) {
            EXPECT_GT(s.maxArgs, 0);
            EXPECT_LE(s.minArgs, s.maxArgs);
            // STP and IMPULSE take their argument in the frame they stand in.
            const bool opensFrame = (s.argumentKinds & kOpensFrameMask) != 0;
            EXPECT_EQ(opensFrame, s.opcode != kOpStp && s.opcode != kOpImpulse);
        } else {
            EXPECT_EQ(s.maxArgs, 0);
        }
        if (s.argumentKinds == kSymbolBound && s.opcode != kOpImport) {
            ASSERT_NE(s.bound, nullptr);
            if (std::find(bound.begin(), bound.end(), s.bound) == bound.end()) bound.push_back(s.bound);
        } else {
            EXPECT_EQ(s.bound, nullptr);
        }
        if (s.argumentKinds == kSymbolOperator) {
            EXPECT_GE(s.bindingClass, 2);
            EXPECT_LE(s.bindingClass, 13);
        }
    }
    // TMIN TMAX FMIN FMAX GMIN DT VT TEMP T/TIME F read ten distinct variables.
    EXPECT_EQ(bound.size(), 10u);
    EXPECT_EQ(Row("TIME").bound, &AnalysisVariables::time);
    EXPECT_EQ(Row("F").bound, &AnalysisVariables::frequency);
    EXPECT_DOUBLE_EQ(Row("PI").constant, 3.141592653589793);
    EXPECT_DOUBLE_EQ(Row("TRUE").constant, 1.0);
    EXPECT_DOUBLE_EQ(Row("FALSE").constant, 0.0);
}

TEST(ExprSymbols, DeviceQuantitiesNameTheirFamilies)
{
    // Every pin-pair quantity reads a family that has those pins.
    const std::map<std::string, std::uint32_t> expected = {
        {"VA", 0x2000}, {"VB", 0x2030}, {"VBE", 0x10}, {"VBS", 0x30}, {"VBG", 0x60}, {"VS", 0xF0},
        {"VGS", 0xE0},  {"VDB", 0x20},  {"VOUT", 0x200}, {"IB", 0x2030}, {"IS", 0xF0}, {"ID", 0xE0},
        {"QBE", 0x10},  {"QGS", 0xE0},  {"CBS", 0x20},  {"I", 0x5D0F},  {"V", 0xC000}, {"Q", 0xA},
        {"C", 0xA},     {"X", 0x4},     {"L", 0x4},     {"B", 0x4},     {"H", 0x4},    {"R", 0x1},
    };
    for (const auto& [name, mask] : expected) EXPECT_EQ(Row(name.c_str()).deviceKinds, mask) << name;
    int pinPairs = 0;
    for (const ExpressionSymbol& s : ExpressionFunctionTable()) {
        if (s.argumentKinds != 0x1400) continue;
        ++pinPairs;
        EXPECT_NE(s.deviceKinds, 0u) << s.name;
        EXPECT_TRUE(s.opcode == kOpV || s.opcode == kOpI || s.opcode == kOpQ || s.opcode == kOpC) << s.name;
    }
    EXPECT_EQ(pinPairs, 39 + 7 + 16 + 16);
}

TEST(ExprSymbols, ArgumentCountsOfVariadicFunctions)
{
    EXPECT_EQ(Row("TABLE").maxArgs, 1001);
    EXPECT_EQ(Row("CASE").maxArgs, 200);
    for (const char* bus : {"BIN", "BINARY", "OCT", "DEC", "HEX"}) EXPECT_EQ(Row(bus).maxArgs, 32);
    EXPECT_EQ(Row("RISE_TIME").maxArgs, 5);
    EXPECT_EQ(Row("HIGH").minArgs, 2);
    EXPECT_EQ(Row("RISE_TIME").opcode, 520);
    EXPECT_EQ(Row("Y_RANGE").opcode, 535);
    EXPECT_EQ(Row("THD").minArgs, 1);
    EXPECT_EQ(Row("THD").maxArgs, 2);
}

TEST(ExprSymbols, LookupStartsAtTheFirstLetterAndTheFirstRowWins)
{
    EXPECT_EQ(FindExpressionSymbol("V"), 0);
    EXPECT_EQ(FindExpressionSymbol("VT"), FindExpressionSymbol("VT", 0));
    EXPECT_EQ(FindExpressionSymbol("NOSUCH"), -1);
    EXPECT_EQ(FindExpressionSymbol(""), -1);
    EXPECT_EQ(FindExpressionSymbol("sin"), -1);  // callers upper-case first
    const int p = FindExpressionSymbol("P");
    EXPECT_EQ(FindExpressionSymbol("P", p + 1), -1);
}

TEST(ExprSymbols, FunctionAndReservedNames)
{
    EXPECT_EQ(IsFunctionName("SIN"), 1);
    EXPECT_EQ(IsFunctionName("TABLE"), 1);
    EXPECT_EQ(IsFunctionName("PI"), 0);      // an operand
    EXPECT_EQ(IsFunctionName("J0"), 1);
    EXPECT_EQ(IsFunctionName("0J"), 0);      // begins with a digit
    EXPECT_EQ(IsFunctionName("R1"), 0);

    EXPECT_EQ(IsReservedExpressionName("PI", false), 1);
    EXPECT_EQ(IsReservedExpressionName("TIME", false), 1);
    EXPECT_EQ(IsReservedExpressionName("AND", false), 1);
    EXPECT_EQ(IsReservedExpressionName("SIN", false), 0);
    EXPECT_EQ(IsReservedExpressionName("SIN", true), 1);
    EXPECT_EQ(IsReservedExpressionName("R1", false), 0);
    EXPECT_EQ(IsReservedExpressionName("T#", false), 0);  // outside the character filter
}

TEST(ExprSymbols, PopUpEntries)
{
    ResetDevicesStateForTests();
    DeviceRecordFields q1;
    q1.label = "Q1";
    q1.families = kFamilyBipolar;
    DeviceRecordFields r1;
    r1.label = std::string(120, 'R');
    r1.families = kFamilyResistor | kFamilyTwoTerminal;
    Devices().recordFields = {q1, r1};

    std::vector<ExpressionSymbolEntry> functions = ExpressionSymbolEntries(kClassFunction);
    auto has = [&](const std::string& text) {
        for (const auto& e : functions)
            if (e.text == text) return true;
        return false;
    };
    EXPECT_TRUE(has("IB(Q1)"));
    EXPECT_TRUE(has("VBE(Q1)"));
    EXPECT_FALSE(has("IB(" + r1.label + ")"));
    for (const auto& e : functions) EXPECT_LE(e.text.size(), 95u);
    for (std::size_t i = 0; i < functions.size(); ++i) EXPECT_EQ(functions[i].newColumn, i > 0 && i % 10 == 0);

    std::vector<ExpressionSymbolEntry> operands = ExpressionSymbolEntries(kClassOperand);
    EXPECT_EQ(operands.front().text, "TMIN");

    std::vector<ExpressionSymbolEntry> operators = ExpressionOperatorEntries();
    ASSERT_EQ(operators.size(), 25u);
    EXPECT_EQ(operators[0].text, "<");
    EXPECT_EQ(operators[14].text, "&&");
    EXPECT_TRUE(operators[9].newColumn);
    EXPECT_FALSE(operators[8].newColumn);
    ResetDevicesStateForTests();
}

}  // namespace
}  // namespace kq5
