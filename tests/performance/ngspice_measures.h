#pragma once
// ngspice's .meas on a netlist, for comparing the performance functions with it: the netlist is
// given a control block that runs it (once, or once per value of an alter loop), measures, and
// writes the measured quantity with wrdata.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "stored_curves_support.h"

namespace kq5::testing {

struct MeasuredByNgspice {
    std::map<std::string, double> values;  // measure name -> value (the last pass's)
    std::map<std::string, std::vector<double>> passes;  // measure name -> value of each pass
    std::map<std::string, double> at;      // measure name -> its "at=" X, where given
    PointRun waveform;                     // the quantity, real (tran) or in dB (ac)
    std::string log;
};

// Runs ngspice on the netlist (without its .END) with the measure lines and writes the quantity
// (lower case, ngspice's spelling). With a loop ("foreach v 1k 2k" and "alter R1 $v"), every
// pass runs and measures again: the values of a measure come in pass order.
inline MeasuredByNgspice RunNgspiceMeasures(const std::string& name, const std::string& netlist, const std::string& quantity, bool ac,
                                     const std::vector<std::string>& measures, const std::string& loop = {})
{
    MeasuredByNgspice result;
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("kq5_meas_" + std::to_string(::getpid()) + "_" + name);
    std::filesystem::create_directories(dir);
    const std::string& q = quantity;
    {
        std::ofstream out(dir / "circuit.cir");
        out << netlist << ".control\nset wr_singlescale\noption numdgt=14\n";
        if (!loop.empty()) out << loop << "\n";
        out << "run\n";
        for (const std::string& m : measures) out << m << "\n";
        for (std::size_t at = loop.find("foreach"); at != std::string::npos; at = loop.find("foreach", at + 1)) out << "end\n";
        out << "wrdata " << (dir / "data.txt").string() << " "
            << (ac ? "real(" + q + "+j(0)) imag(" + q + "+j(0))" : q) << "\n.endc\n.end\n";
    }
    const std::string command = "cd " + dir.string() + " && ngspice -b circuit.cir 2>&1";
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe)) result.log += buffer;
        ::pclose(pipe);
    }
    static const std::regex kLine(R"(^\s*([a-z0-9_]+)\s*=\s*([-+0-9.eE]+)(?:\s+at\s*=\s*([-+0-9.eE]+))?)");
    std::istringstream lines(result.log);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (!std::regex_search(line, m, kLine)) continue;
        result.values[m[1].str()] = std::stod(m[2].str());
        result.passes[m[1].str()].push_back(std::stod(m[2].str()));
        if (m[3].matched) result.at[m[1].str()] = std::stod(m[3].str());
    }
    std::ifstream data(dir / "data.txt");
    for (std::string line; std::getline(data, line);) {
        std::istringstream row(line);
        std::vector<double> v;
        for (double d; row >> d;) v.push_back(d);
        if (v.size() < (ac ? 3u : 2u)) continue;
        const double y = ac ? 20 * std::log10(std::hypot(v[1], v[2])) : v[1];
        result.waveform.push_back({v[0], y});
    }
    std::filesystem::remove_all(dir);
    return result;
}

}  // namespace kq5::testing
