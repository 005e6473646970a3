// Turns data/model_types.tsv into the C++ source of the model type table, or merges the
// parameter descriptions it holds into the string table's source:
//
//   gen_model_types table   model_types.tsv out.cpp
//   gen_model_types strings model_types.tsv strings.tsv out.tsv
//
// Fails the build when a row contradicts itself (counts, temperature group, description ids,
// value kinds, range classes) or when the string table already holds a description id with
// another text.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>

#include "gen_common.h"

namespace {

using gen::CLiteral;
using gen::SplitTabs;

constexpr int kRowCount = 39;
constexpr int kMaxNameLength = 29;
constexpr int kLastComponentType = 135;

struct Param {
    std::string name;
    std::string defaultText;  // as written
    int kind = 1;             // 1 number, 2 character, 3 text
    bool notGiven = false;
    double number = 0.0;
    int character = 0;
    std::string text;
    char rangeClass = 'A';
    unsigned long flags = 0;
    std::string description;
};

struct Table {
    std::string name;
    std::vector<Param> params;
};

struct Row {
    int row = 0;
    std::string name;
    long libraryCount = 0, statementCount = 0, runTimeCount = 0, componentType = 0, temperatureIndex = 0;
    long domain = 0, descriptionBase = 0, unsetTiming = 0;
    std::string table;
};

std::string g_file;
int g_line = 0;

[[noreturn]] void Fail(const std::string& message)
{
    std::cerr << g_file << ":" << g_line << ": " << message << "\n";
    std::exit(1);
}

long ParseLong(const std::string& text, long low, long high, const char* what)
{
    try {
        std::size_t used = 0;
        long v = std::stol(text, &used, 10);
        if (used == text.size() && v >= low && v <= high) return v;
    } catch (...) {
    }
    Fail(std::string("bad ") + what + " '" + text + "'");
}

bool IsUpperName(const std::string& name)
{
    if (name.empty() || static_cast<int>(name.size()) > kMaxNameLength) return false;
    for (char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
    return true;
}

void ParseDefault(Param& p, const std::string& text)
{
    p.defaultText = text;
    if (text == "NG") {
        p.notGiven = true;
        return;
    }
    if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'') {
        p.kind = 2;
        if (text.size() > 3) Fail("a character default holds one character: " + text);
        p.character = text.size() == 3 ? static_cast<unsigned char>(text[1]) : 0;
        return;
    }
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        p.kind = 3;
        p.text = text.substr(1, text.size() - 2);
        return;
    }
    char* end = nullptr;
    p.number = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(p.number)) Fail("bad default '" + text + "'");
}

struct Source {
    std::vector<Row> rows;
    std::map<std::string, Table> tables;
    std::vector<std::string> tableOrder;
};

