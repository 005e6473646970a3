// Schematics drawn with the program's component library that use macro circuits, one and two
// levels deep, exported in the three dialects from a started program (macros are circuit files
// the build opens): every export is read back by this program's reader and run by ngspice, which
// must find the schematic's operating point.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "document/circuit_file_sectioned.h"
#include "document/connectivity.h"
#include "document/grid_text.h"
#include "document/node_flags.h"
#include "document/part_numbering.h"
#include "document/schematic_item.h"
#include "frame_test_support.h"
#include "schematic_drawing_support.h"
#include "netlist/circuit_build.h"
#include "document/component_types.h"
#include "netlist/spice_export.h"
#include "results/curve_record.h"
#include "document/component_library.h"
#include "analog/run_windows.h"
#include "ui/frame_state.h"
#include "schematic/schematic_view.h"
#include "schematic/circuit_window.h"
#include "analog/analysis_start.h"
#include "analog/run_control.h"
#include "analyses/analysis_install.h"

namespace kq5::testing {
namespace {

std::string ReadText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    std::string text = all.str();
    std::erase(text, '\r');
    return text;
}

class SpiceExportMacro : public StartedFrame {
protected:
    // A circuit file written by the program's own writer from a document drawn by the function.
    template <class Draw>
    void WriteCircuitFileOf(const std::string& name, Draw draw)
    {
        WindowRecord* record = NewWindowRecord(nullptr, kWindowSchematic, true);
        ASSERT_NE(record, nullptr);
        record->plot = std::make_shared<PlotRecord>();
        draw(record);
        ASSERT_EQ(WriteFileReplacing((dir_ / name).string(), [record](int unit) { return WriteCircuitSections(record, unit); }), 0);
    }

    // DIV: IN - 1k - OUT - 1k - ground (or the global net $G_REF); with a text area, the upper
    // resistor's value as given (PDIV: RTOP, a parameter of 1k unless the call says).
    void WriteDivider(const std::string& name = "DIV.CIR", const std::string& upper = "1k", const std::string& text = {},
                      bool toGlobal = false)
    {
        WriteCircuitFileOf(name, [&](WindowRecord* record) {
            SchematicItem* r1 = Place(record, "Resistor", 10, 10, "R1", upper.c_str());
            SchematicItem* r2 = Place(record, "Resistor", 20, 10, "R2", "1k");
            Wire(record, r1, 1, r2, 0);
            if (toGlobal)
                Label(record, "$G_REF", r2, 1);
            else
                Ground(record, r2, 1);
            Label(record, "IN", r1, 0);
            Label(record, "OUT", r1, 1);
            record->textArea = text;
        });
    }

    // OUTER: IN - 500 - the divider DIV - OUT, the divider's output loaded by 3k.
    void WriteOuter()
    {
        WriteCircuitFileOf("OUTER.CIR", [](WindowRecord* record) {
            SchematicItem* rs = Place(record, "Resistor", 10, 10, "RS", "500");
            SchematicItem* x2 = Place(record, "Macro", 20, 10, "X2", "DIV");
            SchematicItem* rl = Place(record, "Resistor", 30, 20, "RL", "3k");
            Wire(record, rs, 1, x2, 0);
            Wire(record, x2, 1, rl, 0);
            Ground(record, rl, 1);
            Label(record, "IN", rs, 0);
            Label(record, "MID", rs, 1);
            Label(record, "OUT", x2, 1);
        });
    }

    // The top circuit in the program's first circuit window: 10 V into the macro, its output
    // loaded by 2k and named VOUT; with global, $G_REF held at 2 V.
    WindowRecord* DrawTop(const char* macro, bool global = false)
    {
        WindowRecord* top = GetActiveChildRecord();
        EXPECT_NE(top, nullptr);
        if (!top) return nullptr;
        top->title = (dir_ / "TOP.CIR").string();
        SchematicItem* v1 = Place(top, "V", 10, 10, "V1", "DC 10");
        Ground(top, v1, 1);
        SchematicItem* x1 = Place(top, "Macro", 20, 10, "X1", macro);
        SchematicItem* load = Place(top, "Resistor", 30, 20, "RL", "2k");
        Wire(top, v1, 0, x1, 0);
        Wire(top, x1, 1, load, 0);
        Ground(top, load, 1);
        Label(top, "VOUT", x1, 1);
        if (global) {
            SchematicItem* v2 = Place(top, "V", 10, 40, "V2", "DC 2");
            Ground(top, v2, 1);
            Label(top, "$G_REF", v2, 0);
        }
        top->document->limits.transient = {"10u", "", "11", "27"};
        // The nodes, as the editor numbers them after each change.
        top->document->connectivityStale = 1;
        EXPECT_EQ(RebuildNetlistIfNeeded(top, true), 0);
        return top;
    }

