#include "app/demo_script.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

namespace kq5 {

namespace {

using K = DemoOperand;

DemoOperandSpec W{K::Word};
DemoOperandSpec B{K::Byte};
DemoOperandSpec C{K::Condition};
DemoOperandSpec T(int max) { return {K::Text, max}; }

}  // namespace

const std::vector<DemoOpcode>& DemoOpcodes()
{
    static const std::vector<DemoOpcode> table = {
        {4, "KEY", {W}},
        {5, "SCHEMATIC", {}},
        {6, "ANALYSIS", {}},
        {8, "UNLESS", {W, {K::Opcode}, T(100)}},
        {9, "DRAG", {W, W, W, W}},
        {10, "CHECK", {W}},
        {11, "BUTTONSTATE", {W, B}},
        {12, "SAY", {C, T(1000)}},
        {13, "MOVE", {W, W, W}},
        {15, "WAIT", {W}},
        {17, "COMPONENT", {T(601)}},
        {18, "MOVECELL", {W, W, W}},
        {21, "DRAGB", {B, B, B, B}},
        {22, "STEP", {W}},
        {24, "FAST", {W}},
        {25, "MOVEPCT", {W, W, W}},
        {27, "TOOL", {W}},
        {28, "CLICK", {W}},
        {29, "LDOWN", {W}},
        {30, "LUP", {W}},
        {31, "RDOWN", {W}},
        {32, "RUP", {W}},
        {33, "CLEARTEXT", {}},
        {34, "TYPE", {T(500)}},
        {35, "DRAGMARK", {B, B}},
        {36, "MENU", {W}},
        {37, "CLICKAT", {W, W, W}},
        {38, "PLACE", {B, B, B}},
        {39, "CLOSE", {}},
        {40, "ALT", {B}},
        {41, "GOTO", {C, W}},
        {42, "LABEL", {W}},
        {43, "LISTSELECT", {W, T(500)}},
        {44, "CALL", {W}},
        {45, "RETURN", {}},
        {46, "SELECT", {T(601)}},
        {47, "COMMAND", {W}},
        {48, "CTRLON", {}},
        {49, "CTRLOFF", {}},
        {50, "SHIFTON", {}},
        {51, "SHIFTOFF", {}},
        {52, "COMBO", {W}},
        {54, "COMBOSELECT", {T(100)}},
        {100, "END", {}},
    };
    return table;
}

const DemoOpcode* FindDemoOpcode(int code)
{
    for (const DemoOpcode& op : DemoOpcodes())
        if (op.code == code) return &op;
    return nullptr;
}

const DemoOpcode* FindDemoMnemonic(std::string_view mnemonic)
{
    for (const DemoOpcode& op : DemoOpcodes()) {
        const std::string_view name = op.mnemonic;
        if (name.size() == mnemonic.size() &&
            std::equal(name.begin(), name.end(), mnemonic.begin(),
                       [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b)); }))
            return &op;
    }
    return nullptr;
}

bool DemoConditionHolds(int condition)
{
    const int which = condition & 0x7F;
    const bool holds = which == 1 || which == 50 || which == 78;
    return (condition & 0x80) ? !holds : holds;
}

std::optional<int> DemoScriptReader::Byte(std::size_t& at) const
{
    if (at >= bytes_.size()) return std::nullopt;
    return bytes_[at++];
}

std::optional<int> DemoScriptReader::Word(std::size_t& at) const
{
    if (at + 2 > bytes_.size()) return std::nullopt;
    const auto value = static_cast<std::int16_t>(bytes_[at] | (bytes_[at + 1] << 8));
    at += 2;
    return value;
}

std::optional<std::string> DemoScriptReader::Text(std::size_t& at, int maxWithNul) const
{
    std::string text;
    for (std::size_t i = at; i < bytes_.size() && static_cast<int>(i - at) < maxWithNul; ++i) {
        if (bytes_[i] == 0) {
            at = i + 1;
            return text;
        }
        text.push_back(static_cast<char>(bytes_[i]));
    }
    return std::nullopt;
}