Source ReadSource(const char* path)
{
    g_file = path;
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail("cannot read the file");
    Source source;
    Table* current = nullptr;
    std::string line;
    while (gen::NextDataLine(in, line, g_line)) {
        std::vector<std::string> f = SplitTabs(line);
        if (f[0] == "type") {
            if (f.size() != 12) Fail("a type line has 11 fields");
            Row r;
            r.row = static_cast<int>(ParseLong(f[1], 0, kRowCount - 1, "row"));
            if (r.row != static_cast<int>(source.rows.size())) Fail("rows must come in order from 0");
            r.name = f[2];
            if (!IsUpperName(r.name)) Fail("bad type name '" + r.name + "'");
            r.libraryCount = ParseLong(f[3], 0, 1000, "library count");
            r.statementCount = ParseLong(f[4], 0, 1000, "statement count");
            r.runTimeCount = ParseLong(f[5], 0, 1000, "run-time count");
            r.componentType = ParseLong(f[6], 0, kLastComponentType, "component type");
            r.temperatureIndex = ParseLong(f[7], 0, 1000, "temperature index");
            r.domain = ParseLong(f[8], 0, 2, "domain");
            r.descriptionBase = ParseLong(f[9], 1000, 9999, "description base");
            r.unsetTiming = ParseLong(f[10], 0, 1, "unset timing flag");
            r.table = f[11];
            source.rows.push_back(r);
        } else if (f[0] == "table") {
            if (f.size() != 2 && f.size() != 3) Fail("a table line names the table and at most one base");
            if (source.tables.count(f[1])) Fail("table " + f[1] + " defined twice");
            Table t;
            t.name = f[1];
            if (f.size() == 3) {
                auto base = source.tables.find(f[2]);
                if (base == source.tables.end()) Fail("unknown base table " + f[2]);
                t.params = base->second.params;
            }
            source.tableOrder.push_back(t.name);
            current = &(source.tables[t.name] = std::move(t));
        } else if (f[0] == "set") {
            if (!current || f.size() != 3) Fail("a set line follows a table line and names a parameter and a default");
            bool found = false;
            for (Param& p : current->params)
                if (p.name == f[1]) {
                    int kind = p.kind;
                    p.kind = 1;
                    p.notGiven = false;
                    ParseDefault(p, f[2]);
                    if (p.kind != kind) Fail("set changes the value kind of " + f[1]);
                    found = true;
                }
            if (!found) Fail("set names an unknown parameter " + f[1]);
        } else {
            if (!current) Fail("a parameter line before any table line");
            if (f.size() != 6) Fail("a parameter line has 6 fields");
            long index = ParseLong(f[0], 0, 999, "index");
            if (index != static_cast<long>(current->params.size())) Fail("parameter indices must count up from 0");
            Param p;
            p.name = f[1];
            if (!IsUpperName(p.name)) Fail("bad parameter name '" + p.name + "'");
            for (const Param& other : current->params)
                if (other.name == p.name) Fail("parameter " + p.name + " appears twice");
            ParseDefault(p, f[2]);
            if (f[3].size() != 1 || std::string("+G13LDA").find(f[3][0]) == std::string::npos)
                Fail("bad range class '" + f[3] + "'");
            p.rangeClass = f[3][0];
            p.flags = static_cast<unsigned long>(ParseLong(f[4], 0, 255, "flags"));
            if ((p.rangeClass == 'D') != (p.kind == 2)) Fail(p.name + ": the D class goes with character defaults");
            if (p.notGiven && p.kind != 1) Fail(p.name + ": only numbers can be not given");
            p.description = f[5];
            if (p.description.empty() || p.description.find('\\') != std::string::npos)
                Fail(p.name + ": a description is one plain line");
            current->params.push_back(std::move(p));
        }
    }
    g_line = 0;
    if (source.rows.size() != kRowCount) Fail("the file must hold the rows 0 to 38");
    return source;
}

// Checks every row against its table and returns, by string id, each description.
std::map<long, std::string> Check(const Source& source)
{
    std::map<long, std::string> descriptions;
    std::set<std::string> used;
    for (const Row& r : source.rows) {
        auto it = source.tables.find(r.table);
        std::string where = "row " + std::to_string(r.row) + " " + r.name + ": ";
        if (it == source.tables.end()) Fail(where + "unknown table " + r.table);
        used.insert(r.table);
        const std::vector<Param>& params = it->second.params;
        if (static_cast<long>(params.size()) != r.statementCount)
            Fail(where + "table " + r.table + " has " + std::to_string(params.size()) + " parameters");
        if (r.libraryCount > r.statementCount || r.runTimeCount < r.statementCount)
            Fail(where + "counts must satisfy library <= statement <= run-time");
        if (r.temperatureIndex) {
            static const char* const kGroup[] = {"T_MEASURED", "T_ABS", "T_REL_GLOBAL", "T_REL_LOCAL"};
            for (int k = 0; k < 4; ++k) {
                long i = r.temperatureIndex + k;
                if (i >= r.statementCount || params[static_cast<std::size_t>(i)].name != kGroup[k])
                    Fail(where + "the temperature index does not point at the temperature group");
            }
        }
        for (std::size_t i = 0; i < params.size(); ++i) {
            long id = r.descriptionBase + 1 + static_cast<long>(i);
            auto [slot, fresh] = descriptions.emplace(id, params[i].description);
            if (!fresh && slot->second != params[i].description)
                Fail(where + "description id " + std::to_string(id) + " has two texts");
        }
    }
    for (const std::string& name : source.tableOrder)
        if (!used.count(name) && !source.tables.at(name).params.empty()) Fail("table " + name + " is not used");
    return descriptions;
}

