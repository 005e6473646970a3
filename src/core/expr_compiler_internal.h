#pragma once
// The compiler's working form, shared by its scanning and its conversion passes: an infix
// sequence of work entries, then a postfix sequence that becomes the instruction list.
#include <complex>
#include <cstdint>
#include <string>
#include <vector>

#include "core/expr_compiler.h"
#include "core/expr_symbols.h"

namespace kq5 {

// Messages of the compiler.
enum : int {
    kMsgUnknownIdentifier = 10402,
    kMsgOperandExpected = 10403,
    kMsgIllegalConstant = 10404,
    kMsgUnexpectedParen = 10405,
    kMsgMissingParen = 10406,
    kMsgOperatorExpected = 10407,
    kMsgIllegalNode = 10408,
    kMsgTooComplex = 10409,
    kMsgMissingExpression = 10410,
    kMsgLabelNotFound = 10412,
    kMsgNoDeviceBetween = 10413,
    kMsgManyDevicesBetween = 10414,
    kMsgIllegalDeviceUse = 10416,
    kMsgExpectingParen = 10417,
    kMsgExpressionNotAllowed = 10418,
    kMsgNotEnoughParameters = 10419,
    kMsgTooManyParameters = 10420,
    kMsgSpectralMix = 10421,
    kMsgCantUseHere = 10422,
    kMsgCantNestCase = 10423,
    kMsgInvalidExpression = 10424,
    kMsgLimitsDialogOnly = 10425,
    kMsgNotInAc = 10426,
    kMsgNotInDc = 10427,
    kMsgNotInTransient = 10428,
    kMsgCantMix = 10429,
    kMsgTableMissingY = 10430,
    kMsgNestingTooDeep = 10431,
    kMsgNotInField = 10432,
};

enum class WorkType : std::uint8_t { kOperand, kFunction, kOperator, kOpen, kClose, kSeparator };

// The operand data of an instruction, as the compiler carries it before the list is made.
struct WorkOperand {
    std::complex<double> value;
    const double* realAddress = nullptr;
    const float* floatAddress = nullptr;
    const std::complex<double>* complexAddress = nullptr;
    const std::uint16_t* stateAddress = nullptr;
    std::int32_t index = 0;
    const CompiledExpression* subExpression = nullptr;
};

struct WorkEntry {
    WorkType type = WorkType::kOperand;
    std::uint16_t opcode = 0;
    int bindingClass = kClassOperand;
    int row = -1;               // symbol row of functions and operators
    bool inserted = false;      // a bracket the compiler put in
    bool prefix = false;        // a prefix operator (unary minus, NOT, ~)
    std::int32_t argCount = 0;  // functions and operators: values they pop
    WorkOperand operand;
    std::string text;           // the token, for messages
};

// What the conversion passes need of the compile beyond the work entries.
struct ConversionContext {
    ExpressionRequest* request = nullptr;
    CompiledExpression* target = nullptr;
    bool spectralCompile = false;
    const double* timeAddress = nullptr;  // the hidden argument of DDT and SDT
};

// Validation of the infix sequence, postfix conversion (hidden arguments, state cells,
// spectral variants, CASE pairs), the digital comparison check and constant folding;
// the result goes into the target's instruction list. 0 or a reported error.
int ConvertToInstructions(ConversionContext& context, std::vector<WorkEntry>& infix);

}  // namespace kq5