std::optional<std::size_t> DemoScriptReader::SkipStep(std::size_t at) const
{
    const auto code = Byte(at);
    if (!code) return std::nullopt;
    const DemoOpcode* op = FindDemoOpcode(*code);
    if (op == nullptr) return std::nullopt;
    for (const DemoOperandSpec& operand : op->operands) {
        bool ok = true;
        switch (operand.kind) {
        case K::Word: ok = Word(at).has_value(); break;
        case K::Byte:
        case K::Condition:
        case K::Opcode: ok = Byte(at).has_value(); break;
        case K::Text: ok = Text(at, operand.textMax).has_value(); break;
        }
        if (!ok) return std::nullopt;
    }
    if (*code == kDemoOpCall) {
        const auto has = Byte(at);
        if (!has) return std::nullopt;
        if (*has != 0 && !Text(at, kDemoCallArgumentMax)) return std::nullopt;
    }
    return at;
}

// --- assembler ---------------------------------------------------------------------------------

namespace {

struct Token {
    bool quoted = false;
    std::string text;
};

// Splits a line into words and quoted texts; false with a reason on a bad quote.
bool Tokenize(const std::string& line, std::vector<Token>& out, std::string& error)
{
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ';') break;
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        Token token;
        if (c == '"') {
            token.quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char d = line[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d == '\\') {
                    if (i >= line.size()) break;
                    const char e = line[i++];
                    d = e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
                }
                token.text.push_back(d);
            }
            if (!closed) {
                error = "text without its closing quote";
                return false;
            }
        } else {
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])) && line[i] != ';')
                token.text.push_back(line[i++]);
        }
        out.push_back(std::move(token));
    }
    return true;
}

bool ParseInteger(const std::string& word, long& value)
{
    if (word.empty()) return false;
    std::size_t used = 0;
    try {
        value = std::stol(word, &used, 0);
    } catch (...) {
        return false;
    }
    return used == word.size();
}

struct Reference {
    std::string where;
    int label;
    std::size_t offset;
    bool forwardOnly;
};

}  // namespace