    // ngspice's operating point of an export: VOUT in volts, or NaN with the failure in error.
    double NgspiceVout(const std::string& text, SpiceDialect dialect, std::string& error)
    {
        const std::filesystem::path run = dir_ / ("ng" + std::to_string(dialect));
        std::filesystem::create_directories(run);
        std::string global;
        if (dialect == kSpiceDialectPspice) {
            std::ofstream(run / ".spiceinit") << "set ngbehavior=ps\n";
            // PSpice takes a name beginning "$G_" for a global net; ngspice is told so.
            if (text.find("$G_REF") != std::string::npos) global = ".GLOBAL $G_REF\n";
        }
        // SPICE 2G numbers every node: VOUT is the node the export wrote at RL's first pin.
        std::string node = "vout";
        if (dialect == kSpiceDialect2G) {
            std::smatch m;
            static const std::regex kLoad(R"(\nRL (\d+) )");
            if (std::regex_search(text, m, kLoad)) node = m[1].str();
        }
        std::ofstream(run / "circuit.cir") << text.substr(0, text.rfind(".END\n")) << global << ".control\nop\nprint v(" << node
                                           << ")\n.endc\n.end\n";
        const std::string command = "cd '" + run.string() + "' && ngspice -b circuit.cir > out.txt 2>&1";
        std::system(command.c_str());
        const std::string out = ReadText(run / "out.txt");
        std::smatch m;
        static const std::regex kValue(R"(\nv\([^)]*\) = ([-+0-9.eE]+))");
        if (!std::regex_search(out, m, kValue)) {
            error = out;
            return std::nan("");
        }
        return std::stod(m[1].str());
    }

