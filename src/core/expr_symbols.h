#pragma once
// The vocabulary of the expression language: one constant table of every operator,
// function, device quantity, bound variable and named constant, generated from
// data/expression_symbols.tsv. The compiler looks names up here and takes from the row how
// to parse the name, where it may stand and which instruction to emit; the evaluator
// dispatches on the row's opcode.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/analysis_state.h"

namespace kq5 {

// Compile contexts (context mask of a row and of a compile request).
inline constexpr std::uint32_t kContextTransient = 0x1;
inline constexpr std::uint32_t kContextAc = 0x2;
inline constexpr std::uint32_t kContextDc = 0x4;
inline constexpr std::uint32_t kContextNumberField = 0x8;
inline constexpr std::uint32_t kContextLimitsDialog = 0x10;
inline constexpr std::uint32_t kContextPerformance = 0x20;

// Sorts of symbol, in the argument-kind mask of rows without an argument list.
inline constexpr std::uint32_t kSymbolOperator = 0x4000;
inline constexpr std::uint32_t kSymbolConstant = 0x8000;
inline constexpr std::uint32_t kSymbolComputed = 0x10000;
inline constexpr std::uint32_t kSymbolBound = 0x20000;
// A row whose argument-kind mask has one of these bits opens an argument frame.
inline constexpr std::uint32_t kOpensFrameMask = 0x80DE9;

// Kinds of item, and of the places where items may stand.
inline constexpr std::uint32_t kItemPinLogic = 0x1;       // a pin name usable in a logic comparison
inline constexpr std::uint32_t kItemDelayValue = 0x4;
inline constexpr std::uint32_t kItemLogic = 0x20;
inline constexpr std::uint32_t kItemDigitalState = 0x40;
inline constexpr std::uint32_t kItemCaseDelay = 0x80;
inline constexpr std::uint32_t kItemNodeName = 0x100;
inline constexpr std::uint32_t kItemTransition = 0x200;
inline constexpr std::uint32_t kItemDeviceName = 0x400;
inline constexpr std::uint32_t kItemNumber = 0x800;
inline constexpr std::uint32_t kItemPinPairDevice = 0x1000;
inline constexpr std::uint32_t kItemPlainNumber = 0x2000;
inline constexpr std::uint32_t kItemBin = 0x4000;
inline constexpr std::uint32_t kItemOct = 0x8000;
inline constexpr std::uint32_t kItemDec = 0x10000;
inline constexpr std::uint32_t kItemHex = 0x20000;
inline constexpr std::uint32_t kItemDifference = 0x40000;
inline constexpr std::uint32_t kItemPerformanceCurve = 0x80000;

// Dependency flags, ORed into a compiled expression's dependency word.
inline constexpr std::uint32_t kDependsVoltage = 0x1;
inline constexpr std::uint32_t kDependsCurrent = 0x2;
inline constexpr std::uint32_t kDependsCharge = 0x4;
inline constexpr std::uint32_t kDependsCapacitance = 0x8;
inline constexpr std::uint32_t kDependsFlux = 0x10;
inline constexpr std::uint32_t kDependsInductance = 0x20;
inline constexpr std::uint32_t kDependsResistance = 0x40;
inline constexpr std::uint32_t kDependsFluxDensity = 0x200;
inline constexpr std::uint32_t kDependsFieldIntensity = 0x400;
inline constexpr std::uint32_t kDependsTime = 0x800;
inline constexpr std::uint32_t kDependsLaplace = 0x1000;
inline constexpr std::uint32_t kDependsFrequency = 0x2000;
inline constexpr std::uint32_t kDependsNoise = 0x8000;
inline constexpr std::uint32_t kDependsTemperature = 0x10000;
inline constexpr std::uint32_t kDependsSpectral = 0x20000;
inline constexpr std::uint32_t kDependsState = 0x80000;
inline constexpr std::uint32_t kDependsDigital = 0x100000;
inline constexpr std::uint32_t kDependsImport = 0x1000000;
inline constexpr std::uint32_t kDependsDifference = 0x2000000;
inline constexpr std::uint32_t kDependsStep = 0x8000000;
inline constexpr std::uint32_t kDependsImpulse = 0x10000000;
inline constexpr std::uint32_t kDependsPerformance = 0x20000000;
inline constexpr std::uint32_t kDependsPassThrough = 0x40000000;

// Opcodes: the instructions of compiled expressions and of digital programs.
enum ExprOpcode : std::uint16_t {
    kOpNone = 0,
    kOpDigitalLiteral = 1,
    kOpDigitalWord = 3,
    kOpReadDouble = 4,
    kOpReadFloat = 5,
    kOpReadComplex = 6,
    kOpConstant = 7,
    kOpDelayNumber = 8,
    kOpNop = 9,
    kOpStateCell = 10,
    kOpV = 11,
    kOpI = 12,
    kOpCoreB = 13,
    kOpCoreH = 14,
    kOpQ = 15,
    kOpC = 16,
    kOpX = 17,
    kOpL = 18,
    kOpR = 19,
    kOpS = 29,
    kOpRe = 35,
    kOpIm = 36,
    kOpMag = 37,
    kOpPh = 38,
    kOpGd = 39,
    kOpInoise = 40,
    kOpOnoise = 41,
    kOpImport = 42,
    kOpSum = 43,
    kOpDel = 44,
    kOpRms = 45,
    kOpAvg = 46,
    kOpHarm = 47,
    kOpFft = 48,
    kOpIft = 49,
    kOpConj = 50,
    kOpPsd = 51,
    kOpCmul = 52,
    kOpCs = 53,
    kOpCc = 54,
    kOpAs = 55,
    kOpAc = 56,
    kOpCoh = 57,
    kOpSpectralRe = 58,  // whole-curve variants of RE, IM, MAG, PH, SUM, DEL, RMS, AVG
    kOpSpectralIm = 59,
    kOpSpectralMag = 60,
    kOpSpectralPh = 61,
    kOpSpectralSum = 62,
    kOpSpectralDel = 63,
    kOpSpectralRms = 64,
    kOpSpectralAvg = 65,
    kOpThd = 66,
    kOpPow = 67,
    kOpMod = 68,
    kOpDiv = 69,
    kOpSin = 70,
    kOpCos = 71,
    kOpLn = 72,
    kOpExp = 73,
    kOpTan = 74,
    kOpAtn = 75,
    kOpAbs = 76,
    kOpNot = 77,
    kOpLog = 78,
    kOpDb = 79,
    kOpSqrt = 80,
    kOpSgn = 81,
    kOpCosh = 82,
    kOpSinh = 83,
    kOpTanh = 84,
    kOpCoth = 85,
    kOpRnd = 86,
    kOpAnd = 87,
    kOpOr = 88,
    kOpXor = 89,
    kOpLess = 90,
    kOpGreater = 91,
    kOpGreaterEqual = 92,
    kOpLessEqual = 93,
    kOpNotEqual = 94,
    kOpEqual = 95,
    kOpMultiply = 100,
    kOpDivide = 101,
    kOpAdd = 102,
    kOpSubtract = 103,
    kOpBitNot = 104,
    kOpBitAnd = 105,
    kOpBitXor = 106,
    kOpBitOr = 107,
    kOpStateInvert = 108,
    kOpSafeDivide = 109,  // generated code only: a zero divisor gives 0
    kOpNegate = 110,
    kOpNand = 115,
    kOpNor = 116,
    kOpDigitalNode = 120,
    kOpBus = 121,
    kOpDifa = 122,
    kOpCase = 123,
    kOpResult = 124,
    kOpAcos = 125,
    kOpAsin = 126,
    kOpDifd = 127,
    kOpIntConstant = 130,
    kOpOutsideName = 132,
    kOpOutsideLogicPin = 133,
    kOpConditionalResult = 141,
    kOpStp = 150,
    kOpImpulse = 151,
    kOpAtan2 = 152,
    kOpMin = 153,
    kOpMax = 154,
    kOpIf = 155,
    kOpLimit = 156,
    kOpDdt = 157,
    kOpSdt = 158,
    kOpPwr = 159,
    kOpPwrs = 160,
    kOpAcosh = 161,
    kOpAsinh = 162,
    kOpAtanh = 163,
    kOpJ = 164,
    kOpTable = 165,
    kOpTrnLH = 274,
    kOpTrnLZ = 276,
    kOpTrnLAny = 280,
    kOpTrnHL = 289,
    kOpTrnHZ = 292,
    kOpTrnHAny = 296,
    kOpTrnZL = 321,
    kOpTrnZH = 322,
    kOpTrnZAny = 328,
    kOpTrnAnyL = 385,
    kOpTrnAnyH = 386,
    kOpTrnAnyZ = 388,
    kOpDelay = 512,
    kOpChanged = 513,
    kOpChangedLH = 514,
    kOpChangedHL = 515,
    kOpFirstPerformance = 520,  // RISE_TIME; 520 + the performance function's index
    kOpLastPerformance = 535,   // Y_RANGE
    kOpJ0 = 568,
    kOpJ1 = 569,
    kOpJn = 570,
    kOpY0 = 571,
    kOpY1 = 572,
    kOpYn = 573,
    kOpFact = 575,
};

// Binding classes: 2..13 operator priorities (larger binds tighter).
inline constexpr int kClassFunction = 14;
inline constexpr int kClassOperand = 15;
inline constexpr int kClassUnary = 12;

struct ExpressionSymbol {
    const char* name;
    std::uint16_t minArgs;
    std::uint16_t maxArgs;
    std::uint16_t bindingClass;
    std::uint16_t opcode;
    std::uint32_t contexts;
    std::uint32_t argumentKinds;
    std::uint32_t kinds;
    std::uint32_t flags;
    std::uint32_t deviceKinds;
    double constant;                      // named constants
    double AnalysisVariables::*bound;     // bound variables: the variable the operand reads
};

inline constexpr int kExpressionSymbolCount = 244;

// Generated tables.
extern const ExpressionSymbol kExpressionFunctionTable[kExpressionSymbolCount];
// For each character, the first row whose name begins with it (0 when none does).
extern const std::uint8_t kExpressionFirstLetterIndex[256];
// Every character that occurs in the name of a row without arguments.
extern const bool kReservedNameCharacters[256];

std::span<const ExpressionSymbol> ExpressionFunctionTable();

// The first row at or after `fromRow` whose name equals the (upper-case) token; -1 when
// none. Without `fromRow` the scan starts at the token's first-letter row.
int FindExpressionSymbol(std::string_view token, int fromRow = -1);

// 1 when the text does not begin with a digit and names a row that takes arguments.
int IsFunctionName(std::string_view text);

// 1 when the text names a row; without the flag only rows without arguments count
// (operands, constants, operators).
int IsReservedExpressionName(std::string_view text, bool includeFunctions);

// Expression pop-up choices of the Analysis Limits dialog (see ListExpressionSymbols).
struct ExpressionSymbolEntry {
    std::string text;
    bool newColumn = false;  // a menu starts a new column before this entry
};

// The entries of one binding class: a row without arguments gives its name; a row with
// arguments gives "NAME(label)" once per labelled device whose family is in the row's
// device-kind mask, kept within 95 characters. Columns break after every 10 entries. A nonzero
// `dependsOn` keeps only the rows with arguments whose flags share a bit with it (0x1 device
// voltages, 0x2 currents...).
std::vector<ExpressionSymbolEntry> ExpressionSymbolEntries(int bindingClass, std::uint32_t dependsOn = 0);
// Every operator, in table order ("&" written "&&" for menus); columns break after 9.
std::vector<ExpressionSymbolEntry> ExpressionOperatorEntries();

}  // namespace kq5