std::string AssembleDemoScript(const std::vector<DemoSource>& sources, std::vector<std::uint8_t>& script)
{
    script.clear();
    std::map<int, std::size_t> labels;
    std::vector<Reference> references;
    std::string endAt;  // where an END stood, while nothing has followed it yet
    const auto put16 = [&](long v) {
        script.push_back(static_cast<std::uint8_t>(v & 0xFF));
        script.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    };
    for (const DemoSource& source : sources) {
        int lineNo = 0;
        std::size_t start = 0;
        while (start <= source.text.size()) {
            std::size_t end = source.text.find('\n', start);
            if (end == std::string::npos) end = source.text.size();
            std::string line = source.text.substr(start, end - start);
            start = end + 1;
            ++lineNo;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const std::string where = source.fileName + ":" + std::to_string(lineNo) + ": ";
            std::vector<Token> tokens;
            std::string error;
            if (!Tokenize(line, tokens, error)) return where + error;
            if (tokens.empty()) {
                if (end == source.text.size()) break;
                continue;
            }
            if (tokens[0].quoted) return where + "a step begins with its mnemonic";
            // The player meets END also while it looks for a label: an END before the last
            // step would end every demo that starts after it.
            if (!endAt.empty()) return endAt + "END before the end of the script (end a demo with GOTO to the last LABEL)";
            const DemoOpcode* op = FindDemoMnemonic(tokens[0].text);
            if (op == nullptr) return where + "unknown step \"" + tokens[0].text + "\"";
            if (op->code == kDemoOpEnd) endAt = where;
            std::size_t next = 1;
            const auto word = [&](std::string& problem) -> std::optional<std::string> {
                if (next >= tokens.size()) {
                    problem = "missing operand";
                    return std::nullopt;
                }
                return tokens[next++].text;
            };
            script.push_back(static_cast<std::uint8_t>(op->code));
            std::vector<long> numbers;
            for (const DemoOperandSpec& operand : op->operands) {
                std::string problem;
                if (operand.kind == K::Text) {
                    if (next >= tokens.size() || !tokens[next].quoted) return where + "a quoted text is wanted";
                    const std::string& text = tokens[next++].text;
                    if (text.find('\0') != std::string::npos) return where + "a text holds a NUL";
                    if (static_cast<int>(text.size()) + 1 > operand.textMax)
                        return where + "text longer than " + std::to_string(operand.textMax - 1) + " characters";
                    script.insert(script.end(), text.begin(), text.end());
                    script.push_back(0);
                    continue;
                }
                auto w = word(problem);
                if (!w) return where + problem;
                if (tokens[next - 1].quoted) return where + "a number is wanted, not a text";
                long value = 0;
                if (operand.kind == K::Condition) {
                    bool negate = false;
                    if (*w == "not") {
                        negate = true;
                        w = word(problem);
                        if (!w) return where + problem;
                    }
                    if (*w == "always") value = 1;
                    else if (*w == "never") value = 0;
                    else if (!ParseInteger(*w, value) || value < 0 || value > 127)
                        return where + "condition out of range: " + *w;
                    if (negate) value |= 0x80;
                    script.push_back(static_cast<std::uint8_t>(value));
                } else if (operand.kind == K::Opcode) {
                    const DemoOpcode* then = FindDemoMnemonic(*w);
                    if (then == nullptr || then->operands.empty() || then->operands[0].kind != K::Text)
                        return where + "the step after UNLESS must take a text first: " + *w;
                    if (then->operands[0].textMax < 100) return where + "text too long for " + *w;
                    script.push_back(static_cast<std::uint8_t>(then->code));
                } else {
                    if (!ParseInteger(*w, value)) return where + "not a number: " + *w;
                    if (operand.kind == K::Byte && (value < 0 || value > 255)) return where + "byte out of range: " + *w;
                    if (operand.kind == K::Word && (value < -32768 || value > 32767)) return where + "word out of range: " + *w;
                    if (operand.kind == K::Byte)
                        script.push_back(static_cast<std::uint8_t>(value));
                    else
                        put16(value);
                }
                numbers.push_back(value);
            }
            if (op->code == kDemoOpCall) {
                if (next < tokens.size()) {
                    if (!tokens[next].quoted) return where + "CALL's argument is a quoted text";
                    const std::string& text = tokens[next++].text;
                    if (static_cast<int>(text.size()) + 1 > kDemoCallArgumentMax)
                        return where + "text longer than " + std::to_string(kDemoCallArgumentMax - 1) + " characters";
                    script.push_back(1);
                    script.insert(script.end(), text.begin(), text.end());
                    script.push_back(0);
                } else {
                    script.push_back(0);
                }
            }
            if (next < tokens.size()) return where + "too many operands";
            if (op->code == kDemoOpSay && !DemoConditionHolds(static_cast<int>(numbers[0])))
                return where + "a SAY whose condition never holds";
            if (op->code == kDemoOpLabel) {
                if (!labels.emplace(static_cast<int>(numbers[0]), script.size()).second)
                    return where + "label " + std::to_string(numbers[0]) + " defined twice";
            } else if (op->code == kDemoOpGoto) {
                if (DemoConditionHolds(static_cast<int>(numbers[0])))
                    references.push_back({where, static_cast<int>(numbers[1]), script.size(), true});
            } else if (op->code == kDemoOpCall) {
                references.push_back({where, static_cast<int>(numbers[0]), script.size(), false});
            }
            if (script.size() > static_cast<std::size_t>(kDemoScriptMaxBytes))
                return where + "the script passes " + std::to_string(kDemoScriptMaxBytes) + " bytes";
            if (end == source.text.size()) break;
        }
    }
    if (endAt.empty()) return (sources.empty() ? std::string("script") : sources.back().fileName) + ": the script does not end with END";
    for (const Reference& reference : references) {
        auto it = labels.find(reference.label);
        if (it == labels.end()) return reference.where + "no LABEL " + std::to_string(reference.label);
        if (reference.forwardOnly && it->second < reference.offset)
            return reference.where + "GOTO only jumps forward; LABEL " + std::to_string(reference.label) + " is before it";
    }
    return {};
}

std::vector<std::uint8_t> EncodeDemoFile(const std::vector<std::uint8_t>& script)
{
    std::vector<std::uint8_t> file;
    const auto n = static_cast<std::uint16_t>(script.size());
    file.push_back(static_cast<std::uint8_t>(n & 0xFF));
    file.push_back(static_cast<std::uint8_t>(n >> 8));
    file.insert(file.end(), script.begin(), script.end());
    return file;
}

}  // namespace kq5