    // Exports the top circuit in each dialect; each export reads back into a circuit of the
    // same elements and ngspice finds the expected VOUT.
    void CheckExports(const char* macro, int resistors, double expectedOut, bool global = false)
    {
        ASSERT_EQ(std::system("command -v ngspice > /dev/null 2>&1"), 0)
            << "ngspice is not installed (Debian package ngspice; bash tools/setup.sh installs it)";
        Start();
        Settings().workingDirectory = dir_.string() + "/";
        WriteDivider("DIV.CIR", "1k", {}, global);
        WriteDivider("PDIV.CIR", "RTOP", ".PARAMETERS(RTOP=1k)\n");
        WriteOuter();
        WindowRecord* top = DrawTop(macro, global);
        ASSERT_NE(top, nullptr);
        for (SpiceDialect dialect : {kSpiceDialect2G, kSpiceDialectPspice, kSpiceDialectSpice3}) {
            SCOPED_TRACE(std::string(macro) + " dialect " + std::to_string(dialect));
            ResetSpiceExportForTests();
            SpiceExport().dialect = dialect;
            SpiceExport().analysisMask = kExportTransient;
            SpiceExport().expandSubcircuits = true;
            const std::filesystem::path path = dir_ / ("TOP" + std::to_string(dialect) + ".CKT");
            win::ClearMessageBoxLog();
            ASSERT_EQ(ExportSpiceNetlist(top, path.string()), 0)
                << (win::MessageBoxLog().empty() ? std::string() : win::MessageBoxLog().back().text);
            const std::string text = ReadText(path);
            ASSERT_FALSE(text.empty());
            // One subcircuit per macro, called by the instance's part name.
            EXPECT_NE(text.find(".SUBCKT"), std::string::npos) << text;
            EXPECT_NE(text.find("\nX1 "), std::string::npos) << text;

            // Read back by this program's reader: every resistor of every level comes back.
            WindowRecord* back = NewWindowRecord(nullptr, kWindowTextCircuit, true);
            ASSERT_NE(back, nullptr);
            back->textArea = text;
            back->title = path.string();
            win::ClearMessageBoxLog();
            ASSERT_EQ(PrepareCircuit(back, nullptr, kPrepareResolveModels | kPrepareRebuildNetlist), 0)
                << (win::MessageBoxLog().empty() ? std::string() : win::MessageBoxLog().back().text) << "\n" << text;
            int found = 0;
            for (SchematicItem& item : ListRecords<SchematicItem>(back->document->itemList))
                if (item.IsComponent() && ItemComponentType(&item) == kComponentResistor) ++found;
            EXPECT_EQ(found, resistors) << text;
            FreeBuiltCircuit(0xFF);
            SetCurrentDocument(top);

            std::string error;
            const double vout = NgspiceVout(text, dialect, error);
            EXPECT_NEAR(vout, expectedOut, 1e-6 * expectedOut) << error << "\n" << text;
            std::printf("[export-macro] %s dialect %d: ngspice VOUT %.9g, expected %.9g\n", macro, dialect, vout, expectedOut);
        }
    }
};

TEST_F(SpiceExportMacro, AMacroCircuitExportsAsASubcircuitThatRunsAlike)
{
    // 10 V into 1k and (1k parallel 2k): 4 V.
    CheckExports("DIV", 3, 4.0);
}

TEST_F(SpiceExportMacro, AMacroCallsParametersReachItsSubcircuit)
{
    // 10 V into 3k and (1k parallel 2k).
    const double lower = 1.0 / (1.0 / 1000.0 + 1.0 / 2000.0);
    CheckExports("PDIV(3k)", 3, 10.0 * lower / (3000.0 + lower));
}

TEST_F(SpiceExportMacro, NestedMacrosExportAsNestedSubcircuitsThatRunAlike)
{
    // Inside OUTER the divider's output is loaded by 3k and the top's 2k (1.2k): 1k || 1.2k seen
    // behind 500 + 1k.
    const double inner = 1.0 / (1.0 / 1000.0 + 1.0 / 1200.0);
    CheckExports("OUTER", 5, 10.0 * inner / (500.0 + 1000.0 + inner));
}

TEST_F(SpiceExportMacro, AGlobalNetInsideNestedMacrosIsOneNetInEveryDialect)
{
    // The divider inside OUTER returns to $G_REF, which only the top circuit holds, at 2 V: its
    // output sees 10 V behind 1.5k, 2 V behind 1k and 1.2k to ground. ngspice read the Spice3
    // export's " $G_REF" as a comment and SPICE 2G's subcircuit node as a net of its own.
    const double vout = (10.0 / 1500.0 + 2.0 / 1000.0) / (1.0 / 1500.0 + 1.0 / 1000.0 + 1.0 / 1200.0);
    CheckExports("OUTER", 5, vout, true);
}

// The windows out of sight that a run reads its macros into: children of the frame outside the
// MDI client.
int HiddenCircuitWindows()
{
    int count = 0;
    for (win::HWND child = win::GetWindow(Frame().frame, win::GW_CHILD); child; child = win::GetWindow(child, win::GW_HWNDNEXT))
        if (win::GetDlgCtrlID(child) == kHiddenCircuitWindowId) ++count;
    return count;
}

// Each run reads its macros (OUTER, and DIV inside it) into hidden windows for its build; they go
// once the circuit is built, where every run used to leave its copies until the program ended.
// DIV, open in a window of its own with an edit not saved, is copied for the run and stays open
// with the edit.
TEST_F(SpiceExportMacro, RunsLeaveNoHiddenMacroWindowsAndTheUsersMacroOpen)
{
    Start();
    InstallAnalysisKindHandlers();
    WriteDivider();
    WriteOuter();
    WindowRecord* top = DrawTop("OUTER");
    ASSERT_NE(top, nullptr);
    ASSERT_EQ(OpenFileOfKind((dir_ / "DIV.CIR").string(), kFileKindSchematic), 0);
    WindowRecord* divider = FindRecordByTitle((dir_ / "DIV.CIR").string());
    ASSERT_NE(divider, nullptr);
    divider->modified = 1;
    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE("run " + std::to_string(run + 1));
        win::ClearMessageBoxLog();
        ASSERT_EQ(RunAnalysisCommand(top, kAnalysisTransient), 0);
        ASSERT_EQ(RunAnalysisTimed(kAnalysisTransient), 0)
            << (win::MessageBoxLog().empty() ? std::string() : win::MessageBoxLog().back().text);
        PumpFrameMessages();
        EXPECT_EQ(HiddenCircuitWindows(), 0);
        ExitAnalysis();
    }
    ASSERT_TRUE(IsLiveWindowRecord(divider));
    EXPECT_TRUE(win::IsWindowVisible(divider->window));
    EXPECT_EQ(divider->modified, 1);
}

