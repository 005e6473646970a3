#pragma once
// The expression compiler: turns the text of an expression (a plot's X or Y expression, a
// performance-function expression, a behavioural source formula, a digital primitive's
// logic or timing expression, a number field typed as a formula, a calculator line) into a
// CompiledExpression, a list of instructions in postfix order. Every name is resolved at
// compile time to an address, a node, a device quantity, a constant or an outside name, so
// that evaluation does no lookup.
//
// A compiled expression holds addresses into the simulator's tables (solution vectors,
// digital node states, device records, analysis variables); it is valid only until those
// tables are rebuilt and must be compiled again afterwards.
#include <array>
#include <complex>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/linked_list.h"
#include "core/import_entry.h"

namespace kq5 {

struct WindowRecord;
struct CircuitTextObject;
struct CompiledExpression;

// One node of a compiled expression. The operand that an opcode uses is the one typed
// field it needs; the others stay empty.
struct ExpressionInstruction : ListNode {
    std::uint16_t opcode = 0;
    std::uint16_t pushFlag = 0;                      // 1: pushes a value; 0: pops its arguments
    std::complex<double> value;                      // constants, J, state cells, delay numbers
    const double* realAddress = nullptr;             // opcodes 4, 13, 14
    const float* floatAddress = nullptr;             // opcode 5
    const std::complex<double>* complexAddress = nullptr;  // opcode 6
    const std::uint16_t* stateAddress = nullptr;     // opcode 3
    std::int32_t index = 0;  // state index, outside-name index, or the argument count of a function
    const CompiledExpression* subExpression = nullptr;  // the curve of a performance function
};

// The buffers of an expression that belongs to the spectral (FFT) pass: per stack level a
// table of pages of 64 points, each point the real and imaginary part as floats.
inline constexpr int kSpectralPagePoints = 64;
struct SpectralPage {
    std::array<std::complex<float>, kSpectralPagePoints> points{};
};
struct SpectralWorkRecord {
    int bufferCount = 0;  // set by the compiler
    std::vector<std::vector<std::unique_ptr<SpectralPage>>> buffers;
    int pointIndex = 0;   // the point the next evaluation stores
};

struct CompiledExpression {
    LinkedList instructions{&NewListRecord<ExpressionInstruction>};
    std::uint32_t reserved = 0;      // a word the compiler does not set
    std::uint32_t dependencies = 0;  // OR of the flags of every symbol used
    std::uint32_t valueKinds = 0;    // kind bits of the top-level items
    std::uint32_t stateDepth = 0;    // deepest nesting of stateful functions, plus one
    // Curve expressions of performance functions, compiled on their own.
    std::vector<std::unique_ptr<CompiledExpression>> subExpressions;
    // Set for an expression of the spectral pass: evaluation also stores its stack.
    SpectralWorkRecord* spectral = nullptr;
};

// Marks of the compiler in byte 2 of the dependency word.
inline constexpr std::uint32_t kDependsStateLiteralMark = 0x100000;
inline constexpr std::uint32_t kDependsSpectralCompile = 0x20000;

// Names that a caller makes known to the compiler (the pins of a digital primitive).
struct OutsideNameTable {
    std::vector<std::string> names;
    std::vector<std::uint32_t> kinds;  // allowed-kind mask per name
    std::int32_t spare = 0;
};

// One compile request. Cleared by InitExpressionRecord.
struct ExpressionRequest {
    WindowRecord* window = nullptr;         // reporting window; null: the frame
    std::string text;
    CompiledExpression* target = nullptr;
    std::uint32_t contextMask = 0;
    int lineNumber = 0;                     // scope index of error reports
    SpectralWorkRecord* spectral = nullptr;
    std::uint32_t allowedKinds = 0;
    const CircuitTextObject* textObject = nullptr;  // reported instead of the line when set
    // The curve's IMPORT references, resolved by the caller from the text before the
    // compile: the n-th IMPORT of the text reads the value of the n-th entry.
    std::span<ImportEntry> imports;
    int importCount = 0;                    // IMPORT references met so far
    bool limitsDialog = false;
    bool quiet = false;                     // errors are returned, not shown
    std::array<std::string, 2> quietTexts;  // the two message arguments of a quiet error
    int subcircuitLevel = 0;                // scope in which node names are looked up
};

// Clears the request and stores the four values.
void InitExpressionRecord(std::string_view text, CompiledExpression* target, std::uint32_t contextMask,
                          std::uint32_t allowedKinds, ExpressionRequest& request);

// Installs a copy of the outside names, or clears them (null).
void SetExpressionNameTable(const OutsideNameTable* table);

// 0, 15055 after a report, 15002 out of memory, or in quiet mode the message id. On
// failure the target keeps what was built; the caller frees it with FreeCompiledExpression.
int CompileExpression(ExpressionRequest& request);

// Empties a compiled expression (instructions, sub-expressions) and its words.
void FreeCompiledExpression(CompiledExpression& expression);

// The callers' pre-normalisation: trims, folds two signs separated only by blanks into
// one (+- and -+ give -, ++ and -- give +) until none is left, and collapses blank runs.
void FoldRepeatedSigns(std::string& text);

// Reports a compile error against the request's window with the line or text object;
// returns 15055, or in quiet mode keeps the texts and returns the id.
int ReportExpressionError(ExpressionRequest& request, int messageId, std::string_view first = {},
                          std::string_view second = {});

// How the compiler finds nodes by name: the node number, or -1 when no node of that domain
// has the name ("0" is always ground). The connectivity of the circuit installs the
// lookup when it numbers the nodes; without one only "0" is known.
enum NodeDomain { kNodeAnalog = 0, kNodeDigital = 1 };
using NodeNameLookup = std::function<int(std::string_view name, int subcircuitLevel, NodeDomain domain)>;
void SetNodeNameLookup(NodeNameLookup lookup);

// Largest number of values an expression may need on the evaluation stack.
inline constexpr int kEvaluationStackCells = 1049;

}  // namespace kq5
