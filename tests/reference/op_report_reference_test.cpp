// The operating-point report of the numeric output file, read back from a batch run of the
// program, against the device values ngspice gives for the same netlist, or hand calculation.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <numbers>
#include <regex>
#include <sstream>

#include "../analog/program_output_support.h"
#include "core/engineering_numbers.h"
#include "reference_support.h"

namespace kq5::reference {
namespace {

// "@q1[gm] = 3.6e-02" lines of ngspice's log for every name asked, after an operating point.
std::map<std::string, double> NgspiceDeviceValues(const std::string& netlist, const std::vector<std::string>& names)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kq5_ng_report_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    {
        std::ofstream out(dir / "circuit.cir");
        out << netlist << ".control\nop\n";
        for (const std::string& name : names) out << "print " << name << "\n";
        out << ".endc\n.end\n";
    }
    const std::string command = "cd " + dir.string() + " && ngspice -b circuit.cir 2>&1";
    std::string log;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe)) log += buffer;
        ::pclose(pipe);
    }
    std::filesystem::remove_all(dir);
    std::map<std::string, double> values;
    static const std::regex kLine(R"(^(@\w+\[\w+\])\s*=\s*(\S+))");
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);)
        if (std::smatch m; std::regex_search(line, m, kLine)) values[m[1].str()] = std::stod(m[2].str());
    return values;
}

// The rows of one device table of the report: label -> the values of its devices, left to right.
std::map<std::string, std::vector<double>> ReportTable(const std::string& text, const std::string& title)
{
    std::map<std::string, std::vector<double>> rows;
    std::istringstream lines(text.substr(std::min(text.find(title), text.size())));
    std::string line;
    std::getline(lines, line);  // the title
    std::getline(lines, line);  // the device names
    while (std::getline(lines, line) && !line.empty()) {
        std::istringstream words(line);
        std::string label;
        words >> label;
        for (std::string word; words >> word;) rows[label].push_back(ParseNumber(word));
    }
    return rows;
}

