// A digital LED on a schematic lights in the colour of its node's logic state while the run is
// shown, and is an outline again once the analysis has ended.
#include <array>
#include <string>

#include "../app/frame_test_support.h"
#include "../app/screen_capture_support.h"
#include "../plots/circuit_file_test_support.h"
#include "analog/analysis_start.h"
#include "analog/analysis_state.h"
#include "app/preference_values.h"
#include "digital/digital_logic_tables.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "netlist/component_types.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/screen.h"
#include "platform/window.h"
#include "schematic/component_definition.h"
#include "schematic/editor_services.h"
#include "schematic/pane_seams.h"
#include "schematic/schematic_render.h"
#include "schematic/zoom.h"
#include "plots/limits_dialog.h"

namespace kq5::testing {
namespace {

// A stimulus going high at 10 ns into an inverter whose output drives LED D1, and LED D2 on the
// stimulus itself: at the end D1 shows 0 and D2 shows 1.
std::string LedCircuit()
{
    const std::string gate = CircuitAttr("TIMING MODEL", "D0_GATE") + CircuitAttr("I/O MODEL", "IO_STD");
    return kCircuitFileHeader +
           CircuitPart("Stim1", 10, 10, "S1", CircuitAttr("COMMAND", "0NS 0 10NS 1") + CircuitAttr("FORMAT", "1") + CircuitAttr("I/O MODEL", "IO_STD")) +
           CircuitPart("Inverter", 18, 10, "U1", gate) + CircuitWire(15, 10, 18, 10) + CircuitWire(23, 10, 30, 10) +
           CircuitPart("Digital LED", 30, 10, "D1", "") + CircuitWire(15, 10, 15, 20) + CircuitWire(15, 20, 30, 20) +
           CircuitPart("Digital LED", 30, 20, "D2", "") +
           "[Limits]\r\nAnalysis=Transient\r\nTRange=100n\r\nNPts=51\r\nTemp=27\r\n\r\n"
           "[WaveForm]\r\nAnalysis=Transient\r\nOptions=LINEARX,LINEARY\r\nPlt=1\r\nXExp=T\r\nYExp=T\r\nXRng=Auto\r\nYRng=Auto\r\n\r\n";
}

// "Digital 0" ... "Digital Z", far apart from each other and from the component colour.
constexpr std::array<int, 6> kStateColors = {10, 14, 11, 9, 13, 12};

class LedStatesTest : public StartedFrame {
protected:
    void TearDown() override
    {
        ExitAnalysis();
        PumpFrameMessages();
        StartedFrame::TearDown();
    }
    static SchematicItem* Part(WindowRecord* circuit, int x, int y)
    {
        for (SchematicItem& item : ListRecords<SchematicItem>(circuit->document->itemList))
            if (item.IsComponent() && item.x1 == x && item.y1 == y) return &item;
        return nullptr;
    }
    // The screen colour inside an LED placed at the grid point (the LED's middle lies 2 grid
    // units to the right of its pin).
    static win::COLORREF LedPixel(WindowRecord* circuit, int x, int y)
    {
        const int pane = FindVisiblePane(circuit);
        win::POINT at = GridToPaneClient(circuit, x + 2, y, pane);
        at.y -= 2;  // clear of the lead drawn along the middle
        win::ClientToScreen(circuit->window, &at);
        return win::ScreenPixel(at.x, at.y) & 0xFFFFFF;
    }
    static void Show(WindowRecord* circuit)
    {
        win::SendMessage(Frame().mdiClient, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(circuit->window), 0);
        win::SendMessage(Frame().mdiClient, win::WM_MDIMAXIMIZE, reinterpret_cast<win::WPARAM>(circuit->window), 0);
        PumpFrameMessages();
        if (circuit->document->zoomFactor == 1.0) ZoomWindow(circuit, kCommandZoomIn);
        if (win::HWND limits = AnalysisLimitsDialog()) win::SetWindowPos(limits, nullptr, 300, 420, 0, 0, win::SWP_NOSIZE | win::SWP_NOZORDER);
        win::InvalidateRect(circuit->window, nullptr, 1);
        win::UpdateWindow(circuit->window);
        PumpFrameMessages();
    }
};

TEST_F(LedStatesTest, AnLedShowsItsNodesStateWhileTheRunIsShown)
{
    Start();
    InstallAnalysisKindHandlers();
    for (int i = 0; i < 6; ++i)
        PreferenceSettings().defaultAttributes[static_cast<std::size_t>(kDigitalStateColorFirst + i)].color =
            static_cast<std::uint8_t>(kStateColors[static_cast<std::size_t>(i)]);
    WindowRecord* circuit = WriteAndLoadCircuit(dir_, "leds.cir", LedCircuit().c_str(), kFileKindSchematic,
                                                kLoadDefaults | kLoadShowWindow, kDigitalTestModels);
    PumpFrameMessages();
    ASSERT_NE(circuit, nullptr);
    SchematicItem* d1 = Part(circuit, 30, 10);
    SchematicItem* d2 = Part(circuit, 30, 20);
    ASSERT_TRUE(d1 && d2 && d1->definition);
    ASSERT_EQ(d1->definition->type, kComponentDigitalLed);
    circuit->document->componentFont.color = 1;

    // Before the run: outlines on the background.
    Show(circuit);
    const win::COLORREF background = LedPixel(circuit, 30, 10);
    EXPECT_EQ(LedPixel(circuit, 30, 20), background);

    ASSERT_EQ(RunAnalysisCommand(circuit, kAnalysisTransient), 0);
    ASSERT_EQ(RunAnalysisTimed(kAnalysisTransient), 0);
    PumpFrameMessages();
    for (const auto& m : win::MessageBoxLog()) ADD_FAILURE() << m.text;
    ASSERT_EQ(Analysis().analysisKind, kAnalysisTransient);
    Show(circuit);
    EXPECT_EQ(LedPixel(circuit, 30, 10), ColorIndexRgb(kStateColors[kState0]));  // after the inverter
    EXPECT_EQ(LedPixel(circuit, 30, 20), ColorIndexRgb(kStateColors[kState1]));  // on the stimulus
    win::CurrentBackend().Present(true);
    EXPECT_TRUE(SaveScreen("schematic_digital_leds"));

    ExitAnalysis();
    PumpFrameMessages();
    Show(circuit);
    EXPECT_EQ(LedPixel(circuit, 30, 10), background);
    EXPECT_EQ(LedPixel(circuit, 30, 20), background);
}

}  // namespace
}  // namespace kq5::testing
