#pragma once
// Digital circuits written as schematic files, loaded into a started frame and run: the parts
// they share, the colours of the logic states, and the circuit window shown for pixel probes.
#include <array>
#include <string>

#include "../app/frame_test_support.h"
#include "../plots/circuit_file_test_support.h"
#include "analog/analysis_start.h"
#include "analyses/analysis_install.h"
#include "core/analysis_state.h"
#include "ui/preference_values.h"
#include "core/digital_logic_tables.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/screen.h"
#include "platform/window.h"
#include "plots/limits_dialog.h"
#include "document/editor_services.h"
#include "document/pane_seams.h"
#include "schematic/zoom.h"

namespace kq5::testing {

inline std::string DigitalGateAttributes()
{
    return CircuitAttr("TIMING MODEL", "D0_GATE") + CircuitAttr("I/O MODEL", "IO_STD");
}

// S1 at the point: low, then high from 10 ns.
inline std::string DigitalStimulusPart(int x, int y)
{
    return CircuitPart("Stim1", x, y, "S1",
                       CircuitAttr("COMMAND", "0NS 0 10NS 1") + CircuitAttr("FORMAT", "1") + CircuitAttr("I/O MODEL", "IO_STD"));
}

// 100 ns of transient analysis, plotting time.
inline constexpr const char* kDigitalRunSections =
    "[Limits]\r\nAnalysis=Transient\r\nTRange=100n\r\nNPts=51\r\nTemp=27\r\n\r\n"
    "[WaveForm]\r\nAnalysis=Transient\r\nOptions=LINEARX,LINEARY\r\nPlt=1\r\nXExp=T\r\nYExp=T\r\nXRng=Auto\r\nYRng=Auto\r\n\r\n";

// Colours far apart from each other and from the wire and part colours, "Digital 0" to "Digital Z".
inline constexpr std::array<int, 6> kStateColors = {10, 14, 11, 9, 13, 12};

class DigitalRunTest : public StartedFrame {
protected:
    void TearDown() override
    {
        ExitAnalysis();
        PumpFrameMessages();
        StartedFrame::TearDown();
    }

    // Starts the frame with the state colours above and loads the circuit into a window.
    WindowRecord* LoadDigitalCircuit(const std::string& name, const std::string& text)
    {
        Start();
        InstallAnalysisKindHandlers();
        for (int i = 0; i < 6; ++i)
            PreferenceSettings().defaultAttributes[static_cast<std::size_t>(kDigitalStateColorFirst + i)].color =
                static_cast<std::uint8_t>(kStateColors[static_cast<std::size_t>(i)]);
        WindowRecord* circuit = WriteAndLoadCircuit(dir_, name, text.c_str(), kFileKindSchematic,
                                                    kLoadDefaults | kLoadShowWindow, kDigitalTestModels);
        PumpFrameMessages();
        return circuit;
    }

    // Runs the circuit's transient analysis, which stays open; no message may appear.
    static void RunDigitalCircuit(WindowRecord* circuit)
    {
        EXPECT_EQ(RunAnalysisCommand(circuit, kAnalysisTransient), 0);
        EXPECT_EQ(RunAnalysisTimed(kAnalysisTransient), 0);
        PumpFrameMessages();
        for (const auto& m : win::MessageBoxLog()) ADD_FAILURE() << m.text;
    }

    // Shows the circuit window alone, one zoom step in, and paints it.
    static void ShowCircuit(WindowRecord* circuit)
    {
        win::SendMessage(Frame().mdiClient, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(circuit->window), 0);
        win::SendMessage(Frame().mdiClient, win::WM_MDIMAXIMIZE, reinterpret_cast<win::WPARAM>(circuit->window), 0);
        PumpFrameMessages();
        if (circuit->document->zoomFactor == 1.0) ZoomWindow(circuit, kCommandZoomIn);
        // The limits dialog stands aside, below the circuit.
        if (win::HWND limits = AnalysisLimitsDialog()) win::SetWindowPos(limits, nullptr, 300, 420, 0, 0, win::SWP_NOSIZE | win::SWP_NOZORDER);
        win::InvalidateRect(circuit->window, nullptr, 1);
        win::UpdateWindow(circuit->window);
        PumpFrameMessages();
    }

    // The screen colour at a grid point of the shown pane, moved by dy pixels.
    static win::COLORREF GridPixel(WindowRecord* circuit, int x, int y, int dy = 0)
    {
        const int pane = FindVisiblePane(circuit);
        win::POINT at = GridToPaneClient(circuit, x, y, pane);
        at.y += dy;
        win::ClientToScreen(circuit->window, &at);
        return win::ScreenPixel(at.x, at.y) & 0xFFFFFF;
    }
};

}  // namespace kq5::testing