// The numeric output file of a batch transient run of the program on the circuit.
std::string ProgramReport(const ReferenceCircuit& circuit)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kq5_ref_report_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "circuit.cir") << circuit.ourText;
    std::ofstream(dir / "jobs.txt") << "circuit.cir /T\n";
    EXPECT_EQ(test::RunProgramOnCommandFile(dir, "jobs.txt"), 0);
    std::ifstream in(dir / "circuit.TNO");
    const std::string output((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove_all(dir);
    return output;
}

// Each expected value against column `device` of its row of the report table.
void ExpectColumn(const std::map<std::string, std::vector<double>>& rows, const std::map<std::string, double>& expected,
                  std::size_t device, double relative, const std::string& output)
{
    for (const auto& [label, value] : expected) {
        ASSERT_EQ(rows.count(label), 1u) << label << "\n" << output;
        ASSERT_GT(rows.at(label).size(), device) << label << "\n" << output;
        EXPECT_NEAR(rows.at(label)[device], value, relative * std::abs(value) + 1e-12)
            << "device " << device + 1 << " " << label;
    }
}

TEST(OperatingPointReportReferenceTest, BipolarRowsIncludingTheTransitFrequency)
{
    ASSERT_TRUE(NgspiceInstalled()) << "ngspice is needed for this comparison";
    ASSERT_FALSE(test::ProgramPath().empty()) << "the kq5 program is not built beside the tests";
    const ReferenceCircuit circuit = LoadReferenceCircuit("op_report_bjt");

    const std::string output = ProgramReport(circuit);
    const auto rows = ReportTable(output, "Bipolar Junction Transistors");

    for (std::size_t k = 0; k < 2; ++k) {
        const std::string q = "@q" + std::to_string(k + 1);
        const std::vector<std::string> names = {q + "[gm]", q + "[gpi]", q + "[cpi]", q + "[cmu]", q + "[cbx]"};
        std::map<std::string, double> ng = NgspiceDeviceValues(circuit.ngText, names);
        ASSERT_EQ(ng.size(), names.size()) << q;
        const double ft = ng[q + "[gm]"] / (2.0 * std::numbers::pi * (ng[q + "[cpi]"] + ng[q + "[cmu]"] + ng[q + "[cbx]"]));
        const std::map<std::string, double> expected = {{"GM", ng[q + "[gm]"]},   {"RPI", 1.0 / ng[q + "[gpi]"]},
                                                        {"CPI", ng[q + "[cpi]"]},  {"CMU", ng[q + "[cmu]"]},
                                                        {"CBX", ng[q + "[cbx]"]},  {"FT", ft}};
        ExpectColumn(rows, expected, k, 2e-3, output);
        std::printf("[reference] Q%zu FT: printed %g, ngspice's gm/(2 pi (cpi + cmu + cbx)) %g\n", k + 1,
                    rows.at("FT")[k], ft);
    }
}

// The terminal voltages of a MOSFET are those of its internal nodes, inside its drain and source
// resistances, as its currents and conductances are.
TEST(OperatingPointReportReferenceTest, MosfetVoltagesAcrossTheChannel)
{
    ASSERT_TRUE(NgspiceInstalled()) << "ngspice is needed for this comparison";
    ASSERT_FALSE(test::ProgramPath().empty()) << "the kq5 program is not built beside the tests";
    const ReferenceCircuit circuit = LoadReferenceCircuit("op_report_mosfet");
    const std::string output = ProgramReport(circuit);
    const auto rows = ReportTable(output, "MOSFET Devices");
    for (std::size_t k = 0; k < 2; ++k) {
        const std::string m = "@m" + std::to_string(k + 1);
        const std::vector<std::string> names = {m + "[vgs]", m + "[vds]", m + "[vbs]", m + "[id]"};
        std::map<std::string, double> ng = NgspiceDeviceValues(circuit.ngText, names);
        ASSERT_EQ(ng.size(), names.size()) << m;
        const std::map<std::string, double> expected = {
            {"VGS", ng[m + "[vgs]"]}, {"VDS", ng[m + "[vds]"]}, {"VBS", ng[m + "[vbs]"]}, {"ID", ng[m + "[id]"]}};
        ExpectColumn(rows, expected, k, 1e-4, output);
    }
}

// The BSIM loads evaluate their capacitances only in the small-signal pass at the operating
// point: the BSIM1 and BSIM2 junction capacitances by the depletion law at the printed bias, and
// for all three the intrinsic gate capacitances above the overlaps of a device in saturation.
TEST(OperatingPointReportReferenceTest, BsimCapacitancesAtTheOperatingPoint)
{
    ASSERT_FALSE(test::ProgramPath().empty()) << "the kq5 program is not built beside the tests";
    const std::string output = ProgramReport(LoadReferenceCircuit("op_report_bsim"));
    const auto rows = ReportTable(output, "MOSFET Devices");
    ASSERT_EQ(rows.count("VDS"), 1u) << output;
    // The BSIM1 and BSIM2 cards: CJ 4e-4, CJSW 3e-10, PB 0.8, PBSW 0.9, MJ 0.5, MJSW 0.33; AD 20p, AS 24p,
    // PD 24u, PS 28u; oxide 0.03 um on 2 um by 10 um.
    const double wlCox = 3.453e-13 / (0.03e-4) * 2e-6 * 10e-6 * 1e4;
    ASSERT_EQ(rows.at("VDS").size(), 3u) << output;
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_GT(rows.at("CGS")[k] - rows.at("CGSOVL")[k], 0.3 * wlCox) << "device " << k + 1 << "\n" << output;
        EXPECT_GT(rows.at("CBS")[k], 0.0) << "device " << k + 1 << "\n" << output;
        EXPECT_GT(rows.at("CBD")[k], 0.0) << "device " << k + 1 << "\n" << output;
        if (k == 2) break;  // BSIM3 grades its junctions its own way
        const double vbd = -rows.at("VDS")[k];
        const double cbd = 4e-4 * 20e-12 / std::sqrt(1.0 - vbd / 0.8) + 3e-10 * 24e-6 * std::pow(1.0 - vbd / 0.9, -0.33);
        ExpectColumn(rows, {{"CBS", 4e-4 * 24e-12 + 3e-10 * 28e-6}, {"CBD", cbd}}, k, 1e-6, output);
        EXPECT_GT(rows.at("CGB")[k], rows.at("CGBOVL")[k]) << "device " << k + 1 << "\n" << output;
    }
}

}  // namespace
}  // namespace kq5::reference