TEST_F(SpiceExportMacro, APrintedNodeInsideNestedMacrosIsWrittenAsTheSimulatorNamesIt)
{
    // The node between OUTER's 500 ohms and its divider, and the divider's output (a pin of both
    // macros: the top's VOUT), printed by the top circuit.
    ASSERT_EQ(std::system("command -v ngspice > /dev/null 2>&1"), 0)
        << "ngspice is not installed (Debian package ngspice; bash tools/setup.sh installs it)";
    Start();
    Settings().workingDirectory = dir_.string() + "/";
    WriteDivider();
    WriteOuter();
    WindowRecord* top = DrawTop("OUTER");
    ASSERT_NE(top, nullptr);
    for (const char* printed : {"V(X1.MID)", "V(X1.X2.OUT)"}) {
        LimitsRow row;
        row.xExpression = "T";
        row.yExpression = printed;
        row.plotGroup = '1';
        top->document->limitsRows[kAnalysisTransient].push_back(row);
    }
    const double inner = 1.0 / (1.0 / 1000.0 + 1.0 / 1200.0);
    const double vout = 10.0 * inner / (500.0 + 1000.0 + inner);
    const double mid = 10.0 - 500.0 * (10.0 - vout) / (500.0 + 1000.0);
    for (SpiceDialect dialect : {kSpiceDialectPspice, kSpiceDialectSpice3}) {
        SCOPED_TRACE(dialect);
        ResetSpiceExportForTests();
        SpiceExport().dialect = dialect;
        SpiceExport().analysisMask = kExportTransient;
        const std::filesystem::path path = dir_ / ("PRINT" + std::to_string(dialect) + ".CKT");
        ASSERT_EQ(ExportSpiceNetlist(top, path.string()), 0);
        const std::string text = ReadText(path);
        EXPECT_NE(text.find("V(X1.MID) V(VOUT)"), std::string::npos) << text;
        // The definitions name their nodes by the macros' own node texts.
        EXPECT_NE(text.find(".SUBCKT DIV IN OUT\n"), std::string::npos) << text;
        EXPECT_NE(text.find("RS IN MID 500\n"), std::string::npos) << text;
        // ngspice finds the node inside the calls under the name written.
        const std::filesystem::path run = dir_ / ("ngprint" + std::to_string(dialect));
        std::filesystem::create_directories(run);
        if (dialect == kSpiceDialectPspice) std::ofstream(run / ".spiceinit") << "set ngbehavior=ps\n";
        std::ofstream(run / "circuit.cir") << text.substr(0, text.rfind(".PROBE\n"))
                                           << ".control\nop\nprint v(x1.mid)\n.endc\n.end\n";
        std::system(("cd '" + run.string() + "' && ngspice -b circuit.cir > out.txt 2>&1").c_str());
        const std::string out = ReadText(run / "out.txt");
        std::smatch m;
        static const std::regex kValue(R"(\nv\(x1\.mid\) = ([-+0-9.eE]+))");
        ASSERT_TRUE(std::regex_search(out, m, kValue)) << out << "\n" << text;
        EXPECT_NEAR(std::stod(m[1].str()), mid, 1e-6 * mid);
    }
}

}  // namespace
}  // namespace kq5::testing
