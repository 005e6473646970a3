// The Statistics dialog, opened by Alt+Z in the started frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "analog/analog_state.h"
#include "analog/analysis_start.h"
#include "analyses/analysis_install.h"
#include "analog/run_control.h"
#include "results/curve_record.h"

#include "document/circuit_document.h"
#include "document/circuit_file.h"
#include "document/schematic_item.h"
#include "frame_test_support.h"
#include "document/component_types.h"
#include "document/component_definition.h"
#include "platform/controls.h"
#include "platform/dialog.h"
#include "screen_capture_support.h"

namespace kq5::testing {
namespace {

// The number after a line's prefix in the dialog's lines.
double Figure(const std::vector<std::string>& lines, const std::string& prefix)
{
    std::string all;
    for (const std::string& line : lines) {
        if (line.rfind(prefix, 0) == 0) return std::stod(line.substr(prefix.size()));
        all += line + "\n";
    }
    ADD_FAILURE() << prefix << " missing in\n" << all;
    return -1.0;
}

class StatisticsDialog : public StartedFrame {
protected:
    // Alt+Z, then the lines of the dialog's list and its picture; Close ends it.
    std::vector<std::string> ShowStatistics(const char* screen)
    {
        std::vector<std::string> lines;
        bool shown = false;
        win::headless::SetIdleHandler([&]() {
            if (shown) return false;
            shown = true;
            win::HWND dialog = win::GetActiveWindow();
            EXPECT_EQ(win::GetWindowText(dialog), "Statistics");
            win::HWND list = win::GetDlgItem(dialog, 101);
            const int count = static_cast<int>(win::SendMessage(list, win::LB_GETCOUNT, 0, 0));
            for (int i = 0; i < count; ++i) {
                std::string text(static_cast<std::size_t>(win::SendMessage(list, win::LB_GETTEXTLEN, i, 0)), '\0');
                win::SendMessage(list, win::LB_GETTEXT, i, reinterpret_cast<win::LPARAM>(text.data()));
                lines.push_back(text);
            }
            EXPECT_TRUE(SaveScreen(screen));
            win::headless::PressKeyWithModifiers('C', false, false, true);  // "&Close"
            return true;
        });
        win::headless::PressKeyWithModifiers('Z', false, false, true);
        PumpFrameMessages();
        win::headless::SetIdleHandler({});
        EXPECT_TRUE(shown);
        EXPECT_EQ(win::GetActiveWindow(), FrameWindow());
        return lines;
    }

