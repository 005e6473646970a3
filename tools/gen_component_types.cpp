// Turns data/component_types.tsv into the C++ source of the component type table. Fails the
// build when the file does not hold exactly the rows 0 to 135 in order, or when a row's
// fields contradict each other or the model type table's names.
#include "gen_common.h"

namespace {

using gen::CLiteral;
using gen::Hex;
using gen::ParseUnsigned;

constexpr int kExpectedRows = 136;
constexpr int kAttributeCount = 41;  // ids 1..41 of the attribute table
constexpr unsigned long kFirstHint = 19000, kLastHint = 19052;
constexpr unsigned long kArrayPrimitive = 0x10000000;

// Names of the model type rows, by row number, as a component row names them.
const char* const kModelTypeNames[] = {
    "OPA",    "D",      "NPN",     "NMOS",    "NJF",  "PUL",  "SIN",  "TRN",   "CORE",  "GASFET",
    "VSWITCH", "ISWITCH", "CAP",   "IND",     "RES",  "PNP",  "PMOS", "PJF",   "DOUTPUT", "DINPUT",
    "UADC",   "UDAC",   "UGATE",   "UTGATE",  "UEFF", "UGFF", "UDLY", "UPLD",  "UROM",  "URAM",
    "UBGT",   "UIO",    "NMOS",    "PMOS",    "NMOS", "PMOS", "NMOS", "PMOS",  "LPNP"};
constexpr int kModelTypeCount = sizeof kModelTypeNames / sizeof kModelTypeNames[0];

struct Row {
    int code = 0;
    std::string name;
    char letter = ' ';
    unsigned long domain = 0, pinClass = 0, help = 0, pinNames = 0, classBits = 0, flags = 0;
    long modelType = -1;
    long pins = 0;
    std::vector<unsigned long> attributes;  // main first
    std::vector<unsigned long> hints;       // empty: no hints
};

bool ParseList(const std::string& text, std::vector<unsigned long>& values, unsigned long limit)
{
    for (const std::string& word : gen::SplitWords(text)) {
        unsigned long v = 0;
        if (!ParseUnsigned(word, v, limit)) return false;
        values.push_back(v);
    }
    return !values.empty();
}

// "14 RES" or "-".
bool ParseModelType(const std::string& text, long& modelType)
{
    if (text == "-") {
        modelType = -1;
        return true;
    }
    std::vector<std::string> words = gen::SplitWords(text);
    unsigned long row = 0;
    if (words.size() != 2 || !ParseUnsigned(words[0], row, kModelTypeCount - 1)) return false;
    if (words[1] != kModelTypeNames[row]) return false;
    modelType = static_cast<long>(row);
    return true;
}

std::string CheckRow(const Row& r)
{
    if (r.domain > 2) return "domain must be 0, 1 or 2";
    if (r.pinClass > 2) return "pin class must be 0, 1 or 2";
    // Only these types have a rule that decides each pin's class.
    const bool perPin = r.code == 22 || r.code == 49 || (r.code >= 54 && r.code <= 57);
    if ((r.pinClass == 2) != perPin)
        return "pin class 2 belongs to Macro, subckt, N, O, ADC and DAC alone";
    if (r.attributes.size() > 9) return "at most a main attribute and 8 further ones";
    for (std::size_t i = 0; i < r.attributes.size(); ++i) {
        if (r.attributes[i] > kAttributeCount) return "attribute id out of range";
        if (i > 0 && r.attributes[i] == 0) return "further attributes end at the first 0";
    }
    if (r.hints.size() > r.attributes.size()) return "more hints than attribute slots";
    for (unsigned long h : r.hints)
        if (h != 0 && (h < kFirstHint || h > kLastHint)) return "hint id out of range";
    if (r.flags & kArrayPrimitive) {
        if (r.pinNames >= kExpectedRows || r.pinNames >= static_cast<unsigned long>(r.code))
            return "an array primitive names an earlier element gate";
        if (r.pins != 0) return "an array primitive has no pins of its own";
    }
    if (r.pins < -1) return "pin count must be -1 (var) or more";
    return {};
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: gen_component_types component_types.tsv out.cpp\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "cannot read " << argv[1] << "\n";
        return 1;
    }
    auto fail = [&](int at, const std::string& why) { return gen::Fail(argv[1], at, why); };
    std::vector<Row> rows;
    std::string line;
    int lineNo = 0;
    while (gen::NextDataLine(in, line, lineNo)) {
        std::vector<std::string> f = gen::SplitTabs(line);
        if (f.size() != 13) return fail(lineNo, "expected 13 fields");
        Row r;
        unsigned long code = 0, pins = 0;
        if (!ParseUnsigned(f[0], code, 0xFFFF) || static_cast<int>(code) != static_cast<int>(rows.size()))
            return fail(lineNo, "type codes must run from 0 without gaps");
        r.code = static_cast<int>(code);
        r.name = f[1] == "-" ? std::string() : f[1];
        if (f[2] == "-")
            r.letter = ' ';
        else if (f[2].size() == 1 && f[2][0] >= 'A' && f[2][0] <= 'Z')
            r.letter = f[2][0];
        else
            return fail(lineNo, "letter must be one upper-case letter or -");
        bool ok = ParseUnsigned(f[3], r.domain, 255) && ParseUnsigned(f[4], r.pinClass, 255) &&
                  ParseUnsigned(f[5], r.help, 0xFFFFFFFF) && ParseUnsigned(f[6], r.pinNames, 0xFFFFFFFF) &&
                  ParseUnsigned(f[8], r.classBits, 0xFFFF) && ParseUnsigned(f[10], r.flags, 0xFFFFFFFF);
        if (!ok) return fail(lineNo, "malformed number");
        if (!ParseModelType(f[7], r.modelType)) return fail(lineNo, "unknown model type");
        if (f[9] == "var")
            r.pins = -1;
        else if (ParseUnsigned(f[9], pins, 0x7FFF))
            r.pins = static_cast<long>(pins);
        else
            return fail(lineNo, "malformed pin count");
        if (!ParseList(f[11], r.attributes, 0xFFFFFFFF)) return fail(lineNo, "malformed attributes");
        if (f[12] != "-" && !ParseList(f[12], r.hints, 0xFFFF)) return fail(lineNo, "malformed hints");
        if (std::string why = CheckRow(r); !why.empty()) return fail(lineNo, why);
        rows.push_back(std::move(r));
    }
    if (static_cast<int>(rows.size()) != kExpectedRows)
        return fail(lineNo, "expected " + std::to_string(kExpectedRows) + " rows");

    std::ostringstream out;
    out << "// Generated from data/component_types.tsv by tools/gen_component_types; do not edit.\n"
           "#include \"document/component_types.h\"\n\nnamespace kq5 {\n\n"
           "const ComponentTypeRow kComponentTypeTable[kComponentTypeCount] = {\n";
    for (const Row& r : rows) {
        out << "    {'" << r.letter << "', " << r.domain << ", " << r.pinClass << ", " << r.help << ", "
            << r.pinNames << ", " << r.modelType << ", " << Hex(r.classBits) << ", " << r.pins << ", "
            << CLiteral(r.name) << ", " << Hex(r.flags) << ", " << r.attributes[0] << ", {";
        for (std::size_t i = 1; i < 9; ++i)
            out << (i > 1 ? ", " : "") << (i < r.attributes.size() ? r.attributes[i] : 0);
        out << "}, {";
        for (std::size_t i = 0; i < 10; ++i) out << (i ? ", " : "") << (i < r.hints.size() ? r.hints[i] : 0);
        out << "}},  // " << r.code << "\n";
    }
    out << "};\n\n}  // namespace kq5\n";
    return gen::WriteOutputFile(argv[2], out.str());
}