std::string FloatLiteral(const Param& p)
{
    if (p.kind == 2) {
        char buf[48];
        std::snprintf(buf, sizeof buf, "std::bit_cast<float>(0x%Xu)", static_cast<unsigned>(p.character));
        return buf;
    }
    if (p.kind == 3) return "0.0f";
    if (p.notGiven) return "ParamNotGiven";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%af", static_cast<double>(static_cast<float>(p.number)));
    return buf;
}

std::string Identifier(const std::string& table)
{
    return "kParams" + table;
}

int WriteTable(const Source& source, const char* path)
{
    std::ostringstream out;
    out << "// Generated from data/model_types.tsv by tools/gen_model_types; do not edit.\n"
           "#include <bit>\n\n#include \"netlist/model_types.h\"\n\nnamespace kq5 {\nnamespace {\n\n";
    for (const std::string& name : source.tableOrder) {
        const Table& t = source.tables.at(name);
        if (t.params.empty()) continue;
        out << "const ModelParamDesc " << Identifier(name) << "[] = {\n";
        for (const Param& p : t.params) {
            out << "    {" << CLiteral(p.name) << ", " << FloatLiteral(p) << ", " << p.kind << ", '" << p.rangeClass
                << "', " << p.flags << ", " << CLiteral(p.kind == 3 ? p.text : std::string()) << "},\n";
        }
        out << "};\n\n";
    }
    out << "}  // namespace\n\nconst ModelTypeRow kModelTypeTable[kModelTypeCount] = {\n";
    for (const Row& r : source.rows) {
        bool empty = source.tables.at(r.table).params.empty();
        out << "    {" << r.libraryCount << ", " << r.statementCount << ", " << r.runTimeCount << ", "
            << r.componentType << ", " << (empty ? std::string("nullptr") : Identifier(r.table)) << ", "
            << r.temperatureIndex << ", " << CLiteral(r.name) << ", " << r.domain << ", " << r.descriptionBase
            << ", " << r.unsetTiming << "},\n";
    }
    out << "};\n\n}  // namespace kq5\n";
    return gen::WriteOutputFile(path, out.str());
}

// The string table's source with the descriptions appended; ids already there must hold the
// same text.
int WriteStrings(const std::map<long, std::string>& descriptions, const char* stringsPath, const char* outPath)
{
    g_file = stringsPath;
    g_line = 0;
    std::ifstream in(stringsPath, std::ios::binary);
    if (!in) Fail("cannot read the file");
    std::ostringstream copy;
    std::set<long> present;
    std::string line;
    while (std::getline(in, line)) {
        ++g_line;
        copy << line << "\n";
        std::string plain = line;
        if (!plain.empty() && plain.back() == '\r') plain.pop_back();
        if (plain.empty() || plain[0] == '#') continue;
        std::size_t tab = plain.find('\t');
        if (tab == std::string::npos) continue;  // the string table's own generator reports it
        long id = 0;
        try {
            id = std::stol(plain.substr(0, tab));
        } catch (...) {
            continue;
        }
        auto it = descriptions.find(id);
        if (it == descriptions.end()) continue;
        if (plain.substr(tab + 1) != it->second)
            Fail("id " + std::to_string(id) + " is a model parameter description: '" + it->second + "'");
        present.insert(id);
    }
    std::ostringstream out;
    out << copy.str();
    out << "# Model parameter descriptions, from data/model_types.tsv\n";
    for (const auto& [id, text] : descriptions)
        if (!present.count(id)) out << id << "\t" << text << "\n";
    return gen::WriteOutputFile(outPath, out.str());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "table") == 0) {
        Source source = ReadSource(argv[2]);
        Check(source);
        return WriteTable(source, argv[3]);
    }
    if (argc == 5 && std::strcmp(argv[1], "strings") == 0) {
        Source source = ReadSource(argv[2]);
        return WriteStrings(Check(source), argv[3], argv[4]);
    }
    std::cerr << "usage: gen_model_types table model_types.tsv out.cpp\n"
                 "       gen_model_types strings model_types.tsv strings.tsv out.tsv\n";
    return 2;
}
