#pragma once
// The demo script: its steps (opcode byte, then operands), the table of what each opcode takes,
// a reader that never goes past the script's bytes, and the assembler that turns the readable
// sources (one step a line: mnemonic and operands) into demo.kq5.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kq5 {

constexpr int kDemoScriptMaxBytes = 32767;

// Operand kinds: a 16-bit signed word, an 8-bit byte, a condition byte, a NUL-ended text of at
// most `textMax` bytes with its NUL, and the opcode byte of the step that a step-8 re-runs.
enum class DemoOperand { Word, Byte, Condition, Text, Opcode };

struct DemoOperandSpec {
    DemoOperand kind;
    int textMax = 0;
};

struct DemoOpcode {
    int code;
    const char* mnemonic;
    std::vector<DemoOperandSpec> operands;  // CALL's optional argument is not listed (special)
};

constexpr int kDemoOpCall = 44;
constexpr int kDemoOpLabel = 42;
constexpr int kDemoOpGoto = 41;
constexpr int kDemoOpSay = 12;
constexpr int kDemoOpUnless = 8;
constexpr int kDemoOpEnd = 100;
constexpr int kDemoCallArgumentMax = 200;

const std::vector<DemoOpcode>& DemoOpcodes();
const DemoOpcode* FindDemoOpcode(int code);
const DemoOpcode* FindDemoMnemonic(std::string_view mnemonic);

// Conditions 1, 50 and 78 hold; bit 7 negates.
bool DemoConditionHolds(int condition);

// Reads operands at a position of the script; every read fails (nullopt) rather than go past
// the end, so a damaged script stops instead of reading what is not there.
class DemoScriptReader {
public:
    explicit DemoScriptReader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
    std::optional<int> Byte(std::size_t& at) const;
    std::optional<int> Word(std::size_t& at) const;
    // The text and the position after its NUL; a text without its NUL within the maximum fails.
    std::optional<std::string> Text(std::size_t& at, int maxWithNul) const;
    // Position after the operands of the step whose opcode is at `at` (the opcode included).
    std::optional<std::size_t> SkipStep(std::size_t at) const;
    std::size_t Size() const { return bytes_.size(); }

private:
    const std::vector<std::uint8_t>& bytes_;
};

// Assembles one or more readable sources into a script: a step a line, `;` starts a comment,
// texts in double quotes (\" \\ \n escapes), numbers decimal or 0x hex, conditions a number or
// "always"/"never" (with "not" before it to negate). Refuses unknown mnemonics, texts over
// their maxima, numbers out of range, GOTO/CALL to labels nowhere defined, a SAY whose condition
// never holds (the player skips four bytes then, not the text) and scripts over 32767 bytes;
// the error reads "file:line: what". Empty on success.
struct DemoSource {
    std::string fileName;
    std::string text;
};
std::string AssembleDemoScript(const std::vector<DemoSource>& sources, std::vector<std::uint8_t>& script);

// The file: a signed 16-bit little-endian count, then the script.
std::vector<std::uint8_t> EncodeDemoFile(const std::vector<std::uint8_t>& script);

}  // namespace kq5
