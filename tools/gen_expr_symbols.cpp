// Turns data/expression_symbols.tsv into the C++ source of the expression language's
// symbol table, with its first-letter index and the character filter of reserved names.
// Fails the build when a row is malformed or contradicts what the compiler and the
// evaluator expect of its kind of symbol.
#include <cctype>
#include <cstdint>
#include <set>

#include "gen_common.h"

namespace {

using gen::CLiteral;
using gen::Hex;
using gen::ParseUnsigned;

constexpr std::size_t kExpectedRows = 244;

struct Row {
    std::string name;
    unsigned long minArgs = 0, maxArgs = 0, bindingClass = 0, opcode = 0;
    unsigned long contexts = 0, argumentKinds = 0, kinds = 0, flags = 0, deviceKinds = 0;
    std::string constant;  // "-" none
    std::string bound;     // "-" none
    int line = 0;
};

bool ParseDouble(const std::string& text)
{
    try {
        std::size_t used = 0;
        std::stod(text, &used);
        return used == text.size();
    } catch (...) {
        return false;
    }
}

bool IsIdentifier(const std::string& s)
{
    if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
    for (unsigned char c : s)
        if (!std::isalnum(c) && c != '_') return false;
    return true;
}

// The checks that tie a row's fields together. Returns an empty text when the row is sound.
std::string CheckRow(const Row& r)
{
    constexpr unsigned long kOperator = 0x4000, kConstant = 0x8000, kComputed = 0x10000,
                            kBound = 0x20000;
    const bool isFunction = r.bindingClass == 14;
    const bool isOperand = r.bindingClass == 15;
    const bool isOperator = r.bindingClass >= 2 && r.bindingClass <= 13;
    if (!isFunction && !isOperand && !isOperator) return "binding class must be 2..15";
    for (char c : r.name)
        if (c >= 'a' && c <= 'z') return "names are upper case";
    if (r.minArgs > r.maxArgs) return "minimum argument count above maximum";
    if (r.contexts == 0) return "no context allows the symbol";
    if (r.kinds == 0) return "no kind of place admits the symbol";
    if (isFunction && r.maxArgs == 0) return "a function takes at least one argument";
    if (!isFunction && r.maxArgs != 0) return "only functions take arguments";
    if (isOperator && r.argumentKinds != kOperator) return "an operator's argument kinds must be 0x4000";
    if (isOperand && r.argumentKinds != kConstant && r.argumentKinds != kComputed &&
        r.argumentKinds != kBound)
        return "an operand is a named constant, a computed operand or a bound variable";
    if ((r.constant != "-") != (isOperand && r.argumentKinds == kConstant))
        return "exactly the named constants carry a value";
    if (r.constant != "-" && !ParseDouble(r.constant)) return "constant is not a number";
    // IMPORT reads its value from the request's import table, not from a variable.
    const bool needsBound = isOperand && r.argumentKinds == kBound && r.opcode != 42;
    if ((r.bound != "-") != needsBound) return "exactly the bound variables name a variable";
    if (r.bound != "-" && !IsIdentifier(r.bound)) return "bound variable is not an identifier";
    if (needsBound && r.opcode != 0) return "a bound variable has opcode 0";
    if (isOperand && r.argumentKinds == kConstant && r.opcode != 0) return "a constant has opcode 0";
    if (r.opcode == 0 && !(isOperand && r.argumentKinds != kComputed))
        return "only constants and bound variables have opcode 0";
    return {};
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: gen_expr_symbols expression_symbols.tsv out.cpp\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "cannot read " << argv[1] << "\n";
        return 1;
    }
    std::vector<Row> rows;
    std::set<std::string> names;
    std::string line;
    int lineNo = 0;
    auto fail = [&](int at, const std::string& why) { return gen::Fail(argv[1], at, why); };
    while (gen::NextDataLine(in, line, lineNo)) {
        std::vector<std::string> f = gen::SplitTabs(line);
        if (f.size() != 12) return fail(lineNo, "expected 12 fields");
        Row r;
        r.line = lineNo;
        r.name = f[0];
        bool ok = !r.name.empty() && ParseUnsigned(f[1], r.minArgs, 0xFFFF) &&
                  ParseUnsigned(f[2], r.maxArgs, 0xFFFF) && ParseUnsigned(f[3], r.bindingClass, 0xFFFF) &&
                  ParseUnsigned(f[4], r.opcode, 0xFFFF) && ParseUnsigned(f[5], r.contexts, 0xFFFFFFFF) &&
                  ParseUnsigned(f[6], r.argumentKinds, 0xFFFFFFFF) &&
                  ParseUnsigned(f[7], r.kinds, 0xFFFFFFFF) && ParseUnsigned(f[8], r.flags, 0xFFFFFFFF) &&
                  ParseUnsigned(f[9], r.deviceKinds, 0xFFFFFFFF);
        if (!ok) return fail(lineNo, "malformed number");
        r.constant = f[10];
        r.bound = f[11];
        if (!names.insert(r.name).second) return fail(lineNo, "duplicate name " + r.name);
        if (std::string why = CheckRow(r); !why.empty()) return fail(lineNo, r.name + ": " + why);
        rows.push_back(r);
    }
    if (rows.size() != kExpectedRows) {
        std::cerr << argv[1] << ": " << rows.size() << " rows, expected " << kExpectedRows << "\n";
        return 1;
    }

    // First row of every first character (0 for characters that begin no name; lookup
    // still works from row 0, it only scans further).
    int firstLetter[256] = {};
    bool seen[256] = {};
    // Characters of operand, constant and operator names: a text with any other character
    // cannot collide with them.
    bool filter[256] = {};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(rows[i].name[0]);
        if (!seen[c]) {
            seen[c] = true;
            firstLetter[c] = static_cast<int>(i);
        }
        if (rows[i].maxArgs == 0)
            for (unsigned char ch : rows[i].name) filter[ch] = true;
    }

    std::ostringstream out;
    out << "// Generated from data/expression_symbols.tsv by tools/gen_expr_symbols; do not edit.\n"
           "#include \"core/expr_symbols.h\"\n\nnamespace kq5 {\n\n"
           "const ExpressionSymbol kExpressionFunctionTable[kExpressionSymbolCount] = {\n";
    for (const Row& r : rows) {
        out << "    {" << CLiteral(r.name) << ", " << r.minArgs << ", " << r.maxArgs << ", "
            << r.bindingClass << ", " << r.opcode << ", " << Hex(r.contexts) << ", "
            << Hex(r.argumentKinds) << ", " << Hex(r.kinds) << ", " << Hex(r.flags) << ", "
            << Hex(r.deviceKinds) << ", " << (r.constant == "-" ? "0.0" : r.constant) << ", "
            << (r.bound == "-" ? "nullptr" : "&AnalysisVariables::" + r.bound) << "},\n";
    }
    out << "};\n\nconst std::uint8_t kExpressionFirstLetterIndex[256] = {";
    for (int c = 0; c < 256; ++c) out << (c % 16 ? " " : "\n    ") << firstLetter[c] << ",";
    out << "\n};\n\nconst bool kReservedNameCharacters[256] = {";
    for (int c = 0; c < 256; ++c) out << (c % 16 ? " " : "\n    ") << (filter[c] ? 1 : 0) << ",";
    out << "\n};\n\n}  // namespace kq5\n";
    return gen::WriteOutputFile(argv[2], out.str());
}
