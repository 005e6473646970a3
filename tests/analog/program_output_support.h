#pragma once
// The kq5 program built beside the tests, run on a command file as a user runs a batch, and the
// value tables of the numeric output files it writes.
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace kq5::test {

// The kq5 program beside the running test executable; empty when it is not there.
inline std::filesystem::path ProgramPath()
{
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "kq5";
    return std::filesystem::exists(exe) ? exe : std::filesystem::path();
}

// Runs "kq5 @commandFile" in the directory, its output into run.log there; the exit status. The
// directory is the data root too, so that a settings file beside the program cannot change a run.
inline int RunProgramOnCommandFile(const std::filesystem::path& directory, const std::string& commandFile)
{
    const std::string command = "cd '" + directory.string() + "' && '" + ProgramPath().string() + "' /ROOT:'" +
                                directory.string() + "' @" + commandFile + " > run.log 2>&1";
    return std::system(command.c_str());
}

// One value table of a numeric output file: the temperature line above it (empty when none),
// the names of its columns and its rows of numbers.
struct ValueTable {
    std::string temperatureLine;
    std::vector<std::string> names;
    std::vector<std::string> units;  // "(V)", "(mA)", "(us)": the scale of each column
    std::vector<std::vector<double>> rows;
};

// A line of words that are all in brackets: "(V)   (mA)".
inline bool IsUnitsLine(const std::string& line)
{
    std::istringstream words(line);
    int count = 0;
    for (std::string w; words >> w; ++count)
        if (w.size() < 2 || w.front() != '(' || w.back() != ')') return false;
    return count > 0;
}

// Every value table of the text, in order. A table starts at the line of units in brackets
// below its names.
inline std::vector<ValueTable> ValueTables(const std::string& text)
{
    std::vector<ValueTable> tables;
    std::istringstream lines(text);
    std::string line, previous, temperature;
    bool inTable = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find("Temperature") != std::string::npos) {
            temperature = line.substr(line.find("Temperature"));
            while (!temperature.empty() && temperature.back() == ' ') temperature.pop_back();
            inTable = false;
        } else if (!inTable && IsUnitsLine(line)) {
            inTable = true;
            ValueTable& t = tables.emplace_back();
            t.temperatureLine = temperature;
            std::istringstream names(previous);
            for (std::string name; names >> name;) t.names.push_back(name);
            std::istringstream units(line);
            for (std::string unit; units >> unit;) t.units.push_back(unit);
        } else if (inTable) {
            std::istringstream cells(line);
            std::vector<double> row;
            for (double v = 0.0; cells >> v;) row.push_back(v);
            if (!row.empty()) tables.back().rows.push_back(row);
        }
        previous = line;
    }
    return tables;
}

// The factor of a column's scale letter: "(mV)" 1e-3, "(MEGHz)" 1e6, "(V)" 1, "(K)" 1e3 (a
// quantity without a unit name).
inline double UnitFactor(const std::string& unit)
{
    const std::string u = unit.size() >= 2 ? unit.substr(1, unit.size() - 2) : std::string();
    if (u.rfind("MEG", 0) == 0 && u.size() > 3) return 1e6;
    static const std::string letters = "fpnumKGT";
    static const double factors[] = {1e-15, 1e-12, 1e-9, 1e-6, 1e-3, 1e3, 1e9, 1e12};
    const std::size_t at = !u.empty() ? letters.find(u[0]) : std::string::npos;
    return at == std::string::npos ? 1.0 : factors[at];
}

// The rows of every value table of the text, joined.
inline std::vector<std::vector<double>> TableRows(const std::string& text)
{
    std::vector<std::vector<double>> rows;
    for (ValueTable& t : ValueTables(text)) rows.insert(rows.end(), t.rows.begin(), t.rows.end());
    return rows;
}

// The same rows with every column brought from its printed scale to plain units (volts, seconds).
inline std::vector<std::vector<double>> PlainUnitRows(const std::string& text)
{
    std::vector<std::vector<double>> rows;
    for (ValueTable& t : ValueTables(text))
        for (std::vector<double>& row : t.rows) {
            for (std::size_t c = 0; c < row.size() && c < t.units.size(); ++c) row[c] *= UnitFactor(t.units[c]);
            rows.push_back(row);
        }
    return rows;
}

}  // namespace kq5::test
