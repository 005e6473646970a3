#pragma once
// Table-driven sectioned text files: a table of {section name, routine} rows drives both the
// writing and the reading of a file whose sections are "[name]" header lines followed by key
// lines. The stream type carries at least `int unit` and `std::string pendingLine`; a routine
// entered while reading finds its header in pendingLine, reads its keys and leaves the line that
// ended its section (a header, or an empty text at the end of the file) in pendingLine.
#include <span>
#include <string>

#include "core/char_classes.h"
#include "core/file_units.h"
#include "core/key_file.h"

namespace kq5 {

template <class Stream>
struct IniSectionRow {
    const char* name;
    int (*routine)(Stream& stream);
};

// Whether the line is the header "[name]": the letter after the bracket must match the name's
// upper-cased first letter exactly (so "[comp]" is not "[Comp]"), the rest is compared case-blind.
inline bool IsIniSectionHeader(std::string_view line, std::string_view name)
{
    if (name.empty() || line.size() != name.size() + 2) return false;
    if (line.front() != '[' || line.back() != ']') return false;
    if (line[1] != ToUpperChar(name.front())) return false;
    return EqualsNoCase(line.substr(1, name.size()), name);
}

// Writing: for each row in order the header "[name]" and the routine; the first non-zero result
// is returned. Reading: dispatches header lines to their rows until a routine ends the file (0
// with nothing pending) or fails; a line that matches no row is dropped, so an unknown section is
// skipped with all its keys.
template <class Stream>
int ProcessIniSectionTable(std::span<const IniSectionRow<Stream>> table, Stream& stream)
{
    const FileUnit* slot = GetFileUnit(stream.unit);
    if (slot != nullptr && slot->mode == kUnitWriting) {
        for (const IniSectionRow<Stream>& row : table) {
            if (int status = WriteSection(stream.unit, row.name)) return status;
            if (int status = row.routine(stream)) return status;
        }
        return 0;
    }
    if (stream.pendingLine.empty()) {
        if (int status = ReadKeyLine(stream.unit, stream.pendingLine)) return status;
    }
    while (!stream.pendingLine.empty()) {
        const IniSectionRow<Stream>* match = nullptr;
        for (const IniSectionRow<Stream>& row : table) {
            if (IsIniSectionHeader(stream.pendingLine, row.name)) {
                match = &row;
                break;
            }
        }
        if (match == nullptr) {
            if (int status = ReadKeyLine(stream.unit, stream.pendingLine)) return status;
            continue;
        }
        if (int status = match->routine(stream)) return status;
    }
    return 0;
}

}  // namespace kq5
