// The analysis window as a user works it: a double click opens an object's editor, an empty
// plot's Characteristics dialog, or in probe mode a popup offering Add Plot; the window and its
// circuit come back where they stood when the last analysis of the same kind closed.
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "../app/frame_test_support.h"
#include "circuit_file_test_support.h"
#include "../app/screen_capture_support.h"
#include "analog/analysis_start.h"
#include "analyses/analysis_install.h"
#include "core/analysis_state.h"
#include "analog/run_control.h"
#include "app/command_routing.h"
#include "ui/help_bar.h"
#include "app/frame_window.h"
#include "ui/prompt_dialog.h"
#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "platform/backend.h"
#include "platform/headless.h"
#include "platform/menu.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/paint.h"
#include "platform/win_messages.h"
#include "platform/window.h"
#include "results/curve_record.h"
#include "results/plot_object.h"
#include "plots/plot_object_draw.h"
#include "plots/plot_object_geometry.h"
#include "plots/probe_mode.h"

namespace kq5::testing {
namespace {

const char* const kCircuit =
    "RC STEP\nV1 1 0 PULSE(0 1 0 1N 1N 1 2)\nR1 1 2 1K\nC1 2 0 1U\n.TRAN 50U 5M\n.PRINT TRAN V(2)\n.END\n";

class AnalysisWindowUseTest : public StartedFrame {
protected:
    void TearDown() override
    {
        win::headless::SetIdleHandler({});
        ClearPromptDialogs();
        ExitAnalysis();
        PumpFrameMessages();
        RunControl().probeFlag = 0;
        ResetProbeModeForTests();
        StartedFrame::TearDown();
    }

    WindowRecord* Load()
    {
        Start();
        InstallAnalysisKindHandlers();
        WindowRecord* circuit = WriteAndLoadCircuit(dir_, "dbl.cir", kCircuit, kFileKindTextCircuit, kLoadDefaults);
        PumpFrameMessages();
        return circuit;
    }

    // Whenever a modal loop waits: the caption of the window in front is noted, then it is
    // cancelled (a popup menu by Esc, a dialog by its Cancel).
    void CancelEachModal()
    {
        win::headless::SetIdleHandler([this] {
            if (captions_.size() > 8) return false;
            if (win::IsMenuTracking()) {
                captions_.push_back("(popup)");
                win::headless::PressKey(win::VK_ESCAPE);
                return true;
            }
            const win::HWND front = win::GetActiveWindow();
            if (!front || front == Frame().frame) return false;
            captions_.push_back(win::GetWindowText(front));
            win::SendMessage(front, win::WM_COMMAND, win::IDCANCEL, 0);
            return true;
        });
    }

    // Runs the menu commands, then the analysis window laid out on the screen with its first
    // plot (null after a failure was recorded).
    static WindowRecord* OpenByMenu(std::initializer_list<int> commands)
    {
        for (int id : commands) {
            RouteCommand(Frame().frame, id, 0);
            PumpFrameMessages();
        }
        for (const auto& m : win::MessageBoxLog()) ADD_FAILURE() << m.text;
        WindowRecord* analysis = RunControl().analysisWindow;
        if (!analysis || !analysis->plot || analysis->plot->curveCount == 0) {
            ADD_FAILURE() << "no analysis window with a curve";
            return nullptr;
        }
        win::InvalidateRect(analysis->window, nullptr, 1);
        win::UpdateWindow(analysis->window);
        return analysis;
    }

    static void DoubleClick(WindowRecord* analysis, int x, int y)
    {
        win::SendMessage(analysis->window, win::WM_LBUTTONDBLCLK, 0, win::MAKELPARAM(x, y));
        PumpFrameMessages();
    }

