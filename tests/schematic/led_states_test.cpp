// A digital LED on a schematic lights in the colour of its node's logic state while the run is
// shown, and is an outline again once the analysis has ended.
#include "digital_run_test_support.h"

#include "../app/screen_capture_support.h"
#include "document/component_types.h"
#include "document/component_definition.h"
#include "schematic/schematic_render.h"

namespace kq5::testing {
namespace {

// A stimulus going high at 10 ns into an inverter whose output drives LED D1, and LED D2 on the
// stimulus itself: at the end D1 shows 0 and D2 shows 1.
std::string LedCircuit()
{
    return kCircuitFileHeader + DigitalStimulusPart(10, 10) + CircuitPart("Inverter", 18, 10, "U1", DigitalGateAttributes()) +
           CircuitWire(15, 10, 18, 10) + CircuitWire(23, 10, 30, 10) + CircuitPart("Digital LED", 30, 10, "D1", "") +
           CircuitWire(15, 10, 15, 20) + CircuitWire(15, 20, 30, 20) + CircuitPart("Digital LED", 30, 20, "D2", "") +
           kDigitalRunSections;
}

class LedStatesTest : public DigitalRunTest {
protected:
    static SchematicItem* Part(WindowRecord* circuit, int x, int y)
    {
        for (SchematicItem& item : ListRecords<SchematicItem>(circuit->document->itemList))
            if (item.IsComponent() && item.x1 == x && item.y1 == y) return &item;
        return nullptr;
    }
    // The screen colour inside an LED placed at the grid point: its middle lies 2 grid units
    // right of its pin, probed just above the lead drawn along the middle.
    static win::COLORREF LedPixel(WindowRecord* circuit, int x, int y) { return GridPixel(circuit, x + 2, y, -2); }
};

TEST_F(LedStatesTest, AnLedShowsItsNodesStateWhileTheRunIsShown)
{
    WindowRecord* circuit = LoadDigitalCircuit("leds.cir", LedCircuit());
    ASSERT_NE(circuit, nullptr);
    SchematicItem* d1 = Part(circuit, 30, 10);
    SchematicItem* d2 = Part(circuit, 30, 20);
    ASSERT_TRUE(d1 && d2 && d1->definition);
    ASSERT_EQ(d1->definition->type, kComponentDigitalLed);
    circuit->document->componentFont.color = 1;

    // Before the run: outlines on the background.
    ShowCircuit(circuit);
    const win::COLORREF background = LedPixel(circuit, 30, 10);
    EXPECT_EQ(LedPixel(circuit, 30, 20), background);

    RunDigitalCircuit(circuit);
    ASSERT_EQ(Analysis().analysisKind, kAnalysisTransient);
    ShowCircuit(circuit);
    EXPECT_EQ(LedPixel(circuit, 30, 10), ColorIndexRgb(kStateColors[kState0]));  // after the inverter
    EXPECT_EQ(LedPixel(circuit, 30, 20), ColorIndexRgb(kStateColors[kState1]));  // on the stimulus
    win::CurrentBackend().Present(true);
    EXPECT_TRUE(SaveScreen("schematic_digital_leds"));

    ExitAnalysis();
    PumpFrameMessages();
    ShowCircuit(circuit);
    EXPECT_EQ(LedPixel(circuit, 30, 10), background);
    EXPECT_EQ(LedPixel(circuit, 30, 20), background);
}

}  // namespace
}  // namespace kq5::testing
