// A small digital circuit drawn on a schematic and run: while its analysis is open each digital
// wire is drawn in the colour of its node's state, a node without drive strength as Z, and the
// wires go back to the wire colour once the analysis has ended.
#include <array>
#include <fstream>
#include <string>

#include "digital_run_test_support.h"
#include "../app/frame_test_support.h"
#include "../app/screen_capture_support.h"
#include "../plots/circuit_file_test_support.h"
#include "analog/analysis_start.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "ui/edit_mode.h"
#include "digital/digital_path_window.h"
#include "results/curve_record.h"
#include "app/frame_window.h"
#include "ui/preference_values.h"
#include "core/digital_logic_tables.h"
#include "core/digital_node_states.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/schematic_item.h"
#include "platform/headless.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/screen.h"
#include "platform/window.h"
#include "plots/limits_dialog.h"
#include "document/editor_services.h"
#include "document/pane_seams.h"
#include "schematic/schematic_render.h"
#include "schematic/zoom.h"

namespace kq5::testing {
namespace {

// A stimulus that goes high at 10 ns into a buffer U1 and an inverter U2, a wire between each
// pair and one after the inverter: at the end of the run the first two wires are 1, the last 0.
std::string ChainCircuit()
{
    const std::string gate = DigitalGateAttributes();
    return kCircuitFileHeader + DigitalStimulusPart(10, 10) + CircuitPart("Buffer", 18, 10, "U1", gate) +
           CircuitPart("Inverter", 27, 10, "U2", gate) + CircuitWire(15, 10, 18, 10) + CircuitWire(23, 10, 27, 10) +
           CircuitWire(32, 10, 36, 10) + kDigitalRunSections;
}

constexpr int kModePointToEndPaths = 17582;
constexpr int kModePointToPointPaths = 17583;

class DigitalStatesTest : public DigitalRunTest {
protected:
    WindowRecord* RunChain()
    {
        WindowRecord* circuit = LoadDigitalCircuit("chain.cir", ChainCircuit());
        if (circuit == nullptr) return nullptr;
        circuit->document->wireFont.color = 1;
        RunDigitalCircuit(circuit);
        return circuit;
    }

    static SchematicItem* WireFrom(WindowRecord* circuit, int x1)
    {
        for (SchematicItem& item : ListRecords<SchematicItem>(circuit->document->itemList))
            if (item.itemKind == kItemWire && item.x1 == x1) return &item;
        return nullptr;
    }

    // The screen colour in the middle of a horizontal wire.
    static win::COLORREF WirePixel(WindowRecord* circuit, const SchematicItem& wire)
    {
        return GridPixel(circuit, (wire.x1 + wire.x2) / 2, wire.y1);
    }
};

TEST_F(DigitalStatesTest, WiresShowTheirNodeStatesWhileTheAnalysisIsOpen)
{
    WindowRecord* circuit = RunChain();
    ASSERT_NE(circuit, nullptr);
    ASSERT_EQ(Analysis().analysisKind, kAnalysisTransient);
    SchematicItem* a = WireFrom(circuit, 15);
    SchematicItem* b = WireFrom(circuit, 23);
    SchematicItem* c = WireFrom(circuit, 32);
    ASSERT_TRUE(a && b && c);
    for (SchematicItem* wire : {a, b, c}) EXPECT_TRUE(wire->style & kStyleWireDigital);
    const CircuitDocument& document = *circuit->document;
    EXPECT_EQ(WireDigitalColor(document, *a), kStateColors[kState1]);
    EXPECT_EQ(WireDigitalColor(document, *b), kStateColors[kState1]);
    EXPECT_EQ(WireDigitalColor(document, *c), kStateColors[kState0]);

    ShowCircuit(circuit);
    EXPECT_EQ(WirePixel(circuit, *a), ColorIndexRgb(kStateColors[kState1]));
    EXPECT_EQ(WirePixel(circuit, *c), ColorIndexRgb(kStateColors[kState0]));
    win::CurrentBackend().Present(true);
    EXPECT_TRUE(SaveScreen("schematic_digital_states"));

    // A node whose drive has no strength reads as Z, whatever its level bits say.
    const std::size_t node = static_cast<std::size_t>(document.schematicNodeTable[static_cast<std::size_t>(c->wireLabel)].nodeNumber);
    ASSERT_LT(node, DigitalSimulator().current.size());
    DigitalSimulator().current[node] = kState1;
    EXPECT_EQ(WireDigitalColor(document, *c), kStateColors[kStateZ]);
    DigitalSimulator().current[node] = static_cast<std::uint16_t>(kStateX | kFullStrength);
    EXPECT_EQ(WireDigitalColor(document, *c), kStateColors[kStateX]);

    // Once the analysis has ended the wires are drawn in the wire colour again.
    ExitAnalysis();
    PumpFrameMessages();
    EXPECT_EQ(WirePixel(circuit, *a), ColorIndexRgb(1));
    EXPECT_EQ(WirePixel(circuit, *c), ColorIndexRgb(1));
}

// The path modes act on gates of a schematic only while no analysis is open: a click on the
// analysis plot in either mode opens no path window and leaves the analysis as it was.
TEST_F(DigitalStatesTest, PathModesDoNothingOnTheAnalysisPlot)
{
    WindowRecord* circuit = RunChain();
    ASSERT_NE(circuit, nullptr);
    WindowRecord* analysis = RunControl().analysisWindow;
    ASSERT_TRUE(analysis && analysis->window && analysis->plot && analysis->plot->curveCount > 0);
    const CurveRecord& curve = *analysis->plot->curves[0];
    const int x = (curve.plotRect.left + curve.plotRect.right) / 2;
    const int y = (curve.plotRect.top + curve.plotRect.bottom) / 2;
    for (int mode : {kModePointToEndPaths, kModePointToPointPaths}) {
        SetEditMode(analysis, mode);
        for (int click = 0; click < 2; ++click) {
            win::SendMessage(analysis->window, win::WM_LBUTTONDOWN, win::MK_LBUTTON, win::MAKELPARAM(x, y));
            win::SendMessage(analysis->window, win::WM_LBUTTONUP, 0, win::MAKELPARAM(x, y));
            PumpFrameMessages();
        }
        EXPECT_EQ(PathWindow(), nullptr) << mode;
        EXPECT_EQ(Analysis().analysisKind, kAnalysisTransient) << mode;
        EXPECT_EQ(RunControl().analysisWindow, analysis) << mode;
    }
    for (const auto& m : win::MessageBoxLog()) ADD_FAILURE() << m.text;
}

}  // namespace
}  // namespace kq5::testing
