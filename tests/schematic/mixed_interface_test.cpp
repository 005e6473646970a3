// An analog source drawn on a schematic driving a digital gate: the build puts the interface
// of the gate's I/O model between the source's node and the gate's input, so the gate reads
// the source's level.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "../app/frame_test_support.h"
#include "../plots/circuit_file_test_support.h"
#include "analog/analysis_start.h"
#include "analyses/analysis_install.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "core/digital_logic_tables.h"
#include "core/digital_node_states.h"
#include "document/circuit_document.h"
#include "document/node_table.h"
#include "document/schematic_item.h"
#include "platform/message_box.h"
#include "ui/preference_values.h"
#include "results/curve_record.h"
#include "schematic/schematic_render.h"
#include "plots/plot_axes.h"

namespace kq5::testing {
namespace {

// V1 (its + pin at 10,10) into an inverter whose output wire, named DOUT, runs from 19,10 to
// 24,10; the run plots d(DOUT).
std::string SourceIntoInverter(const char* level)
{
    const std::string gate = CircuitAttr("TIMING MODEL", "D0_GATE") + CircuitAttr("I/O MODEL", "IO_STD") +
                             CircuitAttr("POWER NODE", "$G_DPWR") + CircuitAttr("GROUND NODE", "$G_DGND");
    return kCircuitFileHeader + CircuitPart("V", 10, 10, "V1", CircuitAttr("VALUE", level)) +
           CircuitPart("Ground", 10, 16, "", "") + CircuitPart("Inverter", 14, 10, "U1", gate) +
           CircuitWire(10, 10, 14, 10) + CircuitWire(19, 10, 22, 10) + CircuitWire(22, 10, 24, 10) + "[Grid Text]\r\nText=DOUT\r\nGrid=22,10\r\n\r\n" +
           "[Limits]\r\nAnalysis=Transient\r\nTRange=100n\r\nNPts=51\r\nTemp=27\r\n\r\n"
           "[WaveForm]\r\nAnalysis=Transient\r\nOptions=LINEARX,LINEARY\r\nPlt=1\r\nXExp=T\r\nYExp=d(DOUT)\r\nXRng=Auto\r\nYRng=Auto\r\n\r\n";
}

// The model library the program ships: the standard I/O model and its interface subcircuits.
std::string ShippedModels()
{
    std::ifstream in(std::filesystem::read_symlink("/proc/self/exe").parent_path() / "NOM.LIB", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class MixedInterface : public StartedFrame {
protected:
    void TearDown() override
    {
        ExitAnalysis();
        PumpFrameMessages();
        StartedFrame::TearDown();
    }

    // The state of the inverter's output node at the end of a run with the source at `level`.
    int OutputState(const char* level)
    {
        Start();
        InstallAnalysisKindHandlers();
        const std::string models = ShippedModels();
        EXPECT_NE(models.find("AtoDDefault"), std::string::npos);
        WindowRecord* circuit = WriteAndLoadCircuit(dir_, "mixed.cir", SourceIntoInverter(level).c_str(), kFileKindSchematic,
                                                    kLoadDefaults | kLoadShowWindow, models.c_str());
        PumpFrameMessages();
        if (circuit == nullptr) return -1;
        EXPECT_EQ(RunAnalysisCommand(circuit, kAnalysisTransient), 0);
        EXPECT_EQ(RunAnalysisTimed(kAnalysisTransient), 0);
        PumpFrameMessages();
        for (const auto& m : win::MessageBoxLog()) ADD_FAILURE() << m.text;
        const CircuitDocument& document = *circuit->document;
        for (const SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
            if (item.itemKind != kItemWire || item.x1 != 19) continue;
            // The simulator numbers the digital nets apart; the wire's node is found by its name.
            const std::string name =
                std::to_string(document.schematicNodeTable[static_cast<std::size_t>(item.wireLabel)].nodeNumber);
            for (const NodeNameRow& row : CircuitNodeTable().rows) {
                if (row.name != name || row.scope != 0 || row.domain != 1) continue;
                if (static_cast<std::size_t>(row.number) >= DigitalSimulator().current.size()) return -1;
                return DigitalStateIndexOf(DigitalSimulator().current[static_cast<std::size_t>(row.number)]);
            }
        }
        return -1;
    }
};

TEST_F(MixedInterface, AHighSourceMakesTheInverterOutputLow)
{
    EXPECT_EQ(OutputState("DC 5"), kState0);
    const auto& colors = PreferenceSettings().defaultAttributes;
    ASSERT_NE(colors[static_cast<std::size_t>(kDigitalStateColorFirst + kState0)].color,
              colors[static_cast<std::size_t>(kDigitalStateColorFirst + kStateX)].color);
    // The gate's wires show the states of their own nets, numbered apart from the analog ones.
    const WindowRecord* circuit = RunControl().circuitWindow;
    ASSERT_NE(circuit, nullptr);
    const CircuitDocument& document = *circuit->document;
    int checked = 0;
    for (const SchematicItem& item : ListRecords<SchematicItem>(document.itemList)) {
        if (item.itemKind != kItemWire || item.x1 < 19) continue;
        EXPECT_EQ(WireDigitalColor(document, item), colors[static_cast<std::size_t>(kDigitalStateColorFirst + kState0)].color);
        const SchematicNodeRow& row = document.schematicNodeTable[static_cast<std::size_t>(item.wireLabel)];
        EXPECT_EQ(FormatNodeLabel(row, kNodeLabelValue), "0");
        ++checked;
    }
    EXPECT_EQ(checked, 2);
}

TEST_F(MixedInterface, ALowSourceMakesTheInverterOutputHigh)
{
    EXPECT_EQ(OutputState("DC 0"), kState1);
    // d(DOUT) is a digital state, not a bus: its curve is drawn at the levels of its states.
    const WindowRecord* analysis = RunControl().analysisWindow;
    ASSERT_TRUE(analysis && analysis->plot && analysis->plot->curveCount > 0);
    const CurveRecord& curve = *analysis->plot->curves[0];
    EXPECT_TRUE(curve.digital);
    EXPECT_FALSE(IsBusCurve(curve));
    EXPECT_EQ(CurveValueToPixel(curve, kWaveformY, kState0 | kFullStrength, kState1), curve.laneLow);
    EXPECT_EQ(CurveValueToPixel(curve, kWaveformY, kState1 | kFullStrength, kState0), curve.laneHigh);
    EXPECT_GT(curve.lastPointIndex, 0);
}

}  // namespace
}  // namespace kq5::testing
