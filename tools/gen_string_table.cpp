// Turns data/strings.tsv (id<TAB>text, with \n \t \\ escapes) into a C++ source
// holding the sorted string table. Fails the build on a malformed or duplicate row.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <string>

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

static std::string CLiteral(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') { out += '\\'; out += char(c); }
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c == '\r') out += "\\r";
        else if (c < 0x20 || c >= 0x7f) { char buf[8]; std::snprintf(buf, sizeof buf, "\\%03o", c); out += buf; }
        else out += char(c);
    }
    return out + "\"";
}

int main(int argc, char** argv)
{
    if (argc != 3) { std::cerr << "usage: gen_string_table strings.tsv out.cpp\n"; return 2; }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) { std::cerr << "cannot read " << argv[1] << "\n"; return 1; }
    std::map<int, std::string> rows;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        size_t tab = line.find('\t');
        bool ok = tab != std::string::npos && tab > 0;
        int id = 0;
        if (ok) {
            try { size_t used = 0; id = std::stoi(line.substr(0, tab), &used); ok = used == tab; }
            catch (...) { ok = false; }
        }
        std::string text = ok ? Unescape(line.substr(tab + 1), ok) : std::string();
        if (!ok) { std::cerr << argv[1] << ":" << lineNo << ": malformed row\n"; return 1; }
        if (!rows.emplace(id, text).second) { std::cerr << argv[1] << ":" << lineNo << ": duplicate id " << id << "\n"; return 1; }
    }
    std::ofstream out(argv[2], std::ios::binary);
    out << "// Generated from data/strings.tsv; do not edit.\n#include \"core/string_table.h\"\n\n"
           "namespace kq5 {\nconst StringTableEntry kStringTableEntries[] = {\n";
    for (auto& [id, text] : rows) out << "    {" << id << ", " << CLiteral(text) << "},\n";
    out << "};\nconst std::size_t kStringTableSize = " << rows.size() << ";\n}  // namespace kq5\n";
    return out ? 0 : 1;
}