    struct RunCounters {
        double iterations, rejected, solutions;
    };
    // Runs an analysis of the circuit, then reads the solver's counters in the dialog.
    RunCounters RunAndCount(WindowRecord* circuit, int kind, const char* screen)
    {
        EXPECT_EQ(RunAnalysisCommand(circuit, kind), 0);
        EXPECT_EQ(RunAnalysisTimed(kind), 0);
        PumpFrameMessages();
        const std::vector<std::string> lines = ShowStatistics(screen);
        return {Figure(lines, "Total Iterations="), Figure(lines, "Rejected Solutions="), Figure(lines, "Total Solutions=")};
    }
};

TEST_F(StatisticsDialog, AltZShowsTheFactsAndCloseEndsIt)
{
    WindowRecord* schematic = StartWithSchematic();
    ASSERT_NE(schematic, nullptr);
    // Two resistors and a ground: the ground only connects and is not counted.
    ComponentDefinition resistor, ground;
    resistor.type = static_cast<std::uint16_t>(FindComponentTypeByName("Resistor"));
    ground.type = 18;
    ASSERT_EQ(FindComponentTypeRow(ground.type)->pinNames, kPinNamesConnection);
    for (ComponentDefinition* definition : {&resistor, &resistor, &ground}) NewSchematicItem(schematic)->definition = definition;
    const std::vector<std::string> lines = ShowStatistics("statistics");
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Executable date = May 20 1999");
    EXPECT_EQ(lines[1].rfind("RAM memory installed = ", 0), 0u);
    EXPECT_NE(lines[1].find(" MEG"), std::string::npos);
    EXPECT_EQ(lines[2].rfind("RAM memory Available = ", 0), 0u);
    EXPECT_EQ(lines.back(), "Components = 2");
    // The definitions live in this test only.
    for (ListNode* node = schematic->document->itemList.head; node; node = node->next) static_cast<SchematicItem*>(node)->definition = nullptr;
}

// After a run the dialog gives the run's figures: its times, nodes, stored points per curve and
// the solver's counters; the counters of a DC sweep and an AC run after it are their own.
TEST_F(StatisticsDialog, AfterARunItGivesTheRunsFigures)
{
    StartWithSchematic();
    InstallAnalysisKindHandlers();
    const std::string path = (dir_ / "rc.cir").string();
    std::ofstream(path, std::ios::binary)
        << "RC STEP\nV1 1 0 PULSE(0 1 0 1N 1N 1 2)\nR1 1 2 1K\nC1 2 0 1U\n.TRAN 50U 5M\n.DC V1 0 1 0.1\n.AC DEC 5 10 10K\n"
           ".PRINT TRAN V(2)\n.END\n";
    std::ofstream(dir_ / "NOM.LIB") << "* no models\n";
    WindowRecord* circuit = nullptr;
    ASSERT_EQ(LoadCircuitFile(nullptr, path, kFileKindTextCircuit, kLoadDefaults, circuit), 0);
    ASSERT_NE(circuit, nullptr);
    PumpFrameMessages();
    ASSERT_EQ(RunAnalysisCommand(circuit, kAnalysisTransient), 0);
    ASSERT_EQ(RunAnalysisTimed(kAnalysisTransient), 0);
    PumpFrameMessages();
    const CurveRecord& curve = *RunControl().analysisWindow->plot->curves.at(0);
    const int points = curve.lastPointIndex + 1;
    ASSERT_GT(points, 10);

    const std::vector<std::string> lines = ShowStatistics("statistics_after_run");
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    auto has = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
    auto number = [&](const std::string& prefix) { return Figure(lines, prefix); };
    EXPECT_GE(number("Setup Time = "), 0.0);
    EXPECT_GE(number("Run Time = "), 0.0);
    EXPECT_TRUE(has("Analog Nodes = 2")) << all;
    EXPECT_TRUE(has("Digital Nodes = 0")) << all;
    EXPECT_TRUE(has("Analog Data Points = " + std::to_string(points))) << all;
    EXPECT_TRUE(has(curve.yExpressionText + " = " + std::to_string(points) + " Data Pts")) << all;
    EXPECT_GT(number("Total Iterations="), number("Total Solutions=") - 1) << all;
    EXPECT_EQ(number("Total Solutions="), AnalogSolver().acceptedPointCount);
    EXPECT_GT(AnalogSolver().acceptedPointCount, 10);
    const double transientIterations = number("Total Iterations=");
    ASSERT_GT(number("Rejected Solutions="), 0.0) << "the pulse edge should cost the run a rejected point";

    // A DC sweep of at least the eleven points asked for, a few iterations each; it has no time
    // step to reject.
    const RunCounters sweep = RunAndCount(circuit, kAnalysisDc, "statistics_after_dc_sweep");
    EXPECT_GE(sweep.solutions, 11.0);
    EXPECT_EQ(sweep.rejected, 0.0);
    EXPECT_GE(sweep.iterations, 11.0);
    EXPECT_LT(sweep.iterations, transientIterations);
    // An AC run iterates at its operating point only.
    const RunCounters ac = RunAndCount(circuit, kAnalysisAc, "statistics_after_ac");
    EXPECT_GE(ac.solutions, 16.0);
    EXPECT_EQ(ac.rejected, 0.0);
    EXPECT_GE(ac.iterations, 1.0);
    EXPECT_LE(ac.iterations, 10.0);
}

}  // namespace
}  // namespace kq5::testing
