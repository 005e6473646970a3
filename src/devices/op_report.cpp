#include "devices/op_report.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

#include "analog/analog_state.h"
#include "core/batch_log.h"
#include "core/device_lists.h"
#include "core/engineering_numbers.h"
#include "core/file_units.h"
#include "core/format.h"
#include "netlist/bjt_device.h"
#include "netlist/diode_device.h"
#include "netlist/fet_devices.h"
#include "netlist/inductor_device.h"
#include "core/digital_logic_tables.h"
#include "core/digital_node_states.h"
#include "core/part_instance.h"
#include "document/component_attributes.h"
#include "document/scope_names.h"
#include "netlist/circuit_build.h"
#include "analog/analysis_run_services.h"

namespace kq5 {

namespace {

// Column width and columns per line of the section being written.
struct ReportLayout {
    int width = 10;
    int columns = 1;
};

// The solve keeps every nonzero value at least 1e-50 from zero, and the loads keep their
// equivalent currents so too: a solution value that small is a zero that was floored (an
// inductor in series with an unbiased diode carries -1e-50 A), and is reported as 0.
constexpr double kSolutionFloor = 1e-50;

double NodeVoltage(int node)
{
    const std::vector<double>& x = SolutionVector();
    const double value = node > 0 && static_cast<std::size_t>(node) < x.size() ? x[static_cast<std::size_t>(node)] : 0.0;
    return std::fabs(value) <= kSolutionFloor ? 0.0 : value;
}

double Between(int a, int b) { return NodeVoltage(a) - NodeVoltage(b); }

// a / b, 0 for a device that has not been evaluated (b = 0).
double Ratio(double a, double b) { return b != 0.0 ? a / b : 0.0; }

// The transition frequency of a bipolar transistor: gm over 2 pi times its base charge
// capacitances (floored so that a transistor without them does not divide by zero).
double TransitFrequency(const BjtDevice& b)
{
    return b.gm / (2.0 * std::numbers::pi * std::max(b.capbe + b.capbc + b.capbx, 1e-20));
}

// A MOSFET's gate capacitance without the overlap that its own row shows. The loads keep the
// total, overlap included; a total of 0 is one no load has computed (an AC run without an
// operating point), which stays 0.
double WithoutOverlap(double total, double overlap) { return total != 0.0 ? total - overlap : 0.0; }

// One row of a device table: its label (seven characters after the line break) and the value it
// reads of a device record after the operating point.
struct ReportRow {
    const char* label;
    std::function<double(const ListNode&)> value;
};

struct DeviceTable {
    const char* title;
    int list;
    std::vector<ReportRow> rows;
};

template <class T>
std::function<double(const ListNode&)> Field(double (*read)(const T&))
{
    return [read](const ListNode& node) { return read(static_cast<const T&>(node)); };
}

// The quantities the device records keep. A quantity a record does not carry reads 0 (the
// device loads of those families fill their records).
std::vector<DeviceTable> DeviceTables()
{
    using D = DiodeDevice;
    using B = BjtDevice;
    using J = JfetDevice;
    using M = MosfetDevice;
    using G = GaasfetDevice;
    return {
        {"Diodes",
         kDiodeDeviceList,
         {{"ID     ", Field<D>([](const D& d) { return d.current; })},
          {"VD     ", Field<D>([](const D& d) { return Between(d.internalAnode, d.cathode); })},
          {"REQ    ", Field<D>([](const D& d) { return Ratio(1.0, d.gd); })},
          {"CAP    ", Field<D>([](const D& d) { return d.capacitance; })}}},
        {"Bipolar Junction Transistors",
         kBjtDeviceList,
         {{"IB     ", Field<B>([](const B& b) { return b.cb; })},
          {"IC     ", Field<B>([](const B& b) { return b.cc; })},
          {"VBE    ", Field<B>([](const B& b) { return Between(b.internalBase, b.internalEmitter); })},
          {"VBC    ", Field<B>([](const B& b) { return Between(b.internalBase, b.internalCollector); })},
          {"VCE    ", Field<B>([](const B& b) { return Between(b.internalCollector, b.internalEmitter); })},
          {"BETADC ", Field<B>([](const B& b) { return Ratio(b.cc, b.cb); })},
          {"GM     ", Field<B>([](const B& b) { return b.gm; })},
          {"RPI    ", Field<B>([](const B& b) { return Ratio(1.0, b.gpi); })},
          {"RX     ", Field<B>([](const B& b) { return Ratio(1.0, b.gx); })},
          {"RO     ", Field<B>([](const B& b) { return Ratio(1.0, b.go); })},
          {"CPI    ", Field<B>([](const B& b) { return b.capbe; })},
          {"CMU    ", Field<B>([](const B& b) { return b.capbc; })},
          {"CBX    ", Field<B>([](const B& b) { return b.capbx; })},
          {"CJS    ", Field<B>([](const B& b) { return b.capsub; })},
          {"BETAAC ", Field<B>([](const B& b) { return Ratio(b.gm, b.gpi); })},
          {"FT     ", Field<B>([](const B& b) { return TransitFrequency(b); })}}},
        {"JFET Devices",
         kJfetDeviceList,
         {{"ID     ", Field<J>([](const J& j) { return j.quantities.id; })},
          {"VGS    ", Field<J>([](const J& j) { return Between(j.gate, j.internalSource); })},
          {"VDS    ", Field<J>([](const J& j) { return Between(j.internalDrain, j.internalSource); })},
          {"GM     ", Field<J>([](const J& j) { return j.values.gm; })},
          {"GDS    ", Field<J>([](const J& j) { return j.values.gds; })},
          {"CGS    ", Field<J>([](const J& j) { return j.quantities.cgs; })},
          {"CGD    ", Field<J>([](const J& j) { return j.quantities.cgd; })}}},
        {"MOSFET Devices",
         kMosfetDeviceList,
         {{"ID     ", Field<M>([](const M& m) { return m.quantities.id; })},
          {"VGS    ", Field<M>([](const M& m) { return Between(m.internalGate, m.internalSource); })},
          {"VDS    ", Field<M>([](const M& m) { return Between(m.internalDrain, m.internalSource); })},
          {"VBS    ", Field<M>([](const M& m) { return Between(m.internalBulk, m.internalSource); })},
          {"VTH    ", Field<M>([](const M& m) { return m.values.von; })},
          {"VDSAT  ", Field<M>([](const M& m) { return m.values.vdsat; })},
          {"GM     ", Field<M>([](const M& m) { return m.values.gm; })},
          {"GDS    ", Field<M>([](const M& m) { return m.values.gds; })},
          {"GMB    ", Field<M>([](const M& m) { return m.values.gmbs; })},
          {"CBD    ", Field<M>([](const M& m) { return m.quantities.cbd; })},
          {"CBS    ", Field<M>([](const M& m) { return m.quantities.cbs; })},
          {"CGSOVL ", Field<M>([](const M& m) { return m.values.cgsov; })},
          {"CGDOVL ", Field<M>([](const M& m) { return m.values.cgdov; })},
          {"CGBOVL ", Field<M>([](const M& m) { return m.values.cgbov; })},
          {"CGS    ", Field<M>([](const M& m) { return WithoutOverlap(m.quantities.cgs, m.values.cgsov); })},
          {"CGD    ", Field<M>([](const M& m) { return WithoutOverlap(m.quantities.cgd, m.values.cgdov); })},
          {"CGB    ", Field<M>([](const M& m) { return WithoutOverlap(m.quantities.cgb, m.values.cgbov); })}}},
        {"GaAsFET Devices",
         kGaasfetDeviceList,
         {{"ID     ", Field<G>([](const G& g) { return g.quantities.id; })},
          {"VGS    ", Field<G>([](const G& g) { return Between(g.internalGate, g.internalSource); })},
          {"VDS    ", Field<G>([](const G& g) { return Between(g.internalDrain, g.internalSource); })},
          {"GM     ", Field<G>([](const G& g) { return g.values.gm; })},
          {"GDS    ", Field<G>([](const G& g) { return g.values.gds; })},
          {"CGS    ", Field<G>([](const G& g) { return g.quantities.cgs; })},
          {"CGD    ", Field<G>([](const G& g) { return g.quantities.cgd; })},
          {"CDS    ", Field<G>([](const G& g) { return g.quantities.cds; })}}},
    };
}

void FormatReportCell(int unit, double value, int pass, int& width)
{
    const std::string text = FormatReportNumber(value);
    if (pass == 0) {
        width = std::max(width, static_cast<int>(text.size()));
    } else {
        UnitPrintf(unit, "   %*s ", width, text.c_str());
    }
}

std::vector<const ListNode*> Devices(int list)
{
    std::vector<const ListNode*> out;
    for (const ListNode* node = DeviceList(list).head; node; node = node->next) out.push_back(node);
    return out;
}

void WriteDeviceTable(int unit, const DeviceTable& table, int pass, ReportLayout& layout)
{
    const std::vector<const ListNode*> devices = Devices(table.list);
    if (devices.empty()) return;
    if (pass == 1) UnitPrintIndented(unit, "%s", table.title);
    const std::size_t chunk = pass == 1 ? static_cast<std::size_t>(std::max(layout.columns, 1)) : devices.size();
    for (std::size_t start = 0; start < devices.size(); start += chunk) {
        const std::size_t end = std::min(devices.size(), start + chunk);
        if (pass == 1) {
            int written = 0;
            for (std::size_t i = start; i < end; ++i) {
                const PartInstanceRecord* part = FindPartInstanceOfDevice(devices[i]);
                if (!part) continue;
                const int cell = layout.width + (written == 0 ? 10 : 4);
                UnitPrintf(unit, "%*.*s", cell, cell, PartInstanceName(*part).c_str());
                ++written;
            }
        }
        for (const ReportRow& row : table.rows) {
            if (pass == 1) UnitPrintf(unit, "\n%s", row.label);
            for (std::size_t i = start; i < end; ++i) FormatReportCell(unit, row.value(*devices[i]), pass, layout.width);
        }
        if (pass == 1) UnitPrintf(unit, "\n\n");
    }
}

// Writes cells with a line break after every columns-th one and after a last partial line.
void WriteCells(int unit, const std::vector<std::string>& cells, int columns)
{
    for (std::size_t i = 0; i < cells.size(); ++i) {
        UnitPrintf(unit, "%s", cells[i].c_str());
        if ((i + 1) % static_cast<std::size_t>(columns) == 0) UnitPrintf(unit, "\n");
    }
    if (cells.size() % static_cast<std::size_t>(columns) != 0) UnitPrintf(unit, "\n");
    UnitPrintf(unit, "\n");
}

void WriteHeadings(int unit, const std::string& heading, std::size_t count, int columns)
{
    const std::size_t n = std::min(count, static_cast<std::size_t>(columns));
    for (std::size_t i = 0; i < n; ++i) UnitPrintf(unit, "%s", heading.c_str());
    UnitPrintf(unit, "\n");
}

}  // namespace

std::string FormatReportNumber(double value) { return FormatNumber(value, "13", 0); }

void WriteNodeSections(int unit)
{
    const int nodes = CircuitBuild().lastBuildNodeCounts[0];
    const int digitalNodes = CircuitBuild().lastBuildNodeCounts[1];
    std::vector<const ListNode*> inductors = Devices(kInductorDeviceList);
    int width = 11;
    for (int n = 1; n <= nodes; ++n) width = std::max(width, static_cast<int>(FormatReportNumber(NodeVoltage(n)).size()));
    for (std::size_t k = 0; k < inductors.size(); ++k)
        width = std::max(width, static_cast<int>(FormatReportNumber(NodeVoltage(nodes + static_cast<int>(k) + 1)).size()));
    const int columns = std::max(OutputPageWidth() / (width + 11), 1);
    UnitPrintf(unit, "\n");

    if (nodes > 0) {
        UnitPrintIndented(unit, "DC Operating Point Voltages\n");
        WriteHeadings(unit, StrPrintf("Node     %*.*s  ", width, width, "Voltage"), static_cast<std::size_t>(nodes), columns);
        std::vector<std::string> cells;
        for (int n = 1; n <= nodes; ++n)
            cells.push_back(StrPrintf("%-8.8s %*s  ", CopyAnalogNodeName(n).c_str(), width, FormatReportNumber(NodeVoltage(n)).c_str()));
        WriteCells(unit, cells, columns);
    }
    if (!inductors.empty()) {
        UnitPrintIndented(unit, "DC Operating Point Inductor Current\n");
        WriteHeadings(unit, StrPrintf("Inductor %*.*s  ", width, width, "Current"), inductors.size(), columns);
        std::vector<std::string> cells;
        for (std::size_t k = 0; k < inductors.size(); ++k) {
            const auto* inductor = static_cast<const InductorDevice*>(inductors[k]);
            const std::string name = inductor->component ? GetAttributeText(inductor->component, kAttrPart) : std::string();
            const double current = NodeVoltage(nodes + static_cast<int>(k) + 1);
            cells.push_back(StrPrintf("%-8.8s %*s  ", name.c_str(), width, FormatReportNumber(current).c_str()));
        }
        WriteCells(unit, cells, columns);
    }
    if (digitalNodes > 0) {
        UnitPrintIndented(unit, "DC Operating Point Digital States\n");
        WriteHeadings(unit, "Node        State   ", static_cast<std::size_t>(digitalNodes), columns);
        const std::vector<std::uint16_t>& states = DigitalSimulator().current;
        std::vector<std::string> cells;
        for (int n = 1; n <= digitalNodes; ++n) {
            const std::uint16_t state = static_cast<std::size_t>(n) < states.size() ? states[static_cast<std::size_t>(n)] : 0;
            cells.push_back(StrPrintf("%-11.11s %c       ", CopyDigitalNodeName(n).c_str(), DigitalStateChar(state)));
        }
        WriteCells(unit, cells, columns);
    }
}

void WriteOperatingPointReport()
{
    const int unit = NumericOutputUnit();
    if (unit < 0) return;
    UnitPrintf(unit, "\n");
    UnitPrintIndented(unit, "DC Operating Point Values");
    WriteNodeSections(unit);
    const std::vector<DeviceTable> tables = DeviceTables();
    ReportLayout layout;
    for (const DeviceTable& table : tables) WriteDeviceTable(unit, table, 0, layout);
    layout.width = std::max(layout.width, 10);
    layout.columns = std::max((OutputPageWidth() - 6) / (layout.width + 4), 1);
    for (const DeviceTable& table : tables) WriteDeviceTable(unit, table, 1, layout);
}

}  // namespace kq5