    std::vector<std::string> captions_;
};

TEST_F(AnalysisWindowUseTest, AnObjectOpensItsEditorAndTheEmptyPlotTheCharacteristics)
{
    WindowRecord* circuit = Load();
    ASSERT_NE(circuit, nullptr);
    WindowRecord* analysis = OpenByMenu({17600, 16059});
    ASSERT_NE(analysis, nullptr);
    const win::RECT plot = analysis->plot->curves[0]->plotRect;
    ASSERT_GT(plot.right - plot.left, 100);

    CancelEachModal();
    DoubleClick(analysis, (plot.left + plot.right) / 2, plot.top + 10);
    ASSERT_EQ(captions_.size(), 1u);
    EXPECT_EQ(captions_[0], "Analysis Plot Characteristics");

    // A text placed in the plot: a double click on the middle of its words edits it.
    analysis->flags |= kRecordHoldsPlotObjects;
    PlotObject* text = CreatePlotObject(analysis, kObjectText, -1, win::RECT{plot.left + 40, plot.top + 40, plot.left + 40, plot.top + 40});
    ASSERT_NE(text, nullptr);
    text->text = "Charging through one kilohm";
    const win::RECT box = GetPlotObjectBounds(analysis, *text);
    captions_.clear();
    ClearPromptDialogs();
    PromptAnswer cancel;
    cancel.button = 2;
    PushPromptAnswer(cancel);
    DoubleClick(analysis, (box.left + box.right) / 2, (box.top + box.bottom) / 2);
    EXPECT_TRUE(captions_.empty());
    ASSERT_EQ(PromptDialogLog().size(), 1u);
    EXPECT_EQ(PromptDialogLog()[0], "Analysis Text");
    EXPECT_EQ(text->text, "Charging through one kilohm");
}

TEST_F(AnalysisWindowUseTest, InProbeModeAPopupOffersAddPlot)
{
    WindowRecord* circuit = Load();
    ASSERT_NE(circuit, nullptr);
    WindowRecord* analysis = OpenByMenu({17603});
    ASSERT_NE(analysis, nullptr);
    const win::RECT plot = analysis->plot->curves[0]->plotRect;

    // "&Add Plot..." by its letter: the prompt for the expression comes up.
    bool popup = false;
    win::headless::SetIdleHandler([&] {
        if (!win::IsMenuTracking() || popup) return false;
        popup = true;
        win::CurrentBackend().Present(true);
        EXPECT_TRUE(SaveScreen("analysis_probe_popup"));
        win::headless::PressKey('A');
        return true;
    });
    ClearPromptDialogs();
    PromptAnswer cancel;
    cancel.button = 2;
    PushPromptAnswer(cancel);
    DoubleClick(analysis, (plot.left + plot.right) / 2, plot.top + 10);
    EXPECT_TRUE(popup);
    ASSERT_EQ(PromptDialogLog().size(), 1u);
    EXPECT_EQ(PromptDialogLog()[0], "Add Plot");
    EXPECT_TRUE(ProbeMode().rows.empty());
}

win::RECT NormalRect(win::HWND hwnd)
{
    win::WINDOWPLACEMENT p{};
    win::GetWindowPlacement(hwnd, &p);
    return p.rcNormalPosition;
}

bool SameRect(const win::RECT& a, const win::RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// With the Help Bar option on, the pointer over the analysis window's frame names that part.
TEST_F(AnalysisWindowUseTest, TheHelpBarNamesThePartOfTheFrameUnderThePointer)
{
    WindowRecord* circuit = Load();
    ASSERT_NE(circuit, nullptr);
    RouteCommand(Frame().frame, 17600, 0);
    PumpFrameMessages();
    WindowRecord* analysis = RunControl().analysisWindow;
    ASSERT_NE(analysis, nullptr);
    SetHelpBarOption(true);
    const int caption = NonClientHelpMessageId(win::HTCAPTION);
    ASSERT_NE(caption, 0);
    win::SendMessage(analysis->window, win::WM_SETCURSOR, reinterpret_cast<win::WPARAM>(analysis->window),
                     win::MAKELPARAM(win::HTCAPTION, win::WM_MOUSEMOVE));
    EXPECT_EQ(FrameHelpBar().text, HelpBarTextForId(caption));
    SetHelpBarOption(false);
}

TEST_F(AnalysisWindowUseTest, PlacementsAreKeptPerKindOfRun)
{
    WindowRecord* circuit = Load();
    ASSERT_NE(circuit, nullptr);
    win::SendMessage(Frame().mdiClient, win::WM_MDIRESTORE, reinterpret_cast<win::WPARAM>(circuit->window), 0);

    // A first probe run stands the two windows side by side.
    win::SendMessage(Frame().mdiClient, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(circuit->window), 0);
    RouteCommand(Frame().frame, 17603, 0);
    PumpFrameMessages();
    WindowRecord* analysis = RunControl().analysisWindow;
    ASSERT_NE(analysis, nullptr);
    const win::RECT probeA = NormalRect(analysis->window), probeC = NormalRect(circuit->window);
    EXPECT_FALSE(win::IsZoomed(analysis->window));
    EXPECT_TRUE(probeA.right <= probeC.left || probeC.right <= probeA.left) << "tiled side by side";

    // The user moves both; closing keeps where they stood for the next probe run.
    win::MoveWindow(analysis->window, 10, 20, 300, 200, 1);
    win::MoveWindow(circuit->window, 320, 20, 280, 220, 1);
    ExitAnalysis();
    PumpFrameMessages();
    EXPECT_TRUE(SameRect(circuit->document->placements[4].rcNormalPosition, win::RECT{10, 20, 310, 220}));

    // A normal run has its own pair: none stored yet, so the circuit is not moved.
    win::MoveWindow(circuit->window, 0, 0, 400, 300, 1);
    RunControl().probeFlag = 0;
    RouteCommand(Frame().frame, 17600, 0);
    PumpFrameMessages();
    analysis = RunControl().analysisWindow;
    ASSERT_NE(analysis, nullptr);
    EXPECT_TRUE(SameRect(NormalRect(circuit->window), win::RECT{0, 0, 400, 300}));
    win::MoveWindow(analysis->window, 50, 60, 250, 150, 1);
    ExitAnalysis();
    PumpFrameMessages();
    EXPECT_TRUE(SameRect(circuit->document->placements[2].rcNormalPosition, win::RECT{50, 60, 300, 210}));

    // The next probe run puts both back.
    win::SendMessage(Frame().mdiClient, win::WM_MDIACTIVATE, reinterpret_cast<win::WPARAM>(circuit->window), 0);
    RouteCommand(Frame().frame, 17603, 0);
    PumpFrameMessages();
    analysis = RunControl().analysisWindow;
    ASSERT_NE(analysis, nullptr);
    EXPECT_TRUE(SameRect(NormalRect(analysis->window), win::RECT{10, 20, 310, 220}));
    EXPECT_TRUE(SameRect(NormalRect(circuit->window), win::RECT{320, 20, 600, 240}));
    ExitAnalysis();
    PumpFrameMessages();

    // And the next normal run the normal pair.
    RunControl().probeFlag = 0;
    RouteCommand(Frame().frame, 17600, 0);
    PumpFrameMessages();
    analysis = RunControl().analysisWindow;
    ASSERT_NE(analysis, nullptr);
    EXPECT_TRUE(SameRect(NormalRect(analysis->window), win::RECT{50, 60, 300, 210}));
    EXPECT_TRUE(SameRect(NormalRect(circuit->window), win::RECT{0, 0, 400, 300}));
}

}  // namespace
}  // namespace kq5::testing
