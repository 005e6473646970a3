#pragma once
// What every build-time generator needs: reading its readable source line by line, splitting and
// checking fields, spelling values as C++ literals, and writing the generated source only when it
// changed (so that an unchanged table does not rebuild the library).
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace gen {

// A C++ string literal holding the bytes of s; bytes outside printable ASCII become octal escapes,
// so Windows-1252 texts pass through unchanged.
inline std::string CLiteral(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// An unsigned C++ literal in hexadecimal: 0x1AFu.
inline std::string Hex(unsigned long v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%lXu", v);
    return buf;
}

// Reads the next line of a source, without its line end (LF or CR LF), counting lines.
inline bool NextLine(std::istream& in, std::string& line, int& lineNo) {
    if (!std::getline(in, line)) return false;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

// As NextLine, passing over empty lines and comment lines (beginning with '#').
inline bool NextDataLine(std::istream& in, std::string& line, int& lineNo) {
    while (NextLine(in, line, lineNo))
        if (!line.empty() && line[0] != '#') return true;
    return false;
}

// The tab-separated fields of a line; empty fields are kept, a trailing tab ends one more.
inline std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> out;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '\t')) out.push_back(field);
    if (!line.empty() && line.back() == '\t') out.emplace_back();
    return out;
}

// The blank-separated words of a text.
inline std::vector<std::string> SplitWords(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string word;
    while (in >> word) out.push_back(word);
    return out;
}

// A whole unsigned number (decimal, or hexadecimal with 0x) not above limit; no sign allowed.
inline bool ParseUnsigned(const std::string& text, unsigned long& value, unsigned long limit) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    try {
        std::size_t used = 0;
        unsigned long long v = std::stoull(text, &used, 0);
        if (used != text.size() || v > limit) return false;
        value = static_cast<unsigned long>(v);
        return true;
    } catch (...) {
        return false;
    }
}

// The whole content of a file; false when it cannot be read.
inline bool ReadWholeFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
    return true;
}

// Writes the generated text unless the file already holds exactly it. Reports a failure on
// stderr and returns the generator's exit code (0 or 1).
inline int WriteOutputFile(const std::string& path, const std::string& text) {
    std::string old;
    if (ReadWholeFile(path, old) && old == text) return 0;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::cerr << path << ": error: cannot write the output\n";
        return 1;
    }
    return 0;
}

// A source-position error: "file:line: message" on stderr; returns the generator's exit code 1.
inline int Fail(const std::string& file, int line, const std::string& message) {
    std::cerr << file << ":" << line << ": " << message << "\n";
    return 1;
}

}  // namespace gen
