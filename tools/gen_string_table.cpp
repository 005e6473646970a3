// Turns data/strings.tsv (id<TAB>text, with \n \t \\ escapes) into a C++ source
// holding the sorted string table. Fails the build on a malformed or duplicate row.
#include <map>

#include "gen_common.h"

static std::string Unescape(const std::string& s, bool& ok)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') { out += s[i]; continue; }
        if (++i >= s.size()) { ok = false; break; }
        switch (s[i]) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case '\\': out += '\\'; break;
        default: out += '\\'; out += s[i]; break; // keep unknown escapes as written
        }
    }
    return out;
}

int main(int argc, char** argv)
{
    if (argc != 3) { std::cerr << "usage: gen_string_table strings.tsv out.cpp\n"; return 2; }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) { std::cerr << "cannot read " << argv[1] << "\n"; return 1; }
    std::map<int, std::string> rows;
    std::string line;
    int lineNo = 0;
    while (gen::NextDataLine(in, line, lineNo)) {
        size_t tab = line.find('\t');
        bool ok = tab != std::string::npos && tab > 0;
        int id = 0;
        if (ok) {
            try { size_t used = 0; id = std::stoi(line.substr(0, tab), &used); ok = used == tab; }
            catch (...) { ok = false; }
        }
        std::string text = ok ? Unescape(line.substr(tab + 1), ok) : std::string();
        if (!ok) return gen::Fail(argv[1], lineNo, "malformed row");
        if (!rows.emplace(id, text).second) return gen::Fail(argv[1], lineNo, "duplicate id " + std::to_string(id));
    }
    std::ostringstream out;
    out << "// Generated from data/strings.tsv; do not edit.\n#include \"platform/string_table.h\"\n\n"
           "namespace kq5 {\nconst StringTableEntry kStringTableEntries[] = {\n";
    for (auto& [id, text] : rows) out << "    {" << id << ", " << gen::CLiteral(text) << "},\n";
    out << "};\nconst std::size_t kStringTableSize = " << rows.size() << ";\n}  // namespace kq5\n";
    return gen::WriteOutputFile(argv[2], out.str());
}
